// The analysis view as the host opens it: its picture, its labels, the scroll bar's state, keys turned into scroll
// codes, navigation with and without events, the thumb dragged across events, and the value menu.
#include "viewfixture.h"

#include "controls/popupmenu.h"
#include "document/paramcatalogue.h"
#include "foundation/moduleinstance.h"
#include "frame/views.h"
#include "graph/analysisview/analysisplot.h"
#include "graph/analysisview/analysisscrollbar.h"
#include "graph/analysisview/analysisview.h"
#include "host/displaysettings.h"
#include "platform/gdi/image.h"
#include "platform/owl/gadget.h"
#include "platform/owl/gadgetwindow.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"

#include "platform/owl/gadgetwindow.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace viewtest;

owl::TModule& ViewModule()
{
    static owl::TModule module(nullptr, KVO::ModuleInstance());
    return module;
}

// The analysis view, recording what it asks of the document.
class RecordingView final : public AnalysisView {
public:
    using AnalysisView::AnalysisView;
    void SelectEvent(std::int32_t index, DWORD flags) override
    {
        selected.push_back(index);
        AnalysisView::SelectEvent(index, flags);
    }
    void ShowCurrentEventInChart() override
    {
        ++shownInChart;
        AnalysisView::ShowCurrentEventInChart();
    }
    std::vector<std::int32_t> selected;
    int shownInChart = 0;
};

std::string Utf8(const KVO::String& text) { return platform::Utf16ToUtf8(std::u16string(text.View())); }

struct OpenedAnalysisView {
    explicit OpenedAnalysisView(ViewDocument& view, int width = 600, int height = 460)
    {
        viewClass = platform::ComPtr<IDocViewClass>(new CAFOwlDocViewClass<CAFOwlDocView<RecordingView>>(&ViewModule()));
        opened = host::OpenView(AnalysisHost().Log(), viewClass.Get(), view.hostDocument.Get());
        EXPECT_EQ(opened.created, S_OK);
        window = dynamic_cast<RecordingView*>(owl::TWindow::GetWindowPtr(opened.window));
        EXPECT_NE(window, nullptr);
        MoveWindow(opened.window, 0, 0, width, height, TRUE);
        ui::pump();
    }
    ~OpenedAnalysisView()
    {
        if (opened.view) {
            opened.view->Close();
        }
        ui::pump();
    }
    void Scroll(int code) { SendMessageW(opened.window, WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(window->ScrollBar()->GetHandle())); }

    platform::ComPtr<IDocViewClass> viewClass;
    host::OpenedView opened;
    RecordingView* window = nullptr;
};

TEST(AnalysisView, TheWholeViewAsItsWindowShowsIt)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    view.doc->SelectEvent(1, 0);
    ui::pump();
    const gdi::GoldenCheck check =
        gdi::CheckGolden(ui::RenderWindow(opened.opened.window), std::string(TEST_DATA_DIR) + "/analysis_view.png");
    EXPECT_TRUE(check.ok) << check.message;
}

// The host's display notice reaches an open view, whose plot takes the document's grid colour and options again at
// once; the value axis is captioned with the recording's channel name.
TEST(AnalysisView, AnOpenViewTakesTheHostsColoursOnItsDisplayNotice)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    MGraph1::Graph2DDrawer& drawer = *opened.window->Plot()->Drawer();
    EXPECT_EQ(Utf8(drawer.GetYUnits()), "Vm");
    const MGraph1::GraphDisplaySettings before = drawer.GetDisplayInfo();
    EXPECT_EQ(before.gridColour, host::ApplicationColours().Palette(16)) << "the application's colour 16";
    EXPECT_TRUE(before.shown);

    view.source->SetDisplaySetting(host::DocumentSettings::kGridColour, 3);
    EXPECT_EQ(drawer.GetDisplayInfo().gridColour, host::ApplicationColours().Palette(3));
    view.source->SetDisplaySetting(host::DocumentSettings::kGridShown, 0);
    EXPECT_FALSE(drawer.GetDisplayInfo().shown);
    view.source->SetDisplaySetting(host::DocumentSettings::kGridDots, 1);
    EXPECT_EQ(drawer.GetDisplayInfo().dots, 1);

    // The application's colours are read anew too.
    host::ApplicationColours().Set(3, 0x123456);
    view.source->SetDisplaySetting(host::DocumentSettings::kGridColour, 0x10003);
    EXPECT_EQ(drawer.GetDisplayInfo().gridColour, 0x123456u);
    host::ApplicationColours().ResetPalette();

    // A closed view hears nothing more.
    opened.opened.view->Close();
    opened.opened.view.Reset();
    ui::pump();
    view.source->SetDisplaySetting(host::DocumentSettings::kGridColour, 4);
}

