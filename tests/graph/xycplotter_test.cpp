#include "graph/mgraph1/xycplotter.h"

#include "graph_canvas.h"

#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>

namespace {
using namespace graphtest;
using MGraph1::XYCPlotter;

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

// Points in pixels from the plot's corner (the tests' transforms are 1:1).
class Points : public MGraph1::XYCPlotData {
public:
    bool GetSeries(int, Series& s) override
    {
        ++reads;
        if (fail) {
            return false;
        }
        s.count = static_cast<int>(x.size());
        s.indexBase = indexBase;
        s.x = x.data();
        s.y = y.data();
        s.colours = colours.empty() ? nullptr : colours.data();
        s.colour = colour;
        s.style = style;
        return true;
    }
    void Add(float px, float py)
    {
        x.push_back(px);
        y.push_back(py);
    }
    std::vector<float> x;
    std::vector<float> y;
    std::vector<COLORREF> colours;
    COLORREF colour = kBlue;
    std::uint32_t style = 0;
    std::int32_t indexBase = 0;
    bool fail = false;
    int reads = 0;
};


void Plot(ImageCanvas& canvas, MGraph1::XYCPlotData& data, float lineWidth = 1.0f)
{
    PixelTransforms transforms;
    XYCPlotter plotter;
    transforms.Attach(plotter);
    plotter.SetLineWidth(lineWidth);
    plotter.SetPlotData(&data, 0, false);
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
}

struct PictureCase {
    const char* name;
    std::function<void(ImageCanvas&)> draw;
};

void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }

