// Writing .q70 files for generated sites of 16 hierarchies: the library's
// rule checks, record encoding and zlib compression, without the database
// reads (bench_walk measures the whole run). Counters: file size, expanded
// size, and the size xz -9e gets from the same file in its uncompressed form,
// header included, as method 0 stores it (when xz is installed).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "Compressor.h"
#include "FileBuilder.h"
#include "XzSize.h"
#include "ns2vq/q70.h"

namespace {

constexpr int kHierarchies = 16;

// One kind of device: its template, program ID, network variables and
// configuration values with their template defaults.
struct Kind {
    std::string templateName, programId, prefix;
    std::vector<ovx::NvInfo> nvs;
    std::vector<ovx::CpInfo> cps;
};

std::vector<ovx::NvInfo> WithNodeObject(std::vector<ovx::NvInfo> own) {
    std::vector<ovx::NvInfo> nvs = {{"inRequest", 0, "obj_request", true},
                                    {"outStatus", 1, "obj_status", true}};
    for (auto& nv : own) {
        nv.index = static_cast<int>(nvs.size());
        nvs.push_back(std::move(nv));
    }
    return nvs;
}

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"VavBox",
         "9000010A0B0C0D01",
         "VAV-",
         WithNodeObject({{"inSpaceTemp", 0, "temperature", false},
                         {"inSetpoint", 0, "temperature", false},
                         {"outFlow", 0, "flow", false},
                         {"outDamper", 0, "percent", false}}),
         {{"cpMaxSendTime", std::monostate{}, std::int32_t{60}},
          {"cpMaxFlow", std::monostate{}, std::int32_t{800}},
          {"cpMinFlow", std::monostate{}, std::int32_t{120}}}},
        {"VavBox2",
         "9000010A0B0C0D02",
         "VAV-",
         WithNodeObject({{"inSpaceTemp", 0, "temperature", false},
                         {"inSetpoint", 0, "temperature", false},
                         {"outFlow", 0, "flow", false},
                         {"outDamper", 0, "percent", false},
                         {"outReheat", 0, "percent", false}}),
         {{"cpMaxSendTime", std::monostate{}, std::int32_t{60}},
          {"cpMaxFlow", std::monostate{}, std::int32_t{800}},
          {"cpMinFlow", std::monostate{}, std::int32_t{120}}}},
        {"FanCoil",
         "9000010A0B0C0E01",
         "FCU ",
         WithNodeObject({{"inSpaceTemp", 0, "temperature", false},
                         {"inOccupancy", 0, "occupancy", false},
                         {"outFanSpeed", 0, "switch", false},
                         {"outValve", 0, "percent", false}}),
         {{"cpMaxSendTime", std::monostate{}, std::int32_t{60}},
          {"cpSetpoints", std::monostate{}, std::string("21.0/24.0")}}},
        {"Lighting",
         "9000010A0B0C0F01",
         "Light ",
         WithNodeObject({{"inLamp", 0, "switch", false}, {"outLampFeedback", 0, "switch", false}}),
         {{"cpDefaultOutput", std::monostate{}, std::int32_t{0}},
          {"cpOnDelay", std::monostate{}, std::int32_t{2}}}},
        {"RoomSensor",
         "9000010A0B0C1001",
         "RS-",
         WithNodeObject({{"outSpaceTemp", 0, "temperature", false},
                         {"outHumidity", 0, "percent", false},
                         {"outCo2", 0, "ppm", false}}),
         {{"cpMaxSendTime", std::monostate{}, std::int32_t{300}},
          {"cpOffset", std::monostate{}, std::int32_t{0}}}},
        {"EnergyMeter",
         "9000010A0B0C1101",
         "EM-",
         WithNodeObject({{"outEnergy", 0, "energy", false},
                         {"outPower", 0, "power", false},
                         {"outVoltage", 0, "voltage", false}}),
         {{"cpMaxSendTime", std::monostate{}, std::int32_t{900}}}},
    };
    return kinds;
}

struct Site {
    std::vector<int> channels;
    struct Hierarchy {
        ovx::DeviceDetails vq;
        std::vector<ovx::DeviceDetails> nearDevices;
        ovx::RouterDetails router;
        std::vector<ovx::DeviceDetails> farDevices;
    };
    std::vector<Hierarchy> hierarchies;
};

std::string TwoDigits(int n) {
    std::string s = std::to_string(n);
    if (s.size() < 2) s.insert(s.begin(), '0');
    return s;
}

