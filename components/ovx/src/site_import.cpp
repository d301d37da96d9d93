#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "catalog.h"
#include "ovx/site.h"
#include "store.h"
#include "xif.h"

namespace ovxsite {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace ovx::detail;

namespace {

constexpr const char* kHomeKey = "Quillane_KTW_SubsysHndl";
constexpr const char* kHostProgramId = "0000000000000001";

struct Plan;

class Checker {
public:
    explicit Checker(std::string file) : file_(std::move(file)) {}
    [[noreturn]] void Fail(const std::string& at, const std::string& what) const {
        throw SiteError(file_ + ": at " + (at.empty() ? "/" : at) + ": " + what);
    }
    const json& Need(const json& obj, const std::string& at, const char* key) const {
        if (!obj.is_object()) Fail(at, "expected an object");
        auto it = obj.find(key);
        if (it == obj.end()) Fail(at, std::string("\"") + key + "\" is missing");
        return *it;
    }
    std::string Text(const json& v, const std::string& at) const {
        if (!v.is_string()) Fail(at, "expected a text");
        return v.get<std::string>();
    }
    int Int(const json& v, const std::string& at) const {
        if (!v.is_number_integer()) Fail(at, "expected an integer");
        const auto i = v.get<std::int64_t>();
        if (i < INT32_MIN || i > INT32_MAX) Fail(at, "does not fit in 32 bits");
        return static_cast<int>(i);
    }
    ovx::Value Val(const json& v, const std::string& at) const {
        if (v.is_string()) return v.get<std::string>();
        if (v.is_number_integer()) return static_cast<std::int32_t>(Int(v, at));
        Fail(at, "expected an integer or a text");
    }
    const json& Array(const json& obj, const std::string& at, const char* key) const {
        static const json empty = json::array();
        auto it = obj.find(key);
        if (it == obj.end()) return empty;
        if (!it->is_array()) Fail(at + "/" + key, "expected a list");
        return *it;
    }
    std::vector<TemplateNv> Nvs(const json& list, const std::string& at) const {
        if (!list.is_array()) Fail(at, "expected a list of network variables");
        std::vector<TemplateNv> out;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = at + "/" + std::to_string(i);
            TemplateNv nv{Text(Need(list[i], p, "name"), p + "/name"), "", false};
            if (list[i].contains("type")) nv.type = Text(list[i]["type"], p + "/type");
            if (list[i].contains("node_object")) {
                if (!list[i]["node_object"].is_boolean()) Fail(p + "/node_object", "expected true or false");
                nv.nodeObject = list[i]["node_object"].get<bool>();
            }
            out.push_back(nv);
        }
        return out;
    }
    const std::string& File() const { return file_; }

private:
    std::string file_;
};

struct DevicePlan {
    Store::NewDevice d;
    std::string home;  // dotted path, resolved once subsystems exist
    std::string at;
};
struct RouterPlan {
    std::string name;
    int nearCh = 0, farCh = 0;
};
struct SubPlan {
    std::string name;
    std::vector<std::string> devices;  // lower-case names
    std::vector<std::string> routers;
    std::vector<SubPlan> children;
};
struct TemplatePlan {
    std::string name, programId, xifPath;
    std::vector<TemplateNv> nvs;
    std::vector<TemplateCp> cps;
};

struct Plan {
    std::string network;
    std::vector<std::pair<int, std::string>> channels;
    std::vector<TemplatePlan> templates;
    std::vector<DevicePlan> devices;  // definition order
    std::map<std::string, std::size_t> deviceIndex;
    std::vector<RouterPlan> routers;
    std::map<std::string, std::size_t> routerIndex;
    std::vector<SubPlan> subsystems;
    std::optional<DevicePlan> host;
    std::string hostName, hostSubsystem;
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool PathExists(const std::vector<SubPlan>& top, const std::string& path) {
    const std::vector<SubPlan>* level = &top;
    std::size_t start = 0;
    while (true) {
        const auto dot = path.find('.', start);
        const std::string part =
            Lower(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        const SubPlan* found = nullptr;
        for (const auto& s : *level)
            if (Lower(s.name) == part) found = &s;
        if (!found) return false;
        if (dot == std::string::npos) return true;
        level = &found->children;
        start = dot + 1;
    }
}

class Planner {
public:
    Planner(const json& site, const std::string& file)
        : c_(file), site_(site), base_(fs::path(file).parent_path()) {}

    Plan Run() {
        if (!site_.is_object()) c_.Fail("", "the site must be a JSON object");
        plan_.network = c_.Text(c_.Need(site_, "", "network"), "/network");
        if (const std::string why = NetworkNameFault(plan_.network); !why.empty()) c_.Fail("/network", why);
        const json& channels = c_.Array(site_, "", "channels");
        std::set<int> ids;
        for (std::size_t i = 0; i < channels.size(); ++i) {
            const std::string p = "/channels/" + std::to_string(i);
            const int id = c_.Int(c_.Need(channels[i], p, "id"), p + "/id");
            if (!ids.insert(id).second)
                c_.Fail(p + "/id", "channel " + std::to_string(id) + " is listed twice");
            std::string name = channels[i].contains("name") ? c_.Text(channels[i]["name"], p + "/name")
                                                            : "Channel " + std::to_string(id);
            plan_.channels.emplace_back(id, name);
        }
        Templates();
        // Definitions first, so that a reference may come before its device.
        const json& subs = c_.Array(site_, "", "subsystems");
        CollectDefinitions(subs, "/subsystems");
        for (std::size_t i = 0; i < subs.size(); ++i)
            plan_.subsystems.push_back(Sub(subs[i], "/subsystems/" + std::to_string(i), plan_.subsystems));
        Host();
        for (auto& d : plan_.devices)
            if (!d.home.empty() && !PathExists(plan_.subsystems, d.home))
                c_.Fail(d.at + "/home", "no subsystem \"" + d.home + "\" in this site");
        if (plan_.host && !plan_.host->home.empty() && !PathExists(plan_.subsystems, plan_.host->home))
            c_.Fail("/host/home", "no subsystem \"" + plan_.host->home + "\" in this site");
        return std::move(plan_);
    }

private:
    void Templates() {
        const json& list = c_.Array(site_, "", "templates");
        std::set<std::string> names, pids;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = "/templates/" + std::to_string(i);
            TemplatePlan t;
            t.name = c_.Text(c_.Need(list[i], p, "name"), p + "/name");
            if (!names.insert(Lower(t.name)).second)
                c_.Fail(p + "/name", "template \"" + t.name + "\" is listed twice");
            if (list[i].contains("xif")) {
                const std::string rel = c_.Text(list[i]["xif"], p + "/xif");
                const fs::path path = fs::path(rel).is_absolute() ? fs::path(rel) : base_ / rel;
                try {
                    auto x = ReadXifWithXfb(path.string());
                    t.programId = x.programId;
                    t.nvs = x.nvs;
                    t.cps = x.cps;
                    t.xifPath = path.lexically_normal().string();
                } catch (const ovx::Error& e) {
                    c_.Fail(p + "/xif", e.description());
                }
            } else {
                t.programId = Upper(c_.Text(c_.Need(list[i], p, "program_id"), p + "/program_id"));
                if (!IsProgramId(t.programId)) c_.Fail(p + "/program_id", "expected 16 hexadecimal digits");
                if (list[i].contains("nvs")) t.nvs = c_.Nvs(list[i]["nvs"], p + "/nvs");
                const json& cps = c_.Array(list[i], p, "cps");
                for (std::size_t k = 0; k < cps.size(); ++k) {
                    const std::string q = p + "/cps/" + std::to_string(k);
                    TemplateCp cp{c_.Text(c_.Need(cps[k], q, "name"), q + "/name"), {}};
                    if (cps[k].contains("default"))
                        cp.defaultValue = c_.Val(cps[k]["default"], q + "/default");
                    t.cps.push_back(cp);
                }
            }
            if (!pids.insert(t.programId).second)
                c_.Fail(p + "/program_id", "another template already has the program ID " + t.programId);
            plan_.templates.push_back(std::move(t));
        }
    }

    static bool IsReference(const json& e) {
        return e.is_object() && (e.contains("ref") || (e.size() == 1 && e.contains("name")));
    }

    void CollectDefinitions(const json& subs, const std::string& at) {
        for (std::size_t i = 0; i < subs.size(); ++i) {
            const std::string p = at + "/" + std::to_string(i);
            if (!subs[i].is_object()) c_.Fail(p, "expected a subsystem object");
            const json& devs = c_.Array(subs[i], p, "devices");
            for (std::size_t k = 0; k < devs.size(); ++k)
                if (!IsReference(devs[k])) Device(devs[k], p + "/devices/" + std::to_string(k));
            const json& routers = c_.Array(subs[i], p, "routers");
            for (std::size_t k = 0; k < routers.size(); ++k)
                if (!IsReference(routers[k])) Router(routers[k], p + "/routers/" + std::to_string(k));
            CollectDefinitions(c_.Array(subs[i], p, "subsystems"), p + "/subsystems");
        }
    }

    DevicePlan MakeDevice(const json& e, const std::string& p) {
        DevicePlan out;
        out.at = p;
        auto& d = out.d;
        d.name = c_.Text(c_.Need(e, p, "name"), p + "/name");
        if (d.name.empty()) c_.Fail(p + "/name", "the device name is empty");
        const TemplatePlan* t = nullptr;
        if (e.contains("template")) {
            const std::string tn = c_.Text(e["template"], p + "/template");
            for (std::size_t i = 0; i < plan_.templates.size(); ++i)
                if (Lower(plan_.templates[i].name) == Lower(tn)) {
                    t = &plan_.templates[i];
                    d.templateId = static_cast<std::int64_t>(i + 1);  // position for now
                }
            if (!t) c_.Fail(p + "/template", "no template named \"" + tn + "\"");
            d.programId = t->programId;
        }
        if (e.contains("program_id")) {
            d.programId = Upper(c_.Text(e["program_id"], p + "/program_id"));
            if (!IsProgramId(d.programId)) c_.Fail(p + "/program_id", "expected 16 hexadecimal digits");
        }
        if (d.programId.empty()) c_.Fail(p, "a device needs a \"program_id\" or a \"template\"");
        if (e.contains("location")) {
            d.location = c_.Text(e["location"], p + "/location");
            // The unit's location record holds 6 bytes: a letter beyond ASCII takes 2 to 4 of them.
            if (d.location.size() > 6) c_.Fail(p + "/location", "a location has at most 6 bytes");
        }
        if (e.contains("channel")) d.channelId = c_.Int(e["channel"], p + "/channel");
        if (e.contains("sarvik_id")) {
            d.sarvikId = Upper(c_.Text(e["sarvik_id"], p + "/sarvik_id"));
            if (d.sarvikId.size() != 12 ||
                d.sarvikId.find_first_not_of("0123456789ABCDEF") != std::string::npos)
                c_.Fail(p + "/sarvik_id", "expected 12 hexadecimal digits");
        }
        if (e.contains("nvs")) d.nvs = c_.Nvs(e["nvs"], p + "/nvs");
        if (e.contains("cps")) {
            if (!e["cps"].is_object()) c_.Fail(p + "/cps", "expected an object of name to value");
            for (auto& [k, v] : e["cps"].items()) d.cps.emplace_back(k, c_.Val(v, p + "/cps/" + k));
        }
        if (e.contains("extensions")) {
            if (!e["extensions"].is_object())
                c_.Fail(p + "/extensions", "expected an object of key to value");
            for (auto& [k, v] : e["extensions"].items())
                d.ext.emplace_back(k, c_.Val(v, p + "/extensions/" + k));
        }
        if (e.contains("home")) {
            out.home = c_.Text(e["home"], p + "/home");
            for (const auto& [k, v] : d.ext)
                if (Lower(k) == Lower(kHomeKey))
                    c_.Fail(p + "/home", "both \"home\" and the extension " + std::string(kHomeKey));
        }
        return out;
    }

    void Device(const json& e, const std::string& p) {
        DevicePlan d = MakeDevice(e, p);
        const std::string key = Lower(d.d.name);
        if (plan_.deviceIndex.count(key))
            c_.Fail(p + "/name", "device \"" + d.d.name + "\" is defined twice");
        plan_.deviceIndex[key] = plan_.devices.size();
        plan_.devices.push_back(std::move(d));
    }

    void Router(const json& e, const std::string& p) {
        RouterPlan r;
        r.name = c_.Text(c_.Need(e, p, "name"), p + "/name");
        r.nearCh = c_.Int(c_.Need(e, p, "near"), p + "/near");
        r.farCh = c_.Int(c_.Need(e, p, "far"), p + "/far");
        const std::string key = Lower(r.name);
        if (plan_.routerIndex.count(key)) c_.Fail(p + "/name", "router \"" + r.name + "\" is defined twice");
        if (plan_.routerIndex.size() >= 0x7fff) c_.Fail(p, "too many routers");
        plan_.routerIndex[key] = plan_.routers.size();
        plan_.routers.push_back(r);
    }

    std::string RefName(const json& e, const std::string& p) {
        return e.contains("ref") ? c_.Text(e["ref"], p + "/ref") : c_.Text(e["name"], p + "/name");
    }

    SubPlan Sub(const json& s, const std::string& p, const std::vector<SubPlan>& siblings) {
        SubPlan out;
        out.name = c_.Text(c_.Need(s, p, "name"), p + "/name");
        if (out.name.empty() || out.name.find('.') != std::string::npos)
            c_.Fail(p + "/name", "a subsystem name must be non-empty and hold no dot");
        for (const auto& sib : siblings)
            if (Lower(sib.name) == Lower(out.name))
                c_.Fail(p + "/name", "subsystem \"" + out.name + "\" is listed twice here");
        if (siblings.data() == plan_.subsystems.data())
            for (const char* builtin : {"all", "discovered"})
                if (Lower(out.name) == builtin)
                    c_.Fail(p + "/name", "\"" + out.name + "\" is a built-in subsystem");
        // Each entry lists a device or router defined somewhere in the file.
        auto members = [&](const char* key, const std::map<std::string, std::size_t>& index,
                           const char* kind) {
            std::vector<std::string> names;
            const json& list = c_.Array(s, p, key);
            for (std::size_t k = 0; k < list.size(); ++k) {
                const std::string q = p + "/" + key + "/" + std::to_string(k);
                const std::string name =
                    IsReference(list[k]) ? RefName(list[k], q) : list[k]["name"].get<std::string>();
                if (!index.count(Lower(name)))
                    c_.Fail(q, std::string("no ") + kind + " named \"" + name + "\" is defined");
                names.push_back(Lower(name));
            }
            return names;
        };
        out.devices = members("devices", plan_.deviceIndex, "device");
        out.routers = members("routers", plan_.routerIndex, "router");
        const json& subs = c_.Array(s, p, "subsystems");
        for (std::size_t i = 0; i < subs.size(); ++i)
            out.children.push_back(Sub(subs[i], p + "/subsystems/" + std::to_string(i), out.children));
        return out;
    }

    void Host() {
        if (!site_.contains("host")) return;
        const json& h = site_["host"];
        plan_.hostName = c_.Text(c_.Need(h, "/host", "name"), "/host/name");
        if (h.contains("subsystem")) {
            plan_.hostSubsystem = c_.Text(h["subsystem"], "/host/subsystem");
            if (!PathExists(plan_.subsystems, plan_.hostSubsystem))
                c_.Fail("/host/subsystem", "no subsystem \"" + plan_.hostSubsystem + "\" in this site");
        }
        if (plan_.deviceIndex.count(Lower(plan_.hostName))) return;  // an existing device is the host
        json def = h;
        def.erase("subsystem");
        if (!def.contains("program_id") && !def.contains("template")) def["program_id"] = kHostProgramId;
        plan_.host = MakeDevice(def, "/host");
    }

    Checker c_;
    const json& site_;
    fs::path base_;
    Plan plan_;
};

void Write(Store& s, const Plan& plan, const ImportOptions& options) {
    for (const auto& [id, name] : plan.channels) s.AddChannel(id, name);
    std::vector<std::int64_t> templateIds;
    for (const auto& t : plan.templates) {
        templateIds.push_back(s.AddTemplate(t.name));
        s.SetTemplateInterface(templateIds.back(), t.programId, t.xifPath, t.nvs, t.cps);
    }
    std::map<std::string, std::int32_t> subByPath;  // lower-case dotted path
    std::function<void(const std::vector<SubPlan>&, std::int32_t, const std::string&)> makeSubs =
        [&](const std::vector<SubPlan>& list, std::int32_t parent, const std::string& prefix) {
            for (const auto& sp : list) {
                const std::int32_t h = s.AddSubsystem(parent, sp.name);
                const std::string path = prefix + Lower(sp.name);
                subByPath[path] = h;
                makeSubs(sp.children, h, path + ".");
            }
        };
    makeSubs(plan.subsystems, 0, "");
    std::map<std::string, std::uint32_t> devHandle;
    std::map<std::string, std::int16_t> routerHandle;
    int written = 0;
    auto create = [&](const DevicePlan& dp) {
        Store::NewDevice d = dp.d;
        if (d.templateId) d.templateId = templateIds[static_cast<std::size_t>(d.templateId - 1)];
        if (!dp.home.empty())
            d.ext.emplace_back(kHomeKey, static_cast<std::int32_t>(subByPath.at(Lower(dp.home))));
        const std::uint32_t h = s.AddDevice(d);
        devHandle[Lower(d.name)] = h;
        if (options.onDevice) options.onDevice(++written);
        return h;
    };
    // Devices and routers take their handles in the order they are first
    // listed, so an exported site imports back to the same handles.
    std::function<void(const std::vector<SubPlan>&, const std::string&)> fill =
        [&](const std::vector<SubPlan>& list, const std::string& prefix) {
            for (const auto& sp : list) {
                const std::string path = prefix + Lower(sp.name);
                const std::int32_t sub = subByPath.at(path);
                for (const auto& name : sp.devices) {
                    if (!devHandle.count(name)) create(plan.devices[plan.deviceIndex.at(name)]);
                    s.AddDeviceToSubsystem(sub, devHandle.at(name));
                }
                for (const auto& name : sp.routers) {
                    if (!routerHandle.count(name)) {
                        const auto& r = plan.routers[plan.routerIndex.at(name)];
                        routerHandle[name] = s.AddRouter(r.name, r.nearCh, r.farCh);
                    }
                    s.AddRouterToSubsystem(sub, routerHandle.at(name));
                }
                fill(sp.children, path + ".");
            }
        };
    fill(plan.subsystems, "");
    if (!plan.hostName.empty()) {
        std::uint32_t h = 0;
        if (plan.host)
            h = create(*plan.host);
        else
            h = devHandle.at(Lower(plan.hostName));
        if (!plan.hostSubsystem.empty()) s.AddDeviceToSubsystem(subByPath.at(Lower(plan.hostSubsystem)), h);
        s.SetHost(h);
    }
}

}  // namespace

std::string NetworkNameFault(const std::string& name) {
    if (name.empty()) return "the network name is empty";
    if (name == "." || name == "..") return "\"" + name + "\" cannot name a network";
    if (name.size() > 255) return "a network name has at most 255 bytes";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') return "a network name cannot hold a path separator";
        if (u == 0) return "a network name cannot hold a NUL";
        if (u < 0x20 || u == 0x7f) return "a network name cannot hold a control character";
    }
    return {};
}

