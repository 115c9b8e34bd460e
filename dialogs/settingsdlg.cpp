#include "dialogs/settingsdlg.h"

#include "controls/bmptxtbutton.h"
#include "controls/errorprovider.h"
#include "dialogs/settingswarningdlg.h"
#include "document/cxdoc.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/windowplacement.h"
#include "platform/owl/control.h"
#include "platform/owl/tabcontrol.h"
#include "resources/pictures.h"
#include "resources/settingsdialogs.h"
#include "resources/stringtable.h"

#include <map>
#include <utility>

namespace CX::Dlg {

namespace SettingId = Doc::SettingId;

namespace {
constexpr int kTypeComboId = 1023;
constexpr int kSourceComboId = 1062;
constexpr int kSelectionRadioId = 1024;
constexpr int kChannelRadioId = 1025;
constexpr int kTabControlId = 1022;
constexpr int kTypeLabelId = 1076;
constexpr int kSourceLabelId = 1029;
constexpr int kSetupGroupId = 1027;
constexpr int kHelpButtonId = 9;
constexpr int kSourceMarkId = 1078;
constexpr std::int32_t kNoPosition = 0x7FFFFFFF;
constexpr const char16_t* kTabNames[SettingsDlg::kTabCount] = {u"Detector", u"Baseline", u"Calculations",
                                                                u"Table Options"};

std::map<std::pair<int, int>, PageFactory>& PageTable()
{
    static std::map<std::pair<int, int>, PageFactory> table;
    return table;
}

void SetInt(Doc::SettingsSet& settings, std::int32_t id, std::int32_t value)
{
    if (auto* setting = dynamic_cast<Doc::CXSettingInt*>(settings.Find(id))) {
        setting->SetValue(value);
    }
}

// Holds the updating flag for a scope when it was clear.
class UpdatingScope {
public:
    explicit UpdatingScope(SettingsDlg& dialog) : dialog_(dialog), set_(!dialog.IsUpdating())
    {
        dialog_.SetUpdating(true);
    }
    ~UpdatingScope()
    {
        if (set_) {
            dialog_.SetUpdating(false);
        }
    }

private:
    SettingsDlg& dialog_;
    bool set_;
};
} // namespace

std::u16string SettingsDlgSite::ChannelName(int) { return u"?"; }
bool SettingsDlgSite::ChannelUnit(int, std::int32_t, SourceUnitRecord&) { return false; }
bool SettingsDlgSite::IsModuleChannelCalculation(int) { return false; }
void SettingsDlgSite::Selection(std::int32_t*, std::int32_t*) {}
HRESULT SettingsDlgSite::ShowHelpTopic(const char16_t*) { return E_FAIL; }

void RegisterPage(int analysisType, int tab, PageFactory factory) { PageTable()[{analysisType, tab}] = factory; }

PageFactory FindPage(int analysisType, int tab)
{
    if (analysisType < 0 || analysisType > 5 || tab < 0 || tab >= SettingsDlg::kTabCount) {
        return nullptr;
    }
    const auto& table = PageTable();
    if (const auto own = table.find({analysisType, tab}); own != table.end()) {
        return own->second;
    }
    const auto any = table.find({-1, tab});
    return any != table.end() ? any->second : nullptr;
}

SettingsDlg::SettingsDlg(owl::TWindow* parent, const Doc::SettingsSet& documentSettings, SettingsDlgSite& site,
                         int mode, const ChartViewRecord& view)
    : KVO::DialogBase(parent, DialogId::Settings), settings_(documentSettings.Catalogue()), view_(view),
      site_(site), mode_(mode)
{
    UpdatingScope updating(*this);
    settings_.Assign(documentSettings);
    // The stored channel is clamped before its group is added, so that no group is made for a channel that
    // the document does not have.
    const std::int32_t channels = site_.ChannelCount();
    const std::int32_t source = settings_.GetLong(SettingId::kSourceChannel);
    if (source < 0 || source >= channels) {
        settings_.SetLong(SettingId::kSourceChannel, 0);
    }
    settings_.AddChannel(settings_.GetLong(SettingId::kSourceChannel), -1, site_.HostDocument());
    settings_.SetBool(SettingId::kNoCurrentResult, false);

    typeCombo_ = std::make_unique<owl::TComboBox>(this, kTypeComboId);
    sourceCombo_ = std::make_unique<owl::TComboBox>(this, kSourceComboId);
    selectionRadio_ = std::make_unique<owl::TRadioButton>(this, kSelectionRadioId);
    channelRadio_ = std::make_unique<owl::TRadioButton>(this, kChannelRadioId);
    tabs_ = std::make_unique<owl::TTabControl>(this, kTabControlId);
    typeLabel_ = std::make_unique<owl::TStatic>(this, kTypeLabelId);
    sourceLabel_ = std::make_unique<owl::TStatic>(this, kSourceLabelId);
    setupGroup_ = std::make_unique<owl::TGroupBox>(this, kSetupGroupId);
    helpButton_ = std::make_unique<KVOControls::TBmpTxtButton>(this, KVO::String());
    sourceMark_ = std::make_unique<KVOControls::ErrorProvider>(this, kSourceMarkId);
    RefreshSourceUnit();
}

SettingsDlg::~SettingsDlg()
{
    if (page_ && page_->GetHandle()) {
        page_->Destroy(2);
    }
    sourceMark_.reset();
    page_.reset();
}

void SettingsDlg::SetupWindow()
{
    UpdatingScope updating(*this);
    KVO::DialogBase::SetupWindow();
    if (KVO::WindowPlacement* placement = site_.Placement()) {
        placement->Apply(GetHandle());
    }

    for (const char16_t* name : kTabNames) {
        tabs_->Add(name);
    }
    tabs_->SetSel(settings_.GetInt(SettingId::kFirstSettingsTab));

    for (int position = 0; position < 6; ++position) {
        typeCombo_->AddString(ParamCatalogue::AnalysisTypeName(Doc::AnalysisTypeAtListPosition(position)).c_str());
    }
    std::int32_t type = settings_.GetInt(SettingId::kAnalysisType);
    if (type < 0 || type > 5) {
        type = 0;
    }
    typeCombo_->SetSelIndex(Doc::TypeListPosition(type));
    SetInt(settings_, SettingId::kAnalysisType, type);

    if (mode_ != 0) {
        for (owl::TWindow* locked : std::initializer_list<owl::TWindow*>{
                 typeCombo_.get(), typeLabel_.get(), sourceCombo_.get(), selectionRadio_.get(),
                 channelRadio_.get(), sourceLabel_.get(), setupGroup_.get()}) {
            locked->EnableWindow(false);
        }
    }

    const int channels = site_.ChannelCount();
    for (int channel = 0; channel < channels; ++channel) {
        sourceCombo_->AddString(site_.ChannelName(channel).c_str());
    }
    std::int32_t source = settings_.GetLong(SettingId::kSourceChannel);
    if (source < 0 || source >= channels) {
        source = 0;
        settings_.SetLong(SettingId::kSourceChannel, 0);
    }
    sourceCombo_->SetSelIndex(source);
    settings_.AddChannel(source, -1, site_.HostDocument());

    const bool selection = settings_.GetBool(SettingId::kAnalyseSelection);
    selectionRadio_->SetCheck(selection ? owl::BF_CHECKED : owl::BF_UNCHECKED);
    channelRadio_->SetCheck(selection ? owl::BF_UNCHECKED : owl::BF_CHECKED);

    CreatePage();

    helpButton_->SetBitmap(PictureId::HelpGlyph);
    helpButton_->SetTooltip(KVO::LoadResourceString(KVO::ModuleInstance(), StringId::DialogHelpTooltip, true));
    CheckSourceChannel();
}

void SettingsDlg::CleanupWindow()
{
    KVO::DialogBase::CleanupWindow();
    if (KVO::WindowPlacement* placement = site_.Placement()) {
        placement->Capture(GetHandle());
    }
}

owl::TResult SettingsDlg::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (hWndCtl) {
        if (notifyCode == CBN_SELCHANGE && id == kTypeComboId) {
            EvAnalysisTypeChange();
            return 0;
        }
        if (notifyCode == CBN_SELCHANGE && id == kSourceComboId) {
            EvSourceChange();
            return 0;
        }
        if (notifyCode == BN_CLICKED && (id == kSelectionRadioId || id == kChannelRadioId)) {
            EvRangeClicked();
            return 0;
        }
        if (notifyCode == BN_CLICKED && id == kHelpButtonId) {
            CmHelp();
            return 0;
        }
    }
    return KVO::DialogBase::EvCommand(id, hWndCtl, notifyCode);
}

