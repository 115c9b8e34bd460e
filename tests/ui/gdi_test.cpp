#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"
#include "platform/win/uxtheme.h"

#include <gtest/gtest.h>

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A memory DC with a white bitmap of the given size.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    Canvas(int w, int h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bitmap);
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Count(COLORREF color, RECT r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                n += GetPixel(dc, x, y) == color;
            }
        }
        return n;
    }
};

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        objects = gdi::LiveObjectCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(objects, gdi::LiveObjectCount()); // every test frees what it makes
        ui::reset();
    }
    int objects = 0;
};

TEST_F(GdiTest, LinesLeaveOutTheirLastPixelAndAreNotAntiAliased)
{
    Canvas c(20, 20);
    MoveToEx(c.dc, 2, 5, nullptr);
    LineTo(c.dc, 10, 5);
    EXPECT_EQ(kBlack, GetPixel(c.dc, 2, 5));
    EXPECT_EQ(kBlack, GetPixel(c.dc, 9, 5));
    EXPECT_EQ(kWhite, GetPixel(c.dc, 10, 5));
    EXPECT_EQ(kWhite, GetPixel(c.dc, 5, 4));
    EXPECT_EQ(kWhite, GetPixel(c.dc, 5, 6));
    POINT current;
    GetCurrentPositionEx(c.dc, &current);
    EXPECT_EQ((POINT{10, 5}), current);
    // A diagonal has exactly one pixel per column, all fully black.
    MoveToEx(c.dc, 0, 10, nullptr);
    LineTo(c.dc, 8, 18);
    EXPECT_EQ(8, c.Count(kBlack, RECT{0, 10, 20, 20}));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const COLORREF p = GetPixel(c.dc, x, y);
            EXPECT_TRUE(p == kBlack || p == kWhite) << x << "," << y;
        }
    }
}

TEST_F(GdiTest, RectanglesFillsAndFrames)
{
    Canvas c(30, 30);
    HBRUSH red = CreateSolidBrush(kRed);
    HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
    HGDIOBJ oldBrush = SelectObject(c.dc, red);
    HGDIOBJ oldPen = SelectObject(c.dc, blue);
    Rectangle(c.dc, 2, 2, 12, 8); // outline on x 2..11, y 2..7
    EXPECT_EQ(kBlue, GetPixel(c.dc, 2, 2));
    EXPECT_EQ(kBlue, GetPixel(c.dc, 11, 7));
    EXPECT_EQ(kWhite, GetPixel(c.dc, 12, 7));
    EXPECT_EQ(kRed, GetPixel(c.dc, 3, 3));
    EXPECT_EQ(8 * 4, c.Count(kRed, RECT{0, 0, 30, 10}));
    EXPECT_EQ(2 * 10 + 2 * 4, c.Count(kBlue, RECT{0, 0, 30, 10}));
    // Without a pen the fill is one pixel smaller to the right and bottom.
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    Rectangle(c.dc, 2, 12, 12, 18);
    EXPECT_EQ(9 * 5, c.Count(kRed, RECT{0, 10, 30, 20}));
    const RECT box{20, 20, 25, 24};
    FillRect(c.dc, &box, reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1)));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(c.dc, 24, 23));
    EXPECT_EQ(kWhite, GetPixel(c.dc, 25, 23));
    FrameRect(c.dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(kBlack, GetPixel(c.dc, 20, 20));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(c.dc, 21, 21));
    SelectObject(c.dc, oldBrush);
    SelectObject(c.dc, oldPen);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST_F(GdiTest, MixModesClippingAndViewportOrigin)
{
    Canvas c(20, 20);
    const int old = SetROP2(c.dc, R2_NOT);
    MoveToEx(c.dc, 0, 1, nullptr);
    LineTo(c.dc, 10, 1);
    EXPECT_EQ(kBlack, GetPixel(c.dc, 3, 1));
    MoveToEx(c.dc, 0, 1, nullptr);
    LineTo(c.dc, 10, 1); // drawn twice: gone
    EXPECT_EQ(kWhite, GetPixel(c.dc, 3, 1));
    SetROP2(c.dc, old);
    // Clip region in device units; the viewport origin moves drawing but not the clip.
    IntersectClipRect(c.dc, 5, 5, 10, 10);
    const RECT all{0, 0, 20, 20};
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(25, c.Count(kBlack, all));
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetClipBox(c.dc, &box));
    EXPECT_EQ((RECT{5, 5, 10, 10}), box);
    const int saved = SaveDC(c.dc);
    SelectClipRgn(c.dc, nullptr);
    SetViewportOrgEx(c.dc, 10, 10, nullptr);
    EXPECT_EQ(kWhite, GetPixel(c.dc, 0, 0)); // device (10, 10)
    SetPixel(c.dc, 1, 1, kRed);
    RestoreDC(c.dc, saved);
    EXPECT_EQ(CLR_INVALID, GetPixel(c.dc, 11, 11)); // outside the restored clip
    SelectClipRgn(c.dc, nullptr);
    EXPECT_EQ(kRed, GetPixel(c.dc, 11, 11));
    POINT origin;
    GetViewportOrgEx(c.dc, &origin);
    EXPECT_EQ((POINT{0, 0}), origin);
}

