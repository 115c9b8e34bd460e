// The GDI+ subset: start-up, bitmaps from streams, pixel formats, image attributes and drawing on DCs.
#include "platform/com/memstream.h"
#include "platform/gdi/gdiplus.h"
#include "platform/gdi/image.h"
#include "platform/gdi/imagecodec.h"
#include "platform/win/winuser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Gdiplus;

namespace {

class GdiplusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GdiplusStartupInput input;
        ASSERT_EQ(Ok, GdiplusStartup(&token, &input, nullptr));
    }
    void TearDown() override { GdiplusShutdown(token); }
    ULONG_PTR token = 0;
};

// A 3 x 2 picture: opaque red, half-transparent green, transparent; opaque white, quarter blue, opaque grey.
gdi::ArgbPixels Sample()
{
    gdi::ArgbPixels p;
    p.width = 3;
    p.height = 2;
    p.argb = {0xFFFF0000, 0x8000FF00, 0x00000000, 0xFFFFFFFF, 0x400000FF, 0xFFC0C0C0};
    p.hasAlpha = true;
    return p;
}

platform::ComPtr<platform::MemoryStream> StreamOf(const std::vector<std::byte>& bytes)
{
    std::vector<BYTE> data;
    for (const std::byte b : bytes) {
        data.push_back(std::to_integer<BYTE>(b));
    }
    return platform::MemoryStream::Create(std::move(data));
}

BYTE Premultiplied(std::uint32_t channel, std::uint32_t alpha)
{
    return static_cast<BYTE>(std::lround(channel * alpha / 255.0));
}

TEST(GdiplusStartup, ObjectsNeedAStartedLibraryAndStartupsAreCounted)
{
    const int open = platform::GdiplusStartCount();
    {
        Bitmap early(4, 4);
        EXPECT_EQ(GdiplusNotInitialized, early.GetLastStatus());
    }
    GdiplusStartupInput input;
    ULONG_PTR a = 0;
    ULONG_PTR b = 0;
    ASSERT_EQ(Ok, GdiplusStartup(&a, &input, nullptr));
    ASSERT_EQ(Ok, GdiplusStartup(&b, &input, nullptr));
    EXPECT_NE(a, b);
    EXPECT_EQ(open + 2, platform::GdiplusStartCount());
    GdiplusStartupInput wrongVersion;
    wrongVersion.GdiplusVersion = 2;
    ULONG_PTR c = 0;
    EXPECT_EQ(InvalidParameter, GdiplusStartup(&c, &wrongVersion, nullptr));
    GdiplusShutdown(a);
    Bitmap later(4, 4);
    EXPECT_EQ(Ok, later.GetLastStatus());
    GdiplusShutdown(b);
    EXPECT_EQ(open, platform::GdiplusStartCount());
}

TEST_F(GdiplusTest, PngStreamsGiveStraightPixelsAndPremultipliedLocks)
{
    const gdi::ArgbPixels sample = Sample();
    auto stream = StreamOf(gdi::EncodePng(sample));
    Bitmap bitmap(stream.Get());
    ASSERT_EQ(Ok, bitmap.GetLastStatus());
    EXPECT_EQ(3u, bitmap.GetWidth());
    EXPECT_EQ(2u, bitmap.GetHeight());
    EXPECT_EQ(PixelFormat32bppARGB, bitmap.GetPixelFormat());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            Color c;
            ASSERT_EQ(Ok, bitmap.GetPixel(x, y, &c));
            const std::uint32_t expected = sample.argb[static_cast<std::size_t>(y) * 3 + x];
            // PNG keeps straight alpha; cairo's premultiplied round trip may move a colour by one step.
            EXPECT_EQ(expected >> 24, c.GetA()) << x << "," << y;
            if ((expected >> 24) > 0x30) {
                EXPECT_NEAR((expected >> 16) & 0xFF, c.GetR(), 1) << x << "," << y;
                EXPECT_NEAR(expected & 0xFF, c.GetB(), 1) << x << "," << y;
            }
        }
    }
    Color outside;
    EXPECT_EQ(InvalidParameter, bitmap.GetPixel(3, 0, &outside));

    BitmapData data;
    ASSERT_EQ(Ok, bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &data));
    EXPECT_EQ(PixelFormat32bppPARGB, data.PixelFormat);
    EXPECT_EQ(12, data.Stride);
    const auto* row = static_cast<const std::uint32_t*>(data.Scan0);
    Color green;
    bitmap.GetPixel(1, 0, &green);
    EXPECT_EQ(0xFFFF0000u, row[0]);
    EXPECT_EQ(Color::MakeARGB(0x80, 0, Premultiplied(green.GetG(), 0x80), 0), row[1]);
    EXPECT_EQ(0u, row[2]);
    // One lock at a time; writing locks are not offered.
    BitmapData second;
    EXPECT_EQ(InvalidParameter, bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &second));
    EXPECT_EQ(Ok, bitmap.UnlockBits(&data));
    EXPECT_EQ(InvalidParameter, bitmap.LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &second));
}

