#include "engine/expfit.h"
#include "engine/exponentials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

using ExtLib::ExpFitResult;
using ExtLib::FitExponential;

namespace {

// n samples of a exp(-t / tau) + b at t = i / rate, with Gaussian noise of standard deviation `noise`.
std::vector<double> Exponential(int n, double rate, double a, double tau, double b, double noise = 0.0,
                                unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    std::vector<double> y(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        y[static_cast<std::size_t>(i)] = a * std::exp(-(i / rate) / tau) + b + (noise > 0.0 ? gauss(random) : 0.0);
    }
    return y;
}

bool NoFit(const ExpFitResult& r) { return std::bit_cast<std::uint64_t>(r.tau) == 0x7FF8600000000000ull; }

TEST(ExpFit, RecoversExactCurves)
{
    const struct {
        int n;
        double rate, a, tau, b;
        bool hold;
    } cases[] = {
        {1000, 10000, 1.0, 0.02, 0.0, false},  // the classic decay: 1000 samples of exp(-t / 20 ms) at 10 kHz
        {1000, 10000, 1.0, 0.02, 0.0, true},
        {400, 10000, 35.0, 0.005, -80.0, false}, // a repolarisation onto a resting level
        {400, 10000, 35.0, 0.005, -80.0, true},
        {300, 2000, -12.5, 0.03, 4.0, false},    // a rising curve (negative amplitude)
        {50, 1000, 2.0, 0.004, 1.0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tau " << c.tau << " a " << c.a << " b " << c.b << " held " << c.hold);
        const auto y = Exponential(c.n, c.rate, c.a, c.tau, c.b);
        ExpFitResult r;
        ASSERT_TRUE(FitExponential(y, c.rate, r, c.hold ? std::optional<double>(c.b) : std::nullopt));
        EXPECT_NEAR(r.tau, c.tau, 1e-7 * c.tau);
        EXPECT_NEAR(r.amplitude, c.a, 1e-7 * std::fabs(c.a));
        EXPECT_NEAR(r.offset, c.b, 1e-7 * (1.0 + std::fabs(c.b)));
        if (c.hold) {
            EXPECT_EQ(r.offset, c.b) << "a held offset never moves";
        }
    }
}

TEST(ExpFit, RecoversNoisyCurvesWithinTheirNoise)
{
    // Noise of 2 % of the amplitude over 500 samples: tau within 3 %, A within 3 %, B within two noise levels.
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        for (const bool hold : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " held " << hold);
            const auto y = Exponential(500, 10000, 40.0, 0.008, -75.0, 0.8, seed);
            ExpFitResult r;
            ASSERT_TRUE(FitExponential(y, 10000, r, hold ? std::optional<double>(-75.0) : std::nullopt));
            EXPECT_NEAR(r.tau, 0.008, 0.03 * 0.008);
            EXPECT_NEAR(r.amplitude, 40.0, 0.03 * 40.0);
            EXPECT_NEAR(r.offset, -75.0, 1.6);
        }
    }
}

TEST(ExpFit, TwoPointsFitOnlyWithAHeldOffset)
{
    // y0 = A + B and y1 = A exp(-1 / (R tau)) + B: with B held, A = y0 - B and tau = 1 / (R ln((y0 - B) / (y1 - B))).
    const std::vector<double> y{3.0, 2.0};
    ExpFitResult r;
    ASSERT_TRUE(FitExponential(y, 1000, r, 1.0));
    EXPECT_NEAR(r.amplitude, 2.0, 1e-9);
    EXPECT_NEAR(r.tau, 1.0 / (1000 * std::log(2.0)), 1e-12);
    EXPECT_EQ(r.offset, 1.0);
    EXPECT_FALSE(FitExponential(y, 1000, r));
    EXPECT_TRUE(NoFit(r));
}

TEST(ExpFit, RefusesWhatCannotBeFitted)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto decay = Exponential(100, 1000, 1.0, 0.01, 0.0);
    auto withNaN = decay;
    withNaN[40] = nan;
    std::vector<double> huge(60);
    for (std::size_t i = 0; i < huge.size(); ++i) {
        huge[i] = (i % 2 ? -1.0 : 1.0) * 1e308; // A0 = y0 - y59 overflows: no pivot is left
    }
    const struct {
        const char* what;
        std::vector<double> y;
        double rate;
        std::optional<double> held;
    } cases[] = {
        {"no samples", {}, 1000, std::nullopt},
        {"no samples, held", {}, 1000, 0.0},
        {"one sample", {1.0}, 1000, std::nullopt},
        {"one sample, held", {1.0}, 1000, 0.0},
        {"flat", std::vector<double>(200, -70.0), 1000, std::nullopt},
        {"flat on its held offset", std::vector<double>(200, -70.0), 1000, -70.0},
        {"a NaN sample", withNaN, 1000, std::nullopt},
        {"a NaN held offset", decay, 1000, nan},
        {"no rate", decay, 0.0, std::nullopt},
        {"an overflowing amplitude", huge, 1000, std::nullopt},
    };
    for (const auto& c : cases) {
        ExpFitResult r;
        bool fitted = true;
        EXPECT_NO_THROW(fitted = FitExponential(c.y, c.rate, r, c.held)) << c.what;
        EXPECT_FALSE(fitted) << c.what;
        EXPECT_TRUE(NoFit(r)) << c.what;
    }
}

} // namespace

