#include "tablewindow_fixture.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "tableview/tvf/gridcolumn.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/gridprintout.h"
#include "tests/tempfolder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <set>

#include <unistd.h>

using namespace tabletest;
using TVF_Grid::GridPrintout;

namespace {

// A printout of the event grid laid out on a page of the given size at `dpi`.
struct PrintedGrid {
    PrintedGrid(TVF_TableView& window, int dpi, SIZE pageSize, bool rowTitles = true)
        : page(CreateBitmap(pageSize.cx, pageSize.cy, 1, 32, nullptr)), dc(gdi::CreatePageDc(page, dpi)),
          rect{0, 0, pageSize.cx, pageSize.cy},
          printout(new GridPrintout(nullptr, nullptr, TableGrid::kEvents, window.EventGrid(),
                                    *window.EventRenderer(), KVO::String(u"Doc: Results"), rowTitles, true))
    {
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        printout->BeginPage(&rect, dc, nullptr);
        printout->GetPageCount(&pages);
    }
    ~PrintedGrid()
    {
        printout.Reset();
        DeleteDC(dc);
        DeleteObject(page);
    }
    // The texts drawn on one page: (call name, text).
    std::vector<std::pair<std::string, std::string>> Texts(int index)
    {
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        gdi::CallLog log;
        gdi::LogDcCalls(dc, &log);
        printout->PrintPage(index, &rect);
        gdi::LogDcCalls(dc, nullptr);
        std::vector<std::pair<std::string, std::string>> texts;
        for (const std::string& line : log.lines) {
            const std::size_t open = line.find('(');
            const std::string call = line.substr(0, open);
            if (call == "TextOutW" || call == "ExtTextOutW") {
                const std::size_t quote = line.find('"');
                texts.emplace_back(call, quote == std::string::npos ? "" : line.substr(quote + 1, line.rfind('"') - quote - 1));
            }
        }
        return texts;
    }
    bool Drew(int index, const std::string& text) { return Drew(Texts(index), text); }
    static bool Drew(const std::vector<std::pair<std::string, std::string>>& texts, const std::string& text)
    {
        return std::any_of(texts.begin(), texts.end(), [&](const auto& t) { return t.second == text; });
    }

    HBITMAP page;
    HDC dc;
    RECT rect;
    platform::ComPtr<GridPrintout> printout;
    std::int32_t pages = 0;
};

class GridPrintoutTest : public TableWindowTest {
protected:
    void Reopen(int rows, int columns)
    {
        FillTable(table, rows, columns);
        manager->Refresh(0);
    }
    // The table as it is and the same table with every cell but the row titles empty, in that order; the second
    // prints the same rules without any cell text.
    template <class Print>
    std::pair<gdi::Image, gdi::Image> WithAndWithoutTexts(Print print)
    {
        const FakeTable kept = table;
        gdi::Image texts = print();
        for (Grid* grid : {&table.events, &table.summary}) {
            for (auto& row : *grid) {
                std::fill(row.begin() + 1, row.end(), u"");
            }
        }
        manager->Refresh(0);
        gdi::Image rules = print();
        table.events = kept.events;
        table.summary = kept.summary;
        manager->Refresh(0);
        return {std::move(texts), std::move(rules)};
    }
};

// The white gaps between the rules of a printed page and the first glyph right of each, in pixels, along every
// pixel row that no horizontal rule runs near. `rules` is the same page printed without cell texts. Dotted rules
// count as solid lines: a glyph beside the gap between two dots still touches the line.
struct RuleGaps {
    int narrowest = std::numeric_limits<int>::max();
    int measured = 0;
};
RuleGaps GapsFromRulesToText(const gdi::Image& page, const gdi::Image& rules, int dotLength)
{
    const auto inked = [](const gdi::Image& image, int x, int y) {
        const COLORREF c = image.at(x, y);
        return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 240;
    };
    const auto anyNear = [&](int y, int reach, auto test) {
        for (int d = std::max(y - reach, 0); d <= std::min(y + reach, rules.height - 1); ++d) {
            if (test(d)) {
                return true;
            }
        }
        return false;
    };
    std::vector<int> rowInk(static_cast<std::size_t>(rules.height));
    for (int y = 0; y < rules.height; ++y) {
        for (int x = 0; x < rules.width; ++x) {
            rowInk[static_cast<std::size_t>(y)] += inked(rules, x, y);
        }
    }
    std::vector<int> inkedRows;
    std::copy_if(rowInk.begin(), rowInk.end(), std::back_inserter(inkedRows), [](int ink) { return ink > 0; });
    if (inkedRows.empty()) {
        return {};
    }
    std::nth_element(inkedRows.begin(), inkedRows.begin() + inkedRows.size() / 2, inkedRows.end());
    const int lengthwise = 2 * inkedRows[inkedRows.size() / 2] + 8; // more ink than the column rules give a row
    RuleGaps gaps;
    for (int y = 0; y < page.height; ++y) {
        if (anyNear(y, dotLength / 2 + 1, [&](int d) { return rowInk[static_cast<std::size_t>(d)] > lengthwise; })) {
            continue;
        }
        int lastRule = -1;
        for (int x = 0; x < page.width; ++x) {
            if (anyNear(y, dotLength / 2, [&](int d) { return inked(rules, x, d); })) {
                lastRule = x;
            } else if (inked(page, x, y)) {
                if (lastRule >= 0) {
                    gaps.narrowest = std::min(gaps.narrowest, x - lastRule - 1);
                    ++gaps.measured;
                }
                lastRule = -1; // only the first glyph after a rule
            }
        }
    }
    return gaps;
}

// Negative numbers in every other row of the first column, as the cardiac table's potentials are.
void MakeNegatives(FakeTable& table)
{
    for (std::size_t r = 1; r < table.events.size(); r += 2) {
        table.events[r][1] = u"-78.87";
    }
}

} // namespace

