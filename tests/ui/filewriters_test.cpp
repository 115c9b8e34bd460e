// Pictures and printouts written whole or not at all: a disk that fills part way keeps the old file, a page that
// fails keeps the old printout, and the writers report both.
#include "platform/gdi/image.h"
#include "platform/gdi/printing.h"
#include "platform/posix/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FileWriters : public ::testing::Test {
protected:
    void TearDown() override { platform::AtomicFile::ClearInjectedFault(); }
    std::string Old(const std::string& name)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << "an earlier " << name;
        return path;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t Files() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {})); }

    const testutil::TempFolder own;
    const fs::path folder = own.Path();
};

gdi::Image Stripes()
{
    gdi::Image image;
    image.width = 64;
    image.height = 48;
    for (int i = 0; i < image.width * image.height; ++i) {
        image.pixels.push_back((i / 7) % 2 ? 0x00FF8040u : 0x00102030u);
    }
    return image;
}

TEST_F(FileWriters, APictureCutOffByAFullDiskKeepsTheOldOne)
{
    const std::string path = Old("view.png");
    platform::AtomicFile::FailWritesBeyond(40, ENOSPC);
    EXPECT_FALSE(gdi::SavePng(Stripes(), path));
    EXPECT_EQ(Read(path), "an earlier view.png");
    EXPECT_EQ(Files(), 1u);
    platform::AtomicFile::ClearInjectedFault();
    ASSERT_TRUE(gdi::SavePng(Stripes(), path));
    EXPECT_EQ(gdi::LoadPng(path)->pixels, Stripes().pixels);
}

TEST_F(FileWriters, APrintoutCutOffOrMissingAPageKeepsTheOldOne)
{
    const std::string path = Old("view.pdf");
    HBITMAP page = CreateBitmap(200, 100, 1, 32, nullptr);
    {
        platform::AtomicFile::FailWritesBeyond(300, ENOSPC);
        gdi::PdfWriter pdf(path);
        pdf.AddPage(page, 96);
        pdf.AddPage(page, 96);
        EXPECT_FALSE(pdf.Finish());
    }
    platform::AtomicFile::ClearInjectedFault();
    EXPECT_EQ(Read(path), "an earlier view.pdf");
    {
        gdi::PdfWriter pdf(path);
        EXPECT_TRUE(pdf.AddPage(page, 96));
        EXPECT_FALSE(pdf.AddPage(nullptr, 96));
        EXPECT_FALSE(pdf.Finish());
    }
    EXPECT_EQ(Read(path), "an earlier view.pdf");
    EXPECT_EQ(Files(), 1u);
    {
        gdi::PdfWriter pdf(path);
        EXPECT_TRUE(pdf.AddPage(page, 96));
        EXPECT_TRUE(pdf.Finish());
    }
    EXPECT_EQ(Read(path).rfind("%PDF-", 0), 0u);
    DeleteObject(page);
}

} // namespace

namespace {
// The file's fonts as pdffonts lists them, or "" without pdffonts.
std::string FontListing(const std::string& pdf)
{
    if (std::system("command -v pdffonts >/dev/null 2>&1") != 0) {
        return {};
    }
    const std::string listing = pdf + ".fonts";
    if (std::system(("pdffonts '" + pdf + "' >'" + listing + "' 2>/dev/null").c_str()) != 0) {
        return {};
    }
    std::ifstream file(listing);
    return std::string(std::istreambuf_iterator<char>(file), {});
}
} // namespace

