// Faults set on purpose: each becomes an error with its code, in bounded
// time, and the unit recovers once the fault is used up.
#include <atomic>
#include <chrono>
#include <thread>

#include "FieldFixture.h"
#include "vqfield/apb.h"

using namespace vqfield;
using vqtest::FieldTest;

namespace {

using Clock = std::chrono::steady_clock;

using vqtest::CodeOf;

class FaultTest : public FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        id_ = client_->AddUnit(kVq70ProgramId);
        client_->LoadImage(id_, image_);
        client_->Commission(id_);
    }
    void SendDb(int retries) { client_->SendFile(id_, 5, db_, 64, retries); }
    std::string id_;
    Bytes image_ = MakeApb(kVq70ProgramId, PatternBody(4096, 3));
    Bytes db_ = vqtest::ReadSourceFile("components/ns2vq/fuzz/corpus/worked-example.q70");
};

TEST_P(FaultTest, EachFaultGivesItsError) {
    struct Case {
        const char* name;
        Json fault;
        std::function<void()> call;
        Code code;
    } cases[] = {
        {"failed image load",
         {{"failImageLoads", 1}},
         [this] { client_->LoadImage(id_, image_); },
         Code::Refused},
        {"busy database, no retries", {{"busyDbDownloads", 1}}, [this] { SendDb(0); }, Code::Busy},
        {"busy beyond the retries", {{"busyDbDownloads", 3}}, [this] { SendDb(2); }, Code::Busy},
        {"silent unit", {{"silent", true}}, [this] { client_->Wink(id_); }, Code::NoAnswer},
        {"silent during a transfer", {{"silent", true}}, [this] { SendDb(0); }, Code::NoAnswer},
        {"refused commissioning",
         {{"refuseCommission", true}},
         [this] { client_->Commission(id_); },
         Code::Refused},
        {"link dropped in an image load",
         {{"dropAfterBytes", 1000}},
         [this] { client_->LoadImage(id_, image_); },
         Code::Aborted},
        {"link dropped in a transfer",
         {{"dropAfterBytes", 100}},
         [this] {
             const auto x = client_->OpenTransfer(id_, 4);
             client_->Write(x, vqtest::EventList());
         },
         Code::Aborted},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        client_->Repair(id_);
        client_->Break(id_, c.fault);
        const auto start = Clock::now();
        EXPECT_EQ(CodeOf([&] { c.call(); }), c.code);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    }
}

// After the fault is used up the same call succeeds, and the unit holds the good bytes.
TEST_P(FaultTest, CountedFaultsRunOut) {
    client_->Break(id_, {{"failImageLoads", 2}});
    const Bytes next = MakeApb(kVq70ProgramId, PatternBody(4096, 99));
    EXPECT_EQ(CodeOf([&] { client_->LoadImage(id_, next); }), Code::Refused);
    EXPECT_EQ(CodeOf([&] { client_->LoadImage(id_, next); }), Code::Refused);
    EXPECT_EQ(client_->Inspect(id_).image, image_);
    client_->LoadImage(id_, next);
    EXPECT_EQ(client_->Inspect(id_).image, next);
}

// Busy answers and a dropped link are retried at the chunk that failed; the
// unit ends with the whole database, once.
TEST_P(FaultTest, SendFileResumesAtTheFailedChunk) {
    struct Case {
        const char* name;
        Json fault;
    } cases[] = {{"busy twice", {{"busyDbDownloads", 2}}},
                 {"link dropped mid-file", {{"dropAfterBytes", 150}}}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        client_->Repair(id_);
        client_->Break(id_, c.fault);
        SendDb(2);
        const UnitMemory m = client_->Inspect(id_);
        EXPECT_EQ(m.database, db_);
        EXPECT_EQ(m.unit.raw["faults"]["busyDbDownloads"], 0);
        EXPECT_EQ(m.unit.raw["faults"]["dropAfterBytes"], -1);
    }
}

// A slow load reports progress while it runs and stops soon after a cancel.
TEST_P(FaultTest, CancelStopsASlowLoadAndProgressFlows) {
    client_->SetRate(1, 78125);
    const Bytes big = MakeApb(kVq70ProgramId, PatternBody(64 * 1024, 5));  // about 7 s at this rate
    std::atomic<bool> cancel{false};
    int ticks = 0;
    Clock::time_point last = Clock::now();
    std::chrono::nanoseconds widest{0};
    CallOptions opts;
    opts.cancel = &cancel;
    opts.progress = [&] {
        ++ticks;
        widest = std::max<std::chrono::nanoseconds>(widest, Clock::now() - last);
        last = Clock::now();
    };
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        cancel = true;
    });
    const auto start = Clock::now();
    EXPECT_EQ(CodeOf([&] { client_->LoadImage(id_, big, opts); }), Code::Aborted);
    canceller.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_GE(ticks, 4);
    EXPECT_LT(widest, std::chrono::milliseconds(250));  // generous: only that it keeps flowing
    EXPECT_EQ(client_->Inspect(id_).image, image_);
}

INSTANTIATE_TEST_SUITE_P(Field, FaultTest, ::testing::Values(vqtest::Via::InProcess, vqtest::Via::Daemon),
                         vqtest::ViaName);

}  // namespace
