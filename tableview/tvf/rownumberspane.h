// The strip at the left of a grid: each row's title, the selected rows shaded, whole-row selection with the mouse
// (scrolling by itself while the mouse is dragged past its ends) and a popup menu for a row.
#pragma once

#include "platform/owl/window.h"
#include "tableview/tvf/gridpositions.h"

namespace TVF_Grid {

class GridControl;
class GridPane;

class RowNumbersPane : public OWL::TWindow {
public:
    static constexpr UINT_PTR kScrollTimer = 1;
    static constexpr UINT kScrollTimerMs = 25;

    RowNumbersPane(GridControl& grid, GridPane& pane);

    // The width the table window's placement gives, taken once while unset (-1).
    int WidthValue() const { return width_; }
    void SetWidthValue(int width)
    {
        if (width_ < 0)
            width_ = width;
    }
    bool TimerRunning() const { return timerRunning_; }

    // Follows the cell pane's top row, moving the pixels already drawn when the rows moved less than a page.
    void SyncScroll();
    // Invalidates rows a..b (pane rows) here and in the cell pane.
    void InvalidateRows(int a, int b);

protected:
    void Paint(OWL::TDC& dc, bool erase, OWL::TRect& rect) override;
    bool EvEraseBkgnd(HDC) override { return true; }
    void EvLButtonDown(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvLButtonDblClk(uint modKeys, const OWL::TPoint& point) override;
    void EvRButtonUp(uint modKeys, const OWL::TPoint& point) override;
    void EvContextMenu(HWND child, int x, int y) override;
    void EvMouseMove(uint modKeys, const OWL::TPoint& point) override;
    void EvSetFocus(HWND lostFocus) override;
    void EvKillFocus(HWND getFocus) override;
    void EvTimer(uint timerId) override;

private:
    // In row-selection mode the cell pane hands its mouse here.
    friend class GridPane;

    GridPos RowAt(int y) const;
    GridPos RowNumberColumn() const;
    bool BelowLastRow(int y) const;
    void DragSelectTo(int y);
    // A press and release at once (double click, right button); false below the last row, which clears.
    bool PressAndRelease(int y, unsigned extraFlags);
    void InvalidateSelectedRows();

    GridControl& grid_;
    GridPane& pane_;
    int drawnTop_ = 0;
    int timerRow_ = -1;
    bool timerRunning_ = false;
    int width_ = -1;
};

} // namespace TVF_Grid
