// Small parts of the grid: the cursor with which a column walks the visible rows while the cell pane paints, and the
// cell values that the grid's cell pull hands to an in-place editor.
#pragma once

#include "foundation/kvostring.h"
#include "tableview/tvf/gridpositions.h"

#include <cstdint>

namespace TVF_Grid {

class RowPosCursor {
public:
    virtual ~RowPosCursor() = default;
    // Moves to the following row; returns its bottom in pixels.
    virtual int Next() = 0;
    // Moves n rows on; returns the distance moved in pixels.
    virtual int Advance(int n) = 0;
    // The cursor still stands on a row of its range.
    virtual bool IsValid() const = 0;
    // The current row's top and bottom (exclusive) in pixels, and its position.
    virtual int Top() const = 0;
    virtual int Bottom() const = 0;
    virtual const GridPos& Row() const = 0;
};

// Rows of one height; y is relative to the top of the cell pane.
class UniformRowPosCursor final : public RowPosCursor {
public:
    UniformRowPosCursor(int top, const GridPos& row, const GridPos& end, int rowHeight)
        : top_(top), bottom_(top + rowHeight), row_(row), end_(end), rowHeight_(rowHeight)
    {
    }

    int Next() override;
    int Advance(int n) override;
    bool IsValid() const override { return row_.Index < end_.Index; }

    int Top() const override { return top_; }
    int Bottom() const override { return bottom_; }
    const GridPos& Row() const override { return row_; }

private:
    int top_;
    int bottom_;
    GridPos row_;
    GridPos end_;
    int rowHeight_;
};

class CellData {
public:
    virtual ~CellData() = default;
    virtual void Reserved1() = 0;
    virtual void Reserved2() = 0;
    virtual KVO::String GetText() const = 0;
};

class CellStringData : public CellData {
public:
    virtual void SetText(const KVO::String& text) = 0;
};

class TVF_CellStringData final : public CellStringData {
public:
    void Reserved1() override {}
    void Reserved2() override {}
    KVO::String GetText() const override { return text_; }
    void SetText(const KVO::String& text) override { text_ = text; }

private:
    KVO::String text_;
};

class CellUint32Data : public CellData {
public:
    // Stores the value; the text becomes its rendering as a signed 32-bit number.
    virtual void SetValue(std::uint32_t value) = 0;
    virtual std::uint32_t GetValue() const = 0;
};

class TVF_CellUint32Data final : public CellUint32Data {
public:
    // The value the cell pull gives a text that holds no number.
    static constexpr std::uint32_t kNoNumber = 0x80000001u;
    // The grid's reading of a cell's text: one decimal integer after optional blanks, in the classic locale;
    // kNoNumber when the text starts with no number or the number does not fit 32 bits.
    static std::uint32_t Read(const KVO::String& text);

    void Reserved1() override {}
    void Reserved2() override {}
    KVO::String GetText() const override { return text_; }
    void SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return value_; }

private:
    std::uint32_t value_ = kNoNumber; // the grid always calls SetValue before use
    KVO::String text_;
};

} // namespace TVF_Grid
