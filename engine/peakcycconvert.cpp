#include "engine/peakcycconvert.h"

#include "foundation/kvostring.h"
#include "foundation/stringstream.h"
#include "foundation/xkvo.h"
#include "frame/typeid.h"

#include <algorithm>
#include <locale>
#include <sstream>

namespace CX::Enum::LMConvert {

namespace {
constexpr ULONG kRecordBytes = sizeof(EventPkStm);
const EEH3::FamilyRegistration registration(u"PeakCycConvert", &CalcEnums::CreateEnumerator<Enum>);
constexpr DWORD kParsedFlags = 0x40000000;
constexpr DWORD kCapabilities = 0x10008000;
constexpr LONG kIncomingSize = static_cast<LONG>(sizeof(KVOEventBase));
} // namespace

Enum::Enum(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
    : CalcEnumEventBase(classObject, context, outer)
{
    params_.limitStartTick = params_.limitStartRecord = params_.limitEndTick = params_.limitEndRecord = -1;
}

Enum::~Enum()
{
    ReleaseSources();
    Drop(units_[0]);
    Drop(units_[1]);
}

void Enum::Drop(IUnknown*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

HRESULT Enum::Parse(IKVOString* text, DWORD* flags)
{
    return KVO::GuardSlot([&] {
        params_.ResetLimits();
        std::wistringstream in = ParameterStream(text);
        params_.Read(in);
        finished_ = false;
        if (flags) {
            *flags = kParsedFlags;
        }
        return S_OK;
    });
}

HRESULT Enum::Write(IKVOString** text) { return WriteParameters(params_, text); }

Enum* Enum::Copy() const
{
    // A fresh enumerator with the same limits; sources are set anew for it.
    auto* copy = new (std::nothrow) Enum(ClassObjectPtr(), Context(), nullptr);
    if (copy) {
        copy->params_.limitStartTick = params_.limitStartTick;
        copy->params_.limitStartRecord = params_.limitStartRecord;
        copy->params_.limitEndTick = params_.limitEndTick;
        copy->params_.limitEndRecord = params_.limitEndRecord;
    }
    return copy;
}

Enum* Enum::CopyWithSources() const
{
    Enum* copy = Copy();
    if (!copy) {
        return nullptr;
    }
    copy->events_ = events_;
    if (events_) {
        events_->AddRef();
    }
    copy->eventSize_ = eventSize_;
    copy->samples_ = samples_; // one reader shared through its owner
    copy->record_ = record_;
    copy->finished_ = finished_;
    copy->tickPeriod_ = tickPeriod_;
    for (int i = 0; i < 2; ++i) {
        copy->units_[i] = units_[i];
        if (units_[i]) {
            units_[i]->AddRef();
        }
    }
    return copy;
}

HRESULT Enum::SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod, LONG)
{
    if (count > 0 && !sources) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        record_ = block;
        finished_ = block > params_.limitEndRecord;
        ReleaseSources();
        HRESULT result = S_OK;
        if (count > 1 && sources[1] &&
            SUCCEEDED(sources[1]->QueryInterface(IID_IEnumEventEx, reinterpret_cast<void**>(&events_)))) {
            LONG size = 0;
            if (FAILED(events_->GetEventSize(&size)) || size < kIncomingSize) {
                // Too small to hold tick, offset and value: refused.
                events_->Release();
                events_ = nullptr;
                result = E_INVALIDARG;
            } else {
                eventSize_ = size;
            }
        }
        tickPeriod_ = tickPeriod;
        for (int i = 0; i < 2; ++i) {
            Drop(units_[i]);
            if (units && i < count && units[i]) {
                units_[i] = units[i];
                units_[i]->AddRef();
            }
        }
        if (count > 0) {
            samples_ = boost::shared_ptr<EEH3::FloatExWrapper>(new EEH3::FloatExWrapper(sources[0]));
        }
        // Both sources are read tick for tick.
        for (LONG i = 0; i < std::min<LONG>(count, 2); ++i) {
            ITimeBaseSetter* setter = nullptr;
            if (sources[i] &&
                SUCCEEDED(sources[i]->QueryInterface(IID_ITimeBaseSetter, reinterpret_cast<void**>(&setter))) &&
                setter) {
                setter->SetTimeBase(1, 1, 0.0);
                setter->Release();
            }
        }
        return result;
    });
}

HRESULT Enum::SeekStart(LONG tick)
{
    if (!events_) {
        return E_FAIL;
    }
    return KVO::GuardSlot([&] {
        HRESULT hr = S_OK;
        ICalcEnum* calculation = nullptr;
        if (SUCCEEDED(events_->QueryInterface(IID_ICalcEnum, reinterpret_cast<void**>(&calculation)))) {
            hr = calculation->SeekStart(tick);
            calculation->Release();
        } else {
            // A stored event channel: its cursor moves to the first event at or after the tick.
            events_->Find(0, tick, 0, EEH3::kEndTick);
            hr = S_OK;
        }
        if (samples_) {
            samples_->Seek(tick);
        }
        return hr;
    });
}

HRESULT Enum::ReleaseSources()
{
    if (events_) {
        events_->Release();
        events_ = nullptr;
    }
    eventSize_ = 0;
    samples_.reset();
    return S_OK;
}

