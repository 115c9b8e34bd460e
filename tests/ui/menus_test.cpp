// Menus, the scripted popup, menu templates, combo-box superclasses and window subclassing, message peeking and
// thread timers.
#include "platform/ui/menus.h"
#include "platform/ui/render.h"
#include "platform/gdi/image.h"
#include "platform/ui/window.h"
#include "platform/win/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
HINSTANCE Module() { return platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&Module)); }

std::u16string MenuText(HMENU menu, UINT item, UINT flags)
{
    WCHAR buffer[64] = {};
    GetMenuStringW(menu, item, buffer, 64, flags);
    return buffer;
}

// A window that records the messages it receives.
std::vector<MSG>* g_seen = nullptr;
LRESULT RecorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_seen && (message == WM_COMMAND || message == WM_INITMENUPOPUP || message >= WM_USER)) {
        g_seen->push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::ClearTrackedPopups();
        g_seen = &seen;
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = u"MenuRecorder";
        RegisterClassW(&wc);
        owner = CreateWindowExW(0, u"MenuRecorder", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
        liveBefore = ui::LiveMenuCount();
    }
    void TearDown() override
    {
        ui::SetPopupMenuHook(nullptr);
        g_seen = nullptr;
        ui::reset();
        UnregisterClassW(u"MenuRecorder", nullptr);
    }
    // File | Open (10), Recent > (First 21, Second 22), separator, Exit (11, grey).
    HMENU Sample()
    {
        HMENU recent = CreatePopupMenu();
        AppendMenuW(recent, MF_STRING, 21, u"&First");
        AppendMenuW(recent, MF_STRING, 22, u"Second");
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 10, u"&Open");
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), u"Recent");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 11, u"E&xit");
        return menu;
    }
    std::vector<MSG> seen;
    HWND owner = nullptr;
    int liveBefore = 0;
};

TEST_F(MenusTest, ItemsAreFoundByCommandInSubmenusAndByPosition)
{
    HMENU menu = Sample();
    HMENU recent = GetSubMenu(menu, 1);
    ASSERT_NE(nullptr, recent);
    EXPECT_EQ(4, GetMenuItemCount(menu));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu, 1)); // opens a submenu
    EXPECT_EQ(11u, GetMenuItemID(menu, 3));
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu, 9));

    struct Case {
        UINT item;
        UINT flags;
        std::u16string text;
    };
    const Case cases[] = {
        {22, MF_BYCOMMAND, u"Second"}, // in the submenu
        {0, MF_BYPOSITION, u"&Open"},
        {1, MF_BYPOSITION, u"Recent"},
        {3, MF_BYPOSITION, u"E&xit"},
        {99, MF_BYCOMMAND, u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text, MenuText(menu, c.item, c.flags)) << c.item;
    }
    // A short buffer gets what fits and a NUL; no buffer asks for the length.
    WCHAR small[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(3, GetMenuStringW(menu, 22, small, 4, MF_BYCOMMAND));
    EXPECT_EQ(std::u16string(u"Sec"), std::u16string(small));
    EXPECT_EQ(6, GetMenuStringW(menu, 22, nullptr, 0, MF_BYCOMMAND));

    // Checking answers the previous state, or -1 for an item that is not there.
    EXPECT_EQ(MF_UNCHECKED, CheckMenuItem(menu, 21, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(MF_CHECKED, CheckMenuItem(menu, 21, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_TRUE(GetMenuState(recent, 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(menu, 77, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(menu, 4, MF_BYPOSITION | MF_CHECKED));
    // The state of a submenu's item counts its items in the high byte.
    EXPECT_EQ(2u, GetMenuState(menu, 1, MF_BYPOSITION) >> 8);
    EXPECT_TRUE(GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR);

    // Destroying a menu destroys its submenus.
    EXPECT_EQ(liveBefore + 2, ui::LiveMenuCount());
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(recent));
    EXPECT_EQ(liveBefore, ui::LiveMenuCount());
    EXPECT_FALSE(DestroyMenu(menu));
}

TEST_F(MenusTest, PopupsAreAnsweredByTheHookAndSendTheirCommand)
{
    HMENU menu = Sample();
    struct Case {
        UINT answer;
        UINT flags;
        BOOL returned;
        UINT posted; // 0: nothing posted
    };
    const Case cases[] = {
        {10, TPM_LEFTALIGN, TRUE, 10},
        {22, TPM_RIGHTALIGN, TRUE, 22},    // from a submenu
        {0, TPM_LEFTALIGN, TRUE, 0},       // dismissed
        {11, TPM_LEFTALIGN, TRUE, 0},      // greyed: cannot be chosen
        {55, TPM_LEFTALIGN, TRUE, 0},      // not an item of the menu
        {22, TPM_RETURNCMD, 22, 0},        // returned instead of posted
        {11, TPM_RETURNCMD, 0, 0},
        {10, TPM_NONOTIFY | TPM_RETURNCMD, 10, 0},
    };
    for (const Case& c : cases) {
        seen.clear();
        ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) {
            EXPECT_EQ(menu, request.menu);
            EXPECT_EQ(owner, request.owner);
            return c.answer;
        });
        EXPECT_EQ(c.returned, TrackPopupMenu(menu, c.flags, 30, 40, 0, owner, nullptr)) << c.answer;
        const bool notified = !(c.flags & TPM_NONOTIFY);
        ASSERT_EQ(notified ? 1u : 0u, seen.size()) << c.answer;
        if (notified) {
            EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), seen[0].message);
        }
        seen.clear();
        ui::pump();
        if (c.posted) {
            ASSERT_EQ(1u, seen.size()) << c.answer;
            EXPECT_EQ(static_cast<UINT>(WM_COMMAND), seen[0].message);
            EXPECT_EQ(MAKEWPARAM(c.posted, 0), seen[0].wParam);
            EXPECT_EQ(0, seen[0].lParam);
        } else {
            EXPECT_TRUE(seen.empty()) << c.answer;
        }
    }
    // Without a hook every popup is dismissed; each popup was recorded with where it was asked to show.
    ui::SetPopupMenuHook(nullptr);
    TPMPARAMS params{sizeof params, RECT{5, 6, 25, 26}};
    EXPECT_EQ(0, TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL, 5, 26, owner, &params));
    ASSERT_EQ(std::size(cases) + 1, ui::TrackedPopups().size());
    const ui::PopupMenuRequest& last = ui::TrackedPopups().back();
    EXPECT_EQ(TPM_RETURNCMD | TPM_VERTICAL, last.flags);
    EXPECT_EQ(26, last.at.y);
    EXPECT_EQ(25, last.exclude.right);
    // Bad handles fail.
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 0, 0, 0, nullptr, nullptr));
    DestroyMenu(menu);
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 0, 0, 0, owner, nullptr));
}

