// The registered networks as tools see them (ovx/site.h).
#include <algorithm>
#include <filesystem>

#include "catalog.h"
#include "ovx/errors.h"
#include "ovx/site.h"
#include "store.h"

namespace ovxsite {

namespace fs = std::filesystem;
using namespace ovx::detail;

std::string Printable(const std::string& text) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    auto escapeByte = [&](unsigned char b) {
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (b == '\t')
                out += "\\t";
            else if (b == '\n')
                out += "\\n";
            else if (b == '\r')
                out += "\\r";
            else if (b == '\\')
                out += "\\\\";
            else if (b < 0x20 || b == 0x7f)
                escapeByte(b);
            else
                out += static_cast<char>(b);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence is kept, except the C1 controls U+0080..U+009F;
        // a stray byte is escaped on its own.
        const std::size_t n = b >= 0xf0 && b < 0xf5 ? 4 : b >= 0xe0 ? 3 : b >= 0xc2 && b < 0xe0 ? 2 : 0;
        bool whole = n > 0 && i + n <= text.size();
        for (std::size_t k = 1; whole && k < n; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (whole && n == 3) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            whole = !(b == 0xe0 && b1 < 0xa0) && !(b == 0xed && b1 >= 0xa0);  // overlong, surrogate
        }
        if (whole && n == 4) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            whole = !(b == 0xf0 && b1 < 0x90) && !(b == 0xf4 && b1 >= 0x90);
        }
        if (!whole || (n == 2 && b == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0)) {
            escapeByte(b);
            ++i;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

bool SameNetworkName(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

std::string DefaultDataFolder() {
    return ovx::detail::DefaultDataFolder();
}

std::vector<NetworkEntry> ListNetworks(const std::string& dataFolder) {
    std::vector<NetworkEntry> out;
    try {
        for (const auto& e : ReadCatalog(dataFolder)) out.push_back({e.name, e.folder});
    } catch (const ovx::Error& e) {
        throw SiteError(e.description());
    }
    return out;
}

bool RemoveNetwork(const std::string& dataFolder, const std::string& network) {
    const std::string data = dataFolder.empty() ? DefaultDataFolder() : dataFolder;
    std::vector<CatalogEntry> catalog;
    try {
        catalog = ReadCatalog(data);
    } catch (const ovx::Error& e) {
        throw SiteError(e.description());
    }
    auto it = std::find_if(catalog.begin(), catalog.end(),
                           [&](const CatalogEntry& e) { return SameNetworkName(e.name, network); });
    if (it == catalog.end()) throw SiteError("no network named \"" + network + "\" in " + data);
    const fs::path folder = it->folder;
    catalog.erase(it);
    try {
        WriteCatalog(data, catalog);
    } catch (const ovx::Error& e) {
        throw SiteError(e.description());
    }
    std::error_code ec;
    // The folder import made for it is the network's own; any other folder
    // may hold the user's files, so only the database goes from there.
    const fs::path ownRoot = fs::weakly_canonical(fs::path(data) / "networks", ec);
    const fs::path real = fs::weakly_canonical(folder, ec);
    if (!ec && real.parent_path() == ownRoot && real.filename() != "" && !fs::is_symlink(folder, ec)) {
        fs::remove_all(real, ec);
        return !fs::exists(real, ec);
    }
    const fs::path db = folder / kDbFileName;
    for (const char* side : {"", "-journal", "-wal", "-shm", ".new"})
        fs::remove(fs::path(db.string() + side), ec);
    fs::remove(folder, ec);  // only when nothing else is in it
    return !fs::exists(folder, ec);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    try {
        WriteFileAtomically(path, text);
    } catch (const ovx::Error& e) {
        throw SiteError(e.description());
    }
}

}  // namespace ovxsite
