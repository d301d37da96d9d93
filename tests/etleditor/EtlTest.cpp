#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "etl/etl.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Etl : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/etltest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    static void Write(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        return out;
    }
    fs::path dir;
};

etl::Problem ReadProblem(const std::string& path) {
    try {
        etl::ReadFile(path);
        return etl::Problem::Ok;
    } catch (const etl::Error& e) {
        return e.problem();
    }
}

TEST_F(Etl, OnlyWholeRecordsAndAtLeastTenMakeAnEventList) {
    struct Case {
        std::size_t size;
        etl::Problem problem;
    } cases[] = {{340, etl::Problem::Ok},
                 {578, etl::Problem::Ok},
                 {34 * 100, etl::Problem::Ok},
                 {306, etl::Problem::TooFewRecords},
                 {0, etl::Problem::TooFewRecords},
                 {341, etl::Problem::NotWholeRecords},
                 {339, etl::Problem::NotWholeRecords},
                 {33, etl::Problem::NotWholeRecords}};
    for (const Case& c : cases) {
        // Contents play no part: every byte 0xFF.
        const std::string path = Path("list" + std::to_string(c.size) + ".etl");
        Write(path, Bytes(c.size, 0xFF));
        EXPECT_EQ(etl::CheckSize(c.size), c.problem) << c.size;
        EXPECT_EQ(etl::CheckFile(path), c.problem) << c.size;
        EXPECT_EQ(ReadProblem(path), c.problem) << c.size;
    }
    EXPECT_EQ(etl::CheckFile(Path("missing.etl")), etl::Problem::CannotOpen);
    EXPECT_EQ(ReadProblem(Path("missing.etl")), etl::Problem::CannotOpen);
    fs::create_directory(Path("folder.etl"));
    EXPECT_EQ(etl::CheckFile(Path("folder.etl")), etl::Problem::CannotOpen);
    EXPECT_EQ(ReadProblem(Path("folder.etl")), etl::Problem::CannotOpen);
    // A pipe is refused without waiting for a writer.
    ASSERT_EQ(mkfifo(Path("pipe.etl").c_str(), 0600), 0);
    EXPECT_EQ(etl::CheckFile(Path("pipe.etl")), etl::Problem::CannotOpen);
    EXPECT_EQ(ReadProblem(Path("pipe.etl")), etl::Problem::CannotOpen);
}

TEST_F(Etl, TheDefaultTableRoundTripsThroughAFileOf578Bytes) {
    const std::string path = Path("Default.etl");
    etl::WriteDefaultFile(path);
    EXPECT_EQ(fs::file_size(path), 578u);
    const std::vector<etl::Event> events = etl::ReadFile(path);
    ASSERT_EQ(events, etl::DefaultTable());
    ASSERT_EQ(events.size(), 17u);
    EXPECT_EQ(events[0], (etl::Event{1, 0, "Unused"}));
    EXPECT_EQ(events[11], (etl::Event{12, 1, "Device commissioned"}));
    EXPECT_EQ(events[16], (etl::Event{17, 0, "Variable Location set"}));
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].code, i + 1);
        EXPECT_EQ(events[i].flag, i == 11 ? 1 : 0) << i;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"Default.etl"});  // no temporary file left
}

// The hex lines of docs/etl-format.md's worked example are the writer's bytes.
TEST_F(Etl, TheFormatDocumentsWorkedExampleIsWhatTheWriterWrites) {
    std::ifstream doc(std::string(std::getenv("VQ_SOURCE_DIR")) + "/docs/etl-format.md");
    ASSERT_TRUE(doc);
    const Bytes written = etl::Encode(etl::DefaultTable());
    const std::regex line("^([0-9a-f]{4}): ((?:[0-9a-f]{2} ?)+)$");
    std::string text;
    int lines = 0;
    while (std::getline(doc, text)) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        const std::size_t offset = std::stoul(m[1], nullptr, 16);
        std::istringstream hex(m[2]);
        std::string byte;
        for (std::size_t at = offset; hex >> byte; ++at) {
            ASSERT_LT(at, written.size()) << text;
            EXPECT_EQ(written[at], std::stoul(byte, nullptr, 16)) << text << " at " << at;
        }
        ++lines;
    }
    EXPECT_EQ(lines, 8);  // the example is there and was read whole
}

