#include "host/hostcalcclass.h"

#include "host/hoststring.h"
#include "platform/com/oleauto.h"
#include "sdk/calcenum.h"

namespace host {

HRESULT HostCalcClass::GetId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    *typeId = 0;
    return S_OK;
}

HRESULT HostCalcClass::GetCategory(const GUID** category)
{
    if (!category) {
        return E_POINTER;
    }
    *category = nullptr;
    return S_OK;
}

HRESULT HostCalcClass::GetName(BSTR* name)
{
    if (!name) {
        return E_POINTER;
    }
    SysFreeString(*name);
    *name = SysAllocString(name_);
    return S_OK;
}

HRESULT HostCalcClass::IsCategory(const GUID*) { return S_FALSE; }

HRESULT HostCalcClass::GetNameString(IKVOString** name)
{
    if (!name) {
        return E_POINTER;
    }
    *name = MakeString(name_).Detach();
    return S_OK;
}

HRESULT HostCalcClass::GetDescription(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = MakeString(description_).Detach();
    return S_OK;
}

HRESULT HostCalcClass::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 0;
    return S_OK;
}

HRESULT HostCalcClass::CreateBound(IUnknown*, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT HostCalcClass::CreateAggregated(IUnknown* outer, IUnknown* context, REFIID iid, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    platform::ComPtr<ICalcEnum> instance;
    const HRESULT hr = CreateInstance(context, instance.Out());
    if (FAILED(hr)) {
        return hr;
    }
    return instance->QueryInterface(iid, reinterpret_cast<void**>(out));
}

} // namespace host
