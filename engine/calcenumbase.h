// The common frame of every enumerator that a calculation class object creates (the slice engine's and the small
// ones of "ERStimSOB" and "PeakCycConvert"): the reference count, the creating class object and the host context,
// the interface answers and aggregation inside a host object. A derived enumerator supplies the operations of
// ICalcEnum and IEnumEventEx.
#pragma once

#include "engine/eeh3params.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"

#include <new>
#include <sstream>

namespace EEH3 {

// The text operation of the enumerators: the one-character text "?" as a new host string.
class EnumeratorBase {
public:
    virtual IKVOString* GetText();

protected:
    ~EnumeratorBase() = default;
};

} // namespace EEH3

namespace CalcEnums {

class CalcEnumEventBase : public ICalcEnum, public IEnumEventEx, public EEH3::EnumeratorBase {
public:
    CalcEnumEventBase(const CalcEnumEventBase&) = delete;
    CalcEnumEventBase& operator=(const CalcEnumEventBase&) = delete;

    // IUnknown (delegating to the outer object when aggregated)
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // ICalcEnum: what every such enumerator answers alike
    HRESULT GetClassId(DWORD* id) override;
    HRESULT GetClassObject(ICalcEnumClass2** out) override;
    // Clone (both slots): a copy made by Copy(), null when there is no memory for one.
    HRESULT Clone(ICalcEnum** out) override;
    HRESULT QueryFlags(DWORD a, DWORD b, DWORD* out) override;
    HRESULT GetStatus(DWORD* out) override;
    void DeleteThis() override;
    // IEnumEventEx
    HRESULT Skip(LONG count, LONG* skipped) override;
    HRESULT Clone(IEnumEventEx** out) override;
    HRESULT GetEventSize(LONG* bytes) override;
    HRESULT GetExtension(IUnknown** out) override;

    IUnknown* InnerUnknown() { return &inner_; }

protected:
    // `outer` is the controlling unknown of an aggregate (null for a plain enumerator); the count starts at 1.
    CalcEnumEventBase(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer);
    virtual ~CalcEnumEventBase();

    // A new enumerator with one reference that continues as this one would; null when there is no memory.
    virtual CalcEnumEventBase* Copy() const = 0;

    // The parameter text as a classic-locale stream, and `params` written back as a new host string.
    static std::wistringstream ParameterStream(IKVOString* text);
    static HRESULT WriteParameters(const EEH3::ParamsBase& params, IKVOString** text);

    ICalcEnumClass2* ClassObject() const { return classObject_; }
    IUnknown* Context() const { return context_; }
    // The record size answered unless a derived enumerator answers its own: EventPkStm.
    static constexpr LONG kRecordSize = 24;

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
    IUnknown* context_;            // one reference
};

// The creator of an enumerator type T (constructed from class object, context and outer unknown), for
// EEH3::FamilyRegistration.
template <class T>
HRESULT CreateEnum(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer, REFIID iid, void** out)
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
        *out = created->InnerUnknown();
        return S_OK;
    }
    const HRESULT hr = created->QueryInterface(iid, out);
    created->Release();
    return hr;
}

} // namespace CalcEnums
