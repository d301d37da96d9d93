#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTableView>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "EventListModel.h"
#include "EventListWindow.h"
#include "etl/etl.h"

namespace fs = std::filesystem;
using etleditor::CloseAnswer;
using etleditor::EventListModel;
using Bytes = std::vector<std::uint8_t>;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "etleditor_editor_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class EventListEditor : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        char pattern[] = "/tmp/etleditortest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    QString Path(const std::string& name) const { return QString::fromStdString((dir / name).string()); }
    static void Write(const QString& path, const Bytes& bytes) {
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static Bytes Read(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // An open model on a file holding the given number of records, codes 1..n.
    QString ListOf(std::size_t records) {
        std::vector<etl::Event> events;
        for (std::size_t i = 0; i < records; ++i)
            events.push_back({std::uint16_t(i + 1), 0, "Event " + std::to_string(i + 1)});
        const QString path = Path("list.etl");
        etl::WriteFile(path.toStdString(), events);
        return path;
    }
    std::vector<std::uint16_t> Codes(const EventListModel& m) const {
        std::vector<std::uint16_t> out;
        for (const etl::Event& e : m.events()) out.push_back(e.code);
        return out;
    }
    fs::path dir;
};

// ---- field checks -------------------------------------------------------

struct FieldCase {
    int column;
    QString text;
    bool accepted;
};

TEST_F(EventListEditor, FieldChecksRefuseOutOfRangeAndAcceptBoundaries) {
    const QString n31(31, QLatin1Char('n'));
    const QString n32(32, QLatin1Char('n'));
    const QString latin31 = QString(30, QChar(0xE9)) + QChar(0xFF);  // 31 bytes in Latin-1
    const std::vector<FieldCase> cases{
        {EventListModel::CodeColumn, "0", true},
        {EventListModel::CodeColumn, "65535", true},
        {EventListModel::CodeColumn, "65536", false},
        {EventListModel::CodeColumn, "-1", false},
        {EventListModel::CodeColumn, "", false},
        {EventListModel::CodeColumn, "12a", false},
        {EventListModel::CodeColumn, "99999999999999999999999", false},
        {EventListModel::FlagColumn, "0", true},
        {EventListModel::FlagColumn, "255", true},
        {EventListModel::FlagColumn, "256", false},
        {EventListModel::FlagColumn, "1.5", false},
        {EventListModel::NameColumn, "", true},
        {EventListModel::NameColumn, n31, true},
        {EventListModel::NameColumn, latin31, true},
        {EventListModel::NameColumn, n32, false},
        {EventListModel::NameColumn, QString::fromUtf8("Zone \u20AC"), false},       // euro sign
        {EventListModel::NameColumn, QString::fromUtf8("Alarm \U0001F514"), false},  // outside the BMP
        {EventListModel::NameColumn, QString("a") + QChar(0) + "b", false},
    };
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(ListOf(10), &message)) << message.toStdString();
    for (const FieldCase& c : cases) {
        SCOPED_TRACE("column " + std::to_string(c.column) + " text \"" + c.text.toStdString() + "\"");
        const etl::Event before = m.events()[3];
        QString why;
        EXPECT_EQ(m.SetField(3, c.column, c.text, &why), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(why.isEmpty());
            EXPECT_EQ(m.data(m.index(3, c.column)).toString(),
                      c.column == EventListModel::NameColumn ? c.text : QString::number(c.text.toUInt()));
        } else {
            EXPECT_FALSE(why.isEmpty());
            EXPECT_EQ(m.events()[3], before);  // a refused edit changes nothing
        }
    }
}

TEST_F(EventListEditor, RefusedEditInTheTableIsReported) {
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(ListOf(10), &message));
    QSignalSpy refused(&m, &EventListModel::editRefused);
    EXPECT_FALSE(m.setData(m.index(0, EventListModel::FlagColumn), "256"));
    ASSERT_EQ(refused.count(), 1);
    EXPECT_TRUE(refused.front().front().toString().contains("255"));
    EXPECT_FALSE(m.isModified());
    EXPECT_TRUE(m.setData(m.index(0, EventListModel::FlagColumn), "7"));
    EXPECT_EQ(m.events()[0].flag, 7);
    EXPECT_TRUE(m.isModified());
}

