// The cell area of a grid: its columns, the row height, the row count and the scroll position. Everything here is
// arithmetic on the top row and the visible rows, so that scrolling a table of a million rows costs what scrolling
// ten does.
#pragma once

#include "platform/owl/window.h"
#include "tableview/tvf/gridcells.h"

#include <memory>
#include <vector>

namespace TVF_Grid {

class GridPane;
class GridRenderer;

class GridColumn {
public:
    GridColumn(GridPane& pane, int index, int width, int minWidth = 0)
        : pane_(pane), index_(index), width_(width), minWidth_(minWidth)
    {
    }
    virtual ~GridColumn() = default;

    // A cursor over the rows [first, end) as the pane shows them now.
    virtual std::unique_ptr<RowPosCursor> CreateRowCursor(const GridPos& first, const GridPos& end) const = 0;

    GridPane& Pane() const { return pane_; }
    int Index() const { return index_; }
    int Left() const { return left_; }
    int Width() const { return width_; }
    int MinWidth() const { return minWidth_; }
    unsigned DisplayFlags() const { return displayFlags_; }
    int State() const { return state_; }
    void SetDisplayFlags(unsigned flags) { displayFlags_ = flags; }
    void SetState(int state) { state_ = state; }

private:
    friend class GridPane;
    GridPane& pane_;
    int index_;
    int left_ = 0;
    int width_;
    int minWidth_;
    unsigned displayFlags_ = 0;
    int state_ = 0;
};

// Rows of the pane's one row height.
class UniformGridColumn final : public GridColumn {
public:
    using GridColumn::GridColumn;
    std::unique_ptr<RowPosCursor> CreateRowCursor(const GridPos& first, const GridPos& end) const override;
};

class GridPane : public OWL::TWindow {
public:
    static constexpr int kRowHeight = 16;

    explicit GridPane(OWL::TWindow* parent);

    LPCWSTR GetClassName() override { return u"GridPane"; }
    bool EvEraseBkgnd(HDC) override { return true; }
    void EvSize(uint sizeType, const OWL::TSize& size) override;

    int RowHeight() const { return kRowHeight; }
    int RowCount() const { return rows_; }
    void SetRowCount(int rows);
    int TopRow() const { return topRow_; }
    int VerticalOffset() const { return topRow_ * kRowHeight; }
    int VisibleRows() const { return visibleRows_; }
    // Whole rows that fit in a client area of this height.
    void SetClientHeight(int height);
    // Makes `row` the top row: never below 0, and unless `pastEnd`, never so far that the last page is not full.
    void ScrollToRow(int row, bool pastEnd = false);
    // Rows visible now: [TopRow, VisibleEnd).
    int VisibleEnd() const;
    // The row under a pane y, limited to the last row.
    int RowAt(int y) const;

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    GridColumn* Column(int i) const { return i >= 0 && i < ColumnCount() ? columns_[i].get() : nullptr; }
    GridColumn& AddColumn(std::unique_ptr<GridColumn> column);
    void RemoveAllColumns()
    {
        columns_.clear();
        leftColumn_ = 0;
        xOffset_ = 0;
    }
    void SetColumnWidth(int i, int width);
    // Sum of (width + 1) over all columns.
    int ContentWidth() const;
    int LeftColumn() const { return leftColumn_; }
    int HorizontalOffset() const { return xOffset_; }
    void SetLeftColumn(int i);

    // Paints the cells; the grid itself until the table window installs its own.
    GridRenderer* Renderer() const { return renderer_; }
    void SetRenderer(GridRenderer* renderer) { renderer_ = renderer; }

private:
    void PlaceColumns();

    int rows_ = 0;
    int topRow_ = 0;
    int visibleRows_ = 0;
    int leftColumn_ = 0;
    int xOffset_ = 0;
    std::vector<std::unique_ptr<GridColumn>> columns_;
    GridRenderer* renderer_ = nullptr;
};

} // namespace TVF_Grid
