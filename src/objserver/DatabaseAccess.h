// Opening, creating, listing, closing and deleting the two network databases
// (the user's, and the temporary "~~~td" used for loading), and opening their
// system. At most one side is open at a time. The wizard context holds one.
#pragma once

#include <QString>
#include <QStringList>

#include "ovx/ovx.h"

// Result codes of the database and setup operations.
enum : int {
    kDbOk = 0,
    kDbNotFound = 2,
    kDbCreateFailed = 3,
    kDbOpenNetworkFailed = 4,
    kDbInterfaceNotFound = 5,
    kDbOpenSystemFailed = 6,
    kXifInvalid = 7,
    kTemplateImportFailed = 8,
    kVqSubsystemFailed = 9,
    kAddDevicesFailed = 10,
    kCompileFailed = 18,
};

// The temporary database of the load side.
inline const char* const kTempDbName = "~~~td";

class CDatabaseAccess {
public:
    // temporary 1: the load side's database (created in the temporary
    // directory when missing); 0: the user's database, which must exist.
    int OpenNetworkDatabase(const QString& name, int temporary);
    int OpenSystem(const QString& interfaceName, int loadMode);  // empty name: none
    void CloseAllDatabases();
    // Opens the user's database and its system again when they are not open.
    int ReopenUserDatabase(const QString& name);
    QStringList ListNetworkDatabases(bool hideTemporary);
    QStringList ListNetworkInterfaces();
    void DeleteTemporaryDatabase();

    // The object server's collections (set once it is open) and the open
    // networks and systems of the two sides.
    ovx::Ptr<ovx::NetworkInterfaces> m_networkInterfaces;
    ovx::Ptr<ovx::Networks> m_networks;
    ovx::Ptr<ovx::Network> m_loadNetwork;
    ovx::Ptr<ovx::Network> m_compressNetwork;
    ovx::Ptr<ovx::System> m_loadSystem;
    ovx::Ptr<ovx::System> m_compressSystem;
    QString m_interfaceName;  // the network interface the load side opened on

protected:
    virtual ~CDatabaseAccess() = default;
    // Runs at the end of OpenSystem in load mode 1, once the system is open;
    // the wizard context builds the load side's structure here.
    virtual int OnLoadSystemOpened() { return kDbOk; }
};
