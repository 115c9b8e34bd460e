// The stand-in Tallysheet: a sparse sheet of 1 048 576 rows of text cells that tests read back.
#pragma once

#include "host/comobject.h"
#include "sdk/tallysheet.h"

#include <map>
#include <string>
#include <utility>

namespace host {

class Tallysheet final : public ITallysheet, private RefCounted {
public:
    static constexpr LONG kRows = 1048576;
    static constexpr LONG kColumns = 16384;

    static platform::ComPtr<Tallysheet> Create() { return platform::ComPtr<Tallysheet>(new Tallysheet()); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetCellText(DWORD, DWORD, LONG row, LONG column, BSTR* text) override;
    HRESULT SetCellText(DWORD, DWORD, LONG row, LONG column, const WCHAR* text, VARIANT_BOOL update) override;

    std::u16string Text(LONG row, LONG column) const;
    void SetText(LONG row, LONG column, std::u16string text);
    // Cells written so far (an empty text written counts), and reads made.
    std::size_t Writes() const { return writes_; }
    std::size_t Reads() const { return reads_; }
    // One past the last row that holds a non-empty cell (0 for an empty sheet).
    LONG UsedRows() const;

private:
    Tallysheet() = default;
    static bool Inside(LONG row, LONG column) { return row >= 0 && row < kRows && column >= 0 && column < kColumns; }

    std::map<std::pair<LONG, LONG>, std::u16string> cells_;
    std::size_t writes_ = 0;
    std::size_t reads_ = 0;
};

} // namespace host
