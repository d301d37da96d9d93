// The rules a VQ imposes on the objects of one compressed file, and the
// records of the accepted objects. Objects arrive with their details as the
// network database holds them; each verdict is given on the object that
// breaks a rule and names what it conflicts with.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "PayloadEncoder.h"
#include "ns2vq/q70.h"

namespace ns2vq {

struct Verdict {
    std::uint16_t status = 0;
    std::string object;    // the offending object, e.g. device "Pump 2" (handle 12)
    std::string conflict;  // what it conflicts with, or which rule it breaks
    explicit operator bool() const { return status == 0; }
};

class Compressor {
public:
    explicit Compressor(const std::vector<int>& channelIds);

    // Starts a new hierarchy.
    Verdict AddVq(const ovx::DeviceDetails& vq, std::uint32_t flags);
    // Near or far is decided by the device's channel against the VQ's.
    Verdict AddDevice(const ovx::DeviceDetails& device, std::uint32_t flags);
    Verdict AddRouter(const ovx::RouterDetails& router, std::uint32_t flags);

    // The record type the last accepted device was stored as.
    RecordType LastType() const { return lastType_; }
    std::size_t Sections() const { return encoder_.SectionCount(); }
    std::size_t Devices() const { return devices_.size(); }
    std::size_t Routers() const { return routers_.size(); }
    // Header plus uncompressed records.
    std::size_t ExpandedSize() const { return kQ70HeaderSize + encoder_.Size(); }
    detail::Payload Payload() const { return encoder_.Finish(); }

    static std::string Describe(const ovx::DeviceDetails& d);
    static std::string Describe(const ovx::RouterDetails& r);

private:
    // Devices sharing one program ID, within a hierarchy or on a channel.
    struct SamePid {
        std::string firstDevice;      // description of the first one met
        std::string withoutLocation;  // description of one without location, if any
        std::unordered_map<std::string, std::string> byLocation;
    };

    Verdict CheckFlags(const std::string& object, std::uint32_t flags) const;
    Verdict CheckDevice(const ovx::DeviceDetails& d, std::uint32_t flags, bool isVqCall);
    Verdict CheckSize(const std::string& object) const;
    void Remember(const ovx::DeviceDetails& d);

    std::unordered_set<int> channels_;
    std::unordered_set<std::uint32_t> devices_;
    std::unordered_set<std::int16_t> routers_;
    std::unordered_map<int, std::string> vqOnChannel_;
    std::unordered_map<std::string, SamePid> hierarchyPids_;
    std::unordered_map<std::string, SamePid> channelPids_;  // key: channel id, '/', program ID
    int vqChannel_ = 0;
    std::string vqName_;
    int hierarchyRouters_ = 0;
    RecordType lastType_ = RecordType::Vq;
    PayloadEncoder encoder_;
};

}  // namespace ns2vq
