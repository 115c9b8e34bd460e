// Host service interfaces that the module reaches through the cached accessors of frame/hostservices.h.
// Operations are declared in slot order; slots the module does not call yet are placeholders that keep the numbers.
#pragma once

#include "sdk/ikvostring.h"

#include <cstdint>
#include "sdk/slots.h"

// {1B34673D-9147-4D80-9918-25F7578D1992}: the host application's class object.
inline constexpr CLSID CLSID_ApplicationService{
    0x1B34673D, 0x9147, 0x4D80, {0x99, 0x18, 0x25, 0xF7, 0x57, 0x8D, 0x19, 0x92}};
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
    virtual HRESULT GetTypeIdText(DWORD typeId, BSTR* text) = 0;                       // 4: the id as text
    SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    virtual HRESULT CreateFromText(LONG reserved, IKVOString* text, IUnknown** out) = 0; // 7: reserved is 0

protected:
    ~ITypeIdRegistry() = default;
};

// How a channel's raw values map to its unit, and their range.
struct ChannelScaling {
    double scale;
    double offset;
    float upper;
    float lower;
    std::int32_t kind;
    std::int32_t precision;
    std::int16_t flags;
};

// The host's unit service (the cached host object): unit-name objects from a prefix index and a base text.
struct IUnitService : IUnknown {
    virtual HRESULT CreateUnitName(LONG prefixIndex, IKVOString* baseText, LONG reserved, IUnknown** out) = 0; // 3
    // 4: a unit object for a channel of the unit text with that scaling.
    virtual HRESULT CreateUnit(LONG reserved, const ChannelScaling* scaling, IKVOString* unit, LONG reserved2,
                               LONG reserved3, IUnknown** out)
    {
        (void)reserved, (void)scaling, (void)unit, (void)reserved2, (void)reserved3;
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }

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

// The host application service: application-wide queries and notes.
struct IApplicationService : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    virtual HRESULT GetWindowObject(HWND window, IUnknown** out) = 0; // 10
    // 11: shows a topic of a help file ("file#topic", or the file alone); hosts without help answer E_NOTIMPL.
    virtual HRESULT ShowHelp(const char16_t*) { return E_NOTIMPL; }
    SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13) SDK_UNUSED_SLOT(14) SDK_UNUSED_SLOT(15)
    SDK_UNUSED_SLOT(16)
    SDK_UNUSED_SLOT(17) SDK_UNUSED_SLOT(18) SDK_UNUSED_SLOT(19)
    virtual HRESULT GetPrintService(IUnknown** out) = 0; // 20
    SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24) SDK_UNUSED_SLOT(25)
    SDK_UNUSED_SLOT(26)
    SDK_UNUSED_SLOT(27) SDK_UNUSED_SLOT(28) SDK_UNUSED_SLOT(29) SDK_UNUSED_SLOT(30) SDK_UNUSED_SLOT(31)
    SDK_UNUSED_SLOT(32)
    virtual HRESULT GetLanguage(WORD* language) = 0;       // 33: the application's language id
    virtual HRESULT GetSettings(IHostSettings** out) = 0;  // 34: a new reference, or null
    SDK_UNUSED_SLOT(35) SDK_UNUSED_SLOT(36) SDK_UNUSED_SLOT(37) SDK_UNUSED_SLOT(38) SDK_UNUSED_SLOT(39)
    SDK_UNUSED_SLOT_DECADE(4)
    SDK_UNUSED_SLOT(50)
    // 51: a non-zero first output means the user does not want pre-release notes.
    virtual HRESULT QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other) = 0;
    SDK_UNUSED_SLOT(52) SDK_UNUSED_SLOT(53) SDK_UNUSED_SLOT(54) SDK_UNUSED_SLOT(55) SDK_UNUSED_SLOT(56)
    virtual HRESULT ShowPreReleaseNote(DWORD reserved, const char16_t* text) = 0; // 57

protected:
    ~IApplicationService() = default;
};
