// Window regions and client areas of the window's own choosing, rounded-rectangle regions, half-tone shrinking,
// masked image lists and the theme calls that tests record and make fail.
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"
#include "platform/win/commctrl.h"
#include "platform/win/uxtheme.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
class WindowShapeTest : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        ui::reset();
        platform::FailThemeCall("");
        platform::RecordThemeCalls(nullptr);
        platform::SetThemesActive(false);
    }
};

TEST_F(WindowShapeTest, RoundedRectangleRegionFollowsItsCornerEllipses)
{
    struct Case {
        RECT r;
        int w, h;
    };
    for (const Case& c : {Case{{0, 0, 40, 30}, 12, 12}, Case{{5, 7, 65, 27}, 24, 10}, Case{{0, 0, 20, 20}, 0, 0}}) {
        HRGN region = CreateRoundRectRgn(c.r.left, c.r.top, c.r.right, c.r.bottom, c.w, c.h);
        const double a = c.w / 2.0;
        const double b = c.h / 2.0;
        int mismatches = 0;
        for (int y = c.r.top - 2; y < c.r.bottom + 2; ++y) {
            for (int x = c.r.left - 2; x < c.r.right + 2; ++x) {
                const double px = x + 0.5;
                const double py = y + 0.5;
                bool inside = px > c.r.left && px < c.r.right && py > c.r.top && py < c.r.bottom;
                const double cx = px < c.r.left + a ? c.r.left + a : px > c.r.right - a ? c.r.right - a : px;
                const double cy = py < c.r.top + b ? c.r.top + b : py > c.r.bottom - b ? c.r.bottom - b : py;
                if (inside && a > 0 && b > 0 && (cx != px || cy != py)) {
                    inside = std::pow((px - cx) / a, 2) + std::pow((py - cy) / b, 2) <= 1;
                }
                mismatches += inside != (PtInRegion(region, x, y) != FALSE) ? 1 : 0;
            }
        }
        EXPECT_LE(mismatches, 8); // rounding at the curved edges only
        RECT box{};
        GetRgnBox(region, &box);
        EXPECT_TRUE(EqualRect(&box, &c.r));
        DeleteObject(region);
    }
}

TEST_F(WindowShapeTest, HalftoneShrinkingAveragesWhatItCovers)
{
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP sourceBitmap = CreateCompatibleBitmap(screen, 4, 4);
    HBITMAP targetBitmap = CreateCompatibleBitmap(screen, 2, 2);
    SelectObject(source, sourceBitmap);
    SelectObject(target, targetBitmap);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            SetPixel(source, x, y, (x + y) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
        }
    }
    SetStretchBltMode(target, HALFTONE);
    StretchBlt(target, 0, 0, 2, 2, source, 0, 0, 4, 4, SRCCOPY);
    for (const POINT p : {POINT{0, 0}, POINT{1, 1}}) {
        const COLORREF c = GetPixel(target, p.x, p.y);
        EXPECT_NEAR(128, GetRValue(c), 1);
    }
    SetStretchBltMode(target, COLORONCOLOR);
    StretchBlt(target, 0, 0, 2, 2, source, 0, 0, 4, 4, SRCCOPY);
    const COLORREF picked = GetPixel(target, 0, 0);
    EXPECT_TRUE(picked == RGB(0, 0, 0) || picked == RGB(255, 255, 255));
    DeleteDC(source);
    DeleteDC(target);
    DeleteObject(sourceBitmap);
    DeleteObject(targetBitmap);
    ReleaseDC(nullptr, screen);
}

TEST_F(WindowShapeTest, MaskedImageListsLeaveTheMaskColourUnpainted)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, 8, 4); // two images of 4 x 4
    SelectObject(memory, strip);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            SetPixel(memory, x, y, x == y || x - 4 == y ? RGB(0, 0, 255) : RGB(255, 0, 255));
        }
    }
    SelectObject(memory, GetStockObject(BLACK_BRUSH));
    HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 2, 0);
    EXPECT_EQ(0, ImageList_AddMasked(list, strip, RGB(255, 0, 255)));
    EXPECT_EQ(2, ImageList_GetImageCount(list));
    HBITMAP canvas = CreateCompatibleBitmap(screen, 10, 10);
    SelectObject(memory, canvas);
    RECT all{0, 0, 10, 10};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(memory, &all, green);
    EXPECT_TRUE(ImageList_Draw(list, 1, memory, 3, 3, ILD_NORMAL));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(memory, 3, 3));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(memory, 6, 6));
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(memory, 4, 3));
    EXPECT_FALSE(ImageList_Draw(list, 2, memory, 0, 0, ILD_NORMAL));
    EXPECT_EQ(1, platform::LiveImageListCount());
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_EQ(0, platform::LiveImageListCount());
    DeleteObject(green);
    DeleteDC(memory);
    DeleteObject(strip);
    DeleteObject(canvas);
    ReleaseDC(nullptr, screen);
}

