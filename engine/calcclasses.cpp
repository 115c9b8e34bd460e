#include "engine/calcclasses.h"

#include "engine/eeh3enumerator.h"

#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "frame/typeid.h"

#include <cstring>

namespace CalcEnums {

namespace {

IKVOString* NewText(const char16_t* text) { return KVO::String(text).GetInterface(); }

} // namespace

CalcEnumNumericParamsClass::CalcEnumNumericParamsClass(ClassDescriptor& descriptor, const ParamDescriptor& params)
    : descriptor_(descriptor), params_(params)
{
    // The module's own reference: a static class object is never deleted by a Release.
    InternalAddRef();
}

HRESULT CalcEnumNumericParamsClass::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICAFClassObject || iid == IID_ICalcEnumClass2) {
        *out = static_cast<ICalcEnumClass2*>(this);
    } else if (iid == IID_ICalcNumericParamsFuncClass) {
        *out = static_cast<ICalcNumericParamsFuncClass*>(this);
    } else {
        return E_NOINTERFACE;
    }
    InternalAddRef();
    return S_OK;
}

DWORD CalcEnumNumericParamsClass::Id()
{
    if (descriptor_.cachedId == 0) {
        const WORD hostId = CAF::RequestTypeId(*descriptor_.classId);
        if (hostId == 0) {
            return descriptor_.lowIdWord; // not kept: asked again next time
        }
        descriptor_.cachedId = (static_cast<DWORD>(hostId) << 16) | descriptor_.lowIdWord;
    }
    return descriptor_.cachedId;
}

HRESULT CalcEnumNumericParamsClass::GetId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *typeId = Id();
        return S_OK;
    });
}

