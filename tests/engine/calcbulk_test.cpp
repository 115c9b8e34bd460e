#include "apsignal.h"
#include "enum_harness.h"

#include "engine/calcbulk.h"
#include "host/calllog.h"
#include "host/chartdata.h"
#include "host/document.h"
#include "host/eventarray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace enumharness;
using CX::Enum::EventBCalcBase2;
using CX::Enum::EventFCalc;
using CX::Enum::kUnsetFloat;
namespace Bulk = CX::Enum::CalcBulk;

namespace {

constexpr double kT = 0.0005; // seconds per tick

bool Unset(float value) { return std::memcmp(&value, &kUnsetFloat, sizeof value) == 0; }

// The parameter text: the leading integer, the sixteen values (-1 where not given), the four limits.
std::u16string Text(std::vector<std::pair<int, double>> values = {})
{
    double v[16];
    std::fill(std::begin(v), std::end(v), -1.0);
    v[Bulk::BulkParams::kTauMode] = 0;
    for (const auto& [index, value] : values) {
        v[index] = value;
    }
    std::string text = "2";
    for (const double d : v) {
        text += " " + std::to_string(d);
    }
    text += " 0 0 0 0";
    return std::u16string(text.begin(), text.end());
}

// A document with one channel, the prepared records as the event source, and CalcBulk over both.
struct Stage {
    std::shared_ptr<host::Document> document = host::Document::Create();
    std::shared_ptr<const host::EventArray> events;
    host::ChartData* chart = nullptr; // the host context, when the test gives one

