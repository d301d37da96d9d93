// The load options page offscreen: the interface list, the external
// interface files at start, the event list checks of Next (through the etl
// library), the opening of the load side, both Browse dialogs and Edit.
#include <gtest/gtest.h>

#include <etl/etl.h>
#include <QComboBox>
#include <QPushButton>

#include "LoadPagesSite.h"
#include "load/LoadOptionRules.h"
#include "load/ui/CPageLoadOption.h"

namespace {

const char* const kInvalidList =
    "The file you specified is not a valid event list file. Please re-enter the file name.";
const char* const kCreateQuestion =
    "The event list file you specified does not exist. Would you like to create it?";
const char* const kVersionUpdate =
    "There has been a version update of the external interface file. The newest version has been selected "
    "for you on the next page.";

class PageLoadOption : public ::testing::Test, public LoadPagesSite {
protected:
    void Start() {
        LoadPagesSite::Start(kPageLoadOption);
        ASSERT_EQ(w->CurrentPageId(), kPageLoadOption);
        page = w->m_pageLoadOption;
    }
    // Types the texts and presses Next; true when the sheet moved on.
    bool Next(const QString& eventList, const QString& xif = QStringLiteral("vq70"),
              const QString& ni = QStringLiteral("VQNET1")) {
        page->m_comboNi->setCurrentText(ni);
        page->m_comboXif->setEditText(xif);
        page->m_comboEventList->setEditText(eventList);
        page->OnWizardNext();
        QCoreApplication::processEvents();
        return w->CurrentPageId() != kPageLoadOption;
    }
    QString EventListPath(const QString& name) const { return Path(QStringLiteral("Vq/EventList/") + name); }
    void WriteBytes(const QString& name, int size) const {
        QDir().mkpath(Path(QStringLiteral("Vq/EventList")));
        QFile f(EventListPath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, '\1'));
    }

    CPageLoadOption* page = nullptr;
};

struct SizeCase {
    int size;
    bool accepted;
};

class EventListSize : public PageLoadOption, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(EventListSize, OnlyTenOrMoreWholeRecordsPass) {
    WriteBytes(QStringLiteral("list.etl"), GetParam().size);
    Start();
    const bool moved = Next(QStringLiteral("list"));
    EXPECT_EQ(moved, GetParam().accepted);
    if (GetParam().accepted) {
        EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(QLatin1Char('|')).toStdString();
    } else {
        ASSERT_EQ(Boxes(), QStringList{QString::fromLatin1(kInvalidList)});
        EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_TRUE(page->m_comboEventList->hasFocus() || !QApplication::focusWidget());
        // A refused list is not remembered and the load side stays closed.
        EXPECT_TRUE(History(QStringLiteral("EventListHist")).isEmpty());
        EXPECT_FALSE(context.m_loadSystem);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, EventListSize,
                         ::testing::Values(SizeCase{340, true},   // 10 records
                                           SizeCase{306, false},  // 9 records
                                           SizeCase{341, false},  // not whole records
                                           SizeCase{0, false}));

TEST_F(PageLoadOption, AMissingListIsCreatedOnYesAndAcceptedOnTheNextNext) {
    Start();
    // "abc" is abc.etl in the event list folder.
    EXPECT_FALSE(Next(QStringLiteral("abc")));
    ASSERT_EQ(Boxes(), QStringList{QString::fromLatin1(kCreateQuestion)});
    EXPECT_EQ(env.prompter.boxes[0].buttons, MsgButtons::YesNo);
    QFile created(EventListPath(QStringLiteral("abc.etl")));
    ASSERT_TRUE(created.open(QIODevice::ReadOnly));
    const QByteArray bytes = created.readAll();
    ASSERT_EQ(bytes.size(), 578);
    const auto events = etl::Decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), 578));
    EXPECT_EQ(events, etl::DefaultTable());
    EXPECT_FALSE(context.m_loadSystem) << "the page stays without opening anything";

    env.prompter.boxes.clear();
    ASSERT_TRUE(Next(QStringLiteral("abc")));
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_EQ(w->CurrentPageId(), kPageAppImage);
    const CWizardChoices& c = w->m_choices;
    EXPECT_EQ(c.eventListPath, QDir::toNativeSeparators(EventListPath(QStringLiteral("abc.etl"))));
    EXPECT_EQ(c.interfaceName, QStringLiteral("VQNET1"));
    EXPECT_EQ(c.xifPath,
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.xif"))));
    EXPECT_EQ(page->m_eventListPath, c.eventListPath);
    EXPECT_TRUE(context.m_loadSystem && context.m_deviceTemplate);
    EXPECT_EQ(History(QStringLiteral("EventListHist")), QStringList{QStringLiteral("abc")});
    EXPECT_EQ(History(QStringLiteral("XifHist")).value(0), QStringLiteral("vq70"));
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("NI Selection")).toString(), QStringLiteral("VQNET1"));
    EXPECT_TRUE(Log().contains(
        "Event file chosen: abc\r\n\r\nNI chosen: VQNET1\r\n\r\nXif file chosen: vq70\r\n\r\n"))
        << Log().toStdString();

    // Coming back closes the load side and counts one VQ again.
    w->m_choices.vqCount = 3;
    w->SetActivePage(kPageLoadOption);
    EXPECT_EQ(w->m_choices.vqCount, 1);
    EXPECT_THROW(context.m_loadSystem->GetSubsystems(), ovx::Error);
}

