// List boxes, and the drop-down list of combo boxes ("ComboLBox"), which reports to its combo box.
#include "platform/ui/controls.h"

#include <algorithm>

namespace ui::detail {
namespace {
struct ListData : ControlData {
    std::vector<ListItem> items;
    int cursel = -1;
    int top = 0;
    int caret = 0;
    int itemHeight = 0;
    HFONT font = nullptr;
    HWND combo = nullptr; // set for a combo box's drop-down list
    bool focus = false;
    bool hoverSelected = false; // the selection followed the cursor and is not yet notified
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }
bool Multiple(HWND hwnd) { return Style(hwnd) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL); }
bool OwnerDraw(HWND hwnd) { return Style(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE); }
bool HasStrings(HWND hwnd) { return !OwnerDraw(hwnd) || (Style(hwnd) & LBS_HASSTRINGS); }

// Where owner-draw requests go, and under which control type and id.
HWND Owner(HWND hwnd, const ListData& data)
{
    return data.combo ? GetParent(data.combo) : GetParent(hwnd);
}
UINT OwnerType(const ListData& data) { return data.combo ? ODT_COMBOBOX : ODT_LISTBOX; }
HWND Item(HWND hwnd, const ListData& data) { return data.combo ? data.combo : hwnd; }

int Height(HWND hwnd, ListData& data)
{
    if (data.itemHeight <= 0) {
        data.itemHeight = FontHeight(ControlFont(hwnd, data.font));
    }
    return data.itemHeight;
}

// Lists of variable owner-drawn height keep each item's measured height.
bool Variable(HWND hwnd) { return Style(hwnd) & LBS_OWNERDRAWVARIABLE; }

int RowHeight(HWND hwnd, ListData& data, int index)
{
    if (Variable(hwnd) && index >= 0 && index < static_cast<int>(data.items.size())) {
        const int height = data.items[static_cast<std::size_t>(index)].height;
        if (height > 0) {
            return height;
        }
    }
    return Height(hwnd, data);
}

// The top of a row relative to the top row.
int RowTop(HWND hwnd, ListData& data, int index)
{
    int y = 0;
    for (int i = data.top; i < index; ++i) {
        y += RowHeight(hwnd, data, i);
    }
    for (int i = index; i < data.top; ++i) {
        y -= RowHeight(hwnd, data, i);
    }
    return y;
}

int Visible(HWND hwnd, ListData& data)
{
    RECT client;
    GetClientRect(hwnd, &client);
    return std::max(1, static_cast<int>(client.bottom / std::max(1, Height(hwnd, data))));
}

void Notify(HWND hwnd, ListData& data, WORD code)
{
    if (data.combo) {
        SendMessageW(data.combo, WM_COMMAND, MAKEWPARAM(1000, code), reinterpret_cast<LPARAM>(hwnd));
    } else if (Style(hwnd) & LBS_NOTIFY) {
        NotifyParent(hwnd, code);
    }
}

void UpdateScroll(HWND hwnd, ListData& data)
{
    if (!(Style(hwnd) & WS_VSCROLL)) {
        return;
    }
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0,
                    std::max(0, static_cast<int>(data.items.size()) - 1), static_cast<UINT>(Visible(hwnd, data)),
                    data.top, 0};
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void EnsureVisible(HWND hwnd, ListData& data, int index)
{
    RECT client;
    GetClientRect(hwnd, &client);
    if (client.bottom <= 0) {
        return; // not laid out yet (a combo box's list before it drops)
    }
    const int visible = Visible(hwnd, data);
    if (index < data.top) {
        data.top = std::max(0, index);
    } else if (index >= data.top + visible) {
        data.top = index - visible + 1;
    }
    UpdateScroll(hwnd, data);
}

bool Less(const std::u16string& a, const std::u16string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char16_t x, char16_t y) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
        return lower(x) < lower(y);
    });
}

