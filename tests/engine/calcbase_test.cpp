#include "chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <bit>
#include <random>
#include <span>

using namespace enumharness;
using chain::Recording;
using CX::Enum::EventBCalcBase;
using CX::Enum::EventPkStm;
namespace Base = CX::Enum::CalcBase;

namespace {

EventPkStm Event(LONG tick, double value, std::int32_t kind)
{
    EventPkStm e;
    e.tick = tick;
    e.value = value;
    e.kind = kind;
    return e;
}

std::vector<EventBCalcBase> Baselines(const Recording& r, const char16_t* text, const std::vector<EventPkStm>& events)
{
    return Recording::Read<EventBCalcBase>(r.Stage<Base::Family>(text, events).Get());
}

// Appends a straight line from (excluding) the last sample to `to` in `steps` samples.
void Ramp(std::vector<float>& s, float to, int steps)
{
    const float from = s.back();
    for (int i = 1; i <= steps; ++i) {
        s.push_back(from + (to - from) * static_cast<float>(i) / static_cast<float>(steps));
    }
}

TEST(CalcBase, FlattestSegmentIsTheLevelBeforeEachPeak)
{
    // Flat noisy stretches (each shorter than the 500-tick segment limit) at varying levels, each followed by an
    // action potential of 100 above or below it in steps of 10. The baseline of each peak is the mean of the flat
    // stretch before it, which starts after the previous action potential's last step.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.4f, 0.4f);
    // Each level lies well away from the last step of the action potential before it (and from the first sample).
    const float levels[] = {-80.0f, -100.0f, -105.0f, -95.0f, -95.0f, -115.0f, -110.0f, -130.0f};
    std::vector<float> s;
    struct Expected {
        LONG tick, first, last;
        double mean;
        float polarity, value;
    };
    std::vector<Expected> expected;
    std::vector<EventPkStm> peaks;
    s.push_back(-60.0f);
    for (int k = 0; k < 8; ++k) {
        const float level = levels[k];
        const float sign = k % 3 == 2 ? -1.0f : 1.0f;
        const auto first = static_cast<LONG>(s.size());
        const int length = 100 + 47 * k;
        double sum = 0.0;
        for (int i = 0; i < length; ++i) {
            s.push_back(level + noise(random));
            sum += s.back();
        }
        const auto last = static_cast<LONG>(s.size()) - 1;
        for (int j = 1; j <= 10; ++j) {
            s.push_back(level + sign * 10.0f * static_cast<float>(j));
        }
        const auto peak = static_cast<LONG>(s.size()) - 1;
        for (int j = 9; j >= 1; --j) {
            s.push_back(level + sign * 10.0f * static_cast<float>(j));
        }
        expected.push_back({peak, first, last, sum / length, sign, s[static_cast<std::size_t>(peak)]});
        peaks.push_back(Event(peak, s[static_cast<std::size_t>(peak)], CX::Enum::kKindPeak));
    }
    s.push_back(-130.0f);
    const Recording r(s);
    const auto got = Baselines(r, u"1 -1 -1 -1 -1 -1 0", peaks);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].tick, expected[i].tick);
        EXPECT_EQ(got[i].value, expected[i].value);
        EXPECT_EQ(got[i].stimulusTick, -1);
        EXPECT_EQ(got[i].baselineStart, expected[i].first);
        EXPECT_EQ(got[i].baselineEnd, expected[i].last);
        EXPECT_NEAR(got[i].baseline, expected[i].mean, 1e-4);
        EXPECT_EQ(got[i].polarity, expected[i].polarity);
        EXPECT_EQ(got[i].kind, CX::Enum::kKindStage);
    }
}

