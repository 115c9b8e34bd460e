// The host document's channel-naming interface: the token by which a calculation text refers to a channel.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/com/unknown.h"
#include "sdk/recording.h"
#include "sdk/slots.h"

// {00778F95-D4B5-4F17-B5E6-612CBCCC5DDE}
inline constexpr IID IID_IChannelNaming{0x00778F95, 0xD4B5, 0x4F17, {0xB5, 0xE6, 0x61, 0x2C, 0xBC, 0xCC, 0x5D, 0xDE}};

struct IKVOString;

struct IChannelNaming : IUnknown {
    // 3: a new calculation channel; `channel` (in/out) names it, `name` receives its name (one reference).
    virtual HRESULT AllocateChannel(VARIANT_BOOL visible, DWORD reserved, IKVOString** name, ChannelReference* channel)
    {
        (void)visible, (void)reserved, (void)name, (void)channel;
        return E_NOTIMPL;
    }
    // 4 and 5: naming, declared where the module calls them.
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5)
    // 6: the formula token of the channel (reserved is 0); the caller frees the BSTR.
    virtual HRESULT GetChannelToken(LONG reserved, LONG channel, LONG kind, BSTR* token) = 0;

protected:
    ~IChannelNaming() = default;
};
