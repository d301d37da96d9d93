#include "util/SysColorBitmap.h"

#include <cstring>

bool RecolourPixels(std::uint8_t* pixels, int rowBytes, int height, int bitsPerPixel, std::uint32_t colour) {
    if (!pixels || rowBytes <= 0 || height <= 0 || bitsPerPixel <= 0) return false;
    const int bpp = bitsPerPixel >= 8 ? bitsPerPixel / 8 : 1;
    const std::uint8_t blue = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, red = colour & 0xFF;
    const bool lightGrey = colour == RGBColour(192, 192, 192);

    if (bitsPerPixel < 8) {
        const std::uint8_t key = pixels[0] >> 4;
        std::uint8_t repl = 8;
        if (lightGrey)
            repl = 7;
        else if (colour == RGBColour(255, 255, 255))
            repl = 15;
        else if (colour == 0)
            repl = 0;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = pixels + static_cast<long>(y) * rowBytes;
            for (int x = 0; x < rowBytes; ++x) {
                std::uint8_t b = row[x];
                if ((b >> 4) == key) b = static_cast<std::uint8_t>((b & 0x0F) | (repl << 4));
                if ((b & 0x0F) == key) b = static_cast<std::uint8_t>((b & 0xF0) | repl);
                row[x] = b;
            }
        }
        return true;
    }

    std::uint8_t keyBytes[4] = {};
    std::uint8_t replBytes[4] = {};
    if (bpp > 4) return false;
    std::memcpy(keyBytes, pixels, bpp);
    switch (bitsPerPixel) {
        case 32:
        case 24:
            replBytes[0] = blue;
            replBytes[1] = green;
            replBytes[2] = red;
            break;
        case 16: {
            const std::uint16_t keyPixel = static_cast<std::uint16_t>(keyBytes[0] | (keyBytes[1] << 8));
            std::uint16_t v;
            if (keyPixel & 0x8000)
                v = static_cast<std::uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
            else
                v = static_cast<std::uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
            replBytes[0] = v & 0xFF;
            replBytes[1] = v >> 8;
            break;
        }
        case 8:
            replBytes[0] = lightGrey ? 7 : 9;
            break;
        default:
            return false;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<long>(y) * rowBytes;
        // Only whole pixels: a short tail of stride padding is left alone.
        for (int x = 0; x + bpp <= rowBytes; x += bpp) {
            if (std::memcmp(row + x, keyBytes, bpp) == 0) std::memcpy(row + x, replBytes, bpp);
        }
    }
    return true;
}
