#include "tests/tvf/gridfixture.h"

#include "tableview/tvf/gridtitlebar.h"

#include "platform/gdi/image.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/render.h"

using namespace TVF_Grid;
using namespace TVF_Grid::testing;

namespace {

// Four columns of 60 titled A to D: right edges at 60, 121, 182 and 243 in title-bar pixels.
class TitleBarTest : public GridTest {
protected:
    void SetUp() override
    {
        GridTest::SetUp();
        Pane().RemoveAllColumns();
        for (int c = 0; c < 4; ++c)
            Pane().AddColumn(std::make_unique<UniformGridColumn>(
                *grid, c, KVO::String(std::u16string(1, static_cast<char16_t>(u'A' + c))), 60));
        grid->Options().ColumnResizing = true;
        SetRows(5);
    }
    GridPane& Pane() { return grid->Pane(); }
    GridTitleBar& Bar() { return grid->TitleBar(); }
    HWND BarWindow() { return grid->TitleBar().GetHandle(); }
    int Middle() { return Bar().GetClientRect().Height() / 2; }
    // The selection of whole data column `column` (1-based, as the grid counts).
    CellRange WholeColumn(int column) { return Cells(1, 5, column, column); }
};

TEST_F(TitleBarTest, APressRightOfTheColumnsClearsAndAPressOnTheLastBorderStartsAResize)
{
    SelectOne(2, 2);
    ui::MouseDown(BarWindow(), {270, Middle()});
    EXPECT_FALSE(Selection().HasSelection());
    EXPECT_FALSE(Bar().Resizing());
    ui::MouseUp(BarWindow(), {270, Middle()});

    ui::MouseDown(BarWindow(), {245, Middle()}); // within reach of the last border, right of the last column
    EXPECT_TRUE(Bar().Resizing());
    EXPECT_EQ(Bar().CurrentColumn(), 3);
    EXPECT_EQ(Selection().GetRange(), WholeColumn(4));
    ui::MouseMove(BarWindow(), {200, Middle()});
    EXPECT_EQ(Pane().Column(3)->Width(), 200 - 183); // the border follows the pointer
    ui::MouseMove(BarWindow(), {100, Middle()});
    EXPECT_EQ(Pane().Column(3)->Width(), GridColumn::kDefaultMinWidth); // never left of its left edge + minimum
    ui::MouseUp(BarWindow(), {100, Middle()});
    EXPECT_FALSE(Bar().Resizing());
    ASSERT_FALSE(messageData.empty());
    EXPECT_EQ(messageData.back(), (std::pair<std::int32_t, std::int32_t>{4, 5}));
}

TEST_F(TitleBarTest, AFixedColumnsBorderResizesTheResizableColumnLeftOfIt)
{
    Pane().Column(1)->SetDisplayFlag(1, 0);
    EXPECT_EQ(Bar().BorderAt(121), 1);
    ui::Drag(BarWindow(), {121, Middle()}, {101, Middle()});
    EXPECT_EQ(Pane().Column(0)->Width(), 40);
    EXPECT_EQ(Pane().Column(1)->Width(), 60);
    EXPECT_EQ(Pane().Column(1)->Right(), 101);
    // The floor is that of column 0: its left edge, its minimum and the fixed column's span.
    ui::Drag(BarWindow(), {101, Middle()}, {0, Middle()});
    EXPECT_EQ(Pane().Column(0)->Width(), GridColumn::kDefaultMinWidth);
    EXPECT_EQ(Bar().ResizeFloor(), 0 + 5 + 61);
}

TEST_F(TitleBarTest, DroppingATitleOnItselfSelectsItsColumnAndElsewhereReportsTheMove)
{
    grid->Options().ColumnMoving = true;
    ui::Drag(BarWindow(), {20, Middle()}, {30, Middle()});
    EXPECT_EQ(Selection().GetRange(), WholeColumn(1));
    EXPECT_TRUE(std::find(messages.begin(), messages.end(), EventGridControl::kColumnMoved) == messages.end());

    ui::Drag(BarWindow(), {20, Middle()}, {150, Middle()});
    ASSERT_FALSE(messageData.empty());
    EXPECT_EQ(messages.back(), EventGridControl::kColumnMoved);
    EXPECT_EQ(messageData.back(), (std::pair<std::int32_t, std::int32_t>{1, 3}));
    EXPECT_FALSE(Bar().Dragging());
}

TEST_F(TitleBarTest, ADoubleClickOnATitleSelectsItsColumn)
{
    ui::DoubleClick(BarWindow(), {70, Middle()});
    EXPECT_EQ(Selection().GetRange(), WholeColumn(2));
    ui::DoubleClick(BarWindow(), {300, Middle()});
    EXPECT_FALSE(Selection().HasSelection());
}

TEST_F(TitleBarTest, TheCursorShowsWhereABorderCanBeDragged)
{
    ui::MouseMove(BarWindow(), {121, Middle()});
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_SIZEWE));
    ui::MouseMove(BarWindow(), {90, Middle()});
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
    grid->Options().ColumnResizing = false;
    ui::MouseMove(BarWindow(), {121, Middle()});
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(TitleBarTest, TheHeaderMenuOpensOnlyWithItems)
{
    struct Provider final : ITableRowMenuProvider {
        LONG count = 0;
        std::vector<std::pair<LONG, LONG>> asked;
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetMenuItemCount(DWORD, LONG row, LONG column, LONG* n) override
        {
            asked.push_back({row, column});
            *n = count;
            return S_OK;
        }
        HRESULT GetMenuItemText(DWORD, LONG, LONG, LONG, IKVOString** text) override
        {
            *text = KVO::String(u"Item").GetInterface();
            return S_OK;
        }
    } provider;
    grid->SetRowMenuProvider(&provider);
    ui::ClearTrackedPopups();
    ui::Click(BarWindow(), {70, Middle()}, ui::Button::Right);
    EXPECT_TRUE(ui::TrackedPopups().empty());
    ASSERT_EQ(provider.asked.size(), 1u);
    EXPECT_EQ(provider.asked[0], (std::pair<LONG, LONG>{0, 2}));

    provider.count = 3;
    ui::SetPopupMenuHook([](const ui::PopupMenuRequest&) { return 3u; });
    ui::Click(BarWindow(), {70, Middle()}, ui::Button::Right);
    ui::SetPopupMenuHook(nullptr);
    EXPECT_EQ(ui::TrackedPopups().size(), 1u);
    EXPECT_EQ(handler.calls.back(), "notifyex 8 2 0,2 2");
}

