// The plug-in as a host uses it: loaded by path through QLibrary, its four
// entry points found by their plain names.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>

#include "QplFixtures.h"

namespace {

#if defined(_WIN32)
constexpr const char* kPluginFile = "qpicg.dll";
#else
constexpr const char* kPluginFile = "libqpicg.so";
#endif

using InitFn = int (*)(int, const char*);
using FlagFn = int (*)(int, int);
using OptionFn = int (*)(int, const char*);
using CodeGenFn = int (*)(const char*);

class Plugin : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // By its full file name: the bare name "qpicg" is the command beside it.
        m_lib.setFileName(QString::fromLocal8Bit(getenv("VQ_TEST_BIN_DIR")) + "/" + kPluginFile);
        ASSERT_TRUE(m_lib.load()) << m_lib.errorString().toStdString();
        init = reinterpret_cast<InitFn>(m_lib.resolve("QPICGInit"));
        flag = reinterpret_cast<FlagFn>(m_lib.resolve("QPICGSetOptionFlag"));
        option = reinterpret_cast<OptionFn>(m_lib.resolve("QPICGSetOptionString"));
        codeGen = reinterpret_cast<CodeGenFn>(m_lib.resolve("QPICodeGen"));
        ASSERT_TRUE(init && flag && option && codeGen);
        QDir(m_dir.path()).mkdir("types");
        Write("types/unit.qpt", qpltest::kTypes);
        QDir(m_dir.path()).mkdir("IntProg");
    }
    void TearDown() override { m_lib.unload(); }

    std::string Path(const QString& name) const { return (m_dir.path() + "/" + name).toStdString(); }
    void Write(const QString& name, const QByteArray& text) {
        QFile f(m_dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray Read(const QString& name) const {
        QFile f(m_dir.path() + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList Files(const QString& folder) const {
        return QDir(m_dir.path() + "/" + folder).entryList(QDir::Files);
    }

    // The host's sequence: init, options 8, 4, 5, then the code generator.
    int Compile(const QString& source) {
        const std::string base = Path("IntProg/" + source.chopped(4));
        EXPECT_EQ(init(0, Path("bin").c_str()), 1);
        EXPECT_EQ(option(8, Path("types").c_str()), 0);
        option(4, base.c_str());
        EXPECT_EQ(option(5, (base + ".err").c_str()), 0);
        return codeGen(Path("IntProg/" + source).c_str());
    }

    QTemporaryDir m_dir;
    QLibrary m_lib;
    InitFn init = nullptr;
    FlagFn flag = nullptr;
    OptionFn option = nullptr;
    CodeGenFn codeGen = nullptr;
};

TEST_F(Plugin, CompilesToHexTextAndLeavesNoListing) {
    Write("IntProg/prog.qpl", "var n;\nwhen event 8 { n += 1; outLoadState = n; }\n");
    EXPECT_EQ(flag(1, 1), 0);
    ASSERT_EQ(Compile("prog.qpl"), 0);
    const QByteArray text = Read("IntProg/prog.x");
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(QByteArray::fromHex(text).toHex().toUpper() == text) << text.toStdString();
    const auto bytes = qpx::FromHex(text.toStdString());
    ASSERT_TRUE(bytes);
    qpx::Program p;
    std::string error;
    EXPECT_TRUE(qpx::Load(bytes->data(), bytes->size(), &p, &error)) << error;
    EXPECT_EQ(p.handlers.size(), 1u);
    EXPECT_EQ(Files("IntProg"), (QStringList{"prog.qpl", "prog.x"}));
}

TEST_F(Plugin, ReplacesAnEarlierCompiledFile) {
    Write("IntProg/prog.x", "0000");
    Write("IntProg/prog.qpl", "when pin { send event 1; }\n");
    ASSERT_EQ(Compile("prog.qpl"), 0);
    EXPECT_TRUE(Read("IntProg/prog.x").startsWith("515058"));
}

TEST_F(Plugin, AnErrorGoesToTheListingAndLeavesTheOldProgramWhole) {
    Write("IntProg/prog.x", "0000");
    Write("IntProg/prog.qpl", "var n;\nwhen pin {\n    n = n +;\n}\n");
    EXPECT_EQ(Compile("prog.qpl"), 1);
    EXPECT_EQ(Read("IntProg/prog.err").toStdString(),
              Path("IntProg/prog.qpl") + ":3:12: expected an expression, found ';'\n");
    EXPECT_EQ(Read("IntProg/prog.x"), "0000");
    EXPECT_EQ(Files("IntProg"), (QStringList{"prog.err", "prog.qpl", "prog.x"}));  // no temporary file left
}

TEST_F(Plugin, FaultsOutsideTheSourceGoToTheListingToo) {
    EXPECT_EQ(Compile("missing.qpl"), 3);
    EXPECT_TRUE(Read("IntProg/missing.err").contains("cannot read the source file"));

    Write("types/broken.qpt", "qpl-types 1\nnv x nosuch in\n");
    Write("IntProg/prog.qpl", "when pin { }\n");
    EXPECT_EQ(Compile("prog.qpl"), 2);
    EXPECT_EQ(Read("IntProg/prog.err").toStdString(),
              Path("types/broken.qpt") + ":2:6: unknown type 'nosuch'\n");
    EXPECT_FALSE(QFile::exists(m_dir.path() + "/IntProg/prog.x"));
}

TEST_F(Plugin, AnOutputThatCannotBeWrittenFailsCleanly) {
    Write("IntProg/prog.qpl", "when pin { }\n");
    init(0, "");
    option(8, Path("types").c_str());
    option(4, Path("nowhere/prog").c_str());
    ASSERT_EQ(option(5, Path("IntProg/prog.err").c_str()), 0);
    EXPECT_EQ(codeGen(Path("IntProg/prog.qpl").c_str()), 4);
    EXPECT_TRUE(Read("IntProg/prog.err").contains("cannot create the file"));
}

TEST_F(Plugin, RefusesOptionsItCannotUse) {
    ASSERT_EQ(init(0, Path("bin").c_str()), 1);
    EXPECT_NE(option(8, Path("no-types").c_str()), 0);
    EXPECT_NE(option(8, Path("types/unit.qpt").c_str()), 0);  // a file, not a folder
    EXPECT_NE(option(5, Path("no-folder/prog.err").c_str()), 0);
    EXPECT_NE(option(7, "x"), 0);
    EXPECT_EQ(option(4, Path("IntProg/prog").c_str()), 0);
    // Without a type folder the code generator fails and says why.
    Write("IntProg/prog.qpl", "when pin { }\n");
    ASSERT_EQ(option(5, Path("IntProg/prog.err").c_str()), 0);
    EXPECT_NE(codeGen(Path("IntProg/prog.qpl").c_str()), 0);
    EXPECT_TRUE(Read("IntProg/prog.err").contains("no type folder"));
}

}  // namespace
