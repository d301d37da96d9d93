// The entry points on real network databases, made from small site files:
// the details come from the database by handle, the verdicts name the
// objects, the output reads back as the database has it, and the database is
// left untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "Site.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"
#include "ovx/ovx.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::uint32_t kFlags = 0x101;
const char* kIoPid = "9000010A01020304";

json NodeNvs() {
    return json::array({{{"name", "inRequest"}, {"type", "obj_request"}, {"node_object", true}},
                        {{"name", "outStatus"}, {"type", "obj_status"}, {"node_object", true}}});
}

// Templates every site has: a VQ and an input/output device.
json BaseSite(json subsystems,
              json channels = json::array({{{"id", 1}, {"name", "Near"}}, {{"id", 2}, {"name", "Far"}}})) {
    return {
        {"network", "Plant"},
        {"channels", std::move(channels)},
        {"templates", json::array({{{"name", "VQ"},
                                    {"program_id", "900001013C8A0400"},
                                    {"nvs", NodeNvs()},
                                    {"cps", json::array({{{"name", "cpMaxSendTime"}, {"default", 60}}})}},
                                   {{"name", "Io"},
                                    {"program_id", kIoPid},
                                    {"nvs", NodeNvs()},
                                    {"cps", json::array({{{"name", "cpDelay"}, {"default", 5}}})}},
                                   {{"name", "Bare"},
                                    {"program_id", "9000010A0102BBBB"},
                                    {"nvs", json::array({{{"name", "outValue"}, {"type", "count"}}})}},
                                   {{"name", "Unset"},
                                    {"program_id", "9000010A0102CCCC"},
                                    {"nvs", NodeNvs()},
                                    {"cps", json::array({{{"name", "cpSiteCode"}}})}}})},
        {"subsystems", std::move(subsystems)}};
}

json Dev(const std::string& name, const std::string& tmpl, int channel, const std::string& location) {
    return {{"name", name}, {"template", tmpl}, {"channel", channel}, {"location", location}};
}

