// Painting one screen of the table view's event grid (the renderer drawing every visible column of cells) at the end
// of tables of 1 k and 1 M events, the cells read by the analysis document's table data from the records of its
// results store. The store is filled with cardiac records directly, without an analysis (a million beats would take
// about 7 G samples), with twelve parameter columns of varied values. The renderer reads only the visible rows, so
// both sizes cost the same. Beside it, in the same run, the plain baseline of the same data: the same visible
// records read from the store and their numbers written as text with std::to_chars. Build in Release.
#include "document/cycledetector.h"
#include "document/paramcatalogue.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "host/docframework.h"
#include "host/host.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/tvfrenderer.h"
#include "tableview/tvf/tvftableview.h"
#include "tableview/tvftableviewmgr.h"
#include "tests/document/preparedevents.h"

#include "platform/ui/window.h"
#include "sdk/ikvostring.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kColumns = 12;
constexpr int kVisible = 40;

host::Host& StartedHost()
{
    static host::Host* instance = [] {
        auto* created = new host::Host;
        created->Start();
        return created;
    }();
    return *instance;
}

struct NoTables final : CX::Doc::PersistTables {
    TVF_TableViewMgr* TableManager() override { return nullptr; }
    CX::TableViewData* TableData() override { return nullptr; }
};

// Beats every 0.4 to 0.9 s at 10 kHz, with every measured field varied over its own scale (heights of about
// 100 mV, times of milliseconds to seconds, slopes of hundreds of volts per second).
std::vector<CX::Enum::EventFCalc> Beats(std::int32_t count)
{
    std::mt19937 random(29);
    std::uniform_real_distribution<double> spread(0.5, 1.5);
    std::vector<CX::Enum::EventFCalc> beats(static_cast<std::size_t>(count));
    std::int32_t tick = 2000;
    for (std::int32_t i = 0; i < count; ++i) {
        CX::Enum::EventFCalc& beat = beats[static_cast<std::size_t>(i)];
        beat.tick = tick;
        beat.count = i + 1;
        // The measured floats from tStart on, each near a scale of its own.
        constexpr std::size_t first = offsetof(CX::Enum::EventFCalc, tStart);
        constexpr std::size_t fields = (sizeof(CX::Enum::EventFCalc) - first) / sizeof(float);
        for (std::size_t f = 0; f < fields; ++f) {
            const float value = static_cast<float>(std::pow(10.0, static_cast<double>(f % 7) - 3.0) * spread(random) *
                                                   (f % 5 == 0 ? -1.0 : 1.0));
            std::memcpy(reinterpret_cast<char*>(&beat) + first + f * sizeof(float), &value, sizeof value);
        }
        beat.height = static_cast<float>(105.0 * spread(random));
        tick += static_cast<std::int32_t>(4000 + 5000 * (spread(random) - 0.5));
    }
    return beats;
}

// The analysis document's results store and table data, type 1 with twelve parameter columns.
struct Results {
    explicit Results(std::int32_t count)
        : hostDocument(host::HostDocument::Create(StartedHost().Log(), 7, StartedHost().NewChartData())),
          persist(hostDocument->AsUnknown(), tables), store(hostDocument->AsUnknown(), persist),
          data(new CX::TableViewData(&store, &persist.Settings()))
    {
        data->AddRef();
        CX::Doc::SettingsSet& settings = persist.Settings();
        settings.SetLong(2001, 0);
        settings.AddChannel(0, -1, nullptr);
        settings.Find(CX::Doc::SettingId::kAnalysisType)->FromText(KVO::String(u"1"), true);
        const CX::ParamCatalogue& catalogue = *settings.Catalogue();
        for (std::int32_t line = 0; line < catalogue.RowCount(1); ++line) {
            settings.SetBool(catalogue.RowAt(1, line).Code, line < kColumns);
        }
        auto source = doctest::Prepared(Beats(count), CX::Doc::CycleDetector::kRecordBytes);
        if (!store.BeginBlock(0, source.Get(), kTickPeriod) || !store.EnumerateTo(-1)) {
            ok = false;
        }
        store.EndBlock();
    }
    ~Results() { data->Release(); }

    static constexpr double kTickPeriod = 0.0001; // 10 kHz
    platform::ComPtr<host::HostDocument> hostDocument;
    NoTables tables;
    CX::Doc::PersistSettings persist;
    CX::Doc::CycleDetector store;
    CX::TableViewData* data;
    bool ok = true;
};

