#include "tableview/tvf/gridpane.h"

#include "platform/owl/dc.h"
#include "platform/win/winmenu.h"
#include "platform/win/winscroll.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/grideditors.h"
#include "tableview/tvf/rownumberspane.h"

#include <algorithm>

namespace TVF_Grid {
namespace {
// Posted to the pane to delete editors that closed while handling one of their own messages.
constexpr UINT kDeleteRetiredEditors = WM_USER + 0x71;

bool KeyDown(int key) { return (static_cast<unsigned short>(::GetAsyncKeyState(key)) & 0x8000u) != 0; }

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The one character that a key typed over a text cell starts the editor with; 0 for other keys.
char16_t StartingCharacter(uint key)
{
    if (key >= '0' && key <= '9')
        return static_cast<char16_t>(key);
    if (key >= 'A' && key <= 'Z')
        return static_cast<char16_t>(key - 'A' + 'a');
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return static_cast<char16_t>('0' + (key - VK_NUMPAD0));
    switch (key) {
    case VK_SPACE: return u' ';
    case VK_SUBTRACT:
    case VK_OEM_MINUS: return u'-';
    case VK_OEM_COMMA: return u',';
    case VK_OEM_PERIOD:
    case VK_DECIMAL: return u'.';
    default: return 0;
    }
}
} // namespace

GridPane::GridPane(GridControl& grid) : OWL::TWindow(&grid, u""), grid_(grid) { columns_.reserve(16); }

GridPane::~GridPane()
{
    CloseEditors();
    retiredAliases_.clear();
    retiredItems_.clear();
    if (bitmap_)
        ::DeleteObject(bitmap_);
}

GridPos GridPane::RowPos(int row) const { return {row + grid_.FirstDataRow(), grid_.FirstDataRow()}; }
GridPos GridPane::ColumnPos(int column) const { return {column + grid_.FirstDataColumn(), grid_.FirstDataColumn()}; }

long GridPane::CellStyle(int row, int column) const
{
    LONG style = 0;
    if (ITableDataManager* data = grid_.DataManager())
        data->GetCellStyle(grid_.DataFlags(), RowPos(row).Index, ColumnPos(column).Index, &style);
    return style;
}

// Rows.

void GridPane::SetRowCount(int rows) { rows_ = std::max(rows, 0); }

void GridPane::SetClientSize(int width, int height)
{
    clientWidth_ = std::max(width, 0);
    clientHeight_ = std::max(height, 0);
    visibleRows_ = clientHeight_ / kRowHeight;
}

void GridPane::EvSize(uint sizeType, const OWL::TSize& size)
{
    OWL::TWindow::EvSize(sizeType, size);
    SetClientSize(size.cx, size.cy);
}

void GridPane::ScrollToRow(int row, bool keepLastPageFull)
{
    row = std::max(row, 0);
    if (row == topRow_)
        return;
    // A top row past the last row would show nothing.
    row = std::max(std::min(row, rows_ - 1), 0);
    if (leftColumn_ < ColumnCount() && keepLastPageFull && rows_ - row < visibleRows_)
        row = std::max(rows_ - visibleRows_, 0);
    if (row == topRow_)
        return;
    const int distance = (topRow_ - row) * kRowHeight;
    topRow_ = row;
    if (Column(leftColumn_))
        xOffset_ = columns_[leftColumn_]->left_;
    if (!GetHandle())
        return;
    if (std::abs(distance) < clientHeight_)
        ::ScrollWindowEx(GetHandle(), 0, distance, nullptr, nullptr, nullptr, nullptr,
                         SW_INVALIDATE | SW_ERASE | SW_SCROLLCHILDREN);
    else
        Invalidate();
}

int GridPane::VisibleEnd() const { return std::min(rows_, topRow_ + visibleRows_); }

int GridPane::RowAt(int y) const { return std::min(FloorDiv(y + VerticalOffset(), kRowHeight), rows_ - 1); }

// Columns.

GridColumn& GridPane::AddColumn(std::unique_ptr<GridColumn> column)
{
    column->pane_ = this;
    if (!columns_.empty())
        column->left_ = columns_.back()->Right() + 1;
    columns_.push_back(std::move(column));
    return *columns_.back();
}

void GridPane::RemoveAllColumns()
{
    CloseEditors();
    columns_.clear();
    leftColumn_ = 0;
    xOffset_ = 0;
}

int GridPane::ColumnAt(int x) const
{
    const int content = x + xOffset_;
    for (int i = 0; i < ColumnCount(); ++i)
        if (content >= columns_[i]->left_ && content <= columns_[i]->Right())
            return i;
    return ColumnCount() - 1;
}

int GridPane::TotalWidth(int first) const
{
    int sum = 0;
    for (int i = std::max(first, 0); i < ColumnCount(); ++i)
        sum += columns_[i]->width_ + 1;
    return sum;
}

int GridPane::FullyVisibleColumns() const
{
    int sum = 0;
    int count = 0;
    for (int i = leftColumn_; i < ColumnCount(); ++i) {
        sum += columns_[i]->width_ + 1;
        if (sum > clientWidth_)
            break;
        ++count;
    }
    return std::max(count, leftColumn_ < ColumnCount() ? 1 : 0);
}

int GridPane::LastLeftColumn() const
{
    int sum = 0;
    for (int i = ColumnCount() - 1; i >= 0; --i) {
        sum += columns_[i]->width_ + 1;
        if (sum > clientWidth_)
            return std::min(i + 1, ColumnCount() - 1);
    }
    return 0;
}

void GridPane::SetLeftColumn(int column)
{
    column = std::max(column, 0);
    if (column == leftColumn_ || column >= ColumnCount())
        return;
    column = std::min(column, LastLeftColumn());
    if (column == leftColumn_)
        return;
    const int distance = xOffset_ - columns_[column]->left_;
    leftColumn_ = column;
    xOffset_ = columns_[column]->left_;
    if (!GetHandle())
        return;
    if (std::abs(distance) < clientWidth_)
        ::ScrollWindowEx(GetHandle(), distance, 0, nullptr, nullptr, nullptr, nullptr,
                         SW_INVALIDATE | SW_ERASE | SW_SCROLLCHILDREN);
    else
        Invalidate();
    UpdateWindow();
}

bool GridPane::GetCellRect(int row, int column, RECT& rect) const
{
    const GridColumn* object = Column(column);
    if (!object || row < topRow_ || row > topRow_ + visibleRows_)
        return false;
    const int left = object->left_ - xOffset_;
    if (left + object->width_ < 0 || left >= clientWidth_)
        return false;
    rect.left = left;
    rect.top = row * kRowHeight - VerticalOffset();
    rect.right = left + object->width_;
    rect.bottom = rect.top + kRowHeight - 1;
    return true;
}

void GridPane::InvalidateCell(int row, int column)
{
    RECT rect;
    if (GetHandle() && GetCellRect(row, column, rect))
        InvalidateRect(OWL::TRect(rect.left, rect.top, rect.right + 1, rect.bottom + 1), false);
}

void GridPane::InvalidateRowSpan(int first, int last)
{
    if (!GetHandle())
        return;
    const int top = std::min(first, last) * kRowHeight - VerticalOffset();
    const int bottom = (std::max(first, last) + 1) * kRowHeight - VerticalOffset();
    InvalidateRect(OWL::TRect(0, top, clientWidth_, bottom), false);
}

// Widths.

void GridPane::PlaceColumnsFrom(int first)
{
    for (int i = std::max(first, 0) + 1; i < ColumnCount(); ++i)
        columns_[i]->left_ = columns_[i - 1]->Right() + 1;
    if (Column(leftColumn_))
        xOffset_ = columns_[leftColumn_]->left_;
}

void GridPane::SetColumnWidth(int column, int width)
{
    if (GridColumn* object = Column(column)) {
        object->width_ = std::max(width, object->minWidth_);
        PlaceColumnsFrom(column);
    }
}

void GridPane::BeginColumnResize()
{
    changedLeft_ = 0x7FFFFFFF;
    changedRight_ = columns_.empty() ? 0 : columns_.back()->Right();
}

void GridPane::SetColumnRight(int column, int right)
{
    if (!Column(column))
        return;
    // The dragged border lands where it was put: fixed columns between it and the resized column keep their
    // widths (and their one-pixel lines) and move along.
    int edge = right;
    int changed = -1;
    const bool shrinking = right <= columns_[column]->Right();
    for (int i = column; i >= 0 && changed < 0; --i) {
        GridColumn& c = *columns_[i];
        if (!c.Resizable()) {
            edge -= c.width_ + 1;
            continue;
        }
        if (!shrinking || c.left_ + c.minWidth_ <= edge) {
            c.width_ = std::max(edge - c.left_, c.minWidth_);
            changed = i;
            break;
        }
        // Too narrow: this column gives its minimum and the columns before it give the rest.
        c.width_ = c.minWidth_;
        c.left_ = std::max(edge - c.minWidth_, 0);
        edge = c.left_ - 1;
        if (c.left_ == 0)
            changed = i;
    }
    if (changed < 0)
        return;
    PlaceColumnsFrom(changed);
    changedLeft_ = std::min(changedLeft_, columns_[changed]->left_);
    changedRight_ = std::max(changedRight_, columns_.back()->Right());
}

void GridPane::ColumnWidthChanged(int column)
{
    const GridColumn* object = Column(column);
    if (!object)
        return;
    if (GetHandle() && changedLeft_ <= changedRight_)
        InvalidateRect(OWL::TRect(changedLeft_ - xOffset_, 0, changedRight_ - xOffset_ + 1, clientHeight_), false);
    MoveEditorToCell();
    grid_.OnColumnWidthChanged(ColumnPos(column), object->width_);
}

// Painting.

void GridPane::Paint(OWL::TDC& dc, bool, OWL::TRect& update)
{
    const int width = std::max(clientWidth_, 1);
    const int height = std::max(clientHeight_, 1);
    if (!bitmap_ || bitmapSize_.cx < width || bitmapSize_.cy < height) {
        if (bitmap_)
            ::DeleteObject(bitmap_);
        bitmap_ = ::CreateCompatibleBitmap(dc, width, height);
        bitmapSize_ = {width, height};
    }
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap_);
    const RECT client{0, 0, clientWidth_, clientHeight_};
    ::FillRect(memory, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    GridRenderer& renderer = renderer_ ? *renderer_ : static_cast<GridRenderer&>(grid_);
    if (!columns_.empty()) {
        const int first = ColumnAt(update.left);
        const int last = ColumnAt(update.right);
        const int firstRow = std::max(FloorDiv(update.top + VerticalOffset(), kRowHeight), 0);
        const int endRow = std::min((update.bottom + VerticalOffset() + kRowHeight - 1) / kRowHeight + 1, rows_);
        renderer.BeginPaint();
        HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_3DLIGHT));
        for (int c = first; c <= last && c < ColumnCount(); ++c)
            PaintColumn(memory, c, firstRow, std::max(endRow, firstRow), pen);
        ::DeleteObject(pen);
    }
    renderer.EndPaint();
    ::BitBlt(dc, update.left, update.top, update.Width(), update.Height(), memory, update.left, update.top, SRCCOPY);
    ::SelectObject(memory, oldBitmap);
    ::DeleteDC(memory);
}

