#include "recording.h"

#include "engine/peakcycconvert.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace recording;
using namespace enumharness;
using CX::Enum::EventPkStm;

namespace {

ComPtr<ICalcEnum> MakeConvert(const char16_t* text) { return MakeNamed(u"PeakCycConvert", text); }

// Samples whose value is 1000 + the tick, so that every output value names the tick it was read at.
Recording Ramp(int blocks = 1, LONG length = 1000)
{
    std::vector<std::vector<float>> all;
    for (int b = 0; b < blocks; ++b) {
        std::vector<float> samples(static_cast<std::size_t>(length));
        for (LONG t = 0; t < length; ++t) {
            samples[static_cast<std::size_t>(t)] = 1000.0f + static_cast<float>(t);
        }
        all.push_back(samples);
    }
    return Recording(all);
}

HRESULT BindConvert(ICalcEnum* calc, const Recording& rec, int block, IUnknown* events)
{
    ComPtr<IEnumFloatEx> samples = rec.document->OpenSamples(block, 0);
    return Bind(calc, block, {samples.Get(), events}, rec.document->TickPeriod(block));
}

TEST(PeakCycConvert, EventsBecomePeaksAtTheirPositionWithTheSampleThere)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::vector<KVOEventBase> cycles{
        {10, 0.0f, 5.0},   {100, 0.6f, 5.0},  {200, 0.4f, -3.0}, {300, -0.5f, 1.0}, {400, 0.5f, 1.0},
        {450, 0.0f, std::nan("")}, {460, 0.0f, inf}, {470, 0.0f, -inf}, {2000, 0.0f, 1.0},
    };
    const Recording rec = Ramp();
    ComPtr<ICalcEnum> calc = MakeConvert(u"0 0 0 0");
    ASSERT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(cycles).Get()), S_OK);
    const auto peaks = ReadAll<EventPkStm>(Events(calc.Get()).Get(), 3);
    // Position x = tick + offset becomes tick trunc(x + 0.5) and offset x - tick; the value is the sample at the
    // incoming tick (-1 where the block has none); non-finite events are dropped.
    const struct {
        LONG tick;
        float offset;
        double value;
    } expected[] = {{10, 0.0f, 1010}, {101, 0.6f - 1.0f, 1100}, {200, 0.4f, 1200},
                    {300, -0.5f, 1300}, {401, 0.5f - 1.0f, 1400}, {2000, 0.0f, -1.0}};
    ASSERT_EQ(peaks.size(), std::size(expected));
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        EXPECT_EQ(peaks[i].tick, expected[i].tick) << i;
        EXPECT_NEAR(peaks[i].offset, expected[i].offset, 1e-6) << i;
        EXPECT_EQ(peaks[i].value, expected[i].value) << i;
        EXPECT_EQ(peaks[i].kind, CX::Enum::kKindPeak);
    }
    LONG size = 0;
    Events(calc.Get())->GetEventSize(&size);
    EXPECT_EQ(size, 24);
}

// An incoming record larger than the plain host event: tick, offset and value come from its first 16 bytes.
struct Wide {
    std::int32_t tick;
    float offset;
    double value;
    double extra[3];
};

TEST(PeakCycConvert, SourceEventSizes)
{
    const Recording rec = Ramp();
    ComPtr<ICalcEnum> calc = MakeConvert(u"0 0 0 0");
    const std::vector<Wide> wide{{5, 0.0f, 1.0, {9, 9, 9}}, {6, 0.0f, std::nan(""), {}}, {7, 0.25f, 2.0, {}}};
    ASSERT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(wide).Get()), S_OK);
    EXPECT_EQ(Summary(ReadAll<EventPkStm>(Events(calc.Get()).Get())),
              (std::vector<Event>{{5, 2, 1005.0}, {7, 2, 1007.0}}));
    // Detector records (24 bytes) convert the same way.
    std::vector<EventPkStm> peaks = Stimuli({30, 40});
    ASSERT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(peaks).Get()), S_OK);
    EXPECT_EQ(Summary(ReadAll<EventPkStm>(Events(calc.Get()).Get())),
              (std::vector<Event>{{30, 2, 1030.0}, {40, 2, 1040.0}}));
    // Records of 8 bytes cannot hold a value: the source is refused and nothing is read through it.
    struct Narrow {
        std::int32_t tick;
        float offset;
    };
    EXPECT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(std::vector<Narrow>{{1, 0.0f}}).Get()), E_INVALIDARG);
    EventPkStm out[2];
    LONG count = -1;
    LONG next = 0;
    EXPECT_EQ(Events(calc.Get())->Next(sizeof out, -1, out, &count, &next), E_FAIL);
    EXPECT_EQ(count, 0);
}

