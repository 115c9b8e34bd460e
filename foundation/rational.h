// Rational numbers of two signed 64-bit integers.
#pragma once

#include <cstdint>
#include <stdexcept>

class KVORationalImp {
public:
    class bad_rational : public std::domain_error {
    public:
        bad_rational() : std::domain_error("bad rational: zero denominator") {}
    };

    KVORationalImp() = default;
    KVORationalImp(std::int64_t numerator, std::int64_t denominator) : numerator(numerator), denominator(denominator) {}

    // Greatest common divisor of the absolute values; Gcd(a, 0) = |a|.
    static std::int64_t Gcd(std::int64_t a, std::int64_t b);
    // Reduces the fraction and makes the denominator positive; 0/n becomes 0/1. Throws bad_rational for a zero
    // denominator, std::overflow_error when the sign cannot be moved (a denominator of -2^63 over an odd numerator).
    void Normalize();
    // The continued-fraction approximation of the value (32-bit numerator and denominator), normalised.
    static KVORationalImp FromDouble(double value);

    friend bool operator==(const KVORationalImp&, const KVORationalImp&) = default;

    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
};
