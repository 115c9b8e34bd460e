// The cell area of a grid: its columns, the row height, the row count and the scroll position; it paints the visible
// cells through the grid's renderer into an off-screen bitmap, turns the mouse into selection changes, offers a
// cell's popup menu and runs the in-place editor of a cell. Everything here is arithmetic on the top row and the
// visible rows, so that a table of a million rows costs what one of ten does.
#pragma once

#include "platform/owl/window.h"
#include "tableview/tvf/gridcells.h"
#include "tableview/tvf/gridcolumn.h"

#include <memory>
#include <utility>
#include <vector>

namespace TVF_Grid {

class ControlAlias;
class GridControl;
class GridControlClass;
class GridItemControl;
class GridRenderer;
class GridSelection;

class GridPane : public OWL::TWindow {
public:
    static constexpr int kRowHeight = 16;
    // The key argument of OpenEditor when no key opened it.
    static constexpr uint kNoKey = 0;

    explicit GridPane(GridControl& grid);
    ~GridPane() override;

    LPCWSTR GetClassName() override { return u"GridPane"; }
    GridControl& Grid() const { return grid_; }

    // Rows; row numbers here are pane rows (0 is the first data row).
    int RowHeight() const { return kRowHeight; }
    int RowCount() const { return rows_; }
    void SetRowCount(int rows);
    int TopRow() const { return topRow_; }
    int VerticalOffset() const { return topRow_ * kRowHeight; }
    int VisibleRows() const { return visibleRows_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    // The client size that the layout gives; the visible rows are the whole rows that fit.
    void SetClientSize(int width, int height);
    void SetClientHeight(int height) { SetClientSize(clientWidth_, height); }
    // Makes `row` the top row, within the rows; with `keepLastPageFull` never so far that the last page is not full.
    void ScrollToRow(int row, bool keepLastPageFull = true);
    // Rows visible now: [TopRow, VisibleEnd).
    int VisibleEnd() const;
    std::pair<int, int> GetVisibleRowSpan() const { return {topRow_, VisibleEnd()}; }
    // The row under a pane y, limited to the last row.
    int RowAt(int y) const;

    // Columns, in display order; x values are content pixels unless a name says otherwise.
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    GridColumn* Column(int i) const { return i >= 0 && i < ColumnCount() ? columns_[i].get() : nullptr; }
    // Appends a column one pixel right of the last one.
    GridColumn& AddColumn(std::unique_ptr<GridColumn> column);
    void RemoveAllColumns();
    // The first column whose span [left, right] holds the pane x plus the horizontal offset; else the last one.
    int ColumnAt(int x) const;
    // Sum of (width + 1) over the columns from `first` on.
    int TotalWidth(int first = 0) const;
    int ContentWidth() const { return TotalWidth(); }
    // How many columns from the left column fit in the client width; at least 1 when there are any.
    int FullyVisibleColumns() const;
    // The left column that shows the last columns.
    int LastLeftColumn() const;
    int LeftColumn() const { return leftColumn_; }
    int HorizontalOffset() const { return xOffset_; }
    void SetLeftColumn(int column);
    // The cell's rectangle in pane pixels; false when it is not on screen.
    bool GetCellRect(int row, int column, RECT& rect) const;
    void InvalidateCell(int row, int column);
    void InvalidateRowSpan(int first, int last);

    // Column widths.
    void SetColumnWidth(int column, int width);
    // Starts a width change: nothing changed yet, the old content ends at the last column's right edge.
    void BeginColumnResize();
    // Moves the right edge of `column` (content pixels); a fixed column passes the change to the nearest resizable
    // column to its left.
    void SetColumnRight(int column, int right);
    // Repaints what the width change moved, moves an open editor along, and reports the column's width.
    void ColumnWidthChanged(int column);

    bool GridLines() const { return gridLines_; }
    void SetGridLines(bool on) { gridLines_ = on; }
    // Paints the cells; the grid itself until the table window installs its own.
    GridRenderer* Renderer() const { return renderer_; }
    void SetRenderer(GridRenderer* renderer) { renderer_ = renderer; }

    // In-place editing; rows and columns are pane rows and pane columns.
    bool OpenEditor(int row, int column, uint key);
    void BeginEditAt(int row, int column);
    void TransferFromEditor();
    void CommitEditor();
    void CloseEditors();
    // A key for the open editor: Tab and Enter store and close, Escape closes, others go to the editor.
    void EditorKey(uint key, uint repeatCount, uint flags);
    bool HasEditor() const { return item_ != nullptr; }
    GridItemControl* ItemControl() const { return item_.get(); }
    int EditedRow() const { return editedRow_; }
    int EditedColumn() const { return editedColumn_; }

protected:
    OWL::TResult WindowProc(OWL::TMsgId message, OWL::TParam1 p1, OWL::TParam2 p2) override;
    void Paint(OWL::TDC& dc, bool erase, OWL::TRect& rect) override;
    bool EvEraseBkgnd(HDC) override { return true; }
    void EvSize(uint sizeType, const OWL::TSize& size) override;
    void EvLButtonDown(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonDblClk(uint modKeys, const OWL::TPoint& point) override;
    void EvRButtonDown(uint modKeys, const OWL::TPoint& point) override;
    void EvRButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvContextMenu(HWND child, int x, int y) override;
    void EvMouseMove(uint modKeys, const OWL::TPoint& point) override;
    void EvKeyDown(uint key, uint repeatCount, uint flags) override;

private:
    // The pane cell under a point; false outside the cells (on their far edges too unless `edgesIn`).
    bool CellAt(const OWL::TPoint& point, bool edgesIn, int& row, int& column) const;
    // A press focuses the pane; outside the cells it clears the selection. The selection when inside, else null.
    GridSelection* PressCell(const OWL::TPoint& point, int& row, int& column);
    GridPos RowPos(int row) const;
    GridPos ColumnPos(int column) const;
    long CellStyle(int row, int column) const;
    void PlaceColumnsFrom(int first);
    void MoveEditorToCell();
    void BringEditedCellIntoView();
    void PaintColumn(HDC dc, int column, int firstRow, int endRow, HPEN gridPen);

    GridControl& grid_;
    std::vector<std::unique_ptr<GridColumn>> columns_;
    int rows_ = 0;
    int topRow_ = 0;
    int visibleRows_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int leftColumn_ = 0;
    int xOffset_ = 0;
    int changedLeft_ = 0x7FFFFFFF;
    int changedRight_ = 0;
    GridRenderer* renderer_ = nullptr;
    bool gridLines_ = true;
    HBITMAP bitmap_ = nullptr;
    SIZE bitmapSize_{};

    std::unique_ptr<CellData> value_;
    std::unique_ptr<GridControlClass> controlClass_;
    std::unique_ptr<GridItemControl> item_;
    std::unique_ptr<ControlAlias> alias_;
    int editedRow_ = -1;
    int editedColumn_ = -1;
    bool committing_ = false;
    // Editors closed from inside their own message handling; deleted once that handling has returned.
    std::vector<std::unique_ptr<GridItemControl>> retiredItems_;
    std::vector<std::unique_ptr<ControlAlias>> retiredAliases_;
};

} // namespace TVF_Grid
