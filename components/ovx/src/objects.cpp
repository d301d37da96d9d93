// The object model over one open network. Objects are light views holding
// the network and a handle; the data lives in the Store's cache.
#include <algorithm>
#include <chrono>

#include "core.h"
#include "xif.h"

namespace ovx::detail {

namespace {

using NetPtr = std::shared_ptr<NetworkCore>;

[[noreturn]] void NoItem(const std::string& what, int index, int count) {
    throw Error(kErrNotFound,
                what + ": no item " + std::to_string(index) + " (count " + std::to_string(count) + ")");
}

// ------------------------------------------------------------ channels

class ChannelImpl : public Channel {
public:
    ChannelImpl(int id, std::string name) : id_(id), name_(std::move(name)) {}
    int Id() const override { return id_; }
    std::string Name() const override { return name_; }

private:
    int id_;
    std::string name_;
};

class ChannelsImpl : public Channels {
public:
    explicit ChannelsImpl(NetPtr n) : net_(std::move(n)) {}
    int Count() override { return static_cast<int>(net_->Db().Channels().size()); }
    Ptr<Channel> Item(int index) override {
        const auto& c = net_->Db().Channels();
        if (index < 1 || index > static_cast<int>(c.size()))
            NoItem("Channels of \"" + net_->name + "\"", index, Count());
        return std::make_shared<ChannelImpl>(c[index - 1].id, c[index - 1].name);
    }

private:
    NetPtr net_;
};

Ptr<Channel> ChannelOf(Store& s, int id) {
    for (const auto& c : s.Channels())
        if (c.id == id) return std::make_shared<ChannelImpl>(c.id, c.name);
    // A device may sit on a channel the network does not list.
    return std::make_shared<ChannelImpl>(id, "");
}

// ------------------------------------------------------------ extensions

class ExtensionImpl : public Extension {
public:
    ExtensionImpl(NetPtr n, std::uint32_t dev, std::string key)
        : net_(std::move(n)), dev_(dev), key_(std::move(key)) {}
    std::string Key() const override { return key_; }
    Value GetValue() const override {
        const DeviceRec* d = net_->Db().Device(dev_);
        if (!d) return std::monostate{};
        auto it = d->ext.find(Lower(key_));
        return it == d->ext.end() ? Value{} : it->second.value;
    }
    void SetValue(const Value& v) override { net_->Db().SetExtension(dev_, key_, v); }

private:
    NetPtr net_;
    std::uint32_t dev_;
    std::string key_;
};

class ExtensionsImpl : public Extensions {
public:
    ExtensionsImpl(NetPtr n, std::uint32_t dev) : net_(std::move(n)), dev_(dev) {}
    int Count() override {
        const DeviceRec* d = net_->Db().Device(dev_);
        return d ? static_cast<int>(d->ext.size()) : 0;
    }
    Ptr<Extension> Item(const std::string& key) override {
        const DeviceRec* d = net_->Db().Device(dev_);
        if (!d) return nullptr;
        auto it = d->ext.find(Lower(key));
        if (it == d->ext.end()) return nullptr;
        return std::make_shared<ExtensionImpl>(net_, dev_, it->second.key);
    }

private:
    NetPtr net_;
    std::uint32_t dev_;
};

// ------------------------------------------------------------ device

class StatusImpl : public DeviceStatus {
public:
    explicit StatusImpl(int c) : code_(c) {}
    int Code() const override { return code_; }

private:
    int code_;
};

class FunctionalBlockImpl : public FunctionalBlock {
public:
    FunctionalBlockImpl(NetPtr n, std::uint32_t dev, int index)
        : net_(std::move(n)), dev_(dev), index_(index) {}
    int Disabled() override {
        return net_->Link("FunctionalBlock.Disabled").GetFbDisabled(net_->Ref(dev_), index_);
    }
    void SetDisabled(int v) override {
        net_->Link("FunctionalBlock.Disabled").SetFbDisabled(net_->Ref(dev_), index_, v);
    }

private:
    NetPtr net_;
    std::uint32_t dev_;
    int index_;
};

class FunctionalBlocksImpl : public FunctionalBlocks {
public:
    FunctionalBlocksImpl(NetPtr n, std::uint32_t dev) : net_(std::move(n)), dev_(dev) {}
    int Count() override { return net_->Link("FunctionalBlocks").FunctionalBlockCount(net_->Ref(dev_)); }
    Ptr<FunctionalBlock> Item(int index) override {
        const int n = Count();
        if (index < 1 || index > n) NoItem("FunctionalBlocks", index, n);
        return std::make_shared<FunctionalBlockImpl>(net_, dev_, index);
    }

private:
    NetPtr net_;
    std::uint32_t dev_;
};

class DeviceInterfaceImpl : public DeviceInterface {
public:
    DeviceInterfaceImpl(NetPtr n, std::uint32_t dev) : net_(std::move(n)), dev_(dev) {}
    Ptr<FunctionalBlocks> GetFunctionalBlocks() override {
        return std::make_shared<FunctionalBlocksImpl>(net_, dev_);
    }

private:
    NetPtr net_;
    std::uint32_t dev_;
};

class AppDeviceImpl : public AppDevice {
public:
    AppDeviceImpl(NetPtr n, const DeviceRec& d) : net_(std::move(n)), handle_(d.handle), name_(d.name) {}
    std::string Name() const override { return name_; }
    std::uint32_t Handle() const override { return handle_; }
    std::string SarvikId() override { return Rec().sarvikId; }
    void SetSarvikId(const std::string& id) override {
        if (!id.empty() &&
            (id.size() != 12 || id.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos))
            throw Error(kErrBadValue,
                        "Sarvik ID \"" + id + "\" of \"" + name_ + "\" is not 12 hexadecimal digits");
        // On-net the unit must answer before the binding is stored;
        // off-net the database is updated alone.
        if (net_->link && !id.empty()) net_->link->Bind(net_->Ref(handle_), id);
        net_->Db().SetDeviceText(handle_, "sarvik_id", id);
        Rec().sarvikId = id;
    }
    std::string ProgramId() override { return Rec().programId; }
    int State() override {
        if (net_->link) return net_->link->GetState(net_->Ref(handle_));
        return Rec().state;
    }
    void SetState(int state) override {
        if (net_->link) net_->link->SetState(net_->Ref(handle_), state);
        net_->Db().SetDeviceInt(handle_, "state", state);
        Rec().state = state;
    }
    Ptr<DeviceStatus> Status() override { return std::make_shared<StatusImpl>(Rec().status); }
    Ptr<Channel> GetChannel() override { return ChannelOf(net_->Db(), Rec().channelId); }
    Ptr<Extensions> GetExtensions() override { return std::make_shared<ExtensionsImpl>(net_, handle_); }
    Ptr<DeviceInterface> GetInterface() override {
        return std::make_shared<DeviceInterfaceImpl>(net_, handle_);
    }
    std::string AppImagePath() override { return Rec().appImagePath; }
    void SetAppImagePath(const std::string& path) override {
        net_->Db().SetDeviceText(handle_, "app_image_path", path);
        Rec().appImagePath = path;
    }
    void Load() override { net_->Link("AppDevice.Load").Load(net_->Ref(handle_), Rec().appImagePath); }
    void LoadDefaultCps(int how) override {
        net_->Link("AppDevice.LoadDefaultCps").LoadDefaultCps(net_->Ref(handle_), how);
    }
    void Commission() override { net_->Link("AppDevice.Commission").Commission(net_->Ref(handle_)); }
    void Wink() override { net_->Link("AppDevice.Wink").Wink(net_->Ref(handle_)); }

private:
    DeviceRec& Rec() {
        DeviceRec* d = net_->Db().Device(handle_);
        if (!d) throw Error(kErrNotFound, "The device \"" + name_ + "\" no longer exists");
        return *d;
    }
    NetPtr net_;
    std::uint32_t handle_;
    std::string name_;
};

// ------------------------------------------------------------ templates

class DeviceTemplateImpl : public DeviceTemplate {
public:
    DeviceTemplateImpl(NetPtr n, std::int64_t id, std::string name)
        : net_(std::move(n)), id_(id), name_(std::move(name)) {}
    std::string Name() const override { return name_; }
    std::string ProgramId() override {
        auto* t = net_->Db().Template(id_);
        return t ? t->programId : std::string();
    }
    void Import(const std::string& xifPath) override {
        if (net_->server->progress) net_->server->progress();
        XifInterface x = ReadXifWithXfb(xifPath);
        for (const auto& t : net_->Db().Templates())
            if (t.id != id_ && Lower(t.programId) == Lower(x.programId))
                throw Error(kErrDuplicateProgramId, "The device template \"" + t.name +
                                                        "\" already has the program ID " + x.programId +
                                                        " (importing " + xifPath + ")");
        if (!net_->Db().Template(id_))
            throw Error(kErrNotFound, "The device template \"" + name_ + "\" no longer exists");
        net_->Db().SetTemplateInterface(id_, x.programId, xifPath, x.nvs, x.cps);
        if (net_->server->progress) net_->server->progress();
    }
    std::int64_t Id() const { return id_; }

private:
    NetPtr net_;
    std::int64_t id_;
    std::string name_;
};

class DeviceTemplatesImpl : public DeviceTemplates {
public:
    explicit DeviceTemplatesImpl(NetPtr n) : net_(std::move(n)) {}
    int Count() override { return static_cast<int>(net_->Db().Templates().size()); }
    Ptr<DeviceTemplate> Item(int index) override {
        auto& t = net_->Db().Templates();
        if (index < 1 || index > static_cast<int>(t.size())) NoItem("DeviceTemplates", index, Count());
        return std::make_shared<DeviceTemplateImpl>(net_, t[index - 1].id, t[index - 1].name);
    }
    Ptr<DeviceTemplate> Add(const std::string& name, int) override {
        const std::int64_t id = net_->Db().AddTemplate(name);
        return std::make_shared<DeviceTemplateImpl>(net_, id, name);
    }
    void Remove(const std::string& name) override {
        for (const auto& t : net_->Db().Templates())
            if (Lower(t.name) == Lower(name)) return net_->Db().RemoveTemplate(t.id);
        throw Error(kErrNotFound, "No device template named \"" + name + "\"");
    }
    void Remove(int index) override {
        auto& t = net_->Db().Templates();
        if (index < 1 || index > static_cast<int>(t.size())) NoItem("DeviceTemplates", index, Count());
        net_->Db().RemoveTemplate(t[index - 1].id);
    }

private:
    NetPtr net_;
};

class TemplateLibraryImpl : public TemplateLibrary {
public:
    explicit TemplateLibraryImpl(NetPtr n) : net_(std::move(n)) {}
    Ptr<DeviceTemplates> GetDeviceTemplates() override { return std::make_shared<DeviceTemplatesImpl>(net_); }

private:
    NetPtr net_;
};

// ------------------------------------------------------------ subsystems

class AppDevicesImpl : public AppDevices {
public:
    AppDevicesImpl(NetPtr n, std::int32_t sub) : net_(std::move(n)), sub_(sub) {}
    int Count() override { return static_cast<int>(List().size()); }
    Ptr<AppDevice> Item(int index) override {
        const auto& l = List();
        if (index < 1 || index > static_cast<int>(l.size()))
            NoItem("AppDevices", index, static_cast<int>(l.size()));
        return std::make_shared<AppDeviceImpl>(net_, *net_->Db().Device(l[index - 1]));
    }
    Ptr<AppDevice> Item(const std::string& name) override {
        auto h = net_->Db().DeviceByName(name);
        const auto& l = List();
        if (!h || std::find(l.begin(), l.end(), *h) == l.end())
            throw Error(kErrNotFound, "No device named \"" + name + "\" in this subsystem");
        return std::make_shared<AppDeviceImpl>(net_, *net_->Db().Device(*h));
    }
    Ptr<AppDevice> Add(const std::string& name, Ptr<DeviceTemplate> tmpl, Ptr<Channel> channel) override {
        Store& s = net_->Db();
        Store::NewDevice d;
        d.name = name;
        if (tmpl) {
            auto* t = dynamic_cast<DeviceTemplateImpl*>(tmpl.get());
            if (!t || !s.Template(t->Id()))
                throw Error(kErrNotFound, "Unknown device template for \"" + name + "\"");
            d.templateId = t->Id();
            d.programId = s.Template(t->Id())->programId;
        } else {
            d.programId = "0000000000000000";
        }
        d.channelId = channel ? channel->Id() : (s.Channels().empty() ? 0 : s.Channels().front().id);
        std::uint32_t h = 0;
        s.Begin();
        try {
            h = s.AddDevice(d);
            if (sub_ != kAllHandle) s.AddDeviceToSubsystem(sub_, h);
            s.Commit();
        } catch (...) {
            s.Rollback();
            throw;
        }
        return std::make_shared<AppDeviceImpl>(net_, *s.Device(h));
    }
    // Removing from "ALL" deletes the device; elsewhere it leaves this
    // subsystem, and is deleted once no subsystem lists it.
    void Remove(int index) override {
        const auto& l = List();
        if (index < 1 || index > static_cast<int>(l.size()))
            NoItem("AppDevices", index, static_cast<int>(l.size()));
        const std::uint32_t h = l[index - 1];
        Store& s = net_->Db();
        if (sub_ == kAllHandle) return s.DeleteDevice(h);
        s.RemoveDeviceFromSubsystem(sub_, h);
        if (!ListedAnywhere(s, h)) s.DeleteDevice(h);
    }

private:
    static bool ListedAnywhere(Store& s, std::uint32_t h) {
        std::vector<std::int32_t> stack(s.TopLevel().begin(), s.TopLevel().end());
        while (!stack.empty()) {
            auto* r = s.Subsystem(stack.back());
            stack.pop_back();
            if (!r) continue;
            if (std::find(r->devices.begin(), r->devices.end(), h) != r->devices.end()) return true;
            stack.insert(stack.end(), r->children.begin(), r->children.end());
        }
        return false;
    }
    const std::vector<std::uint32_t>& List() {
        Store& s = net_->Db();
        if (sub_ == kAllHandle) return s.AllDevices();
        auto* r = s.Subsystem(sub_);
        if (!r)
            throw Error(kErrNotFound,
                        "The subsystem with handle " + std::to_string(sub_) + " no longer exists");
        return r->devices;
    }
    NetPtr net_;
    std::int32_t sub_;
};

class RouterImpl : public Router {
public:
    explicit RouterImpl(const RouterRec& r) : handle_(r.handle), name_(r.name) {}
    std::string Name() const override { return name_; }
    std::int16_t Handle() const override { return handle_; }

private:
    std::int16_t handle_;
    std::string name_;
};

class RoutersImpl : public Routers {
public:
    RoutersImpl(NetPtr n, std::int32_t sub) : net_(std::move(n)), sub_(sub) {}
    int Count() override { return static_cast<int>(List().size()); }
    Ptr<Router> Item(int index) override {
        const auto& l = List();
        if (index < 1 || index > static_cast<int>(l.size()))
            NoItem("Routers", index, static_cast<int>(l.size()));
        return std::make_shared<RouterImpl>(*net_->Db().Router(l[index - 1]));
    }
    void Remove(int index) override {
        const auto& l = List();
        if (index < 1 || index > static_cast<int>(l.size()))
            NoItem("Routers", index, static_cast<int>(l.size()));
        const std::int16_t h = l[index - 1];
        if (sub_ == kAllHandle)
            net_->Db().DeleteRouter(h);
        else
            net_->Db().RemoveRouterFromSubsystem(sub_, h);
    }

private:
    const std::vector<std::int16_t>& List() {
        Store& s = net_->Db();
        if (sub_ == kAllHandle) return s.AllRouters();
        auto* r = s.Subsystem(sub_);
        if (!r)
            throw Error(kErrNotFound,
                        "The subsystem with handle " + std::to_string(sub_) + " no longer exists");
        return r->routers;
    }
    NetPtr net_;
    std::int32_t sub_;
};

class SubsystemsImpl;

class SubsystemImpl : public Subsystem {
public:
    SubsystemImpl(NetPtr n, const SubsystemRec& r) : net_(std::move(n)), handle_(r.handle), name_(r.name) {}
    std::string Name() const override { return name_; }
    std::int32_t Handle() const override { return handle_; }
    Ptr<AppDevices> GetAppDevices() override { return std::make_shared<AppDevicesImpl>(net_, handle_); }
    Ptr<Routers> GetRouters() override { return std::make_shared<RoutersImpl>(net_, handle_); }
    Ptr<Subsystems> GetSubsystems() override;

private:
    NetPtr net_;
    std::int32_t handle_;
    std::string name_;
};

class SubsystemsImpl : public Subsystems {
public:
    SubsystemsImpl(NetPtr n, std::int32_t parent) : net_(std::move(n)), parent_(parent) {}
    int Count() override { return static_cast<int>(List().size()); }
    Ptr<Subsystem> Item(int index) override {
        const auto& l = List();
        if (index < 1 || index > static_cast<int>(l.size()))
            NoItem("Subsystems", index, static_cast<int>(l.size()));
        return std::make_shared<SubsystemImpl>(net_, *net_->Db().Subsystem(l[index - 1]));
    }
    Ptr<Subsystem> Item(const std::string& path) override {
        Store& s = net_->Db();
        std::int32_t at = parent_;
        std::size_t start = 0;
        while (true) {
            const auto dot = path.find('.', start);
            const std::string part =
                Lower(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
            const auto& list = at ? s.Subsystem(at)->children : s.TopLevel();
            std::int32_t found = 0;
            for (auto h : list)
                if (Lower(s.Subsystem(h)->name) == part) {
                    found = h;
                    break;
                }
            if (!found) throw Error(kErrNotFound, "No subsystem \"" + path + "\" in \"" + net_->name + "\"");
            at = found;
            if (dot == std::string::npos) break;
            start = dot + 1;
        }
        return std::make_shared<SubsystemImpl>(net_, *s.Subsystem(at));
    }
    Ptr<Subsystem> Add(const std::string& name) override {
        if (parent_ == kAllHandle) throw Error(kErrBadValue, "The subsystem \"ALL\" takes no subsystems");
        const std::int32_t h = net_->Db().AddSubsystem(parent_, name);
        return std::make_shared<SubsystemImpl>(net_, *net_->Db().Subsystem(h));
    }

private:
    const std::vector<std::int32_t>& List() {
        Store& s = net_->Db();
        if (!parent_) return s.TopLevel();
        auto* r = s.Subsystem(parent_);
        if (!r)
            throw Error(kErrNotFound,
                        "The subsystem with handle " + std::to_string(parent_) + " no longer exists");
        return r->children;
    }
    NetPtr net_;
    std::int32_t parent_;
};

Ptr<Subsystems> SubsystemImpl::GetSubsystems() {
    return std::make_shared<SubsystemsImpl>(net_, handle_);
}

// ------------------------------------------------------------ system

class HostNodeImpl : public HostNode {
public:
    explicit HostNodeImpl(NetPtr n) : net_(std::move(n)) {}
    Ptr<NetworkInterface> GetNetworkInterface() override { return net_->hostInterface; }
    void SetNetworkInterface(Ptr<NetworkInterface> ni) override { net_->hostInterface = std::move(ni); }

private:
    NetPtr net_;
};

class TransferImpl : public Transfer {
public:
    explicit TransferImpl(NetPtr n) : net_(std::move(n)) {}
    void Open(Ptr<AppDevice> device) override {
        if (!device) throw Error(kErrBadValue, "Transfer.Open needs a device");
        open_ = net_->Link("Transfer.Open").OpenTransfer(net_->Ref(device->Handle()));
    }
    int Mode() override { return Current().Mode(); }
    void SetMode(int kind) override { Current().SetMode(kind); }
    void Write(const std::vector<std::uint8_t>& bytes) override { Current().Write(bytes); }
    void Close() override {
        if (!open_) return;
        auto t = std::move(open_);
        t->Close();
    }

private:
    FieldTransfer& Current() {
        if (!open_) throw Error(kErrNotOpen, "The transfer is not open");
        return *open_;
    }
    NetPtr net_;
    std::unique_ptr<FieldTransfer> open_;
};

class SystemImpl : public System {
public:
    explicit SystemImpl(NetPtr n) : net_(std::move(n)) {}

