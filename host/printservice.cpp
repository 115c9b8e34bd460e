#include "host/printservice.h"

#include <optional>

#include "platform/com/oleauto.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/printing.h"

namespace host {

namespace {
// US Letter in pixels at a resolution.
SIZE LetterAt(int dpi) { return SIZE{dpi * 17 / 2, dpi * 11}; }

HBITMAP WhitePage(SIZE size)
{
    HBITMAP page = CreateBitmap(size.cx, size.cy, 1, 32, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, page);
    const RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, old);
    DeleteDC(dc);
    return page;
}

std::u16string TitleOf(ICAFPrintoutEx* printout)
{
    BSTR title = nullptr;
    printout->GetTitle(&title);
    std::u16string text = title ? std::u16string(title) : std::u16string();
    SysFreeString(title);
    return text;
}
} // namespace

platform::ComPtr<PrintService> PrintService::Create(CallLog& log)
{
    return platform::ComPtr<PrintService>(new PrintService(log));
}

HRESULT PrintService::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICAFPrintService, static_cast<ICAFPrintService*>(this)}}, iid, out);
}

void PrintService::SetOutput(std::string pdfPath, int dpi)
{
    output_ = std::move(pdfPath);
    dpi_ = dpi > 0 ? dpi : gdi::kPrinterDpi;
}

template <class PageFn>
void PrintService::ForEachPage(ICAFPrintoutEx* printout, PageFn page)
{
    platform::ComPtr<ICAFPrintoutType> selection;
    printout->QueryInterface(IID_ICAFPrintoutType, selection.OutVoid());
    std::int32_t count = 0;
    printout->GetPageCount(&count);
    printout->BeginDocument(0);
    for (std::int32_t n = 0; printout->IsPastEnd(n) == S_OK; ++n) {
        if (!selection || selection->IsPageSelected(n) == S_OK) {
            page(n);
        }
    }
    printout->EndDocument(0);
}

HRESULT PrintService::Print(ICAFPrintoutEx* printout, DWORD flags)
{
    log_.Record("print", "Print", Hex(flags));
    printedPages_ = 0;
    if (!printout) {
        return E_POINTER;
    }
    lastTitle_ = TitleOf(printout);
    if (output_.empty()) {
        return E_FAIL;
    }
    std::optional<gdi::PdfWriter> own;
    if (!job_) {
        own.emplace(output_);
    }
    gdi::PdfWriter& pdf = job_ ? *job_ : *own;
    const int before = pdf.Pages();
    // As a PDF printer names its document after the print job: a file of several printouts after the first.
    if (before == 0) {
        pdf.SetTitle(lastTitle_);
    }
    bool written = true;
    // A printer's page: the sheet at the printer's resolution, of which the printout gets the printable area.
    const SIZE sheet = LetterAt(dpi_);
    const RECT printable = gdi::PrintableArea(sheet, dpi_);
    const RECT area{0, 0, printable.right - printable.left, printable.bottom - printable.top};
    // As a printer does, the printout gets the device and the page before it counts its pages; what it draws
    // then is not kept.
    cairo_surface_t* nothing = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    HDC measureDc = gdi::CreateVectorPageDc(nothing, dpi_, sheet, printable);
    printout->BeginPage(&area, measureDc, nullptr);
    ForEachPage(printout, [&](std::int32_t n) {
        HDC dc = pdf.BeginPage(sheet, dpi_);
        if (!dc) {
            written = false;
            return;
        }
        if (SUCCEEDED(printout->BeginPage(&area, dc, nullptr))) {
            printout->PrintPage(n, &area);
        }
        // The printout keeps its wrappers until the next page: end them before the page's DC goes.
        printout->BeginPage(&area, measureDc, nullptr);
        written = pdf.EndPage(dc) && written;
    });
    printout->BeginPage(&area, nullptr, nullptr);
    DeleteDC(measureDc);
    cairo_surface_destroy(nothing);
    printedPages_ = pdf.Pages() - before;
    if (job_) {
        jobWritten_ = jobWritten_ && written;
        return written ? S_OK : E_FAIL;
    }
    written = pdf.Finish() && written;
    return written ? S_OK : E_FAIL;
}

void PrintService::BeginJob()
{
    job_ = std::make_unique<gdi::PdfWriter>(output_);
    jobWritten_ = true;
}

int PrintService::EndJob()
{
    if (!job_) {
        return 0;
    }
    const int pages = job_->Pages();
    const bool written = job_->Finish() && jobWritten_;
    job_.reset();
    return written ? pages : 0;
}

HRESULT PrintService::Preview(ICAFPrintoutEx* printout)
{
    log_.Record("print", "Preview");
    return PreviewPages(printout);
}

HRESULT PrintService::SendToPrintService(ICAFPrintoutEx* printout)
{
    log_.Record("print", "SendToPrintService");
    ++sent_;
    return PreviewPages(printout);
}

HRESULT PrintService::PreviewPages(ICAFPrintoutEx* printout)
{
    previews_.clear();
    if (!printout) {
        return E_POINTER;
    }
    lastTitle_ = TitleOf(printout);
    HDC printer = CreateDCW(u"PDF", u"Preview printer", nullptr, nullptr);
    const RECT printerPage{0, 0, GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES)};
    printout->BeginPage(&printerPage, printer, nullptr);
    ForEachPage(printout, [&](std::int32_t n) {
        HBITMAP page = WhitePage(LetterAt(kPreviewDpi));
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, page);
        if (SUCCEEDED(printout->BeginPage(&printerPage, dc, printer))) {
            printout->PrintPage(n, &printerPage);
        }
        // The printout keeps its wrappers until the next page: end them with a page of nothing.
        printout->BeginPage(&printerPage, nullptr, nullptr);
        SelectObject(dc, old);
        DeleteDC(dc);
        previews_.push_back(gdi::ImageOfBitmap(page));
        DeleteObject(page);
    });
    DeleteDC(printer);
    return S_OK;
}

platform::ComPtr<CopyNotifyService> CopyNotifyService::Create(CallLog& log)
{
    return platform::ComPtr<CopyNotifyService>(new CopyNotifyService(log));
}

HRESULT CopyNotifyService::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICopyNotifyService, static_cast<ICopyNotifyService*>(this)}}, iid, out);
}

HRESULT CopyNotifyService::NotifyCopy(DWORD reserved)
{
    log_.Record("copy", "NotifyCopy", Hex(reserved));
    ++notices_;
    return S_OK;
}

} // namespace host
