// OWL's point, size and rectangle: the Win32 structures with members.
#pragma once

#include "platform/win/windef.h"

#include <algorithm>

namespace owl {

using uint = unsigned int;
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using int32 = std::int32_t;

class TSize : public SIZE {
public:
    TSize() : SIZE{0, 0} {}
    TSize(int x, int y) : SIZE{x, y} {}
    TSize(const SIZE& s) : SIZE(s) {}
    int X() const { return cx; }
    int Y() const { return cy; }
    friend bool operator==(const TSize& a, const TSize& b) { return a.cx == b.cx && a.cy == b.cy; }
    TSize operator+(const TSize& s) const { return TSize(cx + s.cx, cy + s.cy); }
    TSize operator-(const TSize& s) const { return TSize(cx - s.cx, cy - s.cy); }
};

class TPoint : public POINT {
public:
    TPoint() : POINT{0, 0} {}
    TPoint(int x, int y) : POINT{x, y} {}
    TPoint(const POINT& p) : POINT(p) {}
    int X() const { return x; }
    int Y() const { return y; }
    TPoint OffsetBy(int dx, int dy) const { return TPoint(x + dx, y + dy); }
    TPoint& Offset(int dx, int dy)
    {
        x += dx;
        y += dy;
        return *this;
    }
    TPoint operator+(const TSize& s) const { return TPoint(x + s.cx, y + s.cy); }
    TPoint operator-(const TSize& s) const { return TPoint(x - s.cx, y - s.cy); }
    TSize operator-(const TPoint& p) const { return TSize(x - p.x, y - p.y); }
    TPoint operator-() const { return TPoint(-x, -y); }
    TPoint& operator+=(const TSize& s) { return Offset(s.cx, s.cy); }
    TPoint& operator-=(const TSize& s) { return Offset(-s.cx, -s.cy); }
    friend bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
};

class TRect : public RECT {
public:
    TRect() : RECT{0, 0, 0, 0} {}
    TRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    TRect(const RECT& r) : RECT(r) {}
    TRect(const TPoint& topLeft, const TPoint& bottomRight)
        : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}
    {
    }
    TRect(const TPoint& origin, const TSize& extent)
        : RECT{origin.x, origin.y, origin.x + extent.cx, origin.y + extent.cy}
    {
    }

    int Left() const { return left; }
    int Top() const { return top; }
    int Right() const { return right; }
    int Bottom() const { return bottom; }
    int X() const { return left; }
    int Y() const { return top; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    TSize Size() const { return TSize(Width(), Height()); }
    long Area() const { return static_cast<long>(Width()) * Height(); }
    TPoint TopLeft() const { return TPoint(left, top); }
    TPoint TopRight() const { return TPoint(right, top); }
    TPoint BottomLeft() const { return TPoint(left, bottom); }
    TPoint BottomRight() const { return TPoint(right, bottom); }
    bool IsEmpty() const { return left >= right || top >= bottom; }
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool Contains(const TPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool Contains(const TRect& r) const
    {
        return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
    }
    bool Touches(const TRect& r) const { return !(*this & r).IsEmpty(); }

    TRect& Set(int l, int t, int r, int b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
        return *this;
    }
    TRect& SetEmpty() { return Set(0, 0, 0, 0); }
    TRect& Normalize()
    {
        if (left > right) {
            std::swap(left, right);
        }
        if (top > bottom) {
            std::swap(top, bottom);
        }
        return *this;
    }
    TRect Normalized() const { return TRect(*this).Normalize(); }
    TRect& Offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    TRect OffsetBy(int dx, int dy) const { return TRect(*this).Offset(dx, dy); }
    TRect& Inflate(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
        return *this;
    }
    TRect& Inflate(const TSize& s) { return Inflate(s.cx, s.cy); }
    TRect InflatedBy(int dx, int dy) const { return TRect(*this).Inflate(dx, dy); }
    TRect& MoveTo(int x, int y) { return Offset(x - left, y - top); }
    TRect MovedTo(int x, int y) const { return TRect(*this).MoveTo(x, y); }

    TRect operator&(const TRect& r) const
    {
        TRect out(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right), std::min(bottom, r.bottom));
        return out.IsEmpty() ? TRect() : out;
    }
    TRect operator|(const TRect& r) const
    {
        if (IsEmpty()) {
            return r;
        }
        if (r.IsEmpty()) {
            return *this;
        }
        return TRect(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right), std::max(bottom, r.bottom));
    }
    TRect& operator&=(const TRect& r) { return *this = *this & r; }
    TRect& operator|=(const TRect& r) { return *this = *this | r; }
    TRect operator+(const TSize& s) const { return OffsetBy(s.cx, s.cy); }
    TRect operator-(const TSize& s) const { return OffsetBy(-s.cx, -s.cy); }
    friend bool operator==(const TRect& a, const TRect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};
}
