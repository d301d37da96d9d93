// Runs the program's start-up with command lines that carry the toolkit's own
// options next to ours; the wizard comes up and is left by Exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "app/MainWizard.h"
#include "app/SetupApp.h"
#include "app/WizardMain.h"
#include "pages/CPageMain.h"

namespace {

struct StartCase {
    const char* name;
    std::vector<std::string> args;  // after the program name
    bool interp;
    bool maint;
};

class Startup : public ::testing::TestWithParam<StartCase> {};

TEST_P(Startup, SwitchesAreReadFromTheArgumentsAsGiven) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Vq"));
    QDir(dir.path()).mkpath(QStringLiteral("ovx"));
    qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
    qputenv("OVX_HOME", (dir.path() + QStringLiteral("/ovx")).toLocal8Bit());

    std::vector<std::string> storage{"vqwizard"};
    for (const auto& a : GetParam().args) storage.push_back(a);
    std::vector<char*> argv;
    for (auto& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    bool shown = false, maintenanceButtons = false;
    QStringList otherWindows;
    const int rc = RunWizardProgram(int(storage.size()), argv.data(), [&](CMainWizard& w) {
        shown = true;
        maintenanceButtons =
            w.m_pageMain->m_btnDeleteTempDb->isVisible() && w.m_pageMain->m_btnDeleteLogFiles->isVisible();
        // The wizard is the program's only window.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top != &w) otherWindows << top->metaObject()->className();
        QTest::mouseClick(w.CancelButton(), Qt::LeftButton);
    });
    qunsetenv("TESSARIN_PATH");
    EXPECT_EQ(rc, 0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(TheApp().m_bInterpretedProgram, GetParam().interp);
    EXPECT_EQ(TheApp().m_bMaintenance, GetParam().maint);
    EXPECT_EQ(maintenanceButtons, GetParam().maint);
    EXPECT_TRUE(otherWindows.isEmpty()) << otherWindows.join(QLatin1Char(' ')).toStdString();
}

// The toolkit takes "-style X", "-session X", "-platform X" and "-reverse"
// out of the argument list; X may be one of our switches, and the option
// itself counts by its first two characters like any other argument.
INSTANTIATE_TEST_SUITE_P(
    Table, Startup,
    ::testing::Values(StartCase{"plain", {}, false, false},
                      StartCase{"bothSwitches", {"-d", "-i"}, true, true},
                      StartCase{"styleTakesI", {"-style", "-i"}, true, false},
                      StartCase{"sessionTakesD", {"-session", "-d"}, false, true},
                      StartCase{
                          "platformThenSwitches", {"-platform", "offscreen", "-interp", "-dump"}, true, true},
                      StartCase{"reverseIsNothing", {"-reverse"}, false, false},
                      StartCase{"caseCounts", {"-I", "-D", "--i"}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
