#include "recording.h"

#include "engine/pspeakdet.h"

#include <gtest/gtest.h>

#include <random>

using namespace recording;
using namespace enumharness;
namespace PS = CX::Enum::PSPeakDet;

namespace {

// A population spike: from the zero baseline up to the first peak, down to the trough, up to the second peak and
// back to zero, in straight lines between the corners (each corner strictly the extreme within 5 ticks).
struct Spike {
    LONG start; // last baseline sample before the rise
    float peak1, trough, peak2;
    LONG step = 10; // ticks between corners
};

std::vector<float> Spikes(LONG length, const std::vector<Spike>& spikes)
{
    std::vector<float> samples(static_cast<std::size_t>(length), 0.0f);
    for (const Spike& s : spikes) {
        const float corners[] = {0.0f, s.peak1, s.trough, s.peak2, 0.0f};
        for (int k = 0; k < 4; ++k) {
            for (LONG i = 0; i < s.step; ++i) {
                const float f = static_cast<float>(i) / static_cast<float>(s.step);
                samples[static_cast<std::size_t>(s.start + k * s.step + i)] =
                    corners[k] + f * (corners[k + 1] - corners[k]);
            }
        }
    }
    return samples;
}

Event S(LONG t) { return {t, CX::Enum::kKindStimulus, 1.0}; }
Event X(LONG t, float v) { return {t, CX::Enum::kKindPeak, static_cast<double>(v)}; }

// The stimulus and the spike's three corners.
std::vector<Event> Expected(LONG stimulus, const Spike& s)
{
    return {S(stimulus), X(s.start + s.step, s.peak1), X(s.start + 2 * s.step, s.trough),
            X(s.start + 3 * s.step, s.peak2)};
}

std::vector<Event> Detect(const std::vector<float>& samples, const std::vector<LONG>& stimuli,
                          const std::u16string& text)
{
    const Recording rec({samples});
    // The stimuli as plain 16-byte host events.
    std::vector<KVOEventBase> events;
    for (const LONG t : stimuli) {
        events.push_back({t, 0.0f, 1.0});
    }
    ComPtr<IEnumEventEx> source = EventsOf(events);
    return Summary(ReadPeaks(rec.Bound<PS::Family>(text, 0, source.Get()).Get()));
}

std::vector<Event> Concat(std::vector<Event> a, const std::vector<Event>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// At 1 ms per tick.
TEST(PSPeakDet, SpikesInTheirWindows)
{
    const Spike spike{105, 3.0f, -5.0f, 2.0f};
    const Spike far{5100, 3.0f, -5.0f, 2.0f};
    const struct {
        const char* what;
        std::vector<Spike> spikes;
        std::vector<LONG> stimuli;
        const char16_t* text;
        std::vector<Event> expected;
    } cases[] = {
        {"peak, trough, peak", {spike}, {100}, u"1 0 200", Expected(100, spike)},
        {"no spike", {}, {100, 300}, u"1 0 200", {S(100), S(300)}},
        {"a window cut by the next stimulus", {spike}, {100, 125}, u"1 0 20", {S(100), S(125)}},
        {"not cut", {spike}, {100, 200}, u"1 0 200", Concat(Expected(100, spike), {S(200)})},
        // From tick 116 on the trough at 125 comes before any peak; the second peak, the return to the baseline
        // (a trough: nothing lower within 5 ticks) and the first flat peak on the baseline form the shape.
        {"the window starts after the first peak", {spike}, {100}, u"1 16 200",
         {S(100), X(135, 2.0f), X(145, 0.0f), X(150, 0.0f)}},
        {"an extremum within 5 ticks of the window end is not tested", {spike}, {100}, u"1 0 39", {S(100)}},
        {"the second peak just tested", {spike}, {100}, u"1 0 41", Expected(100, spike)},
        {"negative start and end: the whole block after the stimulus", {far}, {100}, u"1 -1 -1",
         Expected(100, far)},
        {"an end too close for the spike", {far}, {100}, u"1 -1 4000", {S(100)}},
        {"a trough before any peak is ignored", {{101, -5.0f, 2.0f, 0.0f}}, {100}, u"1 0 200",
         {S(100), X(121, 2.0f), X(131, 0.0f), X(136, 0.0f)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect(Spikes(6000, c.spikes), c.stimuli, c.text), c.expected) << c.what;
    }
    // Two shapes after one stimulus, P0 T1 P2 T3 P4 = first, -2, 2.5, -6, 4: the deepest of P0 - 2 T1 + P2,
    // P2 - 2 T3 + P4 and P0 - 2 min(T1, T3) + P4 is kept.
    for (const auto& [first, expected] : {std::pair<float, std::vector<Event>>{3.0f, {X(220, 3), X(250, -6), X(260, 4)}},
                                          {1.0f, {X(240, 2.5f), X(250, -6), X(260, 4)}}}) {
        std::vector<float> twice = Spikes(6000, {{210, first, -2.0f, 2.5f}});
        for (LONG i = 0; i <= 20; ++i) {
            const float f = static_cast<float>(i) / 10.0f;
            twice[static_cast<std::size_t>(240 + i)] = i <= 10 ? 2.5f - f * 8.5f : -6.0f + (f - 1.0f) * 10.0f;
        }
        for (LONG i = 1; i <= 10; ++i) {
            twice[static_cast<std::size_t>(260 + i)] = 4.0f - 0.4f * static_cast<float>(i);
        }
        EXPECT_EQ(Detect(twice, {200}, u"1 0 200"), Concat({S(200)}, expected)) << "first peak " << first;
    }
}

TEST(PSPeakDet, NaNSamplesKeepTheirSlot)
{
    const Spike spike{105, 3.0f, -5.0f, 2.0f};
    // At the stimulus, beside each corner, between: the same spike.
    for (const LONG at : {100, 101, 114, 116, 124, 126, 133, 137, 160}) {
        std::vector<float> samples = Spikes(400, {spike});
        samples[static_cast<std::size_t>(at)] = kNaN;
        EXPECT_EQ(Detect(samples, {100}, u"1 0 200"), Expected(100, spike)) << "NaN at " << at;
    }
    // A NaN on the trough: the trough moves to a neighbour, never to the NaN.
    std::vector<float> samples = Spikes(400, {spike});
    samples[125] = kNaN;
    const auto events = Detect(samples, {100}, u"1 0 200");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_NE(events[2].tick, 125);
    EXPECT_FALSE(std::isnan(events[2].value));
}

TEST(PSPeakDet, EquivalentReadsOnALongBlock)
{
    std::mt19937 random(8);
    auto draw = [&](int lo, int hi) { return static_cast<float>(std::uniform_int_distribution<int>(lo, hi)(random)); };
    std::vector<Spike> spikes;
    std::vector<LONG> stimuli;
    std::vector<Event> expected;
    for (LONG s = 300; s < 419000; s += std::uniform_int_distribution<LONG>(200, 2000)(random)) {
        stimuli.push_back(s);
        if (random() % 5 == 0) {
            expected.push_back(S(s)); // no spike
            continue;
        }
        const Spike spike{s + std::uniform_int_distribution<LONG>(2, 20)(random), draw(1, 5), draw(-8, -2),
                          draw(1, 5), std::uniform_int_distribution<LONG>(6, 12)(random)};
        spikes.push_back(spike);
        const auto e = Expected(s, spike);
        expected.insert(expected.end(), e.begin(), e.end());
    }
    const Recording rec({Spikes(420000, spikes)});
    const auto all = ExpectEquivalentReads<CX::Enum::EventPkStm>(
        [&] {
            std::vector<KVOEventBase> events;
            for (const LONG t : stimuli) {
                events.push_back({t, 0.0f, 1.0});
            }
            ComPtr<IEnumEventEx> source = EventsOf(events);
            return rec.Bound<PS::Family>(u"1 0 1000", 0, source.Get());
        },
        420000);
    EXPECT_EQ(Summary(all), expected);
}

} // namespace
