#include "engine/eeh3sources.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace EEH3 {

namespace {
template <class I>
I* Query(IUnknown* source, const IID& iid)
{
    void* out = nullptr;
    if (source && SUCCEEDED(source->QueryInterface(iid, &out))) {
        return static_cast<I*>(out);
    }
    return nullptr;
}
} // namespace

// ---- FloatExWrapper ----

namespace {

// The freed wrappers kept for reuse; all of one size and alignment.
struct SpareWrappers {
    std::mutex lock;
    std::vector<void*> blocks;
};

// Never destroyed: wrappers may still be freed while the program's statics go.
SpareWrappers& Spares()
{
    static SpareWrappers* const spares = new SpareWrappers;
    return *spares;
}

} // namespace

void* FloatExWrapper::operator new(std::size_t size, std::align_val_t alignment)
{
    if (size == sizeof(FloatExWrapper) && alignment == std::align_val_t{alignof(FloatExWrapper)}) {
        SpareWrappers& spares = Spares();
        std::lock_guard guard(spares.lock);
        if (!spares.blocks.empty()) {
            void* block = spares.blocks.back();
            spares.blocks.pop_back();
            return block;
        }
    }
    return ::operator new(size, alignment);
}

void FloatExWrapper::operator delete(void* block, std::align_val_t alignment) noexcept
{
    if (!block) {
        return;
    }
    SpareWrappers& spares = Spares();
    {
        std::lock_guard guard(spares.lock);
        if (spares.blocks.size() < 64) {
            try {
                spares.blocks.push_back(block);
                return;
            } catch (...) {
            }
        }
    }
    ::operator delete(block, alignment);
}

FloatExWrapper::FloatExWrapper(IUnknown* source)
    : samples_(Query<IEnumFloatEx>(source, IID_IEnumFloatEx)),
      calculation_(Query<ICalcEnum>(source, IID_ICalcEnum))
{
    if (samples_) {
        LONG position = 0;
        if (SUCCEEDED(samples_->GetPosition(&position))) {
            hostPosition_ = position;
        }
    }
}

FloatExWrapper::~FloatExWrapper()
{
    if (samples_) {
        samples_->Release();
    }
    if (calculation_) {
        calculation_->Release();
    }
}

bool FloatExWrapper::Refill()
{
    if (atEnd_) {
        return false;
    }
    const LONG position = Position();
    start_ = position;
    index_ = 0;
    count_ = 0;
    if (position >= endTick_) {
        atEnd_ = true;
        return false;
    }
    const LONG wanted = std::min<LONG>(endTick_ - position, kBufferSize);
    if (!samples_) {
        // A tick counter: every tick has the value 0.
        buffer_.fill(0.0f);
        count_ = wanted;
        return true;
    }
    if (hostPosition_ != position) {
        samples_->Move(position - hostPosition_);
        hostPosition_ = position;
    }
    LONG read = 0;
    const HRESULT hr = samples_->Read(wanted, buffer_.data(), &read);
    read = std::clamp<LONG>(read, 0, wanted);
    hostPosition_ = position + read;
    count_ = read;
    if (read > 0) {
        return true;
    }
    // No sample: the end of the block when the host says so; otherwise "not yet" (a block still growing).
    if (FAILED(hr)) {
        atEnd_ = true;
    }
    return false;
}

void FloatExWrapper::Seek(LONG t)
{
    if (t >= endTick_) {
        start_ = t;
        index_ = count_ = 0;
        atEnd_ = true;
        return;
    }
    atEnd_ = false;
    if (t >= start_ && t < start_ + count_) {
        index_ = t - start_;
        return;
    }
    // Outside the buffer: the next fetch moves the host cursor there and reads.
    start_ = t;
    index_ = count_ = 0;
}

HRESULT FloatExWrapper::HostSeek(LONG t)
{
    HRESULT hr = S_OK;
    if (calculation_) {
        hr = calculation_->SeekStart(t);
    } else if (samples_) {
        hr = samples_->Move(t - hostPosition_);
    }
    if (samples_ && FAILED(samples_->GetPosition(&hostPosition_))) {
        hostPosition_ = t;
    }
    start_ = t;
    index_ = count_ = 0;
    atEnd_ = t >= endTick_;
    return hr;
}

