// ovxctl: creates, inspects and removes network databases from site files.
#include <iostream>
#include <string>

#include "ovx/errors.h"
#include "ovx/site.h"
#include "vqfield/tool_cli.h"

namespace {

// Asks on the terminal; anything but yes (or no answer at all) is no.
bool Confirm(const std::string& question) {
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Creates network databases of the object server from site files (docs/site-file.md), lists,\n"
        "shows and exports the registered networks, and removes them.",
        "ovxctl"};
    app.set_version_flag("--version", VQ_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Environment:\n"
        "  OVX_HOME   the data folder; else $XDG_DATA_HOME/ovx, else ~/.local/share/ovx\n"
        "\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  the command failed: a fault in the site file (FILE: at /json/pointer: what is wrong),\n"
        "     no such network, a file that cannot be written, or a removal not confirmed\n"
        "  2  wrong usage");
    std::string site, name, folder, network, output;
    bool yes = false;
    auto* import = app.add_subcommand("import", "Create a network database from a site file and register it");
    import->add_option("SITE", site, "the site file (JSON)")->required();
    import->add_option("--name", name, "register under this name instead of the file's \"network\"");
    import->add_option("--folder", folder, "the network's folder; default DATA/networks/NAME");
    auto* list = app.add_subcommand("list", "List the registered networks: name, a tab, folder");
    auto* show = app.add_subcommand("show", "Print a network's channels, templates and subsystem tree");
    show->add_option("NETWORK", network, "the network's name (any case)")->required();
    auto* exportCmd = app.add_subcommand("export", "Write a network back as a site file");
    exportCmd->add_option("NETWORK", network, "the network's name (any case)")->required();
    exportCmd->add_option("-o,--output", output, "write to FILE instead of standard output");
    auto* remove =
        app.add_subcommand("remove", "Unregister a network and delete its folder, after a confirmation");
    remove->add_option("NETWORK", network, "the network's name (any case)")->required();
    remove->add_flag("-y,--yes", yes, "do not ask (for scripts)");
    if (const int rc = vqfield::ParseCommandLine(app, argc, argv); rc >= 0) return rc;

    const std::string data = ovxsite::DefaultDataFolder();
    using ovxsite::Printable;
    try {
        if (*import) {
            ovxsite::ImportOptions o;
            o.dataFolder = data;
            o.nameOverride = name;
            if (import->count("--name") && name.empty())  // an empty override would mean none
                throw ovxsite::SiteError(site + ": at /network: the network name is empty (--name)");
            o.folder = folder;
            std::cout << "Imported network \"" << Printable(ovxsite::ImportSite(site, o)) << "\"\n";
        } else if (*list) {
            for (const auto& e : ovxsite::ListNetworks(data))
                std::cout << Printable(e.name) << "\t" << Printable(e.folder) << "\n";
        } else if (*show) {
            std::cout << ovxsite::ShowNetwork(data, network);
        } else if (*exportCmd) {
            const std::string text = ovxsite::ExportSite(data, network);
            if (output.empty())
                std::cout << text;
            else
                ovxsite::WriteTextFile(output, text);
        } else if (*remove) {
            std::string where;
            for (const auto& e : ovxsite::ListNetworks(data))
                if (ovxsite::SameNetworkName(e.name, network)) where = e.folder;
            if (where.empty()) throw ovxsite::SiteError("no network named \"" + network + "\" in " + data);
            if (!yes && !Confirm("Remove the network \"" + Printable(network) + "\" and delete its folder " +
                                 Printable(where) + "?")) {
                std::cerr << "ovxctl: nothing removed\n";
                return 1;
            }
            if (!ovxsite::RemoveNetwork(data, network))
                std::cerr << "ovxctl: the folder " << Printable(where) << " was kept: it holds other files\n";
            std::cout << "Removed network \"" << Printable(network) << "\"\n";
        }
        return 0;
    } catch (const ovxsite::SiteError& e) {
        std::cerr << "ovxctl: " << Printable(e.what()) << "\n";
        return 1;
    } catch (const ovx::Error& e) {
        std::cerr << "ovxctl: " << Printable(e.description()) << "\n";
        return 1;
    }
}
