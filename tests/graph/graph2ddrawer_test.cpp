#include "graph/mgraph1/graph2ddrawer.h"

#include "graph_canvas.h"
#include "graph_kit.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {
using namespace graphtest;
using MGraph1::Graph2DDrawer;

constexpr RECT kDrawer{0, 0, 300, 200}; // plot (60, 0, 300, 140) with the default margins

class Graph2DDrawerTest : public GraphTest {
protected:
    void SetUp() override
    {
        GraphHost();
        GraphTest::SetUp();
    }
};

TEST_F(Graph2DDrawerTest, TheDrawerMakesItsAxesThroughTheSharedService)
{
    const int made = Graphs().MadeCount();
    Graph2DDrawer drawer;
    EXPECT_EQ(Graphs().MadeCount(), made + 2);
    ASSERT_NE(drawer.XAxis(), nullptr);
    ASSERT_NE(drawer.YAxis(), nullptr);
    EXPECT_EQ(Host(drawer.XAxis()).Title(), u"Units");
    EXPECT_EQ(Host(drawer.YAxis()).HomeMinimum(), -1.0);
    EXPECT_EQ(Host(drawer.XAxis()).LimitMaximum(), 1.0);
}

// SetDomain under an axis lock, with the axis deferred, and plainly.
TEST_F(Graph2DDrawerTest, SetDomainHonoursLocksAndDeferredAxes)
{
    struct Case {
        const char* name;
        bool lock;
        bool deferred;
        std::pair<double, double> domain;
        double axisMaximum;
        int notices;
    };
    const Case cases[] = {
        {"locked", true, false, {0.0, 1.0}, 1.0, 0},
        {"deferred", false, true, {0.0, 1.0}, 5.0, 0},
        {"plain", false, false, {2.0, 5.0}, 5.0, 1},
    };
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        drawer.SetAxes(drawer.XAxis(), drawer.YAxis(), c.deferred, false);
        NoticeCounter changes;
        drawer.AddChangeReceiver(&changes);
        MGraph1::AxisLock lock;
        if (c.lock) {
            lock = drawer.LockXAxis();
        }
        drawer.SetDomain(2.0, 5.0);
        EXPECT_EQ(drawer.GetDomain(), c.domain) << c.name;
        EXPECT_EQ(Host(drawer.XAxis()).Maximum(), c.axisMaximum) << c.name;
        EXPECT_EQ(changes.Count<MGraph1::MsgGraph2DDrawerOnDomainChanged>(), c.notices) << c.name;
        lock.Release();
        EXPECT_EQ(drawer.XLockCount(), 0);
    }
}

TEST_F(Graph2DDrawerTest, ADeferredDomainArrivesWithApplyDomain)
{
    Graph2DDrawer drawer;
    drawer.SetAxes(drawer.XAxis(), drawer.YAxis(), true, true);
    NoticeCounter changes;
    drawer.AddChangeReceiver(&changes);
    CountingPlotter plotter;
    drawer.AddPlotter(&plotter, false);
    drawer.SetDomain(10.0, 20.0);
    EXPECT_EQ(plotter.ranges[MGraph1::kHorizontal].max, 1.0);
    drawer.ApplyDomain(10.0, 20.0);
    EXPECT_EQ(drawer.GetDomain(), std::make_pair(10.0, 20.0));
    EXPECT_EQ(plotter.ranges[MGraph1::kHorizontal], (MGraph1::ValueRange{10.0, 20.0}));
    EXPECT_EQ(changes.Count<MGraph1::MsgGraph2DDrawerOnDomainChanged>(), 1);
    drawer.RemovePlotter(&plotter);
}

