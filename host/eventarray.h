// Arrays of event records that the host hands to a calculation as an event source (a stored event channel or
// prepared events), and the host's IEnumEventEx over them. Every record begins with its int32 tick; the records
// are kept in tick order.
#pragma once

#include "sdk/calcenum.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace host {

class EventArray {
public:
    // `bytes` holds whole records of `recordSize` bytes (at least 4); they are sorted by tick, equal ticks kept in
    // their order.
    EventArray(std::size_t recordSize, std::span<const std::byte> bytes, DWORD drawType = 0,
               SourceTimeBase timeBase = {1, 1, 0});

    template <class Record>
    static std::shared_ptr<const EventArray> Of(const std::vector<Record>& records, DWORD drawType = 0)
    {
        return std::make_shared<const EventArray>(sizeof(Record), std::as_bytes(std::span(records)), drawType);
    }

    std::size_t RecordSize() const { return recordSize_; }
    std::size_t Count() const { return ticks_.size(); }
    LONG Tick(std::size_t index) const { return ticks_[index]; }
    const std::byte* Record(std::size_t index) const { return bytes_.data() + index * recordSize_; }
    DWORD DrawType() const { return drawType_; }
    const SourceTimeBase& TimeBase() const { return timeBase_; }

    // The first record at or after tick t (Count() when none).
    std::size_t LowerBound(LONG t) const;

private:
    std::size_t recordSize_;
    std::vector<std::byte> bytes_;
    std::vector<LONG> ticks_;
    DWORD drawType_;
    SourceTimeBase timeBase_;
};

// A new enumerator at the first record, with one reference.
platform::ComPtr<IEnumEventEx> OpenEvents(std::shared_ptr<const EventArray> events);

} // namespace host
