#include "engine/eeh3enumerator.h"

#include "foundation/stringstream.h"
#include "foundation/xkvo.h"

#include <algorithm>
#include <locale>
#include <map>
#include <sstream>
#include <string>

namespace EEH3 {

namespace {
constexpr DWORD kParsedFlags = 0x40000000;
constexpr DWORD kCapabilities = 0x10008000;
} // namespace

IKVOString* EnumeratorBase::GetText() { return KVO::String(u"?").GetInterface(); }

// ---- ICalcEnum ----

HRESULT EnumeratorEngine::Parse(IKVOString* text, DWORD* flags)
{
    return KVO::GuardSlot([&] {
        ParamsBase& params = ParamsRef();
        params.ResetLimits();
        KVO::String copy;
        copy.AssignInterface(text);
        std::wistringstream in(KVO::ToWide(copy.View()));
        in.imbue(std::locale::classic());
        LONG leading = 0;
        in >> leading;
        params.leadingInteger = leading;
        params.Read(in);
        position_ = 0;
        parsed_ = true;
        // Checkpoints made with other parameters would give other results.
        cache_.Clear();
        pending_.reset();
        if (flags) {
            *flags = kParsedFlags;
        }
        return S_OK;
    });
}

HRESULT EnumeratorEngine::Write(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    return KVO::GuardSlot([&] {
        KVO::Automation::ClassicOStringStream out;
        ParamsRef().Write(out);
        *text = out.GetRep();
        return S_OK;
    });
}

HRESULT EnumeratorEngine::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        EnumeratorEngine* copy = NewCopy(ClassObjectPtr());
        if (!copy) {
            return S_OK; // no memory: a null copy
        }
        copy->position_ = position_;
        copy->tickPeriod_ = tickPeriod_;
        copy->parsed_ = parsed_;
        copy->moreData_ = moreData_;
        copy->stopAtGap_ = stopAtGap_;
        *out = copy; // the creation reference
        return S_OK;
    });
}

HRESULT EnumeratorEngine::SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units,
                                     double tickPeriod, LONG flag)
{
    if (count > 0 && !sources) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        ParamsBase& params = ParamsRef();
        stopAtGap_ = flag < 0;
        position_ = 0;
        // A second call replaces the wrappers of the first; the run of another block starts afresh.
        params.sources.RemoveAll();
        cache_.DropCurrent();
        pending_.reset();
        params.sourceCount = std::max<LONG>(count, 0);
        params.tickPeriod = tickPeriod;
        tickPeriod_ = tickPeriod;
        params.SetSources(params.sourceCount, sources, units);
        params.record = block;
        moreData_ = true;
        return S_OK;
    });
}

HRESULT EnumeratorEngine::SeekStart(LONG tick)
{
    return KVO::GuardSlot([&] {
        ParamsBase& params = ParamsRef();
        cache_.DropCurrent();
        pending_.reset();
        position_ = params.record == params.limitStartRecord ? std::max(tick, params.limitStartTick) : tick;
        for (eeh_SourceEnum* source : params.sources) {
            source->HostSeek(position_);
        }
        return S_OK;
    });
}

HRESULT EnumeratorEngine::ReleaseSources()
{
    return KVO::GuardSlot([&] {
        ParamsRef().sources.RemoveAll();
        return S_OK;
    });
}

HRESULT EnumeratorEngine::Notify1(DWORD, DWORD) { return S_OK; }

HRESULT EnumeratorEngine::Notify2(DWORD, DWORD) { return S_OK; }

HRESULT EnumeratorEngine::GetTickPeriod(double* period, IKVOString** text)
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

HRESULT EnumeratorEngine::GetCapabilities(DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = kCapabilities;
    return S_OK;
}

HRESULT EnumeratorEngine::GetSourceTimeBase(SourceTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        const auto& sources = ParamsRef().sources;
        *out = sources.Count() == 0 ? SourceTimeBase{1, 1, 0} : sources.At(0)->TimeBase();
        return S_OK;
    });
}

// ---- IEnumEventEx ----

void EnumeratorEngine::EnsureBuffers()
{
    const std::size_t words = (static_cast<std::size_t>(RecordSize()) + 7) / 8;
    if (scratch_.size() != words) {
        scratch_.assign(words, 0);
        output_.assign(words, 0);
    }
}

