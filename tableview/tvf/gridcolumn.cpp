#include "tableview/tvf/gridcolumn.h"

#include "platform/win/wingdi.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"

namespace TVF_Grid {
namespace {
int TitleWidth(HFONT font, const KVO::String& title)
{
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(screen, font);
    SIZE extent{};
    ::GetTextExtentPoint32W(screen, title.c_str(), static_cast<int>(title.Length()), &extent);
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    return extent.cx;
}
} // namespace

GridColumn::GridColumn(const GridControl& grid, int index, const KVO::String& title, int width)
    : title_(title), index_(index), width_(width == kFitTitle ? TitleWidth(grid.CellFont(), title) + 10 : width)
{
}

std::unique_ptr<RowPosCursor> UniformGridColumn::CreateRowCursor(const GridPos& first, const GridPos& end) const
{
    const int h = GridPane::kRowHeight;
    const int top = (first.Index - first.Origin - (Pane() ? Pane()->TopRow() : 0)) * h;
    return std::make_unique<UniformRowPosCursor>(top, first, end, h);
}

} // namespace TVF_Grid
