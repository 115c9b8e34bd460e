// The table view's cell renderer: it builds a grid's columns from the table's data, draws one column of cells at a
// time with the cell styles, supplies the row titles, and writes a rectangle of cells as separated text (copy and
// comma-separated export) or into the host's Tallysheet. Screen, printout, clipboard, files and Tallysheet all read
// the cells through it, so they show the same texts.
#pragma once

#include "foundation/comobject.h"
#include "foundation/dialogfont.h"
#include "foundation/kvostring.h"
#include "platform/com/unknown.h"
#include "sdk/recorddatapixmap.h"
#include "sdk/tableview.h"
#include "tableview/tvf/gridcontrol.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct ITallysheet;

// Cell style bits of the table's data source.
namespace CellStyle {
inline constexpr LONG kShowChannelName = 0x2;
inline constexpr LONG kChannel = 0x8;
inline constexpr LONG kColumnTitle = 0x10;
inline constexpr LONG kRowTitle = 0x20;
inline constexpr LONG kPlaceholder = 0x80;
inline constexpr LONG kNoText = 0x100;
inline constexpr LONG kIndented = 0x1000;
inline constexpr LONG kHighlighted = 0x4000;
} // namespace CellStyle

class TVF_Renderer final : public TVF_Grid::GridRenderer, public KVO::CComObjectRoot {
public:
    static constexpr int kDefaultColumnWidth = 100;
    static constexpr LONG kTallysheetRows = 0x100000;
    static constexpr int kTallysheetScanColumns = 26;
    static constexpr unsigned kBytesPerCell = 20;

    // Created with no reference; the creator takes the first.
    explicit TVF_Renderer(TVF_Grid::EventGridControl& grid);
    ~TVF_Renderer();

    // At zero the renderer deletes itself.
    virtual ULONG AddRef() { return InternalAddRef(); }
    virtual ULONG Release() { return InternalRelease(); }
    // Takes five words and does nothing.
    virtual void Reserved(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) {}

    // The width source, data and rows are borrowed; the selector goes first in every table request. Makes a new
    // pixel map over the rows.
    void Attach(ITableViewMgrInternal* widths, ITableDataManager* data, ITableStoredRowInfo* rows, DWORD selector);
    // Forgets the data and lets the pixel map go (the window does it before attaching another source).
    void Detach();
    bool Attached() const { return data_ != nullptr; }
    DWORD Selector() const { return selector_; }
    // The pixel map over the table's rows while attached; null before Attach and after Detach.
    IRecordDataPixMap* PixMap() const { return pixMap_.Get(); }

    // Rebuilds the grid's columns from the data's column count and widths, and its row extent from the rows.
    void RebuildColumns();
    // Columns of the data (header excluded), as last built.
    int ColumnEntries() const { return static_cast<int>(columns_.size()); }
    // The column count (header included) and header-column count last read; -1 until then.
    int KeptColumnCount() const { return columnCount_; }
    int KeptHeaderColumns() const { return headerColumns_; }
    void SetKeptColumns(int count, int headerColumns)
    {
        columnCount_ = count;
        headerColumns_ = headerColumns;
    }
    const KVO::String& ColumnTitleOf(int c) const { return columns_.at(static_cast<std::size_t>(c)).title; }
    void SetDefaultColumnWidth(int width) { defaultWidth_ = width; }
    // While the grid follows the newest row; each rebuild then reads the end of the rows from the pixel map.
    void SetFollow(bool follow) { follow_ = follow; }
    // The end position last read while following (0 until then), and the position a column keeps.
    std::int64_t EndPosition() const { return endPosition_; }
    std::int64_t ColumnPosition(int c) const { return columns_.at(static_cast<std::size_t>(c)).position; }
    // The table window's print-selection-off switch: printouts ignore the selection.
    void SetPrintSelectionOff(bool off) { printSelectionOff_ = off; }
    // While the grid prints (no selection highlight) with a selection: how far the printed rows are moved down
    // onto the selection's first row; else 0.
    int PrintedRowShift() const;
    // Set by a printout while it draws a page: how far right of the cell's left edge, where the rule runs, the
    // cell texts start (device units). 0 on the screen.
    void SetPrintedTextInset(int inset) { printedTextInset_ = inset; }
    // Where in a cell `room` wide a text `textWidth` wide starts: `inset` right of the left edge, but a text that
    // fits the cell moves no further than keeps it whole.
    static int TextShift(int inset, int room, int textWidth);

