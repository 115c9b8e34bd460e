#include "chain.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

using namespace enumharness;
using chain::Recording;
using CX::Enum::EventBCalcBase2;
using CX::Enum::EventBCalcMax;
namespace Base2 = CX::Enum::CalcBase2;

namespace {

constexpr float kRest = -80.0f;

// Plateau action potentials on a noisy rest: an upstroke of 5 ticks to 100 from rest, a plateau sagging to 80 %
// over 150 ticks, a repolarisation of 100 ticks down to 8 beyond rest and an exponential recovery towards 1 inside
// rest. Odd ones go the other way. Each comes with the amplitude stage's record: the event on the extreme, the
// rise starting at the last rest sample, the fall ending at the first sample back at rest.
struct Train {
    std::vector<float> s;
    std::vector<EventBCalcMax> records;
};

Train MakeTrain(unsigned seed, int count, bool recover = true)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    Train train;
    auto add = [&](float pol, float above) { train.s.push_back(kRest + pol * above + noise(random)); };
    for (int i = 0; i < 200; ++i) {
        add(1.0f, 0.0f);
    }
    for (int k = 0; k < count; ++k) {
        const float pol = k % 2 == 0 ? 1.0f : -1.0f;
        EventBCalcMax r;
        r.riseStart = static_cast<LONG>(train.s.size()) - 1;
        for (int j = 1; j <= 5; ++j) {
            add(pol, 20.0f * static_cast<float>(j));
        }
        r.tick = r.maxTick = static_cast<LONG>(train.s.size()) - 1;
        for (int j = 1; j <= 150; ++j) {
            add(pol, 100.0f - 20.0f * static_cast<float>(j) / 150.0f);
        }
        for (int j = 1; j <= 100; ++j) {
            add(pol, 80.0f - 88.0f * static_cast<float>(j) / 100.0f);
        }
        for (int j = 1; j <= 300 + 20 * k; ++j) {
            add(pol, recover ? -8.0f + 9.0f * (1.0f - std::exp(-static_cast<float>(j) / 30.0f)) : -5.0f);
        }
        r.value = r.maxValue = train.s[static_cast<std::size_t>(r.tick)];
        r.baseline = kRest;
        r.polarity = pol;
        r.baselineEnd = r.riseStart;
        r.fallEnd = r.tick + 1;
        while (train.s[static_cast<std::size_t>(r.fallEnd)] * pol > kRest * pol) {
            ++r.fallEnd;
        }
        train.records.push_back(r);
    }
    for (std::size_t k = 0; k < train.records.size(); ++k) {
        train.records[k].nextEventTick =
            k + 1 < train.records.size() ? train.records[k + 1].EarliestTick() : CX::Enum::kLastEventNext;
    }
    return train;
}

// What the stage must find, from the levels' definitions: `from` is where the scan of the event starts.
struct Expected {
    LONG rise = -1, fall = -1, tauStart = -1, tauEnd = -1, ten = -1, back = -1;
    float overshoot = 0.0f, lowest = 0.0f, highest = 0.0f;
};

