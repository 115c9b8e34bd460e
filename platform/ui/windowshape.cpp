// Window regions, show and hide animation, the application's activation and the system icons.
#include "platform/gdi/objects.h"
#include "platform/ui/window.h"
#include "platform/win/errors.h"

#include <algorithm>

namespace {
struct Settings {
    bool tooltipAnimation = false;
    bool tooltipFade = false;
    bool failAnimation = false;
    int animations = 0;
};
Settings& S()
{
    static Settings settings;
    return settings;
}

bool IsSystemIcon(HICON icon)
{
    const auto value = reinterpret_cast<std::uintptr_t>(icon);
    return value >= 0x30000 + 32512 && value <= 0x30000 + 32516;
}

// Fills a shape in one colour with GDI, restoring what it selected.
void Fill(HDC hdc, COLORREF colour, bool ellipse, const RECT& r, const POINT* points = nullptr, int count = 0)
{
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(hdc, brush);
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    if (points) {
        Polygon(hdc, points, count);
    } else if (ellipse) {
        Ellipse(hdc, r.left, r.top, r.right, r.bottom);
    } else {
        Rectangle(hdc, r.left, r.top, r.right, r.bottom);
    }
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}
}

namespace ui {
void SetTooltipAnimation(bool animation, bool fade)
{
    S().tooltipAnimation = animation;
    S().tooltipFade = fade;
}
bool TooltipAnimation() { return S().tooltipAnimation; }
bool TooltipFade() { return S().tooltipFade; }
void FailAnimateWindow(bool fail) { S().failAnimation = fail; }
int AnimateWindowCount() { return S().animations; }

void SetAppActive(bool active)
{
    for (HWND top : TopLevelWindows()) {
        if (IsWindow(top)) {
            SendMessageW(top, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
        }
    }
}
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw)
{
    ui::detail::Window* w = ui::detail::Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (w->shape) {
        cairo_region_destroy(w->shape);
        w->shape = nullptr;
    }
    if (gdi::Region* rgn = gdi::AsRegion(region)) {
        w->shape = cairo_region_copy(rgn->data.get());
        DeleteObject(region); // the system owns the region from now on
    }
    if (redraw) {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region)
{
    ui::detail::Window* w = ui::detail::Find(hwnd);
    gdi::Region* rgn = gdi::AsRegion(region);
    if (!w || !rgn || !w->shape) {
        return ERROR;
    }
    rgn->data = gdi::RegionData();
    cairo_region_union(rgn->data.get(), w->shape);
    return rgn->data.complexity();
}

BOOL AnimateWindow(HWND hwnd, DWORD, DWORD flags)
{
    if (!IsWindow(hwnd) || S().failAnimation) {
        return FALSE;
    }
    const bool hide = flags & AW_HIDE;
    const bool visible = GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE;
    if (hide != visible) {
        return FALSE;
    }
    ++S().animations;
    ShowWindow(hwnd, hide ? SW_HIDE : (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
    return TRUE;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT)
{
    if (type != IMAGE_ICON || instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HICON icon = LoadIconW(nullptr, name);
    if (!IsSystemIcon(icon)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return icon;
}

BOOL DestroyIcon(HICON icon) { return IsSystemIcon(icon); }

// The system icons are drawn at any size from simple shapes of our own.
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT)
{
    if (!IsSystemIcon(icon) || cx <= 0 || cy <= 0) {
        return FALSE;
    }
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(icon) - 0x30000);
    auto at = [&](double fx, double fy) {
        return POINT{x + static_cast<LONG>(fx * cx), y + static_cast<LONG>(fy * cy)};
    };
    auto box = [&](double l, double t, double r, double b) {
        const POINT a = at(l, t);
        const POINT c = at(r, b);
        return RECT{a.x, a.y, std::max(c.x, a.x + 1), std::max(c.y, a.y + 1)};
    };
    const RECT whole{x, y, x + cx, y + cy};
    switch (id) {
    case 32515: { // warning: a yellow triangle with a black mark
        const POINT triangle[3] = {at(0.5, 0.0), at(1.0, 0.94), at(0.0, 0.94)};
        Fill(hdc, RGB(250, 200, 20), false, whole, triangle, 3);
        Fill(hdc, RGB(0, 0, 0), false, box(0.44, 0.3, 0.56, 0.65));
        Fill(hdc, RGB(0, 0, 0), false, box(0.44, 0.72, 0.56, 0.84));
        break;
    }
    case 32513: // error: a red disc with a white bar
        Fill(hdc, RGB(210, 30, 30), true, whole);
        Fill(hdc, RGB(255, 255, 255), false, box(0.25, 0.42, 0.75, 0.58));
        break;
    case 32512: // application: a window
        Fill(hdc, RGB(40, 80, 160), false, box(0.06, 0.1, 0.94, 0.9));
        Fill(hdc, RGB(255, 255, 255), false, box(0.12, 0.28, 0.88, 0.84));
        break;
    default: // information and question: a blue disc with a white mark
        Fill(hdc, RGB(30, 100, 200), true, whole);
        Fill(hdc, RGB(255, 255, 255), false, box(0.44, 0.2, 0.56, 0.32));
        Fill(hdc, RGB(255, 255, 255), false, box(0.44, 0.4, 0.56, 0.8));
        break;
    }
    return TRUE;
}
