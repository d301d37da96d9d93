// Builds the uncompressed form of a .q70 payload one object at a time, and
// knows its exact size after every object (the 1 MiB rule needs it).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "Bytes.h"
#include "FileBuilder.h"
#include "Records.h"
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
    detail::Payload Finish() const;

private:
    // Each text once, in the order of first use, coded against the one before.
    struct TextTable {
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
        records::StringOp sarvik;  // against the previous section's
        std::uint32_t records = 0;
        std::size_t EntrySize() const;
    };

    records::Coded CodeDevice(const ovx::DeviceDetails& d, std::uint8_t kind, bool nvRecords, bool cpRecords);
    std::uint32_t ListCode(bool cp, std::uint32_t templateText, std::uint32_t index, std::uint32_t* byIndex);
    // Adds a coded record: as the continuation of a copy of earlier records,
    // as the start of one, or into the columns.
    void Add(const records::Coded& r);
    // Writes the copy being gathered (or the one record it holds) into c.
    void PutPending(records::Columns& c) const;
    void FlushCopy();
    void Remember(const records::Coded& r);

    TextTable texts_;
    ListTable nvLists_;
    ListTable cpLists_;
    std::vector<Section> sections_;
    std::string lastSarvik_;
    std::size_t closedEntryBytes_ = 0;  // directory entries of all but the last section
    records::State state_;
    records::Columns columns_;
    std::deque<records::Coded> history_;  // the last coded records, pending ones included
    std::uint32_t copyDistance_ = 0, copyCount_ = 0;
    bool preferBase36_[3] = {};  // name, location, Sarvik ID: the last number kind used
};

}  // namespace ns2vq