TEST_F(GdiTest, BlitsCopyAndCombinePixels)
{
    Canvas src(4, 4);
    SetPixel(src.dc, 1, 1, kRed);
    SetPixel(src.dc, 2, 2, kBlue);
    Canvas dst(10, 10);
    BitBlt(dst.dc, 5, 5, 4, 4, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(kRed, GetPixel(dst.dc, 6, 6));
    EXPECT_EQ(kBlue, GetPixel(dst.dc, 7, 7));
    StretchBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(kRed, GetPixel(dst.dc, 2, 2));
    EXPECT_EQ(kRed, GetPixel(dst.dc, 3, 3));
    EXPECT_EQ(kBlue, GetPixel(dst.dc, 5, 4));
    BitBlt(dst.dc, 0, 0, 10, 10, nullptr, 0, 0, DSTINVERT);
    EXPECT_EQ(RGB(0, 255, 255), GetPixel(dst.dc, 2, 2));
    EXPECT_EQ(kBlack, GetPixel(dst.dc, 9, 0));
    // White is the transparent colour: the destination stays where the source is white.
    Canvas back(4, 4);
    const RECT all{0, 0, 4, 4};
    FillRect(back.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    TransparentBlt(back.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, 4, kWhite);
    EXPECT_EQ(kBlack, GetPixel(back.dc, 0, 0));
    EXPECT_EQ(kRed, GetPixel(back.dc, 1, 1));
    // The source rectangle is logical: with the source's viewport moved, (10, 0)..(14, 4) is the whole bitmap and
    // (9, 0) starts outside it.
    SetViewportOrgEx(src.dc, -10, 0, nullptr);
    FillRect(back.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(TransparentBlt(back.dc, 0, 0, 4, 4, src.dc, 10, 0, 4, 4, kWhite));
    EXPECT_EQ(kRed, GetPixel(back.dc, 1, 1));
    EXPECT_FALSE(TransparentBlt(back.dc, 0, 0, 4, 4, src.dc, 9, 0, 4, 4, kWhite));
    SetViewportOrgEx(src.dc, 0, 0, nullptr);
    // A copy inside one surface that overlaps itself reads the original pixels.
    BitBlt(src.dc, 1, 1, 3, 3, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(kRed, GetPixel(src.dc, 2, 2));
    EXPECT_EQ(kWhite, GetPixel(src.dc, 1, 1));
}

TEST_F(GdiTest, TextMetricsExtentsAndDrawing)
{
    Canvas c(200, 40);
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
    HGDIOBJ old = SelectObject(c.dc, font);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GE(tm.tmHeight, 12);
    EXPECT_LE(tm.tmHeight, 15);
    SIZE one{};
    SIZE two{};
    GetTextExtentPoint32W(c.dc, u"Width", 5, &one);
    GetTextExtentPoint32W(c.dc, u"WidthWidth", 10, &two);
    EXPECT_EQ(2 * one.cx, two.cx); // whole-pixel advances add up
    EXPECT_EQ(tm.tmHeight, one.cy);
    SetBkMode(c.dc, TRANSPARENT);
    TextOutW(c.dc, 2, 2, u"Hello", 5);
    SIZE hello{};
    GetTextExtentPoint32W(c.dc, u"Hello", 5, &hello);
    EXPECT_GT(c.Count(kBlack, RECT{2, 2, 2 + hello.cx, 2 + hello.cy}), 20);
    EXPECT_EQ(0, c.Count(kBlack, RECT{2 + hello.cx + 1, 0, 200, 40}));
    // DrawText: centring and measuring.
    RECT measure{0, 0, 0, 0};
    EXPECT_EQ(tm.tmHeight, DrawTextW(c.dc, u"&Save", -1, &measure, DT_SINGLELINE | DT_CALCRECT));
    SIZE save{};
    GetTextExtentPoint32W(c.dc, u"Save", 4, &save);
    EXPECT_EQ(save.cx, measure.right);
    RECT wrap{0, 0, 40, 0};
    DrawTextW(c.dc, u"one two three four", -1, &wrap, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GT(wrap.bottom, 2 * tm.tmHeight);
    SelectObject(c.dc, old);
    DeleteObject(font);
    // A face maps to a free twin, but the logical face name is kept.
    WCHAR face[LF_FACESIZE];
    SelectObject(c.dc, GetStockObject(DEFAULT_GUI_FONT));
    GetTextFaceW(c.dc, LF_FACESIZE, face);
    EXPECT_EQ(std::u16string(u"MS Shell Dlg"), std::u16string(face));
}

// Width of a text in a face at a height of 2048 pixels: one pixel per font unit of a 2048-unit em.
int WidthAtEm2048(const char16_t* face, const std::u16string& text, int weight = FW_NORMAL)
{
    Canvas c(4, 4);
    HFONT font = CreateFontW(-2048, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    HGDIOBJ old = SelectObject(c.dc, font);
    SIZE size{};
    GetTextExtentPoint32W(c.dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(c.dc, old);
    DeleteObject(font);
    return size.cx;
}

TEST_F(GdiTest, WindowsFacesMapToScalableFacesOfTheirWidths)
{
    auto family = [](const char16_t* face) {
        LOGFONTW log{};
        std::char_traits<char16_t>::copy(log.lfFaceName, face, std::char_traits<char16_t>::length(face) + 1);
        return gdi::FontFamilyOf(log);
    };
    // The dialog faces and the bitmap faces take Tahoma; the core faces their Liberation twins; others DejaVu.
    for (const char16_t* face : {u"MS Shell Dlg", u"MS Shell Dlg 2", u"Tahoma", u"MS Sans Serif", u"System"}) {
        EXPECT_EQ("Tahoma", family(face));
    }
    EXPECT_EQ("Liberation Sans", family(u"Arial"));
    EXPECT_EQ("Liberation Serif", family(u"Times New Roman"));
    EXPECT_EQ("Liberation Mono", family(u"Courier New"));
    EXPECT_EQ("Liberation Mono", family(u"Courier"));
    EXPECT_EQ("DejaVu Sans", family(u"Verdana"));
    EXPECT_EQ("DejaVu Serif", family(u"Georgia"));
    // Advance widths in font units of the 2048-unit em, as the Windows faces have them: Arial's H 1479, e 1139,
    // l 455, o 1139; Times New Roman's H 1479, e 909, l 569, o 1024; Courier New's 1229 for every character.
    EXPECT_EQ(1479 + 1139 + 455 + 455 + 1139, WidthAtEm2048(u"Arial", u"Hello"));
    EXPECT_EQ(1479 + 909 + 569 + 569 + 1024, WidthAtEm2048(u"Times New Roman", u"Hello"));
    EXPECT_EQ(5 * 1229, WidthAtEm2048(u"Courier New", u"Hello"));
    // Every face scales: a text ten times as high is about ten times as wide, bold included.
    for (const char16_t* face : {u"MS Shell Dlg", u"MS Sans Serif", u"Arial", u"Times New Roman", u"Courier New",
                                 u"System", u"Segoe UI"}) {
        for (int weight : {FW_NORMAL, FW_BOLD}) {
            const int big = WidthAtEm2048(face, u"Max dV/dt (mV/ms)", weight);
            Canvas c(4, 4);
            HFONT font = CreateFontW(-2048 / 10, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
            HGDIOBJ old = SelectObject(c.dc, font);
            SIZE small{};
            GetTextExtentPoint32W(c.dc, u"Max dV/dt (mV/ms)", 17, &small);
            SelectObject(c.dc, old);
            DeleteObject(font);
            EXPECT_NEAR(big, small.cx * 10, big / 50) << platform::Utf16ToUtf8(face) << " " << weight;
        }
    }
    // Bold Tahoma is its own face, wider than the regular one.
    EXPECT_GT(WidthAtEm2048(u"Tahoma", u"Hello", FW_BOLD), WidthAtEm2048(u"Tahoma", u"Hello"));
}

TEXTMETRICW MetricsOf(const char16_t* face, int height)
{
    Canvas c(4, 4);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    HGDIOBJ old = SelectObject(c.dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc, &tm);
    SelectObject(c.dc, old);
    DeleteObject(font);
    return tm;
}

TEST_F(GdiTest, TheCellOfAFaceIsItsWindowsAscentAndDescent)
{
    // The Windows ascent and descent of the faces, in units of the 2048-unit em: Tahoma 2049 and 423, Arial 1854
    // and 434, Times New Roman 1825 and 443, Courier New 1705 and 615.
    struct Cell {
        const char16_t* face;
        int ascent;
        int descent;
    };
    for (const Cell& cell : {Cell{u"MS Shell Dlg", 2049, 423}, Cell{u"Arial", 1854, 434},
                             Cell{u"Times New Roman", 1825, 443}, Cell{u"Courier New", 1705, 615}}) {
        const TEXTMETRICW tm = MetricsOf(cell.face, -2048);
        EXPECT_EQ(cell.ascent, tm.tmAscent) << platform::Utf16ToUtf8(cell.face);
        EXPECT_EQ(cell.descent, tm.tmDescent) << platform::Utf16ToUtf8(cell.face);
    }
    // The dialog font of 8 points on a 96-dpi screen is 13 pixels high, as the dialog base unit says.
    EXPECT_EQ(13, MetricsOf(u"MS Shell Dlg", -11).tmHeight);
    // A positive height is the cell: 13 pixels of Tahoma hold an 11-pixel em, so the text is as wide as at -11.
    EXPECT_EQ(13, MetricsOf(u"MS Shell Dlg", 13).tmHeight);
    auto width = [](int height) {
        Canvas c(4, 4);
        HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
        HGDIOBJ old = SelectObject(c.dc, font);
        SIZE size{};
        GetTextExtentPoint32W(c.dc, u"Max dV/dt (mV/ms)", 17, &size);
        SelectObject(c.dc, old);
        DeleteObject(font);
        return size.cx;
    };
    EXPECT_EQ(width(-11), width(13));
    EXPECT_LT(width(-11), width(-13));
}

TEST_F(GdiTest, CallLogAndDpiAndThemes)
{
    Canvas c(10, 10);
    gdi::CallLog log;
    gdi::LogDcCalls(c.dc, &log);
    MoveToEx(c.dc, 1, 2, nullptr);
    LineTo(c.dc, 3, 4);
    TextOutW(c.dc, 0, 0, u"ab", 2);
    gdi::LogDcCalls(c.dc, nullptr);
    EXPECT_EQ((std::vector<std::string>{"MoveToEx(1,2)", "LineTo(3,4)", "TextOutW(0,0,\"ab\")"}), log.lines);
    EXPECT_EQ(96, GetDeviceCaps(c.dc, LOGPIXELSY));
    gdi::SetScreenDpi(120);
    EXPECT_EQ(120, GetDeviceCaps(c.dc, LOGPIXELSX));
    gdi::SetScreenDpi(96);
    EXPECT_FALSE(IsThemeActive());
    EXPECT_EQ(nullptr, OpenThemeData(nullptr, u"Button"));
    platform::SetThemesActive(true);
    HTHEME theme = OpenThemeData(nullptr, u"Button");
    EXPECT_NE(nullptr, theme);
    EXPECT_EQ(1, platform::OpenThemeCount());
    EXPECT_EQ(S_OK, CloseThemeData(theme));
    platform::SetThemesActive(false);
    EXPECT_EQ(0, platform::OpenThemeCount());
}

TEST_F(GdiTest, RegionsCombine)
{
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(COMPLEXREGION, CombineRgn(r, a, b, RGN_OR));
    EXPECT_TRUE(PtInRegion(r, 12, 12));
    EXPECT_FALSE(PtInRegion(r, 12, 2));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(r, a, b, RGN_AND));
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_EQ((RECT{5, 5, 10, 10}), box);
    EXPECT_EQ(NULLREGION, CombineRgn(r, a, a, RGN_DIFF));
    OffsetRgn(a, 5, 5);
    EXPECT_TRUE(EqualRgn(a, b));
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(r);
}
}
