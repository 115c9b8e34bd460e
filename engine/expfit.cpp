#include "engine/expfit.h"

#include "engine/eeh3runs.h"
#include "engine/exponentials.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace ExtLib {

namespace {

constexpr int kParams = 3; // A, tau, B
using Matrix = std::array<std::array<double, kParams>, kParams>;
using Vector = std::array<double, kParams>;

// Solves the m x m system a x = b in place by Gauss-Jordan elimination with full pivoting: a becomes its inverse
// and b the solution. False when the matrix is singular; throws TauMuntedException when there is no pivot at all.
bool GaussJordan(Matrix& a, int m, Vector& b)
{
    std::array<int, kParams> rowOf{};
    std::array<int, kParams> columnOf{};
    std::array<int, kParams> pivoted{};
    for (int round = 0; round < m; ++round) {
        double big = 0.0;
        int row = -1;
        int column = -1;
        for (int j = 0; j < m; ++j) {
            if (pivoted[j] == 1) {
                continue;
            }
            for (int k = 0; k < m; ++k) {
                if (pivoted[k] == 0) {
                    if (std::fabs(a[j][k]) >= big) { // ties go to the later candidate
                        big = std::fabs(a[j][k]);
                        row = j;
                        column = k;
                    }
                } else if (pivoted[k] > 1) {
                    return false;
                }
            }
        }
        if (row < 0) {
            throw TauMuntedException();
        }
        if (++pivoted[column] > 1) {
            return false;
        }
        if (row != column) {
            std::swap(a[row], a[column]);
            std::swap(b[row], b[column]);
        }
        rowOf[round] = row;
        columnOf[round] = column;
        if (a[column][column] == 0.0) {
            return false;
        }
        const double inverse = 1.0 / a[column][column];
        a[column][column] = 1.0;
        for (int l = 0; l < m; ++l) {
            a[column][l] *= inverse;
        }
        b[column] *= inverse;
        for (int other = 0; other < m; ++other) {
            if (other == column) {
                continue;
            }
            const double factor = a[other][column];
            a[other][column] = 0.0;
            for (int l = 0; l < m; ++l) {
                a[other][l] -= a[column][l] * factor;
            }
            b[other] -= b[column] * factor;
        }
    }
    for (int l = m - 1; l >= 0; --l) {
        if (rowOf[l] != columnOf[l]) {
            for (int k = 0; k < m; ++k) {
                std::swap(a[k][rowOf[l]], a[k][columnOf[l]]);
            }
        }
    }
    return true;
}

std::atomic<bool> wideLanesAllowed{true};

// -t / tau of each time, a vector of Lanes at a time (each lane the same division as one alone).
template <class Lanes>
[[gnu::always_inline]] inline void Quotients(const double* times, double tau, double* out, std::size_t n)
{
    constexpr std::size_t width = sizeof(Lanes) / sizeof(double);
    std::size_t i = 0;
    for (; i + width <= n; i += width) {
        Lanes t;
        std::memcpy(&t, times + i, sizeof t);
        const Lanes q = -t / tau;
        std::memcpy(out + i, &q, sizeof q);
    }
    for (; i < n; ++i) {
        out[i] = -times[i] / tau;
    }
}

// The residuals and the derivatives by tau of `count` samples, a vector of Lanes at a time (each lane the same
// operations as one sample alone).
template <class Lanes>
[[gnu::always_inline]] inline void Terms(const double* times, const double* exponentials, const double* y,
                                         double amplitude, double offset, double tauSquared, double* residuals,
                                         double* derivatives, std::size_t count)
{
    constexpr std::size_t width = sizeof(Lanes) / sizeof(double);
    std::size_t i = 0;
    for (; i + width <= count; i += width) {
        Lanes t;
        Lanes e;
        Lanes v;
        std::memcpy(&t, times + i, sizeof t);
        std::memcpy(&e, exponentials + i, sizeof e);
        std::memcpy(&v, y + i, sizeof v);
        const Lanes r = v - (amplitude * e + offset);
        const Lanes d1 = amplitude * t * e / tauSquared;
        std::memcpy(residuals + i, &r, sizeof r);
        std::memcpy(derivatives + i, &d1, sizeof d1);
    }
    for (; i < count; ++i) {
        residuals[i] = y[i] - (amplitude * exponentials[i] + offset);
        derivatives[i] = amplitude * times[i] * exponentials[i] / tauSquared;
    }
}

using Pair = double __attribute__((vector_size(16)));

#if defined(__x86_64__) && defined(__GNUC__)
bool UseFourLanes() { return EEH3::HasAvx2() && wideLanesAllowed.load(std::memory_order_relaxed); }

using Four = double __attribute__((vector_size(32)));

__attribute__((target("avx2"))) void QuotientsFour(const double* times, double tau, double* out, std::size_t n)
{
    Quotients<Four>(times, tau, out, n);
}

__attribute__((target("avx2"))) void TermsFour(const double* times, const double* exponentials, const double* y,
                                               double amplitude, double offset, double tauSquared, double* residuals,
                                               double* derivatives, std::size_t count)
{
    Terms<Four>(times, exponentials, y, amplitude, offset, tauSquared, residuals, derivatives, count);
}
#endif

class LevenbergMarquardt {
public:
    LevenbergMarquardt(std::span<const double> y, double rate, bool fitOffset, const Vector& start)
        : y_(y), rate_(rate), a_(start), fitted_(fitOffset ? 3 : 2), times_(y.size())
    {
        // Two lanes at a time, each the same division as one sample alone.
        std::size_t i = 0;
        for (; i + 2 <= times_.size(); i += 2) {
            const Pair ticks = {static_cast<double>(i), static_cast<double>(i + 1)};
            const Pair t = ticks / rate_;
            std::memcpy(times_.data() + i, &t, sizeof t);
        }
        for (; i < times_.size(); ++i) {
            times_[i] = static_cast<double>(i) / rate_;
        }
    }

