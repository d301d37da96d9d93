// The compression pages in a real wizard sheet: databases imported with
// ovxctl, a scripted prompter and file dialog, the log file in a private
// install directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <memory>

#include "SiteFixture.h"
#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/SetupDlg.h"
#include "compress/CompressOptions.h"
#include "compress/ui/CCompressOptionsDlg.h"
#include "compress/ui/CPageCompress.h"
#include "compress/ui/CPageSelectDB.h"
#include "compress/ui/CPageSelectSubsys.h"
#include "util/FileDialog.h"
#include "util/Prompter.h"
#include "util/Registry.h"

namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

QString ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A wizard on an object-server folder, with its own install directory, log
// file and profile values.
class Wizard {
public:
    explicit Wizard(const QString& dataFolder) {
        QDir(install.path()).mkpath(QStringLiteral("Vq"));
        qputenv("TESSARIN_PATH", install.path().toLocal8Bit());
        qputenv("OVX_HOME", dataFolder.toLocal8Bit());
        {
            auto profile = OpenProfile();
            profile->clear();
        }
        SetPrompter(&prompter);
        SetFileDialog(&files);
        OpenLogFile();
        context = std::make_unique<CSetupDlg>();
        context->OpenObjectServer(dataFolder.toStdString());
        sheet = std::make_unique<CMainWizard>();
        sheet->resize(640, 420);
        sheet->show();
        Pump();
    }
    ~Wizard() {
        sheet.reset();
        context.reset();
        CloseLogFile();
        SetPrompter(nullptr);
        SetFileDialog(nullptr);
        qunsetenv("TESSARIN_PATH");
    }

    void Next() {
        sheet->NextButton()->click();
        Pump();
    }
    void Back() {
        sheet->BackButton()->click();
        Pump();
    }
    int Page() const { return sheet->CurrentPageId(); }
    QString Log() const { return ReadFile(GetLogFilePath()); }
    CPageSelectDB& DbPage() { return *sheet->m_pageSelectDB; }
    CPageSelectSubsys& SubsysPage() { return *sheet->m_pageSelectSubsys; }
    CPageCompress& CompressPage() { return *sheet->m_pageCompress; }
    QStringList Boxes() const {
        QStringList out;
        for (const auto& b : prompter.boxes) out << b.text;
        return out;
    }
    // Main page -> database page -> subsystem page with the named database.
    void ToSubsystems(const QString& db) {
        Next();
        DbPage().m_combo->setCurrentText(db);
        Next();
    }
    QStringList Rows() const {
        QStringList out;
        auto* list = sheet->m_pageSelectSubsys->m_list;
        for (int i = 0; i < list->rowCount(); ++i) {
            EXPECT_EQ(list->item(i, 0)->text(), QString::number(i)) << "Pin # of row " << i;
            out << list->item(i, 1)->text();
        }
        return out;
    }
    // Replaces the list with the given subsystems through the tree and Add.
    void Choose(const QStringList& paths) {
        auto& page = SubsysPage();
        page.m_list->selectAll();
        page.m_btnRemove->click();
        for (const QString& p : paths) {
            QTreeWidgetItem* item = page.FindTreeItem(p);
            EXPECT_NE(item, nullptr) << p.toStdString();
            page.m_tree->setCurrentItem(item);
            page.m_btnAdd->click();
        }
    }
    QString DefaultDir() const { return install.path() + QStringLiteral("/Vq/CompressedDB/"); }

    QTemporaryDir install;
    ScriptedPrompter prompter;
    ScriptedFileDialog files;
    std::unique_ptr<CSetupDlg> context;
    std::unique_ptr<CMainWizard> sheet;
};

std::string ChildrenSite(int children) {
    std::string s = "Plant: vq VQ1@1\n";
    for (int i = 0; i < children; ++i)
        s += "Plant.Area" + std::to_string(i) + ": dev D" + std::to_string(i) + "@1\n";
    return s;
}

