// Test support for the calculation families of the enumerator engine: creating and binding an enumerator, reading
// its events in various ways, and the equivalence check that every family must pass (the events of a block read
// in one pass equal those read in many small requests, after SeekStart into later slices, and those found with
// forward and backward Find).
#pragma once

#include "engine/eeh3enumerator.h"
#include "foundation/kvostring.h"
#include "host/document.h"
#include "sdk/calcenum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace enumharness {

using platform::ComPtr;

// A new enumerator of `Family` (no class object, no context) with the parameter text parsed.
template <class Family>
ComPtr<ICalcEnum> Make(const char16_t* text)
{
    ComPtr<ICalcEnum> calc;
    EXPECT_EQ(EEH3::Create<Family>(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid()), S_OK);
    IKVOString* parameters = KVO::String(text).GetInterface();
    DWORD flags = 0;
    EXPECT_EQ(calc->Parse(parameters, &flags), S_OK);
    parameters->Release();
    EXPECT_EQ(flags, 0x40000000u);
    return calc;
}

// The parameter text the calculation writes back.
inline std::u16string Written(ICalcEnum* calc)
{
    IKVOString* text = nullptr;
    EXPECT_EQ(calc->Write(&text), S_OK);
    KVO::String copy;
    copy.AssignInterface(text);
    if (text) {
        text->Release();
    }
    return std::u16string(copy.View());
}

inline ComPtr<IEnumEventEx> Events(ICalcEnum* calc)
{
    ComPtr<IEnumEventEx> events;
    EXPECT_EQ(calc->QueryInterface(IID_IEnumEventEx, events.OutVoid()), S_OK);
    return events;
}

// Binds the enumerator to sources: each entry a host object (a sample enumerator, an inner calculation or an
// event enumerator).
inline HRESULT Bind(ICalcEnum* calc, LONG block, std::vector<IUnknown*> sources, double tickPeriod, LONG flag = 0)
{
    return calc->SetSources(block, static_cast<LONG>(sources.size()), sources.data(), nullptr, tickPeriod, flag);
}

// Binds the enumerator to one sample channel of a document block (a fresh host cursor at tick 0).
inline HRESULT BindChannel(ICalcEnum* calc, host::Document& document, int block, int channel, LONG flag = 0)
{
    ComPtr<IEnumFloatEx> samples = document.OpenSamples(block, channel);
    return Bind(calc, block, {samples.Get()}, document.TickPeriod(block), flag);
}

template <class Record>
bool SameRecord(const Record& a, const Record& b)
{
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

// Reads from the current position with buffers of `bufferRecords` records and request end ticks that advance by
// `endStep` ticks from the position (endStep <= 0: no end tick) until the block ends; checks the protocol on the
// way (positions never move back, S_FALSE only with 0x7FFFFFFF).
template <class Record>
std::vector<Record> ReadAll(IEnumEventEx* events, ULONG bufferRecords = 256, LONG endStep = 0)
{
    std::vector<Record> all;
    std::vector<Record> buffer(std::max<ULONG>(bufferRecords, 1));
    LONG position = 0;
    events->GetPosition(&position);
    for (int guard = 0; guard < 10000000; ++guard) {
        const LONG end = endStep <= 0 ? -1 : static_cast<LONG>(std::min<std::int64_t>(
                                                  std::int64_t{std::max<LONG>(position, 0)} + endStep, 0x7FFFFFFF));
        LONG count = -1;
        LONG next = -1;
        const HRESULT hr = events->Next(bufferRecords * sizeof(Record), end, buffer.data(), &count, &next);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
        EXPECT_GE(count, 0);
        for (LONG i = 0; i < count; ++i) {
            if (end >= 0) {
                EXPECT_LT(buffer[i].tick, end) << "a record at or beyond the request's end tick";
            }
            all.push_back(buffer[i]);
        }
        if (hr != S_OK) {
            EXPECT_EQ(next, 0x7FFFFFFF);
            return all;
        }
        EXPECT_GE(next, position) << "the position moved back";
        if (end >= 0) {
            EXPECT_LE(next, end);
        }
        if (count == 0 && next == position && (end < 0 || next < end)) {
            ADD_FAILURE() << "no progress at tick " << next;
            return all;
        }
        position = next;
    }
    ADD_FAILURE() << "the block never ended";
    return all;
}

template <class Record>
void ExpectSameEvents(const std::vector<Record>& expected, const std::vector<Record>& actual, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(SameRecord(expected[i], actual[i]))
            << what << ": record " << i << " at tick " << actual[i].tick << ", expected tick " << expected[i].tick;
    }
}

// A fresh enumerator with its sources set for the block under test.
using Factory = std::function<ComPtr<ICalcEnum>()>;

