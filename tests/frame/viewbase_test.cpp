// The views' copying and printing: the content state, the clipboard's formats and the picture's frame, print and
// preview through the host frame's print service, and the printout's pages, selection and device contexts.
#include "foundation/moduleinstance.h"
#include "graph/analysisview/analysisview.h"
#include "graph/analysisview/cxviewbase.h"
#include "graph/analysisview/printout.h"
#include "tableview/cxtableviewex.h"
#include "host/messagebus.h"
#include "host/printservice.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/ui/window.h"
#include "sharedhost.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

owl::TModule& ViewModule()
{
    static owl::TModule module(nullptr, KVO::ModuleInstance());
    return module;
}

// The view only asks whether it has an analysis document; it never reaches into it here.
CX::Doc::CXDoc* SomeDocument(IHostDocument*)
{
    static char stand_in;
    return reinterpret_cast<CX::Doc::CXDoc*>(&stand_in);
}

// A view that draws a known picture scaled to the rectangle it is given: a grey field with a black frame, a red
// diagonal and a blue disc in the middle; it puts text on the clipboard before its picture.
class TestView final : public CXViewBase {
public:
    TestView(IHostDocument* document, IHostView* hostView)
        : CXViewBase(nullptr, document, hostView, u"test view", &ViewModule(), 0)
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 50;
        Attr.Y = 60;
        Attr.W = 200;
        Attr.H = 120;
    }
    KVO::String CopyCommandText() override { return KVO::String(u"Copy"); }
    KVO::String PrintCommandText() override { return KVO::String(u"Print"); }
    void Refresh() override { ++refreshed; }
    KVO::String Title() override { return KVO::String(u"Test view title"); }
    void DrawInto(HDC target, HDC attribute, const RECT& rect) override
    {
        drawnRect = rect;
        measuredOn = attribute;
        HBRUSH grey = CreateSolidBrush(RGB(220, 220, 220));
        FillRect(target, &rect, grey);
        DeleteObject(grey);
        FrameRect(target, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        HPEN red = CreatePen(PS_SOLID, static_cast<int>(std::max<LONG>(1, (rect.right - rect.left) / 100)), RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(target, red);
        MoveToEx(target, rect.left, rect.top, nullptr);
        LineTo(target, rect.right, rect.bottom);
        SelectObject(target, GetStockObject(NULL_PEN));
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        HGDIOBJ oldBrush = SelectObject(target, blue);
        const LONG w = rect.right - rect.left;
        const LONG h = rect.bottom - rect.top;
        Ellipse(target, rect.left + w * 2 / 5, rect.top + h * 2 / 5, rect.left + w * 3 / 5, rect.top + h * 3 / 5);
        SelectObject(target, oldBrush);
        SelectObject(target, oldPen);
        DeleteObject(blue);
        DeleteObject(red);
    }
    void AddClipboardFormats(owl::TClipboard& clipboard) override
    {
        HGLOBAL text = GlobalAlloc(GMEM_FIXED, 8);
        clipboard.SetClipboardData(CF_UNICODETEXT, text);
    }

    int refreshed = 0;
    RECT drawnRect{};
    HDC measuredOn = nullptr;
};

struct ViewFixture : ::testing::Test {
    void SetUp() override
    {
        SharedHost();
        frame = host::HostFrame::Create(SharedHost().Log(), 400, 300);
        site = host::ViewSite::Create(SharedHost().Log(), frame);
        document = host::HostDocument::Create(SharedHost().Log(), 0x2A, SharedHost().NewChartData());
        CXViewBase::SetDocumentFinder(&SomeDocument);
    }
    void TearDown() override
    {
        if (view) {
            view->Destroy();
            delete view;
        }
        CXViewBase::SetDocumentFinder(nullptr);
        platform::LockClipboard(false);
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
    TestView& MakeView()
    {
        view = new TestView(document.Get(), static_cast<IHostView*>(site.Get()));
        view->Create();
        return *view;
    }

    platform::ComPtr<host::HostFrame> frame;
    platform::ComPtr<host::ViewSite> site;
    platform::ComPtr<host::HostDocument> document;
    TestView* view = nullptr;
};

// The host's message through the view's table: 1 when an entry took it.
HRESULT Send(TestView& view, DWORD id)
{
    auto message = platform::ComPtr<host::HostMessage>::Adopt(host::HostMessage::Create(id, 0));
    return CAF::DispatchMessage(view, message.Get());
}

WORD ContentState(TestView& view)
{
    auto state = host::CommandState::Create();
    CAF::QueryEnable(view, CXViewBase::ContentStateId(), state.Get());
    return state->Enabled().value_or(0);
}

TEST_F(ViewFixture, CopyPutsTheViewsFormatsThenThePictureInBothKinds)
{
    TestView& v = MakeView();
    const int notices = SharedHost().GetFramework().CopyNotices().Notices();
    EXPECT_EQ(Send(v, CXViewBase::CopyMessageId()), 1);
    EXPECT_EQ(SharedHost().GetFramework().CopyNotices().Notices(), notices + 1);
    EXPECT_EQ(platform::ClipboardFormats(), (std::vector<UINT>{CF_UNICODETEXT, CF_ENHMETAFILE, CF_METAFILEPICT}));
    EXPECT_EQ(v.refreshed, 1);

    // The frame: the client area in .01 mm by the screen's size; the drawing fills the picture.
    HDC screen = GetDC(nullptr);
    const int mmX = GetDeviceCaps(screen, HORZSIZE);
    const int mmY = GetDeviceCaps(screen, VERTSIZE);
    const int resX = GetDeviceCaps(screen, HORZRES);
    const int resY = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    RECT client{};
    GetClientRect(v.GetHandle(), &client);
    ENHMETAHEADER header{};
    auto metafile = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
    ASSERT_EQ(GetEnhMetaFileHeader(metafile, sizeof header, &header), sizeof header);
    EXPECT_EQ(header.rclFrame.right, client.right * mmX * 100 / resX);
    EXPECT_EQ(header.rclFrame.bottom, client.bottom * mmY * 100 / resY);
    EXPECT_EQ(v.drawnRect.right, header.rclFrame.right * resX / (mmX * 100));
    EXPECT_EQ(v.drawnRect.bottom, header.rclFrame.bottom * resY / (mmY * 100));
    auto* picture = static_cast<METAFILEPICT*>(GlobalLock(GetClipboardData(CF_METAFILEPICT)));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->xExt, header.rclFrame.right);
    EXPECT_EQ(picture->yExt, header.rclFrame.bottom);

    // Played back, the picture shows what the view drew.
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(client.right, client.bottom, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT all{0, 0, client.right, client.bottom};
    ASSERT_TRUE(PlayEnhMetaFile(memory, metafile, &all));
    EXPECT_EQ(GetPixel(memory, client.right / 2, client.bottom / 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(memory, 5, client.bottom - 5), RGB(220, 220, 220));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(ViewFixture, AViewAsWideAsTheScreenGetsAFrameAsWideAsTheScreen)
{
    HDC screen = GetDC(nullptr);
    const SIZE pixels{GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES)};
    const RECT frameOfScreen = CX::MetafileFrame(screen, pixels);
    EXPECT_EQ(frameOfScreen.right, GetDeviceCaps(screen, HORZSIZE) * 100);
    EXPECT_EQ(frameOfScreen.bottom, GetDeviceCaps(screen, VERTSIZE) * 100);

    // A reference device that reports no size in millimetres is not divided by: the screen measures instead.
    HBITMAP tiny = CreateBitmap(1, 1, 1, 32, nullptr);
    HDC sizeless = gdi::CreatePageDc(tiny, 1200);
    ASSERT_EQ(GetDeviceCaps(sizeless, HORZSIZE), 0);
    const RECT drawn = CX::MetafileDrawingRect(sizeless, screen, frameOfScreen);
    EXPECT_EQ(drawn.right, pixels.cx);
    EXPECT_EQ(drawn.bottom, pixels.cy);
    DeleteDC(sizeless);
    DeleteObject(tiny);
    ReleaseDC(nullptr, screen);
}

TEST_F(ViewFixture, ALockedClipboardEndsTheCopyWithoutRefreshing)
{
    TestView& v = MakeView();
    platform::LockClipboard(true);
    EXPECT_EQ(v.OnCopy(), S_OK);
    EXPECT_TRUE(platform::ClipboardFormats().empty());
    EXPECT_EQ(v.refreshed, 0);
}

TEST_F(ViewFixture, WithoutContentNothingIsPrintedButCopyingStillWorks)
{
    TestView& v = MakeView();
    const testutil::TempFolder folder;
    const std::string pdf = folder / "no_content.pdf";
    frame->Printing().SetOutput(pdf);
    frame->SetHasContent(false);
    EXPECT_EQ(ContentState(v), 0);
    EXPECT_EQ(v.OnPrint(), S_OK);
    EXPECT_EQ(v.OnPrintPreview(), S_OK);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(frame->Printing().Previews().empty());
    v.OnCopy();
    EXPECT_EQ(platform::ClipboardFormats().size(), 3u);

    frame->SetHasContent(true);
    EXPECT_EQ(ContentState(v), 0xFFFF);
}

TEST_F(ViewFixture, WithoutAnAnalysisDocumentPrintAndPreviewDoNothing)
{
    CXViewBase::SetDocumentFinder(nullptr); // the host document has no analysis document
    TestView& v = MakeView();
    EXPECT_EQ(v.Document(), nullptr);
    frame->SetHasContent(true);
    const testutil::TempFolder folder;
    const std::string pdf = folder / "no_document.pdf";
    frame->Printing().SetOutput(pdf);
    v.OnPrint();
    v.OnPrintPreview();
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(frame->Printing().Previews().empty());
}

TEST_F(ViewFixture, AFrameWithoutAPrintServiceIsLeftAlone)
{
    TestView& v = MakeView();
    frame->SetHasContent(true);
    frame->SetPrintServiceOffered(false);
    EXPECT_EQ(v.OnPrint(), S_OK);
    EXPECT_EQ(frame->Printing().PrintedPages(), 0);
}

// Renders the first page of a PDF to PNG with pdftoppm at 50 pixels per inch; empty when pdftoppm is missing.
std::string RenderFirstPage(const std::string& pdf)
{
    if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) {
        return {};
    }
    const std::string stem = pdf + ".page";
    const std::string command = "pdftoppm -r 50 -f 1 -l 1 -singlefile -png '" + pdf + "' '" + stem + "'";
    return std::system(command.c_str()) == 0 ? stem + ".png" : std::string();
}

TEST_F(ViewFixture, PrintingWritesOnePdfPageOfTheView)
{
    TestView& v = MakeView();
    frame->SetHasContent(true);
    const testutil::TempFolder folder;
    const std::string pdf = folder / "view.pdf";
    frame->Printing().SetOutput(pdf, 50);
    EXPECT_EQ(Send(v, CXViewBase::PrintMessageId()), 1);
    EXPECT_EQ(frame->Printing().PrintedPages(), 1);
    // The view hands its printout to the print service with flag 1, as the table view does.
    const std::vector<host::Call> printed = SharedHost().Log().Of("print");
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(printed.back().operation, "Print");
    EXPECT_EQ(printed.back().detail, host::Hex(1));
    EXPECT_EQ(frame->Printing().LastTitle(), u"Test view title");
    EXPECT_EQ(v.drawnRect.right, 425 - 2 * 12) << "the printable area at 50 pixels per inch: a quarter inch less on each side";
    EXPECT_EQ(v.measuredOn, nullptr) << "printing measures on the page itself";
    std::ifstream file(pdf, std::ios::binary);
    std::string head(5, '\0');
    file.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");

    const std::string png = RenderFirstPage(pdf);
    if (png.empty()) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    const std::optional<gdi::Image> page = gdi::LoadPng(png);
    ASSERT_TRUE(page);
    const gdi::GoldenCheck check = gdi::CheckGolden(*page, std::string(TEST_DATA_DIR) + "/printed_view_page.png", 24, 60);
    EXPECT_TRUE(check.ok) << check.message;
}

TEST_F(ViewFixture, PreviewDrawsOnThePreviewWhileMeasuringOnThePrinter)
{
    TestView& v = MakeView();
    frame->SetHasContent(true);
    EXPECT_EQ(Send(v, CXViewBase::PrintPreviewMessageId()), 1);
    ASSERT_EQ(frame->Printing().Previews().size(), 1u);
    EXPECT_NE(v.measuredOn, nullptr);
    EXPECT_EQ(v.drawnRect.right, gdi::kPrinterDpi * 8) << "the printer's printable area, in the printer's pixels";
    const gdi::Image& shown = frame->Printing().Previews().front();
    EXPECT_EQ(shown.width, 612);
    EXPECT_EQ(shown.at(306, 396), RGB(0, 0, 255)) << "the disc lands in the middle of the preview";
    EXPECT_EQ(shown.at(20, 700), RGB(220, 220, 220));
    // The preview is the whole sheet at 72 dpi: the printable area keeps the printer's quarter inch (18 px) from
    // every edge, as the page will on paper.
    EXPECT_EQ(shown.at(9, 396), RGB(255, 255, 255)) << "left margin";
    EXPECT_EQ(shown.at(602, 396), RGB(255, 255, 255)) << "right margin";
    EXPECT_EQ(shown.at(306, 9), RGB(255, 255, 255)) << "top margin";
    EXPECT_EQ(shown.at(306, 782), RGB(255, 255, 255)) << "bottom margin";
    EXPECT_EQ(shown.at(20, 396), RGB(220, 220, 220)) << "the page starts at the printable edge";
    EXPECT_EQ(shown.at(591, 396), RGB(220, 220, 220));
}

TEST_F(ViewFixture, TheHostPrintsAnOpenedViewAndSavesItsPicture)
{
    // The table view without an analysis document (it reaches into a real one; both views print with a document in
    // their own tests): it has no table to print, and the host still saves its picture.
    CXViewBase::SetDocumentFinder(nullptr);
    platform::ComPtr<IDocViewClass> viewClass(new CAFOwlDocViewClass<CAFOwlDocView<CXTableViewEx>>(&ViewModule()));
    host::OpenedView opened = host::OpenView(SharedHost().Log(), viewClass.Get(), document.Get());
    ASSERT_EQ(opened.created, S_OK);
    opened.frame->SetHasContent(true);
    const testutil::TempFolder folder;
    const std::string pdf = folder / "opened_view.pdf";
    const std::string png = folder / "opened_view.png";
    EXPECT_EQ(host::PrintViewToPdf(opened, pdf, 40), 0);
    EXPECT_TRUE(host::SaveViewPicture(opened, png));
    const std::optional<gdi::Image> picture = gdi::LoadPng(png);
    ASSERT_TRUE(picture);
    RECT window{};
    GetWindowRect(opened.window, &window);
    EXPECT_EQ(picture->width, window.right - window.left);
    opened.view->Close();
}

// A printout that counts its pages and remembers what it drew on.
class CountingPrintout final : public CAFPrintout {
public:
    CountingPrintout(const KVO::String& title, const KVO::Bitset& pages, int count)
        : CAFPrintout(nullptr, title, pages), count_(count)
    {
    }
    void PrintPage(int page, owl::TDC& dc, const RECT&) override
    {
        printed.push_back(page);
        measuredOnPrinter = PrinterDC() != nullptr;
        drawnOn = dc.GetHandle();
    }
    int PageCount() override { return count_; }

    std::vector<int> printed;
    bool measuredOnPrinter = false;
    HDC drawnOn = nullptr;

private:
    int count_;
};

TEST(Printout, PagesSelectionFlagsAndTitle)
{
    platform::ComPtr<CountingPrintout> one(new CountingPrintout(KVO::String(u"Title"), KVO::Bitset(), 1));
    std::int32_t count = 0;
    EXPECT_EQ(one->GetPageCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(one->IsPastEnd(0), S_OK);
    EXPECT_EQ(one->IsPastEnd(1), S_FALSE);
    EXPECT_EQ(one->GetMode(), 3u);
    EXPECT_EQ(static_cast<ICAFPrintoutEx*>(one.Get())->PrintPage(0, nullptr), E_FAIL) << "no page begun";

    KVO::Bitset onlyTwo;
    onlyTwo.WordAt(0) = 1u << 2;
    const struct {
        const char* name;
        KVO::Bitset selection;
        std::vector<HRESULT> pages; // answers for pages 0 to 3 and 40
    } selections[] = {
        {"empty selects every page", KVO::Bitset(), {S_OK, S_OK, S_OK, S_OK, S_OK}},
        {"{2} selects page 2 only", onlyTwo, {S_FALSE, S_FALSE, S_OK, S_FALSE, S_FALSE}},
    };
    for (const auto& s : selections) {
        SCOPED_TRACE(s.name);
        platform::ComPtr<CountingPrintout> printout(new CountingPrintout(KVO::String(u""), KVO::Bitset(), 4));
        EXPECT_EQ(printout->SetPageSelection(s.selection.Interface()), S_OK);
        const std::int32_t pages[] = {0, 1, 2, 3, 40};
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(printout->IsPageSelected(pages[i]), s.pages[i]) << pages[i];
        }
    }
    // The selection is a copy: changing the caller's set later changes nothing.
    KVO::Bitset later;
    platform::ComPtr<CountingPrintout> copied(new CountingPrintout(KVO::String(u""), later, 4));
    later.WordAt(0) = 1;
    EXPECT_EQ(copied->IsPageSelected(3), S_OK);

    DWORD flags = 0;
    one->SetFlags(0x6, 0x0);
    one->SetFlags(0x1, 0x4);
    one->GetFlags(&flags);
    EXPECT_EQ(flags, 0x3u);

    BSTR title = SysAllocString(u"old");
    EXPECT_EQ(one->GetTitle(&title), S_OK);
    EXPECT_EQ(std::u16string(title), u"Title");
    SysFreeString(title);
    EXPECT_EQ(one->GetTitle(nullptr), S_OK);
    platform::ComPtr<CountingPrintout> untitled(new CountingPrintout(KVO::String(u""), KVO::Bitset(), 1));
    title = nullptr;
    untitled->GetTitle(&title);
    EXPECT_EQ(title, nullptr);
}

TEST(Printout, PreviewDrawsOnThePreviewDeviceWithThePrinterAtHand)
{
    platform::ComPtr<CountingPrintout> printout(new CountingPrintout(KVO::String(u""), KVO::Bitset(), 1));
    HDC printer = CreateDCW(u"PDF", u"printer", nullptr, nullptr);
    HDC preview = CreateCompatibleDC(nullptr);
    const RECT page{0, 0, 100, 100};
    printout->BeginPage(&page, preview, printer);
    static_cast<ICAFPrintoutEx*>(printout.Get())->PrintPage(0, &page);
    EXPECT_TRUE(printout->measuredOnPrinter);
    EXPECT_EQ(printout->drawnOn, preview);
    printout->BeginPage(&page, preview, nullptr);
    static_cast<ICAFPrintoutEx*>(printout.Get())->PrintPage(0, &page);
    EXPECT_FALSE(printout->measuredOnPrinter);
    EXPECT_EQ(printout->printed, (std::vector<int>{0, 0}));
    EXPECT_TRUE(GetDeviceCaps(printer, HORZRES) > 0) << "the printer's DC is not deleted by the printout";
    printout = nullptr;
    DeleteDC(preview);
    DeleteDC(printer);
}

// The title in a PDF's document information, as cairo writes a text of ASCII characters.
std::string PdfTitle(const std::string& pdf)
{
    std::ifstream file(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string key = "/Title (";
    const std::size_t at = bytes.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + key.size();
    return bytes.substr(start, bytes.find(')', start) - start);
}

// As a PDF printer names its document after the print job, the file bears its printout's title; a file of several
// printouts bears the first one's that printed a page; a printout without a title leaves the file without one.
TEST(Printout, ThePdfBearsTheTitleOfItsFirstPrintedPrintout)
{
    const testutil::TempFolder folder;
    const std::string pdf = folder / "titled.pdf";
    const struct {
        const char* what;
        std::vector<std::pair<std::u16string, int>> printouts; // title, pages
        bool job;
        std::string title;
    } cases[] = {
        {"one printout", {{u"cardiac.txt: Crestmetrics View", 1}}, false, "cardiac.txt: Crestmetrics View"},
        {"a job of two", {{u"cardiac.txt: Results", 1}, {u"second: Results", 2}}, true, "cardiac.txt: Results"},
        {"a job whose first printout prints nothing", {{u"empty", 0}, {u"printed", 1}}, true, "printed"},
        {"no title", {{u"", 1}}, false, ""},
    };
    for (const auto& c : cases) {
        auto printing = host::PrintService::Create(SharedHost().Log());
        printing->SetOutput(pdf, 50);
        if (c.job) {
            printing->BeginJob();
        }
        for (const auto& [title, pages] : c.printouts) {
            platform::ComPtr<CountingPrintout> printout(
                new CountingPrintout(KVO::String(title.c_str()), KVO::Bitset(), pages));
            EXPECT_EQ(printing->Print(printout.Get(), 1), S_OK) << c.what;
        }
        if (c.job) {
            EXPECT_GT(printing->EndJob(), 0) << c.what;
        }
        EXPECT_EQ(PdfTitle(pdf), c.title) << c.what;
        std::filesystem::remove(pdf);
    }
}

} // namespace
