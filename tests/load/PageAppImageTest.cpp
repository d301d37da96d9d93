// The application image page offscreen: which controls show, the list of
// images at start, Next with its checks, messages and log lines, compiling
// the program (through the real plug-in) and both Browse dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "WizardEnv.h"
#include "app/MainWizard.h"
#include "app/SetupApp.h"
#include "context/SetupContext.h"
#include "load/AppImageRules.h"
#include "load/ui/CPageAppImage.h"
#include "util/HistoryList.h"
#include "util/Registry.h"

namespace {

const char* const kNoImageText = "You must enter the file name of the application image file.";
const char* const kImageMissing = "The file you specified does not exist. Please re-enter the file name.";
const char* const kNoSourceText = "You must enter the file name of the source interpreted program.";
const char* const kSourceMissing =
    "The interpreted program file you specified does not exist. Please re-enter.";
const char* const kVersionUpdate =
    "There has been a version update of the application image file. The newest version has been selected "
    "for you on the next page.";

class PageAppImage : public ::testing::Test {
protected:
    void SetUp() override {
        QDir root(env.dir.path());
        root.mkpath(QStringLiteral("Import/Quillane/vq/Version 1.0"));
        root.mkpath(QStringLiteral("Import/Quillane/vq/Version 1.1"));
        root.mkpath(QStringLiteral("Vq/IntProg"));
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("types"));
        Touch(QStringLiteral("Import/Quillane/vq/Version 1.0/old.apb"));
        Touch(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.apb"));
        OpenLogFile();
        m_savedSwitch = TheApp().m_bInterpretedProgram;
    }
    void TearDown() override {
        w.reset();
        TheApp().m_bInterpretedProgram = m_savedSwitch;
    }