TEST(CalcBase, SegmentsAreAtLeast500TicksLong)
{
    // 800 flat ticks before a rise to the peak at 809. Segments of up to 501 samples split the flat run at 501 and
    // the piece nearer the peak wins; a limit of 1000 ticks (100 ms at 0.1 ms) takes the whole run, while 1 ms
    // (10 ticks) still means 500.
    std::vector<float> s(800, -80.0f);
    Ramp(s, 20.0f, 10);
    Ramp(s, -80.0f, 10);
    const Recording r(s);
    const std::vector<EventPkStm> peak{Event(809, 20.0, CX::Enum::kKindPeak)};
    const struct {
        const char16_t* text;
        LONG first;
    } cases[] = {{u"1 0 5 -1 -1 0 0", 501}, {u"1 1 5 -1 -1 0 0", 501}, {u"1 100 5 -1 -1 0 0", 0}};
    for (const auto& c : cases) {
        const auto got = Baselines(r, c.text, peak);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].baselineStart, c.first) << KVO::String(c.text).ToUtf8();
        EXPECT_EQ(got[0].baselineEnd, 799);
        EXPECT_EQ(got[0].baseline, -80.0f);
    }
}

TEST(CalcBase, SearchWindowAfterTheStimulus)
{
    // -80 until the stimulus at 1000, a short stretch at -60, then the rise to the peak at 1030. Without a window
    // the long stretch at -80 wins; a window from 0 ms to 5 ms after the stimulus leaves only the stretch at -60.
    std::vector<float> s(1000, -80.0f);
    s.resize(1020, -60.0f);
    Ramp(s, 50.0f, 11);
    Ramp(s, -80.0f, 20);
    const Recording r(s);
    const std::vector<EventPkStm> events{Event(1000, 1.0, CX::Enum::kKindStimulus),
                                         Event(1030, 50.0, CX::Enum::kKindPeak)};
    const struct {
        const char16_t* text;
        float level;
        LONG first, last;
    } cases[] = {
        {u"1 -1 -1 -1 -1 0 0", -80.0f, 501, 999},
        {u"1 -1 -1 0 5 0 0", -60.0f, 1000, 1019},
        {u"1 -1 -1 0 -1 0 0", -80.0f, 501, 999}, // one negative end switches the window off
        {u"1 -1 -1 -1 5 0 0", -80.0f, 501, 999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(KVO::String(c.text).ToUtf8());
        const auto got = Baselines(r, c.text, events);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].tick, 1030);
        EXPECT_EQ(got[0].stimulusTick, 1000);
        EXPECT_EQ(got[0].baseline, c.level);
        EXPECT_EQ(got[0].baselineStart, c.first);
        EXPECT_EQ(got[0].baselineEnd, c.last);
    }
}

TEST(CalcBase, NoSegmentOpensPastTheSearchEnd)
{
    // Rest at 0, a stimulus at 1000, a level of 8 for 10 ms, a long level of 1, and the rise to the peak at 1500.
    // With a window of 0 to 5 ms (ticks 1000 to 1050) only the level of 8 opens inside it: it runs on to its own
    // end at 1099, and the level of 1 that starts after the window end does not compete. Without a window the
    // long level of 1 nearest the peak wins.
    std::vector<float> s(1000, 0.0f);
    s.resize(1100, 8.0f);
    s.resize(1490, 1.0f);
    Ramp(s, 50.0f, 11);
    Ramp(s, 0.0f, 20);
    const Recording r(s);
    const std::vector<EventPkStm> events{Event(1000, 1.0, CX::Enum::kKindStimulus),
                                         Event(1500, 50.0, CX::Enum::kKindPeak)};
    const struct {
        const char16_t* text;
        float level;
        LONG first, last;
    } cases[] = {
        {u"1 -1 -1 0 5 0 0", 8.0f, 1000, 1099},
        {u"1 -1 -1 -1 -1 0 0", 1.0f, 1100, 1489},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(KVO::String(c.text).ToUtf8());
        const auto got = Baselines(r, c.text, events);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].baseline, c.level);
        EXPECT_EQ(got[0].baselineStart, c.first);
        EXPECT_EQ(got[0].baselineEnd, c.last);
        EXPECT_EQ(got[0].polarity, 1.0f);
    }
}

