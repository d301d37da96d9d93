// Process-wide start-up state: the two command-line switches.
#pragma once

struct CSetupApp {
    bool m_bInterpretedProgram = false;  // "-i": interpreted-program feature on
    bool m_bMaintenance = false;         // "-d": maintenance buttons on the main page
};

// Only the first two characters of each argument count, case-sensitively,
// and one argument sets at most one flag ("-interp" is "-i", "-I" is nothing).
CSetupApp ParseSwitches(int argc, const char* const* argv);

CSetupApp& TheApp();
