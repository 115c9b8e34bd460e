#include "tableview/tvf/gridcontrol.h"

#include "controls/buttongadgets.h"
#include "platform/owl/dc.h"
#include "platform/win/winmenu.h"
#include "platform/win/uxtheme.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/gridtitlebar.h"
#include "tableview/tvf/rownumberspane.h"

#include <algorithm>
#include <locale>
#include <sstream>

namespace TVF_Grid {

void DrawRaisedFrame(HDC dc, int left, int top, int right, int bottom)
{
    HPEN light = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN shadow = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = ::SelectObject(dc, light);
    ::MoveToEx(dc, left, bottom, nullptr);
    ::LineTo(dc, left, top);
    ::LineTo(dc, right, top);
    ::SelectObject(dc, shadow);
    ::LineTo(dc, right, bottom);
    ::LineTo(dc, left - 1, bottom);
    ::SelectObject(dc, old);
    ::DeleteObject(light);
    ::DeleteObject(shadow);
}

int TrackCellMenu(ITableRowMenuProvider& provider, LONG row, LONG column, HWND owner)
{
    LONG count = 0;
    if (FAILED(provider.GetMenuItemCount(0, row, column, &count)) || count <= 0)
        return 0;
    HMENU menu = ::CreatePopupMenu();
    for (LONG i = 0; i < count; ++i) {
        KVO::String text;
        provider.GetMenuItemText(0, row, column, i, KVOString::OutParam(text));
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), text.c_str());
    }
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const int chosen = ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, cursor.x, cursor.y,
                                          owner, nullptr);
    ::DestroyMenu(menu);
    return chosen;
}

SnapGadgetWindowBase::SnapGadgetWindowBase(OWL::TWindow* parent) : KVOControls::UxBorderlessGadgetWindow(parent) {}

void SnapGadgetWindowBase::SetupWindow()
{
    auto* button = new UxCustomButtonGadget(GridControl::kToggleLatestRowCommand, OWL::TResId(1005));
    button->SetShrinkWrap(true, true);
    OWL::TGadget::TMargins margins;
    margins.Left = 1;
    margins.Right = 2;
    margins.Top = 3;
    margins.Bottom = 4;
    button->SetMargins(margins);
    button->SetBorders({3, 3, 3, 3});
    Insert(*button);
    KVOControls::UxBorderlessGadgetWindow::SetupWindow();
}

bool SnapGadgetWindowBase::EvEraseBkgnd(HDC dc)
{
    ::DrawThemeParentBackground(GetHandle(), dc, nullptr);
    return true;
}

void SnapGadgetWindowBase::EvCommandEnable(OWL::TCommandEnabler& enabler)
{
    if (enabler.GetId() == GridControl::kToggleLatestRowCommand) {
        enabler.Enable(true);
        enabler.SetText(u"Toggle 'always show latest row when sampling'");
        return;
    }
    KVOControls::UxBorderlessGadgetWindow::EvCommandEnable(enabler);
}

GridControl::GridControl(OWL::TWindow* parent)
    : OWL::TWindow(parent, u""), vbarWidth_(::GetSystemMetrics(SM_CXVSCROLL)),
      hbarHeight_(::GetSystemMetrics(SM_CYHSCROLL))
{
    Attr.Style |= WS_CLIPCHILDREN | WS_TABSTOP;
    pane_ = new GridPane(*this);
    pane_->SetRenderer(this);
    titleBar_ = new GridTitleBar(*this, *pane_);
    rowNumbers_ = new RowNumbersPane(*this, *pane_);
    vbar_ = new GridVScrollBar(*this);
    hbar_ = new GridHScrollBar(*this);

    HDC screen = ::GetDC(nullptr);
    cellFontObject_ = std::make_unique<KVO::MetricFont>(screen, 10, false);
    titleFontObject_ = std::make_unique<KVO::MetricFont>(screen, 10, false);
    ::ReleaseDC(nullptr, screen);
    cellFont_ = *cellFontObject_;
}

