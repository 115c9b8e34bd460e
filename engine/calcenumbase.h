// The common base of the enumerator objects that the calculation class objects create: the reference count, the
// creating class object and the host context; plain, or aggregated inside a host object (the non-delegating
// unknown then answers for the enumerator and every interface delegates IUnknown to the outer object). Also the
// slots that every enumerator answers alike, and their creation.
#pragma once

#include "sdk/calcclass.h"
#include "sdk/calcenum.h"

#include <new>
#include <sstream>

namespace EEH3 {
class ParamsBase;
}

namespace CalcEnums {

class CalcEnumEventBase : public ICalcEnum, public IEnumEventEx {
public:
    CalcEnumEventBase(const CalcEnumEventBase&) = delete;
    CalcEnumEventBase& operator=(const CalcEnumEventBase&) = delete;

    // IUnknown (delegating to the outer object when aggregated)
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // ICalcEnum
    HRESULT GetClassId(DWORD* id) override;
    HRESULT GetClassObject(ICalcEnumClass2** out) override;
    HRESULT QueryFlags(DWORD a, DWORD b, DWORD* out) override;
    HRESULT GetStatus(DWORD* out) override;
    void DeleteThis() override;
    // IEnumEventEx
    HRESULT Skip(LONG count, LONG* skipped) override;
    // A copy made by ICalcEnum's Clone, as its IEnumEventEx.
    HRESULT Clone(IEnumEventEx** out) override;
    HRESULT GetExtension(IUnknown** out) override;
    using ICalcEnum::Clone;

    // The non-delegating unknown of an aggregated enumerator (its own identity otherwise).
    IUnknown* InnerUnknown() { return &inner_; }

protected:
    // `outer` is the controlling unknown of an aggregate (null for a plain enumerator); the count starts at 1.
    CalcEnumEventBase(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer);
    virtual ~CalcEnumEventBase();

    IUnknown* Context() const { return context_; }
    // Made inside a host object (an aggregate) rather than on its own.
    bool Aggregated() const { return outer_ != nullptr; }
    ICalcEnumClass2* ClassObjectPtr() const { return classObject_; }

    // The parameter text as a classic-locale stream, and `params` written back as a new host string.
    static std::wistringstream ParameterStream(IKVOString* text);
    static HRESULT WriteParameters(const EEH3::ParamsBase& params, IKVOString** text);

private:
    class NonDelegating final : public IUnknown {
    public:
        explicit NonDelegating(CalcEnumEventBase& owner) : owner_(owner) {}
        HRESULT QueryInterface(REFIID iid, void** out) override;
        ULONG AddRef() override;
        ULONG Release() override;

    private:
        CalcEnumEventBase& owner_;
    };

    platform::RefCount count_;
    NonDelegating inner_;
    IUnknown* outer_;              // the aggregate's controlling unknown, not counted
    ICalcEnumClass2* classObject_; // one reference
    IUnknown* context_;            // the host context, one reference
};

// Creates an enumerator of type T: plain (outer null: the enumerator queried for iid) or aggregated (the
// non-delegating unknown, iid must be IID_IUnknown).
template <class T>
HRESULT CreateEnumerator(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer, REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (outer && iid != IID_IUnknown) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* created = new (std::nothrow) T(classObject, context, outer);
    if (!created) {
        return E_OUTOFMEMORY;
    }
    if (outer) {
        *out = created->InnerUnknown(); // the creation reference goes to the aggregate
        return S_OK;
    }
    const HRESULT hr = created->QueryInterface(iid, out);
    created->Release();
    return hr;
}

} // namespace CalcEnums
