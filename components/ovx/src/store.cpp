#include "store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace ovx::detail {

namespace {

constexpr const char* kFormat = "ovx-network";

constexpr const char* kSchema = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value);
CREATE TABLE channels(id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE templates(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
                       program_id TEXT NOT NULL DEFAULT '', xif_path TEXT NOT NULL DEFAULT '');
CREATE TABLE template_nvs(template_id INTEGER NOT NULL, idx INTEGER NOT NULL, name TEXT NOT NULL,
                          type TEXT NOT NULL, node_object INTEGER NOT NULL);
CREATE TABLE template_cps(template_id INTEGER NOT NULL, idx INTEGER NOT NULL, name TEXT NOT NULL, default_value);
CREATE TABLE subsystems(handle INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL);
CREATE TABLE devices(handle INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
                     program_id TEXT NOT NULL, location TEXT NOT NULL DEFAULT '', sarvik_id TEXT NOT NULL DEFAULT '',
                     channel_id INTEGER NOT NULL, template_id INTEGER NOT NULL DEFAULT 0,
                     state INTEGER NOT NULL DEFAULT 4, status INTEGER NOT NULL DEFAULT 0,
                     app_image_path TEXT NOT NULL DEFAULT '', own_nvs INTEGER NOT NULL DEFAULT 0);
CREATE TABLE device_nvs(device INTEGER NOT NULL, idx INTEGER NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,
                        node_object INTEGER NOT NULL);
CREATE INDEX device_nvs_by_device ON device_nvs(device);
CREATE TABLE device_cps(device INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, value, PRIMARY KEY(device, name));
CREATE TABLE extensions(device INTEGER NOT NULL, key TEXT NOT NULL COLLATE NOCASE, value, PRIMARY KEY(device, key));
CREATE TABLE routers(handle INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
                     near_channel INTEGER NOT NULL, far_channel INTEGER NOT NULL);
CREATE TABLE members(subsystem INTEGER NOT NULL, kind TEXT NOT NULL, handle INTEGER NOT NULL);
CREATE INDEX members_by_subsystem ON members(subsystem);
INSERT INTO meta VALUES('format', 'ovx-network'), ('version', 1), ('host', 0),
                       ('next_device', 1), ('next_router', 1), ('next_subsystem', 4);
INSERT INTO subsystems VALUES(1, 0, 'ALL'), (2, 0, 'Discovered'), (3, 2, 'Uninstalled');
)";

}  // namespace

// Calls the progress callback now and then while the cache loads.
class LoadTicker {
public:
    explicit LoadTicker(const std::function<void()>& cb) : cb_(cb) {}
    void Tick() {
        if (!cb_ || (++n_ & 63)) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ >= std::chrono::milliseconds(20)) {
            last_ = now;
            cb_();
        }
    }

private:
    const std::function<void()>& cb_;
    unsigned n_ = 0;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void Store::Create(const std::string& path, bool withDefaultChannel) {
    Db db(path, true);
    db.Exec("PRAGMA journal_mode=DELETE");
    db.Exec("BEGIN");
    db.Exec(kSchema);
    if (withDefaultChannel) db.Exec("INSERT INTO channels VALUES(1, 'Channel 1')");
    db.Exec("COMMIT");
}

bool Store::IsNetworkDatabase(const std::string& path) {
    try {
        Db db(path, false, true);
        Stmt s(db, "SELECT value FROM meta WHERE key='format'");
        return s.Step() && s.Text(0) == kFormat;
    } catch (const Error&) {
        return false;
    }
}

Store::Store(const std::string& path, const std::function<void()>& progress) : db_(path, false) {
    {
        // Anything else in the folder (a foreign SQLite file, a text file,
        // a damaged database) is refused before we touch it.
        bool ok = false;
        try {
            Stmt s(db_, "SELECT value FROM meta WHERE key='format'");
            ok = s.Step() && s.Text(0) == kFormat;
        } catch (const Error&) {
            ok = false;
        }
        if (!ok)
            throw Error(kErrCorruptDatabase,
                        "The file " + path + " is not a network database or is damaged.");
    }
    // Write-ahead log: a commit is one append, synced at checkpoints. A killed
    // process or a power cut leaves the database as of a whole transaction;
    // a power cut may lose the last few, never corrupt the file.
    db_.Exec("PRAGMA journal_mode=WAL");
    db_.Exec("PRAGMA synchronous=NORMAL");
    Load(progress);
}

