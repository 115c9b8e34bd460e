#include "foundation/comobject.h"
#include "dialogs/detectorunstim.h"

#include "controls/errorprovider.h"
#include "dialogs/settingsdlg.h"
#include "dialogs/settingswarningdlg.h"
#include "dialogs/bindingkinds.h"
#include "foundation/formatstream.h"
#include "foundation/localeinfo.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "frame/hostservices.h"
#include "platform/com/oleauto.h"
#include "platform/win/commctrl.h"
#include "resources/settingsdialogs.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace CX::Dlg {

namespace {
constexpr int kDetectorTab = 0;
constexpr int kEditId = 1007;
constexpr int kUpDownId = 1071;
constexpr int kUnitLabelId = 1100;
constexpr int kMinimumLabelId = 1103;
constexpr int kMaximumLabelId = 1106;
constexpr int kHeightLabelId = 1032;
constexpr int kPresetComboId = 1039;
constexpr int kCustomizeId = 1040;
constexpr int kSaveId = 1125;
constexpr int kDeleteId = 1123;
constexpr int kSubPageFrameId = 1052;
constexpr int kMaxEditText = 99;
constexpr int kMaxPresetName = 199;
constexpr double kSpinFactor = 1.1;

struct Registration {
    Registration()
    {
        for (const int type : {0, 2}) {
            RegisterPage(type, kDetectorTab, [](SettingsDlg& owner, IUnknown* host) -> Base::CXSubDlg* {
                return new Sub_DetectorUnStim(&owner, host);
            });
        }
    }
};
const Registration g_registration;


// The detection settings of the dialog's settings copy, looked up anew each time (a preset or the customise dialog
// may have replaced the object's contents, never the object).
ILMDetectionSettings* DetectionOf(SettingsDlg& owner) { return owner.Settings().DetectionSettingsObject(); }

double Parameter(ILMDetectionSettings* detection, LONG index)
{
    double value = 0.0;
    if (detection) {
        detection->GetParameter(index, &value);
    }
    return value;
}
} // namespace

// ---- slider ----

TJSlider::TJSlider(owl::TWindow* parent, owl::TWindow* notifyTarget)
    : owl::THSlider(parent, ControlId), notifyTarget_(notifyTarget)
{
}

void TJSlider::SBThumbTrack(int thumbPos)
{
    if (!notifyTarget_) {
        owl::THSlider::SBThumbTrack(thumbPos);
        return;
    }
    trackedPosition_ = thumbPos;
    NMHDR header{nullptr, static_cast<UINT_PTR>(ControlId), kTrackCode};
    notifyTarget_->SendMessage(WM_NOTIFY, ControlId, reinterpret_cast<LPARAM>(&header));
}

// ---- minimum peak height sub-page ----

SubSub_MPH::SubSub_MPH(SettingsDlg* owner, Base::CXSubDlg* parentPage, IUnknown* hostDocument)
    : Base::CXSubSubDlg(DialogId::MinPeakHeightPage, owner, parentPage, hostDocument),
      edit_(std::make_unique<owl::TEdit>(this, kEditId)),
      slider_(std::make_unique<TJSlider>(this, this)),
      minimumLabel_(std::make_unique<owl::TStatic>(this, kMinimumLabelId)),
      maximumLabel_(std::make_unique<owl::TStatic>(this, kMaximumLabelId)),
      heightLabel_(std::make_unique<owl::TStatic>(this, kHeightLabelId)),
      unitLabel_(std::make_unique<KVOControls::StaticTextErrorProvider>(this, kUnitLabelId))
{
}

SubSub_MPH::~SubSub_MPH() = default;

ILMDetectionSettings* SubSub_MPH::Detection() const { return DetectionOf(*owner_); }

