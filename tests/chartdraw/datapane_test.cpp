#include "chartdraw/datapane.h"
#include "host/blocktimebase.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ChartDraw;

namespace {

struct FakeScrollBar : PaneScrollBar {
    void Enable(bool on) override { enabled = on; }
    bool IsEnabled() const override { return enabled; }
    void SetMagnitudes(LONG p, LONG l) override
    {
        page = p;
        line = l;
    }
    LONG PageMagnitude() const override { return page; }
    LONG LineMagnitude() const override { return line; }
    State GetState() const override { return state; }
    void SetRange(const State& s) override { state = s; }
    void SetPosition(LONG position, bool r) override
    {
        state.position = position;
        redraw = r;
    }
    bool enabled = false;
    LONG page = 0;
    LONG line = 0;
    State state;
    bool redraw = false;
};

struct DrawCall {
    LONG pane;
    RECT clip;
    DWORD flags;
    TickMapping mapping;
};

// A lane that records what the data pane asks of it.
struct RecordingLane : ChannelPane {
    RecordingLane(LONG index, ChildPaneOwner* owner, std::vector<DrawCall>* calls)
        : ChannelPane(index, owner, 0xC0000000u, 0), calls(calls)
    {
    }
    HRESULT DrawLayers(HDC dc, const TickMapping& ticks, const RECT* clip, DWORD flags, LONG c1, LONG c2, int first,
                       int last) override
    {
        calls->push_back(DrawCall{paneIndex, *clip, flags, ticks});
        return ChannelPane::DrawLayers(dc, ticks, clip, flags, c1, c2, first, last);
    }
    HRESULT OnDataArrived(LONGLONG start, LONGLONG count, LONGLONG* newest) override
    {
        advances.push_back(count);
        return ChannelPane::OnDataArrived(start, count, newest);
    }
    std::vector<DrawCall>* calls;
    std::vector<LONGLONG> advances;
};

struct TestPane : DataPane {
    ChannelPane* CreateChannelPane(LONG index) override
    {
        auto* lane = new RecordingLane(index, this, &calls);
        lane->AddRef();
        return lane;
    }
    void OnFirstData() override { ++firstData; }
    RecordingLane& LaneAt(std::size_t i) const { return static_cast<RecordingLane&>(*Lane(i)); }
    std::vector<DrawCall> calls;
    int firstData = 0;
};

// A pane of 402 x 200 pixels (400 visible) with two lanes over a 10 kHz time base.
struct Fixture : ::testing::Test {
    Fixture()
    {
        pane.tickCount = [this] { return now; };
        pane.ctrlDown = [] { return false; };
        pane.onNotice = [this](PaneNotice n) { notices.push_back(n); };
        pane.SetScrollBar(&bar);
        pane.Scale()->EnsureLabelDrawer();
        pane.SetLaneCount(2);
        pane.SetSize(402, 200);
    }
    void Attach(std::initializer_list<LONGLONG> blocks)
    {
        for (LONGLONG ticks : blocks) {
            timeBase->AppendBlock(ticks);
        }
        pane.SetTimeBase(timeBase.Get());
    }
    int Count(PaneNotice notice) const { return static_cast<int>(std::count(notices.begin(), notices.end(), notice)); }
    // The data position under pane x.
    ChartBlockPosition At(LONG x) const
    {
        ChartBlockPosition position;
        timeBase->PixelToPosition(x - (pane.Width() - pane.Margin()) + pane.RightEdge(), &position);
        return position;
    }

    DWORD now = 1000;
    std::vector<PaneNotice> notices;
    FakeScrollBar bar;
    platform::ComPtr<host::BlockTimeBase> timeBase = host::BlockTimeBase::Create(0.0001);
    TestPane pane;
};

TEST_F(Fixture, ChangingTheCompressionToItsValueDoesNothing)
{
    Attach({100000});
    notices.clear();
    EXPECT_TRUE(pane.SetCompression(KVORationalImp(20, 2), nullptr, true)); // 10/1 as well
    EXPECT_TRUE(notices.empty());
}

TEST_F(Fixture, BadCompressionsAreRefusedAndTheOldOneKept)
{
    Attach({100000});
    struct Case {
        KVORationalImp compression;
    } cases[] = {{{0, 1}}, {{-5, 1}}, {{5, -1}}, {{1, 0}}, {{1, 1000000000000000000LL}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.compression.numerator) + "/" + std::to_string(c.compression.denominator));
        EXPECT_FALSE(pane.SetCompression(c.compression, nullptr, true));
        EXPECT_EQ(pane.GetCompression(), KVORationalImp(10, 1));
    }
}

