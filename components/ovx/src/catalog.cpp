#include "catalog.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ovx/errors.h"

namespace ovx::detail {

namespace fs = std::filesystem;

std::string DefaultDataFolder() {
    if (const char* home = std::getenv("OVX_HOME"); home && *home) return home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/ovx";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/share/ovx";
    return (fs::temp_directory_path() / "ovx").string();
}

std::vector<CatalogEntry> ReadCatalog(const std::string& dataFolder) {
    const std::string path = dataFolder + "/networks.json";
    std::ifstream in(path);
    if (!in) return {};
    std::vector<CatalogEntry> out;
    try {
        const auto j = nlohmann::json::parse(in);
        for (const auto& e : j.at("networks"))
            out.push_back({e.at("name").get<std::string>(), e.at("folder").get<std::string>()});
    } catch (const std::exception& e) {
        throw Error(kErrCorruptDatabase, "The network list " + path + " is damaged: " + e.what());
    }
    return out;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.flush();
        if (!out) {
            std::error_code ec;
            out.close();
            fs::remove(tmp, ec);
            throw Error(kErrIo, "Cannot write " + tmp);
        }
    }
    if (FILE* f = std::fopen(tmp.c_str(), "rb")) {
        ::fsync(fileno(f));
        std::fclose(f);
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        throw Error(kErrIo, "Cannot replace " + path);
    }
}

void WriteCatalog(const std::string& dataFolder, const std::vector<CatalogEntry>& entries) {
    std::error_code ec;
    fs::create_directories(dataFolder, ec);
    nlohmann::json j;
    j["networks"] = nlohmann::json::array();
    for (const auto& e : entries) j["networks"].push_back({{"name", e.name}, {"folder", e.folder}});
    WriteFileAtomically(dataFolder + "/networks.json", j.dump(2) + "\n");
}

}  // namespace ovx::detail
