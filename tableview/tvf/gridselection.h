// The selection of one grid: a rectangular cell range, the cell where the current mouse press began and the anchor
// from which Shift extends. Every change repaints the grid and tells the action handler which cells are selected.
#pragma once

#include "tableview/tvf/gridpositions.h"
#include "sdk/tableview.h"

namespace TVF_Grid {

// What the selection needs of its grid.
class SelectionSite {
public:
    virtual int FirstDataRow() const = 0;
    virtual int FirstDataColumn() const = 0;
    virtual int PaneRowCount() const = 0;
    virtual int PaneColumnCount() const = 0;
    virtual ITableUserActionHandler* ActionHandler() const = 0;
    virtual DWORD ActionFlags() const = 0;
    // Closes in-place editors and invalidates the grid and its panes.
    virtual void OnSelectionRepaint() = 0;

protected:
    ~SelectionSite() = default;
};

class GridSelection {
public:
    // Key flags of the selection operations.
    static constexpr unsigned kRightButton = 1;
    static constexpr unsigned kShift = 2;
    static constexpr unsigned kCtrl = 4;
    static constexpr unsigned kDoubleClick = 8;

    GridSelection(SelectionSite& grid, bool rowSelection) : grid_(grid), rowSelection_(rowSelection) {}

    bool SelectCell(const GridPos& row, const GridPos& column, unsigned flags);
    bool ExtendTo(unsigned flags, const GridPos& row, const GridPos& column);
    bool EndPress(const GridPos& row, const GridPos& column, unsigned flags);
    bool SetRange(const CellRange& range);
    void Clear();
    bool HasSelection() const { return range_.IsValid(); }
    const CellRange& GetRange() const { return range_; }
    bool RowSelection() const { return rowSelection_; }
    bool HasPressedCell() const { return pressedRow_.IsSet(); }
    // Forgets the cell of the current press (a choice list opened on it takes the mouse from here).
    void UnsetPressedCell()
    {
        pressedRow_.Unset();
        pressedColumn_.Unset();
    }
    const GridPos& AnchorRow() const { return anchorRow_; }
    const GridPos& AnchorColumn() const { return anchorColumn_; }

    // 4 for the left Ctrl key, 2 for the left Shift key; the right-hand keys play no part in mouse selection.
    static unsigned GetKeyFlags();
    bool SelectCellWithKeys(const GridPos& row, const GridPos& column) { return SelectCell(row, column, GetKeyFlags()); }
    bool ExtendToWithKeys(const GridPos& row, const GridPos& column) { return ExtendTo(GetKeyFlags(), row, column); }
    bool EndPressWithKeys(const GridPos& row, const GridPos& column) { return EndPress(row, column, GetKeyFlags()); }

private:
    bool IsRowNumberColumn(const GridPos& column) const;
    CellRange WholeRow(const GridPos& row) const;
    void SpanToAnchorRow(const GridPos& row);
    void Notify();

    SelectionSite& grid_;
    CellRange range_;
    bool rowSelection_;
    GridPos pressedRow_;
    GridPos pressedColumn_;
    GridPos anchorRow_;
    GridPos anchorColumn_;
    bool fromMouse_ = false;
};

} // namespace TVF_Grid
