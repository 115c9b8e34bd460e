// Handing a text to the host calculation of one channel: the host's calculation source of the channel is found
// through the framework class object, and a message carrying the texts is sent to it.
#pragma once

#include "foundation/kvostring.h"
#include "platform/com/unknown.h"

#include <cstdint>

namespace ExtLib {

// Finds the calculation source of `channel` of the host chart data (through the framework object under the
// channel-calculation message id 1) and sends it a message of `messageId` whose value is the array {text, second
// text, channel, kind}. True when the source was found; false, and nothing sent, when the host has no locator, the
// chart no calculation on the channel, or the message cannot be made.
bool GetCalcSourceForChannel(IUnknown* chartData, DWORD messageId, const KVO::String& text, const KVO::String& second,
                             std::int32_t channel, std::int32_t kind);

} // namespace ExtLib
