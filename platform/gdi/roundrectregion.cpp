// Rounded-rectangle regions: each row of pixels is cut back where the corner ellipses leave it.
#include "platform/gdi/objects.h"

#include <algorithm>
#include <cmath>

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height)
{
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    const double a = std::min(std::abs(width), right - left) / 2.0;
    const double b = std::min(std::abs(height), bottom - top) / 2.0;
    auto region = std::make_unique<gdi::Region>();
    for (int y = top; y < bottom; ++y) {
        const double centre = y + 0.5;
        double dy = 0;
        if (centre < top + b) {
            dy = top + b - centre;
        } else if (centre > bottom - b) {
            dy = centre - (bottom - b);
        }
        const double inset = b > 0 && a > 0 ? a * (1 - std::sqrt(std::max(0.0, 1 - (dy / b) * (dy / b)))) : 0;
        const int cut = static_cast<int>(std::lround(inset));
        if (left + cut < right - cut) {
            region->data.unite(gdi::RegionData(RECT{left + cut, y, right - cut, y + 1}));
        }
    }
    return static_cast<HRGN>(gdi::Register(std::move(region)));
}