void Store::Load(const std::function<void()>& progress) {
    LoadTicker tick(progress);
    channels_.clear();
    devices_.clear();
    allDevices_.clear();
    deviceByName_.clear();
    routers_.clear();
    allRouters_.clear();
    subsystems_.clear();
    top_.clear();
    templates_.clear();
    try {
        LoadHost();
        LoadChannels();
        LoadDevices(tick);
        LoadExtensions(tick);
        LoadRouters();
        LoadSubsystems();
        LoadMembers(tick);
        LoadTemplates();
    } catch (const Error& e) {
        throw Error(kErrCorruptDatabase,
                    "The network database " + db_.Path() + " is damaged: " + e.description());
    }
}

void Store::LoadHost() {
    Stmt s(db_, "SELECT value FROM meta WHERE key='host'");
    hostHandle_ = s.Step() ? static_cast<std::uint32_t>(s.Int(0)) : 0;
}

void Store::LoadChannels() {
    Stmt s(db_, "SELECT id, name FROM channels ORDER BY id");
    while (s.Step()) channels_.push_back({static_cast<int>(s.Int(0)), s.Text(1)});
}

void Store::LoadDevices(LoadTicker& tick) {
    Stmt s(db_,
           "SELECT handle, name, program_id, location, sarvik_id, channel_id, template_id, state, status, "
           "app_image_path FROM devices ORDER BY handle");
    allDevices_.reserve(1024);
    while (s.Step()) {
        DeviceRec d;
        d.handle = static_cast<std::uint32_t>(s.Int(0));
        d.name = s.Text(1);
        d.programId = s.Text(2);
        d.location = s.Text(3);
        d.sarvikId = s.Text(4);
        d.channelId = static_cast<int>(s.Int(5));
        d.templateId = s.Int(6);
        d.state = static_cast<int>(s.Int(7));
        d.status = static_cast<int>(s.Int(8));
        d.appImagePath = s.Text(9);
        deviceByName_[Lower(d.name)] = d.handle;
        allDevices_.push_back(d.handle);
        devices_.emplace(d.handle, std::move(d));
        tick.Tick();
    }
}

void Store::LoadExtensions(LoadTicker& tick) {
    Stmt s(db_, "SELECT device, key, value FROM extensions");
    while (s.Step()) {
        auto it = devices_.find(static_cast<std::uint32_t>(s.Int(0)));
        if (it == devices_.end()) continue;
        std::string key = s.Text(1);
        it->second.ext[Lower(key)] = ExtRec{key, s.ValueAt(2)};
        tick.Tick();
    }
}

void Store::LoadRouters() {
    Stmt s(db_, "SELECT handle, name, near_channel, far_channel FROM routers ORDER BY handle");
    while (s.Step()) {
        RouterRec r{static_cast<std::int16_t>(s.Int(0)), s.Text(1), static_cast<int>(s.Int(2)),
                    static_cast<int>(s.Int(3))};
        allRouters_.push_back(r.handle);
        routers_.emplace(r.handle, std::move(r));
    }
}

void Store::LoadSubsystems() {
    Stmt s(db_, "SELECT handle, parent, name FROM subsystems ORDER BY handle");
    while (s.Step()) {
        SubsystemRec r;
        r.handle = static_cast<std::int32_t>(s.Int(0));
        r.parent = static_cast<std::int32_t>(s.Int(1));
        r.name = s.Text(2);
        subsystems_.emplace(r.handle, std::move(r));
    }
    // Children after all rows are in: a parent may carry a higher handle.
    Stmt again(db_, "SELECT handle, parent FROM subsystems ORDER BY handle");
    while (again.Step()) {
        const auto h = static_cast<std::int32_t>(again.Int(0));
        const auto p = static_cast<std::int32_t>(again.Int(1));
        auto parent = subsystems_.find(p);
        if (p == 0 || parent == subsystems_.end())
            top_.push_back(h);
        else
            parent->second.children.push_back(h);
    }
}

