// The engine's wrappers around a calculation's sources: a host sample channel read ahead in blocks of floats, and
// the events of an inner calculation (or of a stored event channel) read ahead in blocks of records. The
// algorithms read their sources only through these, and the engine saves and restores their positions at every
// step, so a State can resume on any wrapper of the same source.
#pragma once

#include "sdk/calcenum.h"
#include "sdk/sampleenum.h"

#include <algorithm>
#include <array>
#include <new>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace EEH3 {

inline constexpr LONG kEndTick = kEndOfBlockTick;

class eeh_SourceEnum {
public:
    eeh_SourceEnum() = default;
    eeh_SourceEnum(const eeh_SourceEnum&) = delete;
    eeh_SourceEnum& operator=(const eeh_SourceEnum&) = delete;
    virtual ~eeh_SourceEnum() = default;

    // The tick of the current item (of the next item to read when none is buffered).
    virtual LONG CurrentTick() const = 0;
    virtual void Advance() = 0;
    // True when a current item is available, reading ahead from the host when the buffer is used up.
    virtual bool HasCurrent() = 0;
    // Makes the current item readable through the typed accessors.
    virtual void LoadCurrent() {}
    // Moves to tick t within the block, reusing the buffer when it holds t.
    virtual void Seek(LONG t) = 0;
    // Moves the host's own enumerator to tick t (an inner calculation is told to start there).
    virtual HRESULT HostSeek(LONG t) = 0;
    virtual SourceTimeBase TimeBase() = 0;
    // Forgets the buffered items; the next read continues where the host's enumerator stands (a seek moves it).
    virtual void ClearBuffer() = 0;
    virtual bool BufferHoldsCurrent() const = 0;

    // The source has no more items for the block (up to the end tick). Not set while a growing block merely has
    // no samples yet.
    bool AtEnd() const { return atEnd_; }
    LONG EndTick() const { return endTick_; }
    virtual void SetEndTick(LONG end) { endTick_ = end; }

protected:
    LONG endTick_ = kEndTick; // unknown until the engine sets the request's end tick limit
    bool atEnd_ = false;
};

// A sample channel: the host's float-sample enumerator read ahead 1024 samples at a time. Without one (a source
// that offers no samples) the wrapper only counts ticks, every value 0.
class FloatExWrapper final : public eeh_SourceEnum {
public:
    static constexpr LONG kBufferSize = 1024;

    // Queries `source` for the float-sample enumerator (and for ICalcEnum, for host seeks of a calculated channel).
    explicit FloatExWrapper(IUnknown* source);
    ~FloatExWrapper() override;

    // The hot path of the algorithms, inline: fetch, value, position, step.
    bool Fetch() { return index_ < count_ || Refill(); }
    float Value() const { return buffer_[index_]; }
    LONG Position() const { return start_ + index_; }
    void Step() { ++index_; }
    // The buffered samples from the current one on (valid after a successful Fetch), and a step over n of them.
    const float* Run() const { return buffer_.data() + index_; }
    LONG RunLength() const { return count_ - index_; }
    void StepOver(LONG n) { index_ += n; }
    bool Exhausted() const { return atEnd_; }
    // Lowers `low` to the lowest and raises `high` to the highest of the `count` buffered samples from the
    // current one on (`count` a multiple of 8, at most RunLength()); NaN samples count as neither.
    void ExtendRange(LONG count, float& low, float& high) const
    {
        using Floats = float __attribute__((vector_size(16)));
        const float* p = Run();
        Floats lo[2] = {{low, low, low, low}, {low, low, low, low}};
        Floats hi[2] = {{high, high, high, high}, {high, high, high, high}};
        for (LONG i = 0; i < count; i += 8) {
            for (int k = 0; k < 2; ++k) {
                Floats v;
                std::memcpy(&v, p + i + 4 * k, sizeof v);
                lo[k] = v < lo[k] ? v : lo[k];
                hi[k] = v > hi[k] ? v : hi[k];
            }
        }
        const Floats l = lo[0] < lo[1] ? lo[0] : lo[1];
        const Floats h = hi[0] > hi[1] ? hi[0] : hi[1];
        for (int k = 0; k < 4; ++k) {
            low = l[k] < low ? l[k] : low;
            high = h[k] > high ? h[k] : high;
        }
    }

