// A wizard context on the temporary database "~~~td", opened on an
// in-process field of simulated VQs, with the device template of the demo's
// VQ, the files of a load, a scripted prompter, a recording waiter (no test
// sleeps through a retry) and the program log open. The load system is
// watched through CountingSystem, so that tests see every long-operation
// bracket and transaction.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "context/SetupContext.h"
#include "load/LoadRun.h"
#include "log/Log.h"
#include "util/Prompter.h"
#include "util/Wait.h"
#include "vqfield/client.h"
#include "vqfield/daemon.h"

namespace loadtest {

using Bytes = std::vector<std::uint8_t>;

// The load system with its brackets and transactions counted; every call is
// passed to the real one.
class CountingSystem : public ovx::System {
public:
    explicit CountingSystem(ovx::Ptr<ovx::System> inner) : m(std::move(inner)) {}
    int begins = 0, ends = 0, starts = 0, commits = 0, cancels = 0;
    int openTransactions = 0;
    std::function<void()> afterStartTransaction;

    void Open() override { m->Open(); }
    void Close() override { m->Close(); }
    bool IsOpen() const override { return m->IsOpen(); }
    int OpenMode() const override { return m->OpenMode(); }
    void SetOpenMode(int mode) override { m->SetOpenMode(mode); }
    int OffNet() const override { return m->OffNet(); }
    void SetOffNet(int offNet) override { m->SetOffNet(offNet); }
    ovx::Ptr<ovx::HostNode> Host() override { return m->Host(); }
    std::string HostId() const override { return m->HostId(); }
    void SetHostId(const std::string& id) override { m->SetHostId(id); }
    void PrepareLoad(int a, int b) override { m->PrepareLoad(a, b); }
    std::uint32_t HostHandle() override { return m->HostHandle(); }
    ovx::Ptr<ovx::Subsystems> GetSubsystems() override { return m->GetSubsystems(); }
    ovx::Ptr<ovx::TemplateLibrary> GetTemplateLibrary() override { return m->GetTemplateLibrary(); }
    ovx::Ptr<ovx::Transfer> GetTransfer() override { return m->GetTransfer(); }
    void StartTransaction() override {
        m->StartTransaction();
        ++starts;
        ++openTransactions;
        if (afterStartTransaction) afterStartTransaction();
    }
    void CommitTransaction() override {
        ++commits;
        --openTransactions;
        m->CommitTransaction();
    }
    void CancelTransaction() override {
        ++cancels;
        if (openTransactions > 0) --openTransactions;
        m->CancelTransaction();
    }
    void BeginLongOperation(int ms) override {
        ++begins;
        m->BeginLongOperation(ms);
    }
    void EndLongOperation() override {
        ++ends;
        m->EndLongOperation();
    }
    int GetMode() override { return m->GetMode(); }
    void SetMode(int mode) override { m->SetMode(mode); }
    void PrepareDiscovery(bool flag, const std::string& hostId) override {
        m->PrepareDiscovery(flag, hostId);
    }
    ovx::DeviceDetails DeviceByHandle(std::uint32_t h) override { return m->DeviceByHandle(h); }
    ovx::RouterDetails RouterByHandle(std::int16_t h) override { return m->RouterByHandle(h); }
    std::vector<int> ChannelIds() override { return m->ChannelIds(); }
    void SendFileToDevice(std::uint32_t h, int kind, const std::vector<std::uint8_t>& bytes,
                          std::size_t chunk, int retries) override {
        m->SendFileToDevice(h, kind, bytes, chunk, retries);
    }

    ovx::Ptr<ovx::System> m;
};

// The progress box: every line the run shows; onLine runs after each line.
class LinesView : public ILogView {
public:
    void Clear() override { lines.clear(); }
    void AppendAtEnd(const QString& text) override;
    void Repaint() override {}
    QStringList lines;  // without line ends; a line holding "\r\n" stays one entry
    std::function<void(const QString&)> onLine;

private:
    QString m_pending;
};

class LoadTest : public ::testing::Test {
public:  // the table cases reach the fixture from lambdas
    void SetUp() override;
    void TearDown() override;

    // Adds count VQ-70 units to the field and opens the load side on it
    // (OpenNetworkDatabase, OpenSystem in load mode, AddDeviceTemplate).
    void OpenLoadSide(int units);
    // A run over every unit of the field with the fixture's files.
    LoadRequest Request(int mainOption = 0) const;
    LoadRunResult Run(const LoadRequest& request);
    // Closes the program log and returns its text.
    QString LogFileText();

    CSetupContext& Ctx() { return *context; }
    CountingSystem& Counted() { return *counting; }
    QStringList BoxTexts() const;
    vqfield::UnitMemory Memory(int unit) { return client->Inspect(units.at(std::size_t(unit))); }
    // Acts once when the progress box shows a line starting with prefix.
    void OnLine(const QString& prefix, std::function<void()> act);

    bool overDaemon = false;  // the field in a vqsim daemon, reached over TCP
    std::unique_ptr<vqfield::DaemonProcess> daemon;
    QTemporaryDir dir;
    QString xifPath, imagePath, eventListPath, databasePath, programPath;
    Bytes program;  // the compiled program that programPath holds as hex text
    Bytes image, eventList, database;
    std::shared_ptr<vqfield::Field> field;
    std::unique_ptr<vqfield::Client> client;
    std::string fieldName;
    std::vector<std::string> units;
    ScriptedPrompter prompter;
    RecordingWaiter waiter;
    LinesView view;
    std::unique_ptr<CLog> log;
    std::unique_ptr<CSetupContext> context;
    std::shared_ptr<CountingSystem> counting;
    QByteArray oldTmp;
    std::vector<std::pair<QString, std::function<void()>>> lineActions;
};

// The same with the field in a vqsim daemon.
class LoadOverVqsim : public LoadTest {
public:
    LoadOverVqsim() { overDaemon = true; }
};

Bytes ReadAll(const QString& path);
void WriteAll(const QString& path, const Bytes& bytes);

}  // namespace loadtest
