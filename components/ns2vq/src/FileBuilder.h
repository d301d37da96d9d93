// Header and compression around a finished payload; without compress, the
// payload is stored as it is (method 0).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"

namespace ns2vq::detail {

// A payload and the offsets where its parts begin (tables, directory, each
// column). The writer compresses each part in a deflate block of its own,
// with the strategy that suits it.
struct Payload {
    bytes::Buffer bytes;
    std::vector<std::size_t> parts;
};

bytes::Buffer BuildFile(const std::string& creator, std::uint32_t major, std::uint32_t minor,
                        std::size_t sections, const Payload& payload, bool compress = true);

}  // namespace ns2vq::detail