TEST_F(GridPrintoutTest, ScalesColumnsAndFontsFromTheScreenToTheDevice)
{
    Reopen(10, 12);
    PrintedGrid printed(Window(), 600, SIZE{5100, 6600});
    const std::vector<int>& widths = printed.printout->ColumnWidths();
    ASSERT_EQ(widths.size(), 12u);
    EXPECT_TRUE(std::all_of(widths.begin(), widths.end(), [](int w) { return w == 562; }))
        << "90 screen pixels at 600 of 96 dpi"; // the manager gives new columns its default width less 10
    manager->SetColumnWidth(0, 1, 100);
    manager->Refresh(0);
    PrintedGrid again(Window(), 600, SIZE{5100, 6600});
    EXPECT_EQ(again.printout->ColumnWidths()[0], 625);
    // Rows: the cell font's height on the device × 1.4.
    LOGFONTW font{};
    GetObjectW(Window().EventGrid().CellFont(), sizeof font, &font);
    EXPECT_NEAR(again.printout->RowHeight(), std::abs(font.lfHeight) * 6.25 * 1.4, std::abs(font.lfHeight) * 6.25 * 0.4);
}

TEST_F(GridPrintoutTest, PageMatrixCoversEveryColumnAndRowOnce)
{
    const struct {
        int rows;
        int columns;
        int wideColumn; // screen width of column 2, 0 for none
    } cases[] = {{10, 12, 0}, {300, 12, 0}, {300, 3, 0}, {40, 6, 1200}, {0, 4, 0}, {1, 1, 0}};
    for (const auto& c : cases) {
        Reopen(c.rows, c.columns);
        if (c.wideColumn) {
            manager->SetColumnWidth(0, 2, c.wideColumn);
            manager->Refresh(0);
        }
        PrintedGrid printed(Window(), 600, SIZE{5100, 6600});
        GridPrintout& p = *printed.printout.Get();
        EXPECT_EQ(printed.pages, p.PagesAcross() * p.PagesDown()) << c.rows << "x" << c.columns;
        // Every data cell is drawn exactly once over the pages, and no page is empty.
        std::multiset<std::string> cells;
        for (int page = 0; page < printed.pages; ++page) {
            const auto texts = printed.Texts(page);
            EXPECT_FALSE(texts.empty()) << "page " << page << " of " << c.rows << "x" << c.columns;
            for (const auto& [call, text] : texts) {
                if (call == "ExtTextOutW" && text.find('.') != std::string::npos) {
                    cells.insert(text);
                }
            }
        }
        // A column wider than a page is drawn on each page column it continues over.
        const std::size_t expected = static_cast<std::size_t>(c.rows) * c.columns;
        EXPECT_EQ(std::set<std::string>(cells.begin(), cells.end()).size(), expected) << c.rows << "x" << c.columns;
        if (!c.wideColumn) {
            EXPECT_EQ(cells.size(), expected) << c.rows << "x" << c.columns;
        }
        if (c.rows > 0) {
            EXPECT_EQ(cells.count(std::to_string(c.rows) + "." + std::to_string(c.columns)), 1u);
        }
        if (c.wideColumn) {
            EXPECT_GE(p.PagesAcross(), 3) << "the wide column continues over a further page column";
        }
    }
}

