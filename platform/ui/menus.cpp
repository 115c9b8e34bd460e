// Menus as lists of items behind registered handles. A tracked popup shows as a window of the menu class while
// the test's hook answers it, so that pictures of the screen show it as the user would see it.
#include "platform/ui/menus.h"

#include "platform/ui/window.h"
#include "platform/win/errors.h"
#include "platform/win/resources.h"
#include "platform/win/wingdi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace {

struct Item {
    UINT flags = 0; // MF_* state and kind bits, without MF_BYPOSITION
    UINT_PTR id = 0;
    std::u16string text;
    HMENU submenu = nullptr;
    ULONG_PTR data = 0;
};

struct Menu {
    std::vector<Item> items;
};

struct Menus {
    std::map<HMENU, std::unique_ptr<Menu>> live;
    std::uintptr_t next = 0x20000;
    ui::PopupMenuHook hook;
    std::vector<ui::PopupMenuRequest> tracked;
};

Menus& State()
{
    static auto* state = new Menus;
    return *state;
}

Menu* Find(HMENU handle)
{
    auto& live = State().live;
    const auto found = live.find(handle);
    return found == live.end() ? nullptr : found->second.get();
}

HMENU NewMenu()
{
    auto& state = State();
    const auto handle = reinterpret_cast<HMENU>(state.next);
    state.next += 0x10;
    state.live.emplace(handle, std::make_unique<Menu>());
    return handle;
}

// The item an id or position names, with the menu that holds it. By command, submenus are searched in order.
struct Located {
    Menu* menu = nullptr;
    std::size_t index = 0;
};

Located Locate(HMENU handle, UINT item, UINT flags)
{
    Menu* menu = Find(handle);
    if (!menu) {
        return {};
    }
    if (flags & MF_BYPOSITION) {
        return item < menu->items.size() ? Located{menu, item} : Located{};
    }
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        const Item& entry = menu->items[i];
        if (entry.submenu) {
            if (const Located inner = Locate(entry.submenu, item, flags); inner.menu) {
                return inner;
            }
        } else if (!(entry.flags & MF_SEPARATOR) && entry.id == item) {
            return {menu, i};
        }
    }
    return {};
}

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE;

bool MakeItem(UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text, Item& item)
{
    item.flags = flags & ~MF_BYPOSITION;
    if (flags & MF_POPUP) {
        item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
        if (!Find(item.submenu)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    } else {
        item.id = idOrSubmenu;
    }
    if (flags & MF_OWNERDRAW) {
        item.data = reinterpret_cast<ULONG_PTR>(text);
    } else if (text && !(flags & (MF_SEPARATOR | MF_BITMAP))) {
        item.text = text;
    }
    return true;
}

void Destroy(HMENU handle)
{
    auto& live = State().live;
    const auto found = live.find(handle);
    if (found == live.end()) {
        return;
    }
    const std::unique_ptr<Menu> menu = std::move(found->second);
    live.erase(found);
    for (const Item& item : menu->items) {
        if (item.submenu) {
            Destroy(item.submenu);
        }
    }
}

// Reads one item list of a template; `pos` moves past it. False when the template ends early.
bool ReadItems(const std::byte* data, std::size_t size, std::size_t& pos, HMENU into)
{
    for (;;) {
        auto word = [&](WORD& out) {
            if (pos + 2 > size) {
                return false;
            }
            out = static_cast<WORD>(std::to_integer<unsigned>(data[pos]) | (std::to_integer<unsigned>(data[pos + 1]) << 8));
            pos += 2;
            return true;
        };
        WORD flags = 0;
        WORD id = 0;
        if (!word(flags) || (!(flags & MF_POPUP) && !word(id))) {
            return false;
        }
        std::u16string text;
        for (WORD unit = 0;;) {
            if (!word(unit)) {
                return false;
            }
            if (!unit) {
                break;
            }
            text.push_back(static_cast<char16_t>(unit));
        }
        const UINT itemFlags = flags & ~MF_END;
        if (flags & MF_POPUP) {
            HMENU sub = CreatePopupMenu();
            if (!ReadItems(data, size, pos, sub)) {
                DestroyMenu(sub);
                return false;
            }
            AppendMenuW(into, itemFlags, reinterpret_cast<UINT_PTR>(sub), text.c_str());
        } else if (!id && text.empty() && !(itemFlags & ~kStateBits)) {
            AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(into, itemFlags, id, text.c_str());
        }
        if (flags & MF_END) {
            return true;
        }
    }
}

void WriteItems(const std::vector<ui::MenuTemplateItem>& items, std::vector<std::byte>& out)
{
    auto word = [&](unsigned value) {
        out.push_back(static_cast<std::byte>(value & 0xFF));
        out.push_back(static_cast<std::byte>((value >> 8) & 0xFF));
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        const bool popup = !item.children.empty();
        UINT flags = item.flags & ~MF_SEPARATOR;
        if (popup) {
            flags |= MF_POPUP;
        }
        if (i + 1 == items.size()) {
            flags |= MF_END;
        }
        word(flags);
        if (!popup) {
            word(item.flags & MF_SEPARATOR ? 0 : item.id);
        }
        for (const char16_t unit : item.flags & MF_SEPARATOR ? std::u16string() : item.text) {
            word(unit);
        }
        word(0);
        if (popup) {
            WriteItems(item.children, out);
        }
    }
}
}

