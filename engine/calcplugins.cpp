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

// Whether the sums and numerators may use eight floats or four doubles per instruction where the processor has
// them; the results are the same either way, and tests check both.
std::atomic<bool> wideLanesAllowed{true};

bool UseWideLanes()
{
#if defined(__x86_64__) && defined(__GNUC__)
    return wideLanesAllowed.load(std::memory_order_relaxed) && EEH3::HasAvx2();
#else
    return false;
#endif
}


// The first offset from `from` (at least 0) whose product with `sign` passes `test`; `count` when none.
template <class Test>
LONG FirstFrom(const float* values, LONG from, LONG count, float sign, Test test)
{
    const LONG start = std::max<LONG>(from, 0);
    return start >= count ? count : start + EEH3::FirstScaledWhere(values + start, count - start, sign, test);
}

#if defined(__x86_64__) && defined(__GNUC__)
enum class Meets { AtOrBelow, AtOrAbove, Above };

// The first offset from `from` whose product with `sign` meets `bound` as `How` says, sixteen samples at a time,
// then as FirstFrom: the same float products and ordered comparisons, so the same answer.
template <Meets How>
__attribute__((target("avx2"))) LONG FirstFromAvx2(const float* values, LONG from, LONG count, float sign,
                                                  float bound)
{
    LONG i = std::max<LONG>(from, 0);
    const __m256 scale = _mm256_set1_ps(sign);
    const __m256 limit = _mm256_set1_ps(bound);
    constexpr int kPredicate = How == Meets::AtOrBelow ? _CMP_LE_OQ : How == Meets::AtOrAbove ? _CMP_GE_OQ : _CMP_GT_OQ;
    for (; i + 16 <= count; i += 16) {
        const __m256 a = _mm256_mul_ps(_mm256_loadu_ps(values + i), scale);
        const __m256 b = _mm256_mul_ps(_mm256_loadu_ps(values + i + 8), scale);
        if (_mm256_movemask_ps(_mm256_or_ps(_mm256_cmp_ps(a, limit, kPredicate), _mm256_cmp_ps(b, limit, kPredicate))) !=
            0) {
            break;
        }
    }
    for (; i < count; ++i) {
        const float v = values[i] * sign;
        if (How == Meets::AtOrBelow ? v <= bound : How == Meets::AtOrAbove ? v >= bound : v > bound) {
            return i;
        }
    }
    return count;
}
#endif

} // namespace

LONG FirstAtOrBelow(const float* values, LONG from, LONG count, float sign, double level)
{
    const float bound = EEH3::FloatAtOrBelow(level);
#if defined(__x86_64__) && defined(__GNUC__)
    if (UseWideLanes()) {
        return FirstFromAvx2<Meets::AtOrBelow>(values, from, count, sign, bound);
    }
#endif
    return FirstFrom(values, from, count, sign, [bound](auto v) { return v <= bound; });
}

LONG FirstAtOrAbove(const float* values, LONG from, LONG count, float sign, double level)
{
    const float bound = EEH3::FloatAtOrAbove(level);
#if defined(__x86_64__) && defined(__GNUC__)
    if (UseWideLanes()) {
        return FirstFromAvx2<Meets::AtOrAbove>(values, from, count, sign, bound);
    }
#endif
    return FirstFrom(values, from, count, sign, [bound](auto v) { return v >= bound; });
}

LONG LastBelow(const float* values, LONG count, float sign, double level)
{
    // x < level and x < the least float at or above it agree for every float x.
    const float bound = EEH3::FloatAtOrAbove(level);
    LONG i = count;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(sign);
    const __m128 limit = _mm_set1_ps(bound);
    for (; i >= 8; i -= 8) {
        const __m128 a = _mm_cmplt_ps(_mm_mul_ps(_mm_loadu_ps(values + i - 8), scale), limit);
        const __m128 b = _mm_cmplt_ps(_mm_mul_ps(_mm_loadu_ps(values + i - 4), scale), limit);
        if (_mm_movemask_ps(_mm_or_ps(a, b)) != 0) {
            break;
        }
    }
#endif
    while (--i >= 0) {
        if (values[i] * sign < bound) {
            return i;
        }
    }
    return -1;
}

