// A dialog built from a template that holds a selection combo, rendered and compared with golden pictures: the
// dialog with the combo closed, and the combo's dropped list with its special, separator and check-box rows.
#include "controls/checklistcombo.h"
#include "foundation/selectionlist.h"
#include "platform/gdi/image.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr int kLabelId = 100;
constexpr int kChannelsId = 101;

HINSTANCE Module() { return platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&Module)); }

ui::DialogTemplateData ChannelsTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 186;
    t.cy = 64;
    t.caption = u"Channels";
    t.items = {
        {u"Static", u"&Channels:", kLabelId, 7, 10, 44, 8, WS_VISIBLE | SS_LEFT},
        {u"ComboBox", u"", kChannelsId, 54, 8, 125, 110,
         WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_OWNERDRAWVARIABLE |
             CBS_HASSTRINGS},
        {u"Button", u"OK", IDOK, 75, 43, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", IDCANCEL, 129, 43, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    };
    return t;
}

class ChannelsDialog : public owl::TDialog {
public:
    explicit ChannelsDialog(owl::TModule* module) : TDialog(nullptr, owl::TResId(u"CHANNELS"), module)
    {
        Channels = new KVO::SelectionCombo(this, kChannelsId);
    }
    void SetupWindow() override
    {
        TDialog::SetupWindow();
        Channels->AddString(u"Every channel");
        Channels->AddString(u"");
        for (const char16_t* name : {u"Pressure", u"Flow", u"Temperature", u"Heart rate", u"A very long channel name"}) {
            Channels->AddString(name);
        }
        Channels->SetSpecialRows(0, -1);
        Channels->AddSeparatorRow(1);
        Channels->SetFirstSelectableRow(2);
        Channels->SetSelection(KVO::ParseSelectionList(u"1,3-5", KVO::String(u"all")));
    }
    KVO::SelectionCombo* Channels;
};

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::RegisterDialogTemplate(Module(), u"CHANNELS", ChannelsTemplate());
    }
    void TearDown() override { ui::reset(); }
};

TEST_F(RenderTest, DialogWithASelectionComboAndItsDroppedList)
{
    owl::TModule module(u"tests", Module());
    auto* dialog = new ChannelsDialog(&module);
    dialog->Create();
    dialog->ShowWindow(SW_SHOW);
    // The rows are measured for the dialog font once the combo has its window; so is its edit field.
    const int row = dialog->Channels->GetItemHeight(2);
    EXPECT_EQ(row, dialog->Channels->GetItemHeight(-1));
    EXPECT_EQ(u"1,3-5", dialog->Channels->GetText());

    SetFocus(GetDlgItem(*dialog, IDOK));
    const gdi::Image closed = ui::RenderWindow(*dialog);
    const gdi::GoldenCheck closedCheck =
        gdi::CheckGolden(closed, std::string(TEST_DATA_DIR) + "/selection_dialog.png", 8, 40);
    EXPECT_TRUE(closedCheck.ok) << closedCheck.message;

    dialog->Channels->SetFocus();
    dialog->Channels->SetSelIndex(2); // the third row that is not a separator
    ui::PressKey(VK_F4);
    ASSERT_TRUE(dialog->Channels->GetDroppedState());
    HWND list = nullptr;
    for (HWND w : ui::TopLevelWindows()) {
        WCHAR name[16] = {};
        GetClassNameW(w, name, 16);
        if (std::u16string_view(name) == u"ComboLBox" && IsWindowVisible(w)) {
            list = w;
        }
    }
    ASSERT_NE(nullptr, list);
    const gdi::Image dropped = ui::RenderWindow(list);
    EXPECT_EQ(7 * row + 2, dropped.height); // every row, inside a one-pixel border
    const gdi::GoldenCheck droppedCheck =
        gdi::CheckGolden(dropped, std::string(TEST_DATA_DIR) + "/selection_list.png", 8, 40);
    EXPECT_TRUE(droppedCheck.ok) << droppedCheck.message;

    ui::PressKey(VK_ESCAPE);
    dialog->Destroy();
    delete dialog;
}
}