    Stage(const std::vector<float>& samples, const std::vector<EventBCalcBase2>& records)
    {
        document->AddChannel(u"Vm", u"mV");
        document->SetSamples(document->AddBlock(kT), 0, samples);
        events = host::EventArray::Of(records);
    }
    ComPtr<ICalcEnum> Bound(const std::u16string& text) const
    {
        ComPtr<ICalcEnum> calc;
        EXPECT_EQ(EEH3::Create<Bulk::Family>(nullptr, chart ? chart->AsUnknown() : nullptr, nullptr, IID_ICalcEnum,
                                             calc.OutVoid()),
                  S_OK);
        IKVOString* parameters = KVO::String(text.c_str()).GetInterface();
        EXPECT_EQ(calc->Parse(parameters, nullptr), S_OK);
        parameters->Release();
        ComPtr<IEnumFloatEx> samples = document->OpenSamples(0, 0);
        ComPtr<IEnumEventEx> inner = host::OpenEvents(events);
        EXPECT_EQ(Bind(calc.Get(), 0, {samples.Get(), inner.Get()}, kT), S_OK);
        return calc;
    }
    std::vector<EventFCalc> Run(const std::u16string& text = Text()) const
    {
        ComPtr<ICalcEnum> calc = Bound(text);
        return ReadAll<EventFCalc>(Events(calc.Get()).Get());
    }
};

// A plateau record of the event at `tick` with `value` over `baseline`, from `start` to `end`, the baseline
// window ending 20 ticks before the start.
EventBCalcBase2 Event(LONG tick, double value, float baseline, LONG start, LONG end)
{
    EventBCalcBase2 r;
    r.tick = tick;
    r.value = value;
    r.baseline = baseline;
    r.baselineStart = 0;
    r.baselineEnd = std::max<LONG>(start - 20, 0);
    r.maxTick = tick;
    r.riseStart = start;
    r.fallEnd = end;
    r.nextEventTick = CX::Enum::kLastEventNext;
    return r;
}

// ---- Reference measurements, from the samples and the documented rules ----

double Level(const EventBCalcBase2& r, int k)
{
    const double p = k * 0.1;
    return r.baseline * (1.0 - p) + r.value * p;
}

struct WidthTicks {
    LONG rise[10];
    LONG fall[10];
};

// The level crossings within [start, min(end + 1, next)): a rise tick is the tick after the last sample below the
// level before the event (the window's first sample when none was), a fall tick the first sample from the event on
// back at or beyond the level.
WidthTicks ScanWidths(const std::vector<float>& v, const EventBCalcBase2& r)
{
    WidthTicks w;
    std::fill(std::begin(w.rise), std::end(w.rise), -1);
    std::fill(std::begin(w.fall), std::end(w.fall), -1);
    const LONG stop = std::min<LONG>(r.fallEnd + 1, r.nextEventTick);
    for (int k = 0; k < 10; ++k) {
        const double level = Level(r, k) * r.polarity;
        LONG lastBelow = -1;
        for (LONG t = r.riseStart; t < std::min<LONG>(stop, r.tick); ++t) {
            if (level > v[t] * r.polarity) {
                lastBelow = t;
            }
        }
        if (k > 0 && r.riseStart < std::min<LONG>(stop, r.tick)) {
            w.rise[k] = lastBelow >= 0 ? lastBelow + 1 : r.riseStart;
        }
        for (LONG t = r.tick; t < stop; ++t) {
            if (level >= v[t] * r.polarity) {
                w.fall[k] = t;
                break;
            }
        }
    }
    return w;
}

double AreaOver(const std::vector<float>& v, const EventBCalcBase2& r, LONG from, LONG to)
{
    double sum = 0.0;
    for (LONG t = from; t < to; ++t) {
        sum += static_cast<double>(v[t] - r.baseline);
    }
    return sum * kT;
}

void ExpectWidthsAsScanned(const std::vector<float>& v, const EventBCalcBase2& r, const EventFCalc& out)
{
    const WidthTicks w = ScanWidths(v, r);
    for (int k = 1; k < 10; ++k) {
        ASSERT_GE(w.rise[k], 0);
        ASSERT_GT(w.fall[k], w.rise[k]);
        EXPECT_FLOAT_EQ(out.widths[k - 1], static_cast<float>((w.fall[k] - w.rise[k]) * kT)) << "Width" << k * 10;
        EXPECT_FLOAT_EQ(out.apd[k - 1], static_cast<float>((w.fall[10 - k] - r.riseStart) * kT)) << "APD" << k * 10;
    }
    EXPECT_FLOAT_EQ(out.triangulation, out.apd[6] - out.apd[2]);
    EXPECT_FLOAT_EQ(out.width, static_cast<float>((r.fallEnd - r.riseStart) * kT));
    EXPECT_FLOAT_EQ(out.tStart, static_cast<float>(r.riseStart * kT));
    EXPECT_FLOAT_EQ(out.tEnd, out.tStart + out.width);
    EXPECT_FLOAT_EQ(out.ahpWidth, static_cast<float>((r.returnTick - r.fallEnd) * kT));
    EXPECT_FLOAT_EQ(out.apdTot, out.ahpWidth + out.width);
    EXPECT_EQ(out.rise50Tick, w.rise[5]);
    EXPECT_EQ(out.fall50Tick, w.fall[5]);
    EXPECT_FLOAT_EQ(out.peakArea, static_cast<float>(AreaOver(v, r, r.riseStart, r.fallEnd + 1)));
    EXPECT_FLOAT_EQ(out.ahpArea, static_cast<float>(AreaOver(v, r, r.fallEnd, r.returnTick)));
}

TEST(CalcBulk, WidthsRepolarisationAndAreasOfActionPotentials)
{
    for (const float polarity : {1.0f, -1.0f}) {
        for (const double noise : {0.0, 0.4}) {
            apsignal::Recording rec;
            apsignal::Shape shape;
            shape.polarity = polarity;
            apsignal::Append(rec, shape, noise, 3);
            shape.peak = 42.0f;
            shape.upstroke = 7;
            shape.tau = 90.0;
            shape.plateau = 180;
            apsignal::Append(rec, shape, noise, 4);
            const Stage stage(rec.samples, rec.records);
            const auto out = stage.Run();
            ASSERT_EQ(out.size(), 2u);
            for (std::size_t i = 0; i < out.size(); ++i) {
                SCOPED_TRACE("polarity " + std::to_string(polarity) + ", noise " + std::to_string(noise) +
                             ", event " + std::to_string(i));
                const EventBCalcBase2& r = rec.records[i];
                EXPECT_EQ(std::memcmp(&out[i], &r, 20), 0) << "the input record leads the output";
                EXPECT_EQ(out[i].count, static_cast<int>(i) + 1);
                ExpectWidthsAsScanned(rec.samples, r, out[i]);
                EXPECT_FLOAT_EQ(out[i].aPeak, static_cast<float>(r.value));
                EXPECT_FLOAT_EQ(out[i].height, static_cast<float>(r.value) - r.baseline);
                EXPECT_FLOAT_EQ(out[i].timeToPeak, static_cast<float>((r.maxTick - r.riseStart) * kT));
            }
            EXPECT_FLOAT_EQ(out[1].period, static_cast<float>((rec.records[1].tick - rec.records[0].tick) * kT));
            EXPECT_TRUE(Unset(out[0].period)) << "no event before the first";
        }
    }
}

TEST(CalcBulk, TriangulationTenthsAndUnreachedLevels)
{
    apsignal::Recording rec;
    apsignal::Append(rec, {});
    const Stage stage(rec.samples, rec.records);
    auto triangulation = [&](double start, double end) {
        return stage.Run(Text({{Bulk::BulkParams::kTriangulationStartPercent, start},
                               {Bulk::BulkParams::kTriangulationEndPercent, end}}))
            .at(0);
    };
    const EventFCalc standard = triangulation(-1, -1); // 30 and 70
    EXPECT_FLOAT_EQ(standard.triangulation, standard.apd[6] - standard.apd[2]);
    // 95 / 10 = 9: APD90; 15 / 10 = 1: APD10.
    const EventFCalc ninety = triangulation(15, 95);
    EXPECT_FLOAT_EQ(ninety.triangulation, ninety.apd[8] - ninety.apd[0]);
    // Tenths without an APD (0 and 10 and beyond) give no triangulation.
    for (const auto& [start, end] : {std::pair{5.0, 70.0}, std::pair{30.0, 100.0}, std::pair{1011.0, 70.0},
                                     std::pair{30.0, 1012.0}}) {
        EXPECT_TRUE(Unset(triangulation(start, end).triangulation)) << start << " " << end;
    }

    // A signal that never falls back to the 10 % level: APD90 and Width10 unset, Triangulation 30..90 too; the
    // event's end still gives Width and TEnd.
    std::vector<float> v(400, -80.0f);
    for (int t = 100; t < 110; ++t) {
        v[t] = -80.0f + 10.0f * static_cast<float>(t - 100);
    }
    v[110] = 20.0f;
    for (int t = 111; t < 400; ++t) {
        v[t] = -60.0f; // 20 % of the height
    }
    const Stage high(v, {Event(110, 20.0, -80.0f, 100, 300)});
    const EventFCalc out = high.Run(Text({{Bulk::BulkParams::kTriangulationEndPercent, 90}})).at(0);
    EXPECT_TRUE(Unset(out.apd[8]));
    EXPECT_TRUE(Unset(out.widths[0]));
    EXPECT_FALSE(Unset(out.apd[7])) << "the 20 % level is reached";
    EXPECT_TRUE(Unset(out.triangulation));
    EXPECT_FLOAT_EQ(out.width, static_cast<float>(200 * kT)) << "the end tick stands in for the 0 % level";
    EXPECT_FLOAT_EQ(out.tEnd, out.tStart + out.width);
}

// A triangle from `base` at `start` up by `up` per tick for `rise` ticks and down by `down` per tick back.
struct Triangle {
    std::vector<float> v;
    EventBCalcBase2 r;
};

Triangle MakeTriangle(LONG start, int rise, float up, int fall, float down, LONG length, float base = 0.0f)
{
    Triangle tri;
    tri.v.assign(static_cast<std::size_t>(length), base);
    const float peak = base + up * static_cast<float>(rise);
    for (int i = 0; i <= rise; ++i) {
        tri.v[start + i] = base + up * static_cast<float>(i);
    }
    for (int j = 1; j <= fall; ++j) {
        tri.v[start + rise + j] = std::max(base, peak - down * static_cast<float>(j));
    }
    tri.r = Event(start + rise, peak, base, start,
                  start + rise + static_cast<LONG>(std::ceil(static_cast<double>(peak - base) / down)));
    tri.r.returnTick = tri.r.fallEnd + 1;
    return tri;
}

TEST(CalcBulk, RampsGiveHeightRiseFallSlopesAndAreas)
{
    // Up 4 per tick for 25 ticks (height 100), down 2 per tick for 50.
    const Triangle tri = MakeTriangle(100, 25, 4.0f, 50, 2.0f, 400);
    const Stage stage(tri.v, {tri.r});
    const EventFCalc out = stage.Run().at(0);
    EXPECT_FLOAT_EQ(out.height, 100.0f);
    EXPECT_FLOAT_EQ(out.timeToPeak, static_cast<float>(25 * kT));
    // 30 % (30) is first met at tick 100 + 8 (32), 70 % at 100 + 18 (72): the slope of the ramp.
    EXPECT_FLOAT_EQ(out.tRise, static_cast<float>(10 * kT));
    EXPECT_FLOAT_EQ(out.slopeRise, static_cast<float>(40.0 / (10 * kT)));
    // On the fall 70 % is first met 15 ticks after the peak (70), 30 % 35 ticks after it (30).
    EXPECT_FLOAT_EQ(out.tFall, static_cast<float>(20 * kT));
    EXPECT_FLOAT_EQ(out.slopeFall, static_cast<float>(-40.0 / (20 * kT)));
    // The peak's area is the triangle's integral: 100 x 75 / 2 tick units.
    EXPECT_FLOAT_EQ(out.peakArea, static_cast<float>(100.0 * 75 / 2 * kT));
    // Smoothed slopes: the first ring of five on a ramp holds its exact slope; ties keep the earliest.
    EXPECT_FLOAT_EQ(out.maxSlope, static_cast<float>(4.0 / kT));
    EXPECT_FLOAT_EQ(out.tMaxSlope, static_cast<float>(2 * kT));
    EXPECT_FLOAT_EQ(out.aMaxSlope, 8.0f);
    EXPECT_FLOAT_EQ(out.minSlope, static_cast<float>(-2.0 / kT));
    EXPECT_FLOAT_EQ(out.tMinSlope, static_cast<float>(27 * kT)) << "the ring from the peak on";
    EXPECT_FLOAT_EQ(out.aMinSlope, 96.0f);
    // The steepest fall over blocks of trunc(4 ms / 0.5 ms + 0.5) = 8 samples from 50 ms after the peak: past the
    // window, so none; from 0 ms the blocks lie on the fall.
    EXPECT_TRUE(Unset(out.maxNegSlope));
    const EventFCalc early = stage.Run(Text({{Bulk::BulkParams::kMaxNegSlopeStartMs, 0}})).at(0);
    EXPECT_FLOAT_EQ(early.maxNegSlope, static_cast<float>(2.0 / kT));
}

TEST(CalcBulk, SmoothedSlopesPassOverRingsAndBlocksWithNaN)
{
    // The triangle above, v = 4 (t - 100) on the rise to the peak at 125 and 100 - 2 (t - 125) on the fall.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Triangle tri = MakeTriangle(100, 25, 4.0f, 50, 2.0f, 400);
    const std::u16string fromPeak = Text({{Bulk::BulkParams::kMaxNegSlopeStartMs, 0}});

    // A NaN at the window's second sample: the first two rings of five hold it, so the first ring with a slope
    // is 102..106, and every field of the steepest rise comes from it.
    std::vector<float> v = tri.v;
    v[101] = nan;
    const EventFCalc rise = Stage(v, {tri.r}).Run(fromPeak).at(0);
    EXPECT_FLOAT_EQ(rise.maxSlope, static_cast<float>(4.0 / kT));
    EXPECT_FLOAT_EQ(rise.tMaxSlope, static_cast<float>(4 * kT));
    EXPECT_FLOAT_EQ(rise.aMaxSlope, 16.0f);
    EXPECT_FLOAT_EQ(rise.minSlope, static_cast<float>(-2.0 / kT));
    EXPECT_FLOAT_EQ(rise.tMinSlope, static_cast<float>(27 * kT));
    EXPECT_FLOAT_EQ(rise.aMinSlope, 96.0f);

    // A NaN at the second sample after the peak: the first block of eight (125..132) has no slope, the next ones
    // lie on the fall; the rings holding tick 126 are passed over too.
    v = tri.v;
    v[126] = nan;
    const EventFCalc fall = Stage(v, {tri.r}).Run(fromPeak).at(0);
    EXPECT_FLOAT_EQ(fall.maxNegSlope, static_cast<float>(2.0 / kT));
    EXPECT_FLOAT_EQ(fall.maxSlope, static_cast<float>(4.0 / kT));
    EXPECT_FLOAT_EQ(fall.tMaxSlope, static_cast<float>(2 * kT));
    EXPECT_FLOAT_EQ(fall.minSlope, static_cast<float>(-2.0 / kT));
    EXPECT_FLOAT_EQ(fall.tMinSlope, static_cast<float>(29 * kT));
    EXPECT_FLOAT_EQ(fall.aMinSlope, 92.0f);

    // A NaN in every ring and every block: no slope at all.
    v = tri.v;
    for (std::size_t t = 100; t < v.size(); t += 4) {
        v[t] = nan;
    }
    const EventFCalc none = Stage(v, {tri.r}).Run(fromPeak).at(0);
    for (const float field : {none.maxSlope, none.minSlope, none.tMaxSlope, none.tMinSlope, none.aMaxSlope,
                              none.aMinSlope, none.maxNegSlope}) {
        EXPECT_TRUE(Unset(field)) << field;
    }
}

TEST(CalcBulk, AreaSlopeAndValueWindowsAfterTheAnchor)
{
    // A rectangular pulse of 6 over ticks [300, 340) after a stimulus at 200; the event at 320.
    std::vector<float> v(1000, 1.0f);
    for (int t = 300; t < 340; ++t) {
        v[t] = 7.0f;
    }
    for (int t = 500; t < 600; ++t) {
        v[t] = 1.0f + 0.5f * static_cast<float>(t - 500); // a ramp of 1000 per second
    }
    EventBCalcBase2 r = Event(320, 7.0, 1.0f, 300, 340);
    r.stimulusTick = 200;
    const Stage stage(v, {r});
    using B = Bulk::BulkParams;
    struct Case {
        double type;
        double areaStart, areaEnd; // ms
        double expectedArea;       // value x seconds
    } cases[] = {
        {3, 40, 80, 6 * 40 * kT},  // from the stimulus: 200 + 80 .. 200 + 160 holds the pulse
        {3, 60, 70, 6 * 20 * kT},  // 320 .. 340
        {0, 0, 10, 6 * 20 * kT},   // from the event's start 300: 300 .. 320
        {1, -1, -1, 0.0},          // no window: an area of 0
        {4, 100, 150, 0.0},        // 400 .. 500: flat
    };
    for (const Case& c : cases) {
        const EventFCalc out = stage.Run(Text({{B::kAnalysisType, c.type}, {B::kAreaStartMs, c.areaStart},
                                               {B::kAreaEndMs, c.areaEnd}, {B::kSlopeStartMs, 150},
                                               {B::kSlopeEndMs, 199}, {B::kValueMs, 50}}))
                                   .at(0);
        EXPECT_NEAR(out.area, c.expectedArea, 1e-7) << c.type << " " << c.areaStart;
        if (c.type == 3 || c.type == 4) {
            // From the stimulus: 200 + 300 .. 200 + 398 lies on the ramp.
            EXPECT_FLOAT_EQ(out.slope, 1000.0f);
            EXPECT_NEAR(out.unread160, 1.0 - 0.5, 1e-4) << "the fitted value one tick before the window";
        }
        // The value 50 ms after the stimulus is the sample at tick 300.
        EXPECT_FLOAT_EQ(out.valueAt, 7.0f);
        EXPECT_FLOAT_EQ(out.latency, static_cast<float>(100 * kT));
        EXPECT_FLOAT_EQ(out.result51, static_cast<float>(120 * kT));
    }
    // Evoked types without a stimulus measure no area and no slope; the others anchor at the start.
    EventBCalcBase2 lone = r;
    lone.stimulusTick = -1;
    const Stage noStimulus(v, {lone});
    for (const double type : {3.0, 4.0}) {
        const EventFCalc out = noStimulus.Run(Text({{B::kAnalysisType, type}, {B::kAreaStartMs, 0},
                                                    {B::kAreaEndMs, 10}}))
                                   .at(0);
        EXPECT_TRUE(Unset(out.area));
        EXPECT_TRUE(Unset(out.slope));
        EXPECT_TRUE(Unset(out.latency));
        EXPECT_TRUE(Unset(out.valueAt));
    }
    const EventFCalc general =
        noStimulus.Run(Text({{B::kAnalysisType, 5}, {B::kAreaStartMs, 0}, {B::kAreaEndMs, 10}})).at(0);
    EXPECT_NEAR(general.area, 6 * 20 * kT, 1e-7);
    // "Slope End ms" before "Slope Start ms": the window still holds two ticks (of the ramp).
    const EventFCalc twoTicks = stage.Run(Text({{B::kAnalysisType, 3}, {B::kSlopeStartMs, 150},
                                                {B::kSlopeEndMs, 10}}))
                                    .at(0);
    EXPECT_FLOAT_EQ(twoTicks.slope, 1000.0f);
}

TEST(CalcBulk, AreaWindowsBeforeTheEarliestTickReadEverySample)
{
    // Pulses of 6 over a level of 1 on [190, 230) and [390, 430); events at 210 and 410 starting at 200 and 400,
    // each with a baseline ending right after its start. "Area Start ms" -20 and "Area End ms" 200 give the windows
    // [160, 600) and [360, 800): the first holds both pulses, the second one. The first window starts before the
    // first event's earliest tick, the second before the samples that the first event already read.
    std::vector<float> v(1000, 1.0f);
    for (const int from : {190, 390}) {
        std::fill(v.begin() + from, v.begin() + from + 40, 7.0f);
    }
    std::vector<EventBCalcBase2> records;
    for (const LONG start : {200, 400}) {
        EventBCalcBase2 r = Event(start + 10, 7.0, 1.0f, start, start + 20);
        r.baselineEnd = start + 1;
        records.push_back(r);
    }
    using B = Bulk::BulkParams;
    const auto got =
        Stage(v, records).Run(Text({{B::kAnalysisType, 1}, {B::kAreaStartMs, -20}, {B::kAreaEndMs, 200}}));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(got[0].area, 2 * 40 * 6 * kT, 1e-6);
    EXPECT_NEAR(got[1].area, 40 * 6 * kT, 1e-6);
}

TEST(CalcBulk, PlateauMeansLatencyAndPeriodOfATrain)
{
    apsignal::Recording rec;
    apsignal::Shape shape;
    shape.stimulus = 30;
    shape.plateauEnd = 30.0f; // a flat plateau at the peak value
    for (int i = 0; i < 5; ++i) {
        apsignal::Append(rec, shape);
    }
    const Stage stage(rec.samples, rec.records);
    using B = Bulk::BulkParams;
    const auto out = stage.Run(Text({{B::kPlateauWidthMs, 20}, {B::kPltWidthMs, 10}}));
    ASSERT_EQ(out.size(), 5u);
    const LONG spacing = rec.records[1].tick - rec.records[0].tick;
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_FLOAT_EQ(out[i].plateauV2, 30.0f);
        EXPECT_FLOAT_EQ(out[i].plateauV1, 30.0f);
        EXPECT_FLOAT_EQ(out[i].latency, static_cast<float>(30 * kT));
        if (i > 0) {
            EXPECT_FLOAT_EQ(out[i].period, static_cast<float>(spacing * kT));
        }
    }
    // Left at -1 the plateau windows are empty.
    const auto fresh = stage.Run();
    EXPECT_TRUE(Unset(fresh[0].plateauV1));
    EXPECT_TRUE(Unset(fresh[0].plateauV2));
}

