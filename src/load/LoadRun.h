// One load run over the batch, without widgets: the temporary devices, the
// per-VQ steps in order, the outcome list and the summary lines. The load
// page and `vqtool load` both run it; they differ in the hooks and in what
// they show afterwards.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>
#include <vector>

class CSetupContext;
class CLog;

struct LoadRequest {
    int mainOption = 0;     // 2: the application image only
    QStringList sarvikIds;  // the batch list, in order
    int vqCount = 0;        // VQs to load (the batch list's count)
    bool loadImage = false;
    QString imagePath;
    QString databasePath;  // the compressed database
    QString eventListPath;
    bool interpretedProgram = false;  // "-i": send the compiled program instead of the default one
    QString programPath;              // the compiled program (.x)
};

enum class VqOutcome {
    Loaded,
    Failed,
    Stopped,  // the run was cancelled between two of its steps
    NotReached,
};

// What one VQ went through, for reports.
struct VqRecord {
    QString sarvikId;
    VqOutcome outcome = VqOutcome::NotReached;
    QString failedStep;  // the step that failed, by its operation name
    QString message;     // its error line (empty when it wrote none, "Cancelled" for a cancel)
    int result = 0;      // the failed step's result
    std::vector<std::pair<QString, std::int64_t>> stepMs;  // each step run, with its time
};

enum class LoadRunEnd {
    Completed,        // every VQ was tried; the outcome list says which failed
    DevicesNotAdded,  // the temporary devices could not be added; no VQ was tried
    Cancelled,        // the user cancelled between steps
};

struct LoadRunResult {
    LoadRunEnd end = LoadRunEnd::Completed;
    QVector<std::int32_t> outcomes;  // per VQ: 1 no step failed, 0 a step failed or was cancelled
    std::vector<VqRecord> vqs;
    bool cancelledAtEnd = false;  // the cancel came during the last VQ: no summary
};

// What the front end does around the run: clear the Cancel dialog's own
// flag, show and take down the Cancel dialog, and say whether it was
// cancelled. Without hooks the context's cancel flag is the only one.
struct LoadRunHooks {
    std::function<void()> clearCancel;
    std::function<void()> runStarting;
    std::function<void()> runEnded;
    std::function<bool()> cancelled;
};

LoadRunResult LoadRun(CSetupContext& context, const LoadRequest& request, CLog& log,
                      const LoadRunHooks& hooks = {});

// The summary that ends a run that was not cancelled.
QStringList LoadSummaryLines(const QVector<std::int32_t>& outcomes);
