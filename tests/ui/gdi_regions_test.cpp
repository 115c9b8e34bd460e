// Polygon regions, the alpha-blend capabilities a test can switch off, and text turned by the font's escapement.
#include "platform/gdi/dc.h"
#include "platform/gdi/objects.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ old;
    Surface(int w, int h) : bitmap(CreateBitmap(w, h, 1, 32, nullptr)), old(SelectObject(dc, bitmap))
    {
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Surface()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    RECT InkBox(int w, int h) const
    {
        RECT box{w, h, -1, -1};
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (GetPixel(dc, x, y) != kWhite) {
                    box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x),
                               std::max<LONG>(box.bottom, y)};
                }
            }
        }
        return box;
    }
};

// A five-pointed star drawn in one stroke: its centre is wound twice.
constexpr POINT kStar[] = {{50, 5}, {79, 95}, {2, 40}, {98, 40}, {21, 95}};

struct RegionCase {
    const char* name;
    std::vector<POINT> points;
    int mode;
    POINT inside;
    POINT outside;
    RECT box;
};

// Pixels whose centres lie inside: a slanted edge enters a row only past the pixel's centre.
void PrintTo(const RegionCase& c, std::ostream* out) { *out << c.name; }

class PolygonRegions : public ::testing::TestWithParam<RegionCase> {};

TEST_P(PolygonRegions, HoldThePixelsInsideThePolygon)
{
    const RegionCase& c = GetParam();
    const int before = gdi::LiveObjectCount();
    HRGN region = CreatePolygonRgn(c.points.data(), static_cast<int>(c.points.size()), c.mode);
    ASSERT_NE(nullptr, region);
    EXPECT_TRUE(PtInRegion(region, c.inside.x, c.inside.y));
    EXPECT_FALSE(PtInRegion(region, c.outside.x, c.outside.y));
    RECT box{};
    GetRgnBox(region, &box);
    EXPECT_EQ(c.box.left, box.left);
    EXPECT_EQ(c.box.top, box.top);
    EXPECT_EQ(c.box.right, box.right);
    EXPECT_EQ(c.box.bottom, box.bottom);
    DeleteObject(region);
    EXPECT_EQ(before, gdi::LiveObjectCount());
}

INSTANTIATE_TEST_SUITE_P(
    Gdi, PolygonRegions,
    ::testing::Values(
        RegionCase{"SquareLeavesOutRightAndBottom", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, ALTERNATE, {9, 9}, {10, 9},
                   {0, 0, 10, 10}},
        RegionCase{"TriangleAnyOrder", {{10, 2}, {2, 18}, {18, 18}}, WINDING, {10, 12}, {3, 3}, {2, 3, 18, 18}},
        RegionCase{"StarAlternateLeavesTheCentreOut", {std::begin(kStar), std::end(kStar)}, ALTERNATE, {50, 20},
                   {50, 55}, {3, 7, 97, 95}},
        RegionCase{"StarWindingFillsTheCentre", {std::begin(kStar), std::end(kStar)}, WINDING, {50, 55}, {50, 90},
                   {3, 7, 97, 95}}),
    [](const ::testing::TestParamInfo<RegionCase>& info) { return std::string(info.param.name); });

TEST(Gdi, PolygonRegionsRefuseBadInput)
{
    const POINT p[] = {{0, 0}, {5, 0}, {5, 5}};
    EXPECT_EQ(nullptr, CreatePolygonRgn(nullptr, 3, ALTERNATE));
    EXPECT_EQ(nullptr, CreatePolygonRgn(p, 3, 7));
    EXPECT_EQ(nullptr, CreatePolygonRgn(p, -1, WINDING));
    HRGN flat = CreatePolygonRgn(p, 2, WINDING); // two points enclose nothing
    ASSERT_NE(nullptr, flat);
    RECT box{};
    EXPECT_EQ(NULLREGION, GetRgnBox(flat, &box));
    DeleteObject(flat);
}

