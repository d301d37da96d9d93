// Public interface of the ovx object server.
//
// Every object is reached from ObjectServer and handed out as a shared
// pointer; an empty pointer is an object not yet fetched. Collections are
// indexed from 1. Every failing call throws ovx::Error, which carries a
// 32-bit code (see errors.h) and a description that names the object or file.
//
// The interfaces are abstract so that the implementation (SQLite storage,
// in-process or TCP field) stays private to the component.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ovx/errors.h"

namespace ovx {

// A property value that is either a 32-bit integer or a text (extension
// records, configuration values). std::monostate means "no value".
using Value = std::variant<std::monostate, std::int32_t, std::string>;

class ObjectServer;
class NetworkInterfaces;
class NetworkInterface;
class Networks;
class Network;
class Systems;
class System;
class HostNode;
class Channels;
class Channel;
class Subsystems;
class Subsystem;
class AppDevices;
class AppDevice;
class DeviceStatus;
class Extensions;
class Extension;
class DeviceInterface;
class FunctionalBlocks;
class FunctionalBlock;
class Routers;
class Router;
class TemplateLibrary;
class DeviceTemplates;
class DeviceTemplate;
class Transfer;

template <class T>
using Ptr = std::shared_ptr<T>;

// Arguments of the ServicePin event, in the order the event delivers them.
struct ServicePinEvent {
    std::int32_t networkHandle = 0;  // 1st
    std::int32_t channelHandle = 0;  // 2nd
    std::int16_t subnet = 0;         // 3rd
    std::string sarvikId;            // 4th: 12 hexadecimal digits
    std::string programId;           // 5th: 16 hexadecimal digits
    std::string location;            // 6th
    std::int32_t deviceHandle = 0;   // 7th: 0 when the unit is not in the database
    std::int16_t node = 0;           // 8th
    std::int32_t flags = 0;          // 9th
};

struct ServerOptions {
    // Data folder: catalog of networks, network-interface file. Empty means
    // $OVX_HOME, else a per-user default.
    std::string dataFolder;
};

// ---------------------------------------------------------------- server

class ObjectServer {
public:
    virtual ~ObjectServer() = default;

    // The two start-up flags; the wizard sets both to false before Open.
    virtual void SetAutoOpenLastNetwork(bool on) = 0;
    virtual void SetShowServerDialogs(bool on) = 0;

    virtual void Open() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;

    virtual Ptr<Networks> GetNetworks() = 0;
    virtual Ptr<NetworkInterfaces> GetNetworkInterfaces() = 0;

    // Called at least every 50 ms during long calls (opening a large
    // database, importing a template, transfers to a device).
    virtual void SetProgressCallback(std::function<void()> cb) = 0;

    // Events (service pin) are handed to the poster so that they run on the
    // thread of the host's event loop. Without a poster they run at once on
    // whatever thread noticed them.
    using Poster = std::function<void(std::function<void()>)>;
    virtual void SetEventPoster(Poster poster) = 0;
    virtual void SetServicePinHandler(std::function<void(const ServicePinEvent&)> handler) = 0;

