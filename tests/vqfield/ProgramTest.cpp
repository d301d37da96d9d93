// A unit runs the program it is sent with kind 8: programs compiled from
// QPL source, driven by the unit's events, the network and its clock; what
// a unit refuses and what it keeps; programs that would hang a unit; the
// program state in the status, also through `vqsim` itself.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FieldFixture.h"
#include "vqfield/apb.h"

using namespace vqfield;
using vqtest::CodeOf;
using vqtest::Compiled;
using vqtest::FieldTest;

namespace {

// Counts devices found, raises an alarm after three, and reports a device
// that stays missing for two seconds.
const char* kDemo = R"(
var found = 0;
var starts = 0;
var commissions = 0;
var missing = 0;

when start { starts += 1; }
when commission { commissions += 1; }

when event 8 {
    found += 1;
    outLoadState = found;
    if found >= 3 and inRequest == rq_normal {
        outAlarm = alarm_high;
        send event 16;
    }
}

when pin {
    found = 0;
    outAlarm = alarm_none;
}

when event 10 {
    missing = 1;
    start timer 0 after 2000;
}

when timer 0 {
    if missing { send event 110; }
}

when update inRequest {
    if inRequest == rq_reset { found = 0; outLoadState = 0; }
}
)";

class ProgramTest : public FieldTest {
protected:
    // A commissioned unit, ready for transfers.
    std::string Unit() {
        const std::string id = client_->AddUnit(kVq70ProgramId);
        client_->LoadImage(id, MakeApb(kVq70ProgramId, PatternBody(512)));
        client_->Commission(id);
        return id;
    }
    void Send(const std::string& id, const Bytes& program) {
        const auto t = client_->OpenTransfer(id, 8);
        client_->Write(t, program);
        client_->Close(t);
    }
    Json State(const std::string& id) { return client_->Inspect(id).unit.raw["programState"]; }
};

TEST_P(ProgramTest, CompiledProgramRunsOnTheUnitsEvents) {
    const std::string id = Unit();
    EXPECT_TRUE(State(id).is_null());  // nothing received yet
    Send(id, Compiled(kDemo));

    Json st = State(id);
    EXPECT_EQ(st["variables"]["starts"], 1);
    EXPECT_EQ(st["variables"]["commissions"], 0);  // it was commissioned before the program came
    EXPECT_EQ(st["lastEvent"], (Json{{"kind", "start"}, {"code", 0}, {"handled", true}}));
    EXPECT_EQ(st["empty"], false);

    EXPECT_TRUE(client_->RaiseEvent(id, 8));
    EXPECT_TRUE(client_->RaiseEvent(id, 8));
    st = State(id);
    EXPECT_EQ(st["networkVariables"]["outLoadState"], 2);
    EXPECT_EQ(st["networkVariables"]["outAlarm"], 0);
    EXPECT_TRUE(client_->RaiseEvent(id, 8));
    st = State(id);
    EXPECT_EQ(st["variables"]["found"], 3);
    EXPECT_EQ(st["networkVariables"]["outAlarm"], 2);  // alarm_high
    EXPECT_EQ(st["outputsSent"], 5);                   // three counts, the alarm, event 16
    ASSERT_FALSE(st["recentOutputs"].empty());
    EXPECT_EQ(st["recentOutputs"].back()["event"], 16);

    EXPECT_FALSE(client_->RaiseEvent(id, 99));  // no handler: nothing changes
    EXPECT_EQ(State(id)["lastEvent"], (Json{{"kind", "event"}, {"code", 99}, {"handled", false}}));

    client_->PressServicePin(id);
    st = State(id);
    EXPECT_EQ(st["variables"]["found"], 0);
    EXPECT_EQ(st["networkVariables"]["outAlarm"], 0);
    EXPECT_EQ(st["lastEvent"]["kind"], "pin");

    client_->Commission(id);
    EXPECT_EQ(State(id)["variables"]["commissions"], 1);

    // The network resets the counter through an input.
    client_->RaiseEvent(id, 8);
    client_->WriteInput(id, "inRequest", 8);  // rq_reset
    st = State(id);
    EXPECT_EQ(st["networkVariables"]["inRequest"], 8);
    EXPECT_EQ(st["variables"]["found"], 0);
    EXPECT_EQ(CodeOf([&] { client_->WriteInput(id, "outAlarm", 1); }), Code::NotFound);  // an output
    EXPECT_EQ(CodeOf([&] { client_->WriteInput(id, "nothing", 1); }), Code::NotFound);

    // The timer runs out two seconds after event 10, as the clock moves on.
    client_->RaiseEvent(id, 10);
    client_->AdvanceClock(id, 1000);
    EXPECT_NE(State(id)["recentOutputs"].back()["event"], 110);
    client_->AdvanceClock(id, 1500);
    st = State(id);
    EXPECT_EQ(st["recentOutputs"].back()["event"], 110);
    EXPECT_EQ(st["lastEvent"], (Json{{"kind", "timer"}, {"code", 0}, {"handled", true}}));
    EXPECT_GE(st["clockMs"].get<std::int64_t>(), 2500);
    EXPECT_EQ(st["faults"], 0);
}

