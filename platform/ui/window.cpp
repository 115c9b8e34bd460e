#include "platform/ui/window.h"

#include "platform/gdi/dc.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <utility>
#include <cstring>
#include <deque>
#include <unordered_map>

namespace ui {
namespace detail {
namespace {
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr UINT SWP_NOCLIENTSIZE = 0x0800;
constexpr UINT SWP_NOCLIENTMOVE = 0x1000;
const HWND kDesktop = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x8));

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    DWORD due;
    TIMERPROC proc;
    std::uint64_t order;
};

struct Manager {
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<Window*> topLevel; // z-order, top first
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes;
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    std::uint64_t timerOrder = 0;
    UINT_PTR nextThreadTimer = 1;
    DWORD clock = 0;
    DWORD messageTime = 0;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    std::uintptr_t nextHandle = 0x10000;
    MessageSpy spy;
    MessageFilter filter;
    std::vector<Monitor> monitors;
    int depth = 0;
    std::vector<std::unique_ptr<Window>> graveyard;
    cairo_surface_t* screen = nullptr;
    InputState input;
    ATOM nextAtom = 0xC000;
    unsigned failingTimers = 0;
    int killTimerCalls = 0;
};

Manager& M()
{
    static auto* manager = new Manager; // outlives static destructors of windows' owners
    return *manager;
}

std::u16string Key(std::u16string_view name) { return platform::AsciiLower(name); }

