#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Messages seen by windows of the test class, as "name:message" lines.
std::vector<std::string>* g_log = nullptr;
std::string Name(HWND hwnd) { return platform::Utf16ToUtf8(ui::WindowText(hwnd)); }

const char* MessageName(UINT message)
{
    switch (message) {
    case WM_NCCREATE:
        return "NCCREATE";
    case WM_CREATE:
        return "CREATE";
    case WM_SIZE:
        return "SIZE";
    case WM_MOVE:
        return "MOVE";
    case WM_SHOWWINDOW:
        return "SHOWWINDOW";
    case WM_DESTROY:
        return "DESTROY";
    case WM_NCDESTROY:
        return "NCDESTROY";
    case WM_TIMER:
        return "TIMER";
    case WM_USER:
        return "USER";
    case WM_USER + 1:
        return "USER+1";
    case WM_LBUTTONDOWN:
        return "LBUTTONDOWN";
    case WM_LBUTTONUP:
        return "LBUTTONUP";
    case WM_MOUSEMOVE:
        return "MOUSEMOVE";
    case WM_CAPTURECHANGED:
        return "CAPTURECHANGED";
    case WM_MOUSELEAVE:
        return "MOUSELEAVE";
    case WM_MOUSEWHEEL:
        return "MOUSEWHEEL";
    case WM_KEYDOWN:
        return "KEYDOWN";
    case WM_KEYUP:
        return "KEYUP";
    case WM_CHAR:
        return "CHAR";
    default:
        return nullptr;
    }
}

struct PaintRecord {
    HWND hwnd;
    RECT rect;
    BOOL erase;
};
std::vector<PaintRecord>* g_paints = nullptr;

LRESULT TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_log) {
        if (const char* name = MessageName(message)) {
            std::string line = (message == WM_NCCREATE ? std::string("?") : Name(hwnd)) + ":" + name;
            if (message == WM_TIMER) {
                line += "(" + std::to_string(wParam) + "@" + std::to_string(ui::now()) + ")";
            }
            if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE) {
                line += "(" + std::to_string(GET_X_LPARAM(lParam)) + "," + std::to_string(GET_Y_LPARAM(lParam)) + ")";
            }
            if (message == WM_CHAR) {
                line += "(" + std::string(1, static_cast<char>(wParam)) + ")";
            }
            g_log->push_back(line);
        }
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        if (g_paints) {
            g_paints->push_back(PaintRecord{hwnd, ps.rcPaint, ps.fErase});
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_LBUTTONDOWN && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 1) {
        SetCapture(hwnd);
    }
    if (message == WM_LBUTTONUP && GetCapture() == hwnd) {
        ReleaseCapture();
    }
    if (message == WM_MOUSEMOVE && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 2) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
        wc.lpszClassName = u"TestWindow";
        ASSERT_NE(RegisterClassW(&wc), 0);
        g_log = &log;
        g_paints = &paints;
    }
    void TearDown() override
    {
        g_log = nullptr;
        g_paints = nullptr;
        ui::reset();
    }
    HWND Make(const char16_t* name, DWORD style, int x, int y, int w, int h, HWND parent = nullptr, int id = 0)
    {
        return CreateWindowExW(0, u"TestWindow", name, style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    }
    std::vector<std::string> log;
    std::vector<PaintRecord> paints;
};

