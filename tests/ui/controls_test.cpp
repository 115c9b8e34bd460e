#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/commctrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct Notice {
    int id;
    int code;
    friend bool operator==(const Notice&, const Notice&) = default;
};
std::ostream& operator<<(std::ostream& out, const Notice& n) { return out << n.id << ":" << n.code; }

std::vector<Notice>* g_notices = nullptr;
std::vector<std::string>* g_owner = nullptr;

LRESULT ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (g_notices) {
            g_notices->push_back(Notice{LOWORD(wParam), HIWORD(wParam)});
        }
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (g_notices) {
            g_notices->push_back(Notice{GetDlgCtrlID(reinterpret_cast<HWND>(lParam)),
                                        (message == WM_VSCROLL ? 1000 : 2000) + LOWORD(wParam)});
        }
        return 0;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (g_owner) {
            g_owner->push_back("measure " + std::to_string(mis->CtlID) + " " + std::to_string(static_cast<int>(mis->itemID)));
        }
        mis->itemHeight = 18;
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (g_owner) {
            g_owner->push_back("draw " + std::to_string(dis->CtlID) + " " + std::to_string(static_cast<int>(dis->itemID)) +
                               ((dis->itemState & ODS_COMBOBOXEDIT) ? " edit" : ""));
        }
        return TRUE;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1));
        wc.lpszClassName = u"ControlsParent";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, u"ControlsParent", u"", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        g_notices = &notices;
        g_owner = &owner;
    }
    void TearDown() override
    {
        g_notices = nullptr;
        g_owner = nullptr;
        ui::reset();
    }
    HWND Child(const char16_t* cls, const char16_t* text, DWORD style, int id, RECT r)
    {
        HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                                    r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)),
                                    nullptr, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return hwnd;
    }
    HWND parent = nullptr;
    HFONT font = nullptr;
    std::vector<Notice> notices;
    std::vector<std::string> owner;
};

