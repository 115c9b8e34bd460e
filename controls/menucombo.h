// The owner-drawn menu combo box: a drop-down combo whose list looks like a menu. Some rows are separators (a
// thin line, or a heading text) that can be neither chosen with the mouse nor reached with the arrow keys, and the
// indices that callers see skip them. Kinds of combo that draw their own rows build on it.
#pragma once

#include "platform/owl/control.h"

#include <memory>
#include <vector>

namespace KVOControls::MenuCombo {

class MenuCombo;

// The combo's drop-down list, taken over so that its keys and clicks skip the separator rows.
class MenuComboLBox : public owl::TWindow {
public:
    MenuComboLBox(HWND list, MenuCombo& combo);
    void EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonDblClk(owl::uint modKeys, const owl::TPoint& point) override;

private:
    // The current selection is a separator row: clicks on it are swallowed.
    bool OnSeparator() const;
    MenuCombo& combo_;
};

class MenuCombo : public owl::TComboBox {
public:
    static constexpr int ControlId = 1039;

    // A new drop-down combo of owner-drawn rows of variable height, with strings, unsorted.
    MenuCombo(owl::TWindow* parent, int id, int x, int y, int w, int h, owl::TModule* module = nullptr);
    // Takes over a combo box of a dialog template.
    MenuCombo(owl::TWindow* parent, int resourceId, owl::TModule* module = nullptr);
    // Takes over the dialog's combo box 1039.
    explicit MenuCombo(owl::TWindow* parent);
    ~MenuCombo() override;

    // A superclass of the system's combo box under its own name.
    LPCWSTR GetClassName() override { return u"MenuCombo"; }
    void GetWindowClass(WNDCLASSW& wc) override;
    void SetupWindow() override;

    // The row height: the default dialog font's height with external leading, times 1.25, rounded; the first
    // measure also gives the edit field that height. Nothing is done before the combo has its window.
    void MeasureItem(MEASUREITEMSTRUCT& measureInfo) override;
    virtual void MeasureItem(owl::uint ctrlId, MEASUREITEMSTRUCT& measureInfo);
    // Separator rows as a grey line (no text) or a heading; other rows as menu items.
    void DrawItem(DRAWITEMSTRUCT& drawInfo) override;

    void AddSeparatorRow(int index) { SeparatorRows.push_back(index); }
    bool IsSeparatorRow(int index) const;
    int SeparatorRowCount() const { return static_cast<int>(SeparatorRows.size()); }

    int InsertString(LPCWSTR text, int index) override;
    int DeleteString(int index) override;
    // Forgets the separator rows; the items stay.
    void ClearList() override;
    // Indices that skip the separator rows. GetSelIndex answers raw index - separators before it (values below 1
    // as they are); SetSelIndex selects the row that many non-separators down (-1 past the end).
    int GetSelIndex() const override;
    int GetSelIndex(int& rawIndex) const;
    int SetSelIndex(int index) override;

    MenuComboLBox* List() const { return list.get(); }

protected:
    std::vector<int> SeparatorRows; // raw row indexes drawn as separators

private:
    std::unique_ptr<MenuComboLBox> list;
    bool heightSet = false;
};

} // namespace KVOControls::MenuCombo
