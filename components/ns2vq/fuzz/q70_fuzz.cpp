// Runs the .q70 reader over arbitrary bytes. Built as a libFuzzer target with
// -DVQ_FUZZ=ON and clang; otherwise as a driver that reads every file (or
// every file in every folder) named on its command line.
//
// Half of the inputs get their checksum put right first, so that mutations
// reach the decompressor and the record parser instead of stopping at the
// checksum.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "ns2vq/q70.h"
#include "vqfield/fuzz_driver.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    ns2vq::Q70File file;
    ns2vq::ReadFile(data, size, &file);
    if (size >= ns2vq::kQ70HeaderSize && (data[size - 1] & 1)) {
        std::vector<std::uint8_t> fixed(data, data + size);
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, fixed.data(), 44);
        crc =
            crc32(crc, fixed.data() + ns2vq::kQ70HeaderSize, static_cast<uInt>(size - ns2vq::kQ70HeaderSize));
        for (int i = 0; i < 4; ++i) fixed[44 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        ns2vq::ReadFile(fixed.data(), fixed.size(), &file);
    }
}