TEST_F(ControlsTest, ButtonsNotifyOnClicksOnly)
{
    HWND push = Child(u"Button", u"Push", BS_PUSHBUTTON, 10, RECT{0, 0, 80, 24});
    HWND check = Child(u"Button", u"Check", BS_AUTOCHECKBOX, 11, RECT{0, 30, 80, 50});
    HWND r1 = Child(u"Button", u"One", BS_AUTORADIOBUTTON | WS_GROUP, 12, RECT{0, 60, 80, 80});
    HWND r2 = Child(u"Button", u"Two", BS_AUTORADIOBUTTON, 13, RECT{0, 80, 80, 100});
    HWND r3 = Child(u"Button", u"Other group", BS_AUTORADIOBUTTON | WS_GROUP, 14, RECT{0, 100, 80, 120});
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(r3, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(notices.empty()); // BM_SETCHECK sends nothing
    ui::Click(push);
    ui::Click(check);
    EXPECT_EQ(BST_UNCHECKED, static_cast<WPARAM>(SendMessageW(check, BM_GETCHECK, 0, 0)));
    ui::Click(r1);
    ui::Click(r2);
    EXPECT_EQ(BST_UNCHECKED, static_cast<WPARAM>(SendMessageW(r1, BM_GETCHECK, 0, 0)));
    EXPECT_EQ(BST_CHECKED, static_cast<WPARAM>(SendMessageW(r2, BM_GETCHECK, 0, 0)));
    EXPECT_EQ(BST_CHECKED, static_cast<WPARAM>(SendMessageW(r3, BM_GETCHECK, 0, 0))); // other group untouched
    EXPECT_EQ((std::vector<Notice>{{10, BN_CLICKED}, {11, BN_CLICKED}, {12, BN_CLICKED}, {13, BN_CLICKED}}), notices);
    // Pressing and releasing outside the button is no click.
    notices.clear();
    ui::MouseDown(push, POINT{5, 5});
    EXPECT_TRUE(SendMessageW(push, BM_GETSTATE, 0, 0) & BST_PUSHED);
    ui::MouseMove(push, POINT{200, 5});
    ui::MouseUp(push, POINT{200, 5});
    EXPECT_TRUE(notices.empty());
    // Space on the focused button clicks it; disabled buttons take no clicks.
    SetFocus(push);
    ui::PressKey(VK_SPACE);
    EnableWindow(push, FALSE);
    ui::Click(push);
    EXPECT_EQ((std::vector<Notice>{{10, BN_CLICKED}}), notices);
}

TEST_F(ControlsTest, EditNotifiesChangesAndKeepsItsLimit)
{
    HWND edit = Child(u"Edit", u"", ES_AUTOHSCROLL | WS_BORDER, 20, RECT{0, 0, 100, 20});
    HWND number = Child(u"Edit", u"", ES_NUMBER, 21, RECT{0, 30, 100, 50});
    EXPECT_TRUE(notices.empty()); // creation with a text is no change
    SetWindowTextW(edit, u"abc");
    EXPECT_EQ((std::vector<Notice>{{20, EN_UPDATE}, {20, EN_CHANGE}}), notices);
    EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    notices.clear();
    ui::Click(edit);
    EXPECT_EQ((std::vector<Notice>{{20, EN_SETFOCUS}}), notices);
    SendMessageW(edit, EM_SETSEL, 1, 2);
    ui::Type(u"XY");
    EXPECT_EQ(u"aXYc", ui::WindowText(edit));
    EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(3u, start);
    EXPECT_EQ(3u, end);
    ui::PressKey(VK_BACK);
    EXPECT_EQ(u"aXc", ui::WindowText(edit));
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    notices.clear();
    ui::Type(u"12");
    EXPECT_EQ(u"aX1c", ui::WindowText(edit));
    EXPECT_EQ((std::vector<Notice>{{20, EN_UPDATE}, {20, EN_CHANGE}, {20, EN_MAXTEXT}}), notices);
    SetFocus(number);
    ui::Type(u"4a2");
    EXPECT_EQ(u"42", ui::WindowText(number));
}

TEST_F(ControlsTest, DropDownListComboSelectsAndNotifies)
{
    HWND combo = Child(u"ComboBox", nullptr, CBS_DROPDOWNLIST | WS_VSCROLL, 30, RECT{10, 10, 150, 200});
    RECT r;
    GetWindowRect(combo, &r);
    EXPECT_LT(r.bottom - r.top, 30); // the template height is the dropped list's
    for (const char16_t* item : {u"Alpha", u"Beta", u"Gamma"}) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    EXPECT_EQ(3, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(1, SendMessageW(combo, CB_SETCURSEL, 1, 0));
    EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_SETCURSEL, 7, 0));
    EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(u"Beta", ui::WindowText(combo));
    EXPECT_TRUE(notices.empty()); // CB_SETCURSEL sends nothing
    ui::Click(combo);
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    // The list shows below the combo box; clicking its third row chooses "Gamma".
    HWND list = nullptr;
    for (HWND top : ui::TopLevelWindows()) {
        WCHAR name[16];
        GetClassNameW(top, name, 16);
        if (std::u16string_view(name) == u"ComboLBox") {
            list = top;
        }
    }
    ASSERT_NE(nullptr, list);
    EXPECT_TRUE(IsWindowVisible(list));
    const int itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    ui::Click(list, POINT{10, 2 * itemHeight + itemHeight / 2});
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ((std::vector<Notice>{{30, CBN_SETFOCUS},
                                   {30, CBN_DROPDOWN},
                                   {30, CBN_SELCHANGE},
                                   {30, CBN_SELENDOK},
                                   {30, CBN_CLOSEUP}}),
              notices);
    notices.clear();
    ui::PressKey(VK_UP);
    EXPECT_EQ(1, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ((std::vector<Notice>{{30, CBN_SELCHANGE}}), notices);
    WCHAR text[16];
    EXPECT_EQ(5, SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)));
    EXPECT_EQ(std::u16string(u"Gamma"), std::u16string(text));
    EXPECT_EQ(0, SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"alpha")));
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(list)); // the drop-down list goes with its combo box
}

