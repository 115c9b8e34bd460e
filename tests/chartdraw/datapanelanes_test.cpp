#include "chartdraw/datapane.h"
#include "chartdraw/previewpane.h"
#include "chartdraw/tracedrawers.h"
#include "sdk/chartchannelsettings.h"
#include "host/blocktimebase.h"
#include "host/chartserver.h"
#include "host/scalecontrol.h"
#include "platform/com/memstream.h"
#include "../frame/sharedhost.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <string>
#include <vector>

using namespace ChartDraw;

namespace {

using charttest::NoteTaker;

struct PlacedPane : DataPane {
    void MoveDataArea(LONG x, LONG y, LONG width, LONG height, bool) override { moved = RECT{x, y, width, height}; }
    RECT moved{-1, -1, -1, -1};
};

struct LanesFixture : ::testing::Test {
    void SetUp() override
    {
        SharedHost().GetFramework().Graphs().SetRefuse(false);
        pane.tickCount = [] { return DWORD{1000}; };
        pane.SetLaneCount(1);
        pane.SetSize(402, 200);
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }
    std::vector<std::string> log;
    NoteTaker first{"a", log};
    NoteTaker second{"b", log, true};
    PlacedPane pane;
};

TEST_F(LanesFixture, ObjectsHearThePaneInKeyOrderAndAllOfThem)
{
    EXPECT_EQ(pane.AddInteractiveObject(&second, 7), S_OK);
    EXPECT_EQ(pane.AddInteractiveObject(&first, 3), S_OK);
    EXPECT_EQ(second.count, 2u);
    EXPECT_EQ(pane.AddInteractiveObject(nullptr, 1), E_POINTER);

    pane.BroadcastPoint(1, 2, 3);
    EXPECT_TRUE(pane.BroadcastWithHandled(0, 0)); // b takes it, a is asked all the same
    EXPECT_TRUE(pane.BroadcastInput(0x0201, 0, 0));
    pane.BroadcastNotice();
    EXPECT_EQ(Take(), (std::vector<std::string>{"a: point 123", "b: point 123", "a: handled?", "b: handled?",
                                                "a: input 513", "b: input 513", "a: notice", "b: notice"}));

    // A second object under a taken key replaces the first; the pane's reference moves with it.
    NoteTaker third{"c", log};
    third.count = 1;
    EXPECT_EQ(pane.AddInteractiveObjectAndRelease(&third, 7), S_OK);
    EXPECT_EQ(second.count, 1u);
    EXPECT_EQ(third.count, 1u);
    EXPECT_FALSE(pane.BroadcastWithHandled(0, 0));
    pane.RemoveAllObjects();
    EXPECT_EQ(first.count, 1u);
}

TEST_F(LanesFixture, PaneEventsReachTheObjects)
{
    auto timeBase = host::BlockTimeBase::Create(0.0001);
    timeBase->AppendBlock(100000);
    pane.AddInteractiveObject(&first, 0);
    pane.SetTimeBase(timeBase.Get());
    const std::vector<std::string> attach = Take();
    EXPECT_EQ(attach.front(), "a: timebase");
    EXPECT_NE(std::find(attach.begin(), attach.end(), "a: redraw"), attach.end());

    pane.ScrollBy(-10);
    EXPECT_EQ(Take(), (std::vector<std::string>{"a: before scroll", "a: after scroll -10 4"}));
    pane.ScrollBy(5000); // larger than the view: the layers start over
    EXPECT_EQ(Take(), (std::vector<std::string>{"a: before scroll", "a: after scroll 5000 8"}));

    pane.SamplingStarted(9);
    EXPECT_EQ(Take().at(0), "a: started 9");
    pane.SamplingStopped(0, 0);
    pane.AfterStop(false);
    const std::vector<std::string> stop = Take();
    EXPECT_NE(std::find(stop.begin(), stop.end(), "a: ended"), stop.end());

    pane.SetLaneGeometry({4}, {50});
    EXPECT_EQ(Take().at(0), "a: lane 0 top 4");
    pane.SetSize(302, 100);
    const std::vector<std::string> sized = Take();
    const auto layout = std::find_if(sized.begin(), sized.end(), [](const std::string& s) { return s.find("layout") != s.npos; });
    ASSERT_NE(layout, sized.end());
    EXPECT_EQ(layout->substr(0, 13), "a: layout 302");
}

TEST_F(LanesFixture, PaneStreamCarriesTheObjectsBeforeTheLanes)
{
    pane.AddInteractiveObject(&second, 2);
    pane.AddInteractiveObject(&first, 1);
    auto stream = platform::MemoryStream::Create();
    ASSERT_EQ(pane.Save(stream.Get()), S_OK);
    const std::vector<BYTE> expected{2, 0, 0, 0, 'a', 0, 0, 0, 'b', 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(stream->Data(), expected);
    Take();
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(pane.Load(stream.Get()), S_OK);
    EXPECT_EQ(Take(), (std::vector<std::string>{"a: load 97", "b: load 98"}));
}

TEST_F(LanesFixture, ChartLanesGrowAndShrinkTheChannelPanes)
{
    IKVOChartLanes* lanes = pane.ChartLanes();
    pane.AddInteractiveObject(&first, 0);
    LONG count = 0;
    EXPECT_EQ(lanes->GetLaneCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(lanes->SetLaneCount(-1), E_INVALIDARG);

    // Not attached to a window: new lanes are not announced as attached.
    EXPECT_EQ(lanes->SetLaneCount(3), S_OK);
    std::vector<std::string> grown = Take();
    EXPECT_EQ(std::count(grown.begin(), grown.end(), "a: lanes 3"), 1);
    EXPECT_EQ(std::count_if(grown.begin(), grown.end(), [](auto& s) { return s.find("attached") != s.npos; }), 0);

    EXPECT_EQ(lanes->SetLaneCount(1), S_OK);
    std::vector<std::string> shrunk = Take();
    EXPECT_EQ(shrunk.at(0), "a: channel removed 2");
    EXPECT_EQ(shrunk.at(1), "a: channel removed 1");
    EXPECT_EQ(pane.LaneCount(), 1u);

    pane.Attach(nullptr, reinterpret_cast<HWND>(0x10));
    Take();
    EXPECT_EQ(lanes->SetLaneCount(2), S_OK);
    EXPECT_EQ(Take().at(0), "a: channel attached 1");

    // A redirection answers for the pane's own lanes.
    PlacedPane other;
    other.SetLaneCount(4);
    pane.SetLanesRedirection(other.ChartLanes());
    EXPECT_EQ(lanes->GetLaneCount(&count), S_OK);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(lanes->SetLaneCount(5), S_OK);
    EXPECT_EQ(other.LaneCount(), 5u);
    EXPECT_EQ(pane.LaneCount(), 2u);
    platform::ComPtr<IUnknown> info;
    EXPECT_EQ(pane.DrawerServices()->GetLaneInformation(4, 1, info.Out()), S_OK);
    EXPECT_EQ(info.Get(), static_cast<IUnknown*>(other.Lane(4)->Scale(1)));
    pane.SetLanesRedirection(nullptr);
}

TEST_F(LanesFixture, AttachingLeavesEachDragScaleWithOneObserver)
{
    auto* scale = static_cast<host::ScaleControl*>(pane.Lane(0)->DragScale(1));
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->ObserverCount(), 1u);
    pane.Attach(nullptr, reinterpret_cast<HWND>(0x10));
    pane.OnChannelAttached(0);
    EXPECT_EQ(scale->ObserverCount(), 1u);

    // A bare lane adopts the drag scale that the lane information reports, and observes it.
    struct BarePane : DataPane {
        ChannelPane* CreateChannelPane(LONG index) override
        {
            auto* lane = new ChannelPane(index, this, paneFlags, 0);
            lane->AddRef();
            return lane;
        }
    } bare;
    bare.SetLaneCount(1);
    bare.SetLanesRedirection(pane.ChartLanes());
    bare.OnChannelAttached(0);
    EXPECT_EQ(bare.Lane(0)->DragScale(1), scale);
    EXPECT_EQ(scale->ObserverCount(), 2u);
    bare.SetLaneCount(0);
    EXPECT_EQ(scale->ObserverCount(), 1u);
}

TEST_F(LanesFixture, LayerDragRectsGoToTheLayerOfTheCode)
{
    IDrawerDataPane* services = pane.DrawerServices();
    const RECT area{5, 6, 70, 80};
    EXPECT_EQ(services->SetLayerDragRect(1, 0x100, &area), E_INVALIDARG);
    EXPECT_EQ(services->SetLayerDragRect(0, 0x100, nullptr), E_POINTER);
    struct Case {
        LONG code;
        int layer; // -1: no layer changes
    };
    for (const Case c : {Case{0, 0}, Case{0x1FF, 1}, Case{0x701, 7}, Case{0x800, -1}, Case{-1, -1}}) {
        for (int i = 0; i < 8; ++i) {
            pane.Lane(0)->Layer(i).blendArea.reset();
        }
        EXPECT_EQ(services->SetLayerDragRect(0, c.code, &area), S_OK) << c.code;
        for (int i = 0; i < 8; ++i) {
            const auto& copy = pane.Lane(0)->Layer(i).blendArea;
            EXPECT_EQ(copy != nullptr, i == c.layer) << c.code << " layer " << i;
            if (copy) {
                EXPECT_EQ(copy->right, 70);
            }
        }
    }
}

TEST_F(LanesFixture, ViewRectLeavesRoomForTheWidestScaleStrips)
{
    pane.SetLaneCount(2);
    pane.Lane(0)->SetStripWidths(30, 10, 2);
    pane.Lane(1)->SetStripWidths(40, 5, 2);
    pane.SetViewRect(RECT{10, 20, 510, 320});
    EXPECT_EQ(pane.Lane1StripWidth(), 40);
    EXPECT_EQ(pane.Lane2StripWidth(), 10);
    EXPECT_EQ(pane.moved.left, 50);
    EXPECT_EQ(pane.moved.top, 20);
    EXPECT_EQ(pane.moved.right, 500 - 10 - 40);
    EXPECT_EQ(pane.moved.bottom, 300);
    pane.minLane2StripWidth = 60;
    pane.minLane1StripWidth = 500;
    pane.SetViewRect(RECT{10, 20, 510, 320});
    EXPECT_EQ(pane.moved.right, 0);
    EXPECT_EQ(pane.GetViewRect().right, 510);
}

TEST_F(LanesFixture, ChannelTitleComesFromTheChannelSource)
{
    std::u16string title = u"stale";
    EXPECT_EQ(pane.Lane(0)->GetChannelTitle(title), E_FAIL);
    EXPECT_TRUE(title.empty());
    pane.channelTitle = [](LONG lane) -> std::optional<std::u16string> {
        if (lane == 0) {
            return u"Pressure";
        }
        return std::nullopt;
    };
    EXPECT_EQ(pane.Lane(0)->GetChannelTitle(title), S_OK);
    EXPECT_EQ(title, u"Pressure");
    pane.SetLaneCount(2);
    EXPECT_EQ(pane.Lane(1)->GetChannelTitle(title), E_FAIL);
    EXPECT_TRUE(title.empty());
}

} // namespace

namespace {

// A trace-layer drawer of channel 0 that draws nothing; its data come from the host's server.
class DataOnlyDrawer final : public DrawerBase {
public:
    DataOnlyDrawer(LONG lane = 0, LONG channel = 0)
        : DrawerBase(513, channel, 0, kNoAlternateChannel, kNoAlternateSelector), lane_(lane)
    {
    }
    HRESULT GetLane(LONG* lane) override
    {
        *lane = lane_;
        return lane_ ? S_OK : E_NOTIMPL;
    }
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG) override
    {
        *flags = 0;
        *left = *right = 0;
        return S_OK;
    }
    HRESULT Draw(owl::TDC&, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT&, DWORD, const TimeDivisions*,
                 LONG) override
    {
        return S_OK;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }

private:
    LONG lane_;
};

// Two records of 1000 samples at one tick per pixel: record 0 spans -2..5, record 1 spans 10..30.
struct VisibleRangeFixture : LanesFixture {
    void SetUp() override
    {
        LanesFixture::SetUp();
        document->AddChannel(u"P", u"V");
        for (int record = 0; record < 2; ++record) {
            document->AddBlock(0.001);
            std::vector<float> samples(1000);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                samples[i] = record == 0 ? static_cast<float>(static_cast<int>(i % 8) - 2)
                                         : static_cast<float>(10 + i % 21);
            }
            document->SetSamples(record, 0, samples);
            timeBase->AppendBlock(1000);
        }
        auto* drawer = new DataOnlyDrawer;
        drawer->AddRef();
        drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        pane.Lane(0)->AddDrawer(0, drawer, 255);
        drawer->Release();
        pane.SetCompression(KVORationalImp(1, 1), nullptr, false);
    }
    std::pair<double, double> DragRange(DataPane& of, LONG lane = 1)
    {
        double extent[2]{0, 0}; // maximum first
        of.Lane(0)->DragScale(lane)->GetExtent(extent);
        return {extent[1], extent[0]};
    }
    std::pair<double, double> DragRange() { return DragRange(pane); }
    // Channel 1 of both records: a slow ramp 100..199 whose ends are known from its definition.
    void AddRamp(DataPane& to)
    {
        document->AddChannel(u"Q", u"V");
        for (int record = 0; record < 2; ++record) {
            std::vector<float> ramp(1000);
            for (std::size_t i = 0; i < ramp.size(); ++i) {
                ramp[i] = static_cast<float>(100 + i / 10);
            }
            document->SetSamples(record, 1, ramp);
        }
        AddDrawer(to, 2, 1);
    }
    void AddDrawer(DataPane& to, LONG lane, LONG channel)
    {
        auto* drawer = new DataOnlyDrawer(lane, channel);
        drawer->AddRef();
        drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        to.Lane(0)->AddDrawer(0, drawer, 255);
        drawer->Release();
    }
    std::shared_ptr<host::Document> document = host::Document::Create();
    platform::ComPtr<host::ChartServer> server = host::ChartServer::Create(document);
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
};

