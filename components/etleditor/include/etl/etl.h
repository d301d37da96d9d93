// Event list files (.etl): 34-byte records, no header (docs/etl-format.md).
// One reader and writer for the wizard's load options page, the load engine
// and the event list editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace etl {

constexpr std::size_t kRecordSize = 34;
constexpr std::size_t kNameSize = 31;    // bytes 3 to 33, NUL-padded
constexpr std::size_t kMinRecords = 10;  // fewer is not an event list
constexpr std::size_t kDefaultRecords = 17;
constexpr std::size_t kDefaultFileSize = kDefaultRecords * kRecordSize;  // 578

struct Event {
    std::uint16_t code = 0;
    std::uint8_t flag = 0;
    std::string name;  // at most 31 bytes, no NUL

    bool operator==(const Event&) const = default;
};

// What is wrong with a file, or Ok.
enum class Problem {
    Ok,
    CannotOpen,       // missing, a folder, or unreadable
    NotWholeRecords,  // size not a multiple of 34
    TooFewRecords,    // fewer than 10 records
    BadEvent,         // an event that cannot be written (name too long or holding a NUL)
    CannotWrite,      // the file could not be written or renamed into place
};

class Error : public std::runtime_error {
public:
    Error(Problem problem, const std::string& what) : std::runtime_error(what), problem_(problem) {}
    Problem problem() const { return problem_; }

private:
    Problem problem_;
};

// The validity rule: a whole number of records, at least 10 of them. The
// records' contents play no part.
Problem CheckSize(std::uint64_t size);

// CheckSize of the file's size; CannotOpen when it is not a readable file.
Problem CheckFile(const std::string& path);

// The 17 events a new event list holds, in file order.
const std::vector<Event>& DefaultTable();

// Records to bytes; throws Error(BadEvent) for a name that does not fit.
std::vector<std::uint8_t> Encode(const std::vector<Event>& events);

// Bytes to records; throws Error(NotWholeRecords) unless the size is a
// multiple of 34. A name ends at its first NUL (or after 31 bytes).
std::vector<Event> Decode(std::span<const std::uint8_t> bytes);

// Reads a valid event list; throws Error with the problem otherwise.
std::vector<Event> ReadFile(const std::string& path);

// Writes the events to a temporary file beside the path and renames it into
// place, so a failed write leaves an older file as it was and never a short
// one. Throws Error(BadEvent) before touching the disk, Error(CannotWrite)
// on any failure of the disk.
void WriteFile(const std::string& path, const std::vector<Event>& events);

// WriteFile of DefaultTable(): the 578-byte file a new event list starts as.
void WriteDefaultFile(const std::string& path);

}  // namespace etl
