#include "platform/owl/window.h"

#include "platform/owl/control.h"
#include "platform/owl/dialog.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"

#include <map>
#include <unordered_map>

namespace owl {
namespace {
std::unordered_map<HWND, TWindow*>& Map()
{
    static auto* map = new std::unordered_map<HWND, TWindow*>;
    return *map;
}

TWindow*& Creating()
{
    static TWindow* creating = nullptr;
    return creating;
}

std::u16string Lower(std::u16string_view text) { return platform::AsciiLower(text); }

// The procedure that OWL classes registered over another class (superclasses) pass messages on to.
std::map<std::u16string, WNDPROC>& ClassDefaults()
{
    static auto* defaults = new std::map<std::u16string, WNDPROC>;
    return *defaults;
}

WNDPROC ClassDefault(HWND hwnd)
{
    WCHAR name[128] = {};
    ::GetClassNameW(hwnd, name, 128);
    const auto found = ClassDefaults().find(Lower(name));
    return found == ClassDefaults().end() ? DefWindowProcW : found->second;
}

// The application's pre-processing: each OWL window from the target up through its parents may take a message.
void InstallMessageFilter()
{
    ui::SetMessageFilter([](MSG& msg) {
        for (HWND hwnd = msg.hwnd; hwnd; hwnd = GetAncestor(hwnd, GA_PARENT)) {
            if (TWindow* window = TWindow::GetWindowPtr(hwnd)) {
                if (window->PreProcessMsg(msg)) {
                    return true;
                }
            }
        }
        return false;
    });
}

TPoint PointOf(LPARAM lParam) { return TPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); }

struct EventGuard {
    EventGuard(TWindow::TCurrentEvent& slot, TWindow::TCurrentEvent value) : slot_(slot), saved_(slot) { slot_ = value; }
    ~EventGuard() { slot_ = saved_; }
    TWindow::TCurrentEvent& slot_;
    TWindow::TCurrentEvent saved_;
};
}

void SetCreationWindow(TWindow* window) { Creating() = window; }

TWindow* PendingCreationWindow() { return Creating(); }

LRESULT StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    TWindow* window = TWindow::GetWindowPtr(hwnd);
    if (!window) {
        window = Creating();
        // A dialog object waits for its dialog window; controls of OWL classes made before it must not take it.
        if (!window || dynamic_cast<TDialog*>(window)) {
            return CallWindowProcW(ClassDefault(hwnd), hwnd, message, wParam, lParam);
        }
        Creating() = nullptr;
        window->Handle = hwnd;
        Map()[hwnd] = window;
        window->DefaultProc = ClassDefault(hwnd);
        if (window->DefaultProc != DefWindowProcW && window->DefaultProc != DefDlgProcW) {
            window->SetFlag(wfPredefinedClass);
        }
    }
    return window->ReceiveMessage(hwnd, message, wParam, lParam);
}

TWindow::TWindow(TWindow* parent, LPCWSTR title, TModule* module)
    : Title(title ? title : u""),
      Parent(parent),
      Module(module ? module : parent ? parent->Module : &GetApplicationObject())
{
    if (parent) {
        Attr.Style = WS_CHILD | WS_VISIBLE;
        parent->AddChild(this);
        EnableAutoCreate();
    } else {
        Attr.Style = WS_OVERLAPPEDWINDOW;
        Attr.X = Attr.Y = Attr.W = Attr.H = CW_USEDEFAULT;
    }
}

TWindow::TWindow(HWND handle, TModule* module) : Module(module ? module : &GetApplicationObject())
{
    SetFlag(wfAlias);
    AttachHandle(handle);
    Attr.Style = static_cast<uint32>(::GetWindowLongPtrW(handle, GWL_STYLE));
    Attr.ExStyle = static_cast<uint32>(::GetWindowLongPtrW(handle, GWL_EXSTYLE));
    Attr.Id = ::GetDlgCtrlID(handle);
    Title = ui::WindowText(handle);
}

