#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "OvxFixture.h"
#include "ovx/site.h"

namespace ovxtest {
namespace {

class Storage : public OvxFixture {
protected:
    void SetUp() override {
        OvxFixture::SetUp();
        ImportAndOpen(SmallSite());
    }
    void CloseAll() {
        system.reset();
        network.reset();
        server.reset();
    }
    // Runs body in a child process that kills itself where body says.
    static void InChild(const std::function<void()>& body) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                body();
            } catch (...) {
            }
            ::_exit(3);  // body should have been killed before this
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "child ended otherwise: " << status;
    }
};

TEST_F(Storage, CancelledTransactionLeavesTheFileAsItWas) {
    CloseAll();
    const std::string before = ReadBytes(DbFile());
    Reopen();
    system->StartTransaction();
    system->GetSubsystems()->Add("Extra")->GetAppDevices()->Add("New1", nullptr, nullptr);
    system->GetSubsystems()->Item("Area1")->GetAppDevices()->Item(1)->SetSarvikId("FFEEDDCCBBAA");
    system->CancelTransaction();
    EXPECT_EQ(CodeOf([&] { system->GetSubsystems()->Item("Extra"); }), ovx::kErrNotFound);
    EXPECT_EQ(system->GetSubsystems()->Item("Area1")->GetAppDevices()->Item(1)->SarvikId(), "0102030405A6");
    CloseAll();
    EXPECT_EQ(ReadBytes(DbFile()), before);

    Reopen();
    system->StartTransaction();
    system->GetSubsystems()->Add("Kept");
    system->CommitTransaction();
    EXPECT_EQ(CodeOf([&] { system->CommitTransaction(); }), ovx::kErrNoTransaction);
    Reopen();
    EXPECT_NO_THROW(system->GetSubsystems()->Item("Kept"));
}

TEST_F(Storage, KilledMidTransactionOpensWithTheStateBefore) {
    CloseAll();
    InChild([&] {
        Reopen();
        system->StartTransaction();
        auto devices = system->GetSubsystems()->Add("Half")->GetAppDevices();
        for (int i = 0; i < 200; ++i) devices->Add("Half" + std::to_string(i), nullptr, nullptr);
        ::kill(::getpid(), SIGKILL);
    });
    Reopen();
    EXPECT_EQ(CodeOf([&] { system->GetSubsystems()->Item("Half"); }), ovx::kErrNotFound);
    EXPECT_EQ(system->GetSubsystems()->Item("ALL")->GetAppDevices()->Count(), 4);
    // And the database still takes writes.
    system->GetSubsystems()->Add("After");
}

TEST_F(Storage, KilledMidImportRegistersNothingAndLeavesNoDatabase) {
    auto big = SmallSite();
    big["network"] = "Big";
    for (int i = 0; i < 300; ++i)
        big["subsystems"][1]["devices"].push_back(
            {{"name", "X" + std::to_string(i)}, {"template", "Io"}, {"channel", 2}});
    WriteText(root / "big.json", big.dump());
    InChild([&] {
        ovxsite::ImportOptions o;
        o.dataFolder = dataFolder.string();
        o.onDevice = [](int n) {
            if (n == 150) ::kill(::getpid(), SIGKILL);
        };
        ovxsite::ImportSite((root / "big.json").string(), o);
    });
    Reopen();
    EXPECT_EQ(server->GetNetworks()->Count(), 1);
    EXPECT_FALSE(fs::exists(dataFolder / "networks" / "Big" / "network.ovxdb"));
    // A second try goes through.
    ovxsite::ImportOptions o;
    o.dataFolder = dataFolder.string();
    EXPECT_EQ(ovxsite::ImportSite((root / "big.json").string(), o), "Big");
}

// A failure while the database is written takes the temporary database, its
// SQLite side files and the folder the import made away again.
TEST_F(Storage, FailedImportLeavesNoFilesBehind) {
    auto site = SmallSite();
    site["network"] = "Failing";
    WriteText(root / "failing.json", site.dump());
    ovxsite::ImportOptions o;
    o.dataFolder = dataFolder.string();
    o.onDevice = [](int n) {
        if (n == 2) throw std::runtime_error("stopped");
    };
    EXPECT_THROW(ovxsite::ImportSite((root / "failing.json").string(), o), std::runtime_error);
    EXPECT_FALSE(fs::exists(dataFolder / "networks" / "Failing"));
    o.onDevice = {};
    EXPECT_EQ(ovxsite::ImportSite((root / "failing.json").string(), o), "Failing");
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dataFolder / "networks" / "Failing"))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"network.ovxdb"});
}