    virtual std::string DataFolder() const = 0;
};

std::unique_ptr<ObjectServer> CreateObjectServer(const ServerOptions& options = {});

// ---------------------------------------------------------------- interfaces

class NetworkInterface {
public:
    virtual ~NetworkInterface() = default;
    virtual std::string Name() const = 0;
    virtual bool IsNsi() const = 0;
    virtual std::string Endpoint() const = 0;  // "field:NAME" or "tcp:127.0.0.1:PORT"
};

class NetworkInterfaces {
public:
    virtual ~NetworkInterfaces() = default;
    virtual int Count() = 0;
    virtual Ptr<NetworkInterface> Item(int index) = 0;
    virtual Ptr<NetworkInterface> Item(const std::string& name) = 0;  // throws when unknown
};

// ---------------------------------------------------------------- networks

class Networks {
public:
    virtual ~Networks() = default;
    virtual int Count() = 0;
    virtual Ptr<Network> Item(int index) = 0;
    virtual Ptr<Network> Item(const std::string& name) = 0;  // case-insensitive
    // Registers a network; with create true a new empty database is made in
    // folder (created when missing). Throws kErrNameInUse for a taken name.
    virtual Ptr<Network> Add(const std::string& name, const std::string& folder, bool create) = 0;
    // Unregisters; the folder and its database stay on disk.
    virtual void Remove(int index) = 0;
};

class Network {
public:
    virtual ~Network() = default;
    virtual std::string Name() const = 0;
    virtual std::string Path() const = 0;  // the network's folder
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual Ptr<Systems> GetSystems() = 0;
    virtual Ptr<Channels> GetChannels() = 0;
};

class Systems {
public:
    virtual ~Systems() = default;
    virtual int Count() = 0;
    virtual Ptr<System> Item(int index) = 0;
};

class HostNode {
public:
    virtual ~HostNode() = default;
    virtual Ptr<NetworkInterface> GetNetworkInterface() = 0;
    virtual void SetNetworkInterface(Ptr<NetworkInterface> ni) = 0;
};

// Device details the compressor library reads by handle.
struct NvInfo {
    std::string name;
    int index = 0;
    std::string type;  // type name from the template
    bool nodeObject = false;  // belongs to the node object (functional block 0)
};
struct CpInfo {
    std::string name;
    Value value;         // set on the device, or monostate
    Value defaultValue;  // from the template, or monostate
};
struct DeviceDetails {
    std::uint32_t handle = 0;
    std::string name;
    std::string programId;
    std::string location;  // up to 6 characters, may be empty
    std::string sarvikId;  // may be empty
    int channelId = 0;
    std::string templateName;
    int templateNvCount = -1;  // -1 when the device has no template
    std::vector<NvInfo> nvs;
    std::vector<CpInfo> cps;
};
struct RouterDetails {
    std::int16_t handle = 0;
    std::string name;
    int nearChannelId = 0;
    int farChannelId = 0;
};

class System {
public:
    virtual ~System() = default;

    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual int OpenMode() const = 0;
    virtual void SetOpenMode(int mode) = 0;
    virtual int OffNet() const = 0;
    virtual void SetOffNet(int offNet) = 0;  // 0 connects to the host's interface

    virtual Ptr<HostNode> Host() = 0;
    virtual std::string HostId() const = 0;
    virtual void SetHostId(const std::string& id) = 0;
    virtual void PrepareLoad(int a, int b) = 0;
    virtual std::uint32_t HostHandle() = 0;

    virtual Ptr<Subsystems> GetSubsystems() = 0;
    virtual Ptr<TemplateLibrary> GetTemplateLibrary() = 0;
    virtual Ptr<Transfer> GetTransfer() = 0;  // a fresh transfer object

    virtual void StartTransaction() = 0;
    virtual void CommitTransaction() = 0;
    virtual void CancelTransaction() = 0;
    virtual void BeginLongOperation(int intervalMs) = 0;
    virtual void EndLongOperation() = 0;

    virtual int GetMode() = 0;
    virtual void SetMode(int mode) = 0;
    virtual void PrepareDiscovery(bool flag, const std::string& hostId) = 0;

    // Read access by handle for the compressor library. Throw kErrNotFound.
    virtual DeviceDetails DeviceByHandle(std::uint32_t handle) = 0;
    virtual RouterDetails RouterByHandle(std::int16_t handle) = 0;
    virtual std::vector<int> ChannelIds() = 0;

