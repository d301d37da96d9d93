// The compiled form: the worked example of docs/qpx-format.md, the .x text,
// and the loader's refusals of malformed programs.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "QplFixtures.h"

namespace {

using namespace qpx;

// The fenced block of the given kind ("```qpl") in the format document.
std::string DocBlock(const std::string& kind) {
    std::ifstream in(std::string(getenv("VQ_SOURCE_DIR")) + "/docs/qpx-format.md");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string doc = ss.str();
    const std::size_t start = doc.find("```" + kind + "\n");
    if (start == std::string::npos) return {};
    const std::size_t body = start + kind.size() + 4;
    return doc.substr(body, doc.find("```", body) - body);
}

TEST(Format, TheWorkedExampleOfTheDocument) {
    const std::string types = DocBlock("qpt"), source = DocBlock("qpl"), dump = DocBlock("dump");
    std::string hex;
    for (char c : DocBlock("hex"))
        if (c != ' ' && c != '\n') hex += c;
    ASSERT_FALSE(types.empty() || source.empty() || hex.empty() || dump.empty());

    qpicg::TypeSet t;
    qpicg::Diagnostic d;
    ASSERT_TRUE(qpicg::ParseTypes(types, "example.qpt", &t, &d)) << d.Text();
    const auto r = qpicg::Compile(source, "found.qpl", t);
    ASSERT_TRUE(r.ok) << r.error.Text();
    EXPECT_EQ(ToHex(Encode(r.program)), hex);
    EXPECT_EQ(hex.size(), 282u);

    const auto bytes = FromHex(hex);
    ASSERT_TRUE(bytes);
    Program p;
    std::string error;
    ASSERT_TRUE(Load(bytes->data(), bytes->size(), &p, &error)) << error;
    EXPECT_EQ(Disassemble(p), dump);
}

TEST(Format, HexText) {
    EXPECT_EQ(ToHex({0x00, 0x1F, 0xA0, 0xFF}), "001FA0FF");
    EXPECT_EQ(FromHex("001fA0FF"), (std::vector<std::uint8_t>{0x00, 0x1F, 0xA0, 0xFF}));
    EXPECT_EQ(FromHex("0A\r\n"), std::vector<std::uint8_t>{0x0A});
    EXPECT_EQ(FromHex("0A\n"), std::vector<std::uint8_t>{0x0A});
    EXPECT_FALSE(FromHex("0A0"));
    EXPECT_FALSE(FromHex("0G"));
    EXPECT_FALSE(FromHex("0A 0B"));
    EXPECT_FALSE(FromHex("0A\n\n"));
}

// A valid program to break: two variables, an input and an output, a handler.
Program Valid() {
    Program p;
    p.constants = {100000};
    p.variables = {{"a", 0}, {"b", 5}};
    p.networkVariables = {{"inX", Direction::In, 0, 10}, {"outY", Direction::Out, -5, 5}};
    p.handlers = {{EventKind::Pin, 0, 0}};
    p.code = {kLoadV, 0, 0, kPushK, 0, 0, kAdd, kStoreN, 1, 0, kRet};
    return p;
}

std::string Refusal(const std::vector<std::uint8_t>& bytes) {
    Program p;
    std::string error;
    if (Load(bytes.data(), bytes.size(), &p, &error)) return "accepted";
    return error;
}

std::string Refusal(const std::function<void(Program&)>& change) {
    Program p = Valid();
    change(p);
    return Refusal(Encode(p));
}

TEST(Format, TheValidProgramLoadsWithOrWithoutPadding) {
    auto bytes = Encode(Valid());
    EXPECT_EQ(Refusal(bytes), "accepted");
    bytes.push_back(0);  // the zero byte a load adds
    EXPECT_EQ(Refusal(bytes), "accepted");
}

struct BytesCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    const char* error;
};

const BytesCase kBytesCases[] = {
    {"empty", [](auto& b) { b.clear(); }, "the program is empty"},
    {"short header", [](auto& b) { b.resize(10); }, "the header is cut short"},
    {"no magic", [](auto& b) { b[0] = 'X'; }, "it is not a compiled program (no QPX header)"},
    {"text instead of bytes",
     [](auto& b) {
         b.assign({'5', '1', '5', '0', '5', '8', '0', '1', '0', '0', '0', '0', '0', '0', '0', '0', '0'});
     },
     "it is not a compiled program (no QPX header)"},
    {"version", [](auto& b) { b[3] = 2; }, "its format version 2 is not version 1"},
    {"constants cut", [](auto& b) { b[4] = 0xFF; }, "the constant table is cut short"},
    {"one variable more", [](auto& b) { b[6] = 3; }, "variable 2 has no valid name"},
    {"handlers cut", [](auto& b) { b[10] = 0x40; }, "the handler table is cut short"},
    {"code cut", [](auto& b) { b.resize(b.size() - 1); }, "the code is cut short"},
    {"bytes after the end", [](auto& b) { b.push_back(0), b.push_back(7); },
     "there are bytes after the end of the program"},
};