    // Fits from the start values; false when the fit does not settle.
    bool Run()
    {
        lambda_ = -1.0;
        Step();
        for (int steps = 1;; ++steps) {
            const double previousChi = chi_;
            const double previousLambda = lambda_;
            Step();
            const bool settled = (chi_ * 0.001 == 0.0 || previousChi - chi_ < chi_ * 0.001) &&
                                 lambda_ < previousLambda && lambda_ < 0.1;
            if (steps > 100 || lambda_ > 1e10) {
                return false;
            }
            if (settled) {
                break;
            }
        }
        lambda_ = 0.0;
        Step();
        return true;
    }

    const Vector& Parameters() const { return a_; }
    const Vector& Errors() const { return errors_; }

private:
    // The least-squares sums at parameters p over the fitted parameters (A, tau and, when fitted, B).
    void Sums(const Vector& p, Matrix& alpha, Vector& beta, double& chi) const
    {
        if (fitted_ == 3) {
            SumsOf<3>(p, alpha, beta, chi);
        } else {
            SumsOf<2>(p, alpha, beta, chi);
        }
    }

    // The sums with the parameters and the sums in locals, the sample times computed once per fit and the loops
    // over the fitted parameters unrolled; each sum adds the same terms in the same order as a plain loop would.
    // The quotients and exponentials of all samples come first, then for a block of samples at a time the
    // residuals and derivatives, four or two lanes at a time (each lane the same operations as one sample alone),
    // so that the loop of sums makes no call and no division.
    template <int Fitted>
    void SumsOf(const Vector& p, Matrix& alpha, Vector& beta, double& chi) const
    {
        constexpr std::size_t kBlock = 16;
        const double amplitude = p[0];
        const double tau = p[1];
        const double offset = p[2];
        const double tauSquared = tau * tau;
        RunningSums sums;
        const std::size_t n = y_.size();
        // One long run keeps the exponentials' lanes busy.
        quotients_.resize(n);
        exponentials_.resize(n);
#if defined(__x86_64__) && defined(__GNUC__)
        const bool four = UseFourLanes();
#else
        const bool four = false;
#endif
        if (four) {
#if defined(__x86_64__) && defined(__GNUC__)
            QuotientsFour(times_.data(), tau, quotients_.data(), n);
#endif
        } else {
            Quotients<Pair>(times_.data(), tau, quotients_.data(), n);
        }
        Exponentials(quotients_.data(), exponentials_.data(), n);
        alignas(16) std::array<double, kBlock> derivatives; // of the model by tau
        alignas(16) std::array<double, kBlock> residuals;
        for (std::size_t from = 0; from < n; from += kBlock) {
            const std::size_t count = std::min(kBlock, n - from);
            const double* times = times_.data() + from;
            const double* y = y_.data() + from;
            const double* exponentials = exponentials_.data() + from;
            if (four) {
#if defined(__x86_64__) && defined(__GNUC__)
                TermsFour(times, exponentials, y, amplitude, offset, tauSquared, residuals.data(), derivatives.data(),
                          count);
#endif
            } else {
                Terms<Pair>(times, exponentials, y, amplitude, offset, tauSquared, residuals.data(),
                            derivatives.data(), count);
            }
            Accumulate<Fitted>(exponentials, derivatives.data(), residuals.data(), count, sums);
        }
        alpha = {};
        beta = {};
        alpha[0][0] = sums.s00;
        alpha[1][0] = alpha[0][1] = sums.s10;
        alpha[1][1] = sums.s11;
        beta[0] = sums.w0;
        beta[1] = sums.w1;
        if constexpr (Fitted == 3) {
            alpha[2][0] = alpha[0][2] = sums.s20;
            alpha[2][1] = alpha[1][2] = sums.s21;
            alpha[2][2] = sums.s22;
            beta[2] = sums.w2;
        }
        chi = sums.squares;
    }

