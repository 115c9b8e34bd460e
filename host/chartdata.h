// A host document's chart data: the chart-document and channel-data interfaces and the holder of the child data
// that extensions attach to it.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/chartdata.h"

#include <map>

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

private:
    CallLog& log_;
    std::map<DWORD, IChartDataChildData*> children_; // one reference each
};

class ChartData final : public IChartDocument, public IChannelData, private RefCounted {
public:
    // Created with one reference for the caller.
    static ChartData* Create(CallLog& log) { return new ChartData(log); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IChartDocument
    HRESULT GetChildDataHolder(IChildDataHolder** out) override;
    // IChannelData
    HRESULT GetChannelTimeBase(DWORD reserved, LONG block, LONG channel, ChannelTimeBase* out) override;

    IUnknown* AsUnknown() { return static_cast<IChartDocument*>(this); }
    ChildDataHolder& Holder() { return *holder_; }
    // Documents without a holder (as some host documents are).
    void SetHasHolder(bool has) { hasHolder_ = has; }
    // The data source whose chart data this is: it answers the interfaces that the chart data does not (no
    // reference; the data source clears it before it goes).
    void SetOuter(IUnknown* outer) { outer_ = outer; }

private:
    explicit ChartData(CallLog& log);
    ~ChartData() override;

    CallLog& log_;
    ChildDataHolder* holder_;
    bool hasHolder_ = true;
    IUnknown* outer_ = nullptr;
};

} // namespace host
