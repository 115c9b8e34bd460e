#include "dialogs/detectorpages.h"

#include "controls/errorprovider.h"
#include "dialogs/settingsdlg.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "resources/settingsdialogs.h"
#include "resources/stringtable.h"
#include "platform/win/commctrl.h"

#include <cfloat>

namespace CX::Dlg {

namespace SettingId = Doc::SettingId;

namespace {
constexpr int kDetectorTab = 0;
constexpr int kHeightEditId = 1007;
constexpr int kWidthEditId = 1008;
constexpr int kHeightSpinnerId = 1071;
constexpr int kWidthSpinnerId = 1072;
constexpr int kHalfHeightId = 1016;
constexpr int kMinimumHeightId = 1017;
constexpr int kDetectionBoxId = 1020;
constexpr int kMethodComboId = 1027;
constexpr int kMethodFrameId = 1028;
constexpr int kDetectResponsesId = 1059;
constexpr int kArtifactBoxId = 1065;
constexpr int kStartEditId = 1013;
constexpr int kEndEditId = 1018;
constexpr int kDetectionBitmap = 2202;
constexpr int kArtifactBitmap = 130;

KVO::PrefixedUnit SourceUnit(const SettingsDlg& owner)
{
    return KVO::PrefixedUnit(owner.SourceUnit().unit, owner.SourceUnit().prefix);
}

template <class Page>
void Register(int type)
{
    RegisterPage(type, kDetectorTab, [](SettingsDlg& owner, IUnknown* host) -> Base::CXSubDlg* {
        return new Page(&owner, host);
    });
}

struct Registration {
    Registration()
    {
        Register<Sub_DetectorCAP>(1);
        Register<Sub_DetectorER>(3);
        Register<Sub_DetectorPS>(4);
        Register<Sub_DetectorCAP>(5);
    }
};
const Registration g_registration;
} // namespace

// ---- base ----

Sub_DetectorBase::Sub_DetectorBase(int dialogId, SettingsDlg* owner, IUnknown* hostDocument)
    : Base::CXSubDlgDA(dialogId, owner, hostDocument, kTimerId)
{
    if (hostDocument) {
        preview_ = std::make_unique<CXPreview_Stimulated>(hostDocument, HostDataSource(hostDocument).Get(), this,
                                                          &owner->Settings());
    }
}

Sub_DetectorBase::~Sub_DetectorBase() = default;

template <class Work>
void Sub_DetectorBase::Guarded(Work&& work)
{
    if (owner_->IsUpdating()) {
        return;
    }
    owner_->SetUpdating(true);
    work();
    owner_->SetUpdating(false);
}

void Sub_DetectorBase::SetupWindow()
{
    // The base set-up creates the controls: notices they send before the page is loaded are ignored.
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    Base::CXSubDlgDA::SetupWindow();
    LoadControls();
    if (preview_) {
        preview_->PlaceOverPlaceholder(preview_->PlacementMode(owner_->View().block));
        preview_->SetUpDrawers(false);
        SetPreviewTimeCompression(*preview_, owner_->View());
        ResetPreviewRange();
    }
    owner_->SetUpdating(wasUpdating);
}

void Sub_DetectorBase::CleanupWindow()
{
    Base::CXSubDlgDA::CleanupWindow();
    if (preview_) {
        preview_->StopSampling();
        preview_.reset();
    }
}

void Sub_DetectorBase::ResetPreviewRange()
{
    if (!preview_) {
        return;
    }
    double lower = -DBL_MAX;
    double upper = DBL_MAX;
    // A channel without data gives no range: the lane follows its data instead of an unbounded range.
    if (owner_->Site().ChannelValueRange(owner_->Settings().GetLong(SettingId::kSourceChannel), owner_->View().block,
                                         lower, upper)) {
        preview_->SetExplicitRange(false, {lower, upper});
    } else {
        preview_->AutoscaleLane(false);
    }
    preview_->SetVerticalRange(true, std::nullopt);
}

void Sub_DetectorBase::TransferFromSettings()
{
    // The frame holds the updating flag while it switches the channel and clears it before calling here.
    Guarded([&] {
        LoadControls();
        TransferAndSchedule(true);
    });
}

void Sub_DetectorBase::TransferAndSchedule(bool immediate)
{
    TransferToSettings();
    if (ValidateSettings()) {
        ScheduleUpdate(immediate);
    }
}

void Sub_DetectorBase::ScheduleUpdate(bool immediate)
{
    // An immediate update ends a pending wait and rebuilds the preview (which skips an unchanged one); without a
    // preview it only ends the wait, so that the timer does not keep firing once a second.
    StopDelay();
    if (immediate) {
        ++updateRequests_;
        if (preview_) {
            preview_->SetUpDrawers(false);
        }
        return;
    }
    RestartDelay();
}

void Sub_DetectorBase::OnPreviewNotice(bool live)
{
    if (preview_) {
        preview_->SetUpDrawers(false);
        preview_->SetLiveData(live);
    }
}

void Sub_DetectorBase::DoDelayedAction() { TransferAndSchedule(true); }

void Sub_DetectorBase::ControlChanged(int controlId, bool immediate)
{
    Guarded([&] {
        bindings_.OnControlChanged(controlId);
        TransferAndSchedule(immediate);
    });
}

int Sub_DetectorBase::SpinnerEdit(int spinnerId) const
{
    if (spinnerId == kHeightSpinnerId) {
        return kHeightEditId;
    }
    return spinnerId == kWidthSpinnerId ? kWidthEditId : 0;
}

owl::TResult Sub_DetectorBase::EvNotify(owl::uint id, owl::TNotify& info)
{
    const int edit = SpinnerEdit(static_cast<int>(id));
    if (edit != 0 && info.code == UDN_DELTAPOS && bindings_.FindCtrl(edit)) {
        // Spinner steps are discrete: no updating-flag test, refreshed at once.
        const int result = bindings_.Notify(edit, id, &info);
        TransferAndSchedule(true);
        return result;
    }
    return Base::CXSubDlgDA::EvNotify(id, info);
}

// ---- cardiac and action potentials ----

Sub_DetectorCAP::Sub_DetectorCAP(SettingsDlg* owner, IUnknown* hostDocument)
    : Sub_DetectorBase(DialogId::DetectorCAPPage, owner, hostDocument),
      detectionBox_(std::make_unique<KVOControls::TBitmapGroupBox>(this, kDetectionBoxId, kDetectionBitmap))
{
    Doc::SettingsSet* settings = &owner->Settings();
    const int widthSetting = settings->GetInt(SettingId::kAnalysisType) == 1 ? SettingId::kMinPeakWidthCardiac
                                                                              : SettingId::kMinPeakWidthAP;
    bindings_.AddCtrl(new tUnitsEditUpDown(kHeightEditId, 1100, kHeightSpinnerId, SettingId::kMinPeakHeight,
                                           SourceUnit(*owner), 6, settings, this));
    bindings_.AddCtrl(new tUnitsEditUpDown(kWidthEditId, 1104, kWidthSpinnerId, widthSetting,
                                           KVO::PrefixedUnit(u"ms"), 6, settings, this));
    bindings_.AddCtrl(new tButton(kHalfHeightId, SettingId::kPeakWidthFilter, StringId::HalfHeightTitle,
                                  StringId::HalfHeightText, settings, this));
    bindings_.AddCtrl(new tButInv(kMinimumHeightId, SettingId::kPeakWidthFilter, StringId::MinPeakHeightTitle,
                                  StringId::MinPeakHeightText, settings, this));
}

owl::TResult Sub_DetectorCAP::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    const int control = static_cast<int>(id);
    if (hWndCtl && notifyCode == EN_CHANGE && (control == kHeightEditId || control == kWidthEditId)) {
        ControlChanged(control, false);
        return 0;
    }
    if (hWndCtl && notifyCode == BN_CLICKED && (control == kHalfHeightId || control == kMinimumHeightId)) {
        ControlChanged(control, true);
        return 0;
    }
    return Sub_DetectorBase::EvCommand(id, hWndCtl, notifyCode);
}