SourceTimeBase FloatExWrapper::TimeBase()
{
    SourceTimeBase base{1, 1, 0};
    if (samples_ && FAILED(samples_->GetTimeBase(&base))) {
        base = {1, 1, 0};
    }
    return base;
}

void FloatExWrapper::ClearBuffer()
{
    start_ = Position();
    index_ = count_ = 0;
}

void FloatExWrapper::SetEndTick(LONG end)
{
    if (end == endTick_) {
        return;
    }
    endTick_ = end;
    // Samples already buffered past a lowered end are not served; a raised end lets the host decide again.
    if (start_ + count_ > end) {
        count_ = std::max<LONG>(end - start_, index_);
    }
    atEnd_ = atEnd_ && Position() >= end;
}

// ---- EventWrapper ----

EventWrapper::EventWrapper(IUnknown* source) : EventWrapper(source, 1) {}

EventWrapper::EventWrapper(IUnknown* source, std::size_t minimumSize)
    : events_(Query<IEnumEventEx>(source, IID_IEnumEventEx)), calculation_(Query<ICalcEnum>(source, IID_ICalcEnum))
{
    LONG size = 0;
    if (events_ && (FAILED(events_->GetEventSize(&size)) || size < static_cast<LONG>(std::max<std::size_t>(
                                                                         minimumSize, sizeof(LONG))))) {
        size = 0;
    }
    if (size <= 0) {
        atEnd_ = true; // nothing to read from
        return;
    }
    size_ = size;
    storage_.resize((static_cast<std::size_t>(size) * kBufferRecords + 7) / 8);
    if (events_) {
        events_->GetPosition(&position_);
    }
}

EventWrapper::~EventWrapper()
{
    if (events_) {
        events_->Release();
    }
    if (calculation_) {
        calculation_->Release();
    }
}

LONG EventWrapper::CurrentTick() const { return index_ < count_ ? TickAt(index_) : position_; }

bool EventWrapper::Refill()
{
    if (atEnd_ || size_ == 0) {
        atEnd_ = true;
        return false;
    }
    index_ = 0;
    count_ = 0;
    LONG read = 0;
    LONG next = position_;
    const HRESULT hr = events_->Next(static_cast<ULONG>(size_ * kBufferRecords), endTick_, Bytes(), &read, &next);
    count_ = SUCCEEDED(hr) ? std::clamp<LONG>(read, 0, kBufferRecords) : 0;
    // Without a record the position never moves back before the records already read.
    position_ = count_ > 0 ? next : std::max(position_, next);
    if (count_ > 0) {
        return true;
    }
    if (FAILED(hr) || next >= endTick_) {
        atEnd_ = true;
    }
    return false;
}

void EventWrapper::Seek(LONG t)
{
    if (size_ == 0 || CurrentTick() == t) {
        return;
    }
    if (t >= endTick_) {
        index_ = count_ = 0;
        position_ = t;
        atEnd_ = true;
        return;
    }
    if (count_ > 0 && t >= TickAt(0) && t <= TickAt(count_ - 1)) {
        LONG i = 0;
        while (TickAt(i) < t) {
            ++i;
        }
        index_ = i;
        atEnd_ = false;
        return;
    }
    ClearBuffer();
    events_->Find(0, t, 0, t + 1);
    LONG position = t;
    events_->GetPosition(&position);
    atEnd_ = position == kEndTick;
    position_ = atEnd_ ? t : position;
}

HRESULT EventWrapper::HostSeek(LONG t)
{
    if (size_ == 0) {
        return S_OK;
    }
    ClearBuffer();
    HRESULT hr = S_OK;
    if (calculation_) {
        hr = calculation_->SeekStart(t);
    } else {
        // The window [t, t + 1); at the last tick there is no tick after it, and the window is left empty.
        hr = events_->Find(0, t, t, t < kEndTick ? t + 1 : t);
    }
    position_ = t;
    atEnd_ = t >= endTick_;
    return hr;
}

SourceTimeBase EventWrapper::TimeBase()
{
    SourceTimeBase base{1, 1, 0};
    if (events_ && FAILED(events_->GetSourceTimeBase(&base))) {
        base = {1, 1, 0};
    }
    return base;
}

void EventWrapper::ClearBuffer()
{
    if (index_ < count_) {
        position_ = TickAt(index_);
    }
    index_ = count_ = 0;
}

} // namespace EEH3
