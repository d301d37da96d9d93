// ovxctl run as a program, the way an integrator uses it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

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

    ToolRun Tool(const std::string& args, const std::string& input = "") {
        std::ofstream(root / "in") << input;
        const std::string cmd = "OVX_HOME='" + (root / "data").string() + "' '" +
                                std::string(OVX_TEST_BIN_DIR) + "/ovxctl' " + args + " <'" +
                                (root / "in").string() + "' >'" + (root / "out").string() + "' 2>'" +
                                (root / "err").string() + "'";
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
         "at /subsystems/0/devices/0/location: a location has at most 6 bytes"},
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

// Every file the data folder holds, for checking that a failed import left
// nothing behind (no database, no temporary, no SQLite side file, no folder).
std::vector<std::string> FilesUnder(const fs::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(fs::relative(it->path(), dir).string());
    return out;
}

TEST_F(Ovxctl, HostileSitesAreRefusedAndLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::string text;     // the site file's text
        std::string message;  // expected after "FILE: "
    };
    json good = Site();
    auto with = [&](const std::function<void(json&)>& spoil) {
        json s = good;
        spoil(s);
        return s.dump();
    };
    const Case cases[] = {
        {"empty name", with([](json& s) { s["network"] = ""; }), "at /network: the network name is empty"},
        {"dot", with([](json& s) { s["network"] = "."; }), "at /network: \".\" cannot name a network"},
        {"dot dot", with([](json& s) { s["network"] = ".."; }), "at /network: \"..\" cannot name a network"},
        {"path", with([](json& s) { s["network"] = "../../outside"; }),
         "at /network: a network name cannot hold a path separator"},
        {"backslash", with([](json& s) { s["network"] = "a\\b"; }),
         "at /network: a network name cannot hold a path separator"},
        {"NUL", with([](json& s) { s["network"] = std::string("a\0b", 3); }),
         "at /network: a network name cannot hold a NUL"},
        {"control character", with([](json& s) { s["network"] = "bell\a"; }),
         "at /network: a network name cannot hold a control character"},
        {"too long", with([](json& s) { s["network"] = std::string(256, 'n'); }),
         "at /network: a network name has at most 255 bytes"},
        {"host home nowhere", with([](json& s) { s["host"]["home"] = "Nowhere"; }),
         "at /host/home: no subsystem \"Nowhere\""},
        {"huge number", R"({"network": "N", "channels": [{"id": 1e400}]})", "not valid JSON"},
        {"30-digit integer", R"({"network": "N", "channels": [{"id": 123456789012345678901234567890}]})",
         "at /channels/0/id: expected an integer"},
        {"channel beyond 32 bits", R"({"network": "N", "channels": [{"id": 4294967296}]})",
         "at /channels/0/id: does not fit in 32 bits"},
        {"location of 4 letters in 8 bytes",
         with([](json& s) { s["subsystems"][0]["devices"][0]["location"] = "\u00c4\u00d6\u00dc\u00e4"; }),
         "at /subsystems/0/devices/0/location: a location has at most 6 bytes"},
        {"site not an object", "[]", "at /: the site must be a JSON object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path path = root / "bad.json";
        std::ofstream(path) << c.text;
        const ToolRun r = Tool("import '" + path.string() + "'");
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.err.find(path.string() + ": " + c.message), std::string::npos) << r.err;
        EXPECT_EQ(FilesUnder(root / "data"), std::vector<std::string>{});
    }
    EXPECT_FALSE(fs::exists(root / "outside"));
}

