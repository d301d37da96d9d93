// `vqtool load` as a script runs it: the program on a field described in its
// interface list, with its exit code, its lines, its report and its log.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "ns2vq/q70.h"
#include "vqfield/apb.h"

namespace {

class VqtoolLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* sub : {"ovx", "tmp", "install/Vq", "files"}) QDir().mkpath(Path(sub));
        const QString demo =
            QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + "/demo/Import/Quillane/vq/Version 1.0/";
        ASSERT_TRUE(QFile::copy(demo + "vq70.xif", Path("files/vq70.xif")));
        ASSERT_TRUE(QFile::copy(demo + "vq70.xfb", Path("files/vq70.xfb")));
        Write("files/app.apb", vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(2048, 4)));
        Write("files/events.etl", std::vector<std::uint8_t>(34 * 3, 0x11));
        Write("files/site.q70", ns2vq::EncodeFile(ns2vq::Q70File{}));
        SetField(0);
    }
    QString Path(const QString& relative) const { return dir.path() + "/" + relative; }
    void Write(const QString& relative, const std::vector<std::uint8_t>& bytes) {
        QFile f(Path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    // Two VQs on an in-process field at the given rate (0: unlimited).
    void SetField(int bitsPerSecond) {
        QFile f(Path("ovx/interfaces.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral(R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": "field:vqtool",
            "field": {"bitsPerSecond": %1, "answerTimeoutMs": 50,
                      "units": [{"sarvikId": "04A1B2C3D401"}, {"sarvikId": "04A1B2C3D402"}]}}]})")
                    .arg(bitsPerSecond)
                    .toUtf8());
    }
    QStringList Args(const QStringList& ids) const {
        QStringList a = {"load",
                         "--interface",
                         "VQNET1",
                         "--xif",
                         Path("files/vq70.xif"),
                         "--event-list",
                         Path("files/events.etl"),
                         "--database",
                         Path("files/site.q70"),
                         "--image",
                         Path("files/app.apb"),
                         "--json",
                         Path("report.json"),
                         "--sarvik"};
        return a + ids;
    }
    void Start(QProcess& p, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OVX_HOME", Path("ovx"));
        env.insert("TMPDIR", Path("tmp"));
        env.insert("TESSARIN_PATH", Path("install"));
        p.setProcessEnvironment(env);
        p.start(QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR")) + "/vqtool", args);
        ASSERT_TRUE(p.waitForStarted());
    }
    int Run(const QStringList& args) {
        QProcess p;
        Start(p, args);
        EXPECT_TRUE(p.waitForFinished(120000));
        out = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
    QJsonArray Report() const {
        QFile f(Path("report.json"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(f.readAll()).object().value("vqs").toArray();
    }
    QString LogText() const {
        const QStringList logs = QDir(Path("install/Vq")).entryList({"*.vqlog"});
        if (logs.size() != 1) return {};
        QFile f(Path("install/Vq/") + logs[0]);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    QStringList out;
    QString err;
};

TEST_F(VqtoolLoad, EveryVqLoadedExitsZero) {
    ASSERT_EQ(Run(Args({"04A1B2C3D401", "04A1B2C3D402"})), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("Loaded database into VQ #2 successfully."));
    EXPECT_EQ(out.mid(out.size() - 3), (QStringList{"All VQs are loaded SUCCESSFULLY.", "", ""}));
    const QJsonArray vqs = Report();
    ASSERT_EQ(vqs.size(), 2);
    EXPECT_EQ(vqs[1].toObject().value("sarvikId").toString(), "04A1B2C3D402");
    EXPECT_EQ(vqs[1].toObject().value("outcome").toString(), "loaded");
    EXPECT_EQ(vqs[1].toObject().value("steps").toArray().size(), 4);
    const QString log = LogText();
    EXPECT_TRUE(log.startsWith("Starting program at "));
    EXPECT_TRUE(log.contains("Commissioned VQ #1 successfully.\r\n"));
    EXPECT_TRUE(log.contains("************************* End Loading\r\n"));
}

TEST_F(VqtoolLoad, AFailedVqIsNamedAndExitsOne) {
    ASSERT_EQ(Run(Args({"04A1B2C3D401", "0000000000AA"})), 1) << err.toStdString();
    const int at = out.indexOf("The following VQs failed. Press Wink Failed to find out which ones failed.");
    ASSERT_GE(at, 0) << out.join("\n").toStdString();
    EXPECT_EQ(out.value(at + 1), "VQ #2");
    const QJsonObject second = Report().at(1).toObject();
    EXPECT_EQ(second.value("outcome").toString(), "failed");
    EXPECT_EQ(second.value("failedStep").toString(), "SetSarvikId");
    EXPECT_TRUE(second.value("message").toString().startsWith(
        "Error: Failed to set sarvik ID of VQ #2 because of the error below:"));
    EXPECT_EQ(Report().at(0).toObject().value("outcome").toString(), "loaded");
}

TEST_F(VqtoolLoad, UsageAndSetUpMistakesExitTwo) {
    struct Case {
        QStringList args;
        const char* said;
    } cases[] = {
        {{"load", "--interface", "VQNET1", "--xif", Path("files/vq70.xif"), "--sarvik", "04A1B2C3D401"},
         "--database and --event-list are needed"},
        {Args({"04A1B2C3D4"}), "12 characters"},
        {Args({"04A1B2C3D401"}) << "--option"
                                << "3",
         "--option"},
        {QStringList(Args({"04A1B2C3D401"})).replaceInStrings(Path("files/app.apb"), Path("files/none.apb")),
         "no such file"},
        {QStringList(Args({"04A1B2C3D401"})).replaceInStrings("VQNET1", "NONE"), "interface \"NONE\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), 2) << c.said;
        EXPECT_TRUE(err.contains(c.said)) << err.toStdString();
    }
}

TEST_F(VqtoolLoad, InterruptCancelsTheRunAndExitsThree) {
    SetField(78125);  // the image takes about three seconds on the wire
    Write("files/app.apb", vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(24 * 1024, 4)));
    QProcess p;
    Start(p, Args({"04A1B2C3D401", "04A1B2C3D402"}));
    QString seen;
    while (!seen.contains("Loading application image to VQ #1...") && p.waitForReadyRead(30000))
        seen += QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_TRUE(seen.contains("Loading application image to VQ #1...")) << seen.toStdString();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    seen += QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 3) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(seen.endsWith("Loading Cancelled.\n")) << seen.toStdString();
    EXPECT_FALSE(seen.contains("VQ #2"));
    EXPECT_EQ(Report().at(0).toObject().value("failedStep").toString(), "LoadApplicationImage")
        << seen.toStdString() << QJsonDocument(Report()).toJson().toStdString();
}

}  // namespace
