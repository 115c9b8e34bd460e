// The host's axis scale control as the graph library sees it: where the ticks of an axis lie and how its grid is
// spaced. The control belongs to the host, which fixes the slot order; later operations are appended after these.
#pragma once

#include "platform/com/unknown.h"
#include "platform/win/windef.h"

// {8547343C-6B4E-43E8-91BE-AED9C6BEF0F0}
inline constexpr IID IID_IScaleControl{0x8547343C, 0x6B4E, 0x43E8, {0x91, 0xBE, 0xAE, 0xD9, 0xC6, 0xBE, 0xF0, 0xF0}};
// {2D692D11-9B8C-47D4-AF92-C398AEF4D629}
inline constexpr IID IID_IScaleTickList{0x2D692D11, 0x9B8C, 0x47D4, {0xAF, 0x92, 0xC3, 0x98, 0xAE, 0xF4, 0xD6, 0x29}};

// One tick of a scale: its offset in pixels from the scale rectangle's left edge (horizontal scales) or top edge
// (vertical scales), and the host's own mark for it.
struct ScaleTick {
    LONG offset;
    LONG mark;
};
static_assert(sizeof(ScaleTick) == 8);

// The scale control itself.
struct IScaleControl : IUnknown {
    // 3: the grid: the offset of the farthest grid line in pixels and the (negative) step from it back towards 0;
    // `lines` is the host's count of grid lines.
    virtual HRESULT GetGridSpacing(LONG* lines, double* farthest, double* step) = 0;

protected:
    ~IScaleControl() = default;
};

// The tick list of a scale control (asked for by IID_IScaleTickList).
struct IScaleTickList : IUnknown {
    virtual HRESULT GetRect(LONG* left, LONG* top, LONG* right, LONG* bottom) = 0; // 3
    virtual HRESULT GetTickCount(LONG* count) = 0;                                 // 4
    // 5: copies up to `count` ticks into `ticks`; `filled` receives how many.
    virtual HRESULT FillTicks(LONG count, ScaleTick* ticks, LONG* filled) = 0;

protected:
    ~IScaleTickList() = default;
};
