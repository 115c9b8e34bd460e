#include "tests/tvf/gridfixture.h"

#include "tableview/tvf/grideditors.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/render.h"

#include <algorithm>

using namespace TVF_Grid;
using namespace TVF_Grid::testing;

namespace {

// Paints each whole column pale yellow when asked to, else lets the pane call it per cell; logs the pane's
// off-screen drawing from the first column on.
class TestRenderer final : public GridRenderer {
public:
    bool paintsColumns = false;
    int contentWidth = 0;
    gdi::CallLog* log = nullptr;
    std::vector<std::string> columns;
    std::vector<std::string> cells;

    bool PaintColumn(HDC dc, int column, const RECT& rect, RowPosCursor& rows, const GridPos& endRow, int* content,
                     int*) override
    {
        if (log && columns.empty())
            gdi::LogDcCalls(dc, log);
        columns.push_back(std::to_string(column) + ":" + std::to_string(rows.Row().Index) + "-" +
                          std::to_string(endRow.Index));
        if (content)
            *content = std::max(*content, contentWidth);
        if (paintsColumns) {
            HBRUSH yellow = ::CreateSolidBrush(RGB(255, 255, 200));
            ::FillRect(dc, &rect, yellow);
            ::DeleteObject(yellow);
        }
        return paintsColumns;
    }
    void SetCellColors(HDC, const GridPos&, const GridPos&, int, const COLORREF*) override {}
    void PaintCell(HDC, const GridPos& row, const GridPos& column, const RECT&, bool selected) override
    {
        cells.push_back(std::to_string(row.Index) + "," + std::to_string(column.Index) + (selected ? "*" : ""));
    }
};

// A title exactly `width` pixels wide in the font: as many "x" as fit, then "i" and "l" to make up the rest.
std::u16string TitleOfWidth(HFONT font, int width)
{
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(screen, font);
    const auto measure = [&](const std::u16string& text) {
        SIZE extent{};
        ::GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
        return static_cast<int>(extent.cx);
    };
    std::u16string found;
    for (std::u16string stem; measure(stem) <= width && found.empty(); stem += u'x')
        for (std::u16string tail; measure(stem + tail) <= width && found.empty(); tail += u'i')
            for (const char16_t* end : {u"", u".", u" ", u"..", u". "})
                if (measure(stem + tail + end) == width) {
                    found = stem + tail + end;
                    break;
                }
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    return found;
}

class PaneTest : public GridTest {
protected:
    GridPane& Pane() { return grid->Pane(); }
    HWND PaneWindow() { return grid->Pane().GetHandle(); }
    POINT CellCentre(int row, int column)
    {
        RECT rect{};
        EXPECT_TRUE(Pane().GetCellRect(row, column, rect));
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    GridEditCtrl* Editor() { return dynamic_cast<GridEditCtrl*>(Pane().ItemControl()); }
    std::u16string EditorText()
    {
        char16_t buffer[1024]{};
        ::GetWindowTextW(Editor()->GetHandle(), buffer, 1024);
        return buffer;
    }
    TestRenderer renderer;
};

TEST_F(PaneTest, GridLinesAreDrawnWhenTheRendererPaintsWholeColumns)
{
    SetRows(5);
    renderer.paintsColumns = true;
    gdi::CallLog log;
    renderer.log = &log;
    Pane().SetRenderer(&renderer);
    Pane().Invalidate();
    const gdi::Image picture = ui::RenderWindow(PaneWindow());

    EXPECT_EQ(renderer.columns, (std::vector<std::string>{"0:1-6", "1:1-6", "2:1-6", "3:1-6"}));
    EXPECT_TRUE(renderer.cells.empty());
    // From the first column's cells on: one line under each of the 5 rows per column, and the right edges of the
    // three later columns (the first column's edge came before the log).
    const int width = Pane().ClientWidth();
    const int height = Pane().ClientHeight();
    EXPECT_EQ(log.calls("LineTo").size(), 4u * 5u + 3u);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(),
                             "LineTo(" + std::to_string(width) + "," + std::to_string(16 * row + 15) + ")"),
                  4)
            << row;
    for (int right : {121, 182, 243})
        EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(),
                             "LineTo(" + std::to_string(right) + "," + std::to_string(height) + ")"),
                  1);

    const COLORREF line = ::GetSysColor(COLOR_3DLIGHT);
    EXPECT_EQ(picture.at(30, 15), line);      // under row 0, inside column 0
    EXPECT_EQ(picture.at(60, 40), line);      // column 0's right edge
    EXPECT_EQ(picture.at(30, 20), RGB(255, 255, 200));
    EXPECT_EQ(picture.at(30, 5 * 16 + 20), RGB(255, 255, 200)); // below the rows the column keeps its paint
    const gdi::GoldenCheck check =
        gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/pane_gridlines.png");
    EXPECT_TRUE(check.ok) << check.message;
}

