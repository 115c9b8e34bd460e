// The host document's channels with their titles, as the module's table lists them, and the host's view message
// family, whose message 4 tells the views that the titles changed.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/slots.h"

struct IKVOString;

// {90D39E92-0DC3-427F-87A0-B51671821E4B}
inline constexpr IID IID_IDocumentChannels{0x90D39E92, 0x0DC3, 0x427F, {0x87, 0xA0, 0xB5, 0x16, 0x71, 0x82, 0x1E, 0x4B}};
// {17ECD639-C008-4E31-A90F-A6EA3324298B}
inline constexpr IID IID_IChannelTitles{0x17ECD639, 0xC008, 0x4E31, {0xA9, 0x0F, 0xA6, 0xEA, 0x33, 0x24, 0x29, 0x8B}};
// The host's view message family: message n is (the host's 16-bit id of this identifier << 16) | n.
// {8D31E6A4-2B7C-4F59-9E08-C4A1D57B3E92}
inline constexpr GUID CLSID_ViewMessageFamily{0x8D31E6A4, 0x2B7C, 0x4F59, {0x9E, 0x08, 0xC4, 0xA1, 0xD5, 0x7B, 0x3E, 0x92}};
inline constexpr WORD kChannelTitlesChangedMessage = 4;

// The channel list of a host document.
struct IDocumentChannels : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11)
    virtual HRESULT GetChannelCount(DWORD reserved, LONG* count) = 0; // 12
    SDK_UNUSED_SLOT(13) SDK_UNUSED_SLOT(14) SDK_UNUSED_SLOT(15)
    virtual HRESULT GetChannels(IUnknown** channels) = 0; // 16: the channels object (IChannelTitles), with a reference

protected:
    ~IDocumentChannels() = default;
};

// The channels object of a host document.
struct IChannelTitles : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1) SDK_UNUSED_SLOT_DECADE(2) SDK_UNUSED_SLOT_DECADE(3) SDK_UNUSED_SLOT_DECADE(4)
    SDK_UNUSED_SLOT_DECADE(5)
    SDK_UNUSED_SLOT(60) SDK_UNUSED_SLOT(61) SDK_UNUSED_SLOT(62) SDK_UNUSED_SLOT(63) SDK_UNUSED_SLOT(64)
    SDK_UNUSED_SLOT(65) SDK_UNUSED_SLOT(66) SDK_UNUSED_SLOT(67) SDK_UNUSED_SLOT(68)
    // 69: the title of channel `index` (the two words 0xC0000000 select the document's own channels), with a
    // reference; an empty text for a channel without one.
    virtual HRESULT GetChannelTitle(LONG word1, LONG index, LONG word2, IKVOString** title) = 0;

protected:
    ~IChannelTitles() = default;
};
