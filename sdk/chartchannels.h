// The chart data's lookup of its channels: whether a channel number names a channel object of the host. Child data
// ask it when a data-change notice concerns a channel they depend on.
#pragma once

#include "platform/com/unknown.h"

// {3C0F5E0A-7B2D-4E61-9A43-2F8D17C6B5E4}
inline constexpr IID IID_IChartChannels{0x3C0F5E0A, 0x7B2D, 0x4E61, {0x9A, 0x43, 0x2F, 0x8D, 0x17, 0xC6, 0xB5, 0xE4}};

// The selector of a channel lookup that asks for the channel as it is shown, whatever its source.
inline constexpr DWORD kChannelLookupShown = 0xC0000000;

struct IChartChannels : IUnknown {
    // 3: the channel object of `channel` with a reference for the caller; a failure and null when there is none.
    virtual HRESULT GetChannel(DWORD selector, LONG channel, IUnknown** out) = 0;

protected:
    ~IChartChannels() = default;
};
