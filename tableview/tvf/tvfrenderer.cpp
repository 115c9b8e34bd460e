#include "tableview/tvf/tvfrenderer.h"

#include "frame/eventcomment.h"
#include "platform/win/errors.h"
#include "platform/win/memstatus.h"
#include "sdk/ikvostring.h"
#include "sdk/tallysheet.h"
#include "tableview/tvf/gridcolumn.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/pixmap.h"

#include <new>

using TVF_Grid::GridPos;

namespace {

// The last percentage shown by any copy, and by any Tallysheet fill, in this process.
int lastCopyPercent = -1;
int lastTallysheetPercent = -1;

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A host progress display over the rows of one operation; it reports only when the whole percentage changes.
class RowProgress {
public:
    RowProgress(const char16_t* title, int& lastShown) : lastShown_(lastShown)
    {
        platform::ComPtr<IUnknown> made;
        CAF::CreateHostObjectFromStrings(made.Out(), KVO::String(title), KVO::String(), 0, 0, KVO::String());
        if (made) {
            made->QueryInterface(IID_IHostProgress, progress_.OutVoid());
        }
    }
    // After `done` of `total` rows: false when the operation ends (all done, or the user cancelled).
    bool GoOn(LONG done, LONG total)
    {
        if (done >= total) {
            return false;
        }
        const int percent = static_cast<int>(done * 100.0 / total);
        if (percent == lastShown_) {
            return true;
        }
        lastShown_ = percent;
        if (!progress_) {
            return true; // nobody can cancel: run to the end
        }
        if (progress_->SetPercent(percent) != S_OK) {
            cancelled_ = true;
            return false;
        }
        KVO::String text(Widen(std::to_string(percent) + " %"));
        IKVOString* shown = text.GetInterface();
        progress_->SetText(shown);
        shown->Release();
        return true;
    }

    bool Cancelled() const { return cancelled_; }

private:
    int& lastShown_;
    platform::ComPtr<IHostProgress> progress_;
    bool cancelled_ = false;
};

} // namespace

TVF_Renderer::TVF_Renderer(TVF_Grid::EventGridControl& grid) : grid_(grid)
{
    HDC screen = GetDC(nullptr);
    titleFont_ = std::make_unique<KVO::MetricFont>(screen, 10, true);
    ReleaseDC(nullptr, screen);
}

TVF_Renderer::~TVF_Renderer() = default;

void TVF_Renderer::Attach(ITableViewMgrInternal* widths, ITableDataManager* data, ITableStoredRowInfo* rows,
                          DWORD selector)
{
    widths_ = widths;
    data_ = data;
    rows_ = rows;
    selector_ = selector;
    pixMap_ = platform::ComPtr<IRecordDataPixMap>(new TVF_PixMap(rows, HeaderRows(), HeaderColumns(), selector));
}

void TVF_Renderer::Detach()
{
    data_ = nullptr;
    pixMap_.Reset();
}

KVO::String TVF_Renderer::Cell(LONG row, LONG column, LONG& style) const
{
    KVO::String text;
    style = 1;
    if (data_) {
        data_->GetCell(selector_, row, column, KVOString::OutParam(text));
        data_->GetCellStyle(selector_, row, column, &style);
    }
    return text;
}

KVO::String TVF_Renderer::ColumnTitle(LONG column) const
{
    platform::ComPtr<ITableColumnDescription> description;
    if (data_ && SUCCEEDED(data_->QueryInterface(IID_ITableColumnDescription, description.OutVoid())) &&
        description) {
        const LONG c = column - HeaderColumns();
        KVO::String name;
        KVO::String units;
        description->GetColumnName(c, KVOString::OutParam(name));
        description->GetColumnUnits(c, KVOString::OutParam(units));
        if (!units.IsEmpty()) {
            name.Append(u" (");
            name.Append(units);
            name.Append(u")");
        }
        return name;
    }
    LONG style = 0;
    KVO::String text = Cell(0, column, style);
    return (style & CellStyle::kColumnTitle) ? text : KVO::String();
}

KVO::String TVF_Renderer::ChannelText(const KVO::String& text) const
{
    // The number is read as the grid reads it for its choice list, so that both name the same channel.
    const auto number = static_cast<std::int32_t>(TVF_Grid::TVF_CellUint32Data::Read(text));
    if (number < 0) {
        return KVO::String();
    }
    const auto& names = grid_.ChannelTitles();
    auto found = names.find(static_cast<unsigned>(number));
    return found == names.end() ? KVO::String() : found->second;
}