TEST_F(Storage, ReadingForCompressionDoesNotChangeTheFile) {
    CloseAll();
    const std::string before = ReadBytes(DbFile());
    const auto stamp = fs::last_write_time(DbFile());
    Reopen();
    system->SetOpenMode(2);
    system->StartTransaction();
    std::function<void(ovx::Ptr<ovx::Subsystems>)> walk = [&](ovx::Ptr<ovx::Subsystems> subs) {
        for (int i = 1; i <= subs->Count(); ++i) {
            auto s = subs->Item(i);
            auto devices = s->GetAppDevices();
            for (int k = 1; k <= devices->Count(); ++k) {
                auto d = devices->Item(k);
                (void)d->ProgramId();
                (void)d->GetChannel()->Id();
                if (auto e = d->GetExtensions()->Item("Quillane_KTW_SubsysHndl")) (void)e->GetValue();
                (void)system->DeviceByHandle(d->Handle());
            }
            for (int k = 1; k <= s->GetRouters()->Count(); ++k)
                (void)system->RouterByHandle(s->GetRouters()->Item(k)->Handle());
            walk(s->GetSubsystems());
        }
    };
    walk(system->GetSubsystems());
    system->CancelTransaction();
    system->Close();
    network->Close();
    CloseAll();
    EXPECT_EQ(ReadBytes(DbFile()), before);
    EXPECT_EQ(fs::last_write_time(DbFile()), stamp);
}

TEST_F(Storage, ForeignOrDamagedFilesGiveAClearError) {
    CloseAll();
    const std::string good = ReadBytes(DbFile());
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"text file", "hello, this is not a database\n"},
        {"empty file", ""},
        {"truncated database", good.substr(0, good.size() / 3)},
        {"damaged pages", good.substr(0, 4096) + std::string(good.size() - 4096, '\x5a')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(DbFile(), c.bytes);
        server = ovx::CreateObjectServer({dataFolder.string()});
        server->Open();
        network = server->GetNetworks()->Item("Plant");
        try {
            network->Open();
            auto s = network->GetSystems()->Item(1);
            (void)s->GetSubsystems()->Item("ALL")->GetAppDevices()->Count();
            ADD_FAILURE() << "opened";
        } catch (const ovx::Error& e) {
            EXPECT_EQ(e.code(), ovx::kErrCorruptDatabase);
            EXPECT_NE(e.description().find("network.ovxdb"), std::string::npos) << e.description();
        }
        CloseAll();
    }
    // A SQLite file of some other program.
    fs::remove(DbFile());
    WriteText(root / "make.sql", "");
    {
        std::string cmd = "sqlite3 '" + DbFile().string() + "' 'CREATE TABLE t(x); INSERT INTO t VALUES(1);'";
        if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "no sqlite3 shell";
    }
    server = ovx::CreateObjectServer({dataFolder.string()});
    server->Open();
    EXPECT_EQ(CodeOf([&] { server->GetNetworks()->Item("Plant")->Open(); }), ovx::kErrCorruptDatabase);
    EXPECT_EQ(CodeOf([&] { server->GetNetworks()->Add("Other", DbFile().parent_path().string(), false); }),
              ovx::kErrCorruptDatabase);
}

TEST_F(Storage, MissingFolderIsReportedByName) {
    CloseAll();
    fs::remove_all(DbFile().parent_path());
    server = ovx::CreateObjectServer({dataFolder.string()});
    server->Open();
    try {
        server->GetNetworks()->Item("Plant")->Open();
        ADD_FAILURE() << "opened";
    } catch (const ovx::Error& e) {
        EXPECT_EQ(e.code(), ovx::kErrIo);
        EXPECT_NE(e.description().find("Plant"), std::string::npos);
    }
}

}  // namespace
}  // namespace ovxtest
