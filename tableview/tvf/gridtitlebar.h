// The strip of column titles above a grid's cell pane: it paints the titles (selected ones shaded), and through it
// the user selects columns, resizes a column by dragging its right border, moves a column by dragging its title and
// picks from a header menu.
#pragma once

#include "platform/owl/window.h"
#include "tableview/tvf/gridpositions.h"

namespace TVF_Grid {

class GridControl;
class GridPane;

class GridTitleBar : public OWL::TWindow {
public:
    // How far left and right of a column's right edge a press takes the border.
    static constexpr int kBorderReach = 4;

    GridTitleBar(GridControl& grid, GridPane& pane);

    LPCWSTR GetClassName() override { return u"GridTitleBar"; }

    // The column whose right border lies within reach of x, or -1.
    int BorderAt(int x) const;
    // The first column whose right edge lies beyond x + reach, or -1; `grab` gets the distance to that edge.
    int ColumnUnder(int x, int* grab = nullptr) const;

    int CurrentColumn() const { return current_; }
    bool Resizing() const { return resizing_; }
    bool Dragging() const { return dragging_; }
    // The least right edge (content pixels) a resize may give the current column.
    int ResizeFloor() const { return floor_; }

protected:
    void Paint(OWL::TDC& dc, bool erase, OWL::TRect& rect) override;
    bool EvEraseBkgnd(HDC) override { return true; }
    bool EvSetCursor(HWND window, uint hitTest, OWL::TMsgId mouseMessage) override;
    void EvLButtonDown(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonDblClk(uint modKeys, const OWL::TPoint& point) override;
    void EvRButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvContextMenu(HWND child, int x, int y) override;
    void EvMouseMove(uint modKeys, const OWL::TPoint& point) override;

private:
    int RightEdge(int column) const;
    int LastRightEdge() const;
    // The column under x, the last one when x lies right of every column.
    int ColumnUnderOrLast(int x) const;
    GridPos TitleRow() const;
    GridPos TitleColumn(int column) const;
    void FitTitles(HDC dc);
    void DrawDragTitle(HDC dc, const RECT& rect, int x);
    // The floor of a resize of `column`: that of the resizable column the pane's walk resizes.
    int FloorFor(int column) const;

    int current_ = -1;
    GridControl& grid_;
    GridPane& pane_;
    int floor_ = 0;
    bool resizing_ = false;
    bool dragging_ = false;
    int grab_ = 0;
    int dragX_ = 0;
};

} // namespace TVF_Grid