    void Open() override {
        net_->Db();
        net_->systemOpen = true;
    }
    void Close() override {
        net_->Disconnect();
        net_->systemOpen = false;
    }
    bool IsOpen() const override { return net_->store && net_->systemOpen; }
    int OpenMode() const override { return net_->openMode; }
    void SetOpenMode(int mode) override { net_->openMode = mode; }
    int OffNet() const override { return net_->offNet; }
    void SetOffNet(int offNet) override {
        if (offNet) {
            net_->Disconnect();
            net_->offNet = offNet;
            return;
        }
        if (net_->link) return;
        auto ni = net_->hostInterface;
        if (!ni) throw Error(kErrOffNet, "The host of \"" + net_->name + "\" has no network interface");
        if (!ni->IsNsi())
            throw Error(kErrNotAnNsi, "The network interface \"" + ni->Name() + "\" is not an NSI");
        auto factory = GetFieldLinkFactory();
        if (!factory)
            throw Error(kErrOffNet, "No field driver is available for the interface \"" + ni->Name() +
                                        "\" (" + ni->Endpoint() + ")");
        auto link = factory(ni->Endpoint(), *ni);
        if (!link)
            throw Error(kErrInterfaceNoAnswer, "The interface \"" + ni->Name() + "\" cannot be reached");
        std::weak_ptr<ServerCore> server = net_->server;
        link->SetProgress([server] {
            if (auto s = server.lock(); s && s->progress) s->progress();
        });
        link->Connect();
        if (!net_->hostId.empty()) link->SetHostId(net_->hostId);
        std::weak_ptr<NetworkCore> weak = net_;
        link->SetServicePinSink([weak](const FieldUnit& u) { DeliverPin(weak, u); });
        net_->link = std::move(link);
        net_->offNet = 0;
    }

