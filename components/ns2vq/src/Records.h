// The record layer of the current format, shared by the writer and the
// reader: the columns records are spread over, a record in its coded form,
// and the string operations that code one text against another.
//
// Both sides keep the same state while they go through the records (the
// previous device, the last device of every template, the lists each
// template used lately, the coded records just seen), so a record is coded
// against what the reader already knows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Bytes.h"

namespace ns2vq::records {

// The payload's columns, in the order they are stored.
enum Column : std::size_t {
    kKinds,        // one byte per record or copy
    kCopies,       // distance - 1, count - 2
    kTemplates,    // text index of the device's template
    kHandles,      // handle, as the difference from the previous device's
    kNameOps,      // string operations (and literal lengths) for names
    kNameNumbers,  // number differences of name operations
    kLocationOps,
    kLocationNumbers,
    kSarvikOps,
    kSarvikNumbers,
    kLiterals,  // the bytes of every literal operation in the records
    kPrograms,  // program ID text index, as the difference from the context device's
    kChannels,  // channel, as the difference from the previous device's
    kNvLists,   // list codes (below)
    kCpLists,
    kListIndices,  // the list index of code 1
    kRouters,      // handle, near channel, far channel
    kColumnCount
};

inline constexpr std::uint8_t kKindVq = 1, kKindNear = 2, kKindRouter = 3, kKindFar = 4, kKindCopy = 5;

// How far back a copy may reach, and how many lists a template remembers.
inline constexpr std::size_t kHistory = 16;
inline constexpr std::size_t kRecentLists = 16;
inline constexpr std::uint32_t kMinCopy = 2;

// List codes: no list kept, a list by its index, or the n-th list the same
// template used most recently (code 2 + n).
inline constexpr std::uint32_t kListNone = 0, kListByIndex = 1, kListRecent = 2;

// String operation kinds; the header is (shared << 2) | kind, shared being
// 0 for every kind but the literal.
inline constexpr std::uint32_t kOpLiteral = 0, kOpDecimal = 1, kOpSame = 2, kOpBase36 = 3;

struct StringOp {
    std::uint32_t header = kOpSame;
    std::string literal;     // the bytes after the shared prefix (literal)
    std::int32_t delta = 0;  // the number's difference (decimal, base 36)
    bool operator==(const StringOp&) const = default;
};

// The value of digit c in base 10 or 36 (0-9 then A-Z), or -1.
int DigitValue(char c, int base);
// value in base 10 or 36, padded with zeros to width digits.
std::string NumberText(std::int64_t value, int base, std::size_t width = 0);
// The trailing number a number operation counts from: its start in ref, or
// npos when ref does not end in a digit of that base. At most 9 decimal or 6
// base-36 digits are taken, leading zeros included; the width is kept.
std::size_t NumberStart(const std::string& ref, int base);
// Applies op to ref; false when the operation does not apply.
bool Apply(const std::string& ref, const StringOp& op, std::string* out);
// The operation that makes s from ref. preferBase36 decides between the two
// number kinds when both give the same difference.
StringOp Choose(const std::string& ref, const std::string& s, bool preferBase36 = false);

// A record as the columns hold it. Devices use the device fields, routers
// the router fields; a kind byte of 5 is never a record.
struct Coded {
    std::uint8_t kind = kKindVq;
    std::uint32_t templateText = 0;
    std::int32_t handle = 0, program = 0, channel = 0;
    StringOp name, location, sarvik;
    std::uint32_t nvCode = 0, nvIndex = 0, cpCode = 0, cpIndex = 0;
    std::uint32_t routerHandle = 0;
    std::int32_t nearChannel = 0, farChannel = 0;
    bool operator==(const Coded&) const = default;
};

using Columns = std::array<bytes::Buffer, kColumnCount>;

// What writer and reader both know before a record: the previous device, the
// last device of each template, the lists each template used lately, the
// last router's name. Records are coded against it and update it.
class State {
public:
    struct Device {
        std::uint32_t handle = 0, program = 0;
        std::int32_t channel = 0;
        std::string name, location, sarvik;
    };
    const Device& Previous() const { return previous_; }
    // The device a record of this template is coded against: the last one of
    // the template, else the previous device.
    const Device& Context(std::uint32_t templateText) const {
        const auto it = byTemplate_.find(templateText);
        return it == byTemplate_.end() ? previous_ : it->second;
    }
    void Seen(std::uint32_t templateText, const Device& d) {
        byTemplate_[templateText] = d;
        previous_ = d;
    }
    // Most recent first; at most kRecentLists.
    std::vector<std::uint32_t>& RecentLists(bool cp, std::uint32_t templateText) {
        return (cp ? recentCp_ : recentNv_)[templateText];
    }
    static void Use(std::vector<std::uint32_t>& recent, std::uint32_t index);
    std::string& RouterName() { return routerName_; }

private:
    Device previous_;
    std::unordered_map<std::uint32_t, Device> byTemplate_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> recentNv_, recentCp_;
    std::string routerName_;
};

// Writes a coded record into its columns.
void Put(Columns& c, const Coded& r);
// Writes a string operation's header (and literal) into an ops column, its
// bytes into literals and its difference into a numbers column.
void PutOp(bytes::Buffer& ops, bytes::Buffer& literals, bytes::Buffer& numbers, const StringOp& op);
// The same, all into one buffer (text table and directory).
void PutOp(bytes::Buffer& b, const StringOp& op);

}  // namespace ns2vq::records
