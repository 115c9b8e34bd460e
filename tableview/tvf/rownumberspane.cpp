#include "tableview/tvf/rownumberspane.h"

#include "foundation/kvostring.h"
#include "platform/owl/dc.h"
#include "platform/win/winmenu.h"
#include "platform/win/winscroll.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"

#include <algorithm>

namespace TVF_Grid {

RowNumbersPane::RowNumbersPane(GridControl& grid, GridPane& pane)
    : OWL::TWindow(&grid, u""), grid_(grid), pane_(pane)
{
}

GridPos RowNumbersPane::RowAt(int y) const
{
    const int r0 = grid_.FirstDataRow();
    return {r0 + pane_.RowAt(y), r0};
}

GridPos RowNumbersPane::RowNumberColumn() const
{
    const int c0 = grid_.FirstDataColumn();
    return {c0 - 1, c0};
}

bool RowNumbersPane::BelowLastRow(int y) const
{
    return y >= pane_.RowCount() * pane_.RowHeight() - pane_.VerticalOffset();
}

void RowNumbersPane::Paint(OWL::TDC& dc, bool, OWL::TRect& rect)
{
    drawnTop_ = pane_.TopRow();
    const int h = pane_.RowHeight();
    const int v = pane_.VerticalOffset();
    int r = (rect.top + v) / h;
    int y = (r - drawnTop_) * h;
    HGDIOBJ oldFont = ::SelectObject(dc, grid_.CellFont());
    const OWL::TRect client = GetClientRect();
    const GridSelection* selection = grid_.Selection();
    const int r0 = grid_.FirstDataRow();
    bool widened = false;

    for (; y < rect.bottom; y += h, ++r) {
        RECT row{0, y, client.right, y + h};
        // Whole rows are shaded even when the selection covers only some columns.
        if (selection && selection->GetRange().ContainsRow(r0 + r)) {
            ::FillRect(dc, &row, ::GetSysColorBrush(COLOR_BTNSHADOW));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
            ::SetTextColor(dc, RGB(255, 255, 255));
        } else {
            ::FillRect(dc, &row, ::GetSysColorBrush(COLOR_BTNFACE));
            DrawRaisedFrame(dc, row.left, row.top, row.right - 1, row.bottom - 1);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            ::SetTextColor(dc, RGB(0, 0, 0));
        }
        if (!grid_.Options().ShowRowTitles)
            continue;
        std::u16string title;
        grid_.GetRowTitle({r0 + r, r0}, title);
        if (const auto nul = title.find(u'\0'); nul != std::u16string::npos)
            title.resize(nul);
        InflateRect(&row, -1, -1);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &extent);
        if (extent.cx > grid_.RowNumberWidth()) {
            // A wider title widens the strip; narrower ones never shrink it.
            grid_.SetRowNumberWidth(extent.cx);
            widened = true;
        }
        LONG style = 32;
        if (r < pane_.RowCount() && grid_.DataManager()) {
            const int c0 = grid_.FirstDataColumn();
            grid_.DataManager()->GetCellStyle(grid_.DataFlags(), r0 + r, c0 - 1, &style);
        }
        const UINT align = (style & 1) ? DT_LEFT : DT_CENTER;
        ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &row, align | DT_SINGLELINE | DT_VCENTER);
    }
    ::SelectObject(dc, oldFont);
    if (widened) {
        grid_.Layout();
        grid_.Invalidate();
    }
}

void RowNumbersPane::SyncScroll()
{
    const int top = pane_.TopRow();
    if (top == drawnTop_)
        return;
    const int d = drawnTop_ - top;
    const int visible = pane_.VisibleRows();
    if (GetHandle()) {
        if (d > -visible && d < visible)
            ::ScrollWindowEx(GetHandle(), 0, d * pane_.RowHeight(), nullptr, nullptr, nullptr, nullptr,
                             SW_INVALIDATE | SW_ERASE | SW_SCROLLCHILDREN);
        else
            Invalidate();
        ::UpdateWindow(GetHandle());
    }
    drawnTop_ = top;
}

void RowNumbersPane::InvalidateRows(int a, int b)
{
    if (a > b)
        std::swap(a, b);
    const int h = pane_.RowHeight();
    const int v = pane_.VerticalOffset();
    if (GetHandle()) {
        const OWL::TRect client = GetClientRect();
        InvalidateRect(OWL::TRect(0, a * h - v, client.right, b * h - v + h), true);
    }
    if (pane_.GetHandle()) {
        const OWL::TRect client = pane_.GetClientRect();
        pane_.InvalidateRect(OWL::TRect(0, a * h - v, client.right, b * h - v + h), true);
    }
}

void RowNumbersPane::InvalidateSelectedRows()
{
    const GridSelection* selection = grid_.Selection();
    if (!selection || !selection->HasSelection())
        return;
    const CellRange& range = selection->GetRange();
    InvalidateRows(range.FirstRow.Offset(), range.EndRow.Offset());
    if (GetHandle())
        ::UpdateWindow(GetHandle());
}

