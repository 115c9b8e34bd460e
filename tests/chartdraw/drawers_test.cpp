#include "chartdraw/eventdrawer.h"
#include "chartdraw/graticule.h"
#include "host/chartserver.h"
#include "host/sweepdisplay.h"
#include "sdk/chartchannelsettings.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <map>
#include <vector>

using namespace ChartDraw;

namespace {

using charttest::Canvas;

struct Tracked : DrawerBase {
    explicit Tracked(bool* gone) : DrawerBase(kKindTrace, 2, 4, 7, 1), gone_(gone) {}
    Tracked(const Tracked& other) : DrawerBase(other), gone_(nullptr) {}
    ~Tracked() override
    {
        if (gone_) *gone_ = true;
    }
    HRESULT GetCapabilities(LONG, DWORD*, LONG*, LONG*, LONG) override { return S_OK; }
    HRESULT Draw(owl::TDC&, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT&, DWORD, const TimeDivisions*,
                 LONG) override
    {
        return S_OK;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }
    bool* gone_;
};

std::shared_ptr<host::Document> OneChannel(int samples)
{
    auto document = host::Document::Create();
    document->AddChannel(u"I", u"pA");
    document->AddBlock(0.001);
    document->SetSamples(0, 0, std::vector<float>(static_cast<std::size_t>(samples), 0.0f));
    return document;
}

TEST(DrawerBaseTest, CountsReferencesAndDiesAtTheLastRelease)
{
    bool gone = false;
    auto* drawer = new Tracked(&gone);
    EXPECT_EQ(drawer->RefCountValue(), 0);
    EXPECT_EQ(drawer->AddRef(), 1u);
    EXPECT_EQ(drawer->Release(), 0u);
    EXPECT_TRUE(gone);
}

TEST(DrawerBaseTest, EffectiveChannelAndClones)
{
    auto* drawer = new Tracked(nullptr);
    drawer->AddRef();
    LONG pair[2]{};
    drawer->GetEffectiveChannel(pair);
    EXPECT_EQ(pair[0], 7);
    EXPECT_EQ(pair[1], 1);
    drawer->alternateChannel = kNoAlternateChannel;
    drawer->GetEffectiveChannel(pair);
    EXPECT_EQ(pair[0], 2);
    EXPECT_EQ(pair[1], 4);

    auto server = host::ChartServer::Create(OneChannel(10));
    drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    EXPECT_EQ(drawer->Clone(0, nullptr), E_INVALIDARG);
    IChartRecordDrawer* copy = nullptr;
    ASSERT_EQ(drawer->Clone(0, &copy), S_OK);
    auto* clone = static_cast<Tracked*>(copy);
    EXPECT_EQ(clone->RefCountValue(), 1);
    EXPECT_EQ(clone->kind, drawer->kind);
    EXPECT_EQ(clone->styleFlags, drawer->styleFlags);
    EXPECT_EQ(clone->subSelector, drawer->subSelector);
    EXPECT_EQ(clone->DataSource(), nullptr);
    EXPECT_EQ(clone->DataServer(), nullptr);
    copy->Release();

    // An empty source lets the previous one go and keeps the data server.
    drawer->SetDataSource(0, nullptr);
    EXPECT_EQ(drawer->DataSource(), nullptr);
    EXPECT_NE(drawer->DataServer(), nullptr);
    drawer->Release();
}

struct BackgroundCase {
    const char* name;
    DWORD graticuleFlags;
    LONG laneChannel; // the channel the pane's lane shows; 5 has no data in the recording
    bool sampling;
    COLORREF expected;
};

TEST(GraticuleTest, BackgroundColourFollowsTheLaneState)
{
    const BackgroundCase cases[] = {
        {"shown", 0, 0, false, RGB(250, 250, 250)},
        {"sampling the current record", 0, 0, true, GraticuleDrawer::kSamplingLane},
        {"no channel data", 0, 5, false, GetSysColor(COLOR_3DLIGHT)},
        {"no rows and no columns", GraticuleDrawer::kNoRows | GraticuleDrawer::kNoColumns, 0, false,
         GetSysColor(COLOR_3DLIGHT)},
    };
    auto server = host::ChartServer::Create(OneChannel(100));
    for (const BackgroundCase& c : cases) {
        charttest::TestServices services;
        services.background = RGB(250, 250, 250);
        services.laneChannel = c.laneChannel;
        auto* graticule = new GraticuleDrawer(0, 0, c.graticuleFlags, RGB(0, 0, 0), 0, 0, 0);
        graticule->AddRef();
        graticule->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
        graticule->SetDrawerServices(&services);
        const RECT lane{0, 0, 40, 20};
        graticule->SetRect(0, &lane);
        if (c.sampling) {
            graticule->OnSamplingStart(0, 0);
        }
        Canvas canvas(40, 20, RGB(1, 2, 3));
        owl::TDC dc(canvas.dc);
        const TimeDivisions grid{0, 0, 10, 2};
        graticule->Draw(dc, 0, 40, 0, 0, 0, lane, 0, &grid, 0);
        EXPECT_EQ(GetPixel(canvas.dc, 3, 5), c.expected) << c.name;
        graticule->Release();
    }
}

// A channel's grid options and threshold levels as the host's settings would give them.
struct FakeLaneSettings final : IChartGridOptions, IChartLevelSettings {
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IChartGridOptions && grid) {
            *out = static_cast<IChartGridOptions*>(this);
        } else if (iid == IID_IChartLevelSettings && levels) {
            *out = static_cast<IChartLevelSettings*>(this);
        }
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetGrid(DWORD* choice, COLORREF* colour, WORD* show) override
    {
        *choice = 1;
        *colour = RGB(0, 90, 0);
        *show = 0;
        return S_OK;
    }
    HRESULT GetShowLabels(WORD* show) override
    {
        *show = 0;
        return S_OK;
    }
    HRESULT GetLevelLine(LONG index, WORD* set, WORD* line, COLORREF* colour) override
    {
        *set = 0xFFFF;
        *line = index == 1 ? 0xFFFF : 0;
        *colour = RGB(index, 0, 0);
        return S_OK;
    }
    HRESULT GetLevelValue(LONG index, double* value, BSTR* unit, BSTR* note) override
    {
        if (index == 2) {
            return E_FAIL; // level 2 keeps its value and texts
        }
        *value = 2.5;
        *unit = SysAllocString(u"mV");
        *note = SysAllocString(u"threshold");
        return S_OK;
    }
    HRESULT GetLevelFills(WORD on[3], COLORREF colours[3]) override
    {
        on[0] = 0xFFFF;
        on[1] = 0;
        on[2] = 0xFFFF;
        colours[1] = RGB(1, 2, 3);
        return S_OK;
    }
    bool grid = true;
    bool levels = true;
};

