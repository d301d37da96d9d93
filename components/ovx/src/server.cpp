#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "core.h"

namespace ovx {
namespace detail {
namespace {

namespace fs = std::filesystem;

class NetworkInterfaceImpl : public NetworkInterface {
public:
    NetworkInterfaceImpl(std::string n, bool nsi, std::string ep)
        : name_(std::move(n)), nsi_(nsi), ep_(std::move(ep)) {}
    std::string Name() const override { return name_; }
    bool IsNsi() const override { return nsi_; }
    std::string Endpoint() const override { return ep_; }

private:
    std::string name_;
    bool nsi_;
    std::string ep_;
};

class NetworkInterfacesImpl : public NetworkInterfaces {
public:
    explicit NetworkInterfacesImpl(std::vector<Ptr<NetworkInterface>> l) : list_(std::move(l)) {}
    int Count() override { return static_cast<int>(list_.size()); }
    Ptr<NetworkInterface> Item(int index) override {
        if (index < 1 || index > Count())
            throw Error(kErrNotFound, "NetworkInterfaces: no item " + std::to_string(index));
        return list_[index - 1];
    }
    Ptr<NetworkInterface> Item(const std::string& name) override {
        for (auto& ni : list_)
            if (Lower(ni->Name()) == Lower(name)) return ni;
        throw Error(kErrNotFound, "No network interface named \"" + name + "\"");
    }

private:
    std::vector<Ptr<NetworkInterface>> list_;
};

class NetworkImpl : public Network {
public:
    explicit NetworkImpl(std::shared_ptr<NetworkCore> c) : core_(std::move(c)) {}
    std::string Name() const override { return core_->name; }
    std::string Path() const override { return core_->folder; }
    void Open() override {
        if (core_->store) return;
        const std::string db = core_->DbPath();
        if (!fs::is_directory(core_->folder))
            throw Error(kErrIo, "The folder " + core_->folder + " of the network \"" + core_->name +
                                    "\" does not exist");
        if (!fs::exists(db))
            throw Error(kErrCorruptDatabase, "The folder " + core_->folder + " holds no network database (" +
                                                 std::string(kDbFileName) + ")");
        core_->store = std::make_unique<Store>(db, core_->server->progress);
    }
    void Close() override {
        core_->Disconnect();
        core_->systemOpen = false;
        core_->store.reset();
    }
    bool IsOpen() const override { return core_->store != nullptr; }
    Ptr<Systems> GetSystems() override { return MakeSystems(core_); }
    Ptr<Channels> GetChannels() override {
        core_->Db();
        return MakeChannels(core_);
    }

private:
    std::shared_ptr<NetworkCore> core_;
};

class NetworksImpl : public Networks {
public:
    explicit NetworksImpl(std::shared_ptr<ServerCore> s) : server_(std::move(s)) {
        for (const auto& e : ReadCatalog(server_->dataFolder)) cores_.push_back(MakeCore(e.name, e.folder));
    }
    int Count() override { return static_cast<int>(cores_.size()); }
    Ptr<Network> Item(int index) override {
        if (index < 1 || index > Count())
            throw Error(kErrNotFound, "Networks: no item " + std::to_string(index));
        return std::make_shared<NetworkImpl>(cores_[index - 1]);
    }
    Ptr<Network> Item(const std::string& name) override {
        for (auto& c : cores_)
            if (Lower(c->name) == Lower(name)) return std::make_shared<NetworkImpl>(c);
        throw Error(kErrNotFound, "No network named \"" + name + "\" in " + server_->dataFolder);
    }
    // With create, a folder that already holds a network database is
    // registered as it is rather than overwritten.
    Ptr<Network> Add(const std::string& name, const std::string& folder, bool create) override {
        if (name.empty()) throw Error(kErrBadValue, "A network needs a name");
        for (auto& c : cores_)
            if (Lower(c->name) == Lower(name))
                throw Error(kErrNameInUse, "A network named \"" + name + "\" already exists");
        std::string abs = fs::absolute(folder).lexically_normal().string();
        while (abs.size() > 1 && abs.back() == '/') abs.pop_back();
        const std::string db = abs + "/" + kDbFileName;
        if (create) {
            std::error_code ec;
            fs::create_directories(abs, ec);
            if (!fs::is_directory(abs)) throw Error(kErrIo, "Cannot create the folder " + abs);
            if (!fs::exists(db)) {
                const std::string tmp = db + ".new";
                fs::remove(tmp, ec);
                Store::Create(tmp, true);
                fs::rename(tmp, db, ec);
                if (ec) throw Error(kErrIo, "Cannot create the network database " + db);
            } else if (!Store::IsNetworkDatabase(db)) {
                throw Error(kErrCorruptDatabase,
                            "The file " + db + " is not a network database or is damaged.");
            }
        } else if (!Store::IsNetworkDatabase(db)) {
            throw Error(kErrCorruptDatabase, "The folder " + abs + " holds no network database");
        }
        auto entries = ReadCatalog(server_->dataFolder);
        entries.push_back({name, abs});
        WriteCatalog(server_->dataFolder, entries);
        cores_.push_back(MakeCore(name, abs));
        return std::make_shared<NetworkImpl>(cores_.back());
    }
    void Remove(int index) override {
        if (index < 1 || index > Count())
            throw Error(kErrNotFound, "Networks: no item " + std::to_string(index));
        auto core = cores_[index - 1];
        auto entries = ReadCatalog(server_->dataFolder);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const CatalogEntry& e) { return e.name == core->name; }),
                      entries.end());
        WriteCatalog(server_->dataFolder, entries);
        core->Disconnect();
        core->store.reset();
        cores_.erase(cores_.begin() + (index - 1));
    }

private:
    std::shared_ptr<NetworkCore> MakeCore(const std::string& name, const std::string& folder) {
        auto c = std::make_shared<NetworkCore>();
        c->server = server_;
        c->name = name;
        c->folder = folder;
        return c;
    }
    std::shared_ptr<ServerCore> server_;
    std::vector<std::shared_ptr<NetworkCore>> cores_;
};

