// The ids by which every part of the module reads and writes the analysis settings. Ids 0 to 58 are the on/off
// settings of the parameter codes (shown as table columns); 1000 to 1041 are per source channel; 2000 to 2030 global.
#pragma once

#include <cstdint>

namespace CX::Doc::SettingId {

// ---- per source channel ----
inline constexpr std::int32_t kStimulusMode = 1000;          // int 2..5: 2 position, 3 height and width, 4 one per block
inline constexpr std::int32_t kMinPeakWidthCardiac = 1001;   // double, ms
inline constexpr std::int32_t kMinStimulusHeight = 1002;     // double (evoked responses)
inline constexpr std::int32_t kMaxStimulusWidth = 1003;      // double, ms
inline constexpr std::int32_t kStimulusSearchStart = 1004;   // double, ms after the start of the block
inline constexpr std::int32_t kStimulusPosition = 1005;      // double, ms after the start of the block
inline constexpr std::int32_t kMinPeakHeight = 1006;         // double
inline constexpr std::int32_t kDetectionStart = 1007;        // double, ms after the stimulus
inline constexpr std::int32_t kDetectionEnd = 1008;          // double, ms after the stimulus
inline constexpr std::int32_t kUseDetectionOptions = 1009;   // Bool
inline constexpr std::int32_t kDetectionSettings = 1010;     // Loopmetry's detection settings
inline constexpr std::int32_t kTriangulationStart = 1011;    // Int10, percent
inline constexpr std::int32_t kTriangulationEnd = 1012;      // Int10, percent
inline constexpr std::int32_t kMidPlateauPercent = 1013;     // int
inline constexpr std::int32_t kPlateauLevelWidth = 1014;     // double, ms
inline constexpr std::int32_t kAreaStart = 1015;             // double, ms
inline constexpr std::int32_t kAreaEnd = 1016;               // double, ms
inline constexpr std::int32_t kRiseStartPercent = 1017;      // int
inline constexpr std::int32_t kRiseEndPercent = 1018;        // int
inline constexpr std::int32_t kTauFitOld = 1019;             // Bool, superseded by kTauMode
inline constexpr std::int32_t kSlopeStart = 1020;            // double, ms
inline constexpr std::int32_t kSlopeEnd = 1021;              // double, ms
inline constexpr std::int32_t kValueAt = 1022;               // double, ms after the stimulus
inline constexpr std::int32_t kPopSpikeStart = 1023;         // double, ms
inline constexpr std::int32_t kPopSpikeEnd = 1024;           // double, ms
inline constexpr std::int32_t kPlateauCentrePercent = 1025;  // int
inline constexpr std::int32_t kPlateauWidth = 1026;          // double, ms
inline constexpr std::int32_t kMinStimulusInterval = 1027;   // double, ms
inline constexpr std::int32_t kMinStimulusHeightPS = 1028;   // double (population spikes)
inline constexpr std::int32_t kTauStartPercent = 1029;       // int
inline constexpr std::int32_t kTauEndPercent = 1030;         // int
inline constexpr std::int32_t kMaxNegSlopeStart = 1031;      // int, ms
inline constexpr std::int32_t kMaxNegSlopeSmoothing = 1032;  // double, ms
inline constexpr std::int32_t kStartHeightPercent = 1033;    // int
inline constexpr std::int32_t kStartHeightPercentAP = 1034;  // int (action potentials)
inline constexpr std::int32_t kMinPeakWidthAP = 1035;        // double, ms (action potentials)
inline constexpr std::int32_t kPeakWidthFilter = 1036;       // Bool
inline constexpr std::int32_t kTauMode = 1037;               // int 0..3
inline constexpr std::int32_t kTauFixedValue = 1038;         // double
inline constexpr std::int32_t kBaselineMode = 1039;          // int 0..3
inline constexpr std::int32_t kBaselineValue = 1040;         // double
inline constexpr std::int32_t kEndHeightPercent = 1041;      // int

// ---- global ----
inline constexpr std::int32_t kAnalysisType = 2000;          // int 0..5 (6 accepted)
inline constexpr std::int32_t kSourceChannel = 2001;         // long: the key of the channel group in use
inline constexpr std::int32_t kShowSummaryPane = 2002;       // Bool
inline constexpr std::int32_t kFirstSettingsTab = 2003;      // int
inline constexpr std::int32_t kAnalyseSelection = 2004;      // Bool
inline constexpr std::int32_t kRangeStartBlock = 2005;       // long
inline constexpr std::int32_t kRangeStartTick = 2006;        // long
inline constexpr std::int32_t kRangeEndBlock = 2007;         // long
inline constexpr std::int32_t kRangeEndTick = 2008;          // long
inline constexpr std::int32_t kAnalyseWhileSampling = 2009;  // Bool
inline constexpr std::int32_t kShowEventMarks = 2010;        // Bool
inline constexpr std::int32_t kHasAnalysedRange = 2011;      // Bool
inline constexpr std::int32_t kNoCurrentResult = 2012;       // Bool: the texts then carry the range 0, 0, 0, 0
inline constexpr std::int32_t kFirstPlotMarker = 2013;       // Bools 2013 to 2022
inline constexpr std::int32_t kLastPlotMarker = 2022;
inline constexpr std::int32_t kDetectorStageChannel = 2023;  // long host channel, -1 none
inline constexpr std::int32_t kEventChainChannel = 2024;     // long host channel, -1 none
inline constexpr std::int32_t kCalcStageChannel = 2025;      // long host channel, -1 none
inline constexpr std::int32_t kTableViewState = 2026;        // Bool
inline constexpr std::int32_t kPlotTimeMin = 2027;           // doubles 2027 to 2030
inline constexpr std::int32_t kPlotTimeMax = 2028;
inline constexpr std::int32_t kPlotValueMin = 2029;
inline constexpr std::int32_t kPlotValueMax = 2030;

inline constexpr bool IsGlobal(std::int32_t id) { return id >= 2000 && id <= 2999; }

} // namespace CX::Doc::SettingId
