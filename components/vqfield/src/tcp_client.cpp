// The TCP transport: one reader thread takes replies and events off the
// socket; callers wait for their reply in 50 ms slices so progress keeps
// flowing, and give up when the daemon has been silent too long.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <thread>

#include "vqfield/client.h"
#include "wire.h"

namespace vqfield {
namespace {

using Clock = std::chrono::steady_clock;
// The daemon sends a keep-alive every 500 ms while a request runs; this much
// silence means it is gone.
constexpr auto kSilence = std::chrono::seconds(5);

struct Reply {
    bool done = false;
    Json json;
    Bytes binary;
    Clock::time_point heard;
};

class TcpTransport : public Transport {
public:
    explicit TcpTransport(int fd) : fd_(fd) {
        reader_ = std::thread([this] { ReadLoop(); });
    }
    ~TcpTransport() override {
        ::shutdown(fd_, SHUT_RDWR);
        reader_.join();
        ::close(fd_);
    }

    Json Call(const Json& request, const Bytes& in, Bytes* out, const CallOptions& opts) override {
        std::unique_lock lock(mutex_);
        if (closed_) throw FieldError(Code::InterfaceNoAnswer, "The connection to the field is closed.");
        const std::uint64_t id = nextId_++;
        Json req = request;
        req["id"] = id;
        auto& reply = pending_[id];
        reply.heard = Clock::now();
        lock.unlock();
        if (!Send(req, in)) {
            lock.lock();
            pending_.erase(id);
            throw FieldError(Code::InterfaceNoAnswer, "The connection to the field is closed.");
        }
        lock.lock();
        bool cancelSent = false;
        for (;;) {
            // A reply that came in before this thread got back to the lock is
            // seen at once, not after a whole slice.
            cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return pending_[id].done || closed_; });
            Reply& r = pending_[id];
            if (r.done) break;
            if (closed_ || Clock::now() - r.heard > kSilence) {
                pending_.erase(id);
                throw FieldError(Code::InterfaceNoAnswer, "The field stopped answering.");
            }
            if (opts.cancel && opts.cancel->load() && !cancelSent) {
                cancelSent = true;
                lock.unlock();
                Send({{"op", "cancel"}, {"target", id}}, {});
                lock.lock();
                continue;
            }
            if (opts.progress) {
                lock.unlock();
                opts.progress();
                lock.lock();
            }
        }
        Reply r = std::move(pending_[id]);
        pending_.erase(id);
        lock.unlock();
        if (!r.json.value("ok", false)) {
            Code code = Code::BadValue;
            CodeFromName(r.json.value("code", ""), &code);
            throw FieldError(code, r.json.value("description", "The field refused the request."));
        }
        if (out) *out = std::move(r.binary);
        return r.json.value("result", Json::object());
    }

    void SetEventSink(std::function<void(const Json&)> sink) override {
        const bool on = bool(sink);
        {
            std::lock_guard lock(mutex_);
            sink_ = std::move(sink);
        }
        Call({{"op", on ? "subscribe" : "unsubscribe"}}, {}, nullptr, {});
    }

private:
    bool Send(const Json& j, const Bytes& b) {
        std::lock_guard lock(writeMutex_);
        return wire::WriteFrame(fd_, j, b);
    }

    void ReadLoop() {
        Json j;
        Bytes b;
        while (wire::ReadFrame(fd_, &j, &b)) {
            if (j.contains("event")) {
                std::function<void(const Json&)> sink;
                {
                    std::lock_guard lock(mutex_);
                    sink = sink_;
                }
                if (sink) sink(j);
                continue;
            }
            std::lock_guard lock(mutex_);
            auto it = pending_.find(j.value("id", std::uint64_t(0)));
            if (it == pending_.end()) continue;
            it->second.heard = Clock::now();
            if (j.value("pending", false)) continue;
            it->second.done = true;
            it->second.json = std::move(j);
            it->second.binary = std::move(b);
            cv_.notify_all();
        }
        std::lock_guard lock(mutex_);
        closed_ = true;
        cv_.notify_all();
    }

    int fd_;
    std::thread reader_;
    std::mutex mutex_, writeMutex_;
    std::condition_variable cv_;
    std::map<std::uint64_t, Reply> pending_;
    std::uint64_t nextId_ = 1;
    bool closed_ = false;
    std::function<void(const Json&)> sink_;
};

}  // namespace

std::unique_ptr<Transport> ConnectTcp(const std::string& host, int port, int timeoutMs) {
    const std::string where = host + ":" + std::to_string(port);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    if (::inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &addr.sin_addr) != 1)
        throw FieldError(Code::BadValue, "Not an IPv4 address: \"" + host + "\"");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw FieldError(Code::InterfaceNoAnswer, "No socket for " + where + ".");
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        rc = (::poll(&p, 1, timeoutMs) > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 &&
              err == 0)
                 ? 0
                 : -1;
    }
    if (rc < 0) {
        ::close(fd);
        throw FieldError(Code::InterfaceNoAnswer, "No field answers at " + where + ".");
    }
    ::fcntl(fd, F_SETFL, flags);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Something listening is not yet a field: it must answer the greeting, in time.
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (!wire::WriteFrame(fd, {{"op", "hello"}, {"id", 0}}, {}) ||
        !wire::WaitReadable(fd, std::chrono::milliseconds(timeoutMs))) {
        ::close(fd);
        throw FieldError(Code::InterfaceNoAnswer, "No field answers at " + where + ".");
    }
    Json j;
    Bytes b;
    if (!wire::ReadFrame(fd, &j, &b) || !j.value("ok", false) ||
        j["result"].value("field", "") != "vqfield") {
        ::close(fd);
        throw FieldError(Code::InterfaceNoAnswer, "The endpoint " + where + " is not a VQ field.");
    }
    tv = timeval{0, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return std::make_unique<TcpTransport>(fd);
}

}  // namespace vqfield
