// OWL's dialog: a window over a dialog template, modeless (Create) or modal (Execute). Controls constructed
// with the dialog and a control id take over the dialog's controls when the dialog is set up.
#pragma once

#include "platform/owl/window.h"
#include "platform/ui/dialog.h"

#include <cstddef>
#include <vector>

namespace owl {

// A dialog template resource of a module, found by id or name and language.
class TDialogRes {
public:
    TDialogRes(HINSTANCE instance, TResId id, LANGID language = LANG_NEUTRAL);
    bool IsOK() const { return head_ != nullptr; }
    const DLGTEMPLATE* GetTemplate() const { return head_; }
    DWORD GetSize() const { return head_ ? head_->size : 0; }

private:
    const DLGTEMPLATE* head_ = nullptr;
};

class TDialog : public TWindow {
public:
    TDialog(TWindow* parent, TResId resId, TModule* module = nullptr);
    // From a template in memory; the dialog keeps a copy of it.
    TDialog(TWindow* parent, const DLGTEMPLATE& dialogTemplate, TAutoDelete autoDelete = AutoDelete,
            TModule* module = nullptr);

    bool Create() override;
    // Runs the dialog modally; returns the value it closed with (-1 when the template is missing).
    virtual int Execute();
    bool IsModal() const { return IsFlagSet(wfModalWindow); }

    virtual void CmOk();
    virtual void CmCancel();
    virtual bool EvInitDialog(HWND hWndFocus);

    void SetupWindow() override;
    void CloseWindow(int retVal = IDCANCEL) override;
    void Destroy(int retVal = IDCANCEL) override;
    TResult WindowProc(TMsgId message, TParam1 p1, TParam2 p2) override;
    TResult EvCommand(uint id, HWND hWndCtl, uint notifyCode) override;
    void EvClose() override;

    TResId GetResId() const { return ResId; }

protected:
    const DLGTEMPLATE* Template() const;
    TResId ResId;
    std::vector<std::byte> TemplateCopy;
};
}
