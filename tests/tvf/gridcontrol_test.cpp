#include "tests/tvf/gridfixture.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/rownumberspane.h"

#include "platform/gdi/image.h"
#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace TVF_Grid;
using namespace TVF_Grid::testing;

namespace {

TEST_F(GridTest, KeysMoveAndGrowTheSelection)
{
    SetRows(100);
    const int visible = grid->Pane().VisibleRows();
    ASSERT_GT(visible, 5);
    const int lastTop = 100 - visible;
    struct Case {
        const char* name;
        int topRow, row, column;
        UINT modifier, key;
        CellRange expected;
        int expectedTop;
    };
    const Case cases[] = {
        {"up at the first row", 0, 1, 2, 0, VK_UP, Cells(1, 1, 2, 2), 0},
        {"down at the last row", lastTop, 100, 2, 0, VK_DOWN, Cells(100, 100, 2, 2), lastTop},
        {"enter at the last row", lastTop, 100, 2, 0, VK_RETURN, Cells(100, 100, 2, 2), lastTop},
        {"down below the last visible row", 0, visible, 2, 0, VK_DOWN, Cells(visible + 1, visible + 1, 2, 2), 1},
        {"up above the top row", 10, 11, 2, 0, VK_UP, Cells(10, 10, 2, 2), 9},
        {"shift up", 0, 5, 2, VK_LSHIFT, VK_UP, Cells(4, 5, 2, 2), 0},
        {"right shift down", 0, 5, 2, VK_RSHIFT, VK_DOWN, Cells(5, 6, 2, 2), 0},
        {"shift down onto the last visible row", 0, visible - 1, 2, VK_LSHIFT, VK_DOWN,
         Cells(visible - 1, visible, 2, 2), 1},
        {"shift enter onto the last visible row", 0, visible - 1, 2, VK_LSHIFT, VK_RETURN,
         Cells(visible - 1, visible, 2, 2), 1},
        {"left ctrl down moves", 0, 5, 2, VK_LCONTROL, VK_DOWN, Cells(6, 6, 2, 2), 0},
        {"shift home", 20, 50, 2, VK_LSHIFT, VK_HOME, Cells(1, 50, 2, 2), 0},
        {"shift end", 20, 50, 2, VK_LSHIFT, VK_END, Cells(50, 100, 2, 2), lastTop},
        {"shift page down", 0, 2, 2, VK_LSHIFT, VK_NEXT, Cells(2, visible + 1, 2, 2), visible},
        {"shift page up", 50, 55, 2, VK_LSHIFT, VK_PRIOR, Cells(51 - visible, 55, 2, 2), 50 - visible},
        {"right", 0, 3, 2, 0, VK_RIGHT, Cells(3, 3, 3, 3), 0},
        {"right at the last column", 0, 3, 4, 0, VK_RIGHT, Cells(3, 3, 4, 4), 0},
        {"shift left", 0, 3, 2, VK_LSHIFT, VK_LEFT, Cells(3, 3, 1, 2), 0},
        {"tab moves right", 0, 3, 2, 0, VK_TAB, Cells(3, 3, 3, 3), 0},
        {"tab on a 0x800 cell moves down", 0, 7, 1, 0, VK_TAB, Cells(8, 8, 1, 1), 0},
    };
    data.styles[{7, 1}] = 0x800;
    for (const Case& c : cases) {
        grid->ScrollToRow({c.topRow + 1, 1});
        SelectOne(c.row, c.column);
        if (c.modifier)
            ui::KeyDown(c.modifier);
        EXPECT_TRUE(grid->HandleKeyDown(c.key, 1, 0)) << c.name;
        if (c.modifier)
            ui::KeyUp(c.modifier);
        EXPECT_EQ(Selection().GetRange(), c.expected) << c.name;
        EXPECT_EQ(grid->Pane().TopRow(), c.expectedTop) << c.name;
    }
}

TEST_F(GridTest, DeleteClearsEveryCellWithFlagsForFirstMiddleAndLast)
{
    SetRows(10);
    Selection().SetRange(Cells(3, 3, 1, 3));
    EXPECT_TRUE(grid->HandleKeyDown(VK_DELETE, 1, 0));
    SelectOne(5, 2);
    handler.clearAnswer = 1; // the handler cleared it: the grid also stores the empty text
    EXPECT_TRUE(grid->HandleKeyDown(VK_BACK, 1, 0));
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"notifyex 10 1 3,1 0", "notifyex 8 1 3,2 0",
                                                       "notifyex 12 1 3,3 0", "notifyex 1 1 5,2 0", "notify 8 5,2"}));
}

