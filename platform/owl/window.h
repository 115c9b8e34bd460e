// OWL's window object. Messages reach virtual handlers named as OWL names them (EvSize, EvLButtonDown …)
// instead of response tables; a handler that does not override calls DefaultProcessing, which passes the
// message on to the window's original procedure. Windows of OWL's own classes paint through Paint; windows of
// the system classes (controls) paint themselves.
#pragma once

#include "platform/owl/color.h"
#include "platform/owl/dc.h"
#include "platform/owl/geometry.h"
#include "platform/owl/module.h"
#include "platform/win/winuser.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace owl {

using TResult = LRESULT;
using TParam1 = WPARAM;
using TParam2 = LPARAM;
using TMsgId = UINT;
using TNotify = NMHDR;

// WM_CTLCOLOR* kinds as EvCtlColor receives them.
inline constexpr uint CTLCOLOR_MSGBOX = 0;
inline constexpr uint CTLCOLOR_EDIT = 1;
inline constexpr uint CTLCOLOR_LISTBOX = 2;
inline constexpr uint CTLCOLOR_BTN = 3;
inline constexpr uint CTLCOLOR_DLG = 4;
inline constexpr uint CTLCOLOR_SCROLLBAR = 5;
inline constexpr uint CTLCOLOR_STATIC = 6;

enum TWindowFlag : uint32 {
    wfAlias = 0x0001,         // wraps a window that something else created
    wfAutoCreate = 0x0002,    // created with its parent
    wfFromResource = 0x0004,  // takes over a control of its parent dialog by id
    wfModalWindow = 0x0008,   // a dialog running modally
    wfPredefinedClass = 0x0010,
    wfFullyCreated = 0x0020,
    wfDeleteOnClose = 0x0040,
};

struct TWindowAttr {
    uint32 Style = 0;
    uint32 ExStyle = 0;
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
    int Id = 0;
    void* Param = nullptr;
};

class TWindow;

// Thrown when a window cannot be created.
class TXWindow : public std::runtime_error {
public:
    TXWindow(TWindow* window, const std::string& what) : std::runtime_error(what), Window(window) {}
    TWindow* Window;
};

class TWindow {
public:
    explicit TWindow(TWindow* parent, LPCWSTR title = nullptr, TModule* module = nullptr);
    // An alias of a window made elsewhere: its messages come through this object until it is deleted.
    explicit TWindow(HWND handle, TModule* module = nullptr);
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // The object of a window, or null.
    static TWindow* GetWindowPtr(HWND handle);

    HWND GetHandle() const { return Handle; }
    operator HWND() const { return Handle; }
    bool IsWindow() const { return Handle && ::IsWindow(Handle); }
    TWindow* GetParentO() const { return Parent; }
    TWindow* GetParent() const { return Parent; }
    HWND GetParentH() const { return Handle ? ::GetParent(Handle) : (Parent ? Parent->GetHandle() : nullptr); }
    void SetParent(TWindow* parent);
    TModule* GetModule() const { return Module; }
    void SetModule(TModule* module) { Module = module; }
    TApplication* GetApplication() const { return &GetApplicationObject(); }
    int GetId() const;
    TWindow* ChildWithId(int id) const;
    const std::vector<TWindow*>& GetChildren() const { return Children; }
    uint NumChildren() const { return static_cast<uint>(Children.size()); }

    bool IsFlagSet(uint32 flag) const { return (Flags & flag) != 0; }
    void SetFlag(uint32 flag) { Flags |= flag; }
    void ClearFlag(uint32 flag) { Flags &= ~flag; }
    void EnableAutoCreate() { SetFlag(wfAutoCreate); }
    void DisableAutoCreate() { ClearFlag(wfAutoCreate); }

    // Creation and destruction.
    virtual bool Create();
    virtual void Destroy(int retVal = 0);
    virtual void CloseWindow(int retVal = 0);
    virtual bool CanClose();
    // Takes over the window's procedure; DefaultProcessing then calls the one it had.
    void SubclassWindowFunction();
    void TransferData(int) {}

    // Window class of windows that this object creates.
    virtual LPCWSTR GetClassName();
    virtual void GetWindowClass(WNDCLASSW& wc);

    // Message handling.
    virtual TResult WindowProc(TMsgId message, TParam1 p1, TParam2 p2);
    TResult HandleMessage(TMsgId message, TParam1 p1 = 0, TParam2 p2 = 0);
    TResult DefaultProcessing();
    virtual bool PreProcessMsg(MSG& msg);
    virtual void SetupWindow();
    virtual void CleanupWindow();
    virtual void Paint(TDC& dc, bool erase, TRect& rect);

