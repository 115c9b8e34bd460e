#include "tableview/tvf/gridselection.h"

#include "platform/ui/input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace TVF_Grid;

namespace {

// Records what the grid reports, as a readable line per call.
class RecordingHandler final : public ITableUserActionHandler {
public:
    std::vector<std::string> calls;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count) override
    {
        std::string line = "sel " + std::to_string(flags);
        for (LONG i = 0; i < count; ++i)
            line += " " + std::to_string(ranges[i].column) + ":" + std::to_string(ranges[i].firstRow) + "-" +
                    std::to_string(ranges[i].endRow);
        calls.push_back(line);
        return S_OK;
    }
    HRESULT OnCellAction(DWORD flags, LONG row, LONG column) override
    {
        calls.push_back("action " + std::to_string(flags) + " " + std::to_string(row) + "," + std::to_string(column));
        return S_OK;
    }
    HRESULT OnCellNotify(DWORD, LONG, LONG, IKVOString*) override { return S_OK; }
    HRESULT OnCellNotifyEx(DWORD, LONG, LONG, LONG, LONG) override { return S_OK; }
    HRESULT OnFollowLatestChanged(DWORD, VARIANT_BOOL) override { return S_OK; }
};

class FakeGrid final : public SelectionSite {
public:
    int rows = 10;
    int columns = 4;
    int repaints = 0;
    RecordingHandler handler;
    bool withHandler = true;

    int FirstDataRow() const override { return 1; }
    int FirstDataColumn() const override { return 1; }
    int PaneRowCount() const override { return rows; }
    int PaneColumnCount() const override { return columns; }
    ITableUserActionHandler* ActionHandler() const override
    {
        return withHandler ? const_cast<RecordingHandler*>(&handler) : nullptr;
    }
    DWORD ActionFlags() const override { return 8; }
    void OnSelectionRepaint() override { ++repaints; }
};

GridPos Row(int r) { return {r, 1}; }
GridPos Col(int c) { return {c, 1}; }
const GridPos kTitleRow{0, 1};
const GridPos kRowNumbers{0, 1};

CellRange Cells(int r0, int r1, int c0, int c1) { return {Row(r0), Row(r1 + 1), Col(c0), Col(c1 + 1)}; }

using Calls = std::vector<std::string>;

TEST(GridSelection, ClicksReportTheButtonInTheActionFlags)
{
    struct Case {
        const char* name;
        unsigned pressFlags;
        unsigned releaseFlags;
        const char* action;
    };
    const Case cases[] = {
        {"left click", 0, 0, "action 9 3,2"},
        {"right click", 0, GridSelection::kRightButton, "action 12 3,2"},
        {"double click", GridSelection::kDoubleClick, GridSelection::kDoubleClick, "action 10 3,2"},
    };
    for (const Case& c : cases) {
        FakeGrid grid;
        GridSelection selection(grid, false);
        EXPECT_TRUE(selection.SelectCell(Row(3), Col(2), c.pressFlags));
        selection.EndPress(Row(3), Col(2), c.releaseFlags);
        EXPECT_EQ(grid.handler.calls, (Calls{"sel 9 2:3-4", c.action})) << c.name;
        EXPECT_EQ(selection.GetRange(), Cells(3, 3, 2, 2));
        EXPECT_FALSE(selection.HasPressedCell());
    }
}

TEST(GridSelection, DragNotifiesEachChangeAndOnceAtTheReleaseWithoutACellAction)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    selection.SelectCell(Row(2), Col(1), 0);
    EXPECT_TRUE(selection.ExtendTo(0, Row(3), Col(1)));
    EXPECT_FALSE(selection.ExtendTo(0, Row(3), Col(1))); // same rectangle
    EXPECT_TRUE(selection.ExtendTo(0, Row(4), Col(2)));
    EXPECT_TRUE(selection.ExtendTo(0, Row(1), Col(1)));  // back above the press
    selection.EndPress(Row(1), Col(1), 0);
    EXPECT_EQ(grid.handler.calls, (Calls{"sel 9 1:2-3", "sel 8 1:2-4", "sel 8 1:2-5 2:2-5", "sel 8 1:1-3",
                                         "sel 8 1:1-3"}));
    EXPECT_FALSE(selection.ExtendTo(0, Row(5), Col(3))); // no press under way
}

TEST(GridSelection, ShiftMakesARectangleFromTheAnchorAndCtrlGrowsThePreviousRange)
{
    struct Case {
        const char* name;
        unsigned flags;
        CellRange expected;
    };
    const Case cases[] = {
        {"shift below right", GridSelection::kShift, Cells(3, 6, 2, 4)},
        {"shift above left", GridSelection::kShift, Cells(1, 3, 1, 2)},
        {"ctrl", GridSelection::kCtrl, Cells(3, 6, 2, 4)},
    };
    const GridPos targets[][2] = {{Row(6), Col(4)}, {Row(1), Col(1)}, {Row(6), Col(4)}};
    for (int i = 0; i < 3; ++i) {
        FakeGrid grid;
        GridSelection selection(grid, false);
        selection.SelectCell(Row(3), Col(2), 0);
        selection.EndPress(Row(3), Col(2), 0);
        selection.SelectCell(targets[i][0], targets[i][1], cases[i].flags);
        selection.EndPress(targets[i][0], targets[i][1], 0);
        EXPECT_EQ(selection.GetRange(), cases[i].expected) << cases[i].name;
    }
}

