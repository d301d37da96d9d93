// Gives a picture the dialog face colour: every pixel equal to the top-left
// one becomes the given colour. Works on the raw pixel bytes of a bitmap of
// any depth, so it is tested without a display.
#pragma once

#include <cstdint>

// colour is 0x00BBGGRR. rowBytes is the stride; the walk covers the whole
// stride in steps of one pixel. Returns false for an empty or unusable buffer.
bool RecolourPixels(std::uint8_t* pixels, int rowBytes, int height, int bitsPerPixel, std::uint32_t colour);

inline constexpr std::uint32_t RGBColour(int r, int g, int b) {
    return static_cast<std::uint32_t>(r & 0xFF) | (static_cast<std::uint32_t>(g & 0xFF) << 8) |
           (static_cast<std::uint32_t>(b & 0xFF) << 16);
}
