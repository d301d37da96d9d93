#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "ovx/errors.h"
#include "util/InstallDir.h"
#include "util/Prompter.h"
#include "util/Wait.h"

namespace {

struct PrompterGuard {
    ScriptedPrompter p;
    PrompterGuard() { SetPrompter(&p); }
    ~PrompterGuard() { SetPrompter(nullptr); }
};

TEST(PrompterTest, AppBoxAndErrorBoxCaptionsAndIcons) {
    PrompterGuard g;
    AppMessageBox(QStringLiteral("a"));
    AppMessageBox(QStringLiteral("b"), MsgButtons::YesNo, MsgIcon::None);
    ErrorBox(QStringLiteral("c"));
    ReportOleError(ovx::Error(ovx::kErrNotFound, "no such network"), "Opening: ");
    ReportOleError(ovx::Error(ovx::kErrNotFound, "bare"));
    ASSERT_EQ(g.p.boxes.size(), 5u);
    EXPECT_EQ(g.p.boxes[0].caption, QStringLiteral("Vaquor Setup Utility"));
    EXPECT_EQ(g.p.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(g.p.boxes[1].icon, MsgIcon::Exclamation);  // no icon named: exclamation
    EXPECT_EQ(g.p.boxes[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(g.p.boxes[2].caption, QStringLiteral("Error"));
    EXPECT_EQ(g.p.boxes[2].icon, MsgIcon::Stop);
    EXPECT_EQ(g.p.boxes[3].text, QStringLiteral("Opening: no such network"));
    EXPECT_EQ(g.p.boxes[3].caption, QStringLiteral("Error"));
    EXPECT_EQ(g.p.boxes[4].text, QStringLiteral("bare"));
}

TEST(PrompterTest, ScriptedAnswersInOrderThenDefault) {
    PrompterGuard g;
    g.p.Answer(MsgResult::No);
    EXPECT_EQ(AppMessageBox(QStringLiteral("q"), MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(AppMessageBox(QStringLiteral("q"), MsgButtons::YesNo), MsgResult::Yes);
}

TEST(WaitTest, ReplacedWaiterRecordsWithoutSleepingAndDefaultKeepsEventsFlowing) {
    RecordingWaiter w;
    SetWaiter(&w);
    QElapsedTimer t;
    t.start();
    WaitMs(5000);
    WaitMs(300);
    SetWaiter(nullptr);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(w.waits, (std::vector<int>{5000, 300}));

    int argc = 1;
    char name[] = "t";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    WaitMs(80);
    EXPECT_TRUE(fired);  // a timer ran during the wait
}

TEST(InstallDirTest, EnvironmentFirst) {
    QTemporaryDir dir;
    qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
    QString out;
    EXPECT_TRUE(GetInstallDir(out));
    EXPECT_EQ(out, dir.path());
    qputenv("TESSARIN_PATH", QByteArray(300, 'x'));  // longer than the value can hold
    EXPECT_FALSE(GetInstallDir(out));
    qunsetenv("TESSARIN_PATH");
}
}  // namespace
