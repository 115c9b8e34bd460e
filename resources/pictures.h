// The module's pictures: bitmap resources (24-bit, their background the light grey that callers key out) and
// "PNG" resources with alpha. They are drawn here from simple shapes and registered under the module's handle
// when it loads.
#pragma once

#include "platform/gdi/imagecodec.h"

namespace PictureId {
inline constexpr UINT ErrorMark = 134;          // bitmap 12 x 12: the error mark of invalid settings
inline constexpr UINT EvokedGroup = 130;        // bitmap 16 x 16: caption picture of the evoked-response group
inline constexpr UINT DetectorGroup = 2202;     // bitmap 16 x 16: caption picture of the detector group
inline constexpr UINT SnapButton = 1005;        // PNG 16 x 16: the table view's snap button
inline constexpr UINT MenuSettings = 269;       // PNG 16 x 16 menu icons
inline constexpr UINT MenuAnalyze = 270;
inline constexpr UINT MenuTableView = 271;
inline constexpr UINT MenuAnalysisView = 272;
inline constexpr UINT ProviderError = 206;      // bitmap 12 x 12, 32 bits: an error mark's error picture
inline constexpr UINT ProviderWarning = 207;    // bitmap 12 x 12, 24 bits: its warning picture
inline constexpr UINT ProviderInfo = 208;       // bitmap 14 x 15: its information picture
inline constexpr UINT HelpGlyph = 2201;         // bitmap 15 x 15: the glyph of the Help button
}

namespace Resources {
// The picture of a resource id as drawn (straight ARGB), for tests and tools; empty for unknown ids.
gdi::ArgbPixels Picture(UINT id);
}