void SubSub_MPH::SetupWindow()
{
    Base::CXSubSubDlg::SetupWindow();
    for (int i = 0; i < kSliderEntries; ++i) {
        sliderTable_[static_cast<std::size_t>(i)] = (i + 1) * 0.05;
    }
    slider_->SetRange(0, kSliderEntries - 1, true);
    slider_->SetPosition(0);
    slider_->SetRuler(20);
}

void SubSub_MPH::CleanupWindow()
{
    KillTimer(kTimerId);
    Base::CXSubSubDlg::CleanupWindow();
}

void SubSub_MPH::LoadFromDetectionSettings(const KVO::PrefixedUnit& detectionUnit)
{
    ILMDetectionSettings* detection = Detection();
    VARIANT_BOOL inSD = VARIANT_TRUE;
    if (detection) {
        detection->IsThresholdInSD(&inSD);
    }
    const double value = Parameter(detection, 3);
    if (inSD != VARIANT_FALSE) {
        ShowSDMode(value);
    } else {
        BSTR unitText = nullptr;
        LONG prefixIndex = detectionUnit.PrefixIndex();
        detection->MapDisplayUnits(detectionUnit.Base().c_str(), detectionUnit.PrefixIndex(), &unitText,
                                   &prefixIndex);
        KVO::PrefixedUnit unit(KVO::TakeBstr(unitText));
        unit.SetPrefixIndex(prefixIndex);
        const bool positive = static_cast<int>(Parameter(detection, 15) + 0.5) == 0;
        ShowUnitsMode(value, unit, positive);
    }
    loaded_.Load(EditText(), value);
    if (detection) {
        BSTR label = nullptr;
        if (SUCCEEDED(detection->GetThresholdLabel(&label))) {
            heightLabel_->SetText(KVO::TakeBstr(label).c_str());
        }
    }
}

void SubSub_MPH::ShowSDMode(double value)
{
    sdMode_ = true;
    displayUnit_ = KVO::PrefixedUnit(u"S.D.");
    SetValue(value / Multiplier(), true, false);
    slider_->ShowWindow(SW_SHOW);
    minimumLabel_->ShowWindow(SW_SHOW);
    maximumLabel_->ShowWindow(SW_SHOW);
    unitLabel_->SetText(u"S.D.");
}

void SubSub_MPH::ShowUnitsMode(double value, const KVO::PrefixedUnit& unit, bool positive)
{
    sdMode_ = false;
    positiveRequired_ = positive;
    displayUnit_ = unit;
    SetValue(value / Multiplier(), true, false);
    slider_->ShowWindow(SW_HIDE);
    minimumLabel_->ShowWindow(SW_HIDE);
    maximumLabel_->ShowWindow(SW_HIDE);
    unitLabel_->SetText(displayUnit_.Text().c_str());
}

double SubSub_MPH::Multiplier() const
{
    return displayUnit_.Prefix() ? KVO::SIPrefixMultiplier(displayUnit_.Prefix()) : 1.0;
}

std::u16string SubSub_MPH::EditText() const
{
    std::u16string text = edit_->GetText();
    if (text.size() > kMaxEditText) {
        text.resize(kMaxEditText);
    }
    return text;
}

void SubSub_MPH::TransferToSettings()
{
    if (ILMDetectionSettings* detection = Detection()) {
        const std::u16string text = EditText();
        detection->SetParameter(3, loaded_.Value(text, [&] { return tUnitsEdit::LeadingNumber(text) * Multiplier(); }));
    }
}

// Without detection settings (a document without the other extension) the page edits nothing, so nothing is wrong.
bool SubSub_MPH::ValidateSettings() { return !Detection() || IsValid(EditText()); }

double SubSub_MPH::LowerLimit() const
{
    if (sdMode_) {
        return kSDLowest;
    }
    return positiveRequired_ ? 1e-30 : -DBL_MAX;
}

double SubSub_MPH::UpperLimit() const { return sdMode_ ? kSDHighest : DBL_MAX; }