TEST_F(PageLoadOption, AnExtensionTypedIsKeptAndNoLeavesNothing) {
    Start();
    env.prompter.Answer(MsgResult::No);
    EXPECT_FALSE(Next(QStringLiteral("abc.x")));
    EXPECT_FALSE(QFile::exists(EventListPath(QStringLiteral("abc.x"))));
    EXPECT_FALSE(QFile::exists(EventListPath(QStringLiteral("abc.x.etl"))));
    EXPECT_FALSE(Next(QStringLiteral("abc.x")));  // Yes by default
    EXPECT_TRUE(QFile::exists(EventListPath(QStringLiteral("abc.x"))));
    EXPECT_EQ(QFileInfo(EventListPath(QStringLiteral("abc.x"))).size(), 578);
}

TEST_F(PageLoadOption, EmptyHistoryShowsDefaultAndEmptyTextsAreRefused) {
    Start();
    EXPECT_EQ(page->m_comboEventList->currentText(), QStringLiteral("Default"));
    EXPECT_FALSE(Next(QString()));
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("You must enter a file name of the Event List file.")});

    // "Default" is Default.etl in the event list folder, offered for creation.
    env.prompter.boxes.clear();
    env.prompter.Answer(MsgResult::No);
    EXPECT_FALSE(Next(QStringLiteral("Default")));
    EXPECT_EQ(Boxes(), QStringList{QString::fromLatin1(kCreateQuestion)});
    EXPECT_FALSE(QFile::exists(EventListPath(QStringLiteral("Default.etl"))));
    EXPECT_FALSE(Next(QStringLiteral("Default"), QString()));  // Yes: created, still here
    ASSERT_EQ(QFileInfo(EventListPath(QStringLiteral("Default.etl"))).size(), 578);
    env.prompter.boxes.clear();
    EXPECT_FALSE(Next(QStringLiteral("Default"), QString()));
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("You must enter the file name of the xif file.")});
    // The interface was opened before the xif check and stays open.
    EXPECT_TRUE(context.m_loadSystem);

    env.prompter.boxes.clear();
    EXPECT_FALSE(Next(QStringLiteral("Default"), QStringLiteral("vq71")));
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral(
                           "The xif file you specified does not exist. Please re-enter the file name.")});
    EXPECT_TRUE(History(QStringLiteral("XifHist")).value(0) != QStringLiteral("vq71"));
}

struct NiCase {
    const char* stored;
    const char* selected;
};

class StoredInterface : public PageLoadOption, public ::testing::WithParamInterface<NiCase> {};

TEST_P(StoredInterface, SelectsTheMatchIgnoringCaseElseTheFirst) {
    if (GetParam().stored) OpenProfile()->setValue(QStringLiteral("NI Selection"), GetParam().stored);
    Start();
    EXPECT_EQ(page->m_comboNi->count(), 2);
    EXPECT_EQ(page->m_comboNi->currentText(), QString::fromLatin1(GetParam().selected));
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredInterface,
                         ::testing::Values(NiCase{nullptr, "SERIAL1"}, NiCase{"vqnet1", "VQNET1"},
                                           NiCase{"GONE1", "SERIAL1"}));