TEST_F(Fixture, RecordingOfBillionsOfTicksRefusesAnOverflowingCompression)
{
    Attach({4000000000000000000LL});
    EXPECT_FALSE(pane.SetCompression(KVORationalImp(1, 10), nullptr, false));
    EXPECT_TRUE(pane.SetCompression(KVORationalImp(1, 1), nullptr, false));
    EXPECT_EQ(pane.Extent(), 4000000000000000000LL);
}

TEST_F(Fixture, CtrlWheelZoomsOneStepWithinItsLimits)
{
    Attach({10000000});
    struct Case {
        double from;
        LONG delta;
        double to;
    } cases[] = {
        {1, 120, 0.5}, {1, -120, 2}, {10, -360, 20}, {10, 60, 10}, {0.1, 120, 0.1},
        {0.05, 120, 0.05}, {500000, -120, 500000}, {200000, -120, 500000}, {2, 120, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " by " + std::to_string(c.delta));
        ASSERT_TRUE(pane.SetCompression(KVORationalImp::FromDouble(c.from), nullptr, false));
        EXPECT_FALSE(pane.OnMouseWheel(0x0008, c.delta, POINT{200, 50}));
        const KVORationalImp r = pane.GetCompression();
        EXPECT_DOUBLE_EQ(double(r.numerator) / double(r.denominator), c.to);
    }
}

TEST_F(Fixture, WheelScrollRateFollowsTheTimeBetweenMessages)
{
    Attach({100000000}); // 10 M pixels at 10 ticks per pixel
    pane.ScrollToPosition(ChartBlockPosition{50000000, 0}, 1);
    struct Case {
        DWORD gap;
        double rate;
    } cases[] = {{5, 100}, {2000, 1}, {100, 10}};
    pane.OnMouseWheel(0, -120, POINT{}); // the first message sets the time of the last one
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gap);
        now += c.gap;
        const LONG before = bar.state.position;
        pane.OnMouseWheel(0, -120, POINT{});
        EXPECT_EQ(bar.state.position, static_cast<LONG>(before + bar.line * (c.rate * 0.25 * 0.125)));
    }
}

TEST_F(Fixture, ScrollScaleKeepsTheRangeWithin31Bits)
{
    struct Case {
        LONGLONG extent;
        LONG k;
    } cases[] = {{(1LL << 31) - 1, 2}, {(1LL << 31) - 2, 1}, {(1LL << 33), 5}, {1000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extent);
        timeBase = host::BlockTimeBase::Create(0.001);
        timeBase->AppendBlock(c.extent);
        pane.SetTimeBase(timeBase.Get());
        pane.SetCompression(KVORationalImp(1, 1), nullptr, false);
        pane.UpdateScrollBar();
        EXPECT_EQ(pane.ScrollScale(), c.k);
        EXPECT_EQ(bar.state.maximum, static_cast<LONG>(c.extent / c.k));
    }
    timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(400); // 400 pixels: fits the view
    pane.SetTimeBase(timeBase.Get());
    EXPECT_FALSE(bar.enabled);
}

TEST_F(Fixture, ScrollingToTheEndFollowsAndBackStopsFollowing)
{
    Attach({1000000});
    pane.SetLive(true);
    pane.Scroll(ScrollCode::Top, 1.0);
    EXPECT_FALSE(pane.IsFollowingNewest());
    pane.Scroll(ScrollCode::Bottom, 1.0);
    EXPECT_TRUE(pane.IsFollowingNewest());
    EXPECT_EQ(pane.RightEdge(), pane.Extent());
    pane.Scroll(ScrollCode::LineUp, 1.0);
    EXPECT_FALSE(pane.IsFollowingNewest());
}

TEST_F(Fixture, ThumbTrackingNeitherRedrawsTheBarNorEndsTracking)
{
    Attach({1000000});
    bar.state.trackPosition = 5000;
    pane.Scroll(ScrollCode::ThumbTrack, 1.0);
    EXPECT_TRUE(pane.ThumbTracking());
    EXPECT_FALSE(bar.redraw);
    EXPECT_EQ(pane.RightEdge(), 5000 + 400);
    pane.Scroll(ScrollCode::ThumbPosition, 1.0);
    EXPECT_FALSE(pane.ThumbTracking());
    EXPECT_TRUE(bar.redraw);
}