TEST_F(PaneTest, WithoutAColumnPainterThePaneAsksForEachCellOfTheRows)
{
    SetRows(3);
    Pane().SetRenderer(&renderer);
    Pane().Column(1)->SetState(1); // its cells are not painted
    SelectOne(2, 3);
    renderer.cells.clear();
    Pane().Invalidate();
    ui::RenderWindow(PaneWindow());
    EXPECT_EQ(renderer.cells, (std::vector<std::string>{"1,1", "2,1", "3,1", "1,3", "2,3*", "3,3", "1,4", "2,4",
                                                        "3,4"}));
}

TEST_F(PaneTest, AutoFitWidensAColumnToItsContentOrTitleAndPlusFour)
{
    SetRows(5);
    const std::u16string title = TitleOfWidth(grid->CellFont(), 50);
    ASSERT_FALSE(title.empty());
    Pane().RemoveAllColumns();
    GridColumn& column = Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, 0, KVO::String(title), 80));
    Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, 1, u"", 80));
    column.SetState(GridColumn::kFitToTitle);
    grid->Options().AutoFitColumns = true;
    renderer.paintsColumns = true;
    renderer.contentWidth = 30;
    Pane().SetRenderer(&renderer);
    Pane().Invalidate();
    ui::RenderWindow(PaneWindow());
    EXPECT_EQ(column.Width(), 54);
    EXPECT_EQ(column.State(), 0);
    EXPECT_EQ(Pane().Column(1)->Left(), 55);
    ASSERT_FALSE(messageData.empty());
    EXPECT_EQ(messageData.front(), (std::pair<std::int32_t, std::int32_t>{1, 54}));

    renderer.contentWidth = 70; // a wider content wins over the title
    column.SetState(GridColumn::kFitToTitle);
    Pane().Invalidate();
    ui::RenderWindow(PaneWindow());
    EXPECT_EQ(column.Width(), 74);
}

TEST_F(PaneTest, ScrollingToARowKeepsTheLastPageFullUnlessScrollingPastTheEndIsOn)
{
    SetRows(100);
    const int visible = Pane().VisibleRows();
    struct Case {
        bool pastEnd;
        int wanted, top;
    };
    for (const Case& c : {Case{false, 95, 100 - visible}, Case{true, 95, 95}, Case{true, 150, 99},
                          Case{false, 150, 100 - visible}, Case{true, 40, 40}, Case{false, 0, 0}}) {
        grid->Options().ScrollPastEnd = c.pastEnd;
        grid->ScrollToRow({c.wanted + 1, 1});
        EXPECT_EQ(Pane().TopRow(), c.top) << c.wanted << (c.pastEnd ? " past the end" : "");
        if (!c.pastEnd) {
            EXPECT_EQ(grid->VScrollBar().GetPosition(), c.top);
        }
    }
    Pane().ScrollToRow(50);
    Pane().ScrollToRow(-5);
    EXPECT_EQ(Pane().TopRow(), 0);
}

TEST_F(PaneTest, AClickBelowTheLastRowClearsTheSelection)
{
    SetRows(3);
    SelectOne(2, 2);
    ui::Click(PaneWindow(), {30, 3 * 16 + 5});
    EXPECT_FALSE(Selection().HasSelection());
    ui::Click(PaneWindow(), CellCentre(1, 2));
    EXPECT_EQ(Selection().GetRange(), Cells(2, 2, 3, 3));
    EXPECT_EQ(::GetFocus(), PaneWindow());
}

