// The wizard context: the one object that holds the object server, the
// shared object-server objects, the cancel flags and the compression walk's
// working lists. Its operations (database access, compression walk, load
// setup, per-VQ steps) work on these fields directly. It holds no widget, so
// the same operations run in the wizard, in vqtool and in the tests; CSetupDlg
// adds the window.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

#include "log/Log.h"
#include "objserver/KroObjectServer.h"
#include "ovx/ovx.h"

// An append-only list of handles in insertion order with a constant-time
// membership test.
class CHandleList {
public:
    void RemoveAll() {
        m_items.clear();
        m_set.clear();
    }
    void AddTail(std::int64_t h) {
        m_items.push_back(h);
        m_set.insert(h);
    }
    bool Contains(std::int64_t h) const { return m_set.count(h) != 0; }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<std::int64_t>& Items() const { return m_items; }

private:
    std::vector<std::int64_t> m_items;
    std::unordered_set<std::int64_t> m_set;
};

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
    kCompressFailed = 14,
    kCompileFailed = 18,
};
// Load-side results.
enum : int { kLoadOk = 0, kLoadFailed = 1, kImageMissing = 7, kCancelled = 12345 };

inline const char* const kTempDbName = "~~~td";
inline const char* const kVqSubsystemName = "VQSubsystem";
inline const char* const kVqProgramIdPrefix = "900001013C8A04";
inline const char* const kHomeSubsystemKey = "Quillane_KTW_SubsysHndl";

class CSetupContext {
public:
    CSetupContext();
    virtual ~CSetupContext();
    CSetupContext(const CSetupContext&) = delete;
    CSetupContext& operator=(const CSetupContext&) = delete;

    // ---- start-up
    // Sets the start-up flags, opens the object server and fetches the two
    // collections; shows "Error: The object server is not opened." otherwise.
    void OpenObjectServer(const std::string& dataFolder = {});

    // ---- database access
    int OpenNetworkDatabase(const QString& name, int temporary);
    int OpenSystem(const QString& interfaceName, int loadMode);  // empty name: none
    void CloseAllDatabases();
    int ReopenUserDatabase(const QString& name);
    QStringList ListNetworkDatabases(bool hideTemporary);
    QStringList ListNetworkInterfaces();
    void DeleteTemporaryDatabase();

    // ---- compression walk
    int CompressDatabase(const QString& fileName, const QStringList& subsystemPaths, std::uint32_t flags,
                         CLog* log, int major, int minor);
    std::uint16_t WalkHierarchies(std::uint32_t flags, const QStringList& paths, CLog* log);
    std::uint16_t WalkOneHierarchy(const ovx::Ptr<ovx::Subsystem>& subsystem);
    std::uint16_t FindVq(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddNearChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddHierarchyRouter(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddFarChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);

    // ---- load setup
    int AddDeviceTemplate(const QString& xifPath, int alwaysImport);
    void RemoveTemporaryDevices();
    int AddTemporaryDevices(int count);

    // ---- per-VQ load sequence
    int SetSarvikId(const QStringList& sarvikIds, int i, CLog* log);
    int LoadApplicationImage(const QString& imagePath, int i, CLog* log);
    int CommissionDevice(int i, CLog* log);
    int LoadDeviceContents(const QString& dbPath, const QString& eventListPath, int i, CLog* log,
                           bool useOwnProgram, const QString& programPath);

    // ---- interpreted program
    int CompileInterpretedProgram(const QString& sourcePath);

    // ---- batch list and service pin
    void ArmServicePinCapture(std::function<void(const QString&, const QString&)> callback);
    void DisarmServicePinCapture();
    void OnServicePinEvent(const ovx::ServicePinEvent& e);
    QStringList DiscoverUnconfiguredDevices();
    void WinkBySarvikId(const QString& sarvikId);
    void WinkLoadDevice(int index);

    // Called by the Cancel dialog's Cancel button (and Escape).
    void RequestCancel();

    // ---- fields (declaration order follows the wizard context's layout)
    ovx::Ptr<ovx::NetworkInterfaces> m_networkInterfaces;
    ovx::Ptr<ovx::Networks> m_networks;
    ovx::Ptr<ovx::Network> m_loadNetwork;
    ovx::Ptr<ovx::Network> m_compressNetwork;
    ovx::Ptr<ovx::System> m_loadSystem;
    ovx::Ptr<ovx::System> m_compressSystem;
    ovx::Ptr<ovx::Subsystem> m_loadSubsystem;
    std::vector<ovx::Ptr<ovx::AppDevice>> m_loadDevices;
    int m_loadDeviceCount = 0;
    int m_savedMode = 0;
    bool m_servicePinArmed = false;
    int m_templateSource = 0;  // 0: the template comes from the external interface file
    bool m_cancelRequested = false;
    ovx::Ptr<ovx::DeviceTemplate> m_deviceTemplate;
    std::function<void(const QString&, const QString&)> m_pfnServicePin;
    bool m_appImageLoading = false;
    QString m_interfaceName;
    QString m_xifPath;
    CHandleList m_runDevices, m_runRouters, m_hierDevices, m_hierRouters;
    CLog* m_pLog = nullptr;
    int m_vqFound = 0;
    ovx::Ptr<ovx::AppDevice> m_vqDevice;
    QString m_failedName;
    std::uint32_t m_compressFlags = 0;
    CKroObjectServer m_objectServer;
};

// The context of this run; set at start-up (and by tests).
extern CSetupContext* g_pContext;
