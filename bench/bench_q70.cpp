// Writing .q70 files for generated sites of 16 hierarchies: the library's
// rule checks, record encoding and zlib compression, without the database
// reads (bench_walk measures the whole run). Counters: file size, expanded
// size, and the size xz -9e gets from the same records in their uncompressed
// form (when xz is installed).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Compressor.h"
#include "FileBuilder.h"
#include "ns2vq/q70.h"

namespace {

constexpr int kHierarchies = 16;

std::string Location(int i) {
    static const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    do {
        s.insert(s.begin(), digits[i % 36]);
        i /= 36;
    } while (i);
    return s;
}

ovx::DeviceDetails Device(std::uint32_t handle, std::string name, std::string pid, std::string tmpl,
                          std::string location, int channel) {
    ovx::DeviceDetails d;
    d.handle = handle;
    d.name = std::move(name);
    d.programId = std::move(pid);
    d.templateName = std::move(tmpl);
    d.location = std::move(location);
    d.channelId = channel;
    d.nvs = {{"nviRequest", 0, "SNVT_obj_request", true},
             {"nvoStatus", 1, "SNVT_obj_status", true},
             {"nvoValue", 2, "SNVT_count", false}};
    d.templateNvCount = 3;
    d.cps = {{"SCPTmaxSendTime", std::monostate{}, std::int32_t{60}}};
    return d;
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

// The same shape as bench_walk's sites: the VQ and half of the devices on the
// hierarchy's own channel, a router, the other half behind it.
Site MakeSite(int devices) {
    Site site;
    std::uint32_t handle = 1;
    int serial = 0;
    const int perHierarchy = devices / kHierarchies;
    for (int h = 0; h < kHierarchies; ++h) {
        const int nearCh = 2 * h + 1, farCh = 2 * h + 2;
        site.channels.push_back(nearCh);
        site.channels.push_back(farCh);
        const std::string name = "H" + std::to_string(h + 1);
        Site::Hierarchy hier;
        hier.vq = Device(handle++, name + "-VQ", "900001013C8A0400", "VQ", "VQ", nearCh);
        hier.router = {static_cast<std::int16_t>(h + 1), name + "-R", nearCh, farCh};
        for (int d = 1; d < perHierarchy; ++d) {
            const bool near = d % 2 == 0;
            auto dev = Device(handle++, name + "-D" + std::to_string(d), "9000010A01020304", "Io",
                              Location(serial++), near ? nearCh : farCh);
            (near ? hier.nearDevices : hier.farDevices).push_back(std::move(dev));
        }
        site.hierarchies.push_back(std::move(hier));
    }
    return site;
}

struct Written {
    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> payload;
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
    w.payload = c.Payload();
    w.file = ns2vq::detail::BuildFile(ns2vq::kQ70Creator, 1, 0, c.Sections(), w.payload);
    return w;
}

// Size of xz -9e's output for these bytes, or -1 without xz.
double XzSize(const std::vector<std::uint8_t>& bytes) {
    const auto path = std::filesystem::temp_directory_path() / ("bench_q70_" + std::to_string(bytes.size()));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::string cmd = "xz -9e -c '" + path.string() + "' 2>/dev/null | wc -c";
    double size = -1;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        long n = 0;
        if (std::fscanf(p, "%ld", &n) == 1 && n > 0) size = static_cast<double>(n);
        pclose(p);
    }
    std::filesystem::remove(path);
    return size;
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
    state.counters["xz9e_bytes"] = XzSize(w.payload);
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