TEST(Gdi, ShadeBlendCapsCanBeSwitchedOff)
{
    Surface s(4, 4);
    EXPECT_EQ(SB_CONST_ALPHA | SB_PIXEL_ALPHA, GetDeviceCaps(s.dc, SHADEBLENDCAPS));
    gdi::SetShadeBlendCaps(SB_NONE);
    EXPECT_EQ(SB_NONE, GetDeviceCaps(s.dc, SHADEBLENDCAPS));
    gdi::SetShadeBlendCaps(SB_CONST_ALPHA | SB_PIXEL_ALPHA);
}

TEST(Gdi, AlphaBlendTakesPerPixelAlphaFromADibSection)
{
    Surface target(4, 1);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(target.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bits);
    auto* pixel = static_cast<std::uint32_t*>(bits);
    pixel[0] = 0xFF0000FF; // opaque blue
    pixel[1] = 0x000000FF; // transparent: premultiplied sources should hold 0 here, the blend adds what is there
    pixel[2] = 0x00000000; // transparent black
    pixel[3] = 0xFFFF0000; // opaque red
    HDC memory = CreateCompatibleDC(target.dc);
    HGDIOBJ old = SelectObject(memory, section);
    AlphaBlend(target.dc, 0, 0, 4, 1, memory, 0, 0, 4, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 127, AC_SRC_ALPHA});
    EXPECT_EQ(RGB(128, 128, 255), GetPixel(target.dc, 0, 0));
    EXPECT_EQ(kWhite, GetPixel(target.dc, 2, 0));
    EXPECT_EQ(RGB(255, 128, 128), GetPixel(target.dc, 3, 0));
    AlphaBlend(target.dc, 2, 0, 1, 1, memory, 0, 0, 1, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 255, 0});
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(target.dc, 2, 0)); // constant alpha alone ignores the pixel's alpha
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(section);
}

TEST(Gdi, InvertingTwiceRestoresEveryPixel)
{
    Surface s(30, 30);
    HBRUSH brush = CreateSolidBrush(RGB(10, 120, 230));
    const RECT half{0, 0, 15, 30};
    FillRect(s.dc, &half, brush);
    DeleteObject(brush);
    std::vector<COLORREF> before;
    for (int i = 0; i < 900; ++i) {
        before.push_back(GetPixel(s.dc, i % 30, i / 30));
    }
    SetROP2(s.dc, R2_NOT);
    for (int pass = 0; pass < 2; ++pass) {
        const POINT head[] = {{3, 20}, {12, 4}, {27, 25}};
        Polyline(s.dc, head, 3);
        MoveToEx(s.dc, 15, 0, nullptr);
        LineTo(s.dc, 15, 30);
        if (pass == 0) {
            EXPECT_EQ(RGB(245, 135, 25), GetPixel(s.dc, 12, 4)); // the fill inverted
            EXPECT_EQ(RGB(0, 0, 0), GetPixel(s.dc, 15, 10));     // white inverted
        }
    }
    for (int i = 0; i < 900; ++i) {
        ASSERT_EQ(before[static_cast<std::size_t>(i)], GetPixel(s.dc, i % 30, i / 30)) << i % 30 << "," << i / 30;
    }
}

TEST(Gdi, TurnedTextAlignsAlongItsOwnAxes)
{
    Surface s(60, 100);
    LOGFONTW log{};
    log.lfHeight = -12;
    log.lfEscapement = 900;
    log.lfOrientation = 900;
    std::char_traits<char16_t>::copy(log.lfFaceName, u"Arial", 6);
    HFONT font = CreateFontIndirectW(&log);
    HGDIOBJ old = SelectObject(s.dc, font);
    SetTextAlign(s.dc, TA_LEFT | TA_BOTTOM);
    TextOutW(s.dc, 40, 90, u"Label", 5);
    const RECT ink = s.InkBox(60, 100);
    // Reading upwards from (40, 90): the text stands left of x = 40 and above y = 90.
    EXPECT_LE(ink.right, 40);
    EXPECT_GE(ink.left, 40 - 16);
    EXPECT_LE(ink.bottom, 90);
    EXPECT_GT(ink.bottom - ink.top, ink.right - ink.left);
    SelectObject(s.dc, old);
    DeleteObject(font);
}
} // namespace
