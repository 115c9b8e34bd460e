// Window placements: the stream record as bytes, and applying and clamping on two monitor layouts.
#include "foundation/binstream.h"
#include "foundation/windowplacement.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes Written(const KVO::WindowPlacement& placement)
{
    std::stringbuf buffer;
    {
        KVO::BinOStream out(&buffer);
        placement.Write(out);
    }
    const std::string text = buffer.str();
    return Bytes(text.begin(), text.end());
}

KVO::WindowPlacement ReadFrom(const Bytes& bytes, KVO::WindowPlacement placement = {})
{
    std::stringbuf buffer(std::string(bytes.begin(), bytes.end()));
    KVO::BinIStream in(&buffer);
    placement.Read(in);
    return placement;
}

// The tag, then 32-bit little-endian values.
Bytes Record(std::initializer_list<std::int32_t> values)
{
    Bytes bytes = {0xAA, 0xAA, 0x15, 0x55};
    for (std::int32_t v : values) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
        }
    }
    return bytes;
}

RECT WindowRect(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override { ui::reset(); }

    HWND MakeWindow(RECT r)
    {
        return CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    }

    // A primary monitor with the task bar at the bottom, and one to its left with the task bar at the top and an
    // odd width, so that centring rounds toward zero at negative coordinates.
    static void TwoMonitors()
    {
        ui::SetMonitors({ui::Monitor{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 984}},
                         ui::Monitor{RECT{-1601, 0, 0, 900}, RECT{-1601, 31, 0, 900}}});
    }
};

TEST_F(PlacementTest, RecordBytesAreTopLeftBottomRightInsideTheWorkArea)
{
    KVO::WindowPlacement placement;
    EXPECT_EQ(Record({1, 0, 777}), Written(placement));

    HWND window = MakeWindow(RECT{100, 200, 500, 500});
    placement.Capture(window);
    EXPECT_TRUE(placement.IsValid());
    const Bytes golden = {0xAA, 0xAA, 0x15, 0x55, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // version, valid
                          0xC8, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00,                          // top 200, left 100
                          0xF4, 0x01, 0x00, 0x00, 0xF4, 0x01, 0x00, 0x00,                          // bottom, right 500
                          0x09, 0x03, 0x00, 0x00};                                                 // 777
    EXPECT_EQ(golden, Written(placement));

    // A stored rectangle beyond the default work area (0, 0, 1920, 1040) is written moved inside it.
    placement = ReadFrom(Record({1, 1, 900, 1700, 1200, 2100, 777}));
    EXPECT_EQ((RECT{1520, 740, 1920, 1040}), placement.Rect());
    EXPECT_EQ(Record({1, 1, 740, 1520, 1040, 1920, 777}), Written(placement));
    // The same placement written on another layout gives other bytes: the edges are clamped when written.
    TwoMonitors();
    EXPECT_EQ(Record({1, 1, 684, 880, 984, 1280, 777}), Written(placement));
    DestroyWindow(window);
}

TEST_F(PlacementTest, ReadingChecksVersionAndEndMarker)
{
    KVO::WindowPlacement placement = ReadFrom(Record({1, 1, 10, 20, 110, 220, 777}));
    ASSERT_TRUE(placement.IsValid());
    EXPECT_FALSE(placement.IsBadRead());
    EXPECT_EQ((RECT{20, 10, 220, 110}), placement.Rect());

    // Another version leaves everything as it was.
    KVO::WindowPlacement same = ReadFrom(Record({2, 1, 50, 50, 60, 60, 777}), placement);
    EXPECT_EQ(placement.Rect(), same.Rect());
    EXPECT_TRUE(same.IsValid());

    // A wrong end marker is read but flagged; an invalid record carries no edges.
    KVO::WindowPlacement flagged = ReadFrom(Record({1, 1, 30, 40, 130, 240, 776}));
    EXPECT_TRUE(flagged.IsBadRead());
    EXPECT_TRUE(flagged.IsValid());
    EXPECT_EQ((RECT{40, 30, 240, 130}), flagged.Rect());
    KVO::WindowPlacement empty = ReadFrom(Record({1, 0, 777}));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_FALSE(empty.IsBadRead());
    EXPECT_EQ(Record({1, 0, 777}), Written(empty));
}

TEST_F(PlacementTest, RectanglesOfADamagedFileAtTheCoordinateLimitsStayInRange)
{
    // Edges at the 32-bit limits: moving them inside the work area saturates instead of overflowing.
    struct Case {
        std::int32_t top, left, bottom, right;
        RECT expected;
    } cases[] = {
        {0, INT32_MIN, 0, 100, RECT{0, 0, INT32_MAX, 0}},
        {INT32_MIN, 0, INT32_MAX, 10, RECT{0, 0, 10, INT32_MAX}},
        {0, INT32_MAX - 5, 10, INT32_MAX, RECT{1915, 0, 1920, 10}},
    };
    for (const Case& test : cases) {
        const KVO::WindowPlacement placement =
            ReadFrom(Record({1, 1, test.top, test.left, test.bottom, test.right, 777}));
        EXPECT_EQ(test.expected, placement.Rect()) << test.left << "," << test.top;
    }
}

TEST_F(PlacementTest, ApplyUsesAStoredRectangleOfTheSameSizeOnlyAndCentresOtherwise)
{
    // One monitor: a placement of another size is not used; the window is centred and that is stored.
    HWND window = MakeWindow(RECT{100, 100, 500, 400});
    KVO::WindowPlacement placement = ReadFrom(Record({1, 1, 10, 10, 110, 110, 777}));
    placement.Apply(window);
    EXPECT_EQ((RECT{760, 370, 1160, 670}), WindowRect(window));
    EXPECT_EQ(WindowRect(window), placement.Rect());
    // A remembered rectangle of the window's size is used, moved inside the work area.
    placement = ReadFrom(Record({1, 1, 900, 1800, 1200, 2200, 777}));
    placement.Apply(window);
    EXPECT_EQ((RECT{1520, 740, 1920, 1040}), WindowRect(window));
    // A window larger than the work area ends at its top and left.
    HWND huge = MakeWindow(RECT{-50, -60, 2050, 1140});
    KVO::WindowPlacement fresh;
    fresh.Apply(huge);
    EXPECT_EQ((RECT{0, 0, 2100, 1200}), WindowRect(huge));

    // Two monitors: the second one, left of the primary, has its task bar at the top.
    TwoMonitors();
    HWND left = MakeWindow(RECT{-1500, 100, -1199, 301}); // 301 x 201
    KVO::WindowPlacement centred;
    centred.Apply(left);
    // Centre (-800, 465) of the work area, less half the size rounded toward zero.
    EXPECT_EQ((RECT{-950, 365, -649, 566}), WindowRect(left));
    // Captured near the top edge, the rectangle keeps out of the task bar.
    MoveWindow(left, -1700, 0, 301, 201, FALSE);
    KVO::WindowPlacement captured;
    captured.Capture(left);
    EXPECT_EQ((RECT{-1601, 31, -1300, 232}), captured.Rect());
    // On the primary monitor the same window, placed back from the capture, returns to the second monitor.
    MoveWindow(left, 100, 100, 301, 201, FALSE);
    captured.Apply(left);
    EXPECT_EQ((RECT{-1601, 31, -1300, 232}), WindowRect(left));
    // Once the second monitor is gone, the remembered rectangle lands on the nearest one that is left.
    ui::SetMonitors({ui::Monitor{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 984}}});
    captured.Apply(left);
    EXPECT_EQ((RECT{0, 31, 301, 232}), WindowRect(left));
}
}
