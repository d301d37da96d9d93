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
#include "context/SetupContext.h"
#include "load/ui/CPageAppImage.h"
#include "load/ui/CPageBatch.h"
#include "load/ui/CPageLoad.h"
#include "load/ui/CPageLoadOption.h"
#include "log/Log.h"
#include "pages/CPageGetFile.h"
#include "pages/CPageMain.h"
#include "util/Prompter.h"

CMainWizard::CMainWizard() : CMainWizard(g_pContext) {}

CMainWizard::CMainWizard(CSetupContext* context, QWidget* parent) : QDialog(parent), m_context(context) {
    const QDateTime started = QDateTime::currentDateTime();
    setObjectName(QStringLiteral("mainWizard"));
    setWindowTitle(QStringLiteral("Quillane Vaquor Setup Utility"));
    setWindowIcon(QIcon(QStringLiteral(":/res/app128.png")));

    AddAboutAction(this);

    LogProgramStart(started);

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
    LogProgramEnd(ended);
}

void CMainWizard::AddPage(CSysColorPropertyPage* page) {
    page->AttachSheet(this);
    page->AttachContext(m_context, &m_choices);
    m_stack->addWidget(page);
    m_pageMap.insert(page->PageId(), page);
}

bool CMainWizard::IsPageInFlow(int pageId) const {
    return ::IsPageInFlow(m_choices.mainOption, pageId);
}

void CMainWizard::GoToPage(int pageId, bool forward) {
    m_curPageId = pageId;
    const int target = NeighbourPage(m_choices.mainOption, pageId, forward);
    if (target < 0) return;  // not in this flow, or at its end: nowhere to go
    const auto& flow = PageFlow(m_choices.mainOption);
    const bool last = forward && target == flow.back();
    const bool first = !forward && target == flow.front();
    SetWizardButtons((last ? kWizFinish : kWizNext) | (first ? 0 : kWizBack));
    SetCancelText(QStringLiteral("Exit"));
    SetActivePage(target);
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
