// Pictures for tests and exports: pixel images, PNG files and comparisons with golden pictures.
#pragma once

#include "platform/win/wingdi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gdi {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows top to bottom

    COLORREF at(int x, int y) const;
};

Image ImageOfBitmap(HBITMAP bitmap);
bool SavePng(const Image& image, const std::string& path);
std::optional<Image> LoadPng(const std::string& path);

struct ImageDifference {
    bool sameSize = false;
    int differentPixels = 0; // pixels with a channel further apart than the tolerance
    int maxChannelDelta = 0;
};
ImageDifference CompareImages(const Image& a, const Image& b, int channelTolerance);

// Compares a picture with a golden PNG. With UPDATE_GOLDEN set in the environment the golden is (re)written and
// the check passes. On a mismatch the actual picture is written beside the golden as NAME.actual.png.
struct GoldenCheck {
    bool ok = false;
    std::string message;
};
GoldenCheck CheckGolden(const Image& actual, const std::string& goldenPath, int channelTolerance = 8,
                        int allowedPixels = 0);
}