TEST(AnalysisView, LabelsTitleAndScrollBar)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    RecordingView& v = *opened.window;
    EXPECT_EQ(Utf8(v.Title()), ": Crestmetrics View");
    HWND bar = v.ScrollBar()->GetHandle();
    // The toolbar's tooltips are on once the view is set up.
    ASSERT_NE(v.Toolbar(), nullptr);
    EXPECT_NE(v.Toolbar()->GetTooltip(), nullptr);

    struct Case {
        std::int32_t current;
        const char* label;
    };
    for (const Case& c : {Case{1, "Baseline: 0.1 V, Event 2 of 3."}, Case{0, "Baseline: 0.1 V, Event 1 of 3."},
                          Case{3, "Baseline: No value"}, Case{-1, "Baseline: No value"}}) {
        view.doc->SelectEvent(c.current, 0);
        EXPECT_EQ(Utf8(v.EventLabel()), c.label) << c.current;
        // Set to 20 by 20 at setup, the label's width still follows its text, so none of it is cut; its height is
        // the toolbar's.
        owl::TSize wanted;
        v.Label()->GetDesiredSize(wanted);
        EXPECT_EQ(v.Label()->GetBounds().Width(), wanted.cx) << c.current;
        EXPECT_GT(wanted.cx, 60) << c.current;
        EXPECT_EQ(v.Label()->GetBounds().Height(), v.Toolbar()->GetClientRect().Height()) << c.current;
    }
    view.doc->SelectEvent(2, 0);
    EXPECT_TRUE(IsWindowEnabled(bar));
    const int step = AnalysisScrollBar::ThumbStep(600, 3);
    int low = -1, high = -1;
    GetScrollRange(bar, SB_CTL, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, step * 3);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 2 * step);
    EXPECT_EQ(v.ScrollBar()->GetPageSize(), static_cast<owl::uint>(step));

    view.Store({});
    view.doc->SelectEvent(0, 0);
    EXPECT_EQ(Utf8(v.EventLabel()), "No Events");
    EXPECT_FALSE(IsWindowEnabled(bar));
}

TEST(AnalysisView, ThumbStepsKeepEveryEventAndFitAnInt)
{
    struct Case {
        int width;
        int count;
        int step;
    };
    const Case cases[] = {
        {600, 3, 600}, {600, 7, 600}, {502, 7, 501}, {1, 49, 1}, {0, 5, 1}, {600, 1000000, 600}, {5000, 1000000, INT_MAX / 1000000},
        {100, INT_MAX, 1},
    };
    for (const Case& c : cases) {
        const int step = AnalysisScrollBar::ThumbStep(c.width, c.count);
        EXPECT_EQ(step, c.step) << c.width << " px, " << c.count;
        EXPECT_LE(static_cast<long long>(step) * c.count, INT_MAX);
        // Each event's own position leads back to it.
        for (const int k : {0, c.count / 2, c.count - 1}) {
            EXPECT_EQ(k * step / step, k);
        }
    }
}

