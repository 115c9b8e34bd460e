#include "dialogs/calculationpages.h"

#include "dialogs/settingsdlg.h"
#include "document/settingids.h"
#include "resources/settingsdialogs.h"

namespace CX::Dlg {

namespace SettingId = Doc::SettingId;

namespace {
using B = CalcBinding;

constexpr int kFixedBEditId = 1011;
constexpr int kFittedBId = 1041;
constexpr int kBaselineBId = 1042;
constexpr int kFixedBId = 1048;
constexpr int kCalculationsTab = 2;

constexpr CalcBinding kGeneral[] = {
    {B::PairLessOrEqual},
    {B::Edit, 1043, 1072, SettingId::kSlopeStart, 5},
    {B::Edit, 1044, 1073, SettingId::kSlopeEnd, 5},
    {B::PairLess},
    {B::Edit, 1037, 1068, SettingId::kAreaStart, 5},
    {B::Edit, 1038, 1069, SettingId::kAreaEnd, 5},
    {B::PairLess},
    {B::IntEdit, 1095, 1097, SettingId::kRiseStartPercent, 8},
    {B::IntEdit, 1096, 1098, SettingId::kRiseEndPercent, 8},
    {B::PairGreater},
    {B::IntEdit, 1045, 1074, SettingId::kTauStartPercent, 8},
    {B::IntEdit, 1046, 1075, SettingId::kTauEndPercent, 8},
    {B::EnumButton, kFittedBId, 0, SettingId::kTauMode, 0},
    {B::EnumButton, kBaselineBId, 0, SettingId::kTauMode, 1},
    {B::EnumButton, kFixedBId, 0, SettingId::kTauMode, 2},
    {B::UnitsEdit, kFixedBEditId, 1080, SettingId::kTauFixedValue, 8},
};

constexpr CalcBinding kCardiac[] = {
    {B::PairLess},
    {B::IntEdit, 1095, 1097, SettingId::kRiseStartPercent, 8},
    {B::IntEdit, 1096, 1098, SettingId::kRiseEndPercent, 8},
    {B::IntEdit, 1048, 1070, SettingId::kMidPlateauPercent, 8},
    {B::Edit, 1012, 1071, SettingId::kPlateauLevelWidth, 5},
    {B::IntEdit, 1015, 1072, SettingId::kPlateauCentrePercent, 8},
    {B::Edit, 1013, 1073, SettingId::kPlateauWidth, 5},
    {B::ApdList, 1005, 0, SettingId::kTriangulationEnd},
    {B::ApdList, 1049, 0, SettingId::kTriangulationStart},
    {B::IntEdit, 1050, 1074, SettingId::kMaxNegSlopeStart, 5},
    {B::Edit, 1051, 1076, SettingId::kMaxNegSlopeSmoothing, 5},
};

constexpr CalcBinding kSynaptic[] = {
    {B::PairLess},
    {B::Edit, 1037, 1068, SettingId::kAreaStart, 5},
    {B::Edit, 1038, 1069, SettingId::kAreaEnd, 5},
    {B::PairGreater},
    {B::IntEdit, 1039, 1071, SettingId::kTauStartPercent, 8},
    {B::IntEdit, 1040, 1074, SettingId::kTauEndPercent, 8},
    {B::PairLessOrEqual},
    {B::Edit, 1043, 1070, SettingId::kSlopeStart, 5},
    {B::Edit, 1044, 1073, SettingId::kSlopeEnd, 5},
    {B::EnumButton, kFittedBId, 0, SettingId::kTauMode, 0},
    {B::EnumButton, kBaselineBId, 0, SettingId::kTauMode, 1},
};

constexpr CalcBinding kEvoked[] = {
    {B::PairLess},
    {B::IntEdit, 1095, 1097, SettingId::kRiseStartPercent, 8},
    {B::IntEdit, 1096, 1098, SettingId::kRiseEndPercent, 8},
    {B::PairLess},
    {B::Edit, 1037, 1068, SettingId::kAreaStart, 8},
    {B::Edit, 1038, 1069, SettingId::kAreaEnd, 8},
    {B::PairLessOrEqual},
    {B::Edit, 1043, 1070, SettingId::kSlopeStart, 8},
    {B::Edit, 1044, 1073, SettingId::kSlopeEnd, 8},
    {B::PairGreater},
    {B::IntEdit, 1039, 1071, SettingId::kTauStartPercent, 8},
    {B::IntEdit, 1040, 1074, SettingId::kTauEndPercent, 8},
    {B::EnumButton, kFittedBId, 0, SettingId::kTauMode, 0},
    {B::EnumButton, kBaselineBId, 0, SettingId::kTauMode, 1},
    {B::Edit, 1045, 1072, SettingId::kValueAt, 8},
};

constexpr CalcBinding kPopulationSpike[] = {
    {B::Edit, 1045, 1072, SettingId::kValueAt, 8},
    {B::PairLessOrEqual},
    {B::Edit, 1043, 1073, SettingId::kSlopeStart, 8},
    {B::Edit, 1044, 1074, SettingId::kSlopeEnd, 8},
};

constexpr CalcBinding kActionPotential[] = {
    {B::IntEdit, 1050, 1074, SettingId::kMaxNegSlopeStart, 5},
    {B::Edit, 1051, 1076, SettingId::kMaxNegSlopeSmoothing, 5},
    {B::PairLess},
    {B::IntEdit, 1095, 1097, SettingId::kRiseStartPercent, 8},
    {B::IntEdit, 1096, 1098, SettingId::kRiseEndPercent, 8},
};

tCtrl* MakeBinding(const CalcBinding& b, SettingsDlg& owner, owl::TWindow* page)
{
    Doc::SettingsSet* settings = &owner.Settings();
    switch (b.kind) {
    case B::Edit:
        return new tEdit(b.control, b.markOrLabel, b.setting, b.limitOrValue, settings, page);
    case B::IntEdit:
        return new tIntEdit(b.control, b.markOrLabel, b.setting, b.limitOrValue, settings, page);
    case B::EnumButton:
        return new tEnumBtn(b.control, b.setting, b.limitOrValue, settings, page);
    case B::UnitsEdit:
        return new tUnitsEdit(b.control, b.markOrLabel, b.setting,
                              KVO::PrefixedUnit(owner.SourceUnit().unit, owner.SourceUnit().prefix),
                              b.limitOrValue, settings, page);
    case B::ApdList:
        return new tAPDDropList(b.control, b.setting, settings, page);
    default:
        return nullptr;
    }
}

tOrderedPair::OrderKind PairKind(CalcBinding::Kind kind)
{
    switch (kind) {
    case B::PairGreater:
        return tOrderedPair::Greater;
    case B::PairLessOrEqual:
        return tOrderedPair::LessOrEqual;
    default:
        return tOrderedPair::Less;
    }
}

bool IsPair(CalcBinding::Kind kind)
{
    return kind == B::PairLess || kind == B::PairGreater || kind == B::PairLessOrEqual;
}

template <class Page>
void Register(int type)
{
    RegisterPage(type, kCalculationsTab, [](SettingsDlg& owner, IUnknown* host) -> Base::CXSubDlg* {
        return new Page(&owner, host);
    });
}

struct Registration {
    Registration()
    {
        Register<Sub_CalcGen>(0);
        Register<Sub_CalcCAP>(1);
        Register<Sub_CalcSynap>(2);
        Register<Sub_CalcER>(3);
        Register<Sub_CalcPS>(4);
        Register<Sub_CalcNAP>(5);
    }
};
const Registration g_registration;
} // namespace

CalcBaseSubDlg::CalcBaseSubDlg(int dialogId, SettingsDlg* owner, IUnknown* hostDocument,
                               std::span<const CalcBinding> bindings)
    : Base::CXSubDlg(dialogId, owner, hostDocument)
{
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (IsPair(bindings[i].kind) && i + 2 < bindings.size()) {
            tCtrlList* pair = bindings_.AddList(new tOrderedPair(PairKind(bindings[i].kind)));
            pair->AddCtrl(MakeBinding(bindings[i + 1], *owner, this));
            pair->AddCtrl(MakeBinding(bindings[i + 2], *owner, this));
            i += 2;
        } else if (tCtrl* binding = MakeBinding(bindings[i], *owner, this)) {
            bindings_.AddCtrl(binding);
        }
    }
}

