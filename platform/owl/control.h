// OWL's controls over the standard window classes. Each can create a new control (parent, id, text, position)
// or take over a control of its parent dialog by id (parent, resource id), attached when the dialog is set up.
#pragma once

#include "platform/owl/validate.h"
#include "platform/owl/window.h"

#include <memory>

namespace owl {

// Check states as OWL names them.
inline constexpr uint BF_UNCHECKED = 0;
inline constexpr uint BF_CHECKED = 1;
inline constexpr uint BF_GRAYED = 2;

class TControl : public TWindow {
public:
    TControl(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TModule* module = nullptr);
    TControl(TWindow* parent, int resourceId, TModule* module = nullptr);

    // Owner-drawn controls: the parent hands WM_DRAWITEM and WM_MEASUREITEM to the control's object.
    virtual void DrawItem(DRAWITEMSTRUCT& drawInfo);
    virtual void MeasureItem(MEASUREITEMSTRUCT& measureInfo);
    virtual void ODADrawEntire(DRAWITEMSTRUCT& drawInfo);
    virtual void ODAFocus(DRAWITEMSTRUCT& drawInfo);
    virtual void ODASelect(DRAWITEMSTRUCT& drawInfo);
};

class TButton : public TControl {
public:
    TButton(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, bool isDefault = false,
            TModule* module = nullptr);
    TButton(TWindow* parent, int resourceId, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"Button"; }
    void Click() { SendMessage(BM_CLICK); }
    void SetState(bool pushed) { SendMessage(BM_SETSTATE, pushed); }
    uint GetState() const { return static_cast<uint>(SendMessage(BM_GETSTATE)); }
};

class TGroupBox;

class TCheckBox : public TButton {
public:
    TCheckBox(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TGroupBox* group = nullptr,
              TModule* module = nullptr);
    TCheckBox(TWindow* parent, int resourceId, TGroupBox* group = nullptr, TModule* module = nullptr);
    void Check() { SetCheck(BF_CHECKED); }
    void Uncheck() { SetCheck(BF_UNCHECKED); }
    void Toggle();
    uint GetCheck() const { return static_cast<uint>(SendMessage(BM_GETCHECK)); }
    void SetCheck(uint check) { SendMessage(BM_SETCHECK, check); }
    bool IsChecked() const { return GetCheck() == BF_CHECKED; }
    TGroupBox* Group = nullptr;
};

class TRadioButton : public TCheckBox {
public:
    TRadioButton(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TGroupBox* group = nullptr,
                 TModule* module = nullptr);
    TRadioButton(TWindow* parent, int resourceId, TGroupBox* group = nullptr, TModule* module = nullptr);
};

class TGroupBox : public TControl {
public:
    TGroupBox(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, TModule* module = nullptr);
    TGroupBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"Button"; }
};

class TStatic : public TControl {
public:
    TStatic(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, uint textLimit = 0,
            TModule* module = nullptr);
    TStatic(TWindow* parent, int resourceId, uint textLimit = 0, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"Static"; }
    int GetText(LPWSTR buffer, int size) const { return GetWindowText(buffer, size); }
    tstring GetText() const { return GetWindowText(); }
    void SetText(LPCWSTR text) { SetWindowText(text); }
    int GetTextLen() const { return GetWindowTextLength(); }
    void Clear() { SetText(u""); }
    uint TextLimit;
};

class TEdit : public TStatic {
public:
    TEdit(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, uint textLimit = 0,
          bool multiline = false, TModule* module = nullptr);
    TEdit(TWindow* parent, int resourceId, uint textLimit = 0, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"Edit"; }

    // Validation: the edit owns its validator. Typing that the validator refuses is taken back; a text that is
    // not valid when the edit loses the focus is reported through EvChildInvalid.
    void SetValidator(TValidator* validator) { Validator.reset(validator); }
    TValidator* GetValidator() const { return Validator.get(); }
    bool IsValid(bool reportError = false);
    void ValidatorError();
    virtual void EvChildInvalid(HWND edit);
    void EvChar(uint key, uint repeatCount, uint flags) override;
    void EvKillFocus(HWND getFocus) override;
    void SetupWindow() override;

    void GetSelection(int& start, int& end) const;
    void SetSelection(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void Insert(LPCWSTR text) { SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text)); }
    void DeleteSelection() { Insert(u""); }
    bool IsModified() const { return SendMessage(EM_GETMODIFY) != 0; }
    void ClearModify() { SendMessage(EM_SETMODIFY, FALSE); }
    void SetReadOnly(bool readOnly) { SendMessage(EM_SETREADONLY, readOnly); }
    void LimitText(int limit) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(limit)); }
    int GetNumLines() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    bool GetLine(LPWSTR buffer, int size, int line) const;

