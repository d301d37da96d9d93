// Reaching a field: endpoints that do not answer, a daemon that dies in the
// middle of a call, a peer that sends nonsense, and the documented wire time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "FieldFixture.h"
#include "vqfield/apb.h"
#include "vqfield/server.h"

using namespace vqfield;
using Clock = std::chrono::steady_clock;

namespace {

using vqtest::CodeOf;

// A socket that listens and never speaks.
struct MuteListener {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    MuteListener() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 4);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~MuteListener() { ::close(fd); }
};

TEST(Endpoint, ThoseThatDoNotAnswer) {
    MuteListener mute;
    int closedPort;
    {
        MuteListener gone;
        closedPort = gone.port;
    }
    struct Case {
        std::string endpoint;
        Code code;
    } cases[] = {
        {"tcp:127.0.0.1:" + std::to_string(closedPort), Code::InterfaceNoAnswer},
        {"tcp:127.0.0.1:" + std::to_string(mute.port), Code::InterfaceNoAnswer},
        {"field:nobody-registered-this", Code::InterfaceNoAnswer},
        {"tcp:127.0.0.1:99999", Code::BadValue},
        {"tcp:127.0.0.1", Code::BadValue},
        {"serial:COM1", Code::BadValue},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.endpoint);
        const auto start = Clock::now();
        EXPECT_EQ(CodeOf([&] { Connect(c.endpoint, 300); }), c.code);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    }
}

TEST(Endpoint, RegisteredInProcessFieldIsFoundByName) {
    auto field = std::make_shared<Field>();
    field->Populate(2);
    RegisterField("bench-a", field);
    Client c(Connect("field:bench-a"));
    EXPECT_EQ(c.Units().size(), 2u);
    UnregisterField("bench-a");
    EXPECT_EQ(CodeOf([] { Connect("field:bench-a"); }), Code::InterfaceNoAnswer);
}

TEST(Daemon, DeathInTheMiddleOfACallIsAnErrorNotAHang) {
    vqtest::Daemon daemon(1);
    Client c(Connect(daemon.endpoint()));
    const std::string id = c.Units().at(0).sarvikId;
    c.SetRate(1, 78125);
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        daemon.Kill();
    });
    const auto start = Clock::now();
    EXPECT_EQ(CodeOf([&] { c.LoadImage(id, MakeApb(kVq70ProgramId, PatternBody(64 * 1024))); }),
              Code::InterfaceNoAnswer);
    killer.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(CodeOf([&] { c.Units(); }), Code::InterfaceNoAnswer);
}

// A frame out of bounds closes that connection only; the daemon serves on.
TEST(Daemon, NonsenseFromOnePeerLeavesOthersServed) {
    auto field = std::make_shared<Field>();
    field->Populate(1);
    Server server(field, 0);
    for (const std::string& junk : {std::string("\xff\xff\xff\xff\x00\x00\x00\x00", 8),
                                    std::string("\x05\x00\x00\x00\x00\x00\x00\x00[1,2]", 13),
                                    std::string("\x03\x00\x00\x00\x00\x00\x00\x00{{{", 11)}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(std::uint16_t(server.port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::send(fd, junk.data(), junk.size(), 0), ssize_t(junk.size()));
        char b;
        EXPECT_EQ(::recv(fd, &b, 1, 0), 0);  // closed by the daemon, no reply
        ::close(fd);
    }
    Client c(Connect("tcp:127.0.0.1:" + std::to_string(server.port())));
    EXPECT_EQ(c.Units().size(), 1u);
}

TEST(WireTime, FramesAndOverheadAsDocumented) {
    using std::chrono::nanoseconds;
    struct Case {
        std::size_t bytes;
        std::uint64_t rate;
        long long ns;
    } cases[] = {
        {0, 0, 0},
        {100000, 0, 0},
        {0, 78125, 1638400},          // one empty frame: 16 bytes
        {228, 78125, 24985600},       // one full frame: 244 bytes
        {229, 78125, 26726400},       // two frames: 229 + 32 bytes
        {65536, 1000000, 561152000},  // 288 frames: 65536 + 4608 bytes
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(WireTime(c.bytes, c.rate), nanoseconds(c.ns));
    }
}

}  // namespace
