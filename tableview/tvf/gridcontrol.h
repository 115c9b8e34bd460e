// The grid control: the window that shows one table of the table view. It owns no data: it asks the data manager
// for every cell it needs, keeps the selection, scrolls, lays out its children, turns keys into selection moves and
// edits, and reports what the user did to the action handler. Everything it does for a screen of rows costs the same
// whether the table has a thousand rows or a million.
#pragma once

#include "controls/gadgetwindows.h"
#include "frame/eventhandlers.h"
#include "foundation/dialogfont.h"
#include "platform/owl/control.h"
#include "platform/owl/window.h"
#include "sdk/tableview.h"
#include "tableview/tvf/gridcells.h"
#include "tableview/tvf/gridscrollbars.h"
#include "tableview/tvf/gridselection.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace TVF_Grid {

class GridPane;
class GridTitleBar;
class RowNumbersPane;

// A raised 3-D frame inside (left, top, right, bottom): light top and left edges, shadowed bottom and right.
void DrawRaisedFrame(HDC dc, int left, int top, int right, int bottom);

// The painting interface of a grid; the grid is its own default renderer.
class GridRenderer {
public:
    virtual void BeginPaint() {}
    virtual void BeginColumn(const GridPos& /*firstRow*/, const GridPos& /*column*/) {}
    // Paints the cells of data column `column` inside `rect` (its left and right edges; top and bottom of the pane or
    // page) from the cursor's row up to `endRow`. True when the renderer painted every cell itself, so that the pane
    // only draws grid lines there. The outputs, when given, rise to the widest content and the lowest bottom drawn.
    virtual bool PaintColumn(HDC /*dc*/, int /*column*/, const RECT& /*rect*/, RowPosCursor& /*rows*/,
                             const GridPos& /*endRow*/, int* /*contentWidth*/, int* /*lowestBottom*/)
    {
        return false;
    }
    virtual void BeginCell(const GridPos& /*row*/) {}
    virtual void SetCellColors(HDC dc, const GridPos& row, const GridPos& column, int kind, const COLORREF* colour) = 0;
    virtual void PaintCell(HDC dc, const GridPos& row, const GridPos& column, const RECT& rect, bool selected) = 0;
    virtual void EndPaint() {}
    // The text shown in the row-number pane for a row.
    virtual void GetRowTitle(const GridPos& /*row*/, std::u16string& /*out*/) {}
    virtual void BeginSelectionExtent() {}
    virtual void EndSelectionExtent() {}

protected:
    ~GridRenderer() = default;
};

// Items of a row's popup menu.
struct ITableRowMenuProvider : IUnknown {
    virtual HRESULT GetMenuItemCount(DWORD flags, LONG row, LONG column, LONG* count) = 0;            // 3
    virtual HRESULT GetMenuItemText(DWORD flags, LONG row, LONG column, LONG item, IKVOString** text) = 0; // 4

protected:
    ~ITableRowMenuProvider() = default;
};

// Shows the provider's items for a cell as a popup menu at the cursor (ids 1..n, none shown when there are no
// items) and returns the id chosen, 0 for none.
int TrackCellMenu(ITableRowMenuProvider& provider, LONG row, LONG column, HWND owner);

// The small window under the vertical bar with the one button that toggles always-show-latest-row.
class SnapGadgetWindowBase : public KVOControls::UxBorderlessGadgetWindow {
public:
    explicit SnapGadgetWindowBase(OWL::TWindow* parent);
    void SetupWindow() override;
    bool EvEraseBkgnd(HDC dc) override;
    void EvCommandEnable(OWL::TCommandEnabler& enabler) override;
};

struct GridOptions {
    bool HorizontalBarShown = true;
    bool HorizontalBarAllowed = true;
    bool VerticalBarShown = true;
    bool NoVerticalBarForOverflow = false;
    bool ScrollPastEnd = false;
    bool ShowRowTitles = true;
    bool RowTitlesFromRenderer = false;
    bool NoSelectionHighlight = false;
    bool RowSelection = false;
    bool AutoFitColumns = false;
    bool TextEditing = false;
    bool SnapButtonWanted = false;
    bool AlwaysShowLatestRow = false;
    // Read by the title bar and the renderer only.
    bool ColumnResizing = false;
    bool ColumnMoving = false;
    bool PrintSelectionOff = false;
};

class GridControl : public GridRenderer, public OWL::TWindow, public SelectionSite {
public:
    static constexpr UINT kToggleLatestRowCommand = 1006;

    explicit GridControl(OWL::TWindow* parent);
    ~GridControl() override;

