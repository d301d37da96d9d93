#include "compress/Walk.h"

#include <QByteArray>
#include <exception>

#include "compress/CompressRules.h"
#include "compress/CompressStatus.h"
#include "log/Log.h"
#include "ns2vq/ns2vq.h"

namespace {

using SubsystemPtr = ovx::Ptr<ovx::Subsystem>;
using PassFn = std::uint16_t (CCompressWalk::*)(const SubsystemPtr&, const QString&);
using StepFn = std::uint16_t (*)(CCompressWalk&, const SubsystemPtr&, const QString&);

enum class CancelPoint { AfterChild, BeforeChild };

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::uint16_t Low16(std::uint32_t status) {
    return static_cast<std::uint16_t>(status & 0xFFFF);
}

// Lists hold device handles zero-extended and router handles sign-extended.
std::int64_t DeviceKey(std::uint32_t handle) {
    return static_cast<std::int64_t>(handle);
}
std::int64_t RouterKey(std::int16_t handle) {
    return static_cast<std::int64_t>(handle);
}

void Status(CCompressWalk& w, const QString& text) {
    if (w.m_pLog) w.m_pLog->ShowStatus(text, true);
}

bool IsVqProgramId(const std::string& programId) {
    static const std::string prefix = kVqProgramIdPrefix;
    return programId.size() >= prefix.size() && programId.compare(0, prefix.size(), prefix) == 0;
}

// A device without a channel compares unequal to every channel.
int ChannelIdOf(const ovx::Ptr<ovx::AppDevice>& device) {
    const auto channel = device->GetChannel();
    return channel ? channel->Id() : -1;
}

// True when the device's home-subsystem record names another subsystem. A
// missing record, or one that does not hold an integer, lets the device in.
bool HousedElsewhere(const ovx::Ptr<ovx::AppDevice>& device, std::int32_t subsystemHandle) {
    const auto extensions = device->GetExtensions();
    if (!extensions) return false;
    const auto record = extensions->Item(kHomeSubsystemKey);
    if (!record) return false;
    const ovx::Value value = record->GetValue();
    const auto* home = std::get_if<std::int32_t>(&value);
    return home && *home != subsystemHandle;
}

// Runs a pass depth-first: the step on the subsystem itself, then the same
// pass on each child in collection order. The child count is read again after
// every child, as the collection is live.
std::uint16_t Descend(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path, StepFn step,
                      PassFn pass, CancelPoint cancelPoint) {
    if (const std::uint16_t status = step(w, subsystem, path)) return status;
    const auto children = subsystem->GetSubsystems();
    if (!children) return 0;
    for (int k = 1; k <= children->Count(); ++k) {
        if (cancelPoint == CancelPoint::BeforeChild && w.CancelRequested()) return WALK_CANCELLED;
        const auto child = children->Item(k);
        const QString childPath = path + QLatin1Char('.') + Q(child->Name());
        if (const std::uint16_t status = (w.*pass)(child, childPath)) return status;
        if (cancelPoint == CancelPoint::AfterChild && w.CancelRequested()) return WALK_CANCELLED;
    }
    return 0;
}

std::uint16_t FindVqStep(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path) {
    Status(w, QStringLiteral("Looking in subsystem: %1").arg(path));
    const auto devices = subsystem->GetAppDevices();
    const int count = devices->Count();
    for (int i = 1; i <= count; ++i) {
        if (w.CancelRequested()) return WALK_CANCELLED;
        const auto device = devices->Item(i);
        if (!IsVqProgramId(device->ProgramId())) continue;
        Status(w, QStringLiteral("Found a VQ-70..."));

        const std::uint32_t handle = device->Handle();
        const std::string name = device->Name();
        if (w.m_runDevices.Contains(DeviceKey(handle))) {
            if (w.m_hierDevices.Contains(DeviceKey(handle))) continue;  // listed twice in this hierarchy
            w.m_failedName = Q(name);
            return WALK_VQ_IN_SEVERAL_HIERARCHIES;
        }
        if (w.m_vqFound) {
            w.m_failedName = Q(name);
            return ns2vq::N2VSTS_SECOND_VQ_IN_HIERARCHY;
        }
        w.m_vqFound = 1;
        Status(w, QStringLiteral("Adding VQ device: ") + Q(name));
        const std::uint16_t status = Low16(ns2vq::AddVqDevice(name.c_str(), handle, w.m_compressFlags));
        if (status) {
            w.m_failedName = Q(name);
            return status;
        }
        w.m_hierDevices.AddTail(DeviceKey(handle));
        w.m_runDevices.AddTail(DeviceKey(handle));
        w.m_vqDevice = device;
    }
    return 0;
}

// Near and far devices differ only in which side of the VQ's channel they
// take, whether the VQ's own handle is compared on its own, and the line.
enum class Side { Near, Far };

std::uint16_t AddChannelDevicesStep(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path,
                                    Side side) {
    Status(w, QStringLiteral("Looking in subsystem: %1").arg(path));
    const auto devices = subsystem->GetAppDevices();
    const int count = devices->Count();
    const std::int32_t subsystemHandle = subsystem->Handle();
    const int vqChannel = ChannelIdOf(w.m_vqDevice);
    for (int i = 1; i <= count; ++i) {
        if (w.CancelRequested()) return WALK_CANCELLED;
        const auto device = devices->Item(i);
        if (HousedElsewhere(device, subsystemHandle)) continue;

        const bool onVqChannel = ChannelIdOf(device) == vqChannel;
        if (onVqChannel != (side == Side::Near)) continue;

        const std::uint32_t handle = device->Handle();
        const std::string name = device->Name();
        if (w.m_runDevices.Contains(DeviceKey(handle))) {
            const bool isVq = side == Side::Near && handle == w.m_vqDevice->Handle();
            if (isVq || w.m_hierDevices.Contains(DeviceKey(handle))) continue;
            w.m_failedName = Q(name);
            return WALK_DEVICE_IN_SEVERAL_HIERARCHIES;
        }
        if (handle == w.m_system->HostHandle()) continue;  // the host is never compressed

        w.m_runDevices.AddTail(DeviceKey(handle));
        w.m_hierDevices.AddTail(DeviceKey(handle));
        Status(w, (side == Side::Near ? QStringLiteral("Adding near channel device: ")
                                      : QStringLiteral("Adding far channel device: ")) +
                      Q(name));
        const std::uint16_t status = Low16(ns2vq::AddDevice(name.c_str(), handle, w.m_compressFlags));
        if (status) {
            w.m_failedName = Q(name);
            return status;
        }
    }
    return 0;
}

std::uint16_t NearStep(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path) {
    return AddChannelDevicesStep(w, subsystem, path, Side::Near);
}

std::uint16_t FarStep(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path) {
    return AddChannelDevicesStep(w, subsystem, path, Side::Far);
}

std::uint16_t RouterStep(CCompressWalk& w, const SubsystemPtr& subsystem, const QString& path) {
    Status(w, QStringLiteral("Looking in subsystem: %1").arg(path));
    const auto routers = subsystem->GetRouters();
    const int count = routers->Count();
    if (count == 0) return 0;
    if (count > 1) return ns2vq::N2VSTS_TWO_LOCAL_ROUTERS;

    const auto router = routers->Item(1);
    const std::int16_t handle = router->Handle();
    const std::string name = router->Name();
    // A router is accepted once per run: met again, in this hierarchy or
    // another, it is refused by name.
    if (w.m_runRouters.Contains(RouterKey(handle))) {
        w.m_failedName = Q(name);
        return WALK_ROUTER_IN_SEVERAL_HIERARCHIES;
    }
    if (w.CancelRequested()) return WALK_CANCELLED;
    // A second, different router elsewhere in the hierarchy goes to the
    // library like any other, which refuses it under its own name.

    w.m_runRouters.AddTail(RouterKey(handle));
    w.m_hierRouters.AddTail(RouterKey(handle));
    Status(w, QStringLiteral("Adding router: ") + Q(name));
    const std::uint16_t status = Low16(ns2vq::AddRouter(name.c_str(), static_cast<std::uint16_t>(handle),
                                                        w.m_compressFlags | kRouterFlagBit));
    if (status) {
        w.m_failedName = Q(name);
        return status;
    }
    return 0;
}

}  // namespace

