// The .q70 compressed database format: writer, reader and verifier.
// docs/q70-format.md describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ovx/ovx.h"

namespace ns2vq {

inline constexpr char kQ70Magic[4] = {'Q', '7', '0', '\x1a'};
// The version this library writes, and the oldest it still reads.
inline constexpr std::uint16_t kQ70FormatVersion = 2;
inline constexpr std::uint16_t kQ70OldestFormatVersion = 1;
inline constexpr std::size_t kQ70HeaderSize = 48;
inline constexpr std::size_t kQ70CreatorSize = 12;
inline constexpr char kQ70Creator[] = "br2vq70_b";
// The only major database version this library writes.
inline constexpr std::uint32_t kQ70WrittenMajor = 1;
// A VQ expands the whole file into this much database memory; header plus
// uncompressed records must fit.
inline constexpr std::size_t kVqDatabaseMemory = 1u << 20;
// Devices and routers one file may describe (the VQ's object table).
inline constexpr std::size_t kVqMaxObjects = 65535;
// The preset dictionary of the format's zlib streams. A writer may compress
// against it (the stream then carries its Adler-32 and the FDICT bit); a
// reader supplies it when the stream asks. Its bytes are part of the format:
// never change them, or files written with them no longer read.
inline constexpr char kQ70Dictionary[] =
    "cpHeartbeatcpMinSendTimecpMaxSendTimecpDelaycpOffsetcpSetpointscpSiteCodecpName"
    "temperaturepercentswitchflowoccupancyenergypowervoltagecountalarm"
    "inValueoutValueoutAlarminRequestobj_requestoutStatusobj_status"
    "900001013C8A0401900001013C8A0400";
inline constexpr std::size_t kQ70DictionarySize = sizeof(kQ70Dictionary) - 1;
// Program IDs of VQ units begin with this.
inline constexpr char kVqProgramIdPrefix[] = "900001013C8A04";

// Bits of the flags word handed with every object.
inline constexpr std::uint32_t kFlagNvRecords = 0x001;  // store network variables, check their rules
inline constexpr std::uint32_t kFlagCpRecords = 0x100;  // store configuration values, check their rule
inline constexpr std::uint32_t kKnownFlags = kFlagNvRecords | kFlagCpRecords;

// What an object is stored as (version 1 files also have repeat records).
enum class RecordType : std::uint8_t { Vq = 1, NearDevice = 2, Router = 3, FarDevice = 4, Repeat = 5 };

// One hierarchy: its VQ (the section's key), then the devices on the VQ's
// channel, its router and the devices behind the router. A device read back
// without NV records has templateNvCount -1 and no nvs.
struct Q70Section {
    ovx::DeviceDetails vq;
    std::vector<ovx::DeviceDetails> nearDevices;
    std::optional<ovx::RouterDetails> router;
    std::vector<ovx::DeviceDetails> farDevices;
};

struct Q70File {
    std::string creator = kQ70Creator;
    std::uint32_t major = 1;
    std::uint32_t minor = 0;
    std::vector<Q70Section> sections;
};

struct ReadResult {
    std::uint16_t status = 0;  // 0, or 0x2009, 0x200A, 0x200B, 0x200C
    std::string reason;        // what was wrong, for people
    explicit operator bool() const { return status == 0; }
};

// The records in their uncompressed form (text table, shared lists, section
// directory, record columns), as the header's payload sizes count them.
std::vector<std::uint8_t> EncodePayload(const Q70File& file);
// A whole file: header and zlib-compressed payload.
std::vector<std::uint8_t> EncodeFile(const Q70File& file);

// Checks everything (header, sizes, checksum, decompression, every record)
// and fills out when given. Never throws on bad input.
ReadResult ReadFile(const std::uint8_t* data, std::size_t size, Q70File* out = nullptr);
ReadResult VerifyFile(const std::string& path, Q70File* out = nullptr);
// The uncompressed payload of a file whose header and checksum are sound.
ReadResult ReadPayload(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* payload);

// Index of the section whose VQ has this Sarvik ID (case-insensitive), or -1.
int FindSection(const Q70File& file, const std::string& sarvikId);

// "N2VSTS_..." for the library's codes, null for any other.
const char* StatusName(std::uint16_t status);

}  // namespace ns2vq
