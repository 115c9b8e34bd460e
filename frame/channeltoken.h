// The token by which a calculation text refers to a host channel.
#pragma once

#include "foundation/kvostring.h"
#include "platform/com/unknown.h"
#include "sdk/recording.h"

#include <cstdint>

struct IChannelCalc;

namespace ExtLib {

// With a kind whose low byte is 4, the token that the host document's channel-naming interface gives; otherwise,
// or when the host cannot say, "ch" followed by the 1-based channel number.
KVO::String GetChannelToken(IUnknown* hostDocument, std::int32_t channel, std::int32_t kind);

// The host's token alone: false (text unchanged) when the document is null or has no channel-naming interface.
bool QueryChannelToken(IUnknown* hostDocument, std::int32_t channel, std::int32_t kind, KVO::String& text);

// Sends a calculation text (and unit text) to the host calculation channel under the message id; true when the
// host took it.
bool SetChannelCalculation(IUnknown* channelData, DWORD messageId, const KVO::String& text, const KVO::String& unit,
                           const ChannelReference& channel);

// The host's name of a channel of the host document (its first data source's); "?" without a host document, empty
// when the host gives none.
KVO::String GetChannelName(IUnknown* hostDocument, std::int32_t channel);

// The largest of the three channel counts that the host document's panes report; a count that cannot be read
// counts as 16.
std::int32_t GetMaxPaneMetric(IUnknown* hostDocument);

// True with the module's channel calculation on the channel (one reference in `out`); false, and null, when the
// channel holds none or the host cannot say.
bool QueryChannelInterfaces(IUnknown* hostDocument, IChannelCalc** out, DWORD messageId, std::int32_t channel,
                            DWORD kind);

} // namespace ExtLib
