// Printed pages as a PDF file. A page is drawn through a printer DC straight into the PDF (text as text, lines as
// lines), or given as a bitmap drawn at a resolution and placed on a PDF page of its size.
#pragma once

#include "platform/win/wingdi.h"

#include <cairo.h>

#include <memory>
#include <string>

namespace platform {
class AtomicFile;
}

namespace gdi {

class PdfWriter {
public:
    explicit PdfWriter(std::string path);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // False when the page cannot be written (the file cannot be made, the bitmap is not one).
    bool AddPage(HBITMAP page, int dpi);
    // Starts a page of a sheet of `sheet` device pixels at `dpi` and gives a printer DC that draws on it
    // (gdi::CreateVectorPageDc: its device origin is the printable area's corner); null when the file cannot be made.
    HDC BeginPage(SIZE sheet, int dpi);
    // Ends the page begun with BeginPage and deletes its DC; false when it could not be written.
    bool EndPage(HDC page);
    // The document's title, as a PDF reader shows it (none when empty); may be given before the first page.
    void SetTitle(std::u16string title);
    // Ends the file; false when it could not be written whole (a page failed, the disk filled), and then any old
    // file stays as it was. Without a page nothing is written.
    bool Finish();
    int Pages() const { return pages_; }

private:
    // Opens the file and the PDF surface at the first page, else sets the next page's size (in points).
    bool StartSurface(double width, double height);

    void WriteTitle();

    std::string path_;
    std::u16string title_;
    std::unique_ptr<platform::AtomicFile> file_;
    cairo_surface_t* surface_ = nullptr;
    int pages_ = 0;
    bool failed_ = false;
};

} // namespace gdi
