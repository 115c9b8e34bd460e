// The whole peak chain "CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3)))))" over a
// realistic cardiac recording of 12 million samples (10 kHz, Gaussian noise of about 1 % of the action potential,
// plateaus and decays of hundreds of milliseconds, varied heights), beside a plain pass that reads the same samples
// once through the same host enumerator. Both report samples per second (items_per_second): their ratio is the
// chain's cost in plain passes. The chain is read in one pass and in requests of 20000 ticks; the counters give the
// host's samples served and the allocations per sample of the recording. Build in Release.
#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"
#include "foundation/kvostring.h"
#include "host/document.h"
#include "tests/engine/apsignal.h"

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {
std::atomic<std::uint64_t> allocations{0};
}

// Counting every allocation of the program; the replaced operators pair malloc with free, which GCC cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr std::int32_t kSamples = 12'000'000;
constexpr double kTickPeriod = 0.0001;

host::Document& Recording()
{
    static const std::shared_ptr<host::Document> document = [] {
        auto created = host::Document::Create();
        created->AddChannel(u"Vm", u"V");
        created->SetSamples(created->AddBlock(kTickPeriod), 0, apsignal::Cardiac(kSamples, 7).samples);
        return created;
    }();
    return *document;
}

platform::ComPtr<ICalcEnum> Link(const char16_t* name, const char16_t* text, ICalcEnum* inner)
{
    platform::ComPtr<ICalcEnum> calc;
    EEH3::FindCreator(name)(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid());
    IKVOString* parameters = KVO::String(text).GetInterface();
    calc->Parse(parameters, nullptr);
    parameters->Release();
    platform::ComPtr<IEnumFloatEx> samples = Recording().OpenSamples(0, 0);
    IUnknown* sources[] = {samples.Get(), inner};
    calc->SetSources(0, inner ? 2 : 1, sources, nullptr, kTickPeriod, 0);
    return calc;
}

platform::ComPtr<IEnumEventEx> Chain()
{
    auto detector = Link(u"CAPPeakDet", u"1 0.3", nullptr);
    auto baseline = Link(u"CalcBase", u"2", detector.Get());
    auto maximum = Link(u"CalcAMax", u"2", baseline.Get());
    auto plateau = Link(u"CalcBase2", u"2", maximum.Get());
    auto bulk = Link(u"CalcBulk", u"2", plateau.Get());
    platform::ComPtr<IEnumEventEx> events;
    bulk->QueryInterface(IID_IEnumEventEx, events.OutVoid());
    return events;
}

void PlainRead(benchmark::State& state)
{
    host::Document& document = Recording();
    std::array<float, 1024> buffer{};
    for (auto _ : state) {
        platform::ComPtr<IEnumFloatEx> samples = document.OpenSamples(0, 0);
        LONG read = 0;
        std::int64_t total = 0;
        while (SUCCEEDED(samples->Read(static_cast<LONG>(buffer.size()), buffer.data(), &read)) && read > 0) {
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
            total += read;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// step 0: one pass without end ticks; otherwise requests whose end tick advances by `step`.
void PeakChain(benchmark::State& state)
{
    const LONG step = static_cast<LONG>(state.range(0));
    host::Document& document = Recording();
    for (const char16_t* name : {u"CAPPeakDet", u"CalcBase", u"CalcAMax", u"CalcBase2", u"CalcBulk"}) {
        if (!EEH3::FindCreator(name)) {
            state.SkipWithError("a stage of the chain is not built");
            return;
        }
    }
    std::vector<CX::Enum::EventFCalc> buffer(64);
    std::size_t events = 0;
    const std::uint64_t servedBefore = document.SamplesServed();
    std::uint64_t allocationsInReads = 0;
    for (auto _ : state) {
        platform::ComPtr<IEnumEventEx> chain = Chain();
        const std::uint64_t before = allocations.load();
        events = 0;
        LONG count = 0;
        LONG next = 0;
        LONG end = step;
        for (;;) {
            const HRESULT hr = chain->Next(static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), step ? end : -1,
                                           buffer.data(), &count, &next);
            events += static_cast<std::size_t>(count);
            if (hr != S_OK) {
                break;
            }
            if (step && next >= end) {
                end = next + step;
            }
        }
        allocationsInReads += allocations.load() - before;
        benchmark::DoNotOptimize(events);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["events"] = static_cast<double>(events);
    const double passes = static_cast<double>(state.iterations()) * kSamples;
    // Samples the host served to the five stages together, per sample of the recording.
    state.counters["served_per_sample"] = static_cast<double>(document.SamplesServed() - servedBefore) / passes;
    state.counters["allocs_per_sample"] = static_cast<double>(allocationsInReads) / passes;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakChain)->Arg(0)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