GridControl::~GridControl() = default;

void GridControl::SetupWindow()
{
    OWL::TWindow::SetupWindow();
    if (options_.SnapButtonWanted) {
        delete snap_;
        snap_ = nullptr;
        EnsureSnapWindow();
    }
    UpdateVerticalRange();
}

void GridControl::EnsureSnapWindow()
{
    if (!options_.SnapButtonWanted || snap_ || !GetHandle()) {
        return;
    }
    snap_ = new SnapGadgetWindowBase(this);
    snap_->Create();
    ShowSnapButtonPressed(options_.AlwaysShowLatestRow);
}

int GridControl::PaneRowCount() const { return pane_->RowCount(); }
int GridControl::PaneColumnCount() const { return pane_->ColumnCount(); }

void GridControl::OnSelectionRepaint()
{
    pane_->CloseEditors();
    if (titleBar_->GetHandle())
        titleBar_->Invalidate(false);
    if (GetHandle())
        Invalidate(true);
    if (rowNumbers_->GetHandle())
        rowNumbers_->Invalidate(true);
    if (pane_->GetHandle())
        pane_->Invalidate(true);
}

void GridControl::SetCellColors(HDC dc, const GridPos& row, const GridPos& column, int kind, const COLORREF* colour)
{
    const bool selected = selection_ && selection_->GetRange().Contains(row.Index, column.Index);
    const bool highlight = !options_.NoSelectionHighlight;
    if (highlight)
        ::SetBkColor(dc, !selected ? RGB(255, 255, 255) : colour ? *colour : ::GetSysColor(COLOR_HIGHLIGHT));
    COLORREF text;
    if (kind == 2)
        text = RGB(64, 64, 64);
    else if (selected && highlight)
        text = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    else
        text = colour ? *colour : RGB(0, 0, 0);
    ::SetTextColor(dc, text);
}

void GridControl::GetRowTitle(const GridPos& row, std::u16string& out)
{
    if (row.Offset() >= pane_->RowCount()) {
        out.clear();
        return;
    }
    if (options_.RowTitlesFromRenderer && pane_->Renderer() && pane_->Renderer() != this) {
        pane_->Renderer()->GetRowTitle(row, out);
        return;
    }
    const std::string digits = std::to_string(static_cast<long long>(row.Offset()) + 1);
    out.assign(digits.begin(), digits.end());
    out.push_back(u'\0');
}

int GridControl::GetCellKind(const GridPos&, const GridPos& column)
{
    const GridColumn* object = pane_->Column(column.Offset());
    if (!object)
        return 0;
    if (object->Greyed())
        return 2;
    return object->State();
}

std::unique_ptr<CellData> GridControl::GetCellData(const GridPos& row, const GridPos& column)
{
    LONG style = 0;
    KVO::String text;
    if (dataManager_) {
        dataManager_->GetCellStyle(dataFlags_, row.Index, column.Index, &style);
        dataManager_->GetCell(dataFlags_, row.Index, column.Index, KVOString::OutParam(text));
    }
    if (style & 8) {
        auto cell = std::make_unique<TVF_CellUint32Data>();
        cell->SetValue(TVF_CellUint32Data::Read(text));
        return cell;
    }
    auto cell = std::make_unique<TVF_CellStringData>();
    cell->SetText(text);
    return cell;
}

