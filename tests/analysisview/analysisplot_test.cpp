// The analysis plot: its picture drawn into a device context, the axis settings of a new document and their
// restoring, the rescale to the results, the value scale of prefixed units, the readout and the marker menu.
#include "viewfixture.h"
#include "../graph/graph_canvas.h"

#include "graph/analysisview/analysisplot.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace viewtest;
namespace Id = CX::Doc::SettingId;

// A top-level window holding the plot of a document.
struct PlotWindow {
    explicit PlotWindow(CX::Doc::CXDoc* document, int width = 600, int height = 420)
    {
        frame = std::make_unique<owl::TWindow>(nullptr, u"frame");
        frame->Attr.Style = WS_POPUP | WS_VISIBLE;
        frame->Attr.W = width;
        frame->Attr.H = height;
        plot = new AnalysisPlot(frame.get(), document);
        plot->Attr.W = width;
        plot->Attr.H = height;
        frame->Create();
        ui::pump();
    }
    ~PlotWindow()
    {
        frame->Destroy();
        frame.reset();
        ui::pump();
    }
    std::unique_ptr<owl::TWindow> frame;
    AnalysisPlot* plot = nullptr; // a child of the frame
};

std::vector<double> AxisSettings(CX::Doc::CXDoc& doc)
{
    std::vector<double> values;
    for (std::int32_t id = Id::kPlotTimeMin; id <= Id::kPlotValueMax; ++id) {
        values.push_back(doc.Settings().GetDouble(id));
    }
    return values;
}

// One event whose trace, markers and fit are known, drawn into a 600 x 400 picture as printing and copying draw it.
TEST(AnalysisPlot, DrawsTheCurrentEventIntoADeviceContext)
{
    ViewDocument view({150});
    PlotWindow window(view.doc);
    graphtest::ImageCanvas canvas(600, 400);
    window.plot->DrawToDC(canvas.dc, nullptr, RECT{0, 0, 600, 400});
    graphtest::ExpectGolden(canvas, "analysis_plot");
}

// Once drawn, the graph keeps its background until something changes: repainting the window alone draws the
// plotters again only after a redraw asks for it.
TEST(AnalysisPlot, RepaintingAloneReusesTheDrawnBackground)
{
    ViewDocument view({150});
    PlotWindow window(view.doc);
    MGraph1::Graph2DDrawer& drawer = *window.plot->Drawer();
    HWND graph = window.plot->Graph()->GetHandle();
    InvalidateRect(graph, nullptr, FALSE);
    ui::pump();
    const int drawn = drawer.BackgroundsDrawn();
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(graph, nullptr, FALSE);
        ui::pump();
    }
    EXPECT_EQ(drawer.BackgroundsDrawn(), drawn);
    window.plot->Redraw();
    ui::pump();
    EXPECT_EQ(drawer.BackgroundsDrawn(), drawn + 1);
}

TEST(AnalysisPlot, ANewDocumentStartsAtPlusMinusOneAndFitsItsFirstResults)
{
    ViewDocument view({150});
    view.Store({});
    ASSERT_EQ(AxisSettings(*view.doc), (std::vector<double>{0, 0, 0, 0}));
    PlotWindow window(view.doc);
    EXPECT_EQ(AxisSettings(*view.doc), (std::vector<double>{-1, 1, -1, 1}));

    // Time: from the stimulus (lead 0) to the fall's end 170 ms later, a fifth of that as margin; values: the
    // plateau range and a tenth beyond it.
    view.Store({KnownEvent(150)});
    window.plot->Redraw();
    MGraph1::Graph2DDrawer& drawer = *window.plot->Drawer();
    EXPECT_NEAR(drawer.GetDomain().first, -0.034, 1e-9);
    EXPECT_NEAR(drawer.GetDomain().second, 0.204, 1e-9);
    EXPECT_NEAR(drawer.GetRange().first, 0.0, 1e-6);
    EXPECT_NEAR(drawer.GetRange().second, 1.2, 1e-6);
    const auto stored = AxisSettings(*view.doc);
    EXPECT_NEAR(stored[0], -0.034, 1e-9);
    EXPECT_NEAR(stored[1], 0.204, 1e-9);
    EXPECT_NEAR(stored[2], 0.0, 1e-6);
    EXPECT_NEAR(stored[3], 1.2, 1e-6);
}