Expected Scan(const std::vector<float>& s, const EventBCalcMax& in, LONG from, const int pct[4])
{
    Expected e;
    const float pol = in.polarity;
    const double h = in.value - in.baseline;
    const double mid = pct[0] * 0.01 * h + in.baseline;
    const double tauStart = pct[1] * 0.01 * h + in.baseline;
    const double tauEnd = (pct[2] * 0.01 + 0.000005) * h + in.baseline;
    const double ten = 0.1 * h + in.baseline;
    auto first = [&](LONG a, LONG b, auto beyond) {
        for (LONG t = a; t < b; ++t) {
            if (beyond(s[t])) {
                return t;
            }
        }
        return LONG{-1};
    };
    const LONG end = std::min<LONG>(in.nextEventTick, static_cast<LONG>(s.size()));
    e.rise = first(from, in.tick, [&](float v) { return v * pol > mid * pol; });
    e.fall = first(in.tick, in.fallEnd + 1, [&](float v) { return v * pol < mid * pol; });
    e.tauStart = first(in.tick, in.fallEnd + 1, [&](float v) { return v * pol <= tauStart * pol; });
    e.tauEnd = first(in.tick, in.fallEnd + 1, [&](float v) { return v * pol <= tauEnd * pol; });
    e.ten = first(in.tick, in.fallEnd + 1, [&](float v) { return v * pol <= ten * pol; });
    e.back = first(in.fallEnd + 1, end, [&](float v) { return v * pol >= in.baseline * pol; });
    const LONG stop = e.back < 0 ? end : e.back;
    e.lowest = e.highest = s[from];
    for (LONG t = from; t < stop; ++t) {
        e.lowest = std::min(e.lowest, s[t]);
        e.highest = std::max(e.highest, s[t]);
        if (t > in.fallEnd && std::fabs(s[t] - in.baseline) > std::fabs(e.overshoot)) {
            e.overshoot = s[t] - in.baseline;
        }
    }
    return e;
}

TEST(CalcBase2, PlateauCrossingsTauWindowAndReturnOfBothPolarities)
{
    const Train train = MakeTrain(4, 6);
    const Recording recording(train.s);
    const struct {
        const char16_t* text;
        int pct[4]; // mid plateau, tau start, tau end, plateau centre as stored
        const char* written;
    } cases[] = {
        {u"1 -1 -1 -1 -1", {50, 50, 5, 50}, "50 50 5 50"},
        {u"1 40 10 90 25", {40, 90, 10, 25}, "40 90 10 25"}, // tau start below tau end: the two swap
        {u"1 70.5 20 -0.5 0", {71, 20, -1, 0}, "71 20 -1 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(KVO::String(c.text).ToUtf8());
        ComPtr<ICalcEnum> stage = recording.Stage<Base2::Family>(c.text, train.records);
        ComPtr<IKVOString> text;
        ASSERT_EQ(stage->Write(text.Out()), S_OK);
        KVO::String written;
        written.AssignInterface(text.Get());
        EXPECT_EQ(written.ToUtf8(), std::string(c.written) + " 0 0 2147483647 2147483647");
        const auto got = Recording::Read<EventBCalcBase2>(stage.Get());
        ASSERT_EQ(got.size(), train.records.size());
        LONG from = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            const EventBCalcMax& in = train.records[i];
            const Expected e = Scan(train.s, in, from, c.pct);
            ASSERT_GE(e.back, 0);
            EXPECT_EQ(std::memcmp(&got[i], &in, sizeof in), 0) << "the amplitude record is passed on";
            EXPECT_EQ(got[i].tauStart, e.tauStart);
            EXPECT_EQ(got[i].tauEnd, e.tauEnd);
            EXPECT_EQ(got[i].returnTick, e.back);
            EXPECT_EQ(got[i].tailOvershoot, e.overshoot);
            EXPECT_EQ(got[i].lowest, e.lowest);
            EXPECT_EQ(got[i].highest, e.highest);
            ASSERT_GE(e.rise, 0);
            ASSERT_GE(e.fall, 0);
            EXPECT_EQ(got[i].midPlateauCentre, (e.rise + e.fall) / 2);
            const double p = c.pct[3] * 0.01;
            EXPECT_EQ(got[i].plateauCentre, static_cast<LONG>((1 - p) * in.riseStart + e.ten * p + 0.5));
            EXPECT_EQ(got[i].reserved104, -1);
            EXPECT_EQ(got[i].reserved108, -1);
            from = e.back;
        }
    }
}

