#include "objserver/KroObjectServer.h"

#include <QCoreApplication>

CKroObjectServer::CKroObjectServer() = default;

CKroObjectServer::~CKroObjectServer() {
    if (m_server) m_server->Close();
}

void CKroObjectServer::Create(const std::string& dataFolder) {
    if (m_server) {
        m_server->Close();
        m_server.reset();
    }
    ovx::ServerOptions options;
    options.dataFolder = dataFolder;
    m_server = ovx::CreateObjectServer(options);
    // The sinks stay with the wrapper, so a handler set before Create works too.
    m_server->SetProgressCallback([this] {
        if (m_onProgress) m_onProgress();
    });
    // Events from the field arrive on other threads; run them on the event loop.
    m_server->SetEventPoster([](std::function<void()> fn) {
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
        else
            fn();
    });
    m_server->SetServicePinHandler([this](const ovx::ServicePinEvent& e) {
        if (m_onServicePin) m_onServicePin(e);
    });
}

void CKroObjectServer::SetStartupFlags(bool autoOpenLastNetwork, bool showServerDialogs) {
    if (!m_server) Create();
    m_server->SetAutoOpenLastNetwork(autoOpenLastNetwork);
    m_server->SetShowServerDialogs(showServerDialogs);
}

void CKroObjectServer::Open() {
    if (!m_server) Create();
    m_server->Open();
}

bool CKroObjectServer::IsOpen() const {
    return m_server && m_server->IsOpen();
}

ovx::Ptr<ovx::Networks> CKroObjectServer::Networks() {
    if (!m_server) return {};
    return m_server->GetNetworks();
}

ovx::Ptr<ovx::NetworkInterfaces> CKroObjectServer::NetworkInterfaces() {
    if (!m_server) return {};
    return m_server->GetNetworkInterfaces();
}

void CKroObjectServer::SetProgressHandler(std::function<void()> onProgress) {
    m_onProgress = std::move(onProgress);
}

void CKroObjectServer::SetServicePinHandler(std::function<void(const ovx::ServicePinEvent&)> onServicePin) {
    m_onServicePin = std::move(onServicePin);
}
