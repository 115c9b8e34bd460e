#include "tableview/tvf/gridcells.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"

#include <gtest/gtest.h>

#include <limits>

using namespace TVF_Grid;

namespace {

TEST(UnsignedCell, ShowsItsValueAsASignedNumber)
{
    struct Case {
        std::uint32_t value;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, u"0"},
        {42, u"42"},
        {TVF_CellUint32Data::kNoNumber, u"-2147483647"},
        {0x80000000u, u"-2147483648"},
        {0x7FFFFFFFu, u"2147483647"},
        {0xFFFFFFFFu, u"-1"},
    };
    for (const Case& c : cases) {
        TVF_CellUint32Data cell;
        cell.SetValue(c.value);
        EXPECT_EQ(cell.GetValue(), c.value);
        EXPECT_EQ(cell.GetText(), c.text) << c.value;
    }
}

TEST(Cells, NewCellsHoldTheEmptyTextAndStringCellsShareTheirText)
{
    TVF_CellStringData text;
    TVF_CellUint32Data number;
    EXPECT_TRUE(text.GetText().IsEmpty());
    EXPECT_TRUE(number.GetText().IsEmpty());

    KVO::String source(u"abc");
    text.SetText(source);
    source = u"changed";
    EXPECT_EQ(text.GetText(), u"abc");
}

TEST(UniformCursor, WalksRowsOfOneHeightFromTheTopOfThePane)
{
    EventGridControl grid(nullptr);
    GridPane& pane = grid.Pane();
    pane.SetRowCount(1000);
    pane.SetClientHeight(10 * GridPane::kRowHeight);
    pane.ScrollToRow(100);
    GridColumn& column = pane.AddColumn(std::make_unique<UniformGridColumn>(grid, 0, u"", 50));

    // Row 103 (origin 1) is the third row below the top row 100 (data rows count from the origin).
    auto cursor = column.CreateRowCursor({104, 1}, {106, 1});
    auto& uniform = dynamic_cast<UniformRowPosCursor&>(*cursor);
    EXPECT_EQ(uniform.Top(), 3 * 16);
    EXPECT_EQ(uniform.Bottom(), 4 * 16);
    EXPECT_TRUE(cursor->IsValid());
    EXPECT_EQ(cursor->Next(), 5 * 16);
    EXPECT_EQ(uniform.Row().Index, 105);
    EXPECT_TRUE(cursor->IsValid());
    cursor->Next();
    EXPECT_FALSE(cursor->IsValid());

    auto far = column.CreateRowCursor({101, 1}, {200, 1});
    EXPECT_EQ(far->Advance(5), 5 * 16);
    EXPECT_EQ(dynamic_cast<UniformRowPosCursor&>(*far).Top(), 5 * 16);
}

TEST(PaneGeometry, TopRowStaysWithinTheRowsAndKeepsTheLastPageFull)
{
    struct Case {
        int rows, visible, wanted;
        bool pastEnd;
        int top;
    };
    const Case cases[] = {
        {100, 10, 50, false, 50},
        {100, 10, 95, false, 90},
        {100, 10, 95, true, 95},
        {100, 10, -3, false, 0},
        {5, 10, 3, false, 0},   // all rows fit
        {0, 10, 0, false, 0},
        {1'000'000, 30, 1'000'000, false, 999'970},
    };
    for (const Case& c : cases) {
        EventGridControl grid(nullptr);
        GridPane& pane = grid.Pane();
        pane.AddColumn(std::make_unique<UniformGridColumn>(grid, 0, u"", 50));
        pane.SetRowCount(c.rows);
        pane.SetClientHeight(c.visible * GridPane::kRowHeight + 7); // partial rows do not count
        EXPECT_EQ(pane.VisibleRows(), c.visible);
        pane.ScrollToRow(c.wanted, !c.pastEnd);
        EXPECT_EQ(pane.TopRow(), c.top) << c.rows << " rows, wanted " << c.wanted;
        EXPECT_EQ(pane.VerticalOffset(), c.top * 16);
    }
}

TEST(PaneGeometry, RowUnderAPointIsLimitedToTheLastRow)
{
    EventGridControl grid(nullptr);
    GridPane& pane = grid.Pane();
    pane.SetRowCount(20);
    pane.SetClientHeight(160);
    pane.ScrollToRow(5);
    EXPECT_EQ(pane.RowAt(0), 5);
    EXPECT_EQ(pane.RowAt(15), 5);
    EXPECT_EQ(pane.RowAt(16), 6);
    EXPECT_EQ(pane.RowAt(10'000), 19);
    EXPECT_EQ(pane.RowAt(-1), 4);
}

TEST(PaneGeometry, ColumnsSitSideBySideWithAOnePixelLine)
{
    EventGridControl grid(nullptr);
    GridPane& pane = grid.Pane();
    pane.SetClientSize(60, 100);
    for (int i = 0; i < 3; ++i)
        pane.AddColumn(std::make_unique<UniformGridColumn>(grid, i, u"", 40 + 10 * i));
    EXPECT_EQ(pane.Column(1)->Left(), 41);
    EXPECT_EQ(pane.Column(2)->Left(), 41 + 51);
    EXPECT_EQ(pane.ContentWidth(), 41 + 51 + 61);
    pane.SetLeftColumn(2);
    EXPECT_EQ(pane.HorizontalOffset(), 92);
    pane.SetColumnWidth(0, 10);
    EXPECT_EQ(pane.HorizontalOffset(), 11 + 51);
    pane.SetLeftColumn(9);
    EXPECT_EQ(pane.LeftColumn(), 2);
    EXPECT_EQ(pane.Column(3), nullptr);
}

} // namespace
