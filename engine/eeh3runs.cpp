#include "engine/eeh3runs.h"

#include <algorithm>
#include <array>
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

} // namespace

double AddDifferences(double sum, const float* values, LONG n, float baseline)
{
#if defined(__SSE2__)
    // Adding in turn waits for each sum before the next. When every difference and the sum so far are whole
    // multiples of 2^e and the sum of their magnitudes stays below 2^(e + 53), every partial sum is a double
    // exactly, in any order: then eight lanes adding side by side give the same double. One pass adds the lanes
    // and keeps the largest and smallest magnitudes; the proof afterwards decides whether that sum stands, else the
    // differences are added again in turn. e is the least that the magnitudes allow.
    const auto inTurn = [&] { return AddDifferencesInTurn(sum, values, n, baseline); };
    if (n < 16 || !std::isfinite(sum) || (sum == 0.0 && std::signbit(sum))) {
        return inTurn();
    }
    const __m128 base = _mm_set1_ps(baseline);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const LONG whole = n & ~LONG{7};
    __m128d lanes0 = _mm_set_pd(0.0, sum);
    __m128d lanes1 = _mm_setzero_pd();
    __m128d lanes2 = _mm_setzero_pd();
    __m128d lanes3 = _mm_setzero_pd();
    __m128 largest = _mm_setzero_ps();
    __m128 smallest = _mm_set1_ps(INFINITY);
    for (LONG i = 0; i < whole; i += 8) {
        const __m128 a = _mm_sub_ps(_mm_loadu_ps(values + i), base);
        const __m128 b = _mm_sub_ps(_mm_loadu_ps(values + i + 4), base);
        lanes0 = _mm_add_pd(lanes0, _mm_cvtps_pd(a));
        lanes1 = _mm_add_pd(lanes1, _mm_cvtps_pd(_mm_movehl_ps(a, a)));
        lanes2 = _mm_add_pd(lanes2, _mm_cvtps_pd(b));
        lanes3 = _mm_add_pd(lanes3, _mm_cvtps_pd(_mm_movehl_ps(b, b)));
        const __m128 absA = _mm_and_ps(a, magnitude);
        const __m128 absB = _mm_and_ps(b, magnitude);
        largest = _mm_max_ps(largest, _mm_max_ps(absA, absB));
        smallest = _mm_min_ps(smallest, _mm_min_ps(absA, absB));
    }
    alignas(16) std::array<double, 2> lanes;
    _mm_store_pd(lanes.data(), _mm_add_pd(_mm_add_pd(lanes0, lanes1), _mm_add_pd(lanes2, lanes3)));
    const double total = lanes[0] + lanes[1];
    alignas(16) std::array<float, 4> largestLanes;
    alignas(16) std::array<float, 4> smallestLanes;
    _mm_store_ps(largestLanes.data(), largest);
    _mm_store_ps(smallestLanes.data(), smallest);
    // A NaN may drop out of the maximum and the minimum, but not out of the total.
    const double most = *std::max_element(largestLanes.begin(), largestLanes.end());
    const float least = *std::min_element(smallestLanes.begin(), smallestLanes.end());
    const double reach = (std::fabs(sum) + static_cast<double>(whole) * most) * (1.0 + 0x1p-40);
    if (!std::isfinite(total) || !(reach > 0.0) || !(reach < 0x1p53)) {
        return inTurn();
    }
    const int e = std::ilogb(reach) + 1 - 53; // reach < 2^(e + 53), e <= 0
    if (e < -126) {
        return inTurn();
    }
    if (sum != 0.0) {
        const auto u = std::bit_cast<std::uint64_t>(sum);
        const auto exponent = static_cast<int>((u >> 52) & 0x7FF);
        const std::uint64_t mantissa =
            (u & ((std::uint64_t{1} << 52) - 1)) | (exponent != 0 ? std::uint64_t{1} << 52 : 0);
        if (std::max(exponent, 1) - 1075 + std::countr_zero(mantissa) < e) {
            return inTurn(); // the sum has a lower bit than 2^e
        }
    }
    // A float of magnitude 2^(e + 23) or more is a whole multiple of 2^e. Smaller ones (zeros, values near zero)
    // are tested one by one: d * 2^-e is exact (a power of two at or above 1, below the float range for these
    // magnitudes); it is whole at or beyond 2^23, or when it survives the round trip through an integer.
    if (!(least >= std::ldexp(1.0f, e + 23))) {
        const __m128 scale = _mm_set1_ps(std::ldexp(1.0f, -e));
        const __m128 wholeFrom = _mm_set1_ps(0x1p23f);
        __m128 allWhole = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (LONG i = 0; i < whole; i += 4) {
            const __m128 t = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(values + i), base), scale);
            const __m128 big = _mm_cmpge_ps(_mm_and_ps(t, magnitude), wholeFrom);
            allWhole = _mm_and_ps(allWhole, _mm_or_ps(big, _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(t)), t)));
        }
        if (_mm_movemask_ps(allWhole) != 0xF) {
            return inTurn();
        }
    }
    return AddDifferencesInTurn(total, values + whole, n - whole, baseline);
#else
    return AddDifferencesInTurn(sum, values, n, baseline);
#endif
}

} // namespace EEH3
