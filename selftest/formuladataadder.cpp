#include "selftest/formuladataadder.h"

#include "document/messageids.h"
#include "foundation/rational.h"
#include "frame/channeltoken.h"
#include "frame/hostservices.h"
#include "frame/typeid.h"
#include "foundation/xkvo.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"
#include "sdk/channeltoken.h"
#include "sdk/chartdata.h"
#include "sdk/sampleenum.h"
#include "selftest/unittestbase.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace {

// The failure texts name the files as the tests' authors know them.
constexpr const char* kAdderFile = "TestDataAdder";
constexpr const char* kRoutinesFile = "TestStandardRoutines";

KVORational Period(double rate)
{
    KVORationalImp period(1, static_cast<std::int64_t>(rate));
    period.Normalize();
    return {period.numerator, period.denominator};
}

double SecondsSince1970()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

} // namespace

DataAdderBase::DataAdderBase(IUnknown* chartData) : mChannelSource(chartData)
{
    if (!mChannelSource) {
        mOwnedSource = ChartData::GetChannelDataInterface();
        mChannelSource = mOwnedSource.Get();
    }
}

DataAdderBase::~DataAdderBase() = default;

HRESULT DataAdderBase::GetRecordLength(LONG* ticks)
{
    if (!ticks) {
        return E_POINTER;
    }
    *ticks = mTicks;
    return S_OK;
}

HRESULT DataAdderBase::GetRecordLength64(LONGLONG* ticks)
{
    if (!ticks) {
        return E_POINTER;
    }
    *ticks = mTicks;
    return S_OK;
}

void DataAdderBase::SetChannels(KVO::Bitset channels) { mChannels = std::move(channels); }

void DataAdderBase::AddChannels(const KVO::Bitset& channels) { mChannels |= channels; }

void DataAdderBase::RemoveChannels(const KVO::Bitset& channels)
{
    mChannels |= channels;
    mChannels ^= channels;
}

void DataAdderBase::SetChannelFlags(std::vector<std::uint32_t> flags) { mChannelFlags = std::move(flags); }

void DataAdderBase::SetStartParam(std::int32_t param) { mStartParam = param; }

FormulaDataAdder::FormulaDataAdder(IUnknown* chartData) : DataAdderBase(chartData)
{
    mTicks = 10240;
    InternalAddRef();
}

HRESULT FormulaDataAdder::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IKVOChannelDataSource) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IKVOChannelDataSource*>(this);
    AddRef();
    return S_OK;
}

HRESULT FormulaDataAdder::GetChannelEnum(DWORD, LONG channel, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    // The host calls this while it records: a failed check must not cross back into it, so it is kept and
    // thrown once the host's call returns to the adder.
    return KVO::GuardSlot([&]() -> HRESULT {
        try {
            return OpenChannelEnum(channel, out);
        } catch (const UnitTestException& failure) {
            if (!pendingFailure_) {
                pendingFailure_ = failure;
            }
            return E_FAIL;
        }
    });
}

platform::ComPtr<ICalcEnum> FormulaDataAdder::NewFormula(ICAFFramework& framework) const
{
    platform::ComPtr<IUnknown> channelData;
    if (mChannelSource) {
        mChannelSource->QueryInterface(IID_IChannelData, channelData.OutVoid());
    }
    platform::ComPtr<ICalcEnumClass2> factory;
    platform::ComPtr<ICalcEnum> formula;
    if (FAILED(framework.GetObject(TypeIdClass<&CX::CXChanCalcGUID, 0>::Get(), IID_ICalcEnumClass2,
                                   factory.OutVoid())) ||
        !factory || FAILED(factory->CreateInstance(channelData.Get(), formula.Out()))) {
        return {};
    }
    return formula;
}

HRESULT FormulaDataAdder::OpenChannelEnum(LONG channel, IUnknown** out)
{
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    UnitTestCheck(framework != nullptr, "ObjectFactoryAccessor::Get()", kAdderFile, 92,
                  KVO::String(u"The host framework library is not reachable: did it fail to load?"));
    platform::ComPtr<ICalcEnum> formula = NewFormula(*framework);
    if (!formula) {
        return E_FAIL;
    }
    const bool listed = channel >= 0 && static_cast<std::size_t>(channel) < mExpressions.size();
    IKVOString* text = (listed ? mExpressions[static_cast<std::size_t>(channel)] : KVO::String(u"0")).GetInterface();
    DWORD flags = 0;
    formula->Parse(text, &flags);
    text->Release();
    UnitTestCheck(channel >= 0 && channel < static_cast<TChanIndex>(mSampleRates.size()),
                  "chan < (TChanIndex)(mSampleRates.size())", kAdderFile, 109);
    formula->SetSources(0, 0, nullptr, nullptr, 1.0 / mSampleRates[static_cast<std::size_t>(channel)], 0);
    formula->SeekStart(0);
    // Without a sample enumerator the host gets nothing to read: a failure rather than S_OK with null. The
    // creation reference goes with `formula`.
    return formula->QueryInterface(IID_IEnumFloatEx, reinterpret_cast<void**>(out));
}

