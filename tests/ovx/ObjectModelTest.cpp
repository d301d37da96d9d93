#include <map>

#include "OvxFixture.h"

namespace ovxtest {
namespace {

using ovx::Ptr;

class ObjectModel : public OvxFixture {
protected:
    void SetUp() override {
        OvxFixture::SetUp();
        ImportAndOpen(SmallSite());
    }
    Ptr<ovx::Subsystems> Top() { return system->GetSubsystems(); }
};

TEST_F(ObjectModel, SubsystemsAreFoundByNameAndDottedPathIgnoringCase) {
    struct Case {
        std::string path;
        std::string name;  // empty: not found
    };
    const Case cases[] = {
        {"Area1", "Area1"},
        {"area1.CELL", "Cell"},
        {"ALL", "ALL"},
        {"All", "ALL"},
        {"Discovered.Uninstalled", "Uninstalled"},
        {"Area2.Cell", ""},
        {"Area1.", ""},
        {"Nowhere", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.name.empty()) {
            EXPECT_EQ(CodeOf([&] { Top()->Item(c.path); }), ovx::kErrNotFound);
        } else {
            EXPECT_EQ(Top()->Item(c.path)->Name(), c.name);
        }
    }
    // Top level in order: the built-ins, then the site's hierarchies; 1-based.
    std::vector<std::string> names;
    for (int i = 1; i <= Top()->Count(); ++i) names.push_back(Top()->Item(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"ALL", "Discovered", "Area1", "Area2"}));
    EXPECT_EQ(CodeOf([&] { Top()->Item(0); }), ovx::kErrNotFound);
    EXPECT_EQ(CodeOf([&] { Top()->Item(5); }), ovx::kErrNotFound);
}

TEST_F(ObjectModel, DevicesCarryWhatTheWalkReads) {
    auto area1 = Top()->Item("Area1");
    auto area2 = Top()->Item("Area2");
    auto devices = area1->GetAppDevices();
    ASSERT_EQ(devices->Count(), 3);  // VQ1, D1, then the host
    auto vq = devices->Item(1);
    EXPECT_EQ(vq->Name(), "VQ1");
    EXPECT_EQ(vq->ProgramId(), "900001013C8A0400");
    EXPECT_EQ(vq->GetChannel()->Id(), 1);
    EXPECT_EQ(vq->SarvikId(), "0102030405A6");
    EXPECT_EQ(vq->GetExtensions()->Item("Quillane_KTW_SubsysHndl"), nullptr);

    auto d1 = devices->Item(2);
    auto home = d1->GetExtensions()->Item("quillane_ktw_subsyshndl");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(std::get<std::int32_t>(home->GetValue()), area2->Handle());
    EXPECT_EQ(std::get<std::string>(d1->GetExtensions()->Item("Note")->GetValue()), "hi");

    EXPECT_EQ(devices->Item(3)->Handle(), system->HostHandle());
    // The same device listed twice is one device.
    EXPECT_EQ(Top()->Item("Area1.Cell")->GetAppDevices()->Item(1)->Handle(), vq->Handle());
    EXPECT_EQ(area2->GetAppDevices()->Item(1)->Handle(), d1->Handle());
    EXPECT_EQ(area2->GetRouters()->Item(1)->Handle(), area1->GetRouters()->Item(1)->Handle());
    // "ALL" lists every device once.
    EXPECT_EQ(Top()->Item("ALL")->GetAppDevices()->Count(), 4);
}

TEST_F(ObjectModel, HandlesStayTheSameAcrossOpens) {
    std::map<std::string, std::uint32_t> before;
    auto all = Top()->Item("ALL")->GetAppDevices();
    for (int i = 1; i <= all->Count(); ++i) before[all->Item(i)->Name()] = all->Item(i)->Handle();
    const auto sub = Top()->Item("Area1.Cell")->Handle();
    const auto router = Top()->Item("Area1")->GetRouters()->Item(1)->Handle();
    const auto host = system->HostHandle();
    Reopen();
    all = Top()->Item("ALL")->GetAppDevices();
    for (int i = 1; i <= all->Count(); ++i)
        EXPECT_EQ(before.at(all->Item(i)->Name()), all->Item(i)->Handle());
    EXPECT_EQ(Top()->Item("Area1.Cell")->Handle(), sub);
    EXPECT_EQ(Top()->Item("Area1")->GetRouters()->Item(1)->Handle(), router);
    EXPECT_EQ(system->HostHandle(), host);
}

TEST_F(ObjectModel, DeviceDetailsGiveTheCompressorItsCases) {
    auto all = Top()->Item("ALL")->GetAppDevices();
    const auto vq = system->DeviceByHandle(all->Item("VQ1")->Handle());
    EXPECT_EQ(vq.location, "VQLOC");
    EXPECT_EQ(vq.templateName, "VQ");
    EXPECT_EQ(vq.templateNvCount, 3);
    ASSERT_EQ(vq.nvs.size(), 3u);
    EXPECT_TRUE(vq.nvs[0].nodeObject);
    EXPECT_FALSE(vq.nvs[2].nodeObject);
    ASSERT_EQ(vq.cps.size(), 2u);
    EXPECT_EQ(std::get<std::int32_t>(vq.cps[0].value), 30);  // set on the device
    EXPECT_EQ(std::get<std::int32_t>(vq.cps[0].defaultValue), 60);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(vq.cps[1].value));  // neither value nor default
    EXPECT_TRUE(std::holds_alternative<std::monostate>(vq.cps[1].defaultValue));

