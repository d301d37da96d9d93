// A VQ brought through the whole load sequence, then its memories compared
// byte for byte with what was sent; what a unit refuses; discovery; the
// service pin. Every case runs in-process and through the daemon.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "FieldFixture.h"
#include "vqfield/apb.h"

using namespace vqfield;
using vqtest::FieldTest;
using vqtest::Via;

namespace {

using vqtest::CodeOf;

Bytes Database() {
    return vqtest::ReadSourceFile("components/ns2vq/fuzz/corpus/worked-example.q70");
}

TEST_P(FieldTest, WholeSequenceLeavesExactlyWhatWasSent) {
    const std::string id = client_->AddUnit(kVq71ProgramId);
    const Bytes image = MakeApb(kVq71ProgramId, PatternBody(64 * 1024, 7));
    const Bytes events = vqtest::EventList();
    const Bytes program(40, 0);
    const Bytes db = Database();

    client_->LoadImage(id, image);
    client_->LoadDefaults(id, 3);
    client_->Commission(id);
    client_->SetState(id, 4);
    EXPECT_EQ(client_->GetState(id), 4);
    client_->Wink(id);
    client_->SetFbDisabled(id, 1, 1);
    EXPECT_EQ(client_->GetFbDisabled(id, 1), 1);

    for (auto [kind, bytes] : {std::pair{4, &events}, std::pair{8, &program}}) {
        const auto t = client_->OpenTransfer(id, kind);
        client_->Write(t, *bytes);
        client_->Close(t);
    }
    client_->SendFile(id, 5, db, 100, 0);
    client_->SetState(id, 12);

    const UnitMemory m = client_->Inspect(id);
    EXPECT_EQ(m.image, image);
    EXPECT_EQ(m.eventList, events);
    EXPECT_EQ(m.program, program);
    EXPECT_EQ(m.database, db);
    EXPECT_TRUE(m.unit.configured);
    EXPECT_EQ(m.unit.state, 12);
    EXPECT_EQ(m.unit.raw["winks"], 1);
    EXPECT_EQ(m.unit.raw["nodeEnabled"], false);
    EXPECT_EQ(m.unit.raw["defaultsLoaded"], true);
    EXPECT_EQ(m.unit.raw["eventList"]["records"], 17);
    EXPECT_EQ(m.unit.raw["database"]["checked"], true);
    EXPECT_EQ(m.unit.raw["image"]["crc32"].get<std::string>().size(), 8u);
}

// What a commissioned unit refuses, and that a refusal leaves its memory as it was.
TEST_P(FieldTest, UnitRefusesWhatDoesNotCheck) {
    const std::string id = client_->AddUnit(kVq70ProgramId);
    const Bytes good = MakeApb(kVq70ProgramId, PatternBody(1000));
    client_->LoadImage(id, good);
    client_->Commission(id);

    Bytes badCrc = good;
    badCrc[500] ^= 1;
    Bytes shortImage(good.begin(), good.end() - 1);
    Bytes badMagic = good;
    badMagic[0] = 'X';
    Bytes partial = vqtest::EventList(2);
    partial.push_back(0);
    const Bytes db = Database();
    const Bytes headerOnly(db.begin(), db.begin() + 30);
    Bytes badDb = db;
    badDb[60] ^= 0x40;
    // A format version the unit does not know, with a checksum that fits it.
    Bytes futureDb = db;
    futureDb[4] = 3;
    std::uint32_t crc = vqfield::Crc32(futureDb.data(), 44);
    crc = vqfield::Crc32(futureDb.data() + 48, futureDb.size() - 48, crc);
    for (int i = 0; i < 4; ++i) futureDb[44 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    struct Case {
        const char* name;
        int kind;  // 0 = application image
        Bytes bytes;
        Code code;
    } cases[] = {
        {"image checksum", 0, badCrc, Code::Refused},
        {"image length", 0, shortImage, Code::Refused},
        {"image magic", 0, badMagic, Code::Refused},
        {"image for another program", 0, MakeApb("9000010000000001", PatternBody(1000)), Code::Refused},
        {"empty image", 0, {}, Code::Refused},
        {"event list of part of a record", 4, partial, Code::Refused},
        {"empty event list", 4, {}, Code::Refused},
        {"database checksum", 5, badDb, Code::Refused},
        {"database header only", 5, headerOnly, Code::Refused},
        {"database of an unknown format version", 5, futureDb, Code::Refused},
        {"unknown kind", 9, Bytes(10, 1), Code::BadValue},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CodeOf([&] {
                      if (c.kind == 0) return client_->LoadImage(id, c.bytes);
                      const auto t = client_->OpenTransfer(id, c.kind);
                      client_->Write(t, c.bytes);
                      client_->Close(t);
                  }),
                  c.code);
    }
    const UnitMemory m = client_->Inspect(id);
    EXPECT_EQ(m.image, good);
    EXPECT_TRUE(m.eventList.empty());
    EXPECT_TRUE(m.database.empty());
    EXPECT_TRUE(m.unit.configured);

    // Databases written in the first format version are still taken.
    const Bytes first = vqtest::ReadSourceFile("components/ns2vq/fuzz/corpus/v1-worked-example.q70");
    const auto t = client_->OpenTransfer(id, 5);
    client_->Write(t, first);
    client_->Close(t);
    EXPECT_EQ(client_->Inspect(id).database, first);
}

TEST_P(FieldTest, OrderOfTheSequenceIsEnforced) {
    const std::string id = client_->AddUnit(kVq70ProgramId);
    EXPECT_EQ(CodeOf([&] { client_->Commission(id); }), Code::Refused);  // no image yet
    EXPECT_EQ(CodeOf([&] { client_->LoadDefaults(id, 3); }), Code::Refused);
    EXPECT_EQ(CodeOf([&] { client_->SetState(id, 4); }), Code::Refused);  // not commissioned
    EXPECT_EQ(CodeOf([&] { client_->OpenTransfer(id, 4); }), Code::Refused);
    EXPECT_EQ(CodeOf([&] { client_->Ping("12345"); }), Code::BadValue);
    EXPECT_EQ(CodeOf([&] { client_->Ping("0000000000EE"); }), Code::NoAnswer);  // nobody has it
    EXPECT_EQ(client_->Ping(id), kVq70ProgramId);
}

TEST_P(FieldTest, DiscoveryListsUnconfiguredUnitsThatAnswer) {
    const std::string fresh = client_->AddUnit(kVq70ProgramId);
    const std::string loaded = client_->AddUnit(kVq71ProgramId);
    const std::string silent = client_->AddUnit(kVq70ProgramId);
    client_->LoadImage(loaded, MakeApb(kVq71ProgramId, PatternBody(100)));
    client_->Commission(loaded);
    client_->Break(silent, {{"silent", true}});

    const auto found = client_->Discover();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].sarvikId, fresh);
    EXPECT_EQ(found[0].programId, kVq70ProgramId);
}

TEST_P(FieldTest, ServicePinReachesSubscribersOnly) {
    const std::string id = client_->AddUnit(kVq71ProgramId);
    auto listener = Connect();
    std::mutex m;
    std::condition_variable cv;
    std::vector<UnitView> got;
    listener->OnServicePin([&](const UnitView& u) {
        std::lock_guard lock(m);
        got.push_back(u);
        cv.notify_all();
    });
    client_->PressServicePin(id);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return !got.empty(); }));
        EXPECT_EQ(got[0].sarvikId, id);
        EXPECT_EQ(got[0].programId, kVq71ProgramId);
        EXPECT_EQ(got[0].raw["event"], "servicePin");
    }
    listener->OnServicePin({});
    client_->PressServicePin(id);
    client_->Units();  // a round trip after the press: any event would have arrived by now
    std::lock_guard lock(m);
    EXPECT_EQ(got.size(), 1u);
}

}  // namespace
