// The field link over the VQ field's client API: an in-process field
// ("field:NAME") or the vqsim daemon ("tcp:127.0.0.1:PORT"). Compiled only
// when the vqfield library is part of the build; field_link.cpp installs it
// as the default factory.
#ifdef OVX_HAVE_VQFIELD

#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "field_link.h"
#include "vqfield/apb.h"
#include "vqfield/client.h"

namespace ovx::detail {
namespace {

std::uint32_t OvxCode(vqfield::Code code) {
    switch (code) {
        case vqfield::Code::InterfaceNoAnswer:
            return kErrInterfaceNoAnswer;
        case vqfield::Code::NoAnswer:
            return kErrDeviceNoAnswer;
        case vqfield::Code::Refused:
            return kErrDeviceRefused;
        case vqfield::Code::Busy:
            return kErrDeviceBusy;
        case vqfield::Code::Aborted:
            return kErrTransferAborted;
        case vqfield::Code::NotFound:
            return kErrNotFound;
        case vqfield::Code::BadValue:
            return kErrBadValue;
    }
    return kErrBadValue;
}

// Runs a field call and turns its error into the object server's.
template <class F>
auto Wire(const std::string& what, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const vqfield::FieldError& e) {
        throw Error(OvxCode(e.code()), what + ": " + e.what());
    }
}

// Service-pin events leave the transport's thread at once: a handler run
// without a poster may call back into the link, which a TCP reader thread
// could not serve while it waits on itself.
class EventQueue {
public:
    explicit EventQueue(std::function<void(const FieldUnit&)> sink) : sink_(std::move(sink)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~EventQueue() { Stop(); }
    // After Stop no event is delivered; a push from a transport thread that
    // still holds the sink is dropped.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.get_id() != std::this_thread::get_id())
            thread_.join();
        else
            thread_.detach();
    }
    void Push(FieldUnit u) {
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            queue_.push_back(std::move(u));
        }
        cv_.notify_all();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            FieldUnit u = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            sink_(u);
            lock.lock();
        }
    }
    std::function<void(const FieldUnit&)> sink_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<FieldUnit> queue_;
    bool stop_ = false;
    std::thread thread_;
};

// The connection, shared with open transfers so that one outliving the link
// fails cleanly (kErrOffNet) instead of reaching a dead client.
struct Conn {
    std::string interfaceName;
    std::mutex mutex;
    std::shared_ptr<vqfield::Client> client;
    std::function<void()> progress;
    std::atomic<int> busy{0};
    std::atomic<bool> cancel{false};

    std::shared_ptr<vqfield::Client> Client() {
        std::lock_guard lock(mutex);
        if (!client)
            throw Error(kErrOffNet, "The network interface \"" + interfaceName + "\" is not connected");
        return client;
    }

    // A field call with the link's progress and cancel flag; errors become ovx::Error.
    template <class F>
    auto Run(const std::string& what, F&& f, std::function<void()> prog = {}) {
        auto c = Client();
        struct Busy {
            Conn& conn;
            explicit Busy(Conn& k) : conn(k) {
                if (conn.busy.fetch_add(1) == 0) conn.cancel.store(false);
            }
            ~Busy() { conn.busy.fetch_sub(1); }
        } busy(*this);
        vqfield::CallOptions o;
        o.progress = prog ? std::move(prog) : progress;
        o.cancel = &cancel;
        return Wire(what, [&] { return f(*c, o); });
    }
};

const std::string& Bound(const DeviceRef& device) {
    if (device.sarvikId.empty())
        throw Error(kErrNotBound, "The device \"" + device.name + "\" is not bound to a unit (no Sarvik ID)");
    return device.sarvikId;
}

class VqTransfer : public FieldTransfer {
public:
    VqTransfer(std::shared_ptr<Conn> conn, DeviceRef device)
        : conn_(std::move(conn)), device_(std::move(device)) {}
    ~VqTransfer() override { Abort(); }
    int Mode() override { return kind_; }
    void SetMode(int kind) override;
    void Write(const std::vector<std::uint8_t>& bytes) override;
    void Close() override;

private:
    void Abort() noexcept;
    std::shared_ptr<Conn> conn_;
    DeviceRef device_;
    int kind_ = 0;
    std::uint32_t id_ = 0;  // the field's transfer, 0 while none is open
};

class VqFieldLink : public FieldLink {
public:
    VqFieldLink(std::string endpoint, std::string interfaceName)
        : endpoint_(std::move(endpoint)), conn_(std::make_shared<Conn>()) {
        conn_->interfaceName = std::move(interfaceName);
    }
    ~VqFieldLink() override { Disconnect(); }

    void Connect() override {
        std::shared_ptr<vqfield::Client> client;
        try {
            client = std::make_shared<vqfield::Client>(vqfield::Connect(endpoint_));
        } catch (const vqfield::FieldError& e) {
            throw Error(kErrInterfaceNoAnswer, "The network interface \"" + conn_->interfaceName +
                                                   "\" does not answer (" + e.what() + ")");
        }
        std::lock_guard lock(conn_->mutex);
        conn_->client = std::move(client);
    }

