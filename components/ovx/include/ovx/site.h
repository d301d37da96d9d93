// Site files: a whole network database described in JSON (see
// docs/site-file.md), imported into a new registered network and exported
// back; and the registered networks themselves, for tools.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

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
// registered, and nothing is left behind. Returns the registered network name.
std::string ImportSite(const std::string& sitePath, const ImportOptions& options);

// The site file of a registered network, as JSON text.
std::string ExportSite(const std::string& dataFolder, const std::string& network);

// Subsystem tree with devices, routers, channels and handles; names printed
// as Printable() gives them.
std::string ShowNetwork(const std::string& dataFolder, const std::string& network);

// Why `name` cannot name a network (empty, "." or "..", a path separator,
// a NUL or another control character, more than 255 bytes); empty when it can.
std::string NetworkNameFault(const std::string& name);

// `text` with control characters, backslash and DEL escaped (\t, \n, \r,
// \\, \xHH), so that a name cannot break a line of output or reach a
// terminal as an escape sequence.
std::string Printable(const std::string& text);

// The object server's data folder: $OVX_HOME, else the per-user default.
std::string DefaultDataFolder();

// Whether two network names are the same: ASCII letters compare without
// case, every other byte (letters beyond ASCII included) as it is.
bool SameNetworkName(const std::string& a, const std::string& b);

struct NetworkEntry {
    std::string name;
    std::string folder;
};
std::vector<NetworkEntry> ListNetworks(const std::string& dataFolder);

// Unregisters the network and deletes its folder: the whole folder when it
// is the default one under DATA/networks, else the network database and its
// side files, and the folder when nothing else is left in it. Returns false
// when the folder was kept because it holds other files. Throws SiteError
// when no network has that name.
bool RemoveNetwork(const std::string& dataFolder, const std::string& network);

// Writes `text` to `path` through a temporary file and a rename.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace ovxsite
