// Rounded 1-2-5 steps for the divisions of scales.
#pragma once

namespace KVO {

// The next 1-2-5 step above a value: 1 -> 2, 2 -> 5, 5 -> 10, 9.6 -> 20. A value that is not positive and finite
// is returned as it is.
double NiceStepUp(double value);
// The next 1-2-5 step below a value: 1 -> 0.5, 2 -> 1, 5 -> 2, 7 -> 5. A value that is not positive and finite is
// returned as it is.
double NiceStepDown(double value);

} // namespace KVO
