// Painting one screen of a data pane at one compression, for recordings of 1 M and 100 M samples: the pane reads only
// the visible stretch, so both cost the same. Beside it, a plain min/max read of the same stretch.
#include "bench/recordings.h"
#include "chartdraw/datapane.h"
#include "host/blocktimebase.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

constexpr LONG kWidth = 1002; // 1000 visible pixels
constexpr LONG kHeight = 200;
constexpr LONGLONG kTicksPerPixel = 20;

// A cardiac recording at 10 kHz, quantised to 0.01 mV; longer recordings repeat a 1 M-sample stretch.
const std::vector<std::int16_t>& Samples(LONGLONG count)
{
    static std::vector<std::int16_t> cache;
    static std::vector<std::int16_t> base;
    if (base.empty()) {
        const benchrec::Recording rec = benchrec::Cardiac(1000000, 11);
        base.reserve(rec.samples.size());
        for (float v : rec.samples) {
            base.push_back(static_cast<std::int16_t>(std::lround(v * 100.0f)));
        }
    }
    if (static_cast<LONGLONG>(cache.size()) != count) {
        cache.clear();
        cache.shrink_to_fit();
        cache.reserve(static_cast<std::size_t>(count));
        while (static_cast<LONGLONG>(cache.size()) < count) {
            const std::size_t n = std::min<std::size_t>(base.size(), static_cast<std::size_t>(count) - cache.size());
            cache.insert(cache.end(), base.begin(), base.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    return cache;
}

// One min/max segment per pixel column, from the samples of the column's ticks.
class SampleDrawer : public ChartDraw::DrawerBase {
public:
    explicit SampleDrawer(const std::vector<std::int16_t>* samples)
        : DrawerBase(ChartDraw::kKindTrace, 0, 0, ChartDraw::kNoAlternateChannel, ChartDraw::kNoAlternateSelector),
          samples_(samples)
    {
    }
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG) override
    {
        *flags = 0;
        *left = *right = 0;
        return S_OK;
    }
    HRESULT Clone(DWORD, ChartDraw::IChartRecordDrawer**) override { return E_NOTIMPL; }
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG, LONGLONG, LONG, LONG x, const RECT& clip, DWORD,
                 const ChartDraw::TimeDivisions*, LONG) override
    {
        HDC hdc = static_cast<HDC>(dc);
        const LONGLONG size = static_cast<LONGLONG>(samples_->size());
        for (LONG column = x; column < clip.right; ++column) {
            const LONGLONG t0 = from + (column - x) * kTicksPerPixel;
            const LONGLONG t1 = std::min(t0 + kTicksPerPixel, size);
            if (t0 < 0 || t0 >= t1) {
                continue;
            }
            const auto [lo, hi] = std::minmax_element(samples_->begin() + t0, samples_->begin() + t1);
            MoveToEx(hdc, column, 150 - *hi / 100, nullptr);
            LineTo(hdc, column, 151 - *lo / 100);
        }
        return S_OK;
    }

private:
    const std::vector<std::int16_t>* samples_;
};

void PaintOneScreen(benchmark::State& state)
{
    const LONGLONG count = state.range(0);
    const std::vector<std::int16_t>& samples = Samples(count);
    auto timeBase = host::BlockTimeBase::Create(benchrec::kTickPeriod);
    timeBase->AppendBlock(count);
    ChartDraw::DataPane pane;
    pane.SetLaneCount(1);
    pane.SetSize(kWidth, kHeight);
    pane.SetTimeBase(timeBase.Get());
    auto* drawer = new SampleDrawer(&samples);
    drawer->AddRef();
    pane.Lane(0)->AddDrawer(0, drawer, 255);
    drawer->Release();
    pane.SetSize(kWidth, kHeight);
    pane.SetCompression(KVORationalImp(kTicksPerPixel, 1), nullptr, false);
    pane.ScrollToPosition(ChartBlockPosition{count / 2, 0}, 1); // the middle of the recording

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        pane.Lane(0)->InvalidateAll();
        pane.PaintLayers(dc, all);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pane.Visible() * kTicksPerPixel);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
BENCHMARK(PaintOneScreen)->Arg(1000000)->Arg(100000000)->Unit(benchmark::kMillisecond);

// The same stretch read plainly: min and max of every column's samples.
void PlainReadOfOneScreen(benchmark::State& state)
{
    const LONGLONG count = state.range(0);
    const std::vector<std::int16_t>& samples = Samples(count);
    const LONGLONG first = count / 2 - 500 * kTicksPerPixel;
    for (auto _ : state) {
        int sum = 0;
        for (LONGLONG column = 0; column < 1000; ++column) {
            const auto begin = samples.begin() + first + column * kTicksPerPixel;
            const auto [lo, hi] = std::minmax_element(begin, begin + kTicksPerPixel);
            sum += *hi - *lo;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * kTicksPerPixel);
}
BENCHMARK(PlainReadOfOneScreen)->Arg(1000000)->Arg(100000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
