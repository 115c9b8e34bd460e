// The balloon help window: placement by quadrant with its tail and the shift into the work area, its closing
// rules, its plain picture, and a failing theme that must leave it on screen.
#include "controls_fixture.h"

#include "foundation/dialogfont.h"
#include "foundation/xkvo.h"
#include "platform/ui/render.h"
#include "platform/win/shellapi.h"

#include <algorithm>
#include <cmath>

namespace {
using namespace ControlsTest;
using WTL::CBalloonHelp;

constexpr RECT kWork{0, 0, 1920, 1040};

struct PlacementCase {
    const char* name;
    POINT anchor;
    SIZE size;
    bool moveTip;
    int quadrant;
    POINT tail[3];
    POINT origin; // window's top-left corner on the screen
};

// Size 200 x 100 with margin 8 and tail 20: q = (200 - 20) / 4 = 45.
const PlacementCase kPlacements[] = {
    {"upper right: tail up at three quarters", {1500, 200}, {200, 100}, false, 0, {{135, 21}, {155, 21}, {155, 1}},
     {1345, 199}},
    {"upper left: tail up at a quarter", {300, 200}, {200, 100}, false, 1, {{65, 21}, {45, 21}, {45, 1}}, {255, 199}},
    {"lower left: tail down", {300, 900}, {200, 100}, false, 2, {{65, 78}, {45, 78}, {45, 98}}, {255, 802}},
    {"lower right: above and left of the anchor", {1500, 900}, {200, 100}, false, 3, {{135, 78}, {155, 78}, {155, 98}},
     {1345, 802}},
    {"the middle point counts as lower right", {960, 520}, {200, 100}, false, 3, {{135, 78}, {155, 78}, {155, 98}},
     {805, 422}},
    {"right edge: body shifts left, tip stays on the anchor", {1910, 200}, {200, 100}, false, 0,
     {{170, 21}, {155, 21}, {190, 1}}, {1720, 199}},
    {"right edge with the tip moving with the body", {1910, 200}, {200, 100}, true, 0,
     {{170, 21}, {155, 21}, {155, 1}}, {1720, 199}},
    {"left edge: body shifts right", {10, 900}, {200, 100}, false, 2, {{30, 78}, {45, 78}, {10, 98}}, {0, 802}},
    {"below the bottom: body shifts up", {1500, 1100}, {200, 100}, false, 3, {{135, 78}, {155, 78}, {155, 98}},
     {1345, 960}},
    {"above the top: body shifts down", {1500, -50}, {200, 100}, false, 0, {{135, 21}, {155, 21}, {155, 1}},
     {1345, -20}},
    {"a narrow balloon keeps its tail inside the margins", {1500, 200}, {30, 100}, false, 0,
     {{8, 21}, {22, 21}, {22, 1}}, {1478, 199}},
};

TEST(BalloonPlacement, QuadrantTailAndShiftIntoTheWorkArea)
{
    for (const PlacementCase& c : kPlacements) {
        SCOPED_TRACE(c.name);
        const WTL::BalloonPlacement p = WTL::PlaceBalloon(c.anchor, kWork, c.size, 8, 20, c.moveTip);
        EXPECT_EQ(c.quadrant, p.quadrant);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(c.tail[i].x, p.tail[i].x) << "tail point " << i;
            EXPECT_EQ(c.tail[i].y, p.tail[i].y) << "tail point " << i;
        }
        EXPECT_EQ(c.origin.x, p.window.left);
        EXPECT_EQ(c.origin.y, p.window.top);
        EXPECT_EQ(c.size.cx, p.window.right - p.window.left);
        EXPECT_EQ(c.size.cy, p.window.bottom - p.window.top);
    }
}

class BalloonTest : public Fixture {
protected:
    // A balloon that deletes itself, shown at once, anchored at a screen point.
    CBalloonHelp* Open(POINT anchor, unsigned options, unsigned timeoutMs = 0)
    {
        auto* balloon = new CBalloonHelp;
        balloon->SetIcon(IDI_WARNING);
        EXPECT_TRUE(balloon->Create(nullptr, u"Invalid value", u"Enter a whole number\r\nfrom 1 to 10.", &anchor,
                                    options | CBalloonHelp::DeleteThisOnClose, {}, timeoutMs));
        ui::pump();
        return balloon;
    }
};

