#include "HeadlessIo.h"

#include "context/SetupContext.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

void Write(std::FILE* out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() {
    return g_interrupted != 0;
}
void ClearInterrupt() {
    g_interrupted = 0;
}

void StreamLogView::AppendAtEnd(const QString& text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Write(m_out, plain);
    std::fflush(m_out);  // a script reading a pipe sees each line as it comes
    if (onLine) onLine();
}

void StreamLogView::Repaint() {
    std::fflush(m_out);
}

MsgResult StderrPrompter::Show(const MessageBoxRequest& request) {
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Write(stderr, QStringLiteral("[%1] %2\n").arg(request.caption, text));
    std::fflush(stderr);
    return request.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void Complain(const QString& text) {
    std::fprintf(stderr, "vqtool: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

bool OpenObjectServerFor(CSetupContext& context, const std::string& dataFolder, std::function<void()> poll) {
    context.OpenObjectServer(dataFolder);
    if (!context.m_objectServer.IsOpen()) {
        Complain(QStringLiteral("the object server could not be opened"));
        return false;
    }
    context.m_objectServer.SetProgressHandler(std::move(poll));
    return true;
}
