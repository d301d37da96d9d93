// The object server on a VQ field, reached through its default field link:
// a private data folder whose interfaces file names the field (in-process or
// a vqsim daemon), a network with one VQ device, and the system on-net.
#pragma once

#include <filesystem>
#include <string>

#include "FieldFixture.h"
#include "ovx/ovx.h"
#include "vqfield/apb.h"

namespace vqtest {

namespace fs = std::filesystem;

template <class F>
std::uint32_t CodeOf(F&& f) {
    try {
        f();
    } catch (const ovx::Error& e) {
        EXPECT_FALSE(e.description().empty())
            << "error 0x" << std::hex << e.code() << " without a description";
        return e.code();
    }
    return 0;
}

void WriteBytes(const fs::path& p, const vqfield::Bytes& bytes);
vqfield::Bytes ReadBytes(const fs::path& p);

class OvxFieldTest : public FieldTest {
public:  // the table cases reach the fixture from lambdas
    void SetUp() override;
    void TearDown() override;
    // System.Host's interface set to `name`, then SetOffNet(0).
    void GoOnNet(const std::string& name);
    // Writes an .apb of `bodySize` bytes for programId and returns its path.
    fs::path WriteImage(const std::string& file, std::size_t bodySize,
                        const std::string& programId = vqfield::kVq70ProgramId);
    // Bind, image, default CPs, commission: the unit is then ready for transfers.
    void Commissioned();

    fs::path root;
    std::string fieldName;
    std::string unitId;  // the field's one VQ-70, unconfigured
    std::unique_ptr<ovx::ObjectServer> server;
    ovx::Ptr<ovx::Network> network;
    ovx::Ptr<ovx::System> system;
    ovx::Ptr<ovx::Subsystem> subsystem;
    ovx::Ptr<ovx::AppDevice> device;
};

}  // namespace vqtest