    LONG CurrentTick() const override { return Position(); }
    void Advance() override { Step(); }
    bool HasCurrent() override { return Fetch(); }
    void Seek(LONG t) override;
    HRESULT HostSeek(LONG t) override;
    SourceTimeBase TimeBase() override;
    void ClearBuffer() override;
    bool BufferHoldsCurrent() const override { return index_ < count_; }
    void SetEndTick(LONG end) override;

    bool CountsTicksOnly() const { return samples_ == nullptr; }

    // A wrapper is made for every source of every block: freed ones are kept for the next, since aligned blocks
    // asked for and freed by the thousand scatter the heap.
    static void* operator new(std::size_t size, std::align_val_t alignment);
    static void operator delete(void* block, std::align_val_t alignment) noexcept;

private:
    bool Refill();

    IEnumFloatEx* samples_ = nullptr; // one reference
    ICalcEnum* calculation_ = nullptr; // one reference, when the source is itself a calculation
    LONG hostPosition_ = 0;           // where the host cursor stands
    LONG start_ = 0;                  // tick of buffer_[0]
    LONG index_ = 0;
    LONG count_ = 0;
    // Written by every refill before it is read: not cleared when made, since a wrapper is made for every block.
    alignas(64) std::array<float, kBufferSize> buffer_;
};

// The events of an inner calculation: its IEnumEventEx read ahead 8 records at a time, records of the size it
// reports.
class EventWrapper : public eeh_SourceEnum {
public:
    static constexpr LONG kBufferRecords = 8;

    explicit EventWrapper(IUnknown* source);
    ~EventWrapper() override;

    LONG CurrentTick() const override;
    void Advance() override
    {
        if (++index_ == count_) {
            // Every buffered record is read. The inner enumerator's position names the last record it delivered,
            // and a State that saved that tick would read the record again when it is restored: the next record
            // lies after it.
            const LONG last = TickAt(count_ - 1);
            position_ = std::max(position_, last < kEndTick ? last + 1 : last);
        }
    }
    bool HasCurrent() override { return index_ < count_ || Refill(); }
    void Seek(LONG t) override;
    HRESULT HostSeek(LONG t) override;
    SourceTimeBase TimeBase() override;
    void ClearBuffer() override;
    bool BufferHoldsCurrent() const override { return index_ < count_; }

    LONG EventSize() const { return size_; }
    // The raw bytes of the current record (valid while HasCurrent()).
    const std::byte* CurrentBytes() const { return Bytes() + static_cast<std::size_t>(index_) * size_; }

protected:
    // A typed reader asks for records of at least minimumSize bytes; a smaller inner record makes the wrapper
    // empty (at its end at once).
    EventWrapper(IUnknown* source, std::size_t minimumSize);

private:
    bool Refill();
    const std::byte* Bytes() const { return reinterpret_cast<const std::byte*>(storage_.data()); }
    std::byte* Bytes() { return reinterpret_cast<std::byte*>(storage_.data()); }
    LONG TickAt(LONG index) const
    {
        LONG tick;
        std::memcpy(&tick, Bytes() + static_cast<std::size_t>(index) * size_, sizeof tick);
        return tick;
    }

    IEnumEventEx* events_ = nullptr;  // one reference
    ICalcEnum* calculation_ = nullptr; // one reference, when the inner object is a calculation
    LONG size_ = 0;
    LONG index_ = 0;
    LONG count_ = 0;
    LONG position_ = 0;               // the inner enumerator's position when nothing is buffered
    std::vector<std::uint64_t> storage_; // 8-byte aligned records
};

// The events of an inner calculation read as one record type (the first sizeof(Record) bytes of each record).
template <class Record>
class EventWrapperEx final : public EventWrapper {
public:
    explicit EventWrapperEx(IUnknown* source) : EventWrapper(source, sizeof(Record)) {}

    void LoadCurrent() override { std::memcpy(&current_, CurrentBytes(), sizeof(Record)); }
    // The current record as loaded by LoadCurrent.
    const Record& Current() const { return current_; }

private:
    Record current_{};
};

} // namespace EEH3
