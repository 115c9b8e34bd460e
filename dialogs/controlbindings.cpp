#include "dialogs/controlbindings.h"

#include "controls/errorprovider.h"
#include "document/settingsmessages.h"

#include <cmath>
#include <limits>

namespace CX {

tCtrl::tCtrl(int controlId, int markId, int settingId, Doc::SettingsSet* settings, owl::TWindow* parent)
    : settings_(settings), parent_(parent), settingId_(settingId), controlId_(controlId), markId_(markId)
{
    if (markId_ >= 1) {
        errorMark_ = std::make_unique<KVOControls::ErrorProvider>(parent, markId_);
    }
}

tCtrl::~tCtrl() = default;

Doc::CXSetting* tCtrl::Setting() const
{
    return settings_ && settingId_ >= 0 ? settings_->Find(settingId_) : nullptr;
}

void tCtrl::SettingToControl() { ShowError(!Validate()); }

int tCtrl::OnNotify(WPARAM, NMHDR*) { return 0; }

bool tCtrl::Validate()
{
    ControlToSetting();
    const Doc::CXSetting* setting = BoundSetting();
    return !setting || setting->IsValid();
}

void tCtrl::ShowError(bool show)
{
    if (markId_ < 1 || !errorMark_) {
        return;
    }
    if (show) {
        Doc::SettingsMessage text;
        Doc::SettingsMessages::Lookup(settingId_, text);
        errorMark_->SetError(true, KVO::String(text.Caption), KVO::String(text.Text));
    } else {
        errorMark_->SetError(false, KVO::String(), KVO::String());
    }
}

bool tCtrl::ShowMark(bool show, const KVO::String& caption, const KVO::String& message)
{
    if (errorMark_) {
        errorMark_->SetError(show, caption, message);
        return true;
    }
    if (labelMark_) {
        labelMark_->SetError(show, caption, message);
        return true;
    }
    return false;
}

double tValueCtrl::GetValue()
{
    ControlToSetting();
    const Doc::CXSetting* setting = BoundSetting();
    return setting ? setting->AsDouble() : std::numeric_limits<double>::quiet_NaN();
}

tCtrlList* tCtrlList::AddList(tCtrlList* list)
{
    lists_.emplace_back(list);
    return list;
}

void tCtrlList::AddCtrl(tCtrl* ctrl) { ctrls_.emplace_back(ctrl); }

tCtrl* tCtrlList::OwnCtrl(int controlId) const
{
    for (const auto& ctrl : ctrls_) {
        if (ctrl->ControlId() == controlId) {
            return ctrl.get();
        }
    }
    return nullptr;
}

int tCtrlList::FindSubListIndex(int controlId) const
{
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        if (lists_[i]->OwnCtrl(controlId)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

tCtrl* tCtrlList::FindCtrl(int controlId) const
{
    if (tCtrl* own = OwnCtrl(controlId)) {
        return own;
    }
    const int sub = FindSubListIndex(controlId);
    return sub >= 0 ? lists_[static_cast<std::size_t>(sub)]->OwnCtrl(controlId) : nullptr;
}

void tCtrlList::LoadAll()
{
    for (const auto& ctrl : ctrls_) {
        ctrl->SettingToControl();
        ctrl->ApplyVisibility();
    }
    for (const auto& list : lists_) {
        list->LoadAll();
    }
}

void tCtrlList::TransferAll()
{
    for (const auto& ctrl : ctrls_) {
        if (!ctrl->IsHidden()) {
            ctrl->ControlToSetting();
        }
    }
    for (const auto& list : lists_) {
        list->TransferAll();
    }
}

bool tCtrlList::ValidateAll()
{
    for (const auto& ctrl : ctrls_) {
        if (!ctrl->IsHidden() && !ctrl->Validate()) {
            return false;
        }
    }
    for (const auto& list : lists_) {
        if (!list->ValidateAll()) {
            return false;
        }
    }
    return true;
}

int tCtrlList::OnControlChanged(int controlId)
{
    if (tCtrl* own = OwnCtrl(controlId)) {
        own->OnControlChanged();
        return 1;
    }
    const int sub = FindSubListIndex(controlId);
    return sub >= 0 ? lists_[static_cast<std::size_t>(sub)]->OnControlChanged(controlId) : 0;
}

int tCtrlList::SetHidden(int controlId, bool hidden)
{
    if (tCtrl* own = OwnCtrl(controlId)) {
        own->SetHiddenFlag(hidden);
        own->ApplyVisibility();
        return 1;
    }
    const int sub = FindSubListIndex(controlId);
    return sub >= 0 ? lists_[static_cast<std::size_t>(sub)]->SetHidden(controlId, hidden) : 0;
}

void tCtrlList::EnableAll(bool enable)
{
    for (const auto& ctrl : ctrls_) {
        ctrl->Enable(enable);
    }
    for (const auto& list : lists_) {
        list->EnableAll(enable);
    }
}

int tCtrlList::Notify(int controlId, WPARAM wParam, NMHDR* record)
{
    if (tCtrl* own = OwnCtrl(controlId)) {
        return own->OnNotify(wParam, record);
    }
    const int sub = FindSubListIndex(controlId);
    return sub >= 0 ? lists_[static_cast<std::size_t>(sub)]->Notify(controlId, wParam, record) : 0;
}

void tCtrlList::RefreshMarks()
{
    for (const auto& ctrl : ctrls_) {
        if (!ctrl->IsHidden()) {
            ctrl->ShowError(!ctrl->Validate());
        }
    }
    for (const auto& list : lists_) {
        list->RefreshMarks();
    }
}

} // namespace CX