TEST(GraticuleTest, ChannelSettingsGiveTheGridAndTheLevels)
{
    auto* graticule = new GraticuleDrawer(0, 0, 0, RGB(0, 0, 0), 0, 0, 0);
    graticule->AddRef();
    graticule->Settings().flags = GraticuleSettings::kFillBetween | GraticuleSettings::kLine2;
    FakeLaneSettings settings;
    IUnknown* asSettings = static_cast<IChartGridOptions*>(&settings);
    settings.levels = false;
    EXPECT_EQ(graticule->ApplyChannelSettings(asSettings, asSettings, 0), S_OK);
    EXPECT_FALSE(graticule->ShowsGrid());
    EXPECT_FALSE(graticule->ShowsLabels());
    EXPECT_EQ(graticule->ColumnStencilChoice(), 1u);
    EXPECT_EQ(graticule->GridColour(), RGB(0, 90, 0));
    EXPECT_EQ(graticule->Settings().flags, GraticuleSettings::kFillBetween | GraticuleSettings::kLine2);

    settings.grid = false;
    settings.levels = true;
    EXPECT_EQ(graticule->ApplyChannelSettings(asSettings, asSettings, 0), S_OK);
    const GraticuleSettings& record = graticule->Settings();
    EXPECT_EQ(record.flags, GraticuleSettings::kLevel1 | GraticuleSettings::kLine1 | GraticuleSettings::kLevel2 |
                                GraticuleSettings::kFillBelow | GraticuleSettings::kFillAbove);
    EXPECT_EQ(record.line1, RGB(1, 0, 0));
    EXPECT_EQ(record.line2, RGB(2, 0, 0));
    EXPECT_EQ(record.level1, 2.5);
    EXPECT_TRUE(std::isnan(record.level2));
    EXPECT_EQ(record.texts[0], KVO::String(u"mV"));
    EXPECT_EQ(record.texts[2], KVO::String(u"threshold"));
    EXPECT_EQ(record.texts[1], KVO::String());
    EXPECT_EQ(record.band, RGB(1, 2, 3));
    EXPECT_EQ(record.below, RGB(254, 194, 194));
    EXPECT_EQ(graticule->ApplyChannelSettings(nullptr, nullptr, 0), S_OK);
    graticule->Release();
}

