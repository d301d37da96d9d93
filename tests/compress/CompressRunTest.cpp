// The compression run without a page: a table of what the user typed and
// answered, and what the run did (outcome, file, boxes, log file).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "SiteFixture.h"
#include "compress/CompressRun.h"
#include "log/Log.h"
#include "util/Prompter.h"

namespace {

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

struct RunCase {
    const char* title;
    const char* site;
    QString name;  // as entered; "{dir}" is the test's output folder
    std::vector<MsgResult> answers;
    CompressOutcome outcome;
    QStringList boxes;     // texts of the boxes shown, in order
    QString file;          // the full path written ("{dir}", "{default}"), empty when none
    QStringList logLines;  // lines the log file holds, in order
    std::function<void(const QString& dir)> prepare = nullptr;
    bool script = false;
};

const QString kAsk = "The file you entered already exists. Would you like to overwrite it?";
const QString kMissing = "The directory you specified does not exist. Would you like to create it?";
const QString kView = "Compression was SUCCESSFUL.\nWould you like to go back to the page to view the log?";
const QString kFailedBox =
    "Compression FAILED. Please view the Progress window for the detailed error message.";
const char* kGood = "A: vq VQ1@1; dev N1@1";

void WriteOld(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("older");
}

TEST(CompressRun, WhatTheUserEnteredAndAnswered) {
    const std::vector<RunCase> cases = {
        {"no name",
         kGood,
         "",
         {},
         CompressOutcome::Refused,
         {"You must enter a file name to save the compressed file to."},
         "",
         {"Save compressed database into file: "}},
        {"a bare name goes into the default folder with the extension",
         kGood,
         "plant",
         {MsgResult::No},
         CompressOutcome::Succeeded,
         {kView},
         "{default}plant.q70",
         {"Save compressed database into file: plant", "Compression SUCCESSFUL",
          "************************* End Compression",
          "************************* Begin Compression List File", "VQ: VQ1 (handle"}},
        {"staying to view the log is its own outcome",
         kGood,
         "{dir}/stay.q70",
         {MsgResult::Yes},
         CompressOutcome::StayOnPage,
         {kView},
         "{dir}/stay.q70",
         {"Compression SUCCESSFUL"}},
        {"a missing folder declined",
         kGood,
         "{dir}/new/x.q70",
         {MsgResult::No},
         CompressOutcome::Refused,
         {kMissing},
         "",
         {"The directory {dir}/new does not exist."}},
        {"a missing folder created",
         kGood,
         "{dir}/new/x",
         {MsgResult::Yes, MsgResult::No},
         CompressOutcome::Succeeded,
         {kMissing, kView},
         "{dir}/new/x.q70",
         {"The directory {dir}/new does not exist.", "Creating directory {dir}/new.",
          "Compression SUCCESSFUL"}},
        {"replacing declined keeps the older file",
         kGood,
         "{dir}/old.q70",
         {MsgResult::No},
         CompressOutcome::Refused,
         {kAsk},
         "",
         {"The file specified already exists. It is not replaced.", "Compression Aborted",
          "************************* End Compression"},
         [](const QString& dir) { WriteOld(dir + "/old.q70"); }},
        {"replacing accepted",
         kGood,
         "{dir}/old.q70",
         {MsgResult::Yes, MsgResult::No},
         CompressOutcome::Succeeded,
         {kAsk, kView},
         "{dir}/old.q70",
         {"The file specified already exists. It is being replaced.", "Compression SUCCESSFUL"},
         [](const QString& dir) { WriteOld(dir + "/old.q70"); }},
        {"a failed run shows its box and files the error file",
         "A: dev N1@1",
         "{dir}/none.q70",
         {},
         CompressOutcome::Failed,
         {kFailedBox},
         "",
         {"No VQ is found in the subsystem hierarchy.", "************************* End Compression",
          "************************* Begin Compression Error File", "Status: 0x2803",
          "************************* End Compression Error File"}},
        {"a folder in place of the file fails the run",
         kGood,
         "{dir}/folder.q70",
         {MsgResult::Yes},
         CompressOutcome::Failed,
         {kAsk, kFailedBox},
         "",
         {"Compression FAILED:", "File integrity error.",
          "************************* Begin Compression Error File", "cannot move the file into place"},
         [](const QString& dir) { QDir().mkpath(dir + "/folder.q70"); }},
        {"a folder nobody may write in is named",
         kGood,
         "/sys/x.q70",
         {},
         CompressOutcome::Refused,
         {"The directory /sys cannot be written to."},
         "",
         {"The directory /sys cannot be written to."}},
        {"a script asks nothing and keeps the side files",
         kGood,
         "{dir}/old.q70",
         {},
         CompressOutcome::Succeeded,
         {},
         "{dir}/old.q70",
         {"Save compressed database into file: {dir}/old.q70", "Compression SUCCESSFUL"},
         [](const QString& dir) { WriteOld(dir + "/old.q70"); },
         true},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.title);
        SiteFixture site(c.site);
        ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
        QTemporaryDir install;
        QDir(install.path()).mkpath("Vq");
        qputenv("TESSARIN_PATH", install.path().toLocal8Bit());
        const QString dir = site.Dir() + "/out";
        const QString defaultDir = install.path() + "/Vq/CompressedDB/";
        const auto fill = [&](QString s) { return s.replace("{dir}", dir).replace("{default}", defaultDir); };
        if (c.prepare) c.prepare(dir);

        ScriptedPrompter prompter;
        for (MsgResult a : c.answers) prompter.Answer(a);
        SetPrompter(&prompter);
        OpenLogFile();
        site.OpenDatabase();

        CompressRequest request;
        request.enteredName = fill(c.name);
        request.subsystems = {"A"};
        if (c.script) {
            request.completeName = false;
            request.askBeforeReplacing = false;
            request.reportOutcome = false;
            request.keepSideFiles = true;
        }
        int focused = 0, started = 0, ended = 0;
        CompressRunHooks hooks;
        hooks.focusName = [&] { ++focused; };
        hooks.walkStarting = [&] { ++started; };
        hooks.walkEnded = [&] { ++ended; };
        CLog log(&site.View());
        const CompressResult result =
            CompressRun(site.Context().m_walk, site.Context().m_compressSystem, request, log, hooks);
        const QString logText = ReadAll(GetLogFilePath());
        CloseLogFile();
        SetPrompter(nullptr);
        qunsetenv("TESSARIN_PATH");

        EXPECT_EQ(result.outcome, c.outcome);
        QStringList boxes;
        for (const auto& b : prompter.boxes) boxes << b.text;
        EXPECT_EQ(boxes, c.boxes);
        const bool ran = c.outcome != CompressOutcome::Refused;
        EXPECT_EQ(started, ran ? 1 : 0);
        EXPECT_EQ(ended, started);
        if (!c.file.isEmpty()) {
            EXPECT_EQ(QDir::fromNativeSeparators(result.fullPath), fill(c.file));
            EXPECT_TRUE(QFileInfo(fill(c.file)).isFile());
            EXPECT_NE(ReadAll(fill(c.file)), "older");
        }
        qsizetype at = 0;
        for (const QString& line : c.logLines) {
            const qsizetype found = logText.indexOf(fill(line), at);
            EXPECT_GE(found, 0) << "missing in order: " << fill(line).toStdString() << "\n"
                                << logText.toStdString();
            if (found >= 0) at = found;
        }
        // The page files the side files and removes them; a script keeps them.
        if (ran) {
            EXPECT_EQ(QFile::exists(result.fullPath + ".lst"), c.script);
            EXPECT_EQ(QFile::exists(result.fullPath + ".log"), c.script);
            EXPECT_EQ(QFile::exists(defaultDir + "Detailed compression log.log"), !c.script);
        }
        // A refusal of a name sends the user back to it.
        EXPECT_EQ(focused, c.outcome == CompressOutcome::Refused && !c.name.isEmpty() ? 1 : 0);
    }
}

TEST(CompressRun, CancelledRunShowsNoBox) {
    SiteFixture site("A: vq VQ1@1; dev N1@1; dev N2@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    ScriptedPrompter prompter;
    SetPrompter(&prompter);
    site.OpenDatabase();
    site.View().onText = [&site](const QString& text) {
        if (text == "Adding near channel device: N1") site.Context().m_cancelRequested = true;
    };
    CompressRequest request;
    request.enteredName = site.OutputPath();
    request.subsystems = {"A"};
    CLog log(&site.View());
    const CompressResult result =
        CompressRun(site.Context().m_walk, site.Context().m_compressSystem, request, log);
    SetPrompter(nullptr);
    EXPECT_EQ(result.outcome, CompressOutcome::Cancelled);
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_FALSE(QFile::exists(site.OutputPath()));
}

}  // namespace
