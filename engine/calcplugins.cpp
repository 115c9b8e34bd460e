#include "engine/calcplugins.h"

#include "engine/expfit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

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

LeastSquaresSlope::LeastSquaresSlope(int n) : n_(n), count_(n)
{
    sx_ = (count_ + 1.0) * count_ * 0.5;
    const double sxx = count_ * (count_ + 1.0) * (2.0 * count_ + 1.0) / 6.0;
    d_ = count_ * sxx - sx_ * sx_;
}

namespace {

// Two pairs of lanes rather than one vector of four, so that the sums stay in registers.
using Pair = double __attribute__((vector_size(16)));

// The numerators of the four overlapping windows w[0 .. n-1] .. w[3 .. n+2] into out[0..3], each lane the same
// sums in the same order as LeastSquaresSlope::Numerator; `Fixed` is n when known at compile time (0: `n`).
template <int Fixed>
inline void FourOverlapping(const double* w, int n, double count, double sx, double* out)
{
    const int points = Fixed > 0 ? Fixed : n;
    Pair sy01 = {};
    Pair sy23 = {};
    Pair sxy01 = {};
    Pair sxy23 = {};
    for (int i = 0; i < points; ++i) {
        Pair v01;
        Pair v23;
        std::memcpy(&v01, w + i, sizeof v01);
        std::memcpy(&v23, w + i + 2, sizeof v23);
        const double x = i + 1;
        sy01 += v01;
        sy23 += v23;
        sxy01 += x * v01;
        sxy23 += x * v23;
    }
    const Pair n01 = count * sxy01 - sx * sy01;
    const Pair n23 = count * sxy23 - sx * sy23;
    std::memcpy(out, &n01, sizeof n01);
    std::memcpy(out + 2, &n23, sizeof n23);
}

} // namespace

void LeastSquaresSlope::Numerators(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows, double* out) const
{
    std::ptrdiff_t k = 0;
    if (stride == 1) {
        // Overlapping windows: each sample widened once, and every pair of lanes loaded in one go.
        constexpr std::ptrdiff_t kChunk = 256;
        alignas(16) std::array<double, kChunk + 4> widened;
        const std::ptrdiff_t span = static_cast<std::ptrdiff_t>(n_) - 1;
        while (k + 4 <= windows && span + 4 <= kChunk) {
            const std::ptrdiff_t m = std::min<std::ptrdiff_t>(windows - k, kChunk - span) & ~std::ptrdiff_t{3};
            const std::ptrdiff_t loads = m + span;
            using Two = float __attribute__((vector_size(8)));
            for (std::ptrdiff_t i = 0; i < loads; i += 2) {
                Two two = {};
                std::memcpy(&two, y + k + i, i + 1 < loads ? sizeof two : sizeof(float));
                const Pair wide = __builtin_convertvector(two, Pair);
                std::memcpy(widened.data() + i, &wide, sizeof wide);
            }
            for (std::ptrdiff_t j = 0; j < m; j += 4) {
                if (n_ == 5) {
                    FourOverlapping<5>(widened.data() + j, n_, count_, sx_, out + k + j);
                } else {
                    FourOverlapping<0>(widened.data() + j, n_, count_, sx_, out + k + j);
                }
            }
            k += m;
        }
    }
    for (; k + 4 <= windows; k += 4) {
        const float* w0 = y + k * stride;
        const float* w1 = w0 + stride;
        const float* w2 = w1 + stride;
        const float* w3 = w2 + stride;
        Pair sy01 = {};
        Pair sy23 = {};
        Pair sxy01 = {};
        Pair sxy23 = {};
        for (int i = 0; i < n_; ++i) {
            const Pair v01 = {w0[i], w1[i]};
            const Pair v23 = {w2[i], w3[i]};
            const double x = i + 1;
            sy01 += v01;
            sy23 += v23;
            sxy01 += x * v01;
            sxy23 += x * v23;
        }
        const Pair n01 = count_ * sxy01 - sx_ * sy01;
        const Pair n23 = count_ * sxy23 - sx_ * sy23;
        std::memcpy(out + k, &n01, sizeof n01);
        std::memcpy(out + k + 2, &n23, sizeof n23);
    }
    for (; k < windows; ++k) {
        out[k] = Numerator(y + k * stride);
    }
}

namespace {

// The module's fit, through the exponential fit's own interface.
bool ModuleFit(const double* y, int last, double& amplitude, double& tau, double& offset, double rate,
               bool holdOffset, double heldOffset)
{
    ExtLib::ExpFitResult result;
    const bool fitted = last >= 0 && ExtLib::FitExponential(std::span<const double>(y, static_cast<std::size_t>(last) + 1),
                                                            rate, result,
                                                            holdOffset ? std::optional<double>(heldOffset) : std::nullopt);
    amplitude = result.amplitude;
    tau = result.tau;
    offset = result.offset;
    return fitted;
}

ExponentialFit& FitInUse()
{
    static ExponentialFit fit = &ModuleFit;
    return fit;
}

} // namespace

ExponentialFit CurrentExponentialFit() { return FitInUse(); }

void SetExponentialFit(ExponentialFit fit) { FitInUse() = fit ? fit : &ModuleFit; }

} // namespace CX::Enum
