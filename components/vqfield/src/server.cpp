#include "vqfield/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <list>
#include <thread>

#include "wire.h"

namespace vqfield {
namespace {

using Clock = std::chrono::steady_clock;

// One client connection: a reader, and a thread per request so that a
// cancel can reach a request that is still on the wire.
class Connection {
public:
    Connection(std::shared_ptr<Field> field, int fd) : field_(std::move(field)), fd_(fd) {
        reader_ = std::thread([this] { Run(); });
    }
    ~Connection() {
        ::shutdown(fd_, SHUT_RDWR);
        reader_.join();
        ::close(fd_);
    }
    bool finished() const { return finished_.load(); }

private:
    void Run() {
        Json req;
        Bytes in;
        while (wire::ReadFrame(fd_, &req, &in)) {
            const std::string op = req.value("op", "");
            const Json id = req.value("id", Json());
            if (op == "cancel") {
                std::lock_guard lock(mutex_);
                auto it = cancels_.find(req.value("target", std::uint64_t(0)));
                if (it != cancels_.end()) it->second->store(true);
                continue;
            }
            if (op == "subscribe" || op == "unsubscribe") {
                if (token_) field_->Unsubscribe(token_);
                token_ = 0;
                if (op == "subscribe")
                    token_ = field_->Subscribe([this](const Json& ev) { Send(ev, {}); });
                Send({{"id", id}, {"ok", true}, {"result", Json::object()}}, {});
                continue;
            }
            auto cancel = std::make_shared<std::atomic<bool>>(false);
            {
                std::lock_guard lock(mutex_);
                cancels_[id.is_number() ? id.get<std::uint64_t>() : 0] = cancel;
            }
            workers_.remove_if([](Worker& w) {
                if (!w.done->load()) return false;
                w.thread.join();
                return true;
            });
            auto done = std::make_shared<std::atomic<bool>>(false);
            workers_.push_back(Worker{{}, done});
            workers_.back().thread = std::thread([this, req, in = std::move(in), id, cancel, done] {
                Json reply{{"id", id}};
                Bytes out;
                auto last = Clock::now();
                CallOptions opts;
                opts.cancel = cancel.get();
                opts.progress = [&] {
                    if (Clock::now() - last < std::chrono::milliseconds(500)) return;
                    last = Clock::now();
                    Send({{"id", id}, {"pending", true}}, {});
                };
                try {
                    reply["result"] = field_->Handle(req, in, &out, opts);
                    reply["ok"] = true;
                } catch (const FieldError& e) {
                    reply["ok"] = false;
                    reply["code"] = CodeName(e.code());
                    reply["description"] = e.what();
                    out.clear();
                } catch (const std::exception& e) {
                    reply["ok"] = false;
                    reply["code"] = CodeName(Code::BadValue);
                    reply["description"] = e.what();
                    out.clear();
                }
                {
                    std::lock_guard lock(mutex_);
                    cancels_.erase(id.is_number() ? id.get<std::uint64_t>() : 0);
                }
                Send(reply, out);
                done->store(true);
            });
            in.clear();
        }
        if (token_) field_->Unsubscribe(token_);
        {
            std::lock_guard lock(mutex_);
            for (auto& [k, c] : cancels_) c->store(true);
        }
        for (auto& w : workers_) w.thread.join();
        ::shutdown(fd_, SHUT_RDWR);  // the peer sees the end at once, whatever made us stop
        finished_ = true;
    }

    void Send(const Json& j, const Bytes& b) {
        std::lock_guard lock(writeMutex_);
        wire::WriteFrame(fd_, j, b);
    }

    std::shared_ptr<Field> field_;
    int fd_;
    int token_ = 0;
    std::thread reader_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Worker> workers_;
    std::mutex mutex_, writeMutex_;
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
    std::list<std::unique_ptr<Connection>> connections;
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
    if (impl_->fd < 0 || ::bind(impl_->fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(impl_->fd, 16) < 0 || ::getsockname(impl_->fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0) {
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
            std::lock_guard lock(impl->mutex);
            impl->connections.remove_if([](const auto& conn) { return conn->finished(); });
            impl->connections.push_back(std::make_unique<Connection>(impl->field, c));
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

int Server::port() const { return impl_->port; }

}  // namespace vqfield
