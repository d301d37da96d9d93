#include "OvxFixture.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "ovx/site.h"

namespace ovxtest {

using nlohmann::json;

json SmallSite() {
    const json nvs =
        json::array({{{"name", "inRequest"}, {"type", "obj_request"}, {"node_object", true}},
                     {{"name", "outStatus"}, {"type", "obj_status"}, {"node_object", true}},
                     {{"name", "outValue"}, {"type", "count"}}});
    return json::parse(R"({
      "network": "Plant",
      "channels": [{"id": 1, "name": "Main"}, {"id": 2, "name": "Far"}],
      "templates": [
        {"name": "VQ", "program_id": "900001013C8A0400", "nvs": )" +
                       nvs.dump() + R"(,
         "cps": [{"name": "cpMaxSendTime", "default": 60}, {"name": "cpNoDefault"}]},
        {"name": "Io", "program_id": "9000010A01020304", "nvs": )" +
                       nvs.dump() + R"(}],
      "host": {"name": "Host", "channel": 1, "subsystem": "Area1"},
      "subsystems": [
        {"name": "Area1",
         "devices": [{"name": "VQ1", "template": "VQ", "channel": 1, "location": "VQLOC", "sarvik_id": "0102030405A6",
                      "cps": {"cpMaxSendTime": 30}},
                     {"name": "D1", "template": "Io", "channel": 2, "home": "Area2", "extensions": {"Note": "hi"}}],
         "routers": [{"name": "R1", "near": 1, "far": 2}],
         "subsystems": [{"name": "Cell", "devices": [{"ref": "VQ1"}], "routers": [], "subsystems": []}]},
        {"name": "Area2",
         "devices": [{"ref": "D1"},
                     {"name": "D2", "program_id": "9000010A01020305", "template": "Io", "channel": 9,
                      "nvs": [{"name": "outOnly", "type": "count"}]}],
         "routers": [{"ref": "R1"}]}]
    })");
}

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

std::string BinDir() {
    const char* env = std::getenv("VQ_TEST_BIN_DIR");
    return env && *env ? env : OVX_TEST_BIN_DIR;
}

void WriteXif(const fs::path& xif, const std::string& programId, bool packed) {
    WriteText(xif,
              "ovx-xif 1\n# test device\nprogram_id " + programId +
                  "\nnv inRequest obj_request node\nnv outValue count\ncp cpMaxSendTime 60\n"
                  "cp cpName \"VQ\"\ncp cpNoDefault\n");
    if (!packed) return;
    const std::string cmd = BinDir() + "/xifpack \"" + xif.string() + "\" >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

void OvxFixture::SetUp() {
    root = fs::temp_directory_path() / ("ovx-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root);
    dataFolder = root / "data";
}

void OvxFixture::TearDown() {
    system.reset();
    network.reset();
    server.reset();
    fs::remove_all(root);
}

void OvxFixture::ImportAndOpen(const json& site) {
    WriteText(root / "site.json", site.dump(2));
    ovxsite::ImportOptions o;
    o.dataFolder = dataFolder.string();
    networkName = ovxsite::ImportSite((root / "site.json").string(), o);
    Reopen();
}

void OvxFixture::Reopen() {
    system.reset();
    network.reset();
    server = ovx::CreateObjectServer({dataFolder.string()});
    server->Open();
    network = server->GetNetworks()->Item(networkName);
    network->Open();
    system = network->GetSystems()->Item(1);
    system->Open();
}

}  // namespace ovxtest
