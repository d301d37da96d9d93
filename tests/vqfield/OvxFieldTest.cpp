// The object server's device operations reaching simulated VQ units through
// its default field link; every case runs in-process and over vqsim.
#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "OvxFieldFixture.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace vqtest {
namespace {

using Clock = std::chrono::steady_clock;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "ovx_field_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    return *QCoreApplication::instance();
}

// A compressed database written by the compressor library (no objects).
vqfield::Bytes LibraryQ70(const fs::path& path) {
    if (ns2vq::OpenCompressedFile(path.c_str(), ns2vq::kQ70Creator, 1, 0) != 0 ||
        ns2vq::CloseCompressedFile(0) != 0)
        ADD_FAILURE() << "the compressor library did not write " << path;
    return ReadBytes(path);
}

TEST_P(OvxFieldTest, OneVqThroughTheWholeSequence) {
    GoOnNet("VQNET1");
    system->SetHostId("3E5A0D71C2B8");
    EXPECT_EQ(system->HostId(), "3E5A0D71C2B8");
    system->PrepareLoad(0, 2);
    const int mode = system->GetMode();
    system->SetMode(mode + 3);
    EXPECT_EQ(system->GetMode(), mode + 3);
    system->SetMode(mode);

    device->SetSarvikId(unitId);
    EXPECT_EQ(device->SarvikId(), unitId);
    const fs::path image = WriteImage("app.apb", 64 * 1024);
    device->SetAppImagePath(image.string());
    device->Load();
    device->LoadDefaultCps(3);
    device->Commission();
    device->SetState(4);
    EXPECT_EQ(device->State(), 4);
    device->Wink();

    auto node = device->GetInterface()->GetFunctionalBlocks()->Item(1);
    node->SetDisabled(1);
    EXPECT_EQ(node->Disabled(), 1);

    const vqfield::Bytes events = EventList(17);  // 578 bytes
    const vqfield::Bytes program = Compiled("var n = 0; when pin { n += 1; outLoadState = n; }");
    for (auto [kind, bytes] : {std::pair{4, &events}, std::pair{8, &program}}) {
        auto t = system->GetTransfer();
        t->Open(device);
        t->SetMode(kind);
        EXPECT_EQ(t->Mode(), kind);
        t->Write(*bytes);
        t->Close();
    }

    // A compressed database the compressor library wrote, sent by its own call.
    const fs::path q70 = root / "site.q70";
    ns2vq::AttachDatabase(system);
    ASSERT_EQ(ns2vq::OpenCompressedFile(q70.c_str(), ns2vq::kQ70Creator, 1, 0), 0u);
    ASSERT_EQ(ns2vq::CloseCompressedFile(0), 0u);
    system->StartTransaction();
    EXPECT_EQ(ns2vq::DownloadCompressedFile(q70.c_str(), 5, device->Handle()), 0u);
    system->CommitTransaction();
    ns2vq::AttachDatabase(nullptr);

    node->SetDisabled(0);
    device->SetState(12);
    EXPECT_EQ(device->State(), 12);

    const vqfield::UnitMemory m = client_->Inspect(unitId);
    EXPECT_EQ(m.image, ReadBytes(image));
    EXPECT_EQ(m.eventList, events);
    EXPECT_EQ(m.program, program);
    EXPECT_EQ(m.database, ReadBytes(q70));
    EXPECT_FALSE(m.database.empty());
    EXPECT_TRUE(m.unit.raw["database"]["checked"].get<bool>());
    EXPECT_TRUE(m.unit.commissioned);
    EXPECT_TRUE(m.unit.raw["defaultsLoaded"].get<bool>());
    EXPECT_TRUE(m.unit.raw["nodeEnabled"].get<bool>());
    EXPECT_EQ(m.unit.raw["winks"], 1);
    EXPECT_EQ(m.unit.state, 12);
}

