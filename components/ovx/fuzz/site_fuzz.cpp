// Runs the site-file import over arbitrary bytes: each input is written as
// a site file and imported into a scratch data folder, and a network that
// imports is removed again. Built as a libFuzzer target with -DVQ_FUZZ=ON
// and clang; otherwise as a driver that reads every file (or every file in
// every folder) named on its command line.
//
// The import must end in a SiteError or an ovx::Error for any input; any
// other exception escapes and is a finding. After every input the scratch
// folder must hold no file but the (possibly empty) network list.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ovx/errors.h"
#include "ovx/site.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Scratch() {
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / ("site_fuzz-" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d / "data");
        return d;
    }();
    return dir;
}

void Run(const std::uint8_t* data, std::size_t size) {
    const fs::path site = Scratch() / "site.json";
    std::ofstream(site, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    ovxsite::ImportOptions o;
    o.dataFolder = (Scratch() / "data").string();
    try {
        const std::string name = ovxsite::ImportSite(site.string(), o);
        ovxsite::RemoveNetwork(o.dataFolder, name);
    } catch (const ovxsite::SiteError&) {
    } catch (const ovx::Error&) {
    }
    for (const auto& e : fs::recursive_directory_iterator(Scratch() / "data"))
        if (e.path().filename() != "networks.json" && e.path().filename() != "networks") {
            std::fprintf(stderr, "left behind: %s\n", e.path().c_str());
            std::abort();
        }
}

}  // namespace

#ifdef VQ_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Run(data, size);
    return 0;
}
#else
int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> paths;
        if (fs::is_directory(argv[i]))
            for (const auto& e : fs::directory_iterator(argv[i])) paths.push_back(e.path());
        else
            paths.emplace_back(argv[i]);
        for (const auto& p : paths) {
            std::ifstream in(p, std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                                  std::istreambuf_iterator<char>());
            Run(bytes.data(), bytes.size());
            ++files;
        }
    }
    fs::remove_all(Scratch());
    std::printf("%d inputs run\n", files);
    return 0;
}
#endif