bool SubSub_MPH::IsValid(std::u16string_view text) const
{
    text = text.substr(0, kMaxEditText);
    if (text.size() == 1 && !(text[0] >= u'0' && text[0] <= u'9')) {
        return false;
    }
    for (const char16_t c : text) {
        const bool digit = c >= u'0' && c <= u'9';
        if (!digit && c != u'-' && c != u'.' && c != u',' && c != u'e' && c != u'+') {
            return false;
        }
    }
    const double value = tUnitsEdit::LeadingNumber(text);
    return LowerLimit() <= value && value <= UpperLimit();
}

void SubSub_MPH::ShowValidation()
{
    if (!Detection() || IsValid(EditText())) {
        unitLabel_->SetError(false, KVO::String(), KVO::String());
        return;
    }
    if (sdMode_) {
        unitLabel_->SetError(true, KVO::String(u"Invalid Minimum Peak Height"),
                             KVO::String(u"This setting must be in the range 0.05 to 9 standard deviations."));
    } else if (positiveRequired_) {
        const std::u16string message = u"This setting must be greater than 0 " + displayUnit_.Text();
        unitLabel_->SetError(true, KVO::String(u"Invalid Minimum Peak Height"), KVO::String(message.c_str()));
    } else {
        unitLabel_->SetError(true, KVO::String(u"Invalid Value"),
                             KVO::String(u"This setting must be a floating point number."));
    }
}

void SubSub_MPH::SetValue(double value, bool edit, bool keepSelection)
{
    const bool wasUpdating = updating_;
    updating_ = true;
    if (edit) {
        loaded_.Forget(); // a value shown for another reason (a slider or up-down step) is read back
        int start = 0;
        int end = 0;
        if (keepSelection) {
            edit_->GetSelection(start, end);
            if (start > 0) {
                start = end = static_cast<int>(edit_->GetText().size());
            }
        }
        edit_->SetText(EEH::DoubleToText(value, 5).c_str());
        if (keepSelection) {
            edit_->SetSelection(start, end);
        }
    }
    ShowValidation();
    if (sdMode_) {
        MoveSliderNear(value);
    }
    updating_ = wasUpdating;
}

void SubSub_MPH::MoveSliderNear(double value)
{
    // The nearest entry of the whole table (a tie takes the higher one), whatever the thumb's position was.
    const auto above = std::lower_bound(sliderTable_.begin(), sliderTable_.end(), value);
    auto nearest = above == sliderTable_.end() ? above - 1 : above;
    if (above != sliderTable_.begin() && above != sliderTable_.end() &&
        std::fabs(*above - value) > std::fabs(*(above - 1) - value)) {
        nearest = above - 1;
    }
    slider_->SetPosition(static_cast<int>(nearest - sliderTable_.begin()));
    slider_->Invalidate();
}

void SubSub_MPH::Changed()
{
    if (changed_) {
        changed_();
    }
}

void SubSub_MPH::EvSliderTrack()
{
    updating_ = true;
    SetValue(SliderValue(std::clamp(slider_->TrackedPosition(), 0, kSliderEntries - 1)), true, false);
    updating_ = false;
}

void SubSub_MPH::EvSliderEnd()
{
    updating_ = true;
    SetValue(SliderValue(std::clamp(slider_->GetPosition(), 0, kSliderEntries - 1)), true, false);
    updating_ = false;
    Changed();
    KillTimer(kTimerId);
}

void SubSub_MPH::EvEditChange()
{
    updating_ = true;
    SetValue(tUnitsEdit::LeadingNumber(EditText()), false, true);
    KillTimer(kTimerId);
    SetTimer(kTimerId, kDelayMs);
    updating_ = false;
}

void SubSub_MPH::EvEditKillFocus()
{
    Changed();
    KillTimer(kTimerId);
}

