#include "CompressCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <cstdio>

#include "HeadlessIo.h"
#include "app/context/SetupContext.h"
#include "compress/CompressStatus.h"
#include "compress/TargetFolder.h"
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

// The version numbers the compression page would use: the profile's, with
// its defaults.
unsigned ProfileValue(const char* key, unsigned fallback) {
    QSettings profile(QStringLiteral("Quillane"), QStringLiteral("Vaquor Setup Utility"));
    bool ok = false;
    const uint value =
        profile.value(QStringLiteral("CompressOptions/%1").arg(QLatin1String(key)), fallback).toUInt(&ok);
    return ok ? value : fallback;
}

void FileSideFile(const QString& path, const char* begin, const char* end) {
    if (!QFileInfo::exists(path)) return;
    LogSection(QString::fromUtf8(begin));
    AppendFileToLog(path, nullptr, true);
    LogSection(QString::fromUtf8(end));
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
    else if (args.subsystems.size() > kMaxSubsystems)
        error = QStringLiteral("at most %1 subsystems can be compressed into one file").arg(kMaxSubsystems);
    else if (args.output.isEmpty())
        error = QStringLiteral("--output is required");
    return error.isEmpty();
}

int RunCompress(const CompressArgs& args, const std::string& dataFolder) {
    const QFileInfo target(args.output);
    const QString path = QDir::toNativeSeparators(target.absoluteFilePath());
    // A folder that cannot take the file is a set-up error, said as such.
    QString folder;
    if (const FolderState state = CheckTargetFolder(path, &folder); state != FolderState::Usable) {
        Complain(TargetFolderMessage(state, folder));
        return kExitUsage;
    }

    CSetupContext context;
    CSetupContext* const previous = g_pContext;
    g_pContext = &context;
    struct Restore {
        CSetupContext* previous;
        ~Restore() { g_pContext = previous; }
    } restore{previous};

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

    const unsigned major = args.major ? *args.major : ProfileValue("Major", 1);
    const unsigned minor = args.minor ? *args.minor : ProfileValue("Minor", 0);

    StreamLogView view(stdout);
    view.onLine = poll;
    CLog log(&view);
    LogSection(QStringLiteral("Begin Compression..."));
    LogWrite(QStringLiteral("Save compressed database into file: %1").arg(path));
    const int result = context.CompressDatabase(path, args.subsystems, kCompressPageFlags, &log,
                                                static_cast<int>(major), static_cast<int>(minor));
    std::fflush(stdout);
    LogSection(QStringLiteral("End Compression"));
    // The side files stay beside the output for the script that asked.
    FileSideFile(path + QStringLiteral(".err"), "Begin Compression Error File", "End Compression Error File");
    FileSideFile(path + QStringLiteral(".lst"), "Begin Compression List File", "End Compression List File");
    context.CloseAllDatabases();

    if (result == kCancelled) return kExitInterrupted;
    return result == 0 ? kExitOk : kExitFailed;
}