TEST_F(BalloonTest, SitsWithItsTipOnTheAnchorAndItsClientBesideTheTail)
{
    for (const POINT anchor : {POINT{300, 200}, POINT{1500, 900}}) {
        CBalloonHelp* balloon = Open(anchor, CBalloonHelp::DisableFadeIn);
        HWND hwnd = balloon->GetHandle();
        RECT window{};
        RECT client{};
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        const POINT tip = balloon->Tail()[2];
        EXPECT_EQ(anchor.x, window.left + tip.x);
        EXPECT_EQ(anchor.y, window.top + tip.y);
        POINT corner{0, 0};
        ClientToScreen(hwnd, &corner);
        const int m = balloon->Margin();
        const int t = balloon->TailHeight();
        EXPECT_EQ(window.left + m, corner.x);
        EXPECT_EQ(window.top + m + (balloon->Quadrant() < 2 ? t : 0), corner.y);
        EXPECT_EQ(window.right - window.left - 2 * m, client.right);
        EXPECT_EQ(window.bottom - window.top - 2 * m - t, client.bottom);
        EXPECT_EQ(hwnd, GetCapture());
        EXPECT_TRUE(IsWindowVisible(hwnd));
        DestroyWindow(hwnd);
    }
}

TEST_F(BalloonTest, PlainLookAsAPicture)
{
    CBalloonHelp* balloon = Open(POINT{500, 300}, CBalloonHelp::DisableFadeIn | CBalloonHelp::ShowCloseButton);
    const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(balloon->GetHandle()), Golden("balloon_plain"));
    EXPECT_TRUE(check.ok) << check.message;
}

enum class Action { None, MoveAway, MoveWithin, Deactivate, ClickInside, Wait1000 };

struct CloseCase {
    const char* name;
    unsigned options;
    unsigned timeoutMs;
    Action action;
    bool closes;
};

const CloseCase kCloseRules[] = {
    {"cursor leaves the tolerance square", CBalloonHelp::CloseOnMouseMove, 0, Action::MoveAway, true},
    {"cursor stays within 3 pixels", CBalloonHelp::CloseOnMouseMove, 0, Action::MoveWithin, false},
    {"moves do not close without the option", 0, 0, Action::MoveAway, false},
    {"keep-open area over the window", CBalloonHelp::CloseOnMouseMove | CBalloonHelp::KeepOpenOverWindow, 0,
     Action::MoveAway, false},
    {"application deactivated", CBalloonHelp::CloseOnDeactivate, 0, Action::Deactivate, true},
    {"deactivation without the option", 0, 0, Action::Deactivate, false},
    {"left press closes", CBalloonHelp::CloseOnLButtonDown, 0, Action::ClickInside, true},
    {"a press without the option", 0, 0, Action::ClickInside, false},
    {"time-out", 0, 1000, Action::Wait1000, true},
    {"no time-out", 0, 0, Action::Wait1000, false},
};

TEST_F(BalloonTest, ClosingRules)
{
    for (const CloseCase& c : kCloseRules) {
        SCOPED_TRACE(c.name);
        ui::reset();
        Host host(0, 0, 1920, 1040);
        host.Create();
        ui::MouseMove(host, POINT{600, 400});
        CBalloonHelp* balloon = Open(POINT{600, 400},
                                     c.options | CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut,
                                     c.timeoutMs);
        HWND hwnd = balloon->GetHandle();
        switch (c.action) {
        case Action::MoveAway:
            ui::MouseMove(host, POINT{604, 400});
            break;
        case Action::MoveWithin:
            ui::MouseMove(host, POINT{603, 397});
            break;
        case Action::Deactivate:
            ui::SetAppActive(false);
            break;
        case Action::ClickInside:
            ui::Click(hwnd, ui::Center(hwnd));
            break;
        case Action::Wait1000:
            ui::advance(999);
            EXPECT_TRUE(IsWindow(hwnd));
            ui::advance(1);
            break;
        case Action::None:
            break;
        }
        ui::pump();
        EXPECT_EQ(c.closes, !IsWindow(hwnd));
        EXPECT_TRUE(Balloons().size() == (c.closes ? 0u : 1u));
    }
}

