// The template of the channel calculation's dialog, registered as an RT_DIALOG resource of the module when it loads.
#pragma once

namespace DialogId {
inline constexpr const char16_t* ChannelCalc = u"CXCCDLG";
}
