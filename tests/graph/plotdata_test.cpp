#include "graph/mgraph1/plotdata.h"
#include "graph/mgraph1/xycplotter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {
using MGraph1::HitRecord;
using MGraph1::XYCPlotDataBase;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

XYCPlotDataBase MapOfSize(int width, int height)
{
    XYCPlotDataBase map;
    std::int32_t cookie = -1;
    EXPECT_TRUE(map.BeginPlot(width, height, &cookie));
    EXPECT_EQ(0, cookie);
    map.EndPlot();
    return map;
}

TEST(HitMap, BeginPlotRefusesEmptySizesAndNestedPlots)
{
    XYCPlotDataBase map = MapOfSize(50, 40);
    map.SetHit(3, 4, 1.0, 2.0, 9, 0x123456, 1);
    std::int32_t cookie = 0;
    EXPECT_FALSE(map.BeginPlot(0, 40, &cookie));
    EXPECT_FALSE(map.BeginPlot(50, 0, &cookie));
    EXPECT_EQ(1u, map.HitCount()); // a refused begin leaves the map as it was
    ASSERT_TRUE(map.BeginPlot(50, 40, &cookie));
    EXPECT_EQ(1u, map.HitCount()); // the same size keeps the hits for an update in place
    EXPECT_FALSE(map.BeginPlot(50, 40, &cookie));
    map.EndPlot();
    ASSERT_TRUE(map.BeginPlot(51, 40, &cookie));
    EXPECT_EQ(0u, map.HitCount()); // another size starts a new map
    map.EndPlot();
}

TEST(HitMap, StoresOnlyInsideItsSizeAndInsertKeepsTheFirst)
{
    XYCPlotDataBase map = MapOfSize(10, 5);
    for (const POINT p : {POINT{-1, 0}, POINT{10, 0}, POINT{0, -1}, POINT{0, 5}}) {
        map.SetHit(p.x, p.y, 1, 1, 1, 1, 1);
        EXPECT_FALSE(map.GetHit(p.x, p.y, nullptr));
    }
    EXPECT_EQ(0u, map.HitCount());
    map.InsertHit(9, 4, HitRecord{-1, 1.0, 1.0, 1, 1, 1});
    map.InsertHit(9, 4, HitRecord{-1, 2.0, 2.0, 2, 2, 2});
    HitRecord record;
    ASSERT_TRUE(map.GetHit(9, 4, &record));
    EXPECT_EQ(1, record.index);
    map.SetHit(9, 4, 3.0, 3.0, 3, 3, 3);
    ASSERT_TRUE(map.GetHit(9, 4, &record));
    EXPECT_EQ(3, record.index);
    EXPECT_EQ(-1, record.kind);
}

struct NearestCase {
    const char* name;
    std::vector<POINT> hits; // index i is stored as the hit's index
    POINT query;
    int expectedIndex; // -1: nothing found
};

