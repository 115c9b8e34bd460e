// Bindings of a settings page's dialog controls to setting ids of the edited settings: each binding moves a value
// between its control and its setting, judges it, and shows or clears its error mark. A list owns a page's
// bindings and the sub-lists that judge several bindings together.
#pragma once

#include "document/settingsset.h"
#include "platform/owl/window.h"

#include <memory>
#include <vector>

namespace KVOControls {
class ErrorProvider;
class StaticTextErrorProvider;
}

namespace CX {

class tCtrl {
public:
    // A mark id of 1 or more puts an error mark over that control of the parent.
    tCtrl(int controlId, int markId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent);
    tCtrl(const tCtrl&) = delete;
    tCtrl& operator=(const tCtrl&) = delete;
    virtual ~tCtrl();

    virtual void ControlToSetting() = 0;
    // Loads the control, then shows or clears the mark by the binding's validity. The base only re-checks.
    virtual void SettingToControl();
    virtual void Enable(bool enable) = 0;
    virtual void ApplyVisibility() = 0;
    virtual void OnControlChanged() {}
    virtual int OnNotify(WPARAM wParam, NMHDR* record);
    // Transfers first. A binding whose setting is missing or of another kind holds no value and is valid.
    virtual bool Validate();
    virtual void ShowError(bool show);
    // True when the binding has no setting or the settings hold its setting with the class it needs.
    bool BindsSettingOfItsKind() const { return settingId_ < 0 || BoundSetting(); }
    // The bound setting when it has the class this kind binds, else null (the binding then holds no value).
    virtual Doc::CXSetting* BoundSetting() const { return Setting(); }

    int ControlId() const { return controlId_; }
    int SettingId() const { return settingId_; }
    int MarkId() const { return markId_; }
    bool IsHidden() const { return hidden_; }
    void SetHiddenFlag(bool hidden) { hidden_ = hidden; }
    KVOControls::ErrorProvider* ErrorMark() const { return errorMark_.get(); }
    KVOControls::StaticTextErrorProvider* LabelMark() const { return labelMark_.get(); }
    // Shows a caption and message on the binding's mark (error mark, else label mark); false when it has none.
    bool ShowMark(bool show, const KVO::String& caption, const KVO::String& message);

protected:
    // The bound setting, or null when the settings hold no setting of this id.
    Doc::CXSetting* Setting() const;
    // The bound setting when it is of the class T, else null.
    template <class T>
    T* SettingAs() const
    {
        return dynamic_cast<T*>(Setting());
    }

    bool hidden_ = false;
    Doc::SettingsSet* settings_;
    owl::TWindow* parent_;
    int settingId_;
    int controlId_;
    int markId_;
    std::unique_ptr<KVOControls::ErrorProvider> errorMark_;
    std::unique_ptr<KVOControls::StaticTextErrorProvider> labelMark_;
};

// A binding of a numeric setting; ordered pairs compare their members through GetValue.
class tValueCtrl : public tCtrl {
public:
    using tCtrl::tCtrl;
    // Transfers, then the setting's value; NaN when the binding holds no value.
    virtual double GetValue();
};

class tCtrlList {
public:
    tCtrlList() = default;
    tCtrlList(const tCtrlList&) = delete;
    tCtrlList& operator=(const tCtrlList&) = delete;
    virtual ~tCtrlList() = default;

    virtual tCtrlList* AddList(tCtrlList* list);
    virtual void AddCtrl(tCtrl* ctrl);
    virtual void LoadAll();
    virtual void TransferAll();
    virtual bool ValidateAll();
    virtual int OnControlChanged(int controlId);
    virtual int SetHidden(int controlId, bool hidden);
    virtual void EnableAll(bool enable);
    virtual int Notify(int controlId, WPARAM wParam, NMHDR* record);
    // Shows the mark of every visible binding by its validity (and a sub-list's own marks, such as an order
    // mark), so that a refused page shows why.
    virtual void RefreshMarks();

    // The binding of the id held by this list or one of its direct sub-lists, or null.
    tCtrl* FindCtrl(int controlId) const;
    // The first sub-list whose own bindings hold the id, or -1.
    int FindSubListIndex(int controlId) const;

    std::size_t Count() const { return ctrls_.size(); }
    tCtrl* At(std::size_t index) const { return ctrls_[index].get(); }
    std::size_t SubListCount() const { return lists_.size(); }
    tCtrlList* SubListAt(std::size_t index) const { return lists_[index].get(); }

protected:
    // A binding of the list's own array, or null.
    tCtrl* OwnCtrl(int controlId) const;

private:
    // Declared first so that the bindings go before the sub-lists.
    std::vector<std::unique_ptr<tCtrlList>> lists_;
    std::vector<std::unique_ptr<tCtrl>> ctrls_;
};

} // namespace CX