// "ALL", "Discovered" and "Discovered.Uninstalled" come with every database
// (the object server makes them); "Installed" and "Uninstalled" deeper down
// show that those names are left out, with what lies below, at any level.
const char* const kSmallSite =
    "Plant: vq VQ1@1; dev Pump@1\n"
    "Plant.Hall: dev Fan@1\n"
    "Plant.HallB: dev Lamp@1\n"
    "Plant.Hall.Room: dev Heater@1\n"
    "Plant.Installed: dev Found@1\n"
    "Plant.Installed.Deep: dev Under@1\n"
    "Plant.Hall.Uninstalled: dev Every@1\n"
    "Office: vq VQ2@2; dev Light@2\n"
    "Broken: vq VQ3@3; vq VQ4@3\n";

// ---------------------------------------------------------------- database page

TEST(DatabasePage, ListsRestoresOpensAndLogsTheChoice) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    Wizard w(site.DataFolder());
    OpenProfile()->setValue(QStringLiteral("DB Selection"), QStringLiteral("plant"));
    w.Next();
    ASSERT_EQ(w.Page(), kPageSelectDB);
    EXPECT_EQ(w.DbPage().m_combo->count(), 1);
    EXPECT_EQ(w.DbPage().m_combo->currentText(), QStringLiteral("Plant"));  // found ignoring case
    w.Next();
    EXPECT_EQ(w.Page(), kPageSelectSubsys);
    EXPECT_TRUE(w.context->m_compressSystem && w.context->m_compressSystem->IsOpen());
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("DB Selection")).toString(), QStringLiteral("Plant"));
    EXPECT_TRUE(w.Log().contains(QStringLiteral("Database chosen: Plant")));
}

TEST(DatabasePage, AnUnknownNameStaysOnThePageAndIsStillLogged) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    w.Next();
    w.DbPage().m_combo->setEditText(QStringLiteral("No Such Plant"));
    w.Next();
    EXPECT_EQ(w.Page(), kPageSelectDB);
    EXPECT_FALSE(w.context->m_compressNetwork && w.context->m_compressNetwork->IsOpen());
    EXPECT_TRUE(w.Log().contains(QStringLiteral("Database chosen: No Such Plant")));
}

TEST(DatabasePage, WithoutDatabasesOnlyBackIsEnabled) {
    QTemporaryDir empty;
    QDir(empty.path()).mkpath(QStringLiteral("ovx"));
    Wizard w(empty.path() + QStringLiteral("/ovx"));
    w.Next();
    ASSERT_EQ(w.Page(), kPageSelectDB);
    EXPECT_EQ(w.DbPage().m_combo->count(), 0);
    EXPECT_TRUE(w.sheet->BackButton()->isEnabled());
    EXPECT_FALSE(w.sheet->NextButton()->isEnabled());
}

// ---------------------------------------------------------------- subsystem page

TEST(SubsystemPage, TreeLeavesOutTheDeviceBinsAndListIsPrefilled) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    ASSERT_EQ(w.Page(), kPageSelectSubsys);
    QStringList paths;
    for (QTreeWidgetItemIterator it(w.SubsysPage().m_tree); *it; ++it)
        paths << CPageSelectSubsys::ItemPath(*it);
    EXPECT_EQ(paths,
              QStringList({"Plant", "Plant.Hall", "Plant.Hall.Room", "Plant.HallB", "Office", "Broken"}));
    EXPECT_TRUE(w.SubsysPage().m_tree->topLevelItem(0)->isExpanded());
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Hall", "Plant.HallB"}));
    EXPECT_TRUE(w.prompter.boxes.empty());
}

