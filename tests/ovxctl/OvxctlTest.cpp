// ovxctl run as a program, the way an integrator uses it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct ToolRun {
    int rc = -1;
    std::string out, err;
};

class Ovxctl : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("ovxctl-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    ToolRun Tool(const std::string& args) {
        const std::string cmd = "OVX_HOME='" + (root / "data").string() + "' '" +
                                std::string(OVX_TEST_BIN_DIR) + "/ovxctl' " + args + " >'" +
                                (root / "out").string() + "' 2>'" + (root / "err").string() + "'";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(root / "out"), Read(root / "err")};
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path Write(const std::string& name, const json& j) {
        const fs::path p = root / name;
        std::ofstream(p) << j.dump(2);
        return p;
    }
    static json Site() {
        return json::parse(R"({
          "network": "Site A",
          "channels": [{"id": 1, "name": "One"}, {"id": 2, "name": "Two"}],
          "templates": [{"name": "Io", "program_id": "9000010a01020304",
                         "nvs": [{"name": "inRequest", "type": "obj_request", "node_object": true}],
                         "cps": [{"name": "cpA", "default": 5}, {"name": "cpB", "default": "x"}, {"name": "cpC"}]}],
          "host": {"name": "PC", "channel": 1, "subsystem": "H1"},
          "subsystems": [
            {"name": "H1", "devices": [
                {"name": "VQ", "program_id": "900001013C8A0400", "channel": 1, "location": "VQ1"},
                {"name": "A", "template": "Io", "channel": 2, "home": "H1.Sub", "cps": {"cpA": 7},
                 "extensions": {"Tag": "left", "Count": 3}},
                {"name": "B", "template": "Io", "channel": 1, "sarvik_id": "00aa00bb00cc", "nvs": []}],
             "routers": [{"name": "R", "near": 1, "far": 2}],
             "subsystems": [{"name": "Sub", "devices": [{"ref": "A"}], "routers": [{"ref": "R"}]}]}]
        })");
    }
    fs::path root;
};

TEST_F(Ovxctl, ImportListShowAndExportBackToTheSameDatabase) {
    const auto site = Write("a.json", Site());
    auto r = Tool("import '" + site.string() + "'");
    ASSERT_EQ(r.rc, 0) << r.err;
    r = Tool("list");
    EXPECT_EQ(r.out, "Site A\t" + (root / "data" / "networks" / "Site A").string() + "\n");
    r = Tool("show 'site a'");
    ASSERT_EQ(r.rc, 0) << r.err;
    for (const char* line :
         {"Host: PC [4]", "H1 [4]", "  Sub [5]", "    device A [2] 9000010A01020304 channel 2",
          "  router R [1] channels 1 > 2", "Channels: 1 \"One\" 2 \"Two\""})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    const std::string first = Tool("export 'Site A'").out;
    ASSERT_EQ(Tool("export 'Site A' -o '" + (root / "b.json").string() + "'").rc, 0);
    ASSERT_EQ(Tool("import '" + (root / "b.json").string() + "' --name 'Site B'").rc, 0);
    json again = json::parse(Tool("export 'Site B'").out);
    again["network"] = "Site A";
    EXPECT_EQ(again, json::parse(first));
    // Same handles, same tree.
    std::string showA = Tool("show 'Site A'").out, showB = Tool("show 'Site B'").out;
    showA = showA.substr(showA.find('\n'));
    showB = showB.substr(showB.find('\n'));
    EXPECT_EQ(showA, showB);
    const json exported = json::parse(first);
    EXPECT_EQ(exported["subsystems"][0]["devices"][1]["home"], "H1.Sub");
    EXPECT_EQ(exported["subsystems"][0]["devices"][1]["extensions"], json({{"Count", 3}, {"Tag", "left"}}));
    EXPECT_EQ(exported["subsystems"][0]["devices"][2]["nvs"], json::array());
}

