#include "host/chartdata.h"

#include "sdk/analysishost.h"
#include "sdk/chartserver.h"
#include "sdk/datasource.h"

namespace host {

ChildDataHolder::~ChildDataHolder()
{
    for (auto& [key, child] : children_) {
        child->Release();
    }
}

HRESULT ChildDataHolder::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChildDataHolder) {
        return Answer(static_cast<IChildDataHolder*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT ChildDataHolder::Store(DWORD, IChartDataChildData* child)
{
    if (!child) {
        log_.Record("childdata", "Store", "null");
        return E_POINTER;
    }
    DWORD key = 0;
    const HRESULT hr = child->GetTypeId(&key);
    log_.Record("childdata", "Store", Hex(key));
    if (FAILED(hr)) {
        return hr;
    }
    child->AddRef();
    auto [it, added] = children_.emplace(key, child);
    if (!added) {
        it->second->Release();
        it->second = child;
    }
    return S_OK;
}

HRESULT ChildDataHolder::Find(DWORD, DWORD key, IChartDataChildData** out)
{
    log_.Record("childdata", "Find", Hex(key));
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    auto found = children_.find(key);
    if (found == children_.end()) {
        return E_FAIL;
    }
    *out = found->second;
    (*out)->AddRef();
    return S_OK;
}

void ChildDataHolder::NotifyInvalidated(DWORD flags, LONG firstRecord, LONG endRecord)
{
    log_.Record("childdata", "Invalidated", std::to_string(firstRecord) + " " + std::to_string(endRecord));
    for (auto& [key, child] : children_) {
        child->Invalidated(flags, firstRecord, endRecord);
    }
}

void ChildDataHolder::NotifyRecordsChanged(LONG first, LONG second)
{
    log_.Record("childdata", "RecordsChanged", std::to_string(first) + " " + std::to_string(second));
    for (auto& [key, child] : children_) {
        child->RecordsChanged(first, second);
    }
}

void ChildDataHolder::NotifyDataChanged(DWORD flags, LONG channel, DWORD kind, DWORD reserved, LONG firstRecord,
                                        LONG endRecord)
{
    log_.Record("childdata", "DataChanged",
                std::to_string(channel) + " " + Hex(kind) + " " + std::to_string(firstRecord) + " " +
                    std::to_string(endRecord));
    for (auto& [key, child] : children_) {
        child->DataChanged(flags, channel, kind, reserved, firstRecord, endRecord);
    }
}

ChartData::ChartData(CallLog& log)
    : log_(log), holder_(new ChildDataHolder(log)), calculations_(CalcChannels::Create(log))
{
    AddRefCount();
    holder_->AddRef();
}

ChartData::~ChartData()
{
    calculations_->Release();
    holder_->Release();
}

HRESULT ChartData::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChartDocument) {
        return Answer(static_cast<IChartDocument*>(this), out);
    }
    if (iid == IID_IChannelData) {
        return Answer(static_cast<IChannelData*>(this), out);
    }
    if (iid == IID_IChartChannels) {
        return Answer(static_cast<IChartChannels*>(this), out);
    }
    if (iid == IID_IChartCalcChannels || iid == IID_IChartTimes || iid == IID_ICalcTextTarget ||
        iid == IID_IChannelCalculation) {
        return calculations_->QueryInterface(iid, out);
    }
    if (outer_) {
        return outer_->QueryInterface(iid, out);
    }
    return E_NOINTERFACE;
}

HRESULT ChartData::Link(IUnknown* object, const IID& iid, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!object || FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(out))) || !*out) {
        *out = nullptr;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT ChartData::GetDataSourceLink(IUnknown** out)
{
    log_.Record("chartdata", "GetDataSourceLink");
    return Link(outer_, IID_IDataSource, out);
}

HRESULT ChartData::GetChannelDataLink(IUnknown** out)
{
    log_.Record("chartdata", "GetChannelDataLink");
    return Link(static_cast<IChartDocument*>(this), IID_IUnknown, out);
}

HRESULT ChartData::GetCalculationsLink(IUnknown** out)
{
    log_.Record("chartdata", "GetCalculationsLink");
    return Link(static_cast<IChartCalcChannels*>(calculations_), IID_IUnknown, out);
}

HRESULT ChartData::GetSelectionLink(IUnknown** out) { return Link(outer_, IID_IChartSelection, out); }

HRESULT ChartData::GetExtentLink(IUnknown** out) { return Link(outer_, IID_IChartExtent, out); }

HRESULT ChartData::GetTimesLink(IUnknown** out) { return Link(static_cast<IChartCalcChannels*>(calculations_), IID_IChartTimes, out); }

HRESULT ChartData::GetServerLink(DWORD, IUnknown** out) { return Link(outer_, IID_IChartDataSource, out); }

HRESULT ChartData::GetChildDataHolder(IChildDataHolder** out)
{
    log_.Record("chartdata", "GetChildDataHolder");
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!hasHolder_) {
        return E_NOTIMPL;
    }
    return Answer(static_cast<IChildDataHolder*>(holder_), reinterpret_cast<void**>(out));
}

HRESULT ChartData::GetChannelTimeBase(DWORD, LONG block, LONG channel, ChannelTimeBase* out)
{
    log_.Record("chartdata", "GetChannelTimeBase", std::to_string(block) + " " + std::to_string(channel));
    if (!out) {
        return E_POINTER;
    }
    *out = {1, 1, 0.0};
    return timeBase_ ? timeBase_(block, channel, *out) : S_OK;
}

HRESULT ChartData::GetChannel(DWORD selector, LONG channel, IUnknown** out)
{
    log_.Record("chartdata", "GetChannel", Hex(selector) + " " + std::to_string(channel));
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (channels_.count(channel) == 0) {
        return E_FAIL;
    }
    // The chart data stands in for the channel object.
    return Answer(static_cast<IChartChannels*>(this), reinterpret_cast<void**>(out));
}

} // namespace host