TEST(Format, RefusesMalformedBytes) {
    for (const auto& c : kBytesCases) {
        auto bytes = Encode(Valid());
        c.change(bytes);
        EXPECT_EQ(Refusal(bytes), c.error) << c.name;
    }
}

struct ProgramCase {
    const char* name;
    std::function<void(Program&)> change;
    const char* error;
};

const ProgramCase kProgramCases[] = {
    {"variable name", [](Program& p) { p.variables[1].name = "9b"; }, "variable 1 has no valid name"},
    {"empty name", [](Program& p) { p.networkVariables[0].name = ""; },
     "network variable 0 has no valid name"},
    {"empty range", [](Program& p) { p.networkVariables[1].min = 6; },
     "network variable outY has a bad direction or range"},
    {"direction", [](Program& p) { p.networkVariables[1].direction = Direction(2); },
     "network variable outY has a bad direction or range"},
    {"name twice", [](Program& p) { p.networkVariables[1].name = "inX"; },
     "network variable inX is listed twice"},
    {"event kind", [](Program& p) { p.handlers[0].kind = EventKind(7); },
     "handler 0 is for no event a unit has"},
    {"code of a pin", [](Program& p) { p.handlers[0].code = 1; }, "handler 0 is for no event a unit has"},
    {"timer 16",
     [](Program& p) {
         p.handlers[0] = {EventKind::Timer, 16, 0};
     },
     "handler 0 is for no event a unit has"},
    {"update of an output",
     [](Program& p) {
         p.handlers[0] = {EventKind::Update, 1, 0};
     },
     "handler 0 is for no event a unit has"},
    {"same event twice",
     [](Program& p) {
         p.handlers.push_back({EventKind::Pin, 0, 10});
     },
     "handler 1 handles an event that an earlier one handles"},
    {"no opcode", [](Program& p) { p.code[6] = 0xEE; }, "byte EE at code offset 6 is no instruction"},
    {"zero opcode", [](Program& p) { p.code.insert(p.code.begin(), 0); },
     "byte 00 at code offset 0 is no instruction"},
    {"operand cut",
     [](Program& p) {
         p.code = {kRet, kPushS, 1};
     },
     "the code ends inside the instruction at offset 1"},
    {"constant", [](Program& p) { p.code[4] = 1; }, "constant 1 at code offset 3 does not exist"},
    {"variable", [](Program& p) { p.code[1] = 2; }, "variable 2 at code offset 0 does not exist"},
    {"network variable", [](Program& p) { p.code[8] = 2; },
     "network variable 2 at code offset 7 does not exist"},
    {"store to an input", [](Program& p) { p.code[8] = 0; },
     "the code at offset 7 writes the input network variable inX"},
    {"timer operand", [](Program& p) { p.code = {kPushS, 1, 0, kTimerStart, 16, kRet}; },
     "timer 16 at code offset 3 does not exist"},
    {"entry outside", [](Program& p) { p.handlers[0].entry = 11; },
     "a handler runs past the end of the code"},
    {"entry inside an instruction", [](Program& p) { p.handlers[0].entry = 1; },
     "a jump or entry at code offset 1 lands inside an instruction"},
    {"jump outside", [](Program& p) { p.code = {kJmp, 0x00, 0x01, 0, 0, kRet}; },
     "the jump at code offset 0 leaves the code"},
    {"jump inside an instruction", [](Program& p) { p.code = {kPushS, 1, 0, kJz, 1, 0, 0, 0, kRet}; },
     "a jump or entry at code offset 1 lands inside an instruction"},
    {"runs off the end", [](Program& p) { p.code = {kPushS, 1, 0, kStoreV, 0, 0}; },
     "a handler runs past the end of the code"},
    {"empty stack", [](Program& p) { p.code = {kPushS, 1, 0, kAdd, kStoreV, 0, 0, kRet}; },
     "the instruction at code offset 3 takes from an empty stack"},
    {"values left",
     [](Program& p) {
         p.code = {kPushS, 1, 0, kRet};
     },
     "the handler returns at code offset 3 with values on the stack"},
    {"depth by path",
     [](Program& p) {
         // The jump arrives at RET with the 9 still on the stack, the other path without it.
         p.code = {kPushS, 9, 0, kLoadV, 0, 0, kJz, 14, 0, 0, 0, kStoreV, 1, 0, kRet};
     },
     "the stack depth at code offset 14 depends on the path"},
    {"stack overflow",
     [](Program& p) {
         p.code.clear();
         for (int i = 0; i < 33; ++i) p.code.insert(p.code.end(), {kPushS, 0, 0});
         p.code.push_back(kRet);
     },
     "the code at offset 96 needs more than 32 stack slots"},
};

TEST(Format, RefusesMalformedPrograms) {
    for (const auto& c : kProgramCases) EXPECT_EQ(Refusal(c.change), c.error) << c.name;
}

TEST(Format, ALoopThatKeepsItsDepthIsValid) {
    EXPECT_EQ(Refusal([](Program& p) { p.code = {kLoadV, 0, 0, kJz, 13, 0, 0, 0, kJmp, 0, 0, 0, 0, kRet}; }),
              "accepted");
}

}  // namespace
