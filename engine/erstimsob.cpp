#include "engine/erstimsob.h"

#include "foundation/kvostring.h"
#include "foundation/stringstream.h"
#include "foundation/xkvo.h"
#include "frame/typeid.h"

#include <algorithm>
#include <locale>
#include <sstream>

namespace CX::Enum::ERStimSOB {

namespace {
constexpr ULONG kRecordBytes = sizeof(EventPkStm);
const EEH3::FamilyRegistration registration(u"ERStimSOB", &CalcEnums::CreateEnumerator<Enum>);
constexpr DWORD kParsedFlags = 0x40000000;
constexpr DWORD kCapabilities = 0x10000000;
} // namespace

void Params::ReadValues(std::wistream& in)
{
    positionMs = 0.0;
    EEH3::ReadDouble(in, positionMs);
}

void Params::WriteValues(std::wostream& out) const { EEH3::WriteDouble(out, positionMs); }

Enum::Enum(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
    : CalcEnumEventBase(classObject, context, outer)
{
    // No limits until the parameters are read.
    params_.limitStartTick = params_.limitStartRecord = params_.limitEndTick = params_.limitEndRecord = -1;
}

HRESULT Enum::Parse(IKVOString* text, DWORD* flags)
{
    return KVO::GuardSlot([&] {
        params_.ResetLimits();
        std::wistringstream in = ParameterStream(text);
        params_.Read(in); // no leading integer: Position_ms comes first
        cursor_ = -1;
        if (flags) {
            *flags = kParsedFlags;
        }
        return S_OK;
    });
}

HRESULT Enum::Write(IKVOString** text) { return WriteParameters(params_, text); }

Enum* Enum::Copy() const
{
    auto* copy = new (std::nothrow) Enum(ClassObjectPtr(), Context(), nullptr);
    if (copy) {
        copy->cursor_ = cursor_;
        copy->stimulusTick_ = stimulusTick_;
        copy->params_.positionMs = params_.positionMs;
        copy->params_.limitStartTick = params_.limitStartTick;
        copy->params_.limitStartRecord = params_.limitStartRecord;
        copy->params_.limitEndTick = params_.limitEndTick;
        copy->params_.limitEndRecord = params_.limitEndRecord;
        copy->tickPeriod_ = tickPeriod_;
        copy->record_ = record_;
    }
    return copy;
}

HRESULT Enum::SetSources(LONG block, LONG, IUnknown**, IUnknown**, double tickPeriod, LONG)
{
    tickPeriod_ = tickPeriod;
    record_ = block;
    cursor_ = 0;
    // Saturated at the tick range: a position beyond it lies beyond every block.
    stimulusTick_ = EEH3::MsToTicksA(params_.positionMs, tickPeriod);
    return S_OK;
}

HRESULT Enum::SeekStart(LONG) { return S_OK; }

HRESULT Enum::ReleaseSources() { return S_OK; }

HRESULT Enum::Notify1(DWORD, DWORD) { return E_NOTIMPL; }

HRESULT Enum::Notify2(DWORD, DWORD) { return E_NOTIMPL; }

HRESULT Enum::GetTickPeriod(double* period, IKVOString** text)
{
    return KVO::GuardSlot([&] {
        if (period) {
            *period = tickPeriod_;
        }
        if (text) {
            *text = GetText();
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
    *out = {1, 1, 0};
    return S_OK;
}

bool Enum::InsideLimits() const
{
    const LONG t = stimulusTick_;
    const bool afterStart =
        record_ > params_.limitStartRecord || (record_ == params_.limitStartRecord && t >= params_.limitStartTick);
    const bool beforeEnd =
        record_ < params_.limitEndRecord || (record_ == params_.limitEndRecord && t < params_.limitEndTick);
    return afterStart && beforeEnd;
}

HRESULT Enum::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    const LONG end = endTick < 0 ? EEH3::kEndTick : endTick;
    const ULONG capacity = bufferBytes / kRecordBytes;
    if (capacity > 0 && !buffer) {
        return E_POINTER;
    }
    if (cursor_ <= stimulusTick_ && stimulusTick_ < end && InsideLimits()) {
        if (capacity == 0) {
            // The record does not fit: it stays ahead of the cursor for the next call.
            cursor_ = std::max(cursor_, stimulusTick_);
            *nextPosition = cursor_;
            return S_OK;
        }
        EventPkStm stimulus;
        stimulus.SetPosition(stimulusTick_);
        std::memcpy(buffer, &stimulus, sizeof stimulus);
        *count = 1;
    }
    cursor_ = end;
    *nextPosition = end;
    return end == EEH3::kEndTick ? S_FALSE : S_OK;
}

HRESULT Enum::Find(LONG direction, LONG from, LONG low, LONG high)
{
    // A stimulus outside the limits is never delivered, so it is not found either.
    const bool found = InsideLimits() && (direction == 0 ? from <= stimulusTick_ && stimulusTick_ < high
                                                         : low < stimulusTick_ && stimulusTick_ <= from);
    cursor_ = found ? stimulusTick_ : (direction == 0 ? high : low);
    return found ? S_OK : S_FALSE;
}

HRESULT Enum::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = cursor_;
    return S_OK;
}

HRESULT Enum::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = Copy(); // null when there is no memory for it
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
    *id = TypeIdClass<&CX::CXEventDrawGUID, 0>::Get();
    return S_OK;
}

} // namespace CX::Enum::ERStimSOB