TEST(PeakCycConvert, WithoutAnEventSource)
{
    ComPtr<ICalcEnum> calc = MakeConvert(u"0 0 0 0");
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    EventPkStm out[2];
    LONG count = -1;
    LONG next = 0;
    EXPECT_EQ(events->Next(sizeof out, -1, out, &count, &next), E_FAIL);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(events->Find(0, 0, 0, 100), E_FAIL);
    SourceTimeBase base{};
    EXPECT_EQ(events->GetSourceTimeBase(&base), E_FAIL);
    EXPECT_EQ(calc->GetSourceTimeBase(&base), E_FAIL);
    EXPECT_EQ(calc->SeekStart(0), E_FAIL);
    LONG position = 0;
    EXPECT_EQ(events->GetPosition(&position), S_OK);
    EXPECT_EQ(position, 0x7FFFFFFF);
    // A sample source only.
    const Recording rec = Ramp();
    ComPtr<IEnumFloatEx> samples = rec.document->OpenSamples(0, 0);
    EXPECT_EQ(Bind(calc.Get(), 0, {samples.Get()}, 0.001), S_OK);
    EXPECT_EQ(events->Next(sizeof out, -1, out, &count, &next), E_FAIL);
}

TEST(PeakCycConvert, BuffersLimitsAndSeeks)
{
    const Recording rec = Ramp(3);
    std::vector<KVOEventBase> cycles;
    for (LONG t = 0; t < 1000; t += 50) {
        cycles.push_back({t, 0.0f, 1.0});
    }
    // A buffer of 47 bytes holds one record.
    ComPtr<ICalcEnum> calc = MakeConvert(u"0 0 0 0");
    ASSERT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(cycles).Get()), S_OK);
    EventPkStm out[2];
    LONG count = -1;
    LONG next = 0;
    EXPECT_EQ(Events(calc.Get())->Next(47, -1, out, &count, &next), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out[0].tick, 0);
    // Limits from block 1 tick 100 to block 2 tick 300: an event at exactly the end tick is dropped and ends the
    // block.
    std::vector<std::vector<LONG>> expected{{}, {}, {}};
    for (LONG t = 100; t < 1000; t += 50) {
        expected[1].push_back(t);
    }
    for (LONG t = 0; t < 300; t += 50) {
        expected[2].push_back(t);
    }
    for (int block = 0; block < 3; ++block) {
        calc = MakeConvert(u"1 100 2 300");
        ASSERT_EQ(BindConvert(calc.Get(), rec, block, EventsOf(cycles).Get()), S_OK);
        std::vector<LONG> ticks;
        for (const auto& p : ReadAll<EventPkStm>(Events(calc.Get()).Get(), 4)) {
            ticks.push_back(p.tick);
        }
        EXPECT_EQ(ticks, expected[static_cast<std::size_t>(block)]) << "block " << block;
        LONG position = 0;
        Events(calc.Get())->GetPosition(&position);
        EXPECT_EQ(position, 0x7FFFFFFF);
    }
    // A block beyond the end record: nothing, at its end at once.
    calc = MakeConvert(u"0 0 1 0");
    ASSERT_EQ(BindConvert(calc.Get(), rec, 2, EventsOf(cycles).Get()), S_OK);
    EXPECT_EQ(Events(calc.Get())->Next(sizeof out, -1, out, &count, &next), S_FALSE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(next, 0x7FFFFFFF);
    // SeekStart on a stored event channel moves to the first event at or after the tick.
    calc = MakeConvert(u"0 0 0 0");
    ASSERT_EQ(BindConvert(calc.Get(), rec, 0, EventsOf(cycles).Get()), S_OK);
    EXPECT_EQ(calc->SeekStart(420), S_OK);
    EXPECT_EQ(Events(calc.Get())->Next(sizeof out, -1, out, &count, &next), S_OK);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(out[0].tick, 450);
    EXPECT_EQ(out[0].value, 1450.0);
    // The parameter text holds the four limits.
    IKVOString* text = nullptr;
    ASSERT_EQ(MakeConvert(u"1 100 2 300")->Write(&text), S_OK);
    KVO::String written;
    written.AttachInterface(text);
    EXPECT_EQ(written, u"1 100 2 300");
}

