#include "graph/mgraph1/graphwindow.h"
#include "graph/mgraph1/xycplotter.h"
#include "graph/mgraph1/ycplotter.h"

#include "graph_canvas.h"
#include "graph_kit.h"

#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <cmath>
#include <memory>

namespace {
using namespace graphtest;
using MGraph1::Graph2DWindow;

// A top-level window holding one 2-D graph of 320 x 220 pixels at its top-left corner. With the margins of 5 the
// plot is (65, 5)-(315, 155), the y scale (5, 5)-(65, 155) and the x scale (65, 155)-(315, 215).
class Frame : public owl::TWindow {
public:
    Frame() : owl::TWindow(nullptr, u"frame")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 0;
        Attr.Y = 0;
        Attr.W = 400;
        Attr.H = 260;
        graph = new Graph2DWindow(this);
        graph->Attr.W = 320;
        graph->Attr.H = 220;
    }
    Graph2DWindow* graph;
};

class GraphWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GraphHost();
        ui::reset();
        frame = std::make_unique<Frame>();
        frame->Create();
        ui::pump();
        graph = frame->graph;
    }
    void TearDown() override
    {
        frame.reset();
        ui::reset();
    }
    HWND XScale() const { return graph->XScale()->GetHandle(); }
    HWND YScale() const { return graph->YScale()->GetHandle(); }
    host::ScaleControl& YControl() const { return Host(graph->YScale()->GetScaleControl()); }
    host::ScaleControl& XControl() const { return Host(graph->XScale()->GetScaleControl()); }

    std::unique_ptr<Frame> frame;
    Graph2DWindow* graph = nullptr;
};

TEST_F(GraphWindowTest, TheScalesSitBesideThePlotAndAreTheDrawersAxes)
{
    ASSERT_NE(XScale(), nullptr);
    ASSERT_NE(YScale(), nullptr);
    EXPECT_EQ(GetDlgCtrlID(XScale()), 100);
    EXPECT_EQ(GetDlgCtrlID(YScale()), 101);
    EXPECT_EQ(graph->XAxis(), graph->XScale()->GetScaleControl());
    EXPECT_EQ(graph->YAxis(), graph->YScale()->GetScaleControl());
    EXPECT_TRUE(graph->XScale()->IsObserving());
    RECT y{};
    GetWindowRect(YScale(), &y);
    EXPECT_EQ(y.left, 5);
    EXPECT_EQ(y.top, 5);
    EXPECT_EQ(y.right, 65);
    EXPECT_EQ(y.bottom, 155);
    EXPECT_TRUE(graph->IsInitialised());
    EXPECT_EQ(graph->GetDrawerRect().right, 315);
}

TEST_F(GraphWindowTest, DraggingTheYScaleAppliesItsFinalExtentAndReleasesTheLock)
{
    NoticeCounter changes;
    graph->AddChangeReceiver(&changes);
    // Upwards by 30 of the scale's 150 pixels over a range of 1: the range moves down by 0.2.
    ui::Drag(YScale(), POINT{30, 50}, POINT{30, 20});
    EXPECT_DOUBLE_EQ(graph->GetRange().first, -0.2);
    EXPECT_DOUBLE_EQ(graph->GetRange().second, 0.8);
    EXPECT_EQ(graph->GetRange(), std::make_pair(YControl().Minimum(), YControl().Maximum()));
    EXPECT_EQ(graph->YLockCount(), 0);
    EXPECT_GE(changes.Count<MGraph1::MsgGraph2DDrawerOnRangeChanged>(), 2); // the steps, then the end
    EXPECT_EQ(changes.Count<MGraph1::MsgGraph2DDrawerOnDomainChanged>(), 0);
    // The y pixel transform is the scale's: the range's top at the plot's top.
    const MGraph1::Transform t = graph->YPixelTransform();
    EXPECT_NEAR((0.8 + t.offset) * t.scale, 0.0, 1e-9);
    EXPECT_NEAR((-0.2 + t.offset) * t.scale, 150.0, 1e-9);

    graph->SetRange(2.0, 3.0); // unlocked again: the program's range goes through the scale
    EXPECT_EQ(graph->GetRange(), std::make_pair(2.0, 3.0));
    EXPECT_EQ(YControl().Maximum(), 3.0);
}

