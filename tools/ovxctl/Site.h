// Site files: a whole network database described in JSON (see
// docs/site-file.md), imported into a new registered network and exported
// back.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace ovxsite {

// Bad input; the text names the file, the place in it and the fault.
class SiteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ImportOptions {
    std::string dataFolder;    // object-server data folder
    std::string nameOverride;  // registers under this name instead of the file's
    std::string folder;        // network folder; default DATA/networks/NAME
    // Called after each device is written (tests use it to stop mid-import).
    std::function<void(int devicesWritten)> onDevice;
};

// Validates the whole file first; on any fault nothing is created or
// registered. Returns the registered network name.
std::string ImportSite(const std::string& sitePath, const ImportOptions& options);

// The site file of a registered network, as JSON text.
std::string ExportSite(const std::string& dataFolder, const std::string& network);

// Subsystem tree with devices, routers, channels and handles.
std::string ShowNetwork(const std::string& dataFolder, const std::string& network);

}  // namespace ovxsite
