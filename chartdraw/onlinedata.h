// Connects a chart pane to the host's sampling: the host's online-data notices carry no values, so the adapter
// reads the recording's end and tick period and hands the pane its own notices.
#pragma once

#include "chartdraw/datapane.h"
#include "sdk/datasource.h"
#include "sdk/recording.h"

namespace ChartDraw {

class PaneOnlineData final : public IOnlineDataSink {
public:
    // A new adapter with one reference for the caller; the pane must outlive its subscription.
    static PaneOnlineData* Create(DataPane& pane, IChartRecordData* recording);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return count_.Add(); }
    ULONG Release() override;
    HRESULT GetInterest(DWORD* flags, WORD* wanted) override;
    HRESULT SamplingStarted(DWORD value) override;
    HRESULT BlockStarted(LONG, DWORD, double, LONGLONG, LONGLONG, DWORD, DWORD, DWORD, VARIANT_BOOL) override;
    HRESULT NewData(LONG) override;
    HRESULT SamplingStopped(DWORD, DWORD) override;
    HRESULT AfterStop(VARIANT_BOOL) override;
    HRESULT RangeNotice(DWORD a, DWORD b) override { return pane_.RangeNotice(a, b); }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Idle(DWORD) override { return S_OK; }
    HRESULT GetUpdateInterval(DWORD, DWORD* milliseconds) override;
    HRESULT GetDataKinds(DWORD, DWORD, DWORD, DWORD* kinds) override;
    void DeleteThis() override { delete this; }

private:
    PaneOnlineData(DataPane& pane, IChartRecordData* recording) : pane_(pane), recording_(recording) {}
    ~PaneOnlineData() = default;

    DataPane& pane_;
    platform::ComPtr<IChartRecordData> recording_;
    platform::RefCount count_;
};

} // namespace ChartDraw
