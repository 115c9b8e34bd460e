// The exponential fit over the decays a cardiac analysis fits: 2000 repolarisations of 300 to 2000 samples at
// 10 kHz, time constants of 15 to 60 ms, varied heights and offsets, Gaussian noise of about 1 % of the height,
// fitted with the offset free and held. Beside it, in the same run, a plain pass that reads the same samples once.
// Both report samples per second (items_per_second); their ratio is the fit's cost in plain reads. Build in
// Release.
#include "engine/expfit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr double kRate = 10000.0;

struct Decay {
    std::vector<double> samples;
    double offset;
};

const std::vector<Decay>& Decays()
{
    static const std::vector<Decay> decays = [] {
        std::mt19937 random(46);
        auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
        std::vector<Decay> made;
        for (int k = 0; k < 2000; ++k) {
            const auto n = static_cast<std::size_t>(uniform(300, 2000));
            const double height = uniform(0.6, 1.2);
            const double tau = uniform(0.015, 0.06) * kRate;
            const double offset = uniform(-0.1, 0.05);
            std::normal_distribution<double> noise(0.0, 0.01 * height);
            Decay decay{std::vector<double>(n), offset};
            for (std::size_t i = 0; i < n; ++i) {
                // The stage fits float samples widened to double.
                decay.samples[i] = static_cast<float>(height * std::exp(-static_cast<double>(i) / tau) + offset +
                                                      noise(random));
            }
            made.push_back(std::move(decay));
        }
        return made;
    }();
    return decays;
}

std::int64_t SampleCount()
{
    std::int64_t n = 0;
    for (const Decay& d : Decays()) {
        n += static_cast<std::int64_t>(d.samples.size());
    }
    return n;
}

void PlainRead(benchmark::State& state)
{
    for (auto _ : state) {
        for (const Decay& d : Decays()) {
            double sum = 0.0;
            for (const double v : d.samples) {
                sum += v;
            }
            benchmark::DoNotOptimize(sum);
        }
    }
    state.SetItemsProcessed(state.iterations() * SampleCount());
}

// range 0: the offset fitted; 1: held at the decay's own offset.
void FitExponential(benchmark::State& state)
{
    const bool hold = state.range(0) != 0;
    std::int64_t fitted = 0;
    for (auto _ : state) {
        fitted = 0;
        for (const Decay& d : Decays()) {
            ExtLib::ExpFitResult result;
            fitted += ExtLib::FitExponential(d.samples, kRate, result,
                                             hold ? std::optional<double>(d.offset) : std::nullopt);
            benchmark::DoNotOptimize(result);
        }
    }
    state.SetItemsProcessed(state.iterations() * SampleCount());
    state.counters["fitted"] = static_cast<double>(fitted);
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(FitExponential)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
