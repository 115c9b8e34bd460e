#include "graph/mgraph1/annotation.h"

#include "graph_canvas.h"

#include <limits>

namespace {
using namespace graphtest;


// Answers every hint with a fixed point and remembers where it was asked.
class FixedHint : public MGraph1::PlotDataBase {
public:
    bool GetHint(int series, MGraph1::Hint* hint) override
    {
        askedSeries = series;
        askedX = hint->dataX;
        askedRelative = hint->relative;
        if (!answer) {
            return false;
        }
        hint->x = x;
        hint->y = y;
        hint->text = u"here";
        hint->valid = valid;
        return true;
    }
    bool answer = true;
    bool valid = true;
    double x = 0;
    double y = 0;
    int askedSeries = -2;
    double askedX = 0;
    POINT askedRelative{};
};

// A background with structure, so that inverted pixels can be told from the picture.
void Background(ImageCanvas& canvas)
{
    for (int x = 0; x < 200; x += 3) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(x, 255 - x, (x * 7) & 255));
        HGDIOBJ old = SelectObject(canvas.dc, pen);
        MoveToEx(canvas.dc, x, 0, nullptr);
        LineTo(canvas.dc, 200 - x, 100);
        SelectObject(canvas.dc, old);
        DeleteObject(pen);
    }
}

struct Tracker {
    PixelTransforms transforms;
    FixedHint source;
    MGraph1::BasicAnnotation annotation;
    explicit Tracker(int rop)
    {
        transforms.Attach(annotation);
        annotation.SetSource(&source, 2, false);
        annotation.rasterOperation = rop;
    }
    void MoveTo(double x, double y, HDC dc)
    {
        source.x = x;
        source.y = y;
        annotation.OnMouseMove(kPlot.left + SaturatingPixel(x), kPlot.top + SaturatingPixel(y),
                               POINT{kPlot.left, kPlot.top}, 0);
        annotation.Draw(dc, nullptr, kPlot, kPlot);
    }
    static int SaturatingPixel(double v) { return static_cast<int>(std::max(-1000.0, std::min(1000.0, v))); }
};

bool SamePicture(const ImageCanvas& a, const ImageCanvas& b)
{
    return gdi::CompareImages(a.Picture(), b.Picture(), 0).differentPixels == 0;
}

TEST_F(GraphTest, InvertedCrossDrawnTwiceLeavesThePicture)
{
    ImageCanvas before;
    Background(before);
    ImageCanvas canvas;
    Background(canvas);
    Tracker tracker(R2_NOT);
    EXPECT_TRUE(tracker.annotation.IsErasable());
    tracker.MoveTo(60, 40, canvas.dc);
    EXPECT_FALSE(SamePicture(before, canvas));
    tracker.annotation.ResetDrawn();
    tracker.annotation.Draw(canvas.dc, nullptr, kPlot, kPlot);
    EXPECT_TRUE(SamePicture(before, canvas));
}

TEST_F(GraphTest, DrawAfterAMoveLeavesOnlyTheNewCross)
{
    ImageCanvas expected;
    Background(expected);
    Tracker fresh(R2_NOT);
    fresh.MoveTo(120, 30, expected.dc);

    ImageCanvas canvas;
    Background(canvas);
    Tracker tracker(R2_NOT);
    tracker.MoveTo(60, 40, canvas.dc);
    tracker.MoveTo(120, 30, canvas.dc);
    EXPECT_TRUE(SamePicture(expected, canvas));

    // After ResetDrawn the old cross is taken as gone (the graph was repainted), so it is not erased.
    tracker.annotation.ResetDrawn();
    tracker.MoveTo(90, 70, canvas.dc);
    ImageCanvas both;
    Background(both);
    Tracker first(R2_NOT);
    first.MoveTo(120, 30, both.dc);
    Tracker second(R2_NOT);
    second.MoveTo(90, 70, both.dc);
    EXPECT_TRUE(SamePicture(both, canvas));
}

TEST_F(GraphTest, CrossesAndArrowheadsMatchGolden)
{
    ImageCanvas canvas;
    FramePlot(canvas.dc);
    const double points[][2] = {{40, 40}, {80, -30}, {120, 200}, {159, 79}};
    for (const auto& p : points) {
        Tracker tracker(R2_COPYPEN);
        tracker.MoveTo(p[0], p[1], canvas.dc);
    }
    for (const double x : {-1.0, 160.0}) { // left of and at the right edge: nothing
        Tracker tracker(R2_COPYPEN);
        tracker.MoveTo(x, 40, canvas.dc);
    }
    EXPECT_EQ(kBlack, canvas.At(kPlot.left + 80, kPlot.top));              // upward arrowhead tip
    EXPECT_EQ(kBlack, canvas.At(kPlot.left + 120, kPlot.bottom - 2));      // downward arrowhead tip
    EXPECT_EQ(0, canvas.Inked(RECT{0, 0, kPlot.left - 1, 100}));
    EXPECT_EQ(kWhite, canvas.At(kPlot.right + 2, kPlot.top + 40));
    ExpectGolden(canvas, "annotation_marks");
}

struct HintCase {
    const char* name;
    bool answer;
    bool valid;
    double y;
    bool expectValid;
    bool expectVisible;
};

class AnnotationHints : public GraphTest, public ::testing::WithParamInterface<HintCase> {};

TEST_P(AnnotationHints, DecideWhatIsShown)
{
    const HintCase& c = GetParam();
    ImageCanvas canvas;
    Tracker tracker(R2_COPYPEN);
    tracker.source.answer = c.answer;
    tracker.source.valid = c.valid;
    tracker.MoveTo(50, c.y, canvas.dc);
    EXPECT_EQ(c.expectValid, tracker.annotation.valid);
    EXPECT_EQ(c.expectVisible, tracker.annotation.visible);
    KVO::String text;
    EXPECT_EQ(c.expectValid, tracker.annotation.GetText(&text));
    EXPECT_EQ(c.expectVisible, canvas.Inked(canvas.All()) > 0);
    EXPECT_EQ(2, tracker.source.askedSeries);
}

INSTANTIATE_TEST_SUITE_P(
    Annotation, AnnotationHints,
    ::testing::Values(HintCase{"NoHint", false, true, 40, false, false},
                      HintCase{"HintNotValid", true, false, 40, true, false},
                      HintCase{"HintedYNotANumber", true, true, std::numeric_limits<double>::quiet_NaN(), false,
                               false},
                      HintCase{"Shown", true, true, 40, true, true}),
    [](const ::testing::TestParamInfo<HintCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, MouseIsTurnedIntoDataUnits)
{
    MGraph1::Transform horizontal{2.0, -10.0};
    MGraph1::Transform vertical{-1.0, 0.0};
    FixedHint source;
    MGraph1::BasicAnnotation annotation;
    EXPECT_FALSE(annotation.OnMouseMove(50, 50, POINT{10, 10}, 0)); // no transforms yet
    annotation.SetTransform(MGraph1::kHorizontal, &horizontal, false);
    annotation.SetTransform(MGraph1::kVertical, &vertical, false);
    annotation.SetSource(&source, 0, false);
    EXPECT_TRUE(annotation.OnMouseMove(50, 50, POINT{10, 10}, 0));
    EXPECT_EQ(30.0, source.askedX); // 40 / 2 + 10
    EXPECT_EQ(40, source.askedRelative.x);
    annotation.SetPosition(15.0, 2.0);
    EXPECT_EQ(15.0, source.askedX);
    EXPECT_EQ(10, source.askedRelative.x); // (15 - 10) * 2
}
} // namespace