TEST(GridSelection, ShiftWithoutAnAnchorSelectsTheCellAlone)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    selection.SelectCell(Row(4), Col(3), GridSelection::kShift);
    EXPECT_EQ(selection.GetRange(), Cells(4, 4, 3, 3));
}

TEST(GridSelection, CtrlOnARowNumberWithNothingSelectedSelectsTheRow)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    selection.SelectCell(Row(4), kRowNumbers, GridSelection::kCtrl);
    EXPECT_EQ(selection.GetRange(), Cells(4, 4, 1, 4));
    selection.SelectCell(Row(7), kRowNumbers, GridSelection::kCtrl);
    EXPECT_EQ(selection.GetRange(), Cells(4, 7, 1, 4));
}

TEST(GridSelection, TitleClickSelectsTheColumnAndReportsTheTitleCell)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    selection.SelectCell(kTitleRow, Col(3), 0);
    EXPECT_TRUE(grid.handler.calls.empty()); // a larger range waits for the release
    selection.EndPress(kTitleRow, Col(3), 0);
    EXPECT_EQ(selection.GetRange(), Cells(1, 10, 3, 3));
    EXPECT_EQ(grid.handler.calls, (Calls{"sel 9 3:1-11", "action 9 0,3"}));

    // Shift on another title spans the columns between; Ctrl adds one.
    selection.SelectCell(kTitleRow, Col(1), GridSelection::kShift);
    EXPECT_EQ(selection.GetRange(), Cells(1, 10, 1, 3));
    selection.SelectCell(kTitleRow, Col(4), 0);
    selection.SelectCell(kTitleRow, Col(2), GridSelection::kCtrl);
    EXPECT_EQ(selection.GetRange(), Cells(1, 10, 2, 4));
}

TEST(GridSelection, RowSelectionModeSpansAllColumns)
{
    FakeGrid grid;
    GridSelection selection(grid, true);
    selection.SelectCell(Row(2), Col(3), 0);
    EXPECT_EQ(selection.GetRange(), Cells(2, 2, 1, 4));
    selection.ExtendTo(0, Row(5), Col(1));
    EXPECT_EQ(selection.GetRange(), Cells(2, 5, 1, 4));
    EXPECT_FALSE(selection.SelectCell(kTitleRow, Col(2), 0)); // a title press keeps the range
    selection.SetRange(Cells(7, 7, 2, 2));
    EXPECT_EQ(selection.GetRange(), Cells(7, 7, 1, 4));
}

TEST(GridSelection, SettingTheSameRangeTwiceNotifiesOnceAndAOneCellRangeBecomesTheAnchor)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    EXPECT_TRUE(selection.SetRange(Cells(2, 4, 1, 2)));
    EXPECT_FALSE(selection.SetRange(Cells(2, 4, 1, 2)));
    EXPECT_EQ(grid.handler.calls, (Calls{"sel 8 1:2-5 2:2-5"}));
    EXPECT_EQ(grid.repaints, 1);

    selection.SetRange(Cells(6, 6, 3, 3));
    EXPECT_EQ(selection.AnchorRow(), Row(6));
    selection.SelectCell(Row(8), Col(4), GridSelection::kShift);
    EXPECT_EQ(selection.GetRange(), Cells(6, 8, 3, 4));
}

TEST(GridSelection, ClearingNotifiesOnlyWhenSomethingWasSelected)
{
    FakeGrid grid;
    GridSelection selection(grid, false);
    selection.Clear();
    EXPECT_TRUE(grid.handler.calls.empty());
    selection.SetRange(Cells(1, 1, 1, 1));
    selection.Clear();
    EXPECT_EQ(grid.handler.calls, (Calls{"sel 8 1:1-2", "sel 8 0:0-0"}));
    EXPECT_FALSE(selection.HasSelection());
}

TEST(GridSelection, WithoutAHandlerAReleaseOnlyEndsThePress)
{
    FakeGrid grid;
    grid.withHandler = false;
    GridSelection selection(grid, false);
    selection.SelectCell(Row(2), Col(2), 0);
    EXPECT_TRUE(selection.HasPressedCell());
    selection.EndPress(Row(2), Col(2), 0);
    EXPECT_FALSE(selection.HasPressedCell());
    EXPECT_EQ(grid.repaints, 1);
}

TEST(GridSelection, MouseKeysReadOnlyTheLeftCtrlAndShift)
{
    struct Case {
        UINT key;
        unsigned flags;
    };
    const Case cases[] = {{VK_LCONTROL, GridSelection::kCtrl}, {VK_LSHIFT, GridSelection::kShift},
                          {VK_RCONTROL, 0}, {VK_RSHIFT, 0}};
    for (const Case& c : cases) {
        ui::KeyDown(c.key);
        EXPECT_EQ(GridSelection::GetKeyFlags(), c.flags) << c.key;
        ui::KeyUp(c.key);
    }
    EXPECT_EQ(GridSelection::GetKeyFlags(), 0u);
}

TEST(GridSelection, SelectingAMillionRowsReportsOneRangePerColumn)
{
    FakeGrid grid;
    grid.rows = 1'000'000;
    GridSelection selection(grid, false);
    selection.SelectCell(kTitleRow, Col(2), 0);
    selection.EndPress(kTitleRow, Col(2), 0);
    EXPECT_EQ(grid.handler.calls.front(), "sel 9 2:1-1000001");
}

} // namespace
