// The bitset interface through which host and module hand each other sets of channels, pages and the like.
#pragma once

#include "platform/com/unknown.h"

// {C4E2B7A1-3D58-4F0B-9A6E-1B7D2C8F4E30}
inline constexpr IID IID_IKVOBitset{0xC4E2B7A1, 0x3D58, 0x4F0B, {0x9A, 0x6E, 0x1B, 0x7D, 0x2C, 0x8F, 0x4E, 0x30}};

// What slot 3 answers for the module's own representation. Anything else is read through slots 5 and 6.
inline constexpr int kNativeBitsetTypeMark = 1;

// Bit i of a set is bit (i mod 32) of word i / 32; every bit beyond the stored words has the value of the fill word
// (0 or 0xFFFFFFFF), so a set can be unbounded. Slots 3..8 in order after IUnknown.
struct IKVOBitset : IUnknown {
    virtual int GetTypeMark() = 0;                                            // 3
    virtual HRESULT Destroy() = 0;                                            // 4: E_FAIL while referenced
    virtual HRESULT GetWordCount(ULONG* count) = 0;                           // 5
    // Copies min(max, count) words and the fill word; S_FALSE when words were left out.
    virtual HRESULT GetWords(ULONG max, DWORD* words, DWORD* fill) = 0;       // 6
    virtual HRESULT Clone(IKVOBitset** out) = 0;                              // 7: a new set, one reference
    virtual void DeleteThis() = 0;                                            // 8: the deleting destructor

protected:
    ~IKVOBitset() = default;
};
