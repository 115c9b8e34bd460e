// OWL's tab control over "SysTabControl32": tabs added and relabelled by index, the selected tab, and the
// conversion between the control's window rectangle and its display area.
#pragma once

#include "platform/owl/control.h"
#include "platform/win/commctrl.h"

namespace owl {

class TTabControl : public TControl {
public:
    TTabControl(TWindow* parent, int resourceId, TModule* module = nullptr) : TControl(parent, resourceId, module) {}
    LPCWSTR GetClassName() override { return WC_TABCONTROLW; }

    int Add(LPCWSTR text) { return Insert(text, GetCount()); }
    int Insert(LPCWSTR text, int index)
    {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(text), 0, -1, 0};
        return static_cast<int>(SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(&item)));
    }
    bool SetText(int index, LPCWSTR text)
    {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(text), 0, -1, 0};
        return SendMessage(TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != 0;
    }
    tstring GetText(int index) const
    {
        char16_t buffer[128]{};
        TCITEMW item{TCIF_TEXT, 0, 0, buffer, 128, -1, 0};
        SendMessage(TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    int GetCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
    int GetSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
    int SetSel(int index) { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(index))); }
    // larger false: a window rectangle becomes the display area; true: the reverse.
    void AdjustRect(bool larger, TRect& rect) const
    {
        SendMessage(TCM_ADJUSTRECT, larger, reinterpret_cast<LPARAM>(&rect));
    }
};

} // namespace owl