// The columns of a picture that hold ink in rows [top, bottom): first and last, or -1 when none.
std::pair<int, int> InkColumns(const gdi::Image& image, int top, int bottom)
{
    int first = -1;
    int last = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if ((image.at(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                first = first < 0 ? x : std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return {first, last};
}

TEST_F(FileWriters, ClippedTextOnAVectorPageKeepsEveryGlyphInsideItsClip)
{
    // A table cell's number is drawn clipped to its cell; the cell is far wider than the text, so every glyph shows
    // as whole as the same text drawn without a clip. At x 1505 (where a printed table's third column starts) a clip
    // narrowed to the glyphs and rounded to whole points used to shave the last glyph.
    const std::string path = (folder / "clipped.pdf").string();
    gdi::PdfWriter pdf(path);
    HDC page = pdf.BeginPage(SIZE{600 * 17 / 2, 600 * 11}, 600);
    ASSERT_NE(page, nullptr);
    HFONT font = CreateFontW(81, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
    HGDIOBJ old = SelectObject(page, font);
    const std::u16string texts[] = {u"1.809e5", u"237.6", u"1.898"};
    for (int i = 0; i < 3; ++i) {
        TextOutW(page, 1505, 200 + 400 * i, texts[i].c_str(), static_cast<int>(texts[i].size()));
        const RECT cell{1505, 2200 + 400 * i, 2067, 2300 + 400 * i};
        ExtTextOutW(page, cell.left, cell.top, ETO_CLIPPED | ETO_OPAQUE, &cell, texts[i].c_str(),
                    static_cast<UINT>(texts[i].size()), nullptr);
    }
    SelectObject(page, old);
    DeleteObject(font);
    ASSERT_TRUE(pdf.EndPage(page));
    ASSERT_TRUE(pdf.Finish());
    if (std::system(("pdftoppm -r 600 -singlefile -png '" + path + "' '" + path + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    const std::optional<gdi::Image> shown = gdi::LoadPng(path + ".png");
    ASSERT_TRUE(shown);
    for (int i = 0; i < 3; ++i) {
        // The page's device origin lies a quarter inch (150 dots) into the sheet.
        const auto free = InkColumns(*shown, 150 + 200 + 400 * i, 150 + 300 + 400 * i);
        const auto clipped = InkColumns(*shown, 150 + 2200 + 400 * i, 150 + 2300 + 400 * i);
        ASSERT_GE(free.first, 0);
        EXPECT_EQ(free, clipped) << platform::Utf16ToUtf8(texts[i]);
    }
}

TEST_F(FileWriters, APrinterPageIsWrittenAsVectorsWithItsPrintableArea)
{
    const std::string path = (folder / "vector.pdf").string();
    gdi::PdfWriter pdf(path);
    const SIZE letter{600 * 17 / 2, 600 * 11};
    HDC page = pdf.BeginPage(letter, 600);
    ASSERT_NE(page, nullptr);
    // The DC answers as a printer's: its resolution, the printable area and where it lies on the sheet.
    EXPECT_EQ(600, GetDeviceCaps(page, LOGPIXELSY));
    EXPECT_EQ(4800, GetDeviceCaps(page, HORZRES));
    EXPECT_EQ(6300, GetDeviceCaps(page, VERTRES));
    EXPECT_EQ(5100, GetDeviceCaps(page, PHYSICALWIDTH));
    EXPECT_EQ(150, GetDeviceCaps(page, PHYSICALOFFSETY));
    HFONT font = CreateFontW(-100, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
    HGDIOBJ old = SelectObject(page, font);
    TextOutW(page, 0, 0, u"Vm (mV)", 7);
    SelectObject(page, old);
    DeleteObject(font);
    MoveToEx(page, 0, 300, nullptr);
    LineTo(page, 4800, 300);
    // A blit cannot be a vector: it is placed as an image; a vector page cannot be read back.
    HBITMAP picture = CreateBitmap(8, 8, 1, 32, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(page, 100, 400, 8, 8, memory, 0, 0, SRCCOPY);
    EXPECT_EQ(CLR_INVALID, GetPixel(page, 0, 300));
    EXPECT_FALSE(BitBlt(memory, 0, 0, 8, 8, page, 0, 0, SRCCOPY));
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(picture);
    EXPECT_TRUE(pdf.EndPage(page));
    EXPECT_EQ(1, pdf.Pages());
    ASSERT_TRUE(pdf.Finish());

    const std::string bytes = Read(path);
    EXPECT_NE(bytes.find("/MediaBox [ 0 0 612 792 ]"), std::string::npos) << "a Letter sheet in points";
    EXPECT_NE(bytes.find("/Subtype /Image"), std::string::npos);
    const std::string fonts = FontListing(path);
    if (!fonts.empty()) {
        EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
    }
    // Rendered, the text starts at the printable area's corner, a quarter inch in from the sheet's.
    if (std::system(("pdftoppm -r 72 -singlefile -png '" + path + "' '" + path + "' 2>/dev/null").c_str()) == 0) {
        const std::optional<gdi::Image> shown = gdi::LoadPng(path + ".png");
        ASSERT_TRUE(shown);
        int left = shown->width;
        int top = shown->height;
        for (int y = 0; y < shown->height; ++y) {
            for (int x = 0; x < shown->width; ++x) {
                if ((shown->at(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                }
            }
        }
        EXPECT_EQ(18, left);
        EXPECT_NEAR(18, top, 3); // the text's first ink, below the top of its cell
    }
}

namespace {

// A page rendered by pdftoppm at `dpi` (its default thin-line mode); nothing when pdftoppm is missing.
std::optional<gdi::Image> Rendered(const std::string& path, int dpi)
{
    const std::string command =
        "pdftoppm -r " + std::to_string(dpi) + " -singlefile -png '" + path + "' '" + path + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return std::nullopt;
    }
    return gdi::LoadPng(path + ".png");
}

} // namespace

TEST_F(FileWriters, HairlinesInsideTheirClipShowAtEveryPlaceOnAVectorPage)
{
    // A plot's horizontal lines, one device pixel wide at 600 dpi, clipped to the plot they lie in. Their places
    // step by 67 dots (8.04 points), so that they meet every twenty-fifth of a point: a line just above a whole
    // point used to be clipped to that point and pushed out of it by a viewer that snaps hairlines to its pixels.
    const std::string path = (folder / "hairlines.pdf").string();
    gdi::PdfWriter pdf(path);
    HDC page = pdf.BeginPage(SIZE{600 * 17 / 2, 600 * 11}, 600);
    ASSERT_NE(page, nullptr);
    IntersectClipRect(page, 375, 0, 4425, 6000);
    std::vector<int> rows;
    for (int k = 0; k < 25; ++k) {
        rows.push_back(300 + 67 * k);
        MoveToEx(page, 375, rows.back(), nullptr);
        LineTo(page, 4425, rows.back());
    }
    ASSERT_TRUE(pdf.EndPage(page));
    ASSERT_TRUE(pdf.Finish());
    const std::optional<gdi::Image> shown = Rendered(path, 100);
    if (!shown) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    for (const int row : rows) {
        // The page's device origin lies a quarter inch (150 dots) into the sheet.
        const int y = static_cast<int>((150 + row + 0.5) * 100 / 600);
        bool drawn = false;
        for (int near = y - 1; near <= y + 1 && !drawn; ++near) {
            int dark = 0;
            for (int x = 100; x < 700; ++x) {
                dark += GetGValue(shown->at(x, near)) < 128;
            }
            drawn = dark == 600;
        }
        EXPECT_TRUE(drawn) << "the line at dot " << row << " is missing";
    }
}

TEST_F(FileWriters, AnAlphaBlendStaysTranslucentOnAVectorPage)
{
    // A filled area blended half through over a black line, as the analysis view lays its areas over the grid: on
    // paper the line shows through the area as on the screen.
    const std::string path = (folder / "blend.pdf").string();
    gdi::PdfWriter pdf(path);
    HDC page = pdf.BeginPage(SIZE{600 * 17 / 2, 600 * 11}, 600);
    ASSERT_NE(page, nullptr);
    HPEN pen = CreatePen(PS_SOLID, 60, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(page, pen);
    MoveToEx(page, 600, 0, nullptr);
    LineTo(page, 600, 1200);
    SelectObject(page, oldPen);
    DeleteObject(pen);
    // A 32-bit area of opaque yellow, premultiplied, blended with constant alpha 127.
    HBITMAP area = CreateBitmap(600, 600, 1, 32, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, area);
    const RECT all{0, 0, 600, 600};
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    FillRect(memory, &all, yellow);
    DeleteObject(yellow);
    const BLENDFUNCTION fixedAlpha{AC_SRC_OVER, 0, 127, 0};
    ASSERT_TRUE(AlphaBlend(page, 300, 300, 600, 600, memory, 0, 0, 600, 600, fixedAlpha));
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(area);
    ASSERT_TRUE(pdf.EndPage(page));
    ASSERT_TRUE(pdf.Finish());
    const std::optional<gdi::Image> shown = Rendered(path, 100);
    if (!shown) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    auto at = [&](int dotX, int dotY) { return shown->at((150 + dotX) * 100 / 600, (150 + dotY) * 100 / 600); };
    // Over the paper: yellow half through, (255, 255, 128); over the line: half its black.
    const COLORREF paper = at(450, 600);
    EXPECT_NEAR(GetRValue(paper), 255, 3);
    EXPECT_NEAR(GetBValue(paper), 128, 3);
    const COLORREF line = at(600, 600);
    EXPECT_NEAR(GetRValue(line), 127, 3);
    EXPECT_NEAR(GetGValue(line), 127, 3);
    EXPECT_NEAR(GetBValue(line), 0, 3);
}
