// The rules a VQ imposes, one verdict per rule, each on a small site handed
// over in the walk's order. The verdict must come on the call that hands over
// the offending object and name the object it conflicts with.
#include <gtest/gtest.h>

#include <variant>

#include "Compressor.h"
#include "Q70Fixtures.h"
#include "ns2vq/ns2vq.h"

namespace {

using namespace q70test;
using ns2vq::Compressor;

constexpr std::uint32_t kFlags = 0x101;  // what the compression page hands over

struct Step {
    enum Kind { VqCall, DeviceCall, RouterCall } kind;
    ovx::DeviceDetails device;
    ovx::RouterDetails router;
    std::uint32_t flags = kFlags;
};
Step V(ovx::DeviceDetails d, std::uint32_t flags = kFlags) {
    return {Step::VqCall, std::move(d), {}, flags};
}
Step D(ovx::DeviceDetails d, std::uint32_t flags = kFlags) {
    return {Step::DeviceCall, std::move(d), {}, flags};
}
Step R(ovx::RouterDetails r, std::uint32_t flags = kFlags | 1) {
    return {Step::RouterCall, {}, std::move(r), flags};
}

ns2vq::Verdict Apply(Compressor& c, const Step& s) {
    switch (s.kind) {
        case Step::VqCall:
            return c.AddVq(s.device, s.flags);
        case Step::DeviceCall:
            return c.AddDevice(s.device, s.flags);
        default:
            return c.AddRouter(s.router, s.flags);
    }
}

const char* kPid = "9000010A01020304";

ovx::DeviceDetails WithNvs(ovx::DeviceDetails d, std::vector<ovx::NvInfo> nvs, int templateCount) {
    d.nvs = std::move(nvs);
    d.templateNvCount = templateCount;
    return d;
}
ovx::DeviceDetails WithCp(ovx::DeviceDetails d, ovx::Value value, ovx::Value def) {
    d.cps = {{"cpDelay", std::move(value), std::move(def)}};
    return d;
}

struct Case {
    const char* what;
    std::vector<Step> steps;         // every step but the last must be accepted
    std::uint16_t status;            // verdict on the last step
    std::vector<std::string> named;  // texts the verdict must show (object, conflict)
};

TEST(CompressorRules, EachRuleGivesItsVerdictOnTheOffendingObject) {
    const ovx::NvInfo plainNv{"outValue", 2, "count", false};
    const std::vector<Case> cases = {
        // Accepted sites: same program ID told apart by location; the same
        // program ID and location in another hierarchy on another channel.
        {"two devices of one program ID with different locations",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan 1", kPid, "F1", 1)),
          D(Device(3, "Fan 2", kPid, "F2", 1))},
         0,
         {}},
        {"same program ID and location in two hierarchies on two channels",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan A", kPid, "F1", 1)), V(Vq(4, "VQ B", "VB", 3)),
          D(Device(5, "Fan B", kPid, "F1", 3))},
         0,
         {}},
        {"router and far devices",
         {V(Vq(1, "VQ A", "VA", 1)), R(Router(7, "Rtr", 1, 2)), D(Device(2, "Far", kPid, "X", 2))},
         0,
         {}},
        {"device without template keeps its own NVs",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithNvs(Device(2, "Loose", kPid, "L", 1), NodeObjectNvs(), -1))},
         0,
         {}},
        {"without the NV flag the NV rules do not apply",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithNvs(Device(2, "Bare", kPid, "L", 1), {}, 5), 0x100)},
         0,
         {}},
        {"without the CP flag the CP rule does not apply",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithCp(Device(2, "Odd", kPid, "L", 1), {}, {}), 0x001)},
         0,
         {}},

        // 0x2003: same program ID in one hierarchy, one of them without location.
        {"second device has no location",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan 1", kPid, "F1", 1)),
          D(Device(3, "Fan 2", kPid, "", 2))},
         ns2vq::N2VSTS_UNIQUENESS_CONFLICT,
         {"Fan 2", "Fan 1"}},
        {"first device had no location",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan 1", kPid, "", 1)),
          D(Device(3, "Fan 2", kPid, "F2", 2))},
         ns2vq::N2VSTS_UNIQUENESS_CONFLICT,
         {"Fan 2", "Fan 1"}},
        // 0x2010: same program ID and location in one hierarchy, even on different channels.
        {"same program ID and location in one hierarchy",
         {V(Vq(1, "VQ A", "VA", 1)), R(Router(7, "Rtr", 1, 2)), D(Device(2, "Fan 1", kPid, "F1", 1)),
          D(Device(3, "Fan 2", kPid, "F1", 2))},
         ns2vq::N2VSTS_DUPLICATE_IN_HIERARCHY,
         {"Fan 2", "Fan 1"}},
        // 0x2012 and 0x2011: the same across hierarchies, on one shared channel.
        {"same program ID and location on a shared channel",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan A", kPid, "F1", 2)), V(Vq(4, "VQ B", "VB", 3)),
          D(Device(5, "Fan B", kPid, "F1", 2))},
         ns2vq::N2VSTS_DUPLICATE_ON_CHANNEL,
         {"Fan B", "Fan A"}},
        {"no location on a shared channel",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan A", kPid, "F1", 2)), V(Vq(4, "VQ B", "VB", 3)),
          D(Device(5, "Fan B", kPid, "", 2))},
         ns2vq::N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL,
         {"Fan B", "Fan A"}},
        // 0x200E: one VQ per channel.
        {"second hierarchy's VQ on the first VQ's channel",
         {V(Vq(1, "VQ A", "VA", 1)), V(Vq(4, "VQ B", "VB", 1))},
         ns2vq::N2VSTS_SEVERAL_VQS_ON_CHANNEL,
         {"VQ B", "VQ A"}},
        {"a VQ handed over as a device on a VQ's channel",
         {V(Vq(1, "VQ A", "VA", 1)), D(Vq(2, "Stray VQ", "VS", 1))},
         ns2vq::N2VSTS_SEVERAL_VQS_ON_CHANNEL,
         {"Stray VQ", "VQ A"}},
        // 0x2008: a channel the network does not have.
        {"device on an unknown channel",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Lost", kPid, "L", 9))},
         ns2vq::N2VSTS_UNKNOWN_CHANNEL_ID,
         {"Lost", "channel 9"}},
        {"VQ on an unknown channel",
         {V(Vq(1, "VQ A", "VA", 42))},
         ns2vq::N2VSTS_UNKNOWN_CHANNEL_ID,
         {"VQ A", "channel 42"}},
        {"router to an unknown channel",
         {V(Vq(1, "VQ A", "VA", 1)), R(Router(7, "Rtr", 1, 8))},
         ns2vq::N2VSTS_UNKNOWN_CHANNEL_ID,
         {"Rtr", "channel 8"}},
        // 0x2005, 0x200F, 0x2006: device details.
        {"NV count differs from the template",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithNvs(Device(2, "Odd", kPid, "L", 1), NodeObjectNvs(), 3))},
         ns2vq::N2VSTS_NV_COUNT_MISMATCH,
         {"Odd", "has 2 network variables", "has 3"}},
        {"no node-object NVs",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithNvs(Device(2, "Headless", kPid, "L", 1), {plainNv}, 1))},
         ns2vq::N2VSTS_NO_NODE_OBJECT_NVS,
         {"Headless", "node object"}},
        {"no NVs at all on the VQ",
         {V(WithNvs(Vq(1, "VQ A", "VA", 1), {}, 0))},
         ns2vq::N2VSTS_NO_NODE_OBJECT_NVS,
         {"VQ A"}},
        {"CP neither set nor defaulted",
         {V(Vq(1, "VQ A", "VA", 1)), D(WithCp(Device(2, "Odd", kPid, "L", 1), {}, {}))},
         ns2vq::N2VSTS_CP_VALUE_UNAVAILABLE,
         {"Odd", "cpDelay"}},
        // 0x2002: a second router in one hierarchy.
        {"second router in one hierarchy",
         {V(Vq(1, "VQ A", "VA", 1)), R(Router(7, "Rtr 1", 1, 2)), R(Router(8, "Rtr 2", 1, 3))},
         ns2vq::N2VSTS_TWO_LOCAL_ROUTERS,
         {"Rtr 2", "VQ A"}},
        // 0x2007: arguments and order.
        {"device before any VQ",
         {D(Device(2, "Early", kPid, "L", 1))},
         ns2vq::N2VSTS_BAD_PARMS,
         {"Early", "no VQ"}},
        {"router before any VQ", {R(Router(7, "Rtr", 1, 2))}, ns2vq::N2VSTS_BAD_PARMS, {"Rtr", "no VQ"}},
        {"VQ call for a device that is no VQ",
         {V(Device(2, "Fan", kPid, "F", 1))},
         ns2vq::N2VSTS_BAD_PARMS,
         {"Fan", "900001013C8A04"}},
        {"unknown flag bits",
         {V(Vq(1, "VQ A", "VA", 1), 0x10101)},
         ns2vq::N2VSTS_BAD_PARMS,
         {"VQ A", "flags"}},
        {"same device twice",
         {V(Vq(1, "VQ A", "VA", 1)), D(Device(2, "Fan", kPid, "F", 1)), D(Device(2, "Fan", kPid, "F", 1))},
         ns2vq::N2VSTS_BAD_PARMS,
         {"Fan", "twice"}},
        {"same router in two hierarchies",
         {V(Vq(1, "VQ A", "VA", 1)), R(Router(7, "Rtr", 1, 2)), V(Vq(4, "VQ B", "VB", 3)),
          R(Router(7, "Rtr", 1, 2))},
         ns2vq::N2VSTS_BAD_PARMS,
         {"Rtr", "twice"}},
    };
    for (const Case& c : cases) {
        Compressor compressor({1, 2, 3, 4});
        for (std::size_t i = 0; i + 1 < c.steps.size(); ++i) {
            const ns2vq::Verdict v = Apply(compressor, c.steps[i]);
            ASSERT_EQ(v.status, 0) << c.what << ", step " << i << ": " << v.conflict;
        }
        const ns2vq::Verdict v = Apply(compressor, c.steps.back());
        EXPECT_EQ(v.status, c.status) << c.what << ": " << v.object << " / " << v.conflict;
        const std::string shown = v.object + " / " + v.conflict;
        for (const std::string& text : c.named)
            EXPECT_NE(shown.find(text), std::string::npos)
                << c.what << ": \"" << text << "\" not in " << shown;
    }
}

