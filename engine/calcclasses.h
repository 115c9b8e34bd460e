// The calculation class objects: one static object per calculation that tells the host its name, aliases,
// description, identifier, parameters and source kinds, and creates its enumerators.
#pragma once

#include "foundation/comobject.h"
#include "frame/classlist.h"
#include "sdk/calcclass.h"

namespace CalcEnums {

// {832F6F36-279A-412C-BDCA-DB2B0E6E2DAA}: the category shared by every calculation of the module.
inline constexpr GUID kCalculationCategory{
    0x832F6F36, 0x279A, 0x412C, {0xBD, 0xCA, 0xDB, 0x2B, 0x0E, 0x6E, 0x2D, 0xAA}};

// Unbounded parameter limits.
inline constexpr double kMax = 1.7976931348623157e308;
inline constexpr double kMin = -kMax;

// The class descriptor: one static record per calculation.
struct ClassDescriptor {
    const char16_t* name;
    const char16_t* description;
    DWORD flags;
    const GUID* classId;
    DWORD lowIdWord;
    DWORD cachedId; // 0 until first computed
};

// How a family answers the parameter-kind and source-kind questions.
enum class KindRule {
    SampleThenEvents, // parameter 0 (the sample source) 0x80000000, all others 0x40000000; sources 0 and 1
    EventsOnly,       // every parameter 0x40000000; one event source
    None,             // every parameter 0; no sources
};

// The parameter descriptor.
struct ParamDescriptor {
    const char16_t* const* names; // parameter order, then "PNEND"
    const double* ranges;         // minimum and maximum per parameter
    const char16_t* const* aliases;
    LONG aliasCount;
    LONG paramCount;
    LONG sourceCount;
    DWORD kind1;
    DWORD kind2;
    KindRule rule;
};

// A calculation class object. Its first interface is ICalcEnumClass2 (an ICAFClassObject), its second
// ICalcNumericParamsFuncClass; the class objects are static and keep a reference to themselves for their life.
class CalcEnumNumericParamsClass : public ICalcEnumClass2,
                                   public ICalcNumericParamsFuncClass,
                                   public CAFClassObject,
                                   public KVO::CComObjectRoot {
public:
    CalcEnumNumericParamsClass(ClassDescriptor& descriptor, const ParamDescriptor& params);
    CalcEnumNumericParamsClass(const CalcEnumNumericParamsClass&) = delete;
    CalcEnumNumericParamsClass& operator=(const CalcEnumNumericParamsClass&) = delete;
    ~CalcEnumNumericParamsClass() override = default;

    // IUnknown
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    // ICAFClassObject
    HRESULT GetId(DWORD* typeId) override;
    HRESULT GetCategory(const GUID** category) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT IsCategory(const GUID* category) override;
    // ICalcEnumClass2
    HRESULT GetNameString(IKVOString** name) override;
    HRESULT GetDescription(IKVOString** text) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT CreateBound(IUnknown* host, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7,
                        IUnknown** out) override;
    HRESULT CreateInstance(IUnknown* context, ICalcEnum** out) override;
    HRESULT CreateAggregated(IUnknown* outer, IUnknown* context, REFIID iid, IUnknown** out) override;
    // ICalcNumericParamsFuncClass
    HRESULT GetAliasCount(LONG* count) override;
    HRESULT GetAlias(LONG index, IKVOString** alias) override;
    HRESULT GetInfo(IKVOString** name, DWORD* id, LONG* paramCount, LONG* sourceCount, DWORD* kind1,
                    DWORD* kind2) override;
    HRESULT GetParam(LONG index, double* maximum, double* minimum, DWORD* kind, IKVOString** name) override;
    HRESULT TestSourceKind(LONG index, DWORD mask) override;

    // CAFClassObject: the interface registered with the host.
    ICAFClassObject* GetClassObjectInterface() override { return static_cast<ICalcEnumClass2*>(this); }

    const ClassDescriptor& Descriptor() const { return descriptor_; }
    const ParamDescriptor& Params() const { return params_; }

private:
    DWORD Id();

    ClassDescriptor& descriptor_;
    const ParamDescriptor& params_;
};

} // namespace CalcEnums