bool StartsWith(const std::u16string& text, std::u16string_view prefix, bool exact)
{
    if (exact ? text.size() != prefix.size() : text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
        if (lower(text[i]) != lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

LRESULT Insert(HWND hwnd, ListData& data, int index, LPARAM lParam, bool sorted)
{
    ListItem item;
    if (HasStrings(hwnd)) {
        item.text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
    } else {
        item.data = static_cast<ULONG_PTR>(lParam);
    }
    if (sorted && HasStrings(hwnd)) {
        index = static_cast<int>(std::upper_bound(data.items.begin(), data.items.end(), item,
                                                  [](const ListItem& a, const ListItem& b) { return Less(a.text, b.text); }) -
                                 data.items.begin());
    } else if (index < 0 || index > static_cast<int>(data.items.size())) {
        if (index >= 0) {
            return LB_ERR;
        }
        index = static_cast<int>(data.items.size());
    }
    if (Style(hwnd) & LBS_OWNERDRAWVARIABLE) {
        MEASUREITEMSTRUCT mis{OwnerType(data), static_cast<UINT>(GetDlgCtrlID(Item(hwnd, data))),
                              static_cast<UINT>(index), 0, static_cast<UINT>(Height(hwnd, data)),
                              static_cast<ULONG_PTR>(item.data)};
        SendMessageW(Owner(hwnd, data), WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
        item.height = static_cast<int>(mis.itemHeight);
    }
    data.items.insert(data.items.begin() + index, item);
    if (data.cursel >= index) {
        ++data.cursel;
    }
    UpdateScroll(hwnd, data);
    InvalidateRect(hwnd, nullptr, TRUE);
    return index;
}

void Select(HWND hwnd, ListData& data, int index)
{
    if (index == data.cursel) {
        return;
    }
    data.cursel = index;
    if (index >= 0) {
        data.caret = index;
        EnsureVisible(hwnd, data, index);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

int ItemAt(HWND hwnd, ListData& data, int y)
{
    if (y < 0) {
        return -1;
    }
    for (int i = data.top, top = 0; i < static_cast<int>(data.items.size()); ++i) {
        top += RowHeight(hwnd, data, i);
        if (y < top) {
            return i;
        }
    }
    return -1;
}

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<ListData>(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = data.combo ? ControlColors(data.combo, hdc, WM_CTLCOLORLISTBOX)
                              : ControlColors(hwnd, hdc, WM_CTLCOLORLISTBOX);
    FillRect(hdc, &client, brush);
    const bool enabled = IsWindowEnabled(hwnd);
    int y = 0;
    for (int i = data.top; i < static_cast<int>(data.items.size()); ++i) {
        const RECT r{0, y, client.right, y + RowHeight(hwnd, data, i)};
        y = r.bottom;
        if (r.top >= client.bottom) {
            break;
        }
        const ListItem& item = data.items[static_cast<std::size_t>(i)];
        const bool selected = Multiple(hwnd) ? item.selected : i == data.cursel;
        if (OwnerDraw(hwnd)) {
            DRAWITEMSTRUCT dis{OwnerType(data),
                               static_cast<UINT>(GetDlgCtrlID(Item(hwnd, data))),
                               static_cast<UINT>(i),
                               ODA_DRAWENTIRE,
                               (selected ? ODS_SELECTED : 0u) | (data.focus && i == data.caret ? ODS_FOCUS : 0u) |
                                   (enabled ? 0u : ODS_DISABLED),
                               Item(hwnd, data),
                               hdc,
                               r,
                               item.data};
            SendMessageW(Owner(hwnd, data), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
            continue;
        }
        if (selected) {
            FillRect(hdc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        const COLORREF old = SetTextColor(hdc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetTextColor(hdc));
        RECT text = r;
        text.left += 2;
        DrawControlText(hwnd, hdc, data.font, text, item.text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, enabled);
        SetTextColor(hdc, old);
        if (data.focus && i == data.caret && !data.combo) {
            DrawFocusRect(hdc, &r);
        }
    }
}
}

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<ListData>(hwnd);
    const int count = static_cast<int>(data.items.size());
    switch (message) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        WCHAR name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (std::u16string_view(name) == u"ComboLBox" && cs) {
            data.combo = static_cast<HWND>(cs->lpCreateParams);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_CREATE:
        if (Style(hwnd) & LBS_OWNERDRAWFIXED) {
            MEASUREITEMSTRUCT mis{OwnerType(data), static_cast<UINT>(GetDlgCtrlID(Item(hwnd, data))), 0, 0,
                                  static_cast<UINT>(Height(hwnd, data)), 0};
            SendMessageW(Owner(hwnd, data), WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
            data.itemHeight = static_cast<int>(mis.itemHeight);
        }
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEACTIVATE:
        // A drop-down list never takes the focus from its combo box.
        return data.combo ? MA_NOACTIVATE : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETFONT:
        data.font = reinterpret_cast<HFONT>(wParam);
        if (!OwnerDraw(hwnd)) {
            data.itemHeight = 0;
        }
        UpdateScroll(hwnd, data);
        if (LOWORD(lParam)) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data.font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return PaintControl(hwnd, Paint);
    case WM_SETFOCUS:
        data.focus = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, data, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        data.focus = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, data, LBN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (!data.combo && GetFocus() != hwnd) {
            SetFocus(hwnd);
        }
        const int index = ItemAt(hwnd, data, GET_Y_LPARAM(lParam));
        if (index < 0) {
            return 0;
        }
        if (Multiple(hwnd)) {
            data.items[static_cast<std::size_t>(index)].selected = !data.items[static_cast<std::size_t>(index)].selected;
            data.caret = index;
            InvalidateRect(hwnd, nullptr, TRUE);
            Notify(hwnd, data, LBN_SELCHANGE);
        } else if (index != data.cursel || data.hoverSelected) {
            // A row the cursor selected on its way is chosen by the click: that is the change the owner hears of.
            Select(hwnd, data, index);
            data.hoverSelected = false;
            Notify(hwnd, data, LBN_SELCHANGE);
        }
        if (message == WM_LBUTTONDBLCLK) {
            Notify(hwnd, data, LBN_DBLCLK);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        // A combo's dropped list follows the cursor: the row under it becomes the selection, without a notice.
        if (data.combo && !Multiple(hwnd)) {
            const int index = ItemAt(hwnd, data, GET_Y_LPARAM(lParam));
            if (index >= 0 && index != data.cursel) {
                Select(hwnd, data, index);
                data.hoverSelected = true;
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (data.combo && ItemAt(hwnd, data, GET_Y_LPARAM(lParam)) >= 0) {
            SendMessageW(data.combo, kComboListChosen, 0, 0);
        }
        return 0;
    case WM_KEYDOWN: {
        if (count == 0) {
            return 0;
        }
        int index = data.cursel < 0 ? 0 : data.cursel;
        switch (wParam) {
        case VK_UP:
        case VK_LEFT:
            index = std::max(0, index - 1);
            break;
        case VK_DOWN:
        case VK_RIGHT:
            index = data.cursel < 0 ? 0 : std::min(count - 1, index + 1);
            break;
        case VK_HOME:
            index = 0;
            break;
        case VK_END:
            index = count - 1;
            break;
        case VK_PRIOR:
            index = std::max(0, index - Visible(hwnd, data) + 1);
            break;
        case VK_NEXT:
            index = std::min(count - 1, index + Visible(hwnd, data) - 1);
            break;
        default:
            return 0;
        }
        if (index != data.cursel) {
            Select(hwnd, data, index);
            Notify(hwnd, data, LBN_SELCHANGE);
        }
        return 0;
    }
    case WM_VSCROLL: {
        const int visible = Visible(hwnd, data);
        int top = data.top;
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            --top;
            break;
        case SB_LINEDOWN:
            ++top;
            break;
        case SB_PAGEUP:
            top -= visible;
            break;
        case SB_PAGEDOWN:
            top += visible;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            top = HIWORD(wParam);
            break;
        case SB_TOP:
            top = 0;
            break;
        case SB_BOTTOM:
            top = count;
            break;
        default:
            return 0;
        }
        data.top = std::clamp(top, 0, std::max(0, count - visible));
        UpdateScroll(hwnd, data);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LB_ADDSTRING:
        return Insert(hwnd, data, -1, lParam, Style(hwnd) & LBS_SORT);
    case LB_INSERTSTRING:
        return Insert(hwnd, data, static_cast<int>(wParam), lParam, false);
    case LB_DELETESTRING: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        data.items.erase(data.items.begin() + index);
        if (data.cursel == index) {
            data.cursel = -1;
        } else if (data.cursel > index) {
            --data.cursel;
        }
        data.top = std::min(data.top, std::max(0, count - 2));
        UpdateScroll(hwnd, data);
        InvalidateRect(hwnd, nullptr, TRUE);
        return count - 1;
    }
    case LB_RESETCONTENT:
        data.items.clear();
        data.cursel = -1;
        data.top = 0;
        data.caret = 0;
        UpdateScroll(hwnd, data);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_GETCURSEL:
        return Multiple(hwnd) ? data.caret : data.cursel;
    case LB_SETCURSEL: {
        const int index = static_cast<int>(wParam);
        data.hoverSelected = false;
        if (Multiple(hwnd)) {
            return LB_ERR;
        }
        if (index < 0 || index >= count) {
            Select(hwnd, data, -1);
            return LB_ERR;
        }
        Select(hwnd, data, index);
        return index;
    }
    case LB_GETSEL: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        return Multiple(hwnd) ? data.items[static_cast<std::size_t>(index)].selected : index == data.cursel;
    }
    case LB_SETSEL: {
        if (!Multiple(hwnd)) {
            return LB_ERR;
        }
        const int index = static_cast<int>(static_cast<std::intptr_t>(lParam));
        for (int i = 0; i < count; ++i) {
            if (index == -1 || i == index) {
                data.items[static_cast<std::size_t>(i)].selected = wParam != 0;
            }
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LB_GETSELCOUNT:
        return Multiple(hwnd) ? std::count_if(data.items.begin(), data.items.end(), [](const ListItem& i) { return i.selected; })
                              : LB_ERR;
    case LB_GETSELITEMS: {
        if (!Multiple(hwnd)) {
            return LB_ERR;
        }
        auto* out = reinterpret_cast<int*>(lParam);
        int n = 0;
        for (int i = 0; i < count && n < static_cast<int>(wParam); ++i) {
            if (data.items[static_cast<std::size_t>(i)].selected) {
                out[n++] = i;
            }
        }
        return n;
    }
    case LB_GETTEXT: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= count || !lParam) {
            return LB_ERR;
        }
        const ListItem& item = data.items[static_cast<std::size_t>(index)];
        if (!HasStrings(hwnd)) {
            *reinterpret_cast<ULONG_PTR*>(lParam) = item.data;
            return sizeof(ULONG_PTR);
        }
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        std::copy(item.text.begin(), item.text.end(), buffer);
        buffer[item.text.size()] = 0;
        return static_cast<LRESULT>(item.text.size());
    }
    case LB_GETTEXTLEN: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        return HasStrings(hwnd) ? static_cast<LRESULT>(data.items[static_cast<std::size_t>(index)].text.size())
                                : static_cast<LRESULT>(sizeof(ULONG_PTR));
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: {
        if (!lParam || count == 0) {
            return LB_ERR;
        }
        const std::u16string_view prefix(reinterpret_cast<LPCWSTR>(lParam));
        const int start = static_cast<int>(wParam);
        for (int n = 1; n <= count; ++n) {
            const int i = ((start < 0 ? -1 : start) + n) % count;
            if (StartsWith(data.items[static_cast<std::size_t>(i)].text, prefix, message == LB_FINDSTRINGEXACT)) {
                if (message == LB_SELECTSTRING) {
                    Select(hwnd, data, i);
                }
                return i;
            }
        }
        return LB_ERR;
    }
    case LB_GETITEMDATA: {
        const int index = static_cast<int>(wParam);
        return index < 0 || index >= count ? LB_ERR
                                           : static_cast<LRESULT>(data.items[static_cast<std::size_t>(index)].data);
    }
    case LB_SETITEMDATA: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= count) {
            return LB_ERR;
        }
        data.items[static_cast<std::size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return 0;
    }
    case LB_GETTOPINDEX:
        return data.top;
    case LB_SETTOPINDEX:
        if (static_cast<int>(wParam) >= count && count > 0) {
            return LB_ERR;
        }
        data.top = std::max(0, static_cast<int>(wParam));
        UpdateScroll(hwnd, data);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_GETCARETINDEX:
        return data.caret;
    case LB_SETCARETINDEX:
        data.caret = std::clamp(static_cast<int>(wParam), 0, std::max(0, count - 1));
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_GETITEMHEIGHT:
        return Variable(hwnd) ? RowHeight(hwnd, data, static_cast<int>(wParam)) : Height(hwnd, data);
    case LB_SETITEMHEIGHT:
        if (Variable(hwnd)) {
            if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count) {
                return LB_ERR;
            }
            data.items[wParam].height = std::max(1, static_cast<int>(LOWORD(lParam)));
            UpdateScroll(hwnd, data);
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        data.itemHeight = std::max(1, static_cast<int>(LOWORD(lParam)));
        UpdateScroll(hwnd, data);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_GETITEMRECT: {
        const int index = static_cast<int>(wParam);
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (index < 0 || index >= count || !rect) {
            return LB_ERR;
        }
        RECT client;
        GetClientRect(hwnd, &client);
        const int top = RowTop(hwnd, data, index);
        *rect = RECT{0, top, client.right, top + RowHeight(hwnd, data, index)};
        return 0;
    }
    case LB_ITEMFROMPOINT: {
        const int index = ItemAt(hwnd, data, GET_Y_LPARAM(lParam));
        return index < 0 ? MAKELONG(static_cast<WORD>(count), 1) : MAKELONG(static_cast<WORD>(index), 0);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}