TEST_F(Fixture, ScrollLargerThanTheViewRedrawsEverything)
{
    Attach({1000000});
    struct Case {
        LONGLONG delta;
        bool whole;
    } cases[] = {{401, true}, {-401, true}, {400, false}, {30, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delta);
        pane.Lane(0)->ClearPending();
        pane.ScrollBy(c.delta);
        const RECT& pending = pane.Lane(0)->Layer(1).pending;
        EXPECT_EQ(pending.right - pending.left == pane.Lane(0)->rect.right - pane.Lane(0)->rect.left, c.whole);
    }
}

TEST_F(Fixture, CompressionCallbacksGetTheRightEdgesBlockAndTime)
{
    timeBase = host::BlockTimeBase::Create(0.001);
    Attach({500, 500, 500, 1000});
    pane.SetLive(true); // following: the right edge stays on the newest data
    std::vector<std::tuple<LONG, double, LONG, double>> seen;
    pane.onCompressionChanged = [&](LONG a, double c, LONG b, double t) { seen.emplace_back(a, c, b, t); };
    pane.onViewPosition = pane.onCompressionChanged;
    ASSERT_TRUE(pane.SetCompression(KVORationalImp(1, 2), nullptr, true));
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& s : seen) {
        EXPECT_EQ(s, std::make_tuple(0L, 0.5, 3L, 1.0));
    }
}

TEST_F(Fixture, ZoomWithTheMouseKeepsTheDataUnderThePointer)
{
    Attach({10000000});
    pane.ScrollToPosition(ChartBlockPosition{5000000, 0}, 1);
    for (LONG x : {50, 200, 333}) {
        for (const KVORationalImp& c : {KVORationalImp(5, 1), KVORationalImp(20, 1), KVORationalImp(1, 2)}) {
            SCOPED_TRACE(x);
            const LONGLONG before = At(x).tick;
            const double oldTicksPerPixel = double(pane.GetCompression().numerator) / pane.GetCompression().denominator;
            POINT point{x, 50};
            ASSERT_TRUE(pane.SetCompression(c, &point, false));
            const double ticksPerPixel = double(c.numerator) / double(c.denominator);
            EXPECT_NEAR(double(At(x).tick), double(before), 1.5 * std::max(ticksPerPixel, oldTicksPerPixel));
        }
    }
}

TEST_F(Fixture, ScrollToPositionPlacesThePosition)
{
    Attach({10000000}); // 1 M pixels
    struct Case {
        LONG placement;
        LONG x; // pane x of the position afterwards
    } cases[] = {{1, 200}, {2, 0}, {3, 400}, {7, 200}, {-1, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.placement);
        pane.ScrollToPosition(ChartBlockPosition{300000, 0}, 1);
        pane.ScrollToPosition(ChartBlockPosition{4000000, 0}, c.placement);
        EXPECT_EQ(400000 - pane.RightEdge() + 401, c.x);
    }
}

// --- sampling

TEST_F(Fixture, FirstDataCallsTheHookOnce)
{
    Attach({});
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, false);
    for (LONGLONG n : {100, 200, 300}) {
        pane.NewData(n);
    }
    EXPECT_EQ(pane.firstData, 1);
    pane.SamplingStarted(0);
    pane.NewData(400);
    EXPECT_EQ(pane.firstData, 2);
}

TEST_F(Fixture, JumpLargerThanTheViewMovesTheSweepToTheEnd)
{
    Attach({});
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, false);
    pane.NewData(1000);          // 100 pixels
    pane.NewData(1000 + 10 * 50); // 50 more
    EXPECT_EQ(pane.SweepCursor(), 150); // 400 + 100 wraps to 100, then 50 more
    pane.NewData(1500 + 10 * 1000); // a jump of 1000 pixels
    EXPECT_EQ(pane.SweepCursor(), 400);
    ASSERT_FALSE(pane.LaneAt(0).advances.empty());
    EXPECT_EQ(pane.LaneAt(0).advances.back(), -400);
}

TEST_F(Fixture, SweepCursorWrapsAroundTheView)
{
    Attach({});
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, false);
    struct Step {
        LONGLONG samples;
        LONG sweep;
    } steps[] = {{3000, 300}, {5000, 100}, {8990, 99}, {12990, 99}};
    // The sweep starts at the right end (400); every advance of d pixels moves it on, modulo the view.
    for (const Step& s : steps) {
        pane.NewData(s.samples);
        EXPECT_EQ(pane.SweepCursor(), s.sweep) << s.samples;
    }
}