// The axis lays the domain out over its strip: data maps onto the plot's pixels.
TEST_F(Graph2DDrawerTest, PixelTransformsFollowTheAxes)
{
    Graph2DDrawer drawer;
    drawer.SetRect(kDrawer);
    drawer.SetDomain(0.0, 24.0);
    drawer.SetRange(-7.0, 7.0);
    const MGraph1::Transform x = drawer.XPixelTransform();
    const MGraph1::Transform y = drawer.YPixelTransform();
    EXPECT_DOUBLE_EQ((0.0 + x.offset) * x.scale, 0.0);
    EXPECT_DOUBLE_EQ((24.0 + x.offset) * x.scale, 240.0); // the plot is 240 pixels wide
    EXPECT_DOUBLE_EQ((7.0 + y.offset) * y.scale, 0.0);    // the top of the range at the top
    EXPECT_DOUBLE_EQ((-7.0 + y.offset) * y.scale, 140.0);
}

// The domain is kept and reported as given; only a usable one changes how data maps to pixels.
TEST_F(Graph2DDrawerTest, UnusableDomainsAreKeptButDoNotMapPixels)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> domains[] = {{5.0, 5.0}, {nan, 1.0}, {0.0, inf}, {-inf, inf}};
    for (const auto& [minimum, maximum] : domains) {
        Graph2DDrawer drawer;
        drawer.SetRect(kDrawer);
        drawer.SetDomain(0.0, 24.0);
        const MGraph1::Transform before = drawer.XPixelTransform();
        drawer.SetDomain(minimum, maximum);
        const auto [storedMinimum, storedMaximum] = drawer.GetDomain();
        EXPECT_TRUE(storedMinimum == minimum || (std::isnan(storedMinimum) && std::isnan(minimum)));
        EXPECT_EQ(storedMaximum, maximum);
        EXPECT_EQ(drawer.XPixelTransform().scale, before.scale) << minimum << " " << maximum;
        EXPECT_EQ(drawer.XPixelTransform().offset, before.offset) << minimum << " " << maximum;
    }
    // Reversed is usable: larger values to the left.
    Graph2DDrawer drawer;
    drawer.SetRect(kDrawer);
    drawer.SetDomain(24.0, 0.0);
    EXPECT_EQ(drawer.GetDomain(), std::make_pair(24.0, 0.0));
    EXPECT_DOUBLE_EQ(drawer.XPixelTransform().scale, -10.0);
}

TEST_F(Graph2DDrawerTest, MinimumSpanWidensTheDomainAndTheLimits)
{
    struct Case {
        const char* name;
        std::pair<double, double> limits;
        std::pair<double, double> domain;
        double span;
        std::pair<double, double> expectedLimits;
        std::pair<double, double> expectedDomain;
    };
    const Case cases[] = {
        {"widened from its minimum", {-10, 10}, {2, 2.5}, 1.0, {-10, 10}, {2, 3}},
        {"wide enough already", {-10, 10}, {2, 5}, 1.0, {-10, 10}, {2, 5}},
        {"moved to the start of the limits", {-1, 1}, {0.5, 0.75}, 1.0, {-1, 1}, {-1, 0}},
        {"limits widened too", {0, 0.5}, {0, 0.2}, 1.0, {0, 1}, {0, 1}},
    };
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        drawer.SetXLimits(c.limits.first, c.limits.second);
        drawer.SetDomain(c.domain.first, c.domain.second);
        drawer.SetXMinimumSpan(c.span);
        EXPECT_EQ(drawer.GetXLimits(), c.expectedLimits) << c.name;
        EXPECT_EQ(Host(drawer.XAxis()).LimitMaximum(), c.expectedLimits.second) << c.name;
        EXPECT_EQ(drawer.GetDomain(), c.expectedDomain) << c.name;
    }
}

TEST_F(Graph2DDrawerTest, MinimumSpanReachesTheAxisOnceDrawn)
{
    Graph2DDrawer drawer;
    drawer.SetYMinimumSpan(0.25);
    EXPECT_EQ(Host(drawer.YAxis()).MinimumSpan()[0], 1.0); // the default pair until the first draw
    drawer.FirstDraw();
    drawer.SetYMinimumSpan(0.25);
    EXPECT_EQ(Host(drawer.YAxis()).MinimumSpan()[0], 0.25);
}

