// The host's axis scale control as the graph library sees it: where the ticks of an axis lie and how its grid is
// spaced. The control belongs to the host, which fixes the slot order; later operations are appended after these.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/com/unknown.h"
#include "sdk/slots.h"
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

struct IDragScaleObserver;

// The scale control itself.
struct IScaleControl : IUnknown {
    // 3: the grid: the offset of the farthest grid line in pixels and the (negative) step from it back towards 0;
    // `lines` is the host's count of grid lines.
    virtual HRESULT GetGridSpacing(LONG* lines, double* farthest, double* step) = 0;
    // 4: the strip the scale occupies, in the client pixels of its owner; its window moves there.
    virtual HRESULT SetScaleRect(const RECT* rect) = 0;
    // 5: data to pixels along the strip as (scale, offset): pixel = (value + offset) * scale from the strip's left
    // (top) edge. The caller presets the pair; a scale without a usable range leaves it as it was.
    virtual HRESULT GetPixelTransform(double* scaleOffset) = 0;
    // 6: the visible range; reported to the observers as a scaling change, as a drag would.
    virtual HRESULT SetRange(double minimum, double maximum) = 0;
    // 7, 8: display units = value * scale + offset, and the title; a null pair or title is left unchanged.
    // The title comes back as a BSTR for the caller to free.
    virtual HRESULT SetScaling(const double* scaleOffset, const char16_t* title) = 0;
    virtual HRESULT GetScaling(double* scaleOffset, BSTR* title) = 0;
    virtual HRESULT SetUnits(const char16_t* units) = 0; // 9
    // 10: whom the scale tells about layout changes: a kind, the owner window and the owner's margin.
    virtual HRESULT SetNoticeHook(LONG kind, HWND owner, LONG margin) = 0;
    virtual HRESULT SetHomeExtent(double minimum, double maximum) = 0; // 11: what auto-scaling restores
    virtual HRESULT SetLimits(double minimum, double maximum) = 0;     // 12: how far dragging may go
    virtual HRESULT SetMinimumSpan(const double* spanPair) = 0;        // 13: the narrowest range a stretch leaves
    virtual HRESULT SetOption(LONG value) = 0;                         // 14: 0xFFFF on, 0 off
    // 15: the width and start of the data's whole domain, for a scale that drags over it.
    virtual HRESULT SetDragDomain(double width, double minimum) = 0;
    virtual HRESULT SetValue(LONG which, LONG value) = 0; // 16
    virtual HRESULT GetStyle(DWORD* style) = 0;           // 17
    virtual HRESULT SetStyle(DWORD style) = 0;            // 18
    // 19: an independent copy of the scale as it is now (no window, no observers).
    virtual HRESULT Copy(IScaleControl** copy) = 0;
    virtual HRESULT GetFrameRect(RECT* rect) = 0; // 20: where Draw paints, in the owner's client pixels
    // 21: paints ticks, numbers and title into the frame rectangle.
    virtual HRESULT Draw(HDC dc, LONG reserved, LONG flags) = 0;
    // 22: paints the scale for output to `dc` (a metafile or printer), measuring on `reference`.
    virtual HRESULT Print(HDC dc, HDC reference) = 0;
    virtual HRESULT GetWindowHandle(HWND* window) = 0;                   // 23: fails when the scale has none
    virtual HRESULT RegisterObserver(IDragScaleObserver* observer) = 0;   // 24
    virtual HRESULT UnregisterObserver(IDragScaleObserver* observer) = 0; // 25
    // 26: the visible range, the maximum first; the caller presets both values.
    virtual HRESULT GetExtent(double* maximumMinimum) = 0;

protected:
    ~IScaleControl() = default;
};

// Style bit of a scale that can draw itself.
inline constexpr DWORD kScaleStyleDrawable = 0x8000;

// {5E0C9F31-2A77-4B8E-9C1D-7F3A2B6E4D10}
inline constexpr IID IID_IDragScaleObserver{
    0x5E0C9F31, 0x2A77, 0x4B8E, {0x9C, 0x1D, 0x7F, 0x3A, 0x2B, 0x6E, 0x4D, 0x10}};

// What a scale tells about the user's dragging on it; every call returns 0.
struct IDragScaleObserver : IUnknown {
    virtual HRESULT OnBeginDrag(LONG scaleId) = 0; // 3
    virtual HRESULT OnEndDrag(LONG scaleId) = 0;   // 4
    // 5: the scale's new pixel transform (scale, offset) after a drag step or a range set by the program.
    virtual HRESULT OnScalingChanged(LONG scaleId, LONG reserved, const double* pixelTransform) = 0;
    virtual HRESULT OnAutoScale(LONG scaleId) = 0; // 6
    // 7: the value range (minimum, maximum) that the observer's data cover in the lane's view; `unscaled`, when
    // given, is cleared when the values are shown through a scaling. S_FALSE when no data answered.
    virtual HRESULT GetDataRange(LONG scaleId, double* range, WORD* unscaled) = 0;

protected:
    ~IDragScaleObserver() = default;
};

// {5E0C9F32-2A77-4B8E-9C1D-7F3A2B6E4D10}
inline constexpr IID IID_IGraphHostService{
    0x5E0C9F32, 0x2A77, 0x4B8E, {0x9C, 0x1D, 0x7F, 0x3A, 0x2B, 0x6E, 0x4D, 0x10}};

// The host's shared service of the graph library: it makes the scale controls.
struct IGraphHostService : IUnknown {
    // 3: a new scale of `kind` in a child window of `parent` (none without a parent) with the control id.
    virtual HRESULT CreateScaleControl(HWND parent, LONG value1, LONG value2, LONG kind, LONG id,
                                       IScaleControl** out) = 0;
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT(10)
    // 11: a plain scale of the preview charts.
    virtual HRESULT CreatePlainScale(LONG value1, LONG value2, LONG value3, LONG value4) = 0;
    // 12: a windowless lane scale of a preview chart in no-controls mode, with its style and lane.
    virtual HRESULT CreateLaneScale(LONG value1, LONG value2, DWORD style, LONG lane, IScaleControl** out) = 0;

protected:
    ~IGraphHostService() = default;
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