    // The sums over the samples so far: alpha's lower triangle (sJK), beta (wJ) and chi.
    struct RunningSums {
        double s00 = 0.0;
        double s10 = 0.0;
        double s11 = 0.0;
        double s20 = 0.0;
        double s21 = 0.0;
        double s22 = 0.0;
        double w0 = 0.0;
        double w1 = 0.0;
        double w2 = 0.0;
        double squares = 0.0;
    };

    // Adds the terms of `count` samples (their exponentials e, derivatives d1 by tau and residuals r) to `sums`;
    // kept out of line so that the sums stay in registers for the whole loop.
    template <int Fitted>
    [[gnu::noinline]] static void Accumulate(const double* exponentials, const double* derivatives,
                                             const double* residuals, std::size_t count, RunningSums& sums)
    {
        double s00 = sums.s00;
        double s10 = sums.s10;
        double s11 = sums.s11;
        double s20 = sums.s20;
        double s21 = sums.s21;
        double s22 = sums.s22;
        double w0 = sums.w0;
        double w1 = sums.w1;
        double w2 = sums.w2;
        double squares = sums.squares;
        for (std::size_t i = 0; i < count; ++i) {
            const double e = exponentials[i];
            const double d1 = derivatives[i];
            const double r = residuals[i];
            s00 += e * e;
            w0 += r * e;
            s10 += d1 * e;
            s11 += d1 * d1;
            w1 += r * d1;
            if constexpr (Fitted == 3) {
                s20 += 1.0 * e;
                s21 += 1.0 * d1;
                s22 += 1.0 * 1.0;
                w2 += r * 1.0;
            }
            squares += r * r;
        }
        sums = {s00, s10, s11, s20, s21, s22, w0, w1, w2, squares};
    }

