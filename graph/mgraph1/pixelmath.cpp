#include "graph/mgraph1/pixelmath.h"

#include <initializer_list>

namespace MGraph1 {
namespace {
constexpr int kLeft = 8;
constexpr int kRight = 4;
constexpr int kAbove = 2;
constexpr int kBelow = 1;

int Outcode(const ClipRect& r, double x, double y)
{
    int code = 0;
    if (x < r.left) {
        code |= kLeft;
    }
    if (x >= r.right) {
        code |= kRight;
    }
    if (y < r.top) {
        code |= kAbove;
    }
    if (y >= r.bottom) {
        code |= kBelow;
    }
    return code;
}

// Only the first matching side, in the order left, right, above, below.
int FirstSide(int code)
{
    for (const int side : {kLeft, kRight, kAbove, kBelow}) {
        if (code & side) {
            return side;
        }
    }
    return 0;
}
}

bool ClipSegment(const ClipRect& r, double& x0, double& y0, double& x1, double& y1)
{
    int code0 = Outcode(r, x0, y0);
    int code1 = Outcode(r, x1, y1);
    // Each round settles one side of one end, so four rounds per end suffice; the bound keeps rounding from looping.
    for (int round = 0; round < 16; ++round) {
        if ((code0 | code1) == 0) {
            return true;
        }
        if (code0 & code1) {
            return false;
        }
        const bool moveStart = code0 != 0;
        const int code = moveStart ? code0 : code1;
        double x = 0;
        double y = 0;
        if (code & kLeft) {
            x = r.left;
            y = y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        } else if (code & kRight) {
            x = r.right - 1;
            y = y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        } else if (code & kAbove) {
            y = r.top;
            x = x0 + (x1 - x0) * (y - y0) / (y1 - y0);
        } else {
            y = r.bottom - 1;
            x = x0 + (x1 - x0) * (y - y0) / (y1 - y0);
        }
        if (moveStart) {
            x0 = x;
            y0 = y;
            code0 = FirstSide(Outcode(r, x0, y0));
        } else {
            x1 = x;
            y1 = y;
            code1 = FirstSide(Outcode(r, x1, y1));
        }
        if ((code0 | code1) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace MGraph1