TEST_F(GraphWindowTest, EachBeginHoldsALockUntilItsEnd)
{
    NoticeCounter changes;
    graph->AddChangeReceiver(&changes);
    graph->YScale()->BeginDrag(101);
    graph->YScale()->BeginDrag(101);
    EXPECT_EQ(graph->YLockCount(), 2);

    graph->SetRange(5.0, 6.0); // under the lock: nothing, not even the scale
    EXPECT_EQ(graph->GetRange(), std::make_pair(0.0, 1.0));
    EXPECT_EQ(YControl().Maximum(), 1.0);
    EXPECT_EQ(changes.Count<MGraph1::MsgGraph2DDrawerOnRangeChanged>(), 0);

    YControl().SetRange(-3.0, 4.0); // the scale itself moves meanwhile
    const int afterScaling = changes.Count<MGraph1::MsgGraph2DDrawerOnRangeChanged>();
    graph->YScale()->EndDrag(101);
    EXPECT_EQ(graph->YLockCount(), 1);
    EXPECT_EQ(graph->GetRange(), std::make_pair(-3.0, 4.0));
    EXPECT_EQ(changes.Count<MGraph1::MsgGraph2DDrawerOnRangeChanged>(), afterScaling + 1);
    graph->YScale()->EndDrag(101);
    EXPECT_EQ(graph->YLockCount(), 0);

    // Notices of an id that is no scale of this graph change nothing.
    graph->XScale()->BeginDrag(102);
    EXPECT_EQ(graph->XLockCount(), 0);
    EXPECT_EQ(graph->YLockCount(), 0);
}

TEST_F(GraphWindowTest, AutoScalingRestoresTheHomeExtents)
{
    graph->SetDomain(0.25, 0.75);
    graph->SetRange(-0.5, 0.25);
    EXPECT_EQ(graph->GetDomain(), std::make_pair(0.25, 0.75));
    ui::DoubleClick(XScale(), POINT{100, 20});
    EXPECT_EQ(graph->GetDomain(), std::make_pair(0.0, 1.0));
    ui::DoubleClick(YScale(), POINT{30, 70});
    EXPECT_EQ(graph->GetRange(), std::make_pair(-1.0, 1.0));
    EXPECT_EQ(graph->XLockCount(), 0);
    EXPECT_EQ(graph->YLockCount(), 0);
}

TEST_F(GraphWindowTest, TheMouseLeavingIsToldOncePerExit)
{
    NoticeCounter tracking;
    graph->AddTrackingReceiver(&tracking);
    ui::MouseMove(graph->GetHandle(), POINT{100, 50});
    ui::MouseMove(graph->GetHandle(), POINT{110, 60});
    ui::MouseMove(frame->GetHandle(), POINT{380, 240});
    EXPECT_EQ(tracking.Count<MGraph1::MouseLeaveMsg>(), 1);
    ui::MouseMove(graph->GetHandle(), POINT{120, 60});
    ui::MouseMove(frame->GetHandle(), POINT{390, 250});
    ui::MouseMove(frame->GetHandle(), POINT{395, 250});
    EXPECT_EQ(tracking.Count<MGraph1::MouseLeaveMsg>(), 2);
}

TEST_F(GraphWindowTest, TheOffScreenBitmapIsRemadeOnlyForANewSize)
{
    UpdateWindow(graph->GetHandle());
    EXPECT_EQ(graph->GraphWindowBase::BitmapsMade(), 1);
    graph->Redraw(true);
    UpdateWindow(graph->GetHandle());
    EXPECT_EQ(graph->GraphWindowBase::BitmapsMade(), 1);

    SendMessageW(graph->GetHandle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(0, 220));
    EXPECT_FALSE(ui::NeedsPaint(graph->GetHandle()));
    graph->MoveWindow(0, 0, 321, 220, false);
    EXPECT_TRUE(ui::NeedsPaint(graph->GetHandle()));
    UpdateWindow(graph->GetHandle());
    EXPECT_EQ(graph->GraphWindowBase::BitmapsMade(), 2);
}