TEST(CalcBase2, ASignalThatNeverComesBack)
{
    // The last action potential settles 5 beyond rest: no return tick, and the overshoot says so with its own NaN.
    const Train train = MakeTrain(9, 3, false);
    const Recording recording(train.s);
    const auto got = Recording::Read<EventBCalcBase2>(recording.Stage<Base2::Family>(u"1", train.records).Get());
    ASSERT_EQ(got.size(), 3u);
    for (const auto& r : got) {
        EXPECT_EQ(r.returnTick, -1);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(r.tailOvershoot), 0x7FC30000u);
        EXPECT_NE(r.tauEnd, -1);
    }
}

TEST(CalcBase2, ExtremesOfEventsWithoutAValueOrWithoutSamples)
{
    // An event without a value gets the extremes of its stretch only (here the whole block); the event after it
    // finds no sample left: its extremes stay unset.
    std::vector<float> s{1.0f, 4.0f, -2.0f, 3.0f, 0.5f, 7.0f};
    const Recording recording(s);
    EventBCalcMax noValue;
    noValue.tick = 2;
    noValue.value = std::bit_cast<double>(0x7FF8600000000000ull);
    noValue.baseline = 0.0f;
    noValue.fallEnd = 3;
    noValue.nextEventTick = 100;
    EventBCalcMax late;
    late.tick = 100;
    late.value = 5.0;
    late.baseline = 0.0f;
    late.fallEnd = 101;
    late.nextEventTick = CX::Enum::kLastEventNext;
    const auto got = Recording::Read<EventBCalcBase2>(
        recording.Stage<Base2::Family>(u"1", std::vector<EventBCalcMax>{noValue, late}).Get());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].lowest, -2.0f);
    EXPECT_EQ(got[0].highest, 7.0f);
    EXPECT_EQ(got[0].tauStart, -1);
    EXPECT_EQ(got[0].midPlateauCentre, -1);
    EXPECT_EQ(got[0].plateauCentre, -1);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[1].lowest), CX::Enum::kUnsetFloatBits);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[1].highest), CX::Enum::kUnsetFloatBits);
    EXPECT_EQ(got[1].returnTick, -1);
}

TEST(CalcBase2, EquivalentReadsOnAPlateauTrain)
{
    const Train train = MakeTrain(12, 30);
    const Recording recording(train.s);
    const auto all = ExpectEquivalentReads<EventBCalcBase2>(
        [&] { return recording.Stage<Base2::Family>(u"1 -1 -1 -1 -1", train.records); }, recording.Length());
    EXPECT_EQ(all.size(), train.records.size());
}

TEST(CalcBase2, ExtremesKeepTheEarlierOfTwoZeros)
{
    // Two zeros of opposite sign at the lowest (then at the highest) sample of a stretch: the earlier one is the
    // extreme, as a later equal sample does not replace it, wherever the two fall among the samples taken together.
    // A NaN is passed over.
    std::vector<float> s(80);
    for (int k = 0; k < 40; ++k) {
        s[static_cast<std::size_t>(k)] = 1.0f + 0.01f * static_cast<float>(k);
        s[static_cast<std::size_t>(40 + k)] = -1.0f - 0.01f * static_cast<float>(k);
    }
    s[6] = -0.0f;
    s[21] = 0.0f;
    s[30] = std::numeric_limits<float>::quiet_NaN();
    s[46] = 0.0f;
    s[61] = -0.0f;
    const Recording recording(s);
    EventBCalcMax first;
    first.tick = 10;
    first.value = std::bit_cast<double>(0x7FF8600000000000ull);
    first.nextEventTick = 40;
    EventBCalcMax second = first;
    second.tick = 50;
    second.nextEventTick = CX::Enum::kLastEventNext;
    const auto got = Recording::Read<EventBCalcBase2>(
        recording.Stage<Base2::Family>(u"1", std::vector<EventBCalcMax>{first, second}).Get());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[0].lowest), 0x80000000u);
    EXPECT_EQ(got[0].highest, s[39]);
    EXPECT_EQ(got[1].lowest, s[79]);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[1].highest), 0u);
}

} // namespace