TEST(CalcBulk, CrossingsAtTickZeroAndMissingCrossings)
{
    // The window starts at tick 0 with a sample between the two rise levels: the 30 % crossing is at tick 0.
    std::vector<float> v = {40, 50, 80, 100, 60, 50, 50, 50, 50, 50};
    const EventBCalcBase2 r = Event(3, 100.0, 0.0f, 0, 9);
    const Stage stage(v, {r});
    const EventFCalc out = stage.Run().at(0);
    EXPECT_FLOAT_EQ(out.tRise, static_cast<float>(2 * kT));
    EXPECT_FLOAT_EQ(out.slopeRise, static_cast<float>(40.0 / (2 * kT)));
    // 70 % is met on the fall at tick 4, 30 % never: no fall time, not a negative one.
    EXPECT_TRUE(Unset(out.tFall));
    EXPECT_TRUE(Unset(out.slopeFall));

    // Neither rise level met: no rise time (not 0).
    std::vector<float> low = {10, 20, 25, 100, 0, 0, 0, 0, 0, 0};
    EventBCalcBase2 late = r;
    late.riseStart = 3; // the window starts at the peak, where both levels are met at once
    const EventFCalc both = Stage(low, {late}).Run().at(0);
    EXPECT_FLOAT_EQ(both.tRise, 0.0f);
    EXPECT_TRUE(Unset(both.slopeRise)) << "0 / 0";
    EventBCalcBase2 never = r;
    never.value = 1000.0; // the levels lie above every sample
    const EventFCalc none = Stage(low, {never}).Run().at(0);
    EXPECT_TRUE(Unset(none.tRise));
    EXPECT_TRUE(Unset(none.slopeRise));
}

