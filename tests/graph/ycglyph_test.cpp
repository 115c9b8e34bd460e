#include "graph/mgraph1/dcclipper.h"
#include "graph/mgraph1/glyphplotter.h"
#include "graph/mgraph1/ycplotter.h"

#include "graph_canvas.h"

#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace {
using namespace graphtest;

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Samples in pixels from the plot's corner at x = start + i * step.
class Trace : public MGraph1::YCPlotDataEx {
public:
    bool GetSeries(int, Series& s) override
    {
        s.count = static_cast<int>(values.size());
        s.start = start;
        s.step = step;
        s.values = values.data();
        s.colours = colours.empty() ? nullptr : colours.data();
        s.colourAndStyle = colourAndStyle;
        return true;
    }
    std::vector<float> values;
    std::vector<COLORREF> colours;
    double start = 0.0;
    double step = 1.0;
    std::uint32_t colourAndStyle = kBlue;
};

Trace Wave(int count, double step, float middle, float height)
{
    Trace t;
    t.step = step;
    for (int i = 0; i < count; ++i) {
        t.values.push_back(middle + height * static_cast<float>(std::sin(i * 0.35)));
    }
    return t;
}

class Marks : public MGraph1::GlyphPlotData {
public:
    bool GetGlyphs(double, double, int series, int* count, const MGraph1::GlyphRecord** records) override
    {
        const std::vector<MGraph1::GlyphRecord>& set = sets[series];
        *count = static_cast<int>(set.size());
        *records = set.data();
        return true;
    }
    std::map<int, std::vector<MGraph1::GlyphRecord>> sets;
};

MGraph1::GlyphRecord Glyph(std::int32_t kind, double x, double y, double x2, double y2, COLORREF colour,
                           const char16_t* label = u"", bool legendLine = false)
{
    MGraph1::GlyphRecord g;
    g.x = x;
    g.y = y;
    g.x2 = x2;
    g.y2 = y2;
    g.kind = kind;
    g.colour = colour;
    g.label = label;
    g.legendLine = legendLine;
    return g;
}


void DrawTrace(ImageCanvas& canvas, Trace& trace, float width = 1.0f)
{
    PixelTransforms transforms;
    MGraph1::YCPlotterEx plotter;
    transforms.Attach(plotter);
    plotter.SetLineWidth(width);
    plotter.SetPlotData(&trace, 0, false);
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
    EXPECT_FALSE(plotter.needsRedraw);
}

void DrawGlyphs(ImageCanvas& canvas, Marks& marks, int series)
{
    PixelTransforms transforms;
    MGraph1::GlyphPlotter plotter;
    transforms.Attach(plotter);
    plotter.SetPlotData(&marks, series, false);
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
}

void DrawAreas(ImageCanvas& canvas, Trace& trace, Marks& marks)
{
    PixelTransforms transforms;
    MGraph1::AreaGlyphPlotter plotter;
    transforms.Attach(plotter);
    plotter.SetSeriesData(&trace, 0);
    plotter.SetPlotData(&marks, 4, false);
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
}

struct PictureCase {
    const char* name;
    std::function<void(ImageCanvas&)> draw;
};
void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }

class Pictures : public GraphTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(Pictures, MatchGolden)
{
    ImageCanvas canvas;
    FramePlot(canvas.dc);
    GetParam().draw(canvas);
    ExpectGolden(canvas, GetParam().name);
}

// A blue area under a wave from x = 40 to 120, closed down to y = 70 at both ends.
void AreaScene(ImageCanvas& c)
{
    Trace wave = Wave(160, 1.0, 30.0f, 15.0f);
    Marks marks;
    marks.sets[4] = {Glyph(3, 40, 70, 120, 70, kBlue), Glyph(3, 130, kNaN, 150, kNaN, kRed)};
    DrawAreas(c, wave, marks); // under the trace, as the analysis plot layers them
    DrawTrace(c, wave);
}

