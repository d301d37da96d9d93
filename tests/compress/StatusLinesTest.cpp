// The final status of a compression run turned into progress-log lines.
#include <gtest/gtest.h>

#include "compress/CompressStatus.h"

namespace {

struct Case {
    std::uint16_t code;
    std::vector<const char*> lines;  // after "Compression FAILED:" for failures
};

const char* const kBrallor = "Use Brallor to fix this problem and re-run this loading wizard.";

// The failing object's name in these lines is "Pump 7".
const std::vector<Case> kFailures = {
    {0x2001, {"Error: N2VSTS_NOT_IMPLEMENTED."}},
    {0x2002,
     {"Two routers have been found on the VQ-70/71's local channel.  The VQ-70/71 only supports a single "
      "local "
      "router.",
      "Use your network tool to fix this problem and re-run this compression utility."}},
    {0x2003,
     {"Failed to compress the device Pump 7 because:",
      "Uniqueness conflict. If you have two devices with the same program ID in the same subsystem "
      "hierarchy,\r\nneither of their location string can be zero."}},
    {0x2004, {"Out of Memory."}},
    {0x2005, {"NV count mismatch."}},
    {0x2006, {"CP value unavailable."}},
    {0x2007, {"Error: N2VSTS_BAD_PARMS."}},
    {0x2008, {"Unknown channel ID."}},
    {0x2009, {"Error: N2VSTS_UNSUPPORTED_RECORD_TYPE."}},
    {0x200A, {"Error: N2VSTS_BAD_HEADER."}},
    {0x200B, {"File integrity error."}},
    {0x200C, {"File checksum error."}},
    {0x200D, {"Ack group violation."}},
    {0x200E,
     {"This channel contains more than one VQ-70/71.", "Each channel must contain one and only one VQ-70/71.",
      kBrallor}},
    {0x200F, {"Error: N2VSTS_NO_NODE_OBJECT_NVS."}},
    {0x2010,
     {"The device Pump 7 has the same program ID and location string as another device in the same subsystem "
      "hierarchy.",
      "Two devices cannot have the same program ID and location string in the same subsystem hierarchy."}},
    {0x2011,
     {"Failed to compress the device Pump 7 because:",
      "Two devices on a shared channel have identical program id, but one of them",
      "has no location string and so cannot be uniquely distinguished from the other device."}},
    {0x2012,
     {"The device Pump 7 has the same program ID and location string as another device on the same channel.",
      "Two devices cannot have the same program ID and location string on a shared channel."}},
    {0x2013,
     {"The VQ named Pump 7 cannot be compressed because another VQ exists in the same subsystem "
      "hierarchy.\r\nThere cannot be multiple VQs in the same subsystem hierarchy."}},
    {0x2801, {"The VQ-70 Pump 7 appears in multiple subsystem hierarchy.", kBrallor}},
    {0x2802, {"The router Pump 7 appears in multiple subsystem hierarchy.", kBrallor}},
    {0x2803, {"No VQ is found in the subsystem hierarchy."}},
    {0x2804, {"The device Pump 7 appears in multiple subsystem hierarchy.", kBrallor}},
    // Codes outside the table.
    {0x2014, {"Unknown error."}},
    {0x2000, {"Unknown error."}},
    {0x0001, {"Unknown error."}},
    {0xFFFF, {"Unknown error."}},
};

TEST(CompressStatusLines, EveryFailingCodeGivesItsLinesWithTheNameFilledIn) {
    for (const Case& c : kFailures) {
        SCOPED_TRACE(QString::number(c.code, 16).toStdString());
        QStringList expected{"Compression FAILED:"};
        for (const char* line : c.lines) expected << QString::fromUtf8(line);
        EXPECT_EQ(CompressStatusLines(c.code, "Pump 7"), expected);
    }
}

TEST(CompressStatusLines, SuccessAndCancellationAreOneLineWithoutFailure) {
    EXPECT_EQ(CompressStatusLines(0, "Pump 7"), QStringList{"Compression SUCCESSFUL"});
    EXPECT_EQ(CompressStatusLines(12345, "Pump 7"), QStringList{"Compression Cancelled"});
}

TEST(CompressStatusLines, NameIsInsertedAsItStands) {
    // A name holding format characters must not be expanded again.
    EXPECT_EQ(CompressStatusLines(0x2804, "Tank %s %1 %d").at(1),
              "The device Tank %s %1 %d appears in multiple subsystem hierarchy.");
    EXPECT_EQ(CompressStatusLines(0x2804, "").at(1), "The device  appears in multiple subsystem hierarchy.");
}

TEST(CompressStatusLines, ObjectServerErrorCarriesTheDescription) {
    EXPECT_EQ(
        CompressStatusLines(WALK_OBJECT_SERVER_ERROR, "database is locked"),
        (QStringList{"Compression FAILED:", "The object server reported an error: database is locked"}));
}

}  // namespace
