// The interpreter: programs run against event sequences, with the variables
// and outputs they must end with; faults and the step limit.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "QplFixtures.h"

namespace {

using qpltest::Build;

// Steps: "start", "pin", "commission", "event N", "advance MS", "input NAME VALUE".
void Play(qpvm::Machine& m, const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        std::istringstream in(step);
        std::string verb;
        in >> verb;
        if (verb == "start")
            m.Handle({qpx::EventKind::Start, 0});
        else if (verb == "pin")
            m.Handle({qpx::EventKind::Pin, 0});
        else if (verb == "commission")
            m.Handle({qpx::EventKind::Commission, 0});
        else if (verb == "event") {
            int code;
            in >> code;
            m.Handle({qpx::EventKind::Event, std::uint16_t(code)});
        } else if (verb == "advance") {
            std::uint64_t ms;
            in >> ms;
            m.Advance(ms);
        } else if (verb == "input") {
            std::string name;
            int value;
            in >> name >> value;
            EXPECT_TRUE(m.WriteInput(name, value)) << step;
        } else {
            ADD_FAILURE() << "bad step " << step;
        }
    }
}

std::map<std::string, std::int32_t> Variables(const qpvm::Machine& m) {
    std::map<std::string, std::int32_t> v;
    for (std::size_t i = 0; i < m.program().variables.size(); ++i)
        v[m.program().variables[i].name] = m.Variable(i);
    return v;
}

// "outLoadState=3@0" for a network variable, "event 16@1000" for an event.
std::vector<std::string> Outputs(const qpvm::Machine& m) {
    std::vector<std::string> out;
    for (const auto& o : m.recentOutputs()) {
        if (o.kind == qpvm::Output::Kind::Event)
            out.push_back("event " + std::to_string(o.index) + "@" + std::to_string(o.time));
        else
            out.push_back(m.program().networkVariables[o.index].name + "=" + std::to_string(o.value) + "@" +
                          std::to_string(o.time));
    }
    return out;
}

struct RunCase {
    const char* name;
    const char* source;
    std::vector<std::string> steps;
    std::map<std::string, std::int32_t> variables;
    std::vector<std::string> outputs;
};

const char* kCounter = R"(
var seen = 0;
when event 8 {
    seen += 1;
    outLoadState = seen;
    if seen == 3 { send event 16; }
}
when pin { seen = 0; }
)";

const char* kDebounce = R"(
var pending = 0;
var reports = 0;
when event 10 {
    pending = 1;
    start timer 2 after 500;
}
when event 9 { stop timer 2; pending = 0; }
when timer 2 {
    pending = 0;
    reports += 1;
    outAlarm = alarm_high;
    send event 10 + 100;
}
)";

const char* kInputs = R"(
var resets = 0;
when update inRequest {
    if inRequest == rq_reset { resets += 1; outAlarm = alarm_none; }
    else if inRequest == rq_disabled { outAlarm = alarm_low; }
}
when update inLevel { outLoadState = inLevel * 1000; outRaw = inLevel - 200; }
)";

const char* kArithmetic = R"(
var big = 2147483647;
var q; var r; var n; var t;
when start {
    big += 1;
    q = -7 / 2;
    r = -7 % 2;
    n = -2147483648 / -1;
    t = (3 > 2) + (2 > 3) + not 0 + (1 and 0) + (0 or 5);
}
)";

const RunCase kRunCases[] = {
    {"counter",
     kCounter,
     {"event 8", "event 8", "event 7", "event 8", "event 8"},
     {{"seen", 4}},
     {"outLoadState=1@0", "outLoadState=2@0", "outLoadState=3@0", "event 16@0", "outLoadState=4@0"}},
    {"counter reset by pin",
     kCounter,
     {"event 8", "pin", "event 8"},
     {{"seen", 1}},
     {"outLoadState=1@0", "outLoadState=1@0"}},
    {"debounce fires after 500 ms",
     kDebounce,
     {"event 10", "advance 499", "advance 1", "advance 1000"},
     {{"pending", 0}, {"reports", 1}},
     {"outAlarm=2@500", "event 110@500"}},
    {"debounce cancelled",
     kDebounce,
     {"event 10", "advance 300", "event 9", "advance 1000"},
     {{"pending", 0}, {"reports", 0}},
     {}},
    {"debounce restarted",
     kDebounce,
     {"event 10", "advance 300", "event 10", "advance 300", "advance 200"},
     {{"pending", 0}, {"reports", 1}},
     {"outAlarm=2@800", "event 110@800"}},
    {"inputs and clamping",
     kInputs,
     {"input inRequest 8", "input inRequest 1", "input inLevel 250"},
     {{"resets", 1}},
     // inLevel is clamped to 100 on the way in, outLoadState to 65535 on the way out.
     {"outAlarm=0@0", "outAlarm=1@0", "outLoadState=65535@0", "outRaw=-100@0"}},
    {"arithmetic wraps and truncates",
     kArithmetic,
     {"start"},
     {{"big", INT32_MIN}, {"q", -3}, {"r", -1}, {"n", INT32_MIN}, {"t", 3}},
     {}},
};

class VmRuns : public testing::TestWithParam<RunCase> {};