void GridControl::Layout()
{
    if (GetHandle()) {
        const OWL::TRect client = GetClientRect();
        clientWidth_ = client.Width();
        clientHeight_ = client.Height();
    }
    titleBarHeight_ = titleFontObject_->Metrics.tmHeight + 3;
    dataWidth_ = clientWidth_ - rowNumberWidth_ - 1;
    dataHeight_ = clientHeight_ - titleBarHeight_ - 1;
    const int v = options_.VerticalBarShown ? vbarWidth_ : 0;
    const int h = options_.HorizontalBarShown ? hbarHeight_ : 0;
    const UINT move = SWP_NOZORDER | SWP_NOACTIVATE;
    int snapHeight = 0;
    if (options_.VerticalBarShown && snap_ && snap_->GetHandle() && options_.SnapButtonWanted) {
        OWL::TSize desired;
        snap_->GetDesiredSize(desired);
        snapHeight = desired.cy;
        snap_->SetWindowPos(nullptr, clientWidth_ - v - 1, titleBarHeight_ + 2 + dataHeight_ - h - snapHeight, v,
                            snapHeight, move);
    }
    if (options_.VerticalBarShown && vbar_->GetHandle())
        vbar_->SetWindowPos(nullptr, clientWidth_ - v, titleBarHeight_ + 1, v, dataHeight_ - h + 2 - snapHeight,
                            move);
    if (options_.HorizontalBarShown && hbar_->GetHandle())
        hbar_->SetWindowPos(nullptr, rowNumberWidth_ + 1, clientHeight_ - h, dataWidth_ - v, h, move);
    const int paneHeight = std::max(dataHeight_ - h, 0);
    if (pane_->GetHandle())
        pane_->SetWindowPos(nullptr, rowNumberWidth_ + 1, titleBarHeight_ + 1, std::max(dataWidth_ - v, 0),
                            paneHeight, move);
    pane_->SetClientSize(std::max(dataWidth_ - v, 0), paneHeight);
    if (titleBar_->GetHandle())
        titleBar_->SetWindowPos(nullptr, rowNumberWidth_ + 1, 1, std::max(dataWidth_ - v, 0), titleBarHeight_, move);
    if (rowNumbers_->GetHandle())
        rowNumbers_->SetWindowPos(nullptr, 1, titleBarHeight_ + 1,
                                  std::max(std::min(rowNumberWidth_, clientWidth_ - v), 0), paneHeight, move);
    if (options_.VerticalBarShown)
        UpdateVerticalRange();
    if (options_.HorizontalBarShown)
        UpdateHorizontalRange();
}

void GridControl::EvWindowPosChanged(const WINDOWPOS& pos)
{
    OWL::TWindow::EvWindowPosChanged(pos);
    if (pos.flags & SWP_NOSIZE)
        return;
    const OWL::TRect client = GetClientRect();
    clientWidth_ = client.Width();
    clientHeight_ = client.Height();
    if (rowNumbers_->WidthValue() >= 0)
        rowNumberWidth_ = rowNumbers_->WidthValue();
    UpdateScrollBars(false);
    Layout();
    Invalidate(false);
}

void GridControl::UpdateScrollBars(bool relayout)
{
    if (!vbar_->GetHandle())
        return;
    const int h = options_.HorizontalBarShown ? hbarHeight_ : 0;
    const long long rowsHeight = static_cast<long long>(pane_->RowHeight()) * pane_->RowCount();
    const bool needV = pane_->TopRow() != 0 || (rowsHeight > dataHeight_ - h && !options_.NoVerticalBarForOverflow);
    if (needV != options_.VerticalBarShown) {
        options_.VerticalBarShown = needV;
        vbar_->ShowWindow(needV ? SW_SHOW : SW_HIDE);
        if (snap_ && snap_->GetHandle())
            snap_->ShowWindow(needV ? SW_SHOW : SW_HIDE);
    }
    const int v = options_.VerticalBarShown ? vbarWidth_ : 0;
    const bool needH = hbar_->GetHandle() && options_.HorizontalBarAllowed &&
                       (pane_->LeftColumn() != 0 || pane_->ContentWidth() > dataWidth_ - v);
    if (needH != options_.HorizontalBarShown) {
        options_.HorizontalBarShown = needH;
        if (hbar_->GetHandle())
            hbar_->ShowWindow(needH ? SW_SHOW : SW_HIDE);
    }
    if (relayout)
        Layout();
}

