// What the graph tests share: a 200 x 100 white image DC, golden pictures, and data sources written in the tests.
#pragma once

#include "graph/mgraph1/drawer.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace graphtest {

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 160, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

// The plot rectangle inside the 200 x 100 pictures.
inline constexpr RECT kPlot{20, 10, 180, 90};

// A 32-bit memory DC over a white bitmap.
class ImageCanvas {
public:
    explicit ImageCanvas(int width = 200, int height = 100) : width_(width), height_(height)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap_ = CreateBitmap(width, height, 1, 32, nullptr);
        previous_ = SelectObject(dc, bitmap_);
        Clear();
    }
    ~ImageCanvas()
    {
        SelectObject(dc, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc);
    }
    ImageCanvas(const ImageCanvas&) = delete;
    ImageCanvas& operator=(const ImageCanvas&) = delete;

    void Clear(COLORREF colour = kWhite)
    {
        const RECT all{0, 0, width_, height_};
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    gdi::Image Picture() const { return gdi::ImageOfBitmap(bitmap_); }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    // Pixels in the rectangle that are not white.
    int Inked(RECT r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                n += At(x, y) != kWhite;
            }
        }
        return n;
    }
    RECT All() const { return RECT{0, 0, width_, height_}; }

    HDC dc = nullptr;

private:
    int width_;
    int height_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// A grey frame just outside the plot, so that pictures show where its edges are.
inline void FramePlot(HDC dc)
{
    HBRUSH grey = CreateSolidBrush(RGB(200, 200, 200));
    const RECT frame{kPlot.left - 1, kPlot.top - 1, kPlot.right + 1, kPlot.bottom + 1};
    FrameRect(dc, &frame, grey);
    DeleteObject(grey);
}

inline void ExpectGolden(const ImageCanvas& canvas, const std::string& name)
{
    const gdi::GoldenCheck check = gdi::CheckGolden(canvas.Picture(), std::string(TEST_DATA_DIR) + "/" + name + ".png");
    EXPECT_TRUE(check.ok) << name << ": " << check.message;
}

// Transforms that make data units pixels from the plot's corner: x to the right, y downwards.
struct PixelTransforms {
    MGraph1::Transform horizontal{1.0, 0.0};
    MGraph1::Transform vertical{1.0, 0.0};
    void Attach(MGraph1::GraphDrawer& drawer)
    {
        drawer.SetTransform(MGraph1::kHorizontal, &horizontal, false);
        drawer.SetTransform(MGraph1::kVertical, &vertical, false);
    }
};

// Checks that every object a test made was deleted again.
class GraphTest : public ::testing::Test {
protected:
    void SetUp() override { objects_ = gdi::LiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(objects_, gdi::LiveObjectCount()); }

private:
    int objects_ = 0;
};

} // namespace graphtest
