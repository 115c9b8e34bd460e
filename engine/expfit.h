// The fit of one exponential y(t) = A exp(-t / tau) + B to an evenly sampled stretch of signal, by the
// Levenberg-Marquardt method, with the offset B fitted or held at a given value. Self-contained numerics: start
// values, the driver with its stopping rules, the least-squares sums and a Gauss-Jordan solver with full pivoting.
#pragma once

#include <bit>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>

namespace ExtLib {

// The solver found no pivot at all (every candidate is NaN). It never leaves FitExponential.
class TauMuntedException : public std::exception {
public:
    const char* what() const noexcept override { return "exponential fit: no pivot"; }
};

// A double that cannot be given: the unset float marker widened to double.
inline constexpr double kNoFitValue = std::bit_cast<double>(0x7FF8600000000000ull);

struct ExpFitResult {
    double amplitude = 0.0;   // A
    double tau = kNoFitValue; // seconds; kNoFitValue when there is no fit
    double offset = 0.0;      // B
};

// Fits samples[i], taken at t = i / rate seconds, with B fitted (heldOffset empty) or held. Returns true with the
// fitted A, tau and B in `result`. Returns false (no fit: tau is kNoFitValue, A and B the start values or 0) when
// there are too few samples (two at least, three with a fitted offset), a sample or the rate is not finite, the
// fit does not settle within 100 steps, or A or tau is smaller than its own standard error. Never throws.
// Re-entrant: every fit keeps its working storage to itself.
bool FitExponential(std::span<const double> samples, double rate, ExpFitResult& result,
                    std::optional<double> heldOffset = std::nullopt);

// Whether fits may work four lanes at a time where the processor has them (on by default); the results are the same
// either way, and tests check both.
void AllowWideFitLanes(bool allowed);

} // namespace ExtLib
