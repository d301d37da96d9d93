// Reading a payload back: the tables both format versions share, and the
// record parsers of each version. Every count, length and index is checked
// before use, and what a payload may expand to in memory is bounded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace ns2vq::detail {

// Front-coded strings, shared lists and copies let a small file describe a
// great deal; these bound what one may expand to.
inline constexpr std::size_t kMaxDecodedTextBytes = 64u << 20;
inline constexpr std::size_t kMaxExpandedEntries = 2'000'000;
inline constexpr std::size_t kMaxStrings = 1'000'000;

inline ReadResult Fail(std::uint16_t status, std::string reason) {
    return ReadResult{status, std::move(reason)};
}

// The text table's strings and the NV and CP list tables.
class TableReader {
protected:
    TableReader(const std::uint8_t* data, std::size_t size) : r_(data, size) {}

    bool NvLists();
    bool CpLists();
    bool Value(bytes::Reader& r, ovx::Value* v);
    bool Text(bytes::Reader& r, std::string* s) {
        const std::uint32_t i = r.Var();
        if (!r.ok() || i >= texts_.size()) return false;
        *s = texts_[i];
        return true;
    }
    // Counts decoded text against the limit; false beyond it.
    bool Spend(std::size_t textBytes) {
        textBytes_ += textBytes;
        return textBytes_ <= kMaxDecodedTextBytes;
    }
    // Counts list entries handed to a device against the limit.
    bool Expand(std::size_t entries) {
        expanded_ += entries;
        return expanded_ <= kMaxExpandedEntries;
    }
    ReadResult Bad(std::string reason) const { return Fail(N2VSTS_FILE_INTEGRITY, std::move(reason)); }

    bytes::Reader r_;
    std::vector<std::string> texts_;
    std::vector<std::vector<ovx::NvInfo>> nvLists_;
    std::vector<std::vector<ovx::CpInfo>> cpLists_;
    std::string why_;

private:
    std::size_t textBytes_ = 0;
    std::size_t expanded_ = 0;
};

// Format version 1 (string tables, records by sections) and the current one
// (text table, directory, columns).
ReadResult ParsePayloadV1(const std::uint8_t* data, std::size_t size, std::size_t headerSections,
                          Q70File* out);
ReadResult ParsePayload(const std::uint8_t* data, std::size_t size, std::size_t headerSections, Q70File* out);

}  // namespace ns2vq::detail
