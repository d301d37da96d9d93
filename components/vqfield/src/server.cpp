#include "vqfield/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <thread>

#include "wire.h"

namespace vqfield {
namespace {

using Clock = std::chrono::steady_clock;

// Bounds on what one client can make the daemon do.
constexpr std::size_t kMaxConnections = 64;
constexpr std::size_t kWorkersPerConnection = 4;  // requests of one connection running side by side
constexpr std::size_t kMaxQueued = 32;            // read but not started; beyond, the daemon stops reading
constexpr std::size_t kOutHigh = 1u << 20;        // unread reply bytes at which the daemon stops reading
constexpr std::size_t kOutLimit = 48u << 20;      // unread bytes at which a connection is dropped
constexpr int kSendTimeoutS = 30;                 // a peer that reads nothing for this long is dropped

Json ErrorReply(const Json& id, Code code, const std::string& why) {
    return {{"id", id}, {"ok", false}, {"code", CodeName(code)}, {"description", why}};
}

// One client connection. A reader takes frames off the socket, a small
// pool of workers runs the requests (so that a cancel can reach a request
// that is still on the wire) and a writer sends the replies. When the peer
// does not read its replies, or pipelines more requests than the pool can
// take, the reader stops reading and the peer's own sends block.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(std::shared_ptr<Field> field, int fd) : field_(std::move(field)), fd_(fd) {}
    void Start() {
        writer_ = std::thread([this] { Write(); });
        reader_ = std::thread([this] { Run(); });
    }
    ~Connection() {
        ::shutdown(fd_, SHUT_RDWR);
        reader_.join();
        writer_.join();
        ::close(fd_);
    }
    bool finished() const { return finished_.load(); }

private:
    struct Job {
        Json req;
        Bytes in;
        Json id;
        std::shared_ptr<std::atomic<bool>> cancel;
    };

    void Run() {
        Json req;
        Bytes in;
        std::string why;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock,
                         [&] { return broken_ || (jobs_.size() < kMaxQueued && outBytes_ < kOutHigh); });
                if (broken_) break;
            }
            const wire::Frame f = wire::ReadRequest(fd_, &req, &in, &why);
            if (f == wire::Frame::Closed) break;
            if (f == wire::Frame::OutOfBounds) {  // the stream cannot be followed past this frame
                Send(ErrorReply(nullptr, Code::BadValue, "Bad frame: " + why + "."), {});
                break;
            }
            if (f == wire::Frame::BadText) {
                Send(ErrorReply(nullptr, Code::BadValue, "Bad frame: " + why + "."), {});
                continue;
            }
            Dispatch(std::move(req), std::move(in));
            in.clear();
        }
        if (token_) field_->Unsubscribe(token_);
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            for (auto& [k, c] : cancels_) c->store(true);
            for (auto& j : jobs_) j.cancel->store(true);
        }
        cv_.notify_all();
        for (auto& w : workers_) w.join();
        {
            std::lock_guard lock(mutex_);
            readerDone_ = true;  // the writer sends what is left, then stops
        }
        cv_.notify_all();
    }

    void Dispatch(Json req, Bytes in) {
        Json id = req.contains("id") ? req["id"] : Json();
        if (!id.is_null() && !id.is_number_unsigned()) {
            Send(ErrorReply(nullptr, Code::BadValue, "\"id\" must be a whole number from 0 to 2^64-1."), {});
            return;
        }
        const auto op = req.find("op");
        if (op != req.end() && *op == "cancel") {
            const auto target = req.find("target");
            if (target == req.end() || !target->is_number_unsigned()) {
                Send(ErrorReply(id, Code::BadValue, "\"target\" must be the id of a request."), {});
                return;
            }
            std::lock_guard lock(mutex_);
            auto it = cancels_.find(target->get<std::uint64_t>());
            if (it != cancels_.end()) it->second->store(true);
            return;
        }
        if (op != req.end() && (*op == "subscribe" || *op == "unsubscribe")) {
            if (token_) field_->Unsubscribe(token_);
            token_ = 0;
            // An event may be on its way from another connection's thread
            // while this one ends: it reaches the connection only while it lives.
            if (*op == "subscribe")
                token_ = field_->Subscribe([self = weak_from_this()](const Json& ev) {
                    if (auto c = self.lock()) c->Send(ev, {});
                });
            Send({{"id", id}, {"ok", true}, {"result", Json::object()}}, {});
            return;
        }
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        {
            std::lock_guard lock(mutex_);
            cancels_[id.is_number() ? id.get<std::uint64_t>() : 0] = cancel;
            jobs_.push_back(Job{std::move(req), std::move(in), id, cancel});
            if (idle_ == 0 && workers_.size() < kWorkersPerConnection)
                workers_.emplace_back([this] { Work(); });
        }
        cv_.notify_all();
    }

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            cv_.wait(lock, [&] { return stopping_ || (!jobs_.empty() && outBytes_ < kOutHigh); });
            --idle_;
            if (jobs_.empty()) return;  // stopping
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            cv_.notify_all();  // the reader may read again
            lock.unlock();
            Execute(job);
            lock.lock();
            cancels_.erase(job.id.is_number() ? job.id.get<std::uint64_t>() : 0);
        }
    }

    void Execute(const Job& job) {
        Json reply{{"id", job.id}};
        Bytes out;
        auto last = Clock::now();
        CallOptions opts;
        opts.cancel = job.cancel.get();
        opts.progress = [&] {
            if (Clock::now() - last < std::chrono::milliseconds(500)) return;
            last = Clock::now();
            Send({{"id", job.id}, {"pending", true}}, {});
        };
        try {
            if (job.cancel->load()) throw FieldError(Code::Aborted, "The request was cancelled.");
            reply["result"] = field_->Handle(job.req, job.in, &out, opts);
            reply["ok"] = true;
        } catch (const FieldError& e) {
            reply = ErrorReply(job.id, e.code(), e.what());
            out.clear();
        } catch (const std::exception& e) {
            reply = ErrorReply(job.id, Code::BadValue, e.what());
            out.clear();
        }
        Send(reply, out);
    }

    // Queues a frame for the writer; never blocks, so that an event for a
    // slow subscriber cannot hold up the client that pressed the pin.
    void Send(const Json& j, const Bytes& b) {
        std::string text = wire::FrameText(j);
        std::lock_guard lock(mutex_);
        if (broken_) return;
        if (outBytes_ > kOutLimit) {  // the peer has stopped reading
            broken_ = true;
            ::shutdown(fd_, SHUT_RDWR);
            cv_.notify_all();
            return;
        }
        outBytes_ += text.size() + b.size() + 8;
        out_.push_back({std::move(text), b});
        cv_.notify_all();
    }

    void Write() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return !out_.empty() || readerDone_ || broken_; });
            if (out_.empty() || broken_) break;
            auto [text, bytes] = std::move(out_.front());
            out_.pop_front();
            lock.unlock();
            const bool ok = wire::WriteFrame(fd_, text, bytes);
            lock.lock();
            outBytes_ -= text.size() + bytes.size() + 8;
            if (!ok) broken_ = true;
            cv_.notify_all();
        }
        broken_ = true;
        out_.clear();
        lock.unlock();
        cv_.notify_all();
        ::shutdown(fd_, SHUT_RDWR);  // the peer sees the end at once, whatever made us stop
        finished_ = true;
    }

    std::shared_ptr<Field> field_;
    int fd_;
    int token_ = 0;  // the reader's
    std::thread reader_, writer_;
    std::list<std::thread> workers_;  // the reader's
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    std::size_t idle_ = 0;
    std::deque<std::pair<std::string, Bytes>> out_;
    std::size_t outBytes_ = 0;
    bool stopping_ = false, readerDone_ = false, broken_ = false;
    std::map<std::uint64_t, std::shared_ptr<std::atomic<bool>>> cancels_;
    std::atomic<bool> finished_{false};
};

}  // namespace

