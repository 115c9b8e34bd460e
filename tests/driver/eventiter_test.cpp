// The buffered and merged event readers over host event channels.
#include "testhost.h"

#include "frame/eventiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

struct Event16 {
    std::int32_t tick;
    float offset;
    double value;
};

std::shared_ptr<const host::EventArray> Events(std::vector<Event16> events)
{
    return host::EventArray::Of(events);
}

Event16 Read(const KVOEvent::SharedEvent& event)
{
    Event16 out{};
    std::memcpy(&out, event->data(), sizeof out);
    return out;
}

struct Merged {
    std::int32_t tick;
    double value;
    std::uint32_t reader;
    friend bool operator==(const Merged&, const Merged&) = default;
};

std::vector<Merged> ReadMerged(KVOEvent::MergedEventIter& merged)
{
    std::vector<Merged> out;
    KVOEvent::SharedEvent event;
    while (merged.Next(event) == S_OK) {
        IEnumEventEx* enumerator = nullptr;
        std::uint32_t reader = 99;
        EXPECT_EQ(merged.GetCurrentSource(&enumerator, &reader), S_OK);
        EXPECT_NE(enumerator, nullptr);
        if (enumerator) {
            enumerator->Release();
        }
        const Event16 e = Read(event);
        out.push_back({e.tick, e.value, reader});
    }
    return out;
}

// Three stored channels with random ticks (many shared between channels) and some unset values: the merged stream
// holds every finite event from the start position on, in tick order, the channel added first first on equal ticks.
TEST(MergedEventIter, MergesEventChannelsInTickOrder)
{
    std::mt19937 random(3);
    const double unset = std::numeric_limits<double>::quiet_NaN();
    for (int round = 0; round < 20; ++round) {
        auto source = SourceOf(OneChannel({std::vector<float>(10), std::vector<float>(10)}, 0.001));
        std::vector<Merged> expected;
        const std::int32_t start = std::uniform_int_distribution<int>(0, 30)(random);
        for (std::uint32_t channel = 0; channel < 3; ++channel) {
            std::vector<Event16> events;
            const int count = std::uniform_int_distribution<int>(0, 40)(random);
            for (int i = 0; i < count; ++i) {
                const std::int32_t tick = std::uniform_int_distribution<int>(0, 60)(random);
                const bool finite = std::uniform_int_distribution<int>(0, 5)(random) != 0;
                events.push_back({tick, 0.0f, finite ? channel * 1000.0 + i : unset});
            }
            // The host keeps each channel's events in tick order, equal ticks in their order.
            std::stable_sort(events.begin(), events.end(), [](auto& a, auto& b) { return a.tick < b.tick; });
            for (const Event16& e : events) {
                if (std::isfinite(e.value) && e.tick >= start) {
                    expected.push_back({e.tick, e.value, channel});
                }
            }
            source->AddEventChannel(u"events", {nullptr, Events(events)});
        }
        std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.tick < b.tick; });

        KVOEvent::MergedEventIter merged(source->AsSource(), 1, 0, 0, start, 0);
        ASSERT_EQ(merged.Readers(), 3u);
        EXPECT_EQ(merged.ChannelOf(0), 1) << "event channels follow the sample channel";
        EXPECT_EQ(ReadMerged(merged), expected) << "round " << round;
        KVOEvent::SharedEvent event;
        EXPECT_EQ(merged.Next(event), S_FALSE);

        KVOEvent::MergedEventIter empty(source->AsSource(), 0, 0, 0, 0, 0);
        EXPECT_EQ(empty.Next(event), S_FALSE) << "record 0 holds no events";
    }
}

TEST(MergedEventIter, EdgesOfTheMerge)
{
    auto source = SourceOf(OneChannel({std::vector<float>(10)}, 0.001));
    source->AddEventChannel(u"end", {Events({{kEndOfBlockTick - 1, 0.0f, 1.0}})});
    KVOEvent::MergedEventIter merged(source->AsSource(), 0, 0, 0, 0, 0);
    IEnumEventEx* enumerator = reinterpret_cast<IEnumEventEx*>(1);
    EXPECT_EQ(merged.GetCurrentSource(&enumerator, nullptr), S_OK);
    EXPECT_EQ(enumerator, nullptr) << "nothing returned yet";
    KVOEvent::SharedEvent event;
    ASSERT_EQ(merged.Next(event), S_OK);
    EXPECT_EQ(Read(event).tick, kEndOfBlockTick - 1);
    EXPECT_EQ(merged.Next(event), S_FALSE);

    // A calculation channel merges with a stored one; its reader seeks the calculation to the start.
    auto peaks = SourceOf(OneChannel({{0, 5, 0, 0, 9, 0, 0, 7, 0}}, 0.001)); // peaks at 1, 4 and 7
    peaks->AddCalculationChannel(u"peaks", u"cappeakdet(ch1, 2)");
    peaks->AddEventChannel(u"marks", {Events({{3, 0.0f, 1.0}, {7, 0.0f, 2.0}})});
    KVOEvent::MergedEventIter both(peaks->AsSource(), 0, 0, 0, 2, 0);
    std::vector<std::pair<std::int32_t, std::uint32_t>> order;
    while (both.Next(event) == S_OK) {
        std::uint32_t reader = 9;
        IEnumEventEx* enumerator = nullptr;
        both.GetCurrentSource(&enumerator, &reader);
        enumerator->Release();
        order.emplace_back(Read(event).tick, reader);
    }
    const std::vector<std::pair<std::int32_t, std::uint32_t>> expected{{3, 1}, {4, 0}, {7, 0}, {7, 1}};
    EXPECT_EQ(order, expected);

    KVOEvent::MergedEventIter none(nullptr, 0, 0, 0, 0, 0);
    EXPECT_EQ(none.Readers(), 0u);
    EXPECT_EQ(none.Next(event), S_FALSE);
}