TEST(CalcBulk, RecordWithoutValueKeepsOnlyItsCount)
{
    apsignal::Recording rec;
    for (int i = 0; i < 3; ++i) {
        apsignal::Shape shape;
        shape.stimulus = 10;
        apsignal::Append(rec, shape);
    }
    rec.records[1].value = std::nan("");
    const Stage stage(rec.samples, rec.records);
    using B = Bulk::BulkParams;
    const auto out = stage.Run(Text({{B::kPlateauWidthMs, 10}, {B::kPltWidthMs, 10}}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].count, 2);
    for (const float field : {out[1].timeToPeak, out[1].aPeak, out[1].height, out[1].tRise, out[1].tFall,
                              out[1].slopeRise, out[1].slopeFall, out[1].result51, out[1].latency, out[1].plateauV1,
                              out[1].plateauV2, out[1].period, out[1].width, out[1].widths[4], out[1].apd[4],
                              out[1].maxNegSlope}) {
        EXPECT_TRUE(Unset(field));
    }
    EXPECT_TRUE(Unset(out[2].period)) << "the event before was not valid";
    EXPECT_FALSE(Unset(out[2].latency));
}

TEST(CalcBulk, RecordsCarryNoUninitialisedBytes)
{
    apsignal::Recording rec;
    apsignal::Append(rec, {});
    EventBCalcBase2 dirty = rec.records[0];
    std::memset(&dirty.pad20, 0xAB, 4);
    std::memset(&dirty.pad44, 0xAB, 4);
    std::memset(&dirty.pad68, 0xAB, 4);
    const Stage stage(rec.samples, {dirty});
    const EventFCalc out = stage.Run(Text({{Bulk::BulkParams::kAnalysisType, 3}})).at(0);
    EXPECT_EQ(out.pad20, 0u);
    EXPECT_EQ(out.pad44, 0u);
    EXPECT_EQ(out.pad68, 0u);
    EXPECT_EQ(out.pad340, 0u);
    // Without a stimulus an evoked response has no slope: the intercept, read by no code, is unset too.
    EXPECT_TRUE(Unset(out.unread160));
}

// ---- The tau measurement, through a fit that records its call ----

struct FitCall {
    std::vector<double> samples;
    int last = -2;
    double rate = 0.0;
    bool hold = false;
    double held = 0.0;
    int mode = 0; // 0 succeed, 1 refuse, 2 throw
} fitCall;

bool ProbeFit(const double* y, int last, double& amplitude, double& tau, double& offset, double rate, bool hold,
              double held)
{
    fitCall.samples.assign(y, y + last + 1);
    fitCall.last = last;
    fitCall.rate = rate;
    fitCall.hold = hold;
    fitCall.held = held;
    if (fitCall.mode == 2) {
        throw std::runtime_error("no pivot");
    }
    amplitude = 2.0;
    tau = 0.03;
    offset = hold ? held : -7.0;
    return fitCall.mode == 0;
}