TEST(CalcBase, AStimulusWithoutResponseHasNoFallbackLevel)
{
    // Rest at -70 with stimuli at 1000 and 3000 and no peak. With a search window no segment can close after the
    // stimulus, and the stimulus marker's value is no sample: no level, rather than 0.999999 times the marker.
    // Without a window the rest before the stimulus is its baseline; a peak on a flat line still falls back to
    // 0.999999 times its own value.
    std::vector<float> s(4000, -70.0f);
    const Recording r(s);
    const std::vector<EventPkStm> stimuli{Event(1000, 1.0, CX::Enum::kKindStimulus),
                                          Event(3000, 1.0, CX::Enum::kKindStimulus)};
    const auto windowed = Baselines(r, u"1 -1 -1 0 5 0 0", stimuli);
    ASSERT_EQ(windowed.size(), 2u);
    for (const auto& b : windowed) {
        SCOPED_TRACE(b.tick);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(b.baseline), CX::Enum::kUnsetFloatBits);
        EXPECT_EQ(b.baselineStart, b.tick - 1);
        EXPECT_EQ(b.baselineEnd, b.tick - 1);
        EXPECT_EQ(b.polarity, 1.0f);
    }
    const auto open = Baselines(r, u"1 -1 -1 -1 -1 0 0", stimuli);
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].baseline, -70.0f);
    EXPECT_EQ(open[1].baseline, -70.0f);
    const struct {
        const char16_t* text;
        float level;
    } levels[] = {{u"1 -1 -1 0 5 1 -65", -65.0f}, {u"1 -1 -1 0 5 2 0", -70.0f}}; // fixed, minimum
    for (const auto& c : levels) {
        SCOPED_TRACE(KVO::String(c.text).ToUtf8());
        const auto got = Baselines(r, c.text, stimuli);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].baseline, c.level);
        EXPECT_EQ(got[1].baseline, c.level);
    }
    const auto flat = Baselines(r, u"1 -1 -1 -1 -1 0 0", {Event(2000, -70.0, CX::Enum::kKindPeak)});
    ASSERT_EQ(flat.size(), 1u);
    EXPECT_EQ(flat[0].baseline, static_cast<float>(-70.0f * 0.999999));
    EXPECT_EQ(flat[0].baselineEnd, 1999);
}

// The last tick before `end` from `origin` on whose sample lies at or beyond `level` away from the peak.
LONG LastAtLevel(const std::vector<float>& s, LONG origin, LONG end, float level, float polarity)
{
    LONG found = -1;
    for (LONG t = origin; t < end; ++t) {
        if (s[static_cast<std::size_t>(t)] * polarity <= level * polarity) {
            found = t;
        }
    }
    return found;
}

// Noisy rest at -80 with a dip of its own before each of two action potentials: one up to +20, one down to -180.
struct TwoPeaks {
    std::vector<float> s;
    LONG up = 0;
    LONG down = 0;
    std::vector<EventPkStm> Peaks() const
    {
        return {Event(up, s[up], CX::Enum::kKindPeak), Event(down, s[down], CX::Enum::kKindPeak)};
    }
};

TwoPeaks MakeTwoPeaks()
{
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 1.5f);
    TwoPeaks p;
    std::vector<float>& s = p.s;
    auto rest = [&](int n) {
        for (int i = 0; i < n; ++i) {
            s.push_back(-80.0f + noise(random));
        }
    };
    rest(300);
    s[120] = -95.0f;
    Ramp(s, 20.0f, 8);
    p.up = static_cast<LONG>(s.size()) - 1;
    Ramp(s, -80.0f, 30);
    rest(400);
    s[static_cast<std::size_t>(p.up) + 200] = -97.0f;
    Ramp(s, -180.0f, 8);
    p.down = static_cast<LONG>(s.size()) - 1;
    Ramp(s, -80.0f, 30);
    rest(100);
    return p;
}

