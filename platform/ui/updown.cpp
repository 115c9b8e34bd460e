// The up-down control: a position in a range stepped by its two arrows. Before each step the parent may refuse it
// (UDN_DELTAPOS); after it the parent gets WM_VSCROLL (WM_HSCROLL with UDS_HORZ) and the buddy its number. An arrow
// held down repeats, first after half a second and then every tenth, and the steps grow with the time held as the
// acceleration table says; with UDS_ARROWKEYS the arrow keys step it too, in the control or in its buddy.
#include "platform/ui/controls.h"
#include "platform/win/commctrl.h"

#include <charconv>
#include <string>
#include <vector>

namespace ui::detail {
namespace {
struct UpDownData : ControlData {
    int lower = 100; // Win32's default range runs from 100 down to 0
    int upper = 0;
    int pos = 0;
    HWND buddy = nullptr;
    int pressed = 0; // +1 up arrow, -1 down arrow, 0 none
    bool over = false; // the pointer is over the pressed arrow: only then does it repeat
    DWORD heldSince = 0; // when the arrow or key was pressed, for the acceleration
    UINT keyHeld = 0;
    std::vector<UDACCEL> accel{{0, 1}, {2, 5}, {5, 20}};
};

constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 500;
constexpr UINT kRepeat = 100;
constexpr const char16_t* kBuddyOwner = u"UpDownOwner";
constexpr const char16_t* kBuddyProc = u"UpDownBuddyProc";

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

// The step while an arrow has been held for `held` milliseconds: the increment of the last entry reached.
int Increment(const UpDownData& d, DWORD held)
{
    int increment = 1;
    for (const UDACCEL& entry : d.accel) {
        if (static_cast<unsigned long long>(entry.nSec) * 1000 <= held) {
            increment = static_cast<int>(entry.nInc);
        }
    }
    return increment;
}

int Clamp(const UpDownData& d, int pos)
{
    const int low = std::min(d.lower, d.upper);
    const int high = std::max(d.lower, d.upper);
    return std::clamp(pos, low, high);
}

void Step(HWND hwnd, UpDownData& d, int arrow, int increment = 1)
{
    ReadBuddy(hwnd, d);
    const int delta = (d.upper >= d.lower ? arrow : -arrow) * increment;
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

void EndScroll(HWND hwnd, const UpDownData& d)
{
    if (HWND parent = GetParent(hwnd)) {
        SendMessageW(parent, Horizontal(hwnd) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, d.pos),
                     reinterpret_cast<LPARAM>(hwnd));
    }
}

// The arrow that a key stands for with UDS_ARROWKEYS, or 0.
int ArrowOfKey(HWND hwnd, WPARAM key)
{
    if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_ARROWKEYS)) {
        return 0;
    }
    if (Horizontal(hwnd)) {
        return key == VK_RIGHT ? 1 : key == VK_LEFT ? -1 : 0;
    }
    return key == VK_UP ? 1 : key == VK_DOWN ? -1 : 0;
}

// An arrow key held: the first press steps by the first increment, its repeats as long as it has been held.
bool KeyDown(HWND hwnd, UpDownData& d, WPARAM key, LPARAM flags)
{
    const int arrow = ArrowOfKey(hwnd, key);
    if (!arrow || !IsWindowEnabled(hwnd)) {
        return false;
    }
    if (!(flags & 0x40000000) || d.keyHeld != key) {
        d.keyHeld = static_cast<UINT>(key);
        d.heldSince = GetTickCount();
    }
    Step(hwnd, d, arrow, Increment(d, GetTickCount() - d.heldSince));
    return true;
}

bool KeyUp(HWND hwnd, UpDownData& d, WPARAM key)
{
    if (!ArrowOfKey(hwnd, key)) {
        return false;
    }
    if (d.keyHeld == key) {
        d.keyHeld = 0;
        EndScroll(hwnd, d);
    }
    return true;
}

// The buddy's procedure while it belongs to an up-down control with UDS_ARROWKEYS: arrow keys go to the control.
LRESULT BuddyProc(HWND buddy, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto owner = static_cast<HWND>(GetPropW(buddy, kBuddyOwner));
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(buddy, kBuddyProc));
    if (owner && IsWindow(owner)) {
        if (message == WM_KEYDOWN && KeyDown(owner, Data<UpDownData>(owner), wParam, lParam)) {
            return 0;
        }
        if (message == WM_KEYUP && KeyUp(owner, Data<UpDownData>(owner), wParam)) {
            return 0;
        }
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(buddy, kBuddyOwner);
        RemovePropW(buddy, kBuddyProc);
        if (previous) {
            SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
    }
    return previous ? CallWindowProcW(previous, buddy, message, wParam, lParam)
                    : DefWindowProcW(buddy, message, wParam, lParam);
}

