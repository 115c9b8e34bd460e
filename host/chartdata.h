// A host document's chart data: the chart-document and channel-data interfaces and the holder of the child data
// that extensions attach to it.
#pragma once

#include "host/analysis.h"
#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/chartchannels.h"
#include "sdk/chartdata.h"

#include <functional>
#include <map>
#include <set>

namespace host {

class ChildDataHolder final : public IChildDataHolder, private RefCounted {
public:
    explicit ChildDataHolder(CallLog& log) : log_(log) {}
    ~ChildDataHolder() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Store(DWORD reserved, IChartDataChildData* child) override;
    HRESULT Find(DWORD reserved, DWORD key, IChartDataChildData** out) override;

    std::size_t Size() const { return children_.size(); }

    // The notices the host sends to every child data: the data of records [first, end) is no longer valid,
    // records were inserted (first < second) or removed (first > second), a channel's data changed.
    void NotifyInvalidated(DWORD flags, LONG firstRecord, LONG endRecord);
    void NotifyRecordsChanged(LONG first, LONG second);
    void NotifyDataChanged(DWORD flags, LONG channel, DWORD kind, DWORD reserved, LONG firstRecord, LONG endRecord);

private:
    CallLog& log_;
    std::map<DWORD, IChartDataChildData*> children_; // one reference each
};

class ChartData final : public IChartDocument, public IChannelData, public IChartChannels, private RefCounted {
public:
    // Created with one reference for the caller.
    static ChartData* Create(CallLog& log) { return new ChartData(log); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IChartDocument: the data source (the outer object), itself for the channel data, the calculation channels,
    // the outer object's selection and extent, the calculations' clock and the chart server the source offers.
    HRESULT GetDataSourceLink(IUnknown** out) override;
    HRESULT GetChannelDataLink(IUnknown** out) override;
    HRESULT GetCalculationsLink(IUnknown** out) override;
    HRESULT GetSelectionLink(IUnknown** out) override;
    HRESULT GetExtentLink(IUnknown** out) override;
    HRESULT GetTimesLink(IUnknown** out) override;
    HRESULT GetServerLink(DWORD reserved, IUnknown** out) override;
    HRESULT GetChildDataHolder(IChildDataHolder** out) override;
    // IChannelData
    HRESULT GetChannelTimeBase(DWORD reserved, LONG block, LONG channel, ChannelTimeBase* out) override;
    // IChartChannels
    HRESULT GetChannel(DWORD selector, LONG channel, IUnknown** out) override;

    IUnknown* AsUnknown() { return static_cast<IChartDocument*>(this); }
    ChildDataHolder& Holder() { return *holder_; }
    // The calculation channels and the clock of the chart (answered as IChartCalcChannels and IChartTimes).
    CalcChannels& Calculations() { return *calculations_; }
    // Documents without a holder (as some host documents are).
    void SetHasHolder(bool has) { hasHolder_ = has; }
    // The data source whose chart data this is: it answers the interfaces that the chart data does not (no
    // reference; the data source clears it before it goes).
    void SetOuter(IUnknown* outer) { outer_ = outer; }
    // The answer of the channel-data time base (slot 21) for a block and channel; {1, 1, 0} until set.
    using TimeBaseAnswer = std::function<HRESULT(LONG block, LONG channel, ChannelTimeBase& out)>;
    void SetTimeBaseAnswer(TimeBaseAnswer answer) { timeBase_ = std::move(answer); }
    // The channels that have a channel object (none until set).
    void SetChannels(std::set<LONG> channels) { channels_ = std::move(channels); }

private:
    explicit ChartData(CallLog& log);
    // The object's interface `iid` as a link, or E_NOTIMPL.
    HRESULT Link(IUnknown* object, const IID& iid, IUnknown** out);
    ~ChartData() override;

    CallLog& log_;
    ChildDataHolder* holder_;
    CalcChannels* calculations_;
    bool hasHolder_ = true;
    IUnknown* outer_ = nullptr;
    TimeBaseAnswer timeBase_;
    std::set<LONG> channels_;
};

} // namespace host
