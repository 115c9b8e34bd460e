#include "recording.h"

#include "bench/recordings.h"

#include "engine/erstimdet.h"

#include <gtest/gtest.h>

#include <random>

using namespace recording;
using namespace enumharness;
namespace Stim = CX::Enum::ERStimDet;

namespace {

struct Pulse {
    LONG start;  // first sample of the pulse
    LONG width;  // samples at the pulse level
    float height; // signed: negative pulses go down
};

// A flat baseline with square pulses. `noise` adds uniform noise in [0, noise) to the baseline samples only, so
// the pulse level stays exact and each pulse's peak is its first sample.
std::vector<float> Pulses(LONG length, const std::vector<Pulse>& pulses, float noise = 0.0f, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> jitter(0.0f, noise);
    std::vector<float> samples(static_cast<std::size_t>(length));
    for (float& v : samples) {
        v = noise > 0.0f ? jitter(random) : 0.0f;
    }
    for (const Pulse& p : pulses) {
        for (LONG t = p.start; t < p.start + p.width; ++t) {
            samples[static_cast<std::size_t>(t)] = p.height;
        }
    }
    return samples;
}

std::vector<LONG> StimulusTicks(const std::vector<CX::Enum::EventPkStm>& records)
{
    std::vector<LONG> ticks;
    for (const auto& r : records) {
        EXPECT_EQ(r.kind, CX::Enum::kKindStimulus);
        EXPECT_EQ(r.value, 1.0);
        EXPECT_EQ(r.offset, 0.0f);
        ticks.push_back(r.tick);
    }
    return ticks;
}

std::vector<LONG> Detect(const std::vector<float>& samples, const std::u16string& text)
{
    const Recording rec({samples});
    return StimulusTicks(ReadPeaks(rec.Bound<Stim::Family>(text).Get()));
}

// At 1 ms per tick: Height 2, Width 6 ms = 6 ticks (a pulse of 3 samples completes its fall 3 ticks after its
// peak: 2 x 3 <= 6), no skip, no gap.
TEST(ERStimDet, SquarePulsesOfKnownHeightWidthSkipAndGap)
{
    using Ticks = std::vector<LONG>;
    const struct {
        const char* what;
        std::vector<Pulse> pulses;
        const char16_t* text;
        Ticks expected;
    } cases[] = {
        {"exactly the height", {{100, 3, 2.0f}, {300, 3, 1.875f}}, u"1 2 6 0 0 0", {100}},
        {"negative pulses", {{100, 3, -2.0f}, {300, 3, -1.875f}}, u"1 2 6 0 0 0", {100}},
        {"fall at twice the width", {{100, 3, 5.0f}, {300, 4, 5.0f}}, u"1 2 6 0 0 0", {100}},
        {"wider width", {{100, 3, 5.0f}, {300, 4, 5.0f}}, u"1 2 8 0 0 0", {100, 300}},
        {"a negative width passes all", {{100, 3, 5.0f}, {300, 40, 5.0f}}, u"1 2 -3 0 0 0", {100, 300}},
        {"skip up to the peak", {{100, 3, 5.0f}, {300, 3, 5.0f}}, u"1 2 6 100 0 0", {300}},
        {"skip just before it", {{100, 3, 5.0f}, {300, 3, 5.0f}}, u"1 2 6 99 0 0", {100, 300}},
        {"gap reached", {{100, 3, 5.0f}, {150, 3, -5.0f}, {210, 3, 5.0f}}, u"1 2 6 0 50 0", {100, 150, 210}},
        {"gap missed", {{100, 3, 5.0f}, {149, 3, -5.0f}, {210, 3, 5.0f}}, u"1 2 6 0 50 0", {100, 210}},
        {"one per block", {{100, 3, 5.0f}, {300, 3, 5.0f}}, u"1 2 6 0 0 1", {100}},
        {"defaults: height 1, width 10", {{100, 5, 1.0f}, {300, 6, 1.0f}, {500, 3, 0.875f}}, u"1 -1 -1 -1 -1 -1",
         {100}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect(Pulses(1000, c.pulses), c.text), c.expected) << c.what;
    }
}

TEST(ERStimDet, NaNSamplesInEveryPhase)
{
    const std::vector<Pulse> pulses{{100, 3, 5.0f}, {300, 3, -5.0f}, {500, 3, 5.0f}};
    const std::vector<LONG> expected{100, 300, 500};
    // The first sample (the start level), the baseline before a pulse, inside a pulse, the sample after a
    // stimulus (where both detectors start afresh).
    for (const LONG at : {0, 1, 50, 101, 102, 103, 104, 301, 303}) {
        std::vector<float> samples = Pulses(700, pulses);
        samples[static_cast<std::size_t>(at)] = kNaN;
        EXPECT_EQ(Detect(samples, u"1 2 8 0 0 0"), expected) << "NaN at " << at;
    }
}

TEST(ERStimDet, OneStimulusPerBlockAndEveryBlockAfresh)
{
    const Recording rec({Pulses(1000, {{100, 3, 5.0f}, {300, 3, 5.0f}}), Pulses(1000, {{5, 3, 5.0f}, {700, 3, 5.0f}}),
                         Pulses(1000, {{998, 2, 5.0f}})}); // the last pulse never comes back
    for (const auto& [text, expected] :
         {std::pair<std::u16string, std::vector<std::vector<LONG>>>{u"1 2 6 0 0 1", {{100}, {5}, {}}},
          {u"1 2 6 0 500 0", {{100}, {5, 700}, {}}}}) {
        for (int block = 0; block < 3; ++block) {
            EXPECT_EQ(StimulusTicks(ReadPeaks(rec.Bound<Stim::Family>(text, block).Get())), expected[block])
                << "block " << block;
        }
    }
}

TEST(ERStimDet, EquivalentReadsOnALongBlock)
{
    std::mt19937 random(5);
    std::vector<Pulse> pulses;
    std::vector<LONG> expected;
    for (LONG t = 700; t < 419000; t += std::uniform_int_distribution<LONG>(400, 4000)(random)) {
        const bool up = random() % 2 == 0;
        pulses.push_back({t, static_cast<LONG>(1 + random() % 3), up ? 4.0f : -4.0f});
        expected.push_back(t);
    }
    // Pulses on both sides of the slice boundaries.
    for (const LONG boundary : {100000, 200000, 300000}) {
        pulses.erase(std::remove_if(pulses.begin(), pulses.end(),
                                    [&](const Pulse& p) { return std::abs(p.start - boundary) < 4500; }),
                     pulses.end());
        pulses.push_back({boundary - 1, 2, 4.0f});
        pulses.push_back({boundary + 2000, 3, -4.0f});
    }
    std::sort(pulses.begin(), pulses.end(), [](const Pulse& a, const Pulse& b) { return a.start < b.start; });
    expected.clear();
    for (const Pulse& p : pulses) {
        expected.push_back(p.start);
    }
    const Recording rec({Pulses(420000, pulses, 0.25f)});
    const auto all = ExpectEquivalentReads<CX::Enum::EventPkStm>(
        [&] { return rec.Bound<Stim::Family>(u"1 1 8 0 0 0 0 0 0 0"); }, 420000);
    EXPECT_EQ(StimulusTicks(all), expected);
}

TEST(ERStimDet, RealisticRecording)
{
    // Pulses of 3 to 8 units, up or down, 2 to 10 samples wide, on a drifting baseline with noise: each stimulus
    // lies at the pulse's most extreme sample (the first of equal ones), found here from the samples.
    const benchrec::Recording rec = benchrec::Stimuli(3'000'000, 12);
    std::vector<LONG> expected;
    for (const LONG s : rec.stimuli) {
        const float sign = rec.samples[static_cast<std::size_t>(s)] > 0 ? 1.0f : -1.0f;
        LONG best = s;
        for (LONG t = s; t < s + 11 && sign * rec.samples[static_cast<std::size_t>(t)] > 1.5f; ++t) {
            if (sign * rec.samples[static_cast<std::size_t>(t)] > sign * rec.samples[static_cast<std::size_t>(best)]) {
                best = t;
            }
        }
        expected.push_back(best);
    }
    ASSERT_GT(expected.size(), 500u);
    const Recording channel({rec.samples}, benchrec::kTickPeriod);
    // Height 1, Width 2 ms (20 ticks), Min Gap 5 ms; in one pass and in requests that end anywhere.
    for (const LONG step : {0, 777, 31}) {
        ComPtr<ICalcEnum> calc = channel.Bound<Stim::Family>(u"1 1 2 0 5 0");
        EXPECT_EQ(StimulusTicks(ReadAll<CX::Enum::EventPkStm>(Events(calc.Get()).Get(), 7, step)), expected)
            << "step " << step;
    }
}

TEST(ERStimDet, ParametersAndTicks)
{
    ComPtr<ICalcEnum> calc = Make<Stim::Family>(u"1 -1 -1 -1 -1 -1");
    IKVOString* text = nullptr;
    ASSERT_EQ(calc->Write(&text), S_OK);
    KVO::String written;
    written.AttachInterface(text);
    EXPECT_EQ(written, u"1 10 0 0 0 0 0 2147483647 2147483647");
    // Milliseconds to ticks at 0.5 ms per tick, saturated for huge values.
    const Recording rec({std::vector<float>(10, 0.0f)}, 0.0005);
    calc = rec.Bound<Stim::Family>(u"1 1 3 1e300 -2 0.7");
    const auto& params = dynamic_cast<Stim::Enum&>(*static_cast<EEH3::EnumeratorEngine*>(calc.Get())).FamilyParams();
    EXPECT_EQ(params.widthTicks, 6);
    EXPECT_EQ(params.skipTicks, 0x7FFFFFFF);
    EXPECT_EQ(params.minGapTicks, -3);
    EXPECT_TRUE(params.oneStimPerBlock);
}

} // namespace
