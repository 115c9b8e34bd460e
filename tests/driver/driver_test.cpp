// The module's event-enumerator driver over the host's data sources: channel references, record-by-record runs
// against the calculation run directly, the cost of chunked reads, failures that leave nothing open, sampling
// notices, and the helpers beside it.
#include "testhost.h"

#include "tests/engine/aptrain.h"
#include "tests/engine/enum_harness.h"

#include "engine/cappeakdet.h"
#include "frame/enumgetter.h"
#include "frame/typeid.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace enumharness;
using CX::Enum::EventPkStm;

namespace {

DWORD ChanCalc() { return TypeIdClass<&CX::CXChanCalcGUID, 0>::Get(); }

std::vector<EventPkStm> DriverEvents(ExtLib::EventEnumDataGetter& driver, LONG record, ULONG buffer = 256,
                                     LONG step = 0)
{
    EXPECT_TRUE(driver.OpenEnumsWithDefaults(false, 0, record, -1.0));
    IEnumEventEx* events = nullptr;
    driver.QueryEventEnum(&events);
    EXPECT_NE(events, nullptr);
    auto read = ReadAll<EventPkStm>(events, buffer, step);
    events->Release();
    driver.Stop();
    return read;
}

TEST(EnumGetter, ChannelReferencesOfTexts)
{
    using ExtLib::EnumOutput;
    const struct {
        const char16_t* text;
        std::vector<EnumOutput> outputs;
    } cases[] = {
        {u"CalcBase2(ch1,calcamax(ch1,calcbase(ch1,vch1)))", {{0, false, false}, {0, false, true}}},
        {u"cappeakdet(Channel2, 0.3)", {{1, false, false}}},
        {u"x(CHANNEL2,cH2,rch2,RCh2)", {{1, false, false}, {1, true, false}}},
        {u"erstimsob( 5, 0, 0, 0, 0) ", {}},
        {u"calc(chx1, ch1", {{0, false, false}}}, // "chx1" names no channel
        {u"ch1", {{0, false, false}}},
        {u"ch1+c2", {{0, false, false}}},          // a c with fewer than two characters after it ends the scan
        {u"a(ch12)", {{11, false, false}}},
        {u"a(ch0, ch2147483648, ch99999999999, ch3)", {{2, false, false}}}, // no channel 0, nothing past int32
        {u"a(ch2147483647)", {{2147483646, false, false}}},
        {u"channel", {}},
        {u"a(channel7x", {{6, false, false}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtLib::ParseChannelReferences(KVO::String(c.text)), c.outputs)
            << platform::Utf16ToUtf8(c.text);
    }
}

// Blocks with their own tick periods: the driver hands each record's period to the calculation, so a width in
// milliseconds becomes each block's own number of ticks.
TEST(EnumGetter, RunsATextRecordByRecordAsTheCalculationDirectly)
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    const double periods[] = {0.0005, 0.001, 0.00025};
    for (int block = 0; block < 3; ++block) {
        const aptrain::Train train =
            aptrain::Make(40 + block, 25000 + 5000 * block, -75.0f, aptrain::kHeight, aptrain::kWidthTicks);
        document->SetSamples(document->AddBlock(periods[block]), 0, train.samples);
    }
    auto source = SourceOf(document);
    ExtLib::EventEnumDataGetter driver(source->AsSource(), 1);
    ASSERT_TRUE(driver.CreateCalc(ChanCalc(), false, KVO::String(u"CAPPeakDet( ch1 , 30, 3)")));
    for (LONG block = 0; block < 3; ++block) {
        ComPtr<ICalcEnum> direct = Make<CX::Enum::CAPPeakDet::Family>(u"1 30 3");
        ASSERT_EQ(BindChannel(direct.Get(), *document, block, 0), S_OK);
        const auto expected = ReadAll<EventPkStm>(Events(direct.Get()).Get());
        ASSERT_GT(expected.size(), 10u);
        ExpectSameEvents(expected, DriverEvents(driver, block), "one pass");
        ExpectSameEvents(expected, DriverEvents(driver, block, 3, 4999), "small requests");
    }
}

TEST(EnumGetter, ChunkedReadsOfALongBlockReadEachSampleAboutOnce)
{
    constexpr LONG kLength = 1'000'000;
    const aptrain::Train train = aptrain::Make(77, kLength, -80.0f, aptrain::kHeight, aptrain::kWidthTicks);
    auto document = OneChannel({train.samples}, aptrain::kTickPeriod);
    auto source = SourceOf(document);
    ExtLib::EventEnumDataGetter driver(source->AsSource(), 1);
    ASSERT_TRUE(driver.CreateCalc(ChanCalc(), false, KVO::String(u"cappeakdet(ch1, 30, 3)")));

    const std::uint64_t before = document->SamplesServed();
    const auto chunked = DriverEvents(driver, 0, 2, 997); // about a thousand requests
    const std::uint64_t served = document->SamplesServed() - before;
    ASSERT_EQ(chunked.size(), train.peaks.size());
    for (std::size_t i = 0; i < chunked.size(); ++i) {
        ASSERT_EQ(chunked[i].tick, train.peaks[i].tick);
    }
    EXPECT_GE(served, static_cast<std::uint64_t>(kLength));
    EXPECT_LE(served, static_cast<std::uint64_t>(kLength) + 4 * 1024) << "samples read more than once";
}

TEST(EnumGetter, FailuresLeaveNothingHalfMade)
{
    auto source = SourceOf(OneChannel({{0, 5, 0}}, 0.001));
    ExtLib::EventEnumDataGetter driver(source->AsSource(), 1);
    EXPECT_FALSE(driver.OpenEnums(false, 0, 0, 0.001)) << "no calculation yet";

    EXPECT_FALSE(driver.CreateCalc(ChanCalc(), false, KVO::String(u"cappeakdet(ch1, 2")));
    EXPECT_EQ(driver.Calculation(), nullptr) << "a refused text keeps no calculation";
    EXPECT_FALSE(driver.OpenEnums(false, 0, 0, 0.001));
    EXPECT_FALSE(driver.CreateCalc(0x7FFF0000, false, KVO::String(u"cappeakdet(ch1, 2)"))) << "no such class";

    // Without binding the evaluator cannot check the channels: the missing third one fails when it is opened.
    ASSERT_TRUE(driver.CreateCalc(ChanCalc(), true, KVO::String(u"cappeakdet(ch3, 2)")));
    EXPECT_FALSE(driver.OpenEnums(false, 0, 0, 0.001));
    EXPECT_FALSE(driver.Started());
    EXPECT_TRUE(driver.Opened().empty());

    ASSERT_TRUE(driver.CreateCalc(ChanCalc(), false, KVO::String(u"cappeakdet(ch1, 2)")));
    EXPECT_FALSE(driver.OpenEnums(false, 0, 7, 0.001)) << "no record 7";
    EXPECT_TRUE(driver.Opened().empty());
    ASSERT_TRUE(driver.OpenEnums(false, 0, 0, 0.001));
    EXPECT_EQ(driver.Opened().size(), 1u);
    EXPECT_FALSE(driver.OpenEnums(false, 0, 0, 0.001)) << "started already";
    EXPECT_EQ(driver.Opened().size(), 1u);
    driver.Stop();
    EXPECT_FALSE(driver.Started());
    EXPECT_TRUE(driver.Opened().empty());
}

TEST(EnumGetter, SamplingNotices)
{
    auto source = SourceOf(OneChannel({{0, 5, 0}}, 0.001));
    {
        int calls = 0;
        ExtLib::EventEnumDataGetter live(source->AsSource(), [&] { ++calls; }, 0);
        EXPECT_TRUE(live.Subscribed());
        EXPECT_EQ(source->Listeners(), 1u);
        source->StopSampling();
        EXPECT_EQ(calls, 1) << "called although not started";
        ASSERT_TRUE(live.CreateCalc(ChanCalc(), false, KVO::String(u"cappeakdet(ch1, 2)")));
        ASSERT_TRUE(live.OpenEnums(false, 0, 0, 0.001));
        source->StopSampling();
        EXPECT_EQ(calls, 2);
        EXPECT_FALSE(live.Started());
        EXPECT_TRUE(live.Opened().empty());
    }
    EXPECT_EQ(source->Listeners(), 0u) << "the driver unsubscribes as it goes";

    ExtLib::EventEnumDataGetter offline(source->AsSource(), 1);
    EXPECT_FALSE(offline.Subscribed());
    EXPECT_EQ(source->Listeners(), 0u);
    ExtLib::EventEnumDataGetter fromHolder(static_cast<IDataSourceHolder*>(source.Get()), 1);
    EXPECT_EQ(fromHolder.Source(), static_cast<IDataSource*>(source.Get()));
}

TEST(EnumGetter, RangesOfParameterTexts)
{
    const struct {
        const wchar_t* text;
        ExtLib::Range range; // start offset, start record, end offset, end record
    } cases[] = {
        {L"", {0, 0, 0x7FFFFFFF, 0x7FFFFFFF}},
        {L"1 -5 3e10 -1", {0, 1, 0x7FFFFFFF, 0x7FFFFFFF}},
        {L"2.5 -0.4 3 99.5", {0, 3, 100, 3}},
        {L"1 2 x 4", {2, 1, 0x7FFFFFFF, 0x7FFFFFFF}},
    };
    for (const auto& c : cases) {
        std::wistringstream in(c.text);
        ExtLib::Range range{};
        ExtLib::ReadRange(range, in);
        EXPECT_EQ(range.startOffset, c.range.startOffset);
        EXPECT_EQ(range.startRecord, c.range.startRecord);
        EXPECT_EQ(range.endOffset, c.range.endOffset);
        EXPECT_EQ(range.endRecord, c.range.endRecord);
    }
    ExtLib::Range range{};
    ExtLib::MakeRange(range, -2.5, 1e300, -1e300, 2147483647.4);
    EXPECT_EQ(range.startRecord, -3);
    EXPECT_EQ(range.startOffset, 0x7FFFFFFF);
    EXPECT_EQ(range.endRecord, static_cast<std::int32_t>(0x80000000u));
    EXPECT_EQ(range.endOffset, 0x7FFFFFFF);
}

TEST(EnumGetter, UnitsAndSampleCounts)
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->AddChannel(u"P", u"mmHg");
    document->SetSamples(document->AddBlock(0.001), 0, std::vector<float>(10));
    document->SetSamples(document->AddBlock(0.001), 1, std::vector<float>(7));
    auto source = SourceOf(document);
    KVO::PrefixedUnit unit;
    ASSERT_TRUE(ExtLib::GetEnumUnitNameAt(source.Get(), 0, 0, unit));
    EXPECT_EQ(unit.Base(), u"V");
    EXPECT_EQ(unit.Prefix(), u'm');
    ASSERT_TRUE(ExtLib::GetEnumUnitNameAt(source.Get(), 99, 1, unit)) << "asked again for any record";
    EXPECT_EQ(unit.Text(), u"mmHg");
    EXPECT_FALSE(ExtLib::GetEnumUnitNameAt(source.Get(), 0, 5, unit));
    EXPECT_FALSE(ExtLib::GetEnumUnitNameAt(nullptr, 0, 0, unit));
    EXPECT_TRUE(ExtLib::SourceUnitsDiffer(source.Get(), 0));
    EXPECT_FALSE(ExtLib::GetSourceProperty(source.Get()));

