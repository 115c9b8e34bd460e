// The bases of the settings dialog's pages and sub-pages: child dialogs laid over a rectangle of their parent,
// the page contract through which the settings dialog and its pages talk, and a page base with a one-shot delay
// timer for pages that refresh some time after the last edit.
#pragma once

#include "controls/dialogbase.h"

struct IUnknown;

namespace CX::Dlg {
class SettingsDlg;
}

namespace ExtLib {

class PositionedSubDialog : public KVO::DialogBase {
public:
    PositionedSubDialog(owl::TWindow* parent, owl::TResId resId) : KVO::DialogBase(parent, resId) {}
    // Moves the window's top-left corner to that of the rectangle (screen coordinates), keeping its own size,
    // and shows it.
    virtual void PositionInParent(const owl::TRect& screenRect);
};

// A tab page: a child window, with the themed tab background when the application is themed.
class TabSubDlg : public PositionedSubDialog {
public:
    TabSubDlg(owl::TWindow* parent, owl::TResId resId);
    void SetupWindow() override;
};

// A sub-page inside a page: its controls paint with the page's background.
class TabSubSubDlg : public PositionedSubDialog {
public:
    TabSubSubDlg(owl::TWindow* parent, owl::TResId resId) : PositionedSubDialog(parent, resId) {}
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override;
};

} // namespace ExtLib

namespace CX::Dlg::Base {

template <class Placement>
class CXTabSubDlg2 : public Placement {
public:
    CXTabSubDlg2(owl::TWindow* parent, owl::TResId resId, SettingsDlg* owner, IUnknown* hostDocument)
        : Placement(parent, resId), owner_(owner), hostDocument_(hostDocument)
    {
    }

    // Controls to the owner's settings copy.
    virtual void TransferToSettings() = 0;
    // Judges the page's settings; shows nothing.
    virtual bool ValidateSettings() = 0;

    SettingsDlg* Owner() const { return owner_; }
    IUnknown* HostDocument() const { return hostDocument_; }

protected:
    SettingsDlg* owner_;
    IUnknown* hostDocument_;
};

class CXSubDlg : public CXTabSubDlg2<ExtLib::TabSubDlg> {
public:
    CXSubDlg(owl::TResId resId, SettingsDlg* owner, IUnknown* hostDocument);

    // Settings copy to controls (the source channel, and so the settings group, changed).
    virtual void TransferFromSettings() = 0;
    // A refresh of what depends on the settings: now, or after the page's delay.
    virtual void ScheduleUpdate(bool immediate) = 0;
    // The range choice: live is true for the whole channel.
    virtual void OnPreviewNotice(bool live);
    // Before a refusal: every invalid value of the page shows its mark.
    virtual void MarkInvalidSettings() {}
};

class CXSubDlgDA : public CXSubDlg {
public:
    static constexpr unsigned kPeriodMs = 1000;
    CXSubDlgDA(owl::TResId resId, SettingsDlg* owner, IUnknown* hostDocument, unsigned timerId);

    virtual void DoDelayedAction() = 0;
    void EvTimer(owl::uint timerId) override;

protected:
    // Restarts the one-shot wait; an edit within the period starts it again.
    void RestartDelay();
    void StopDelay();

    unsigned timerId_;
    unsigned periodMs_ = kPeriodMs;
};

class CXSubSubDlg : public CXTabSubDlg2<ExtLib::TabSubSubDlg> {
public:
    CXSubSubDlg(owl::TResId resId, SettingsDlg* owner, CXSubDlg* parentPage, IUnknown* hostDocument);
    CXSubDlg* ParentPage() const { return parentPage_; }

private:
    CXSubDlg* parentPage_;
};

} // namespace CX::Dlg::Base