TEST_F(VisibleRangeFixture, ALaneWaitingForAnAutoscaleTakesTheVisibleRecordsRange)
{
    ChannelPane& lane = *pane.Lane(0);
    ASSERT_NE(lane.DragScale(1), nullptr);
    lane.SetPendingRanges(1);
    pane.SetTimeBase(timeBase.Get()); // the view opens on the first 400 pixels: record 0
    EXPECT_EQ(lane.FirstVisibleIndex(), 0);
    EXPECT_EQ(DragRange(), std::make_pair(-2.0, 5.0));
    EXPECT_EQ(lane.PendingRanges() & 1u, 0u);

    // Scaled to the lane's prefix (milli: values times 1000) once the view starts in record 1.
    lane.SetLanePrefix(1, 7);
    lane.SetPendingRanges(1);
    pane.SetRightEdge(2000);
    EXPECT_EQ(lane.FirstVisibleIndex(), 1);
    EXPECT_EQ(DragRange(), std::make_pair(10000.0, 30000.0));

    // Not waiting: the visible records are noted, the scale stays.
    pane.SetRightEdge(800);
    EXPECT_EQ(lane.FirstVisibleIndex(), 0);
    EXPECT_EQ(DragRange(), std::make_pair(10000.0, 30000.0));

    // Live: a lane not waiting, or every lane with mode bit 30, follows the newest data instead.
    pane.SetLive(true);
    pane.SetRightEdge(900);
    EXPECT_EQ(lane.FirstVisibleIndex(), ChannelPane::kLatestData);
    lane.SetPendingRanges(1);
    pane.modeFlags |= DataPane::kModeLatestWhileLive;
    pane.SetRightEdge(1000);
    EXPECT_EQ(lane.LastVisibleIndex(), ChannelPane::kLatestData);
    EXPECT_EQ(lane.PendingRanges(), 1u);
}

