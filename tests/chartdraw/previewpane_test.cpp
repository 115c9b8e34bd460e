// The settings preview: its sampling and trace bars, its own sampling into a temporary compound file, a failed start,
// the trace drawers of lane 2, and the channel tokens.
#include "chartdraw/previewpane.h"
#include "host/previewsampling.h"
#include "host/scalecontrol.h"
#include "platform/gdi/image.h"
#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"
#include "platform/win/files.h"
#include "platform/win/msgbox.h"
#include "platform/win/uxtheme.h"
#include "tests/chartdraw/fakes.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

using namespace ChartDraw;

namespace {

class Page : public owl::TWindow {
public:
    Page() : TWindow(nullptr, u"page")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 20;
        Attr.Y = 20;
        Attr.W = 1100;
        Attr.H = 420;
    }
};

// A preview window that records the trace commands it receives.
class RecordingPreview : public PreviewDataWinWButtons {
public:
    using PreviewDataWinWButtons::PreviewDataWinWButtons;
    void OnTraceCommand(UINT command, DWORD flags) override
    {
        commands.emplace_back(command, flags);
        PreviewDataWinWButtons::OnTraceCommand(command, flags);
    }
    std::vector<std::pair<UINT, DWORD>> commands;
};

class LaneDrawer : public charttest::FillDrawer {
public:
    LaneDrawer(LONG lane) : FillDrawer(513, RGB(0, 0, 200)), lane_(lane) {}
    HRESULT GetLane(LONG* lane) override
    {
        *lane = lane_;
        return S_OK;
    }

private:
    LONG lane_;
};

