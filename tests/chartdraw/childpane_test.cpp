#include "chartdraw/childpane.h"
#include "chartdraw/pretrigger.h"
#include "chartdraw/tracedrawers.h"
#include "platform/gdi/dc.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ChartDraw;

namespace {

using charttest::TestOwner;

using charttest::FillDrawer;

class Pane : public ChildPaneBase {
public:
    using ChildPaneBase::ChildPaneBase;
    ULONG Refs() const { return static_cast<ULONG>(RefCountValue()); }
};

// Creates a pane with one reference that the test releases.
platform::ComPtr<Pane> MakePane(TestOwner& owner, RECT rect)
{
    auto pane = platform::ComPtr<Pane>(new Pane(0, &owner));
    const LONG pair[2]{0, 0};
    pane->SetPlacement(1, pair, rect);
    return pane;
}

void Add(Pane& pane, IChartRecordDrawer* drawer, DWORD flags = 0x80000000, BYTE alpha = 255)
{
    drawer->AddRef();
    pane.AddDrawer(flags, drawer, alpha);
    drawer->Release();
    // Placing the pane again makes the bitmaps of the layers that now own one, as the data pane's layout does.
    const LONG pair[2]{0, 0};
    const RECT rect = pane.rect;
    pane.SetPlacement(1, pair, rect);
}

COLORREF Probe(HDC dc, int x, int y) { return GetPixel(dc, x, y); }

TEST(ChildPaneTest, DrawersSortStablyByKindIntoLayerRanges)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    FillDrawer* a = new FillDrawer(513, 1);
    FillDrawer* b = new FillDrawer(1, 2);
    FillDrawer* c = new FillDrawer(1026, 3);
    FillDrawer* d = new FillDrawer(513, 4);
    FillDrawer* stray = new FillDrawer(2048, 5);
    for (IChartRecordDrawer* x : std::vector<IChartRecordDrawer*>{a, b, c, d, stray}) {
        Add(*pane.Get(), x, 0);
    }
    const std::vector<IChartRecordDrawer*> order{b, a, d, c, stray};
    ASSERT_EQ(pane->DrawerCount(), order.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(pane->DrawerAt(i), order[i]) << i;
    }
    const struct {
        int layer;
        LONG first, end;
    } ranges[] = {{0, 0, 1}, {1, -1, -1}, {2, 1, 3}, {3, -1, -1}, {4, 3, 4}, {5, -1, -1}, {6, -1, -1}, {7, -1, -1}};
    for (const auto& r : ranges) {
        EXPECT_EQ(pane->Layer(r.layer).first, r.first) << r.layer;
        EXPECT_EQ(pane->Layer(r.layer).end, r.end) << r.layer;
    }
    pane->SetLayerArea(2048, RECT{0, 0, 5, 5}); // no layer record for kinds of 2048 and more
    pane->RemoveDrawers(0, kNoAlternateChannel, kNoAlternateSelector);
    EXPECT_EQ(pane->DrawerCount(), 0u);
    for (int i = 0; i < ChildPaneBase::kLayers; ++i) {
        EXPECT_EQ(pane->Layer(i).first, -1);
    }
}

TEST(ChildPaneTest, HitTestExcludesRightAndBottomEdges)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{10, 20, 30, 40});
    const struct {
        POINT p;
        bool in;
    } cases[] = {{{10, 20}, true}, {{29, 39}, true}, {{30, 25}, false}, {{15, 40}, false}, {{9, 25}, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(pane->HitTest(c.p), c.in) << c.p.x << "," << c.p.y;
    }
}

TEST(ChildPaneTest, ContrastColourInvertsOnlyOnBlack)
{
    EXPECT_EQ(ChildPaneBase::ContrastColour(RGB(10, 20, 30), RGB(255, 255, 255)), RGB(10, 20, 30));
    EXPECT_EQ(ChildPaneBase::ContrastColour(RGB(0, 0, 0), RGB(0, 0, 0)), RGB(255, 255, 255));
    EXPECT_EQ(ChildPaneBase::ContrastColour(RGB(255, 255, 255), RGB(0, 0, 0)), RGB(0, 0, 0));
}

class LayerPixels : public ::testing::Test {
protected:
    void DrawAndPaint(Pane& pane)
    {
        pane.DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
        pane.Paint(target, 0, false);
    }
    charttest::Canvas canvas{220, 60};
    HDC target = canvas.dc;
};

