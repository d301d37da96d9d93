// vqtool: runs the wizard's compression from a script.
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "CompressCommand.h"
#include "HeadlessIo.h"
#include "log/Log.h"
#include "util/Prompter.h"

namespace {

int Usage(const QString& error) {
    if (!error.isEmpty()) std::fprintf(stderr, "vqtool: %s\n", error.toUtf8().constData());
    std::fputs(kCompressUsage, stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList words = app.arguments().mid(1);
    if (words.isEmpty() || words.first() != QLatin1String("compress")) {
        return Usage(words.isEmpty() ? QStringLiteral("no command given")
                                     : QStringLiteral("unknown command \"%1\"").arg(words.first()));
    }
    words.removeFirst();
    if (words.contains(QLatin1String("--help")) || words.contains(QLatin1String("-h"))) {
        std::fputs(kCompressUsage, stdout);
        return kExitOk;
    }
    CompressArgs args;
    QString error;
    if (!ParseCompressArgs(words, args, error)) return Usage(error);

    StderrPrompter prompter;
    SetPrompter(&prompter);
    InstallInterruptHandler();

    OpenLogFile();  // nothing happens without an install directory
    LogProgramStart(QDateTime::currentDateTime());
    const int code = RunCompress(args);
    LogProgramEnd(QDateTime::currentDateTime());
    CloseLogFile();
    SetPrompter(nullptr);
    return code;
}
