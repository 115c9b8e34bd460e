// The selectors: they turn one parameter of the final records into simple 16-byte events that the host shows as
// a channel. "CacheSelector" and "PSCacheSelector" read the records from the shared result cache of the host data
// they are created on (scaled by a conversion factor); "Selector" reads them from an event source.
#pragma once

#include "engine/calcenumbase.h"
#include "engine/eventrecords.h"
#include "engine/sharedcache.h"

#include <cstdint>
#include <vector>

namespace CalcEnums {

// The slots the selectors answer alike.
class SelectorBase : public CalcEnumEventBase {
public:
    HRESULT Notify1(DWORD a, DWORD b) override;
    HRESULT Notify2(DWORD a, DWORD b) override;
    HRESULT GetTickPeriod(double* period, IKVOString** text) override;
    HRESULT GetCapabilities(DWORD* out) override;
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override;
    HRESULT GetEventSize(LONG* bytes) override;

protected:
    using CalcEnumEventBase::CalcEnumEventBase;
    // The output event of a final record: at x = tick + offset, as tick trunc(x + 0.5) and the rest as offset,
    // with the record's value of the parameter code times the factor.
    static KVOEventBase ToEvent(const CX::Enum::EventFCalc& record, LONG code, double factor);

    double tickPeriod_ = 0.0;
};

// Reads the final records of the cache's current entry for the selector's record (block).
class CacheSelectorBase : public SelectorBase {
public:
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetDrawType(DWORD* id) override;

    EEH::SharedCacheCoordinatorBase* Coordinator() const { return coordinator_.Get(); }

protected:
    using SelectorBase::SelectorBase;
    // The coordinator of the selector's algorithm on the host data.
    virtual platform::ComPtr<EEH::SharedCacheCoordinatorBase> FindCoordinator(IUnknown* host) const = 0;
    void CopyTo(CacheSelectorBase& copy) const;

private:
    // The cached results of the selector's record, when there is a current entry.
    const EEH::RecordResults* Results(boost::shared_ptr<EEH::CacheListItem>& entry);

    LONG analysisType_ = 0;
    LONG code_ = 0;
    LONG position_ = 0;
    LONG record_ = 0;
    platform::ComPtr<EEH::SharedCacheCoordinatorBase> coordinator_;
    double factor_ = 1.0;
};

} // namespace CalcEnums

namespace CX::Enum::CacheSelector {

// The coordinators the two cache selectors read.
struct StandardPolicy {
    static platform::ComPtr<EEH::SharedCacheCoordinatorBase> Find(IUnknown* host);
};
struct PSPolicy {
    static platform::ComPtr<EEH::SharedCacheCoordinatorBase> Find(IUnknown* host);
};

template <class Policy>
class GenericCacheSelector final : public CalcEnums::CacheSelectorBase {
public:
    GenericCacheSelector(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
        : CacheSelectorBase(classObject, context, outer)
    {
    }
    HRESULT Clone(ICalcEnum** out) override;
    using CacheSelectorBase::Clone;

protected:
    platform::ComPtr<EEH::SharedCacheCoordinatorBase> FindCoordinator(IUnknown* host) const override
    {
        return Policy::Find(host);
    }
};

} // namespace CX::Enum::CacheSelector

namespace CX::Enum {

// Reads the final records from its event source (an inner calculation) and outputs one parameter of each.
class Selector final : public CalcEnums::SelectorBase {
public:
    Selector(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
        : SelectorBase(classObject, context, outer)
    {
    }

    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT Clone(ICalcEnum** out) override;
    using SelectorBase::Clone;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetDrawType(DWORD* id) override;

private:
    ~Selector() override;

    IEnumEventEx* source_ = nullptr; // one reference
    LONG sourceSize_ = 0;            // the source's event size
    LONG code_ = 0;
    std::vector<std::uint64_t> scratch_; // the source's records of one call
};

} // namespace CX::Enum
