// The enumerator engine's protocol, limits, checkpoints, stop-at-gap, identity and event sources, exercised through
// the cardiac peak detector and a small event-copying family defined here.
#include "aptrain.h"
#include "enum_harness.h"

#include "engine/calcclasses.h"
#include "engine/cappeakdet.h"
#include "engine/eeh3runs.h"
#include "frame/typeid.h"
#include "host/eventarray.h"
#include "tests/frame/sharedhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace enumharness;
using CX::Enum::EventBCalcBase;
using CX::Enum::EventPkStm;
namespace CAP = CX::Enum::CAPPeakDet;

namespace {

using aptrain::kHeight;
using aptrain::kTickPeriod;
using aptrain::kWidthTicks;

// A family with one event source: every event of the source becomes a stage record at the same tick, its value
// raised by the parameter "Shift". It waits for a later request when the next event lies at or past its end.
namespace Echo {
struct Params : EEH3::ParamsBase {
    double shift = 0.0;
    void SetSources(LONG count, IUnknown** sources, IUnknown**) override
    {
        if (count > 0) {
            AddEventSource<EventPkStm>(sources[0]);
        }
    }
    void ReadValues(std::wistream& in) override
    {
        shift = 0.0;
        EEH3::ReadDouble(in, shift);
    }
    void WriteValues(std::wostream& out) const override { EEH3::WriteDouble(out, shift); }
};
struct State : EEH3::StateBase {};
struct Algorithm {
    static bool Step(State& state, const Params& params, EventBCalcBase& out)
    {
        auto* events = params.EventSource<EventPkStm>(0);
        if (!events) {
            state.resume = EEH3::kEndTick;
            return false;
        }
        if (events->HasCurrent()) {
            events->LoadCurrent();
            const EventPkStm& event = events->Current();
            if (event.tick >= state.endTick) {
                state.UpdateResume(state.endTick);
                return false;
            }
            out.tick = event.tick;
            out.value = event.value + params.shift;
            out.stimulusTick = event.tick;
            events->Advance();
            state.UpdateResume(event.tick + 1);
            return true;
        }
        state.UpdateResume(events->AtEnd() ? EEH3::kEndTick : events->CurrentTick());
        return false;
    }
};
struct Family {
    using Params = Echo::Params;
    using State = Echo::State;
    using Algorithm = Echo::Algorithm;
    using Record = EventBCalcBase;
    static DWORD DrawType() { return 0x00AB0003; }
};
} // namespace Echo

struct Recording {
    std::shared_ptr<host::Document> document = host::Document::Create();
    aptrain::Train train;
    explicit Recording(std::int32_t length, int blocks = 1, std::uint32_t seed = 5)
        : train(aptrain::Make(seed, length, -60.0f, kHeight, kWidthTicks, {100000, 199999, 300001}))
    {
        document->AddChannel(u"Vm", u"mV");
        for (int b = 0; b < blocks; ++b) {
            document->SetSamples(document->AddBlock(kTickPeriod), 0, train.samples);
        }
    }
    ComPtr<ICalcEnum> Bound(const char16_t* text, int block = 0, LONG flag = 0) const
    {
        ComPtr<ICalcEnum> calc = Make<CAP::Family>(text);
        EXPECT_EQ(BindChannel(calc.Get(), *document, block, 0, flag), S_OK);
        return calc;
    }
    std::vector<LONG> ExpectedTicks(LONG from = 0, LONG to = 0x7FFFFFFF) const
    {
        std::vector<LONG> ticks;
        for (const auto& p : train.peaks) {
            if (p.tick >= from && p.tick < to) {
                ticks.push_back(p.tick);
            }
        }
        return ticks;
    }
};

template <class Record>
std::vector<LONG> Ticks(const std::vector<Record>& records)
{
    std::vector<LONG> ticks;
    for (const auto& r : records) {
        ticks.push_back(r.tick);
    }
    return ticks;
}

std::vector<LONG> ReadTicks(ICalcEnum* calc) { return Ticks(ReadAll<EventPkStm>(Events(calc).Get())); }

TEST(EnumeratorEngine, LimitsSelectTheBlocksAndTicks)
{
    const Recording recording(50000, 4);
    const auto& peaks = recording.train.peaks;
    ASSERT_GT(peaks.size(), 12u);
    // Limits in flat stretches: 150 ticks after a peak its fall has ended and the next rise not begun.
    const LONG start = peaks[3].tick + 150;
    const LONG end = peaks[10].tick + 150;
    auto limited = [&](LONG r0, LONG t0, LONG r1, LONG t1) {
        std::wstring w = L"1 30 3 " + std::to_wstring(r0) + L" " + std::to_wstring(t0) + L" " + std::to_wstring(r1) +
                         L" " + std::to_wstring(t1);
        return KVO::String(w);
    };
    const KVO::String span = limited(1, start, 2, end);
    EXPECT_TRUE(ReadTicks(recording.Bound(span, 0).Get()).empty()) << "before the start record";
    EXPECT_EQ(ReadTicks(recording.Bound(span, 1).Get()), recording.ExpectedTicks(start));
    EXPECT_EQ(ReadTicks(recording.Bound(span, 2).Get()), recording.ExpectedTicks(0, end));
    EXPECT_TRUE(ReadTicks(recording.Bound(span, 3).Get()).empty()) << "after the end record";
    // One record for both ends.
    EXPECT_EQ(ReadTicks(recording.Bound(limited(2, start, 2, end), 2).Get()), recording.ExpectedTicks(start, end));
    // All four 0, all four -1 or none at all: the whole block. Negative starts count as 0 before the four are
    // looked at, so negative starts with zero ends are the whole block too.
    for (const char16_t* text :
         {u"1 30 3 0 0 0 0", u"1 30 3 -1 -1 -1 -1", u"1 30 3", u"1 30 3 -1 -1 0 0", u"1 30 3 -7 -0.6 0 0.4"}) {
        EXPECT_EQ(ReadTicks(recording.Bound(text, 3).Get()), recording.ExpectedTicks()) << KVO::String(text).ToUtf8();
    }
    // SeekStart in the start record goes no lower than the start tick; in another record it goes where asked.
    ComPtr<ICalcEnum> calc = recording.Bound(limited(0, 500, 0, 100000), 0);
    LONG position = -1;
    EXPECT_EQ(calc->SeekStart(10), S_OK);
    Events(calc.Get())->GetPosition(&position);
    EXPECT_EQ(position, 500);
    calc = recording.Bound(limited(0, 500, 1, 100000), 1);
    calc->SeekStart(10);
    Events(calc.Get())->GetPosition(&position);
    EXPECT_EQ(position, 10);
    // Find honours the limits: forward from 0 in the start record finds the first peak after the start tick; in
    // the end record nothing at or past the end tick is searched.
    calc = recording.Bound(span, 1);
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    EXPECT_EQ(events->Find(0, 0, 0, 0x7FFFFFFF), S_OK);
    events->GetPosition(&position);
    EXPECT_EQ(position, peaks[4].tick);
    calc = recording.Bound(span, 2);
    events = Events(calc.Get());
    EXPECT_EQ(events->Find(0, end, 0, 0x7FFFFFFF), S_FALSE);
    events->GetPosition(&position);
    EXPECT_EQ(position, 0x7FFFFFFF);
    EXPECT_EQ(events->Find(1, end + 1000, 0, 0x7FFFFFFF), S_OK) << "backward from the end finds the last one";
    events->GetPosition(&position);
    EXPECT_EQ(position, peaks[10].tick);
}

TEST(EnumeratorEngine, NextAndFindAtTheEdges)
{
    const Recording recording(30000);
    const auto expected = recording.ExpectedTicks();
    ComPtr<ICalcEnum> calc = recording.Bound(u"1 30 3");
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    EventPkStm buffer[2];
    LONG count = -1;
    LONG next = -1;
    // A buffer smaller than one record: nothing, S_OK, the block goes on.
    EXPECT_EQ(events->Next(sizeof(EventPkStm) - 1, -1, buffer, &count, &next), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_LT(next, 0x7FFFFFFF);
    EXPECT_EQ(events->Next(0, -1, nullptr, &count, &next), S_OK);
    EXPECT_EQ(count, 0);
    // Read to the end: S_FALSE and 0x7FFFFFFF, again and again.
    EXPECT_EQ(Ticks(ReadAll<EventPkStm>(events.Get(), 2)), expected);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(events->Next(sizeof buffer, -1, buffer, &count, &next), S_FALSE);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(next, 0x7FFFFFFF);
    }
    LONG position = 0;
    // Find: backward from tick 0 goes to low; an empty window goes to high; both find nothing.
    EXPECT_EQ(events->Find(1, 0, 7, 100), S_FALSE);
    events->GetPosition(&position);
    EXPECT_EQ(position, 7);
    EXPECT_EQ(events->Find(0, 50, 40, 40), S_FALSE);
    events->GetPosition(&position);
    EXPECT_EQ(position, 40);
    EXPECT_EQ(events->Find(0, 50, 0, 0), S_FALSE);
    // A window that holds no peak: nothing, the position at the search start.
    EXPECT_EQ(events->Find(0, expected[0] + 1, expected[0] + 1, expected[1]), S_FALSE);
    // A forward search from beyond the window's end starts at its last tick.
    EXPECT_EQ(events->Find(0, 0x7FFFFFF0, 0, expected[2] + 1), S_OK);
    events->GetPosition(&position);
    EXPECT_EQ(position, expected[2]);
    // A found record is not delivered after SeekStart or another Find moved the position.
    EXPECT_EQ(events->Find(0, expected[5], 0, 0x7FFFFFFF), S_OK);
    EXPECT_EQ(calc->SeekStart(expected[1] + 1), S_OK);
    EXPECT_EQ(events->Next(sizeof(EventPkStm), -1, buffer, &count, &next), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(buffer[0].tick, expected[2]);
    EXPECT_EQ(events->Find(0, expected[5], 0, 0x7FFFFFFF), S_OK);
    EXPECT_EQ(events->Find(1, 0, 0, 0x7FFFFFFF), S_FALSE);
    EXPECT_EQ(Ticks(ReadAll<EventPkStm>(events.Get())), expected) << "read from 0 with no stale record first";
}

TEST(EnumeratorEngine, RequestsResumeFromTheCheckpointBeforeThem)
{
    const Recording recording(420000);
    host::Document& document = *recording.document;
    const auto expected = recording.ExpectedTicks(250000, 260000);
    ASSERT_FALSE(expected.empty());
    auto readFrom = [](ICalcEnum* calc, LONG from) {
        calc->SeekStart(from);
        std::vector<LONG> ticks;
        EventPkStm buffer[64];
        LONG count = 0;
        LONG next = 0;
        Events(calc)->Next(sizeof buffer, 260000, buffer, &count, &next);
        for (LONG i = 0; i < count; ++i) {
            ticks.push_back(buffer[i].tick);
        }
        return ticks;
    };
    // A run that has not passed 200000 starts from the block's start.
    ComPtr<ICalcEnum> calc = recording.Bound(u"1 30 3");
    auto* engine = static_cast<EEH3::EnumeratorEngine*>(calc.Get());
    std::uint64_t before = document.SamplesServed();
    EXPECT_EQ(readFrom(calc.Get(), 250000), expected);
    EXPECT_GE(document.SamplesServed() - before, 250000u);
    // Once the run has passed the whole block, a checkpoint per slice boundary is kept ...
    ReadAll<EventPkStm>(Events(calc.Get()).Get());
    EXPECT_EQ(engine->CheckpointCount(0), 4u);
    // ... and the request resumes from the one at 200000: it reads about 60000 samples, not 260000.
    before = document.SamplesServed();
    EXPECT_EQ(readFrom(calc.Get(), 250000), expected);
    EXPECT_LT(document.SamplesServed() - before, 70000u);
    // New parameters forget the checkpoints.
    IKVOString* text = KVO::String(u"1 30 3").GetInterface();
    calc->Parse(text, nullptr);
    text->Release();
    EXPECT_EQ(engine->CheckpointCount(0), 0u);
}

TEST(EnumeratorEngine, StopsAtTheGapOfABlockStillSampled)
{
    const aptrain::Train train = aptrain::Make(21, 250000, -60.0f, kHeight, kWidthTicks, {100000, 199999});
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    const int block = document->AddBlock(kTickPeriod, true);
    ComPtr<ICalcEnum> calc = Make<CAP::Family>(u"1 30 3");
    ASSERT_EQ(BindChannel(calc.Get(), *document, block, 0, kStopAtGapFlag), S_OK);
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    std::vector<LONG> seen;
    EventPkStm buffer[3];
    std::size_t appended = 0;
    while (appended < train.samples.size()) {
        const std::size_t n = std::min<std::size_t>(7777, train.samples.size() - appended);
        document->Append(block, 0, std::span(train.samples).subspan(appended, n));
        appended += n;
        // Read what there is: the enumerator stops at the gap with S_OK and never passes the samples so far.
        for (;;) {
            LONG count = -1;
            LONG next = -1;
            ASSERT_EQ(events->Next(sizeof buffer, -1, buffer, &count, &next), S_OK) << "while sampling";
            EXPECT_LE(next, static_cast<LONG>(appended));
            for (LONG i = 0; i < count; ++i) {
                seen.push_back(buffer[i].tick);
            }
            if (count == 0) {
                break;
            }
        }
    }
    document->FinishBlock(block);
    for (const EventPkStm& p : ReadAll<EventPkStm>(events.Get())) {
        seen.push_back(p.tick);
    }
    std::vector<LONG> expected;
    for (const auto& p : train.peaks) {
        expected.push_back(p.tick);
    }
    EXPECT_EQ(seen, expected);
}

TEST(EnumeratorEngine, SourcesAreReplacedAndReleased)
{
    // Two channels with different trains: a second SetSources without ReleaseSources reads the second.
    const aptrain::Train a = aptrain::Make(31, 20000, 0.0f, kHeight, kWidthTicks);
    const aptrain::Train b = aptrain::Make(32, 20000, 0.0f, kHeight, kWidthTicks);
    auto document = host::Document::Create();
    document->AddChannel(u"A", u"mV");
    document->AddChannel(u"B", u"mV");
    const int block = document->AddBlock(kTickPeriod);
    document->SetSamples(block, 0, a.samples);
    document->SetSamples(block, 1, b.samples);
    std::vector<LONG> expectedB;
    for (const auto& p : b.peaks) {
        expectedB.push_back(p.tick);
    }
    ComPtr<ICalcEnum> calc = Make<CAP::Family>(u"1 30 3");
    ASSERT_EQ(BindChannel(calc.Get(), *document, block, 0), S_OK);
    ASSERT_EQ(BindChannel(calc.Get(), *document, block, 1), S_OK);
    EXPECT_EQ(ReadTicks(calc.Get()), expectedB);
    // Released sources: the record ends at once.
    EXPECT_EQ(calc->ReleaseSources(), S_OK);
    calc->SeekStart(0);
    EXPECT_TRUE(ReadTicks(calc.Get()).empty());
    // A source that offers no samples makes a tick counter: a constant 0, no peaks, the block ends at the limit.
    calc = Make<CAP::Family>(u"1 30 3 0 0 0 5000");
    ComPtr<IEnumEventEx> notSamples = host::OpenEvents(host::EventArray::Of(std::vector<EventPkStm>{}));
    ASSERT_EQ(Bind(calc.Get(), 0, {notSamples.Get()}, kTickPeriod), S_OK);
    EXPECT_TRUE(ReadTicks(calc.Get()).empty());
}

TEST(EnumeratorEngine, InterfaceSlotsIdentityAndCreation)
{
    host::Host& host = SharedHost();
    CalcEnums::CalcEnumNumericParamsClass* capClass = nullptr;
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        // The channel calculation's two class objects are of other kinds.
        auto* object = dynamic_cast<CalcEnums::CalcEnumNumericParamsClass*>(link->GetClassObjectInterface());
        if (!object) {
            continue;
        }
        if (std::u16string(object->Descriptor().name) == u"CAPPeakDet") {
            capClass = object;
        }
    }
    ASSERT_NE(capClass, nullptr);
    ComPtr<ICalcEnum> calc;
    ASSERT_EQ(capClass->CreateInstance(nullptr, calc.Out()), S_OK);
    DWORD id = 0;
    DWORD classId = 0;
    EXPECT_EQ(calc->GetClassId(&id), S_OK);
    capClass->GetId(&classId);
    EXPECT_EQ(id, classId);
    ComPtr<ICalcEnumClass2> back;
    EXPECT_EQ(calc->GetClassObject(back.Out()), S_OK);
    EXPECT_EQ(back.Get(), static_cast<ICalcEnumClass2*>(capClass));

    // Constant answers.
    DWORD word = 7;
    EXPECT_EQ(calc->QueryFlags(1, 0, &word), S_OK);
    EXPECT_EQ(word, 0u);
    calc->QueryFlags(0, 5, &word);
    EXPECT_EQ(word, 0x40000000u);
    EXPECT_EQ(calc->Notify1(1, 2), S_OK);
    EXPECT_EQ(calc->Notify2(1, 2), S_OK);
    calc->GetCapabilities(&word);
    EXPECT_EQ(word, 0x10008000u);
    calc->GetStatus(&word);
    EXPECT_EQ(word, 0x801B0002u);
    SourceTimeBase base{9, 9, 9};
    EXPECT_EQ(calc->GetSourceTimeBase(&base), S_OK);
    EXPECT_EQ(base.a, 1);
    EXPECT_EQ(base.b, 1);
    EXPECT_EQ(base.offset, 0);
    const Recording recording(5000);
    ASSERT_EQ(BindChannel(calc.Get(), *recording.document, 0, 0), S_OK);
    double period = 0;
    IKVOString* text = nullptr;
    EXPECT_EQ(calc->GetTickPeriod(&period, &text), S_OK);
    EXPECT_EQ(period, kTickPeriod);
    EXPECT_EQ(KVO::String().AttachInterface(text), u"?");
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    EXPECT_EQ(events->GetSourceTimeBase(&base), S_OK);
    LONG skipped = 5;
    EXPECT_EQ(events->Skip(1, &skipped), E_NOTIMPL);
    EXPECT_EQ(skipped, 0);
    IUnknown* extension = calc.Get();
    EXPECT_EQ(events->GetExtension(&extension), E_NOTIMPL);
    EXPECT_EQ(extension, nullptr);
    DWORD draw = 0;
    EXPECT_EQ(events->GetDrawType(&draw), S_OK);
    EXPECT_EQ(draw, DWORD{host.GetFramework().KnownTypeId(CX::CXEventDrawGUID)} << 16);
    LONG position = 5;
    ComPtr<ICalcEnum> created;
    ASSERT_EQ(capClass->CreateInstance(nullptr, created.Out()), S_OK);
    Events(created.Get())->GetPosition(&position);
    EXPECT_EQ(position, -1) << "before parameters and sources";

    // Identity: the three interfaces lead to one object; anything else is refused.
    ComPtr<IUnknown> unknownA;
    ComPtr<IUnknown> unknownB;
    calc->QueryInterface(IID_IUnknown, unknownA.OutVoid());
    events->QueryInterface(IID_IUnknown, unknownB.OutVoid());
    EXPECT_EQ(unknownA.Get(), unknownB.Get());
    void* none = calc.Get();
    EXPECT_EQ(calc->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // Clone: the same parameters, its own position, no sources.
    IKVOString* parameters = KVO::String(u"1 12.5 4 0 0 0 0").GetInterface();
    calc->Parse(parameters, nullptr);
    parameters->Release();
    ComPtr<ICalcEnum> copy;
    ASSERT_EQ(calc->Clone(copy.Out()), S_OK);
    ASSERT_TRUE(copy);
    IKVOString* written = nullptr;
    copy->Write(&written);
    EXPECT_EQ(KVO::String().AttachInterface(written), u"12.5 4 0 0 2147483647 2147483647");
    ComPtr<IEnumEventEx> copiedEvents;
    ASSERT_EQ(events->Clone(copiedEvents.Out()), S_OK);
    copiedEvents->GetPosition(&position);
    EXPECT_EQ(position, 0);
    EXPECT_TRUE(ReadTicks(copy.Get()).empty()) << "a clone has no sources";

    // Aggregation: the outer object answers for the inner interfaces and holds the only count.
    struct Outer final : IUnknown {
        IUnknown* inner = nullptr;
        int refs = 1;
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            if (iid == IID_IUnknown) {
                *out = this;
                ++refs;
                return S_OK;
            }
            return inner->QueryInterface(iid, out);
        }
        ULONG AddRef() override { return static_cast<ULONG>(++refs); }
        ULONG Release() override { return static_cast<ULONG>(--refs); }
    } outer;
    EXPECT_EQ(capClass->CreateAggregated(&outer, nullptr, IID_ICalcEnum, &outer.inner), S_OK);
    ASSERT_NE(outer.inner, nullptr);
    ICalcEnum* aggregated = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ICalcEnum, reinterpret_cast<void**>(&aggregated)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "counted on the outer object";
    IUnknown* identity = nullptr;
    aggregated->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, &outer);
    aggregated->Release();
    identity->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(outer.inner->Release(), 0u); // the inner object goes with its own count
    // Without an outer object the aggregated creation is a plain one queried for the interface.
    ComPtr<IUnknown> plain;
    EXPECT_EQ(capClass->CreateAggregated(nullptr, nullptr, IID_IEnumEventEx, plain.Out()), S_OK);
    EXPECT_TRUE(plain);
}

