// The host document's chart data as the module sees it: the chart-document interface and the channel-data
// interface (one host object answers both).
#pragma once

#include "platform/com/unknown.h"
#include "sdk/childdata.h"

// {937A6340-8770-47D3-B141-A29898BF783E}
inline constexpr IID IID_IChartDocument{0x937A6340, 0x8770, 0x47D3, {0xB1, 0x41, 0xA2, 0x98, 0x98, 0xBF, 0x78, 0x3E}};
// {AB935B71-EA69-44D3-97A5-37C99898170C}
inline constexpr IID IID_IChannelData{0xAB935B71, 0xEA69, 0x44D3, {0x97, 0xA5, 0x37, 0xC9, 0x98, 0x98, 0x17, 0x0C}};

// The chart document of a host document. Its link objects (each handed out with a reference; E_NOTIMPL when the
// chart has none) are what a chart's child document keeps of its host document.
struct IChartDocument : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    virtual HRESULT GetDataSourceLink(IUnknown** out) = 0;                // 8: the document's data source
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13) SDK_UNUSED_SLOT(14)
    SDK_UNUSED_SLOT(15)
    virtual HRESULT GetChannelDataLink(IUnknown** out) = 0;               // 16: the object with the channel data
    SDK_UNUSED_SLOT(17) SDK_UNUSED_SLOT(18) SDK_UNUSED_SLOT(19) SDK_UNUSED_SLOT(20)
    virtual HRESULT GetCalculationsLink(IUnknown** out) = 0;              // 21: the calculation channels
    SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24) SDK_UNUSED_SLOT(25) SDK_UNUSED_SLOT(26)
    SDK_UNUSED_SLOT(27) SDK_UNUSED_SLOT(28) SDK_UNUSED_SLOT(29)
    SDK_UNUSED_SLOT_DECADE(3)
    SDK_UNUSED_SLOT_DECADE(4)
    virtual HRESULT GetSelectionLink(IUnknown** out) = 0;                 // 50: the chart's selection
    virtual HRESULT GetExtentLink(IUnknown** out) = 0;                    // 51: the extent of the data
    virtual HRESULT GetTimesLink(IUnknown** out) = 0;                     // 52: the chart's clock
    SDK_UNUSED_SLOT(53) SDK_UNUSED_SLOT(54) SDK_UNUSED_SLOT(55) SDK_UNUSED_SLOT(56) SDK_UNUSED_SLOT(57)
    SDK_UNUSED_SLOT(58) SDK_UNUSED_SLOT(59)
    SDK_UNUSED_SLOT(60) SDK_UNUSED_SLOT(61) SDK_UNUSED_SLOT(62) SDK_UNUSED_SLOT(63) SDK_UNUSED_SLOT(64)
    virtual HRESULT GetServerLink(DWORD reserved, IUnknown** out) = 0;   // 65: the chart's data server
    SDK_UNUSED_SLOT(66) SDK_UNUSED_SLOT(67) SDK_UNUSED_SLOT(68) SDK_UNUSED_SLOT(69)
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
