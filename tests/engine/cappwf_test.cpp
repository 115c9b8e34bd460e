#include "recording.h"

#include "bench/recordings.h"
#include "chain.h"

#include "engine/cappwf.h"

#include <gtest/gtest.h>

#include <random>

using namespace recording;
using namespace enumharness;
using CX::Enum::EventBCalcBase;
namespace WF = CX::Enum::CalcCAPPeakWidthFilter;

namespace {

// An action potential on a zero baseline: linear rise to `amplitude` at `peak` by `riseStep` per tick, linear
// fall by `fallStep` per tick (negative amplitudes and steps for inverted ones).
struct AP {
    LONG peak;
    float amplitude;
    float riseStep;
    float fallStep;
};

std::vector<float> Train(LONG length, const std::vector<AP>& aps)
{
    std::vector<float> samples(static_cast<std::size_t>(length), 0.0f);
    for (const AP& ap : aps) {
        for (LONG k = 0; ap.amplitude - static_cast<float>(k) * ap.riseStep != 0.0f &&
                         (ap.amplitude > 0) == (ap.amplitude - static_cast<float>(k) * ap.riseStep > 0);
             ++k) {
            samples[static_cast<std::size_t>(ap.peak - k)] = ap.amplitude - static_cast<float>(k) * ap.riseStep;
        }
        for (LONG k = 1; (ap.amplitude > 0) == (ap.amplitude - static_cast<float>(k) * ap.fallStep > 0); ++k) {
            samples[static_cast<std::size_t>(ap.peak + k)] = ap.amplitude - static_cast<float>(k) * ap.fallStep;
        }
    }
    return samples;
}

// The baseline records the filter reads: the peak, its value, baseline 0, the polarity of the amplitude, and a
// baseline that ends `lead` ticks before the peak.
std::vector<EventBCalcBase> BaseRecords(const std::vector<AP>& aps, LONG lead = 30)
{
    std::vector<EventBCalcBase> records;
    for (const AP& ap : aps) {
        EventBCalcBase r;
        r.tick = ap.peak;
        r.value = ap.amplitude;
        r.kind = CX::Enum::kKindPeak;
        r.baseline = 0.0f;
        r.polarity = ap.amplitude >= 0 ? 1.0f : -1.0f;
        r.baselineStart = ap.peak - lead - 10;
        r.baselineEnd = ap.peak - lead;
        records.push_back(r);
    }
    return records;
}

// The full width at half height by its definition, from the samples: from the last sample before the peak at
// the half level or on the baseline side of it (the block's first sample when none) to the first such sample at
// or after the peak (`bound` when none lies before it).
LONG WidthOf(const std::vector<float>& samples, const AP& ap, LONG bound)
{
    const float half = ap.amplitude * 0.5f;
    auto onBaselineSide = [&](LONG t) {
        const float v = samples[static_cast<std::size_t>(t)];
        return ap.amplitude > 0 ? v <= half : v >= half;
    };
    LONG rising = ap.peak - 1;
    while (rising > 0 && !onBaselineSide(rising)) {
        --rising;
    }
    LONG falling = ap.peak;
    while (falling < bound && !onBaselineSide(falling)) {
        ++falling;
    }
    return falling - rising;
}

std::vector<LONG> Passed(const std::vector<float>& samples, const std::vector<EventBCalcBase>& records,
                         const std::u16string& text)
{
    const Recording rec({samples});
    std::vector<LONG> ticks;
    for (const auto& p : ReadPeaks(rec.Bound<WF::Family>(text, 0, EventsOf(records).Get()).Get())) {
        EXPECT_EQ(p.kind, CX::Enum::kKindPeak);
        ticks.push_back(p.tick);
    }
    return ticks;
}

TEST(CAPPWF, WidthAtHalfHeightAgainstTheMinimum)
{
    // Rising by 4 and falling by 2 from 40: half 20 is crossed 5 ticks before and 10 after the peak, width 15;
    // falling by 2.5, 8 after, width 13 (the same widths inverted).
    const std::vector<AP> aps{{200, 40, 4, 2}, {500, 40, 4, 2.5f}, {800, -40, -4, -2}, {1100, -40, -4, -2.5f}};
    const auto samples = Train(1400, aps);
    ASSERT_EQ(WidthOf(samples, aps[0], 1400), 15);
    ASSERT_EQ(WidthOf(samples, aps[1], 1400), 13);
    ASSERT_EQ(WidthOf(samples, aps[2], 1400), 15);
    ASSERT_EQ(WidthOf(samples, aps[3], 1400), 13);
    const auto records = BaseRecords(aps);
    EXPECT_EQ(Passed(samples, records, u"1 15"), (std::vector<LONG>{200, 800}));
    EXPECT_EQ(Passed(samples, records, u"1 14"), (std::vector<LONG>{200, 800}));
    EXPECT_EQ(Passed(samples, records, u"1 13"), (std::vector<LONG>{200, 500, 800, 1100}));
    EXPECT_EQ(Passed(samples, records, u"1 16"), (std::vector<LONG>{}));
}

TEST(CAPPWF, DefaultWidthBoundsAndTheFirstEvent)
{
    // Rising by 1 (half height 20 ticks before the peak) and falling by 0.68 and 0.7 (30 and 29 after): the
    // default of 50 ms passes the first only.
    const std::vector<AP> aps{{300, 40, 1, 0.68f}, {700, 40, 1, 0.7f}};
    const auto samples = Train(1000, aps);
    const LONG wide = WidthOf(samples, aps[0], 1000);
    const LONG narrow = WidthOf(samples, aps[1], 1000);
    ASSERT_EQ(wide, 50);
    ASSERT_EQ(narrow, 49);
    const auto records = BaseRecords(aps);
    EXPECT_EQ(Passed(samples, records, u"1 -1"), (std::vector<LONG>{300}));
    EXPECT_EQ(Passed(samples, records, u"1"), (std::vector<LONG>{300}));
    // No sample back at half height before the next event's baseline ends: measured up to that bound.
    const std::vector<AP> long1{{100, 40, 4, 0.1f}, {450, 40, 4, 4}};
    const auto slow = Train(600, long1);
    auto close = BaseRecords(long1);
    close[1].baselineEnd = 130; // the bound: width 130 - 95 = 35
    ASSERT_EQ(WidthOf(slow, long1[0], 130), 35);
    EXPECT_EQ(Passed(slow, close, u"1 35"), (std::vector<LONG>{100}));
    EXPECT_EQ(Passed(slow, close, u"1 36"), (std::vector<LONG>{}));
    // An event whose rise starts before the block: no sample at half height before the peak, the width counts
    // from the first sample.
    std::vector<float> cut(samples.begin() + 290, samples.end()); // peak at 10, falling crossing at 40
    const std::vector<AP> first{{10, 40, 1, 0.68f}};
    ASSERT_EQ(WidthOf(cut, first[0], static_cast<LONG>(cut.size())), 40);
    EXPECT_EQ(Passed(cut, BaseRecords(first), u"1 40"), (std::vector<LONG>{10}));
    EXPECT_EQ(Passed(cut, BaseRecords(first), u"1 41"), (std::vector<LONG>{}));
}

TEST(CAPPWF, ANextBaselineWithoutEndBoundsNothing)
{
    // The next event's baseline ends at -1 (the fallback of an event at tick 0): no bound, so the first event is
    // measured up to its own falling crossing, as the last event is.
    const std::vector<AP> aps{{200, 40, 4, 2}, {500, 40, 4, 2}};
    const auto samples = Train(800, aps);
    ASSERT_EQ(WidthOf(samples, aps[0], 800), 15);
    auto records = BaseRecords(aps);
    records[1].baselineEnd = -1;
    EXPECT_EQ(Passed(samples, records, u"1 15"), (std::vector<LONG>{200, 500}));
    EXPECT_EQ(Passed(samples, records, u"1 16"), (std::vector<LONG>{}));
}

TEST(CAPPWF, KeepsThePositionAndPassesTheValueThroughFloat)
{
    const std::vector<AP> aps{{200, 40, 4, 2}};
    auto records = BaseRecords(aps);
    records[0].offset = 0.3f;
    records[0].value = 40.1;
    const Recording rec({Train(400, aps)});
    const auto peaks = ReadPeaks(rec.Bound<WF::Family>(u"1 10", 0, EventsOf(records).Get()).Get());
    ASSERT_EQ(peaks.size(), 1u);
    EXPECT_EQ(peaks[0].tick, 200);
    EXPECT_NEAR(peaks[0].offset, 0.3f, 1e-6);
    EXPECT_EQ(peaks[0].value, static_cast<double>(40.1f));
    // NaN samples are never a crossing: the width by the definition, with NaN never on the baseline side.
    auto text = [](LONG width) {
        const std::string digits = std::to_string(width);
        return u"1 " + std::u16string(digits.begin(), digits.end());
    };
    for (const LONG at : {195, 196, 200, 205, 210, 211}) {
        std::vector<float> samples = Train(400, aps);
        samples[static_cast<std::size_t>(at)] = kNaN;
        const LONG width = WidthOf(samples, aps[0], 400);
        EXPECT_EQ(Passed(samples, BaseRecords(aps), text(width)).size(), 1u) << "NaN at " << at;
        EXPECT_EQ(Passed(samples, BaseRecords(aps), text(width + 1)).size(), 0u) << "NaN at " << at;
    }
}

TEST(CAPPWF, EquivalentReadsOnALongBlock)
{
    std::mt19937 random(4);
    std::vector<AP> aps;
    for (LONG p = 300; p < 419000; p += std::uniform_int_distribution<LONG>(400, 3000)(random)) {
        const float sign = random() % 3 == 0 ? -1.0f : 1.0f;
        const float fall = static_cast<float>(std::uniform_int_distribution<int>(1, 8)(random)) * 0.5f;
        aps.push_back({p, sign * 40.0f, sign * 4.0f, sign * fall});
    }
    const auto samples = Train(420000, aps);
    std::vector<LONG> expected;
    for (std::size_t i = 0; i < aps.size(); ++i) {
        const LONG bound = i + 1 < aps.size() ? aps[i + 1].peak - 30 : 420000;
        if (WidthOf(samples, aps[i], bound) >= 20) {
            expected.push_back(aps[i].peak);
        }
    }
    const Recording rec({samples});
    const auto records = BaseRecords(aps);
    const auto all = ExpectEquivalentReads<CX::Enum::EventPkStm>(
        [&] { return rec.Bound<WF::Family>(u"1 20", 0, EventsOf(records).Get()); }, 420000);
    std::vector<LONG> ticks;
    for (const auto& p : all) {
        ticks.push_back(p.tick);
    }
    EXPECT_EQ(ticks, expected);
    EXPECT_GT(expected.size(), 50u);
    EXPECT_LT(expected.size(), aps.size());
}

TEST(CAPPWF, OverTheBaselineStageOfARealisticRecording)
{
    // The cardiac chain: peaks of CAPPeakDet, their baselines from CalcBase, then the width filter. Each peak
    // passes when its width at half height, measured from the samples by the definition, reaches 250 ms.
    const benchrec::Recording rec = benchrec::Cardiac(420000, 31);
    const chain::Recording r(rec.samples, benchrec::kTickPeriod);
    auto base = [&] { return r.Stage<CX::Enum::CalcBase::Family>(u"1 -1 -1 -1 -1 0 0", r.Detector(u"1 30 50").Get()); };
    const auto records = chain::Recording::Read<EventBCalcBase>(base().Get());
    ASSERT_GT(records.size(), 30u);
    std::vector<LONG> expected;
    LONG scanned = 0; // the samples before it belong to the previous event
    for (std::size_t i = 0; i < records.size(); ++i) {
        const EventBCalcBase& e = records[i];
        const float difference = static_cast<float>(e.value - static_cast<double>(e.baseline));
        const float half = static_cast<float>(static_cast<double>(difference) * 0.5 + e.baseline);
        auto baselineSide = [&](LONG t) { return e.polarity * half >= e.polarity * r.At(t); };
        const LONG bound = i + 1 < records.size() ? records[i + 1].baselineEnd : r.Length();
        LONG rising = scanned;
        for (LONG t = scanned; t < e.tick; ++t) {
            if (baselineSide(t)) {
                rising = t;
            }
        }
        LONG falling = e.tick;
        while (falling < bound && !baselineSide(falling)) {
            ++falling;
        }
        scanned = falling < bound ? falling + 1 : bound;
        if (falling - rising >= 2500) {
            expected.push_back(e.tick);
        }
    }
    ASSERT_GT(expected.size(), 5u);
    ASSERT_LT(expected.size(), records.size());
    const auto all = ExpectEquivalentReads<CX::Enum::EventPkStm>(
        [&] { return r.Stage<WF::Family>(u"1 250", base().Get()); }, 420000);
    std::vector<LONG> ticks;
    for (const auto& p : all) {
        ticks.push_back(p.tick);
    }
    EXPECT_EQ(ticks, expected);
}

} // namespace
