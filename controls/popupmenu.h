// The popup menu button: a small push button that drops a menu and keeps one of its items checked, like a group of
// radio items. Choosing an item checks it (and only it, across submenus), shows its text in an optional companion
// text and forwards the command to the owner.
#pragma once

#include "platform/owl/control.h"
#include "platform/owl/menu.h"
#include "platform/win/uxtheme.h"

// Holds a menu that a window shows.
class MenuHolder {
public:
    virtual ~MenuHolder() = default;
    virtual HMENU HolderMenuHandle() { return holderMenu.GetHandle(); }
    virtual void MeasureMenuItem(MEASUREITEMSTRUCT& measure);
    virtual void DrawMenuItem(DRAWITEMSTRUCT& draw);

protected:
    owl::TPopupMenu holderMenu;
};

// A popup menu with at most one checked command in its whole tree.
class ExclusivePopupMenu : public owl::TPopupMenu {
public:
    enum Option : owl::uint32 {
        CheckOnCommandOption = 1, // check the chosen item when its command comes
        Flat = 2,                 // a 3-D border round the face; repaint when the check changes
        RestoreFocus = 4,         // after the menu closes, the focus goes back where it was
        TextItems = 16,           // items are drawn with their text
    };

    virtual HMENU MenuHandle() { return GetHandle(); }
    virtual void MeasureItem(MEASUREITEMSTRUCT& measure);
    virtual void DrawItem(DRAWITEMSTRUCT& draw);
    // With CheckOnCommandOption, checks the item; either way its text (without "&") goes to the label.
    virtual void CheckOnCommand(owl::uint id);
    // Unchecks every item of the tree, checks this one and the item that opens its submenu.
    virtual void Check(owl::uint id);

    int CheckedId() const { return checkedId; }
    owl::uint32 Options() const { return options; }
    void SetOptions(owl::uint32 value) { options = value; }
    // Whether an id is a command of the menu tree.
    bool HasCommand(owl::uint id) const;
    // The item's text with every "&" removed.
    owl::tstring ItemLabel(owl::uint id) const;

protected:
    virtual void CheckChanged() {}
    virtual void ShowLabel(const owl::tstring&) {}

    int checkedId = -1;
    owl::uint32 options = 0;
};

class PopupMenu : public owl::TButton, public MenuHolder, public ExclusivePopupMenu {
public:
    static constexpr int ControlId = 1000;

    explicit PopupMenu(owl::TWindow* parent, owl::TModule* module = nullptr);
    ~PopupMenu() override;

    // The text that shows the checked item (not owned); may be none.
    void SetLabel(owl::TStatic* text) { label = text; }
    // A window beside which the button places itself at set-up.
    void SetCompanion(owl::TWindow* window) { companion = window; }
    void SetArrowStyle(bool arrow) { arrowStyle = arrow; }
    void SetLeftAligned(bool left) { leftAligned = left; }
    int LastCommand() const { return lastCommand; }
    bool IsTracking() const { return tracking != 0; }

    void SetupWindow() override;
    void CleanupWindow() override;
    void DrawItem(DRAWITEMSTRUCT& draw) override;
    void MeasureItem(MEASUREITEMSTRUCT& measure) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseLeave() override;
    void EvThemeChanged() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override;

    // Drops the menu under the button and waits for it to close.
    void OpenMenu();
    HWND Wnd() const { return TButton::GetHandle(); }

protected:
    // A menu without items: nothing to show.
    virtual void EmptyMenu() {}
    void CheckChanged() override;
    void ShowLabel(const owl::tstring& text) override;
    void PaintFace(HDC dc, const RECT& rect, bool pushed);

private:
    void OpenTheme();
    void CloseTheme();

    owl::TMenu spareMenu;
    owl::TStatic* label = nullptr;
    owl::TWindow* companion = nullptr;
    owl::TWindow* owner;
    bool arrowStyle = false;
    unsigned char tracking = 0;
    unsigned char leftAligned = 0;
    int lastCommand = 0;
    HTHEME theme = nullptr;
    bool hover = false;
};
