// The qpicg command: help, version, wrong options, and compile -> dump.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "QplFixtures.h"

namespace {

struct ToolRun {
    int code = -1;
    QString out, err;
};

ToolRun Qpicg(const QStringList& args) {
    QProcess p;
    p.start(QString::fromLocal8Bit(getenv("VQ_TEST_BIN_DIR")) + "/qpicg", args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(Tool, HelpVersionAndWrongOptions) {
    const ToolRun help = Qpicg({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* s : {"compile", "dump", "Exit codes", "2  wrong command line"})
        EXPECT_TRUE(help.out.contains(s)) << s;
    EXPECT_EQ(Qpicg({"-h"}).code, 0);
    const ToolRun version = Qpicg({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.startsWith("qpicg 1.0"));
    EXPECT_EQ(Qpicg({"--bogus"}).code, 2);
    EXPECT_EQ(Qpicg({}).code, 2);
    EXPECT_EQ(Qpicg({"compile"}).code, 2);
    EXPECT_EQ(Qpicg({"frobnicate", "x"}).code, 2);
}

TEST(Tool, CompileThenDump) {
    QTemporaryDir dir;
    Write(dir.path() + "/unit.qpt", qpltest::kTypes);
    Write(
        dir.path() + "/count.qpl",
        "var n = 2;\nwhen pin { n += 1; }\nwhen update inRequest { if inRequest == rq_reset { outLoadState = "
        "70000 - 5000; } }\n");
    const ToolRun compile = Qpicg({"compile", dir.path() + "/count.qpl", "--types", dir.path()});
    ASSERT_EQ(compile.code, 0) << compile.err.toStdString();
    ASSERT_TRUE(QFile::exists(dir.path() + "/count.x"));
    const ToolRun dump = Qpicg({"dump", dir.path() + "/count.x"});
    EXPECT_EQ(dump.code, 0);
    EXPECT_EQ(dump.out.toStdString(),
              "const #0 = 70000\n"
              "var n = 2\n"
              "nv inRequest in 0..8\n"
              "nv outLoadState out 0..65535\n"
              "when pin:\n"
              "0000  LOADV n\n0003  PUSHS 1\n0006  ADD\n0007  STOREV n\n000A  RET\n"
              "when update inRequest:\n"
              "000B  LOADN inRequest\n000E  PUSHS 8\n0011  EQ\n0012  JZ 0021\n"
              "0017  PUSHK #0 (70000)\n001A  PUSHS 5000\n001D  SUB\n001E  STOREN outLoadState\n0021  RET\n");
}

TEST(Tool, ReportsErrorsWithTheirPlace) {
    QTemporaryDir dir;
    Write(dir.path() + "/unit.qpt", qpltest::kTypes);
    Write(dir.path() + "/bad.qpl", "when pin {\n  outAlarm = 3;\n}\n");
    const ToolRun compile =
        Qpicg({"compile", dir.path() + "/bad.qpl", "-t", dir.path(), "-o", dir.path() + "/o.x"});
    EXPECT_EQ(compile.code, 1);
    EXPECT_EQ(compile.err.toStdString(),
              dir.path().toStdString() + "/bad.qpl:2:14: cannot assign int to 'outAlarm' of type 'alarm'\n");
    EXPECT_FALSE(QFile::exists(dir.path() + "/o.x"));

    EXPECT_EQ(Qpicg({"compile", dir.path() + "/none.qpl", "-t", dir.path()}).code, 3);
    EXPECT_EQ(Qpicg({"dump", dir.path() + "/none.x"}).code, 3);
    Write(dir.path() + "/odd.x", "51505");
    const ToolRun odd = Qpicg({"dump", dir.path() + "/odd.x"});
    EXPECT_EQ(odd.code, 1);
    EXPECT_TRUE(odd.err.contains("pairs of hexadecimal digits")) << odd.err.toStdString();
    Write(dir.path() + "/short.x", "5150580100");
    const ToolRun bad = Qpicg({"dump", dir.path() + "/short.x"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.endsWith("not a valid program: the header is cut short\n")) << bad.err.toStdString();
    Write(dir.path() + "/default.x", QByteArray(80, '0'));
    const ToolRun empty = Qpicg({"dump", dir.path() + "/default.x"});
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.out, "empty program\n");
}

}  // namespace
