#include "graph/analysisview/printout.h"

#include "foundation/xkvo.h"
#include "graph/analysisview/cxviewbase.h"
#include "platform/com/oleauto.h"

namespace {
// The drawing area of a device context: its selected bitmap, else its whole device.
RECT DeviceArea(HDC dc)
{
    BITMAP info{};
    if (HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP); bitmap && GetObjectW(bitmap, sizeof info, &info)) {
        if (info.bmWidth > 1 || info.bmHeight > 1) {
            return RECT{0, 0, info.bmWidth, info.bmHeight};
        }
    }
    return RECT{0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
}
} // namespace

CAFPrintout::CAFPrintout(IUnknown* hostView, const KVO::String& title, const KVO::Bitset& selection)
    : selection_(KVO::BitsetRep::CopyFromInterface(selection.Interface())), title_(title), hostView_(hostView)
{
}

CAFPrintout::~CAFPrintout()
{
    dc_.reset(); // a preview DC refers to the printer's
    printer_.reset();
}

HRESULT CAFPrintout::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICAFPrintout || iid == IID_ICAFPrintoutEx) {
        *out = static_cast<ICAFPrintoutEx*>(this);
    } else if (iid == IID_ICAFPrintoutType) {
        *out = static_cast<ICAFPrintoutType*>(this);
    } else {
        return E_NOINTERFACE;
    }
    InternalAddRef();
    return S_OK;
}

HRESULT CAFPrintout::GetTitle(BSTR* title)
{
    if (!title) {
        return S_OK;
    }
    if (*title) {
        SysFreeString(*title);
        *title = nullptr;
    }
    if (!title_.IsEmpty()) {
        *title = SysAllocStringLen(title_.c_str(), static_cast<UINT>(title_.Length()));
    }
    return S_OK;
}

HRESULT CAFPrintout::BeginPage(const RECT* page, HDC dc, HDC printer)
{
    return KVO::GuardSlot([&] {
        page_ = page ? *page : RECT{};
        dc_.reset();
        printer_.reset();
        if (!printer) {
            dc_ = std::make_unique<owl::TDC>(dc);
        } else {
            printer_ = std::make_unique<owl::TPrintDC>(printer);
            dc_ = std::make_unique<owl::TPrintPreviewDC>(dc, *printer_, DeviceArea(dc));
        }
        return S_OK;
    });
}

HRESULT CAFPrintout::GetPageCount(std::int32_t* count)
{
    return KVO::GuardSlot([&] {
        pageCount_ = PageCount();
        if (count) {
            *count = pageCount_;
        }
        return S_OK;
    });
}

HRESULT CAFPrintout::PrintPage(std::int32_t page, const RECT* rect)
{
    if (!dc_) {
        return E_FAIL; // no page begun
    }
    return KVO::GuardSlot([&] {
        PrintPage(page, *dc_, rect ? *rect : page_);
        dc_->RestoreObjects();
        return S_OK;
    });
}

HRESULT CAFPrintout::GetHostView(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = hostView_.Get();
    if (*out) {
        (*out)->AddRef();
    }
    return S_OK;
}

HRESULT CAFPrintout::SetPageSelection(IKVOBitset* pages)
{
    return KVO::GuardSlot([&] {
        selection_ = KVO::Bitset(KVO::BitsetRep::CopyFromInterface(pages));
        return S_OK;
    });
}

HRESULT CAFPrintout::IsPageSelected(std::int32_t page)
{
    if (selection_.IsEmpty()) {
        return S_OK;
    }
    return page >= 0 && selection_.Test(static_cast<std::uint32_t>(page)) ? S_OK : S_FALSE;
}

HRESULT CAFPrintout::SetFlags(DWORD value, DWORD mask)
{
    flags_ = (flags_ & ~mask) | value;
    return S_OK;
}

HRESULT CAFPrintout::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = flags_;
    return S_OK;
}

CXPrintout::CXPrintout(CXViewBase& view, const KVO::String& title)
    : CAFPrintout(view.HostViewObject(), title, KVO::Bitset()), view_(view)
{
}

void CXPrintout::PrintPage(int, owl::TDC& dc, const RECT& rect)
{
    view_.DrawInto(dc, PrinterDC() ? PrinterDC()->GetHandle() : nullptr, rect);
}
