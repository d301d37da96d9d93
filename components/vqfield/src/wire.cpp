#include "wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

// The deepest nesting of arrays and objects in `text`, brackets inside
// strings not counted; stops counting past `limit`.
int Depth(const std::string& text, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) return deepest;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

std::string FrameText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool WriteFrame(int fd, const Json& json, const Bytes& binary) {
    return WriteFrame(fd, FrameText(json), binary);
}

bool WriteFrame(int fd, const std::string& text, const Bytes& binary) {
    Bytes frame(8);
    const std::uint32_t lens[2] = {std::uint32_t(text.size()), std::uint32_t(binary.size())};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4; ++i) frame[4 * k + i] = std::uint8_t(lens[k] >> (8 * i));
    frame.insert(frame.end(), text.begin(), text.end());
    frame.insert(frame.end(), binary.begin(), binary.end());
    return WriteAll(fd, frame.data(), frame.size());
}

std::string CheckHead(const std::uint8_t head[8], std::uint32_t* jsonLength, std::uint32_t* binaryLength) {
    auto le = [&](int at) {
        return std::uint32_t(head[at]) | std::uint32_t(head[at + 1]) << 8 |
               std::uint32_t(head[at + 2]) << 16 | std::uint32_t(head[at + 3]) << 24;
    };
    *jsonLength = le(0);
    *binaryLength = le(4);
    if (*jsonLength == 0) return "the frame has no JSON text";
    if (*jsonLength > kMaxJson)
        return "the JSON text of " + std::to_string(*jsonLength) + " bytes is over the limit of " +
               std::to_string(kMaxJson);
    if (*binaryLength > kMaxBinary)
        return "the binary part of " + std::to_string(*binaryLength) + " bytes is over the limit of " +
               std::to_string(kMaxBinary);
    return {};
}

std::string ParseText(const std::string& text, Json* json) {
    if (text.find('\0') != std::string::npos) return "the JSON text holds a NUL byte";
    if (Depth(text, kMaxDepth) > kMaxDepth)
        return "the JSON text nests deeper than " + std::to_string(kMaxDepth) + " levels";
    *json = Json::parse(text, nullptr, false);
    if (json->is_discarded()) return "the frame's text is not JSON";
    if (!json->is_object()) return "the frame's text is not a JSON object";
    return {};
}

Frame ReadRequest(int fd, Json* json, Bytes* binary, std::string* why) {
    std::uint8_t head[8];
    if (!ReadAll(fd, head, 8)) return Frame::Closed;
    std::uint32_t jl = 0, bl = 0;
    *why = CheckHead(head, &jl, &bl);
    if (!why->empty()) return Frame::OutOfBounds;
    std::string text(jl, '\0');
    if (!ReadAll(fd, reinterpret_cast<std::uint8_t*>(text.data()), jl)) return Frame::Closed;
    binary->resize(bl);
    if (bl && !ReadAll(fd, binary->data(), bl)) return Frame::Closed;
    *why = ParseText(text, json);
    return why->empty() ? Frame::Ok : Frame::BadText;
}

bool ReadFrame(int fd, Json* json, Bytes* binary) {
    std::string why;
    return ReadRequest(fd, json, binary, &why) == Frame::Ok;
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, int(timeout.count())) > 0;
}

}  // namespace vqfield::wire
