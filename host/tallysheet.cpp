#include "host/tallysheet.h"

namespace host {

HRESULT Tallysheet::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ITallysheet, static_cast<ITallysheet*>(this)}}, iid, out);
}

HRESULT Tallysheet::GetCellText(DWORD, DWORD, LONG row, LONG column, BSTR* text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    if (!Inside(row, column)) {
        return E_INVALIDARG;
    }
    ++reads_;
    const std::u16string value = Text(row, column);
    if (!value.empty()) {
        *text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    }
    return S_OK;
}

HRESULT Tallysheet::SetCellText(DWORD, DWORD, LONG row, LONG column, const WCHAR* text, VARIANT_BOOL)
{
    if (!Inside(row, column)) {
        return E_INVALIDARG;
    }
    ++writes_;
    SetText(row, column, text ? std::u16string(text) : std::u16string());
    return S_OK;
}

std::u16string Tallysheet::Text(LONG row, LONG column) const
{
    auto found = cells_.find({row, column});
    return found == cells_.end() ? std::u16string() : found->second;
}

void Tallysheet::SetText(LONG row, LONG column, std::u16string text)
{
    if (text.empty()) {
        cells_.erase({row, column});
    } else {
        cells_[{row, column}] = std::move(text);
    }
}

LONG Tallysheet::UsedRows() const { return cells_.empty() ? 0 : cells_.rbegin()->first.first + 1; }

} // namespace host
