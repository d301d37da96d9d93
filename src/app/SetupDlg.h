// The wizard context with a window: opens the object server, then runs the
// wizard sheet; its own window is never shown.
#pragma once

#include <QDialog>
#include <memory>

#include "app/MainWizard.h"
#include "context/SetupContext.h"

class CSetupDlg : public QDialog, public CSetupContext {
    Q_OBJECT
public:
    explicit CSetupDlg(QWidget* parent = nullptr);
    ~CSetupDlg() override;

    // Opens the object server and runs the wizard sheet until it ends.
    int Run();

    std::unique_ptr<CMainWizard> m_wizard;
    // Called once the sheet is up, before it runs (tests drive the sheet from here).
    std::function<void(CMainWizard&)> onWizardShown;

private:
    void RunWizard();
};

// The context of this run as the dialog, or null.
CSetupDlg* TheSetupDlg();
