#include "document/messageids.h"

#include "sdk/analysishost.h"

namespace CX::Msg {
WORD HostMessageClassId() { return TypeIdRegistration<&GUID_HostMessages>::Get(); }
WORD ChartMessageClassId() { return TypeIdRegistration<&GUID_ChartMessages>::Get(); }
WORD HostChartMessageClassId() { return TypeIdRegistration<&GUID_ChartNoticeFamily>::Get(); }
DWORD ChartMessageId2() { return TypeIdClass<&GUID_ChartMessages, 2>::Get(); }
DWORD ChartMessageId16() { return TypeIdClass<&GUID_ChartMessages, 16>::Get(); }
DWORD ChartMessageId18() { return TypeIdClass<&GUID_ChartMessages, 18>::Get(); }
DWORD ChannelCalcMessageId0() { return TypeIdClass<&GUID_ChannelCalcMessages, 0>::Get(); }
DWORD ChannelCalcMessageId1() { return TypeIdClass<&GUID_ChannelCalcMessages, 1>::Get(); }
} // namespace CX::Msg

DWORD ChannelCalcBase::GetRegisteredTypeId() { return TypeIdClass<&CX::CXChanCalcGUID, 0>::Get(); }
