#include <QApplication>

#include "app/QtServices.h"
#include "app/SetupApp.h"
#include "app/SetupDlg.h"
#include "log/Log.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillane"));
    QApplication::setApplicationName(QStringLiteral("Vaquor Setup Utility"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/app128.png")));

    QtPrompter prompter;
    SetPrompter(&prompter);
    QtFileDialog fileDialog;
    SetFileDialog(&fileDialog);
    InstallWaitCursorHooks();

    TheApp() = ParseSwitches(argc, argv);
    OpenLogFile();
    {
        CSetupDlg dlg;
        dlg.Run();
    }
    CloseLogFile();
    SetPrompter(nullptr);
    SetFileDialog(nullptr);
    return 0;
}
