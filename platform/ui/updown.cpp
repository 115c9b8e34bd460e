// The up-down control: a position in a range stepped by its two arrows. Before each step the parent may refuse it
// (UDN_DELTAPOS); after it the parent gets WM_VSCROLL (WM_HSCROLL with UDS_HORZ) and the buddy its number.
#include "platform/ui/controls.h"
#include "platform/win/commctrl.h"

#include <charconv>
#include <string>

namespace ui::detail {
namespace {
struct UpDownData : ControlData {
    int lower = 100; // Win32's default range runs from 100 down to 0
    int upper = 0;
    int pos = 0;
    HWND buddy = nullptr;
    int pressed = 0; // +1 up arrow, -1 down arrow, 0 none
};

bool Horizontal(HWND hwnd) { return GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_HORZ; }

// The arrow under a client point: +1 for the one that moves toward the upper end of the range.
int ArrowAt(HWND hwnd, POINT p)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    if (Horizontal(hwnd)) {
        return p.x >= (r.left + r.right) / 2 ? 1 : -1;
    }
    return p.y < (r.top + r.bottom) / 2 ? 1 : -1;
}

void WriteBuddy(HWND hwnd, const UpDownData& d)
{
    if (d.buddy && (GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_SETBUDDYINT)) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, d.pos).ptr;
        const std::u16string text(digits, end);
        SetWindowTextW(d.buddy, text.c_str());
    }
}

// The buddy's number when it shows one; false when its text is no number.
bool ReadBuddy(HWND hwnd, UpDownData& d)
{
    if (!d.buddy || !(GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_SETBUDDYINT)) {
        return true;
    }
    std::string text;
    for (char16_t c : WindowText(d.buddy)) {
        if (c != u',' && c != u' ') {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    d.pos = value;
    return true;
}

int Clamp(const UpDownData& d, int pos)
{
    const int low = std::min(d.lower, d.upper);
    const int high = std::max(d.lower, d.upper);
    return std::clamp(pos, low, high);
}

void Step(HWND hwnd, UpDownData& d, int arrow)
{
    ReadBuddy(hwnd, d);
    const int delta = d.upper >= d.lower ? arrow : -arrow;
    HWND parent = GetParent(hwnd);
    NMUPDOWN notice{{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), UDN_DELTAPOS}, d.pos, delta};
    if (parent && SendMessageW(parent, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice))) {
        return; // refused
    }
    const int low = std::min(d.lower, d.upper);
    const int high = std::max(d.lower, d.upper);
    int next = d.pos + notice.iDelta;
    if (next > high || next < low) {
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_WRAP)) {
            next = std::clamp(next, low, high);
        } else {
            next = next > high ? low : high;
        }
    }
    if (next == d.pos) {
        return;
    }
    d.pos = next;
    WriteBuddy(hwnd, d);
    if (parent) {
        SendMessageW(parent, Horizontal(hwnd) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, d.pos),
                     reinterpret_cast<LPARAM>(hwnd));
    }
}

// Takes a buddy: with UDS_ALIGNRIGHT or UDS_ALIGNLEFT the control moves beside it, inside its old width.
void AttachBuddy(HWND hwnd, UpDownData& d, HWND buddy)
{
    d.buddy = buddy;
    if (!buddy) {
        return;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) {
        RECT own{};
        RECT b{};
        GetWindowRect(hwnd, &own);
        GetWindowRect(buddy, &b);
        MapWindowPoints(nullptr, GetParent(buddy), reinterpret_cast<POINT*>(&b), 2);
        const int width = own.right - own.left;
        const int buddyWidth = std::max(0, static_cast<int>(b.right - b.left) - width);
        if (style & UDS_ALIGNRIGHT) {
            MoveWindow(buddy, b.left, b.top, buddyWidth, b.bottom - b.top, TRUE);
            MoveWindow(hwnd, b.left + buddyWidth, b.top, width, b.bottom - b.top, TRUE);
        } else {
            MoveWindow(hwnd, b.left, b.top, width, b.bottom - b.top, TRUE);
            MoveWindow(buddy, b.left + width, b.top, buddyWidth, b.bottom - b.top, TRUE);
        }
    }
    WriteBuddy(hwnd, d);
}

