#include "platform/owl/control.h"

#include <algorithm>

namespace owl {

TControl::TControl(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TModule* module)
    : TWindow(parent, title, module)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;
    Attr.X = x;
    Attr.Y = y;
    Attr.W = w;
    Attr.H = h;
    Attr.Id = id;
}

TControl::TControl(TWindow* parent, int resourceId, TModule* module) : TWindow(parent, nullptr, module)
{
    SetFlag(wfFromResource);
    DisableAutoCreate();
    Attr.Id = resourceId;
}

void TControl::DrawItem(DRAWITEMSTRUCT& drawInfo)
{
    switch (drawInfo.itemAction) {
    case ODA_DRAWENTIRE:
        ODADrawEntire(drawInfo);
        break;
    case ODA_FOCUS:
        ODAFocus(drawInfo);
        break;
    case ODA_SELECT:
        ODASelect(drawInfo);
        break;
    default:
        break;
    }
}

void TControl::MeasureItem(MEASUREITEMSTRUCT&) {}
void TControl::ODADrawEntire(DRAWITEMSTRUCT&) {}
void TControl::ODAFocus(DRAWITEMSTRUCT&) {}
void TControl::ODASelect(DRAWITEMSTRUCT&) {}

TButton::TButton(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, bool isDefault, TModule* module)
    : TControl(parent, id, text, x, y, w, h, module)
{
    Attr.Style |= isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

TButton::TButton(TWindow* parent, int resourceId, TModule* module) : TControl(parent, resourceId, module) {}

TCheckBox::TCheckBox(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TGroupBox* group,
                     TModule* module)
    : TButton(parent, id, title, x, y, w, h, false, module), Group(group)
{
    Attr.Style = (Attr.Style & ~BS_TYPEMASK) | BS_AUTOCHECKBOX;
}

TCheckBox::TCheckBox(TWindow* parent, int resourceId, TGroupBox* group, TModule* module)
    : TButton(parent, resourceId, module), Group(group)
{
}

void TCheckBox::Toggle()
{
    const DWORD type = GetStyle() & BS_TYPEMASK;
    const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
    SetCheck(threeState ? (GetCheck() + 1) % 3 : GetCheck() == BF_CHECKED ? BF_UNCHECKED : BF_CHECKED);
}

TRadioButton::TRadioButton(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, TGroupBox* group,
                           TModule* module)
    : TCheckBox(parent, id, title, x, y, w, h, group, module)
{
    Attr.Style = (Attr.Style & ~BS_TYPEMASK) | BS_AUTORADIOBUTTON;
}

TRadioButton::TRadioButton(TWindow* parent, int resourceId, TGroupBox* group, TModule* module)
    : TCheckBox(parent, resourceId, group, module)
{
}

TGroupBox::TGroupBox(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, TModule* module)
    : TControl(parent, id, text, x, y, w, h, module)
{
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | BS_GROUPBOX;
}

TGroupBox::TGroupBox(TWindow* parent, int resourceId, TModule* module) : TControl(parent, resourceId, module) {}

TStatic::TStatic(TWindow* parent, int id, LPCWSTR title, int x, int y, int w, int h, uint textLimit, TModule* module)
    : TControl(parent, id, title, x, y, w, h, module), TextLimit(textLimit)
{
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | SS_LEFT;
}

TStatic::TStatic(TWindow* parent, int resourceId, uint textLimit, TModule* module)
    : TControl(parent, resourceId, module), TextLimit(textLimit)
{
}

TEdit::TEdit(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, uint textLimit, bool multiline,
             TModule* module)
    : TStatic(parent, id, text, x, y, w, h, textLimit, module)
{
    Attr.Style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER;
    Attr.Style &= ~SS_LEFT;
    if (multiline) {
        Attr.Style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL;
    }
}

TEdit::TEdit(TWindow* parent, int resourceId, uint textLimit, TModule* module)
    : TStatic(parent, resourceId, textLimit, module)
{
}

void TEdit::SetupWindow()
{
    TStatic::SetupWindow();
    // OWL's text limit counts the terminating NUL.
    if (TextLimit > 0) {
        LimitText(static_cast<int>(TextLimit) - 1);
    }
}

bool TEdit::IsValid(bool reportError)
{
    if (!Validator) {
        return true;
    }
    const tstring text = GetText();
    return reportError ? Validator->Valid(text.c_str(), this) : Validator->IsValid(text.c_str());
}

void TEdit::ValidatorError()
{
    if (Validator) {
        Validator->Error(this);
    }
}

void TEdit::EvChildInvalid(HWND) { ValidatorError(); }

void TEdit::EvChar(uint, uint, uint)
{
    if (!Validator) {
        DefaultProcessing();
        return;
    }
    const tstring before = GetText();
    int start = 0;
    int end = 0;
    GetSelection(start, end);
    DefaultProcessing();
    tstring after = GetText();
    if (!Validator->IsValidInput(after.data(), false)) {
        SetText(before.c_str());
        SetSelection(start, end);
    }
}

void TEdit::EvKillFocus(HWND getFocus)
{
    TWindow::EvKillFocus(getFocus);
    if (Validator && IsWindow() && !IsValid(false)) {
        EvChildInvalid(Handle);
    }
}

void TEdit::GetSelection(int& start, int& end) const
{
    DWORD a = 0;
    DWORD b = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    start = static_cast<int>(a);
    end = static_cast<int>(b);
}

bool TEdit::GetLine(LPWSTR buffer, int size, int line) const
{
    if (!buffer || size <= 0) {
        return false;
    }
    buffer[0] = static_cast<char16_t>(size - 1);
    const auto n = static_cast<int>(SendMessage(EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer)));
    buffer[std::min(n, size - 1)] = 0;
    return n > 0 || size > 0;
}

