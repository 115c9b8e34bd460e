// Scroll-bar controls and windows' own scroll bars. A bar reports to its owner (WM_HSCROLL / WM_VSCROLL) and
// never moves itself: the owner sets the position, as in Win32.
#include "platform/ui/controls.h"

#include <algorithm>

namespace ui::detail {
namespace {
struct ScrollData : ControlData {
    SCROLLINFO info{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0}; // a control starts with an empty range
    int part = -1; // the part held down
    int grip = 0;  // offset of the mouse within the thumb while dragging
    bool disabledArrows = false;
};

bool Vertical(HWND hwnd) { return GetWindowLongPtrW(hwnd, GWL_STYLE) & SBS_VERT; }

struct Geometry {
    int length;   // along the bar, without arrows
    int arrow;    // arrow size
    int thumb;    // thumb size
    int thumbPos; // thumb start, from the end of the first arrow
};

Geometry Measure(RECT r, bool vertical, const SCROLLINFO& info)
{
    const int along = vertical ? r.bottom - r.top : r.right - r.left;
    const int across = vertical ? r.right - r.left : r.bottom - r.top;
    Geometry g{};
    g.arrow = std::min(across, along / 2);
    g.length = std::max(0, along - 2 * g.arrow);
    const int range = info.nMax - info.nMin + 1;
    if (range <= 0 || g.length < 8) {
        g.thumb = 0;
        return g;
    }
    g.thumb = info.nPage ? std::max(8, static_cast<int>(static_cast<long long>(g.length) * info.nPage / range))
                         : std::min(g.length, across);
    g.thumb = std::min(g.thumb, g.length);
    const int span = range - std::max(1, static_cast<int>(info.nPage));
    const int travel = g.length - g.thumb;
    g.thumbPos = span > 0 ? static_cast<int>(static_cast<long long>(travel) * (info.nPos - info.nMin) / span) : 0;
    g.thumbPos = std::clamp(g.thumbPos, 0, travel);
    return g;
}

void Notify(HWND hwnd, WORD code, int pos)
{
    HWND parent = GetParent(hwnd);
    if (parent) {
        SendMessageW(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL,
                     MAKEWPARAM(code, static_cast<WORD>(pos)), reinterpret_cast<LPARAM>(hwnd));
    }
}

int SetInfo(SCROLLINFO& info, const SCROLLINFO& in)
{
    if (in.fMask & SIF_RANGE) {
        info.nMin = in.nMin;
        info.nMax = std::max(in.nMin, in.nMax);
    }
    if (in.fMask & SIF_PAGE) {
        info.nPage = std::min(in.nPage, static_cast<UINT>(info.nMax - info.nMin + 1));
    }
    if (in.fMask & SIF_POS) {
        info.nPos = in.nPos;
    }
    info.nPos = ClampScrollPos(info, info.nPos);
    return info.nPos;
}

void GetInfo(const SCROLLINFO& info, SCROLLINFO& out)
{
    if (out.fMask & SIF_RANGE) {
        out.nMin = info.nMin;
        out.nMax = info.nMax;
    }
    if (out.fMask & SIF_PAGE) {
        out.nPage = info.nPage;
    }
    if (out.fMask & SIF_POS) {
        out.nPos = info.nPos;
    }
    if (out.fMask & SIF_TRACKPOS) {
        out.nTrackPos = info.nTrackPos;
    }
}
}

int ClampScrollPos(const SCROLLINFO& info, int pos)
{
    const int top = info.nMax - std::max(1, static_cast<int>(info.nPage)) + 1;
    return std::max(info.nMin, std::min(pos, std::max(info.nMin, top)));
}

int ScrollBarPart(RECT r, bool vertical, const SCROLLINFO& info, POINT p)
{
    const Geometry g = Measure(r, vertical, info);
    const int at = vertical ? p.y - r.top : p.x - r.left;
    if (at < g.arrow) {
        return SB_LINEUP;
    }
    if (at >= g.arrow + g.length) {
        return SB_LINEDOWN;
    }
    const int inTrack = at - g.arrow;
    if (inTrack < g.thumbPos) {
        return SB_PAGEUP;
    }
    if (inTrack >= g.thumbPos + g.thumb) {
        return SB_PAGEDOWN;
    }
    return SB_THUMBTRACK;
}

int ScrollThumbPos(RECT r, bool vertical, const SCROLLINFO& info, int offset)
{
    const Geometry g = Measure(r, vertical, info);
    const int travel = g.length - g.thumb;
    const int span = info.nMax - info.nMin + 1 - std::max(1, static_cast<int>(info.nPage));
    if (travel <= 0 || span <= 0) {
        return info.nMin;
    }
    const int thumbStart = std::clamp(offset - g.arrow, 0, travel);
    return info.nMin + static_cast<int>((static_cast<long long>(thumbStart) * span + travel / 2) / travel);
}

void DrawScrollBar(HDC hdc, RECT r, bool vertical, const SCROLLINFO& info, bool enabled)
{
    const Geometry g = Measure(r, vertical, info);
    const UINT inactive = enabled ? 0 : DFCS_INACTIVE;
    RECT first = r;
    RECT last = r;
    RECT track = r;
    if (vertical) {
        first.bottom = r.top + g.arrow;
        last.top = r.bottom - g.arrow;
        track.top = first.bottom;
        track.bottom = last.top;
    } else {
        first.right = r.left + g.arrow;
        last.left = r.right - g.arrow;
        track.left = first.right;
        track.right = last.left;
    }
    DrawFrameControl(hdc, &first, DFC_SCROLL, (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive);
    DrawFrameControl(hdc, &last, DFC_SCROLL, (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive);
    FillRect(hdc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    if (enabled && g.thumb > 0 && info.nMax > info.nMin) {
        RECT thumb = track;
        if (vertical) {
            thumb.top = track.top + g.thumbPos;
            thumb.bottom = thumb.top + g.thumb;
        } else {
            thumb.left = track.left + g.thumbPos;
            thumb.right = thumb.left + g.thumb;
        }
        DrawEdge(hdc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
}

LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<ScrollData>(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        ControlColors(hwnd, hdc, WM_CTLCOLORSCROLLBAR);
        DrawScrollBar(hdc, client, Vertical(hwnd), data.info, IsWindowEnabled(hwnd) && !data.disabledArrows);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN: {
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        data.part = ScrollBarPart(client, Vertical(hwnd), data.info, p);
        SetCapture(hwnd);
        if (data.part == SB_THUMBTRACK) {
            const Geometry g = Measure(client, Vertical(hwnd), data.info);
            data.grip = (Vertical(hwnd) ? p.y : p.x) - (g.arrow + g.thumbPos);
            data.info.nTrackPos = data.info.nPos;
        } else {
            Notify(hwnd, static_cast<WORD>(data.part), 0);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (data.part == SB_THUMBTRACK) {
            const int along = Vertical(hwnd) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
            const int pos = ScrollThumbPos(client, Vertical(hwnd), data.info, along - data.grip);
            if (pos != data.info.nTrackPos) {
                data.info.nTrackPos = pos;
                Notify(hwnd, SB_THUMBTRACK, pos);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (data.part >= 0) {
            const int part = data.part;
            data.part = -1;
            ReleaseCapture();
            if (part == SB_THUMBTRACK) {
                Notify(hwnd, SB_THUMBPOSITION, data.info.nTrackPos);
            }
            if (IsWindow(hwnd)) {
                Notify(hwnd, SB_ENDSCROLL, 0);
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        data.part = -1;
        return 0;
    case WM_KEYDOWN: {
        WORD code = 0xFFFF;
        switch (wParam) {
        case VK_UP:
        case VK_LEFT:
            code = SB_LINEUP;
            break;
        case VK_DOWN:
        case VK_RIGHT:
            code = SB_LINEDOWN;
            break;
        case VK_PRIOR:
            code = SB_PAGEUP;
            break;
        case VK_NEXT:
            code = SB_PAGEDOWN;
            break;
        case VK_HOME:
            code = SB_TOP;
            break;
        case VK_END:
            code = SB_BOTTOM;
            break;
        default:
            return 0;
        }
        Notify(hwnd, code, 0);
        return 0;
    }
    case WM_KEYUP:
        if (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_PRIOR ||
            wParam == VK_NEXT || wParam == VK_HOME || wParam == VK_END) {
            Notify(hwnd, SB_ENDSCROLL, 0);
        }
        return 0;
    case SBM_SETSCROLLINFO: {
        const auto* in = reinterpret_cast<const SCROLLINFO*>(lParam);
        if (!in) {
            return data.info.nPos;
        }
        const int pos = SetInfo(data.info, *in);
        if (wParam) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return pos;
    }
    case SBM_GETSCROLLINFO: {
        auto* out = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!out) {
            return FALSE;
        }
        GetInfo(data.info, *out);
        return TRUE;
    }
    case SBM_SETPOS: {
        const int old = data.info.nPos;
        data.info.nPos = ClampScrollPos(data.info, static_cast<int>(wParam));
        if (lParam) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return old;
    }
    case SBM_GETPOS:
        return data.info.nPos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        const int old = data.info.nPos;
        data.info.nMin = static_cast<int>(wParam);
        data.info.nMax = std::max(static_cast<int>(wParam), static_cast<int>(lParam));
        data.info.nPos = ClampScrollPos(data.info, data.info.nPos);
        if (message == SBM_SETRANGEREDRAW) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return old;
    }
    case SBM_GETRANGE:
        if (wParam) {
            *reinterpret_cast<int*>(wParam) = data.info.nMin;
        }
        if (lParam) {
            *reinterpret_cast<int*>(lParam) = data.info.nMax;
        }
        return 0;
    case SBM_ENABLE_ARROWS:
        data.disabledArrows = wParam == ESB_DISABLE_BOTH;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}

using ui::detail::Find;

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw)
{
    if (!info) {
        return 0;
    }
    if (bar == SB_CTL) {
        return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    }
    ui::detail::Window* w = Find(hwnd);
    if (!w || (bar != SB_HORZ && bar != SB_VERT)) {
        return 0;
    }
    SCROLLINFO& own = w->scroll[bar];
    own.cbSize = sizeof own;
    const int pos = ui::detail::SetInfo(own, *info);
    if (redraw) {
        w->frameDirty = true;
    }
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    if (!info) {
        return FALSE;
    }
    if (bar == SB_CTL) {
        return static_cast<BOOL>(SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
    }
    ui::detail::Window* w = Find(hwnd);
    if (!w || (bar != SB_HORZ && bar != SB_VERT)) {
        return FALSE;
    }
    ui::detail::GetInfo(w->scroll[bar], *info);
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    SCROLLINFO old{sizeof old, SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, bar, &old);
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &info, redraw);
    return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar)
{
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw)
{
    SCROLLINFO info{sizeof info, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &info, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos)
{
    SCROLLINFO info{sizeof info, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &info)) {
        return FALSE;
    }
    if (minPos) {
        *minPos = info.nMin;
    }
    if (maxPos) {
        *maxPos = info.nMax;
    }
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    if (bar == SB_CTL) {
        return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
    }
    ui::detail::Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    DWORD style = w->style;
    const DWORD bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL | WS_VSCROLL;
    style = show ? (style | bits) : (style & ~bits);
    if (style != w->style) {
        w->style = style;
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows)
{
    if (bar == SB_CTL) {
        return static_cast<BOOL>(SendMessageW(hwnd, SBM_ENABLE_ARROWS, arrows, 0));
    }
    ui::detail::Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    for (int which : {SB_HORZ, SB_VERT}) {
        if (static_cast<int>(bar) == which || bar == SB_BOTH) {
            w->scrollDisabled[which] = arrows == ESB_DISABLE_BOTH;
        }
    }
    w->frameDirty = true;
    return TRUE;
}
