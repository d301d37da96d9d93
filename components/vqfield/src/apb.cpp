#include "vqfield/apb.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace vqfield {
namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'Q', 'A', 'B'};
constexpr std::uint32_t kMaxBody = 256 * 1024;  // the VQ's application memory

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
bool IsHexText(const std::string& t, std::size_t n) {
    return t.size() == n && std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isxdigit(c); });
}
int HexVal(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

}  // namespace

std::string Upper(std::string text) {
    for (auto& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsProgramIdText(const std::string& text) {
    return IsHexText(text, 16);
}
bool IsSarvikIdText(const std::string& text) {
    return IsHexText(text, 12);
}
bool IsVqProgramId(const std::string& programId) {
    const std::string up = Upper(programId);
    return up == kVq70ProgramId || up == kVq71ProgramId;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string ToHex(const std::uint8_t* data, std::size_t size) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

std::vector<std::uint8_t> MakeApb(const std::string& programId, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out(kApbHeaderSize + body.size(), 0);
    std::memcpy(out.data(), kMagic, 4);
    out[4] = 1;  // format version
    out[6] = std::uint8_t(kApbHeaderSize);
    if (IsProgramIdText(programId))
        for (int i = 0; i < 8; ++i)
            out[8 + i] = std::uint8_t(HexVal(programId[2 * i]) << 4 | HexVal(programId[2 * i + 1]));
    Put32(out.data() + 16, std::uint32_t(body.size()));
    std::copy(body.begin(), body.end(), out.begin() + kApbHeaderSize);
    std::uint32_t crc = Crc32(out.data(), 28);
    crc = Crc32(body.data(), body.size(), crc);
    Put32(out.data() + 28, crc);
    return out;
}

std::vector<std::uint8_t> PatternBody(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed ? seed : 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = std::uint8_t(x);
    }
    return out;
}

std::string CheckApb(const std::vector<std::uint8_t>& bytes, ApbInfo* info) {
    if (bytes.size() < kApbHeaderSize) return "image shorter than its header";
    if (std::memcmp(bytes.data(), kMagic, 4) != 0) return "not an application image (bad magic)";
    if (Le16(bytes.data() + 4) != 1) return "unknown image format version";
    if (Le16(bytes.data() + 6) != kApbHeaderSize) return "bad image header size";
    const std::uint32_t len = Le32(bytes.data() + 16);
    if (info) {
        info->programId = ToHex(bytes.data() + 8, 8);
        info->bodySize = len;
    }
    for (int i = 20; i < 28; ++i)
        if (bytes[i] != 0) return "reserved header bytes are not zero";
    if (len == 0) return "image body is empty";
    if (len > kMaxBody) return "image larger than the VQ's application memory";
    if (bytes.size() != kApbHeaderSize + std::size_t(len)) return "image length does not match its header";
    std::uint32_t crc = Crc32(bytes.data(), 28);
    crc = Crc32(bytes.data() + kApbHeaderSize, len, crc);
    if (crc != Le32(bytes.data() + 28)) return "image checksum does not match";
    if (!IsVqProgramId(ToHex(bytes.data() + 8, 8)))
        return "image is for program ID " + ToHex(bytes.data() + 8, 8) + ", not a VQ";
    return {};
}

std::string CheckQ70(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t magic[4] = {0x51, 0x37, 0x30, 0x1A};
    if (bytes.size() < 48) return "database shorter than its header";
    if (std::memcmp(bytes.data(), magic, 4) != 0) return "not a compressed database (bad magic)";
    // Version 1 and the current version 2 differ only inside the payload.
    if (const std::uint16_t v = Le16(bytes.data() + 4); v != 1 && v != 2)
        return "unknown database format version";
    if (Le16(bytes.data() + 6) != 48) return "bad database header size";
    const std::uint32_t payload = Le32(bytes.data() + 32);
    const std::uint32_t stored = Le32(bytes.data() + 36);
    if (std::uint64_t(payload) + 48 > 1048576) return "database larger than the VQ's database memory";
    if (bytes.size() != 48 + std::size_t(stored)) return "database length does not match its header";
    std::uint32_t crc = Crc32(bytes.data(), 44);
    crc = Crc32(bytes.data() + 48, stored, crc);
    if (crc != Le32(bytes.data() + 44)) return "database checksum does not match";
    return {};
}

}  // namespace vqfield
