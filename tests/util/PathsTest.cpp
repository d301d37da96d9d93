// Path rules in both forms, and the file helpers on a real temporary tree.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "util/MappedFile.h"
#include "util/PathRules.h"
#include "util/Paths.h"
#include "util/Prompter.h"

namespace {

struct ResolveCase {
    const char* name;
    const char* defaultDir;
    bool toFull;
    const char* expected;
};

TEST(ResolveFileNameText, WindowsForms) {
    const PathStyle w = PathStyle::Windows();
    const QString install = QStringLiteral("C:\\Tess");
    const ResolveCase cases[] = {
        {"net1", "\\Vq\\CompressedDB", true, "C:\\Tess\\Vq\\CompressedDB\\net1.q70"},
        {"net1.", "\\Vq\\CompressedDB\\", true, "C:\\Tess\\Vq\\CompressedDB\\net1..q70"},
        {"net1.bin", "\\Vq\\CompressedDB\\", true, "C:\\Tess\\Vq\\CompressedDB\\net1.bin"},
        {"sub\\net1", "\\Vq\\CompressedDB\\", true, "sub\\net1.q70"},  // never moved
        {"D:\\x\\net1", "\\Vq\\CompressedDB\\", true, "D:\\x\\net1.q70"},
        {"C:\\Tess\\Vq\\CompressedDB\\net1.q70", "\\Vq\\CompressedDB", false, "net1"},
        {"c:\\tess\\vq\\compresseddb\\net1.Q70", "\\Vq\\CompressedDB\\", false, "net1"},
        {"C:\\Tess\\Vq\\CompressedDB\\net1.bin", "\\Vq\\CompressedDB\\", false, "net1.bin"},
        {"D:\\Other\\net1.q70", "\\Vq\\CompressedDB\\", false, "D:\\Other\\net1"},
        {"D:\\Other\\net1.bin", "\\Vq\\CompressedDB\\", false, "D:\\Other\\net1.bin"},
        {"D:\\Other\\net1.q70", "D:\\Other", false, "net1"},  // a drive directory stands as it is
    };
    for (const auto& c : cases) {
        QString name = QString::fromUtf8(c.name);
        QString dir = QString::fromUtf8(c.defaultDir);
        ASSERT_TRUE(pathrules::ResolveFileNameText(name, dir, QStringLiteral(".q70"), c.toFull, install, w));
        EXPECT_EQ(name.toStdString(), c.expected) << c.name;
        EXPECT_TRUE(dir.endsWith(QLatin1Char('\\'))) << c.name;
    }
}

TEST(ResolveFileNameText, PosixFormsAndTheFullInitialDirectory) {
    const PathStyle p = PathStyle::Posix();
    const QString install = QStringLiteral("/opt/tess");
    const ResolveCase cases[] = {
        {"net1", "/Vq/CompressedDB", true, "/opt/tess/Vq/CompressedDB/net1.q70"},
        {"/opt/tess/Vq/CompressedDB/net1.q70", "/Vq/CompressedDB/", false, "net1"},
        // The page passes the full initial directory; it is not prefixed again.
        {"/opt/tess/Vq/CompressedDB/net1.q70", "/opt/tess/Vq/CompressedDB/", false, "net1"},
        {"/srv/other/net1.q70", "/opt/tess/Vq/CompressedDB/", false, "/srv/other/net1"},
        {"/srv/other/net1", "/Vq/CompressedDB/", true, "/srv/other/net1.q70"},
    };
    for (const auto& c : cases) {
        QString name = QString::fromUtf8(c.name);
        QString dir = QString::fromUtf8(c.defaultDir);
        ASSERT_TRUE(pathrules::ResolveFileNameText(name, dir, QStringLiteral(".q70"), c.toFull, install, p));
        EXPECT_EQ(name.toStdString(), c.expected) << c.name;
    }
}

TEST(ResolveFileNameText, TooLongResultFailsAndLeavesTheName) {
    const PathStyle w = PathStyle::Windows();
    QString name = QString(250, QLatin1Char('n'));
    QString dir = QStringLiteral("\\Vq\\CompressedDB\\");
    EXPECT_FALSE(pathrules::ResolveFileNameText(name, dir, ".q70", true, "C:\\Tess", w));
    EXPECT_EQ(name, QString(250, QLatin1Char('n')));
}

TEST(DirectoryPathSteps, Table) {
    struct Case {
        PathStyle style;
        std::string path;
        std::optional<QStringList> steps;
    };
    const Case cases[] = {
        {PathStyle::Windows(), "C:\\a\\b\\c", QStringList{"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}},
        {PathStyle::Windows(), "C:\\a\\", QStringList{"C:\\a"}},
        {PathStyle::Windows(), "\\\\server\\share\\x", std::nullopt},
        {PathStyle::Windows(), "C:\\a\\\\b", std::nullopt},
        {PathStyle::Windows(), "a\\b", std::nullopt},
        {PathStyle::Windows(), "C:\\" + std::string(300, 'a'), std::nullopt},
        {PathStyle::Posix(), "/a/b/c", QStringList{"/a", "/a/b", "/a/b/c"}},
        {PathStyle::Posix(), "//server/share/x", std::nullopt},
        {PathStyle::Posix(), "a/b", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pathrules::DirectoryPathSteps(QString::fromStdString(c.path), c.style), c.steps) << c.path;
}

TEST(GetDirectoryPart, Table) {
    struct Case {
        const char* path;
        bool ok;
        const char* out;
    };
    const Case cases[] = {
        {"C:\\a\\b.q70", true, "C:\\a"}, {"/a/b/c", true, "/a/b"},
        {"a/b\\c", true, "a/b"},         {"/file", true, ""},
        {"http://x", true, "http://x"},  {"name", false, "untouched"},
        {"", false, "untouched"},
    };
    for (const auto& c : cases) {
        QString out = QStringLiteral("untouched");
        EXPECT_EQ(GetDirectoryPart(c.path, out), c.ok) << c.path;
        EXPECT_EQ(out.toStdString(), c.out) << c.path;
    }
}

TEST(SetTrailingBackslash, AddsRemovesAndLeaves) {
    const PathStyle w = PathStyle::Windows();
    EXPECT_EQ(pathrules::WithTrailingSep("C:\\a", true, w), "C:\\a\\");
    EXPECT_EQ(pathrules::WithTrailingSep("C:\\a\\", true, w), "C:\\a\\");
    EXPECT_EQ(pathrules::WithTrailingSep("C:\\a\\", false, w), "C:\\a");
    EXPECT_EQ(pathrules::WithTrailingSep("", true, w), "");
    QString p = QStringLiteral("/a");
    SetTrailingBackslash(p, true);
    EXPECT_EQ(p, "/a/");
    SetTrailingBackslash(p, false);
    EXPECT_EQ(p, "/a");
}

class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("TESSARIN_PATH", m_dir.path().toUtf8());
        SetPrompter(&m_prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        qunsetenv("TESSARIN_PATH");
    }
    QString Path(const QString& rel) const { return m_dir.path() + QLatin1Char('/') + rel; }
    void Touch(const QString& rel, const QByteArray& bytes = "x") {
        QDir().mkpath(QFileInfo(Path(rel)).path());
        QFile f(Path(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
};

TEST_F(FileHelpers, ResolveMakesTheDefaultDirectoryAndRoundTrips) {
    QDir().mkpath(Path("Vq"));
    QString name = QStringLiteral("net1");
    QString dir = QStringLiteral("/Vq/CompressedDB");
    ASSERT_TRUE(ResolveFileName(name, dir, ".q70", true));
    EXPECT_EQ(name, Path("Vq/CompressedDB/net1.q70"));
    EXPECT_EQ(dir, "/Vq/CompressedDB/");
    EXPECT_TRUE(DirectoryExists(Path("Vq/CompressedDB")));
    ASSERT_TRUE(ResolveFileName(name, dir, ".q70", false));
    EXPECT_EQ(name, "net1");
}

TEST_F(FileHelpers, ExistsWithWildcardsAndTrailingSeparator) {
    Touch("d/site.q70");
    EXPECT_TRUE(DirectoryExists(Path("d/")));
    EXPECT_TRUE(DirectoryExists(Path("d")));
    EXPECT_FALSE(DirectoryExists(Path("d/site.q70")));
    EXPECT_FALSE(DirectoryExists(""));
    EXPECT_TRUE(FileExists(Path("d/site.q70")));
    EXPECT_TRUE(FileExists(Path("d")));
    EXPECT_TRUE(FileExists(Path("d/*.q70")));
    EXPECT_TRUE(FileExists(Path("d/s?te.*")));
    EXPECT_TRUE(FileExists(Path("d/*.*")));
    EXPECT_FALSE(FileExists(Path("d/*.apb")));
    EXPECT_FALSE(FileExists(Path("d/other.q70")));
    EXPECT_FALSE(FileExists(Path(QString(5000, QLatin1Char('a')))));
}

TEST_F(FileHelpers, CreateDirectoryPathMakesEveryLevel) {
    EXPECT_TRUE(CreateDirectoryPath(Path("a/b/c")));
    EXPECT_TRUE(DirectoryExists(Path("a/b/c")));
    EXPECT_TRUE(CreateDirectoryPath(Path("a/b/c/")));  // all there already
    Touch("file");
    EXPECT_FALSE(CreateDirectoryPath(Path("file/sub")));
    EXPECT_FALSE(CreateDirectoryPath("relative/dir"));
    EXPECT_FALSE(CreateDirectoryPath("/" + m_dir.path() + "/net"));  // two separators in a row
    EXPECT_FALSE(DirectoryExists(Path("net")));
}

TEST_F(FileHelpers, DeleteTreeRemovesEverythingButDotNamesWithoutAsking) {
    Touch("t/a.bin");
    Touch("t/s/b.bin");
    Touch("t/s/deeper/c.bin");
    DeleteTree(Path("t"));
    EXPECT_FALSE(FileExists(Path("t")));
    EXPECT_TRUE(m_prompter.boxes.empty());
    DeleteTree(Path("t"));  // gone: nothing happens
    EXPECT_TRUE(m_prompter.boxes.empty());
}

TEST_F(FileHelpers, DeleteTreeRemovesLinksNotWhatTheyPointTo) {
    Touch("outside/keep.bin");
    Touch("t/own.bin");
    ASSERT_TRUE(QFile::link(Path("outside"), Path("t/dirlink")));
    ASSERT_TRUE(QFile::link(Path("outside/keep.bin"), Path("t/filelink")));
    ASSERT_TRUE(QFile::link(Path("outside"), Path("toplink")));
    DeleteTree(Path("t"));
    EXPECT_FALSE(QFileInfo(Path("t")).exists());
    DeleteTree(Path("toplink"));
    EXPECT_FALSE(QFileInfo(Path("toplink")).isSymLink());
    EXPECT_TRUE(QFile::exists(Path("outside/keep.bin")));
    EXPECT_TRUE(m_prompter.boxes.empty());
}

// Makes a file undeletable: immutable when running as root, a read-only
// parent otherwise.
class Lock {
public:
    Lock(const QString& file) : m_file(file), m_dir(QFileInfo(file).path()) {
        if (geteuid() != 0) {
            m_locked = QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            m_byMode = true;
            return;
        }
        m_locked = SetImmutable(true);
    }
    ~Lock() {
        if (!m_locked) return;
        if (m_byMode)
            QFile::setPermissions(m_dir,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        else
            SetImmutable(false);
    }
    bool Locked() const { return m_locked; }

private:
    bool SetImmutable(bool on) {
        const int fd = ::open(m_file.toLocal8Bit().constData(), O_RDONLY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    QString m_file, m_dir;
    bool m_locked = false;
    bool m_byMode = false;
};

TEST_F(FileHelpers, DeleteTreeAsksOnceAndYesSilencesTheRest) {
    for (MsgResult answer : {MsgResult::Yes, MsgResult::No}) {
        m_prompter = ScriptedPrompter();
        Touch("t/s/locked.bin");
        Touch("t/free.bin");
        {
            Lock lock(Path("t/s/locked.bin"));
            if (!lock.Locked()) GTEST_SKIP() << "cannot lock a file here";
            for (int i = 0; i < 3; ++i) m_prompter.Answer(answer);
            DeleteTree(Path("t"));
        }
        const QString file = QDir::toNativeSeparators(Path("t/s/locked.bin"));
        ASSERT_FALSE(m_prompter.boxes.empty());
        EXPECT_EQ(m_prompter.boxes[0].text,
                  "Cannot remove the file " + file + ".\nWould you like to skip further error messages?");
        EXPECT_EQ(m_prompter.boxes[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(m_prompter.boxes[0].caption, kAppCaption);
        if (answer == MsgResult::Yes) {
            EXPECT_EQ(m_prompter.boxes.size(), 1u);
        } else {
            // No keeps asking: "t/s" and then "t" cannot be removed.
            ASSERT_EQ(m_prompter.boxes.size(), 3u);
            EXPECT_EQ(m_prompter.boxes[1].text, "Cannot remove the directory " +
                                                    QDir::toNativeSeparators(Path("t/s")) +
                                                    ".\nWould you like to skip other error messages?");
        }
        EXPECT_FALSE(QFile::exists(Path("t/free.bin")));
        DeleteTree(Path("t"));
    }
}

TEST_F(FileHelpers, MappedFileWritesAndReadsBack) {
    CMappedFile out;
    std::uint8_t* w = out.Create(Path("m.bin"), 4);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(out.m_pCursor, w);
    EXPECT_EQ(out.m_nSize, 4u);
    std::memcpy(w, "VQ70", 4);
    out.Close();
    EXPECT_EQ(out.m_pBase, nullptr);
    CMappedFile in;
    const std::uint8_t* r = in.OpenRead(Path("m.bin"), true);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r), 4), "VQ70");
    EXPECT_EQ(in.m_nPos, 0u);
    EXPECT_TRUE(m_prompter.boxes.empty());
}

TEST_F(FileHelpers, MappedFileFailuresShownOrKept) {
    Touch("empty.bin", QByteArray());
    struct Case {
        QString file;
        QString message;
    };
    const QString missing = Path("missing.bin");
    const Case cases[] = {
        {Path("empty.bin"), "Cannot open an empty file."},
        {missing, "Failed to open the file " + QDir::toNativeSeparators(missing)},
    };
    for (const auto& c : cases) {
        m_prompter.boxes.clear();
        g_strLastFileError.clear();
        CMappedFile f;
        EXPECT_EQ(f.OpenRead(c.file, false), nullptr);
        EXPECT_EQ(g_strLastFileError, c.message);
        EXPECT_TRUE(m_prompter.boxes.empty());
        EXPECT_EQ(f.OpenRead(c.file, true), nullptr);
        ASSERT_EQ(m_prompter.boxes.size(), 1u);
        EXPECT_EQ(m_prompter.boxes[0].text, c.message);
        EXPECT_EQ(m_prompter.boxes[0].caption, kAppCaption);
    }
    CMappedFile c;
    m_prompter.boxes.clear();
    const QString bad = Path("no/such/dir/x.bin");
    EXPECT_EQ(c.Create(bad, 8), nullptr);
    ASSERT_EQ(m_prompter.boxes.size(), 1u);
    EXPECT_EQ(m_prompter.boxes[0].text, "Failed to open or create the file " + QDir::toNativeSeparators(bad) +
                                            ". Please make sure the file name is valid and the directory "
                                            "exists already.");
}

}  // namespace