void Store::LoadMembers(LoadTicker& tick) {
    Stmt s(db_, "SELECT subsystem, kind, handle FROM members ORDER BY rowid");
    while (s.Step()) {
        auto it = subsystems_.find(static_cast<std::int32_t>(s.Int(0)));
        if (it == subsystems_.end()) continue;
        if (s.Text(1) == "d")
            it->second.devices.push_back(static_cast<std::uint32_t>(s.Int(2)));
        else
            it->second.routers.push_back(static_cast<std::int16_t>(s.Int(2)));
        tick.Tick();
    }
}

void Store::LoadTemplates() {
    Stmt s(db_, "SELECT id, name, program_id, xif_path FROM templates ORDER BY id");
    while (s.Step()) templates_.push_back({s.Int(0), s.Text(1), s.Text(2), s.Text(3), {}, {}});
    Stmt nv(db_, "SELECT template_id, name, type, node_object FROM template_nvs ORDER BY template_id, idx");
    while (nv.Step())
        if (auto* t = Template(nv.Int(0))) t->nvs.push_back({nv.Text(1), nv.Text(2), nv.Int(3) != 0});
    Stmt cp(db_, "SELECT template_id, name, default_value FROM template_cps ORDER BY template_id, idx");
    while (cp.Step())
        if (auto* t = Template(cp.Int(0))) t->cps.push_back({cp.Text(1), cp.ValueAt(2)});
}

void Store::Begin() {
    if (txDepth_++ == 0) db_.Exec("BEGIN");
}

void Store::Commit() {
    if (txDepth_ == 0) throw Error(kErrNoTransaction, "No transaction is open on " + db_.Path());
    if (--txDepth_ == 0) db_.Exec("COMMIT");
}

void Store::Rollback() {
    if (txDepth_ == 0) throw Error(kErrNoTransaction, "No transaction is open on " + db_.Path());
    txDepth_ = 0;
    db_.Exec("ROLLBACK");
    Load({});
}

template <class F>
void Store::Atomic(F&& f) {
    // A savepoint makes each multi-statement write all-or-nothing, inside or
    // outside a caller's transaction. On failure the cache is reloaded so it
    // never shows half a write.
    db_.Exec("SAVEPOINT w");
    try {
        f();
        db_.Exec("RELEASE w");
    } catch (...) {
        db_.Exec("ROLLBACK TO w");
        db_.Exec("RELEASE w");
        Load({});
        throw;
    }
}

std::int64_t Store::NextCounter(const char* key) {
    Stmt get(db_, "SELECT value FROM meta WHERE key=?");
    get.Bind(1, std::string(key));
    if (!get.Step())
        throw Error(kErrCorruptDatabase, "The network database " + db_.Path() + " lacks its counters.");
    const std::int64_t v = get.Int(0);
    Stmt set(db_, "UPDATE meta SET value=? WHERE key=?");
    set.Bind(1, v + 1).Bind(2, std::string(key)).Run();
    return v;
}

const DeviceRec* Store::Device(std::uint32_t h) const {
    auto it = devices_.find(h);
    return it == devices_.end() ? nullptr : &it->second;
}
DeviceRec* Store::Device(std::uint32_t h) {
    auto it = devices_.find(h);
    return it == devices_.end() ? nullptr : &it->second;
}
const RouterRec* Store::Router(std::int16_t h) const {
    auto it = routers_.find(h);
    return it == routers_.end() ? nullptr : &it->second;
}
SubsystemRec* Store::Subsystem(std::int32_t h) {
    auto it = subsystems_.find(h);
    return it == subsystems_.end() ? nullptr : &it->second;
}
TemplateRec* Store::Template(std::int64_t id) {
    for (auto& t : templates_)
        if (t.id == id) return &t;
    return nullptr;
}