TEST_F(GridTest, AnEmptyGridSwallowsNavigation)
{
    SetRows(0);
    for (UINT key : {VK_RETURN, VK_ESCAPE, VK_HOME, VK_UP, VK_PRIOR, VK_DOWN, VK_END, VK_NEXT, VK_TAB})
        EXPECT_TRUE(grid->HandleKeyDown(key, 1, 0)) << key;
    EXPECT_FALSE(grid->HandleKeyDown('A', 1, 0));
    EXPECT_EQ(grid->Pane().TopRow(), 0);
    EXPECT_TRUE(handler.calls.empty());
}

TEST_F(GridTest, WithoutDataOnlyClicksAndWidthChangesAreReported)
{
    struct Case {
        const char* name;
        bool holdsData;
        std::vector<DWORD> messages;
        size_t handlerCalls;
    };
    const Case cases[] = {
        {"no data", false, {EventGridControl::kFrameClicked, EventGridControl::kColumnWidthChanged}, 0},
        {"data",
         true,
         {EventGridControl::kFrameClicked, EventGridControl::kColumnWidthChanged, EventGridControl::kColumnMoved,
          EventGridControl::kLeftColumnChanged},
         3},
    };
    for (const Case& c : cases) {
        messages.clear();
        handler.calls.clear();
        grid->SetDataExtent(c.holdsData ? GridPos{5, 1} : GridPos{});
        grid->OnClicked();
        grid->OnColumnWidthChanged({2, 1}, 80);
        grid->OnColumnMoved({2, 1}, {3, 1});
        grid->OnLeftColumnChanged({c.holdsData ? 3 : 2, 1});
        grid->SetCellValue({2, 1}, {2, 1}, KVO::String(u"x"));
        grid->CellCommand(2, {2, 1}, {0, 1}, 0);
        SendMessageW(grid->GetHandle(), WM_COMMAND, GridControl::kToggleLatestRowCommand, 0);
        EXPECT_EQ(messages, c.messages) << c.name;
        EXPECT_EQ(handler.calls.size(), c.handlerCalls) << c.name;
    }
}

TEST_F(GridTest, ObserversHearTheGridUntilTheyOrTheGridGo)
{
    MessageRecorder second;
    grid->Attach(&second);
    grid->OnClicked();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(second.messages.size(), 1u);
    grid->Detach(&second);
    grid->OnClicked();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(second.messages.size(), 1u) << "detached";

    // A grid that goes takes its registrations with it.
    const std::size_t detaches = SharedHost().Log().Count("events", "Detach");
    frame.reset();
    EXPECT_EQ(SharedHost().Log().Count("events", "Detach"), detaches + 1);
}

TEST_F(GridTest, UnsignedCellsReadTheirNumberOrTheNoNumberValue)
{
    SetRows(3);
    struct Case {
        const char16_t* text;
        std::uint32_t value;
        const char16_t* shown;
    };
    const Case cases[] = {
        {u"12", 12, u"12"},
        {u"  -5", 0xFFFFFFFBu, u"-5"},
        {u"7 apples", 7, u"7"},
        {u"abc", 0x80000001u, u"-2147483647"},
        {u"", 0x80000001u, u"-2147483647"},
    };
    data.styles[{1, 2}] = 8;
    for (const Case& c : cases) {
        data.texts[{1, 2}] = c.text;
        auto cell = grid->GetCellData({1, 1}, {2, 1});
        auto* number = dynamic_cast<CellUint32Data*>(cell.get());
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->GetValue(), c.value) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(number->GetText(), c.shown);
    }
    data.texts[{2, 3}] = u"text";
    auto text = grid->GetCellData({2, 1}, {3, 1});
    EXPECT_NE(dynamic_cast<CellStringData*>(text.get()), nullptr);
    EXPECT_EQ(text->GetText(), u"text");
}

TEST_F(GridTest, RowsAreTitledFromOneAndRowsBeyondTheCountAreUntitled)
{
    SetRows(3);
    std::u16string title;
    grid->GetRowTitle({1, 1}, title);
    EXPECT_EQ(title, std::u16string(u"1\0", 2));
    grid->GetRowTitle({3, 1}, title);
    EXPECT_EQ(title, std::u16string(u"3\0", 2));
    grid->GetRowTitle({4, 1}, title);
    EXPECT_TRUE(title.empty());
    EXPECT_EQ(grid->GetLongestRowTitle(), 1);
}

TEST_F(GridTest, AClickBelowTheLastRowClearsTheSelection)
{
    SetRows(3);
    HWND strip = grid->RowNumbers().GetHandle();
    ui::Click(strip, {10, 20});
    EXPECT_EQ(Selection().GetRange(), Cells(2, 2, 1, 4));
    ui::Click(strip, {10, 3 * GridPane::kRowHeight + 5});
    EXPECT_FALSE(Selection().HasSelection());
}

