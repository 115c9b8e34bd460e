#include "foundation/nicestep.h"

#include <cmath>

namespace KVO {
namespace {
// 10 to an integer power by repeated squaring, as a reciprocal for negative powers.
double PowerOfTen(int exponent)
{
    double result = 1.0;
    double base = 10.0;
    for (unsigned n = static_cast<unsigned>(exponent < 0 ? -exponent : exponent); n; n >>= 1) {
        if (n & 1) {
            result *= base;
        }
        base *= base;
    }
    return exponent < 0 ? 1.0 / result : result;
}

// The decade p of a value and its leading multiple m = value / p rounded half up; false when they cannot be had
// (not positive, not finite, or a decade beyond the doubles).
bool Decade(double value, double& p, double& m)
{
    if (!(value > 0.0) || !std::isfinite(value)) {
        return false;
    }
    p = PowerOfTen(static_cast<int>(std::floor(std::log10(value))));
    if (!(p > 0.0) || !std::isfinite(p)) {
        return false;
    }
    m = std::floor(value / p + 0.5);
    return std::isfinite(m);
}
}

double NiceStepUp(double value)
{
    double p = 0;
    double m = 0;
    if (!Decade(value, p, m)) {
        return value;
    }
    if (m < 2) {
        return 2 * p;
    }
    if (m < 5) {
        return 5 * p;
    }
    if (m < 10) {
        return 10 * p;
    }
    return 20 * p;
}

double NiceStepDown(double value)
{
    double p = 0;
    double m = 0;
    if (!Decade(value, p, m)) {
        return value;
    }
    if (m >= 6) {
        return 5 * p;
    }
    if (m >= 3) {
        return 2 * p;
    }
    if (m >= 2) {
        return p;
    }
    return 0.5 * p;
}

} // namespace KVO
