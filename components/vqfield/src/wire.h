// Frames of the vqsim protocol (docs/wire.md): two little-endian 32-bit
// lengths, the JSON text, then the binary part.
#pragma once

#include <chrono>
#include <string>

#include "vqfield/field.h"

namespace vqfield::wire {

inline constexpr std::uint32_t kMaxJson = 1u << 20;
inline constexpr std::uint32_t kMaxBinary = 8u << 20;
// Arrays and objects inside one another; no request needs more than three.
inline constexpr int kMaxDepth = 32;

// Both return false when the connection is closed or broken, or the peer
// sent a frame out of bounds or a text that is not a JSON object.
bool WriteFrame(int fd, const Json& json, const Bytes& binary);
bool WriteFrame(int fd, const std::string& text, const Bytes& binary);
// The text a frame carries for `json`; text that is not UTF-8 is replaced.
std::string FrameText(const Json& json);
bool ReadFrame(int fd, Json* json, Bytes* binary);

// What the daemon makes of one frame from a client.
enum class Frame {
    Ok,           // json and binary hold the frame
    BadText,      // the frame is whole but its text is no request; `why` says what is wrong
    OutOfBounds,  // a length beyond the bounds: the rest of the stream cannot be trusted
    Closed,       // the peer closed or the connection broke
};

// The two lengths of a frame head; empty when they are within bounds, else
// what is wrong with them.
std::string CheckHead(const std::uint8_t head[8], std::uint32_t* jsonLength, std::uint32_t* binaryLength);
// The text of a frame as a JSON object: empty when it is one, else what is
// wrong (a NUL byte, nesting deeper than kMaxDepth, not JSON, not an object).
std::string ParseText(const std::string& text, Json* json);
Frame ReadRequest(int fd, Json* json, Bytes* binary, std::string* why);

// Blocks until readable or `timeout`; true when readable (or closed).
bool WaitReadable(int fd, std::chrono::milliseconds timeout);

}  // namespace vqfield::wire
