// Builds the uncompressed record form of a .q70 file one object at a time,
// and knows its exact size after every object (the 1 MiB rule needs it).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Bytes.h"
#include "ns2vq/q70.h"

namespace ns2vq {

// The pieces of a string-table entry; shared by the encoder and the reader.
namespace strings {
inline constexpr std::uint32_t kLiteral = 0;  // shared prefix, then the rest as bytes
inline constexpr std::uint32_t kDecimal = 1;  // shared prefix, then a decimal number as a difference
inline constexpr std::uint32_t kRepeat = 2;   // the previous number entry again, n more times
inline constexpr std::uint32_t kBase36 = 3;   // shared prefix, then a 0-9A-Z number as a difference

// Start of the trailing number of s in base 10 or 36 (digits 0-9 then A-Z),
// spelt without leading zero and short enough for 32 bits, or npos.
std::size_t NumberStart(const std::string& s, int base);
std::int64_t NumberValue(const std::string& digits, int base);
std::string NumberText(std::int64_t value, int base);
}  // namespace strings

class PayloadEncoder {
public:
    // Starts a new section with its VQ record.
    void BeginSection(const ovx::DeviceDetails& vq, bool nvRecords, bool cpRecords);
    void AddDevice(const ovx::DeviceDetails& device, RecordType type, bool nvRecords, bool cpRecords);
    void AddRouter(const ovx::RouterDetails& router);

    std::size_t SectionCount() const { return sections_.size(); }
    // Size of what Finish would return now.
    std::size_t Size() const;
    bytes::Buffer Finish() const;

private:
    // Front-coded: each string is stored against the previous one, as the
    // length they share and the rest, or, for names that count ("Fan 12"
    // after "Fan 11"), as the difference of their numbers; a run of equal
    // differences is stored once with its length.
    struct StringTable {
        std::unordered_map<std::string, std::uint32_t> index;
        bytes::Buffer data;
        std::string last;
        std::uint32_t count = 0;
        bool lastWasNumber = false;
        std::uint32_t lastKind = 0;
        std::uint32_t lastShared = 0;
        std::int32_t lastDelta = 0;
        std::uint32_t pendingRepeats = 0;
        std::uint32_t Intern(const std::string& s);
        void Flush(bytes::Buffer& out) const;
        std::size_t Size() const;
    };
    // Network-variable and configuration lists are shared by every device
    // whose list is byte-for-byte the same (devices of one template).
    struct ListTable {
        std::unordered_map<std::string, std::uint32_t> index;
        bytes::Buffer data;
        std::uint32_t count = 0;
        std::uint32_t Intern(const bytes::Buffer& list);
    };
    // Device fields are stored as the difference from the section's previous
    // device record, so runs of similar devices give equal records, and a run
    // of equal records is stored once with its length.
    struct DeviceFields {
        std::uint32_t handle = 0, name = 0, programId = 0, location = 0, sarvikId = 0, templateName = 0;
        std::int32_t channel = 0;
    };
    struct Section {
        DeviceFields previous;
        std::uint32_t vqHandle = 0;
        std::uint32_t name = 0, sarvikId = 0, location = 0;
        std::int32_t channel = 0;
        bytes::Buffer records;
        bytes::Buffer lastDevice;  // type and body of the last device record
        std::uint32_t pendingRepeats = 0;
        std::size_t Size() const;
        void Flush(bytes::Buffer& out) const;
    };

    void PutDevice(bytes::Buffer& body, const ovx::DeviceDetails& d, bool nvRecords, bool cpRecords);
    static void PutDelta(bytes::Buffer& body, std::uint32_t value, std::uint32_t& previous);
    void PutRecord(RecordType type, const bytes::Buffer& body);
    static std::size_t DirectoryEntrySize(const Section& s);

    StringTable names_;
    StringTable texts_;
    ListTable nvLists_;
    ListTable cpLists_;
    std::vector<Section> sections_;
    std::size_t closedSectionBytes_ = 0;  // directory entries and records of all but the last section
};

}  // namespace ns2vq
