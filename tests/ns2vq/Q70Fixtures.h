// Small sites described by their device details, for the format and rule tests.
#pragma once

#include <string>
#include <vector>

#include "ns2vq/q70.h"

namespace q70test {

inline std::vector<ovx::NvInfo> NodeObjectNvs() {
    return {{"inRequest", 0, "obj_request", true}, {"outStatus", 1, "obj_status", true}};
}

inline ovx::DeviceDetails Device(std::uint32_t handle, std::string name, std::string programId,
                                 std::string location, int channel) {
    ovx::DeviceDetails d;
    d.handle = handle;
    d.name = std::move(name);
    d.programId = std::move(programId);
    d.location = std::move(location);
    d.channelId = channel;
    d.templateName = "Io";
    d.nvs = NodeObjectNvs();
    d.templateNvCount = static_cast<int>(d.nvs.size());
    d.cps = {{"cpMaxSendTime", std::monostate{}, std::int32_t{60}}};
    return d;
}

inline ovx::DeviceDetails Vq(std::uint32_t handle, std::string name, std::string location, int channel) {
    ovx::DeviceDetails d = Device(handle, std::move(name), "900001013C8A0400", std::move(location), channel);
    d.templateName = "VQ";
    return d;
}

inline ovx::RouterDetails Router(std::int16_t handle, std::string name, int nearChannel, int farChannel) {
    return {handle, std::move(name), nearChannel, farChannel};
}

// The file that docs/q70-format.md takes apart byte by byte.
inline ns2vq::Q70File WorkedExample() {
    ns2vq::Q70File file;
    ns2vq::Q70Section s;
    s.vq = Vq(1, "VQ-1", "V1", 1);
    s.vq.sarvikId = "04A1B2C3D4E5";
    s.nearDevices.push_back(Device(2, "Fan", "9000010A01020304", "F1", 1));
    s.router = Router(3, "R", 1, 2);
    s.farDevices.push_back(Device(4, "Pump", "9000010A01020304", "", 2));
    s.farDevices.back().cps[0].value = std::string("fast");
    file.sections.push_back(std::move(s));
    return file;
}

}  // namespace q70test
