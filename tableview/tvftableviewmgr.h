// The table view manager: the one object through which the module's table view and the analysis document drive a
// table. It keeps the user's column order and widths (persisted with the document) and stands between the grids
// and the client's data: cells and user actions pass through it with the column the user sees mapped to the
// client's column.
#pragma once

#include "foundation/binstream.h"
#include "foundation/comobject.h"
#include "sdk/tableview.h"

#include <memory>
#include <vector>

class TVF_TableView;
struct IHostView;
namespace TVF_Grid {
struct ITableRowMenuProvider;
}

// {2C7E1F42-9B35-4C0D-8E61-5A7F3D2B9C14}
inline constexpr IID IID_ITableViewManager{0x2C7E1F42, 0x9B35, 0x4C0D, {0x8E, 0x61, 0x5A, 0x7F, 0x3D, 0x2B, 0x9C, 0x14}};

// What a client asks of a table: its window, layout, refresh, selection, options, Tallysheet, state and export.
struct ITableViewManager : IUnknown {
    virtual HRESULT CreateTableView(DWORD options, HWND parent, IHostView* hostView, IUnknown* hostDocument,
                                    ITableDataManager* data, ITableStoredRowInfo* rows,
                                    ITableUserActionHandler* actions, TVF_Grid::ITableRowMenuProvider* rowMenu) = 0; // 3
    virtual HRESULT SetLayout(DWORD flags, LONG x, LONG y, LONG width, LONG height, LONG rowNumberWidth,
                              LONG defaultColumnWidth, LONG summaryHeight) = 0;  // 4
    virtual HRESULT DestroyTableView(DWORD flags) = 0;                           // 5
    virtual HRESULT Refresh(DWORD flags) = 0;                                    // 6
    virtual HRESULT RedrawCell(DWORD flags, LONG row, LONG dataColumn) = 0;      // 7
    virtual HRESULT SelectRows(DWORD flags, LONG firstRow, LONG endRow) = 0;     // 8
    virtual HRESULT SelectColumnCells(DWORD flags, LONG dataColumn, LONG firstRow, LONG endRow) = 0; // 9
    virtual HRESULT SetOptions(DWORD options) = 0;                               // 10
    virtual HRESULT AddToTallysheet(DWORD flags) = 0;                            // 11
    virtual HRESULT LoadState(DWORD flags, IBinInStream* in) = 0;                // 12
    virtual HRESULT SaveState(DWORD flags, IBinOutStream* out) = 0;              // 13
    virtual HRESULT Reserved14() = 0;                                            // 14: E_NOTIMPL
    virtual HRESULT ShowRow(DWORD flags, LONG row) = 0;                          // 15
    virtual HRESULT SetFollowLatest(DWORD flags, VARIANT_BOOL on) = 0;           // 16
    virtual HRESULT ExportCsv(DWORD flags, IKVOString* path) = 0;                // 17

protected:
    ~ITableViewManager() = default;
};

