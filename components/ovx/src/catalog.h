// The list of registered networks (name and folder), kept as
// networks.json in the data folder and replaced atomically on every change.
#pragma once

#include <string>
#include <vector>

namespace ovx::detail {

struct CatalogEntry {
    std::string name;
    std::string folder;
};

std::vector<CatalogEntry> ReadCatalog(const std::string& dataFolder);
void WriteCatalog(const std::string& dataFolder, const std::vector<CatalogEntry>& entries);
std::string DefaultDataFolder();
// Writes bytes to path through a temporary file and a rename.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace ovx::detail