TEST_F(Ovxctl, BadSitesAreRefusedWithFilePathAndFaultAndRegisterNothing) {
    struct Case {
        const char* what;
        std::function<void(json&)> spoil;
        const char* message;  // expected in the error text
    };
    const Case cases[] = {
        {"missing network", [](json& s) { s.erase("network"); }, "at /: \"network\" is missing"},
        {"bad program ID", [](json& s) { s["subsystems"][0]["devices"][0]["program_id"] = "90000101"; },
         "at /subsystems/0/devices/0/program_id: expected 16 hexadecimal digits"},
        {"long location", [](json& s) { s["subsystems"][0]["devices"][0]["location"] = "ABCDEFG"; },
         "at /subsystems/0/devices/0/location: a location has at most 6 characters"},
        {"unknown template", [](json& s) { s["subsystems"][0]["devices"][1]["template"] = "Nope"; },
         "at /subsystems/0/devices/1/template: no template named \"Nope\""},
        {"dangling ref", [](json& s) { s["subsystems"][0]["subsystems"][0]["devices"][0]["ref"] = "Z"; },
         "at /subsystems/0/subsystems/0/devices/0: no device named \"Z\" is defined"},
        {"device twice",
         [](json& s) {
             s["subsystems"][0]["subsystems"][0]["devices"][0] = s["subsystems"][0]["devices"][0];
         },
         "device \"VQ\" is defined twice"},
        {"bad home", [](json& s) { s["subsystems"][0]["devices"][1]["home"] = "H1.Nowhere"; },
         "at /subsystems/0/devices/1/home: no subsystem \"H1.Nowhere\""},
        {"bad sarvik id", [](json& s) { s["subsystems"][0]["devices"][2]["sarvik_id"] = "xyz"; },
         "expected 12 hexadecimal digits"},
        {"bad cp value", [](json& s) { s["subsystems"][0]["devices"][1]["cps"]["cpA"] = 1.5; },
         "at /subsystems/0/devices/1/cps/cpA: expected an integer or a text"},
        {"same program ID twice",
         [](json& s) {
             s["templates"].push_back({{"name", "Io2"}, {"program_id", "9000010A01020304"}});
         },
         "at /templates/1/program_id: another template already has the program ID"},
        {"missing xif",
         [](json& s) {
             s["templates"].push_back({{"name", "X"}, {"xif", "none.xif"}});
         },
         "at /templates/1/xif: Cannot read the external interface file"},
        {"router without far", [](json& s) { s["subsystems"][0]["routers"][0].erase("far"); },
         "at /subsystems/0/routers/0: \"far\" is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        json site = Site();
        c.spoil(site);
        const auto path = Write("bad.json", site);
        const ToolRun r = Tool("import '" + path.string() + "'");
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.err.find(path.string() + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    std::ofstream(root / "broken.json") << "{\"network\": ";
    const ToolRun r = Tool("import '" + (root / "broken.json").string() + "'");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("not valid JSON"), std::string::npos);
    EXPECT_EQ(Tool("list").out, "");
    EXPECT_FALSE(fs::exists(root / "data" / "networks" / "Site A"));
}

TEST_F(Ovxctl, TheDemoSiteImportsWithOneVqPerHierarchyButTheTestBay) {
    const std::string demo = std::string(OVX_SOURCE_DIR) + "/demo/sites/demo-plant.json";
    ASSERT_EQ(Tool("import '" + demo + "'").rc, 0);
    const json site = json::parse(Tool("export 'Demo Plant'").out);
    std::map<std::string, int> vqs;
    std::function<void(const json&, const std::string&)> count = [&](const json& sub,
                                                                     const std::string& top) {
        for (const auto& d : sub["devices"])
            if (d.contains("program_id") &&
                d["program_id"].get<std::string>().rfind("900001013C8A04", 0) == 0)
                ++vqs[top];
        for (const auto& c : sub["subsystems"]) count(c, top);
    };
    // The plant's children are the hierarchies; the test bay is one of its own.
    for (const auto& h : site["subsystems"]) {
        if (h["name"] != "Plant") count(h, h["name"]);
        else
            for (const auto& c : h["subsystems"]) count(c, "Plant." + c["name"].get<std::string>());
    }
    EXPECT_EQ(vqs, (std::map<std::string, int>{{"Plant.Boiler House", 1},
                                               {"Plant.Chiller Plant", 1},
                                               {"Plant.Packing Line", 1},
                                               {"Test Bay", 2}}));
    EXPECT_EQ(Tool("import '" + demo + "'").rc, 1);  // already registered
}

}  // namespace