TEST_F(VisibleRangeFixture, SamplingTurnsTheLanesToTheNewestData)
{
    pane.SetTimeBase(timeBase.Get());
    pane.SetRightEdge(2000);
    ASSERT_EQ(pane.Lane(0)->FirstVisibleIndex(), 1);
    pane.SamplingStarted(0);
    EXPECT_EQ(pane.Lane(0)->FirstVisibleIndex(), ChannelPane::kLatestData);
    EXPECT_EQ(pane.Lane(0)->LastVisibleIndex(), ChannelPane::kLatestData);
    // A detached pane only tells its time base.
    pane.AfterStop(false);
    pane.SetRightEdge(800);
    pane.modeFlags |= DataPane::kModeDetached;
    pane.SamplingStarted(0);
    EXPECT_EQ(pane.Lane(0)->FirstVisibleIndex(), 0);
}

TEST_F(VisibleRangeFixture, PendingAutoscalesAndTheTracesRanges)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    WORD pending = 7;
    EXPECT_EQ(pane.IsAutoscalePending(1, &pending), E_FAIL); // no time base yet
    EXPECT_EQ(pending, 0);
    platform::ComPtr<host::BlockTimeBase> empty = host::BlockTimeBase::Create(0.001);
    pane.SetTimeBase(empty.Get());
    pane.Lane(0)->SetPendingRanges(3);
    EXPECT_EQ(pane.IsAutoscalePending(1, &pending), S_OK);
    EXPECT_EQ(pending, 0); // nothing recorded yet

    pane.SetTimeBase(timeBase.Get());
    AddRamp(pane);
    struct Case {
        DWORD bits;
        LONG lane;
        WORD pending;
    } cases[] = {{0, 1, 0}, {0, 2, 0}, {1, 1, 0xFFFF}, {1, 2, 0}, {2, 1, 0}, {2, 2, 0xFFFF}, {3, 3, 0}};
    for (const Case& c : cases) {
        pane.Lane(0)->SetPendingRanges(c.bits);
        EXPECT_EQ(pane.IsAutoscalePending(c.lane, &pending), S_OK);
        EXPECT_EQ(pending, c.pending) << c.bits << " lane " << c.lane;
    }

    // Channel 0 of record 0 is (i mod 8) - 2: -2..5; the lane-2 trace, channel 1, is the ramp 100..199.
    pane.Lane(0)->SetPendingRanges(0);
    EXPECT_EQ(pane.AutoscaleLane(1, 1), E_INVALIDARG);
    EXPECT_EQ(pane.AutoscaleLane(0, 3), E_INVALIDARG);
    EXPECT_EQ(pane.AutoscaleLane(0, 1), S_OK);
    EXPECT_EQ(DragRange(), std::make_pair(-2.0, 5.0));
    EXPECT_EQ(pane.Lane(0)->PendingRanges(), 0u);
    double low = 0;
    double high = 0;
    EXPECT_EQ(pane.GetTraceRange(1, &low, &high), S_OK);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(-2.0, 5.0));
    EXPECT_EQ(pane.GetTraceRange(2, &low, &high), S_OK);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(100.0, 199.0));
    pane.SetRightEdge(2000); // record 1: 10 + (i mod 21)
    EXPECT_EQ(pane.GetTraceRange(1, &low, &high), S_OK);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(10.0, 30.0));
    // A lane kind with no traces keeps the starting extremes.
    EXPECT_EQ(pane.GetTraceRange(3, &low, &high), S_OK);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(kMax, -kMax));
}