TEST(AnalysisView, KeysAreScrollCodes)
{
    const std::pair<UINT, int> keys[] = {{VK_PRIOR, SB_PAGELEFT}, {VK_NEXT, SB_PAGERIGHT}, {VK_END, SB_RIGHT},
                                         {VK_HOME, SB_LEFT},      {VK_LEFT, SB_LINELEFT},  {VK_UP, SB_LINELEFT},
                                         {VK_RIGHT, SB_LINERIGHT}, {VK_DOWN, SB_LINERIGHT}, {'A', -1},
                                         {VK_RETURN, -1}};
    for (const auto& [key, code] : keys) {
        EXPECT_EQ(AnalysisView::ScrollCodeOfKey(key), code) << key;
    }

    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    RecordingView& v = *opened.window;
    const auto press = [&](UINT message, UINT key) {
        MSG msg{opened.opened.window, message, key, 0, 0, {}};
        return v.PreProcessMsg(msg);
    };
    struct Step {
        UINT key;
        std::int32_t current;
    };
    // Line down at the last event stays there; page up from 1 goes to 0.
    for (const Step& s : {Step{VK_RIGHT, 1}, Step{VK_DOWN, 2}, Step{VK_RIGHT, 2}, Step{VK_LEFT, 1}, Step{VK_PRIOR, 0},
                          Step{VK_NEXT, 2}, Step{VK_HOME, 0}, Step{VK_END, 2}}) {
        EXPECT_TRUE(press(WM_KEYDOWN, s.key));
        EXPECT_EQ(view.doc->CurrentEvent(), s.current) << s.key;
    }
    EXPECT_EQ(v.shownInChart, 0);
    EXPECT_TRUE(press(WM_KEYUP, VK_END));
    EXPECT_EQ(v.shownInChart, 1) << "releasing a key ends the scroll and shows the event in the chart";
    EXPECT_FALSE(press(WM_KEYDOWN, 'A'));
    EXPECT_FALSE(press(WM_CHAR, VK_RIGHT));
}

TEST(AnalysisView, NavigationWithoutEvents)
{
    ViewDocument view({100});
    view.Store({});
    OpenedAnalysisView opened(view);
    RecordingView& v = *opened.window;
    struct Step {
        int code;
        std::vector<std::int32_t> asked;
    };
    for (const Step& s : {Step{SB_LINERIGHT, {}}, Step{SB_LINELEFT, {}}, Step{SB_PAGERIGHT, {}}, Step{SB_PAGELEFT, {}},
                          Step{SB_LEFT, {0}}, Step{SB_RIGHT, {-1}}}) {
        v.selected.clear();
        opened.Scroll(s.code);
        EXPECT_EQ(v.selected, s.asked) << s.code;
    }
    // Event -1 shows the empty record: no place in the list, and no crash reading it.
    EXPECT_EQ(view.doc->CurrentEvent(), -1);
    EXPECT_EQ(Utf8(v.EventLabel()), "No Events");
}

TEST(AnalysisView, DraggingTheThumbSelectsEachEventOnceAndMarksTheChartAtTheEnd)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    RecordingView& v = *opened.window;
    HWND bar = v.ScrollBar()->GetHandle();
    RECT area{};
    GetClientRect(bar, &area);
    const int arrow = area.bottom; // square arrow buttons at both ends
    const int y = area.bottom / 2;
    // The thumb is a third of the track at its left end; drag it by its middle to the right end in small steps.
    const int track = area.right - 2 * arrow;
    POINT at{arrow + track / 6, y};
    ui::MouseDown(bar, at);
    for (int x = at.x + 10; x <= area.right; x += 10) {
        ui::MouseMove(bar, POINT{x, y});
        EXPECT_EQ(v.shownInChart, 0) << "not while dragging";
        EXPECT_TRUE(v.ScrollBar()->IsTracking());
    }
    ui::MouseUp(bar, POINT{area.right, y});
    ui::pump();
    EXPECT_EQ(v.selected, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(view.doc->CurrentEvent(), 2);
    EXPECT_EQ(v.shownInChart, 1);
    EXPECT_FALSE(v.ScrollBar()->IsTracking());
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 2 * AnalysisScrollBar::ThumbStep(600, 3)) << "the thumb snaps to its event";
}

