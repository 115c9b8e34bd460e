#include "platform/gdi/printing.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/objects.h"
#include "platform/posix/atomicfile.h"
#include "platform/win/codepage.h"

#include <cairo-pdf.h>

#include <utility>

namespace gdi {

namespace {

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length)
{
    return static_cast<platform::AtomicFile*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS
                                                                              : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

PdfWriter::PdfWriter(std::string path) : path_(std::move(path)) {}

PdfWriter::~PdfWriter() { Finish(); }

bool PdfWriter::StartSurface(double width, double height)
{
    if (!surface_) {
        file_ = std::make_unique<platform::AtomicFile>(path_);
        if (!file_->Good()) {
            failed_ = true;
            return false;
        }
        surface_ = cairo_pdf_surface_create_for_stream(WriteToFile, file_.get(), width, height);
        WriteTitle();
    } else {
        cairo_pdf_surface_set_size(surface_, width, height);
    }
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        failed_ = true;
        return false;
    }
    return true;
}

void PdfWriter::SetTitle(std::u16string title)
{
    title_ = std::move(title);
    WriteTitle();
}

void PdfWriter::WriteTitle()
{
    if (surface_ && !title_.empty()) {
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, platform::Utf16ToUtf8(title_).c_str());
    }
}

bool PdfWriter::AddPage(HBITMAP page, int dpi)
{
    Bitmap* bitmap = AsBitmap(page);
    if (!bitmap || !bitmap->surface || dpi <= 0) {
        failed_ = true;
        return false;
    }
    const double scale = 72.0 / dpi;
    if (!StartSurface(bitmap->width * scale, bitmap->height * scale)) {
        return false;
    }
    cairo_surface_set_device_scale(surface_, 1.0, 1.0);
    cairo_surface_flush(bitmap->surface);
    cairo_t* cr = cairo_create(surface_);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, bitmap->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_show_page(cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    pages_ += ok;
    failed_ = failed_ || !ok;
    return ok;
}

HDC PdfWriter::BeginPage(SIZE sheet, int dpi)
{
    if (dpi <= 0 || sheet.cx <= 0 || sheet.cy <= 0) {
        failed_ = true;
        return nullptr;
    }
    const double scale = 72.0 / dpi;
    if (!StartSurface(sheet.cx * scale, sheet.cy * scale)) {
        return nullptr;
    }
    // The page's units are the printer's pixels; what cairo cannot draw as vectors it rasterises at that resolution.
    cairo_surface_set_device_scale(surface_, scale, scale);
    cairo_surface_set_fallback_resolution(surface_, dpi, dpi);
    return CreateVectorPageDc(surface_, dpi, sheet, PrintableArea(sheet, dpi));
}

bool PdfWriter::EndPage(HDC page)
{
    if (!page || !surface_) {
        failed_ = true;
        return false;
    }
    DeleteDC(page);
    cairo_surface_show_page(surface_);
    const bool ok = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
    pages_ += ok;
    failed_ = failed_ || !ok;
    return ok;
}

bool PdfWriter::Finish()
{
    if (!surface_) {
        return pages_ == 0;
    }
    cairo_surface_finish(surface_);
    const bool finished = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    // A file missing a page must not replace the old one.
    const bool ok = finished && !failed_ && file_->Commit();
    file_.reset();
    return ok;
}

} // namespace gdi