TEST_F(Fixture, ViewScrolledBackStaysWhileDataArrive)
{
    Attach({100000});
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, true);
    pane.NewData(100000);
    pane.Scroll(ScrollCode::Top, 1.0);
    ASSERT_FALSE(pane.IsFollowingNewest());
    const LONGLONG edge = pane.RightEdge();
    for (LONGLONG n : {110000, 150000, 200000}) {
        pane.NewData(n);
        EXPECT_EQ(pane.RightEdge(), edge);
    }
    pane.GoToNewest();
    EXPECT_EQ(pane.RightEdge(), 20000);
}

TEST_F(Fixture, ObjectsRefreshAtMostEvery300Milliseconds)
{
    Attach({});
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, false); // refresh time 1000
    struct Step {
        DWORD at;
        int refreshes;
    } steps[] = {{1300, 0}, {1301, 1}, {1500, 1}, {1601, 1}, {1602, 2}};
    LONGLONG samples = 0;
    for (const Step& s : steps) {
        now = s.at;
        pane.NewData(samples += 100);
        EXPECT_EQ(Count(PaneNotice::DataArrived), s.refreshes) << s.at;
    }
}

TEST_F(Fixture, DetachedPaneOnlyFeedsTheTimeBase)
{
    Attach({});
    pane.modeFlags |= DataPane::kModeDetached;
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.0001, false);
    pane.NewData(50000);
    EXPECT_FALSE(pane.IsLive());
    EXPECT_FALSE(pane.BlockOpen());
    EXPECT_EQ(pane.firstData, 0);
    EXPECT_EQ(pane.Extent(), 5000);
    DWORD interval = 0;
    EXPECT_EQ(pane.GetUpdateInterval(&interval), S_OK);
    EXPECT_EQ(interval, 100u);
}

TEST_F(Fixture, StopAndAfterStopEndTheLiveState)
{
    Attach({});
    bool state = false;
    pane.onSamplingState = [&](bool on) { state = on; };
    pane.SamplingStarted(0);
    EXPECT_TRUE(state);
    pane.BlockStarted(0, 0.0001, false);
    pane.NewData(20000);
    pane.SamplingStopped(0, 0);
    EXPECT_FALSE(pane.BlockOpen());
    pane.AfterStop(false);
    EXPECT_FALSE(pane.IsLive());
    EXPECT_FALSE(state);
    EXPECT_EQ(Count(PaneNotice::SamplingEnded), 1);
}

// --- painting

TEST_F(Fixture, SpanStartingBeforeTheRecordingIsDrawnFromItsStart)
{
    Attach({1000}); // 100 pixels: right edge 100, the recording starts at pane x 301
    charttest::Canvas canvas(402, 200);
    pane.calls.clear();
    pane.PaintSpan(canvas.dc, RECT{1, 0, 401, 200}, 1, 401);
    ASSERT_FALSE(pane.calls.empty());
    for (const DrawCall& call : pane.calls) {
        EXPECT_EQ(call.mapping.originX, 301);
        EXPECT_EQ(call.mapping.originTick, 0);
        EXPECT_EQ(call.clip.right, 401);
    }
}

TEST_F(Fixture, SpanOverTwoBlocksDrawsTwoPassesClippedAtTheBlockEnd)
{
    Attach({1000, 3000}); // 100 + 300 pixels
    pane.SetLive(true);
    charttest::Canvas canvas(402, 200);
    pane.calls.clear();
    pane.PaintSpan(canvas.dc, RECT{1, 0, 401, 200}, 1, 401);
    ASSERT_EQ(pane.calls.size(), 4u); // two lanes, two blocks
    struct Expect {
        LONG pane;
        LONG record;
        LONG left;
        LONG right;
        DWORD liveBit;
    } expected[] = {
        {0, 0, 1, 101, 0x08000000u}, {1, 0, 1, 101, 0x08000000u},
        {0, 1, 101, 401, 0x80000000u}, {1, 1, 101, 401, 0x80000000u},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const DrawCall& call = pane.calls[i];
        EXPECT_EQ(call.pane, expected[i].pane);
        EXPECT_EQ(call.mapping.record, expected[i].record);
        EXPECT_EQ(call.clip.left, expected[i].left);
        EXPECT_EQ(call.clip.right, expected[i].right);
        EXPECT_EQ(call.flags & 0x88000000u, expected[i].liveBit);
        EXPECT_EQ(call.mapping.originX, expected[i].left);
    }
}

TEST_F(Fixture, BlockLoopStopsAtABlockThatEndsBeforeTheSpan)
{
    Attach({1000, 0, 2000}); // an empty block between two
    charttest::Canvas canvas(402, 200);
    pane.calls.clear();
    pane.PaintSpan(canvas.dc, RECT{1, 0, 401, 200}, 1, 401);
    for (const DrawCall& call : pane.calls) {
        EXPECT_LT(call.clip.left, call.clip.right);
    }
    EXPECT_EQ(pane.calls.size(), 2u);
}

