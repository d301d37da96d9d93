#include "load/LoadRun.h"

#include <QElapsedTimer>

#include "context/PageFlow.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/WaitCursor.h"

QStringList LoadSummaryLines(const QVector<std::int32_t>& outcomes) {
    QStringList lines;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i] != 0) continue;
        if (lines.isEmpty()) {
            if (outcomes.size() == 1) {
                lines << QStringLiteral("FAILED to load into the VQ.");
                continue;
            }
            lines << QStringLiteral(
                "The following VQs failed. Press Wink Failed to find out which ones failed.");
        }
        lines << QStringLiteral("VQ #%1").arg(i + 1);
    }
    if (lines.isEmpty())
        lines << (outcomes.size() == 1 ? QStringLiteral("The VQ is loaded SUCCESSFULLY.")
                                       : QStringLiteral("All VQs are loaded SUCCESSFULLY."));
    return lines;
}

LoadRunResult LoadRun(CSetupContext& context, const LoadRequest& request, CLog& log,
                      const LoadRunHooks& hooks) {
    LoadRunResult result;
    const auto cancelled = [&] { return hooks.cancelled ? hooks.cancelled() : context.m_cancelRequested; };
    const auto ended = [&] {
        if (hooks.runEnded) hooks.runEnded();
    };

    log.Clear();
    context.m_cancelRequested = false;
    if (hooks.clearCancel) hooks.clearCancel();
    if (hooks.runStarting) hooks.runStarting();

    log.ShowStatus(QStringLiteral("Beginning Loading..."), false);
    LogSection(QStringLiteral("Begin Loading"));
    const bool appOnly = request.mainOption == kOptionLoadApplicationOnly;
    if (appOnly)
        log.AddLine(QStringLiteral("Load application image only..."));
    else if (!request.loadImage)
        log.AddLine(QStringLiteral("Load compressed database only..."));
    else
        log.AddLine(QStringLiteral("Load both application image and compressed database..."));

    const int count = std::max(request.vqCount, 0);
    result.outcomes.fill(1, count);
    result.vqs.resize(std::size_t(count));
    for (int i = 0; i < count; ++i)
        if (i < request.sarvikIds.size()) result.vqs[std::size_t(i)].sarvikId = request.sarvikIds[i];

    log.ShowStatus(QStringLiteral("Adding temporary VQ devices..."), true);
    int added = 0;
    {
        CWaitCursor wait;
        added = context.AddTemporaryDevices(count);
    }
    if (added != kLoadOk) {
        log.AddLine(QStringLiteral("Cannot proceed because failed to add temporary VQ devices."));
        LogSection(QStringLiteral("End Loading"));
        ended();
        result.end = LoadRunEnd::DevicesNotAdded;
        return result;
    }

    const auto cancelledEnd = [&] {
        log.AddLine(QStringLiteral("Loading Cancelled."));
        LogSection(QStringLiteral("End Loading"));
        ended();
        result.end = LoadRunEnd::Cancelled;
        return result;
    };

    for (int i = 0; i < count; ++i) {
        if (cancelled()) return cancelledEnd();
        VqRecord& record = result.vqs[std::size_t(i)];
        record.outcome = VqOutcome::Stopped;  // until it ends either way
        // Runs one step, times it, and marks the VQ failed on a non-zero result.
        const auto step = [&](const char* name, bool waitCursor, const std::function<int()>& run) {
            QElapsedTimer timer;
            timer.start();
            int rc = 0;
            if (waitCursor) {
                CWaitCursor wait;
                rc = run();
            } else {
                rc = run();
            }
            record.stepMs.emplace_back(QString::fromLatin1(name), timer.elapsed());
            if (rc == kLoadOk) return true;
            result.outcomes[i] = 0;
            record.outcome = VqOutcome::Failed;
            record.failedStep = QString::fromLatin1(name);
            record.result = rc;
            record.message = context.m_lastLoadError;
            if (record.message.isEmpty() && rc == kCancelled) record.message = QStringLiteral("Cancelled");
            return false;
        };

        log.ShowStatus(QStringLiteral("Setting sarvik id of the VQs..."), true);
        if (!step("SetSarvikId", true, [&] { return context.SetSarvikId(request.sarvikIds, i, &log); }))
            continue;
        if (cancelled()) return cancelledEnd();
        if (request.loadImage && !step("LoadApplicationImage", true, [&] {
                return context.LoadApplicationImage(request.imagePath, i, &log);
            }))
            continue;
        if (cancelled()) return cancelledEnd();
        if (!appOnly) {
            if (!step("CommissionDevice", true, [&] { return context.CommissionDevice(i, &log); })) continue;
            if (cancelled()) return cancelledEnd();
            if (!step("LoadDeviceContents", false, [&] {
                    return context.LoadDeviceContents(request.databasePath, request.eventListPath, i, &log,
                                                      request.interpretedProgram, request.programPath);
                }))
                continue;
        }
        record.outcome = VqOutcome::Loaded;
    }

    ended();
    if (cancelled()) {
        result.cancelledAtEnd = true;
        result.end = LoadRunEnd::Cancelled;
        log.AddLine(QStringLiteral("The loading has been cancelled."));
    } else {
        for (const QString& line : LoadSummaryLines(result.outcomes)) log.AddLine(line);
    }
    log.AddLine(QString());
    LogSection(QStringLiteral("End Loading"));
    return result;
}
