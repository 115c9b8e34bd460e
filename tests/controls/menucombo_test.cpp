// The menu combo: indices that skip separator rows, arrow keys and clicks that never land on one, and its rows.
#include "controls/menucombo.h"
#include "controlkit.h"
#include "platform/ui/input.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using namespace controlkit;
using KVOControls::MenuCombo::MenuCombo;

ui::DialogTemplateData ComboTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 150;
    t.cy = 60;
    t.caption = u"Presets";
    t.items = {
        {u"ComboBox", u"", MenuCombo::ControlId, 7, 7, 120, 100,
         WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS},
        {u"Button", u"OK", IDOK, 90, 40, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    return t;
}

class ComboDialog : public HostDialog {
public:
    explicit ComboDialog(owl::TModule* module) : HostDialog(u"MENUCOMBO", module) { combo = new MenuCombo(this); }
    // Rows as given; "-" is a separator line, "#text" a separator heading.
    void Fill(const std::vector<std::u16string>& rows)
    {
        combo->ClearList();
        combo->TComboBox::ClearList();
        for (const auto& row : rows) {
            const bool separator = row == u"-" || row.starts_with(u"#");
            const int index = combo->AddString(separator && row != u"-" ? row.substr(1).c_str() : separator ? u"" : row.c_str());
            if (separator) {
                combo->AddSeparatorRow(index);
            }
        }
    }
    MenuCombo* combo;
};

class MenuComboControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::RegisterDialogTemplate(Module(), u"MENUCOMBO", ComboTemplate());
        dialog = new ComboDialog(&module);
        dialog->Create();
        dialog->ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        dialog->Destroy();
        delete dialog;
        ui::reset();
    }
    int Raw() const { return static_cast<int>(SendMessageW(*dialog->combo, CB_GETCURSEL, 0, 0)); }
    HWND List() const
    {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(*dialog->combo, &info);
        return info.hwndList;
    }
    owl::TModule module{u"tests", Module()};
    ComboDialog* dialog = nullptr;
};

TEST_F(MenuComboControlTest, IndicesSkipTheSeparatorRows)
{
    dialog->Fill({u"A", u"-", u"B", u"#Saved", u"-", u"C"});
    struct Case {
        int index;
        int set;      // what SetSelIndex answers
        int raw;      // the row selected
        int readBack; // GetSelIndex afterwards
    };
    const Case cases[] = {
        {0, 0, 0, 0}, {1, 2, 2, 1}, {2, 5, 5, 2}, {3, -1, 5, 2}, {-1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.set, dialog->combo->SetSelIndex(c.index)) << c.index;
        EXPECT_EQ(c.raw, Raw()) << c.index;
        int raw = 0;
        EXPECT_EQ(c.readBack, dialog->combo->GetSelIndex(raw)) << c.index;
        EXPECT_EQ(c.raw, raw);
    }
    // A raw selection on a separator reads as the rows before it less their separators.
    SendMessageW(*dialog->combo, CB_SETCURSEL, 4, 0);
    EXPECT_EQ(2, dialog->combo->GetSelIndex());
    // Forgetting the separators keeps the rows, whose indices are then raw.
    dialog->combo->ClearList();
    EXPECT_EQ(6, dialog->combo->GetCount());
    EXPECT_EQ(4, dialog->combo->GetSelIndex());
    EXPECT_EQ(2, dialog->combo->InsertString(u"inserted", 2));
    EXPECT_EQ(7, dialog->combo->GetCount());
    EXPECT_EQ(6, dialog->combo->DeleteString(2));
}

