// The wizard's one door to the object server: owns the ovx::ObjectServer and
// routes its progress event to the busy pump and its service-pin event to the
// wizard context.
#pragma once

#include <functional>
#include <memory>

#include "ovx/ovx.h"

class CKroObjectServer {
public:
    CKroObjectServer();
    ~CKroObjectServer();

    // Creates the object server on the data folder ($OVX_HOME or the default
    // when empty). Safe to call again: the old server is closed first.
    void Create(const std::string& dataFolder = {});
    ovx::ObjectServer* Server() const { return m_server.get(); }

    void SetStartupFlags(bool autoOpenLastNetwork, bool showServerDialogs);
    void Open();  // throws ovx::Error
    bool IsOpen() const;
    ovx::Ptr<ovx::Networks> Networks();
    ovx::Ptr<ovx::NetworkInterfaces> NetworkInterfaces();

    // Event sinks: the progress event calls onProgress (the busy pump); the
    // service-pin event calls onServicePin on the event-loop thread.
    void SetProgressHandler(std::function<void()> onProgress);
    void SetServicePinHandler(std::function<void(const ovx::ServicePinEvent&)> onServicePin);

private:
    std::unique_ptr<ovx::ObjectServer> m_server;
    std::function<void()> m_onProgress;
    std::function<void(const ovx::ServicePinEvent&)> m_onServicePin;
};
