// vqtool compress run as a program, as a script would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>

#include "SiteFixture.h"

namespace {

struct UsageCase {
    QStringList args;
    const char* message;  // part of what stderr must say
};

TEST(Vqtool, UsageMistakesExitWithTwoAndSayWhy) {
    QStringList many = {"compress", "--network", "Plant", "--output", "x"};
    for (int i = 0; i < 17; ++i) many << "--subsystem" << QString("S%1").arg(i);
    const std::vector<UsageCase> cases = {
        {{}, "a command is required: compress"},
        {{"squeeze"}, "unknown command \"squeeze\""},
        {{"compress", "--subsystem", "A", "--output", "x.q70"}, "--network is required"},
        {{"compress", "--network", "Plant", "--output", "x.q70"}, "--subsystem is required"},
        {{"compress", "--network", "Plant", "--subsystem", "A"}, "--output is required"},
        {{"compress", "--network", "Plant", "--subsystem"}, "--subsystem"},
        {{"compress", "--network", "Plant", "--subsystem", "", "--output", "x"},
         "--subsystem: needs a value"},
        {{"compress", "--network=Plant", "--subsystem=A", "--output=x.q70", "--major", "1.5"},
         "--major: needs an unsigned number, not \"1.5\""},
        {{"compress", "--network", "Plant", "--subsystem", "A", "--output", "x", "--minor", "-1"},
         "--minor: needs an unsigned number, not \"-1\""},
        {{"compress", "--network", "Plant", "--subsystem", "A", "--output", "x", "--verbose"}, "--verbose"},
        {{"--colour"}, "--colour"},
        {{"compress", "--network", "Plant", "--subsystem", "A", "--output", "/no/such/folder/x.q70"},
         "does not exist"},
        // The subsystem page's rules, from the same code.
        {{"compress", "--network", "Plant", "--subsystem", "A", "--subsystem", "A.B", "--output", "x"},
         "--subsystem \"A.B\": A subsystem in the same hierarchy was already added."},
        {{"compress", "--network", "Plant", "--subsystem", "A.B", "--subsystem", "A", "--output", "x"},
         "--subsystem \"A\": A subsystem in the same hierarchy was already added."},
        {many,
         "--subsystem \"S16\": Cannot add more subsystems. The maximum number of subsystems in the VQ is 16"},
    };
    SiteFixture site("A: vq VQ1@1");
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QString out, err;
        EXPECT_EQ(site.RunTool("vqtool", c.args, &out, &err), 2);
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    }
}

TEST(Vqtool, HelpAndVersionExitWithZero) {
    SiteFixture site("A: vq VQ1@1");
    const std::vector<std::pair<QStringList, QStringList>> cases = {
        {{"--help"}, {"Usage: vqtool", "compress", "OVX_HOME", "TESSARIN_PATH", "Exit codes:"}},
        {{"-h"}, {"Usage: vqtool", "compress"}},
        {{"compress", "--help"}, {"--network", "--subsystem", "--output", "--major", "--minor", "OVX_HOME"}},
        {{"--version"}, {"vqtool 1."}},
    };
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QString out, err;
        EXPECT_EQ(site.RunTool("vqtool", args, &out, &err), 0);
        for (const QString& s : says)
            EXPECT_TRUE(out.contains(s)) << s.toStdString() << "\n" << out.toStdString();
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }
}