TEST(SubsystemPage, TwentyChildrenStartWithSixteenRowsAndTheSeventeenthIsRefused) {
    SiteFixture site(ChildrenSite(20));
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    const QStringList rows = w.Rows();
    ASSERT_EQ(rows.size(), 16);
    EXPECT_EQ(rows.front(), QStringLiteral("Plant.Area0"));
    EXPECT_EQ(rows.back(), QStringLiteral("Plant.Area15"));
    EXPECT_TRUE(w.prompter.boxes.empty());

    auto& page = w.SubsysPage();
    page.m_tree->setCurrentItem(page.FindTreeItem(QStringLiteral("Plant.Area17")));
    page.m_btnAdd->click();
    ASSERT_EQ(w.prompter.boxes.size(), 1u);
    EXPECT_EQ(
        w.prompter.boxes[0].text,
        QStringLiteral("Cannot add more subsystems.\nThe maximum number of subsystems in the VQ is 16"));
    // The application box: its caption, and the exclamation mark when no icon is named.
    EXPECT_EQ(w.prompter.boxes[0].caption, QString::fromLatin1(kAppCaption));
    EXPECT_EQ(w.prompter.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(w.Rows(), rows);
}

TEST(SubsystemPage, ButtonsAddRemoveAndMoveWithTheirMessages) {
    SiteFixture site(ChildrenSite(5));
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    auto& page = w.SubsysPage();
    ASSERT_EQ(w.Rows().size(), 5);
    EXPECT_FALSE(page.m_btnRemove->isEnabled());

    struct Refusal {
        const char* path;
        const char* text;
    } refusals[] = {{"Plant.Area2", "This subsystem was already added."},
                    {"Plant", "A subsystem in the same hierarchy was already added."}};
    for (const auto& r : refusals) {
        w.prompter.boxes.clear();
        page.m_tree->setCurrentItem(page.FindTreeItem(QString::fromLatin1(r.path)));
        page.m_btnAdd->click();
        ASSERT_EQ(w.prompter.boxes.size(), 1u) << r.path;
        EXPECT_EQ(w.prompter.boxes[0].text, QString::fromLatin1(r.text));
        EXPECT_EQ(w.prompter.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(w.Rows().size(), 5);
    }

    // Remove the selected rows 1 and 3.
    page.m_list->clearSelection();
    page.m_list->selectionModel()->select(page.m_list->model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    page.m_list->selectionModel()->select(page.m_list->model()->index(3, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(page.m_btnRemove->isEnabled());
    page.m_btnRemove->click();
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area0", "Plant.Area2", "Plant.Area4"}));

    // Row 0 is selected after a removal; Down moves it and keeps it selected.
    page.m_btnDown->click();
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area2", "Plant.Area0", "Plant.Area4"}));
    page.m_btnDown->click();
    page.m_btnDown->click();  // already last: nothing
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area2", "Plant.Area4", "Plant.Area0"}));
    page.m_btnUp->click();
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area2", "Plant.Area0", "Plant.Area4"}));
    ASSERT_EQ(page.m_list->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(page.m_list->selectionModel()->selectedRows().front().row(), 1);
}

TEST(SubsystemPage, NextRecordsAndLogsThePathsAndAnEmptyListStays) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    w.Choose({});
    w.prompter.boxes.clear();
    w.Next();
    EXPECT_EQ(w.Page(), kPageSelectSubsys);
    ASSERT_EQ(w.prompter.boxes.size(), 1u);
    EXPECT_EQ(w.prompter.boxes[0].text,
              QStringLiteral("You must select at least one database before advancing to the next page."));

    w.Choose({"Office", "Plant.Hall"});
    w.Next();
    EXPECT_EQ(w.Page(), kPageCompress);
    EXPECT_EQ(w.SubsysPage().m_subsystemPaths, QStringList({"Office", "Plant.Hall"}));
    EXPECT_TRUE(w.Log().contains(QStringLiteral("Subsystems chosen:\r\nOffice\r\nPlant.Hall\r\n")) ||
                w.Log().contains(QStringLiteral("Subsystems chosen:\nOffice\nPlant.Hall\n")))
        << w.Log().toStdString();

    // Back from the compression page keeps the list; from the database page it is rebuilt.
    w.Back();
    EXPECT_EQ(w.Rows(), QStringList({"Office", "Plant.Hall"}));
    w.Back();
    w.Next();
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Hall", "Plant.HallB"}));
}

// Drags by mouse events: press on a source viewport, moves past the drag
// distance, release (or Escape) over a target.
class Drag {
public:
    Drag(QWidget* source, QPoint from) : m_source(source) {
        Send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Send(QEvent::MouseMove, from + QPoint(0, 30), Qt::NoButton, Qt::LeftButton);
    }
    void MoveOver(QWidget* target, QPoint at) {
        Send(QEvent::MouseMove, m_source->mapFromGlobal(target->mapToGlobal(at)), Qt::NoButton,
             Qt::LeftButton);
    }
    void DropOn(QWidget* target, QPoint at) {
        MoveOver(target, at);
        Send(QEvent::MouseButtonRelease, m_source->mapFromGlobal(target->mapToGlobal(at)), Qt::LeftButton,
             Qt::NoButton);
    }
    void Escape() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(m_source, &press);
    }

private:
    void Send(QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(local), QPointF(m_source->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(m_source, &e);
    }
    QWidget* m_source;
};

QPoint RowPoint(QTableWidget* list, int row) {
    return list->visualItemRect(list->item(row, 1)).center();
}

TEST(SubsystemPage, DragAndDropMovesAddsRemovesAndEscapeCancels) {
    SiteFixture site(ChildrenSite(5) + "Other: vq VQ9@9\n");
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    auto& page = w.SubsysPage();
    QWidget* listView = page.m_list->viewport();
    QWidget* treeView = page.m_tree->viewport();
    const QStringList start = w.Rows();
    ASSERT_EQ(start.size(), 5);

    // Row 4 onto row 1.
    {
        Drag d(listView, RowPoint(page.m_list, 4));
        d.DropOn(listView, RowPoint(page.m_list, 1));
    }
    EXPECT_EQ(w.Rows(),
              QStringList({"Plant.Area0", "Plant.Area4", "Plant.Area1", "Plant.Area2", "Plant.Area3"}));

    // Escape during a drag out of the list leaves it as it was.
    {
        Drag d(listView, RowPoint(page.m_list, 0));
        d.MoveOver(treeView, QPoint(5, 5));
        d.Escape();
        d.DropOn(treeView, QPoint(5, 5));  // the release after a cancel does nothing
    }
    EXPECT_EQ(w.Rows().size(), 5);
    EXPECT_FALSE(page.m_dragging);

    // Released over the tree: the row is gone.
    {
        Drag d(listView, RowPoint(page.m_list, 0));
        d.DropOn(treeView, QPoint(5, 5));
    }
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area4", "Plant.Area1", "Plant.Area2", "Plant.Area3"}));

    // From the tree onto row 1: inserted there, checks applied.
    QTreeWidgetItem* other = page.FindTreeItem(QStringLiteral("Other"));
    ASSERT_NE(other, nullptr);
    {
        Drag d(treeView, page.m_tree->visualItemRect(other).center());
        d.DropOn(listView, RowPoint(page.m_list, 1));
    }
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Area4", "Other", "Plant.Area1", "Plant.Area2", "Plant.Area3"}));
    w.prompter.boxes.clear();
    {
        Drag d(treeView, page.m_tree->visualItemRect(other).center());
        d.DropOn(listView, RowPoint(page.m_list, 0));
    }
    ASSERT_EQ(w.prompter.boxes.size(), 1u);
    EXPECT_EQ(w.prompter.boxes[0].text, QStringLiteral("This subsystem was already added."));
    EXPECT_EQ(w.Rows().size(), 5);
}

// ---------------------------------------------------------------- compression page

// Opens the compression page on "Plant" with the given hierarchies.
void ToCompress(Wizard& w, const QStringList& paths) {
    w.ToSubsystems(QStringLiteral("Plant"));
    w.Choose(paths);
    w.Next();
    ASSERT_EQ(w.Page(), kPageCompress);
}

TEST(CompressPage, ProposesANameFromTheDatabaseAndTheLogFile) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    ToCompress(w, {"Office"});
    QString logName = GetLogFileName();
    logName.chop(QStringLiteral(".vqlog").size());
    EXPECT_EQ(w.CompressPage().m_combo->currentText(), QStringLiteral("Plant_") + logName);
    EXPECT_TRUE(w.CompressPage().m_btnOptions->isEnabled());
}

// What the page does with the run's outcome (the run itself, its questions,
// log lines and side files, is tested in CompressRunTest): the page it ends
// on, the file it records for the load side, the history, the Progress box.
TEST(CompressPage, OutcomesOfTheRunMoveOrKeepThePage) {
    struct Case {
        const char* title;
        QStringList hierarchies;
        QString typed;  // "{install}" is the install directory
        std::vector<MsgResult> answers;
        int page;          // where the sheet is afterwards
        QString file;      // the file recorded, "{default}" the default folder; empty: none
        QString lastBox;   // the last box shown
        QString progress;  // a line the Progress box shows
        std::function<void(const QString& install)> prepare = nullptr;
    };
    const QString failedBox =
        "Compression FAILED. Please view the Progress window for the detailed error message.";
    const QString viewBox =
        "Compression was SUCCESSFUL.\nWould you like to go back to the page to view the log?";
    const std::vector<Case> cases = {
        {"no name",
         {"Office"},
         "",
         {},
         kPageCompress,
         "",
         "You must enter a file name to save the compressed file to.",
         ""},
        {"a missing folder declined",
         {"Office"},
         "{install}/out/deep/office",
         {MsgResult::No},
         kPageCompress,
         "",
         "The directory you specified does not exist. Would you like to create it?",
         ""},
        {"replacing declined",
         {"Office"},
         "{install}/out/office",
         {MsgResult::No},
         kPageCompress,
         "",
         "The file you entered already exists. Would you like to overwrite it?",
         "",
         [](const QString& install) {
             QDir().mkpath(install + "/out");
             QFile f(install + "/out/office.q70");
             f.open(QIODevice::WriteOnly);
             f.write("keep");
         }},
        {"a full path without extension, its folder created",
         {"Office"},
         "{install}/made/here/office",
         {MsgResult::Yes, MsgResult::No},
         kPageLoadOption,
         "{install}/made/here/office.q70",
         viewBox,
         "Compression SUCCESSFUL"},
        {"a bare name into the default folder",
         {"Office", "Plant"},
         "plant",
         {MsgResult::No},
         kPageLoadOption,
         "{default}plant.q70",
         viewBox,
         "Compression SUCCESSFUL"},
        {"a failed run",
         {"Broken"},
         "broken",
         {},
         kPageCompress,
         "",
         failedBox,
         "another VQ exists in the same subsystem hierarchy"},
    };
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        Wizard w(site.DataFolder());
        const auto fill = [&](QString t) {
            return QDir::toNativeSeparators(
                t.replace("{install}", w.install.path()).replace("{default}", w.DefaultDir()));
        };
        if (c.prepare) c.prepare(w.install.path());
        ToCompress(w, c.hierarchies);
        auto& page = w.CompressPage();
        page.m_combo->setEditText(fill(c.typed));
        for (MsgResult a : c.answers) w.prompter.Answer(a);
        w.Next();

        EXPECT_EQ(w.Page(), c.page) << w.Boxes().join("|").toStdString();
        ASSERT_FALSE(w.prompter.boxes.empty());
        EXPECT_EQ(w.prompter.boxes.back().text, c.lastBox);
        EXPECT_EQ(page.m_bCompressed, !c.file.isEmpty());
        EXPECT_EQ(page.m_strCompressedFile, fill(c.file));
        EXPECT_EQ(w.sheet->m_choices.compressedFile, fill(c.file));
        if (!c.file.isEmpty()) {
            EXPECT_TRUE(QFile::exists(fill(c.file)));
            // The name is remembered as typed.
            auto profile = OpenProfile();
            profile->beginGroup(QStringLiteral("CompressHist"));
            EXPECT_EQ(profile->value(QStringLiteral("Entry1")).toString(), fill(c.typed));
        }
        if (!c.progress.isEmpty()) {
            EXPECT_TRUE(page.m_progress->toPlainText().contains(c.progress))
                << page.m_progress->toPlainText().toStdString();
        }
        if (c.prepare) {
            EXPECT_EQ(ReadFile(w.install.path() + "/out/office.q70"), QStringLiteral("keep"));
        }
    }
}

TEST(CompressPage, StayingToViewTheLogThenNextMovesOnWithoutASecondRun) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    ToCompress(w, {"Office"});
    auto& page = w.CompressPage();
    page.m_combo->setEditText(QStringLiteral("office"));
    w.prompter.Answer(MsgResult::Yes);
    w.Next();
    EXPECT_EQ(w.Page(), kPageCompress);
    EXPECT_TRUE(page.m_bCompressed);
    EXPECT_FALSE(page.m_btnOptions->isEnabled());
    EXPECT_TRUE(page.m_progress->toPlainText().contains(QStringLiteral("Start Compressing Database...")));
    QFile::remove(w.DefaultDir() + QStringLiteral("office.q70"));
    w.prompter.boxes.clear();
    w.Next();
    EXPECT_EQ(w.Page(), kPageLoadOption);
    EXPECT_FALSE(QFile::exists(w.DefaultDir() + QStringLiteral("office.q70")));  // not written again
    for (const auto& b : w.prompter.boxes) EXPECT_FALSE(b.text.startsWith(QStringLiteral("Compression was")));
}

TEST(CompressPage, BrowseShortensThePathAgainstTheDefaultDirectory) {
    SiteFixture site(kSmallSite);
    ASSERT_TRUE(site.Imported());
    Wizard w(site.DataFolder());
    ToCompress(w, {"Office"});
    struct Case {
        QString chosen;
        QString shown;
    };
    const QString dd = QDir::toNativeSeparators(w.DefaultDir());
    const Case cases[] = {{dd + "site.q70", "site"},
                          {dd + "site.bin", "site.bin"},
                          {"/elsewhere/site.q70", "/elsewhere/site"},
                          {"/elsewhere/site.txt", "/elsewhere/site.txt"}};
    for (const Case& c : cases) {
        w.files.Answer(c.chosen);
        w.CompressPage().m_btnBrowse->click();
        EXPECT_EQ(w.CompressPage().m_combo->currentText(), c.shown) << c.chosen.toStdString();
    }
    ASSERT_FALSE(w.files.requests.empty());
    EXPECT_TRUE(w.files.requests[0].open);
    EXPECT_EQ(w.files.requests[0].initialDir, dd);
}

// ---------------------------------------------------------------- options dialog

TEST(CompressOptions, ReadsDefaultsAndWritesOnlyUnsignedNumbers) {
    Wizard w(QDir::tempPath() + QStringLiteral("/vq-none"));
    CCompressOptionsDlg dlg;
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.m_editMajor->text(), QStringLiteral("1"));
    EXPECT_EQ(dlg.m_editMinor->text(), QStringLiteral("0"));
    struct Case {
        const char* major;
        const char* minor;
        bool written;
    } cases[] = {{"3", "7", true},  {" 12 ", "0", true}, {"4294967295", "1", true}, {"-1", "0", false},
                 {"2", "x", false}, {"", "1", false},    {"4294967296", "0", false}};
    for (const Case& c : cases) {
        {
            auto p = OpenProfile();
            p->remove(QStringLiteral("CompressOptions"));
        }
        w.prompter.boxes.clear();
        dlg.m_editMajor->setText(QString::fromLatin1(c.major));
        dlg.m_editMinor->setText(QString::fromLatin1(c.minor));
        dlg.OnOK();
        EXPECT_EQ(w.prompter.boxes.size(), c.written ? 0u : 1u) << c.major << "/" << c.minor;
        auto p = OpenProfile();
        p->beginGroup(QStringLiteral("CompressOptions"));
        EXPECT_EQ(p->contains(QStringLiteral("Major")), c.written) << c.major << "/" << c.minor;
        if (c.written) {
            EXPECT_EQ(ReadCompressOptions().major, QString::fromLatin1(c.major).trimmed().toUInt());
            EXPECT_EQ(ReadCompressOptions().minor, QString::fromLatin1(c.minor).toUInt());
        }
    }
}

// ---------------------------------------------------------------- the whole flow

QString DemoDataFolder(QTemporaryDir& dir) {
    const QString data = dir.path() + QStringLiteral("/ovx");
    QDir().mkpath(data);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OVX_HOME"), data);
    p.setProcessEnvironment(env);
    p.start(BinPath(QStringLiteral("ovxctl")),
            {QStringLiteral("import"), QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) +
                                           QStringLiteral("/demo/sites/demo-plant.json")});
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return data;
}

