// Printouts handed to the host's print service: the common printout with its title, page selection and the device
// contexts of the current page, and the one-page printout of the module's views.
#pragma once

#include "foundation/bitset.h"
#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "platform/owl/dc.h"
#include "sdk/printing.h"

#include <memory>

class CXViewBase;

class CAFPrintout : public ICAFPrintoutEx, public ICAFPrintoutType, public KVO::CComObjectRoot {
public:
    // Copies the selection; holds the title and the host view object. Created with a count of 0.
    CAFPrintout(IUnknown* hostView, const KVO::String& title, const KVO::Bitset& selection);
    ~CAFPrintout() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // ICAFPrintoutEx
    DWORD GetMode() override { return mode_; }
    HRESULT GetTitle(BSTR* title) override;
    HRESULT BeginPage(const RECT* page, HDC dc, HDC printer) override;
    HRESULT GetPageCount(std::int32_t* count) override;
    HRESULT BeginPrinting(DWORD) override { return S_OK; }
    HRESULT EndPrinting(DWORD) override { return S_OK; }
    HRESULT IsPastEnd(std::int32_t page) override { return page < pageCount_ ? S_OK : S_FALSE; }
    HRESULT PrintPage(std::int32_t page, const RECT* rect) override;
    HRESULT BeginDocument(DWORD) override { return S_OK; }
    HRESULT EndDocument(DWORD) override { return S_OK; }
    HRESULT GetHostView(IUnknown** out) override;

    // ICAFPrintoutType
    HRESULT SetPageSelection(IKVOBitset* pages) override;
    HRESULT IsPageSelected(std::int32_t page) override;
    HRESULT SetFlags(DWORD value, DWORD mask) override;
    HRESULT GetFlags(DWORD* flags) override;

    // Draws one page on the drawing device context.
    virtual void PrintPage(int page, owl::TDC& dc, const RECT& rect) = 0;
    virtual int PageCount() { return 1; }

protected:
    // The page rectangle and the drawing device context of the last BeginPage (null before any).
    const RECT& PageRect() const { return page_; }
    owl::TDC* CurrentDC() const { return dc_.get(); }
    // The printer's device context while previewing, else null.
    owl::TPrintDC* PrinterDC() const { return printer_.get(); }

private:
    KVO::Bitset selection_;
    RECT page_{};
    KVO::String title_;
    std::unique_ptr<owl::TDC> dc_;
    std::unique_ptr<owl::TPrintDC> printer_;
    DWORD mode_ = 3;
    DWORD flags_ = 0;
    platform::ComPtr<IUnknown> hostView_;
    std::int32_t pageCount_ = 0;
};

// One page: the view draws itself into the page's rectangle.
class CXPrintout final : public CAFPrintout {
public:
    CXPrintout(CXViewBase& view, const KVO::String& title);
    void PrintPage(int page, owl::TDC& dc, const RECT& rect) override;

private:
    CXViewBase& view_;
};
