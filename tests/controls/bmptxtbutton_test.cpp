// The Help button: tooltip timing on the virtual clock, clicks inside and outside, the caption without its
// ampersand, and pictures of its faces.
#include "controls_fixture.h"

#include "controls/bmptxtbutton.h"
#include "platform/ui/render.h"

namespace {
using namespace ControlsTest;
using KVOControls::TBmpTxtButton;

class CommandHost : public Host {
public:
    CommandHost() : Host(100, 100, 300, 200) {}
    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint code) override
    {
        if (code == BN_CLICKED) {
            clicks.push_back(static_cast<int>(id));
        }
        return Host::EvCommand(id, control, code);
    }
    bool EvEraseBkgnd(HDC hdc) override
    {
        RECT r{};
        ::GetClientRect(Handle, &r);
        FillRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    std::vector<int> clicks;
};

class BmpTxtButtonTest : public Fixture {
protected:
    void Build(bool themes)
    {
        platform::SetThemesActive(themes);
        host = std::make_unique<CommandHost>();
        button = new TBmpTxtButton(host.get(), KVO::String(u"Get dialog help"), false, nullptr);
        host->Create();
        button->MoveWindow(20, 20, 90, 26, true);
        button->SetWindowText(u"&Help");
        button->SetBitmap(TBmpTxtButton::kHelpBitmap);
    }
    void TearDown() override
    {
        host.reset();
        Fixture::TearDown();
    }
    void Leave() { ui::MouseMove(*host, POINT{250, 150}); }
    // No tooltip for a while on further moves; after leaving and coming back, one after 500 ms.
    void ExpectTooltipOnlyAfterReentry(POINT move)
    {
        ui::MouseMove(*button, move);
        ui::advance(2000);
        EXPECT_FALSE(button->TooltipVisible());
        Leave();
        ui::MouseMove(*button, POINT{30, 10});
        ui::advance(500);
        EXPECT_TRUE(button->TooltipVisible());
    }
    std::unique_ptr<CommandHost> host;
    TBmpTxtButton* button = nullptr;
};

TEST_F(BmpTxtButtonTest, TooltipAfter500MsBesideTheCursorGoneAfter5sAndNotAgainUntilTheCursorLeaves)
{
    Build(false);
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(400);
    ui::MouseMove(*button, POINT{32, 10}); // each move starts the wait again
    ui::advance(499);
    EXPECT_FALSE(button->TooltipVisible());
    ui::advance(1);
    ASSERT_TRUE(button->TooltipVisible());
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT r{};
    GetWindowRect(button->TooltipWindow(), &r);
    EXPECT_EQ(cursor.x - 3 + 2, r.left);
    EXPECT_EQ(cursor.y + 19 + 2, r.top);
    EXPECT_EQ(u"", ui::WindowText(button->TooltipWindow())); // the text is painted, not the window's title
    ui::advance(4500); // shown for 5000 ms so far
    EXPECT_TRUE(button->TooltipVisible());
    ui::advance(500);
    EXPECT_FALSE(button->TooltipVisible());
    EXPECT_FALSE(ui::HasTimer(*button, TBmpTxtButton::kTimerId));
    ExpectTooltipOnlyAfterReentry(POINT{40, 12});
}

TEST_F(BmpTxtButtonTest, AnEmptyTooltipNeverStartsTheTimer)
{
    Build(false);
    button->SetTooltip(KVO::String());
    ui::MouseMove(*button, POINT{30, 10});
    EXPECT_FALSE(ui::HasTimer(*button, TBmpTxtButton::kTimerId));
    ui::advance(1000);
    EXPECT_FALSE(button->TooltipVisible());
}

TEST_F(BmpTxtButtonTest, EachHoverGetsTheWholeTooltipTime)
{
    Build(false);
    // Leaving after 3 s: the next tooltip still shows for its 4.5 s.
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(3000);
    ASSERT_TRUE(button->TooltipVisible());
    Leave();
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(500);
    ASSERT_TRUE(button->TooltipVisible());
    ui::advance(4400);
    EXPECT_TRUE(button->TooltipVisible());
    // Leaving between 5.0 and 5.5 s does not keep the next one away.
    Leave();
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(5200);
    Leave();
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(500);
    EXPECT_TRUE(button->TooltipVisible());
}

TEST_F(BmpTxtButtonTest, EmptyingTheTextTakesAShownTooltipAway)
{
    Build(false);
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(500);
    ASSERT_TRUE(button->TooltipVisible());
    button->SetTooltip(KVO::String());
    EXPECT_FALSE(button->TooltipVisible());
    EXPECT_FALSE(ui::HasTimer(*button, TBmpTxtButton::kTimerId));
}

TEST_F(BmpTxtButtonTest, AClickSendsTheCommandAndKeepsTheTooltipAwayUntilTheCursorComesBack)
{
    Build(false);
    ui::MouseMove(*button, POINT{30, 10});
    ui::advance(500);
    ASSERT_TRUE(button->TooltipVisible());
    ui::Click(*button, POINT{30, 10});
    EXPECT_FALSE(button->TooltipVisible());
    EXPECT_EQ(std::vector<int>{TBmpTxtButton::kHelpId}, host->clicks);
    ExpectTooltipOnlyAfterReentry(POINT{35, 12});
}

TEST_F(BmpTxtButtonTest, AReleaseOutsideSendsNoCommandButClearsThePressedLook)
{
    for (const bool themes : {false, true}) {
        Build(themes);
        ui::MouseDown(*button, POINT{30, 10});
        EXPECT_TRUE(button->IsSet(owl::TGlyphButton::biPushed));
        EXPECT_EQ(static_cast<HWND>(*button), GetCapture());
        ui::MouseUp(*button, POINT{150, 60}); // outside, the button still has the mouse
        EXPECT_TRUE(host->clicks.empty());
        EXPECT_FALSE(button->IsSet(owl::TGlyphButton::biPushed));
        EXPECT_EQ(nullptr, GetCapture());
        host.reset();
    }
}

// The button that holds the capture gets the release wherever it happens, also with no move between the press and
// the release (a flick faster than the mouse's moves): only a release inside the button clicks it.
TEST_F(BmpTxtButtonTest, OnlyAReleaseInsideClicksAlsoWithoutAMoveBetween)
{
    const struct {
        POINT release;
        bool clicks;
    } cases[] = {{{30, 10}, true}, {{89, 25}, true}, {{90, 10}, false}, {{30, 26}, false},
                 {{-1, 10}, false}, {{150, 60}, false}};
    for (const bool themes : {false, true}) {
        Build(themes);
        for (const auto& test : cases) {
            SCOPED_TRACE(testing::Message() << "themes " << themes << ", released at " << test.release.x << ","
                                            << test.release.y);
            host->clicks.clear();
            ::SendMessageW(*button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 10));
            ASSERT_EQ(static_cast<HWND>(*button), GetCapture());
            ::SendMessageW(*button, WM_LBUTTONUP, 0,
                           MAKELPARAM(static_cast<WORD>(test.release.x), static_cast<WORD>(test.release.y)));
            EXPECT_EQ(host->clicks, test.clicks ? std::vector<int>{TBmpTxtButton::kHelpId} : std::vector<int>{});
            EXPECT_EQ(nullptr, GetCapture());
        }
        host.reset();
    }
}

