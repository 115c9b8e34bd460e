// The settings dialog: the analysis type, source channel and analysed range on top, and under a tab control one
// page for the pair (analysis type, tab). It edits its own copy of a document's settings and refuses OK, a tab,
// type or source change while the page holds invalid values, showing the invalid-settings notice.
#pragma once

#include "controls/dialogbase.h"
#include "dialogs/pagebases.h"
#include "document/settingsset.h"

#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>

namespace owl {
class TComboBox;
class TRadioButton;
class TTabControl;
class TStatic;
class TGroupBox;
}
namespace KVOControls {
class TBmpTxtButton;
class ErrorProvider;
}
namespace KVO {
class WindowPlacement;
}

namespace CX::Doc {
class CXDoc;
}

namespace CX::Dlg {

// What the settings command reads from the host chart before it opens the dialog; the previews read it.
struct ChartViewRecord {
    std::int32_t selectionStart[2] = {0, 0};
    double timeScale = 0.0;
    double valueLower = DBL_MAX;
    double valueUpper = -DBL_MAX;
    double spareLower = DBL_MAX;
    double spareUpper = -DBL_MAX;
    std::int32_t block = 0; // the second word of the selection start
};

// The source channel's unit; the unit edits of the pages copy it.
struct SourceUnitRecord {
    std::u16string unit = u"V";
    char16_t prefix = u'm';
};

// What the dialog asks of the host document and the analysis document. The defaults are those of a dialog
// without a host document: 16 channels named "?", no unit, no selection, no help.
class SettingsDlgSite {
public:
    virtual ~SettingsDlgSite() = default;
    virtual IUnknown* HostDocument() { return nullptr; }
    virtual int ChannelCount() { return 16; }
    virtual std::u16string ChannelName(int channel);
    // Fills the unit of the channel at the block; false leaves the record as it is.
    virtual bool ChannelUnit(int channel, std::int32_t block, SourceUnitRecord& unit);
    // True when the channel's unit name is not the same in every record of the document.
    virtual bool UnitNamesDiffer(int) { return false; }
    // True when the channel is one of this module's channel calculations (it cannot be a source).
    virtual bool IsModuleChannelCalculation(int channel);
    // The host's selection, start and end as two words each; words the host does not give stay as they are.
    virtual void Selection(std::int32_t start[2], std::int32_t end[2]);
    virtual HRESULT ShowHelpTopic(const char16_t* topic);
    // The stored placement of the settings dialog, or null.
    virtual KVO::WindowPlacement* Placement() { return nullptr; }
};

class SettingsDlg;

// Builds the page of a pair (analysis type, tab); pages of the later settings pages plug in here.
using PageFactory = Base::CXSubDlg* (*)(SettingsDlg& owner, IUnknown* hostDocument);
// Registers the page of a tab for one analysis type, or for every type with analysisType -1. A registration for
// one type wins over the one for every type.
void RegisterPage(int analysisType, int tab, PageFactory factory);
PageFactory FindPage(int analysisType, int tab);

class SettingsDlg : public KVO::DialogBase {
public:
    static constexpr int kTabCount = 4;

    SettingsDlg(owl::TWindow* parent, const Doc::SettingsSet& documentSettings, SettingsDlgSite& site, int mode,
                const ChartViewRecord& view);
    ~SettingsDlg() override;

    Doc::SettingsSet& Settings() { return settings_; }
    bool IsUpdating() const { return updating_; }
    void SetUpdating(bool updating) { updating_ = updating; }
    const ChartViewRecord& View() const { return view_; }
    const SourceUnitRecord& SourceUnit() const { return sourceUnit_; }
    SettingsDlgSite& Site() { return site_; }
    Base::CXSubDlg* Page() const { return page_.get(); }
    owl::TTabControl* Tabs() const { return tabs_.get(); }
    owl::TComboBox* TypeCombo() const { return typeCombo_.get(); }
    owl::TComboBox* SourceCombo() const { return sourceCombo_.get(); }
    KVOControls::ErrorProvider* SourceMark() const { return sourceMark_.get(); }

    void CmOk() override;
    bool CanClose() override;
    void SetupWindow() override;
    void CleanupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    owl::TResult EvNotify(owl::uint id, owl::TNotify& info) override;

    void TransferTopLevel();
    bool CheckSourceChannel();
    void CreatePage();

private:
    // A tab or type change: only a valid page is replaced; otherwise the choice returns to the page shown.
    void SwitchPage(void (SettingsDlg::*restoreChoice)());
    void RestoreTab();
    void RestoreType();
    void EvTabSelChange();
    void EvAnalysisTypeChange();
    void EvSourceChange();
    void EvRangeClicked();
    void CmHelp();
    void RefreshSourceUnit();
    // Shows the page's invalid marks and the notice.
    void Refuse();

    Doc::SettingsSet settings_;
    bool updating_ = false;
    ChartViewRecord view_;
    SettingsDlgSite& site_;
    std::unique_ptr<owl::TComboBox> typeCombo_;
    std::unique_ptr<owl::TComboBox> sourceCombo_;
    std::unique_ptr<owl::TRadioButton> selectionRadio_;
    std::unique_ptr<owl::TRadioButton> channelRadio_;
    std::unique_ptr<owl::TTabControl> tabs_;
    std::unique_ptr<owl::TStatic> typeLabel_;
    std::unique_ptr<owl::TStatic> sourceLabel_;
    std::unique_ptr<owl::TGroupBox> setupGroup_;
    std::unique_ptr<KVOControls::TBmpTxtButton> helpButton_;
    std::unique_ptr<KVOControls::ErrorProvider> sourceMark_;
    std::unique_ptr<Base::CXSubDlg> page_;
    SourceUnitRecord sourceUnit_;
    int mode_;
};

// Opens the settings dialog modally over a copy of the settings and assigns the copy back only when the user
// closes it with OK. Mode 0 lets the user change the analysis type, source channel and range; any other mode
// locks them. Returns true after OK.
bool RunSettingsDialog(Doc::SettingsSet& settings, owl::TWindow* parent, SettingsDlgSite& site, int mode = 0,
                       const ChartViewRecord& view = {});
// The same on the settings of an analysis document.
bool RunSettingsDialog(Doc::CXDoc& document, owl::TWindow* parent, SettingsDlgSite& site, int mode = 0,
                       const ChartViewRecord& view = {});
// Without a host: 16 channels named "?", no units, selection or help.
bool RunSettingsDialog(Doc::SettingsSet& settings, owl::TWindow* parent);

} // namespace CX::Dlg
