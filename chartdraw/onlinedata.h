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
    HRESULT SamplingStarting(DWORD, DWORD) override { return S_OK; }
    HRESULT SamplingStarted(DWORD, DWORD) override;
    HRESULT RecordStarted(DWORD, DWORD) override;
    HRESULT SamplingStopped(DWORD, DWORD) override;
    HRESULT DataArrived(DWORD, DWORD) override;
    HRESULT RecordEnded(DWORD, DWORD) override { return S_OK; }
    HRESULT Reserved10(DWORD, DWORD) override { return S_OK; }
    HRESULT Reserved11(DWORD, DWORD) override { return S_OK; }
    HRESULT Idle(DWORD, DWORD) override { return S_OK; }
    HRESULT GetLatency(DWORD* out) override;
    HRESULT GetInterval(DWORD, DWORD, DWORD, DWORD* out) override;
    void DeleteThis() override { delete this; }

private:
    PaneOnlineData(DataPane& pane, IChartRecordData* recording) : pane_(pane), recording_(recording) {}
    ~PaneOnlineData() = default;

    DataPane& pane_;
    platform::ComPtr<IChartRecordData> recording_;
    platform::RefCount count_;
};

} // namespace ChartDraw