int TVF_Renderer::RowCount() const
{
    LONG rows = 0;
    if (rows_) {
        rows_->GetRowCount(selector_, &rows);
    }
    return rows;
}

void TVF_Renderer::RebuildColumns()
{
    LONG n = 0;
    if (data_) {
        data_->GetColumnCount(selector_, &n);
    }
    const int h = HeaderColumns();
    columnCount_ = n;
    headerColumns_ = h;
    TVF_Grid::GridPane& pane = grid_.Pane();
    pane.RemoveAllColumns();
    const int columns = std::max<int>(n - h, 0);
    columns_.resize(static_cast<std::size_t>(columns));
    for (int c = pane.ColumnCount(); c < columns; ++c) {
        LONG width = defaultWidth_;
        if (widths_) {
            widths_->GetColumnWidth(0, h + c, &width);
        }
        KVO::String& title = columns_[static_cast<std::size_t>(c)].title;
        title = ColumnTitle(h + c);
        auto column = std::make_unique<TVF_Grid::UniformGridColumn>(grid_, c, title, static_cast<int>(width));
        column->SetShortTitle(title);
        pane.AddColumn(std::move(column));
    }
    if (columns == 0) {
        pane.AddColumn(std::make_unique<TVF_Grid::UniformGridColumn>(grid_, 0, KVO::String(), defaultWidth_));
    }
    grid_.UpdateScrollBars(true);
    std::int64_t dataRows = 0;
    if (pixMap_) {
        pixMap_->Rebuild(0);
        pixMap_->GetTotalLength(&dataRows);
    }
    grid_.SetRowExtent(static_cast<int>(dataRows) + HeaderRows(), HeaderRows());
    if (follow_ && pixMap_) {
        pixMap_->GetTotalLength(&endPosition_);
        for (ColumnEntry& entry : columns_) {
            entry.position = endPosition_;
            entry.held.Reset();
        }
    }
    if (grid_.GetHandle()) {
        grid_.Invalidate();
    }
}

bool TVF_Renderer::PaintColumn(HDC dc, int c, const RECT& column, TVF_Grid::RowPosCursor& cursor,
                               const GridPos& endRow, int* widest, int* lowest)
{
    if (c < 0 || c >= ColumnEntries()) {
        return false;
    }
    const int h = HeaderColumns();
    const int H = HeaderRows();
    const bool printing = grid_.Options().NoSelectionHighlight;
    int rowCount = RowCount();
    // A printout moves the cursor's rows onto the selection's rows, and leaves out trailing placeholders.
    int rowShift = 0;
    int rowEnd = endRow.Index;
    if (printing) {
        LONG style = 0;
        while (rowCount > H && (Cell(rowCount - 1, h, style), style & CellStyle::kPlaceholder)) {
            --rowCount;
        }
        if (Cell(H, h + c, style), (style & CellStyle::kPlaceholder) && rowCount > H) {
            return false;
        }
        rowShift = PrintedRowShift();
        if (rowShift != 0 || (grid_.Selection() && grid_.Selection()->HasSelection() && !printSelectionOff_)) {
            rowEnd = std::min(rowEnd + rowShift, grid_.Selection()->GetRange().EndRow.Index);
        }
    }
    bool drawn = false;
    for (; cursor.IsValid(); cursor.Next()) {
        const GridPos row{cursor.Row().Index + rowShift, cursor.Row().Origin};
        if (row.Index >= rowEnd) {
            break;
        }
        drawn = true;
        const GridPos col{h + c, h};
        const RECT cell{column.left, cursor.Top(), column.right, cursor.Bottom() - 1};
        const int kind = grid_.GetCellKind(row, col);
        SetCellColors(dc, row, col, kind, nullptr);
        KVO::String text;
        LONG style = 1;
        if (row.Index < rowCount && h + c < columnCount_) {
            text = Cell(row.Index, h + c, style);
        }
        if (style & CellStyle::kNoText) {
            text = KVO::String();
        }
        if (style & CellStyle::kChannel) {
            text = ChannelText(text);
            if (!(style & CellStyle::kShowChannelName)) {
                text = KVO::String();
            }
            if (style & CellStyle::kPlaceholder) {
                text = KVO::String(u"<Select Channel>");
            }
        }
        if ((style & CellStyle::kIndented) != 0) {
            KVO::String indented(u"   ");
            indented.Append(text);
            text = indented;
        }
        if (style & CellStyle::kHighlighted) {
            const COLORREF red = RGB(230, 78, 28);
            SetCellColors(dc, row, col, kind, &red);
        }
        if (printing && (style & CellStyle::kPlaceholder)) {
            text = KVO::String();
        }
        const int width = DrawCellText(dc, cell, text, style);
        if (widest && width > *widest) {
            *widest = width;
        }
        if (lowest && cell.bottom > *lowest) {
            *lowest = cell.bottom;
        }
    }
    if (!follow_ || !drawn) {
        columns_[static_cast<std::size_t>(c)].held.Reset();
    }
    return true;
}