void SubSub_MPH::EvSpinDelta(int delta)
{
    updating_ = true;
    const double value = tUnitsEdit::LeadingNumber(EditText());
    double next = delta >= 0 ? value / kSpinFactor : value * kSpinFactor;
    next = std::min(std::max(next, LowerLimit()), UpperLimit());
    SetValue(next, true, true);
    updating_ = false;
    Changed();
    KillTimer(kTimerId);
}

void SubSub_MPH::EvTimer(owl::uint)
{
    Changed();
    KillTimer(kTimerId);
}

owl::TResult SubSub_MPH::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (id == kEditId && !updating_) {
        if (notifyCode == EN_CHANGE) {
            EvEditChange();
            return 0;
        }
        if (notifyCode == EN_KILLFOCUS) {
            EvEditKillFocus();
            return 0;
        }
    }
    return Base::CXSubSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

owl::TResult SubSub_MPH::EvNotify(owl::uint id, owl::TNotify& info)
{
    if (id == TJSlider::ControlId && info.code == TJSlider::kTrackCode) {
        if (!updating_) {
            EvSliderTrack();
        }
        return 0;
    }
    if (id == kUpDownId && info.code == UDN_DELTAPOS) {
        if (!updating_) {
            EvSpinDelta(reinterpret_cast<NMUPDOWN&>(info).iDelta);
        }
        return 0; // the up-down keeps no position of its own here
    }
    return Base::CXSubSubDlg::EvNotify(id, info);
}

void SubSub_MPH::EvHScroll(owl::uint scrollCode, owl::uint thumbPos, HWND hWndCtl)
{
    Base::CXSubSubDlg::EvHScroll(scrollCode, thumbPos, hWndCtl);
    if (hWndCtl == slider_->GetHandle() && scrollCode == TB_ENDTRACK && !updating_) {
        EvSliderEnd();
    }
}

// ---- preset combo ----

PresetCombo::PresetCombo(owl::TWindow* parent, ILMDocExtension* extension, SettingsDlg& owner)
    : MenuCombo(parent, kPresetComboId), extension_(extension), owner_(owner)
{
}

ILMDetectionSettings* PresetCombo::Detection() const { return DetectionOf(owner_); }

void PresetCombo::SetupWindow()
{
    MenuCombo::SetupWindow();
    LONG count = 0;
    if (extension_) {
        extension_->GetPresetCount(&count);
    }
    for (LONG i = 0; i < count; ++i) {
        BSTR name = nullptr;
        extension_->GetPresetName(i, VARIANT_TRUE, &name);
        AddString(KVO::TakeBstr(name).c_str());
    }
    if (count > 0) {
        MenuCombo::SetSelIndex(0);
    }
}

std::u16string PresetCombo::SelectedText() const
{
    const int raw = owl::TComboBox::GetSelIndex();
    if (raw < 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(std::max(0, GetStringLen(raw))) + 1, u'\0');
    owl::TComboBox::GetString(text.data(), raw);
    text.resize(std::min<std::size_t>(std::u16string_view(text.c_str()).size(), kMaxPresetName));
    return text;
}

void PresetCombo::KeepCustom()
{
    ILMDetectionSettings* detection = Detection();
    if (!detection) {
        return;
    }
    if (!keptCustom_ && extension_) {
        extension_->CreateSettings(keptCustom_.Out());
    }
    if (keptCustom_) {
        keptCustom_->CopyFrom(detection, VARIANT_FALSE);
        keptCustom_->SetParameter(14, 0.0);
    }
}