// A preview pane without bars, over the fixture's data.
struct BarlessPreview : PreviewDataPane {
    BarlessPreview() : PreviewDataPane(nullptr) {}
    std::unique_ptr<PreviewControl> MakeControlBar() override { return nullptr; }
    std::unique_ptr<PreviewControl> MakeTraceControlBar() override { return nullptr; }
};

TEST_F(VisibleRangeFixture, StackedTracesFillTheUpperAndLowerHalves)
{
    BarlessPreview preview;
    preview.tickCount = [] { return DWORD{1000}; };
    preview.SetLaneCount(1);
    preview.SetSize(402, 200);
    ASSERT_NE(preview.Lane(0)->DragScale(2), nullptr);
    // Without traces there is no range to stack: the scales keep finite ranges.
    const auto before = DragRange(preview, 1);
    preview.OnTraceCommand(2, 0);
    EXPECT_EQ(DragRange(preview, 1), before);
    EXPECT_TRUE(std::isfinite(DragRange(preview, 2).first) && std::isfinite(DragRange(preview, 2).second));
    AddDrawer(preview, 1, 0);
    AddRamp(preview);
    preview.SetCompression(KVORationalImp(1, 1), nullptr, false);
    preview.SetTimeBase(timeBase.Get());

    // Lane 1 (-2..5, span 7) goes to -9..5, lane 2 (100..199, span 99) to 100..298: each trace takes one half.
    preview.OnTraceCommand(2, 0);
    EXPECT_EQ(DragRange(preview, 1), std::make_pair(-9.0, 5.0));
    EXPECT_EQ(DragRange(preview, 2), std::make_pair(100.0, 298.0));
    EXPECT_EQ(preview.Lane(0)->PendingRanges() & 3u, 0u);

    // In milli units the lane's scale takes the same halves times 1000.
    preview.Lane(0)->SetLanePrefix(1, 7);
    preview.OnTraceCommand(2, 0);
    EXPECT_EQ(DragRange(preview, 1), std::make_pair(-9000.0, 5000.0));

    // Overlaid, each lane goes back to its own data range: lane 2 takes the range of its own trace.
    preview.OnTraceCommand(4, 0);
    EXPECT_EQ(DragRange(preview, 1), std::make_pair(-2000.0, 5000.0));
    EXPECT_EQ(DragRange(preview, 2), std::make_pair(100.0, 199.0));
    EXPECT_EQ(preview.Lane(0)->PendingRanges() & 3u, 0u);
}

