// The host's customise dialog of its peak detection: direction, threshold, minimum height and interval, the optional
// smoothed derivative and the noise window, edited on the headless window layer.
#pragma once

#include "host/loopmetry.h"
#include "platform/win/windef.h"

#include <string>

namespace host {

// The ids of the dialog's controls (tests drive them).
namespace CustomizeId {
inline constexpr int kDirection = 101;     // combo: peaks above, peaks below the baseline
inline constexpr int kThresholdInSD = 102; // check box
inline constexpr int kHeight = 103;        // edit: SDs or channel units
inline constexpr int kInterval = 104;      // edit: ms
inline constexpr int kDerivative = 105;    // check box
inline constexpr int kSmoothing = 106;     // edit: ms
inline constexpr int kNoiseWindow = 107;   // edit: ms
inline constexpr int kZeroHeight = 108;    // check box
} // namespace CustomizeId

// Runs the dialog modally over `owner` with `detection` filled in; true with the edited detection (its preset tag 0,
// a custom detection) when the user accepts. A field that holds no valid number is named in a message box, and the
// dialog stays open.
bool RunCustomizeDialog(HWND owner, const std::u16string& title, LMDetection& detection);

} // namespace host