std::optional<std::uint32_t> Store::DeviceByName(const std::string& name) const {
    auto it = deviceByName_.find(Lower(name));
    if (it == deviceByName_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> Store::DeviceBySarvikId(const std::string& id) const {
    const std::string want = Lower(id);
    for (std::uint32_t h : allDevices_)
        if (Lower(devices_.at(h).sarvikId) == want) return h;
    return std::nullopt;
}

std::optional<std::int16_t> Store::RouterByName(const std::string& name) const {
    const std::string want = Lower(name);
    for (const auto& [h, r] : routers_)
        if (Lower(r.name) == want) return h;
    return std::nullopt;
}

std::optional<std::vector<TemplateNv>> Store::OwnNvs(std::uint32_t dev) {
    Stmt own(db_, "SELECT own_nvs FROM devices WHERE handle=?");
    own.Bind(1, static_cast<std::int64_t>(dev));
    if (!own.Step() || own.Int(0) == 0) return std::nullopt;
    std::vector<TemplateNv> out;
    Stmt s(db_, "SELECT name, type, node_object FROM device_nvs WHERE device=? ORDER BY idx");
    s.Bind(1, static_cast<std::int64_t>(dev));
    while (s.Step()) out.push_back({s.Text(0), s.Text(1), s.Int(2) != 0});
    return out;
}

std::vector<std::pair<std::string, Value>> Store::SetCps(std::uint32_t dev) {
    std::vector<std::pair<std::string, Value>> out;
    Stmt s(db_, "SELECT name, value FROM device_cps WHERE device=? ORDER BY rowid");
    s.Bind(1, static_cast<std::int64_t>(dev));
    while (s.Step()) out.emplace_back(s.Text(0), s.ValueAt(1));
    return out;
}

DeviceDetails Store::Details(std::uint32_t h) {
    const DeviceRec* d = Device(h);
    if (!d) throw Error(kErrNotFound, "No device with handle " + std::to_string(h) + " in " + db_.Path());
    DeviceDetails out;
    out.handle = d->handle;
    out.name = d->name;
    out.programId = d->programId;
    out.location = d->location;
    out.sarvikId = d->sarvikId;
    out.channelId = d->channelId;
    const TemplateRec* t = d->templateId ? Template(d->templateId) : nullptr;
    if (t) {
        out.templateName = t->name;
        out.templateNvCount = static_cast<int>(t->nvs.size());
    }
    std::vector<TemplateNv> nvs;
    if (auto own = OwnNvs(h))
        nvs = std::move(*own);
    else if (t)
        nvs = t->nvs;
    for (std::size_t i = 0; i < nvs.size(); ++i)
        out.nvs.push_back({nvs[i].name, static_cast<int>(i), nvs[i].type, nvs[i].nodeObject});
    auto set = SetCps(h);
    if (t)
        for (const auto& cp : t->cps) {
            CpInfo info{cp.name, {}, cp.defaultValue};
            for (auto it = set.begin(); it != set.end(); ++it)
                if (Lower(it->first) == Lower(cp.name)) {
                    info.value = it->second;
                    set.erase(it);
                    break;
                }
            out.cps.push_back(std::move(info));
        }
    for (auto& [name, value] : set) out.cps.push_back({name, value, {}});
    return out;
}

RouterDetails Store::RouterDetailsOf(std::int16_t h) {
    const RouterRec* r = Router(h);
    if (!r) throw Error(kErrNotFound, "No router with handle " + std::to_string(h) + " in " + db_.Path());
    return {r->handle, r->name, r->nearChannel, r->farChannel};
}

void Store::AddChannel(int id, const std::string& name) {
    for (const auto& c : channels_)
        if (c.id == id) throw Error(kErrNameInUse, "Channel " + std::to_string(id) + " already exists");
    Stmt s(db_, "INSERT INTO channels VALUES(?, ?)");
    s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, name).Run();
    channels_.push_back({id, name});
    std::sort(channels_.begin(), channels_.end(), [](auto& a, auto& b) { return a.id < b.id; });
}

std::int32_t Store::AddSubsystem(std::int32_t parent, const std::string& name) {
    if (name.empty() || name.find('.') != std::string::npos)
        throw Error(kErrBadValue, "Subsystem name \"" + name + "\" is empty or holds a dot");
    const auto& siblings = parent ? Subsystem(parent)->children : top_;
    for (auto h : siblings)
        if (Lower(subsystems_.at(h).name) == Lower(name))
            throw Error(kErrNameInUse, "A subsystem named \"" + name + "\" already exists here");
    std::int32_t handle = 0;
    Atomic([&] {
        handle = static_cast<std::int32_t>(NextCounter("next_subsystem"));
        Stmt s(db_, "INSERT INTO subsystems VALUES(?, ?, ?)");
        s.Bind(1, handle).Bind(2, parent).Bind(3, name).Run();
    });
    subsystems_[handle] = SubsystemRec{handle, parent, name, {}, {}, {}};
    if (parent)
        Subsystem(parent)->children.push_back(handle);
    else
        top_.push_back(handle);
    return handle;
}

std::uint32_t Store::AddDevice(const NewDevice& d) {
    if (d.name.empty()) throw Error(kErrBadValue, "A device needs a name");
    if (DeviceByName(d.name)) throw Error(kErrNameInUse, "A device named \"" + d.name + "\" already exists");
    std::uint32_t handle = 0;
    Atomic([&] {
        const std::int64_t next = NextCounter("next_device");
        if (next > 0x7fffffff) throw Error(kErrBadValue, "No device handles left in " + db_.Path());
        handle = static_cast<std::uint32_t>(next);
        Stmt s(db_,
               "INSERT INTO devices(handle, name, program_id, location, sarvik_id, channel_id, template_id, "
               "status, "
               "own_nvs) VALUES(?,?,?,?,?,?,?,?,?)");
        s.Bind(1, static_cast<std::int64_t>(handle))
            .Bind(2, d.name)
            .Bind(3, d.programId)
            .Bind(4, d.location)
            .Bind(5, d.sarvikId)
            .Bind(6, static_cast<std::int64_t>(d.channelId))
            .Bind(7, d.templateId)
            .Bind(8, static_cast<std::int64_t>(d.status))
            .Bind(9, static_cast<std::int64_t>(d.nvs ? 1 : 0))
            .Run();
        if (d.nvs) {
            Stmt nv(db_, "INSERT INTO device_nvs VALUES(?,?,?,?,?)");
            for (std::size_t i = 0; i < d.nvs->size(); ++i)
                nv.Bind(1, static_cast<std::int64_t>(handle))
                    .Bind(2, static_cast<std::int64_t>(i))
                    .Bind(3, (*d.nvs)[i].name)
                    .Bind(4, (*d.nvs)[i].type)
                    .Bind(5, static_cast<std::int64_t>((*d.nvs)[i].nodeObject))
                    .Run();
        }
        Stmt cp(db_, "INSERT INTO device_cps VALUES(?,?,?)");
        for (const auto& [name, value] : d.cps)
            cp.Bind(1, static_cast<std::int64_t>(handle)).Bind(2, name).BindValue(3, value).Run();
        Stmt ex(db_, "INSERT INTO extensions VALUES(?,?,?)");
        for (const auto& [key, value] : d.ext)
            ex.Bind(1, static_cast<std::int64_t>(handle)).Bind(2, key).BindValue(3, value).Run();
    });
    DeviceRec r;
    r.handle = handle;
    r.name = d.name;
    r.programId = d.programId;
    r.location = d.location;
    r.sarvikId = d.sarvikId;
    r.channelId = d.channelId;
    r.templateId = d.templateId;
    r.status = d.status;
    for (const auto& [key, value] : d.ext) r.ext[Lower(key)] = ExtRec{key, value};
    deviceByName_[Lower(d.name)] = handle;
    allDevices_.push_back(handle);
    devices_.emplace(handle, std::move(r));
    return handle;
}

void Store::AddDeviceToSubsystem(std::int32_t sub, std::uint32_t dev) {
    SubsystemRec* s = Subsystem(sub);
    if (!s || sub == kAllHandle) throw Error(kErrNotFound, "No subsystem with handle " + std::to_string(sub));
    if (std::find(s->devices.begin(), s->devices.end(), dev) != s->devices.end()) return;
    Stmt st(db_, "INSERT INTO members VALUES(?, 'd', ?)");
    st.Bind(1, sub).Bind(2, static_cast<std::int64_t>(dev)).Run();
    s->devices.push_back(dev);
}

void Store::RemoveDeviceFromSubsystem(std::int32_t sub, std::uint32_t dev) {
    SubsystemRec* s = Subsystem(sub);
    if (!s) return;
    Stmt st(db_, "DELETE FROM members WHERE subsystem=? AND kind='d' AND handle=?");
    st.Bind(1, sub).Bind(2, static_cast<std::int64_t>(dev)).Run();
    s->devices.erase(std::remove(s->devices.begin(), s->devices.end(), dev), s->devices.end());
}

void Store::DeleteDevice(std::uint32_t dev) {
    Atomic([&] {
        for (const char* sql :
             {"DELETE FROM members WHERE kind='d' AND handle=?", "DELETE FROM devices WHERE handle=?",
              "DELETE FROM device_nvs WHERE device=?", "DELETE FROM device_cps WHERE device=?",
              "DELETE FROM extensions WHERE device=?"}) {
            Stmt s(db_, sql);
            s.Bind(1, static_cast<std::int64_t>(dev)).Run();
        }
        if (hostHandle_ == dev) {
            Stmt s(db_, "UPDATE meta SET value=0 WHERE key='host'");
            s.Run();
        }
    });
    if (hostHandle_ == dev) hostHandle_ = 0;
    for (auto& [h, s] : subsystems_)
        s.devices.erase(std::remove(s.devices.begin(), s.devices.end(), dev), s.devices.end());
    allDevices_.erase(std::remove(allDevices_.begin(), allDevices_.end(), dev), allDevices_.end());
    if (auto* d = Device(dev)) deviceByName_.erase(Lower(d->name));
    devices_.erase(dev);
}

std::int16_t Store::AddRouter(const std::string& name, int nearCh, int farCh) {
    if (name.empty()) throw Error(kErrBadValue, "A router needs a name");
    if (RouterByName(name)) throw Error(kErrNameInUse, "A router named \"" + name + "\" already exists");
    std::int16_t handle = 0;
    Atomic([&] {
        const std::int64_t next = NextCounter("next_router");
        if (next > 0x7fff) throw Error(kErrBadValue, "No router handles left in " + db_.Path());
        handle = static_cast<std::int16_t>(next);
        Stmt s(db_, "INSERT INTO routers VALUES(?,?,?,?)");
        s.Bind(1, handle).Bind(2, name).Bind(3, nearCh).Bind(4, farCh).Run();
    });
    routers_[handle] = RouterRec{handle, name, nearCh, farCh};
    allRouters_.push_back(handle);
    return handle;
}

void Store::AddRouterToSubsystem(std::int32_t sub, std::int16_t r) {
    SubsystemRec* s = Subsystem(sub);
    if (!s || sub == kAllHandle) throw Error(kErrNotFound, "No subsystem with handle " + std::to_string(sub));
    if (std::find(s->routers.begin(), s->routers.end(), r) != s->routers.end()) return;
    Stmt st(db_, "INSERT INTO members VALUES(?, 'r', ?)");
    st.Bind(1, sub).Bind(2, r).Run();
    s->routers.push_back(r);
}

void Store::RemoveRouterFromSubsystem(std::int32_t sub, std::int16_t r) {
    SubsystemRec* s = Subsystem(sub);
    if (!s) return;
    Stmt st(db_, "DELETE FROM members WHERE subsystem=? AND kind='r' AND handle=?");
    st.Bind(1, sub).Bind(2, r).Run();
    s->routers.erase(std::remove(s->routers.begin(), s->routers.end(), r), s->routers.end());
}

void Store::DeleteRouter(std::int16_t r) {
    Atomic([&] {
        Stmt a(db_, "DELETE FROM members WHERE kind='r' AND handle=?");
        a.Bind(1, r).Run();
        Stmt b(db_, "DELETE FROM routers WHERE handle=?");
        b.Bind(1, r).Run();
    });
    for (auto& [h, s] : subsystems_)
        s.routers.erase(std::remove(s.routers.begin(), s.routers.end(), r), s.routers.end());
    allRouters_.erase(std::remove(allRouters_.begin(), allRouters_.end(), r), allRouters_.end());
    routers_.erase(r);
}

void Store::SetHost(std::uint32_t dev) {
    Stmt s(db_, "UPDATE meta SET value=? WHERE key='host'");
    s.Bind(1, static_cast<std::int64_t>(dev)).Run();
    hostHandle_ = dev;
}

void Store::SetDeviceText(std::uint32_t dev, const char* column, const std::string& v) {
    const std::string sql = std::string("UPDATE devices SET ") + column + "=? WHERE handle=?";
    Stmt s(db_, sql.c_str());
    s.Bind(1, v).Bind(2, static_cast<std::int64_t>(dev)).Run();
}

void Store::SetDeviceInt(std::uint32_t dev, const char* column, int v) {
    const std::string sql = std::string("UPDATE devices SET ") + column + "=? WHERE handle=?";
    Stmt s(db_, sql.c_str());
    s.Bind(1, static_cast<std::int64_t>(v)).Bind(2, static_cast<std::int64_t>(dev)).Run();
}

void Store::SetExtension(std::uint32_t dev, const std::string& key, const Value& v) {
    DeviceRec* d = Device(dev);
    if (!d) throw Error(kErrNotFound, "No device with handle " + std::to_string(dev));
    Stmt s(db_, "INSERT OR REPLACE INTO extensions VALUES(?,?,?)");
    s.Bind(1, static_cast<std::int64_t>(dev)).Bind(2, key).BindValue(3, v).Run();
    auto& rec = d->ext[Lower(key)];
    if (rec.key.empty()) rec.key = key;
    rec.value = v;
}

std::int64_t Store::AddTemplate(const std::string& name) {
    for (const auto& t : templates_)
        if (Lower(t.name) == Lower(name))
            throw Error(kErrNameInUse, "A device template named \"" + name + "\" already exists");
    if (name.empty()) throw Error(kErrBadValue, "A device template needs a name");
    Stmt s(db_, "INSERT INTO templates(name) VALUES(?)");
    s.Bind(1, name).Run();
    const std::int64_t id = db_.LastRowId();
    templates_.push_back({id, name, "", "", {}, {}});
    return id;
}

void Store::RemoveTemplate(std::int64_t id) {
    Atomic([&] {
        for (const char* sql :
             {"DELETE FROM templates WHERE id=?", "DELETE FROM template_nvs WHERE template_id=?",
              "DELETE FROM template_cps WHERE template_id=?"}) {
            Stmt s(db_, sql);
            s.Bind(1, id).Run();
        }
    });
    templates_.erase(
        std::remove_if(templates_.begin(), templates_.end(), [&](auto& t) { return t.id == id; }),
        templates_.end());
}

void Store::SetTemplateInterface(std::int64_t id, const std::string& programId, const std::string& xifPath,
                                 const std::vector<TemplateNv>& nvs, const std::vector<TemplateCp>& cps) {
    Atomic([&] {
        Stmt u(db_, "UPDATE templates SET program_id=?, xif_path=? WHERE id=?");
        u.Bind(1, programId).Bind(2, xifPath).Bind(3, id).Run();
        Stmt d1(db_, "DELETE FROM template_nvs WHERE template_id=?");
        d1.Bind(1, id).Run();
        Stmt d2(db_, "DELETE FROM template_cps WHERE template_id=?");
        d2.Bind(1, id).Run();
        Stmt nv(db_, "INSERT INTO template_nvs VALUES(?,?,?,?,?)");
        for (std::size_t i = 0; i < nvs.size(); ++i)
            nv.Bind(1, id)
                .Bind(2, static_cast<std::int64_t>(i))
                .Bind(3, nvs[i].name)
                .Bind(4, nvs[i].type)
                .Bind(5, static_cast<std::int64_t>(nvs[i].nodeObject))
                .Run();
        Stmt cp(db_, "INSERT INTO template_cps VALUES(?,?,?,?)");
        for (std::size_t i = 0; i < cps.size(); ++i)
            cp.Bind(1, id)
                .Bind(2, static_cast<std::int64_t>(i))
                .Bind(3, cps[i].name)
                .BindValue(4, cps[i].defaultValue)
                .Run();
    });
    if (auto* t = Template(id)) {
        t->programId = programId;
        t->xifPath = xifPath;
        t->nvs = nvs;
        t->cps = cps;
    }
}

}  // namespace ovx::detail