TEST_F(VisibleRangeFixture, ApplyPendingAutoscaleNeedsALaneAndValues)
{
    platform::ComPtr<IUnknown> data;
    ASSERT_EQ(server->GetData(0, 0, 0, data.Out()), S_OK);
    platform::ComPtr<IChartDataBlock> block;
    ASSERT_EQ(data->QueryInterface(IID_IChartDataBlock, reinterpret_cast<void**>(block.Out())), S_OK);
    EXPECT_FALSE(pane.ApplyPendingAutoscale(block.Get(), 0, 1));
    EXPECT_FALSE(pane.ApplyPendingAutoscale(nullptr, 0, 0));
    EXPECT_FALSE(pane.ApplyPendingAutoscale(block.Get(), 5, 0)); // no such record: no values
    EXPECT_TRUE(pane.ApplyPendingAutoscale(block.Get(), ChannelPane::kLatestData, 0));

    // A record of one value gives equal ends: accepted, nothing changes.
    document->AddBlock(0.001);
    document->SetSamples(2, 0, std::vector<float>(10, 4.0f));
    pane.Lane(0)->SetPendingRanges(1);
    EXPECT_TRUE(pane.ApplyPendingAutoscale(block.Get(), 2, 0));
    EXPECT_EQ(pane.Lane(0)->PendingRanges(), 1u);
    platform::ComPtr<IUnknown> none;
    EXPECT_EQ(server->GetData(0, 0, 3, none.Out()), S_FALSE);
}

} // namespace

