// OWL's GDI object wrappers. An object made by a wrapper is deleted with it; one wrapped from a handle is kept
// unless AutoDelete is asked for.
#pragma once

#include "platform/owl/color.h"
#include "platform/owl/geometry.h"
#include "platform/win/wingdi.h"

namespace owl {

enum TAutoDelete { NoAutoDelete, AutoDelete };

class TDC;

class TGdiObject {
public:
    virtual ~TGdiObject();
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    HGDIOBJ GetHandle() const { return Handle; }
    operator HGDIOBJ() const { return Handle; }
    bool IsGDIObject() const { return Handle != nullptr; }

protected:
    TGdiObject() = default;
    TGdiObject(HGDIOBJ handle, TAutoDelete autoDelete) : Handle(handle), ShouldDelete(autoDelete == AutoDelete) {}
    void Adopt(HGDIOBJ handle);
    HGDIOBJ Handle = nullptr;
    bool ShouldDelete = true;
};

class TPen : public TGdiObject {
public:
    TPen(HPEN handle, TAutoDelete autoDelete = NoAutoDelete) : TGdiObject(handle, autoDelete) {}
    explicit TPen(const TColor& color, int width = 1, int style = PS_SOLID);
    explicit TPen(const LOGPEN& log);
    operator HPEN() const { return static_cast<HPEN>(Handle); }
    bool GetObject(LOGPEN& log) const;
};

class TBrush : public TGdiObject {
public:
    TBrush(HBRUSH handle, TAutoDelete autoDelete = NoAutoDelete) : TGdiObject(handle, autoDelete) {}
    explicit TBrush(const TColor& color);
    TBrush(int hatchStyle, const TColor& color);
    explicit TBrush(const LOGBRUSH& log);
    operator HBRUSH() const { return static_cast<HBRUSH>(Handle); }
    bool GetObject(LOGBRUSH& log) const;
};

class TFont : public TGdiObject {
public:
    TFont(HFONT handle, TAutoDelete autoDelete = NoAutoDelete) : TGdiObject(handle, autoDelete) {}
    explicit TFont(LPCWSTR facename = nullptr, int height = 0, int width = 0, int escapement = 0,
                   int orientation = 0, int weight = FW_NORMAL, uint8 pitchAndFamily = DEFAULT_PITCH | FF_DONTCARE,
                   uint8 italic = false, uint8 underline = false, uint8 strikeout = false,
                   uint8 charSet = DEFAULT_CHARSET, uint8 outputPrecision = OUT_DEFAULT_PRECIS,
                   uint8 clipPrecision = CLIP_DEFAULT_PRECIS, uint8 quality = DEFAULT_QUALITY);
    explicit TFont(const LOGFONTW& log);
    operator HFONT() const { return static_cast<HFONT>(Handle); }
    bool GetObject(LOGFONTW& log) const;
    LOGFONTW GetObject() const;
    int GetHeight() const;
    std::u16string GetFaceName() const;
};

class TBitmap : public TGdiObject {
public:
    TBitmap(HBITMAP handle, TAutoDelete autoDelete = NoAutoDelete) : TGdiObject(handle, autoDelete) {}
    // A bitmap compatible with a device context.
    TBitmap(const TDC& dc, int width, int height);
    TBitmap(int width, int height, uint8 planes = 1, uint8 bitCount = 1, const void* bits = nullptr);
    operator HBITMAP() const { return static_cast<HBITMAP>(Handle); }
    bool GetObject(BITMAP& info) const;
    int Width() const;
    int Height() const;
    TSize Size() const { return TSize(Width(), Height()); }
};

class TRegion : public TGdiObject {
public:
    TRegion();
    TRegion(HRGN handle, TAutoDelete autoDelete = NoAutoDelete) : TGdiObject(handle, autoDelete) {}
    explicit TRegion(const TRect& rect);
    TRegion(const TPoint* points, int count, int fillMode);
    TRegion(const TRegion& other);
    TRegion& operator=(const TRegion& other);
    operator HRGN() const { return static_cast<HRGN>(Handle); }
    bool Contains(const TPoint& point) const;
    bool Touches(const TRect& rect) const;
    void GetRgnBox(TRect& box) const;
    TRect GetRgnBox() const;
    void SetRectRgn(const TRect& rect);
    bool operator==(const TRegion& other) const;
    TRegion& operator+=(const TSize& offset);
    TRegion& operator-=(const TSize& offset);
    TRegion& operator&=(const TRegion& other);
    TRegion& operator|=(const TRegion& other);
    TRegion& operator^=(const TRegion& other);
    TRegion& operator-=(const TRegion& other);
};
}
