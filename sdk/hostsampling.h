// The host document's sampling as the module's commands drive it: whether it samples, and stopping and starting it
// around a change of the analysis.
#pragma once

#include "platform/com/oleauto.h"

// {A4E19C37-6D52-4B08-9F7A-2C81E5D3B6F0}
inline constexpr IID IID_IHostDocumentSampling{0xA4E19C37, 0x6D52, 0x4B08, {0x9F, 0x7A, 0x2C, 0x81, 0xE5, 0xD3, 0xB6, 0xF0}};

struct IHostDocumentSampling : IUnknown {
    virtual HRESULT IsSampling(DWORD kind, VARIANT_BOOL* sampling) = 0; // 3: kind 0
    virtual HRESULT StopSampling() = 0;                                 // 4
    virtual HRESULT StartSampling(double delay) = 0;                    // 5: the module passes 0.0

protected:
    ~IHostDocumentSampling() = default;
};