void GridPane::PaintColumn(HDC dc, int c, int firstRow, int endRow, HPEN gridPen)
{
    GridRenderer& renderer = renderer_ ? *renderer_ : static_cast<GridRenderer&>(grid_);
    const int c0 = grid_.FirstDataColumn();
    const GridPos first = RowPos(firstRow);
    const GridPos end = RowPos(endRow);
    const GridPos columnPos = ColumnPos(c);
    {
        const GridColumn& column = *columns_[c];
        const GridPos indexPos{column.Index() + c0, c0};
        grid_.PrepareColumn(indexPos);
        renderer.BeginColumn(first, indexPos);
    }
    const auto right = [&] { return columns_[c]->Right() - xOffset_; };
    const auto left = [&] { return columns_[c]->left_ - xOffset_; };
    HGDIOBJ oldPen = ::SelectObject(dc, gridPen);
    if (gridLines_) {
        ::MoveToEx(dc, right(), 0, nullptr);
        ::LineTo(dc, right(), clientHeight_);
    }

    std::unique_ptr<RowPosCursor> rows = columns_[c]->CreateRowCursor(first, end);
    HGDIOBJ oldFont = ::SelectObject(dc, grid_.CellFont());
    const RECT columnRect{left(), 0, right(), clientHeight_};
    int contentWidth = 0;
    int lowest = 0;
    const bool painted =
        renderer.PaintColumn(dc, columns_[c]->Index(), columnRect, *rows, end, &contentWidth, &lowest);

    GridColumn& column = *columns_[c];
    if (grid_.Options().AutoFitColumns && !column.Greyed() && column.State() == GridColumn::kFitToTitle &&
        contentWidth > 0) {
        SIZE title{};
        ::GetTextExtentPoint32W(dc, column.Title().c_str(), column.Title().Length(), &title);
        column.SetState(0);
        grid_.OnColumnResized(std::max<int>(contentWidth, title.cx) + 4, columnPos);
    }

    const GridSelection* selection = grid_.Selection();
    std::unique_ptr<RowPosCursor> cells = columns_[c]->CreateRowCursor(first, end);
    for (; cells->IsValid(); cells->Next()) {
        if (gridLines_) {
            ::MoveToEx(dc, 0, cells->Bottom() - 1, nullptr);
            ::LineTo(dc, clientWidth_, cells->Bottom() - 1);
        }
        const GridPos& row = cells->Row();
        if (painted || row.Offset() >= rows_ || c >= ColumnCount())
            continue;
        const int kind = grid_.GetCellKind(row, columnPos);
        if (kind == 1)
            continue;
        renderer.BeginCell(row);
        renderer.SetCellColors(dc, row, columnPos, kind, nullptr);
        const RECT cell{left(), cells->Top(), right(), cells->Bottom() - 1};
        const bool selected = selection && selection->GetRange().Contains(row.Index, columnPos.Index);
        renderer.PaintCell(dc, row, columnPos, cell, selected);
    }
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldPen);
}

