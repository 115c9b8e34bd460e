// Drawing a channel's trace into a 1000-pixel lane from a realistic cardiac recording of 2 million samples at
// 10 kHz (bench/recordings.h), at several compressions: the trace drawer asks the host's point source for batches
// of at most 256 points and draws each with one PolyPolyline. Beside it, a plain pass over the same samples of the
// same stretch (the minimum any min/max reduction must read). Both report samples per second. Build in Release.
#include "bench/recordings.h"
#include "chartdraw/tracedrawers.h"
#include "host/chartserver.h"
#include "host/document.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

constexpr std::int32_t kSamples = 2'000'000;
constexpr LONG kWidth = 1000;
constexpr LONG kHeight = 120;

const std::shared_ptr<host::Document>& Recording()
{
    static const std::shared_ptr<host::Document> document = [] {
        auto d = host::Document::Create();
        d->AddChannel(u"V", u"mV");
        d->SetSamples(d->AddBlock(benchrec::kTickPeriod), 0, benchrec::Cardiac(kSamples, 1).samples);
        return d;
    }();
    return document;
}

class Target {
public:
    Target()
    {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        previous = SelectObject(dc, bitmap);
    }
    ~Target()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

// range(0): samples per pixel.
void DrawTrace(benchmark::State& state)
{
    const double perPixel = static_cast<double>(state.range(0));
    auto server = host::ChartServer::Create(Recording());
    server->SetView(0, 0, perPixel, 0);
    const COLORREF colour = RGB(0, 0, 200);
    auto* drawer = new ChartDraw::PolyLineTraceDrawer(0, &colour, 0, ChartDraw::kKindTrace, 0, 0);
    drawer->AddRef();
    drawer->SetDataSource(0, static_cast<IChartDataSource*>(server.Get()));
    const double scale[2]{-kHeight / 6.0, -3.0};
    drawer->OnScaleChanged(0, 0, scale, nullptr);
    Target target;
    owl::TDC dc(target.dc);
    const RECT lane{0, 0, kWidth, kHeight};
    const auto ticks = static_cast<LONGLONG>(perPixel * kWidth);
    for (auto _ : state) {
        drawer->Draw(dc, 0, ticks, 0, 0, 0, lane, 0, nullptr, 0);
    }
    drawer->Release();
    state.SetItemsProcessed(state.iterations() * ticks);
}

void PlainRead(benchmark::State& state)
{
    const auto ticks = static_cast<std::size_t>(state.range(0) * kWidth);
    const auto samples = Recording()->Samples(0, 0);
    for (auto _ : state) {
        float low = samples[0];
        float high = samples[0];
        for (std::size_t i = 0; i < std::min(ticks, samples.size()); ++i) {
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        benchmark::DoNotOptimize(low);
        benchmark::DoNotOptimize(high);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(ticks));
}

BENCHMARK(DrawTrace)->Arg(1)->Arg(20)->Arg(2000);
BENCHMARK(PlainRead)->Arg(1)->Arg(20)->Arg(2000);

} // namespace

BENCHMARK_MAIN();
