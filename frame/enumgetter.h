// The event-enumerator driver: runs one calculation text over a host data source, outside the host's channel
// machinery, and offers the calculation's event enumerator to the caller. Beside it the small host helpers that
// its callers use: limit ranges of parameter texts, units and sample counts.
#pragma once

#include "foundation/kvostring.h"
#include "foundation/prefixedunit.h"
#include "sdk/calcenum.h"
#include "sdk/datasource.h"
#include "sdk/kvoposition.h"

#include <boost/function.hpp>

#include <cfloat>

#include <cstdint>
#include <istream>
#include <vector>

namespace ExtLib {

// A channel that a calculation text refers to: "ch1" is channel 0; "rch2" raw, "vch1" virtual.
struct EnumOutput {
    std::int32_t channel = 0;
    bool raw = false;
    bool isVirtual = false;
    friend bool operator==(const EnumOutput&, const EnumOutput&) = default;
};

// The channel references of a calculation text, in the order of their first appearance, each once. References
// numbered 0 or beyond the int32 range name no channel and are left out.
std::vector<EnumOutput> ParseChannelReferences(const KVO::String& text);

class EnumGetterBase : public IOnlineDataSink {
public:
    // Mode 0 listens to the source's sampling (live); 1 and 2 are offline, 2 still asks the calculations to stop
    // where a record has no samples yet.
    EnumGetterBase(IDataSource* source, int mode);
    EnumGetterBase(IDataSource* source, boost::function<void()> stopCallback, int mode);
    // The first data source of a host object (its slot 54).
    EnumGetterBase(IDataSourceHolder* hostObject, int mode);
    EnumGetterBase(const EnumGetterBase&) = delete;
    EnumGetterBase& operator=(const EnumGetterBase&) = delete;
    virtual ~EnumGetterBase();

    // Creates the calculation of class `typeId` bound to the source's channel data (to none with noBinding) and
    // gives it the text; false when any step fails, and then no calculation is kept.
    bool CreateCalc(DWORD typeId, bool noBinding, const KVO::String& text);
    // Opens one host enumerator per referenced channel over `record` from tick `start`, hands them to the
    // calculation and seeks it to `start`. With perOutputTimeBase the first output's tick period replaces
    // `tickPeriod`, else the record's does (when there are outputs). False when already started, without a source
    // or a calculation, or when an enumerator cannot be opened; then nothing stays open.
    bool OpenEnums(bool perOutputTimeBase, LONG start, LONG record, double tickPeriod);
    // As OpenEnums; a tick period of -1.0 is first replaced by the record's.
    bool OpenEnumsWithDefaults(bool perOutputTimeBase, LONG start, LONG record, double tickPeriod);
    // The calculation's event enumerator (null without one); what *out held is released.
    void QueryEventEnum(IEnumEventEx** out) const;
    // Takes the sources away from the calculation and releases them.
    void Stop();

    const std::vector<EnumOutput>& Outputs() const { return outputs_; }
    bool Started() const { return started_; }
    bool Subscribed() const { return subscribed_; }
    ICalcEnum* Calculation() const { return calculation_.Get(); }
    IDataSource* Source() const { return source_; }
    // The opened host enumerators, in output order.
    const std::vector<platform::ComPtr<IUnknown>>& Opened() const { return opened_; }

