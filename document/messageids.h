// Ids of host message classes and of the host's channel-calculation class, each (host id of the class's GUID)
// << 16 | n, computed on first use and kept.
#pragma once

#include "frame/typeid.h"

namespace CX::Msg {
// The 16-bit class ids of the host's message families, asked once each: its document and view messages, its chart
// messages, and its general chart notices (n 8 of which tells the views that the display colours changed).
WORD HostMessageClassId();
WORD ChartMessageClassId();
WORD HostChartMessageClassId();
// The host chart: its selection (2), the factory of host objects made from texts (16), an event comment's id (18).
DWORD ChartMessageId2();
DWORD ChartMessageId16();
DWORD ChartMessageId18();
// A new calculation text for a host calculation channel.
DWORD ChannelCalcMessageId0();
// The calculation source of a channel.
DWORD ChannelCalcMessageId1();
} // namespace CX::Msg

// The host's channel calculation, as far as the module's frame needs it.
class ChannelCalcBase {
public:
    // The channel-calculation class's type id (index 0); the framework object of the host's unit service.
    static DWORD GetRegisteredTypeId();
};
