#include "app/CancelDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "app/SysColorImage.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/Prompter.h"

int CCancelDlg::s_frameCounter = 1;

CCancelDlg::CCancelDlg(CMainWizard* owner) : CSysColorDialog(owner), m_pOwner(owner) {
    // Its own top-level window, kept above the sheet.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setObjectName(QStringLiteral("cancelDlg"));
    setWindowTitle(QString::fromLatin1(kWizardCaption));
    setModal(false);
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("pic1021"));
    m_picture->setFixedSize(48, 48);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("static1022"));
    m_text->setMinimumWidth(300);
    m_text->setWordWrap(true);
    top->addWidget(m_picture);
    top->addSpacing(8);
    top->addWidget(m_text, 1);
    root->addLayout(top);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setCursor(Qt::ArrowCursor);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_cancel);
    root->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &CCancelDlg::OnCancel);
    m_timer = new QTimer(this);
    m_timer->setInterval(300);
    connect(m_timer, &QTimer::timeout, this, &CCancelDlg::OnTimer);
}

CCancelDlg::~CCancelDlg() {
    DestroyWindow();
}

void CCancelDlg::ShowModeless() {
    m_bCancelled = false;
    if (m_hasWindow) return;
    const QColor face = palette().color(QPalette::Button);
    for (int i = 0; i < 6; ++i)
        m_bmpFrames[i] = LoadSysColorBitmap(QStringLiteral(":/res/frame%1.png").arg(150 + i), face);
    m_hasWindow = true;
    // Every showing starts on the first frame; the ticks then go on from the
    // counter where the last showing left it.
    ShowFrame(1);
    m_timer->start();
    qApp->installEventFilter(this);
    SetStatusSink([this](const QString& text) {
        if (!m_hasWindow) return false;
        SetStatusText(text);
        // Each status line is a poll point of the running operation. Many of
        // its object-server calls are too short to fire the progress event,
        // so pump here too: the dialog paints, and its Cancel and Escape work.
        BusyPump(this);
        return true;
    });
    show();
    raise();
    activateWindow();
}

void CCancelDlg::DestroyWindow() {
    if (!m_hasWindow) return;
    m_timer->stop();
    qApp->removeEventFilter(this);
    SetStatusSink(nullptr);
    m_hasWindow = false;
    hide();
    for (auto& f : m_bmpFrames) f = QPixmap();
}

void CCancelDlg::ShowFrame(int n) {
    m_shownFrame = n;
    if (n >= 1 && n <= 6) m_picture->setPixmap(m_bmpFrames[n - 1]);
}

void CCancelDlg::OnTimer() {
    if (++s_frameCounter > 6) s_frameCounter = 1;
    ShowFrame(s_frameCounter);
}

void CCancelDlg::SetStatusText(const QString& text) {
    m_text->setText(text);
}

QString CCancelDlg::StatusText() const {
    return m_text->text();
}

void CCancelDlg::OnCancel() {
    m_bCancelled = true;
    if (g_pContext) g_pContext->RequestCancel();
    SetStatusText(QStringLiteral("Cancelling..."));
}

void CCancelDlg::closeEvent(QCloseEvent* e) {
    // The running operation closes the window when it has stopped.
    e->ignore();
    OnCancel();
}

bool CCancelDlg::eventFilter(QObject* watched, QEvent* event) {
    if (!m_hasWindow) return false;
    // Input reaches a window of the window system first, and then the widget
    // in it: the widget decides.
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // A message box that the run has opened takes its own Escape (it
        // answers the box); anywhere else Escape cancels the run.
        if (qobject_cast<QMessageBox*>(w->window())) return false;
        OnCancel();
        return true;
    }
    // Nothing on the sheet may start while an operation runs (a second Next
    // would start a second run inside the first); a click brings us to the front.
    if (!m_pOwner || w->window() != m_pOwner) return false;
    switch (event->type()) {
        case QEvent::Close:
            // The close box and Alt+F4 cancel the run like our Cancel button;
            // the sheet stays until the run has ended.
            event->ignore();
            if (w == m_pOwner) OnCancel();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            raise();
            activateWindow();
            return true;
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
            return true;
        default:
            return false;
    }
}

void BusyPump(CCancelDlg* dlg) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!QApplication::overrideCursor()) return;
    const bool overCancel =
        dlg && dlg->HasWindow() &&
        dlg->CancelButton()->rect().contains(dlg->CancelButton()->mapFromGlobal(QCursor::pos()));
    QApplication::changeOverrideCursor(overCancel ? Qt::ArrowCursor : Qt::WaitCursor);
}
