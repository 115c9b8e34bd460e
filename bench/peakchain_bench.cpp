// The whole peak chain of a cardiac analysis, through the very calculation text that `analyse --type 1` evaluates at
// its default settings (detector, baseline, width filter, a second baseline, amplitude maximum, plateau and tau,
// final parameters), by the host's calculation evaluator, over a realistic cardiac recording of 12 million samples
// (10 kHz, action potentials of about 0.1 V with Gaussian noise of about 1 % of them, plateaus and decays of hundreds
// of milliseconds, varied heights). Beside it, in the same run, a plain pass that reads the same samples once
// through the same host enumerator. Both report samples per second (items_per_second): their ratio is the chain's
// cost in plain reads. The chain is read in one pass and in requests of 20000 ticks; the counters give the host's
// samples served and the allocations per sample of the recording. Build in Release.
#include "engine/eventrecords.h"
#include "host/calcevaluator.h"
#include "host/document.h"
#include "host/hoststring.h"
#include "tests/driver/testhost.h"
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

// The texts of the analysis document at analysis type 1 with its default settings: the event chain (the width
// filter over the baseline of the detector) and the stage over it.
constexpr const char16_t* kEventChain =
    u"cappwf( ch1, calcbase( ch1, cappeakdet( ch1, 0.03, 0, 0, 0, 0, 0), 1000, 5, -1, -1, 0, 0, 0, 0, 0, 0 ), 50, 0, "
    u"0, 0, 0 )";
std::u16string AnalysisText()
{
    return u"calcbulk( ch1, calcbase2( ch1, calcamax( ch1, calcbase( ch1, " + std::u16string(kEventChain) +
           u", 1000, 5, -1, -1, 0, 0, 0, 0, 0, 0 ), 5, 0, 0, 0, 0, 0, 0 ), 50, 50, 0, 30, 0, 0, 0, 0 ), 1, 5, 10, "
           u"1, 0, 10, 90, 40, 90, 5, 5, 10, 11, 10, 5, 4, 0, 0, 0, 0 )";
}

const std::shared_ptr<host::Document>& Document()
{
    static const std::shared_ptr<host::Document> document = [] {
        // The host's call log off, as the command line runs the analysis: it would keep every call of every pass.
        TestHost().Log().Enable(false);
        auto created = host::Document::Create();
        created->AddChannel(u"Vm", u"V");
        std::vector<float> samples = apsignal::Cardiac(kSamples, 7).samples;
        for (float& v : samples) {
            v *= 0.1f; // action potentials of about 0.1 V
        }
        created->SetSamples(created->AddBlock(kTickPeriod), 0, std::move(samples));
        return created;
    }();
    return document;
}
host::Document& Recording() { return *Document(); }

platform::ComPtr<IEnumEventEx> Chain(ICalcEnum* calc)
{
    platform::ComPtr<IEnumEventEx> events;
    calc->QueryInterface(IID_IEnumEventEx, events.OutVoid());
    return events;
}

platform::ComPtr<ICalcEnum> Evaluate(host::DataSource* source)
{
    platform::ComPtr<IChannelData> channelData;
    source->QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> calc;
    if (FAILED(TestHost().Evaluator().CreateInstance(channelData.Get(), calc.Out())) || !calc) {
        return {};
    }
    if (calc->Parse(host::MakeString(AnalysisText()).Get(), nullptr) != S_OK) {
        return {};
    }
    return calc;
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
    platform::ComPtr<host::DataSource> source = SourceOf(Document());
    if (!Evaluate(source.Get())) {
        state.SkipWithError("the host's evaluator refused the analysis text");
        return;
    }
    std::vector<CX::Enum::EventFCalc> buffer(64);
    std::size_t events = 0;
    const std::uint64_t servedBefore = document.SamplesServed();
    std::uint64_t allocationsInReads = 0;
    for (auto _ : state) {
        platform::ComPtr<ICalcEnum> calc = Evaluate(source.Get());
        calc->SetSources(0, 0, nullptr, nullptr, kTickPeriod, 0);
        calc->SeekStart(0);
        platform::ComPtr<IEnumEventEx> chain = Chain(calc.Get());
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
        calc->ReleaseSources();
        benchmark::DoNotOptimize(events);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["events"] = static_cast<double>(events);
    const double passes = static_cast<double>(state.iterations()) * kSamples;
    // Samples the host served to the stages together, per sample of the recording.
    state.counters["served_per_sample"] = static_cast<double>(document.SamplesServed() - servedBefore) / passes;
    state.counters["allocs_per_sample"] = static_cast<double>(allocationsInReads) / passes;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakChain)->Arg(0)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
