// The analysis settings as the settings dialog groups them for each analysis type, and the global settings as the
// command line treats them: for listing the settings a user sets, and for saying what decided a detection.
#pragma once

#include "platform/win/wintypes.h"

#include <vector>

namespace cli {

// The pages of the settings dialog that show an analysis type's own settings, in the dialog's order.
enum class Page { kDetector, kBaseline, kCalculations };

// How a value reads beside its unit: a height is in the recording's base unit, a duration in ms; a peak detection
// text holds a height in standard deviations of the noise or in the base unit.
enum class Quantity { kPlain, kHeight, kMilliseconds, kDetectionText };

inline constexpr unsigned kEveryMethod = ~0u;

struct PageSetting {
    Page page;
    LONG id;
    Quantity quantity = Quantity::kPlain;
    // Stimulated types: the stimulus detection methods (bit m for method m, setting 1000) whose page shows it.
    unsigned methods = kEveryMethod;
    // Evoked responses: in use only while Detect Responses (setting 1009) is on.
    bool withResponses = false;
};

// The settings the pages of analysis type `type` show, page by page in the dialog's order; empty for no type.
const std::vector<PageSetting>& PageSettings(int type);

// The settings that decide what the detector of `type` finds, with stimulus detection method `method` and Detect
// Responses `responses`; without stimulus detection, the method alone.
std::vector<PageSetting> DetectionSettings(int type, int method, bool responses);

// What the command line does with a global setting (2000 and up).
enum class GlobalRole {
    kUsed,     // sets the analysis or what its outputs show
    kNoEffect, // kept in a saved document for the host's windows; the command line has none of them
    kKept,     // kept by the analysis for itself: not for a user to set
};
GlobalRole RoleOf(LONG id);

inline constexpr LONG kStimulusMethodId = 1000;  // the stimulated types' stimulus detection method
inline constexpr int kNoStimulusMethod = 5;      // method "none": no stimulus is searched for
inline constexpr LONG kDetectResponsesId = 1009; // evoked responses: Detect Responses with 1006, 1007 and 1008
// "Analyse the selection instead of the whole channel": the command line has no selection.
inline constexpr LONG kAnalyseSelectionId = 2004;

} // namespace cli
