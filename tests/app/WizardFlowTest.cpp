#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include "../common/WizardDriver.h"
#include "WizardEnv.h"
#include "app/AboutDlg.h"
#include "app/MainWizard.h"
#include "app/QtServices.h"
#include "app/SetupDlg.h"
#include "app/SysColorDialog.h"

namespace {

struct Step {
    bool next;    // true: Next, false: Back
    int page;     // page shown afterwards
    int buttons;  // Back/Next/Finish flags afterwards
};
struct FlowCase {
    const char* name;
    int option;
    std::vector<Step> steps;
};

class WizardFlow : public ::testing::TestWithParam<FlowCase> {};

void Press(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
    QCoreApplication::processEvents();  // queued button states
}

// The flows run on the demo site, each page filled in before its Next.
TEST_P(WizardFlow, NextAndBackFollowTheFlowWithItsButtonStates) {
    WizardEnv env;
    const QString data = env.dir.path() + QStringLiteral("/ovx");
    ASSERT_EQ(wizard_driver::ImportDemoSite(data), QString());
    const QString q70 = env.dir.path() + QStringLiteral("/Vq/CompressedDB/site.q70");
    QDir().mkpath(env.dir.path() + QStringLiteral("/Vq/CompressedDB"));
    ASSERT_EQ(wizard_driver::CompressDemoSite(data, q70), QString());
    OpenLogFile();
    CSetupDlg context;
    context.OpenObjectServer(data.toStdString());
    CMainWizard w;
    w.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.CurrentPageId(), 0);
    EXPECT_EQ(w.ButtonFlags(), kWizNext);
    EXPECT_FALSE(w.BackButton()->isEnabled());
    w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio%1").arg(1000 + GetParam().option))->click();
    for (const Step& s : GetParam().steps) {
        if (s.next) wizard_driver::FillPageForNext(w, env.prompter, q70);
        Press(s.next ? (w.NextButton()->isVisible() ? w.NextButton() : w.FinishButton()) : w.BackButton());
        EXPECT_EQ(w.CurrentPageId(), s.page);
        EXPECT_EQ(w.ButtonFlags(), s.buttons) << "on page " << s.page;
        EXPECT_EQ(w.BackButton()->isEnabled(), bool(s.buttons & kWizBack));
        EXPECT_EQ(w.FinishButton()->isVisible(), bool(s.buttons & kWizFinish));
        EXPECT_EQ(w.NextButton()->isVisible(), !(s.buttons & kWizFinish));
        EXPECT_EQ(w.CancelButton()->text(), QStringLiteral("Exit"));
        EXPECT_EQ(w.m_curPageId >= 0, true);
    }
    for (int id = 0; id <= 8; ++id) {
        const auto& flow = CMainWizard::Flow(GetParam().option);
        EXPECT_EQ(w.IsPageInFlow(id), std::find(flow.begin(), flow.end(), id) != flow.end());
    }
}

constexpr int BN = kWizBack | kWizNext;
constexpr int BF = kWizBack | kWizFinish;
constexpr int N = kWizNext;

