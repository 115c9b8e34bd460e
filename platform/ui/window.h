// The headless window manager: the window tree, messages, the virtual clock and its timers, painting.
// Everything runs on the calling thread; nothing reads real time. Tests drive it with pump() and advance().
#pragma once

#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

#include <cairo.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// Delivers posted messages, then paints, then due timers, until nothing is left. Returns how many it delivered.
int pump();
// Moves the virtual clock on by `ms`, firing every timer that falls due on the way at its own time.
void advance(DWORD ms);
// The virtual clock in milliseconds (GetTickCount reads it).
DWORD now();

// Destroys every window, empties the queue, kills timers and resets clock, focus, capture, input state and
// monitors: for test fixtures.
void reset();

// Sees every message that reaches a window procedure, sent or posted, in delivery order.
struct MessageRecord {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool posted;
};
using MessageSpy = std::function<void(const MessageRecord&)>;
MessageSpy SetMessageSpy(MessageSpy spy);

// Runs before a posted message is dispatched (the OWL layer's pre-processing); true swallows the message.
using MessageFilter = std::function<bool(MSG&)>;
MessageFilter SetMessageFilter(MessageFilter filter);

// Monitors: the primary one first. The default is one 1920 x 1080 monitor whose work area leaves 40 pixels for
// a task bar at the bottom. A monitor's DPI of 0 stands for the screen DPI (gdi::SetScreenDpi).
struct Monitor {
    RECT area;
    RECT work;
    UINT dpi = 0;
};
void SetMonitors(const std::vector<Monitor>& monitors);
std::vector<Monitor> Monitors();

// Inspection for tests.
std::vector<HWND> TopLevelWindows();
std::vector<HWND> Children(HWND hwnd); // in z-order, top first
bool HasTimer(HWND hwnd, UINT_PTR id);
// The next `count` calls of SetTimer fail (as when the system runs out of timers).
void FailNextTimers(unsigned count);
int TimerCount();
// How often KillTimer was called since the start; the period of a running timer (0 when there is none).
int KillTimerCalls();
UINT TimerElapse(HWND hwnd, UINT_PTR id);
int QueuedMessageCount();
std::u16string WindowText(HWND hwnd);
bool NeedsPaint(HWND hwnd);

// The system's tooltip animation settings (SPI_GETTOOLTIPANIMATION, SPI_GETTOOLTIPFADE); both off by default.
void SetTooltipAnimation(bool animation, bool fade);
bool TooltipAnimation();
bool TooltipFade();
// AnimateWindow fails while set; how many animations ran.
void FailAnimateWindow(bool fail);
int AnimateWindowCount();
// The application gains or loses the activation: WM_ACTIVATEAPP to every top-level window.
void SetAppActive(bool active);

namespace detail {

// State that a standard control keeps with its window.
struct ControlData {
    virtual ~ControlData() = default;
};

struct WindowClass {
    std::u16string name;
    WNDCLASSW info{};
    std::vector<BYTE> extra;
    bool system = false;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    Window* parent = nullptr;
    HWND owner = nullptr;
    std::vector<Window*> children; // z-order, top first
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{}; // in the parent's client coordinates (screen for top-level windows)
    std::u16string text;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extra;
    std::map<std::u16string, void*> props;
    std::unique_ptr<ControlData> data;
    cairo_surface_t* surface = nullptr;
    cairo_region_t* update = nullptr; // client coordinates
    bool erase = false;
    bool frameDirty = false;
    bool internalPaint = false;
    bool destroying = false;
    bool dead = false;
    SCROLLINFO scroll[2]{}; // SB_HORZ, SB_VERT of the window's own scroll bars
    bool scrollDisabled[2]{};
    RECT ncInsets{};                      // client insets from the window's answer to WM_NCCALCSIZE
    cairo_region_t* shape = nullptr;      // SetWindowRgn, window coordinates; none means the whole rectangle
};

Window* Find(HWND hwnd);
// Non-client sizes for a style: left, top, right and bottom insets of the client area.
RECT FrameInsets(DWORD style, DWORD exStyle);
// The insets of a window's client area as its WM_NCCALCSIZE answered them (the style's insets by default).
RECT Insets(const Window& w);
// Asks the window for its client area (WM_NCCALCSIZE) and keeps the answer.
void CalcClientInsets(Window* w);
// Window and client rectangles in screen coordinates.
RECT ScreenRect(const Window& w);
RECT ClientScreenRect(const Window& w);

struct SurfaceInfo {
    cairo_surface_t* surface = nullptr;
    POINT clientOffset{}; // client origin within the window surface
    SIZE windowSize{};
    SIZE clientSize{};
};
bool GetSurfaceInfo(HWND hwnd, SurfaceInfo& info);
cairo_surface_t* ScreenSurface();

// Registers one of the standard classes ("Button", "Edit" …); done on first use.
void RegisterSystemClass(const std::u16string& name, WNDPROC proc, UINT style, HBRUSH background, int extra = 0);

// The control data of a window, created on first use.
template <class T>
T& Data(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w->data || !dynamic_cast<T*>(w->data.get())) {
        w->data = std::make_unique<T>();
    }
    return static_cast<T&>(*w->data);
}

// Sends WM_COMMAND with a notification code to a control's parent.
void NotifyParent(HWND control, WORD code);
// Colours a control draws with: sends the WM_CTLCOLOR* message to its parent and returns the brush.
HBRUSH ControlColors(HWND control, HDC hdc, UINT message);
// The font a control draws with (its WM_SETFONT font, else the system font).
HFONT ControlFont(HWND control, HFONT own);

// Input state shared by the window manager and the input helpers.
struct InputState {
    POINT cursor{};
    WPARAM buttons = 0; // MK_* of the buttons held
    std::vector<UINT> keys; // virtual keys held down
    HWND tracking = nullptr; // TrackMouseEvent(TME_LEAVE)
    HWND hover = nullptr;    // window under the cursor at the last move
};
InputState& Input();
// The window that takes mouse input at a screen point (capture first), and the hit test it gave.
HWND MouseTarget(POINT screen, LRESULT* hitTest);

// Runs a nested message loop until `done` says so or nothing is left to deliver.
void PumpUntil(const std::function<bool()>& done);
}
}