TEST(CalcBulk, TauModesAndFitFailures)
{
    apsignal::Recording rec;
    apsignal::Append(rec, {});
    const EventBCalcBase2& r = rec.records[0];
    const Stage stage(rec.samples, rec.records);
    const CX::Enum::ExponentialFit before = CX::Enum::CurrentExponentialFit();
    CX::Enum::SetExponentialFit(&ProbeFit);
    using B = Bulk::BulkParams;
    struct Case {
        double mode;
        bool hold;
        double held;
    } cases[] = {{0, false, 0.0}, {1, true, -80.0}, {2, true, 12.5}, {3, true, 0.0}};
    for (const Case& c : cases) {
        fitCall = {};
        const EventFCalc out = stage.Run(Text({{B::kTauMode, c.mode}, {B::kTauFixedValue, 12.5}})).at(0);
        EXPECT_EQ(fitCall.last, r.tauEnd - r.tauStart) << "the samples from tau start to tau end";
        ASSERT_EQ(fitCall.samples.size(), static_cast<std::size_t>(r.tauEnd - r.tauStart + 1));
        EXPECT_EQ(fitCall.samples.front(), rec.samples[r.tauStart]);
        EXPECT_EQ(fitCall.samples.back(), rec.samples[r.tauEnd]);
        EXPECT_DOUBLE_EQ(fitCall.rate, 1.0 / kT);
        EXPECT_EQ(fitCall.hold, c.hold) << c.mode;
        EXPECT_DOUBLE_EQ(fitCall.held, c.held) << c.mode;
        EXPECT_FLOAT_EQ(out.tau, 0.03f);
        EXPECT_FLOAT_EQ(out.unread140, 2.0f);
        EXPECT_FLOAT_EQ(out.unread144, static_cast<float>(c.hold ? c.held : -7.0));
    }
    for (const int failure : {1, 2}) {
        fitCall = {};
        fitCall.mode = failure;
        const EventFCalc out = stage.Run().at(0);
        EXPECT_TRUE(Unset(out.tau) && Unset(out.unread140) && Unset(out.unread144)) << failure;
    }
    CX::Enum::SetExponentialFit(before);
}

TEST(CalcBulk, TauOfTheGeneratingExponential)
{
    // The repolarisation is floor + (plateau end - floor) exp(-x / tau) with floor = -84 (baseline -80, overshoot 4).
    for (const double tau : {60.0, 150.0, 400.0}) {
        apsignal::Recording rec;
        apsignal::Shape shape;
        shape.tau = tau;
        apsignal::Append(rec, shape);
        const Stage stage(rec.samples, rec.records);
        using B = Bulk::BulkParams;
        const EventFCalc fitted = stage.Run(Text({{B::kTauMode, 0}})).at(0);
        EXPECT_NEAR(fitted.tau, tau * kT, tau * kT * 1e-4) << tau;
        EXPECT_NEAR(fitted.unread144, -84.0, 1e-2) << "the fitted asymptote";
        // Held at the true asymptote the fit finds the same tau; the amplitude is the first fitted sample's
        // distance from it.
        const EventFCalc held = stage.Run(Text({{B::kTauMode, 2}, {B::kTauFixedValue, -84}})).at(0);
        EXPECT_NEAR(held.tau, tau * kT, tau * kT * 1e-4) << tau;
        EXPECT_FLOAT_EQ(held.unread144, -84.0f);
        const float first = rec.samples[rec.records[0].tauStart];
        EXPECT_NEAR(held.unread140, first + 84.0f, 1e-2);
    }
    // A flat stretch has no decay to fit: unset, and nothing reaches the host.
    std::vector<float> flat(2000, -80.0f);
    for (int t = 500; t < 510; ++t) {
        flat[t] = -80.0f + 10.0f * static_cast<float>(t - 500);
    }
    flat[510] = 20.0f;
    EventBCalcBase2 r = Event(510, 20.0, -80.0f, 500, 511);
    r.tauStart = 1000;
    r.tauEnd = 1500;
    const EventFCalc none = Stage(flat, {r}).Run().at(0);
    EXPECT_TRUE(Unset(none.tau) && Unset(none.unread140) && Unset(none.unread144));
}

// ---- The host's time base sets the smoothing ring ----

TEST(CalcBulk, SmoothingPointsFromTheHostTimeBase)
{
    // A ramp of 4 per tick with a bend: the ring's middle tick tells its size (the first full ring on the ramp).
    const Triangle tri = MakeTriangle(100, 40, 4.0f, 40, 4.0f, 400);
    host::CallLog log;
    host::ChartData* chart = host::ChartData::Create(log);
    Stage stage(tri.v, {tri.r});
    stage.chart = chart;
    struct Case {
        ChannelTimeBase answer;
        LONG points;
    } cases[] = {
        {{1, 1, 0.0}, 5},  {{1, 2, 0.0}, 10}, {{0, 1, 0.0}, 5},   {{1, -3, 0.0}, 5},
        {{1, 1, NAN}, 5},  {{1, 1, 4.5}, 2},  {{1, 1, 8.0}, 2},   {{1, 1000, 0.0}, 1000},
    };
    for (const Case& c : cases) {
        chart->SetTimeBaseAnswer([&](LONG block, LONG, ChannelTimeBase& out) {
            EXPECT_EQ(block, 0);
            out = c.answer;
            return S_OK;
        });
        const EventFCalc out = stage.Run().at(0);
        const LONG n = c.points;
        if (n <= 40) {
            // The first full ring starts at 100; the reported sample, and its tick, lie n / 2 after that (for an
            // even n too).
            EXPECT_FLOAT_EQ(out.tMaxSlope, static_cast<float>((n / 2) * kT)) << n;
            EXPECT_FLOAT_EQ(out.aMaxSlope, static_cast<float>(4 * (n / 2))) << n;
            EXPECT_FLOAT_EQ(out.maxSlope, static_cast<float>(4.0 / kT)) << n;
        } else {
            EXPECT_TRUE(Unset(out.maxSlope)) << "a window shorter than the ring";
        }
    }
    chart->Release();
}

// ---- Requests and the engine ----

TEST(CalcBulk, RecordsAtTheRequestEndWaitForTheNextRequest)
{
    apsignal::Recording rec;
    for (int i = 0; i < 3; ++i) {
        apsignal::Append(rec, {});
    }
    const Stage stage(rec.samples, rec.records);
    ComPtr<ICalcEnum> calc = stage.Bound(Text());
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    std::vector<EventFCalc> buffer(4);
    LONG count = -1;
    LONG next = -1;
    const LONG second = rec.records[1].tick;
    EXPECT_EQ(events->Next(4 * sizeof(EventFCalc), second, buffer.data(), &count, &next), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(next, second);
    EXPECT_EQ(events->Next(4 * sizeof(EventFCalc), second + 1, buffer.data(), &count, &next), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(buffer[0].tick, second);
    EXPECT_EQ(buffer[0].count, 2);
}

TEST(CalcBulk, EquivalentReadsOnALongBlock)
{
    apsignal::Recording rec;
    std::mt19937 random(11);
    while (rec.samples.size() < 430000) {
        apsignal::Shape shape;
        shape.baselineTicks = std::uniform_int_distribution<int>(50, 900)(random);
        shape.peak = static_cast<float>(std::uniform_int_distribution<int>(10, 45)(random));
        shape.plateau = std::uniform_int_distribution<int>(100, 900)(random);
        shape.tau = std::uniform_int_distribution<int>(40, 300)(random);
        shape.stimulus = std::uniform_int_distribution<int>(-1, 40)(random);
        apsignal::Append(rec, shape, 0.5, static_cast<std::uint32_t>(rec.records.size()));
    }
    const Stage stage(rec.samples, rec.records);
    using B = Bulk::BulkParams;
    const std::u16string text = Text({{B::kPlateauWidthMs, 20}, {B::kPltWidthMs, 10}, {B::kAnalysisType, 1},
                                      {B::kAreaStartMs, 0}, {B::kAreaEndMs, 50}, {B::kValueMs, 30}});
    const auto all = ExpectEquivalentReads<EventFCalc>([&] { return stage.Bound(text); },
                                                       static_cast<LONG>(rec.samples.size()));
    ASSERT_EQ(all.size(), rec.records.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i].count, static_cast<int>(i) + 1) << "numbered as one uninterrupted pass";
    }
}

