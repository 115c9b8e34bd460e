// What an analysis asks of the host beyond the calculation channels: the extent of the recorded data, the
// selection, the texts of calculation channels, and the host document's update request.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/kvoposition.h"

#include <cstdint>

// {6E2B9F14-3C87-4D51-A0E6-8B1F27C4D93A}: the family whose message n 0 carries a new text to a calculation channel.
inline constexpr GUID GUID_ChannelCalcExpressionFamily{
    0x6E2B9F14, 0x3C87, 0x4D51, {0xA0, 0xE6, 0x8B, 0x1F, 0x27, 0xC4, 0xD9, 0x3A}};
// {0B7D3E52-9A14-4F6C-8E21-D5C3A70F1B48}
inline constexpr IID IID_IChartExtent{0x0B7D3E52, 0x9A14, 0x4F6C, {0x8E, 0x21, 0xD5, 0xC3, 0xA7, 0x0F, 0x1B, 0x48}};
// {A35C71E9-2D40-4B8F-9C16-E7F20B58A6D1}
inline constexpr IID IID_IChartSelection{
    0xA35C71E9, 0x2D40, 0x4B8F, {0x9C, 0x16, 0xE7, 0xF2, 0x0B, 0x58, 0xA6, 0xD1}};
// {4C9E1A07-B63F-4E25-8D7A-19C0F3E2B564}
inline constexpr IID IID_ICalcTextTarget{0x4C9E1A07, 0xB63F, 0x4E25, {0x8D, 0x7A, 0x19, 0xC0, 0xF3, 0xE2, 0xB5, 0x64}};
// {D81F5C36-7E29-4A03-B4C8-5A6E0D97F21C}
inline constexpr IID IID_IHostDocumentUpdate{
    0xD81F5C36, 0x7E29, 0x4A03, {0xB4, 0xC8, 0x5A, 0x6E, 0x0D, 0x97, 0xF2, 0x1C}};

// {7A2E4C91-D35B-4F08-A6C2-91E8B0D47F35}
inline constexpr IID IID_ICalcSourceLocator{
    0x7A2E4C91, 0xD35B, 0x4F08, {0xA6, 0xC2, 0x91, 0xE8, 0xB0, 0xD4, 0x7F, 0x35}};

struct IMessageHandler;

// The host's locator of calculation sources: the framework object under n 1 of the channel-calculation message
// class. The source of a chart's channel holds that channel's calculation and takes the messages for it whose value
// is the array {text, second text, channel, kind} (VT_ARRAY | VT_VARIANT).
struct ICalcSourceLocator : IUnknown {
    // 3: E_INVALIDARG, and null, when the chart has no calculation on the channel.
    virtual HRESULT FindCalcSource(IUnknown* chart, LONG channel, DWORD kind, IMessageHandler** source) = 0;

protected:
    ~ICalcSourceLocator() = default;
};

// The chart data's recorded extent.
struct IChartExtent : IUnknown {
    virtual HRESULT GetEndOfData(DWORD kind, KVOPosition* end) = 0;                  // 3: kind 0x80000000
    virtual HRESULT GetBlockLength(DWORD kind, LONG block, LONG* length) = 0;       // 4: kind 0
    virtual HRESULT GetBlockCount(DWORD kind, LONG* count) = 0;                     // 5: kind 0

protected:
    ~IChartExtent() = default;
};

// The chart's selection as a range of positions.
struct IChartSelection : IUnknown {
    virtual HRESULT GetSelectionRange(DWORD kind, KVOPosition* start, KVOPosition* end) = 0; // 3: kind 0
    virtual HRESULT ClearSelection() = 0;                                                      // 4
    // 5: kind 0, a time range of every channel.
    virtual HRESULT SetTimeSelection(DWORD kind, const KVOPosition* start, const KVOPosition* end) = 0;
    // 6: kind 0; narrows the selection to a channel and a value range {top, bottom}.
    virtual HRESULT SelectChannel(DWORD kind, LONG channel, const double* valueRange) = 0;

protected:
    ~IChartSelection() = default;
};

// Where the chart data takes a message that carries texts to the calculation of one channel.
struct ICalcTextTarget : IUnknown {
    // 3: `messageId` names what the texts are (the expression family's n 0: the channel's new calculation text).
    virtual HRESULT SendCalcText(DWORD messageId, LONG channel, DWORD kind, const char16_t* text,
                                 const char16_t* second) = 0;

protected:
    ~ICalcTextTarget() = default;
};

// The host document's update request: the host redraws what depends on the document's channels.
struct IHostDocumentUpdate : IUnknown {
    virtual HRESULT Update(DWORD argument) = 0; // 3

protected:
    ~IHostDocumentUpdate() = default;
};


// {93D4A6F2-1B5E-4C78-8F09-C2E7B3A15D64}: the host chart's notices (n 4, 6, 14, ... 44; 52 names a calculation
// channel whose events changed).
inline constexpr GUID GUID_ChartNoticeFamily{0x93D4A6F2, 0x1B5E, 0x4C78, {0x8F, 0x09, 0xC2, 0xE7, 0xB3, 0xA1, 0x5D, 0x64}};
// n of the notice that tells a document's chart views that its display colours or grid options changed; sent
// without data to the observers registered with the chart's subject.
inline constexpr WORD kChartDisplayNotice = 8;

// The record that goes with notice 52.
struct CalcChannelNotice {
    std::int32_t noticeId;
    std::int32_t channel;
    std::int32_t kind; // 4
};