TEST_F(GridPrintoutTest, TitlesOnlyOnTheFirstPageRowAndColumn)
{
    Reopen(300, 12);
    PrintedGrid printed(Window(), 600, SIZE{5100, 6600});
    GridPrintout& p = *printed.printout.Get();
    ASSERT_GE(p.PagesAcross(), 2);
    ASSERT_GE(p.PagesDown(), 2);
    const int across = p.PagesAcross();
    const auto first = printed.Texts(0);
    EXPECT_TRUE(PrintedGrid::Drew(first, "P1 (mV)"));
    EXPECT_TRUE(PrintedGrid::Drew(first, "1")) << "row title";
    const auto right = printed.Texts(1);
    EXPECT_FALSE(PrintedGrid::Drew(right, "1")) << "no row titles right of the first page column";
    EXPECT_FALSE(PrintedGrid::Drew(right, "P1 (mV)"));
    EXPECT_TRUE(std::any_of(right.begin(), right.end(), [](const auto& t) { return t.second.find(" (mV)") != std::string::npos; }));
    const auto below = printed.Texts(across);
    EXPECT_FALSE(std::any_of(below.begin(), below.end(), [](const auto& t) { return t.second.find("(mV)") != std::string::npos; }))
        << "no column titles below the first page row";
    const int firstRows = p.RowsOnFirstPage();
    EXPECT_TRUE(PrintedGrid::Drew(below, std::to_string(firstRows + 1))) << "the next page row starts where the first ended";
}

TEST_F(GridPrintoutTest, ASelectionPrintsOnlyItsRows)
{
    Reopen(20, 3);
    manager->SelectRows(TableGrid::kEvents, 5, 10);
    {
        PrintedGrid printed(Window(), 600, SIZE{5100, 6600});
        EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 5);
        std::vector<std::string> rows;
        for (const auto& [call, text] : printed.Texts(0)) {
            if (call == "ExtTextOutW" && text.size() > 2 && text.substr(text.size() - 2) == ".1") {
                rows.push_back(text);
            }
        }
        EXPECT_EQ(rows, (std::vector<std::string>{"5.1", "6.1", "7.1", "8.1", "9.1"}));
        EXPECT_TRUE(printed.Drew(0, "9"));
        EXPECT_FALSE(printed.Drew(0, "10"));
    }
    EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 20) << "the printout gives the rows back";
    EXPECT_FALSE(Window().EventGrid().Options().NoSelectionHighlight);

    // With print selection off the whole grid prints.
    manager->SetOptions(0x27A | TVF_TableView::kPrintSelectionOff);
    manager->SelectRows(TableGrid::kEvents, 5, 10);
    PrintedGrid whole(Window(), 600, SIZE{5100, 6600});
    EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 20);
    EXPECT_TRUE(whole.Drew(0, "20.1"));
}