    EXPECT_EQ(ExtLib::CountSamplesInRange(source.Get(), 0, 0, 0x7FFFFFFF, 0x7FFFFFFF), 17);
    EXPECT_EQ(ExtLib::CountSamplesInRange(source.Get(), 3, 0, 2, 1), 9);
    EXPECT_EQ(ExtLib::CountSamplesInRange(source.Get(), 3, 0, 5, 0), 2);
    EXPECT_EQ(ExtLib::CountSamplesInRange(source.Get(), 5, 0, 3, 0), 0);
}

} // namespace

namespace {
// A source with one scaled channel: raw limits and a gain that only some records give.
class ScaledSource final : public IDataSource {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetChannelCount(LONG* count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT GetSampleEnum(DWORD, LONG, LONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetRecordTickPeriod(DWORD, LONG, double*) override { return E_NOTIMPL; }
    HRESULT GetChannelTickPeriod(DWORD, LONG, LONG, double*) override { return E_NOTIMPL; }
    HRESULT OpenEnum(DWORD, LONG, LONG, LONG, LONG, DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetValueEnum(DWORD, LONG, LONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetCommentPosition(LONG, LONG, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT GetChannelObject(DWORD, LONG, LONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetProperty(DWORD, WORD*) override { return E_NOTIMPL; }
    HRESULT GetSampleCount(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT GetRawRange(DWORD, LONG channel, DWORD kind, double* lower, double* upper) override
    {
        if (channel != 0 || kind != SourceKind::kRawRange || !hasRaw) {
            return E_FAIL;
        }
        *lower = -2048.0;
        *upper = 2047.0;
        return S_OK;
    }
    HRESULT GetChannelScaling(DWORD kind, LONG record, LONG channel, ChannelGain* gain) override
    {
        asked.push_back(record);
        if (channel != 0 || kind != SourceKind::kScaling || (record != scaledRecord && record != -2) ||
            (record == -2 && !anyRecord)) {
            return E_FAIL;
        }
        *gain = ChannelGain{0.01, 48.0};
        return S_OK;
    }
    LONG scaledRecord = 3;
    bool anyRecord = true;
    bool hasRaw = true;
    std::vector<LONG> asked;
};
} // namespace

// The range in channel units is (offset + raw limit) x scale; a record without scaling asks for any record, and
// without scaling or raw limits the caller's values stay.
TEST(EnumGetter, ChannelValueRangeScalesTheRawLimits)
{
    struct Case {
        LONG record;
        bool anyRecord;
        bool hasRaw;
        bool found;
        std::vector<LONG> asked;
    } cases[] = {
        {3, true, true, true, {3}},
        {0x7FFFFFFF, true, true, true, {0x7FFFFFFF, -2}},
        {5, false, true, false, {5, -2}},
        {3, true, false, false, {3}},
    };
    for (const Case& c : cases) {
        ScaledSource source;
        source.anyRecord = c.anyRecord;
        source.hasRaw = c.hasRaw;
        double lower = 1.5;
        double upper = -1.5;
        EXPECT_EQ(c.found, ExtLib::GetChannelValueRange(&source, 0, c.record, lower, upper)) << c.record;
        EXPECT_EQ(c.asked, source.asked);
        EXPECT_DOUBLE_EQ(c.found ? (48.0 - 2048.0) * 0.01 : 1.5, lower);
        EXPECT_DOUBLE_EQ(c.found ? (48.0 + 2047.0) * 0.01 : -1.5, upper);
    }
    double lower = 0;
    double upper = 0;
    EXPECT_FALSE(ExtLib::GetChannelValueRange(nullptr, 0, 0, lower, upper));
}
