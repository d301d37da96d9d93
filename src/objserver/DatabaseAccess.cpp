#include "objserver/DatabaseAccess.h"

#include <QDir>
#include <iterator>

#include "util/Paths.h"
#include "util/Prompter.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The process's temporary directory with its trailing separator.
QString TempDirectory() {
    QString dir = QDir::toNativeSeparators(QDir::tempPath());
    SetTrailingBackslash(dir, true);
    return dir;
}

// Interface cards that can serve as a network services interface, two to a
// line in the message.
const char* const kNsiModels[] = {"NSI-10 PCI", "NSI-11 PC Card", "NSI-20 USB", "NSI-30 IP"};

QString NsiModelLines() {
    QString text;
    const int n = static_cast<int>(std::size(kNsiModels));
    for (int i = 0; i < n; i += 2) {
        text += QStringLiteral("   ") + QString::fromUtf8(kNsiModels[i]);
        if (i + 1 < n) text += QLatin1Char('\t') + QString::fromUtf8(kNsiModels[i + 1]);
        text += QLatin1Char('\n');
    }
    return text;
}

bool IsOpen(const ovx::Ptr<ovx::Network>& n) {
    return n && n->IsOpen();
}
bool IsOpen(const ovx::Ptr<ovx::System>& s) {
    return s && s->IsOpen();
}

}  // namespace

int CDatabaseAccess::OpenNetworkDatabase(const QString& name, int temporary) {
    CloseAllDatabases();
    ovx::Ptr<ovx::Network>& target = temporary == 1 ? m_loadNetwork : m_compressNetwork;
    ovx::Ptr<ovx::System>& system = temporary == 1 ? m_loadSystem : m_compressSystem;

    ovx::Ptr<ovx::Network> found;
    // The object server did not open: no database is listed, none can be made.
    if (!m_networks) {
        if (temporary != 1) return kDbNotFound;
        ReportOleError(ovx::Error(ovx::kErrNotOpen, "The object server is not opened."),
                       "Error creating temporary database:\n");
        return kDbCreateFailed;
    }
    for (int index = 1; index <= m_networks->Count(); ++index) {
        ovx::Ptr<ovx::Network> network = m_networks->Item(index);
        if (Q(network->Name()) != name) continue;
        if (DirectoryExists(Q(network->Path()))) {
            found = network;
        } else {
            // Its folder is gone: the entry is stale.
            m_networks->Remove(index);
        }
        break;
    }

    if (!found) {
        if (temporary != 1) return kDbNotFound;
        const QString path = TempDirectory() + name;
        try {
            found = m_networks->Add(name.toStdString(), path.toStdString(), true);
        } catch (const ovx::Error& e) {
            ReportOleError(e, "Error creating temporary database:\n");
            return kDbCreateFailed;
        }
    }
    target = found;

    try {
        target->Open();
    } catch (const ovx::Error& e) {
        ReportOleError(e);
        return kDbOpenNetworkFailed;
    }
    system = target->GetSystems()->Item(1);
    return kDbOk;
}

int CDatabaseAccess::OpenSystem(const QString& interfaceName, int loadMode) {
    ovx::Ptr<ovx::System> system = loadMode != 0 ? m_loadSystem : m_compressSystem;
    int offNet = 1;

    if (!interfaceName.isEmpty() && loadMode == 1) {
        m_interfaceName = interfaceName;
        ovx::Ptr<ovx::NetworkInterface> ni;
        try {
            ni = m_networkInterfaces->Item(interfaceName.toStdString());
        } catch (const ovx::Error& e) {
            ReportOleError(e);
            return kDbInterfaceNotFound;
        }
        // No database opened on this side yet: fall through to the open
        // failure below instead of touching an empty field.
        if (system) system->Host()->SetNetworkInterface(ni);
        offNet = 0;
    }

    try {
        if (!system) throw ovx::Error(ovx::kErrNotOpen, "No network database is open.");
        system->SetOpenMode(2);
        system->Open();
        system->SetOffNet(offNet);
    } catch (const ovx::Error& e) {
        if (e.code() == ovx::kErrInterfaceNoAnswer) {
            ErrorBox(
                QStringLiteral("Error opening system:\nUnable to communicate with the network interface.\n"
                               "Please verify that the network interface driver is working properly."),
                MsgIcon::Exclamation);
        } else if (e.code() == ovx::kErrNotAnNsi) {
            ErrorBox(QStringLiteral("Error opening system:\nThe Network interface must be an NSI.\n\n"
                                    "The following cards are valid NSIs\n") +
                         NsiModelLines(),
                     MsgIcon::Exclamation);
        } else {
            ReportOleError(e,
                           "Error opening system. (Make sure the database was not created OnNet. Also, try "
                           "running the program with the -d option to delete the temporary database if the "
                           "problem presist):\n");
        }
        return kDbOpenSystemFailed;
    }

    if (loadMode != 1) return kDbOk;
    return OnLoadSystemOpened();
}

void CDatabaseAccess::CloseAllDatabases() {
    if (IsOpen(m_compressNetwork) && IsOpen(m_compressSystem)) m_compressSystem->Close();
    if (IsOpen(m_loadNetwork) && IsOpen(m_loadSystem)) m_loadSystem->Close();
    if (IsOpen(m_compressNetwork)) m_compressNetwork->Close();
    if (IsOpen(m_loadNetwork)) m_loadNetwork->Close();
}

int CDatabaseAccess::ReopenUserDatabase(const QString& name) {
    if (!IsOpen(m_compressNetwork)) {
        const int rc = OpenNetworkDatabase(name, 0);
        if (rc != kDbOk) return rc;
    }
    if (!IsOpen(m_compressSystem)) return OpenSystem(QString(), 0);
    return kDbOk;
}

QStringList CDatabaseAccess::ListNetworkDatabases(bool hideTemporary) {
    QStringList names;
    if (!m_networks) return names;  // the object server did not open
    for (int index = 1; index <= m_networks->Count(); ++index) {
        const QString name = Q(m_networks->Item(index)->Name());
        if (hideTemporary && name == QLatin1String(kTempDbName)) continue;
        names << name;
    }
    return names;
}

QStringList CDatabaseAccess::ListNetworkInterfaces() {
    QStringList names;
    if (!m_networkInterfaces) return names;
    const int count = m_networkInterfaces->Count();
    for (int index = 1; index <= count; ++index) names << Q(m_networkInterfaces->Item(index)->Name());
    return names;
}

void CDatabaseAccess::DeleteTemporaryDatabase() {
    // The files of an open database are not pulled from under it.
    if (IsOpen(m_loadNetwork) && Q(m_loadNetwork->Name()) == QLatin1String(kTempDbName)) {
        if (IsOpen(m_loadSystem)) m_loadSystem->Close();
        m_loadNetwork->Close();
    }
    try {
        // Without an object server there is no list to remove it from.
        for (int index = 1; m_networks && index <= m_networks->Count(); ++index) {
            if (Q(m_networks->Item(index)->Name()) == QLatin1String(kTempDbName)) {
                m_networks->Remove(index);
                break;
            }
        }
    } catch (const ovx::Error&) {
        // Nothing is reported: the folder is deleted all the same.
    }
    DeleteTree(TempDirectory() + QLatin1String(kTempDbName));
}