// Mouse.

bool GridPane::CellAt(const OWL::TPoint& point, bool edgesIn, int& row, int& column) const
{
    if (columns_.empty())
        return false;
    const int right = columns_.back()->Right() - xOffset_;
    const int bottom = rows_ * kRowHeight - VerticalOffset();
    const bool inside = edgesIn ? point.x <= right && point.y <= bottom : point.x < right && point.y < bottom;
    if (!inside || point.y + VerticalOffset() < 0)
        return false;
    row = std::min(FloorDiv(point.y + VerticalOffset(), kRowHeight), rows_ - 1);
    column = ColumnAt(point.x);
    return row >= 0 && column >= 0;
}

GridSelection* GridPane::PressCell(const OWL::TPoint& point, int& row, int& column)
{
    SetFocus();
    GridSelection* selection = grid_.Selection();
    if (selection && !CellAt(point, false, row, column)) {
        selection->Clear();
        return nullptr;
    }
    return selection;
}

void GridPane::EvLButtonDown(uint, const OWL::TPoint& point)
{
    int r = 0, c = 0;
    GridSelection* selection = PressCell(point, r, c);
    if (!selection)
        return;
    selection->SelectCellWithKeys(RowPos(r), ColumnPos(c));
    if (CellStyle(r, c) & (2 | 8))
        OpenEditor(r, c, kNoKey);
}

