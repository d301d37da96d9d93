// vqtool: runs the wizard's compression and loading from a script.
#include <QCoreApplication>
#include <QDateTime>

#include "CommandLine.h"
#include "CompressCommand.h"
#include "HeadlessIo.h"
#include "log/Log.h"
#include "util/Prompter.h"

int main(int argc, char** argv) {
    ToolCommand command;
    if (const int exit = ParseCommandLine(argc, argv, command); exit >= 0) return exit;
    QCoreApplication app(argc, argv);

    StderrPrompter prompter;
    SetPrompter(&prompter);
    InstallInterruptHandler();

    OpenLogFile();  // nothing happens without an install directory
    LogProgramStart(QDateTime::currentDateTime());
    const int code =
        command.kind == ToolCommand::Kind::Load ? RunLoad(command.load) : RunCompress(command.compress);
    LogProgramEnd(QDateTime::currentDateTime());
    CloseLogFile();
    SetPrompter(nullptr);
    return code;
}