// ---- evoked responses and population spikes ----

Sub_DetectorStimulated::Sub_DetectorStimulated(int dialogId, SettingsDlg* owner, IUnknown* hostDocument)
    : Sub_DetectorBase(dialogId, owner, hostDocument),
      methodCombo_(std::make_unique<owl::TComboBox>(this, kMethodComboId)),
      methodFrame_(std::make_unique<owl::TGroupBox>(this, kMethodFrameId)),
      artifactBox_(std::make_unique<KVOControls::TBitmapGroupBox>(this, kArtifactBoxId, kArtifactBitmap)),
      detectionBox_(std::make_unique<KVOControls::TBitmapGroupBox>(this, kDetectionBoxId, kDetectionBitmap))
{
}

Sub_DetectorStimulated::~Sub_DetectorStimulated()
{
    if (methodPage_ && methodPage_->GetHandle()) {
        methodPage_->Destroy(2);
    }
}

void Sub_DetectorStimulated::TransferToSettings()
{
    if (methodPage_) {
        methodPage_->TransferToSettings();
    }
    bindings_.TransferAll();
}

bool Sub_DetectorStimulated::ValidateSettings()
{
    const bool methodValid = methodPage_ ? methodPage_->ValidateSettings() : true;
    const bool ownValid = bindings_.ValidateAll();
    return methodValid && ownValid;
}

