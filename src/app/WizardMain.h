// The program's start-up and run, from the arguments as the system gave them.
#pragma once

#include <functional>

class CMainWizard;

// Reads the switches, builds the application, opens the log file and runs
// the wizard context until the sheet ends. onWizardShown, when set, is called
// once the sheet is up (tests drive the sheet from there).
int RunWizardProgram(int argc, char** argv, std::function<void(CMainWizard&)> onWizardShown = {});