LONG FirstAbove(const float* values, LONG from, LONG count, float sign, float bound)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (UseWideLanes()) {
        return FirstFromAvx2<Meets::Above>(values, from, count, sign, bound);
    }
#endif
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
    double magnitudes = 0.0;
    for (int i = 1; i <= n; ++i) {
        magnitudes += std::fabs(count_ * i - sx_);
    }
    roughError_ = 2.0 * (n + 2) * 0x1p-24 * magnitudes;
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

#endif


} // namespace

namespace {

// The scale 2^-e that makes every partial sum of a window of n samples of magnitude at most `largest` a whole
// number below 2^53 when each sample times it is whole; 0 when there is none.
float WholeScale(double largest, double sx)
{
    const double reach = sx * largest * (1.0 + 0x1p-40);
    if (!(reach > 0.0) || !std::isfinite(reach)) {
        return 0.0f;
    }
    const int e = std::ilogb(reach) + 1 - 53; // reach < 2^(e + 53)
    return e < -126 || e > 126 ? 0.0f : std::ldexp(1.0f, -e);
}

#if defined(__SSE2__)
// The sums of y[i] and of (i + 1) y[i] over the n samples, side by side, when every sample times `scale` is a
// whole number (a NaN or infinity is not); false otherwise.
bool SumsOfWhole(const float* y, int n, float scale, double& sy, double& sxy)
{
    const __m128 scales = _mm_set1_ps(scale);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 wholeFrom = _mm_set1_ps(0x1p23f);
    __m128 allWhole = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128d sumLow = _mm_setzero_pd();
    __m128d sumHigh = _mm_setzero_pd();
    __m128d productLow = _mm_setzero_pd();
    __m128d productHigh = _mm_setzero_pd();
    __m128d xLow = _mm_set_pd(2.0, 1.0);
    __m128d xHigh = _mm_set_pd(4.0, 3.0);
    const __m128d step = _mm_set1_pd(4.0);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 v = _mm_loadu_ps(y + i);
        const __m128 t = _mm_mul_ps(v, scales);
        const __m128 big = _mm_cmpge_ps(_mm_and_ps(t, magnitude), wholeFrom);
        allWhole = _mm_and_ps(allWhole, _mm_or_ps(big, _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(t)), t)));
        const __m128d low = _mm_cvtps_pd(v);
        const __m128d high = _mm_cvtps_pd(_mm_movehl_ps(v, v));
        sumLow = _mm_add_pd(sumLow, low);
        sumHigh = _mm_add_pd(sumHigh, high);
        productLow = _mm_add_pd(productLow, _mm_mul_pd(xLow, low));
        productHigh = _mm_add_pd(productHigh, _mm_mul_pd(xHigh, high));
        xLow = _mm_add_pd(xLow, step);
        xHigh = _mm_add_pd(xHigh, step);
    }
    if (_mm_movemask_ps(allWhole) != 0xF) {
        return false;
    }
    alignas(16) std::array<double, 2> lanes;
    _mm_store_pd(lanes.data(), _mm_add_pd(sumLow, sumHigh));
    double sumY = lanes[0] + lanes[1];
    _mm_store_pd(lanes.data(), _mm_add_pd(productLow, productHigh));
    double sumXY = lanes[0] + lanes[1];
    for (; i < n; ++i) {
        const float t = y[i] * scale;
        if (!(std::fabs(t) >= 0x1p23f || std::trunc(t) == t)) {
            return false;
        }
        sumY += y[i];
        sumXY += (i + 1) * static_cast<double>(y[i]);
    }
    sy = sumY;
    sxy = sumXY;
    return true;
}

#endif

} // namespace

double LeastSquaresSlope::NumeratorOfLong(const float* y) const
{
    if (n_ < 16) {
        return Numerator(y);
    }
    // Every partial sum of the samples and of their products with x = 1..n is a whole multiple of 2^e when every
    // sample is; below 2^(e + 53) each is a double exactly, whatever the order of the additions.
#if defined(__SSE2__)
    const float scale = WholeScale(LargestMagnitude(y, n_), sx_);
    double sy = 0.0;
    double sxy = 0.0;
    if (scale == 0.0f || !SumsOfWhole(y, n_, scale, sy, sxy)) {
        return Numerator(y);
    }
    return count_ * sxy - sx_ * sy;
#else
    return Numerator(y);
#endif
}

