// The settings dialogs' templates: the settings dialog, its warning notice and its pages, registered as RT_DIALOG
// resources of the module when it loads.
#pragma once

namespace DialogId {
inline constexpr int Settings = 112;
inline constexpr const char16_t* InvalidSettings = u"CXINVALIDSETTINGSDLG";
inline constexpr int BaselinePage = 131;
inline constexpr int CalcERPage = 120;
inline constexpr int CalcGenPage = 121;
inline constexpr int CalcSynapPage = 122;
inline constexpr int CalcCAPPage = 123;
inline constexpr int CalcPSPage = 129;
inline constexpr int CalcNAPPage = 130;
inline constexpr int TableOptionsPage = 119;
inline constexpr int DetectorCAPPage = 126;
inline constexpr int DetectorERPage = 115;
inline constexpr int DetectorPSPage = 127;
inline constexpr int FixedPositionPage = 116;
inline constexpr int HeightWidthPage = 124;
inline constexpr int DetectorUnStimPage = 114;
inline constexpr int MinPeakHeightPage = 125;
}
