// The .apb application image: a 32-byte header and the image body
// (docs/apb.md describes the bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vqfield {

inline constexpr char kVq70ProgramId[] = "900001013C8A0400";
inline constexpr char kVq71ProgramId[] = "900001013C8A0401";
inline constexpr std::size_t kApbHeaderSize = 32;

bool IsVqProgramId(const std::string& programId);
// True for 16 hexadecimal digits (either case).
bool IsProgramIdText(const std::string& text);
// True for 12 hexadecimal digits (either case).
bool IsSarvikIdText(const std::string& text);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// Builds an image for programId whose body is `body`.
std::vector<std::uint8_t> MakeApb(const std::string& programId, const std::vector<std::uint8_t>& body);
// A body of `size` bytes of a fixed pseudo-random pattern (seeded), for demos and tests.
std::vector<std::uint8_t> PatternBody(std::size_t size, std::uint32_t seed = 1);

struct ApbInfo {
    std::string programId;  // upper-case hex
    std::uint32_t bodySize = 0;
};

// Checks the header, length and checksum; returns an empty string when
// good, else the reason. Fills `info` from the header when it could be read.
std::string CheckApb(const std::vector<std::uint8_t>& bytes, ApbInfo* info);

// Checks a compressed database by its header and checksum; empty when good.
std::string CheckQ70(const std::vector<std::uint8_t>& bytes);

std::string ToHex(const std::uint8_t* data, std::size_t size);
std::string Upper(std::string text);

}  // namespace vqfield