// The pixels at x 10 and the given rows of a 30-pixel lane drawn without a grid, with two levels and their flags,
// and the band's colour.
struct LevelPixels {
    std::vector<COLORREF> rows;
    COLORREF band;
};
LevelPixels DrawLevels(double level1, double level2, DWORD flags, std::initializer_list<int> rows)
{
    auto server = host::ChartServer::Create(OneChannel(100));
    charttest::TestServices services; // values -1.5 .. 1.5 over the lane
    auto* graticule = new GraticuleDrawer(0, 0, 0, RGB(0, 0, 0), 0, 0, 0);
    graticule->AddRef();
    graticule->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    graticule->SetDrawerServices(&services);
    graticule->SetOption(1);
    graticule->SetShowGrid(false);
    const RECT lane{0, 0, 30, 30};
    graticule->SetRect(0, &lane);
    GraticuleSettings& levels = graticule->Settings();
    levels.level1 = level1;
    levels.level2 = level2;
    levels.flags = flags;
    Canvas canvas(30, 30, RGB(1, 2, 3));
    owl::TDC dc(canvas.dc);
    graticule->Draw(dc, 0, 30, 0, 0, 0, lane, 0, nullptr, 0);
    LevelPixels drawn{{}, levels.band};
    for (int y : rows) {
        drawn.rows.push_back(GetPixel(canvas.dc, 10, y));
    }
    graticule->Release();
    return drawn;
}

TEST(GraticuleTest, LevelsFarOutsideTheLaneBandTheWholeLane)
{
    const LevelPixels drawn = DrawLevels(
        -1e9, 1e9, GraticuleSettings::kLevel1 | GraticuleSettings::kLevel2 | GraticuleSettings::kFillBetween, {0, 15, 29});
    for (COLORREF pixel : drawn.rows) {
        EXPECT_EQ(pixel, drawn.band);
    }
}

// The band between the levels is filled only when both levels are set and the band is asked for.
TEST(GraticuleTest, TheBandNeedsBothLevelsAndItsFill)
{
    const struct {
        DWORD flags;
        bool band;
    } cases[] = {{GraticuleSettings::kFillBetween, false},
                 {GraticuleSettings::kFillBetween | GraticuleSettings::kLevel1, false},
                 {GraticuleSettings::kFillBetween | GraticuleSettings::kLevel2, false},
                 {GraticuleSettings::kLevel1 | GraticuleSettings::kLevel2, false},
                 {GraticuleSettings::kFillBetween | GraticuleSettings::kLevel1 | GraticuleSettings::kLevel2, true}};
    for (const auto& c : cases) {
        const LevelPixels drawn = DrawLevels(-0.5, 0.5, c.flags, {15});
        EXPECT_EQ(drawn.rows[0] == drawn.band, c.band) << std::hex << c.flags;
    }
}

// Value divisions at fixed rows: 5 (minor) and 12 (major).
struct TwoRows : IScaleDivisions {
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IScaleDivisions ? static_cast<IScaleDivisions*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetCount(LONG* count) override
    {
        *count = 2;
        return S_OK;
    }
    HRESULT GetDivisions(LONG, LONG* rows, LONG* kinds, LONG* written) override
    {
        rows[0] = 5;
        kinds[0] = 1;
        rows[1] = 12;
        kinds[1] = 2;
        *written = 2;
        return S_OK;
    }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetRange(double* low, double* high) override
    {
        *low = -100;
        *high = 100;
        return S_OK;
    }
};