    LPCWSTR GetClassName() override { return u"GridControl"; }
    void SetupWindow() override;
    SnapGadgetWindowBase* SnapWindow() const { return snap_; }
    // The snap button, when the grid has one, shows as pressed while the grid keeps its latest row in view.
    void ShowSnapButtonPressed(bool pressed);
    // Makes the snap button's window when it is wanted and the grid's window exists but it has none yet.
    void EnsureSnapWindow();

    // Renderer defaults.
    void SetCellColors(HDC dc, const GridPos& row, const GridPos& column, int kind, const COLORREF* colour) override;
    void PaintCell(HDC, const GridPos&, const GridPos&, const RECT&, bool) override {}
    void GetRowTitle(const GridPos& row, std::u16string& out) override;

    // The grid's own operations.
    virtual int GetCellKind(const GridPos& row, const GridPos& column);
    virtual std::unique_ptr<CellData> GetCellData(const GridPos& row, const GridPos& column);
    virtual void PrepareColumn(const GridPos&) {}
    virtual void OnLeftColumnChanged(const GridPos&) {}
    virtual void OnColumnWidthChanged(const GridPos&, int) {}
    virtual void OnColumnMoved(const GridPos&, const GridPos&) {}
    virtual void OnClicked() = 0;
    virtual void SetCellValue(const GridPos&, const GridPos&, const KVO::String&) {}
    virtual void CellCommand(int /*kind*/, const GridPos&, const GridPos&, int /*value*/) {}
    virtual void ClearCell(unsigned /*flags*/, const GridPos&, const GridPos&) {}
    virtual bool HandleKeyDown(uint /*key*/, uint /*repeat*/, uint /*flags*/) { return false; }
    virtual bool HandleKeyUp(uint /*key*/) { return false; }

    // What the selection needs of its grid.
    int FirstDataRow() const override { return firstDataRow_; }
    int FirstDataColumn() const override { return firstDataColumn_; }
    int PaneRowCount() const override;
    int PaneColumnCount() const override;
    ITableUserActionHandler* ActionHandler() const override { return actionHandler_; }
    DWORD ActionFlags() const override { return actionFlags_; }
    void OnSelectionRepaint() override;

    // Connections the table window makes; borrowed.
    void SetDataManager(ITableDataManager* manager, ITableStoredRowInfo* rows, DWORD dataFlags)
    {
        dataManager_ = manager;
        rowInfo_ = rows;
        dataFlags_ = dataFlags;
    }
    void SetActionHandler(ITableUserActionHandler* handler, DWORD actionFlags)
    {
        actionHandler_ = handler;
        actionFlags_ = actionFlags;
    }
    void SetRowMenuProvider(ITableRowMenuProvider* provider) { rowMenu_ = provider; }
    ITableRowMenuProvider* RowMenuProvider() const { return rowMenu_; }
    ITableDataManager* DataManager() const { return dataManager_; }
    DWORD DataFlags() const { return dataFlags_; }
    void SetSelection(std::unique_ptr<GridSelection> selection) { selection_ = std::move(selection); }
    GridSelection* Selection() const { return selection_.get(); }
    // (end row, first row) of the data; the grid holds data when they differ.
    void SetDataExtent(const GridPos& extent) { dataExtent_ = extent; }
    bool HoldsData() const { return dataExtent_.Index != dataExtent_.Origin; }

    GridOptions& Options() { return options_; }
    const GridOptions& Options() const { return options_; }
    GridPane& Pane() const { return *pane_; }
    GridTitleBar& TitleBar() const { return *titleBar_; }
    RowNumbersPane& RowNumbers() const { return *rowNumbers_; }
    GridVScrollBar& VScrollBar() const { return *vbar_; }
    GridHScrollBar& HScrollBar() const { return *hbar_; }
    HFONT CellFont() const { return cellFont_; }
    HFONT TitleFont() const { return *titleFontObject_; }
    // Channel names by channel number; the choice list of a channel cell offers them in ascending order.
    const std::map<unsigned, KVO::String>& ChannelTitles() const { return channelTitles_; }
    void SetChannelTitles(std::map<unsigned, KVO::String> titles) { channelTitles_ = std::move(titles); }
    int RowNumberWidth() const { return rowNumberWidth_; }
    void SetRowNumberWidth(int width) { rowNumberWidth_ = width; }
    int TitleBarHeight() const { return titleBarHeight_; }
    int DataAreaHeight() const { return dataHeight_; }

    // Layout and scroll bars.
    void Layout();
    void UpdateScrollBars(bool relayout);
    void UpdateVerticalRange();
    void UpdateHorizontalRange();

    // Rows are absolute indexes; the pane's top row is index - first data row.
    void ScrollToRow(const GridPos& row);
    void EnsureRowVisible(const GridPos& row);
    void ScrollRowsBy(int delta);
    void ScrollToLastRow();
    void SetRowExtent(int end, int origin);
    bool IsRowVisible(const GridPos& row) const;
    GridPos GetRowEnd() const { return {PaneRowCount() + firstDataRow_, firstDataRow_}; }

