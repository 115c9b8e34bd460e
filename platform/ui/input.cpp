#include "platform/ui/input.h"

#include "platform/ui/window.h"

#include <algorithm>

namespace ui {
namespace {
using detail::Input;

WPARAM KeyFlags()
{
    const auto& input = Input();
    WPARAM flags = input.buttons;
    if (std::find(input.keys.begin(), input.keys.end(), VK_SHIFT) != input.keys.end()) {
        flags |= MK_SHIFT;
    }
    if (std::find(input.keys.begin(), input.keys.end(), VK_CONTROL) != input.keys.end()) {
        flags |= MK_CONTROL;
    }
    return flags;
}

WPARAM ButtonFlag(Button button)
{
    switch (button) {
    case Button::Right:
        return MK_RBUTTON;
    case Button::Middle:
        return MK_MBUTTON;
    default:
        return MK_LBUTTON;
    }
}

UINT DownMessage(Button button)
{
    return button == Button::Right ? WM_RBUTTONDOWN : button == Button::Middle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
}

UINT UpMessage(Button button)
{
    return button == Button::Right ? WM_RBUTTONUP : button == Button::Middle ? WM_MBUTTONUP : WM_LBUTTONUP;
}

POINT ToScreen(HWND hwnd, POINT point)
{
    ClientToScreen(hwnd, &point);
    return point;
}

LPARAM ClientPoint(HWND target, POINT screen)
{
    ScreenToClient(target, &screen);
    return MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y));
}

// The window that gets mouse input at a screen point, or none when its top-level window is disabled.
HWND Target(POINT screen, LRESULT* hit)
{
    HWND target = detail::MouseTarget(screen, hit);
    if (target && GetCapture() != target && !IsWindowEnabled(GetAncestor(target, GA_ROOT))) {
        return nullptr;
    }
    return target;
}

void PostMouse(UINT message, POINT screen, WPARAM extra = 0)
{
    auto& input = Input();
    input.cursor = screen;
    LRESULT hit = HTCLIENT;
    HWND target = Target(screen, &hit);
    // Leaving the tracked window ends its tracking with WM_MOUSELEAVE, also while it holds the capture.
    const bool leftCapture = target && GetCapture() == target && WindowFromPoint(screen) != target;
    if (input.tracking && (input.tracking != target || leftCapture)) {
        PostMessageW(input.tracking, WM_MOUSELEAVE, 0, 0);
        input.tracking = nullptr;
    }
    input.hover = target;
    if (!target || (hit != HTCLIENT && GetCapture() != target)) {
        return;
    }
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(static_cast<WORD>(hit),
                                                                                    static_cast<WORD>(message)));
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
        HWND root = GetAncestor(target, GA_ROOT);
        const LRESULT activate = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root),
                                              MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(message)));
        const bool noActivate = GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_NOACTIVATE;
        if ((activate == MA_ACTIVATE || activate == MA_ACTIVATEANDEAT) && !noActivate && root != GetActiveWindow()) {
            SetActiveWindow(root);
        }
        if (activate == MA_ACTIVATEANDEAT || activate == MA_NOACTIVATEANDEAT) {
            return;
        }
    }
    PostMessageW(target, message, KeyFlags() | extra, ClientPoint(target, screen));
}

HWND KeyTarget()
{
    HWND focus = GetFocus();
    return focus ? focus : GetActiveWindow();
}
}

