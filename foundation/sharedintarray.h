// KVO::SharedInt32Array: a reference-counted array of 32-bit integers. Copies share the buffer; the last holder
// frees it. A change made through one holder first gives it a private buffer, so the others keep what they saw.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace KVO {

class SharedInt32Array {
public:
    using const_iterator = std::vector<std::int32_t>::const_iterator;

    SharedInt32Array() = default;
    SharedInt32Array(std::initializer_list<std::int32_t> values)
        : buffer_(values.size() ? std::make_shared<std::vector<std::int32_t>>(values) : nullptr)
    {
    }

    std::uint32_t Count() const { return buffer_ ? static_cast<std::uint32_t>(buffer_->size()) : 0; }
    bool IsEmpty() const { return Count() == 0; }
    // Callers check the index against Count().
    std::int32_t operator[](std::uint32_t index) const { return (*buffer_)[index]; }
    const_iterator begin() const { return buffer_ ? buffer_->cbegin() : const_iterator(); }
    const_iterator end() const { return buffer_ ? buffer_->cend() : const_iterator(); }
    // Whether both hold the very same buffer.
    bool SharesWith(const SharedInt32Array& other) const { return buffer_ && buffer_ == other.buffer_; }

    void Add(std::int32_t value) { Writable().push_back(value); }

private:
    static constexpr std::size_t kInitialCapacity = 8;

    std::vector<std::int32_t>& Writable()
    {
        if (!buffer_) {
            buffer_ = std::make_shared<std::vector<std::int32_t>>();
            buffer_->reserve(kInitialCapacity);
        } else if (buffer_.use_count() > 1) {
            buffer_ = std::make_shared<std::vector<std::int32_t>>(*buffer_);
        }
        return *buffer_;
    }

    std::shared_ptr<std::vector<std::int32_t>> buffer_;
};

}