TEST_F(GridPrintoutTest, PagesMatchTheirPictures)
{
    Reopen(30, 9);
    manager->SetColumnWidth(0, 4, 260);
    manager->Refresh(0);
    // A small page at 100 dpi keeps the pictures small: two page columns and two page rows.
    PrintedGrid printed(Window(), 100, SIZE{700, 420});
    ASSERT_EQ(printed.pages, 4);
    for (int page : {0, 1, 2, 3}) {
        FillRect(printed.dc, &printed.rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        printed.printout->PrintPage(page, &printed.rect);
        const gdi::Image picture = gdi::ImageOfBitmap(printed.page);
        const auto check = gdi::CheckGolden(
            picture, std::string(TEST_DATA_DIR) + "/golden/printout_page" + std::to_string(page) + ".png", 8, 40);
        EXPECT_TRUE(check.ok) << check.message;
    }
}

// On paper a cell's first glyph stands clear of the rule at its left, by at least a quarter of a millimetre and
// one pixel of white: on a 100-dpi and a 600-dpi printer, and on the PDF page the print service writes.
TEST_F(GridPrintoutTest, CellTextsStandClearOfTheRules)
{
    Reopen(12, 6);
    MakeNegatives(table);
    manager->Refresh(0);
    const testutil::TempFolder folder;
    const std::string pdf = folder / "table_rules.pdf";
    const bool rendersPdf = std::system("command -v pdftoppm >/dev/null 2>&1") == 0;
    const auto printedPdf = [&] {
        host::PrintService& printing = hostFrame->Printing();
        printing.SetOutput(pdf, 600);
        printing.BeginJob();
        Window().Print(false);
        EXPECT_EQ(printing.EndJob(), 2);
        const std::string render = "pdftoppm -r 600 -f 1 -l 1 -singlefile -png '" + pdf + "' '" + pdf + "'";
        EXPECT_EQ(std::system(render.c_str()), 0);
        return gdi::LoadPng(pdf + ".png").value_or(gdi::Image{});
    };
    // The PDF page comes last: without pdftoppm the printers' pages are measured and the test says what it skipped.
    for (const auto& [dpi, toPdf] : {std::pair{100, false}, {600, false}, {600, true}}) {
        if (toPdf && !rendersPdf) {
            GTEST_SKIP() << "pdftoppm is not installed: the PDF page of the print service is not measured";
        }
        const auto [texts, rules] = WithAndWithoutTexts([&] {
            if (toPdf) {
                return printedPdf();
            }
            PrintedGrid printed(Window(), dpi, SIZE{dpi * 7, dpi * 4});
            printed.printout->PrintPage(0, &printed.rect);
            return gdi::ImageOfBitmap(printed.page);
        });
        ASSERT_GT(texts.width, 0);
        ASSERT_EQ(rules.width, texts.width);
        const RuleGaps gaps = GapsFromRulesToText(texts, rules, 4);
        EXPECT_GE(gaps.measured, 12 * 7) << dpi << " dpi, PDF " << toPdf << ": every cell is measured";
        EXPECT_GE(gaps.narrowest, std::max(1.0, dpi * 0.25 / 25.4)) << dpi << " dpi, PDF " << toPdf;
    }
}

// A text moves off the rule, but never so far that a text that fitted its cell is cut at the cell's right edge.
TEST(PrintedCellText, MovesOffTheRuleAndKeepsAWholeTextWhole)
{
    const struct {
        int inset, room, width, shift;
    } cases[] = {
        {12, 562, 200, 12}, // room to spare
        {12, 210, 200, 10}, // only as far as keeps it whole
        {12, 200, 200, 0},  // filling the cell exactly: stays where it was
        {12, 150, 200, 12}, // cut anyway: clear of the rule
        {0, 150, 100, 0},   // the screen
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TVF_Renderer::TextShift(c.inset, c.room, c.width), c.shift) << c.room << " " << c.width;
    }
}

TEST_F(GridPrintoutTest, RowNumbersStandClearOfTheirFrames)
{
    // Between the frame's bottom stroke and the number above it lies at least one row of white paper.
    for (const int dpi : {100, 300, 600}) {
        PrintedGrid printed(Window(), dpi, SIZE{dpi * 17 / 2, dpi * 11});
        gdi::CallLog log;
        gdi::LogDcCalls(printed.dc, &log);
        printed.printout->PrintPage(0, &printed.rect);
        gdi::LogDcCalls(printed.dc, nullptr);
        const gdi::Image page = gdi::ImageOfBitmap(printed.page);
        const int pen = std::max(static_cast<int>(static_cast<int>(dpi / 25.4) * 0.5), 1);
        int frames = 0;
        for (const std::string& line : log.calls("Rectangle")) {
            int l = 0, t = 0, r = 0, b = 0;
            ASSERT_EQ(std::sscanf(line.c_str(), "Rectangle(%d,%d,%d,%d)", &l, &t, &r, &b), 4);
            if (l != 1) {
                continue; // a column title's frame
            }
            ++frames;
            // Ink across the cell's inside, row by row from the bottom up.
            const auto inked = [&](int y) {
                int n = 0;
                for (int x = l + pen + 1; x < r - pen - 1; ++x) {
                    n += (page.at(x, y) & 0xFFFFFF) != 0xFFFFFF;
                }
                return n;
            };
            const int inside = r - l - 2 * pen - 2;
            int y = b + pen;
            while (y > t && inked(y) < inside) {
                --y; // below the frame
            }
            while (y > t && inked(y) == inside) {
                --y; // the bottom stroke
            }
            EXPECT_EQ(0, inked(y)) << dpi << " dpi, frame " << line;
            while (y > t && inked(y) == 0) {
                --y;
            }
            EXPECT_GT(inked(y), 0) << dpi << " dpi: the number is drawn, frame " << line;
        }
        EXPECT_EQ(10, frames) << dpi << " dpi: one per row";
    }
}

TEST_F(GridPrintoutTest, ThePrintServiceWritesOnePdfPerGrid)
{
    const testutil::TempFolder folder;
    const std::string pdf = folder / "table_print.pdf";
    hostDocument->SetFileName("recordings/evoked.txt");
    hostFrame->Printing().SetOutput(pdf, 600);
    Window().Print(false);
    EXPECT_EQ(hostFrame->Printing().PrintedPages(), 1) << "the last grid printed is the summary's one page";
    EXPECT_EQ(hostFrame->Printing().LastTitle(), u"evoked.txt: Results") << "the document's name, then the table's";
}