// ---- add, remove, move ------------------------------------------------------

TEST_F(EventListEditor, AddRemoveAndMove) {
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(ListOf(11), &message));
    EXPECT_FALSE(m.isModified());

    // Added after the given row with the next code after the highest.
    EXPECT_EQ(m.AddEvent(0), 1);
    EXPECT_EQ(m.events()[1], (etl::Event{12, 0, "Unused"}));
    EXPECT_EQ(m.AddEvent(-1), 12);
    EXPECT_EQ(m.events()[12].code, 13);
    EXPECT_TRUE(m.isModified());

    ASSERT_TRUE(m.RemoveEvent(1, &message));
    ASSERT_TRUE(m.RemoveEvent(11, &message));
    EXPECT_EQ(Codes(m), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

    EXPECT_TRUE(m.MoveUp(2));
    EXPECT_TRUE(m.MoveDown(0));
    EXPECT_FALSE(m.MoveUp(0));
    EXPECT_FALSE(m.MoveDown(10));
    EXPECT_FALSE(m.MoveUp(11));
    EXPECT_EQ(Codes(m), (std::vector<std::uint16_t>{3, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(EventListEditor, NewCodeAfter65535WrapsToZero) {
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(ListOf(10), &message));
    ASSERT_TRUE(m.SetField(9, EventListModel::CodeColumn, "65535", &message));
    EXPECT_EQ(m.events()[m.AddEvent(-1)].code, 0);
}

TEST_F(EventListEditor, RemovingBelowTenRecordsIsRefusedWithAWarning) {
    EventListModel m;
    QString warning;
    ASSERT_TRUE(m.Open(ListOf(11), &warning));
    EXPECT_TRUE(m.RemoveEvent(0, &warning));
    EXPECT_TRUE(warning.isEmpty());
    EXPECT_FALSE(m.RemoveEvent(0, &warning));
    EXPECT_TRUE(warning.contains("10 records")) << warning.toStdString();
    EXPECT_EQ(m.rowCount(), 10);
}

// ---- opening and saving -------------------------------------------------------

TEST_F(EventListEditor, SaveRoundTripsByteForByteThroughTheLibrary) {
    const QString demo = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + "/demo/Vq/EventList/Default.etl";
    const QString path = Path("copy.etl");
    Write(path, Read(demo));
    ASSERT_EQ(Read(path).size(), etl::kDefaultFileSize);

    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(path, &message)) << message.toStdString();
    EXPECT_EQ(m.events(), etl::DefaultTable());
    ASSERT_TRUE(m.Save(&message)) << message.toStdString();
    EXPECT_EQ(Read(path), Read(demo));

    // Edits land in the file as the library encodes them, and read back the same.
    ASSERT_TRUE(
        m.SetField(2, EventListModel::NameColumn, QString::fromLatin1("R\xE9initialisation"), &message));
    ASSERT_TRUE(m.SetField(2, EventListModel::CodeColumn, "4660", &message));
    m.AddEvent(-1);
    ASSERT_TRUE(m.Save(&message)) << message.toStdString();
    EXPECT_FALSE(m.isModified());
    EXPECT_EQ(Read(path), etl::Encode(m.events()));
    EXPECT_EQ(etl::ReadFile(path.toStdString()), m.events());
    EXPECT_EQ(m.events()[2].name, "R\xE9initialisation");
    const Bytes bytes = Read(path);
    EXPECT_EQ(bytes[2 * 34], 0x34);
    EXPECT_EQ(bytes[2 * 34 + 1], 0x12);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(EventListEditor, MissingFileOpensAsANewUnsavedDefaultList) {
    const QString path = Path("new.etl");
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(path, &message));
    EXPECT_TRUE(m.isNew());
    EXPECT_TRUE(m.isModified());
    EXPECT_EQ(m.events(), etl::DefaultTable());
    EXPECT_FALSE(fs::exists(path.toStdString()));  // nothing written until saved
    ASSERT_TRUE(m.Save(&message));
    EXPECT_EQ(Read(path), etl::Encode(etl::DefaultTable()));
    EXPECT_FALSE(m.isNew());
}

TEST_F(EventListEditor, SaveIntoAMissingFolderFailsWithAMessage) {
    EventListModel m;
    QString message;
    ASSERT_TRUE(m.Open(Path("no-such-folder/new.etl"), &message));
    EXPECT_FALSE(m.Save(&message));
    EXPECT_TRUE(message.contains("cannot be written")) << message.toStdString();
    EXPECT_TRUE(m.isModified());
}

struct BadFile {
    const char* label;
    const char* says;  // the fault as the message names it
    std::function<QString(const fs::path& dir)> make;
};

TEST_F(EventListEditor, FileThatIsNotAnEventListIsRefusedAndLeftUntouched) {
    const std::vector<BadFile> cases{
        {"341 bytes", "341 bytes",
         [](const fs::path& d) {
             const QString p = QString::fromStdString((d / "odd.etl").string());
             Write(p, Bytes(341, 0x41));
             return p;
         }},
        {"9 records", "9 records",
         [](const fs::path& d) {
             const QString p = QString::fromStdString((d / "short.etl").string());
             Write(p, Bytes(9 * 34, 0x42));
             return p;
         }},
        {"empty", "0 records",
         [](const fs::path& d) {
             const QString p = QString::fromStdString((d / "empty.etl").string());
             Write(p, {});
             return p;
         }},
        {"a folder", "not a readable file",
         [](const fs::path& d) {
             fs::create_directory(d / "folder.etl");
             return QString::fromStdString((d / "folder.etl").string());
         }},
        {"a symlink loop", "not a readable file",
         [](const fs::path& d) {
             fs::create_symlink(d / "loop.etl", d / "loop.etl");
             return QString::fromStdString((d / "loop.etl").string());
         }},
        {"a pipe", "not a readable file",
         [](const fs::path& d) {
             const std::string p = (d / "pipe.etl").string();
             mkfifo(p.c_str(), 0600);
             return QString::fromStdString(p);
         }},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = c.make(dir);
        std::error_code ec;
        const bool folder = fs::is_directory(path.toStdString(), ec);
        const bool regular = fs::is_regular_file(path.toStdString(), ec);
        const Bytes before = regular ? Read(path) : Bytes{};
        EventListModel m;
        QString message;
        EXPECT_FALSE(m.Open(path, &message));
        EXPECT_TRUE(message.contains(path)) << message.toStdString();
        EXPECT_TRUE(message.contains(c.says)) << message.toStdString();
        EXPECT_TRUE(message.contains("left as it is")) << message.toStdString();
        EXPECT_FALSE(m.isOpen());
        EXPECT_EQ(m.rowCount(), 0);
        // Nothing can be saved over it.
        EXPECT_FALSE(m.Save(&message));
        EXPECT_TRUE(m.MayClose([] { return CloseAnswer::Save; }, &message));
        if (regular) {
            EXPECT_EQ(Read(path), before);
        }
        EXPECT_EQ(fs::is_directory(path.toStdString(), ec), folder);
        EXPECT_EQ(fs::is_regular_file(path.toStdString(), ec), regular);
    }
}

TEST_F(EventListEditor, UnreadableFileIsRefusedAndLeftUntouched) {
    const QString path = ListOf(10);
    const Bytes before = Read(path);
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0), 0);
    if (access(path.toLocal8Bit().constData(), R_OK) == 0)
        GTEST_SKIP() << "this user reads files whatever their mode";
    EventListModel m;
    QString message;
    EXPECT_FALSE(m.Open(path, &message));
    EXPECT_TRUE(message.contains("not a readable file")) << message.toStdString();
    EXPECT_FALSE(m.Save(&message));
    chmod(path.toLocal8Bit().constData(), 0600);
    EXPECT_EQ(Read(path), before);
}

