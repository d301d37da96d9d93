// The plug-in: four plain C entry points over CompileFile.
#include "qpicg/plugin.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "driver.h"

namespace {

struct Options {
    std::string binFolder, typeFolder, outputBase, listing;
};

std::mutex g_mutex;
Options g_options;

std::string Text(const char* s) {
    return s ? std::string(s) : std::string();
}

}  // namespace

extern "C" {

int QPICG_CALL QPICGInit(int, const char* binFolder) {
    std::lock_guard lock(g_mutex);
    g_options = Options{};
    g_options.binFolder = Text(binFolder);
    return 1;
}

int QPICG_CALL QPICGSetOptionFlag(int, int) {
    return 0;
}

int QPICG_CALL QPICGSetOptionString(int option, const char* text) {
    std::lock_guard lock(g_mutex);
    const std::string value = Text(text);
    switch (option) {
        case 8: {
            std::error_code ec;
            if (value.empty() || !std::filesystem::is_directory(value, ec)) return 1;
            g_options.typeFolder = value;
            return 0;
        }
        case 4:
            g_options.outputBase = value;
            return 0;
        case 5: {
            // Created now, so that a listing that cannot be written is known
            // before anything is compiled.
            if (value.empty()) return 1;
            std::ofstream out(value, std::ios::binary | std::ios::trunc);
            if (!out) return 1;
            g_options.listing = value;
            return 0;
        }
        default:
            return 1;
    }
}

int QPICG_CALL QPICodeGen(const char* sourcePath) {
    std::lock_guard lock(g_mutex);
    const std::string source = Text(sourcePath);
    std::string base = g_options.outputBase;
    if (base.empty()) base = std::filesystem::path(source).replace_extension().string();
    std::string diagnostic;
    qpicg::CompileCode code;
    if (g_options.typeFolder.empty()) {
        diagnostic = "no type folder was set (option 8)";
        code = qpicg::kTypeErrors;
    } else {
        code = qpicg::CompileFile(source, g_options.typeFolder, base + ".x", &diagnostic);
    }
    if (!g_options.listing.empty()) {
        std::error_code ec;
        if (code == qpicg::kCompiled) {
            std::filesystem::remove(g_options.listing, ec);
        } else {
            std::ofstream out(g_options.listing, std::ios::binary | std::ios::trunc);
            out << diagnostic << "\n";
        }
    }
    return code;
}
}
