#include "tableview/tvf/gridpositions.h"

namespace TVF_Grid {
namespace {
void IncludeIn(GridPos& first, GridPos& end, const GridPos& at)
{
    if (!first.IsSet() || at.Index < first.Index)
        first = at;
    if (!end.IsSet() || at.Index + 1 > end.Index)
        end = {at.Index + 1, at.Origin};
}
} // namespace

void CellRange::IncludeRow(const GridPos& row) { IncludeIn(FirstRow, EndRow, row); }
void CellRange::IncludeColumn(const GridPos& column) { IncludeIn(FirstColumn, EndColumn, column); }

} // namespace TVF_Grid
