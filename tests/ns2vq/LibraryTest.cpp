// The entry points and the files they leave on disk: the target is replaced
// only by a run closed with status 0, the side files say what happened.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("ns2vq-test-" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Library : public ::testing::Test {
protected:
    void SetUp() override { ns2vq::AttachDatabase(nullptr); }
    void TearDown() override {
        ns2vq::CloseCompressedFile(12345);
    }  // never leave a run open for the next test
    TempDir dir_;
};

TEST_F(Library, OpenRefusesWhatItCannotWrite) {
    struct Case {
        const char* what;
        std::string path;
        const char* creator;
        std::uint32_t major;
        std::uint16_t status;
        const char* errShows;  // in the .err side file, when the folder exists
    };
    const std::vector<Case> cases = {
        {"a major version it does not write", dir_.File("a.q70"), "br2vq70_b", 2,
         ns2vq::N2VSTS_NOT_IMPLEMENTED, "major database version 2"},
        {"another creator", dir_.File("b.q70"), "someone", 1, ns2vq::N2VSTS_BAD_PARMS, "creator \"someone\""},
        {"no creator", dir_.File("c.q70"), nullptr, 1, ns2vq::N2VSTS_BAD_PARMS, "creator"},
        {"a folder that does not exist", dir_.File("missing/d.q70"), "br2vq70_b", 1, ns2vq::N2VSTS_BAD_PARMS,
         nullptr},
        {"no path", "", "br2vq70_b", 1, ns2vq::N2VSTS_BAD_PARMS, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ns2vq::OpenCompressedFile(c.path.c_str(), c.creator, c.major, 0), c.status) << c.what;
        // The walk closes with the open's status; nothing is written but the side files.
        EXPECT_EQ(ns2vq::CloseCompressedFile(c.status), c.status) << c.what;
        EXPECT_FALSE(fs::exists(c.path)) << c.what;
        if (c.errShows) {
            const std::string err = Read(c.path + ".err");
            EXPECT_NE(err.find(ns2vq::StatusName(c.status)), std::string::npos) << c.what << ": " << err;
            EXPECT_NE(err.find(c.errShows), std::string::npos) << c.what << ": " << err;
        }
    }
}

TEST_F(Library, FailedRunLeavesTheOlderFileExactlyAsItWas) {
    const std::string target = dir_.File("site.q70");
    const std::string older = "an older compressed file the user chose to overwrite";
    Write(target, older);
    Write(target + ".err", "verdict of an earlier run");
    ASSERT_EQ(ns2vq::OpenCompressedFile(target.c_str(), "br2vq70_b", 1, 0), 0);
    EXPECT_FALSE(fs::exists(target + ".err")) << "an earlier run's verdict would be filed with this one";
    EXPECT_EQ(ns2vq::CloseCompressedFile(12345), 12345);
    EXPECT_EQ(Read(target), older);
    const std::string err = Read(target + ".err");
    EXPECT_NE(err.find("12345"), std::string::npos) << err;
    EXPECT_NE(Read(target + ".log").find("the target is left as it was"), std::string::npos);
    // No temporary file is left behind.
    EXPECT_EQ(dir_.Names(),
              (std::vector<std::string>{"site.q70", "site.q70.err", "site.q70.log", "site.q70.lst"}));
}

TEST_F(Library, SuccessfulRunReplacesTheTargetWithASoundFile) {
    const std::string target = dir_.File("site.q70");
    Write(target, "older");
    ASSERT_EQ(ns2vq::OpenCompressedFile(target.c_str(), "br2vq70_b", 1, 3), 0);
    EXPECT_EQ(ns2vq::CloseCompressedFile(0), 0);
    ns2vq::Q70File file;
    const ns2vq::ReadResult r = ns2vq::VerifyFile(target, &file);
    ASSERT_EQ(r.status, 0) << r.reason;
    EXPECT_EQ(file.minor, 3u);
    EXPECT_TRUE(file.sections.empty());
    EXPECT_FALSE(fs::exists(target + ".err"));
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"site.q70", "site.q70.log", "site.q70.lst"}));
}

TEST_F(Library, ARefusedObjectIsNeverTurnedIntoAFile) {
    // The caller ignores the refusal and closes with 0: the library keeps its
    // verdict, leaves the target alone and says why.
    const std::string target = dir_.File("site.q70");
    Write(target, "older");
    ASSERT_EQ(ns2vq::OpenCompressedFile(target.c_str(), "br2vq70_b", 1, 0), 0);
    EXPECT_EQ(ns2vq::AddVqDevice("VQ North", 12, 0x101), ns2vq::N2VSTS_BAD_PARMS);  // no database attached
    EXPECT_EQ(ns2vq::AddDevice("Fan", 13, 0x101), ns2vq::N2VSTS_BAD_PARMS);
    EXPECT_EQ(ns2vq::CloseCompressedFile(0), ns2vq::N2VSTS_BAD_PARMS);
    EXPECT_EQ(Read(target), "older");
    const std::string err = Read(target + ".err");
    EXPECT_NE(err.find("VQ North"), std::string::npos) << err;
    EXPECT_NE(err.find("no network database is attached"), std::string::npos) << err;
}

TEST_F(Library, OneFileAtATimeAndCallsOutOfOrder) {
    const std::string first = dir_.File("one.q70");
    const std::string second = dir_.File("two.q70");
    EXPECT_EQ(ns2vq::AddVqDevice("VQ", 1, 0x101), ns2vq::N2VSTS_BAD_PARMS) << "no file open";
    EXPECT_EQ(ns2vq::CloseCompressedFile(0), ns2vq::N2VSTS_BAD_PARMS) << "nothing to close";
    ASSERT_EQ(ns2vq::OpenCompressedFile(first.c_str(), "br2vq70_b", 1, 0), 0);
    EXPECT_EQ(ns2vq::OpenCompressedFile(second.c_str(), "br2vq70_b", 1, 0), ns2vq::N2VSTS_BAD_PARMS);
    EXPECT_EQ(ns2vq::CloseCompressedFile(0), 0);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
}

TEST_F(Library, DownloadRefusesBadArgumentsBeforeSendingAnything) {
    const std::string target = dir_.File("site.q70");
    ASSERT_EQ(ns2vq::OpenCompressedFile(target.c_str(), "br2vq70_b", 1, 0), 0);
    ASSERT_EQ(ns2vq::CloseCompressedFile(0), 0);
    EXPECT_EQ(ns2vq::DownloadCompressedFile(target.c_str(), 4, 1), ns2vq::N2VSTS_BAD_PARMS)
        << "kind must be 5";
    EXPECT_EQ(ns2vq::DownloadCompressedFile(nullptr, 5, 1), ns2vq::N2VSTS_BAD_PARMS);
    EXPECT_EQ(ns2vq::DownloadCompressedFile(target.c_str(), 5, 1), ns2vq::N2VSTS_BAD_PARMS) << "no database";
}

}  // namespace
