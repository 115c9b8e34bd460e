// The event-draw classes: the host chart asks them the colour and the hover text of each event that the module's
// calculations output, by the draw-type id that the calculation reports.
#pragma once

#include "engine/eventrecords.h"
#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/prefixedunit.h"
#include "foundation/xkvo.h"
#include "frame/typeid.h"
#include "sdk/cafclassobject.h"
#include "sdk/eventdraw.h"

#include <cstring>

namespace CX::Enum {

// What a policy may ask about the event being hovered.
class HoverQuery {
public:
    HoverQuery(IUnknown* hostData, LONG record, double secondsPerTick)
        : hostData_(hostData), record_(record), secondsPerTick_(secondsPerTick)
    {
    }
    // The event's number in its block plus 1; 0 when the module's child data has no number for the tick.
    int EventNumber(std::int32_t tick) const;
    // The unit of the analysed source channel (the child data's) in the record, read from the host data object as
    // a data source; empty with no prefix when it cannot be read.
    KVO::PrefixedUnit SourceUnit() const;
    double SecondsPerTick() const { return secondsPerTick_; }

private:
    IUnknown* hostData_;
    LONG record_;
    double secondsPerTick_;
};

struct PkStmDetDrawPolicy {
    static COLORREF Colour(const EventPkStm& event);
    static KVO::String Text(const EventPkStm& event, const HoverQuery& query);
};

struct GeneralChartViewDrawPolicy {
    static COLORREF Colour(const EventFCalc& event);
    static KVO::String Text(const EventFCalc& event, const HoverQuery& query);
};

struct PSDrawPolicy {
    static COLORREF Colour(const EventPkStm& event) { return PkStmDetDrawPolicy::Colour(event); }
    static KVO::String Text(const EventPkStm& event, const HoverQuery& query);
};

struct GeneralPreviewDrawPolicy {
    static COLORREF Colour(const EventPkStm&) { return 0xC1D286; }
    static KVO::String Text(const EventPkStm&, const HoverQuery&) { return KVO::String(u"Preview Only"); }
};

struct NoDrawPolicy {
    static COLORREF Colour(const CXEvent&) { return 0x9B1DE3; }
    static KVO::String Text(const CXEvent&, const HoverQuery&) { return KVO::String(u"NO DRAW"); }
};

} // namespace CX::Enum

namespace ChartClient {

// One draw type: IPODEventDrawClass first, then ICAFClassObject (the interface registered with the framework),
// then the reference count. Created with a count of 0.
template <class Record, class TypeId, class Policy>
class TEventDrawClass final : public IPODEventDrawClass, public ICAFClassObject, public KVO::CComObjectRoot {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IPODEventDrawClass) {
            *out = static_cast<IPODEventDrawClass*>(this);
        } else if (iid == IID_ICAFClassObject) {
            *out = static_cast<ICAFClassObject*>(this);
        } else {
            return E_NOINTERFACE;
        }
        InternalAddRef();
        return S_OK;
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // IPODEventDrawClass
    HRESULT GetColour(WORD, const void* event, COLORREF* colour) override
    {
        if (!event) {
            return E_FAIL;
        }
        if (!colour) {
            return E_POINTER;
        }
        *colour = Policy::Colour(Read(event));
        return S_OK;
    }
    HRESULT GetHoverText(WORD, IUnknown* hostData, LONG record, const void* event, double secondsPerTick,
                         IKVOString** text) override
    {
        if (!event) {
            return E_FAIL;
        }
        if (!text) {
            return E_POINTER;
        }
        return KVO::GuardSlot([&] {
            *text = Policy::Text(Read(event), CX::Enum::HoverQuery(hostData, record, secondsPerTick)).GetInterface();
            return S_OK;
        });
    }

    // ICAFClassObject
    HRESULT GetId(DWORD* typeId) override
    {
        if (!typeId) {
            return E_POINTER;
        }
        return KVO::GuardSlot([&] {
            *typeId = TypeId::Get();
            return S_OK;
        });
    }
    HRESULT GetCategory(const GUID** category) override
    {
        if (!category) {
            return E_POINTER;
        }
        *category = nullptr;
        return S_OK;
    }
    HRESULT GetName(BSTR* name) override
    {
        if (!name) {
            return S_OK;
        }
        if (*name) {
            SysFreeString(*name);
            *name = nullptr;
        }
        *name = SysAllocString(u"PkStimEventDrawClass");
        return S_OK;
    }
    HRESULT IsCategory(const GUID*) override { return S_FALSE; }

private:
    // The host hands the raw bytes of one record of this draw type's record type.
    static Record Read(const void* event)
    {
        Record record;
        std::memcpy(static_cast<void*>(&record), event, sizeof(Record));
        return record;
    }
};

} // namespace ChartClient

namespace CX::Enum {

using PkStmDrawClass = ChartClient::TEventDrawClass<EventPkStm, TypeIdClass<&CXEventDrawGUID, 0>, PkStmDetDrawPolicy>;
using ChartViewDrawClass =
    ChartClient::TEventDrawClass<EventFCalc, TypeIdClass<&CXEventDrawGUID, 1>, GeneralChartViewDrawPolicy>;
using PSDrawClass = ChartClient::TEventDrawClass<EventPkStm, TypeIdClass<&CXEventDrawGUID, 2>, PSDrawPolicy>;
using PreviewDrawClass =
    ChartClient::TEventDrawClass<EventPkStm, TypeIdClass<&CXEventDrawGUID, 3>, GeneralPreviewDrawPolicy>;
using NoDrawClass = ChartClient::TEventDrawClass<CXEvent, TypeIdClass<&CXEventDrawGUID, 4>, NoDrawPolicy>;

// A new draw class of draw-type number n (0 to 4) with a count of 0, as its IPODEventDrawClass; null for other n.
IPODEventDrawClass* NewEventDrawClass(int n);

} // namespace CX::Enum
