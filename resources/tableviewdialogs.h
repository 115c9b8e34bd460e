// The table view's dialog template: the significant-figures dialog, registered as an RT_DIALOG resource of the
// module when it loads.
#pragma once

namespace DialogId {
inline constexpr int SignificantFigures = 1004;
}
