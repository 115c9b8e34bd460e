// The host chart's view of a document as the module reaches it through the host document's object container: it
// keeps every time it was asked to show, and reports its time scale.
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
    HRESULT GetTimeScale(double* ticksPerPixel) override;
    // The time scale the view reports in ticks per pixel; 0 (the default) when the view fits each record to its
    // width.
    void SetTimeScale(double ticksPerPixel) { timeScale_ = ticksPerPixel; }

    // (time, flag) of every request, in order.
    const std::vector<std::pair<LONGLONG, DWORD>>& Shown() const { return shown_; }

private:
    CallLog& log_;
    std::vector<std::pair<LONGLONG, DWORD>> shown_;
    double timeScale_ = 0.0;
};

} // namespace host