std::size_t TemporaryStorages()
{
    WCHAR path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    std::size_t count = 0;
    const std::u16string folder(path);
    for (const auto& entry : std::filesystem::directory_iterator(std::string(folder.begin(), folder.end()))) {
        const std::string name = entry.path().filename().string();
        count += name.starts_with("KVO") && name.ends_with(".tmp") ? 1 : 0;
    }
    return count;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A temporary folder of this test's own, so that other tests running at the same time cannot change the
        // count of temporary storages.
        if (const char* usual = std::getenv("TMPDIR")) {
            usualTemp_ = usual;
        }
        setenv("TMPDIR", ownTemp_.Path().c_str(), 1);
        ui::reset();
        page = new Page;
        page->Create();
        data = host::PreviewData::Create(0.001, 20000);
    }
    void TearDown() override
    {
        if (usualTemp_) {
            setenv("TMPDIR", usualTemp_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        platform::SetMessageBoxHook(nullptr);
        if (window) {
            window->Destroy();
            delete window;
        }
        page->Destroy();
        delete page;
        ui::reset();
    }
    std::optional<std::string> usualTemp_;
    const testutil::TempFolder ownTemp_;

    RecordingPreview& NewPreview()
    {
        window = new RecordingPreview(page, static_cast<IPreviewData*>(data.Get()));
        window->Attr.X = 40;
        window->Attr.Y = 40;
        window->Attr.W = 402;
        window->Attr.H = 200;
        window->rightMargin = 600;
        window->Create();
        ui::pump();
        return *window;
    }
    // A preview of no drawers of its own, its pane made 402 by 200 pixels.
    class PlainPreview : public ExtLib::PreviewPaneBase {
    public:
        void SetupDrawers() override {}
    };
    template <class Document>
    PreviewDataWinWButtons& ShowPlain(PlainPreview& preview, Document* document)
    {
        preview.Create(static_cast<IPreviewDocument*>(document), static_cast<IPreviewData*>(data.Get()), page);
        PreviewDataWinWButtons& pane = *preview.Window();
        pane.Attr.W = 402;
        pane.Attr.H = 200;
        pane.Create();
        ui::pump();
        return pane;
    }
    PreviewControlWin& Bar() { return *dynamic_cast<PreviewControlWin*>(window->ControlBar()); }
    void Refresh()
    {
        Bar().IdleAction(0);
        if (auto* trace = dynamic_cast<TraceControlWin*>(window->TraceBar())) {
            trace->IdleAction(0);
        }
    }
    Page* page = nullptr;
    platform::ComPtr<host::PreviewData> data;
    RecordingPreview* window = nullptr;
};

TEST_F(PreviewTest, WithoutASamplingSourceTheBarSaysWhyAndOffersNoSampling)
{
    RecordingPreview& preview = NewPreview();
    ASSERT_NE(nullptr, preview.ControlBar());
    ASSERT_NE(nullptr, preview.TraceBar());
    Refresh();
    PreviewControlWin& bar = Bar();
    EXPECT_EQ(owl::TButtonGadget::Down, bar.Button(100)->GetButtonState());
    EXPECT_FALSE(bar.Button(101)->GetEnabled());
    EXPECT_FALSE(bar.Button(102)->GetEnabled());
    EXPECT_EQ(u"No Acquibox available - sampling is disabled", bar.Button(101)->GetText());
    EXPECT_EQ(E_FAIL, preview.StartSampling());

    auto control = host::PreviewSamplingControl::Create();
    preview.AttachSamplingControl(control.Get());
    Refresh();
    EXPECT_TRUE(bar.Button(101)->GetEnabled());
    EXPECT_EQ(u"Start Sampling", bar.Button(101)->GetText());
    EXPECT_FALSE(bar.Button(102)->GetEnabled()); // the chart view is down
}

TEST_F(PreviewTest, ASamplingBarButtonShowsItsTextAsATooltipUntilTheLeftButtonGoesDown)
{
    NewPreview();
    Refresh();
    PreviewControlWin& bar = Bar();
    HWND tip = bar.GetTooltip();
    ASSERT_NE(tip, nullptr);
    const owl::TRect start = bar.Button(101)->GetBounds();
    const POINT over{(start.left + start.right) / 2, (start.top + start.bottom) / 2};
    ui::MouseMove(bar.GetHandle(), over);
    ui::advance(GetDoubleClickTime() - 1);
    EXPECT_FALSE(IsWindowVisible(tip));
    ui::advance(1);
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(ui::WindowText(tip), u"No Acquibox available - sampling is disabled");

    // Down: off, and no tip while the button is held; up: on again.
    ui::MouseDown(bar.GetHandle(), over);
    EXPECT_FALSE(IsWindowVisible(tip));
    const owl::TRect chart = bar.Button(100)->GetBounds();
    const POINT overChart{(chart.left + chart.right) / 2, (chart.top + chart.bottom) / 2};
    ui::MouseMove(bar.GetHandle(), overChart);
    ui::advance(GetDoubleClickTime());
    EXPECT_FALSE(IsWindowVisible(tip));
    ui::MouseUp(bar.GetHandle(), overChart);
    ui::MouseMove(bar.GetHandle(), over);
    ui::MouseMove(bar.GetHandle(), overChart);
    ui::advance(GetDoubleClickTime());
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(ui::WindowText(tip), u"Chart View");
}

// Without a theme the zoom window does not erase: a new ratio text must not be drawn over the old one.
TEST_F(PreviewTest, TheRatioButtonShowsOnlyTheNewTextWithoutATheme)
{
    RecordingPreview& preview = NewPreview();
    auto* shown = dynamic_cast<ZoomControlWin*>(preview.Zoom());
    ASSERT_NE(shown, nullptr);
    ZoomControlWin& zoom = *shown;
    const auto ratioPicture = [&] {
        ui::pump();
        const gdi::Image whole = ui::RenderWindow(zoom.GetHandle());
        const owl::TRect bounds = zoom.RatioButton()->GetBounds();
        std::vector<COLORREF> pixels;
        for (int y = bounds.top; y < bounds.bottom; ++y) {
            for (int x = bounds.left; x < bounds.right; ++x) {
                pixels.push_back(whole.at(x, y));
            }
        }
        return pixels;
    };
    zoom.SetRatio(1, 1);
    const std::vector<COLORREF> fresh = ratioPicture();
    zoom.SetRatio(8888, 1);
    const std::vector<COLORREF> longer = ratioPicture();
    EXPECT_NE(fresh, longer);
    zoom.SetRatio(1, 1);
    EXPECT_EQ(fresh, ratioPicture());

    // The ratio's tooltip goes away on a press and comes back after the release.
    HWND tip = zoom.GetTooltip();
    ASSERT_NE(tip, nullptr);
    const owl::TRect bounds = zoom.RatioButton()->GetBounds();
    const POINT over{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    ui::MouseMove(zoom.GetHandle(), over);
    ui::advance(GetDoubleClickTime());
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(ui::WindowText(tip), u"1:1");
    // A press where no gadget is (the ratio button would drop its menu) hides it; the release switches it on.
    const owl::TPoint nowhere(-10, -10);
    zoom.EvLButtonDown(0, nowhere);
    EXPECT_FALSE(IsWindowVisible(tip));
    zoom.EvLButtonUp(0, nowhere);
    ui::MouseMove(zoom.GetHandle(), POINT{over.x + 1, over.y});
    ui::MouseMove(zoom.GetHandle(), POINT{0, 0});
    ui::MouseMove(zoom.GetHandle(), over);
    ui::advance(GetDoubleClickTime());
    EXPECT_TRUE(IsWindowVisible(tip));
}

TEST_F(PreviewTest, ABarWithoutTheChartViewShowsStartDown)
{
    PreviewControlWin bar(page, nullptr, PreviewControlWin::kNoChartView);
    EXPECT_EQ(nullptr, bar.Button(100));
    EXPECT_EQ(owl::TButtonGadget::Down, bar.Button(101)->GetButtonState());
    EXPECT_EQ(owl::TButtonGadget::Up, bar.Button(102)->GetButtonState());
}

TEST_F(PreviewTest, SamplingIntoATemporaryFileAndBackToTheHostData)
{
    RecordingPreview& preview = NewPreview();
    auto control = host::PreviewSamplingControl::Create();
    preview.AttachSamplingControl(control.Get());
    const std::size_t before = TemporaryStorages();
    const LONGLONG hostEdge = preview.RightEdge();
    std::vector<PreviewDataPane::ChangeNotice> notices;
    preview.onSubjectMessage = [&](DWORD id, const void* body, std::size_t size) {
        ASSERT_EQ(PreviewChangeMessageId(), id);
        ASSERT_EQ(sizeof(PreviewDataPane::ChangeNotice), size);
        notices.push_back(*static_cast<const PreviewDataPane::ChangeNotice*>(body));
    };

    ui::Click(Bar(), POINT{Bar().Button(101)->GetBounds().left + 3, Bar().Button(101)->GetBounds().top + 3});
    EXPECT_EQ(PreviewDataPane::Sampling, preview.SamplingState());
    ASSERT_NE(nullptr, preview.PreviewSource());
    EXPECT_EQ(before + 1, TemporaryStorages());
    EXPECT_EQ(1, control->starts);
    EXPECT_EQ(0x80000000u, control->selected);
    ASSERT_TRUE(control->Deliver(std::vector<float>(3000, 1.5f)));
    EXPECT_EQ(3000, control->Attached()->SampleCount());

    preview.SetSamplingState(PreviewDataPane::Sampling); // again: nothing
    EXPECT_EQ(1, control->starts);

    preview.PausePreviewSampling();
    EXPECT_EQ(PreviewDataPane::Paused, preview.SamplingState());
    EXPECT_EQ(S_OK, control->IsSampling() == S_OK ? E_FAIL : S_OK);
    EXPECT_NE(nullptr, preview.PreviewSource()); // kept while paused

    preview.SetSamplingState(PreviewDataPane::ApplyAgain); // pause again: stops once more, state kept
    EXPECT_EQ(PreviewDataPane::Paused, preview.SamplingState());

    preview.StartPreviewSampling();
    EXPECT_EQ(2, control->starts);
    preview.SetSamplingState(PreviewDataPane::ApplyAgain); // 103 after 101 starts again
    EXPECT_EQ(3, control->starts);
    EXPECT_EQ(PreviewDataPane::Sampling, preview.SamplingState());

    preview.ShowHostData();
    EXPECT_EQ(PreviewDataPane::ShowingHostData, preview.SamplingState());
    EXPECT_EQ(nullptr, preview.PreviewSource());
    EXPECT_EQ(S_FALSE, control->IsSampling());
    EXPECT_EQ(before, TemporaryStorages()); // the temporary file is gone
    EXPECT_EQ(hostEdge, preview.RightEdge());
    ASSERT_EQ(4u, notices.size()); // start, pause, start, chart view
    EXPECT_EQ(1, notices[0].value);
    EXPECT_NE(nullptr, notices[0].data);
    EXPECT_EQ(0, notices[3].value);
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IPreviewData*>(data.Get())), notices[3].data);
}

