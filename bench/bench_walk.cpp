// Walk and compression of generated sites: 16 hierarchies, each with its VQ,
// near-channel devices, one router and far-channel devices spread over child
// subsystems. Prints the time of CompressDatabase per site size, the growth
// from the smallest to the largest site, the process's peak memory and the
// size of the compressed file, with what xz -9e makes of the same file in
// its uncompressed form (header included) when xz is installed.
//
//   bench_walk [--sizes 5000,10000,20000] [--repeat 3] [--keep DIR]
//
// Sites are imported with ovxctl (from this program's folder) before timing.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "XzSize.h"
#include "compress/CompressRules.h"
#include "context/SetupContext.h"
#include "log/Log.h"

using nlohmann::json;

namespace {

constexpr int kHierarchies = 16;
constexpr int kChildrenPerHierarchy = 4;

std::string Location(int i) {
    static const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    do {
        s.insert(s.begin(), digits[i % 36]);
        i /= 36;
    } while (i);
    return s;
}

json Site(const std::string& network, int devices) {
    const json nvs = json::array({
        {{"name", "inRequest"}, {"type", "obj_request"}, {"node_object", true}},
        {{"name", "outStatus"}, {"type", "obj_status"}, {"node_object", true}},
        {{"name", "outValue"}, {"type", "count"}},
    });
    const json cps = json::array({{{"name", "cpMaxSendTime"}, {"default", 60}}});
    json site = {
        {"network", network},
        {"templates",
         json::array({{{"name", "VQ"}, {"program_id", "900001013C8A0400"}, {"nvs", nvs}, {"cps", cps}},
                      {{"name", "Io"}, {"program_id", "9000010A01020304"}, {"nvs", nvs}, {"cps", cps}}})}};
    json channels = json::array();
    json roots = json::array();
    const int perHierarchy = devices / kHierarchies;  // the VQ included
    int serial = 0;
    for (int h = 0; h < kHierarchies; ++h) {
        const int nearCh = 2 * h + 1, farCh = 2 * h + 2;
        channels.push_back({{"id", nearCh}, {"name", "Near " + std::to_string(h + 1)}});
        channels.push_back({{"id", farCh}, {"name", "Far " + std::to_string(h + 1)}});
        std::string hname = "H";
        hname += std::to_string(h + 1);
        json root = {
            {"name", hname},
            {"devices",
             json::array(
                 {{{"name", hname + "-VQ"}, {"template", "VQ"}, {"channel", nearCh}, {"location", "VQ"}}})},
            {"routers", json::array({{{"name", hname + "-R"}, {"near", nearCh}, {"far", farCh}}})},
            {"subsystems", json::array()}};
        std::vector<json> children(kChildrenPerHierarchy);
        for (int c = 0; c < kChildrenPerHierarchy; ++c)
            children[c] = {{"name", "Cell" + std::to_string(c + 1)},
                           {"devices", json::array()},
                           {"routers", json::array()},
                           {"subsystems", json::array()}};
        for (int d = 1; d < perHierarchy; ++d) {
            const bool near = d % 2 == 0;
            json device = {{"name", hname + "-D" + std::to_string(d)},
                           {"template", "Io"},
                           {"channel", near ? nearCh : farCh},
                           {"location", Location(serial++)}};
            // A fifth of the devices sit in the hierarchy's root, the rest in its cells.
            if (d % 5 == 0)
                root["devices"].push_back(device);
            else
                children[d % kChildrenPerHierarchy]["devices"].push_back(device);
        }
        for (auto& child : children) root["subsystems"].push_back(child);
        roots.push_back(root);
    }
    site["channels"] = channels;
    site["subsystems"] = roots;
    return site;
}

// Takes every progress line as a box would, without drawing it.
class LineCounter : public ILogView {
public:
    void Clear() override {}
    void AppendAtEnd(const QString& text) override { chars += text.size(); }
    void Repaint() override {}
    qsizetype chars = 0;
};

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<int> sizes = {5000, 10000, 20000};
    int repeat = 3;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(',')) sizes.push_back(s.toInt());
        } else if (args[i] == "--repeat") {
            repeat = std::max(1, args[i + 1].toInt());
        } else if (args[i] == "--keep") {
            keep = args[i + 1];
        }
    }

    QTemporaryDir temp;
    const QString root = keep.isEmpty() ? temp.path() : keep;
    const QString dataFolder = root + "/ovx";
    QDir().mkpath(dataFolder);
    qputenv("OVX_HOME", dataFolder.toUtf8());
    const QString ovxctl = QCoreApplication::applicationDirPath() + "/ovxctl";

    std::printf("%8s %10s %10s %10s %12s %12s %12s\n", "devices", "best ms", "median ms", "import s",
                "peak MiB", "q70 bytes", "xz -9e bytes");
    double firstBest = 0, lastBest = 0;
    for (int size : sizes) {
        const std::string network = "Bench" + std::to_string(size);
        const QString sitePath = root + "/" + QString::fromStdString(network) + ".json";
        QFile site(sitePath);
        site.open(QIODevice::WriteOnly);
        site.write(QByteArray::fromStdString(Site(network, size).dump()));
        site.close();
        QElapsedTimer importTimer;
        importTimer.start();
        QProcess import;
        import.start(ovxctl, {"import", sitePath});
        if (!import.waitForFinished(600000) || import.exitCode() != 0) {
            std::fprintf(stderr, "import of %s failed: %s\n", qPrintable(sitePath),
                         import.readAllStandardError().constData());
            return 1;
        }
        const double importSeconds = importTimer.elapsed() / 1000.0;

        QStringList paths;
        for (int h = 0; h < kHierarchies; ++h) paths << QString("H%1").arg(h + 1);
        const QString output = root + "/" + QString::fromStdString(network) + ".q70";

        // Opened as the database page leaves it: network open, system open off-net.
        ovx::ServerOptions options;
        options.dataFolder = dataFolder.toStdString();
        auto server = ovx::CreateObjectServer(options);
        server->SetAutoOpenLastNetwork(false);
        server->SetShowServerDialogs(false);
        server->Open();
        CSetupContext context;
        g_pContext = &context;
        context.m_compressNetwork = server->GetNetworks()->Item(network);
        context.m_compressNetwork->Open();
        context.m_compressSystem = context.m_compressNetwork->GetSystems()->Item(1);
        context.m_compressSystem->SetOpenMode(2);
        context.m_compressSystem->Open();
        context.m_compressSystem->SetOffNet(1);
        std::vector<double> times;
        LineCounter view;  // stands for the progress box
        CLog log(&view);
        for (int r = 0; r < repeat; ++r) {
            QElapsedTimer timer;
            timer.start();
            const int result = context.m_walk.CompressDatabase(context.m_compressSystem, output, paths,
                                                               kCompressFlags, &log, 1, 0);
            times.push_back(timer.nsecsElapsed() / 1e6);
            if (result != 0) {
                std::fprintf(stderr, "compression of %s failed (%d)\n", network.c_str(), result);
                return 1;
            }
        }
        context.m_compressSystem->Close();
        context.m_compressNetwork->Close();
        g_pContext = nullptr;
        std::sort(times.begin(), times.end());
        const double best = times.front();
        if (firstBest == 0) firstBest = best;
        lastBest = best;
        const double peakMiB = PeakRssKiB() / 1024.0;
        QFile written(output);
        written.open(QIODevice::ReadOnly);
        const QByteArray bytes = written.readAll();
        const double xz =
            benchq70::XzSize(benchq70::StoredForm(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
        std::printf("%8d %10.1f %10.1f %10.2f %12.1f %12lld %12.0f\n", size, best, times[times.size() / 2],
                    importSeconds, peakMiB, static_cast<long long>(bytes.size()), xz);
        std::fflush(stdout);
    }
    if (sizes.size() > 1)
        std::printf("growth %d -> %d devices: %.2fx (linear: %.2fx)\n", sizes.front(), sizes.back(),
                    lastBest / firstBest, double(sizes.back()) / sizes.front());
    return 0;
}