TEST_F(Graph2DDrawerTest, AxisSettingsReachTheScales)
{
    Graph2DDrawer drawer;
    host::ScaleControl& x = Host(drawer.XAxis());
    drawer.SetXTitle(u"Time");
    drawer.SetXUnits(u"ms");
    const double units[2] = {1000.0, 0.5};
    drawer.SetXAxisScaling(units); // the title stays
    EXPECT_EQ(x.Title(), u"Time");
    EXPECT_EQ(x.Units(), u"ms");
    double scaling[2] = {0.0, 0.0};
    x.GetScaling(scaling, nullptr);
    EXPECT_EQ(scaling[0], 1000.0);
    EXPECT_EQ(scaling[1], 0.5);
    drawer.SetXAxisOption(true);
    EXPECT_EQ(x.Option(), 0xFFFF);
    drawer.SetXAxisFlag0x200();
    DWORD style = 0;
    x.GetStyle(&style);
    EXPECT_EQ(style, kScaleStyleDrawable | 0x200);
    drawer.xDragScalable = true;
    drawer.SetDomain(-2.0, 6.0);
    EXPECT_EQ(x.DragDomainWidth(), 8.0);
    EXPECT_EQ(x.DragDomainMinimum(), -2.0);

    // Axes set later get every setting, and the graph's domain and range.
    auto later = host::ScaleControl::Create(host::ScaleControl::Axis::Horizontal);
    drawer.SetAxes(later.Get(), drawer.YAxis(), false, false);
    EXPECT_EQ(later->Title(), u"Time");
    EXPECT_EQ(later->LimitMinimum(), -1.0);
    EXPECT_EQ(later->Minimum(), -2.0);
    EXPECT_EQ(later->Maximum(), 6.0);
}

// The second constructor keeps the values it hands to the reset and makes the same drawer; the further pair
// setters reach the axis controls and leave the drawer's own span pair, which later axes get.
TEST_F(Graph2DDrawerTest, SecondFormAndSpanPairsOfTheAxes)
{
    const int made = Graphs().MadeCount();
    Graph2DDrawer drawer(nullptr, -1, -1);
    EXPECT_EQ(Graphs().MadeCount(), made + 2);
    EXPECT_EQ(drawer.ResetValues(), (std::pair<std::int32_t, std::int32_t>{-1, -1}));
    EXPECT_EQ(Graph2DDrawer().ResetValues(), (std::pair<std::int32_t, std::int32_t>{0, 0}));
    EXPECT_EQ(Host(drawer.XAxis()).Title(), u"Units");

    drawer.SetXAxisSpanPair(0.5, 2.0);
    drawer.SetYAxisSpanPair(3.0, 0.0);
    EXPECT_EQ(Host(drawer.XAxis()).MinimumSpan()[0], 0.5);
    EXPECT_EQ(Host(drawer.XAxis()).MinimumSpan()[1], 2.0);
    EXPECT_EQ(Host(drawer.YAxis()).MinimumSpan()[0], 3.0);
    auto later = host::ScaleControl::Create(host::ScaleControl::Axis::Horizontal);
    drawer.SetAxes(later.Get(), drawer.YAxis(), false, false);
    EXPECT_EQ(later->MinimumSpan()[0], 1.0); // the drawer's own pair, never the one handed past it
}

TEST_F(Graph2DDrawerTest, PlotRectangleKeepsOnePixel)
{
    struct Case {
        RECT drawer;
        RECT plot;
    };
    const Case cases[] = {
        {{0, 0, 300, 200}, {60, 0, 300, 140}},
        {{10, 20, 40, 200}, {70, 20, 71, 140}}, // narrower than the left margin
        {{0, 20, 300, 50}, {60, -11, 300, -10}}, // lower than the bottom margin
    };
    Graph2DDrawer drawer;
    for (const Case& c : cases) {
        const RECT plot = drawer.GetPlotRect(c.drawer);
        EXPECT_EQ(plot.left, c.plot.left);
        EXPECT_EQ(plot.top, c.plot.top);
        EXPECT_EQ(plot.right, c.plot.right);
        EXPECT_EQ(plot.bottom, c.plot.bottom);
    }
}

