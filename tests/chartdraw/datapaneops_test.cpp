// The data pane's operations towards its owner, its child panes, its controls and its drawers, seen through the
// pane's public operations, its drawer services and the notices it sends.
#include "chartdraw/datapane.h"
#include "chartdraw/onlinedata.h"
#include "chartdraw/previewpane.h"
#include "chartdraw/timescale.h"
#include "host/blocktimebase.h"
#include "../frame/sharedhost.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace ChartDraw;

namespace {

// A band without lane scales answers the drag notices with E_NOTIMPL and has no lane scales to give.
TEST(ChildPaneBase, ABandWithoutLaneScalesAnswersNoDragNotice)
{
    charttest::TestOwner owner;
    auto* scale = new TimeScale(&owner);
    scale->AddRef();
    platform::ComPtr<IDragScaleObserver> observer;
    ASSERT_EQ(scale->QueryInterface(IID_IDragScaleObserver, observer.OutVoid()), S_OK);
    double range[2]{0, 0};
    const double transform[2]{1, 0};
    EXPECT_EQ(observer->OnBeginDrag(1), E_NOTIMPL);
    EXPECT_EQ(observer->OnEndDrag(1), E_NOTIMPL);
    EXPECT_EQ(observer->OnScalingChanged(1, 0, transform), E_NOTIMPL);
    EXPECT_EQ(observer->OnAutoScale(1), E_NOTIMPL);
    EXPECT_EQ(observer->GetDataRange(1, range, nullptr), E_NOTIMPL);
    for (auto get : {&ChildPaneBase::GetLaneScale1, &ChildPaneBase::GetLaneScale2}) {
        IScaleControl* lane = reinterpret_cast<IScaleControl*>(scale);
        EXPECT_EQ((scale->*get)(0, &lane), S_FALSE);
        EXPECT_EQ(lane, nullptr);
    }
    observer.Reset();
    scale->Release();
}

// The pane's horizontal controls as far as it drives them: what they were told and how often redrawn.
struct FakeZoom : ZoomControl {
    void Move(const RECT&) override {}
    bool IsEnabled() const override { return true; }
    bool Enable(bool) override { return true; }
    void FormatRatio(std::u16string&, LONGLONG, LONGLONG) const override {}
    void SetRatio(LONGLONG, LONGLONG) override {}
    void GetDesiredSize(SIZE& size) override { size = SIZE{40, 16}; }
    void SetText(LPCWSTR) override {}
    void SetAutoscaleText(const KVO::String&) override {}
    void ShowFollowing(bool following) override { told.push_back(following); }
    HRESULT RatioForCommand(KVORationalImp&, UINT) const override { return E_INVALIDARG; }
    void Invalidate() override { ++redrawn; }
    std::vector<bool> told;
    int redrawn = 0;
};

struct FakeBar : ScrollBar {
    void Move(const RECT&) override {}
    bool IsEnabled() const override { return enabled; }
    bool Enable(bool on) override { return enabled = on; }
    int GetPosition() const override { return 0; }
    void SetPosition(int, bool) override {}
    void GetScrollInfo(SCROLLINFO&) const override {}
    void SetScrollInfo(const SCROLLINFO&, bool) override {}
    int GetLineMagnitude() const override { return 1; }
    int GetPageMagnitude() const override { return 1; }
    void SetLineMagnitude(int) override {}
    void SetPageMagnitude(int) override {}
    void Invalidate() override { ++redrawn; }
    bool enabled = false;
    int redrawn = 0;
};

// A preview pane without bars (lane i shows channel i) with two lanes whose scales the shared host makes; once
// attached it has the fake controls.
struct BarlessPreview : PreviewDataPane {
    BarlessPreview() : PreviewDataPane(nullptr) {}
    std::unique_ptr<PreviewControl> MakeControlBar() override { return nullptr; }
    std::unique_ptr<PreviewControl> MakeTraceControlBar() override { return nullptr; }
    std::unique_ptr<ScrollBar> CreateScrollBar() override
    {
        auto made = std::make_unique<FakeBar>();
        bar = made.get();
        return made;
    }
    std::unique_ptr<ZoomControl> CreateZoomControl(DWORD) override
    {
        auto made = std::make_unique<FakeZoom>();
        zoom = made.get();
        return made;
    }
    FakeBar* bar = nullptr;
    FakeZoom* zoom = nullptr;
    void InvalidateArea(const RECT& rect, bool) override { areas.push_back(rect); }
    std::vector<RECT> areas;
};

struct PaneOps : ::testing::Test {
    void SetUp() override
    {
        SharedHost().GetFramework().Graphs().SetRefuse(false);
        pane.tickCount = [] { return DWORD{1000}; };
        pane.onSubjectMessage = [this](DWORD id, const void* body, std::size_t size) {
            messages.push_back({id, std::vector<BYTE>(static_cast<const BYTE*>(body),
                                                      static_cast<const BYTE*>(body) + size)});
        };
        pane.SetLaneCount(2);
        pane.SetSize(402, 200);
    }
    struct Message {
        DWORD id;
        std::vector<BYTE> body;
    };
    std::vector<Message> messages;
    BarlessPreview pane;
};

// A drag that ends on a lane scale is the lane's channel event: to the channel callback when there is one, else
// as the channel-event message (channel, lane, value, scale) to the pane's observers.
TEST_F(PaneOps, TheEndOfADragIsTheChannelEventOfTheLane)
{
    ChannelPane& lane = *pane.Lane(1);
    ASSERT_NE(lane.DragScale(2), nullptr);
    lane.OnEndDrag(2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, ChannelEventMessageId());
    EXPECT_EQ(messages[0].id & 0xFFFF, 46u);
    ASSERT_EQ(messages[0].body.size(), 12 + sizeof(void*));
    LONG words[3]{};
    IUnknown* scale = nullptr;
    std::memcpy(words, messages[0].body.data(), sizeof words);
    std::memcpy(&scale, messages[0].body.data() + sizeof words, sizeof scale);
    EXPECT_EQ(words[0], 1); // the channel of lane 1
    EXPECT_EQ(words[1], 2);
    EXPECT_EQ(words[2], 0);
    EXPECT_EQ(scale, lane.DragScale(2));

    std::vector<LONG> called;
    IUnknown* given = nullptr;
    pane.onChannelEvent = [&](LONG channel, IUnknown* object, LONG value, LONG which) {
        called = {channel, value, which};
        given = object;
    };
    messages.clear();
    pane.Lane(0)->OnEndDrag(1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(called, (std::vector<LONG>{0, 0, 1}));
    EXPECT_EQ(given, pane.Lane(0)->DragScale(1));
}

// A pane whose lanes show other channels than their index: the channel event names the lane's channel.
struct ReorderedChannels : BarlessPreview {
    void ChannelSelectors(LONG index, LONG pair[2]) const override
    {
        pair[0] = index == 0 ? 3 : 0;
        pair[1] = LONG(0xC0000000);
    }
};

TEST(PaneChannelEvents, TheEndOfADragNamesTheChannelTheLaneShows)
{
    SharedHost().GetFramework().Graphs().SetRefuse(false);
    ReorderedChannels pane;
    pane.tickCount = [] { return DWORD{1000}; };
    std::vector<LONG> sent;
    pane.onSubjectMessage = [&](DWORD id, const void* body, std::size_t) {
        if (id == ChannelEventMessageId()) {
            sent.push_back(*static_cast<const std::int32_t*>(body));
        }
    };
    pane.SetLaneCount(2);
    pane.SetSize(402, 200);
    const struct {
        std::size_t lane;
        LONG scale;
        LONG channel;
    } cases[] = {{0, 1, 3}, {0, 2, 3}, {1, 1, 0}, {1, 2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "lane " << c.lane << ", scale " << c.scale);
        sent.clear();
        pane.onChannelEvent = nullptr;
        pane.Lane(c.lane)->OnEndDrag(c.scale);
        EXPECT_EQ(sent, std::vector<LONG>{c.channel});
        LONG called = -1;
        pane.onChannelEvent = [&](LONG channel, IUnknown*, LONG, LONG) { called = channel; };
        pane.Lane(c.lane)->OnEndDrag(c.scale);
        EXPECT_EQ(called, c.channel);
    }
}

// After the paint the overlay callback draws over the data area; it may ask for the area again at once, or later
// through the redraw requester it is given.
TEST_F(PaneOps, TheOverlayDrawsLastAndMayAskForARedraw)
{
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(100000);
    pane.SetTimeBase(timeBase.Get());
    charttest::Canvas canvas(402, 200);
    const RECT data{1, 0, 401, 200};
    bool again = false;
    std::function<void(const RECT&)> requester;
    std::vector<std::pair<HDC, IChartTimeBase*>> calls;
    pane.onOverlay = [&](HDC dc, const RECT& rect, IChartTimeBase* base, const std::function<void(const RECT&)>& redraw) {
        EXPECT_EQ(rect, data);
        calls.emplace_back(dc, base);
        requester = redraw;
        return again;
    };
    pane.PaintLayers(canvas.dc, data);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, canvas.dc);
    EXPECT_EQ(calls[0].second, timeBase.Get());
    EXPECT_TRUE(pane.areas.empty());
    again = true;
    pane.PaintLayers(canvas.dc, data);
    ASSERT_EQ(pane.areas.size(), 1u);
    EXPECT_EQ(pane.areas[0], data);
    requester(RECT{5, 6, 7, 8});
    ASSERT_EQ(pane.areas.size(), 2u);
    EXPECT_EQ(pane.areas[1], (RECT{5, 6, 7, 8}));
    // An empty paint rectangle paints nothing, the overlay included.
    pane.PaintLayers(canvas.dc, RECT{1, 0, 1, 200});
    EXPECT_EQ(calls.size(), 2u);
}

// A lane kind is prefixed when the first lane has a prefix index for it; none at all without lanes.
TEST_F(PaneOps, ALaneIsPrefixedWhenTheFirstLaneHasAPrefix)
{
    WORD prefixed = 7;
    for (LONG kind : {1, 2}) {
        EXPECT_EQ(pane.IsLanePrefixed(kind, &prefixed), S_OK);
        EXPECT_EQ(prefixed, 0);
    }
    pane.Lane(0)->SetLanePrefix(2, 8); // "none" is a prefix index all the same
    pane.Lane(1)->SetLanePrefix(1, 7); // not the first lane
    EXPECT_EQ(pane.IsLanePrefixed(1, &prefixed), S_OK);
    EXPECT_EQ(prefixed, 0);
    EXPECT_EQ(pane.IsLanePrefixed(2, &prefixed), S_OK);
    EXPECT_EQ(prefixed, 0xFFFF);
    pane.SetLaneCount(0);
    EXPECT_EQ(pane.IsLanePrefixed(2, &prefixed), E_FAIL);
}

// The pane watches the chart's comments and takes every notice without acting on it; its faces find each other.
TEST_F(PaneOps, ThePaneTakesTheCommentNoticesAndItsFacesFindEachOther)
{
    platform::ComPtr<ICommentsObserver> observer;
    ASSERT_EQ(pane.DrawerServices()->QueryInterface(IID_ICommentsObserver, observer.OutVoid()), S_OK);
    EXPECT_EQ(observer->OnCommentsChanged(1, nullptr, 0, 0, 100, 0), S_OK);
    platform::ComPtr<IKVOChartLanes> lanes;
    ASSERT_EQ(observer->QueryInterface(IID_IKVOChartLanes, lanes.OutVoid()), S_OK);
    EXPECT_EQ(lanes.Get(), pane.ChartLanes());
    platform::ComPtr<IUnknown> services;
    ASSERT_EQ(lanes->QueryInterface(IID_IUnknown, services.OutVoid()), S_OK);
    EXPECT_EQ(services.Get(), static_cast<IUnknown*>(pane.DrawerServices()));
    platform::ComPtr<IUnknown> none;
    EXPECT_EQ(observer->QueryInterface(IID_IChartComment, none.OutVoid()), E_NOINTERFACE);
    EXPECT_EQ(none.Get(), nullptr);
}

// The owner's sampling-state listener hears the start and the end of the sampling that the pane shows.
TEST_F(PaneOps, TheSamplingStateListenerHearsStartAndEnd)
{
    struct Listener : ISamplingStateListener {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return ++count; }
        ULONG Release() override { return --count; }
        HRESULT SamplingStateChanged(WORD on) override
        {
            heard.push_back(on);
            return S_OK;
        }
        ULONG count = 0;
        std::vector<WORD> heard;
    } listener;
    pane.SetSamplingStateListener(&listener);
    EXPECT_EQ(listener.count, 1u);
    pane.SamplingStarted(0);
    pane.SamplingStopped(0, 0);
    pane.AfterStop(false);
    EXPECT_EQ(listener.heard, (std::vector<WORD>{0xFFFF, 0}));
    // A detached pane tells its time base alone.
    pane.modeFlags |= DataPane::kModeDetached;
    pane.SamplingStarted(0);
    pane.AfterStop(false);
    EXPECT_EQ(listener.heard.size(), 2u);
    pane.SetSamplingStateListener(nullptr);
    EXPECT_EQ(listener.count, 0u);
}

