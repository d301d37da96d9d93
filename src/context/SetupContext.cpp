#include "context/SetupContext.h"

#include "load/CompileProgram.h"
#include "util/Prompter.h"

CSetupContext* g_pContext = nullptr;

CSetupContext::CSetupContext() {
    m_objectServer.SetServicePinHandler([this](const ovx::ServicePinEvent& e) { OnServicePinEvent(e); });
}

CSetupContext::~CSetupContext() {
    if (g_pContext == this) g_pContext = nullptr;
}

void CSetupContext::OpenObjectServer(const std::string& dataFolder) {
    bool open = false;
    try {
        m_objectServer.Create(dataFolder);
        m_objectServer.SetStartupFlags(false, false);
        m_objectServer.Open();
        open = m_objectServer.IsOpen();
        if (open) {
            m_networkInterfaces = m_objectServer.NetworkInterfaces();
            m_networks = m_objectServer.Networks();
        }
    } catch (const ovx::Error&) {
        open = false;
    }
    if (!open) {
        m_networkInterfaces.reset();
        m_networks.reset();
        AppMessageBox(QStringLiteral("Error: The object server is not opened."), MsgButtons::Ok,
                      MsgIcon::Exclamation);
    }
}

void CSetupContext::RequestCancel() {
    // The image transfer is one long call: stop it now rather than at the next poll.
    if (m_appImageLoading && m_loadSystem) {
        try {
            m_loadSystem->CancelTransaction();
        } catch (const ovx::Error&) {
        }
    }
    m_cancelRequested = true;
}

void CSetupContext::ArmServicePinCapture(std::function<void(const QString&, const QString&)> callback) {
    m_servicePinArmed = true;
    if (m_loadSystem) m_savedMode = m_loadSystem->GetMode();
    m_pfnServicePin = std::move(callback);
}

void CSetupContext::DisarmServicePinCapture() {
    if (m_loadSystem) m_loadSystem->SetMode(m_savedMode);
    m_servicePinArmed = false;
}

void CSetupContext::OnServicePinEvent(const ovx::ServicePinEvent& e) {
    if (!m_servicePinArmed || !m_pfnServicePin) return;
    m_pfnServicePin(QString::fromStdString(e.sarvikId), QString::fromStdString(e.programId));
}

int CSetupContext::CompileInterpretedProgram(const QString& sourcePath) {
    return CompileProgram(sourcePath);
}