struct Server::Impl {
    std::shared_ptr<Field> field;
    int fd = -1;
    int port = 0;
    std::thread acceptor;
    std::mutex mutex;
    std::list<std::shared_ptr<Connection>> connections;
};

Server::Server(std::shared_ptr<Field> field, int port) : impl_(std::make_unique<Impl>()) {
    impl_->field = std::move(field);
    impl_->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(impl_->fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (port < 0 || port > 65535 || impl_->fd < 0 ||
        ::bind(impl_->fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(impl_->fd, 16) < 0 ||
        ::getsockname(impl_->fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0) {
        if (impl_->fd >= 0) ::close(impl_->fd);
        throw FieldError(Code::InterfaceNoAnswer, "Cannot listen on 127.0.0.1:" + std::to_string(port) + ".");
    }
    impl_->port = ntohs(addr.sin_port);
    impl_->acceptor = std::thread([impl = impl_.get()] {
        for (;;) {
            const int c = ::accept4(impl->fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                return;  // the listener was shut down
            }
            const int on = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const timeval tv{kSendTimeoutS, 0};
            ::setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
            std::lock_guard lock(impl->mutex);
            impl->connections.remove_if([](const auto& conn) { return conn->finished(); });
            if (impl->connections.size() >= kMaxConnections) {
                wire::WriteFrame(
                    c, ErrorReply(nullptr, Code::Busy, "The field serves as many connections as it can."),
                    {});
                ::close(c);
                continue;
            }
            impl->connections.push_back(std::make_shared<Connection>(impl->field, c));
            impl->connections.back()->Start();
        }
    });
}

Server::~Server() {
    ::shutdown(impl_->fd, SHUT_RDWR);
    ::close(impl_->fd);
    impl_->acceptor.join();
    std::lock_guard lock(impl_->mutex);
    impl_->connections.clear();
}

int Server::port() const {
    return impl_->port;
}

}  // namespace vqfield
