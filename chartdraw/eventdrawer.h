// Event marks: a dotted line through the lane and a small filled circle at every event of an event channel.
#pragma once

#include "chartdraw/drawer.h"
#include "frame/eventiter.h"
#include "sdk/eventdraw.h"

#include <memory>

namespace ChartDraw {

class EventDrawer : public DrawerBase {
public:
    EventDrawer(LONG ignored, LONG channel, DWORD subSelector, LONG alternate = kNoAlternateChannel,
                DWORD alternateSelector = kNoAlternateSelector);
    EventDrawer(const EventDrawer& other);

    HRESULT SetDataSource(LONG reserved, IUnknown* source) override;
    HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) override;
    HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) override;
    HRESULT GetData(LONG record, IUnknown** data) override;
    HRESULT RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR e) override;
    HRESULT OnScaleChanged(LONG lane, LONG reserved, const double scale[2], IUnknown* source) override;
    HRESULT OnNewBlock(DWORD argument) override;
    HRESULT OnSamplingStart(DWORD argument, LONG flag) override;
    HRESULT GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick) override;
    HRESULT OnSamplingStop(LONG r0, LONG r1) override;
    HRESULT DropCachedData(LONG reserved) override;
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x, const RECT& clip,
                 DWORD flags, const TimeDivisions* divisions, LONG word) override;
    HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) override;

    bool HasCachedSource() const { return iterator_ != nullptr; }

protected:
    // The colour of one event's circle (white when the draw class gives none).
    virtual COLORREF EventColour(const std::byte* event);

private:
    void ReleaseSource() { iterator_.reset(); }
    void FetchDrawClass(DWORD drawType);

    double lastX_ = -1.0;
    LONGLONG lastEvent_ = -1;
    std::unique_ptr<KVOEvent::ConstEventIterBase> iterator_;
    LONG limit_ = 0x7FFFFFFF;
    platform::ComPtr<IPODEventDrawClass> drawClass_;
    DWORD drawType_ = 0;
};

} // namespace ChartDraw