void PaintUpDown(HWND hwnd, HDC hdc)
{
    const auto& d = Data<UpDownData>(hwnd);
    RECT r{};
    GetClientRect(hwnd, &r);
    const bool horizontal = Horizontal(hwnd);
    RECT first = r;
    RECT second = r;
    if (horizontal) {
        first.right = second.left = (r.left + r.right) / 2;
    } else {
        first.bottom = second.top = (r.top + r.bottom) / 2;
    }
    const UINT inactive = IsWindowEnabled(hwnd) ? 0 : DFCS_INACTIVE;
    // First: up (or left, the lower end when horizontal); second: down (or right).
    DrawFrameControl(hdc, &first, DFC_SCROLL,
                     (horizontal ? DFCS_SCROLLLEFT : DFCS_SCROLLUP) | inactive |
                         (d.pressed == (horizontal ? -1 : 1) ? DFCS_PUSHED : 0));
    DrawFrameControl(hdc, &second, DFC_SCROLL,
                     (horizontal ? DFCS_SCROLLRIGHT : DFCS_SCROLLDOWN) | inactive |
                         (d.pressed == (horizontal ? 1 : -1) ? DFCS_PUSHED : 0));
}
}

LRESULT UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        auto& d = Data<UpDownData>(hwnd);
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_AUTOBUDDY) {
            AttachBuddy(hwnd, d, GetWindow(hwnd, GW_HWNDPREV));
        }
        return 0;
    }
    case WM_PAINT:
        return PaintControl(hwnd, PaintUpDown);
    case WM_LBUTTONDOWN: {
        auto& d = Data<UpDownData>(hwnd);
        d.pressed = ArrowAt(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        Step(hwnd, d, d.pressed);
        return 0;
    }
    case WM_LBUTTONUP: {
        auto& d = Data<UpDownData>(hwnd);
        if (GetCapture() == hwnd) {
            ReleaseCapture();
        }
        if (d.pressed) {
            d.pressed = 0;
            InvalidateRect(hwnd, nullptr, FALSE);
            if (HWND parent = GetParent(hwnd)) {
                SendMessageW(parent, Horizontal(hwnd) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, d.pos),
                             reinterpret_cast<LPARAM>(hwnd));
            }
        }
        return 0;
    }
    case UDM_SETRANGE:
        Data<UpDownData>(hwnd).upper = static_cast<SHORT>(LOWORD(lParam));
        Data<UpDownData>(hwnd).lower = static_cast<SHORT>(HIWORD(lParam));
        return 0;
    case UDM_GETRANGE: {
        const auto& d = Data<UpDownData>(hwnd);
        return MAKELONG(static_cast<WORD>(d.upper), static_cast<WORD>(d.lower));
    }
    case UDM_SETRANGE32:
        Data<UpDownData>(hwnd).lower = static_cast<int>(wParam);
        Data<UpDownData>(hwnd).upper = static_cast<int>(lParam);
        return 0;
    case UDM_GETRANGE32: {
        const auto& d = Data<UpDownData>(hwnd);
        if (auto* low = reinterpret_cast<int*>(wParam)) {
            *low = d.lower;
        }
        if (auto* high = reinterpret_cast<int*>(lParam)) {
            *high = d.upper;
        }
        return 0;
    }
    case UDM_SETPOS:
    case UDM_SETPOS32: {
        auto& d = Data<UpDownData>(hwnd);
        const int old = d.pos;
        d.pos = Clamp(d, message == UDM_SETPOS ? static_cast<SHORT>(LOWORD(lParam)) : static_cast<int>(lParam));
        WriteBuddy(hwnd, d);
        return old;
    }
    case UDM_GETPOS: {
        auto& d = Data<UpDownData>(hwnd);
        const bool ok = ReadBuddy(hwnd, d);
        return MAKELONG(static_cast<WORD>(d.pos), ok ? 0 : 1);
    }
    case UDM_GETPOS32: {
        auto& d = Data<UpDownData>(hwnd);
        const bool ok = ReadBuddy(hwnd, d);
        if (auto* error = reinterpret_cast<BOOL*>(lParam)) {
            *error = ok ? FALSE : TRUE;
        }
        return d.pos;
    }
    case UDM_SETBUDDY: {
        auto& d = Data<UpDownData>(hwnd);
        HWND old = d.buddy;
        AttachBuddy(hwnd, d, reinterpret_cast<HWND>(wParam));
        return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY:
        return reinterpret_cast<LRESULT>(Data<UpDownData>(hwnd).buddy);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}
