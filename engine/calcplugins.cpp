#include "engine/calcplugins.h"

#include <cmath>
#include <limits>

namespace CX::Enum {

LONG SaturatedTick(std::int64_t tick)
{
    return static_cast<LONG>(std::clamp<std::int64_t>(tick, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
}

LONG TicksAfter(double ms, LONG anchor, double tickPeriod)
{
    return SaturatedTick(std::int64_t{EEH3::MsToTicksB(ms, tickPeriod)} + anchor);
}

void SetResult(float& field, double value)
{
    const auto narrowed = static_cast<float>(value);
    field = IsFiniteValue(narrowed) ? narrowed : kUnsetFloat;
}

double WindowSlope(const float* y, int n)
{
    double sy = 0.0;
    double sxy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = y[i];
        sy += v;
        sxy += (i + 1) * v;
    }
    const double count = n;
    const double sx = (count + 1.0) * count * 0.5;
    const double sxx = count * (count + 1.0) * (2.0 * count + 1.0) / 6.0;
    return (count * sxy - sx * sy) / (count * sxx - sx * sx);
}

namespace {

bool NoFit(const double*, int, double&, double& tau, double&, double, bool, double)
{
    tau = std::numeric_limits<double>::quiet_NaN();
    return false;
}

ExponentialFit& FitInUse()
{
    static ExponentialFit fit = &NoFit;
    return fit;
}

} // namespace

ExponentialFit CurrentExponentialFit() { return FitInUse(); }

void SetExponentialFit(ExponentialFit fit) { FitInUse() = fit ? fit : &NoFit; }

} // namespace CX::Enum