TEST_F(ControlsTest, EditableAndOwnerDrawnCombos)
{
    HWND combo = Child(u"ComboBox", nullptr, CBS_DROPDOWN, 31, RECT{10, 10, 150, 200});
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"First"));
    notices.clear();
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(u"First", ui::WindowText(combo));
    EXPECT_TRUE(notices.empty()); // setting the edit text from the list is no edit change
    SetFocus(combo);
    ui::Type(u"!");
    EXPECT_EQ(u"!", ui::WindowText(combo)); // the whole text was selected
    EXPECT_EQ((std::vector<Notice>{{31, CBN_SETFOCUS}, {31, CBN_EDITUPDATE}, {31, CBN_EDITCHANGE}}), notices);
    // An owner-drawn combo box asks its parent to measure at creation and to draw its field.
    owner.clear();
    HWND drawn = Child(u"ComboBox", nullptr, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 32,
                       RECT{10, 40, 150, 200});
    EXPECT_EQ((std::vector<std::string>{"measure 32 -1", "measure 32 0"}), std::vector<std::string>(owner.begin(), owner.begin() + 2));
    EXPECT_EQ(18, SendMessageW(drawn, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    SendMessageW(drawn, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"x"));
    SendMessageW(drawn, CB_SETCURSEL, 0, 0);
    owner.clear();
    UpdateWindow(drawn);
    EXPECT_EQ((std::vector<std::string>{"draw 32 0 edit"}), owner);
}

TEST_F(ControlsTest, ListBoxAndScrollBar)
{
    HWND list = Child(u"ListBox", nullptr, LBS_NOTIFY | LBS_SORT | WS_VSCROLL, 40, RECT{0, 0, 100, 60});
    for (const char16_t* item : {u"pear", u"Apple", u"fig"}) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    WCHAR text[16];
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::u16string(u"Apple"), std::u16string(text));
    const int h = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    notices.clear();
    ui::Click(list, POINT{5, h + 1});
    EXPECT_EQ(1, SendMessageW(list, LB_GETCURSEL, 0, 0));
    EXPECT_EQ((std::vector<Notice>{{40, LBN_SETFOCUS}, {40, LBN_SELCHANGE}}), notices);

    HWND bar = Child(u"ScrollBar", nullptr, SBS_VERT, 50, RECT{200, 0, 217, 200});
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 95, 0};
    EXPECT_EQ(90, SetScrollInfo(bar, SB_CTL, &info, TRUE)); // clamped to max - page + 1
    notices.clear();
    ui::Click(bar, POINT{8, 195}); // the down arrow
    EXPECT_EQ((std::vector<Notice>{{50, 1000 + SB_LINEDOWN}, {50, 1000 + SB_ENDSCROLL}}), notices);
    EXPECT_EQ(90, GetScrollPos(bar, SB_CTL)); // the bar does not move itself
    SetScrollPos(bar, SB_CTL, 0, TRUE);
    notices.clear();
    ui::Drag(bar, POINT{8, 20}, POINT{8, 100}, 2);
    ASSERT_GE(notices.size(), 3u);
    EXPECT_EQ(1000 + SB_THUMBTRACK, notices.front().code);
    EXPECT_EQ(1000 + SB_THUMBPOSITION, notices[notices.size() - 2].code);
    EXPECT_EQ(1000 + SB_ENDSCROLL, notices.back().code);
}
}

