// The entry points of a fuzz target over one function of the input bytes:
// under libFuzzer (VQ_LIBFUZZER) the fuzzer's, else a main() that runs the
// function over every file named on the command line, or every file in
// every folder named. Included once, by the target's own source.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// The target defines this.
void FuzzOne(const std::uint8_t* data, std::size_t size);

#ifdef VQ_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzOne(data, size);
    return 0;
}
#else
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t count = 0;
    auto one = [&](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        FuzzOne(bytes.data(), bytes.size());
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
