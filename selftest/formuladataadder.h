// Synthetic recordings for the self tests: channels defined by formulas in the time t, recorded into the host's
// chart data through its recording sink, a whole record at once or step by step while a test reads it.
#pragma once

#include "foundation/bitset.h"
#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "platform/com/unknown.h"
#include "sdk/cafframework.h"
#include "sdk/calcenum.h"
#include "sdk/recording.h"
#include "selftest/unittestbase.h"

#include <cstdint>
#include <optional>
#include <vector>

template <>
struct InterfaceIdOf<IKVOChannelDataSource> {
    static constexpr const IID& value = IID_IKVOChannelDataSource;
};

using TChanIndex = std::int32_t;

// The channels, rates and record length of a data source that the host records from, and its recording sink.
class DataAdderBase : public IKVOChannelDataSource, public KVO::CComObjectRoot {
public:
    // IKVOChannelDataSource: only the record length is answered here.
    HRESULT Reserved3(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT GetChannelEnum(DWORD, LONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT Reserved5(DWORD, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT GetRecordLength(LONG* ticks) override;
    HRESULT GetRecordLength64(LONGLONG* ticks) override;

    virtual void SetChannels(KVO::Bitset channels);
    virtual void AddChannels(const KVO::Bitset& channels);
    virtual void RemoveChannels(const KVO::Bitset& channels);
    // Bit 31 of a channel's word limits its unit's range to -10..10.
    virtual void SetChannelFlags(std::vector<std::uint32_t> flags);
    // Passed unchanged to the sink when the record starts.
    virtual void SetStartParam(std::int32_t param);

    const KVO::Bitset& Channels() const { return mChannels; }

protected:
    // The chart data to record into (no reference: the caller keeps it alive); null fetches the host's own.
    explicit DataAdderBase(IUnknown* chartData);
    ~DataAdderBase() override;

    IUnknown* mChannelSource = nullptr;
    platform::ComPtr<IUnknown> mOwnedSource;
    IChartDataSink* mSink = nullptr; // held without a reference from StartRecord to FinishRecord
    KVO::Bitset mChannels;
    std::vector<double> mSampleRates;
    double mTickRate = 0.0;
    std::int32_t mTicks = -1;
    std::vector<std::uint32_t> mChannelFlags;
    std::int32_t mStartParam = 0;
    std::int32_t mTicksAdded = 0;
};

class FormulaDataAdder final : public DataAdderBase {
public:
    // Created with one reference for the caller.
    static FormulaDataAdder* Create(IUnknown* chartData = nullptr) { return new FormulaDataAdder(chartData); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    // The host's formula evaluator for the channel, as a sample enumerator positioned at tick 0.
    HRESULT GetChannelEnum(DWORD reserved, LONG channel, IUnknown** out) override;

    // One formula in t and one sample rate per channel; no formula records a constant 1 at 1000 per second.
    void Setup(std::vector<KVO::String> expressions, std::int32_t ticks, std::vector<double> sampleRates);
    // Starts a record at startTime (seconds since 1970; 0 means now) and sets up every channel with the sink.
    void StartRecord(double startTime = 0.0);
    // Announces n more ticks (no more than the record holds) and checks that the host's record grew to match.
    void AddTicks(std::int32_t n);
    void FinishRecord();

    void BeginRecord(std::vector<KVO::String> expressions, std::int32_t ticks, std::vector<double> sampleRates,
                     double startTime = 0.0);
    void BeginRecord(std::vector<KVO::String> expressions, std::int32_t ticks, double sampleRate,
                     double startTime = 0.0);
    void AddRecord(std::vector<KVO::String> expressions, std::int32_t ticks, std::vector<double> sampleRates,
                   double startTime = 0.0);
    void AddRecord(std::vector<KVO::String> expressions, std::int32_t ticks, double sampleRate,
                   double startTime = 0.0);

    std::int32_t TicksAdded() const { return mTicksAdded; }
    // A check that failed while the host was calling the adder, thrown now (nothing when none did).
    void ThrowPendingFailure();

private:
    explicit FormulaDataAdder(IUnknown* chartData);
    HRESULT OpenChannelEnum(LONG channel, IUnknown** out);
    // A new instance of the host's formula evaluator on the chart data; empty when the host gives none.
    platform::ComPtr<ICalcEnum> NewFormula(ICAFFramework& framework) const;

    std::vector<KVO::String> mExpressions;
    std::optional<UnitTestException> pendingFailure_;
};

namespace Crestmetrics::Enum {

// A fresh chart data of the host with one reference for the caller (null when the host offers none).
platform::ComPtr<IUnknown> GetTestChartData();

// Adds one host calculation channel per text to the chart data, in order.
void DefineSourceChannels(const std::vector<KVO::String>& texts, IUnknown* chartData);

} // namespace Crestmetrics::Enum
