#include "compress/CompressStatus.h"

#include <array>
#include <initializer_list>

#include "ns2vq/ns2vq.h"

namespace {

using namespace ns2vq;

struct StatusEntry {
    std::uint16_t code;
    std::initializer_list<const char*> lines;
};

constexpr const char* kFailed = "Compression FAILED:";
constexpr const char* kUseBrallor = "Use Brallor to fix this problem and re-run this loading wizard.";

// Every line after "Compression FAILED:" for each failing code; "\r\n" inside
// a text is a line break within that line.
const std::array<StatusEntry, 25> kTable{{
    {N2VSTS_NOT_IMPLEMENTED, {"Error: N2VSTS_NOT_IMPLEMENTED."}},
    {N2VSTS_TWO_LOCAL_ROUTERS,
     {"Two routers have been found on the VQ-70/71's local channel.  The VQ-70/71 only supports a single "
      "local router.",
      "Use your network tool to fix this problem and re-run this compression utility."}},
    {N2VSTS_UNIQUENESS_CONFLICT,
     {"Failed to compress the device %s because:",
      "Uniqueness conflict. If you have two devices with the same program ID in the same subsystem "
      "hierarchy,\r\nneither of their location string can be zero."}},
    {N2VSTS_OUT_OF_MEMORY, {"Out of Memory."}},
    {N2VSTS_NV_COUNT_MISMATCH, {"NV count mismatch."}},
    {N2VSTS_CP_VALUE_UNAVAILABLE, {"CP value unavailable."}},
    {N2VSTS_BAD_PARMS, {"Error: N2VSTS_BAD_PARMS."}},
    {N2VSTS_UNKNOWN_CHANNEL_ID, {"Unknown channel ID."}},
    {N2VSTS_UNSUPPORTED_RECORD_TYPE, {"Error: N2VSTS_UNSUPPORTED_RECORD_TYPE."}},
    {N2VSTS_BAD_HEADER, {"Error: N2VSTS_BAD_HEADER."}},
    {N2VSTS_FILE_INTEGRITY, {"File integrity error."}},
    {N2VSTS_FILE_CHECKSUM, {"File checksum error."}},
    {N2VSTS_ACK_GROUP_VIOLATION, {"Ack group violation."}},
    {N2VSTS_SEVERAL_VQS_ON_CHANNEL,
     {"This channel contains more than one VQ-70/71.", "Each channel must contain one and only one VQ-70/71.",
      kUseBrallor}},
    {N2VSTS_NO_NODE_OBJECT_NVS, {"Error: N2VSTS_NO_NODE_OBJECT_NVS."}},
    {N2VSTS_DUPLICATE_IN_HIERARCHY,
     {"The device %s has the same program ID and location string as another device in the same subsystem "
      "hierarchy.",
      "Two devices cannot have the same program ID and location string in the same subsystem hierarchy."}},
    {N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL,
     {"Failed to compress the device %s because:",
      "Two devices on a shared channel have identical program id, but one of them",
      "has no location string and so cannot be uniquely distinguished from the other device."}},
    {N2VSTS_DUPLICATE_ON_CHANNEL,
     {"The device %s has the same program ID and location string as another device on the same channel.",
      "Two devices cannot have the same program ID and location string on a shared channel."}},
    {N2VSTS_SECOND_VQ_IN_HIERARCHY,
     {"The VQ named %s cannot be compressed because another VQ exists in the same subsystem "
      "hierarchy.\r\nThere cannot be multiple VQs in the same subsystem hierarchy."}},
    {WALK_VQ_IN_SEVERAL_HIERARCHIES, {"The VQ-70 %s appears in multiple subsystem hierarchy.", kUseBrallor}},
    {WALK_ROUTER_IN_SEVERAL_HIERARCHIES,
     {"The router %s appears in multiple subsystem hierarchy.", kUseBrallor}},
    {WALK_NO_VQ, {"No VQ is found in the subsystem hierarchy."}},
    {WALK_DEVICE_IN_SEVERAL_HIERARCHIES,
     {"The device %s appears in multiple subsystem hierarchy.", kUseBrallor}},
    {WALK_OBJECT_SERVER_ERROR, {"The object server reported an error: %s"}},
    {0xFFFF, {"Unknown error."}},  // any code not listed above
}};

// Splices the name in place of the first "%s" without rescanning the name, so
// a name that itself holds "%s" is shown as it stands.
QString FillName(const char* line, const QString& name) {
    QString text = QString::fromUtf8(line);
    const qsizetype at = text.indexOf(QLatin1String("%s"));
    if (at >= 0) text.replace(at, 2, name);
    return text;
}

}  // namespace

QStringList CompressStatusLines(std::uint16_t status, const QString& failedName) {
    if (status == N2VSTS_OK) return {QStringLiteral("Compression SUCCESSFUL")};
    if (status == WALK_CANCELLED) return {QStringLiteral("Compression Cancelled")};

    const StatusEntry* entry = &kTable.back();
    for (const StatusEntry& e : kTable) {
        if (e.code == status) {
            entry = &e;
            break;
        }
    }
    QStringList lines{QString::fromUtf8(kFailed)};
    for (const char* line : entry->lines) lines << FillName(line, failedName);
    return lines;
}
