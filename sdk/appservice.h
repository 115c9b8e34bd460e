// The host application service: application-wide queries and notes.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/slots.h"

// {1B34673D-9147-4D80-9918-25F7578D1992}
inline constexpr CLSID CLSID_ApplicationService{
    0x1B34673D, 0x9147, 0x4D80, {0x99, 0x18, 0x25, 0xF7, 0x57, 0x8D, 0x19, 0x92}};
// {C93F476D-C18C-48C2-83FE-2506B7FD9526}
inline constexpr IID IID_IApplicationService{0xC93F476D, 0xC18C, 0x48C2, {0x83, 0xFE, 0x25, 0x06, 0xB7, 0xFD, 0x95, 0x26}};

struct IApplicationService : IUnknown {
    SDK_UNUSED_SLOT(3)
    SDK_UNUSED_SLOT(4)
    SDK_UNUSED_SLOT(5)
    SDK_UNUSED_SLOT(6)
    SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    virtual HRESULT GetWindowObject(HWND window, IUnknown** out) = 0; // 10
    SDK_UNUSED_SLOT(11)
    SDK_UNUSED_SLOT(12)
    SDK_UNUSED_SLOT(13)
    SDK_UNUSED_SLOT(14)
    SDK_UNUSED_SLOT(15)
    SDK_UNUSED_SLOT(16)
    SDK_UNUSED_SLOT(17)
    SDK_UNUSED_SLOT(18)
    SDK_UNUSED_SLOT(19)
    virtual HRESULT GetPrintService(IUnknown** out) = 0; // 20
    SDK_UNUSED_SLOT(21)
    SDK_UNUSED_SLOT(22)
    SDK_UNUSED_SLOT(23)
    SDK_UNUSED_SLOT(24)
    SDK_UNUSED_SLOT(25)
    SDK_UNUSED_SLOT(26)
    SDK_UNUSED_SLOT(27)
    SDK_UNUSED_SLOT(28)
    SDK_UNUSED_SLOT(29)
    SDK_UNUSED_SLOT(30)
    SDK_UNUSED_SLOT(31)
    SDK_UNUSED_SLOT(32)
    virtual HRESULT GetLanguage(WORD* language) = 0;        // 33: the application's language id
    virtual HRESULT GetSettingsObject(IUnknown** out) = 0;  // 34
    SDK_UNUSED_SLOT(35)
    SDK_UNUSED_SLOT(36)
    SDK_UNUSED_SLOT(37)
    SDK_UNUSED_SLOT(38)
    SDK_UNUSED_SLOT(39)
    SDK_UNUSED_SLOT(40)
    SDK_UNUSED_SLOT(41)
    SDK_UNUSED_SLOT(42)
    SDK_UNUSED_SLOT(43)
    SDK_UNUSED_SLOT(44)
    SDK_UNUSED_SLOT(45)
    SDK_UNUSED_SLOT(46)
    SDK_UNUSED_SLOT(47)
    SDK_UNUSED_SLOT(48)
    SDK_UNUSED_SLOT(49)
    SDK_UNUSED_SLOT(50)
    // 51: a non-zero first output means the user does not want pre-release notes.
    virtual HRESULT QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other) = 0;
    SDK_UNUSED_SLOT(52)
    SDK_UNUSED_SLOT(53)
    SDK_UNUSED_SLOT(54)
    SDK_UNUSED_SLOT(55)
    SDK_UNUSED_SLOT(56)
    virtual HRESULT ShowPreReleaseNote(DWORD reserved, const char16_t* text) = 0; // 57

protected:
    ~IApplicationService() = default;
};
