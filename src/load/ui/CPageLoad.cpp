#include "load/ui/CPageLoad.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>

#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/QtServices.h"
#include "app/SetupApp.h"
#include "context/SetupContext.h"
#include "load/ui/CPageBatch.h"
#include "log/Log.h"
#include "util/Prompter.h"
#include "util/Wait.h"
#include "util/WaitCursor.h"

namespace {

enum Column { kColNumber, kColSarvikId, kColStep, kColOutcome, kColumns };

// The progress box, with every complete line also handed to the tracker.
class TrackedLogView : public ILogView {
public:
    TrackedLogView(QPlainTextEdit* edit, CLoadProgress& progress) : m_view(edit), m_progress(progress) {}
    void Clear() override {
        m_view.Clear();
        m_pending.clear();
    }
    void AppendAtEnd(const QString& text) override {
        m_view.AppendAtEnd(text);
        // Counted as the box counts its lines: a line end of either kind starts a new one.
        m_pending += text;
        m_pending.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        qsizetype end;
        while ((end = m_pending.indexOf(QLatin1Char('\n'))) >= 0) {
            m_progress.OnLine(m_pending.left(end));
            m_pending.remove(0, end + 1);
        }
    }
    void Repaint() override { m_view.Repaint(); }

private:
    CEditLogView m_view;
    CLoadProgress& m_progress;
    QString m_pending;
};

}  // namespace

CPageLoad::CPageLoad()
    : CSysColorPropertyPage(kPageLoad),
      m_progressRows([this] { return Context() ? Context()->m_lastLoadError : QString(); }) {
    m_progress = MakeProgressBox(this, 1043);
    m_table = new QTableWidget(0, kColumns, this);
    m_table->setObjectName(QStringLiteral("tableVqs"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("VQ"), QStringLiteral("Sarvik ID"),
                                        QStringLiteral("Step"), QStringLiteral("Outcome")});
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(kColNumber, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kColSarvikId, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kColStep, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kColOutcome, QHeaderView::Stretch);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A failure's cause wraps within its cell; the row grows to hold it.
    m_table->setWordWrap(true);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    Body()->addWidget(MakeLabel(this, QStringLiteral("Progress:")));
    // The table under the log, across the page's whole width, so that the
    // step and the outcome can be read beside the Sarvik ID.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_progress);
    split->addWidget(m_table);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    Body()->addWidget(split, 1);
    auto* row = new QHBoxLayout;
    m_btnWinkFailed = MakeButton(this, 1011, QStringLiteral("&Wink Failed"));
    m_btnLoadMore = MakeButton(this, 1015, QStringLiteral("&Load More"));
    m_btnReload = MakeButton(this, 1016, QStringLiteral("&Re-Load"));
    row->addWidget(m_btnWinkFailed);
    row->addWidget(m_btnLoadMore);
    row->addWidget(m_btnReload);
    row->addStretch(1);
    Body()->addLayout(row);

    m_progressRows.changed = [this](int r) { ShowRow(r); };
    connect(m_btnReload, &QPushButton::clicked, this, &CPageLoad::OnReload);
    connect(m_btnLoadMore, &QPushButton::clicked, this, &CPageLoad::OnLoadMore);
    connect(m_btnWinkFailed, &QPushButton::clicked, this, &CPageLoad::OnWinkFailed);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { SelectVqLines(r); });
}

CPageLoad::~CPageLoad() = default;

bool CPageLoad::OnSetActive() {
    if (Sheet()) Sheet()->EnableCancel(false);
    // The run starts once the page has painted itself.
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(QEvent::User + 4)));
    return CSysColorPropertyPage::OnSetActive();
}

bool CPageLoad::OnKillActive() {
    if (Sheet()) Sheet()->EnableCancel(true);
    return CSysColorPropertyPage::OnKillActive();
}

bool CPageLoad::event(QEvent* e) {
    if (e->type() != QEvent::Type(QEvent::User + 4)) return CSysColorPropertyPage::event(e);
    {
        CWaitCursor wait;
        WaitMs(1000);
        if (Sheet()) Sheet()->repaint();
        RunLoad();
    }
    return true;
}

LoadRequest CPageLoad::Request() const {
    const CWizardChoices& c = Choices();
    LoadRequest request;
    request.mainOption = c.mainOption;
    request.sarvikIds = c.sarvikIds;
    request.vqCount = c.vqCount;
    request.loadImage = c.loadImage;
    request.imagePath = c.imagePath;
    // Option 0: the file the compression page wrote; option 1: the one chosen on the file page.
    request.databasePath = c.compressedFile;
    request.eventListPath = c.eventListPath;
    request.interpretedProgram = TheApp().m_bInterpretedProgram;
    request.programPath = c.programCompiled;
    return request;
}