    void Disconnect() override {
        std::shared_ptr<vqfield::Client> client;
        {
            std::lock_guard lock(conn_->mutex);
            client = std::move(conn_->client);
        }
        if (!client) return;
        try {
            client->OnServicePin({});
        } catch (const vqfield::FieldError&) {
        }
        StopEvents();
    }

    void SetProgress(std::function<void()> progress) override { conn_->progress = std::move(progress); }

    void Cancel() override {
        if (conn_->busy.load() > 0) conn_->cancel.store(true);
    }
    bool Busy() const override { return conn_->busy.load() > 0; }

    std::string HostId() override { return hostId_; }
    void SetHostId(const std::string& id) override { hostId_ = id; }
    void PrepareLoad(int a, int b) override {
        conn_->Client();
        prepareLoad_ = {a, b};
    }
    int GetMode() override {
        conn_->Client();
        return mode_;
    }
    void SetMode(int mode) override {
        conn_->Client();
        mode_ = mode;
    }

    std::vector<FieldUnit> PrepareDiscovery(bool, const std::string&) override {
        auto units = conn_->Run(
            "Discovery", [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.Discover(o); });
        std::vector<FieldUnit> out;
        for (const auto& u : units) out.push_back(UnitOf(u.raw));
        return out;
    }

    void SetServicePinSink(std::function<void(const FieldUnit&)> sink) override {
        if (!sink) {  // stopping never fails: the field may already be gone
            std::shared_ptr<vqfield::Client> client;
            {
                std::lock_guard lock(conn_->mutex);
                client = conn_->client;
            }
            try {
                if (client) client->OnServicePin({});
            } catch (const vqfield::FieldError&) {
            }
            StopEvents();
            return;
        }
        auto client = conn_->Client();
        StopEvents();
        auto q = std::make_shared<EventQueue>(std::move(sink));
        events_ = q;
        Wire("Service pin",
             [&] { client->OnServicePin([q](const vqfield::UnitView& v) { q->Push(UnitOf(v.raw)); }); });
    }

    void Bind(const DeviceRef& device, const std::string& sarvikId) override {
        conn_->Run("Binding \"" + device.name + "\" to the VQ " + sarvikId,
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.Ping(sarvikId, o); });
    }

    void Load(const DeviceRef& device, const std::string& appImagePath) override {
        const std::string& id = Bound(device);
        if (appImagePath.empty())
            throw Error(kErrBadValue, "The device \"" + device.name + "\" has no application image path");
        std::ifstream in(appImagePath, std::ios::binary);
        if (!in) throw Error(kErrIo, "The application image " + appImagePath + " cannot be read");
        const vqfield::Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) throw Error(kErrIo, "The application image " + appImagePath + " cannot be read");
        conn_->Run("Loading " + appImagePath + " into \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.LoadImage(id, image, o); });
    }

    void LoadDefaultCps(const DeviceRef& device, int how) override {
        const std::string& id = Bound(device);
        conn_->Run("Loading the default CPs of \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.LoadDefaults(id, how, o); });
    }
    void Commission(const DeviceRef& device) override {
        const std::string& id = Bound(device);
        conn_->Run("Commissioning \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.Commission(id, o); });
    }
    int GetState(const DeviceRef& device) override {
        const std::string& id = Bound(device);
        return conn_->Run(
            "State of \"" + device.name + "\"",
            [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.GetState(id, o); });
    }
    void SetState(const DeviceRef& device, int state) override {
        const std::string& id = Bound(device);
        conn_->Run("Setting the state of \"" + device.name + "\" to " + std::to_string(state),
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.SetState(id, state, o); });
    }
    void Wink(const DeviceRef& device) override {
        const std::string& id = Bound(device);
        conn_->Run("Winking \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.Wink(id, o); });
    }
    int FunctionalBlockCount(const DeviceRef& device) override {
        const std::string& id = Bound(device);
        return conn_->Run(
            "Functional blocks of \"" + device.name + "\"",
            [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.FunctionalBlockCount(id, o); });
    }
    int GetFbDisabled(const DeviceRef& device, int fbIndex) override {
        const std::string& id = Bound(device);
        return conn_->Run("Functional block " + std::to_string(fbIndex) + " of \"" + device.name + "\"",
                          [&](vqfield::Client& c, const vqfield::CallOptions& o) {
                              return c.GetFbDisabled(id, fbIndex, o);
                          });
    }
    void SetFbDisabled(const DeviceRef& device, int fbIndex, int disabled) override {
        const std::string& id = Bound(device);
        conn_->Run("Functional block " + std::to_string(fbIndex) + " of \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) {
                       c.SetFbDisabled(id, fbIndex, disabled, o);
                   });
    }

    std::unique_ptr<FieldTransfer> OpenTransfer(const DeviceRef& device) override {
        const std::string& id = Bound(device);
        conn_->Run("Opening a transfer to \"" + device.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.Ping(id, o); });
        return std::make_unique<VqTransfer>(conn_, device);
    }

    void SendFile(const DeviceRef& device, int kind, const std::vector<std::uint8_t>& bytes,
                  std::size_t chunkSize, int chunkRetries, const std::function<void()>& progress) override {
        const std::string& id = Bound(device);
        conn_->Run(
            "Sending a file of kind " + std::to_string(kind) + " to \"" + device.name + "\"",
            [&](vqfield::Client& c, const vqfield::CallOptions& o) {
                c.SendFile(id, kind, bytes, chunkSize, chunkRetries, o);
            },
            progress);
    }