// The fit's exponentials are std::exp's doubles, bit for bit, whether worked out four at a time here or by the
// library: across the fit's arguments, where the nearest whole multiple of ln 2 / 128 changes (the rounding of the
// table step), at the ends of the plain range and beyond it (tiny, subnormal, huge, infinite, not a number), and in
// blocks of every length, so that the lanes and the tail agree; written to another array and in place, where an
// argument beyond the plain range shares its four lanes with others whose results are already stored.
TEST(ExpFit, ExponentialsAreTheLibrarysDoubles)
{
    std::vector<double> arguments = {0.0,     -0.0,     0x1p-54,  -0x1p-54, 0x1p-55, -0x1p-1074, 0x1p-1022, 511.9,
                                     -511.99, 512.0,    -512.0,   709.78,   709.79,  -745.1,     -746.0,    1e300,
                                     -1e300,  INFINITY, -INFINITY, NAN,     -NAN,    1.0,        -1.0,      -0.5,
                                     -300.5,  1000.0,   2.0,      80.0};
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> fit(-60.0, 2.0);
    std::uniform_real_distribution<double> wide(-800.0, 800.0);
    for (int i = 0; i < 400000; ++i) {
        arguments.push_back(fit(random));
        arguments.push_back(wide(random));
    }
    // Halfway between whole multiples of ln 2 / 128, and a few doubles either side: where the step's rounding decides.
    const double step = 0.693147180559945309417232121458 / 128.0;
    for (int k = -128 * 12; k < 128 * 2; ++k) {
        const double middle = (k + 0.5) * step;
        for (int d = -40; d <= 40; ++d) {
            arguments.push_back(std::bit_cast<double>(std::bit_cast<std::uint64_t>(middle) + d));
        }
    }
    for (const std::size_t length : {std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{7}, std::size_t{16},
                                     arguments.size()}) {
        std::vector<double> out(arguments.size());
        std::vector<double> inPlace = arguments;
        for (std::size_t from = 0; from < arguments.size(); from += length) {
            const std::size_t count = std::min(length, arguments.size() - from);
            ExtLib::Exponentials(arguments.data() + from, out.data() + from, count);
            ExtLib::Exponentials(inPlace.data() + from, inPlace.data() + from, count);
        }
        std::size_t differing = 0;
        std::size_t differingInPlace = 0;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const auto bits = std::bit_cast<std::uint64_t>(std::exp(arguments[i]));
            differing += std::bit_cast<std::uint64_t>(out[i]) != bits;
            differingInPlace += std::bit_cast<std::uint64_t>(inPlace[i]) != bits;
        }
        EXPECT_EQ(differing, 0u) << "blocks of " << length;
        EXPECT_EQ(differingInPlace, 0u) << "blocks of " << length << ", in place";
    }
}

// Four lanes at a time or two, the fits give the same doubles: noisy decays of many lengths (odd ones leave a tail),
// rising and falling, with the offset fitted and held.
TEST(ExpFit, FourLanesGiveTheFitsOfTwo)
{
    std::mt19937 random(9);
    std::uniform_int_distribution<int> length(3, 900);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int fitted = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = length(random);
        const double a = (unit(random) < 0.5 ? -1.0 : 1.0) * (0.5 + 80.0 * unit(random));
        const double tau = 0.001 + 0.05 * unit(random);
        const double b = -70.0 + 20.0 * unit(random);
        const std::vector<double> samples = Exponential(n, 10000.0, a, tau, b, 0.3 * unit(random), trial);
        for (const bool held : {false, true}) {
            const std::optional<double> offset = held ? std::optional<double>(b + 0.1) : std::nullopt;
            ExpFitResult wide;
            ExpFitResult narrow;
            ExtLib::AllowWideFitLanes(true);
            const bool wideFits = FitExponential(samples, 10000.0, wide, offset);
            ExtLib::AllowWideFitLanes(false);
            const bool narrowFits = FitExponential(samples, 10000.0, narrow, offset);
            ExtLib::AllowWideFitLanes(true);
            ASSERT_EQ(wideFits, narrowFits) << "trial " << trial;
            fitted += wideFits ? 1 : 0;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(wide.amplitude), std::bit_cast<std::uint64_t>(narrow.amplitude));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(wide.tau), std::bit_cast<std::uint64_t>(narrow.tau));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(wide.offset), std::bit_cast<std::uint64_t>(narrow.offset));
        }
    }
    EXPECT_GT(fitted, 400);
}
