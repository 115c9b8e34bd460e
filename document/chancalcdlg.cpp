#include "document/chancalcdlg.h"

#include "controls/bmptxtbutton.h"
#include "document/chancalc.h"
#include "document/cxdoc.h"
#include "document/cxsetting.h"
#include "document/paramcatalogue.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/windowplacement.h"
#include "frame/channeltoken.h"
#include "platform/owl/control.h"
#include "platform/win/commctrl.h"
#include "resources/chancalcdialog.h"
#include "resources/pictures.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

namespace CX::ChanCalc {

namespace {

using namespace Doc::SettingId;

constexpr int kMaxNumberText = 99;

const ParamCatalogue& Catalogue() { return Doc::PersistSettings::Catalogue(); }

std::u16string Format(double value, int digits)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out.precision(digits);
    out << value;
    const std::wstring text = out.str();
    return std::u16string(text.begin(), text.end());
}

// The number at the start of a control's text; 0 when there is none.
double ReadNumber(const owl::TEdit& edit)
{
    std::u16string text = edit.GetText();
    text.resize(std::min<std::size_t>(text.size(), kMaxNumberText));
    std::wistringstream in(std::wstring(text.begin(), text.end()));
    in.imbue(std::locale::classic());
    double value = 0.0;
    return in >> value ? value : 0.0;
}

// A scale value as typed, in base units; a value no float holds reads as 0 like any other text that is no number,
// so that the settings text always reads back.
float ScaleValue(double typed, double factor)
{
    const double value = typed * factor;
    const float stored = static_cast<float>(value);
    return std::isfinite(stored) ? stored : 0.0f;
}

// The caption's text with %1 replaced, loaded once.
const std::u16string& CaptionFormat()
{
    static const std::u16string format(
        KVO::LoadResourceString(KVO::ModuleInstance(), StringId::ChannelCalcDialogCaption, false).c_str());
    return format;
}

} // namespace

Dlg::Dlg(owl::TWindow* parent, IUnknown* hostDocument, SettingsCOM* settings)
    : KVO::DialogBase(parent, owl::TResId(DialogId::ChannelCalc)),
      settings_(settings),
      hostDocument_(hostDocument),
      document_(Doc::CXDoc::FromHostDocument(hostDocument)),
      typeName_(std::make_unique<owl::TEdit>(this, kTypeName)),
      parameter_(std::make_unique<owl::TComboBox>(this, kParameter)),
      settingsButton_(std::make_unique<owl::TButton>(this, kSettingsButton)),
      top_(std::make_unique<owl::TEdit>(this, kTop)),
      bottom_(std::make_unique<owl::TEdit>(this, kBottom)),
      decimalPlaces_(std::make_unique<owl::TEdit>(this, kDecimalPlaces)),
      topUnit_(std::make_unique<owl::TStatic>(this, kTopUnit)),
      bottomUnit_(std::make_unique<owl::TStatic>(this, kBottomUnit)),
      autoScale_(std::make_unique<owl::TCheckBox>(this, kAutoScale)),
      help_(std::make_unique<KVOControls::TBmpTxtButton>(this, KVO::String())),
      sourceUnit_(document_ ? document_->SourceChannelUnits() : KVO::PrefixedUnit())
{
    BuildParameterList();
}

Dlg::~Dlg() = default;

Doc::SettingsSet* Dlg::Settings() const { return DocumentSettings(hostDocument_.Get()); }

std::int32_t Dlg::RowOfPosition(const std::vector<std::int32_t>& leftOut, std::int32_t position)
{
    std::int32_t row = position;
    for (const std::int32_t out : leftOut) {
        if (out <= row) {
            ++row;
        }
    }
    return row;
}

std::int32_t Dlg::PositionOfRow(const std::vector<std::int32_t>& leftOut, std::int32_t row)
{
    const auto below = std::count_if(leftOut.begin(), leftOut.end(), [&](std::int32_t out) { return out <= row; });
    return std::max<std::int32_t>(row - static_cast<std::int32_t>(below), 0);
}

void Dlg::BuildParameterList()
{
    const Doc::SettingsSet* settings = Settings();
    analysisType_ = settings ? settings->GetInt(kAnalysisType) : -1;
    leftOut_.clear();
    if (const std::int32_t row = Catalogue().RowIndex(analysisType_, kLeftOutCode); row >= 0) {
        leftOut_.push_back(row);
    }
}

void Dlg::SetupWindow()
{
    KVO::DialogBase::SetupWindow();
    if (document_) {
        document_->Persistence().placement2.Apply(GetHandle());
    }
    UpdateParameterUnit();
    FillParameters();
    UpdateSettingsButton();
    UpdateScaleControls();
    std::u16string caption = CaptionFormat();
    if (const auto at = caption.find(u"%1"); at != caption.npos) {
        caption.replace(at, 2, ExtLib::GetChannelName(hostDocument_.Get(), settings_->Channel).View());
    }
    SetCaption(caption.c_str());
    help_->SetBitmap(PictureId::HelpGlyph);
    help_->SetTooltip(KVO::LoadResourceString(KVO::ModuleInstance(), StringId::DialogHelpTooltip, true));
    setUp_ = true;
}

void Dlg::CleanupWindow()
{
    if (document_) {
        document_->Persistence().placement2.Capture(GetHandle());
    }
    KVO::DialogBase::CleanupWindow();
}

bool Dlg::CanClose()
{
    ReadControls();
    return true;
}

