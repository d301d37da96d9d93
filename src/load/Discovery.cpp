// Discovery of unconfigured devices and winking by Sarvik ID: the batch
// page's calls into the wizard context. Both stay silent on an object-server
// failure.
#include "context/SetupContext.h"
#include "util/Wait.h"

namespace {

// The device status of a unit that the object server discovered but that is
// not configured.
constexpr int kStatusDiscoveredUnconfigured = 101;

}  // namespace

QStringList CSetupContext::DiscoverUnconfiguredDevices() {
    QStringList found;
    if (!m_loadSystem) return found;
    try {
        m_loadSystem->PrepareDiscovery(false, m_loadSystem->HostId());
        auto devices = m_loadSystem->GetSubsystems()->Item("Discovered.Uninstalled")->GetAppDevices();
        const int count = devices->Count();
        for (int i = 1; i <= count; ++i) {
            auto device = devices->Item(i);
            if (device->Status()->Code() == kStatusDiscoveredUnconfigured)
                found << QString::fromStdString(device->SarvikId());
        }
    } catch (const ovx::Error&) {
        // What was found so far stays.
    }
    return found;
}

void CSetupContext::WinkBySarvikId(const QString& sarvikId) {
    if (!m_loadSystem) return;
    const std::string wanted = sarvikId.toStdString();
    ovx::Ptr<ovx::AppDevices> devices;
    try {
        devices = m_loadSystem->GetSubsystems()->Item("All")->GetAppDevices();
        for (int i = devices->Count(); i >= 1; --i) {
            ovx::Ptr<ovx::AppDevice> device;
            try {
                device = devices->Item(i);
                if (device->SarvikId() != wanted) continue;
            } catch (const ovx::Error&) {
                continue;  // a device that cannot be read is skipped
            }
            device->Wink();
            WaitMs(1000);
            return;
        }
    } catch (const ovx::Error&) {
        // A failing wink shows nothing.
    }
}

void CSetupContext::WinkLoadDevice(int index) {
    if (index < 0 || std::size_t(index) >= m_loadDevices.size() || !m_loadDevices[std::size_t(index)]) return;
    // An object-server failure goes to the caller.
    m_loadDevices[std::size_t(index)]->Wink();
    WaitMs(1000);
}