TEST_F(LayerPixels, WhiteIsTransparentWhenALayerIsComposedOverTheBackground)
{
    // At the origin and away from it (the layer bitmaps then map the pane's left edge to their column 0).
    for (const POINT corner : {POINT{0, 0}, POINT{12, 8}}) {
        SCOPED_TRACE(corner.x);
        canvas.Fill(RGB(255, 255, 255));
        TestOwner owner;
        auto pane = MakePane(owner, RECT{corner.x, corner.y, corner.x + 200, corner.y + 40});
        Add(*pane.Get(), new FillDrawer(1, RGB(0, 0, 255)));
        // The trace layer: red on its left half, white elsewhere.
        Add(*pane.Get(), new FillDrawer(513, RGB(255, 0, 0), RECT{corner.x, 0, corner.x + 100, 40}));
        DrawAndPaint(*pane.Get());
        EXPECT_EQ(Probe(target, corner.x + 50, corner.y + 20), RGB(255, 0, 0));
        EXPECT_EQ(Probe(target, corner.x + 150, corner.y + 20), RGB(0, 0, 255));
        EXPECT_FALSE(pane->Layer(2).IsPending());
    }
}

TEST_F(LayerPixels, FailingCompositionLeavesTheLayerPendingAndDoesNotThrow)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    Add(*pane.Get(), new FillDrawer(1, RGB(0, 0, 255)));
    Add(*pane.Get(), new FillDrawer(513, RGB(255, 0, 0)));
    gdi::FailTransparentBlt(1, 8);
    EXPECT_NO_THROW(pane->DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7));
    EXPECT_TRUE(pane->Layer(2).IsPending());
    pane->DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
    EXPECT_FALSE(pane->Layer(2).IsPending());
}

TEST_F(LayerPixels, TranslucentTopLayerBlendsAtHalfAlpha)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    Add(*pane.Get(), new FillDrawer(1, RGB(0, 0, 200)));
    Add(*pane.Get(), new FillDrawer(7 * 256, RGB(200, 0, 0)), 0x80000000 | PaneLayer::kBlendOnly, 128);
    pane->SetLayerArea(7 * 256, RECT{50, 0, 100, 40});
    const LONG pair[2]{0, 0};
    pane->SetPlacement(1, pair, RECT{0, 0, 200, 40}); // bitmaps for the layers that now own one
    DrawAndPaint(*pane.Get());
    const COLORREF blended = Probe(target, 75, 20);
    EXPECT_NEAR(GetRValue(blended), 200 * 128 / 255, 2);
    EXPECT_NEAR(GetBValue(blended), 200 * 127 / 255, 2);
    EXPECT_EQ(Probe(target, 25, 20), RGB(0, 0, 200));
}

TEST_F(LayerPixels, ScrollCopiesPixelsAndMarksTheVacatedBand)
{
    for (const LONG d : {10, -10}) {
        TestOwner owner;
        auto pane = MakePane(owner, RECT{0, 0, 200, 40});
        Add(*pane.Get(), new FillDrawer(1, RGB(255, 255, 255)));
        Add(*pane.Get(), new FillDrawer(513, RGB(0, 128, 0), RECT{100, 0, 101, 40}));
        pane->DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
        PaneLayer& traces = pane->Layer(2);
        ASSERT_FALSE(traces.IsPending());
        pane->ScrollLayers(d, true);
        HDC layerDc = traces.bitmap->dc;
        EXPECT_EQ(GetPixel(layerDc, 100 + d, 5), RGB(0, 128, 0)) << d;
        EXPECT_EQ(traces.pending.left, d > 0 ? 0 : 190) << d;
        EXPECT_EQ(traces.pending.right, d > 0 ? 10 : 200) << d;
        EXPECT_EQ(traces.pending.bottom, 40);
        EXPECT_TRUE(traces.IsPending());
    }
}

TEST_F(LayerPixels, JumpScrollMovesThePendingSpanWithoutCopying)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    Add(*pane.Get(), new FillDrawer(1, RGB(255, 255, 255)));
    Add(*pane.Get(), new FillDrawer(513, RGB(0, 128, 0), RECT{100, 0, 101, 40}));
    pane->DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
    PaneLayer& traces = pane->Layer(2);
    traces.pending = RECT{50, 0, 60, 40};
    pane->ScrollLayers(10, false);
    EXPECT_EQ(GetPixel(traces.bitmap->dc, 100, 5), RGB(0, 128, 0));
    EXPECT_EQ(GetPixel(traces.bitmap->dc, 110, 5), RGB(255, 255, 255));
    EXPECT_EQ(traces.pending.left, 0);
    EXPECT_EQ(traces.pending.right, 70);
    // Pushed past the edge: both edges end on it, then the band replaces it.
    traces.pending = RECT{195, 0, 199, 40};
    pane->ScrollLayers(10, false);
    EXPECT_EQ(traces.pending.left, 0);
    EXPECT_EQ(traces.pending.right, 10);
}