void CPageLoad::RunLoad() {
    CSetupContext* context = Context();
    if (!context) return;
    const LoadRequest request = Request();
    m_progressRows.Start(request);
    ResetTable();
    TrackedLogView view(m_progress, m_progressRows);
    CLog log(&view);

    CCancelDlg* cancel = Sheet() ? Sheet()->m_pCancelDlg.get() : nullptr;
    LoadRunHooks hooks;
    hooks.clearCancel = [cancel] {
        if (cancel) cancel->m_bCancelled = false;
    };
    hooks.runStarting = [cancel] {
        if (!cancel) return;
        cancel->ShowModeless();
        cancel->SetStatusText(QStringLiteral("Beginning Loading..."));
    };
    hooks.runEnded = [this] {
        m_progressRows.OnRunEnded();
        if (Sheet()) Sheet()->DestroyCancelWindow();
    };
    hooks.cancelled = [this, cancel, context] {
        const bool stop = cancel ? cancel->m_bCancelled : context->m_cancelRequested;
        m_progressRows.OnCancelCheck(stop);
        return stop;
    };
    m_lastRun = LoadRun(*context, request, log, hooks);
    // A run that stops before the first VQ ends here without the Cancel dialog too.
    if (Sheet()) Sheet()->DestroyCancelWindow();
    m_outcomes = m_lastRun.outcomes;
    m_progressRows.Finish(m_lastRun);
}

void CPageLoad::OnReload() {
    LogWrite(QStringLiteral("The Re-Load button is pressed."));
    RunLoad();
}

void CPageLoad::OnLoadMore() {
    LogWrite(QStringLiteral("The Load More button is pressed."));
    MessageBox(
        QStringLiteral("Unplug the VQs that you've just loaded to, then plug in the new VQs to load and "
                       "press OK."),
        QString::fromLatin1(kWizardCaption), MsgIcon::Information);
    if (!Sheet()) return;
    Sheet()->m_pageBatch->RebuildFromDiscovery();
    Sheet()->SetWizardButtons(kWizBack | kWizNext);
    Sheet()->SetActivePage(kPageBatch);
}

void CPageLoad::OnWinkFailed() {
    const auto noneFailed = [] {
        MessageBox(QStringLiteral("No VQs failed."), QString::fromLatin1(kWizardCaption),
                   MsgIcon::Information);
    };
    if (m_outcomes.isEmpty()) {
        noneFailed();
        return;
    }
    bool any = false;
    for (qsizetype i = 0; i < m_outcomes.size(); ++i) {
        if (m_outcomes[i] != 0) continue;
        any = true;
        if (!Context()) continue;
        try {
            Context()->WinkLoadDevice(int(i));
        } catch (const ovx::Error& e) {
            // The unit could not be made to wink; say why and go on with the next.
            ErrorBox(QString::fromStdString(e.what()));
        }
    }
    if (!any) noneFailed();
}

void CPageLoad::SelectVqLines(int row) {
    const auto& rows = m_progressRows.Rows();
    if (row < 0 || row >= int(rows.size())) return;
    const VqProgress& vq = rows[std::size_t(row)];
    if (vq.state != VqState::Failed || vq.firstLine < 0) return;
    QTextDocument* doc = m_progress->document();
    const int last = (vq.endLine > vq.firstLine ? vq.endLine : m_progressRows.LinesShown()) - 1;
    const QTextBlock first = doc->findBlockByNumber(vq.firstLine);
    const QTextBlock end = doc->findBlockByNumber(std::max(last, vq.firstLine));
    if (!first.isValid() || !end.isValid()) return;
    // Anchored at the end, so that the box scrolls to the VQ's first line.
    QTextCursor c(doc);
    c.setPosition(end.position() + end.length() - 1);
    c.setPosition(first.position(), QTextCursor::KeepAnchor);
    m_progress->setTextCursor(c);
    m_progress->ensureCursorVisible();
    m_progress->setFocus();
}

void CPageLoad::ResetTable() {
    m_table->setRowCount(int(m_progressRows.Rows().size()));
    for (int r = 0; r < m_table->rowCount(); ++r) ShowRow(r);
}

void CPageLoad::ShowRow(int r) {
    const auto& rows = m_progressRows.Rows();
    if (r < 0 || r >= int(rows.size())) return;
    if (r >= m_table->rowCount()) m_table->setRowCount(int(rows.size()));
    const VqProgress& vq = rows[std::size_t(r)];
    const auto set = [this, r](int col, const QString& text) {
        QTableWidgetItem* item = m_table->item(r, col);
        if (!item) {
            item = new QTableWidgetItem;
            m_table->setItem(r, col, item);
        }
        item->setText(text);
        item->setToolTip(text);
    };
    set(kColNumber, QString::number(r + 1));
    set(kColSarvikId, vq.sarvikId);
    QString step;
    // Only while the VQ runs; a failure names its step in the outcome.
    if (vq.state == VqState::Running && vq.step >= 0)
        step = CLoadProgress::StepTitle(m_progressRows.Steps().value(vq.step));
    set(kColStep, step);
    set(kColOutcome, CLoadProgress::OutcomeText(vq));
    m_table->viewport()->update();
}
