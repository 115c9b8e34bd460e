// Printing and copying through the host: the printout that a view hands to the host frame's print service, the
// service itself, and the host's notice that something is being copied.
#pragma once

#include "platform/com/unknown.h"
#include "platform/com/oleauto.h"
#include "platform/win/windef.h"
#include "sdk/slots.h"

#include <cstdint>

// {5B7E1C20-93A4-4F6D-8E25-7C1D0A3B9F61}
inline constexpr IID IID_ICAFPrintout{0x5B7E1C20, 0x93A4, 0x4F6D, {0x8E, 0x25, 0x7C, 0x1D, 0x0A, 0x3B, 0x9F, 0x61}};
// {5B7E1C21-93A4-4F6D-8E25-7C1D0A3B9F61}
inline constexpr IID IID_ICAFPrintoutEx{0x5B7E1C21, 0x93A4, 0x4F6D, {0x8E, 0x25, 0x7C, 0x1D, 0x0A, 0x3B, 0x9F, 0x61}};
// {5B7E1C22-93A4-4F6D-8E25-7C1D0A3B9F61}
inline constexpr IID IID_ICAFPrintoutType{
    0x5B7E1C22, 0x93A4, 0x4F6D, {0x8E, 0x25, 0x7C, 0x1D, 0x0A, 0x3B, 0x9F, 0x61}};
// {5B7E1C23-93A4-4F6D-8E25-7C1D0A3B9F61}
inline constexpr IID IID_ICAFPrintService{
    0x5B7E1C23, 0x93A4, 0x4F6D, {0x8E, 0x25, 0x7C, 0x1D, 0x0A, 0x3B, 0x9F, 0x61}};
// {5B7E1C24-93A4-4F6D-8E25-7C1D0A3B9F61}
inline constexpr IID IID_ICopyNotifyService{
    0x5B7E1C24, 0x93A4, 0x4F6D, {0x8E, 0x25, 0x7C, 0x1D, 0x0A, 0x3B, 0x9F, 0x61}};

// The service id under which the host framework's class object offers the copy-notice service.
inline constexpr DWORD kCopyNotifyServiceId = 0x8000001A;

struct IKVOBitset;

struct ICAFPrintout : IUnknown {
protected:
    ~ICAFPrintout() = default;
};

// What the print service asks of a printout, page by page.
struct ICAFPrintoutEx : ICAFPrintout {
    virtual DWORD GetMode() = 0;                     // 3
    virtual HRESULT GetTitle(BSTR* title) = 0;       // 4: a BSTR passed in is freed first; none for no title
    // 5: the page's rectangle and where to draw it; with a printer DC the drawing DC previews the printer's page.
    virtual HRESULT BeginPage(const RECT* page, HDC dc, HDC printer) = 0;
    virtual HRESULT GetPageCount(std::int32_t* count) = 0; // 6
    virtual HRESULT BeginPrinting(DWORD reserved) = 0;     // 7
    virtual HRESULT EndPrinting(DWORD reserved) = 0;       // 8
    virtual HRESULT IsPastEnd(std::int32_t page) = 0;      // 9: S_FALSE when the page is not below the count
    virtual HRESULT PrintPage(std::int32_t page, const RECT* rect) = 0; // 10
    virtual HRESULT BeginDocument(DWORD reserved) = 0;     // 11
    virtual HRESULT EndDocument(DWORD reserved) = 0;       // 12
    SDK_UNUSED_SLOT(13)
    virtual HRESULT GetHostView(IUnknown** out) = 0; // 14: with a reference

protected:
    ~ICAFPrintoutEx() = default;
};

struct ICAFPrintoutType : IUnknown {
    virtual HRESULT SetPageSelection(IKVOBitset* pages) = 0; // 3
    virtual HRESULT IsPageSelected(std::int32_t page) = 0;   // 4: S_OK or S_FALSE
    virtual HRESULT SetFlags(DWORD value, DWORD mask) = 0;   // 5
    virtual HRESULT GetFlags(DWORD* flags) = 0;              // 6

protected:
    ~ICAFPrintoutType() = default;
};

// The host frame's printing: to the printer, or as a preview.
struct ICAFPrintService : IUnknown {
    virtual HRESULT Print(ICAFPrintoutEx* printout, DWORD flags) = 0; // 3
    virtual HRESULT Preview(ICAFPrintoutEx* printout) = 0;            // 4
    // 5: hands a printout to the service, which keeps it and shows it in its preview (the table's print message
    // 0x8001000C goes here).
    virtual HRESULT SendToPrintService(ICAFPrintoutEx* printout) = 0;

protected:
    ~ICAFPrintService() = default;
};

// Told before the module puts something on the clipboard.
struct ICopyNotifyService : IUnknown {
    virtual HRESULT NotifyCopy(DWORD reserved) = 0; // 3

protected:
    ~ICopyNotifyService() = default;
};
