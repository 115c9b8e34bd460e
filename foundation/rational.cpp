#include "foundation/rational.h"

#include "foundation/prefixedunit.h"

#include <limits>

namespace {
// |v| without overflow for the most negative value.
std::uint64_t Magnitude(std::int64_t v)
{
    return v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}
}

std::int64_t KVORationalImp::Gcd(std::int64_t a, std::int64_t b)
{
    std::uint64_t x = Magnitude(a);
    std::uint64_t y = Magnitude(b);
    while (y != 0) {
        const std::uint64_t rest = x % y;
        x = y;
        y = rest;
    }
    // Only gcd(-2^63, 0 or -2^63) = 2^63 does not fit; it comes back as -2^63, which still divides both exactly.
    return static_cast<std::int64_t>(x);
}

void KVORationalImp::Normalize()
{
    if (denominator == 0) {
        throw bad_rational();
    }
    if (numerator == 0) {
        denominator = 1;
        return;
    }
    const std::int64_t divisor = Gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    if (denominator < 0) {
        constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::min();
        if (denominator == kMost || numerator == kMost) {
            throw std::overflow_error("bad rational: overflow");
        }
        numerator = -numerator;
        denominator = -denominator;
    }
}

KVORationalImp KVORationalImp::FromDouble(double value)
{
    LONG numerator = 0;
    LONG denominator = 1;
    KVO::ApproximateRational(value, numerator, denominator);
    KVORationalImp result(numerator, denominator);
    result.Normalize();
    return result;
}
