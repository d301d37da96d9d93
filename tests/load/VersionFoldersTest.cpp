#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "load/VersionFolders.h"

namespace vf = versionfolders;

namespace {

// An import folder with the given entries; a name ending in '/' is a folder.
struct ImportFolder {
    explicit ImportFolder(const QStringList& entries) {
        for (const QString& e : entries) {
            if (e.endsWith(QLatin1Char('/')))
                QDir().mkpath(Dir() + e);
            else {
                QDir().mkpath(Dir() + e.section(QLatin1Char('/'), 0, -2));
                QFile f(Dir() + e);
                f.open(QIODevice::WriteOnly);
            }
        }
    }
    QString Dir() const { return tmp.path() + QLatin1Char('/'); }
    QTemporaryDir tmp;
};

TEST(VersionFolders, TheNewestIsTheGreatestNameByteForByte) {
    struct Case {
        QStringList entries;
        QString newest;  // empty: the import folder itself
    } cases[] = {
        {{"Version 1.9/", "Version 1.10/"}, "Version 1.9"},
        {{"Version 1.0/", "Version 2"}, "Version 1.0"},   // a plain file is ignored
        {{"Version 1.9/", "version 3/"}, "version 3"},    // lower case counts, and 'v' > 'V'
        {{"VERSION 9/", "Version 1.0/"}, "Version 1.0"},  // 'E' < 'e'
        {{"Versions/", "Version/"}, "Versions"},          // a prefix is smaller
        {{"Old Version 9/", "v9/", "Version 2"}, ""},
        {{}, ""},
    };
    for (const Case& c : cases) {
        ImportFolder import(c.entries);
        const QString expected =
            c.newest.isEmpty() ? import.Dir() : import.Dir() + c.newest + QLatin1Char('/');
        EXPECT_EQ(vf::Newest(import.Dir()), expected) << c.entries.join(',').toStdString();
    }
}

TEST(VersionFolders, OnlyDirectoriesBeginningWithVersionAreListed) {
    ImportFolder import(
        {"Version 1.10/", "version 3/", "Version 2", "Versioning/", "Old Version/", "Version 1.9/"});
    EXPECT_EQ(vf::List(import.Dir()),
              QStringList({"Version 1.10", "Version 1.9", "version 3", "Versioning"}));
    EXPECT_TRUE(vf::List(import.Dir() + QStringLiteral("missing/")).isEmpty());
}

TEST(VersionFolders, AFolderIsNewerOnlyWhenItsNameIsGreater) {
    struct Case {
        const char* newest;
        const char* stored;
        bool newer;
    } cases[] = {
        {"/i/Version 1.1/", "", true},
        {"/i/Version 1.1/", "/i/Version 1.1/", false},
        {"/i/Version 1.9/", "/i/Version 1.10/", true},
        {"/i/Version 1.10/", "/i/Version 1.9/", false},
        {"/i/", "/i/Version 1.0/", false},  // the version folders were removed
        {"/i/Version 1.0/", "/i/VERSION 1.0/", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vf::IsNewer(QString::fromUtf8(c.newest), QString::fromUtf8(c.stored)), c.newer)
            << c.newest << " / " << c.stored;
}

TEST(VersionFolders, TheNewestFolderFilesComeFirstAsBareNamesTheOthersAsFullPaths) {
    ImportFolder import({"Version 1.0/vq70.xif", "Version 1.0/io8.xif", "Version 1.0/notes.txt",
                         "Version 1.0/vq70.apb", "Version 1.1/vq70.xif", "Version 1.1/vq71.XIF",
                         "Version 1.1/vq70.apb", "Version 1.1/old.xif/", "Version 2", "Spare/x.xif"});
    const QString v10 = import.Dir() + QStringLiteral("Version 1.0/");
    struct Case {
        const char* pattern;
        QStringList items;
    } cases[] = {
        // Each file of the newest folder is put on top, so they end up last-listed first.
        {"*.xif", {"vq71", "vq70", v10 + "io8.xif", v10 + "vq70.xif"}},
        {"*.apb", {"vq70", v10 + "vq70.apb"}},
        {"*.qpl", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vf::RefillItems(import.Dir(), QString::fromLatin1(c.pattern)), c.items) << c.pattern;

    ImportFolder none({"Spare/x.xif", "Version 3.xif"});
    EXPECT_TRUE(vf::RefillItems(none.Dir(), QStringLiteral("*.xif")).isEmpty());
}

// The demo's import folder offers its newer VQ-70 interface file first.
TEST(VersionFolders, TheDemoOffersItsNewestInterfaceFileFirst) {
    const QString import =
        QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + QStringLiteral("/demo/Import/Quillane/vq/");
    EXPECT_EQ(vf::Newest(import), import + QStringLiteral("Version 1.1/"));
    const QString older = import + QStringLiteral("Version 1.0/");
    EXPECT_EQ(vf::RefillItems(import, QStringLiteral("*.xif")),
              QStringList({"vq70", older + "io8.xif", older + "vq70.xif"}));
}

}  // namespace
