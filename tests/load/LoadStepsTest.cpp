// The per-VQ steps on simulated VQs: what reaches the unit, the lines of both
// message forms, the retries with their waits, the faults of the field and a
// cancel at each step.
#include <QFile>
#include <QRegularExpression>

#include "LoadFixture.h"
#include "load/HexProgram.h"
#include "load/LoadMessages.h"
#include "ovx/errors.h"
#include "vqfield/apb.h"

namespace loadtest {
namespace {

// No bracket or transaction is left open, whatever the run went through.
void ExpectClosed(const CountingSystem& s) {
    EXPECT_EQ(s.begins, s.ends);
    EXPECT_EQ(s.openTransactions, 0);
}

TEST_F(LoadTest, OneVqThroughEveryStepHoldsExactlyTheFilesChosen) {
    OpenLoadSide(1);
    LoadRequest request = Request();
    request.interpretedProgram = true;
    request.programPath = programPath;
    const LoadRunResult result = Run(request);

    EXPECT_EQ(result.end, LoadRunEnd::Completed);
    EXPECT_EQ(result.outcomes, QVector<std::int32_t>{1});
    const vqfield::UnitMemory m = Memory(0);
    EXPECT_EQ(m.image, image);
    EXPECT_EQ(m.eventList, eventList);
    // Pairs in either case decoded, the odd last digit ignored, a closing zero byte.
    Bytes sent = program;
    sent.push_back(0);
    EXPECT_EQ(m.program, sent);
    EXPECT_EQ(m.database, database);
    EXPECT_TRUE(m.unit.commissioned);
    EXPECT_EQ(m.unit.state, 12);  // offline
    EXPECT_EQ(Ctx().m_loadDevices.at(0)->SarvikId(), units[0]);

    const QStringList expected = {
        "Load both application image and compressed database...",
        "Adding temporary VQ devices...",
        "Setting sarvik id of the VQs...",
        "",
        "Loading application image to the VQ...",
        "Loaded application image to the VQ successfully.",
        "Loading default CPs into the VQ...",
        "Loaded the default CPs into the VQ successfully.",
        "",
        "Commissioning the VQ...",
        "Commissioned the VQ successfully.",
        "",
        "Disabling all Verdane Objects of the VQ...",
        "",
        "Loading event list into the VQ...",
        "Loaded event list into the VQ successfully.",
        "",
        "Loading interpreted program into the VQ...",
        "Loaded interpreter program into the VQ successfully.",
        "",
        "Loading database into the VQ...",
        "Loaded database into the VQ successfully.",
        "",
        "Re-Enabling VQ Verdane Object of the VQ...",
        "Putting the VQ offline...",
        "The VQ is loaded SUCCESSFULLY.",
        "",
    };
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(waiter.waits, std::vector<int>{500});
    ExpectClosed(Counted());
    EXPECT_EQ(Counted().starts, 2);  // the devices, the database download
    EXPECT_TRUE(prompter.boxes.empty()) << BoxTexts().join("; ").toStdString();

    const QString file = LogFileText();
    EXPECT_TRUE(file.contains("************************* Begin Loading\r\n"));
    EXPECT_TRUE(file.contains("Loading database into the VQ...\r\n"));
    EXPECT_TRUE(file.contains("************************* End Loading\r\n"));
}

// The same over TCP to vqsim, with an image that fails once on the way.
TEST_F(LoadOverVqsim, TwoVqsWithARetryHoldTheirFiles) {
    OpenLoadSide(2);
    client->Break(units[1], {{"failImageLoads", 1}});
    LoadRequest request = Request();
    request.interpretedProgram = true;
    request.programPath = programPath;
    const LoadRunResult result = Run(request);
    EXPECT_EQ(result.outcomes, (QVector<std::int32_t>{1, 1}));
    Bytes sent = program;
    sent.push_back(0);
    for (int vq = 0; vq < 2; ++vq) {
        const vqfield::UnitMemory m = Memory(vq);
        EXPECT_EQ(m.image, image);
        EXPECT_EQ(m.eventList, eventList);
        EXPECT_EQ(m.program, sent);
        EXPECT_EQ(m.database, database);
        EXPECT_EQ(m.unit.state, 12);
    }
    EXPECT_EQ(waiter.waits, (std::vector<int>{500, 1000, 500}));
    EXPECT_TRUE(LogFileText().contains("Retry loading application image to VQ #2. Retry #1\r\n"));
    ExpectClosed(Counted());
}

TEST_F(LoadTest, DefaultProgramIsFortyZeroBytes) {
    OpenLoadSide(1);
    EXPECT_EQ(Run(Request()).outcomes, QVector<std::int32_t>{1});
    EXPECT_EQ(Memory(0).program, Bytes(40, 0));
    EXPECT_TRUE(view.lines.contains("Loaded default interpreter program into the VQ successfully."));
}

TEST_F(LoadTest, TwoVqsAreNumberedFromOne) {
    OpenLoadSide(2);
    const LoadRunResult result = Run(Request());
    EXPECT_EQ(result.outcomes, (QVector<std::int32_t>{1, 1}));
    for (int vq = 1; vq <= 2; ++vq) {
        for (const QString& line :
             {QString("Loading application image to VQ #%1..."), QString("Commissioned VQ #%1 successfully."),
              QString("Loaded database into VQ #%1 successfully."), QString("Putting VQ #%1 offline...")})
            EXPECT_TRUE(view.lines.contains(line.arg(vq))) << line.arg(vq).toStdString();
        EXPECT_EQ(Memory(vq - 1).database, database);
    }
    EXPECT_FALSE(view.lines.join("\n").contains(QRegularExpression("the VQ(?!s)")));
    EXPECT_EQ(view.lines.mid(view.lines.size() - 2), (QStringList{"All VQs are loaded SUCCESSFULLY.", ""}));
}

// Both forms of a sample of the table, as the steps write them.
TEST(LoadMessages, BothForms) {
    struct Case {
        LoadMsg id;
        QStringList args;
        QString single, numbered;  // numbered for index 2 (VQ #3)
    } cases[] = {
        {LoadMsg::SarvikIdFailed,
         {"bad 100%s"},
         "Error: Failed to set sarvik ID of the VQ because of the error below:\r\nbad 100%s",
         "Error: Failed to set sarvik ID of VQ #3 because of the error below:\r\nbad 100%s"},
        {LoadMsg::DownloadFailed,
         {"16394"},
         "Error: The VQ could not be downloaded.  File Transfer Error #16394",
         "Error: VQ #3 could not be downloaded.  File Transfer Error #16394"},
        {LoadMsg::ImageRetry,
         {"2"},
         "Retry loading application image to VQ #3. Retry #2",
         "Retry loading application image to VQ #3. Retry #2"},
        {LoadMsg::ImageMissing,
         {"/x/app.apb"},
         "Error: Cannot load application image into any devices\r\nbecause the file /x/app.apb\r\nis invalid",
         "Error: Cannot load application image into any devices\r\nbecause the file /x/app.apb\r\nis "
         "invalid"},
        {LoadMsg::ReEnableFailed,
         {"gone"},
         "Error: Failed to enable the RQ object of the VQ because of the error below:\r\ngone",
         "Error: Failed to enable the RQ object of VQ #3 because of the error below:\r\ngone"},
        {LoadMsg::OfflineFailed,
         {"d"},
         "Error: Failed to turn the VQ offline because of the error below:\r\nd",
         "Error: Failed to turn VQ #3 offline because of the error below:\r\nd"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadMessage(c.id, 1, 2, c.args), c.single);
        EXPECT_EQ(LoadMessage(c.id, 5, 2, c.args), c.numbered);
    }
}

TEST(HexProgram, PairsDecodeWithAClosingZero) {
    struct Case {
        std::string text;
        Bytes bytes;
    } cases[] = {
        {"", {0}},
        {"0aFf", {0x0A, 0xFF, 0}},
        {"G1", {0x01, 0}},                   // a non-hex character counts as 0
        {"1234567", {0x12, 0x34, 0x56, 0}},  // 7 characters: 4 bytes, the odd one ignored
        {"zz", {0, 0}},
    };
    for (const Case& c : cases) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(c.text.data());
        EXPECT_EQ(DecodeHexProgram(p, c.text.size()), c.bytes) << c.text;
    }
    EXPECT_EQ(HexPairToByte('f', 'f'), 0xFF);
    EXPECT_EQ(HexPairToByte('A', '0'), 0xA0);
}

// Retries of the image and of the database download, with the waits taken.
TEST_F(LoadTest, RetryTables) {
    struct Case {
        const char* name;
        int failImageLoads;
        int busyDbCalls;  // calls of the download that meet a busy unit
        std::int32_t outcome;
        std::vector<int> waits;
        QStringList fileNotes;
        QString errorLine;  // empty when the VQ loads
    } cases[] = {
        {"three image failures then success",
         3,
         0,
         1,
         {1000, 1000, 1000, 500},
         {"Retry loading application image to VQ #1. Retry #1",
          "Retry loading application image to VQ #1. Retry #2",
          "Retry loading application image to VQ #1. Retry #3"},
         ""},
        {"four image failures",
         4,
         0,
         0,
         {1000, 1000, 1000},
         {"Retry loading application image to VQ #1. Retry #3"},
         "Error: Failed to load into the VQ because of the error below:"},
        {"three download failures then success", 0, 3, 1, {500, 1000, 2000, 3000}, {}, ""},
        {"five download failures",
         0,
         5,
         0,
         {500, 1000, 2000, 3000, 4000},
         {},
         QString("Error: The VQ could not be downloaded.  File Transfer Error #%1")
             .arg(ovx::kErrDeviceBusy & 0xFFFF)},
    };
    OpenLoadSide(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client->Repair(units[0]);
        // The library tries each piece of a file four times before a call fails.
        client->Break(units[0],
                      {{"failImageLoads", c.failImageLoads}, {"busyDbDownloads", 4 * c.busyDbCalls}});
        waiter.waits.clear();
        OpenLogFile();
        const LoadRunResult result = Run(Request());
        EXPECT_EQ(result.outcomes, QVector<std::int32_t>{c.outcome});
        EXPECT_EQ(waiter.waits, c.waits);
        const QString file = LogFileText();
        for (const QString& note : c.fileNotes)
            EXPECT_TRUE(file.contains(note + "\r\n")) << note.toStdString();
        // The notes go to the file only.
        EXPECT_FALSE(view.lines.join("\n").contains("Retry loading"));
        if (c.errorLine.isEmpty()) {
            EXPECT_EQ(Memory(0).database, database);
        } else {
            EXPECT_TRUE(view.lines.join("\n").contains(c.errorLine)) << view.lines.join("\n").toStdString();
            EXPECT_EQ(view.lines.at(view.lines.size() - 2), "FAILED to load into the VQ.");
        }
        ExpectClosed(Counted());
    }
}

// A fault on VQ #1 fails it with its line; VQ #2 is loaded all the same.
TEST_F(LoadTest, FaultTable) {
    struct Case {
        const char* name;
        std::function<void(LoadTest&)> arrange;
        QString errorLine;
        std::int32_t outcome;
        const char* failedStep;
    } cases[] = {
        {"busy unit",
         [](LoadTest& t) {
             t.client->Break(t.units[0], {{"busyDbDownloads", 100}});
         },
         QString("Error: VQ #1 could not be downloaded.  File Transfer Error #%1")
             .arg(ovx::kErrDeviceBusy & 0xFFFF),
         0, "LoadDeviceContents"},
        {"dropped link during the event list",
         [](LoadTest& t) {
             t.OnLine("Loading event list into VQ #1...", [&t] {
                 t.client->Break(t.units[0], {{"dropAfterBytes", 100}});
             });
         },
         "Error: Failed to load the event list to VQ #1 because of the error below:", 0,
         "LoadDeviceContents"},
        {"unit that never answers",
         [](LoadTest& t) {
             t.client->Break(t.units[0], {{"silent", true}});
         },
         "Error: Failed to set sarvik ID of VQ #1 because of the error below:", 0, "SetSarvikId"},
        {"commission refused",
         [](LoadTest& t) {
             t.client->Break(t.units[0], {{"refuseCommission", true}});
         },
         "Error: Failed to commission VQ #1 because of the error below:", 0, "CommissionDevice"},
        {"node object that cannot be re-enabled",
         [](LoadTest& t) {
             t.OnLine("Re-Enabling VQ Verdane Object of VQ #1...", [&t] {
                 t.client->Break(t.units[0], {{"silent", true}});
             });
             t.OnLine("Error: Failed to enable the RQ object of VQ #1",
                      [&t] { t.client->Repair(t.units[0]); });
         },
         "Error: Failed to enable the RQ object of VQ #1 because of the error below:", 1, ""},
    };
    OpenLoadSide(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client->Repair(units[0]);
        lineActions.clear();
        c.arrange(*this);
        const LoadRunResult result = Run(Request());
        const QString text = view.lines.join("\n");
        EXPECT_EQ(result.outcomes, (QVector<std::int32_t>{c.outcome, 1})) << text.toStdString();
        EXPECT_TRUE(text.contains(c.errorLine)) << text.toStdString();
        EXPECT_EQ(result.vqs[0].failedStep, QString(c.failedStep));
        EXPECT_EQ(Memory(1).database, database);
        EXPECT_EQ(Memory(1).unit.state, 12);
        if (c.outcome == 1) {
            EXPECT_EQ(Memory(0).database, database);
            EXPECT_EQ(Memory(0).unit.state, 12);  // still put offline
        } else {
            EXPECT_TRUE(
                text.contains("The following VQs failed. Press Wink Failed to find out which ones "
                              "failed.\nVQ #1\n"));
            EXPECT_TRUE(result.vqs[0].message.startsWith(c.errorLine));
        }
        ExpectClosed(Counted());
    }
}

// A cancel seen at each step: the run ends as cancelled, VQ #2 is not
// reached, and no bracket, transaction or device operation is left open.
TEST_F(LoadTest, CancelAtEachStep) {
    struct Case {
        const char* line;
        std::int32_t firstOutcome;
    } cases[] = {
        {"Setting sarvik id of the VQs...", 0},
        {"Loading application image to VQ #1...", 1},  // seen after the image is in
        {"Loading default CPs into VQ #1...", 0},
        {"Commissioning VQ #1...", 0},
        {"Disabling all Verdane Objects of VQ #1...", 0},
        {"Loading event list into VQ #1...", 0},
        {"Loading database into VQ #1...", 0},
        {"Re-Enabling VQ Verdane Object of VQ #1...", 0},
        {"Putting VQ #1 offline...", 1},  // nothing checks after the last call
    };
    OpenLoadSide(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        lineActions.clear();
        OnLine(c.line, [this] { Ctx().RequestCancel(); });
        const LoadRunResult result = Run(Request());
        EXPECT_EQ(result.end, LoadRunEnd::Cancelled);
        EXPECT_EQ(result.outcomes, (QVector<std::int32_t>{c.firstOutcome, 1}));
        EXPECT_EQ(result.vqs[1].outcome, VqOutcome::NotReached);
        EXPECT_EQ(view.lines.last(), "Loading Cancelled.");
        EXPECT_FALSE(view.lines.join("\n").contains("VQ #2"));
        ExpectClosed(Counted());
    }
}

// Cancel pressed while the image travels: the transfer is stopped at once and
// not started again.
TEST_F(LoadTest, CancelDuringTheImageStopsTheTransfer) {
    OpenLoadSide(1);
    image = vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(64 * 1024, 9));
    WriteAll(imagePath, image);
    client->SetRate(1, 78125);  // about seven seconds of wire time
    bool pressed = false;
    Ctx().m_objectServer.SetProgressHandler([&] {
        if (Ctx().m_appImageLoading && !pressed) {
            pressed = true;
            Ctx().RequestCancel();
        }
    });
    const LoadRunResult result = Run(Request());
    EXPECT_TRUE(pressed);
    EXPECT_EQ(result.end, LoadRunEnd::Cancelled);
    EXPECT_EQ(result.vqs[0].failedStep, "LoadApplicationImage");
    EXPECT_EQ(result.vqs[0].result, kCancelled);
    EXPECT_TRUE(Memory(0).image.empty());
    EXPECT_TRUE(waiter.waits.empty());  // no retry after the cancel
    EXPECT_FALSE(Ctx().m_appImageLoading);
    ExpectClosed(Counted());
}