TListBox::TListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module)
    : TControl(parent, id, nullptr, x, y, w, h, module)
{
    Attr.Style |= LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER;
}

TListBox::TListBox(TWindow* parent, int resourceId, TModule* module) : TControl(parent, resourceId, module) {}

int TListBox::AddString(LPCWSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
int TListBox::InsertString(LPCWSTR text, int index)
{
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int TListBox::DeleteString(int index) { return static_cast<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index))); }
void TListBox::ClearList() { SendMessage(LB_RESETCONTENT); }
int TListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
int TListBox::FindString(LPCWSTR prefix, int startIndex) const
{
    return static_cast<int>(SendMessage(LB_FINDSTRING, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(prefix)));
}
int TListBox::FindExactString(LPCWSTR text, int startIndex) const
{
    return static_cast<int>(SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(text)));
}
int TListBox::GetString(LPWSTR buffer, int index) const
{
    return static_cast<int>(SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
int TListBox::GetStringLen(int index) const { return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index))); }

tstring TListBox::GetString(int index) const
{
    const int length = GetStringLen(index);
    if (length < 0) {
        return {};
    }
    tstring text(static_cast<std::size_t>(length) + 1, u'\0');
    GetString(text.data(), index);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

LPARAM TListBox::GetItemData(int index) const { return SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)); }
int TListBox::SetItemData(int index, LPARAM data)
{
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), data));
}
int TListBox::GetSelIndex() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
int TListBox::SetSelIndex(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }

