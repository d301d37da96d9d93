// Load setup: the VQ subsystem, the device template from the .xif, and the
// temporary devices of a run.
#include <QFile>

#include "LoadFixture.h"
#include "ovx/errors.h"

namespace loadtest {
namespace {

QStringList DeviceNames(const ovx::Ptr<ovx::Subsystem>& s) {
    QStringList names;
    auto devices = s->GetAppDevices();
    for (int k = 1; k <= devices->Count(); ++k) names << QString::fromStdString(devices->Item(k)->Name());
    return names;
}

QStringList TemplateNames(CSetupContext& c) {
    QStringList names;
    auto t = c.m_loadSystem->GetTemplateLibrary()->GetDeviceTemplates();
    for (int k = 1; k <= t->Count(); ++k) names << QString::fromStdString(t->Item(k)->Name());
    return names;
}

// The VQ subsystem's devices, with a hook after each add.
class HookedDevices : public ovx::AppDevices {
public:
    HookedDevices(ovx::Ptr<ovx::AppDevices> inner, std::function<void(int)> hook)
        : m(std::move(inner)), onAdded(std::move(hook)) {}
    int Count() override { return m->Count(); }
    ovx::Ptr<ovx::AppDevice> Item(int index) override { return m->Item(index); }
    ovx::Ptr<ovx::AppDevice> Item(const std::string& name) override { return m->Item(name); }
    ovx::Ptr<ovx::AppDevice> Add(const std::string& name, ovx::Ptr<ovx::DeviceTemplate> t,
                                 ovx::Ptr<ovx::Channel> ch) override {
        auto d = m->Add(name, std::move(t), std::move(ch));
        onAdded(++added);
        return d;
    }
    void Remove(int index) override {
        if (refuseRemove) throw ovx::Error(ovx::kErrIo, "The database is locked.");
        m->Remove(index);
    }
    ovx::Ptr<ovx::AppDevices> m;
    bool refuseRemove = false;
    std::function<void(int)> onAdded;
    int added = 0;
};

class HookedSubsystem : public ovx::Subsystem {
public:
    HookedSubsystem(ovx::Ptr<ovx::Subsystem> inner, std::function<void(int)> hook)
        : m(std::move(inner)), onAdded(std::move(hook)) {}
    std::string Name() const override { return m->Name(); }
    std::int32_t Handle() const override { return m->Handle(); }
    ovx::Ptr<ovx::AppDevices> GetAppDevices() override {
        auto d = std::make_shared<HookedDevices>(m->GetAppDevices(), onAdded);
        d->refuseRemove = refuseRemove;
        return d;
    }
    ovx::Ptr<ovx::Routers> GetRouters() override { return m->GetRouters(); }
    ovx::Ptr<ovx::Subsystems> GetSubsystems() override { return m->GetSubsystems(); }
    ovx::Ptr<ovx::Subsystem> m;
    std::function<void(int)> onAdded;
    bool refuseRemove = false;
};

TEST_F(LoadTest, OpeningTheLoadSystemPreparesItOnce) {
    OpenLoadSide(1);
    EXPECT_EQ(Ctx().m_loadSubsystem->Name(), "VQSubsystem");
    EXPECT_EQ(Ctx().m_loadSystem->HostId(), "3E5A0D71C2B8");
    ASSERT_EQ(Ctx().AddTemporaryDevices(2), kLoadOk);
    Ctx().m_loadSystem = Counted().m;  // as the context holds it after a reopen
    Ctx().CloseAllDatabases();

    // Opened again: the same subsystem, and no device of the earlier run.
    ASSERT_EQ(Ctx().OpenNetworkDatabase(kTempDbName, 1), kDbOk);
    ASSERT_EQ(Ctx().OpenSystem("VQNET1", 1), kDbOk);
    auto subsystems = Ctx().m_loadSystem->GetSubsystems();
    int named = 0;
    for (int k = 1; k <= subsystems->Count(); ++k) named += subsystems->Item(k)->Name() == "VQSubsystem";
    EXPECT_EQ(named, 1);
    EXPECT_TRUE(DeviceNames(Ctx().m_loadSubsystem).isEmpty());
    EXPECT_EQ(Ctx().m_loadDeviceCount, 0);
    EXPECT_TRUE(prompter.boxes.empty()) << BoxTexts().join("; ").toStdString();
}

TEST_F(LoadTest, TemporaryDevicesAreNamedByIndexInOneTransaction) {
    OpenLoadSide(0);
    ASSERT_EQ(Ctx().AddTemporaryDevices(1), kLoadOk);
    EXPECT_EQ(DeviceNames(Ctx().m_loadSubsystem), QStringList{"vq700"});

    ASSERT_EQ(Ctx().AddTemporaryDevices(11), kLoadOk);
    QStringList expected;
    for (int k = 0; k <= 10; ++k) expected << QString("vq70%1").arg(k);
    EXPECT_EQ(DeviceNames(Ctx().m_loadSubsystem), expected);  // vq709, then vq7010
    EXPECT_EQ(Ctx().m_loadDeviceCount, 11);
    EXPECT_EQ(Counted().starts, 2);
    EXPECT_EQ(Counted().commits, 2);
    EXPECT_EQ(Ctx().m_loadDevices.at(10)->Name(), "vq7010");
}

TEST_F(LoadTest, CancelWhileAddingKeepsTheDevicesAddedSoFar) {
    OpenLoadSide(0);
    Ctx().m_cancelRequested = true;  // an old cancel does not count
    Ctx().m_loadSubsystem = std::make_shared<HookedSubsystem>(Ctx().m_loadSubsystem, [this](int added) {
        if (added == 2) Ctx().RequestCancel();
    });
    EXPECT_EQ(Ctx().AddTemporaryDevices(4), kCancelled);
    ASSERT_EQ(Ctx().m_loadDevices.size(), 4u);
    EXPECT_EQ(Ctx().m_loadDevices[1]->Name(), "vq701");
    EXPECT_FALSE(Ctx().m_loadDevices[2]);
    EXPECT_EQ(Counted().cancels, 1);
    EXPECT_EQ(Counted().openTransactions, 0);
    // The cancelled transaction took the devices out of the database again.
    EXPECT_TRUE(DeviceNames(Ctx().m_loadSubsystem).isEmpty());

    // The run stops before the first VQ.
    Ctx().m_loadSubsystem = std::static_pointer_cast<HookedSubsystem>(Ctx().m_loadSubsystem)->m;
    Counted().afterStartTransaction = [this] { Ctx().RequestCancel(); };
    LoadRequest request;
    request.vqCount = 2;
    request.sarvikIds = {"0102030405A1", "0102030405A2"};
    const LoadRunResult result = Run(request);
    EXPECT_EQ(result.end, LoadRunEnd::DevicesNotAdded);
    EXPECT_EQ(view.lines.last(), "Cannot proceed because failed to add temporary VQ devices.");
}

TEST_F(LoadTest, DeviceNameInUseFailsTheAddWithItsBox) {
    OpenLoadSide(0);
    // A device of that name elsewhere in the database.
    auto other = Ctx().m_loadSystem->GetSubsystems()->Add("Other");
    other->GetAppDevices()->Add("vq701", Ctx().m_deviceTemplate, Ctx().m_loadNetwork->GetChannels()->Item(1));
    EXPECT_EQ(Ctx().AddTemporaryDevices(3), kAddDevicesFailed);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, "Error adding VQ device:\nThe VQ device already exists");
    EXPECT_EQ(prompter.boxes[0].caption, "Error");
    EXPECT_EQ(prompter.boxes[0].icon, MsgIcon::Exclamation);
    ASSERT_EQ(Ctx().m_loadDevices.size(), 3u);
    EXPECT_TRUE(Ctx().m_loadDevices[0]);
    EXPECT_FALSE(Ctx().m_loadDevices[1]);
    EXPECT_EQ(Counted().openTransactions, 0);
}

TEST_F(LoadTest, DevicesThatCannotBeRemovedAreReportedAndTheSystemGoesOnTheWire) {
    OpenLoadSide(0);
    ASSERT_EQ(Ctx().AddTemporaryDevices(2), kLoadOk);
    Ctx().m_loadSystem->SetOffNet(1);
    auto hooked = std::make_shared<HookedSubsystem>(Ctx().m_loadSubsystem, [](int) {});
    hooked->refuseRemove = true;
    Ctx().m_loadSubsystem = hooked;
    Ctx().RemoveTemporaryDevices();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              "Error removing devices from temporary database\nThe database is locked.");
    EXPECT_EQ(prompter.boxes[0].caption, "Error");
    EXPECT_EQ(prompter.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(Ctx().m_loadSystem->OffNet(), 0);
    EXPECT_EQ(Ctx().m_loadDeviceCount, 0);
    EXPECT_TRUE(Ctx().m_loadDevices.empty());
    EXPECT_EQ(DeviceNames(hooked->m), (QStringList{"vq700", "vq701"}));  // still in the database
}

TEST_F(LoadTest, TemplateCases) {
    OpenLoadSide(0);
    const QString files = dir.path() + "/files/";
    auto copyPair = [&](const QString& base, bool withXfb) {
        QFile::copy(files + "vq70.xif", files + base + ".xif");
        if (withXfb) QFile::copy(files + "vq70.xfb", files + base + ".xfb");
        return files + base + ".xif";
    };
    QDir().mkpath(files + "upper");
    const QString upper = files + "upper/VQ70.xif";
    QFile::copy(files + "vq70.xif", upper);
    QFile::copy(files + "vq70.xfb", files + "upper/VQ70.xfb");

    struct Case {
        const char* name;
        QString xif;
        int result;
        QString box;  // empty: none
        MsgIcon icon;
        QStringList templates;  // afterwards
    } cases[] = {
        {"other letter case reuses the template", upper, kDbOk, "", MsgIcon::None, {"vq70"}},
        {"missing .xfb",
         copyPair("nopair", false),
         kTemplateImportFailed,
         "Both the xif file and the xfb file are required\nYou may need to run xifpack on the xif file.",
         MsgIcon::Exclamation,
         {"vq70"}},
        {"duplicate program ID",
         copyPair("twin", true),
         kTemplateImportFailed,
         "A device template already exists with the specified program ID\nEvery device template must have a "
         "unique program ID",
         MsgIcon::Exclamation,
         {"vq70"}},
        {"missing file",
         files + "none.xif",
         kXifInvalid,
         "The xif file you entered is invalid",
         MsgIcon::Exclamation,
         {"vq70"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.boxes.clear();
        const int begins = Counted().begins;
        EXPECT_EQ(Ctx().AddDeviceTemplate(c.xif, 1), c.result);
        if (c.box.isEmpty()) {
            EXPECT_TRUE(prompter.boxes.empty()) << BoxTexts().join("; ").toStdString();
        } else {
            ASSERT_EQ(prompter.boxes.size(), 1u);
            EXPECT_EQ(prompter.boxes[0].text, c.box);
            EXPECT_EQ(prompter.boxes[0].caption, "Error");
            EXPECT_EQ(prompter.boxes[0].icon, c.icon);
        }
        EXPECT_EQ(TemplateNames(Ctx()), c.templates);
        EXPECT_EQ(Counted().begins, begins + 1);
        EXPECT_EQ(Counted().ends, Counted().begins);
        EXPECT_EQ(Ctx().m_xifPath, c.xif);
    }

    // A failed import removes the template of that name, also one that was
    // there before the call.
    QDir().mkpath(files + "broken");
    QFile::copy(files + "vq70.xif", files + "broken/vq70.xif");  // without its .xfb
    prompter.boxes.clear();
    EXPECT_EQ(Ctx().AddDeviceTemplate(files + "broken/vq70.xif", 1), kTemplateImportFailed);
    EXPECT_TRUE(TemplateNames(Ctx()).isEmpty());
    EXPECT_FALSE(Ctx().m_deviceTemplate);
}

}  // namespace
}  // namespace loadtest