HRESULT Enum::Notify1(DWORD, DWORD) { return S_OK; }

HRESULT Enum::Notify2(DWORD, DWORD) { return S_OK; }

HRESULT Enum::GetTickPeriod(double* period, IKVOString** text)
{
    return KVO::GuardSlot([&] {
        if (period) {
            *period = tickPeriod_;
        }
        if (text) {
            // The unit text of the event source when it has one.
            *text = nullptr;
            if (!units_[1] || FAILED(units_[1]->QueryInterface(IID_IKVOString, reinterpret_cast<void**>(text)))) {
                *text = GetText();
            }
        }
        return S_OK;
    });
}

HRESULT Enum::GetCapabilities(DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = kCapabilities;
    return S_OK;
}

HRESULT Enum::GetSourceTimeBase(SourceTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    if (!events_) {
        return E_FAIL;
    }
    return events_->GetSourceTimeBase(out);
}

HRESULT Enum::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    if (!events_) {
        *nextPosition = EEH3::kEndTick;
        return E_FAIL;
    }
    if (finished_) {
        *nextPosition = EEH3::kEndTick;
        return S_FALSE;
    }
    const ULONG capacity = bufferBytes / kRecordBytes;
    if (capacity > 0 && !buffer) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        const LONG bound = endTick < 0 ? EEH3::kEndTick : endTick;
        const auto size = static_cast<std::size_t>(eventSize_);
        scratch_.resize((capacity * size + 7) / 8);
        const auto* incoming = reinterpret_cast<const std::byte*>(scratch_.data());
        auto* output = static_cast<std::byte*>(buffer);
        LONG next = 0;
        events_->GetPosition(&next);
        ULONG delivered = 0;
        bool dry = false;
        HRESULT inner = S_OK;
        while (inner == S_OK && next < bound && delivered < capacity) {
            const auto asked = static_cast<ULONG>((capacity - delivered) * size);
            LONG n = 0;
            inner = events_->Next(asked, endTick, scratch_.data(), &n, &next);
            n = std::clamp<LONG>(SUCCEEDED(inner) ? n : 0, 0, static_cast<LONG>(capacity - delivered));
            dry = inner == S_OK && next < bound && static_cast<std::size_t>(n) * size < asked;
            for (LONG i = 0; i < n; ++i) {
                KVOEventBase e;
                std::memcpy(&e, incoming + static_cast<std::size_t>(i) * size, sizeof e);
                const LONG r = record_;
                const bool beforeStart = r < params_.limitStartRecord ||
                                         (r == params_.limitStartRecord && e.tick < params_.limitStartTick);
                const bool pastEnd = r > params_.limitEndRecord ||
                                     (r == params_.limitEndRecord && e.tick >= params_.limitEndTick);
                if (beforeStart || pastEnd) {
                    finished_ = r >= params_.limitEndRecord && e.tick >= params_.limitEndTick;
                    continue;
                }
                if (!IsFiniteValue(e.value)) {
                    continue;
                }
                double sample = -1.0;
                if (samples_) {
                    samples_->Seek(e.tick);
                    if (samples_->Fetch()) {
                        sample = samples_->Value();
                    }
                }
                EventPkStm peak;
                peak.SetPosition(static_cast<double>(e.tick) + e.offset);
                peak.value = sample;
                peak.kind = kKindPeak;
                std::memcpy(output + delivered * kRecordBytes, &peak, sizeof peak);
                ++delivered;
            }
            if (dry) {
                break;
            }
        }
        *count = static_cast<LONG>(delivered);
        if (finished_) {
            *nextPosition = EEH3::kEndTick;
            return S_FALSE;
        }
        *nextPosition = next;
        if (FAILED(inner)) {
            return inner;
        }
        return delivered == capacity || next == endTick || dry ? S_OK : S_FALSE;
    });
}

HRESULT Enum::Find(LONG direction, LONG from, LONG low, LONG high)
{
    if (!events_) {
        return E_FAIL;
    }
    finished_ = false;
    return events_->Find(direction, from, low, high);
}

HRESULT Enum::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    if (!events_) {
        *tick = EEH3::kEndTick;
        return S_OK;
    }
    if (finished_) {
        *tick = EEH3::kEndTick;
        return S_OK;
    }
    return events_->GetPosition(tick);
}

HRESULT Enum::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    // null when there is no memory for it
    *out = Aggregated() ? CopyWithSources() : Copy();
    return S_OK;
}

HRESULT Enum::Clone(IEnumEventEx** out)
{
    if (!out) {
        return E_POINTER;
    }
    Enum* copy = Copy();
    *out = copy ? static_cast<IEnumEventEx*>(static_cast<CalcEnumEventBase*>(copy)) : nullptr;
    return S_OK;
}

HRESULT Enum::GetEventSize(LONG* bytes)
{
    if (!bytes) {
        return E_POINTER;
    }
    *bytes = static_cast<LONG>(kRecordBytes);
    return S_OK;
}

HRESULT Enum::GetDrawType(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = TypeIdClass<&CX::CXEventDrawGUID, 3>::Get();
    return S_OK;
}

} // namespace CX::Enum::LMConvert
