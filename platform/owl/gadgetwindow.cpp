#include "platform/owl/gadgetwindow.h"

#include "platform/win/commctrl.h"

#include <algorithm>

namespace owl {

uint& TGadgetWindow::FlatStyleBits()
{
    static uint style = NonFlatNormal;
    return style;
}

TGadgetWindow::TGadgetWindow(TWindow* parent, TTileDirection direction, TFont* font, TModule* module)
    : TWindow(parent, nullptr, module), Direction(direction),
      Font(font ? font : new TFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))))
{
    Attr.Style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN;
}

TGadgetWindow::~TGadgetWindow()
{
    while (!Gadgets.empty()) {
        TGadget* gadget = Gadgets.back();
        Remove(*gadget);
        delete gadget;
    }
}

void TGadgetWindow::GetWindowClass(WNDCLASSW& wc)
{
    TWindow::GetWindowClass(wc);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1));
}

void TGadgetWindow::Insert(TGadget& gadget, TPlacement placement, TGadget* sibling)
{
    auto at = Gadgets.end();
    if (sibling) {
        at = std::find(Gadgets.begin(), Gadgets.end(), sibling);
        if (at != Gadgets.end() && placement == After) {
            ++at;
        }
    } else if (placement == Before) {
        at = Gadgets.begin();
    }
    Gadgets.insert(at, &gadget);
    gadget.Window = this;
    gadget.Inserted();
    if (GetHandle()) {
        gadget.Created();
        LayoutSession();
    }
}

TGadget* TGadgetWindow::Remove(TGadget& gadget)
{
    const auto found = std::find(Gadgets.begin(), Gadgets.end(), &gadget);
    if (found == Gadgets.end()) {
        return nullptr;
    }
    if (Capture == &gadget) {
        Capture = nullptr;
        if (GetHandle() && ::GetCapture() == GetHandle()) {
            ::ReleaseCapture();
        }
    }
    if (AtMouse == &gadget) {
        AtMouse = nullptr;
    }
    gadget.Invalidate();
    Gadgets.erase(found);
    gadget.Removed();
    gadget.Window = nullptr;
    if (GetHandle()) {
        LayoutSession();
    }
    return &gadget;
}

TGadget* TGadgetWindow::NextGadget(TGadget& gadget) const
{
    const auto found = std::find(Gadgets.begin(), Gadgets.end(), &gadget);
    return found == Gadgets.end() || found + 1 == Gadgets.end() ? nullptr : *(found + 1);
}

TGadget* TGadgetWindow::GadgetFromPoint(const TPoint& point) const
{
    for (TGadget* gadget : Gadgets) {
        if (gadget->IsVisible() && gadget->GetBounds().Contains(point)) {
            return gadget;
        }
    }
    return nullptr;
}

TGadget* TGadgetWindow::GadgetWithId(int id) const
{
    for (TGadget* gadget : Gadgets) {
        if (gadget->GetId() == id) {
            return gadget;
        }
    }
    return nullptr;
}

void TGadgetWindow::LayoutSession()
{
    TRect client = GetHandle() ? GetClientRect() : TRect(0, 0, Attr.W, Attr.H);
    const bool horizontal = Direction == Horizontal;
    const int across = horizontal ? client.Height() - Margins.Top - Margins.Bottom
                                  : client.Width() - Margins.Left - Margins.Right;
    const int room = horizontal ? client.Width() - Margins.Left - Margins.Right
                                : client.Height() - Margins.Top - Margins.Bottom;
    std::vector<TSize> sizes;
    int used = 0;
    int wide = 0;
    for (TGadget* gadget : Gadgets) {
        TSize size(0, 0);
        if (gadget->IsVisible()) {
            gadget->GetDesiredSize(size);
        }
        sizes.push_back(size);
        if (gadget->IsVisible() && (gadget->GetFlags() & TGadget::WideAsPossible)) {
            ++wide;
        } else {
            used += horizontal ? size.cx : size.cy;
        }
    }
    // Gadgets that want to be as wide as possible share what is left.
    const int share = wide ? std::max(0, room - used) / wide : 0;
    int pos = horizontal ? Margins.Left : Margins.Top;
    for (std::size_t i = 0; i < Gadgets.size(); ++i) {
        TGadget* gadget = Gadgets[i];
        const TSize size = sizes[i];
        if (!gadget->IsVisible()) {
            gadget->SetBounds(TRect(pos, 0, pos, 0));
            continue;
        }
        const bool isWide = (gadget->GetFlags() & TGadget::WideAsPossible) != 0;
        if (horizontal) {
            const int w = isWide ? share : size.cx;
            const int h = gadget->GetShrinkWrapHeight() ? size.cy : across;
            gadget->SetBounds(TRect(pos, Margins.Top, pos + w, Margins.Top + h));
            pos += w;
        } else {
            const int h = isWide ? share : size.cy;
            const int w = gadget->GetShrinkWrapWidth() ? size.cx : across;
            gadget->SetBounds(TRect(Margins.Left, pos, Margins.Left + w, pos + h));
            pos += h;
        }
    }
    UpdateTools();
}