TEST_P(ProgramTest, MalformedProgramIsRefusedAndTheOldOneKept) {
    const std::string id = Unit();
    const Bytes good = Compiled(kDemo);
    Send(id, good);
    client_->RaiseEvent(id, 8);

    const Bytes body = Compiled(kDemo);  // encoded program plus the added zero byte
    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes b = body;
        b[at] = value;
        return b;
    };
    const struct {
        Bytes bytes;
        std::string reason;
    } cases[] = {
        {Bytes(body.begin(), body.begin() + 10), "the header is cut short"},
        {with(0, 'X'), "it is not a compiled program (no QPX header)"},
        {with(3, 2), "its format version 2 is not version 1"},
        {Bytes(body.begin(), body.end() - 4), "the code is cut short"},
        {with(body.size() - 1, 0x7F), "there are bytes after the end of the program"},
        {Bytes(64 * 1024 + 1, 0), "it is larger than the program memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        try {
            Send(id, c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const FieldError& e) {
            EXPECT_EQ(e.code(), Code::Refused);
            EXPECT_EQ(std::string(e.what()), "The VQ refused the interpreted program: " + c.reason + ".");
        }
    }

    // The old program is still there, with its state, and still runs.
    EXPECT_EQ(client_->Inspect(id).program, good);
    EXPECT_TRUE(client_->RaiseEvent(id, 8));
    EXPECT_EQ(State(id)["variables"]["found"], 2);
    EXPECT_EQ(State(id)["variables"]["starts"], 1);
}

TEST_P(ProgramTest, DefaultProgramIsTheEmptyProgram) {
    const std::string id = Unit();
    Send(id, Compiled(kDemo));
    Send(id, Bytes(40, 0));  // replaces the demo program

    const Json st = State(id);
    EXPECT_EQ(st["empty"], true);
    EXPECT_EQ(st["variables"], Json::object());
    EXPECT_EQ(st["networkVariables"], Json::object());
    EXPECT_EQ(st["lastEvent"], (Json{{"kind", "start"}, {"code", 0}, {"handled", false}}));
    EXPECT_FALSE(client_->RaiseEvent(id, 8));
    EXPECT_EQ(client_->Inspect(id).program, Bytes(40, 0));
}

