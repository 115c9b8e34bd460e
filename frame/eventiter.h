// Readers of host event enumerators: a buffered reader over one enumerator, eight events at a time, forwards or
// backwards; and a merged reader over every event channel of one record of a data source that returns their events
// as one stream in tick order.
#pragma once

#include "sdk/calcenum.h"
#include "sdk/datasource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace KVOEvent {

// One event as raw bytes (events of any size; the first four bytes are the tick).
using EventBytes = std::vector<std::byte>;
using SharedEvent = std::shared_ptr<const EventBytes>;

class ConstEventIterBase {
public:
    static constexpr std::uint32_t kEventsPerBuffer = 8;

    // Takes a reference to the enumerator (or none).
    explicit ConstEventIterBase(IEnumEventEx* enumerator);
    ConstEventIterBase(const ConstEventIterBase&) = delete;
    ConstEventIterBase& operator=(const ConstEventIterBase&) = delete;

    // Empties the buffer and asks the enumerator its event size again; the end limit becomes the end of the record.
    void Reset();
    // Reads up to 8 events up to the end limit; true when at least one came.
    bool FillBuffer();
    // Reads the (up to 8) events before the buffer's first and places the cursor on the last of them.
    void FillBufferBackward();
    // Moves the enumerator to `position`: a calculation is sought there, a plain enumerator is asked to find the
    // event at that position when it stands elsewhere.
    HRESULT Seek(LONG position);

    // Cursor operations over the buffer.
    bool AtBufferEnd() const { return cursor_ >= end_; }
    bool AtBufferStart() const { return cursor_ <= start_; }
    const std::byte* Cursor() const { return cursor_; }
    void Step() { cursor_ += eventSize_; }
    void StepBack() { cursor_ -= eventSize_; }

    std::uint32_t EventSize() const { return eventSize_; }
    IEnumEventEx* Enumerator() const { return enumerator_.Get(); }
    HRESULT LastResult() const { return lastResult_; }
    LONG NextPosition() const { return nextPosition_; }
    void SetEndLimit(LONG end) { endLimit_ = end; }

private:
    std::vector<std::uint64_t> buffer_; // room for 8 events, 8-byte aligned
    std::uint32_t bufferSize_ = 0;
    std::uint32_t eventSize_ = 0;
    std::byte* cursor_ = nullptr;
    std::byte* start_ = nullptr;
    std::byte* end_ = nullptr;
    platform::ComPtr<IEnumEventEx> enumerator_;
    std::uint32_t count_ = 0;
    HRESULT lastResult_ = S_OK;
    LONG nextPosition_ = 0;
    LONG endLimit_ = kEndOfBlockTick;

    std::byte* Buffer() { return reinterpret_cast<std::byte*>(buffer_.data()); }
};

class MergedEventIter {
public:
    // Opens a reader for every event channel that the source's channel list gives for the record, from
    // `startPosition` to the end of the record. `word1` and `word2` select the channel list.
    MergedEventIter(IDataSource* source, LONG record, LONG word1, LONG word2, LONG startPosition, DWORD flags);
    MergedEventIter(const MergedEventIter&) = delete;
    MergedEventIter& operator=(const MergedEventIter&) = delete;

    // The next event in tick order: S_OK with it, S_FALSE when every channel is exhausted, E_FAIL when events are
    // pending but none can be chosen (every pending tick is the end-of-record position).
    HRESULT Next(SharedEvent& event);
    // The enumerator (one reference) and reader index of the event returned last; null and S_OK before the first.
    HRESULT GetCurrentSource(IEnumEventEx** enumerator, std::uint32_t* index) const;

    IDataSource* Source() const { return source_; }
    LONG Record() const { return record_; }
    std::size_t Readers() const { return readers_.size(); }
    // The host channel of reader `index`.
    std::int32_t ChannelOf(std::uint32_t index) const { return channels_.at(index); }

private:
    HRESULT OpenReader(const ChannelListEntry& entry);
    void Refill();

    IDataSource* source_; // no reference: the caller keeps it alive
    LONG record_;
    LONG word1_;
    LONG word2_;
    LONG startPosition_;
    LONG endPosition_ = kEndOfBlockTick;
    bool forward_ = true;
    std::vector<std::unique_ptr<ConstEventIterBase>> readers_;
    // Per merge slot (0: existing comments, which this host does not offer; k: reader k - 1) the event it offers.
    std::vector<std::optional<EventBytes>> pending_;
    std::uint32_t currentSlot_ = 0;
    std::vector<std::int32_t> channels_;
};

} // namespace KVOEvent
