// OWL's menus: a menu handle owned (or borrowed) by an object, and popup menus that can be tracked.
#pragma once

#include "platform/owl/module.h"
#include "platform/owl/gdiobject.h"
#include "platform/win/winuser.h"

namespace owl {

class TMenu {
public:
    TMenu(); // an empty menu bar
    TMenu(HMENU handle, TAutoDelete autoDelete = NoAutoDelete);
    // A menu resource of a module; throws TXOwl when it cannot be loaded.
    TMenu(HINSTANCE module, TResId resId);
    // A menu from a template in memory; throws TXOwl when it cannot be read.
    explicit TMenu(const void* menuTemplate);
    virtual ~TMenu();
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    HMENU GetHandle() const { return Handle; }
    operator HMENU() const { return Handle; }
    bool IsOK() const { return ::IsMenu(Handle); }

    bool AppendMenu(uint flags, UINT_PTR idOrPopup = 0, LPCWSTR text = nullptr)
    {
        return ::AppendMenuW(Handle, flags, idOrPopup, text);
    }
    bool InsertMenu(uint item, uint flags, UINT_PTR idOrPopup = 0, LPCWSTR text = nullptr)
    {
        return ::InsertMenuW(Handle, item, flags, idOrPopup, text);
    }
    bool ModifyMenu(uint item, uint flags, UINT_PTR idOrPopup = 0, LPCWSTR text = nullptr)
    {
        return ::ModifyMenuW(Handle, item, flags, idOrPopup, text);
    }
    bool DeleteMenu(uint item, uint flags) { return ::DeleteMenu(Handle, item, flags); }
    bool RemoveMenu(uint item, uint flags) { return ::RemoveMenu(Handle, item, flags); }
    uint CheckMenuItem(uint item, uint check) { return ::CheckMenuItem(Handle, item, check); }
    uint EnableMenuItem(uint item, uint enable) { return ::EnableMenuItem(Handle, item, enable); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(Handle); }
    uint GetMenuItemID(int position) const { return ::GetMenuItemID(Handle, position); }
    uint GetMenuState(uint item, uint flags) const { return ::GetMenuState(Handle, item, flags); }
    int GetMenuString(uint item, LPWSTR buffer, int size, uint flags) const
    {
        return ::GetMenuStringW(Handle, item, buffer, size, flags);
    }
    tstring GetMenuString(uint item, uint flags) const;
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(Handle, position); }

protected:
    HMENU Handle = nullptr;
    bool ShouldDelete = true;
};

class TPopupMenu : public TMenu {
public:
    TPopupMenu(); // an empty popup
    TPopupMenu(HMENU handle, TAutoDelete autoDelete = NoAutoDelete) : TMenu(handle, autoDelete) {}
    // A deep copy of another menu's items (submenus included).
    explicit TPopupMenu(const TMenu& menu);
    int TrackPopupMenu(uint flags, int x, int y, int reserved, HWND wnd, const TRect* rect = nullptr)
    {
        return ::TrackPopupMenu(Handle, flags, x, y, reserved, wnd, rect);
    }
    int TrackPopupMenu(uint flags, const TPoint& point, int reserved, HWND wnd, const TRect* rect = nullptr)
    {
        return TrackPopupMenu(flags, point.x, point.y, reserved, wnd, rect);
    }
};

// Copies the items of one menu (submenus as new popups) to the end of another.
void DeepCopyMenu(HMENU to, HMENU from);
}