    void Start(int mainOption, bool interpreted) {
        TheApp().m_bInterpretedProgram = interpreted;
        w = std::make_unique<CMainWizard>(&context);
        w->m_choices.mainOption = mainOption;
        w->show();
        w->SetActivePage(kPageAppImage);
        QCoreApplication::processEvents();
        ASSERT_EQ(w->CurrentPageId(), kPageAppImage);
        page = w->m_pageAppImage;
    }
    // Types the texts and presses Next; true when the sheet moved on.
    bool Next(const QString& image, const QString& program = QString()) {
        page->m_comboImage->setEditText(image);
        page->m_comboProgram->setEditText(program);
        page->OnWizardNext();
        QCoreApplication::processEvents();
        return w->CurrentPageId() == kPageBatch;
    }
    QString Path(const QString& relative) const { return env.InstallPath(QLatin1Char('/') + relative); }
    void Touch(const QString& relative, const QByteArray& text = "x") const {
        QFile f(Path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray Log() const { return WizardEnv::LogFileBytes(); }
    QStringList Boxes() const { return env.BoxTexts(); }
    static QStringList History(const QString& section) { return WizardEnv::HistoryEntries(section); }
    void InstallRealCompiler() const {
        const QString bin = QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR"));
        const QString src = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR"));
        ASSERT_TRUE(QFile::copy(bin + QLatin1Char('/') + CodeGeneratorFileName(),
                                Path(QStringLiteral("bin/")) + CodeGeneratorFileName()));
        ASSERT_TRUE(QFile::copy(src + QStringLiteral("/demo/types/vq70.qpt"),
                                Path(QStringLiteral("types/vq70.qpt"))));
    }

    WizardEnv env;
    CSetupContext context;
    std::unique_ptr<CMainWizard> w;
    CPageAppImage* page = nullptr;
    bool m_savedSwitch = false;
};

struct ControlsCase {
    int mainOption;
    bool interpreted;
    int storedLoad;  // "LoadAppImage"; -1: never stored
    bool checkShown, checked, imageEnabled, programShown, imageOnlyPrompt;
};

class PageAppImageControls : public PageAppImage, public ::testing::WithParamInterface<ControlsCase> {};

TEST_P(PageAppImageControls, FollowOptionSwitchAndStoredChoice) {
    const ControlsCase& c = GetParam();
    if (c.storedLoad >= 0) OpenProfile()->setValue(QStringLiteral("LoadAppImage"), c.storedLoad);
    Start(c.mainOption, c.interpreted);
    EXPECT_EQ(page->m_checkLoad->isVisible(), c.checkShown);
    EXPECT_EQ(page->m_checkLoad->isChecked(), c.checked);
    EXPECT_EQ(page->m_comboImage->isEnabled(), c.imageEnabled);
    EXPECT_EQ(page->m_btnBrowseImage->isEnabled(), c.imageEnabled);
    EXPECT_EQ(page->m_groupProgram->isVisible(), c.programShown);
    EXPECT_EQ(page->m_comboProgram->isVisible(), c.programShown);
    EXPECT_EQ(page->m_btnBrowseProgram->isVisible(), c.programShown);
    EXPECT_EQ(page->m_prompt->text(),
              c.imageOnlyPrompt ? QStringLiteral("Enter the file path of the .apb file.") : kAppImagePrompt);
}

INSTANTIATE_TEST_SUITE_P(Cases, PageAppImageControls,
                         ::testing::Values(ControlsCase{0, false, -1, true, true, true, false,
                                                        false},  // default: load
                                           ControlsCase{0, true, -1, true, true, true, true, false},
                                           ControlsCase{1, true, 0, true, false, false, true, false},
                                           ControlsCase{1, false, 0, true, false, false, false, false},
                                           // Only the image: mandatory, and no program even with "-i".
                                           ControlsCase{2, true, 0, false, true, true, false, true},
                                           ControlsCase{2, false, 1, false, true, true, false, true}));

TEST_F(PageAppImage, TheCheckBoxEnablesTheImageControls) {
    Start(kOptionLoadDatabase, false);
    page->m_checkLoad->click();
    EXPECT_FALSE(page->m_checkLoad->isChecked());
    EXPECT_FALSE(page->m_comboImage->isEnabled());
    EXPECT_FALSE(page->m_btnBrowseImage->isEnabled());
    page->m_checkLoad->click();
    EXPECT_TRUE(page->m_comboImage->isEnabled());
    EXPECT_TRUE(page->m_btnBrowseImage->isEnabled());
    EXPECT_TRUE(page->m_comboImage->hasFocus() || !QApplication::focusWidget());
}

TEST_F(PageAppImage, FirstStartOffersTheVersionFoldersWithoutAMessage) {
    Start(kOptionLoadDatabase, false);
    EXPECT_TRUE(env.prompter.boxes.empty());
    QStringList items;
    for (int i = 0; i < page->m_comboImage->count(); ++i) items << page->m_comboImage->itemText(i);
    EXPECT_EQ(items, (QStringList{QStringLiteral("vq70"), QDir::toNativeSeparators(Path(QStringLiteral(
                                                              "Import/Quillane/vq/Version 1.0/old.apb")))}));
    EXPECT_EQ(History(QStringLiteral("AppImageHist")), items);
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("LastAppImageDefDir")).toString(),
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/"))));
}

TEST_F(PageAppImage, ANewerVersionFolderReplacesTheHistoryAfterAMessage) {
    CHistoryList h;
    h.Add(QStringLiteral("mine"));
    h.SaveToRegistry(QStringLiteral("AppImageHist"));
    // Seen before: no message, the history stays.
    OpenProfile()->setValue(
        QStringLiteral("LastAppImageDefDir"),
        QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/"))));
    Start(kOptionLoadDatabase, false);
    EXPECT_TRUE(env.prompter.boxes.empty());
    EXPECT_EQ(page->m_comboImage->currentText(), QStringLiteral("mine"));
    w.reset();

    QDir(env.dir.path()).mkpath(QStringLiteral("Import/Quillane/vq/Version 1.2"));
    Touch(QStringLiteral("Import/Quillane/vq/Version 1.2/new.apb"));
    Start(kOptionLoadDatabase, false);
    ASSERT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_EQ(env.prompter.boxes[0].text, QString::fromUtf8(kVersionUpdate));
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Version Update"));
    EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(page->m_comboImage->currentText(), QStringLiteral("new"));
    EXPECT_EQ(History(QStringLiteral("AppImageHist")).value(0), QStringLiteral("new"));
}

struct NextCase {
    const char* name;
    int mainOption;
    bool interpreted;
    bool checked;
    const char* image;
    const char* program;
    const char* message;  // null: moves on
    const char* focus;    // objectName of the focused combo box, or ""
    const char* logLine;  // a line the log holds afterwards, or ""
};

class PageAppImageNext : public PageAppImage, public ::testing::WithParamInterface<NextCase> {};

TEST_P(PageAppImageNext, ChecksInOrder) {
    const NextCase& c = GetParam();
    Touch(QStringLiteral("Vq/IntProg/missing-compiler.qpl"));
    Start(c.mainOption, c.interpreted);
    env.prompter.boxes.clear();
    if (page->m_checkLoad->isChecked() != c.checked) page->m_checkLoad->click();
    const bool moved = Next(QString::fromUtf8(c.image), QString::fromUtf8(c.program));
    EXPECT_EQ(moved, c.message == nullptr);
    if (c.message) {
        QString expected = QString::fromUtf8(c.message);
        if (expected.endsWith(QStringLiteral("directory: ")))
            expected += QDir::toNativeSeparators(Path(QStringLiteral("bin")));
        ASSERT_EQ(Boxes().join(QLatin1Char('|')).toStdString(), expected.toStdString());
        EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Stop);
    } else {
        EXPECT_TRUE(env.prompter.boxes.empty()) << Boxes().join(QLatin1Char('|')).toStdString();
    }
    if (*c.focus) {
        ASSERT_TRUE(QApplication::focusWidget());
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromUtf8(c.focus));
    }
    if (*c.logLine) {
        EXPECT_TRUE(Log().contains(QByteArray(c.logLine) + "\r\n")) << Log().toStdString();
    }
    if (c.mainOption != kOptionLoadApplicationOnly) {
        EXPECT_EQ(OpenProfile()->value(QStringLiteral("LoadAppImage")).toInt(), c.checked ? 1 : 0);
    }
    EXPECT_EQ(w->m_choices.loadImage, c.mainOption == kOptionLoadApplicationOnly || c.checked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageAppImageNext,
    ::testing::Values(
        NextCase{"NoImageNeeded", 0, false, false, "", "", nullptr, "",
                 "Chose not to load application image"},
        NextCase{"ImageInNewestFolder", 1, false, true, "vq70", "", nullptr, "",
                 "Chose to load application image file: vq70"},
        NextCase{"ImageEmpty", 1, false, true, "", "", kNoImageText, "", ""},
        NextCase{"ImageMissing", 1, false, true, "nosuch", "", kImageMissing, "combo1008", ""},
        NextCase{"OnlyImageIsMandatory", 2, false, false, "", "", kNoImageText, "", ""},
        NextCase{"OnlyImageIgnoresTheProgram", 2, true, true, "vq70", "", nullptr, "",
                 "Chose to load application image file: vq70"},
        NextCase{"SourceEmpty", 0, true, false, "", "", kNoSourceText, "",
                 "Chose not to load application image"},
        NextCase{"SourceMissing", 0, true, false, "", "nosuch", kSourceMissing, "combo1033", ""},
        // The source exists, but there is no compiler in bin.
        NextCase{"NoCompiler", 1, true, false, "", "missing-compiler",
                 "Cannot find qpicg.dll in the directory: ", "", "End Interpreter Program Error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageAppImage, AStopAfterTheImageKeepsWhatTheImageStepDecided) {
    Start(kOptionCompressAndLoad, true);
    EXPECT_FALSE(Next(QStringLiteral("vq70"), QString()));
    EXPECT_TRUE(w->m_choices.loadImage);
    EXPECT_EQ(w->m_choices.imagePath,
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.apb"))));
    EXPECT_EQ(History(QStringLiteral("AppImageHist")).value(0), QStringLiteral("vq70"));
}

TEST_F(PageAppImage, CompilesTheProgramAndMovesOn) {
    InstallRealCompiler();
    const QString src = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR"));
    ASSERT_TRUE(QFile::copy(src + QStringLiteral("/demo/Vq/IntProg/Counter.qpl"),
                            Path(QStringLiteral("Vq/IntProg/Counter.qpl"))));
    Touch(QStringLiteral("Vq/IntProg/Counter.x"), "00");  // an earlier run's
    Start(kOptionLoadDatabase, true);
    ASSERT_TRUE(Next(QStringLiteral("vq70"), QStringLiteral("Counter")))
        << Boxes().join(QLatin1Char('|')).toStdString();

    const QString source = QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/Counter.qpl")));
    const QString compiled = QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/Counter.x")));
    const QByteArray log = Log();
    const QByteArray expected =
        "Chose to load application image file: vq70\r\n\r\n\r\nCompiling interpreted program from file:" +
        source.toUtf8() + "\r\nThe compiled file " + compiled.toUtf8() +
        " already exists. Overwriting this file.\r\nFinish compiling interpreted program.\r\n";
    EXPECT_TRUE(log.contains(expected)) << log.toStdString();
    EXPECT_EQ(w->m_choices.programPath, source);
    EXPECT_EQ(w->m_choices.programCompiled, compiled);
    EXPECT_EQ(page->m_program.errors,
              QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/Counter.err"))));
    QFile x(compiled);
    ASSERT_TRUE(x.open(QIODevice::ReadOnly));
    EXPECT_GT(x.size(), 2);  // replaced by the compiler
    EXPECT_EQ(History(QStringLiteral("IntProgHist")), QStringList{QStringLiteral("Counter")});
}

TEST_F(PageAppImage, AFailedCompileFilesTheListingIntoTheLogAndStays) {
    InstallRealCompiler();
    Touch(QStringLiteral("Vq/IntProg/bad.qpl"), "when pin {\n    outAlarm = ;\n}\n");
    Start(kOptionLoadDatabase, true);
    page->m_checkLoad->click();  // no image
    EXPECT_FALSE(Next(QString(), QStringLiteral("bad")));
    EXPECT_EQ(Boxes().join(QLatin1Char('|')).toStdString(),
              "An error is found in the interpreter source program.\nPlease "
              "view the Interpreted Program Error section of the log for detail.");
    const QString source = QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/bad.qpl")));
    const QByteArray log = Log();
    const qsizetype begin = log.indexOf("************************* Begin Interpreter Program Error\r\n");
    const qsizetype listing = log.indexOf(source.toUtf8() + ":2:");
    const qsizetype end = log.indexOf("************************* End Interpreter Program Error\r\n");
    EXPECT_TRUE(begin >= 0 && begin < listing && listing < end) << log.toStdString();
    EXPECT_FALSE(log.contains("Finish compiling interpreted program."));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Vq/IntProg/bad.err"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Vq/IntProg/bad.x"))));
    EXPECT_TRUE(History(QStringLiteral("IntProgHist")).isEmpty());
    EXPECT_EQ(w->CurrentPageId(), kPageAppImage);
}

TEST_F(PageAppImage, BrowseStartsInTheRightFoldersAndShortensTheChoice) {
    Start(kOptionCompressAndLoad, true);
    env.fileDialog.Answer(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.apb")));
    page->m_btnBrowseImage->click();
    env.fileDialog.Answer(Path(QStringLiteral("Vq/IntProg/Counter.qpl")));
    page->m_btnBrowseProgram->click();
    env.fileDialog.Answer(std::nullopt);  // cancelled: the text stays
    page->m_btnBrowseProgram->click();

    ASSERT_EQ(env.fileDialog.requests.size(), 3u);
    const FileDialogRequest& image = env.fileDialog.requests[0];
    EXPECT_TRUE(image.open);
    EXPECT_EQ(image.flags, unsigned(kFileDlgHideReadOnly | kFileDlgFileMustExist));
    EXPECT_EQ(image.defaultExt, QStringLiteral("apb"));
    EXPECT_EQ(image.initialDir,
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/"))));
    const FileDialogRequest& program = env.fileDialog.requests[1];
    EXPECT_EQ(program.flags, unsigned(kFileDlgHideReadOnly | kFileDlgFileMustExist));
    EXPECT_EQ(program.defaultExt, QStringLiteral("qpl"));
    EXPECT_EQ(program.initialDir, QDir::toNativeSeparators(Path(QStringLiteral("Vq/IntProg/"))));
    EXPECT_EQ(page->m_comboImage->currentText(), QStringLiteral("vq70"));
    EXPECT_EQ(page->m_comboProgram->currentText(), QStringLiteral("Counter"));
}

}  // namespace