TEST(EnumeratorEngine, EventSourcesFromTheHostAndFromInnerCalculations)
{
    // Prepared events in a long block, read through the host's event enumerator.
    std::vector<EventPkStm> prepared;
    for (LONG t = 37; t < 420000; t += 1013 + (t % 7) * 111) {
        EventPkStm e;
        e.tick = t;
        e.value = t * 0.5;
        e.kind = CX::Enum::kKindStimulus;
        prepared.push_back(e);
    }
    const auto array = host::EventArray::Of(prepared);
    const auto echoed = ExpectEquivalentReads<EventBCalcBase>(
        [&] {
            ComPtr<ICalcEnum> calc = Make<Echo::Family>(u"1 2.5");
            ComPtr<IEnumEventEx> source = host::OpenEvents(array);
            EXPECT_EQ(Bind(calc.Get(), 0, {source.Get()}, kTickPeriod), S_OK);
            return calc;
        },
        420000);
    ASSERT_EQ(echoed.size(), prepared.size());
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        EXPECT_EQ(echoed[i].tick, prepared[i].tick);
        EXPECT_EQ(echoed[i].value, prepared[i].value + 2.5);
        EXPECT_EQ(echoed[i].stimulusTick, prepared[i].tick);
        EXPECT_EQ(echoed[i].kind, CX::Enum::kKindStage);
    }

    // A record at tick 0 is found forward and backward like any other.
    std::vector<EventPkStm> early(2);
    early[0].tick = 0;
    early[1].tick = 9;
    ComPtr<ICalcEnum> echo = Make<Echo::Family>(u"1 0");
    ComPtr<IEnumEventEx> earlySource = host::OpenEvents(host::EventArray::Of(early));
    ASSERT_EQ(Bind(echo.Get(), 0, {earlySource.Get()}, kTickPeriod), S_OK);
    ComPtr<IEnumEventEx> echoEvents = Events(echo.Get());
    EXPECT_EQ(echoEvents->Find(0, 0, 0, 100), S_OK);
    EXPECT_EQ(Ticks(ReadAll<EventBCalcBase>(echoEvents.Get())), (std::vector<LONG>{0, 9}));
    EXPECT_EQ(echoEvents->Find(1, 9, 0, 100), S_OK);
    EXPECT_EQ(Ticks(ReadAll<EventBCalcBase>(echoEvents.Get())), (std::vector<LONG>{0, 9}));
    // A seek to the last tick there is moves the host's events to their end (no window past it is formed).
    EXPECT_EQ(echo->SeekStart(0x7FFFFFFF), S_OK);
    LONG sourcePosition = 0;
    earlySource->GetPosition(&sourcePosition);
    EXPECT_EQ(sourcePosition, 0x7FFFFFFF);
    EXPECT_TRUE(ReadAll<EventBCalcBase>(echoEvents.Get()).empty());

    // The peaks of an inner detector (an ICalcEnum source: seeks reach it through SeekStart).
    const Recording recording(420000);
    const auto nested = ExpectEquivalentReads<EventBCalcBase>(
        [&] {
            ComPtr<ICalcEnum> inner = recording.Bound(u"1 30 3");
            ComPtr<ICalcEnum> calc = Make<Echo::Family>(u"1 0");
            EXPECT_EQ(Bind(calc.Get(), 0, {inner.Get()}, kTickPeriod), S_OK);
            return calc;
        },
        420000);
    EXPECT_EQ(Ticks(nested), recording.ExpectedTicks());
    // The engine reads 8 events per call of the inner enumerator.
    ComPtr<ICalcEnum> inner = recording.Bound(u"1 30 3");
    ComPtr<ICalcEnum> calc = Make<Echo::Family>(u"1 0");
    ASSERT_EQ(Bind(calc.Get(), 0, {inner.Get()}, kTickPeriod), S_OK);
    LONG size = 0;
    Events(calc.Get())->GetEventSize(&size);
    EXPECT_EQ(size, 48);
}

