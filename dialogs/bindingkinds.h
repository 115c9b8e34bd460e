// The kinds of control binding the settings pages use: labels and group boxes that only follow enabling, check
// boxes and radio buttons, numeric edits (plain, whole numbers, marked behind their label, scaled by a unit's SI
// prefix, with a spinner), the drop list of action-potential duration percentages, and two sub-lists: an ordered
// pair of values and a group of bindings enabled by a check box.
#pragma once

#include "dialogs/controlbindings.h"
#include "dialogs/loadednumber.h"
#include "foundation/prefixedunit.h"

#include <string>

namespace owl {
class TStatic;
class TGroupBox;
class TCheckBox;
class TEdit;
class TComboBox;
class TControl;
}

namespace CX {

// Follows enabling and visibility only.
class tStaticText : public tCtrl {
public:
    tStaticText(int controlId, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tStaticText() override;
    void ControlToSetting() override {}
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    bool Validate() override { return true; }
    owl::TStatic* Control() const { return control_.get(); }

private:
    std::unique_ptr<owl::TStatic> control_;
};

class tGroup : public tCtrl {
public:
    tGroup(int controlId, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tGroup() override;
    void ControlToSetting() override {}
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    bool Validate() override { return true; }
    owl::TGroupBox* Control() const { return control_.get(); }

private:
    std::unique_ptr<owl::TGroupBox> control_;
};

// A check box or radio button on an on/off setting; `inverted` checks the control while the setting is off.
class tCheckBox : public tCtrl {
public:
    tCheckBox(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tCheckBox() override;
    void ControlToSetting() override;
    void SettingToControl() override;
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    bool IsChecked() const;
    Doc::CXSetting* BoundSetting() const override { return SettingAs<Doc::CXSetting_Bool>(); }
    owl::TCheckBox* Control() const { return control_.get(); }

protected:
    tCheckBox(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent,
              std::unique_ptr<owl::TCheckBox> control, bool inverted);
    std::unique_ptr<owl::TCheckBox> control_;
    bool inverted_ = false;
};

// A radio button on an on/off setting; with both string ids it explains itself in a balloon.
class tButton : public tCheckBox {
public:
    tButton(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
            owl::TWindow* parent);

protected:
    tButton(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
            owl::TWindow* parent, bool inverted);
};

// Checked while the setting is off.
class tButInv : public tButton {
public:
    tButInv(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
            owl::TWindow* parent);
};

// One radio button of an enumeration: it stands for one value of an int setting.
class tEnumBtn : public tButton {
public:
    tEnumBtn(int controlId, int settingId, int value, Doc::SettingsSet* settings, owl::TWindow* parent);
    void ControlToSetting() override;
    void SettingToControl() override;
    int Value() const { return value_; }
    Doc::CXSetting* BoundSetting() const override { return SettingAs<Doc::CXSettingInt>(); }

private:
    int value_;
};

// "APD10" to "APD90" on a step-of-ten setting.
class tAPDDropList : public tValueCtrl {
public:
    tAPDDropList(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tAPDDropList() override;
    void ControlToSetting() override;
    void SettingToControl() override;
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    owl::TComboBox* Control() const { return control_.get(); }
    Doc::CXSetting* BoundSetting() const override { return SettingAs<Doc::CXSetting_Int10>(); }

private:
    std::unique_ptr<owl::TComboBox> control_;
};

// A numeric edit. Its value is read and shown as the setting's own text in the user's number form; besides the
// setting's range it accepts only number characters.
class tEdit : public tValueCtrl {
public:
    tEdit(int controlId, int markId, int settingId, int textLimit, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tEdit() override;
    void ControlToSetting() override;
    void SettingToControl() override;
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    void OnControlChanged() override;
    bool Validate() override;
    // Any number setting.
    Doc::CXSetting* BoundSetting() const override;
    owl::TEdit* Control() const { return control_.get(); }
    // The edit's text, at most 98 characters.
    std::u16string Text() const;

    // The character rules: a single character must be a digit; otherwise digits and the given others only. An
    // empty text passes.
    static bool NumberCharacters(std::u16string_view text);
    static bool IntegerCharacters(std::u16string_view text);

protected:
    virtual bool CharactersAllowed(std::u16string_view text) const { return NumberCharacters(text); }
    std::unique_ptr<owl::TEdit> control_;
};

class tIntEdit : public tEdit {
public:
    using tEdit::tEdit;
    Doc::CXSetting* BoundSetting() const override { return SettingAs<Doc::CXSettingInt>(); }

protected:
    bool CharactersAllowed(std::u16string_view text) const override { return IntegerCharacters(text); }
};

// An edit whose error mark sits right behind its label's text.
class tEditLabelError : public tEdit {
public:
    tEditLabelError(int controlId, int labelId, int settingId, int textLimit, Doc::SettingsSet* settings,
                    owl::TWindow* parent);
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    void ShowError(bool show) override;
};

// A double setting kept in base units and edited in the unit's prefixed form; the label shows the unit. The shown
// value has at most six significant digits, so the edit's text is read only when it differs from the text that
// the stored value was loaded as.
class tUnitsEdit : public tEditLabelError {
public:
    tUnitsEdit(int controlId, int labelId, int settingId, const KVO::PrefixedUnit& unit, int textLimit,
               Doc::SettingsSet* settings, owl::TWindow* parent);
    void ControlToSetting() override;
    void SettingToControl() override;
    // Shows the value (at most six significant digits) and the unit's text on the label.
    void SetDisplayValue(double value);
    const KVO::PrefixedUnit& Unit() const { return unit_; }
    Doc::CXSetting* BoundSetting() const override { return SettingAs<Doc::CXSettingDouble>(); }