void RowNumbersPane::EvSetFocus(HWND) { InvalidateSelectedRows(); }
void RowNumbersPane::EvKillFocus(HWND) { InvalidateSelectedRows(); }

void RowNumbersPane::EvLButtonDown(uint, const OWL::TPoint& point)
{
    GridSelection* selection = grid_.Selection();
    if (!selection)
        return;
    if (BelowLastRow(point.y)) {
        selection->Clear();
        return;
    }
    selection->SelectCellWithKeys(RowAt(point.y), RowNumberColumn());
    // Held so that a drag past the strip's ends still reaches it and scrolls.
    SetCapture();
    if (pane_.GetHandle())
        ::SetFocus(pane_.GetHandle());
}

void RowNumbersPane::EvLButtonUp(uint, const OWL::TPoint& point)
{
    if (::GetCapture() == GetHandle())
        ::ReleaseCapture();
    if (GridSelection* selection = grid_.Selection())
        selection->EndPressWithKeys(RowAt(point.y), RowNumberColumn());
}

bool RowNumbersPane::PressAndRelease(int y, unsigned extraFlags)
{
    GridSelection* selection = grid_.Selection();
    if (!selection)
        return false;
    if (BelowLastRow(y)) {
        selection->Clear();
        return false;
    }
    const unsigned flags = GridSelection::GetKeyFlags() + extraFlags;
    selection->SelectCell(RowAt(y), RowNumberColumn(), flags);
    selection->EndPress(RowAt(y), RowNumberColumn(), flags);
    return true;
}

void RowNumbersPane::EvLButtonDblClk(uint, const OWL::TPoint& point)
{
    PressAndRelease(point.y, GridSelection::kDoubleClick);
}

void RowNumbersPane::EvRButtonUp(uint modKeys, const OWL::TPoint& point)
{
    if (PressAndRelease(point.y, GridSelection::kRightButton))
        OWL::TWindow::EvRButtonUp(modKeys, point);
}

void RowNumbersPane::EvMouseMove(uint, const OWL::TPoint& point)
{
    const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    const auto down = [](int key) { return (static_cast<unsigned short>(::GetAsyncKeyState(key)) & 0x8000u) != 0; };
    if (down(button) && !down(VK_LCONTROL) && !down(VK_LSHIFT))
        DragSelectTo(point.y);
}

void RowNumbersPane::DragSelectTo(int y)
{
    GridSelection* selection = grid_.Selection();
    if (!selection || !selection->HasPressedCell())
        return;
    const int h = pane_.RowHeight();
    const int v = pane_.VerticalOffset();
    const int top = pane_.TopRow();
    // Above the first row the drag stays on it: the title row is not selectable.
    const int r = std::max(pane_.RowAt(y), 0);
    const int firstTop = top * h - v;
    const int lastTop = (std::max(pane_.VisibleEnd(), top + 1) - 1) * h - v;
    bool scroll = false;
    if (y <= firstTop && r >= 1) {
        timerRow_ = r - 1;
        scroll = true;
    } else if (y >= lastTop && r < pane_.RowCount()) {
        timerRow_ = top + 1;
        scroll = true;
    }
    if (scroll && GetHandle()) {
        SetTimer(kScrollTimer, kScrollTimerMs);
        timerRunning_ = true;
    }
    const int r0 = grid_.FirstDataRow();
    selection->ExtendTo(GridSelection::GetKeyFlags(), {r0 + r, r0}, RowNumberColumn());
}

void RowNumbersPane::EvTimer(uint timerId)
{
    if (timerId != kScrollTimer) {
        OWL::TWindow::EvTimer(timerId);
        return;
    }
    if (timerRow_ >= 0) {
        const int r0 = grid_.FirstDataRow();
        grid_.ScrollToRow({r0 + timerRow_, r0});
    }
    timerRunning_ = false;
    KillTimer(kScrollTimer);
}

void RowNumbersPane::EvContextMenu(HWND, int, int)
{
    ITableRowMenuProvider* provider = grid_.RowMenuProvider();
    if (!grid_.ActionHandler() || !provider)
        return;
    const GridSelection* selection = grid_.Selection();
    const int row = selection && selection->HasSelection() ? selection->GetRange().FirstRow.Offset() : 0;
    const int r0 = grid_.FirstDataRow();
    const int c0 = grid_.FirstDataColumn();
    const int chosen = TrackCellMenu(*provider, r0 + row, c0 - 1, Parent ? Parent->GetHandle() : GetHandle());
    if (chosen > 0)
        grid_.CellCommand(2, {r0 + row, r0}, RowNumberColumn(), chosen - 1);
}

} // namespace TVF_Grid
