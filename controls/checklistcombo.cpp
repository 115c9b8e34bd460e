#include "controls/checklistcombo.h"

#include "foundation/dialogfont.h"
#include "foundation/linkingutils.h"
#include "foundation/localeinfo.h"
#include "foundation/selectionlist.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace KVO {
namespace {
constexpr int kTypedTextLimit = 300;
constexpr UINT kRowTextFormat = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS; // 0x8024
constexpr UINT kFrameCheckState = DFCS_BUTTONCHECK | DFCS_MONO | DFCS_FLAT | DFCS_HOT; // 0xD000

std::u16string RowText(HWND combo, int index)
{
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::u16string Decimal(std::uint32_t value)
{
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::u16string(static_cast<const char*>(digits), end);
}
}

CheckListCombo::~CheckListCombo() { CloseTheme(); }

void CheckListCombo::SetSpecialRows(int first, int second)
{
    specialRows_[0] = first;
    specialRows_[1] = second;
}

void CheckListCombo::SetRowCheck(int index, bool checked)
{
    if (index < 0) {
        return;
    }
    if (static_cast<std::size_t>(index) >= checks_.size()) {
        checks_.resize(static_cast<std::size_t>(index) + 1, false);
    }
    checks_[static_cast<std::size_t>(index)] = checked;
}

bool CheckListCombo::GetRowCheck(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < checks_.size() && checks_[static_cast<std::size_t>(index)];
}

void CheckListCombo::UpdateText()
{
    if (textValid_) {
        return;
    }
    text_ = ComposeText();
    textValid_ = true;
    if (GetHandle()) {
        // The combo box passes program text to its edit field without edit notices.
        ::SetWindowTextW(GetHandle(), text_.c_str());
    }
}

void CheckListCombo::SetupWindow()
{
    MenuCombo::SetupWindow();
    OpenTheme();
}

void CheckListCombo::CleanupWindow()
{
    CloseTheme();
    MenuCombo::CleanupWindow();
}

void CheckListCombo::OpenTheme()
{
    CloseTheme();
    auto& uxtheme = KVOLinkingUtils::UxThemeDLL::Instance();
    if (uxtheme.IsThemeActive()) {
        theme_ = uxtheme.OpenThemeData(GetHandle(), u"Button");
    }
}

void CheckListCombo::CloseTheme()
{
    if (theme_) {
        KVOLinkingUtils::UxThemeDLL::Instance().CloseThemeData(theme_);
        theme_ = nullptr;
    }
}

void CheckListCombo::EvThemeChanged()
{
    OpenTheme();
    EvSysColorChange();
}

owl::TResult CheckListCombo::WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2)
{
    switch (message) {
    case WM_GETTEXT: {
        UpdateText();
        auto* buffer = reinterpret_cast<LPWSTR>(p2);
        if (!buffer || p1 == 0) {
            return 0;
        }
        const std::size_t units = std::min<std::size_t>(static_cast<std::size_t>(text_.Length()), p1 - 1);
        std::copy_n(text_.c_str(), units, buffer);
        buffer[units] = 0;
        return static_cast<owl::TResult>(units);
    }
    case WM_GETTEXTLENGTH:
        UpdateText();
        return text_.Length();
    default:
        return MenuCombo::WindowProc(message, p1, p2);
    }
}