    // Own NV list shorter than the template's, no node-object NV, and a
    // channel the network does not have.
    const auto d2 = system->DeviceByHandle(all->Item("D2")->Handle());
    EXPECT_EQ(d2.programId, "9000010A01020305");
    EXPECT_EQ(d2.templateNvCount, 3);
    ASSERT_EQ(d2.nvs.size(), 1u);
    EXPECT_FALSE(d2.nvs[0].nodeObject);
    EXPECT_EQ(d2.channelId, 9);
    EXPECT_EQ(system->ChannelIds(), (std::vector<int>{1, 2}));

    const auto r = system->RouterByHandle(Top()->Item("Area1")->GetRouters()->Item(1)->Handle());
    EXPECT_EQ(r.name, "R1");
    EXPECT_EQ(r.nearChannelId, 1);
    EXPECT_EQ(r.farChannelId, 2);
    EXPECT_EQ(CodeOf([&] { system->DeviceByHandle(999999); }), ovx::kErrNotFound);
    EXPECT_EQ(CodeOf([&] { system->RouterByHandle(999); }), ovx::kErrNotFound);
}

TEST_F(ObjectModel, TakenNamesAreRefusedWithTheNameInUseCode) {
    auto tmpl = system->GetTemplateLibrary()->GetDeviceTemplates()->Item(1);
    auto ch = network->GetChannels()->Item(1);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"subsystem", [&] { Top()->Add("area1"); }},
        {"child subsystem", [&] { Top()->Item("Area1")->GetSubsystems()->Add("CELL"); }},
        {"device", [&] { Top()->Item("Area2")->GetAppDevices()->Add("vq1", tmpl, ch); }},
        {"template", [&] { system->GetTemplateLibrary()->GetDeviceTemplates()->Add("io", 1); }},
        {"network", [&] { server->GetNetworks()->Add("PLANT", (root / "other").string(), true); }},
    };
    for (const auto& [what, call] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(CodeOf(call), ovx::kErrNameInUse);
    }
    EXPECT_EQ(Top()->Item("ALL")->GetAppDevices()->Count(), 4);
}

