// xifpack: writes the .xfb companion of a .xif, after checking the .xif.
#include <fstream>
#include <iostream>
#include <sstream>

#include "vqfield/tool_cli.h"
#include "xif.h"

int main(int argc, char** argv) {
    CLI::App app{
        "Checks external interface files (.xif, docs/xif.md) and writes the .xfb companion of each\n"
        "beside it, which the object server needs to take the .xif as a template.",
        "xifpack"};
    app.set_version_flag("--version", VQ_VERSION);
    app.footer(
        "Environment: none read.\n"
        "\n"
        "Exit codes:\n"
        "  0  every .xfb written\n"
        "  1  a .xif could not be read or parsed, or its .xfb not written (the others are still done)\n"
        "  2  wrong usage");
    std::vector<std::string> files;
    app.add_option("FILE.xif", files, "the external interface files")->required();
    if (const int rc = vqfield::ParseCommandLine(app, argc, argv); rc >= 0) return rc;
    int rc = 0;
    for (const std::string& path : files) {
        try {
            std::ifstream in(path, std::ios::binary);
            if (!in) throw ovx::Error(ovx::kErrXifUnreadable, "Cannot open " + path);
            std::ostringstream ss;
            ss << in.rdbuf();
            const std::string text = ss.str();
            const auto parsed = ovx::detail::ParseXif(text, path);
            const auto bytes = ovx::detail::MakeXfb(text, parsed);
            const std::string out = ovx::detail::XfbPathFor(path);
            std::ofstream f(out, std::ios::binary | std::ios::trunc);
            f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!f) throw ovx::Error(ovx::kErrIo, "Cannot write " + out);
            std::cout << "Wrote " << out << "\n";
        } catch (const ovx::Error& e) {
            std::cerr << "xifpack: " << e.description() << "\n";
            rc = 1;
        }
    }
    return rc;
}
