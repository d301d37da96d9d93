// History lists stored in the profile, as the pages use them.
#include <gtest/gtest.h>
#include <QSettings>
#include <QTemporaryDir>

#include "util/HistoryList.h"
#include "util/Registry.h"

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }
    QStringList Stored(const QString& section) {
        auto profile = OpenProfile();
        profile->beginGroup(section);
        QStringList keys = profile->childKeys();
        keys.sort();
        QStringList out;
        for (const QString& k : keys) out << k + "=" + profile->value(k).toString();
        return out;
    }
    void Store(const QString& section, const QStringList& entries) {
        auto profile = OpenProfile();
        profile->beginGroup(section);
        for (int i = 0; i < entries.size(); ++i)
            profile->setValue(QStringLiteral("Entry%1").arg(i + 1), entries[i]);
    }
    QTemporaryDir m_dir;
};

TEST(HistoryAdd, Table) {
    const QStringList eight = {"a", "b", "c", "d", "e", "f", "g", "h"};
    struct Case {
        QStringList before;
        QString added;
        QStringList after;
    };
    const Case cases[] = {
        {{"c:\\files\\site1", "x"}, "C:\\Files\\Site1", {"C:\\Files\\Site1", "x"}},
        {eight, "i", {"i", "a", "b", "c", "d", "e", "f", "g"}},
        {eight, "E", {"E", "a", "b", "c", "d", "f", "g", "h"}},
        {{}, "first", {"first"}},
        // Only ASCII letters fold, as in the C library.
        {{"\u00e9t\u00e9"}, "\u00c9T\u00c9", {"\u00c9T\u00c9", "\u00e9t\u00e9"}},
    };
    for (const auto& c : cases) {
        CHistoryList list;
        list.m_list = c.before;
        list.Add(c.added);
        EXPECT_EQ(list.Entries(), c.after) << c.added.toStdString();
    }
}

TEST_F(History, SaveReplacesTheSectionAndLoadReadsItBack) {
    Store("CompressHist", {"1", "2", "3", "4", "5", "6"});
    CHistoryList list;
    list.m_list = {"net1", "/srv/q/net2", "net3"};
    list.SaveToRegistry("CompressHist");
    EXPECT_EQ(Stored("CompressHist"), (QStringList{"Entry1=net1", "Entry2=/srv/q/net2", "Entry3=net3"}));
    CHistoryList other;
    other.LoadFromRegistry("CompressHist");
    EXPECT_EQ(other.Entries(), list.Entries());
    EXPECT_EQ(Stored("XifHist"), QStringList());  // other lists untouched
}

TEST_F(History, EmptyEntryUsesItsNumberAndHidesTheRestOnLoad) {
    CHistoryList list;
    list.m_list = {"a", "", "c"};
    list.SaveToRegistry("AppImageHist");
    EXPECT_EQ(Stored("AppImageHist"), (QStringList{"Entry1=a", "Entry3=c"}));
    list.LoadFromRegistry("AppImageHist");
    EXPECT_EQ(list.Entries(), QStringList{"a"});
}

TEST_F(History, LoadHasNoLimitAndDefaultSectionIsUsed) {
    QStringList ten;
    for (int i = 1; i <= 10; ++i) ten << QString::number(i);
    Store("Recent File List", ten);
    CHistoryList list;
    list.LoadFromRegistry();
    EXPECT_EQ(list.Entries(), ten);
    list.LoadFromRegistry("NoSuchSection");
    EXPECT_TRUE(list.Entries().isEmpty());
}

TEST(HistoryCombo, FillAndReadKeepOrder) {
    CHistoryList list;
    list.ReadFromCombo({"z", "a", "m"});
    QStringList items = {"old"};
    list.FillCombo(items);
    EXPECT_EQ(items, (QStringList{"z", "a", "m"}));
}

TEST_F(History, ClearRegistryKeyKeepsSubKeysAndRefusesOtherKeys) {
    QString key;
    BuildProfileKeyPath(key);
    EXPECT_EQ(key, "Software\\Quillane\\Vaquor Setup Utility\\");
    {
        auto profile = OpenProfile();
        profile->setValue("Main Option", 1);
        profile->setValue("CompressHist/Entry1", "x");
    }
    EXPECT_TRUE(ClearRegistryKey(RegistryRoot::CurrentUser, key));
    auto profile = OpenProfile();
    EXPECT_FALSE(profile->contains("Main Option"));
    EXPECT_EQ(profile->value("CompressHist/Entry1").toString(), "x");
#ifndef Q_OS_WIN
    EXPECT_FALSE(ClearRegistryKey(RegistryRoot::CurrentUser, "Software\\Elsewhere"));
#endif
}

}  // namespace