// While the hook answers, the popup shows as a window of the menu class at the asked place, without taking the
// activation, and pictures of the owner show it over the owner; after the tracking it is gone.
TEST_F(MenusTest, TrackedPopupsShowAsWindowsInPictures)
{
    HMENU menu = Sample();
    struct Case {
        UINT flags;
        POINT at;
    };
    for (const Case& c : {Case{TPM_LEFTALIGN, {30, 40}}, Case{TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {90, 95}}}) {
        RECT shown{};
        gdi::Image picture;
        HWND window = nullptr;
        const HWND active = GetActiveWindow();
        ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
            window = request.window;
            EXPECT_TRUE(IsWindowVisible(window));
            EXPECT_EQ(active, GetActiveWindow());
            GetWindowRect(window, &shown);
            picture = ui::RenderWindow(owner);
            return 0;
        });
        TrackPopupMenu(menu, c.flags, c.at.x, c.at.y, 0, owner, nullptr);
        EXPECT_FALSE(IsWindow(window));
        if (c.flags & TPM_RIGHTALIGN) {
            EXPECT_EQ(c.at.x, shown.right);
            EXPECT_EQ(c.at.y, shown.bottom);
        } else {
            EXPECT_EQ(c.at.x, shown.left);
            EXPECT_EQ(c.at.y, shown.top);
        }
        // Three rows and a separator, each row at least as high as a line of the menu font.
        EXPECT_GT(shown.bottom - shown.top, 3 * 13 + 6);
        EXPECT_GT(shown.right - shown.left, 40);
        // Inside the owner's picture: the menu's face where it overlaps, the owner's own white elsewhere.
        const int x = std::max<int>(shown.left, 0) + 8;
        const int y = std::max<int>(shown.top, 0) + 4;
        EXPECT_EQ(GetSysColor(COLOR_MENU), picture.at(x, y)) << c.flags;
        ASSERT_EQ(100, picture.width);
    }
    const ui::PopupMenuRequest& last = ui::TrackedPopups().back();
    EXPECT_EQ(nullptr, last.window);
}

