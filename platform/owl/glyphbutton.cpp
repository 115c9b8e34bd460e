#include "platform/owl/glyphbutton.h"

#include <algorithm>

namespace owl {

void TUIBorder::Paint(TDC& dc) const
{
    TRect r = Frame;
    ::DrawEdge(dc, &r, Style == Raised ? EDGE_RAISED : EDGE_SUNKEN, BF_RECT);
}

TRect TUIBorder::GetClientRect() const
{
    TRect r = Frame;
    r.Inflate(-2, -2);
    return r;
}

void TUIFace::Paint(TDC& dc, LPCWSTR text, uint format, const TColor& shadow, const TColor& highlight) const
{
    const COLORREF old = ::GetTextColor(dc);
    const int mode = ::SetBkMode(dc, TRANSPARENT);
    RECT r = Face;
    OffsetRect(&r, 1, 1);
    ::SetTextColor(dc, highlight);
    DrawTextW(dc, text, -1, &r, format);
    r = Face;
    ::SetTextColor(dc, shadow);
    DrawTextW(dc, text, -1, &r, format);
    ::SetBkMode(dc, mode);
    ::SetTextColor(dc, old);
}

TGlyphButton::TGlyphButton(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, int layout,
                           bool isDefault, TModule* module)
    : TButton(parent, id, text, x, y, w, h, isDefault, module), LayoutStyle(layout)
{
    Set(biDefault, isDefault);
}

TGlyphButton::TGlyphButton(TWindow* parent, int resourceId, int layout, TModule* module)
    : TButton(parent, resourceId, module), LayoutStyle(layout)
{
}

TGlyphButton::~TGlyphButton()
{
    for (HBITMAP glyph : Glyphs) {
        if (glyph) {
            DeleteObject(glyph);
        }
    }
}

void TGlyphButton::SetGlyph(HBITMAP bitmap, TGlyphType type)
{
    if (Glyphs[type] && Glyphs[type] != bitmap) {
        DeleteObject(Glyphs[type]);
    }
    Glyphs[type] = bitmap;
    if (IsWindow()) {
        Invalidate();
    }
}

void TGlyphButton::GetWindowClass(WNDCLASSW& wc)
{
    TButton::GetWindowClass(wc);
    wc.style |= CS_DBLCLKS;
    wc.hbrBackground = nullptr;
}

void TGlyphButton::SetupWindow()
{
    TButton::SetupWindow();
    Set(biDisabled, !IsWindowEnabled());
    if (GetStyle() & BS_DEFPUSHBUTTON) {
        Set(biDefault);
    }
}

TResult TGlyphButton::WindowProc(TMsgId message, TParam1 p1, TParam2 p2)
{
    switch (message) {
    case BM_SETSTATE:
        Set(biPushed, p1 != 0);
        Invalidate();
        return 0;
    case BM_GETSTATE:
        return (IsSet(biPushed) ? BST_PUSHED : 0) | (IsSet(biFocus) ? BST_FOCUS : 0);
    case BM_SETSTYLE:
        Set(biDefault, (p1 & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        Invalidate();
        return 0;
    case BM_CLICK:
        ClickNotify();
        return 0;
    case WM_SETTEXT: {
        const TResult result = TButton::WindowProc(message, p1, p2);
        Invalidate();
        return result;
    }
    default:
        return TButton::WindowProc(message, p1, p2);
    }
}

// The button paints itself even over a system button that it took over.
void TGlyphButton::EvPaint()
{
    TPaintDC dc(Handle);
    TRect rect(dc.Ps.rcPaint);
    Paint(dc, dc.Ps.fErase != 0, rect);
}

bool TGlyphButton::EvEraseBkgnd(HDC) { return true; }

void TGlyphButton::Paint(TDC& dc, bool, TRect&) { PaintButton(dc); }

void TGlyphButton::PaintButton(TDC& dc)
{
    TRect rect = GetClientRect();
    PaintFrame(dc, rect);
    PaintDefaultRect(dc, rect);
    PaintFace(dc, rect);
    if (IsSet(biFocus)) {
        PaintFocusRect(dc, rect);
    }
}

void TGlyphButton::PaintFrame(TDC& dc, TRect& rect)
{
    TUIBorder border(rect, IsSet(biPushed) ? TUIBorder::Sunken : TUIBorder::Raised);
    border.Paint(dc);
    rect = border.GetClientRect();
}

void TGlyphButton::PaintDefaultRect(TDC& dc, TRect& rect)
{
    if (IsSet(biDefault)) {
        RECT outline = rect;
        InflateRect(&outline, 2, 2);
        FrameRect(dc, &outline, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
}

void TGlyphButton::PaintFace(TDC& dc, const TRect& rect)
{
    RECT face = rect;
    FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
}

void TGlyphButton::PaintFocusRect(TDC& dc, const TRect& faceRect)
{
    RECT r = faceRect;
    InflateRect(&r, -2, -2);
    DrawFocusRect(dc, &r);
}

void TGlyphButton::LayoutTextGlyph(const TRect& face, TRect& textRect, TRect& glyphRect)
{
    const int gap = textRect.Width() > 0 && glyphRect.Width() > 0 ? 4 : 0;
    const int total = glyphRect.Width() + gap + textRect.Width();
    const int left = face.left + (face.Width() - total) / 2;
    const int glyphTop = face.top + (face.Height() - glyphRect.Height()) / 2;
    const int textTop = face.top + (face.Height() - textRect.Height()) / 2;
    glyphRect = TRect(left, glyphTop, left + glyphRect.Width(), glyphTop + glyphRect.Height());
    const int textLeft = glyphRect.right + gap;
    textRect = TRect(textLeft, textTop, textLeft + textRect.Width(), textTop + textRect.Height());
}

void TGlyphButton::ClickNotify()
{
    if (HWND parent = GetParentH()) {
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetId()), BN_CLICKED),
                       reinterpret_cast<LPARAM>(Handle));
    }
}

void TGlyphButton::EvLButtonDown(uint, const TPoint&)
{
    SetFocus();
    SetCapture();
    Set(biPushed);
    Invalidate();
}

void TGlyphButton::EvLButtonDblClk(uint modKeys, const TPoint& point) { EvLButtonDown(modKeys, point); }

void TGlyphButton::EvMouseMove(uint, const TPoint& point)
{
    if (::GetCapture() == Handle) {
        const bool inside = GetClientRect().Contains(point);
        if (inside != IsSet(biPushed)) {
            Set(biPushed, inside);
            Invalidate();
        }
    }
}

void TGlyphButton::EvLButtonUp(uint, const TPoint& point)
{
    if (::GetCapture() != Handle) {
        return;
    }
    ReleaseCapture();
    const bool click = IsSet(biPushed) && GetClientRect().Contains(point);
    Set(biPushed, false);
    Invalidate();
    if (click) {
        ClickNotify();
    }
}

void TGlyphButton::EvKeyDown(uint key, uint, uint)
{
    if (key == VK_SPACE && !IsSet(biPushed)) {
        Set(biPushed);
        Invalidate();
    }
}

void TGlyphButton::EvKeyUp(uint key, uint, uint)
{
    if (key == VK_SPACE && IsSet(biPushed)) {
        Set(biPushed, false);
        Invalidate();
        ClickNotify();
    }
}

void TGlyphButton::EvSetFocus(HWND)
{
    Set(biFocus);
    Invalidate();
}

void TGlyphButton::EvKillFocus(HWND)
{
    Set(biFocus, false);
    Invalidate();
}

void TGlyphButton::EvEnable(bool enabled)
{
    Set(biDisabled, !enabled);
    Invalidate();
}

void TGlyphButton::EvCancelMode()
{
    if (::GetCapture() == Handle) {
        ReleaseCapture();
    }
    Set(biPushed, false);
    Invalidate();
}

uint TGlyphButton::EvGetDlgCode(const MSG*)
{
    return DLGC_BUTTON | (IsSet(biDefault) ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}
}
