// The grid over tables of 1 k and 1 M rows: scrolling to the last row, selecting every row of a column, changing the
// row extent and painting the row-number strip at the end of the table. None of them walks the off-screen rows,
// so each costs the same at both sizes; the paint of one visible screen is the yardstick beside them.
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/rownumberspane.h"

#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace TVF_Grid;

// Cell styles of an event table: plain numbers, a few cells left-aligned at random.
class Styles final : public ITableDataManager {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetCell(DWORD, LONG, LONG, IKVOString** text) override
    {
        *text = nullptr;
        return S_OK;
    }
    HRESULT GetCellStyle(DWORD, LONG row, LONG, LONG* style) override
    {
        *style = (static_cast<std::uint32_t>(row) * 2654435761u) % 7 == 0 ? 1 : 0;
        return S_OK;
    }
    HRESULT GetColumnCount(DWORD, LONG* count) override
    {
        *count = 9;
        return S_OK;
    }
    HRESULT GetName(DWORD, IKVOString** text) override
    {
        *text = nullptr;
        return S_OK;
    }
    HRESULT GetTitle(DWORD, IKVOString** text) override
    {
        *text = nullptr;
        return S_OK;
    }
};

class Frame : public OWL::TWindow {
public:
    Frame() : OWL::TWindow(nullptr, u"frame")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 800;
        Attr.H = 600;
    }
};

struct Table {
    Styles styles;
    std::unique_ptr<Frame> frame = std::make_unique<Frame>();
    EventGridControl* grid;

    explicit Table(int rows)
    {
        ui::reset();
        grid = new EventGridControl(frame.get());
        grid->SetSelection(std::make_unique<GridSelection>(*grid, false));
        grid->SetDataManager(&styles, nullptr, 8);
        grid->RowNumbers().SetWidthValue(60);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> width(50, 120);
        for (int c = 0; c < 8; ++c)
            grid->Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, c, u"", width(random)));
        frame->Create();
        grid->SetWindowPos(nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
        grid->SetDataExtent({rows + 1, 1});
        grid->SetRowExtent(rows + 1, 1);
        ui::RenderWindow(frame->GetHandle());
    }
};

void BM_ScrollToLastRow(benchmark::State& state)
{
    Table table(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        table.grid->ScrollToRow({1, 1});
        table.grid->ScrollToLastRow();
        benchmark::DoNotOptimize(table.grid->Pane().TopRow());
    }
}

void BM_SelectAllRowsOfAColumn(benchmark::State& state)
{
    Table table(static_cast<int>(state.range(0)));
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        table.grid->Selection()->SetRange({{1, 1}, {rows + 1, 1}, {2, 1}, {3, 1}});
        table.grid->Selection()->SetRange({{1, 1}, {rows + 1, 1}, {3, 1}, {4, 1}});
    }
}

void BM_SetRowExtent(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    Table table(rows);
    table.grid->ScrollToLastRow();
    for (auto _ : state) {
        table.grid->SetRowExtent(rows, 1);
        table.grid->SetRowExtent(rows + 1, 1);
    }
}

// One visible screen of row numbers at the end of the table.
void BM_PaintRowNumbersScreen(benchmark::State& state)
{
    Table table(static_cast<int>(state.range(0)));
    table.grid->ScrollToLastRow();
    HWND strip = table.grid->RowNumbers().GetHandle();
    for (auto _ : state) {
        InvalidateRect(strip, nullptr, TRUE);
        benchmark::DoNotOptimize(ui::RenderWindow(strip));
    }
}

BENCHMARK(BM_ScrollToLastRow)->Arg(1'000)->Arg(1'000'000);
BENCHMARK(BM_SelectAllRowsOfAColumn)->Arg(1'000)->Arg(1'000'000);
BENCHMARK(BM_SetRowExtent)->Arg(1'000)->Arg(1'000'000);
BENCHMARK(BM_PaintRowNumbersScreen)->Arg(1'000)->Arg(1'000'000);

} // namespace

BENCHMARK_MAIN();