TEST_P(VmRuns, EndsWithTheVariablesAndOutputs) {
    qpvm::Machine m(Build(GetParam().source));
    Play(m, GetParam().steps);
    EXPECT_EQ(Variables(m), GetParam().variables);
    EXPECT_EQ(Outputs(m), GetParam().outputs);
    EXPECT_EQ(m.faults(), 0u) << m.lastFault();
}

INSTANTIATE_TEST_SUITE_P(Programs, VmRuns, testing::ValuesIn(kRunCases), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
});

TEST(Vm, AnEndlessLoopIsCutOffAndTheUnitGoesOn) {
    qpvm::Limits limits;
    limits.stepsPerEvent = 1000;
    qpvm::Machine m(Build("var spins; var later;\nwhen pin { while 1 { spins += 1; } later = 1; }\n"
                          "when event 3 { later = 2; }\n"),
                    limits);
    EXPECT_TRUE(m.Handle({qpx::EventKind::Pin, 0}));
    EXPECT_EQ(m.faults(), 1u);
    EXPECT_NE(m.lastFault().find("step limit of 1000 reached"), std::string::npos) << m.lastFault();
    EXPECT_GT(m.Variable(0), 50);  // it did run
    EXPECT_EQ(m.Variable(1), 0);   // and stopped inside the loop
    EXPECT_TRUE(m.Handle({qpx::EventKind::Event, 3}));
    EXPECT_EQ(m.Variable(1), 2);
}

TEST(Vm, ATimerThatRestartsItselfAtOnceCannotHoldUpAdvance) {
    qpvm::Limits limits;
    limits.timerEventsPerAdvance = 50;
    qpvm::Machine m(Build("var ticks;\nwhen start { start timer 0 after 0; }\n"
                          "when timer 0 { ticks += 1; start timer 0 after 0; }\n"),
                    limits);
    m.Handle({qpx::EventKind::Start, 0});
    m.Advance(1000000);
    EXPECT_EQ(m.Variable(0), 50);
    EXPECT_EQ(m.now(), 1000000u);
    // The timer is still due: it runs once more, at the clock, and is then
    // due a millisecond after it.
    m.Advance(0);
    EXPECT_EQ(m.Variable(0), 51);
    EXPECT_EQ(m.TimerDue(0), 1000001u);
}

TEST(Vm, ARuntimeFaultEndsOnlyThatHandler) {
    qpvm::Machine m(
        Build("var d; var x = 1;\nwhen event 1 { x = 10 / d; x = 5; }\n"
              "when event 2 { send event x - 2; x = 6; }\nwhen event 3 { x = 7; }\n"));
    m.Handle({qpx::EventKind::Event, 1});
    EXPECT_EQ(m.Variable(1), 1);
    EXPECT_NE(m.lastFault().find("division by zero"), std::string::npos);
    m.Handle({qpx::EventKind::Event, 2});
    EXPECT_EQ(m.Variable(1), 1);
    EXPECT_NE(m.lastFault().find("event code -1 out of range"), std::string::npos);
    m.Handle({qpx::EventKind::Event, 3});
    EXPECT_EQ(m.Variable(1), 7);
    EXPECT_EQ(m.faults(), 2u);
    EXPECT_EQ(m.outputsSent(), 0u);
}

TEST(Vm, TheDefaultProgramIsAValidEmptyProgram) {
    // 40 zero bytes, and the same with the closing zero byte a load adds.
    for (std::size_t size : {40, 41}) {
        const std::vector<std::uint8_t> block(size, 0);
        qpx::Program p;
        std::string error;
        ASSERT_TRUE(qpx::Load(block.data(), block.size(), &p, &error)) << error;
        EXPECT_TRUE(p.Empty());
        qpvm::Machine m(std::move(p));
        EXPECT_FALSE(m.Handle({qpx::EventKind::Pin, 0}));
        EXPECT_FALSE(m.WriteInput("inRequest", 1));
        m.Advance(10);
        EXPECT_EQ(
            m.StateJson(),
            "{\"variables\":{},\"networkVariables\":{},\"lastEvent\":{\"kind\":\"pin\",\"code\":0,"
            "\"handled\":false},\"eventsHandled\":0,\"outputsSent\":0,\"recentOutputs\":[],\"faults\":0,"
            "\"lastFault\":\"\"}");
    }
}

TEST(Vm, StateShowsVariablesLastEventAndOutputs) {
    qpvm::Limits limits;
    limits.outputsKept = 2;
    qpvm::Machine m(Build(kCounter), limits);
    Play(m, {"event 8", "event 8", "event 8", "event 5"});
    EXPECT_EQ(m.outputsSent(), 4u);
    EXPECT_EQ(m.eventsHandled(), 3u);
    EXPECT_EQ(
        m.StateJson(),
        "{\"variables\":{\"seen\":3},\"networkVariables\":{\"outLoadState\":3},\"lastEvent\":{\"kind\":"
        "\"event\",\"code\":5,\"handled\":false},\"eventsHandled\":3,\"outputsSent\":4,\"recentOutputs\":["
        "{\"networkVariable\":\"outLoadState\",\"value\":3,\"time\":0},{\"event\":16,\"time\":0}],"
        "\"faults\":0,\"lastFault\":\"\"}");
}

}  // namespace
