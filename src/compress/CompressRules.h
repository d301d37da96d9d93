// The fixed values of the compression side, each in one place: what the
// wizard hands to the compressor library, the rules it applies before the
// library sees an object, and where compressed files and their history live.
#pragma once

#include <QDir>
#include <QString>
#include <cstdint>

#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

// The creator identifier every compressed file is opened with.
inline constexpr const char* kCompressCreator = ns2vq::kQ70Creator;

// A device is a VQ when its program ID begins with these 14 characters
// (case-sensitive).
inline constexpr const char* kVqProgramIdPrefix = ns2vq::kVqProgramIdPrefix;

// The extension record that names a device's home subsystem by handle.
inline constexpr const char* kHomeSubsystemKey = "Quillane_KTW_SubsysHndl";

// Flags handed with every VQ, device and router: keep network variables and
// configuration values. Routers get bit 0 forced on.
inline constexpr std::uint32_t kCompressFlags = ns2vq::kFlagNvRecords | ns2vq::kFlagCpRecords;
static_assert(kCompressFlags == 0x101);
inline constexpr std::uint32_t kRouterFlagBit = 0x1;

// A VQ holds at most this many subsystem hierarchies.
inline constexpr int kMaxHierarchies = 16;

// Compressed files: their default folder under the install directory, their
// extension, the history behind the file-name boxes, and the copy of the
// library's detailed log.
inline const QString kCompressedDbFolder = QStringLiteral("/Vq/CompressedDB/");
inline const QString kCompressedDbExt = QStringLiteral(".q70");
inline const QString kCompressHistorySection = QStringLiteral("CompressHist");
inline constexpr int kCompressHistorySize = 8;
inline const QString kDetailedLogName = QStringLiteral("Detailed compression log.log");

// The default folder relative to the install directory, with native separators.
inline QString CompressedDbRelativeDir() {
    return QDir::toNativeSeparators(kCompressedDbFolder);
}

// The library's side files of a run: the output's full path with the
// library's suffix appended.
inline QString SideFilePath(const QString& fullPath, const char* suffix) {
    return fullPath + QString::fromLatin1(suffix);
}
