#include "engine/calcplugins.h"

#include "engine/eeh3runs.h"
#include "engine/expfit.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace CX::Enum {

LONG SaturatedTick(std::int64_t tick)
{
    return static_cast<LONG>(std::clamp<std::int64_t>(tick, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
}

namespace {

// The first offset from `from` (at least 0) whose product with `sign` passes `test`; `count` when none.
template <class Test>
LONG FirstFrom(const float* values, LONG from, LONG count, float sign, Test test)
{
    const LONG start = std::max<LONG>(from, 0);
    return start >= count ? count : start + EEH3::FirstScaledWhere(values + start, count - start, sign, test);
}

} // namespace

LONG FirstAtOrBelow(const float* values, LONG from, LONG count, float sign, double level)
{
    const float bound = EEH3::FloatAtOrBelow(level);
    return FirstFrom(values, from, count, sign, [bound](auto v) { return v <= bound; });
}

LONG FirstAtOrAbove(const float* values, LONG from, LONG count, float sign, double level)
{
    const float bound = EEH3::FloatAtOrAbove(level);
    return FirstFrom(values, from, count, sign, [bound](auto v) { return v >= bound; });
}

LONG FirstAbove(const float* values, LONG from, LONG count, float sign, float bound)
{
    return FirstFrom(values, from, count, sign, [bound](auto v) { return v > bound; });
}

LONG FirstOutside(const double* values, LONG from, LONG count, double low, double high)
{
    using Pair = double __attribute__((vector_size(16)));
    LONG i = std::max<LONG>(from, 0);
    for (; i + 4 <= count; i += 4) {
        Pair a;
        Pair b;
        std::memcpy(&a, values + i, sizeof a);
        std::memcpy(&b, values + i + 2, sizeof b);
        const auto inside = (a > low) & (a < high) & (b > low) & (b < high);
        if ((inside[0] & inside[1]) == 0) {
            break;
        }
    }
    while (i < count && values[i] > low && values[i] < high) {
        ++i;
    }
    return i;
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

// The wider lanes live only inside functions that are compiled for them and inlined whole: no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Lanes of doubles, each worked out as a lone double would be: two and, where the processor has them, four.
using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));
template <class Lanes>
constexpr int kLanes = static_cast<int>(sizeof(Lanes) / sizeof(double));
// Floats as many as the lanes, widened into them.
template <class Lanes>
struct NarrowOf;
template <>
struct NarrowOf<Pair> {
    using Type = float __attribute__((vector_size(8)));
};
template <>
struct NarrowOf<Quad> {
    using Type = float __attribute__((vector_size(16)));
};

// The numerators of 2L windows, two vectors of L lanes side by side (L lanes of Lanes), each lane the same sums in
// the same order as LeastSquaresSlope::Numerator. `load(lanes, i)` gives the i-th sample of each lane's window;
// `Fixed` is n when known at compile time (0: `n`).
template <class Lanes, int Fixed, class Load>
[[gnu::always_inline]] inline void Windows(int n, double count, double sx, double* out, Load load)
{
    constexpr int kL = kLanes<Lanes>;
    const int points = Fixed > 0 ? Fixed : n;
    Lanes syA = {};
    Lanes syB = {};
    Lanes sxyA = {};
    Lanes sxyB = {};
#pragma GCC unroll 8
    for (int i = 0; i < points; ++i) {
        const Lanes a = load(0, i);
        const Lanes b = load(kL, i);
        const double x = i + 1;
        syA += a;
        syB += b;
        sxyA += x * a;
        sxyB += x * b;
    }
    const Lanes numeratorA = count * sxyA - sx * syA;
    const Lanes numeratorB = count * sxyB - sx * syB;
    std::memcpy(out, &numeratorA, sizeof numeratorA);
    std::memcpy(out + kL, &numeratorB, sizeof numeratorB);
}

// The i-th sample of each lane's window, for windows one widened sample apart. Plain structs rather than
// lambdas: as lambdas inlined into the AVX2 function, the undefined-behaviour sanitizer saw their captures read
// through a null closure.
template <class Lanes>
struct AdjacentLoad {
    const double* w;
    [[gnu::always_inline]] Lanes operator()(int lane, int i) const
    {
        Lanes v;
        std::memcpy(&v, w + lane + i, sizeof v);
        return v;
    }
};

// The same for windows `stride` samples apart: gathered as floats into one vector, then widened at once.
template <class Lanes>
struct StridedLoad {
    const float* w;
    std::ptrdiff_t stride;
    [[gnu::always_inline]] Lanes operator()(int lane, int i) const
    {
        const float* p = w + lane * stride + i;
        typename NarrowOf<Lanes>::Type narrow;
        if constexpr (kLanes<Lanes> == 2) {
            narrow = typename NarrowOf<Lanes>::Type{p[0], p[stride]};
        } else {
            narrow = typename NarrowOf<Lanes>::Type{p[0], p[stride], p[2 * stride], p[3 * stride]};
        }
        return __builtin_convertvector(narrow, Lanes);
    }
};

// The numerators of the windows in groups of 2L; returns how many it worked out (the rest are left to the caller).
template <class Lanes>
[[gnu::always_inline]] inline std::ptrdiff_t GroupedNumerators(const float* y, std::ptrdiff_t stride,
                                                               std::ptrdiff_t windows, int n, double count, double sx,
                                                               double* out)
{
    constexpr std::ptrdiff_t kGroup = 2 * kLanes<Lanes>;
    std::ptrdiff_t k = 0;
    if (stride == 1) {
        // Overlapping windows: each sample widened once, and the lanes loaded side by side.
        constexpr std::ptrdiff_t kChunk = 256;
        alignas(32) std::array<double, kChunk + kGroup> widened;
        const std::ptrdiff_t span = static_cast<std::ptrdiff_t>(n) - 1;
        while (k + kGroup <= windows && span + kGroup <= kChunk) {
            const std::ptrdiff_t m = std::min<std::ptrdiff_t>(windows - k, kChunk - span) & ~(kGroup - 1);
            const std::ptrdiff_t loads = m + span;
            constexpr std::ptrdiff_t kL = kLanes<Lanes>;
            std::ptrdiff_t i = 0;
            for (; i + kL <= loads; i += kL) {
                typename NarrowOf<Lanes>::Type narrow;
                std::memcpy(&narrow, y + k + i, sizeof narrow);
                const Lanes wide = __builtin_convertvector(narrow, Lanes);
                std::memcpy(widened.data() + i, &wide, sizeof wide);
            }
            for (; i < loads; ++i) {
                widened[static_cast<std::size_t>(i)] = y[k + i];
            }
            for (std::ptrdiff_t j = 0; j < m; j += kGroup) {
                const AdjacentLoad<Lanes> load{widened.data() + j};
                if (n == 5) {
                    Windows<Lanes, 5>(n, count, sx, out + k + j, load);
                } else {
                    Windows<Lanes, 0>(n, count, sx, out + k + j, load);
                }
            }
            k += m;
        }
    }
    for (; k + kGroup <= windows; k += kGroup) {
        Windows<Lanes, 0>(n, count, sx, out + k, StridedLoad<Lanes>{y + k * stride, stride});
    }
    return k;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four lanes per instruction where the processor has them; no fused multiply-add, which would round differently.
__attribute__((target("avx2"))) std::ptrdiff_t GroupedNumeratorsAvx2(const float* y, std::ptrdiff_t stride,
                                                                    std::ptrdiff_t windows, int n, double count,
                                                                    double sx, double* out)
{
    return GroupedNumerators<Quad>(y, stride, windows, n, count, sx, out);
}

bool HasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

std::atomic<bool> wideLanesAllowed{true};

} // namespace

void LeastSquaresSlope::AllowWideLanes(bool allow) { wideLanesAllowed.store(allow, std::memory_order_relaxed); }

void LeastSquaresSlope::Numerators(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows, double* out) const
{
#if defined(__x86_64__) && defined(__GNUC__)
    const bool wide = wideLanesAllowed.load(std::memory_order_relaxed) && HasAvx2();
    std::ptrdiff_t k = wide ? GroupedNumeratorsAvx2(y, stride, windows, n_, count_, sx_, out)
                                 : GroupedNumerators<Pair>(y, stride, windows, n_, count_, sx_, out);
#else
    std::ptrdiff_t k = GroupedNumerators<Pair>(y, stride, windows, n_, count_, sx_, out);
#endif
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