TEST(Vqtool, UnknownNetworkIsASetUpError) {
    SiteFixture site("A: vq VQ1@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    QString out, err;
    EXPECT_EQ(site.RunTool(
                  "vqtool",
                  {"compress", "--network", "Elsewhere", "--subsystem", "A", "--output", site.OutputPath()},
                  &out, &err),
              2);
    EXPECT_TRUE(err.contains("no network database named \"Elsewhere\"")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(site.OutputPath()));
}

TEST(Vqtool, SuccessAndFailurePrintTheProgressAndWriteTheLog) {
    SiteFixture site("A: vq VQ1@1; dev N1@1\nB: dev N2@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    const QString install = site.Dir() + "/install";
    ASSERT_TRUE(QDir().mkpath(install + "/Vq"));

    QString out, err;
    ASSERT_EQ(
        site.RunTool("vqtool",
                     {"compress", "--network", "Plant", "--subsystem", "A", "--output", site.OutputPath()},
                     &out, &err, {"TESSARIN_PATH=" + install}),
        0)
        << out.toStdString() << err.toStdString();
    const QStringList lines = out.split('\n');
    EXPECT_EQ(lines.mid(0, 2), (QStringList{"", "Start Compressing Database..."}));
    EXPECT_TRUE(lines.contains("Adding near channel device: N1"));
    // The progress, then the full path of the file written.
    EXPECT_EQ(lines.mid(lines.size() - 4),
              (QStringList{"Compression SUCCESSFUL", "", QDir::toNativeSeparators(site.OutputPath()), ""}));
    EXPECT_TRUE(QFile::exists(site.OutputPath()));

    // The hierarchy without a VQ fails the run.
    QString failOut;
    EXPECT_EQ(
        site.RunTool("vqtool",
                     {"compress", "--network", "Plant", "--subsystem", "B", "--output", site.OutputPath()},
                     &failOut, nullptr, {"TESSARIN_PATH=" + install}),
        1);
    EXPECT_TRUE(failOut.contains("Compression FAILED:\nNo VQ is found in the subsystem hierarchy.\n"))
        << failOut.toStdString();

    // Each run wrote a program log in the install directory's Vq folder with
    // the run's lines between the compression section markers.
    const QStringList logs = QDir(install + "/Vq").entryList({"*.vqlog"}, QDir::Files);
    ASSERT_FALSE(logs.isEmpty());
    QByteArray all;
    for (const QString& name : logs) {
        QFile log(install + "/Vq/" + name);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        all += log.readAll();
    }
    EXPECT_TRUE(all.contains("************************* Begin Compression...\r\n"));
    EXPECT_TRUE(all.contains("Save compressed database into file: " + site.OutputPath().toUtf8()));
    EXPECT_TRUE(all.contains("Adding VQ device: VQ1\r\n"));
    EXPECT_TRUE(all.contains("Compression SUCCESSFUL\r\n"));
    EXPECT_TRUE(all.contains("************************* End Compression\r\n"));
}

// Where the file cannot go: a folder that is missing or cannot be written to
// is a set-up error said as such; a target the library cannot replace fails
// the run.
TEST(Vqtool, OutputThatCannotBeWrittenIsNeverASuccess) {
    SiteFixture site("A: vq VQ1@1; dev N1@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    const QString folderTarget = site.Dir() + "/out/folder.q70";
    ASSERT_TRUE(QDir().mkpath(folderTarget + "/inside"));
    struct Case {
        QString output;
        int exit;
        const char* says;  // on stdout for a failed run, on stderr for a set-up error
    };
    const std::vector<Case> cases = {
        {folderTarget, 1, "Compression FAILED:\nFile integrity error.\n"},
        {site.Dir() + "/missing/x.q70", 2, "does not exist"},
        // Not even root may create files here.
        {"/sys/x.q70", 2, "The directory /sys cannot be written to."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        QString out, err;
        EXPECT_EQ(site.RunTool("vqtool",
                               {"compress", "--network", "Plant", "--subsystem", "A", "--output", c.output},
                               &out, &err),
                  c.exit);
        EXPECT_TRUE((c.exit == 1 ? out : err).contains(c.says)) << out.toStdString() << err.toStdString();
        EXPECT_FALSE(out.contains("SUCCESSFUL"));
    }
    EXPECT_TRUE(QFileInfo(folderTarget).isDir());
}

// One Ctrl-C cancels the run as the Cancel button does. A second one ends
// the program at once, as a kill does (two signals sent together may arrive
// as one, so the kill stands for it here). Either way no file and nothing
// temporary is left.
TEST(Vqtool, CtrlCCancelsTheRunAndAnAbruptEndLeavesNothing) {
    // Large enough that the run is still walking when the signal arrives.
    std::string text = "A: vq VQ1@1";
    for (int i = 0; i < 3000; ++i) text += "; dev D" + std::to_string(i) + "@1 loc=" + std::to_string(i);
    SiteFixture site(text);
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();

    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(signal);
        QProcess process;
        process.setProcessEnvironment(site.ToolEnvironment());
        process.start(BinPath("vqtool"),
                      {"compress", "--network", "Plant", "--subsystem", "A", "--output", site.OutputPath()});
        ASSERT_TRUE(process.waitForStarted());
        QByteArray out;
        while (!out.contains("Adding near channel device:") && process.waitForReadyRead(60000))
            out += process.readAllStandardOutput();
        ASSERT_TRUE(out.contains("Adding near channel device:")) << out.toStdString();
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        out += process.readAllStandardOutput();

        if (signal == SIGINT) {
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 3);
            EXPECT_TRUE(out.endsWith("Compression Cancelled\n\n")) << out.right(200).toStdString();
            EXPECT_FALSE(out.contains("Adding near channel device: D2999\n"));
        }
        EXPECT_FALSE(QFile::exists(site.OutputPath()));
        const QStringList left =
            QDir(site.Dir() + "/out").entryList({"*.tmp*"}, QDir::AllEntries | QDir::Hidden);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }
}

}  // namespace
