// The compression page of a real sheet on the demo site: the name typed is
// the file written, and closing the sheet during the run cancels it.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "../common/WizardDriver.h"
#include "WizardEnv.h"
#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/SetupDlg.h"
#include "compress/ui/CPageCompress.h"
#include "util/HistoryList.h"

namespace {

class CompressRun : public ::testing::Test {
protected:
    void SetUp() override {
        const QString data = env.dir.path() + QStringLiteral("/ovx");
        ASSERT_EQ(wizard_driver::ImportDemoSite(data), QString());
        CHistoryList h;
        h.Add(QStringLiteral("plant"));
        h.SaveToRegistry(QStringLiteral("CompressHist"));
        OpenLogFile();
        context = std::make_unique<CSetupDlg>();
        context->OpenObjectServer(data.toStdString());
        w = std::make_unique<CMainWizard>();
        w->show();
        QCoreApplication::processEvents();
        w->m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio1000"))->click();
        for (int i = 0; i < 3; ++i) {
            wizard_driver::FillPageForNext(*w, env.prompter, QString());
            Next();
        }
        ASSERT_EQ(w->CurrentPageId(), kPageCompress);
        page = w->m_pageCompress;
        env.prompter.boxes.clear();
    }
    void TearDown() override {
        w.reset();
        context.reset();
    }
    void Next() {
        QTest::mouseClick(w->NextButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    void Type(const QString& text) {
        QLineEdit* edit = page->m_combo->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    QString DefaultDir() const { return env.InstallPath(QStringLiteral("/Vq/CompressedDB/")); }
    QByteArray Log() const { return WizardEnv::LogFileBytes(); }

    WizardEnv env;
    std::unique_ptr<CSetupDlg> context;
    std::unique_ptr<CMainWizard> w;
    CPageCompress* page = nullptr;
};

TEST_F(CompressRun, APrefixOfAHistoryEntryTypedInIsTheFileWritten) {
    ASSERT_EQ(page->m_combo->findText(QStringLiteral("plant")), 0);
    Type(QStringLiteral("pl"));
    EXPECT_EQ(page->m_combo->currentText(), QStringLiteral("pl"));
    env.prompter.Answer(MsgResult::No);  // do not stay to view the log
    Next();
    ASSERT_EQ(w->CurrentPageId(), kPageLoadOption) << page->m_progress->toPlainText().toStdString();
    EXPECT_TRUE(QFile::exists(DefaultDir() + QStringLiteral("pl.q70")));
    EXPECT_FALSE(QFile::exists(DefaultDir() + QStringLiteral("plant.q70")));
    EXPECT_TRUE(Log().contains("Save compressed database into file: pl\r\n")) << Log().constData();
    CHistoryList h;
    h.LoadFromRegistry(QStringLiteral("CompressHist"));
    EXPECT_EQ(h.Entries(), (QStringList{QStringLiteral("pl"), QStringLiteral("plant")}));
}

TEST_F(CompressRun, ClosingTheSheetDuringTheRunEndsItAsCancelled) {
    Type(QStringLiteral("closed"));
    CCancelDlg* cancel = w->m_pCancelDlg.get();
    bool closedDuringRun = false, visibleAfterClose = false;
    // The window system's close request (close box, Alt+F4), as soon as the run lets events through.
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!cancel->HasWindow() || closedDuringRun) return;
        closedDuringRun = true;
        QCloseEvent request;
        QCoreApplication::sendEvent(w->windowHandle(), &request);
        visibleAfterClose = w->isVisible();
    });
    poll.start();
    Next();
    poll.stop();
    ASSERT_TRUE(closedDuringRun);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->result(), 0);
    EXPECT_EQ(w->CurrentPageId(), kPageCompress);
    EXPECT_FALSE(cancel->HasWindow());
    const QString shown = page->m_progress->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("Compression Cancelled"))) << shown.toStdString();
    for (const auto& b : env.prompter.boxes) ADD_FAILURE() << "box: " << b.text.toStdString();
}

}  // namespace
