#include "foundation/arrays.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

Array<void*>::Array(std::uint32_t initialCapacity, std::uint32_t step, bool ownsEntries, bool doubling)
    : storage_(initialCapacity, nullptr), step_(std::max<std::uint32_t>(step, 1)), ownsEntries_(ownsEntries),
      doubling_(doubling)
{
}

void Array<void*>::Reallocate(std::uint32_t n)
{
    // Never below the count: entries beyond the new end would be lost without being disposed of.
    n = std::max(n, count_);
    std::vector<void*> fresh(n, nullptr);
    std::copy_n(storage_.begin(), count_, fresh.begin());
    storage_.swap(fresh);
}

// Capacities are 32-bit; a growth that does not fit is refused rather than wrapped to a smaller buffer.
void Array<void*>::GrowTo(std::uint64_t capacity)
{
    if (capacity > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("pointer array too long");
    }
    Reallocate(static_cast<std::uint32_t>(capacity));
}

void Array<void*>::SetSize(std::uint32_t n)
{
    if (n <= count_) {
        return;
    }
    if (n > Capacity()) {
        std::uint64_t capacity = (std::uint64_t{n} / step_ + 1) * step_;
        if (doubling_) {
            capacity = std::max<std::uint64_t>(capacity, 2 * std::uint64_t{Capacity()});
        }
        GrowTo(capacity);
    }
    std::fill(storage_.begin() + count_, storage_.begin() + n, nullptr);
    count_ = n;
}

bool Array<void*>::InsertAt(std::uint32_t index, void* p)
{
    if (index > count_) {
        return false;
    }
    if (index == count_ && count_ < Capacity()) { // the common append: nothing to move
        storage_[count_++] = p;
        return true;
    }
    if (count_ == Capacity()) {
        const std::uint64_t capacity = doubling_ ? std::max<std::uint64_t>(2 * std::uint64_t{Capacity()}, step_)
                                                 : std::uint64_t{Capacity()} + step_;
        GrowTo(capacity);
    }
    std::copy_backward(storage_.begin() + index, storage_.begin() + count_, storage_.begin() + count_ + 1);
    storage_[index] = p;
    ++count_;
    return true;
}

void** Array<void*>::ElementAtGrow(std::uint32_t index)
{
    if (index >= count_) {
        if (index >= Capacity()) {
            std::uint64_t capacity = std::uint64_t{step_} + index;
            if (doubling_) {
                capacity = std::max<std::uint64_t>(capacity, 2 * std::uint64_t{Capacity()});
            }
            GrowTo(capacity);
        }
        SetSize(index + 1);
    }
    return &storage_[index];
}

bool Array<void*>::RemoveRange(std::uint32_t from, std::uint32_t to, bool dispose)
{
    to = std::min(to, count_);
    if (from >= to) {
        return false;
    }
    if (ownsEntries_ && dispose) {
        DisposeRange(from, to);
    }
    // Disposal runs the entries' own code; stay within bounds should it have shrunk the array.
    to = std::min(to, count_);
    if (from >= to) {
        return true;
    }
    std::copy(storage_.begin() + to, storage_.begin() + count_, storage_.begin() + from);
    count_ -= to - from;
    std::fill(storage_.begin() + count_, storage_.begin() + count_ + (to - from), nullptr);
    return true;
}

bool Array<void*>::RemoveValue(void* p)
{
    const std::int32_t index = Find(p);
    if (index < 0) {
        return false;
    }
    const auto at = static_cast<std::uint32_t>(index);
    return RemoveRange(at, at + 1, ownsEntries_);
}

std::int32_t Array<void*>::Find(const void* p) const
{
    const auto end = storage_.begin() + count_;
    const auto it = std::find(storage_.begin(), end, p);
    return it == end ? -1 : static_cast<std::int32_t>(it - storage_.begin());
}

IUnknownArray::~IUnknownArray() { DisposeRange(0, Count()); }

void IUnknownArray::RemoveAt(std::uint32_t index)
{
    if (index >= Count()) {
        return;
    }
    IUnknown* p = At(index);
    // Close the gap first, so that the entry's release sees a consistent array.
    RemoveRange(index, index + 1, false);
    if (p) {
        p->Release();
    }
}

void IUnknownArray::DisposeRange(std::uint32_t from, std::uint32_t to)
{
    for (std::uint32_t i = std::min(to, Count()); i > from; --i) {
        auto* p = static_cast<IUnknown*>(Slot(i - 1));
        Slot(i - 1) = nullptr;
        if (p) {
            p->Release();
        }
    }
}
