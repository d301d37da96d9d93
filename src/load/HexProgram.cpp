#include "load/HexProgram.h"

namespace {

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
    return 0;
}

}  // namespace

std::uint8_t HexPairToByte(char first, char second) {
    return static_cast<std::uint8_t>((16 * HexValue(first) + HexValue(second)) & 0xFF);
}

std::vector<std::uint8_t> DecodeHexProgram(const std::uint8_t* text, std::size_t n) {
    std::vector<std::uint8_t> block(n / 2 + 1, 0);
    for (std::size_t k = 0; k < n / 2; ++k)
        block[k] = HexPairToByte(static_cast<char>(text[2 * k]), static_cast<char>(text[2 * k + 1]));
    return block;
}