TEST_F(Graph2DDrawerTest, PlotterListsKeepOrderAndOwnership)
{
    Graph2DDrawer drawer;
    CountingPlotter shared;
    bool ownedDeleted = false;
    auto* owned = new CountingPlotter(RGB(0, 0, 0), &ownedDeleted);
    EXPECT_FALSE(drawer.ClearPlotters());
    drawer.AddPlotter(&shared, false);
    drawer.AddPlotter(owned, true);
    drawer.AddPlotter(&shared, false);
    EXPECT_TRUE(drawer.RemovePlotter(&shared)); // the later entry
    ASSERT_EQ(drawer.GetPlotterCount(), 2);
    EXPECT_EQ(drawer.GetPlotter(0), &shared);
    EXPECT_EQ(drawer.GetPlotter(1), owned);
    EXPECT_EQ(drawer.GetPlotter(2), nullptr);
    EXPECT_EQ(drawer.GetPlotter(-1), nullptr);
    EXPECT_TRUE(drawer.RemovePlotter(owned));
    EXPECT_TRUE(ownedDeleted);
    EXPECT_FALSE(drawer.RemovePlotter(owned));
    EXPECT_TRUE(drawer.ClearPlotters());
    EXPECT_EQ(drawer.GetPlotterCount(), 0);
}

TEST_F(Graph2DDrawerTest, RedrawCycleDrawsTheBackgroundOnlyWhenNeeded)
{
    ImageCanvas screen(300, 200);
    Graph2DDrawer drawer;
    drawer.SetRect(kDrawer);
    CountingPlotter plotter;
    ScriptedAnnotation annotation;
    drawer.AddPlotter(&plotter, false);
    drawer.AddAnnotation(&annotation, false);
    NoticeCounter redraws;
    drawer.AddRedrawReceiver(&redraws);

    drawer.Paint(screen.dc, true, RECT{0, 0, 300, 0}); // empty: nothing at all
    EXPECT_TRUE(redraws.counts.empty());
    EXPECT_FALSE(drawer.IsInitialised());

    drawer.Paint(screen.dc, true, kDrawer);
    drawer.Paint(screen.dc, true, kDrawer);
    EXPECT_EQ(plotter.draws, 1);
    EXPECT_EQ(drawer.BitmapsMade(), 1);
    EXPECT_EQ(annotation.draws, 2); // the overlay on every paint
    EXPECT_EQ(redraws.Count<MGraph1::MsgGraph2DDrawerNotifyBeginRedraw>(), 2);
    EXPECT_EQ(redraws.Count<MGraph1::MsgGraph2DDrawerNotifyEndRedraw>(), 2);
    EXPECT_EQ(redraws.lastRedraw.width, 300);
    EXPECT_EQ(redraws.lastRedraw.plot.left, 60);
    EXPECT_TRUE(drawer.IsInitialised());
    EXPECT_EQ(screen.At(62, 2), RGB(0, 200, 0)); // the cached background reached the screen

    drawer.Paint(screen.dc, true, RECT{0, 0, 301, 200}); // one pixel wider
    EXPECT_EQ(drawer.BitmapsMade(), 2);
    EXPECT_EQ(plotter.draws, 2);

    plotter.changed = true; // the plotter's data changed: drawn again at the same size
    drawer.Paint(screen.dc, true, RECT{0, 0, 301, 200});
    EXPECT_EQ(plotter.draws, 3);
    EXPECT_EQ(drawer.BitmapsMade(), 2);
}

