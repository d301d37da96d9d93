#include "driver.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qpicg/compiler.h"

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace qpicg {

namespace fs = std::filesystem;

bool WriteFileAtomically(const std::string& path, const std::string& content, std::string* error) {
    static std::atomic<unsigned> counter{0};
    const std::string temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = temp + ": cannot create the file: " + std::strerror(errno);
            return false;
        }
        out.write(content.data(), std::streamsize(content.size()));
        out.close();
        if (!out) {
            *error = temp + ": cannot write the file";
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        *error = path + ": cannot replace the file: " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

CompileCode CompileFile(const std::string& source, const std::string& typeFolder, const std::string& output,
                        std::string* diagnostic) {
    TypeSet types;
    Diagnostic d;
    if (!LoadTypeFolder(typeFolder, &types, &d)) {
        *diagnostic = d.Text();
        return kTypeErrors;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        *diagnostic = source + ": cannot read the source file";
        return kCannotRead;
    }
    std::stringstream text;
    text << in.rdbuf();
    const CompileResult r = Compile(text.str(), source, types);
    if (!r.ok) {
        *diagnostic = r.error.Text();
        return kSourceErrors;
    }
    if (!WriteFileAtomically(output, qpx::ToHex(qpx::Encode(r.program)), diagnostic)) return kCannotWrite;
    return kCompiled;
}

}  // namespace qpicg
