// What a grid reports of the user's actions: implemented by the module's table view and forwarded by the table view
// manager. Operations in slot order after IUnknown.
#pragma once

#include "platform/com/unknown.h"

#include <cstdint>

struct IKVOString;

// One column of a selection: rows [FirstRow, EndRow).
struct TableRange {
    std::int32_t Column;
    std::int32_t FirstRow;
    std::int32_t EndRow;
};
static_assert(sizeof(TableRange) == 12);

// {6B2D4E20-3F7A-4C81-9E52-A1D07C3B5E21}
inline constexpr IID IID_ITableUserActionHandler{
    0x6B2D4E20, 0x3F7A, 0x4C81, {0x9E, 0x52, 0xA1, 0xD0, 0x7C, 0x3B, 0x5E, 0x21}};

struct ITableUserActionHandler : IUnknown {
    virtual HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count) = 0;     // 3
    virtual HRESULT OnCellAction(DWORD flags, LONG row, LONG column) = 0;                          // 4
    virtual HRESULT OnCellNotify(DWORD flags, LONG row, LONG column, IKVOString* text) = 0;        // 5
    virtual HRESULT OnCellNotifyEx(DWORD flags, LONG kind, LONG row, LONG column, LONG item) = 0;  // 6
    virtual HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on) = 0;                       // 7

protected:
    ~ITableUserActionHandler() = default;
};