TEST_F(Graph2DDrawerTest, DraggingAScaleRedrawsOnlyItsStrip)
{
    ImageCanvas screen(300, 200);
    Graph2DDrawer drawer;
    drawer.SetRect(kDrawer);
    drawer.SetDomain(0.0, 10.0);
    CountingPlotter plotter;
    drawer.AddPlotter(&plotter, false);
    drawer.Paint(screen.dc, true, kDrawer);
    const int xStripInk = screen.Inked(RECT{60, 140, 300, 200});
    EXPECT_GT(xStripInk, 0);

    MGraph1::AxisLock lock = drawer.LockXAxis();
    Host(drawer.XAxis()).SetRange(0.0, 1000.0); // the scale moves under the lock: longer numbers
    drawer.Paint(screen.dc, true, kDrawer);
    EXPECT_EQ(plotter.draws, 1);
    EXPECT_NE(screen.Inked(RECT{60, 140, 300, 200}), xStripInk);
}

TEST_F(Graph2DDrawerTest, PaintDirectDrawsEverythingStraightIntoTheContext)
{
    ImageCanvas printer(300, 200);
    Graph2DDrawer drawer;
    drawer.SetDomain(0.0, 10.0);
    CountingPlotter plotter(RGB(0, 0, 200));
    ScriptedAnnotation annotation;
    CountingDrawer behindMarkers;
    drawer.AddPlotter(&plotter, false);
    drawer.AddAnnotation(&annotation, false);
    drawer.Markers().next = &behindMarkers;
    NoticeCounter redraws;
    drawer.AddRedrawReceiver(&redraws);

    drawer.PaintDirect(printer.dc, printer.dc, kDrawer);
    EXPECT_EQ(plotter.draws, 1);
    EXPECT_EQ(annotation.draws, 1);
    EXPECT_EQ(behindMarkers.draws, 1);
    EXPECT_EQ(drawer.BitmapsMade(), 0);
    EXPECT_TRUE(redraws.counts.empty());
    EXPECT_EQ(printer.At(62, 2), RGB(0, 0, 200));
    EXPECT_GT(printer.Inked(RECT{60, 141, 300, 200}), 0); // the x scale's ticks and numbers
    EXPECT_GT(printer.Inked(RECT{0, 0, 59, 140}), 0);     // the y scale's
    EXPECT_EQ(printer.At(60, 70), kBlack);                // the y axis line
    drawer.Markers().next = nullptr;
}

// Press and release points apart by (dx, dy): a click below a squared distance of 4.
TEST_F(Graph2DDrawerTest, ClickIsAReleaseCloseToThePress)
{
    struct Case {
        int dx;
        int dy;
        bool click;
    };
    const Case cases[] = {{0, 0, true}, {1, 0, true}, {1, 1, true}, {2, 0, false}, {0, -2, false}, {3, 3, false}};
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        drawer.SetRect(kDrawer);
        ScriptedAnnotation annotation;
        drawer.AddAnnotation(&annotation, false);
        drawer.OnLButtonDown(0, POINT{100, 50});
        drawer.OnLButtonUp(0, POINT{100 + c.dx, 50 + c.dy});
        EXPECT_EQ(annotation.clicks.size(), c.click ? 1u : 0u) << c.dx << "," << c.dy;
        if (c.click) {
            EXPECT_EQ(annotation.clicks[0], (std::vector<int>{40, 50, 40 + c.dx, 50 + c.dy}));
        }
        drawer.RemoveAnnotation(&annotation);
    }
}