TEST(AnalysisPlot, ZoomIsStoredAndRestoredAndSetRangesAreNotForced)
{
    ViewDocument view({150});
    view.doc->Settings().SetDouble(Id::kPlotValueMax, 5.0);
    {
        PlotWindow window(view.doc);
        MGraph1::Graph2DDrawer& drawer = *window.plot->Drawer();
        // 0, 0, 0, 5 is kept; the value range is not fitted to the data.
        EXPECT_EQ(drawer.GetRange(), std::make_pair(0.0, 5.0));
        drawer.SetDomain(0.01, 0.05);
        drawer.SetRange(0.5, 0.75);
        EXPECT_EQ(AxisSettings(*view.doc), (std::vector<double>{0.01, 0.05, 0.5, 0.75}));
    }
    PlotWindow reopened(view.doc);
    EXPECT_EQ(reopened.plot->Drawer()->GetDomain(), std::make_pair(0.01, 0.05));
    EXPECT_EQ(reopened.plot->Drawer()->GetRange(), std::make_pair(0.5, 0.75));
}

TEST(AnalysisPlot, RescaleLeavesTheAxesForRangesThatAreNoRanges)
{
    ViewDocument view({150});
    PlotWindow window(view.doc);
    MGraph1::Graph2DDrawer& drawer = *window.plot->Drawer();
    const auto range = drawer.GetRange();
    // No plateau value computed: the store keeps its range at the largest doubles.
    EventFCalc event = KnownEvent(150);
    event.lowest = CX::Enum::kUnsetFloat;
    event.highest = CX::Enum::kUnsetFloat;
    view.Store({event});
    ASSERT_TRUE(view.doc->Results()->RangesValid());
    window.plot->Redraw();
    EXPECT_EQ(drawer.GetRange(), range);
}

TEST(AnalysisPlot, AMilliPrefixedChannelIsShownInItsUnit)
{
    ViewDocument view({150}, u"mV");
    PlotWindow window(view.doc);
    EXPECT_DOUBLE_EQ(window.plot->ValueScale(), 1000.0);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(window.plot->ValueUnitText().View())), "mV");
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(window.plot->Drawer()->GetYTitle().View())), "mV");
    // The graph keeps the stored values; its axis and the settings show them in mV.
    EXPECT_NEAR(window.plot->Drawer()->GetRange().second, 1.2, 1e-6);
    EXPECT_NEAR(view.doc->Settings().GetDouble(Id::kPlotValueMax), 1200.0, 1e-3);
    double scaling[2] = {0.0, 0.0};
    BSTR title = nullptr;
    window.plot->Drawer()->YAxis()->GetScaling(scaling, &title);
    SysFreeString(title);
    EXPECT_EQ(scaling[0], 1000.0);
    EXPECT_EQ(scaling[1], 0.0);

    MGraph1::YCPlotData::Series series;
    window.plot->GetSeries(0, series);
    MGraph1::Hint hint;
    hint.dataX = 0.1; // 100 ms after the stimulus: 60 ms into the decay, 0.1 + exp(-2) V
    ASSERT_TRUE(window.plot->GetHint(0, &hint));
    ASSERT_TRUE(hint.valid);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(window.plot->Readout().View())), "Channel 1: 0.1000 s, 235.3 mV");
}

TEST(AnalysisPlot, TheMarkerMenuListsTheTypesMarkersAndSwitchesThem)
{
    ViewDocument view({150}, u"V", 1);
    PlotWindow window(view.doc);
    const auto& items = window.plot->Graph()->Menu().Items();
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[0].cookie, 100);
    EXPECT_EQ(items[9].cookie, 157);
    struct Case {
        std::int32_t code;
        bool shown;
        const char* text;
    };
    // Action potentials measure the baseline and the start of these.
    for (const Case& c : {Case{2, true, "RMP"}, Case{0, true, "Start"}, Case{3, false, "Peak"}, Case{33, false, "?"}}) {
        bool shown = false, enabled = false, marked = false;
        KVO::String text;
        MGraph1::PreDisplayMenuMessage ask(100 + c.code, {&shown, &enabled, &marked, &text});
        EXPECT_TRUE(window.plot->OnMessage(ask));
        EXPECT_EQ(shown, c.shown) << c.code;
        EXPECT_TRUE(enabled);
        EXPECT_TRUE(marked);
        EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(text.View())), c.text);
    }
    MGraph1::OnMenuItemMessage chosen(102);
    EXPECT_TRUE(window.plot->OnMessage(chosen));
    EXPECT_FALSE(view.doc->Settings().GetBool(2014));
    MGraph1::OnMenuItemMessage other(99);
    EXPECT_TRUE(window.plot->OnMessage(other));
    EXPECT_FALSE(view.doc->Settings().GetBool(2014));
}

} // namespace