HRESULT EnumeratorEngine::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    return KVO::GuardSlot([&] {
        EnsureBuffers();
        const auto size = static_cast<ULONG>(RecordSize());
        const ULONG capacity = bufferBytes / size;
        if (capacity > 0 && !buffer) {
            return E_POINTER;
        }
        const ParamsBase& params = ParamsRef();
        const LONG record = params.record;
        const LONG bound = endTick < 0 ? kEndTick : endTick;
        auto* bytes = static_cast<std::byte*>(buffer);
        ULONG delivered = 0;
        while (position_ < bound && delivered < capacity) {
            if (pending_) {
                std::memcpy(bytes + delivered * size, pending_.get(), size);
                pending_.reset();
                ++delivered;
                continue;
            }
            bool got = false;
            if (record != params.limitEndRecord || position_ < params.limitEndTick) {
                LONG reached = 0;
                got = Core(position_, bound, Output(), reached);
                position_ = got ? RecordTick(Output()) : reached;
            } else {
                position_ = kEndTick;
            }
            if ((record > params.limitStartRecord || position_ >= params.limitStartTick) && cache_.HasCurrent()) {
                cache_.Current().tickReached = position_;
            }
            if (!got) {
                break;
            }
            std::memcpy(bytes + delivered * size, Output(), size);
            ++delivered;
        }
        moreData_ = position_ < kEndTick;
        if (moreData_) {
            position_ = std::min(position_, bound);
        }
        *count = static_cast<LONG>(delivered);
        *nextPosition = position_;
        return moreData_ ? S_OK : S_FALSE;
    });
}

HRESULT EnumeratorEngine::Find(LONG direction, LONG from, LONG low, LONG high)
{
    return KVO::GuardSlot([&] {
        EnsureBuffers();
        const ParamsBase& params = ParamsRef();
        cache_.DropCurrent();
        // A record found before is not delivered after the position has moved.
        pending_.reset();
        if (direction != 0 && from == 0) {
            position_ = low;
            return S_FALSE;
        }
        if (high == 0 || high <= low) {
            position_ = high;
            return S_FALSE;
        }
        LONG s = std::max(from, low);
        if (s >= high) {
            s = high - 1;
        }
        const LONG record = params.record;
        if (record == params.limitEndRecord && s >= params.limitEndTick) {
            if (direction == 0) {
                position_ = kEndTick; // nothing lies at or past the end
                return S_FALSE;
            }
            s = params.limitEndTick; // backward: the records before the end still count
        }
        LONG reached = 0;
        const bool got = direction == 0 ? Core(s, high, Output(), reached) : FindBackward(low, s, Output(), reached);
        const LONG tick = got ? RecordTick(Output()) : 0;
        position_ = got ? tick : reached;
        if (!(record <= params.limitStartRecord && position_ < params.limitStartTick) && cache_.HasCurrent()) {
            cache_.Current().tickReached = position_;
        }
        if (!got && ((direction == 0 && s > position_) || (direction != 0 && s < position_))) {
            position_ = s;
        }
        if (got && tick >= low && tick < high) {
            pending_ = CopyRecord(Output());
            position_ = tick;
        }
        return got ? S_OK : S_FALSE;
    });
}

HRESULT EnumeratorEngine::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = position_;
    return S_OK;
}

HRESULT EnumeratorEngine::GetEventSize(LONG* bytes)
{
    if (!bytes) {
        return E_POINTER;
    }
    *bytes = RecordSize();
    return S_OK;
}

HRESULT EnumeratorEngine::GetDrawType(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *id = DrawType();
        return S_OK;
    });
}

// ---- The core ----

bool EnumeratorEngine::Core(LONG from, LONG to, void* out, LONG& next, bool* delivered, LONG* startedAt)
{
    if (to < 0) {
        to = kEndTick;
    }
    const ParamsBase& params = ParamsRef();
    const LONG record = params.record;
    static const RecordCache kNoCheckpoints;
    const RecordCache* stored = cache_.Find(record);
    const RecordCache& checkpoints = stored ? *stored : kNoCheckpoints;
    const LONG startLimit = params.StartTickLimit(record);
    const LONG endLimit = params.EndTickLimit(record);
    ChannelCache::CurrentState& current = cache_.Current();

    std::int64_t k = 0;
    if (current.state) {
        k = std::max<LONG>(current.tickReached, 0) / kSliceTicks;
    } else {
        k = checkpoints.LatestAtOrBefore(from);
        const StateBase* checkpoint = checkpoints.At(static_cast<LONG>(k));
        current.state = checkpoint ? CopyState(*checkpoint) : NewState();
        current.tickReached = static_cast<LONG>(k * kSliceTicks);
    }
    if (startedAt) {
        *startedAt = static_cast<LONG>(k * kSliceTicks);
    }
    const std::size_t size = static_cast<std::size_t>(RecordSize());
    std::int64_t sliceEnd = (k + 1) * kSliceTicks;
    for (;;) {
        const auto bound = static_cast<LONG>(std::min<std::int64_t>({to, sliceEnd, endLimit}));
        InitRecord(Scratch());
        const bool got = RunStep(bound, endLimit, Scratch(), next);
        if (next == sliceEnd) {
            cache_.Record(record).Store(static_cast<LONG>(k + 1), CopyState(*current.state));
        }
        if (got) {
            const LONG tick = RecordTick(Scratch());
            if (startLimit <= tick && tick < endLimit) {
                std::memcpy(out, Scratch(), size);
                if (delivered) {
                    *delivered = true;
                }
                if (tick >= from && tick < bound) {
                    return true;
                }
            }
            continue; // before the request or outside the limits: skipped
        }
        if (stopAtGap_ && next < bound) {
            return false; // the source has no samples here yet
        }
        if (next >= to || next == endLimit) {
            return false;
        }
        ++k;
        sliceEnd += kSliceTicks;
    }
}