void FormulaDataAdder::ThrowPendingFailure()
{
    if (pendingFailure_) {
        const UnitTestException failure = *pendingFailure_;
        pendingFailure_.reset();
        throw failure;
    }
}

void FormulaDataAdder::Setup(std::vector<KVO::String> expressions, std::int32_t ticks, std::vector<double> sampleRates)
{
    mExpressions = std::move(expressions);
    mSampleRates = std::move(sampleRates);
    UnitTestCheck(mExpressions.size() == mSampleRates.size(), "mExpressions.size() == mSampleRates.size()",
                  kAdderFile, 60);
    const auto given = static_cast<std::uint32_t>(mExpressions.size());
    if (mExpressions.empty()) {
        mExpressions.emplace_back(u"1");
        mSampleRates.push_back(1000.0);
    }
    // A formula the host cannot read would record nothing but fail only once the host opens its channel, long
    // after the test set it: it is refused here, naming the formula.
    if (ICAFFramework* framework = CAF::GetFrameworkClassObject()) {
        for (const KVO::String& expression : mExpressions) {
            platform::ComPtr<ICalcEnum> formula = NewFormula(*framework);
            IKVOString* text = expression.GetInterface();
            DWORD flags = 0;
            const bool parsed = !formula || SUCCEEDED(formula->Parse(text, &flags));
            text->Release();
            UnitTestCheck(parsed, "formula parsed", kAdderFile, 61, expression);
        }
    }
    mTicks = ticks;
    if (mChannels.IsEmpty()) {
        mChannels.SetLowBits(given);
    }
    mTickRate = mSampleRates.empty() ? 1000.0 : *std::max_element(mSampleRates.begin(), mSampleRates.end());
}

void FormulaDataAdder::StartRecord(double startTime)
{
    mSink = nullptr;
    platform::ComPtr<IUnknown> recording;
    platform::ComPtr<IChartDataSink> sink;
    if (mChannelSource && SUCCEEDED(mChannelSource->QueryInterface(IID_IChartRecording, recording.OutVoid())) &&
        recording && SUCCEEDED(recording->QueryInterface(IID_IChartDataSink, sink.OutVoid()))) {
        mSink = sink.Get(); // the chart data keeps it alive
    }
    if (startTime == 0.0) {
        startTime = SecondsSince1970();
    }
    UnitTestCheck(mSink != nullptr, "mSink.IsValid()", kAdderFile, 391);
    UnitTestCheck(mTicks != -1, "mTicks!=-1", kAdderFile, 392);
    UnitTestCheck(mTickRate > 0, "mTickRate>0", kAdderFile, 393);
    // Channel 0 is always recorded.
    KVO::Bitset enabled = mChannels;
    if (enabled.IsEmpty()) {
        enabled.SetLowBits(1);
    }
    IUnitService* units = CX::Host::GetCachedHostObject();
    const float infinity = std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i < mSampleRates.size(); ++i) {
        const auto channel = static_cast<TChanIndex>(i);
        if (units) {
            const bool limited = i < mChannelFlags.size() && (mChannelFlags[i] & 0x80000000u);
            const ChannelScaling scaling{1.0, 0.0, limited ? 10.0f : infinity, limited ? -10.0f : -infinity, 2, 1, 0};
            IKVOString* volts = KVO::String(u"V").GetInterface();
            platform::ComPtr<IUnknown> unit;
            units->CreateUnit(0, &scaling, volts, 0, 0, unit.Out());
            volts->Release();
        }
        const KVORational tickPeriod = Period(mTickRate);
        const KVORational samplePeriod = Period(mSampleRates[i]);
        UnitTestCheck(channel < static_cast<TChanIndex>(mSampleRates.size()),
                      "channel < (TChanIndex)(mSampleRates.size())", kAdderFile, 428);
        const bool on = enabled.Test(static_cast<std::uint32_t>(i));
        mSink->SetupChannel(channel, on ? 1 : 0, on ? VARIANT_TRUE : VARIANT_FALSE, 0, samplePeriod, &tickPeriod,
                            0x80020003, this);
    }
    ThrowPendingFailure();
    IKVOString* reason = nullptr;
    VARIANT_BOOL canSample = VARIANT_FALSE;
    mSink->CanSample(&reason, &canSample);
    if (reason) {
        reason->Release();
    }
    UnitTestCheck(canSample != VARIANT_FALSE, "canSample", kAdderFile, 446);
    mSink->Prepare(0);
    mSink->StartRecord(0, this, 1.0 / mTickRate, startTime, 0.0, 0, 0, mStartParam, VARIANT_TRUE);
    mTicksAdded = 0;
    ThrowPendingFailure();
}

