#include "platform/owl/dc.h"

namespace owl {
namespace {
void Remember(HGDIOBJ& original, HGDIOBJ previous)
{
    if (!original) {
        original = previous;
    }
}
}

TDC::TDC(HDC handle) : Handle(handle) {}

TDC::~TDC()
{
    if (Handle) {
        RestoreObjects();
        if (ShouldDelete) {
            DeleteDC(Handle);
        }
    }
}

void TDC::SelectObject(const TPen& pen) { Remember(OrgPen, ::SelectObject(Handle, pen.GetHandle())); }
void TDC::SelectObject(const TBrush& brush) { Remember(OrgBrush, ::SelectObject(Handle, brush.GetHandle())); }
void TDC::SelectObject(const TFont& font) { Remember(OrgFont, ::SelectObject(Handle, font.GetHandle())); }
void TDC::SelectObject(const TBitmap& bitmap) { Remember(OrgBitmap, ::SelectObject(Handle, bitmap.GetHandle())); }

void TDC::SelectStockObject(int index)
{
    HGDIOBJ object = GetStockObject(index);
    const HGDIOBJ previous = ::SelectObject(Handle, object);
    switch (GetObjectType(object)) {
    case OBJ_PEN:
        Remember(OrgPen, previous);
        break;
    case OBJ_BRUSH:
        Remember(OrgBrush, previous);
        break;
    case OBJ_FONT:
        Remember(OrgFont, previous);
        break;
    default:
        break;
    }
}

void TDC::RestorePen()
{
    if (OrgPen) {
        ::SelectObject(Handle, OrgPen);
        OrgPen = nullptr;
    }
}

void TDC::RestoreBrush()
{
    if (OrgBrush) {
        ::SelectObject(Handle, OrgBrush);
        OrgBrush = nullptr;
    }
}

void TDC::RestoreFont()
{
    if (OrgFont) {
        ::SelectObject(Handle, OrgFont);
        OrgFont = nullptr;
    }
}

void TDC::RestoreBitmap()
{
    if (OrgBitmap) {
        ::SelectObject(Handle, OrgBitmap);
        OrgBitmap = nullptr;
    }
}

void TDC::RestoreObjects()
{
    RestorePen();
    RestoreBrush();
    RestoreFont();
    RestoreBitmap();
}

bool TDC::SetViewportOrg(const TPoint& origin, TPoint* old) { return ::SetViewportOrgEx(Handle, origin.x, origin.y, old); }
bool TDC::OffsetViewportOrg(const TPoint& delta, TPoint* old)
{
    return ::OffsetViewportOrgEx(Handle, delta.x, delta.y, old);
}
TPoint TDC::GetViewportOrg() const
{
    TPoint p;
    ::GetViewportOrgEx(Handle, &p);
    return p;
}
bool TDC::SetWindowOrg(const TPoint& origin, TPoint* old) { return ::SetWindowOrgEx(Handle, origin.x, origin.y, old); }
TPoint TDC::GetWindowOrg() const
{
    TPoint p;
    ::GetWindowOrgEx(Handle, &p);
    return p;
}
bool TDC::SetViewportExt(const TSize& extent, TSize* old) { return ::SetViewportExtEx(Handle, extent.cx, extent.cy, old); }
TSize TDC::GetViewportExt() const
{
    TSize s;
    ::GetViewportExtEx(Handle, &s);
    return s;
}
bool TDC::SetWindowExt(const TSize& extent, TSize* old) { return ::SetWindowExtEx(Handle, extent.cx, extent.cy, old); }
TSize TDC::GetWindowExt() const
{
    TSize s;
    ::GetWindowExtEx(Handle, &s);
    return s;
}

TPoint TDC::GetCurrentPosition() const
{
    TPoint p;
    ::GetCurrentPositionEx(Handle, &p);
    return p;
}

bool TDC::TextRect(const TRect& r, const TColor& color)
{
    const COLORREF old = ::SetBkColor(Handle, color);
    const bool ok = ::ExtTextOutW(Handle, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(Handle, old);
    return ok;
}

bool TDC::TextOut(int x, int y, LPCWSTR text, int length)
{
    if (length < 0) {
        length = text ? static_cast<int>(std::char_traits<char16_t>::length(text)) : 0;
    }
    return ::TextOutW(Handle, x, y, text, length);
}

bool TDC::ExtTextOut(int x, int y, uint16 options, const TRect* rect, LPCWSTR text, int length, const int* dx)
{
    if (length < 0) {
        length = text ? static_cast<int>(std::char_traits<char16_t>::length(text)) : 0;
    }
    return ::ExtTextOutW(Handle, x, y, options, rect, text, static_cast<UINT>(length), dx);
}

int TDC::DrawText(LPCWSTR text, int count, TRect& rect, uint16 format)
{
    return ::DrawTextW(Handle, text, count, &rect, format);
}

int TDC::DrawText(LPCWSTR text, int count, const TRect& rect, uint16 format)
{
    TRect copy = rect;
    return ::DrawTextW(Handle, text, count, &copy, format);
}

TSize TDC::GetTextExtent(LPCWSTR text, int length) const
{
    TSize size;
    ::GetTextExtentPoint32W(Handle, text, length, &size);
    return size;
}

TWindowDC::TWindowDC(HWND wnd) : Wnd(wnd) { Handle = GetWindowDC(wnd); }

TWindowDC::~TWindowDC()
{
    if (Handle) {
        RestoreObjects();
        ReleaseDC(Wnd, Handle);
        Handle = nullptr;
    }
}

TClientDC::TClientDC(HWND wnd)
{
    Wnd = wnd;
    Handle = GetDC(wnd);
}

TScreenDC::TScreenDC()
{
    Wnd = nullptr;
    Handle = GetDC(nullptr);
}

TPaintDC::TPaintDC(HWND wnd) : Wnd(wnd) { Handle = BeginPaint(wnd, &Ps); }

TPaintDC::~TPaintDC()
{
    if (Handle) {
        RestoreObjects();
        EndPaint(Wnd, &Ps);
        Handle = nullptr;
    }
}

TPrintDC::TPrintDC(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const DEVMODEW* initData)
{
    Handle = CreateDCW(driver, device, output, initData);
    if (!Handle) {
        throw TXGdi("the printer DC cannot be made");
    }
    ShouldDelete = true;
}

TPrintPreviewDC::TPrintPreviewDC(HDC preview, const TPrintDC& printer, const RECT& previewArea)
    : TDC(preview), PrnDC(printer)
{
    // The preview area shows the printer's whole sheet; the printer's device origin is the corner of its printable
    // area, so the page lands inside the sheet's margins as it will on paper.
    int sheetX = printer.GetDeviceCaps(PHYSICALWIDTH);
    int sheetY = printer.GetDeviceCaps(PHYSICALHEIGHT);
    int offsetX = printer.GetDeviceCaps(PHYSICALOFFSETX);
    int offsetY = printer.GetDeviceCaps(PHYSICALOFFSETY);
    if (sheetX <= 0 || sheetY <= 0) {
        sheetX = printer.GetDeviceCaps(HORZRES);
        sheetY = printer.GetDeviceCaps(VERTRES);
        offsetX = offsetY = 0;
    }
    const int areaX = previewArea.right - previewArea.left;
    const int areaY = previewArea.bottom - previewArea.top;
    ::SetMapMode(Handle, MM_ANISOTROPIC);
    ::SetWindowExtEx(Handle, sheetX, sheetY, nullptr);
    ::SetViewportExtEx(Handle, areaX, areaY, nullptr);
    ::SetViewportOrgEx(Handle, previewArea.left + ::MulDiv(offsetX, areaX, sheetX),
                       previewArea.top + ::MulDiv(offsetY, areaY, sheetY), nullptr);
}

TMemoryDC::TMemoryDC()
{
    Handle = CreateCompatibleDC(nullptr);
    ShouldDelete = true;
}

TMemoryDC::TMemoryDC(const TDC& dc)
{
    Handle = CreateCompatibleDC(dc);
    ShouldDelete = true;
}

TMemoryDC::~TMemoryDC() = default;
}
