// The load run on vqsim: a batch of VQs through every step, timed.
//
//   bench_load [--batch 50] [--slow-batch 5] [--rate 78125]
//
// (a) --batch VQs at unlimited rate, each with a 64 KiB image, a 17-record
//     event list, a 1 KiB program and the compressed "Boiler House" of the
//     demo site. The run's fixed waits are recorded, not slept, so the time
//     measured is the program's own plus the daemon's, per VQ.
// (b) --slow-batch VQs at --rate bit/s with the same files and the fixed
//     waits slept: the run's time against the wire-time bound (every data
//     byte with its framing, as vqfield::WireTime counts it) plus the waits.
//     Operations without data (binding, commissioning, states, opening and
//     closing transfers) cost one frame each and are left out of the bound.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "compress/CompressRules.h"
#include "context/SetupContext.h"
#include "load/LoadRun.h"
#include "log/Log.h"
#include "qpicg/compiler.h"
#include "qpicg/qpx.h"
#include "util/Prompter.h"
#include "util/Wait.h"
#include "vqfield/apb.h"
#include "vqfield/client.h"
#include "vqfield/daemon.h"

namespace {

class NullView : public ILogView {
public:
    void Clear() override {}
    void AppendAtEnd(const QString&) override {}
    void Repaint() override {}
};

// Sleeps the waits and adds them up.
class SummingWaiter : public IWaiter {
public:
    explicit SummingWaiter(bool sleep) : m_sleep(sleep) {}
    void Wait(int ms) override {
        total += ms;
        if (m_sleep) PumpFor(ms);
    }
    long long total = 0;

private:
    static void PumpFor(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, ms - int(t.elapsed()));
    }
    bool m_sleep;
};

bool WriteFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

std::vector<std::uint8_t> ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return std::vector<std::uint8_t>(b.begin(), b.end());
}

// The demo site's "Boiler House", compressed by the wizard's walk.
bool CompressDemo(const QString& root, const QString& output) {
    const QString site = QStringLiteral(VQ_SOURCE_DIR "/demo/sites/demo-plant.json");
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OVX_HOME", root + "/ovx");
    import.setProcessEnvironment(env);
    import.start(QCoreApplication::applicationDirPath() + "/ovxctl",
                 {"import", site, "--folder", root + "/db/demo"});
    if (!import.waitForFinished(120000) || import.exitCode() != 0) {
        std::fprintf(stderr, "ovxctl import failed: %s\n", import.readAllStandardError().constData());
        return false;
    }
    CSetupContext context;
    context.OpenObjectServer((root + "/ovx").toStdString());
    if (context.OpenNetworkDatabase("Demo Plant", 0) != kDbOk || context.OpenSystem(QString(), 0) != kDbOk)
        return false;
    const int rc = context.m_walk.CompressDatabase(context.m_compressSystem, output, {"Plant.Boiler House"},
                                                   kCompressFlags, nullptr, 1, 0);
    context.CloseAllDatabases();
    return rc == 0;
}

struct Files {
    QString xif, image, eventList, program, database;
    std::size_t imageBytes = 0, eventListBytes = 0, programBytes = 0, databaseBytes = 0;
};

// Data bytes of one VQ on the wire at rate, with framing: the image in one
// request, the event list and the program in one write each, the database in
// the library's 1024-byte pieces.
double WireSecondsPerVq(const Files& f, std::uint64_t rate) {
    auto s = [rate](std::size_t n) {
        return std::chrono::duration<double>(vqfield::WireTime(n, rate)).count();
    };
    double t = s(f.imageBytes) + s(f.eventListBytes) + s(f.programBytes);
    for (std::size_t at = 0; at < f.databaseBytes; at += 1024)
        t += s(std::min<std::size_t>(1024, f.databaseBytes - at));
    return t;
}

struct RunFigures {
    double seconds = 0;
    long long waitsMs = 0;
    int failed = 0;
};

