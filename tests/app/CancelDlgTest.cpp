#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "WizardEnv.h"
#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/QtServices.h"
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

TEST_F(CancelFixture, EachShowingStartsOnFrameOneThenTicksOnFromTheSharedCounter) {
    auto* pic = dlg->findChild<QLabel*>(QStringLiteral("pic1021"));
    ASSERT_NE(pic, nullptr);
    CCancelDlg::s_frameCounter = 3;
    dlg->ShowModeless();
    EXPECT_EQ(dlg->ShownFrame(), 1);
    EXPECT_FALSE(pic->pixmap().isNull());
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), 4, 2000);  // the counter's next frame
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), 5, 2000);
    dlg->DestroyWindow();
    const int last = CCancelDlg::s_frameCounter;
    dlg->ShowModeless();
    EXPECT_EQ(dlg->ShownFrame(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(dlg->ShownFrame(), last % 6 + 1, 2000);
    dlg->DestroyWindow();

    CCancelDlg::s_frameCounter = 6;  // wraps above 6
    dlg->ShowModeless();
    QTRY_VERIFY_WITH_TIMEOUT(CCancelDlg::s_frameCounter == 1, 2000);
    EXPECT_EQ(dlg->ShownFrame(), 1);
}

TEST_F(CancelFixture, EscapeOnAMessageBoxOfTheRunAnswersItAndEscapeElsewhereStillCancels) {
    QtPrompter boxes;  // real message boxes
    SetPrompter(&boxes);
    dlg->ShowModeless();
    QString seen;
    // Escape on the box once it is up (and close it in any case, so a failure cannot hang).
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text();
            // Through the window system, as a key press arrives.
            QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
        }
    });
    QTimer::singleShot(5000, [] {
        if (auto* box = QApplication::activeModalWidget()) box->close();
    });
    const MsgResult answer =
        MessageBox(QStringLiteral("Replace the VQ's program?"), QStringLiteral("Vaquor Loading Wizard"),
                   MsgIcon::Question, MsgButtons::YesNo);
    SetPrompter(&env.prompter);
    EXPECT_EQ(seen, QStringLiteral("Replace the VQ's program?"));
    EXPECT_EQ(answer, MsgResult::No);
    EXPECT_FALSE(dlg->m_bCancelled);
    EXPECT_FALSE(ctx.m_cancelRequested);
    EXPECT_NE(dlg->StatusText(), QStringLiteral("Cancelling..."));

    QTest::keyClick(wizard->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->m_bCancelled);
    EXPECT_TRUE(ctx.m_cancelRequested);
}

TEST_F(CancelFixture, ClosingTheSheetDuringARunCancelsItAndTheSheetStays) {
    dlg->ShowModeless();
    // The window system's close request (close box, Alt+F4), then a close from the program.
    QCloseEvent request;
    QCoreApplication::sendEvent(wizard->windowHandle(), &request);
    EXPECT_TRUE(dlg->m_bCancelled);
    EXPECT_TRUE(ctx.m_cancelRequested);
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("Cancelling..."));
    EXPECT_FALSE(wizard->close());
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_EQ(wizard->result(), 0);
    EXPECT_TRUE(dlg->HasWindow());

    // Once the run is over, the close box is the sheet's own again.
    dlg->DestroyWindow();
    EXPECT_TRUE(wizard->close());
    EXPECT_FALSE(wizard->isVisible());
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
