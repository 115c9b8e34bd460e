// Resource bitmaps through GDI+, the process's GDI+ start-up and the low-priority timer.
#include "controls/gdiplusbitmaps.h"
#include "foundation/moduleinstance.h"
#include "platform/ui/window.h"
#include "platform/win/globalmem.h"
#include "platform/win/resources.h"
#include "resources/pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {
HINSTANCE Module() { return KVO::ModuleInstance(); }

constexpr UINT kGoodPng = 4001;
constexpr UINT kEmptyPng = 4002;
constexpr UINT kBrokenPng = 4003;

class GdiplusBitmapsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ASSERT_TRUE(GdiplusStarter::Instance().Started());
        picture.width = 2;
        picture.height = 2;
        picture.argb = {0xFF102030, 0x80FF0000, 0x00000000, 0x4000FF00};
        picture.hasAlpha = true;
        const auto png = gdi::EncodePng(picture);
        platform::RegisterResource(Module(), u"PNG", MAKEINTRESOURCEW(kGoodPng), LANG_NEUTRAL, png);
        platform::RegisterResource(Module(), u"PNG", MAKEINTRESOURCEW(kEmptyPng), LANG_NEUTRAL, {});
        platform::RegisterResource(Module(), u"PNG", MAKEINTRESOURCEW(kBrokenPng), LANG_NEUTRAL,
                                   std::span(png).first(30));
    }
    void TearDown() override { ui::reset(); }
    gdi::ArgbPixels picture;
};

TEST_F(GdiplusBitmapsTest, ResourcesLoadWhenPresentAndReadableAndLeaveNoMemoryBehindOtherwise)
{
    struct Case {
        UINT id;
        bool loads;
    };
    const int blocks = platform::LiveGlobalBlocks();
    for (const Case& c : {Case{kGoodPng, true}, Case{kEmptyPng, false}, Case{kBrokenPng, false}, Case{4999, false},
                          Case{PictureId::SnapButton, true}}) {
        TGdiPlusBitmapResource resource;
        EXPECT_EQ(c.loads, resource.Load(MAKEINTRESOURCEW(c.id), u"PNG", Module())) << c.id;
        EXPECT_EQ(c.loads, resource.Get() != nullptr) << c.id;
        // The copy of the bytes lives as long as the bitmap.
        EXPECT_EQ(blocks + (c.loads ? 1 : 0), platform::LiveGlobalBlocks()) << c.id;
        // Loading again replaces what was there.
        resource.Load(MAKEINTRESOURCEW(c.id), u"PNG", Module());
        EXPECT_EQ(blocks + (c.loads ? 1 : 0), platform::LiveGlobalBlocks()) << c.id;
    }
    EXPECT_EQ(blocks, platform::LiveGlobalBlocks());
}

TEST_F(GdiplusBitmapsTest, PngResourcesBecomePremultipliedArgbBitmapsOfTheirSize)
{
    std::unique_ptr<Gdiplus::Bitmap> bitmap(KVOControls::LoadPngAsArgbBitmap(kGoodPng, Module()));
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(Gdiplus::PixelFormat32bppPARGB, bitmap->GetPixelFormat());
    EXPECT_EQ(2u, bitmap->GetWidth());
    EXPECT_EQ(2u, bitmap->GetHeight());
    Gdiplus::BitmapData data;
    ASSERT_EQ(Gdiplus::Ok, bitmap->LockBits(nullptr, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppPARGB, &data));
    for (int y = 0; y < 2; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
        for (int x = 0; x < 2; ++x) {
            const std::uint32_t straight = picture.argb[static_cast<std::size_t>(y) * 2 + x];
            const std::uint32_t a = straight >> 24;
            for (int shift : {16, 8, 0}) {
                const double expected = ((straight >> shift) & 0xFF) * a / 255.0;
                EXPECT_NEAR(expected, (row[x] >> shift) & 0xFF, 1.5) << x << "," << y << " shift " << shift;
            }
            EXPECT_EQ(a, row[x] >> 24);
        }
    }
    bitmap->UnlockBits(&data);
    for (const UINT missing : {kEmptyPng, kBrokenPng, 4999u}) {
        EXPECT_EQ(nullptr, KVOControls::LoadPngAsArgbBitmap(missing, Module())) << missing;
    }
}

class CountingTimer : public KVO::LowPriorityTimer {
public:
    using LowPriorityTimer::LowPriorityTimer;
    void OnTimer() override { ++ticks; }
    int ticks = 0;
};

TEST_F(GdiplusBitmapsTest, TimerPeriodsAreRoundedAndCappedAndStoppedTimersAreNotKilledAgain)
{
    struct Case {
        double seconds;
        UINT expectedMs; // 0: no timer
    };
    const Case cases[] = {
        {0.0, 0}, {-1.0, 0}, {std::nan(""), 0}, {0.1, 100}, {0.0104, 10}, {1.2345, 1235}, {3000000.0, 2147483647u},
    };
    for (const Case& c : cases) {
        auto timer = std::make_unique<CountingTimer>(c.seconds);
        EXPECT_EQ(c.expectedMs != 0, timer->TimerId() != 0) << c.seconds;
        if (c.expectedMs) {
            EXPECT_EQ(c.expectedMs, ui::TimerElapse(nullptr, timer->TimerId())) << c.seconds;
        }
        const int kills = ui::KillTimerCalls();
        timer.reset();
        EXPECT_EQ(kills + (c.expectedMs ? 1 : 0), ui::KillTimerCalls()) << c.seconds;
    }
    EXPECT_EQ(2147483647u, KVO::LowPriorityTimer::PeriodMs(1e300));

    // Ticks reach the object; a stopped timer stays quiet and its deletion kills nothing.
    CountingTimer a(0);
    CountingTimer b(0.05);
    ASSERT_TRUE(a.StartTimer(100));
    ui::advance(250);
    EXPECT_EQ(2, a.ticks);
    EXPECT_EQ(5, b.ticks);
    a.StopTimer();
    EXPECT_EQ(0u, a.TimerId());
    ui::advance(200);
    EXPECT_EQ(2, a.ticks);
    EXPECT_EQ(9, b.ticks);
    auto stopped = std::make_unique<CountingTimer>(0);
    const int kills = ui::KillTimerCalls();
    stopped.reset();
    EXPECT_EQ(kills, ui::KillTimerCalls());
    // No timer to be had: the start fails and nothing runs.
    ui::FailNextTimers(1);
    CountingTimer refused(0.2);
    EXPECT_EQ(0u, refused.TimerId());
}
}
