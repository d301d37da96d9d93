#include "LoadFixture.h"

#include <cctype>

#include <QDir>
#include <QFile>

#include "ns2vq/q70.h"
#include "qpicg/compiler.h"
#include "qpicg/qpx.h"
#include "vqfield/apb.h"

namespace loadtest {

Bytes ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

void WriteAll(const QString& path, const Bytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

void LinesView::AppendAtEnd(const QString& text) {
    if (text == QLatin1String("\r\n")) {
        const QString line = m_pending;
        m_pending.clear();
        lines << line;
        if (onLine) onLine(line);
        return;
    }
    m_pending += text;
}

void LoadTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    for (const char* sub : {"ovx", "tmp", "install/Vq", "files"}) QDir().mkpath(root + "/" + sub);
    oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", (root + "/tmp").toUtf8());
    qputenv("TESSARIN_PATH", (root + "/install").toUtf8());

    std::string endpoint;
    if (overDaemon) {
        daemon =
            std::make_unique<vqfield::DaemonProcess>(qgetenv("VQ_TEST_BIN_DIR").toStdString() + "/vqsim", 0);
        endpoint = daemon->endpoint();
        client = std::make_unique<vqfield::Client>(vqfield::Connect(endpoint));
    } else {
        field = std::make_shared<vqfield::Field>();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        fieldName = std::string("load-") + info->test_suite_name() + "-" + info->name();
        for (char& c : fieldName)
            if (c == '/') c = '_';
        vqfield::RegisterField(fieldName, field);
        client = std::make_unique<vqfield::Client>(vqfield::ConnectInProcess(field));
        endpoint = "field:" + fieldName;
    }
    client->SetAnswerTimeout(20);

    QFile interfaces(root + "/ovx/interfaces.json");
    ASSERT_TRUE(interfaces.open(QIODevice::WriteOnly));
    interfaces.write(QStringLiteral(R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": "%1"}]})")
                         .arg(QString::fromStdString(endpoint))
                         .toUtf8());
    interfaces.close();

    // The demo's VQ template, its .xfb beside it.
    const QString demo =
        QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + "/demo/Import/Quillane/vq/Version 1.0/";
    xifPath = root + "/files/vq70.xif";
    ASSERT_TRUE(QFile::copy(demo + "vq70.xif", xifPath));
    ASSERT_TRUE(QFile::copy(demo + "vq70.xfb", root + "/files/vq70.xfb"));

    image = vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(4096, 5));
    imagePath = root + "/files/app.apb";
    WriteAll(imagePath, image);
    eventList.resize(17 * 34);
    for (std::size_t k = 0; k < eventList.size(); ++k) eventList[k] = std::uint8_t(k * 7 + 3);
    eventListPath = root + "/files/events.etl";
    WriteAll(eventListPath, eventList);
    ns2vq::Q70File q70;
    q70.sections.emplace_back();
    q70.sections.back().vq.name = "BH-VQ";
    q70.sections.back().vq.handle = 7;
    q70.sections.back().vq.programId = vqfield::kVq70ProgramId;
    q70.sections.back().vq.sarvikId = "04A1B2C3D401";
    database = ns2vq::EncodeFile(q70);
    databasePath = root + "/files/site.q70";
    WriteAll(databasePath, database);
    // The demo's sample program, compiled; its hex text written with
    // lower-case letters in every other pair and an odd digit at the end,
    // which the load ignores.
    programPath = root + "/files/program.x";
    {
        const std::string source = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")).toStdString();
        qpicg::TypeSet types;
        qpicg::Diagnostic error;
        ASSERT_TRUE(qpicg::LoadTypeFolder(source + "/demo/types", &types, &error)) << error.Text();
        QFile qpl(QString::fromStdString(source + "/demo/Vq/IntProg/Counter.qpl"));
        ASSERT_TRUE(qpl.open(QIODevice::ReadOnly));
        const qpicg::CompileResult r = qpicg::Compile(qpl.readAll().toStdString(), "Counter.qpl", types);
        ASSERT_TRUE(r.ok) << r.error.Text();
        program = qpx::Encode(r.program);
        std::string hex = qpx::ToHex(program);
        for (std::size_t k = 2; k < hex.size(); k += 4) {
            hex[k] = char(std::tolower(static_cast<unsigned char>(hex[k])));
            hex[k + 1] = char(std::tolower(static_cast<unsigned char>(hex[k + 1])));
        }
        hex += 'c';
        WriteAll(programPath, Bytes(hex.begin(), hex.end()));
    }

    SetPrompter(&prompter);
    SetWaiter(&waiter);
    OpenLogFile();
    ASSERT_FALSE(GetLogFilePath().isEmpty());
    view.onLine = [this](const QString& line) {
        for (auto& [prefix, act] : lineActions)
            if (act && line.startsWith(prefix)) std::exchange(act, nullptr)();
    };
    log = std::make_unique<CLog>(&view);
    context = std::make_unique<CSetupContext>();
    context->OpenObjectServer((root + "/ovx").toStdString());
    ASSERT_TRUE(context->m_objectServer.IsOpen());
}

void LoadTest::TearDown() {
    if (context) context->CloseAllDatabases();
    counting.reset();
    context.reset();
    CloseLogFile();
    SetWaiter(nullptr);
    SetPrompter(nullptr);
    client.reset();
    daemon.reset();
    if (!fieldName.empty()) vqfield::UnregisterField(fieldName);
    qputenv("TMPDIR", oldTmp);
}

void LoadTest::OpenLoadSide(int count) {
    for (int k = 0; k < count; ++k) units.push_back(client->AddUnit(vqfield::kVq70ProgramId));
    ASSERT_EQ(context->OpenNetworkDatabase(kTempDbName, 1), kDbOk);
    ASSERT_EQ(context->OpenSystem("VQNET1", 1), kDbOk) << BoxTexts().join("; ").toStdString();
    ASSERT_EQ(context->AddDeviceTemplate(xifPath, 1), kDbOk) << BoxTexts().join("; ").toStdString();
    counting = std::make_shared<CountingSystem>(context->m_loadSystem);
    context->m_loadSystem = counting;
}

LoadRequest LoadTest::Request(int mainOption) const {
    LoadRequest r;
    r.mainOption = mainOption;
    for (const std::string& u : units) r.sarvikIds << QString::fromStdString(u);
    r.vqCount = int(units.size());
    r.loadImage = true;
    r.imagePath = imagePath;
    r.databasePath = databasePath;
    r.eventListPath = eventListPath;
    return r;
}

LoadRunResult LoadTest::Run(const LoadRequest& request) {
    return LoadRun(*context, request, *log);
}

QString LoadTest::LogFileText() {
    const QString path = GetLogFilePath();
    CloseLogFile();
    const Bytes b = ReadAll(path);
    return QString::fromUtf8(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

QStringList LoadTest::BoxTexts() const {
    QStringList out;
    for (const auto& b : prompter.boxes) out << b.caption + "|" + b.text;
    return out;
}

void LoadTest::OnLine(const QString& prefix, std::function<void()> act) {
    lineActions.emplace_back(prefix, std::move(act));
}

}  // namespace loadtest
