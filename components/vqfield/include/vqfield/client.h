// One client API for a field, reached in-process or over TCP to vqsim.
// Every call either returns or throws FieldError; no call waits without a
// deadline, and long calls report progress through CallOptions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vqfield/field.h"

namespace vqfield {

class Transport {
public:
    virtual ~Transport() = default;
    virtual Json Call(const Json& request, const Bytes& in, Bytes* out, const CallOptions& opts) = 0;
    // Receives field events (service pin); an empty sink stops delivery.
    virtual void SetEventSink(std::function<void(const Json&)> sink) = 0;
};

// "field:NAME" (an in-process field registered under NAME) or "tcp:HOST:PORT".
// Throws FieldError(InterfaceNoAnswer) when the endpoint does not answer.
std::unique_ptr<Transport> Connect(const std::string& endpoint, int connectTimeoutMs = 2000);
std::unique_ptr<Transport> ConnectInProcess(std::shared_ptr<Field> field);

struct UnitView {
    std::string sarvikId;
    std::string programId;
    int channel = 1;
    bool configured = false;
    bool commissioned = false;
    int state = 0;
    Json raw;  // everything the field reported (status JSON)
};

// Contents of a unit's memories, for inspection.
struct UnitMemory {
    UnitView unit;
    Bytes image, eventList, program, database;
};

class Client {
public:
    explicit Client(std::unique_ptr<Transport> transport);

    // Field administration.
    std::vector<UnitView> Units();
    UnitMemory Inspect(const std::string& sarvikId);
    std::string AddUnit(const std::string& programId, int channel = 1, const std::string& sarvikId = {});
    void RemoveUnit(const std::string& sarvikId);
    void Break(const std::string& sarvikId, const Json& faults);  // keys as in the status JSON "faults"
    void Repair(const std::string& sarvikId);
    void SetRate(int channel, std::uint64_t bitsPerSecond);
    void SetAnswerTimeout(int ms);
    void PressServicePin(const std::string& sarvikId);
    void OnServicePin(std::function<void(const UnitView&)> sink);

    // Unit operations on the wire.
    std::string Ping(const std::string& sarvikId, const CallOptions& opts = {});  // returns the program ID
    std::vector<UnitView> Discover(const CallOptions& opts = {});
    void LoadImage(const std::string& sarvikId, const Bytes& apb, const CallOptions& opts = {});
    void LoadDefaults(const std::string& sarvikId, int how, const CallOptions& opts = {});
    void Commission(const std::string& sarvikId, const CallOptions& opts = {});
    int GetState(const std::string& sarvikId, const CallOptions& opts = {});
    void SetState(const std::string& sarvikId, int state, const CallOptions& opts = {});
    void Wink(const std::string& sarvikId, const CallOptions& opts = {});
    int FunctionalBlockCount(const std::string& sarvikId, const CallOptions& opts = {});
    int GetFbDisabled(const std::string& sarvikId, int index, const CallOptions& opts = {});
    void SetFbDisabled(const std::string& sarvikId, int index, int disabled, const CallOptions& opts = {});

    std::uint32_t OpenTransfer(const std::string& sarvikId, int kind, const CallOptions& opts = {});
    void Write(std::uint32_t transferId, const Bytes& bytes, const CallOptions& opts = {});
    void Close(std::uint32_t transferId, const CallOptions& opts = {});
    void Abort(std::uint32_t transferId) noexcept;

    // The unit's program: the unit raises an event code of its event list
    // (returns whether a handler ran), the network writes one of its inputs,
    // its clock moves on by `ms` (returns the clock; -1 without a program).
    bool RaiseEvent(const std::string& sarvikId, int code, const CallOptions& opts = {});
    void WriteInput(const std::string& sarvikId, const std::string& name, std::int32_t value,
                    const CallOptions& opts = {});
    std::int64_t AdvanceClock(const std::string& sarvikId, std::int64_t ms);

    // Sends a whole file of `kind` in chunks; a chunk that meets a busy unit,
    // no answer or a dropped link is sent again, up to `chunkRetries` times,
    // and the file goes on from that chunk. A cancel is never retried.
    void SendFile(const std::string& sarvikId, int kind, const Bytes& bytes, std::size_t chunkSize, int chunkRetries,
                  const CallOptions& opts = {});

    Transport& transport() { return *transport_; }

private:
    Json Call(const Json& request, const Bytes& in = {}, Bytes* out = nullptr, const CallOptions& opts = {});
    std::unique_ptr<Transport> transport_;
};

}  // namespace vqfield
