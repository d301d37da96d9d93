// One network database: the SQLite file and an in-memory copy of what the
// walk and the load read, loaded at open and kept in step with every write.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ovx/ovx.h"
#include "sqlite_db.h"

namespace ovx::detail {

inline constexpr const char* kDbFileName = "network.ovxdb";
inline constexpr std::int32_t kAllHandle = 1;
inline constexpr std::int32_t kDiscoveredHandle = 2;
inline constexpr std::int32_t kUninstalledHandle = 3;

std::string Lower(std::string s);

struct ExtRec {
    std::string key;
    Value value;
};

struct DeviceRec {
    std::uint32_t handle = 0;
    std::string name;
    std::string programId;
    std::string location;
    std::string sarvikId;
    int channelId = 0;
    std::int64_t templateId = 0;  // 0: none
    int state = 4;
    int status = 0;
    std::string appImagePath;
    std::map<std::string, ExtRec> ext;  // by lower-case key
};

struct RouterRec {
    std::int16_t handle = 0;
    std::string name;
    int nearChannel = 0;
    int farChannel = 0;
};

struct SubsystemRec {
    std::int32_t handle = 0;
    std::int32_t parent = 0;  // 0: top level
    std::string name;
    std::vector<std::uint32_t> devices;
    std::vector<std::int16_t> routers;
    std::vector<std::int32_t> children;
};

struct TemplateNv {
    std::string name;
    std::string type;
    bool nodeObject = false;
};
struct TemplateCp {
    std::string name;
    Value defaultValue;
};
struct TemplateRec {
    std::int64_t id = 0;
    std::string name;
    std::string programId;  // empty until imported
    std::string xifPath;
    std::vector<TemplateNv> nvs;
    std::vector<TemplateCp> cps;
};

struct ChannelRec {
    int id = 0;
    std::string name;
};

class LoadTicker;

class Store {
public:
    // Creates an empty network database at path (which must not exist yet);
    // withDefaultChannel adds channel 1 so a fresh database can take devices.
    static void Create(const std::string& path, bool withDefaultChannel);
    // True when path is a SQLite file carrying our schema.
    static bool IsNetworkDatabase(const std::string& path);

    // Opens and loads; progress is called at least every 50 ms while loading.
    Store(const std::string& path, const std::function<void()>& progress);

    const std::string& Path() const { return db_.Path(); }

    // Transactions nest; only the outermost one reaches SQLite.
    void Begin();
    void Commit();
    void Rollback();  // reloads the cache
    bool InTransaction() const { return txDepth_ > 0; }

    // Reads.
    const std::vector<ChannelRec>& Channels() const { return channels_; }
    const DeviceRec* Device(std::uint32_t h) const;
    DeviceRec* Device(std::uint32_t h);
    const RouterRec* Router(std::int16_t h) const;
    SubsystemRec* Subsystem(std::int32_t h);
    const std::vector<std::int32_t>& TopLevel() const { return top_; }
    const std::vector<std::uint32_t>& AllDevices() const { return allDevices_; }
    const std::vector<std::int16_t>& AllRouters() const { return allRouters_; }
    std::uint32_t HostHandle() const { return hostHandle_; }
    std::vector<TemplateRec>& Templates() { return templates_; }
    TemplateRec* Template(std::int64_t id);
    std::optional<std::uint32_t> DeviceByName(const std::string& name) const;
    std::optional<std::uint32_t> DeviceBySarvikId(const std::string& id) const;
    std::optional<std::int16_t> RouterByName(const std::string& name) const;
    // Per-device NVs (own list if the device has one, else its template's)
    // and CPs with set values and template defaults.
    DeviceDetails Details(std::uint32_t h);
    RouterDetails RouterDetailsOf(std::int16_t h);

    // Writes (each atomic on its own).
    void AddChannel(int id, const std::string& name);
    std::int32_t AddSubsystem(std::int32_t parent, const std::string& name);
    struct NewDevice {
        std::string name, programId, location, sarvikId;
        int channelId = 0;
        std::int64_t templateId = 0;
        int status = 0;
        std::optional<std::vector<TemplateNv>> nvs;      // own NV list
        std::vector<std::pair<std::string, Value>> cps;  // set values
        std::vector<std::pair<std::string, Value>> ext;
    };
    std::uint32_t AddDevice(const NewDevice& d);
    void AddDeviceToSubsystem(std::int32_t sub, std::uint32_t dev);
    void RemoveDeviceFromSubsystem(std::int32_t sub, std::uint32_t dev);
    void DeleteDevice(std::uint32_t dev);
    std::int16_t AddRouter(const std::string& name, int nearCh, int farCh);
    void AddRouterToSubsystem(std::int32_t sub, std::int16_t r);
    void RemoveRouterFromSubsystem(std::int32_t sub, std::int16_t r);
    void DeleteRouter(std::int16_t r);
    void SetHost(std::uint32_t dev);
    void SetDeviceText(std::uint32_t dev, const char* column, const std::string& v);
    void SetDeviceInt(std::uint32_t dev, const char* column, int v);
    void SetExtension(std::uint32_t dev, const std::string& key, const Value& v);
    std::int64_t AddTemplate(const std::string& name);
    void RemoveTemplate(std::int64_t id);
    void SetTemplateInterface(std::int64_t id, const std::string& programId, const std::string& xifPath,
                              const std::vector<TemplateNv>& nvs, const std::vector<TemplateCp>& cps);
    // NV list and set CP values of one device, for export.
    std::optional<std::vector<TemplateNv>> OwnNvs(std::uint32_t dev);
    std::vector<std::pair<std::string, Value>> SetCps(std::uint32_t dev);

private:
    // Loading the cache: one function per table, in this order (members
    // need the subsystems, template rows the templates).
    void Load(const std::function<void()>& progress);
    void LoadHost();
    void LoadChannels();
    void LoadDevices(LoadTicker& tick);
    void LoadExtensions(LoadTicker& tick);
    void LoadRouters();
    void LoadSubsystems();
    void LoadMembers(LoadTicker& tick);
    void LoadTemplates();
    std::int64_t NextCounter(const char* key);
    template <class F>
    void Atomic(F&& f);

    Db db_;
    int txDepth_ = 0;
    std::vector<ChannelRec> channels_;
    std::unordered_map<std::uint32_t, DeviceRec> devices_;
    std::vector<std::uint32_t> allDevices_;
    std::unordered_map<std::string, std::uint32_t> deviceByName_;  // lower-case
    std::map<std::int16_t, RouterRec> routers_;
    std::vector<std::int16_t> allRouters_;
    std::unordered_map<std::int32_t, SubsystemRec> subsystems_;
    std::vector<std::int32_t> top_;
    std::vector<TemplateRec> templates_;
    std::uint32_t hostHandle_ = 0;
};

}  // namespace ovx::detail
