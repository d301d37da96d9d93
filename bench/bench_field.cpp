// Loading one VQ through the object server over TCP to a vqsim daemon.
//
// 1. Unlimited rate: the time of the whole load sequence (64 KiB image,
//    default CPs, commission, online, node object off, 578-byte event list,
//    1 KiB program, 32 KiB database in 1 KiB chunks, node object on, offline),
//    median of 20 runs. Target: under 50 ms.
// 2. At 78,125 bit/s: the image load and the database send, measured against
//    the wire time the channel's rate and per-frame overhead predict
//    (vqfield::WireTime; docs/wire.md). Target: within 10%.
// Prints the figures; it does not pass or fail.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ovx/ovx.h"
#include "vqfield/apb.h"
#include "vqfield/client.h"
#include "vqfield/daemon.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vqfield::Bytes;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A database the unit accepts: the compressed-database header (magic,
// version, sizes, checksum) over a pattern payload of `size` bytes in all.
Bytes Database(std::size_t size) {
    Bytes b(size, 0);
    const std::uint8_t magic[4] = {0x51, 0x37, 0x30, 0x1A};
    std::copy(magic, magic + 4, b.begin());
    b[4] = 1;
    b[6] = 48;
    const Bytes body = vqfield::PatternBody(size - 48, 5);
    std::copy(body.begin(), body.end(), b.begin() + 48);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
    };
    put(32, std::uint32_t(body.size()));
    put(36, std::uint32_t(body.size()));
    std::uint32_t crc = vqfield::Crc32(b.data(), 44);
    crc = vqfield::Crc32(body.data(), body.size(), crc);
    put(44, crc);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path bin = fs::absolute(fs::path(argv[0])).parent_path();
    const std::string vqsim = argc > 1 ? argv[1] : (bin / "vqsim").string();
    const fs::path root = fs::temp_directory_path() / ("bench-field-" + std::to_string(getpid()));
    fs::create_directories(root / "data");
    int rc = 0;
    try {
        const vqfield::DaemonProcess daemon(vqsim, 0);
        const std::string endpoint = daemon.endpoint();
        vqfield::Client admin(vqfield::Connect(endpoint));
        const std::string unit = admin.AddUnit(vqfield::kVq70ProgramId);
        std::ofstream(root / "data" / "interfaces.json")
            << R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": ")" + endpoint + "\"}]}";

        const Bytes image = vqfield::MakeApb(vqfield::kVq70ProgramId, vqfield::PatternBody(64 * 1024 - 32));
        {
            std::ofstream f(root / "app.apb", std::ios::binary);
            f.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        }
        Bytes events(578);
        for (std::size_t i = 0; i < events.size(); ++i) events[i] = std::uint8_t(i * 7 + 3);
        const Bytes program = vqfield::PatternBody(1024, 3);
        const Bytes database = Database(32 * 1024);

        ovx::ServerOptions opts;
        opts.dataFolder = (root / "data").string();
        auto server = ovx::CreateObjectServer(opts);
        server->Open();
        auto network = server->GetNetworks()->Add("Load", (root / "load").string(), true);
        network->Open();
        auto system = network->GetSystems()->Item(1);
        system->Open();
        auto device = system->GetSubsystems()
                          ->Add("VQSubsystem")
                          ->GetAppDevices()
                          ->Add("VQ 1", nullptr, network->GetChannels()->Item(1));
        system->Host()->SetNetworkInterface(server->GetNetworkInterfaces()->Item("VQNET1"));
        system->SetOffNet(0);
        device->SetSarvikId(unit);
        device->SetAppImagePath((root / "app.apb").string());

        auto send = [&](int kind, const Bytes& bytes) {
            auto t = system->GetTransfer();
            t->Open(device);
            t->SetMode(kind);
            t->Write(bytes);
            t->Close();
        };
        // Each step's time is kept too, to show where the time goes.
        std::vector<std::pair<const char*, std::vector<double>>> steps;
        auto step = [&](std::size_t i, const char* name, auto&& f) {
            if (steps.size() <= i) steps.emplace_back(name, std::vector<double>{});
            const auto t0 = Clock::now();
            f();
            steps[i].second.push_back(Ms(Clock::now() - t0));
        };
        auto sequence = [&] {
            auto node = device->GetInterface()->GetFunctionalBlocks()->Item(1);
            step(0, "Load (64 KiB image)", [&] { device->Load(); });
            step(1, "LoadDefaultCps", [&] { device->LoadDefaultCps(3); });
            step(2, "Commission", [&] { device->Commission(); });
            step(3, "State 4", [&] { device->SetState(4); });
            step(4, "node object off", [&] { node->SetDisabled(1); });
            step(5, "event list (578 B)", [&] { send(4, events); });
            step(6, "program (1 KiB)", [&] { send(8, program); });
            step(7, "database (32 KiB, 1 KiB chunks)",
                 [&] { system->SendFileToDevice(device->Handle(), 5, database, 1024, 3); });
            step(8, "node object on", [&] { node->SetDisabled(0); });
            step(9, "State 12", [&] { device->SetState(12); });
        };
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };

        sequence();  // warm-up, and a check that the unit kept it all
        const vqfield::UnitMemory m = admin.Inspect(unit);
        if (m.image != image || m.eventList != events || m.program != program || m.database != database)
            throw std::runtime_error("the unit's memory differs from what was sent");
        steps.clear();
        std::vector<double> runs;
        for (int i = 0; i < 20; ++i) {
            const auto t0 = Clock::now();
            sequence();
            runs.push_back(Ms(Clock::now() - t0));
        }
        std::sort(runs.begin(), runs.end());
        std::printf(
            "unlimited rate, TCP to vqsim: load of one VQ (64 KiB image, 578 B event list, 1 KiB program, "
            "32 KiB database)\n  median %.2f ms, min %.2f ms, max %.2f ms over %zu runs (target < 50 ms)\n",
            runs[runs.size() / 2], runs.front(), runs.back(), runs.size());
        for (const auto& [name, times] : steps)
            std::printf("    %-34s median %7.2f ms\n", name, median(times));

        constexpr std::uint64_t kRate = 78125;
        admin.SetRate(1, kRate);
        auto t0 = Clock::now();
        device->Load();
        const double loadMs = Ms(Clock::now() - t0);
        const double loadPredicted = Ms(vqfield::WireTime(image.size(), kRate));
        device->LoadDefaultCps(3);
        device->Commission();
        t0 = Clock::now();
        system->SendFileToDevice(device->Handle(), 5, database, 1024, 3);
        const double dbMs = Ms(Clock::now() - t0);
        // Opening and closing each cost one empty frame; every chunk is its own request.
        double dbPredicted = 2 * Ms(vqfield::WireTime(0, kRate));
        for (std::size_t at = 0; at < database.size(); at += 1024)
            dbPredicted += Ms(vqfield::WireTime(std::min<std::size_t>(1024, database.size() - at), kRate));
        std::printf("78,125 bit/s (%zu data bytes and %zu bytes of framing per frame):\n",
                    vqfield::kFramePayload, vqfield::kFrameOverhead);
        std::printf("  image load  %8.1f ms measured, %8.1f ms predicted, %+5.1f%%\n", loadMs, loadPredicted,
                    100.0 * (loadMs - loadPredicted) / loadPredicted);
        std::printf("  database    %8.1f ms measured, %8.1f ms predicted, %+5.1f%%\n", dbMs, dbPredicted,
                    100.0 * (dbMs - dbPredicted) / dbPredicted);
        system->SetOffNet(1);
        system->Close();
    } catch (const ovx::Error& e) {
        std::fprintf(stderr, "bench_field: 0x%08X %s\n", e.code(), e.description().c_str());
        rc = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_field: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(root);
    return rc;
}
