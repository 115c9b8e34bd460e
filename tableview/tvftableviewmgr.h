// The table view manager: the one object through which the module's table view and the analysis document drive a
// table. Today it keeps the user's column order and widths and persists them with the document; the table window
// and the data and action forwarding join it with the table's own code.
#pragma once

#include "foundation/binstream.h"
#include "foundation/comobject.h"

#include <vector>

// {2C7E1F42-9B35-4C0D-8E61-5A7F3D2B9C14}
inline constexpr IID IID_ITableViewManager{0x2C7E1F42, 0x9B35, 0x4C0D, {0x8E, 0x61, 0x5A, 0x7F, 0x3D, 0x2B, 0x9C, 0x14}};

class TVF_TableViewMgr final : public IUnknown, public KVO::CComObjectRoot {
public:
    static constexpr LONG kStateVersion = 2;
    static constexpr LONG kStateEndMark = 1337;
    static constexpr HRESULT kNewerStateVersion = static_cast<HRESULT>(0xA0048205u);
    static constexpr int kDefaultColumnWidth = 100;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // Reads the column order and widths. Throws XKVO 0xA0048205 for a version above 2; E_FAIL when the end mark is
    // not 1337.
    HRESULT LoadState(DWORD flags, IBinInStream* in);
    // Version 2, the index length n, the n index entries, n stored widths, the end mark 1337.
    HRESULT SaveState(DWORD flags, IBinOutStream* out);

    // Entry c is the client's column shown at display column c, the header column included at 0.
    const std::vector<int>& ColumnIndex() const { return index_; }
    // Indexed by the client's column: the width + 10 once set, the default width until then.
    const std::vector<int>& StoredWidths() const { return widths_; }
    // Rebuilds the identity index for n columns (header included) with default widths.
    void ResetColumns(int count);

private:
    std::vector<int> index_;
    std::vector<int> widths_;
    int defaultWidth_ = kDefaultColumnWidth;
};

namespace TVF {
// A new manager with one reference; always S_OK (null when it could not be made).
HRESULT CreateTableViewManager(TVF_TableViewMgr** out);
} // namespace TVF
