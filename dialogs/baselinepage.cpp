#include "dialogs/baselinepage.h"

#include "dialogs/settingsdlg.h"
#include "document/settingids.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "resources/settingsdialogs.h"
#include "resources/stringtable.h"

namespace CX::Dlg {

namespace SettingId = Doc::SettingId;

namespace {
constexpr int kGroupId = 1092;
constexpr int kAutomaticId = 1081;
constexpr int kFixedId = 1082;
constexpr int kMinimumId = 1083;
constexpr int kValueEditId = 1084;
constexpr int kUnitLabelId = 1085;
constexpr int kStartLabelId = 1086;
constexpr int kStartEditId = 1047;
constexpr int kStartUnitLabelId = 1087;
constexpr int kStartMarkId = 1075;
constexpr int kEndLabelId = 1088;
constexpr int kEndEditId = 1090;
constexpr int kEndUnitLabelId = 1089;
constexpr int kEndMarkId = 1091;
constexpr int kPopulationSpike = 4;

bool IsRmpType(int type) { return type == 1 || type == 5; }

Base::CXSubDlg* MakeBaselinePage(SettingsDlg& owner, IUnknown* hostDocument)
{
    return new Sub_Baseline(&owner, hostDocument);
}

struct Registration {
    Registration() { RegisterPage(-1, 1, MakeBaselinePage); }
};
const Registration g_registration;
} // namespace

Sub_Baseline::Sub_Baseline(SettingsDlg* owner, IUnknown* hostDocument)
    : Base::CXSubDlg(DialogId::BaselinePage, owner, hostDocument),
      analysisType_(owner->Settings().GetInt(SettingId::kAnalysisType))
{
    Doc::SettingsSet* settings = &owner->Settings();
    const KVO::PrefixedUnit unit(owner->SourceUnit().unit, owner->SourceUnit().prefix);
    bindings_.AddCtrl(new tGroup(kGroupId, settings, this));
    bindings_.AddCtrl(new tEnumBtn(kAutomaticId, SettingId::kBaselineMode, 0, settings, this));
    bindings_.AddCtrl(new tEnumBtn(kFixedId, SettingId::kBaselineMode, 1, settings, this));
    bindings_.AddCtrl(new tEnumBtn(kMinimumId, SettingId::kBaselineMode, 2, settings, this));
    bindings_.AddCtrl(new tUnitsEdit(kValueEditId, kUnitLabelId, SettingId::kBaselineValue, unit, 8, settings, this));
    bindings_.AddCtrl(new tStaticText(kStartLabelId, settings, this));
    bindings_.AddCtrl(new tIntEdit(kStartEditId, kStartMarkId,
                                   analysisType_ == 5 ? SettingId::kStartHeightPercentAP
                                                      : SettingId::kStartHeightPercent,
                                   3, settings, this));
    bindings_.AddCtrl(new tStaticText(kStartUnitLabelId, settings, this));
    bindings_.AddCtrl(new tStaticText(kEndLabelId, settings, this));
    bindings_.AddCtrl(new tIntEdit(kEndEditId, kEndMarkId, SettingId::kEndHeightPercent, 3, settings, this));
    bindings_.AddCtrl(new tStaticText(kEndUnitLabelId, settings, this));
}

void Sub_Baseline::SetupWindow()
{
    Base::CXSubDlg::SetupWindow();
    owner_->SetUpdating(true);
    bindings_.LoadAll();
    bindings_.EnableAll(analysisType_ != kPopulationSpike);
    if (IsRmpType(analysisType_)) {
        ApplyRmpLabels();
    }
    if (analysisType_ != kPopulationSpike) {
        UpdateValueEditState();
    }
    owner_->SetUpdating(false);
}

void Sub_Baseline::TransferFromSettings()
{
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    bindings_.LoadAll();
    if (analysisType_ != kPopulationSpike) {
        UpdateValueEditState();
    }
    owner_->SetUpdating(wasUpdating);
}

void Sub_Baseline::ApplyRmpLabels()
{
    const KVO::String group = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::RmpSetting, true);
    const KVO::String label = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::RmpHeightPercentLabel, true);
    ::SetDlgItemTextW(GetHandle(), kGroupId, group);
    ::SetDlgItemTextW(GetHandle(), kStartUnitLabelId, label);
    ::SetDlgItemTextW(GetHandle(), kEndUnitLabelId, label);
}

void Sub_Baseline::UpdateValueEditState()
{
    if (tCtrl* value = bindings_.FindCtrl(kValueEditId)) {
        value->Enable(owner_->Settings().GetInt(SettingId::kBaselineMode) == 1);
        value->SettingToControl();
    }
}

owl::TResult Sub_Baseline::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (hWndCtl && !owner_->IsUpdating()) {
        const int control = static_cast<int>(id);
        if (notifyCode == EN_CHANGE &&
            (control == kValueEditId || control == kStartEditId || control == kEndEditId)) {
            bindings_.OnControlChanged(control);
            return 0;
        }
        if (notifyCode == BN_CLICKED && (control == kAutomaticId || control == kFixedId || control == kMinimumId)) {
            if (tCtrl* button = bindings_.FindCtrl(control)) {
                button->ControlToSetting();
            }
            UpdateValueEditState();
            return 0;
        }
    }
    return Base::CXSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

} // namespace CX::Dlg
