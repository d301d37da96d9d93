// The compiler as tables: a snippet and the instructions it must become; a
// source with an error and the one diagnostic it must give.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "QplFixtures.h"

namespace {

using qpltest::Build;
using qpltest::ErrorOf;

struct CodeCase {
    const char* name;
    const char* source;
    const char* code;  // disassembly of the whole code
};

const CodeCase kCodeCases[] = {
    {"store constant", "var x; when pin { x = 5; }", "0000  PUSHS 5\n0003  STOREV x\n0006  RET\n"},
    {"large constant in the table", "var x; when pin { x = 100000; x = -40000; x = 100000; }",
     "0000  PUSHK #0 (100000)\n0003  STOREV x\n0006  PUSHK #1 (-40000)\n0009  STOREV x\n"
     "000C  PUSHK #0 (100000)\n000F  STOREV x\n0012  RET\n"},
    {"smallest integer", "var x; when pin { x = -2147483648; }",
     "0000  PUSHK #0 (-2147483648)\n0003  STOREV x\n0006  RET\n"},
    {"count with +=", "var n; when event 8 { n += 1; n -= 2; }",
     "0000  LOADV n\n0003  PUSHS 1\n0006  ADD\n0007  STOREV n\n"
     "000A  LOADV n\n000D  PUSHS 2\n0010  SUB\n0011  STOREV n\n0014  RET\n"},
    {"precedence", "var x; when pin { x = 1 + 2 * 3 - 4 % 5; }",
     "0000  PUSHS 1\n0003  PUSHS 2\n0006  PUSHS 3\n0009  MUL\n000A  ADD\n"
     "000B  PUSHS 4\n000E  PUSHS 5\n0011  MOD\n0012  SUB\n0013  STOREV x\n0016  RET\n"},
    {"parentheses and negation", "var x; when pin { x = -(x - 1) / 2; }",
     "0000  LOADV x\n0003  PUSHS 1\n0006  SUB\n0007  NEG\n0008  PUSHS 2\n000B  DIV\n"
     "000C  STOREV x\n000F  RET\n"},
    {"if else", "var x; when pin { if x >= 3 { x = 0; } else { x = 1; } }",
     "0000  LOADV x\n0003  PUSHS 3\n0006  GE\n0007  JZ 0017\n000C  PUSHS 0\n000F  STOREV x\n"
     "0012  JMP 001D\n0017  PUSHS 1\n001A  STOREV x\n001D  RET\n"},
    {"if without else", "var x; when pin { if x != 0 { return; } x = 2; }",
     "0000  LOADV x\n0003  PUSHS 0\n0006  NE\n0007  JZ 000D\n000C  RET\n000D  PUSHS 2\n0010  STOREV x\n"
     "0013  RET\n"},
    {"while", "var x; when pin { while x < 10 { x += 1; } }",
     "0000  LOADV x\n0003  PUSHS 10\n0006  LT\n0007  JZ 001B\n000C  LOADV x\n000F  PUSHS 1\n0012  ADD\n"
     "0013  STOREV x\n0016  JMP 0000\n001B  RET\n"},
    {"and", "var a; var b; when pin { a = a and b; }",
     "0000  LOADV a\n0003  JZ 0018\n0008  LOADV b\n000B  JZ 0018\n0010  PUSHS 1\n0013  JMP 001B\n"
     "0018  PUSHS 0\n001B  STOREV a\n001E  RET\n"},
    {"or and not", "var a; var b; when pin { a = not a or b; }",
     "0000  LOADV a\n0003  NOT\n0004  JNZ 0019\n0009  LOADV b\n000C  JNZ 0019\n0011  PUSHS 0\n"
     "0014  JMP 001C\n0019  PUSHS 1\n001C  STOREV a\n001F  RET\n"},
    {"network variables and enumeration values",
     "when update inRequest { if inRequest == rq_reset { outAlarm = alarm_high; outLoadState = inLevel; } }",
     "0000  LOADN inRequest\n0003  PUSHS 8\n0006  EQ\n0007  JZ 0018\n000C  PUSHS 2\n000F  STOREN outAlarm\n"
     "0012  LOADN inLevel\n0015  STOREN outLoadState\n0018  RET\n"},
    {"send, start and stop timers",
     "when commission { send event 16; start timer 3 after 250; stop timer 15; }",
     "0000  PUSHS 16\n0003  SEND\n0004  PUSHS 250\n0007  TSTART 3\n0009  TSTOP 15\n000B  RET\n"},
    {"handlers one after the other", "var x; when start { } when timer 0 { x = 1; }",
     "0000  RET\n0001  PUSHS 1\n0004  STOREV x\n0007  RET\n"},
};

class CompilerCode : public testing::TestWithParam<CodeCase> {};

TEST_P(CompilerCode, EmitsTheInstructions) {
    const auto p = Build(GetParam().source);
    EXPECT_EQ(qpx::DisassembleCode(p, 0, std::uint32_t(p.code.size())), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Snippets, CompilerCode, testing::ValuesIn(kCodeCases), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
});

TEST(Compiler, TablesHoldOnlyWhatTheProgramUses) {
    const auto p =
        Build("var a = 7;\nvar b = -3;\nwhen event 9 { outRaw = 100000; }\nwhen update inLevel { }\n");
    ASSERT_EQ(p.variables.size(), 2u);
    EXPECT_EQ(p.variables[0].name, "a");
    EXPECT_EQ(p.variables[0].initial, 7);
    EXPECT_EQ(p.variables[1].initial, -3);
    ASSERT_EQ(p.networkVariables.size(), 2u);  // in order of first use
    EXPECT_EQ(p.networkVariables[0].name, "outRaw");
    EXPECT_EQ(p.networkVariables[0].direction, qpx::Direction::Out);
    EXPECT_EQ(p.networkVariables[0].min, INT32_MIN);
    EXPECT_EQ(p.networkVariables[1].name, "inLevel");
    EXPECT_EQ(p.networkVariables[1].max, 100);
    EXPECT_EQ(p.constants, std::vector<std::int32_t>{100000});
    ASSERT_EQ(p.handlers.size(), 2u);
    EXPECT_EQ(p.handlers[0].kind, qpx::EventKind::Event);
    EXPECT_EQ(p.handlers[0].code, 9);
    EXPECT_EQ(p.handlers[1].kind, qpx::EventKind::Update);
    EXPECT_EQ(p.handlers[1].code, 1);  // index of inLevel in the program's table
}

TEST(Compiler, AnEmptySourceIsAnEmptyProgram) {
    const auto p = Build("# nothing yet\n");
    EXPECT_TRUE(p.Empty());
}

struct ErrorCase {
    const char* source;
    const char* error;
};

const ErrorCase kErrorCases[] = {
    {"var x;\nwhen pin { x = 1 }\n", "2:18: expected ';', found '}'"},
    {"when pin { y = 1; }", "1:12: unknown name 'y'"},
    {"var x; when pin { x = z + 1; }", "1:23: unknown name 'z'"},
    {"when pin { abcdefghijabcdefghijabcdefghijabcdefghijabcdefghij = 1; }",
     "1:12: unknown name 'abcdefghijabcdefghijabcdefghijabcdefghij...'"},
    {"when pin {\n  inRequest = rq_normal;\n}", "2:3: 'inRequest' is an input and cannot be written"},
    {"when pin { rq_reset = 1; }", "1:12: 'rq_reset' is a constant and cannot be written"},
    {"var x; when pin { x = inRequest; }", "1:23: cannot assign 'obj_request' to 'x' of type int"},
    {"when pin { outAlarm = 1; }", "1:23: cannot assign int to 'outAlarm' of type 'alarm'"},
    {"when pin { outAlarm = rq_reset; }", "1:23: cannot assign 'obj_request' to 'outAlarm' of type 'alarm'"},
    {"when pin { outLoadState = 70000; }", "1:27: 70000 is outside the range 0 to 65535 of type 'count'"},
    {"when pin { outLoadState = -1; }", "1:27: -1 is outside the range 0 to 65535 of type 'count'"},
    {"when pin { outAlarm += 1; }", "1:21: '+=' needs an int, not 'alarm'"},
    {"var x; when pin { if inRequest == 8 { } }", "1:32: cannot compare 'obj_request' with int"},
    {"var x; when pin { x = outAlarm + 1; }", "1:32: '+' needs an int, not 'alarm'"},
    {"var x; when pin { if outAlarm < alarm_high { } }", "1:31: '<' needs an int, not 'alarm'"},
    {"var x; when pin { x = x and inRequest; }", "1:25: 'and' needs an int, not 'obj_request'"},
    {"when pin { if inRequest { } }", "1:15: a condition must be an int, not 'obj_request'"},
    {"var x; when pin { x = x / 0; }", "1:25: division by zero"},
    {"when pin { send event 70000; }", "1:23: an event code must be 0 to 65535"},
    {"when pin { start timer 16 after 5; }", "1:24: a timer number must be 0 to 15"},
    {"when pin { start timer 1 5; }", "1:26: expected 'after', found '5'"},
    {"when event 65536 { }", "1:12: an event code must be 0 to 65535"},
    {"when update outAlarm { }", "1:13: 'outAlarm' is an output; only inputs are updated by the network"},
    {"when update nothing { }", "1:13: 'nothing' is not a network variable"},
    {"when tick { }", "1:6: expected an event (start, pin, commission, event, timer, update), found 'tick'"},
    {"when event 8 { }\n\nwhen event 8 { }", "3:1: 'when event 8' is already handled at line 1"},
    {"var x;\nvar x;", "2:5: 'x' is already declared at line 1"},
    {"var outRaw;", "1:5: 'outRaw' is a network variable"},
    {"var alarm_low;", "1:5: 'alarm_low' is a value of type 'alarm'"},
    {"var while;", "1:5: 'while' is a reserved word"},
    {"when pin { var y; }", "1:12: variables are declared outside handlers"},
    {"x = 1;", "1:1: expected 'var' or 'when', found 'x'"},
    {"var x = y;", "1:9: expected an integer, found 'y'"},
    {"var x; when pin { x = 2147483648; }", "1:23: number is too large"},
    {"var x; when pin { x = 99999999999; }", "1:23: number is too large"},
    {"var x; when pin { x = 12ab; }", "1:23: malformed number '12ab'"},
    {"var x; when pin { x = 0x; }", "1:23: malformed number '0x'"},
    {"var x; when pin { x = x @ 1; }", "1:25: unexpected character '@'"},
    {"var x; # caf\xc3\xa9\nwhen pin { x = \xc3\xa9; }", "2:16: unexpected byte 0xC3"},
    {"var x; when pin { x = (1 + 2; }", "1:29: expected ')', found ';'"},
    {"var x; when pin { x = ; }", "1:23: expected an expression, found ';'"},
    {"when pin {\n  send event 1;\n", "3:1: expected '}', found end of file"},
    {"var x; when pin { x == 1; }", "1:21: expected '=', '+=' or '-=', found '=='"},
    {"when pin { if 1 { } else return; }", "1:26: expected '{', found 'return'"},
    {"\xEF\xBB\xBFvar x;\r\nwhen pin { x = ; }", "2:16: expected an expression, found ';'"},
};

class CompilerErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(CompilerErrors, PointsAtTheFault) {
    EXPECT_EQ(ErrorOf(GetParam().source), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Sources, CompilerErrors, testing::ValuesIn(kErrorCases));

TEST(Compiler, DeepNestingIsAnErrorNotACrash) {
    std::string deep = "var x; when pin { x = ";
    for (int i = 0; i < 10000; ++i) deep += "(";
    EXPECT_EQ(ErrorOf(deep), "1:71: nested too deeply");
    std::string blocks = "when pin { ";
    for (int i = 0; i < 10000; ++i) blocks += "if 1 { ";
    EXPECT_EQ(ErrorOf(blocks), "1:178: nested too deeply");
}

TEST(Compiler, AnExpressionThatNeedsTooMuchStackIsRefused) {
    // Each parenthesised right operand keeps one more value on the stack.
    std::string source = "var x; when pin { x = 1";
    for (int i = 0; i < 40; ++i) source += " + (1";
    source += std::string(40, ')') + "; }";
    EXPECT_EQ(ErrorOf(source).substr(ErrorOf(source).find(' ') + 1), "expression is too complex");
}

}  // namespace

namespace {

TEST(Compiler, TheExamplesOfTheLanguageDocumentCompileForTheDemoUnit) {
    const std::string root = getenv("VQ_SOURCE_DIR");
    qpicg::TypeSet types;
    qpicg::Diagnostic d;
    ASSERT_TRUE(qpicg::LoadTypeFolder(root + "/demo/types", &types, &d)) << d.Text();
    std::ifstream in(root + "/docs/qpl.md");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string doc = ss.str();
    int examples = 0;
    for (std::size_t at = doc.find("```qpl\n"); at != std::string::npos; at = doc.find("```qpl\n", at + 1)) {
        const std::size_t body = at + 7;
        const auto r = qpicg::Compile(doc.substr(body, doc.find("```", body) - body), "example.qpl", types);
        EXPECT_TRUE(r.ok) << r.error.Text();
        ++examples;
    }
    EXPECT_GE(examples, 3);
}

}  // namespace
