#include "controls/popup.h"

#include "foundation/utilities.h"

namespace KVO {
namespace {
// The gadget windows' font: the system's default user-interface font.
std::unique_ptr<owl::TFont> GadgetWindowFont()
{
    LOGFONTW log{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof log, &log);
    return std::make_unique<owl::TFont>(log);
}
}

Popup::Popup(owl::TWindow* parent, const owl::TPoint& anchorPoint, const String& shown)
    : TWindow(parent, nullptr), text(shown), font(GadgetWindowFont()), anchor(anchorPoint.x + 2, anchorPoint.y + 2)
{
    Attr.Style = WS_POPUP | WS_DISABLED | WS_BORDER;
    Attr.X = anchor.x;
    Attr.Y = anchor.y;
    // Lines wrap at 300 pixels; a word longer than that widens the window.
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, *font);
    RECT measured{0, 0, kWrapWidth, 0};
    DrawTextW(screen, text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    Attr.W = measured.right - measured.left + 5;
    Attr.H = measured.bottom - measured.top + 2;
    DisableAutoCreate();
    Create();
}

bool Popup::Create()
{
    const bool created = TWindow::Create();
    if (created) {
        ShowIfHostVisible();
    }
    return created;
}

void Popup::ShowIfHostVisible()
{
    if (IsHostApplicationVisible()) {
        ShowWindow(SW_SHOWNOACTIVATE);
    }
}

void Popup::SetupWindow()
{
    TWindow::SetupWindow();
    const owl::TRect window = GetWindowRect();
    MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST), &info);
    const int x = std::min<int>(anchor.x, info.rcWork.right - 10 - window.Width());
    int y = anchor.y;
    if (y + window.Height() > info.rcWork.bottom) {
        y = anchor.y - window.Height() - 3; // flips above the point
    }
    SetWindowPos(nullptr, x, y, window.Width(), window.Height(), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

bool Popup::EvEraseBkgnd(HDC hdc)
{
    RECT r;
    ::GetClientRect(Handle, &r);
    HBRUSH brush = CreateSolidBrush(kBackground);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
    return true;
}

void Popup::Paint(owl::TDC& dc, bool, owl::TRect&)
{
    HGDIOBJ old = ::SelectObject(dc, *font);
    ::SetBkColor(dc, kBackground);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetTextAlign(dc, 0);
    RECT r;
    ::GetClientRect(Handle, &r);
    OffsetRect(&r, 1, 0);
    DrawTextW(dc, text.c_str(), -1, &r, DT_WORDBREAK);
    ::SelectObject(dc, old);
}

} // namespace KVO
