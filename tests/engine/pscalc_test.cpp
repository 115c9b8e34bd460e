#include "enum_harness.h"

#include "engine/pscalc.h"
#include "host/document.h"
#include "host/eventarray.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace enumharness;
using CX::Enum::EventFCalc;
using CX::Enum::EventPkStm;
using CX::Enum::kUnsetFloat;
namespace PS = CX::Enum::PSCalc;

namespace {

constexpr double kT = 0.0005;

bool Unset(float value) { return std::bit_cast<std::uint32_t>(value) == CX::Enum::kUnsetFloatBits; }

EventPkStm Event(LONG tick, double value, std::int32_t kind)
{
    EventPkStm e;
    e.tick = tick;
    e.value = value;
    e.kind = kind;
    return e;
}

// A response after a stimulus at s: flat 0 up to s, a linear rise to the first peak, linear to the trough, to the
// second peak, and back to 0 over `back` ticks; the detector's four events with it.
struct Response {
    LONG stimulus;
    LONG p1;
    float v1;
    LONG trough;
    float vt;
    LONG p2;
    float v2;
    LONG back = 30;
};

struct Recording {
    std::vector<float> samples;
    std::vector<EventPkStm> events;

    explicit Recording(LONG length) : samples(static_cast<std::size_t>(length), 0.0f) {}

    void Line(LONG a, float va, LONG b, float vb)
    {
        for (LONG t = a; t <= b; ++t) {
            samples[t] = va + (vb - va) * static_cast<float>(t - a) / static_cast<float>(b - a);
        }
    }
    void Add(const Response& r, bool spike = true)
    {
        events.push_back(Event(r.stimulus, 1.0, CX::Enum::kKindStimulus));
        if (!spike) {
            return;
        }
        Line(r.stimulus, 0.0f, r.p1, r.v1);
        Line(r.p1, r.v1, r.trough, r.vt);
        Line(r.trough, r.vt, r.p2, r.v2);
        Line(r.p2, r.v2, r.p2 + r.back, 0.0f);
        events.push_back(Event(r.p1, r.v1, CX::Enum::kKindPeak));
        events.push_back(Event(r.trough, r.vt, CX::Enum::kKindPeak));
        events.push_back(Event(r.p2, r.v2, CX::Enum::kKindPeak));
    }
};

struct Stage {
    std::shared_ptr<host::Document> document = host::Document::Create();
    std::shared_ptr<const host::EventArray> events;

