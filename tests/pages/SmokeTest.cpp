// Starts the wizard the way the program does (object server, a context that
// shows no window of its own, sheet), walks each flow to its last page and
// leaves by Finish or Exit; the log file shows the run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../common/WizardDriver.h"
#include "app/SetupDlg.h"
#include "log/Log.h"
#include "pages/CPageMain.h"
#include "util/Prompter.h"

namespace {

struct SmokeCase {
    const char* name;
    int option;
    int pages;    // pages in the flow
    bool finish;  // leave by Finish, else by Exit on the last page
};

class Smoke : public ::testing::TestWithParam<SmokeCase> {};

TEST_P(Smoke, WalksTheFlowToItsLastPageAndExits) {
    int argc = 1;
    char name[] = "vqwizard";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Vq/CompressedDB"));
    const QString data = dir.path() + QStringLiteral("/ovx");
    ASSERT_EQ(wizard_driver::ImportDemoSite(data), QString());
    const QString q70 = dir.path() + QStringLiteral("/Vq/CompressedDB/site.q70");
    ASSERT_EQ(wizard_driver::CompressDemoSite(data, q70), QString());
    qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
    qputenv("OVX_HOME", data.toLocal8Bit());
    // The temporary database of its own: the walks load into it, and walks run side by side.
    QDir(dir.path()).mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toLocal8Bit());
    ScriptedPrompter prompter;
    SetPrompter(&prompter);

    OpenLogFile();
    const QString logPath = GetLogFilePath();
    ASSERT_FALSE(logPath.isEmpty());
    std::vector<int> visited;
    {
        CSetupDlg dlg;
        dlg.onWizardShown = [&](CMainWizard& w) {
            // Whatever fails below, the wizard is left by Exit so the run ends.
            struct Leave {
                CMainWizard& w;
                bool done = false;
                ~Leave() {
                    if (!done) QTest::mouseClick(w.CancelButton(), Qt::LeftButton);
                }
            } leave{w};
            // A walk that hangs in a nested loop fails instead of running until the test's time-out.
            QTimer::singleShot(60000, &w, [&w] {
                ADD_FAILURE() << "the walk did not end";
                w.done(QDialog::Rejected);
            });
            visited.push_back(w.CurrentPageId());
            // The sheet is the only window: the context never shows its own.
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->isVisible() && top != &w) ADD_FAILURE() << top->metaObject()->className();
            w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio%1").arg(1000 + GetParam().option))
                ->click();
            for (int i = 1; i < GetParam().pages; ++i) {
                wizard_driver::FillPageForNext(w, prompter, q70);
                QTest::mouseClick(w.NextButton(), Qt::LeftButton);
                QCoreApplication::processEvents();
                visited.push_back(w.CurrentPageId());
            }
            ASSERT_TRUE(w.FinishButton()->isVisible());
            // The load page holds Exit back; it comes back one page earlier.
            EXPECT_FALSE(w.CancelButton()->isEnabled());
            if (!GetParam().finish) {
                QTest::mouseClick(w.BackButton(), Qt::LeftButton);
                QCoreApplication::processEvents();
                EXPECT_TRUE(w.CancelButton()->isEnabled());
            }
            leave.done = true;
            QTest::mouseClick(GetParam().finish ? w.FinishButton() : w.CancelButton(), Qt::LeftButton);
        };
        dlg.Run();
        EXPECT_FALSE(dlg.isVisible());
    }
    CloseLogFile();
    SetPrompter(nullptr);

    const auto& flow = CMainWizard::Flow(GetParam().option);
    EXPECT_EQ(visited, flow);
    // The only box of a good walk is the question after a successful compression.
    for (const auto& b : prompter.boxes)
        if (!b.text.startsWith(QStringLiteral("Compression was SUCCESSFUL.")))
            ADD_FAILURE() << b.text.toStdString();

    QFile f(logPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray log = f.readAll();
    EXPECT_TRUE(log.startsWith("Starting program at ")) << log.constData();
    EXPECT_EQ(log.indexOf("\r\n"), log.indexOf("\r\n\r\n"));  // the start line, then an empty line
    const QByteArray option =
        "Main option chosen: " + CPageMain::OptionLogName(GetParam().option).toLatin1() + "\r\n\r\n";
    EXPECT_TRUE(log.contains(option)) << log.constData();
    if (GetParam().option == 1) {
        EXPECT_TRUE(log.contains("The database file " + q70.toUtf8() + " is entered for loading.\r\n\r\n"));
    }
    const int end = log.lastIndexOf("Ending program at ");
    ASSERT_GT(end, 0);
    EXPECT_TRUE(log.endsWith("\r\n\r\n"));
    EXPECT_EQ(log.mid(end).count("\r\n"), 2);  // the end line and one empty line
}

INSTANTIATE_TEST_SUITE_P(AllFlows, Smoke,
                         ::testing::Values(SmokeCase{"compressAndLoad", 0, 8, true},
                                           SmokeCase{"loadDatabase", 1, 6, false},
                                           SmokeCase{"loadApplicationOnly", 2, 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmokeStart, ObjectServerThatDoesNotOpenIsReportedOnceAndTheWizardStillRuns) {
    int argc = 1;
    char name[] = "vqwizard";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // The data folder is a plain file: the object server cannot open it.
    const QString blocker = dir.path() + QStringLiteral("/ovx");
    QFile(blocker).open(QIODevice::WriteOnly);
    qputenv("OVX_HOME", blocker.toLocal8Bit());
    qunsetenv("TESSARIN_PATH");
    ScriptedPrompter prompter;
    SetPrompter(&prompter);
    int firstPage = -1;
    {
        CSetupDlg dlg;
        dlg.onWizardShown = [&](CMainWizard& w) {
            firstPage = w.CurrentPageId();
            QTest::mouseClick(w.CancelButton(), Qt::LeftButton);
        };
        dlg.Run();
        EXPECT_FALSE(dlg.m_networks);
        EXPECT_FALSE(dlg.m_networkInterfaces);
    }
    SetPrompter(nullptr);
    EXPECT_EQ(firstPage, 0);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("Error: The object server is not opened."));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("Vaquor Setup Utility"));
    EXPECT_EQ(prompter.boxes[0].icon, MsgIcon::Exclamation);
}
}  // namespace
