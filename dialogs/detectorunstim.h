// The "Detector" page of the unstimulated analysis types (general and synaptic). Their peaks are found by the other
// extension's detection, whose settings object lives in setting 1010: the page picks one of its presets, opens its
// customise dialog, saves and deletes presets, and edits the minimum peak height in a sub-page with a slider.
#pragma once

#include "controls/menucombo.h"
#include "dialogs/loadednumber.h"
#include "dialogs/pagebases.h"
#include "dialogs/previewpanes.h"
#include "foundation/prefixedunit.h"
#include "platform/com/unknown.h"
#include "platform/owl/slider.h"
#include "sdk/documentsite.h"

#include <array>
#include <functional>
#include <memory>
#include <string_view>

namespace KVOControls {
class StaticTextErrorProvider;
}
namespace owl {
class TEdit;
class TStatic;
class TButton;
} // namespace owl

namespace CX::Dlg {

class SettingsDlg;

// The slider of the minimum peak height: while its thumb is dragged it tells its notify target each position with
// a WM_NOTIFY of code kTrackCode, so that the number can follow the thumb.
class TJSlider : public owl::THSlider {
public:
    static constexpr UINT kTrackCode = 768;
    static constexpr int ControlId = 1061;

    TJSlider(owl::TWindow* parent, owl::TWindow* notifyTarget);
    void SBThumbTrack(int thumbPos) override;
    int TrackedPosition() const { return trackedPosition_; }

private:
    owl::TWindow* notifyTarget_;
    int trackedPosition_ = 0;
};

// "Detection adjustment": the minimum peak height (parameter 3 of the detection settings), in standard deviations
// with a slider, or in the unit of the detection's channel.
class SubSub_MPH : public Base::CXSubSubDlg {
public:
    static constexpr UINT kTimerId = 100;
    static constexpr unsigned kDelayMs = 1000;
    static constexpr int kSliderEntries = 180;
    static constexpr double kSDLowest = 0.05;
    static constexpr double kSDHighest = 9.0;

    SubSub_MPH(SettingsDlg* owner, Base::CXSubDlg* parentPage, IUnknown* hostDocument);
    ~SubSub_MPH() override;

    void SetChangeCallback(std::function<void()> callback) { changed_ = std::move(callback); }
    // Shows the height of the detection settings in their own terms; `detectionUnit` is the detection channel's unit.
    void LoadFromDetectionSettings(const KVO::PrefixedUnit& detectionUnit);

    // The typed number, times the display unit's prefix, into parameter 3 (also when invalid: validity is only
    // reported). While the edit shows the text the stored height was loaded as, the loaded height is stored: the
    // text has five significant digits only.
    void TransferToSettings() override;
    bool ValidateSettings() override;
    bool IsValid(std::u16string_view text) const;

    void SetupWindow() override;
    void CleanupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    owl::TResult EvNotify(owl::uint id, owl::TNotify& info) override;
    void EvHScroll(owl::uint scrollCode, owl::uint thumbPos, HWND hWndCtl) override;
    void EvTimer(owl::uint timerId) override;

    bool InSDMode() const { return sdMode_; }
    bool PositiveRequired() const { return positiveRequired_; }
    const KVO::PrefixedUnit& DisplayUnit() const { return displayUnit_; }
    TJSlider* Slider() const { return slider_.get(); }
    KVOControls::StaticTextErrorProvider* UnitLabel() const { return unitLabel_.get(); }
    double SliderValue(int position) const { return sliderTable_.at(static_cast<std::size_t>(position)); }

    // Writes a value into the edit (five significant digits), shows its validity and moves the slider to the
    // nearest entry.
    void SetValue(double value, bool edit, bool keepSelection);

private:
    void ShowSDMode(double value);
    void ShowUnitsMode(double value, const KVO::PrefixedUnit& unit, bool positive);
    void ShowValidation();
    void MoveSliderNear(double value);
    double LowerLimit() const;
    double UpperLimit() const;
    std::u16string EditText() const;
    double Multiplier() const;
    void Changed();
    void EvSliderTrack();
    void EvSliderEnd();
    void EvEditChange();
    void EvEditKillFocus();
    void EvSpinDelta(int delta);
    ILMDetectionSettings* Detection() const;