    virtual int EvCreate(CREATESTRUCTW& cs);
    virtual void EvDestroy();
    virtual void EvNCDestroy();
    virtual void EvClose();
    virtual TResult EvCommand(uint id, HWND hWndCtl, uint notifyCode);
    // A notification from a child control is first offered to the control's own object (OWL's notifications
    // handled at the child): true when it took it, and the parent's EvCommand then does not see it.
    virtual bool EvNotifyAtChild(uint notifyCode);
    virtual TResult EvNotify(uint id, TNotify& info);
    virtual void EvPaint();
    virtual bool EvEraseBkgnd(HDC hdc);
    virtual void EvSize(uint sizeType, const TSize& size);
    virtual void EvMove(const TPoint& clientOrigin);
    virtual void EvWindowPosChanging(WINDOWPOS& pos);
    virtual void EvWindowPosChanged(const WINDOWPOS& pos);
    virtual void EvShowWindow(bool show, uint status);
    virtual void EvEnable(bool enabled);
    virtual void EvActivate(uint active, bool minimized, HWND other);
    virtual uint EvMouseActivate(HWND topParent, uint hitCode, TMsgId message);
    virtual void EvSetFocus(HWND lostFocus);
    virtual void EvKillFocus(HWND getFocus);
    virtual void EvLButtonDown(uint modKeys, const TPoint& point);
    virtual void EvLButtonUp(uint modKeys, const TPoint& point);
    virtual void EvLButtonDblClk(uint modKeys, const TPoint& point);
    virtual void EvRButtonDown(uint modKeys, const TPoint& point);
    virtual void EvRButtonUp(uint modKeys, const TPoint& point);
    virtual void EvMButtonDown(uint modKeys, const TPoint& point);
    virtual void EvMButtonUp(uint modKeys, const TPoint& point);
    virtual void EvMouseMove(uint modKeys, const TPoint& point);
    virtual bool EvMouseWheel(uint modKeys, int zDelta, const TPoint& point);
    virtual void EvMouseLeave();
    virtual void EvCaptureChanged(HWND capture);
    virtual void EvCancelMode();
    virtual bool EvSetCursor(HWND hWndCursor, uint hitTest, TMsgId mouseMessage);
    virtual uint EvNCHitTest(const TPoint& point);
    virtual void EvContextMenu(HWND childHwnd, int x, int y);
    virtual void EvKeyDown(uint key, uint repeatCount, uint flags);
    virtual void EvKeyUp(uint key, uint repeatCount, uint flags);
    virtual void EvChar(uint key, uint repeatCount, uint flags);
    virtual uint EvGetDlgCode(const MSG* msg);
    virtual void EvTimer(uint timerId);
    virtual void EvHScroll(uint scrollCode, uint thumbPos, HWND hWndCtl);
    virtual void EvVScroll(uint scrollCode, uint thumbPos, HWND hWndCtl);
    virtual HBRUSH EvCtlColor(HDC hdc, HWND hWndChild, uint ctlType);
    virtual void EvDrawItem(uint ctrlId, const DRAWITEMSTRUCT& drawInfo);
    virtual void EvMeasureItem(uint ctrlId, MEASUREITEMSTRUCT& measureInfo);
    virtual void EvSetFont(HFONT font, bool redraw);
    virtual HFONT EvGetFont();
    virtual void EvSysColorChange();
    virtual void EvThemeChanged();

