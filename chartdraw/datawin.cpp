#include "chartdraw/datawin.h"

#include "foundation/moduleinstance.h"
#include "platform/win/sync.h"
#include "platform/win/winscroll.h"

namespace ChartDraw {
namespace {
// One hook per process, shared by the data windows: counted, so that the last window (or the module's unloading)
// removes it and it never outlives the module.
struct KeyboardHook {
    HHOOK handle = nullptr;
    std::size_t users = 0;
    bool pointerInside = false;
    HCURSOR savedCursor = nullptr;

    ~KeyboardHook()
    {
        if (handle) {
            UnhookWindowsHookEx(handle);
        }
    }
};

KeyboardHook& Hook()
{
    static KeyboardHook hook;
    return hook;
}

LRESULT KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    KeyboardHook& hook = Hook();
    if (hook.pointerInside) {
        HCURSOR sizeAll = LoadCursorW(nullptr, IDC_SIZEALL);
        HCURSOR current = GetCursor();
        if (GetAsyncKeyState(VK_CONTROL) != 0) {
            if (current != sizeAll) {
                hook.savedCursor = current;
                SetCursor(sizeAll);
            }
        } else if (current == sizeAll) {
            SetCursor(hook.savedCursor);
        }
    }
    return CallNextHookEx(hook.handle, code, wParam, lParam);
}

HACCEL Accelerators()
{
    static HACCEL table = LoadAcceleratorsW(KVO::ModuleInstance(), DataWinBase::kAccelerators);
    return table;
}
}

DataWinBase::DataWinBase(owl::TWindow* parent, owl::TModule* module) : TWindow(parent, u"", module)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    KeyboardHook& hook = Hook();
    if (!hook.handle) {
        hook.handle = SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, KVO::ModuleInstance(), GetCurrentThreadId());
    }
    ++hook.users;
}

DataWinBase::~DataWinBase()
{
    KeyboardHook& hook = Hook();
    if (hook.users > 0 && --hook.users == 0 && hook.handle) {
        UnhookWindowsHookEx(hook.handle);
        hook.handle = nullptr;
        hook.pointerInside = false;
    }
}

bool DataWinBase::PointerInside() { return Hook().pointerInside; }

bool DataWinBase::HookInstalled() { return Hook().handle != nullptr; }

ScrollBarWin* DataWinBase::MakeScrollBar(DataPane* owner)
{
    if (!Parent) {
        return nullptr;
    }
    auto bar = std::make_unique<ScrollBarWin>(Parent, owner);
    if (Parent->GetHandle() && !bar->Create()) {
        return nullptr;
    }
    return bar.release();
}

ZoomControlWin* DataWinBase::MakeZoomControl(DataPane* owner, DWORD style)
{
    if (!Parent) {
        return nullptr;
    }
    auto zoom = std::make_unique<ZoomControlWin>(Parent, owner, style);
    if (Parent->GetHandle() && !zoom->Create()) {
        return nullptr;
    }
    return zoom.release();
}

void DataWinBase::MoveWindowTo(int x, int y, int width, int height, bool redraw)
{
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (!redraw) {
        flags |= SWP_NOREDRAW;
    }
    if (GetHandle()) {
        SetWindowPos(nullptr, x, y, width, height, flags);
    }
}

void DataWinBase::ScrollClient(LONGLONG dx, const RECT& rect)
{
    if (GetHandle()) {
        ::ScrollWindowEx(GetHandle(), static_cast<int>(dx), 0, &rect, &rect, nullptr, nullptr, SW_INVALIDATE);
    }
}

void DataWinBase::InvalidateWhole(bool erase)
{
    if (GetHandle()) {
        Invalidate(erase);
    }
}

void DataWinBase::InvalidateArea(const RECT& rect, bool erase)
{
    if (GetHandle()) {
        ::InvalidateRect(GetHandle(), &rect, erase);
    }
}

bool DataWinBase::GetClientArea(RECT& rect) const
{
    return GetHandle() && ::GetClientRect(GetHandle(), &rect);
}

bool DataWinBase::PreProcessMsg(MSG& msg)
{
    HACCEL table = Accelerators();
    return table && GetHandle() && ::TranslateAcceleratorW(GetHandle(), table, &msg) != 0;
}

void DataWinBase::EvLButtonUp(owl::uint modKeys, const owl::TPoint& point)
{
    SetFocus();
    TWindow::EvLButtonUp(modKeys, point);
}

void DataWinBase::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, GetHandle(), 0};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
    }
    Hook().pointerInside = true;
    TWindow::EvMouseMove(modKeys, point);
}

void DataWinBase::EvMouseLeave()
{
    tracking_ = false;
    Hook().pointerInside = false;
    TWindow::EvMouseLeave();
}

bool DataWinBase::EvSetCursor(HWND cursorWindow, owl::uint hitTest, owl::TMsgId mouseMessage)
{
    if (cursorWindow != GetHandle()) {
        return true;
    }
    return TWindow::EvSetCursor(cursorWindow, hitTest, mouseMessage);
}

} // namespace ChartDraw
