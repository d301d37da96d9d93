#include "CommandLine.h"

#include <CLI/CLI.hpp>
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
    "  0  done (compress: the file is written; its full path is the last line on stdout)\n"
    "  1  the compression failed; the reason is in the progress lines\n"
    "  2  usage or set-up error: bad arguments, unknown network, database or object server\n"
    "     not openable, missing or read-only output folder\n"
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

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, CompressArgs& args) {
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

    // A word in the command's place that is not a command is named as such.
    if (argc > 1 && argv[1][0] != '-' && std::string(argv[1]) != compress->get_name()) {
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
    if (!compress->parsed()) {
        Complain("a command is required: compress");
        return kExitUsage;
    }

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