RunFigures RunBatch(const QString& root, const std::string& endpoint, const Files& files,
                    const QStringList& ids, bool sleepWaits) {
    QFile list(root + "/ovx/interfaces.json");
    list.open(QIODevice::WriteOnly | QIODevice::Truncate);
    list.write(QStringLiteral(R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": "%1"}]})")
                   .arg(QString::fromStdString(endpoint))
                   .toUtf8());
    list.close();
    RunFigures out;
    SummingWaiter waiter(sleepWaits);
    SetWaiter(&waiter);
    CSetupContext context;
    context.OpenObjectServer((root + "/ovx").toStdString());
    if (context.OpenNetworkDatabase(kTempDbName, 1) != kDbOk || context.OpenSystem("VQNET1", 1) != kDbOk ||
        context.AddDeviceTemplate(files.xif, 1) != kDbOk) {
        std::fprintf(stderr, "the load side could not be prepared\n");
        out.failed = ids.size();
        return out;
    }
    LoadRequest request;
    request.mainOption = 1;
    request.sarvikIds = ids;
    request.vqCount = int(ids.size());
    request.loadImage = true;
    request.imagePath = files.image;
    request.databasePath = files.database;
    request.eventListPath = files.eventList;
    request.interpretedProgram = true;
    request.programPath = files.program;
    NullView view;
    CLog log(&view);
    QElapsedTimer timer;
    timer.start();
    const LoadRunResult result = LoadRun(context, request, log);
    out.seconds = timer.nsecsElapsed() / 1e9;
    out.waitsMs = waiter.total;
    out.failed = int(result.outcomes.count(0));
    context.CloseAllDatabases();
    SetWaiter(nullptr);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int batch = 50, slowBatch = 5;
    std::uint64_t rate = 78125;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--batch") batch = args[i + 1].toInt();
        if (args[i] == "--slow-batch") slowBatch = args[i + 1].toInt();
        if (args[i] == "--rate") rate = args[i + 1].toULongLong();
    }
    ScriptedPrompter prompter;
    SetPrompter(&prompter);
    QTemporaryDir temp;
    const QString root = temp.path();
    QDir().mkpath(root + "/ovx");
    QDir().mkpath(root + "/tmp");
    qputenv("TMPDIR", (root + "/tmp").toUtf8());

    Files files;
    const QString demo = QStringLiteral(VQ_SOURCE_DIR "/demo/Import/Quillane/vq/Version 1.0/");
    files.xif = root + "/vq70.xif";
    QFile::copy(demo + "vq70.xif", files.xif);
    QFile::copy(demo + "vq70.xfb", root + "/vq70.xfb");
    const auto image = vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(64 * 1024 - 32, 3));
    files.image = root + "/app.apb";
    WriteFile(files.image, image);
    files.imageBytes = image.size();
    std::vector<std::uint8_t> events(17 * 34);
    for (std::size_t k = 0; k < events.size(); ++k) events[k] = std::uint8_t(k * 5 + 1);
    files.eventList = root + "/events.etl";
    WriteFile(files.eventList, events);
    files.eventListBytes = events.size();
    // A program of about 1 KiB: the demo type file's counters, one handler
    // per event code, compiled as the application image page would.
    qpicg::TypeSet types;
    qpicg::Diagnostic typeError;
    if (!qpicg::LoadTypeFolder(VQ_SOURCE_DIR "/demo/types", &types, &typeError)) {
        std::fprintf(stderr, "the demo type files could not be read: %s\n", typeError.Text().c_str());
        return 1;
    }
    std::vector<std::uint8_t> program;
    std::string source = "var found = 0;\n";
    for (int code = 1; program.size() < 1024; ++code) {
        source += "when event " + std::to_string(code) + " { found += " + std::to_string(code) +
                  "; outLoadState = found; }\n";
        const qpicg::CompileResult r = qpicg::Compile(source, "bench.qpl", types);
        if (!r.ok) {
            std::fprintf(stderr, "the bench program does not compile: %s\n", r.error.Text().c_str());
            return 1;
        }
        program = qpx::Encode(r.program);
    }
    const std::string hexText = qpx::ToHex(program);
    files.program = root + "/program.x";
    WriteFile(files.program, std::vector<std::uint8_t>(hexText.begin(), hexText.end()));
    files.programBytes = program.size() + 1;
    files.database = root + "/demo.q70";
    if (!CompressDemo(root, files.database)) {
        std::fprintf(stderr, "the demo site could not be compressed\n");
        return 1;
    }
    files.databaseBytes = ReadFile(files.database).size();
    std::printf("per VQ: image %zu B, event list %zu B, program %zu B, database %zu B\n", files.imageBytes,
                files.eventListBytes, files.programBytes, files.databaseBytes);

    try {
        vqfield::DaemonProcess daemon((QCoreApplication::applicationDirPath() + "/vqsim").toStdString(), 0);
        vqfield::Client client(vqfield::Connect(daemon.endpoint()));
        QStringList ids;
        for (int k = 0; k < std::max(batch, slowBatch); ++k)
            ids << QString::fromStdString(client.AddUnit(vqfield::kVq70ProgramId));

        client.SetRate(1, 0);
        const RunFigures a = RunBatch(root, daemon.endpoint(), files, ids.mid(0, batch), false);
        const double ownMs = a.seconds * 1000.0 / batch;
        std::printf(
            "(a) %d VQs, unlimited rate: %.3f s without the fixed waits (%lld ms recorded, not slept), "
            "%.2f ms per VQ, ratio to 30 ms: %.3f, failed VQs: %d\n",
            batch, a.seconds, a.waitsMs, ownMs, ownMs / 30.0, a.failed);

        client.SetRate(1, rate);
        const RunFigures b = RunBatch(root, daemon.endpoint(), files, ids.mid(0, slowBatch), true);
        const double bound = WireSecondsPerVq(files, rate) * slowBatch + b.waitsMs / 1000.0;
        std::printf(
            "(b) %d VQs at %llu bit/s: %.3f s; bound %.3f s (data %.3f s + waits %.3f s); ratio %.4f, "
            "failed VQs: %d\n",
            slowBatch, static_cast<unsigned long long>(rate), b.seconds, bound, bound - b.waitsMs / 1000.0,
            b.waitsMs / 1000.0, b.seconds / bound, b.failed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vqsim: %s\n", e.what());
        return 1;
    }
    SetPrompter(nullptr);
    return 0;
}