// A drawer's redraw of no particular lane redraws the horizontal controls and the layers of every band.
TEST_F(PaneOps, ARedrawOfNoLaneRedrawsTheControlsAndEveryBand)
{
    pane.Attach(nullptr, nullptr);
    ASSERT_TRUE(pane.zoom && pane.bar);
    const int zoomBefore = pane.zoom->redrawn;
    const int barBefore = pane.bar->redrawn;
    pane.Scale()->ClearPending();
    EXPECT_EQ(pane.DrawerServices()->Redraw(-1, nullptr), S_OK);
    EXPECT_EQ(pane.zoom->redrawn, zoomBefore + 1);
    EXPECT_EQ(pane.bar->redrawn, barBefore + 1);
    EXPECT_TRUE(pane.Scale()->HasPendingLayer());
}

// The zoom control's follow button shows the follow flag whenever the pane sets or reports it.
TEST_F(PaneOps, TheZoomControlIsToldTheFollowFlag)
{
    pane.Attach(nullptr, nullptr);
    ASSERT_TRUE(pane.zoom);
    pane.SetFollowNewest(false, false);
    EXPECT_EQ(pane.zoom->told.back(), false);
    pane.SamplingStarted(0); // following again from the start of sampling
    EXPECT_EQ(pane.zoom->told.back(), true);
    pane.zoom->told.clear();
    pane.UpdateScrollBar();
    EXPECT_EQ(pane.zoom->told, std::vector<bool>{true});
}

