#include "chartdraw/datapane.h"
#include "chartdraw/drawer.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "host/host.h"
#include "host/scalecontrol.h"
#include "platform/com/memstream.h"
#include "../frame/sharedhost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

using namespace ChartDraw;

namespace {

host::GraphService& Graphs() { return SharedHost().GetFramework().Graphs(); }

// A trace-layer drawer that draws nothing.
class QuietDrawer : public DrawerBase {
public:
    QuietDrawer(LONG channel, DWORD subSelector)
        : DrawerBase(513, channel, subSelector, kNoAlternateChannel, kNoAlternateSelector)
    {
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
};

// A drawer that accepts scale changes and records them.
class ScaleListener : public QuietDrawer {
public:
    ScaleListener() : QuietDrawer(0, 0) {}
    HRESULT OnScaleChanged(LONG lane, LONG, const double scale[2], IUnknown* source) override
    {
        changes.push_back({lane, scale[0], scale[1], source});
        return S_OK;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }
    struct Change {
        LONG lane;
        double scale;
        double offset;
        IUnknown* source;
    };
    std::vector<Change> changes;
};

// A data pane with lanes whose scales the shared host service makes.
struct ChannelFixture : ::testing::Test {
    void SetUp() override
    {
        Graphs().SetRefuse(false);
        pane.tickCount = [] { return DWORD{1000}; };
        pane.onAutoscale = nullptr;
        pane.SetLaneCount(1);
        pane.SetSize(400, 200);
    }
    void TearDown() override { Graphs().SetRefuse(false); }
    ChannelPane& Lane() { return *pane.Lane(0); }
    DataPane pane;
};

double ExtentMinimum(IScaleControl* scale)
{
    double extent[2]{0, 0};
    scale->GetExtent(extent);
    return extent[1];
}

TEST_F(ChannelFixture, LaneScalesComeFromTheHostServiceByMode)
{
    struct Case {
        const char* name;
        DWORD mode;
        bool refuse;
        bool scales;
        bool dragScales;
    } cases[] = {
        {"interactive", 0, false, true, true},
        {"no controls", DataPane::kModeNoControls, false, true, false},
        {"service refuses", 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pane.modeFlags = c.mode;
        Graphs().SetRefuse(c.refuse);
        Lane().CreateLaneScales(7, 8);
        EXPECT_EQ(Lane().ownerWord1, 7u);
        for (LONG lane : {1, 2}) {
            EXPECT_EQ(Lane().Scale(lane) != nullptr, c.scales) << lane;
            EXPECT_EQ(Lane().DragScale(lane) != nullptr, c.dragScales) << lane;
            if (c.dragScales) {
                EXPECT_EQ(Lane().DragScale(lane), Lane().Scale(lane));
            }
        }
        // Without scales every range and prefix operation fails and nothing else happens.
        EXPECT_EQ(Lane().SetLaneRange(1, 0, 1) == S_OK, c.scales);
        EXPECT_EQ(Lane().SetLanePrefix(2, 7) == S_OK, c.scales);
        EXPECT_EQ(Lane().UnitRecord(2).letter, u'm');
    }
}

TEST_F(ChannelFixture, PrefixScalesRangesAndUnitTexts)
{
    ChannelPane& lane = Lane();
    ASSERT_NE(lane.Scale(1), nullptr);
    const double volts[2]{1.0, 0.0};
    lane.Scale(1)->SetScaling(volts, u"V");
    EXPECT_EQ(lane.SetLanePrefix(1, 6), S_OK);
    double pair[2]{0, 0};
    BSTR title = nullptr;
    lane.Scale(1)->GetScaling(pair, &title);
    EXPECT_EQ(pair[0], 1e6);
    EXPECT_EQ(std::u16string(title), u"V"); // the unit text is kept
    SysFreeString(title);
    EXPECT_EQ(lane.SetLaneRange(1, 0.001, 0.002), S_OK);
    EXPECT_DOUBLE_EQ(ExtentMinimum(lane.Scale(1)), 1000);
    EXPECT_EQ(lane.DecorateUnitText(lane.UnitRecord(1), u"V"), u"\u00B5V");
    EXPECT_EQ(lane.SetLaneRange(1, NAN, 1), E_FAIL);
    EXPECT_EQ(lane.SetLanePrefix(3, 7), E_FAIL);
    EXPECT_EQ(lane.SetLanePrefix(1, 8), S_OK);
    EXPECT_EQ(lane.DecorateUnitText(lane.UnitRecord(1), u"V"), u"V");
}

TEST_F(ChannelFixture, ApplyLaneRangeReachesTheScaleOnlyWhenPendingOrForced)
{
    struct Case {
        DWORD pending;
        bool force;
        bool applied;
    } cases[] = {{0, false, false}, {1, false, true}, {0, true, true}, {2, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pending << " " << c.force);
        Lane().SetLaneRange(1, 0, 1);
        Lane().SetPendingRanges(c.pending);
        EXPECT_TRUE(Lane().ApplyLaneRange(1, 5, 6, false, c.force) || !c.applied);
        EXPECT_EQ(ExtentMinimum(Lane().Scale(1)) == 5, c.applied);
        EXPECT_EQ(Lane().PendingRanges() & 1u, c.applied ? 0u : (c.pending & 1u));
    }
    EXPECT_FALSE(Lane().ApplyLaneRange(1, NAN, 1, true, true));
}

TEST_F(ChannelFixture, AutoscaleRequestsGoToTheCallbackOrTheObservers)
{
    struct Case {
        LONG lane;
        bool callback;
        HRESULT result;
    } cases[] = {{1, true, S_OK}, {2, false, S_OK}, {3, true, E_FAIL}, {3, false, E_FAIL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lane << " " << c.callback);
        std::vector<LONG> called;
        std::vector<BYTE> body;
        DWORD id = 0;
        pane.onAutoscale = nullptr;
        if (c.callback) {
            pane.onAutoscale = [&](const LONG pair[2], LONG lane) { called = {pair[0], pair[1], lane}; };
        }
        pane.onSubjectMessage = [&](DWORD messageId, const void* data, std::size_t size) {
            id = messageId;
            body.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
        };
        EXPECT_EQ(Lane().OnAutoScale(c.lane), c.result);
        if (c.callback) {
            EXPECT_EQ(called, (std::vector<LONG>{LONG(0x80000000), LONG(0xC0000000), c.lane}));
            EXPECT_TRUE(body.empty());
        } else {
            const std::vector<BYTE> expected{0x00, 0x00, 0x00, 0x80, BYTE(c.lane), 0, 0, 0};
            EXPECT_EQ(body, expected);
            EXPECT_EQ(id & 0xFFFF, 47u);
        }
    }
}

TEST_F(ChannelFixture, ChannelNoticeNeedsTheSubjectsPosition)
{
    EXPECT_EQ(Lane().SendChannelNotice(9), E_FAIL);
    std::vector<BYTE> body;
    LONG kind = 0;
    pane.subjectPosition = [] { return std::optional<ChartBlockPosition>(ChartBlockPosition{}); };
    EXPECT_EQ(Lane().SendChannelNotice(9), E_FAIL); // a subject without a message sink
    pane.onFrameworkMessage = [&](const ChartBlockPosition&, LONG k, const void* data, std::size_t size) {
        kind = k;
        body.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    };
    EXPECT_EQ(Lane().SendChannelNotice(9), S_OK);
    EXPECT_EQ(kind, 4);
    const std::vector<BYTE> expected{0x8D, 0x00, 0x0C, 0x80, 0, 0, 0, 0, 34, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0};
    EXPECT_EQ(body, expected);
}

TEST_F(ChannelFixture, DraggingAScaleOffersTheNewScalingToTheDrawers)
{
    auto* listener = new ScaleListener;
    listener->AddRef();
    Lane().AddDrawer(0, listener, 255);
    const LONG pair[2]{0, 0};
    Lane().SetStripWidths(40, 30, 2);
    Lane().SetPlacement(0, pair, RECT{50, 10, 350, 110});
    RECT strip{};
    Lane().Scale(2)->GetFrameRect(&strip);
    EXPECT_EQ(strip.left, 354);
    Lane().OnBeginDrag(1);
    EXPECT_TRUE(pane.NoInteraction());
    Lane().Scale(1)->SetRange(0, 50); // the host tells its observers as a drag step would
    ASSERT_FALSE(listener->changes.empty());
    const ScaleListener::Change& change = listener->changes.back();
    EXPECT_EQ(change.lane, 1);
    EXPECT_EQ(change.source, static_cast<IUnknown*>(Lane().Scale(1)));
    // The strips are 2 pixels taller at each end (the data pane's lanes ask for it): the scale spreads 50 units
    // over 104 pixels, the drawers over the lane's 100, values rising upwards.
    EXPECT_DOUBLE_EQ(change.scale, -100.0 / 50.0);
    EXPECT_TRUE(Lane().Layer(2).IsPending());
    Lane().OnEndDrag(1);
    EXPECT_FALSE(pane.NoInteraction());
    listener->Release();
}

TEST_F(ChannelFixture, APaneThatGoesLeavesItsDragScales)
{
    platform::ComPtr<IScaleControl> kept(Lane().Scale(1));
    auto* control = static_cast<host::ScaleControl*>(kept.Get());
    EXPECT_EQ(control->ObserverCount(), 1u);
    pane.SetLaneCount(0);
    EXPECT_EQ(control->ObserverCount(), 0u);
    EXPECT_EQ(kept->SetRange(1, 2), S_OK); // no observer is left to call
}

TEST_F(ChannelFixture, CloneCopiesDragScalesAndSharesPlainOnes)
{
    ChannelPane* copy = nullptr;
    ASSERT_EQ(Lane().Clone(&copy), S_OK);
    EXPECT_NE(copy->Scale(1), nullptr);
    EXPECT_NE(copy->Scale(1), Lane().Scale(1));
    EXPECT_EQ(copy->DragScale(1), nullptr);
    EXPECT_EQ(copy->DragScale(2), nullptr);
    copy->Release();

    pane.modeFlags = DataPane::kModeNoControls;
    Lane().CreateLaneScales(0, 0);
    ASSERT_EQ(Lane().Clone(&copy), S_OK);
    EXPECT_EQ(copy->Scale(1), Lane().Scale(1));
    copy->Release();
}

TEST_F(ChannelFixture, ScaleForLaneAndAdoptedScales)
{
    for (LONG lane : {0, 2, 3}) {
        platform::ComPtr<IScaleControl> scale;
        EXPECT_EQ(Lane().GetScaleForLane(lane, scale.Out()), S_OK);
        EXPECT_EQ(scale.Get(), Lane().Scale(2)) << lane;
    }
    ChannelPane* bare = new ChannelPane(3, &pane, 0, 0);
    bare->AddRef();
    platform::ComPtr<IScaleControl> none;
    EXPECT_EQ(bare->GetLaneScale1(0, none.Out()), S_OK);
    EXPECT_EQ(none.Get(), nullptr);
    bare->AdoptLaneScale(nullptr);
    EXPECT_EQ(bare->Scale(1), nullptr);
    bare->AdoptLaneScale(Lane().Scale(1));
    EXPECT_EQ(bare->Scale(1), Lane().Scale(1));
    EXPECT_EQ(bare->DragScale(1), Lane().Scale(1));
    IScaleControl* before = Lane().Scale(1);
    Lane().AdoptLaneScale(Lane().Scale(2)); // everything set: nothing changes
    EXPECT_EQ(Lane().Scale(1), before);
    bare->Release();
}

TEST(ChannelPaneState, VersionsAndTheirPayload)
{
    auto bytes = [](std::initializer_list<int> list) {
        std::vector<BYTE> out;
        for (int b : list) {
            out.push_back(static_cast<BYTE>(b));
        }
        return out;
    };
    std::vector<BYTE> withRange = bytes({2, 0, 0, 0, 1});
    withRange.resize(5 + 16, 0);
    withRange.push_back(0xEE);
    struct Case {
        const char* name;
        std::vector<BYTE> data;
        HRESULT result;
        LONGLONG consumed;
    } cases[] = {
        {"version 3", bytes({3, 0, 0, 0, 0xEE}), S_OK, 4},
        {"version 2 without range", bytes({2, 0, 0, 0, 0, 0xEE}), S_OK, 5},
        {"version 2 with range", withRange, S_OK, 21},
        {"truncated", bytes({3, 0}), STG_E_READFAULT, 2},
    };
    DataPane owner;
    ChannelPane* lane = new ChannelPane(0, &owner, 0, 0);
    lane->AddRef();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = platform::MemoryStream::Create(c.data);
        EXPECT_EQ(lane->ReadState(stream.Get()), c.result);
        ULARGE_INTEGER at{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &at);
        EXPECT_EQ(static_cast<LONGLONG>(at.QuadPart), c.consumed);
    }
    auto future = platform::MemoryStream::Create(bytes({4, 0, 0, 0}));
    try {
        lane->ReadState(future.Get());
        ADD_FAILURE() << "a newer version was read";
    } catch (const XKVO& error) {
        EXPECT_EQ(static_cast<DWORD>(error.Code()), 0xA0048205u);
    }
    auto written = platform::MemoryStream::Create();
    EXPECT_EQ(lane->WriteState(written.Get()), S_OK);
    EXPECT_EQ(written->Data(), bytes({3, 0, 0, 0}));
    lane->Release();
}

} // namespace

namespace {

// A drawer of channel 5 that knows the units of some (lane, index) pairs.
class UnitDrawer : public QuietDrawer {
public:
    explicit UnitDrawer(std::vector<std::tuple<LONG, LONG, std::u16string>> known)
        : QuietDrawer(5, 1), known_(std::move(known))
    {
    }
    HRESULT GetUnitText(LONG lane, LONG index, IKVOString** text, WORD*) override
    {
        *text = nullptr;
        for (const auto& [l, i, units] : known_) {
            if (l == lane && i == index) {
                *text = KVO::String(units.c_str()).GetInterface();
                return S_OK;
            }
        }
        return S_FALSE;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }

private:
    std::vector<std::tuple<LONG, LONG, std::u16string>> known_;
};

struct Sent {
    DWORD id;
    std::vector<BYTE> body;
};

std::u16string TextAt(const Sent& message, int lane)
{
    IKVOString* text = nullptr;
    std::memcpy(&text, message.body.data() + 2 + (lane - 1) * sizeof text, sizeof text);
    return text ? std::u16string(text->GetText()) : u"(none)";
}

TEST_F(ChannelFixture, LaneUnitsReachTheScalesAndTheObservers)
{
    struct Case {
        const char* name;
        LONG first, last;
        DWORD unitTextMode;
        LONG found;
        bool lane1, lane2;
        std::u16string units1, units2;
        bool messages;
    } cases[] = {
        // Lane 1 walks up from the first index, lane 2 down from the last.
        {"both lanes", 0, 3, 0x80000000u, 2, true, true, u"mV", u"A", true},
        {"lane 2 alone gives the index", 0, 0, 0x80000000u, 0, false, true, u"", u"B", true},
        {"first beyond last", 3, 0, 0x80000000u, ChannelPane::kNoUnitsFound, false, false, u"", u"", true},
        {"scales keep their texts", 0, 3, 0, 2, true, true, u"old", u"old", false},
    };
    auto* drawer = new UnitDrawer({{1, 2, u"V"}, {1, 3, u"W"}, {2, 3, u"A"}, {2, 0, u"B"}});
    drawer->AddRef();
    Lane().AddDrawer(0, drawer, 255);
    drawer->Release();
    Lane().SetLanePrefix(1, 7); // milli
    pane.modeFlags = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Sent> sent;
        pane.onSubjectMessage = [&](DWORD id, const void* data, std::size_t size) {
            sent.push_back({id, std::vector<BYTE>(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size)});
            if (sent.size() == 2) { // the texts must still be alive while the messages go out
                EXPECT_EQ(TextAt(sent[0], 1), c.units1);
                EXPECT_EQ(TextAt(sent[1], 2), c.units2);
            }
        };
        for (LONG lane : {1, 2}) {
            Lane().Scale(lane)->SetUnits(u"old");
        }
        Lane().unitTextMode = c.unitTextMode;
        EXPECT_EQ(Lane().RefreshLaneUnits(c.first, c.last), c.found);
        EXPECT_EQ(Lane().Lane1UnitsFound(), c.lane1);
        EXPECT_EQ(Lane().Lane2UnitsFound(), c.lane2);
        EXPECT_EQ(Lane().IsFlagged(), c.lane1 || c.lane2);
        EXPECT_EQ(static_cast<host::ScaleControl*>(Lane().Scale(1))->Units(), c.units1);
        EXPECT_EQ(static_cast<host::ScaleControl*>(Lane().Scale(2))->Units(), c.units2);
        if (!c.messages) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].id & 0xFFFF, 1u);
        EXPECT_EQ(sent[1].id & 0xFFFF, 2u);
        EXPECT_EQ(sent[0].id >> 16, sent[1].id >> 16);
        ASSERT_EQ(sent[0].body.size(), 2 + 2 * sizeof(void*));
        ASSERT_EQ(sent[1].body.size(), 2 + 2 * sizeof(void*) + 8);
        EXPECT_EQ(sent[0].body[0], c.lane1 ? 1 : 0);
        EXPECT_EQ(sent[0].body[1], c.lane2 ? 1 : 0);
        EXPECT_TRUE(std::equal(sent[0].body.begin(), sent[0].body.end(), sent[1].body.begin()));
        EXPECT_TRUE(std::all_of(sent[1].body.end() - 8, sent[1].body.end(), [](BYTE b) { return b == 0xFF; }));
    }
    // The winning drawer's channel became the lane's selector pair.
    EXPECT_EQ(Lane().lane1Selector[0], 5);
    EXPECT_EQ(Lane().lane2Selector[0], 5);
}

} // namespace