TEST_P(OvxFieldTest, SendFileResumesAtTheFailedChunk) {
    Commissioned();
    const vqfield::Bytes db = LibraryQ70(root / "db.q70");
    ASSERT_GT(db.size(), 3u * 16);
    // The link drops in the middle of the third chunk, and the unit is busy twice.
    client_->Break(unitId, {{"dropAfterBytes", 2 * 16 + 5}, {"busyDbDownloads", 2}});
    system->SendFileToDevice(device->Handle(), 5, db, 16, 3);
    EXPECT_EQ(client_->Inspect(unitId).database, db);
}

TEST_P(OvxFieldTest, DiscoveryListsUnconfiguredUnitsNotInTheDatabase) {
    const std::string other = client_->AddUnit(vqfield::kVq71ProgramId);
    GoOnNet("VQNET1");
    device->SetSarvikId(unitId);               // in the database: not listed
    for (int round = 0; round < 2; ++round) {  // a second discovery adds nothing new
        system->PrepareDiscovery(false, system->HostId());
        auto found = system->GetSubsystems()->Item("Discovered.Uninstalled")->GetAppDevices();
        ASSERT_EQ(found->Count(), 1);
        auto d = found->Item(1);
        EXPECT_EQ(d->SarvikId(), other);
        EXPECT_EQ(d->ProgramId(), vqfield::kVq71ProgramId);
        EXPECT_EQ(d->Status()->Code(), 101);
    }
}

