// The table interfaces: a table's data source (cells, styles, columns, rows), and the host's progress indicator
// that long table operations report to.
#pragma once

#include "platform/com/unknown.h"

#include <cstdint>

struct IKVOString;

// {6B2D4E10-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableDataManager{0x6B2D4E10, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};
// {6B2D4E11-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableStoredRowInfo{
    0x6B2D4E11, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};
// {6B2D4E12-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableTextExport{0x6B2D4E12, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};
// {6B2D4E13-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_IHostProgress{0x6B2D4E13, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};

// {6B2D4E14-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableUserActionHandler{
    0x6B2D4E14, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};
// {6B2D4E15-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableViewManagerMac{
    0x6B2D4E15, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};
// {6B2D4E16-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableViewMgrInternal{
    0x6B2D4E16, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};

// {6B2D4E17-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableColumnDescription{
    0x6B2D4E17, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};

// The grid selector, the first word of most table requests.
namespace TableGrid {
inline constexpr DWORD kSummary = 0x10;
inline constexpr DWORD kEvents = 0x08;
} // namespace TableGrid

// Row 0 and column 0 of every grid are its headers.
struct ITableDataManager : IUnknown {
    virtual HRESULT GetCell(DWORD flags, LONG row, LONG column, IKVOString** text) = 0; // 3: a new reference
    virtual HRESULT GetCellStyle(DWORD flags, LONG row, LONG column, LONG* style) = 0; // 4
    virtual HRESULT GetColumnCount(DWORD flags, LONG* count) = 0;                       // 5: header included
    virtual HRESULT GetName(DWORD flags, IKVOString** text) = 0;                        // 6
    virtual HRESULT GetTitle(DWORD flags, IKVOString** text) = 0;                       // 7

protected:
    ~ITableDataManager() = default;
};

// Optional beside ITableDataManager: names and units of the data columns (the header column not counted), which
// then title the columns instead of the cells of row 0. The module's own data source does not offer it.
struct ITableColumnDescription : IUnknown {
    virtual HRESULT GetColumnName(LONG column, IKVOString** name) = 0;   // 3: a new reference
    virtual HRESULT GetColumnUnits(LONG column, IKVOString** units) = 0; // 4: a new reference; empty for none

protected:
    ~ITableColumnDescription() = default;
};

struct ITableStoredRowInfo : IUnknown {
    virtual HRESULT GetRowCount(DWORD flags, LONG* count) = 0; // 3: header included

protected:
    ~ITableStoredRowInfo() = default;
};

// One selection range of a grid: a column and rows [firstRow, endRow).
struct TableRange {
    std::int32_t column;
    std::int32_t firstRow;
    std::int32_t endRow;
};

struct TableCell {
    std::int32_t row;
    std::int32_t column;
};

// What the user did in a grid.
struct ITableUserActionHandler : IUnknown {
    virtual HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count) = 0;        // 3
    virtual HRESULT OnCellAction(DWORD flags, LONG row, LONG column) = 0;                             // 4
    virtual HRESULT OnCellNotify(DWORD flags, LONG row, LONG column, IKVOString* text) = 0;           // 5
    virtual HRESULT OnCellNotifyEx(DWORD flags, LONG kind, LONG row, LONG column, LONG item) = 0;     // 6
    virtual HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on) = 0;                          // 7

protected:
    ~ITableUserActionHandler() = default;
};

// Between the columns the user sees and the client's columns.
struct ITableViewManagerMac : IUnknown {
    virtual HRESULT DisplayToData(DWORD flags, LONG row, LONG displayColumn, TableCell* out) = 0; // 3
    virtual HRESULT DataToDisplay(DWORD flags, LONG row, LONG dataColumn, TableCell* out) = 0;    // 4

protected:
    ~ITableViewManagerMac() = default;
};

// Column order and widths, for the table window's parts.
struct ITableViewMgrInternal : IUnknown {
    virtual HRESULT MoveColumn(DWORD flags, LONG from, LONG to) = 0;                  // 3
    virtual HRESULT GetColumnWidth(DWORD flags, LONG displayColumn, LONG* width) = 0; // 4
    virtual HRESULT SetColumnWidth(DWORD flags, LONG displayColumn, LONG width) = 0;  // 5

protected:
    ~ITableViewMgrInternal() = default;
};

// The table's tab-separated text file, as the table view's Export button writes it.
struct ITableTextExport : IUnknown {
    // 3: S_OK when written; E_ABORT when cancelled (no file is left); a failure when the file could not be written.
    virtual HRESULT ExportText(IKVOString* path) = 0;

protected:
    ~ITableTextExport() = default;
};

// A progress display that the host makes through its object factory; its release ends the display.
struct IHostProgress : IUnknown {
    virtual HRESULT SetText(IKVOString* text) = 0;   // 3
    virtual HRESULT SetPercent(LONG percent) = 0;    // 4: anything but S_OK means the user cancelled

protected:
    ~IHostProgress() = default;
};