// The pane's unit-channel word goes to every lane made after it is set, and to the drawers with the mode flags.
TEST_F(PaneOps, TheUnitChannelWordGoesToNewLanesAndTheDrawers)
{
    pane.unitChannel = 5;
    pane.SetLaneCount(3);
    EXPECT_EQ(pane.Lane(0)->unitChannel, 0u);
    EXPECT_EQ(pane.Lane(2)->unitChannel, 5u);
    DWORD word = 0;
    DWORD mode = 0;
    EXPECT_EQ(pane.DrawerServices()->GetFlags(&word, &mode), S_OK);
    EXPECT_EQ(word, 5u);
    EXPECT_EQ(mode, pane.modeFlags);
}

// A drawer that notes what the pane tells it.
class NotedDrawer : public charttest::FillDrawer {
public:
    explicit NotedDrawer(DWORD kind) : FillDrawer(kind, RGB(0, 0, 0)) {}
    HRESULT SetDataSource(LONG reserved, IUnknown* source) override
    {
        sources.emplace_back(reserved, source);
        return FillDrawer::SetDataSource(reserved, source);
    }
    HRESULT OnNewBlock(DWORD block) override
    {
        blocks.push_back(block);
        return S_OK;
    }
    HRESULT Notify17(LONG flag) override
    {
        notices->push_back(name + " after stop " + std::to_string(flag));
        return S_OK;
    }
    HRESULT Notify18(LONG a, LONG b) override
    {
        notices->push_back(name + " range " + std::to_string(a) + " " + std::to_string(b));
        return S_OK;
    }
    std::vector<std::pair<LONG, IUnknown*>> sources;
    std::vector<DWORD> blocks;
    std::string name;
    std::vector<std::string>* notices = nullptr;
};

