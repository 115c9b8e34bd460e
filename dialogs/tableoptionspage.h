// The "Table Options" page: one check box per parameter of the analysis type, choosing the table's columns on
// the source channel, and the summary pane switch. It transfers its check boxes itself.
#pragma once

#include "controls/ballooncheckbox.h"
#include "dialogs/pagebases.h"

#include <memory>
#include <vector>

namespace CX::Dlg {

// Where the parameter check boxes go inside a boundary of width x height pixels.
struct CheckBoxGrid {
    int columns = 0;
    int rows = 0;
    int xOffset = 0;
    int yOffset = 0;
    static constexpr int kColumnPitch = 140;
    static constexpr int kRowPitch = 24;
    static constexpr int kCellWidth = 120;
    static constexpr int kCellHeight = 16;
    static CheckBoxGrid For(int count, int width, int height);
};

class Sub_TableOptions : public Base::CXSubDlg {
public:
    Sub_TableOptions(SettingsDlg* owner, IUnknown* hostDocument);
    ~Sub_TableOptions() override;

    void TransferToSettings() override;
    bool ValidateSettings() override { return true; }
    void TransferFromSettings() override { LoadAndLayout(); }
    void ScheduleUpdate(bool) override {}

    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

    int RowCount() const { return rowCount_; }
    KVOControls::TBalloonCheckBox* ParameterBox(int index) const { return boxes_[static_cast<std::size_t>(index)].get(); }

    static constexpr int kFirstBoxId = 5000;

private:
    void LoadAndLayout();
    void CheckAll(bool check);

    std::unique_ptr<owl::TCheckBox> summary_;
    std::unique_ptr<owl::TGroupBox> calculations_;
    std::unique_ptr<owl::TGroupBox> boundary_;
    std::vector<std::unique_ptr<KVOControls::TBalloonCheckBox>> boxes_;
    int rowCount_ = 0;
    int analysisType_ = 0;
};

} // namespace CX::Dlg