TEST_F(GridTest, DraggingPastTheEndsScrollsOneStepPerTick)
{
    SetRows(200);
    HWND strip = grid->RowNumbers().GetHandle();
    const int h = GridPane::kRowHeight;
    const int visible = grid->Pane().VisibleRows();

    ui::MouseDown(strip, {10, 5});
    ui::MouseMove(strip, {10, visible * h - 2}); // within the last visible row
    EXPECT_TRUE(grid->RowNumbers().TimerRunning());
    ui::advance(25);
    ui::pump();
    EXPECT_EQ(grid->Pane().TopRow(), 1);
    EXPECT_FALSE(grid->RowNumbers().TimerRunning());
    ui::advance(100);
    ui::pump();
    EXPECT_EQ(grid->Pane().TopRow(), 1); // no move, no step
    ui::MouseMove(strip, {10, visible * h + 40});
    ui::advance(25);
    ui::pump();
    EXPECT_EQ(grid->Pane().TopRow(), 2);
    ui::MouseUp(strip, {10, visible * h + 40});
    EXPECT_EQ(Selection().GetRange().FirstRow.Index, 1);

    grid->ScrollToRow({51, 1});
    ui::MouseDown(strip, {10, 40});
    ui::MouseMove(strip, {10, -3 * h}); // three rows above the top row 50
    ui::advance(25);
    ui::pump();
    EXPECT_EQ(grid->Pane().TopRow(), 46);
    ui::MouseUp(strip, {10, -3 * h});

    grid->ScrollToRow({1, 1});
    ui::MouseDown(strip, {10, 40});
    ui::MouseMove(strip, {10, -5 * h});
    ui::advance(25);
    ui::pump();
    EXPECT_EQ(grid->Pane().TopRow(), 0);
    ui::MouseUp(strip, {10, -5 * h});
    // Above the first row the selection stops at it; the title row is never part of it.
    EXPECT_EQ(Selection().GetRange().FirstRow.Index, 1);
}

TEST_F(GridTest, AWideRowTitleWidensTheStripAndNarrowOnesNeverShrinkIt)
{
    SetRows(200'000);
    const int before = grid->RowNumberWidth();
    grid->ScrollToLastRow();
    ui::RenderWindow(frame->GetHandle());
    const int widened = grid->RowNumberWidth();
    EXPECT_GT(widened, before);
    RECT strip{};
    GetClientRect(grid->RowNumbers().GetHandle(), &strip);
    EXPECT_EQ(strip.right, widened);
    grid->ScrollToRow({1, 1});
    ui::RenderWindow(frame->GetHandle());
    EXPECT_EQ(grid->RowNumberWidth(), widened);
}

TEST_F(GridTest, SelectedRowsAreShadedEvenForSomeColumns)
{
    SetRows(12);
    Selection().SetRange(Cells(3, 5, 2, 3));
    const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(grid->RowNumbers().GetHandle()),
                                                    std::string(TEST_DATA_DIR) + "/rownumbers_selected.png");
    EXPECT_TRUE(check.ok) << check.message;
}

} // namespace

namespace {

TEST_F(GridTest, HorizontalScrollingStopsWhereTheLastColumnsFillThePane)
{
    SetRows(100);
    for (int c = 4; c < 10; ++c)
        grid->Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, c, u"", 60));
    grid->UpdateScrollBars(true);
    RECT pane{};
    GetClientRect(grid->Pane().GetHandle(), &pane);
    const int fitting = pane.right / 61; // whole columns of width 60 plus their line
    ASSERT_LT(fitting, 10);

    EXPECT_NEAR(grid->GetHorizontalScrollFraction(), fitting * 61 / 610.0, 1e-9);
    grid->ScrollToLastColumns();
    EXPECT_EQ(grid->Pane().LeftColumn(), 10 - fitting);
    EXPECT_DOUBLE_EQ(grid->GetHorizontalScrollFraction(), 1.0);
    EXPECT_EQ(messages, (std::vector<DWORD>{EventGridControl::kLeftColumnChanged}));

    struct Case {
        int x;
        bool snap;
        int left, barPosition;
    };
    const Case cases[] = {
        {0, false, 0, 0},
        {130, false, 2, 130},
        {130, true, 2, 122},
        {400, true, 10 - fitting, (10 - fitting) * 61}, // the page would run past the end
    };
    for (const Case& c : cases) {
        grid->ScrollHorizontallyTo(c.x, c.snap);
        EXPECT_EQ(grid->Pane().LeftColumn(), c.left) << c.x;
        EXPECT_EQ(grid->HScrollBar().GetPosition(), c.barPosition) << c.x;
    }
    grid->ScrollToColumn({99, 1}); // never past the left column that shows the last columns
    EXPECT_EQ(grid->Pane().LeftColumn(), 10 - fitting);
    grid->ScrollColumnsBy(-100);
    EXPECT_EQ(grid->Pane().LeftColumn(), 0);
}