int TVF_Renderer::DrawCellText(HDC dc, const RECT& rect, const KVO::String& text, LONG style)
{
    if (style & CellStyle::kPlaceholder) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    HGDIOBJ previous = nullptr;
    if (!grid_.Options().NoSelectionHighlight) {
        const bool title = (style & CellStyle::kColumnTitle) && !(style & (CellStyle::kNoText | CellStyle::kPlaceholder));
        previous = SelectObject(dc, title ? static_cast<HGDIOBJ>(titleFont_->GetHandle()) : grid_.CellFont());
    }
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), text.Length(), &extent);
    const int x = rect.left + TextShift(printedTextInset_, rect.right - rect.left, extent.cx);
    ExtTextOutW(dc, x, rect.top, ETO_CLIPPED | ETO_OPAQUE, &rect, text.c_str(), static_cast<UINT>(text.Length()),
                nullptr);
    if (previous) {
        SelectObject(dc, previous);
    }
    return extent.cx;
}

void TVF_Renderer::SetCellColors(HDC dc, const GridPos& row, const GridPos& column, int kind, const COLORREF* colour)
{
    grid_.SetCellColors(dc, row, column, kind, colour);
}

void TVF_Renderer::PaintCell(HDC dc, const GridPos& row, const GridPos& column, const RECT& rect, bool selected)
{
    grid_.PaintCell(dc, row, column, rect, selected);
}

void TVF_Renderer::GetRowTitle(const GridPos& row, std::u16string& out)
{
    LONG style = 0;
    const KVO::String text = Cell(row.Index, 0, style);
    out.clear();
    if (!text.IsEmpty() && (style & CellStyle::kIndented)) {
        out = u"   ";
    }
    out.append(text.View());
    out.push_back(u'\0');
}

int TVF_Renderer::TextShift(int inset, int room, int textWidth)
{
    if (inset <= 0 || textWidth > room) {
        return std::max(inset, 0); // nothing to keep whole
    }
    return std::min(inset, room - textWidth);
}

int TVF_Renderer::PrintedRowShift() const
{
    const TVF_Grid::GridSelection* selection = grid_.Selection();
    if (!grid_.Options().NoSelectionHighlight || !selection || !selection->HasSelection() || printSelectionOff_) {
        return 0;
    }
    return selection->GetRange().FirstRow.Index - HeaderRows();
}

void TVF_Renderer::BeginSelectionExtent()
{
    const TVF_Grid::GridSelection* selection = grid_.Selection();
    const int H = HeaderRows();
    if (selection && selection->HasSelection() && !printSelectionOff_) {
        const TVF_Grid::CellRange& range = selection->GetRange();
        keptExtent_ = GridPos{grid_.PaneRowCount() + H, H};
        grid_.SetRowExtent(range.EndRow.Index - range.FirstRow.Index + H, H);
    } else {
        keptExtent_.Unset();
    }
}

void TVF_Renderer::EndSelectionExtent()
{
    if (keptExtent_.IsSet()) {
        grid_.SetRowExtent(keptExtent_.Index, keptExtent_.Origin);
        keptExtent_.Unset();
    }
}

TVF_Renderer::Rectangle TVF_Renderer::RectangleOf(bool rowTitles, const GridPos& first, const GridPos& end)
{
    Rectangle rect;
    const int H = HeaderRows();
    const int total = RowCount();
    const int dataRows = std::max(total - H, 0);
    if (first.IsSet() && end.IsSet()) {
        rect.firstRow = std::clamp(first.Offset(), 0, dataRows);
        rect.endRow = std::clamp(end.Offset(), rect.firstRow, dataRows);
    } else {
        rect.endRow = dataRows;
    }
    const TVF_Grid::GridSelection* selection = grid_.Selection();
    if (selection && selection->HasSelection() && !grid_.Options().RowSelection) {
        const TVF_Grid::CellRange& range = selection->GetRange();
        for (LONG c = range.FirstColumn.Index; c < range.EndColumn.Index; ++c) {
            rect.columns.push_back(c);
        }
    } else {
        LONG n = 0;
        if (data_) {
            data_->GetColumnCount(selector_, &n);
        }
        for (LONG c = rowTitles ? 0 : HeaderColumns(); c < n; ++c) {
            rect.columns.push_back(c);
        }
    }
    return rect;
}

