// The chart data's calculation channels: channels whose events a calculation text produces. Extensions add them,
// read their texts, title them, switch them on and off, remove them and put their events as marks in the chart.
#pragma once

#include "platform/com/oleauto.h"

// {C41E8B27-6F03-4A95-8D7C-2B5E19F0A6D3}
inline constexpr IID IID_IChartCalcChannels{
    0xC41E8B27, 0x6F03, 0x4A95, {0x8D, 0x7C, 0x2B, 0x5E, 0x19, 0xF0, 0xA6, 0xD3}};

// The text kind that gives a calculation channel's name.
inline constexpr DWORD kCalcChannelNameText = 4;

// What a mark request names: the calculation channel, its kind, its type code and a spare word.
// The channel kind of mark requests: the channel as the chart shows it.
inline constexpr DWORD kMarkChannelKind = 0xC0000000;

struct CalcChannelRequest {
    std::int32_t calcChannel;
    std::int32_t kind;
    std::int32_t typeCode;
    std::int32_t reserved;
};

struct IChartCalcChannels : IUnknown {
    // 3: a new calculation channel; its name comes back in *name, its channel number in pair[0] (pair is
    // {0x80000000, 0xC0000000} on the way in).
    virtual HRESULT AddChannel(DWORD reserved, VARIANT_BOOL flag, DWORD reserved2, BSTR* name, std::int32_t* pair) = 0;
    // 4: a text of the channel; kind 4 is its name.
    virtual HRESULT GetChannelText(DWORD reserved, LONG channel, DWORD kind, BSTR* text) = 0;
    virtual HRESULT RemoveChannel(DWORD reserved, const char16_t* name) = 0;                    // 5
    virtual HRESULT GetState(DWORD reserved, const char16_t* name, VARIANT_BOOL* on) = 0;       // 6
    virtual HRESULT SetState(DWORD reserved, const char16_t* name, VARIANT_BOOL on) = 0;        // 7
    virtual HRESULT SetTitle(DWORD reserved, const char16_t* name, const char16_t* title) = 0;  // 8
    virtual HRESULT PutMarks(DWORD reserved, LONG channel, DWORD kind, const CalcChannelRequest* request) = 0;    // 9
    virtual HRESULT RemoveMarks(DWORD reserved, LONG channel, DWORD kind, const CalcChannelRequest* request) = 0; // 10

protected:
    ~IChartCalcChannels() = default;
};
