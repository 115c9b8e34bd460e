// The class-object slots that the host's own calculation classes share: a fixed name and description, no category,
// no bound creation, aggregation refused. A class supplies its interfaces and CreateInstance.
#pragma once

#include "host/comobject.h"
#include "sdk/calcclass.h"

namespace host {

class HostCalcClass : public ICalcEnumClass2, protected HostOwned {
public:
    HostCalcClass(const char16_t* name, const char16_t* description) : name_(name), description_(description) {}

    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // ICAFClassObject
    HRESULT GetId(DWORD* typeId) override; // 0: not registered under a type id of its own
    HRESULT GetCategory(const GUID** category) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT IsCategory(const GUID* category) override;
    // ICalcEnumClass2
    HRESULT GetNameString(IKVOString** name) override;
    HRESULT GetDescription(IKVOString** text) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT CreateBound(IUnknown* host, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7,
                        IUnknown** out) override;
    HRESULT CreateAggregated(IUnknown* outer, IUnknown* context, REFIID iid, IUnknown** out) override;

protected:
    ~HostCalcClass() = default;

private:
    const char16_t* name_;
    const char16_t* description_;
};

} // namespace host
