// The "Detector" pages of the cardiac and action-potential, evoked-response and population-spike analyses, and
// the two sub-pages that edit how stimulus artifacts are found. Every valid change asks for a refresh of what
// shows the detection: at once for discrete actions, a second after the last keystroke while typing.
#pragma once

#include "controls/bitmapcontrols.h"
#include "dialogs/bindingkinds.h"
#include "dialogs/pagebases.h"
#include "dialogs/previewpanes.h"

#include <memory>

namespace CX::Dlg {

class Sub_DetectorBase : public Base::CXSubDlgDA {
public:
    static constexpr unsigned kTimerId = 107;
    Sub_DetectorBase(int dialogId, SettingsDlg* owner, IUnknown* hostDocument);
    ~Sub_DetectorBase() override;

    void TransferFromSettings() override;
    void ScheduleUpdate(bool immediate) override;
    void OnPreviewNotice(bool live) override;
    void DoDelayedAction() override;
    void MarkInvalidSettings() override { bindings_.RefreshMarks(); }
    virtual void LoadControls() = 0;

    void SetupWindow() override;
    void CleanupWindow() override;
    owl::TResult EvNotify(owl::uint id, owl::TNotify& info) override;

    tCtrlList& Bindings() { return bindings_; }
    // Null without a host document.
    CXPreview_Stimulated* Preview() const { return preview_.get(); }
    // The first lane gets the source channel's value range, or follows its data when the channel has none.
    void ResetPreviewRange();
    // How often the page asked for the detection to be shown again (the preview's rebuild requests).
    int UpdateRequests() const { return updateRequests_; }

protected:
    // Runs a notice's work under the owner's updating flag; a notice that arrives while it is set does nothing.
    template <class Work>
    void Guarded(Work&& work);
    // A control changed: its binding re-checks; after a valid transfer the refresh is scheduled.
    void ControlChanged(int controlId, bool immediate);
    void TransferAndSchedule(bool immediate);
    // The spinner that steps an edit, and that edit.
    virtual int SpinnerEdit(int spinnerId) const;

    tCtrlList bindings_;
    int updateRequests_ = 0;
    std::unique_ptr<CXPreview_Stimulated> preview_;
};

class Sub_DetectorCAP : public Sub_DetectorBase {
public:
    Sub_DetectorCAP(SettingsDlg* owner, IUnknown* hostDocument);
    void TransferToSettings() override { bindings_.TransferAll(); }
    bool ValidateSettings() override { return bindings_.ValidateAll(); }
    void LoadControls() override { bindings_.LoadAll(); }
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

private:
    std::unique_ptr<KVOControls::TBitmapGroupBox> detectionBox_;
};

// The evoked-response and population-spike pages: a detection method with its sub-page, and their own bindings.
class Sub_DetectorStimulated : public Sub_DetectorBase {
public:
    Sub_DetectorStimulated(int dialogId, SettingsDlg* owner, IUnknown* hostDocument);
    ~Sub_DetectorStimulated() override;
    void TransferToSettings() override;
    bool ValidateSettings() override;
    void LoadControls() override;
    void MarkInvalidSettings() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;

    Base::CXSubSubDlg* MethodPage() const { return methodPage_.get(); }
    owl::TComboBox* MethodCombo() const { return methodCombo_.get(); }

    // The listed detection methods, in combo order.
    static constexpr int kFirstMethod = 2;
    static constexpr int kMethodCount = 3;

private:
    void ShowDetectionMethodPage();
    void MethodChanged();

    std::unique_ptr<owl::TComboBox> methodCombo_;
    std::unique_ptr<owl::TGroupBox> methodFrame_;
    std::unique_ptr<KVOControls::TBitmapGroupBox> artifactBox_;
    std::unique_ptr<KVOControls::TBitmapGroupBox> detectionBox_;
    std::unique_ptr<Base::CXSubSubDlg> methodPage_;
};

class Sub_DetectorER : public Sub_DetectorStimulated {
public:
    Sub_DetectorER(SettingsDlg* owner, IUnknown* hostDocument);
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
};

class Sub_DetectorPS : public Sub_DetectorStimulated {
public:
    Sub_DetectorPS(SettingsDlg* owner, IUnknown* hostDocument);
};

// The sub-pages: their edits report to the parent page, which refreshes a second after the last change.
class DetectorSubPage : public Base::CXSubSubDlg {
public:
    DetectorSubPage(int dialogId, SettingsDlg* owner, Sub_DetectorBase* parentPage, IUnknown* hostDocument);
    void TransferToSettings() override { bindings_.TransferAll(); }
    bool ValidateSettings() override { return bindings_.ValidateAll(); }
    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    tCtrlList& Bindings() { return bindings_; }

protected:
    virtual void BeforeLoad() {}
    tCtrlList bindings_;
};

class SubSub_FixedPosition : public DetectorSubPage {
public:
    SubSub_FixedPosition(SettingsDlg* owner, Sub_DetectorBase* parentPage, IUnknown* hostDocument);
};

class SubSub_MinHeightMaxWidthSkipTime : public DetectorSubPage {
public:
    SubSub_MinHeightMaxWidthSkipTime(SettingsDlg* owner, Sub_DetectorBase* parentPage, IUnknown* hostDocument,
                                     bool onePerBlock);
    bool OnePerBlock() const { return onePerBlock_; }

private:
    void BeforeLoad() override;
    bool onePerBlock_;
};

} // namespace CX::Dlg