void Sub_DetectorStimulated::MarkInvalidSettings()
{
    if (auto* subPage = dynamic_cast<DetectorSubPage*>(methodPage_.get())) {
        subPage->Bindings().RefreshMarks();
    }
    bindings_.RefreshMarks();
}

void Sub_DetectorStimulated::LoadControls()
{
    Doc::SettingsSet& settings = owner_->Settings();
    methodCombo_->ClearList();
    int method = settings.GetInt(SettingId::kStimulusMode);
    // Only the listed methods can be chosen here; a stored method that is not listed becomes the first one.
    if (method < kFirstMethod || method >= kFirstMethod + kMethodCount) {
        method = kFirstMethod;
        if (auto* setting = dynamic_cast<Doc::CXSettingInt*>(settings.Find(SettingId::kStimulusMode))) {
            setting->SetValue(method);
        }
    }
    for (int i = kFirstMethod; i < kFirstMethod + kMethodCount; ++i) {
        methodCombo_->AddString(ParamCatalogue::DetectionModeName(i).c_str());
    }
    methodCombo_->SetSelIndex(method - kFirstMethod);
    ShowDetectionMethodPage();
    bindings_.LoadAll();
}

void Sub_DetectorStimulated::ShowDetectionMethodPage()
{
    const int method = owner_->Settings().GetInt(SettingId::kStimulusMode);
    if (methodPage_) {
        methodPage_->Destroy(2);
        methodPage_.reset();
    }
    if (method == 2) {
        methodPage_ = std::make_unique<SubSub_FixedPosition>(owner_, this, hostDocument_);
    } else if (method == 3 || method == 4) {
        methodPage_ = std::make_unique<SubSub_MinHeightMaxWidthSkipTime>(owner_, this, hostDocument_, method == 4);
    }
    if (methodPage_) {
        methodPage_->Create();
        owl::TRect frame;
        methodFrame_->GetWindowRect(frame);
        methodPage_->PositionInParent(frame);
        // Made after the page's own controls, so it goes above the frames it lies in.
        ::SetWindowPos(methodPage_->GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void Sub_DetectorStimulated::MethodChanged()
{
    const int selected = methodCombo_->GetSelIndex();
    // Without a selection the choice is ignored: the stored method and its sub-page stay.
    if (selected < 0 || selected >= kMethodCount) {
        return;
    }
    Guarded([&] {
        if (auto* setting = dynamic_cast<Doc::CXSettingInt*>(owner_->Settings().Find(SettingId::kStimulusMode))) {
            setting->SetValue(kFirstMethod + selected);
        }
        ShowDetectionMethodPage();
        TransferAndSchedule(true);
    });
}

owl::TResult Sub_DetectorStimulated::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    const int control = static_cast<int>(id);
    if (hWndCtl && control == kMethodComboId && notifyCode == CBN_SELCHANGE) {
        MethodChanged();
        return 0;
    }
    if (hWndCtl && notifyCode == EN_CHANGE && (control == kStartEditId || control == kEndEditId)) {
        ControlChanged(control, false);
        return 0;
    }
    return Sub_DetectorBase::EvCommand(id, hWndCtl, notifyCode);
}

Sub_DetectorER::Sub_DetectorER(SettingsDlg* owner, IUnknown* hostDocument)
    : Sub_DetectorStimulated(DialogId::DetectorERPage, owner, hostDocument)
{
    Doc::SettingsSet* settings = &owner->Settings();
    tCtrlList* group = bindings_.AddList(
        new tCheckedGroup(kDetectResponsesId, SettingId::kUseDetectionOptions, settings, this));
    group->AddCtrl(new tEdit(kStartEditId, 1075, SettingId::kDetectionStart, 5, settings, this));
    group->AddCtrl(new tEdit(kEndEditId, 1076, SettingId::kDetectionEnd, 5, settings, this));
    group->AddCtrl(new tStaticText(1056, settings, this));
    group->AddCtrl(new tStaticText(1057, settings, this));
    group->AddCtrl(new tStaticText(1060, settings, this));
    group->AddCtrl(new tUnitsEditUpDown(kHeightEditId, 1100, kHeightSpinnerId, SettingId::kMinPeakHeight,
                                        SourceUnit(*owner), 6, settings, this));
}

owl::TResult Sub_DetectorER::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    const int control = static_cast<int>(id);
    if (hWndCtl && notifyCode == BN_CLICKED && control == kDetectResponsesId) {
        ControlChanged(control, true);
        return 0;
    }
    if (hWndCtl && notifyCode == EN_CHANGE && control == kHeightEditId) {
        ControlChanged(control, false);
        return 0;
    }
    return Sub_DetectorStimulated::EvCommand(id, hWndCtl, notifyCode);
}

Sub_DetectorPS::Sub_DetectorPS(SettingsDlg* owner, IUnknown* hostDocument)
    : Sub_DetectorStimulated(DialogId::DetectorPSPage, owner, hostDocument)
{
    Doc::SettingsSet* settings = &owner->Settings();
    bindings_.AddCtrl(new tEdit(kStartEditId, 1075, SettingId::kDetectionStart, 5, settings, this));
    bindings_.AddCtrl(new tEdit(kEndEditId, 1076, SettingId::kDetectionEnd, 5, settings, this));
}

// ---- sub-pages ----

DetectorSubPage::DetectorSubPage(int dialogId, SettingsDlg* owner, Sub_DetectorBase* parentPage,
                                 IUnknown* hostDocument)
    : Base::CXSubSubDlg(dialogId, owner, parentPage, hostDocument)
{
}

void DetectorSubPage::SetupWindow()
{
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    Base::CXSubSubDlg::SetupWindow();
    BeforeLoad();
    bindings_.LoadAll();
    owner_->SetUpdating(wasUpdating);
}

owl::TResult DetectorSubPage::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    const int control = static_cast<int>(id);
    if (hWndCtl && notifyCode == EN_CHANGE && dynamic_cast<tEdit*>(bindings_.FindCtrl(control))) {
        if (!owner_->IsUpdating()) {
            owner_->SetUpdating(true);
            bindings_.OnControlChanged(control);
            Base::CXSubDlg* parent = ParentPage();
            parent->TransferToSettings();
            if (parent->ValidateSettings()) {
                parent->ScheduleUpdate(false);
            }
            owner_->SetUpdating(false);
        }
        return 0;
    }
    return Base::CXSubSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

SubSub_FixedPosition::SubSub_FixedPosition(SettingsDlg* owner, Sub_DetectorBase* parentPage, IUnknown* hostDocument)
    : DetectorSubPage(DialogId::FixedPositionPage, owner, parentPage, hostDocument)
{
    bindings_.AddCtrl(new tEdit(1051, 1071, SettingId::kStimulusPosition, 8, &owner->Settings(), this));
}

SubSub_MinHeightMaxWidthSkipTime::SubSub_MinHeightMaxWidthSkipTime(SettingsDlg* owner, Sub_DetectorBase* parentPage,
                                                                   IUnknown* hostDocument, bool onePerBlock)
    : DetectorSubPage(DialogId::HeightWidthPage, owner, parentPage, hostDocument), onePerBlock_(onePerBlock)
{
    Doc::SettingsSet* settings = &owner->Settings();
    const int heightSetting = settings->GetInt(SettingId::kAnalysisType) == 3 ? SettingId::kMinStimulusHeight
                                                                              : SettingId::kMinStimulusHeightPS;
    bindings_.AddCtrl(new tEditLabelError(1012, 1031, SettingId::kMaxStimulusWidth, 5, settings, this));
    bindings_.AddCtrl(new tUnitsEdit(1033, 1050, heightSetting, SourceUnit(*owner), 8, settings, this));
    bindings_.AddCtrl(new tStaticText(1032, settings, this));
    bindings_.AddCtrl(new tEditLabelError(kStartEditId, 1037,
                                          onePerBlock ? SettingId::kStimulusSearchStart
                                                      : SettingId::kMinStimulusInterval,
                                          5, settings, this));
}

void SubSub_MinHeightMaxWidthSkipTime::BeforeLoad()
{
    if (!onePerBlock_) {
        return;
    }
    if (tCtrl* label = bindings_.FindCtrl(1032)) {
        ::SetDlgItemTextW(GetHandle(), label->ControlId(), u"S&tart:");
    }
    if (tCtrl* edit = bindings_.FindCtrl(kStartEditId); edit && edit->LabelMark()) {
        edit->LabelMark()->SetText(u"ms into block");
    }
}

} // namespace CX::Dlg