Results& Stored(std::int32_t count)
{
    static std::map<std::int32_t, std::unique_ptr<Results>> made;
    std::unique_ptr<Results>& results = made[count];
    if (!results) {
        results = std::make_unique<Results>(count);
    }
    return *results;
}

class Frame : public OWL::TWindow {
public:
    Frame() : OWL::TWindow(nullptr, u"frame")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 1000;
        Attr.H = 700;
    }
};

class NoActions final : public ITableUserActionHandler {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnSelectionChanged(DWORD, const TableRange*, LONG) override { return S_OK; }
    HRESULT OnCellAction(DWORD, LONG, LONG) override { return S_OK; }
    HRESULT OnCellNotify(DWORD, LONG, LONG, IKVOString*) override { return S_OK; }
    HRESULT OnCellNotifyEx(DWORD, LONG, LONG, LONG, LONG) override { return S_OK; }
    HRESULT OnFollowLatestChanged(DWORD, VARIANT_BOOL) override { return S_OK; }
};

void PaintOneScreen(benchmark::State& state)
{
    const LONG rows = static_cast<LONG>(state.range(0));
    Results& results = Stored(rows);
    if (!results.ok || results.store.EventCount() != rows || results.store.CollectSelectedParameters() != kColumns) {
        const std::string why = "the results store took " + std::to_string(results.store.EventCount()) +
                                " records with " + std::to_string(results.store.Columns().size()) + " columns";
        state.SkipWithError(why.c_str());
        return;
    }
    CX::TableViewData* table = results.data;
    NoActions actions;
    Frame frame;
    frame.Create();
    TVF_TableViewMgr* made = nullptr;
    TVF::CreateTableViewManager(&made);
    auto manager = platform::ComPtr<TVF_TableViewMgr>::Adopt(made);
    manager->CreateTableView(0x27A, frame.GetHandle(), nullptr, nullptr, table, table, &actions, nullptr);
    // Without a host view the window is not initialised by the manager: initialise it as the manager would.
    manager->Window()->Initialize(0x27A, manager.Get(), table, manager.Get(), nullptr);
    manager->SetLayout(0, 0, 0, 1000, 660, 60, 100, 100);
    manager->Refresh(0);

    TVF_Grid::EventGridControl& grid = manager->Window()->EventGrid();
    TVF_Renderer& renderer = *manager->Window()->EventRenderer();
    const int visible = kVisible;
    const int first = std::max<int>(rows - visible, 0) + 1;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1000, visible * 16);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (auto _ : state) {
        int left = 0;
        for (int c = 0; c < grid.Pane().ColumnCount(); ++c) {
            const int right = left + grid.Pane().Column(c)->Width();
            TVF_Grid::UniformRowPosCursor cursor(0, TVF_Grid::GridPos{first, 1}, TVF_Grid::GridPos{rows + 1, 1}, 16);
            int widest = 0;
            int lowest = 0;
            renderer.PaintColumn(dc, c, RECT{left, 0, right, visible * 16}, cursor, TVF_Grid::GridPos{rows + 1, 1},
                                 &widest, &lowest);
            benchmark::DoNotOptimize(lowest);
            left = right + 1;
        }
    }
    state.counters["cells"] = benchmark::Counter(static_cast<double>(visible) * kColumns * state.iterations(),
                                                 benchmark::Counter::kIsRate);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    manager->DestroyTableView(0);
}

// The same visible records read from the store and their numbers written as text: the row number and the twelve
// parameter values of each (the fields the columns show are of the same kind and count).
void PlainCells(benchmark::State& state)
{
    const auto rows = static_cast<std::int32_t>(state.range(0));
    Results& results = Stored(rows);
    const std::int32_t first = std::max(rows - kVisible, 0);
    char text[32];
    for (auto _ : state) {
        std::size_t written = 0;
        for (std::int32_t row = first; row < rows; ++row) {
            const CX::Enum::EventFCalc& beat = results.store.EventAt(row).record;
            written += static_cast<std::size_t>(std::to_chars(text, text + sizeof text, row + 1).ptr - text);
            const float* values = &beat.tStart;
            for (int column = 0; column < kColumns; ++column) {
                written += static_cast<std::size_t>(
                    std::to_chars(text, text + sizeof text, static_cast<double>(values[column]),
                                  std::chars_format::general, 4).ptr - text);
            }
        }
        benchmark::DoNotOptimize(written);
    }
    state.counters["cells"] = benchmark::Counter(static_cast<double>(kVisible) * kColumns * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}

} // namespace

// Each paint beside the plain baseline of the same table, in the same run.
BENCHMARK(PaintOneScreen)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainCells)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintOneScreen)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainCells)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
