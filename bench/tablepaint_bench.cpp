// Painting one screen of the table view's event grid (the renderer drawing every visible column of cells) at the end
// of tables of 1 k and 1 M events. The renderer reads only the visible rows, so both sizes cost the same; the cells
// are numbers as the analysis writes them, with varied values.
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/tvfrenderer.h"
#include "tableview/tvf/tvftableview.h"
#include "tableview/tvftableviewmgr.h"

#include "platform/ui/window.h"
#include "sdk/ikvostring.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

constexpr int kColumns = 12;

// Rows of varied parameter values computed from the row number (as a results store answers from its records).
class EventTable final : public ITableDataManager, public ITableStoredRowInfo {
public:
    explicit EventTable(LONG rows) : rows_(rows) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetCell(DWORD flags, LONG row, LONG column, IKVOString** text) override
    {
        std::string cell;
        if (row == 0) {
            cell = column == 0 ? "" : "Param" + std::to_string(column) + " (mV)";
        } else if (flags & TableGrid::kSummary) {
            cell = "S" + std::to_string(column);
        } else if (column == 0) {
            cell = std::to_string(row);
        } else {
            const double value = std::sin(row * 0.37 + column) * std::pow(10.0, column % 5) + row * 1e-3;
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.4g", value);
            cell = buffer;
        }
        *text = KVO::String(std::u16string(cell.begin(), cell.end())).GetInterface();
        return S_OK;
    }
    HRESULT GetCellStyle(DWORD, LONG row, LONG column, LONG* style) override
    {
        *style = (row == 0 && column > 0 ? CellStyle::kColumnTitle : 0) | (column == 0 && row > 0 ? CellStyle::kRowTitle : 0);
        return S_OK;
    }
    HRESULT GetColumnCount(DWORD, LONG* count) override
    {
        *count = kColumns + 1;
        return S_OK;
    }
    HRESULT GetName(DWORD, IKVOString** text) override { return GetTitle(0, text); }
    HRESULT GetTitle(DWORD, IKVOString** text) override
    {
        *text = KVO::String(u"Events").GetInterface();
        return S_OK;
    }
    HRESULT GetRowCount(DWORD flags, LONG* count) override
    {
        *count = (flags & TableGrid::kSummary) ? 5 : rows_ + 1;
        return S_OK;
    }

private:
    LONG rows_;
};

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
    EventTable table(rows);
    NoActions actions;
    Frame frame;
    frame.Create();
    TVF_TableViewMgr* made = nullptr;
    TVF::CreateTableViewManager(&made);
    auto manager = platform::ComPtr<TVF_TableViewMgr>::Adopt(made);
    manager->CreateTableView(0x27A, frame.GetHandle(), nullptr, nullptr, &table, &table, &actions, nullptr);
    // Without a host view the window is not initialised by the manager: initialise it as the manager would.
    manager->Window()->Initialize(0x27A, manager.Get(), &table, manager.Get(), nullptr);
    manager->SetLayout(0, 0, 0, 1000, 660, 60, 100, 100);
    manager->Refresh(0);

    TVF_Grid::EventGridControl& grid = manager->Window()->EventGrid();
    TVF_Renderer& renderer = *manager->Window()->EventRenderer();
    const int visible = 40;
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

} // namespace

BENCHMARK(PaintOneScreen)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
