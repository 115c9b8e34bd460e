// The host chart's view of a document, as the host document's object container hands it out (the chart message
// family's object n 2): it scrolls to a time and tells its time scale.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/slots.h"

// {C7A41E58-2B9D-4F63-8E05-D1B3A6F49C22}
inline constexpr IID IID_IChartView{0xC7A41E58, 0x2B9D, 0x4F63, {0x8E, 0x05, 0xD1, 0xB3, 0xA6, 0xF4, 0x9C, 0x22}};

struct IChartView : IUnknown {
    // 3: brings the absolute time into view; `flag` 1 places it in the middle.
    virtual HRESULT ShowTime(LONGLONG time, DWORD flag) = 0;
    SDK_UNUSED_SLOT(4)
    // 5: the view's time scale in ticks per pixel; views that keep none answer E_NOTIMPL.
    virtual HRESULT GetTimeScale(double*) { return E_NOTIMPL; }

protected:
    ~IChartView() = default;
};
