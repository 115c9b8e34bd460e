// The in-place editors of a grid's cells: the text editor, the choice list, the control classes that make and draw
// them, and the window alias that catches an open editor's keys for the cell pane.
#pragma once

#include "platform/owl/control.h"
#include "platform/owl/window.h"
#include "tableview/tvf/gridcells.h"

#include <memory>
#include <string>
#include <vector>

namespace TVF_Grid {

class GridPane;

// An open editor: a window that shows a cell value and stores the user's choice back into it.
class GridItemControl {
public:
    explicit GridItemControl(CellData& value) : value_(value) {}
    virtual ~GridItemControl() = default;
    // With save, the editor's content goes into the cell value; without, the editor shows the value.
    virtual void Transfer(bool save) = 0;
    virtual OWL::TWindow& Window() = 0;
    CellData& Value() const { return value_; }

private:
    CellData& value_;
};

// The text editor: a single-line edit that takes at most 511 characters back into a string cell.
class GridEditCtrl final : public OWL::TEdit, public GridItemControl {
public:
    static constexpr int kControlId = 100;
    static constexpr int kBufferSize = 512;

    GridEditCtrl(OWL::TWindow* parent, CellData& value);
    void Transfer(bool save) override;
    OWL::TWindow& Window() override { return *this; }
};

// The choice list: a drop-down list whose selected index is the unsigned cell's value.
class StringComboBox final : public OWL::TComboBox, public GridItemControl {
public:
    static constexpr int kControlId = 100;
    static constexpr DWORD kStyle = 0x50230043; // child, visible, vertical scroll, group, tab stop, drop-down list

    StringComboBox(OWL::TWindow* parent, CellData& value, const std::vector<std::u16string>& choices);
    void SetupWindow() override;
    void Transfer(bool save) override;
    OWL::TWindow& Window() override { return *this; }

private:
    const std::vector<std::u16string>& choices_;
};

// Makes the item control of a cell and draws a cell value as that control would show it.
class GridControlClass {
public:
    virtual ~GridControlClass() = default;
    virtual void DrawItem(const CellData& value, HDC dc, const RECT& rect);
    virtual std::unique_ptr<GridItemControl> CreateItemControl(GridPane& parent, CellData& value) = 0;
};

class GridStaticText : public GridControlClass {};

class GridText final : public GridStaticText {
public:
    std::unique_ptr<GridItemControl> CreateItemControl(GridPane& parent, CellData& value) override;
};

class GridStringList final : public GridControlClass {
public:
    void AddString(const std::u16string& text) { strings_.push_back(text); }
    const std::vector<std::u16string>& Strings() const { return strings_; }
    void DrawItem(const CellData& value, HDC dc, const RECT& rect) override;
    std::unique_ptr<GridItemControl> CreateItemControl(GridPane& parent, CellData& value) override;

private:
    std::vector<std::u16string> strings_;
};

// Takes an open editor's messages before the editor itself: Tab and Enter store and close, Escape closes without
// storing, losing the focus stores and closes, a double click opens the editor on its cell again.
class ControlAlias final : public OWL::TWindow {
public:
    ControlAlias(GridPane& pane, HWND editor, int column, int row);
    // The pane closed the editor: later messages (the window's end) reach nothing.
    void Retire() { pane_ = nullptr; }
    // Default handling of a key the pane does not take.
    void DefaultKey(uint key, uint repeatCount, uint flags);

protected:
    void EvKeyDown(uint key, uint repeatCount, uint flags) override;
    void EvChar(uint key, uint repeatCount, uint flags) override;
    void EvKillFocus(HWND getFocus) override;
    void EvLButtonDblClk(uint modKeys, const OWL::TPoint& point) override;

private:
    GridPane* pane_;
    int column_;
    int row_;
};

} // namespace TVF_Grid
