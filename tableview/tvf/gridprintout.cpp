#include "tableview/tvf/gridprintout.h"

#include "tableview/tvf/gridcolumn.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/tvfrenderer.h"

#include <algorithm>
#include <cmath>

namespace TVF_Grid {

namespace {

// Width of the dotted column and row lines, in device units.
constexpr int kRuleWidth = 4;

// How far right of a cell's left edge its text starts, so that the rules there (the dotted column line, and the
// frames of width `frameWidth` around column and row titles) never touch its first glyph: beyond the widest
// rule's reach by at least a quarter of a millimetre and one device pixel.
int TextInset(HDC dc, int frameWidth)
{
    const int reach = static_cast<int>(std::ceil(0.5 + std::max(kRuleWidth, frameWidth) / 2.0));
    const int gap = static_cast<int>(std::ceil(GetDeviceCaps(dc, LOGPIXELSX) * 0.25 / 25.4));
    return reach + std::max(gap, 1);
}

// The grid's screen font scaled to the device: height by sy, width by sx, rounded.
HFONT ScaledFont(HFONT screenFont, float sx, float sy)
{
    LOGFONTW font{};
    GetObjectW(screenFont, sizeof font, &font);
    font.lfHeight = static_cast<LONG>(std::lround(font.lfHeight * sy));
    font.lfWidth = static_cast<LONG>(std::lround(font.lfWidth * sx));
    return CreateFontIndirectW(&font);
}

TEXTMETRICW MetricsOf(HDC dc, HFONT font)
{
    TEXTMETRICW metrics{};
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics;
}

int ScreenDpi(int index)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void FrameRect(HDC dc, const RECT& rect)
{
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
}

void Line(HDC dc, int x1, int y1, int x2, int y2)
{
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void ClipTo(HDC dc, const RECT& rect)
{
    HRGN region = CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
    SelectClipRgn(dc, region);
    DeleteObject(region);
}

} // namespace

// The device's two fonts, made from the grid's fonts for one operation.
struct GridPrintout::Fonts {
    Fonts(HDC device, const EventGridControl& grid)
    {
        const float sx = static_cast<float>(GetDeviceCaps(device, LOGPIXELSX)) / ScreenDpi(LOGPIXELSX);
        const float sy = static_cast<float>(GetDeviceCaps(device, LOGPIXELSY)) / ScreenDpi(LOGPIXELSY);
        cell = ScaledFont(grid.CellFont(), sx, sy);
        title = ScaledFont(grid.TitleFont() ? grid.TitleFont() : grid.CellFont(), sx, sy);
        cellMetrics = MetricsOf(device, cell);
        titleMetrics = MetricsOf(device, title);
    }
    ~Fonts()
    {
        DeleteObject(cell);
        DeleteObject(title);
    }
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    HFONT cell;
    HFONT title;
    TEXTMETRICW cellMetrics;
    TEXTMETRICW titleMetrics;
};

GridPrintout::GridPrintout(IUnknown* hostDocument, ITableDataManager* data, DWORD gridFlags, EventGridControl& grid,
                           TVF_Renderer& renderer, const KVO::String& title, bool rowTitles, bool columnTitles)
    : CAFPrintout(hostDocument, title, KVO::Bitset()), data_(data), gridFlags_(gridFlags), grid_(grid),
      renderer_(renderer), rowTitles_(rowTitles), columnTitles_(columnTitles)
{
    renderer_.AddRef();
    grid_.Options().NoSelectionHighlight = true;
    renderer_.BeginSelectionExtent();
}

GridPrintout::~GridPrintout()
{
    grid_.Options().NoSelectionHighlight = false;
    renderer_.EndSelectionExtent();
    renderer_.Release();
}

int GridPrintout::RowTitleWidth(HDC device, HFONT cellFont)
{
    if (!rowTitles_) {
        return 0;
    }
    return (grid_.GetLongestRowTitle() + 6) * MetricsOf(device, cellFont).tmAveCharWidth;
}

void GridPrintout::WalkColumns(int pageWidth)
{
    // Columns fill a page column from its left; a column that does not fit starts the next one, and a column
    // wider than a page starts a fresh page column and continues over as many as it needs. Printing draws the
    // same page columns, so every counted page has columns and no column is lost.
    pageColumns_.assign(1, PageColumn{0, 0});
    const int W = std::max(pageWidth, 1);
    int x = std::min(rowTitleWidth_, W / 2);
    bool empty = true;
    for (int i = 0; i < static_cast<int>(widths_.size()); ++i) {
        const int w = widths_[static_cast<std::size_t>(i)];
        if (x + w <= W) {
            x += w;
            empty = false;
            continue;
        }
        if (!empty) {
            pageColumns_.push_back(PageColumn{i, 0});
        }
        x = w;
        for (int skip = W; x > W; skip += W) {
            pageColumns_.push_back(PageColumn{i, skip});
            x -= W;
        }
        empty = false;
    }
}

int GridPrintout::CountPages()
{
    owl::TDC* dc = CurrentDC();
    if (!dc || !dc->GetHandle()) {
        return PagesAcross() * pagesDown_;
    }
    HDC device = dc->GetHandle();
    const Fonts fonts(device, grid_);
    const RECT page = PageRect();
    const int W = page.right - page.left;
    const int H = page.bottom - page.top;
    rowHeight_ = std::max(static_cast<int>(fonts.cellMetrics.tmHeight * 1.4), 1);
    rowTitleWidth_ = RowTitleWidth(device, fonts.cell);

    widths_.clear();
    const int deviceDpi = GetDeviceCaps(device, LOGPIXELSX);
    const int screenDpi = ScreenDpi(LOGPIXELSX);
    GridPane& pane = grid_.Pane();
    for (int c = 0; c < pane.ColumnCount(); ++c) {
        const float scaled = static_cast<float>(pane.Column(c)->Width()) * deviceDpi / screenDpi;
        widths_.push_back(static_cast<int>(scaled));
    }
    WalkColumns(W);

    const int band = columnTitles_ ? 2 * fonts.titleMetrics.tmHeight : 0;
    firstRows_ = std::max((H - band) / rowHeight_, 1);
    laterRows_ = std::max(H / rowHeight_, 1);
    const int rows = pane.RowCount();
    pagesDown_ = 1 + (rows > firstRows_ ? (rows - firstRows_ + laterRows_ - 1) / laterRows_ : 0);
    return PagesAcross() * pagesDown_;
}

void GridPrintout::PrintPage(int p, owl::TDC& owlDc, const RECT& bandRect)
{
    HDC dc = owlDc.GetHandle();
    if (!dc || pageColumns_.empty() || widths_.empty()) {
        return;
    }
    const Fonts fonts(dc, grid_);
    const RECT page = PageRect();
    const int across = PagesAcross();
    const int r = p / across;
    const int c = p % across;
    const int penWidth = std::max(static_cast<int>(static_cast<int>(GetDeviceCaps(dc, LOGPIXELSX) / 25.4) * 0.5), 1);
    const int band = columnTitles_ ? 2 * fonts.titleMetrics.tmHeight : 0;
    const int H0 = grid_.FirstDataRow();
    const int rowCount = grid_.Pane().RowCount();
    const int firstRow = r == 0 ? 0 : firstRows_ + (r - 1) * laterRows_;
    const int endRow = std::min(r == 0 ? firstRows_ : firstRow + laterRows_, rowCount);
    const int cellTop = page.top + (r == 0 ? band : 0);
    const int dataLeft = page.left + (c == 0 ? std::min(rowTitleWidth_, (page.right - page.left) / 2) : 0);

    const PageColumn start = pageColumns_[static_cast<std::size_t>(c)];
    const int textInset = TextInset(dc, penWidth);
    renderer_.SetPrintedTextInset(textInset);
    HPEN dotted = CreatePen(PS_DOT, kRuleWidth, RGB(16, 16, 16));
    HPEN frame = CreatePen(PS_SOLID, penWidth, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, frame);
    HGDIOBJ oldFont = SelectObject(dc, fonts.cell);
    RECT clipArea{};
    IntersectRect(&clipArea, &bandRect, &page);

    int left = dataLeft - start.skip;
    int lastRight = dataLeft;
    for (int i = start.firstColumn; i < static_cast<int>(widths_.size()); ++i) {
        const int right = left + widths_[static_cast<std::size_t>(i)];
        if (i > start.firstColumn && right > page.right) {
            break;
        }
        if (columnTitles_ && r == 0) {
            RECT title{left, page.top, right, page.top + band};
            RECT clip{};
            IntersectRect(&clip, &title, &page);
            ClipTo(dc, clip);
            SelectObject(dc, fonts.title);
            SetTextAlign(dc, TA_BASELINE | TA_LEFT);
            SetBkMode(dc, TRANSPARENT);
            const KVO::String& text = renderer_.ColumnTitleOf(i < renderer_.ColumnEntries() ? i : 0);
            if (i < renderer_.ColumnEntries()) {
                SIZE extent{};
                GetTextExtentPoint32W(dc, text.c_str(), text.Length(), &extent);
                const int x = title.left + TVF_Renderer::TextShift(textInset, clip.right - title.left, extent.cx);
                TextOutW(dc, x, (title.top + title.bottom) / 2, text.c_str(), text.Length());
            }
            SelectObject(dc, frame);
            FrameRect(dc, RECT{title.left, title.top, title.right, title.bottom - penWidth / 2});
            SelectClipRgn(dc, nullptr);
        }
        ClipTo(dc, clipArea);
        SelectObject(dc, fonts.cell);
        SetBkMode(dc, OPAQUE);
        UniformRowPosCursor cursor(cellTop, GridPos{firstRow + H0, H0}, GridPos{endRow + H0, H0}, rowHeight_);
        int lowest = cellTop;
        renderer_.PaintColumn(dc, i, RECT{left, cellTop, right, page.bottom}, cursor, GridPos{endRow + H0, H0},
                                nullptr, &lowest);
        SelectClipRgn(dc, nullptr);
        const int y1 = std::min(lowest, static_cast<int>(page.bottom));
        SelectObject(dc, dotted);
        Line(dc, left, cellTop, left, y1);
        if (right <= page.right) {
            Line(dc, right, cellTop, right, y1);
        }
        lastRight = std::min(right, static_cast<int>(page.right));
        left = right;
    }

    // Row lines and, on the first page column, the row titles.
    const int shift = renderer_.PrintedRowShift();
    std::u16string title;
    int top = cellTop;
    for (int row = firstRow; row <= endRow; ++row, top += rowHeight_) {
        if (row == endRow && endRow < rowCount) {
            break; // the page row continues on the next page: no line under its last row here
        }
        SelectObject(dc, dotted);
        Line(dc, dataLeft, top, lastRight, top);
        if (row >= endRow) {
            break;
        }
        if (c == 0 && rowTitles_) {
            title.clear();
            renderer_.GetRowTitle(GridPos{row + H0 + shift, H0}, title);
            const std::size_t length = title.find(u'\0');
            SelectObject(dc, fonts.cell);
            SetTextAlign(dc, TA_BOTTOM | TA_CENTER);
            SetBkMode(dc, TRANSPARENT);
            // Raised by half the frame's pen, so that the frame's stroke runs below the number, not through it.
            TextOutW(dc, (page.left + dataLeft) / 2, top + rowHeight_ - 1 - (penWidth + 1) / 2, title.c_str(),
                     static_cast<int>(std::min(length, title.size())));
            SelectObject(dc, frame);
            FrameRect(dc, RECT{page.left + 1, top + 1, dataLeft - 1, top + rowHeight_ - 2});
        }
    }
    renderer_.SetPrintedTextInset(0);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    DeleteObject(dotted);
    DeleteObject(frame);
}

} // namespace TVF_Grid
