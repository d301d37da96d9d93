#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "log/Log.h"
#include "log/LogDetail.h"
#include "util/Prompter.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An install directory with a Vq folder, a scripted prompter, and no log
// file left open afterwards.
class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkdir(QStringLiteral("Vq"));
        qputenv("TESSARIN_PATH", m_dir.path().toLocal8Bit());
        SetPrompter(&m_prompter);
    }
    void TearDown() override {
        CloseLogFile();
        SetPrompter(nullptr);
        qunsetenv("TESSARIN_PATH");
    }
    QString VqPath(const QString& name = {}) const { return m_dir.path() + QStringLiteral("/Vq/") + name; }

    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
};

struct RecordingView : ILogView {
    void Clear() override { text.clear(); }
    void AppendAtEnd(const QString& t) override { text += t; }
    void Repaint() override { ++repaints; }
    QString text;
    int repaints = 0;
};

TEST_F(LogFixture, FileIsNamedByStartTimeAndHoldsCrLfLines) {
    OpenLogFile();
    ASSERT_TRUE(IsLogFileOpen());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d [A-Z][a-z]{2} \\d\\d_\\d\\d \\d\\d \\d\\d\\.vqlog$"))
            .match(GetLogFileName())
            .hasMatch())
        << GetLogFileName().toStdString();
    EXPECT_EQ(GetLogFilePath(), VqPath(GetLogFileName()));
    LogWrite(QStringLiteral("one"));
    LogWrite(QString());
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path), QByteArray("one\r\n\r\n"));
    LogWrite(QStringLiteral("after close goes nowhere"));
    EXPECT_EQ(ReadAll(path), QByteArray("one\r\n\r\n"));
    EXPECT_TRUE(m_prompter.boxes.empty());
}

TEST_F(LogFixture, TimeTextUsesEnglishMonthsAndTwoDigitFields) {
    const QDateTime t(QDate(2026, 12, 5), QTime(7, 30, 12));
    EXPECT_EQ(FormatLogTime(t), QStringLiteral("05 Dec 26_07 30 12"));
}

TEST_F(LogFixture, ProgramFrameLinesCarryTheTimeOfTheFileName) {
    OpenLogFile();
    LogProgramStart(QDateTime(QDate(2026, 12, 5), QTime(7, 30, 12)));
    LogWrite(QStringLiteral("work"));
    LogProgramEnd(QDateTime(QDate(2026, 12, 5), QTime(7, 41, 3)));
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path), QByteArray("Starting program at 05 Dec 26_07 30 12\r\n\r\n"
                                        "work\r\n"
                                        "Ending program at 05 Dec 26_07 41 03\r\n\r\n"));
}

TEST_F(LogFixture, SectionMarkerBytes) {
    OpenLogFile();
    LogSection(QStringLiteral("End Loading"));
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path), QByteArray("\r\n************************* End Loading\r\n\r\n"));
}

TEST_F(LogFixture, ThousandByteFileIsCopiedInTwoRawReads) {
    QByteArray content;
    for (int i = 0; i < 1000; ++i) content.append(char(i % 7 == 0 ? '\n' : 'a' + i % 26));
    const QString src = m_dir.filePath(QStringLiteral("list.txt"));
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QFile in(src);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    std::vector<qint64> blocks;
    EXPECT_EQ(CopyInBlocks(in, in.size(), [&](const char*, qint64 n) { blocks.push_back(n); }), 2);
    EXPECT_EQ(blocks, (std::vector<qint64>{500, 500}));

    OpenLogFile();
    const QString title = QStringLiteral("Begin Compression List File");
    EXPECT_TRUE(AppendFileToLog(src, &title, true));
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path),
              QByteArray("\r\n************************* Begin Compression List File\r\n\r\n") + content);
}

