// The table view manager: the one object through which the module's table view and the analysis document drive a
// table. It keeps the user's column order and widths (persisted with the document) and stands between the grids
// and the client's data: cells and user actions pass through it with the column the user sees mapped to the
// client's column.
#pragma once

#include "foundation/binstream.h"
#include "foundation/comobject.h"
#include "sdk/tableview.h"

#include <vector>

// {2C7E1F42-9B35-4C0D-8E61-5A7F3D2B9C14}
inline constexpr IID IID_ITableViewManager{0x2C7E1F42, 0x9B35, 0x4C0D, {0x8E, 0x61, 0x5A, 0x7F, 0x3D, 0x2B, 0x9C, 0x14}};

class TVF_TableViewMgr final : public ITableViewManagerMac,
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
    HRESULT LoadState(DWORD flags, IBinInStream* in);
    // Version 2, the index length n, the n index entries, n stored widths, the end mark 1337.
    HRESULT SaveState(DWORD flags, IBinOutStream* out);

    // The client's objects, borrowed; the index is rebuilt when its length differs from the client's columns.
    void SetClient(ITableDataManager* data, ITableUserActionHandler* actions);
    // A new default width resets the order and every width.
    void SetDefaultColumnWidth(int width);
    // Brings the index up to the client's column count: columns that joined are appended, a shorter table
    // rebuilds the index. E_FAIL without a client.
    HRESULT SyncColumns();
    // Whether the event grid shows columns: only then are cells and actions mapped and passed on.
    void SetMapping(bool active) { mapping_ = active; }
    // The table window's selected rows to the host's Tallysheet: E_FAIL while there is no table window.
    HRESULT AddToTallysheet(DWORD) { return E_FAIL; }

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
    bool Forwarding() const { return actions_ && mapping_; }

    std::vector<int> index_;
    std::vector<int> widths_;
    int defaultWidth_ = kDefaultColumnWidth;
    ITableDataManager* data_ = nullptr;
    ITableUserActionHandler* actions_ = nullptr;
    bool mapping_ = false;
};

namespace TVF {
// A new manager with one reference; always S_OK (null when it could not be made).
HRESULT CreateTableViewManager(TVF_TableViewMgr** out);
} // namespace TVF