TEST_F(GdiplusTest, StreamsOfBitmapFilesOtherBytesAndFailuresGiveTheirStatus)
{
    gdi::ArgbPixels opaque = Sample();
    for (auto& p : opaque.argb) {
        p |= 0xFF000000u;
    }
    std::vector<std::byte> bmp = {std::byte{'B'}, std::byte{'M'}};
    bmp.resize(14, std::byte{0});
    const auto dib = gdi::EncodeDib(opaque, 24);
    bmp.insert(bmp.end(), dib.begin(), dib.end());

    const std::vector<std::byte> png = gdi::EncodePng(Sample());
    struct Case {
        const char* name;
        std::vector<std::byte> bytes;
        Status status;
        PixelFormat format;
    };
    const Case cases[] = {
        {"bitmap file", bmp, Ok, PixelFormat24bppRGB},
        {"empty", {}, UnknownImageFormat, 0},
        {"text", {std::byte{'h'}, std::byte{'i'}}, UnknownImageFormat, 0},
        {"cut PNG", std::vector<std::byte>(png.begin(), png.begin() + 40), UnknownImageFormat, 0},
    };
    for (const Case& c : cases) {
        auto stream = StreamOf(c.bytes);
        std::unique_ptr<Bitmap> bitmap(Bitmap::FromStream(stream.Get()));
        EXPECT_EQ(c.status, bitmap->GetLastStatus()) << c.name;
        if (c.status == Ok) {
            EXPECT_EQ(c.format, bitmap->GetPixelFormat()) << c.name;
            Color white;
            bitmap->GetPixel(0, 1, &white);
            EXPECT_EQ(0xFFFFFFFFu, white.GetValue());
        }
    }
    auto failing = StreamOf(gdi::EncodePng(Sample()));
    failing->Faults().read = platform::FaultRule{1, 0, STG_E_READFAULT};
    Bitmap unread(failing.Get());
    EXPECT_EQ(Win32Error, unread.GetLastStatus());
}

TEST_F(GdiplusTest, RemapTablesMatchExactColoursAndMatricesMixChannels)
{
    ImageAttributes attributes;
    EXPECT_EQ(0xFF123456u, attributes.Apply(0xFF123456u)); // nothing set
    const ColorMap maps[] = {{Color(0xFFC0C0C0), Color(0x00000000)}, {Color(0xFF000000), Color(0xFF0000FF)}};
    ASSERT_EQ(Ok, attributes.SetRemapTable(2, maps));
    EXPECT_EQ(InvalidParameter, attributes.SetRemapTable(0, maps));
    struct Case {
        ARGB in;
        ARGB out;
    };
    for (const Case& c : {Case{0xFFC0C0C0, 0x00000000}, Case{0xFEC0C0C0, 0xFEC0C0C0}, Case{0xFFC0C0C1, 0xFFC0C0C1},
                          Case{0xFF000000, 0xFF0000FF}}) {
        EXPECT_EQ(c.out, attributes.Apply(c.in)) << std::hex << c.in;
    }

    // A matrix that sums the channels into each output with its own weight and adds 0.4; alpha unchanged.
    const REAL w[3] = {0.2228831f, 0.2228831f, 0.2462646f};
    const ColorMatrix grey{{{w[0], w[1], w[2], 0, 0},
                            {w[0], w[1], w[2], 0, 0},
                            {w[0], w[1], w[2], 0, 0},
                            {0, 0, 0, 1, 0},
                            {0.4f, 0.4f, 0.4f, 0, 1}}};
    ASSERT_EQ(Ok, attributes.ClearRemapTable());
    ASSERT_EQ(Ok, attributes.SetColorMatrix(&grey));
    for (const ARGB in : {0xFF000000u, 0x80FF8000u, 0xFF204060u, 0xFFFFFFFFu}) {
        const Color c(in);
        const double sum = (c.GetR() + c.GetG() + c.GetB()) / 255.0;
        const ARGB out = attributes.Apply(in);
        for (int channel = 0; channel < 3; ++channel) {
            const double expected = std::min(255.0, std::round((sum * w[channel] + 0.4) * 255.0));
            EXPECT_NEAR(expected, static_cast<double>((out >> (16 - 8 * channel)) & 0xFF), 1.0) << std::hex << in;
        }
        EXPECT_EQ(in >> 24, out >> 24);
    }
    // The table applies first: grey becomes transparent black, which the matrix then lifts to 0.4 grey.
    ASSERT_EQ(Ok, attributes.SetRemapTable(1, maps));
    EXPECT_EQ(0x00666666u, attributes.Apply(0xFFC0C0C0u));
    ASSERT_EQ(Ok, attributes.ClearColorMatrix());
    EXPECT_EQ(0x00000000u, attributes.Apply(0xFFC0C0C0u));
}