// A drawer added to a lane or to the time scale is attached to the time base with its kind, hears of an open block
// at once, and the band it joins draws all again; a lane's new drawer also makes the next paint redraw everything.
TEST_F(PaneOps, ADrawerJoinsALaneOrTheTimeScale)
{
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(100000);
    pane.SetTimeBase(timeBase.Get());
    platform::ComPtr<NotedDrawer> drawer(new NotedDrawer(kKindEvents));
    EXPECT_EQ(pane.AddDrawer(2, kKindEvents, drawer.Get()), E_INVALIDARG);
    EXPECT_EQ(pane.AddDrawer(-2, kKindEvents, drawer.Get()), E_INVALIDARG);
    EXPECT_TRUE(drawer->sources.empty());

    pane.PreparePaint(); // the changes so far are handled
    const std::uint32_t before = pane.Scale()->DrawerCount();
    pane.Scale()->ClearPending();
    EXPECT_EQ(pane.AddDrawer(-1, kKindEvents, drawer.Get()), S_OK);
    EXPECT_EQ(pane.Scale()->DrawerCount(), before + 1);
    EXPECT_EQ(pane.Scale()->Layer(kKindEvents / 256).first, static_cast<LONG>(before));
    ASSERT_EQ(drawer->sources.size(), 1u);
    EXPECT_EQ(drawer->sources[0].first, static_cast<LONG>(kKindEvents));
    EXPECT_EQ(drawer->sources[0].second, static_cast<IUnknown*>(timeBase.Get()));
    EXPECT_TRUE(drawer->blocks.empty());
    EXPECT_TRUE(pane.Scale()->HasPendingLayer());
    EXPECT_FALSE(pane.PreparePaint());

    pane.BlockStarted(3, 0.001, true);
    pane.PreparePaint();
    platform::ComPtr<NotedDrawer> second(new NotedDrawer(kKindTrace));
    pane.Lane(1)->ClearPending();
    EXPECT_EQ(pane.AddDrawer(1, kKindTrace, second.Get()), S_OK);
    EXPECT_EQ(pane.Lane(1)->DrawerCount(), 1u);
    EXPECT_EQ(second->blocks, std::vector<DWORD>{3});
    EXPECT_TRUE(pane.Lane(1)->HasPendingLayer());
    EXPECT_TRUE(pane.PreparePaint());
}