INSTANTIATE_TEST_SUITE_P(AllOptions, WizardFlow,
                         ::testing::Values(FlowCase{"compressAndLoad",
                                                    0,
                                                    {{true, 1, BN},
                                                     {true, 2, BN},
                                                     {true, 3, BN},
                                                     {true, 5, BN},
                                                     {true, 7, BN},
                                                     {true, 6, BN},
                                                     {true, 8, BF},
                                                     {false, 6, BN},
                                                     {false, 7, BN},
                                                     {false, 5, BN},
                                                     {false, 3, BN},
                                                     {false, 2, BN},
                                                     {false, 1, BN},
                                                     {false, 0, N}}},
                                           FlowCase{"loadDatabase",
                                                    1,
                                                    {{true, 4, BN},
                                                     {true, 5, BN},
                                                     {true, 7, BN},
                                                     {true, 6, BN},
                                                     {true, 8, BF},
                                                     {false, 6, BN},
                                                     {false, 7, BN},
                                                     {false, 5, BN},
                                                     {false, 4, BN},
                                                     {false, 0, N}}},
                                           FlowCase{"loadApplicationOnly",
                                                    2,
                                                    {{true, 5, BN},
                                                     {true, 7, BN},
                                                     {true, 6, BN},
                                                     {true, 8, BF},
                                                     {false, 6, BN},
                                                     {false, 7, BN},
                                                     {false, 5, BN},
                                                     {false, 0, N},
                                                     {true, 5, BN}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WizardSheet, PagesShowTheSideBitmapAndThePageRequestWinsOverTheSheets) {
    WizardEnv env;
    CMainWizard w;
    w.show();
    QCoreApplication::processEvents();
    ASSERT_FALSE(w.m_bmpSide.isNull());
    // The top-left pixel became the dialog face colour.
    EXPECT_EQ(w.m_bmpSide.toImage().pixelColor(0, 0).rgb(), w.palette().color(QPalette::Button).rgb());
    for (int id = 0; id <= 8; ++id) ASSERT_NE(w.Page(id), nullptr) << id;

    // Two requests before the queue runs: the later one is applied.
    w.SetWizardButtons(kWizBack | kWizNext);
    w.SetWizardButtons(kWizDisabledFinish);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.ButtonFlags(), kWizDisabledFinish);
    EXPECT_TRUE(w.FinishButton()->isVisible());
    EXPECT_FALSE(w.FinishButton()->isEnabled());

    // Every page that was shown carries the bitmap.
    w.m_choices.mainOption = 2;
    w.GoToPage(0, true);
    auto* pic = w.Page(5)->findChild<QLabel*>(QStringLiteral("pic1045"));
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->pixmap().isNull());
}
TEST(WizardSheet, NoEditableBoxCompletesOrReplacesWhatIsTyped) {
    WizardEnv env;
    CMainWizard w;
    int editable = 0;
    for (QComboBox* box : w.findChildren<QComboBox*>()) {
        if (!box->isEditable()) continue;
        ++editable;
        const std::string name = box->objectName().toStdString();
        box->clear();
        box->addItems({QStringLiteral("plant"), QStringLiteral("Pl-2"), QStringLiteral("PLANT.q70")});
        box->setEditText(QString());
        // As when the user clicks into the box (its page need not be on show).
        QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
        QCoreApplication::sendEvent(box->lineEdit(), &focusIn);
        QTest::keyClicks(box->lineEdit(), QStringLiteral("pl"));
        EXPECT_EQ(box->currentText().toStdString(), "pl") << name;
        // Picking an entry from the list still gives that entry.
        box->setCurrentIndex(1);
        EXPECT_EQ(box->currentText().toStdString(), "Pl-2") << name;
        // An entry's text in another case stays as typed.
        box->setEditText(QString());
        QTest::keyClicks(box->lineEdit(), QStringLiteral("Plant"));
        EXPECT_EQ(box->currentText().toStdString(), "Plant") << name;
    }
    EXPECT_GE(editable, 7);  // every file-name box and the database box
}

TEST(WizardSheet, ProgressBoxesWrapLongLinesAtWordsWhileTheLogFileKeepsThemWhole) {
    WizardEnv env;
    OpenLogFile();
    CMainWizard w;
    w.resize(640, 420);
    w.show();
    const QString line = QStringLiteral(
        "The subsystem Boiler House.Pumps cannot be compressed because another VQ exists in the same "
        "subsystem hierarchy. There cannot be multiple VQs in the same subsystem hierarchy.");
    for (int id : {kPageCompress, kPageLoad}) {
        w.SetActivePage(id);
        QCoreApplication::processEvents();
        auto* box = w.Page(id)->findChild<QPlainTextEdit*>(QStringLiteral("edit1043"));
        ASSERT_NE(box, nullptr) << id;
        ASSERT_TRUE(box->isVisible()) << id;
        CEditLogView view(box);
        CLog log(&view);
        log.Clear();
        log.AddLine(line);
        QCoreApplication::processEvents();
        const QTextBlock block = box->document()->firstBlock();
        EXPECT_EQ(block.text(), line) << id;  // one line of text, shown on several
        box->document()->documentLayout()->blockBoundingRect(block);
        const QTextLayout* layout = block.layout();
        ASSERT_GT(layout->lineCount(), 1) << id;
        for (int i = 1; i < layout->lineCount(); ++i) {
            const int start = layout->lineAt(i).textStart();
            EXPECT_EQ(line.at(start - 1), QLatin1Char(' ')) << id << ": broken inside a word at " << start;
        }
        EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0) << id;
    }
    QFile f(GetLogFilePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count(line.toUtf8() + "\r\n"), 2);
}

TEST(WizardSheet, AboutBoxFromTheSheetsMenuShowsTheVersion) {
    WizardEnv env;
    CMainWizard w;
    QAction* about = nullptr;
    for (QAction* a : w.actions())
        if (a->text() == QStringLiteral("&About VQ Setup Utility...")) about = a;
    ASSERT_NE(about, nullptr);
    // The box is modal: look at it once it is up, then close it.
    QString title, version;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            version = box->findChild<QLabel*>(QStringLiteral("aboutText"))->text();
            box->accept();
        }
    });
    QTimer::singleShot(5000, [] {
        if (auto* box = QApplication::activeModalWidget()) box->close();
    });
    about->trigger();
    EXPECT_EQ(title, QStringLiteral("About Vaquor Loading Wizard"));
    EXPECT_EQ(version, QStringLiteral("VQ Loading Wizard Version 1.0"));
}
}  // namespace
