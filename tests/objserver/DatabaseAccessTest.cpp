// Database access of the wizard context against real network databases made
// with ovxctl in a private data folder, with the temporary directory inside
// the test folder.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "context/SetupContext.h"
#include "field_link.h"
#include "util/Prompter.h"

namespace {

class DatabaseAccess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir().mkpath(Data());
        QDir().mkpath(Tmp());
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", Tmp().toUtf8());
        WriteFile(Data() + "/interfaces.json",
                  R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": "field:none"},
                                     {"name": "SERIAL1", "nsi": false, "endpoint": "field:none"}]})");
        SetPrompter(&m_prompter);
    }
    void TearDown() override {
        m_context.reset();
        SetPrompter(nullptr);
        ovx::detail::SetFieldLinkFactory({});
        qputenv("TMPDIR", m_oldTmp);
    }
    QString Data() const { return m_dir.path() + "/ovx"; }
    QString Tmp() const { return m_dir.path() + "/tmp"; }
    QString TempDb() const { return Tmp() + "/~~~td"; }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Makes a network database with ovxctl; its folder is returned.
    QString Import(const QString& name) {
        const QString site = m_dir.path() + "/" + name + ".json";
        const QString folder = m_dir.path() + "/db/" + name;
        WriteFile(site, QStringLiteral(R"({"network": "%1", "subsystems": [{"name": "Boiler House"}]})")
                            .arg(name)
                            .toUtf8());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OVX_HOME", Data());
        p.setProcessEnvironment(env);
        p.start(QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR")) + "/ovxctl",
                {"import", site, "--name", name, "--folder", folder});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return folder;
    }
    CSetupContext& Context() {
        if (!m_context) {
            m_context = std::make_unique<CSetupContext>();
            m_context->OpenObjectServer(Data().toStdString());
        }
        return *m_context;
    }
    QStringList Boxes() const {
        QStringList out;
        for (const auto& b : m_prompter.boxes) out << b.caption + "|" + b.text;
        return out;
    }

    QTemporaryDir m_dir;
    QByteArray m_oldTmp;
    ScriptedPrompter m_prompter;
    std::unique_ptr<CSetupContext> m_context;
};

TEST_F(DatabaseAccess, UserDatabaseOpensAndNamesMatchCaseSensitively) {
    Import("Plant");
    CSetupContext& c = Context();
    EXPECT_EQ(c.OpenNetworkDatabase("plant", 0), kDbNotFound);
    EXPECT_EQ(c.OpenNetworkDatabase("Elsewhere", 0), kDbNotFound);
    EXPECT_TRUE(Boxes().isEmpty());
    ASSERT_EQ(c.OpenNetworkDatabase("Plant", 0), kDbOk);
    EXPECT_TRUE(c.m_compressNetwork->IsOpen());
    ASSERT_EQ(c.OpenSystem(QString(), 0), kDbOk);
    EXPECT_TRUE(c.m_compressSystem->IsOpen());
    EXPECT_EQ(c.m_compressSystem->OpenMode(), 2);
    EXPECT_EQ(c.m_compressSystem->OffNet(), 1);
    EXPECT_TRUE(Boxes().isEmpty());
}

TEST_F(DatabaseAccess, StaleEntriesAreRemoved) {
    const QString folder = Import("Plant");
    ASSERT_TRUE(QDir(folder).removeRecursively());
    CSetupContext& c = Context();
    EXPECT_EQ(c.OpenNetworkDatabase("Plant", 0), kDbNotFound);
    EXPECT_EQ(c.ListNetworkDatabases(false), QStringList());

    // A stale temporary database is made afresh in the temporary directory.
    const QString tdFolder = Import("~~~td");
    ASSERT_TRUE(QDir(tdFolder).removeRecursively());
    CSetupContext fresh;
    fresh.OpenObjectServer(Data().toStdString());
    ASSERT_EQ(fresh.OpenNetworkDatabase("~~~td", 1), kDbOk);
    EXPECT_EQ(QString::fromStdString(fresh.m_loadNetwork->Path()), QDir(TempDb()).absolutePath());
    EXPECT_TRUE(QFileInfo(TempDb()).isDir());
    fresh.CloseAllDatabases();
}