TEST_F(GdiplusTest, DrawingOnADcBlendsImagesAndArgbFillsOverWhatIsThere)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 20, 10);
    HGDIOBJ old = SelectObject(memory, target);
    RECT all{0, 0, 20, 10};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(memory, &all, white);
    DeleteObject(white);

    Bitmap picture(3, 2, PixelFormat32bppARGB);
    const gdi::ArgbPixels sample = Sample();
    for (int i = 0; i < 6; ++i) {
        picture.SetPixel(i % 3, i / 3, Color(sample.argb[static_cast<std::size_t>(i)]));
    }
    {
        Graphics graphics(memory);
        ASSERT_EQ(Ok, graphics.GetLastStatus());
        ImageAttributes keyed;
        const ColorMap grey{Color(0xFFC0C0C0), Color(0x00000000)};
        keyed.SetRemapTable(1, &grey);
        EXPECT_EQ(Ok, graphics.DrawImage(&picture, Rect(2, 2, 3, 2), 0, 0, 3, 2, UnitPixel, &keyed));
        SolidBrush wash(Color(0x14007ED2));
        EXPECT_EQ(Ok, graphics.FillRectangle(&wash, 10, 0, 10, 10));
        // The clip keeps a fill inside it.
        graphics.SetClip(Rect(0, 8, 2, 2));
        SolidBrush black(Color(0xFF000000));
        graphics.FillRectangle(&black, 0, 6, 20, 4);
    }
    SelectObject(memory, old);
    const gdi::Image image = gdi::ImageOfBitmap(target);
    auto over = [](std::uint32_t colour, std::uint32_t alpha, std::uint32_t under) {
        return static_cast<int>(std::lround((colour * alpha + under * (255 - alpha)) / 255.0));
    };
    auto expectPixel = [&](int x, int y, int r, int g, int b) {
        const COLORREF c = image.at(x, y);
        EXPECT_NEAR(r, GetRValue(c), 1) << x << "," << y;
        EXPECT_NEAR(g, GetGValue(c), 1) << x << "," << y;
        EXPECT_NEAR(b, GetBValue(c), 1) << x << "," << y;
    };
    expectPixel(2, 2, 255, 0, 0);
    expectPixel(3, 2, over(0, 0x80, 255), 255, over(0, 0x80, 255));
    expectPixel(4, 2, 255, 255, 255);                           // transparent
    expectPixel(4, 3, 255, 255, 255);                           // grey keyed out
    expectPixel(3, 3, over(0, 0x40, 255), over(0, 0x40, 255), 255);
    expectPixel(15, 5, over(0x00, 0x14, 255), over(0x7E, 0x14, 255), over(0xD2, 0x14, 255));
    expectPixel(1, 9, 0, 0, 0);
    expectPixel(3, 9, 255, 255, 255); // outside the clip
    expectPixel(1, 7, 255, 255, 255);

    // Drawing into a bitmap: a PARGB copy of the picture holds it premultiplied.
    Bitmap copy(3, 2, PixelFormat32bppPARGB);
    {
        Graphics graphics(&copy);
        EXPECT_EQ(Ok, graphics.DrawImage(&picture, Rect(0, 0, 3, 2)));
    }
    BitmapData data;
    ASSERT_EQ(Ok, copy.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &data));
    const auto* row = static_cast<const std::uint32_t*>(static_cast<const void*>(static_cast<const BYTE*>(data.Scan0) + data.Stride));
    EXPECT_EQ(Color::MakeARGB(0x40, 0, 0, 0x40), row[1]);
    copy.UnlockBits(&data);

    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}
}