void GridControl::UpdateVerticalRange()
{
    const int rows = pane_->RowCount();
    const bool allFit = rows <= pane_->VisibleRows();
    if (!options_.ScrollPastEnd && pane_->TopRow() == 0 && (allFit || options_.NoVerticalBarForOverflow))
        return;
    if (!vbar_->GetHandle())
        return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = std::max(rows - 1, 0);
    info.nPage = static_cast<UINT>(std::max(std::min(rows - pane_->TopRow(), pane_->VisibleRows()), 0));
    vbar_->SetScrollInfo(&info, true);
}

void GridControl::UpdateHorizontalRange()
{
    const int v = options_.VerticalBarShown ? vbarWidth_ : 0;
    const int paneWidth = dataWidth_ - v;
    if ((pane_->LeftColumn() == 0 && pane_->ContentWidth() <= paneWidth) || !hbar_->GetHandle())
        return;
    int span = 0;
    for (int i = pane_->LeftColumn(); i < pane_->ColumnCount(); ++i) {
        const int next = span + pane_->Column(i)->Width() + 1;
        if (next > paneWidth)
            break;
        span = next;
    }
    int lo = 0, hi = 0;
    hbar_->GetRange(lo, hi);
    if (lo != 0 || hi != pane_->ContentWidth())
        hbar_->SetRange(0, pane_->ContentWidth(), true);
    if (hbar_->GetPageSize() != static_cast<uint>(span))
        hbar_->SetPageSize(static_cast<uint>(span), true);
}

void GridControl::ScrollToRow(const GridPos& row)
{
    if (!(row.Index >= row.Origin && row.Origin >= 0))
        return;
    pane_->ScrollToRow(row.Index - row.Origin, !options_.ScrollPastEnd);
    if (vbar_->GetHandle())
        vbar_->SetPosition(pane_->TopRow(), true);
    rowNumbers_->SyncScroll();
}

void GridControl::EnsureRowVisible(const GridPos& row)
{
    const int top = pane_->TopRow();
    const int span = pane_->VisibleEnd() - top;
    const int newTop = std::max(row.Index - row.Origin - (span - 1), 0);
    ScrollToRow({newTop + firstDataRow_, firstDataRow_});
}

void GridControl::ScrollRowsBy(int delta) { ScrollToRow({pane_->TopRow() + firstDataRow_ + delta, firstDataRow_}); }

void GridControl::ScrollToLastRow() { ScrollToRow({pane_->RowCount() + firstDataRow_, firstDataRow_}); }

bool GridControl::IsRowVisible(const GridPos& row) const
{
    const int r = row.Index - row.Origin;
    return r >= pane_->TopRow() && r < pane_->VisibleEnd();
}

void GridControl::SetRowExtent(int end, int origin)
{
    const int rows = end - origin;
    const int old = pane_->RowCount();
    if (rows == old)
        return;
    rowNumbers_->InvalidateRows(std::min(old, rows), std::max(old, rows));
    pane_->SetRowCount(rows);
    const int visible = pane_->VisibleRows();
    if (pane_->TopRow() > end - visible - origin)
        ScrollToRow({std::max(pane_->TopRow() - visible, 0) + firstDataRow_, firstDataRow_});
    UpdateVerticalRange();
    UpdateScrollBars(true);
}

void GridControl::ScrollToColumn(const GridPos& column)
{
    if (pane_->ColumnCount() == 0)
        return;
    const int index = std::clamp(column.Index, column.Origin, column.Origin + pane_->ColumnCount() - 1);
    if (index - column.Origin == pane_->LeftColumn())
        return;
    pane_->SetLeftColumn(index - column.Origin);
    if (hbar_->GetHandle())
        hbar_->SetPosition(pane_->HorizontalOffset(), true);
    if (titleBar_->GetHandle())
        titleBar_->Invalidate(false);
    OnLeftColumnChanged({pane_->LeftColumn() + column.Origin, column.Origin});
}