    void ScrollToColumn(const GridPos& column);
    void ScrollColumnsBy(int delta);
    bool IsColumnVisible(const GridPos& column) const;
    void ScrollToLastColumns();
    // Scrolls so that the column holding content x is the left column; the bar shows x, or with snap the column's x.
    void ScrollHorizontallyTo(int x, bool snap);
    void OnColumnResized(int width, const GridPos& column);
    // (bar position + page - range minimum) / (range maximum - minimum); 0 for an empty range.
    double GetHorizontalScrollFraction() const;
    // Keys go to HandleKeyDown/HandleKeyUp; characters are left alone; anything else to the parent's dialog keys.
    bool PreProcessKey(MSG& msg);
    GridPos GetLastColumn() const { return {firstDataColumn_ - 1 + PaneColumnCount(), firstDataColumn_}; }

    // The longest row title in characters; walks every row (for the printout).
    int GetLongestRowTitle();

private:
    void MakeLeftColumn(int offset);
    int PaneWidth() const { return dataWidth_ - (options_.VerticalBarShown ? vbarWidth_ : 0); }
public:

protected:
    void EvWindowPosChanged(const WINDOWPOS& pos) override;
    bool EvEraseBkgnd(HDC) override { return false; }
    void EvLButtonDown(uint, const OWL::TPoint&) override { OnClicked(); }
    void EvContextMenu(HWND, int, int) override {}
    OWL::TResult EvCommand(uint id, HWND control, uint notifyCode) override;
    void Paint(OWL::TDC& dc, bool erase, OWL::TRect& rect) override;
    virtual void ToggleAlwaysShowLatestRow();

    GridPane* pane_;
    GridTitleBar* titleBar_;
    RowNumbersPane* rowNumbers_;
    GridVScrollBar* vbar_;
    GridHScrollBar* hbar_;
    SnapGadgetWindowBase* snap_ = nullptr;

    ITableDataManager* dataManager_ = nullptr;
    ITableStoredRowInfo* rowInfo_ = nullptr;
    ITableUserActionHandler* actionHandler_ = nullptr;
    ITableRowMenuProvider* rowMenu_ = nullptr;
    DWORD dataFlags_ = 0;
    DWORD actionFlags_ = 0;
    int firstDataRow_ = 1;
    int firstDataColumn_ = 1;
    GridPos dataExtent_;
    GridPos leftColumn_;
    std::unique_ptr<GridSelection> selection_;
    std::unique_ptr<KVO::MetricFont> cellFontObject_;
    std::unique_ptr<KVO::MetricFont> titleFontObject_;
    HFONT cellFont_ = nullptr;
    int vbarWidth_;
    int hbarHeight_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int titleBarHeight_ = 0;
    int rowNumberWidth_ = 0;
    int dataWidth_ = 0;
    int dataHeight_ = 0;
    GridOptions options_;
    std::map<unsigned, KVO::String> channelTitles_;
};

// The grid of the event table: reports the user's actions as messages and to the action handler, and handles keys.
// The grid whose user actions reach observers (the table window) as messages of its subject.
class EventGridControl : public GridControl, public CAF::CAFSubject {
public:
    static constexpr DWORD kColumnWidthChanged = 0x80140007;
    static constexpr DWORD kColumnMoved = 0x8014000A;
    static constexpr DWORD kLeftColumnChanged = 0x8014000B;
    static constexpr DWORD kFrameClicked = 0x8014000D;

    using GridControl::GridControl;

    // The subject lives as long as the grid window: the host's references do not own it.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    void OnLeftColumnChanged(const GridPos& column) override;
    void OnColumnWidthChanged(const GridPos& column, int width) override;
    void OnColumnMoved(const GridPos& from, const GridPos& to) override;
    void OnClicked() override { Send(kFrameClicked, nullptr); }
    void SetCellValue(const GridPos& row, const GridPos& column, const KVO::String& text) override;
    void CellCommand(int kind, const GridPos& row, const GridPos& column, int value) override;
    void ClearCell(unsigned flags, const GridPos& row, const GridPos& column) override;
    bool HandleKeyDown(uint key, uint repeat, uint flags) override;

protected:
    void ToggleAlwaysShowLatestRow() override;

private:
    void Send(DWORD code, const void* data) { SendToObservers(code, data); }
    bool CellHasStyle(const GridPos& row, const GridPos& column, LONG bits) const;
    void MoveRow(int step, bool shift);
    void MoveColumn(int step, bool shift);
};

} // namespace TVF_Grid
