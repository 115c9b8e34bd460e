// The chart window: the keyboard hook and its cursor, accelerators that step the scroll bar, sizes, painting under
// the pane's lock, and the zoom bar (ratio texts, menu commands, widths).
#include "chartdraw/datawin.h"
#include "host/blocktimebase.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/window.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

using namespace ChartDraw;

namespace {

class Dialog : public owl::TWindow {
public:
    Dialog() : TWindow(nullptr, u"page")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 20;
        Attr.Y = 20;
        Attr.W = 600;
        Attr.H = 400;
    }
};

// A drawer that looks, while it draws, whether another thread could take the pane's lock.
class LockProbe : public charttest::FillDrawer {
public:
    LockProbe(DataPane& pane) : FillDrawer(1, RGB(200, 220, 240)), pane_(pane) {}
    HRESULT Draw(owl::TDC& dc, LONGLONG a, LONGLONG b, LONGLONG c, LONG d, LONG e, const RECT& clip, DWORD flags,
                 const ChartDraw::TimeDivisions* divisions, LONG f) override
    {
        std::thread([this] {
            if (pane_.Lock().try_lock()) {
                freeWhileDrawing = true;
                pane_.Lock().unlock();
            }
        }).join();
        return FillDrawer::Draw(dc, a, b, c, d, e, clip, flags, divisions, f);
    }
    bool freeWhileDrawing = false;

private:
    DataPane& pane_;
};

using ChartWindow = DataWin<DataPane>;

class DataWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        dialog = new Dialog;
        dialog->Create();
    }
    void TearDown() override
    {
        ui::SetPopupMenuHook(nullptr);
        for (ChartWindow* window : windows) {
            window->Destroy();
            delete window;
        }
        dialog->Destroy();
        delete dialog;
        ui::reset();
    }
    ChartWindow& NewWindow(int x = 10, int y = 10, int w = 402, int h = 200)
    {
        auto* window = new ChartWindow(dialog);
        window->Attr.X = x;
        window->Attr.Y = y;
        window->Attr.W = w;
        window->Attr.H = h;
        window->Scale()->EnsureLabelDrawer();
        window->Create();
        windows.push_back(window);
        return *window;
    }
    Dialog* dialog = nullptr;
    std::vector<ChartWindow*> windows;
};

TEST_F(DataWinTest, CtrlOverAChartShowsTheSizeAllCursorAndTheHookGoesWithTheLastWindow)
{
    const std::size_t hooksBefore = ui::KeyboardHookCount();
    ChartWindow& first = NewWindow(10, 10, 200, 100);
    NewWindow(300, 10, 200, 100);
    EXPECT_TRUE(DataWinBase::HookInstalled());
    EXPECT_EQ(hooksBefore + 1, ui::KeyboardHookCount()); // one hook for both windows

    HCURSOR sizeAll = LoadCursorW(nullptr, IDC_SIZEALL);
    ui::MouseMove(first, POINT{50, 50});
    ASSERT_TRUE(DataWinBase::PointerInside());
    HCURSOR before = GetCursor();
    ASSERT_NE(sizeAll, before);
    ui::KeyDown(VK_CONTROL);
    EXPECT_EQ(sizeAll, GetCursor());
    ui::KeyUp(VK_CONTROL);
    EXPECT_EQ(before, GetCursor());

    // Outside every chart Ctrl changes nothing.
    ui::MouseMove(*dialog, POINT{250, 300});
    EXPECT_FALSE(DataWinBase::PointerInside());
    HCURSOR outside = GetCursor();
    ui::KeyDown(VK_CONTROL);
    EXPECT_EQ(outside, GetCursor());
    ui::KeyUp(VK_CONTROL);

    windows[0]->Destroy();
    delete windows[0];
    windows.erase(windows.begin());
    EXPECT_TRUE(DataWinBase::HookInstalled());
    windows[0]->Destroy();
    delete windows[0];
    windows.clear();
    EXPECT_FALSE(DataWinBase::HookInstalled());
    EXPECT_EQ(hooksBefore, ui::KeyboardHookCount());
}

