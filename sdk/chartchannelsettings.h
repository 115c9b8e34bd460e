// A channel's display settings as the host's chart keeps them: how its trace is drawn.
#pragma once

#include "platform/com/oleauto.h"
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

// {E4B19C63-7A05-4D3F-9B28-61C0F5A3D817}
inline constexpr IID IID_IChartGridOptions{
    0xE4B19C63, 0x7A05, 0x4D3F, {0x9B, 0x28, 0x61, 0xC0, 0xF5, 0xA3, 0xD8, 0x17}};
// {E4B19C64-7A05-4D3F-9B28-61C0F5A3D817}
inline constexpr IID IID_IChartLevelSettings{
    0xE4B19C64, 0x7A05, 0x4D3F, {0x9B, 0x28, 0x61, 0xC0, 0xF5, 0xA3, 0xD8, 0x17}};

// How a channel's lane shows its value grid.
struct IChartGridOptions : IUnknown {
    SDK_UNUSED_SLOT(3)
    // 4: non-zero column choice draws the vertical lines like the rows; a non-zero show flag shows the grid.
    virtual HRESULT GetGrid(DWORD* columnChoice, COLORREF* colour, WORD* showGrid) = 0;
    virtual HRESULT GetShowLabels(WORD* showLabels) = 0; // 5

protected:
    ~IChartGridOptions() = default;
};

// A channel's two threshold levels as its display settings keep them, one operation per settings key.
struct IChartLevelSettings : IUnknown {
    // 3 (key 0x800C0084): whether level `index` (1 or 2) is set, whether it has a line, and the line's colour.
    virtual HRESULT GetLevelLine(LONG index, WORD* set, WORD* line, COLORREF* colour) = 0;
    // 4 (key 0x800C0086): the level's value and its two texts (unit, then a note); the caller frees the texts.
    virtual HRESULT GetLevelValue(LONG index, double* value, BSTR* unit, BSTR* note) = 0;
    // 5 (key 0x800C0085): fill below, between and above the levels: three on/off words and three colours.
    virtual HRESULT GetLevelFills(WORD on[3], COLORREF colours[3]) = 0;

protected:
    ~IChartLevelSettings() = default;
};

// {E4B19C65-7A05-4D3F-9B28-61C0F5A3D817}
inline constexpr IID IID_IChartBackgroundColour{
    0xE4B19C65, 0x7A05, 0x4D3F, {0x9B, 0x28, 0x61, 0xC0, 0xF5, 0xA3, 0xD8, 0x17}};

// The chart's appearance settings as a pane takes its background from them.
struct IChartBackgroundColour : IUnknown {
    virtual HRESULT GetBackgroundColour(COLORREF* colour) = 0; // 3

protected:
    ~IChartBackgroundColour() = default;
};