// A window whose client area is inset by 5 pixels, and by 10 more at the top while its user data says so.
LRESULT InsetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCALCSIZE) {
        auto* r = reinterpret_cast<RECT*>(lParam);
        InflateRect(r, -5, -5);
        r->top += static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT r{};
        GetClientRect(hwnd, &r);
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(hdc, &r, blue);
        DeleteObject(blue);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_NCPAINT) {
        HDC hdc = GetWindowDC(hwnd);
        RECT r{};
        GetWindowRect(hwnd, &r);
        OffsetRect(&r, -r.left, -r.top);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(hdc, &r, red);
        DeleteObject(red);
        ReleaseDC(hwnd, hdc);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowShapeTest, TheWindowChoosesItsClientAreaAndItsShape)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = InsetProc;
    wc.lpszClassName = u"InsetWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"InsetWindow", u"", WS_POPUP | WS_VISIBLE, 50, 60, 40, 30, nullptr, nullptr,
                                nullptr, nullptr);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(30, client.right);
    EXPECT_EQ(20, client.bottom);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    EXPECT_EQ(55, origin.x);
    EXPECT_EQ(65, origin.y);
    // The answer is asked again when the frame changes.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 10);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(10, client.bottom);
    // A region hides what lies outside it.
    SetWindowRgn(hwnd, CreateRectRgn(0, 0, 20, 30), TRUE);
    const gdi::Image picture = ui::RenderWindow(hwnd);
    EXPECT_EQ(RGB(255, 0, 0), picture.at(2, 2));
    EXPECT_EQ(RGB(0, 0, 255), picture.at(10, 20));
    EXPECT_EQ(RGB(255, 255, 255), picture.at(30, 20));
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(SIMPLEREGION, GetWindowRgn(hwnd, copy));
    RECT box{};
    GetRgnBox(copy, &box);
    EXPECT_EQ(20, box.right);
    DeleteObject(copy);
}

// The mouse hits a window only inside its region: outside the shape the point belongs to what lies beneath, for
// clicks as for WindowFromPoint, ChildWindowFromPoint and the hit test.
TEST_F(WindowShapeTest, TheMouseHitsOnlyTheWindowsShape)
{
    HWND below = CreateWindowExW(0, u"Button", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND child = CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 100, below,
                                 nullptr, nullptr, nullptr);
    HWND above = CreateWindowExW(WS_EX_TOPMOST, u"Button", u"", WS_POPUP | WS_VISIBLE, 50, 50, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    SetWindowRgn(above, CreateRoundRectRgn(0, 0, 100, 100, 100, 100), TRUE);
    EXPECT_EQ(above, WindowFromPoint(POINT{100, 100})); // the centre of the ellipse
    EXPECT_EQ(child, WindowFromPoint(POINT{52, 52}));   // its corner, outside the ellipse
    EXPECT_EQ(HTNOWHERE, SendMessageW(above, WM_NCHITTEST, 0, MAKELPARAM(52, 52)));
    EXPECT_EQ(HTCLIENT, SendMessageW(above, WM_NCHITTEST, 0, MAKELPARAM(100, 100)));

    SetWindowRgn(child, CreateRectRgn(0, 0, 10, 10), TRUE);
    EXPECT_EQ(child, ChildWindowFromPoint(below, POINT{15, 15}));
    EXPECT_EQ(below, ChildWindowFromPoint(below, POINT{40, 40}));
    EXPECT_EQ(below, WindowFromPoint(POINT{40, 40}));
    SetWindowRgn(above, nullptr, TRUE); // no region: the whole rectangle again
    EXPECT_EQ(above, WindowFromPoint(POINT{52, 52}));
}

TEST_F(WindowShapeTest, ThemeCallsAreRecordedAndCanBeMadeToFail)
{
    platform::SetThemesActive(true);
    std::vector<std::string> calls;
    platform::RecordThemeCalls(&calls);
    HTHEME theme = OpenThemeData(nullptr, u"BUTTON");
    ASSERT_TRUE(theme);
    HDC screen = GetDC(nullptr);
    const RECT r{0, 0, 10, 10};
    EXPECT_EQ(S_OK, DrawThemeBackground(theme, screen, BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr));
    platform::FailThemeCall("DrawThemeBackground");
    EXPECT_EQ(E_FAIL, DrawThemeBackground(theme, screen, BP_PUSHBUTTON, PBS_NORMAL, &r, nullptr));
    SIZE size{};
    EXPECT_EQ(S_OK, GetThemePartSize(theme, screen, BP_PUSHBUTTON, 1, nullptr, TS_TRUE, &size));
    platform::FailThemeCall("OpenThemeData");
    EXPECT_EQ(nullptr, OpenThemeData(nullptr, u"BUTTON"));
    platform::FailThemeCall("");
    EXPECT_EQ(S_OK, CloseThemeData(theme));
    ReleaseDC(nullptr, screen);
    const std::vector<std::string> expected{"OpenThemeData",    "DrawThemeBackground", "DrawThemeBackground",
                                            "GetThemePartSize", "OpenThemeData",       "CloseThemeData"};
    EXPECT_EQ(expected, calls);
}

TEST_F(WindowShapeTest, AnimationShowsAndHidesOnlyWhatIsNotAlreadySo)
{
    HWND hwnd = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(AnimateWindow(hwnd, 200, AW_BLEND | AW_HIDE));
    EXPECT_TRUE(AnimateWindow(hwnd, 200, AW_BLEND));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(AnimateWindow(hwnd, 200, AW_BLEND));
    EXPECT_TRUE(AnimateWindow(hwnd, 200, AW_BLEND | AW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    BOOL on = TRUE;
    SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &on, 0);
    EXPECT_FALSE(on);
    ui::SetTooltipAnimation(true, true);
    SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &on, 0);
    EXPECT_TRUE(on);
}
}
