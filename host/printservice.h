// The host frame's printing: a printout's pages drawn as vectors at a printer's resolution into a PDF file (one PDF
// page per printed page, the printout given the printable area of US Letter), or, as a preview, drawn for the stand-in printer and shown on preview pictures. And the copy-notice
// service that the module tells before it copies.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/gdi/printing.h"
#include "sdk/printing.h"

#include <memory>
#include <string>
#include <vector>

namespace host {

// The host framework's message that asks a view to print.
inline constexpr DWORD kPrintMessageId = 0x8001000B;

class PrintService final : public ICAFPrintService, private RefCounted {
public:
    static platform::ComPtr<PrintService> Create(CallLog& log);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // Writes the selected pages to the output file, titled with the printout's title (in a job, the first printout's
    // that printed a page); E_FAIL without one or when it cannot be written.
    HRESULT Print(ICAFPrintoutEx* printout, DWORD flags) override;
    // Keeps one picture per selected page (see Previews).
    HRESULT Preview(ICAFPrintoutEx* printout) override;
    // Kept as the last printout sent, and previewed as Preview does.
    HRESULT SendToPrintService(ICAFPrintoutEx* printout) override;
    int SentCount() const { return sent_; }

    // Where Print writes, and the printer's resolution (US Letter).
    void SetOutput(std::string pdfPath, int dpi = gdi::kPrinterDpi);
    // Between these, every Print adds its pages to one file; EndJob ends it and gives the pages written (0 when the
    // file could not be written).
    void BeginJob();
    int EndJob();
    // Pages written by the last Print; the last printout's title.
    int PrintedPages() const { return printedPages_; }
    const std::u16string& LastTitle() const { return lastTitle_; }
    // The preview pictures of the last Preview, at 72 pixels per inch.
    const std::vector<gdi::Image>& Previews() const { return previews_; }

    static constexpr int kPreviewDpi = 72;

private:
    explicit PrintService(CallLog& log) : log_(log) {}
    // Calls `page` for every page of the printout that is selected, in order.
    template <class PageFn>
    void ForEachPage(ICAFPrintoutEx* printout, PageFn page);
    HRESULT PreviewPages(ICAFPrintoutEx* printout);

    CallLog& log_;
    std::string output_;
    int dpi_ = gdi::kPrinterDpi;
    int printedPages_ = 0;
    std::u16string lastTitle_;
    std::vector<gdi::Image> previews_;
    int sent_ = 0;
    std::unique_ptr<gdi::PdfWriter> job_;
    bool jobWritten_ = true;
};

class CopyNotifyService final : public ICopyNotifyService, private RefCounted {
public:
    static platform::ComPtr<CopyNotifyService> Create(CallLog& log);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT NotifyCopy(DWORD reserved) override;

    int Notices() const { return notices_; }

private:
    explicit CopyNotifyService(CallLog& log) : log_(log) {}
    CallLog& log_;
    int notices_ = 0;
};

} // namespace host
