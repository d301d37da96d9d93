// The one seam between the object server and the wire.
//
// Everything that talks to a unit (connecting the host, modes, discovery,
// service pin, binding a device to its unit, load, commission, state, wink,
// functional blocks, transfers) goes through a FieldLink. The object server
// asks the registered factory for a link when a system goes on-net
// (System::SetOffNet(0)) with the host's network interface endpoint; with no
// factory registered, or off-net, such calls throw kErrOffNet.
//
// A link throws ovx::Error with the codes of errors.h (kErrInterfaceNoAnswer,
// kErrNotAnNsi, kErrDeviceNoAnswer, kErrDeviceRefused, kErrDeviceBusy,
// kErrTransferAborted, kErrNotBound).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ovx/ovx.h"

namespace ovx::detail {

// What the database knows about a device, handed to every device operation.
struct DeviceRef {
    std::uint32_t handle = 0;
    std::string name;
    std::string sarvikId;   // 12 hex digits; empty when not bound to a unit
    std::string programId;  // 16 hex digits
    std::string location;
    int channelId = 0;
};

// A unit as seen on the wire (discovery, service pin).
struct FieldUnit {
    std::string sarvikId;   // 12 hex digits
    std::string programId;  // 16 hex digits
    std::string location;
    int channelId = 0;
    std::int16_t subnet = 0;
    std::int16_t node = 0;
    std::int32_t flags = 0;
};

// One open transfer to a unit (Transfer.Open .. Close).
class FieldTransfer {
public:
    virtual ~FieldTransfer() = default;
    virtual int Mode() = 0;
    virtual void SetMode(int kind) = 0;  // 4 event list, 5 database, 8 interpreted program
    virtual void Write(const std::vector<std::uint8_t>& bytes) = 0;
    virtual void Close() = 0;
};

class FieldLink {
public:
    virtual ~FieldLink() = default;

    // Connects through the interface; throws kErrInterfaceNoAnswer or
    // kErrNotAnNsi. Disconnect never throws.
    virtual void Connect() = 0;
    virtual void Disconnect() = 0;

    // Called while a device operation waits on the wire (at least every 50 ms).
    virtual void SetProgress(std::function<void()> progress) { (void)progress; }
    // Aborts the device operation in progress, from any thread or from the
    // progress callback; it then throws kErrTransferAborted. With none in
    // progress this does nothing, so a later operation is not affected.
    virtual void Cancel() {}
    // True while a device operation runs.
    virtual bool Busy() const { return false; }

    virtual std::string HostId() = 0;
    virtual void SetHostId(const std::string& id) = 0;
    virtual void PrepareLoad(int a, int b) = 0;
    virtual int GetMode() = 0;
    virtual void SetMode(int mode) = 0;

    // Returns the units that answered; the object server lists those not
    // yet in the database under "Discovered.Uninstalled".
    virtual std::vector<FieldUnit> PrepareDiscovery(bool flag, const std::string& hostId) = 0;

    // The link calls the sink on any thread when a unit's service pin is
    // pressed; the object server resolves the device handle and posts the
    // event. An empty sink stops delivery.
    virtual void SetServicePinSink(std::function<void(const FieldUnit&)> sink) = 0;

    // Binding checks that a unit with that Sarvik ID answers (throws
    // kErrDeviceNoAnswer otherwise); the object server stores the ID after.
    virtual void Bind(const DeviceRef& device, const std::string& sarvikId) = 0;

    virtual void Load(const DeviceRef& device, const std::string& appImagePath) = 0;
    virtual void LoadDefaultCps(const DeviceRef& device, int how) = 0;
    virtual void Commission(const DeviceRef& device) = 0;
    virtual int GetState(const DeviceRef& device) = 0;
    virtual void SetState(const DeviceRef& device, int state) = 0;  // 4 online, 12 offline
    virtual void Wink(const DeviceRef& device) = 0;
    virtual int FunctionalBlockCount(const DeviceRef& device) = 0;
    virtual int GetFbDisabled(const DeviceRef& device, int fbIndex) = 0;  // fbIndex 1-based
    virtual void SetFbDisabled(const DeviceRef& device, int fbIndex, int disabled) = 0;

    virtual std::unique_ptr<FieldTransfer> OpenTransfer(const DeviceRef& device) = 0;

    // Whole-file send with per-chunk retry; progress is called between
    // chunks (and at least every 50 ms while waiting on the unit).
    virtual void SendFile(const DeviceRef& device, int kind, const std::vector<std::uint8_t>& bytes,
                          std::size_t chunkSize, int chunkRetries, const std::function<void()>& progress) = 0;
};

// endpoint is the interface's Endpoint() ("field:NAME", "tcp:127.0.0.1:PORT").
using FieldLinkFactory =
    std::function<std::unique_ptr<FieldLink>(const std::string& endpoint, const NetworkInterface& ni)>;

// Until something is registered, the factory is the VQ field's
// (field_link_vqfield.cpp: "field:NAME" and "tcp:127.0.0.1:PORT") when the
// vqfield library is linked, else none. A new registration replaces the old
// one; registering an empty factory leaves the object server without a field.
void SetFieldLinkFactory(FieldLinkFactory factory);
FieldLinkFactory GetFieldLinkFactory();

#ifdef OVX_HAVE_VQFIELD
FieldLinkFactory VqFieldLinkFactory();
#endif

// An interface whose entry in interfaces.json describes its field ("field":
// bit rate and units) gets that in-process field created when the list is
// read, unless one of that name already runs in this process (it keeps its
// units and what they hold). descriptionJson is the "field" member as JSON
// text. Throws kErrBadValue for a description it cannot use; without the
// vqfield library it does nothing.
void PrepareInProcessField(const std::string& endpoint, const std::string& descriptionJson);

}  // namespace ovx::detail