// A channel whose positions are not the record's ticks starts at the first whole position after the start; a time
// base without a usable ratio (zero denominator, zero or endless ratio) counts as one position per tick.
TEST(MergedEventIter, StartsOfChannelsWithOtherTimeBases)
{
    const struct {
        ChannelTimeBase base;
        std::int32_t first; // the first tick returned from start 10
    } cases[] = {
        {{1, 1, 0.0}, 10},
        {{1, 1, 0.5}, 11},    // 10.5 is no whole position: from trunc((11 - 0.5) / 1 + 1) = 11
        {{2, 0, 0.5}, 11},    // zero denominator: ratio 1
        {{0, 5, 0.0}, 10},    // ratio 0: 1
        {{1, 2, 0.0}, 10},    // 10 x 1/2 = 5, whole
        {{1, 4, 0.0}, 13},    // 2.5: from trunc((3 - 0) / 0.25 + 1) = 13
    };
    for (const auto& c : cases) {
        auto source = SourceOf(OneChannel({std::vector<float>(10)}, 0.001));
        const int channel = source->AddEventChannel(
            u"events", {Events({{9, 0.0f, 1.0}, {10, 0.0f, 1.0}, {11, 0.0f, 1.0}, {12, 0.0f, 1.0}, {13, 0.0f, 1.0}})});
        source->SetChannelTimeBase(channel, c.base);
        KVOEvent::MergedEventIter merged(source->AsSource(), 0, 0, 0, 10, 0);
        KVOEvent::SharedEvent event;
        ASSERT_EQ(merged.Next(event), S_OK);
        EXPECT_EQ(Read(event).tick, c.first) << c.base.a << "/" << c.base.b << " + " << c.base.o;
    }
}

// An enumerator that reports event size 0 and would hand out garbage if asked.
class ZeroSize final : public IEnumEventEx {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT Next(ULONG, LONG, void*, LONG* count, LONG*) override
    {
        ++nextCalls;
        *count = 5;
        return S_OK;
    }
    HRESULT Find(LONG, LONG, LONG, LONG) override { return S_FALSE; }
    HRESULT GetPosition(LONG* tick) override
    {
        *tick = 0;
        return S_OK;
    }
    HRESULT Skip(LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT Clone(IEnumEventEx**) override { return E_NOTIMPL; }
    HRESULT GetEventSize(LONG* bytes) override
    {
        *bytes = 0;
        return S_OK;
    }
    HRESULT GetDrawType(DWORD* id) override
    {
        *id = 0;
        return S_OK;
    }
    HRESULT GetExtension(IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetSourceTimeBase(SourceTimeBase*) override { return E_NOTIMPL; }
    int nextCalls = 0;
};

TEST(ConstEventIterBase, ReadsForwardAndBackInBuffersOfEight)
{
    std::vector<Event16> events;
    for (int i = 0; i < 21; ++i) {
        events.push_back({3 * i, 0.0f, static_cast<double>(i)});
    }
    auto enumerator = host::OpenEvents(Events(events));
    KVOEvent::ConstEventIterBase reader(enumerator.Get());
    EXPECT_EQ(reader.EventSize(), 16u);
    std::vector<std::int32_t> forward;
    while (!reader.AtBufferEnd() || reader.FillBuffer()) {
        Event16 e;
        std::memcpy(&e, reader.Cursor(), sizeof e);
        forward.push_back(e.tick);
        reader.Step();
    }
    ASSERT_EQ(forward.size(), 21u);
    EXPECT_EQ(forward.back(), 60);

    // Back from the end (the last fill found nothing): every event again, eight at a time.
    std::vector<std::int32_t> backward;
    for (;;) {
        if (reader.AtBufferStart()) {
            reader.FillBufferBackward();
            if (reader.AtBufferEnd()) {
                break;
            }
        } else {
            reader.StepBack();
        }
        Event16 e;
        std::memcpy(&e, reader.Cursor(), sizeof e);
        backward.push_back(e.tick);
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);

    EXPECT_EQ(reader.Seek(30), S_OK);
    ASSERT_TRUE(reader.FillBuffer());
    Event16 e;
    std::memcpy(&e, reader.Cursor(), sizeof e);
    EXPECT_EQ(e.tick, 30);

    ZeroSize zero;
    KVOEvent::ConstEventIterBase empty(&zero);
    EXPECT_FALSE(empty.FillBuffer());
    EXPECT_EQ(zero.nextCalls, 0) << "no buffer, no read";
}

} // namespace
