#include "engine/selectors.h"

#include "engine/calcbulk.h"
#include "engine/eeh3enumerator.h"
#include "engine/pscalc.h"
#include "foundation/kvostring.h"
#include "foundation/stringstream.h"
#include "foundation/xkvo.h"

#include <cmath>
#include <cstring>
#include <locale>
#include <new>
#include <sstream>

namespace CalcEnums {

namespace {

constexpr DWORD kParsedFlags = 0x40000000;
constexpr DWORD kCapabilities = 0x10000000;
constexpr LONG kEventSize = sizeof(KVOEventBase);

// trunc(x + 0.5) as an int32, saturated; NaN gives 0.
LONG Rounded(double x)
{
    if (std::isnan(x)) {
        return 0;
    }
    return static_cast<LONG>(std::clamp(std::trunc(x + 0.5), -2147483648.0, 2147483647.0));
}

// A classic-locale stream over a parameter text.
std::wistringstream OpenText(IKVOString* text)
{
    KVO::String copy;
    copy.AssignInterface(text);
    std::wistringstream in(KVO::ToWide(copy.View()));
    in.imbue(std::locale::classic());
    return in;
}

template <class Write>
HRESULT WriteText(IKVOString** text, Write write)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    return KVO::GuardSlot([&] {
        KVO::Automation::ClassicOStringStream out;
        write(out);
        *text = out.GetRep();
        return S_OK;
    });
}

using StandardCacheSelector = CX::Enum::CacheSelector::GenericCacheSelector<CX::Enum::CacheSelector::StandardPolicy>;
using PSCacheSelector = CX::Enum::CacheSelector::GenericCacheSelector<CX::Enum::CacheSelector::PSPolicy>;

const EEH3::FamilyRegistration cacheSelector(u"CacheSelector", &CreateEnumerator<StandardCacheSelector>);
const EEH3::FamilyRegistration psCacheSelector(u"PSCacheSelector", &CreateEnumerator<PSCacheSelector>);
const EEH3::FamilyRegistration selector(u"Selector", &CreateEnumerator<CX::Enum::Selector>);

} // namespace

// ---- SelectorBase ----

HRESULT SelectorBase::Notify1(DWORD, DWORD) { return E_NOTIMPL; }

HRESULT SelectorBase::Notify2(DWORD, DWORD) { return E_NOTIMPL; }

HRESULT SelectorBase::GetTickPeriod(double* period, IKVOString** text)
{
    if (period) {
        *period = tickPeriod_;
    }
    if (text) {
        *text = nullptr;
    }
    return S_OK;
}

HRESULT SelectorBase::GetCapabilities(DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = kCapabilities;
    return S_OK;
}

HRESULT SelectorBase::GetSourceTimeBase(SourceTimeBase* out)
{
    if (out) {
        *out = {1, 1, 0};
    }
    return E_NOTIMPL;
}

HRESULT SelectorBase::GetEventSize(LONG* bytes)
{
    if (!bytes) {
        return E_POINTER;
    }
    *bytes = kEventSize;
    return S_OK;
}

KVOEventBase SelectorBase::ToEvent(const CX::Enum::EventFCalc& record, LONG code, double factor)
{
    const double x = record.tick + static_cast<double>(record.offset);
    KVOEventBase event;
    event.tick = Rounded(x);
    event.offset = static_cast<float>(x - event.tick);
    event.value = static_cast<double>(record.GetValueById(static_cast<std::uint32_t>(code))) * factor;
    return event;
}

// ---- CacheSelectorBase ----

HRESULT CacheSelectorBase::Parse(IKVOString* text, DWORD* flags)
{
    return KVO::GuardSlot([&] {
        std::wistringstream in = OpenText(text);
        double type = -1.0;
        double code = -1.0;
        double factor = -1.0;
        EEH3::ReadDouble(in, type);
        EEH3::ReadDouble(in, code);
        EEH3::ReadDouble(in, factor);
        analysisType_ = Rounded(type);
        code_ = Rounded(code);
        factor_ = factor;
        if (flags) {
            *flags = kParsedFlags;
        }
        return S_OK;
    });
}

HRESULT CacheSelectorBase::Write(IKVOString** text)
{
    return WriteText(text, [&](std::wostream& out) {
        EEH3::WriteDouble(out, analysisType_);
        EEH3::WriteDouble(out, code_);
        EEH3::WriteDouble(out, factor_);
    });
}

