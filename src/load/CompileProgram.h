// Compiling a VQ program source (.qpl) through the platform's code generator
// plug-in, which sits in the install directory's bin folder and is loaded
// afresh for each compilation. No widgets: failures are shown through the
// prompter, so the wizard, scripts and tests run the same code.
#pragma once

#include <QString>

#include "objserver/DatabaseAccess.h"  // kCompileFailed

enum : int { kCompileOk = 0 };

// The plug-in's file name in the bin folder.
QString CodeGeneratorFileName();

// The files of one compilation, from the source path: the compiled program
// (base + ".x") and the error listing (base + ".err"), where base is the
// source path without its extension.
struct ProgramFiles {
    QString source;
    QString base;
    QString compiled;
    QString errors;
};
ProgramFiles ProgramFilesFor(const QString& sourcePath);

// Loads the plug-in, initialises it, sets the type folder (8), the output
// base name (4) and the error listing (5), in that order, and runs it on
// sourcePath. kCompileOk, or kCompileFailed after exactly one "Error" box.
// The plug-in is unloaded before returning on every path.
int CompileProgram(const QString& sourcePath);