// Both sources are told to report one tick per sample; the host's readers then give that time base.
TEST(PeakCycConvert, SetSourcesSetsTheSourcesTimeBase)
{
    const Recording rec = Ramp();
    std::vector<KVOEventBase> cycles{{10, 0.0f, 1.0}};
    ComPtr<IEnumEventEx> events = host::OpenEvents(std::make_shared<const host::EventArray>(
        sizeof(KVOEventBase), std::as_bytes(std::span(cycles)), 0, SourceTimeBase{4, 3, 7}));
    ComPtr<IEnumFloatEx> samples = rec.document->OpenSamples(0, 0);
    ComPtr<ITimeBaseSetter> setter;
    ASSERT_EQ(samples->QueryInterface(IID_ITimeBaseSetter, setter.OutVoid()), S_OK);
    ASSERT_EQ(setter->SetTimeBase(2, 5, 3.0), S_OK);
    EXPECT_EQ(setter->SetTimeBase(1, 0, 0.0), E_INVALIDARG) << "no time base has b = 0";
    SourceTimeBase base{};
    samples->GetTimeBase(&base);
    ASSERT_EQ(base.a, 2);
    events->GetSourceTimeBase(&base);
    ASSERT_EQ(base.a, 4);

    ComPtr<ICalcEnum> calc = MakeConvert(u"0 0 0 0");
    ASSERT_EQ(Bind(calc.Get(), 0, {samples.Get(), events.Get()}, 0.001), S_OK);
    samples->GetTimeBase(&base);
    EXPECT_EQ(base.a, 1);
    EXPECT_EQ(base.b, 1);
    EXPECT_EQ(base.offset, 0);
    events->GetSourceTimeBase(&base);
    EXPECT_EQ(base.a, 1);
    EXPECT_EQ(base.b, 1);
    EXPECT_EQ(base.offset, 0);
    // The query is the event source's.
    EXPECT_EQ(calc->GetSourceTimeBase(&base), S_OK);
    EXPECT_EQ(base.a, 1);
}

// Cloned inside a host object the enumerator keeps reading the same sources from where it is; a plain clone, and
// any clone through its event interface, starts without sources.
TEST(PeakCycConvert, AnAggregatedCloneCopiesItsSources)
{
    const Recording rec = Ramp();
    std::vector<KVOEventBase> cycles;
    for (LONG t = 0; t < 1000; t += 100) {
        cycles.push_back({t, 0.0f, 1.0});
    }
    struct Outer final : IUnknown {
        IUnknown* inner = nullptr;
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            if (iid == IID_IUnknown) {
                *out = this;
                return S_OK;
            }
            return inner->QueryInterface(iid, out);
        }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
    } outer;
    ASSERT_EQ(EEH3::FindCreator(u"PeakCycConvert")(nullptr, nullptr, &outer, IID_IUnknown,
                                                   reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    ICalcEnum* aggregated = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ICalcEnum, reinterpret_cast<void**>(&aggregated)), S_OK);
    IKVOString* limits = KVO::String(u"0 0 0 600").GetInterface();
    ASSERT_EQ(aggregated->Parse(limits, nullptr), S_OK);
    limits->Release();
    ASSERT_EQ(BindConvert(aggregated, rec, 0, EventsOf(cycles).Get()), S_OK);
    EventPkStm out[2];
    LONG count = 0;
    LONG next = 0;
    ASSERT_EQ(Events(aggregated)->Next(sizeof out, -1, out, &count, &next), S_OK);
    ASSERT_EQ(count, 2); // ticks 0 and 100 read

    ComPtr<ICalcEnum> copy;
    ASSERT_EQ(aggregated->Clone(copy.Out()), S_OK);
    ASSERT_TRUE(copy);
    double period = 0.0;
    copy->GetTickPeriod(&period, nullptr);
    EXPECT_EQ(period, rec.document->TickPeriod(0));
    std::vector<LONG> ticks;
    for (const auto& p : ReadAll<EventPkStm>(Events(copy.Get()).Get(), 4)) {
        ticks.push_back(p.tick);
        EXPECT_EQ(p.value, 1000.0 + p.tick) << "the shared sample reader";
    }
    EXPECT_EQ(ticks, (std::vector<LONG>{200, 300, 400, 500})) << "the same event source and limits";

    ComPtr<IEnumEventEx> fresh;
    ASSERT_EQ(Events(aggregated)->Clone(fresh.Out()), S_OK);
    EXPECT_EQ(fresh->Next(sizeof out, -1, out, &count, &next), E_FAIL) << "no event source";
    ComPtr<ICalcEnum> plainCopy;
    ASSERT_EQ(MakeConvert(u"0 0 0 600")->Clone(plainCopy.Out()), S_OK);
    EXPECT_EQ(plainCopy->SeekStart(0), E_FAIL);
    aggregated->Release();
    outer.inner->Release();
}

} // namespace
