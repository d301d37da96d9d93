// The compiled interpreted program is text: hexadecimal digit pairs without
// separators. The VQ takes the decoded bytes and one closing zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 16 * value(first) + value(second), truncated to 8 bits; a character that is
// not a hexadecimal digit counts as 0.
std::uint8_t HexPairToByte(char first, char second);

// n characters give n/2 + 1 bytes: the pairs, then a zero byte. An odd last
// character is ignored.
std::vector<std::uint8_t> DecodeHexProgram(const std::uint8_t* text, std::size_t n);
