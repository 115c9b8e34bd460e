#include "chartdraw/tracedrawers.h"
#include "foundation/kvostring.h"
#include "host/chartserver.h"
#include "host/sweepdisplay.h"
#include "sdk/chartchannelsettings.h"
#include "platform/gdi/dc.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <typeinfo>
#include <vector>

using namespace ChartDraw;

namespace {

// A point source over a sine-free staircase: one vertical segment per x position, `perCall` positions per call.
struct FakePoints : IChartPointSource {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetPoints(LONG x, LONG positions, POINT* points, LONG maxPoints, LONG* count, LONG* consumed) override
    {
        ++calls;
        asked.push_back(maxPoints);
        const LONG n = std::min({positions, maxPoints / 2, perCall});
        for (LONG i = 0; i < n; ++i) {
            points[2 * i] = POINT{x + i, 5};
            points[2 * i + 1] = POINT{x + i, 15};
        }
        *count = exactlyFull ? maxPoints : 2 * n;
        *consumed = n;
        return S_OK;
    }
    HRESULT GetContinueTick(LONGLONG* tick) override
    {
        *tick = -1;
        return S_OK;
    }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetStart(double* tick) override
    {
        *tick = 0;
        return S_OK;
    }
    HRESULT SetOrigin(double, LONG) override { return S_OK; }
    ULONG refs = 0;
    int calls = 0;
    LONG perCall = 1000;
    bool exactlyFull = false;
    std::vector<LONG> asked;
};

class TraceDrawer : public PolyLineTraceDrawer {
public:
    using PolyLineTraceDrawer::PolyLineTraceDrawer;
    void Use(IChartPointSource* source) { block_ = source; }
};

class TraceTest : public ::testing::Test {
protected:
    charttest::Canvas canvas{600, 20};
    HDC dc = canvas.dc;
};

TEST_F(TraceTest, PointsComeInBatchesOfAtMost256AndEveryPositionIsDrawn)
{
    const COLORREF red = RGB(255, 0, 0);
    auto* drawer = new TraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    FakePoints points;
    drawer->Use(&points);
    EXPECT_EQ(drawer->DrawPoints(dc, 500, 0, 0, 0), 500);
    EXPECT_GE(points.calls, 4); // 128 segments per call at most
    for (LONG asked : points.asked) {
        EXPECT_EQ(asked, kChartPointBatch);
    }
    for (int x : {0, 127, 128, 255, 499}) {
        EXPECT_EQ(GetPixel(dc, x, 10), red) << x;
    }
    EXPECT_EQ(GetPixel(dc, 500, 10), RGB(255, 255, 255));
    drawer->Use(nullptr);
    drawer->Release();
}

TEST_F(TraceTest, AFullBatchKeepsTheLoopGoingAfterAShortConsumption)
{
    auto* drawer = new TraceDrawer(0, nullptr, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    FakePoints points;
    points.perCall = 10;
    points.exactlyFull = true; // 256 points back although only 10 positions were consumed
    drawer->Use(&points);
    EXPECT_EQ(drawer->DrawPoints(dc, 35, 0, 0, 0), 35);
    EXPECT_EQ(points.calls, 4);
    points.exactlyFull = false;
    points.calls = 0;
    EXPECT_EQ(drawer->DrawPoints(dc, 35, 0, 0, 0), 10); // a short batch ends the loop
    EXPECT_EQ(points.calls, 1);
    drawer->Use(nullptr);
    drawer->Release();
}

TEST(TraceDrawerContract, OtherLanesAreNotAnswered)
{
    auto* drawer = new TraceDrawer(1, nullptr, 0, kKindTrace, 3, 0);
    drawer->AddRef();
    const double scale[2]{2.0, 5.0};
    EXPECT_EQ(drawer->OnScaleChanged(0, 0, scale, nullptr), S_FALSE);
    EXPECT_EQ(drawer->YScale(), 1.0);
    EXPECT_EQ(drawer->RequestData(0, 0, 0, 0, 0, 0, 0), S_FALSE);
    IKVOString* unit = reinterpret_cast<IKVOString*>(1);
    EXPECT_EQ(drawer->GetUnitText(0, 0, &unit, nullptr), S_FALSE);
    EXPECT_EQ(unit, nullptr);
    EXPECT_EQ(drawer->OnScaleChanged(1, 0, scale, nullptr), S_OK);
    EXPECT_EQ(drawer->YScale(), 2.0);
    LONG pair[2]{};
    drawer->GetEffectiveChannel(pair);
    EXPECT_EQ(pair[0], 3);
    EXPECT_EQ(drawer->Clone(0, nullptr), E_INVALIDARG);
    IChartRecordDrawer* copy = nullptr;
    ASSERT_EQ(drawer->Clone(0, &copy), S_OK);
    DWORD kind = 0;
    copy->GetKind(&kind);
    EXPECT_EQ(kind, kKindTrace);
    EXPECT_EQ(static_cast<PolyLineTraceDrawer*>(copy)->YScale(), 1.0); // a plain poly-line drawer
    EXPECT_EQ(copy->Release(), 0u);
    IUnknown* data = reinterpret_cast<IUnknown*>(1);
    auto* none = new TraceDrawer(0, nullptr, 0, kKindTrace, -1, 0);
    none->AddRef();
    EXPECT_EQ(none->GetData(0, &data), S_FALSE);
    EXPECT_EQ(data, nullptr);
    none->Release();
    drawer->Release();
}

// A channel's settings as the host gives them; it notes the sub-selector whose colour was asked for.
struct FakeChannelSettings final : IChartChannelSettings {
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (answers && (iid == IID_IChartChannelSettings || iid == IID_IUnknown)) {
            *out = static_cast<IChartChannelSettings*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetPenWidth(LONG* width) override
    {
        *width = 3;
        return S_OK;
    }
    HRESULT GetStyle(LONG which, DWORD* style) override
    {
        *style = which == 2 ? 0x10001u : 0;
        return S_OK;
    }
    HRESULT GetColour(DWORD flags, LONG selector, COLORREF* colour) override
    {
        askedSelector = selector;
        *colour = flags == 0x80000000u ? RGB(10, 20, 30) : 0;
        return S_OK;
    }
    bool answers = true;
    LONG askedSelector = -1;
};

TEST(TraceDrawerContract, ChannelSettingsGiveStyleColourAndPenWidth)
{
    const struct Case {
        LONG channel;       // the drawer's channel
        DWORD subSelector;
        LONG alternate;
        LONG argument;      // the channel ApplyChannelSettings names
        bool answers;
        bool applies;
        LONG askedSelector;
    } cases[] = {
        {3, 1, kNoAlternateChannel, -1, true, true, 1},
        {3, 1, kNoAlternateChannel, 3, true, true, 1},
        {3, 1, kNoAlternateChannel, 4, true, false, -1},
        {3, 4, 7, 7, true, true, 9},  // sub-selector 4 goes by the alternate pair
        {3, 4, 7, 3, true, false, -1},
        {3, 4, kNoAlternateChannel, 3, true, true, 4},
        {3, 1, kNoAlternateChannel, -1, false, false, -1},
    };
    for (const Case& c : cases) {
        const COLORREF initial = RGB(1, 2, 3);
        auto* drawer = new TraceDrawer(1, &initial, 0, kKindTrace, c.channel, c.subSelector, c.alternate, 9);
        drawer->AddRef();
        FakeChannelSettings settings;
        settings.answers = c.answers;
        EXPECT_EQ(drawer->ApplyChannelSettings(&settings, nullptr, c.argument), S_OK);
        EXPECT_EQ(drawer->Colour(), c.applies ? RGB(10, 20, 30) : initial) << c.argument;
        EXPECT_EQ(drawer->Style(), c.applies ? 1u : 0u) << c.argument;
        EXPECT_EQ(drawer->PenWidth(), c.applies ? 3 : 1) << c.argument;
        EXPECT_EQ(settings.askedSelector, c.askedSelector) << c.argument;
        EXPECT_EQ(drawer->ApplyChannelSettings(nullptr, nullptr, -1), S_OK);
        drawer->Release();
    }
}

} // namespace

namespace {

TEST(NullTraceTest, ConsumesEveryPositionAndDrawsNothing)
{
    charttest::Canvas canvas(300, 20);
    struct Null : NullTraceDrawer {
        using NullTraceDrawer::NullTraceDrawer;
        void Use(IChartPointSource* source) { block_ = source; }
    };
    auto* drawer = new Null(0, nullptr, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    FakePoints points;
    points.perCall = 40;
    drawer->Use(&points);
    EXPECT_EQ(drawer->DrawPoints(canvas.dc, 250, 0, 0, 0), 1);
    EXPECT_EQ(points.calls, 7);
    for (int x : {0, 100, 249}) {
        EXPECT_EQ(GetPixel(canvas.dc, x, 10), RGB(255, 255, 255));
    }
    IChartRecordDrawer* copy = nullptr;
    ASSERT_EQ(drawer->Clone(0, &copy), S_OK);
    EXPECT_EQ(typeid(*copy), typeid(PolyLineTraceDrawer)); // every trace drawer copies into a plain one
    copy->Release();
    drawer->Use(nullptr);
    drawer->Release();
}

} // namespace

namespace {

// Shows every unit in brackets.
struct Brackets : UnitMapper {
    using UnitMapper::UnitMapper;
    HRESULT MapUnit(IKVOString** out, IKVOString* unit, LONG, LONG* extra) override
    {
        *extra = 0;
        *out = KVO::String(u"[" + std::u16string(unit->GetText()) + u"]").GetInterface();
        return S_OK;
    }
};

TEST(CustomUnitsTest, UnitTextComesThroughTheMapperForTheMappersChannel)
{
    auto document = host::Document::Create();
    document->AddChannel(u"I", u"pA");
    document->AddChannel(u"V", u"mV");
    document->AddBlock(0.001);
    auto server = host::ChartServer::Create(document);
    const struct {
        LONG mapperChannel;
        HRESULT result;
        WORD flag;
        const char16_t* text;
    } cases[] = {{1, S_FALSE, 0, u"[mV]"}, {7, S_OK, 0xFFFF, nullptr}};
    for (const auto& c : cases) {
        auto* drawer = new CustomUnitsPolyLineTraceDrawer(std::make_unique<Brackets>(c.mapperChannel, 0), 0, nullptr,
                                                          0, kKindTrace, 0, 0);
        drawer->AddRef();
        drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        IKVOString* text = nullptr;
        WORD flag = 0x1234;
        EXPECT_EQ(drawer->GetUnitText(0, 0, &text, &flag), c.result);
        EXPECT_EQ(flag, c.flag);
        if (c.text) {
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(std::u16string(text->GetText()), c.text);
            text->Release();
        } else {
            EXPECT_EQ(text, nullptr);
        }
        drawer->Release();
    }
}

} // namespace

namespace {

// A trace that a paused sweep display still draws.
class PausedTraceDrawer : public PolyLineTraceDrawer {
public:
    using PolyLineTraceDrawer::PolyLineTraceDrawer;
    bool DrawWhilePaused() const override { return true; }
};

// A sweep display 100 pixels wide at one tick per pixel over three sweeps of known rows: ticks 0..99 at row 10,
// 100..199 at row 50, 200..299 at row 90.
struct SweepTest : ::testing::Test {
    void SetUp() override
    {
        document->AddChannel(u"V", u"mV");
        document->AddBlock(0.001);
        std::vector<float> samples(300);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = i < 100 ? 10.0f : i < 200 ? 50.0f : 90.0f;
        }
        document->SetSamples(0, 0, samples);
        server->SetSweep(sweep.Get());
    }
    // Draws the visible stretch of a drawer into a fresh canvas.
    void Draw(PolyLineTraceDrawer& drawer, DWORD flags = 0)
    {
        canvas.Fill(RGB(255, 255, 255));
        drawer.SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        owl::TDC dc(canvas.dc);
        const RECT clip{0, 0, 100, 100};
        drawer.Draw(dc, 0, 100, 0, 0, 0, clip, flags, nullptr, 0);
    }
    bool Inked(int x, int y) const { return GetPixel(canvas.dc, x, y) == red; }
    std::shared_ptr<host::Document> document = host::Document::Create();
    platform::ComPtr<host::ChartServer> server = host::ChartServer::Create(document);
    platform::ComPtr<host::SweepDisplay> sweep = host::SweepDisplay::Create(100, 1.0);
    charttest::Canvas canvas{100, 100};
    COLORREF red = RGB(255, 0, 0);
};

TEST_F(SweepTest, TheNewestSweepIsDrawnLeftOfTheWrapAndTheOneBeforeItRightOfIt)
{
    auto* drawer = new PolyLineTraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    // The first sweep stops at the newest data.
    sweep->SetNewest(60);
    Draw(*drawer);
    ASSERT_NE(drawer->Sweep(), nullptr);
    EXPECT_TRUE(Inked(10, 10));
    EXPECT_FALSE(Inked(70, 10));
    EXPECT_EQ(drawer->LastX(), 60);

    // 230 ticks: the third sweep has reached x = 30 over the second.
    sweep->SetNewest(230);
    Draw(*drawer);
    for (int x : {0, 15, 28}) {
        EXPECT_TRUE(Inked(x, 90)) << x;
        EXPECT_FALSE(Inked(x, 50)) << x;
    }
    for (int x : {31, 60, 98}) {
        EXPECT_TRUE(Inked(x, 50)) << x;
        EXPECT_FALSE(Inked(x, 90)) << x;
    }
    EXPECT_FALSE(Inked(30, 70)); // no line joins the sweeps across the wrap
    EXPECT_FALSE(Inked(50, 10)); // the first sweep is gone
    EXPECT_EQ(drawer->LastX(), 100);
    drawer->Release();
}

TEST_F(SweepTest, APausedSweepIsDrawnOnlyByATraceThatDrawsWhilePaused)
{
    sweep->SetNewest(230);
    sweep->SetPaused(true);
    auto* drawer = new PolyLineTraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    Draw(*drawer);
    for (int x : {10, 60}) {
        for (int y : {50, 90}) {
            EXPECT_FALSE(Inked(x, y)) << x << "," << y;
        }
    }
    EXPECT_NE(drawer->CachedBlock(), nullptr); // kept for when the sweep goes on
    drawer->Release();

    auto* paused = new PausedTraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    paused->AddRef();
    Draw(*paused);
    EXPECT_TRUE(Inked(10, 90));
    EXPECT_TRUE(Inked(60, 50));
    paused->Release();

    // A scrolling display (no sweep) keeps drawing the stretch from x = 0 in order.
    server->SetSweep(nullptr);
    auto* plain = new PolyLineTraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    plain->AddRef();
    Draw(*plain);
    EXPECT_EQ(plain->Sweep(), nullptr);
    EXPECT_TRUE(Inked(10, 10));
    EXPECT_TRUE(Inked(60, 10));
    plain->Release();
}

// A trace whose colour hook gives green, and which notes its hooks in order.
class HookedTraceDrawer : public PolyLineTraceDrawer {
public:
    using PolyLineTraceDrawer::PolyLineTraceDrawer;
    void BeforeDrawing(LONG record) override { calls.push_back("before " + std::to_string(record)); }
    void BeginPoints(HDC, LONG fromX, LONG toX) override
    {
        calls.push_back("begin " + std::to_string(fromX) + ".." + std::to_string(toX));
    }
    void EndPoints(HDC) override { calls.push_back("end"); }
    void TraceColour(COLORREF* out, LONG, COLORREF colour) override
    {
        calls.push_back("colour");
        *out = colour == RGB(255, 0, 0) ? RGB(0, 160, 0) : colour;
    }
    std::vector<std::string> calls;
};

// Drawer services that note the colours they render against the background, and give them back unchanged.
struct NotingServices : charttest::TestServices {
    HRESULT GetContrastColour(COLORREF value, COLORREF* colour) override
    {
        rendered.push_back(value);
        *colour = value;
        return S_OK;
    }
    std::vector<COLORREF> rendered;
};

TEST_F(SweepTest, ASweepDisplayDrawsInTheColourThatTheColourModeGives)
{
    const struct Case {
        const char* name;
        DWORD mode; // the draw flags' low byte
        DWORD style;
        bool sweep;
        COLORREF expected;
        bool rendered; // by the drawer services against the background
    } cases[] = {
        {"screen", 0, 0, true, RGB(255, 0, 0), false},
        {"black and white", 2, 0, true, RGB(0, 0, 0), true},
        {"black and white, style 1", 2, 1, true, RGB(66, 66, 66), true},
        {"colour hook", 3, 0, true, RGB(0, 160, 0), false},
        {"black and white, no sweep", 2, 0, false, RGB(255, 0, 0), false},
        {"colour hook, no sweep", 3, 0, false, RGB(255, 0, 0), false},
    };
    sweep->SetNewest(60);
    for (const Case& c : cases) {
        server->SetSweep(c.sweep ? sweep.Get() : nullptr);
        NotingServices services;
        auto* drawer = new HookedTraceDrawer(0, &red, c.style, kKindTrace, 0, 0);
        drawer->AddRef();
        drawer->SetDrawerServices(&services);
        Draw(*drawer, kDrawKeepCached | c.mode);
        EXPECT_EQ(GetPixel(canvas.dc, 10, 10), c.expected) << c.name;
        EXPECT_EQ(std::count(services.rendered.begin(), services.rendered.end(), c.expected), c.rendered ? 1 : 0)
            << c.name;
        drawer->Release();
    }
}

TEST_F(SweepTest, TheHooksFrameTheDrawingOfThePoints)
{
    sweep->SetNewest(60);
    auto* drawer = new HookedTraceDrawer(0, &red, 0, kKindTrace, 0, 0);
    drawer->AddRef();
    Draw(*drawer, 3);
    EXPECT_EQ(drawer->calls, (std::vector<std::string>{"before 0", "begin 0..100", "colour", "end"}));
    drawer->Release();
}

} // namespace