TEST_F(Graph2DDrawerTest, ClicksGoToTheNewestAnnotationFirst)
{
    Graph2DDrawer drawer;
    drawer.SetRect(kDrawer);
    ScriptedAnnotation older;
    ScriptedAnnotation newer;
    older.takesClicks = newer.takesClicks = true;
    drawer.AddAnnotation(&older, false);
    drawer.AddAnnotation(&newer, false);
    EXPECT_TRUE(drawer.ClickAnnotations(0, POINT{100, 50}, POINT{100, 50}));
    EXPECT_EQ(newer.clicks.size(), 1u);
    EXPECT_TRUE(older.clicks.empty());
    newer.takesClicks = false;
    EXPECT_TRUE(drawer.ClickAnnotations(0, POINT{100, 50}, POINT{100, 50}));
    EXPECT_EQ(older.clicks.size(), 1u);
    drawer.ClearAnnotations();
}

// With domain 0..240 and range 0..140 a data unit is a pixel; y grows upwards.
void OnePixelPerUnit(Graph2DDrawer& drawer)
{
    drawer.SetRect(kDrawer);
    drawer.SetDomain(0.0, 240.0);
    drawer.SetRange(0.0, 140.0);
}

TEST_F(Graph2DDrawerTest, AMarkerDraggedOutOfThePlotStopsAtItsEdge)
{
    struct Case {
        POINT to;
        MGraph1::PointD expected;
    };
    const Case cases[] = {
        {{400, 70}, {239.0, 70.0}},  // right: the last column inside
        {{10, 70}, {0.0, 70.0}},     // left, over the y scale
        {{160, -30}, {100.0, 140.0}}, // above
        {{160, 180}, {100.0, 1.0}},  // below: the last row inside
    };
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        OnePixelPerUnit(drawer);
        auto* marker = new MGraph1::Queen(1);
        marker->position = MGraph1::PointD{100.0, 70.0};
        drawer.AddMarker(marker);
        drawer.OnLButtonDown(0, POINT{160, 70});
        ASSERT_EQ(drawer.Markers().Dragged(), marker);
        drawer.OnWindowMouseMove(0, c.to);
        EXPECT_EQ(marker->tracking, c.expected) << c.to.x << "," << c.to.y;
        drawer.OnLButtonUp(0, c.to);
        EXPECT_EQ(marker->position, c.expected) << c.to.x << "," << c.to.y;
        EXPECT_EQ(drawer.Markers().Dragged(), nullptr);
    }
}

// Clearing the markers starts a new controller; whoever listened to the old one hears the new one's drags.
TEST_F(Graph2DDrawerTest, ClearedMarkersKeepTheirListeners)
{
    Graph2DDrawer drawer;
    OnePixelPerUnit(drawer);
    NoticeCounter listener;
    drawer.Markers().AddReceiver(&listener);
    drawer.AddMarker(new MGraph1::Queen(1));
    drawer.ClearMarkers();
    EXPECT_TRUE(drawer.Markers().Queens().empty());
    auto* marker = new MGraph1::Queen(2);
    marker->position = MGraph1::PointD{100.0, 70.0};
    drawer.AddMarker(marker);
    drawer.OnLButtonDown(0, POINT{160, 70});
    drawer.OnLButtonUp(0, POINT{170, 70});
    EXPECT_EQ(listener.Count<MGraph1::MessageQueenControllerTrackBegin>(), 1);
    EXPECT_EQ(listener.Count<MGraph1::MessageQueenControllerTrackEnd>(), 1);
    EXPECT_EQ(drawer.Markers().ReceiverCount(), 1u);
}

TEST_F(Graph2DDrawerTest, HiddenMarkersAreNotDragged)
{
    Graph2DDrawer drawer;
    OnePixelPerUnit(drawer);
    auto* marker = new MGraph1::Queen(1);
    marker->position = MGraph1::PointD{100.0, 70.0};
    drawer.AddMarker(marker);
    drawer.markersShown = false;
    drawer.OnLButtonDown(0, POINT{160, 70});
    EXPECT_EQ(drawer.Markers().Dragged(), nullptr);
    drawer.OnLButtonUp(0, POINT{160, 70});

    ImageCanvas screen(300, 200);
    const RECT aroundMarker{155, 65, 166, 76};
    drawer.Paint(screen.dc, true, kDrawer);
    const int hidden = screen.Inked(aroundMarker);
    drawer.markersShown = true;
    drawer.Paint(screen.dc, true, kDrawer);
    EXPECT_GT(screen.Inked(aroundMarker), hidden);
}