void GridControl::ScrollColumnsBy(int delta)
{
    if (pane_->ColumnCount() == 0)
        return;
    const int target = std::clamp(pane_->LeftColumn() + delta, 0, pane_->ColumnCount() - 1);
    if (target != pane_->LeftColumn())
        ScrollToColumn({target + firstDataColumn_, firstDataColumn_});
}

bool GridControl::IsColumnVisible(const GridPos& column) const
{
    const GridColumn* object = pane_->Column(column.Offset());
    if (!object || column.Offset() < pane_->LeftColumn())
        return false;
    const int right = object->Left() - pane_->HorizontalOffset() + object->Width();
    return column.Offset() == pane_->LeftColumn() || right <= PaneWidth();
}

void GridControl::MakeLeftColumn(int offset)
{
    if (offset == pane_->LeftColumn())
        return;
    pane_->SetLeftColumn(offset);
    if (titleBar_->GetHandle())
        titleBar_->Invalidate(false);
    OnLeftColumnChanged({pane_->LeftColumn() + firstDataColumn_, firstDataColumn_});
}

void GridControl::ScrollToLastColumns()
{
    int sum = 0;
    int left = 0;
    for (int i = pane_->ColumnCount() - 1; i >= 0; --i) {
        sum += pane_->Column(i)->Width() + 1;
        if (sum > PaneWidth()) {
            left = std::min(i + 1, pane_->ColumnCount() - 1);
            break;
        }
    }
    if (left != pane_->LeftColumn())
        ScrollToColumn({left + firstDataColumn_, firstDataColumn_});
}

void GridControl::ScrollHorizontallyTo(int x, bool snap)
{
    const int count = pane_->ColumnCount();
    if (count == 0)
        return;
    int target = count - 1;
    for (int i = 0; i < count; ++i) {
        const GridColumn* column = pane_->Column(i);
        if (x >= column->Left() && x <= column->Left() + column->Width()) {
            target = i;
            break;
        }
    }
    int lo = 0, hi = 0;
    if (hbar_->GetHandle())
        hbar_->GetRange(lo, hi);
    const int page = hbar_->GetHandle() ? static_cast<int>(hbar_->GetPageSize()) : PaneWidth();
    if (x + page >= hi && target != count - 1) {
        // The page reaches the end: the last left column that still fills it.
        int sum = 0;
        for (int i = count - 1; i >= 0; --i) {
            sum += pane_->Column(i)->Width() + 1;
            if (sum > PaneWidth()) {
                target = std::min(i + 1, count - 1);
                break;
            }
            target = i;
        }
    }
    MakeLeftColumn(target);
    if (hbar_->GetHandle())
        hbar_->SetPosition(snap ? pane_->Column(target)->Left() : x, true);
}

void GridControl::OnColumnResized(int width, const GridPos& column)
{
    pane_->SetColumnWidth(column.Offset(), width);
    if (pane_->GetHandle())
        pane_->Invalidate(true);
    if (titleBar_->GetHandle())
        titleBar_->Invalidate(false);
    OnColumnWidthChanged(column, width);
}

double GridControl::GetHorizontalScrollFraction() const
{
    if (!hbar_->GetHandle())
        return 0.0;
    int lo = 0, hi = 0;
    hbar_->GetRange(lo, hi);
    if (lo == 0 && hi == 0)
        return 0.0;
    return (hbar_->GetPosition() + static_cast<double>(hbar_->GetPageSize()) - lo) / (hi - lo);
}

bool GridControl::PreProcessKey(MSG& msg)
{
    switch (msg.message) {
    case WM_CHAR:
        return false;
    case WM_KEYDOWN:
        return HandleKeyDown(static_cast<uint>(msg.wParam), LOWORD(msg.lParam), HIWORD(msg.lParam));
    case WM_KEYUP:
        return HandleKeyUp(static_cast<uint>(msg.wParam));
    default:
        return GetParentH() && ::IsDialogMessageW(GetParentH(), &msg);
    }
}