TEST_F(DataWinTest, ArrowKeysStepTheViewAsTheScrollBarDoes)
{
    struct Case {
        UINT key;
        bool shift;
        WORD code;
    } cases[] = {{VK_LEFT, false, SB_LINEUP},
                 {VK_RIGHT, false, SB_LINEDOWN},
                 {VK_LEFT, true, SB_PAGEUP},
                 {VK_RIGHT, true, SB_PAGEDOWN}};
    ChartWindow& window = NewWindow();
    auto timeBase = host::BlockTimeBase::Create(0.0001);
    timeBase->AppendBlock(1000000); // 100000 pixels at 10 ticks per pixel
    window.SetTimeBase(timeBase.Get());
    window.DataPane::Invalidate(0xFF000000u);
    auto* bar = dynamic_cast<ScrollBarWin*>(window.HorizontalBar());
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsEnabled());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        // From the middle of the recording, once by key and once by the bar's own notice.
        auto stepFromMiddle = [&](const std::function<void()>& step) {
            window.ScrollToPosition(ChartBlockPosition{500000, 0}, 1);
            const LONGLONG start = window.RightEdge();
            step();
            return window.RightEdge() - start;
        };
        const LONGLONG byKey = stepFromMiddle([&] {
            ::SetFocus(window);
            if (c.shift) {
                ui::KeyDown(VK_SHIFT);
            }
            ui::PressKey(c.key);
            if (c.shift) {
                ui::KeyUp(VK_SHIFT);
            }
        });
        const LONGLONG byBar = stepFromMiddle([&] {
            ::SendMessageW(*dialog, WM_HSCROLL, MAKEWPARAM(c.code, 0), reinterpret_cast<LPARAM>(bar->GetHandle()));
        });
        const LONGLONG step = c.code == SB_LINEUP || c.code == SB_LINEDOWN ? bar->GetLineMagnitude()
                                                                            : bar->GetPageMagnitude();
        EXPECT_EQ(byBar, byKey);
        EXPECT_EQ((c.code == SB_LINEUP || c.code == SB_PAGEUP ? -step : step) * window.ScrollScale(), byKey);
    }
}

TEST_F(DataWinTest, AHeightOfZeroLeavesThePaneSizeAndThePaintHoldsTheLock)
{
    ChartWindow& window = NewWindow();
    EXPECT_EQ(402, window.Width());
    EXPECT_EQ(200, window.Height());
    window.MoveWindow(10, 10, 300, 0, true);
    EXPECT_EQ(402, window.Width());
    EXPECT_EQ(200, window.Height());
    window.MoveWindow(10, 10, 300, 150, true);
    EXPECT_EQ(300, window.Width());
    EXPECT_EQ(150, window.Height());

    auto timeBase = host::BlockTimeBase::Create(0.0001);
    timeBase->AppendBlock(100000);
    window.SetTimeBase(timeBase.Get());
    auto* probe = new LockProbe(window);
    probe->AddRef();
    window.Lane(0)->AddDrawer(0, probe, 255);
    probe->Release();
    window.DataPane::Invalidate(0xFF000000u);
    window.InvalidateWhole(false);
    ui::pump();
    EXPECT_GT(probe->draws, 0);
    EXPECT_FALSE(probe->freeWhileDrawing);
}