void CacheSelectorBase::CopyTo(CacheSelectorBase& copy) const
{
    copy.analysisType_ = analysisType_;
    copy.code_ = code_;
    copy.factor_ = factor_;
    copy.tickPeriod_ = tickPeriod_;
    copy.position_ = position_;
    copy.record_ = record_;
    copy.coordinator_ = coordinator_;
}

HRESULT CacheSelectorBase::SetSources(LONG block, LONG, IUnknown**, IUnknown**, double tickPeriod, LONG)
{
    return KVO::GuardSlot([&] {
        tickPeriod_ = tickPeriod;
        position_ = 0;
        record_ = Context() ? block : 0;
        coordinator_ = FindCoordinator(Context());
        return S_OK;
    });
}

HRESULT CacheSelectorBase::SeekStart(LONG tick)
{
    position_ = tick;
    return S_OK;
}

HRESULT CacheSelectorBase::ReleaseSources() { return S_OK; }

const EEH::RecordResults* CacheSelectorBase::Results(boost::shared_ptr<EEH::CacheListItem>& entry)
{
    if (!coordinator_) {
        return nullptr;
    }
    entry = coordinator_->CurrentEntry();
    return entry ? &entry->Results(record_) : nullptr;
}

HRESULT CacheSelectorBase::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    return KVO::GuardSlot([&] {
        const ULONG capacity = bufferBytes / kEventSize;
        if (capacity > 0 && !buffer) {
            return E_POINTER;
        }
        const LONG end = endTick < 0 ? kEndOfBlockTick : endTick;
        boost::shared_ptr<EEH::CacheListItem> entry; // keeps the entry alive while it is read
        const EEH::RecordResults* results = Results(entry);
        auto* events = static_cast<KVOEventBase*>(buffer);
        ULONG delivered = 0;
        while (delivered < capacity) {
            const CX::Enum::EventFCalc* found = results ? results->FindForward(position_) : nullptr;
            if (!found || found->tick >= end) {
                position_ = end;
                break;
            }
            // Every record before the end tick is delivered, the one at the end tick less one included.
            events[delivered++] = ToEvent(*found, code_, factor_);
            position_ = found->tick + 1;
        }
        *count = static_cast<LONG>(delivered);
        *nextPosition = position_;
        return position_ >= kEndOfBlockTick ? S_FALSE : S_OK;
    });
}

HRESULT CacheSelectorBase::Find(LONG direction, LONG from, LONG low, LONG high)
{
    return KVO::GuardSlot([&] {
        position_ = from;
        boost::shared_ptr<EEH::CacheListItem> entry;
        const EEH::RecordResults* results = Results(entry);
        if (direction != 1) {
            const CX::Enum::EventFCalc* found = results ? results->FindForward(position_) : nullptr;
            if (!found) {
                return S_FALSE;
            }
            position_ = found->tick;
            return found->tick >= high ? S_FALSE : S_OK;
        }
        const CX::Enum::EventFCalc* found = results ? results->FindBackward(position_) : nullptr;
        if (!found) {
            position_ = 0;
            return S_FALSE;
        }
        position_ = found->tick;
        return found->tick < low ? S_FALSE : S_OK;
    });
}

HRESULT CacheSelectorBase::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = position_;
    return S_OK;
}

HRESULT CacheSelectorBase::GetDrawType(DWORD* id)
{
    if (id) {
        *id = 0;
    }
    return E_NOTIMPL;
}

} // namespace CalcEnums

namespace CX::Enum::CacheSelector {

platform::ComPtr<EEH::SharedCacheCoordinatorBase> StandardPolicy::Find(IUnknown* host)
{
    return platform::ComPtr<EEH::SharedCacheCoordinatorBase>(
        EEH::SharedCacheCoordinator<CalcBulk::CBkAlgorithm>::FindOrCreate(host).Get());
}

platform::ComPtr<EEH::SharedCacheCoordinatorBase> PSPolicy::Find(IUnknown* host)
{
    return platform::ComPtr<EEH::SharedCacheCoordinatorBase>(
        EEH::SharedCacheCoordinator<PSCalc::Algorithm>::FindOrCreate(host).Get());
}

template <class Policy>
HRESULT GenericCacheSelector<Policy>::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        auto* copy = new (std::nothrow) GenericCacheSelector(ClassObjectPtr(), Context(), nullptr);
        if (copy) {
            CopyTo(*copy);
            *out = copy; // the creation reference
        }
        return S_OK;
    });
}