TEST(GraticuleTest, WhiteStencilPixelsLeaveTheTargetAndRowsTakeTheGridColour)
{
    auto server = host::ChartServer::Create(OneChannel(100));
    charttest::TestServices services;
    // No background fill and no columns: only the row stencils touch the target.
    auto* graticule = new GraticuleDrawer(0, 0, GraticuleDrawer::kNoBackground | GraticuleDrawer::kNoColumns,
                                          RGB(0, 0, 0), 0, 0, 0);
    graticule->AddRef();
    graticule->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    graticule->SetDrawerServices(&services);
    const RECT lane{0, 0, 20, 20};
    graticule->SetRect(0, &lane);
    TwoRows rows;
    const double identity[2]{1, 0};
    graticule->OnScaleChanged(1, 0, identity, &rows);
    Canvas canvas(20, 20);
    canvas.Fill(RGB(10, 200, 30));
    owl::TDC dc(canvas.dc);
    graticule->Draw(dc, 0, 20, 0, 0, 0, lane, 0, nullptr, 0);
    for (int y = 0; y < 20; ++y) {
        const COLORREF pixel = GetPixel(canvas.dc, 7, y);
        if (y == 5 || y == 12) {
            EXPECT_NE(pixel, RGB(10, 200, 30)) << y;
        } else {
            EXPECT_EQ(pixel, RGB(10, 200, 30)) << y;
        }
    }
    EXPECT_NE(GetPixel(canvas.dc, 7, 5), GetPixel(canvas.dc, 7, 12)); // minor and major colours differ

    // A lane of height 0 keeps the stencils; a metafile copy fills no background.
    const RECT flat{0, 0, 20, 0};
    graticule->SetRect(0, &flat);
    EXPECT_EQ(graticule->StencilHeight(), 20);
    IChartRecordDrawer* copy = nullptr;
    ASSERT_EQ(graticule->Clone(1u << 30, &copy), S_OK);
    EXPECT_TRUE(dynamic_cast<MetafileGraticuleDrawer*>(copy) != nullptr);
    EXPECT_TRUE(static_cast<GraticuleDrawer*>(copy)->GraticuleFlags() & GraticuleDrawer::kNoBackground);
    EXPECT_EQ(graticule->Clone(0, nullptr), S_OK);
    copy->Release();
    graticule->Release();
}

namespace {
// The widths of the runs of pixels that differ from `background` along row y.
// Whether column x holds any pixel that is not white, from row 0 to height - 1.
bool InkedColumn(HDC dc, int x, int height)
{
    for (int y = 0; y < height; ++y) {
        if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
            return true;
        }
    }
    return false;
}

std::vector<int> RunsAlong(HDC dc, int width, int y, COLORREF background)
{
    std::vector<int> runs;
    int run = 0;
    for (int x = 0; x <= width; ++x) {
        if (x < width && GetPixel(dc, x, y) != background) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    return runs;
}

// A graticule that draws nothing but its record start marks, attached as a pane attaches it; one reference.
GraticuleDrawer* MarksOnly(host::ChartServer& server, charttest::TestServices& services, const RECT& lane,
                           DWORD option)
{
    auto* graticule = new GraticuleDrawer(0, 0, GraticuleDrawer::kNoBackground | GraticuleDrawer::kNoColumns,
                                          RGB(0, 0, 0), 0, 0, 0);
    graticule->AddRef();
    graticule->SetShowGrid(false);
    graticule->SetOption(option);
    graticule->SetDataSource(0, static_cast<IChartDataSource*>(&server));
    graticule->SetDrawerServices(&services);
    graticule->SetRect(0, &lane);
    return graticule;
}
} // namespace

TEST(GraticuleTest, TheRecordStartMarkIsBlackAndMillimetreWideOnPaper)
{
    auto server = host::ChartServer::Create(OneChannel(100));
    charttest::TestServices services;
    services.pixelsPerMm = 10;
    const RECT lane{0, 0, 40, 20};
    struct Case {
        DWORD printWord;
        COLORREF colour;
        int width;
    } cases[] = {{0, RGB(0, 0, 128), 2}, {1, RGB(0, 0, 0), 4}};
    for (const Case& c : cases) {
        services.printWord = c.printWord;
        GraticuleDrawer* graticule = MarksOnly(*server.Get(), services, lane, 0);
        Canvas canvas(40, 20, RGB(255, 255, 255));
        owl::TDC dc(canvas.dc);
        // The stretch begins 10 pixels (ticks) before the record's data.
        server->SetView(0, -10, 1.0, 0);
        graticule->Draw(dc, -10, 30, -10, 0, 0, lane, 0, nullptr, 0);
        const std::vector<int> runs = RunsAlong(canvas.dc, 40, 8, RGB(255, 255, 255));
        ASSERT_EQ(runs.size(), 1u) << c.printWord;
        EXPECT_EQ(runs[0], c.width) << c.printWord;
        EXPECT_EQ(GetPixel(canvas.dc, 10, 8), c.colour) << c.printWord;
        if (!c.printWord) {
            EXPECT_EQ(GetPixel(canvas.dc, 10, 19), RGB(255, 255, 255)) << "2 pixels short of the bottom";
        }
        graticule->Release();
    }
}