// The same shape as bench_walk's sites (16 hierarchies: the VQ and the
// devices of the even floors on the hierarchy's own channel, a router, the
// odd floors behind it), with a building's variety: rooms of 2 to 4 devices
// of different kinds sharing the room's location ("F03R12"), names by kind,
// floor and room, an older and a newer VAV template, a fifth of the devices
// with a configuration value set away from its default. Fixed seed.
Site MakeSite(int devices) {
    std::mt19937 rng(7);
    const auto& kinds = Kinds();
    Site site;
    std::uint32_t handle = 1;
    const int perHierarchy = devices / kHierarchies;
    for (int h = 0; h < kHierarchies; ++h) {
        const int nearCh = 2 * h + 1, farCh = 2 * h + 2;
        site.channels.push_back(nearCh);
        site.channels.push_back(farCh);
        const std::string building = "Block " + std::string(1, static_cast<char>('A' + h));
        Site::Hierarchy hier;
        const auto& vqKind = kinds[0];
        hier.vq.handle = handle++;
        hier.vq.name = building + " VQ";
        hier.vq.programId = h % 3 ? "900001013C8A0400" : "900001013C8A0401";
        hier.vq.templateName = "VQ";
        hier.vq.location = "VQ" + TwoDigits(h);
        hier.vq.sarvikId = "04A1" + std::to_string(10000000 + static_cast<int>(rng() % 90000000));
        hier.vq.channelId = nearCh;
        hier.vq.nvs = {vqKind.nvs[0], vqKind.nvs[1]};
        hier.vq.templateNvCount = 2;
        hier.vq.cps = {{"cpSiteCode", std::string("S") + TwoDigits(h), std::monostate{}}};
        hier.router = {static_cast<std::int16_t>(h + 1), building + " Router", nearCh, farCh};
        int made = 1, room = 0;
        while (made < perHierarchy) {
            const int floor = room / 24 + 1, roomOnFloor = room % 24 + 1;
            const std::string location = "F" + TwoDigits(floor) + "R" + TwoDigits(roomOnFloor);
            std::vector<int> order = {0, 2, 3, 4, 5};
            std::shuffle(order.begin(), order.end(), rng);
            const int inRoom = 2 + static_cast<int>(rng() % 3);
            for (int k = 0; k < inRoom && made < perHierarchy; ++k, ++made) {
                const Kind& kind = kinds[order[k] == 0 && rng() % 4 == 0 ? 1 : order[k]];
                ovx::DeviceDetails d;
                d.handle = handle++;
                d.name = kind.prefix + std::string(1, static_cast<char>('A' + h)) + TwoDigits(floor) + "-" +
                         TwoDigits(roomOnFloor);
                d.programId = kind.programId;
                d.templateName = kind.templateName;
                d.location = location;
                d.channelId = floor % 2 == 0 ? nearCh : farCh;
                d.nvs = kind.nvs;
                d.templateNvCount = static_cast<int>(kind.nvs.size());
                d.cps = kind.cps;
                if (rng() % 5 == 0) {
                    auto& cp = d.cps[rng() % d.cps.size()];
                    if (const auto* n = std::get_if<std::int32_t>(&cp.defaultValue))
                        cp.value = std::int32_t{*n + 10 * static_cast<std::int32_t>(1 + rng() % 6)};
                    else
                        cp.value = std::string("20.0/25.0");
                }
                (d.channelId == nearCh ? hier.nearDevices : hier.farDevices).push_back(std::move(d));
            }
            ++room;
        }
        site.hierarchies.push_back(std::move(hier));
    }
    return site;
}

struct Written {
    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> payload;
    std::vector<std::uint8_t> stored;  // the same file uncompressed (method 0)
};

Written Write(const Site& site) {
    ns2vq::Compressor c(site.channels);
    for (const auto& h : site.hierarchies) {
        if (c.AddVq(h.vq, 0x101).status) std::abort();
        for (const auto& d : h.nearDevices)
            if (c.AddDevice(d, 0x101).status) std::abort();
        if (c.AddRouter(h.router, 0x101).status) std::abort();
        for (const auto& d : h.farDevices)
            if (c.AddDevice(d, 0x101).status) std::abort();
    }
    Written w;
    const ns2vq::detail::Payload payload = c.Payload();
    w.payload = payload.bytes;
    w.file = ns2vq::detail::BuildFile(ns2vq::kQ70Creator, 1, 0, c.Sections(), payload);
    w.stored = ns2vq::detail::BuildFile(ns2vq::kQ70Creator, 1, 0, c.Sections(), payload, false);
    return w;
}

void BM_WriteQ70(benchmark::State& state) {
    const Site site = MakeSite(static_cast<int>(state.range(0)));
    Written w;
    for (auto _ : state) {
        w = Write(site);
        benchmark::DoNotOptimize(w.file.data());
    }
    if (ns2vq::ReadFile(w.file.data(), w.file.size()).status != 0)
        state.SkipWithError("file does not verify");
    state.counters["q70_bytes"] = static_cast<double>(w.file.size());
    state.counters["expanded_bytes"] = static_cast<double>(w.payload.size() + ns2vq::kQ70HeaderSize);
    state.counters["xz9e_bytes"] = benchq70::XzSize(w.stored);
    state.counters["devices"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_WriteQ70)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ReadQ70(benchmark::State& state) {
    const Written w = Write(MakeSite(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        ns2vq::Q70File f;
        benchmark::DoNotOptimize(ns2vq::ReadFile(w.file.data(), w.file.size(), &f).status);
    }
}
BENCHMARK(BM_ReadQ70)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
