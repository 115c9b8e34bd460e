// Synthetic cardiac action potentials for the parameter stages: a fast linear upstroke, a declining plateau, an
// exponential repolarisation that overshoots below the baseline, and a linear recovery back to it. Each action
// potential comes with the plateau-stage record that describes it, its ticks taken from the signal's own
// definition (not from any stage).
#pragma once

#include "engine/eventrecords.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace apsignal {

struct Shape {
    int baselineTicks = 200; // flat baseline before the upstroke
    int upstroke = 10;       // ticks from the baseline to the peak
    float baseline = -80.0f;
    float peak = 30.0f;
    int plateau = 300;        // ticks of the declining plateau after the peak
    float plateauEnd = 5.0f;  // the plateau declines linearly from the peak to this value
    double tau = 150.0;       // ticks of the exponential repolarisation
    float overshoot = 4.0f;   // the repolarisation tends to baseline - overshoot
    int recovery = 200;       // ticks of the linear recovery from the overshoot back to the baseline
    int tail = 300;           // flat ticks after the recovery
    float polarity = 1.0f;    // -1: the whole action potential mirrored around 0
    std::int32_t stimulus = -1; // a stimulus tick relative to the upstroke's start (none when negative)
};

struct Recording {
    std::vector<float> samples;
    std::vector<CX::Enum::EventBCalcBase2> records;
};

// Appends one action potential to `recording` and its record; `noise` is the standard deviation of Gaussian noise
// added to every sample (0: clean). The previous record's next-event tick becomes this record's earliest tick.
inline void Append(Recording& recording, const Shape& s, double noise = 0.0, std::uint32_t seed = 1)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    auto& v = recording.samples;
    auto push = [&](double value) {
        const double noisy = noise > 0.0 ? value + gauss(random) : value;
        v.push_back(static_cast<float>(noisy) * s.polarity);
    };
    const auto origin = static_cast<std::int32_t>(v.size());
    for (int i = 0; i < s.baselineTicks; ++i) {
        push(s.baseline);
    }
    const auto start = static_cast<std::int32_t>(v.size());
    const double height = static_cast<double>(s.peak) - s.baseline;
    for (int i = 0; i < s.upstroke; ++i) {
        push(s.baseline + height * i / s.upstroke);
    }
    const auto peakTick = static_cast<std::int32_t>(v.size());
    v.push_back(s.peak * s.polarity); // the peak itself is never noisy
    for (int i = 1; i <= s.plateau; ++i) {
        push(s.peak + (static_cast<double>(s.plateauEnd) - s.peak) * i / s.plateau);
    }
    const auto repolarisation = static_cast<std::int32_t>(v.size());
    const double floor = static_cast<double>(s.baseline) - s.overshoot;
    double x = 0.0;
    double value = s.plateauEnd;
    for (int i = 1; value > floor + 0.1 * s.overshoot; ++i) {
        x = i;
        value = floor + (static_cast<double>(s.plateauEnd) - floor) * std::exp(-x / s.tau);
        push(value);
    }
    const double low = value;
    for (int i = 1; i <= s.recovery; ++i) {
        push(low + (static_cast<double>(s.baseline) - low) * i / s.recovery);
    }
    for (int i = 0; i < s.tail; ++i) {
        push(s.baseline);
    }

    CX::Enum::EventBCalcBase2 r;
    const float pol = s.polarity;
    r.tick = peakTick;
    r.value = static_cast<double>(s.peak * pol);
    r.kind = CX::Enum::kKindStage;
    r.stimulusTick = s.stimulus >= 0 ? start - s.stimulus : -1;
    r.baselineStart = origin;
    r.baselineEnd = start - 20;
    r.baseline = s.baseline * pol;
    r.polarity = pol;
    r.maxValue = s.peak * pol;
    r.maxTick = peakTick;
    r.riseStart = start;
    // The end: the first sample after the peak back at the baseline; the return: the first after it back on the
    // peak's side of the baseline.
    std::int32_t end = -1;
    for (auto t = peakTick + 1; t < static_cast<std::int32_t>(v.size()); ++t) {
        if (v[t] * pol <= s.baseline) {
            end = t;
            break;
        }
    }
    std::int32_t back = -1;
    for (auto t = end + 1; end >= 0 && t < static_cast<std::int32_t>(v.size()); ++t) {
        if (v[t] * pol >= s.baseline) {
            back = t;
            break;
        }
    }
    r.fallEnd = end;
    r.nextEventTick = CX::Enum::kLastEventNext;
    r.lowest = static_cast<float>(floor) * pol;
    r.highest = s.peak * pol;
    r.tauStart = repolarisation;
    r.tauEnd = repolarisation + static_cast<std::int32_t>(2 * s.tau);
    r.tailOvershoot = -s.overshoot * pol;
    r.returnTick = back;
    r.midPlateauCentre = peakTick + s.plateau / 2;
    r.plateauCentre = peakTick + s.plateau / 3;
    if (!recording.records.empty()) {
        recording.records.back().nextEventTick = r.EarliestTick();
    }
    recording.records.push_back(r);
}

// A cardiac recording as a user's would be: action potentials of varied heights, plateaus and decays at irregular
// intervals, with Gaussian noise of about 1 % of their amplitude, in units where an action potential is about 1
// high. `ticks` samples at 10 kHz (intervals of 350 to 900 ms).
inline Recording Cardiac(std::int32_t ticks, std::uint32_t seed)
{
    Recording recording;
    recording.samples.reserve(static_cast<std::size_t>(ticks) + 20000);
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    while (static_cast<std::int32_t>(recording.samples.size()) < ticks) {
        Shape s;
        s.baseline = 0.0f;
        s.peak = static_cast<float>(uniform(0.8, 1.25));
        s.upstroke = static_cast<int>(uniform(8, 25));
        s.plateau = static_cast<int>(uniform(800, 2500));
        s.plateauEnd = static_cast<float>(s.peak * uniform(0.55, 0.8));
        s.tau = uniform(150, 600);
        s.overshoot = static_cast<float>(uniform(0.02, 0.08));
        s.recovery = static_cast<int>(uniform(200, 800));
        s.baselineTicks = static_cast<int>(uniform(200, 1500));
        s.tail = static_cast<int>(uniform(100, 800));
        Append(recording, s, 0.01, random());
    }
    recording.samples.resize(static_cast<std::size_t>(ticks));
    while (!recording.records.empty() && recording.records.back().returnTick >= ticks) {
        recording.records.pop_back();
    }
    if (!recording.records.empty()) {
        recording.records.back().nextEventTick = CX::Enum::kLastEventNext;
    }
    return recording;
}

} // namespace apsignal