TEST(CompressorRules, OutOfMemoryOnTheDeviceThatCrossesTheLimit) {
    Compressor compressor({1});
    ASSERT_EQ(compressor.AddVq(Vq(1, "VQ A", "VA", 1), kFlags).status, 0);
    // Long, unshareable names make each device cost a few hundred bytes.
    std::uint16_t status = 0;
    std::uint32_t handle = 2;
    std::size_t before = 0;
    for (; handle < 100000 && status == 0; ++handle) {
        before = compressor.ExpandedSize();
        const std::string unique = std::to_string(handle * 2654435761u);
        status =
            compressor
                .AddDevice(Device(handle, unique + std::string(300, 'n'), kPid, std::to_string(handle), 1),
                           kFlags)
                .status;
    }
    EXPECT_EQ(status, ns2vq::N2VSTS_OUT_OF_MEMORY);
    EXPECT_LE(before, ns2vq::kVqDatabaseMemory) << "every accepted device fitted";
    EXPECT_GT(compressor.ExpandedSize(), ns2vq::kVqDatabaseMemory);
}

TEST(CompressorRules, NearAndFarAreDecidedByTheVqChannel) {
    Compressor compressor({1, 2});
    ASSERT_EQ(compressor.AddVq(Vq(1, "VQ", "V", 1), kFlags).status, 0);
    ASSERT_EQ(compressor.AddDevice(Device(2, "Near", kPid, "N", 1), kFlags).status, 0);
    EXPECT_EQ(compressor.LastType(), ns2vq::RecordType::NearDevice);
    ASSERT_EQ(compressor.AddRouter(Router(3, "R", 1, 2), kFlags | 1).status, 0);
    ASSERT_EQ(compressor.AddDevice(Device(4, "Far", kPid, "F", 2), kFlags).status, 0);
    EXPECT_EQ(compressor.LastType(), ns2vq::RecordType::FarDevice);
}

}  // namespace