void GridPane::EvLButtonUp(uint modKeys, const OWL::TPoint& point)
{
    if (grid_.Options().RowSelection) {
        grid_.RowNumbers().EvLButtonUp(modKeys, point);
        return;
    }
    if (GridSelection* selection = grid_.Selection())
        selection->EndPressWithKeys(RowPos(RowAt(point.y)), ColumnPos(ColumnAt(point.x)));
}

void GridPane::EvLButtonDblClk(uint modKeys, const OWL::TPoint& point)
{
    if (grid_.Options().RowSelection) {
        grid_.RowNumbers().EvLButtonDblClk(modKeys, point);
        return;
    }
    OWL::TWindow::EvLButtonDblClk(modKeys, point);
    GridSelection* selection = grid_.Selection();
    int r = 0, c = 0;
    if (!selection || !CellAt(point, true, r, c))
        return;
    const GridPos row = RowPos(r);
    const GridPos column = ColumnPos(c);
    selection->SetRange({row, {row.Index + 1, row.Origin}, column, {column.Index + 1, column.Origin}});
    const unsigned flags = GridSelection::GetKeyFlags() + GridSelection::kDoubleClick;
    selection->SelectCell(row, column, flags);
    selection->EndPress(row, column, flags);
    if (grid_.Options().TextEditing && (CellStyle(r, c) & 4))
        BeginEditAt(r, c);
}