void LeastSquaresSlope::AllowWideLanes(bool allow) { wideLanesAllowed.store(allow, std::memory_order_relaxed); }

void LeastSquaresSlope::Numerators(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows, double* out) const
{
#if defined(__x86_64__) && defined(__GNUC__)
    const bool wide = UseWideLanes();
    std::ptrdiff_t k = wide ? GroupedNumeratorsAvx2(y, stride, windows, n_, count_, sx_, out)
                                 : GroupedNumerators<Pair>(y, stride, windows, n_, count_, sx_, out);
#else
    std::ptrdiff_t k = GroupedNumerators<Pair>(y, stride, windows, n_, count_, sx_, out);
#endif
    for (; k < windows; ++k) {
        out[k] = Numerator(y + k * stride);
    }
}

void Widen(const float* values, LONG n, double* out)
{
    LONG i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        _mm_storeu_pd(out + i, _mm_cvtps_pd(v));
        _mm_storeu_pd(out + i + 2, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    }
#endif
    for (; i < n; ++i) {
        out[i] = values[i];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

// The largest magnitude of values[0..whole) (a multiple of 32), 32 at a time in four vectors; a NaN never counts.
__attribute__((target("avx2"))) float LargestMagnitudeAvx2(const float* values, LONG whole)
{
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    __m256 largest[4] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
    for (LONG i = 0; i < whole; i += 32) {
        for (std::size_t h = 0; h < 4; ++h) {
            // max(a, b) gives b when either is NaN: the largest so far stays.
            const __m256 a = _mm256_and_ps(_mm256_loadu_ps(values + i + 8 * static_cast<LONG>(h)), magnitude);
            largest[h] = _mm256_max_ps(a, largest[h]);
        }
    }
    const __m256 all = _mm256_max_ps(_mm256_max_ps(largest[0], largest[1]), _mm256_max_ps(largest[2], largest[3]));
    alignas(32) std::array<float, 8> lanes;
    _mm256_store_ps(lanes.data(), all);
    return *std::max_element(lanes.begin(), lanes.end());
}

} // namespace
#endif

float LargestMagnitude(const float* values, LONG n)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (n >= 64 && UseWideLanes()) {
        const LONG whole = n & ~LONG{31};
        float result = LargestMagnitudeAvx2(values, whole);
        for (LONG i = whole; i < n; ++i) {
            const float a = std::fabs(values[i]);
            result = a > result ? a : result;
        }
        return result;
    }
#endif
    using Lanes = float __attribute__((vector_size(16)));
    using Bits = std::int32_t __attribute__((vector_size(16)));
    Lanes largest[2] = {};
    LONG i = 0;
    for (; i + 8 <= n; i += 8) {
        for (int h = 0; h < 2; ++h) {
            Lanes v;
            std::memcpy(&v, values + i + 4 * h, sizeof v);
            const auto a = reinterpret_cast<Lanes>(reinterpret_cast<Bits>(v) & 0x7FFFFFFF);
            largest[h] = a > largest[h] ? a : largest[h]; // a NaN is never larger
        }
    }
    float result = 0.0f;
    for (int h = 0; h < 2; ++h) {
        for (int k = 0; k < 4; ++k) {
            result = largest[h][k] > result ? largest[h][k] : result;
        }
    }
    for (; i < n; ++i) {
        const float a = std::fabs(values[i]);
        result = a > result ? a : result;
    }
    return result;
}

