// Array storage with an explicit capacity, for arrays whose growth the owner decides.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

template <class T>
class CArrayCtor {
public:
    std::uint32_t Count() const { return count_; }
    std::uint32_t Capacity() const { return capacity_; }
    T* Data() { return data_.get(); }
    const T* Data() const { return data_.get(); }
    T& operator[](std::uint32_t index) { return data_[index]; }
    const T& operator[](std::uint32_t index) const { return data_[index]; }

    // The count moves within the capacity; new entries are value-initialised.
    void SetCount(std::uint32_t count)
    {
        count = std::min(count, capacity_);
        std::fill(data_.get() + std::min(count_, count), data_.get() + count, T{});
        count_ = count;
    }

    // The count grows within the capacity; the new entries are left for the caller to write, every one of them.
    void GrowCountForOverwrite(std::uint32_t count) { count_ = std::max(count_, std::min(count, capacity_)); }

    // For arrays of 8-byte entries: new storage of the given capacity, the current entries copied into it and the
    // old storage freed; the count stays (cut to the capacity). Throws std::bad_alloc and leaves the array as it
    // was when the storage cannot be had.
    void SetCapacity8(std::uint32_t capacity)
        requires(sizeof(T) == 8)
    {
        auto fresh = std::make_unique_for_overwrite<T[]>(capacity);
        count_ = std::min(count_, capacity);
        std::copy(data_.get(), data_.get() + count_, fresh.get());
        data_ = std::move(fresh);
        capacity_ = capacity;
    }

private:
    std::unique_ptr<T[]> data_;
    std::uint32_t count_ = 0;
    std::uint32_t capacity_ = 0;
};
