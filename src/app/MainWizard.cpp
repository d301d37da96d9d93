#include "app/MainWizard.h"

#include <QAction>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AboutDlg.h"
#include "app/CancelDlg.h"
#include "app/SysColorImage.h"
#include "compress/ui/CPageCompress.h"
#include "compress/ui/CPageSelectDB.h"
#include "compress/ui/CPageSelectSubsys.h"
#include "load/ui/CPageAppImage.h"
#include "load/ui/CPageBatch.h"
#include "load/ui/CPageLoad.h"
#include "load/ui/CPageLoadOption.h"
#include "log/Log.h"
#include "log/LogDetail.h"
#include "pages/CPageGetFile.h"
#include "pages/CPageMain.h"
#include "util/Prompter.h"

CMainWizard::CMainWizard(QWidget* parent) : QDialog(parent) {
    const QDateTime started = QDateTime::currentDateTime();
    setObjectName(QStringLiteral("mainWizard"));
    setWindowTitle(QStringLiteral("Quillane Vaquor Setup Utility"));
    setWindowIcon(QIcon(QStringLiteral(":/res/app128.png")));

    AddAboutAction(this);

    LogWrite(QStringLiteral("Starting program at %1").arg(FormatLogTime(started)));
    LogWrite(QString());

    m_bmpSide = LoadSysColorBitmap(QStringLiteral(":/res/side210.png"), palette().color(QPalette::Button));

    auto* root = new QVBoxLayout(this);
    m_stack = new QStackedWidget(this);
    root->addWidget(m_stack, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    root->addWidget(line);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_back = new QPushButton(QStringLiteral("< &Back"), this);
    m_next = new QPushButton(QStringLiteral("&Next >"), this);
    m_finish = new QPushButton(QStringLiteral("Finish"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_next->setObjectName(QStringLiteral("nextButton"));
    m_finish->setObjectName(QStringLiteral("finishButton"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    for (auto* b : {m_back, m_next, m_finish, m_cancel}) b->setAutoDefault(false);
    m_next->setDefault(true);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    buttons->addSpacing(10);
    buttons->addWidget(m_cancel);
    root->addLayout(buttons);
    connect(m_back, &QPushButton::clicked, this, &CMainWizard::OnBack);
    connect(m_next, &QPushButton::clicked, this, &CMainWizard::OnNext);
    connect(m_finish, &QPushButton::clicked, this, &CMainWizard::OnFinish);
    connect(m_cancel, &QPushButton::clicked, this, &CMainWizard::reject);

    AddPage(m_pageMain = new CPageMain);
    AddPage(m_pageSelectDB = new CPageSelectDB);
    AddPage(m_pageSelectSubsys = new CPageSelectSubsys);
    AddPage(m_pageCompress = new CPageCompress);
    AddPage(m_pageGetFile = new CPageGetFile);
    AddPage(m_pageLoadOption = new CPageLoadOption);
    AddPage(m_pageAppImage = new CPageAppImage);
    AddPage(m_pageBatch = new CPageBatch);
    AddPage(m_pageLoad = new CPageLoad);

    m_pCancelDlg = std::make_unique<CCancelDlg>(this);

    ApplyButtons(kWizNext);
    SetActivePage(kPageMain);
    resize(640, 420);
}

CMainWizard::~CMainWizard() {
    const QDateTime ended = QDateTime::currentDateTime();
    m_pCancelDlg.reset();
    LogWrite(QStringLiteral("Ending program at %1").arg(FormatLogTime(ended)));
    LogWrite(QString());
}

void CMainWizard::AddPage(CSysColorPropertyPage* page) {
    page->AttachSheet(this);
    m_stack->addWidget(page);
    m_pageMap.insert(page->PageId(), page);
}

const std::vector<int>& CMainWizard::Flow(int mainOption) {
    static const std::vector<int> flows[3] = {
        {0, 1, 2, 3, 5, 7, 6, 8},
        {0, 4, 5, 7, 6, 8},
        {0, 5, 7, 6, 8},
    };
    return flows[(mainOption >= 0 && mainOption <= 2) ? mainOption : 0];
}

bool CMainWizard::IsPageInFlow(int pageId) const {
    const auto& flow = Flow(m_mainOption);
    return std::find(flow.begin(), flow.end(), pageId) != flow.end();
}

void CMainWizard::GoToPage(int pageId, bool forward) {
    m_curPageId = pageId;
    const auto& flow = Flow(m_mainOption);
    const int n = int(flow.size());
    int pos = -1;
    for (int i = 0; i < n; ++i) {
        if (flow[i] == pageId) {
            pos = i;
            break;
        }
    }
    if (pos < 0) return;  // not in this flow: nowhere to go
    const int target = forward ? pos + 1 : pos - 1;
    if (target < 0 || target >= n) return;
    const bool last = forward && target == n - 1;
    const bool first = !forward && target == 0;
    SetWizardButtons((last ? kWizFinish : kWizNext) | (first ? 0 : kWizBack));
    SetCancelText(QStringLiteral("Exit"));
    SetActivePage(flow[target]);
}

void CMainWizard::SetWizardButtons(int flags) {
    // Coalesced: only the last request before the queue runs is applied.
    const bool scheduled = m_pendingButtons >= 0;
    m_pendingButtons = flags;
    if (scheduled) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const int f = m_pendingButtons;
            m_pendingButtons = -1;
            if (f >= 0) ApplyButtons(f);
        },
        Qt::QueuedConnection);
}

void CMainWizard::ApplyButtons(int flags) {
    m_buttons = flags;
    m_back->setEnabled(flags & kWizBack);
    const bool finish = flags & (kWizFinish | kWizDisabledFinish);
    m_next->setVisible(!finish);
    m_next->setEnabled(flags & kWizNext);
    m_finish->setVisible(finish);
    m_finish->setEnabled(flags & kWizFinish);
    (finish ? m_finish : m_next)->setDefault(true);
}

void CMainWizard::SetCancelText(const QString& text) {
    m_cancel->setText(text);
}

void CMainWizard::EnableCancel(bool on) {
    m_cancel->setEnabled(on);
}

int CMainWizard::CurrentPageId() const {
    auto* page = qobject_cast<CSysColorPropertyPage*>(m_stack->currentWidget());
    return page ? page->PageId() : -1;
}

void CMainWizard::SetActivePage(int pageId) {
    CSysColorPropertyPage* target = m_pageMap.value(pageId);
    if (!target) return;
    auto* current = qobject_cast<CSysColorPropertyPage*>(m_stack->currentWidget());
    if (current && current != target && current->IsInitialised() && !current->OnKillActive()) return;
    if (!target->IsInitialised()) {
        target->MarkInitialised();
        target->OnInitDialog();
    }
    if (!target->OnSetActive()) return;
    m_stack->setCurrentWidget(target);
}

void CMainWizard::OnNext() {
    if (!m_next->isEnabled() || !m_next->isVisible()) return;
    auto* page = qobject_cast<CSysColorPropertyPage*>(m_stack->currentWidget());
    if (page) page->OnWizardNext();
}

void CMainWizard::OnBack() {
    if (!m_back->isEnabled()) return;
    auto* page = qobject_cast<CSysColorPropertyPage*>(m_stack->currentWidget());
    if (page) page->OnWizardBack();
}

void CMainWizard::OnFinish() {
    auto* page = qobject_cast<CSysColorPropertyPage*>(m_stack->currentWidget());
    if (page && !page->OnWizardFinish()) return;
    accept();
}

void CMainWizard::reject() {
    // Escape and the close box only act like Exit while Exit is enabled.
    if (!m_cancel->isEnabled()) return;
    QDialog::reject();
}

bool CMainWizard::event(QEvent* e) {
    // Keep the Cancel dialog in front while a long operation runs.
    if (e->type() == QEvent::WindowActivate && m_pCancelDlg && m_pCancelDlg->HasWindow()) {
        m_pCancelDlg->raise();
        m_pCancelDlg->activateWindow();
    }
    return QDialog::event(e);
}

void CMainWizard::DestroyCancelWindow() {
    if (m_pCancelDlg) m_pCancelDlg->DestroyWindow();
}