class XYPictures : public GraphTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(XYPictures, MatchGolden)
{
    ImageCanvas canvas;
    FramePlot(canvas.dc);
    GetParam().draw(canvas);
    ExpectGolden(canvas, std::string("xy_") + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Plotter, XYPictures,
    ::testing::Values(
        PictureCase{"single_point",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines;
                        p.Add(50, 40);
                        Plot(c, p);
                        EXPECT_EQ(kBlue, c.At(70, 50));
                        EXPECT_EQ(1, c.Inked(kPlot));
                    }},
        PictureCase{"last_row_and_column",
                    [](ImageCanvas& c) {
                        Points p;
                        p.Add(159, 40); // px = right - 1: inside
                        p.Add(160, 30); // px = right: outside
                        p.Add(80, 79);  // py = bottom - 1: outside
                        p.Add(80, 78);  // inside
                        Plot(c, p);
                        EXPECT_EQ(kBlue, c.At(179, 50));
                        EXPECT_EQ(kBlue, c.At(100, 88));
                        EXPECT_EQ(2, c.Inked(kPlot));
                    }},
        PictureCase{"segment_clipped_at_edge",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines;
                        p.Add(100, 40);
                        p.Add(400, 60);
                        p.Add(60, 60);
                        p.Add(60, -300);
                        Plot(c, p);
                        EXPECT_EQ(0, c.Inked(RECT{kPlot.right + 1, 0, 200, 100}));
                        EXPECT_EQ(0, c.Inked(RECT{0, 0, 200, kPlot.top - 1}));
                        EXPECT_NE(0, c.Inked(RECT{kPlot.right - 3, 40, kPlot.right, 60}));
                    }},
        PictureCase{"both_ends_outside_one_side",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines | MGraph1::kXYMarkers;
                        p.Add(-50, 10);
                        p.Add(-10, 70);
                        p.Add(30, 100);
                        p.Add(120, 150);
                        Plot(c, p);
                        EXPECT_EQ(0, c.Inked(kPlot));
                    }},
        PictureCase{"markers",
                    [](ImageCanvas& c) {
                        const std::uint32_t shapes[] = {0,
                                                        MGraph1::kXYFilledTriangleUp,
                                                        MGraph1::kXYFilledSquare,
                                                        MGraph1::kXYFilledDiamond,
                                                        MGraph1::kXYFilledTriangleDown,
                                                        MGraph1::kXYTriangleUp,
                                                        MGraph1::kXYSquare,
                                                        MGraph1::kXYDiamond,
                                                        MGraph1::kXYTriangleDown};
                        for (int i = 0; i < 9; ++i) {
                            Points p;
                            p.style = MGraph1::kXYMarkers | shapes[i];
                            p.colour = i % 2 ? kBlue : kRed;
                            p.Add(10.0f + 17.0f * i, i < 5 ? 20.0f : 55.0f);
                            Plot(c, p);
                        }
                    }},
        PictureCase{"thick_cross",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYMarkers;
                        p.Add(40, 40);
                        Plot(c, p, 2.0f);
                    }},
        PictureCase{"highlight",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines;
                        p.Add(10, 70);
                        p.Add(80, 30);
                        p.Add(150, 60);
                        p.highlightX = 80;
                        p.highlightY = 30;
                        p.highlightFactor = 1;
                        p.highlightColour = kRed;
                        Plot(c, p);
                        EXPECT_EQ(kRed, c.At(100 - 8, 40 - 8));
                    }},
        PictureCase{"legend",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines | MGraph1::kXYMarkers | MGraph1::kXYLegend |
                                  MGraph1::kXYFilledSquare | MGraph1::kXYDiamond;
                        p.seriesName = u"Trace";
                        p.Add(60, 70);
                        p.Add(140, 50);
                        Plot(c, p);
                    }},
        PictureCase{"nan_gaps",
                    [](ImageCanvas& c) {
                        Points lines;
                        lines.style = MGraph1::kXYLines;
                        for (int i = 0; i < 8; ++i) {
                            lines.Add(10.0f + 20.0f * i, i == 3 ? kNaNf : 20.0f + 5.0f * (i % 2));
                        }
                        lines.Add(kNaNf, 40); // left out, and the line breaks there
                        lines.Add(150, 40);
                        Plot(c, lines);
                        Points markers;
                        markers.style = MGraph1::kXYMarkers | MGraph1::kXYLines;
                        markers.colour = kRed;
                        markers.Add(40, 60);
                        markers.Add(70, kNaNf); // a tick on the top edge
                        markers.Add(100, 60);
                        Plot(c, markers);
                        EXPECT_EQ(kRed, c.At(90, kPlot.top));
                    }},
        PictureCase{"per_sample_colours",
                    [](ImageCanvas& c) {
                        Points p;
                        p.style = MGraph1::kXYLines | MGraph1::kXYMarkers | MGraph1::kXYFilledDiamond;
                        const COLORREF cycle[] = {kRed, kGreen, kBlue};
                        for (int i = 0; i < 7; ++i) {
                            p.Add(15.0f + 22.0f * i, 40.0f + (i % 2 ? 20.0f : -20.0f));
                            p.colours.push_back(cycle[i % 3]);
                        }
                        Plot(c, p);
                    }}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, DrawnPointsAnswerHintsWithTheirIndex)
{
    ImageCanvas canvas;
    Points p;
    p.indexBase = 100;
    p.Add(10, 10);
    p.Add(50, 20);
    p.Add(60, kNaNf); // inside by its x but never recorded
    Plot(canvas, p);
    MGraph1::Hint hint;
    hint.relative = POINT{52, 21};
    ASSERT_TRUE(p.GetHint(0, &hint));
    EXPECT_EQ(101, hint.index);
    EXPECT_EQ(50.0, hint.x);
    EXPECT_EQ(2u, p.HitCount());
    EXPECT_FALSE(p.plotting);
    EXPECT_FALSE(p.redrawNeeded);

    Points quiet;
    quiet.style = MGraph1::kXYNoHits;
    quiet.Add(10, 10);
    Plot(canvas, quiet);
    EXPECT_EQ(0u, quiet.HitCount());
}