TEST(CalcBulk, SlopeNumeratorsSideBySideEqualOneAtATime)
{
    // Samples of every kind a recording holds: noise at several scales, repeated values, signed zeros, NaN and
    // infinities, so that a single reordered sum or a wrongly placed window shows in the bits.
    std::mt19937 random(5);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<float> y(4000);
    for (std::size_t i = 0; i < y.size(); ++i) {
        y[i] = gauss(random) * (i % 7 == 0 ? 1e6f : i % 5 == 0 ? 1e-6f : 1.0f);
    }
    y[17] = -0.0f;
    y[18] = 0.0f;
    y[40] = y[41] = y[42] = 3.25f;
    y[900] = std::numeric_limits<float>::quiet_NaN();
    y[1500] = std::numeric_limits<float>::infinity();
    // Four lanes where the processor has them, and two: both must agree with one window at a time.
    for (const bool wide : {true, false}) {
        CX::Enum::LeastSquaresSlope::AllowWideLanes(wide);
        for (const int n : {2, 3, 4, 5, 8, 40, 249, 250, 251, 252, 253, 254, 255, 300}) {
            const CX::Enum::LeastSquaresSlope fit(n);
            for (const std::ptrdiff_t stride : {std::ptrdiff_t{1}, std::ptrdiff_t{n}}) {
                for (const std::ptrdiff_t windows : {0, 1, 3, 4, 5, 7, 250, 251, 252, 253, 600}) {
                    if ((windows - 1) * stride + n > static_cast<std::ptrdiff_t>(y.size())) {
                        continue;
                    }
                    for (const std::ptrdiff_t from : {0, 1, 890}) {
                        std::vector<double> side(static_cast<std::size_t>(windows) + 1, -7.0);
                        fit.Numerators(y.data() + from, stride, windows, side.data());
                        for (std::ptrdiff_t k = 0; k < windows; ++k) {
                            const double one = fit.Numerator(y.data() + from + k * stride);
                            const double got = side[static_cast<std::size_t>(k)];
                            ASSERT_EQ(std::memcmp(&one, &got, sizeof one), 0)
                                << (wide ? "wide" : "narrow") << " n " << n << " stride " << stride << " windows "
                                << windows << " from " << from << " window " << k << ": " << one << " against "
                                << got;
                        }
                        EXPECT_EQ(side.back(), -7.0) << "nothing written past the last window";
                    }
                }
            }
        }
    }
    CX::Enum::LeastSquaresSlope::AllowWideLanes(true);
}

TEST(CalcBulk, LongWindowNumeratorsEqualTheSumsInTurn)
{
    // Windows of ADC steps, of noisy levels, of values far apart in size (whose sums round), of subnormals, of
    // signed zeros, and with NaN and infinities: the numerator taken side by side must be the one of the sums in
    // turn, bit for bit.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 random(47);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    std::uniform_int_distribution<int> step(-4000, 4000);
    std::uniform_int_distribution<int> oddOne(0, 60);
    const std::vector<float> odd = {0.0f, -0.0f, 1e-45f, -1e-40f, 1e30f, -1e-30f, 3e38f, inf, -inf, nan};
    for (int round = 0; round < 600; ++round) {
        std::vector<float> y(1100);
        for (float& v : y) {
            switch (round % 6) {
            case 0:
                v = static_cast<float>(step(random)) / 1024.0f;
                break;
            case 1:
                v = -0.08f + noise(random);
                break;
            case 2:
                v = static_cast<float>(step(random)) * (oddOne(random) < 30 ? 1e-6f : 1e6f);
                break;
            case 3:
                v = static_cast<float>(step(random)) * 1e-42f;
                break;
            case 4:
                v = oddOne(random) < 30 ? -0.0f : 0.0f;
                break;
            default:
                v = 0.01f * static_cast<float>(step(random)) + noise(random);
                if (oddOne(random) == 0) {
                    v = odd[static_cast<std::size_t>(oddOne(random)) % odd.size()];
                }
                break;
            }
        }
        for (const int n : {15, 16, 17, 23, 40, 41, 400, 1000}) {
            const CX::Enum::LeastSquaresSlope fit(n);
            for (const std::size_t from : {std::size_t{0}, std::size_t{3}, std::size_t{99}}) {
                const double inTurn = fit.Numerator(y.data() + from);
                const double sideBySide = fit.NumeratorOfLong(y.data() + from);
                ASSERT_EQ(std::bit_cast<std::uint64_t>(sideBySide), std::bit_cast<std::uint64_t>(inTurn))
                    << "round " << round << " n " << n << " from " << from << ": " << sideBySide << " against "
                    << inTurn;
            }
        }
    }
}