namespace {

// A tooltip over two tools of the parent: one rectangle with a text, one child window as a whole.
TEST_F(ControlsTest, TooltipShowsAToolsTextAfterTheHoverDelayAndHidesOnAPress)
{
    HWND button = Child(u"Button", u"B", BS_PUSHBUTTON, 5, RECT{200, 10, 260, 40});
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    std::u16string left = u"Left corner";
    TOOLINFOW area{sizeof(TOOLINFOW), TTF_SUBCLASS, parent, 1, RECT{0, 0, 50, 50}, nullptr, left.data(), 0, nullptr};
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&area)));
    std::u16string whole = u"The button";
    TOOLINFOW window{sizeof(TOOLINFOW), TTF_SUBCLASS | TTF_IDISHWND, parent, reinterpret_cast<UINT_PTR>(button), {},
                     nullptr, whole.data(), 0, nullptr};
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&window));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);

    // Resting over the area: nothing before the double-click time, the text after it, below the cursor.
    ui::MouseMove(parent, POINT{20, 20});
    ui::advance(GetDoubleClickTime() - 1);
    EXPECT_FALSE(IsWindowVisible(tip));
    ui::advance(1);
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(ui::WindowText(tip), u"Left corner");
    RECT placed{};
    GetWindowRect(tip, &placed);
    EXPECT_EQ(placed.left, 120);
    EXPECT_GT(placed.top, 120);
    // A press hides it, and it stays hidden until the mouse rests again.
    ui::MouseDown(parent, POINT{20, 20});
    EXPECT_FALSE(IsWindowVisible(tip));
    ui::MouseUp(parent, POINT{20, 20});
    ui::advance(2000);
    EXPECT_FALSE(IsWindowVisible(tip));

    // Another tool, a changed text; leaving every tool hides the tip.
    std::u16string renamed = u"Press me";
    window.lpszText = renamed.data();
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&window));
    ui::MouseMove(button, POINT{5, 5});
    ui::advance(GetDoubleClickTime());
    EXPECT_EQ(ui::WindowText(tip), u"Press me");
    EXPECT_TRUE(IsWindowVisible(tip));
    ui::MouseMove(parent, POINT{100, 100});
    EXPECT_FALSE(IsWindowVisible(tip));

    // Deactivated, it shows nothing; the text can be read back.
    SendMessageW(tip, TTM_ACTIVATE, FALSE, 0);
    ui::MouseMove(parent, POINT{10, 10});
    ui::advance(GetDoubleClickTime());
    EXPECT_FALSE(IsWindowVisible(tip));
    char16_t buffer[80]{};
    TOOLINFOW query{sizeof(TOOLINFOW), 0, parent, 1, {}, nullptr, buffer, 0, nullptr};
    EXPECT_EQ(SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&query)), 11);
    EXPECT_EQ(std::u16string(buffer), u"Left corner");
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&query));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    DestroyWindow(tip);
    ui::MouseMove(parent, POINT{20, 20}); // the parent's messages reach no tooltip any more
}

} // namespace

namespace {

std::u16string g_callbackText;

LRESULT CallbackOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (info->hdr.code == TTN_GETDISPINFOW) {
            info->lpszText = g_callbackText.data();
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A callback tool's text is asked of its window each time the tip shows.
TEST_F(ControlsTest, ACallbackToolsTextIsAskedForWhenItShows)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = CallbackOwnerProc;
    wc.lpszClassName = u"TooltipOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, u"TooltipOwner", u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, parent, nullptr,
                                 nullptr, nullptr);
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, owner, nullptr,
                               nullptr, nullptr);
    TOOLINFOW tool{sizeof(TOOLINFOW), TTF_SUBCLASS, owner, 3, RECT{0, 0, 100, 50}, nullptr, LPSTR_TEXTCALLBACKW, 0,
                   nullptr};
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    for (const std::u16string text : {u"First", u"Second"}) {
        g_callbackText = text;
        ui::MouseMove(owner, POINT{10, 10});
        ui::advance(GetDoubleClickTime());
        EXPECT_TRUE(IsWindowVisible(tip));
        EXPECT_EQ(ui::WindowText(tip), text);
        ui::MouseMove(parent, POINT{300, 200}); // off the tool
    }
    g_callbackText.clear(); // an empty text shows nothing
    ui::MouseMove(owner, POINT{10, 10});
    ui::advance(GetDoubleClickTime());
    EXPECT_FALSE(IsWindowVisible(tip));
    DestroyWindow(tip);
}

} // namespace