TEST(CalcBase, FixedLevelAndMinimum)
{
    const TwoPeaks two = MakeTwoPeaks();
    const std::vector<float>& s = two.s;
    const LONG up = two.up;
    const Recording r(s);
    const std::vector<EventPkStm> peaks = two.Peaks();

    // Fixed level -75: the first peak lies above it, the second below; the baseline ends at the last sample
    // before the peak on the far side of the level, counted from the previous peak on.
    const auto fixed = Baselines(r, u"1 -1 -1 -1 -1 1 -75", peaks);
    ASSERT_EQ(fixed.size(), 2u);
    const LONG origins[] = {0, up};
    const float polarities[] = {1.0f, -1.0f};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fixed[i].baseline, -75.0f);
        EXPECT_EQ(fixed[i].polarity, polarities[i]);
        const LONG last = LastAtLevel(s, origins[i], fixed[i].tick, -75.0f, polarities[i]);
        ASSERT_GT(last, origins[i]);
        EXPECT_EQ(fixed[i].baselineEnd, last);
        EXPECT_EQ(fixed[i].baselineStart, last - 1);
    }

    // Minimum: the lowest sample since the previous peak, the baseline ending at it.
    const auto lowest = Baselines(r, u"1 -1 -1 -1 -1 2 0", peaks);
    ASSERT_EQ(lowest.size(), 2u);
    const LONG from[] = {0, up + 1};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const auto begin = s.begin() + from[i];
        const auto minimum = std::min_element(begin, s.begin() + lowest[i].tick);
        EXPECT_EQ(lowest[i].baseline, *minimum);
        EXPECT_EQ(lowest[i].polarity, 1.0f);
        EXPECT_EQ(lowest[i].baselineEnd, minimum - s.begin());
        EXPECT_EQ(lowest[i].baselineStart, minimum - s.begin() - 1);
    }
}

TEST(CalcBase, ABlockStillBeingSampledGivesTheSameBaselines)
{
    // The samples arrive in two parts: split after the dip before the first peak, or after the one before the
    // second. A measurement cut off by the missing samples goes on when they come, as if they had all been there.
    const TwoPeaks two = MakeTwoPeaks();
    const Recording finished(two.s);
    for (const std::size_t split : {std::size_t{150}, static_cast<std::size_t>(two.up) + 250}) {
        for (const char16_t* text : {u"1 -1 -1 -1 -1 0 0", u"1 -1 -1 -1 -1 1 -75", u"1 -1 -1 -1 -1 2 0"}) {
            SCOPED_TRACE(::testing::Message() << KVO::String(text).ToUtf8() << ", split at " << split);
            const auto expected = Baselines(finished, text, two.Peaks());
            ASSERT_EQ(expected.size(), 2u);
            auto document = host::Document::Create();
            document->AddChannel(u"Vm", u"mV");
            const int block = document->AddBlock(0.0001, true);
            document->Append(block, 0, std::span(two.s).first(split));
            ComPtr<ICalcEnum> calc = Make<Base::Family>(text);
            ComPtr<IEnumFloatEx> samples = document->OpenSamples(block, 0);
            ComPtr<IEnumEventEx> peaks = host::OpenEvents(host::EventArray::Of(two.Peaks()));
            ASSERT_EQ(Bind(calc.Get(), block, {samples.Get(), peaks.Get()}, 0.0001, -1), S_OK);
            ComPtr<IEnumEventEx> events = Events(calc.Get());
            std::vector<EventBCalcBase> got(4);
            LONG count = 0;
            LONG next = 0;
            EXPECT_EQ(events->Next(4 * sizeof(EventBCalcBase), -1, got.data(), &count, &next), S_OK);
            ASSERT_EQ(count, split < 200 ? 0 : 1) << "a peak waits for its samples";
            got.resize(static_cast<std::size_t>(count));
            document->Append(block, 0, std::span(two.s).subspan(split));
            document->FinishBlock(block);
            for (const EventBCalcBase& r : ReadAll<EventBCalcBase>(events.Get())) {
                got.push_back(r);
            }
            ExpectSameEvents(expected, got, "after the rest of the samples came");
        }
    }
}

TEST(CalcBase, MinimumWithoutASampleBeforeTheEventIsUnset)
{
    // Peaks at tick 0 and right after another have no sample to take a minimum of: no level (not an infinite
    // one), polarity +1, and the baseline span of a level that is never crossed.
    std::vector<float> s{5.0f, 3.0f, 4.0f, 1.0f, 2.0f, 9.0f, 8.0f, 7.0f};
    const Recording r(s);
    const auto got = Baselines(r, u"1 -1 -1 -1 -1 2 0",
                               {Event(0, 5.0, CX::Enum::kKindPeak), Event(4, 2.0, CX::Enum::kKindPeak),
                                Event(5, 9.0, CX::Enum::kKindPeak)});
    ASSERT_EQ(got.size(), 3u);
    for (const std::size_t i : {0u, 2u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got[i].baseline), CX::Enum::kUnsetFloatBits);
        EXPECT_EQ(got[i].polarity, 1.0f);
    }
    EXPECT_EQ(got[0].baselineStart, 0);
    EXPECT_EQ(got[0].baselineEnd, 0);
    EXPECT_EQ(got[2].baselineStart, 4); // from the previous peak: the lowest sample before 5 is at 4
    EXPECT_EQ(got[2].baselineEnd, 4);
    EXPECT_EQ(got[1].baseline, 1.0f); // ticks 1 to 3
    EXPECT_EQ(got[1].baselineEnd, 3);
}

