#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "WizardEnv.h"
#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "context/SetupContext.h"

namespace {

class CancelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        g_pContext = &ctx;
        wizard = std::make_unique<CMainWizard>();
        wizard->show();
        QCoreApplication::processEvents();
        dlg = wizard->m_pCancelDlg.get();
    }
    void TearDown() override {
        wizard.reset();
        g_pContext = nullptr;
    }
    WizardEnv env;
    CSetupContext ctx;
    std::unique_ptr<CMainWizard> wizard;
    CCancelDlg* dlg = nullptr;
};

TEST_F(CancelFixture, CancelSetsBothFlagsAndKeepsTheWindow) {
    dlg->m_bCancelled = true;  // left over from an earlier run
    dlg->ShowModeless();
    EXPECT_TRUE(dlg->HasWindow());
    EXPECT_FALSE(dlg->m_bCancelled);
    EXPECT_FALSE(ctx.m_cancelRequested);
    for (int i = 0; i < 2; ++i) {  // a second press repeats, nothing more
        QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
        EXPECT_TRUE(dlg->m_bCancelled);
        EXPECT_TRUE(ctx.m_cancelRequested);
        EXPECT_EQ(dlg->StatusText(), QStringLiteral("Cancelling..."));
        EXPECT_TRUE(dlg->HasWindow());
        EXPECT_TRUE(dlg->isVisible());
    }
    dlg->DestroyWindow();
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(CancelFixture, EscapeOnAnyWindowCancelsWithoutClosingTheSheet) {
    dlg->ShowModeless();
    QTest::keyClick(wizard->NextButton(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->m_bCancelled);
    EXPECT_TRUE(ctx.m_cancelRequested);
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_EQ(wizard->result(), 0);
}

TEST_F(CancelFixture, SheetTakesNoInputWhileTheDialogIsUp) {
    dlg->ShowModeless();
    QTest::mouseClick(wizard->NextButton(), Qt::LeftButton);
    QTest::keyClick(wizard->NextButton(), Qt::Key_Space);
    QTest::mouseClick(wizard->CancelButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(wizard->CurrentPageId(), 0);
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_FALSE(dlg->m_bCancelled);  // the click did not cancel either

    dlg->DestroyWindow();
    QTest::mouseClick(wizard->NextButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(wizard->CurrentPageId(), 1);
}

TEST_F(CancelFixture, StatusLinesReachTheDialogOnlyWhileItHasAWindow) {
    CLog log;
    dlg->ShowModeless();
    log.ShowStatus(QStringLiteral("Compressing Boiler House"), false);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("Compressing Boiler House"));
    dlg->DestroyWindow();
    log.ShowStatus(QStringLiteral("after"), false);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("Compressing Boiler House"));
}

TEST_F(CancelFixture, StatusLinesKeepTheDialogAnsweringDuringALongRun) {
    // An operation that only writes status lines still lets a click on
    // Cancel through, and the operation's poll sees it.
    CLog log;
    dlg->ShowModeless();
    QMetaObject::invokeMethod(dlg->CancelButton(), "click", Qt::QueuedConnection);
    log.ShowStatus(QStringLiteral("Adding near channel device: BH-Burner1"), true);
    EXPECT_TRUE(ctx.m_cancelRequested);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("Cancelling..."));
    // The operation ends and takes the window down from inside a status line.
    QMetaObject::invokeMethod(
        wizard.get(), [this] { wizard->DestroyCancelWindow(); }, Qt::QueuedConnection);
    log.ShowStatus(QStringLiteral("Compression cancelled"), false);
    EXPECT_FALSE(dlg->HasWindow());
}

TEST_F(CancelFixture, AnimationResumesAfterTheLastFrameShown) {
    CCancelDlg::s_frameCounter = 6;
    dlg->ShowModeless();
    EXPECT_EQ(dlg->ShownFrame(), 6);
    auto* pic = dlg->findChild<QLabel*>(QStringLiteral("pic1021"));
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->pixmap().isNull());
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), 1, 2000);  // wraps after 6
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), 2, 2000);
    dlg->DestroyWindow();
    const int last = CCancelDlg::s_frameCounter;
    dlg->ShowModeless();
    EXPECT_EQ(dlg->ShownFrame(), last);
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), last % 6 + 1, 2000);
}

TEST_F(CancelFixture, BusyPumpRunsPendingEventsAndEscapeInsideItCancels) {
    dlg->ShowModeless();
    bool ran = false;
    QMetaObject::invokeMethod(
        wizard.get(), [&] { ran = true; }, Qt::QueuedConnection);
    QCoreApplication::postEvent(wizard->NextButton(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    BusyPump(dlg);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(dlg->m_bCancelled);
    EXPECT_TRUE(ctx.m_cancelRequested);
}
}  // namespace
