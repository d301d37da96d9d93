// Little-endian fixed-width fields and LEB128 variable-length integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ns2vq::bytes {

using Buffer = std::vector<std::uint8_t>;

inline void PutU16(Buffer& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(Buffer& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutVar(Buffer& b, std::uint32_t v) {
    while (v >= 0x80) {
        b.push_back(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    b.push_back(static_cast<std::uint8_t>(v));
}
inline std::uint32_t ZigZag(std::int32_t v) {
    return (static_cast<std::uint32_t>(v) << 1) ^ static_cast<std::uint32_t>(v >> 31);
}
inline std::int32_t UnZigZag(std::uint32_t v) {
    return static_cast<std::int32_t>((v >> 1) ^ (0u - (v & 1)));
}
inline void PutSVar(Buffer& b, std::int32_t v) {
    PutVar(b, ZigZag(v));
}
inline std::size_t VarSize(std::uint32_t v) {
    std::size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bounds-checked reading; every failure sets ok to false and yields zeros,
// so a parser can read on and test ok once per record.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool ok() const { return ok_; }
    void Fail() { ok_ = false; }
    std::size_t Remaining() const { return ok_ ? static_cast<std::size_t>(end_ - p_) : 0; }
    const std::uint8_t* Position() const { return p_; }
    std::uint8_t U8() {
        if (!ok_ || p_ == end_) return Fail(), 0;
        return *p_++;
    }
    std::uint32_t Var() {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t byte = U8();
            if (!ok_) return 0;
            // The fifth byte may carry only the top four bits.
            if (shift == 28 && byte > 0x0F) return Fail(), 0;
            v |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return v;
        }
        return Fail(), 0;
    }
    std::int32_t SVar() { return UnZigZag(Var()); }
    std::string Text(std::size_t n) {
        if (!ok_ || Remaining() < n) return Fail(), std::string();
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    bool Skip(std::size_t n) {
        if (!ok_ || Remaining() < n) return Fail(), false;
        p_ += n;
        return true;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool ok_ = true;
};

}  // namespace ns2vq::bytes
