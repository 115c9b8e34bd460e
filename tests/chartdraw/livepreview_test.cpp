// Pictures of a data pane following a recording that the host replays while sampling.
#include "chartdraw/datapane.h"
#include "host/blocktimebase.h"
#include "platform/gdi/image.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ChartDraw;

namespace {

// Gaussian-like noise from a hash of the tick, so that any stretch can be drawn again identically.
double Noise(LONGLONG tick, int seed)
{
    std::uint64_t h = static_cast<std::uint64_t>(tick) * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(seed);
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 32;
        sum += static_cast<double>(h & 0xFFFF) / 65535.0;
    }
    return sum - 2.0;
}

// Lane 0: decays of varied height every 700 ticks over noise; lane 1: slow plateaus.
double Signal(int lane, LONGLONG tick)
{
    if (lane == 0) {
        const LONGLONG since = tick % 700;
        const double height = 0.5 + 0.4 * std::sin(static_cast<double>(tick / 700));
        return height * std::exp(-static_cast<double>(since) / 90.0) + 0.04 * Noise(tick, 1);
    }
    return ((tick / 1500) % 3) * 0.3 + 0.02 * Noise(tick, 2);
}

// Draws the recorded part of a signal as one min/max segment per pixel column.
class SignalDrawer : public DrawerBase {
public:
    SignalDrawer(int lane, COLORREF colour, const LONGLONG* recorded)
        : DrawerBase(kKindTrace, lane, 0, kNoAlternateChannel, kNoAlternateSelector), lane_(lane), colour_(colour),
          recorded_(recorded)
    {
    }
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG) override
    {
        *flags = 0;
        *left = *right = 0;
        return S_OK;
    }
    HRESULT SetRect(LONG, const RECT* rect) override
    {
        height_ = rect->bottom - rect->top;
        return S_OK;
    }
    HRESULT Clone(DWORD, IChartRecordDrawer**) override { return E_NOTIMPL; }
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG, LONG, LONG x, const RECT& clip, DWORD,
                 const TimeDivisions*, LONG) override
    {
        HDC hdc = static_cast<HDC>(dc);
        HPEN pen = CreatePen(PS_SOLID, 1, colour_);
        HGDIOBJ old = SelectObject(hdc, pen);
        const double perPixel = static_cast<double>(to - from) / std::max<LONG>(clip.right - x, 1);
        for (LONG column = x; column < clip.right; ++column) {
            const LONGLONG t0 = from + static_cast<LONGLONG>((column - x) * perPixel);
            const LONGLONG t1 = std::min(from + static_cast<LONGLONG>((column - x + 1) * perPixel), *recorded_);
            if (t0 < 0 || t0 >= t1) {
                continue;
            }
            double lo = 1e9;
            double hi = -1e9;
            for (LONGLONG t = t0; t < t1; ++t) {
                lo = std::min(lo, Signal(lane_, t));
                hi = std::max(hi, Signal(lane_, t));
            }
            auto row = [&](double v) { return static_cast<int>(height_ * 0.85 - v * height_ * 0.7); };
            MoveToEx(hdc, column, row(hi), nullptr);
            LineTo(hdc, column, row(lo) + 1);
        }
        SelectObject(hdc, old);
        DeleteObject(pen);
        return S_OK;
    }

private:
    int lane_;
    COLORREF colour_;
    const LONGLONG* recorded_;
    LONG height_ = 0;
};

// Fills the lane's background (the graticule's place).
class BackgroundDrawer : public SignalDrawer {
public:
    explicit BackgroundDrawer(COLORREF colour) : SignalDrawer(0, colour, nullptr), colour_(colour) { kind = kKindGraticule; }
    HRESULT Draw(owl::TDC& dc, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT& clip, DWORD,
                 const TimeDivisions*, LONG) override
    {
        HBRUSH brush = CreateSolidBrush(colour_);
        RECT area = clip;
        area.top = 0;
        area.bottom = 0x7FFF;
        FillRect(static_cast<HDC>(dc), &area, brush);
        DeleteObject(brush);
        return S_OK;
    }

private:
    COLORREF colour_;
};