TEST_F(Fixture, PaneWithoutLanesDrawsBackgroundAndFrame)
{
    Attach({100000});
    pane.SetLaneCount(0);
    pane.SetBackgroundColour(RGB(220, 230, 250));
    charttest::Canvas canvas(402, 200, RGB(0, 0, 0));
    pane.PaintSpan(canvas.dc, RECT{1, 0, 401, 200}, 1, 401);
    EXPECT_EQ(GetPixel(canvas.dc, 200, 60), RGB(220, 230, 250));
    EXPECT_EQ(GetPixel(canvas.dc, 200, 0), RGB(195, 195, 195));
    EXPECT_EQ(GetPixel(canvas.dc, 0, 60), RGB(195, 195, 195));
}

TEST_F(Fixture, WithoutTimeBaseThePanesAreErased)
{
    pane.scrollCopy = false;
    pane.SetBackgroundColour(RGB(10, 200, 10));
    charttest::Canvas canvas(402, 200, RGB(0, 0, 0));
    pane.PaintSpan(canvas.dc, RECT{1, 0, 401, 200}, 1, 401);
    EXPECT_TRUE(pane.calls.empty());
    const RECT& lane = pane.Lane(0)->rect;
    EXPECT_EQ(GetPixel(canvas.dc, 200, (lane.top + lane.bottom) / 2), RGB(10, 200, 10));
}

TEST_F(Fixture, RedrawSpanNeedsAKnownPosition)
{
    Attach({100000});
    // The time scale's event drawers reach 3 pixels to either side of a mark.
    platform::ComPtr<charttest::ReachingDrawer> events(new charttest::ReachingDrawer(kKindEvents, 3));
    pane.AddDrawer(-1, kKindEvents, events.Get());
    std::vector<RECT> invalidated;
    pane.onInvalidate = [&](const RECT& r) { invalidated.push_back(r); };
    pane.RedrawSpan(0, 0, nullptr);
    charttest::Mark unknown(-1, 0, 7);
    pane.RedrawSpan(0, 0, &unknown);
    EXPECT_TRUE(invalidated.empty());
    charttest::Mark visible(1, static_cast<LONG>(pane.RightEdge() * 10 - 1000), 0); // 100 pixels left of the edge
    pane.RedrawSpan(0, 0, &visible);
    ASSERT_EQ(invalidated.size(), 1u);
    EXPECT_EQ(invalidated[0].left, 301 - 3);
    EXPECT_EQ(invalidated[0].right, 301 + 3);
}

// --- lanes

TEST_F(Fixture, LanesShareTheHeightAboveTheTimeScale)
{
    const RECT& a = pane.Lane(0)->rect;
    const RECT& b = pane.Lane(1)->rect;
    const RECT& t = pane.Scale()->rect;
    EXPECT_EQ(a.top, 1);
    EXPECT_EQ(b.bottom, 200 - (pane.Scale()->LabelHeight() + 2) - 1);
    EXPECT_GT(b.top, a.bottom);
    EXPECT_EQ(t.bottom, 199);
    pane.SetLaneGeometry({10, 90}, {60, 0});
    EXPECT_EQ(pane.Lane(0)->rect.bottom, 70);
    EXPECT_EQ(pane.Lane(1)->rect.bottom, 90); // the last lane with height 0 ends at its top
    EXPECT_EQ(pane.Scale()->rect.top, 91);
}

TEST(SiPrefix, LettersAndMultipliers)
{
    struct Case {
        LONG index;
        HRESULT result;
        char16_t letter;
        double multiplier;
    } cases[] = {
        {0, S_OK, u'?', 1},     {1, S_OK, 0, 1},         {2, S_OK, u'a', 1e18}, {6, S_OK, u'\u00B5', 1e6},
        {7, S_OK, u'm', 1e3},   {8, S_OK, 0, 1},         {9, S_OK, u'k', 1e-3}, {14, S_OK, u'E', 1e-18},
        {15, S_OK, 0, 1},       {16, E_INVALIDARG, 0, 1}, {-1, E_INVALIDARG, 0, 1}, {1000, E_INVALIDARG, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        char16_t letter = u'x';
        double multiplier = 0;
        EXPECT_EQ(SiPrefix(c.index, &letter, &multiplier), c.result);
        EXPECT_EQ(letter, c.letter);
        EXPECT_EQ(multiplier, c.multiplier);
    }
}

} // namespace