class SiteDb {
public:
    explicit SiteDb(const json& site) {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("ns2vq-site-" + std::to_string(rd()));
        fs::create_directories(dir_ / "ovx");
        fs::create_directories(dir_ / "out");
        std::ofstream(dir_ / "site.json") << site.dump();
        ovxsite::ImportOptions options;
        options.dataFolder = (dir_ / "ovx").string();
        ovxsite::ImportSite((dir_ / "site.json").string(), options);
        ovx::ServerOptions so;
        so.dataFolder = options.dataFolder;
        server_ = ovx::CreateObjectServer(so);
        server_->SetAutoOpenLastNetwork(false);
        server_->SetShowServerDialogs(false);
        server_->Open();
        network_ = server_->GetNetworks()->Item(std::string("Plant"));
        network_->Open();
        system_ = network_->GetSystems()->Item(1);
        system_->SetOpenMode(2);
        system_->Open();
        system_->SetOffNet(1);
        ns2vq::AttachDatabase(system_);
    }
    ~SiteDb() {
        ns2vq::CloseCompressedFile(12345);
        ns2vq::AttachDatabase(nullptr);
        system_->Close();
        network_->Close();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::uint32_t Device(const std::string& name) {
        return system_->GetSubsystems()->Item(std::string("ALL"))->GetAppDevices()->Item(name)->Handle();
    }
    std::uint16_t Router(const std::string& path) {
        return static_cast<std::uint16_t>(
            system_->GetSubsystems()->Item(path)->GetRouters()->Item(1)->Handle());
    }
    std::string Output() const { return (dir_ / "out" / "site.q70").string(); }
    std::string NetworkFolder() const { return network_->Path(); }
    ovx::System& System() { return *system_; }

private:
    fs::path dir_;
    std::unique_ptr<ovx::ObjectServer> server_;
    ovx::Ptr<ovx::Network> network_;
    ovx::Ptr<ovx::System> system_;
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files[e.path().string()] = Read(e.path().string());
    return files;
}

TEST(LibraryOnADatabase, MixedSiteIsWrittenAsTheDatabaseHasIt) {
    json north = {
        {"name", "North"},
        {"devices", json::array({Dev("N-VQ", "VQ", 1, "NVQ"), Dev("Fan 1", "Io", 1, "F1"),
                                 Dev("Pump 1", "Io", 2, "P1")})},
        {"routers", json::array({{{"name", "N-R"}, {"near", 1}, {"far", 2}}})},
        {"subsystems",
         json::array({{{"name", "Cell"}, {"devices", json::array({Dev("Fan 2", "Io", 1, "F2")})}}})}};
    north["devices"][2]["cps"] = {{"cpDelay", 9}};
    json south = {{"name", "South"},
                  {"devices", json::array({Dev("S-VQ", "VQ", 3, "SVQ"), Dev("Valve", "Io", 3, "V1")})}};
    SiteDb db(BaseSite(
        {north, south},
        json::array({{{"id", 1}, {"name", "N"}}, {{"id", 2}, {"name", "NF"}}, {{"id", 3}, {"name", "S"}}})));
    const auto before = FolderContents(db.NetworkFolder());

    // The walk's order: per hierarchy the VQ, near devices, the router, far devices.
    ASSERT_EQ(ns2vq::OpenCompressedFile(db.Output().c_str(), "br2vq70_b", 1, 4), 0);
    EXPECT_EQ(ns2vq::AddVqDevice("N-VQ", db.Device("N-VQ"), kFlags), 0);
    EXPECT_EQ(ns2vq::AddDevice("Fan 1", db.Device("Fan 1"), kFlags), 0);
    EXPECT_EQ(ns2vq::AddDevice("Fan 2", db.Device("Fan 2"), kFlags), 0);
    EXPECT_EQ(ns2vq::AddRouter("N-R", db.Router("North"), kFlags | 1), 0);
    EXPECT_EQ(ns2vq::AddDevice("Pump 1", db.Device("Pump 1"), kFlags), 0);
    EXPECT_EQ(ns2vq::AddVqDevice("S-VQ", db.Device("S-VQ"), kFlags), 0);
    EXPECT_EQ(ns2vq::AddDevice("Valve", db.Device("Valve"), kFlags), 0);
    ASSERT_EQ(ns2vq::CloseCompressedFile(0), 0) << Read(db.Output() + ".err");

    EXPECT_EQ(Read(db.Output() + ".lst"),
              "VQ: N-VQ (handle " + std::to_string(db.Device("N-VQ")) + ")\r\n" +
                  "near device: Fan 1 (handle " + std::to_string(db.Device("Fan 1")) + ")\r\n" +
                  "near device: Fan 2 (handle " + std::to_string(db.Device("Fan 2")) + ")\r\n" +
                  "router: N-R (handle " + std::to_string(db.Router("North")) + ")\r\n" +
                  "far device: Pump 1 (handle " + std::to_string(db.Device("Pump 1")) + ")\r\n" +
                  "VQ: S-VQ (handle " + std::to_string(db.Device("S-VQ")) + ")\r\n" +
                  "near device: Valve (handle " + std::to_string(db.Device("Valve")) + ")\r\n");
    EXPECT_FALSE(fs::exists(db.Output() + ".err"));

    ns2vq::Q70File file;
    const ns2vq::ReadResult r = ns2vq::VerifyFile(db.Output(), &file);
    ASSERT_EQ(r.status, 0) << r.reason;
    EXPECT_EQ(file.minor, 4u);
    ASSERT_EQ(file.sections.size(), 2u);
    const ns2vq::Q70Section& n = file.sections[0];
    EXPECT_EQ(n.vq.name, "N-VQ");
    EXPECT_EQ(n.vq.location, "NVQ");
    ASSERT_EQ(n.nearDevices.size(), 2u);
    EXPECT_EQ(n.nearDevices[1].name, "Fan 2");
    ASSERT_TRUE(n.router.has_value());
    EXPECT_EQ(n.router->farChannelId, 2);
    ASSERT_EQ(n.farDevices.size(), 1u);
    const ovx::DeviceDetails pump = db.System().DeviceByHandle(db.Device("Pump 1"));
    EXPECT_EQ(n.farDevices[0].programId, pump.programId);
    EXPECT_EQ(n.farDevices[0].channelId, 2);
    ASSERT_EQ(n.farDevices[0].nvs.size(), pump.nvs.size());
    ASSERT_EQ(n.farDevices[0].cps.size(), 1u);
    EXPECT_EQ(n.farDevices[0].cps[0].value, ovx::Value(std::int32_t{9}));
    EXPECT_EQ(n.farDevices[0].cps[0].defaultValue, ovx::Value(std::int32_t{5}));
    EXPECT_EQ(file.sections[1].vq.name, "S-VQ");

    EXPECT_EQ(FolderContents(db.NetworkFolder()), before) << "the library only reads the database";
}

TEST(LibraryOnADatabase, VerdictsComeFromTheDatabaseDetails) {
    struct Case {
        const char* what;
        json devices;  // after the VQ "VQ" on channel 1, all in one subsystem
        std::string offender;
        std::uint16_t status;
        std::string errShows;
    };
    json ownNvs = Dev("Odd", "Io", 1, "O");
    ownNvs["nvs"] = NodeNvs();
    ownNvs["nvs"].push_back({{"name", "outExtra"}, {"type", "count"}});
    const std::vector<Case> cases = {
        {"same program ID and location in one hierarchy",
         json::array({Dev("Fan A", "Io", 1, "F"), Dev("Fan B", "Io", 2, "F")}), "Fan B",
         ns2vq::N2VSTS_DUPLICATE_IN_HIERARCHY, "Fan A"},
        {"same program ID, one without location",
         json::array({Dev("Fan A", "Io", 1, ""), Dev("Fan B", "Io", 1, "F")}), "Fan B",
         ns2vq::N2VSTS_UNIQUENESS_CONFLICT, "Fan A"},
        {"channel the network does not have", json::array({Dev("Lost", "Io", 7, "L")}), "Lost",
         ns2vq::N2VSTS_UNKNOWN_CHANNEL_ID, "channel 7"},
        {"NV count differs from the template", json::array({ownNvs}), "Odd", ns2vq::N2VSTS_NV_COUNT_MISMATCH,
         "has 3 network variables"},
        {"no node-object NVs", json::array({Dev("Plain", "Bare", 1, "B")}), "Plain",
         ns2vq::N2VSTS_NO_NODE_OBJECT_NVS, "node object"},
        {"CP neither set nor defaulted", json::array({Dev("Blank", "Unset", 1, "U")}), "Blank",
         ns2vq::N2VSTS_CP_VALUE_UNAVAILABLE, "cpSiteCode"},
        {"second VQ on the channel", json::array({Dev("VQ 2", "VQ", 1, "V2")}), "VQ 2",
         ns2vq::N2VSTS_SEVERAL_VQS_ON_CHANNEL, "\"VQ\""},
    };
    for (const Case& c : cases) {
        json devices = json::array({Dev("VQ", "VQ", 1, "V")});
        for (const auto& d : c.devices) devices.push_back(d);
        SiteDb db(BaseSite({{{"name", "Area"}, {"devices", devices}}}));
        const std::string older = "older file";
        std::ofstream(db.Output(), std::ios::binary) << older;
        ASSERT_EQ(ns2vq::OpenCompressedFile(db.Output().c_str(), "br2vq70_b", 1, 0), 0) << c.what;
        ASSERT_EQ(ns2vq::AddVqDevice("VQ", db.Device("VQ"), kFlags), 0)
            << c.what << Read(db.Output() + ".log");
        std::uint16_t status = 0;
        for (const auto& d : c.devices) {
            const std::string name = d["name"];
            status = static_cast<std::uint16_t>(ns2vq::AddDevice(name.c_str(), db.Device(name), kFlags));
            if (status) {
                EXPECT_EQ(name, c.offender) << c.what;
                break;
            }
        }
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(ns2vq::CloseCompressedFile(status), status) << c.what;
        EXPECT_EQ(Read(db.Output()), older) << c.what;
        const std::string err = Read(db.Output() + ".err");
        EXPECT_NE(err.find(ns2vq::StatusName(c.status)), std::string::npos) << c.what << "\n" << err;
        EXPECT_NE(err.find("\"" + c.offender + "\""), std::string::npos) << c.what << "\n" << err;
        EXPECT_NE(err.find(c.errShows), std::string::npos) << c.what << "\n" << err;
    }
}

TEST(LibraryOnADatabase, HandlesAndNamesMustMatchTheDatabase) {
    SiteDb db(BaseSite(
        {{{"name", "Area"}, {"devices", json::array({Dev("VQ", "VQ", 1, "V"), Dev("Fan", "Io", 1, "F")})}}}));
    struct Case {
        const char* what;
        const char* name;
        std::uint32_t handle;
        std::string errShows;
    };
    const std::vector<Case> cases = {
        {"no such handle", "VQ", 999999, "not found in the database"},
        {"another device's handle", "VQ", db.Device("Fan"), "names this handle \"Fan\""},
        {"a device that is no VQ", "Fan", db.Device("Fan"), "does not begin with 900001013C8A04"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ns2vq::OpenCompressedFile(db.Output().c_str(), "br2vq70_b", 1, 0), 0);
        EXPECT_EQ(ns2vq::AddVqDevice(c.name, c.handle, kFlags), ns2vq::N2VSTS_BAD_PARMS) << c.what;
        ns2vq::CloseCompressedFile(ns2vq::N2VSTS_BAD_PARMS);
        const std::string err = Read(db.Output() + ".err");
        EXPECT_NE(err.find(c.errShows), std::string::npos) << c.what << "\n" << err;
    }
}

TEST(LibraryOnADatabase, DownloadSendsOnlySoundFilesAndReportsTransferErrors) {
    SiteDb db(BaseSite({{{"name", "Area"}, {"devices", json::array({Dev("VQ", "VQ", 1, "V")})}}}));
    ASSERT_EQ(ns2vq::OpenCompressedFile(db.Output().c_str(), "br2vq70_b", 1, 0), 0);
    ASSERT_EQ(ns2vq::AddVqDevice("VQ", db.Device("VQ"), kFlags), 0);
    ASSERT_EQ(ns2vq::CloseCompressedFile(0), 0);

    std::string damaged = Read(db.Output());
    damaged[damaged.size() - 1] ^= 0x01;
    const std::string damagedPath = db.Output() + ".bad";
    std::ofstream(damagedPath, std::ios::binary) << damaged;
    EXPECT_EQ(ns2vq::DownloadCompressedFile(damagedPath.c_str(), 5, db.Device("VQ")),
              ns2vq::N2VSTS_FILE_CHECKSUM);
    // The database is open off the wire, so no unit can receive it: the
    // object server's error comes back as a transfer error number.
    EXPECT_EQ(ns2vq::DownloadCompressedFile(db.Output().c_str(), 5, db.Device("VQ")),
              ovx::kErrOffNet & 0xFFFF);
}

}  // namespace
