// Monitors, system metrics and system parameters. Monitors are settable by tests (ui::SetMonitors).
#include "platform/ui/window.h"

#include "platform/gdi/dc.h"
#include "platform/win/shellscalingapi.h"

#include <algorithm>
#include <utility>
#include <cstdint>

namespace {
HMONITOR Handle(std::size_t index) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1)); }

long Overlap(const RECT& a, const RECT& b)
{
    RECT r;
    return IntersectRect(&r, &a, &b) ? static_cast<long>(r.right - r.left) * (r.bottom - r.top) : 0;
}

long Distance(const RECT& r, const RECT& area)
{
    const long dx = std::max({static_cast<long>(area.left - r.right), static_cast<long>(r.left - area.right), 0L});
    const long dy = std::max({static_cast<long>(area.top - r.bottom), static_cast<long>(r.top - area.bottom), 0L});
    return dx * dx + dy * dy;
}
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags)
{
    if (!rect) {
        return nullptr;
    }
    const auto monitors = ui::Monitors();
    std::size_t best = 0;
    long bestOverlap = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const long overlap = Overlap(*rect, monitors[i].area);
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = i;
        }
    }
    if (bestOverlap > 0) {
        return Handle(best);
    }
    // An empty rectangle still lies on the monitor that holds its corner.
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (PtInRect(&monitors[i].area, POINT{rect->left, rect->top})) {
            return Handle(i);
        }
    }
    switch (flags) {
    case MONITOR_DEFAULTTOPRIMARY:
        return Handle(0);
    case MONITOR_DEFAULTTONEAREST: {
        std::size_t nearest = 0;
        for (std::size_t i = 1; i < monitors.size(); ++i) {
            if (Distance(*rect, monitors[i].area) < Distance(*rect, monitors[nearest].area)) {
                nearest = i;
            }
        }
        return Handle(nearest);
    }
    default:
        return nullptr;
    }
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
    const RECT r{point.x, point.y, point.x + 1, point.y + 1};
    return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags)
{
    RECT r;
    if (!GetWindowRect(hwnd, &r)) {
        return flags == MONITOR_DEFAULTTONULL ? nullptr : Handle(0);
    }
    return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info)
{
    const auto monitors = ui::Monitors();
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    if (!info || index == 0 || index > monitors.size() || info->cbSize < sizeof(MONITORINFO)) {
        return FALSE;
    }
    info->rcMonitor = monitors[index - 1].area;
    info->rcWork = monitors[index - 1].work;
    info->dwFlags = index == 1 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

HRESULT GetDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY)
{
    const auto monitors = ui::Monitors();
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    if (!dpiX || !dpiY || index == 0 || index > monitors.size() || type < MDT_EFFECTIVE_DPI || type > MDT_RAW_DPI) {
        return E_INVALIDARG;
    }
    const UINT dpi = monitors[index - 1].dpi ? monitors[index - 1].dpi : static_cast<UINT>(gdi::ScreenDpi());
    *dpiX = dpi;
    *dpiY = dpi;
    return S_OK;
}

int GetSystemMetrics(int index)
{
    const auto monitors = ui::Monitors();
    switch (index) {
    case SM_CXSCREEN:
        return monitors.front().area.right - monitors.front().area.left;
    case SM_CYSCREEN:
        return monitors.front().area.bottom - monitors.front().area.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
        return 17;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CMONITORS:
        return static_cast<int>(monitors.size());
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN: {
        RECT all = monitors.front().area;
        for (const auto& m : monitors) {
            UnionRect(&all, &all, &m.area);
        }
        switch (index) {
        case SM_XVIRTUALSCREEN:
            return all.left;
        case SM_YVIRTUALSCREEN:
            return all.top;
        case SM_CXVIRTUALSCREEN:
            return all.right - all.left;
        default:
            return all.bottom - all.top;
        }
    }
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, void* param, UINT)
{
    switch (action) {
    case SPI_GETWORKAREA:
        if (!param) {
            return FALSE;
        }
        *static_cast<RECT*>(param) = ui::Monitors().front().work;
        return TRUE;
    case SPI_GETWHEELSCROLLLINES:
        if (!param) {
            return FALSE;
        }
        *static_cast<UINT*>(param) = 3;
        return TRUE;
    case SPI_GETTOOLTIPANIMATION:
    case SPI_GETTOOLTIPFADE:
        if (!param) {
            return FALSE;
        }
        *static_cast<BOOL*>(param) = action == SPI_GETTOOLTIPANIMATION ? ui::TooltipAnimation() : ui::TooltipFade();
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {
HCURSOR& CurrentCursor()
{
    static HCURSOR current = nullptr;
    return current;
}
} // namespace

HCURSOR SetCursor(HCURSOR cursor) { return std::exchange(CurrentCursor(), cursor); }

HCURSOR GetCursor() { return CurrentCursor(); }

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name)
{
    return reinterpret_cast<HCURSOR>(0x20000 + (reinterpret_cast<std::uintptr_t>(name) & 0xFFFF));
}

HICON LoadIconW(HINSTANCE, LPCWSTR name)
{
    return reinterpret_cast<HICON>(0x30000 + (reinterpret_cast<std::uintptr_t>(name) & 0xFFFF));
}

UINT GetDoubleClickTime() { return 500; }
