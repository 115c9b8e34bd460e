// The current event as the analysis view shows it: samples read from the host with their leading and trailing
// zeros, the two trace windows, the markers of each glyph set, the tau curve and the value texts.
#include "viewfixture.h"

#include "document/paramcatalogue.h"
#include "graph/analysisview/paramidset.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace viewtest;
using CX::ParamIdSet;
namespace Id = CX::Doc::SettingId;

std::string Utf8(const KVO::String& text) { return platform::Utf16ToUtf8(std::u16string(text.View())); }

TEST(ChartBuffer, LeadingZerosShortReadsAndFailures)
{
    ViewDocument view({150});
    const auto sample = [](int tick) { return Waveform(tick, 150); };
    constexpr float kUntouched = 7.0f;
    struct Case {
        const char* name;
        std::int32_t start;
        std::size_t size;
        std::int32_t block;
        std::size_t expectedSize;
        int firstRead;  // entries before it are zero (or untouched)
        int readCount;  // samples read from tick max(start, 0); zeros after them
        bool untouched; // nothing done at all
    };
    const Case cases[] = {
        {"negative start", -5, 100, 0, 100, 5, 95, false},
        {"whole lead", -100, 100, 0, 100, 0, 0, true},
        {"short read past the block's end", kBlockLength - 60, 95, 0, 95, 0, 60, false},
        {"inside", 140, 20, 0, 20, 0, 20, false},
        {"no such block", 0, 10, 5, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> samples(c.size, kUntouched);
        ChartBuffer(view.hostDocument->AsUnknown(), 0).Read(samples, c.start, c.block);
        ASSERT_EQ(samples.size(), c.expectedSize);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const int index = static_cast<int>(i);
            if (c.untouched) {
                EXPECT_EQ(samples[i], kUntouched);
            } else if (index < c.firstRead || index >= c.firstRead + c.readCount) {
                EXPECT_EQ(samples[i], 0.0f) << i;
            } else {
                EXPECT_FLOAT_EQ(samples[i], sample(std::max(c.start, 0) + index - c.firstRead)) << i;
            }
        }
    }
}

