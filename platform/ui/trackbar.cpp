// The trackbar: a thumb dragged along a horizontal channel. Dragging reports TB_THUMBTRACK with each new position,
// the release TB_THUMBPOSITION and TB_ENDTRACK; a click beside the thumb pages toward it and arrow keys step by a
// line, each followed by TB_ENDTRACK when the button or key comes up, as Win32's trackbar does.
#include "platform/ui/controls.h"
#include "platform/win/commctrl.h"

#include <algorithm>
#include <cstdint>

namespace ui::detail {
namespace {
constexpr int kInset = 8;      // channel ends, so that the thumb at either end stays inside the control
constexpr int kThumbHalf = 5;  // the thumb is 11 pixels wide
constexpr int kChannelY = 10;  // channel centre from the top
constexpr int kThumbHeight = 18;

struct TrackbarData : ControlData {
    int min = 0;
    int max = 100;
    int pos = 0;
    int tickFrequency = 1;
    int page = 20;
    int line = 1;
    bool tracking = false;
    bool pendingEnd = false; // a page click or key step waits for its TB_ENDTRACK
};

void Notify(HWND hwnd, WORD code, int pos)
{
    if (HWND parent = GetParent(hwnd)) {
        SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)), reinterpret_cast<LPARAM>(hwnd));
    }
}

void Redraw(HWND hwnd) { InvalidateRect(hwnd, nullptr, TRUE); }

int Channel(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return std::max(1, static_cast<int>(r.right - r.left) - 2 * kInset);
}

int XOf(HWND hwnd, const TrackbarData& d, int pos)
{
    const std::int64_t span = std::max(1, d.max - d.min);
    return kInset + static_cast<int>((std::int64_t{pos - d.min} * Channel(hwnd) + span / 2) / span);
}

int PosAt(HWND hwnd, const TrackbarData& d, int x)
{
    const std::int64_t span = std::max(0, d.max - d.min);
    const std::int64_t width = Channel(hwnd);
    const std::int64_t along = std::clamp<std::int64_t>(x - kInset, 0, width);
    return d.min + static_cast<int>((along * span + width / 2) / width);
}

RECT ThumbRect(HWND hwnd, const TrackbarData& d)
{
    const int x = XOf(hwnd, d, d.pos);
    return RECT{x - kThumbHalf, kChannelY - kThumbHeight / 2, x + kThumbHalf + 1, kChannelY + kThumbHeight / 2};
}

void SetPos(HWND hwnd, TrackbarData& d, int pos)
{
    pos = std::clamp(pos, d.min, std::max(d.min, d.max));
    if (pos != d.pos) {
        d.pos = pos;
        Redraw(hwnd);
    }
}

// Steps the thumb and tells the parent; the end of the step follows when the key or button comes up.
void Step(HWND hwnd, TrackbarData& d, WORD code, int delta)
{
    SetPos(hwnd, d, d.pos + delta);
    Notify(hwnd, code, d.pos);
    d.pendingEnd = true;
}

int TickCount(HWND hwnd, const TrackbarData& d)
{
    if (GetWindowLongPtrW(hwnd, GWL_STYLE) & TBS_NOTICKS) {
        return 0;
    }
    const int frequency = std::max(1, d.tickFrequency);
    const int span = std::max(0, d.max - d.min);
    return 2 + (span > 0 ? (span - 1) / frequency : 0);
}