    bool updating_ = false;
    // The stored height as its text showed it when loaded: the text stands for it until a slider or up-down step
    // shows another value.
    LoadedNumber loaded_;
    bool sdMode_ = true;
    bool positiveRequired_ = false;
    KVO::PrefixedUnit displayUnit_{u"S.D."};
    std::array<double, kSliderEntries> sliderTable_{};
    std::unique_ptr<owl::TEdit> edit_;
    std::unique_ptr<TJSlider> slider_;
    std::unique_ptr<owl::TStatic> minimumLabel_;
    std::unique_ptr<owl::TStatic> maximumLabel_;
    std::unique_ptr<owl::TStatic> heightLabel_;
    std::unique_ptr<KVOControls::StaticTextErrorProvider> unitLabel_;
    std::function<void()> changed_;
};

class Sub_DetectorUnStim;

// The preset combo: "User - Custom" first while the settings match no preset (and from then on), a separator
// behind it, and one between the removable presets and the fixed ones after them.
class PresetCombo : public KVOControls::MenuCombo::MenuCombo {
public:
    static constexpr const char16_t* kCustomRow = u"User - Custom";

    PresetCombo(owl::TWindow* parent, ILMDocExtension* extension, SettingsDlg& owner);
    void SetupWindow() override;

    void FillPresets();
    // The chosen row's settings into the detection settings; custom values are kept for a later return.
    void ApplySelectedPreset();
    void UpdateRemovable();

    bool Removable() const { return removable_; }
    bool CurrentIsCustom() const { return currentIsCustom_; }
    bool CustomRowPresent() const { return customRowPresent_; }
    ILMDetectionSettings* KeptCustom() const { return keptCustom_.Get(); }
    // The selected row's text (at most 199 characters).
    std::u16string SelectedText() const;

private:
    void KeepCustom();
    ILMDetectionSettings* Detection() const;

    ILMDocExtension* extension_;
    SettingsDlg& owner_;
    platform::ComPtr<ILMDetectionSettings> keptCustom_;
    bool removable_ = false;
    bool currentIsCustom_ = false;
    bool customRowPresent_ = false;
};

class Sub_DetectorUnStim : public Base::CXSubDlgDA {
public:
    static constexpr unsigned kTimerId = 108;

    Sub_DetectorUnStim(SettingsDlg* owner, IUnknown* hostDocument);
    ~Sub_DetectorUnStim() override;

    void TransferToSettings() override;
    bool ValidateSettings() override;
    void TransferFromSettings() override;
    void ScheduleUpdate(bool immediate) override;
    void OnPreviewNotice(bool live) override;
    void DoDelayedAction() override { ScheduleUpdate(true); }

    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    // The sub-page changed its value.
    void OnSubPageChanged();

    SubSub_MPH* SubPage() const { return subPage_.get(); }
    PresetCombo* Presets() const { return presets_.get(); }
    const KVO::PrefixedUnit& DetectionUnit() const { return detectionUnit_; }
    ILMDocExtension* Extension() const { return extension_.Get(); }
    // How often the page asked for the detection to be shown again.
    int UpdateRequests() const { return updateRequests_; }
    CXPreview_LM* Preview() const { return preview_.get(); }
    // The first lane gets the detection channel's value range, or follows its data when the channel has none.
    void UpdatePreviewRange();
    // The chart view record handed to the customise dialog: the dialog's, at the preview's left edge and scale.
    Dlg::ChartViewRecord CustomizeViewRecord() const;

private:
    template <class Work>
    void Guarded(Work&& work);
    void UpdateDetectionUnit();
    void EnableDelete();
    void Redraw();
    void EvPresetSelChange();
    void CmCustomize();
    void CmSavePreset();
    void CmDeletePreset();
    ILMDetectionSettings* Detection() const;

    platform::ComPtr<ILMDocExtension> extension_;
    std::unique_ptr<CXPreview_LM> preview_;
    std::unique_ptr<PresetCombo> presets_;
    std::unique_ptr<owl::TStatic> subPageFrame_;
    std::unique_ptr<SubSub_MPH> subPage_;
    std::unique_ptr<owl::TButton> deleteButton_;
    KVO::PrefixedUnit detectionUnit_;
    int updateRequests_ = 0;
};

} // namespace CX::Dlg