TEST(LivePreview, FollowsARecordingReplayedWhileSampling)
{
    const LONG width = 322;
    const LONG height = 160;
    LONGLONG recorded = 0;
    auto timeBase = host::BlockTimeBase::Create(0.001); // 1 kHz
    DataPane pane;
    pane.tickCount = [] { return DWORD{0}; };
    pane.SetBackgroundColour(RGB(250, 250, 244));
    pane.Scale()->EnsureLabelDrawer();
    pane.SetLaneCount(2);
    pane.SetSize(width, height);
    pane.SetTimeBase(timeBase.Get());
    const COLORREF colours[2]{RGB(20, 60, 200), RGB(180, 40, 40)};
    for (int lane = 0; lane < 2; ++lane) {
        auto* background = new BackgroundDrawer(RGB(250, 250, 244));
        background->AddRef();
        pane.Lane(lane)->AddDrawer(0x80000000, background, 255);
        background->Release();
        auto* drawer = new SignalDrawer(lane, colours[lane], &recorded);
        drawer->AddRef();
        pane.Lane(lane)->AddDrawer(0, drawer, 255);
        drawer->Release();
    }
    pane.SetSize(width, height); // the drawers take the lanes' rectangles
    ASSERT_TRUE(pane.SetCompression(KVORationalImp(10, 1), nullptr, false)); // 10 ms per pixel

    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.001, false);
    struct Moment {
        LONGLONG samples;
        const char* golden;
    } moments[] = {{1200, "live_preview_1.png"}, {3200, "live_preview_2.png"}, {7400, "live_preview_3.png"}};
    charttest::Canvas canvas(width, height, RGB(128, 128, 128));
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.golden);
        for (LONGLONG step = recorded + 100; step <= m.samples; step += 100) {
            recorded = step;
            pane.NewData(step);
        }
        pane.PaintLayers(canvas.dc, RECT{0, 0, width, height});
        pane.Scale()->DrawFrame(canvas.dc);
        for (std::size_t lane = 0; lane < pane.LaneCount(); ++lane) {
            pane.Lane(lane)->DrawFrame(canvas.dc);
        }
        EXPECT_EQ(pane.RightEdge(), m.samples / 10); // following the newest data
        const gdi::Image picture = gdi::ImageOfBitmap(canvas.bitmap);
        const gdi::GoldenCheck check = gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/" + m.golden);
        EXPECT_TRUE(check.ok) << check.message;
    }
}

} // namespace

namespace {

// In jump mode every lane shows the sweep cursor, a line in the contrast colour of black, where the newest data
// are drawn; otherwise the lanes are painted from their layers without it.
TEST(LivePreview, TheSweepCursorShowsInJumpModeOnly)
{
    const LONG width = 202;
    const LONG height = 100;
    LONGLONG recorded = 0;
    auto timeBase = host::BlockTimeBase::Create(0.001);
    DataPane pane;
    pane.tickCount = [] { return DWORD{0}; };
    pane.SetBackgroundColour(RGB(250, 250, 244));
    pane.SetLaneCount(1);
    pane.SetSize(width, height);
    pane.SetTimeBase(timeBase.Get());
    auto* background = new BackgroundDrawer(RGB(250, 250, 244));
    background->AddRef();
    pane.Lane(0)->AddDrawer(0x80000000, background, 255);
    background->Release();
    pane.SetSize(width, height);
    ASSERT_TRUE(pane.SetCompression(KVORationalImp(10, 1), nullptr, false));
    pane.SamplingStarted(0);
    pane.BlockStarted(0, 0.001, false);
    for (LONGLONG step = 100; step <= 3000; step += 100) {
        recorded = step;
        pane.NewData(step);
    }
    charttest::Canvas canvas(width, height, RGB(128, 128, 128));
    pane.PaintLayers(canvas.dc, RECT{0, 0, width, height});
    const RECT lane = pane.Lane(0)->rect;
    const int x = lane.left + pane.SweepCursor();
    const int y = (lane.top + lane.bottom) / 2;
    ASSERT_TRUE(pane.IsFollowingNewest());
    EXPECT_NE(GetPixel(canvas.dc, x, y), RGB(0, 0, 0));
    pane.SetJumpToNewestOnStart(true);
    pane.DrawSweepCursor(canvas.dc);
    EXPECT_EQ(GetPixel(canvas.dc, x, y), RGB(0, 0, 0));
    EXPECT_NE(GetPixel(canvas.dc, x + 5, y), RGB(0, 0, 0));
    (void)recorded;
}

} // namespace