TEST(GraticuleTest, ASelectedLaneMarksItsRecordStartInTheLabelAreaToo)
{
    charttest::TestServices services; // the lane shows channel 0; the pane's option word is set
    services.pixelsPerMm = 10;         // on paper: 0.3 mm is 3 pixels, 0.4 mm 4
    const RECT lane{0, 0, 120, 20};
    struct Case {
        const char* name;
        bool selected;
        DWORD option;
        DWORD printWord;
        std::vector<int> runs; // widths of the marks from left to right
    } cases[] = {
        {"selected, on the screen", true, 1, 0, {1, 2}},
        {"selected, on paper", true, 1, 1, {3, 4}},
        {"not selected", false, 1, 0, {2}},
        {"not selected, on paper", false, 1, 1, {4}},
        {"selected, no option word", true, 0, 0, {2}},
    };
    for (const Case& c : cases) {
        auto server = host::ChartServer::Create(OneChannel(100));
        server->SetChannelSelected(0, c.selected);
        server->SetChannelSelected(3, true); // another lane's selection does not count
        services.printWord = c.printWord;
        GraticuleDrawer* graticule = MarksOnly(*server.Get(), services, lane, c.option);
        Canvas canvas(120, 20, RGB(255, 255, 255));
        owl::TDC dc(canvas.dc);
        // The stretch begins 60 pixels (ticks) before the record's data.
        server->SetView(0, -60, 1.0, 0);
        graticule->Draw(dc, -60, 60, -60, 0, 0, lane, 0, nullptr, 0);
        EXPECT_EQ(RunsAlong(canvas.dc, 120, 8, RGB(255, 255, 255)), c.runs) << c.name;
        if (c.runs.size() == 2) {
            // The label area that the data source was told of ends where the record's data begin.
            const LONG area = server->layoutValues[0x80000002];
            EXPECT_GT(area, 7) << "the labels were measured: " << c.name;
            EXPECT_EQ(GetPixel(canvas.dc, 60 - area, 8), RGB(0, 0, 0)) << c.name;
            if (!c.printWord) {
                EXPECT_EQ(GetPixel(canvas.dc, 60 - area, 18), RGB(255, 255, 255)) << "2 pixels short of the bottom";
            }
        }
        graticule->Release();
    }
}

// The stretch's offset counts ticks; the mark stands where the data source puts tick 0 of the record, and so does
// the label area's line before it, at whatever compression.
TEST(GraticuleTest, TheRecordStartMarkStandsAtTheRecordStartAtAnyCompression)
{
    charttest::TestServices services;
    const RECT lane{0, 0, 300, 20};
    const struct Case {
        double ticksPerPixel;
        LONG pixelsBefore; // of the stretch before the record's first tick
    } cases[] = {{1.0, 120}, {4.0, 50}, {52.0, 5}};
    for (const Case& c : cases) {
        auto server = host::ChartServer::Create(OneChannel(100));
        server->SetChannelSelected(0, true);
        const LONGLONG from = -static_cast<LONGLONG>(c.pixelsBefore * c.ticksPerPixel);
        server->SetView(0, static_cast<double>(from), c.ticksPerPixel, 0);
        GraticuleDrawer* graticule = MarksOnly(*server.Get(), services, lane, 1);
        Canvas canvas(300, 20, RGB(255, 255, 255));
        owl::TDC dc(canvas.dc);
        const LONGLONG to = from + static_cast<LONGLONG>(300 * c.ticksPerPixel);
        graticule->Draw(dc, from, to, from, 0, 0, lane, 0, nullptr, 0);
        const LONG area = server->layoutValues[0x80000002];
        std::vector<int> expected{c.pixelsBefore - area};
        if (c.pixelsBefore - area < 0) {
            expected.clear(); // the label area's line lies left of the lane
        }
        std::vector<int> found;
        for (int x = 0; x < 300; ++x) {
            const bool inked = GetPixel(canvas.dc, x, 8) != RGB(255, 255, 255);
            if (inked && (x == 0 || GetPixel(canvas.dc, x - 1, 8) == RGB(255, 255, 255))) {
                found.push_back(x);
            }
        }
        expected.push_back(c.pixelsBefore - 1); // two pixels wide, about the record start
        EXPECT_EQ(found, expected) << c.ticksPerPixel << " ticks a pixel";
        EXPECT_EQ(GetPixel(canvas.dc, c.pixelsBefore, 8), RGB(0, 0, 128)) << c.ticksPerPixel;
        graticule->Release();
    }
}

