#include "dialogs/pagebases.h"

#include "dialogs/settingsdlg.h"
#include "foundation/linkingutils.h"
#include "platform/win/uxtheme.h"

namespace ExtLib {

void PositionedSubDialog::PositionInParent(const owl::TRect& screenRect)
{
    owl::TPoint corner(screenRect.left, screenRect.top);
    if (HWND parent = GetParentH()) {
        ::ScreenToClient(parent, &corner);
    }
    owl::TRect own;
    GetWindowRect(own);
    MoveWindow(corner.x, corner.y, own.right - own.left, own.bottom - own.top, false);
    ShowWindow(SW_SHOW);
}

TabSubDlg::TabSubDlg(owl::TWindow* parent, owl::TResId resId) : PositionedSubDialog(parent, resId)
{
    Attr.Style = (Attr.Style & 0x2F77FFFF) | WS_CHILD;
}

void TabSubDlg::SetupWindow()
{
    using EnableTexture = HRESULT (*)(HWND, DWORD);
    static const auto enableTexture = reinterpret_cast<EnableTexture>(
        KVOLinkingUtils::UxThemeDLL::Instance().GetProcAddress("EnableThemeDialogTexture"));
    if (enableTexture && KVOLinkingUtils::UxThemeDLL::Instance().IsThemeActive()) {
        enableTexture(GetHandle(), ETDT_ENABLETAB);
    }
    PositionedSubDialog::SetupWindow();
}

owl::TResult TabSubSubDlg::WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2)
{
    if (message >= WM_CTLCOLORBTN && message <= WM_CTLCOLORSTATIC) {
        HWND named = reinterpret_cast<HWND>(p2);
        HWND parent = named ? ::GetParent(named) : nullptr;
        if (parent) {
            return ::SendMessageW(parent, WM_CTLCOLORSTATIC, p1, reinterpret_cast<LPARAM>(GetHandle()));
        }
    }
    return PositionedSubDialog::WindowProc(message, p1, p2);
}

} // namespace ExtLib

namespace CX::Dlg::Base {

CXSubDlg::CXSubDlg(owl::TResId resId, SettingsDlg* owner, IUnknown* hostDocument)
    : CXTabSubDlg2<ExtLib::TabSubDlg>(owner, resId, owner, hostDocument)
{
}

void CXSubDlg::OnPreviewNotice(bool) {}

CXSubDlgDA::CXSubDlgDA(owl::TResId resId, SettingsDlg* owner, IUnknown* hostDocument, unsigned timerId)
    : CXSubDlg(resId, owner, hostDocument), timerId_(timerId)
{
}

void CXSubDlgDA::EvTimer(owl::uint timerId)
{
    if (timerId != timerId_) {
        CXSubDlg::EvTimer(timerId);
        return;
    }
    KillTimer(timerId_);
    DoDelayedAction();
}

void CXSubDlgDA::RestartDelay()
{
    KillTimer(timerId_);
    SetTimer(timerId_, periodMs_);
}

void CXSubDlgDA::StopDelay() { KillTimer(timerId_); }

CXSubSubDlg::CXSubSubDlg(owl::TResId resId, SettingsDlg* owner, CXSubDlg* parentPage, IUnknown* hostDocument)
    : CXTabSubDlg2<ExtLib::TabSubSubDlg>(parentPage, resId, owner, hostDocument), parentPage_(parentPage)
{
}

} // namespace CX::Dlg::Base
