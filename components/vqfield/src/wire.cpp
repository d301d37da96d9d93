#include "wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vqfield::wire {
namespace {

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= std::size_t(k);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= std::size_t(k);
    }
    return true;
}

}  // namespace

bool WriteFrame(int fd, const Json& json, const Bytes& binary) {
    const std::string text = json.dump();
    Bytes frame(8);
    const std::uint32_t lens[2] = {std::uint32_t(text.size()), std::uint32_t(binary.size())};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4; ++i) frame[4 * k + i] = std::uint8_t(lens[k] >> (8 * i));
    frame.insert(frame.end(), text.begin(), text.end());
    frame.insert(frame.end(), binary.begin(), binary.end());
    return WriteAll(fd, frame.data(), frame.size());
}

bool ReadFrame(int fd, Json* json, Bytes* binary) {
    std::uint8_t head[8];
    if (!ReadAll(fd, head, 8)) return false;
    auto le = [&](int at) {
        return std::uint32_t(head[at]) | std::uint32_t(head[at + 1]) << 8 | std::uint32_t(head[at + 2]) << 16 |
               std::uint32_t(head[at + 3]) << 24;
    };
    const std::uint32_t jl = le(0), bl = le(4);
    if (jl == 0 || jl > kMaxJson || bl > kMaxBinary) return false;
    std::string text(jl, '\0');
    if (!ReadAll(fd, reinterpret_cast<std::uint8_t*>(text.data()), jl)) return false;
    binary->resize(bl);
    if (bl && !ReadAll(fd, binary->data(), bl)) return false;
    *json = Json::parse(text, nullptr, false);
    return !json->is_discarded() && json->is_object();
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, int(timeout.count())) > 0;
}

}  // namespace vqfield::wire
