// Whole chains of stages written as the analysis writes them, evaluated by the host and read through the module's
// driver, against the same stages created and nested by hand.
#include "testhost.h"

#include "engine/eeh3enumerator.h"
#include "frame/enumgetter.h"
#include "frame/typeid.h"
#include "host/framework.h"
#include "host/hoststring.h"
#include "host/recording.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::byte>;

std::shared_ptr<host::Document> Example(const char* name)
{
    return host::ReadRecordingFile((std::filesystem::path(TEST_DATA_DIR) / ".." / ".." / "examples" / name).string());
}

// The names among `names` that no stage is registered under: every stage is built, so none may be missing.
std::string Unregistered(std::initializer_list<const char16_t*> names)
{
    std::string missing;
    for (const char16_t* name : names) {
        if (!EEH3::FindCreator(name)) {
            missing += " " + KVO::String(name).ToUtf8();
        }
    }
    return missing;
}

// Every record of the block, as raw bytes, read in buffers of `records` records.
std::vector<Bytes> ReadRaw(IEnumEventEx* events, ULONG records = 5)
{
    LONG size = 0;
    EXPECT_EQ(events->GetEventSize(&size), S_OK);
    std::vector<Bytes> all;
    std::vector<std::uint64_t> buffer((records * static_cast<std::size_t>(size) + 7) / 8);
    for (int guard = 0; guard < 1000000; ++guard) {
        LONG count = 0;
        LONG next = 0;
        const HRESULT hr = events->Next(records * static_cast<ULONG>(size), -1, buffer.data(), &count, &next);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
        const auto* bytes = reinterpret_cast<const std::byte*>(buffer.data());
        for (LONG i = 0; i < count; ++i) {
            all.emplace_back(bytes + i * size, bytes + (i + 1) * size);
        }
        if (hr != S_OK) {
            break;
        }
    }
    return all;
}

// A stage created by hand: the class's own instance with the number text (after the source count), bound to the
// given sources.
platform::ComPtr<ICalcEnum> Stage(host::DataSource& source, const char16_t* name, const std::u16string& numbers,
                                  std::vector<IUnknown*> sources, LONG block)
{
    const host::RegisteredClass* found = TestHost().GetFramework().FindCalculation(name);
    EXPECT_NE(found, nullptr);
    platform::ComPtr<ICalcEnumClass2> factory;
    found->object->QueryInterface(IID_ICalcEnumClass2, factory.OutVoid());
    platform::ComPtr<IChannelData> channelData;
    source.QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> stage;
    EXPECT_EQ(factory->CreateInstance(channelData.Get(), stage.Out()), S_OK);
    auto text = host::MakeString(numbers);
    DWORD flags = 0;
    EXPECT_EQ(stage->Parse(text.Get(), &flags), S_OK);
    EXPECT_EQ(stage->SetSources(block, static_cast<LONG>(sources.size()), sources.data(), nullptr,
                                source.GetDocument().TickPeriod(block), 0),
              S_OK);
    return stage;
}

std::vector<Bytes> ThroughDriver(host::DataSource& source, const char16_t* text, LONG block)
{
    ExtLib::EventEnumDataGetter driver(source.AsSource(), 1);
    EXPECT_TRUE(driver.CreateCalc(TypeIdClass<&CX::CXChanCalcGUID, 0>::Get(), false, KVO::String(text)));
    EXPECT_TRUE(driver.OpenEnumsWithDefaults(false, 0, block, -1.0));
    IEnumEventEx* events = nullptr;
    driver.QueryEventEnum(&events);
    auto all = ReadRaw(events, 3);
    events->Release();
    return all;
}

std::vector<Bytes> Direct(const platform::ComPtr<ICalcEnum>& outer)
{
    outer->SeekStart(0);
    platform::ComPtr<IEnumEventEx> events;
    outer->QueryInterface(IID_IEnumEventEx, events.OutVoid());
    return ReadRaw(events.Get(), 64);
}

TEST(Chains, CardiacChainThroughTheDriverEqualsTheStagesNested)
{
    ASSERT_EQ(Unregistered({u"CAPPeakDet", u"CalcBase", u"CalcAMax", u"CalcBase2", u"CalcBulk"}), "");
    auto source = SourceOf(Example("cardiac.txt"));
    const char16_t* text = u"CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.05)))))";
    for (LONG block = 0; block < source->GetDocument().BlockCount(); ++block) {
        auto& document = source->GetDocument();
        std::vector<platform::ComPtr<IEnumFloatEx>> samples;
        for (int i = 0; i < 5; ++i) {
            samples.push_back(document.OpenSamples(block, 0)); // every stage its own cursor
        }
        auto peaks = Stage(*source.Get(), u"CAPPeakDet", u"1 0.05", {samples[0].Get()}, block);
        auto base = Stage(*source.Get(), u"CalcBase", u"2", {samples[1].Get(), peaks.Get()}, block);
        auto amax = Stage(*source.Get(), u"CalcAMax", u"2", {samples[2].Get(), base.Get()}, block);
        auto base2 = Stage(*source.Get(), u"CalcBase2", u"2", {samples[3].Get(), amax.Get()}, block);
        auto bulk = Stage(*source.Get(), u"CalcBulk", u"2", {samples[4].Get(), base2.Get()}, block);
        const auto expected = Direct(bulk);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ThroughDriver(*source.Get(), text, block), expected) << "block " << block;
    }
}

TEST(Chains, PopulationSpikeChainThroughTheDriverEqualsTheStagesNested)
{
    ASSERT_EQ(Unregistered({u"PSPeakDet", u"ERStimDet"}), "");
    auto source = SourceOf(Example("popspike.txt"));
    const char16_t* text =
        u"pspeakdet( ch1, erstimdet( ch2, 0.0005, 1, 10, 10, 1, 0, 0, 0, 0) , 0, 100, 0, 0, 0, 0) ";
    for (LONG block = 0; block < source->GetDocument().BlockCount(); ++block) {
        auto& document = source->GetDocument();
        auto field = document.OpenSamples(block, 0);
        auto stimulus = document.OpenSamples(block, 1);
        auto stimuli = Stage(*source.Get(), u"ERStimDet", u"1 0.0005 1 10 10 1 0 0 0 0", {stimulus.Get()}, block);
        auto spikes = Stage(*source.Get(), u"PSPeakDet", u"2 0 100 0 0 0 0", {field.Get(), stimuli.Get()}, block);
        const auto expected = Direct(spikes);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ThroughDriver(*source.Get(), text, block), expected) << "block " << block;
    }
}

} // namespace