owl::TResult SettingsDlg::EvNotify(owl::uint id, owl::TNotify& info)
{
    if (id == kTabControlId && info.code == TCN_SELCHANGE) {
        EvTabSelChange();
        return 0;
    }
    return KVO::DialogBase::EvNotify(id, info);
}

void SettingsDlg::TransferTopLevel()
{
    if (page_) {
        page_->TransferToSettings();
    }
    settings_.SetBool(SettingId::kAnalyseSelection, selectionRadio_->IsChecked());
    SetInt(settings_, SettingId::kAnalysisType, Doc::AnalysisTypeAtListPosition(typeCombo_->GetSelIndex()));
}

bool SettingsDlg::CheckSourceChannel()
{
    const bool valid = !site_.IsModuleChannelCalculation(sourceCombo_->GetSelIndex());
    sourceMark_->SetError(!valid, KVO::String(u"Invalid Source Channel"),
                          KVO::String(u"The source channel can not be set to a Crestmetrics channel calculation"));
    return valid;
}

void SettingsDlg::CreatePage()
{
    const int tab = tabs_->GetSel();
    SetInt(settings_, SettingId::kFirstSettingsTab, tab < 0 ? 0 : tab);
    const std::int32_t type = settings_.GetInt(SettingId::kAnalysisType);
    tabs_->SetText(1, type == 1 || type == 5 ? u"RMP" : u"Baseline");

    std::unique_ptr<Base::CXSubDlg> old = std::move(page_);
    if (const PageFactory factory = FindPage(type, tab < 0 ? 0 : tab)) {
        page_.reset(factory(*this, site_.HostDocument()));
    }
    if (page_) {
        page_->Create();
        owl::TRect area;
        tabs_->GetWindowRect(area);
        tabs_->AdjustRect(false, area);
        page_->PositionInParent(area);
        // The page lies over the tab control (just above it in the stacking order).
        HWND above = ::GetWindow(tabs_->GetHandle(), GW_HWNDPREV);
        ::SetWindowPos(page_->GetHandle(), above ? above : HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (old) {
        old->Destroy(2);
        old.reset();
    }
    EvRangeClicked();
}

void SettingsDlg::EvRangeClicked()
{
    if (!page_) {
        return;
    }
    const bool wholeChannel = channelRadio_->IsChecked();
    if (wholeChannel) {
        for (std::int32_t id = SettingId::kRangeStartBlock; id <= SettingId::kRangeEndTick; ++id) {
            settings_.SetLong(id, -1);
        }
    } else {
        std::int32_t start[2] = {kNoPosition, kNoPosition};
        std::int32_t end[2] = {kNoPosition, kNoPosition};
        site_.Selection(start, end);
        settings_.SetLong(SettingId::kRangeStartTick, start[0]);
        settings_.SetLong(SettingId::kRangeStartBlock, start[1]);
        settings_.SetLong(SettingId::kRangeEndTick, end[0]);
        settings_.SetLong(SettingId::kRangeEndBlock, end[1]);
    }
    page_->OnPreviewNotice(wholeChannel);
}

void SettingsDlg::Refuse()
{
    if (page_) {
        page_->MarkInvalidSettings();
    }
    SettingsWarningDlg::Show(this);
}

void SettingsDlg::CmOk()
{
    TransferTopLevel();
    const bool pageValid = page_ && page_->ValidateSettings();
    const bool sourceValid = CheckSourceChannel();
    if (pageValid && sourceValid) {
        KVO::DialogBase::CmOk();
    } else {
        Refuse();
    }
}

bool SettingsDlg::CanClose()
{
    TransferTopLevel();
    return page_ && page_->ValidateSettings() && KVO::DialogBase::CanClose();
}

void SettingsDlg::SwitchPage(void (SettingsDlg::*restoreChoice)())
{
    if (updating_) {
        return;
    }
    UpdatingScope updating(*this);
    if (page_ && page_->ValidateSettings()) {
        TransferTopLevel();
        CreatePage();
    } else {
        (this->*restoreChoice)();
        Refuse();
    }
}

void SettingsDlg::RestoreTab() { tabs_->SetSel(settings_.GetInt(SettingId::kFirstSettingsTab)); }

void SettingsDlg::RestoreType()
{
    typeCombo_->SetSelIndex(Doc::TypeListPosition(settings_.GetInt(SettingId::kAnalysisType)));
}

void SettingsDlg::EvTabSelChange() { SwitchPage(&SettingsDlg::RestoreTab); }

void SettingsDlg::EvAnalysisTypeChange() { SwitchPage(&SettingsDlg::RestoreType); }

void SettingsDlg::EvSourceChange()
{
    if (updating_) {
        return;
    }
    const std::int32_t old = settings_.GetLong(SettingId::kSourceChannel);
    // Invalid values of the old channel are refused here as at a tab change: otherwise they would land in a
    // group that is never judged again and be saved on OK.
    if (page_ && !page_->ValidateSettings()) {
        {
            UpdatingScope updating(*this);
            sourceCombo_->SetSelIndex(old);
        }
        CheckSourceChannel();
        Refuse();
        return;
    }
    CheckSourceChannel();
    if (page_) {
        page_->TransferToSettings();
    }
    {
        UpdatingScope updating(*this);
        const std::int32_t chosen = sourceCombo_->GetSelIndex();
        settings_.AddChannel(chosen, old, site_.HostDocument());
        settings_.SetLong(SettingId::kSourceChannel, chosen);
        RefreshSourceUnit();
    }
    if (page_) {
        page_->TransferFromSettings();
    }
}

void SettingsDlg::CmHelp() { site_.ShowHelpTopic(u"cx_settingsdialog"); }

void SettingsDlg::RefreshSourceUnit()
{
    sourceUnit_ = SourceUnitRecord();
    site_.ChannelUnit(settings_.GetLong(SettingId::kSourceChannel), view_.block, sourceUnit_);
}

bool RunSettingsDialog(Doc::SettingsSet& settings, owl::TWindow* parent, SettingsDlgSite& site, int mode,
                       const ChartViewRecord& view)
{
    SettingsDlg dialog(parent, settings, site, mode, view);
    if (dialog.Execute() != IDOK) {
        return false;
    }
    settings.Assign(dialog.Settings());
    return true;
}

bool RunSettingsDialog(Doc::CXDoc& document, owl::TWindow* parent, SettingsDlgSite& site, int mode,
                       const ChartViewRecord& view)
{
    return RunSettingsDialog(document.Settings(), parent, site, mode, view);
}

bool RunSettingsDialog(Doc::SettingsSet& settings, owl::TWindow* parent)
{
    SettingsDlgSite noHost;
    return RunSettingsDialog(settings, parent, noHost);
}

} // namespace CX::Dlg