namespace {

// A channel pane's data range over the view comes from its drawers' range requests, lane by lane.
TEST_F(VisibleRangeFixture, TheDataRangeObserverAsksTheDrawersOfTheLane)
{
    IDragScaleObserver* observer = pane.Lane(0);
    double range[2]{0, 0};
    WORD unscaled = 0;
    EXPECT_EQ(observer->GetDataRange(1, range, &unscaled), E_POINTER); // no time base: no view
    pane.SetTimeBase(timeBase.Get());
    // The fixture's drawer answers no range request: the extremes stay.
    EXPECT_EQ(observer->GetDataRange(1, range, &unscaled), S_FALSE);
    EXPECT_EQ(range[0], std::numeric_limits<double>::max());
    EXPECT_EQ(range[1], -std::numeric_limits<double>::max());
    EXPECT_EQ(unscaled, 0xFFFF);

    AddRamp(pane);
    for (auto [lane, channel] : {std::pair{1, 0}, std::pair{2, 1}}) {
        auto* trace = new PolyLineTraceDrawer(lane, nullptr, 0, kKindTrace, channel, 0);
        trace->AddRef();
        trace->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        pane.Lane(0)->AddDrawer(0, trace, 255);
        trace->Release();
    }
    // The view shows ticks 0..400 of record 0: channel 0 is (i mod 8) - 2, the ramp 100 + i / 10.
    EXPECT_EQ(observer->GetDataRange(1, range, &unscaled), S_OK);
    EXPECT_EQ(std::make_pair(range[0], range[1]), std::make_pair(-2.0, 5.0));
    EXPECT_EQ(observer->GetDataRange(2, range, nullptr), S_OK);
    EXPECT_EQ(std::make_pair(range[0], range[1]), std::make_pair(100.0, 140.0));
    // Across the records' boundary: record 0 from tick 800, record 1 up to tick 200 (10 + (i mod 21)).
    pane.SetRightEdge(1200);
    EXPECT_EQ(observer->GetDataRange(1, range, nullptr), S_OK);
    EXPECT_EQ(std::make_pair(range[0], range[1]), std::make_pair(-2.0, 30.0));
    // With a unit channel the values count as scaled.
    pane.Lane(0)->unitChannel = 3;
    EXPECT_EQ(observer->GetDataRange(1, range, &unscaled), S_OK);
    EXPECT_EQ(unscaled, 0);
}

// Overlaid traces: a lane-2 autoscale waits for the lane-2 drawers' data, not for lane 1's.
TEST_F(VisibleRangeFixture, LaneTwoAutoscalesToItsOwnTrace)
{
    AddRamp(pane);
    ChannelPane& lane = *pane.Lane(0);
    lane.SetPendingRanges(3);
    pane.SetTimeBase(timeBase.Get());
    EXPECT_EQ(DragRange(pane, 1), std::make_pair(-2.0, 5.0));
    EXPECT_EQ(DragRange(pane, 2), std::make_pair(100.0, 199.0));
    EXPECT_EQ(lane.PendingRanges(), 0u);
    // Live, a lane waiting only on lane 2 still takes the visible records.
    pane.SetLive(true);
    lane.SetPendingRanges(2);
    pane.SetRightEdge(2000);
    EXPECT_EQ(lane.FirstVisibleIndex(), 1);
    EXPECT_EQ(lane.PendingRanges(), 0u);
}

TEST_F(VisibleRangeFixture, TheLeftEdgeTimePlacesTheViewAndReadsItBack)
{
    ChartBlockPosition at;
    EXPECT_EQ(pane.GetLeftEdgeTime(&at), E_FAIL);
    pane.SetTimeBase(timeBase.Get());
    pane.SetLeftEdgeTime(ChartBlockPosition{100, 1});
    EXPECT_EQ(pane.RightEdge(), 1500); // record 1 starts at pixel 1000; the view is 400 wide
    EXPECT_EQ(pane.Lane(0)->FirstVisibleIndex(), 1);
    ASSERT_EQ(pane.GetLeftEdgeTime(&at), S_OK);
    EXPECT_EQ(std::make_pair(at.block, at.tick), std::make_pair(LONG{1}, LONGLONG{100}));
    // Past the recording's end the view stops at the end.
    pane.SetLeftEdgeTime(ChartBlockPosition{900, 1});
    EXPECT_EQ(pane.RightEdge(), 2000);
    ASSERT_EQ(pane.GetLeftEdgeTime(&at), S_OK);
    EXPECT_EQ(std::make_pair(at.block, at.tick), std::make_pair(LONG{1}, LONGLONG{600}));
}

// An object over the pane that also has the second face.
class TwoFaced final : public NoteTaker, public IInteractiveObjectEx {
public:
    using NoteTaker::NoteTaker;
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IInteractiveObjectEx) {
            *out = static_cast<IInteractiveObjectEx*>(this);
            AddRef();
            return S_OK;
        }
        return NoteTaker::QueryInterface(iid, out);
    }
    ULONG AddRef() override { return NoteTaker::AddRef(); }
    ULONG Release() override { return NoteTaker::Release(); }
};

TEST_F(LanesFixture, TheSecondMapHoldsTheObjectsThatHaveASecondFaceUnderTheSameKeys)
{
    TwoFaced both("t", log);
    const ULONG firstHeld = first.count;
    const ULONG bothHeld = both.count;
    EXPECT_EQ(pane.AddInteractiveObject(&first, 1), S_OK);
    EXPECT_EQ(pane.AddInteractiveObject(&both, 2), S_OK);
    EXPECT_EQ(pane.SecondInterface(1), nullptr);
    EXPECT_EQ(pane.SecondInterface(2), static_cast<IInteractiveObjectEx*>(&both));
    EXPECT_EQ(first.count, firstHeld + 1);
    EXPECT_EQ(both.count, bothHeld + 2); // one reference in each map
    // Broadcasts go through the first map only, once per object.
    pane.BroadcastNotice();
    EXPECT_EQ(Take(), (std::vector<std::string>{"a: notice", "t: notice"}));
    // Another object under the key takes both entries' places.
    EXPECT_EQ(pane.AddInteractiveObject(&second, 2), S_OK);
    EXPECT_EQ(both.count, bothHeld);
    EXPECT_EQ(pane.SecondInterface(2), nullptr);
    EXPECT_EQ(pane.AddInteractiveObject(&both, 3), S_OK);
    pane.RemoveAllObjects();
    EXPECT_EQ(both.count, bothHeld);
    EXPECT_EQ(first.count, firstHeld);
}

