// Test controls of menus: the popup hook that plays the user of TrackPopupMenu, and menu templates built from data.
#pragma once

#include "platform/win/winuser.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ui {

// What a popup was asked to show. `exclude` is the rectangle TPMPARAMS asked it to keep clear (empty when none).
// `window` is the menu's window (class "#32768") while the hook runs; pictures of the screen show it.
struct PopupMenuRequest {
    HMENU menu = nullptr;
    UINT flags = 0;
    POINT at{};
    HWND owner = nullptr;
    RECT exclude{};
    HWND window = nullptr;
};
// Answers a popup with the command id the user chooses, 0 to dismiss it. Without a hook every popup is dismissed.
using PopupMenuHook = std::function<UINT(const PopupMenuRequest&)>;
PopupMenuHook SetPopupMenuHook(PopupMenuHook hook);
// The popups tracked since the last ClearTrackedPopups, in order.
const std::vector<PopupMenuRequest>& TrackedPopups();
void ClearTrackedPopups();
// Live menu handles (tests check that nothing leaks).
int LiveMenuCount();

// One entry of a menu template; `children` makes it a submenu.
struct MenuTemplateItem {
    std::u16string text;
    UINT id = 0;
    UINT flags = 0; // MF_GRAYED, MF_CHECKED, MF_SEPARATOR …
    std::vector<MenuTemplateItem> children;
};
std::vector<std::byte> BuildMenuTemplate(const std::vector<MenuTemplateItem>& items);
}