// The value menu open over the view, as the user sees it while choosing.
TEST(AnalysisView, TheValueMenuOpenShowsOverTheView)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view, 600, 760);
    // At the bottom of the screen the menu has no room below its button and opens upwards over the view.
    HWND root = GetAncestor(opened.opened.window, GA_ROOT);
    RECT frame{};
    GetWindowRect(root, &frame);
    SetWindowPos(root, nullptr, 0, GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    view.doc->SelectEvent(1, 0);
    ui::pump();
    gdi::Image picture;
    int popups = 0;
    const ui::PopupMenuHook previous = ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
        ++popups;
        EXPECT_TRUE(IsWindowVisible(request.window));
        picture = ui::RenderWindow(opened.opened.window);
        return 0;
    });
    opened.window->ValueMenu()->OpenMenu(); // as a press on its button does
    ui::SetPopupMenuHook(previous);
    ASSERT_EQ(popups, 1);
    EXPECT_FALSE(IsWindow(ui::TrackedPopups().back().window)); // closed again
    const gdi::GoldenCheck check =
        gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/analysis_view_value_menu.png");
    EXPECT_TRUE(check.ok) << check.message;
}

TEST(AnalysisView, TheValueMenuChoosesTheLabelsParameter)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    RecordingView& v = *opened.window;
    view.doc->SelectEvent(0, 0);
    PopupMenu& menu = *v.ValueMenu();
    ASSERT_EQ(menu.GetMenuItemCount(), view.doc->Catalogue().RowCount(0));
    EXPECT_EQ(menu.CheckedId(), 1001);

    // Row 6 of the general type is APeak.
    SendMessageW(opened.opened.window, WM_COMMAND, MAKEWPARAM(1007, 0), 0);
    EXPECT_EQ(v.ChosenValueRow(), 6);
    EXPECT_EQ(Utf8(v.EventLabel()), "APeak: 1.1 V, Event 1 of 3.");
    EXPECT_EQ(GetMenuState(menu.MenuHandle(), 1007, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu.MenuHandle(), 1001, MF_BYCOMMAND) & MF_CHECKED, 0u);

    // Row 30 exists for the general type only: a type with fewer rows starts again at its first.
    SendMessageW(opened.opened.window, WM_COMMAND, MAKEWPARAM(1031, 0), 0);
    ASSERT_EQ(v.ChosenValueRow(), 30);
    view.SetAnalysisType(1);
    v.Refresh();
    EXPECT_EQ(v.ChosenValueRow(), 0);
    EXPECT_EQ(menu.GetMenuItemCount(), view.doc->Catalogue().RowCount(1));
    EXPECT_EQ(Utf8(v.EventLabel()), "RMP: 0.1 V, Event 1 of 3.");
}

} // namespace

namespace {

// The host may send any kind through the view's command handler: only command kinds reach a member, and an update
// request needs the command-state object it passes.
TEST(AnalysisView, DispatchByKindOnlyCallsCommandEntries)
{
    ViewDocument view({100, 180, 260});
    OpenedAnalysisView opened(view);
    platform::ComPtr<ICAFCommandHandler> handler;
    ASSERT_EQ(opened.opened.view->QueryInterface(IID_ICAFCommandHandler, handler.OutVoid()), S_OK);

    EXPECT_EQ(handler->Dispatch(CAF::CommandId::kCopy, 3, 0, 0), S_FALSE);      // update entry without a state
    EXPECT_EQ(handler->Dispatch(0, 1, 0, 0), S_FALSE);          // the map's header
    EXPECT_EQ(handler->Dispatch(0, 0, 0, 0), S_FALSE);          // the end of the map
    EXPECT_EQ(handler->Dispatch(CAF::CommandId::kCopy, 4, 0, 0), S_FALSE);      // observer kind
    EXPECT_EQ(handler->Dispatch(CAF::CommandId::kCopy, 5, 0, 0), S_FALSE);      // message kind
    EXPECT_EQ(handler->Dispatch(CAF::CommandId::kCopy, 0x103, 0, 0), S_FALSE);  // above the command kinds

    auto state = host::CommandState::Create();
    EXPECT_EQ(handler->Dispatch(CAF::CommandId::kCopy, 3, reinterpret_cast<LPARAM>(state.Get()), 0), S_OK);
    EXPECT_TRUE(state->Enabled().has_value());
}

} // namespace
