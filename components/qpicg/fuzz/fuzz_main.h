// Without libFuzzer: a driver that runs the target over every file (or every
// file in every folder) named on its command line.
#pragma once

#ifndef VQ_LIBFUZZER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t count = 0;
    auto one = [&](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
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
    std::printf("%zu inputs run without a fault\n", count);
    return 0;
}
#endif