// The equivalence check. `blockLength` is the block's length in ticks (long blocks: several slices of 100000).
// Returns the events of the one-pass read.
template <class Record>
std::vector<Record> ExpectEquivalentReads(const Factory& make, LONG blockLength)
{
    ComPtr<ICalcEnum> first = make();
    const std::vector<Record> all = ReadAll<Record>(Events(first.Get()).Get(), 4096);
    EXPECT_FALSE(all.empty()) << "the block under test has no events";

    // Many small requests: odd buffer sizes and odd end-tick steps, each on a fresh enumerator.
    const struct {
        ULONG records;
        LONG step;
    } requests[] = {{1, 0}, {3, 0}, {7, 12345}, {1, 777}, {5, 99991}, {2, 100000}, {13, 1}};
    for (const auto& request : requests) {
        if (request.step == 1 && blockLength > 200000) {
            continue; // one tick per request is checked on short blocks only
        }
        ComPtr<ICalcEnum> calc = make();
        const std::string what = "buffer " + std::to_string(request.records) + ", step " +
                                 std::to_string(request.step);
        ExpectSameEvents(all, ReadAll<Record>(Events(calc.Get()).Get(), request.records, request.step),
                         what.c_str());
    }

    // SeekStart into later slices: on a fresh enumerator (no checkpoints yet) and on the one that ran the whole
    // block (resuming from its checkpoints), in an order that goes back and forth.
    ComPtr<ICalcEnum> fresh = make();
    const LONG seeks[] = {250000, 150001, 349999, 99999, 100000, 0, blockLength - 1, 200000};
    for (ICalcEnum* calc : {fresh.Get(), first.Get()}) {
        for (const LONG seek : seeks) {
            if (seek < 0 || seek >= blockLength) {
                continue;
            }
            EXPECT_EQ(calc->SeekStart(seek), S_OK);
            LONG position = -1;
            Events(calc)->GetPosition(&position);
            EXPECT_EQ(position, seek);
            std::vector<Record> expected;
            for (const Record& r : all) {
                if (r.tick >= seek) {
                    expected.push_back(r);
                }
            }
            const std::string what = "after SeekStart(" + std::to_string(seek) + ")";
            ExpectSameEvents(expected, ReadAll<Record>(Events(calc).Get(), 64), what.c_str());
        }
    }

    // Find forward and backward from every event (every k-th on many events), then read on from there.
    ComPtr<ICalcEnum> finder = make();
    ComPtr<IEnumEventEx> events = Events(finder.Get());
    const std::size_t stride = std::max<std::size_t>(1, all.size() / 150);
    for (std::size_t i = 0; i < all.size(); i += stride) {
        const LONG tick = all[i].tick;
        Record got{};
        LONG count = 0;
        LONG next = 0;
        // Forward from the event's own tick finds it; the next Next delivers it first.
        EXPECT_EQ(events->Find(0, tick, 0, 0x7FFFFFFF), S_OK) << "forward from " << tick;
        LONG position = -1;
        events->GetPosition(&position);
        EXPECT_EQ(position, tick);
        events->Next(sizeof(Record), -1, &got, &count, &next);
        EXPECT_EQ(count, 1);
        EXPECT_TRUE(SameRecord(got, all[i])) << "forward from " << tick;
        // Forward from just past it finds the one after, if any.
        const HRESULT after = events->Find(0, tick + 1, 0, 0x7FFFFFFF);
        if (i + 1 < all.size()) {
            EXPECT_EQ(after, S_OK);
            events->Next(sizeof(Record), -1, &got, &count, &next);
            EXPECT_EQ(count, 1);
            EXPECT_TRUE(SameRecord(got, all[i + 1])) << "forward from " << tick + 1;
        } else {
            EXPECT_EQ(after, S_FALSE) << "nothing after the last event";
        }
        // Backward from it finds the one before (none before the first).
        const HRESULT before = events->Find(1, tick, 0, 0x7FFFFFFF);
        if (i > 0) {
            EXPECT_EQ(before, S_OK) << "backward from " << tick;
            events->GetPosition(&position);
            EXPECT_EQ(position, all[i - 1].tick);
            events->Next(sizeof(Record), -1, &got, &count, &next);
            EXPECT_EQ(count, 1);
            EXPECT_TRUE(SameRecord(got, all[i - 1])) << "backward from " << tick;
        } else {
            EXPECT_EQ(before, S_FALSE) << "nothing before the first event";
        }
        // After a find the rest of the block reads on as in one pass.
        if (i % (stride * 25) == 0) {
            EXPECT_EQ(events->Find(0, tick, 0, 0x7FFFFFFF), S_OK);
            const std::vector<Record> rest(all.begin() + static_cast<std::ptrdiff_t>(i), all.end());
            ExpectSameEvents(rest, ReadAll<Record>(events.Get(), 16), "reading on after Find");
        }
    }
    // Backward from the end of the block finds the last event.
    EXPECT_EQ(events->Find(1, blockLength, 0, 0x7FFFFFFF), S_OK);
    LONG position = -1;
    events->GetPosition(&position);
    EXPECT_EQ(position, all.empty() ? 0 : all.back().tick);
    return all;
}

} // namespace enumharness
