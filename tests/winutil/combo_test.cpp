// The selection combo: typing, the pause timer, the drop-down and the focus, driven by keys and the virtual clock.
#include "controls/checklistcombo.h"
#include "foundation/localeinfo.h"
#include "foundation/selectionlist.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
constexpr int kComboId = 40;
constexpr int kButtonId = 41;

// Records the notifications that reach the parent.
class Host : public owl::TWindow {
public:
    Host() : TWindow(nullptr, u"host")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 320;
        Attr.H = 240;
    }
    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint code) override
    {
        if (id == kComboId) {
            notices.push_back(code);
        }
        return TWindow::EvCommand(id, control, code);
    }
    int Changes() const { return static_cast<int>(std::count(notices.begin(), notices.end(), EN_CHANGE)); }
    std::vector<owl::uint> notices;
};

class SelectionComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        host = new Host;
        combo = new KVO::SelectionCombo(host, kComboId, 10, 10, 180, 150);
        button = new owl::TButton(host, kButtonId, u"Other", 200, 10, 80, 24);
        host->Create();
        // A heading row that takes no bit, then six channels.
        combo->AddString(u"Channels");
        for (const char16_t* row : {u"One", u"Two", u"Three", u"Four", u"Five", u"Six"}) {
            combo->AddString(row);
        }
        combo->SetSpecialRows(0, -1);
        combo->SetFirstSelectableRow(1);
        combo->SetSelection(KVO::ParseSelectionList(u"2,4", KVO::String(u"all")));
        host->notices.clear();
        combo->SetFocus();
    }
    void TearDown() override
    {
        host->Destroy();
        delete host;
        platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
        LocaleInfo::Reset();
        ui::reset();
    }

    std::u16string EditText() const { return ui::WindowText(FindWindowExW(*combo, nullptr, u"Edit", nullptr)); }
    void TypeOver(std::u16string_view text)
    {
        combo->SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(0, 0xFFFF));
        ui::Type(text);
    }
    std::vector<bool> Checks() const
    {
        std::vector<bool> checks;
        for (int i = 0; i < combo->GetCount(); ++i) {
            checks.push_back(combo->GetRowCheck(i));
        }
        return checks;
    }

    Host* host = nullptr;
    KVO::SelectionCombo* combo = nullptr;
    owl::TButton* button = nullptr;
};

TEST_F(SelectionComboTest, TheSelectionIsShownAsAListAndInTheRowChecks)
{
    EXPECT_EQ(u"2,4", EditText());
    EXPECT_EQ((std::vector<bool>{false, false, true, false, true, false, false}), Checks());
    combo->SetSelection(KVO::ParseSelectionList(u"1-3,5,6", KVO::String(u"all")));
    EXPECT_EQ(u"1-3,5-6", combo->GetText());
    // WM_GETTEXT answers the display text and how many units it copied.
    char16_t small[4] = {};
    EXPECT_EQ(3, combo->SendMessage(WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)));
    EXPECT_EQ(u"1-3", std::u16string(small));
    EXPECT_EQ(7, combo->GetTextLen());
    EXPECT_EQ(0, combo->SendMessage(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)));
    // Everything, without a host word for all, is the whole range of rows.
    combo->SetSelection(KVO::AllSelection());
    EXPECT_EQ(u"1-6", EditText());
    EXPECT_EQ((std::vector<bool>{false, true, true, true, true, true, true}), Checks());
    // The user's list separator.
    platform::SetUserLocale(platform::LocaleProfile::German());
    LocaleInfo::Reset();
    combo->SetSelection(KVO::ParseSelectionList(u"1;3;4", KVO::String(u"alle")));
    EXPECT_EQ(u"1;3-4", EditText());
    // Program text is no typing.
    EXPECT_FALSE(combo->IsTypingPending());
    EXPECT_EQ(0, host->Changes());
    EXPECT_EQ(0, std::count(host->notices.begin(), host->notices.end(), CBN_EDITUPDATE));
}

