#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "catalog.h"
#include "ovx/site.h"
#include "store.h"

namespace ovxsite {

using nlohmann::json;
using namespace ovx::detail;

namespace {

constexpr const char* kHomeKey = "Quillane_KTW_SubsysHndl";

std::string FolderOf(const std::string& dataFolder, const std::string& network) {
    const std::string data = dataFolder.empty() ? DefaultDataFolder() : dataFolder;
    for (const auto& e : ReadCatalog(data))
        if (Lower(e.name) == Lower(network)) return e.folder;
    throw SiteError("no network named \"" + network + "\" in " + data);
}

std::unique_ptr<Store> OpenStore(const std::string& dataFolder, const std::string& network) {
    try {
        return std::make_unique<Store>(FolderOf(dataFolder, network) + "/" + kDbFileName,
                                       std::function<void()>{});
    } catch (const ovx::Error& e) {
        throw SiteError(e.description());
    }
}

json ToJson(const ovx::Value& v) {
    if (auto i = std::get_if<std::int32_t>(&v)) return *i;
    if (auto s = std::get_if<std::string>(&v)) return *s;
    return nullptr;
}

json NvList(const std::vector<TemplateNv>& nvs) {
    json out = json::array();
    for (const auto& nv : nvs)
        out.push_back({{"name", nv.name}, {"type", nv.type}, {"node_object", nv.nodeObject}});
    return out;
}

bool IsBuiltin(const SubsystemRec& r) {
    return r.handle == kAllHandle || r.handle == kDiscoveredHandle || r.handle == kUninstalledHandle;
}

}  // namespace

std::string ExportSite(const std::string& dataFolder, const std::string& network) {
    auto store = OpenStore(dataFolder, network);
    Store& s = *store;
    json site;
    site["network"] = network;
    site["channels"] = json::array();
    for (const auto& c : s.Channels()) site["channels"].push_back({{"id", c.id}, {"name", c.name}});
    site["templates"] = json::array();
    for (const auto& t : s.Templates()) {
        json tj = {
            {"name", t.name}, {"program_id", t.programId}, {"nvs", NvList(t.nvs)}, {"cps", json::array()}};
        for (const auto& cp : t.cps) {
            json c = {{"name", cp.name}};
            if (!std::holds_alternative<std::monostate>(cp.defaultValue))
                c["default"] = ToJson(cp.defaultValue);
            tj["cps"].push_back(c);
        }
        site["templates"].push_back(tj);
    }
    // Subsystem handles to dotted paths, for the home records.
    std::map<std::int32_t, std::string> pathOf;
    std::function<void(std::int32_t, const std::string&)> paths = [&](std::int32_t h,
                                                                      const std::string& prefix) {
        auto* r = s.Subsystem(h);
        const std::string p = prefix + r->name;
        pathOf[h] = p;
        for (auto c : r->children) paths(c, p + ".");
    };
    for (auto h : s.TopLevel())
        if (!IsBuiltin(*s.Subsystem(h))) paths(h, "");

    std::set<std::uint32_t> seenDevices;
    std::set<std::int16_t> seenRouters;
    auto device = [&](std::uint32_t h) -> json {
        const DeviceRec* d = s.Device(h);
        if (!seenDevices.insert(h).second) return {{"ref", d->name}};
        json j = {{"name", d->name},
                  {"program_id", d->programId},
                  {"location", d->location},
                  {"channel", d->channelId}};
        if (const TemplateRec* t = d->templateId ? s.Template(d->templateId) : nullptr)
            j["template"] = t->name;
        if (!d->sarvikId.empty()) j["sarvik_id"] = d->sarvikId;
        if (auto own = s.OwnNvs(h)) j["nvs"] = NvList(*own);
        auto cps = s.SetCps(h);
        if (!cps.empty()) {
            j["cps"] = json::object();
            for (const auto& [name, value] : cps) j["cps"][name] = ToJson(value);
        }
        json ext = json::object();
        for (const auto& [lower, rec] : d->ext) {
            const auto* i = std::get_if<std::int32_t>(&rec.value);
            if (lower == Lower(kHomeKey) && i && pathOf.count(*i))
                j["home"] = pathOf.at(*i);
            else if (!std::holds_alternative<std::monostate>(rec.value))
                ext[rec.key] = ToJson(rec.value);
        }
        if (!ext.empty()) j["extensions"] = ext;
        return j;
    };
    std::function<json(std::int32_t)> sub = [&](std::int32_t h) {
        auto* r = s.Subsystem(h);
        json j = {{"name", r->name},
                  {"devices", json::array()},
                  {"routers", json::array()},
                  {"subsystems", json::array()}};
        for (auto d : r->devices)
            if (d != s.HostHandle()) j["devices"].push_back(device(d));
        for (auto rh : r->routers) {
            const RouterRec* rr = s.Router(rh);
            if (seenRouters.insert(rh).second)
                j["routers"].push_back(
                    {{"name", rr->name}, {"near", rr->nearChannel}, {"far", rr->farChannel}});
            else
                j["routers"].push_back({{"ref", rr->name}});
        }
        for (auto c : r->children) j["subsystems"].push_back(sub(c));
        return j;
    };
    site["subsystems"] = json::array();
    for (auto h : s.TopLevel())
        if (!IsBuiltin(*s.Subsystem(h))) site["subsystems"].push_back(sub(h));
    if (const DeviceRec* host = s.Device(s.HostHandle())) {
        json hj = device(host->handle);
        hj.erase("location");
        for (auto h : s.TopLevel()) {
            std::function<bool(std::int32_t)> find = [&](std::int32_t x) {
                auto* r = s.Subsystem(x);
                if (std::find(r->devices.begin(), r->devices.end(), host->handle) != r->devices.end()) {
                    hj["subsystem"] = pathOf[x];
                    return true;
                }
                for (auto c : r->children)
                    if (find(c)) return true;
                return false;
            };
            if (!IsBuiltin(*s.Subsystem(h)) && find(h)) break;
        }
        if (!host->location.empty()) hj["location"] = host->location;
        site["host"] = hj;
    }
    return site.dump(2) + "\n";
}

std::string ShowNetwork(const std::string& dataFolder, const std::string& network) {
    const std::string folder = FolderOf(dataFolder, network);
    auto store = OpenStore(dataFolder, network);
    Store& s = *store;
    std::ostringstream out;
    const auto P = Printable;  // names cannot break the lines or reach the terminal raw
    out << "Network " << P(network) << " (" << P(folder) << ")\n";
    out << "Channels:";
    for (const auto& c : s.Channels()) out << " " << c.id << " \"" << P(c.name) << "\"";
    out << "\n";
    if (const DeviceRec* host = s.Device(s.HostHandle()))
        out << "Host: " << P(host->name) << " [" << host->handle << "]\n";
    for (const auto& t : s.Templates())
        out << "Template " << P(t.name) << " " << t.programId << " (" << t.nvs.size() << " NVs, "
            << t.cps.size() << " CPs)\n";
    std::function<void(std::int32_t, int)> sub = [&](std::int32_t h, int depth) {
        auto* r = s.Subsystem(h);
        const std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
        out << pad << P(r->name) << " [" << r->handle << "]\n";
        const auto& devices = h == kAllHandle ? s.AllDevices() : r->devices;
        for (auto d : devices) {
            const DeviceRec* dr = s.Device(d);
            out << pad << "  device " << P(dr->name) << " [" << dr->handle << "] " << dr->programId
                << " channel " << dr->channelId;
            if (!dr->location.empty()) out << " location \"" << P(dr->location) << "\"";
            for (const auto& [k, e] : dr->ext) {
                out << " " << P(e.key) << "=";
                if (auto i = std::get_if<std::int32_t>(&e.value)) out << *i;
                if (auto t = std::get_if<std::string>(&e.value)) out << "\"" << P(*t) << "\"";
            }
            out << "\n";
        }
        const auto& routers = h == kAllHandle ? s.AllRouters() : r->routers;
        for (auto rh : routers) {
            const RouterRec* rr = s.Router(rh);
            out << pad << "  router " << P(rr->name) << " [" << rr->handle << "] channels " << rr->nearChannel
                << " > " << rr->farChannel << "\n";
        }
        for (auto c : r->children) sub(c, depth + 1);
    };
    for (auto h : s.TopLevel()) sub(h, 0);
    return out.str();
}

}  // namespace ovxsite
