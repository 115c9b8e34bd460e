// The horizontal time base of a chart pane: lays a recording's blocks end to end in pixels at a rational
// compression (ticks per pixel), converts between absolute pixels and data positions (block, tick offset), and
// follows the host's sampling so that it always knows the recording's extent.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/win/windef.h"

// {2F6A1C93-5D0E-4B87-A3F4-9C12E7B05D6A}
inline constexpr IID IID_IChartTimeBase{0x2F6A1C93, 0x5D0E, 0x4B87, {0xA3, 0xF4, 0x9C, 0x12, 0xE7, 0xB0, 0x5D, 0x6A}};

// A data position: a tick offset within a block.
struct ChartBlockPosition {
    LONGLONG tick = 0x7FFFFFFFFFFFFFFFLL;
    LONG block = 0x7FFFFFFF;
};

struct IChartTimeBase : IUnknown {
    // 3, 4: the compression as ticks per pixel (numerator, denominator). A compression that is not positive, or
    // whose pixel products overflow, gives E_INVALIDARG and keeps the old one.
    virtual HRESULT SetCompression(LONGLONG numerator, LONGLONG denominator) = 0;
    virtual HRESULT GetCompression(LONGLONG* numerator, LONGLONG* denominator) = 0;
    // 5: the recording's length in pixels; S_FALSE (and 0) when there is no data.
    virtual HRESULT GetExtent(LONGLONG* pixels) = 0;
    // 6: the data position at an absolute pixel; S_FALSE beyond the data's end (the last position is given).
    virtual HRESULT PixelToPosition(LONGLONG pixel, ChartBlockPosition* position) = 0;
    // 7: the absolute pixel of a data position.
    virtual HRESULT PositionToPixel(const ChartBlockPosition& position, double* pixel) = 0;
    // 8: the block that holds an absolute pixel, the position there and the pixel where the block ends.
    virtual HRESULT LocateBlock(LONGLONG pixel, ChartBlockPosition* position, LONGLONG* blockEnd) = 0;
    // 9: the start of block `block`, and its end pixel; S_FALSE when there is no such block.
    virtual HRESULT BlockStart(LONG block, ChartBlockPosition* position, LONGLONG* blockEnd) = 0;
    // 10: seconds per pixel of a block and the length of one tick in seconds.
    virtual HRESULT GetBlockInfo(LONG block, double* secondsPerPixel, double* tickSeconds) = 0;
    // 11, 12: what changed since the last acknowledgement (the top eight bits: redraw everything).
    virtual HRESULT GetChangeFlags(DWORD* flags) = 0;
    virtual HRESULT AcknowledgeChanges(DWORD flags) = 0;
    // 13: the block being sampled (the last block when idle).
    virtual HRESULT GetCurrentBlock(LONG* block) = 0;
    // 14-19: the sampling notices, as the host hands them to every sink.
    virtual HRESULT SamplingStarted(DWORD value) = 0;
    virtual HRESULT BlockStarted(LONG block, double tickSeconds, BOOL continues) = 0;
    // 16: new data (`samples` now in the current block); gives the newest absolute pixel.
    virtual HRESULT NewData(LONGLONG samples, LONGLONG* newestPixel) = 0;
    virtual HRESULT SamplingStopped(DWORD value) = 0;
    virtual HRESULT AfterStop(BOOL flag) = 0;
    // 19: the range notice of the sampling (its meaning is the host's).
    virtual HRESULT RangeNotice(DWORD a, DWORD b) = 0;
    // 20: the absolute pixel of a mark `tick` ticks from the tick `origin` of block `block` (reserved is 0).
    virtual HRESULT MarkToPixel(LONG reserved, LONGLONG origin, LONG block, double tick, double* pixel) = 0;

protected:
    ~IChartTimeBase() = default;
};

// {2F6A1C94-5D0E-4B87-A3F4-9C12E7B05D6A}
inline constexpr IID IID_IChartMarkPosition{
    0x2F6A1C94, 0x5D0E, 0x4B87, {0xA3, 0xF4, 0x9C, 0x12, 0xE7, 0xB0, 0x5D, 0x6A}};

// A mark in a chart (a comment, a marker): the channel it belongs to, -1 for all channels. Where it stands is its
// position interface (IID_IChartMarkPosition).
struct IChartMark : IUnknown {
    virtual HRESULT GetChannel(LONG* channel) = 0; // 3

protected:
    ~IChartMark() = default;
};

struct IChartMarkPosition : IUnknown {
    // 3: the mark's tick and its block; a mark that has no place leaves the pair as it was.
    virtual HRESULT GetPosition(LONG pair[2]) = 0;

protected:
    ~IChartMarkPosition() = default;
};
