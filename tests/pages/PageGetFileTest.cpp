// The compressed-file page offscreen: the shared history, Browse, and Next
// with its two messages and its log line.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

#include "WizardEnv.h"
#include "app/MainWizard.h"
#include "pages/CPageGetFile.h"
#include "pages/CPageMain.h"
#include "util/HistoryList.h"
#include "util/Registry.h"

namespace {

class PageGetFile : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(DefaultDir());
        OpenLogFile();
    }
    // Opens the sheet and goes to the file page through the main page.
    void Start() {
        w = std::make_unique<CMainWizard>();
        w->show();
        w->m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio1001"))->click();
        w->NextButton()->click();
        QCoreApplication::processEvents();
        ASSERT_EQ(w->CurrentPageId(), kPageGetFile);
        page = w->m_pageGetFile;
    }
    void TearDown() override { w.reset(); }
    QString DefaultDir() const { return env.InstallPath(QStringLiteral("/Vq/CompressedDB")); }
    static void Touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("q70");
    }
    bool Next() {
        page->m_combo->setEditText(typed);
        w->NextButton()->click();
        QCoreApplication::processEvents();
        return w->CurrentPageId() == kPageLoadOption;
    }
    QStringList Stored() {
        CHistoryList h;
        h.LoadFromRegistry(QStringLiteral("CompressHist"));
        return h.Entries();
    }
    QByteArray Log() {
        QFile f(GetLogFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    WizardEnv env;
    std::unique_ptr<CMainWizard> w;
    CPageGetFile* page = nullptr;
    QString typed;
};

TEST_F(PageGetFile, ShowsTheSharedHistoryMostRecentFirst) {
    CHistoryList h;
    h.Add(QStringLiteral("older"));
    h.Add(QStringLiteral("newest"));
    h.SaveToRegistry(QStringLiteral("CompressHist"));  // as the compression page leaves it
    Start();
    ASSERT_EQ(page->m_combo->count(), 2);
    EXPECT_EQ(page->m_combo->itemText(0), QStringLiteral("newest"));
    EXPECT_EQ(page->m_combo->itemText(1), QStringLiteral("older"));
    EXPECT_EQ(page->m_combo->currentText(), QStringLiteral("newest"));
}

TEST_F(PageGetFile, EmptyHistoryLeavesTheBoxEmpty) {
    Start();
    EXPECT_EQ(page->m_combo->count(), 0);
    EXPECT_EQ(page->m_combo->currentText(), QString());
}

TEST_F(PageGetFile, RefusedNamesStayOnThePageWithTheirMessage) {
    Start();
    const QString missing = DefaultDir() + QStringLiteral("/none.q70");
    const QString tooLong = QString(5000, QLatin1Char('n'));
    const struct {
        QString typed;
        QString message;
    } cases[] = {
        {QString(), QStringLiteral("You must enter the compressed database file name.")},
        {missing, QStringLiteral("The file: ") + missing + QStringLiteral(" does not exist")},
        {QStringLiteral("none"), QStringLiteral("The file: ") + missing + QStringLiteral(" does not exist")},
        // Too long for any path: refused whole, never cut down to another file's name.
        {tooLong, QStringLiteral("The file: ") + tooLong + QStringLiteral(" does not exist")},
    };
    for (const auto& c : cases) {
        env.prompter.boxes.clear();
        typed = c.typed;
        EXPECT_FALSE(Next()) << c.typed.left(40).toStdString();
        ASSERT_EQ(env.prompter.boxes.size(), 1u);
        EXPECT_EQ(env.prompter.boxes[0].text, c.message);
        EXPECT_EQ(env.prompter.boxes[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(env.prompter.boxes[0].icon, MsgIcon::Stop);
    }
    EXPECT_TRUE(Stored().isEmpty());
    EXPECT_FALSE(Log().contains("is entered for loading"));
}

TEST_F(PageGetFile, BareNameFindsTheFileInTheDefaultFolder) {
    Touch(DefaultDir() + QStringLiteral("/net1.q70"));
    CHistoryList h;
    h.Add(QStringLiteral("x"));
    h.SaveToRegistry(QStringLiteral("CompressHist"));
    Start();
    typed = QStringLiteral("net1");
    ASSERT_TRUE(Next());
    EXPECT_EQ(QDir::fromNativeSeparators(page->m_strPath), DefaultDir() + QStringLiteral("/net1.q70"));
    // The history keeps the name as typed, ahead of the older one.
    EXPECT_EQ(Stored(), (QStringList{QStringLiteral("net1"), QStringLiteral("x")}));
    EXPECT_TRUE(Log().contains("\r\nThe database file net1 is entered for loading.\r\n\r\n"))
        << Log().constData();
    EXPECT_TRUE(env.prompter.boxes.empty());
}

TEST_F(PageGetFile, APrefixOfAHistoryEntryTypedInIsTheNameUsed) {
    Touch(DefaultDir() + QStringLiteral("/plant.q70"));
    Touch(DefaultDir() + QStringLiteral("/pl.q70"));
    CHistoryList h;
    h.Add(QStringLiteral("plant"));
    h.SaveToRegistry(QStringLiteral("CompressHist"));
    Start();
    QLineEdit* edit = page->m_combo->lineEdit();
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("pl"));
    EXPECT_EQ(page->m_combo->currentText(), QStringLiteral("pl"));
    w->NextButton()->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(w->CurrentPageId(), kPageLoadOption);
    EXPECT_EQ(QDir::fromNativeSeparators(page->m_strPath), DefaultDir() + QStringLiteral("/pl.q70"));
    EXPECT_EQ(Stored(), (QStringList{QStringLiteral("pl"), QStringLiteral("plant")}));
    EXPECT_TRUE(Log().contains("The database file pl is entered for loading.")) << Log().constData();
}

TEST_F(PageGetFile, BrowseShowsTheShortFormAndNextExpandsItAgain) {
    const QString elsewhere = env.InstallPath(QStringLiteral("/other"));
    QDir().mkpath(elsewhere);
    const struct {
        QString chosen;
        QString shown;
        QString path;  // after Next
    } cases[] = {
        {DefaultDir() + "/site.q70", "site", DefaultDir() + "/site.q70"},
        {DefaultDir() + "/site.bin", "site.bin", DefaultDir() + "/site.bin"},
        {elsewhere + "/far.q70", elsewhere + "/far", elsewhere + "/far.q70"},
    };
    Start();
    for (const auto& c : cases) {
        Touch(c.chosen);
        env.fileDialog.Answer(c.chosen);
        page->m_btnBrowse->click();
        ASSERT_FALSE(env.fileDialog.requests.empty());
        const FileDialogRequest& req = env.fileDialog.requests.back();
        EXPECT_TRUE(req.open);
        EXPECT_EQ(req.flags, unsigned(kFileDlgHideReadOnly | kFileDlgOverwritePrompt));
        EXPECT_EQ(req.defaultExt, QStringLiteral("q70"));
        EXPECT_EQ(QDir::fromNativeSeparators(req.initialDir), DefaultDir() + QStringLiteral("/"));
        EXPECT_TRUE(req.filter.contains(QStringLiteral("*.q70")));
        EXPECT_EQ(QDir::fromNativeSeparators(page->m_combo->currentText()), c.shown);

        w->NextButton()->click();
        QCoreApplication::processEvents();
        ASSERT_EQ(w->CurrentPageId(), kPageLoadOption) << c.shown.toStdString();
        EXPECT_EQ(QDir::fromNativeSeparators(page->m_strPath), c.path);
        w->BackButton()->click();
        QCoreApplication::processEvents();
        ASSERT_EQ(w->CurrentPageId(), kPageGetFile);
    }
    // A cancelled dialog changes nothing.
    const QString before = page->m_combo->currentText();
    page->m_btnBrowse->click();
    EXPECT_EQ(page->m_combo->currentText(), before);
    EXPECT_TRUE(env.prompter.boxes.empty());
}

}  // namespace
