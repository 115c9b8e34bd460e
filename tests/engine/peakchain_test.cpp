// The whole peak chain as the host composes "CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,
// 0.3)))))": five enumerators, each with its own cursor on the channel and the one inside it as its event source.
#include "apsignal.h"
#include "enum_harness.h"

#include "host/document.h"
#include "host/eventarray.h"

#include <gtest/gtest.h>

#include <vector>

using namespace enumharness;
using CX::Enum::EventBCalcBase2;
using CX::Enum::EventFCalc;

namespace {

constexpr double kT = 0.0001;

// A calculation by its registered name with its parameter text (the source count leads), bound to a fresh cursor
// on the channel and to the inner calculation, when there is one.
ComPtr<ICalcEnum> Link(const char16_t* name, const char16_t* text, host::Document& document, ICalcEnum* inner)
{
    ComPtr<ICalcEnum> calc;
    const EEH3::Creator create = EEH3::FindCreator(name);
    EXPECT_NE(create, nullptr) << "no calculation registered";
    if (!create) {
        return calc;
    }
    EXPECT_EQ(create(nullptr, nullptr, nullptr, IID_ICalcEnum, calc.OutVoid()), S_OK);
    IKVOString* parameters = KVO::String(text).GetInterface();
    EXPECT_EQ(calc->Parse(parameters, nullptr), S_OK);
    parameters->Release();
    ComPtr<IEnumFloatEx> samples = document.OpenSamples(0, 0);
    std::vector<IUnknown*> sources{samples.Get()};
    if (inner) {
        sources.push_back(inner);
    }
    EXPECT_EQ(Bind(calc.Get(), 0, sources, document.TickPeriod(0)), S_OK);
    return calc;
}

// Up to and including "CalcBase2", or the whole chain.
ComPtr<ICalcEnum> Chain(host::Document& document, bool final = true)
{
    ComPtr<ICalcEnum> detector = Link(u"CAPPeakDet", u"1 0.3", document, nullptr);
    ComPtr<ICalcEnum> baseline = Link(u"CalcBase", u"2", document, detector.Get());
    ComPtr<ICalcEnum> maximum = Link(u"CalcAMax", u"2", document, baseline.Get());
    ComPtr<ICalcEnum> plateau = Link(u"CalcBase2", u"2", document, maximum.Get());
    return final ? Link(u"CalcBulk", u"2", document, plateau.Get()) : plateau;
}

TEST(PeakChain, SameRecordsInOnePassInSmallRequestsAndAfterSeeks)
{
    const apsignal::Recording recording = apsignal::Cardiac(420000, 21);
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"V");
    document->SetSamples(document->AddBlock(kT), 0, recording.samples);

    const auto all = ExpectEquivalentReads<EventFCalc>([&] { return Chain(*document); }, 420000);
    // One final record per action potential, numbered as one pass.
    ASSERT_EQ(all.size(), recording.records.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].count, static_cast<int>(i) + 1);
        // The chain's peak is the highest sample of the action potential, somewhere from its upstroke on its plateau.
        EXPECT_GE(all[i].tick, recording.records[i].riseStart) << i;
        EXPECT_LT(all[i].tick, recording.records[i].tauStart) << i;
        EXPECT_FALSE(std::isnan(all[i].width)) << i;
    }

    // The final stage over the plateau records read on their own gives the same records as the live chain.
    ComPtr<ICalcEnum> plateau = Chain(*document, false);
    const auto inputs = ReadAll<EventBCalcBase2>(Events(plateau.Get()).Get());
    ASSERT_EQ(inputs.size(), all.size());
    ComPtr<ICalcEnum> bulk;
    ASSERT_EQ(EEH3::FindCreator(u"CalcBulk")(nullptr, nullptr, nullptr, IID_ICalcEnum, bulk.OutVoid()), S_OK);
    IKVOString* text = KVO::String(u"2").GetInterface();
    bulk->Parse(text, nullptr);
    text->Release();
    ComPtr<IEnumFloatEx> samples = document->OpenSamples(0, 0);
    ComPtr<IEnumEventEx> prepared = host::OpenEvents(host::EventArray::Of(inputs));
    ASSERT_EQ(Bind(bulk.Get(), 0, {samples.Get(), prepared.Get()}, kT), S_OK);
    ExpectSameEvents(all, ReadAll<EventFCalc>(Events(bulk.Get()).Get()), "from prepared records");
}

} // namespace