TEST(EnumeratorEngine, FloatBoundsOfADoubleLevelTestFloatsAsTheLevelDoes)
{
    // The stages test runs of float samples against float bounds of their double levels: every comparison with the
    // bound must answer as the one with the level, for the floats around it, at the edges of the float range and
    // for levels halfway between two floats.
    const float max = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> levels{0.0, -0.0, 1.0, -1.0, 0.1, -0.1, 1e-320, -1e-320, 1e-46, -1e-46, 1e-45, 3e38,
                               max * 1.5, -max * 1.5, std::numeric_limits<double>::max(), inf, -inf,
                               std::numeric_limits<double>::quiet_NaN(), static_cast<double>(max),
                               static_cast<double>(tiny) * 0.5, static_cast<double>(tiny) * 1.5};
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 300; ++i) {
        const double magnitude = std::ldexp(unit(random), static_cast<int>(unit(random) * 140));
        const auto f = static_cast<float>(magnitude);
        levels.push_back(magnitude);
        // Halfway to the next float, and a hair either side of a float.
        levels.push_back((static_cast<double>(f) + std::nextafter(f, INFINITY)) / 2.0);
        levels.push_back(std::nextafter(static_cast<double>(f), inf));
        levels.push_back(std::nextafter(static_cast<double>(f), -inf));
    }
    for (const double level : levels) {
        const float below = EEH3::FloatAtOrBelow(level);
        const float above = EEH3::FloatAtOrAbove(level);
        std::vector<float> xs{0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), max,
                              -max, tiny, -tiny};
        float x = static_cast<float>(level);
        for (int k = 0; k < 3; ++k) {
            x = std::nextafter(x, -INFINITY);
        }
        for (int k = 0; k < 7; ++k, x = std::nextafter(x, INFINITY)) {
            xs.push_back(x);
        }
        for (const float v : xs) {
            SCOPED_TRACE(testing::Message() << std::hexfloat << level << " " << v);
            const auto d = static_cast<double>(v);
            EXPECT_EQ(d <= level, v <= below);
            EXPECT_EQ(d > level, v > below);
            EXPECT_EQ(d >= level, v >= above);
            EXPECT_EQ(d < level, v < above);
        }
    }
}

} // namespace