namespace ui {
PopupMenuHook SetPopupMenuHook(PopupMenuHook hook) { return std::exchange(State().hook, std::move(hook)); }
const std::vector<PopupMenuRequest>& TrackedPopups() { return State().tracked; }
void ClearTrackedPopups() { State().tracked.clear(); }
int LiveMenuCount() { return static_cast<int>(State().live.size()); }

std::vector<std::byte> BuildMenuTemplate(const std::vector<MenuTemplateItem>& items)
{
    std::vector<std::byte> out(4, std::byte{0}); // version 0, header size 0
    if (items.empty()) {
        // An empty menu is one empty end item.
        WriteItems({MenuTemplateItem{u"", 0, MF_SEPARATOR, {}}}, out);
        return out;
    }
    WriteItems(items, out);
    return out;
}
}

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }
BOOL IsMenu(HMENU menu) { return Find(menu) != nullptr; }

BOOL DestroyMenu(HMENU menu)
{
    if (!Find(menu)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Destroy(menu);
    return TRUE;
}

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text)
{
    return InsertMenuW(handle, static_cast<UINT>(-1), flags | MF_BYPOSITION, idOrSubmenu, text);
}

BOOL InsertMenuW(HMENU handle, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text)
{
    Menu* menu = Find(handle);
    Item item;
    if (!menu || !MakeItem(flags, idOrSubmenu, text, item)) {
        return FALSE;
    }
    std::size_t at = menu->items.size();
    if (flags & MF_BYPOSITION) {
        at = std::min<std::size_t>(position, menu->items.size());
    } else if (const Located found = Locate(handle, position, flags); found.menu) {
        menu = found.menu;
        at = found.index;
    }
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    return TRUE;
}

BOOL ModifyMenuW(HMENU handle, UINT position, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text)
{
    const Located found = Locate(handle, position, flags);
    Item item;
    if (!found.menu || !MakeItem(flags, idOrSubmenu, text, item)) {
        return FALSE;
    }
    Item& old = found.menu->items[found.index];
    if (old.submenu && old.submenu != item.submenu) {
        Destroy(old.submenu);
    }
    if (flags & MF_OWNERDRAW) {
        item.data = old.data ? old.data : item.data;
    }
    old = std::move(item);
    return TRUE;
}

BOOL RemoveMenu(HMENU handle, UINT position, UINT flags)
{
    const Located found = Locate(handle, position, flags);
    if (!found.menu) {
        return FALSE;
    }
    found.menu->items.erase(found.menu->items.begin() + static_cast<std::ptrdiff_t>(found.index));
    return TRUE;
}

