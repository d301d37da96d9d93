// The batch page offscreen: the Sarvik ID rules, Add, the service pin armed
// only while the page is active, Delete by button and key, discovery and
// winking on the simulated field, and Next.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "LoadPagesSite.h"
#include "load/BatchRules.h"
#include "load/ui/CPageBatch.h"
#include "util/Wait.h"
#include "vqfield/client.h"
#include "vqfield/field.h"

namespace {

const char* const kDuplicate = "This device is already in the batch load list.";

struct IdCase {
    const char* name;
    QStringList listed;
    QString typed;
    SarvikIdCheck typedCheck;     // typed in and Add pressed
    SarvikIdCheck receivedCheck;  // received by service pin
};

class SarvikIdRules : public ::testing::TestWithParam<IdCase> {};

TEST_P(SarvikIdRules, LengthOnlyThenExactDuplicates) {
    EXPECT_EQ(CheckTypedSarvikId(GetParam().listed, GetParam().typed), GetParam().typedCheck);
    EXPECT_EQ(CheckReceivedSarvikId(GetParam().listed, GetParam().typed), GetParam().receivedCheck);
}

const QStringList kListed{QStringLiteral("04a1b2c3d401")};

INSTANTIATE_TEST_SUITE_P(
    Cases, SarvikIdRules,
    ::testing::Values(
        IdCase{"empty", kListed, QString(), SarvikIdCheck::Empty, SarvikIdCheck::Ok},
        IdCase{"eleven", {}, QStringLiteral("04A1B2C3D40"), SarvikIdCheck::WrongLength, SarvikIdCheck::Ok},
        IdCase{
            "thirteen", {}, QStringLiteral("04A1B2C3D4011"), SarvikIdCheck::WrongLength, SarvikIdCheck::Ok},
        IdCase{"twelveZ", kListed, QStringLiteral("ZZZZZZZZZZZZ"), SarvikIdCheck::Ok, SarvikIdCheck::Ok},
        IdCase{"upperBesideLower", kListed, QStringLiteral("04A1B2C3D401"), SarvikIdCheck::Ok,
               SarvikIdCheck::Ok},
        IdCase{"same", kListed, QStringLiteral("04a1b2c3d401"), SarvikIdCheck::Duplicate,
               SarvikIdCheck::Duplicate}),
    [](const auto& info) { return std::string(info.param.name); });

class PageBatch : public ::testing::Test, public LoadPagesSite {
protected:
    void SetUp() override { SetWaiter(&waiter); }
    void TearDown() override { SetWaiter(nullptr); }
    void Start(bool openLoadSide = false) {
        if (openLoadSide) {
            ASSERT_TRUE(OpenLoadSide());
        }
        LoadPagesSite::Start(kPageBatch);
        ASSERT_EQ(w->CurrentPageId(), kPageBatch);
        page = w->m_pageBatch;
    }
    void Add(const QString& id) {
        page->m_editSarvikId->setText(id);
        page->m_btnAdd->click();
    }
    void Pin(const char* sarvikId) {
        ovx::ServicePinEvent e;
        e.sarvikId = sarvikId;
        e.programId = "900001013C8A0400";
        context.OnServicePinEvent(e);
    }