// Inside the balloon's rectangle but outside its shape (beside the tail, or at a rounded corner) the point
// belongs to the window beneath: only the shape is the balloon's, for the hit test as for WindowFromPoint.
TEST_F(BalloonTest, OnlyItsShapeIsHit)
{
    Host host(0, 0, 1920, 1040);
    host.Create();
    ui::MouseMove(host, POINT{600, 400});
    CBalloonHelp* balloon = Open(POINT{600, 400}, CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut);
    HWND hwnd = balloon->GetHandle();
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(hwnd, shape), ERROR);
    RECT r{};
    GetWindowRect(hwnd, &r);
    POINT outside{-1, -1};
    for (int y = 0; y < r.bottom - r.top && outside.x < 0; ++y) {
        for (int x = 0; x < r.right - r.left; ++x) {
            if (!PtInRegion(shape, x, y)) {
                outside = POINT{x, y};
                break;
            }
        }
    }
    DeleteObject(shape);
    ASSERT_GE(outside.x, 0) << "the balloon has a shape of its own";
    const POINT screen{r.left + outside.x, r.top + outside.y};
    EXPECT_EQ(WindowFromPoint(screen), host.GetHandle());
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)), HTNOWHERE);
    POINT centre = ui::Center(hwnd);
    ClientToScreen(hwnd, &centre);
    EXPECT_EQ(WindowFromPoint(centre), hwnd);
    balloon->Close();
    ui::pump();
}

TEST_F(BalloonTest, DoNotShowLaysOutHidden)
{
    CBalloonHelp* balloon = Open(POINT{500, 300}, CBalloonHelp::DoNotShow);
    EXPECT_FALSE(IsWindowVisible(balloon->GetHandle()));
    RECT r{};
    GetWindowRect(balloon->GetHandle(), &r);
    EXPECT_GT(r.right - r.left, 2 * balloon->Margin());
}

TEST_F(BalloonTest, FadesOnlyWithBothSystemSettingsOn)
{
    struct Case {
        bool animation;
        bool fade;
        unsigned options;
        int animations; // show and close
    };
    const Case cases[] = {
        {false, false, 0, 0},
        {true, false, 0, 0},
        {true, true, 0, 2},
        {true, true, CBalloonHelp::DisableFadeIn, 1},
        {true, true, CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut, 0},
    };
    for (const Case& c : cases) {
        ui::reset();
        ui::SetTooltipAnimation(c.animation, c.fade);
        const int before = ui::AnimateWindowCount();
        CBalloonHelp* balloon = Open(POINT{500, 300}, c.options);
        HWND hwnd = balloon->GetHandle();
        EXPECT_TRUE(IsWindowVisible(hwnd));
        balloon->Close();
        ui::pump();
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(c.animations, ui::AnimateWindowCount() - before);
    }
}

TEST_F(BalloonTest, AFailingAnimationStillShows)
{
    ui::SetTooltipAnimation(true, true);
    ui::FailAnimateWindow(true);
    CBalloonHelp* balloon = Open(POINT{500, 300}, 0);
    EXPECT_TRUE(IsWindowVisible(balloon->GetHandle()));
}

TEST_F(BalloonTest, NeverTakesActivation)
{
    Host host;
    host.Create();
    SetActiveWindow(host);
    CBalloonHelp* balloon = Open(POINT{500, 300}, 0);
    ui::Click(balloon->GetHandle(), ui::Center(balloon->GetHandle()));
    EXPECT_EQ(static_cast<HWND>(host), GetActiveWindow());
}

TEST_F(BalloonTest, ThemedWhenThemesAreOn)
{
    platform::SetThemesActive(true);
    std::vector<std::string> calls;
    platform::RecordThemeCalls(&calls);
    CBalloonHelp* balloon = Open(POINT{500, 300}, CBalloonHelp::DisableFadeIn);
    EXPECT_TRUE(balloon->IsThemed());
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "GetThemeBackgroundRegion"));
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "DrawThemeBackground"));
    DestroyWindow(balloon->GetHandle());
    EXPECT_EQ(0, platform::OpenThemeCount());
}