// A mark's neighbourhood is redrawn, as far as the time scale's event drawers reach (measured once), in the lane
// of its channel or in every band for a mark of all channels; the pane's position argument goes to the time base.
TEST_F(PaneOps, AMarksNeighbourhoodIsRedrawnInItsLane)
{
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(100000); // 10 ticks a pixel: the view shows pixels 0..400 at pane x 1..401
    pane.SetTimeBase(timeBase.Get());
    for (auto [lane, kind, reach] : {std::tuple{-1, 1024L, 9L}, std::tuple{-1, 1537L, 9L}, std::tuple{0, 1026L, 9L},
                                     std::tuple{-1, 1025L, 2L}, std::tuple{-1, 1536L, 4L}}) {
        platform::ComPtr<charttest::ReachingDrawer> drawer(new charttest::ReachingDrawer(kind, reach));
        pane.AddDrawer(lane, kind, drawer.Get());
    }
    std::vector<RECT> invalidated;
    pane.onInvalidate = [&](const RECT& r) { invalidated.push_back(r); };
    const auto spans = [&] {
        std::vector<std::pair<LONG, LONG>> taken;
        for (const RECT& r : invalidated) {
            taken.emplace_back(r.left, r.top);
        }
        invalidated.clear();
        return taken;
    };
    const LONG scaleTop = pane.Scale()->rect.top;
    const LONG lane1Top = pane.Lane(1)->rect.top;

    charttest::Mark all(-1, 2000, 0); // pixel 200: pane x 201
    pane.RedrawSpan(0, 0, &all);
    EXPECT_EQ(spans(), (std::vector<std::pair<LONG, LONG>>{{197, scaleTop}, {197, 1}, {197, lane1Top}}));
    charttest::Mark second(1, 2000, 0);
    pane.RedrawSpan(500, 0, &second); // 500 ticks further: pane x 251
    EXPECT_EQ(spans(), (std::vector<std::pair<LONG, LONG>>{{247, lane1Top}}));

    // Reaching into the view from beyond its edges still redraws; further out, or elsewhere, nothing.
    for (auto [tick, redrawn] : {std::pair{-40, true}, std::pair{-60, false}, std::pair{4030, true},
                                 std::pair{4060, false}}) {
        charttest::Mark mark(0, tick, 0);
        pane.RedrawSpan(0, 0, &mark);
        EXPECT_EQ(spans().size(), redrawn ? 1u : 0u) << tick;
    }
    charttest::Mark noLane(2, 2000, 0);
    charttest::Mark nowhere(0, 2000, 0, false);
    charttest::Mark noBlock(0, 2000, 3);
    for (charttest::Mark* mark : {&noLane, &nowhere, &noBlock}) {
        pane.RedrawSpan(0, 0, mark);
    }
    EXPECT_TRUE(spans().empty());

    // The reach was measured once: a wider event drawer added since changes nothing.
    platform::ComPtr<charttest::ReachingDrawer> wider(new charttest::ReachingDrawer(1100, 30));
    pane.AddDrawer(-1, 1100, wider.Get());
    invalidated.clear();
    pane.RedrawSpan(0, 0, &second);
    ASSERT_EQ(invalidated.size(), 1u);
    EXPECT_EQ(invalidated[0].right - invalidated[0].left, 8);
}

