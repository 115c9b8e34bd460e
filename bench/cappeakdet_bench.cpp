// The cardiac peak detector over a synthetic recording of 12 million samples, beside a plain pass that reads the
// same samples through the same host enumerator, in blocks of the same size as the detector's reads. Both report
// samples per second (items_per_second); their ratio is the detector's cost in plain passes. Build in Release.
#include "engine/cappeakdet.h"
#include "foundation/kvostring.h"
#include "host/document.h"
#include "tests/engine/aptrain.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr std::int32_t kSamples = 12'000'000;
constexpr double kTickPeriod = 0.0005;

host::Document& Recording()
{
    static const std::shared_ptr<host::Document> document = [] {
        auto created = host::Document::Create();
        created->AddChannel(u"Vm", u"mV");
        created->SetSamples(created->AddBlock(kTickPeriod), 0, aptrain::Make(1, kSamples, -80.0f, 30, 6).samples);
        return created;
    }();
    return *document;
}

// Reads every sample into the buffer, as the detector's reads do, and looks at none of them.
void PlainRead(benchmark::State& state)
{
    host::Document& document = Recording();
    std::array<float, EEH3::FloatExWrapper::kBufferSize> buffer{};
    std::int64_t total = 0;
    for (auto _ : state) {
        platform::ComPtr<IEnumFloatEx> samples = document.OpenSamples(0, 0);
        LONG read = 0;
        total = 0;
        while (SUCCEEDED(samples->Read(static_cast<LONG>(buffer.size()), buffer.data(), &read)) && read > 0) {
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
            total += read;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void CAPPeakDet(benchmark::State& state)
{
    host::Document& document = Recording();
    std::vector<CX::Enum::EventPkStm> buffer(256);
    std::size_t peaks = 0;
    const std::uint64_t servedBefore = document.SamplesServed();
    const std::uint64_t callsBefore = document.ReadCalls();
    for (auto _ : state) {
        platform::ComPtr<ICalcEnum> calc;
        EEH3::Create<CX::Enum::CAPPeakDet::Family>(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid());
        IKVOString* text = KVO::String(u"1 30 3 0 0 0 0").GetInterface();
        calc->Parse(text, nullptr);
        text->Release();
        platform::ComPtr<IEnumFloatEx> samples = document.OpenSamples(0, 0);
        IUnknown* sources[] = {samples.Get()};
        calc->SetSources(0, 1, sources, nullptr, kTickPeriod, 0);
        platform::ComPtr<IEnumEventEx> events;
        calc->QueryInterface(IID_IEnumEventEx, events.OutVoid());
        peaks = 0;
        LONG count = 0;
        LONG next = 0;
        while (events->Next(static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), -1, buffer.data(), &count,
                            &next) == S_OK) {
            peaks += static_cast<std::size_t>(count);
        }
        peaks += static_cast<std::size_t>(count);
        benchmark::DoNotOptimize(peaks);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["peaks"] = static_cast<double>(peaks);
    // Samples and read calls of the host per sample of the recording (1 and 1/1024 when nothing is read twice).
    const double passes = static_cast<double>(state.iterations()) * kSamples;
    state.counters["reads_per_sample"] = static_cast<double>(document.SamplesServed() - servedBefore) / passes;
    state.counters["calls_per_sample"] = static_cast<double>(document.ReadCalls() - callsBefore) / passes;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(CAPPeakDet)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
