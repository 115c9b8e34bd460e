// One column of a grid's cell pane: its title, where the pane placed it, how wide it is, and how it walks its rows.
#pragma once

#include "foundation/kvostring.h"
#include "tableview/tvf/gridcells.h"

#include <array>
#include <cstdint>
#include <memory>

namespace TVF_Grid {

class GridControl;
class GridPane;

class GridColumn {
public:
    // A width that asks for the title's width in the grid's cell font plus 10.
    static constexpr int kFitTitle = -1;
    // The state that asks the title bar (or the pane, with auto-fit) to widen the column to its title.
    static constexpr int kFitToTitle = 3;
    static constexpr int kDefaultMinWidth = 5;

    GridColumn(const GridControl& grid, int index, const KVO::String& title, int width);
    virtual ~GridColumn() = default;
    GridColumn(const GridColumn&) = delete;
    GridColumn& operator=(const GridColumn&) = delete;

    // A cursor over the rows [first, end) as the pane shows them now.
    virtual std::unique_ptr<RowPosCursor> CreateRowCursor(const GridPos& first, const GridPos& end) const = 0;

    const KVO::String& Title() const { return title_; }
    // Drawn instead of the title when the title does not fit.
    const KVO::String& ShortTitle() const { return shortTitle_; }
    void SetShortTitle(const KVO::String& title) { shortTitle_ = title; }
    // The pane that lays the column out; null until it is added to one.
    GridPane* Pane() const { return pane_; }
    int State() const { return state_; }
    void SetState(int state) { state_ = state; }
    // The data column index.
    int Index() const { return index_; }
    int Left() const { return left_; }
    int Right() const { return left_ + width_; }
    int Width() const { return width_; }
    int MinWidth() const { return minWidth_; }
    void SetMinWidth(int width) { minWidth_ = width; }
    // Display flag 0 greys the column's cells and title; flag 1 lets the user resize it.
    bool Greyed() const { return flags_[0] != 0; }
    bool Resizable() const { return flags_[1] != 0; }
    std::uint8_t DisplayFlag(int i) const { return flags_.at(i); }
    void SetDisplayFlag(int i, std::uint8_t value) { flags_.at(i) = value; }

private:
    friend class GridPane;
    KVO::String title_;
    KVO::String shortTitle_;
    GridPane* pane_ = nullptr;
    int state_ = 0;
    int index_;
    int left_ = 0;
    int width_;
    int minWidth_ = kDefaultMinWidth;
    std::array<std::uint8_t, 4> flags_{0, 1, 0, 1};
};

// Rows of the pane's one row height.
class UniformGridColumn final : public GridColumn {
public:
    using GridColumn::GridColumn;
    std::unique_ptr<RowPosCursor> CreateRowCursor(const GridPos& first, const GridPos& end) const override;
};

} // namespace TVF_Grid