TEST_F(MenuComboControlTest, ArrowKeysNeverStopOnASeparator)
{
    struct Step {
        UINT key;
        int raw; // the row selected afterwards
    };
    struct Case {
        std::vector<std::u16string> rows;
        int start;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {{u"A", u"-", u"B", u"#Saved", u"-", u"C"}, 0, {{VK_DOWN, 2}, {VK_DOWN, 5}, {VK_DOWN, 5}, {VK_UP, 2}, {VK_UP, 0}}},
        {{u"-", u"#Top", u"X", u"Y"}, 2, {{VK_UP, 2}, {VK_DOWN, 3}, {VK_UP, 2}, {VK_UP, 2}}},
        {{u"X", u"-", u"#End"}, 0, {{VK_DOWN, 0}, {VK_UP, 0}}},
    };
    for (const Case& c : cases) {
        dialog->Fill(c.rows);
        SendMessageW(*dialog->combo, CB_SETCURSEL, static_cast<WPARAM>(c.start), 0);
        dialog->combo->SetFocus();
        for (const Step& step : c.steps) {
            ui::PressKey(step.key);
            EXPECT_EQ(step.raw, Raw()) << c.rows.size() << " key " << step.key;
        }
        // The same holds with the list dropped down, where left and right go up and down.
        ui::PressKey(VK_F4);
        ASSERT_TRUE(dialog->combo->GetDroppedState());
        SendMessageW(*dialog->combo, CB_SETCURSEL, static_cast<WPARAM>(c.start), 0);
        for (const Step& step : c.steps) {
            const UINT key = step.key == VK_UP ? VK_LEFT : VK_RIGHT;
            SendMessageW(List(), WM_KEYDOWN, key, 0);
            EXPECT_EQ(step.raw, Raw()) << "dropped, key " << key;
        }
        dialog->combo->HideList();
    }
}

TEST_F(MenuComboControlTest, ClicksInTheListAreSwallowedWhileASeparatorIsSelected)
{
    dialog->Fill({u"A", u"-", u"B"});
    ASSERT_EQ(dialog->combo->List(), owl::TWindow::GetWindowPtr(List()));
    dialog->combo->ShowList();
    const int row = dialog->combo->GetItemHeight(0);
    const LPARAM onB = MAKELPARAM(5, 2 * row + row / 2);
    SendMessageW(List(), LB_SETCURSEL, 1, 0);
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, onB);
    EXPECT_EQ(1, static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)));
    SendMessageW(List(), LB_SETCURSEL, 0, 0);
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, onB);
    EXPECT_EQ(2, static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)));
    dialog->combo->HideList();
}

// The dropped list follows the cursor, so a click on a separator finds it selected and is swallowed: the row
// below it is not chosen.
TEST_F(MenuComboControlTest, AClickOnASeparatorOfTheDroppedListChoosesNothing)
{
    dialog->Fill({u"A", u"-", u"B"});
    SendMessageW(*dialog->combo, CB_SETCURSEL, 0, 0);
    dialog->combo->ShowList();
    const int row = dialog->combo->GetItemHeight(0);
    ui::MouseMove(List(), POINT{5, row + row / 2});
    EXPECT_EQ(1, static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)));
    ui::Click(List(), POINT{5, row + row / 2});
    EXPECT_EQ(1, static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)));
    EXPECT_TRUE(dialog->combo->GetDroppedState());
    ui::MouseMove(List(), POINT{5, 2 * row + row / 2});
    ui::Click(List(), POINT{5, 2 * row + row / 2});
    EXPECT_EQ(2, Raw());
}

TEST_F(MenuComboControlTest, AComboOfItsOwnIsAMenuComboWhoseRowsLookLikeAMenu)
{
    auto* host = new owl::TWindow(nullptr, u"host");
    host->Attr.Style = WS_POPUP | WS_VISIBLE;
    host->Attr.W = 200;
    host->Attr.H = 150;
    auto* own = new MenuCombo(host, 40, 5, 5, 150, 120);
    host->Create();
    WCHAR name[32] = {};
    GetClassNameW(*own, name, 32);
    EXPECT_EQ(std::u16string(u"MenuCombo"), std::u16string(name));
    own->AddString(u"Default");
    own->AddString(u"");
    own->AddSeparatorRow(1);
    own->AddString(u"Saved presets");
    own->AddSeparatorRow(2);
    own->AddString(u"Fast pacing");
    own->AddString(u"Slow pacing with a long name that does not fit");
    own->SetSelIndex(1);
    EXPECT_EQ(3, static_cast<int>(SendMessageW(*own, CB_GETCURSEL, 0, 0)));
    own->ShowList();
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(*own, &info);
    const gdi::GoldenCheck golden = gdi::CheckGolden(ui::RenderWindow(info.hwndList), GoldenPath("menucombo_list.png"));
    EXPECT_TRUE(golden.ok) << golden.message;
    own->HideList();
    host->Destroy();
    delete host;
}
}
