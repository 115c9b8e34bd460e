#include "chartdraw/onlinedata.h"

namespace ChartDraw {

PaneOnlineData* PaneOnlineData::Create(DataPane& pane, IChartRecordData* recording)
{
    auto* made = new PaneOnlineData(pane, recording);
    made->AddRef();
    return made;
}

HRESULT PaneOnlineData::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG PaneOnlineData::Release()
{
    ULONG left = 0;
    if (count_.Drop(left)) {
        DeleteThis();
    }
    return left;
}

HRESULT PaneOnlineData::GetInterest(DWORD* flags, WORD* wanted)
{
    if (flags) {
        *flags = 0;
    }
    if (wanted) {
        *wanted = 0xFFFF;
    }
    return S_OK;
}

HRESULT PaneOnlineData::SamplingStarted(DWORD, DWORD) { return pane_.SamplingStarted(0); }

HRESULT PaneOnlineData::RecordStarted(DWORD, DWORD)
{
    KVOPosition end;
    if (!recording_ || FAILED(recording_->GetRecordEndPosition(0, &end))) {
        return E_FAIL;
    }
    double tickSeconds = 0.0;
    recording_->GetTickPeriod(0, end.mRecord, &tickSeconds);
    return pane_.BlockStarted(end.mRecord, tickSeconds, false);
}

HRESULT PaneOnlineData::DataArrived(DWORD, DWORD)
{
    KVOPosition end;
    if (!recording_ || FAILED(recording_->GetRecordEndPosition(0, &end))) {
        return E_FAIL;
    }
    // The pane takes the samples of the record so far.
    return pane_.NewData(end.mRecordOffset);
}

HRESULT PaneOnlineData::SamplingStopped(DWORD, DWORD)
{
    const HRESULT stopped = pane_.SamplingStopped(0, 0);
    pane_.AfterStop(false);
    return stopped;
}

HRESULT PaneOnlineData::GetLatency(DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 0;
    return S_OK;
}

HRESULT PaneOnlineData::GetInterval(DWORD, DWORD, DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 100; // the pane's update interval in milliseconds
    return S_OK;
}

} // namespace ChartDraw
