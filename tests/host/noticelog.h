// A listener to a data source's sampling that writes down each notice it is told.
#pragma once

#include "host/comobject.h"
#include "sdk/datasource.h"

#include <string>
#include <vector>

class NoticeLog final : public IOnlineDataSink, private host::RefCounted {
public:
    std::vector<std::string> notices;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        return iid == IID_IUnknown ? host::Answer(static_cast<IOnlineDataSink*>(this), out) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetInterest(DWORD*, WORD*) override { return E_NOTIMPL; }
    HRESULT SamplingStarted(DWORD) override { return Note("started"); }
    HRESULT BlockStarted(LONG block, DWORD, double, LONGLONG, LONGLONG, DWORD, DWORD, DWORD,
                         VARIANT_BOOL recorded) override
    {
        return Note("block " + std::to_string(block) + (recorded ? "" : " monitored"));
    }
    HRESULT NewData(LONG samples) override { return Note("data " + std::to_string(samples)); }
    HRESULT SamplingStopped(DWORD, DWORD) override { return Note("stopped"); }
    HRESULT AfterStop(VARIANT_BOOL) override { return Note("after stop"); }
    HRESULT RangeNotice(DWORD, DWORD) override { return Note("range"); }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Idle(DWORD) override { return Note("idle"); }
    HRESULT GetUpdateInterval(DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetDataKinds(DWORD, DWORD, DWORD, DWORD*) override { return E_NOTIMPL; }
    void DeleteThis() override { delete this; }

private:
    HRESULT Note(std::string what)
    {
        notices.push_back(std::move(what));
        return S_OK;
    }
};