TEST(ZoomRatio, TextsOfCompressions)
{
    struct Case {
        LONGLONG numerator;
        LONGLONG denominator;
        const char16_t* text;
    } cases[] = {{1, 4, u"x4"},          {1, 1, u"1:1"},        {1000, 1, u"1k:1"},    {999, 1, u"999:1"},
                 {9999995, 10000, u"1k:1"}, {0, 1, u"x?"},       {5000, 1, u"5k:1"},    {1500, 1, u"1.5k:1"},
                 {1, 10, u"x10"},        {3, 10, u"x3.33"},     {500000, 1, u"500k:1"}, {2, 1, u"2:1"}};
    for (const Case& c : cases) {
        EXPECT_EQ(std::u16string(c.text), FormatCompression(c.numerator, c.denominator))
            << c.numerator << "/" << c.denominator;
    }
}

TEST_F(DataWinTest, TheZoomBarSizesItsButtonsAndRebuildsItsMenuWithTheCompressionChecked)
{
    ChartWindow& window = NewWindow();
    auto* zoom = dynamic_cast<ZoomControlWin*>(window.Zoom());
    ASSERT_NE(nullptr, zoom);
    ASSERT_NE(nullptr, zoom->RatioButton());
    EXPECT_EQ(u"10:1", zoom->RatioButton()->GetText());
    EXPECT_EQ(nullptr, zoom->Button(ZoomControlWin::ShowLatest)); // not asked for
    zoom->ShowFollowing(false);                                    // and nothing to show it on

    const owl::TRect ratio = zoom->RatioButton()->GetBounds();
    EXPECT_GT(ratio.Width(), 20);
    for (UINT command : {ZoomControlWin::Compress, ZoomControlWin::Expand}) {
        EXPECT_EQ(ratio.Width(), zoom->Button(command)->GetBounds().Width()) << command;
    }
    // The control row lies under the data area, the zoom bar at its right end.
    const owl::TRect zoomRect = zoom->GetWindowRect();
    const owl::TRect chartRect = window.GetWindowRect();
    EXPECT_EQ(chartRect.bottom + 1, zoomRect.top);
    EXPECT_EQ(chartRect.left + 1 + window.Visible(), zoomRect.right);

    KVORationalImp ratioOut{7, 3};
    EXPECT_EQ(E_INVALIDARG, zoom->RatioForCommand(ratioOut, 1129));
    EXPECT_EQ(E_INVALIDARG, zoom->RatioForCommand(ratioOut, 1151));
    EXPECT_EQ(KVORationalImp(7, 3), ratioOut);
    EXPECT_EQ(S_OK, zoom->RatioForCommand(ratioOut, 1130));
    EXPECT_EQ(KVORationalImp(1, 10), ratioOut);

    ASSERT_TRUE(window.SetCompression(KVORationalImp(100, 1), nullptr, true));
    EXPECT_EQ(u"100:1", zoom->RatioButton()->GetText());
    std::vector<std::u16string> texts;
    UINT checked = 0;
    ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
        for (int i = 0; i < GetMenuItemCount(request.menu); ++i) {
            WCHAR text[32] = {};
            GetMenuStringW(request.menu, static_cast<UINT>(i), text, 32, MF_BYPOSITION);
            texts.emplace_back(text);
            if (GetMenuState(request.menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) {
                checked = GetMenuItemID(request.menu, i);
            }
        }
        return 1142; // 1k:1
    });
    const owl::TRect b = zoom->RatioButton()->GetBounds();
    ui::Click(*zoom, POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
    ASSERT_EQ(21u, texts.size());
    EXPECT_EQ(u"x10", texts[0]);
    EXPECT_EQ(u"1:1", texts[3]);
    EXPECT_EQ(u"500k:1", texts[20]);
    EXPECT_EQ(1139u, checked);
    EXPECT_EQ(KVORationalImp(1000, 1), window.GetCompression());
    EXPECT_EQ(u"1k:1", zoom->RatioButton()->GetText());
}

