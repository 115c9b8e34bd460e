#include "chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace enumharness;
using chain::Recording;
using CX::Enum::EventBCalcBase;
using CX::Enum::EventBCalcMax;
namespace AMax = CX::Enum::CalcAMax;

namespace {

constexpr float kRest = -80.0f;

// Action potentials on a noisy rest at -80: a linear rise of 20 ticks to +-100 from rest, then an exponential
// return (tau 40 ticks). The baseline stage's record of each puts the event 3 ticks before the true extreme (as a
// detector on a noisy upstroke may), a fraction of a tick off it, with the baseline ending 40 ticks before the rise.
struct Train {
    std::vector<float> s;
    std::vector<EventBCalcBase> records;
    std::vector<LONG> extremes;
};

Train MakeTrain(unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.5f);
    Train train;
    auto rest = [&](int n) {
        for (int i = 0; i < n; ++i) {
            train.s.push_back(kRest + noise(random));
        }
    };
    rest(150);
    for (int k = 0; k < 12; ++k) {
        const float pol = k % 2 == 0 ? 1.0f : -1.0f;
        const auto riseFrom = static_cast<LONG>(train.s.size());
        for (int j = 1; j <= 20; ++j) {
            train.s.push_back(kRest + pol * 5.0f * static_cast<float>(j) + noise(random));
        }
        const LONG extreme = static_cast<LONG>(train.s.size()) - 1;
        for (int j = 1; j <= 400; ++j) {
            train.s.push_back(kRest + pol * 100.0f * std::exp(-j / 40.0f) + noise(random));
        }
        rest(100 + 30 * k);
        EventBCalcBase r;
        r.tick = extreme - 3;
        r.offset = k % 2 == 0 ? 0.375f : -0.25f;
        r.value = train.s[static_cast<std::size_t>(r.tick)];
        r.baseline = kRest;
        r.polarity = pol;
        r.baselineStart = riseFrom - 41;
        r.baselineEnd = riseFrom - 40;
        train.records.push_back(r);
        train.extremes.push_back(extreme);
    }
    return train;
}

TEST(CalcAMax, RiseStartExtremeAndFallEndAtTheConfiguredLevels)
{
    const Train train = MakeTrain(3);
    const Recording recording(train.s);
    const auto& s = train.s;
    const struct {
        const char16_t* text;
        int start, end;
        bool reposition;
    } cases[] = {{u"1 -1 -1 -1", 5, 0, true}, {u"1 10 0 20", 10, 20, false}, {u"1 30 1 50", 30, 50, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(KVO::String(c.text).ToUtf8());
        const auto got =
            Recording::Read<EventBCalcMax>(recording.Stage<AMax::Family>(c.text, train.records).Get());
        ASSERT_EQ(got.size(), train.records.size());
        LONG scanFrom = 0; // each scan starts where the one before stopped: at its fall end
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            const EventBCalcBase& in = train.records[i];
            const float pol = in.polarity;
            const double h = in.value - in.baseline;
            const double startLevel = c.start * 0.01 * h + in.baseline;
            const double endLevel = c.end * 0.01 * h + in.baseline;
            // The rise starts at the last sample before the event still at the start level.
            LONG riseStart = -1;
            for (LONG t = scanFrom; t < in.tick; ++t) {
                if (s[t] * pol <= startLevel * pol) {
                    riseStart = t;
                }
            }
            // The fall ends at the first sample after the event back at the end level.
            LONG fallEnd = in.tick + 1;
            while (s[fallEnd] * pol > endLevel * pol) {
                ++fallEnd;
            }
            // The extreme: the first largest sample (on the peak's side) from the rise start to the fall end.
            LONG extreme = riseStart;
            for (LONG t = riseStart; t <= fallEnd; ++t) {
                if (s[t] * pol > s[extreme] * pol) {
                    extreme = t;
                }
            }
            EXPECT_EQ(extreme, train.extremes[i]) << "the synthetic extreme";
            EXPECT_EQ(got[i].riseStart, riseStart);
            EXPECT_EQ(got[i].fallEnd, fallEnd);
            EXPECT_EQ(got[i].maxTick, extreme);
            EXPECT_EQ(got[i].maxValue, s[extreme]);
            EXPECT_EQ(got[i].nextEventTick, i + 1 < got.size() ? train.records[i + 1].baselineEnd - 1 : 0x7FFFFFFF);
            EXPECT_EQ(got[i].tick, c.reposition ? extreme : in.tick);
            EXPECT_EQ(got[i].offset, c.reposition ? 0.0f : in.offset) << "a repositioned event lies on its sample";
            EXPECT_EQ(got[i].value, c.reposition ? s[extreme] : in.value);
            EXPECT_EQ(got[i].baseline, kRest);
            EXPECT_EQ(got[i].polarity, pol);
            EXPECT_EQ(got[i].kind, CX::Enum::kKindStage);
            scanFrom = fallEnd;
        }
    }
}