void PresetCombo::FillPresets()
{
    owl::TComboBox::ClearList();
    ClearList();
    if (!extension_) {
        return;
    }
    ILMDetectionSettings* detection = Detection();
    LONG index = -1;
    VARIANT_BOOL matched = VARIANT_FALSE;
    if (!detection || FAILED(extension_->FindPreset(detection, &index, &matched))) {
        index = -1;
        matched = VARIANT_FALSE;
    }
    currentIsCustom_ = matched == VARIANT_FALSE;
    if (currentIsCustom_ || customRowPresent_) {
        AddString(kCustomRow);
        AddSeparatorRow(GetCount());
        AddString(u"");
        ++index;
        customRowPresent_ = true;
    }
    LONG count = 0;
    extension_->GetPresetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        if (i > 0) {
            VARIANT_BOOL before = VARIANT_FALSE;
            VARIANT_BOOL here = VARIANT_FALSE;
            extension_->IsPresetRemovable(i - 1, &before);
            extension_->IsPresetRemovable(i, &here);
            if (before != VARIANT_FALSE && here == VARIANT_FALSE) {
                AddSeparatorRow(GetCount());
                AddString(u"");
            }
        }
        BSTR name = nullptr;
        extension_->GetPresetName(i, VARIANT_TRUE, &name);
        AddString(KVO::TakeBstr(name).c_str());
    }
    MenuCombo::SetSelIndex(static_cast<int>(index));
    if (currentIsCustom_) {
        KeepCustom();
    }
    UpdateRemovable();
}

void PresetCombo::ApplySelectedPreset()
{
    if (currentIsCustom_) {
        KeepCustom();
    }
    ILMDetectionSettings* detection = Detection();
    const int selected = MenuCombo::GetSelIndex();
    if (customRowPresent_ && selected == 0) {
        if (detection && keptCustom_) {
            detection->CopyFrom(keptCustom_.Get(), VARIANT_TRUE);
        }
        currentIsCustom_ = true;
    } else if (extension_ && detection && selected >= 0) {
        platform::ComPtr<ILMDetectionSettings> preset;
        // A preset that cannot be had leaves the settings as they are.
        if (SUCCEEDED(extension_->GetPreset(selected - (customRowPresent_ ? 1 : 0), preset.Out())) && preset) {
            detection->CopyFrom(preset.Get(), VARIANT_TRUE);
            currentIsCustom_ = false;
        }
    }
    UpdateRemovable();
}

void PresetCombo::UpdateRemovable()
{
    removable_ = false;
    if (!extension_) {
        return;
    }
    LONG index = -1;
    VARIANT_BOOL found = VARIANT_FALSE;
    const std::u16string name = SelectedText();
    if (SUCCEEDED(extension_->FindPresetByName(name.c_str(), &index, &found)) && found != VARIANT_FALSE) {
        VARIANT_BOOL removable = VARIANT_FALSE;
        extension_->IsPresetRemovable(index, &removable);
        removable_ = removable != VARIANT_FALSE;
    }
}

// ---- page ----

Sub_DetectorUnStim::Sub_DetectorUnStim(SettingsDlg* owner, IUnknown* hostDocument)
    : Base::CXSubDlgDA(DialogId::DetectorUnStimPage, owner, hostDocument, kTimerId),
      extension_(CAF::GetDocumentExtension(hostDocument)),
      preview_(std::make_unique<CXPreview_LM>(hostDocument, HostDataSource(hostDocument).Get(), this,
                                              &owner->Settings())),
      presets_(std::make_unique<PresetCombo>(this, extension_.Get(), *owner)),
      subPageFrame_(std::make_unique<owl::TStatic>(this, kSubPageFrameId)),
      deleteButton_(std::make_unique<owl::TButton>(this, kDeleteId))
{
    UpdateDetectionUnit();
}

Sub_DetectorUnStim::~Sub_DetectorUnStim()
{
    preview_->StopSampling();
    if (subPage_ && subPage_->GetHandle()) {
        subPage_->Destroy(2);
    }
}

ILMDetectionSettings* Sub_DetectorUnStim::Detection() const { return DetectionOf(*owner_); }

template <class Work>
void Sub_DetectorUnStim::Guarded(Work&& work)
{
    if (owner_->IsUpdating()) {
        return;
    }
    owner_->SetUpdating(true);
    work();
    owner_->SetUpdating(false);
}

