// Runs the .q70 reader over arbitrary bytes. Built as a libFuzzer target with
// -DVQ_FUZZ=ON and clang; otherwise as a driver that reads every file (or
// every file in every folder) named on its command line.
//
// Half of the inputs get their checksum put right first, so that mutations
// reach the decompressor and the record parser instead of stopping at the
// checksum.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ns2vq/q70.h"

namespace {

void Run(const std::uint8_t* data, std::size_t size) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Run(data, size);
    return 0;
}

#ifndef VQ_LIBFUZZER
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t count = 0;
    auto one = [&](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        Run(bytes.data(), bytes.size());
        ++count;
    };
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
                if (entry.is_regular_file()) one(entry.path());
        } else {
            one(argv[i]);
        }
    }
    std::printf("%zu inputs read without a fault\n", count);
    return 0;
}
#endif
