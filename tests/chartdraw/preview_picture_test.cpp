// Pictures of a lane drawn from a recording through the host's chart server: graticule, trace and event marks.
#include "chartdraw/eventdrawer.h"
#include "chartdraw/graticule.h"
#include "chartdraw/tracedrawers.h"
#include "host/chartserver.h"
#include "platform/gdi/image.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ChartDraw;

namespace {

struct Mark {
    std::int32_t tick;
    float offset;
    double value;
};

// A noisy recording with slow decays after each of a few events of varied height.
std::shared_ptr<host::Document> Recording(std::vector<Mark>& marks)
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->AddBlock(0.001);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> samples(3000);
    const int starts[] = {300, 1100, 1750, 2600};
    const float heights[] = {1.0f, 0.6f, 1.3f, 0.8f};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        float v = noise(random) - 0.5f;
        for (int k = 0; k < 4; ++k) {
            const int d = static_cast<int>(i) - starts[k];
            if (d >= 0) {
                v += heights[k] * std::exp(-d / 120.0f);
            }
        }
        samples[i] = v;
    }
    document->SetSamples(0, 0, std::move(samples));
    for (int s : starts) {
        marks.push_back(Mark{s, 0.0f, 1.0});
    }
    return document;
}

class Pane : public ChildPaneBase {
public:
    using ChildPaneBase::ChildPaneBase;
};

template <class T>
T* Added(Pane& pane, T* drawer, IUnknown* source)
{
    drawer->AddRef();
    pane.AddDrawer(0x80000000, drawer, 255);
    drawer->SetDataSource(0, source);
    drawer->Release();
    return drawer;
}

TEST(PreviewPicture, TraceWithEventsOverTheGraticule)
{
    std::vector<Mark> marks;
    auto document = Recording(marks);
    auto server = host::ChartServer::Create(document);
    const int eventChannel = server->AddEventChannel({host::EventArray::Of(marks)});
    const LONG width = 300;
    const LONG height = 80;
    server->SetView(0, 0, 10.0, 0); // 10 ms per pixel

    charttest::TestServices services;
    charttest::TestOwner owner;
    owner.services = &services;
    auto* pane = new Pane(0, &owner);
    pane->AddRef();
    IUnknown* source = static_cast<IChartDataSource*>(server.Get());

    auto* graticule = Added(*pane, new GraticuleDrawer(0, 0, 0, RGB(90, 110, 160), 0, 0, 0), source);
    graticule->SetOption(1);
    GraticuleSettings& levels = graticule->Settings();
    levels.level1 = 0.25;
    levels.level2 = 0.75;
    levels.flags = GraticuleSettings::kLevel1 | GraticuleSettings::kLevel2 | GraticuleSettings::kLine1 |
                   GraticuleSettings::kLine2 | GraticuleSettings::kFillBetween;
    const COLORREF blue = RGB(20, 60, 200);
    auto* trace = Added(*pane, new PolyLineTraceDrawer(0, &blue, 0, kKindTrace, 0, 0), source);
    Added(*pane, new EventDrawer(0, eventChannel, 0), source);
    const LONG pair[2]{0, 0};
    const RECT laneRect{0, 0, width, height};
    pane->SetPlacement(1, pair, laneRect);
    for (std::uint32_t i = 0; i < pane->DrawerCount(); ++i) {
        pane->DrawerAt(i)->SetRect(1, &laneRect); // the channel pane's lane layout
    }
    graticule->SetLabelFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    const double laneScale[2]{-height / 3.0, -1.5};
    trace->OnScaleChanged(0, 0, laneScale, nullptr);

    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(target, bitmap);
    const TimeDivisions grid{0.0, 0.0, 10.0, 5};
    TickMapping ticks;
    ticks.ticksPerPixel = 10.0;
    ticks.divisions = &grid;
    pane->DrawLayers(target, ticks, nullptr, 0, 0, 0, 0, 7);
    pane->Paint(target, 0, false);
    const gdi::Image picture = gdi::ImageOfBitmap(bitmap);
    SelectObject(target, previous);
    DeleteObject(bitmap);
    DeleteDC(target);

    // The band between the levels has its colour where nothing else is drawn.
    const LONG bandRow = static_cast<LONG>((0.5 - 1.5) * -height / 3.0);
    EXPECT_EQ(picture.at(5, bandRow), RGB(177, 254, 197));
    EXPECT_EQ(server->EventRequests(), 1);
    EXPECT_GT(graticule->LabelWidth(), 2); // measured by the tick generator
    EXPECT_EQ(server->layoutValues[0x80000002], graticule->LabelWidth() + 5);
    const gdi::GoldenCheck check = gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/preview_lane.png");
    EXPECT_TRUE(check.ok) << check.message;
    pane->Release();
}

} // namespace
