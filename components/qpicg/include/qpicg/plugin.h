// The code generator's plug-in entry points, as a host finds them by name in
// the loaded library. All results are 32-bit integers; texts are UTF-8 paths.
#pragma once

#if defined(_WIN32)
#define QPICG_EXPORT __declspec(dllexport)
#define QPICG_CALL __stdcall
#else
#define QPICG_EXPORT __attribute__((visibility("default")))
#define QPICG_CALL
#endif

extern "C" {

// Forgets every option; returns 1.
QPICG_EXPORT int QPICG_CALL QPICGInit(int reserved, const char* binFolder);
// Accepted and ignored (no flags are defined); returns 0.
QPICG_EXPORT int QPICG_CALL QPICGSetOptionFlag(int option, int value);
// 8: type folder (0 if it is a folder), 4: output base name (always 0),
// 5: error listing (0 if the file could be created). Other options: 1.
QPICG_EXPORT int QPICG_CALL QPICGSetOptionString(int option, const char* text);
// Compiles the source; 0 when the .x file was written, otherwise a code of
// the README with the reason in the error listing.
QPICG_EXPORT int QPICG_CALL QPICodeGen(const char* source);
}