// A lane scale with the notice interface: it notes the colour it is given.
class NoticeScale final : public IScaleControl, public ILaneScaleNotice {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_ILaneScaleNotice) {
            *out = static_cast<ILaneScaleNotice*>(this);
        } else if (iid == IID_IScaleControl || iid == IID_IUnknown) {
            *out = static_cast<IScaleControl*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    HRESULT GetGridSpacing(LONG*, double*, double*) override { return E_NOTIMPL; }
    HRESULT SetScaleRect(const RECT*) override { return S_OK; }
    HRESULT GetPixelTransform(double*) override { return E_NOTIMPL; }
    HRESULT SetRange(double, double) override { return S_OK; }
    HRESULT SetScaling(const double*, const char16_t*) override { return S_OK; }
    HRESULT GetScaling(double*, BSTR*) override { return E_NOTIMPL; }
    HRESULT SetUnits(const char16_t*) override { return S_OK; }
    HRESULT SetNoticeHook(LONG, HWND, LONG) override { return S_OK; }
    HRESULT SetHomeExtent(double, double) override { return S_OK; }
    HRESULT SetLimits(double, double) override { return S_OK; }
    HRESULT SetMinimumSpan(const double*) override { return S_OK; }
    HRESULT SetOption(LONG) override { return S_OK; }
    HRESULT SetDragDomain(double, double) override { return S_OK; }
    HRESULT SetValue(LONG, LONG) override { return S_OK; }
    HRESULT GetStyle(DWORD*) override { return E_NOTIMPL; }
    HRESULT SetStyle(DWORD) override { return S_OK; }
    HRESULT Copy(IScaleControl**) override { return E_NOTIMPL; }
    HRESULT GetFrameRect(RECT*) override { return E_NOTIMPL; }
    HRESULT Draw(HDC, LONG, LONG) override { return S_OK; }
    HRESULT Print(HDC, HDC) override { return S_OK; }
    HRESULT GetWindowHandle(HWND*) override { return E_FAIL; }
    HRESULT RegisterObserver(IDragScaleObserver*) override { return S_OK; }
    HRESULT UnregisterObserver(IDragScaleObserver*) override { return S_OK; }
    HRESULT GetExtent(double*) override { return E_NOTIMPL; }
    HRESULT SetDataRange(double, double) override { return S_OK; }
    HRESULT SetUnitChannel(LONG) override { return S_OK; }
    HRESULT SetLaneColour(LONG, WORD on, COLORREF colour, LONG) override
    {
        shown = on;
        this->colour = colour;
        return S_OK;
    }
    ULONG count = 0;
    WORD shown = 0;
    COLORREF colour = 0;
};

TEST(PaneLaneColour, TheFirstLanesScaleTakesTheColourThroughItsNoticeInterface)
{
    NoticeScale scale;
    {
        DataPane pane;
        EXPECT_EQ(pane.SetLaneScale(RGB(1, 2, 3), 1, true), E_FAIL); // no lanes
        SharedHost().GetFramework().Graphs().SetRefuse(true); // lanes without host scales
        pane.SetLaneCount(1);
        SharedHost().GetFramework().Graphs().SetRefuse(false);
        EXPECT_EQ(pane.SetLaneScale(RGB(1, 2, 3), 1, true), E_FAIL); // no scale
        pane.Lane(0)->AdoptLaneScale(static_cast<IScaleControl*>(&scale));
        EXPECT_EQ(pane.SetLaneScale(RGB(1, 2, 3), 1, true), S_OK);
        EXPECT_EQ(scale.colour, RGB(1, 2, 3));
        EXPECT_EQ(scale.shown, 0xFFFF);
        EXPECT_EQ(pane.SetLaneScale(RGB(4, 5, 6), 1, false), S_OK);
        EXPECT_EQ(scale.shown, 0);
        EXPECT_EQ(pane.SetLaneScale(RGB(4, 5, 6), 2, true), E_FAIL); // lane 2 has no scale
        EXPECT_EQ(pane.SetLaneScale(RGB(4, 5, 6), 0, true), E_FAIL);
    }
    EXPECT_EQ(scale.count, 0u); // the lane let its references go
}

// Lanes share the height above the time scale evenly: each lane but the last (which takes what is left) is the
// share rounded to the nearest pixel. Three consecutive pane heights give each of the share's three fractions.
TEST_F(LanesFixture, EachLaneIsTheEvenShareToTheNearestPixel)
{
    pane.SetLaneCount(3);
    const LONG scaleHeight = pane.Scale()->LabelHeight() + 2;
    for (LONG height = 200; height < 203; ++height) {
        pane.SetSize(402, height);
        const double share = (height - 2 * 3 - scaleHeight) / 3.0;
        for (std::size_t index = 0; index + 1 < pane.LaneCount(); ++index) {
            const RECT& lane = pane.Lane(index)->rect;
            EXPECT_LE(std::fabs(lane.bottom - lane.top - share), 0.5) << "height " << height << ", lane " << index;
        }
    }
}

// An object that lays the lanes out itself, each over the whole width it is given.
class FullWidthLanes : public NoteTaker {
public:
    FullWidthLanes(DataPane& pane, std::vector<std::string>& log) : NoteTaker("w", log), pane_(pane) {}
    HRESULT Layout(const RECT* area, BOOL* handled) override
    {
        const LONG pair[2]{0, 0};
        const LONG n = static_cast<LONG>(pane_.LaneCount());
        for (LONG index = 0; index < n; ++index) {
            const LONG top = area->top + (area->bottom - area->top) * index / n;
            const LONG bottom = area->top + (area->bottom - area->top) * (index + 1) / n;
            const RECT lane{area->left, top, area->right, bottom};
            pane_.Lane(static_cast<std::size_t>(index))->SetPlacement(0, pair, lane);
        }
        *handled = TRUE;
        return S_OK;
    }

private:
    DataPane& pane_;
};

