// vqtool's command line: commands, options, help and version, parsed with
// CLI11.
#pragma once

#include "CompressCommand.h"
#include "LoadCommand.h"

struct ToolCommand {
    enum class Kind { Compress, Load } kind = Kind::Compress;
    CompressArgs compress;
    LoadArgs load;
};

// Parses the program's arguments into command. Returns -1 when the command
// is to run; otherwise the exit code (0 after --help or --version,
// kExitUsage after a mistake, which is said on stderr).
int ParseCommandLine(int argc, const char* const* argv, ToolCommand& command);
