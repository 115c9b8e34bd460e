// Test support for the parameter stages: a recording in a host document, and the stages of the peak chain bound
// to it, each reading its samples through a fresh host cursor and its events from the stage inside it (a nested
// calculation) or from prepared records (the host's event enumerator).
#pragma once

#include "enum_harness.h"

#include "engine/calcamax.h"
#include "engine/calcbase.h"
#include "engine/calcbase2.h"
#include "engine/cappeakdet.h"
#include "host/eventarray.h"

#include <memory>
#include <vector>

namespace chain {

using enumharness::ComPtr;

struct Recording {
    std::shared_ptr<host::Document> document = host::Document::Create();

    explicit Recording(std::vector<float> samples, double tickPeriod = 0.0001)
    {
        document->AddChannel(u"Vm", u"mV");
        document->SetSamples(document->AddBlock(tickPeriod), 0, std::move(samples));
    }

    // A stage of `Family` with its parameter text, on the samples and the given event source.
    template <class Family>
    ComPtr<ICalcEnum> Stage(const char16_t* text, IUnknown* events) const
    {
        ComPtr<ICalcEnum> calc = enumharness::Make<Family>(text);
        ComPtr<IEnumFloatEx> samples = document->OpenSamples(0, 0);
        EXPECT_EQ(enumharness::Bind(calc.Get(), 0, {samples.Get(), events}, document->TickPeriod(0)), S_OK);
        return calc;
    }
    // A stage reading prepared records.
    template <class Family, class Record>
    ComPtr<ICalcEnum> Stage(const char16_t* text, const std::vector<Record>& records) const
    {
        ComPtr<IEnumEventEx> events = host::OpenEvents(host::EventArray::Of(records));
        return Stage<Family>(text, events.Get());
    }
    ComPtr<ICalcEnum> Detector(const char16_t* text) const
    {
        ComPtr<ICalcEnum> calc = enumharness::Make<CX::Enum::CAPPeakDet::Family>(text);
        EXPECT_EQ(enumharness::BindChannel(calc.Get(), *document, 0, 0), S_OK);
        return calc;
    }

    template <class Record>
    static std::vector<Record> Read(ICalcEnum* calc)
    {
        return enumharness::ReadAll<Record>(enumharness::Events(calc).Get());
    }

    float At(LONG tick) const { return document->Samples(0, 0)[static_cast<std::size_t>(tick)]; }
    LONG Length() const { return document->Length(0, 0); }
};

} // namespace chain
