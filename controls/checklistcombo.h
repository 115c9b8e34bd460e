// Combo boxes whose drop-down rows carry check boxes. The selection combo owns a selection of numbered things,
// shows it as a selection list ("1,3,5-9") in its edit field and parses what the user types there after a pause
// in typing, when the list drops down, or when the combo loses the focus.
#pragma once

#include "controls/menucombo.h"
#include "foundation/bitset.h"
#include "foundation/kvostring.h"
#include "platform/win/uxtheme.h"

#include <vector>

namespace KVO {

class CheckListCombo : public KVOControls::MenuCombo::MenuCombo {
public:
    using MenuCombo::MenuCombo;
    ~CheckListCombo() override;

    // Rows drawn with their text only, without a check box (-1: none).
    void SetSpecialRows(int first, int second);
    void SetRowCheck(int index, bool checked);
    bool GetRowCheck(int index) const;

    // Brings the display text up to date (composing it when it was marked out of date) and shows it in the edit
    // field.
    void UpdateText();
    void InvalidateText() { textValid_ = false; }
    const String& DisplayText()
    {
        UpdateText();
        return text_;
    }

    void SetupWindow() override;
    void CleanupWindow() override;
    // WM_GETTEXT answers the display text and the number of units it copied; WM_GETTEXTLENGTH its length.
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override;
    void DrawItem(DRAWITEMSTRUCT& drawInfo) override;
    void EvThemeChanged() override;

protected:
    virtual String ComposeText() = 0;

private:
    void OpenTheme();
    void CloseTheme();

    std::vector<bool> checks_;
    int specialRows_[2] = {-1, -1};
    String text_;
    bool textValid_ = false;
    HTHEME theme_ = nullptr;
};

class SelectionCombo : public CheckListCombo {
public:
    static constexpr UINT_PTR kTypingTimer = 1;
    static constexpr UINT kTypingPause = 2000; // ms

    using CheckListCombo::CheckListCombo;

    // Keeps a copy of the selection, shows it, and checks row i (from the first selectable row on) by bit
    // i - first selectable row.
    void SetSelection(const Bitset& selection);
    const Bitset& GetSelection() const { return selection_; }
    // Rows before this index take no bit.
    void SetFirstSelectableRow(int index) { firstSelectable_ = index; }
    int GetFirstSelectableRow() const { return firstSelectable_; }

    // Parses the edit text (at most 300 characters, item numbers capped by the selectable rows), takes the result
    // as the selection, and tells the parent with EN_CHANGE, whether or not the selection changed.
    void ApplyTypedText();
    bool IsTypingPending() const { return dirty_; }

    bool EvNotifyAtChild(owl::uint notifyCode) override;
    void EvTimer(owl::uint timerId) override;

protected:
    // The selected item numbers as ranges ("1,3,5-9") with the user's list separator; the word for all when
    // everything is selected.
    String ComposeText() override;

private:
    void StopTyping();

    Bitset selection_;
    int firstSelectable_ = 0;
    int timerId_ = -1;
    bool dirty_ = false;
};

} // namespace KVO
