// The class objects through which the host finds the module's calculations by name and creates them.
#pragma once

#include "sdk/cafclassobject.h"

// {0E602176-EC83-4458-9F9F-C56FF14BE227}
inline constexpr IID IID_ICalcEnumClass2{0x0E602176, 0xEC83, 0x4458, {0x9F, 0x9F, 0xC5, 0x6F, 0xF1, 0x4B, 0xE2, 0x27}};
// {140F7A29-AA56-4060-91CD-DCBD10F1CCE2}
inline constexpr IID IID_ICalcNumericParamsFuncClass{
    0x140F7A29, 0xAA56, 0x4060, {0x91, 0xCD, 0xDC, 0xBD, 0x10, 0xF1, 0xCC, 0xE2}};

struct IKVOString;
struct ICalcEnum;

// Kind words of calculation sources and parameters.
namespace CalcKind {
inline constexpr DWORD kSampleSource = 0x80000000; // a host channel read as one float per tick
inline constexpr DWORD kEventSource = 0x40000000;  // event records of an inner calculation
inline constexpr DWORD kLeadingCount = 0x20000000; // with kSampleSource in the first info word
}

// Slots 3..6 are those of ICAFClassObject.
struct ICalcEnumClass2 : ICAFClassObject {
    virtual HRESULT GetNameString(IKVOString** name) = 0;        // 7
    virtual HRESULT GetDescription(IKVOString** text) = 0;       // 8
    virtual HRESULT GetFlags(DWORD* flags) = 0;                  // 9
    // 10: not offered; clears the out pointer.
    virtual HRESULT CreateBound(IUnknown* host, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7,
                                IUnknown** out) = 0;
    // 11: a new calculation instance bound to the host context (a channel-data interface or null).
    virtual HRESULT CreateInstance(IUnknown* context, ICalcEnum** out) = 0;
    // 12: with an outer unknown, an aggregated instance's non-delegating unknown; without one, as slot 11
    // queried for iid.
    virtual HRESULT CreateAggregated(IUnknown* outer, IUnknown* context, REFIID iid, IUnknown** out) = 0;

protected:
    ~ICalcEnumClass2() = default;
};

// The names, aliases, parameters and source kinds of a calculation with numeric parameters.
struct ICalcNumericParamsFuncClass : IUnknown {
    virtual HRESULT GetAliasCount(LONG* count) = 0;                       // 3
    virtual HRESULT GetAlias(LONG index, IKVOString** alias) = 0;         // 4
    virtual HRESULT GetInfo(IKVOString** name, DWORD* id, LONG* paramCount, LONG* sourceCount, DWORD* kind1,
                            DWORD* kind2) = 0;                            // 5
    virtual HRESULT GetParam(LONG index, double* maximum, double* minimum, DWORD* kind,
                             IKVOString** name) = 0;                      // 6
    // 7: S_OK when source `index` accepts a kind in `mask`, S_FALSE when not, E_INVALIDARG for no such source.
    virtual HRESULT TestSourceKind(LONG index, DWORD mask) = 0;

protected:
    ~ICalcNumericParamsFuncClass() = default;
};