TEST_F(LayerPixels, FrameAndSeparator)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{10, 10, 100, 30});
    pane->DrawFrame(target);
    EXPECT_EQ(Probe(target, 9, 20), RGB(195, 195, 195));
    EXPECT_EQ(Probe(target, 50, 30), RGB(195, 195, 195));
    EXPECT_EQ(Probe(target, 50, 20), RGB(255, 255, 255));
    auto flat = MakePane(owner, RECT{10, 45, 100, 45});
    Add(*flat.Get(), new FillDrawer(1, RGB(255, 0, 0)));
    flat->DrawFrame(target);
    flat->DrawLayers(target, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
    EXPECT_EQ(Probe(target, 50, 45), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(static_cast<FillDrawer*>(flat->DrawerAt(0))->draws, 0);
}

TEST(ChildPaneTest, CopySkipsNullDrawersAndClonesTheOthers)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 100, 20});
    Add(*pane.Get(), new FillDrawer(513, 1));
    auto copy = platform::ComPtr<Pane>(new Pane(*pane.Get()));
    ASSERT_EQ(copy->DrawerCount(), 1u);
    EXPECT_NE(copy->DrawerAt(0), pane->DrawerAt(0));
    DWORD kind = 0;
    copy->DrawerAt(0)->GetKind(&kind);
    EXPECT_EQ(kind, 513u);
}

TEST(PreTriggerTest, HatchWidthIsTheNextMultipleOfTwenty)
{
    const struct {
        int height, width;
    } cases[] = {{1, 20}, {20, 20}, {21, 40}, {60, 60}};
    for (const auto& c : cases) {
        DrawPreTriggerBackground hatch;
        hatch.Build(0, c.height);
        EXPECT_EQ(hatch.HatchWidth(), c.width) << c.height;
    }
}

TEST_F(LayerPixels, HatchKeepsItsPhaseAndLeavesWhiteStencilPixelsUnchanged)
{
    DrawPreTriggerBackground hatch;
    hatch.Build(0, 30);
    const RECT all{0, 0, 220, 60};
    HBRUSH grey = CreateSolidBrush(RGB(90, 90, 90));
    FillRect(target, &all, grey);
    DeleteObject(grey);
    EXPECT_EQ(hatch.Draw(target, 1234, 0, 200), 0);
    std::vector<COLORREF> first;
    int hatched = 0;
    for (int x = 0; x < 200; ++x) {
        const COLORREF c = GetPixel(target, x, 10);
        EXPECT_TRUE(c == RGB(90, 90, 90) || c == RGB(255, 239, 210)) << x;
        hatched += c == RGB(255, 239, 210);
        first.push_back(c);
    }
    EXPECT_GT(hatched, 0);
    EXPECT_LT(hatched, 200);
    FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    hatch.Draw(target, 1234, 0, 200);
    for (int x = 0; x < 200; ++x) {
        EXPECT_EQ(GetPixel(target, x, 10) == RGB(255, 239, 210), first[x] == RGB(255, 239, 210)) << x;
    }
    EXPECT_EQ(hatch.Draw(target, 0, 50, 50), 1);
}

// The stripes are fixed to the data: a stretch that starts k ticks later shows the stripes of the earlier one moved
// k pixels left, so they scroll with the data; a whole hatch width later they look the same.
TEST_F(LayerPixels, TheHatchMovesWithTheTicks)
{
    DrawPreTriggerBackground hatch;
    hatch.Build(0, 30);
    const auto stripes = [&](std::int64_t tick) {
        canvas.Fill(RGB(90, 90, 90));
        hatch.Draw(target, tick, 0, 200);
        std::vector<bool> hatched;
        for (int x = 0; x < 200; ++x) {
            hatched.push_back(GetPixel(target, x, 10) == RGB(255, 239, 210));
        }
        return hatched;
    };
    const std::vector<bool> first = stripes(1234);
    for (const int later : {1, 7, 13, 20, 27}) {
        const std::vector<bool> moved = stripes(1234 + later);
        for (int x = 0; x + later < 200; ++x) {
            ASSERT_EQ(moved[x], first[x + later]) << "ticks later " << later << ", x " << x;
        }
    }
}

} // namespace

