#include "app/SetupApp.h"

CSetupApp ParseSwitches(int argc, const char* const* argv) {
    CSetupApp flags;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!a || a[0] != '-') continue;
        if (a[1] == 'i')
            flags.m_bInterpretedProgram = true;
        else if (a[1] == 'd')
            flags.m_bMaintenance = true;
    }
    return flags;
}

CSetupApp& TheApp() {
    static CSetupApp app;
    return app;
}