// Sampling notes the recording's extent at its start; the after-stop and range notices reach every band's
// drawers, the time scale's first; a detached pane passes them to its time base alone.
TEST_F(PaneOps, SamplingNoticesReachTheBands)
{
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(4000);
    pane.SetTimeBase(timeBase.Get());
    std::vector<std::string> notices;
    for (LONG lane : {1, -1}) {
        platform::ComPtr<NotedDrawer> drawer(new NotedDrawer(kKindEvents));
        drawer->name = lane == -1 ? "scale" : "lane";
        drawer->notices = &notices;
        pane.AddDrawer(lane, kKindEvents, drawer.Get());
    }
    platform::ComPtr<PaneOnlineData> sink = platform::ComPtr<PaneOnlineData>::Adopt(PaneOnlineData::Create(pane, nullptr));
    sink->SamplingStarted(0);
    EXPECT_EQ(pane.SamplingStartExtent(), 400);
    sink->RangeNotice(3, 4);
    sink->AfterStop(VARIANT_TRUE);
    EXPECT_EQ(notices, (std::vector<std::string>{"scale range 3 4", "lane range 3 4", "scale after stop 65535",
                                                  "lane after stop 65535"}));
    notices.clear();
    pane.modeFlags |= DataPane::kModeDetached;
    sink->RangeNotice(1, 2);
    sink->AfterStop(VARIANT_FALSE);
    EXPECT_TRUE(notices.empty());
}