void Dlg::FillParameters()
{
    BuildParameterList();
    typeName_->SetText(ParamCatalogue::AnalysisTypeName(analysisType_).c_str());
    parameter_->ClearList();
    for (std::int32_t row = 0; row < Catalogue().RowCount(analysisType_); ++row) {
        if (std::find(leftOut_.begin(), leftOut_.end(), row) == leftOut_.end()) {
            parameter_->AddString(Catalogue().ShortNameAt(analysisType_, row).c_str());
        }
    }
    WriteControls();
}

double Dlg::PrefixFactor() const
{
    return parameterUnit_.Prefix() == 0 ? 1.0 : KVO::SIPrefixMultiplier(parameterUnit_.Prefix());
}

void Dlg::WriteControls()
{
    const bool was = updating_;
    updating_ = true;
    const std::int32_t row = Catalogue().RowIndex(analysisType_, settings_->ParameterCode);
    parameter_->SetSelIndex(row < 0 ? -1 : PositionOfRow(leftOut_, row));
    decimalPlaces_->SetText(Format(settings_->DecimalPlaces, 1).c_str());
    autoScale_->SetCheck(settings_->AutoScale ? owl::BF_CHECKED : owl::BF_UNCHECKED);
    const double factor = PrefixFactor();
    top_->SetText(Format(settings_->ScaleTop / factor, 6).c_str());
    bottom_->SetText(Format(settings_->ScaleBottom / factor, 6).c_str());
    updating_ = was;
}

void Dlg::ReadControls()
{
    const int position = parameter_->GetSelIndex();
    if (position >= 0) {
        const auto& row = Catalogue().RowAt(analysisType_, RowOfPosition(leftOut_, position));
        if (row.Code >= 0) {
            settings_->ParameterCode = row.Code;
        }
    }
    const double places = ReadNumber(*decimalPlaces_);
    settings_->DecimalPlaces =
        std::isfinite(places) && std::abs(places) < 1e9 ? static_cast<std::int32_t>(places) : 0;
    settings_->AutoScale = autoScale_->IsChecked();
    const double factor = PrefixFactor();
    settings_->ScaleTop = ScaleValue(ReadNumber(*top_), factor);
    settings_->ScaleBottom = ScaleValue(ReadNumber(*bottom_), factor);
}

void Dlg::UpdateParameterUnit()
{
    if (setUp_) {
        ReadControls();
    }
    parameterUnit_ = ParamCatalogue::UnitText(settings_->ParameterCode, sourceUnit_);
    std::u16string text;
    if (parameterUnit_.Prefix() != 0) {
        text += parameterUnit_.Prefix();
    }
    text += parameterUnit_.Base();
    topUnit_->SetText(text.c_str());
    bottomUnit_->SetText(text.c_str());
}

void Dlg::UpdateSettingsButton()
{
    const int position = parameter_->GetSelIndex();
    const bool has = position >= 0 && Catalogue().RowAt(analysisType_, RowOfPosition(leftOut_, position)).HasSettings;
    settingsButton_->EnableWindow(has);
}

void Dlg::UpdateScaleControls()
{
    const bool enable = !settings_->AutoScale;
    for (const int id : {kTop, kBottom, kTopLabel, kBottomLabel, kTopUnit, kBottomUnit}) {
        ::EnableWindow(::GetDlgItem(GetHandle(), id), enable);
    }
}

owl::TResult Dlg::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (hWndCtl && notifyCode == BN_CLICKED && id == static_cast<owl::uint>(KVOControls::TBmpTxtButton::kHelpId)) {
        Doc::CXDoc::ShowHelpTopic(kHelpTopic);
        return 0;
    }
    if (hWndCtl && notifyCode == BN_CLICKED && id == static_cast<owl::uint>(kSettingsButton)) {
        if (Doc::SettingsSet* settings = Settings()) {
            settings->SetInt(kFirstSettingsTab, 1);
        }
        if (document_) {
            document_->RunSettingsDialog(2, this);
        }
        FillParameters();
        UpdateSettingsButton();
        return 0;
    }
    if (hWndCtl && notifyCode == CBN_SELCHANGE && id == static_cast<owl::uint>(kParameter)) {
        if (!updating_) {
            updating_ = true;
            UpdateParameterUnit();
            UpdateSettingsButton();
            updating_ = false;
        }
        return 0;
    }
    if (hWndCtl && notifyCode == EN_CHANGE && id == static_cast<owl::uint>(kDecimalPlaces)) {
        if (!updating_) {
            ReadControls();
            if (settings_->DecimalPlaces < 0 || settings_->DecimalPlaces > SettingsCOM::kMaxDecimalPlaces) {
                settings_->DecimalPlaces = std::clamp(settings_->DecimalPlaces, 0, SettingsCOM::kMaxDecimalPlaces);
                WriteControls();
            }
        }
        return 0;
    }
    if (hWndCtl && notifyCode == BN_CLICKED && id == static_cast<owl::uint>(kAutoScale)) {
        ReadControls();
        UpdateScaleControls();
        return 0;
    }
    return KVO::DialogBase::EvCommand(id, hWndCtl, notifyCode);
}

owl::TResult Dlg::EvNotify(owl::uint id, owl::TNotify& info)
{
    if (id == static_cast<owl::uint>(kSpinner) && info.code == UDN_DELTAPOS) {
        if (!updating_) {
            const auto& notice = reinterpret_cast<const NMUPDOWN&>(info);
            ReadControls();
            settings_->DecimalPlaces =
                std::clamp(settings_->DecimalPlaces - notice.iDelta, 0, SettingsCOM::kMaxDecimalPlaces);
            WriteControls();
        }
        return 0;
    }
    return KVO::DialogBase::EvNotify(id, info);
}

} // namespace CX::ChanCalc
