#include "dialogs/bindingkinds.h"

#include "controls/ballooncheckbox.h"
#include "controls/errorprovider.h"
#include "document/settingsmessages.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/stringstream.h"
#include "platform/owl/control.h"
#include "platform/win/commctrl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace CX {

namespace {
constexpr std::size_t kMaxTextUnits = 98;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool CharactersIn(std::u16string_view text, std::u16string_view others)
{
    if (text.size() == 1) {
        return IsDigit(text[0]);
    }
    return std::all_of(text.begin(), text.end(),
                       [&](char16_t c) { return IsDigit(c) || others.find(c) != std::u16string_view::npos; });
}

// For a number text that does not fit a double: true when it is too large for one, false when too small.
bool BeyondTheLargest(std::string_view number)
{
    std::size_t at = !number.empty() && number[0] == '-' ? 1 : 0;
    long order = 0; // the power of ten of the first significant digit, before the exponent
    bool significant = false;
    bool point = false;
    for (; at < number.size() && number[at] != 'e' && number[at] != 'E'; ++at) {
        if (number[at] == '.') {
            point = true;
        } else if (!significant && number[at] == '0') {
            order -= point ? 1 : 0;
        } else if (!significant) {
            significant = true;
            order -= point ? 1 : 0;
        } else if (!point) {
            ++order;
        }
    }
    long exponent = 0;
    bool negative = false;
    if (at < number.size()) {
        ++at;
        if (at < number.size() && (number[at] == '-' || number[at] == '+')) {
            negative = number[at++] == '-';
        }
        for (; at < number.size(); ++at) {
            exponent = std::min(exponent * 10 + (number[at] - '0'), 100000L); // far beyond any double either way
        }
    }
    return significant && order + (negative ? -exponent : exponent) >= 0;
}

void Show(owl::TWindow* window, bool hidden)
{
    if (window && window->GetHandle()) {
        window->ShowWindow(hidden ? SW_HIDE : SW_SHOW);
    }
}

void EnableWindow(owl::TWindow* window, bool enable)
{
    if (window && window->GetHandle()) {
        window->EnableWindow(enable);
    }
}
} // namespace

// Labels and groups.