int TListBox::GetSelString(LPWSTR buffer, int maxChars) const
{
    const int index = GetSelIndex();
    if (index < 0 || !buffer || maxChars <= 0) {
        return -1;
    }
    const tstring text = GetString(index);
    const int n = std::min(static_cast<int>(text.size()), maxChars - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

int TListBox::SetSelString(LPCWSTR prefix, int startIndex)
{
    const int index = FindString(prefix, startIndex);
    if (index >= 0) {
        SetSelIndex(index);
    }
    return index;
}

int TListBox::GetSelIndexes(int* indexes, int maxCount) const
{
    return static_cast<int>(SendMessage(LB_GETSELITEMS, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(indexes)));
}

TComboBox::TComboBox(TWindow* parent, int id, int x, int y, int w, int h, uint32 style, uint textLimit,
                     TModule* module)
    : TListBox(parent, id, x, y, w, h, module), TextLimit(textLimit)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | style;
}

TComboBox::TComboBox(TWindow* parent, int resourceId, uint textLimit, TModule* module)
    : TListBox(parent, resourceId, module), TextLimit(textLimit)
{
}

void TComboBox::SetupWindow()
{
    TListBox::SetupWindow();
    if (TextLimit > 0) {
        SendMessage(CB_LIMITTEXT, TextLimit - 1);
    }
}

int TComboBox::AddString(LPCWSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
int TComboBox::InsertString(LPCWSTR text, int index)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int TComboBox::DeleteString(int index) { return static_cast<int>(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index))); }
void TComboBox::ClearList() { SendMessage(CB_RESETCONTENT); }
int TComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
int TComboBox::FindString(LPCWSTR prefix, int startIndex) const
{
    return static_cast<int>(SendMessage(CB_FINDSTRING, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(prefix)));
}
int TComboBox::FindExactString(LPCWSTR text, int startIndex) const
{
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(text)));
}
int TComboBox::GetString(LPWSTR buffer, int index) const
{
    return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
int TComboBox::GetStringLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
LPARAM TComboBox::GetItemData(int index) const { return SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)); }
int TComboBox::SetItemData(int index, LPARAM data)
{
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), data));
}
int TComboBox::GetSelIndex() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
int TComboBox::SetSelIndex(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }

TScrollBar::TScrollBar(TWindow* parent, int id, int x, int y, int w, int h, bool isHScrollBar, TModule* module)
    : TControl(parent, id, nullptr, x, y, w, h, module)
{
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | (isHScrollBar ? SBS_HORZ : SBS_VERT);
}

TScrollBar::TScrollBar(TWindow* parent, int resourceId, TModule* module) : TControl(parent, resourceId, module) {}

void TScrollBar::SetupWindow()
{
    TControl::SetupWindow();
    int min = 0;
    int max = 0;
    GetRange(min, max);
    if (min == 0 && max == 0) {
        SetRange(0, 100); // OWL's default range
    }
}

void TScrollBar::SetPosition(int position, bool redraw) { ::SetScrollPos(Handle, SB_CTL, position, redraw); }

int TScrollBar::DeltaPos(int delta)
{
    const int old = GetPosition();
    if (delta != 0) {
        SetPosition(old + delta);
    }
    return GetPosition() - old;
}

uint TScrollBar::GetPageSize() const
{
    SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, 0, 0, 0};
    GetScrollInfo(&info);
    return info.nPage;
}

void TScrollBar::SetPageSize(uint page, bool redraw)
{
    SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, page, 0, 0};
    SetScrollInfo(&info, redraw);
}

void TScrollBar::SBLineUp() { DeltaPos(-LineMagnitude); }
void TScrollBar::SBLineDown() { DeltaPos(LineMagnitude); }
void TScrollBar::SBPageUp() { DeltaPos(-PageMagnitude); }
void TScrollBar::SBPageDown() { DeltaPos(PageMagnitude); }
void TScrollBar::SBThumbPosition(int thumbPos) { SetPosition(thumbPos); }
void TScrollBar::SBThumbTrack(int thumbPos) { SetPosition(thumbPos); }
void TScrollBar::SBTop()
{
    int min = 0;
    int max = 0;
    GetRange(min, max);
    SetPosition(min);
}
void TScrollBar::SBBottom()
{
    int min = 0;
    int max = 0;
    GetRange(min, max);
    SetPosition(max);
}
void TScrollBar::SBEndScroll() {}

void TScrollBar::HandleScroll(uint scrollCode, uint thumbPos)
{
    switch (scrollCode) {
    case SB_LINEUP:
        SBLineUp();
        break;
    case SB_LINEDOWN:
        SBLineDown();
        break;
    case SB_PAGEUP:
        SBPageUp();
        break;
    case SB_PAGEDOWN:
        SBPageDown();
        break;
    case SB_THUMBPOSITION:
        SBThumbPosition(static_cast<int>(thumbPos));
        break;
    case SB_THUMBTRACK:
        SBThumbTrack(static_cast<int>(thumbPos));
        break;
    case SB_TOP:
        SBTop();
        break;
    case SB_BOTTOM:
        SBBottom();
        break;
    case SB_ENDSCROLL:
        SBEndScroll();
        break;
    default:
        break;
    }
}
}
