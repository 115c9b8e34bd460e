// The host document's chart data as the module sees it: the chart-document interface and the channel-data
// interface (one host object answers both).
#pragma once

#include "platform/com/unknown.h"
#include "sdk/childdata.h"

// {937A6340-8770-47D3-B141-A29898BF783E}
inline constexpr IID IID_IChartDocument{0x937A6340, 0x8770, 0x47D3, {0xB1, 0x41, 0xA2, 0x98, 0x98, 0xBF, 0x78, 0x3E}};
// {AB935B71-EA69-44D3-97A5-37C99898170C}
inline constexpr IID IID_IChannelData{0xAB935B71, 0xEA69, 0x44D3, {0x97, 0xA5, 0x37, 0xC9, 0x98, 0x98, 0x17, 0x0C}};

struct IChartDocument : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1)
    SDK_UNUSED_SLOT_DECADE(2)
    SDK_UNUSED_SLOT_DECADE(3)
    SDK_UNUSED_SLOT_DECADE(4)
    SDK_UNUSED_SLOT_DECADE(5)
    SDK_UNUSED_SLOT_DECADE(6)
    SDK_UNUSED_SLOT(70) SDK_UNUSED_SLOT(71)
    virtual HRESULT GetChildDataHolder(IChildDataHolder** out) = 0; // 72

protected:
    ~IChartDocument() = default;
};

// The time base of a channel in a block: a / b ticks per sample, offset o.
struct ChannelTimeBase {
    std::int64_t a;
    std::int64_t b;
    double o;
};

struct IChannelData : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1)
    SDK_UNUSED_SLOT(20)
    virtual HRESULT GetChannelTimeBase(DWORD reserved, LONG block, LONG channel, ChannelTimeBase* out) = 0; // 21

protected:
    ~IChannelData() = default;
};
