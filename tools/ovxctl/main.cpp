// ovxctl: creates and inspects network databases from site files.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Site.h"
#include "catalog.h"
#include "ovx/errors.h"

namespace {

int Usage() {
    std::cerr << "usage: ovxctl import SITE.json [--name NAME] [--folder DIR]\n"
                 "       ovxctl list\n"
                 "       ovxctl show NETWORK\n"
                 "       ovxctl export NETWORK [-o FILE]\n"
                 "The data folder is $OVX_HOME, else the per-user default.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    const std::string data = ovx::detail::DefaultDataFolder();
    try {
        const std::string& cmd = args[0];
        if (cmd == "import" && args.size() >= 2) {
            ovxsite::ImportOptions o;
            o.dataFolder = data;
            for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
                if (args[i] == "--name")
                    o.nameOverride = args[i + 1];
                else if (args[i] == "--folder")
                    o.folder = args[i + 1];
                else
                    return Usage();
            }
            if (args.size() % 2 != 0) return Usage();
            const std::string name = ovxsite::ImportSite(args[1], o);
            std::cout << "Imported network \"" << name << "\"\n";
            return 0;
        }
        if (cmd == "list" && args.size() == 1) {
            for (const auto& e : ovx::detail::ReadCatalog(data))
                std::cout << e.name << "\t" << e.folder << "\n";
            return 0;
        }
        if (cmd == "show" && args.size() == 2) {
            std::cout << ovxsite::ShowNetwork(data, args[1]);
            return 0;
        }
        if (cmd == "export" && (args.size() == 2 || (args.size() == 4 && args[2] == "-o"))) {
            const std::string text = ovxsite::ExportSite(data, args[1]);
            if (args.size() == 2) {
                std::cout << text;
            } else {
                ovx::detail::WriteFileAtomically(args[3], text);
            }
            return 0;
        }
        return Usage();
    } catch (const ovxsite::SiteError& e) {
        std::cerr << "ovxctl: " << e.what() << "\n";
        return 1;
    } catch (const ovx::Error& e) {
        std::cerr << "ovxctl: " << e.description() << "\n";
        return 1;
    }
}