bool TVF_Renderer::CopyRows(std::u16string& out, bool rowTitles, bool columnTitles, std::u16string_view separator,
                            const GridPos& first, const GridPos& end, bool quote)
{
    const Rectangle rect = RectangleOf(rowTitles, first, end);
    const auto field = [&](std::u16string_view text) {
        const bool needsQuotes =
            quote && ((!separator.empty() && text.find(separator) != std::u16string_view::npos) ||
                      text.find_first_of(u"\"\r\n") != std::u16string_view::npos);
        if (!needsQuotes) {
            out.append(text);
            return;
        }
        out.push_back(u'"');
        for (char16_t unit : text) {
            if (unit == u'"') {
                out.push_back(u'"');
            }
            out.push_back(unit);
        }
        out.push_back(u'"');
    };
    const auto endField = [&](std::size_t i) {
        if (i + 1 < rect.columns.size()) {
            out.append(separator);
        } else {
            out.append(u"\r\n");
        }
    };
    if (columnTitles) {
        for (std::size_t i = 0; i < rect.columns.size(); ++i) {
            field(ColumnTitle(rect.columns[i]).View());
            endField(i);
        }
    }
    RowProgress progress(u"Copying", lastCopyPercent);
    const LONG total = RowCount();
    LONG done = 0;
    for (int r = rect.firstRow; r < rect.endRow; ++r) {
        for (std::size_t i = 0; i < rect.columns.size(); ++i) {
            LONG style = 0;
            KVO::String text = Cell(HeaderRows() + r, rect.columns[i], style);
            if (style & CellStyle::kChannel) {
                text = ChannelText(text);
            }
            if (!(style & CellStyle::kPlaceholder)) {
                field(text.View());
            }
            endField(i);
        }
        if (!progress.GoOn(++done, total)) {
            break;
        }
    }
    return !progress.Cancelled();
}

HRESULT TVF_Renderer::AddToTallysheet(ITallysheet* sheet, bool rowTitles, bool columnTitles, const GridPos& first,
                                      const GridPos& end)
{
    if (!sheet) {
        return E_POINTER;
    }
    try {
        const Rectangle rect = RectangleOf(rowTitles, first, end);
        const HRESULT memory = CheckFreeMemory(static_cast<unsigned>(rect.endRow - rect.firstRow + 1),
                                               static_cast<unsigned>(rect.columns.size()));
        if (FAILED(memory)) {
            return memory;
        }
        RowProgress progress(u"Adding to Tallysheet", lastTallysheetPercent);
        // The first row written follows the second empty row in a row, so one empty row separates the blocks.
        LONG row = 0;
        for (int empty = 0; row < kTallysheetRows; ++row) {
            bool rowEmpty = true;
            for (LONG c = 0; c < kTallysheetScanColumns && rowEmpty; ++c) {
                BSTR text = nullptr;
                sheet->GetCellText(0, 0, row, c, &text);
                rowEmpty = !text || !*text;
                SysFreeString(text);
            }
            empty = rowEmpty ? empty + 1 : 0;
            if (empty == 2) {
                break;
            }
        }
        const auto writeLine = [&](auto textOf) {
            for (std::size_t i = 0; i < rect.columns.size(); ++i) {
                const KVO::String text = textOf(rect.columns[i]);
                sheet->SetCellText(0, 0, row, static_cast<LONG>(i), text.c_str(), VARIANT_TRUE);
            }
            ++row;
        };
        if (columnTitles) {
            if (row >= kTallysheetRows) {
                return S_FALSE;
            }
            writeLine([&](LONG c) { return ColumnTitle(c); });
        }
        const LONG total = RowCount();
        LONG done = 0;
        for (int r = rect.firstRow; r < rect.endRow; ++r) {
            if (row >= kTallysheetRows) {
                return S_FALSE;
            }
            writeLine([&](LONG c) {
                LONG style = 0;
                KVO::String text = Cell(HeaderRows() + r, c, style);
                return (style & CellStyle::kChannel) ? ChannelText(text) : text;
            });
            if (!progress.GoOn(++done, total)) {
                break;
            }
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TVF_Renderer::CheckFreeMemory(unsigned rows, unsigned columns)
{
    if (!SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1))) {
        return static_cast<HRESULT>(GetLastError());
    }
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        return static_cast<HRESULT>(GetLastError());
    }
    // 64-bit product: a large selection must not wrap round to a small need.
    const std::uint64_t need = std::uint64_t{rows} * columns * kBytesPerCell;
    return status.ullAvailVirtual >= need ? S_OK : E_OUTOFMEMORY;
}