    // Sends a file of the given kind (5 = compressed database) to the unit
    // bound to the device with this handle, in chunks of chunkSize bytes;
    // a failed chunk is retried up to chunkRetries times and the transfer
    // resumes at that chunk. Throws the object server's error on failure.
    virtual void SendFileToDevice(std::uint32_t handle, int kind, const std::vector<std::uint8_t>& bytes,
                                  std::size_t chunkSize = 1024, int chunkRetries = 3) = 0;
};

// ---------------------------------------------------------------- channels

class Channel {
public:
    virtual ~Channel() = default;
    virtual int Id() const = 0;
    virtual std::string Name() const = 0;
};

class Channels {
public:
    virtual ~Channels() = default;
    virtual int Count() = 0;
    virtual Ptr<Channel> Item(int index) = 0;
};

// ---------------------------------------------------------------- subsystems

class Subsystems {
public:
    virtual ~Subsystems() = default;
    virtual int Count() = 0;
    virtual Ptr<Subsystem> Item(int index) = 0;
    // A name, or a dotted path such as "Discovered.Uninstalled"; case-insensitive.
    virtual Ptr<Subsystem> Item(const std::string& nameOrPath) = 0;
    virtual Ptr<Subsystem> Add(const std::string& name) = 0;
};

class Subsystem {
public:
    virtual ~Subsystem() = default;
    virtual std::string Name() const = 0;
    virtual std::int32_t Handle() const = 0;
    virtual Ptr<AppDevices> GetAppDevices() = 0;
    virtual Ptr<Routers> GetRouters() = 0;
    virtual Ptr<Subsystems> GetSubsystems() = 0;
};

// ---------------------------------------------------------------- devices

class AppDevices {
public:
    virtual ~AppDevices() = default;
    virtual int Count() = 0;
    virtual Ptr<AppDevice> Item(int index) = 0;
    virtual Ptr<AppDevice> Item(const std::string& name) = 0;
    virtual Ptr<AppDevice> Add(const std::string& name, Ptr<DeviceTemplate> tmpl, Ptr<Channel> channel) = 0;
    virtual void Remove(int index) = 0;
};

class DeviceStatus {
public:
    virtual ~DeviceStatus() = default;
    virtual int Code() const = 0;  // 101: discovered, unconfigured
};

class Extension {
public:
    virtual ~Extension() = default;
    virtual std::string Key() const = 0;
    virtual Value GetValue() const = 0;
    virtual void SetValue(const Value& v) = 0;
};

class Extensions {
public:
    virtual ~Extensions() = default;
    virtual int Count() = 0;
    // Null when the device has no record under key.
    virtual Ptr<Extension> Item(const std::string& key) = 0;
};

class FunctionalBlock {
public:
    virtual ~FunctionalBlock() = default;
    virtual int Disabled() = 0;
    virtual void SetDisabled(int disabled) = 0;
};

class FunctionalBlocks {
public:
    virtual ~FunctionalBlocks() = default;
    virtual int Count() = 0;
    virtual Ptr<FunctionalBlock> Item(int index) = 0;
};

class DeviceInterface {
public:
    virtual ~DeviceInterface() = default;
    virtual Ptr<FunctionalBlocks> GetFunctionalBlocks() = 0;
};

class AppDevice {
public:
    virtual ~AppDevice() = default;
    virtual std::string Name() const = 0;
    virtual std::uint32_t Handle() const = 0;
    virtual std::string SarvikId() = 0;
    virtual void SetSarvikId(const std::string& id) = 0;  // 12 hexadecimal digits
    virtual std::string ProgramId() = 0;
    virtual int State() = 0;
    virtual void SetState(int state) = 0;  // 4 online, 12 offline
    virtual Ptr<DeviceStatus> Status() = 0;
    virtual Ptr<Channel> GetChannel() = 0;
    virtual Ptr<Extensions> GetExtensions() = 0;
    virtual Ptr<DeviceInterface> GetInterface() = 0;
    virtual std::string AppImagePath() = 0;
    virtual void SetAppImagePath(const std::string& path) = 0;
    virtual void Load() = 0;
    virtual void LoadDefaultCps(int how) = 0;
    virtual void Commission() = 0;
    virtual void Wink() = 0;
};

// ---------------------------------------------------------------- routers

class Router {
public:
    virtual ~Router() = default;
    virtual std::string Name() const = 0;
    virtual std::int16_t Handle() const = 0;
};

class Routers {
public:
    virtual ~Routers() = default;
    virtual int Count() = 0;
    virtual Ptr<Router> Item(int index) = 0;
    virtual void Remove(int index) = 0;
};

// ---------------------------------------------------------------- templates

class DeviceTemplate {
public:
    virtual ~DeviceTemplate() = default;
    virtual std::string Name() const = 0;
    virtual std::string ProgramId() = 0;  // empty until imported
    // Reads a .xif and its .xfb companion beside it.
    virtual void Import(const std::string& xifPath) = 0;
};

class DeviceTemplates {
public:
    virtual ~DeviceTemplates() = default;
    virtual int Count() = 0;
    virtual Ptr<DeviceTemplate> Item(int index) = 0;
    virtual Ptr<DeviceTemplate> Add(const std::string& name, int flags) = 0;
    virtual void Remove(const std::string& name) = 0;
    virtual void Remove(int index) = 0;
};

class TemplateLibrary {
public:
    virtual ~TemplateLibrary() = default;
    virtual Ptr<DeviceTemplates> GetDeviceTemplates() = 0;
};

// ---------------------------------------------------------------- transfer

class Transfer {
public:
    virtual ~Transfer() = default;
    virtual void Open(Ptr<AppDevice> device) = 0;
    virtual int Mode() = 0;
    virtual void SetMode(int kind) = 0;  // 4 event list, 5 database, 8 interpreted program
    virtual void Write(const std::vector<std::uint8_t>& bytes) = 0;
    virtual void Close() = 0;
};

}  // namespace ovx
