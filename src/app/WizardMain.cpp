#include "app/WizardMain.h"

#include <QApplication>

#include "app/QtServices.h"
#include "app/SetupApp.h"
#include "app/SetupDlg.h"
#include "log/Log.h"

int RunWizardProgram(int argc, char** argv, std::function<void(CMainWizard&)> onWizardShown) {
    // The switches come from the arguments as given: the application object
    // takes its own options (-display, -style, -session, ...) out of argv,
    // together with the value after them, which may be one of ours.
    TheApp() = ParseSwitches(argc, argv);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillane"));
    QApplication::setApplicationName(QStringLiteral("Vaquor Setup Utility"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/app128.png")));

    QtPrompter prompter;
    SetPrompter(&prompter);
    QtFileDialog fileDialog;
    SetFileDialog(&fileDialog);
    InstallWaitCursorHooks();

    OpenLogFile();
    {
        CSetupDlg dlg;
        dlg.onWizardShown = std::move(onWizardShown);
        dlg.Run();
    }
    CloseLogFile();
    SetPrompter(nullptr);
    SetFileDialog(nullptr);
    return 0;
}
