// A channel's display settings as the host's chart keeps them: how its trace is drawn.
#pragma once

#include "platform/com/unknown.h"
#include "platform/win/windef.h"
#include "sdk/slots.h"

// {E4B19C62-7A05-4D3F-9B28-61C0F5A3D817}
inline constexpr IID IID_IChartChannelSettings{
    0xE4B19C62, 0x7A05, 0x4D3F, {0x9B, 0x28, 0x61, 0xC0, 0xF5, 0xA3, 0xD8, 0x17}};

struct IChartChannelSettings : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5)
    virtual HRESULT GetPenWidth(LONG* width) = 0; // 6: pixels on high-resolution output
    SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11)
    // 12: a style word of the channel (`which` 2: the trace style).
    virtual HRESULT GetStyle(LONG which, DWORD* style) = 0;
    // 13: the colour of a sub-selector's trace (flags 0x80000000: as displayed).
    virtual HRESULT GetColour(DWORD flags, LONG subSelector, COLORREF* colour) = 0;

protected:
    ~IChartChannelSettings() = default;
};