TEST(CalcBase, StimuliArePairedWithThePeakAfterThem)
{
    std::vector<float> s(3000, -70.0f);
    const Recording r(s);
    const double nan = std::bit_cast<double>(0x7FF8600000000000ull);
    // A peak alone, a stimulus followed by a stimulus (measured alone), a stimulus with its peak, and a last
    // stimulus without one.
    const auto got = Baselines(r, u"1 -1 -1 -1 -1 1 -70",
                               {Event(100, -20.0, CX::Enum::kKindPeak), Event(500, 1.0, CX::Enum::kKindStimulus),
                                Event(900, 1.0, CX::Enum::kKindStimulus), Event(950, -30.0, CX::Enum::kKindPeak),
                                Event(2000, 1.0, CX::Enum::kKindStimulus)});
    const struct {
        LONG tick, stimulus;
        double value;
    } expected[] = {{100, -1, -20.0}, {500, 500, nan}, {950, 900, -30.0}, {2000, 2000, nan}};
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].tick, expected[i].tick);
        EXPECT_EQ(got[i].stimulusTick, expected[i].stimulus);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got[i].value), std::bit_cast<std::uint64_t>(expected[i].value));
        EXPECT_EQ(got[i].offset, 0.0f);
    }
}

// The whole state of a search, for comparing two bit for bit.
void ExpectSameSearch(const Base::SegmentSearch& a, const Base::SegmentSearch& b)
{
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a.sum), std::bit_cast<std::uint64_t>(b.sum));
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.noneOpen, b.noneOpen);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(a.first), std::bit_cast<std::uint32_t>(b.first));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a.band), std::bit_cast<std::uint64_t>(b.band));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a.bestScore), std::bit_cast<std::uint64_t>(b.bestScore));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(a.bestMean), std::bit_cast<std::uint32_t>(b.bestMean));
    EXPECT_EQ(a.bestFirst, b.bestFirst);
    EXPECT_EQ(a.bestLast, b.bestLast);
}

// A signal for the segment search: noisy levels, declining plateaus and decays, with flat runs of one value (equal
// scores), ADC steps (ties and zeros) and now and then a NaN, an infinity or a signed zero.
std::vector<float> SearchSignal(std::mt19937& random, int length)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<float> s;
    double level = unit(random) - 0.5;
    while (static_cast<int>(s.size()) < length) {
        const int span = 20 + static_cast<int>(unit(random) * 600);
        const double noise = unit(random) < 0.15 ? 0.0 : 0.001 + unit(random) * 0.04;
        std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
        const int shape = static_cast<int>(unit(random) * 3);
        const double to = unit(random) * 1.4 - 0.4;
        const bool steps = unit(random) < 0.25;
        for (int i = 0; i < span; ++i) {
            const double x = static_cast<double>(i) / span;
            const double clean = shape == 0 ? level : shape == 1 ? level + (to - level) * x
                                                                  : to + (level - to) * std::exp(-5.0 * x);
            auto v = static_cast<float>(clean + (noise > 0.0 ? gauss(random) : 0.0));
            if (steps) {
                v = std::round(v * 200.0f) / 200.0f;
            }
            s.push_back(v);
        }
        level = shape == 0 ? level : to;
    }
    s.resize(static_cast<std::size_t>(length));
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 0.0f, -0.0f};
    for (float special : specials) {
        if (unit(random) < 0.2) {
            s[static_cast<std::size_t>(unit(random) * length)] = special;
        }
    }
    return s;
}