TEST_F(TitleBarTest, SelectedTitlesAreWhiteOnTheShadowColour)
{
    Selection().SetRange(Cells(2, 3, 2, 3));
    const gdi::Image picture = ui::RenderWindow(BarWindow());
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(picture.at(64, 3), shadow);  // column 1 (B)
    EXPECT_EQ(picture.at(125, 3), shadow); // column 2 (C)
    EXPECT_EQ(picture.at(3, 3), face);     // column 0 (A)
    EXPECT_EQ(picture.at(190, 3), face);   // column 3 (D)
    int white = 0;
    for (int x = 62; x < 121; ++x)
        for (int y = 1; y < picture.height - 1; ++y)
            white += picture.at(x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 5); // the title "B"
    const gdi::GoldenCheck check = gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/titlebar_selected.png");
    EXPECT_TRUE(check.ok) << check.message;
}

TEST_F(TitleBarTest, AColumnInTheFitStateTakesItsTitlesWidthAtThePaint)
{
    grid->Options().AutoFitColumns = true;
    Pane().Column(2)->SetState(GridColumn::kFitToTitle);
    ui::RenderWindow(BarWindow());
    EXPECT_EQ(Pane().Column(2)->State(), 0);
    EXPECT_LT(Pane().Column(2)->Width(), 30);
    ASSERT_FALSE(messageData.empty());
    EXPECT_EQ(messageData.back().first, 3);
    EXPECT_EQ(messageData.back().second, Pane().Column(2)->Width());
}

TEST_F(TitleBarTest, VerticalRequestsScrollByTheirRows)
{
    SetRows(100);
    const HWND bar = grid->VScrollBar().GetHandle();
    const auto request = [&](WORD code) { ::SendMessageW(grid->GetHandle(), WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar)); };
    struct Case {
        WORD code;
        int top;
    };
    const int last = 100 - Pane().VisibleRows();
    for (const Case& c : {Case{SB_PAGEDOWN, 2}, Case{SB_PAGEDOWN, 4}, Case{SB_PAGEUP, 3}, Case{SB_LINEDOWN, 4},
                          Case{SB_LINEUP, 3}, Case{SB_BOTTOM, last}, Case{SB_TOP, 0}}) {
        request(c.code);
        EXPECT_EQ(Pane().TopRow(), c.top) << c.code;
    }
}

TEST_F(TitleBarTest, HorizontalEndRequestsShowTheFirstAndTheLastColumns)
{
    for (int c = 4; c < 10; ++c)
        Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, c, KVO::String(u"x"), 60));
    grid->UpdateScrollBars(true);
    const HWND bar = grid->HScrollBar().GetHandle();
    ASSERT_NE(bar, nullptr);
    const auto request = [&](WORD code) { ::SendMessageW(grid->GetHandle(), WM_HSCROLL, code, reinterpret_cast<LPARAM>(bar)); };
    request(SB_BOTTOM);
    EXPECT_EQ(Pane().LeftColumn(), Pane().LastLeftColumn());
    EXPECT_GT(Pane().LeftColumn(), 0);
    const int lastLeft = Pane().LeftColumn();
    request(SB_LINEDOWN); // the page already reaches the end
    EXPECT_EQ(Pane().LeftColumn(), lastLeft);
    request(SB_PAGEUP);
    EXPECT_EQ(Pane().LeftColumn(), lastLeft - 1);
    request(SB_TOP);
    EXPECT_EQ(Pane().LeftColumn(), 0);
    request(SB_LINEDOWN);
    EXPECT_EQ(Pane().LeftColumn(), 1);
}

} // namespace