TEST_F(BalloonTest, AFailingThemeLeavesAPlainBalloonOnScreen)
{
    for (const char* failing : {"DrawThemeBackground", "GetThemeBackgroundRegion", "GetThemeTextExtent",
                                "DrawThemeText", "OpenThemeData"}) {
        SCOPED_TRACE(failing);
        ui::reset();
        platform::SetThemesActive(true);
        platform::FailThemeCall("");
        platform::FailThemeCall(failing);
        CBalloonHelp* balloon = nullptr;
        EXPECT_NO_THROW(balloon = Open(POINT{500, 300}, CBalloonHelp::DisableFadeIn));
        ASSERT_TRUE(balloon);
        EXPECT_NO_THROW(ui::RenderWindow(balloon->GetHandle()));
        EXPECT_TRUE(IsWindowVisible(balloon->GetHandle()));
        EXPECT_FALSE(balloon->IsThemed());
        // The plain look: the info background inside the body.
        const gdi::Image picture = ui::RenderWindow(balloon->GetHandle());
        RECT client{};
        GetClientRect(balloon->GetHandle(), &client);
        EXPECT_EQ(GetSysColor(COLOR_INFOBK), picture.at(balloon->Margin() + client.right - 1,
                                                        balloon->Margin() + balloon->TailHeight() + client.bottom - 1));
    }
}

TEST(BalloonThemeData, AFailedOpenThrowsTheModulesErrorWithTheClassName)
{
    struct Probe : CBalloonHelp {
        static void OpenFailing()
        {
            ThemeData data(u"TOOLTIP");
            data.Open(nullptr);
        }
    };
    platform::SetThemesActive(true);
    platform::FailThemeCall("OpenThemeData");
    try {
        Probe::OpenFailing();
        ADD_FAILURE() << "no exception";
    } catch (const XKVO& error) {
        EXPECT_EQ(KVO::Errors::kBadStorage, error.Code());
        EXPECT_EQ(KVO::String(u"Could not open theme data for the given class: TOOLTIP"), error.GetDescription());
    }
    platform::FailThemeCall("");
    platform::SetThemesActive(false);
}

TEST_F(BalloonTest, IconIsShrunkToTheDpi)
{
    for (const int dpi : {96, 144}) {
        ui::reset();
        gdi::SetScreenDpi(dpi);
        KVO::ResetWindowDpi();
        CBalloonHelp balloon;
        balloon.SetIcon(IDI_INFORMATION);
        ASSERT_TRUE(balloon.HasIcon());
        const POINT anchor{500, 300};
        balloon.Create(nullptr, u"t", u"c", &anchor, CBalloonHelp::DoNotShow);
        EXPECT_EQ(16 * dpi / 96, balloon.IconSize().cx);
        EXPECT_EQ(16 * dpi / 96, balloon.IconSize().cy);
        EXPECT_EQ(static_cast<int>(std::ceil(8.0 * dpi / 96)), balloon.Margin());
    }
    KVO::ResetWindowDpi();
}
}