template class GenericCacheSelector<StandardPolicy>;
template class GenericCacheSelector<PSPolicy>;

} // namespace CX::Enum::CacheSelector

namespace CX::Enum {

Selector::~Selector()
{
    if (source_) {
        source_->Release();
    }
}

HRESULT Selector::Parse(IKVOString* text, DWORD* flags)
{
    return KVO::GuardSlot([&] {
        std::wistringstream in = CalcEnums::OpenText(text);
        double code = -1.0;
        EEH3::ReadDouble(in, code);
        code_ = CalcEnums::Rounded(code);
        if (flags) {
            *flags = CalcEnums::kParsedFlags;
        }
        return S_OK;
    });
}

HRESULT Selector::Write(IKVOString** text)
{
    return CalcEnums::WriteText(text, [&](std::wostream& out) { out << code_; });
}

HRESULT Selector::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        auto* copy = new (std::nothrow) Selector(ClassObjectPtr(), Context(), nullptr);
        if (copy) {
            copy->code_ = code_;
            *out = copy;
        }
        return S_OK;
    });
}

HRESULT Selector::SetSources(LONG, LONG count, IUnknown** sources, IUnknown**, double tickPeriod, LONG)
{
    return KVO::GuardSlot([&] {
        tickPeriod_ = tickPeriod;
        if (source_) {
            source_->Release();
            source_ = nullptr;
        }
        IEnumEventEx* events = nullptr;
        if (count < 1 || !sources || !sources[0] ||
            FAILED(sources[0]->QueryInterface(IID_IEnumEventEx, reinterpret_cast<void**>(&events))) || !events) {
            return E_FAIL;
        }
        // Only final records carry the parameters; their size is the stride of the reads.
        LONG size = 0;
        if (FAILED(events->GetEventSize(&size)) || size < static_cast<LONG>(sizeof(EventFCalc))) {
            events->Release();
            return E_FAIL;
        }
        source_ = events;
        sourceSize_ = size;
        return S_OK;
    });
}

HRESULT Selector::SeekStart(LONG tick)
{
    if (!source_) {
        return S_FALSE;
    }
    platform::ComPtr<ICalcEnum> calculation;
    if (FAILED(source_->QueryInterface(IID_ICalcEnum, calculation.OutVoid())) || !calculation) {
        return S_FALSE;
    }
    return calculation->SeekStart(tick);
}

HRESULT Selector::ReleaseSources()
{
    if (source_) {
        source_->Release();
        source_ = nullptr;
    }
    return S_OK;
}

HRESULT Selector::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    if (!source_) {
        *nextPosition = kEndOfBlockTick;
        return E_FAIL;
    }
    return KVO::GuardSlot([&] {
        const ULONG capacity = bufferBytes / sizeof(KVOEventBase);
        if (capacity > 0 && !buffer) {
            return E_POINTER;
        }
        const std::size_t bytes = capacity * static_cast<std::size_t>(sourceSize_);
        scratch_.resize((bytes + 7) / 8);
        LONG read = 0;
        const HRESULT hr = source_->Next(static_cast<ULONG>(bytes), endTick, scratch_.data(), &read, nextPosition);
        read = std::clamp<LONG>(read, 0, static_cast<LONG>(capacity));
        auto* events = static_cast<KVOEventBase*>(buffer);
        const auto* records = reinterpret_cast<const std::byte*>(scratch_.data());
        for (LONG i = 0; i < read; ++i) {
            EventFCalc record;
            std::memcpy(static_cast<void*>(&record), records + static_cast<std::size_t>(i) * sourceSize_,
                        sizeof record);
            events[i] = ToEvent(record, code_, 1.0);
        }
        *count = read;
        return hr;
    });
}

HRESULT Selector::Find(LONG direction, LONG from, LONG low, LONG high)
{
    return source_ ? source_->Find(direction, from, low, high) : E_FAIL;
}

HRESULT Selector::GetPosition(LONG* tick)
{
    if (!source_) {
        if (tick) {
            *tick = kEndOfBlockTick;
        }
        return E_FAIL;
    }
    return source_->GetPosition(tick);
}

HRESULT Selector::GetDrawType(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = 0;
    return S_OK;
}

} // namespace CX::Enum
