// The vtable slot of an interface's virtual member, so that a test can hold the slot numbers host and module agree on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Itanium ABI: the member pointer holds 1 + the slot's byte offset.
template <class Interface, class Member>
std::size_t SlotOf(Member Interface::*member)
{
    std::uintptr_t raw = 0;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw - 1) / sizeof(void*);
}