std::u16string ClassKey(LPCWSTR name)
{
    if (IS_INTRESOURCE(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
        for (const auto& [key, cls] : M().classes) {
            if (reinterpret_cast<std::uintptr_t>(cls->info.lpszClassName) == atom) {
                return key;
            }
        }
        return u"#" + std::u16string(1, static_cast<char16_t>(atom));
    }
    return Key(name);
}

void EnsureSystemClasses()
{
    static bool done = false;
    if (!done) {
        done = true;
        RegisterStandardClasses();
    }
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name)
{
    EnsureSystemClasses();
    if (!name) {
        return nullptr;
    }
    const auto found = M().classes.find(ClassKey(name));
    return found == M().classes.end() ? nullptr : found->second;
}

struct DepthGuard {
    DepthGuard() { ++M().depth; }
    ~DepthGuard()
    {
        if (--M().depth == 0) {
            M().graveyard.clear();
        }
    }
};

LRESULT Deliver(Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool posted)
{
    if (M().spy) {
        M().spy(MessageRecord{w->handle, message, wParam, lParam, posted});
    }
    DepthGuard guard;
    WNDPROC proc = w->proc;
    return proc ? proc(w->handle, message, wParam, lParam) : 0;
}

SIZE Size(const RECT& r) { return SIZE{r.right - r.left, r.bottom - r.top}; }

SIZE ClientSize(const Window& w)
{
    const RECT insets = Insets(w);
    const SIZE size = Size(w.rect);
    return SIZE{std::max<LONG>(0, size.cx - insets.left - insets.right),
                std::max<LONG>(0, size.cy - insets.top - insets.bottom)};
}

bool Visible(const Window* w)
{
    for (; w; w = w->parent) {
        if (!(w->style & WS_VISIBLE)) {
            return false;
        }
    }
    return true;
}

bool InSubtree(HWND candidate, const Window* root)
{
    for (Window* w = Find(candidate); w; w = w->parent) {
        if (w == root) {
            return true;
        }
    }
    return false;
}

std::vector<Window*>& Siblings(Window* w) { return w->parent ? w->parent->children : M().topLevel; }

void Unlink(Window* w)
{
    auto& list = Siblings(w);
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

void InvalidateClient(Window* w, const cairo_region_t* region, bool erase)
{
    const SIZE client = ClientSize(*w);
    if (!w->update) {
        w->update = cairo_region_create();
    }
    const cairo_rectangle_int_t all{0, 0, static_cast<int>(client.cx), static_cast<int>(client.cy)};
    cairo_region_t* add = region ? cairo_region_copy(region) : cairo_region_create_rectangle(&all);
    cairo_region_intersect_rectangle(add, &all);
    cairo_region_union(w->update, add);
    cairo_region_destroy(add);
    if (erase) {
        w->erase = true;
    }
}

void InvalidateAll(Window* w)
{
    InvalidateClient(w, nullptr, true);
    w->frameDirty = true;
}

void ClearUpdate(Window* w)
{
    if (w->update) {
        cairo_region_destroy(w->update);
        w->update = nullptr;
    }
    w->erase = false;
    w->frameDirty = false;
    w->internalPaint = false;
}

bool WantsPaint(const Window* w)
{
    return Visible(w) && ((w->update && !cairo_region_is_empty(w->update)) || w->frameDirty || w->internalPaint);
}

Window* FindPaintable(const std::vector<Window*>& list)
{
    // Parents before children; among siblings the bottom one first, as it is drawn first.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        Window* w = *it;
        if (!(w->style & WS_VISIBLE)) {
            continue;
        }
        if (WantsPaint(w)) {
            return w;
        }
        if (Window* child = FindPaintable(w->children)) {
            return child;
        }
    }
    return nullptr;
}

void PaintNow(Window* w)
{
    Deliver(w, WM_PAINT, 0, 0, true);
    // A procedure that neither paints nor validates would be asked forever; the region is dropped instead.
    if (Find(w->handle) && WantsPaint(w)) {
        ClearUpdate(w);
    }
}

void FreeWindow(Window* w)
{
    if (w->surface) {
        cairo_surface_destroy(w->surface);
        w->surface = nullptr;
    }
    if (w->shape) {
        cairo_region_destroy(w->shape);
        w->shape = nullptr;
    }
    ClearUpdate(w);
    gdi::LogWindowCalls(w->handle, nullptr);
}

void SendDestroy(Window* w)
{
    Deliver(w, WM_DESTROY, 0, 0, false);
    const std::vector<Window*> children = w->children;
    for (Window* child : children) {
        if (Find(child->handle)) {
            SendDestroy(child);
        }
    }
}

void FreeTree(Window* w)
{
    const std::vector<Window*> children = w->children;
    for (Window* child : children) {
        if (Find(child->handle)) {
            FreeTree(child);
        }
    }
    Deliver(w, WM_NCDESTROY, 0, 0, false);
    Manager& m = M();
    std::erase_if(m.timers, [w](const Timer& t) { return t.hwnd == w->handle; });
    std::erase_if(m.queue, [w](const MSG& msg) { return msg.hwnd == w->handle; });
    if (m.input.tracking == w->handle) {
        m.input.tracking = nullptr;
    }
    if (m.input.hover == w->handle) {
        m.input.hover = nullptr;
    }
    Unlink(w);
    w->dead = true;
    FreeWindow(w);
    auto found = m.windows.find(w->handle);
    if (found != m.windows.end()) {
        m.graveyard.push_back(std::move(found->second));
        m.windows.erase(found);
    }
    if (m.depth == 0) {
        m.graveyard.clear();
    }
}

void MarkDestroying(Window* w)
{
    w->destroying = true;
    for (Window* child : w->children) {
        MarkDestroying(child);
    }
}

HWND Root(HWND hwnd)
{
    Window* w = Find(hwnd);
    while (w && w->parent) {
        w = w->parent;
    }
    return w ? w->handle : nullptr;
}

void DrawFrame(Window* w)
{
    const RECT insets = FrameInsets(w->style, w->exStyle);
    if (insets.left == 0 && insets.top == 0 && insets.right == 0 && insets.bottom == 0) {
        return;
    }
    HDC hdc = GetWindowDC(w->handle);
    const SIZE size = Size(w->rect);
    RECT r{0, 0, size.cx, size.cy};
    if (w->style & WS_THICKFRAME) {
        DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
        FrameRect(hdc, &r, face);
        InflateRect(&r, -1, -1);
        FrameRect(hdc, &r, face);
        InflateRect(&r, -1, -1);
    } else if ((w->style & WS_DLGFRAME) || (w->exStyle & WS_EX_DLGMODALFRAME)) {
        DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
    } else if (w->style & WS_BORDER) {
        FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (w->exStyle & WS_EX_CLIENTEDGE) {
        DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    }
    if (w->exStyle & WS_EX_STATICEDGE) {
        DrawEdge(hdc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        const int height = GetSystemMetrics(SM_CYCAPTION) - 1;
        RECT caption{r.left, r.top, r.right, r.top + height};
        const bool active = M().active == w->handle;
        FillRect(hdc, &caption, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        RECT line{r.left, caption.bottom, r.right, caption.bottom + 1};
        FillRect(hdc, &line, GetSysColorBrush(COLOR_BTNFACE));
        LOGFONTW log{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof log, &log);
        log.lfWeight = FW_BOLD;
        HFONT font = CreateFontIndirectW(&log);
        HGDIOBJ old = SelectObject(hdc, font);
        SetBkMode(hdc, TRANSPARENT);
        SetTextColor(hdc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        RECT text = caption;
        text.left += 4;
        if (w->style & WS_SYSMENU) {
            text.right -= height;
            RECT close{caption.right - height + 1, caption.top + 2, caption.right - 2, caption.bottom - 2};
            DrawFrameControl(hdc, &close, DFC_CAPTION, 0);
        }
        DrawTextW(hdc, w->text.c_str(), static_cast<int>(w->text.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(hdc, old);
        DeleteObject(font);
        r.top = caption.bottom + 1;
    }
    const bool vertical = w->style & WS_VSCROLL;
    const bool horizontal = w->style & WS_HSCROLL;
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    if (vertical) {
        DrawScrollBar(hdc, RECT{r.right - bar, r.top, r.right, r.bottom - (horizontal ? bar : 0)}, true,
                      w->scroll[SB_VERT], !w->scrollDisabled[SB_VERT]);
    }
    if (horizontal) {
        DrawScrollBar(hdc, RECT{r.left, r.bottom - bar, r.right - (vertical ? bar : 0), r.bottom}, false,
                      w->scroll[SB_HORZ], !w->scrollDisabled[SB_HORZ]);
    }
    if (vertical && horizontal) {
        RECT corner{r.right - bar, r.bottom - bar, r.right, r.bottom};
        FillRect(hdc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
    ReleaseDC(w->handle, hdc);
}

// Whether a screen point lies in the window's rectangle and, when it has a region, inside that region: the
// shape of a window is what the mouse hits.
bool InWindowShape(const Window& w, POINT screen)
{
    const RECT window = ScreenRect(w);
    if (!PtInRect(&window, screen)) {
        return false;
    }
    return !w.shape || cairo_region_contains_point(w.shape, screen.x - window.left, screen.y - window.top);
}

LRESULT HitTest(Window* w, POINT screen)
{
    if (!InWindowShape(*w, screen)) {
        return HTNOWHERE;
    }
    const RECT client = ClientScreenRect(*w);
    if (PtInRect(&client, screen)) {
        return HTCLIENT;
    }
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    if ((w->style & WS_VSCROLL) && screen.x >= client.right && screen.x < client.right + bar &&
        screen.y >= client.top && screen.y < client.bottom) {
        return HTVSCROLL;
    }
    if ((w->style & WS_HSCROLL) && screen.y >= client.bottom && screen.y < client.bottom + bar &&
        screen.x >= client.left && screen.x < client.right) {
        return HTHSCROLL;
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION && screen.y < client.top) {
        return HTCAPTION;
    }
    return HTBORDER;
}

HWND DescendAt(Window* w, POINT screen, LRESULT* hit)
{
    const RECT client = ClientScreenRect(*w);
    if (PtInRect(&client, screen)) {
        const std::vector<Window*> children = w->children;
        for (Window* child : children) {
            if ((child->style & WS_VISIBLE) && !(child->style & WS_DISABLED) && InWindowShape(*child, screen)) {
                if (HWND found = DescendAt(child, screen, hit)) {
                    return found;
                }
            }
        }
    }
    const LRESULT code = Deliver(w, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(screen.x),
                                                                  static_cast<WORD>(screen.y)), false);
    if (code == HTTRANSPARENT) {
        return nullptr;
    }
    if (hit) {
        *hit = code;
    }
    return w->handle;
}

// Fires the earliest timer that is due, if any.
bool FireTimer()
{
    Manager& m = M();
    auto due = m.timers.end();
    for (auto it = m.timers.begin(); it != m.timers.end(); ++it) {
        if (it->due <= m.clock &&
            (due == m.timers.end() || it->due < due->due || (it->due == due->due && it->order < due->order))) {
            due = it;
        }
    }
    if (due == m.timers.end()) {
        return false;
    }
    due->due = m.clock + due->elapse;
    const MSG msg{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), m.clock, m.input.cursor};
    m.messageTime = m.clock;
    DispatchMessageW(&msg);
    return true;
}

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYDOWN && message <= WM_SYSCHAR; }

bool PumpOne()
{
    Manager& m = M();
    if (!m.queue.empty()) {
        MSG msg = m.queue.front();
        m.queue.pop_front();
        m.messageTime = msg.time;
        if (msg.message == WM_QUIT) {
            return true;
        }
        if (msg.hwnd && !Find(msg.hwnd)) {
            return true;
        }
        // The thread's keyboard hooks see key messages as the queue hands them out.
        if (ui::detail::RunKeyboardHooks(msg)) {
            return true;
        }
        if (m.filter && m.filter(msg)) {
            return true;
        }
        if (IsKeyboardMessage(msg.message) && msg.hwnd) {
            // The dialog that holds the window gets first look, as a dialog's message loop gives it.
            for (Window* w = Find(msg.hwnd); w; w = w->parent) {
                if (IsDialogWindow(w->handle) && !(w->style & WS_CHILD)) {
                    if (IsDialogMessageW(w->handle, &msg)) {
                        return true;
                    }
                    break;
                }
            }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        return true;
    }
    if (Window* w = FindPaintable(m.topLevel)) {
        PaintNow(w);
        return true;
    }
    return FireTimer();
}
}

Window* Find(HWND hwnd)
{
    if (!hwnd) {
        return nullptr;
    }
    auto& windows = M().windows;
    const auto found = windows.find(hwnd);
    return found == windows.end() ? nullptr : found->second.get();
}

RECT FrameInsets(DWORD style, DWORD exStyle)
{
    int border = 0;
    if (style & WS_THICKFRAME) {
        border = GetSystemMetrics(SM_CXFRAME);
    } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
        border = GetSystemMetrics(SM_CXDLGFRAME);
    } else if (style & WS_BORDER) {
        border = 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        border += 2;
    }
    if (exStyle & WS_EX_STATICEDGE) {
        border += 1;
    }
    RECT insets{border, border, border, border};
    if ((style & WS_CAPTION) == WS_CAPTION) {
        insets.top += GetSystemMetrics(SM_CYCAPTION);
    }
    if (style & WS_VSCROLL) {
        insets.right += GetSystemMetrics(SM_CXVSCROLL);
    }
    if (style & WS_HSCROLL) {
        insets.bottom += GetSystemMetrics(SM_CYHSCROLL);
    }
    return insets;
}

RECT Insets(const Window& w) { return w.ncInsets; }

void CalcClientInsets(Window* w)
{
    HWND hwnd = w->handle;
    RECT r = w->rect;
    Deliver(w, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r), false);
    if (Window* still = Find(hwnd)) {
        const RECT whole = still->rect;
        still->ncInsets = RECT{std::max<LONG>(0, r.left - whole.left), std::max<LONG>(0, r.top - whole.top),
                               std::max<LONG>(0, whole.right - r.right), std::max<LONG>(0, whole.bottom - r.bottom)};
    }
}

RECT ScreenRect(const Window& w)
{
    RECT r = w.rect;
    if (w.parent) {
        const RECT parent = ClientScreenRect(*w.parent);
        OffsetRect(&r, parent.left, parent.top);
    }
    return r;
}

RECT ClientScreenRect(const Window& w)
{
    const RECT window = ScreenRect(w);
    const RECT insets = Insets(w);
    const SIZE client = ClientSize(w);
    const LONG left = window.left + insets.left;
    const LONG top = window.top + insets.top;
    return RECT{left, top, left + client.cx, top + client.cy};
}

bool GetSurfaceInfo(HWND hwnd, SurfaceInfo& info)
{
    Window* w = Find(hwnd);
    if (!w) {
        return false;
    }
    const SIZE size = Size(w->rect);
    const int width = std::max(1, static_cast<int>(size.cx));
    const int height = std::max(1, static_cast<int>(size.cy));
    if (!w->surface || cairo_image_surface_get_width(w->surface) != width ||
        cairo_image_surface_get_height(w->surface) != height) {
        if (w->surface) {
            cairo_surface_destroy(w->surface);
        }
        w->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(w->surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    const RECT insets = Insets(*w);
    info.surface = w->surface;
    info.clientOffset = POINT{insets.left, insets.top};
    info.windowSize = size;
    info.clientSize = ClientSize(*w);
    return true;
}

cairo_surface_t* ScreenSurface()
{
    Manager& m = M();
    if (!m.screen) {
        m.screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, GetSystemMetrics(SM_CXSCREEN),
                                              GetSystemMetrics(SM_CYSCREEN));
        cairo_t* cr = cairo_create(m.screen);
        const COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
        cairo_set_source_rgb(cr, GetRValue(desktop) / 255.0, GetGValue(desktop) / 255.0, GetBValue(desktop) / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    return m.screen;
}

void RegisterSystemClass(const std::u16string& name, WNDPROC proc, UINT style, HBRUSH background, int extra)
{
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->system = true;
    cls->info.style = style | CS_GLOBALCLASS;
    cls->info.lpfnWndProc = proc;
    cls->info.cbWndExtra = extra;
    cls->info.hbrBackground = background;
    cls->info.lpszClassName = cls->name.c_str();
    M().classes[Key(name)] = cls;
}

void NotifyParent(HWND control, WORD code)
{
    Window* w = Find(control);
    if (!w) {
        return;
    }
    HWND parent = GetParent(control);
    if (parent) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
                     reinterpret_cast<LPARAM>(control));
    }
}

HBRUSH ControlColors(HWND control, HDC hdc, UINT message)
{
    HWND parent = GetParent(control);
    HBRUSH brush = nullptr;
    if (parent) {
        brush = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(control)));
    }
    if (!brush) {
        brush = reinterpret_cast<HBRUSH>(
            DefWindowProcW(control, message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(control)));
    }
    return brush;
}

HFONT ControlFont(HWND, HFONT own) { return own ? own : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

InputState& Input() { return M().input; }

HWND MouseTarget(POINT screen, LRESULT* hitTest)
{
    Manager& m = M();
    if (hitTest) {
        *hitTest = HTCLIENT;
    }
    if (m.capture && Find(m.capture)) {
        return m.capture;
    }
    const std::vector<Window*> tops = m.topLevel;
    for (Window* w : tops) {
        if ((w->style & WS_VISIBLE) && InWindowShape(*w, screen)) {
            if (HWND found = DescendAt(w, screen, hitTest)) {
                return found;
            }
        }
    }
    return nullptr;
}

void PumpUntil(const std::function<bool()>& done)
{
    while (!done()) {
        if (!PumpOne()) {
            return;
        }
    }
}
}

using detail::Find;
using detail::M;
using detail::Window;

int pump()
{
    int delivered = 0;
    while (detail::PumpOne()) {
        ++delivered;
    }
    return delivered;
}

void advance(DWORD ms)
{
    auto& m = M();
    const DWORD target = m.clock + ms;
    pump();
    for (;;) {
        DWORD next = target;
        bool any = false;
        for (const auto& timer : m.timers) {
            if (timer.due <= target && (!any || timer.due < next)) {
                next = timer.due;
                any = true;
            }
        }
        if (!any) {
            break;
        }
        m.clock = std::max(m.clock, next);
        pump();
    }
    m.clock = target;
    pump();
}

DWORD now() { return M().clock; }

void reset()
{
    auto& m = M();
    SetModalHook({});
    m.spy = nullptr;
    m.filter = nullptr;
    while (!m.topLevel.empty()) {
        Window* w = m.topLevel.front();
        if (!DestroyWindow(w->handle)) {
            detail::Unlink(w);
        }
    }
    m.queue.clear();
    m.timers.clear();
    m.clock = 0;
    m.focus = nullptr;
    m.capture = nullptr;
    m.active = nullptr;
    m.input = detail::InputState{};
    m.monitors.clear();
    m.failingTimers = 0;
    SetTooltipAnimation(false, false);
    FailAnimateWindow(false);
    std::erase_if(m.classes, [](const auto& entry) { return !entry.second->system; });
    if (m.screen) {
        cairo_surface_destroy(m.screen);
        m.screen = nullptr;
    }
}

MessageSpy SetMessageSpy(MessageSpy spy) { return std::exchange(M().spy, std::move(spy)); }
MessageFilter SetMessageFilter(MessageFilter filter) { return std::exchange(M().filter, std::move(filter)); }

void SetMonitors(const std::vector<Monitor>& monitors)
{
    M().monitors = monitors;
    if (M().screen) {
        cairo_surface_destroy(M().screen);
        M().screen = nullptr;
    }
}

std::vector<Monitor> Monitors()
{
    if (M().monitors.empty()) {
        return {Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}}};
    }
    return M().monitors;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> handles;
    for (Window* w : M().topLevel) {
        handles.push_back(w->handle);
    }
    return handles;
}

std::vector<HWND> Children(HWND hwnd)
{
    std::vector<HWND> handles;
    if (Window* w = Find(hwnd)) {
        for (Window* child : w->children) {
            handles.push_back(child->handle);
        }
    }
    return handles;
}

bool HasTimer(HWND hwnd, UINT_PTR id)
{
    return std::any_of(M().timers.begin(), M().timers.end(),
                       [&](const detail::Timer& t) { return t.hwnd == hwnd && t.id == id; });
}

void FailNextTimers(unsigned count) { M().failingTimers = count; }

int TimerCount() { return static_cast<int>(M().timers.size()); }
int KillTimerCalls() { return M().killTimerCalls; }
UINT TimerElapse(HWND hwnd, UINT_PTR id)
{
    for (const auto& timer : M().timers) {
        if (timer.hwnd == hwnd && timer.id == id) {
            return timer.elapse;
        }
    }
    return 0;
}
int QueuedMessageCount() { return static_cast<int>(M().queue.size()); }

std::u16string WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool NeedsPaint(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && detail::WantsPaint(w);
}
}