// Gives the buddy back its own procedure, when nothing subclassed it after us.
void ReleaseBuddy(HWND hwnd, UpDownData& d)
{
    HWND buddy = d.buddy;
    if (!buddy || !IsWindow(buddy) || GetPropW(buddy, kBuddyOwner) != hwnd) {
        return;
    }
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(buddy, kBuddyProc));
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(buddy, GWLP_WNDPROC)) == &BuddyProc && previous) {
        SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(buddy, kBuddyProc);
    }
    // Otherwise the procedure stays in the chain and passes everything on once the owner is gone.
    RemovePropW(buddy, kBuddyOwner);
}

// Takes a buddy: with UDS_ALIGNRIGHT or UDS_ALIGNLEFT the control moves beside it, inside its old width.
void AttachBuddy(HWND hwnd, UpDownData& d, HWND buddy)
{
    ReleaseBuddy(hwnd, d);
    d.buddy = buddy;
    if (!buddy) {
        return;
    }
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_ARROWKEYS) && !GetPropW(buddy, kBuddyOwner)) {
        if (!GetPropW(buddy, kBuddyProc)) {
            SetPropW(buddy, kBuddyProc, reinterpret_cast<void*>(GetWindowLongPtrW(buddy, GWLP_WNDPROC)));
            SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BuddyProc));
        }
        SetPropW(buddy, kBuddyOwner, hwnd);
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
        d.over = true;
        d.heldSince = GetTickCount();
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        Step(hwnd, d, d.pressed, Increment(d, 0));
        if (d.pressed) {
            SetTimer(hwnd, kRepeatTimer, kFirstRepeat, nullptr);
        }
        return 0;
    }
    case WM_MOUSEMOVE: {
        auto& d = Data<UpDownData>(hwnd);
        if (d.pressed) {
            const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            RECT r{};
            GetClientRect(hwnd, &r);
            const bool over = PtInRect(&r, p) && ArrowAt(hwnd, p) == d.pressed;
            if (over != d.over) {
                d.over = over;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
        }
        return 0;
    }
    case WM_TIMER: {
        auto& d = Data<UpDownData>(hwnd);
        if (wParam != kRepeatTimer) {
            return 0;
        }
        if (!d.pressed) {
            KillTimer(hwnd, kRepeatTimer);
            return 0;
        }
        // The first repeat waits longer; from then on the arrow repeats quickly, faster in steps as it is held.
        SetTimer(hwnd, kRepeatTimer, kRepeat, nullptr);
        if (d.over) {
            Step(hwnd, d, d.pressed, Increment(d, GetTickCount() - d.heldSince));
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
    case WM_LBUTTONUP: {
        auto& d = Data<UpDownData>(hwnd);
        KillTimer(hwnd, kRepeatTimer);
        if (message == WM_LBUTTONUP && GetCapture() == hwnd) {
            ReleaseCapture();
        }
        if (d.pressed) {
            d.pressed = 0;
            d.over = false;
            InvalidateRect(hwnd, nullptr, FALSE);
            EndScroll(hwnd, d);
        }
        return 0;
    }
    case WM_KEYDOWN:
        return KeyDown(hwnd, Data<UpDownData>(hwnd), wParam, lParam) ? 0
                                                                     : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_KEYUP:
        return KeyUp(hwnd, Data<UpDownData>(hwnd), wParam) ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_GETDLGCODE:
        return (GetWindowLongPtrW(hwnd, GWL_STYLE) & UDS_ARROWKEYS) ? DLGC_WANTARROWS : 0;
    case WM_DESTROY: {
        auto& d = Data<UpDownData>(hwnd);
        KillTimer(hwnd, kRepeatTimer);
        ReleaseBuddy(hwnd, d);
        return 0;
    }
    case UDM_SETACCEL: {
        const auto* entries = reinterpret_cast<const UDACCEL*>(lParam);
        if (!entries || wParam == 0) {
            return FALSE;
        }
        Data<UpDownData>(hwnd).accel.assign(entries, entries + wParam);
        return TRUE;
    }
    case UDM_GETACCEL: {
        const auto& d = Data<UpDownData>(hwnd);
        if (auto* entries = reinterpret_cast<UDACCEL*>(lParam)) {
            const std::size_t n = std::min<std::size_t>(wParam, d.accel.size());
            std::copy_n(d.accel.begin(), n, entries);
        }
        return static_cast<LRESULT>(d.accel.size());
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
