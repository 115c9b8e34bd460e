// The up-down control: steps within its range, wrapping, the parent's veto, the buddy's number and its place
// beside the buddy.
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/commctrl.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
struct Parent {
    std::vector<int> thumbPositions;
    int deltaNotices = 0;
    bool refuse = false;
};
Parent* g_parent = nullptr;

LRESULT ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_parent && message == WM_VSCROLL && LOWORD(wParam) == SB_THUMBPOSITION) {
        g_parent->thumbPositions.push_back(static_cast<SHORT>(HIWORD(wParam)));
    }
    if (g_parent && message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == UDN_DELTAPOS) {
        ++g_parent->deltaNotices;
        return g_parent->refuse ? 1 : 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class UpDownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        g_parent = &parent;
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"UpDownParent";
        RegisterClassW(&wc);
        host = CreateWindowExW(0, u"UpDownParent", u"", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                               nullptr, nullptr);
    }
    void TearDown() override
    {
        g_parent = nullptr;
        ui::reset();
    }
    HWND Make(DWORD style, int lower, int upper, int pos)
    {
        buddy = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE, 10, 10, 80, 20, host, nullptr, nullptr,
                                nullptr);
        HWND control = CreateWindowExW(0, UPDOWN_CLASSW, u"", WS_CHILD | WS_VISIBLE | UDS_AUTOBUDDY | style, 0, 0,
                                       16, 20, host, reinterpret_cast<HMENU>(50), nullptr, nullptr);
        SendMessageW(control, UDM_SETRANGE32, static_cast<WPARAM>(lower), upper);
        SendMessageW(control, UDM_SETPOS32, 0, pos);
        return control;
    }
    void Press(HWND control, bool up)
    {
        RECT r{};
        GetClientRect(control, &r);
        ui::Click(control, POINT{r.right / 2, up ? 2 : r.bottom - 2});
    }
    Parent parent;
    HWND host = nullptr;
    HWND buddy = nullptr;
};