void CheckListCombo::DrawItem(DRAWITEMSTRUCT& drawInfo)
{
    HDC dc = drawInfo.hDC;
    const int index = static_cast<int>(drawInfo.itemID);
    HFONT font = CreateDialogFontForDC(dc, 0, false, false);
    HGDIOBJ oldFont = SelectObject(dc, font);
    const RECT& item = drawInfo.rcItem;

    if (index >= 0 && IsSeparatorRow(index)) {
        HPEN pen = CreatePen(PS_SOLID, 1, owl::TColor::LtGray);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        const int middle = (item.top + item.bottom) / 2;
        MoveToEx(dc, item.left + 2, middle, nullptr);
        LineTo(dc, item.right - 2, middle);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        SelectObject(dc, oldFont);
        DeleteObject(font);
        return;
    }

    std::u16string text;
    bool hasBox = false;
    bool checked = false;
    RECT textRect = item;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int cell = metrics.tmHeight + metrics.tmExternalLeading + 6;
    if (index < 0) {
        UpdateText();
        text = text_.View();
    } else if (index == specialRows_[0] || index == specialRows_[1]) {
        text = RowText(GetHandle(), index);
    } else {
        text = RowText(GetHandle(), index);
        hasBox = true;
        checked = GetRowCheck(index);
        textRect.left += cell;
    }

    const bool selected = (drawInfo.itemState & ODS_SELECTED) != 0;
    const COLORREF background = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    const COLORREF foreground = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const COLORREF oldBackground = SetBkColor(dc, background);
    const COLORREF oldText = SetTextColor(dc, foreground);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &item, u"", 0, nullptr);

    if (hasBox) {
        // A square box in the cell, centred on the row.
        const int side = std::min<int>(cell - 6, item.bottom - item.top - 2);
        const int top = item.top + (item.bottom - item.top - side) / 2;
        RECT box{item.left + 3, top, item.left + 3 + side, top + side};
        if (theme_) {
            KVOLinkingUtils::UxThemeDLL::Instance().DrawThemeBackground(
                theme_, dc, BP_CHECKBOX, checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &box);
        } else {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            DrawFrameControl(dc, &box, DFC_BUTTON, kFrameCheckState | (checked ? DFCS_CHECKED : 0));
            // The row's own colours again for its text, so that a selected row's text is not boxed in white.
            SetBkColor(dc, background);
            SetTextColor(dc, foreground);
        }
    }

    const std::u16string shown = u" " + text;
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &textRect, kRowTextFormat);
    if ((drawInfo.itemState & (ODS_SELECTED | ODS_FOCUS)) == (ODS_SELECTED | ODS_FOCUS)) {
        DrawFocusRect(dc, &item);
    }
    SetBkColor(dc, oldBackground);
    SetTextColor(dc, oldText);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

void SelectionCombo::SetSelection(const Bitset& selection)
{
    selection_ = selection;
    InvalidateText();
    UpdateText();
    const int rows = GetHandle() ? GetCount() : 0;
    for (int i = firstSelectable_; i < rows; ++i) {
        SetRowCheck(i, selection_.Test(static_cast<std::uint32_t>(i - firstSelectable_)));
    }
}

void SelectionCombo::ApplyTypedText()
{
    char16_t typed[kTypedTextLimit + 1] = {};
    if (HWND edit = FindWindowExW(GetHandle(), nullptr, u"Edit", nullptr)) {
        GetWindowTextW(edit, typed, kTypedTextLimit + 1);
    }
    const int selectable = GetCount() - firstSelectable_;
    SetSelection(ParseSelectionList(typed, String(), selectable > 0 ? static_cast<std::uint32_t>(selectable) : 0));
    dirty_ = false;
    Invalidate();
    ::SendMessageW(GetParentH(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetId()), EN_CHANGE),
                   reinterpret_cast<LPARAM>(GetHandle()));
}

void SelectionCombo::StopTyping()
{
    if (timerId_ != -1) {
        KillTimer(kTypingTimer);
        timerId_ = -1;
    }
}

bool SelectionCombo::EvNotifyAtChild(owl::uint notifyCode)
{
    switch (notifyCode) {
    case CBN_EDITCHANGE:
        KillTimer(kTypingTimer);
        timerId_ = SetTimer(kTypingTimer, kTypingPause) ? static_cast<int>(kTypingTimer) : -1;
        dirty_ = true;
        return true;
    case CBN_DROPDOWN:
    case CBN_KILLFOCUS:
        // Typed text waiting for its pause is applied now, also when no timer could be started for it.
        StopTyping();
        if (dirty_) {
            ApplyTypedText();
        }
        return true;
    default:
        return false;
    }
}

void SelectionCombo::EvTimer(owl::uint timerId)
{
    timerId_ = -1;
    if (timerId == kTypingTimer) {
        KillTimer(kTypingTimer);
        ApplyTypedText();
    }
}

String SelectionCombo::ComposeText()
{
    const int selectable = std::max(0, (GetHandle() ? GetCount() : 0) - firstSelectable_);
    if (selection_.FillWord() != 0) {
        const String all = DefaultAllKeyword();
        if (!all.IsEmpty() || selectable == 0) {
            return all;
        }
        return String((u"1-" + Decimal(static_cast<std::uint32_t>(selectable))).c_str());
    }
    const std::u16string separator = KVOLocale::GetListSeparator();
    std::u16string text;
    const std::uint32_t bits = selection_.WordCount() * 32;
    for (std::uint32_t bit = 0; bit < bits; ++bit) {
        if (!selection_.Test(bit)) {
            continue;
        }
        std::uint32_t last = bit;
        while (last + 1 < bits && selection_.Test(last + 1)) {
            ++last;
        }
        if (!text.empty()) {
            text += separator;
        }
        text += Decimal(bit + 1);
        if (last > bit) {
            text += u"-" + Decimal(last + 1);
        }
        bit = last;
    }
    return String(text.c_str());
}

} // namespace KVO
