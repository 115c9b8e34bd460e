// The dialog that sets a column's significant figures, for one column or all of them.
#pragma once

#include "controls/dialogbase.h"

class IntEdit;

namespace TableView {

class SigFigDialog : public KVO::DialogBase {
public:
    static constexpr int kEditId = 1001;
    static constexpr int kApplyToAllId = 1002;
    static constexpr int kUpDownId = 1003;

    explicit SigFigDialog(owl::TWindow* parent, owl::TModule* module = nullptr);

    int digits = 4;
    bool applyToAll = false;

    void SetupWindow() override;
    // Reads the digits and the check box; the dialog closes only when the digits are 1 to 10.
    void CmOk() override;
    // Only a whole number from 1 to 10 lets the dialog close with OK.
    bool CanClose() override;

private:
    IntEdit* edit_;
};

} // namespace TableView