// ---- the unsaved-changes question -----------------------------------------------

TEST_F(EventListEditor, UnsavedChangesQuestionOnClose) {
    struct Case {
        const char* label;
        bool edit;
        CloseAnswer answer;
        bool asked;
        bool closes;
        bool saved;
    };
    const std::vector<Case> cases{
        {"unchanged", false, CloseAnswer::Cancel, false, true, false},
        {"cancel", true, CloseAnswer::Cancel, true, false, false},
        {"discard", true, CloseAnswer::Discard, true, true, false},
        {"save", true, CloseAnswer::Save, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = ListOf(10);
        const Bytes before = Read(path);
        etleditor::EventListWindow w;
        QString message;
        ASSERT_TRUE(w.model().Open(path, &message));
        int asked = 0;
        QStringList notes;
        w.setPrompt([&] {
            ++asked;
            return c.answer;
        });
        w.setNotify([&](const QString& text) { notes << text; });
        w.show();
        if (c.edit) {
            ASSERT_TRUE(w.model().SetField(0, EventListModel::NameColumn, "Changed", &message));
        }
        EXPECT_EQ(w.isWindowModified(), c.edit);
        EXPECT_EQ(w.close(), c.closes);
        EXPECT_EQ(asked, c.asked ? 1 : 0);
        EXPECT_EQ(w.isVisible(), !c.closes);
        EXPECT_TRUE(notes.isEmpty());
        EXPECT_EQ(Read(path) != before, c.saved);
        if (c.saved) {
            EXPECT_EQ(etl::ReadFile(path.toStdString())[0].name, "Changed");
        }
    }
}

TEST_F(EventListEditor, FailedSaveOnCloseKeepsTheWindowOpen) {
    etleditor::EventListWindow w;
    QString message;
    ASSERT_TRUE(w.model().Open(Path("no-such-folder/new.etl"), &message));
    QStringList notes;
    w.setPrompt([] { return CloseAnswer::Save; });
    w.setNotify([&](const QString& text) { notes << text; });
    w.show();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes.front().contains("cannot be written"));
}

