// The host's Tallysheet: a sheet of text cells that the user collects results in. A host document offers it as its
// extension of the Tallysheet type (the type id of CLSID_TallysheetExtension, shifted into the high word).
#pragma once

#include "platform/com/oleauto.h"
#include "platform/com/unknown.h"

// {C41F6A20-5D83-4B27-9E14-2A7B0C9D6E35}
inline constexpr GUID CLSID_TallysheetExtension{
    0xC41F6A20, 0x5D83, 0x4B27, {0x9E, 0x14, 0x2A, 0x7B, 0x0C, 0x9D, 0x6E, 0x35}};
// {C41F6A21-5D83-4B27-9E14-2A7B0C9D6E35}
inline constexpr IID IID_ITallysheet{0xC41F6A21, 0x5D83, 0x4B27, {0x9E, 0x14, 0x2A, 0x7B, 0x0C, 0x9D, 0x6E, 0x35}};

struct ITallysheet : IUnknown {
    // 3: the text of a cell (zero-based); an empty cell gives an empty text (or none). The caller frees the BSTR.
    virtual HRESULT GetCellText(DWORD reserved1, DWORD reserved2, LONG row, LONG column, BSTR* text) = 0;
    // 4: writes a cell; E_INVALIDARG outside the sheet.
    virtual HRESULT SetCellText(DWORD reserved1, DWORD reserved2, LONG row, LONG column, const WCHAR* text,
                                VARIANT_BOOL update) = 0;

protected:
    ~ITallysheet() = default;
};
