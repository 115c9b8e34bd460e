// Painting one screen of a data pane at one compression, for recordings of 1 M and 100 M samples, with the product's
// trace drawer reading the host's chart data (its data server's point source over the document's samples). The pane
// reads only the visible stretch, so both cost the same. Beside it, in the same run, a plain min/max read of the same
// stretch of the same samples: the least any drawing of one segment per pixel column must read. Both report samples
// per second (items_per_second); their ratio is the paint's cost in plain reads. Build in Release.
#include "bench/recordings.h"
#include "chartdraw/datapane.h"
#include "chartdraw/tracedrawers.h"
#include "host/blocktimebase.h"
#include "host/chartserver.h"
#include "host/document.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>

namespace {

constexpr LONG kWidth = 1002; // 1000 visible pixels
constexpr LONG kHeight = 200;
constexpr LONGLONG kTicksPerPixel = 20;

// A cardiac recording at 10 kHz as the host holds it; longer recordings repeat a 1 M-sample stretch.
const std::shared_ptr<host::Document>& Recording(LONGLONG count)
{
    static std::map<LONGLONG, std::shared_ptr<host::Document>> made;
    static const std::vector<float> base = benchrec::Cardiac(1000000, 11).samples;
    std::shared_ptr<host::Document>& document = made[count];
    if (!document) {
        made.clear(); // one recording at a time: 100 M samples are 400 MB
        std::vector<float> samples;
        samples.reserve(static_cast<std::size_t>(count));
        while (static_cast<LONGLONG>(samples.size()) < count) {
            const std::size_t n = std::min<std::size_t>(base.size(), static_cast<std::size_t>(count) - samples.size());
            samples.insert(samples.end(), base.begin(), base.begin() + static_cast<std::ptrdiff_t>(n));
        }
        auto created = host::Document::Create();
        created->AddChannel(u"Vm", u"mV");
        created->SetSamples(created->AddBlock(benchrec::kTickPeriod), 0, std::move(samples));
        made[count] = created;
        return made[count];
    }
    return document;
}

void PaintOneScreen(benchmark::State& state)
{
    const LONGLONG count = state.range(0);
    const std::shared_ptr<host::Document>& document = Recording(count);
    auto timeBase = host::BlockTimeBase::Create(benchrec::kTickPeriod);
    timeBase->AppendBlock(count);
    ChartDraw::DataPane pane;
    pane.SetLaneCount(1);
    pane.SetSize(kWidth, kHeight);
    pane.SetTimeBase(timeBase.Get());
    pane.SetCompression(KVORationalImp(kTicksPerPixel, 1), nullptr, false);
    pane.ScrollToPosition(ChartBlockPosition{count / 2, 0}, 1); // the middle of the recording
    ChartBlockPosition start;
    ChartBlockPosition end;
    pane.GetVisibleTimeRange(&start, &end);

    // The host's data server shows the pane's stretch: its first visible tick at the pane's first visible column.
    auto server = host::ChartServer::Create(document);
    server->SetView(0, static_cast<double>(start.tick), static_cast<double>(kTicksPerPixel), pane.Margin());
    const COLORREF colour = RGB(0, 0, 200);
    auto* drawer = new ChartDraw::PolyLineTraceDrawer(0, &colour, 0, ChartDraw::kKindTrace, 0, 0);
    drawer->AddRef();
    drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    const double scale[2]{-kHeight / 130.0, -50.0}; // rows of (value - 50 mV) * -200 / 130: -80 mV to +40 mV
    drawer->OnScaleChanged(0, 0, scale, nullptr);
    pane.Lane(0)->AddDrawer(0, drawer, 255);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all{0, 0, kWidth, kHeight};
    const int requestsBefore = server->PointSourceRequests();
    for (auto _ : state) {
        pane.Lane(0)->InvalidateAll();
        pane.PaintLayers(dc, all);
        benchmark::ClobberMemory();
    }
    if (server->PointSourceRequests() == requestsBefore) {
        state.SkipWithError("the pane did not ask the trace drawer for the data server's points");
    }
    state.SetItemsProcessed(state.iterations() * pane.Visible() * kTicksPerPixel);
    drawer->Release();
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// The same stretch of the same samples read plainly: min and max of every column's samples.
void PlainReadOfOneScreen(benchmark::State& state)
{
    const LONGLONG count = state.range(0);
    const auto samples = Recording(count)->Samples(0, 0);
    const LONGLONG first = count / 2 - 500 * kTicksPerPixel;
    for (auto _ : state) {
        float sum = 0;
        for (LONGLONG column = 0; column < 1000; ++column) {
            const auto begin = samples.begin() + first + column * kTicksPerPixel;
            const auto [lo, hi] = std::minmax_element(begin, begin + kTicksPerPixel);
            sum += *hi - *lo;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * kTicksPerPixel);
}

// Each paint beside the plain read of the same recording, in the same run.
BENCHMARK(PaintOneScreen)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainReadOfOneScreen)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintOneScreen)->Arg(100000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainReadOfOneScreen)->Arg(100000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
