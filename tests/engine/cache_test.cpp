#include "enum_harness.h"

#include "engine/calcbulk.h"
#include "engine/pscalc.h"
#include "engine/selectors.h"
#include "engine/sharedcache.h"
#include "foundation/stringstream.h"
#include "host/eventarray.h"
#include "tests/frame/sharedhost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace enumharness;
using CX::Enum::EventFCalc;

namespace {

using BulkCache = EEH::SharedCacheCoordinator<CX::Enum::CalcBulk::CBkAlgorithm>;
using PSCache = EEH::SharedCacheCoordinator<CX::Enum::PSCalc::Algorithm>;

EventFCalc Final(LONG tick, float height = 0.0f, float offset = 0.0f)
{
    EventFCalc r;
    r.tick = tick;
    r.offset = offset;
    r.height = height;
    return r;
}

std::vector<LONG> Ticks(const EEH::RecordResults& results)
{
    std::vector<LONG> ticks;
    for (const EventFCalc* r = results.FindForward(0); r; r = results.FindForward(r->tick + 1)) {
        ticks.push_back(r->tick);
    }
    return ticks;
}

TEST(SharedCache, ChunksOfTicksAndSearches)
{
    EEH::RecordResults results(0);
    for (const LONG tick : {16384, 100, 16383, 50000, -5}) {
        results.Store(Final(tick));
    }
    EXPECT_EQ(results.ChunkCount(), 4u) << "chunks 0, 1, 2 (empty) and 3; a negative tick is not stored";
    EXPECT_EQ(Ticks(results), (std::vector<LONG>{100, 16383, 16384, 50000}));
    struct Case {
        bool forward;
        LONG from;
        LONG expected; // -1: none
    } cases[] = {
        {true, 16000, 16383}, {true, 16384, 16384}, {true, 16385, 50000}, {true, 50001, -1}, {true, -3, 100},
        {false, 16383, 16383}, {false, 16382, 100}, {false, 99, -1},     {false, 40000, 16384},
        {false, 1 << 30, 50000}, {false, -1, -1},
    };
    for (const Case& c : cases) {
        const EventFCalc* found = c.forward ? results.FindForward(c.from) : results.FindBackward(c.from);
        EXPECT_EQ(found ? found->tick : -1, c.expected) << (c.forward ? "forward from " : "backward from ") << c.from;
    }
    // Records of one tick keep the order they came in.
    results.Store(Final(16383, 2.0f));
    EXPECT_EQ(results.FindForward(16383)->height, 0.0f);
    EXPECT_EQ(results.FindBackward(16383)->height, 2.0f);
    results.Clear();
    EXPECT_TRUE(results.Empty());
    EXPECT_EQ(results.FindForward(0), nullptr);
}

TEST(SharedCache, OneCoordinatorPerChartDataAndAlgorithm)
{
    host::Host& host = SharedHost();
    auto data = host.NewChartData();
    auto bulk = BulkCache::FindOrCreate(data->AsUnknown());
    ASSERT_TRUE(bulk);
    EXPECT_EQ(BulkCache::FindOrCreate(data->AsUnknown()).Get(), bulk.Get());
    auto ps = PSCache::FindOrCreate(data->AsUnknown());
    ASSERT_TRUE(ps);
    EXPECT_NE(static_cast<void*>(ps.Get()), static_cast<void*>(bulk.Get()));
    EXPECT_EQ(data->Holder().Size(), 2u);
    DWORD key = 0;
    EXPECT_EQ(bulk->GetTypeId(&key), S_OK);
    EXPECT_EQ(key, CX::Enum::CalcBulk::CBkAlgorithm::GetTypeId());
    EXPECT_NE(key & 0xFFFF0000u, 0u);
    EXPECT_EQ(key & 0xFFFFu, 0u);

    EXPECT_FALSE(BulkCache::FindOrCreate(nullptr));
    auto bare = host.NewChartData();
    bare->SetHasHolder(false);
    EXPECT_FALSE(BulkCache::FindOrCreate(bare->AsUnknown()));

    // The current entry is the newest; asking for it deletes the older ones.
    EXPECT_FALSE(bulk->CurrentEntry());
    bulk->AddEntry({{0, 0}});
    auto newest = bulk->AddEntry({{1, 0}});
    EXPECT_EQ(bulk->EntryCount(), 2u);
    EXPECT_EQ(bulk->CurrentEntry(), newest);
    EXPECT_EQ(bulk->EntryCount(), 1u);

    // A clone is an empty coordinator of the same algorithm.
    platform::ComPtr<IChartDataChildData> clone;
    ASSERT_EQ(bulk->Clone(nullptr, clone.Out()), S_OK);
    DWORD cloneKey = 0;
    clone->GetTypeId(&cloneKey);
    EXPECT_EQ(cloneKey, key);
    EXPECT_EQ(static_cast<BulkCache*>(clone.Get())->EntryCount(), 0u);
}

// An entry with records 0..n-1, each holding one result at its own number as tick.
boost::shared_ptr<EEH::CacheListItem> Fill(EEH::SharedCacheCoordinatorBase& cache, int records,
                                           std::vector<EEH::SourceChannel> sources)
{
    auto entry = cache.AddEntry(std::move(sources));
    for (int r = 0; r < records; ++r) {
        entry->Results(r).Store(Final(r));
    }
    return entry;
}

// Which records still hold results.
std::vector<int> Filled(const EEH::CacheListItem& entry)
{
    std::vector<int> filled;
    for (LONG r = 0; r < entry.RecordCount(); ++r) {
        if (!entry.Find(r)->Empty()) {
            filled.push_back(r);
        }
    }
    return filled;
}

TEST(SharedCache, FollowsTheHostNotices)
{
    host::Host& host = SharedHost();
    auto data = host.NewChartData();
    data->SetChannels({0, 1});
    auto cache = BulkCache::FindOrCreate(data->AsUnknown());
    auto& holder = data->Holder();

    auto a = Fill(*cache.Get(), 8, {{0, 0}, {1, 1}});
    holder.NotifyInvalidated(0, 2, 4);
    EXPECT_EQ(Filled(*a), (std::vector<int>{0, 1, 4, 5, 6, 7}));
    holder.NotifyInvalidated(0, 5, 5);
    EXPECT_EQ(Filled(*a).size(), 6u) << "an empty range does nothing";
    holder.NotifyInvalidated(0, 6, -1);
    EXPECT_EQ(Filled(*a), (std::vector<int>{0, 1, 4, 5})) << "a negative end: every record from the first";

    // Records 3 to 5 removed (first 6, second 3): the later ones are numbered from 3.
    auto b = Fill(*cache.Get(), 8, {{2, 0}});
    holder.NotifyRecordsChanged(6, 3);
    ASSERT_EQ(b->RecordCount(), 5);
    for (LONG r = 0; r < 5; ++r) {
        EXPECT_EQ(b->Find(r)->Index(), r);
    }
    EXPECT_EQ(Ticks(*b->Find(3)), (std::vector<LONG>{6}));
    // Two records inserted at 1; equal values and ranges beyond the count change nothing.
    holder.NotifyRecordsChanged(1, 3);
    ASSERT_EQ(b->RecordCount(), 7);
    EXPECT_TRUE(b->Find(1)->Empty() && b->Find(2)->Empty());
    EXPECT_EQ(Ticks(*b->Find(3)), (std::vector<LONG>{1}));
    EXPECT_EQ(b->Find(6)->Index(), 6);
    holder.NotifyRecordsChanged(4, 4);
    holder.NotifyRecordsChanged(9, 12);
    holder.NotifyRecordsChanged(12, 9);
    EXPECT_EQ(b->RecordCount(), 7);
    // Removing up to beyond the count removes up to the count.
    holder.NotifyRecordsChanged(100, 5);
    EXPECT_EQ(b->RecordCount(), 5);

    // Data changes: kind 2 drops the entries that read the channel's samples directly (flag 0).
    auto c = Fill(*cache.Get(), 4, {{0, 0}, {1, 1}});
    auto d = Fill(*cache.Get(), 4, {{1, 0}});
    struct Case {
        LONG channel;
        DWORD kind;
        std::vector<int> c; // still filled after the notice
        std::vector<int> d;
        bool channelGone = false;
    } cases[] = {
        {5, 2, {0, 1, 2, 3}, {0, 1, 2, 3}},                              // a channel no entry lists
        {0, 2, {0, 3}, {0, 1, 2, 3}},                                    // c reads channel 0's samples
        {1, 0x102, {0, 1, 2, 3}, {0, 3}},                                // kind in the low byte; c holds 1 flagged
        {1, 4, {0, 1, 2, 3}, {0, 3}},                                    // kind 4 without bit 29
        {1, 4 | (1u << 29), {0, 3}, {0, 1, 2, 3}},                       // another kind: flagged pairs only ...
        {0, 7, {0, 1, 2, 3}, {0, 1, 2, 3}},                              // ... while the channel exists
        {0, 7, {0, 3}, {0, 1, 2, 3}, true},                              // a channel gone drops every listing
    };
    for (const Case& k : cases) {
        for (LONG r = 0; r < 4; ++r) {
            c->Results(r).Store(Final(r));
            d->Results(r).Store(Final(r));
        }
        data->SetChannels(k.channelGone ? std::set<LONG>{} : std::set<LONG>{0, 1});
        holder.NotifyDataChanged(0, k.channel, k.kind, 0, 1, 3);
        EXPECT_EQ(Filled(*c), k.c) << k.channel << " " << std::hex << k.kind;
        EXPECT_EQ(Filled(*d), k.d) << k.channel << " " << std::hex << k.kind;
    }
    for (LONG r = 0; r < 4; ++r) {
        c->Results(r).Store(Final(r));
    }
    holder.NotifyDataChanged(0, 0, 2, 0, 2, 2);
    EXPECT_EQ(Filled(*c), (std::vector<int>{0, 1, 2, 3})) << "first record equal to end record: nothing";
}

// ---- Selectors ----

ComPtr<ICalcEnum> MakeSelector(const char16_t* name, IUnknown* context, const char16_t* text)
{
    const EEH3::Creator create = EEH3::FindCreator(name);
    EXPECT_NE(create, nullptr) << "registered";
    ComPtr<ICalcEnum> calc;
    EXPECT_EQ(create(nullptr, context, nullptr, IID_ICalcEnum, calc.OutVoid()), S_OK);
    IKVOString* parameters = KVO::String(text).GetInterface();
    DWORD flags = 0;
    EXPECT_EQ(calc->Parse(parameters, &flags), S_OK);
    EXPECT_EQ(flags, 0x40000000u);
    parameters->Release();
    return calc;
}

TEST(CacheSelector, ConvertsTheCachedRecordsOfItsBlock)
{
    host::Host& host = SharedHost();
    auto data = host.NewChartData();
    auto cache = BulkCache::FindOrCreate(data->AsUnknown());
    auto entry = cache->AddEntry({{0, 0}});
    auto& block = entry->Results(2);
    for (const auto& r : {Final(99, 0.002f, 0.6f), Final(500, 0.004f), Final(20000, 0.006f), Final(20001, 1.0f)}) {
        block.Store(r);
    }
    entry->Results(0).Store(Final(7, 9.0f));

    ComPtr<ICalcEnum> calc = MakeSelector(u"CacheSelector", data->AsUnknown(), u"3 5 1000");
    EXPECT_EQ(Written(calc.Get()), u"3 5 1000");
    ASSERT_EQ(Bind(calc.Get(), 2, {}, 0.001), S_OK);
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    KVOEventBase out[4] = {};
    LONG count = -1;
    LONG next = -1;
    // The end tick 20001 keeps the record at 20001 for the next request, and delivers the one at 20000.
    EXPECT_EQ(events->Next(sizeof out, 20001, out, &count, &next), S_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(out[0].tick, 100) << "99 + 0.6 rounds to 100";
    EXPECT_FLOAT_EQ(out[0].offset, -0.4f);
    EXPECT_NEAR(out[0].value, 2.0, 1e-6) << "a height of 0.002 times 1000";
    EXPECT_EQ(out[2].tick, 20000);
    EXPECT_EQ(next, 20001);
    EXPECT_EQ(events->Next(sizeof out, -1, out, &count, &next), S_FALSE);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(out[0].tick, 20001);
    EXPECT_EQ(next, kEndOfBlockTick);

    // Find forward and backward within windows.
    EXPECT_EQ(events->Find(0, 101, 0, 30000), S_OK);
    LONG position = -1;
    events->GetPosition(&position);
    EXPECT_EQ(position, 500);
    EXPECT_EQ(events->Find(0, 501, 0, 20000), S_FALSE) << "found at 20000, the window's end";
    EXPECT_EQ(events->Find(1, 19999, 0, 30000), S_OK);
    events->GetPosition(&position);
    EXPECT_EQ(position, 500);
    EXPECT_EQ(events->Find(1, 499, 200, 30000), S_FALSE) << "99 lies below the window";
    EXPECT_EQ(events->Next(sizeof out, 600, out, &count, &next), S_OK);
    ASSERT_EQ(count, 2) << "from the found position (99) on";
    EXPECT_EQ(out[0].tick, 100);
    EXPECT_EQ(out[1].tick, 500);

    // A code above 58 gives -1 times the factor.
    ComPtr<ICalcEnum> beyond = MakeSelector(u"CacheSelector", data->AsUnknown(), u"0 59 3");
    Bind(beyond.Get(), 0, {}, 0.001);
    EXPECT_EQ(Events(beyond.Get())->Next(sizeof out, -1, out, &count, &next), S_FALSE);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(out[0].value, -3.0);

    // The population-spike selector reads its own (empty) coordinator: nothing, position at the end tick.
    ComPtr<ICalcEnum> ps = MakeSelector(u"PSCacheSelector", data->AsUnknown(), u"4 49 1");
    Bind(ps.Get(), 2, {}, 0.001);
    EXPECT_EQ(Events(ps.Get())->Next(sizeof out, 5000, out, &count, &next), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(next, 5000);
    EXPECT_EQ(Events(ps.Get())->Find(1, 0, 0, 100), S_FALSE);
    Events(ps.Get())->GetPosition(&position);
    EXPECT_EQ(position, 0);

    // A selector without host data finds no cache and emits nothing.
    ComPtr<ICalcEnum> lone = MakeSelector(u"CacheSelector", nullptr, u"0 5 1");
    EXPECT_EQ(Bind(lone.Get(), 2, {}, 0.001), S_OK);
    EXPECT_EQ(Events(lone.Get())->Next(sizeof out, 300, out, &count, &next), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(next, 300);

    DWORD word = 0;
    EXPECT_EQ(calc->GetCapabilities(&word), S_OK);
    EXPECT_EQ(word, 0x10000000u);
    EXPECT_EQ(Events(calc.Get())->GetDrawType(&word), E_NOTIMPL);
    EXPECT_EQ(word, 0u);
    LONG size = 0;
    Events(calc.Get())->GetEventSize(&size);
    EXPECT_EQ(size, 16);
    ComPtr<ICalcEnum> copy;
    ASSERT_EQ(calc->Clone(copy.Out()), S_OK);
    EXPECT_EQ(Written(copy.Get()), u"3 5 1000");
}

// Final records padded to a larger event, as a source of a bigger record would give them.
struct Padded {
    EventFCalc record;
    std::uint8_t extra[24];
};

TEST(Selector, OutputsOneParameterOfItsSourcesFinalRecords)
{
    std::vector<Padded> records(3);
    for (int i = 0; i < 3; ++i) {
        records[i].record = Final(100 * (i + 1), static_cast<float>(i) + 0.5f, i == 1 ? 0.5f : 0.0f);
        std::memset(records[i].extra, 0xEE, sizeof records[i].extra);
    }
    auto events = host::EventArray::Of(records);
    ComPtr<ICalcEnum> calc = MakeSelector(u"Selector", nullptr, u"5.4");
    EXPECT_EQ(Written(calc.Get()), u"5");
    ComPtr<IEnumEventEx> source = host::OpenEvents(events);
    ASSERT_EQ(Bind(calc.Get(), 0, {source.Get()}, 0.001), S_OK);
    const auto out = ReadAll<KVOEventBase>(Events(calc.Get()).Get(), 2);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].tick, 201) << "200 + 0.5 rounds up";
    EXPECT_FLOAT_EQ(out[1].offset, -0.5f);
    EXPECT_EQ(out[2].value, 2.5);
    EXPECT_EQ(Events(calc.Get())->Find(1, 250, 0, 1000), S_OK) << "forwarded to the source";
    LONG position = 0;
    Events(calc.Get())->GetPosition(&position);
    EXPECT_EQ(position, 200);

    // Sources that give no final records are refused.
    std::vector<CX::Enum::EventBCalcBase2> smaller(1);
    ComPtr<IEnumEventEx> small = host::OpenEvents(host::EventArray::Of(smaller));
    EXPECT_EQ(Bind(calc.Get(), 0, {small.Get()}, 0.001), E_FAIL);
    EXPECT_EQ(Bind(calc.Get(), 0, {}, 0.001), E_FAIL);
    KVOEventBase buffer[2];
    LONG count = -1;
    LONG next = 0;
    EXPECT_EQ(Events(calc.Get())->Next(sizeof buffer, -1, buffer, &count, &next), E_FAIL);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(calc->SeekStart(5), S_FALSE);

    // A clone keeps the code and has no source.
    ComPtr<ICalcEnum> copy;
    ASSERT_EQ(calc->Clone(copy.Out()), S_OK);
    EXPECT_EQ(Written(copy.Get()), u"5");
    EXPECT_EQ(Events(copy.Get())->Next(sizeof buffer, -1, buffer, &count, &next), E_FAIL);
}

TEST(Selector, AggregatedInsideAHostObject)
{
    struct Outer final : IUnknown {
        IUnknown* inner = nullptr;
        LONG count = 1;
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            if (iid == IID_IUnknown) {
                *out = this;
                AddRef();
                return S_OK;
            }
            return inner->QueryInterface(iid, out);
        }
        ULONG AddRef() override { return static_cast<ULONG>(++count); }
        ULONG Release() override { return static_cast<ULONG>(--count); }
    } outer;
    for (const char16_t* name : {u"Selector", u"CacheSelector", u"PSCacheSelector"}) {
        void* inner = nullptr;
        ASSERT_EQ(EEH3::FindCreator(name)(nullptr, nullptr, &outer, IID_IUnknown, &inner), S_OK);
        outer.inner = static_cast<IUnknown*>(inner);
        ComPtr<ICalcEnum> calc;
        ASSERT_EQ(outer.QueryInterface(IID_ICalcEnum, calc.OutVoid()), S_OK);
        ComPtr<IUnknown> identity;
        ASSERT_EQ(calc->QueryInterface(IID_IUnknown, identity.OutVoid()), S_OK);
        EXPECT_EQ(identity.Get(), &outer) << "the outer object's identity";
        calc.Reset();
        identity.Reset();
        EXPECT_EQ(outer.count, 1);
        outer.inner->Release();
    }
}

} // namespace