TEST_F(WindowTest, CreationAndDestructionOrder)
{
    HWND top = Make(u"top", WS_POPUP | WS_VISIBLE, 100, 50, 300, 200);
    HWND a = Make(u"a", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, top, 11);
    HWND b = Make(u"b", WS_CHILD | WS_VISIBLE, 70, 10, 50, 20, top, 12);
    HWND inner = Make(u"inner", WS_CHILD, 1, 1, 5, 5, a, 13);
    EXPECT_EQ((std::vector<std::string>{"?:NCCREATE", "top:CREATE", "top:SIZE", "top:MOVE", "top:SHOWWINDOW",
                                        "?:NCCREATE", "a:CREATE", "a:SIZE", "a:MOVE", "a:SHOWWINDOW", "?:NCCREATE",
                                        "b:CREATE", "b:SIZE", "b:MOVE", "b:SHOWWINDOW", "?:NCCREATE", "inner:CREATE",
                                        "inner:SIZE", "inner:MOVE"}),
              log);
    // Tree, ids and geometry.
    EXPECT_EQ(GetParent(a), top);
    EXPECT_EQ(GetDlgItem(top, 12), b);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a); // creation order is z-order from the top
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_TRUE(IsChild(top, inner));
    RECT r;
    GetWindowRect(inner, &r);
    EXPECT_EQ((RECT{111, 61, 116, 66}), r);
    POINT p{0, 0};
    ClientToScreen(b, &p);
    EXPECT_EQ((POINT{170, 60}), p);
    EXPECT_FALSE(IsWindowVisible(inner));
    EXPECT_TRUE(IsWindowVisible(b));
    log.clear();
    EXPECT_TRUE(DestroyWindow(top));
    // WM_DESTROY goes to the parent first, WM_NCDESTROY to the children first.
    EXPECT_EQ((std::vector<std::string>{"top:DESTROY", "a:DESTROY", "inner:DESTROY", "b:DESTROY", "inner:NCDESTROY",
                                        "a:NCDESTROY", "b:NCDESTROY", "top:NCDESTROY"}),
              log);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(inner));
    EXPECT_TRUE(ui::TopLevelWindows().empty());
}

TEST_F(WindowTest, SentMessagesRunAtOncePostedOnesWaitForThePump)
{
    HWND w = Make(u"w", WS_POPUP, 0, 0, 10, 10);
    log.clear();
    PostMessageW(w, WM_USER, 0, 0);
    SendMessageW(w, WM_USER + 1, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"w:USER+1"}), log);
    EXPECT_EQ(1, ui::QueuedMessageCount());
    ui::pump();
    EXPECT_EQ((std::vector<std::string>{"w:USER+1", "w:USER"}), log);
    // Messages posted to a window that is gone are dropped.
    PostMessageW(w, WM_USER, 0, 0);
    DestroyWindow(w);
    EXPECT_EQ(0, ui::QueuedMessageCount());
    EXPECT_FALSE(PostMessageW(w, WM_USER, 0, 0));
}

TEST_F(WindowTest, TimersFireOnTheVirtualClockAndDieWithTheirWindow)
{
    HWND w = Make(u"w", WS_POPUP, 0, 0, 10, 10);
    HWND other = Make(u"o", WS_POPUP, 0, 0, 10, 10);
    log.clear();
    EXPECT_EQ(1u, SetTimer(w, 1, 100, nullptr));
    EXPECT_EQ(2u, SetTimer(w, 2, 250, nullptr));
    SetTimer(other, 7, 5, nullptr); // below the minimum: 10 ms
    ui::advance(9);
    EXPECT_TRUE(log.empty());
    ui::advance(1);
    EXPECT_EQ((std::vector<std::string>{"o:TIMER(7@10)"}), log);
    KillTimer(other, 7);
    log.clear();
    ui::advance(290);
    EXPECT_EQ((std::vector<std::string>{"w:TIMER(1@100)", "w:TIMER(1@200)", "w:TIMER(2@250)",
                                        "w:TIMER(1@300)"}),
              log);
    EXPECT_EQ(300u, GetTickCount());
    // Resetting a timer restarts its period.
    SetTimer(w, 1, 100, nullptr);
    log.clear();
    ui::advance(100); // now 400; timer 2 is due at 500
    EXPECT_EQ((std::vector<std::string>{"w:TIMER(1@400)"}), log);
    EXPECT_TRUE(ui::HasTimer(w, 2));
    DestroyWindow(w);
    EXPECT_FALSE(ui::HasTimer(w, 1));
    EXPECT_FALSE(ui::HasTimer(w, 2));
    EXPECT_EQ(0, ui::TimerCount());
    log.clear();
    ui::advance(1000);
    EXPECT_TRUE(log.empty());
}

