// A stand-in for the code generator plug-in, built once per behaviour. It
// appends every call it receives, and its own unloading, to trace.txt in the
// folder it was initialised with, so a test sees the calls, their order and
// that the library went away. Plain C calls only, so that nothing in it keeps
// the library mapped after the host unloads it.
#include <cstdio>
#include <cstring>

#ifndef FAKE_INIT_RESULT
#define FAKE_INIT_RESULT 1
#endif
#ifndef FAKE_OPTION8_RESULT
#define FAKE_OPTION8_RESULT 0
#endif
#ifndef FAKE_OPTION5_RESULT
#define FAKE_OPTION5_RESULT 0
#endif
#ifndef FAKE_CODEGEN_RESULT
#define FAKE_CODEGEN_RESULT 0
#endif

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
char g_trace[4096];

void Trace(const char* what, const char* text) {
    if (!g_trace[0]) return;
    if (FILE* f = std::fopen(g_trace, "a")) {
        std::fprintf(f, "%s%s\n", what, text);
        std::fclose(f);
    }
}

__attribute__((destructor)) void Unloaded() {
    Trace("unloaded", "");
}
}  // namespace

#ifndef FAKE_NO_INIT
FAKE_EXPORT int QPICGInit(int reserved, const char* binFolder) {
    std::snprintf(g_trace, sizeof g_trace, "%s/trace.txt", binFolder);
    char line[64];
    std::snprintf(line, sizeof line, "init %d ", reserved);
    Trace(line, binFolder);
    return FAKE_INIT_RESULT;
}
#endif

#ifndef FAKE_NO_FLAG
FAKE_EXPORT int QPICGSetOptionFlag(int option, int value) {
    char line[64];
    std::snprintf(line, sizeof line, "flag %d %d", option, value);
    Trace(line, "");
    return 0;
}
#endif

FAKE_EXPORT int QPICGSetOptionString(int option, const char* text) {
    char line[64];
    std::snprintf(line, sizeof line, "option %d ", option);
    Trace(line, text);
    if (option == 8) return FAKE_OPTION8_RESULT;
    if (option == 5) return FAKE_OPTION5_RESULT;
    return 0;
}

#ifndef FAKE_NO_CODEGEN
FAKE_EXPORT int QPICodeGen(const char* source) {
    Trace("codegen ", source);
    return FAKE_CODEGEN_RESULT;
}
#endif