TEST_F(PaneTest, ShiftAOverATextCellOpensTheEditorWithALowerCaseA)
{
    SetRows(5);
    grid->Options().TextEditing = true;
    data.styles[{2, 2}] = 4;
    data.texts[{2, 2}] = u"12.5";
    SelectOne(2, 2);
    ::SetFocus(PaneWindow());
    ui::KeyDown(VK_SHIFT);
    ui::KeyDown('A');
    ui::KeyUp('A');
    ui::KeyUp(VK_SHIFT);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(EditorText(), u"a");
    EXPECT_EQ(::GetFocus(), Editor()->GetHandle());
    EXPECT_EQ(Pane().EditedRow(), 1);
    EXPECT_EQ(Pane().EditedColumn(), 1);
    RECT editor{}, cell{};
    ::GetWindowRect(Editor()->GetHandle(), &editor);
    ::MapWindowPoints(nullptr, PaneWindow(), reinterpret_cast<POINT*>(&editor), 2);
    Pane().GetCellRect(1, 1, cell);
    EXPECT_EQ(editor.left, cell.left);
    EXPECT_EQ(editor.top, cell.top);

    ui::PressKey(VK_RETURN);
    EXPECT_FALSE(Pane().HasEditor());
    EXPECT_EQ(handler.texts, (std::vector<std::u16string>{u"a"}));
    EXPECT_EQ(::GetFocus(), PaneWindow());
}

TEST_F(PaneTest, StartingKeysGiveTheirCharacterAndOtherKeysKeepTheText)
{
    SetRows(5);
    grid->Options().TextEditing = true;
    data.texts[{2, 2}] = u"12.5";
    struct Case {
        UINT key;
        std::u16string text;
    };
    for (const Case& c : {Case{'7', u"7"}, Case{VK_NUMPAD0 + 3, u"3"}, Case{VK_SPACE, u" "}, Case{VK_SUBTRACT, u"-"},
                          Case{VK_OEM_MINUS, u"-"}, Case{VK_OEM_COMMA, u","}, Case{VK_DECIMAL, u"."},
                          Case{VK_OEM_PERIOD, u"."}, Case{VK_F1, u"12.5"}}) {
        ASSERT_TRUE(Pane().OpenEditor(1, 1, c.key)) << c.key;
        EXPECT_EQ(EditorText(), c.text) << c.key;
        Pane().CloseEditors();
    }
    ui::pump();
}

TEST_F(PaneTest, EscapeClosesTheEditorAndReportsTheUnchangedText)
{
    SetRows(5);
    grid->Options().TextEditing = true;
    data.texts[{3, 1}] = u"12.5";
    ASSERT_TRUE(Pane().OpenEditor(2, 0, GridPane::kNoKey));
    EXPECT_EQ(EditorText(), u"12.5");
    ui::Type(u"99");
    ui::PressKey(VK_ESCAPE);
    EXPECT_FALSE(Pane().HasEditor());
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"notify 8 3,1"}));
    EXPECT_EQ(handler.texts, (std::vector<std::u16string>{u"12.5"}));
}

TEST_F(PaneTest, TheTextEditorKeeps511Characters)
{
    SetRows(5);
    grid->Options().TextEditing = true;
    ASSERT_TRUE(Pane().OpenEditor(0, 0, GridPane::kNoKey));
    ui::Type(std::u16string(600, u'x'));
    ui::PressKey(VK_TAB);
    ASSERT_EQ(handler.texts.size(), 1u);
    EXPECT_EQ(handler.texts[0], std::u16string(511, u'x'));
}

TEST_F(PaneTest, AChannelCellOffersTheChannelTitlesInAChoiceList)
{
    SetRows(5);
    data.styles[{2, 3}] = 8;
    data.texts[{2, 3}] = u"1";
    grid->SetChannelTitles({{7, KVO::String(u"Seven")}, {2, KVO::String(u"Two")}, {4, KVO::String(u"Four")}});
    ui::Click(PaneWindow(), CellCentre(1, 2));
    auto* list = dynamic_cast<StringComboBox*>(Pane().ItemControl());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    char16_t text[32]{};
    list->GetString(text, 0);
    EXPECT_EQ(std::u16string(text), u"Two");
    EXPECT_EQ(list->GetSelIndex(), 1);
    list->SetSelIndex(2);
    ui::PressKey(VK_RETURN);
    EXPECT_EQ(handler.texts, (std::vector<std::u16string>{u"2"}));
}