TEST(GraticuleTest, AMetafileGridDrawsMajorColumnsWithTheMajorPen)
{
    auto server = host::ChartServer::Create(OneChannel(100));
    charttest::TestServices services;
    services.pixelsPerMm = 10; // major 3 pixels, minor 2
    auto* graticule = new GraticuleDrawer(0, 0, GraticuleDrawer::kNoRows, RGB(0, 0, 0), 0, 0, 0);
    graticule->AddRef();
    graticule->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    graticule->SetDrawerServices(&services);
    IChartRecordDrawer* copy = nullptr;
    ASSERT_EQ(graticule->Clone(1u << 30, &copy), S_OK);
    auto* metafile = static_cast<GraticuleDrawer*>(copy);
    metafile->SetDrawerServices(&services);
    const RECT lane{0, 0, 60, 30};
    metafile->SetRect(0, &lane);
    TimeDivisions divisions;
    divisions.firstMinor = 10;
    divisions.firstMajor = 10;
    divisions.minorStep = 10;
    divisions.minorPerMajor = 2; // major at 10, 30, 50; minor only at 20, 40
    Canvas canvas(60, 30, RGB(255, 255, 255));
    owl::TDC dc(canvas.dc);
    metafile->Draw(dc, 0, 60, 0, 0, 0, lane, 0, &divisions, 0);
    // Dotted lines: the widest run over the rows is the pen's width.
    std::map<int, int> widest;
    for (int y = 0; y < 30; ++y) {
        int x = 0;
        int run = 0;
        for (x = 0; x <= 60; ++x) {
            if (x < 60 && GetPixel(canvas.dc, x, y) != RGB(255, 255, 255)) {
                ++run;
            } else if (run > 0) {
                const int centre = (x - run + x - 1) / 2;
                widest[(centre + 5) / 10 * 10] = std::max(widest[(centre + 5) / 10 * 10], run);
                run = 0;
            }
        }
    }
    EXPECT_EQ(widest[20], 2);
    EXPECT_EQ(widest[40], 2);
    EXPECT_EQ(widest[30], 3);
    EXPECT_EQ(widest[50], 3);
    copy->Release();
    graticule->Release();
}

struct Mark {
    std::int32_t tick;
    float offset;
};

// An event drawer over a new event channel of the marks, at one tick a pixel in a lane 30 pixels high; one reference.
EventDrawer* MarksDrawer(host::ChartServer& server, const std::vector<Mark>& marks, const RECT& lane)
{
    const int channel = server.AddEventChannel({host::EventArray::Of(marks)});
    server.SetView(0, 0, 1.0, 0);
    auto* drawer = new EventDrawer(0, channel, 0);
    drawer->AddRef();
    drawer->SetDataSource(0, static_cast<IChartDataSource*>(&server));
    drawer->SetRect(0, &lane);
    return drawer;
}