TEST(CalcBulk, RoughNumeratorsLeaveOutOnlyWindowsStrictlyBetweenTheBounds)
{
    // Windows of noise at several scales, of ADC steps, of subnormal and of mixed magnitudes, with NaN, infinities
    // and signed zeros, against bounds that lie on, beside and between their exact numerators: every window whose
    // exact numerator is not strictly between the bounds must be reported, whatever the lanes.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::mt19937 random(21);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<std::vector<float>> sets;
    for (const float scale : {1.0f, 1e-3f, 3e5f, 1e-41f}) {
        std::vector<float> y(2500);
        for (float& v : y) {
            v = gauss(random) * scale + (scale == 1e-3f ? -0.08f : 0.0f);
        }
        sets.push_back(y);
    }
    std::vector<float> steps(2500);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i] = std::round(std::sin(static_cast<double>(i) * 0.01) * 400.0 + gauss(random) * 3.0f) * 0x1p-10f;
    }
    sets.push_back(steps);
    std::vector<float> mixed(2500);
    for (std::size_t i = 0; i < mixed.size(); ++i) {
        mixed[i] = gauss(random) * (i % 7 == 0 ? 1e6f : i % 5 == 0 ? 1e-6f : 1.0f);
    }
    mixed[17] = -0.0f;
    mixed[18] = 0.0f;
    mixed[300] = nan;
    mixed[302] = nan; // the middle of five, whose coefficient is 0
    mixed[1200] = inf;
    mixed[1900] = -inf;
    sets.push_back(mixed);
    const double dinf = std::numeric_limits<double>::infinity();
    for (const bool wide : {true, false}) {
        CX::Enum::LeastSquaresSlope::AllowWideLanes(wide);
        for (std::size_t set = 0; set < sets.size(); ++set) {
            const std::vector<float>& y = sets[set];
            for (const int n : {2, 3, 5, 8, 40}) {
                const CX::Enum::LeastSquaresSlope fit(n);
                for (const std::ptrdiff_t stride : {std::ptrdiff_t{1}, std::ptrdiff_t{n}}) {
                    const std::ptrdiff_t windows =
                        std::min<std::ptrdiff_t>(301, (static_cast<std::ptrdiff_t>(y.size()) - n) / stride);
                    const auto span = static_cast<LONG>((windows - 1) * stride + n);
                    const float largest = CX::Enum::LargestMagnitude(y.data(), span);
                    std::vector<double> exact(static_cast<std::size_t>(windows));
                    for (std::ptrdiff_t k = 0; k < windows; ++k) {
                        exact[static_cast<std::size_t>(k)] = fit.Numerator(y.data() + k * stride);
                    }
                    // Bounds on the numerators, a last bit beside them, halfway between two, at the extremes and
                    // unbounded above.
                    std::vector<double> finite;
                    for (const double e : exact) {
                        if (std::isfinite(e)) {
                            finite.push_back(e);
                        }
                    }
                    std::sort(finite.begin(), finite.end());
                    std::vector<std::pair<double, double>> bounds = {
                        {finite.front(), finite.back()}, {finite.front(), dinf}, {-dinf, finite.back()}};
                    std::uniform_int_distribution<std::size_t> pick(0, finite.size() - 1);
                    for (int b = 0; b < 40; ++b) {
                        double low = finite[pick(random)];
                        double high = finite[pick(random)];
                        if (low > high) {
                            std::swap(low, high);
                        }
                        switch (b % 4) {
                        case 1:
                            low = std::nextafter(low, dinf);
                            high = std::nextafter(high, -dinf);
                            break;
                        case 2:
                            low = std::nextafter(low, -dinf);
                            high = std::nextafter(high, dinf);
                            break;
                        case 3:
                            high = b % 8 == 3 ? dinf : (high + finite.back()) / 2;
                            break;
                        default:
                            break;
                        }
                        bounds.emplace_back(low, high);
                    }
                    std::vector<std::int32_t> out(static_cast<std::size_t>(windows) + 1, -7);
                    std::size_t leftOut = 0;
                    for (const auto& [low, high] : bounds) {
                        const std::ptrdiff_t found =
                            fit.MaybeOutside(y.data(), stride, windows, low, high, largest, out.data());
                        ASSERT_LE(found, windows);
                        EXPECT_EQ(out.back(), -7) << "nothing written past the windows";
                        std::vector<bool> listed(static_cast<std::size_t>(windows), false);
                        for (std::ptrdiff_t j = 0; j < found; ++j) {
                            const std::int32_t k = out[static_cast<std::size_t>(j)];
                            ASSERT_TRUE(k >= 0 && k < windows && (j == 0 || k > out[static_cast<std::size_t>(j - 1)]))
                                << "ascending offsets of windows";
                            listed[static_cast<std::size_t>(k)] = true;
                        }
                        for (std::ptrdiff_t k = 0; k < windows; ++k) {
                            const double e = exact[static_cast<std::size_t>(k)];
                            if (!(e > low && e < high)) {
                                ASSERT_TRUE(listed[static_cast<std::size_t>(k)])
                                    << (wide ? "wide" : "narrow") << " set " << set << " n " << n << " stride "
                                    << stride << " window " << k << ": " << e << " not between " << low << " and "
                                    << high;
                            }
                        }
                        leftOut += static_cast<std::size_t>(windows - found);
                    }
                    if (set != 3 && set < 5) {
                        // Without NaN, infinities or subnormal samples (whose errors the bound cannot tell from
                        // their numerators) most windows lie well between some of the bounds: the rough numerators
                        // must leave many out, or they would save nothing.
                        EXPECT_GT(leftOut, bounds.size() * static_cast<std::size_t>(windows) / 4)
                            << "set " << set << " n " << n << " stride " << stride;
                    }
                }
            }
        }
    }
    CX::Enum::LeastSquaresSlope::AllowWideLanes(true);
    // The largest magnitude passes over NaN and takes infinities and signed zeros as they are.
    const std::vector<float> some = {-0.0f, nan, -3.5f, 2.0f, nan, 1.0f, 0.0f, -1.0f, 3.0f, nan};
    EXPECT_EQ(CX::Enum::LargestMagnitude(some.data(), static_cast<LONG>(some.size())), 3.5f);
    EXPECT_EQ(CX::Enum::LargestMagnitude(some.data(), 2), 0.0f);
    EXPECT_EQ(CX::Enum::LargestMagnitude(mixed.data(), 2500), inf);
    for (const bool wide : {true, false}) {
        CX::Enum::LeastSquaresSlope::AllowWideLanes(wide);
        for (int round = 0; round < 200; ++round) {
            std::vector<float> v(static_cast<std::size_t>(round * 3 % 301));
            for (float& x : v) {
                x = gauss(random) * (round % 3 == 0 ? 1e-40f : 1.0f);
            }
            if (!v.empty() && round % 4 == 1) {
                v[static_cast<std::size_t>(round) % v.size()] = nan; // anywhere, also where the lanes start
                v[0] = nan;
            }
            if (!v.empty() && round % 5 == 2) {
                v[v.size() - 1] = -8.0f; // the largest last, in the part after the lanes
            }
            if (v.size() > 100 && round % 2 == 0) {
                // The largest, then NaN where the same lane reads next: the NaN must not take its place.
                const std::size_t k = static_cast<std::size_t>(round) % 30;
                v[k] = 9.0f;
                v[k + 32] = nan;
            }
            float expected = 0.0f;
            for (const float x : v) {
                expected = std::fabs(x) > expected ? std::fabs(x) : expected;
            }
            ASSERT_EQ(CX::Enum::LargestMagnitude(v.data(), static_cast<LONG>(v.size())), expected)
                << (wide ? "wide" : "narrow") << " round " << round;
        }
    }
    CX::Enum::LeastSquaresSlope::AllowWideLanes(true);
}

TEST(CalcBulk, LevelSearchesOnFloatsAgreeWithTheWidenedTest)
{
    // Levels between two floats, on a float, beyond the float range, signed zeros, NaN and infinities, against
    // runs holding the same kinds of values, from every starting offset: each search must find what the widened
    // test finds sample by sample.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> kinds = {0.0f, -0.0f, 1.0f, -1.0f, 0.1f, std::nextafter(0.1f, 1.0f),
                                      std::nextafter(0.1f, 0.0f), 3e38f, -3e38f, 1e-45f, -1e-45f, inf, -inf, nan};
    std::vector<double> levels = {0.0, -0.0, 1.0, -1.0, 0.1, 1e300, -1e300, 1e-320, -1e-320,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (const float k : kinds) {
        if (std::isfinite(k)) {
            levels.push_back(static_cast<double>(k));
            levels.push_back(std::nextafter(static_cast<double>(k), 1e300));
            levels.push_back(std::nextafter(static_cast<double>(k), -1e300));
        }
    }
    std::mt19937 random(9);
    std::uniform_int_distribution<std::size_t> pick(0, kinds.size() - 1);
    for (int round = 0; round < 300; ++round) {
        // Runs short of one group of lanes and runs over several, wide lanes and narrow.
        CX::Enum::LeastSquaresSlope::AllowWideLanes(round % 2 == 0);
        std::vector<float> run(static_cast<std::size_t>(round % 37 + (round % 3 == 0 ? 40 : 0)));
        for (float& v : run) {
            v = kinds[pick(random)];
        }
        const auto count = static_cast<LONG>(run.size());
        for (const float sign : {1.0f, -1.0f, 0.5f}) {
            for (const double level : levels) {
                const float bound = static_cast<float>(level);
                for (LONG from = 0; from <= count; ++from) {
                    LONG below = count;
                    LONG above = count;
                    LONG over = count;
                    for (LONG i = count - 1; i >= from; --i) {
                        const float product = run[static_cast<std::size_t>(i)] * sign;
                        below = static_cast<double>(product) <= level ? i : below;
                        above = static_cast<double>(product) >= level ? i : above;
                        over = product > bound ? i : over;
                    }
                    ASSERT_EQ(CX::Enum::FirstAtOrBelow(run.data(), from, count, sign, level), below)
                        << "round " << round << " level " << level << " sign " << sign << " from " << from;
                    ASSERT_EQ(CX::Enum::FirstAtOrAbove(run.data(), from, count, sign, level), above)
                        << "round " << round << " level " << level << " sign " << sign << " from " << from;
                    ASSERT_EQ(CX::Enum::FirstAbove(run.data(), from, count, sign, bound), over)
                        << "round " << round << " bound " << bound << " sign " << sign << " from " << from;
                    // Backwards, over the first `from` samples.
                    LONG last = -1;
                    for (LONG i = 0; i < from; ++i) {
                        last = static_cast<double>(run[static_cast<std::size_t>(i)] * sign) < level ? i : last;
                    }
                    ASSERT_EQ(CX::Enum::LastBelow(run.data(), from, sign, level), last)
                        << "round " << round << " level " << level << " sign " << sign << " of " << from;
                }
            }
        }
        // The same run widened, against every pair of levels as the bounds of an open interval.
        const std::vector<double> widened(run.begin(), run.end());
        for (const double low : levels) {
            for (const double high : levels) {
                for (LONG from = 0; from <= count; ++from) {
                    LONG outside = from;
                    while (outside < count && widened[static_cast<std::size_t>(outside)] > low &&
                           widened[static_cast<std::size_t>(outside)] < high) {
                        ++outside;
                    }
                    ASSERT_EQ(CX::Enum::FirstOutside(widened.data(), from, count, low, high), outside)
                        << "round " << round << " between " << low << " and " << high << " from " << from;
                }
            }
        }
    }
    CX::Enum::LeastSquaresSlope::AllowWideLanes(true);
}

