// Error type and codes of the ovx object server. Callers match codes by
// these names, never by literal numbers.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ovx {

// Codes the wizard reacts to.
inline constexpr std::uint32_t kErrInterfaceNoAnswer = 0x800403F0;  // endpoint does not answer
inline constexpr std::uint32_t kErrNotAnNsi = 0x8004046C;           // interface is not an NSI
inline constexpr std::uint32_t kErrNameInUse = 0x8004426B;          // name already used
inline constexpr std::uint32_t kErrXifUnreadable = 0x80044274;      // .xif missing or bad
inline constexpr std::uint32_t kErrXfbMismatch = 0x80044275;        // .xfb missing or stale
inline constexpr std::uint32_t kErrDuplicateProgramId = 0x800442B5;  // template with that program ID

// Codes of our own.
inline constexpr std::uint32_t kErrNotFound = 0x80044001;        // no such object, index out of range
inline constexpr std::uint32_t kErrBadValue = 0x80044002;        // value of the wrong form
inline constexpr std::uint32_t kErrCorruptDatabase = 0x80044003; // not a network database, or damaged
inline constexpr std::uint32_t kErrNotOpen = 0x80044004;         // network or system not open
inline constexpr std::uint32_t kErrIo = 0x80044005;              // file or folder not usable
inline constexpr std::uint32_t kErrNoTransaction = 0x80044006;   // commit/cancel without a transaction
inline constexpr std::uint32_t kErrOffNet = 0x80044007;          // device operation while off the wire
inline constexpr std::uint32_t kErrDeviceNoAnswer = 0x80044008;  // the unit did not answer
inline constexpr std::uint32_t kErrDeviceRefused = 0x80044009;   // the unit refused the request
inline constexpr std::uint32_t kErrDeviceBusy = 0x8004400A;      // the unit is busy, try again
inline constexpr std::uint32_t kErrTransferAborted = 0x8004400B; // cancelled or link dropped
inline constexpr std::uint32_t kErrNotBound = 0x8004400C;        // device has no unit (no Sarvik ID)

class Error : public std::runtime_error {
public:
    Error(std::uint32_t code, std::string description)
        : std::runtime_error(description), code_(code), description_(std::move(description)) {}
    std::uint32_t code() const noexcept { return code_; }
    const std::string& description() const noexcept { return description_; }

private:
    std::uint32_t code_;
    std::string description_;
};

}  // namespace ovx
