// The demo site as a new user meets it: the subsystem page pre-fills the
// plant's hierarchies, and the first Next on the compression page writes a
// sound compressed file.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>

#include "../common/WizardDriver.h"
#include "WizardEnv.h"
#include "app/SetupDlg.h"
#include "compress/ui/CPageSelectDB.h"

namespace {

void Press(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
    QCoreApplication::processEvents();  // queued button states
}

TEST(DemoSite, ThePrefillCompressesOnTheFirstNext) {
    WizardEnv env;
    const QString data = env.OvxHome();
    ASSERT_EQ(wizard_driver::ImportDemoSite(data), QString());
    OpenLogFile();
    CSetupDlg context;
    context.OpenObjectServer(data.toStdString());
    CMainWizard w;
    w.show();
    QCoreApplication::processEvents();
    w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio1000"))->click();  // compress and load

    Press(w.NextButton());
    ASSERT_EQ(w.CurrentPageId(), kPageSelectDB);
    EXPECT_EQ(w.m_pageSelectDB->m_combo->currentText(), QStringLiteral("Demo Plant"));
    Press(w.NextButton());
    ASSERT_EQ(w.CurrentPageId(), kPageSelectSubsys);
    // Untouched: the children of the first top-level subsystem, one VQ each.
    EXPECT_EQ(wizard_driver::ListedSubsystems(*w.m_pageSelectSubsys), wizard_driver::GoodHierarchies());
    Press(w.NextButton());
    ASSERT_EQ(w.CurrentPageId(), kPageCompress);

    // The proposed file name stands; "No" to staying on the page to view the log.
    const QString proposed = w.m_pageCompress->m_combo->currentText();
    EXPECT_TRUE(proposed.startsWith(QStringLiteral("Demo Plant_"))) << proposed.toStdString();
    env.prompter.Answer(MsgResult::No);
    Press(w.NextButton());
    EXPECT_EQ(w.CurrentPageId(), kPageLoadOption)
        << w.m_pageCompress->m_progress->toPlainText().toStdString();
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_TRUE(env.prompter.boxes[0].text.startsWith(QStringLiteral("Compression was SUCCESSFUL.")))
        << env.prompter.boxes[0].text.toStdString();

    // The file holds one section per hierarchy and reads back sound.
    const QString q70 =
        env.InstallPath(QStringLiteral("/Vq/CompressedDB/")) + proposed + QStringLiteral(".q70");
    ASSERT_TRUE(QFile::exists(q70)) << q70.toStdString();
    QProcess verify;
    verify.start(wizard_driver::ToolPath(QStringLiteral("ns2vq")), {QStringLiteral("verify"), q70});
    ASSERT_TRUE(verify.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(verify.readAllStandardOutput());
    EXPECT_EQ(verify.exitCode(), 0) << out.toStdString() << verify.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral(": OK"))) << out.toStdString();
}

}  // namespace
