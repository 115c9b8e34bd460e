// OWL's device contexts. Objects selected through a TDC are remembered so that RestoreObjects (and the
// destructor) put the original ones back before the DC is released or deleted.
#pragma once

#include "platform/owl/gdiobject.h"
#include "platform/win/winuser.h"

#include <stdexcept>
#include <string>

namespace owl {

class TDC {
public:
    // Wraps a DC that somebody else owns.
    explicit TDC(HDC handle);
    virtual ~TDC();
    TDC(const TDC&) = delete;
    TDC& operator=(const TDC&) = delete;

    HDC GetHandle() const { return Handle; }
    operator HDC() const { return Handle; }

    void SelectObject(const TPen& pen);
    void SelectObject(const TBrush& brush);
    void SelectObject(const TFont& font);
    void SelectObject(const TBitmap& bitmap);
    void SelectObject(const TRegion& region) { SelectClipRgn(region); }
    void SelectStockObject(int index);
    void RestorePen();
    void RestoreBrush();
    void RestoreFont();
    void RestoreBitmap();
    void RestoreObjects();

    int SaveDC() const { return ::SaveDC(Handle); }
    bool RestoreDC(int saved = -1) { return ::RestoreDC(Handle, saved); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(Handle, index); }

    TColor SetTextColor(const TColor& color) { return ::SetTextColor(Handle, color); }
    TColor GetTextColor() const { return ::GetTextColor(Handle); }
    TColor SetBkColor(const TColor& color) { return ::SetBkColor(Handle, color); }
    TColor GetBkColor() const { return ::GetBkColor(Handle); }
    int SetBkMode(int mode) { return ::SetBkMode(Handle, mode); }
    int GetBkMode() const { return ::GetBkMode(Handle); }
    int SetROP2(int mode) { return ::SetROP2(Handle, mode); }
    int GetROP2() const { return ::GetROP2(Handle); }
    uint SetTextAlign(uint align) { return ::SetTextAlign(Handle, align); }
    uint GetTextAlign() const { return ::GetTextAlign(Handle); }
    int SetMapMode(int mode) { return ::SetMapMode(Handle, mode); }
    int GetMapMode() const { return ::GetMapMode(Handle); }
    bool SetViewportOrg(const TPoint& origin, TPoint* old = nullptr);
    bool OffsetViewportOrg(const TPoint& delta, TPoint* old = nullptr);
    TPoint GetViewportOrg() const;
    bool SetWindowOrg(const TPoint& origin, TPoint* old = nullptr);
    TPoint GetWindowOrg() const;
    bool SetViewportExt(const TSize& extent, TSize* old = nullptr);
    TSize GetViewportExt() const;
    bool SetWindowExt(const TSize& extent, TSize* old = nullptr);
    TSize GetWindowExt() const;
    bool LPtoDP(TPoint* points, int count = 1) const { return ::LPtoDP(Handle, points, count); }
    bool DPtoLP(TPoint* points, int count = 1) const { return ::DPtoLP(Handle, points, count); }

