// The menu combo box's row measuring and separator rows.
#include "controls/menucombo.h"
#include "platform/gdi/dc.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Host : public owl::TWindow {
public:
    Host() : TWindow(nullptr, u"host")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 300;
        Attr.H = 200;
    }
};

// The cell height of the dialog face at a logical height, measured on the screen.
int CellHeight(int logicalHeight)
{
    LOGFONTW log{};
    log.lfHeight = logicalHeight;
    std::char_traits<char16_t>::copy(log.lfFaceName, u"MS Shell Dlg 2", 15);
    HFONT font = CreateFontIndirectW(&log);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return tm.tmHeight + tm.tmExternalLeading;
}

class MenuComboTest : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        gdi::SetScreenDpi(96);
        ui::reset();
    }
};

TEST_F(MenuComboTest, RowsAreAQuarterTallerThanTheDialogFontAtEachDpi)
{
    for (const int dpi : {96, 120}) {
        gdi::SetScreenDpi(dpi);
        auto* host = new Host;
        auto* combo = new KVOControls::MenuCombo::MenuCombo(host, 30, 10, 10, 150, 120);
        // Measured before the combo has its window: nothing is changed.
        MEASUREITEMSTRUCT early{ODT_COMBOBOX, 30, 0, 0, 7, 0};
        combo->MeasureItem(early);
        EXPECT_EQ(7u, early.itemHeight);
        host->Create();
        const int fieldBefore = combo->GetItemHeight(-1);
        combo->AddString(u"first");
        const int expected = static_cast<int>(std::lround(CellHeight(MulDiv(10, dpi, 72)) * 1.25));
        EXPECT_EQ(expected, combo->GetItemHeight(0)) << dpi;
        EXPECT_EQ(expected, combo->GetItemHeight(-1)) << dpi; // the edit field, on the first measure
        EXPECT_EQ(expected, fieldBefore) << dpi; // measured as the combo was created
        // Later measures leave the edit field alone.
        combo->SetItemHeight(-1, 12);
        combo->AddString(u"second");
        EXPECT_EQ(expected, combo->GetItemHeight(1));
        EXPECT_EQ(12, combo->GetItemHeight(-1));
        EXPECT_FALSE(combo->IsSeparatorRow(1));
        combo->AddSeparatorRow(1);
        EXPECT_TRUE(combo->IsSeparatorRow(1));
        host->Destroy();
        delete host;
    }
}
}