TEST_F(LoadTest, ShortSarvikIdListFailsThatVqWithALine) {
    OpenLoadSide(2);
    LoadRequest request = Request();
    request.sarvikIds.removeLast();
    const LoadRunResult result = Run(request);
    EXPECT_EQ(result.outcomes, (QVector<std::int32_t>{1, 0}));
    EXPECT_TRUE(view.lines.contains("Error: The batch list holds no Sarvik ID for VQ #2."));
    EXPECT_EQ(result.vqs[1].failedStep, "SetSarvikId");
    // An index the table does not hold fails the same way, without a crash.
    EXPECT_EQ(Ctx().CommissionDevice(5, log.get()), kLoadFailed);
    EXPECT_EQ(view.lines.last(), "Error: There is no temporary device for VQ #6.");
    ExpectClosed(Counted());
}

TEST_F(LoadTest, MissingImageFailsBeforeAnythingIsSent) {
    OpenLoadSide(1);
    LoadRequest request = Request();
    request.imagePath = dir.path() + "/files/none.apb";
    const LoadRunResult result = Run(request);
    EXPECT_EQ(result.vqs[0].result, kImageMissing);
    EXPECT_TRUE(
        view.lines.contains("Error: Cannot load application image into any devices\r\nbecause the file " +
                            request.imagePath + "\r\nis invalid"));
    EXPECT_EQ(Counted().begins, 0);
    EXPECT_TRUE(Memory(0).image.empty());
}

TEST_F(LoadTest, UnreadableEventListFailsWithTheFileMessage) {
    OpenLoadSide(1);
    LoadRequest request = Request();
    request.eventListPath = dir.path() + "/files/none.etl";
    const LoadRunResult result = Run(request);
    EXPECT_EQ(result.outcomes, QVector<std::int32_t>{0});
    EXPECT_TRUE(view.lines.join("\n").contains("none.etl")) << view.lines.join("\n").toStdString();
    EXPECT_TRUE(Memory(0).eventList.empty());
    ExpectClosed(Counted());
}

}  // namespace
}  // namespace loadtest
