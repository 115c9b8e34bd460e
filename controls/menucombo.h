// The owner-drawn menu combo box: rows as tall as the dialog font wants, and rows that are drawn as separator lines.
// Kinds of combo that draw their own rows build on it.
#pragma once

#include "platform/owl/control.h"

#include <vector>

namespace KVOControls::MenuCombo {

class MenuCombo : public owl::TComboBox {
public:
    // A new drop-down combo of owner-drawn rows of variable height, with strings, unsorted.
    MenuCombo(owl::TWindow* parent, int id, int x, int y, int w, int h, owl::TModule* module = nullptr);
    // Takes over a combo box of a dialog template.
    MenuCombo(owl::TWindow* parent, int resourceId, owl::TModule* module = nullptr);

    // The row height: the default dialog font's height with external leading, times 1.25, rounded; the first
    // measure also gives the edit field that height. Nothing is done before the combo has its window.
    void MeasureItem(MEASUREITEMSTRUCT& measureInfo) override;
    virtual void MeasureItem(owl::uint ctrlId, MEASUREITEMSTRUCT& measureInfo);

    void AddSeparatorRow(int index) { SeparatorRows.push_back(index); }
    bool IsSeparatorRow(int index) const;

protected:
    std::vector<int> SeparatorRows; // row indexes drawn as a separator line

private:
    bool fieldMeasured_ = false;
};

} // namespace KVOControls::MenuCombo
