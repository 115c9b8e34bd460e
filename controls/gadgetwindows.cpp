#include "controls/gadgetwindows.h"

#include "foundation/dialogfont.h"
#include "foundation/linkingutils.h"
#include "foundation/utilities.h"
#include "platform/win/resources.h"

#include <new>

namespace KVOControls {

UxGadgetWindow::UxGadgetWindow(owl::TWindow* parent, TTileDirection direction, owl::TFont* font,
                               owl::TModule* module)
    : TGadgetWindow(parent, direction, font, module)
{
    OpenTheme(GetHandle());
}

UxGadgetWindow::~UxGadgetWindow() { CloseTheme(); }

HTHEME OpenThemeForLook(HWND window, int look)
{
    if (!KVO::IsWindowsXPOrLater()) {
        return nullptr;
    }
    return KVOLinkingUtils::UxThemeDLL::Instance().OpenThemeData(window, look == 1 ? u"BUTTON" : u"TOOLBAR");
}

void CloseThemeHandle(HTHEME& theme)
{
    if (theme) {
        KVOLinkingUtils::UxThemeDLL::Instance().CloseThemeData(theme);
        theme = nullptr;
    }
}

void UxGadgetWindow::OpenTheme(HWND window) { theme = OpenThemeForLook(window, look); }

void UxGadgetWindow::CloseTheme() { CloseThemeHandle(theme); }

bool UxGadgetWindow::ThemeChanged()
{
    CloseTheme();
    OpenTheme(GetHandle());
    LayoutSession();
    Invalidate();
    return theme != nullptr;
}

void UxGadgetWindow::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    if (!mouseTracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, GetHandle(), 0};
        mouseTracking = TrackMouseEvent(&track) != FALSE;
    }
    Invalidate(false);
    if (Capture && dynamic_cast<owl::TButtonGadget*>(Capture)) {
        Capture->MouseMove(modKeys, Relative(*Capture, point));
        return;
    }
    TGadgetWindow::EvMouseMove(modKeys, point);
}

void UxGadgetWindow::EvMouseLeave()
{
    if (Capture && dynamic_cast<owl::TButtonGadget*>(Capture)) {
        owl::TPoint cursor;
        ::GetCursorPos(&cursor);
        ScreenToClient(cursor);
        Capture->MouseLeave(0, Relative(*Capture, cursor));
        if (AtMouse == Capture) {
            AtMouse = nullptr;
        }
    }
    mouseTracking = false;
    TGadgetWindow::EvMouseLeave();
}

UxBorderlessGadgetWindow::UxBorderlessGadgetWindow(owl::TWindow* parent, TTileDirection direction, owl::TFont* font,
                                                   owl::TModule* module)
    : UxGadgetWindow(parent, direction, font, module)
{
    Attr.Style = (Attr.Style & ~WS_BORDER) | WS_CHILD;
}

void UxBorderlessGadgetWindow::SetupWindow()
{
    TGadgetWindow::SetupWindow();
    EnableTooltip(true);
}

std::unique_ptr<MenuResource> MenuResource::Load(HMODULE module, LPCWSTR name, LANGID language)
{
    std::unique_ptr<MenuResource> holder(new (std::nothrow) MenuResource);
    if (!holder) {
        return nullptr;
    }
    HRSRC found = FindResourceExW(module, RT_MENU, name, language);
    if (!found) {
        found = FindResourceW(module, name, RT_MENU);
    }
    if (found) {
        holder->resource = LoadResource(module, found);
        holder->menuTemplate = LockResource(holder->resource);
    }
    return holder;
}

MenuResource::~MenuResource()
{
    menuTemplate = nullptr;
    resource = nullptr;
}

owl::TFont* NewGadgetFont()
{
    const LANGID language = owl::GetApplicationObject().GetLangId();
    const int primary = language & 0x3FF;
    const int points = primary == 4 || primary == 17 ? 12 : 10;
    HFONT font = nullptr;
    KVO::CreateDialogFontPt(nullptr, &font, points, 0);
    return new owl::TFont(font, owl::AutoDelete);
}
}