TEST(EventDrawerTest, AnEventAtTheStretchEndEndsTheLoopAndTheDropFlagAsksAgain)
{
    auto server = host::ChartServer::Create(OneChannel(1000));
    const RECT lane{0, 0, 400, 30};
    EventDrawer* drawer = MarksDrawer(
        *server.Get(), {{100, 0.0f}, {200, 0.0f}, {250, std::numeric_limits<float>::quiet_NaN()}, {300, 0.0f}}, lane);
    Canvas canvas(400, 30);
    canvas.Fill(RGB(255, 255, 255));
    owl::TDC dc(canvas.dc);
    drawer->Draw(dc, 50, 300, 0, 0, 50, lane, kDrawKeepCached, nullptr, 0);
    EXPECT_EQ(server->EventRequests(), 1);
    auto marked = [&](int x) { return InkedColumn(canvas.dc, x, 30); };
    EXPECT_TRUE(marked(100));
    EXPECT_TRUE(marked(200));
    EXPECT_FALSE(marked(250)); // no valid time
    EXPECT_FALSE(marked(300)); // at the stretch end
    LONGLONG latest = 0;
    EXPECT_EQ(drawer->GetLatestTick(0, 0, 0, 0, &latest), S_OK);
    EXPECT_EQ(latest, 200);
    drawer->Draw(dc, 50, 300, 0, 0, 50, lane, kDrawKeepCached, nullptr, 0);
    EXPECT_EQ(server->EventRequests(), 1); // the cached source
    drawer->Draw(dc, 50, 300, 0, 0, 50, lane, kDrawKeepCached | kDrawDropCached, nullptr, 0);
    EXPECT_EQ(server->EventRequests(), 2);
    drawer->Draw(dc, 50, 301, 0, 0, 50, lane, 0, nullptr, 0);
    EXPECT_TRUE(marked(300));
    EXPECT_FALSE(drawer->HasCachedSource());
    drawer->Release();
}

// The previews draw every layer into one bitmap: the event line's gaps must leave the trace under it as it is.
TEST(EventDrawerTest, TheDottedLineKeepsTheTraceUnderIt)
{
    auto server = host::ChartServer::Create(OneChannel(1000));
    const RECT lane{0, 0, 200, 30};
    EventDrawer* drawer = MarksDrawer(*server.Get(), {{100, 0.0f}}, lane);
    Canvas canvas(200, 30);
    owl::TDC dc(canvas.dc);
    const COLORREF trace = RGB(255, 0, 128);
    // An upstroke drawn on the column of the event.
    HPEN pen = CreatePen(PS_SOLID, 1, trace);
    HGDIOBJ previous = SelectObject(canvas.dc, pen);
    MoveToEx(canvas.dc, 100, 0, nullptr);
    LineTo(canvas.dc, 100, 30);
    SelectObject(canvas.dc, previous);
    DeleteObject(pen);
    const int mode = GetBkMode(canvas.dc);
    drawer->Draw(dc, 0, 200, 0, 0, 0, lane, 0, nullptr, 0);
    int keptTrace = 0;
    int dots = 0;
    for (int y = 0; y < 30; ++y) {
        if (y >= 15 - 5 && y <= 15 + 5) {
            continue; // the event's circle
        }
        const COLORREF pixel = GetPixel(canvas.dc, 100, y);
        keptTrace += pixel == trace;
        dots += pixel == RGB(192, 192, 192);
        EXPECT_NE(pixel, RGB(255, 255, 255)) << "y = " << y;
    }
    EXPECT_GT(dots, 5);     // the line is drawn,
    EXPECT_GT(keptTrace, 5); // and its gaps show the trace
    EXPECT_EQ(GetBkMode(canvas.dc), mode);
    drawer->Release();
}

TEST(EventDrawerTest, ASweepDisplayGivesTheTicksOfTheStretch)
{
    auto server = host::ChartServer::Create(OneChannel(1000));
    const std::vector<Mark> marks{{100, 0.0f}, {200, 0.0f}};
    const int channel = server->AddEventChannel({host::EventArray::Of(marks)});
    server->SetView(0, 0, 1.0, 0);
    // Four ticks a pixel: the stretch from x = 50 starts at tick 200, after the first event.
    auto sweep = host::SweepDisplay::Create(400, 4.0);
    sweep->SetNewest(1000);
    server->SetSweep(sweep.Get());
    auto* drawer = new EventDrawer(0, channel, 0);
    drawer->AddRef();
    drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    const RECT lane{0, 0, 400, 30};
    drawer->SetRect(0, &lane);
    Canvas canvas(400, 30);
    auto marked = [&](int x) { return InkedColumn(canvas.dc, x, 30); };
    canvas.Fill(RGB(255, 255, 255));
    owl::TDC dc(canvas.dc);
    drawer->Draw(dc, 50, 300, 0, 0, 50, lane, 0, nullptr, 0);
    EXPECT_FALSE(marked(100));
    EXPECT_TRUE(marked(200));
    // A record the sweep does not show draws nothing.
    canvas.Fill(RGB(255, 255, 255));
    drawer->Draw(dc, 50, 300, 0, 1, 50, lane, 0, nullptr, 0);
    EXPECT_FALSE(marked(200));
    drawer->Release();
}

} // namespace
