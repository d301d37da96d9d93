#include "app/SetupDlg.h"

#include <QAction>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/AboutDlg.h"
#include "app/CancelDlg.h"
#include "util/Prompter.h"

CSetupDlg::CSetupDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kWizardCaption));
    setWindowIcon(QIcon(QStringLiteral(":/res/app128.png")));
    auto* layout = new QVBoxLayout(this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    layout->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    AddAboutAction(this);
    g_pContext = this;
    m_objectServer.SetProgressHandler(
        [this] { BusyPump(m_wizard ? m_wizard->m_pCancelDlg.get() : nullptr); });
}

CSetupDlg::~CSetupDlg() {
    m_wizard.reset();
    m_loadDevices.clear();
    m_loadDeviceCount = 0;
}

int CSetupDlg::Run() {
    OpenObjectServer();
    RunWizard();
    return result();
}

void CSetupDlg::RunWizard() {
    // The context never shows its own window: where there is nothing to
    // minimise into, a minimised dialog is a second, empty window beside the
    // wizard. The sheet's modal loop is the program's loop.
    m_wizard = std::make_unique<CMainWizard>();
    if (onWizardShown) {
        CMainWizard* w = m_wizard.get();
        QTimer::singleShot(0, w, [this, w] { onWizardShown(*w); });
    }
    m_wizard->exec();
    m_wizard.reset();  // writes the end line
    setResult(QDialog::Rejected);
}

CSetupDlg* TheSetupDlg() {
    return dynamic_cast<CSetupDlg*>(g_pContext);
}