TEST_F(Etl, TheDemosDefaultEventListIsTheDefaultTable) {
    const std::string demo = std::string(std::getenv("VQ_SOURCE_DIR")) + "/demo/Vq/EventList/Default.etl";
    EXPECT_EQ(Read(demo), etl::Encode(etl::DefaultTable()));
}

TEST_F(Etl, CodesFlagsAndNamesDecode) {
    Bytes bytes(3 * 34, 0);
    // Code 0x1234 little-endian, flag 0xFF, a name that fills all 31 bytes.
    bytes[0] = 0x34, bytes[1] = 0x12, bytes[2] = 0xFF;
    const std::string full(31, 'N');
    std::copy(full.begin(), full.end(), bytes.begin() + 3);
    // Code 0xFFFF; bytes after the name's NUL are not part of it.
    bytes[34] = 0xFF, bytes[35] = 0xFF, bytes[36] = 0x02;
    const std::string tail = std::string("Pump\0junk", 9);
    std::copy(tail.begin(), tail.end(), bytes.begin() + 37);
    // An empty name.
    bytes[68] = 0x07;

    const std::vector<etl::Event> events = etl::Decode(bytes);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], (etl::Event{0x1234, 0xFF, full}));
    EXPECT_EQ(events[1], (etl::Event{0xFFFF, 0x02, "Pump"}));
    EXPECT_EQ(events[2], (etl::Event{7, 0, ""}));

    // Encoding the decoded events pads with NUL again: only the junk is lost.
    Bytes clean = bytes;
    std::fill(clean.begin() + 37 + 4, clean.begin() + 37 + 9, 0);
    EXPECT_EQ(etl::Encode(events), clean);

    EXPECT_THROW(etl::Decode(Bytes(35, 0)), etl::Error);
}

TEST_F(Etl, AnEventThatDoesNotFitIsRefusedBeforeTheDiskIsTouched) {
    const std::string path = Path("kept.etl");
    etl::WriteDefaultFile(path);
    const Bytes before = Read(path);
    for (const std::string& name : {std::string(32, 'x'), std::string("a\0b", 3)}) {
        std::vector<etl::Event> events = etl::DefaultTable();
        events[4].name = name;
        try {
            etl::WriteFile(path, events);
            ADD_FAILURE() << "written: " << name;
        } catch (const etl::Error& e) {
            EXPECT_EQ(e.problem(), etl::Problem::BadEvent);
        }
        EXPECT_EQ(Read(path), before);
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"kept.etl"});
}

TEST_F(Etl, AFailedWriteLeavesNoFileAndNoTemporaryFile) {
    // The folder is missing; the target is a folder.
    for (const std::string& path : {Path("no-such-folder/a.etl"), Path("taken")}) {
        if (path == Path("taken")) fs::create_directory(path);
        try {
            etl::WriteDefaultFile(path);
            ADD_FAILURE() << "written: " << path;
        } catch (const etl::Error& e) {
            EXPECT_EQ(e.problem(), etl::Problem::CannotWrite);
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
    EXPECT_TRUE(fs::is_directory(Path("taken")));
}

TEST_F(Etl, AReplacedFileGetsTheNewRecordsAndKeepsItsMode) {
    const std::string path = Path("site.etl");
    Write(path, Bytes(341, 0xAB));  // a broken list, replaced whole
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::vector<etl::Event> events(10, etl::Event{9, 1, "Nine"});
    etl::WriteFile(path, events);
    EXPECT_EQ(etl::ReadFile(path), events);
    EXPECT_EQ(fs::file_size(path), 340u);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