#include "host/blocktimebase.h"

namespace {

TEST_F(ChannelFixture, DrawersReachThePaneThroughItsServices)
{
    pane.SetLaneCount(2);
    IDrawerDataPane* services = pane.DrawerServices();
    ASSERT_NE(services, nullptr);
    platform::ComPtr<IUnknown> scale;
    EXPECT_EQ(services->GetLaneInformation(1, 2, scale.Out()), S_OK);
    EXPECT_EQ(scale.Get(), static_cast<IUnknown*>(pane.Lane(1)->Scale(2)));
    EXPECT_EQ(services->GetLaneInformation(2, 1, scale.Out()), E_INVALIDARG);
    // A lane whose first lane-1 selector word is negative answers with its lane-2 pair.
    pane.Lane(0)->lane2Selector[0] = 9;
    LONG pair[2]{};
    EXPECT_EQ(services->GetLaneSelectors(0, 0, pair), S_OK);
    EXPECT_EQ(pair[0], 9);
    pane.Lane(0)->lane1Selector[0] = 4;
    services->GetLaneSelectors(0, 0, pair);
    EXPECT_EQ(pair[0], 4);
    EXPECT_EQ(services->SetLayerOpacity(0, 2 * 256, 128), S_OK);
    EXPECT_EQ(pane.Lane(0)->Layer(2).alpha, 128);
    EXPECT_FALSE(pane.Lane(0)->Layer(2).flags & PaneLayer::kWhiteTransparent);
    EXPECT_EQ(services->SetLayerOpacity(0, 8 * 256, 128), E_INVALIDARG);
    struct Case {
        LONG index;
        HRESULT result;
        LONG bottom;
    } rects[] = {{0, S_OK, 200}, {-1, S_OK, pane.Lane(1)->rect.bottom}};
    for (const Case& c : rects) {
        RECT r{};
        EXPECT_EQ(services->GetDataRect(c.index, &r), c.result) << c.index;
        EXPECT_EQ(r.bottom, c.bottom) << c.index;
        EXPECT_EQ(r.left, pane.Margin());
    }
    pane.SetLaneGeometry({0, 10}, {10, 0}); // no lane higher than 12 pixels
    RECT r{};
    EXPECT_EQ(services->GetDataRect(-1, &r), E_FAIL);
}

TEST_F(ChannelFixture, VisibleTimeRangeFollowsTheView)
{
    ChartBlockPosition start;
    ChartBlockPosition end;
    EXPECT_EQ(pane.GetVisibleTimeRange(&start, &end), E_POINTER);
    auto timeBase = host::BlockTimeBase::Create(0.001);
    pane.SetTimeBase(timeBase.Get());
    EXPECT_EQ(pane.GetVisibleTimeRange(&start, &end), S_FALSE); // nothing recorded yet
    timeBase->AppendBlock(100000);
    pane.SetTimeBase(timeBase.Get());
    pane.GoToNewest();
    ASSERT_EQ(pane.GetVisibleTimeRange(&start, &end), S_OK);
    LONGLONG numerator = 0;
    LONGLONG denominator = 1;
    timeBase->GetCompression(&numerator, &denominator);
    // The view spans its visible width at the compression (ticks per pixel), ending at the recording's end.
    EXPECT_EQ(end.tick - start.tick, pane.Visible() * numerator / denominator);
    EXPECT_EQ(end.tick, 100000);
}

TEST_F(ChannelFixture, PaneStreamHoldsEveryChannelsState)
{
    pane.SetLaneCount(2);
    auto stream = platform::MemoryStream::Create();
    ASSERT_EQ(pane.Save(stream.Get()), S_OK);
    const std::vector<BYTE> expected{2, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(stream->Data(), expected);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(pane.Load(stream.Get()), S_OK);
    auto newer = platform::MemoryStream::Create(std::vector<BYTE>{3, 0, 0, 0});
    EXPECT_THROW(pane.Load(newer.Get()), XKVO);
    auto older = platform::MemoryStream::Create(std::vector<BYTE>{1, 0, 0, 0});
    EXPECT_EQ(pane.Load(older.Get()), S_OK);
}

} // namespace

namespace {

TEST_F(ChannelFixture, PreparePaintHandlesLayoutAndTimeBaseChangesOnce)
{
    EXPECT_FALSE(pane.PreparePaint()); // no time base
    auto timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(5000);
    pane.SetTimeBase(timeBase.Get());
    Lane().ClearPending();
    EXPECT_TRUE(pane.PreparePaint());
    EXPECT_TRUE(Lane().Layer(0).IsPending()); // a top-byte change redraws every layer
    DWORD left = 1;
    timeBase->GetChangeFlags(&left);
    EXPECT_EQ(left, 0u);
    EXPECT_FALSE(pane.PreparePaint()); // everything was handled
    pane.SetSize(300, 200); // a new layout
    EXPECT_TRUE(pane.PreparePaint());
    EXPECT_FALSE(pane.PreparePaint());
}

} // namespace

#include "tests/chartdraw/fakes.h"

namespace {

using charttest::FillDrawer;

TEST_F(ChannelFixture, DrawLayerRedrawsOneLayerOfTheChosenLanes)
{
    pane.scrollCopy = false; // draw straight into the DC
    pane.SetLaneCount(2);
    auto timeBase = host::BlockTimeBase::Create(0.001);
    timeBase->AppendBlock(100000);
    pane.SetTimeBase(timeBase.Get());
    pane.GoToNewest();
    std::vector<FillDrawer*> drawers;
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 0, 255)}) {
        drawers.push_back(new FillDrawer(513, colour));
        drawers.back()->AddRef();
        pane.Lane(drawers.size() - 1)->AddDrawer(0, drawers.back(), 255);
    }
    const POINT inLane0{200, (pane.Lane(0)->rect.top + pane.Lane(0)->rect.bottom) / 2};
    const POINT inLane1{200, (pane.Lane(1)->rect.top + pane.Lane(1)->rect.bottom) / 2};
    struct Case {
        const char* name;
        int layer;
        LONG lane;
        COLORREF lane0, lane1;
    } cases[] = {
        {"one lane", 2, 0, RGB(255, 0, 0), RGB(255, 255, 255)},
        {"every lane", 2, -1, RGB(255, 0, 0), RGB(0, 0, 255)},
        {"no such lane", 2, 5, RGB(255, 255, 255), RGB(255, 255, 255)},
        {"a layer without drawers", 3, -1, RGB(255, 255, 255), RGB(255, 255, 255)},
        {"layer 0 only paints", 0, -1, RGB(255, 255, 255), RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        charttest::Canvas canvas(400, 200);
        pane.DrawLayer(c.layer, true, 0, canvas.dc, c.lane, true);
        EXPECT_EQ(GetPixel(canvas.dc, inLane0.x, inLane0.y), c.lane0);
        EXPECT_EQ(GetPixel(canvas.dc, inLane1.x, inLane1.y), c.lane1);
    }
    for (FillDrawer* drawer : drawers) {
        drawer->Release();
    }
}

} // namespace