protected:
    std::unique_ptr<TValidator> Validator;
};

class TListBox : public TControl {
public:
    TListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module = nullptr);
    TListBox(TWindow* parent, int resourceId, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"ListBox"; }

    virtual int AddString(LPCWSTR text);
    virtual int InsertString(LPCWSTR text, int index);
    virtual int DeleteString(int index);
    virtual void ClearList();
    virtual int GetCount() const;
    virtual int FindString(LPCWSTR prefix, int startIndex) const;
    virtual int FindExactString(LPCWSTR text, int startIndex) const;
    virtual int GetString(LPWSTR buffer, int index) const;
    virtual int GetStringLen(int index) const;
    tstring GetString(int index) const;
    virtual LPARAM GetItemData(int index) const;
    virtual int SetItemData(int index, LPARAM data);
    virtual int GetSelIndex() const;
    virtual int SetSelIndex(int index);
    int GetSelString(LPWSTR buffer, int maxChars) const;
    int SetSelString(LPCWSTR prefix, int startIndex);
    int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
    int SetTopIndex(int index) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index))); }
    int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
    int GetSelIndexes(int* indexes, int maxCount) const;
    int SetSel(int index, bool select)
    {
        return static_cast<int>(SendMessage(LB_SETSEL, select, index));
    }
};

class TComboBox : public TListBox {
public:
    TComboBox(TWindow* parent, int id, int x, int y, int w, int h, uint32 style, uint textLimit,
              TModule* module = nullptr);
    TComboBox(TWindow* parent, int resourceId, uint textLimit = 0, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"ComboBox"; }
    void SetupWindow() override;

    int AddString(LPCWSTR text) override;
    int InsertString(LPCWSTR text, int index) override;
    int DeleteString(int index) override;
    void ClearList() override;
    int GetCount() const override;
    int FindString(LPCWSTR prefix, int startIndex) const override;
    int FindExactString(LPCWSTR text, int startIndex) const override;
    int GetString(LPWSTR buffer, int index) const override;
    int GetStringLen(int index) const override;
    LPARAM GetItemData(int index) const override;
    int SetItemData(int index, LPARAM data) override;
    int GetSelIndex() const override;
    int SetSelIndex(int index) override;

    void ShowList(bool show = true) { SendMessage(CB_SHOWDROPDOWN, show); }
    void HideList() { ShowList(false); }
    bool GetDroppedState() const { return SendMessage(CB_GETDROPPEDSTATE) != 0; }
    void GetDroppedControlRect(TRect& rect) const
    {
        SendMessage(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
    }
    int SetItemHeight(int index, int height)
    {
        return static_cast<int>(SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), height));
    }
    int GetItemHeight(int index) const
    {
        return static_cast<int>(SendMessage(CB_GETITEMHEIGHT, static_cast<WPARAM>(index)));
    }
    tstring GetText() const { return GetWindowText(); }
    void SetText(LPCWSTR text) { SetWindowText(text); }
    int GetTextLen() const { return GetWindowTextLength(); }
    void Clear() { SetText(u""); }
    uint TextLimit;
};

class TScrollBar : public TControl {
public:
    TScrollBar(TWindow* parent, int id, int x, int y, int w, int h, bool isHScrollBar, TModule* module = nullptr);
    TScrollBar(TWindow* parent, int resourceId, TModule* module = nullptr);
    LPCWSTR GetClassName() override { return u"ScrollBar"; }
    void SetupWindow() override;

    void GetRange(int& min, int& max) const { ::GetScrollRange(Handle, SB_CTL, &min, &max); }
    void SetRange(int min, int max, bool redraw = true) { ::SetScrollRange(Handle, SB_CTL, min, max, redraw); }
    int GetPosition() const { return ::GetScrollPos(Handle, SB_CTL); }
    virtual void SetPosition(int position, bool redraw = true);
    virtual int DeltaPos(int delta);
    uint GetPageSize() const;
    void SetPageSize(uint page, bool redraw = true);
    void GetScrollInfo(SCROLLINFO* info) const { ::GetScrollInfo(Handle, SB_CTL, info); }
    void SetScrollInfo(SCROLLINFO* info, bool redraw = true) { ::SetScrollInfo(Handle, SB_CTL, info, redraw); }

    // The bar's own notices (reflected from its parent), as OWL names them.
    virtual void SBLineUp();
    virtual void SBLineDown();
    virtual void SBPageUp();
    virtual void SBPageDown();
    virtual void SBThumbPosition(int thumbPos);
    virtual void SBThumbTrack(int thumbPos);
    virtual void SBTop();
    virtual void SBBottom();
    virtual void SBEndScroll();
    void HandleScroll(uint scrollCode, uint thumbPos);

    int LineMagnitude = 1;
    int PageMagnitude = 10;
};
}