    Ptr<HostNode> Host() override { return std::make_shared<HostNodeImpl>(net_); }
    std::string HostId() const override { return net_->link ? net_->link->HostId() : net_->hostId; }
    void SetHostId(const std::string& id) override {
        if (net_->link) net_->link->SetHostId(id);
        net_->hostId = id;
    }
    void PrepareLoad(int a, int b) override { net_->Link("System.PrepareLoad").PrepareLoad(a, b); }
    std::uint32_t HostHandle() override { return net_->Db().HostHandle(); }

    Ptr<Subsystems> GetSubsystems() override {
        return std::make_shared<SubsystemsImpl>((net_->Db(), net_), 0);
    }
    Ptr<TemplateLibrary> GetTemplateLibrary() override { return std::make_shared<TemplateLibraryImpl>(net_); }
    Ptr<Transfer> GetTransfer() override { return std::make_shared<TransferImpl>(net_); }

    void StartTransaction() override { net_->Db().Begin(); }
    void CommitTransaction() override { net_->Db().Commit(); }
    // Also aborts a device operation in progress (a Load cancelled from the
    // progress callback or another thread); that alone is not an error when
    // no database transaction is open.
    void CancelTransaction() override {
        const bool aborting = net_->link && net_->link->Busy();
        if (aborting) net_->link->Cancel();
        if (aborting && !net_->Db().InTransaction()) return;
        net_->Db().Rollback();
    }
    void BeginLongOperation(int) override {
        if (net_->server->progress) net_->server->progress();
    }
    void EndLongOperation() override {}

