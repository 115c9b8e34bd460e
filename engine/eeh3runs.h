// Helpers for the algorithms' loops over a buffered run of samples (FloatExWrapper::Run): the first sample that
// meets a test, eight at a time. A test of a float sample against a double level is the same as a test against
// the nearest float on the right side of the level, so the runs are tested in floats, exactly as one by one.
#pragma once

#include "sdk/sampleenum.h"

#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace EEH3 {

// The largest float at or below `level` (NaN for NaN): for a float x, x <= level and x <= FloatAtOrBelow(level)
// agree, and so do x > level and x > FloatAtOrBelow(level).
inline float FloatAtOrBelow(double level)
{
    const auto f = static_cast<float>(level);
    return static_cast<double>(f) > level ? std::nextafter(f, -INFINITY) : f;
}

// The smallest float at or above `level`: x >= level and x < level agree with the same tests against it.
inline float FloatAtOrAbove(double level)
{
    const auto f = static_cast<float>(level);
    return static_cast<double>(f) < level ? std::nextafter(f, INFINITY) : f;
}

// The index of the first of the n samples at p for which test(p[i] * scale) holds; n when none does. `test` takes
// a float and a vector of four floats alike (a generic lambda of one comparison).
template <class Test>
LONG FirstScaledWhere(const float* p, LONG n, float scale, Test test)
{
    using Floats = float __attribute__((vector_size(16)));
    LONG i = 0;
    for (; i + 8 <= n; i += 8) {
        Floats a;
        Floats b;
        std::memcpy(&a, p + i, sizeof a);
        std::memcpy(&b, p + i + 4, sizeof b);
        const auto hit = test(a * scale) | test(b * scale);
#if defined(__SSE2__)
        if (_mm_movemask_ps(std::bit_cast<__m128>(hit)) != 0) {
            break;
        }
#else
        if ((hit[0] | hit[1] | hit[2] | hit[3]) != 0) {
            break;
        }
#endif
    }
    for (; i < n; ++i) {
        if (test(p[i] * scale)) {
            return i;
        }
    }
    return n;
}

// sum + (v - baseline) for each v of the n values in turn, the differences in floats and the sums in doubles: the
// same double, bit for bit, as adding them one by one. With a baseline of 0 it is the sum of the samples in turn.
double AddDifferences(double sum, const float* values, LONG n, float baseline);

// Adds to `sum` in turn the samples from the first on while they lie within `threshold` of `level` (|v - level| <=
// threshold, in floats), at most n; the same double, bit for bit, as adding them one by one. Returns how many.
LONG AddWhileWithin(double& sum, const float* values, LONG n, float level, float threshold);

// Whether this processor has the 256-bit integer and float lanes (paths that use them are chosen at run time).
bool HasAvx2();

} // namespace EEH3
