// xifpack: writes the .xfb companion of a .xif, after checking the .xif.
#include <fstream>
#include <iostream>
#include <sstream>

#include "xif.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: xifpack FILE.xif [FILE.xif ...]\n";
        return 2;
    }
    int rc = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
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