namespace {
using namespace ControlsTest;
using WTL::CBalloonHelp;

class BalloonClickTest : public Fixture {};

TEST_F(BalloonClickTest, TheCloseButtonAndTheLinkCloseTheBalloonAndTheLinkRunsItsAction)
{
    struct Case {
        const char* name;
        bool onLink;      // press on the link line, else on the close button
        bool releaseOver; // release where it was pressed
        bool closes;
        int actions;
    };
    const Case cases[] = {
        {"close button", false, true, true, 0},
        {"close button left before the release", false, false, false, 0},
        {"link", true, true, true, 1},
        {"link left before the release", true, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::reset();
        int actions = 0;
        auto* balloon = new CBalloonHelp;
        balloon->SetLink(u"Show the setting", [&] { ++actions; });
        const POINT anchor{500, 300};
        balloon->Create(nullptr, u"Invalid value", u"Enter a number.", &anchor,
                        CBalloonHelp::ShowCloseButton | CBalloonHelp::ClickableLink |
                            CBalloonHelp::DeleteThisOnClose | CBalloonHelp::DisableFadeIn);
        ui::pump();
        HWND hwnd = balloon->GetHandle();
        RECT client{};
        GetClientRect(hwnd, &client);
        const POINT press = c.onLink ? POINT{4, client.bottom - 4} : POINT{client.right - 5, 5};
        ui::MouseDown(hwnd, press);
        ui::MouseUp(hwnd, c.releaseOver ? press : POINT{client.right / 2, client.bottom / 2});
        ui::pump();
        EXPECT_EQ(c.closes, !IsWindow(hwnd));
        EXPECT_EQ(c.actions, actions);
        if (IsWindow(hwnd)) {
            DestroyWindow(hwnd);
        }
    }
}
}

namespace {

// The themed stem is drawn in the state its region was shaped with: every pixel of the stem's band that the
// window shows is painted, in each quadrant.
TEST_F(BalloonTest, TheThemedStemFillsItsRegionInEveryQuadrant)
{
    platform::SetThemesActive(true);
    for (const POINT anchor : {POINT{300, 200}, POINT{1500, 200}, POINT{1500, 900}, POINT{300, 900}}) {
        CBalloonHelp* balloon = Open(anchor, CBalloonHelp::DisableFadeIn);
        ASSERT_TRUE(balloon->IsThemed());
        HWND hwnd = balloon->GetHandle();
        RECT window{};
        GetWindowRect(hwnd, &window);
        const int height = window.bottom - window.top;
        const int width = window.right - window.left;
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(hwnd, shape), ERROR);
        const gdi::Image picture = ui::RenderWindow(hwnd);
        const bool up = balloon->Quadrant() < 2;
        const int t = balloon->TailHeight();
        int shown = 0;
        int unpainted = 0;
        for (int y = up ? 0 : height - t; y < (up ? t : height); ++y) {
            for (int x = 0; x < width; ++x) {
                if (!PtInRegion(shape, x, y)) {
                    continue;
                }
                ++shown;
                unpainted += picture.at(x, y) != GetSysColor(COLOR_INFOBK) ? 1 : 0;
            }
        }
        DeleteObject(shape);
        EXPECT_GT(shown, 20) << balloon->Quadrant();
        EXPECT_EQ(unpainted, 0) << balloon->Quadrant();
        DestroyWindow(hwnd);
    }
}

} // namespace

