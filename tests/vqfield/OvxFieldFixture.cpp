#include "OvxFieldFixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

namespace vqtest {
namespace {

// A loopback port with nothing listening on it.
int DeadPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

}  // namespace

// This program runs only the object-server cases of the shared fixture.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FieldTest);

void WriteBytes(const fs::path& p, const vqfield::Bytes& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

vqfield::Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return vqfield::Bytes(std::istreambuf_iterator<char>(in), {});
}

void OvxFieldTest::SetUp() {
    FieldTest::SetUp();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string tag = std::string(info->test_suite_name()) + "-" + info->name();
    for (auto& c : tag)
        if (c == '/') c = '_';
    root = fs::temp_directory_path() / ("vqfield-ovx-" + std::to_string(::getpid()) + "-" + tag);
    fs::remove_all(root);
    fs::create_directories(root / "data");

    std::string endpoint;
    if (daemon_) {
        endpoint = daemon_->endpoint();
    } else {
        fieldName = "ovx-test-" + tag;
        vqfield::RegisterField(fieldName, field_);
        endpoint = "field:" + fieldName;
    }
    unitId = client_->AddUnit(vqfield::kVq70ProgramId);

    const nlohmann::json interfaces = {
        {"interfaces",
         {{{"name", "VQNET1"}, {"nsi", true}, {"endpoint", endpoint}},
          {{"name", "SERIAL1"}, {"nsi", false}, {"endpoint", endpoint}},
          {{"name", "GONE"}, {"nsi", true}, {"endpoint", "tcp:127.0.0.1:" + std::to_string(DeadPort())}},
          {{"name", "NOFIELD"}, {"nsi", true}, {"endpoint", "field:no-such-field"}}}}};
    std::ofstream(root / "data" / "interfaces.json") << interfaces.dump(2);

    ovx::ServerOptions opts;
    opts.dataFolder = (root / "data").string();
    server = ovx::CreateObjectServer(opts);
    server->SetAutoOpenLastNetwork(false);
    server->SetShowServerDialogs(false);
    server->Open();
    network = server->GetNetworks()->Add("Load", (root / "load").string(), true);
    network->Open();
    system = network->GetSystems()->Item(1);
    system->Open();
    subsystem = system->GetSubsystems()->Add("VQSubsystem");
    device = subsystem->GetAppDevices()->Add("VQ 1", nullptr, network->GetChannels()->Item(1));
}

void OvxFieldTest::TearDown() {
    device.reset();
    subsystem.reset();
    if (system) system->Close();
    system.reset();
    network.reset();
    server.reset();
    if (!fieldName.empty()) vqfield::UnregisterField(fieldName);
    fs::remove_all(root);
    FieldTest::TearDown();
}

void OvxFieldTest::GoOnNet(const std::string& name) {
    system->Host()->SetNetworkInterface(server->GetNetworkInterfaces()->Item(name));
    system->SetOffNet(0);
}

fs::path OvxFieldTest::WriteImage(const std::string& file, std::size_t bodySize,
                                  const std::string& programId) {
    const fs::path p = root / file;
    WriteBytes(p, vqfield::MakeApb(programId, vqfield::PatternBody(bodySize, 7)));
    return p;
}

void OvxFieldTest::Commissioned() {
    GoOnNet("VQNET1");
    device->SetSarvikId(unitId);
    device->SetAppImagePath(WriteImage("app.apb", 2048).string());
    device->Load();
    device->LoadDefaultCps(3);
    device->Commission();
}

}  // namespace vqtest
