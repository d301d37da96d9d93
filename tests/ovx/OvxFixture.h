// A private object-server data folder with one small site imported, and
// helpers to write .xif files and compare database bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "ovx/ovx.h"

namespace ovxtest {

namespace fs = std::filesystem;

// Channels 1 and 2; templates "VQ" (3 NVs, two node-object) and "Io";
// Area1 with VQ1, D1 (housed in Area2), router R1 and the cell Area1.Cell
// listing VQ1 again; Area2 with D1 and D2 (own NV list, channel 9, which
// the network lacks); host "Host" in Area1.
nlohmann::json SmallSite();

std::string ReadBytes(const fs::path& p);
void WriteText(const fs::path& p, const std::string& text);
std::string BinDir();  // where the build puts the programs
// Writes a .xif and, unless packed is false, its .xfb.
void WriteXif(const fs::path& xif, const std::string& programId, bool packed = true);

class OvxFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Imports the site and opens its network and system through the server.
    void ImportAndOpen(const nlohmann::json& site);
    void Reopen();
    fs::path DbFile() const { return dataFolder / "networks" / networkName / "network.ovxdb"; }

    fs::path root;
    fs::path dataFolder;
    std::string networkName;
    std::unique_ptr<ovx::ObjectServer> server;
    ovx::Ptr<ovx::Network> network;
    ovx::Ptr<ovx::System> system;
};

// Runs f and returns the code of the ovx::Error it throws (0 when none).
template <class F>
std::uint32_t CodeOf(F&& f) {
    try {
        f();
    } catch (const ovx::Error& e) {
        return e.code();
    }
    return 0;
}

}  // namespace ovxtest