TEST_F(SelectionComboTest, TypedTextIsAppliedOnceAfterAPauseOfTwoSeconds)
{
    TypeOver(u"1,3,5-");
    EXPECT_TRUE(combo->IsTypingPending());
    EXPECT_TRUE(ui::HasTimer(*combo, 1));
    ui::advance(1999);
    EXPECT_EQ(0, host->Changes());
    ui::Type(u"6"); // each change starts the pause again
    ui::advance(1999);
    EXPECT_EQ(0, host->Changes());
    EXPECT_EQ(u"2,4", combo->GetText()); // the display text stays until the text is applied
    ui::advance(1);
    EXPECT_EQ(1, host->Changes());
    EXPECT_FALSE(combo->IsTypingPending());
    EXPECT_FALSE(ui::HasTimer(*combo, 1));
    EXPECT_EQ(u"1,3,5-6", combo->GetText());
    EXPECT_EQ((std::vector<bool>{false, true, false, true, false, true, true}), Checks());
    ui::advance(5000);
    EXPECT_EQ(1, host->Changes());
    // The combo takes its edit changes itself; the parent sees only the update notices and the one EN_CHANGE.
    EXPECT_EQ(0, std::count(host->notices.begin(), host->notices.end(), CBN_EDITCHANGE));
    EXPECT_EQ(7, std::count(host->notices.begin(), host->notices.end(), CBN_EDITUPDATE)); // one a key
    EXPECT_EQ(EN_CHANGE, host->notices.back());

    // Item numbers beyond the six channels are not selected; a typed blank ends the list.
    TypeOver(u"5-99, 1");
    ui::advance(2000);
    EXPECT_EQ(2, host->Changes());
    EXPECT_EQ(u"5-6", EditText());
}

TEST_F(SelectionComboTest, DroppingTheListOrLeavingTheComboAppliesAtOnce)
{
    TypeOver(u"2-4");
    ui::PressKey(VK_F4);
    EXPECT_TRUE(combo->GetDroppedState());
    EXPECT_EQ(1, host->Changes());
    EXPECT_FALSE(ui::HasTimer(*combo, 1));
    EXPECT_EQ((std::vector<bool>{false, false, true, true, true, false, false}), Checks());
    ui::advance(3000);
    EXPECT_EQ(1, host->Changes());
    ui::PressKey(VK_F4);
    // Dropping the list again with nothing typed applies nothing.
    ui::PressKey(VK_F4);
    ui::PressKey(VK_F4);
    EXPECT_EQ(1, host->Changes());

    ui::PressKey(VK_END);
    ui::PressKey(VK_BACK);
    ui::Type(u"3,6");
    button->SetFocus();
    EXPECT_EQ(2, host->Changes());
    EXPECT_EQ(u"2-3,6", combo->GetText());
    ui::advance(3000);
    EXPECT_EQ(2, host->Changes());
    // Applying always tells the parent, also when nothing changed.
    combo->ApplyTypedText();
    EXPECT_EQ(3, host->Changes());
    EXPECT_EQ(u"2-3,6", combo->GetText());
}

TEST_F(SelectionComboTest, TypedTextIsAppliedWhenNoTimerCouldBeStarted)
{
    ui::FailNextTimers(10);
    TypeOver(u"1");
    EXPECT_FALSE(ui::HasTimer(*combo, 1));
    EXPECT_TRUE(combo->IsTypingPending());
    ui::advance(10000);
    EXPECT_EQ(0, host->Changes());
    ui::PressKey(VK_F4);
    EXPECT_EQ(1, host->Changes());
    EXPECT_EQ(u"1", combo->GetText());
    ui::PressKey(VK_F4);
    TypeOver(u"3");
    button->SetFocus();
    EXPECT_EQ(2, host->Changes());
    EXPECT_EQ(u"3", combo->GetText());
}

TEST_F(SelectionComboTest, TheThemeFollowsThemeChanges)
{
    const int open = platform::OpenThemeCount();
    platform::SetThemesActive(true);
    combo->SendMessage(WM_THEMECHANGED);
    EXPECT_EQ(open + 1, platform::OpenThemeCount());
    combo->SendMessage(WM_THEMECHANGED);
    EXPECT_EQ(open + 1, platform::OpenThemeCount());
    platform::SetThemesActive(false);
    combo->SendMessage(WM_THEMECHANGED);
    EXPECT_EQ(open, platform::OpenThemeCount());
    platform::SetThemesActive(true);
    combo->SendMessage(WM_THEMECHANGED);
    host->Destroy();
    EXPECT_EQ(open, platform::OpenThemeCount());
    platform::SetThemesActive(false);
}
}
