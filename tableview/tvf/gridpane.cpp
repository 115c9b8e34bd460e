#include "tableview/tvf/gridpane.h"

#include <algorithm>

namespace TVF_Grid {

std::unique_ptr<RowPosCursor> UniformGridColumn::CreateRowCursor(const GridPos& first, const GridPos& end) const
{
    const int h = Pane().RowHeight();
    const int top = (first.Index - first.Origin - Pane().TopRow()) * h;
    return std::make_unique<UniformRowPosCursor>(top, first, end, h);
}

GridPane::GridPane(OWL::TWindow* parent) : OWL::TWindow(parent, u"") { columns_.reserve(16); }

void GridPane::EvSize(uint sizeType, const OWL::TSize& size)
{
    OWL::TWindow::EvSize(sizeType, size);
    SetClientHeight(size.cy);
}

void GridPane::SetRowCount(int rows) { rows_ = std::max(rows, 0); }

void GridPane::SetClientHeight(int height) { visibleRows_ = std::max(height, 0) / kRowHeight; }

void GridPane::ScrollToRow(int row, bool pastEnd)
{
    if (!pastEnd)
        row = std::min(row, rows_ - visibleRows_);
    topRow_ = std::max(row, 0);
}

int GridPane::VisibleEnd() const { return std::min(rows_, topRow_ + visibleRows_); }

int GridPane::RowAt(int y) const
{
    const int offsetY = y + VerticalOffset();
    const int row = offsetY >= 0 ? offsetY / kRowHeight : (offsetY - kRowHeight + 1) / kRowHeight;
    return std::min(row, rows_ - 1);
}

GridColumn& GridPane::AddColumn(std::unique_ptr<GridColumn> column)
{
    columns_.push_back(std::move(column));
    PlaceColumns();
    return *columns_.back();
}

void GridPane::SetColumnWidth(int i, int width)
{
    if (GridColumn* column = Column(i)) {
        column->width_ = std::max(width, column->minWidth_);
        PlaceColumns();
    }
}

int GridPane::ContentWidth() const
{
    return columns_.empty() ? 0 : columns_.back()->left_ + columns_.back()->width_ + 1;
}

void GridPane::SetLeftColumn(int i)
{
    leftColumn_ = std::clamp(i, 0, std::max(ColumnCount() - 1, 0));
    xOffset_ = columns_.empty() ? 0 : columns_[leftColumn_]->left_;
}

void GridPane::PlaceColumns()
{
    int x = 0;
    for (auto& column : columns_) {
        column->left_ = x;
        x += column->width_ + 1;
    }
    SetLeftColumn(leftColumn_);
}

} // namespace TVF_Grid
