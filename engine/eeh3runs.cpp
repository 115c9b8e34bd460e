#include "engine/eeh3runs.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace EEH3 {

namespace {

double AddDifferencesInTurn(double sum, const float* values, LONG n, float baseline)
{
    for (LONG i = 0; i < n; ++i) {
        sum += static_cast<double>(values[i] - baseline);
    }
    return sum;
}

#if defined(__SSE2__)
// Whether a sum may start from `sum` side by side rather than in turn: a finite sum that is not -0 (a zero sum of
// lanes is +0).
bool MayAddSideBySide(double sum) { return std::isfinite(sum) && !(sum == 0.0 && std::signbit(sum)); }

// Adding in turn waits for each sum before the next. When every term and the sum so far are whole multiples of 2^e
// and the sum of their magnitudes stays below 2^(e + 53), every partial sum is a double exactly, in any order: then
// eight lanes adding side by side give the same double as adding in turn. The lanes take the terms eight at a time
// and keep their largest and smallest magnitudes; the proof afterwards decides whether their sum stands. e is the
// least that the magnitudes allow.
class ExactLanes {
public:
    explicit ExactLanes(double sum) : sum_(sum), lanes0_(_mm_set_pd(0.0, sum)) {}

    void Add(__m128 a, __m128 b) { Take(a, b, _mm_setzero_ps(), _mm_setzero_ps()); }

    // Adds the first `count` (0 to 8) of the eight terms a, b.
    void AddFirst(__m128 a, __m128 b, int count)
    {
        const __m128i taken = _mm_set1_epi32(count);
        const __m128 keepA = _mm_castsi128_ps(_mm_cmpgt_epi32(taken, _mm_setr_epi32(0, 1, 2, 3)));
        const __m128 keepB = _mm_castsi128_ps(_mm_cmpgt_epi32(taken, _mm_setr_epi32(4, 5, 6, 7)));
        const __m128 none = _mm_set1_ps(INFINITY);
        Take(_mm_and_ps(a, keepA), _mm_and_ps(b, keepB), _mm_andnot_ps(keepA, none), _mm_andnot_ps(keepB, none));
    }

    // The sum of the lanes when it is the sum in turn of the starting sum and the n terms values[i] - baseline
    // that were added; NaN otherwise.
    double Total(const float* values, LONG n, float baseline) const
    {
        const __m128d pairs = _mm_add_pd(_mm_add_pd(lanes0_, lanes1_), _mm_add_pd(lanes2_, lanes3_));
        const double total = _mm_cvtsd_f64(_mm_add_sd(pairs, _mm_unpackhi_pd(pairs, pairs)));
        // A NaN may drop out of the maximum and the minimum, but not out of the total.
        const __m128 most4 = _mm_max_ps(largest_, _mm_movehl_ps(largest_, largest_));
        const __m128 least4 = _mm_min_ps(smallest_, _mm_movehl_ps(smallest_, smallest_));
        const double most = _mm_cvtss_f32(_mm_max_ss(most4, _mm_shuffle_ps(most4, most4, 1)));
        const float least = _mm_cvtss_f32(_mm_min_ss(least4, _mm_shuffle_ps(least4, least4, 1)));
        const double reach = (std::fabs(sum_) + static_cast<double>(n) * most) * (1.0 + 0x1p-40);
        // Below 2^-1000 the least power would be far below the float range.
        if (!std::isfinite(total) || !(reach >= 0x1p-1000) || !(reach < 0x1p53)) {
            return NAN;
        }
        // reach < 2^(e + 53), e <= 0: the reach's exponent (a normal double) plus one.
        const int e = static_cast<int>(std::bit_cast<std::uint64_t>(reach) >> 52) - 1023 + 1 - 53;
        if (e < -126) {
            return NAN;
        }
        if (sum_ != 0.0) {
            const auto u = std::bit_cast<std::uint64_t>(sum_);
            const auto exponent = static_cast<int>((u >> 52) & 0x7FF);
            const std::uint64_t mantissa =
                (u & ((std::uint64_t{1} << 52) - 1)) | (exponent != 0 ? std::uint64_t{1} << 52 : 0);
            if (std::max(exponent, 1) - 1075 + std::countr_zero(mantissa) < e) {
                return NAN; // the sum has a lower bit than 2^e
            }
        }
        // A float of magnitude 2^(e + 23) or more is a whole multiple of 2^e. Smaller ones (zeros, values near
        // zero) are tested one by one: d * 2^-e is exact (a power of two at or above 1, below the float range for
        // these magnitudes); it is whole at or beyond 2^23, or when it survives the round trip through an integer.
        if (!(least >= PowerOfTwo(e + 23))) {
            const __m128 base = _mm_set1_ps(baseline);
            const __m128 scale = _mm_set1_ps(PowerOfTwo(-e));
            const __m128 wholeFrom = _mm_set1_ps(0x1p23f);
            __m128 allWhole = _mm_castsi128_ps(_mm_set1_epi32(-1));
            for (LONG i = 0; i < n; i += 4) {
                const __m128 t = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(values + i), base), scale);
                const __m128 big = _mm_cmpge_ps(_mm_and_ps(t, Magnitude()), wholeFrom);
                allWhole =
                    _mm_and_ps(allWhole, _mm_or_ps(big, _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(t)), t)));
            }
            if (_mm_movemask_ps(allWhole) != 0xF) {
                return NAN;
            }
        }
        return total;
    }