TEST(ParamIdSet, TraceWindowsOfTheCurrentEvent)
{
    ViewDocument view({150});
    ParamIdSet overlays(*view.doc);
    const EventFCalc known = KnownEvent(150);
    const double origin = known.stimulusTick;

    auto first = overlays.GetTraceWindow(0);
    ASSERT_EQ(first.count, known.fallEnd - known.stimulusTick + 1);
    EXPECT_EQ(first.colour, 0x21AC7Au);
    EXPECT_DOUBLE_EQ(first.start, 0.0);
    EXPECT_DOUBLE_EQ(first.interval, kDt);
    for (int i = 0; i < first.count; ++i) {
        EXPECT_FLOAT_EQ(first.samples[i], Waveform(known.stimulusTick + i, 150)) << i;
    }
    auto second = overlays.GetTraceWindow(1);
    EXPECT_EQ(second.count, known.baselineEnd - known.baselineStart + 1);
    EXPECT_DOUBLE_EQ(second.start, (known.baselineStart - origin) * kDt);
    EXPECT_EQ(second.colour, 0xD8988Bu);

    struct Case {
        const char* name;
        std::function<void(EventFCalc&)> change;
        int type;
        std::int32_t count0;
        std::int32_t count1;
    };
    const Case cases[] = {
        {"population spikes have no second trace", [](EventFCalc&) {}, 4, known.fallEnd - known.stimulusTick + 1, 0},
        {"unset end", [](EventFCalc& e) { e.fallEnd = -1; e.baselineEnd = -1; }, 0, 0, 0},
        {"end before start", [](EventFCalc& e) { e.fallEnd = e.stimulusTick - 10; }, 0, 0,
         known.baselineEnd - known.baselineStart + 1},
        {"span past the block", [](EventFCalc& e) { e.fallEnd = 0x7FFFFFF0; }, 0, kBlockLength - known.stimulusTick,
         known.baselineEnd - known.baselineStart + 1},
        {"stimulus unset: the baseline start", [](EventFCalc& e) { e.stimulusTick = -1; }, 0,
         known.fallEnd - known.baselineStart + 1, known.baselineEnd - known.baselineStart + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventFCalc event = known;
        c.change(event);
        view.SetAnalysisType(c.type);
        view.Store({event});
        EXPECT_EQ(overlays.GetTraceWindow(0).count, c.count0);
        EXPECT_EQ(overlays.GetTraceWindow(1).count, c.count1);
    }
}

TEST(ParamIdSet, EventsOutsideTheStoreAreEmpty)
{
    ViewDocument view({150, 300});
    ParamIdSet overlays(*view.doc);
    for (const std::int32_t index : {-1, 2, 0x7FFFFFFF}) {
        view.doc->SetCurrentEvent(index);
        EXPECT_EQ(overlays.GetTraceWindow(0).count, 0) << index;
        EXPECT_TRUE(overlays.GetMarkers(3).empty()) << index;
        EXPECT_EQ(overlays.GetTauCurve().count, 0) << index;
    }
    view.doc->SetCurrentEvent(1);
    EXPECT_EQ(overlays.CurrentEvent().record.tick, 300);
}

TEST(ParamIdSet, MarkersOfEachSet)
{
    ViewDocument view({150});
    ParamIdSet overlays(*view.doc);
    const EventFCalc e = KnownEvent(150);
    const auto time = [&](double tick) { return (tick - e.stimulusTick) * kDt; };

    const auto lines = overlays.GetMarkers(3);
    ASSERT_EQ(lines.size(), 6u);
    const struct {
        std::int32_t kind;
        double x, y, x2;
        const char* label;
    } expected[] = {
        {ParamIdSet::kLevel, 0.0, kBaseline, 0.0, "Baseline"},
        {ParamIdSet::kTime, time(e.riseStart), 0.0, 0.0, "Start"},
        {ParamIdSet::kTime, time(e.fallEnd), 0.0, 0.0, "End"},
        {ParamIdSet::kTime, time(e.tick), 0.0, 0.0, "Peak"},
        {ParamIdSet::kLevel, 0.0, kBaseline + kHeight, 0.0, "APeak"},
        {ParamIdSet::kHorizontalSegment, time(e.rise50Tick), kBaseline + kHeight / 2, time(e.fall50Tick), "Width50"},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(expected[i].label);
        EXPECT_EQ(lines[i].kind, expected[i].kind);
        EXPECT_NEAR(lines[i].x, expected[i].x, 1e-12);
        EXPECT_NEAR(lines[i].y, expected[i].y, 1e-6);
        EXPECT_NEAR(lines[i].x2, expected[i].x2, 1e-12);
        EXPECT_EQ(Utf8(lines[i].label), expected[i].label);
    }

    const auto areas = overlays.GetMarkers(4);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].kind, ParamIdSet::kArea);
    EXPECT_DOUBLE_EQ(areas[0].x, time(e.riseStart));
    EXPECT_DOUBLE_EQ(areas[0].x2, time(e.fallEnd));
    EXPECT_FLOAT_EQ(static_cast<float>(areas[0].y), kBaseline);

    // The slope window is 2 to 8 ms after the rise's start.
    const auto slope = overlays.GetMarkers(5);
    ASSERT_EQ(slope.size(), 1u);
    EXPECT_EQ(slope[0].kind, ParamIdSet::kSegment);
    EXPECT_NEAR(slope[0].x, time(e.riseStart + 2), 1e-12);
    EXPECT_NEAR(slope[0].x2, time(e.riseStart + 8), 1e-12);
    EXPECT_NEAR(slope[0].y, e.slope * kDt + e.unread160, 1e-6);
    EXPECT_NEAR(slope[0].y2, e.slope * (6 * kDt + kDt) + e.unread160, 1e-5);
    EXPECT_EQ(Utf8(slope[0].label), "Slope");

    // A switch turned off, a value not computed, or a type that does not measure the code hides the marker.
    view.doc->Settings().SetBool(2014, false);
    EXPECT_EQ(overlays.GetMarkers(3).size(), 5u);
    view.doc->Settings().SetBool(2014, true);
    EventFCalc unset = e;
    unset.aPeak = CX::Enum::kUnsetFloat;
    view.Store({unset});
    EXPECT_EQ(overlays.GetMarkers(3).size(), 5u);
    view.SetAnalysisType(1); // action potentials: baseline and start only
    EXPECT_EQ(overlays.GetMarkers(3).size(), 2u);
    EXPECT_TRUE(overlays.GetMarkers(4).empty());
    EXPECT_TRUE(overlays.GetMarkers(5).empty());

    // Both population-spike bounds set: the population-spike area between them.
    view.SetAnalysisType(4);
    EventFCalc spike = e;
    spike.reserved104 = e.tick + 5;
    spike.reserved108 = e.tick + 25;
    spike.popSpikeArea = 0.01f;
    view.Store({spike});
    const auto spikeArea = overlays.GetMarkers(4);
    ASSERT_EQ(spikeArea.size(), 1u);
    EXPECT_TRUE(std::isnan(spikeArea[0].y));
    EXPECT_DOUBLE_EQ(spikeArea[0].x2, time(spike.reserved108));
}

