#include "OvxFixture.h"

namespace ovxtest {
namespace {

using ovx::Ptr;

// The load side's path: "~~~td" created in a temporary folder, the VQ
// subsystem, a template imported from a .xif, devices added on channel 1.
class TempDatabase : public OvxFixture {
protected:
    void SetUp() override {
        OvxFixture::SetUp();
        server = ovx::CreateObjectServer({dataFolder.string()});
        server->Open();
        network = server->GetNetworks()->Add("~~~td", (root / "tmp" / "~~~td").string(), true);
        network->Open();
        system = network->GetSystems()->Item(1);
        system->Open();
        templates = system->GetTemplateLibrary()->GetDeviceTemplates();
    }
    Ptr<ovx::DeviceTemplates> templates;
};

TEST_F(TempDatabase, TemplateImportAndDevicesSurviveTheProgram) {
    const fs::path xif = root / "import" / "Version 1.0" / "vq.xif";
    WriteXif(xif, "900001013C8A0400");
    auto tmpl = templates->Add("VQ70", 1);
    EXPECT_EQ(tmpl->ProgramId(), "");
    tmpl->Import(xif.string());
    EXPECT_EQ(tmpl->ProgramId(), "900001013C8A0400");

    auto sub = system->GetSubsystems()->Add("VQSubsystem");
    auto devices = sub->GetAppDevices();
    system->StartTransaction();
    for (int i = 0; i < 3; ++i)
        devices->Add("VQ #" + std::to_string(i + 1), tmpl, network->GetChannels()->Item(1));
    system->CommitTransaction();

    server = ovx::CreateObjectServer({dataFolder.string()});
    server->Open();
    network = server->GetNetworks()->Item("~~~td");
    EXPECT_EQ(network->Path(), (root / "tmp" / "~~~td").string());
    network->Open();
    system = network->GetSystems()->Item(1);
    auto vqs = system->GetSubsystems()->Item("VQSubsystem")->GetAppDevices();
    ASSERT_EQ(vqs->Count(), 3);
    EXPECT_EQ(vqs->Item(3)->Name(), "VQ #3");
    EXPECT_EQ(vqs->Item(3)->ProgramId(), "900001013C8A0400");
    EXPECT_EQ(vqs->Item(3)->GetChannel()->Id(), 1);
    const auto details = system->DeviceByHandle(vqs->Item(1)->Handle());
    ASSERT_EQ(details.cps.size(), 3u);
    EXPECT_EQ(std::get<std::string>(details.cps[1].defaultValue), "VQ");
    EXPECT_EQ(details.templateNvCount, 2);
}

TEST_F(TempDatabase, ImportFaultsCarryTheirCodes) {
    const fs::path dir = root / "import";
    WriteXif(dir / "good.xif", "900001013C8A0400");
    WriteXif(dir / "stale.xif", "900001013C8A0401");
    WriteText(dir / "stale.xif", ReadBytes(dir / "stale.xif") + "nv outExtra count\n");
    WriteXif(dir / "nopack.xif", "900001013C8A0402", false);
    WriteText(dir / "bad.xif", "ovx-xif 1\nprogram_id 900001013C8A0403\nnv outX\n");
    WriteText(dir / "bad.xfb", "");
    WriteXif(dir / "same.xif", "900001013C8A0400");
    templates->Add("Taken", 1)->Import((dir / "good.xif").string());

    struct Case {
        const char* file;
        std::uint32_t code;
        const char* inText;  // the description names this
    };
    const Case cases[] = {
        {"missing.xif", ovx::kErrXifUnreadable, "missing.xif"},
        {"bad.xif", ovx::kErrXifUnreadable, "line 3"},
        {"nopack.xif", ovx::kErrXfbMismatch, "nopack.xfb"},
        {"stale.xif", ovx::kErrXfbMismatch, "stale.xfb"},
        {"same.xif", ovx::kErrDuplicateProgramId, "Taken"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto t = templates->Add(std::string("T-") + c.file, 1);
        try {
            t->Import((dir / c.file).string());
            ADD_FAILURE() << "no error";
        } catch (const ovx::Error& e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_NE(e.description().find(c.inText), std::string::npos) << e.description();
        }
        EXPECT_EQ(t->ProgramId(), "");
    }
    // Re-importing the same file into its own template is allowed.
    EXPECT_NO_THROW(templates->Item(1)->Import((dir / "good.xif").string()));
    templates->Remove("t-same.xif");
    EXPECT_EQ(templates->Count(), 5);
}

TEST_F(TempDatabase, RemoveUnregistersAndLeavesTheFolder) {
    const std::string folder = network->Path();
    network->Close();
    server->GetNetworks()->Remove(1);
    EXPECT_EQ(server->GetNetworks()->Count(), 0);
    EXPECT_TRUE(fs::exists(fs::path(folder) / "network.ovxdb"));
    // Registering the folder again finds the same database.
    network = server->GetNetworks()->Add("~~~td", folder, false);
    network->Open();
    EXPECT_EQ(network->GetChannels()->Count(), 1);
}

}  // namespace
}  // namespace ovxtest