TEST(CalcBase, FeedingRunsOfSamplesEqualsFeedingEachSample)
{
    // The run feed hops over short segments and finds the lengths of a block of segments at once; it must leave the
    // search exactly as the feed of one sample at a time, whatever the signal, the tolerance, the longest segment,
    // the search window and wherever the runs are cut.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const float tolerances[] = {5.0f, 5.0f, 2.0f, 20.0f, 0.0f, 50.0f, -3.0f};
    const LONG lengths[] = {10000, 500, 8, 3};
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const int length = 50 + static_cast<int>(unit(random) * 5000);
        const std::vector<float> s = SearchSignal(random, length);
        Base::SegmentSearch one;
        one.tolerancePercent = tolerances[round % std::size(tolerances)];
        one.maxLength = lengths[(round / 7) % std::size(lengths)];
        const LONG from = static_cast<LONG>(unit(random) * 30);
        one.eventTick = length;
        one.eventValue = unit(random) < 0.5 ? static_cast<float>(0.6 + unit(random))
                                            : s[static_cast<std::size_t>(unit(random) * length)];
        if (round % 3 == 0) {
            one.windowStart = from + static_cast<LONG>(unit(random) * length / 2);
            one.windowEnd = one.windowStart + static_cast<LONG>(unit(random) * length / 2);
        }
        Base::SegmentSearch runs = one;
        for (LONG t = from; t < length; ++t) {
            one.Feed(t, s[static_cast<std::size_t>(t)]);
        }
        for (LONG t = from; t < length;) {
            const LONG n = std::min<LONG>(length - t, 1 + static_cast<LONG>(unit(random) * unit(random) * 1100));
            runs.FeedRun(t, s.data() + t, n);
            t += n;
        }
        ExpectSameSearch(runs, one);
    }
}

TEST(CalcBase, LongSegmentsSumAsOneSampleAtATime)
{
    // Long segments are summed in lanes side by side where every partial sum is an exact double, else in turn.
    // Wide bands (an event far from the levels) make long segments of: ADC steps (exact), float noise far from zero
    // (exact), noise around zero with values of a tiny exponent now and then, huge values with tiny ones between
    // (whose sums round: in turn), sums past 2^53, runs of zeros and -0.0 (a -0.0 sum stays -0.0 in turn),
    // subnormals, NaN and infinities. The state after every run must be the state of the one-sample feed.
    std::mt19937 random(46);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 240; ++round) {
        SCOPED_TRACE(round);
        const int kind = round % 8;
        const int length = 200 + static_cast<int>(unit(random) * 3000);
        std::normal_distribution<double> gauss(0.0, 0.01);
        std::vector<float> s(static_cast<std::size_t>(length));
        double level = unit(random) - 0.5;
        for (int i = 0; i < length; ++i) {
            if (unit(random) < 0.004) {
                level = unit(random) - 0.5; // a step starts a new segment
            }
            const double v = level + gauss(random);
            const double odd = unit(random);
            float& x = s[static_cast<std::size_t>(i)];
            switch (kind) {
            case 0: x = static_cast<float>(std::round(v * 256.0) / 256.0); break;
            case 1: x = static_cast<float>(v - 60.0); break;
            case 2: x = static_cast<float>(odd < 0.02 ? v * 1e-20 : v - level); break;
            case 3: x = static_cast<float>(odd < 0.03 ? v * 1e-3 : v * 1e6); break;
            case 4: x = static_cast<float>(std::round(v * 4.0) * 0x1p51); break;
            case 5: x = odd < 0.5 ? (odd < 0.25 ? -0.0f : 0.0f) : static_cast<float>(std::round(v * 64.0) / 64.0); break;
            case 6: x = static_cast<float>(v * 0x1p-130); break;
            default: x = static_cast<float>(v); break;
            }
        }
        if (kind == 5) {
            std::fill_n(s.begin() + length / 3, 100, -0.0f);
        }
        if (kind == 7) {
            const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity()};
            for (int k = 0; k < 6; ++k) {
                s[static_cast<std::size_t>(unit(random) * length)] = specials[k % 3];
            }
        }
        Base::SegmentSearch one;
        one.tolerancePercent = 5.0f;
        one.maxLength = round % 5 == 0 ? 40 : 10000;
        one.eventTick = length;
        one.eventValue = kind == 3 ? 3e7f : kind == 4 ? 0x1p60f : kind == 6 ? 0x1p-120f : 30.0f;
        Base::SegmentSearch runs = one;
        LONG fed = 0;
        for (LONG t = 0; t < length;) {
            const LONG n = std::min<LONG>(length - t, 1 + static_cast<LONG>(unit(random) * 700));
            runs.FeedRun(t, s.data() + t, n);
            t += n;
            for (; fed < t; ++fed) {
                one.Feed(fed, s[static_cast<std::size_t>(fed)]);
            }
            ExpectSameSearch(runs, one);
        }
    }
}

