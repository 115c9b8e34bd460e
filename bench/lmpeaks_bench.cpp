// The host's peak detection ("LMPeaks") over realistic recordings of 6 million samples at 10 kHz (Gaussian noise,
// a slow drift, events of varied heights with fast rises and exponential decays), beside a plain pass that reads the
// same samples through the same host enumerator. All report samples per second (items_per_second). Build in Release.
#include "host/document.h"
#include "host/hoststring.h"
#include "host/lmpeaks.h"
#include "host/sampleformula.h"
#include "tests/driver/synaptic_signals.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

namespace {

constexpr double kSeconds = 600.0;

struct Bench {
    std::shared_ptr<host::Document> document;
    std::int64_t samples = 0;
};

const Bench& Recording(signals::Shape shape)
{
    static std::map<signals::Shape, Bench> made;
    Bench& bench = made[shape];
    if (!bench.document) {
        signals::Recording r = signals::Make(shape, kSeconds, shape == signals::Shape::SynapticCurrent ? -1 : 1, 17);
        bench.samples = static_cast<std::int64_t>(r.samples.size());
        bench.document = host::Document::Create();
        bench.document->AddChannel(u"I", u"pA");
        bench.document->SetSamples(bench.document->AddBlock(r.tickPeriod), 0, std::move(r.samples));
    }
    return bench;
}

void PlainRead(benchmark::State& state, signals::Shape shape)
{
    const Bench& bench = Recording(shape);
    std::vector<float> buffer(4096);
    for (auto _ : state) {
        platform::ComPtr<IEnumFloatEx> samples = bench.document->OpenSamples(0, 0);
        LONG read = 0;
        std::int64_t total = 0;
        while (SUCCEEDED(samples->Read(static_cast<LONG>(buffer.size()), buffer.data(), &read)) && read > 0) {
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
            total += read;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * bench.samples);
}

// With `slopeWidth` above 0 the detection reads the host's slope channel of that width over the recording, as the
// detector stage of a transforming detection hands it.
void Detect(benchmark::State& state, signals::Shape shape, const char16_t* numbers, std::int32_t slopeWidth = 0)
{
    const Bench& bench = Recording(shape);
    host::LMPeaksClass peaks;
    std::vector<host::DetectedPeak> buffer(256);
    for (auto _ : state) {
        platform::ComPtr<ICalcEnum> calc;
        peaks.CreateInstance(nullptr, calc.Out());
        calc->Parse(host::MakeString(numbers).Get(), nullptr);
        platform::ComPtr<IEnumFloatEx> samples = bench.document->OpenSamples(0, 0);
        if (slopeWidth > 0) {
            samples = platform::ComPtr<IEnumFloatEx>(
                new host::SlopeSamples(std::move(samples), slopeWidth, bench.document->TickPeriod(0)));
        }
        IUnknown* source = samples.Get();
        calc->SetSources(0, 1, &source, nullptr, bench.document->TickPeriod(0), 0);
        calc->SeekStart(0);
        platform::ComPtr<IEnumEventEx> events;
        calc->QueryInterface(IID_IEnumEventEx, events.OutVoid());
        LONG count = 0;
        LONG next = 0;
        std::int64_t found = 0;
        while (events->Next(static_cast<ULONG>(buffer.size() * sizeof(host::DetectedPeak)), -1, buffer.data(), &count,
                            &next) == S_OK) {
            found += count;
        }
        benchmark::DoNotOptimize(found += count);
        calc->ReleaseSources();
    }
    state.SetItemsProcessed(state.iterations() * bench.samples);
}

} // namespace

BENCHMARK_CAPTURE(PlainRead, peaks, signals::Shape::Peak)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Detect, general_peaks, signals::Shape::Peak, u"1 1 5 0.005 0 0.0005 0.5")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlainRead, synaptic, signals::Shape::SynapticCurrent)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Detect, synaptic_currents, signals::Shape::SynapticCurrent, u"-1 1 5 0.005 1 0.0005 0.5")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Detect, synaptic_currents_slope_channel, signals::Shape::SynapticCurrent,
                  u"-1 1 5 0.005 0 0.0005 0.5", 5)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
