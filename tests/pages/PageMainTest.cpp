// The main page offscreen: the option from the profile, what Next stores
// and logs, and the two maintenance buttons.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "../common/WizardDriver.h"
#include "WizardEnv.h"
#include "app/MainWizard.h"
#include "app/SetupApp.h"
#include "context/SetupContext.h"
#include "pages/CPageMain.h"
#include "util/Registry.h"

namespace {

QByteArray ReadLog() {
    QFile f(GetLogFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QRadioButton* Radio(CMainWizard& w, int option) {
    return w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio%1").arg(1000 + option));
}

TEST(PageMain, TheOptionComesFromTheProfile) {
    struct Case {
        QVariant stored;  // invalid: no value yet
        int shown;
    };
    for (const Case& c : {Case{QVariant(), 0}, Case{1, 1}, Case{2, 2}}) {
        WizardEnv env;
        if (c.stored.isValid()) OpenProfile()->setValue(QStringLiteral("Main Option"), c.stored);
        CMainWizard w;
        w.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.m_pageMain->m_nOption, c.shown);
        EXPECT_TRUE(Radio(w, c.shown)->isChecked()) << c.shown;
        EXPECT_EQ(w.ButtonFlags(), kWizNext);
        EXPECT_EQ(w.CancelButton()->text(), QStringLiteral("Exit"));
    }
}

TEST(PageMain, NextStoresTheOptionLogsItAndMovesAlongItsFlow) {
    const struct {
        int option;
        const char* logName;
        int nextPage;
    } cases[] = {
        {0, "Compress and Load Database", 1}, {1, "Load Database", 4}, {2, "Load Application Only", 5}};
    for (const auto& c : cases) {
        WizardEnv env;
        OpenLogFile();
        CMainWizard w;
        w.show();
        QCoreApplication::processEvents();
        Radio(w, c.option)->click();
        w.NextButton()->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.m_choices.mainOption, c.option);
        EXPECT_EQ(w.CurrentPageId(), c.nextPage);
        EXPECT_EQ(OpenProfile()->value(QStringLiteral("Main Option")).toInt(), c.option);
        const QByteArray line = QByteArray("\r\nMain option chosen: ") + c.logName + "\r\n\r\n";
        EXPECT_TRUE(ReadLog().contains(line)) << ReadLog().constData();

        // Back shows the stored option again, not a click that was never confirmed.
        w.BackButton()->click();
        QCoreApplication::processEvents();
        ASSERT_EQ(w.CurrentPageId(), 0);
        EXPECT_TRUE(Radio(w, c.option)->isChecked());
        EXPECT_EQ(w.ButtonFlags(), kWizNext);
    }
}

TEST(PageMain, MaintenanceButtonsOnlyWithTheSwitch) {
    for (bool maintenance : {false, true}) {
        WizardEnv env;
        TheApp().m_bMaintenance = maintenance;
        CMainWizard w;
        w.show();
        QCoreApplication::processEvents();
        TheApp().m_bMaintenance = false;
        EXPECT_EQ(w.m_pageMain->m_btnDeleteTempDb->isVisible(), maintenance);
        EXPECT_EQ(w.m_pageMain->m_btnDeleteLogFiles->isVisible(), maintenance);
        EXPECT_EQ(w.m_pageMain->m_btnDeleteTempDb->text(), QStringLiteral("Delete &Temporary DB"));
        EXPECT_EQ(w.m_pageMain->m_btnDeleteLogFiles->text(), QStringLiteral("Delete All &Log Files"));
    }
}

TEST(PageMain, DeleteAllLogFilesAsksAndKeepsTheCurrentLog) {
    WizardEnv env;
    OpenLogFile();
    const QString old = env.InstallPath(QStringLiteral("/Vq/01 Jan 26_10 00 00.vqlog"));
    const QString other = env.InstallPath(QStringLiteral("/Vq/notes.txt"));
    for (const QString& p : {old, other}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TheApp().m_bMaintenance = true;
    CMainWizard w;
    w.show();
    TheApp().m_bMaintenance = false;

    env.prompter.Answer(MsgResult::No);
    w.m_pageMain->m_btnDeleteLogFiles->click();
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    const auto& box = env.prompter.boxes[0];
    EXPECT_EQ(box.text, QStringLiteral("Are you sure you want to delete all your log files?"));
    EXPECT_EQ(box.caption, QStringLiteral("Vaquor Loading Wizard"));
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_TRUE(QFile::exists(old));

    env.prompter.Answer(MsgResult::Yes);
    w.m_pageMain->m_btnDeleteLogFiles->click();
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_TRUE(QFile::exists(GetLogFilePath()));
}

TEST(PageMain, DeleteTemporaryDbRemovesItFromTheListAndTheDisk) {
    WizardEnv env;
    ASSERT_EQ(wizard_driver::ImportDemoSite(env.OvxHome()), QString());
    CSetupContext context;
    g_pContext = &context;
    context.OpenObjectServer(env.OvxHome().toStdString());
    ASSERT_EQ(context.OpenNetworkDatabase(QStringLiteral("~~~td"), 1), kDbOk);
    const QString folder = QDir::tempPath() + QStringLiteral("/~~~td");
    ASSERT_TRUE(QFileInfo(folder).isDir());
    ASSERT_TRUE(folder.startsWith(env.dir.path()));

    TheApp().m_bMaintenance = true;
    CMainWizard w;
    w.show();
    TheApp().m_bMaintenance = false;
    w.m_pageMain->m_btnDeleteTempDb->click();
    EXPECT_EQ(context.ListNetworkDatabases(false), QStringList{QStringLiteral("Demo Plant")});
    EXPECT_FALSE(QFileInfo(folder).exists());
    EXPECT_TRUE(env.prompter.boxes.empty());

    // Nothing registered: the folder still goes, quietly.
    QDir().mkpath(folder + QStringLiteral("/left"));
    w.m_pageMain->m_btnDeleteTempDb->click();
    EXPECT_FALSE(QFileInfo(folder).exists());
    EXPECT_TRUE(env.prompter.boxes.empty());
    g_pContext = nullptr;
}

TEST(PageMain, DeleteTemporaryDbWithoutAnObjectServerOnlyDeletesTheFolder) {
    WizardEnv env;
    CSetupContext context;  // never opened
    g_pContext = &context;
    const QString folder = QDir::tempPath() + QStringLiteral("/~~~td");
    QDir().mkpath(folder + QStringLiteral("/left"));
    TheApp().m_bMaintenance = true;
    CMainWizard w;
    w.show();
    TheApp().m_bMaintenance = false;
    w.m_pageMain->m_btnDeleteTempDb->click();
    EXPECT_FALSE(QFileInfo(folder).exists());
    EXPECT_TRUE(env.prompter.boxes.empty());
    g_pContext = nullptr;
}

}  // namespace
