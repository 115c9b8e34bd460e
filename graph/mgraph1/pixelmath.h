// Pixel arithmetic of the plotters: conversions that saturate to the int range and segment clipping on doubles.
// Callers convert only finite values; a value that is not finite gives 0 here rather than an undefined result.
#pragma once

#include <climits>
#include <cmath>

namespace MGraph1 {

inline int SaturateTrunc(double value)
{
    if (!(value == value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

inline int SaturateFloor(double value) { return SaturateTrunc(std::floor(value)); }

inline bool IsFinite(double value) { return std::isfinite(value); }

// A rectangle on doubles (left, top inclusive; right, bottom exclusive).
struct ClipRect {
    double left;
    double top;
    double right;
    double bottom;
};

// Cohen-Sutherland on doubles. Moves the ends of (x0, y0)-(x1, y1) onto the rectangle; false when nothing of the
// segment is inside. A moved end lands on left, right - 1, top or bottom - 1.
bool ClipSegment(const ClipRect& rect, double& x0, double& y0, double& x1, double& y1);

} // namespace MGraph1