namespace {

using Floats = float __attribute__((vector_size(32)));

// The offsets at + j of the lanes j not set in `inside` (of `width` lanes), into out[found...].
inline void EmitOutside(unsigned inside, int width, std::ptrdiff_t at, std::int32_t* out, std::ptrdiff_t& found)
{
    for (unsigned outside = ~inside & ((1u << width) - 1); outside != 0; outside &= outside - 1) {
        out[found++] = static_cast<std::int32_t>(at + std::countr_zero(outside));
    }
}

// The rough numerator of one window, as the lanes below work it out.
inline float RoughNumerator(const float* y, int n, float sx)
{
    if (n == 5) {
        return (y[4] - y[0]) * 10.0f + (y[3] - y[1]) * 5.0f + (y[2] - y[2]);
    }
    float c = static_cast<float>(n) - sx;
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        sum = sum + c * y[i];
        c = c + static_cast<float>(n);
    }
    return sum;
}

// The lanes at p. Inlined even without optimising: a call would pass wide lanes between code built for different
// processors.
template <class Lanes>
[[gnu::always_inline]] inline Lanes LoadLanes(const float* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Which of the lanes of `v` lie strictly between `low` and `high` (NaN does not), one bit each.
template <class Lanes>
[[gnu::always_inline]] inline unsigned Inside(Lanes v, float low, float high)
{
    constexpr int width = sizeof(Lanes) / sizeof(float);
    const auto in = (v > low) & (v < high);
#if defined(__SSE2__)
    if constexpr (width == 4) {
        return static_cast<unsigned>(_mm_movemask_ps(std::bit_cast<__m128>(in)));
    }
#endif
    unsigned bits = 0;
    for (int j = 0; j < width; ++j) {
        bits |= in[j] != 0 ? 1u << j : 0u;
    }
    return bits;
}

// The rough numerators of the windows one sample apart, a vector of Lanes at a time, each sum(c_i * y[k + i]) in
// floats with c_i = n * (i + 1) - sum of x (for five points 10 (y4 - y0) + 5 (y3 - y1) + (y2 - y2), the last 0 unless
// the middle sample is NaN or infinite, as in the exact sums); the offsets of those not strictly between `low` and
// `high` (NaN is not) into `out`.
template <class Lanes>
[[gnu::always_inline]] inline std::ptrdiff_t RoughWindows(const float* y, std::ptrdiff_t windows, int n, float sx,
                                                          float low, float high, std::int32_t* out)
{
    constexpr int width = sizeof(Lanes) / sizeof(float);
    constexpr unsigned all = (1u << width) - 1;
    std::ptrdiff_t found = 0;
    std::ptrdiff_t k = 0;
    if (n == 5) {
        for (; k + width <= windows; k += width) {
            const Lanes y0 = LoadLanes<Lanes>(y + k);
            const Lanes y1 = LoadLanes<Lanes>(y + k + 1);
            const Lanes y2 = LoadLanes<Lanes>(y + k + 2);
            const Lanes y3 = LoadLanes<Lanes>(y + k + 3);
            const Lanes y4 = LoadLanes<Lanes>(y + k + 4);
            const Lanes sum = ((y4 - y0) * 10.0f + (y3 - y1) * 5.0f) + (y2 - y2);
            if (const unsigned in = Inside(sum, low, high); in != all) {
                EmitOutside(in, width, k, out, found);
            }
        }
    } else {
        const Lanes first = Lanes{} + (static_cast<float>(n) - sx);
        const Lanes step = Lanes{} + static_cast<float>(n);
        for (; k + width <= windows; k += width) {
            Lanes c = first;
            Lanes sum = {};
            for (int i = 0; i < n; ++i) {
                sum = sum + c * LoadLanes<Lanes>(y + k + i);
                c = c + step;
            }
            if (const unsigned in = Inside(sum, low, high); in != all) {
                EmitOutside(in, width, k, out, found);
            }
        }
    }
    for (; k < windows; ++k) {
        const float sum = RoughNumerator(y + k, n, sx);
        if (!(sum > low && sum < high)) {
            out[found++] = static_cast<std::int32_t>(k);
        }
    }
    return found;
}

using FourFloats = float __attribute__((vector_size(16)));

std::ptrdiff_t RoughWindowsFour(const float* y, std::ptrdiff_t windows, int n, float sx, float low, float high,
                                std::int32_t* out)
{
    return RoughWindows<FourFloats>(y, windows, n, sx, low, high, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) std::ptrdiff_t RoughWindowsAvx2(const float* y, std::ptrdiff_t windows, int n,
                                                               float sx, float low, float high, std::int32_t* out)
{
    return RoughWindows<Floats>(y, windows, n, sx, low, high, out);
}
#endif

// The same for windows `stride` apart, each window's products summed eight at a time.
template <class Unused = void>
[[gnu::always_inline]] inline std::ptrdiff_t RoughBlocks(const float* y, std::ptrdiff_t stride,
                                                         std::ptrdiff_t windows, int n, float sx, float low,
                                                         float high, std::int32_t* out)
{
    std::ptrdiff_t found = 0;
    // The coefficients of eight samples, and their step to the next eight: whole numbers, exact in floats.
    const Floats firstCoefficients = static_cast<float>(n) * Floats{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f} - sx;
    const Floats step = Floats{} + 8.0f * static_cast<float>(n);
    for (std::ptrdiff_t k = 0; k < windows; ++k) {
        const float* w = y + k * stride;
        Floats c = firstCoefficients;
        Floats sums[2] = {};
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            Floats a;
            Floats b;
            std::memcpy(&a, w + i, sizeof a);
            std::memcpy(&b, w + i + 8, sizeof b);
            sums[0] += c * a;
            c += step;
            sums[1] += c * b;
            c += step;
        }
        for (; i + 8 <= n; i += 8) {
            Floats a;
            std::memcpy(&a, w + i, sizeof a);
            sums[0] += c * a;
            c += step;
        }
        const Floats sum = sums[0] + sums[1];
        float total = ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
        for (; i < n; ++i) {
            total += (static_cast<float>(n * (i + 1)) - sx) * w[i];
        }
        if (!(total > low && total < high)) {
            out[found++] = static_cast<std::int32_t>(k);
        }
    }
    return found;
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) std::ptrdiff_t RoughBlocksAvx2(const float* y, std::ptrdiff_t stride,
                                                              std::ptrdiff_t windows, int n, float sx, float low,
                                                              float high, std::int32_t* out)
{
    return RoughBlocks(y, stride, windows, n, sx, low, high, out);
}
#endif

} // namespace