TWindow::~TWindow()
{
    if (Handle) {
        if (IsFlagSet(wfAlias)) {
            DetachHandle();
        } else {
            ::DestroyWindow(Handle);
            DetachHandle();
        }
    }
    while (!Children.empty()) {
        delete Children.back();
    }
    if (Parent) {
        Parent->RemoveChild(this);
    }
}

TWindow* TWindow::GetWindowPtr(HWND handle)
{
    const auto found = Map().find(handle);
    return found == Map().end() ? nullptr : found->second;
}

void TWindow::SetParent(TWindow* parent)
{
    if (Parent) {
        Parent->RemoveChild(this);
    }
    Parent = parent;
    if (parent) {
        parent->AddChild(this);
        if (Handle && parent->Handle) {
            ::SetParent(Handle, parent->Handle);
        }
    }
}

int TWindow::GetId() const { return Handle ? ::GetDlgCtrlID(Handle) : Attr.Id; }

TWindow* TWindow::ChildWithId(int id) const
{
    for (TWindow* child : Children) {
        if (child->GetId() == id) {
            return child;
        }
    }
    return nullptr;
}

void TWindow::AddChild(TWindow* child) { Children.push_back(child); }

void TWindow::RemoveChild(TWindow* child) { std::erase(Children, child); }

LPCWSTR TWindow::GetClassName() { return u"OWL_Window"; }

void TWindow::GetWindowClass(WNDCLASSW& wc)
{
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = StdWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = Module ? Module->GetHandle() : nullptr;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
    wc.lpszMenuName = nullptr;
}

bool TWindow::Create()
{
    if (Handle) {
        return true;
    }
    InstallMessageFilter();
    const LPCWSTR className = GetClassName();
    const HINSTANCE instance = Module ? Module->GetHandle() : nullptr;
    WNDCLASSW existing{};
    bool predefined = false;
    if (GetClassInfoW(instance, className, &existing)) {
        predefined = existing.lpfnWndProc != StdWndProc;
    } else {
        WNDCLASSW wc{};
        GetWindowClass(wc);
        const WNDPROC original = wc.lpfnWndProc;
        wc.lpszClassName = className;
        wc.lpfnWndProc = StdWndProc;
        if (!RegisterClassW(&wc)) {
            throw TXWindow(this, "window class cannot be registered");
        }
        ClassDefaults()[Lower(className)] = original && original != StdWndProc ? original : DefWindowProcW;
    }
    if (!predefined) {
        Creating() = this;
    }
    HWND parent = Parent ? Parent->GetHandle() : nullptr;
    HMENU menu = (Attr.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<std::intptr_t>(Attr.Id)) : nullptr;
    HWND handle = CreateWindowExW(Attr.ExStyle, className, Title.c_str(), Attr.Style, Attr.X, Attr.Y, Attr.W, Attr.H,
                                  parent, menu, instance, Attr.Param);
    if (Creating() == this) {
        Creating() = nullptr;
    }
    if (!handle) {
        Handle = nullptr;
        throw TXWindow(this, "window cannot be created");
    }
    if (predefined) {
        AttachHandle(handle);
        PerformSetupAndTransfer();
    }
    return true;
}

void TWindow::AttachHandle(HWND handle)
{
    Handle = handle;
    Map()[handle] = this;
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(handle, GWLP_WNDPROC));
    if (current == StdWndProc) {
        DefaultProc = ClassDefault(handle);
    } else {
        DefaultProc = current;
        ::SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StdWndProc));
    }
    if (DefaultProc != DefWindowProcW && DefaultProc != DefDlgProcW) {
        SetFlag(wfPredefinedClass);
    }
}

void TWindow::SubclassWindowFunction()
{
    if (Handle && reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Handle, GWLP_WNDPROC)) != StdWndProc) {
        AttachHandle(Handle);
    }
}

void TWindow::DetachHandle()
{
    if (!Handle) {
        return;
    }
    if (::IsWindow(Handle) && reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Handle, GWLP_WNDPROC)) == StdWndProc &&
        DefaultProc && DefaultProc != ClassDefault(Handle)) {
        ::SetWindowLongPtrW(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefaultProc));
    }
    Map().erase(Handle);
    Handle = nullptr;
}