TEST_F(MenusTest, TemplatesLoadByLanguageWithTheirSubmenusAndStates)
{
    const std::vector<ui::MenuTemplateItem> english = {
        {u"&Zoom", 0, 0, {{u"1:1", 1130, 0, {}}, {u"", 0, MF_SEPARATOR, {}}, {u"1:2", 1131, MF_CHECKED, {}}}},
        {u"Reset", 1140, MF_GRAYED, {}},
    };
    const std::vector<ui::MenuTemplateItem> german = {{u"Zur\u00fccksetzen", 1140, 0, {}}};
    const auto englishBytes = ui::BuildMenuTemplate(english);
    const auto germanBytes = ui::BuildMenuTemplate(german);
    platform::RegisterResource(Module(), RT_MENU, u"ZOOMMENU", MAKELANGID(0x09, 0x01), englishBytes);
    platform::RegisterResource(Module(), RT_MENU, u"ZOOMMENU", MAKELANGID(0x07, 0x01), germanBytes);

    HMENU menu = LoadMenuIndirectW(englishBytes.data());
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));
    HMENU zoom = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, zoom);
    EXPECT_EQ(u"&Zoom", MenuText(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(3, GetMenuItemCount(zoom));
    EXPECT_TRUE(GetMenuState(zoom, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_TRUE(GetMenuState(menu, 1131, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(menu, 1140, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(menu);

    HRSRC found = FindResourceExW(Module(), RT_MENU, u"ZOOMMENU", MAKELANGID(0x07, 0x01));
    ASSERT_NE(nullptr, found);
    menu = LoadMenuIndirectW(LockResource(LoadResource(Module(), found)));
    EXPECT_EQ(u"Zur\u00fccksetzen", MenuText(menu, 1140, MF_BYCOMMAND));
    DestroyMenu(menu);
    EXPECT_EQ(nullptr, LoadMenuW(Module(), u"NOSUCHMENU"));
    // A resource cut short is refused, leaving no menu behind.
    const int live = ui::LiveMenuCount();
    platform::RegisterResource(Module(), RT_MENU, u"CUTMENU", LANG_NEUTRAL, std::span(englishBytes).first(12));
    EXPECT_EQ(nullptr, LoadMenuW(Module(), u"CUTMENU"));
    EXPECT_EQ(live, ui::LiveMenuCount());

    // An empty template is an empty menu.
    const auto empty = ui::BuildMenuTemplate({});
    menu = LoadMenuIndirectW(empty.data());
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(0, GetMenuItemCount(menu));
    DestroyMenu(menu);
    EXPECT_EQ(liveBefore, ui::LiveMenuCount());
}

// Subclassing: a procedure put in front of a window's own, passing on what it does not take.
WNDPROC g_original = nullptr;
int g_swallowed = 0;
LRESULT SwallowingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 7) {
        ++g_swallowed;
        return 70;
    }
    return CallWindowProcW(g_original, hwnd, message, wParam, lParam);
}

TEST_F(MenusTest, SuperclassedCombosKeepTheirPartsAndSubclassedWindowsChainToTheOldProcedure)
{
    WNDCLASSW combo{};
    ASSERT_TRUE(GetClassInfoW(nullptr, u"ComboBox", &combo));
    combo.lpszClassName = u"SuperCombo";
    ASSERT_TRUE(RegisterClassW(&combo));
    HWND hwnd = CreateWindowExW(0, u"SuperCombo", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 0, 0, 80, 100, owner,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(hwnd, &info));
    EXPECT_NE(nullptr, info.hwndList);
    EXPECT_NE(hwnd, info.hwndItem); // the edit field of a drop-down combo
    SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
    EXPECT_EQ(1, SendMessageW(info.hwndList, LB_GETCOUNT, 0, 0));
    EXPECT_FALSE(GetComboBoxInfo(owner, &info));

    g_original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowingProc)));
    EXPECT_EQ(&RecorderProc, g_original);
    seen.clear();
    EXPECT_EQ(70, SendMessageW(owner, WM_USER + 7, 0, 0));
    SendMessageW(owner, WM_USER + 8, 0, 0);
    EXPECT_EQ(1, g_swallowed);
    ASSERT_EQ(1u, seen.size()); // only the message the subclass passed on
    EXPECT_EQ(static_cast<UINT>(WM_USER + 8), seen[0].message);
    DestroyWindow(hwnd);
    UnregisterClassW(u"SuperCombo", nullptr);
}

std::vector<std::string>* g_ticks = nullptr;
void ThreadTick(HWND hwnd, UINT, UINT_PTR id, DWORD time)
{
    g_ticks->push_back((hwnd ? "window " : "thread ") + std::to_string(id) + " at " + std::to_string(time) +
                       " after " + std::to_string(g_seen->size()));
}

TEST_F(MenusTest, PeekingFindsQueuedMessagesAndThreadTimersTickAfterThem)
{
    PostMessageW(owner, WM_USER + 1, 1, 0);
    PostMessageW(owner, WM_USER + 2, 2, 0);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, owner, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
    EXPECT_EQ(2u, msg.wParam);
    EXPECT_EQ(2, ui::QueuedMessageCount());
    EXPECT_FALSE(PeekMessageW(&msg, owner, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_TRUE(PeekMessageW(&msg, owner, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(1, ui::QueuedMessageCount());

    std::vector<std::string> ticks;
    g_ticks = &ticks;
    const UINT_PTR id = SetTimer(nullptr, 0, 2147483647u, ThreadTick);
    ASSERT_NE(0u, id);
    EXPECT_EQ(2147483647u, ui::TimerElapse(nullptr, id));
    // Naming a running thread timer restarts it with the new period and keeps its id.
    EXPECT_EQ(id, SetTimer(nullptr, id, 50, ThreadTick));
    EXPECT_EQ(50u, ui::TimerElapse(nullptr, id));
    ui::advance(49);
    EXPECT_TRUE(ticks.empty());
    // A due tick waits for the queued message.
    seen.clear();
    PostMessageW(owner, WM_USER + 3, 3, 0);
    ui::advance(1);
    ASSERT_EQ(1u, ticks.size());
    EXPECT_EQ("thread " + std::to_string(id) + " at 50 after 1", ticks[0]);
    const int kills = ui::KillTimerCalls();
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_EQ(kills + 1, ui::KillTimerCalls());
    EXPECT_EQ(0u, ui::TimerElapse(nullptr, id));
    g_ticks = nullptr;
}
}
