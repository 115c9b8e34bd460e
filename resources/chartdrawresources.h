// The preview chart's own resources: the texts of its bars, the zoom menu "XCOMPRESSEXPAND", the accelerators
// "CHARTDRAWACCELS" and the 16 x 16 PNG pictures of its buttons.
#pragma once

#include "platform/win/wintypes.h"

namespace StringId {
inline constexpr UINT StackTraces = 301;
inline constexpr UINT OverlayTraces = 302;
inline constexpr UINT SourceTraceOnly = 303;
inline constexpr UINT ChartView = 304;
inline constexpr UINT StartSampling = 305;
inline constexpr UINT PauseSampling = 306;
inline constexpr UINT ExpandHorizontal = 307;
inline constexpr UINT CompressHorizontal = 308;
inline constexpr UINT SetHorizontalScaling = 309;
inline constexpr UINT ToggleFollow = 310;
inline constexpr UINT SamplingUnavailable = 311; // %1: the acquisition hardware
inline constexpr UINT AutoscaleHorizontal = 312;
inline constexpr UINT CannotStartSampling = 314;
inline constexpr UINT HostCaption = 315;
inline constexpr UINT ShowLatestData = 317;
}

namespace PictureId {
inline constexpr UINT Expand = 103;
inline constexpr UINT ChartView = 106;
inline constexpr UINT StartSampling = 107;
inline constexpr UINT PauseSampling = 108;
inline constexpr UINT Compress = 109;
inline constexpr UINT StackTraces = 209;
inline constexpr UINT OverlayTraces = 210;
inline constexpr UINT SourceTraceOnly = 211;
inline constexpr UINT AutoscaleHorizontal = 213;
inline constexpr UINT ShowLatest = 2149;
}

namespace ChartDraw {
// The chart window's accelerator commands: line and page steps of the scroll bar.
inline constexpr UINT kCommandLineLeft = 16802;
inline constexpr UINT kCommandLineRight = 16803;
inline constexpr UINT kCommandPageLeft = 16804;
inline constexpr UINT kCommandPageRight = 16805;
}