class ObjectServerImpl : public ObjectServer {
public:
    explicit ObjectServerImpl(const ServerOptions& o) : core_(std::make_shared<ServerCore>()) {
        core_->dataFolder = o.dataFolder.empty() ? DefaultDataFolder() : o.dataFolder;
    }
    ~ObjectServerImpl() override { Close(); }
    void SetAutoOpenLastNetwork(bool) override {}
    void SetShowServerDialogs(bool) override {}
    void Open() override {
        if (open_) return;
        std::error_code ec;
        fs::create_directories(core_->dataFolder, ec);
        if (!fs::is_directory(core_->dataFolder))
            throw Error(kErrIo, "Cannot use the object-server data folder " + core_->dataFolder);
        networks_ = std::make_shared<NetworksImpl>(core_);
        interfaces_ = MakeNetworkInterfaces(core_->dataFolder);
        open_ = true;
    }
    bool IsOpen() const override { return open_; }
    void Close() override {
        for (int i = 1; networks_ && i <= networks_->Count(); ++i) networks_->Item(i)->Close();
        networks_.reset();
        interfaces_.reset();
        open_ = false;
    }
    Ptr<Networks> GetNetworks() override { return Need(networks_); }
    Ptr<NetworkInterfaces> GetNetworkInterfaces() override { return Need(interfaces_); }
    void SetProgressCallback(std::function<void()> cb) override { core_->progress = std::move(cb); }
    void SetEventPoster(Poster p) override {
        std::lock_guard lock(core_->eventMutex);
        core_->poster = std::move(p);
    }
    void SetServicePinHandler(std::function<void(const ServicePinEvent&)> h) override {
        std::lock_guard lock(core_->eventMutex);
        core_->pinHandler = std::move(h);
    }
    std::string DataFolder() const override { return core_->dataFolder; }

private:
    template <class T>
    Ptr<T> Need(const Ptr<T>& p) {
        if (!p) throw Error(kErrNotOpen, "The object server is not open");
        return p;
    }
    std::shared_ptr<ServerCore> core_;
    bool open_ = false;
    Ptr<NetworksImpl> networks_;
    Ptr<NetworkInterfaces> interfaces_;
};

}  // namespace

Ptr<NetworkInterfaces> MakeNetworkInterfaces(const std::string& dataFolder) {
    const std::string path = dataFolder + "/interfaces.json";
    std::vector<Ptr<NetworkInterface>> list;
    std::ifstream in(path);
    if (in) {
        try {
            const auto j = nlohmann::json::parse(in);
            for (const auto& e : j.at("interfaces")) {
                list.push_back(std::make_shared<NetworkInterfaceImpl>(e.at("name").get<std::string>(),
                                                                      e.value("nsi", true),
                                                                      e.at("endpoint").get<std::string>()));
                if (e.contains("field")) PrepareInProcessField(list.back()->Endpoint(), e.at("field").dump());
            }
        } catch (const Error&) {
            throw;
        } catch (const std::exception& e) {
            throw Error(kErrBadValue, "The interface list " + path + " is not valid: " + e.what());
        }
    }
    return std::make_shared<NetworkInterfacesImpl>(std::move(list));
}

}  // namespace detail

std::unique_ptr<ObjectServer> CreateObjectServer(const ServerOptions& options) {
    return std::make_unique<detail::ObjectServerImpl>(options);
}

}  // namespace ovx
