// The settings dialogs' templates: the settings dialog, its warning notice and its pages, registered as RT_DIALOG
// resources of the module when it loads.
#pragma once

namespace DialogId {
inline constexpr int Settings = 112;
inline constexpr const char16_t* InvalidSettings = u"CXINVALIDSETTINGSDLG";
inline constexpr int BaselinePage = 131;
}
