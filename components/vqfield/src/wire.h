// Frames of the vqsim protocol (docs/wire.md): two little-endian 32-bit
// lengths, the JSON text, then the binary part.
#pragma once

#include <chrono>

#include "vqfield/field.h"

namespace vqfield::wire {

inline constexpr std::uint32_t kMaxJson = 1u << 20;
inline constexpr std::uint32_t kMaxBinary = 8u << 20;

// Both return false when the connection is closed or broken, or the peer
// sent a frame out of bounds.
bool WriteFrame(int fd, const Json& json, const Bytes& binary);
bool ReadFrame(int fd, Json* json, Bytes* binary);

// Blocks until readable or `timeout`; true when readable (or closed).
bool WaitReadable(int fd, std::chrono::milliseconds timeout);

}  // namespace vqfield::wire