TEST_F(PreviewTest, AFailedStartShowsWhyAndReturnsToTheHostData)
{
    struct Case {
        bool allow;
        std::u16string refusal;
        const char* temporaryFolder; // null: the usual one
        std::u16string shown;
    } cases[] = {{false, u"The amplifier is busy.", nullptr, u"The amplifier is busy."},
                 {false, u"", nullptr, u"Cannot start sampling"},
                 // Without its temporary storage the start is still tried, and the host refuses it.
                 {true, u"", "/nonexistent/folder", u"There is no storage for the new recording."}};
    const char* usualFolder = std::getenv("TMPDIR");
    const std::string usual = usualFolder ? usualFolder : "";
    RecordingPreview& preview = NewPreview();
    for (const Case& c : cases) {
        auto control = host::PreviewSamplingControl::Create();
        control->allowStart = c.allow;
        control->refusal = c.refusal;
        preview.AttachSamplingControl(control.Get());
        std::vector<platform::MessageBoxCall> boxes;
        platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
            boxes.push_back(call);
            return IDOK;
        });
        const std::size_t before = TemporaryStorages();
        const LONGLONG edge = preview.RightEdge();
        if (c.temporaryFolder) {
            setenv("TMPDIR", c.temporaryFolder, 1);
        }
        preview.StartPreviewSampling();
        if (usualFolder) {
            setenv("TMPDIR", usual.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(c.shown, boxes[0].text);
        EXPECT_EQ(u"Wavedesk", boxes[0].caption);
        EXPECT_EQ(0x2010u, boxes[0].type);
        EXPECT_EQ(PreviewDataPane::ShowingHostData, preview.SamplingState());
        EXPECT_EQ(nullptr, preview.PreviewSource());
        EXPECT_EQ(nullptr, control->Attached());
        EXPECT_EQ(before, TemporaryStorages());
        EXPECT_EQ(edge, preview.RightEdge());
        EXPECT_EQ(owl::TButtonGadget::Down, Bar().Button(100)->GetButtonState());
        EXPECT_EQ(owl::TButtonGadget::Up, Bar().Button(101)->GetButtonState());
    }
}

