// Reaching a field: endpoints that do not answer, a daemon that dies in the
// middle of a call, peers that send nonsense or never read, and the
// documented wire time.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
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

// A raw connection to a server, speaking frames by hand.
struct RawPeer {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    explicit RawPeer(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(std::uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        const timeval tv{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~RawPeer() { ::close(fd); }
    static std::string Frame(const std::string& text, std::uint32_t textLength,
                             std::uint32_t binaryLength = 0) {
        std::string f(8, '\0');
        for (int i = 0; i < 4; ++i) {
            f[i] = char(textLength >> (8 * i));
            f[4 + i] = char(binaryLength >> (8 * i));
        }
        return f + text;
    }
    static std::string Frame(const std::string& text) { return Frame(text, std::uint32_t(text.size())); }
    bool Send(const std::string& bytes) {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    // The next reply's JSON; null when the connection closed.
    Json Reply() {
        std::uint8_t head[8];
        if (!ReadAll(head, 8)) return nullptr;
        const std::uint32_t jl = head[0] | head[1] << 8 | head[2] << 16 | std::uint32_t(head[3]) << 24;
        const std::uint32_t bl = head[4] | head[5] << 8 | head[6] << 16 | std::uint32_t(head[7]) << 24;
        std::string text(jl, '\0');
        std::string binary(bl, '\0');
        if (!ReadAll(text.data(), jl) || !ReadAll(binary.data(), bl)) return nullptr;
        return Json::parse(text);
    }
    bool ReadAll(void* p, std::size_t n) {
        auto* c = static_cast<char*>(p);
        while (n > 0) {
            const ssize_t k = ::recv(fd, c, n, 0);
            if (k <= 0) return false;
            c += k;
            n -= std::size_t(k);
        }
        return true;
    }
};

// Every kind of bad frame gets a clear error reply; a frame whose lengths are
// out of bounds also ends that connection, any other leaves it serving. The
// daemon serves every other client on.
TEST(Daemon, HostileFramesGetAnErrorReply) {
    auto field = std::make_shared<Field>();
    field->Populate(1);
    Server server(field, 0);
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    struct Case {
        const char* name;
        std::string bytes;
        const char* description;  // a part of the error's description
        bool closes;
    } cases[] = {
        {"text length beyond 1 MiB", RawPeer::Frame("", 0xffffffffu), "over the limit", true},
        {"binary length beyond 8 MiB", RawPeer::Frame("{}", 2, 0x7fffffffu), "over the limit", true},
        {"no text", RawPeer::Frame("", 0), "no JSON text", true},
        {"not JSON", RawPeer::Frame("{{{"), "not JSON", false},
        {"not an object", RawPeer::Frame("[1,2]"), "not a JSON object", false},
        {"bytes after a NUL", RawPeer::Frame(std::string(R"({"op":"status","id":1})") + '\0' + "junk"), "NUL",
         false},
        {"deep nesting", RawPeer::Frame(deep), "nests deeper", false},
        {"no op", RawPeer::Frame(R"({"id":1})"), "no \"op\"", false},
        {"op of the wrong type", RawPeer::Frame(R"({"op":["status"],"id":1})"), "\"op\" must be a text",
         false},
        {"unknown op", RawPeer::Frame(R"({"op":"explode","id":1})"), "Unknown request", false},
        {"id of the wrong type", RawPeer::Frame(R"({"op":"status","id":"one"})"), "\"id\" must be", false},
        {"argument of the wrong type", RawPeer::Frame(R"({"op":"inspect","id":1,"sarvikId":7})"),
         "\"sarvikId\" must be a text", false},
        {"flag of the wrong type",
         RawPeer::Frame(R"({"op":"break","id":1,"sarvikId":"04A100000001","silent":"yes"})"),
         "\"silent\" must be true or false", false},
        {"fraction for an integer", RawPeer::Frame(R"({"op":"write","id":1,"transferId":1.5})"),
         "\"transferId\" must be an integer", false},
        {"integer out of range", RawPeer::Frame(R"({"op":"settings","id":1,"answerTimeoutMs":0})"),
         "from 1 to 60000", false},
        {"huge integer", RawPeer::Frame(R"({"op":"rate","id":1,"bitsPerSecond":18446744073709551615})"),
         "\"bitsPerSecond\" must be an integer", false},
        {"channel out of range", RawPeer::Frame(R"({"op":"add","id":1,"channel":70000})"), "from 1 to 65535",
         false},
        {"cancel without a target", RawPeer::Frame(R"({"op":"cancel","id":1,"target":"all"})"), "\"target\"",
         false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawPeer peer(server.port());
        ASSERT_TRUE(peer.Send(c.bytes));
        const Json reply = peer.Reply();
        ASSERT_TRUE(reply.is_object());
        EXPECT_EQ(reply.value("ok", true), false);
        EXPECT_EQ(reply.value("code", ""), "badValue");
        EXPECT_NE(reply.value("description", "").find(c.description), std::string::npos) << reply.dump();
        if (c.closes) {
            EXPECT_TRUE(peer.Reply().is_null());
        } else {
            ASSERT_TRUE(peer.Send(RawPeer::Frame(R"({"op":"status","id":9})")));
            const Json next = peer.Reply();
            EXPECT_EQ(next.value("id", 0), 9);
            EXPECT_EQ(next.value("ok", false), true);
        }
    }
    Client c(Connect("tcp:127.0.0.1:" + std::to_string(server.port())));
    EXPECT_EQ(c.Units().size(), 1u);
}

int ThreadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

// A client that pipelines thousands of requests and never reads its replies
// gets its sends blocked; the daemon's threads stay few, and another client
// is served meanwhile.
TEST(Daemon, APeerThatNeverReadsIsHeldBack) {
    auto field = std::make_shared<Field>();
    field->Populate(1);
    Server server(field, 0);
    Client admin(Connect("tcp:127.0.0.1:" + std::to_string(server.port())));
    const std::string id = admin.Units().at(0).sarvikId;
    admin.LoadImage(id, MakeApb(kVq70ProgramId, PatternBody(64 * 1024)));  // each inspect returns it
    const int before = ThreadCount();
    RawPeer greedy(server.port());
    const int flags = ::fcntl(greedy.fd, F_GETFL);
    ::fcntl(greedy.fd, F_SETFL, flags | O_NONBLOCK);
    const std::string frame = RawPeer::Frame(R"({"op":"inspect","id":1,"sarvikId":")" + id + R"(","pad":")" +
                                             std::string(4000, 'p') + "\"}");
    const std::size_t total = 20000 * frame.size();
    std::size_t sent = 0;
    auto lastProgress = Clock::now();
    while (sent < total && Clock::now() - lastProgress < std::chrono::seconds(1)) {
        const std::size_t at = sent % frame.size();
        const ssize_t k = ::send(greedy.fd, frame.data() + at, frame.size() - at, MSG_NOSIGNAL);
        if (k > 0) {
            sent += std::size_t(k);
            lastProgress = Clock::now();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_LT(sent, total) << "the daemon kept reading from a peer that reads nothing";
    EXPECT_LE(ThreadCount(), before + 8);
    const auto start = Clock::now();
    Client other(Connect("tcp:127.0.0.1:" + std::to_string(server.port())));
    EXPECT_EQ(other.Units().size(), 1u);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
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