TEST_F(Graph2DDrawerTest, MovesSendTrackHintsWhenAnAnnotationAsks)
{
    struct Case {
        const char* name;
        bool repaint;
        bool receiver;
        int messages;
        std::size_t hints;
    };
    const Case cases[] = {
        {"nothing to show", false, true, 0, 0},
        {"a hint", true, true, 1, 1},
        {"nobody listening", true, false, 0, 0},
    };
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        drawer.SetRect(kDrawer);
        ScriptedAnnotation annotation;
        annotation.repaint = c.repaint;
        annotation.hasText = true;
        annotation.text = u"3.5 mV";
        ScriptedAnnotation silent;
        silent.repaint = c.repaint;
        drawer.AddAnnotation(&annotation, false);
        drawer.AddAnnotation(&silent, false);
        NoticeCounter tracking;
        if (c.receiver) {
            drawer.AddTrackingReceiver(&tracking);
        }
        drawer.OnWindowMouseMove(0, POINT{120, 40});
        EXPECT_EQ(annotation.moves, 1) << c.name;
        EXPECT_EQ(tracking.Count<MGraph1::MouseTrackHintMsg>(), c.messages) << c.name;
        ASSERT_EQ(tracking.lastHints.size(), c.hints) << c.name;
        if (c.hints) {
            EXPECT_EQ(tracking.lastHints[0].text, KVO::String(u"3.5 mV"));
            EXPECT_EQ(tracking.lastHints[0].point.x, 120);
            EXPECT_EQ(tracking.lastHints[0].plot.left, 60);
        }
        {
            MGraph1::TrackHintList list;
            drawer.hintTracking = true;
            drawer.GetTrackHints(1, 2, list);
            EXPECT_EQ(list.size(), 1u) << c.name; // hint tracking collects without receivers
        }
        drawer.ClearAnnotations();
    }
}

TEST_F(Graph2DDrawerTest, TheCursorOverAMarkerShowsHowItMoves)
{
    struct Case {
        const char* name;
        std::function<MGraph1::Queen*()> make;
        POINT at;
        LPCWSTR cursor;
    };
    const auto point = [] { return new MGraph1::Queen(1); };
    const Case cases[] = {
        {"vertical line", [] { return new MGraph1::QueenLineV(1); }, {160, 70}, IDC_SIZEWE},
        {"horizontal line", [] { return new MGraph1::QueenLineH(1); }, {160, 70}, IDC_SIZENS},
        {"box", [] { return new MGraph1::QueenBox(1); }, {160, 70}, IDC_SIZEALL},
        {"slanted line", [] { return new MGraph1::QueenLine(1); }, {160, 70}, IDC_SIZENS},
        {"point", point, {160, 70}, IDC_ARROW},
        {"over nothing", point, {250, 20}, IDC_ARROW},
        {"outside the plot", point, {20, 70}, IDC_ARROW},
    };
    for (const Case& c : cases) {
        Graph2DDrawer drawer;
        OnePixelPerUnit(drawer);
        drawer.markerCursor = true;
        MGraph1::Queen* marker = c.make();
        marker->position = MGraph1::PointD{100.0, 70.0};
        if (auto* line = dynamic_cast<MGraph1::QueenLine*>(marker)) {
            line->end = MGraph1::PointD{100.0, 70.0};
        }
        if (auto* box = dynamic_cast<MGraph1::QueenBox*>(marker)) {
            box->size = MGraph1::PointD{10.0, 10.0};
        }
        drawer.AddMarker(marker);
        SetCursor(nullptr);
        drawer.OnWindowMouseMove(0, c.at);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, c.cursor)) << c.name;
    }
}

} // namespace
