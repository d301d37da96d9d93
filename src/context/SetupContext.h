// The wizard context: the one object that holds the object server, the
// shared object-server objects, the cancel flags, the database access (its
// base) and the compression walk. It holds no widget, so the same operations
// run in the wizard, in vqtool and in the tests; CSetupDlg adds the window.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "compress/Walk.h"
#include "log/Log.h"
#include "objserver/DatabaseAccess.h"
#include "objserver/KroObjectServer.h"
#include "ovx/ovx.h"

// Load-side results.
enum : int { kLoadOk = 0, kLoadFailed = 1, kImageMissing = 7, kCancelled = 12345 };

inline const char* const kVqSubsystemName = "VQSubsystem";

class CSetupContext : public CDatabaseAccess {
public:
    CSetupContext();
    virtual ~CSetupContext();
    CSetupContext(const CSetupContext&) = delete;
    CSetupContext& operator=(const CSetupContext&) = delete;

    // ---- start-up
    // Sets the start-up flags, opens the object server and fetches the two
    // collections; shows "Error: The object server is not opened." otherwise.
    void OpenObjectServer(const std::string& dataFolder = {});

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
    // Throws the object server's error.
    void SetNodeObjectEnabled(const ovx::Ptr<ovx::AppDevice>& device, bool enable);
    int SendEventList(const QString& eventListPath, CLog* log, int i);
    int SendInterpretedProgram(const QString& programPath, CLog* log, int i);
    int SendDefaultInterpretedProgram(CLog* log, int i);
    // The error line that the last failing load step wrote (empty after a
    // step that did not fail with a line of its own).
    QString m_lastLoadError;

protected:
    // The load-mode tail of OpenSystem: the VQ subsystem, the removal of old
    // devices, the host ID and the load preparation.
    int OnLoadSystemOpened() override;

public:
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

    // ---- fields
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
    QString m_xifPath;
    CCompressWalk m_walk{m_cancelRequested};
    CKroObjectServer m_objectServer;
};

// The context of this run, set by the wizard's window at start-up (and by
// tests). Read only where the sheet is put together and by the Cancel
// dialog; pages get the context from the sheet.
extern CSetupContext* g_pContext;
