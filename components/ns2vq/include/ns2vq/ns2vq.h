// The compressor library: writes, checks and downloads .q70 compressed
// databases. One compressed file is open at a time, as the wizard uses it.
//
// The six operations keep the argument order and the 16-bit status codes the
// wizard relies on. The library reads every object's details from the network
// database attached with AttachDatabase, by handle.
#pragma once

#include <cstdint>
#include <memory>

namespace ovx {
class System;
}

namespace ns2vq {

// Status codes (low 16 bits of every result).
inline constexpr std::uint16_t N2VSTS_OK = 0;
inline constexpr std::uint16_t N2VSTS_NOT_IMPLEMENTED = 0x2001;
inline constexpr std::uint16_t N2VSTS_TWO_LOCAL_ROUTERS = 0x2002;
inline constexpr std::uint16_t N2VSTS_UNIQUENESS_CONFLICT = 0x2003;
inline constexpr std::uint16_t N2VSTS_OUT_OF_MEMORY = 0x2004;
inline constexpr std::uint16_t N2VSTS_NV_COUNT_MISMATCH = 0x2005;
inline constexpr std::uint16_t N2VSTS_CP_VALUE_UNAVAILABLE = 0x2006;
inline constexpr std::uint16_t N2VSTS_BAD_PARMS = 0x2007;
inline constexpr std::uint16_t N2VSTS_UNKNOWN_CHANNEL_ID = 0x2008;
inline constexpr std::uint16_t N2VSTS_UNSUPPORTED_RECORD_TYPE = 0x2009;
inline constexpr std::uint16_t N2VSTS_BAD_HEADER = 0x200A;
inline constexpr std::uint16_t N2VSTS_FILE_INTEGRITY = 0x200B;
inline constexpr std::uint16_t N2VSTS_FILE_CHECKSUM = 0x200C;
inline constexpr std::uint16_t N2VSTS_ACK_GROUP_VIOLATION = 0x200D;
inline constexpr std::uint16_t N2VSTS_SEVERAL_VQS_ON_CHANNEL = 0x200E;
inline constexpr std::uint16_t N2VSTS_NO_NODE_OBJECT_NVS = 0x200F;
inline constexpr std::uint16_t N2VSTS_DUPLICATE_IN_HIERARCHY = 0x2010;
inline constexpr std::uint16_t N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL = 0x2011;
inline constexpr std::uint16_t N2VSTS_DUPLICATE_ON_CHANNEL = 0x2012;
inline constexpr std::uint16_t N2VSTS_SECOND_VQ_IN_HIERARCHY = 0x2013;

// The side files of a run, named by appending these to the output's full
// path, its extension included: the verdict of a failed run, the objects
// accepted, and the detailed run.
inline constexpr const char* kSideFileErr = ".err";
inline constexpr const char* kSideFileList = ".lst";
inline constexpr const char* kSideFileLog = ".log";

// The database whose objects the next file describes (compression), or whose
// devices receive a download. Must stay open until CloseCompressedFile or
// DownloadCompressedFile has returned. Pass null to detach.
void AttachDatabase(std::shared_ptr<ovx::System> system);

// 2
std::uint32_t OpenCompressedFile(const char* path, const char* creator, std::uint32_t major,
                                 std::uint32_t minor);
// 3: with status 0 the finished file replaces the target; otherwise the
// target is left exactly as it was.
std::uint32_t CloseCompressedFile(std::uint32_t status);
// 4
std::uint32_t AddVqDevice(const char* name, std::uint32_t handle, std::uint32_t flags);
// 5
std::uint32_t AddRouter(const char* name, std::uint16_t handle, std::uint32_t flags);
// 6
std::uint32_t AddDevice(const char* name, std::uint32_t handle, std::uint32_t flags);
// 7: kind is 5 for a compressed database.
std::uint32_t DownloadCompressedFile(const char* path, std::uint32_t kind, std::uint32_t handle);

}  // namespace ns2vq
