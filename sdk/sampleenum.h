// The host's enumerator of one channel's float samples in one block: a cursor that reads forward and moves by a
// signed number of ticks. Each opened enumerator is an independent cursor.
#pragma once

#include "sdk/calcenum.h"

// {C461EDBE-1294-45E7-B346-3288B235233F}
inline constexpr IID IID_IEnumFloatEx{0xC461EDBE, 0x1294, 0x45E7, {0xB3, 0x46, 0x32, 0x88, 0xB2, 0x35, 0x23, 0x3F}};

struct IEnumFloatEx : IUnknown {
    // 3: reads up to `count` samples from the current position into buffer and moves past them. S_OK with
    // *read > 0; S_OK with *read == 0 when the block is still being sampled and has no more samples yet; a
    // failure (E_FAIL) with *read == 0 at the end of a finished block.
    virtual HRESULT Read(LONG count, float* buffer, LONG* read) = 0;
    // 4: moves the cursor by delta ticks; S_FALSE when the move was clamped at tick 0.
    virtual HRESULT Move(LONG delta) = 0;
    virtual HRESULT GetPosition(LONG* tick) = 0;                              // 5
    virtual HRESULT GetTimeBase(SourceTimeBase* out) = 0;                     // 6

protected:
    ~IEnumFloatEx() = default;
};