    // IUnknown: the driver belongs to its creator; the counts do nothing.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    // IOnlineDataSink
    HRESULT GetInterest(DWORD* flags, WORD* wanted) override;
    HRESULT SamplingStarted(DWORD) override { return S_OK; }
    HRESULT BlockStarted(LONG, DWORD, double, LONGLONG, LONGLONG, DWORD, DWORD, DWORD, VARIANT_BOOL) override
    {
        return S_OK;
    }
    HRESULT NewData(LONG) override { return S_OK; }
    // The recording stops: the owner's callback, then the sources go.
    HRESULT SamplingStopped(DWORD a, DWORD b) override;
    HRESULT AfterStop(VARIANT_BOOL) override { return S_OK; }
    HRESULT RangeNotice(DWORD, DWORD) override { return S_OK; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Idle(DWORD) override { return S_OK; }
    HRESULT GetUpdateInterval(DWORD, DWORD* milliseconds) override;
    HRESULT GetDataKinds(DWORD a, DWORD b, DWORD c, DWORD* kinds) override;
    void DeleteThis() override { delete this; }

private:
    void Register();
    void CloseSources();

    platform::ComPtr<ICalcEnum> calculation_;
    IDataSource* source_ = nullptr; // no reference: the driver's owner keeps the source alive
    std::vector<EnumOutput> outputs_;
    bool subscribed_ = false;
    int mode_ = 1;
    bool started_ = false;
    std::vector<platform::ComPtr<IUnknown>> opened_;
    bool callbackValid_ = false;
    boost::function<void()> stopCallback_;
};

// The driver that the analysis document and the self tests create.
class EventEnumDataGetter : public EnumGetterBase {
public:
    using EnumGetterBase::EnumGetterBase;
};

// A limit range of a parameter text: start and end as (tick offset, record); an offset of 0x7FFFFFFF is the end
// of the record.
struct Range {
    std::int32_t startOffset;
    std::int32_t startRecord;
    std::int32_t endOffset;
    std::int32_t endRecord;
};

// Each value rounded half away from zero and saturated to int32.
void MakeRange(Range& range, double startRecord, double startOffset, double endRecord, double endOffset);
// Up to four numbers (start record, start offset, end record, end offset; missing ones are 0, 0, 2147483647,
// 2147483647); negative starts become 0, negative ends 0x7FFFFFFF.
void ReadRange(Range& range, std::wistream& in);

// The unit of an enumerator's values (kind 0x40002000 samples, 0x2001 events); false without an enumerator or
// when it does not tell.
bool GetEnumUnitName(IUnknown* enumerator, DWORD kind, KVO::PrefixedUnit& unit);
// The unit of a channel's samples in a record (slot 17), asked again for any record when the record fails.
bool GetEnumUnitNameAt(IDataSource* source, LONG record, LONG channel, KVO::PrefixedUnit& unit);
// As GetEnumUnitNameAt through slot 43, for samples or events, asked again at record -2.
bool GetEnumUnitNameEx(IDataSource* source, LONG record, LONG channel, KVO::PrefixedUnit& unit, bool samples);
// True when the channel's unit name in any record after the first differs from its name in record 0; false with
// fewer than two records.
bool UnitNamesDiffer(LONG channel, IDataSource* source);
// The channel's value range in channel units: its raw limits through its scaling in the record (asked again for
// any record when the record fails). False, and the values unchanged, when the source gives no scaling or no
// raw limits for the channel.
bool GetChannelValueRange(IDataSource* source, LONG channel, LONG record, double& lower, double& upper);
// The host chart's selection: its ends as (tick offset, record), 0x7FFFFFFF where the host gives none, and its
// value limits (the largest double and its negative where it gives none).
struct ChartSelection {
    KVOPosition start{0x7FFFFFFF, 0x7FFFFFFF};
    KVOPosition end{0x7FFFFFFF, 0x7FFFFFFF};
    double top = DBL_MAX;
    double bottom = -DBL_MAX;
};
// Reads the chart's selection into `selection` (fields the host does not give stay as they are) and returns the
// time step for a preview of it: the ends' distance in the chart's absolute time over 400, rounded up to 1, 2, 5,
// 10 ... 1000 (2000 beyond); without a selection of two different ends, the time scale of the chart's view (the
// host document's object `chartObjectId`), or 1.0 when the view gives none.
double GetChartSelection(IUnknown* hostDocument, DWORD chartObjectId, LONG channel, ChartSelection& selection);
// True when any channel's unit differs from channel 0's.
bool SourceUnitsDiffer(IDataSource* source, LONG record);
// The source's 16-bit property (slot 55) is set.
bool GetSourceProperty(IDataSource* source);
// The samples from (startOffset, startRecord) to (endOffset, endRecord), summed over the records.
std::int64_t CountSamplesInRange(IDataSource* source, LONG startOffset, LONG startRecord, LONG endOffset,
                                 LONG endRecord);

} // namespace ExtLib
