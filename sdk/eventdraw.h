// How the host chart asks a module class how to draw one of its events.
#pragma once

#include "platform/com/oleauto.h"

// {AB0EBDDF-F2E6-41B4-92EF-2D830AB69993}
inline constexpr IID IID_IPODEventDrawClass{
    0xAB0EBDDF, 0xF2E6, 0x41B4, {0x92, 0xEF, 0x2D, 0x83, 0x0A, 0xB6, 0x99, 0x93}};

using COLORREF = DWORD; // 0x00BBGGRR

struct IKVOString;

// The event record is the raw record of the draw type's record type, as the module's enumerator delivered it.
struct IPODEventDrawClass : IUnknown {
    virtual HRESULT GetColour(WORD unused, const void* event, COLORREF* colour) = 0; // 3
    // 4: hostData is the chart's data object, record the block index of the event.
    virtual HRESULT GetHoverText(WORD unused, IUnknown* hostData, LONG record, const void* event,
                                 double secondsPerTick, IKVOString** text) = 0;

protected:
    ~IPODEventDrawClass() = default;
};
