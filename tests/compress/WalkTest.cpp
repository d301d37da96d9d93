// Compression runs through CompressDatabase on small real databases.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <functional>

#include "SiteFixture.h"
#include "compress/CompressStatus.h"
#include "ns2vq/q70.h"

namespace {

const QString kBrallor = "Use Brallor to fix this problem and re-run this loading wizard.";
const QString kTwoRouters =
    "Two routers have been found on the VQ-70/71's local channel.  The VQ-70/71 only supports a single local "
    "router.";

// The progress lines that report a library call, in the order made.
QStringList AddedLines(const QStringList& lines) {
    QStringList added;
    for (const QString& line : lines)
        if (line.startsWith("Adding ")) added << line;
    return added;
}

// The status lines at the end of the run: everything after the last line of
// the passes, without the closing empty line.
QStringList ResultLines(QStringList lines) {
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    qsizetype start = lines.size();
    while (start > 0) {
        const QString& line = lines[start - 1];
        if (line.startsWith("Looking ") || line.startsWith("Adding ") || line.startsWith("Found ") ||
            line.startsWith("Start Compressing") || line.startsWith("Compressing subsystem"))
            break;
        --start;
    }
    return lines.mid(start);
}

QStringList Failed(const QStringList& rest) {
    return QStringList{"Compression FAILED:"} + SplitLines(rest);
}

struct WalkCase {
    const char* title;
    const char* site;
    QStringList paths;
    int result;
    QStringList added;               // "Adding ..." lines in order
    QStringList ending;              // the status lines of the run
    bool lastRefused = false;        // the library refused the last object handed over
    const char* errNames = nullptr;  // the object the library's .err file names
};

const std::vector<WalkCase> kCases = {
    {"passes run in order whatever the listing order",
     "A: dev F1@2; dev N1@1; router R1 1>2; vq VQ1@1",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1", "Adding router: R1",
      "Adding far channel device: F1"},
     {"Compression SUCCESSFUL"}},
    {"no VQ in the hierarchy",
     "A: dev N1@1\nA.B: dev N2@1",
     {"A"},
     kCompressFailed,
     {},
     Failed({"No VQ is found in the subsystem hierarchy."})},
    {"VQ listed twice in one hierarchy is added once",
     "A: vq VQ1@1; dev N1@1\nA.B: vq VQ1@1",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1"},
     {"Compression SUCCESSFUL"}},
    {"VQ in two selected hierarchies",
     "A: vq VQ1@1\nB: vq VQ1@1",
     {"A", "B"},
     kCompressFailed,
     {"Adding VQ device: VQ1"},
     Failed({"The VQ-70 VQ1 appears in multiple subsystem hierarchy.", kBrallor})},
    {"second VQ met depth-first fails with its own name",
     "A: vq VQ1@1\nA.B: dev N1@1\nA.B.C: vq VQ2@2\nA.D: vq VQ3@3",
     {"A"},
     kCompressFailed,
     {"Adding VQ device: VQ1"},
     Failed({"The VQ named VQ2 cannot be compressed because another VQ exists in the same subsystem "
             "hierarchy.\r\nThere cannot be multiple VQs in the same subsystem hierarchy."})},
    {"device listed twice in one hierarchy is added once",
     "A: vq VQ1@1; dev N1@1\nA.B: dev N1@1",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1"},
     {"Compression SUCCESSFUL"}},
    {"device in two selected hierarchies",
     "A: vq VQ1@1; dev N1@1\nB: vq VQ2@2; router R2 2>1; dev N1@1",
     {"A", "B"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding near channel device: N1", "Adding VQ device: VQ2",
      "Adding router: R2"},
     Failed({"The device N1 appears in multiple subsystem hierarchy.", kBrallor})},
    {"home record keeps a device out of the other hierarchy",
     "A: vq VQ1@1; dev N1@1 home=A\nB: vq VQ2@2; router R2 2>1; dev N1@1",
     {"A", "B"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1", "Adding VQ device: VQ2",
      "Adding router: R2"},
     {"Compression SUCCESSFUL"}},
    {"device housed in a child subsystem is added there",
     "A: vq VQ1@1; dev N1@1 home=A.B; dev N2@1\nA.B: dev N1@1",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N2", "Adding near channel device: N1"},
     {"Compression SUCCESSFUL"}},
    {"two routers in one subsystem fail before either is added",
     "A: vq VQ1@1; dev N1@1; router R1 1>2; router R2 1>3; dev F1@2",
     {"A"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding near channel device: N1"},
     Failed({kTwoRouters, "Use your network tool to fix this problem and re-run this compression utility."})},
    {"without a router no far device is added",
     "A: vq VQ1@1; dev N1@1; dev F1@2",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1"},
     {"Compression SUCCESSFUL"}},
    {"the host device is never compressed",
     "A: vq VQ1@1; host H@1; dev N1@1",
     {"A"},
     0,
     {"Adding VQ device: VQ1", "Adding near channel device: N1"},
     {"Compression SUCCESSFUL"}},
    {"router met again in its own hierarchy is refused by name",
     "A: vq VQ1@1; router R1 1>2\nA.B: router R1 1>2; dev F1@2",
     {"A"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding router: R1"},
     Failed({"The router R1 appears in multiple subsystem hierarchy.", kBrallor})},
    {"a second router elsewhere in the hierarchy is the library's to refuse",
     "A: vq VQ1@1; router R1 1>2\nA.B: router R2 1>3; dev F1@2",
     {"A"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding router: R1", "Adding router: R2"},
     Failed({kTwoRouters, "Use your network tool to fix this problem and re-run this compression utility."}),
     true,
     "R2"},
    {"router in two selected hierarchies",
     "A: vq VQ1@1; router R1 1>2\nB: vq VQ2@3; router R1 1>2",
     {"A", "B"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding router: R1", "Adding VQ device: VQ2"},
     Failed({"The router R1 appears in multiple subsystem hierarchy.", kBrallor})},
    {"a library verdict names the device handed over",
     "A: vq VQ1@1; router R1 1>2; dev N1@1 loc=L1\nA.B: dev F1@2 loc=L1",
     {"A"},
     kCompressFailed,
     {"Adding VQ device: VQ1", "Adding near channel device: N1", "Adding router: R1",
      "Adding far channel device: F1"},
     Failed({"The device F1 has the same program ID and location string as another device in the same "
             "subsystem hierarchy.",
             "Two devices cannot have the same program ID and location string in the same subsystem "
             "hierarchy."}),
     true},
};

TEST(CompressDatabase, WalkRulesOnSmallSites) {
    for (const WalkCase& c : kCases) {
        SCOPED_TRACE(c.title);
        SiteFixture site(c.site);
        ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
        EXPECT_EQ(site.Compress(c.paths), c.result);
        const QStringList lines = site.View().Lines();
        EXPECT_EQ(AddedLines(lines), c.added);
        EXPECT_EQ(ResultLines(lines), SplitLines(c.ending));
        // The library accepted the same objects in the same order, one line each.
        const QStringList listed = site.ListedObjects();
        const qsizetype accepted = c.added.size() - (c.lastRefused ? 1 : 0);
        EXPECT_EQ(listed.size(), accepted) << listed.join('\n').toStdString();
        if (listed.size() != accepted) continue;
        for (qsizetype i = 0; i < listed.size(); ++i) {
            const QString name = c.added[i].section(": ", 1);
            EXPECT_TRUE(listed[i].contains(QRegularExpression("\\b" + name + "\\b")))
                << listed[i].toStdString();
        }
        EXPECT_EQ(QFile::exists(site.OutputPath()), c.result == 0);
        if (c.errNames) {
            QFile err(site.OutputPath() + ".err");
            ASSERT_TRUE(err.open(QIODevice::ReadOnly));
            EXPECT_TRUE(err.readAll().contains(QByteArray("\"") + c.errNames + "\""));
        }
    }
}

// The file is a success only once it is on disk: the library's verdict on
// writing it, verifying it and moving it into place decides the run.
TEST(CompressDatabase, TargetThatCannotBeReplacedFailsTheRun) {
    SiteFixture site("A: vq VQ1@1; dev N1@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    struct Case {
        const char* title;
        std::function<void(const QString&)> prepare;  // makes the target unreplaceable
    };
    const std::vector<Case> cases = {
        {"the target is an existing folder", [](const QString& p) { QDir().mkpath(p + "/inside"); }},
        {"the target is an empty folder", [](const QString& p) { QDir().mkpath(p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const QString target = site.Dir() + "/out/" + c.title + ".q70";
        c.prepare(target);
        site.SetOutputPath(target);
        EXPECT_EQ(site.Compress({"A"}), kCompressFailed);
        EXPECT_EQ(ResultLines(site.View().Lines()),
                  (QStringList{"Compression FAILED:", "File integrity error."}));
        EXPECT_FALSE(site.View().Lines().contains("Compression SUCCESSFUL"));
        EXPECT_TRUE(QFileInfo(target).isDir());
        // The reason is in the library's error file, and nothing temporary is left.
        QFile err(target + ".err");
        ASSERT_TRUE(err.open(QIODevice::ReadOnly));
        EXPECT_TRUE(err.readAll().contains("cannot move the file into place"));
        EXPECT_TRUE(
            QDir(site.Dir() + "/out").entryList({"*.tmp*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    }
}

// Nothing temporary stands beside the target while the run walks: a process
// killed then leaves nothing behind.
TEST(CompressDatabase, NoTemporaryFileWhileWalking) {
    SiteFixture site("A: vq VQ1@1; dev N1@1; dev N2@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    QStringList seen;
    site.View().onText = [&](const QString& text) {
        if (text.startsWith("Adding near channel device"))
            seen << QDir(site.Dir() + "/out").entryList({"*.tmp*"}, QDir::AllEntries | QDir::Hidden);
    };
    ASSERT_EQ(site.Compress({"A"}), 0);
    EXPECT_TRUE(seen.isEmpty()) << seen.join(' ').toStdString();
    EXPECT_TRUE(QDir(site.Dir() + "/out").entryList({"*.tmp*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST(CompressDatabase, ProgressLinesOfOneRun) {
    // Paths below the selected hierarchy start from its own name, not from
    // the selected path.
    SiteFixture site(
        "Area: dev X@1\nArea.Line: vq VQ1@1; dev N1@1\nArea.Line.Cell: dev N2@1\nArea.Other: dev Y@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    ASSERT_EQ(site.Compress({"Area.Line"}), 0);
    const QStringList expected = {
        "",
        "Start Compressing Database...",
        "",
        "Compressing subsystem hierarchy: Line",
        "Looking for the one VQ device...",
        "Looking in subsystem: Line",
        "Found a VQ-70...",
        "Adding VQ device: VQ1",
        "Looking in subsystem: Line.Cell",
        "Looking for local channel devices...",
        "Looking in subsystem: Line",
        "Adding near channel device: N1",
        "Looking in subsystem: Line.Cell",
        "Adding near channel device: N2",
        "Looking for the only router...",
        "Looking in subsystem: Line",
        "Looking in subsystem: Line.Cell",
        "Looking for far channel devices...",
        "Compression SUCCESSFUL",
        "",
    };
    EXPECT_EQ(site.View().Lines(), expected);
}

TEST(CompressDatabase, MixedSiteReachesTheLibraryInWalkOrder) {
    // Two hierarchies, taken in the user's order (B before A), each with
    // devices spread over child subsystems on both sides of its router.
    SiteFixture site(
        "A: dev AF1@2; vq VQA@1; dev AN1@1\n"
        "A.X: router RA 1>2; dev AN2@1; dev AF2@2\n"
        "A.X.Y: dev AF3@2; dev AN3@1\n"
        "B: dev BN1@3\n"
        "B.Z: vq VQB@3; dev BF1@4\n"
        "B.W: router RB 3>4; dev BN2@3; dev BF2@4");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    ASSERT_EQ(site.Compress({"B", "A"}), 0);
    const QStringList order = {"VQB", "BN1", "BN2", "RB", "BF1", "BF2", "VQA",
                               "AN1", "AN2", "AN3", "RA", "AF1", "AF2", "AF3"};
    const QStringList listed = site.ListedObjects();
    ASSERT_EQ(listed.size(), order.size()) << listed.join('\n').toStdString();
    for (qsizetype i = 0; i < order.size(); ++i)
        EXPECT_TRUE(listed[i].contains(QRegularExpression("\\b" + order[i] + "\\b")))
            << "line " << i << ": " << listed[i].toStdString() << ", expected " << order[i].toStdString();
}

TEST(CompressDatabase, CancelClosesTheFileAsCancelled) {
    SiteFixture site("A: vq VQ1@1; dev N1@1; dev N2@1; dev N3@1; router R1 1>2; dev F1@2");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    // An older file the user chose to replace.
    QFile old(site.OutputPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older compressed database");
    old.close();

    site.View().onText = [&site](const QString& text) {
        if (text == "Adding near channel device: N2") site.Context().m_cancelRequested = true;
    };
    EXPECT_EQ(site.Compress({"A"}), kCompressCancelled);
    const QStringList lines = site.View().Lines();
    EXPECT_EQ(AddedLines(lines), (QStringList{"Adding VQ device: VQ1", "Adding near channel device: N1",
                                              "Adding near channel device: N2"}));
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"Compression Cancelled", ""}));
    EXPECT_FALSE(lines.contains("Compression FAILED:"));

    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "older compressed database");
    old.close();
    // The library was told the run was cancelled.
    QFile err(site.OutputPath() + ".err");
    QFile log(site.OutputPath() + ".log");
    QByteArray sideText;
    if (err.open(QIODevice::ReadOnly)) sideText += err.readAll();
    if (log.open(QIODevice::ReadOnly)) sideText += log.readAll();
    EXPECT_TRUE(sideText.contains("12345") || sideText.contains("0x3039") || sideText.contains("3039"))
        << sideText.toStdString();
}

TEST(CompressDatabase, ObjectServerErrorEndsTheRunSoundly) {
    SiteFixture site("A: vq VQ1@1; dev N1@1");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    QFile old(site.OutputPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older compressed database");
    old.close();

    // The object server refuses the second path.
    EXPECT_EQ(site.Compress({"A", "No.Such.Subsystem"}), kCompressFailed);
    const QStringList lines = site.View().Lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3], "Compression FAILED:");
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("The object server reported an error: "));
    EXPECT_GT(lines[lines.size() - 2].size(), QString("The object server reported an error: ").size());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "older compressed database");
    old.close();

    // The long operation and the transaction were ended: the same context
    // can run again at once and succeed.
    CSetupContext& context = site.Context();
    CLog log(&site.View());
    site.View().Clear();
    EXPECT_EQ(context.m_walk.CompressDatabase(context.m_compressSystem, site.OutputPath(), {"A"},
                                              kCompressFlags, &log, 1, 0),
              kCompressOk);
    EXPECT_TRUE(site.View().Lines().contains("Compression SUCCESSFUL"));
}

QByteArray HashFolder(const QString& folder) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext()) files << it.next();
    files.sort();
    for (const QString& path : files) {
        if (path.endsWith("-wal") || path.endsWith("-shm") || path.endsWith("-journal")) continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) continue;
        hash.addData(path.toUtf8());
        hash.addData(f.readAll());
    }
    return hash.result();
}

TEST(CompressDatabase, UserDatabaseIsUnchangedAndOutputVerifies) {
    SiteFixture site("A: vq VQ1@1; dev N1@1; router R1 1>2; dev F1@2\nB: vq VQ2@3; dev N2@3");
    ASSERT_TRUE(site.Imported()) << site.ImportError().toStdString();
    ASSERT_EQ(site.Compress({"A"}), 0);  // opens the database once, to learn its folder
    const QString folder = QString::fromStdString(site.Context().m_compressNetwork->Path());
    site.CloseDatabase();
    const QByteArray before = HashFolder(folder);

    ASSERT_EQ(site.Compress({"A", "B"}), 0);
    site.CloseDatabase();
    EXPECT_EQ(HashFolder(folder), before);

    // The file reads back with one section per hierarchy, in the user's order.
    ns2vq::Q70File file;
    const ns2vq::ReadResult read = ns2vq::VerifyFile(site.OutputPath().toStdString(), &file);
    ASSERT_TRUE(read) << read.reason;
    ASSERT_EQ(file.sections.size(), 2u);
    const ns2vq::Q70Section& a = file.sections[0];
    EXPECT_EQ(a.vq.name, "VQ1");
    ASSERT_EQ(a.nearDevices.size(), 1u);
    EXPECT_EQ(a.nearDevices[0].name, "N1");
    ASSERT_TRUE(a.router.has_value());
    EXPECT_EQ(a.router->name, "R1");
    ASSERT_EQ(a.farDevices.size(), 1u);
    EXPECT_EQ(a.farDevices[0].name, "F1");
    const ns2vq::Q70Section& b = file.sections[1];
    EXPECT_EQ(b.vq.name, "VQ2");
    ASSERT_EQ(b.nearDevices.size(), 1u);
    EXPECT_EQ(b.nearDevices[0].name, "N2");
    EXPECT_FALSE(b.router.has_value());
    EXPECT_TRUE(b.farDevices.empty());
}

}  // namespace