TEST_F(PreviewTest, LaneTwoTracesWaitForTheTraceModeAndTheSourceOnlyButtonRestoresTheArrangement)
{
    RecordingPreview& preview = NewPreview();
    auto* first = new LaneDrawer(1);
    auto* second = new LaneDrawer(2);
    first->AddRef();
    second->AddRef();
    preview.NotifyTraceMode(0); // source only: lane 2 hidden
    EXPECT_EQ(S_OK, preview.AddTraceDrawer(first));
    EXPECT_EQ(S_OK, preview.AddTraceDrawer(second));
    EXPECT_EQ(2u, preview.TraceDrawers().size());
    EXPECT_EQ(1u, preview.Lane(0)->DrawerCount());
    preview.NotifyTraceMode(257); // taken modulo 256: shown
    EXPECT_EQ(2u, preview.Lane(0)->DrawerCount());

    auto& trace = *dynamic_cast<TraceControlWin*>(preview.TraceBar());
    Refresh();
    auto press = [&](UINT command) {
        const owl::TRect b = trace.Button(command)->GetBounds();
        ui::Click(trace, POINT{b.left + 3, b.top + 3});
        Refresh();
    };
    press(TraceControlWin::Stack);
    press(TraceControlWin::SourceOnly);
    EXPECT_FALSE(trace.Button(TraceControlWin::Stack)->GetEnabled()); // off while the source is shown alone
    EXPECT_EQ(1u, preview.Lane(0)->DrawerCount());
    press(TraceControlWin::SourceOnly);
    const std::vector<std::pair<UINT, DWORD>> expected{{2, 0}, {8, 1}, {8, 2}, {2, 0}};
    EXPECT_EQ(expected, preview.commands);
    EXPECT_EQ(2u, preview.Lane(0)->DrawerCount());

    EXPECT_EQ(S_OK, preview.RemoveAllTraceDrawers());
    EXPECT_TRUE(preview.TraceDrawers().empty());
    EXPECT_FALSE(trace.Button(TraceControlWin::Stack)->GetEnabled());
    EXPECT_FALSE(trace.Button(TraceControlWin::SourceOnly)->GetEnabled());
    first->Release();
    second->Release();
}

