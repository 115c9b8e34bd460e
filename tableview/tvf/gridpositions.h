// Row and column positions of a grid and the rectangular cell range built from them. A position is (index, origin):
// the origin is the grid's first data row or column, so an index below it names the title row or the row-number
// column. A position with a negative member is unset.
#pragma once

#include <cstdint>

namespace TVF_Grid {

struct GridPos {
    std::int32_t Index = -1;
    std::int32_t Origin = -1;

    bool IsSet() const { return Index >= 0 && Origin >= 0; }
    // A data row or column (not the title row, not the row-number column).
    bool IsData() const { return Index >= Origin && Origin >= 0; }
    // Index relative to the first data row or column.
    std::int32_t Offset() const { return Index - Origin; }
    void Unset() { Index = Origin = -1; }

    // Set positions compare their indexes only; two unset positions are equal.
    friend bool operator==(const GridPos& a, const GridPos& b)
    {
        if (!a.IsSet() || !b.IsSet())
            return !a.IsSet() && !b.IsSet();
        return a.Index == b.Index;
    }
};

// Four positions; the end positions are exclusive.
struct CellRange {
    GridPos FirstRow;
    GridPos EndRow;
    GridPos FirstColumn;
    GridPos EndColumn;

    bool IsValid() const
    {
        return FirstRow.IsSet() && EndRow.IsSet() && FirstColumn.IsSet() && EndColumn.IsSet() &&
               EndRow.Index > FirstRow.Index && EndColumn.Index > FirstColumn.Index;
    }
    bool IsOneCell() const
    {
        return IsValid() && EndRow.Index - FirstRow.Index == 1 && EndColumn.Index - FirstColumn.Index == 1;
    }
    bool ContainsRow(std::int32_t row) const { return IsValid() && FirstRow.Index <= row && row < EndRow.Index; }
    bool Contains(std::int32_t row, std::int32_t column) const
    {
        return ContainsRow(row) && FirstColumn.Index <= column && column < EndColumn.Index;
    }
    void Unset() { *this = CellRange{}; }

    // Grows the row span to hold `row` (sets it when unset).
    void IncludeRow(const GridPos& row);
    void IncludeColumn(const GridPos& column);
    void Include(const GridPos& row, const GridPos& column)
    {
        IncludeRow(row);
        IncludeColumn(column);
    }

    friend bool operator==(const CellRange& a, const CellRange& b) = default;
};

} // namespace TVF_Grid
