#include "host/eventarray.h"

#include "host/comobject.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <numeric>
#include <stdexcept>

namespace host {

EventArray::EventArray(std::size_t recordSize, std::span<const std::byte> bytes, DWORD drawType,
                       SourceTimeBase timeBase)
    : recordSize_(recordSize), drawType_(drawType), timeBase_(timeBase)
{
    if (recordSize < sizeof(LONG) || bytes.size() % recordSize != 0) {
        throw std::invalid_argument("event records of a wrong size");
    }
    const std::size_t count = bytes.size() / recordSize;
    std::vector<LONG> ticks(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(&ticks[i], bytes.data() + i * recordSize, sizeof(LONG));
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ticks[a] < ticks[b]; });
    bytes_.resize(bytes.size());
    ticks_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(bytes_.data() + i * recordSize, bytes.data() + order[i] * recordSize, recordSize);
        ticks_[i] = ticks[order[i]];
    }
}

std::size_t EventArray::LowerBound(LONG t) const
{
    return static_cast<std::size_t>(std::lower_bound(ticks_.begin(), ticks_.end(), t) - ticks_.begin());
}

namespace {

class EventArrayEnumerator final : public IEnumEventEx, public ITimeBaseSetter, private RefCounted {
public:
    EventArrayEnumerator(std::shared_ptr<const EventArray> events, std::size_t cursor)
        : events_(std::move(events)), cursor_(cursor)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IEnumEventEx) {
            return Answer(static_cast<IEnumEventEx*>(this), out);
        }
        if (iid == IID_ITimeBaseSetter) {
            return Answer(static_cast<ITimeBaseSetter*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    // The reader's time base replaces the array's (the offset in whole ticks).
    HRESULT SetTimeBase(LONG a, LONG b, double offset) override
    {
        if (b == 0) {
            return E_INVALIDARG;
        }
        timeBase_ = SourceTimeBase{a, b, static_cast<std::int64_t>(std::llround(offset))};
        return S_OK;
    }

    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override
    {
        if (!count || !nextPosition) {
            return E_POINTER;
        }
        const EventArray& events = *events_;
        const LONG bound = endTick < 0 ? kEndOfBlockTick : endTick;
        const std::size_t capacity = bufferBytes / events.RecordSize();
        if (capacity > 0 && !buffer) {
            return E_POINTER;
        }
        std::size_t n = 0;
        auto* out = static_cast<std::byte*>(buffer);
        while (cursor_ < events.Count() && n < capacity && events.Tick(cursor_) < bound) {
            std::memcpy(out + n * events.RecordSize(), events.Record(cursor_), events.RecordSize());
            ++cursor_;
            ++n;
        }
        *count = static_cast<LONG>(n);
        if (cursor_ >= events.Count()) {
            *nextPosition = kEndOfBlockTick;
            return S_FALSE;
        }
        *nextPosition = std::min(events.Tick(cursor_), bound);
        return S_OK;
    }

    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override
    {
        const EventArray& events = *events_;
        if (direction != 0 && from == 0) {
            cursor_ = events.LowerBound(low);
            return S_FALSE;
        }
        // An empty window, or one whose end lies before its start: nothing in it.
        if (high == 0 || high <= low) {
            cursor_ = events.LowerBound(high);
            return S_FALSE;
        }
        LONG s = std::max(from, low);
        if (s >= high) {
            s = high - 1;
        }
        const std::size_t first = events.LowerBound(s);
        if (direction == 0) {
            cursor_ = first;
            return cursor_ < events.Count() && events.Tick(cursor_) < high ? S_OK : S_FALSE;
        }
        if (first > 0 && events.Tick(first - 1) >= low) {
            cursor_ = first - 1;
            return S_OK;
        }
        cursor_ = first;
        return S_FALSE;
    }

    HRESULT GetPosition(LONG* tick) override
    {
        if (!tick) {
            return E_POINTER;
        }
        *tick = cursor_ < events_->Count() ? events_->Tick(cursor_) : kEndOfBlockTick;
        return S_OK;
    }
    // Moves back by up to `count` records; *skipped receives the records moved over, as a negative number.
    HRESULT Skip(LONG count, LONG* skipped) override
    {
        const std::size_t back = std::min<std::size_t>(cursor_, static_cast<std::size_t>(std::max<LONG>(count, 0)));
        cursor_ -= back;
        if (skipped) {
            *skipped = -static_cast<LONG>(back);
        }
        return S_OK;
    }
    HRESULT Clone(IEnumEventEx** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        auto* copy = new (std::nothrow) EventArrayEnumerator(events_, cursor_);
        if (copy) {
            copy->AddRef();
            *out = copy;
        }
        return S_OK;
    }
    HRESULT GetEventSize(LONG* bytes) override
    {
        if (!bytes) {
            return E_POINTER;
        }
        *bytes = static_cast<LONG>(events_->RecordSize());
        return S_OK;
    }
    HRESULT GetDrawType(DWORD* id) override
    {
        if (!id) {
            return E_POINTER;
        }
        *id = events_->DrawType();
        return S_OK;
    }
    HRESULT GetExtension(IUnknown** out) override
    {
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = timeBase_ ? *timeBase_ : events_->TimeBase();
        return S_OK;
    }

private:
    std::shared_ptr<const EventArray> events_;
    std::size_t cursor_;
    std::optional<SourceTimeBase> timeBase_;
};

} // namespace

platform::ComPtr<IEnumEventEx> OpenEvents(std::shared_ptr<const EventArray> events)
{
    if (!events) {
        throw std::invalid_argument("no event array");
    }
    return platform::ComPtr<IEnumEventEx>(new EventArrayEnumerator(std::move(events), 0));
}

} // namespace host