class TVF_TableViewMgr final : public ITableViewManager,
                               public ITableViewManagerMac,
                               public ITableViewMgrInternal,
                               public ITableUserActionHandler,
                               public ITableDataManager,
                               public KVO::CComObjectRoot {
public:
    static constexpr LONG kStateVersion = 2;
    static constexpr LONG kStateEndMark = 1337;
    static constexpr HRESULT kNewerStateVersion = static_cast<HRESULT>(0xA0048205u);
    static constexpr int kDefaultColumnWidth = 100;
    static constexpr int kWidthMargin = 10; // stored widths are the width + 10

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // Reads the column order and widths. Throws XKVO 0xA0048205 for a version above 2; E_FAIL when the end mark is
    // not 1337. An order that is not a permutation of its columns, or widths that cannot be, leave the identity
    // order with default widths; a version-1 stream gets default widths.
    HRESULT LoadState(DWORD flags, IBinInStream* in) override;
    // Version 2, the index length n, the n index entries, n stored widths, the end mark 1337.
    HRESULT SaveState(DWORD flags, IBinOutStream* out) override;

    ~TVF_TableViewMgr() override;

    // ITableViewManager. Every request that needs the window gives E_FAIL without one.
    HRESULT CreateTableView(DWORD options, HWND parent, IHostView* hostView, IUnknown* hostDocument,
                            ITableDataManager* data, ITableStoredRowInfo* rows, ITableUserActionHandler* actions,
                            TVF_Grid::ITableRowMenuProvider* rowMenu) override;
    HRESULT SetLayout(DWORD flags, LONG x, LONG y, LONG width, LONG height, LONG rowNumberWidth,
                      LONG defaultColumnWidth, LONG summaryHeight) override;
    // Deletes the window and forgets the client's objects.
    HRESULT DestroyTableView(DWORD flags) override;
    HRESULT Refresh(DWORD flags) override;
    // Rows first to last (-1: to the end) were added or changed: the rows are read again.
    HRESULT RowsChanged(LONG first, LONG last);
    HRESULT RedrawCell(DWORD flags, LONG row, LONG dataColumn) override;
    HRESULT SelectRows(DWORD flags, LONG firstRow, LONG endRow) override;
    HRESULT SelectColumnCells(DWORD flags, LONG dataColumn, LONG firstRow, LONG endRow) override;
    HRESULT SetOptions(DWORD options) override;
    HRESULT AddToTallysheet(DWORD flags) override;
    HRESULT Reserved14() override { return E_NOTIMPL; }
    HRESULT ShowRow(DWORD flags, LONG row) override;
    HRESULT SetFollowLatest(DWORD flags, VARIANT_BOOL on) override;
    HRESULT ExportCsv(DWORD flags, IKVOString* path) override;

    TVF_TableView* Window() const { return window_; }
    bool FollowLatest() const { return followLatest_; }

    // The client's objects, borrowed; the index is rebuilt when its length differs from the client's columns.
    void SetClient(ITableDataManager* data, ITableUserActionHandler* actions);
    // A new default width resets the order and every width.
    void SetDefaultColumnWidth(int width);
    // Brings the index up to the client's column count: columns that joined are appended, a shorter table
    // rebuilds the index. E_FAIL without a client.
    HRESULT SyncColumns();
    // Whether the event grid shows columns: only then are cells and actions mapped and passed on.
    void SetMapping(bool active) { mapping_ = active; }
    // Mapping is active while set, or while the window's event grid shows columns.
    bool Mapping() const;

    // Entry c is the client's column shown at display column c, the header column included at 0.
    const std::vector<int>& ColumnIndex() const { return index_; }
    // Indexed by the client's column: the width + 10 once set, the default width until then.
    const std::vector<int>& StoredWidths() const { return widths_; }
    // Rebuilds the identity index for n columns (header included) with default widths.
    void ResetColumns(int count);

    // ITableViewManagerMac
    HRESULT DisplayToData(DWORD flags, LONG row, LONG displayColumn, TableCell* out) override;
    HRESULT DataToDisplay(DWORD flags, LONG row, LONG dataColumn, TableCell* out) override;
    // ITableViewMgrInternal
    HRESULT MoveColumn(DWORD flags, LONG from, LONG to) override;
    HRESULT GetColumnWidth(DWORD flags, LONG displayColumn, LONG* width) override;
    HRESULT SetColumnWidth(DWORD flags, LONG displayColumn, LONG width) override;
    // ITableUserActionHandler: to the client's handler with the column mapped.
    HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count) override;
    HRESULT OnCellAction(DWORD flags, LONG row, LONG column) override;
    HRESULT OnCellNotify(DWORD flags, LONG row, LONG column, IKVOString* text) override;
    HRESULT OnCellNotifyEx(DWORD flags, LONG kind, LONG row, LONG column, LONG item) override;
    HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on) override;
    // ITableDataManager: to the client's data with the column mapped.
    HRESULT GetCell(DWORD flags, LONG row, LONG column, IKVOString** text) override;
    HRESULT GetCellStyle(DWORD flags, LONG row, LONG column, LONG* style) override;
    HRESULT GetColumnCount(DWORD flags, LONG* count) override;
    HRESULT GetName(DWORD flags, IKVOString** text) override;
    HRESULT GetTitle(DWORD flags, IKVOString** text) override;

private:
    LONG ToData(LONG displayColumn) const;
    void RebuildIndex();
    bool Forwarding() const { return actions_ && Mapping(); }

    std::vector<int> index_;
    std::vector<int> widths_;
    int defaultWidth_ = kDefaultColumnWidth;
    ITableDataManager* data_ = nullptr;
    ITableUserActionHandler* actions_ = nullptr;
    bool mapping_ = false;
    bool followLatest_ = false;
    void DeleteWindow();
    // Owned; a child window of the client's, so it may also go with its parent (it then tells the manager).
    TVF_TableView* window_ = nullptr;
};

namespace TVF {
// A new manager with one reference; always S_OK (null when it could not be made).
HRESULT CreateTableViewManager(TVF_TableViewMgr** out);
} // namespace TVF
