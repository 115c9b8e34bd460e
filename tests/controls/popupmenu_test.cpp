// The popup menu button: one checked item across submenus, the label without "&", the commands its owner gets,
// and the click that closes the menu.
#include "controls/popupmenu.h"
#include "controlkit.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/win/uxtheme.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using namespace controlkit;

using Owner = RecordingOwner;

class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::ClearTrackedPopups();
        owner = new Owner(300, 120);
        label = new owl::TStatic(owner, 50, u"", 10, 10, 120, 20);
        companion = new owl::TStatic(owner, 51, u"companion", 10, 50, 100, 20);
        button = new PopupMenu(owner);
        button->SetLabel(label);
        button->SetCompanion(companion);
        button->SetOptions(ExclusivePopupMenu::CheckOnCommandOption);
        HMENU other = CreatePopupMenu();
        AppendMenuW(other, MF_STRING, 201, u"Ri&se time");
        AppendMenuW(other, MF_STRING, 202, u"&Decay");
        button->AppendMenu(MF_STRING, 101, u"&Mean");
        button->AppendMenu(MF_STRING, 102, u"Pea&k");
        button->AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(other), u"&Other");
        owner->Create();
    }
    void TearDown() override
    {
        ui::SetPopupMenuHook(nullptr);
        owner->Destroy();
        delete owner;
        ui::reset();
    }
    // Clicks the button; the user chooses `command` in the menu (0: dismisses it).
    void Choose(UINT command)
    {
        ui::SetPopupMenuHook([command](const ui::PopupMenuRequest&) { return command; });
        ui::Click(button->Wnd());
    }
    std::vector<UINT> Checked()
    {
        std::vector<UINT> ids;
        for (UINT id : {101u, 102u, 201u, 202u}) {
            if (button->GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    bool OtherChecked() { return (button->GetMenuState(2, MF_BYPOSITION) & MF_CHECKED) != 0; }

    Owner* owner = nullptr;
    owl::TStatic* label = nullptr;
    owl::TStatic* companion = nullptr;
    PopupMenu* button = nullptr;
};

TEST_F(PopupMenuTest, ChoosingAnItemChecksOnlyItAndItsSubmenuEntryAndShowsItsTextWithoutAmpersands)
{
    struct Case {
        UINT choose;
        std::vector<UINT> checked;
        bool other;
        std::u16string label;
    };
    const Case cases[] = {
        {201, {201}, true, u"Rise time"},
        {102, {102}, false, u"Peak"},
        {202, {202}, true, u"Decay"},
        {0, {202}, true, u"Decay"}, // dismissed: nothing changes
    };
    std::vector<int> commands;
    for (const Case& c : cases) {
        Choose(c.choose);
        EXPECT_EQ(c.checked, Checked()) << c.choose;
        EXPECT_EQ(c.other, OtherChecked()) << c.choose;
        EXPECT_EQ(c.label, label->GetText()) << c.choose;
        if (c.choose) {
            commands.push_back(static_cast<int>(c.choose));
            EXPECT_EQ(static_cast<int>(c.choose), button->LastCommand());
            EXPECT_EQ(static_cast<int>(c.choose), button->CheckedId());
        }
    }
    EXPECT_EQ(commands, owner->commands);
    EXPECT_EQ(static_cast<int>(std::size(cases)), owner->initPopups); // forwarded by the button
    EXPECT_FALSE(button->IsTracking());
    EXPECT_EQ(0u, button->GetState() & BST_PUSHED);
}

TEST_F(PopupMenuTest, WithoutLabelOrCheckOptionTheCommandStillReachesTheOwner)
{
    struct Case {
        bool withLabel;
        owl::uint32 options;
        UINT choose;
        std::vector<UINT> checked;
        std::u16string label;
    };
    const Case cases[] = {
        {false, ExclusivePopupMenu::CheckOnCommandOption, 101, {101}, u""},
        {true, 0, 102, {101}, u"Peak"}, // the check stays where it was
    };
    for (const Case& c : cases) {
        label->SetText(u"");
        button->SetLabel(c.withLabel ? label : nullptr);
        button->SetOptions(c.options);
        owner->commands.clear();
        Choose(c.choose);
        EXPECT_EQ(c.checked, Checked());
        EXPECT_EQ(c.label, label->GetText());
        EXPECT_EQ(std::vector<int>{static_cast<int>(c.choose)}, owner->commands);
    }
}

TEST_F(PopupMenuTest, TheClickThatClosesTheMenuDoesNotOpenItAgain)
{
    const POINT centre = ui::Center(button->Wnd());
    ui::SetPopupMenuHook([&](const ui::PopupMenuRequest&) {
        // The user clicks the button while its menu is open: the menu closes and the click follows.
        POINT screen = centre;
        ClientToScreen(button->Wnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(button->Wnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
        PostMessageW(button->Wnd(), WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
        return 0u;
    });
    ui::Click(button->Wnd());
    EXPECT_EQ(1u, ui::TrackedPopups().size());
    // The next click opens it again.
    ui::SetPopupMenuHook(nullptr);
    ui::Click(button->Wnd());
    EXPECT_EQ(2u, ui::TrackedPopups().size());
    // So does the space key.
    button->SetFocus();
    ui::PressKey(VK_SPACE);
    EXPECT_EQ(3u, ui::TrackedPopups().size());
    EXPECT_EQ(button->Wnd(), GetFocus());
}

TEST_F(PopupMenuTest, TheButtonSitsBesideItsCompanionAndDropsItsMenuUnderItself)
{
    const int freed = GetSystemMetrics(SM_CXVSCROLL) + 4;
    EXPECT_EQ(100 - freed, companion->GetWindowRect().Width());
    owl::TRect r = button->GetWindowRect();
    owl::TRect c = companion->GetWindowRect();
    EXPECT_EQ(c.right, r.left);
    EXPECT_EQ(freed, r.Width());
    EXPECT_EQ(c.top, r.top);
    EXPECT_EQ(c.Height(), r.Height());

    Choose(0);
    ASSERT_EQ(1u, ui::TrackedPopups().size());
    EXPECT_EQ(static_cast<UINT>(TPM_RIGHTALIGN), ui::TrackedPopups()[0].flags);
    EXPECT_EQ(r.right, ui::TrackedPopups()[0].at.x);
    EXPECT_EQ(r.bottom, ui::TrackedPopups()[0].at.y);
    button->SetLeftAligned(true);
    Choose(0);
    EXPECT_EQ(static_cast<UINT>(TPM_LEFTALIGN), ui::TrackedPopups()[1].flags);
    EXPECT_EQ(r.left, ui::TrackedPopups()[1].at.x);

    // Owner-drawn items of the menu are 100 x 20.
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 101, 0, 0, 0};
    SendMessageW(button->Wnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    EXPECT_EQ(100u, measure.itemWidth);
    EXPECT_EQ(20u, measure.itemHeight);
    // An empty menu is not shown.
    while (button->GetMenuItemCount() > 0) {
        button->DeleteMenu(0, MF_BYPOSITION);
    }
    Choose(101);
    EXPECT_EQ(2u, ui::TrackedPopups().size());
}
}

namespace {
TEST(PopupMenuFaceTest, FacesShowTheArrowOrTheCheckedItem)
{
    ui::reset();
    auto* owner = new RecordingOwner(160, 40);
    auto* arrow = new PopupMenu(owner);
    arrow->SetArrowStyle(true);
    arrow->AppendMenu(MF_STRING, 101, u"&Mean");
    auto* checked = new PopupMenu(owner);
    checked->SetOptions(ExclusivePopupMenu::CheckOnCommandOption | ExclusivePopupMenu::Flat);
    checked->AppendMenu(MF_STRING, 101, u"&Mean");
    checked->AppendMenu(MF_STRING, 102, u"Pea&k");
    checked->Attr.X = 30;
    checked->Attr.W = 60;
    auto* disabled = new PopupMenu(owner);
    disabled->SetArrowStyle(true);
    disabled->Attr.X = 100;
    owner->Create();
    checked->Check(102);
    disabled->EnableWindow(false);
    const gdi::GoldenCheck golden = gdi::CheckGolden(ui::RenderWindow(*owner), GoldenPath("popupmenu_faces.png"));
    EXPECT_TRUE(golden.ok) << golden.message;
    owner->Destroy();
    delete owner;
    ui::reset();
}
}

namespace {
TEST(PopupMenuThemeTest, TheThemedFaceLightsUpUnderTheMouseAndFollowsThemeChanges)
{
    ui::reset();
    platform::SetThemesActive(true);
    const int open = platform::OpenThemeCount();
    auto* owner = new RecordingOwner(160, 60);
    auto* button = new PopupMenu(owner);
    button->Attr.X = 20;
    button->Attr.Y = 10;
    button->Attr.W = 40;
    button->AppendMenu(MF_STRING, 101, u"&Mean");
    owner->Create();
    EXPECT_EQ(open + 1, platform::OpenThemeCount());
    auto face = [&] { return ui::RenderWindow(button->Wnd()).at(3, 3); };
    const COLORREF normal = face();
    ui::MouseMove(button->Wnd(), POINT{20, 10});
    const COLORREF hot = face();
    EXPECT_NE(normal, hot);
    ui::MouseMove(owner->GetHandle(), POINT{140, 50});
    EXPECT_EQ(normal, face());

    platform::SetThemesActive(false);
    SendMessageW(button->Wnd(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(open, platform::OpenThemeCount());
    platform::SetThemesActive(true);
    SendMessageW(button->Wnd(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(open + 1, platform::OpenThemeCount());
    owner->Destroy();
    delete owner;
    EXPECT_EQ(open, platform::OpenThemeCount());
    platform::SetThemesActive(false);
    ui::reset();
}
}
