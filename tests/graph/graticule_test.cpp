#include "graph/mgraph1/graticule.h"

#include "host/scalecontrol.h"

#include "graph_canvas.h"

#include <functional>

namespace {
using namespace graphtest;
using host::ScaleControl;

constexpr COLORREF kGrid = 0xFFAFAF;

struct Scales {
    platform::ComPtr<ScaleControl> h = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    platform::ComPtr<ScaleControl> v = ScaleControl::Create(ScaleControl::Axis::Vertical);
    Scales()
    {
        h->SetRect(RECT{kPlot.left, kPlot.bottom, kPlot.right, kPlot.bottom + 10});
        v->SetRect(RECT{0, kPlot.top, kPlot.left, kPlot.bottom});
        h->SetTicks({0, 40, 80, 120, 160}); // the last at x = right
        v->SetTicks({0, 20, 40, 60, 80});   // the last at y = bottom
        h->SetGridSpacing(160.0, -40.0);
        v->SetGridSpacing(80.0, -20.0);
    }
};

void Draw(ImageCanvas& canvas, Scales& scales, bool dots, const RECT* clip = nullptr)
{
    MGraph1::GraphDisplaySettings settings;
    settings.dots = dots ? 1 : 0;
    MGraph1::GraphGraticule graticule(settings, scales.h.Get(), scales.v.Get());
    graticule.rect = kPlot;
    graticule.Draw(canvas.dc, nullptr, clip);
}

struct GridCase {
    const char* name;
    std::function<void(Scales&)> prepare;
    bool dots;
};
void PrintTo(const GridCase& c, std::ostream* out) { *out << c.name; }

class GridPictures : public GraphTest, public ::testing::WithParamInterface<GridCase> {};

TEST_P(GridPictures, MatchGolden)
{
    Scales scales;
    GetParam().prepare(scales);
    ImageCanvas canvas;
    Draw(canvas, scales, GetParam().dots);
    ExpectGolden(canvas, std::string("grid_") + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Graticule, GridPictures,
    ::testing::Values(GridCase{"ticks", [](Scales&) {}, false}, GridCase{"tick_dots", [](Scales&) {}, true},
                      GridCase{"spacing", [](Scales& s) { s.h->SetOffersTickList(false); }, false},
                      GridCase{"spacing_dots_without_vertical_ticks", [](Scales& s) { s.v->SetTicks({}); }, true}),
    [](const ::testing::TestParamInfo<GridCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, TicksAtTheFarEdgeAreLeftOutButSpacingReachesIt)
{
    Scales scales;
    ImageCanvas byTicks;
    Draw(byTicks, scales, false);
    EXPECT_EQ(0, byTicks.Inked(RECT{kPlot.right, 0, kPlot.right + 1, 100}));
    EXPECT_EQ(0, byTicks.Inked(RECT{0, kPlot.bottom, 200, kPlot.bottom + 1}));
    EXPECT_EQ(kGrid, byTicks.At(kPlot.left + 40, kPlot.top + 1)); // a dotted line starts with ink
    scales.h->SetOffersTickList(false);
    ImageCanvas bySpacing;
    Draw(bySpacing, scales, false);
    EXPECT_NE(0, bySpacing.Inked(RECT{kPlot.right, 0, kPlot.right + 1, 100}));
    EXPECT_NE(0, bySpacing.Inked(RECT{0, kPlot.bottom, 200, kPlot.bottom + 1}));
}

struct RefusalCase {
    const char* name;
    double farthest;
    double step;
    bool drawn;
};

class SpacingRefusals : public GraphTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SpacingRefusals, PaintOnlyDrawableGrids)
{
    const RefusalCase& c = GetParam();
    Scales scales;
    scales.h->SetOffersTickList(false);
    scales.v->SetGridSpacing(c.farthest, c.step);
    for (const bool dots : {false, true}) {
        ImageCanvas canvas;
        Draw(canvas, scales, dots);
        EXPECT_EQ(c.drawn, canvas.Inked(canvas.All()) > 0) << (dots ? "dots" : "lines");
    }
}

INSTANTIATE_TEST_SUITE_P(Graticule, SpacingRefusals,
                         ::testing::Values(RefusalCase{"ZeroStep", 80.0, 0.0, false},
                                           RefusalCase{"PositiveStep", 80.0, 20.0, false},
                                           RefusalCase{"TenThousandLines", 10000.0, -1.0, true},
                                           RefusalCase{"MoreThanTenThousandLines", 10000.5, -1.0, false},
                                           RefusalCase{"NotANumber", 80.0, -std::numeric_limits<double>::quiet_NaN(),
                                                       false}),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, GridNeedsAClipThatOverlapsThePlot)
{
    const RECT touching[] = {{kPlot.right, 0, 200, 100}, {0, 0, kPlot.left, 100}, {0, kPlot.bottom, 200, 100},
                             {0, 0, 200, kPlot.top}};
    for (const bool spacing : {false, true}) {
        Scales scales;
        scales.h->SetOffersTickList(!spacing);
        for (const RECT& clip : touching) {
            ImageCanvas canvas;
            Draw(canvas, scales, false, &clip);
            EXPECT_EQ(0, canvas.Inked(canvas.All()));
        }
        const RECT overlapping{kPlot.right - 1, 0, 200, 100};
        ImageCanvas canvas;
        Draw(canvas, scales, false, &overlapping);
        EXPECT_NE(0, canvas.Inked(canvas.All()));
    }
}

TEST_F(GraphTest, NarrowScaleRectanglesPaintNothing)
{
    Scales scales;
    scales.h->SetRect(RECT{0, 0, 1, 10});
    ImageCanvas canvas;
    Draw(canvas, scales, false);
    EXPECT_EQ(0, canvas.Inked(canvas.All()));
    MGraph1::GraphGraticule none;
    none.rect = kPlot;
    none.Draw(canvas.dc, nullptr, nullptr); // without controls: nothing, and no crash
    EXPECT_EQ(0, canvas.Inked(canvas.All()));
}

TEST(ScaleControl, LaysTicksOutAtRoundSteps)
{
    auto h = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    h->SetRect(RECT{0, 0, 200, 20});
    h->LayOut(0.0, 8.0); // 25 pixels per unit: a step of 2 keeps ticks 50 pixels apart
    LONG count = 0;
    h->GetTickCount(&count);
    ASSERT_EQ(5, count);
    ScaleTick ticks[5];
    LONG filled = 0;
    h->FillTicks(5, ticks, &filled);
    EXPECT_EQ(5, filled);
    EXPECT_EQ(50, ticks[1].offset);
    EXPECT_EQ(200, ticks[4].offset);
    LONG lines = 0;
    double farthest = 0;
    double step = 0;
    h->GetGridSpacing(&lines, &farthest, &step);
    EXPECT_EQ(200.0, farthest);
    EXPECT_EQ(-50.0, step);
    EXPECT_EQ(5, lines);

    auto v = ScaleControl::Create(ScaleControl::Axis::Vertical);
    v->SetRect(RECT{0, 0, 20, 100});
    v->LayOut(-1.0, 1.0); // values grow upwards: 1.0 at the top
    v->GetTickCount(&count);
    ScaleTick vt[8];
    v->FillTicks(8, vt, &filled);
    ASSERT_EQ(count, filled);
    EXPECT_EQ(100, vt[0].offset);
    EXPECT_EQ(0, vt[filled - 1].offset);
}
} // namespace