void Sub_DetectorUnStim::UpdateDetectionUnit()
{
    const int channel = static_cast<int>(Parameter(Detection(), 0) + 0.5);
    SourceUnitRecord unit{u"", 0};
    owner_->Site().ChannelUnit(channel, owner_->View().block, unit);
    detectionUnit_ = KVO::PrefixedUnit(unit.unit, unit.prefix);
    if (owner_->Site().UnitNamesDiffer(channel)) {
        detectionUnit_.SetBase(u"Units");
    }
}

void Sub_DetectorUnStim::EnableDelete() { deleteButton_->EnableWindow(presets_->Removable()); }

void Sub_DetectorUnStim::Redraw()
{
    ++updateRequests_;
    preview_->SetUpDrawers(false);
}

void Sub_DetectorUnStim::UpdatePreviewRange()
{
    const int channel = static_cast<int>(Parameter(Detection(), 0) + 0.5);
    double lower = DBL_MAX;
    double upper = -DBL_MAX;
    // A channel without data gives no range: the lane follows its data instead of an inverted range.
    if (owner_->Site().ChannelValueRange(channel, owner_->View().block, lower, upper)) {
        preview_->SetExplicitRange(false, {lower, upper});
    } else {
        preview_->AutoscaleLane(false);
    }
    preview_->SetVerticalRange(true, std::nullopt);
}

Dlg::ChartViewRecord Sub_DetectorUnStim::CustomizeViewRecord() const
{
    ChartViewRecord view = owner_->View();
    if (ChartDraw::PreviewDataWinWButtons* window = preview_->Window()) {
        ChartBlockPosition start{};
        if (window->GetLeftEdgeTime(&start) == S_OK) {
            view.selectionStart[0] = static_cast<std::int32_t>(start.tick);
            view.selectionStart[1] = start.block;
        }
        const KVORationalImp scale = window->GetCompression();
        view.timeScale = ViewTimeScale(scale.numerator, scale.denominator, view.timeScale);
    }
    double lower = DBL_MAX;
    double upper = -DBL_MAX;
    preview_->GetTraceRange(1, lower, upper);
    view.valueLower = lower;
    view.valueUpper = upper;
    lower = DBL_MAX;
    upper = -DBL_MAX;
    preview_->GetTraceRange(2, lower, upper);
    view.spareLower = lower;
    view.spareUpper = upper;
    return view;
}

