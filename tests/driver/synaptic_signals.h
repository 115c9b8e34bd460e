// Generated recordings with known events for the host's peak detection: Gaussian noise of SD 1 over a slow drift, with
// either sharp peaks of varied heights or synaptic-like events (fast rise, exponential decay). The true event times
// come from the generator, not from any detector.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace signals {

enum class Shape { Peak, SynapticCurrent, SynapticPotential };

struct Recording {
    std::vector<float> samples;
    std::vector<double> times; // seconds: the peak of a Peak, the onset of a synaptic event
    double tickPeriod = 1e-4;
};

// `sign` gives the events' direction (+1 upward, -1 downward); heights (in noise SDs) lie from `lowest` to 40.
inline Recording Make(Shape shape, double seconds, int sign, std::uint32_t seed, double lowest = 8.0)
{
    Recording r;
    const auto count = static_cast<std::size_t>(seconds / r.tickPeriod);
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> height(lowest, 40.0);
    std::uniform_real_distribution<double> gap(0.03, 0.25);
    std::vector<double> clean(count, 0.0);

    // Rise and decay time constants and the stretch of samples each event is drawn over.
    const double rise = shape == Shape::SynapticPotential ? 0.002 : 0.0004;
    const double decay = shape == Shape::SynapticPotential ? 0.015 : 0.004;
    const double span = shape == Shape::Peak ? 0.005 : 8 * decay;
    std::vector<double> heights;
    for (double t = 0.3 + gap(random); t < seconds - 0.05; t += gap(random)) {
        r.times.push_back(t);
        heights.push_back(height(random));
    }
    for (std::size_t e = 0; e < r.times.size(); ++e) {
        const double t0 = r.times[e];
        const auto first = static_cast<std::size_t>(std::max(0.0, (t0 - span) / r.tickPeriod));
        const auto last = std::min(count, static_cast<std::size_t>((t0 + span) / r.tickPeriod) + 1);
        double peakOfShape = 1.0;
        if (shape != Shape::Peak) {
            const double at = rise * decay / (decay - rise) * std::log(decay / rise);
            peakOfShape = std::exp(-at / decay) - std::exp(-at / rise);
        }
        for (std::size_t i = first; i < last; ++i) {
            const double dt = static_cast<double>(i) * r.tickPeriod - t0;
            double v = 0.0;
            if (shape == Shape::Peak) {
                v = std::exp(-0.5 * (dt / 0.0008) * (dt / 0.0008)); // peak width (SD) 0.8 ms
            } else if (dt >= 0.0) {
                v = (std::exp(-dt / decay) - std::exp(-dt / rise)) / peakOfShape;
            }
            clean[i] += sign * heights[e] * v;
        }
    }
    r.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) * r.tickPeriod;
        const double drift = 3.0 * std::sin(2.0 * 3.14159265358979 * t / 17.0) + 0.2 * t;
        r.samples[i] = static_cast<float>(clean[i] + drift + noise(random));
    }
    return r;
}

struct Score {
    double recall = 0.0;
    double precision = 0.0;
};

// Each detected time matches at most one true event within [true + early, true + late].
inline Score Match(const std::vector<double>& truth, const std::vector<double>& found, double early, double late)
{
    std::vector<bool> used(truth.size(), false);
    std::size_t hits = 0;
    std::size_t j = 0;
    for (double f : found) {
        while (j < truth.size() && truth[j] + late < f) {
            ++j;
        }
        for (std::size_t k = j; k < truth.size() && truth[k] + early <= f; ++k) {
            if (!used[k] && f <= truth[k] + late) {
                used[k] = true;
                ++hits;
                break;
            }
        }
    }
    Score s;
    s.recall = truth.empty() ? 1.0 : static_cast<double>(hits) / static_cast<double>(truth.size());
    s.precision = found.empty() ? 1.0 : static_cast<double>(hits) / static_cast<double>(found.size());
    return s;
}

} // namespace signals