TEST(CalcBulk, PlugInsGiveTheSameRecordForAnySplitOfTheSamples)
{
    // One action potential with noise, handed to every plug-in of the stage one sample at a time, in one run, and
    // in runs of random lengths: the runs are read in place and in groups, the samples one by one through the
    // rings, and each way must give the same record bit for bit, at several smoothing widths.
    apsignal::Recording rec;
    apsignal::Shape shape;
    shape.tau = 90.0;
    apsignal::Append(rec, shape, 0.4, 3);
    rec.samples[260] = std::numeric_limits<float>::quiet_NaN(); // a ring and a block without a slope
    const std::vector<float>& v = rec.samples;
    const auto count = static_cast<LONG>(v.size());
    for (const LONG points : {2L, 3L, 5L, 8L}) {
        Bulk::Params params;
        params.tickPeriod = kT;
        params.smoothingPoints = points;
        params.bulk.maxNegSlopeStartMs = 0;
        Bulk::State state;
        state.current = rec.records.at(0);
        auto run = [&](const std::vector<LONG>& cuts) {
            EventFCalc out{};
            for (std::size_t i = 0; i < state.plugins.Size(); ++i) {
                auto& plugin = state.plugins[i];
                plugin.Begin(state, params);
                const CX::Enum::PluginWindow w = plugin.Window(state, params);
                const LONG from = std::clamp<LONG>(w.start, 0, count);
                const LONG to = std::clamp<LONG>(w.end, from, count);
                if (cuts.empty()) {
                    for (LONG t = from; t < to; ++t) {
                        plugin.AddSample(state, params, t, v[static_cast<std::size_t>(t)]);
                    }
                } else {
                    std::size_t c = 0;
                    for (LONG t = from; t < to;) {
                        const LONG n = std::min(cuts[c++ % cuts.size()], to - t);
                        plugin.AddSamples(state, params, t, v.data() + t, n);
                        t += n;
                    }
                }
                plugin.Finish(state, params, out);
            }
            return out;
        };
        const EventFCalc single = run({});
        EXPECT_FALSE(Unset(single.maxSlope));
        EXPECT_FALSE(Unset(single.minSlope));
        EXPECT_FALSE(Unset(single.maxNegSlope));
        std::mt19937 random(static_cast<unsigned>(points));
        for (int round = 0; round < 12; ++round) {
            std::vector<LONG> cuts;
            if (round == 0) {
                cuts = {count};
            } else {
                for (int k = 0; k < 40; ++k) {
                    cuts.push_back(std::uniform_int_distribution<LONG>(1, round < 6 ? 9 : 700)(random));
                }
            }
            const EventFCalc split = run(cuts);
            EXPECT_EQ(std::memcmp(&split, &single, sizeof split), 0) << "smoothing " << points << " round " << round;
        }
    }
}

TEST(CalcBulk, ParameterTextDefaultsAndRoundTrip)
{
    EXPECT_EQ(Written(Make<Bulk::Family>(u"2").Get()),
              u"0 -1 -1 0 -1 30 70 30 70 -1 -1 -1 -1 -1 50 4 0 0 2147483647 2147483647");
    // Analysis types beyond 0..5 are the general one; halves round away from zero; the tau mode is not checked.
    EXPECT_EQ(Written(Make<Bulk::Family>(u"2 6 1.5 2.5 7.4 -3 29.5 -70.5 -1 -1 12 13 14 15 16 -2.5 -1").Get()),
              u"0 1.5 2.5 7 -3 30 -71 30 70 12 13 14 15 16 -3 4 0 0 2147483647 2147483647");
}

} // namespace

TEST(CalcBulk, AreaSumsOfRunsEqualTheSumsTakenOneByOne)
{
    // ADC-like steps, noisy floats near a resting level, values far apart in size (whose sums round), sums close to
    // the last whole double, signed zeros, subnormals, NaN and infinities: each run's sum, from each kind of sum so
    // far, must be the double that adding the differences one by one gives.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 random(46);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::uniform_int_distribution<int> step(-4000, 4000);
    std::uniform_int_distribution<int> oddOne(0, 40);
    const std::vector<float> odd = {0.0f, -0.0f, 1e-45f, -1e-40f, 1e30f, -1e-30f, 3e38f, inf, -inf, nan};
    const std::vector<double> starts = {0.0, -0.0, 0.1, -12.5, 0x1p53 - 3.0, -0x1p53 + 1.0, 1e-300, 1e300,
                                        std::numeric_limits<double>::quiet_NaN()};
    const std::vector<float> baselines = {-80.0f, 0.0f, -0.0f, 0.3f, 1e-38f};
    for (int round = 0; round < 400; ++round) {
        std::vector<float> run(static_cast<std::size_t>(round % 71));
        for (float& v : run) {
            switch (round % 4) {
            case 0:
                v = static_cast<float>(step(random)) / 64.0f;
                break;
            case 1:
                v = -80.0f + static_cast<float>(step(random)) * 0.03f + noise(random);
                break;
            case 2:
                v = static_cast<float>(step(random)) * 0.25f;
                if (oddOne(random) == 0) {
                    v = odd[static_cast<std::size_t>(oddOne(random)) % odd.size()];
                }
                break;
            default:
                v = static_cast<float>(step(random)) * (oddOne(random) < 20 ? 1e-6f : 1e6f);
                break;
            }
        }
        const auto n = static_cast<LONG>(run.size());
        for (const double start : starts) {
            for (const float baseline : baselines) {
                double expected = start;
                for (const float v : run) {
                    expected += static_cast<double>(v - baseline);
                }
                // Eight lanes where the processor has them, and four.
                for (const bool wide : {true, false}) {
                    CX::Enum::LeastSquaresSlope::AllowWideLanes(wide);
                    const double sum = CX::Enum::AddDifferences(start, run.data(), n, baseline);
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(sum), std::bit_cast<std::uint64_t>(expected))
                        << (wide ? "wide" : "narrow") << " round " << round << " start " << start << " baseline "
                        << baseline;
                }
            }
        }
    }
    CX::Enum::LeastSquaresSlope::AllowWideLanes(true);
}
