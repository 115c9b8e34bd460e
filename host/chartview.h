// The host chart's view of a document as the module reaches it through the host document's object container: it
// keeps every time it was asked to show.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/chartview.h"

#include <utility>
#include <vector>

namespace host {

class ChartView final : public IChartView, private HostOwned {
public:
    explicit ChartView(CallLog& log) : log_(log) {}
    using HostOwned::References;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT ShowTime(LONGLONG time, DWORD flag) override;

    // (time, flag) of every request, in order.
    const std::vector<std::pair<LONGLONG, DWORD>>& Shown() const { return shown_; }

private:
    CallLog& log_;
    std::vector<std::pair<LONGLONG, DWORD>> shown_;
};

} // namespace host