TEST_F(BmpTxtButtonTest, TheCaptionIsDrawnWithoutItsAmpersand)
{
    Build(false);
    gdi::CallLog log;
    gdi::LogWindowCalls(*button, &log);
    button->Invalidate();
    ui::pump();
    gdi::LogWindowCalls(*button, nullptr);
    bool drawn = false;
    for (const std::string& line : log.calls("DrawTextW")) {
        EXPECT_EQ(std::string::npos, line.find('&')) << line;
        drawn = drawn || line.find("\"Help\"") != std::string::npos;
    }
    EXPECT_TRUE(drawn);
}

TEST_F(BmpTxtButtonTest, ThemedHotTrackingAndTheClassicFallBack)
{
    Build(true);
    EXPECT_FALSE(button->IsClassic());
    ui::MouseMove(*button, POINT{30, 10});
    EXPECT_TRUE(button->IsHot());
    EXPECT_TRUE(button->IsSet(owl::TGlyphButton::biFocus)); // the hot look
    Leave();
    EXPECT_FALSE(button->IsHot());
    // The theme goes away: the face is classic from the next paint on.
    platform::FailThemeCall("OpenThemeData");
    button->Invalidate();
    ui::pump();
    EXPECT_TRUE(button->IsClassic());
    // A theme change with themes off leaves it classic; with them on it is themed again.
    platform::FailThemeCall("");
    platform::SetThemesActive(true);
    button->SendMessage(WM_THEMECHANGED);
    EXPECT_FALSE(button->IsClassic());
    platform::SetThemesActive(false);
    button->SendMessage(WM_THEMECHANGED);
    EXPECT_TRUE(button->IsClassic());
}

TEST_F(BmpTxtButtonTest, TheFocusRectangleShowsOnceAfterATab)
{
    Build(false);
    SetFocus(*button);
    auto focusRects = [&](const std::function<void()>& action) {
        gdi::CallLog log;
        gdi::LogWindowCalls(*button, &log);
        action();
        ui::pump();
        gdi::LogWindowCalls(*button, nullptr);
        return log.calls("DrawFocusRect").size();
    };
    auto repaint = [&] { button->Invalidate(); };
    EXPECT_EQ(0u, focusRects(repaint));
    EXPECT_EQ(1u, focusRects([] { ui::PressKey(VK_TAB); })); // drawn on the paint after the Tab
    EXPECT_EQ(0u, focusRects(repaint));                       // and not again
}

TEST_F(BmpTxtButtonTest, PicturesOfTheFaces)
{
    struct Case {
        const char* golden;
        bool themes;
        std::function<void(TBmpTxtButton&)> prepare;
    };
    const Case cases[] = {
        {"button_classic", false, [](TBmpTxtButton&) {}},
        {"button_classic_pressed", false, [](TBmpTxtButton& b) { b.SendMessage(BM_SETSTATE, TRUE); }},
        {"button_classic_disabled", false, [](TBmpTxtButton& b) { b.EnableWindow(false); }},
        {"button_themed", true, [](TBmpTxtButton&) {}},
        {"button_themed_hot", true, [](TBmpTxtButton& b) { ui::MouseMove(b, POINT{30, 10}); }},
        {"button_themed_pressed", true, [](TBmpTxtButton& b) { b.SendMessage(BM_SETSTATE, TRUE); }},
        {"button_themed_disabled", true, [](TBmpTxtButton& b) { b.EnableWindow(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        Build(c.themes);
        c.prepare(*button);
        const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(*button), Golden(c.golden));
        EXPECT_TRUE(check.ok) << check.message;
        host.reset();
        ui::reset();
    }
}
}