TEST_P(OvxFieldTest, ServicePinArrivesOnTheEventLoopThread) {
    QCoreApplication& app = App();
    server->SetEventPoster([&app](std::function<void()> f) {
        QMetaObject::invokeMethod(&app, std::move(f), Qt::QueuedConnection);
    });
    std::vector<std::pair<ovx::ServicePinEvent, QThread*>> got;
    server->SetServicePinHandler(
        [&](const ovx::ServicePinEvent& e) { got.emplace_back(e, QThread::currentThread()); });
    const std::string stranger = client_->AddUnit(vqfield::kVq71ProgramId);
    GoOnNet("VQNET1");
    device->SetSarvikId(unitId);

    // Pressed from another connection, as an integrator at the unit would.
    auto admin = Connect();
    admin->PressServicePin(unitId);
    admin->PressServicePin(stranger);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (got.size() < 2 && Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(got.size(), 2u);
    for (auto& [e, thread] : got) EXPECT_EQ(thread, app.thread());
    EXPECT_EQ(got[0].first.sarvikId, unitId);
    EXPECT_EQ(got[0].first.programId, vqfield::kVq70ProgramId);
    EXPECT_EQ(got[0].first.deviceHandle, std::int32_t(device->Handle()));
    EXPECT_EQ(got[0].first.channelHandle, 1);
    EXPECT_EQ(got[1].first.sarvikId, stranger);
    EXPECT_EQ(got[1].first.programId, vqfield::kVq71ProgramId);
    EXPECT_EQ(got[1].first.deviceHandle, 0);

    // Off-net, nothing more arrives.
    system->SetOffNet(1);
    admin->PressServicePin(unitId);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(got.size(), 2u);
}

TEST_P(OvxFieldTest, InterfacesThatCannotCarryTheSystem) {
    struct Case {
        const char* name;
        std::uint32_t code;
    } cases[] = {{"GONE", ovx::kErrInterfaceNoAnswer},
                 {"NOFIELD", ovx::kErrInterfaceNoAnswer},
                 {"SERIAL1", ovx::kErrNotAnNsi}};
    for (const auto& c : cases) {
        EXPECT_EQ(CodeOf([&] { GoOnNet(c.name); }), c.code) << c.name;
        EXPECT_EQ(system->OffNet(), 1) << c.name;
        EXPECT_EQ(CodeOf([&] { device->Wink(); }), ovx::kErrOffNet) << c.name;
    }
    GoOnNet("VQNET1");
    EXPECT_EQ(system->OffNet(), 0);
}

TEST_P(OvxFieldTest, EachFaultGivesItsError) {
    struct Case {
        const char* what;
        vqfield::Json faults;  // set on the unit once it is commissioned
        std::function<void(OvxFieldTest&)> call;
        std::uint32_t code;
    };
    auto sendDb = [](OvxFieldTest& t) {
        t.system->SendFileToDevice(t.device->Handle(), 5, LibraryQ70(t.root / "db.q70"), 16, 3);
    };
    auto transfer = [](int kind, vqfield::Bytes bytes) {
        return [kind, bytes](OvxFieldTest& t) {
            auto x = t.system->GetTransfer();
            x->Open(t.device);
            x->SetMode(kind);
            x->Write(bytes);
            x->Close();
        };
    };
    const std::vector<Case> cases = {
        {"failing image load",
         {{"failImageLoads", 1}},
         [](OvxFieldTest& t) { t.device->Load(); },
         ovx::kErrDeviceRefused},
        {"busy beyond the retries", {{"busyDbDownloads", 4}}, sendDb, ovx::kErrDeviceBusy},
        {"silent unit",
         {{"silent", true}},
         [](OvxFieldTest& t) { t.device->Wink(); },
         ovx::kErrDeviceNoAnswer},
        {"silent unit, state",
         {{"silent", true}},
         [](OvxFieldTest& t) { t.device->SetState(4); },
         ovx::kErrDeviceNoAnswer},
        {"refused commissioning",
         {{"refuseCommission", true}},
         [](OvxFieldTest& t) { t.device->Commission(); },
         ovx::kErrDeviceRefused},
        {"link dropped in a one-write transfer",
         {{"dropAfterBytes", 100}},
         transfer(4, EventList(17)),
         ovx::kErrTransferAborted},
        {"event list of broken records", {}, transfer(4, vqfield::Bytes(35, 1)), ovx::kErrDeviceRefused},
        {"unknown transfer mode", {}, transfer(6, vqfield::Bytes(34, 1)), ovx::kErrBadValue},
        {"interpreted program that is no program",
         {},
         transfer(8, vqfield::Bytes(40, 1)),
         ovx::kErrDeviceRefused},
        {"image for another program ID",
         {},
         [](OvxFieldTest& t) {
             t.device->SetAppImagePath(t.WriteImage("io.apb", 512, "9000010A01020304").string());
             t.device->Load();
         },
         ovx::kErrDeviceRefused},
        {"missing image file",
         {},
         [](OvxFieldTest& t) {
             t.device->SetAppImagePath((t.root / "nowhere.apb").string());
             t.device->Load();
         },
         ovx::kErrIo},
        {"Sarvik ID of 11 digits",
         {},
         [](OvxFieldTest& t) { t.device->SetSarvikId("0102030405A"); },
         ovx::kErrBadValue},
        {"Sarvik ID with a non-hex digit",
         {},
         [](OvxFieldTest& t) { t.device->SetSarvikId("0102030405AG"); },
         ovx::kErrBadValue},
        {"Sarvik ID of no unit",
         {},
         [](OvxFieldTest& t) { t.device->SetSarvikId("0000000000EE"); },
         ovx::kErrDeviceNoAnswer},
    };
    client_->SetAnswerTimeout(100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        client_->Repair(unitId);
        if (system->OffNet()) Commissioned();
        client_->Break(unitId, c.faults);
        const auto start = Clock::now();
        EXPECT_EQ(CodeOf([&] { c.call(*this); }), c.code);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));  // an error, never a hang
    }
    // The failed load left nothing behind, and the next one goes through.
    client_->Repair(unitId);
    EXPECT_EQ(client_->Inspect(unitId).unit.raw["imageLoads"], 1);
    device->SetAppImagePath(WriteImage("app.apb", 2048).string());
    device->Load();
    EXPECT_EQ(client_->Inspect(unitId).unit.raw["imageLoads"], 2);
}

TEST_P(OvxFieldTest, UnboundDeviceIsAnError) {
    GoOnNet("VQNET1");
    device->SetAppImagePath(WriteImage("app.apb", 256).string());
    EXPECT_EQ(CodeOf([&] { device->Load(); }), ovx::kErrNotBound);
    EXPECT_EQ(CodeOf([&] { system->GetTransfer()->Open(device); }), ovx::kErrNotBound);
    EXPECT_EQ(CodeOf([&] { system->SendFileToDevice(device->Handle(), 5, vqfield::Bytes(64, 1), 16, 3); }),
              ovx::kErrNotBound);
}