std::uint16_t CCompressWalk::FindVq(const ovx::Ptr<ovx::Subsystem>& subsystem, const QString& path) {
    return Descend(*this, subsystem, path, &FindVqStep, &CCompressWalk::FindVq, CancelPoint::AfterChild);
}

std::uint16_t CCompressWalk::AddNearChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem,
                                                   const QString& path) {
    return Descend(*this, subsystem, path, &NearStep, &CCompressWalk::AddNearChannelDevices,
                   CancelPoint::AfterChild);
}

std::uint16_t CCompressWalk::AddHierarchyRouter(const ovx::Ptr<ovx::Subsystem>& subsystem,
                                                const QString& path) {
    return Descend(*this, subsystem, path, &RouterStep, &CCompressWalk::AddHierarchyRouter,
                   CancelPoint::BeforeChild);
}

std::uint16_t CCompressWalk::AddFarChannelDevices(const ovx::Ptr<ovx::Subsystem>& subsystem,
                                                  const QString& path) {
    return Descend(*this, subsystem, path, &FarStep, &CCompressWalk::AddFarChannelDevices,
                   CancelPoint::BeforeChild);
}

std::uint16_t CCompressWalk::WalkOneHierarchy(const ovx::Ptr<ovx::Subsystem>& subsystem) {
    // The hierarchy's own name, not the selected path, roots every path shown.
    const QString name = Q(subsystem->Name());
    if (m_pLog) m_pLog->AddLine(QString());
    Status(*this, QStringLiteral("Compressing subsystem hierarchy: %1").arg(name));

    Status(*this, QStringLiteral("Looking for the one VQ device..."));
    if (const std::uint16_t status = FindVq(subsystem, name)) return status;
    if (!m_vqFound) return WALK_NO_VQ;

    if (m_cancelRequested) return WALK_CANCELLED;
    Status(*this, QStringLiteral("Looking for local channel devices..."));
    if (const std::uint16_t status = AddNearChannelDevices(subsystem, name)) return status;

    if (m_cancelRequested) return WALK_CANCELLED;
    Status(*this, QStringLiteral("Looking for the only router..."));
    if (const std::uint16_t status = AddHierarchyRouter(subsystem, name)) return status;

    if (m_cancelRequested) return WALK_CANCELLED;
    Status(*this, QStringLiteral("Looking for far channel devices..."));
    if (m_hierRouters.GetCount() > 0) {
        if (const std::uint16_t status = AddFarChannelDevices(subsystem, name)) return status;
    }
    return m_cancelRequested ? WALK_CANCELLED : 0;
}

