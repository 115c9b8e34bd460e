// Recordings for the detector benchmarks, as a user's would be: 10 kHz, Gaussian noise of about 1 % of the
// signal's amplitude, slow plateaus, decays and drifts, varied heights and intervals. Each generator also returns
// the event ticks it placed (stimuli), for the detectors that read them as an event source.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace benchrec {

inline constexpr double kTickPeriod = 0.0001; // 10 kHz

struct Recording {
    std::vector<float> samples;
    std::vector<std::int32_t> stimuli;
};

// Cardiac action potentials: rest near -80 mV, an upstroke of about 1.5 ms to +15..+40 mV, a notch of 8 to 20 mV,
// a plateau that sags slowly for 150 to 300 ms, a repolarisation of 100 to 250 ms, and diastole with a slow depolarisation
// of 6 mV for 30 to 250 ms until the next beat. Noise 1.1 mV (1 % of a 110 mV action potential).
inline Recording Cardiac(std::int32_t length, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::normal_distribution<float> noise(0.0f, 1.1f);
    Recording rec;
    rec.samples.reserve(static_cast<std::size_t>(length));
    while (static_cast<std::int32_t>(rec.samples.size()) < length) {
        const double rest = uniform(-84, -76);
        const double peak = uniform(15, 40);
        const double plateau = peak - uniform(8, 20);
        const int upstroke = static_cast<int>(uniform(10, 20));
        const int notch = static_cast<int>(uniform(30, 80));
        const int plateauLength = static_cast<int>(uniform(1000, 2500));
        const int repolarisation = static_cast<int>(uniform(1000, 2500));
        const int cycle = upstroke + notch + plateauLength + repolarisation + static_cast<int>(uniform(300, 2500));
        const double sag = uniform(3, 12);
        for (int i = 0; i < cycle; ++i) {
            double v;
            if (i < upstroke) {
                v = rest + (peak - rest) * i / upstroke;
            } else if (i < upstroke + notch) {
                const double f = static_cast<double>(i - upstroke) / notch;
                v = peak + (plateau - peak) * (1 - std::exp(-4 * f)) / (1 - std::exp(-4.0));
            } else if (i < upstroke + notch + plateauLength) {
                const double f = static_cast<double>(i - upstroke - notch) / plateauLength;
                v = plateau - sag * f * f;
            } else if (i < upstroke + notch + plateauLength + repolarisation) {
                const double f = static_cast<double>(i - upstroke - notch - plateauLength) / repolarisation;
                v = rest + (plateau - sag - rest) * 0.5 * (1 + std::cos(std::numbers::pi * f));
            } else {
                // Diastolic depolarisation towards the next beat.
                const int start = upstroke + notch + plateauLength + repolarisation;
                v = rest + 6.0 * (i - start) / (cycle - start);
            }
            rec.samples.push_back(static_cast<float>(v) + noise(random));
        }
    }
    rec.samples.resize(static_cast<std::size_t>(length));
    return rec;
}

// A stimulus channel: square pulses of 3 to 8 units (a quarter of them negative) and 2 to 10 samples every 100 to
// 800 ms, on a baseline that drifts slowly, with noise of 0.05 units (1 % of a 5-unit pulse).
inline Recording Stimuli(std::int32_t length, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::normal_distribution<float> noise(0.0f, 0.05f);
    Recording rec;
    rec.samples.resize(static_cast<std::size_t>(length));
    for (std::int32_t t = 0; t < length; ++t) {
        rec.samples[static_cast<std::size_t>(t)] =
            static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * t / 700000.0)) + noise(random);
    }
    for (auto t = static_cast<std::int32_t>(uniform(500, 2000)); t < length - 20;
         t += static_cast<std::int32_t>(uniform(1000, 8000))) {
        const float height = static_cast<float>(uniform(3, 8)) * (uniform(0, 1) < 0.25 ? -1.0f : 1.0f);
        const int width = static_cast<int>(uniform(2, 11));
        for (int i = 0; i < width; ++i) {
            rec.samples[static_cast<std::size_t>(t + i)] += height;
        }
        rec.stimuli.push_back(t);
    }
    return rec;
}

// Evoked responses: after each stimulus (every 100 to 800 ms) a response rising over 2 to 5 ms to 0.5 to 3 mV and
// decaying with a time constant of 10 to 40 ms (some stimuli with none), on a slowly wandering baseline, with
// noise of 0.02 mV (1 % of a 2 mV response).
inline Recording Evoked(std::int32_t length, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::normal_distribution<float> noise(0.0f, 0.02f);
    Recording rec;
    std::vector<double> clean(static_cast<std::size_t>(length));
    for (std::int32_t t = 0; t < length; ++t) {
        clean[static_cast<std::size_t>(t)] = 0.4 * std::sin(2 * std::numbers::pi * t / 900000.0);
    }
    for (auto s = static_cast<std::int32_t>(uniform(500, 2000)); s < length - 10; s += static_cast<std::int32_t>(uniform(1000, 8000))) {
        rec.stimuli.push_back(s);
        if (uniform(0, 1) < 0.15) {
            continue;
        }
        const double amplitude = uniform(0.5, 3);
        const double rise = uniform(20, 50);
        const double tau = uniform(100, 400);
        const auto latency = static_cast<std::int32_t>(uniform(10, 40));
        for (std::int32_t i = 0; s + latency + i < length && i < 8 * tau; ++i) {
            const double up = std::min(1.0, i / rise);
            clean[static_cast<std::size_t>(s + latency + i)] += amplitude * up * std::exp(-std::max(0.0, i - rise) / tau);
        }
    }
    rec.samples.resize(static_cast<std::size_t>(length));
    for (std::int32_t t = 0; t < length; ++t) {
        rec.samples[static_cast<std::size_t>(t)] = static_cast<float>(clean[static_cast<std::size_t>(t)]) + noise(random);
    }
    return rec;
}

// Population spikes: after each stimulus (every 100 to 800 ms) a field potential with a first positive peak, a
// negative spike of 1 to 5 mV and a second positive peak within 3 to 8 ms, then a slow positive wave decaying over
// 20 to 50 ms; noise of 0.03 mV (1 % of a 3 mV spike).
inline Recording PopulationSpikes(std::int32_t length, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::normal_distribution<float> noise(0.0f, 0.03f);
    Recording rec;
    std::vector<double> clean(static_cast<std::size_t>(length), 0.0);
    for (auto s = static_cast<std::int32_t>(uniform(500, 2000)); s < length - 10; s += static_cast<std::int32_t>(uniform(1000, 8000))) {
        rec.stimuli.push_back(s);
        const double spike = uniform(1, 5);
        const double centre = uniform(30, 80);
        const double halfWidth = uniform(5, 12);
        const double wave = uniform(0.5, 2);
        const double tau = uniform(200, 500);
        for (std::int32_t i = 0; s + i < length && i < 3000; ++i) {
            const double x = (i - centre) / halfWidth;
            clean[static_cast<std::size_t>(s + i)] +=
                wave * (1 - std::exp(-i / 15.0)) * std::exp(-i / tau) - spike * std::exp(-x * x);
        }
    }
    rec.samples.resize(static_cast<std::size_t>(length));
    for (std::int32_t t = 0; t < length; ++t) {
        rec.samples[static_cast<std::size_t>(t)] = static_cast<float>(clean[static_cast<std::size_t>(t)]) + noise(random);
    }
    return rec;
}

} // namespace benchrec
