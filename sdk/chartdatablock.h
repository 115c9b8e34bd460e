// The data of one channel as a chart lane sees it: what the values of a record span, for scaling the lane to them.
#pragma once

#include "platform/com/unknown.h"
#include "platform/win/windef.h"

// {9A3E5C17-0B4D-4E62-8F91-D27C36A0B5E4}
inline constexpr IID IID_IChartDataBlock{0x9A3E5C17, 0x0B4D, 0x4E62, {0x8F, 0x91, 0xD2, 0x7C, 0x36, 0xA0, 0xB5, 0xE4}};

// A value range in stored units; displayed values are (value + offset) * scale.
struct ChartValueRange {
    double minimum = 32000.0;
    double maximum = -32000.0;
    double scale = 1.0;
    double offset = 0.0;
};

struct IChartDataBlock : IUnknown {
    // 3: the range of the values of record `index` (0x7FFFFFFE: the newest record); S_FALSE and the range as given
    // when the record holds no values.
    virtual HRESULT GetValueRange(DWORD flags, LONG index, LONG selector, ChartValueRange* range) = 0;

protected:
    ~IChartDataBlock() = default;
};