int GridControl::GetLongestRowTitle()
{
    GridRenderer* renderer = pane_->Renderer() ? pane_->Renderer() : this;
    std::size_t longest = 0;
    std::u16string title;
    for (int r = 0; r < pane_->RowCount(); ++r) {
        title.clear();
        renderer->GetRowTitle({r + firstDataRow_, firstDataRow_}, title);
        longest = std::max(longest, std::min(title.size(), title.find(u'\0')));
    }
    return static_cast<int>(longest);
}

OWL::TResult GridControl::EvCommand(uint id, HWND control, uint notifyCode)
{
    if (id == kToggleLatestRowCommand) {
        ToggleAlwaysShowLatestRow();
        return 0;
    }
    return OWL::TWindow::EvCommand(id, control, notifyCode);
}

void GridControl::ToggleAlwaysShowLatestRow()
{
    options_.AlwaysShowLatestRow = !options_.AlwaysShowLatestRow;
    ShowSnapButtonPressed(options_.AlwaysShowLatestRow);
}

void GridControl::ShowSnapButtonPressed(bool pressed)
{
    if (!snap_ || !snap_->GetHandle()) {
        return;
    }
    if (auto* button = dynamic_cast<OWL::TButtonGadget*>(snap_->GadgetWithId(kToggleLatestRowCommand))) {
        button->SetButtonState(pressed ? OWL::TButtonGadget::Down : OWL::TButtonGadget::Up);
    }
}

void GridControl::Paint(OWL::TDC& dc, bool erase, OWL::TRect& rect)
{
    if (erase)
        ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_WINDOW));
    const auto square = [&](int left, int top, int right, int bottom) {
        RECT r{left, top, right, bottom};
        ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
        DrawRaisedFrame(dc, left, top, right - 1, bottom - 1);
    };
    const int v = options_.VerticalBarShown ? vbarWidth_ : 0;
    const int h = options_.HorizontalBarShown ? hbarHeight_ : 0;
    square(1, 1, rowNumberWidth_ + 1, titleBarHeight_ + 1);
    if (options_.VerticalBarShown)
        square(clientWidth_ - v, 1, clientWidth_, titleBarHeight_ + 1);
    if (options_.VerticalBarShown && options_.HorizontalBarShown)
        square(clientWidth_ - v, clientHeight_ - h, clientWidth_, clientHeight_);
    if (options_.HorizontalBarShown)
        square(1, clientHeight_ - h, rowNumberWidth_ + 1, clientHeight_);
    HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, 0, 0, nullptr);
    ::LineTo(dc, clientWidth_, 0);
    ::MoveToEx(dc, 0, 0, nullptr);
    ::LineTo(dc, 0, clientHeight_);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

// The event grid.

