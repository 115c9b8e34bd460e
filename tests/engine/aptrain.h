// Synthetic trains of cardiac action potentials whose detected peaks are known from how they were built.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace aptrain {

// The detection settings the tests use with the trains: Min Height 30, Min Width 3 ms at 0.5 ms per tick, which
// is trunc(3 / 0.5 + 0.5) = 6 ticks. The parameter text is kText.
inline constexpr double kTickPeriod = 0.0005;
inline constexpr int kHeight = 30;
inline constexpr int kWidthTicks = 6;
inline constexpr const char16_t* kText = u"1 30 3 0 0 0 0";

struct ExpectedPeak {
    std::int32_t tick;
    float value;
};

// Every value is a small integer or a multiple of 1/8, so every difference is exact in float and double.
struct Train {
    std::vector<float> samples;
    std::vector<ExpectedPeak> peaks; // the peaks a detector with the given height and width must report
    int narrow = 0;                  // action potentials too narrow for the width
    int small = 0;                   // action potentials below the height
};

// A train on baseline `baseline` with noise in [baseline, baseline + 0.25]: action potentials rise linearly by
// integer steps to an integer peak and fall linearly by integer steps back to the baseline. With Min Height
// `height` (an integer) and Min Width `widthTicks`:
// - an action potential of amplitude A <= height - 5 is never a candidate (the lowest value before it lies in
//   the baseline noise), one of A >= height + 5 is;
// - its fall completes at the first sample j after the peak with j x fallStep > height, that is
//   j = floor(height / fallStep) + 1, and the peak is reported when 2 j >= widthTicks.
// `forced` lists peak ticks the train must hit (ascending), e.g. ticks at and around slice boundaries.
inline Train Make(std::uint32_t seed, std::int32_t length, float baseline, int height, int widthTicks,
                  const std::vector<std::int32_t>& forced = {})
{
    std::mt19937 random(seed);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    Train train;
    train.samples.reserve(static_cast<std::size_t>(length));
    auto flat = [&](int n) {
        for (int i = 0; i < n && static_cast<std::int32_t>(train.samples.size()) < length; ++i) {
            train.samples.push_back(baseline + 0.125f * static_cast<float>(uniform(0, 2)));
        }
    };
    const int fallSteps[] = {1, 2, 3, 5, 8, 13, 20, 35};
    std::size_t nextForced = 0;
    flat(uniform(5, 300));
    for (;;) {
        auto here = static_cast<std::int32_t>(train.samples.size());
        // Steer the peak onto the next forced tick when it is near; that one is a wide, full-height one.
        bool steered = false;
        while (nextForced < forced.size() && forced[nextForced] - here < 200) {
            ++nextForced; // passed already
        }
        if (nextForced < forced.size() && forced[nextForced] - here <= 6000) {
            steered = true;
        }
        const bool isSmall = !steered && uniform(0, 5) == 0;
        const int amplitude = isSmall ? uniform(height / 3, height - 5) : uniform(height + 5, height + 80);
        const int riseStep = uniform(1, 6);
        const int rise = (amplitude + riseStep - 1) / riseStep; // samples from the baseline to the peak
        const int fallStep = fallSteps[uniform(0, steered ? 3 : 7)];
        const int fall = (amplitude + fallStep - 1) / fallStep;
        if (steered) {
            flat(forced[nextForced] - rise - here);
            ++nextForced;
        }
        here = static_cast<std::int32_t>(train.samples.size());
        if (here + rise + fall + 2 >= length) {
            break;
        }
        for (int j = 0; j < rise; ++j) {
            train.samples.push_back(baseline + static_cast<float>(j * riseStep));
        }
        const std::int32_t peakTick = here + rise;
        const float peak = baseline + static_cast<float>(amplitude);
        train.samples.push_back(peak);
        for (int j = 1; j <= fall; ++j) {
            train.samples.push_back(std::max(baseline, peak - static_cast<float>(j * fallStep)));
        }
        if (isSmall) {
            ++train.small;
        } else if (2 * (height / fallStep + 1) >= widthTicks) {
            train.peaks.push_back({peakTick, peak});
        } else {
            ++train.narrow;
        }
        flat(uniform(200, 2500));
        if (static_cast<std::int32_t>(train.samples.size()) >= length) {
            break;
        }
    }
    flat(length - static_cast<std::int32_t>(train.samples.size()));
    return train;
}

} // namespace aptrain
