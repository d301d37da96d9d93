// Compiling a program through the code generator plug-in: every failure
// through a stand-in library built for it, and the demo program through the
// real plug-in against the demo's type file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "context/SetupContext.h"
#include "load/CompileProgram.h"
#include "util/Prompter.h"

namespace {

const char* const kNoTypes = "Error processing interpreter source.  Could not find type file directory.";
const char* const kNoListing =
    "Error processing interpreter source.  Error result output file could not be created.";
const char* const kSourceErrors =
    "An error is found in the interpreter source program.\nPlease view the Interpreted Program Error "
    "section of the log for detail.";
const char* const kNoProcedures = "Cannot load the procedures of qpicg.dll";
const char* const kInitFailed = "Error initializing DLL that processes interpreter source.";

class CompileProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("types"));
        root.mkpath(QStringLiteral("Vq/IntProg"));
        qputenv("TESSARIN_PATH", m_dir.path().toLocal8Bit());
        SetPrompter(&m_prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        qunsetenv("TESSARIN_PATH");
    }

    QString Path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    QString Plugin() const { return Path(QStringLiteral("bin/")) + CodeGeneratorFileName(); }
    void InstallFake(const char* variant) {
        const QString from =
            QStringLiteral(VQ_FAKE_CODEGEN_DIR "/%1/").arg(QLatin1String(variant)) + CodeGeneratorFileName();
        ASSERT_TRUE(QFile::copy(from, Plugin())) << from.toStdString();
    }
    static void Write(const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList Trace() const {
        const QByteArray t = Read(Path(QStringLiteral("bin/trace.txt")));
        return t == "<missing>" ? QStringList()
                                : QString::fromUtf8(t).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList Boxes() const {
        QStringList texts;
        for (const MessageBoxRequest& b : m_prompter.boxes) {
            EXPECT_EQ(b.caption, QStringLiteral("Error"));
            EXPECT_EQ(b.icon, MsgIcon::Stop);
            texts << b.text;
        }
        return texts;
    }

    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    CSetupContext m_context;
};

TEST_F(CompileProgramTest, SetsTheOptionsInOrderAndUnloads) {
    InstallFake("good");
    const QString source = Path(QStringLiteral("Vq/IntProg/prog.qpl"));
    EXPECT_EQ(m_context.CompileInterpretedProgram(source), kCompileOk);
    EXPECT_TRUE(m_prompter.boxes.empty());
    const QString bin = QDir::toNativeSeparators(Path(QStringLiteral("bin")));
    const QString base = QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/prog")));
    EXPECT_EQ(Trace(), (QStringList{QStringLiteral("init 0 ") + bin,
                                    QStringLiteral("option 8 ") + QDir::toNativeSeparators(Path("types")),
                                    QStringLiteral("option 4 ") + base,
                                    QStringLiteral("option 5 ") + base + QStringLiteral(".err"),
                                    QStringLiteral("codegen ") + source, QStringLiteral("unloaded")}));
}

TEST_F(CompileProgramTest, APluginWithoutTheFlagEntryStillCompiles) {
    InstallFake("noflag");
    EXPECT_EQ(m_context.CompileInterpretedProgram(Path(QStringLiteral("Vq/IntProg/prog.qpl"))), kCompileOk);
    EXPECT_TRUE(m_prompter.boxes.empty());
    EXPECT_EQ(Trace().size(), 6);
    EXPECT_EQ(Trace().last(), QStringLiteral("unloaded"));
}

struct FailureCase {
    const char* variant;
    const char* message;
    int callsMade;  // calls the plug-in saw before the compilation stopped
};

class CompileFailure : public CompileProgramTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CompileFailure, ShowsOneBoxStopsAndUnloads) {
    const FailureCase& c = GetParam();
    InstallFake(c.variant);
    EXPECT_EQ(m_context.CompileInterpretedProgram(Path(QStringLiteral("Vq/IntProg/prog.qpl"))),
              kCompileFailed);
    EXPECT_EQ(Boxes(), QStringList{QString::fromUtf8(c.message)});
    // Without an initialiser call the stand-in cannot trace at all.
    const QStringList trace = Trace();
    EXPECT_EQ(trace.size(), c.callsMade == 0 ? 0 : c.callsMade + 1)
        << trace.join(QLatin1Char('|')).toStdString();
    if (c.callsMade > 0) {
        EXPECT_EQ(trace.last(), QStringLiteral("unloaded"));
    }
}

