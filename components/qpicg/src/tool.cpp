// qpicg: compiles a .qpl source to its .x file, or prints a .x file's
// program as text.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "driver.h"
#include "qpicg/qpx.h"

namespace {

enum ExitCode { kOk = 0, kProgramErrors = 1, kUsage = 2, kFileError = 3 };

std::string DefaultTypeFolder() {
    if (const char* p = std::getenv("TESSARIN_PATH"); p && *p)
        return (std::filesystem::path(p) / "types").string();
    return "types";
}

int Compile(const std::string& source, const std::string& types, std::string output) {
    if (output.empty()) output = std::filesystem::path(source).replace_extension(".x").string();
    std::string diagnostic;
    const qpicg::CompileCode code = qpicg::CompileFile(source, types, output, &diagnostic);
    if (code == qpicg::kCompiled) return kOk;
    std::cerr << diagnostic << "\n";
    return code == qpicg::kSourceErrors || code == qpicg::kTypeErrors ? kProgramErrors : kFileError;
}

int Dump(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": cannot read the file\n";
        return kFileError;
    }
    std::stringstream text;
    text << in.rdbuf();
    const auto bytes = qpx::FromHex(text.str());
    if (!bytes) {
        std::cerr << path
                  << ": not a compiled program: the file must hold pairs of hexadecimal digits only\n";
        return kProgramErrors;
    }
    qpx::Program program;
    std::string error;
    if (!qpx::Load(bytes->data(), bytes->size(), &program, &error)) {
        std::cerr << path << ": not a valid program: " << error << "\n";
        return kProgramErrors;
    }
    std::cout << qpx::Disassemble(program);
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "qpicg: the VQ program compiler. Compiles a .qpl source into the .x file a VQ is loaded with,\n"
        "and prints what a .x file holds."};
    app.set_version_flag("--version", "qpicg 1.0 (compiled form version 1)");
    app.require_subcommand(1);
    app.footer(
        "Exit codes:\n"
        "  0  done\n"
        "  1  the source or a type file has an error, or the .x file is not a valid program\n"
        "  2  wrong command line\n"
        "  3  a file cannot be read or written\n"
        "Errors are printed as FILE:LINE:COLUMN: MESSAGE.");

    std::string source, types = DefaultTypeFolder(), output, xfile;
    CLI::App* compile = app.add_subcommand("compile", "Compile FILE.qpl into FILE.x");
    compile->add_option("source", source, "The .qpl source")->required();
    compile->add_option("-t,--types", types,
                        "Folder of type files (default: $TESSARIN_PATH/types, else ./types)");
    compile->add_option("-o,--output", output, "The compiled file (default: the source with .x)");
    CLI::App* dump = app.add_subcommand("dump", "Print the tables and instructions of FILE.x");
    dump->add_option("file", xfile, "The .x file")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int shown = app.exit(e);
        return shown == 0 ? kOk : kUsage;
    }
    if (compile->parsed()) return Compile(source, types, output);
    return Dump(xfile);
}