TEST_F(GraphTest, RepeatedPointIsRecordedButNotPaintedAgain)
{
    ImageCanvas canvas;
    gdi::CallLog log;
    gdi::LogDcCalls(canvas.dc, &log);
    Points p;
    p.style = MGraph1::kXYMarkers;
    p.Add(30.2f, 30.2f);
    p.Add(30.7f, 30.9f); // same pixel, same colour, same draw
    p.Add(31.0f, 30.0f);
    Plot(canvas, p);
    EXPECT_EQ(4u, log.calls("LineTo").size()); // two crosses of two lines
    MGraph1::HitRecord record;
    ASSERT_TRUE(p.GetHit(30, 30, &record));
    EXPECT_EQ(1, record.index);
    gdi::LogDcCalls(canvas.dc, nullptr);
}

// A point whose x is not a number breaks the line as a NaN y does: its neighbours are not joined across it.
TEST_F(GraphTest, ANonFiniteXBreaksTheLine)
{
    for (const float badX : {kNaNf, std::numeric_limits<float>::infinity()}) {
        ImageCanvas canvas;
        gdi::CallLog log;
        gdi::LogDcCalls(canvas.dc, &log);
        Points p;
        p.style = MGraph1::kXYLines;
        p.Add(10, 10);
        p.Add(20, 20);
        p.Add(badX, 25);
        p.Add(40, 10);
        p.Add(50, 20);
        Plot(canvas, p);
        EXPECT_EQ(2u, log.calls("LineTo").size()) << badX; // 10-20 and 40-50, nothing from 20 to 40
        gdi::LogDcCalls(canvas.dc, nullptr);
    }
}

TEST_F(GraphTest, FailingSeriesPaintsNothingAndClearsTheRedrawFlag)
{
    ImageCanvas canvas;
    Points p;
    p.Add(30, 30);
    p.fail = true;
    PixelTransforms transforms;
    XYCPlotter plotter;
    transforms.Attach(plotter);
    plotter.SetPlotData(&p, 0, false);
    EXPECT_TRUE(plotter.NeedsRedraw());
    plotter.Draw(canvas.dc, nullptr, kPlot, kPlot);
    EXPECT_FALSE(plotter.needsRedraw);
    EXPECT_EQ(0, canvas.Inked(canvas.All()));
}

TEST_F(GraphTest, RangesReachTheDataOnlyWhenTheyChange)
{
    Points p;
    XYCPlotter plotter;
    plotter.SetPlotData(&p, 0, false);
    EXPECT_FALSE(p.redrawNeeded);
    plotter.SetDomain(5.0, 1.0); // not a range: ignored
    EXPECT_FALSE(p.redrawNeeded);
    plotter.SetDomain(1.0, 5.0);
    EXPECT_TRUE(p.redrawNeeded);
    EXPECT_EQ(5.0, p.ranges[MGraph1::kHorizontal].max);
    p.redrawNeeded = false;
    plotter.SetDomain(1.0, 5.0);
    EXPECT_FALSE(p.redrawNeeded);
    plotter.SetVerticalRange(-1.0, 1.0);
    EXPECT_EQ(-1.0, p.ranges[MGraph1::kVertical].min);
    EXPECT_TRUE(plotter.IsDataMissingOrChanged());
}

struct MarkerSizeCase {
    int dpi;
    double points;
    LONG half;
};

class MarkerSize : public ::testing::TestWithParam<MarkerSizeCase> {};

TEST_P(MarkerSize, FollowsTheDeviceResolution)
{
    const MarkerSizeCase& c = GetParam();
    gdi::SetScreenDpi(c.dpi);
    ImageCanvas canvas;
    XYCPlotter plotter;
    plotter.markerPointsX = c.points;
    plotter.markerPointsY = c.points;
    const SIZE half = plotter.MarkerHalfSize(canvas.dc, nullptr);
    gdi::SetScreenDpi(96);
    EXPECT_EQ(c.half, half.cx);
    EXPECT_EQ(c.half, half.cy);
}

INSTANTIATE_TEST_SUITE_P(Plotter, MarkerSize,
                         ::testing::Values(MarkerSizeCase{96, 0.5, 2}, MarkerSizeCase{96, 2.0, 2},
                                           MarkerSizeCase{96, 6.0, 8}, MarkerSizeCase{144, 2.0, 4}));

