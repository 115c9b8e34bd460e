#include "controls/popupmenu.h"

#include "controls/gadgetwindows.h"

#include "foundation/linkingutils.h"
#include "foundation/utilities.h"

#include <algorithm>

namespace {
constexpr UINT kBsOwnerDraw = 0x0000000B;

// Calls `visit` for each item of a menu tree with the menu and position; stops when it returns true.
template <class Visit>
bool ForEachItem(HMENU menu, Visit&& visit)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (visit(menu, i)) {
            return true;
        }
        if (HMENU sub = GetSubMenu(menu, i); sub && ForEachItem(sub, visit)) {
            return true;
        }
    }
    return false;
}
}

namespace {
// Owner-drawn menu items are 100 x 20 pixels, filled in the menu's colours.
void SizeMenuItem(MEASUREITEMSTRUCT& measure)
{
    measure.itemWidth = 100;
    measure.itemHeight = 20;
}

void FillMenuItem(const DRAWITEMSTRUCT& draw)
{
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    FillRect(draw.hDC, &draw.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
}
}

void MenuHolder::MeasureMenuItem(MEASUREITEMSTRUCT& measure) { SizeMenuItem(measure); }
void MenuHolder::DrawMenuItem(DRAWITEMSTRUCT& draw) { FillMenuItem(draw); }
void ExclusivePopupMenu::MeasureItem(MEASUREITEMSTRUCT& measure) { SizeMenuItem(measure); }

void ExclusivePopupMenu::DrawItem(DRAWITEMSTRUCT& draw)
{
    FillMenuItem(draw);
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    if (options & TextItems) {
        const owl::tstring text = ItemLabel(draw.itemID);
        RECT r = draw.rcItem;
        r.left += 20; // room for the check mark
        const int mode = SetBkMode(draw.hDC, TRANSPARENT);
        const COLORREF color = SetTextColor(draw.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        DrawTextW(draw.hDC, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER);
        SetTextColor(draw.hDC, color);
        SetBkMode(draw.hDC, mode);
    }
}

bool ExclusivePopupMenu::HasCommand(owl::uint id) const
{
    return GetMenuState(id, MF_BYCOMMAND) != static_cast<owl::uint>(-1);
}

owl::tstring ExclusivePopupMenu::ItemLabel(owl::uint id) const
{
    owl::tstring text = GetMenuString(id, MF_BYCOMMAND);
    std::erase(text, u'&');
    return text;
}

void ExclusivePopupMenu::CheckOnCommand(owl::uint id)
{
    ShowLabel(ItemLabel(id));
    if (options & CheckOnCommandOption) {
        Check(id);
    }
}

void ExclusivePopupMenu::Check(owl::uint id)
{
    ForEachItem(Handle, [](HMENU menu, int position) {
        ::CheckMenuItem(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_UNCHECKED);
        return false;
    });
    checkedId = static_cast<int>(id);
    ForEachItem(Handle, [&](HMENU menu, int position) {
        if (::GetSubMenu(menu, position) || ::GetMenuItemID(menu, position) != id) {
            return false;
        }
        ::CheckMenuItem(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_CHECKED);
        // The item that opens the submenu holding it is checked too.
        ForEachItem(Handle, [&](HMENU parent, int at) {
            if (::GetSubMenu(parent, at) == menu) {
                ::CheckMenuItem(parent, static_cast<UINT>(at), MF_BYPOSITION | MF_CHECKED);
                return true;
            }
            return false;
        });
        return true;
    });
    CheckChanged();
}

PopupMenu::PopupMenu(owl::TWindow* parent, owl::TModule* module)
    : TButton(parent, ControlId, u"", 0, 0, 20, 20, false, module), owner(parent)
{
    Attr.Style = (Attr.Style & ~0xFu) | kBsOwnerDraw;
}

PopupMenu::~PopupMenu() { CloseTheme(); }

void PopupMenu::SetupWindow()
{
    TButton::SetupWindow();
    if (companion && companion->GetHandle()) {
        // The companion gives up room at its right for the button, as high as itself.
        const int freed = GetSystemMetrics(SM_CXVSCROLL) + 4;
        owl::TRect r = companion->GetWindowRect();
        HWND parent = ::GetParent(companion->GetHandle());
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        companion->MoveWindow(r.left, r.top, r.Width() - freed, r.Height(), true);
        MoveWindow(r.right - freed, r.top, freed, r.Height(), true);
    }
    OpenTheme();
}

void PopupMenu::CleanupWindow()
{
    CloseTheme();
    TButton::CleanupWindow();
}

void PopupMenu::OpenTheme()
{
    CloseTheme();
    if (KVOLinkingUtils::UxThemeDLL::Instance().IsThemeActive()) {
        theme = KVOControls::OpenThemeForLook(Wnd(), 1);
    }
}

void PopupMenu::CloseTheme() { KVOControls::CloseThemeHandle(theme); }

void PopupMenu::OpenMenu()
{
    const HWND hadFocus = ::GetFocus();
    ::SetFocus(nullptr);
    SetState(true);
    if (!tracking) {
        if (GetMenuItemCount() > 0) {
            owl::TRect r = GetWindowRect();
            tracking = 1;
            TrackPopupMenu(leftAligned ? TPM_LEFTALIGN : TPM_RIGHTALIGN, leftAligned ? r.left : r.right, r.bottom, 0,
                           Wnd());
            tracking = 0;
        } else {
            EmptyMenu();
        }
    }
    if (::IsWindow(Wnd())) {
        ::SetFocus((options & RestoreFocus) && ::IsWindow(hadFocus) ? hadFocus : Wnd());
        // A click on the button closed the menu: that click is not to open it again.
        POINT cursor{};
        ::GetCursorPos(&cursor);
        MSG closing{};
        if (GetWindowRect().Contains(owl::TPoint(cursor.x, cursor.y))) {
            ::PeekMessageW(&closing, Wnd(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);
        }
        SetState(false);
    }
}

void PopupMenu::EvLButtonDown(owl::uint, const owl::TPoint&) { OpenMenu(); }

void PopupMenu::EvKeyDown(owl::uint key, owl::uint, owl::uint)
{
    DefaultProcessing();
    if (key == VK_SPACE) {
        OpenMenu();
    }
}

void PopupMenu::EvMouseMove(owl::uint, const owl::TPoint&)
{
    if (!hover) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Wnd(), 0};
        hover = TrackMouseEvent(&track) != FALSE;
        Invalidate(false);
    }
    DefaultProcessing();
}

void PopupMenu::EvMouseLeave()
{
    hover = false;
    Invalidate(false);
    DefaultProcessing();
}

void PopupMenu::EvThemeChanged()
{
    CloseTheme();
    if (KVO::IsWindowsXPOrLater() && IsAppThemed()) {
        OpenTheme();
    }
}

void PopupMenu::MeasureItem(MEASUREITEMSTRUCT& measure)
{
    if (measure.CtlType == ODT_MENU) {
        ExclusivePopupMenu::MeasureItem(measure);
    }
}

void PopupMenu::DrawItem(DRAWITEMSTRUCT& draw)
{
    if (draw.CtlType == ODT_MENU) {
        ExclusivePopupMenu::DrawItem(draw);
    } else {
        PaintFace(draw.hDC, draw.rcItem, (draw.itemState & ODS_SELECTED) != 0);
    }
}

void PopupMenu::PaintFace(HDC dc, const RECT& rect, bool pushed)
{
    const bool enabled = IsWindowEnabled();
    RECT r = rect;
    if (arrowStyle) {
        DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
        FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
        DrawFrameControl(dc, &r, DFC_SCROLL,
                         DFCS_SCROLLDOWN | (pushed ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
        return;
    }
    if (theme) {
        KVOLinkingUtils::UxThemeDLL::Instance().DrawThemeBackground(
            theme, dc, BP_PUSHBUTTON, !enabled ? PBS_DISABLED : pushed ? PBS_PRESSED : hover ? PBS_HOT : PBS_NORMAL, &r);
    } else {
        FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
    }
    if (options & Flat) {
        DrawEdge(dc, &r, pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    // The face shows the checked item.
    if (checkedId >= 0) {
        const owl::tstring text = ItemLabel(static_cast<owl::uint>(checkedId));
        const int mode = SetBkMode(dc, TRANSPARENT);
        const COLORREF color = SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        SelectObject(dc, font);
        SetTextColor(dc, color);
        SetBkMode(dc, mode);
    }
}

void PopupMenu::CheckChanged()
{
    if ((options & Flat) && Wnd()) {
        Invalidate();
    }
}

void PopupMenu::ShowLabel(const owl::tstring& text)
{
    if (label && label->GetHandle()) {
        label->SetText(text.c_str());
    }
}

owl::TResult PopupMenu::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (hWndCtl || !HasCommand(id)) {
        return TButton::EvCommand(id, hWndCtl, notifyCode);
    }
    CheckOnCommand(id);
    if (owner && owner->GetHandle()) {
        owner->SendMessage(WM_COMMAND, MAKEWPARAM(id, notifyCode), 0);
    }
    lastCommand = static_cast<int>(id);
    return 0;
}

owl::TResult PopupMenu::WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2)
{
    switch (message) {
    case WM_MEASUREITEM: // from the menu, whose owner the button is
        MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(p2));
        return TRUE;
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(p2));
        return TRUE;
    case WM_INITMENUPOPUP:
        return owner && owner->GetHandle() ? owner->SendMessage(message, p1, p2) : 0;
    default:
        return TButton::WindowProc(message, p1, p2);
    }
}