TEST_F(DatabaseAccess, TemporaryDatabaseIsCreatedOnceThenReopened) {
    Import("Plant");
    CSetupContext& c = Context();
    ASSERT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbOk);
    EXPECT_TRUE(QFileInfo(TempDb()).isDir());
    EXPECT_EQ(c.ListNetworkDatabases(false), (QStringList{"Plant", "~~~td"}));
    EXPECT_EQ(c.ListNetworkDatabases(true), QStringList{"Plant"});
    c.CloseAllDatabases();
    // The next run finds it registered and opens it again.
    m_context.reset();
    CSetupContext& again = Context();
    ASSERT_EQ(again.OpenNetworkDatabase("~~~td", 1), kDbOk);
    EXPECT_EQ(again.ListNetworkDatabases(false), (QStringList{"Plant", "~~~td"}));
    EXPECT_TRUE(Boxes().isEmpty());
}

TEST_F(DatabaseAccess, UpperCaseTemporaryNameIsNotTheTemporaryDatabase) {
    Import("~~~TD");
    CSetupContext& c = Context();
    // Not found by its exact name, so a new one is made, which the object
    // server refuses because the name differs only in case.
    EXPECT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbCreateFailed);
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_EQ(m_prompter.boxes[0].caption, kErrorCaption);
    EXPECT_EQ(m_prompter.boxes[0].icon, MsgIcon::Stop);
    EXPECT_TRUE(m_prompter.boxes[0].text.startsWith("Error creating temporary database:\nA network named"));
    EXPECT_FALSE(QFileInfo(TempDb()).exists());
}

TEST_F(DatabaseAccess, OpeningOneSideClosesTheOther) {
    Import("Plant");
    CSetupContext& c = Context();
    ASSERT_EQ(c.OpenNetworkDatabase("Plant", 0), kDbOk);
    ASSERT_EQ(c.OpenSystem(QString(), 0), kDbOk);
    auto userNet = c.m_compressNetwork;
    auto userSys = c.m_compressSystem;
    ASSERT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbOk);
    EXPECT_FALSE(userSys->IsOpen());
    EXPECT_FALSE(userNet->IsOpen());
    EXPECT_TRUE(c.m_loadNetwork->IsOpen());
    auto loadNet = c.m_loadNetwork;
    ASSERT_EQ(c.ReopenUserDatabase("Plant"), kDbOk);
    EXPECT_FALSE(loadNet->IsOpen());
    EXPECT_TRUE(c.m_compressNetwork->IsOpen());
    EXPECT_TRUE(c.m_compressSystem->IsOpen());
    c.CloseAllDatabases();
    EXPECT_FALSE(c.m_compressNetwork->IsOpen());
    EXPECT_FALSE(c.m_compressSystem->IsOpen());
}