namespace {

json ReadSite(const std::string& sitePath) {
    std::error_code ec;
    if (fs::is_directory(sitePath, ec)) throw SiteError(sitePath + ": this is a folder, not a site file");
    std::ifstream in(sitePath, std::ios::binary);
    if (!in) throw SiteError(sitePath + ": cannot open the file");
    try {
        return json::parse(in);
    } catch (const json::exception& e) {
        throw SiteError(sitePath + ": not valid JSON: " + e.what());
    }
}

// The database and the side files SQLite may leave beside it.
void RemoveDatabase(const fs::path& db) {
    std::error_code ec;
    for (const char* side : {"", "-journal", "-wal", "-shm"}) fs::remove(fs::path(db.string() + side), ec);
}

// Builds the database under a temporary name in `folder` and renames it
// into place; on any failure leaves nothing of it behind.
void BuildDatabase(const std::string& sitePath, const Plan& plan, const ImportOptions& options,
                   const fs::path& folder) {
    const fs::path db = folder / kDbFileName;
    const fs::path tmp = folder / (std::string(kDbFileName) + ".new");
    RemoveDatabase(tmp);
    struct Leftover {  // the temporary goes, however the build ends, unless renamed into place
        fs::path path;
        ~Leftover() { RemoveDatabase(path); }
    } leftover{tmp};
    try {
        {
            Store::Create(tmp.string(), false);
            Store store(tmp.string(), {});
            store.Begin();
            Write(store, plan, options);
            store.Commit();
        }  // closed here: the write-ahead log is folded in and removed
        std::error_code ec;
        fs::rename(tmp, db, ec);
        if (ec) throw SiteError(sitePath + ": cannot place the database in " + folder.string());
    } catch (const SiteError&) {
        throw;
    } catch (const ovx::Error& e) {
        throw SiteError(sitePath + ": " + e.description());
    } catch (const std::exception& e) {
        throw SiteError(sitePath + ": cannot write the database: " + e.what());
    }  // anything else (a callback's own exception) goes on as it is
}

}  // namespace