INSTANTIATE_TEST_SUITE_P(Plugins, CompileFailure,
                         ::testing::Values(FailureCase{"noinit", kNoProcedures, 0},
                                           FailureCase{"nocodegen", kNoProcedures, 0},
                                           FailureCase{"initfails", kInitFailed, 1},
                                           FailureCase{"option8fails", kNoTypes, 2},
                                           FailureCase{"option5fails", kNoListing, 4},
                                           FailureCase{"codegenfails", kSourceErrors, 5}),
                         [](const auto& info) { return std::string(info.param.variant); });

TEST_F(CompileProgramTest, FailsBeforeLoadingAnything) {
    // No plug-in in bin.
    EXPECT_EQ(m_context.CompileInterpretedProgram(Path(QStringLiteral("Vq/IntProg/prog.qpl"))),
              kCompileFailed);
    // A source path without a folder.
    EXPECT_EQ(m_context.CompileInterpretedProgram(QStringLiteral("prog.qpl")), kCompileFailed);
    // No install directory.
    qunsetenv("TESSARIN_PATH");
    EXPECT_EQ(m_context.CompileInterpretedProgram(Path(QStringLiteral("Vq/IntProg/prog.qpl"))),
              kCompileFailed);
    EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("Cannot find qpicg.dll in the directory: ") +
                                        QDir::toNativeSeparators(Path(QStringLiteral("bin"))),
                                    QStringLiteral("Invalid intepreted program file."),
                                    QStringLiteral("Cannot find the tessarin directory.")}));
}

TEST_F(CompileProgramTest, FileNamesComeFromTheSourceWithoutItsExtension) {
    const ProgramFiles f = ProgramFilesFor(QStringLiteral("/a/b.c/prog.qpl"));
    EXPECT_EQ(f.compiled, QStringLiteral("/a/b.c/prog.x"));
    EXPECT_EQ(f.errors, QStringLiteral("/a/b.c/prog.err"));
    EXPECT_EQ(f.base, QStringLiteral("/a/b.c/prog"));
}

// The real plug-in, the demo's type file and the demo's program.
TEST_F(CompileProgramTest, CompilesTheDemoProgramThroughTheRealPlugin) {
    const QString src = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR"));
    const QString bin = QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR"));
    ASSERT_TRUE(QFile::copy(bin + QLatin1Char('/') + CodeGeneratorFileName(), Plugin()));
    ASSERT_TRUE(
        QFile::copy(src + QStringLiteral("/demo/types/vq70.qpt"), Path(QStringLiteral("types/vq70.qpt"))));
    const QString source = Path(QStringLiteral("Vq/IntProg/Counter.qpl"));
    ASSERT_TRUE(QFile::copy(src + QStringLiteral("/demo/Vq/IntProg/Counter.qpl"), source));
    Write(Path(QStringLiteral("Vq/IntProg/Counter.x")), "00");  // from an earlier run: replaced

    ASSERT_EQ(m_context.CompileInterpretedProgram(source), kCompileOk)
        << Boxes().join(QLatin1Char('\n')).toStdString();
    const QByteArray hex = Read(Path(QStringLiteral("Vq/IntProg/Counter.x")));
    EXPECT_GT(hex.size(), 40);
    EXPECT_EQ(hex.size() % 2, 0);
    EXPECT_EQ(QByteArray::fromHex(hex).toHex().toUpper(), hex.toUpper());
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Vq/IntProg/Counter.err"))));

    // An error in the source: the listing names the line and column.
    const QString bad = Path(QStringLiteral("Vq/IntProg/bad.qpl"));
    Write(bad, "when pin {\n    outAlarm = ;\n}\n");
    EXPECT_EQ(m_context.CompileInterpretedProgram(bad), kCompileFailed);
    EXPECT_EQ(Boxes(), QStringList{QString::fromUtf8(kSourceErrors)});
    EXPECT_TRUE(
        Read(Path(QStringLiteral("Vq/IntProg/bad.err"))).startsWith((bad + QStringLiteral(":2:")).toUtf8()));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Vq/IntProg/bad.x"))));
}

}  // namespace
