#include "tableview/tvf/gridtitlebar.h"

#include "platform/owl/dc.h"
#include "platform/win/winmenu.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"

#include <algorithm>

namespace TVF_Grid {
namespace {
bool KeyDown(int key) { return (static_cast<unsigned short>(::GetAsyncKeyState(key)) & 0x8000u) != 0; }

void Line(HDC dc, COLORREF colour, int x0, int y0, int x1, int y1)
{
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, x0, y0, nullptr);
    ::LineTo(dc, x1, y1);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

int TextWidth(HDC dc, const KVO::String& text)
{
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), text.Length(), &extent);
    return extent.cx;
}

// The key flags of a press and release at once: left Ctrl 4, left Shift 2.
unsigned PressFlags() { return (KeyDown(VK_LCONTROL) ? 4u : 0u) | (KeyDown(VK_LSHIFT) ? 2u : 0u); }
} // namespace

GridTitleBar::GridTitleBar(GridControl& grid, GridPane& pane)
    : OWL::TWindow(&grid, u""), grid_(grid), pane_(pane)
{
}

int GridTitleBar::RightEdge(int column) const
{
    return pane_.Column(column)->Right() - pane_.HorizontalOffset();
}

int GridTitleBar::LastRightEdge() const
{
    return pane_.ColumnCount() ? RightEdge(pane_.ColumnCount() - 1) : 0;
}

int GridTitleBar::BorderAt(int x) const
{
    for (int i = 0; i < pane_.ColumnCount(); ++i) {
        const int r = RightEdge(i);
        if (r - kBorderReach < x && x < r + kBorderReach)
            return i;
    }
    return -1;
}

int GridTitleBar::ColumnUnder(int x, int* grab) const
{
    for (int i = 0; i < pane_.ColumnCount(); ++i) {
        const int r = RightEdge(i);
        if (x < r - kBorderReach) {
            if (grab)
                *grab = r - x;
            return i;
        }
    }
    return -1;
}

int GridTitleBar::ColumnUnderOrLast(int x) const
{
    const int c = ColumnUnder(x);
    return c >= 0 || x < LastRightEdge() - kBorderReach ? c : pane_.ColumnCount() - 1;
}

GridPos GridTitleBar::TitleRow() const
{
    const int r0 = grid_.FirstDataRow();
    return {r0 - 1, r0};
}

GridPos GridTitleBar::TitleColumn(int column) const
{
    const int c0 = grid_.FirstDataColumn();
    return {column + c0, c0};
}

int GridTitleBar::FloorFor(int column) const
{
    int fixed = 0;
    for (int i = column; i >= 0; --i) {
        const GridColumn& c = *pane_.Column(i);
        if (c.Resizable())
            return c.Left() + c.MinWidth() + fixed;
        fixed += c.Width() + 1;
    }
    return pane_.Column(column)->Right(); // nothing to resize: the border stays
}

bool GridTitleBar::EvSetCursor(HWND window, uint hitTest, OWL::TMsgId)
{
    if (window == GetHandle() && hitTest == HTCLIENT) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::ScreenToClient(GetHandle(), &cursor);
        const bool sizing = grid_.Options().ColumnResizing && BorderAt(cursor.x) >= 0;
        ::SetCursor(::LoadCursorW(nullptr, sizing ? IDC_SIZEWE : IDC_ARROW));
    } else {
        ::SetCursor(nullptr);
    }
    return true;
}

void GridTitleBar::EvLButtonDown(uint, const OWL::TPoint& point)
{
    if (pane_.GetHandle())
        ::SetFocus(pane_.GetHandle());
    GridSelection* selection = grid_.Selection();
    current_ = ColumnUnder(point.x, &grab_);
    const int border = BorderAt(point.x);
    if (point.x >= LastRightEdge() && border < 0) {
        if (selection)
            selection->Clear();
        return;
    }
    if (border >= 0) {
        current_ = border;
        grab_ = RightEdge(border) - point.x;
    }
    if (current_ < 0)
        return;
    if (selection)
        selection->SelectCellWithKeys(TitleRow(), TitleColumn(current_));
    if (grid_.Options().ColumnResizing && border >= 0) {
        floor_ = FloorFor(current_);
        resizing_ = true;
        SetCapture();
        pane_.BeginColumnResize();
    } else if (grid_.Options().ColumnMoving) {
        dragging_ = true;
        dragX_ = point.x;
        Invalidate(false);
        SetCapture();
    }
}