std::string ImportSite(const std::string& sitePath, const ImportOptions& options) {
    const json site = ReadSite(sitePath);
    Plan plan;
    try {
        plan = Planner(site, sitePath).Run();
    } catch (const json::exception& e) {  // a shape the checks above did not foresee
        throw SiteError(sitePath + ": at /: " + e.what());
    }
    const std::string name = options.nameOverride.empty() ? plan.network : options.nameOverride;
    if (const std::string why = NetworkNameFault(name); !why.empty())
        throw SiteError(sitePath + ": at /network: " + why +
                        (options.nameOverride.empty() ? "" : " (--name)"));

    const std::string data = options.dataFolder.empty() ? DefaultDataFolder() : options.dataFolder;
    auto catalog = ReadCatalog(data);
    for (const auto& e : catalog)
        if (Lower(e.name) == Lower(name))
            throw SiteError(sitePath + ": a network named \"" + name + "\" is already registered");
    const fs::path folder =
        options.folder.empty() ? fs::path(data) / "networks" / name : fs::path(options.folder);
    const fs::path db = folder / kDbFileName;
    std::error_code ec;
    if (fs::exists(db, ec))
        throw SiteError(sitePath + ": the folder " + folder.string() + " already holds a network database");
    // The folders this import makes, deepest last, to take away again on failure.
    std::vector<fs::path> made;
    for (fs::path p = fs::absolute(folder, ec).lexically_normal(); !p.empty() && !fs::exists(p, ec);
         p = p.parent_path()) {
        made.insert(made.begin(), p);
        if (p == p.parent_path()) break;
    }
    auto undoFolders = [&] {
        for (auto it = made.rbegin(); it != made.rend(); ++it) fs::remove(*it, ec);  // only when empty
    };
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        undoFolders();
        throw SiteError(sitePath + ": cannot create the folder " + folder.string());
    }
    try {
        BuildDatabase(sitePath, plan, options, folder);
    } catch (...) {
        undoFolders();
        throw;
    }
    // Registered last; a network that cannot be registered is not left in place.
    catalog.push_back({name, fs::absolute(folder).lexically_normal().string()});
    try {
        WriteCatalog(data, catalog);
    } catch (const ovx::Error& e) {
        RemoveDatabase(db);
        undoFolders();
        throw SiteError(sitePath + ": " + e.description());
    }
    return name;
}

}  // namespace ovxsite