void FormulaDataAdder::AddTicks(std::int32_t n)
{
    UnitTestCheck(mSink != nullptr, "mSink", kAdderFile, 487);
    n = std::min(n, mTicks - mTicksAdded);
    mSink->AddTicks(n);
    mTicksAdded += n;
    ThrowPendingFailure();
    platform::ComPtr<IChartRecordData> recdata;
    if (mChannelSource) {
        mChannelSource->QueryInterface(IID_IChartRecordData, recdata.OutVoid());
    }
    UnitTestCheck(recdata.Get() != nullptr, "recdata", kAdderFile, 494);
    KVOPosition endpos{0x7FFFFFFF, 0x7FFFFFFF};
    recdata->GetRecordEndPosition(0, &endpos);
    UnitTestCheck(endpos.mRecordOffset == mTicksAdded, "endpos.mRecordOffset == mTicksAdded", kAdderFile, 497);
}

void FormulaDataAdder::FinishRecord()
{
    if (!mSink) {
        return;
    }
    LONG ended = 0;
    mSink->EndRecord(0, &ended);
    mSink->Stop(VARIANT_TRUE);
    mSink = nullptr;
}

void FormulaDataAdder::BeginRecord(std::vector<KVO::String> expressions, std::int32_t ticks,
                                   std::vector<double> sampleRates, double startTime)
{
    Setup(std::move(expressions), ticks, std::move(sampleRates));
    StartRecord(startTime);
}

void FormulaDataAdder::BeginRecord(std::vector<KVO::String> expressions, std::int32_t ticks, double sampleRate,
                                   double startTime)
{
    std::vector<double> rates(expressions.size(), sampleRate);
    BeginRecord(std::move(expressions), ticks, std::move(rates), startTime);
}

void FormulaDataAdder::AddRecord(std::vector<KVO::String> expressions, std::int32_t ticks,
                                 std::vector<double> sampleRates, double startTime)
{
    BeginRecord(std::move(expressions), ticks, std::move(sampleRates), startTime);
    AddTicks(mTicks);
    FinishRecord();
}

void FormulaDataAdder::AddRecord(std::vector<KVO::String> expressions, std::int32_t ticks, double sampleRate,
                                 double startTime)
{
    std::vector<double> rates(expressions.size(), sampleRate);
    AddRecord(std::move(expressions), ticks, std::move(rates), startTime);
}

namespace Crestmetrics::Enum {

platform::ComPtr<IUnknown> GetTestChartData() { return ChartData::GetChannelDataInterface(); }

void DefineSourceChannels(const std::vector<KVO::String>& texts, IUnknown* chartData)
{
    if (texts.empty()) {
        return;
    }
    platform::ComPtr<IChannelNaming> naming;
    if (chartData) {
        chartData->QueryInterface(IID_IChannelNaming, naming.OutVoid());
    }
    platform::ComPtr<IUnknown> channelData;
    if (chartData) {
        chartData->QueryInterface(IID_IChannelData, channelData.OutVoid());
    }
    ChannelReference channel{static_cast<std::int32_t>(0x80000000u), static_cast<std::int32_t>(0xC0000000u)};
    for (const KVO::String& text : texts) {
        IKVOString* name = nullptr;
        const HRESULT hr = naming ? naming->AllocateChannel(VARIANT_FALSE, 0, &name, &channel) : E_NOINTERFACE;
        if (name) {
            name->Release();
        }
        UnitTestCheck(hr == S_OK, "hr==S_OK", kRoutinesFile, 85);
        const bool accepted = ExtLib::SetChannelCalculation(channelData.Get(), CX::Msg::ChannelCalcMessageId0(), text,
                                                            KVO::String(), channel);
        UnitTestCheck(accepted, "calculation accepted", kRoutinesFile, 86, text);
    }
}

} // namespace Crestmetrics::Enum
