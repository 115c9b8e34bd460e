// The "Calculations" pages: one per analysis type, each editing the settings of the parameters its type
// measures (area and slope windows, rise and fall, value location, tau fit, plateaus, triangulation, steepest
// downhill slope). They share one base and differ in their template and bindings.
#pragma once

#include "dialogs/bindingkinds.h"
#include "dialogs/pagebases.h"

#include <span>

namespace CX::Dlg {

// One row of a page's binding table. A pair row opens an ordered pair whose two members are the next two rows.
struct CalcBinding {
    enum Kind { PairLess, PairGreater, PairLessOrEqual, Edit, IntEdit, EnumButton, UnitsEdit, ApdList };
    Kind kind;
    int control = 0;
    int markOrLabel = 0; // the mark of an edit, the unit label of a unit edit
    int setting = 0;
    int limitOrValue = 0; // an edit's text limit, a button's value
};

class CalcBaseSubDlg : public Base::CXSubDlg {
public:
    CalcBaseSubDlg(int dialogId, SettingsDlg* owner, IUnknown* hostDocument, std::span<const CalcBinding> bindings);

    void TransferToSettings() override { bindings_.TransferAll(); }
    bool ValidateSettings() override { return bindings_.ValidateAll(); }
    void TransferFromSettings() override;
    void ScheduleUpdate(bool) override {}
    void MarkInvalidSettings() override { bindings_.RefreshMarks(); }

    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

    tCtrlList& Bindings() { return bindings_; }

protected:
    // After every load: the general page enables its fixed-B edit.
    virtual void AfterLoad() {}

    tCtrlList bindings_;
};

class Sub_CalcGen : public CalcBaseSubDlg {
public:
    Sub_CalcGen(SettingsDlg* owner, IUnknown* hostDocument);
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

private:
    void AfterLoad() override { UpdateFixedBState(); }
    void UpdateFixedBState();
};

class Sub_CalcCAP : public CalcBaseSubDlg {
public:
    Sub_CalcCAP(SettingsDlg* owner, IUnknown* hostDocument);
};

class Sub_CalcSynap : public CalcBaseSubDlg {
public:
    Sub_CalcSynap(SettingsDlg* owner, IUnknown* hostDocument);
};

class Sub_CalcER : public CalcBaseSubDlg {
public:
    Sub_CalcER(SettingsDlg* owner, IUnknown* hostDocument);
};

class Sub_CalcPS : public CalcBaseSubDlg {
public:
    Sub_CalcPS(SettingsDlg* owner, IUnknown* hostDocument);
};

class Sub_CalcNAP : public CalcBaseSubDlg {
public:
    Sub_CalcNAP(SettingsDlg* owner, IUnknown* hostDocument);
};

} // namespace CX::Dlg