class NearestHit : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestHit, FindsTheClosestWithinTheRadius)
{
    const NearestCase& c = GetParam();
    XYCPlotDataBase map = MapOfSize(100, 60);
    for (std::size_t i = 0; i < c.hits.size(); ++i) {
        map.SetHit(c.hits[i].x, c.hits[i].y, 0, 0, static_cast<std::int32_t>(i), 0, 1);
    }
    HitRecord record;
    const bool found = map.FindNearestHit(c.query.x, c.query.y, 20, &record);
    EXPECT_EQ(c.expectedIndex >= 0, found);
    if (found) {
        EXPECT_EQ(c.expectedIndex, record.index);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HitMap, NearestHit,
    ::testing::Values(NearestCase{"EmptyMap", {}, {50, 30}, -1},
                      NearestCase{"NineteenToTheRight", {{69, 30}}, {50, 30}, 0},
                      NearestCase{"TwentyToTheRight", {{70, 30}}, {50, 30}, -1},
                      NearestCase{"TwentyToTheLeft", {{30, 30}}, {50, 30}, -1},
                      NearestCase{"NineteenAbove", {{50, 11}}, {50, 30}, 0},
                      NearestCase{"DiagonalJustOutside", {{62, 46}}, {50, 30}, -1}, // 12² + 16² = 400
                      NearestCase{"DiagonalJustInside", {{62, 45}}, {50, 30}, 0},
                      NearestCase{"NearerWins", {{60, 30}, {55, 30}}, {50, 30}, 1},
                      NearestCase{"UpperRowWinsTie", {{50, 35}, {50, 25}}, {50, 30}, 1},
                      NearestCase{"LeftWinsTieOnOneRow", {{55, 30}, {45, 30}}, {50, 30}, 1},
                      NearestCase{"QueryOutsideMapStillFindsEdge", {{0, 0}}, {-5, -5}, 0}),
    [](const ::testing::TestParamInfo<NearestCase>& info) { return std::string(info.param.name); });

TEST(HitMap, HintComesFromTheNearestHitAtTheRelativePoint)
{
    XYCPlotDataBase map = MapOfSize(100, 60);
    map.SetHit(40, 20, 1.5, -2.5, 17, 0, 1);
    MGraph1::Hint hint;
    hint.relative = POINT{45, 22};
    map.hintStale = true;
    ASSERT_TRUE(map.GetHint(0, &hint));
    EXPECT_TRUE(hint.valid);
    EXPECT_EQ(1.5, hint.x);
    EXPECT_EQ(-2.5, hint.y);
    EXPECT_EQ(17, hint.index);
    EXPECT_FALSE(map.hintStale);
    hint.relative = POINT{90, 50};
    EXPECT_FALSE(map.GetHint(0, &hint));
    EXPECT_FALSE(hint.valid);
    EXPECT_FALSE(map.GetHint(0, nullptr));
}

TEST(HitMap, PlotScopeEndsThePlotWhenDrawingThrows)
{
    XYCPlotDataBase map;
    try {
        const MGraph1::PlotScope scope(&map, 10, 10);
        EXPECT_TRUE(map.plotting);
        throw std::runtime_error("drawing failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(map.plotting);
    std::int32_t cookie = 0;
    EXPECT_TRUE(map.BeginPlot(10, 10, &cookie));
    map.EndPlot();
}

TEST(PlotData, SettingChangedMarksRedrawAndStaleHint)
{
    MGraph1::PlotDataBase data;
    data.SetChanged(false);
    EXPECT_FALSE(data.redrawNeeded);
    data.SetChanged(true);
    EXPECT_TRUE(data.IsChanged());
    EXPECT_TRUE(data.redrawNeeded);
    EXPECT_TRUE(data.hintStale);
    data.ClearChanged();
    EXPECT_FALSE(data.IsChanged());
    EXPECT_TRUE(data.redrawNeeded);
}

// Samples 10, 11, ... at x = start + i * step.
class Samples : public MGraph1::YCPlotDataEx {
public:
    Samples(int count, double start, double step) : start_(start), step_(step)
    {
        for (int i = 0; i < count; ++i) {
            values_.push_back(10.0f + static_cast<float>(i));
        }
    }
    bool GetSeries(int, Series& out) override
    {
        out.count = static_cast<int>(values_.size());
        out.start = start_;
        out.step = step_;
        out.values = values_.data();
        return true;
    }

private:
    double start_;
    double step_;
    std::vector<float> values_;
};

struct SampleHintCase {
    const char* name;
    double step;
    bool snap;
    double mouseX;
    bool result;
    bool valid;
    double hintedX;
    double hintedY;
};

class SampleHint : public ::testing::TestWithParam<SampleHintCase> {};

TEST_P(SampleHint, NamesTheNearestSample)
{
    const SampleHintCase& c = GetParam();
    Samples data(4, 1.0, c.step); // samples at 1, 1 + step, ...
    data.domain = MGraph1::ValueRange{0.0, 4.0};
    data.snap = c.snap;
    MGraph1::Hint hint;
    hint.dataX = c.mouseX;
    hint.valid = !c.valid;
    EXPECT_EQ(c.result, data.GetHint(0, &hint));
    if (c.result) {
        EXPECT_EQ(c.valid, hint.valid);
        EXPECT_EQ(c.hintedX, hint.x);
        EXPECT_EQ(c.hintedY, hint.y);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PlotData, SampleHint,
    ::testing::Values(SampleHintCase{"NearestBelow", 1.0, false, 2.4, true, true, 2.4, 11.0},
                      SampleHintCase{"NearestAbove", 1.0, false, 2.6, true, true, 2.6, 12.0},
                      SampleHintCase{"SnapGivesSampleX", 1.0, true, 2.6, true, true, 3.0, 12.0},
                      SampleHintCase{"DomainMaximumPastLastSample", 1.0, true, 4.0, true, true, 4.0, 13.0},
                      SampleHintCase{"DomainMinimumBeforeFirst", 1.0, true, 0.0, true, false, 0.0, 0.0},
                      SampleHintCase{"IndexEqualToCount", 0.5, false, 3.0, true, false, 3.0, 0.0},
                      SampleHintCase{"ZeroStep", 0.0, false, 2.0, true, false, 2.0, 0.0},
                      SampleHintCase{"NaNStep", kNaN, false, 2.0, true, false, 2.0, 0.0},
                      SampleHintCase{"NaNMouse", 1.0, false, kNaN, false, false, 0.0, 0.0}),
    [](const ::testing::TestParamInfo<SampleHintCase>& info) { return std::string(info.param.name); });

TEST(PlotData, SampleHintOutsideTheDomainSaysSo)
{
    Samples data(4, 1.0, 1.0);
    data.domain = MGraph1::ValueRange{0.0, 4.0};
    MGraph1::Hint hint;
    hint.dataX = 7.0;
    hint.valid = true;
    ASSERT_TRUE(data.GetHint(3, &hint));
    EXPECT_FALSE(hint.valid);
    EXPECT_EQ(u" Series 3 out of range", hint.text.View());
    data.SetChanged(true);
    hint.dataX = 2.0;
    EXPECT_FALSE(data.GetHint(3, &hint)); // changed data give no hint until they are read again
}
} // namespace

// What the library keeps but never reads: the XY data's five values, the hooks of a drawer and the application's
// operation of evenly spaced data; and the shared chunked plotter, built with a plotter's defaults.
TEST(PlotData, UnreadPartsKeepTheirDefaultsAndDoNothing)
{
    const XYCPlotDataBase xy;
    EXPECT_EQ(std::vector<std::int32_t>(std::begin(xy.spareValues), std::end(xy.spareValues)),
              (std::vector<std::int32_t>{2147483647, -2147483647, 2147483647, -2147483647, -2147483647}));

    MGraph1::YCPlotDataEx samples;
    samples.ApplicationOperation();
    EXPECT_FALSE(samples.changed);
    EXPECT_FALSE(samples.redrawNeeded);

    MGraph1::GraphDrawer drawer;
    drawer.SetDomain(1.0, 2.0);
    for (void (MGraph1::GraphDrawer::*hook)() :
         {&MGraph1::GraphDrawer::Hook1, &MGraph1::GraphDrawer::Hook2, &MGraph1::GraphDrawer::Hook3,
          &MGraph1::GraphDrawer::Hook4, &MGraph1::GraphDrawer::Hook5, &MGraph1::GraphDrawer::Hook6,
          &MGraph1::GraphDrawer::Hook7, &MGraph1::GraphDrawer::Hook8, &MGraph1::GraphDrawer::Hook9}) {
        (drawer.*hook)();
    }
    EXPECT_EQ(drawer.ranges[MGraph1::kHorizontal], (MGraph1::ValueRange{1.0, 2.0}));
    EXPECT_TRUE(drawer.enabled);

    MGraph1::XYCPlotter2& shared = MGraph1::SharedXYCPlotter2();
    EXPECT_EQ(&shared, &MGraph1::SharedXYCPlotter2());
    EXPECT_EQ(shared.colour, COLORREF{0x0000FF});
    EXPECT_EQ(shared.lineWidth, 1.0f);
    EXPECT_TRUE(shared.needsRedraw);
    EXPECT_EQ(shared.data, nullptr);
}
