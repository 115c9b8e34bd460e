#include "controls/menucombo.h"

#include "foundation/dialogfont.h"
#include "foundation/moduleinstance.h"

#include <algorithm>
#include <cmath>

namespace KVOControls::MenuCombo {
namespace {
std::u16string RowText(HWND combo, int index)
{
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}
}

// The drop-down list.
MenuComboLBox::MenuComboLBox(HWND list, MenuCombo& combo) : TWindow(list), combo_(combo) {}

void MenuComboLBox::EvKeyDown(owl::uint key, owl::uint, owl::uint)
{
    const int count = static_cast<int>(SendMessage(LB_GETCOUNT));
    const int current = static_cast<int>(SendMessage(LB_GETCURSEL));
    if (key == VK_UP || key == VK_LEFT) {
        int row = current;
        while (row - 1 >= 0 && combo_.IsSeparatorRow(row - 1)) {
            --row;
        }
        if (row - 1 < 0) {
            return; // only separators above
        }
        SendMessage(LB_SETCURSEL, static_cast<WPARAM>(row));
        DefaultProcessing();
    } else if (key == VK_DOWN || key == VK_RIGHT) {
        if (current >= count - 1) {
            return;
        }
        int row = current;
        while (row + 1 < count && combo_.IsSeparatorRow(row + 1)) {
            ++row;
        }
        if (row + 1 >= count) {
            return; // only separators below
        }
        SendMessage(LB_SETCURSEL, static_cast<WPARAM>(row));
        DefaultProcessing();
    } else {
        DefaultProcessing();
    }
}

bool MenuComboLBox::OnSeparator() const
{
    return combo_.IsSeparatorRow(static_cast<int>(SendMessage(LB_GETCURSEL)));
}

void MenuComboLBox::EvLButtonDown(owl::uint, const owl::TPoint&)
{
    if (!OnSeparator()) {
        DefaultProcessing();
    }
}

void MenuComboLBox::EvLButtonUp(owl::uint, const owl::TPoint&)
{
    if (!OnSeparator()) {
        DefaultProcessing();
    }
}

void MenuComboLBox::EvLButtonDblClk(owl::uint, const owl::TPoint&)
{
    if (!OnSeparator()) {
        DefaultProcessing();
    }
}

// The combo.
MenuCombo::MenuCombo(owl::TWindow* parent, int id, int x, int y, int w, int h, owl::TModule* module)
    : TComboBox(parent, id, x, y, w, h, 0, 0, module)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL |
                 CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS;
}

MenuCombo::MenuCombo(owl::TWindow* parent, int resourceId, owl::TModule* module)
    : TComboBox(parent, resourceId, 0, module)
{
}

MenuCombo::MenuCombo(owl::TWindow* parent) : MenuCombo(parent, ControlId) {}

MenuCombo::~MenuCombo() = default;

void MenuCombo::GetWindowClass(WNDCLASSW& wc)
{
    if (GetClassInfoW(nullptr, u"ComboBox", &wc)) {
        wc.hInstance = KVO::ModuleInstance();
        wc.lpszClassName = GetClassName();
        return;
    }
    TComboBox::GetWindowClass(wc);
    wc.style = 0x83;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1));
}

void MenuCombo::SetupWindow()
{
    TComboBox::SetupWindow();
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    list.reset();
    if (GetComboBoxInfo(GetHandle(), &info) && info.hwndList) {
        list = std::make_unique<MenuComboLBox>(info.hwndList, *this);
    }
}

void MenuCombo::MeasureItem(MEASUREITEMSTRUCT& measureInfo) { MeasureItem(measureInfo.CtlID, measureInfo); }

void MenuCombo::MeasureItem(owl::uint, MEASUREITEMSTRUCT& measureInfo)
{
    if (!GetHandle()) {
        return;
    }
    owl::TClientDC dc(GetHandle());
    const KVO::DialogFont font(dc, 0, 0);
    dc.SelectObject(font);
    TEXTMETRICW metrics{};
    dc.GetTextMetrics(metrics);
    dc.RestoreFont();
    const int height = static_cast<int>(std::lround((metrics.tmHeight + metrics.tmExternalLeading) * 1.25));
    measureInfo.itemHeight = static_cast<UINT>(height);
    if (!heightSet) {
        heightSet = true;
        SetItemHeight(-1, height);
    }
}

void MenuCombo::DrawItem(DRAWITEMSTRUCT& drawInfo)
{
    owl::TDC dc(drawInfo.hDC);
    const int index = static_cast<int>(drawInfo.itemID);
    const owl::TRect item(drawInfo.rcItem);
    const KVO::DialogFont font(dc, 0, 0);
    dc.SelectObject(font);
    const std::u16string text = index >= 0 ? RowText(GetHandle(), index) : GetWindowText();
    const bool separator = index >= 0 && IsSeparatorRow(index);
    if (separator && text.empty()) {
        owl::TPen pen(owl::TColor::LtGray);
        dc.SelectObject(pen);
        const int middle = (item.top + item.bottom) / 2;
        dc.MoveTo(item.left + 2, middle);
        dc.LineTo(item.right - 2, middle);
        dc.RestorePen();
        dc.RestoreFont();
        return;
    }
    const bool selected = !separator && (drawInfo.itemState & ODS_SELECTED);
    const owl::TColor background(GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const owl::TColor foreground(GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    dc.TextRect(item, background);
    const owl::TColor oldText = dc.SetTextColor(foreground);
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    dc.DrawText(u" " + text, item, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    dc.SetBkMode(oldMode);
    dc.SetTextColor(oldText);
    if (!separator && (drawInfo.itemState & ODS_FOCUS)) {
        dc.DrawFocusRect(item);
    }
    dc.RestoreFont();
}

bool MenuCombo::IsSeparatorRow(int index) const
{
    return std::find(SeparatorRows.begin(), SeparatorRows.end(), index) != SeparatorRows.end();
}

int MenuCombo::InsertString(LPCWSTR text, int index)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}

int MenuCombo::DeleteString(int index)
{
    return static_cast<int>(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index)));
}

void MenuCombo::ClearList() { SeparatorRows.clear(); }

int MenuCombo::GetSelIndex() const
{
    int raw = 0;
    return GetSelIndex(raw);
}

int MenuCombo::GetSelIndex(int& rawIndex) const
{
    rawIndex = TComboBox::GetSelIndex();
    if (rawIndex < 1) {
        return rawIndex;
    }
    const auto before = std::count_if(SeparatorRows.begin(), SeparatorRows.end(), [&](int row) { return row < rawIndex; });
    return rawIndex - static_cast<int>(before);
}

int MenuCombo::SetSelIndex(int index)
{
    if (index < 0) {
        return TComboBox::SetSelIndex(index);
    }
    const int count = GetCount();
    int target = index;
    for (int row = 0; row <= target; ++row) {
        if (row >= count) {
            return -1;
        }
        if (IsSeparatorRow(row)) {
            ++target;
        }
    }
    return TComboBox::SetSelIndex(target);
}

} // namespace KVOControls::MenuCombo