void GridPane::EvRButtonDown(uint, const OWL::TPoint& point)
{
    int r = 0, c = 0;
    if (GridSelection* selection = PressCell(point, r, c))
        selection->SelectCell(RowPos(r), ColumnPos(c), GridSelection::GetKeyFlags() + GridSelection::kRightButton);
}

void GridPane::EvRButtonUp(uint modKeys, const OWL::TPoint& point)
{
    GridSelection* selection = grid_.Selection();
    int r = 0, c = 0;
    if (!selection || !CellAt(point, true, r, c))
        return;
    selection->EndPress(RowPos(r), ColumnPos(c), GridSelection::GetKeyFlags() + GridSelection::kRightButton);
    OWL::TWindow::EvRButtonUp(modKeys, point);
}

void GridPane::EvMouseMove(uint modKeys, const OWL::TPoint& point)
{
    if (grid_.Options().RowSelection) {
        grid_.RowNumbers().EvMouseMove(modKeys, point);
        return;
    }
    GridSelection* selection = grid_.Selection();
    if (!selection || columns_.empty() || rows_ == 0)
        return;
    const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    if (!KeyDown(button) || KeyDown(VK_LCONTROL) || KeyDown(VK_LSHIFT))
        return;
    const int r = std::max(RowAt(point.y), 0);
    const int c = ColumnAt(point.x);
    selection->ExtendToWithKeys(RowPos(r), ColumnPos(c));
    if (c >= leftColumn_ + FullyVisibleColumns())
        grid_.ScrollColumnsBy(1);
    if (r >= topRow_ + visibleRows_)
        grid_.ScrollRowsBy(1);
}

void GridPane::EvContextMenu(HWND, int, int)
{
    ITableRowMenuProvider* provider = grid_.RowMenuProvider();
    const GridSelection* selection = grid_.Selection();
    if (!grid_.ActionHandler() || !provider || !selection || !selection->GetRange().IsOneCell())
        return;
    const CellRange& range = selection->GetRange();
    const int chosen = TrackCellMenu(*provider, range.FirstRow.Index, range.FirstColumn.Index,
                                     Parent ? Parent->GetHandle() : GetHandle());
    if (chosen > 0)
        grid_.CellCommand(2, range.FirstRow, range.FirstColumn, chosen - 1);
}

void GridPane::EvKeyDown(uint key, uint repeatCount, uint flags)
{
    if (!grid_.HandleKeyDown(key, repeatCount, flags))
        OWL::TWindow::EvKeyDown(key, repeatCount, flags);
}

OWL::TResult GridPane::WindowProc(OWL::TMsgId message, OWL::TParam1 p1, OWL::TParam2 p2)
{
    if (message == kDeleteRetiredEditors) {
        retiredAliases_.clear();
        retiredItems_.clear();
        return 0;
    }
    return OWL::TWindow::WindowProc(message, p1, p2);
}

// Editing.

bool GridPane::OpenEditor(int row, int column, uint key)
{
    CloseEditors();
    RECT rect;
    if (!GetCellRect(row, column, rect))
        return false;
    const GridPos rowPos = RowPos(row);
    const GridPos columnPos = ColumnPos(column);
    value_ = grid_.GetCellData(rowPos, columnPos);
    const long style = CellStyle(row, column);
    if (grid_.Options().TextEditing || (style & 8))
        controlClass_ = std::make_unique<GridText>();
    if (style & 0x80)
        if (auto* text = dynamic_cast<CellStringData*>(value_.get()))
            text->SetText(KVO::String());
    if (style & 8) {
        if (GridSelection* selection = grid_.Selection())
            selection->UnsetPressedCell();
        auto list = std::make_unique<GridStringList>();
        for (const auto& [channel, title] : grid_.ChannelTitles())
            list->AddString(std::u16string(title.View()));
        controlClass_ = std::move(list);
    }
    if (!controlClass_) {
        CloseEditors();
        return false;
    }

    item_ = controlClass_->CreateItemControl(*this, *value_);
    OWL::TWindow& window = item_->Window();
    if (!window.GetHandle()) {
        window.Create();
        alias_ = std::make_unique<ControlAlias>(*this, window.GetHandle(), column, row);
        window.SetWindowFont(grid_.CellFont(), false);
    }
    editedColumn_ = column;
    editedRow_ = row;
    window.SetFocus();
    window.ShowWindow(SW_SHOW);
    MoveEditorToCell();
    item_->Transfer(false);

    if (dynamic_cast<GridEditCtrl*>(item_.get())) {
        window.SendMessage(EM_SETSEL, 0, -1);
        if (const char16_t typed = StartingCharacter(key)) {
            const char16_t text[2]{typed, 0};
            window.SetWindowText(text);
            window.SendMessage(EM_SETSEL, 1, 1);
        }
    }
    BringEditedCellIntoView();
    return true;
}

