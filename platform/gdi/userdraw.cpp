// The drawing helpers of user32: rectangles, edges, focus rectangles and frame controls, in the classic look.
#include "platform/gdi/canvas.h"

#include <algorithm>

using gdi::Canvas;

namespace {
void FillDeviceBrush(const Canvas& c, RECT device, gdi::Brush& brush)
{
    if (brush.style == BS_NULL) {
        return;
    }
    if (brush.style != BS_HATCHED) {
        gdi::FillDevice(c, device, gdi::BrushColor(*c.dc, brush));
        return;
    }
    cairo_t* cr = gdi::NewContext(c);
    gdi::SetBrushSource(cr, *c.dc, brush);
    cairo_rectangle(cr, device.left, device.top, device.right - device.left, device.bottom - device.top);
    cairo_fill(cr);
    gdi::Finish(c, cr);
}

void Solid(HDC hdc, const RECT& r, COLORREF color)
{
    Canvas c;
    if (gdi::OpenCanvas(hdc, c)) {
        gdi::FillDevice(c, gdi::ToDeviceRect(*c.dc, r), color);
    }
}

void HLine(HDC hdc, int x0, int x1, int y, COLORREF color) { Solid(hdc, RECT{x0, y, x1, y + 1}, color); }
void VLine(HDC hdc, int x, int y0, int y1, COLORREF color) { Solid(hdc, RECT{x, y0, x + 1, y1}, color); }

// One ring of a 3-D edge: top and left in `light`, bottom and right in `dark`.
void Ring(HDC hdc, const RECT& r, COLORREF topLeft, COLORREF bottomRight, UINT flags)
{
    if (flags & BF_TOP) {
        HLine(hdc, r.left, r.right - 1, r.top, topLeft);
    }
    if (flags & BF_LEFT) {
        VLine(hdc, r.left, r.top, r.bottom - 1, topLeft);
    }
    if (flags & BF_BOTTOM) {
        HLine(hdc, r.left, r.right, r.bottom - 1, bottomRight);
    }
    if (flags & BF_RIGHT) {
        VLine(hdc, r.right - 1, r.top, r.bottom, bottomRight);
    }
}

void Arrow(HDC hdc, const RECT& r, UINT kind, COLORREF color)
{
    const int cx = (r.left + r.right) / 2;
    const int cy = (r.top + r.bottom) / 2;
    const int size = std::max<LONG>(2, std::min(r.right - r.left, r.bottom - r.top) / 4);
    for (int i = 0; i < size; ++i) {
        switch (kind) {
        case DFCS_SCROLLUP:
            HLine(hdc, cx - i, cx + i + 1, cy - size / 2 + i, color);
            break;
        case DFCS_SCROLLLEFT:
            VLine(hdc, cx - size / 2 + i, cy - i, cy + i + 1, color);
            break;
        case DFCS_SCROLLRIGHT:
            VLine(hdc, cx + size / 2 - i, cy - i, cy + i + 1, color);
            break;
        default: // down and combo box
            HLine(hdc, cx - (size - 1 - i), cx + (size - i), cy - size / 2 + i, color);
            break;
        }
    }
}
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    gdi::Brush* b = gdi::ResolveBrush(brush);
    if (!rect || !b) {
        return 0;
    }
    gdi::LogCall(hdc, "FillRect(" + gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom}) + ")");
    Canvas c;
    if (gdi::OpenCanvas(hdc, c)) {
        FillDeviceBrush(c, gdi::ToDeviceRect(*c.dc, *rect), *b);
    }
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    gdi::Brush* b = gdi::ResolveBrush(brush);
    if (!rect || !b || IsRectEmpty(rect)) {
        return 0;
    }
    gdi::LogCall(hdc, "FrameRect(" + gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom}) + ")");
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return 1;
    }
    const RECT r = gdi::ToDeviceRect(*c.dc, *rect);
    FillDeviceBrush(c, RECT{r.left, r.top, r.right, r.top + 1}, *b);
    FillDeviceBrush(c, RECT{r.left, r.bottom - 1, r.right, r.bottom}, *b);
    FillDeviceBrush(c, RECT{r.left, r.top, r.left + 1, r.bottom}, *b);
    FillDeviceBrush(c, RECT{r.right - 1, r.top, r.right, r.bottom}, *b);
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect)
{
    if (!rect) {
        return FALSE;
    }
    Canvas c;
    if (gdi::OpenCanvas(hdc, c)) {
        gdi::ForEachPixel(c, gdi::ToDeviceRect(*c.dc, *rect), [](int, int, std::uint32_t d) { return ~d; });
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect)
{
    if (!rect) {
        return FALSE;
    }
    gdi::LogCall(hdc, "DrawFocusRect(" + gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom}) + ")");
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return TRUE;
    }
    // Every other pixel of the border is inverted, so that drawing it twice removes it.
    const RECT r = gdi::ToDeviceRect(*c.dc, *rect);
    gdi::ForEachPixel(c, r, [&](int x, int y, std::uint32_t d) {
        const bool border = x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1;
        return border && ((x + y) & 1) == 0 ? ~d : d;
    });
    return TRUE;
}