// Chunked sources: values from a vector, at most `limit` per read.
template <class T, class Base>
class VectorReader : public Base {
public:
    explicit VectorReader(std::vector<T> values) : values_(std::move(values)) {}
    int Read(T* buffer, int count) override
    {
        largest = std::max(largest, count);
        if (throwAt >= 0 && position_ >= static_cast<std::size_t>(throwAt)) {
            throw std::runtime_error("source failed");
        }
        const int n = static_cast<int>(std::min<std::size_t>(count, values_.size() - position_));
        std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(position_), n, buffer);
        position_ += static_cast<std::size_t>(n);
        return n;
    }
    int largest = 0;
    int throwAt = -1;

private:
    std::vector<T> values_;
    std::size_t position_ = 0;
};
using FloatReader = VectorReader<float, MGraph1::GraphFloatIterator>;
using ColourReader = VectorReader<COLORREF, MGraph1::GraphColorrefIterator>;

class ChunkedPoints : public MGraph1::XYCPlotData2 {
public:
    explicit ChunkedPoints(const Points& plain)
        : count(static_cast<int>(plain.x.size())), style(plain.style), perPoint(!plain.colours.empty()),
          xReader(plain.x), yReader(plain.y), colourReader(plain.colours)
    {
    }
    bool GetSeries(int, Series& s) override
    {
        s.count = count;
        s.x = &xReader;
        s.y = &yReader;
        s.colours = perPoint ? &colourReader : nullptr;
        s.style = style;
        return true;
    }
    int count;
    std::uint32_t style;
    bool perPoint;
    FloatReader xReader;
    FloatReader yReader;
    ColourReader colourReader;
};

TEST_F(GraphTest, ChunkedSourcesDrawWhatArraysDraw)
{
    Points plain;
    plain.style = MGraph1::kXYLines;
    for (int i = 0; i < 300; ++i) {
        plain.Add(static_cast<float>(i) * 0.6f, 40.0f + 30.0f * static_cast<float>(std::sin(i * 0.1)));
        plain.colours.push_back(i < 150 ? kRed : kGreen);
    }
    ImageCanvas expected;
    Plot(expected, plain);
    ChunkedPoints chunked(plain);
    ImageCanvas actual;
    {
        PixelTransforms transforms;
        MGraph1::XYCPlotter2 plotter;
        transforms.Attach(plotter);
        plotter.SetPlotData(&chunked, 0, false);
        plotter.Draw(actual.dc, nullptr, kPlot, kPlot);
    }
    EXPECT_EQ(MGraph1::XYCPlotter2::kChunk, chunked.xReader.largest);
    EXPECT_EQ(MGraph1::XYCPlotter2::kChunk, chunked.colourReader.largest);
    const gdi::ImageDifference diff = gdi::CompareImages(expected.Picture(), actual.Picture(), 0);
    EXPECT_EQ(0, diff.differentPixels);
}

TEST_F(GraphTest, PlottingEndsWhenASourceThrows)
{
    Points plain;
    for (int i = 0; i < 200; ++i) {
        plain.Add(static_cast<float>(i), 20.0f);
    }
    ChunkedPoints chunked(plain);
    chunked.yReader.throwAt = 128;
    ImageCanvas canvas;
    PixelTransforms transforms;
    MGraph1::XYCPlotter2 plotter;
    transforms.Attach(plotter);
    plotter.SetPlotData(&chunked, 0, false);
    EXPECT_THROW(plotter.Draw(canvas.dc, nullptr, kPlot, kPlot), std::runtime_error);
    EXPECT_FALSE(chunked.plotting);
    EXPECT_GT(chunked.HitCount(), 0u);
    MGraph1::Hint hint;
    hint.relative = POINT{5, 10};
    EXPECT_TRUE(chunked.GetHint(0, &hint)); // hits keep working after the failed drawing
}
} // namespace
