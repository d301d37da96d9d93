// State shared by the objects of one server and one network.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "field_link.h"
#include "ovx/ovx.h"
#include "store.h"

namespace ovx::detail {

struct ServerCore {
    std::string dataFolder;
    std::function<void()> progress;
    ObjectServer::Poster poster;
    std::function<void(const ServicePinEvent&)> pinHandler;
    std::mutex eventMutex;
};

struct NetworkCore {
    std::shared_ptr<ServerCore> server;
    std::string name;
    std::string folder;
    std::unique_ptr<Store> store;  // set while the network is open
    bool systemOpen = false;
    int openMode = 0;
    int offNet = 1;
    Ptr<NetworkInterface> hostInterface;
    std::unique_ptr<FieldLink> link;  // set while on-net
    std::string hostId;

    std::string DbPath() const { return folder + "/" + kDbFileName; }
    Store& Db() {
        if (!store) throw Error(kErrNotOpen, "The network \"" + name + "\" is not open");
        return *store;
    }
    FieldLink& Link(const std::string& what) {
        if (!link)
            throw Error(kErrOffNet, what + " needs the network: the system of \"" + name + "\" is off-net");
        return *link;
    }
    DeviceRef Ref(std::uint32_t handle) {
        const DeviceRec* d = Db().Device(handle);
        if (!d)
            throw Error(kErrNotFound,
                        "No device with handle " + std::to_string(handle) + " in \"" + name + "\"");
        return {d->handle, d->name, d->sarvikId, d->programId, d->location, d->channelId};
    }
    void Disconnect();
};

Ptr<Systems> MakeSystems(std::shared_ptr<NetworkCore> net);
Ptr<Channels> MakeChannels(std::shared_ptr<NetworkCore> net);
Ptr<NetworkInterfaces> MakeNetworkInterfaces(const std::string& dataFolder);

}  // namespace ovx::detail