TEST_F(PaneTest, TheEditedCellIsBroughtFullyIntoView)
{
    SetRows(100);
    grid->Options().TextEditing = true;
    for (int c = 4; c < 8; ++c)
        Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, c, u"", 60));
    grid->UpdateScrollBars(true);
    const int visible = Pane().VisibleRows();
    const int fitting = Pane().FullyVisibleColumns();
    ASSERT_LT(fitting, 8);
    // The partly shown column after the last whole one, in the partly shown row under the last whole one.
    ASSERT_TRUE(Pane().OpenEditor(visible, fitting, GridPane::kNoKey));
    EXPECT_EQ(Pane().TopRow(), 1);
    EXPECT_GT(Pane().LeftColumn(), 0);
    EXPECT_LE(Pane().Column(fitting)->Right() - Pane().HorizontalOffset(), Pane().ClientWidth());
    RECT editor{}, cell{};
    ::GetWindowRect(Editor()->GetHandle(), &editor);
    ::MapWindowPoints(nullptr, PaneWindow(), reinterpret_cast<POINT*>(&editor), 2);
    ASSERT_TRUE(Pane().GetCellRect(visible, fitting, cell));
    EXPECT_EQ(editor.left, cell.left);
    EXPECT_EQ(editor.top, cell.top);
    EXPECT_LE(cell.bottom, Pane().ClientHeight());
    // A cell off screen gets no editor.
    EXPECT_FALSE(Pane().OpenEditor(visible + 20, 0, GridPane::kNoKey));
    EXPECT_FALSE(Pane().HasEditor());
}

TEST_F(PaneTest, NoEditorWithoutTextEditingOrAChannelCell)
{
    SetRows(5);
    data.styles[{2, 2}] = 2;
    EXPECT_FALSE(Pane().OpenEditor(1, 1, GridPane::kNoKey));
    EXPECT_FALSE(Pane().HasEditor());
}

TEST_F(PaneTest, DraggingAFixedColumnsEdgeResizesTheNearestResizableColumnToItsLeft)
{
    SetRows(5);
    Pane().Column(1)->SetDisplayFlag(1, 0);
    Pane().Column(2)->SetDisplayFlag(1, 0);
    // Columns 0..3 of 60 at 0, 61, 122, 183; shrinking column 2's right edge by 20 shrinks column 0 by 20.
    struct Case {
        int column, right;
        int widths[4];
    };
    const Case cases[] = {
        {2, 162, {40, 60, 60, 60}},
        {2, 200, {78, 60, 60, 60}},
        {3, 230, {78, 60, 60, 29}},
        {2, 0, {5, 60, 60, 29}}, // column 0 gives no more than its minimum
    };
    for (const Case& c : cases) {
        Pane().BeginColumnResize();
        Pane().SetColumnRight(c.column, c.right);
        Pane().ColumnWidthChanged(c.column);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Pane().Column(i)->Width(), c.widths[i]) << c.column << " to " << c.right << ", column " << i;
        for (int i = 1; i < 4; ++i)
            EXPECT_EQ(Pane().Column(i)->Left(), Pane().Column(i - 1)->Right() + 1);
    }
    EXPECT_EQ(Pane().Column(2)->Right(), 5 + 1 + 60 + 1 + 60);
    EXPECT_EQ(messageData.size(), 4u);
}

TEST_F(PaneTest, TheCellMenuOffersTheProvidersItemsForOneSelectedCell)
{
    struct Provider final : ITableRowMenuProvider {
        LONG count = 2;
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetMenuItemCount(DWORD, LONG, LONG, LONG* n) override
        {
            *n = count;
            return S_OK;
        }
        HRESULT GetMenuItemText(DWORD, LONG, LONG, LONG item, IKVOString** text) override
        {
            *text = KVO::String(item == 0 ? u"First" : u"Second").GetInterface();
            return S_OK;
        }
    } provider;
    SetRows(5);
    grid->SetRowMenuProvider(&provider);
    ui::ClearTrackedPopups();
    ui::SetPopupMenuHook([](const ui::PopupMenuRequest&) { return 2u; });
    ui::Click(PaneWindow(), CellCentre(2, 1), ui::Button::Right);
    ui::SetPopupMenuHook(nullptr);
    EXPECT_EQ(ui::TrackedPopups().size(), 1u);
    EXPECT_EQ(handler.calls.back(), "notifyex 8 2 3,2 1");

    provider.count = 0; // nothing offered: nothing opens
    ui::ClearTrackedPopups();
    ui::Click(PaneWindow(), CellCentre(2, 1), ui::Button::Right);
    EXPECT_TRUE(ui::TrackedPopups().empty());
}

} // namespace