INSTANTIATE_TEST_SUITE_P(
    Plotters, Pictures,
    ::testing::Values(
        PictureCase{"yc_nan_gap",
                    [](ImageCanvas& c) {
                        Trace t = Wave(16, 10.0, 40.0f, 25.0f);
                        t.values[7] = kNaNf;
                        t.colourAndStyle |= MGraph1::YCPlotterEx::kMarkersBit;
                        DrawTrace(c, t);
                        // The segments 6-7 and 7-8 are missing: nothing between x = 60 and 80 but the marks.
                        EXPECT_EQ(0, c.Inked(RECT{kPlot.left + 63, kPlot.top, kPlot.left + 78, kPlot.bottom}));
                    }},
        PictureCase{"yc_per_sample_colours",
                    [](ImageCanvas& c) {
                        Trace t = Wave(40, 4.0, 40.0f, 30.0f);
                        for (std::size_t i = 0; i < t.values.size(); ++i) {
                            t.colours.push_back(i < 13 ? kRed : i < 26 ? kGreen : kBlue);
                        }
                        DrawTrace(c, t, 2.0f);
                    }},
        PictureCase{"yc_edges",
                    [](ImageCanvas& c) {
                        Trace t;
                        t.colourAndStyle = kRed | MGraph1::YCPlotterEx::kMarkersBit;
                        t.start = 40.0;
                        t.step = 40.0;
                        t.values = {79.0f, 80.0f, 79.5f, 40.0f}; // bottom - 1, bottom, floor to bottom - 1
                        DrawTrace(c, t);
                        Trace right;
                        right.start = 150.0;
                        right.step = 10.0;
                        right.values = {20.0f, 20.0f, 30.0f}; // the last at px = right
                        DrawTrace(c, right);
                        EXPECT_EQ(kRed, c.At(kPlot.left + 40, kPlot.top + 79));
                        EXPECT_EQ(kWhite, c.At(kPlot.left + 80 + 2, kPlot.top + 79 - 2)); // no cross at bottom
                    }},
        PictureCase{"glyph_kinds",
                    [](ImageCanvas& c) {
                        Marks marks;
                        marks.sets[3] = {Glyph(0, 90, 0, 0, 0, kRed),
                                         Glyph(0, 0, 0, 0, 0, kRed), // at px = left: not drawn
                                         Glyph(1, 0, 60, 0, 0, kGreen, u"level"),
                                         Glyph(2, 130, 0, 0, 0, kBlue, u"time"),
                                         Glyph(3, 10, 10, 40, 40, kRed, u"not a line"),
                                         Glyph(4, -20, 30, 60, 0, kRed, u"seg"),
                                         Glyph(5, 60, 75, 240, 20, kBlue, u"slope", true),
                                         Glyph(1, 0, kNaN, 0, 0, kRed, u"hidden")};
                        DrawGlyphs(c, marks, 3);
                        EXPECT_EQ(kWhite, c.At(kPlot.left, kPlot.top + 5));
                    }},
        PictureCase{"area_blend",
                    [](ImageCanvas& c) {
                        AreaScene(c);
                        EXPECT_EQ(RGB(128, 128, 255), c.At(kPlot.left + 80, kPlot.top + 65));
                    }},
        PictureCase{"area_fallback", [](ImageCanvas& c) {
                        gdi::SetShadeBlendCaps(SB_NONE);
                        AreaScene(c);
                        gdi::SetShadeBlendCaps(SB_CONST_ALPHA | SB_PIXEL_ALPHA);
                        EXPECT_EQ(RGB(127, 127, 254), c.At(kPlot.left + 80, kPlot.top + 65));
                        // The fall-back is clipped one pixel inside the plot's right and bottom edges.
                        EXPECT_EQ(kWhite, c.At(kPlot.right - 1, kPlot.top + 65));
                    }}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, AreaWithoutLimitsIsThePolygonOfTheSamples)
{
    // A straight rising trace: the polygon of its points alone has no inside, so nothing is filled.
    Trace line;
    for (int i = 0; i < 100; ++i) {
        line.values.push_back(20.0f + 0.5f * static_cast<float>(i));
    }
    Marks marks;
    marks.sets[4] = {Glyph(3, 10, kNaN, 90, kNaN, kBlue)};
    ImageCanvas canvas;
    DrawAreas(canvas, line, marks);
    EXPECT_EQ(0, canvas.Inked(canvas.All()));
    // A bent one is filled between its chord and its points.
    Trace bent = Wave(100, 1.0, 40.0f, 20.0f);
    ImageCanvas filled;
    DrawAreas(filled, bent, marks);
    EXPECT_GT(filled.Inked(kPlot), 50);
    EXPECT_EQ(0, filled.Inked(RECT{0, 0, kPlot.left + 10, 100}));
}

// The analysis plot gives the samples' x as start + i * dt and an area's limits as (tick - origin) * dt: at
// dt = 1e-4 the two roundings of one instant differ. The fill still starts at the area's first sample and leaves its
// end sample out.
TEST_F(GraphTest, AreaLimitsFromTicksMeetTheSamplesOfTheirTicks)
{
    constexpr double dt = 1e-4;
    constexpr int firstTick = -40; // of the series, from the origin
    Trace trace;
    trace.start = firstTick * dt;
    trace.step = dt;
    trace.values.assign(70, 20.0f);
    // Start at tick 3, end at tick 16: start + i * dt lies below the area's x at the start, and below its second x
    // at the end.
    ASSERT_LT(trace.start + (3 - firstTick) * dt, 3 * dt);
    ASSERT_LT(trace.start + (16 - firstTick) * dt, 16 * dt);
    Marks marks;
    marks.sets[4] = {Glyph(3, 3 * dt, 70, 16 * dt, 70, kBlue)};
    ImageCanvas canvas;
    PixelTransforms transforms;
    transforms.horizontal = {2.0 / dt, -trace.start + dt / 2}; // sample i at px = 2i + 1
    MGraph1::AreaGlyphPlotter plotter;
    transforms.Attach(plotter);
    plotter.SetSeriesData(&trace, 0);
    plotter.SetPlotData(&marks, 4, false);
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
    // The polygon runs from the Start sample's column to the last sample's (tick 15); its outline stays clear.
    const int startColumn = kPlot.left + 2 * (3 - firstTick) + 1;
    const int lastColumn = kPlot.left + 2 * (15 - firstTick) + 1;
    std::vector<int> filled;
    for (int x = kPlot.left; x < kPlot.right; ++x) {
        if (canvas.At(x, kPlot.top + 40) != kWhite) {
            filled.push_back(x);
        }
    }
    ASSERT_FALSE(filled.empty());
    EXPECT_EQ(filled.front(), startColumn + 1) << "the fill starts at the Start sample";
    EXPECT_EQ(filled.back(), lastColumn - 1) << "the end sample is left out";
    EXPECT_EQ(filled.size(), static_cast<std::size_t>(lastColumn - startColumn - 1));
}

TEST_F(GraphTest, FastPolylineKeepsGoingAcrossBatches)
{
    Trace t;
    for (int i = 0; i < 400; ++i) {
        t.values.push_back(40.0f + 30.0f * static_cast<float>(std::sin(i * 0.05)));
    }
    t.step = 0.5; // two samples per pixel column: merged
    ImageCanvas canvas;
    PixelTransforms transforms;
    MGraph1::YCPlotterEx plotter;
    transforms.Attach(plotter);
    plotter.SetPlotData(&t, 0, false);
    MGraph1::YCPlotData::Series s;
    t.GetSeries(0, s);
    plotter.DrawPolyline(canvas.dc, kPlot, s);
    for (int x = kPlot.left; x < kPlot.left + 199 / 2 - 1; ++x) {
        EXPECT_NE(0, canvas.Inked(RECT{x, kPlot.top, x + 1, kPlot.bottom})) << "column " << x;
    }
    EXPECT_EQ(0, canvas.Inked(RECT{0, 0, kPlot.left, 100}));
}

TEST_F(GraphTest, ClipperSavesOrRemovesTheClip)
{
    ImageCanvas canvas;
    RECT box{};
    {
        MGraph1::DCClipper clipper(canvas.dc, true);
        clipper.IntersectRect(RECT{10, 10, 50, 40});
        clipper.IntersectRect(RECT{20, 0, 200, 100});
        GetClipBox(canvas.dc, &box);
        EXPECT_EQ(20, box.left);
        EXPECT_EQ(50, box.right);
        clipper.Restore();
        GetClipBox(canvas.dc, &box);
        EXPECT_EQ(200, box.right);
    }
    MGraph1::DCClipper remover(canvas.dc, false);
    remover.IntersectRect(RECT{10, 10, 50, 40});
    remover.Restore();
    GetClipBox(canvas.dc, &box);
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(100, box.bottom);
}
} // namespace