    explicit Stage(const Recording& r)
    {
        document->AddChannel(u"Field", u"mV");
        document->SetSamples(document->AddBlock(kT), 0, r.samples);
        events = host::EventArray::Of(r.events);
    }
    ComPtr<ICalcEnum> Bound(const char16_t* text) const
    {
        ComPtr<ICalcEnum> calc = Make<PS::Family>(text);
        ComPtr<IEnumFloatEx> samples = document->OpenSamples(0, 0);
        ComPtr<IEnumEventEx> inner = host::OpenEvents(events);
        EXPECT_EQ(Bind(calc.Get(), 0, {samples.Get(), inner.Get()}, kT), S_OK);
        return calc;
    }
    std::vector<EventFCalc> Run(const char16_t* text) const
    {
        return ReadAll<EventFCalc>(Events(Bound(text).Get()).Get());
    }
};

// The sum of the samples from the first peak up to (not including) the second, from the recording itself.
double SumBetween(const Recording& r, LONG a, LONG b)
{
    float sum = 0.0f;
    for (LONG t = a; t < b; ++t) {
        sum += r.samples[t];
    }
    return sum;
}

TEST(PSCalc, HeightAreaSlopeAndValueOfAPeakTroughPeakResponse)
{
    Recording rec(2000);
    const Response first{100, 120, 5.0f, 140, -10.0f, 170, 3.0f};
    rec.Add(first);
    rec.Add({600, 630, 8.0f, 655, -4.0f, 680, 8.0f});
    const Stage stage(rec);
    // Slope over 5 .. 9.5 ms after the stimulus (ticks 10 .. 19, on the rise of 0.25 per tick); value at 15 ms.
    const auto out = stage.Run(u"2 5 9.5 15 0 0 0 0");
    ASSERT_EQ(out.size(), 2u);
    const EventFCalc& a = out[0];
    EXPECT_EQ(a.tick, 120);
    EXPECT_EQ(a.value, 5.0);
    EXPECT_EQ(a.stimulusTick, 100);
    EXPECT_EQ(a.riseStart, 120);
    EXPECT_EQ(a.fallEnd, 195) << "half the peak distance after the second peak";
    EXPECT_EQ(a.reserved104, 140);
    EXPECT_EQ(a.reserved108, 170);
    EXPECT_EQ(a.count, 1);
    EXPECT_FLOAT_EQ(a.tStart, static_cast<float>(120 * kT));
    // The trough lies 2/5 of the way between the peaks: the chord there is 0.6 x 5 + 0.4 x 3 = 4.2.
    EXPECT_FLOAT_EQ(a.popSpikeHeight, 14.2f);
    // The chord's integral less the samples' left sum: the triangle between chord and signal (355 tick units)
    // less half the peaks' difference (the left sum's excess), checked against the samples as well.
    EXPECT_NEAR(a.popSpikeArea, 354.0 * kT, 1e-6);
    EXPECT_NEAR(a.popSpikeArea, ((5.0 + 3.0) * 0.5 * 50 - SumBetween(rec, 120, 170)) * kT, 1e-6);
    EXPECT_FLOAT_EQ(a.slope, static_cast<float>(0.25 / kT));
    EXPECT_FLOAT_EQ(a.valueAt, -2.5f) << "tick 130, halfway down to the trough";
    EXPECT_FLOAT_EQ(a.lowest, -10.0f);
    EXPECT_FLOAT_EQ(a.highest, 5.0f);
    // Equal peaks with the trough anywhere: the height is peak - trough.
    EXPECT_FLOAT_EQ(out[1].popSpikeHeight, 12.0f);
    EXPECT_EQ(out[1].count, 2);
    EXPECT_TRUE(Unset(a.unread144)) << "no tau in this stage";
}

TEST(PSCalc, StimulusWithoutSpikeAndMissingValues)
{
    Recording rec(1200);
    rec.Add({100, 0, 0, 0, 0, 0, 0}, false);
    rec.Add({300, 320, 5.0f, 340, -10.0f, 370, 3.0f});
    rec.Add({500, 0, 0, 0, 0, 0, 0}, false);
    const Stage stage(rec);
    // Value at 150 ms (300 ticks) lies beyond the next stimulus for the spike at 300.
    const auto out = stage.Run(u"2 -1 -1 150 0 0 0 0");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].tick, 100);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(out[0].value), 0x7FF8600000000000ull);
    EXPECT_EQ(out[0].fallEnd, 101);
    EXPECT_EQ(out[0].stimulusTick, 100);
    EXPECT_EQ(out[0].count, -1) << "the counter is not advanced";
    EXPECT_TRUE(Unset(out[0].popSpikeHeight));
    EXPECT_EQ(out[1].tick, 320);
    EXPECT_EQ(out[1].count, 1);
    EXPECT_TRUE(Unset(out[1].valueAt));
    // "Slope Start ms" -1 is the default 0 and the end 100 ms: the window starts at the stimulus.
    EXPECT_FALSE(Unset(out[1].slope));
    EXPECT_EQ(out[2].tick, 500);
    EXPECT_EQ(out[2].count, -1);

    // A stimulus followed by part of a spike only: a record for the stimulus alone.
    Recording partial(800);
    partial.events = {Event(100, 1, 1), Event(120, 5, 2), Event(140, -3, 2), Event(400, 1, 1), Event(420, 5, 2),
                      Event(440, -3, 2), Event(470, 2, 2)};
    const auto cut = Stage(partial).Run(u"2 0 100 100 0 0 0 0");
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].tick, 100);
    EXPECT_EQ(cut[0].fallEnd, 101);
    EXPECT_EQ(cut[1].tick, 420);
    EXPECT_EQ(cut[1].count, 1);
}

TEST(PSCalc, EquivalentReadsOnALongBlock)
{
    std::mt19937 random(5);
    Recording rec(330000);
    for (LONG s = 200; s + 400 < 330000; s += std::uniform_int_distribution<LONG>(300, 2500)(random)) {
        const LONG p1 = s + std::uniform_int_distribution<LONG>(5, 40)(random);
        const LONG trough = p1 + std::uniform_int_distribution<LONG>(5, 60)(random);
        const LONG p2 = trough + std::uniform_int_distribution<LONG>(5, 60)(random);
        const bool spike = std::uniform_int_distribution<int>(0, 6)(random) != 0;
        rec.Add({s, p1, 4.0f, trough, -6.0f, p2, 3.0f, 40}, spike);
    }
    const Stage stage(rec);
    const auto all = ExpectEquivalentReads<EventFCalc>([&] { return stage.Bound(u"2 1 8 20 0 0 0 0"); }, 330000);
    EXPECT_GT(all.size(), 200u);
}

TEST(PSCalc, ParameterDefaults)
{
    EXPECT_EQ(Written(Make<PS::Family>(u"2 -1 -1 -1").Get()), u"0 100 100 0 0 2147483647 2147483647");
}

} // namespace