    RecordingWaiter waiter;
    CPageBatch* page = nullptr;
};

TEST_F(PageBatch, AddKeepsWhatIsTypedAndRefusesWithTheMessages) {
    Start();
    EXPECT_EQ(page->m_count->text(), QStringLiteral("0"));
    EXPECT_FALSE(page->m_btnDelete->isEnabled());
    Add(QString());
    Add(QStringLiteral("04A1B2C3D40"));
    Add(QStringLiteral("abcdefabcdef"));
    Add(QStringLiteral("ABCDEFABCDEF"));
    Add(QStringLiteral("abcdefabcdef"));
    EXPECT_EQ(page->Entries(), (QStringList{QStringLiteral("abcdefabcdef"), QStringLiteral("ABCDEFABCDEF")}));
    EXPECT_EQ(page->m_count->text(), QStringLiteral("2"));
    EXPECT_EQ(page->m_editSarvikId->text(), QStringLiteral("abcdefabcdef"));
    EXPECT_TRUE(page->m_btnDelete->isEnabled() && page->m_btnWink->isEnabled());
    ASSERT_EQ(env.prompter.boxes.size(), 3u);
    EXPECT_EQ(env.prompter.boxes[0].text, QStringLiteral("You must enter the sarvik ID to be added."));
    EXPECT_EQ(env.prompter.boxes[1].text, QStringLiteral("The length of the sarvik ID must be 12."));
    for (int i : {0, 1}) {
        EXPECT_EQ(env.prompter.boxes[i].caption, QStringLiteral("Vaquor Setup Utility"));
        EXPECT_EQ(env.prompter.boxes[i].icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(env.prompter.boxes[2].text, QString::fromLatin1(kDuplicate));
    EXPECT_EQ(env.prompter.boxes[2].caption, QStringLiteral("Service Pin Received"));
    EXPECT_EQ(env.prompter.boxes[2].icon, MsgIcon::None);
}

TEST_F(PageBatch, ServicePinsCountOnlyWhileThePageIsActive) {
    ASSERT_TRUE(OpenLoadSide());
    context.m_loadSystem->SetMode(3);
    Start();
    page->m_list->clear();  // what discovery found is not the point here
    ASSERT_TRUE(context.m_servicePinArmed);
    EXPECT_EQ(context.m_savedMode, 3);
    context.m_loadSystem->SetMode(5);  // changed while capturing

    Pin(kUnit1);
    Pin(kUnit1);
    EXPECT_EQ(page->Entries(), QStringList{QString::fromLatin1(kUnit1)});
    EXPECT_EQ(page->m_count->text(), QStringLiteral("1"));
    EXPECT_EQ(env.prompter.boxes.size(), 1u);
    EXPECT_EQ(env.prompter.boxes.at(0).text, QString::fromLatin1(kDuplicate));

    // Leaving the page (either way) disarms and puts the setting back.
    w->SetActivePage(kPageAppImage);
    EXPECT_FALSE(context.m_servicePinArmed);
    EXPECT_EQ(context.m_loadSystem->GetMode(), 3);
    Pin(kUnit2);
    EXPECT_EQ(page->Entries(), QStringList{QString::fromLatin1(kUnit1)});
    EXPECT_EQ(env.prompter.boxes.size(), 1u);
}

TEST_F(PageBatch, APinPressedAtAUnitReachesTheList) {
    Start(true);
    page->m_list->clear();
    auto field =
        vqfield::FindField(QStringLiteral("pages-%1").arg(QCoreApplication::applicationPid()).toStdString());
    ASSERT_TRUE(field);
    vqfield::Client admin(vqfield::ConnectInProcess(field));
    admin.PressServicePin(kUnit2);
    for (int i = 0; i < 250 && page->m_list->count() == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(page->Entries(), QStringList{QString::fromLatin1(kUnit2)});
    EXPECT_EQ(page->m_count->text(), QStringLiteral("1"));
}

TEST_F(PageBatch, ASystemThatCannotBeReadStillTakesPinsAndIsLeftSafely) {
    ASSERT_TRUE(OpenLoadSide());
    context.CloseAllDatabases();
    ASSERT_THROW(context.m_loadSystem->GetMode(), ovx::Error);
    Start();
    Pin(kUnit2);
    EXPECT_EQ(page->Entries(), QStringList{QString::fromLatin1(kUnit2)});
    w->SetActivePage(kPageAppImage);
    EXPECT_FALSE(context.m_servicePinArmed);
    Pin(kUnit1);
    EXPECT_EQ(page->Entries(), QStringList{QString::fromLatin1(kUnit2)});
}

TEST_F(PageBatch, DeleteByButtonAndKeyDownToEmptyDisablesTheButtons) {
    Start();
    for (const char* id : {"AAAAAAAAAAAA", "BBBBBBBBBBBB", "CCCCCCCCCCCC", "DDDDDDDDDDDD"})
        Add(QString::fromLatin1(id));
    page->m_list->clearSelection();
    page->m_list->item(1)->setSelected(true);
    page->m_list->item(3)->setSelected(true);
    page->m_btnDelete->click();
    EXPECT_EQ(page->Entries(), (QStringList{QStringLiteral("AAAAAAAAAAAA"), QStringLiteral("CCCCCCCCCCCC")}));
    EXPECT_EQ(page->m_count->text(), QStringLiteral("2"));

    page->m_list->clearSelection();
    EXPECT_FALSE(page->m_btnDelete->isEnabled());
    EXPECT_FALSE(page->m_btnWink->isEnabled());
    page->m_list->selectAll();
    EXPECT_TRUE(page->m_btnDelete->isEnabled());
    // The Delete key deletes from anywhere on the page, even the edit box.
    page->m_editSarvikId->setText(QStringLiteral("kept"));
    page->m_editSarvikId->setCursorPosition(0);
    QTest::keyClick(page->m_editSarvikId, Qt::Key_Delete);
    EXPECT_EQ(page->m_editSarvikId->text(), QStringLiteral("kept"));
    EXPECT_TRUE(page->Entries().isEmpty());
    EXPECT_EQ(page->m_count->text(), QStringLiteral("0"));
    EXPECT_FALSE(page->m_btnDelete->isEnabled());
    EXPECT_FALSE(page->m_btnWink->isEnabled());

    // Next with nothing listed stays.
    page->OnWizardNext();
    EXPECT_EQ(w->CurrentPageId(), kPageBatch);
    EXPECT_EQ(env.prompter.boxes.back().text,
              QStringLiteral("Must choose at least one VQ before proceeding."));
    EXPECT_EQ(env.prompter.boxes.back().caption, QStringLiteral("Error"));
    EXPECT_EQ(env.prompter.boxes.back().icon, MsgIcon::Stop);
}

TEST_F(PageBatch, DiscoveryListsTheUnconfiguredUnitsAndNextStoresTheList) {
    Start(true);
    EXPECT_EQ(page->Entries(), (QStringList{QString::fromLatin1(kUnit1), QString::fromLatin1(kUnit2)}));
    EXPECT_EQ(page->m_count->text(), QStringLiteral("2"));
    EXPECT_TRUE(page->m_btnDelete->isEnabled());
    Add(QStringLiteral("ZZZZZZZZZZZZ"));

    page->OnWizardNext();
    EXPECT_EQ(w->CurrentPageId(), kPageLoad);
    const QStringList expected{QString::fromLatin1(kUnit1), QString::fromLatin1(kUnit2),
                               QStringLiteral("ZZZZZZZZZZZZ")};
    EXPECT_EQ(w->m_choices.sarvikIds, expected);
    EXPECT_EQ(w->m_choices.vqCount, 3);
    const QByteArray lines = "Number of VQs to be batch loaded: 3\r\nTheir sarvik IDs are:\r\n" +
                             expected.join(QStringLiteral("\r\n")).toLatin1() + "\r\n\r\n";
    EXPECT_TRUE(Log().contains(lines)) << Log().toStdString();
}

TEST_F(PageBatch, WinkWinksKnownUnitsAndIgnoresUnknownOnes) {
    Start(true);
    page->m_list->selectAll();
    page->m_btnWink->click();
    EXPECT_EQ(waiter.waits, (std::vector<int>{1000, 1000}));
    waiter.waits.clear();
    context.WinkBySarvikId(QStringLiteral("FFFFFFFFFFFF"));
    EXPECT_TRUE(waiter.waits.empty());
    EXPECT_TRUE(env.prompter.boxes.empty());
}

}  // namespace
