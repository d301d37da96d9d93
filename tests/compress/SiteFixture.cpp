#include "SiteFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

using nlohmann::json;

void RecordingLogView::AppendAtEnd(const QString& text) {
    m_text += text;
    if (onText) onText(text);
}

QStringList RecordingLogView::Lines() const {
    QStringList lines = m_text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QStringList SplitLines(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) out << line.split(QStringLiteral("\r\n"));
    return out;
}

QString BinPath(const QString& program) {
    // The programs are built into the same folder as this test.
    QString dir = QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR"));
    if (dir.isEmpty()) dir = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    return dir + QLatin1Char('/') + program;
}

namespace {

const char* const kVqProgramId = "900001013C8A0400";
const char* const kIoProgramId = "9000010A01020304";

json Templates() {
    const json nvs = json::array({
        {{"name", "inRequest"}, {"type", "obj_request"}, {"node_object", true}},
        {{"name", "outStatus"}, {"type", "obj_status"}, {"node_object", true}},
        {{"name", "outValue"}, {"type", "count"}},
    });
    const json cps = json::array({{{"name", "cpMaxSendTime"}, {"default", 60}}});
    return json::array({
        {{"name", "VQ"}, {"program_id", kVqProgramId}, {"nvs", nvs}, {"cps", cps}},
        {{"name", "Io"}, {"program_id", kIoProgramId}, {"nvs", nvs}, {"cps", cps}},
    });
}

QStringList Words(const QString& item) {
    return item.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// "NAME@CH" -> name, channel
std::pair<std::string, int> NameAt(const QString& word) {
    const qsizetype at = word.lastIndexOf(QLatin1Char('@'));
    if (at <= 0) throw std::invalid_argument("expected NAME@CH: " + word.toStdString());
    return {word.left(at).toStdString(), word.mid(at + 1).toInt()};
}

}  // namespace

std::string SiteFixture::ToSiteJson(const std::string& siteText) {
    json site = {{"network", "Plant"}, {"templates", Templates()}};
    std::set<int> channels;
    std::set<std::string> seen;
    json roots = json::array();
    struct Node {
        std::string name;
        json devices = json::array();
        json routers = json::array();
        std::vector<std::string> children;
    };
    std::map<std::string, Node> tree;
    std::vector<std::string> rootOrder;
    auto ensure = [&](const std::string& path) {
        if (tree.count(path)) return;
        const auto dot = path.rfind('.');
        Node node;
        node.name = dot == std::string::npos ? path : path.substr(dot + 1);
        tree[path] = node;
        if (dot == std::string::npos) {
            rootOrder.push_back(path);
        } else {
            const std::string parent = path.substr(0, dot);
            if (!tree.count(parent)) throw std::invalid_argument("parent not declared first: " + path);
            tree[parent].children.push_back(path);
        }
    };

    for (const QString& raw : QString::fromStdString(siteText).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const std::string path = line.left(colon).trimmed().toStdString();
        ensure(path);
        Node& node = tree[path];
        for (const QString& item : line.mid(colon + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList w = Words(item);
            if (w.isEmpty()) continue;
            const QString kind = w[0];
            if (kind == QLatin1String("router")) {
                const std::string name = w.value(1).toStdString();
                const QStringList ends = w.value(2).split(QLatin1Char('>'));
                json router = {{"name", name}};
                if (!seen.count("router:" + name)) {
                    router["near"] = ends.value(0).toInt();
                    router["far"] = ends.value(1).toInt();
                    channels.insert(ends.value(0).toInt());
                    channels.insert(ends.value(1).toInt());
                    seen.insert("router:" + name);
                }
                node.routers.push_back(router);
                continue;
            }
            const auto [name, channel] = NameAt(w.value(1));
            channels.insert(channel);
            if (kind == QLatin1String("host")) {
                site["host"] = {{"name", name}, {"channel", channel}, {"subsystem", path}};
                continue;
            }
            json device = {{"name", name}};
            if (!seen.count("dev:" + name)) {
                seen.insert("dev:" + name);
                device["template"] = kind == QLatin1String("vq") ? "VQ" : "Io";
                device["channel"] = channel;
                // Devices share one program ID, so each gets its own location
                // unless the case says otherwise.
                device["location"] = name.substr(0, 6);
                for (const QString& opt : w.mid(2)) {
                    if (opt.startsWith(QLatin1String("loc="))) device["location"] = opt.mid(4).toStdString();
                    if (opt.startsWith(QLatin1String("home="))) device["home"] = opt.mid(5).toStdString();
                }
            }
            node.devices.push_back(device);
        }
    }

    std::function<json(const std::string&)> render = [&](const std::string& path) {
        const Node& node = tree.at(path);
        json out = {{"name", node.name}, {"devices", node.devices}, {"routers", node.routers}};
        json children = json::array();
        for (const std::string& child : node.children) children.push_back(render(child));
        out["subsystems"] = children;
        return out;
    };
    for (const std::string& root : rootOrder) roots.push_back(render(root));
    site["subsystems"] = roots;
    json chans = json::array();
    for (int id : channels) chans.push_back({{"id", id}, {"name", "Channel " + std::to_string(id)}});
    site["channels"] = chans;
    return site.dump(2);
}

SiteFixture::SiteFixture(const std::string& siteText) {
    QDir().mkpath(DataFolder());
    QDir().mkpath(m_dir.path() + "/out");
    const QString sitePath = m_dir.path() + "/site.json";
    QFile file(sitePath);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray::fromStdString(ToSiteJson(siteText)));
    file.close();
    QString out, err;
    const int rc = RunTool("ovxctl", {"import", sitePath}, &out, &err);
    m_imported = rc == 0;
    m_importError = out + err;
}

SiteFixture::~SiteFixture() {
    CloseDatabase();
    if (g_pContext == m_context.get()) g_pContext = nullptr;
}

int SiteFixture::Compress(const QStringList& paths) {
    OpenDatabase();
    m_view.Clear();
    m_log = std::make_unique<CLog>(&m_view);
    return m_context->m_walk.CompressDatabase(m_context->m_compressSystem, OutputPath(), paths,
                                              kCompressFlags, m_log.get(), 1, 0);
}

void SiteFixture::OpenDatabase() {
    CloseDatabase();
    m_context = std::make_unique<CSetupContext>();
    g_pContext = m_context.get();
    // The database is opened straight through the object server, as the
    // database page leaves it: network open, its first system open off-net.
    ovx::ServerOptions options;
    options.dataFolder = DataFolder().toStdString();
    m_server = ovx::CreateObjectServer(options);
    m_server->SetAutoOpenLastNetwork(false);
    m_server->SetShowServerDialogs(false);
    m_server->Open();
    m_context->m_compressNetwork = m_server->GetNetworks()->Item(std::string("Plant"));
    m_context->m_compressNetwork->Open();
    m_context->m_compressSystem = m_context->m_compressNetwork->GetSystems()->Item(1);
    m_context->m_compressSystem->SetOpenMode(2);
    m_context->m_compressSystem->Open();
    m_context->m_compressSystem->SetOffNet(1);
    m_view.Clear();
}

void SiteFixture::CloseDatabase() {
    if (!m_context) return;
    if (m_context->m_compressSystem && m_context->m_compressSystem->IsOpen())
        m_context->m_compressSystem->Close();
    if (m_context->m_compressNetwork && m_context->m_compressNetwork->IsOpen())
        m_context->m_compressNetwork->Close();
}

QStringList SiteFixture::ListedObjects() const {
    QFile file(OutputPath() + ".lst");
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QRegularExpression("\r?\n"));
    lines.removeAll(QString());
    return lines;
}

QProcessEnvironment SiteFixture::ToolEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OVX_HOME", DataFolder());
    env.remove("TESSARIN_PATH");
    // Profile values stay inside the test folder.
    env.insert("XDG_CONFIG_HOME", m_dir.path() + "/config");
    return env;
}

int SiteFixture::RunTool(const QString& program, const QStringList& args, QString* out, QString* err,
                         const QStringList& extraEnv) const {
    QProcess process;
    QProcessEnvironment env = ToolEnvironment();
    for (const QString& pair : extraEnv) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    process.setProcessEnvironment(env);
    process.start(BinPath(program), args);
    if (!process.waitForFinished(120000)) return -1;
    if (out) *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