// The zoom menu lists the ratios from the finest to the coarsest, each under the command that the menu resource
// gives it, and the ratio the user picks by its name is the chart's compression.
TEST_F(DataWinTest, TheZoomMenuListsItsRatiosInOrderAndGivesThePickedOne)
{
    ChartWindow& window = NewWindow();
    auto* zoom = dynamic_cast<ZoomControlWin*>(window.Zoom());
    ASSERT_NE(nullptr, zoom);
    const std::vector<std::u16string> names = {u"x10",  u"x5",    u"x2",    u"1:1",   u"2:1",   u"5:1",   u"10:1",
                                               u"20:1", u"50:1",  u"100:1", u"200:1", u"500:1", u"1k:1",  u"2k:1",
                                               u"5k:1", u"10k:1", u"20k:1", u"50k:1", u"100k:1", u"200k:1", u"500k:1"};
    std::vector<std::pair<UINT, std::u16string>> items;
    const owl::TRect b = zoom->RatioButton()->GetBounds();
    const auto pick = [&](const std::u16string& name) {
        ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
            items.clear();
            UINT picked = 0;
            for (int i = 0; i < GetMenuItemCount(request.menu); ++i) {
                WCHAR text[32] = {};
                GetMenuStringW(request.menu, static_cast<UINT>(i), text, 32, MF_BYPOSITION);
                items.emplace_back(GetMenuItemID(request.menu, i), text);
                picked = items.back().second == name ? items.back().first : picked;
            }
            return picked;
        });
        ui::Click(*zoom, POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
        ui::SetPopupMenuHook({});
    };
    pick(u"");
    ASSERT_EQ(names.size(), items.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(items[i], std::make_pair(static_cast<UINT>(1130 + i), names[i])) << i;
    }
    const struct {
        const char16_t* name;
        KVORationalImp compression;
    } picks[] = {{u"x2", {1, 2}}, {u"2:1", {2, 1}}, {u"5:1", {5, 1}}, {u"20:1", {20, 1}}};
    for (const auto& c : picks) {
        pick(c.name);
        EXPECT_EQ(c.compression, window.GetCompression()) << testing::PrintToString(std::u16string(c.name));
        EXPECT_EQ(c.name, zoom->RatioButton()->GetText());
    }
}

} // namespace

TEST_F(DataWinTest, MouseTimerAndNotificationsReachThePanesObjectsAfterTheWindow)
{
    ChartWindow& window = NewWindow(10, 10, 200, 100);
    std::vector<std::string> log;
    charttest::NoteTaker watcher{"w", log};
    window.AddInteractiveObject(&watcher, 1);
    log.clear();

    ui::MouseMove(window, POINT{50, 40});
    ui::Click(window, POINT{50, 40});
    const auto saw = [&](UINT message) {
        return std::count(log.begin(), log.end(), "w: input " + std::to_string(message)) > 0;
    };
    EXPECT_TRUE(saw(WM_MOUSEMOVE));
    EXPECT_TRUE(saw(WM_LBUTTONDOWN));
    EXPECT_TRUE(saw(WM_LBUTTONUP));
    EXPECT_EQ(window.GetHandle(), GetFocus()); // the window's own handling ran too

    NMHDR header{window.GetHandle(), 7, 0};
    EXPECT_EQ(0, SendMessageW(window.GetHandle(), WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)));
    EXPECT_TRUE(saw(WM_NOTIFY));
    SendMessageW(window.GetHandle(), WM_TIMER, 42, 0);
    EXPECT_TRUE(saw(WM_TIMER));
    ui::MouseMove(*dialog, POINT{500, 300});
    EXPECT_TRUE(saw(WM_MOUSELEAVE));

    // An object that takes the cursor request keeps its cursor; one for another window is not asked.
    charttest::NoteTaker taker{"t", log, true};
    window.AddInteractiveObject(&taker, 2);
    log.clear();
    EXPECT_EQ(TRUE, SendMessageW(window.GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window.GetHandle()),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_TRUE(saw(WM_SETCURSOR));
    log.clear();
    SendMessageW(window.GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog->GetHandle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_FALSE(saw(WM_SETCURSOR));
    window.RemoveAllObjects();
}