HRESULT EventGridControl::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_ISubject) {
        *out = static_cast<ISubject*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void EventGridControl::OnLeftColumnChanged(const GridPos& column)
{
    if (column == leftColumn_)
        return;
    leftColumn_ = column;
    UpdateScrollBars(true);
    if (HoldsData()) {
        const std::int32_t index = column.Index;
        Send(kLeftColumnChanged, &index);
    }
}

void EventGridControl::OnColumnWidthChanged(const GridPos& column, int width)
{
    UpdateScrollBars(true);
    const std::int32_t data[2]{column.Index, width};
    Send(kColumnWidthChanged, data);
}

void EventGridControl::OnColumnMoved(const GridPos& from, const GridPos& to)
{
    if (!HoldsData())
        return;
    const std::int32_t data[2]{from.Index, to.Index};
    Send(kColumnMoved, data);
}

void EventGridControl::SetCellValue(const GridPos& row, const GridPos& column, const KVO::String& text)
{
    if (actionHandler_ && HoldsData()) {
        KVO::String copy = text;
        IKVOString* value = copy.GetInterface();
        actionHandler_->OnCellNotify(actionFlags_, row.Index, column.Index, value);
        value->Release();
    }
}

void EventGridControl::CellCommand(int kind, const GridPos& row, const GridPos& column, int value)
{
    if (actionHandler_ && HoldsData())
        actionHandler_->OnCellNotifyEx(actionFlags_, kind, row.Index, column.Index, value);
}

void EventGridControl::ClearCell(unsigned flags, const GridPos& row, const GridPos& column)
{
    if (actionHandler_ && HoldsData() && actionHandler_->OnCellNotifyEx(flags, 1, row.Index, column.Index, 0) != 0)
        SetCellValue(row, column, KVO::String());
}

void EventGridControl::ToggleAlwaysShowLatestRow()
{
    GridControl::ToggleAlwaysShowLatestRow();
    if (actionHandler_ && HoldsData())
        actionHandler_->OnFollowLatestChanged(actionFlags_, options_.AlwaysShowLatestRow ? VARIANT_TRUE : 0);
}

bool EventGridControl::CellHasStyle(const GridPos& row, const GridPos& column, LONG bits) const
{
    LONG style = 0;
    return dataManager_ && SUCCEEDED(dataManager_->GetCellStyle(dataFlags_, row.Index, column.Index, &style)) &&
           (style & bits) != 0;
}

void EventGridControl::MoveRow(int step, bool shift)
{
    const int r0 = firstDataRow_;
    const int last = r0 + pane_->RowCount() - 1;
    if (!selection_ || !selection_->HasSelection()) {
        ScrollRowsBy(step);
        return;
    }
    CellRange range = selection_->GetRange();
    GridPos tested;
    if (!shift) {
        const int from = selection_->RowSelection() ? range.FirstRow.Index : selection_->AnchorRow().Index;
        const int row = std::clamp(from + step, r0, last);
        CellRange one{{row, r0}, {row + 1, r0}, selection_->AnchorColumn(),
                      {selection_->AnchorColumn().Index + 1, selection_->AnchorColumn().Origin}};
        if (selection_->RowSelection()) {
            one.FirstColumn = range.FirstColumn;
            one.EndColumn = range.EndColumn;
        }
        range = one;
        tested = {row, r0};
    } else if (step < 0) {
        if (range.FirstRow.Index > r0)
            range.FirstRow.Index -= 1;
        tested = range.FirstRow;
    } else {
        if (range.EndRow.Index <= last)
            range.EndRow.Index += 1;
        tested = range.EndRow; // the row after the grown range, so that one more row shows below it
    }
    selection_->SetRange(range);
    if (!IsRowVisible(tested)) {
        if (step < 0)
            ScrollToRow(tested);
        else
            EnsureRowVisible(tested);
    }
}

void EventGridControl::MoveColumn(int step, bool shift)
{
    const int c0 = firstDataColumn_;
    const int last = c0 + pane_->ColumnCount() - 1;
    if (!selection_ || !selection_->HasSelection() || selection_->RowSelection()) {
        ScrollColumnsBy(step);
        return;
    }
    CellRange range = selection_->GetRange();
    GridPos tested;
    if (!shift) {
        const int column = std::clamp(selection_->AnchorColumn().Index + step, c0, last);
        range = {selection_->AnchorRow(), {selection_->AnchorRow().Index + 1, selection_->AnchorRow().Origin},
                 {column, c0}, {column + 1, c0}};
        tested = {column, c0};
    } else if (step < 0) {
        if (range.FirstColumn.Index > c0)
            range.FirstColumn.Index -= 1;
        tested = range.FirstColumn;
    } else {
        if (range.EndColumn.Index <= last)
            range.EndColumn.Index += 1;
        tested = range.EndColumn;
    }
    selection_->SetRange(range);
    if (!IsColumnVisible(tested))
        ScrollToColumn(tested);
}

bool EventGridControl::HandleKeyDown(uint key, uint repeat, uint flags)
{
    if (pane_->HasEditor()) {
        if (key != VK_ESCAPE && key != VK_TAB && key != VK_RETURN)
            return false;
        pane_->EditorKey(key, repeat, flags);
        return true;
    }
    const int rows = pane_->RowCount();
    const bool noColumns = pane_->ColumnCount() == 0;
    if (noColumns && (key == VK_LEFT || key == VK_RIGHT))
        return true;
    if (rows == 0) {
        switch (key) {
        case VK_RETURN: case VK_ESCAPE: case VK_HOME: case VK_UP: case VK_PRIOR:
        case VK_DOWN: case VK_END: case VK_NEXT: case VK_TAB:
            return true;
        default:
            break;
        }
    }
    const bool shift = (static_cast<unsigned short>(::GetKeyState(VK_SHIFT)) & 0x8000u) != 0;
    const bool selected = selection_ && selection_->HasSelection();
    const int r0 = firstDataRow_;
    const int last = r0 + rows - 1;
    const int first = pane_->TopRow() + r0;
    const int end = pane_->VisibleEnd() + r0;

    if (key == VK_TAB) {
        const CellRange& range = selection_ ? selection_->GetRange() : CellRange{};
        key = range.IsOneCell() && CellHasStyle(range.FirstRow, range.FirstColumn, 0x800) ? VK_DOWN : VK_RIGHT;
    }
    switch (key) {
    case VK_ESCAPE:
        if (selection_)
            selection_->Clear();
        return true;
    case VK_HOME:
        if (shift && selected) {
            CellRange range = selection_->GetRange();
            range.FirstRow = {r0, r0};
            selection_->SetRange(range);
        }
        ScrollToRow({r0, r0});
        return true;
    case VK_END:
        if (shift && selected) {
            CellRange range = selection_->GetRange();
            range.EndRow = {r0 + rows, r0};
            selection_->SetRange(range);
        }
        ScrollToLastRow();
        return true;
    case VK_PRIOR:
    case VK_NEXT: {
        const int target = key == VK_PRIOR ? std::max(2 * first - end, r0) : std::min(end, last);
        if (shift && selected) {
            CellRange range = selection_->GetRange();
            range.IncludeRow({target, r0});
            selection_->SetRange(range);
        }
        ScrollToRow({target, r0});
        return true;
    }
    case VK_UP:
        MoveRow(-1, shift);
        return true;
    case VK_DOWN:
    case VK_RETURN:
        MoveRow(+1, shift);
        return true;
    case VK_LEFT:
        MoveColumn(-1, shift);
        return true;
    case VK_RIGHT:
        MoveColumn(+1, shift);
        return true;
    case VK_BACK:
    case VK_DELETE:
        if (selected) {
            const CellRange range = selection_->GetRange();
            const bool one = range.IsOneCell();
            for (int r = range.FirstRow.Index; r < range.EndRow.Index; ++r)
                for (int c = range.FirstColumn.Index; c < range.EndColumn.Index; ++c) {
                    const bool isFirst = r == range.FirstRow.Index && c == range.FirstColumn.Index;
                    const bool isLast = r == range.EndRow.Index - 1 && c == range.EndColumn.Index - 1;
                    const unsigned clearFlags = one ? 1u : isFirst ? 10u : isLast ? 12u : 8u;
                    ClearCell(clearFlags, {r, range.FirstRow.Origin}, {c, range.FirstColumn.Origin});
                }
        }
        return true;
    default:
        // A typed key over an editable cell opens its editor, starting with that key; a modifier alone does not.
        if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || (key >= VK_LSHIFT && key <= VK_RCONTROL))
            return false;
        if (selection_ && selection_->GetRange().IsOneCell()) {
            const CellRange& range = selection_->GetRange();
            if (CellHasStyle(range.FirstRow, range.FirstColumn, 2 | 4 | 8))
                pane_->OpenEditor(range.FirstRow.Offset(), range.FirstColumn.Offset(), key);
        }
        return false;
    }
}

} // namespace TVF_Grid
