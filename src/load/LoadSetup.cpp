// The load side's structure in the temporary database: the VQ subsystem,
// the device template from the external interface file and one temporary
// device per VQ of a load run.
#include <QDir>
#include <QFileInfo>

#include "context/SetupContext.h"
#include "load/LoadGuards.h"
#include "util/Paths.h"
#include "util/Prompter.h"

namespace {

const char* const kLoadHostId = "3E5A0D71C2B8";
const char* const kTempDevicePrefix = "vq70";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

int CSetupContext::OnLoadSystemOpened() {
    m_loadSubsystem.reset();
    try {
        ovx::Ptr<ovx::Subsystems> subsystems = m_loadSystem->GetSubsystems();
        for (int index = 1; index <= subsystems->Count(); ++index) {
            ovx::Ptr<ovx::Subsystem> s = subsystems->Item(index);
            if (s->Name() == kVqSubsystemName) {  // case-sensitive, unlike the object server's own lookup
                m_loadSubsystem = s;
                break;
            }
        }
        if (!m_loadSubsystem) {
            try {
                m_loadSubsystem = subsystems->Add(kVqSubsystemName);
            } catch (const ovx::Error& e) {
                if (e.code() == ovx::kErrNameInUse)
                    ErrorBox(QStringLiteral("The subsystem being added already exists"),
                             MsgIcon::Exclamation);
                else
                    ReportOleError(e);
                return kVqSubsystemFailed;
            }
        }
    } catch (const ovx::Error& e) {
        // The search itself failed: as good as no subsystem.
        ReportOleError(e);
        return kVqSubsystemFailed;
    }
    RemoveTemporaryDevices();
    try {
        m_loadSystem->SetHostId(kLoadHostId);
        // Off the wire (no interface named) there is no load to prepare.
        if (m_loadSystem->OffNet() == 0) m_loadSystem->PrepareLoad(0, 2);
    } catch (const ovx::Error& e) {
        ReportOleError(e);
        return kDbOpenSystemFailed;
    }
    return kDbOk;
}

void CSetupContext::RemoveTemporaryDevices() {
    m_loadDevices.clear();
    m_loadDeviceCount = 0;
    if (!m_loadSubsystem) return;
    try {
        ovx::Ptr<ovx::AppDevices> devices = m_loadSubsystem->GetAppDevices();
        ovx::Ptr<ovx::Routers> routers = m_loadSubsystem->GetRouters();
        for (int index = devices->Count(); index >= 1; --index) {
            devices->Item(index);
            devices->Remove(index);
        }
        for (int index = routers->Count(); index >= 1; --index) {
            routers->Item(index);
            routers->Remove(index);
        }
    } catch (const ovx::Error& e) {
        ReportOleError(e, "Error removing devices from temporary database\n");
        // Back on the wire, as the system is for loading.
        try {
            if (m_loadSystem) m_loadSystem->SetOffNet(0);
        } catch (const ovx::Error&) {
        }
    }
}

int CSetupContext::AddDeviceTemplate(const QString& xifPath, int alwaysImport) {
    ovx::Ptr<ovx::DeviceTemplates> templates = m_loadSystem->GetTemplateLibrary()->GetDeviceTemplates();
    CLongOperation bracket(m_loadSystem);
    m_xifPath = xifPath;

    if (!FileExists(xifPath)) {
        ErrorBox(QStringLiteral("The xif file you entered is invalid"), MsgIcon::Exclamation);
        return kXifInvalid;
    }
    const QString name = QFileInfo(QDir::fromNativeSeparators(xifPath)).completeBaseName();

    ovx::Ptr<ovx::DeviceTemplate> found;
    for (int index = templates->Count(); index >= 1; --index) {
        ovx::Ptr<ovx::DeviceTemplate> t = templates->Item(index);
        if (Q(t->Name()).compare(name, Qt::CaseInsensitive) == 0) {
            found = t;
            break;
        }
    }
    const bool created = !found;
    if (created) {
        try {
            found = templates->Add(name.toStdString(), 1);
        } catch (const ovx::Error& e) {
            if (e.code() == ovx::kErrNameInUse)
                ErrorBox(QStringLiteral("The device template name that you specified already exists"),
                         MsgIcon::Exclamation);
            else
                ReportOleError(e, "Error adding device template:\n");
            return kXifInvalid;
        }
    }

    if (alwaysImport || created) {
        try {
            found->Import(xifPath.toStdString());
        } catch (const ovx::Error& e) {
            if (e.code() == ovx::kErrXifUnreadable || e.code() == ovx::kErrXfbMismatch)
                ErrorBox(QStringLiteral("Both the xif file and the xfb file are required\n"
                                        "You may need to run xifpack on the xif file."),
                         MsgIcon::Exclamation);
            else if (e.code() == ovx::kErrDuplicateProgramId)
                ErrorBox(QStringLiteral("A device template already exists with the specified program ID\n"
                                        "Every device template must have a unique program ID"),
                         MsgIcon::Exclamation);
            else
                ReportOleError(e);
            // Also a template that was there before: it no longer matches the file.
            try {
                templates->Remove(found->Name());
            } catch (const ovx::Error&) {
            }
            if (m_deviceTemplate && m_deviceTemplate->Name() == found->Name()) m_deviceTemplate.reset();
            return kTemplateImportFailed;
        }
    }
    m_deviceTemplate = found;
    return kDbOk;
}

int CSetupContext::AddTemporaryDevices(int count) {
    m_cancelRequested = false;
    RemoveTemporaryDevices();
    bool inTransaction = false;
    try {
        if (!m_loadSystem || !m_loadSubsystem || !m_loadNetwork)
            throw ovx::Error(ovx::kErrNotOpen, "The temporary database is not open.");
        ovx::Ptr<ovx::AppDevices> devices = m_loadSubsystem->GetAppDevices();
        m_loadSystem->StartTransaction();
        inTransaction = true;
        ovx::Ptr<ovx::Channels> channels = m_loadNetwork->GetChannels();

        m_loadDevices.assign(static_cast<std::size_t>(std::max(count, 0)), nullptr);
        m_loadDeviceCount = count;
        for (int index = 0; index < count; ++index) {
            if (m_cancelRequested) {
                m_loadSystem->CancelTransaction();
                return kCancelled;
            }
            const QString name = QString::asprintf("%s%d", kTempDevicePrefix, index);
            m_loadDevices[static_cast<std::size_t>(index)] =
                devices->Add(name.toStdString(), m_deviceTemplate, channels->Item(1));
        }
        m_loadSystem->CommitTransaction();
        return kDbOk;
    } catch (const ovx::Error& e) {
        if (e.code() == ovx::kErrNameInUse)
            ErrorBox(QStringLiteral("Error adding VQ device:\nThe VQ device already exists"),
                     MsgIcon::Exclamation);
        else
            ReportOleError(e, "Error adding VQ device\n");
        if (inTransaction) {
            try {
                m_loadSystem->CancelTransaction();
            } catch (const ovx::Error&) {
            }
        }
        return kAddDevicesFailed;
    }
}
