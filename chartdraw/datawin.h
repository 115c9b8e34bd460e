// The window of a preview chart, which is also its own data pane: `DataWinBase` is the window half (accelerators,
// the keyboard hook that shows the size-all cursor while Ctrl is held over a chart, mouse tracking and the window
// services a pane needs); `DataWin<Pane>` joins it with a pane, paints the pane under the pane's lock and gives
// the pane its scroll bar and zoom control.
#pragma once

#include "chartdraw/controlwindows.h"
#include "chartdraw/datapane.h"
#include "platform/owl/window.h"
#include "resources/chartdrawresources.h"

#include <memory>

namespace ChartDraw {

class DataWinBase : public owl::TWindow {
public:
    static constexpr const char16_t* kAccelerators = u"CHARTDRAWACCELS";

    // The first data window of the process installs the keyboard hook; the last one removes it.
    DataWinBase(owl::TWindow* parent, owl::TModule* module = nullptr);
    ~DataWinBase() override;

    LPCWSTR GetClassName() override { return u"ChartDrawDataWin"; }

    // Process-wide state of the hook, for tests.
    static bool PointerInside();
    static bool HookInstalled();

    ScrollBarWin* MakeScrollBar(DataPane* owner);
    ZoomControlWin* MakeZoomControl(DataPane* owner, DWORD style);
    void MoveWindowTo(int x, int y, int width, int height, bool redraw);
    void ScrollClient(LONGLONG dx, const RECT& rect);
    void InvalidateWhole(bool erase);
    void InvalidateArea(const RECT& rect, bool erase);
    bool GetClientArea(RECT& rect) const;

    bool PreProcessMsg(MSG& msg) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    bool EvMouseWheel(owl::uint, int, const owl::TPoint&) override { return false; }
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseLeave() override;
    bool EvSetCursor(HWND cursorWindow, owl::uint hitTest, owl::TMsgId mouseMessage) override;

protected:
    bool tracking_ = false;
};

template <class Pane>
class DataWin : public DataWinBase, public Pane {
public:
    template <class... PaneArgs>
    explicit DataWin(owl::TWindow* parent, PaneArgs&&... paneArgs)
        : DataWinBase(parent), Pane(std::forward<PaneArgs>(paneArgs)...)
    {
    }

    void SetupWindow() override
    {
        DataWinBase::SetupWindow();
        DataWinBase::SetFocus();
        // Where the window lies in its parent: the control row goes under it.
        RECT frame{};
        ::GetWindowRect(DataWinBase::GetHandle(), &frame);
        ::MapWindowPoints(nullptr, DataWinBase::GetParentH(), reinterpret_cast<POINT*>(&frame), 2);
        Pane::SetFrameOrigin(POINT{frame.left, frame.top});
        Pane::Attach(DataWinBase::GetParentH(), DataWinBase::GetHandle());
    }

    void CleanupWindow() override
    {
        Pane::DetachChannels();
        DataWinBase::CleanupWindow();
    }

    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint notifyCode) override
    {
        WORD code = 0;
        switch (id) {
        case kCommandLineLeft: code = SB_LINEUP; break;
        case kCommandLineRight: code = SB_LINEDOWN; break;
        case kCommandPageLeft: code = SB_PAGEUP; break;
        case kCommandPageRight: code = SB_PAGEDOWN; break;
        default: return DataWinBase::EvCommand(id, control, notifyCode);
        }
        auto* bar = dynamic_cast<ScrollBarWin*>(Pane::HorizontalBar());
        if (!bar || !bar->GetHandle()) {
            return 1;
        }
        ::SendMessageW(bar->GetHandle(), WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(bar->GetHandle()));
        return 0;
    }

    // After the window's own handling, mouse and timer messages go on to the pane's interactive objects, and so
    // does the pointer leaving; notifications go to them alone. A cursor request for this window that an object
    // answers keeps the object's cursor.
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        switch (message) {
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(p1) == DataWinBase::GetHandle() && Pane::BroadcastInput(message, p1, p2)) {
                return TRUE;
            }
            return DataWinBase::WindowProc(message, p1, p2);
        case WM_NOTIFY:
            Pane::BroadcastInput(message, p1, p2);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MOUSELEAVE:
        case WM_TIMER: {
            const owl::TResult result = DataWinBase::WindowProc(message, p1, p2);
            Pane::BroadcastInput(message, p1, p2);
            return result;
        }
        default:
            return DataWinBase::WindowProc(message, p1, p2);
        }
    }

    void EvMove(const owl::TPoint& clientOrigin) override
    {
        DataWinBase::EvMove(clientOrigin);
        Pane::SetFrameOrigin(POINT{clientOrigin.x, clientOrigin.y});
    }

    void EvSize(owl::uint sizeType, const owl::TSize& size) override
    {
        DataWinBase::EvSize(sizeType, size);
        if (size.cx >= 0 && size.cy >= 1) {
            Pane::SetSize(size.cx, size.cy);
        }
    }

    bool EvMouseWheel(owl::uint modKeys, int delta, const owl::TPoint& point) override
    {
        POINT client{point.x, point.y};
        ::ScreenToClient(DataWinBase::GetHandle(), &client);
        Pane::OnMouseWheel(modKeys, delta, client);
        return false;
    }

    void EvPaint() override
    {
        // A suspended pane draws nothing, but the update region is still validated so that painting ends.
        if (Pane::paintSuspended) {
            DataWinBase::Validate();
            return;
        }
        std::lock_guard guard(Pane::Lock());
        Pane::PreparePaint();
        owl::TPaintDC dc(DataWinBase::GetHandle());
        if (Pane::alternativePaint) {
            Pane::PaintBlank(dc);
        } else {
            Pane::PaintLayers(dc, dc.Ps.rcPaint);
        }
    }

    // Window services of the pane.
    UINT_PTR SetPaneTimer(UINT_PTR id, UINT milliseconds) override { return DataWinBase::SetTimer(id, milliseconds); }
    bool KillPaneTimer(UINT_PTR id) override { return DataWinBase::KillTimer(id); }
    void InvalidateArea(const RECT& rect, bool erase) override { DataWinBase::InvalidateArea(rect, erase); }
    void InvalidateAll(bool erase) override { DataWinBase::InvalidateWhole(erase); }
    void ScrollContents(LONGLONG dx, const RECT& rect) override { DataWinBase::ScrollClient(dx, rect); }
    bool IsWindowEnabled(LONG) override { return DataWinBase::GetHandle() && DataWinBase::IsWindowEnabled(); }
    std::unique_ptr<ScrollBar> CreateScrollBar() override
    {
        return std::unique_ptr<ScrollBar>(DataWinBase::MakeScrollBar(this));
    }
    std::unique_ptr<ZoomControl> CreateZoomControl(DWORD style) override
    {
        return std::unique_ptr<ZoomControl>(DataWinBase::MakeZoomControl(this, style));
    }
    void MoveDataArea(LONG x, LONG y, LONG width, LONG height, bool redraw) override
    {
        DataWinBase::MoveWindowTo(x, y, width, height, redraw);
    }
    void UpdateNow() override { DataWinBase::UpdateWindow(); }
    void InvalidatePaneRect(const RECT& rect) override { DataWinBase::InvalidateArea(rect, false); }
    void ScrollPaneRect(const RECT& rect, LONGLONG amount) override { DataWinBase::ScrollClient(amount, rect); }
};

} // namespace ChartDraw
