// The Baseline page ("RMP" for cardiac and action potentials): how the baseline of each peak is found, and the
// height percentages that place the peak's start and end. Population spikes use none of it: the page is
// disabled for them.
#pragma once

#include "dialogs/bindingkinds.h"
#include "dialogs/pagebases.h"

namespace CX::Dlg {

class Sub_Baseline : public Base::CXSubDlg {
public:
    Sub_Baseline(SettingsDlg* owner, IUnknown* hostDocument);

    void TransferToSettings() override { bindings_.TransferAll(); }
    bool ValidateSettings() override { return bindings_.ValidateAll(); }
    void TransferFromSettings() override;
    void ScheduleUpdate(bool) override {}
    void MarkInvalidSettings() override { bindings_.RefreshMarks(); }

    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

    tCtrlList& Bindings() { return bindings_; }
    int AnalysisType() const { return analysisType_; }

private:
    void ApplyRmpLabels();
    void UpdateValueEditState();

    tCtrlList bindings_;
    int analysisType_;
};

} // namespace CX::Dlg