TEST_F(Ovxctl, HostileOptionsAndFilesAreRefused) {
    const auto site = Write("a.json", Site());
    struct Case {
        const char* what;
        std::string args;
        std::string message;
    } cases[] = {
        {"empty --name", "import '" + site.string() + "' --name ''",
         site.string() + ": at /network: the network name is empty (--name)"},
        {"--name with a path", "import '" + site.string() + "' --name ../up",
         site.string() + ": at /network: a network name cannot hold a path separator (--name)"},
        {"--name with a line break", "import '" + site.string() + "' --name 'two\nlines'",
         site.string() + ": at /network: a network name cannot hold a control character (--name)"},
        {"a folder as the site file", "import '" + root.string() + "'",
         root.string() + ": this is a folder, not a site file"},
        {"no such file", "import '" + (root / "none.json").string() + "'",
         (root / "none.json").string() + ": cannot open the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(FilesUnder(root / "data"), std::vector<std::string>{});
    }
}

// The database is written, then registering it fails: neither the database
// nor its folder stays, so a second try does not find "already holds a
// network database".
TEST_F(Ovxctl, AnImportThatCannotRegisterTakesItsDatabaseAway) {
    const auto site = Write("a.json", Site());
    std::ofstream(root / "data") << "a file where the data folder should be";
    const std::string folder = (root / "net").string();
    ToolRun r = Tool("import '" + site.string() + "' --folder '" + folder + "'");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find(site.string() + ": Cannot write"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(folder));
    fs::remove(root / "data");
    r = Tool("import '" + site.string() + "' --folder '" + folder + "'");
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(FilesUnder(folder), std::vector<std::string>{"network.ovxdb"});
}

// Names come out with control characters escaped, one line per object.
TEST_F(Ovxctl, ShowAndListEscapeControlCharacters) {
    json site = Site();
    site["network"] = "Csi\u009b2J";
    site["subsystems"][0]["devices"][1]["name"] = "Evil\u001b[2J\nDevice";
    site["subsystems"][0]["subsystems"][0]["devices"][0]["ref"] = "Evil\u001b[2J\nDevice";
    site["channels"][0]["name"] = "Tab\there";
    ASSERT_EQ(Tool("import '" + Write("a.json", site).string() + "'").rc, 0);
    const ToolRun list = Tool("list");
    EXPECT_EQ(list.out.substr(0, list.out.find('\t')), "Csi\\xc2\\x9b2J");
    const ToolRun show = Tool("show 'csi\u009b2j'");
    ASSERT_EQ(show.rc, 0) << show.err;
    EXPECT_NE(show.out.find("  device Evil\\x1b[2J\\nDevice [2] "), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Channels: 1 \"Tab\\there\""), std::string::npos) << show.out;
    EXPECT_EQ(show.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(show.out.find('\t'), std::string::npos);
}

// Names compare without case for ASCII letters only; a location counts bytes.
TEST_F(Ovxctl, CaseFoldingIsAsciiOnly) {
    struct Case {
        std::string first, second;
        bool same;
    } cases[] = {
        {"Boiler", "BOILER", true},
        {"\u00c4rea", "\u00e4rea", false},  // Ä and ä are two names
        {"Stra\u00dfe", "STRASSE", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first + " / " + c.second);
        fs::remove_all(root / "data");
        json site = Site();
        site["network"] = c.first;
        ASSERT_EQ(Tool("import '" + Write("a.json", site).string() + "'").rc, 0);
        site["network"] = c.second;
        const ToolRun r = Tool("import '" + Write("b.json", site).string() + "'");
        EXPECT_EQ(r.rc, c.same ? 1 : 0) << r.err;
        const std::string list = Tool("list").out;
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), c.same ? 1 : 2) << list;
    }
    json site = Site();
    site["subsystems"][0]["devices"][0]["location"] = "\u00c4\u00d6\u00dc";  // 3 letters, 6 bytes
    site["network"] = "Umlauts";
    EXPECT_EQ(Tool("import '" + Write("c.json", site).string() + "'").rc, 0);
}

TEST_F(Ovxctl, RemoveAsksThenUnregistersAndDeletesTheFolder) {
    const auto site = Write("a.json", Site());
    ASSERT_EQ(Tool("import '" + site.string() + "'").rc, 0);
    const fs::path folder = root / "data" / "networks" / "Site A";
    ASSERT_TRUE(fs::exists(folder / "network.ovxdb"));

    ToolRun r = Tool("remove 'site a'", "n\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("Remove the network \"site a\" and delete its folder " + folder.string() + "?"),
              std::string::npos)
        << r.err;
    EXPECT_NE(Tool("list").out, "");
    EXPECT_EQ(Tool("remove 'Site A'", "").rc, 1);  // no answer is no
    r = Tool("remove 'Site A'", "y\n");
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Tool("list").out, "");
    EXPECT_FALSE(fs::exists(folder));

    // A folder the user chose keeps the user's other files.
    const fs::path own = root / "mine";
    ASSERT_EQ(Tool("import '" + site.string() + "' --folder '" + own.string() + "'").rc, 0);
    std::ofstream(own / "notes.txt") << "keep";
    r = Tool("remove 'Site A' --yes");
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("was kept"), std::string::npos) << r.err;
    EXPECT_EQ(FilesUnder(own), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(Tool("list").out, "");
    r = Tool("remove Nothing --yes");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("no network named \"Nothing\""), std::string::npos) << r.err;
}

}  // namespace