private:
    void StopEvents() {
        if (events_) events_->Stop();
        events_.reset();
    }

    static FieldUnit UnitOf(const vqfield::Json& j) {
        FieldUnit u;
        u.sarvikId = j.value("sarvikId", "");
        u.programId = j.value("programId", "");
        u.channelId = j.value("channel", 1);
        u.subnet = static_cast<std::int16_t>(j.value("subnet", 0));
        u.node = static_cast<std::int16_t>(j.value("node", 0));
        u.flags = j.value("flags", 0);
        return u;
    }

    std::string endpoint_;
    std::shared_ptr<Conn> conn_;
    std::shared_ptr<EventQueue> events_;
    std::string hostId_;
    std::pair<int, int> prepareLoad_{0, 0};
    int mode_ = 0;
};

void VqTransfer::SetMode(int kind) {
    if (kind != 4 && kind != 5 && kind != 8)
        throw Error(kErrBadValue, "Transfer mode " + std::to_string(kind) + " is not 4, 5 or 8");
    Abort();
    const std::string& id = Bound(device_);
    id_ = conn_->Run(
        "Opening a transfer of kind " + std::to_string(kind) + " to \"" + device_.name + "\"",
        [&](vqfield::Client& c, const vqfield::CallOptions& o) { return c.OpenTransfer(id, kind, o); });
    kind_ = kind;
}

void VqTransfer::Write(const std::vector<std::uint8_t>& bytes) {
    if (!id_) throw Error(kErrNotOpen, "Set the transfer's Mode before writing to \"" + device_.name + "\"");
    try {
        conn_->Run("Writing to \"" + device_.name + "\"",
                   [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.Write(id_, bytes, o); });
    } catch (const Error&) {
        Abort();  // the unit keeps nothing of a failed transfer
        throw;
    }
}

void VqTransfer::Close() {
    if (!id_) return;
    const std::uint32_t id = std::exchange(id_, 0);
    conn_->Run("Closing the transfer to \"" + device_.name + "\"",
               [&](vqfield::Client& c, const vqfield::CallOptions& o) { c.Close(id, o); });
}

void VqTransfer::Abort() noexcept {
    if (!id_) return;
    const std::uint32_t id = std::exchange(id_, 0);
    try {
        conn_->Client()->Abort(id);
    } catch (...) {
    }
}

}  // namespace

void PrepareInProcessField(const std::string& endpoint, const std::string& descriptionJson) {
    if (endpoint.rfind("field:", 0) != 0)
        throw Error(kErrBadValue,
                    "A field can only be described for a \"field:NAME\" endpoint, not \"" + endpoint + "\"");
    const std::string name = endpoint.substr(6);
    static std::mutex mutex;  // two servers reading their lists at once make one field
    std::lock_guard lock(mutex);
    if (vqfield::FindField(name)) return;
    auto field = std::make_shared<vqfield::Field>();
    try {
        const auto d = vqfield::Json::parse(descriptionJson);
        const auto rate = d.value("bitsPerSecond", std::int64_t(0));
        field->Handle({{"op", "rate"}, {"channel", 1}, {"bitsPerSecond", rate}}, {}, nullptr, {});
        if (d.contains("answerTimeoutMs"))
            field->Handle({{"op", "settings"}, {"answerTimeoutMs", d.at("answerTimeoutMs").get<int>()}}, {},
                          nullptr, {});
        for (const auto& u : d.value("units", vqfield::Json::array())) {
            vqfield::Json add{{"op", "add"},
                              {"programId", u.value("programId", std::string(vqfield::kVq70ProgramId))},
                              {"channel", u.value("channel", 1)}};
            if (u.contains("sarvikId")) add["sarvikId"] = u.at("sarvikId").get<std::string>();
            field->Handle(add, {}, nullptr, {});
            if (add["channel"] != 1)
                field->Handle({{"op", "rate"}, {"channel", add["channel"]}, {"bitsPerSecond", rate}}, {},
                              nullptr, {});
        }
    } catch (const vqfield::FieldError& e) {
        throw Error(kErrBadValue, "The field \"" + name + "\" cannot be made: " + e.what());
    } catch (const std::exception& e) {
        throw Error(kErrBadValue, "The field \"" + name + "\" is not described well: " + e.what());
    }
    vqfield::RegisterField(name, std::move(field));
}

FieldLinkFactory VqFieldLinkFactory() {
    return [](const std::string& endpoint, const NetworkInterface& ni) -> std::unique_ptr<FieldLink> {
        if (endpoint.rfind("field:", 0) != 0 && endpoint.rfind("tcp:", 0) != 0) return nullptr;
        return std::make_unique<VqFieldLink>(endpoint, ni.Name());
    };
}

}  // namespace ovx::detail

#endif  // OVX_HAVE_VQFIELD