    // One Levenberg-Marquardt step at the current lambda (negative: initialise; 0: the covariance only).
    void Step()
    {
        if (lambda_ < 0.0) {
            lambda_ = 0.1;
            Sums(a_, alpha_, beta_, chi_);
            previousChi_ = chi_;
        }
        Matrix covariance = alpha_;
        for (int j = 0; j < fitted_; ++j) {
            covariance[j][j] = alpha_[j][j] * (1.0 + lambda_);
        }
        Vector step = beta_;
        const bool solved = GaussJordan(covariance, fitted_, step);
        if (lambda_ == 0.0) {
            // The held offset's row and column stay zero: its error is 0.
            const auto dof = static_cast<double>(y_.size()) - 1.0 - fitted_;
            for (int i = 0; i < kParams; ++i) {
                const double variance = i < fitted_ ? covariance[i][i] : 0.0;
                errors_[i] = dof > 0.0 ? std::sqrt(variance * chi_ / dof) : 0.0;
            }
            return;
        }
        if (!solved) {
            lambda_ *= 10.0;
            chi_ = previousChi_;
            return;
        }
        Vector trial = a_;
        for (int j = 0; j < fitted_; ++j) {
            trial[j] += step[j];
        }
        Matrix trialAlpha;
        Vector trialBeta;
        Sums(trial, trialAlpha, trialBeta, chi_);
        if (chi_ <= previousChi_) {
            lambda_ *= 0.25;
            previousChi_ = chi_;
            alpha_ = trialAlpha;
            beta_ = trialBeta;
            a_ = trial;
        } else {
            lambda_ *= 10.0;
            chi_ = previousChi_;
        }
    }

    std::span<const double> y_;
    double rate_;
    Vector a_;
    int fitted_;
    std::vector<double> times_; // seconds of each sample from the first
    mutable std::vector<double> quotients_;
    mutable std::vector<double> exponentials_;
    Matrix alpha_{};
    Vector beta_{};
    Vector errors_{};
    double chi_ = 0.0;
    double previousChi_ = 0.0;
    double lambda_ = -1.0;
};

// Where the curve has come 63 % of the way from its start to the offset: the first estimate of tau.
double StartTau(std::span<const double> y, double a0, double b0, double rate)
{
    const std::size_t last = y.size() - 1;
    // At least one sample interval: a zero tau would make every model value undefined.
    double tau = static_cast<double>(std::max<std::size_t>((last - 1) / 10, 1)) / rate;
    const auto level = static_cast<float>(a0 * 0.36788 + b0);
    const bool falling = y[0] - y[last] > 0.0;
    for (std::size_t i = 0; i <= last; ++i) {
        if (falling ? y[i] < level : y[i] > level) {
            if (i > 0) {
                tau = static_cast<double>(i) / rate;
            }
            break;
        }
    }
    return tau;
}

} // namespace

void AllowWideFitLanes(bool allowed) { wideLanesAllowed.store(allowed, std::memory_order_relaxed); }

bool FitExponential(std::span<const double> samples, double rate, ExpFitResult& result,
                    std::optional<double> heldOffset)
{
    result = ExpFitResult{};
    const bool fitOffset = !heldOffset.has_value();
    if (samples.size() < 2 || (fitOffset && samples.size() < 3)) {
        return false;
    }
    if (!std::isfinite(rate) || rate <= 0.0 || (heldOffset && !std::isfinite(*heldOffset)) ||
        !std::all_of(samples.begin(), samples.end(), [](double v) { return std::isfinite(v); })) {
        return false;
    }
    const double b0 = fitOffset ? samples.back() : *heldOffset;
    const double a0 = samples.front() - b0;
    result.amplitude = a0;
    result.offset = b0;
    try {
        LevenbergMarquardt fit(samples, rate, fitOffset, {a0, StartTau(samples, a0, b0, rate), b0});
        if (!fit.Run()) {
            return false;
        }
        const Vector& a = fit.Parameters();
        const Vector& errors = fit.Errors();
        const bool finite = std::all_of(a.begin(), a.end(), [](double v) { return std::isfinite(v); }) &&
                            std::all_of(errors.begin(), errors.end(), [](double v) { return std::isfinite(v); });
        if (!finite || errors[0] > std::fabs(a[0]) || errors[1] > std::fabs(a[1])) {
            return false;
        }
        result.amplitude = a[0];
        result.tau = a[1];
        result.offset = a[2];
        return true;
    } catch (const TauMuntedException&) {
        return false; // no pivot: no fit
    }
}

} // namespace ExtLib
