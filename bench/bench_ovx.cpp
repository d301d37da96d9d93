// Object-server figures on a generated site of 20,000 devices in 16
// hierarchies: import, opening the network and system, and reading name,
// handle, program ID, channel ID and the home record of every device
// through the API, against a direct SQL scan of the same rows in the same
// run. Prints the figures; it does not pass or fail.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <vector>

#include "Site.h"
#include "ovx/ovx.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kDevices = 20000;
constexpr int kHierarchies = 16;
constexpr int kCells = 8;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

json MakeSite() {
    json site = {{"network", "Bench"},
                 {"templates", json::array({{{"name", "VQ"}, {"program_id", "900001013C8A0400"}},
                                            {{"name", "Io"}, {"program_id", "9000010A01020304"}}})}};
    json channels = json::array(), roots = json::array();
    const int per = kDevices / kHierarchies;
    for (int h = 0; h < kHierarchies; ++h) {
        const int nearCh = 2 * h + 1, farCh = 2 * h + 2;
        channels.push_back({{"id", nearCh}, {"name", "Near"}});
        channels.push_back({{"id", farCh}, {"name", "Far"}});
        const std::string hn = "H" + std::to_string(h + 1);
        json root = {
            {"name", hn},
            {"devices", json::array({{{"name", hn + "-VQ"}, {"template", "VQ"}, {"channel", nearCh}}})},
            {"routers", json::array({{{"name", hn + "-R"}, {"near", nearCh}, {"far", farCh}}})},
            {"subsystems", json::array()}};
        std::vector<json> cells(kCells);
        for (int c = 0; c < kCells; ++c)
            cells[c] = {{"name", "Cell" + std::to_string(c + 1)}, {"devices", json::array()}};
        for (int d = 1; d < per; ++d) {
            json dev = {{"name", hn + "-D" + std::to_string(d)},
                        {"template", "Io"},
                        {"channel", d % 2 ? farCh : nearCh},
                        {"location", "L" + std::to_string(d % 99999)}};
            if (d % 10 == 0) dev["home"] = hn + ".Cell1";
            if (d % 5 == 0)
                root["devices"].push_back(dev);
            else
                cells[d % kCells]["devices"].push_back(dev);
        }
        for (auto& c : cells) root["subsystems"].push_back(c);
        roots.push_back(root);
    }
    site["channels"] = channels;
    site["subsystems"] = roots;
    return site;
}

struct Row {
    std::string name, programId;
    std::uint32_t handle = 0;
    int channel = 0, home = 0;
};

std::size_t ApiRead(ovx::System& system, std::vector<Row>& rows) {
    rows.clear();
    std::function<void(ovx::Ptr<ovx::Subsystems>)> walk = [&](ovx::Ptr<ovx::Subsystems> subs) {
        const int n = subs->Count();
        for (int i = 1; i <= n; ++i) {
            auto s = subs->Item(i);
            const std::string name = s->Name();
            if (name == "ALL" || name == "Discovered") continue;
            auto devices = s->GetAppDevices();
            const int count = devices->Count();
            for (int k = 1; k <= count; ++k) {
                auto d = devices->Item(k);
                Row r{d->Name(), d->ProgramId(), d->Handle(), d->GetChannel()->Id(), 0};
                if (auto e = d->GetExtensions()->Item("Quillane_KTW_SubsysHndl")) {
                    const ovx::Value v = e->GetValue();
                    if (auto i = std::get_if<std::int32_t>(&v)) r.home = *i;
                }
                rows.push_back(std::move(r));
            }
            walk(s->GetSubsystems());
        }
    };
    walk(system.GetSubsystems());
    return rows.size();
}

std::size_t SqlRead(const std::string& dbPath, std::vector<Row>& rows) {
    rows.clear();
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT d.name, d.program_id, d.handle, d.channel_id, e.value FROM members m "
                       "JOIN devices d ON d.handle = m.handle "
                       "LEFT JOIN extensions e ON e.device = d.handle AND e.key = 'Quillane_KTW_SubsysHndl' "
                       "WHERE m.kind = 'd' ORDER BY m.rowid",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                        reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                        static_cast<std::uint32_t>(sqlite3_column_int64(st, 2)), sqlite3_column_int(st, 3),
                        sqlite3_column_int(st, 4)});
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows.size();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("bench-ovx-" + std::to_string(::getpid()));
    fs::create_directories(root);
    std::ofstream(root / "site.json") << MakeSite().dump();

    ovxsite::ImportOptions o;
    o.dataFolder = (root / "data").string();
    auto t0 = Clock::now();
    ovxsite::ImportSite((root / "site.json").string(), o);
    auto t1 = Clock::now();
    std::printf("import of %d devices in %d hierarchies: %.0f ms\n", kDevices, kHierarchies, Ms(t0, t1));

    std::vector<double> openMs, apiMs, sqlMs;
    std::vector<Row> rows;
    std::size_t apiRows = 0, sqlRows = 0;
    double maxGap = 0;
    for (int rep = 0; rep < 7; ++rep) {
        auto server = ovx::CreateObjectServer({o.dataFolder});
        auto last = Clock::now();
        server->SetProgressCallback([&] {
            const auto now = Clock::now();
            maxGap = std::max(maxGap, Ms(last, now));
            last = now;
        });
        server->Open();
        auto a = Clock::now();
        last = a;
        auto network = server->GetNetworks()->Item("Bench");
        network->Open();
        auto system = network->GetSystems()->Item(1);
        system->SetOpenMode(2);
        system->Open();
        auto b = Clock::now();
        maxGap = std::max(maxGap, Ms(last, b));
        openMs.push_back(Ms(a, b));
        a = Clock::now();
        apiRows = ApiRead(*system, rows);
        b = Clock::now();
        apiMs.push_back(Ms(a, b));
        a = Clock::now();
        sqlRows = SqlRead(o.dataFolder + "/networks/Bench/network.ovxdb", rows);
        b = Clock::now();
        sqlMs.push_back(Ms(a, b));
    }
    std::printf("open network and system: median %.1f ms (longest gap between progress calls %.1f ms)\n",
                Median(openMs), maxGap);
    std::printf("read through the API: median %.1f ms (%zu device entries)\n", Median(apiMs), apiRows);
    std::printf("direct SQL scan:      median %.1f ms (%zu rows)\n", Median(sqlMs), sqlRows);
    std::printf("API / SQL: %.2f (target at most 5)\n", Median(apiMs) / Median(sqlMs));
    fs::remove_all(root);
    return 0;
}