std::uint16_t CCompressWalk::WalkHierarchies(std::uint32_t flags, const QStringList& paths, CLog* log) {
    m_compressFlags = flags;
    m_pLog = log;
    m_runDevices.RemoveAll();
    m_runRouters.RemoveAll();
    const auto subsystems = m_system->GetSubsystems();
    for (const QString& path : paths) {
        const auto subsystem = subsystems->Item(path.toStdString());
        if (!subsystem) throw ovx::Error(ovx::kErrNotFound, "Subsystem not found: " + path.toStdString());
        m_vqFound = 0;
        m_hierDevices.RemoveAll();
        m_hierRouters.RemoveAll();
        if (const std::uint16_t status = WalkOneHierarchy(subsystem)) return status;
        if (m_cancelRequested) return WALK_CANCELLED;
    }
    return 0;
}

int CCompressWalk::CompressDatabase(const ovx::Ptr<ovx::System>& system, const QString& fileName,
                                    const QStringList& subsystemPaths, std::uint32_t flags, CLog* log,
                                    int major, int minor) {
    m_system = system;
    CLog fileOnly;  // a run without a progress box still writes the log file
    CLog* const out = log ? log : &fileOnly;

    m_cancelRequested = false;
    std::uint16_t status = 0;
    QString errorText;
    bool longOperation = false;
    bool transaction = false;
    try {
        if (!m_system) throw ovx::Error(ovx::kErrNotOpen, "The network database is not open.");
        m_system->BeginLongOperation(1000);
        longOperation = true;
        m_system->StartTransaction();
        transaction = true;

        out->AddLine(QString());
        out->AddLine(QStringLiteral("Start Compressing Database..."));

        // The library reads every object's details from this database.
        ns2vq::AttachDatabase(m_system);
        const QByteArray path = fileName.toUtf8();
        status = Low16(ns2vq::OpenCompressedFile(path.constData(), kCompressCreator,
                                                 static_cast<std::uint32_t>(major),
                                                 static_cast<std::uint32_t>(minor)));
        if (status == 0) status = WalkHierarchies(flags, subsystemPaths, out);
    } catch (const ovx::Error& e) {
        // The walk has no status for this: end the run as failed, keeping the
        // object server's own words for the log.
        status = WALK_OBJECT_SERVER_ERROR;
        errorText = QString::fromStdString(e.description());
    } catch (const std::exception& e) {
        status = WALK_OBJECT_SERVER_ERROR;
        errorText = QString::fromUtf8(e.what());
    }

    // Clean-up must not stop the file being closed; a second error here adds
    // nothing the log does not already say.
    if (longOperation) {
        try {
            m_system->EndLongOperation();
        } catch (const std::exception&) {
        }
    }
    if (transaction) {
        try {
            m_system->CancelTransaction();  // the walk only reads; never committed
        } catch (const std::exception&) {
        }
    }
    // A run the walk finished is a success only once the library has written,
    // verified and moved the file into place; its verdict replaces ours.
    std::uint16_t closed = status;
    try {
        closed = Low16(ns2vq::CloseCompressedFile(status));
    } catch (const std::exception& e) {
        closed = WALK_OBJECT_SERVER_ERROR;
        errorText = QString::fromUtf8(e.what());
    }
    ns2vq::AttachDatabase(nullptr);
    if (status == 0) status = closed;

    // The result lines come once the file is closed, so that they tell what
    // is on disk.
    const QString name = status == WALK_OBJECT_SERVER_ERROR ? errorText : m_failedName;
    for (const QString& line : CompressStatusLines(status, name)) out->AddLine(line);
    out->AddLine(QString());

    if (status == WALK_CANCELLED) return kCompressCancelled;
    return status == 0 ? kCompressOk : kCompressFailed;
}