bool EnumeratorEngine::RunStep(LONG bound, LONG endLimit, void* record, LONG& next)
{
    StateBase& state = *cache_.Current().state;
    LONG resume = state.ResumePosition();
    if (resume != kEndTick) {
        resume = std::min(resume, bound);
    }
    if (resume >= bound) {
        next = resume >= endLimit ? kEndTick : resume;
        return false;
    }
    bool got = false;
    StepOnce(state, bound, endLimit, record, got, next);
    if (!got && next < bound && AwaitedSourceAtEnd(state)) {
        // The source has ended: the family's last call, with the sources marked exhausted.
        state.MarkSourcesExhausted();
        InitRecord(record);
        StepOnce(state, bound, endLimit, record, got, next);
    }
    if (state.ResumePosition() == kEndTick && !state.sourcesExhausted) {
        state.MarkSourcesExhausted();
    }
    if (!stopAtGap_ && !got) {
        next = std::max(next, bound);
    }
    return got;
}

void EnumeratorEngine::StepOnce(StateBase& state, LONG bound, LONG endLimit, void* record, bool& got, LONG& next)
{
    const auto& sources = ParamsRef().sources;
    const std::uint32_t count = sources.Count();
    for (std::uint32_t i = 0; i < count; ++i) {
        sources.At(i)->SetEndTick(endLimit);
        sources.At(i)->Seek(i < state.positions.size() ? state.positions[i].tick : 0);
    }
    state.endTick = bound;
    got = Step(state, record);
    state.positions.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        state.positions[i] = {sources.At(i)->CurrentTick(), sources.At(i)->EndTick()};
    }
    next = state.ResumePosition();
    if (next != kEndTick) {
        next = std::min(next, bound);
    }
}

bool EnumeratorEngine::AwaitedSourceAtEnd(const StateBase& state) const
{
    const auto& sources = ParamsRef().sources;
    if (state.awaitedSource < 0) {
        return std::all_of(sources.begin(), sources.end(), [](const eeh_SourceEnum* s) { return s->AtEnd(); });
    }
    const auto index = static_cast<std::uint32_t>(state.awaitedSource);
    return index >= sources.Count() || sources.At(index)->AtEnd();
}

bool EnumeratorEngine::FindBackward(LONG low, LONG before, void* out, LONG& next)
{
    // The core runs from the checkpoint before `before` up to it; the last record it passed stays in `out`. When
    // it passed none, the stretch before the checkpoint it started from is searched the same way, down to the
    // block's start. (Searching up to the checkpoint's boundary itself keeps a record just before a boundary.)
    for (;;) {
        if (before <= low || before <= 0) {
            return false;
        }
        bool delivered = false;
        LONG startedAt = 0;
        Core(before - 1, before, out, next, &delivered, &startedAt);
        if (delivered) {
            const LONG tick = RecordTick(out);
            return tick >= low && tick < before;
        }
        cache_.DropCurrent();
        before = startedAt;
    }
}

// ---- Families by name ----

namespace {
std::map<std::u16string, Creator, std::less<>>& Families()
{
    static std::map<std::u16string, Creator, std::less<>> families;
    return families;
}
} // namespace

FamilyRegistration::FamilyRegistration(std::u16string_view name, Creator creator)
{
    Families()[std::u16string(name)] = creator;
}

Creator FindCreator(std::u16string_view name)
{
    const auto found = Families().find(name);
    return found == Families().end() ? nullptr : found->second;
}

} // namespace EEH3