void TWindow::PerformSetupAndTransfer()
{
    SetupWindow();
    SetFlag(wfFullyCreated);
}

void TWindow::CreateChildren()
{
    const std::vector<TWindow*> children = Children;
    for (TWindow* child : children) {
        if (child->Handle) {
            continue;
        }
        if (child->IsFlagSet(wfFromResource)) {
            HWND item = ::GetDlgItem(Handle, child->Attr.Id);
            if (!item) {
                throw TXWindow(child, "no control with id " + std::to_string(child->Attr.Id));
            }
            child->AttachHandle(item);
            child->PerformSetupAndTransfer();
        } else if (child->IsFlagSet(wfAutoCreate)) {
            child->Create();
        }
    }
}

void TWindow::SetupWindow() { CreateChildren(); }

void TWindow::CleanupWindow() {}

void TWindow::Destroy(int)
{
    if (Handle) {
        ::DestroyWindow(Handle);
    }
}

void TWindow::CloseWindow(int retVal)
{
    if (CanClose()) {
        Destroy(retVal);
    }
}

bool TWindow::CanClose()
{
    for (TWindow* child : Children) {
        if (child->Handle && !child->CanClose()) {
            return false;
        }
    }
    return true;
}

bool TWindow::PreProcessMsg(MSG&) { return false; }

TResult TWindow::ReceiveMessage(HWND, TMsgId message, TParam1 p1, TParam2 p2)
{
    TResult result;
    {
        EventGuard guard(CurrentEvent, TCurrentEvent{message, p1, p2});
        result = WindowProc(message, p1, p2);
    }
    if (message == WM_NCDESTROY) {
        DetachHandle();
    }
    return result;
}

TResult TWindow::HandleMessage(TMsgId message, TParam1 p1, TParam2 p2)
{
    EventGuard guard(CurrentEvent, TCurrentEvent{message, p1, p2});
    return WindowProc(message, p1, p2);
}

TResult TWindow::DefaultProcessing()
{
    return CallWindowProcW(DefaultProc ? DefaultProc : DefWindowProcW, Handle, CurrentEvent.Message,
                           CurrentEvent.Param1, CurrentEvent.Param2);
}