TEST_F(PreviewTest, LaneTwosScaleShowsOnlyWithALaneTwoTraceAndTheLanesTakeTheirColours)
{
    RecordingPreview& preview = NewPreview();
    auto* scale1 = dynamic_cast<host::ScaleControl*>(preview.Lane(0)->Scale(1));
    auto* scale2 = dynamic_cast<host::ScaleControl*>(preview.Lane(0)->Scale(2));
    ASSERT_NE(nullptr, scale1);
    ASSERT_NE(nullptr, scale2);
    auto* first = new LaneDrawer(1);
    first->AddRef();
    EXPECT_EQ(S_OK, preview.AddTraceDrawer(first));
    EXPECT_FALSE(scale2->LaneShown()); // no trace against lane 2 yet
    auto* second = new LaneDrawer(2);
    second->AddRef();
    EXPECT_EQ(S_OK, preview.AddTraceDrawer(second));
    EXPECT_TRUE(scale2->LaneShown());
    EXPECT_EQ(S_OK, preview.RemoveAllTraceDrawers());
    EXPECT_EQ(S_OK, preview.AddTraceDrawer(first));
    EXPECT_FALSE(scale2->LaneShown());
    first->Release();
    second->Release();

    // The host's scales take the lanes' colours.
    EXPECT_EQ(S_OK, preview.SetLaneScale(RGB(200, 0, 0), 1, true));
    EXPECT_TRUE(scale1->LaneColourShown());
    EXPECT_EQ(RGB(200, 0, 0), scale1->LaneColour());
    EXPECT_EQ(S_OK, preview.SetLaneScale(RGB(0, 0, 0), 2, false));
    EXPECT_FALSE(scale2->LaneColourShown());
}

TEST(PreviewPaneBase, ChannelTokens)
{
    EXPECT_EQ(u"ch1", ExtLib::PreviewPaneBase::ChannelToken(0).View());
    EXPECT_EQ(u"ch10", ExtLib::PreviewPaneBase::ChannelToken(9).View());
}

} // namespace

