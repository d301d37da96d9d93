// The load page offscreen on a small field of simulated units, loading the
// Sarvik ID only (application image only, no image): the summary of each
// kind of run, the table of VQs, Re-Load, Load More and Wink Failed.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextCursor>

#include "LoadPagesSite.h"
#include "app/CancelDlg.h"
#include "load/ui/CPageBatch.h"
#include "load/ui/CPageLoad.h"
#include "util/Wait.h"
#include "vqfield/client.h"
#include "vqfield/field.h"

namespace {

const char* const kUnknown = "ZZZZZZZZZZZZ";  // a unit the field does not have
const char* const kFailedHeader =
    "The following VQs failed. Press Wink Failed to find out which ones failed.";

class PageLoad : public ::testing::Test, public LoadPagesSite {
protected:
    void SetUp() override { SetWaiter(&waiter); }
    void TearDown() override { SetWaiter(nullptr); }

    // Shows the load page for the batch; its run has ended on return.
    void Load(const QStringList& batch, const std::function<void()>& beforeRun = {},
              bool openLoadSide = true) {
        if (openLoadSide) {
            ASSERT_TRUE(OpenLoadSide());
            ASSERT_EQ(
                context.AddDeviceTemplate(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.xif")), 1),
                0);
        }
        LoadPagesSite::Start(kPageBatch, kOptionLoadApplicationOnly);
        w->m_choices.loadImage = false;
        w->m_choices.sarvikIds = batch;
        w->m_choices.vqCount = int(batch.size());
        page = w->m_pageLoad;
        page->m_progress->clear();
        w->SetActivePage(kPageLoad);
        ASSERT_EQ(w->CurrentPageId(), kPageLoad);
        EXPECT_FALSE(w->CancelButton()->isEnabled());
        if (beforeRun) beforeRun();
        QCoreApplication::processEvents();  // the posted start
    }
    QStringList Shown() const { return page->m_progress->toPlainText().split(QLatin1Char('\n')); }
    QString Cell(int row, int col) const {
        QTableWidgetItem* item = page->m_table->item(row, col);
        return item ? item->text() : QString();
    }

    RecordingWaiter waiter;
    CPageLoad* page = nullptr;
};

struct SummaryCase {
    const char* name;
    QStringList batch;
    QVector<std::int32_t> outcomes;
    QStringList summary;  // the run's last lines before the empty one
};

class PageLoadSummary : public PageLoad, public ::testing::WithParamInterface<SummaryCase> {};

TEST_P(PageLoadSummary, RunEndsWithTheSummaryOfItsOutcomes) {
    Load(GetParam().batch);
    EXPECT_EQ(page->m_outcomes, GetParam().outcomes);
    const QStringList lines = Shown();
    ASSERT_GE(lines.size(), GetParam().summary.size() + 2);
    // The summary, then an empty line (and the box's own empty last line).
    EXPECT_EQ(lines.mid(lines.size() - 2 - GetParam().summary.size(), GetParam().summary.size()),
              GetParam().summary)
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.at(0), QStringLiteral("Load application image only..."));
    EXPECT_EQ(lines.at(1), QStringLiteral("Adding temporary VQ devices..."));
    // The table keeps a row per VQ with its outcome.
    ASSERT_EQ(page->m_table->rowCount(), GetParam().batch.size());
    for (int r = 0; r < page->m_table->rowCount(); ++r) {
        EXPECT_EQ(Cell(r, 0), QString::number(r + 1));
        EXPECT_EQ(Cell(r, 1), GetParam().batch[r]);
        if (GetParam().outcomes[r])
            EXPECT_EQ(Cell(r, 3), QStringLiteral("Loaded"));
        else
            EXPECT_TRUE(Cell(r, 3).startsWith(QStringLiteral("FAILED at setting sarvik id")))
                << Cell(r, 3).toStdString();
    }
    // The log file has the same lines between its section titles.
    const QByteArray log = Log();
    EXPECT_TRUE(log.contains("Begin Loading")) << log.constData();
    EXPECT_TRUE(
        log.contains((GetParam().summary.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1()));
    EXPECT_TRUE(log.contains("End Loading"));
    EXPECT_FALSE(w->m_pCancelDlg && w->m_pCancelDlg->HasWindow());
    EXPECT_FALSE(w->CancelButton()->isEnabled());
}

const QString u1 = QString::fromLatin1(kUnit1), u2 = QString::fromLatin1(kUnit2),
              bad = QString::fromLatin1(kUnknown);

INSTANTIATE_TEST_SUITE_P(
    Cases, PageLoadSummary,
    ::testing::Values(
        SummaryCase{"emptyBatch", {}, {}, {QStringLiteral("All VQs are loaded SUCCESSFULLY.")}},
        SummaryCase{"oneLoaded", {u1}, {1}, {QStringLiteral("The VQ is loaded SUCCESSFULLY.")}},
        SummaryCase{"oneFailed", {bad}, {0}, {QStringLiteral("FAILED to load into the VQ.")}},
        SummaryCase{"noneFailed", {u1, u2}, {1, 1}, {QStringLiteral("All VQs are loaded SUCCESSFULLY.")}},
        SummaryCase{"secondOfThreeFailed",
                    {u1, bad, u2},
                    {1, 0, 1},
                    {QString::fromLatin1(kFailedHeader), QStringLiteral("VQ #2")}},
        SummaryCase{"firstAndThirdFailed",
                    {bad, u1, bad},
                    {0, 1, 0},
                    {QString::fromLatin1(kFailedHeader), QStringLiteral("VQ #1"), QStringLiteral("VQ #3")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageLoad, CancelDuringTheSecondOfThreeStopsThereAndLeavesTheRestUnmarked) {
    int started = 0;
    Load({u1, u2, u1}, [&] {
        QObject::connect(page->m_progress, &QPlainTextEdit::textChanged, page, [&] {
            const int now = int(page->m_progress->toPlainText().count(QStringLiteral("Setting sarvik id")));
            if (now == 2 && started < 2) w->m_pCancelDlg->CancelButton()->click();
            started = now;
        });
    });
    const QStringList lines = Shown();
    EXPECT_EQ(lines.count(QStringLiteral("Setting sarvik id of the VQs...")), 2);
    EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("Loading Cancelled."));
    EXPECT_FALSE(lines.contains(QStringLiteral("All VQs are loaded SUCCESSFULLY.")));
    EXPECT_EQ(page->m_outcomes, (QVector<std::int32_t>{1, 1, 1}));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("Loaded"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("Cancelled"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("Not reached"));
    EXPECT_TRUE(Log().contains("Loading Cancelled.\r\n"));
    EXPECT_FALSE(w->m_pCancelDlg->HasWindow());
    // Nothing was marked failed, so nothing winks.
    page->m_btnWinkFailed->click();
    EXPECT_EQ(Boxes().value(0), QStringLiteral("No VQs failed."));
}

TEST_F(PageLoad, WinkFailedBeforeAnyRunAndAfterAGoodRunSaysNoneFailed) {
    LoadPagesSite::Start(kPageBatch, kOptionLoadApplicationOnly);
    w->m_pageLoad->m_btnWinkFailed->click();
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_EQ(env.prompter.boxes[0].text, QStringLiteral("No VQs failed."));
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Vaquor Loading Wizard"));
    EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Information);
    w.reset();

    Load({u1, u2});
    waiter.waits.clear();
    page->m_btnWinkFailed->click();
    EXPECT_EQ(Boxes().last(), QStringLiteral("No VQs failed."));
    EXPECT_TRUE(waiter.waits.empty());  // no unit winked
}

TEST_F(PageLoad, ReloadRunsTheSameListAgainAndLogsTheButton) {
    Load({bad, u1});
    EXPECT_EQ(page->m_outcomes, (QVector<std::int32_t>{0, 1}));
    w->m_choices.sarvikIds = {u2, u1};  // the run takes the list as it stands
    page->m_btnReload->click();
    EXPECT_EQ(page->m_outcomes, (QVector<std::int32_t>{1, 1}));
    const QStringList lines = Shown();
    EXPECT_EQ(lines.at(0), QStringLiteral("Load application image only..."));  // the box starts afresh
    EXPECT_EQ(lines.at(lines.size() - 3), QStringLiteral("All VQs are loaded SUCCESSFULLY."));
    EXPECT_EQ(Cell(0, 1), u2);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("Loaded"));
    const QByteArray log = Log();
    const qsizetype pressed = log.indexOf("The Re-Load button is pressed.\r\n");
    ASSERT_GT(pressed, 0);
    EXPECT_EQ(log.count("Begin Loading"), 2);
    EXPECT_GT(log.indexOf("Begin Loading", pressed), pressed);
}

TEST_F(PageLoad, LoadMoreAsksForNewUnitsAndGoesBackToARediscoveredBatch) {
    Load({u1});
    w->m_pageBatch->m_list->clear();
    w->m_pageBatch->m_list->addItem(QStringLiteral("AAAAAAAAAAAA"));
    // A new unit is plugged in.
    auto field =
        vqfield::FindField(QStringLiteral("pages-%1").arg(QCoreApplication::applicationPid()).toStdString());
    ASSERT_TRUE(field);
    vqfield::Client admin(vqfield::ConnectInProcess(field));
    admin.AddUnit("900001013C8A0400", 1, "04A1B2C3D409");
    page->m_btnLoadMore->click();
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_EQ(
        env.prompter.boxes[0].text,
        QStringLiteral(
            "Unplug the VQs that you've just loaded to, then plug in the new VQs to load and press OK."));
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Vaquor Loading Wizard"));
    EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(w->CurrentPageId(), kPageBatch);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ButtonFlags(), kWizBack | kWizNext);
    EXPECT_TRUE(w->CancelButton()->isEnabled());
    // The list is what discovery finds now, the new unit included.
    QStringList found = w->m_pageBatch->Entries();
    found.sort();
    EXPECT_EQ(found, (QStringList{u1, u2, QStringLiteral("04A1B2C3D409")}));
    EXPECT_EQ(w->m_pageBatch->m_count->text(), QStringLiteral("3"));
    EXPECT_TRUE(Log().contains("The Load More button is pressed.\r\n"));
}

TEST_F(PageLoad, DoubleClickOnAFailedRowSelectsItsLinesInTheBox) {
    Load({u1, bad, u2});
    const QStringList lines = Shown();
    page->SelectVqLines(1);
    const QString selected =
        page->m_progress->textCursor().selectedText().replace(QChar(0x2029), QLatin1Char('\n'));
    EXPECT_TRUE(selected.startsWith(
        QStringLiteral("Setting sarvik id of the VQs...\nError: Failed to set sarvik ID of VQ #2")))
        << selected.toStdString();
    EXPECT_FALSE(selected.contains(QStringLiteral("VQ #3")));
    EXPECT_EQ(selected.count(QStringLiteral("Setting sarvik id")), 1);
    // A row that did not fail selects nothing.
    page->m_progress->moveCursor(QTextCursor::End);
    page->SelectVqLines(0);
    EXPECT_FALSE(page->m_progress->textCursor().hasSelection());
}

TEST_F(PageLoad, DevicesThatCannotBeAddedStopTheRunBeforeTheFirstVq) {
    Load({u1, u2}, {}, false);  // no temporary database to add the devices to
    const QStringList lines = Shown();
    EXPECT_EQ(lines.at(lines.size() - 2),
              QStringLiteral("Cannot proceed because failed to add temporary VQ devices."));
    EXPECT_FALSE(lines.contains(QStringLiteral("Setting sarvik id of the VQs...")));
    EXPECT_FALSE(w->m_pCancelDlg->HasWindow());
    EXPECT_TRUE(Log().contains("Cannot proceed because failed to add temporary VQ devices.\r\n"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("Not reached"));
    EXPECT_EQ(Boxes().size(), 1);  // the setup's own error box
}

}  // namespace