void PaintTrackbar(HWND hwnd, HDC hdc)
{
    const auto& d = Data<TrackbarData>(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(hdc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT channel{kInset - 2, kChannelY - 2, client.right - kInset + 2, kChannelY + 2};
    DrawEdge(hdc, &channel, EDGE_SUNKEN, BF_RECT);
    if (TickCount(hwnd, d) > 0) {
        HGDIOBJ old = SelectObject(hdc, GetStockObject(BLACK_PEN));
        const int frequency = std::max(1, d.tickFrequency);
        for (std::int64_t tick = d.min; tick <= d.max; tick += frequency) {
            const int x = XOf(hwnd, d, static_cast<int>(tick));
            MoveToEx(hdc, x, kChannelY + kThumbHeight / 2 + 2, nullptr);
            LineTo(hdc, x, kChannelY + kThumbHeight / 2 + 5);
        }
        const int last = XOf(hwnd, d, d.max);
        MoveToEx(hdc, last, kChannelY + kThumbHeight / 2 + 2, nullptr);
        LineTo(hdc, last, kChannelY + kThumbHeight / 2 + 5);
        SelectObject(hdc, old);
    }
    RECT thumb = ThumbRect(hwnd, d);
    FillRect(hdc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(hdc, &thumb, EDGE_RAISED, BF_RECT);
}
} // namespace

LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        Data<TrackbarData>(hwnd);
        return 0;
    case WM_PAINT:
        return PaintControl(hwnd, PaintTrackbar);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        auto& d = Data<TrackbarData>(hwnd);
        SetFocus(hwnd);
        SetCapture(hwnd);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const RECT thumb = ThumbRect(hwnd, d);
        if (PtInRect(&thumb, p)) {
            d.tracking = true;
        } else if (p.x < thumb.left) {
            Step(hwnd, d, TB_PAGEUP, -d.page);
        } else {
            Step(hwnd, d, TB_PAGEDOWN, d.page);
        }
        return 0;
    }
    case WM_MOUSEMOVE: {
        auto& d = Data<TrackbarData>(hwnd);
        if (d.tracking) {
            const int pos = PosAt(hwnd, d, GET_X_LPARAM(lParam));
            if (pos != d.pos) {
                SetPos(hwnd, d, pos);
                Notify(hwnd, TB_THUMBTRACK, d.pos);
            }
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        auto& d = Data<TrackbarData>(hwnd);
        if (GetCapture() == hwnd) {
            ReleaseCapture();
        }
        if (d.tracking) {
            d.tracking = false;
            Notify(hwnd, TB_THUMBPOSITION, d.pos);
            Notify(hwnd, TB_ENDTRACK, d.pos);
        } else if (d.pendingEnd) {
            d.pendingEnd = false;
            Notify(hwnd, TB_ENDTRACK, d.pos);
        }
        return 0;
    }
    case WM_KEYDOWN: {
        auto& d = Data<TrackbarData>(hwnd);
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
            Step(hwnd, d, TB_LINEUP, -d.line);
            break;
        case VK_RIGHT:
        case VK_DOWN:
            Step(hwnd, d, TB_LINEDOWN, d.line);
            break;
        case VK_PRIOR:
            Step(hwnd, d, TB_PAGEUP, -d.page);
            break;
        case VK_NEXT:
            Step(hwnd, d, TB_PAGEDOWN, d.page);
            break;
        case VK_HOME:
            Step(hwnd, d, TB_TOP, d.min - d.pos);
            break;
        case VK_END:
            Step(hwnd, d, TB_BOTTOM, d.max - d.pos);
            break;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return 0;
    }
    case WM_KEYUP: {
        auto& d = Data<TrackbarData>(hwnd);
        if (d.pendingEnd) {
            d.pendingEnd = false;
            Notify(hwnd, TB_ENDTRACK, d.pos);
        }
        return 0;
    }
    case TBM_GETPOS:
        return Data<TrackbarData>(hwnd).pos;
    case TBM_GETRANGEMIN:
        return Data<TrackbarData>(hwnd).min;
    case TBM_GETRANGEMAX:
        return Data<TrackbarData>(hwnd).max;
    case TBM_SETPOS: {
        auto& d = Data<TrackbarData>(hwnd);
        d.pos = std::clamp(static_cast<int>(lParam), d.min, std::max(d.min, d.max));
        if (wParam) {
            Redraw(hwnd);
        }
        return 0;
    }
    case TBM_SETRANGE:
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX: {
        auto& d = Data<TrackbarData>(hwnd);
        if (message == TBM_SETRANGE) {
            d.min = static_cast<SHORT>(LOWORD(lParam));
            d.max = static_cast<SHORT>(HIWORD(lParam));
        } else if (message == TBM_SETRANGEMIN) {
            d.min = static_cast<int>(lParam);
        } else {
            d.max = static_cast<int>(lParam);
        }
        d.pos = std::clamp(d.pos, d.min, std::max(d.min, d.max));
        if (wParam) {
            Redraw(hwnd);
        }
        return 0;
    }
    case TBM_SETTICFREQ:
        Data<TrackbarData>(hwnd).tickFrequency = std::max(1, static_cast<int>(wParam));
        Redraw(hwnd);
        return 0;
    case TBM_GETNUMTICS:
        return TickCount(hwnd, Data<TrackbarData>(hwnd));
    case TBM_SETPAGESIZE: {
        auto& d = Data<TrackbarData>(hwnd);
        const int old = d.page;
        d.page = static_cast<int>(lParam);
        return old;
    }
    case TBM_GETPAGESIZE:
        return Data<TrackbarData>(hwnd).page;
    case TBM_SETLINESIZE: {
        auto& d = Data<TrackbarData>(hwnd);
        const int old = d.line;
        d.line = static_cast<int>(lParam);
        return old;
    }
    case TBM_GETLINESIZE:
        return Data<TrackbarData>(hwnd).line;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
} // namespace ui::detail