namespace {

// Marks the column of one tick in red.
class TickMark : public DrawerBase {
public:
    explicit TickMark(LONGLONG tick, DWORD kind = 513, LONG left = 0, LONG right = 0)
        : DrawerBase(kind, 0, 0, kNoAlternateChannel, kNoAlternateSelector), tick_(tick), left_(left), right_(right)
    {
    }
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* a, LONG* b, LONG) override
    {
        *flags = 0;
        *a = left_;
        *b = right_;
        return S_OK;
    }
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG, LONG, LONG x, const RECT&, DWORD,
                 const TimeDivisions*, LONG) override
    {
        if (tick_ >= from && tick_ < to) {
            const LONG column = x + static_cast<LONG>(tick_ - from);
            const RECT r{column, 0, column + 1, lane.bottom - lane.top};
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            FillRect(dc, &r, red);
            DeleteObject(red);
        }
        return S_OK;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }

private:
    LONGLONG tick_;
    LONG left_;
    LONG right_;
};

TEST_F(LayerPixels, SweepDisplayWrapsTheStretchRoundTheCursor)
{
    const struct {
        bool jump;
        LONGLONG tick;
        int markedX;
    } cases[] = {{false, 10, 10}, {true, 10, 160}, {true, 120, 70}};
    for (const auto& c : cases) {
        TestOwner owner;
        owner.jump = c.jump;
        owner.sweep = 150;
        auto pane = MakePane(owner, RECT{0, 0, 200, 40});
        Add(*pane.Get(), new FillDrawer(1, RGB(255, 255, 255)));
        Add(*pane.Get(), new TickMark(c.tick), 0); // no bitmap of its own: drawn into the background's
        const RECT lane{0, 0, 200, 40};
        pane->DrawerAt(1)->SetRect(1, &lane);
        pane->DrawLayers(target, TickMapping{}, nullptr, 1u << 26, 0, 0, 0, 7);
        HDC background = pane->Layer(0).bitmap->dc;
        POINT origin{};
        SetViewportOrgEx(background, 0, 0, &origin);
        for (int x = 0; x < 200; ++x) {
            EXPECT_EQ(GetPixel(background, x, 20) == RGB(255, 0, 0), x == c.markedX) << c.tick << " at " << x;
        }
        SetViewportOrgEx(background, origin.x, origin.y, nullptr);
    }
}

TEST(ChildPaneTest, UpdateSpansWidenByTheDrawersOverhangs)
{
    TestOwner owner;
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    Add(*pane.Get(), new TickMark(0, 513, 3, 1));
    Add(*pane.Get(), new TickMark(0, 1026, 1, 5));
    Add(*pane.Get(), new TickMark(0, 4000, 30, 30)); // belongs to no layer: no overhang
    LONG x0 = 0;
    LONG x1 = 0;
    const RECT region{50, 0, 80, 40};
    pane->ClearPending();
    pane->ComputeUpdateSpan(&region, 0, &x0, &x1, true);
    EXPECT_EQ(x0, 47);
    EXPECT_EQ(x1, 85);
    EXPECT_EQ(pane->Layer(2).pending.left, 50);
    EXPECT_EQ(pane->Layer(2).pending.right, 80);
    EXPECT_TRUE(pane->Layer(2).flags & PaneLayer::kPending);
}

} // namespace

namespace {

// Valid up to a fixed tick.
class Latest : public FillDrawer {
public:
    explicit Latest(LONGLONG tick) : FillDrawer(513, RGB(0, 0, 0)), tick_(tick) {}
    HRESULT GetLatestTick(LONG, LONG, LONGLONG, LONGLONG, LONGLONG* tick) override
    {
        *tick = tick_;
        return S_OK;
    }

private:
    LONGLONG tick_;
};

TEST(ChildPaneTest, NewDataRedrawsTheTraceLayersRightOfTheLatestValidTick)
{
    TestOwner owner; // tick t lies at x = t
    auto pane = MakePane(owner, RECT{0, 0, 200, 40});
    Add(*pane.Get(), new FillDrawer(1, RGB(255, 255, 255)));
    Add(*pane.Get(), new Latest(150));
    pane->ClearPending();
    owner.invalidated.clear();
    LONGLONG newest = 0;
    pane->OnDataArrived(100, 180, &newest);
    EXPECT_EQ(newest, 150);
    for (int layer : {0, 2, 3}) {
        EXPECT_EQ(pane->Layer(layer).pending.left, 150) << layer;
        EXPECT_EQ(pane->Layer(layer).pending.right, 200) << layer;
        EXPECT_TRUE(pane->Layer(layer).flags & PaneLayer::kPending) << layer;
    }
    EXPECT_FALSE(pane->Layer(4).flags & PaneLayer::kPending);
    ASSERT_EQ(owner.invalidated.size(), 1u);
    EXPECT_EQ(owner.invalidated[0].right, 200);
}

} // namespace