namespace {
std::vector<UINT_PTR> g_threadTimers;
void ThreadTimer(HWND, UINT, UINT_PTR id, DWORD) { g_threadTimers.push_back(id); }
}

TEST_F(WindowTest, ThreadTimersCallTheirProcedure)
{
    g_threadTimers.clear();
    const UINT_PTR id = SetTimer(nullptr, 0, 50, ThreadTimer);
    ASSERT_NE(0u, id);
    ui::advance(120);
    EXPECT_EQ((std::vector<UINT_PTR>{id, id}), g_threadTimers);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(WindowTest, PaintCoversTheInvalidRegion)
{
    HWND w = Make(u"w", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
    ui::pump();
    ASSERT_EQ(1u, paints.size());
    EXPECT_EQ((RECT{0, 0, 200, 100}), paints[0].rect);
    paints.clear();
    ui::pump();
    EXPECT_TRUE(paints.empty()); // validated by BeginPaint
    RECT a{10, 10, 20, 20};
    RECT b{50, 30, 60, 80};
    InvalidateRect(w, &a, FALSE);
    InvalidateRect(w, &b, FALSE);
    EXPECT_TRUE(ui::NeedsPaint(w));
    RECT update;
    EXPECT_TRUE(GetUpdateRect(w, &update, FALSE));
    EXPECT_EQ((RECT{10, 10, 60, 80}), update);
    UpdateWindow(w);
    ASSERT_EQ(1u, paints.size());
    EXPECT_EQ((RECT{10, 10, 60, 80}), paints[0].rect);
    EXPECT_FALSE(ui::NeedsPaint(w));
    // Hidden windows are not painted until shown; a validated part is not painted.
    paints.clear();
    ShowWindow(w, SW_HIDE);
    InvalidateRect(w, nullptr, TRUE);
    ui::pump();
    EXPECT_TRUE(paints.empty());
    ValidateRect(w, nullptr);
    ShowWindow(w, SW_SHOW);
    ui::pump();
    ASSERT_EQ(1u, paints.size());
    EXPECT_EQ((RECT{0, 0, 200, 100}), paints[0].rect);
    EXPECT_FALSE(paints[0].erase); // erased by the class brush
}

TEST_F(WindowTest, MovingAndSizingSendsSizeAndMove)
{
    HWND w = Make(u"w", WS_POPUP | WS_BORDER, 0, 0, 100, 100);
    log.clear();
    SetWindowPos(w, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ((std::vector<std::string>{"w:MOVE"}), log);
    log.clear();
    MoveWindow(w, 10, 20, 50, 60, TRUE);
    EXPECT_EQ((std::vector<std::string>{"w:SIZE"}), log);
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ((RECT{0, 0, 48, 58}), client); // one-pixel border
    RECT adjusted{0, 0, 48, 58};
    AdjustWindowRectEx(&adjusted, WS_POPUP | WS_BORDER, FALSE, 0);
    EXPECT_EQ((RECT{-1, -1, 49, 59}), adjusted);
    SetWindowLongPtrW(w, GWLP_USERDATA, 42);
    EXPECT_EQ(42, GetWindowLongPtrW(w, GWLP_USERDATA));
    EXPECT_EQ(WS_POPUP | WS_BORDER, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)));
}

TEST_F(WindowTest, FocusAndEnabling)
{
    HWND top = Make(u"top", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    HWND a = Make(u"a", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, 1);
    HWND b = Make(u"b", WS_CHILD | WS_VISIBLE, 20, 0, 10, 10, top, 2);
    SetFocus(a);
    EXPECT_EQ(a, GetFocus());
    EXPECT_EQ(top, GetActiveWindow());
    EXPECT_EQ(a, SetFocus(b));
    EXPECT_FALSE(EnableWindow(b, FALSE)); // was enabled
    EXPECT_EQ(nullptr, GetFocus());        // a disabled window loses the focus
    EXPECT_FALSE(IsWindowEnabled(b));
    EXPECT_TRUE(EnableWindow(b, TRUE));
    SetFocus(b);
    DestroyWindow(b);
    EXPECT_EQ(nullptr, GetFocus());
}

TEST_F(WindowTest, MouseInputHonoursTheCapture)
{
    HWND top = Make(u"top", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100);
    HWND left = Make(u"left", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, 1);
    HWND right = Make(u"right", WS_CHILD | WS_VISIBLE, 100, 0, 100, 100, top, 2);
    SetWindowLongPtrW(left, GWLP_USERDATA, 1); // captures on button down
    ui::pump();
    log.clear();
    ui::Drag(left, POINT{50, 50}, POINT{150, 60}, 2);
    // While captured, the move over the right window still goes to the left one, in its own coordinates.
    EXPECT_EQ((std::vector<std::string>{"left:MOUSEMOVE(50,50)", "left:LBUTTONDOWN(50,50)", "left:MOUSEMOVE(100,55)",
                                        "left:MOUSEMOVE(150,60)", "left:LBUTTONUP(150,60)", "left:CAPTURECHANGED"}),
              log);
    EXPECT_EQ(nullptr, GetCapture());
    log.clear();
    ui::Click(right, POINT{5, 5});
    EXPECT_EQ((std::vector<std::string>{"right:MOUSEMOVE(5,5)", "right:LBUTTONDOWN(5,5)", "right:LBUTTONUP(5,5)"}),
              log);
    // Leaving a tracked window posts WM_MOUSELEAVE.
    SetWindowLongPtrW(right, GWLP_USERDATA, 2);
    ui::MouseMove(right, POINT{10, 10});
    log.clear();
    ui::MouseMove(left, POINT{10, 10});
    EXPECT_EQ((std::vector<std::string>{"right:MOUSELEAVE", "left:MOUSEMOVE(10,10)"}), log);
    // A disabled top-level window gets no mouse input.
    EnableWindow(top, FALSE);
    log.clear();
    ui::Click(left, POINT{1, 1});
    EXPECT_TRUE(log.empty());
}

TEST_F(WindowTest, KeysGoToTheFocusWindow)
{
    HWND top = Make(u"top", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    HWND a = Make(u"a", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, 1);
    SetFocus(a);
    log.clear();
    ui::KeyDown(VK_SHIFT);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    ui::PressKey(VK_RETURN);
    ui::KeyUp(VK_SHIFT);
    ui::Type(u"x");
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ((std::vector<std::string>{"a:KEYDOWN", "a:KEYDOWN", "a:CHAR(\r)", "a:KEYUP", "a:KEYUP", "a:CHAR(x)"}),
              log);
    log.clear();
    ui::Wheel(a, POINT{1, 1}, -WHEEL_DELTA);
    EXPECT_EQ((std::vector<std::string>{"a:MOUSEMOVE(1,1)", "a:MOUSEWHEEL", "top:MOUSEWHEEL"}), log);
}

TEST_F(WindowTest, MonitorsAndWorkAreas)
{
    ui::SetMonitors({ui::Monitor{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 984}},
                     ui::Monitor{RECT{1280, 0, 2560, 1024}, RECT{1330, 0, 2560, 1024}}});
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ((RECT{0, 0, 1280, 984}), work);
    HWND w = Make(u"w", WS_POPUP, 1500, 100, 300, 200);
    MONITORINFO info{sizeof info, {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_EQ((RECT{1330, 0, 2560, 1024}), info.rcWork);
    EXPECT_EQ(0u, info.dwFlags);
    const RECT far{5000, 5000, 5100, 5100};
    EXPECT_EQ(nullptr, MonitorFromRect(&far, MONITOR_DEFAULTTONULL));
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&far, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_EQ((RECT{1280, 0, 2560, 1024}), info.rcMonitor);
    EXPECT_EQ(2, GetSystemMetrics(SM_CMONITORS));
    EXPECT_EQ(2560, GetSystemMetrics(SM_CXVIRTUALSCREEN));
}
}