TEST_F(LogFixture, AppendEmptyAndMissingFiles) {
    const QString empty = m_dir.filePath(QStringLiteral("empty.txt"));
    QFile(empty).open(QIODevice::WriteOnly);
    OpenLogFile();
    EXPECT_TRUE(AppendFileToLog(empty, nullptr, false));
    const QString missing = m_dir.filePath(QStringLiteral("nope.txt"));
    EXPECT_FALSE(AppendFileToLog(missing, nullptr, true));
    EXPECT_TRUE(m_prompter.boxes.empty());  // quiet
    EXPECT_FALSE(AppendFileToLog(missing, nullptr, false));
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_EQ(m_prompter.boxes[0].text, QStringLiteral("Cannot open file ") + missing);
    EXPECT_EQ(m_prompter.boxes[0].caption, QStringLiteral("Vaquor Setup Utility"));
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path), QByteArray());
}

TEST_F(LogFixture, AddLineGoesToFileAndView) {
    RecordingView view;
    CLog log(&view);
    OpenLogFile();
    log.AddLine(QStringLiteral("Compressing"));
    log.AddLine(QString());
    QString status;
    SetStatusSink([&](const QString& t) {
        status = t;
        return true;
    });
    log.ShowStatus(QStringLiteral("Walking"), false);
    EXPECT_EQ(status, QStringLiteral("Walking"));
    log.ShowStatus(QStringLiteral("Loaded"), true);
    SetStatusSink(nullptr);
    EXPECT_EQ(view.text, QStringLiteral("Compressing\r\n\r\nLoaded\r\n"));
    EXPECT_EQ(view.repaints, 3);
    log.Clear();
    EXPECT_TRUE(view.text.isEmpty());
    const QString path = GetLogFilePath();
    CloseLogFile();
    EXPECT_EQ(ReadAll(path), QByteArray("Compressing\r\n\r\nLoaded\r\n"));  // Clear leaves the file alone
}

TEST_F(LogFixture, TakenNameKeepsTheEarlierLogAndGetsAFreeOne) {
    // Other runs hold the names of this second and the next two already.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList stems;
    for (int s = 0; s < 3; ++s) {
        stems << FormatLogTime(now.addSecs(s));
        QFile other(VqPath(stems.last() + QStringLiteral(".vqlog")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("earlier run\r\n");
    }
    OpenLogFile();
    ASSERT_TRUE(IsLogFileOpen());
    LogWrite(QStringLiteral("later run"));
    const QString ours = GetLogFilePath();
    CloseLogFile();
    for (const QString& stem : stems)
        EXPECT_EQ(ReadAll(VqPath(stem + QStringLiteral(".vqlog"))), QByteArray("earlier run\r\n"));
    EXPECT_EQ(ReadAll(ours), QByteArray("later run\r\n"));
    const QString ourName = QFileInfo(ours).fileName();
    EXPECT_TRUE(ourName.endsWith(QStringLiteral("_2.vqlog"))) << ourName.toStdString();
    EXPECT_TRUE(stems.contains(ourName.left(18))) << ourName.toStdString();
    EXPECT_TRUE(m_prompter.boxes.empty());
}

TEST_F(LogFixture, MissingVqFolderOrInstallDir) {
    QDir(VqPath()).removeRecursively();
    OpenLogFile();
    EXPECT_FALSE(IsLogFileOpen());
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_EQ(m_prompter.boxes[0].text, QStringLiteral("Error creating log file."));

    qunsetenv("TESSARIN_PATH");
    qputenv("XDG_CONFIG_DIRS", m_dir.path().toLocal8Bit());  // no system settings either
    m_prompter.boxes.clear();
    OpenLogFile();
    EXPECT_FALSE(IsLogFileOpen());
    EXPECT_TRUE(m_prompter.boxes.empty());  // silently without a log
    LogWrite(QStringLiteral("nowhere"));
}

TEST_F(LogFixture, DeleteAllLogFilesKeepsTheOpenOneAndOtherFiles) {
    for (const char* n : {"01 Jan 26_00 00 00.vqlog", "02 Jan 26_00 00 00.vqlog", "keep.txt"}) {
        QFile f(VqPath(QString::fromLatin1(n)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    OpenLogFile();
    DeleteAllLogFiles();
    QStringList left = QDir(VqPath()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, QStringList({GetLogFileName(), QStringLiteral("keep.txt")}));
}
}  // namespace