HRESULT CalcEnumNumericParamsClass::GetCategory(const GUID** category)
{
    if (!category) {
        return E_POINTER;
    }
    *category = &kCalculationCategory;
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::GetName(BSTR* name)
{
    if (!name) {
        return S_OK;
    }
    if (*name) {
        SysFreeString(*name);
        *name = nullptr;
    }
    if (descriptor_.name && descriptor_.name[0] != 0) {
        *name = SysAllocString(descriptor_.name);
    }
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::IsCategory(const GUID* category)
{
    if (!category) {
        return S_FALSE;
    }
    return category == &kCalculationCategory || *category == kCalculationCategory ? S_OK : S_FALSE;
}

HRESULT CalcEnumNumericParamsClass::GetNameString(IKVOString** name)
{
    if (!name) {
        return E_POINTER;
    }
    *name = nullptr;
    return KVO::GuardSlot([&] {
        *name = NewText(descriptor_.name);
        return S_OK;
    });
}

HRESULT CalcEnumNumericParamsClass::GetDescription(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    return KVO::GuardSlot([&] {
        *text = NewText(descriptor_.description);
        return S_OK;
    });
}

HRESULT CalcEnumNumericParamsClass::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = descriptor_.flags;
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::CreateBound(IUnknown*, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

// The enumerators come from the engine's family of the calculation; a calculation without one makes none yet.
HRESULT CalcEnumNumericParamsClass::CreateInstance(IUnknown* context, ICalcEnum** out)
{
    if (out) {
        *out = nullptr;
    }
    const EEH3::Creator create = EEH3::FindCreator(descriptor_.name);
    if (!create) {
        return E_NOTIMPL;
    }
    return create(this, context, nullptr, IID_ICalcEnum, reinterpret_cast<void**>(out));
}

HRESULT CalcEnumNumericParamsClass::CreateAggregated(IUnknown* outer, IUnknown* context, REFIID iid, IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    const EEH3::Creator create = EEH3::FindCreator(descriptor_.name);
    if (!create) {
        return E_NOTIMPL;
    }
    return create(this, context, outer, outer ? IID_IUnknown : iid, reinterpret_cast<void**>(out));
}

HRESULT CalcEnumNumericParamsClass::GetAliasCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = params_.aliasCount;
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::GetAlias(LONG index, IKVOString** alias)
{
    if (!alias) {
        return E_POINTER;
    }
    // Only indexes below the alias count name an alias; anything else would read past the list.
    if (index < 0 || index >= params_.aliasCount) {
        return E_INVALIDARG;
    }
    *alias = nullptr;
    return KVO::GuardSlot([&] {
        *alias = NewText(params_.aliases[index]);
        return S_OK;
    });
}

HRESULT CalcEnumNumericParamsClass::GetInfo(IKVOString** name, DWORD* id, LONG* paramCount, LONG* sourceCount,
                                            DWORD* kind1, DWORD* kind2)
{
    const HRESULT hr = KVO::GuardSlot([&] {
        if (id) {
            *id = Id();
        }
        if (name) {
            *name = NewText(descriptor_.name);
        }
        return S_OK;
    });
    if (FAILED(hr)) {
        return hr;
    }
    if (paramCount) {
        *paramCount = params_.paramCount;
    }
    if (sourceCount) {
        *sourceCount = params_.sourceCount;
    }
    if (kind1) {
        *kind1 = params_.kind1;
    }
    if (kind2) {
        *kind2 = params_.kind2;
    }
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::GetParam(LONG index, double* maximum, double* minimum, DWORD* kind,
                                             IKVOString** name)
{
    if (index < 0 || index >= params_.paramCount) {
        return E_INVALIDARG;
    }
    if (name) {
        *name = nullptr;
        const HRESULT hr = KVO::GuardSlot([&] {
            *name = NewText(params_.names[index]);
            return S_OK;
        });
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (maximum) {
        *maximum = params_.ranges[2 * index + 1];
    }
    if (minimum) {
        *minimum = params_.ranges[2 * index];
    }
    if (kind) {
        switch (params_.rule) {
        case KindRule::SampleThenEvents:
            *kind = index == 0 ? CalcKind::kSampleSource : CalcKind::kEventSource;
            break;
        case KindRule::EventsOnly:
            *kind = CalcKind::kEventSource;
            break;
        case KindRule::None:
            *kind = 0;
            break;
        }
    }
    return S_OK;
}

HRESULT CalcEnumNumericParamsClass::TestSourceKind(LONG index, DWORD mask)
{
    switch (params_.rule) {
    case KindRule::SampleThenEvents:
        // Source 1 exists only for the calculations with an event source beside their samples.
        if (index < 0 || index > 1 || index >= params_.sourceCount) {
            return E_INVALIDARG;
        }
        return (mask & (index == 0 ? CalcKind::kSampleSource : CalcKind::kEventSource)) ? S_OK : S_FALSE;
    case KindRule::EventsOnly:
        if (index != 0) {
            return E_INVALIDARG;
        }
        return (mask & CalcKind::kEventSource) ? S_OK : S_FALSE;
    case KindRule::None:
        break;
    }
    return E_INVALIDARG;
}

namespace {

constexpr DWORD kSampleFirst = CalcKind::kSampleSource | CalcKind::kLeadingCount; // 0xA0000000
constexpr DWORD kEvents = CalcKind::kEventSource;

#define CX_LIMIT_NAMES u"LimitStart Record", u"LimitStart Tick", u"LimitEnd Record", u"LimitEnd Tick"
#define CX_LIMIT_RANGES -1, kMax, -1, kMax, -1, kMax, -1, kMax

// Class identifiers, one per calculation.
constexpr GUID kCacheSelectorId{0x6D21DD81, 0xF5A8, 0x417A, {0xB4, 0x08, 0xD9, 0x2B, 0xA8, 0x11, 0xB7, 0x0B}};
constexpr GUID kPSCacheSelectorId{0xEA4E23A2, 0x63AE, 0x4727, {0xB3, 0xC4, 0x7C, 0xCB, 0xBB, 0xDC, 0xBC, 0xCA}};
constexpr GUID kCalcAMaxId{0xB8880791, 0xD10A, 0x4B86, {0xB7, 0xA9, 0x2C, 0x62, 0x4C, 0x1D, 0x74, 0x87}};
constexpr GUID kCalcBaseId{0x4B565B93, 0xC527, 0x417E, {0xA2, 0x64, 0x27, 0x01, 0x2F, 0x3F, 0x65, 0xF4}};
constexpr GUID kCalcBase2Id{0xAFA3420E, 0x3991, 0x4BED, {0xB4, 0xA2, 0x60, 0xB6, 0x6B, 0x31, 0xB4, 0xF8}};
constexpr GUID kCalcBulkId{0x312A0C3A, 0x1F93, 0x45D3, {0xA7, 0xC1, 0x67, 0x64, 0x50, 0x8D, 0x4C, 0x87}};
constexpr GUID kCAPPeakDetId{0xD49A2748, 0xB975, 0x42EA, {0x86, 0x3B, 0x71, 0x01, 0xDF, 0x13, 0x16, 0x95}};
constexpr GUID kCAPPWFId{0xF837F7EF, 0xA270, 0x49D7, {0x8A, 0x22, 0xE1, 0x0C, 0x98, 0x1F, 0x0A, 0xBC}};
constexpr GUID kPeakCycConvertId{0x1AE07643, 0x00BE, 0x4830, {0x92, 0xAE, 0xD3, 0xBB, 0x67, 0x1F, 0x23, 0xD2}};
constexpr GUID kERPeakDetId{0xAF6115D7, 0x2D71, 0x4BCE, {0x8B, 0xE9, 0xEA, 0xAF, 0x0E, 0xD7, 0xCF, 0x45}};
constexpr GUID kERStimDetId{0xB1278CA1, 0x6995, 0x4C40, {0x80, 0x46, 0x12, 0x23, 0x53, 0xC1, 0xBA, 0x8B}};
constexpr GUID kERStimSOBId{0x2626AA98, 0xFEFD, 0x49C4, {0x88, 0x7C, 0x1D, 0xCF, 0x2E, 0xA9, 0x6F, 0xB0}};
constexpr GUID kPSCalcBaseId{0x109B47AC, 0x714A, 0x4125, {0x9E, 0x78, 0x70, 0x1D, 0x17, 0xF1, 0xDD, 0x7A}};
constexpr GUID kPSPeakDetId{0xB877926F, 0xBF97, 0x4616, {0x91, 0x4C, 0x39, 0xAD, 0x5C, 0xAD, 0xCC, 0x93}};
constexpr GUID kSelectorId{0x1D128B58, 0xF409, 0x4E53, {0x99, 0x75, 0x20, 0x0E, 0xE0, 0x00, 0x16, 0x7A}};

// CacheSelector and PSCacheSelector
constexpr const char16_t* kCacheSelectorNames[] = {u"Analysis Type", u"Calc Index", u"Convert factor", u"PNEND"};
constexpr double kCacheSelectorRanges[] = {0, 6, 0, 59, 0, kMax};
constexpr const char16_t* kCacheSelectorAliases[] = {u"CXCacheSelector", u"ALEND"};
constexpr const char16_t* kPSCacheSelectorAliases[] = {u"CXPSCacheSelector", u"ALEND"};

// CalcAMax
constexpr const char16_t* kCalcAMaxNames[] = {u"Tick Source", u"Event BaseCalc Source", u"Start Height Percent",
                                              u"Reposition Event", u"End Height Percent", CX_LIMIT_NAMES, u"PNEND"};
constexpr double kCalcAMaxRanges[] = {0, 0, 0, 0, -1, 100, 0, 1, -1, 100, CX_LIMIT_RANGES};
constexpr const char16_t* kCalcAMaxAliases[] = {u"CXCalcAMax", u"ALEND"};

// CalcBase
constexpr const char16_t* kCalcBaseNames[] = {u"Tick Source",
                                              u"Event Source",
                                              u"Max Baseline Length (ms)",
                                              u"Noise Tolerance (percentage of height)",
                                              u"Search Start ms after Stimulus",
                                              u"Search End ms after Stimulus",
                                              u"Baseline Mode",
                                              u"Baseline Value",
                                              CX_LIMIT_NAMES,
                                              u"PNEND"};
constexpr double kCalcBaseRanges[] = {0, 0, 0, 0, -1, kMax, -1, 100, -1, kMax, -1, kMax, 0, 2, kMin, kMax,
                                      CX_LIMIT_RANGES};
constexpr const char16_t* kCalcBaseAliases[] = {u"CXBaseCalc", u"ALEND"};

// CalcBase2
constexpr const char16_t* kCalcBase2Names[] = {u"Tick Source",     u"Event BaseCalc Source", u"Mid PLT Percent",
                                               u"Tau Start",       u"Tau End",               u"Plateau Center Percent",
                                               CX_LIMIT_NAMES,     u"PNEND"};
constexpr double kCalcBase2Ranges[] = {0, 0, 0, 0, -1, 100, -1, 100, -1, 100, -1, 100, CX_LIMIT_RANGES};
constexpr const char16_t* kCalcBase2Aliases[] = {u"CXBaseCalc2", u"ALEND"};

// CalcBulk
constexpr const char16_t* kCalcBulkNames[] = {u"Tick Source",
                                              u"Calc Base Event Source",
                                              u"Analysis Type",
                                              u"Area Start ms",
                                              u"Area End ms",
                                              u"Tau Mode",
                                              u"Tau Fixed Value",
                                              u"Rise start percent",
                                              u"Rise end percent",
                                              u"Triangulation Start percent",
                                              u"Triangulation End percent",
                                              u"Plateau Width ms",
                                              u"PLT Width ms",
                                              u"Slope Start ms",
                                              u"Slope End ms",
                                              u"Value ms",
                                              u"MaxNegSlope Start ms",
                                              u"MaxNegSlope Smooth ms",
                                              CX_LIMIT_NAMES,
                                              u"PNEND"};
constexpr double kCalcBulkRanges[] = {0,  0,    0,  0,    -1, 10,   -1, kMax,    -1, kMax, 0,  2,
                                      kMin, kMax, -1, 100,  -1, 100,  -1, 100,     -1, 100,  -1, kMax,
                                      -1, kMax, -1, kMax, -1, kMax, -1, kMax,    -1, 1000000, -1, 100,
                                      CX_LIMIT_RANGES};
constexpr const char16_t* kCalcBulkAliases[] = {u"CXBulkCalc", u"ALEND"};

// CAPPeakDet
constexpr const char16_t* kCAPPeakDetNames[] = {u"Tick Source", u"Min Height", u"Min Width", CX_LIMIT_NAMES,
                                                u"PNEND"};
constexpr double kCAPPeakDetRanges[] = {0, 0, -1, kMax, -1, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kCAPPeakDetAliases[] = {u"CAPPeak", u"ALEND"};

// CAPPWF
constexpr const char16_t* kCAPPWFNames[] = {u"Tick Source", u"Event Source", u"Min Width at Half Height",
                                            CX_LIMIT_NAMES, u"PNEND"};
constexpr double kCAPPWFRanges[] = {0, 0, 0, 0, -1, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kCAPPWFAliases[] = {u"CXCAPPWF", u"ALEND"};

// PeakCycConvert
constexpr const char16_t* kPeakCycConvertNames[] = {u"Tick Source for max", u"Event Source", CX_LIMIT_NAMES,
                                                    u"PNEND"};
constexpr double kPeakCycConvertRanges[] = {0, 0, 0, 0, CX_LIMIT_RANGES};
constexpr const char16_t* kPeakCycConvertAliases[] = {u"LMConvert", u"PCC", u"ALEND"};

// ERPeakDet
constexpr const char16_t* kERPeakDetNames[] = {u"Tick Source",
                                               u"Stimulus Event Source",
                                               u"Height",
                                               u"Search Start ms after Stimulus",
                                               u"Search End ms after Stimulus",
                                               CX_LIMIT_NAMES,
                                               u"PNEND"};
constexpr double kERPeakDetRanges[] = {0, 0, 0, 0, 0, kMax, -1, kMax, -1, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kERPeakDetAliases[] = {u"ERPeak", u"ALEND"};

// ERStimDet
constexpr const char16_t* kERStimDetNames[] = {u"Source",     u"Height",         u"Width ms",
                                               u"Skip ms",    u"Min Gap ms",     u"OneStimPerBlock_0_or_1",
                                               CX_LIMIT_NAMES, u"PNEND"};
constexpr double kERStimDetRanges[] = {0, 0, -1, kMax, -1, kMax, -1, kMax, -1, kMax, -1, 1, CX_LIMIT_RANGES};
constexpr const char16_t* kERStimDetAliases[] = {u"ERStimulated", u"ALEND"};

// ERStimSOB
constexpr const char16_t* kERStimSOBNames[] = {u"Position_ms", CX_LIMIT_NAMES, u"PNEND"};
constexpr double kERStimSOBRanges[] = {0, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kERStimSOBAliases[] = {u"CXSOB", u"ALEND"};

// PSCalcBase
constexpr const char16_t* kPSCalcBaseNames[] = {u"Tick Source",   u"Stimulus Event Source", u"Slope Start ms",
                                                u"Slope End ms",  u"Value At ms",           CX_LIMIT_NAMES,
                                                u"PNEND"};
constexpr double kPSCalcBaseRanges[] = {0, 0, 0, 0, -1, kMax, -1, kMax, -1, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kPSCalcBaseAliases[] = {u"PSCalc", u"ALEND"};

// PSPeakDet
constexpr const char16_t* kPSPeakDetNames[] = {u"Tick Source", u"Stimulus Event Source", u"Search Start ms",
                                               u"Search End ms", CX_LIMIT_NAMES, u"PNEND"};
constexpr double kPSPeakDetRanges[] = {0, 0, 0, 0, -1, kMax, -1, kMax, CX_LIMIT_RANGES};
constexpr const char16_t* kPSPeakDetAliases[] = {u"PSPeak", u"ALEND"};

// Selector
constexpr const char16_t* kSelectorNames[] = {u"Event Source", u"Calc Index", u"PNEND"};
constexpr double kSelectorRanges[] = {0, 0, 0, 59};
constexpr const char16_t* kSelectorAliases[] = {u"CXSelector", u"ALEND"};

#undef CX_LIMIT_NAMES
#undef CX_LIMIT_RANGES

constexpr const char16_t* kPeaksText = u"Detects Evoked Response Peaks";
constexpr const char16_t* kSelectText = u"Select which CX calc to output";

// One calculation: its descriptors and its class object, built in this order.
struct Calculation {
    ClassDescriptor descriptor;
    ParamDescriptor params;
    CalcEnumNumericParamsClass object{descriptor, params};
};

template <std::size_t N, std::size_t R>
constexpr ParamDescriptor Describe(const char16_t* const (&names)[N], const double (&ranges)[R],
                                   const char16_t* const* aliases, LONG aliasCount, LONG sources, DWORD kind1,
                                   KindRule rule)
{
    static_assert(R == 2 * (N - 1), "one range per parameter name");
    return {names, ranges, aliases, aliasCount, static_cast<LONG>(N - 1), sources, kind1, kEvents, rule};
}

// The static initialisers run in definition order; each object pushes itself at the head of the list.
Calculation cacheSelector{{u"CacheSelector", kSelectText, 0, &kCacheSelectorId, 0, 0},
                          Describe(kCacheSelectorNames, kCacheSelectorRanges, kCacheSelectorAliases, 1, 0, 0,
                                   KindRule::None)};
Calculation psCacheSelector{
    {u"PSCacheSelector", u"Select which CX calc to output, Population Spike version", 0, &kPSCacheSelectorId, 0, 0},
    Describe(kCacheSelectorNames, kCacheSelectorRanges, kPSCacheSelectorAliases, 1, 0, 0, KindRule::None)};
Calculation calcAMax{{u"CalcAMax", kPeaksText, 0, &kCalcAMaxId, 0, 0},
                     Describe(kCalcAMaxNames, kCalcAMaxRanges, kCalcAMaxAliases, 1, 2, kSampleFirst,
                              KindRule::SampleThenEvents)};
Calculation calcBase{{u"CalcBase", kPeaksText, 0, &kCalcBaseId, 0, 0},
                     Describe(kCalcBaseNames, kCalcBaseRanges, kCalcBaseAliases, 1, 2, kSampleFirst,
                              KindRule::SampleThenEvents)};
Calculation calcBase2{{u"CalcBase2", kPeaksText, 0, &kCalcBase2Id, 0, 0},
                      Describe(kCalcBase2Names, kCalcBase2Ranges, kCalcBase2Aliases, 1, 2, kSampleFirst,
                               KindRule::SampleThenEvents)};
Calculation calcBulk{{u"CalcBulk", kPeaksText, 0, &kCalcBulkId, 0, 0},
                     Describe(kCalcBulkNames, kCalcBulkRanges, kCalcBulkAliases, 1, 2, kSampleFirst,
                              KindRule::SampleThenEvents)};
Calculation capPeakDet{{u"CAPPeakDet", u"Detects Cardiac Action Potential Peaks", 0, &kCAPPeakDetId, 0, 0},
                       Describe(kCAPPeakDetNames, kCAPPeakDetRanges, kCAPPeakDetAliases, 1, 1, kSampleFirst,
                                KindRule::SampleThenEvents)};
Calculation cappwf{{u"CAPPWF", u"Filters Cardiac Action Potential peaks by FWHH", 0, &kCAPPWFId, 0, 0},
                   Describe(kCAPPWFNames, kCAPPWFRanges, kCAPPWFAliases, 1, 2, kSampleFirst,
                            KindRule::SampleThenEvents)};
Calculation peakCycConvert{{u"PeakCycConvert", u"LM to CX Event Conversion", 0, &kPeakCycConvertId, 0, 0},
                           Describe(kPeakCycConvertNames, kPeakCycConvertRanges, kPeakCycConvertAliases, 2, 2, 0,
                                    KindRule::SampleThenEvents)};
Calculation erPeakDet{{u"ERPeakDet", kPeaksText, 0, &kERPeakDetId, 0, 0},
                      Describe(kERPeakDetNames, kERPeakDetRanges, kERPeakDetAliases, 1, 2, kSampleFirst,
                               KindRule::SampleThenEvents)};
Calculation erStimDet{{u"ERStimDet", u"Detects Evoked Response Stimuli", 0, &kERStimDetId, 0, 0},
                      Describe(kERStimDetNames, kERStimDetRanges, kERStimDetAliases, 1, 1, kSampleFirst,
                               KindRule::SampleThenEvents)};
Calculation erStimSOB{{u"ERStimSOB", u"Detects Evoked Response Stimuli", 0, &kERStimSOBId, 0, 0},
                      Describe(kERStimSOBNames, kERStimSOBRanges, kERStimSOBAliases, 1, 0, 0, KindRule::None)};
Calculation psCalcBase{{u"PSCalcBase", u"Calculates Baseline etc for Population Spike mode", 0, &kPSCalcBaseId, 0, 0},
                       Describe(kPSCalcBaseNames, kPSCalcBaseRanges, kPSCalcBaseAliases, 1, 2, kSampleFirst,
                                KindRule::SampleThenEvents)};
Calculation psPeakDet{{u"PSPeakDet", u"Detects Population Spike Responses", 0, &kPSPeakDetId, 0, 0},
                      Describe(kPSPeakDetNames, kPSPeakDetRanges, kPSPeakDetAliases, 1, 2, kSampleFirst,
                               KindRule::SampleThenEvents)};
Calculation selector{{u"Selector", kSelectText, 0, &kSelectorId, 0, 0},
                     Describe(kSelectorNames, kSelectorRanges, kSelectorAliases, 1, 1, 0, KindRule::EventsOnly)};

} // namespace

} // namespace CalcEnums