TEST_F(PageLoadOption, TheVersionUpdateMessageComesOnlyWithAGreaterFolder) {
    Start();  // first start: the folders fill the box without a message
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_EQ(page->m_comboXif->itemText(0), QStringLiteral("vq70"));
    EXPECT_EQ(page->m_comboXif->itemText(1),
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.0/vq70.xif"))));
    w.reset();
    Start();  // nothing new
    EXPECT_TRUE(Boxes().isEmpty());
    w.reset();
    QDir(env.dir.path()).mkpath(QStringLiteral("Import/Quillane/vq/Version 1.2"));
    QFile::copy(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.xif")),
                Path(QStringLiteral("Import/Quillane/vq/Version 1.2/vq72.xif")));
    Start();
    ASSERT_EQ(Boxes(), QStringList{QString::fromLatin1(kVersionUpdate)});
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Version Update"));
    EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(page->m_comboXif->currentText(), QStringLiteral("vq72"));
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("LastXifDefDir")).toString(),
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.2/"))));
}

TEST_F(PageLoadOption, BrowseStartsInTheRightFoldersAndShortensTheChoice) {
    WriteBytes(QStringLiteral("site.etl"), 340);
    Start();
    env.fileDialog.Answer(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/vq70.xif")));
    page->m_btnBrowseXif->click();
    env.fileDialog.Answer(EventListPath(QStringLiteral("site.etl")));
    page->m_btnBrowseEtl->click();
    env.fileDialog.Answer(std::nullopt);  // cancelled: the text stays
    page->m_btnBrowseEtl->click();

    ASSERT_EQ(env.fileDialog.requests.size(), 3u);
    const FileDialogRequest& xif = env.fileDialog.requests[0];
    EXPECT_TRUE(xif.open);
    EXPECT_EQ(xif.flags, unsigned(kFileDlgHideReadOnly | kFileDlgFileMustExist));
    EXPECT_EQ(xif.defaultExt, QStringLiteral("xif"));
    EXPECT_EQ(xif.filter, QStringLiteral("External Interface File (*.xif);;All files (*.*)"));
    EXPECT_EQ(xif.initialDir,
              QDir::toNativeSeparators(Path(QStringLiteral("Import/Quillane/vq/Version 1.1/"))));
    const FileDialogRequest& list = env.fileDialog.requests[1];
    EXPECT_EQ(list.flags, unsigned(kFileDlgHideReadOnly | kFileDlgFileMustExist));
    EXPECT_EQ(list.defaultExt, QStringLiteral("etl"));
    EXPECT_EQ(list.filter, QStringLiteral("Event List File (*.etl);;All files (*.*)"));
    EXPECT_EQ(list.initialDir, QDir::toNativeSeparators(Path(QStringLiteral("Vq/EventList/"))));
    EXPECT_EQ(page->m_comboXif->currentText(), QStringLiteral("vq70"));
    EXPECT_EQ(page->m_comboEventList->currentText(), QStringLiteral("site"));
}

TEST_F(PageLoadOption, EditStartsTheEditorWithoutWaitingOrSaysItFailed) {
    QStringList started;
    SetProgramStarter([&](const QString& commandLine) {
        started << commandLine;
        return true;
    });
    Start();
    page->m_comboEventList->setEditText(QStringLiteral("plant"));
    page->m_btnEdit->click();  // missing: created on Yes, then edited
    const QString path = QDir::toNativeSeparators(EventListPath(QStringLiteral("plant.etl")));
    ASSERT_EQ(Boxes(), QStringList{QStringLiteral("The file: ") + path +
                                   QStringLiteral(" does not exist. Would you like to create it?")});
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Vaquor Loading Wizard"));
    EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Question);
    EXPECT_EQ(started, QStringList{QStringLiteral("EventListEditor.exe \"") + path + QLatin1Char('"')});
    EXPECT_EQ(QFileInfo(path).size(), 578);
    EXPECT_EQ(History(QStringLiteral("EventListHist")), QStringList{QStringLiteral("plant")});
    EXPECT_EQ(page->m_comboEventList->itemText(0), QStringLiteral("plant"));

    // The editor does not start: the failure message.
    SetProgramStarter([](const QString&) { return false; });
    env.prompter.boxes.clear();
    page->m_btnEdit->click();
    SetProgramStarter(nullptr);
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("FAILED to open the event list ") + path +
                                   QStringLiteral(" on Event List Editor.")});
    EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Error"));

    env.prompter.boxes.clear();
    page->m_comboEventList->setEditText(QString());
    page->m_btnEdit->click();
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("You must enter the event list file name.")});
}

}  // namespace
