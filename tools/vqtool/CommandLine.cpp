#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "compress/CompressOptions.h"
#include "compress/CompressRules.h"
#include "compress/SubsystemList.h"

namespace {

const char* const kDescription =
    "vqtool: runs the Vaquor Loading Wizard's long operations without a window, for scripts. It works on the "
    "same object server and follows the same rules as the wizard.";

const char* const kFooter =
    "Environment:\n"
    "  OVX_HOME       the object server's data folder (network databases)\n"
    "  TESSARIN_PATH  the install directory; its Vq folder receives the program log\n"
    "                 (without it, the \"Tessarin Path\" setting of organisation \"Tessarin\")\n"
    "\n"
    "Exit codes:\n"
    "  0  done (compress: the file is written; its full path is the last line on stdout;\n"
    "     load: every VQ is loaded)\n"
    "  1  the compression failed, or a VQ failed to load; the reason is in the progress lines\n"
    "  2  usage or set-up error: bad arguments, unknown network, database or object server\n"
    "     not openable, missing or read-only output folder, missing input file, interface\n"
    "     or template that cannot be used\n"
    "  3  interrupted by Ctrl-C";

QString FromLocal(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

// The version numbers take the same text as the options dialog.
CLI::Validator VersionNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            unsigned value = 0;
            if (ParseVersionNumber(FromLocal(text), value)) return {};
            return "needs an unsigned number, not \"" + text + "\"";
        },
        "");
}

CLI::Validator NotEmpty() {
    return CLI::Validator(
        [](std::string& text) -> std::string { return text.empty() ? "needs a value" : ""; }, "");
}

void Complain(const std::string& text) {
    std::fprintf(stderr, "vqtool: %s\nRun with --help for more information.\n", text.c_str());
}

// A file that must be there, as the pages check theirs before Next.
CLI::Validator ExistingFile() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (text.empty()) return "needs a value";
            return QFileInfo(FromLocal(text)).isFile() ? "" : "no such file \"" + text + "\"";
        },
        "FILE");
}

// The batch page checks a Sarvik ID by its length only.
CLI::Validator SarvikIdText() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return FromLocal(text).size() == 12 ? "" : "a Sarvik ID has 12 characters, not \"" + text + "\"";
        },
        "ID");
}

QString Absolute(const std::string& path) {
    return path.empty() ? QString() : QDir::toNativeSeparators(QFileInfo(FromLocal(path)).absoluteFilePath());
}

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, ToolCommand& command) {
    CompressArgs& args = command.compress;
    CLI::App app(kDescription, "vqtool");
    app.set_version_flag("--version", "vqtool " VQ_VERSION);
    app.footer(kFooter);

    std::string network, output, major, minor;
    std::vector<std::string> subsystems;
    CLI::App* compress = app.add_subcommand("compress",
                                            "Compresses subsystem hierarchies of a network database into a "
                                            ".q70 file, as the compression page does.");
    compress->footer(kFooter);
    compress->add_option("--network", network, "the network database, as the database page lists it")
        ->required()
        ->check(NotEmpty());
    compress
        ->add_option(
            "--subsystem", subsystems,
            "a hierarchy by its full dotted path; repeat in the order wanted (at most 16, none inside "
            "another)")
        ->required()
        ->check(NotEmpty())
        ->allow_extra_args(false)
        ->take_all();
    compress->add_option("--output", output, "the file to write (made absolute against the current folder)")
        ->required()
        ->check(NotEmpty());
    compress->add_option("--major", major, "major database version (default: the profile's, 1)")
        ->type_name("N")
        ->check(VersionNumber());
    compress->add_option("--minor", minor, "minor database version (default: the profile's, 0)")
        ->type_name("N")
        ->check(VersionNumber());

    std::string ni, xif, eventList, database, image, program, json;
    int option = 1;
    std::vector<std::string> sarvikIds;
    CLI::App* load = app.add_subcommand(
        "load",
        "Loads VQs as the load page does: the temporary database on the interface, the template, then "
        "each VQ in the order given.");
    load->footer(kFooter);
    load->add_option("--interface", ni, "the network interface the VQs are plugged into")
        ->required()
        ->check(NotEmpty());
    load->add_option("--xif", xif, "the VQ's external interface file (its .xfb beside it)")
        ->required()
        ->check(ExistingFile());
    load->add_option("--event-list", eventList, "the event list (.etl); needed unless --option 2")
        ->check(ExistingFile());
    load->add_option("--database", database, "the compressed database (.q70); needed unless --option 2")
        ->check(ExistingFile());
    load->add_option("--image", image, "the application image (.apb); loaded into each VQ when given")
        ->check(ExistingFile());
    load->add_option("--program", program,
                     "the compiled interpreted program (.x); without it the default program is sent")
        ->check(ExistingFile());
    load->add_option("--option", option,
                     "the main option: 0 compress and load, 1 load database (default), 2 application only")
        ->check(CLI::Range(0, 2));
    load->add_option("--sarvik", sarvikIds,
                     "the Sarvik IDs of the VQs, in loading order (12 characters each)")
        ->required()
        ->check(SarvikIdText())
        ->allow_extra_args(true)
        ->take_all();
    load->add_option("--json", json, "also write one record per VQ to this file");
    app.require_subcommand(0, 1);

    // A word in the command's place that is not a command is named as such.
    if (argc > 1 && argv[1][0] != '-' && std::string(argv[1]) != compress->get_name() &&
        std::string(argv[1]) != load->get_name()) {
        Complain("unknown command \"" + std::string(argv[1]) + "\"");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        Complain(e.what());
        return kExitUsage;
    }
    if (load->parsed()) {
        if (option != 2 && (database.empty() || eventList.empty())) {
            Complain("--database and --event-list are needed unless --option 2");
            return kExitUsage;
        }
        if (option == 2 && image.empty()) {
            Complain("--option 2 loads the application image only: --image is needed");
            return kExitUsage;
        }
        command.kind = ToolCommand::Kind::Load;
        LoadArgs& l = command.load;
        l.interfaceName = FromLocal(ni);
        l.xif = Absolute(xif);
        l.eventList = Absolute(eventList);
        l.database = Absolute(database);
        l.image = Absolute(image);
        l.program = Absolute(program);
        l.option = option;
        for (const std::string& id : sarvikIds) l.sarvikIds << FromLocal(id);
        l.json = Absolute(json);
        return -1;
    }
    if (!compress->parsed()) {
        Complain("a command is required: compress or load");
        return kExitUsage;
    }
    command.kind = ToolCommand::Kind::Compress;

    args = CompressArgs{};
    args.network = FromLocal(network);
    args.output = FromLocal(output);
    // The subsystem page's rules, from the same list: at most 16, no path
    // twice, none inside another.
    CSubsystemList list;
    for (const std::string& path : subsystems) {
        const QString p = FromLocal(path);
        const CSubsystemList::AddResult added = list.Append(p);
        if (added != CSubsystemList::AddResult::Added) {
            QString why = CSubsystemList::RefusalText(added);
            why.replace(QLatin1Char('\n'), QLatin1Char(' '));
            Complain(QStringLiteral("--subsystem \"%1\": %2").arg(p, why).toLocal8Bit().toStdString());
            return kExitUsage;
        }
    }
    args.subsystems = list.Paths();
    unsigned value = 0;
    if (!major.empty() && ParseVersionNumber(FromLocal(major), value)) args.major = value;
    if (!minor.empty() && ParseVersionNumber(FromLocal(minor), value)) args.minor = value;
    return -1;
}