POINT Center(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void MouseMove(HWND hwnd, POINT point)
{
    PostMouse(WM_MOUSEMOVE, ToScreen(hwnd, point));
    pump();
}

void MouseDown(HWND hwnd, POINT point, Button button)
{
    const POINT screen = ToScreen(hwnd, point);
    if (!(Input().cursor == screen)) {
        PostMouse(WM_MOUSEMOVE, screen);
    }
    Input().buttons |= ButtonFlag(button);
    PostMouse(DownMessage(button), screen);
    pump();
}

void MouseUp(HWND hwnd, POINT point, Button button)
{
    const POINT screen = ToScreen(hwnd, point);
    if (!(Input().cursor == screen)) {
        PostMouse(WM_MOUSEMOVE, screen);
    }
    Input().buttons &= ~ButtonFlag(button);
    PostMouse(UpMessage(button), screen);
    if (button == Button::Right) {
        // The context menu request follows the right button's release, in screen coordinates.
        HWND target = Target(screen, nullptr);
        if (target) {
            PostMessageW(target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target),
                         MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
        }
    }
    pump();
}

void Click(HWND hwnd, POINT point, Button button)
{
    MouseDown(hwnd, point, button);
    if (IsWindow(hwnd)) {
        MouseUp(hwnd, point, button);
    }
}

void Click(HWND hwnd) { Click(hwnd, Center(hwnd)); }

void DoubleClick(HWND hwnd, POINT point)
{
    const POINT screen = ToScreen(hwnd, point);
    MouseDown(hwnd, point);
    MouseUp(hwnd, point);
    Input().buttons |= MK_LBUTTON;
    PostMouse(WM_LBUTTONDBLCLK, screen);
    pump();
    Input().buttons &= ~MK_LBUTTON;
    PostMouse(WM_LBUTTONUP, screen);
    pump();
}

void Drag(HWND hwnd, POINT from, POINT to, int steps, Button button)
{
    const POINT start = ToScreen(hwnd, from);
    const POINT end = ToScreen(hwnd, to);
    MouseDown(hwnd, from, button);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        const POINT p{start.x + (end.x - start.x) * i / steps, start.y + (end.y - start.y) * i / steps};
        PostMouse(WM_MOUSEMOVE, p);
        pump();
    }
    Input().buttons &= ~ButtonFlag(button);
    PostMouse(UpMessage(button), end);
    pump();
}

void Wheel(HWND hwnd, POINT point, int delta)
{
    const POINT screen = ToScreen(hwnd, point);
    if (!(Input().cursor == screen)) {
        PostMouse(WM_MOUSEMOVE, screen);
    }
    // The wheel goes to the focus window (or the one under the cursor when nothing has the focus).
    HWND target = GetFocus();
    if (!target) {
        target = Target(screen, nullptr);
    }
    if (target) {
        PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<WORD>(KeyFlags()), static_cast<WORD>(delta)),
                     MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
    }
    pump();
}

void KeyDown(UINT key)
{
    auto& keys = Input().keys;
    const bool repeat = std::find(keys.begin(), keys.end(), key) != keys.end();
    if (!repeat) {
        keys.push_back(key);
    }
    if (HWND target = KeyTarget()) {
        PostMessageW(target, WM_KEYDOWN, key, 1 | (repeat ? 0x40000000 : 0));
    }
    pump();
}

void KeyUp(UINT key)
{
    std::erase(Input().keys, key);
    if (HWND target = KeyTarget()) {
        PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    }
    pump();
}

void PressKey(UINT key)
{
    KeyDown(key);
    KeyUp(key);
}

void Type(std::u16string_view text)
{
    for (char16_t ch : text) {
        if (HWND target = KeyTarget()) {
            PostMessageW(target, WM_CHAR, ch, 1);
        }
        pump();
    }
}
}

SHORT GetKeyState(int key)
{
    const auto& input = ui::detail::Input();
    bool down = std::find(input.keys.begin(), input.keys.end(), static_cast<UINT>(key)) != input.keys.end();
    if (key == VK_SHIFT || key == VK_CONTROL) {
        const UINT left = key == VK_SHIFT ? VK_LSHIFT : VK_LCONTROL;
        const UINT right = key == VK_SHIFT ? VK_RSHIFT : VK_RCONTROL;
        down = down || std::find(input.keys.begin(), input.keys.end(), left) != input.keys.end() ||
               std::find(input.keys.begin(), input.keys.end(), right) != input.keys.end();
    }
    if (key == VK_LBUTTON) {
        down = input.buttons & MK_LBUTTON;
    } else if (key == VK_RBUTTON) {
        down = input.buttons & MK_RBUTTON;
    } else if (key == VK_MBUTTON) {
        down = input.buttons & MK_MBUTTON;
    }
    return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int key) { return GetKeyState(key); }

BOOL GetCursorPos(LPPOINT point)
{
    if (!point) {
        return FALSE;
    }
    *point = ui::detail::Input().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    ui::detail::Input().cursor = POINT{x, y};
    return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track || track->cbSize < sizeof(TRACKMOUSEEVENT)) {
        return FALSE;
    }
    auto& input = ui::detail::Input();
    if (track->dwFlags & TME_CANCEL) {
        if (input.tracking == track->hwndTrack) {
            input.tracking = nullptr;
        }
        return TRUE;
    }
    if (track->dwFlags & TME_LEAVE) {
        if (!IsWindow(track->hwndTrack)) {
            return FALSE;
        }
        if (input.hover != track->hwndTrack) {
            // The cursor is not over the window: the leave notice comes at once.
            PostMessageW(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
        } else {
            input.tracking = track->hwndTrack;
        }
    }
    return TRUE;
}