private:
    // Adds the terms; `skipA` and `skipB` are infinity in lanes whose zero terms stand for terms not taken, which
    // must not count as the smallest magnitude.
    void Take(__m128 a, __m128 b, __m128 skipA, __m128 skipB)
    {
        lanes0_ = _mm_add_pd(lanes0_, _mm_cvtps_pd(a));
        lanes1_ = _mm_add_pd(lanes1_, _mm_cvtps_pd(_mm_movehl_ps(a, a)));
        lanes2_ = _mm_add_pd(lanes2_, _mm_cvtps_pd(b));
        lanes3_ = _mm_add_pd(lanes3_, _mm_cvtps_pd(_mm_movehl_ps(b, b)));
        const __m128 absA = _mm_and_ps(a, Magnitude());
        const __m128 absB = _mm_and_ps(b, Magnitude());
        largest_ = _mm_max_ps(largest_, _mm_max_ps(absA, absB));
        smallest_ = _mm_min_ps(smallest_, _mm_min_ps(_mm_or_ps(absA, skipA), _mm_or_ps(absB, skipB)));
    }

    // 2^k for a k of the normal float range.
    static float PowerOfTwo(int k) { return std::bit_cast<float>(static_cast<std::uint32_t>(k + 127) << 23); }
    static __m128 Magnitude() { return _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)); }

    double sum_;
    __m128d lanes0_;
    __m128d lanes1_ = _mm_setzero_pd();
    __m128d lanes2_ = _mm_setzero_pd();
    __m128d lanes3_ = _mm_setzero_pd();
    __m128 largest_ = _mm_setzero_ps();
    __m128 smallest_ = _mm_set1_ps(INFINITY);
};
#endif

} // namespace

double AddDifferences(double sum, const float* values, LONG n, float baseline)
{
#if defined(__SSE2__)
    if (n < 16 || !MayAddSideBySide(sum)) {
        return AddDifferencesInTurn(sum, values, n, baseline);
    }
    const __m128 base = _mm_set1_ps(baseline);
    const LONG whole = n & ~LONG{7};
    ExactLanes lanes(sum);
    for (LONG i = 0; i < whole; i += 8) {
        lanes.Add(_mm_sub_ps(_mm_loadu_ps(values + i), base), _mm_sub_ps(_mm_loadu_ps(values + i + 4), base));
    }
    const double total = lanes.Total(values, whole, baseline);
    if (std::isnan(total)) {
        return AddDifferencesInTurn(sum, values, n, baseline);
    }
    return AddDifferencesInTurn(total, values + whole, n - whole, baseline);
#else
    return AddDifferencesInTurn(sum, values, n, baseline);
#endif
}

LONG AddWhileWithin(double& sum, const float* values, LONG n, float level, float threshold)
{
    LONG i = 0;
#if defined(__SSE2__)
    if (n >= 16 && MayAddSideBySide(sum)) {
        const __m128 first = _mm_set1_ps(level);
        const __m128 limit = _mm_set1_ps(threshold);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
        ExactLanes lanes(sum);
        for (; i + 8 <= n; i += 8) {
            const __m128 a = _mm_loadu_ps(values + i);
            const __m128 b = _mm_loadu_ps(values + i + 4);
            const __m128 inA = _mm_cmple_ps(_mm_and_ps(_mm_sub_ps(a, first), magnitude), limit);
            const __m128 inB = _mm_cmple_ps(_mm_and_ps(_mm_sub_ps(b, first), magnitude), limit);
            const auto in = static_cast<unsigned>(_mm_movemask_ps(inA) | (_mm_movemask_ps(inB) << 4));
            if (in != 0xFF) {
                // The samples before the first outside the band end the sum.
                const int last = std::countr_one(in);
                lanes.AddFirst(a, b, last);
                const LONG taken = i + last;
                const double total = taken >= 16 ? lanes.Total(values, taken, 0.0f) : NAN;
                sum = std::isnan(total) ? AddDifferencesInTurn(sum, values, taken, 0.0f) : total;
                return taken;
            }
            lanes.Add(a, b);
        }
        if (i >= 16) {
            const double total = lanes.Total(values, i, 0.0f);
            sum = std::isnan(total) ? AddDifferencesInTurn(sum, values, i, 0.0f) : total;
        } else {
            sum = AddDifferencesInTurn(sum, values, i, 0.0f);
        }
    }
#endif
    for (; i < n && std::fabs(values[i] - level) <= threshold; ++i) {
        sum += values[i];
    }
    return i;
}

bool HasAvx2()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace EEH3