std::ptrdiff_t LeastSquaresSlope::MaybeOutside(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows,
                                               double low, double high, float largest, std::int32_t* out) const
{
    const auto all = [&] {
        for (std::ptrdiff_t k = 0; k < windows; ++k) {
            out[k] = static_cast<std::int32_t>(k);
        }
        return windows;
    };
    // The coefficients n * i - sum of x are whole numbers that floats hold exactly up to this n.
    if (n_ < 1 || n_ > 2048 || windows <= 0) {
        return windows > 0 ? all() : 0;
    }
    // The float sum of n products errs by at most about n * 2^-24 times the sum of the products' magnitudes (the
    // products' own rounding included), the exact numerator's double by far less; twice that, and room for
    // products that fall below the float range.
    const double error = roughError_ * static_cast<double>(largest) + n_ * 0x1p-120;
    if (!std::isfinite(error) || std::isnan(low) || std::isnan(high)) {
        return all();
    }
    // The bounds the rough numerator must pass, each rounded outwards of the exact one in double and float.
    const double lowBound = std::isinf(low) ? low : low + error + std::fabs(low) * 0x1p-50;
    const double highBound = std::isinf(high) ? high : high - error - std::fabs(high) * 0x1p-50;
    const float lowFloat = EEH3::FloatAtOrAbove(lowBound);
    const float highFloat = EEH3::FloatAtOrBelow(highBound);
    if (!(lowFloat < highFloat)) {
        return all();
    }
    const auto sx = static_cast<float>(sx_);
#if defined(__x86_64__) && defined(__GNUC__)
    if (UseWideLanes()) {
        return stride == 1 ? RoughWindowsAvx2(y, windows, n_, sx, lowFloat, highFloat, out)
                           : RoughBlocksAvx2(y, stride, windows, n_, sx, lowFloat, highFloat, out);
    }
#endif
    return stride == 1 ? RoughWindowsFour(y, windows, n_, sx, lowFloat, highFloat, out)
                       : RoughBlocks(y, stride, windows, n_, sx, lowFloat, highFloat, out);
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
