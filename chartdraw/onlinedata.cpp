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

HRESULT PaneOnlineData::SamplingStarted(DWORD value) { return pane_.SamplingStarted(value); }

HRESULT PaneOnlineData::BlockStarted(LONG, DWORD, double, LONGLONG, LONGLONG, DWORD, DWORD, DWORD, VARIANT_BOOL)
{
    KVOPosition end;
    if (!recording_ || FAILED(recording_->GetRecordEndPosition(0, &end))) {
        return E_FAIL;
    }
    double tickSeconds = 0.0;
    recording_->GetTickPeriod(0, end.mRecord, &tickSeconds);
    return pane_.BlockStarted(end.mRecord, tickSeconds, false);
}

HRESULT PaneOnlineData::NewData(LONG)
{
    KVOPosition end;
    if (!recording_ || FAILED(recording_->GetRecordEndPosition(0, &end))) {
        return E_FAIL;
    }
    // The pane takes the samples of the record so far.
    return pane_.NewData(end.mRecordOffset);
}

HRESULT PaneOnlineData::SamplingStopped(DWORD a, DWORD b) { return pane_.SamplingStopped(a, b); }

HRESULT PaneOnlineData::AfterStop(VARIANT_BOOL flag) { return pane_.AfterStop(flag != VARIANT_FALSE); }

HRESULT PaneOnlineData::GetUpdateInterval(DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 100; // the pane's update interval in milliseconds
    return S_OK;
}

HRESULT PaneOnlineData::GetDataKinds(DWORD, DWORD, DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 100;
    return S_OK;
}

} // namespace ChartDraw
