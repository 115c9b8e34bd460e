#include "platform/owl/dialog.h"

#include <cstring>

namespace owl {

TDialogRes::TDialogRes(HINSTANCE instance, TResId id, LANGID language)
{
    HRSRC found = FindResourceExW(instance, RT_DIALOG, id, language);
    if (!found && language != LANG_NEUTRAL) {
        found = FindResourceExW(instance, RT_DIALOG, id, LANG_NEUTRAL);
    }
    if (!found) {
        found = FindResourceW(instance, id, RT_DIALOG);
    }
    if (found) {
        head_ = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(instance, found)));
    }
}

TDialog::TDialog(TWindow* parent, TResId resId, TModule* module) : TWindow(parent, nullptr, module), ResId(resId)
{
    Attr.Style = 0;
    DisableAutoCreate();
}

TDialog::TDialog(TWindow* parent, const DLGTEMPLATE& dialogTemplate, TAutoDelete, TModule* module)
    : TWindow(parent, nullptr, module)
{
    Attr.Style = 0;
    DisableAutoCreate();
    const auto* bytes = reinterpret_cast<const std::byte*>(&dialogTemplate);
    TemplateCopy.assign(bytes, bytes + dialogTemplate.size);
}

const DLGTEMPLATE* TDialog::Template() const
{
    return TemplateCopy.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(TemplateCopy.data());
}

bool TDialog::Create()
{
    if (Handle) {
        return true;
    }
    SetCreationWindow(this);
    const HINSTANCE instance = Module ? Module->GetHandle() : nullptr;
    HWND parent = Parent ? Parent->GetHandle() : nullptr;
    HWND handle = Template() ? CreateDialogIndirectParamW(instance, Template(), parent, StdDlgProc, 0)
                             : CreateDialogParamW(instance, ResId, parent, StdDlgProc, 0);
    SetCreationWindow(nullptr);
    if (!handle) {
        throw TXWindow(this, "dialog cannot be created");
    }
    return true;
}

int TDialog::Execute()
{
    SetFlag(wfModalWindow);
    SetCreationWindow(this);
    const HINSTANCE instance = Module ? Module->GetHandle() : nullptr;
    HWND parent = Parent ? Parent->GetHandle() : nullptr;
    const INT_PTR result = Template() ? DialogBoxIndirectParamW(instance, Template(), parent, StdDlgProc, 0)
                                      : DialogBoxParamW(instance, ResId, parent, StdDlgProc, 0);
    SetCreationWindow(nullptr);
    ClearFlag(wfModalWindow);
    return static_cast<int>(result);
}

INT_PTR StdDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (TWindow::GetWindowPtr(hwnd)) {
        return FALSE; // the object has the window's procedure and has seen the message already
    }
    auto* window = dynamic_cast<TDialog*>(PendingCreationWindow());
    if (!window) {
        return FALSE;
    }
    SetCreationWindow(nullptr);
    // The dialog's first message attaches its object, which from now on gets every message first.
    window->AttachHandle(hwnd);
    const TResult result = window->ReceiveMessage(hwnd, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        return result;
    }
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    }
    return TRUE;
}

TResult TDialog::WindowProc(TMsgId message, TParam1 p1, TParam2 p2)
{
    if (message == WM_INITDIALOG) {
        return EvInitDialog(reinterpret_cast<HWND>(p1));
    }
    return TWindow::WindowProc(message, p1, p2);
}

bool TDialog::EvInitDialog(HWND)
{
    PerformSetupAndTransfer();
    return true;
}

void TDialog::SetupWindow() { TWindow::SetupWindow(); }

TResult TDialog::EvCommand(uint id, HWND hWndCtl, uint notifyCode)
{
    if (!hWndCtl || notifyCode == BN_CLICKED) {
        if (id == IDOK) {
            CmOk();
            return 0;
        }
        if (id == IDCANCEL) {
            CmCancel();
            return 0;
        }
    }
    return TWindow::EvCommand(id, hWndCtl, notifyCode);
}

void TDialog::CmOk() { CloseWindow(IDOK); }

void TDialog::CmCancel() { Destroy(IDCANCEL); }

void TDialog::EvClose() { CmCancel(); }

void TDialog::CloseWindow(int retVal)
{
    if (CanClose()) {
        Destroy(retVal);
    }
}

void TDialog::Destroy(int retVal)
{
    if (!Handle) {
        return;
    }
    if (IsModal()) {
        EndDialog(Handle, retVal);
    } else {
        TWindow::Destroy(retVal);
    }
}
}
