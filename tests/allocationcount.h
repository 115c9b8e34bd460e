// Counts every byte a test program asks of operator new while `counting` is on. It replaces the global operator new
// and delete, so one source file of a test program includes it, and only one.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<std::size_t> allocated{0};
} // namespace

// Not inlined, so that the compiler sees no free of what new gave (these are one pair).
__attribute__((noinline)) void* operator new(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed)) {
        allocated += size;
    }
    if (void* block = std::malloc(size ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* block) noexcept { std::free(block); }
__attribute__((noinline)) void operator delete(void* block, std::size_t) noexcept { std::free(block); }
// The other forms come in pairs with these, so that every block a loaded module gets is freed the same way.
__attribute__((noinline)) void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
__attribute__((noinline)) void* operator new[](std::size_t size) { return ::operator new(size); }
__attribute__((noinline)) void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return ::operator new(size, std::nothrow);
}
__attribute__((noinline)) void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
__attribute__((noinline)) void operator delete[](void* block) noexcept { std::free(block); }
__attribute__((noinline)) void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
__attribute__((noinline)) void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
