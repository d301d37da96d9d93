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
    // Front-coded: each string is stored as the length it shares with the
    // previous one and the rest, so sequential names cost a few bytes.
    struct StringTable {
        std::unordered_map<std::string, std::uint32_t> index;
        bytes::Buffer data;
        std::string last;
        std::uint32_t count = 0;
        std::uint32_t Intern(const std::string& s);
    };
    // Network-variable and configuration lists are shared by every device
    // whose list is byte-for-byte the same (devices of one template).
    struct ListTable {
        std::unordered_map<std::string, std::uint32_t> index;
        bytes::Buffer data;
        std::uint32_t count = 0;
        std::uint32_t Intern(const bytes::Buffer& list);
    };
    struct Section {
        std::uint32_t vqHandle = 0;
        std::uint32_t name = 0, sarvikId = 0, location = 0;
        std::int32_t channel = 0;
        bytes::Buffer records;
    };

    void PutDevice(bytes::Buffer& body, const ovx::DeviceDetails& d, bool nvRecords, bool cpRecords);
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
