// Type files: what they declare, and the faults they are refused for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "QplFixtures.h"

namespace {

TEST(TypeFile, DeclaresTypesAndNetworkVariables) {
    const auto& t = qpltest::Types();
    const int alarm = t.FindType("alarm");
    ASSERT_GT(alarm, 0);
    EXPECT_EQ(t.types[alarm].kind, qpicg::Type::Kind::Enum);
    EXPECT_EQ(t.types[alarm].values.size(), 3u);
    EXPECT_EQ(t.enumValues.at("alarm_high"), std::make_pair(alarm, 2));
    const int count = t.FindType("count");
    EXPECT_EQ(t.types[count].min, 0);
    EXPECT_EQ(t.types[count].max, 65535);
    ASSERT_EQ(t.networkVariables.size(), 5u);
    EXPECT_EQ(t.networkVariables[2].name, "outLoadState");
    EXPECT_EQ(t.networkVariables[2].direction, qpx::Direction::Out);
    EXPECT_EQ(t.networkVariables[4].type, 0);  // the built-in int
}

struct TypeErrorCase {
    const char* text;
    const char* error;
};

const TypeErrorCase kTypeErrors[] = {
    {"", "1:1: expected the header 'qpl-types 1'"},
    {"# only a comment\n", "1:1: expected the header 'qpl-types 1'"},
    {"qpl-types 2\n", "1:1: expected the header 'qpl-types 1'"},
    {"\xEF\xBB\xBFqpl-types 1\r\ntype a range 0\r\n", "2:8: expected 'range MIN MAX'"},
    {"qpl-types 1\ntypo x range 0 1\n", "2:1: unknown statement 'typo'"},
    {"qpl-types 1\ntype 9x range 0 1\n", "2:6: '9x' is not a name"},
    {"qpl-types 1\ntype a range 5 1\n", "2:14: the range is empty"},
    {"qpl-types 1\ntype a range 0 4294967296\n", "2:16: '4294967296' is not a 32-bit integer"},
    {"qpl-types 1\ntype a range 0 1 2\n", "2:18: unexpected '2' at the end of the statement"},
    {"qpl-types 1\ntype a range 0 1\ntype a range 0 2\n", "3:6: type 'a' is already defined"},
    {"qpl-types 1\ntype int range 0 1\n", "2:6: type 'int' is already defined"},
    {"qpl-types 1\ntype a set 0 1\n", "2:8: expected 'range' or 'enum', found 'set'"},
    {"qpl-types 1\ntype a enum\n", "2:8: an enumeration needs at least one value"},
    {"qpl-types 1\ntype a enum on=1 off\n", "2:18: expected NAME=VALUE, found 'off'"},
    {"qpl-types 1\ntype a enum yes=1 yes=2\n", "2:19: 'yes' is already a value of type 'a'"},
    {"qpl-types 1\ntype a enum while=1\n", "2:13: 'while' is a reserved word"},
    {"qpl-types 1\nnv inX nosuch in\n", "2:8: unknown type 'nosuch'"},
    {"qpl-types 1\nnv inX int both\n", "2:12: expected 'in' or 'out', found 'both'"},
    {"qpl-types 1\nnv inX int in\nnv inX int out\n", "3:4: 'inX' is already a network variable"},
    {"qpl-types 1\ntype a enum inX=1\nnv inX int in\n", "3:4: 'inX' is already a value of type 'a'"},
};

class TypeFileErrors : public testing::TestWithParam<TypeErrorCase> {};

TEST_P(TypeFileErrors, PointsAtTheFault) {
    qpicg::TypeSet t;
    qpicg::Diagnostic d;
    ASSERT_FALSE(qpicg::ParseTypes(GetParam().text, "x.qpt", &t, &d));
    EXPECT_EQ(d.file, "x.qpt");
    EXPECT_EQ(std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Texts, TypeFileErrors, testing::ValuesIn(kTypeErrors));

TEST(TypeFile, AFolderIsReadInNameOrderSoLaterFilesUseEarlierTypes) {
    const auto dir = std::filesystem::temp_directory_path() / ("qpt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "b.qpt") << "qpl-types 1\nnv inFlow flow in\n";
    std::ofstream(dir / "a.qpt") << "qpl-types 1\ntype flow range 0 500\n";
    std::ofstream(dir / "notes.txt") << "not a type file\n";
    qpicg::TypeSet t;
    qpicg::Diagnostic d;
    EXPECT_TRUE(qpicg::LoadTypeFolder(dir.string(), &t, &d)) << d.Text();
    ASSERT_EQ(t.networkVariables.size(), 1u);
    EXPECT_EQ(t.types[t.networkVariables[0].type].max, 500);

    std::filesystem::remove_all(dir);
    EXPECT_FALSE(qpicg::LoadTypeFolder(dir.string(), &t, &d));
    EXPECT_EQ(d.line, 0);
    EXPECT_NE(d.Text().find("cannot read the type folder"), std::string::npos);
}

TEST(TypeFile, TheDemoTypeFileCompilesAProgram) {
    qpicg::TypeSet t;
    qpicg::Diagnostic d;
    ASSERT_TRUE(qpicg::LoadTypeFolder(std::string(getenv("VQ_SOURCE_DIR")) + "/demo/types", &t, &d))
        << d.Text();
    const auto r = qpicg::Compile(
        "when event 12 { outLoadState += 1; }\nwhen update inRequest { if inRequest == rq_reset { outAlarm = "
        "alarm_none; } }\n",
        "demo.qpl", t);
    EXPECT_TRUE(r.ok) << r.error.Text();
}

}  // namespace
