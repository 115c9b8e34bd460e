// The chart data's clock: the absolute time of a position in the document, and that time as text.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/kvoposition.h"

// {5E2B7A90-3C61-4D8E-B1F4-0A9D6C2E7B35}
inline constexpr IID IID_IChartTimes{0x5E2B7A90, 0x3C61, 0x4D8E, {0xB1, 0xF4, 0x0A, 0x9D, 0x6C, 0x2E, 0x7B, 0x35}};

// Format flags of the time text.
inline constexpr DWORD kTimeTextDate = 0x200000;
inline constexpr DWORD kTimeTextTime = 0xE00000;

struct IChartTimes : IUnknown {
    // 3: the absolute time of (offset, block).
    virtual HRESULT GetAbsoluteTime(const KVOPosition* position, LONGLONG* time) = 0;
    // 4: the time as text in the format the flags name; `value` is what the host's settings store gives for it.
    virtual HRESULT FormatTime(LONGLONG time, DWORD flags, DWORD value, BSTR* text) = 0;

protected:
    ~IChartTimes() = default;
};
