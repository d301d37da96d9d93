// vqtool: runs the wizard's compression from a script.
#include <QCoreApplication>
#include <QDateTime>

#include "CommandLine.h"
#include "CompressCommand.h"
#include "HeadlessIo.h"
#include "log/Log.h"
#include "util/Prompter.h"

int main(int argc, char** argv) {
    CompressArgs args;
    if (const int exit = ParseCommandLine(argc, argv, args); exit >= 0) return exit;
    QCoreApplication app(argc, argv);

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