    // GridRenderer
    bool PaintColumn(HDC dc, int column, const RECT& rect, TVF_Grid::RowPosCursor& cursor,
                     const TVF_Grid::GridPos& endRow, int* widest, int* lowest) override;
    void SetCellColors(HDC dc, const TVF_Grid::GridPos& row, const TVF_Grid::GridPos& column, int kind,
                       const COLORREF* colour) override;
    void PaintCell(HDC dc, const TVF_Grid::GridPos& row, const TVF_Grid::GridPos& column, const RECT& rect,
                   bool selected) override;
    void GetRowTitle(const TVF_Grid::GridPos& row, std::u16string& out) override;
    void BeginSelectionExtent() override;
    void EndSelectionExtent() override;

    // The cells of a rectangle as lines of text: each cell followed by the separator, the last of a line by CR LF.
    // Negative positions mean all rows; the columns are the grid's selected columns (all in row-selection mode).
    // With `quote`, a field holding the separator, a quote or a line break is quoted (quotes inside doubled).
    // False when the user cancelled (the text then holds the rows before the cancel).
    bool CopyRows(std::u16string& out, bool rowTitles, bool columnTitles, std::u16string_view separator,
                  const TVF_Grid::GridPos& first, const TVF_Grid::GridPos& end, bool quote = false);
    // The same rectangle into the sheet below what it holds: S_OK when done or cancelled, S_FALSE when the sheet's
    // last row was reached, E_OUTOFMEMORY when memory is short (nothing is written then).
    HRESULT AddToTallysheet(ITallysheet* sheet, bool rowTitles, bool columnTitles, const TVF_Grid::GridPos& first,
                            const TVF_Grid::GridPos& end);
    HRESULT AddAllToTallysheet(ITallysheet* sheet, bool rowTitles, bool columnTitles)
    {
        return AddToTallysheet(sheet, rowTitles, columnTitles, {}, {});
    }
    // S_OK when rows × columns × 20 bytes fit the free address space (after trimming the working set);
    // E_OUTOFMEMORY when not; the system error when either system call fails.
    static HRESULT CheckFreeMemory(unsigned rows, unsigned columns);

private:
    // One data column: its title and the position it was last brought to, and what a column keeps between paints:
    // a bound (the largest 32-bit value until set), an array of its own and a held interface. Nothing here fills
    // the last three; the interface is let go when a rebuild refreshes a following grid's entries and after a paint.
    struct ColumnEntry {
        KVO::String title;
        std::int32_t bound = 0x7FFFFFFF;
        std::vector<std::int32_t> kept;
        platform::ComPtr<IUnknown> held;
        std::int64_t position = 0;
    };

    // Data rows [first, end) and table columns of a rectangle.
    struct Rectangle {
        int firstRow = 0;
        int endRow = 0;
        std::vector<LONG> columns;
    };
    Rectangle RectangleOf(bool rowTitles, const TVF_Grid::GridPos& first, const TVF_Grid::GridPos& end);
    KVO::String Cell(LONG row, LONG column, LONG& style) const;
    KVO::String ColumnTitle(LONG column) const;
    // The channel rule: a channel cell's number becomes the channel's name, or nothing.
    KVO::String ChannelText(const KVO::String& text) const;
    int RowCount() const;
    int HeaderRows() const { return grid_.FirstDataRow(); }
    int HeaderColumns() const { return grid_.FirstDataColumn(); }
    int DrawCellText(HDC dc, const RECT& rect, const KVO::String& text, LONG style);

    TVF_Grid::EventGridControl& grid_;
    ITableViewMgrInternal* widths_ = nullptr;
    ITableDataManager* data_ = nullptr;
    ITableStoredRowInfo* rows_ = nullptr;
    std::unique_ptr<KVO::MetricFont> titleFont_;
    int columnCount_ = -1;
    int headerColumns_ = -1;
    DWORD selector_ = 0;
    platform::ComPtr<IRecordDataPixMap> pixMap_;
    std::int64_t endPosition_ = 0;
    std::vector<ColumnEntry> columns_; // one per data column
    bool follow_ = false;
    bool printSelectionOff_ = false;
    TVF_Grid::GridPos keptExtent_;
    int defaultWidth_ = kDefaultColumnWidth;
    int printedTextInset_ = 0;
};
