// The command-line conventions of the component tools (vqsim, ovxctl,
// ns2vq, xifpack), on top of CLI11: -h/--help and --version exit 0, any
// wrong usage exits 2, and an unknown option is named even when another
// fault (a missing command or argument) was found first.
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>

namespace vqfield {

// Parses the command line; returns -1 when the tool should go on, else the
// exit code, after printing the help, the version or what is wrong.
inline int ParseCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return -1;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        for (const auto& arg : app.remaining(true))
            if (arg.size() > 1 && arg[0] == '-') {
                std::cerr << "Unknown option " << arg << "\nRun with --help for more information.\n";
                return 2;
            }
        app.exit(e);
        return 2;
    }
}

}  // namespace vqfield
