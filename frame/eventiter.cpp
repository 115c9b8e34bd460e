#include "frame/eventiter.h"

#include <cmath>
#include <cstring>

namespace KVOEvent {

namespace {

LONG TickOf(const std::byte* event)
{
    LONG tick;
    std::memcpy(&tick, event, sizeof tick);
    return tick;
}

bool ValueIsFinite(const std::byte* event, std::uint32_t size)
{
    if (size < 16) {
        return true;
    }
    std::uint64_t bits;
    std::memcpy(&bits, event + 8, sizeof bits);
    return (bits & 0x7FF0000000000000ULL) != 0x7FF0000000000000ULL;
}

} // namespace

ConstEventIterBase::ConstEventIterBase(IEnumEventEx* enumerator) : enumerator_(enumerator) { Reset(); }

void ConstEventIterBase::Reset()
{
    cursor_ = start_ = end_ = nullptr;
    count_ = 0;
    nextPosition_ = 0;
    lastResult_ = S_OK;
    endLimit_ = kEndOfBlockTick;
    if (!enumerator_) {
        return;
    }
    LONG size = 0;
    if (FAILED(enumerator_->GetEventSize(&size)) || size < 0) {
        size = 0;
    }
    eventSize_ = static_cast<std::uint32_t>(size);
    if (kEventsPerBuffer * eventSize_ != bufferSize_) {
        bufferSize_ = kEventsPerBuffer * eventSize_;
        buffer_.assign((bufferSize_ + 7) / 8, 0);
    }
}

bool ConstEventIterBase::FillBuffer()
{
    count_ = 0;
    start_ = cursor_ = end_ = Buffer();
    if (!enumerator_ || bufferSize_ == 0) {
        return false;
    }
    LONG count = 0;
    LONG next = 0;
    lastResult_ = enumerator_->Next(bufferSize_, endLimit_, Buffer(), &count, &next);
    nextPosition_ = next;
    if (FAILED(lastResult_) || count < 0) {
        count = 0;
    }
    count_ = std::min<std::uint32_t>(static_cast<std::uint32_t>(count), kEventsPerBuffer);
    end_ = Buffer() + static_cast<std::size_t>(count_) * eventSize_;
    return count_ > 0;
}

void ConstEventIterBase::FillBufferBackward()
{
    if (!enumerator_ || bufferSize_ == 0) {
        start_ = cursor_ = end_ = Buffer();
        count_ = 0;
        return;
    }
    LONG skipped = 0;
    if (FAILED(enumerator_->Skip(static_cast<LONG>(kEventsPerBuffer + count_), &skipped))) {
        skipped = -static_cast<LONG>(count_); // no events before the buffer
    }
    const LONG before = std::min<LONG>(-(static_cast<LONG>(count_) + skipped), kEventsPerBuffer);
    if (before < 1) {
        end_ = start_;
        cursor_ = start_;
        count_ = 0;
        return;
    }
    LONG count = 0;
    LONG next = 0;
    lastResult_ = enumerator_->Next(static_cast<ULONG>(before) * eventSize_, endLimit_, Buffer(), &count, &next);
    nextPosition_ = next;
    if (FAILED(lastResult_) || count < 0) {
        count = 0;
    }
    count_ = std::min<std::uint32_t>(static_cast<std::uint32_t>(count), kEventsPerBuffer);
    start_ = Buffer();
    end_ = Buffer() + static_cast<std::size_t>(count_) * eventSize_;
    cursor_ = count_ > 0 ? end_ - eventSize_ : end_;
}

HRESULT ConstEventIterBase::Seek(LONG position)
{
    Reset();
    if (!enumerator_) {
        return E_FAIL;
    }
    platform::ComPtr<ICalcEnum> calculation;
    if (SUCCEEDED(enumerator_->QueryInterface(IID_ICalcEnum, calculation.OutVoid())) && calculation) {
        nextPosition_ = position;
        return calculation->SeekStart(position);
    }
    LONG current = 0;
    enumerator_->GetPosition(&current);
    if (current != position) {
        const LONG high = position == kEndOfBlockTick ? position : position + 1;
        enumerator_->Find(0, position, position, high);
        enumerator_->GetPosition(&nextPosition_);
    } else {
        nextPosition_ = current;
    }
    return S_OK;
}

MergedEventIter::MergedEventIter(IDataSource* source, LONG record, LONG word1, LONG word2, LONG startPosition,
                                 DWORD)
    : source_(source), record_(record), word1_(word1), word2_(word2), startPosition_(startPosition)
{
    pending_.emplace_back(); // slot 0
    if (!source_) {
        return;
    }
    platform::ComPtr<IChannelList> list;
    if (FAILED(source_->QueryInterface(IID_IChannelList, list.OutVoid())) || !list) {
        return;
    }
    LONG count = 0;
    for (LONG index = 0;; ++index) {
        ChannelListEntry entry{0x80000000, 0xC0000000, 0};
        if (FAILED(list->GetEntry(0, word1_, word2_, index, &entry, &count)) || index >= count) {
            break;
        }
        if (entry.type == kEventChannelType) {
            OpenReader(entry); // a channel whose reader cannot be opened is left out
        }
    }
}

HRESULT MergedEventIter::OpenReader(const ChannelListEntry& entry)
{
    platform::ComPtr<IUnknown> channel;
    platform::ComPtr<IEnumFactory> factory;
    if (FAILED(source_->GetChannelObject(entry.flags, record_, static_cast<LONG>(entry.channel), channel.Out())) ||
        !channel || FAILED(channel->QueryInterface(IID_IEnumFactory, factory.OutVoid())) || !factory) {
        return E_FAIL;
    }
    ChannelTimeBase base{1, 1, 0.0};
    factory->GetTimeBase(&base);
    // The channel's positions per record tick; a base the host gives without a usable ratio counts as 1.
    double ratio = base.b != 0 ? static_cast<double>(base.a) / static_cast<double>(base.b) : 1.0;
    if (ratio == 0.0 || !std::isfinite(ratio)) {
        ratio = 1.0;
    }
    const double offset = std::isfinite(base.o) ? base.o : 0.0;
    LONG position = startPosition_;
    if (forward_) {
        const double x = static_cast<double>(startPosition_) * ratio + offset;
        if (x != std::floor(x)) {
            const double first = std::trunc((std::floor(x) + 1.0 - offset) / ratio + 1.0);
            position = static_cast<LONG>(std::clamp(first, -2147483648.0, 2147483647.0));
        }
    } else {
        position = endPosition_ == kEndOfBlockTick ? kEndOfBlockTick : endPosition_ + 1;
    }
    platform::ComPtr<IUnknown> opened;
    platform::ComPtr<IEnumEventEx> events;
    if (FAILED(factory->OpenEnum(0x80000000, position, kEndOfBlockTick, 0, opened.Out())) || !opened ||
        FAILED(opened->QueryInterface(IID_IEnumEventEx, events.OutVoid())) || !events) {
        return E_FAIL;
    }
    auto reader = std::make_unique<ConstEventIterBase>(events.Get());
    LONG own = 0;
    events->GetPosition(&own);
    reader->Seek(own);
    readers_.push_back(std::move(reader));
    pending_.emplace_back();
    channels_.push_back(static_cast<std::int32_t>(entry.channel));
    return S_OK;
}

void MergedEventIter::Refill()
{
    for (std::size_t slot = 1; slot < pending_.size(); ++slot) {
        if (pending_[slot]) {
            continue;
        }
        ConstEventIterBase& reader = *readers_[slot - 1];
        const std::uint32_t size = reader.EventSize();
        if (size < 4) {
            continue; // no events to read
        }
        if (forward_) {
            reader.SetEndLimit(endPosition_);
            for (;;) {
                if (reader.AtBufferEnd() && !reader.FillBuffer()) {
                    break;
                }
                const std::byte* event = reader.Cursor();
                reader.Step();
                if (ValueIsFinite(event, size) && TickOf(event) >= startPosition_) {
                    pending_[slot] = EventBytes(event, event + size);
                    break;
                }
            }
        } else {
            if (reader.AtBufferStart()) {
                reader.FillBufferBackward();
                if (reader.AtBufferEnd()) {
                    continue;
                }
            } else {
                reader.StepBack();
            }
            pending_[slot] = EventBytes(reader.Cursor(), reader.Cursor() + size);
        }
    }
}

HRESULT MergedEventIter::Next(SharedEvent& event)
{
    Refill();
    bool any = false;
    std::size_t best = pending_.size();
    LONG bestTick = forward_ ? kEndOfBlockTick : -1;
    for (std::size_t slot = 0; slot < pending_.size(); ++slot) {
        if (!pending_[slot]) {
            continue;
        }
        any = true;
        const LONG tick = TickOf(pending_[slot]->data());
        if (forward_ ? tick < bestTick : tick > bestTick) {
            best = slot;
            bestTick = tick;
        }
    }
    if (!any) {
        return S_FALSE;
    }
    if (best == pending_.size()) {
        return E_FAIL;
    }
    event = std::make_shared<const EventBytes>(std::move(*pending_[best]));
    pending_[best].reset();
    currentSlot_ = static_cast<std::uint32_t>(best);
    return S_OK;
}

HRESULT MergedEventIter::GetCurrentSource(IEnumEventEx** enumerator, std::uint32_t* index) const
{
    if (!enumerator) {
        return E_POINTER;
    }
    *enumerator = nullptr;
    if (currentSlot_ == 0) {
        return S_OK;
    }
    if (currentSlot_ > readers_.size()) {
        return E_FAIL;
    }
    const ConstEventIterBase& reader = *readers_[currentSlot_ - 1];
    *enumerator = reader.Enumerator();
    if (*enumerator) {
        (*enumerator)->AddRef();
    }
    if (index) {
        *index = currentSlot_ - 1;
    }
    return S_OK;
}

} // namespace KVOEvent