TResult TWindow::WindowProc(TMsgId message, TParam1 p1, TParam2 p2)
{
    switch (message) {
    case WM_CREATE:
        return EvCreate(*reinterpret_cast<CREATESTRUCTW*>(p2));
    case WM_DESTROY:
        CleanupWindow();
        EvDestroy();
        return 0;
    case WM_NCDESTROY:
        EvNCDestroy();
        return 0;
    case WM_CLOSE:
        EvClose();
        return 0;
    case WM_COMMAND: {
        const auto control = reinterpret_cast<HWND>(p2);
        if (control && control != Handle) {
            if (TWindow* child = GetWindowPtr(control); child && child->EvNotifyAtChild(HIWORD(p1))) {
                return 0;
            }
        }
        return EvCommand(LOWORD(p1), control, HIWORD(p1));
    }
    case WM_NOTIFY:
        return EvNotify(static_cast<uint>(p1), *reinterpret_cast<TNotify*>(p2));
    case WM_PAINT:
        EvPaint();
        return 0;
    case WM_ERASEBKGND:
        return EvEraseBkgnd(reinterpret_cast<HDC>(p1));
    case WM_SIZE:
        EvSize(static_cast<uint>(p1), TSize(LOWORD(p2), HIWORD(p2)));
        return 0;
    case WM_MOVE:
        EvMove(PointOf(p2));
        return 0;
    case WM_WINDOWPOSCHANGING:
        EvWindowPosChanging(*reinterpret_cast<WINDOWPOS*>(p2));
        return 0;
    case WM_WINDOWPOSCHANGED:
        EvWindowPosChanged(*reinterpret_cast<const WINDOWPOS*>(p2));
        return 0;
    case WM_SHOWWINDOW:
        EvShowWindow(p1 != 0, static_cast<uint>(p2));
        return 0;
    case WM_ENABLE:
        EvEnable(p1 != 0);
        return 0;
    case WM_ACTIVATE:
        EvActivate(LOWORD(p1), HIWORD(p1) != 0, reinterpret_cast<HWND>(p2));
        return 0;
    case WM_MOUSEACTIVATE:
        return EvMouseActivate(reinterpret_cast<HWND>(p1), LOWORD(p2), HIWORD(p2));
    case WM_SETFOCUS:
        EvSetFocus(reinterpret_cast<HWND>(p1));
        return 0;
    case WM_KILLFOCUS:
        EvKillFocus(reinterpret_cast<HWND>(p1));
        return 0;
    case WM_LBUTTONDOWN:
        EvLButtonDown(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_LBUTTONUP:
        EvLButtonUp(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_LBUTTONDBLCLK:
        EvLButtonDblClk(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_RBUTTONDOWN:
        EvRButtonDown(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_RBUTTONUP:
        EvRButtonUp(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_MBUTTONDOWN:
        EvMButtonDown(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_MBUTTONUP:
        EvMButtonUp(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_MOUSEMOVE:
        EvMouseMove(static_cast<uint>(p1), PointOf(p2));
        return 0;
    case WM_MOUSEWHEEL:
        EvMouseWheel(LOWORD(p1), GET_WHEEL_DELTA_WPARAM(p1), PointOf(p2));
        return 0;
    case WM_MOUSELEAVE:
        EvMouseLeave();
        return 0;
    case WM_CAPTURECHANGED:
        EvCaptureChanged(reinterpret_cast<HWND>(p2));
        return 0;
    case WM_CANCELMODE:
        EvCancelMode();
        return 0;
    case WM_SETCURSOR:
        return EvSetCursor(reinterpret_cast<HWND>(p1), LOWORD(p2), HIWORD(p2));
    case WM_NCHITTEST:
        return static_cast<int>(EvNCHitTest(PointOf(p2)));
    case WM_CONTEXTMENU:
        EvContextMenu(reinterpret_cast<HWND>(p1), GET_X_LPARAM(p2), GET_Y_LPARAM(p2));
        return 0;
    case WM_KEYDOWN:
        EvKeyDown(static_cast<uint>(p1), LOWORD(p2), HIWORD(p2));
        return 0;
    case WM_KEYUP:
        EvKeyUp(static_cast<uint>(p1), LOWORD(p2), HIWORD(p2));
        return 0;
    case WM_CHAR:
        EvChar(static_cast<uint>(p1), LOWORD(p2), HIWORD(p2));
        return 0;
    case WM_GETDLGCODE:
        return EvGetDlgCode(reinterpret_cast<const MSG*>(p2));
    case WM_TIMER:
        EvTimer(static_cast<uint>(p1));
        return 0;
    case WM_HSCROLL:
        EvHScroll(LOWORD(p1), HIWORD(p1), reinterpret_cast<HWND>(p2));
        return 0;
    case WM_VSCROLL:
        EvVScroll(LOWORD(p1), HIWORD(p1), reinterpret_cast<HWND>(p2));
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<TResult>(
            EvCtlColor(reinterpret_cast<HDC>(p1), reinterpret_cast<HWND>(p2), message - WM_CTLCOLORMSGBOX));
    case WM_DRAWITEM:
        EvDrawItem(static_cast<uint>(p1), *reinterpret_cast<const DRAWITEMSTRUCT*>(p2));
        return TRUE;
    case WM_MEASUREITEM:
        EvMeasureItem(static_cast<uint>(p1), *reinterpret_cast<MEASUREITEMSTRUCT*>(p2));
        return TRUE;
    case WM_SETFONT:
        EvSetFont(reinterpret_cast<HFONT>(p1), LOWORD(p2) != 0);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<TResult>(EvGetFont());
    case WM_SYSCOLORCHANGE:
        EvSysColorChange();
        return 0;
    case WM_THEMECHANGED:
        EvThemeChanged();
        return 0;
    default:
        return DefaultProcessing();
    }
}

int TWindow::EvCreate(CREATESTRUCTW&)
{
    PerformSetupAndTransfer();
    return static_cast<int>(DefaultProcessing());
}

void TWindow::EvDestroy() { DefaultProcessing(); }
void TWindow::EvNCDestroy() { DefaultProcessing(); }
void TWindow::EvClose() { CloseWindow(); }
TResult TWindow::EvCommand(uint, HWND, uint) { return DefaultProcessing(); }

bool TWindow::EvNotifyAtChild(uint) { return false; }
TResult TWindow::EvNotify(uint, TNotify&) { return DefaultProcessing(); }

void TWindow::EvPaint()
{
    if (PaintsItself()) {
        DefaultProcessing();
        return;
    }
    TPaintDC dc(Handle);
    TRect rect(dc.Ps.rcPaint);
    Paint(dc, dc.Ps.fErase != 0, rect);
}

void TWindow::Paint(TDC&, bool, TRect&) {}

bool TWindow::EvEraseBkgnd(HDC) { return DefaultProcessing() != 0; }
void TWindow::EvSize(uint, const TSize&) { DefaultProcessing(); }
void TWindow::EvMove(const TPoint&) { DefaultProcessing(); }
void TWindow::EvWindowPosChanging(WINDOWPOS&) { DefaultProcessing(); }
void TWindow::EvWindowPosChanged(const WINDOWPOS&) { DefaultProcessing(); }
void TWindow::EvShowWindow(bool, uint) { DefaultProcessing(); }
void TWindow::EvEnable(bool) { DefaultProcessing(); }
void TWindow::EvActivate(uint, bool, HWND) { DefaultProcessing(); }
uint TWindow::EvMouseActivate(HWND, uint, TMsgId) { return static_cast<uint>(DefaultProcessing()); }
void TWindow::EvSetFocus(HWND) { DefaultProcessing(); }
void TWindow::EvKillFocus(HWND) { DefaultProcessing(); }
void TWindow::EvLButtonDown(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvLButtonUp(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvLButtonDblClk(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvRButtonDown(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvRButtonUp(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvMButtonDown(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvMButtonUp(uint, const TPoint&) { DefaultProcessing(); }
void TWindow::EvMouseMove(uint, const TPoint&) { DefaultProcessing(); }
bool TWindow::EvMouseWheel(uint, int, const TPoint&) { return DefaultProcessing() != 0; }
void TWindow::EvMouseLeave() { DefaultProcessing(); }
void TWindow::EvCaptureChanged(HWND) { DefaultProcessing(); }
void TWindow::EvCancelMode() { DefaultProcessing(); }
bool TWindow::EvSetCursor(HWND, uint, TMsgId) { return DefaultProcessing() != 0; }
uint TWindow::EvNCHitTest(const TPoint&) { return static_cast<uint>(DefaultProcessing()); }
void TWindow::EvContextMenu(HWND, int, int) { DefaultProcessing(); }
void TWindow::EvKeyDown(uint, uint, uint) { DefaultProcessing(); }
void TWindow::EvKeyUp(uint, uint, uint) { DefaultProcessing(); }
void TWindow::EvChar(uint, uint, uint) { DefaultProcessing(); }
uint TWindow::EvGetDlgCode(const MSG*) { return static_cast<uint>(DefaultProcessing()); }
void TWindow::EvTimer(uint) { DefaultProcessing(); }

void TWindow::EvHScroll(uint scrollCode, uint thumbPos, HWND hWndCtl)
{
    // A scroll bar object handles its own notices, as OWL reflects them to the control.
    if (auto* bar = dynamic_cast<TScrollBar*>(GetWindowPtr(hWndCtl))) {
        bar->HandleScroll(scrollCode, thumbPos);
        return;
    }
    DefaultProcessing();
}

void TWindow::EvVScroll(uint scrollCode, uint thumbPos, HWND hWndCtl)
{
    if (auto* bar = dynamic_cast<TScrollBar*>(GetWindowPtr(hWndCtl))) {
        bar->HandleScroll(scrollCode, thumbPos);
        return;
    }
    DefaultProcessing();
}

HBRUSH TWindow::EvCtlColor(HDC, HWND, uint) { return reinterpret_cast<HBRUSH>(DefaultProcessing()); }

void TWindow::EvDrawItem(uint, const DRAWITEMSTRUCT& drawInfo)
{
    if (auto* control = dynamic_cast<TControl*>(GetWindowPtr(drawInfo.hwndItem))) {
        control->DrawItem(const_cast<DRAWITEMSTRUCT&>(drawInfo));
        return;
    }
    DefaultProcessing();
}

void TWindow::EvMeasureItem(uint ctrlId, MEASUREITEMSTRUCT& measureInfo)
{
    // Controls that take over a dialog item exist before their window: they measure themselves.
    if (auto* control = dynamic_cast<TControl*>(ChildWithId(static_cast<int>(ctrlId)))) {
        control->MeasureItem(measureInfo);
        return;
    }
    DefaultProcessing();
}

void TWindow::EvSetFont(HFONT, bool) { DefaultProcessing(); }
HFONT TWindow::EvGetFont() { return reinterpret_cast<HFONT>(DefaultProcessing()); }
void TWindow::EvSysColorChange() { DefaultProcessing(); }
void TWindow::EvThemeChanged() { DefaultProcessing(); }

TRect TWindow::GetClientRect() const
{
    TRect rect;
    ::GetClientRect(Handle, &rect);
    return rect;
}

TRect TWindow::GetWindowRect() const
{
    TRect rect;
    ::GetWindowRect(Handle, &rect);
    return rect;
}

bool TWindow::MoveWindow(int x, int y, int w, int h, bool repaint)
{
    if (!Handle) {
        Attr.X = x;
        Attr.Y = y;
        Attr.W = w;
        Attr.H = h;
        return true;
    }
    return ::MoveWindow(Handle, x, y, w, h, repaint);
}

bool TWindow::SetWindowPos(HWND insertAfter, int x, int y, int w, int h, uint flags)
{
    return ::SetWindowPos(Handle, insertAfter, x, y, w, h, flags);
}

void TWindow::SetCaption(LPCWSTR title)
{
    Title = title ? title : u"";
    if (Handle) {
        ::SetWindowTextW(Handle, Title.c_str());
    }
}

tstring TWindow::GetWindowText() const { return ui::WindowText(Handle); }

uint32 TWindow::GetStyle() const
{
    return Handle ? static_cast<uint32>(::GetWindowLongPtrW(Handle, GWL_STYLE)) : Attr.Style;
}

uint32 TWindow::SetStyle(uint32 style)
{
    const uint32 old = GetStyle();
    Attr.Style = style;
    if (Handle) {
        ::SetWindowLongPtrW(Handle, GWL_STYLE, static_cast<LONG>(style));
    }
    return old;
}

bool TWindow::ModifyStyle(uint32 remove, uint32 add, uint swpFlags)
{
    const uint32 old = GetStyle();
    const uint32 style = (old & ~remove) | add;
    if (style == old) {
        return false;
    }
    SetStyle(style);
    if (swpFlags && Handle) {
        ::SetWindowPos(Handle, nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

uint32 TWindow::GetExStyle() const
{
    return Handle ? static_cast<uint32>(::GetWindowLongPtrW(Handle, GWL_EXSTYLE)) : Attr.ExStyle;
}

uint32 TWindow::SetExStyle(uint32 style)
{
    const uint32 old = GetExStyle();
    Attr.ExStyle = style;
    if (Handle) {
        ::SetWindowLongPtrW(Handle, GWL_EXSTYLE, static_cast<LONG>(style));
    }
    return old;
}

bool TWindow::ModifyExStyle(uint32 remove, uint32 add, uint swpFlags)
{
    const uint32 old = GetExStyle();
    const uint32 style = (old & ~remove) | add;
    if (style == old) {
        return false;
    }
    SetExStyle(style);
    if (swpFlags && Handle) {
        ::SetWindowPos(Handle, nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

uint TWindow::GetDlgItemInt(int id, bool* translated, bool isSigned) const
{
    BOOL ok = FALSE;
    const uint value = ::GetDlgItemInt(Handle, id, &ok, isSigned);
    if (translated) {
        *translated = ok != 0;
    }
    return value;
}
}