TEST(ParamIdSet, TauCurve)
{
    ViewDocument view({150});
    ParamIdSet overlays(*view.doc);
    const EventFCalc e = KnownEvent(150);
    const auto curve = overlays.GetTauCurve();
    ASSERT_EQ(curve.count, 31); // a fit over 3 ticks, ten points a tick and its last
    EXPECT_EQ(curve.colour, 0xFF0000u);
    EXPECT_EQ(curve.colours, nullptr);
    for (int k = 0; k < curve.count; ++k) {
        const double t = k * kDt / 10;
        EXPECT_NEAR(curve.x[k], (e.tauStart - e.stimulusTick) * kDt + t, 1e-6) << k;
        // On the fit the curve is the waveform's own decay.
        EXPECT_NEAR(curve.y[k], kBaseline + kHeight * std::exp(-(10 * kDt + t) / kTau), 1e-5) << k;
    }

    struct Case {
        const char* name;
        std::function<void(EventFCalc&)> change;
        std::int32_t count;
    };
    const Case cases[] = {
        {"tau 0", [](EventFCalc& c) { c.tau = 0.0f; }, 0},
        {"tau not computed", [](EventFCalc& c) { c.tau = CX::Enum::kUnsetFloat; }, 0},
        {"tau infinite", [](EventFCalc& c) { c.tau = std::numeric_limits<float>::infinity(); }, 0},
        {"end before start", [](EventFCalc& c) { c.tauEnd = c.tauStart - 1; }, 0},
        {"one tick", [](EventFCalc& c) { c.tauEnd = c.tauStart; }, 1},
        {"absurd span is capped", [](EventFCalc& c) { c.tauStart = -0x7FFFFFFF; c.tauEnd = 0x7FFFFFFF; },
         static_cast<std::int32_t>(ParamIdSet::kMaxCurvePoints)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventFCalc event = e;
        c.change(event);
        view.Store({event});
        EXPECT_EQ(overlays.GetTauCurve().count, c.count);
    }
    view.Store({e});
    view.doc->Settings().SetBool(2019, false);
    EXPECT_EQ(overlays.GetTauCurve().count, 0);
}

TEST(ParamIdSet, ValueMenuAndValueTexts)
{
    ViewDocument view({150});
    ParamIdSet overlays(*view.doc);
    const auto names = overlays.ValueMenuNames();
    ASSERT_EQ(static_cast<std::int32_t>(names.size()), view.doc->Catalogue().RowCount(0));
    EXPECT_EQ(Utf8(names[0]), "Baseline");
    EXPECT_EQ(Utf8(names[1]), "TStart");

    EXPECT_EQ(Utf8(overlays.ValueText(0)), "Baseline: 0.1 V");
    EXPECT_EQ(Utf8(overlays.ValueText(6)), "APeak: 1.1 V");
    // Row 8 is MaxSlope, which this event does not have.
    EXPECT_EQ(Utf8(overlays.ValueText(8)), "MaxSlope: No value");
    EXPECT_EQ(Utf8(overlays.MarkerLabel(0)), "Start");
    EXPECT_EQ(Utf8(overlays.MarkerLabel(3)), "Peak");
    EXPECT_EQ(Utf8(overlays.MarkerLabel(57)), "End");
    EXPECT_EQ(Utf8(overlays.MarkerLabel(27)), "Width50");
}

} // namespace
