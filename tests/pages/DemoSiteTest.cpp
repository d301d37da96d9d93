// The demo sites as a new user meets them: the subsystem page pre-fills the
// children of the first top-level subsystem, and the first Next on the
// compression page writes a sound compressed file of them.
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

// From the main page to the load options page on the only network of the
// data folder, pressing nothing but Next (and "No" to viewing the log).
// Returns the compressed file, empty when the walk stopped early.
QString CompressThePrefill(WizardEnv& env, const QString& data, const QString& network,
                           const QStringList& prefill) {
    OpenLogFile();
    CSetupDlg context;
    context.OpenObjectServer(data.toStdString());
    CMainWizard w;
    w.show();
    QCoreApplication::processEvents();
    w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio1000"))->click();  // compress and load

    Press(w.NextButton());
    if (w.CurrentPageId() != kPageSelectDB) return {};
    EXPECT_EQ(w.m_pageSelectDB->m_combo->currentText(), network);
    Press(w.NextButton());
    if (w.CurrentPageId() != kPageSelectSubsys) return {};
    EXPECT_EQ(wizard_driver::ListedSubsystems(*w.m_pageSelectSubsys), prefill);
    Press(w.NextButton());
    if (w.CurrentPageId() != kPageCompress) return {};

    // The proposed file name stands.
    const QString proposed = w.m_pageCompress->m_combo->currentText();
    EXPECT_TRUE(proposed.startsWith(network + QLatin1Char('_'))) << proposed.toStdString();
    env.prompter.boxes.clear();
    env.prompter.Answer(MsgResult::No);
    Press(w.NextButton());
    EXPECT_EQ(w.CurrentPageId(), kPageLoadOption)
        << w.m_pageCompress->m_progress->toPlainText().toStdString();
    EXPECT_EQ(env.prompter.boxes.size(), 1u);
    for (const auto& b : env.prompter.boxes)
        EXPECT_TRUE(b.text.startsWith(QStringLiteral("Compression was SUCCESSFUL."))) << b.text.toStdString();
    CloseLogFile();
    return env.InstallPath(QStringLiteral("/Vq/CompressedDB/")) + proposed + QStringLiteral(".q70");
}

// What `ns2vq verify` says of the file, after checking that it is sound.
QString Verify(const QString& q70) {
    QProcess verify;
    verify.start(wizard_driver::ToolPath(QStringLiteral("ns2vq")), {QStringLiteral("verify"), q70});
    EXPECT_TRUE(verify.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(verify.readAllStandardOutput());
    EXPECT_EQ(verify.exitCode(), 0) << out.toStdString() << verify.readAllStandardError().toStdString();
    return out;
}

TEST(DemoSite, ThePrefillCompressesOnTheFirstNext) {
    WizardEnv env;
    ASSERT_EQ(wizard_driver::ImportDemoSite(env.OvxHome()), QString());
    const QString q70 = CompressThePrefill(env, env.OvxHome(), QStringLiteral("Demo Plant"),
                                           wizard_driver::GoodHierarchies());
    ASSERT_TRUE(QFile::exists(q70)) << q70.toStdString();
    const QString out = Verify(q70);
    EXPECT_TRUE(out.contains(QStringLiteral(": OK, version 1.0, 3 sections, 14 devices, 3 routers")))
        << out.toStdString();
}

// The large site's generator, at a small size: its pre-fill compresses too.
TEST(DemoSite, TheGeneratedLargeSiteCompressesOnTheFirstNext) {
    WizardEnv env;
    const QString home = env.dir.path() + QStringLiteral("/demo");
    QProcess script;
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert(QStringLiteral("VQ_DEMO_HOME"), home);
    vars.insert(QStringLiteral("VQ_BUILD_DIR"), wizard_driver::ToolPath(QStringLiteral("..")));
    script.setProcessEnvironment(vars);
    script.start(QStringLiteral("bash"), {QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) +
                                              QStringLiteral("/scripts/demo-large-site.sh"),
                                          QStringLiteral("3"), QStringLiteral("40")});
    ASSERT_TRUE(script.waitForFinished(120000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();

    const QString q70 =
        CompressThePrefill(env, home + QStringLiteral("/ovx"), QStringLiteral("Large Plant 3x40"),
                           {"Plant.Area 01", "Plant.Area 02", "Plant.Area 03"});
    ASSERT_TRUE(QFile::exists(q70)) << q70.toStdString();
    const QString out = Verify(q70);
    EXPECT_TRUE(out.contains(QStringLiteral(": OK, version 1.0, 3 sections, 120 devices, 3 routers")))
        << out.toStdString();
}

}  // namespace