    // The leading decimal number of a text, 0 when there is none. A number too large for a double reads as an
    // infinity of its sign, one too small as 0.
    static double LeadingNumber(std::u16string_view text);

protected:
    double Multiplier() const;

private:
    KVO::PrefixedUnit unit_;
    // The stored value as its text showed it when loaded: the text stands for it until a spinner step shows another.
    LoadedNumber loaded_;
};

// A unit edit with a spinner that multiplies (up) or divides (down) the shown value by 1.1 within the setting's
// range; from 0 it steps by the last step's size.
class tUnitsEditUpDown : public tUnitsEdit {
public:
    tUnitsEditUpDown(int controlId, int labelId, int spinnerId, int settingId, const KVO::PrefixedUnit& unit,
                     int textLimit, Doc::SettingsSet* settings, owl::TWindow* parent);
    ~tUnitsEditUpDown() override;
    void Enable(bool enable) override;
    void ApplyVisibility() override;
    int OnNotify(WPARAM wParam, NMHDR* record) override;
    double LastStep() const { return lastStep_; }

private:
    std::unique_ptr<owl::TControl> spinner_;
    double lastStep_ = 0.001;
};

// Two value bindings whose values must keep an order; the first member's mark reports a wrong order.
class tOrderedPair : public tCtrlList {
public:
    enum OrderKind { Less = 0, Greater = 1, LessOrEqual = 2, GreaterOrEqual = 3 };
    explicit tOrderedPair(OrderKind kind) : kind_(kind) {}

    bool CheckOrder();
    bool ValidateAll() override;
    int OnControlChanged(int controlId) override;
    void RefreshMarks() override;
    OrderKind Kind() const { return kind_; }
    static const char16_t* OrderMessage(OrderKind kind);

private:
    // The first member's mark: its own error while it is invalid; the order error while both are valid and out
    // of order; nothing otherwise.
    void UpdateFirstMark();
    OrderKind kind_;
};

// A check box binding followed by members that are enabled only while it is checked.
class tCheckedGroup : public tCtrlList {
public:
    tCheckedGroup(int checkBoxId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent);
    void LoadAll() override;
    int OnControlChanged(int controlId) override;

private:
    int checkBoxId_;
};

} // namespace CX