    int GetMode() override { return net_->Link("System.GetMode").GetMode(); }
    void SetMode(int mode) override { net_->Link("System.SetMode").SetMode(mode); }
    void PrepareDiscovery(bool flag, const std::string& hostId) override {
        auto units = net_->Link("System.PrepareDiscovery").PrepareDiscovery(flag, hostId);
        // Units not yet in the database are listed under "Discovered.Uninstalled".
        Store& s = net_->Db();
        for (const auto& u : units) {
            if (s.DeviceBySarvikId(u.sarvikId)) continue;
            Store::NewDevice d;
            d.name = "Discovered " + u.sarvikId;
            d.programId = u.programId;
            d.location = u.location;
            d.sarvikId = u.sarvikId;
            // A field channel the database does not know goes on the first channel.
            d.channelId = s.Channels().empty() ? u.channelId : s.Channels().front().id;
            for (const auto& c : s.Channels())
                if (c.id == u.channelId) d.channelId = c.id;
            d.status = 101;
            for (const auto& t : s.Templates())
                if (Lower(t.programId) == Lower(u.programId)) d.templateId = t.id;
            const std::uint32_t h = s.AddDevice(d);
            s.AddDeviceToSubsystem(kUninstalledHandle, h);
        }
    }

    DeviceDetails DeviceByHandle(std::uint32_t handle) override { return net_->Db().Details(handle); }
    RouterDetails RouterByHandle(std::int16_t handle) override { return net_->Db().RouterDetailsOf(handle); }
    std::vector<int> ChannelIds() override {
        std::vector<int> out;
        for (const auto& c : net_->Db().Channels()) out.push_back(c.id);
        return out;
    }