// After any change of size the graph looks as one made at that size does.
TEST_F(GraphWindowTest, AResizedGraphLooksLikeOneMadeAtItsSize)
{
    UpdateWindow(graph->GetHandle());
    const struct {
        int width;
        int height;
    } sizes[] = {{320, 400}, {380, 400}, {300, 200}, {300, 380}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        // As the analysis plot moves its graph.
        graph->MoveWindow(0, 0, size.width, size.height, true);
        graph->SetDrawerRect(graph->GetClientRect(), true);
        UpdateWindow(graph->GetHandle());
        Frame fresh;
        fresh.graph->Attr.W = size.width;
        fresh.graph->Attr.H = size.height;
        fresh.Create();
        ui::pump();
        const gdi::Image resized = ui::RenderWindow(graph->GetHandle());
        const gdi::Image made = ui::RenderWindow(fresh.graph->GetHandle());
        EXPECT_EQ(gdi::CompareImages(resized, made, 0).differentPixels, 0);
    }
}

TEST_F(GraphWindowTest, MarginsWiderThanTheWindowLeaveTheDrawerAlone)
{
    const RECT before = graph->GetDrawerRect();
    graph->SetDrawerRect(RECT{0, 0, 8, 8}, false);
    EXPECT_EQ(graph->GetDrawerRect().right, before.right);
    graph->SetDrawerRect(RECT{0, 0, 200, 100}, false);
    EXPECT_EQ(graph->GetDrawerRect().left, 5);
    EXPECT_EQ(graph->GetDrawerRect().right, 195);
    EXPECT_EQ(graph->GetDrawerRect().bottom, 95);
}

TEST_F(GraphWindowTest, AMarkerDragCapturesTheMouse)
{
    graph->SetXLimits(-1000.0, 1000.0);
    graph->SetYLimits(-1000.0, 1000.0);
    graph->SetDomain(0.0, 250.0); // a pixel per unit
    graph->SetRange(0.0, 150.0);
    auto* marker = new MGraph1::QueenLineV(1);
    marker->position = MGraph1::PointD{100.0, 75.0};
    graph->AddMarker(marker);
    ui::MouseDown(graph->GetHandle(), POINT{165, 80});
    EXPECT_EQ(GetCapture(), graph->GetHandle());
    ui::MouseMove(graph->GetHandle(), POINT{185, 80});
    ui::MouseUp(graph->GetHandle(), POINT{185, 80});
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_DOUBLE_EQ(marker->position.x, 120.0);
}

// A wave and a few points in data units.
class Wave : public MGraph1::YCPlotDataEx {
public:
    Wave()
    {
        for (int i = 0; i <= 100; ++i) {
            values.push_back(static_cast<float>(0.8 * std::sin(i * 0.12)));
        }
    }
    bool GetSeries(int, Series& s) override
    {
        s.count = static_cast<int>(values.size());
        s.start = 0.0;
        s.step = 0.1;
        s.values = values.data();
        s.colourAndStyle = kBlue;
        return true;
    }
    std::vector<float> values;
};

class Points : public MGraph1::XYCPlotData {
public:
    bool GetSeries(int, Series& s) override
    {
        s.count = static_cast<int>(x.size());
        s.x = x.data();
        s.y = y.data();
        s.colour = kRed;
        s.style = MGraph1::kXYMarkers | MGraph1::kXYLines;
        return true;
    }
    std::vector<float> x{1.0f, 3.0f, 5.5f, 8.0f};
    std::vector<float> y{-0.5f, 0.6f, 0.1f, -0.7f};
};

TEST_F(GraphWindowTest, AGraphWithTwoPlottersAGridAndAMarker)
{
    graph->SetXLimits(-100.0, 100.0);
    graph->SetYLimits(-100.0, 100.0);
    // As the analysis plot does: the unit is the title, the caption the units text.
    graph->SetXTitle(u"s");
    graph->SetXUnits(u"Time");
    graph->SetYTitle(u"Pressure");
    graph->SetDomain(0.0, 10.0);
    graph->SetRange(-1.0, 1.0);
    Wave wave;
    Points points;
    auto* wavePlotter = new MGraph1::YCPlotterEx;
    wavePlotter->SetPlotData(&wave, 0, false);
    auto* pointPlotter = new MGraph1::XYCPlotter;
    pointPlotter->SetPlotData(&points, 0, false);
    graph->AddPlotter(wavePlotter, true);
    graph->AddPlotter(pointPlotter, true);
    auto* marker = new MGraph1::QueenLineV(1);
    marker->position = MGraph1::PointD{4.0, 0.0};
    marker->colour = kGreen;
    graph->AddMarker(marker);

    const gdi::Image picture = ui::RenderWindow(frame->GetHandle());
    const gdi::GoldenCheck check = gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/graph_window.png");
    EXPECT_TRUE(check.ok) << check.message;
}

} // namespace