void Sub_DetectorUnStim::SetupWindow()
{
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    Base::CXSubDlgDA::SetupWindow();
    subPage_ = std::make_unique<SubSub_MPH>(owner_, this, hostDocument_);
    subPage_->Create();
    owl::TRect frame;
    subPageFrame_->GetWindowRect(frame);
    subPage_->PositionInParent(frame);
    ::SetWindowPos(subPage_->GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    subPage_->SetChangeCallback([this] { OnSubPageChanged(); });
    preview_->PlaceOverPlaceholder(preview_->PlacementMode(owner_->View().block));
    preview_->SetUpDrawers(false);
    SetPreviewTimeCompression(*preview_, owner_->View());
    UpdatePreviewRange();
    subPage_->LoadFromDetectionSettings(detectionUnit_);
    presets_->FillPresets();
    EnableDelete();
    owner_->SetUpdating(wasUpdating);
}

void Sub_DetectorUnStim::TransferToSettings()
{
    if (subPage_) {
        subPage_->TransferToSettings();
    }
}

bool Sub_DetectorUnStim::ValidateSettings() { return !subPage_ || subPage_->ValidateSettings(); }

void Sub_DetectorUnStim::TransferFromSettings()
{
    Guarded([&] {
        UpdateDetectionUnit();
        if (subPage_) {
            subPage_->LoadFromDetectionSettings(detectionUnit_);
        }
        presets_->FillPresets();
        EnableDelete();
        Redraw();
    });
}

void Sub_DetectorUnStim::ScheduleUpdate(bool immediate)
{
    Guarded([&] {
        StopDelay();
        if (immediate) {
            Redraw();
        } else {
            RestartDelay();
        }
    });
}

void Sub_DetectorUnStim::OnPreviewNotice(bool live)
{
    Redraw();
    preview_->SetLiveData(live);
}

void Sub_DetectorUnStim::OnSubPageChanged()
{
    TransferToSettings();
    if (subPage_ && subPage_->ValidateSettings()) {
        Redraw();
    }
}

void Sub_DetectorUnStim::EvPresetSelChange()
{
    Guarded([&] {
        presets_->ApplySelectedPreset();
        EnableDelete();
        if (subPage_) {
            subPage_->LoadFromDetectionSettings(detectionUnit_);
        }
        TransferToSettings();
        Redraw();
        UpdatePreviewRange();
    });
}

void Sub_DetectorUnStim::CmCustomize()
{
    Guarded([&] {
        TransferToSettings();
        const bool wasSampling = preview_->StopSampling();
        if (!ValidateSettings()) {
            // The sampling stays stopped.
            SettingsWarningDlg::Show(this);
            return;
        }
        ILMDetectionSettings* detection = Detection();
        if (extension_ && detection) {
            const KVO::String format =
                KVO::LoadResourceString(KVO::ModuleInstance(), StringId::DetectionSettingsTitle, true);
            const ChartViewRecord view = CustomizeViewRecord();
            platform::ComPtr<ILMDetectionSettings> result;
            const HRESULT answer =
                extension_->Customize(GetHandle(), detection, &view, format.c_str(), u"CX_CustomDetectionSettings",
                                      u"CrestmetricsHelp", result.Out());
            if (answer == S_OK && result) {
                detection->CopyFrom(result.Get(), VARIANT_TRUE);
                presets_->FillPresets();
                EnableDelete();
                if (subPage_) {
                    subPage_->LoadFromDetectionSettings(detectionUnit_);
                }
                TransferToSettings();
                Redraw();
            }
        }
        if (wasSampling) {
            preview_->StartSampling();
        }
    });
}

void Sub_DetectorUnStim::CmSavePreset()
{
    Guarded([&] {
        TransferToSettings();
        ILMDetectionSettings* detection = Detection();
        if (!extension_ || !detection) {
            return;
        }
        // Only valid settings reach the persistent preset store.
        VARIANT_BOOL valid = VARIANT_FALSE;
        if (!ValidateSettings() || FAILED(detection->IsValid(&valid)) || valid == VARIANT_FALSE) {
            SettingsWarningDlg::Show(this);
            return;
        }
        if (extension_->SavePreset(GetHandle(), detection) == S_OK) {
            presets_->FillPresets();
            EnableDelete();
        }
    });
}

void Sub_DetectorUnStim::CmDeletePreset()
{
    const bool wasUpdating = owner_->IsUpdating();
    owner_->SetUpdating(true);
    if (extension_) {
        const std::u16string name = presets_->SelectedText();
        if (extension_->DeletePreset(GetHandle(), name.c_str()) == S_OK) {
            presets_->FillPresets();
            EnableDelete();
        }
    }
    owner_->SetUpdating(wasUpdating);
}

owl::TResult Sub_DetectorUnStim::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (id == kPresetComboId && notifyCode == CBN_SELCHANGE) {
        EvPresetSelChange();
        return 0;
    }
    if (notifyCode == BN_CLICKED) {
        switch (id) {
        case kCustomizeId:
            CmCustomize();
            return 0;
        case kSaveId:
            CmSavePreset();
            return 0;
        case kDeleteId:
            CmDeletePreset();
            return 0;
        default:
            break;
        }
    }
    return Base::CXSubDlgDA::EvCommand(id, hWndCtl, notifyCode);
}

} // namespace CX::Dlg
