// The detectors over realistic recordings of 12 million samples at 10 kHz (bench/recordings.h), each beside a
// plain pass that reads the same samples through the same host enumerator, in blocks of the size the detectors
// read. All report samples per second (items_per_second); a detector's time over its plain read's time is its
// cost in plain passes. Build in Release.
#include "bench/recordings.h"
#include "engine/cappeakdet.h"
#include "engine/erpeakdet.h"
#include "engine/erstimdet.h"
#include "engine/pspeakdet.h"
#include "foundation/kvostring.h"
#include "host/document.h"
#include "host/eventarray.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr std::int32_t kSamples = 12'000'000;

struct Bench {
    std::shared_ptr<host::Document> document;
    std::vector<std::int32_t> stimuli;
};

Bench Make(benchrec::Recording rec)
{
    Bench bench{host::Document::Create(), std::move(rec.stimuli)};
    bench.document->AddChannel(u"V", u"mV");
    bench.document->SetSamples(bench.document->AddBlock(benchrec::kTickPeriod), 0, std::move(rec.samples));
    return bench;
}

enum Kind { kCardiac, kStimulus, kEvoked, kPopulationSpike };

const Bench& Recording(Kind kind)
{
    static const Bench cardiac = Make(benchrec::Cardiac(kSamples, 1));
    static const Bench stimulus = Make(benchrec::Stimuli(kSamples, 2));
    static const Bench evoked = Make(benchrec::Evoked(kSamples, 3));
    static const Bench spikes = Make(benchrec::PopulationSpikes(kSamples, 4));
    switch (kind) {
    case kCardiac: return cardiac;
    case kStimulus: return stimulus;
    case kEvoked: return evoked;
    default: return spikes;
    }
}

// Reads every sample into the buffer, as the detectors' reads do, and looks at none of them.
void PlainRead(benchmark::State& state, Kind kind)
{
    host::Document& document = *Recording(kind).document;
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

// The stimuli of a recording as detector records (the evoked-response detector reads these) or as plain host
// events (the population-spike detector reads any host events).
platform::ComPtr<IEnumEventEx> StimulusEvents(const Bench& bench, bool plain)
{
    if (plain) {
        std::vector<KVOEventBase> events;
        for (const std::int32_t t : bench.stimuli) {
            events.push_back({t, 0.0f, 1.0});
        }
        return host::OpenEvents(host::EventArray::Of(events));
    }
    std::vector<CX::Enum::EventPkStm> events;
    for (const std::int32_t t : bench.stimuli) {
        CX::Enum::EventPkStm r;
        r.SetPosition(t);
        events.push_back(r);
    }
    return host::OpenEvents(host::EventArray::Of(events));
}

// Runs the detector `Family` with parameter text `text` over the recording (with its stimuli as the second source
// when `stimuli` is set) and reads every event.
template <class Family>
void Detector(benchmark::State& state, Kind kind, const char16_t* text, int stimuli)
{
    const Bench& bench = Recording(kind);
    host::Document& document = *bench.document;
    std::vector<CX::Enum::EventPkStm> buffer(256);
    std::size_t events = 0;
    const std::uint64_t servedBefore = document.SamplesServed();
    for (auto _ : state) {
        platform::ComPtr<ICalcEnum> calc;
        EEH3::Create<Family>(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid());
        IKVOString* parameters = KVO::String(text).GetInterface();
        calc->Parse(parameters, nullptr);
        parameters->Release();
        platform::ComPtr<IEnumFloatEx> samples = document.OpenSamples(0, 0);
        platform::ComPtr<IEnumEventEx> stimulusEvents;
        std::vector<IUnknown*> sources{samples.Get()};
        if (stimuli != 0) {
            stimulusEvents = StimulusEvents(bench, stimuli == 2);
            sources.push_back(stimulusEvents.Get());
        }
        calc->SetSources(0, static_cast<LONG>(sources.size()), sources.data(), nullptr, benchrec::kTickPeriod, 0);
        platform::ComPtr<IEnumEventEx> out;
        calc->QueryInterface(IID_IEnumEventEx, out.OutVoid());
        events = 0;
        LONG count = 0;
        LONG next = 0;
        while (out->Next(static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), -1, buffer.data(), &count, &next) ==
               S_OK) {
            events += static_cast<std::size_t>(count);
        }
        events += static_cast<std::size_t>(count);
        benchmark::DoNotOptimize(events);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["events"] = static_cast<double>(events);
    // Samples the host served per sample of the recording (1 when nothing is read twice).
    state.counters["reads_per_sample"] = static_cast<double>(document.SamplesServed() - servedBefore) /
                                         (static_cast<double>(state.iterations()) * kSamples);
}

void CAPPeakDet(benchmark::State& state, const char16_t* text) { Detector<CX::Enum::CAPPeakDet::Family>(state, kCardiac, text, 0); }
void ERStimDet(benchmark::State& state, const char16_t* text) { Detector<CX::Enum::ERStimDet::Family>(state, kStimulus, text, 0); }
void ERPeakDet(benchmark::State& state, const char16_t* text) { Detector<CX::Enum::ERPeakDet::Family>(state, kEvoked, text, 1); }
void PSPeakDet(benchmark::State& state, const char16_t* text)
{
    Detector<CX::Enum::PSPeakDet::Family>(state, kPopulationSpike, text, 2);
}

// Cardiac: Min Height 30 mV, Min Width 50 ms.
BENCHMARK_CAPTURE(PlainRead, Cardiac, kCardiac)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CAPPeakDet, Cardiac, u"1 30 50 0 0 0 0")->Unit(benchmark::kMillisecond);
// Stimuli: Height 1, Width 2 ms, no skip, Min Gap 5 ms.
BENCHMARK_CAPTURE(PlainRead, Stimulus, kStimulus)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ERStimDet, Stimulus, u"1 1 2 0 5 0 0 0 0 0")->Unit(benchmark::kMillisecond);
// Evoked responses: Height 0.3 mV, window 0.5 to 20 ms after the stimulus.
BENCHMARK_CAPTURE(PlainRead, Evoked, kEvoked)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ERPeakDet, Evoked, u"1 0.3 0.5 20 0 0 0 0")->Unit(benchmark::kMillisecond);
// Population spikes: window 1 to 30 ms after the stimulus.
BENCHMARK_CAPTURE(PlainRead, PopulationSpike, kPopulationSpike)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PSPeakDet, PopulationSpike, u"1 1 30 0 0 0 0")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
