// The subsystem hierarchy walk: finds each selected hierarchy's VQ, its
// near-channel devices, its router and the devices behind the router, checks
// the rules a VQ imposes and hands every object to the compressor library.
// The walk object keeps its working lists from one run to the next; the
// wizard context holds one.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "ovx/ovx.h"

class CLog;

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

// What CompressDatabase returns: done, cancelled by the user, or failed
// (the reason is in the log).
enum : int { kCompressOk = 0, kCompressFailed = 14, kCompressCancelled = 12345 };

class CCompressWalk {
public:
    // cancelRequested is the flag the Cancel dialog (or Ctrl-C) sets; the
    // walk clears it when a run starts and polls it between objects.
    explicit CCompressWalk(bool& cancelRequested) : m_cancelRequested(cancelRequested) {}

    // Compresses the hierarchies at subsystemPaths (full dotted paths, in
    // order) of the open system into fileName. Writes the run's lines to log
    // (the log file only when null) and returns kCompressOk,
    // kCompressCancelled or kCompressFailed. The file is a success only once
    // the library has written and moved it into place.
    int CompressDatabase(const ovx::Ptr<ovx::System>& system, const QString& fileName,
                         const QStringList& subsystemPaths, std::uint32_t flags, CLog* log, int major,
                         int minor);

    std::uint16_t WalkHierarchies(std::uint32_t flags, const QStringList& paths, CLog* log);
    std::uint16_t WalkOneHierarchy(const ovx::Ptr<ovx::Subsystem>& subsystem);
    std::uint16_t FindVq(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddNearChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddHierarchyRouter(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);
    std::uint16_t AddFarChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path);

    bool CancelRequested() const { return m_cancelRequested; }

    // Working state of the last run.
    CHandleList m_runDevices, m_runRouters, m_hierDevices, m_hierRouters;
    CLog* m_pLog = nullptr;
    int m_vqFound = 0;
    ovx::Ptr<ovx::AppDevice> m_vqDevice;
    QString m_failedName;  // kept from run to run
    std::uint32_t m_compressFlags = 0;
    ovx::Ptr<ovx::System> m_system;  // the database being compressed

private:
    bool& m_cancelRequested;
};