void CalcBaseSubDlg::SetupWindow()
{
    Base::CXSubDlg::SetupWindow();
    owner_->SetUpdating(true);
    bindings_.LoadAll();
    AfterLoad();
    owner_->SetUpdating(false);
}

void CalcBaseSubDlg::TransferFromSettings()
{
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    bindings_.LoadAll();
    AfterLoad();
    owner_->SetUpdating(wasUpdating);
}

owl::TResult CalcBaseSubDlg::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    // Every bound edit re-checks its own mark as the user types; a pair member also has its order judged.
    if (hWndCtl && notifyCode == EN_CHANGE && !owner_->IsUpdating() &&
        dynamic_cast<tEdit*>(bindings_.FindCtrl(static_cast<int>(id)))) {
        bindings_.OnControlChanged(static_cast<int>(id));
        return 0;
    }
    return Base::CXSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

Sub_CalcGen::Sub_CalcGen(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcGenPage, owner, hostDocument, kGeneral)
{
}

owl::TResult Sub_CalcGen::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    const int control = static_cast<int>(id);
    if (hWndCtl && notifyCode == BN_CLICKED && !owner_->IsUpdating() &&
        (control == kFittedBId || control == kBaselineBId || control == kFixedBId)) {
        if (tCtrl* button = bindings_.FindCtrl(control)) {
            button->ControlToSetting();
        }
        UpdateFixedBState();
        return 0;
    }
    return CalcBaseSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

void Sub_CalcGen::UpdateFixedBState()
{
    if (tCtrl* value = bindings_.FindCtrl(kFixedBEditId)) {
        value->Enable(owner_->Settings().GetInt(SettingId::kTauMode) == 2);
        value->SettingToControl();
    }
}

Sub_CalcCAP::Sub_CalcCAP(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcCAPPage, owner, hostDocument, kCardiac)
{
}

Sub_CalcSynap::Sub_CalcSynap(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcSynapPage, owner, hostDocument, kSynaptic)
{
}

Sub_CalcER::Sub_CalcER(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcERPage, owner, hostDocument, kEvoked)
{
}

Sub_CalcPS::Sub_CalcPS(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcPSPage, owner, hostDocument, kPopulationSpike)
{
}

Sub_CalcNAP::Sub_CalcNAP(SettingsDlg* owner, IUnknown* hostDocument)
    : CalcBaseSubDlg(DialogId::CalcNAPPage, owner, hostDocument, kActionPotential)
{
}

} // namespace CX::Dlg
