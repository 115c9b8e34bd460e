#include "tableview/tvf/gridselection.h"

#include "platform/win/winuser.h"

#include <vector>

namespace TVF_Grid {
namespace {
bool KeyDown(int key) { return (static_cast<unsigned short>(GetAsyncKeyState(key)) & 0x8000u) != 0; }

// The span from `pressed` to `at`, whichever way the pointer went.
void SpanBetween(GridPos& first, GridPos& end, const GridPos& pressed, const GridPos& at)
{
    first = at.Index <= pressed.Index ? at : pressed;
    const GridPos& last = at.Index >= pressed.Index ? at : pressed;
    end = {last.Index + 1, last.Origin};
}
} // namespace

unsigned GridSelection::GetKeyFlags()
{
    return (KeyDown(VK_LCONTROL) ? kCtrl : 0u) | (KeyDown(VK_LSHIFT) ? kShift : 0u);
}

bool GridSelection::IsRowNumberColumn(const GridPos& column) const
{
    return !column.IsSet() || column.Index < column.Origin;
}

CellRange GridSelection::WholeRow(const GridPos& row) const
{
    const int c0 = grid_.FirstDataColumn();
    return {row, {row.Index + 1, row.Origin}, {c0, c0}, {c0 + grid_.PaneColumnCount(), c0}};
}

void GridSelection::SpanToAnchorRow(const GridPos& row)
{
    if (row.Index > anchorRow_.Index)
        range_.FirstRow = anchorRow_;
    else if (row.Index < anchorRow_.Index)
        range_.EndRow = {anchorRow_.Index + 1, anchorRow_.Origin};
}

bool GridSelection::SelectCell(const GridPos& row, const GridPos& column, unsigned flags)
{
    pressedRow_ = row;
    pressedColumn_ = column;
    fromMouse_ = true;
    const CellRange old = range_;
    const bool shift = (flags & kShift) != 0;
    const bool ctrl = (flags & kCtrl) != 0;

    if (row.IsData()) {
        const bool wholeRow = rowSelection_ || IsRowNumberColumn(column);
        range_ = wholeRow ? WholeRow(row) : CellRange{row, {row.Index + 1, row.Origin}, column, {column.Index + 1, column.Origin}};
        if (shift) {
            if (!anchorRow_.IsSet() || !anchorColumn_.IsSet()) {
                anchorRow_ = row;
                anchorColumn_ = column;
            }
            SpanToAnchorRow(row);
            if (!wholeRow)
                range_.Include(anchorRow_, anchorColumn_);
        } else {
            anchorRow_ = row;
            anchorColumn_ = column;
            // Ctrl grows the previous selection; with nothing selected before, the press alone stands.
            if (ctrl && old.IsValid()) {
                range_ = old;
                range_.IncludeRow(row);
                if (!wholeRow)
                    range_.Include(anchorRow_, anchorColumn_);
            }
        }
    } else if (row.IsSet() && !rowSelection_) {
        const int r0 = grid_.FirstDataRow();
        range_ = {{r0, r0}, {r0 + grid_.PaneRowCount(), r0}, column, {column.Index + 1, column.Origin}};
        if (shift) {
            if (!anchorRow_.IsSet() || !anchorColumn_.IsSet()) {
                anchorRow_ = row;
                anchorColumn_ = column;
            }
            if (column.Index > anchorColumn_.Index)
                range_.FirstColumn = anchorColumn_;
            else if (column.Index < anchorColumn_.Index)
                range_.EndColumn = {anchorColumn_.Index + 1, anchorColumn_.Origin};
        } else {
            anchorRow_ = row;
            anchorColumn_ = column;
            if (ctrl && old.IsValid()) {
                range_ = old;
                range_.IncludeColumn(column);
            }
        }
    }

    if (range_ == old)
        return false;
    if (range_.IsOneCell())
        Notify();
    return true;
}

bool GridSelection::ExtendTo(unsigned flags, const GridPos& row, const GridPos& column)
{
    if (!pressedRow_.IsSet())
        return false;
    if (flags & kRightButton)
        return SelectCell(row, column, flags);
    const CellRange old = range_;
    if (rowSelection_ || IsRowNumberColumn(column)) {
        SpanBetween(range_.FirstRow, range_.EndRow, pressedRow_, row);
    } else if (!row.IsData()) {
        SpanBetween(range_.FirstColumn, range_.EndColumn, pressedColumn_, column);
    } else {
        SpanBetween(range_.FirstRow, range_.EndRow, pressedRow_, row);
        SpanBetween(range_.FirstColumn, range_.EndColumn, pressedColumn_, column);
    }
    if (range_ == old)
        return false;
    Notify();
    return true;
}

bool GridSelection::EndPress(const GridPos& row, const GridPos& column, unsigned flags)
{
    if (ITableUserActionHandler* handler = grid_.ActionHandler()) {
        const DWORD k = (flags & kRightButton) ? 4u : (flags & kDoubleClick) ? 2u : 1u;
        const DWORD actionFlags = grid_.ActionFlags() | k;
        if (range_.IsOneCell())
            handler->OnCellAction(actionFlags, row.Index, column.Index);
        else if (range_.IsValid())
            Notify();
        if (row.IsSet() && !row.IsData())
            handler->OnCellAction(actionFlags, row.Index, column.Index);
    }
    pressedRow_.Unset();
    pressedColumn_.Unset();
    return false;
}

bool GridSelection::SetRange(const CellRange& range)
{
    CellRange wanted = range;
    if (rowSelection_) {
        const int c0 = grid_.FirstDataColumn();
        wanted.FirstColumn = {c0, c0};
        wanted.EndColumn = {c0 + grid_.PaneColumnCount(), c0};
    }
    if (wanted == range_)
        return false;
    range_ = wanted;
    Notify();
    if (range_.IsOneCell()) {
        anchorRow_ = range_.FirstRow;
        anchorColumn_ = range_.FirstColumn;
    }
    return true;
}

void GridSelection::Clear()
{
    pressedRow_.Unset();
    pressedColumn_.Unset();
    anchorRow_.Unset();
    anchorColumn_.Unset();
    if (range_.IsValid()) {
        range_.Unset();
        Notify();
    }
}

void GridSelection::Notify()
{
    grid_.OnSelectionRepaint();
    if (ITableUserActionHandler* handler = grid_.ActionHandler()) {
        const DWORD flags = grid_.ActionFlags() + (fromMouse_ ? 1u : 0u);
        if (range_.IsValid()) {
            // One entry per column: a selection of a million rows costs what one of ten does.
            std::vector<TableRange> ranges;
            ranges.reserve(static_cast<std::size_t>(range_.EndColumn.Index - range_.FirstColumn.Index));
            for (int c = range_.FirstColumn.Index; c < range_.EndColumn.Index; ++c)
                ranges.push_back({c, range_.FirstRow.Index, range_.EndRow.Index});
            handler->OnSelectionChanged(flags, ranges.data(), static_cast<LONG>(ranges.size()));
        } else {
            const TableRange none{0, 0, 0};
            handler->OnSelectionChanged(flags, &none, 1);
        }
    }
    fromMouse_ = false;
}

} // namespace TVF_Grid