TEST_F(GridTest, KeyMessagesGoToTheKeyHandlersAndCharactersAreLeftAlone)
{
    SetRows(10);
    SelectOne(2, 2);
    const auto message = [this](UINT id, WPARAM key) {
        MSG msg{};
        msg.hwnd = grid->GetHandle();
        msg.message = id;
        msg.wParam = key;
        msg.lParam = 1;
        return msg;
    };
    MSG down = message(WM_KEYDOWN, VK_DOWN);
    EXPECT_TRUE(grid->PreProcessKey(down));
    EXPECT_EQ(Selection().GetRange(), Cells(3, 3, 2, 2));
    MSG character = message(WM_CHAR, 'a');
    EXPECT_FALSE(grid->PreProcessKey(character));
    MSG up = message(WM_KEYUP, VK_DOWN);
    EXPECT_FALSE(grid->PreProcessKey(up));
}

} // namespace

namespace {

TEST_F(GridTest, TheSnapButtonTogglesFollowingTheLatestRow)
{
    frame.reset();
    frame = std::make_unique<Frame>();
    grid = new EventGridControl(frame.get());
    grid->Options().SnapButtonWanted = true;
    grid->SetActionHandler(&handler, 8);
    grid->RowNumbers().SetWidthValue(30);
    frame->Create();
    grid->SetWindowPos(nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    grid->SetDataExtent({101, 1});
    grid->SetRowExtent(101, 1);
    ASSERT_NE(grid->SnapWindow(), nullptr);
    HWND snap = grid->SnapWindow()->GetHandle();
    ASSERT_TRUE(IsWindowVisible(snap));

    RECT snapRect{}, barRect{};
    GetWindowRect(snap, &snapRect);
    GetWindowRect(grid->VScrollBar().GetHandle(), &barRect);
    EXPECT_EQ(barRect.bottom, snapRect.top + 1); // the bar ends where the button begins (one pixel overlap)

    // The button shows the state it toggles: pressed while the grid follows the latest row.
    auto* button = dynamic_cast<OWL::TButtonGadget*>(
        grid->SnapWindow()->GadgetWithId(static_cast<int>(GridControl::kToggleLatestRowCommand)));
    ASSERT_NE(button, nullptr);
    ui::Click(snap, ui::Center(snap));
    EXPECT_EQ(button->GetButtonState(), OWL::TButtonGadget::Down);
    ui::Click(snap, ui::Center(snap));
    EXPECT_EQ(button->GetButtonState(), OWL::TButtonGadget::Up);
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"follow 8 -1", "follow 8 0"}));
    EXPECT_FALSE(grid->Options().AlwaysShowLatestRow);
    grid->ShowSnapButtonPressed(true);
    EXPECT_EQ(button->GetButtonState(), OWL::TButtonGadget::Down);
}

} // namespace

#include "platform/ui/menus.h"

namespace {

class RowMenu final : public ITableRowMenuProvider {
public:
    LONG count = 2;
    std::vector<LONG> askedRows;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetMenuItemCount(DWORD, LONG row, LONG, LONG* out) override
    {
        askedRows.push_back(row);
        *out = count;
        return S_OK;
    }
    HRESULT GetMenuItemText(DWORD, LONG, LONG, LONG item, IKVOString** text) override
    {
        *text = KVO::String(item == 0 ? u"First" : u"Second").GetInterface();
        return S_OK;
    }
};

TEST_F(GridTest, TheRowMenuReportsTheChosenItemForTheSelectedRow)
{
    SetRows(10);
    RowMenu menu;
    grid->SetRowMenuProvider(&menu);
    std::vector<UINT> shownFlags;
    ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
        shownFlags.push_back(request.flags);
        return 2;
    });
    HWND strip = grid->RowNumbers().GetHandle();
    ui::Click(strip, {10, 3 * GridPane::kRowHeight + 4}, ui::Button::Right); // row 4, then the menu
    SendMessageW(strip, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(strip), 0);
    menu.count = 0; // no items: no menu
    SendMessageW(strip, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(strip), 0);
    ui::SetPopupMenuHook(nullptr);

    EXPECT_EQ(Selection().GetRange(), Cells(4, 4, 1, 4));
    ASSERT_FALSE(shownFlags.empty());
    EXPECT_EQ(shownFlags.back(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON);
    EXPECT_EQ(menu.askedRows.back(), 4);
    ASSERT_FALSE(handler.calls.empty());
    EXPECT_EQ(handler.calls.back(), "notifyex 8 2 4,0 1");
    EXPECT_EQ(std::count(handler.calls.begin(), handler.calls.end(), "notifyex 8 2 4,0 1"),
              static_cast<long>(shownFlags.size()));
}

} // namespace