    // Window functions.
    bool Show(int cmdShow) { return ::ShowWindow(Handle, cmdShow); }
    bool ShowWindow(int cmdShow) { return ::ShowWindow(Handle, cmdShow); }
    bool EnableWindow(bool enable) { return ::EnableWindow(Handle, enable); }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(Handle); }
    bool IsWindowVisible() const { return ::IsWindowVisible(Handle); }
    void Invalidate(bool erase = true) { ::InvalidateRect(Handle, nullptr, erase); }
    void InvalidateRect(const TRect& rect, bool erase = true) { ::InvalidateRect(Handle, &rect, erase); }
    void InvalidateRgn(HRGN region, bool erase = true) { ::InvalidateRgn(Handle, region, erase); }
    void Validate() { ::ValidateRect(Handle, nullptr); }
    void ValidateRect(const TRect& rect) { ::ValidateRect(Handle, &rect); }
    void UpdateWindow() { ::UpdateWindow(Handle); }
    bool RedrawWindow(const TRect* rect, HRGN region, uint flags)
    {
        return ::RedrawWindow(Handle, rect, region, flags);
    }
    TRect GetClientRect() const;
    void GetClientRect(TRect& rect) const { ::GetClientRect(Handle, &rect); }
    TRect GetWindowRect() const;
    void GetWindowRect(TRect& rect) const { ::GetWindowRect(Handle, &rect); }
    bool MoveWindow(int x, int y, int w, int h, bool repaint = false);
    bool MoveWindow(const TRect& rect, bool repaint = false)
    {
        return MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), repaint);
    }
    bool SetWindowPos(HWND insertAfter, int x, int y, int w, int h, uint flags);
    bool SetWindowPos(HWND insertAfter, const TRect& rect, uint flags)
    {
        return SetWindowPos(insertAfter, rect.left, rect.top, rect.Width(), rect.Height(), flags);
    }
    bool BringWindowToTop() { return ::BringWindowToTop(Handle); }
    void ClientToScreen(TPoint& point) const { ::ClientToScreen(Handle, &point); }
    void ScreenToClient(TPoint& point) const { ::ScreenToClient(Handle, &point); }
    void MapWindowPoints(HWND to, TPoint* points, int count) const
    {
        ::MapWindowPoints(Handle, to, points, static_cast<UINT>(count));
    }

    void SetCaption(LPCWSTR title);
    LPCWSTR GetCaption() const { return Title.c_str(); }
    bool SetWindowText(LPCWSTR text) { return ::SetWindowTextW(Handle, text); }
    int GetWindowText(LPWSTR buffer, int size) const { return ::GetWindowTextW(Handle, buffer, size); }
    tstring GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(Handle); }

    uint32 GetStyle() const;
    uint32 SetStyle(uint32 style);
    bool ModifyStyle(uint32 remove, uint32 add, uint swpFlags = 0);
    uint32 GetExStyle() const;
    uint32 SetExStyle(uint32 style);
    bool ModifyExStyle(uint32 remove, uint32 add, uint swpFlags = 0);
    LONG_PTR GetWindowLongPtr(int index) const { return ::GetWindowLongPtrW(Handle, index); }
    LONG_PTR SetWindowLongPtr(int index, LONG_PTR value) { return ::SetWindowLongPtrW(Handle, index, value); }

    TResult SendMessage(TMsgId message, TParam1 p1 = 0, TParam2 p2 = 0) const
    {
        return ::SendMessageW(Handle, message, p1, p2);
    }
    bool PostMessage(TMsgId message, TParam1 p1 = 0, TParam2 p2 = 0) const
    {
        return ::PostMessageW(Handle, message, p1, p2);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(Handle, id); }
    TResult SendDlgItemMessage(int id, TMsgId message, TParam1 p1 = 0, TParam2 p2 = 0) const
    {
        return ::SendDlgItemMessageW(Handle, id, message, p1, p2);
    }
    void SetDlgItemText(int id, LPCWSTR text) const { ::SetDlgItemTextW(Handle, id, text); }
    uint GetDlgItemText(int id, LPWSTR buffer, int size) const { return ::GetDlgItemTextW(Handle, id, buffer, size); }
    void SetDlgItemInt(int id, uint value, bool isSigned = true) const { ::SetDlgItemInt(Handle, id, value, isSigned); }
    uint GetDlgItemInt(int id, bool* translated = nullptr, bool isSigned = true) const;
    void CheckDlgButton(int id, uint check) { ::CheckDlgButton(Handle, id, check); }
    uint IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(Handle, id); }

    UINT_PTR SetTimer(UINT_PTR timerId, uint timeout, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(Handle, timerId, timeout, proc);
    }
    bool KillTimer(UINT_PTR timerId) { return ::KillTimer(Handle, timerId); }
    HWND SetFocus() { return ::SetFocus(Handle); }
    HWND SetCapture() { return ::SetCapture(Handle); }
    void ReleaseCapture() { ::ReleaseCapture(); }
    HFONT GetWindowFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetWindowFont(HFONT font, bool redraw = true)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }

    TWindowAttr Attr;
    tstring Title;

    // The message being handled, for DefaultProcessing.
    struct TCurrentEvent {
        TMsgId Message = 0;
        TParam1 Param1 = 0;
        TParam2 Param2 = 0;
    };

protected:
    // Attaches this object to a window and takes over its procedure.
    void AttachHandle(HWND handle);
    void DetachHandle();
    void PerformSetupAndTransfer();
    void CreateChildren();
    void AddChild(TWindow* child);
    void RemoveChild(TWindow* child);
    bool PaintsItself() const { return IsFlagSet(wfPredefinedClass); }

    TCurrentEvent CurrentEvent;
    TResult ReceiveMessage(HWND handle, TMsgId message, TParam1 p1, TParam2 p2);

    HWND Handle = nullptr;
    TWindow* Parent = nullptr;
    TModule* Module = nullptr;
    WNDPROC DefaultProc = nullptr;
    uint32 Flags = 0;
    std::vector<TWindow*> Children;

    friend LRESULT StdWndProc(HWND, UINT, WPARAM, LPARAM);
    friend INT_PTR StdDlgProc(HWND, UINT, WPARAM, LPARAM);
    friend class TDialog;
};

// The window procedure of OWL windows, and the dialog procedure of OWL dialogs.
LRESULT StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR StdDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The object whose window is being created; the first message of that window attaches it.
void SetCreationWindow(TWindow* window);
TWindow* PendingCreationWindow();
}

namespace OWL = owl;