TEST_F(EventListEditor, WindowButtonsWarnInsteadOfDroppingBelowTen) {
    etleditor::EventListWindow w;
    QString message;
    ASSERT_TRUE(w.model().Open(ListOf(10), &message));
    QStringList notes;
    w.setNotify([&](const QString& text) { notes << text; });
    w.show();
    w.table()->selectRow(4);
    w.table()->setCurrentIndex(w.model().index(4, 0));
    w.RemoveEvent();
    EXPECT_EQ(w.model().rowCount(), 10);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes.front().contains("10 records"));
    w.AddEvent();  // after the current row
    EXPECT_EQ(w.model().events()[5].code, 11);
    w.MoveUp();
    EXPECT_EQ(w.model().events()[4].code, 11);
    EXPECT_EQ(w.table()->currentIndex().row(), 4);
    w.RemoveEvent();
    EXPECT_EQ(w.model().rowCount(), 10);
    EXPECT_EQ(notes.size(), 1);
    w.setPrompt([] { return CloseAnswer::Discard; });
}

// ---- the program's command line ---------------------------------------------------

TEST_F(EventListEditor, CommandLineExitCodes) {
    const QString program = QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR")) + "/EventListEditor";
    struct Case {
        QStringList args;
        int exitCode;
        const char* output;
    };
    const std::vector<Case> cases{
        {{"--help"}, 0, "Usage: EventListEditor"},   {{"--version"}, 0, "EventListEditor 1.0"},
        {{"--no-such-option"}, 2, "no-such-option"}, {{}, 2, "exactly one"},
        {{"a.etl", "b.etl"}, 2, "exactly one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        p.start(program, c.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        EXPECT_TRUE(out.contains(c.output)) << out.toStdString();
    }
}

}  // namespace