TEST(CalcAMax, EquivalentReadsWithAndWithoutRepositioning)
{
    // Without repositioning a record keeps the input's tick, before its extreme: a request that ends between the
    // two still delivers it.
    const Train train = MakeTrain(8);
    const Recording recording(train.s);
    for (const char16_t* text : {u"1 -1 0 -1", u"1 -1 1 -1"}) {
        const auto all = ExpectEquivalentReads<EventBCalcMax>(
            [&] { return recording.Stage<AMax::Family>(text, train.records); }, recording.Length());
        EXPECT_EQ(all.size(), train.records.size());
    }
}

TEST(CalcAMax, TheInputIsTheExtremeWhenTheScanFoundNoneBeyondIt)
{
    std::vector<float> s(200, kRest);
    s[50] = -20.0f;
    const Recording recording(s);
    // A positive event whose value lies above every sample; a negative event right where the scan before stopped,
    // with its baseline ending beyond the block, so that the scan sets no extreme at all; an event without a value.
    EventBCalcBase above;
    above.tick = 50;
    above.value = 5.0;
    above.baseline = kRest;
    above.baselineEnd = 40;
    EventBCalcBase deep;
    deep.tick = 51;
    deep.value = -180.0;
    deep.baseline = kRest;
    deep.polarity = -1.0f;
    deep.baselineEnd = 5000;
    EventBCalcBase noValue;
    noValue.tick = 160;
    noValue.value = std::bit_cast<double>(0x7FF8600000000000ull);
    noValue.baseline = kRest;
    noValue.baselineEnd = 150;
    // Without repositioning the record of the first event is delivered even to requests that end before its
    // extreme is known.
    const auto got = Recording::Read<EventBCalcMax>(
        recording.Stage<AMax::Family>(u"1 -1 1 -1", std::vector<EventBCalcBase>{above, deep, noValue}).Get());
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].tick, 50);
    EXPECT_EQ(got[0].maxTick, 50);
    EXPECT_EQ(got[0].maxValue, 5.0f);
    EXPECT_EQ(got[0].value, 5.0);
    EXPECT_EQ(got[0].fallEnd, 50) << "cut off by the next event";
    EXPECT_EQ(got[1].tick, 51);
    EXPECT_EQ(got[1].maxTick, 51);
    EXPECT_EQ(got[1].maxValue, -180.0f);
    EXPECT_EQ(got[1].riseStart, 5000) << "no rise start found: the baseline end";
    EXPECT_EQ(got[2].tick, 160);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got[2].value), 0x7FF8600000000000ull);
    EXPECT_EQ(got[2].fallEnd, 199) << "the last sample of the block";
}

TEST(CalcAMax, RiseStartAndExtremeWhereTheRiseSpansBufferedRuns)
{
    // The scan reads the samples 1024 at a time. Event A leaves the rest after tick 1015 and peaks at 1035, so
    // its rise crosses the first run's end; event B leaves the rest after 2030 but is back at rest once at 2060,
    // in the run after the one where it left, and peaks at 2070. Each holds +60 on its rise, peaks at +100, holds
    // +50 for 100 ticks and is back at rest on the next; its record puts the event 2 ticks before the peak.
    std::vector<float> s(3000, kRest);
    auto shape = [&](LONG from, LONG peak) {
        for (LONG t = from + 1; t < peak; ++t) {
            s[static_cast<std::size_t>(t)] = kRest + 60.0f;
        }
        s[static_cast<std::size_t>(peak)] = kRest + 100.0f;
        for (LONG t = peak + 1; t <= peak + 100; ++t) {
            s[static_cast<std::size_t>(t)] = kRest + 50.0f;
        }
    };
    shape(1015, 1035);
    shape(2030, 2070);
    s[2060] = kRest;
    std::vector<EventBCalcBase> records;
    for (const auto& [from, peak] : {std::pair{1015, 1035}, std::pair{2030, 2070}}) {
        EventBCalcBase r;
        r.tick = peak - 2;
        r.value = s[static_cast<std::size_t>(r.tick)];
        r.baseline = kRest;
        r.baselineStart = from - 11;
        r.baselineEnd = from - 10;
        records.push_back(r);
    }
    const Recording recording(s);
    const auto got = Recording::Read<EventBCalcMax>(recording.Stage<AMax::Family>(u"1 -1 -1 -1", records).Get());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].riseStart, 1015);
    EXPECT_EQ(got[0].maxTick, 1035);
    EXPECT_EQ(got[0].maxValue, kRest + 100.0f);
    EXPECT_EQ(got[0].fallEnd, 1136);
    EXPECT_EQ(got[1].riseStart, 2060) << "the last sample at rest before the event";
    EXPECT_EQ(got[1].maxTick, 2070);
    EXPECT_EQ(got[1].fallEnd, 2171);
    EXPECT_EQ(got[1].tick, 2070) << "moved onto the extreme";
}

} // namespace
