// Header and compression around a finished payload; without compress, the
// payload is stored as it is (method 0).
#pragma once

#include <cstdint>
#include <string>

#include "Bytes.h"

namespace ns2vq::detail {

bytes::Buffer BuildFile(const std::string& creator, std::uint32_t major, std::uint32_t minor,
                        std::size_t sections, const bytes::Buffer& payload, bool compress = true);

}  // namespace ns2vq::detail