#include "chartdraw/onlinedata.h"

namespace {

// The host's recording as the online-data adapter reads it.
struct FakeRecording : IChartRecordData {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetRecordEndPosition(LONG, KVOPosition* position) override
    {
        *position = end;
        return S_OK;
    }
    HRESULT GetTickPeriod(LONG, LONG, double* period) override
    {
        *period = 0.001;
        return S_OK;
    }
    KVOPosition end;
};

TEST_F(ChannelFixture, HostSamplingNoticesDriveThePane)
{
    auto timeBase = host::BlockTimeBase::Create(0.001);
    pane.SetTimeBase(timeBase.Get());
    FakeRecording recording;
    platform::ComPtr<IOnlineDataSink> sink(PaneOnlineData::Create(pane, &recording));
    sink->Release(); // the holder keeps the one reference
    EXPECT_EQ(sink->SamplingStarted(0), S_OK);
    EXPECT_TRUE(pane.IsLive());
    EXPECT_EQ(sink->BlockStarted(0, 1, 0.001, 0, 0, 0, 0, 0, VARIANT_TRUE), S_OK);
    LONGLONG numerator = 0;
    LONGLONG denominator = 1;
    timeBase->GetCompression(&numerator, &denominator);
    for (LONG samples : {1000, 6000}) {
        recording.end = KVOPosition{samples, 0};
        EXPECT_EQ(sink->NewData(samples), S_OK);
        LONGLONG extent = 0;
        timeBase->GetExtent(&extent);
        EXPECT_EQ(extent, samples * denominator / numerator) << samples; // the record so far, in pixels
    }
    EXPECT_EQ(sink->SamplingStopped(0, 0), S_OK);
    EXPECT_TRUE(pane.IsLive()); // the block ended; sampling has not
    EXPECT_EQ(sink->AfterStop(VARIANT_FALSE), S_OK);
    EXPECT_FALSE(pane.IsLive());
}

} // namespace
