// Compiling one file to its .x: shared by the plug-in and the command.
#pragma once

#include <string>

namespace qpicg {

enum CompileCode {
    kCompiled = 0,
    kSourceErrors = 1,  // the source has an error
    kTypeErrors = 2,    // a type file has an error, or the type folder cannot be read
    kCannotRead = 3,    // the source cannot be read
    kCannotWrite = 4,   // the compiled file cannot be written
};

// Compiles `source` with the types of `typeFolder` and writes the program as
// hexadecimal text to `output`: first to a temporary file beside it, renamed
// over `output` once complete, so a failure leaves `output` as it was. On
// failure *diagnostic holds one line, "FILE:LINE:COLUMN: MESSAGE" for errors
// in a file, "FILE: MESSAGE" otherwise.
CompileCode CompileFile(const std::string& source, const std::string& typeFolder, const std::string& output,
                        std::string* diagnostic);

// Writes a whole file under a temporary name and renames it into place.
bool WriteFileAtomically(const std::string& path, const std::string& content, std::string* error);

}  // namespace qpicg
