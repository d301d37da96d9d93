#include "CompressCommand.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "HeadlessIo.h"
#include "compress/CompressOptions.h"
#include "compress/CompressRules.h"
#include "compress/CompressRun.h"
#include "compress/TargetFolder.h"
#include "context/SetupContext.h"
#include "log/Log.h"

namespace {}  // namespace

int RunCompress(const CompressArgs& args, const std::string& dataFolder) {
    const QString path = QDir::toNativeSeparators(QFileInfo(args.output).absoluteFilePath());
    // A folder that cannot take the file is a set-up error, said as such.
    QString folder;
    if (const FolderState state = CheckTargetFolder(path, &folder); state != FolderState::Usable) {
        Complain(TargetFolderMessage(state, folder));
        return kExitUsage;
    }

    CSetupContext context;
    // Ctrl-C is the Cancel button: noticed between object-server calls and
    // at every progress line.
    auto poll = [&context] {
        if (InterruptRequested()) context.m_cancelRequested = true;
    };
    if (!OpenObjectServerFor(context, dataFolder, poll)) return kExitUsage;

    const int opened = context.OpenNetworkDatabase(args.network, 0);
    if (opened == kDbNotFound) {
        Complain(QStringLiteral("no network database named \"%1\"").arg(args.network));
        return kExitUsage;
    }
    if (opened != kDbOk || context.OpenSystem(QString(), 0) != kDbOk) {
        Complain(QStringLiteral("the network database \"%1\" could not be opened").arg(args.network));
        context.CloseAllDatabases();
        return kExitUsage;
    }
    if (InterruptRequested()) {
        context.CloseAllDatabases();
        return kExitInterrupted;
    }

    // The compression page's run, as a script wants it: the path is already
    // full, nothing is asked, the side files stay beside the output.
    CompressRequest request;
    request.enteredName = path;
    request.subsystems = args.subsystems;
    const CompressVersion profile = ReadCompressOptions();
    request.version = {args.major.value_or(profile.major), args.minor.value_or(profile.minor)};
    request.completeName = false;
    request.askBeforeReplacing = false;
    request.reportOutcome = false;
    request.keepSideFiles = true;

    StreamLogView view(stdout);
    view.onLine = poll;
    CLog log(&view);
    const CompressResult result = CompressRun(context.m_walk, context.m_compressSystem, request, log);
    std::fflush(stdout);
    context.CloseAllDatabases();

    switch (result.outcome) {
        case CompressOutcome::Succeeded:
        case CompressOutcome::StayOnPage:
            // The last line says where the file is, for the script to take.
            std::printf("%s\n", result.fullPath.toLocal8Bit().constData());
            return kExitOk;
        case CompressOutcome::Cancelled:
            return kExitInterrupted;
        case CompressOutcome::Refused:
            return kExitUsage;
        case CompressOutcome::Failed:
            break;
    }
    return kExitFailed;
}
