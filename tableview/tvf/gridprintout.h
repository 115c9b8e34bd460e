// The printout of one grid of the table window: the grid's columns and rows laid out over a matrix of pages, with
// fonts and widths scaled from the screen to the printer. Cells are drawn by the grid's renderer, so a printed cell
// reads as it does on the screen.
#pragma once

#include "graph/analysisview/printout.h"
#include "tableview/tvf/gridcontrol.h"

#include <vector>

class TVF_Renderer;

namespace TVF_Grid {

class GridPrintout final : public CAFPrintout {
public:
    // While it lives the grid prints without selection highlight and, with a selection, holds only its rows.
    GridPrintout(IUnknown* hostDocument, ITableDataManager* data, DWORD gridFlags, EventGridControl& grid,
                 TVF_Renderer& renderer, const KVO::String& title, bool rowTitles, bool columnTitles);
    ~GridPrintout() override;

    using CAFPrintout::PrintPage;
    int PageCount() override { return CountPages(); }
    void PrintPage(int page, owl::TDC& dc, const RECT& band) override;

    // Lays the grid out on the current device's page and returns pages across × pages down.
    int CountPages();

    // The layout of the last CountPages.
    struct PageColumn {
        int firstColumn; // the pane column the page column starts with
        int skip;        // device units of that column already printed on earlier page columns
    };
    const std::vector<int>& ColumnWidths() const { return widths_; }
    const std::vector<PageColumn>& PageColumns() const { return pageColumns_; }
    int PagesAcross() const { return static_cast<int>(pageColumns_.size()); }
    int PagesDown() const { return pagesDown_; }
    int RowHeight() const { return rowHeight_; }
    int RowsOnFirstPage() const { return firstRows_; }
    int RowsOnLaterPages() const { return laterRows_; }

private:
    struct Fonts;
    // The one walk of the columns over page columns that both counting and printing use.
    void WalkColumns(int pageWidth);
    int RowTitleWidth(HDC device, HFONT cellFont);

    ITableDataManager* data_;
    DWORD gridFlags_;
    EventGridControl& grid_;
    TVF_Renderer& renderer_;
    bool rowTitles_;
    bool columnTitles_;
    std::vector<int> widths_;
    std::vector<PageColumn> pageColumns_;
    int rowHeight_ = 1;
    int rowTitleWidth_ = 0;
    int firstRows_ = 1;
    int laterRows_ = 1;
    int pagesDown_ = 1;
};

} // namespace TVF_Grid
