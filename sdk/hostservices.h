// Host service interfaces that the module reaches through the cached accessors of frame/hostservices.h.
// Operations are declared in slot order; slots the module does not call yet are placeholders that keep the numbers.
#pragma once

#include "sdk/ikvostring.h"

// {3C0E5A10-7B42-4E19-A6D3-5F2B8C9E0A11}
inline constexpr IID IID_ITypeIdRegistry{0x3C0E5A10, 0x7B42, 0x4E19, {0xA6, 0xD3, 0x5F, 0x2B, 0x8C, 0x9E, 0x0A, 0x11}};
// {3C0E5A11-7B42-4E19-A6D3-5F2B8C9E0A11}
inline constexpr IID IID_IUnitService{0x3C0E5A11, 0x7B42, 0x4E19, {0xA6, 0xD3, 0x5F, 0x2B, 0x8C, 0x9E, 0x0A, 0x11}};
// {3C0E5A12-7B42-4E19-A6D3-5F2B8C9E0A11}
inline constexpr IID IID_IApplicationService{
    0x3C0E5A12, 0x7B42, 0x4E19, {0xA6, 0xD3, 0x5F, 0x2B, 0x8C, 0x9E, 0x0A, 0x11}};
// {3C0E5A13-7B42-4E19-A6D3-5F2B8C9E0A11}
inline constexpr IID IID_IHostSettings{0x3C0E5A13, 0x7B42, 0x4E19, {0xA6, 0xD3, 0x5F, 0x2B, 0x8C, 0x9E, 0x0A, 0x11}};
// {3C0E5A14-7B42-4E19-A6D3-5F2B8C9E0A11}
inline constexpr IID IID_IDisplayColours{
    0x3C0E5A14, 0x7B42, 0x4E19, {0xA6, 0xD3, 0x5F, 0x2B, 0x8C, 0x9E, 0x0A, 0x11}};

// The framework's type ids: 16-bit ids for GUIDs, and host objects made from texts.
struct ITypeIdRegistry : IUnknown {
    virtual HRESULT GetShortId(const GUID* id, WORD* out) = 0;                         // 3: same GUID, same id
    virtual HRESULT Reserved4() = 0;                                                    // 4
    virtual HRESULT Reserved5() = 0;                                                    // 5
    virtual HRESULT Reserved6() = 0;                                                    // 6
    virtual HRESULT CreateFromText(LONG reserved, IKVOString* text, IUnknown** out) = 0; // 7: reserved is 0

protected:
    ~ITypeIdRegistry() = default;
};

// The host's unit service (the cached host object): unit-name objects from a prefix index and a base text.
struct IUnitService : IUnknown {
    virtual HRESULT CreateUnitName(LONG prefixIndex, IKVOString* baseText, LONG reserved, IUnknown** out) = 0; // 3

protected:
    ~IUnitService() = default;
};

// The host application's settings object: values by key path.
struct IHostSettings : IUnknown {
    virtual HRESULT Reserved3() = 0;
    virtual HRESULT Reserved4() = 0;
    virtual HRESULT Reserved5() = 0;
    virtual HRESULT Reserved6() = 0;
    virtual HRESULT Reserved7() = 0;
    virtual HRESULT Reserved8() = 0;
    virtual HRESULT Reserved9() = 0;
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Reserved11() = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13() = 0;
    virtual HRESULT Reserved14() = 0;
    virtual HRESULT Reserved15() = 0;
    // 16: a boolean setting; *value keeps what the caller preset when the key is not set.
    virtual HRESULT ReadBool(IKVOString* key, BYTE* value) = 0;

protected:
    ~IHostSettings() = default;
};

// The host's display colours: the colour of a trace by index.
struct IDisplayColours : IUnknown {
    virtual HRESULT Reserved3() = 0;
    virtual HRESULT Reserved4() = 0;
    virtual HRESULT Reserved5() = 0;
    virtual HRESULT GetColour(LONG index, COLORREF* colour) = 0; // 6

protected:
    ~IDisplayColours() = default;
};

// The host application service. Known further slots: 10 window handles, 20 print service, 33 language,
// 51 pre-release query, 57 pre-release note.
struct IApplicationService : IUnknown {
    virtual HRESULT Reserved3() = 0;
    virtual HRESULT Reserved4() = 0;
    virtual HRESULT Reserved5() = 0;
    virtual HRESULT Reserved6() = 0;
    virtual HRESULT Reserved7() = 0;
    virtual HRESULT Reserved8() = 0;
    virtual HRESULT Reserved9() = 0;
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Reserved11() = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13() = 0;
    virtual HRESULT Reserved14() = 0;
    virtual HRESULT Reserved15() = 0;
    virtual HRESULT Reserved16() = 0;
    virtual HRESULT Reserved17() = 0;
    virtual HRESULT Reserved18() = 0;
    virtual HRESULT Reserved19() = 0;
    virtual HRESULT Reserved20() = 0;
    virtual HRESULT Reserved21() = 0;
    virtual HRESULT Reserved22() = 0;
    virtual HRESULT Reserved23() = 0;
    virtual HRESULT Reserved24() = 0;
    virtual HRESULT Reserved25() = 0;
    virtual HRESULT Reserved26() = 0;
    virtual HRESULT Reserved27() = 0;
    virtual HRESULT Reserved28() = 0;
    virtual HRESULT Reserved29() = 0;
    virtual HRESULT Reserved30() = 0;
    virtual HRESULT Reserved31() = 0;
    virtual HRESULT Reserved32() = 0;
    virtual HRESULT Reserved33() = 0;
    virtual HRESULT GetSettings(IHostSettings** out) = 0; // 34: a new reference, or null

protected:
    ~IApplicationService() = default;
};
