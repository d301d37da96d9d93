// What xz -9e makes of a .q70 file in its uncompressed form (method 0, the
// header included): the size the format's own compression is held against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ns2vq/q70.h"

namespace benchq70 {

// Size of xz -9e's output for these bytes, or -1 without xz.
inline double XzSize(const std::vector<std::uint8_t>& bytes) {
    const auto path = std::filesystem::temp_directory_path() / ("bench_xz_" + std::to_string(bytes.size()));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::string cmd = "xz -9e -c '" + path.string() + "' 2>/dev/null | wc -c";
    double size = -1;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        long n = 0;
        if (std::fscanf(p, "%ld", &n) == 1 && n > 0) size = static_cast<double>(n);
        pclose(p);
    }
    std::filesystem::remove(path);
    return size;
}

// The file with its payload stored as it is (method 0), or empty when the
// file does not read.
inline std::vector<std::uint8_t> StoredForm(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> payload;
    if (ns2vq::ReadPayload(file.data(), file.size(), &payload).status != 0) return {};
    std::vector<std::uint8_t> stored(file.begin(), file.begin() + ns2vq::kQ70HeaderSize);
    stored[30] = stored[31] = 0;  // method 0
    for (int i = 0; i < 4; ++i) stored[36 + i] = static_cast<std::uint8_t>(payload.size() >> (8 * i));
    stored.insert(stored.end(), payload.begin(), payload.end());
    return stored;
}

}  // namespace benchq70