TEST(CalcBase, TheSecondRunOverOtherSamplesSearchesAnew)
{
    // A search of the same stretch with the same settings takes the earlier search's result (the baseline stage
    // runs twice in a cardiac chain); a stretch whose samples differ, here the flat run before the third peak
    // raised by 0.25 (within the band), must be searched again: the same segment, with its own mean.
    std::mt19937 random(8);
    std::uniform_real_distribution<float> noise(-0.4f, 0.4f);
    std::vector<float> s{-60.0f};
    std::vector<EventPkStm> peaks;
    struct Stretch {
        LONG first, last;
    };
    std::vector<Stretch> stretches;
    for (int k = 0; k < 5; ++k) {
        const float level = -80.0f - 5.0f * static_cast<float>(k);
        const auto first = static_cast<LONG>(s.size());
        for (int i = 0; i < 150 + 20 * k; ++i) {
            s.push_back(level + noise(random));
        }
        stretches.push_back({first, static_cast<LONG>(s.size()) - 1});
        for (int j = 1; j <= 10; ++j) {
            s.push_back(level + 10.0f * static_cast<float>(j));
        }
        peaks.push_back(Event(static_cast<LONG>(s.size()) - 1, s.back(), CX::Enum::kKindPeak));
        for (int j = 9; j >= 1; --j) {
            s.push_back(level + 10.0f * static_cast<float>(j));
        }
    }
    std::vector<float> raised = s;
    for (LONG t = stretches[2].first; t <= stretches[2].last; ++t) {
        raised[static_cast<std::size_t>(t)] += 0.25f;
    }
    const auto mean = [](const std::vector<float>& v, const Stretch& r) {
        double sum = 0.0;
        for (LONG t = r.first; t <= r.last; ++t) {
            sum += v[static_cast<std::size_t>(t)];
        }
        return sum / (r.last - r.first + 1);
    };
    const Recording before(s);
    const Recording after(raised);
    const auto first = Baselines(before, u"1 -1 -1 -1 -1 -1 0", peaks);
    const auto second = Baselines(after, u"1 -1 -1 -1 -1 -1 0", peaks);
    ASSERT_EQ(first.size(), peaks.size());
    ASSERT_EQ(second.size(), peaks.size());
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        SCOPED_TRACE(k);
        for (const auto& [got, samples] : {std::pair{&first[k], &s}, std::pair{&second[k], &raised}}) {
            EXPECT_EQ(got->baselineStart, stretches[k].first);
            EXPECT_EQ(got->baselineEnd, stretches[k].last);
            EXPECT_NEAR(got->baseline, mean(*samples, stretches[k]), 1e-4);
        }
    }
    EXPECT_NEAR(second[2].baseline - first[2].baseline, 0.25f, 1e-4);
}

TEST(CalcBase, ParameterTextDefaultsAndRounding)
{
    ComPtr<ICalcEnum> calc = Make<Base::Family>(u"1 -1 -1 -1 -1 -1 -1 0 0 0 0");
    ComPtr<IKVOString> text;
    ASSERT_EQ(calc->Write(text.Out()), S_OK);
    KVO::String written;
    written.AssignInterface(text.Get());
    EXPECT_EQ(written.ToUtf8(), "0 5 -1 -1 0 -1 0 0 2147483647 2147483647");
    calc = Make<Base::Family>(u"1 12.5 7 3 9 1.6 -2.5");
    ASSERT_EQ(calc->Write(text.Out()), S_OK);
    written.AssignInterface(text.Get());
    EXPECT_EQ(written.ToUtf8(), "12.5 7 3 9 2 -2.5 0 0 2147483647 2147483647");
}

} // namespace
