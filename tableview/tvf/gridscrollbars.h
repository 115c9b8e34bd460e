// The grid's two scroll bars: each turns its requests into the grid's row or column scrolling and then lets the
// grid recompute its bars.
#pragma once

#include "platform/owl/control.h"

namespace TVF_Grid {

class GridControl;

class GridVScrollBar : public OWL::TScrollBar {
public:
    static constexpr int kControlId = 100;
    explicit GridVScrollBar(GridControl& grid);

    void SBLineUp() override;
    void SBLineDown() override;
    void SBPageUp() override;
    void SBPageDown() override;
    void SBThumbPosition(int thumbPos) override;
    void SBThumbTrack(int thumbPos) override;
    void SBTop() override;
    void SBBottom() override;

private:
    void ScrollRows(int delta);
    // Makes the bar's position (or track position) the top row.
    void FollowThumb(UINT part);
    GridControl& grid_;
};

class GridHScrollBar : public OWL::TScrollBar {
public:
    static constexpr int kControlId = 101;
    explicit GridHScrollBar(GridControl& grid);

    void SBLineUp() override;
    void SBLineDown() override;
    void SBPageUp() override;
    void SBPageDown() override;
    void SBThumbPosition(int thumbPos) override;
    void SBThumbTrack(int thumbPos) override;
    void SBTop() override;
    void SBBottom() override;

private:
    void ScrollColumns(int delta);
    GridControl& grid_;
};

} // namespace TVF_Grid
