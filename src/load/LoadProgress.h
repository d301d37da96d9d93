// Follows a load run from outside, without widgets, for the load page's
// table of VQs: which VQ is being loaded, which of its steps runs, and how it
// ended. The run has no per-step callback of its own; the tracker reads what
// the run does anyway: the line "Setting sarvik id of the VQs..." that starts
// each VQ, the cancel check between two steps, the error line that a failing
// step leaves in the context, and the run's result at the end (which settles
// every row). It also counts the lines of the progress box, so that the
// lines of each VQ can be found again.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "load/LoadRun.h"

enum class VqState { Waiting, Running, Loaded, Failed, Stopped, NotReached };

struct VqProgress {
    QString sarvikId;
    VqState state = VqState::Waiting;
    int step = -1;       // index into the run's step list while it runs
    QString failedStep;  // operation name of the failing step
    QString message;     // its error line
    int firstLine = -1;  // the VQ's lines in the progress box, by line index
    int endLine = -1;    // one past its last line
};

class CLoadProgress {
public:
    // errorLine gives the error line of the step that ended last (the
    // context's m_lastLoadError); may be empty.
    explicit CLoadProgress(std::function<QString()> errorLine = {});

    // A new run: one waiting row per VQ of the request, no line counted yet.
    void Start(const LoadRequest& request);
    // Every line the run shows, without its line end, in order.
    void OnLine(const QString& line);
    // The run checked for a cancel between two steps (or after the last VQ).
    void OnCancelCheck(bool cancelled);
    // The run has gone through its VQs; the lines that follow are its summary.
    void OnRunEnded();
    // The run's result: every row takes its final outcome.
    void Finish(const LoadRunResult& result);

    const std::vector<VqProgress>& Rows() const { return m_rows; }
    int LinesShown() const { return m_lines; }
    // The steps each VQ goes through in this run, by operation name.
    const QStringList& Steps() const { return m_steps; }
    // The step's name as the table shows it.
    static QString StepTitle(const QString& operation);
    // The outcome as the table shows it.
    static QString OutcomeText(const VqProgress& row);

    // Called with a row's index whenever that row changes.
    std::function<void(int)> changed;

private:
    void Close(bool failedWithoutLine);
    void Notify(int row);

    std::function<QString()> m_errorLine;
    std::vector<VqProgress> m_rows;
    QStringList m_steps;
    int m_current = -1;  // the VQ whose lines are being shown, -1 before the first
    int m_lines = 0;
};
