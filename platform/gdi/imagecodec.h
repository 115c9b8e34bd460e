// Picture data in the formats that resources and streams carry: device-independent bitmaps (the body of a bitmap
// resource or a .bmp file after its 14-byte file header) and PNG. Pixels are straight (not premultiplied) ARGB.
#pragma once

#include "platform/win/wingdi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gdi {

struct ArgbPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // 0xAARRGGBB, rows top to bottom
    int bitsPerPixel = 32;           // what the source stored (8, 24 or 32)
    bool hasAlpha = false;           // the source carried an alpha channel
};

// 8-bit (palette), 24-bit and 32-bit uncompressed DIBs, bottom-up or top-down.
std::optional<ArgbPixels> DecodeDib(std::span<const std::byte> data);
// A bottom-up DIB of 24 or 32 bits per pixel, as a bitmap resource holds it.
std::vector<std::byte> EncodeDib(const ArgbPixels& pixels, int bitsPerPixel);
std::optional<ArgbPixels> DecodePng(std::span<const std::byte> data);
// Empty when the picture cannot be encoded.
std::vector<std::byte> EncodePng(const ArgbPixels& pixels);
bool IsPng(std::span<const std::byte> data);

// One ARGB pixel from straight to premultiplied colour and back (rounded to the nearest).
std::uint32_t Premultiply(std::uint32_t argb);
std::uint32_t Unpremultiply(std::uint32_t argb);
}
