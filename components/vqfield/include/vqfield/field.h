// A field of simulated VQ units on channels. Every request reaches the field
// through Handle(): the in-process transport calls it directly, the vqsim
// daemon calls it for each frame it receives, so both behave the same.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "vqfield/errors.h"

namespace vqfield {

namespace detail {
struct FieldState;
}

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

// Data bytes per frame and the bytes of framing each frame adds on the wire.
inline constexpr std::size_t kFramePayload = 228;
inline constexpr std::size_t kFrameOverhead = 16;

// Wire time of `bytes` data bytes at `bitsPerSecond` (0 = unlimited).
std::chrono::nanoseconds WireTime(std::size_t bytes, std::uint64_t bitsPerSecond);

struct CallOptions {
    std::function<void()> progress;             // called at least every 50 ms while a call waits
    const std::atomic<bool>* cancel = nullptr;  // set to abort the call (Code::Aborted)
};

class Field {
public:
    struct Faults {
        int failImageLoads = 0;
        int busyDbDownloads = 0;
        bool silent = false;
        bool refuseCommission = false;
        std::int64_t dropAfterBytes = -1;  // drop the link once this many bytes of a transfer went out
    };

    Field();
    ~Field();
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    // Runs one request. `in` carries the request's bytes, `out` receives the
    // reply's. Throws FieldError: BadValue for an unknown or missing op and for
    // an argument of the wrong type or out of its range (docs/wire.md).
    Json Handle(const Json& request, const Bytes& in, Bytes* out, const CallOptions& opts);

    // Service-pin events go to every subscriber, on the thread that pressed the pin.
    using EventSink = std::function<void(const Json& event)>;
    int Subscribe(EventSink sink);
    void Unsubscribe(int token);

    // Convenience for hosts: adds `count` units (VQ-70 and VQ-71 alternately) on channel 1.
    void Populate(int count);

private:
    std::shared_ptr<detail::FieldState> state_;
};

// In-process fields, found by name ("field:NAME" endpoints).
void RegisterField(const std::string& name, std::shared_ptr<Field> field);
void UnregisterField(const std::string& name);
std::shared_ptr<Field> FindField(const std::string& name);

}  // namespace vqfield