TEST(CompressFlow, DemoSiteFromTheMainPageToTheLoadOptionsPage) {
    QTemporaryDir dir;
    Wizard w(DemoDataFolder(dir));
    w.Next();
    ASSERT_EQ(w.Page(), kPageSelectDB);
    EXPECT_EQ(w.DbPage().m_combo->currentText(), QStringLiteral("Demo Plant"));
    w.Next();
    ASSERT_EQ(w.Page(), kPageSelectSubsys);
    EXPECT_EQ(w.Rows(), QStringList({"Plant.Boiler House", "Plant.Chiller Plant", "Plant.Packing Line"}));

    // The broken hierarchy first: its exact lines, then a good run.
    w.Choose({"Test Bay"});
    w.Next();
    w.CompressPage().m_combo->setEditText(QStringLiteral("demo"));
    w.Next();
    ASSERT_EQ(w.Page(), kPageCompress);
    const QString shown = w.CompressPage().m_progress->toPlainText();
    const QString expected = QStringLiteral(
        "cannot be compressed because another VQ exists in the same subsystem hierarchy.\n"
        "There cannot be multiple VQs in the same subsystem hierarchy.");
    EXPECT_TRUE(shown.contains(expected)) << shown.toStdString();
    EXPECT_TRUE(
        w.Log().contains(QStringLiteral("There cannot be multiple VQs in the same subsystem hierarchy.")));

    w.Back();
    w.Choose({"Plant.Boiler House", "Plant.Chiller Plant", "Plant.Packing Line"});
    w.Next();
    w.CompressPage().m_combo->setEditText(QStringLiteral("demo"));
    w.prompter.boxes.clear();
    w.prompter.Answer(MsgResult::No);
    w.Next();
    EXPECT_EQ(w.Page(), kPageLoadOption) << w.Boxes().join("|").toStdString();
    EXPECT_TRUE(QFile::exists(w.DefaultDir() + QStringLiteral("demo.q70")));
}