TEST_F(ObjectModel, RemovingFromOneSubsystemKeepsTheDeviceListedElsewhere) {
    auto cell = Top()->Item("Area1.Cell")->GetAppDevices();
    cell->Remove(1);
    EXPECT_EQ(cell->Count(), 0);
    EXPECT_NO_THROW(Top()->Item("ALL")->GetAppDevices()->Item("VQ1"));
    // D2 is only in Area2: removing it there deletes it.
    auto area2 = Top()->Item("Area2")->GetAppDevices();
    area2->Remove(2);
    EXPECT_EQ(CodeOf([&] { Top()->Item("ALL")->GetAppDevices()->Item("D2"); }), ovx::kErrNotFound);
    Top()->Item("Area2")->GetRouters()->Remove(1);
    EXPECT_EQ(Top()->Item("Area2")->GetRouters()->Count(), 0);
    EXPECT_EQ(Top()->Item("Area1")->GetRouters()->Count(), 1);
    Reopen();
    EXPECT_EQ(Top()->Item("ALL")->GetAppDevices()->Count(), 3);
    EXPECT_EQ(Top()->Item("Area1.Cell")->GetAppDevices()->Count(), 0);
}

TEST_F(ObjectModel, DeviceOperationsOffNetSayTheSystemIsOffNet) {
    auto vq = Top()->Item("Area1")->GetAppDevices()->Item(1);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"Load", [&] { vq->Load(); }},
        {"Commission", [&] { vq->Commission(); }},
        {"Wink", [&] { vq->Wink(); }},
        {"LoadDefaultCps", [&] { vq->LoadDefaultCps(1); }},
        {"GetMode", [&] { system->GetMode(); }},
        {"PrepareDiscovery", [&] { system->PrepareDiscovery(true, "x"); }},
        {"Transfer", [&] { system->GetTransfer()->Open(vq); }},
        {"SendFileToDevice",
         [&] {
             system->SendFileToDevice(vq->Handle(), 5, {1, 2, 3});
         }},
    };
    for (const auto& [what, call] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(CodeOf(call), ovx::kErrOffNet);
    }
    // What the database holds works off-net and is stored.
    vq->SetAppImagePath("/img/vq.apb");
    vq->SetState(12);
    EXPECT_EQ(CodeOf([&] { vq->SetSarvikId("12345"); }), ovx::kErrBadValue);
    vq->SetSarvikId("AABBCCDDEEFF");
    Reopen();
    vq = Top()->Item("Area1")->GetAppDevices()->Item(1);
    EXPECT_EQ(vq->AppImagePath(), "/img/vq.apb");
    EXPECT_EQ(vq->State(), 12);
    EXPECT_EQ(vq->SarvikId(), "AABBCCDDEEFF");
}

TEST_F(ObjectModel, InterfacesComeFromTheDataFolderAndNonNsiIsRefused) {
    WriteText(dataFolder / "interfaces.json",
              R"({"interfaces": [{"name": "VQNET1", "nsi": true, "endpoint": "field:plant"},
                                 {"name": "Card2", "nsi": false, "endpoint": "tcp:127.0.0.1:4100"}]})");
    server = ovx::CreateObjectServer({dataFolder.string()});
    server->Open();
    auto nis = server->GetNetworkInterfaces();
    ASSERT_EQ(nis->Count(), 2);
    EXPECT_EQ(nis->Item(1)->Endpoint(), "field:plant");
    EXPECT_FALSE(nis->Item("card2")->IsNsi());
    EXPECT_EQ(CodeOf([&] { nis->Item("LON9"); }), ovx::kErrNotFound);

    network = server->GetNetworks()->Item("Plant");
    network->Open();
    system = network->GetSystems()->Item(1);
    system->Host()->SetNetworkInterface(nis->Item("Card2"));
    system->SetOpenMode(2);
    system->Open();
    EXPECT_EQ(CodeOf([&] { system->SetOffNet(0); }), ovx::kErrNotAnNsi);
    EXPECT_EQ(system->OffNet(), 1);
    EXPECT_TRUE(network->IsOpen());
}

}  // namespace
}  // namespace ovxtest
