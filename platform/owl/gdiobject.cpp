#include "platform/owl/gdiobject.h"

#include "platform/owl/dc.h"

namespace owl {

TGdiObject::~TGdiObject()
{
    if (ShouldDelete && Handle) {
        DeleteObject(Handle);
    }
}

void TGdiObject::Adopt(HGDIOBJ handle)
{
    Handle = handle;
    ShouldDelete = true;
}

TPen::TPen(const TColor& color, int width, int style) { Adopt(CreatePen(style, width, color)); }
TPen::TPen(const LOGPEN& log) { Adopt(CreatePenIndirect(&log)); }
bool TPen::GetObject(LOGPEN& log) const { return GetObjectW(Handle, sizeof log, &log) != 0; }

TBrush::TBrush(const TColor& color) { Adopt(CreateSolidBrush(color)); }
TBrush::TBrush(int hatchStyle, const TColor& color) { Adopt(CreateHatchBrush(hatchStyle, color)); }
TBrush::TBrush(const LOGBRUSH& log) { Adopt(CreateBrushIndirect(&log)); }
bool TBrush::GetObject(LOGBRUSH& log) const { return GetObjectW(Handle, sizeof log, &log) != 0; }

TFont::TFont(LPCWSTR facename, int height, int width, int escapement, int orientation, int weight,
             uint8 pitchAndFamily, uint8 italic, uint8 underline, uint8 strikeout, uint8 charSet,
             uint8 outputPrecision, uint8 clipPrecision, uint8 quality)
{
    Adopt(CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeout, charSet,
                      outputPrecision, clipPrecision, quality, pitchAndFamily, facename));
}
TFont::TFont(const LOGFONTW& log) { Adopt(CreateFontIndirectW(&log)); }
bool TFont::GetObject(LOGFONTW& log) const { return GetObjectW(Handle, sizeof log, &log) != 0; }
LOGFONTW TFont::GetObject() const
{
    LOGFONTW log{};
    GetObject(log);
    return log;
}
int TFont::GetHeight() const { return GetObject().lfHeight; }
std::u16string TFont::GetFaceName() const { return GetObject().lfFaceName; }

TBitmap::TBitmap(const TDC& dc, int width, int height) { Adopt(CreateCompatibleBitmap(dc, width, height)); }
TBitmap::TBitmap(int width, int height, uint8 planes, uint8 bitCount, const void* bits)
{
    Adopt(CreateBitmap(width, height, planes, bitCount, bits));
}
bool TBitmap::GetObject(BITMAP& info) const { return GetObjectW(Handle, sizeof info, &info) != 0; }
int TBitmap::Width() const
{
    BITMAP info{};
    return GetObject(info) ? info.bmWidth : 0;
}
int TBitmap::Height() const
{
    BITMAP info{};
    return GetObject(info) ? info.bmHeight : 0;
}

TRegion::TRegion() { Adopt(CreateRectRgn(0, 0, 0, 0)); }
TRegion::TRegion(const TRect& rect) { Adopt(CreateRectRgnIndirect(&rect)); }
TRegion::TRegion(const TPoint* points, int count, int fillMode) { Adopt(CreatePolygonRgn(points, count, fillMode)); }
TRegion::TRegion(const TRegion& other) : TGdiObject()
{
    Adopt(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(*this, other, nullptr, RGN_COPY);
}
TRegion& TRegion::operator=(const TRegion& other)
{
    if (this != &other) {
        CombineRgn(*this, other, nullptr, RGN_COPY);
    }
    return *this;
}
bool TRegion::Contains(const TPoint& point) const { return PtInRegion(*this, point.x, point.y); }
bool TRegion::Touches(const TRect& rect) const { return RectInRegion(*this, &rect); }
void TRegion::GetRgnBox(TRect& box) const { ::GetRgnBox(*this, &box); }
TRect TRegion::GetRgnBox() const
{
    TRect box;
    GetRgnBox(box);
    return box;
}
void TRegion::SetRectRgn(const TRect& rect) { ::SetRectRgn(*this, rect.left, rect.top, rect.right, rect.bottom); }
bool TRegion::operator==(const TRegion& other) const { return EqualRgn(*this, other); }
TRegion& TRegion::operator+=(const TSize& offset)
{
    OffsetRgn(*this, offset.cx, offset.cy);
    return *this;
}
TRegion& TRegion::operator-=(const TSize& offset)
{
    OffsetRgn(*this, -offset.cx, -offset.cy);
    return *this;
}
TRegion& TRegion::operator&=(const TRegion& other)
{
    CombineRgn(*this, *this, other, RGN_AND);
    return *this;
}
TRegion& TRegion::operator|=(const TRegion& other)
{
    CombineRgn(*this, *this, other, RGN_OR);
    return *this;
}
TRegion& TRegion::operator^=(const TRegion& other)
{
    CombineRgn(*this, *this, other, RGN_XOR);
    return *this;
}
TRegion& TRegion::operator-=(const TRegion& other)
{
    CombineRgn(*this, *this, other, RGN_DIFF);
    return *this;
}
}
