#include "LoadCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "CompressCommand.h"
#include "HeadlessIo.h"
#include "context/SetupContext.h"
#include "load/LoadRun.h"
#include "log/Log.h"

namespace {

const char* OutcomeName(VqOutcome o) {
    switch (o) {
        case VqOutcome::Loaded:
            return "loaded";
        case VqOutcome::Failed:
            return "failed";
        case VqOutcome::Stopped:
            return "stopped";
        case VqOutcome::NotReached:
            break;
    }
    return "not reached";
}

bool WriteJson(const QString& path, const LoadRunResult& result) {
    QJsonArray vqs;
    for (std::size_t i = 0; i < result.vqs.size(); ++i) {
        const VqRecord& r = result.vqs[i];
        QJsonArray steps;
        for (const auto& [name, ms] : r.stepMs) steps.append(QJsonObject{{"step", name}, {"ms", qint64(ms)}});
        QJsonObject o{{"vq", int(i) + 1},
                      {"sarvikId", r.sarvikId},
                      {"outcome", OutcomeName(r.outcome)},
                      {"steps", steps}};
        if (r.outcome == VqOutcome::Failed) {
            o.insert("failedStep", r.failedStep);
            o.insert("result", r.result);
            o.insert("message", r.message);
        }
        vqs.append(o);
    }
    const char* end = result.end == LoadRunEnd::Completed         ? "completed"
                      : result.end == LoadRunEnd::DevicesNotAdded ? "devices not added"
                                                                  : "cancelled";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(QJsonDocument(QJsonObject{{"run", end}, {"vqs", vqs}}).toJson());
    return f.error() == QFile::NoError;
}

}  // namespace

int RunLoad(const LoadArgs& args, const std::string& dataFolder) {
    CSetupContext context;
    // Ctrl-C is the Cancel button: noticed at every progress event and line.
    // It also stops an image on its way, even one that set out just after
    // the Ctrl-C, as a second press of Cancel would.
    auto poll = [&context] {
        if (InterruptRequested() && (!context.m_cancelRequested || context.m_appImageLoading))
            context.RequestCancel();
    };
    if (!OpenObjectServerFor(context, dataFolder, poll)) return kExitUsage;

    // The load options page's preparation.
    if (context.OpenNetworkDatabase(QString::fromLatin1(kTempDbName), 1) != kDbOk ||
        context.OpenSystem(args.interfaceName, 1) != kDbOk) {
        Complain(QStringLiteral("the temporary database could not be opened on the interface \"%1\"")
                     .arg(args.interfaceName));
        context.CloseAllDatabases();
        return kExitUsage;
    }
    if (context.AddDeviceTemplate(args.xif, 1) != kDbOk) {
        Complain(QStringLiteral("the device template could not be made from \"%1\"").arg(args.xif));
        context.CloseAllDatabases();
        return kExitUsage;
    }
    if (InterruptRequested()) {
        context.CloseAllDatabases();
        return kExitInterrupted;
    }

    QStringList sarvikIds = args.sarvikIds;
    if (args.discover) {
        sarvikIds = context.DiscoverUnconfiguredDevices();
        if (sarvikIds.isEmpty()) {
            Complain(QStringLiteral("no unconfigured VQ was found on the interface \"%1\"")
                         .arg(args.interfaceName));
            context.CloseAllDatabases();
            return kExitUsage;
        }
        // Said on stderr: stdout holds only what the load page's log shows.
        for (const QString& id : sarvikIds)
            std::fprintf(stderr, "Discovered VQ: %s\n", id.toUtf8().constData());
    }

    LoadRequest request;
    request.mainOption = args.option;
    request.sarvikIds = sarvikIds;
    request.vqCount = int(sarvikIds.size());
    request.loadImage = !args.image.isEmpty();
    request.imagePath = args.image;
    request.databasePath = args.database;
    request.eventListPath = args.eventList;
    request.interpretedProgram = !args.program.isEmpty();
    request.programPath = args.program;

    StreamLogView view(stdout);
    view.onLine = poll;
    CLog log(&view);
    LoadRunHooks hooks;
    hooks.cancelled = [&context] { return context.m_cancelRequested || InterruptRequested(); };
    const LoadRunResult result = LoadRun(context, request, log, hooks);
    std::fflush(stdout);
    context.CloseAllDatabases();

    if (!args.json.isEmpty() && !WriteJson(args.json, result))
        Complain(QStringLiteral("the report could not be written to \"%1\"").arg(args.json));

    switch (result.end) {
        case LoadRunEnd::Cancelled:
            return kExitInterrupted;
        case LoadRunEnd::DevicesNotAdded:
            return InterruptRequested() ? kExitInterrupted : kExitUsage;
        case LoadRunEnd::Completed:
            break;
    }
    return result.outcomes.contains(0) ? kExitFailed : kExitOk;
}