// A lane's autoscale that could not be done yet waits until the next paint, which asks it once more and ends
// every wait; a paint with nothing to handle leaves the waits alone.
TEST_F(PaneOps, AutoscalesWaitUntilTheNextPaint)
{
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(4000);
    pane.SetTimeBase(timeBase.Get());
    pane.PreparePaint();
    // Live with every lane on the newest data, there is no visible record to scale to.
    pane.modeFlags |= DataPane::kModeLatestWhileLive;
    pane.SetLive(true);
    WORD pending = 0;
    EXPECT_EQ(pane.AutoscaleLane(1, 2), S_OK);
    EXPECT_EQ(pane.IsAutoscalePending(2, &pending), S_OK);
    EXPECT_EQ(pending, 0xFFFF);
    EXPECT_EQ(pane.IsAutoscalePending(1, &pending), S_OK);
    EXPECT_EQ(pending, 0);
    EXPECT_FALSE(pane.PreparePaint());
    EXPECT_EQ(pane.IsAutoscalePending(2, &pending), S_OK);
    EXPECT_EQ(pending, 0xFFFF);
    pane.SetLaneCount(2); // unchanged, laid out again: the next paint has something to handle
    EXPECT_TRUE(pane.PreparePaint());
    EXPECT_EQ(pane.IsAutoscalePending(2, &pending), S_OK);
    EXPECT_EQ(pending, 0);
    // A lane that goes takes its wait with it.
    pane.Lane(1)->SetPendingRanges(3);
    pane.SetLaneCount(1);
    pane.SetLaneCount(2);
    EXPECT_EQ(pane.Lane(1)->PendingRanges(), 0u);
}

// The follow-changed callback hears a change of the follow flag that is to be told, and the go-to-newest callback
// hears the jump to the newest data before the pane moves.
TEST_F(PaneOps, TheFollowCallbacksHearTheOwnersChanges)
{
    std::vector<std::string> heard;
    pane.onFollowChanged = [&](bool on) { heard.push_back(on ? "follow" : "stay"); };
    pane.onGoToNewest = [&] { heard.push_back("newest " + std::to_string(pane.RightEdge())); };
    pane.SetLive(true);
    pane.OnFollowChanging(false, true); // the zoom control's follow toggle
    pane.OnFollowChanging(false, true); // no change, nothing to tell
    pane.SetFollowNewest(true, false);  // a scroll to the end: not told
    pane.SetFollowNewest(false, true);
    EXPECT_FALSE(pane.IsFollowingNewest());
    pane.GoToNewest();
    EXPECT_TRUE(pane.IsFollowingNewest());
    EXPECT_EQ(heard, (std::vector<std::string>{"stay", "stay", "newest 0"}));
}

// Laying the pane out, however often, keeps the time scale's label height: the lanes end above it.
TEST_F(PaneOps, LayingOutKeepsTheTimeScalesLabelHeight)
{
    const int labelHeight = pane.Scale()->LabelHeight();
    ASSERT_GT(labelHeight, 2);
    for (int pass = 0; pass < 2; ++pass) {
        pane.SetSize(402, 240);
        pane.LayoutLanes();
        EXPECT_EQ(pane.Scale()->LabelHeight(), labelHeight);
        EXPECT_EQ(pane.Lane(1)->rect.bottom, 240 - (labelHeight + 2) - 1);
        EXPECT_EQ(pane.Scale()->rect.bottom, 239);
    }
}

} // namespace