namespace {
using namespace ControlsTest;
using WTL::CBalloonHelp;

class BalloonButtonTest : public Fixture {
protected:
    // A balloon with a close button and the given title-line layout, shown at once.
    CBalloonHelp* Open(unsigned options, unsigned layout = CBalloonHelp::kDefaultLayout, std::u16string url = {})
    {
        auto* balloon = new CBalloonHelp;
        const POINT anchor{500, 300};
        EXPECT_TRUE(balloon->Create(nullptr, u"Invalid value", u"Enter a number.", &anchor,
                                    options | CBalloonHelp::DeleteThisOnClose | CBalloonHelp::DisableFadeIn |
                                        CBalloonHelp::DisableFadeOut,
                                    url, 0, layout));
        ui::pump();
        return balloon;
    }
    // The frame-control states with which the close button was drawn, and the left edge of the last one.
    static std::vector<long> CloseStates(const gdi::CallLog& log, long* lastLeft = nullptr)
    {
        std::vector<long> states;
        for (const std::string& line : log.calls("DrawFrameControl")) {
            std::vector<long> args;
            for (std::size_t at = line.find('(') + 1; at < line.size(); at = line.find(',', at) + 1) {
                args.push_back(std::stol(line.substr(at)));
                if (line.find(',', at) == std::string::npos) {
                    break;
                }
            }
            if (args.size() == 6 && args[4] == DFC_CAPTION) {
                states.push_back(args[5] & ~DFCS_CAPTIONCLOSE);
                if (lastLeft) {
                    *lastLeft = args[0];
                }
            }
        }
        return states;
    }
};

// The close button is drawn flat, hot under the cursor, and pressed (hot and pushed) from the press on.
TEST_F(BalloonButtonTest, TheCloseButtonIsDrawnFlatHotAndPressed)
{
    CBalloonHelp* balloon = Open(CBalloonHelp::ShowCloseButton);
    HWND hwnd = balloon->GetHandle();
    RECT client{};
    GetClientRect(hwnd, &client);
    const POINT button{client.right - 5, 5};
    gdi::CallLog log;
    gdi::LogWindowCalls(hwnd, &log);
    ui::MouseMove(hwnd, button);
    ui::MouseDown(hwnd, button);
    ui::MouseMove(hwnd, POINT{client.right / 2, client.bottom - 2});
    EXPECT_EQ(CloseStates(log), (std::vector<long>{DFCS_HOT, DFCS_HOT | DFCS_PUSHED, DFCS_FLAT}));
    gdi::LogWindowCalls(hwnd, nullptr);
    ui::MouseUp(hwnd, POINT{client.right / 2, client.bottom - 2});
    EXPECT_TRUE(IsWindow(hwnd)) << "released off the button";
    DestroyWindow(hwnd);
}

// With layout flag 0x1000 the close button stands at the left end of the title line: it is drawn there, and a
// click there closes the balloon.
TEST_F(BalloonButtonTest, ACloseButtonLaidOutAtTheLeftIsDrawnAndClickedThere)
{
    for (const unsigned layout : {0x2111u, 0x1111u}) {
        SCOPED_TRACE(layout);
        ui::reset();
        CBalloonHelp* balloon = Open(CBalloonHelp::ShowCloseButton, layout);
        HWND hwnd = balloon->GetHandle();
        RECT client{};
        GetClientRect(hwnd, &client);
        gdi::CallLog log;
        gdi::LogWindowCalls(hwnd, &log);
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateWindow(hwnd);
        gdi::LogWindowCalls(hwnd, nullptr);
        long left = -1;
        ASSERT_FALSE(CloseStates(log, &left).empty());
        const bool atLeft = (layout & 0x1000) != 0;
        EXPECT_EQ(left, atLeft ? 0 : client.right - 14);
        const POINT button{atLeft ? 5 : client.right - 5, 5};
        ui::Click(hwnd, button);
        ui::pump();
        EXPECT_FALSE(IsWindow(hwnd));
    }
}

// A balloon given an address opens it with the shell's default action when clicked, after it closes.
TEST_F(BalloonButtonTest, AClickOpensTheBalloonsAddressWithTheShell)
{
    std::vector<platform::ShellRequest> requests;
    platform::OnShellExecute([&](const platform::ShellRequest& request) { requests.push_back(request); });
    CBalloonHelp* balloon = Open(0, CBalloonHelp::kDefaultLayout, u"https://help.example/balloon");
    HWND hwnd = balloon->GetHandle();
    ui::Click(hwnd, ui::Center(hwnd));
    ui::pump();
    platform::OnShellExecute({});
    EXPECT_FALSE(IsWindow(hwnd));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, u"");
    EXPECT_EQ(requests[0].file, u"https://help.example/balloon");
    EXPECT_EQ(requests[0].show, SW_SHOWNORMAL);

    // Without an address a click opens nothing.
    requests.clear();
    platform::OnShellExecute([&](const platform::ShellRequest& request) { requests.push_back(request); });
    balloon = Open(0);
    ui::Click(balloon->GetHandle(), ui::Center(balloon->GetHandle()));
    platform::OnShellExecute({});
    EXPECT_TRUE(requests.empty());
    DestroyWindow(balloon->GetHandle());
}

// A theme call that fails half-way leaves no device context behind, and the DC of a WM_PRINT caller gets its
// origin, font, text colour and mode back.
TEST_F(BalloonButtonTest, AFailingThemeCallLeavesTheDevicesAsTheyWere)
{
    platform::SetThemesActive(true);
    platform::FailThemeCall("GetThemeTextExtent");
    const int before = gdi::LiveDcCount();
    CBalloonHelp* balloon = Open(0);
    EXPECT_FALSE(balloon->IsThemed());
    DestroyWindow(balloon->GetHandle());
    EXPECT_EQ(gdi::LiveDcCount(), before);

    platform::FailThemeCall("");
    platform::FailThemeCall("DrawThemeText");
    balloon = Open(CBalloonHelp::DoNotShow);
    ASSERT_TRUE(balloon->IsThemed());
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 300);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    SendMessageW(balloon->GetHandle(), WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    POINT origin{-1, -1};
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DestroyWindow(balloon->GetHandle());
}

} // namespace
