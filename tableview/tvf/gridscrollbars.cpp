#include "tableview/tvf/gridscrollbars.h"

#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/rownumberspane.h"

#include <algorithm>

namespace TVF_Grid {

GridVScrollBar::GridVScrollBar(GridControl& grid)
    : OWL::TScrollBar(&grid, kControlId, 0, 0, 0, 0, false), grid_(grid)
{
    Attr.Style &= ~WS_TABSTOP;
}

void GridVScrollBar::ScrollRows(int delta)
{
    grid_.ScrollRowsBy(delta);
    grid_.UpdateScrollBars(true);
}

void GridVScrollBar::SBLineUp()
{
    OWL::TScrollBar::SBLineUp();
    ScrollRows(-1);
}

void GridVScrollBar::SBLineDown()
{
    OWL::TScrollBar::SBLineDown();
    ScrollRows(+1);
}

void GridVScrollBar::SBPageUp()
{
    OWL::TScrollBar::SBPageUp();
    ScrollRows(-1);
}

void GridVScrollBar::SBPageDown()
{
    OWL::TScrollBar::SBPageDown();
    ScrollRows(+2);
}

void GridVScrollBar::FollowThumb(UINT part)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = part;
    GetScrollInfo(&info);
    const int row = part == SIF_TRACKPOS ? info.nTrackPos : info.nPos;
    if (row >= 0) {
        grid_.Pane().ScrollToRow(row, !grid_.Options().ScrollPastEnd);
        grid_.RowNumbers().SyncScroll();
    }
    grid_.UpdateScrollBars(true);
}

void GridVScrollBar::SBThumbPosition(int thumbPos)
{
    OWL::TScrollBar::SBThumbPosition(thumbPos);
    FollowThumb(SIF_POS);
}

void GridVScrollBar::SBThumbTrack(int thumbPos)
{
    OWL::TScrollBar::SBThumbTrack(thumbPos);
    FollowThumb(SIF_TRACKPOS);
}

void GridVScrollBar::SBTop()
{
    OWL::TScrollBar::SBTop();
    grid_.ScrollToRow({grid_.FirstDataRow(), grid_.FirstDataRow()});
    grid_.UpdateScrollBars(true);
}

void GridVScrollBar::SBBottom()
{
    OWL::TScrollBar::SBBottom();
    grid_.ScrollToLastRow();
    grid_.UpdateScrollBars(true);
}

GridHScrollBar::GridHScrollBar(GridControl& grid)
    : OWL::TScrollBar(&grid, kControlId, 0, 0, 0, 0, true), grid_(grid)
{
    Attr.Style &= ~WS_TABSTOP;
}

void GridHScrollBar::ScrollColumns(int delta)
{
    const int c0 = grid_.FirstDataColumn();
    const int left = grid_.Pane().LeftColumn() + c0;
    const int target = std::clamp(left + delta, c0, std::max(c0 - 1 + grid_.Pane().ColumnCount(), c0));
    if (target != left)
        grid_.ScrollToColumn({target, c0});
    grid_.UpdateScrollBars(true);
}

void GridHScrollBar::SBLineUp()
{
    OWL::TScrollBar::SBLineUp();
    ScrollColumns(-1);
}

void GridHScrollBar::SBLineDown()
{
    // Only while the page has not reached the end of the columns.
    int lo = 0, hi = 0;
    GetRange(lo, hi);
    const bool room = GetPosition() + static_cast<int>(GetPageSize()) < hi;
    OWL::TScrollBar::SBLineDown();
    ScrollColumns(room ? +1 : 0);
}

void GridHScrollBar::SBPageUp()
{
    OWL::TScrollBar::SBPageUp();
    ScrollColumns(-1);
}

void GridHScrollBar::SBPageDown()
{
    OWL::TScrollBar::SBPageDown();
    ScrollColumns(+1);
}

void GridHScrollBar::SBThumbPosition(int thumbPos)
{
    OWL::TScrollBar::SBThumbPosition(thumbPos);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(&info);
    grid_.ScrollHorizontallyTo(info.nPos, true);
    grid_.UpdateScrollBars(true);
}

void GridHScrollBar::SBThumbTrack(int thumbPos)
{
    OWL::TScrollBar::SBThumbTrack(thumbPos);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(&info);
    grid_.ScrollHorizontallyTo(info.nTrackPos, false);
    grid_.UpdateScrollBars(true);
}

void GridHScrollBar::SBTop()
{
    OWL::TScrollBar::SBTop();
    const int c0 = grid_.FirstDataColumn();
    grid_.ScrollToColumn({c0, c0});
    grid_.UpdateScrollBars(true);
}

void GridHScrollBar::SBBottom()
{
    OWL::TScrollBar::SBBottom();
    grid_.ScrollToLastColumns();
    grid_.UpdateScrollBars(true);
}

} // namespace TVF_Grid
