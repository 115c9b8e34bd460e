// Menus: handles of item lists, popups that a test answers, and menu templates in the resource format of Win32
// (a 4-byte header, then per item its flags, its command id unless it opens a submenu, and its NUL-ended text).
#pragma once

#include "platform/win/windef.h"

inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_END = 0x0080; // templates: the last item of its list
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_SEPARATOR = 0x0800;

inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_TOPALIGN = 0x0000;
inline constexpr UINT TPM_VCENTERALIGN = 0x0010;
inline constexpr UINT TPM_BOTTOMALIGN = 0x0020;
inline constexpr UINT TPM_HORIZONTAL = 0x0000;
inline constexpr UINT TPM_VERTICAL = 0x0040;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

struct TPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
};
using LPTPMPARAMS = TPMPARAMS*;

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu); // submenus go with it
BOOL IsMenu(HMENU menu);
// `idOrSubmenu` is the command id, or with MF_POPUP the submenu's handle (the menu then owns it).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags); // a submenu is kept
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags); // a submenu is destroyed
// By command, items are looked for in submenus too. Return the previous state, or -1 (as DWORD) when not found.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position); // -1 for an item that opens a submenu
HMENU GetSubMenu(HMENU menu, int position);
// Copies at most `maxUnits` - 1 units and a NUL; a null buffer asks for the length.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxUnits, UINT flags);
// The data that owner-drawn items carry (their MEASUREITEMSTRUCT / DRAWITEMSTRUCT itemData).
BOOL SetMenuItemData(HMENU menu, UINT item, ULONG_PTR data, UINT flags);

HMENU LoadMenuIndirectW(const void* menuTemplate);
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);

// The popup sends WM_INITMENUPOPUP to the owner and then asks the test's popup hook (platform/ui/menus.h) which item
// the user chooses. The command is posted to the owner as WM_COMMAND, or with TPM_RETURNCMD returned instead.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
