// Test recordings for the detectors: a host document of one channel with blocks of samples, binding of a family to
// a block (with prepared event sources beside the samples), and the pieces the synthetic signals are built from.
#pragma once

#include "enum_harness.h"

#include "engine/eventrecords.h"
#include "host/document.h"
#include "host/eventarray.h"

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace recording {

using platform::ComPtr;

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Recording {
    std::shared_ptr<host::Document> document = host::Document::Create();

    explicit Recording(const std::vector<std::vector<float>>& blocks, double tickPeriod = 0.001)
    {
        document->AddChannel(u"V", u"mV");
        for (const auto& samples : blocks) {
            document->SetSamples(document->AddBlock(tickPeriod), 0, samples);
        }
    }

    // An enumerator of `Family` over the samples of `block` and, when given, a prepared event source.
    template <class Family>
    ComPtr<ICalcEnum> Bound(const std::u16string& text, int block = 0, IUnknown* events = nullptr) const
    {
        ComPtr<ICalcEnum> calc = enumharness::Make<Family>(text.c_str());
        ComPtr<IEnumFloatEx> samples = document->OpenSamples(block, 0);
        std::vector<IUnknown*> sources{samples.Get()};
        if (events) {
            sources.push_back(events);
        }
        EXPECT_EQ(enumharness::Bind(calc.Get(), block, sources, document->TickPeriod(block)), S_OK);
        return calc;
    }
};

// A new enumerator of the calculation registered as `name`, with the parameter text parsed.
inline ComPtr<ICalcEnum> MakeNamed(const char16_t* name, const char16_t* text)
{
    ComPtr<ICalcEnum> calc;
    EXPECT_EQ(EEH3::FindCreator(name)(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid()), S_OK);
    IKVOString* parameters = KVO::String(text).GetInterface();
    DWORD flags = 0;
    EXPECT_EQ(calc->Parse(parameters, &flags), S_OK);
    parameters->Release();
    EXPECT_EQ(flags, 0x40000000u);
    return calc;
}

// A host event source over prepared records.
template <class Record>
ComPtr<IEnumEventEx> EventsOf(const std::vector<Record>& records)
{
    return host::OpenEvents(host::EventArray::Of(records));
}

// Stimulus records (kind 1, value 1) at the given ticks.
inline std::vector<CX::Enum::EventPkStm> Stimuli(const std::vector<LONG>& ticks)
{
    std::vector<CX::Enum::EventPkStm> records;
    for (const LONG t : ticks) {
        CX::Enum::EventPkStm r;
        r.SetPosition(t);
        records.push_back(r);
    }
    return records;
}

// Every record as (tick, kind, value).
struct Event {
    LONG tick;
    std::int32_t kind;
    double value;
    bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Event& e)
{
    return out << "{" << e.tick << ", kind " << e.kind << ", " << e.value << "}";
}

template <class Record>
std::vector<Event> Summary(const std::vector<Record>& records)
{
    std::vector<Event> out;
    for (const auto& r : records) {
        out.push_back({r.tick, r.kind, r.value});
    }
    return out;
}

// Reads every record of a bound enumerator in one pass.
inline std::vector<CX::Enum::EventPkStm> ReadPeaks(ICalcEnum* calc)
{
    return enumharness::ReadAll<CX::Enum::EventPkStm>(enumharness::Events(calc).Get());
}

} // namespace recording