TEST_F(DatabaseAccess, LoadModeOpenErrors) {
    const QString other =
        "Error opening system. (Make sure the database was not created OnNet. Also, try running the program "
        "with the -d option to delete the temporary database if the problem presist):\n";
    struct Case {
        QString interfaceName;
        bool factory;  // a field driver that cannot reach the endpoint
        int result;
        QString textStart;
        MsgIcon icon;
    };
    const Case cases[] = {
        {"NoSuchCard", false, kDbInterfaceNotFound, "", MsgIcon::Stop},
        {"SERIAL1", false, kDbOpenSystemFailed,
         "Error opening system:\nThe Network interface must be an NSI.\n\nThe following cards are valid "
         "NSIs\n"
         "   NSI-10 PCI\tNSI-11 PC Card\n   NSI-20 USB\tNSI-30 IP\n",
         MsgIcon::Exclamation},
        {"VQNET1", true, kDbOpenSystemFailed,
         "Error opening system:\nUnable to communicate with the network interface.\nPlease verify that the "
         "network interface driver is working properly.",
         MsgIcon::Exclamation},
        {"VQNET1", false, kDbOpenSystemFailed, other, MsgIcon::Stop},
    };
    for (const auto& k : cases) {
        m_prompter = ScriptedPrompter();
        ovx::detail::SetFieldLinkFactory({});
        if (k.factory)
            ovx::detail::SetFieldLinkFactory(
                [](const std::string&,
                   const ovx::NetworkInterface&) -> std::unique_ptr<ovx::detail::FieldLink> {
                    return nullptr;
                });
        CSetupContext& c = Context();
        ASSERT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbOk);
        EXPECT_EQ(c.OpenSystem(k.interfaceName, 1), k.result) << k.interfaceName.toStdString();
        EXPECT_EQ(c.m_interfaceName, k.interfaceName);
        ASSERT_EQ(m_prompter.boxes.size(), 1u) << k.interfaceName.toStdString();
        EXPECT_EQ(m_prompter.boxes[0].caption, kErrorCaption);
        EXPECT_EQ(m_prompter.boxes[0].icon, k.icon);
        if (!k.textStart.isEmpty()) {
            EXPECT_TRUE(m_prompter.boxes[0].text.startsWith(k.textStart))
                << m_prompter.boxes[0].text.toStdString();
            if (k.textStart == other) {
                EXPECT_GT(m_prompter.boxes[0].text.size(), other.size());
            }
        }
        // The database stays open after a failed system open.
        EXPECT_TRUE(c.m_loadNetwork->IsOpen());
    }
}

TEST_F(DatabaseAccess, OpenSystemWithoutADatabaseFailsCleanly) {
    CSetupContext& c = Context();
    EXPECT_EQ(c.OpenSystem(QString(), 0), kDbOpenSystemFailed);
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_EQ(m_prompter.boxes[0].icon, MsgIcon::Stop);
}

TEST_F(DatabaseAccess, InterfacesAreListedInOrder) {
    EXPECT_EQ(Context().ListNetworkInterfaces(), (QStringList{"VQNET1", "SERIAL1"}));
}

TEST_F(DatabaseAccess, DeleteTemporaryDatabase) {
    Import("Plant");
    CSetupContext& c = Context();
    ASSERT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbOk);
    ASSERT_EQ(c.OpenSystem(QString(), 1), kDbOk);
    c.DeleteTemporaryDatabase();
    EXPECT_EQ(c.ListNetworkDatabases(false), QStringList{"Plant"});
    EXPECT_FALSE(QFileInfo(TempDb()).exists());
    EXPECT_TRUE(Boxes().isEmpty());

    // Not registered: nothing is removed from the list, the folder still goes.
    QDir().mkpath(TempDb() + "/leftover");
    WriteFile(TempDb() + "/leftover/file.bin", "x");
    c.DeleteTemporaryDatabase();
    EXPECT_EQ(c.ListNetworkDatabases(false), QStringList{"Plant"});
    EXPECT_FALSE(QFileInfo(TempDb()).exists());
}

TEST_F(DatabaseAccess, WithoutAnObjectServerNothingOpensAndNothingCrashes) {
    // The data folder is a plain file: the object server does not open.
    WriteFile(m_dir.path() + "/blocked", "x");
    CSetupContext c;
    c.OpenObjectServer((m_dir.path() + "/blocked").toStdString());
    ASSERT_FALSE(c.m_networks);
    m_prompter = ScriptedPrompter();
    EXPECT_EQ(c.OpenNetworkDatabase("Plant", 0), kDbNotFound);
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_EQ(c.OpenNetworkDatabase("~~~td", 1), kDbCreateFailed);
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_TRUE(m_prompter.boxes[0].text.startsWith("Error creating temporary database:\n"));
    EXPECT_EQ(m_prompter.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(c.ReopenUserDatabase("Plant"), kDbNotFound);
    EXPECT_EQ(c.ListNetworkDatabases(false), QStringList());
    EXPECT_EQ(c.ListNetworkInterfaces(), QStringList());
    EXPECT_FALSE(QFileInfo(TempDb()).exists());
}

}  // namespace
