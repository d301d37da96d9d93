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

const char* const kCompressUsage =
    "usage: vqtool compress --network NAME --subsystem PATH [--subsystem PATH ...] --output FILE\n"
    "                       [--major N] [--minor N]\n";

namespace {

void Complain(const QString& text) {
    std::fprintf(stderr, "vqtool: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

bool ParseUnsigned(const QString& text, unsigned& out) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || text.startsWith(QLatin1Char('+'))) return false;
    out = value;
    return true;
}

}  // namespace

bool ParseCompressArgs(const QStringList& words, CompressArgs& args, QString& error) {
    args = CompressArgs{};
    for (int i = 0; i < words.size(); ++i) {
        QString option = words[i];
        QString value;
        bool haveValue = false;
        const qsizetype eq = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && eq > 0) {
            value = option.mid(eq + 1);
            option = option.left(eq);
            haveValue = true;
        }
        const bool known = option == QLatin1String("--network") || option == QLatin1String("--subsystem") ||
                           option == QLatin1String("--output") || option == QLatin1String("--major") ||
                           option == QLatin1String("--minor");
        if (!known) {
            error = QStringLiteral("unknown argument \"%1\"").arg(words[i]);
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= words.size()) {
                error = QStringLiteral("%1 needs a value").arg(option);
                return false;
            }
            value = words[++i];
        }
        if (option == QLatin1String("--network")) {
            args.network = value;
        } else if (option == QLatin1String("--subsystem")) {
            if (value.isEmpty()) {
                error = QStringLiteral("--subsystem needs a subsystem path");
                return false;
            }
            args.subsystems << value;
        } else if (option == QLatin1String("--output")) {
            args.output = value;
        } else {
            unsigned number = 0;
            if (!ParseUnsigned(value, number)) {
                error = QStringLiteral("%1 needs an unsigned number, not \"%2\"").arg(option, value);
                return false;
            }
            (option == QLatin1String("--major") ? args.major : args.minor) = number;
        }
    }
    if (args.network.isEmpty())
        error = QStringLiteral("--network is required");
    else if (args.subsystems.isEmpty())
        error = QStringLiteral("at least one --subsystem is required");
    else if (args.subsystems.size() > kMaxHierarchies)
        error = QStringLiteral("at most %1 subsystems can be compressed into one file").arg(kMaxHierarchies);
    else if (args.output.isEmpty())
        error = QStringLiteral("--output is required");
    return error.isEmpty();
}

int RunCompress(const CompressArgs& args, const std::string& dataFolder) {
    const QString path = QDir::toNativeSeparators(QFileInfo(args.output).absoluteFilePath());
    // A folder that cannot take the file is a set-up error, said as such.
    QString folder;
    if (const FolderState state = CheckTargetFolder(path, &folder); state != FolderState::Usable) {
        Complain(TargetFolderMessage(state, folder));
        return kExitUsage;
    }

    CSetupContext context;
    context.OpenObjectServer(dataFolder);
    if (!context.m_objectServer.IsOpen()) {
        Complain(QStringLiteral("the object server could not be opened"));
        return kExitUsage;
    }
    // Ctrl-C is the Cancel button: noticed between object-server calls and
    // at every progress line.
    auto poll = [&context] {
        if (InterruptRequested()) context.m_cancelRequested = true;
    };
    context.m_objectServer.SetProgressHandler(poll);

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