void TGadgetWindow::EnableTooltip(bool enable)
{
    WantTooltip = enable;
    if (enable && !Tooltip && GetHandle()) {
        Tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                    GetHandle(), nullptr, nullptr, nullptr);
        if (Tooltip) {
            ::SendMessageW(Tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(*Font)), FALSE);
            UpdateTools();
        }
    }
    if (Tooltip) {
        ::SendMessageW(Tooltip, TTM_ACTIVATE, enable ? TRUE : FALSE, 0);
    }
}

void TGadgetWindow::UpdateTools()
{
    if (!Tooltip) {
        return;
    }
    // Tools are keyed by the gadget's position in the row: ids need not be unique.
    for (UINT_PTR index = 0; index < ToolIds; ++index) {
        TOOLINFOW info{sizeof(TOOLINFOW), 0, GetHandle(), index + 1, {}, nullptr, nullptr, 0, nullptr};
        ::SendMessageW(Tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    // The gadgets' texts change with their commands' state: each is asked for when its tip shows.
    UINT_PTR index = 0;
    for (TGadget* gadget : Gadgets) {
        ++index;
        if (!gadget->IsVisible()) {
            continue;
        }
        const TRect& bounds = gadget->GetBounds();
        TOOLINFOW info{sizeof(TOOLINFOW), TTF_SUBCLASS, GetHandle(), index,
                       RECT{bounds.left, bounds.top, bounds.right, bounds.bottom}, nullptr, LPSTR_TEXTCALLBACKW, 0,
                       nullptr};
        ::SendMessageW(Tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    ToolIds = index;
}

void TGadgetWindow::CleanupWindow()
{
    if (Tooltip) {
        ::DestroyWindow(Tooltip);
        Tooltip = nullptr;
        ToolIds = 0;
    }
    TWindow::CleanupWindow();
}

void TGadgetWindow::GetDesiredSize(TSize& size)
{
    int along = 0;
    int across = 0;
    for (TGadget* gadget : Gadgets) {
        if (!gadget->IsVisible()) {
            continue;
        }
        TSize s;
        gadget->GetDesiredSize(s);
        along += Direction == Horizontal ? s.cx : s.cy;
        across = std::max(across, Direction == Horizontal ? s.cy : s.cx);
    }
    const RECT frame = [&] {
        RECT r{0, 0, 0, 0};
        AdjustWindowRectEx(&r, GetHandle() ? GetStyle() : Attr.Style, FALSE, GetHandle() ? GetExStyle() : Attr.ExStyle);
        return r;
    }();
    const int frameW = frame.right - frame.left;
    const int frameH = frame.bottom - frame.top;
    if (Direction == Horizontal) {
        size = TSize(along + Margins.Left + Margins.Right + frameW, across + Margins.Top + Margins.Bottom + frameH);
    } else {
        size = TSize(across + Margins.Left + Margins.Right + frameW, along + Margins.Top + Margins.Bottom + frameH);
    }
}

bool TGadgetWindow::IdleAction(long)
{
    for (TGadget* gadget : Gadgets) {
        gadget->CommandEnable();
    }
    return false;
}

bool TGadgetWindow::GadgetSetCapture(TGadget& gadget)
{
    if (Capture && Capture != &gadget) {
        return false;
    }
    Capture = &gadget;
    SetCapture();
    return true;
}

void TGadgetWindow::GadgetReleaseCapture(TGadget& gadget)
{
    if (Capture == &gadget) {
        Capture = nullptr;
        if (::GetCapture() == GetHandle()) {
            ::ReleaseCapture();
        }
    }
}

void TGadgetWindow::SetupWindow()
{
    TWindow::SetupWindow();
    for (TGadget* gadget : Gadgets) {
        gadget->Created();
    }
    if (WantTooltip) {
        EnableTooltip(true);
    }
    LayoutSession();
}

void TGadgetWindow::Paint(TDC& dc, bool, TRect& rect)
{
    for (TGadget* gadget : Gadgets) {
        if (gadget->IsVisible() && gadget->GetBounds().Touches(rect)) {
            const int saved = dc.SaveDC();
            if (gadget->GetFlags() & TGadget::Clip) {
                dc.IntersectClipRect(gadget->GetBounds());
            }
            gadget->Paint(dc);
            dc.RestoreDC(saved);
        }
    }
}

void TGadgetWindow::EvSize(uint sizeType, const TSize& size)
{
    TWindow::EvSize(sizeType, size);
    LayoutSession();
}

void TGadgetWindow::EvMouseMove(uint modKeys, const TPoint& point)
{
    if (Capture) {
        Capture->MouseMove(modKeys, Relative(*Capture, point));
        return;
    }
    TGadget* over = GadgetFromPoint(point);
    if (over != AtMouse) {
        if (AtMouse) {
            AtMouse->MouseLeave(modKeys, Relative(*AtMouse, point));
        }
        AtMouse = over;
        if (over) {
            over->MouseEnter(modKeys, Relative(*over, point));
        }
    }
    if (AtMouse) {
        AtMouse->MouseMove(modKeys, Relative(*AtMouse, point));
    }
}

void TGadgetWindow::EvMouseLeave()
{
    if (AtMouse && AtMouse != Capture) {
        TPoint cursor;
        ::GetCursorPos(&cursor);
        ScreenToClient(cursor);
        TGadget* left = AtMouse;
        AtMouse = nullptr;
        left->MouseLeave(0, Relative(*left, cursor));
    }
}

void TGadgetWindow::EvLButtonDown(uint modKeys, const TPoint& point)
{
    TGadget* gadget = Capture ? Capture : GadgetFromPoint(point);
    if (gadget && (gadget->GetEnabled() || Capture)) {
        gadget->LButtonDown(modKeys, Relative(*gadget, point));
    }
}

void TGadgetWindow::EvLButtonUp(uint modKeys, const TPoint& point)
{
    TGadget* gadget = Capture ? Capture : GadgetFromPoint(point);
    if (gadget && (gadget->GetEnabled() || Capture)) {
        gadget->LButtonUp(modKeys, Relative(*gadget, point));
    }
}

void TGadgetWindow::EvLButtonDblClk(uint modKeys, const TPoint& point) { EvLButtonDown(modKeys, point); }

void TGadgetWindow::EvRButtonDown(uint modKeys, const TPoint& point)
{
    TGadget* gadget = Capture ? Capture : GadgetFromPoint(point);
    if (gadget && gadget->GetEnabled()) {
        gadget->RButtonDown(modKeys, Relative(*gadget, point));
    }
}

void TGadgetWindow::EvRButtonUp(uint modKeys, const TPoint& point)
{
    TGadget* gadget = Capture ? Capture : GadgetFromPoint(point);
    if (gadget && gadget->GetEnabled()) {
        gadget->RButtonUp(modKeys, Relative(*gadget, point));
    }
}

void TGadgetWindow::EvSysColorChange()
{
    for (TGadget* gadget : Gadgets) {
        gadget->SysColorChange();
    }
    Invalidate();
}

TResult TGadgetWindow::EvCommand(uint id, HWND hWndCtl, uint notifyCode)
{
    // Commands of gadgets (and of hosted controls) belong to the window's parent.
    if (HWND parent = GetParentH()) {
        return ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(hWndCtl));
    }
    return TWindow::EvCommand(id, hWndCtl, notifyCode);
}

void TGadgetWindow::EvCommandEnable(TCommandEnabler& enabler)
{
    if (HWND parent = GetParentH()) {
        ::SendMessageW(parent, WM_COMMAND_ENABLE, 0, reinterpret_cast<LPARAM>(&enabler));
    }
}

TResult TGadgetWindow::WindowProc(TMsgId message, TParam1 p1, TParam2 p2)
{
    if (message == WM_COMMAND_ENABLE && p2) {
        EvCommandEnable(*reinterpret_cast<TCommandEnabler*>(p2));
        return 0;
    }
    if (message == WM_NOTIFY && p2 && Tooltip) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(p2);
        if (info->hdr.hwndFrom == Tooltip && info->hdr.code == TTN_GETDISPINFOW) {
            // Tool n is the n-th gadget of the row.
            const std::size_t index = static_cast<std::size_t>(info->hdr.idFrom);
            TooltipText = index >= 1 && index <= Gadgets.size() ? Gadgets[index - 1]->GetTooltipText() : tstring();
            info->lpszText = TooltipText.data();
            return 0;
        }
    }
    return TWindow::WindowProc(message, p1, p2);
}
}