using ui::detail::Find;
using ui::detail::M;
using ui::detail::Window;

// Classes.
ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ui::detail::EnsureSystemClasses();
    const std::u16string key = ui::detail::Key(wc->lpszClassName);
    auto& classes = M().classes;
    if (const auto found = classes.find(key); found != classes.end() && !found->second->system) {
        SetLastError(ui::detail::ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<ui::detail::WindowClass>();
    cls->name = wc->lpszClassName;
    cls->info = *wc;
    cls->info.lpszClassName = cls->name.c_str();
    cls->info.lpszMenuName = nullptr;
    cls->extra.assign(static_cast<std::size_t>(std::max(0, wc->cbClsExtra)), 0);
    classes[key] = cls;
    return M().nextAtom++;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    auto cls = ui::detail::FindClass(className);
    if (!cls || cls->system) {
        return FALSE;
    }
    for (const auto& [handle, w] : M().windows) {
        if (w->cls == cls) {
            SetLastError(ui::detail::ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    M().classes.erase(ui::detail::Key(cls->name));
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* wc)
{
    auto cls = ui::detail::FindClass(className);
    if (!cls || !wc) {
        SetLastError(ui::detail::ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    *wc = cls->info;
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int units)
{
    Window* w = Find(hwnd);
    if (!w || !buffer || units <= 0) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(w->cls->name.size(), static_cast<std::size_t>(units - 1));
    std::copy_n(w->cls->name.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrW(HWND hwnd, int index)
{
    Window* w = Find(hwnd);
    if (!w) {
        return 0;
    }
    switch (index) {
    case GCLP_HBRBACKGROUND:
        return reinterpret_cast<ULONG_PTR>(w->cls->info.hbrBackground);
    case GCL_STYLE:
        return w->cls->info.style;
    case GCLP_WNDPROC:
        return reinterpret_cast<ULONG_PTR>(w->cls->info.lpfnWndProc);
    default:
        return 0;
    }
}

// Windows.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto cls = ui::detail::FindClass(className);
    if (!cls) {
        SetLastError(ui::detail::ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent == HWND_MESSAGE) {
        parent = nullptr;
        style &= ~(WS_CHILD | WS_VISIBLE);
    }
    Window* parentWindow = Find(parent);
    if ((style & WS_CHILD) && !parentWindow) {
        SetLastError(parent ? ui::detail::ERROR_INVALID_WINDOW_HANDLE : ui::detail::ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (!(style & (WS_CHILD | WS_POPUP))) {
        style |= WS_CAPTION | WS_CLIPSIBLINGS; // overlapped windows always have a caption
    }
    if (x == CW_USEDEFAULT) {
        const RECT work = ui::Monitors().front().work;
        x = work.left + 20;
        y = work.top + 20;
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    auto owned = std::make_unique<Window>();
    Window* w = owned.get();
    auto& m = M();
    w->handle = reinterpret_cast<HWND>(m.nextHandle);
    m.nextHandle += 4;
    w->cls = cls;
    w->proc = cls->info.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    w->instance = instance;
    w->extra.assign(static_cast<std::size_t>(std::max(0, cls->info.cbWndExtra)), 0);
    for (SCROLLINFO& bar : w->scroll) {
        bar = SCROLLINFO{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0}; // a window's own bars start at 0 to 100
    }
    if (style & WS_CHILD) {
        w->parent = parentWindow;
        w->id = reinterpret_cast<LONG_PTR>(menu);
        // Children go to the bottom of the z-order, so that creation order is tab order.
        parentWindow->children.push_back(w);
    } else {
        w->owner = parent ? ui::detail::Root(parent) : nullptr;
        m.topLevel.insert(m.topLevel.begin(), w);
    }
    w->ncInsets = ui::detail::FrameInsets(w->style, w->exStyle);
    m.windows.emplace(w->handle, std::move(owned));
    HWND hwnd = w->handle;
    CREATESTRUCTW cs{param,  instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, cls->name.c_str(), exStyle};
    if (!ui::detail::Deliver(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs), false)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!Find(hwnd)) {
        return nullptr;
    }
    ui::detail::CalcClientInsets(w);
    if (!Find(hwnd)) {
        return nullptr;
    }
    if (ui::detail::Deliver(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), false) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!Find(hwnd)) {
        return nullptr;
    }
    const SIZE client = ui::detail::ClientSize(*w);
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
    const RECT insets = ui::detail::Insets(*w);
    SendMessageW(hwnd, WM_MOVE, 0,
                 MAKELPARAM(static_cast<WORD>(w->rect.left + insets.left), static_cast<WORD>(w->rect.top + insets.top)));
    ui::detail::InvalidateAll(w);
    if ((style & WS_VISIBLE) && Find(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return Find(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w || w->destroying) {
        return FALSE;
    }
    auto& m = M();
    // Owned windows go first.
    const std::vector<Window*> tops = m.topLevel;
    for (Window* top : tops) {
        if (top->owner == hwnd && Find(top->handle)) {
            DestroyWindow(top->handle);
        }
    }
    ui::detail::MarkDestroying(w);
    if (m.focus && ui::detail::InSubtree(m.focus, w)) {
        m.focus = nullptr;
    }
    if (m.capture && ui::detail::InSubtree(m.capture, w)) {
        m.capture = nullptr;
    }
    if (m.active == hwnd) {
        m.active = Find(w->owner) ? w->owner : nullptr;
    }
    ui::detail::DepthGuard guard;
    ui::detail::SendDestroy(w);
    if (Find(hwnd)) {
        ui::detail::FreeTree(w);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

BOOL IsChild(HWND parent, HWND hwnd)
{
    Window* w = Find(hwnd);
    for (w = w ? w->parent : nullptr; w; w = w->parent) {
        if (w->handle == parent) {
            return TRUE;
        }
    }
    return FALSE;
}

HWND GetParent(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w) {
        return nullptr;
    }
    if (w->style & WS_CHILD) {
        return w->parent ? w->parent->handle : nullptr;
    }
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND hwnd, HWND newParent)
{
    Window* w = Find(hwnd);
    Window* p = Find(newParent);
    if (!w || (newParent && !p)) {
        return nullptr;
    }
    HWND old = w->parent ? w->parent->handle : nullptr;
    ui::detail::Unlink(w);
    w->parent = p;
    if (p) {
        p->children.insert(p->children.begin(), w);
    } else {
        M().topLevel.insert(M().topLevel.begin(), w);
    }
    ui::detail::InvalidateAll(w);
    return old;
}

HWND GetAncestor(HWND hwnd, UINT flags)
{
    Window* w = Find(hwnd);
    if (!w) {
        return nullptr;
    }
    switch (flags) {
    case GA_PARENT:
        return w->parent ? w->parent->handle : nullptr;
    case GA_ROOT:
        return ui::detail::Root(hwnd);
    case GA_ROOTOWNER: {
        HWND root = ui::detail::Root(hwnd);
        while (Window* r = Find(root)) {
            if (!r->owner) {
                break;
            }
            root = ui::detail::Root(r->owner);
        }
        return root;
    }
    default:
        return nullptr;
    }
}

HWND GetWindow(HWND hwnd, UINT command)
{
    Window* w = Find(hwnd);
    if (!w) {
        return nullptr;
    }
    if (command == GW_CHILD) {
        return w->children.empty() ? nullptr : w->children.front()->handle;
    }
    if (command == GW_OWNER) {
        return w->owner;
    }
    const auto& siblings = ui::detail::Siblings(w);
    const auto at = std::find(siblings.begin(), siblings.end(), w);
    switch (command) {
    case GW_HWNDFIRST:
        return siblings.front()->handle;
    case GW_HWNDLAST:
        return siblings.back()->handle;
    case GW_HWNDNEXT:
        return at + 1 < siblings.end() ? (*(at + 1))->handle : nullptr;
    case GW_HWNDPREV:
        return at > siblings.begin() ? (*(at - 1))->handle : nullptr;
    default:
        return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd)
{
    if (!hwnd) {
        return M().topLevel.empty() ? nullptr : M().topLevel.front()->handle;
    }
    return GetWindow(hwnd, GW_CHILD);
}

HWND GetDesktopWindow() { return ui::detail::kDesktop; }

namespace {
bool EnumDescendants(Window* w, WNDENUMPROC proc, LPARAM param)
{
    const std::vector<Window*> children = w->children;
    for (Window* child : children) {
        if (!Find(child->handle)) {
            continue;
        }
        if (!proc(child->handle, param) || !EnumDescendants(child, proc, param)) {
            return false;
        }
    }
    return true;
}
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param)
{
    Window* w = Find(parent);
    if (!w || !proc) {
        return FALSE;
    }
    EnumDescendants(w, proc, param);
    return TRUE;
}

HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName)
{
    Window* p = Find(parent);
    const std::vector<Window*>& list = p ? p->children : M().topLevel;
    bool started = childAfter == nullptr;
    for (Window* w : list) {
        if (!started) {
            started = w->handle == childAfter;
            continue;
        }
        if (className && ui::detail::Key(w->cls->name) != ui::detail::ClassKey(className)) {
            continue;
        }
        if (windowName && w->text != windowName) {
            continue;
        }
        return w->handle;
    }
    return nullptr;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index)
{
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ui::detail::ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent->handle : w->owner);
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ui::detail::ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ui::detail::ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC:
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        if (!(w->style & WS_CHILD)) {
            w->owner = reinterpret_cast<HWND>(value);
        }
        return old;
    case GWLP_ID:
        w->id = value;
        return old;
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        STYLESTRUCT change{static_cast<DWORD>(old), static_cast<DWORD>(value)};
        SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        if (!Find(hwnd)) {
            return old;
        }
        (index == GWL_STYLE ? w->style : w->exStyle) = change.styleNew;
        // The stand-in lets a style change take effect on the frame at once, as most callers expect.
        ui::detail::CalcClientInsets(w);
        if (!Find(hwnd)) {
            return old;
        }
        SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        return old;
    }
    case GWLP_USERDATA:
        w->userData = value;
        return old;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ui::detail::ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

int GetDlgCtrlID(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

namespace {
std::u16string PropKey(LPCWSTR name)
{
    if (IS_INTRESOURCE(name)) {
        return u"#" + std::u16string(1, static_cast<char16_t>(reinterpret_cast<std::uintptr_t>(name)));
    }
    return name;
}
}

BOOL SetPropW(HWND hwnd, LPCWSTR name, void* data)
{
    Window* w = Find(hwnd);
    if (!w || !name) {
        return FALSE;
    }
    w->props[PropKey(name)] = data;
    return TRUE;
}

void* GetPropW(HWND hwnd, LPCWSTR name)
{
    Window* w = Find(hwnd);
    if (!w || !name) {
        return nullptr;
    }
    const auto found = w->props.find(PropKey(name));
    return found == w->props.end() ? nullptr : found->second;
}

void* RemovePropW(HWND hwnd, LPCWSTR name)
{
    Window* w = Find(hwnd);
    if (!w || !name) {
        return nullptr;
    }
    const auto found = w->props.find(PropKey(name));
    if (found == w->props.end()) {
        return nullptr;
    }
    void* data = found->second;
    w->props.erase(found);
    return data;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!Find(hwnd)) {
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) != 0;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int units)
{
    if (!Find(hwnd) || !buffer || units <= 0) {
        return 0;
    }
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(units), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd)
{
    if (!Find(hwnd)) {
        return 0;
    }
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL ShowWindow(HWND hwnd, int command)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    const bool wasVisible = w->style & WS_VISIBLE;
    const bool show = command != SW_HIDE;
    if (show == wasVisible) {
        return wasVisible;
    }
    SendMessageW(hwnd, WM_SHOWWINDOW, show, 0);
    if (!Find(hwnd)) {
        return wasVisible;
    }
    auto& m = M();
    if (show) {
        w->style |= WS_VISIBLE;
        ui::detail::InvalidateAll(w);
        const bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
                              !(w->exStyle & WS_EX_NOACTIVATE);
        if (!(w->style & WS_CHILD) && activate) {
            SetActiveWindow(hwnd);
        }
    } else {
        w->style &= ~WS_VISIBLE;
        if (m.focus && ui::detail::InSubtree(m.focus, w)) {
            SetFocus(w->parent ? w->parent->handle : nullptr);
        }
        if (m.active == hwnd) {
            m.active = Find(w->owner) ? w->owner : nullptr;
        }
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && ui::detail::Visible(w);
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    const bool wasDisabled = w->style & WS_DISABLED;
    if (static_cast<bool>(enable) != wasDisabled) {
        return wasDisabled;
    }
    auto& m = M();
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        if (m.capture == hwnd) {
            SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
            if (m.capture == hwnd) {
                ReleaseCapture();
            }
        }
        if (m.focus == hwnd) {
            SetFocus(nullptr);
        }
    }
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    if (Find(hwnd)) {
        ui::detail::InvalidateAll(w);
    }
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL IsIconic(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL IsZoomed(HWND hwnd)
{
    Window* w = Find(hwnd);
    return w && (w->style & WS_MAXIMIZE);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->rect.right - w->rect.left;
        pos.cy = w->rect.bottom - w->rect.top;
    }
    if (!(flags & SWP_NOSENDCHANGING)) {
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!Find(hwnd)) {
            return FALSE;
        }
    }
    const SIZE oldClient = ui::detail::ClientSize(*w);
    const RECT oldClientScreen = ui::detail::ClientScreenRect(*w);
    const RECT oldRect = w->rect;
    w->rect = RECT{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
    const bool resized = oldRect.right - oldRect.left != w->rect.right - w->rect.left ||
                         oldRect.bottom - oldRect.top != w->rect.bottom - w->rect.top;
    if (resized || (pos.flags & SWP_FRAMECHANGED)) {
        ui::detail::CalcClientInsets(w);
        if (!Find(hwnd)) {
            return FALSE;
        }
    }
    if (!(pos.flags & SWP_NOZORDER)) {
        auto& list = ui::detail::Siblings(w);
        list.erase(std::remove(list.begin(), list.end(), w), list.end());
        if (pos.hwndInsertAfter == HWND_BOTTOM) {
            list.push_back(w);
        } else if (pos.hwndInsertAfter == HWND_TOP || pos.hwndInsertAfter == HWND_TOPMOST ||
                   pos.hwndInsertAfter == HWND_NOTOPMOST) {
            if (pos.hwndInsertAfter == HWND_TOPMOST) {
                w->exStyle |= WS_EX_TOPMOST;
            } else if (pos.hwndInsertAfter == HWND_NOTOPMOST) {
                w->exStyle &= ~WS_EX_TOPMOST;
            }
            list.insert(list.begin(), w);
        } else {
            Window* after = Find(pos.hwndInsertAfter);
            auto at = std::find(list.begin(), list.end(), after);
            list.insert(at == list.end() ? list.begin() : at + 1, w);
        }
    }
    if (pos.flags & SWP_SHOWWINDOW) {
        w->style |= WS_VISIBLE;
        ui::detail::InvalidateAll(w);
    } else if (pos.flags & SWP_HIDEWINDOW) {
        w->style &= ~WS_VISIBLE;
    }
    const SIZE newClient = ui::detail::ClientSize(*w);
    const RECT newClientScreen = ui::detail::ClientScreenRect(*w);
    const bool sized = oldRect.right - oldRect.left != w->rect.right - w->rect.left ||
                       oldRect.bottom - oldRect.top != w->rect.bottom - w->rect.top;
    if (sized || (pos.flags & SWP_FRAMECHANGED)) {
        // The window's picture is kept at its own size only: a new size means a full repaint.
        ui::detail::InvalidateAll(w);
    }
    if (!(newClient == oldClient)) {
        // nothing more: WM_SIZE follows from WM_WINDOWPOSCHANGED
    } else {
        pos.flags |= ui::detail::SWP_NOCLIENTSIZE;
    }
    if (newClientScreen.left == oldClientScreen.left && newClientScreen.top == oldClientScreen.top) {
        pos.flags |= ui::detail::SWP_NOCLIENTMOVE;
    }
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        return FALSE;
    }
    if (hwnd == ui::detail::kDesktop) {
        *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    *rect = ui::detail::ScreenRect(*w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        return FALSE;
    }
    if (hwnd == ui::detail::kDesktop) {
        return GetWindowRect(hwnd, rect);
    }
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    const SIZE size = ui::detail::ClientSize(*w);
    *rect = RECT{0, 0, size.cx, size.cy};
    return TRUE;
}

namespace {
POINT ClientOrigin(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w) {
        return POINT{};
    }
    const RECT r = ui::detail::ClientScreenRect(*w);
    return POINT{r.left, r.top};
}
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    if (!Find(hwnd) || !point) {
        return FALSE;
    }
    const POINT origin = ClientOrigin(hwnd);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    if (!Find(hwnd) || !point) {
        return FALSE;
    }
    const POINT origin = ClientOrigin(hwnd);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    const POINT a = ClientOrigin(from);
    const POINT b = ClientOrigin(to);
    const int dx = a.x - b.x;
    const int dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD exStyle)
{
    if (!rect) {
        return FALSE;
    }
    const RECT insets = ui::detail::FrameInsets(style, exStyle);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

HWND WindowFromPoint(POINT point)
{
    auto& m = M();
    const HWND capture = m.capture;
    m.capture = nullptr; // WindowFromPoint ignores the capture
    HWND found = ui::detail::MouseTarget(point, nullptr);
    m.capture = capture;
    return found;
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    Window* w = Find(parent);
    if (!w) {
        return nullptr;
    }
    RECT client;
    GetClientRect(parent, &client);
    if (!PtInRect(&client, point)) {
        return nullptr;
    }
    for (Window* child : w->children) {
        if (PtInRect(&child->rect, point) &&
            (!child->shape ||
             cairo_region_contains_point(child->shape, point.x - child->rect.left, point.y - child->rect.top))) {
            return child->handle;
        }
    }
    return parent;
}

HWND SetFocus(HWND hwnd)
{
    auto& m = M();
    if (hwnd && !Find(hwnd)) {
        return nullptr;
    }
    const HWND old = m.focus;
    if (hwnd == old) {
        return old;
    }
    if (hwnd) {
        const HWND root = ui::detail::Root(hwnd);
        if (root != m.active && !(Find(root)->exStyle & WS_EX_NOACTIVATE)) {
            SetActiveWindow(root);
            if (m.focus == hwnd) {
                return old;
            }
        }
    }
    const HWND previous = m.focus;
    m.focus = hwnd;
    if (Window* w = Find(previous)) {
        ui::detail::Deliver(w, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0, false);
    }
    if (Window* w = Find(hwnd); w && m.focus == hwnd) {
        ui::detail::Deliver(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0, false);
    }
    return old;
}

HWND GetFocus() { return M().focus; }

HWND SetActiveWindow(HWND hwnd)
{
    auto& m = M();
    const HWND old = m.active;
    if (hwnd == old || (hwnd && !Find(hwnd))) {
        return old;
    }
    m.active = hwnd;
    if (Window* w = Find(old)) {
        w->frameDirty = true;
        ui::detail::Deliver(w, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd), false);
    }
    if (Window* w = Find(hwnd); w && m.active == hwnd) {
        w->frameDirty = true;
        ui::detail::Deliver(w, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old), false);
    }
    return old;
}

HWND GetActiveWindow() { return M().active; }
HWND GetForegroundWindow() { return M().active; }
BOOL SetForegroundWindow(HWND hwnd) { return SetActiveWindow(hwnd), TRUE; }

HWND SetCapture(HWND hwnd)
{
    auto& m = M();
    const HWND old = m.capture;
    if (!Find(hwnd)) {
        return old;
    }
    m.capture = hwnd;
    if (Window* w = Find(old); w && old != hwnd) {
        ui::detail::Deliver(w, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd), false);
    }
    return old;
}

HWND GetCapture() { return M().capture; }

BOOL ReleaseCapture()
{
    auto& m = M();
    const HWND old = m.capture;
    m.capture = nullptr;
    if (Window* w = Find(old)) {
        ui::detail::Deliver(w, WM_CAPTURECHANGED, 0, 0, false);
    }
    return TRUE;
}

// Messages.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ui::detail::ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return ui::detail::Deliver(w, message, wParam, lParam, false);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !Find(hwnd)) {
        SetLastError(ui::detail::ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto& m = M();
    m.queue.push_back(MSG{hwnd, message, wParam, lParam, m.clock, m.input.cursor});
    return TRUE;
}

void PostQuitMessage(int exitCode) { PostMessageW(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove)
{
    auto& m = M();
    for (auto it = m.queue.begin(); it != m.queue.end(); ++it) {
        const bool windowMatches = !hwnd || it->hwnd == hwnd || IsChild(hwnd, it->hwnd) ||
                                   (hwnd == reinterpret_cast<HWND>(-1) && !it->hwnd);
        const bool rangeMatches = (filterMin == 0 && filterMax == 0) ||
                                  (it->message >= filterMin && it->message <= filterMax);
        if (windowMatches && rangeMatches) {
            if (msg) {
                *msg = *it;
            }
            if (remove & PM_REMOVE) {
                m.queue.erase(it);
            }
            return TRUE;
        }
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN) {
        return FALSE;
    }
    WPARAM ch = 0;
    switch (msg->wParam) {
    case VK_RETURN:
        ch = u'\r';
        break;
    case VK_ESCAPE:
        ch = 0x1B;
        break;
    case VK_TAB:
        ch = u'\t';
        break;
    case VK_BACK:
        ch = 0x08;
        break;
    case VK_SPACE:
        ch = u' ';
        break;
    default:
        return FALSE;
    }
    // The character comes next, before anything queued later (the key-up in particular).
    M().queue.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam, msg->time, msg->pt});
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg) {
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, M().clock);
        return 0;
    }
    Window* w = Find(msg->hwnd);
    if (!w) {
        return 0;
    }
    if (msg->message == WM_PAINT) {
        ui::detail::PaintNow(w);
        return 0;
    }
    if ((msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) || msg->message == WM_MOUSELEAVE) {
        ui::detail::RelayToTooltips(*msg);
        if (!Find(msg->hwnd)) {
            return 0;
        }
    }
    return ui::detail::Deliver(w, msg->message, msg->wParam, msg->lParam, true);
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!proc) {
        return 0;
    }
    ui::detail::DepthGuard guard;
    return proc(hwnd, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* w = Find(hwnd);
    if (!w) {
        return 0;
    }
    switch (message) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
            w->text = cs->lpszName;
        }
        return TRUE;
    }
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if ((w->style & WS_CAPTION) == WS_CAPTION) {
            w->frameDirty = true;
        }
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) {
            return 0;
        }
        const std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
        std::copy_n(w->text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = w->cls->info.hbrBackground;
        if (!brush) {
            return 0;
        }
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_NCPAINT:
        ui::detail::DrawFrame(w);
        return 0;
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (r) {
            const RECT insets = ui::detail::FrameInsets(w->style, w->exStyle);
            r->left += insets.left;
            r->top += insets.top;
            r->right = std::max(r->left, r->right - insets.right);
            r->bottom = std::max(r->top, r->bottom - insets.bottom);
        }
        return 0;
    }
    case WM_NCHITTEST:
        return ui::detail::HitTest(w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(pos->flags & ui::detail::SWP_NOCLIENTSIZE)) {
            const SIZE client = ui::detail::ClientSize(*w);
            SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED,
                         MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
        }
        if (!(pos->flags & ui::detail::SWP_NOCLIENTMOVE) && Find(hwnd)) {
            const RECT insets = ui::detail::Insets(*w);
            SendMessageW(hwnd, WM_MOVE, 0,
                         MAKELPARAM(static_cast<WORD>(w->rect.left + insets.left),
                                    static_cast<WORD>(w->rect.top + insets.top)));
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !ui::detail::InSubtree(M().focus, w)) {
            SetFocus(hwnd);
        }
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        const bool window = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
        SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(hdc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
        if ((w->style & WS_CHILD) && w->parent) {
            return SendMessageW(w->parent->handle, message, wParam, lParam);
        }
        return 0;
    case WM_MOUSEACTIVATE:
        if ((w->style & WS_CHILD) && w->parent) {
            if (const LRESULT answer = SendMessageW(w->parent->handle, message, wParam, lParam)) {
                return answer;
            }
        }
        return MA_ACTIVATE;
    default:
        return 0;
    }
}

BOOL InSendMessage() { return FALSE; }
DWORD GetMessageTime() { return M().messageTime; }
DWORD GetTickCount() { return M().clock; }
void Sleep(DWORD ms) { ui::advance(ms); }

// Timers.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    auto& m = M();
    if (hwnd && !Find(hwnd)) {
        SetLastError(ui::detail::ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (m.failingTimers > 0) {
        --m.failingTimers;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    elapse = std::max(elapse, USER_TIMER_MINIMUM);
    if (!hwnd) {
        // Thread timers get an id of their own unless an existing one is named.
        const bool exists = std::any_of(m.timers.begin(), m.timers.end(),
                                        [&](const ui::detail::Timer& t) { return !t.hwnd && t.id == id; });
        if (!exists) {
            id = m.nextThreadTimer++;
        }
    }
    for (auto& timer : m.timers) {
        if (timer.hwnd == hwnd && timer.id == id) {
            timer.elapse = elapse;
            timer.due = m.clock + elapse;
            timer.proc = proc;
            return hwnd ? (id ? id : 1) : id;
        }
    }
    m.timers.push_back(ui::detail::Timer{hwnd, id, elapse, m.clock + elapse, proc, m.timerOrder++});
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    ++M().killTimerCalls;
    auto& timers = M().timers;
    const auto removed = std::erase_if(timers, [&](const ui::detail::Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return removed > 0;
}

// Painting.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps)
{
    Window* w = Find(hwnd);
    if (!w || !ps) {
        return nullptr;
    }
    if (w->frameDirty) {
        w->frameDirty = false;
        SendMessageW(hwnd, WM_NCPAINT, 1, 0);
        if (!Find(hwnd)) {
            return nullptr;
        }
    }
    auto region = std::make_shared<gdi::RegionData>();
    if (w->update) {
        cairo_region_union(region->get(), w->update);
        cairo_region_destroy(w->update);
        w->update = nullptr;
    }
    const bool erase = w->erase;
    w->erase = false;
    w->internalPaint = false;
    HDC hdc = gdi::NewWindowDc(hwnd, true);
    gdi::LookupDc(hdc)->paint = region;
    *ps = PAINTSTRUCT{};
    ps->hdc = hdc;
    ps->rcPaint = region->box();
    ps->fErase = FALSE;
    if (erase) {
        ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    }
    return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps)
{
    if (!ps) {
        return FALSE;
    }
    ReleaseDC(hwnd, ps->hdc);
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (!hwnd) {
        for (Window* w : M().topLevel) {
            ui::detail::InvalidateAll(w);
        }
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    if (rect) {
        const cairo_rectangle_int_t r{rect->left, rect->top, std::max(0, static_cast<int>(rect->right - rect->left)),
                                      std::max(0, static_cast<int>(rect->bottom - rect->top))};
        cairo_region_t* region = cairo_region_create_rectangle(&r);
        ui::detail::InvalidateClient(w, region, erase);
        cairo_region_destroy(region);
    } else {
        ui::detail::InvalidateClient(w, nullptr, erase);
    }
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    gdi::Region* rgn = gdi::AsRegion(region);
    ui::detail::InvalidateClient(w, rgn ? rgn->data.get() : nullptr, erase);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    if (!rect) {
        if (w->update) {
            cairo_region_destroy(w->update);
            w->update = nullptr;
        }
        w->erase = false;
        w->internalPaint = false;
        return TRUE;
    }
    if (w->update) {
        const cairo_rectangle_int_t r{rect->left, rect->top, std::max(0, static_cast<int>(rect->right - rect->left)),
                                      std::max(0, static_cast<int>(rect->bottom - rect->top))};
        cairo_region_t* cut = cairo_region_create_rectangle(&r);
        cairo_region_subtract(w->update, cut);
        cairo_region_destroy(cut);
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    RECT box{};
    if (w->update && !cairo_region_is_empty(w->update)) {
        cairo_rectangle_int_t r;
        cairo_region_get_extents(w->update, &r);
        box = RECT{r.x, r.y, r.x + r.width, r.y + r.height};
    }
    if (rect) {
        *rect = box;
    }
    return !IsRectEmpty(&box);
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL)
{
    Window* w = Find(hwnd);
    gdi::Region* rgn = gdi::AsRegion(region);
    if (!w || !rgn) {
        return ERROR;
    }
    rgn->data = gdi::RegionData();
    if (w->update) {
        cairo_region_union(rgn->data.get(), w->update);
    }
    return rgn->data.complexity();
}

BOOL UpdateWindow(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    if (ui::detail::WantsPaint(w)) {
        ui::detail::PaintNow(w);
    }
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags)
{
    Window* w = Find(hwnd);
    if (!w) {
        return FALSE;
    }
    if (flags & RDW_INVALIDATE) {
        if (region) {
            InvalidateRgn(hwnd, region, (flags & RDW_ERASE) != 0);
        } else {
            InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
        }
        if (flags & RDW_FRAME) {
            w->frameDirty = true;
        }
    }
    if (flags & RDW_INTERNALPAINT) {
        w->internalPaint = true;
    }
    if (flags & RDW_VALIDATE) {
        ValidateRect(hwnd, rect);
        if (flags & RDW_NOFRAME) {
            w->frameDirty = false;
        }
    }
    if (flags & RDW_ALLCHILDREN) {
        const std::vector<Window*> children = w->children;
        for (Window* child : children) {
            RedrawWindow(child->handle, nullptr, nullptr, (flags & ~RDW_UPDATENOW) | RDW_FRAME);
        }
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        UpdateWindow(hwnd);
        if (flags & RDW_ALLCHILDREN) {
            const std::vector<Window*> children = w->children;
            for (Window* child : children) {
                if (Find(child->handle)) {
                    RedrawWindow(child->handle, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                }
            }
        }
    }
    return TRUE;
}