namespace {

// Records the text and state that a command enabler is given.
class TextEnabler : public owl::TCommandEnabler {
public:
    using TCommandEnabler::TCommandEnabler;
    void SetText(LPCWSTR value) override { text = value ? value : u""; }
    std::u16string text;
};

TEST_F(PreviewTest, TheTraceBarIsClippedToANarrowMarginAndHiddenWithoutOne)
{
    RecordingPreview& preview = NewPreview();
    auto& trace = *dynamic_cast<TraceControlWin*>(preview.TraceBar());
    SIZE wanted{};
    trace.GetDesiredSize(wanted);
    struct Case {
        LONG margin;
        LONG width;
    } cases[] = {{2000, wanted.cx}, {50, 50}, {0, 0}, {-20, 0}};
    for (const Case& c : cases) {
        preview.rightMargin = c.margin;
        preview.LayoutControls();
        EXPECT_EQ(c.width, trace.GetWindowRect().Width()) << c.margin;
    }
}

TEST_F(PreviewTest, TheZoomBarsAutoscaleTextAndTheShowLatestPulse)
{
    RecordingPreview& preview = NewPreview();
    ZoomControlWin zoom(page, &preview, ZoomControlWin::kShowLatest | ZoomControlWin::kAutoscale);
    zoom.Create();
    TextEnabler autoscale(ZoomControlWin::Autoscale, zoom.GetHandle());
    zoom.EvCommandEnable(autoscale);
    EXPECT_EQ(u"Auto-scale horizontally to fit all traces in overlay", autoscale.text);
    zoom.SetAutoscaleText(KVO::String(u"Fit the overlay"));
    zoom.EvCommandEnable(autoscale);
    EXPECT_EQ(u"Fit the overlay", autoscale.text);

    UxSizableButtonGadget* latest = zoom.Button(ZoomControlWin::ShowLatest);
    ASSERT_NE(nullptr, latest);
    const owl::uint pulse = UxSizableButtonGadget::HotBit | UxSizableButtonGadget::PressedBit;
    struct Case {
        bool live;
        bool following;
        owl::uint state;
    } cases[] = {{true, false, pulse}, {true, true, 0}, {false, false, 0}};
    for (const Case& c : cases) {
        preview.SetLive(c.live);
        zoom.SetFollowing(c.following);
        EXPECT_EQ(c.state, latest->GetVisualState()) << c.live << c.following;
    }
    zoom.Destroy();
}

TEST_F(PreviewTest, ThePaneBaseTakesTheSamplingServiceOnlyWhenSamplingIsPossible)
{
    class Preview : public ExtLib::PreviewPaneBase {
    public:
        void SetupDrawers() override {}
    };
    struct Case {
        bool service;
        WORD busy;
        LONG channels;
        LONG metrics[3];
        bool live;
        LONG sizeMetric;
    } cases[] = {{true, 0, 2, {12, 30, 10}, true, 30},
                 {true, 1, 2, {3, 4, 5}, false, 16},
                 {true, 0, 0, {12, 14, 10}, false, 16},
                 {false, 0, 2, {40, 14, 10}, false, 40}};
    for (const Case& c : cases) {
        auto document = host::PreviewDocument::Create();
        if (c.service) {
            document->sampling = host::PreviewSamplingControl::Create(c.channels);
            document->sampling->busy = c.busy;
        }
        std::copy(c.metrics, c.metrics + 3, document->paneMetrics);
        document->traceColour = 1;
        Preview preview;
        preview.Create(static_cast<IPreviewDocument*>(document.Get()), static_cast<IPreviewData*>(data.Get()), page);
        ASSERT_NE(nullptr, preview.Window());
        EXPECT_TRUE(preview.IsCreated());
        EXPECT_EQ(c.live, preview.Window()->HasSamplingControl()) << c.busy << c.channels;
        EXPECT_EQ(c.sizeMetric, preview.SizeMetric());
        EXPECT_EQ(RGB(160, 0, 0), preview.TraceColour());
        if (!c.live) {
            EXPECT_EQ(E_FAIL, preview.Window()->StartSampling());
        } else {
            EXPECT_EQ(0x80000000u, document->sampling->selected);
            preview.SetLiveData(false);
            EXPECT_FALSE(preview.Window()->HasSamplingControl());
            preview.SetLiveData(true);
            EXPECT_TRUE(preview.Window()->HasSamplingControl());
        }
    }
}

// Without the host's colour table the trace colour comes from the default palette: index modulo its 20 colours.
TEST_F(PreviewTest, WithoutAColourTableTheTraceColourComesFromTheDefaultPalette)
{
    class Preview : public ExtLib::PreviewPaneBase {
    public:
        void SetupDrawers() override {}
    };
    const COLORREF basic[20] = {0x0000FF, 0xFF0000, 0x008000, 0xFF00FF, 0x800000, 0x000080, 0x008080,
                                0x800080, 0x808000, 0x000000, 0x00FF00, 0xFFFF00, 0x0080FF, 0x8000FF,
                                0xFF0080, 0x004080, 0xC08000, 0x00A0E0, 0xFF8000, 0xC08080};
    struct Case {
        bool table;
        LONG index;
        COLORREF colour;
    } cases[] = {{true, 2, RGB(0, 120, 0)}, {false, 1, basic[1]},  {false, 3, basic[3]},
                 {false, 23, basic[3]},     {false, 39, basic[19]}, {true, 7, RGB(0, 0, 0)}};
    for (const Case& c : cases) {
        auto document = host::PreviewDocument::Create();
        if (!c.table) {
            document->colours.clear();
        }
        document->traceColour = c.index;
        Preview preview;
        preview.Create(static_cast<IPreviewDocument*>(document.Get()), static_cast<IPreviewData*>(data.Get()), page);
        EXPECT_EQ(c.colour, preview.TraceColour()) << c.table << " " << c.index;
    }
}

// A unit prefix goes to a lane that has a scale for it, and the pane lays itself out again.
TEST_F(PreviewTest, AUnitPrefixLaysThePaneOutAgain)
{
    auto document = host::PreviewDocument::Create();
    PlainPreview preview;
    PreviewDataWinWButtons& pane = ShowPlain(preview, document.Get());
    ASSERT_GT(pane.LaneCount(), 0u);
    ASSERT_NE(pane.Lane(0)->Scale(1), nullptr);
    pane.Scale()->ClearPending();
    preview.SetUnitPrefix(false, 7);
    EXPECT_EQ(pane.Lane(0)->UnitRecord(1).prefixIndex, 7);
    EXPECT_TRUE(pane.Scale()->HasPendingLayer());
}

// A lane waiting for an autoscale is autoscaled instead of taking the range; a given range is applied all the same.
TEST_F(PreviewTest, AVerticalRangeAutoscalesALaneThatWaitsForIt)
{
    auto document = host::PreviewDocument::Create();
    PlainPreview preview;
    PreviewDataWinWButtons& pane = ShowPlain(preview, document.Get());
    ASSERT_GT(pane.LaneCount(), 0u);
    ChannelPane& lane = *pane.Lane(0);
    ASSERT_NE(lane.Scale(1), nullptr);
    std::vector<LONG> autoscaled;
    pane.onAutoscale = [&](const LONG[2], LONG which) { autoscaled.push_back(which); };
    const auto range = [&](LONG which) {
        double extent[2]{0, 0}; // maximum first
        lane.Scale(which)->GetExtent(extent);
        return std::make_pair(extent[1], extent[0]);
    };

    preview.SetVerticalRange(false, std::array<double, 2>{-1.0, 4.0});
    EXPECT_TRUE(autoscaled.empty());
    EXPECT_EQ(range(1), std::make_pair(-1.0, 4.0));

    lane.SetPendingRanges(1);
    preview.SetVerticalRange(true, std::nullopt); // lane 2 does not wait
    EXPECT_TRUE(autoscaled.empty());
    preview.SetVerticalRange(false, std::nullopt);
    EXPECT_EQ(autoscaled, (std::vector<LONG>{1}));
    EXPECT_EQ(range(1), std::make_pair(-1.0, 4.0));

    lane.SetPendingRanges(1);
    preview.SetVerticalRange(false, std::array<double, 2>{2.0, 3.0});
    EXPECT_EQ(autoscaled, (std::vector<LONG>{1, 1}));
    EXPECT_EQ(range(1), std::make_pair(2.0, 3.0));
    EXPECT_EQ(lane.PendingRanges() & 1u, 0u);
    pane.onAutoscale = nullptr;
}

// A trace of a decaying, noisy wave through the whole lane, drawn as a polyline.
class WaveDrawer : public LaneDrawer {
public:
    WaveDrawer() : LaneDrawer(1) {}
    HRESULT Draw(owl::TDC& dc, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT& clip, DWORD,
                 const ChartDraw::TimeDivisions*, LONG) override
    {
        ++draws;
        std::vector<POINT> points;
        for (LONG x = std::max(clip.left, lane.left); x < std::min(clip.right, lane.right); ++x) {
            const double t = (x - lane.left) / 60.0;
            const double v = std::exp(-std::fmod(t, 2.5)) * std::sin(6 * t) + 0.1 * std::sin(47.0 * x);
            points.push_back(POINT{x, static_cast<LONG>((lane.top + lane.bottom) / 2 - v * (lane.bottom - lane.top) / 3)});
        }
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 160));
        HGDIOBJ old = SelectObject(dc, pen);
        if (points.size() > 1) {
            Polyline(dc, points.data(), static_cast<int>(points.size()));
        }
        SelectObject(dc, old);
        DeleteObject(pen);
        return S_OK;
    }
};

TEST_F(PreviewTest, APreviewPageAsAPicture)
{
    platform::SetThemesActive(true);
    RecordingPreview& preview = NewPreview();
    preview.Scale()->EnsureLabelDrawer();
    auto* ground = new charttest::FillDrawer(1, RGB(248, 248, 236));
    ground->AddRef();
    preview.Lane(0)->AddDrawer(0, ground, 255);
    ground->Release();
    auto* wave = new WaveDrawer;
    wave->AddRef();
    preview.AddTraceDrawer(wave);
    wave->Release();
    auto control = host::PreviewSamplingControl::Create();
    preview.AttachSamplingControl(control.Get());
    preview.SetCompression(KVORationalImp(20, 1), nullptr, false);
    preview.DataPane::Invalidate(0xFF000000u);
    preview.InvalidateWhole(true);
    ui::pump();
    const gdi::Image picture = ui::RenderWindow(*page);
    const gdi::GoldenCheck check = gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/preview_page.png");
    EXPECT_TRUE(check.ok) << check.message;
    platform::SetThemesActive(false);
}

} // namespace
