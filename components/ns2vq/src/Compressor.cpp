#include "Compressor.h"

#include "ns2vq/ns2vq.h"

namespace ns2vq {

namespace {

bool IsVq(const ovx::DeviceDetails& d) {
    return d.programId.compare(0, sizeof(kVqProgramIdPrefix) - 1, kVqProgramIdPrefix) == 0;
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

Verdict Reject(std::uint16_t status, std::string object, std::string conflict) {
    return Verdict{status, std::move(object), std::move(conflict)};
}

}  // namespace

Compressor::Compressor(const std::vector<int>& channelIds)
    : channels_(channelIds.begin(), channelIds.end()) {}

std::string Compressor::Describe(const ovx::DeviceDetails& d) {
    return "device " + Quoted(d.name) + " (handle " + std::to_string(d.handle) + ", program ID " +
           d.programId + ", location " + Quoted(d.location) + ", channel " + std::to_string(d.channelId) +
           ")";
}

std::string Compressor::Describe(const ovx::RouterDetails& r) {
    return "router " + Quoted(r.name) + " (handle " + std::to_string(r.handle) + ", channels " +
           std::to_string(r.nearChannelId) + " and " + std::to_string(r.farChannelId) + ")";
}

Verdict Compressor::CheckFlags(const std::string& object, std::uint32_t flags) const {
    if (flags & ~kKnownFlags) return Reject(N2VSTS_BAD_PARMS, object, "flags word has unknown bits set");
    return {};
}

Verdict Compressor::CheckSize(const std::string& object) const {
    if (devices_.size() + routers_.size() > kVqMaxObjects)
        return Reject(
            N2VSTS_OUT_OF_MEMORY, object,
            "the VQ's database holds at most " + std::to_string(kVqMaxObjects) + " devices and routers");
    if (ExpandedSize() > kVqDatabaseMemory)
        return Reject(N2VSTS_OUT_OF_MEMORY, object,
                      "the database would take " + std::to_string(ExpandedSize()) +
                          " bytes; the VQ's database memory holds " + std::to_string(kVqDatabaseMemory));
    return {};
}

Verdict Compressor::CheckDevice(const ovx::DeviceDetails& d, std::uint32_t flags, bool isVqCall) {
    const std::string object = Describe(d);
    if (Verdict v = CheckFlags(object, flags); !v) return v;
    if (devices_.count(d.handle)) return Reject(N2VSTS_BAD_PARMS, object, "handed over twice in this file");
    if (!channels_.count(d.channelId))
        return Reject(N2VSTS_UNKNOWN_CHANNEL_ID, object,
                      "the network has no channel " + std::to_string(d.channelId));
    if (isVqCall || IsVq(d)) {
        if (auto it = vqOnChannel_.find(d.channelId); it != vqOnChannel_.end())
            return Reject(N2VSTS_SEVERAL_VQS_ON_CHANNEL, object,
                          "the VQ " + it->second + " on the same channel");
    }
    if (flags & kFlagNvRecords) {
        if (d.templateNvCount >= 0 && static_cast<int>(d.nvs.size()) != d.templateNvCount)
            return Reject(N2VSTS_NV_COUNT_MISMATCH, object,
                          "it has " + std::to_string(d.nvs.size()) + " network variables, its template " +
                              Quoted(d.templateName) + " has " + std::to_string(d.templateNvCount));
        bool nodeObject = false;
        for (const auto& nv : d.nvs) nodeObject = nodeObject || nv.nodeObject;
        if (!nodeObject)
            return Reject(N2VSTS_NO_NODE_OBJECT_NVS, object,
                          "none of its network variables belongs to the node object");
    }
    if (flags & kFlagCpRecords) {
        for (const auto& cp : d.cps)
            if (std::holds_alternative<std::monostate>(cp.value) &&
                std::holds_alternative<std::monostate>(cp.defaultValue))
                return Reject(N2VSTS_CP_VALUE_UNAVAILABLE, object,
                              "configuration value " + Quoted(cp.name) + " is neither set nor defaulted");
    }
    if (auto it = hierarchyPids_.find(d.programId); it != hierarchyPids_.end()) {
        const SamePid& same = it->second;
        if (!d.location.empty()) {
            if (auto loc = same.byLocation.find(d.location); loc != same.byLocation.end())
                return Reject(
                    N2VSTS_DUPLICATE_IN_HIERARCHY, object,
                    loc->second + " in the same subsystem hierarchy has the same program ID and location");
        }
        if (d.location.empty() || !same.withoutLocation.empty())
            return Reject(N2VSTS_UNIQUENESS_CONFLICT, object,
                          (same.withoutLocation.empty() ? same.firstDevice : same.withoutLocation) +
                              " in the same subsystem hierarchy has the same program ID, and one of the two "
                              "has no location");
    }
    const std::string channelKey = std::to_string(d.channelId) + "/" + d.programId;
    if (auto it = channelPids_.find(channelKey); it != channelPids_.end()) {
        const SamePid& same = it->second;
        if (!d.location.empty()) {
            if (auto loc = same.byLocation.find(d.location); loc != same.byLocation.end())
                return Reject(N2VSTS_DUPLICATE_ON_CHANNEL, object,
                              loc->second + " on the same channel has the same program ID and location");
        }
        if (d.location.empty() || !same.withoutLocation.empty())
            return Reject(
                N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL, object,
                (same.withoutLocation.empty() ? same.firstDevice : same.withoutLocation) +
                    " on the same channel has the same program ID, and one of the two has no location");
    }
    return {};
}

void Compressor::Remember(const ovx::DeviceDetails& d) {
    const std::string desc = Describe(d);
    devices_.insert(d.handle);
    if (IsVq(d)) vqOnChannel_.emplace(d.channelId, Quoted(d.name));
    for (SamePid* same :
         {&hierarchyPids_[d.programId], &channelPids_[std::to_string(d.channelId) + "/" + d.programId]}) {
        if (same->firstDevice.empty()) same->firstDevice = desc;
        if (d.location.empty()) {
            if (same->withoutLocation.empty()) same->withoutLocation = desc;
        } else {
            same->byLocation.emplace(d.location, desc);
        }
    }
}

Verdict Compressor::AddVq(const ovx::DeviceDetails& vq, std::uint32_t flags) {
    const std::string object = Describe(vq);
    if (!IsVq(vq))
        return Reject(N2VSTS_BAD_PARMS, object,
                      std::string("its program ID does not begin with ") + kVqProgramIdPrefix);
    // A new hierarchy: the uniqueness rules within a hierarchy start afresh.
    auto savedPids = std::move(hierarchyPids_);
    hierarchyPids_.clear();
    if (Verdict v = CheckDevice(vq, flags, true); !v) {
        hierarchyPids_ = std::move(savedPids);
        return v;
    }
    vqOnChannel_.emplace(vq.channelId, Quoted(vq.name));
    Remember(vq);
    vqChannel_ = vq.channelId;
    vqName_ = vq.name;
    hierarchyRouters_ = 0;
    encoder_.BeginSection(vq, flags & kFlagNvRecords, flags & kFlagCpRecords);
    lastType_ = RecordType::Vq;
    return CheckSize(object);
}

Verdict Compressor::AddDevice(const ovx::DeviceDetails& device, std::uint32_t flags) {
    const std::string object = Describe(device);
    if (encoder_.SectionCount() == 0)
        return Reject(N2VSTS_BAD_PARMS, object, "no VQ has been added before it");
    if (Verdict v = CheckDevice(device, flags, false); !v) return v;
    Remember(device);
    lastType_ = device.channelId == vqChannel_ ? RecordType::NearDevice : RecordType::FarDevice;
    encoder_.AddDevice(device, lastType_, flags & kFlagNvRecords, flags & kFlagCpRecords);
    return CheckSize(object);
}

Verdict Compressor::AddRouter(const ovx::RouterDetails& router, std::uint32_t flags) {
    const std::string object = Describe(router);
    if (encoder_.SectionCount() == 0)
        return Reject(N2VSTS_BAD_PARMS, object, "no VQ has been added before it");
    if (Verdict v = CheckFlags(object, flags); !v) return v;
    if (routers_.count(router.handle))
        return Reject(N2VSTS_BAD_PARMS, object, "handed over twice in this file");
    if (hierarchyRouters_ > 0)
        return Reject(N2VSTS_TWO_LOCAL_ROUTERS, object,
                      "the hierarchy of the VQ " + Quoted(vqName_) + " already has its router");
    for (int channel : {router.nearChannelId, router.farChannelId})
        if (!channels_.count(channel))
            return Reject(N2VSTS_UNKNOWN_CHANNEL_ID, object,
                          "the network has no channel " + std::to_string(channel));
    routers_.insert(router.handle);
    ++hierarchyRouters_;
    encoder_.AddRouter(router);
    lastType_ = RecordType::Router;
    return CheckSize(object);
}

}  // namespace ns2vq
