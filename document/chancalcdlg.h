// The dialog of the channel calculation: which parameter the channel outputs, its scale and decimal places, and
// auto scaling. It edits one settings object in place; the edit command acts on OK.
#pragma once

#include "controls/dialogbase.h"
#include "foundation/prefixedunit.h"
#include "platform/com/unknown.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace owl {
class TStatic;
class TEdit;
class TComboBox;
class TButton;
class TCheckBox;
}
namespace KVOControls {
class TBmpTxtButton;
}

namespace CX::Doc {
class CXDoc;
class SettingsSet;
}

namespace CX::ChanCalc {

class SettingsCOM;

class Dlg : public KVO::DialogBase {
public:
    static constexpr int kTypeName = 111;
    static constexpr int kParameter = 1001;
    static constexpr int kSettingsButton = 1062;
    static constexpr int kTopLabel = 108;
    static constexpr int kTop = 110;
    static constexpr int kTopUnit = 112;
    static constexpr int kBottomLabel = 113;
    static constexpr int kBottom = 114;
    static constexpr int kBottomUnit = 116;
    static constexpr int kDecimalPlaces = 126;
    static constexpr int kSpinner = 128;
    static constexpr int kAutoScale = 129;
    static constexpr std::int32_t kLeftOutCode = 58; // time and date
    static constexpr const char16_t* kHelpTopic = u"CX_ChannelCalc";

    Dlg(owl::TWindow* parent, IUnknown* hostDocument, SettingsCOM* settings);
    ~Dlg() override;

    void SetupWindow() override;
    void CleanupWindow() override;
    bool CanClose() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    owl::TResult EvNotify(owl::uint id, owl::TNotify& info) override;

    // Combo positions and catalogue rows of the analysis type, past the rows that are left out.
    static std::int32_t RowOfPosition(const std::vector<std::int32_t>& leftOut, std::int32_t position);
    static std::int32_t PositionOfRow(const std::vector<std::int32_t>& leftOut, std::int32_t row);

private:
    Doc::SettingsSet* Settings() const;
    void BuildParameterList();
    void FillParameters();
    void WriteControls();
    void ReadControls();
    void UpdateParameterUnit();
    void UpdateSettingsButton();
    void UpdateScaleControls();
    double PrefixFactor() const;

    bool updating_ = false;
    bool setUp_ = false;
    platform::ComPtr<SettingsCOM> settings_;
    platform::ComPtr<IUnknown> hostDocument_;
    Doc::CXDoc* document_;
    std::int32_t analysisType_ = -1;
    std::vector<std::int32_t> leftOut_;
    std::unique_ptr<owl::TEdit> typeName_;
    std::unique_ptr<owl::TComboBox> parameter_;
    std::unique_ptr<owl::TButton> settingsButton_;
    std::unique_ptr<owl::TEdit> top_;
    std::unique_ptr<owl::TEdit> bottom_;
    std::unique_ptr<owl::TEdit> decimalPlaces_;
    std::unique_ptr<owl::TStatic> topUnit_;
    std::unique_ptr<owl::TStatic> bottomUnit_;
    std::unique_ptr<owl::TCheckBox> autoScale_;
    std::unique_ptr<KVOControls::TBmpTxtButton> help_;
    KVO::PrefixedUnit sourceUnit_;
    KVO::PrefixedUnit parameterUnit_;
};

} // namespace CX::ChanCalc