tStaticText::tStaticText(int controlId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : tCtrl(controlId, -1, -1, settings, parent), control_(std::make_unique<owl::TStatic>(parent, controlId))
{
}
tStaticText::~tStaticText() = default;
void tStaticText::Enable(bool enable) { EnableWindow(control_.get(), enable); }
void tStaticText::ApplyVisibility() { Show(control_.get(), hidden_); }

tGroup::tGroup(int controlId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : tCtrl(controlId, -1, -1, settings, parent), control_(std::make_unique<owl::TGroupBox>(parent, controlId))
{
}
tGroup::~tGroup() = default;
void tGroup::Enable(bool enable) { EnableWindow(control_.get(), enable); }
void tGroup::ApplyVisibility() { Show(control_.get(), hidden_); }

// Check boxes and radio buttons.

tCheckBox::tCheckBox(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : tCheckBox(controlId, settingId, settings, parent, std::make_unique<owl::TCheckBox>(parent, controlId), false)
{
}

tCheckBox::tCheckBox(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent,
                     std::unique_ptr<owl::TCheckBox> control, bool inverted)
    : tCtrl(controlId, -1, settingId, settings, parent), control_(std::move(control)), inverted_(inverted)
{
}

tCheckBox::~tCheckBox() = default;

bool tCheckBox::IsChecked() const { return control_->GetHandle() && control_->IsChecked(); }

void tCheckBox::ControlToSetting()
{
    if (auto* setting = SettingAs<Doc::CXSetting_Bool>()) {
        setting->SetValue(IsChecked() != inverted_);
    }
}

void tCheckBox::SettingToControl()
{
    const auto* setting = SettingAs<Doc::CXSetting_Bool>();
    const bool on = setting && setting->Value();
    if (control_->GetHandle()) {
        control_->SetCheck(on != inverted_ ? owl::BF_CHECKED : owl::BF_UNCHECKED);
    }
    tCtrl::SettingToControl();
}

void tCheckBox::Enable(bool enable) { EnableWindow(control_.get(), enable); }
void tCheckBox::ApplyVisibility() { Show(control_.get(), hidden_); }

namespace {
std::unique_ptr<owl::TCheckBox> RadioControl(owl::TWindow* parent, int controlId, UINT titleId, UINT contentId)
{
    if (titleId == 0 || contentId == 0) {
        return std::make_unique<owl::TRadioButton>(parent, controlId);
    }
    auto radio = std::make_unique<KVOControls::BalloonRadioButton>(parent, controlId);
    const KVO::String title = KVO::LoadResourceString(KVO::ModuleInstance(), titleId, true);
    const KVO::String content = KVO::LoadResourceString(KVO::ModuleInstance(), contentId, true);
    radio->SetBalloonText(title, content, std::max(50, 3 * title.Length() / 2));
    radio->SetDelay(500);
    return radio;
}
} // namespace

tButton::tButton(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
                 owl::TWindow* parent)
    : tButton(controlId, settingId, titleId, contentId, settings, parent, false)
{
}

tButton::tButton(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
                 owl::TWindow* parent, bool inverted)
    : tCheckBox(controlId, settingId, settings, parent, RadioControl(parent, controlId, titleId, contentId), inverted)
{
}

tButInv::tButInv(int controlId, int settingId, UINT titleId, UINT contentId, Doc::SettingsSet* settings,
                 owl::TWindow* parent)
    : tButton(controlId, settingId, titleId, contentId, settings, parent, true)
{
}

tEnumBtn::tEnumBtn(int controlId, int settingId, int value, Doc::SettingsSet* settings, owl::TWindow* parent)
    : tButton(controlId, settingId, 0, 0, settings, parent), value_(value)
{
}

void tEnumBtn::ControlToSetting()
{
    auto* setting = SettingAs<Doc::CXSettingInt>();
    if (setting && IsChecked()) {
        setting->SetValue(value_);
    }
}

void tEnumBtn::SettingToControl()
{
    const auto* setting = SettingAs<Doc::CXSettingInt>();
    if (control_->GetHandle()) {
        control_->SetCheck(setting && setting->Value() == value_ ? owl::BF_CHECKED : owl::BF_UNCHECKED);
    }
    tCtrl::SettingToControl();
}

// The duration drop list.

tAPDDropList::tAPDDropList(int controlId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : tValueCtrl(controlId, -1, settingId, settings, parent), control_(std::make_unique<owl::TComboBox>(parent, controlId))
{
}

tAPDDropList::~tAPDDropList() = default;

void tAPDDropList::ControlToSetting()
{
    auto* setting = SettingAs<Doc::CXSetting_Int10>();
    const int index = control_->GetHandle() ? control_->GetSelIndex() : -1;
    if (setting && index >= 0) { // no choice keeps the stored value
        setting->SetValue((index + 1) * 10);
    }
}

void tAPDDropList::SettingToControl()
{
    const auto* setting = SettingAs<Doc::CXSetting_Int10>();
    if (setting && control_->GetHandle()) {
        control_->ClearList();
        for (int percent = 10; percent <= 90; percent += 10) {
            const std::string text = "APD" + std::to_string(percent);
            control_->AddString(std::u16string(text.begin(), text.end()).c_str());
        }
        control_->SetSelIndex(setting->Value() / 10 - 1);
    }
    tCtrl::SettingToControl();
}

void tAPDDropList::Enable(bool enable) { EnableWindow(control_.get(), enable); }
void tAPDDropList::ApplyVisibility() { Show(control_.get(), hidden_); }

// Edits.

tEdit::tEdit(int controlId, int markId, int settingId, int textLimit, Doc::SettingsSet* settings,
             owl::TWindow* parent)
    : tValueCtrl(controlId, markId, settingId, settings, parent),
      control_(std::make_unique<owl::TEdit>(parent, controlId, static_cast<owl::uint>(textLimit + 1)))
{
}

tEdit::~tEdit() = default;

std::u16string tEdit::Text() const
{
    if (!control_->GetHandle()) {
        return {};
    }
    std::u16string text = control_->GetText();
    if (text.size() > kMaxTextUnits) {
        text.resize(kMaxTextUnits);
    }
    return text;
}

bool tEdit::NumberCharacters(std::u16string_view text) { return CharactersIn(text, u"-,.e+"); }
bool tEdit::IntegerCharacters(std::u16string_view text) { return CharactersIn(text, u"-e+"); }

Doc::CXSetting* tEdit::BoundSetting() const
{
    Doc::CXSetting* setting = Setting();
    const bool number = setting && (setting->Kind() == Doc::kSettingInt || setting->Kind() == Doc::kSettingInt10 ||
                                    setting->Kind() == Doc::kSettingLong || setting->Kind() == Doc::kSettingDouble);
    return number ? setting : nullptr;
}

void tEdit::ControlToSetting()
{
    if (Doc::CXSetting* setting = BoundSetting()) {
        setting->FromText(KVO::String(Text()), false);
    }
}

void tEdit::SettingToControl()
{
    if (const Doc::CXSetting* setting = BoundSetting(); setting && control_->GetHandle()) {
        control_->SetText(setting->ToText(false));
    }
    tCtrl::SettingToControl();
}

void tEdit::Enable(bool enable) { EnableWindow(control_.get(), enable); }
void tEdit::ApplyVisibility() { Show(control_.get(), hidden_); }
void tEdit::OnControlChanged() { ShowError(!Validate()); }

bool tEdit::Validate()
{
    ControlToSetting();
    const Doc::CXSetting* setting = BoundSetting();
    if (!setting) {
        return true;
    }
    return setting->IsValid() && CharactersAllowed(Text());
}

tEditLabelError::tEditLabelError(int controlId, int labelId, int settingId, int textLimit,
                                 Doc::SettingsSet* settings, owl::TWindow* parent)
    : tEdit(controlId, -1, settingId, textLimit, settings, parent)
{
    labelMark_ = std::make_unique<KVOControls::StaticTextErrorProvider>(parent, labelId);
}

void tEditLabelError::Enable(bool enable)
{
    tEdit::Enable(enable);
    EnableWindow(labelMark_.get(), enable);
}

void tEditLabelError::ApplyVisibility()
{
    tEdit::ApplyVisibility();
    Show(labelMark_.get(), hidden_);
}

void tEditLabelError::ShowError(bool show)
{
    if (!labelMark_->GetHandle()) {
        return;
    }
    if (show) {
        Doc::SettingsMessage text;
        Doc::SettingsMessages::Lookup(settingId_, text);
        labelMark_->SetError(true, KVO::String(text.Caption), KVO::String(text.Text));
    } else {
        labelMark_->SetError(false, KVO::String(), KVO::String());
    }
}

// Unit edits.

tUnitsEdit::tUnitsEdit(int controlId, int labelId, int settingId, const KVO::PrefixedUnit& unit, int textLimit,
                       Doc::SettingsSet* settings, owl::TWindow* parent)
    : tEditLabelError(controlId, labelId, settingId, textLimit, settings, parent), unit_(unit)
{
}

double tUnitsEdit::Multiplier() const { return unit_.Prefix() ? KVO::SIPrefixMultiplier(unit_.Prefix()) : 1.0; }

double tUnitsEdit::LeadingNumber(std::u16string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
        ++at;
    }
    std::string ascii;
    for (; at < text.size() && text[at] < 0x80; ++at) {
        ascii += static_cast<char>(text[at]);
    }
    const char* first = ascii.data();
    if (!ascii.empty() && ascii[0] == '+') {
        ++first;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (error == std::errc::result_out_of_range) {
        // As the run-time library reads it: too large is an infinity, which every range refuses; too small is 0.
        if (!BeyondTheLargest(std::string_view(first, static_cast<std::size_t>(end - first)))) {
            return 0.0;
        }
        return *first == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    const char* digits = *first == '-' ? first + 1 : first;
    if (error != std::errc() || (!std::isfinite(value) && std::isalpha(static_cast<unsigned char>(*digits)))) {
        return 0.0; // no leading number; "inf" and "nan" are words, not numbers, here, with a sign or without
    }
    return value;
}

void tUnitsEdit::ControlToSetting()
{
    auto* setting = SettingAs<Doc::CXSettingDouble>();
    if (!setting) {
        return;
    }
    // The text shows the loaded value rounded to six digits: while it reads as loaded, the value is the loaded one.
    const std::u16string text = Text();
    setting->SetValue(loaded_.Value(text, [&] { return LeadingNumber(text) * Multiplier(); }));
}

void tUnitsEdit::SettingToControl()
{
    if (const auto* setting = SettingAs<Doc::CXSettingDouble>()) {
        SetDisplayValue(setting->Value() / Multiplier());
        loaded_.Load(Text(), setting->Value());
    }
    tCtrl::SettingToControl();
}

void tUnitsEdit::SetDisplayValue(double value)
{
    loaded_.Forget(); // a value shown for another reason (a spinner step) is read back
    KVO::OStringStream text;
    text.precision(6);
    text << value;
    if (control_->GetHandle()) {
        control_->SetText(text.str());
    }
    if (labelMark_->GetHandle()) {
        labelMark_->SetText(unit_.Text().c_str());
    }
}

tUnitsEditUpDown::tUnitsEditUpDown(int controlId, int labelId, int spinnerId, int settingId,
                                   const KVO::PrefixedUnit& unit, int textLimit, Doc::SettingsSet* settings,
                                   owl::TWindow* parent)
    : tUnitsEdit(controlId, labelId, settingId, unit, textLimit, settings, parent),
      spinner_(std::make_unique<owl::TControl>(parent, spinnerId))
{
}

tUnitsEditUpDown::~tUnitsEditUpDown() = default;

void tUnitsEditUpDown::Enable(bool enable)
{
    tUnitsEdit::Enable(enable);
    EnableWindow(spinner_.get(), enable);
}

void tUnitsEditUpDown::ApplyVisibility()
{
    tUnitsEdit::ApplyVisibility();
    Show(spinner_.get(), hidden_);
}

int tUnitsEditUpDown::OnNotify(WPARAM, NMHDR* record)
{
    if (!record || record->code != UDN_DELTAPOS) {
        return 0;
    }
    const int delta = reinterpret_cast<NMUPDOWN*>(record)->iDelta;
    double x = LeadingNumber(Text());
    if (x == 0.0) {
        x = delta < 0 ? lastStep_ : -lastStep_;
    } else {
        x = delta < 0 ? x * 1.1 : x / 1.1;
        lastStep_ = std::fabs(x);
    }
    if (const auto* setting = SettingAs<Doc::CXSettingDouble>()) {
        const double low = setting->Minimum() / Multiplier();
        const double high = setting->Maximum() / Multiplier();
        x = x < low ? low : x > high ? high : x;
    }
    SetDisplayValue(x);
    return 0;
}

// The ordered pair.

const char16_t* tOrderedPair::OrderMessage(OrderKind kind)
{
    switch (kind) {
    case Less:
        return u"The first value must be less than the second value.";
    case Greater:
        return u"The first value must be greater than the second value.";
    case LessOrEqual:
        return u"The first value must be less than or equal to the second value.";
    case GreaterOrEqual:
        return u"The first value must be greater than or equal to the second value.";
    }
    return u"";
}

bool tOrderedPair::CheckOrder()
{
    auto* first = Count() == 2 ? dynamic_cast<tValueCtrl*>(At(0)) : nullptr;
    auto* second = Count() == 2 ? dynamic_cast<tValueCtrl*>(At(1)) : nullptr;
    if (!first || !second) {
        return true;
    }
    const double a = first->GetValue();
    const double b = second->GetValue();
    switch (kind_) {
    case Less:
        return a < b;
    case Greater:
        return a > b;
    case LessOrEqual:
        return a <= b;
    case GreaterOrEqual:
        return a >= b;
    }
    return true;
}

bool tOrderedPair::ValidateAll()
{
    const bool members = tCtrlList::ValidateAll();
    const bool order = CheckOrder();
    return members && order;
}

void tOrderedPair::UpdateFirstMark()
{
    if (Count() != 2) {
        return;
    }
    tCtrl* first = At(0);
    tCtrl* second = At(1);
    if (!first->Validate()) {
        first->ShowError(true);
    } else if (second->Validate() && !CheckOrder()) {
        first->ShowMark(true, KVO::String(u"Order Incorrect"), KVO::String(OrderMessage(kind_)));
    } else {
        first->ShowError(false);
    }
}

int tOrderedPair::OnControlChanged(int controlId)
{
    const int result = tCtrlList::OnControlChanged(controlId);
    UpdateFirstMark();
    return result;
}

void tOrderedPair::RefreshMarks()
{
    tCtrlList::RefreshMarks();
    UpdateFirstMark();
}

// The checked group.

tCheckedGroup::tCheckedGroup(int checkBoxId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : checkBoxId_(checkBoxId)
{
    AddCtrl(new tCheckBox(checkBoxId, settingId, settings, parent));
}

void tCheckedGroup::LoadAll()
{
    tCtrlList::LoadAll();
    OnControlChanged(checkBoxId_);
}

int tCheckedGroup::OnControlChanged(int controlId)
{
    const int result = tCtrlList::OnControlChanged(controlId);
    if (controlId == checkBoxId_) {
        if (const auto* box = dynamic_cast<tCheckBox*>(FindCtrl(checkBoxId_))) {
            const bool checked = box->IsChecked();
            for (std::size_t i = 0; i < Count(); ++i) {
                if (At(i)->ControlId() != checkBoxId_) {
                    At(i)->Enable(checked);
                    At(i)->OnControlChanged();
                }
            }
        }
    }
    return result;
}

} // namespace CX