BOOL DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags)
{
    if (!rect) {
        return FALSE;
    }
    gdi::LogCall(hdc, "DrawEdge(" + gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom, edge, flags}) + ")");
    RECT r = *rect;
    const COLORREF light = GetSysColor(COLOR_3DLIGHT);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    if (flags & BF_FLAT) {
        if (edge & 0x3) {
            Ring(hdc, r, shadow, shadow, flags);
            InflateRect(&r, -1, -1);
        }
        if (edge & 0xC) {
            Ring(hdc, r, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE), flags);
            InflateRect(&r, -1, -1);
        }
    } else {
        if (edge & BDR_RAISEDOUTER) {
            Ring(hdc, r, light, dark, flags);
        } else if (edge & BDR_SUNKENOUTER) {
            Ring(hdc, r, shadow, highlight, flags);
        }
        if (edge & 0x3) {
            InflateRect(&r, -1, -1);
        }
        if (edge & BDR_RAISEDINNER) {
            Ring(hdc, r, highlight, shadow, flags);
        } else if (edge & BDR_SUNKENINNER) {
            Ring(hdc, r, dark, light, flags);
        }
        if (edge & 0xC) {
            InflateRect(&r, -1, -1);
        }
    }
    if (flags & BF_MIDDLE) {
        Solid(hdc, r, GetSysColor(COLOR_BTNFACE));
    }
    if (flags & BF_ADJUST) {
        *rect = r;
    }
    return TRUE;
}

BOOL DrawFrameControl(HDC hdc, LPRECT rect, UINT type, UINT state)
{
    if (!rect) {
        return FALSE;
    }
    gdi::LogCall(hdc, "DrawFrameControl(" + gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom, type,
                                                           state}) + ")");
    RECT r = *rect;
    const bool pushed = state & DFCS_PUSHED;
    const bool inactive = state & DFCS_INACTIVE;
    if (type == DFC_BUTTON) {
        const UINT kind = state & 0xFF;
        if (kind == DFCS_BUTTONPUSH) {
            if (pushed) {
                Ring(hdc, r, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), BF_RECT);
                InflateRect(&r, -1, -1);
                Ring(hdc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_3DLIGHT), BF_RECT);
                InflateRect(&r, -1, -1);
                Solid(hdc, r, GetSysColor(COLOR_BTNFACE));
            } else {
                DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
            }
            return TRUE;
        }
        const bool radio = (kind & DFCS_BUTTONRADIO) != 0;
        const COLORREF well = pushed || inactive ? GetSysColor(COLOR_BTNFACE) : GetSysColor(COLOR_WINDOW);
        const COLORREF mark = inactive ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_WINDOWTEXT);
        if (radio) {
            // A 12 x 12 circle made of the classic ring colours.
            HBRUSH wellBrush = CreateSolidBrush(well);
            HPEN outer = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
            HGDIOBJ oldBrush = SelectObject(hdc, wellBrush);
            HGDIOBJ oldPen = SelectObject(hdc, outer);
            Ellipse(hdc, r.left, r.top, r.left + 12, r.top + 12);
            SelectObject(hdc, oldPen);
            SelectObject(hdc, oldBrush);
            DeleteObject(outer);
            DeleteObject(wellBrush);
            if (state & DFCS_CHECKED) {
                HBRUSH dot = CreateSolidBrush(mark);
                HGDIOBJ old = SelectObject(hdc, dot);
                HGDIOBJ noPen = SelectObject(hdc, GetStockObject(NULL_PEN));
                Ellipse(hdc, r.left + 4, r.top + 4, r.left + 9, r.top + 9);
                SelectObject(hdc, noPen);
                SelectObject(hdc, old);
                DeleteObject(dot);
            }
            return TRUE;
        }
        RECT box{r.left, r.top, r.left + 13, r.top + 13};
        DrawEdge(hdc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        Solid(hdc, box, well);
        if (state & DFCS_CHECKED) {
            // The classic tick: seven columns, three pixels high each.
            const int x0 = box.left + 1;
            const int y0 = box.top + 3;
            static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
            for (int i = 0; i < 7; ++i) {
                VLine(hdc, x0 + i, y0 + rise[i], y0 + rise[i] + 3, mark);
            }
        }
        return TRUE;
    }
    if (type == DFC_SCROLL && (state & 0xFF) == DFCS_SCROLLSIZEGRIP) {
        // The classic grip: the face, then three pairs of diagonal highlight and shadow lines in the corner.
        Solid(hdc, r, GetSysColor(COLOR_BTNFACE));
        const int side = std::min(r.right - r.left, r.bottom - r.top);
        for (int line = 0; line < 3; ++line) {
            const int from = side - 4 * line - 4;
            for (int i = 0; i <= from && from >= 0; ++i) {
                const int x = r.right - 1 - i;
                const int y = r.bottom - 1 - (from - i);
                Solid(hdc, RECT{x, y, x + 1, y + 1}, GetSysColor(COLOR_BTNHIGHLIGHT));
                if (y + 1 < r.bottom) {
                    Solid(hdc, RECT{x, y + 1, x + 1, y + 3 < r.bottom ? y + 3 : r.bottom},
                          GetSysColor(COLOR_BTNSHADOW));
                }
            }
        }
        return TRUE;
    }
    if (type == DFC_SCROLL) {
        if (pushed) {
            Ring(hdc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
            InflateRect(&r, -1, -1);
            Solid(hdc, r, GetSysColor(COLOR_BTNFACE));
            OffsetRect(&r, 1, 1);
        } else {
            DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        const UINT kind = state & 0xFF;
        Arrow(hdc, r, kind == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : kind,
              GetSysColor(inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        return TRUE;
    }
    if (type == DFC_CAPTION) {
        DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        // A small cross for the close button.
        const int n = std::min(r.right - r.left, r.bottom - r.top) / 2;
        const int x = (r.left + r.right - n) / 2;
        const int y = (r.top + r.bottom - n) / 2;
        for (int i = 0; i < n; ++i) {
            Solid(hdc, RECT{x + i, y + i, x + i + 2, y + i + 1}, GetSysColor(COLOR_BTNTEXT));
            Solid(hdc, RECT{x + n - 1 - i, y + i, x + n + 1 - i, y + i + 1}, GetSysColor(COLOR_BTNTEXT));
        }
        return TRUE;
    }
    return FALSE;
}