TEST_P(ProgramTest, EndlessProgramsCannotHangTheUnit) {
    const std::string id = Unit();
    Send(id, Compiled(R"(
var spins = 0;
var later = 0;
var ticks = 0;
when event 1 { while 1 { spins += 1; } }
when event 2 { later += 1; }
when event 3 { start timer 5 after 1; }
when timer 5 { ticks += 1; start timer 5 after 1; }
)"));
    EXPECT_TRUE(client_->RaiseEvent(id, 1));
    Json st = State(id);
    EXPECT_GT(st["variables"]["spins"].get<int>(), 0);  // what it stored before the cut stays
    EXPECT_EQ(st["faults"], 1);
    EXPECT_NE(st["lastFault"].get<std::string>().find("step limit"), std::string::npos);

    EXPECT_TRUE(client_->RaiseEvent(id, 2));
    EXPECT_EQ(State(id)["variables"]["later"], 1);

    // A timer that restarts itself every millisecond, and a clock moved on by
    // almost 25 days: each move runs a bounded number of timer handlers.
    client_->RaiseEvent(id, 3);
    client_->AdvanceClock(id, 2147483647);
    st = State(id);
    EXPECT_GT(st["variables"]["ticks"].get<int>(), 0);
    EXPECT_LT(st["variables"]["ticks"].get<int>(), 1000000);
    EXPECT_TRUE(client_->RaiseEvent(id, 2));
    EXPECT_EQ(State(id)["variables"]["later"], 2);
}

INSTANTIATE_TEST_SUITE_P(Field, ProgramTest, ::testing::Values(vqtest::Via::InProcess, vqtest::Via::Daemon),
                         vqtest::ViaName);

// Runs `vqsim ARGS` against a daemon; its standard output, and its exit code in *rc.
std::string Vqsim(const vqtest::Daemon& d, const std::string& args, int* rc) {
    const char* dir = std::getenv("VQ_TEST_BIN_DIR");
    const std::string cmd = std::string(dir ? dir : VQFIELD_BIN_DIR) + "/vqsim --port " +
                            std::to_string(d.port()) + " " + args + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run vqsim");
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(VqsimProgram, StatusShowsEachUnitsProgramState) {
    vqtest::Daemon d(2);
    Client c(Connect(d.endpoint()));
    const auto units = c.Units();
    ASSERT_EQ(units.size(), 2u);
    const std::string id = units[0].sarvikId, other = units[1].sarvikId;
    c.LoadImage(id, MakeApb(kVq70ProgramId, PatternBody(512)));
    c.Commission(id);
    c.SendFile(id, 8, Compiled(kDemo), 64, 0);

    int rc = -1;
    EXPECT_EQ(Vqsim(d, "event " + id + " 8", &rc), "handled\n");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Vqsim(d, "event " + id + " 7", &rc), "no handler\n");
    Vqsim(d, "input " + id + " inRequest 2", &rc);
    EXPECT_EQ(rc, 0);
    Vqsim(d, "input " + id + " outAlarm 2", &rc);
    EXPECT_EQ(rc, 1);  // not an input
    Vqsim(d, "advance " + other + " 10", &rc);
    EXPECT_EQ(rc, 1);  // no program

    const Json st = Json::parse(Vqsim(d, "status --json", &rc));
    ASSERT_EQ(rc, 0);
    for (const Json& u : st["units"]) {
        if (u["sarvikId"] == other) {
            EXPECT_TRUE(u["programState"].is_null());
            continue;
        }
        const Json& p = u["programState"];
        EXPECT_EQ(p["variables"], (Json{{"found", 1}, {"starts", 1}, {"commissions", 0}, {"missing", 0}}));
        EXPECT_EQ(p["networkVariables"]["inRequest"], 2);
        EXPECT_EQ(p["networkVariables"]["outLoadState"], 1);
        EXPECT_EQ(p["lastEvent"]["kind"], "update");
        EXPECT_EQ(p["lastEvent"]["handled"], true);
        EXPECT_EQ(p["eventsHandled"], 3);  // start, event 8, the update of inRequest
        EXPECT_EQ(p["outputsSent"], 1);
        EXPECT_EQ(p["recentOutputs"][0]["networkVariable"], "outLoadState");
        EXPECT_EQ(p["recentOutputs"][0]["value"], 1);
    }
    const std::string text = Vqsim(d, "status", &rc);
    EXPECT_NE(text.find(id + " " + kVq70ProgramId +
                        " ch1 configured state 12 program: 3 events handled, 1 outputs, 0 faults"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(other + " " + std::string(kVq71ProgramId) + " ch1 unconfigured state 12 no program"),
              std::string::npos)
        << text;
}

}  // namespace