    void SendFileToDevice(std::uint32_t handle, int kind, const std::vector<std::uint8_t>& bytes,
                          std::size_t chunkSize, int chunkRetries) override {
        auto& link = net_->Link("System.SendFileToDevice");
        const DeviceRef ref = net_->Ref(handle);
        if (ref.sarvikId.empty())
            throw Error(kErrNotBound,
                        "The device \"" + ref.name + "\" is not bound to a unit (no Sarvik ID)");
        link.SendFile(ref, kind, bytes, chunkSize, chunkRetries, net_->server->progress);
    }

private:
    static void DeliverPin(const std::weak_ptr<NetworkCore>& weak, const FieldUnit& u) {
        auto net = weak.lock();
        if (!net) return;
        auto server = net->server;
        auto deliver = [weak, u, server] {
            auto net = weak.lock();
            std::function<void(const ServicePinEvent&)> handler;
            {
                std::lock_guard lock(server->eventMutex);
                handler = server->pinHandler;
            }
            if (!handler) return;
            ServicePinEvent e;
            e.channelHandle = u.channelId;
            e.subnet = u.subnet;
            e.sarvikId = u.sarvikId;
            e.programId = u.programId;
            e.location = u.location;
            e.node = u.node;
            e.flags = u.flags;
            if (net && net->store)
                if (auto h = net->store->DeviceBySarvikId(u.sarvikId))
                    e.deviceHandle = static_cast<std::int32_t>(*h);
            handler(e);
        };
        ObjectServer::Poster poster;
        {
            std::lock_guard lock(server->eventMutex);
            poster = server->poster;
        }
        if (poster)
            poster(deliver);
        else
            deliver();
    }
    NetPtr net_;
};

class SystemsImpl : public Systems {
public:
    explicit SystemsImpl(NetPtr n) : net_(std::move(n)) {}
    int Count() override { return net_->store ? 1 : 0; }
    Ptr<System> Item(int index) override {
        net_->Db();
        if (index != 1) NoItem("Systems of \"" + net_->name + "\"", index, 1);
        return std::make_shared<SystemImpl>(net_);
    }

private:
    NetPtr net_;
};

}  // namespace

void NetworkCore::Disconnect() {
    if (link) {
        link->SetServicePinSink({});
        link->Disconnect();
        link.reset();
    }
    offNet = 1;
}

Ptr<Systems> MakeSystems(std::shared_ptr<NetworkCore> net) {
    return std::make_shared<SystemsImpl>(std::move(net));
}
Ptr<Channels> MakeChannels(std::shared_ptr<NetworkCore> net) {
    return std::make_shared<ChannelsImpl>(std::move(net));
}

}  // namespace ovx::detail