// The margins belong to no lane, however wide an object lays the lanes out.
TEST_F(LanesFixture, HitTestsStopAtTheMarginsWhereverTheLanesReach)
{
    FullWidthLanes layout(pane, log);
    ASSERT_EQ(pane.AddInteractiveObject(&layout, 1), S_OK);
    pane.SetSize(402, 200);
    ASSERT_EQ(pane.Lane(0)->rect.right, 402);
    const struct {
        LONG x;
        LONG lane;
    } cases[] = {{0, DataPane::kNoLane}, {1, 0}, {400, 0}, {401, DataPane::kNoLane}, {402, DataPane::kNoLane}};
    for (const auto& c : cases) {
        EXPECT_EQ(pane.HitTestLane(POINT{c.x, 20}), c.lane) << c.x;
    }
    pane.RemoveAllObjects();
}

TEST_F(LanesFixture, PaneSlotsOfTheLanes)
{
    pane.SetLaneCount(2); // lanes 1..99 and 101..186 over the time scale below
    // Hit test: outside the data area, over the time scale, over a lane.
    EXPECT_EQ(pane.HitTestLane(POINT{0, 50}), DataPane::kNoLane);
    EXPECT_EQ(pane.HitTestLane(POINT{401, 50}), DataPane::kNoLane);
    EXPECT_EQ(pane.HitTestLane(POINT{100, 200}), DataPane::kNoLane);
    EXPECT_EQ(pane.HitTestLane(POINT{100, pane.Lane(0)->rect.top}), 0);
    EXPECT_EQ(pane.HitTestLane(POINT{100, pane.Lane(1)->rect.bottom - 1}), 1);
    EXPECT_EQ(pane.HitTestLane(POINT{100, pane.Scale()->rect.top}), -1);

    // Lane scales by kind; a bad index or kind is refused.
    platform::ComPtr<IUnknown> scale;
    EXPECT_EQ(pane.GetLaneScale(1, 0, 1, scale.Out()), S_OK);
    EXPECT_EQ(scale.Get(), static_cast<IUnknown*>(pane.Lane(1)->Scale(1)));
    EXPECT_EQ(pane.GetLaneScale(0, 0, 2, scale.Out()), S_OK);
    EXPECT_EQ(scale.Get(), static_cast<IUnknown*>(pane.Lane(0)->Scale(2)));
    EXPECT_EQ(pane.GetLaneScale(2, 0, 1, scale.Out()), E_INVALIDARG);
    EXPECT_EQ(pane.GetLaneScale(0, 0, 3, scale.Out()), E_INVALIDARG);

    // The per-channel entries follow the lanes once the appearance is set.
    LONG entry = 7;
    EXPECT_EQ(pane.GetChannelEntry(0, 0xC0000000u, &entry), E_INVALIDARG);
    pane.SetAppearance(nullptr, nullptr, -1);
    EXPECT_EQ(pane.GetChannelEntry(1, 0xC0000000u, &entry), S_OK);
    EXPECT_EQ(entry, 0);
    EXPECT_EQ(pane.GetChannelEntry(2, 0xC0000000u, &entry), E_INVALIDARG);

    // The lane-1 scale turns a coordinate into a value: the strip's top is the range's top.
    ChannelPane& lane = *pane.Lane(0);
    ASSERT_EQ(lane.SetLaneRange(1, 0.0, 100.0), S_OK);
    RECT strip{};
    ASSERT_EQ(lane.Scale(1)->GetFrameRect(&strip), S_OK);
    EXPECT_NEAR(lane.ScaleValueAt(strip.top), 100.0, 1e-9);
    EXPECT_NEAR(lane.ScaleValueAt(strip.bottom), 0.0, 1e-9);
    EXPECT_NEAR(lane.ScaleValueAt((strip.top + strip.bottom) / 2), 50.0, 100.0 / (strip.bottom - strip.top));
    lane.flagsA |= ChannelPane::kLane1NoScaleRect;
    EXPECT_EQ(lane.ScaleValueAt(strip.top), 0.0);
    lane.flagsA &= ~ChannelPane::kLane1NoScaleRect;

    // The appearance's background colour, from a settings object that has one.
    struct Background final : IChartBackgroundColour {
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            *out = iid == IID_IChartBackgroundColour || iid == IID_IUnknown ? this : nullptr;
            return *out ? S_OK : E_NOINTERFACE;
        }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetBackgroundColour(COLORREF* colour) override
        {
            *colour = RGB(0, 0, 64);
            return S_OK;
        }
    } settings;
    pane.SetAppearance(&settings, nullptr, -1);
    EXPECT_EQ(pane.BackgroundColour(), RGB(0, 0, 64));

    // The host's scales take the lane colour through their notice interface; a third lane has no scale.
    EXPECT_EQ(pane.SetLaneScale(RGB(255, 0, 0), 1, true), S_OK);
    EXPECT_EQ(pane.SetLaneScale(RGB(255, 0, 0), 3, true), E_FAIL);
}

} // namespace