void GridTitleBar::EvMouseMove(uint, const OWL::TPoint& point)
{
    const GridOptions& options = grid_.Options();
    if ((options.ColumnMoving || options.ColumnResizing) && (resizing_ || dragging_)) {
        if (resizing_) {
            pane_.SetColumnRight(current_, std::max(point.x + pane_.HorizontalOffset(), floor_));
            Invalidate(false);
        } else {
            dragX_ = point.x;
            Invalidate(false);
        }
        return;
    }
    const int c = ColumnUnderOrLast(point.x);
    const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    GridSelection* selection = grid_.Selection();
    if (c < 0 || !selection || !KeyDown(button) || KeyDown(VK_LCONTROL) || KeyDown(VK_LSHIFT))
        return;
    selection->ExtendToWithKeys(TitleRow(), TitleColumn(c));
    if (c >= pane_.LeftColumn() + pane_.FullyVisibleColumns())
        grid_.ScrollColumnsBy(1);
}

void GridTitleBar::EvLButtonUp(uint, const OWL::TPoint& point)
{
    GridSelection* selection = grid_.Selection();
    if (resizing_) {
        ReleaseCapture();
        resizing_ = false;
        pane_.ColumnWidthChanged(current_);
        Invalidate(false);
        return;
    }
    if (!dragging_) {
        const int c = ColumnUnderOrLast(point.x);
        if (c >= 0 && selection)
            selection->EndPressWithKeys(TitleRow(), TitleColumn(c));
        return;
    }
    ReleaseCapture();
    dragging_ = false;
    Invalidate(false);
    const int target = ColumnUnder(point.x);
    if (target < 0)
        return;
    if (target == current_) {
        if (selection)
            selection->EndPressWithKeys(TitleRow(), TitleColumn(target));
    } else {
        grid_.OnColumnMoved(TitleColumn(current_), TitleColumn(target));
    }
}

void GridTitleBar::EvLButtonDblClk(uint, const OWL::TPoint& point)
{
    GridSelection* selection = grid_.Selection();
    if (!selection)
        return;
    const int border = BorderAt(point.x);
    if (point.x >= LastRightEdge() && border < 0) {
        selection->Clear();
        return;
    }
    const int c = border >= 0 ? border : ColumnUnder(point.x);
    if (c < 0)
        return;
    const unsigned flags = PressFlags() | GridSelection::kDoubleClick;
    selection->SelectCell(TitleRow(), TitleColumn(c), flags);
    selection->EndPress(TitleRow(), TitleColumn(c), flags);
}

void GridTitleBar::EvRButtonUp(uint modKeys, const OWL::TPoint& point)
{
    GridSelection* selection = grid_.Selection();
    if (point.x >= LastRightEdge()) {
        if (selection)
            selection->Clear();
        return;
    }
    const int c = ColumnUnder(point.x);
    if (c >= 0 && selection) {
        const unsigned flags = PressFlags() | GridSelection::kRightButton;
        selection->SelectCell(TitleRow(), TitleColumn(c), flags);
        selection->EndPress(TitleRow(), TitleColumn(c), flags);
    }
    OWL::TWindow::EvRButtonUp(modKeys, point);
}

void GridTitleBar::EvContextMenu(HWND, int, int)
{
    ITableRowMenuProvider* provider = grid_.RowMenuProvider();
    if (!provider)
        return;
    POINT client{};
    ::GetCursorPos(&client);
    ::ScreenToClient(GetHandle(), &client);
    const int c = ColumnUnder(client.x);
    if (c < 0)
        return;
    const GridPos row = TitleRow();
    const GridPos column = TitleColumn(c);
    const int chosen = TrackCellMenu(*provider, row.Index, column.Index, GetParentH());
    if (chosen > 0)
        grid_.CellCommand(2, row, column, chosen - 1);
}

