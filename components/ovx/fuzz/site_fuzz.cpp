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

#include "ovx/errors.h"
#include "ovx/site.h"
#include "vqfield/fuzz_driver.h"

namespace {

namespace fs = std::filesystem;

// A folder of this process's own, gone again when the process ends normally
// (libFuzzer ends without it: the folder is named by the process id).
const fs::path& Scratch() {
    static const struct Dir {
        fs::path path = fs::temp_directory_path() / ("site_fuzz-" + std::to_string(::getpid()));
        Dir() {
            fs::remove_all(path);
            fs::create_directories(path / "data");
        }
        ~Dir() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } dir;
    return dir.path;
}

}  // namespace

void FuzzOne(const std::uint8_t* data, std::size_t size) {
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