void GridPane::MoveEditorToCell()
{
    RECT rect;
    if (!item_ || !GetCellRect(editedRow_, editedColumn_, rect))
        return;
    OWL::TWindow& window = item_->Window();
    const int cellHeight = rect.bottom - rect.top;
    int height = cellHeight;
    if (dynamic_cast<StringComboBox*>(item_.get())) {
        window.SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), cellHeight - 4);
        window.SendMessage(CB_SETITEMHEIGHT, 0, cellHeight);
        height = 5 * cellHeight;
    }
    window.MoveWindow(rect.left, rect.top, rect.right - rect.left, height, true);
}

void GridPane::BringEditedCellIntoView()
{
    const GridPos row = RowPos(editedRow_);
    const GridPos column = ColumnPos(editedColumn_);
    if (!grid_.IsRowVisible(row))
        grid_.EnsureRowVisible(row);
    const GridColumn* object = Column(editedColumn_);
    const bool fullyShown = editedColumn_ >= leftColumn_ && object && object->Right() - xOffset_ <= clientWidth_;
    if (!fullyShown && editedColumn_ != leftColumn_)
        grid_.ScrollToColumn(column);
    MoveEditorToCell();
}

void GridPane::BeginEditAt(int row, int column)
{
    if (item_) {
        TransferFromEditor();
        CommitEditor();
    }
    if (row >= 0 && row < rows_ && column >= 0 && column < ColumnCount())
        OpenEditor(row, column, kNoKey);
}

void GridPane::TransferFromEditor()
{
    if (item_)
        item_->Transfer(true);
}

void GridPane::CommitEditor()
{
    if (committing_ || !item_)
        return;
    committing_ = true;
    const KVO::String text = value_ ? value_->GetText() : KVO::String();
    const GridPos row = RowPos(editedRow_);
    const GridPos column{columns_.empty() || !Column(editedColumn_)
                             ? editedColumn_ + grid_.FirstDataColumn()
                             : Column(editedColumn_)->Index() + grid_.FirstDataColumn(),
                         grid_.FirstDataColumn()};
    item_->Window().ShowWindow(SW_HIDE);
    item_->Window().EnableWindow(false);
    CloseEditors();
    grid_.SetCellValue(row, column, text);
    if (GetHandle())
        SetFocus();
    committing_ = false;
}

void GridPane::CloseEditors()
{
    if (alias_) {
        alias_->Retire();
        retiredAliases_.push_back(std::move(alias_));
    }
    if (item_)
        retiredItems_.push_back(std::move(item_));
    controlClass_.reset();
    value_.reset();
    editedRow_ = editedColumn_ = -1;
    if (retiredItems_.empty() && retiredAliases_.empty())
        return;
    // The editor may be closing from inside one of its own messages: delete it once that has returned.
    if (GetHandle())
        PostMessage(kDeleteRetiredEditors);
    else {
        retiredAliases_.clear();
        retiredItems_.clear();
    }
}

void GridPane::EditorKey(uint key, uint repeatCount, uint flags)
{
    switch (key) {
    case VK_TAB:
    case VK_RETURN:
        TransferFromEditor();
        CommitEditor();
        break;
    case VK_ESCAPE:
        CommitEditor();
        break;
    default:
        if (alias_)
            alias_->DefaultKey(key, repeatCount, flags);
        break;
    }
}

} // namespace TVF_Grid
