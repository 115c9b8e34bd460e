// The module's string table: ids as named constants; the texts live in stringtable.cpp and are registered under
// the module's instance handle when the module is loaded.
#pragma once

#include "platform/win/resources.h"

#include <span>

namespace StringId {
// Texts of the module's own failure codes (0xA00482xx).
inline constexpr UINT ErrUnexpected = 57345;
inline constexpr UINT ErrNotCompleted = 57346;
inline constexpr UINT ErrNotSupported = 57347;
inline constexpr UINT ErrBadStoredText = 57348;
inline constexpr UINT ErrNewerVersion = 57349;
inline constexpr UINT ErrStoredDataEnds = 57350;
inline constexpr UINT ErrNotSaved = 57351;
inline constexpr UINT ErrStoredDataDamaged = 57352;
inline constexpr UINT ErrNotRead = 57354;
inline constexpr UINT ErrNeedsNewerHost = 57358;
inline constexpr UINT ErrSettingsInvalid = 57359;
inline constexpr UINT ErrNoData = 57360;

// The compound-file storage: the disk is full while its temporary file grows.
inline constexpr UINT StorageDiskFull = 20000;

// The user's number and time settings.
inline constexpr UINT LocaleCaption = 20007;
inline constexpr UINT LocaleUnreadable = 20008;
inline constexpr UINT LocaleDecimalIsDateSeparator = 20009;
inline constexpr UINT LocaleDecimalIsListSeparator = 20010;
inline constexpr UINT LocaleUnsupportedDecimal = 20011;
inline constexpr UINT LocaleCrtFirstError = 20012; // 20012 to 20017 for the run-time's codes 0x20000101 to 0x20000106
inline constexpr UINT LocaleCrtOtherError = 20018;
// A whole number outside its range: title, and message naming the range as %1 to %2.
inline constexpr UINT RangeErrorTitle = 22022;
inline constexpr UINT RangeErrorMessage = 22023;
}

// The views' command texts and the settings command's menu text.
namespace StringId {
inline constexpr UINT CopyTableView = 114;
inline constexpr UINT PrintTableView = 120;
inline constexpr UINT TableViewHelpTooltip = 343;
inline constexpr UINT CopyAnalysisView = 123;
inline constexpr UINT PrintAnalysisView = 124;
inline constexpr UINT MenuSettings = 2016;
// The title of the event-chain calculation channel (%1: the source channel, 1-based) and the analysis client's
// display name.
inline constexpr UINT CalcChannelTitle = 2200;
inline constexpr UINT AnalysisClientName = 2201;
// The analysis driver's messages and their caption.
inline constexpr UINT CalculationsTurnedOff = 118;
inline constexpr UINT ModuleCaption = 119;
inline constexpr UINT NotEnoughMemory = 150;
// The analyse and clear commands.
inline constexpr UINT MenuAnalyseChannel = 116;
inline constexpr UINT MenuAnalyseSelection = 117;
inline constexpr UINT CommandAnalyse = 139;
inline constexpr UINT MenuClear = 2112;
}

// The settings dialogs.
namespace StringId {
inline constexpr UINT DetectionSettingsTitle = 115; // "%1": the channel
inline constexpr UINT DialogHelpTooltip = 127;
inline constexpr UINT HalfHeightTitle = 129;
inline constexpr UINT HalfHeightText = 131;
inline constexpr UINT MinPeakHeightTitle = 132;
inline constexpr UINT MinPeakHeightText = 133;
inline constexpr UINT RmpSetting = 1093;
inline constexpr UINT RmpHeightPercentLabel = 1094;
}

// The channel calculation.
namespace StringId {
inline constexpr UINT NeedsLoopmetry = 113;
inline constexpr UINT ChannelCalcCaption = 122;
inline constexpr UINT ChannelCalcOnSource = 126;
inline constexpr UINT ChooseAnalysisType = 200;
inline constexpr UINT ChannelCalcDialogCaption = 300;
}

namespace Resources {
// Every entry of the module's string table.
std::span<const platform::StringTableEntry> StringTable();
}