TEST_F(UpDownTest, ArrowsStepWithinTheRangeOrWrap)
{
    struct Case {
        const char* name;
        DWORD style;
        int lower, upper, start;
        bool up;
        int expected;
    };
    const Case cases[] = {
        {"up", 0, 1, 10, 5, true, 6},
        {"down", 0, 1, 10, 5, false, 4},
        {"stops at the top", 0, 1, 10, 10, true, 10},
        {"stops at the bottom", 0, 1, 10, 1, false, 1},
        {"wraps to the bottom", UDS_WRAP, 1, 10, 10, true, 1},
        {"wraps to the top", UDS_WRAP, 1, 10, 1, false, 10},
        {"a reversed range steps the other way", 0, 10, 1, 5, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parent.thumbPositions.clear();
        HWND control = Make(UDS_SETBUDDYINT | c.style, c.lower, c.upper, c.start);
        Press(control, c.up);
        EXPECT_EQ(c.expected, SendMessageW(control, UDM_GETPOS32, 0, 0));
        const std::u16string text = ui::WindowText(buddy);
        EXPECT_EQ(std::to_string(c.expected), std::string(text.begin(), text.end()));
        EXPECT_EQ(c.expected == c.start ? std::vector<int>{} : std::vector<int>{c.expected}, parent.thumbPositions);
        DestroyWindow(control);
        DestroyWindow(buddy);
    }
}

TEST_F(UpDownTest, TheParentMayRefuseAStep)
{
    HWND control = Make(UDS_SETBUDDYINT, 0, 100, 50);
    parent.refuse = true;
    Press(control, true);
    EXPECT_EQ(1, parent.deltaNotices);
    EXPECT_EQ(50, SendMessageW(control, UDM_GETPOS32, 0, 0));
    EXPECT_TRUE(parent.thumbPositions.empty());
}

TEST_F(UpDownTest, TheBuddysTextIsThePosition)
{
    HWND control = Make(UDS_SETBUDDYINT, 0, 100, 50);
    EXPECT_EQ(u"50", ui::WindowText(buddy));
    SetWindowTextW(buddy, u"77");
    BOOL error = TRUE;
    EXPECT_EQ(77, SendMessageW(control, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)));
    EXPECT_FALSE(error);
    Press(control, true);
    EXPECT_EQ(u"78", ui::WindowText(buddy));
    SetWindowTextW(buddy, u"abc");
    SendMessageW(control, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
    EXPECT_TRUE(error);
    EXPECT_EQ(reinterpret_cast<LRESULT>(buddy), SendMessageW(control, UDM_GETBUDDY, 0, 0));
    // Positions set from outside are kept inside the range.
    SendMessageW(control, UDM_SETPOS32, 0, 500);
    EXPECT_EQ(u"100", ui::WindowText(buddy));
}

TEST_F(UpDownTest, AlignedRightItSitsInsideTheBuddysOldWidth)
{
    HWND control = Make(UDS_ALIGNRIGHT, 0, 10, 0);
    RECT b{};
    RECT c{};
    GetWindowRect(buddy, &b);
    GetWindowRect(control, &c);
    EXPECT_EQ(64, b.right - b.left);
    EXPECT_EQ(b.right, c.left);
    EXPECT_EQ(b.top, c.top);
    EXPECT_EQ(16, c.right - c.left);
    EXPECT_EQ(20, c.bottom - c.top);
}

// Holding an arrow steps once at once, again after half a second and then every tenth of a second, by the
// acceleration table's increment for the time held; off the arrow it waits, released it stops.
TEST_F(UpDownTest, AHeldArrowRepeatsFasterTheLongerItIsHeld)
{
    HWND control = Make(UDS_SETBUDDYINT, 0, 10000, 0);
    RECT r{};
    GetClientRect(control, &r);
    const POINT up{r.right / 2, 2};
    ui::MouseDown(control, up);
    EXPECT_EQ(1, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::advance(499);
    EXPECT_EQ(1, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::advance(1); // 0.5 s
    EXPECT_EQ(2, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::advance(1400); // 0.6 s to 1.9 s: fourteen more steps of 1
    EXPECT_EQ(16, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::advance(100); // 2 s: steps of 5
    EXPECT_EQ(21, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::MouseMove(control, POINT{r.right / 2, r.bottom - 2}); // over the other arrow: no repeats
    ui::advance(300);
    EXPECT_EQ(21, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::MouseMove(control, up);
    ui::advance(3000); // back over it at 2.4 s: steps of 5 until 4.9 s, then of 20
    EXPECT_EQ(21 + 26 * 5 + 4 * 20, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::MouseUp(control, up);
    const LRESULT released = SendMessageW(control, UDM_GETPOS32, 0, 0);
    ui::advance(1000);
    EXPECT_EQ(released, SendMessageW(control, UDM_GETPOS32, 0, 0));

    // A table of its own: 2 from the start, 10 after one second.
    const UDACCEL table[] = {{0, 2}, {1, 10}};
    EXPECT_TRUE(SendMessageW(control, UDM_SETACCEL, 2, reinterpret_cast<LPARAM>(table)));
    UDACCEL read[3]{};
    EXPECT_EQ(2, SendMessageW(control, UDM_GETACCEL, 3, reinterpret_cast<LPARAM>(read)));
    EXPECT_EQ(10u, read[1].nInc);
    SendMessageW(control, UDM_SETPOS32, 0, 0);
    ui::MouseDown(control, up);
    ui::advance(1000); // steps at 0, 0.5 s, 0.6 s ... 0.9 s by 2, then 1 s by 10
    EXPECT_EQ(2 * 6 + 10, SendMessageW(control, UDM_GETPOS32, 0, 0));
    ui::MouseUp(control, up);
}

// With UDS_ARROWKEYS the arrow keys step the control from its buddy, held keys accelerating as held arrows do;
// without the style the buddy keeps its keys.
TEST_F(UpDownTest, ArrowKeysInTheBuddyStepIt)
{
    HWND control = Make(UDS_SETBUDDYINT | UDS_ARROWKEYS, 0, 100, 10);
    SetFocus(buddy);
    ui::PressKey(VK_UP);
    EXPECT_EQ(u"11", ui::WindowText(buddy));
    ui::PressKey(VK_DOWN);
    ui::PressKey(VK_DOWN);
    EXPECT_EQ(u"9", ui::WindowText(buddy));
    EXPECT_EQ(3, parent.deltaNotices);
    ui::KeyDown(VK_UP);
    ui::advance(2500);
    ui::KeyDown(VK_UP); // a repeat 2.5 s after the press: a step of 5
    ui::KeyUp(VK_UP);
    EXPECT_EQ(u"15", ui::WindowText(buddy));
    SetFocus(control);
    ui::PressKey(VK_DOWN); // the control itself takes them too
    EXPECT_EQ(u"14", ui::WindowText(buddy));

    HWND plain = Make(UDS_SETBUDDYINT, 0, 100, 10);
    SetFocus(buddy);
    ui::PressKey(VK_UP);
    EXPECT_EQ(10, SendMessageW(plain, UDM_GETPOS32, 0, 0));
}
}