BOOL DeleteMenu(HMENU handle, UINT position, UINT flags)
{
    const Located found = Locate(handle, position, flags);
    if (!found.menu) {
        return FALSE;
    }
    const HMENU sub = found.menu->items[found.index].submenu;
    found.menu->items.erase(found.menu->items.begin() + static_cast<std::ptrdiff_t>(found.index));
    if (sub) {
        Destroy(sub);
    }
    return TRUE;
}

DWORD CheckMenuItem(HMENU handle, UINT item, UINT flags)
{
    const Located found = Locate(handle, item, flags);
    if (!found.menu) {
        return static_cast<DWORD>(-1);
    }
    UINT& state = found.menu->items[found.index].flags;
    const DWORD previous = state & MF_CHECKED;
    state = (state & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

BOOL EnableMenuItem(HMENU handle, UINT item, UINT flags)
{
    const Located found = Locate(handle, item, flags);
    if (!found.menu) {
        return -1;
    }
    UINT& state = found.menu->items[found.index].flags;
    const BOOL previous = static_cast<BOOL>(state & (MF_GRAYED | MF_DISABLED));
    state = (state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

UINT GetMenuState(HMENU handle, UINT item, UINT flags)
{
    const Located found = Locate(handle, item, flags);
    if (!found.menu) {
        return static_cast<UINT>(-1);
    }
    const Item& entry = found.menu->items[found.index];
    UINT state = entry.flags & ~MF_END;
    if (entry.submenu) {
        // For a submenu the high byte counts its items, as Win32 reports it.
        state = (state & 0xFF) | (static_cast<UINT>(GetMenuItemCount(entry.submenu)) << 8);
    }
    return state;
}

int GetMenuItemCount(HMENU handle)
{
    const Menu* menu = Find(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU handle, int position)
{
    const Menu* menu = Find(handle);
    if (!menu || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) {
        return static_cast<UINT>(-1);
    }
    const Item& item = menu->items[static_cast<std::size_t>(position)];
    return item.submenu ? static_cast<UINT>(-1) : static_cast<UINT>(item.id);
}

HMENU GetSubMenu(HMENU handle, int position)
{
    const Menu* menu = Find(handle);
    if (!menu || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) {
        return nullptr;
    }
    return menu->items[static_cast<std::size_t>(position)].submenu;
}

int GetMenuStringW(HMENU handle, UINT item, LPWSTR buffer, int maxUnits, UINT flags)
{
    const Located found = Locate(handle, item, flags);
    if (!found.menu) {
        return 0;
    }
    const std::u16string& text = found.menu->items[found.index].text;
    if (!buffer || maxUnits <= 0) {
        return static_cast<int>(text.size());
    }
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxUnits - 1));
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

BOOL SetMenuItemData(HMENU handle, UINT item, ULONG_PTR data, UINT flags)
{
    const Located found = Locate(handle, item, flags);
    if (!found.menu) {
        return FALSE;
    }
    found.menu->items[found.index].data = data;
    return TRUE;
}

namespace {
// Reads a template of at most `size` bytes (the header is 4 bytes plus its offset); null when it is cut short.
HMENU LoadMenuTemplate(const std::byte* data, std::size_t size)
{
    if (size < 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::size_t offset = std::to_integer<std::size_t>(data[2]) | (std::to_integer<std::size_t>(data[3]) << 8);
    std::size_t pos = 4 + offset;
    HMENU menu = CreateMenu();
    if (!ReadItems(data, size, pos, menu)) {
        DestroyMenu(menu);
        return nullptr;
    }
    // An empty menu is written as one empty item, which reads back as a lone separator.
    if (GetMenuItemCount(menu) == 1 && (GetMenuState(menu, 0, MF_BYPOSITION) & MF_SEPARATOR)) {
        RemoveMenu(menu, 0, MF_BYPOSITION);
    }
    return menu;
}
}

HMENU LoadMenuIndirectW(const void* menuTemplate)
{
    if (!menuTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Without a size the template is read up to its last end item.
    return LoadMenuTemplate(static_cast<const std::byte*>(menuTemplate), static_cast<std::size_t>(-1));
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name)
{
    HRSRC found = FindResourceW(instance, name, RT_MENU);
    if (!found) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    // A resource knows its size: a damaged one is refused instead of read past its end.
    return LoadMenuTemplate(static_cast<const std::byte*>(LockResource(LoadResource(instance, found))),
                            SizeofResource(instance, found));
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

namespace {
constexpr const char16_t* kMenuClass = u"#32768";
constexpr int kFrame = 3;       // the raised edge around the items
constexpr int kCheckColumn = 20; // left of the text: check marks
constexpr int kArrowColumn = 20; // right of the text: submenu arrows
constexpr int kSeparatorHeight = 9;

HFONT MenuFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

std::pair<std::u16string, std::u16string> LabelAndShortcut(const std::u16string& text)
{
    const std::size_t tab = text.find(u'\t');
    return tab == std::u16string::npos ? std::make_pair(text, std::u16string())
                                       : std::make_pair(text.substr(0, tab), text.substr(tab + 1));
}

int TextWidth(HDC dc, const std::u16string& text, UINT format)
{
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

// Each item's rectangle in the window, and the window's size.
std::vector<RECT> LayOut(HDC dc, const Menu& menu, SIZE& size)
{
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int rowHeight = metrics.tmHeight + 6;
    int labels = 0;
    int shortcuts = 0;
    for (const Item& item : menu.items) {
        if (!(item.flags & MF_SEPARATOR)) {
            const auto [label, shortcut] = LabelAndShortcut(item.text);
            labels = std::max(labels, TextWidth(dc, label, 0));
            shortcuts = std::max(shortcuts, TextWidth(dc, shortcut, DT_NOPREFIX));
        }
    }
    const int width = kCheckColumn + labels + (shortcuts ? 2 * metrics.tmAveCharWidth + shortcuts : 0) + kArrowColumn;
    std::vector<RECT> rects;
    int y = kFrame;
    for (const Item& item : menu.items) {
        const int height = (item.flags & MF_SEPARATOR) ? kSeparatorHeight : rowHeight;
        rects.push_back(RECT{kFrame, y, kFrame + width, y + height});
        y += height;
    }
    size = SIZE{width + 2 * kFrame, y + kFrame};
    return rects;
}

void PaintMenu(HWND hwnd, HDC dc)
{
    const Menu* menu = Find(reinterpret_cast<HMENU>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
    DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
    if (!menu) {
        return;
    }
    const HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    SIZE size{};
    const std::vector<RECT> rects = LayOut(dc, *menu, size);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Item& item = menu->items[i];
        const RECT& r = rects[i];
        if (item.flags & MF_SEPARATOR) {
            RECT line{r.left + 1, (r.top + r.bottom) / 2 - 1, r.right - 1, (r.top + r.bottom) / 2 + 1};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            continue;
        }
        const bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        const COLORREF ink = GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_MENUTEXT);
        SetTextColor(dc, ink);
        const auto [label, shortcut] = LabelAndShortcut(item.text);
        RECT text{r.left + kCheckColumn, r.top, r.right - kArrowColumn, r.bottom};
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        if (!shortcut.empty()) {
            DrawTextW(dc, shortcut.c_str(), static_cast<int>(shortcut.size()), &text,
                      DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
        }
        const HPEN pen = CreatePen(PS_SOLID, 1, ink);
        const HGDIOBJ oldPen = SelectObject(dc, pen);
        const HBRUSH brush = CreateSolidBrush(ink);
        const HGDIOBJ oldBrush = SelectObject(dc, brush);
        const int midY = (r.top + r.bottom) / 2;
        if (item.flags & MF_CHECKED) {
            // A tick: down to the right and up again, two pixels thick.
            const int x = r.left + 6;
            for (int dy = 0; dy < 2; ++dy) {
                MoveToEx(dc, x, midY - 1 + dy, nullptr);
                LineTo(dc, x + 3, midY + 2 + dy);
                LineTo(dc, x + 9, midY - 4 + dy);
            }
        }
        if (item.submenu) {
            const int x = r.right - kArrowColumn / 2 - 2;
            const POINT arrow[] = {{x, midY - 4}, {x + 4, midY}, {x, midY + 4}};
            Polygon(dc, arrow, 3);
        }
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

LRESULT MenuWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        PaintMenu(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// The place of a popup of this size for the point and alignment flags, kept on the screen and, with an
// excluded rectangle, off it (below or above it, or beside it with TPM_VERTICAL).
POINT PlacePopup(SIZE size, UINT flags, POINT at, const RECT& exclude)
{
    POINT p = at;
    if (flags & TPM_RIGHTALIGN) {
        p.x -= size.cx;
    } else if (flags & TPM_CENTERALIGN) {
        p.x -= size.cx / 2;
    }
    if (flags & TPM_BOTTOMALIGN) {
        p.y -= size.cy;
    } else if (flags & TPM_VCENTERALIGN) {
        p.y -= size.cy / 2;
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (p.x + size.cx > screenWidth) {
        p.x = screenWidth - size.cx;
    }
    if (p.y + size.cy > screenHeight) {
        // Too long to open downwards: it opens upwards from the point (or from the excluded rectangle's top).
        const LONG above = (!IsRectEmpty(&exclude) && !(flags & TPM_VERTICAL) ? exclude.top : at.y) - size.cy;
        p.y = above >= 0 ? above : screenHeight - size.cy;
    }
    p.x = std::max<LONG>(p.x, 0);
    p.y = std::max<LONG>(p.y, 0);
    return p;
}

// The menu's window while it is tracked: shown on top without taking the activation, destroyed at the end.
class MenuWindow {
public:
    MenuWindow(HMENU menu, UINT flags, POINT at, HWND owner, const RECT& exclude)
    {
        static const bool registered = [] {
            ui::detail::RegisterSystemClass(kMenuClass, MenuWindowProc, CS_SAVEBITS, nullptr);
            return true;
        }();
        (void)registered;
        const Menu* items = Find(menu);
        HDC screen = GetDC(nullptr);
        const HGDIOBJ old = SelectObject(screen, MenuFont());
        SIZE size{};
        LayOut(screen, *items, size);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        const POINT place = PlacePopup(size, flags, at, exclude);
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMenuClass, u"", WS_POPUP,
                                  place.x, place.y, size.cx, size.cy, owner, nullptr, nullptr, nullptr);
        if (window_) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(menu));
            ShowWindow(window_, SW_SHOWNOACTIVATE);
            UpdateWindow(window_);
        }
    }
    ~MenuWindow()
    {
        if (window_ && IsWindow(window_)) {
            DestroyWindow(window_);
        }
    }
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params)
{
    if (!Find(menu) || !IsWindow(owner)) {
        SetLastError(!Find(menu) ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(flags & TPM_NONOTIFY)) {
        SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    }
    ui::PopupMenuRequest request{menu, flags, POINT{x, y}, owner, params ? params->rcExclude : RECT{}};
    auto& state = State();
    UINT chosen = 0;
    {
        const MenuWindow shown(menu, flags, request.at, owner, request.exclude);
        request.window = shown.Handle();
        state.tracked.push_back(request);
        chosen = state.hook ? state.hook(request) : 0;
    }
    state.tracked.back().window = nullptr; // gone with the tracking
    // Only an enabled command item of this menu tree can be chosen.
    const Located found = chosen ? Locate(menu, chosen, MF_BYCOMMAND) : Located{};
    const bool valid = found.menu && !(found.menu->items[found.index].flags & (MF_GRAYED | MF_DISABLED));
    const UINT command = valid ? chosen : 0;
    if (flags & TPM_RETURNCMD) {
        return static_cast<BOOL>(command);
    }
    if (command && !(flags & TPM_NONOTIFY)) {
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    return TRUE;
}