void GridTitleBar::FitTitles(HDC dc)
{
    const int c0 = grid_.FirstDataColumn();
    const int width = GetClientRect().Width();
    for (int i = pane_.LeftColumn(); i < pane_.ColumnCount(); ++i) {
        GridColumn& column = *pane_.Column(i);
        if (column.Left() - pane_.HorizontalOffset() >= width)
            break;
        if (column.Greyed() || column.State() != GridColumn::kFitToTitle)
            continue;
        const int fitted = TextWidth(dc, column.Title()) + 4;
        pane_.SetColumnWidth(i, fitted);
        if (pane_.GetHandle())
            pane_.Invalidate(false);
        grid_.OnColumnWidthChanged({i + c0, c0}, fitted);
        column.SetState(0);
    }
}

void GridTitleBar::Paint(OWL::TDC& dc, bool, OWL::TRect&)
{
    const OWL::TRect client = GetClientRect();
    HGDIOBJ oldFont = ::SelectObject(dc, grid_.TitleFont());
    if (grid_.Options().AutoFitColumns)
        FitTitles(dc);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));

    const GridSelection* selection = grid_.Selection();
    const bool anySelected = selection && selection->HasSelection();
    const int c0 = grid_.FirstDataColumn();
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (int i = pane_.LeftColumn(); i < pane_.ColumnCount(); ++i) {
        const GridColumn& column = *pane_.Column(i);
        const int left = column.Left() - pane_.HorizontalOffset();
        if (left >= client.right)
            break;
        const RECT cell{left + 1, 0, RightEdge(i), client.bottom - 1};
        const CellRange* range = anySelected ? &selection->GetRange() : nullptr;
        const bool selected =
            range && range->FirstColumn.Index <= i + c0 && i + c0 < range->EndColumn.Index;
        ::SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
        ::SetBkColor(dc, selected ? shadow : ::GetSysColor(COLOR_BTNFACE));
        const int cellWidth = cell.right - cell.left;
        const KVO::String* text = &column.Title();
        bool centred = TextWidth(dc, *text) <= cellWidth;
        if (!centred && !column.ShortTitle().IsEmpty() && TextWidth(dc, column.ShortTitle()) <= cellWidth) {
            text = &column.ShortTitle();
            centred = true;
        }
        ::SetTextAlign(dc, centred ? TA_CENTER | TA_TOP : TA_LEFT | TA_TOP);
        const int x = centred ? (cell.left + cell.right) / 2 : cell.left;
        ::ExtTextOutW(dc, x, cell.top + 1, ETO_CLIPPED | ETO_OPAQUE, &cell, text->c_str(),
                      static_cast<UINT>(text->Length()), nullptr);
        Line(dc, light, cell.left, cell.top, cell.left, cell.bottom);
        Line(dc, shadow, cell.right, cell.top, cell.right, cell.bottom);
        Line(dc, shadow, cell.left, cell.bottom, cell.right + 1, cell.bottom);
    }
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    Line(dc, light, 0, 0, client.right, 0);
    if (dragging_ && pane_.Column(current_))
        DrawDragTitle(dc, client, dragX_);
    ::SelectObject(dc, oldFont);
}

void GridTitleBar::DrawDragTitle(HDC dc, const RECT& rect, int x)
{
    const GridColumn& column = *pane_.Column(current_);
    const int right = x + grab_;
    const int left = right - column.Width();
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const RECT cell{left + 1, 0, right, rect.bottom - 1};
    ::SetBkColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
    ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
    ::SelectObject(dc, grid_.TitleFont());
    Line(dc, shadow, left, 0, left, rect.bottom);
    ::SetTextAlign(dc, TA_CENTER | TA_TOP);
    ::ExtTextOutW(dc, (cell.left + cell.right) / 2, cell.top + 1, ETO_CLIPPED | ETO_OPAQUE, &cell,
                  column.Title().c_str(), static_cast<UINT>(column.Title().Length()), nullptr);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    Line(dc, light, right, 0, right, rect.bottom);
    Line(dc, light, left, rect.bottom - 1, right + 1, rect.bottom - 1);
    Line(dc, shadow, rect.left, 0, rect.right, 0);
}

} // namespace TVF_Grid