TEST(CompressFlow, CancelDuringALargeRunStopsIt) {
    std::string text = "Big: vq VQ1@1\n";
    for (int a = 0; a < 40; ++a) {
        text += "Big.A" + std::to_string(a) + ":";
        for (int d = 0; d < 25; ++d) text += " dev D" + std::to_string(a) + "x" + std::to_string(d) + "@1;";
        text += "\n";
    }
    SiteFixture site(text);
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    Wizard w(site.DataFolder());
    w.ToSubsystems(QStringLiteral("Plant"));
    w.Choose({"Big"});
    w.Next();
    ASSERT_EQ(w.Page(), kPageCompress);
    w.CompressPage().m_combo->setEditText(QStringLiteral("big"));
    // Pressed as soon as the run lets events through.
    QTimer::singleShot(0, w.sheet.get(), [&] {
        ASSERT_TRUE(w.sheet->m_pCancelDlg->HasWindow());
        w.sheet->m_pCancelDlg->CancelButton()->click();
    });
    w.Next();
    EXPECT_EQ(w.Page(), kPageCompress);
    const QString shown = w.CompressPage().m_progress->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("Compression Cancelled"))) << shown.toStdString();
    for (const auto& b : w.prompter.boxes)
        EXPECT_FALSE(b.text.startsWith(QStringLiteral("Compression FAILED")));
    EXPECT_FALSE(w.sheet->m_pCancelDlg->HasWindow());
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
