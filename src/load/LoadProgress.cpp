#include "load/LoadProgress.h"

#include "context/PageFlow.h"

namespace {

const char* const kVqStartLine = "Setting sarvik id of the VQs...";

}  // namespace

CLoadProgress::CLoadProgress(std::function<QString()> errorLine) : m_errorLine(std::move(errorLine)) {}

void CLoadProgress::Start(const LoadRequest& request) {
    m_steps = {QStringLiteral("SetSarvikId")};
    if (request.loadImage) m_steps << QStringLiteral("LoadApplicationImage");
    if (request.mainOption != kOptionLoadApplicationOnly)
        m_steps << QStringLiteral("CommissionDevice") << QStringLiteral("LoadDeviceContents");
    m_rows.assign(std::size_t(std::max(request.vqCount, 0)), VqProgress{});
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (qsizetype(i) < request.sarvikIds.size()) m_rows[i].sarvikId = request.sarvikIds[qsizetype(i)];
    m_current = -1;
    m_lines = 0;
    for (int i = 0; i < int(m_rows.size()); ++i) Notify(i);
}

void CLoadProgress::OnLine(const QString& line) {
    if (line == QLatin1String(kVqStartLine) && m_current + 1 < int(m_rows.size())) {
        // A VQ still running when the next one starts failed without a line
        // of its own: every step that succeeds is followed by a cancel check.
        Close(true);
        ++m_current;
        VqProgress& row = m_rows[std::size_t(m_current)];
        row.state = VqState::Running;
        row.step = 0;
        row.firstLine = m_lines;
        Notify(m_current);
    }
    ++m_lines;
}

void CLoadProgress::OnCancelCheck(bool cancelled) {
    if (m_current < 0 || m_current >= int(m_rows.size())) return;
    VqProgress& row = m_rows[std::size_t(m_current)];
    if (row.state == VqState::Running) {
        const QString error = m_errorLine ? m_errorLine() : QString();
        if (!error.isEmpty()) {
            row.state = VqState::Failed;
            row.failedStep = m_steps.value(row.step);
            row.message = error;
        } else if (row.step + 1 < m_steps.size()) {
            ++row.step;
        } else {
            row.state = VqState::Loaded;
        }
        if (cancelled && row.state == VqState::Running) row.state = VqState::Stopped;
        Notify(m_current);
    }
    if (cancelled && row.endLine < 0) row.endLine = m_lines;
}

void CLoadProgress::OnRunEnded() {
    if (m_current >= 0 && m_current < int(m_rows.size())) {
        VqProgress& row = m_rows[std::size_t(m_current)];
        if (row.endLine < 0) row.endLine = m_lines;
    }
}

void CLoadProgress::Close(bool failedWithoutLine) {
    if (m_current < 0) return;
    VqProgress& row = m_rows[std::size_t(m_current)];
    if (row.endLine < 0) row.endLine = m_lines;
    if (failedWithoutLine && row.state == VqState::Running) {
        row.state = VqState::Failed;
        row.failedStep = m_steps.value(row.step);
        Notify(m_current);
    }
}

void CLoadProgress::Finish(const LoadRunResult& result) {
    for (std::size_t i = 0; i < m_rows.size() && i < result.vqs.size(); ++i) {
        VqProgress& row = m_rows[i];
        const VqRecord& record = result.vqs[i];
        switch (record.outcome) {
            case VqOutcome::Loaded:
                row.state = VqState::Loaded;
                break;
            case VqOutcome::Failed:
                row.state = VqState::Failed;
                row.failedStep = record.failedStep;
                row.message = record.message;
                break;
            case VqOutcome::Stopped:
                row.state = VqState::Stopped;
                break;
            case VqOutcome::NotReached:
                row.state = VqState::NotReached;
                break;
        }
        if (row.state != VqState::Failed) {
            row.failedStep.clear();
            row.message.clear();
        }
        Notify(int(i));
    }
}

void CLoadProgress::Notify(int row) {
    if (changed) changed(row);
}

QString CLoadProgress::StepTitle(const QString& operation) {
    if (operation == QLatin1String("SetSarvikId")) return QStringLiteral("Setting Sarvik ID");
    if (operation == QLatin1String("LoadApplicationImage"))
        return QStringLiteral("Loading application image");
    if (operation == QLatin1String("CommissionDevice")) return QStringLiteral("Commissioning");
    if (operation == QLatin1String("LoadDeviceContents")) return QStringLiteral("Loading contents");
    return operation;
}

QString CLoadProgress::OutcomeText(const VqProgress& row) {
    switch (row.state) {
        case VqState::Waiting:
            return QStringLiteral("Waiting");
        case VqState::Running:
            return QStringLiteral("Running");
        case VqState::Loaded:
            return QStringLiteral("Loaded");
        case VqState::Stopped:
            return QStringLiteral("Cancelled");
        case VqState::NotReached:
            return QStringLiteral("Not reached");
        case VqState::Failed:
            break;
    }
    QString text = QStringLiteral("FAILED at ") + StepTitle(row.failedStep).toLower();
    QString message = row.message.trimmed();
    // The error line is "<what failed> because of the error below:" and the
    // object server's description; the description is the cause.
    const int cut = message.indexOf(QLatin1String("because of the error below:"));
    if (cut >= 0) message = message.mid(cut + 27).trimmed();
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    if (!message.isEmpty()) text += QStringLiteral(": ") + message;
    return text;
}
