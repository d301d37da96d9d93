#include <gtest/gtest.h>

#include <vector>

#include "util/SysColorBitmap.h"

namespace {
constexpr std::uint32_t kGrey = RGBColour(192, 192, 192);
constexpr std::uint32_t kFace = RGBColour(0xD4, 0xC8, 0x10);  // blue 0x10, green 0xC8, red 0xD4

struct DepthCase {
    const char* name;
    int bpp;
    int rowBytes;
    std::vector<std::uint8_t> in;
    std::uint32_t colour;
    std::vector<std::uint8_t> out;
};

class Recolour : public ::testing::TestWithParam<DepthCase> {};

TEST_P(Recolour, ReplacesEveryPixelEqualToTheTopLeftOne) {
    const DepthCase& c = GetParam();
    std::vector<std::uint8_t> px = c.in;
    const int height = int(px.size()) / c.rowBytes;
    ASSERT_TRUE(RecolourPixels(px.data(), c.rowBytes, height, c.bpp, c.colour));
    EXPECT_EQ(px, c.out);
}

// Two rows each; the key pixel appears again in row two, a foreground pixel
// sits between.
INSTANTIATE_TEST_SUITE_P(
    AllDepths, Recolour,
    ::testing::Values(
        DepthCase{"bpp32",
                  32,
                  8,
                  {1, 2, 3, 4, 9, 9, 9, 9, /**/ 9, 9, 9, 9, 1, 2, 3, 4},
                  kFace,
                  {0x10, 0xC8, 0xD4, 0, 9, 9, 9, 9, /**/ 9, 9, 9, 9, 0x10, 0xC8, 0xD4, 0}},
        DepthCase{"bpp24",
                  24,
                  8,  // stride padded to 8: the last two bytes are no pixel
                  {5, 6, 7, 1, 1, 1, 5, 6, /**/ 1, 1, 1, 5, 6, 7, 0, 0},
                  kFace,
                  {0x10, 0xC8, 0xD4, 1, 1, 1, 5, 6, /**/ 1, 1, 1, 0x10, 0xC8, 0xD4, 0, 0}},
        // 16 bpp, key 0xC618 has its top bit set: 5-6-5, red 0xD4>>3=26, green 0xC8>>2=50, blue 0x10>>3=2
        // -> (26<<11)|(50<<5)|2 = 0xD642
        DepthCase{"bpp16_565",
                  16,
                  4,
                  {0x18, 0xC6, 0x00, 0x00, /**/ 0x00, 0x00, 0x18, 0xC6},
                  kFace,
                  {0x42, 0xD6, 0x00, 0x00, /**/ 0x00, 0x00, 0x42, 0xD6}},
        // 16 bpp, key 0x6318 without the top bit: 5-5-5, (26<<10)|(25<<5)|2 = 0x6B22
        DepthCase{"bpp16_555",
                  16,
                  4,
                  {0x18, 0x63, 0x01, 0x00, /**/ 0x18, 0x63, 0x18, 0x63},
                  kFace,
                  {0x22, 0x6B, 0x01, 0x00, /**/ 0x22, 0x6B, 0x22, 0x6B}},
        DepthCase{"bpp8_grey", 8, 4, {3, 4, 3, 5, /**/ 5, 3, 3, 4}, kGrey, {7, 4, 7, 5, /**/ 5, 7, 7, 4}},
        DepthCase{"bpp8_other", 8, 2, {3, 4, /**/ 4, 3}, kFace, {9, 4, /**/ 4, 9}},
        // Nibbles: key is the high nibble of the first byte; both nibbles of every byte are tested.
        DepthCase{"bpp4_grey", 4, 2, {0xA1, 0x1A, /**/ 0xAA, 0x11}, kGrey, {0x71, 0x17, /**/ 0x77, 0x11}},
        DepthCase{"bpp4_white", 4, 1, {0xA1, /**/ 0x1A}, RGBColour(255, 255, 255), {0xF1, /**/ 0x1F}},
        DepthCase{"bpp4_black", 4, 1, {0xA1, /**/ 0xAA}, 0, {0x01, /**/ 0x00}},
        DepthCase{"bpp1_other", 1, 1, {0x3C, /**/ 0x33}, kFace, {0x8C, /**/ 0x88}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecolourPixelsTest, RefusesUnusableBuffers) {
    std::uint8_t px[4] = {1, 2, 3, 4};
    EXPECT_FALSE(RecolourPixels(nullptr, 4, 1, 32, 0));
    EXPECT_FALSE(RecolourPixels(px, 0, 1, 32, 0));
    EXPECT_FALSE(RecolourPixels(px, 4, 0, 32, 0));
    EXPECT_FALSE(RecolourPixels(px, 4, 1, 12, 0));  // no such depth
}
}  // namespace