TEST_P(OvxFieldTest, CancelTransactionAbortsALoadInProgress) {
    GoOnNet("VQNET1");
    device->SetSarvikId(unitId);
    device->SetAppImagePath(WriteImage("app.apb", 64 * 1024).string());
    client_->SetRate(1, 9600);  // about a minute on the wire
    int calls = 0;
    server->SetProgressCallback([&] {
        if (++calls == 2) system->CancelTransaction();
    });
    const auto start = Clock::now();
    EXPECT_EQ(CodeOf([&] { device->Load(); }), ovx::kErrTransferAborted);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(client_->Inspect(unitId).image.empty());

    // The cancel does not outlive the load it aborted.
    server->SetProgressCallback({});
    client_->SetRate(1, 0);
    device->Load();
    EXPECT_FALSE(client_->Inspect(unitId).image.empty());
    // Without a load in progress it is the plain transaction call.
    EXPECT_EQ(CodeOf([&] { system->CancelTransaction(); }), ovx::kErrNoTransaction);
}

TEST_P(OvxFieldTest, DaemonGoneMidSessionIsAnError) {
    if (!daemon_) GTEST_SKIP() << "an in-process field cannot go away";
    GoOnNet("VQNET1");
    device->SetSarvikId(unitId);
    daemon_->Kill();
    EXPECT_EQ(CodeOf([&] { device->Wink(); }), ovx::kErrInterfaceNoAnswer);
}

INSTANTIATE_TEST_SUITE_P(Field, OvxFieldTest, ::testing::Values(Via::InProcess, Via::Daemon), ViaName);

}  // namespace
}  // namespace vqtest

namespace vqtest {
namespace {

// The demo's way in: the interface list describes an in-process field.
TEST(DescribedField, TheInterfaceListMakesTheFieldOnce) {
    const fs::path root = fs::temp_directory_path() / ("vqfield-described-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string name = "described-" + std::to_string(::getpid());
    auto list = [&](const std::string& units) {
        std::ofstream(root / "interfaces.json")
            << R"({"interfaces": [{"name": "VQNET1", "endpoint": "field:)" + name +
                   R"(", "field": {"bitsPerSecond": 78125, "units": [)" + units + "]}}]}";
    };
    ovx::ServerOptions opts;
    opts.dataFolder = root.string();

    list(R"({"sarvikId": "04A1B2C3D401"}, {"sarvikId": "04a1b2c3d403", "programId": "900001013C8A0401"})");
    auto server = ovx::CreateObjectServer(opts);
    server->Open();
    EXPECT_EQ(server->GetNetworkInterfaces()->Item("VQNET1")->Endpoint(), "field:" + name);
    vqfield::Client client(vqfield::Connect("field:" + name));
    auto units = client.Units();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].sarvikId, "04A1B2C3D401");
    EXPECT_EQ(units[0].programId, vqfield::kVq70ProgramId);
    EXPECT_EQ(units[1].sarvikId, "04A1B2C3D403");
    EXPECT_EQ(units[1].programId, vqfield::kVq71ProgramId);
    EXPECT_EQ(client.transport().Call({{"op", "status"}}, {}, nullptr, {})["channels"][0]["bitsPerSecond"],
              78125);

    // Reopened, the running field stays as it is (its units keep what they hold).
    client.RemoveUnit("04A1B2C3D403");
    server->Close();
    server->Open();
    EXPECT_EQ(client.Units().size(), 1u);
    server->Close();
    vqfield::UnregisterField(name);

    for (const char* bad :
         {R"({"sarvikId": "04A1B2C3D4"})", R"({"sarvikId": "04A1B2C3D401"}, {"sarvikId": "04A1B2C3D401"})",
          R"({"programId": 7})"}) {
        list(bad);
        auto s = ovx::CreateObjectServer(opts);
        EXPECT_EQ(CodeOf([&] { s->Open(); }), ovx::kErrBadValue) << bad;
        EXPECT_EQ(vqfield::FindField(name), nullptr) << bad;
    }
    fs::remove_all(root);
}

}  // namespace
}  // namespace vqtest