    bool MoveTo(int x, int y) { return ::MoveToEx(Handle, x, y, nullptr); }
    bool MoveTo(const TPoint& p) { return MoveTo(p.x, p.y); }
    bool LineTo(int x, int y) { return ::LineTo(Handle, x, y); }
    bool LineTo(const TPoint& p) { return LineTo(p.x, p.y); }
    TPoint GetCurrentPosition() const;
    bool Polyline(const TPoint* points, int count) { return ::Polyline(Handle, points, count); }
    bool Polygon(const TPoint* points, int count) { return ::Polygon(Handle, points, count); }
    bool PolyPolyline(const TPoint* points, const DWORD* counts, int polylines)
    {
        return ::PolyPolyline(Handle, points, counts, static_cast<DWORD>(polylines));
    }
    int SetPolyFillMode(int mode) { return ::SetPolyFillMode(Handle, mode); }
    bool Rectangle(int l, int t, int r, int b) { return ::Rectangle(Handle, l, t, r, b); }
    bool Rectangle(const TRect& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
    bool RoundRect(const TRect& r, const TPoint& corner)
    {
        return ::RoundRect(Handle, r.left, r.top, r.right, r.bottom, corner.x, corner.y);
    }
    bool Ellipse(int l, int t, int r, int b) { return ::Ellipse(Handle, l, t, r, b); }
    bool Ellipse(const TRect& r) { return Ellipse(r.left, r.top, r.right, r.bottom); }
    bool FillRect(const TRect& r, const TBrush& brush) { return ::FillRect(Handle, &r, brush); }
    bool FrameRect(const TRect& r, const TBrush& brush) { return ::FrameRect(Handle, &r, brush); }
    bool InvertRect(const TRect& r) { return ::InvertRect(Handle, &r); }
    bool DrawFocusRect(const TRect& r) { return ::DrawFocusRect(Handle, &r); }
    bool DrawEdge(TRect& r, uint edge, uint flags) { return ::DrawEdge(Handle, &r, edge, flags); }
    bool FillRgn(const TRegion& region, const TBrush& brush) { return ::FillRgn(Handle, region, brush); }
    bool FrameRgn(const TRegion& region, const TBrush& brush, const TSize& size)
    {
        return ::FrameRgn(Handle, region, brush, size.cx, size.cy);
    }
    // Fills a rectangle with a colour (an opaque ExtTextOut, as OWL does it).
    bool TextRect(const TRect& r, const TColor& color);
    bool FillSolidRect(const TRect& r, const TColor& color) { return TextRect(r, color); }
    bool PatBlt(const TRect& r, uint32 rop = PATCOPY) { return ::PatBlt(Handle, r.left, r.top, r.Width(), r.Height(), rop); }

    bool TextOut(int x, int y, LPCWSTR text, int length = -1);
    bool TextOut(const TPoint& p, LPCWSTR text, int length = -1) { return TextOut(p.x, p.y, text, length); }
    bool TextOut(const TPoint& p, const std::u16string& text)
    {
        return TextOut(p.x, p.y, text.c_str(), static_cast<int>(text.size()));
    }
    bool ExtTextOut(int x, int y, uint16 options, const TRect* rect, LPCWSTR text, int length = -1,
                    const int* dx = nullptr);
    int DrawText(LPCWSTR text, int count, TRect& rect, uint16 format = 0);
    int DrawText(LPCWSTR text, int count, const TRect& rect, uint16 format = 0);
    int DrawText(const std::u16string& text, const TRect& rect, uint16 format = 0)
    {
        return DrawText(text.c_str(), static_cast<int>(text.size()), rect, format);
    }
    TSize GetTextExtent(LPCWSTR text, int length) const;
    TSize GetTextExtent(const std::u16string& text) const
    {
        return GetTextExtent(text.c_str(), static_cast<int>(text.size()));
    }
    bool GetTextMetrics(TEXTMETRICW& metrics) const { return ::GetTextMetricsW(Handle, &metrics); }
    int GetTextFace(int count, LPWSTR face) const { return ::GetTextFaceW(Handle, count, face); }

    bool BitBlt(int dstX, int dstY, int width, int height, const TDC& src, int srcX, int srcY,
                uint32 rop = SRCCOPY)
    {
        return ::BitBlt(Handle, dstX, dstY, width, height, src, srcX, srcY, rop);
    }
    bool BitBlt(const TRect& dst, const TDC& src, const TPoint& srcPos, uint32 rop = SRCCOPY)
    {
        return BitBlt(dst.left, dst.top, dst.Width(), dst.Height(), src, srcPos.x, srcPos.y, rop);
    }
    bool StretchBlt(const TRect& dst, const TDC& src, const TRect& srcRect, uint32 rop = SRCCOPY)
    {
        return ::StretchBlt(Handle, dst.left, dst.top, dst.Width(), dst.Height(), src, srcRect.left, srcRect.top,
                            srcRect.Width(), srcRect.Height(), rop);
    }
    TColor GetPixel(int x, int y) const { return ::GetPixel(Handle, x, y); }
    TColor GetPixel(const TPoint& p) const { return GetPixel(p.x, p.y); }
    TColor SetPixel(int x, int y, const TColor& color) { return ::SetPixel(Handle, x, y, color); }
    TColor SetPixel(const TPoint& p, const TColor& color) { return SetPixel(p.x, p.y, color); }

    int SelectClipRgn(const TRegion& region) { return ::SelectClipRgn(Handle, region); }
    int IntersectClipRect(const TRect& r) { return ::IntersectClipRect(Handle, r.left, r.top, r.right, r.bottom); }
    int ExcludeClipRect(const TRect& r) { return ::ExcludeClipRect(Handle, r.left, r.top, r.right, r.bottom); }
    int GetClipBox(TRect& r) const { return ::GetClipBox(Handle, &r); }
    TRect GetClipBox() const
    {
        TRect r;
        GetClipBox(r);
        return r;
    }

protected:
    TDC() = default;
    HDC Handle = nullptr;
    bool ShouldDelete = false;
    HGDIOBJ OrgPen = nullptr;
    HGDIOBJ OrgBrush = nullptr;
    HGDIOBJ OrgFont = nullptr;
    HGDIOBJ OrgBitmap = nullptr;
};

// A DC of a window (frame included); released with the object.
class TWindowDC : public TDC {
public:
    explicit TWindowDC(HWND wnd);
    ~TWindowDC() override;

protected:
    TWindowDC() = default;
    HWND Wnd = nullptr;
};

class TClientDC : public TWindowDC {
public:
    explicit TClientDC(HWND wnd);
};

class TScreenDC : public TWindowDC {
public:
    TScreenDC();
};

// BeginPaint / EndPaint around the object's life.
class TPaintDC : public TDC {
public:
    explicit TPaintDC(HWND wnd);
    ~TPaintDC() override;
    PAINTSTRUCT Ps{};

protected:
    HWND Wnd;
};

// A DC of a printer by driver and device name (CreateDCW); deleted with the object. Throws TXGdi when the DC
// cannot be made.
class TXGdi : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TPrintDC : public TDC {
public:
    TPrintDC(LPCWSTR driver, LPCWSTR device, LPCWSTR output = nullptr, const DEVMODEW* initData = nullptr);
    // Wraps a printer DC that somebody else owns.
    explicit TPrintDC(HDC handle) : TDC(handle) {}
};

// Draws a printer's page on another device (a preview): the printer's page in its own pixels maps onto the preview
// device's drawing area; measuring (device capabilities) goes to the printer. Neither DC is deleted.
class TPrintPreviewDC : public TDC {
public:
    TPrintPreviewDC(HDC preview, const TPrintDC& printer, const RECT& previewArea);
    const TPrintDC& PrnDC;
};

// A memory DC, compatible with the screen or with another DC; deleted with the object.
class TMemoryDC : public TDC {
public:
    TMemoryDC();
    explicit TMemoryDC(const TDC& dc);
    ~TMemoryDC() override;
};
}
