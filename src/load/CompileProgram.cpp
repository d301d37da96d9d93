#include "load/CompileProgram.h"

#include <QByteArray>
#include <QDir>
#include <QLibrary>

#include "util/InstallDir.h"
#include "util/PathRules.h"
#include "util/Paths.h"
#include "util/Prompter.h"

namespace {

#if defined(_WIN32)
#define VQ_CODEGEN_CALL __stdcall
const char* const kPluginFile = "qpicg.dll";
const char* const kInitName = "_QPICGInit@8";
const char* const kFlagName = "_QPICGSetOptionFlag@8";
const char* const kOptionName = "_QPICGSetOptionString@8";
const char* const kCodeGenName = "_QPICodeGen@4";
#else
#define VQ_CODEGEN_CALL
const char* const kPluginFile = "libqpicg.so";
const char* const kInitName = "QPICGInit";
const char* const kFlagName = "QPICGSetOptionFlag";
const char* const kOptionName = "QPICGSetOptionString";
const char* const kCodeGenName = "QPICodeGen";
#endif

using InitFn = int(VQ_CODEGEN_CALL*)(int, const char*);
using OptionFn = int(VQ_CODEGEN_CALL*)(int, const char*);
using CodeGenFn = int(VQ_CODEGEN_CALL*)(const char*);

enum : int { kOptionTypeFolder = 8, kOptionOutputBase = 4, kOptionErrorListing = 5 };

int Fail(const QString& text) {
    ErrorBox(text);
    return kCompileFailed;
}

// Unloads the plug-in however the compilation ends.
struct Unloader {
    QLibrary& library;
    ~Unloader() { library.unload(); }
};

}  // namespace

QString CodeGeneratorFileName() {
    return QString::fromLatin1(kPluginFile);
}

ProgramFiles ProgramFilesFor(const QString& sourcePath) {
    const PathStyle style = PathStyle::Native();
    const PathParts p = pathrules::Split(sourcePath, style);
    ProgramFiles f;
    f.source = sourcePath;
    f.base = p.drive + p.dir + p.base;
    f.compiled = f.base + QStringLiteral(".x");
    f.errors = f.base + QStringLiteral(".err");
    return f;
}

int CompileProgram(const QString& sourcePath) {
    QString installDir;
    if (!GetInstallDir(installDir)) return Fail(QStringLiteral("Cannot find the tessarin directory."));
    QString sourceDir;
    if (!GetDirectoryPart(sourcePath, sourceDir))
        return Fail(QStringLiteral("Invalid intepreted program file."));

    SetTrailingBackslash(installDir, false);
    const QString binDir = installDir + QDir::separator() + QStringLiteral("bin");
    const QString typesDir = installDir + QDir::separator() + QStringLiteral("types");

    QLibrary library(binDir + QDir::separator() + CodeGeneratorFileName());
    if (!library.load())
        return Fail(QStringLiteral("Cannot find qpicg.dll in the directory: %1").arg(binDir));
    const Unloader unloader{library};

    const auto init = reinterpret_cast<InitFn>(library.resolve(kInitName));
    // Looked up with the others, but never called: a plug-in may do without it.
    (void)library.resolve(kFlagName);
    const auto option = reinterpret_cast<OptionFn>(library.resolve(kOptionName));
    const auto codeGen = reinterpret_cast<CodeGenFn>(library.resolve(kCodeGenName));
    if (!init || !option || !codeGen) return Fail(QStringLiteral("Cannot load the procedures of qpicg.dll"));

    if (init(0, binDir.toUtf8().constData()) != 1)
        return Fail(QStringLiteral("Error initializing DLL that processes interpreter source."));
    if (option(kOptionTypeFolder, typesDir.toUtf8().constData()) != 0)
        return Fail(
            QStringLiteral("Error processing interpreter source.  Could not find type file directory."));

    // The same base the page names the compiled file and the listing by.
    const ProgramFiles files = ProgramFilesFor(sourcePath);
    (void)option(kOptionOutputBase, files.base.toUtf8().constData());
    if (option(kOptionErrorListing, files.errors.toUtf8().constData()) != 0)
        return Fail(QStringLiteral(
            "Error processing interpreter source.  Error result output file could not be created."));

    if (codeGen(sourcePath.toUtf8().constData()) != 0)
        return Fail(
            QStringLiteral("An error is found in the interpreter source program.\nPlease view the "
                           "Interpreted Program Error section of the log for detail."));
    return kCompileOk;
}
