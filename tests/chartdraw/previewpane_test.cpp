// The settings preview: its sampling and trace bars, its own sampling into a temporary compound file, a failed start,
// the trace drawers of lane 2, and the channel tokens.
#include "chartdraw/previewpane.h"
#include "host/previewsampling.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/files.h"
#include "platform/win/msgbox.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <filesystem>

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
        ui::reset();
        page = new Page;
        page->Create();
        data = host::PreviewData::Create(0.001, 20000);
    }
    void TearDown() override
    {
        platform::SetMessageBoxHook(nullptr);
        if (window) {
            window->Destroy();
            delete window;
        }
        page->Destroy();
        delete page;
        ui::reset();
    }
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
}

TEST_F(PreviewTest, AFailedStartShowsWhyAndReturnsToTheHostData)
{
    struct Case {
        bool allow;
        std::u16string refusal;
        std::u16string shown;
    } cases[] = {{false, u"The amplifier is busy.", u"The amplifier is busy."},
                 {false, u"", u"Cannot start sampling"}};
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
        preview.StartPreviewSampling();
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

TEST(PreviewPaneBase, ChannelTokens)
{
    EXPECT_EQ(u"ch1", ExtLib::PreviewPaneBase::ChannelToken(0).View());
    EXPECT_EQ(u"ch10", ExtLib::PreviewPaneBase::ChannelToken(9).View());
}

} // namespace
