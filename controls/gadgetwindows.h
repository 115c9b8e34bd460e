// Theme-aware gadget windows: the strips of button gadgets of the table view's snap control and the preview
// chart's zoom control. With them, the loader of menu resources by language and the gadgets' font.
#pragma once

#include "platform/owl/gadgetwindow.h"
#include "platform/win/uxtheme.h"

#include <memory>

namespace KVOControls {

// Theme data for a window in the class of a look ("BUTTON" for the push-button look 1, else "TOOLBAR"), on
// Windows XP or later; null without themes.
HTHEME OpenThemeForLook(HWND window, int look);
// Closes a theme handle, if any, and forgets it.
void CloseThemeHandle(HTHEME& theme);

class UxGadgetWindow : public owl::TGadgetWindow {
public:
    enum Look { PushButtonLook = 1, ToolbarLook = 2 };

    UxGadgetWindow(owl::TWindow* parent = nullptr, TTileDirection direction = Horizontal, owl::TFont* font = nullptr,
                   owl::TModule* module = nullptr);
    ~UxGadgetWindow() override;

    LPCWSTR GetClassName() override { return u"UxGadgetWindow"; }
    HTHEME Theme() const { return theme; }
    int GetLook() const { return look; }
    void SetLook(int value) { look = value; }
    bool IsTrackingMouse() const { return mouseTracking; }

    // Reopens the theme with the class of the look and lays the gadgets out again; true when a theme is open.
    bool ThemeChanged();
    void EvThemeChanged() override { ThemeChanged(); }
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseLeave() override;

protected:
    void OpenTheme(HWND window);
    void CloseTheme();

    bool mouseTracking = false;
    HTHEME theme = nullptr;
    int look = PushButtonLook;
};

// A child gadget window without a border.
class UxBorderlessGadgetWindow : public UxGadgetWindow {
public:
    UxBorderlessGadgetWindow(owl::TWindow* parent = nullptr, TTileDirection direction = Horizontal,
                             owl::TFont* font = nullptr, owl::TModule* module = nullptr);
    void SetupWindow() override;
};

// A borderless gadget window that never erases its background: its gadgets paint all of it.
class UxNoEraseGadgetWindow : public UxBorderlessGadgetWindow {
public:
    using UxBorderlessGadgetWindow::UxBorderlessGadgetWindow;
    bool EvEraseBkgnd(HDC) override { return true; }
};

// A menu resource found by language (falling back to any language), locked for as long as the holder lives.
class MenuResource {
public:
    // Empty members when the resource is not there.
    static std::unique_ptr<MenuResource> Load(HMODULE module, LPCWSTR name, LANGID language);
    ~MenuResource();
    HGLOBAL Handle() const { return resource; }
    const void* Template() const { return menuTemplate; }

private:
    HGLOBAL resource = nullptr;
    const void* menuTemplate = nullptr;
};

// The gadgets' font: the dialog face for the screen at 10 points, 12 when the application's language is Chinese
// or Japanese. The caller owns it.
owl::TFont* NewGadgetFont();
}
