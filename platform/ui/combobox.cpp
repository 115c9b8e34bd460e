// Combo boxes: a selection field (an edit child for drop-down combos), a button, and a drop-down list box that
// holds the items. CB_* messages go to the list as LB_* messages, as in Win32.
#include "platform/ui/controls.h"

#include <algorithm>

namespace ui::detail {
namespace {
constexpr int kEditId = 1001;

struct ComboData : ControlData {
    HWND list = nullptr;
    HWND edit = nullptr;
    int droppedHeight = 0;
    int fieldHeight = 0; // height of the selection field (CB_GETITEMHEIGHT -1)
    bool dropped = false;
    bool focus = false;
    bool internal = false; // the combo box itself is setting the edit text
    HFONT font = nullptr;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }
bool DropList(HWND hwnd) { return (Style(hwnd) & 0x3) == CBS_DROPDOWNLIST; }
bool OwnerDraw(HWND hwnd) { return Style(hwnd) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE); }

LRESULT List(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageW(Data<ComboData>(hwnd).list, message, wParam, lParam);
}

int Selection(HWND hwnd) { return static_cast<int>(List(hwnd, LB_GETCURSEL)); }

std::u16string ItemText(HWND hwnd, int index)
{
    const LRESULT length = List(hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    List(hwnd, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

RECT ButtonRect(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = GetSystemMetrics(SM_CXVSCROLL);
    return RECT{client.right - 2 - width, client.top + 2, client.right - 2, client.bottom - 2};
}

RECT FieldRect(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const RECT button = ButtonRect(hwnd);
    return RECT{client.left + 2, client.top + 2, button.left, client.bottom - 2};
}

void SyncEdit(HWND hwnd)
{
    auto& data = Data<ComboData>(hwnd);
    if (data.edit) {
        const int index = Selection(hwnd);
        data.internal = true;
        SetWindowTextW(data.edit, index >= 0 ? ItemText(hwnd, index).c_str() : u"");
        SendMessageW(data.edit, EM_SETSEL, 0, -1);
        data.internal = false;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Layout(HWND hwnd)
{
    auto& data = Data<ComboData>(hwnd);
    if (data.edit) {
        const RECT field = FieldRect(hwnd);
        MoveWindow(data.edit, field.left + 1, field.top + 1, field.right - field.left - 2, field.bottom - field.top - 2,
                   TRUE);
    }
}

// Makes the window as tall as the selection field; the template height is the dropped list's.
void FitHeight(HWND hwnd)
{
    auto& data = Data<ComboData>(hwnd);
    RECT r;
    GetWindowRect(hwnd, &r);
    const int height = data.fieldHeight + 6;
    if (r.bottom - r.top != height) {
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Layout(hwnd);
}

void Close(HWND hwnd, bool ok)
{
    auto& data = Data<ComboData>(hwnd);
    if (!data.dropped) {
        return;
    }
    data.dropped = false;
    ShowWindow(data.list, SW_HIDE);
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (IsWindow(hwnd)) {
        NotifyParent(hwnd, CBN_CLOSEUP);
    }
}

void Drop(HWND hwnd)
{
    auto& data = Data<ComboData>(hwnd);
    if (data.dropped) {
        return;
    }
    NotifyParent(hwnd, CBN_DROPDOWN);
    if (!IsWindow(hwnd)) {
        return;
    }
    data.dropped = true;
    RECT r;
    GetWindowRect(hwnd, &r);
    const int items = std::max(1, static_cast<int>(List(hwnd, LB_GETCOUNT)));
    const int itemHeight = static_cast<int>(List(hwnd, LB_GETITEMHEIGHT));
    const int wanted = items * itemHeight + 2;
    const int room = std::max(itemHeight + 2, data.droppedHeight - (r.bottom - r.top));
    const int height = std::min(wanted, room);
    SetWindowPos(data.list, HWND_TOP, r.left, r.bottom, r.right - r.left, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    const int rows = std::max(1, (height - 2) / std::max(1, itemHeight));
    const int selected = Selection(hwnd);
    List(hwnd, LB_SETTOPINDEX, static_cast<WPARAM>(selected >= rows ? selected - rows + 1 : 0));
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Choose(HWND hwnd, int index)
{
    if (index == Selection(hwnd) || index < 0) {
        return;
    }
    List(hwnd, LB_SETCURSEL, static_cast<WPARAM>(index));
    SyncEdit(hwnd);
    NotifyParent(hwnd, CBN_SELCHANGE);
}

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<ComboData>(hwnd);
    const bool enabled = IsWindowEnabled(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = ControlColors(hwnd, hdc, DropList(hwnd) || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    FillRect(hdc, &client, brush);
    RECT edge = client;
    DrawEdge(hdc, &edge, EDGE_SUNKEN, BF_RECT);
    RECT button = ButtonRect(hwnd);
    DrawFrameControl(hdc, &button, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (data.dropped ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
    if (!DropList(hwnd)) {
        return;
    }
    RECT field = FieldRect(hwnd);
    FillRect(hdc, &field, enabled ? GetSysColorBrush(COLOR_WINDOW) : brush);
    InflateRect(&field, -1, -1);
    const int index = Selection(hwnd);
    const bool highlight = data.focus && !data.dropped;
    if (OwnerDraw(hwnd)) {
        DRAWITEMSTRUCT dis{ODT_COMBOBOX,
                           static_cast<UINT>(GetDlgCtrlID(hwnd)),
                           static_cast<UINT>(index),
                           ODA_DRAWENTIRE,
                           ODS_COMBOBOXEDIT | (highlight ? ODS_SELECTED | ODS_FOCUS : 0u) | (enabled ? 0u : ODS_DISABLED),
                           hwnd,
                           hdc,
                           field,
                           index >= 0 ? static_cast<ULONG_PTR>(List(hwnd, LB_GETITEMDATA, static_cast<WPARAM>(index)))
                                      : 0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        return;
    }
    if (highlight) {
        FillRect(hdc, &field, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    }
    if (index >= 0) {
        RECT text = field;
        text.left += 1;
        DrawControlText(hwnd, hdc, data.font, text, ItemText(hwnd, index), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                        enabled);
    }
    if (highlight) {
        DrawFocusRect(hdc, &field);
    }
}

LRESULT KeyDown(HWND hwnd, WPARAM key)
{
    auto& data = Data<ComboData>(hwnd);
    if (key == VK_F4) {
        data.dropped ? Close(hwnd, true) : Drop(hwnd);
        return 0;
    }
    if (data.dropped && (key == VK_RETURN || key == VK_ESCAPE)) {
        Close(hwnd, key == VK_RETURN);
        return 0;
    }
    if (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT) {
        // The list moves its own selection (and tells the combo), as Win32 hands these keys to it; a list whose
        // procedure was subclassed sees them.
        return SendMessageW(data.list, WM_KEYDOWN, key, 0);
    }
    const int count = static_cast<int>(List(hwnd, LB_GETCOUNT));
    const int current = Selection(hwnd);
    int index = current;
    switch (key) {
    case VK_UP:
        index = std::max(0, current - 1);
        break;
    case VK_DOWN:
        index = current < 0 ? 0 : std::min(count - 1, current + 1);
        break;
    case VK_HOME:
        index = 0;
        break;
    case VK_END:
        index = count - 1;
        break;
    default:
        return 0;
    }
    if (count > 0) {
        Choose(hwnd, index);
    }
    return 0;
}
}

LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<ComboData>(hwnd);
    switch (message) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        data.droppedHeight = cs ? cs->cy : 0;
        // Scroll-bar styles belong to the drop-down list, not to the combo box's own frame.
        if (ui::detail::Window* w = Find(hwnd)) {
            w->style &= ~(WS_VSCROLL | WS_HSCROLL);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_CREATE: {
        const DWORD style = Style(hwnd);
        // The selection field is measured first, then the list's items (when the list is made).
        data.fieldHeight = FontHeight(ControlFont(hwnd, data.font)) + 2;
        if (OwnerDraw(hwnd)) {
            MEASUREITEMSTRUCT mis{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(-1), 0,
                                  static_cast<UINT>(data.fieldHeight), 0};
            SendMessageW(GetParent(hwnd), WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
            data.fieldHeight = static_cast<int>(mis.itemHeight);
        }

        const DWORD listStyle = WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | (style & CBS_SORT ? LBS_SORT : 0) |
                                (style & CBS_OWNERDRAWFIXED ? LBS_OWNERDRAWFIXED : 0) |
                                (style & CBS_OWNERDRAWVARIABLE ? LBS_OWNERDRAWVARIABLE : 0) |
                                (style & CBS_HASSTRINGS ? LBS_HASSTRINGS : 0);
        data.list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, u"ComboLBox", nullptr, listStyle, 0, 0, 0,
                                    0, hwnd, nullptr, nullptr, hwnd);
        if (!DropList(hwnd)) {
            data.edit = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0, 0, hwnd,
                                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(kEditId)), nullptr, nullptr);
        }
        FitHeight(hwnd);
        return 0;
    }
    case WM_DESTROY:
        if (data.list) {
            DestroyWindow(data.list);
            data.list = nullptr;
        }
        return 0;
    case WM_SIZE:
        Layout(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return data.dropped ? DLGC_WANTALLKEYS : DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
        data.font = reinterpret_cast<HFONT>(wParam);
        if (data.edit) {
            SendMessageW(data.edit, WM_SETFONT, wParam, lParam);
        }
        SendMessageW(data.list, WM_SETFONT, wParam, lParam);
        if (!OwnerDraw(hwnd)) {
            data.fieldHeight = FontHeight(ControlFont(hwnd, data.font)) + 2;
            FitHeight(hwnd);
        }
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
    case WM_ENABLE:
        if (data.edit) {
            EnableWindow(data.edit, static_cast<BOOL>(wParam));
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        if (data.edit) {
            SetFocus(data.edit);
            return 0;
        }
        data.focus = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (data.edit && reinterpret_cast<HWND>(wParam) == data.edit) {
            return 0;
        }
        Close(hwnd, false);
        data.focus = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (!data.edit) {
            NotifyParent(hwnd, CBN_KILLFOCUS);
        }
        return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd && GetFocus() != data.edit) {
            SetFocus(hwnd);
        }
        const RECT button = ButtonRect(hwnd);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (DropList(hwnd) || PtInRect(&button, p)) {
            data.dropped ? Close(hwnd, false) : Drop(hwnd);
        }
        return 0;
    }
    case WM_KEYDOWN:
        return KeyDown(hwnd, wParam);
    case WM_CHAR:
        if (DropList(hwnd) && wParam >= 0x20) {
            const char16_t prefix[2] = {static_cast<char16_t>(wParam), 0};
            const LRESULT found = List(hwnd, LB_FINDSTRING, static_cast<WPARAM>(Selection(hwnd)),
                                       reinterpret_cast<LPARAM>(prefix));
            if (found >= 0) {
                Choose(hwnd, static_cast<int>(found));
            }
        }
        return 0;
    case WM_COMMAND: {
        const HWND from = reinterpret_cast<HWND>(lParam);
        const WORD code = HIWORD(wParam);
        if (from == data.edit) {
            switch (code) {
            case EN_CHANGE:
                if (!data.internal) {
                    NotifyParent(hwnd, CBN_EDITCHANGE);
                }
                break;
            case EN_UPDATE:
                if (!data.internal) {
                    NotifyParent(hwnd, CBN_EDITUPDATE);
                }
                break;
            case EN_SETFOCUS:
                if (!data.focus) {
                    data.focus = true;
                    NotifyParent(hwnd, CBN_SETFOCUS);
                }
                break;
            case EN_KILLFOCUS: {
                const HWND focus = GetFocus();
                if (focus != hwnd && focus != data.edit) {
                    Close(hwnd, false);
                    data.focus = false;
                    NotifyParent(hwnd, CBN_KILLFOCUS);
                }
                break;
            }
            default:
                break;
            }
        } else if (from == data.list && code == LBN_SELCHANGE) {
            SyncEdit(hwnd);
            NotifyParent(hwnd, CBN_SELCHANGE);
        }
        return 0;
    }
    case kComboListChosen:
        Close(hwnd, true);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        if (HWND parent = GetParent(hwnd)) {
            if (const LRESULT brush = SendMessageW(parent, message, wParam, lParam)) {
                return brush;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETTEXT:
        if (data.edit) {
            // Text set by the program is no edit by the user: no CBN_EDITCHANGE or CBN_EDITUPDATE, as in Win32.
            data.internal = true;
            const LRESULT result = SendMessageW(data.edit, WM_SETTEXT, wParam, lParam);
            data.internal = false;
            return result;
        } else {
            const LRESULT found = List(hwnd, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam);
            if (found < 0) {
                return CB_ERR;
            }
            List(hwnd, LB_SETCURSEL, static_cast<WPARAM>(found));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        if (data.edit) {
            return SendMessageW(data.edit, message, wParam, lParam);
        }
        const int index = Selection(hwnd);
        const std::u16string text = index >= 0 ? ItemText(hwnd, index) : std::u16string();
        if (message == WM_GETTEXTLENGTH) {
            return static_cast<LRESULT>(text.size());
        }
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) {
            return 0;
        }
        const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::copy_n(text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case CB_ADDSTRING:
        return List(hwnd, LB_ADDSTRING, wParam, lParam);
    case CB_INSERTSTRING:
        return List(hwnd, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: {
        const bool selected = static_cast<int>(wParam) == Selection(hwnd);
        const LRESULT result = List(hwnd, LB_DELETESTRING, wParam, lParam);
        if (selected) {
            SyncEdit(hwnd);
        }
        return result;
    }
    case CB_RESETCONTENT:
        List(hwnd, LB_RESETCONTENT);
        SyncEdit(hwnd);
        return CB_OKAY;
    case CB_GETCOUNT:
        return List(hwnd, LB_GETCOUNT);
    case CB_GETCURSEL:
        return Selection(hwnd);
    case CB_SETCURSEL: {
        // Sets the selection without any notification; -1 clears it and answers CB_ERR.
        const LRESULT result = List(hwnd, LB_SETCURSEL, wParam);
        SyncEdit(hwnd);
        return result;
    }
    case CB_GETLBTEXT:
        return List(hwnd, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN:
        return List(hwnd, LB_GETTEXTLEN, wParam, lParam);
    case CB_FINDSTRING:
        return List(hwnd, LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT:
        return List(hwnd, LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_SELECTSTRING: {
        const LRESULT found = List(hwnd, LB_FINDSTRING, wParam, lParam);
        if (found >= 0) {
            List(hwnd, LB_SETCURSEL, static_cast<WPARAM>(found));
            SyncEdit(hwnd);
        }
        return found;
    }
    case CB_GETITEMDATA:
        return List(hwnd, LB_GETITEMDATA, wParam, lParam);
    case CB_SETITEMDATA:
        return List(hwnd, LB_SETITEMDATA, wParam, lParam);
    case CB_SHOWDROPDOWN:
        if (wParam) {
            Drop(hwnd);
        } else if (data.dropped) {
            data.dropped = false;
            ShowWindow(data.list, SW_HIDE);
            InvalidateRect(hwnd, nullptr, TRUE);
            NotifyParent(hwnd, CBN_CLOSEUP);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return data.dropped;
    case CB_GETDROPPEDCONTROLRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (rect) {
            GetWindowRect(hwnd, rect);
            rect->bottom = rect->top + std::max(data.droppedHeight, static_cast<int>(rect->bottom - rect->top));
        }
        return CB_OKAY;
    }
    case CB_SETITEMHEIGHT:
        if (static_cast<int>(wParam) == -1) {
            data.fieldHeight = std::max(1, static_cast<int>(lParam));
            FitHeight(hwnd);
            return CB_OKAY;
        }
        return List(hwnd, LB_SETITEMHEIGHT, wParam, lParam);
    case CB_GETITEMHEIGHT:
        return static_cast<int>(wParam) == -1 ? data.fieldHeight : List(hwnd, LB_GETITEMHEIGHT, wParam, lParam);
    case CB_LIMITTEXT:
        return data.edit ? SendMessageW(data.edit, EM_LIMITTEXT, wParam, 0) : CB_ERR;
    case CB_GETEDITSEL:
        return data.edit ? SendMessageW(data.edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
        return data.edit ? (SendMessageW(data.edit, EM_SETSEL, static_cast<WPARAM>(static_cast<SHORT>(LOWORD(lParam))),
                                         static_cast<LPARAM>(static_cast<SHORT>(HIWORD(lParam)))),
                            TRUE)
                         : CB_ERR;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}

BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info)
{
    using namespace ui::detail;
    if (!info || !IsWindow(combo) || !Find(combo)->data || !dynamic_cast<ComboData*>(Find(combo)->data.get())) {
        return FALSE;
    }
    const auto& data = Data<ComboData>(combo);
    info->rcItem = FieldRect(combo);
    info->rcButton = ButtonRect(combo);
    info->stateButton = data.dropped ? 0x8 : 0; // STATE_SYSTEM_PRESSED
    info->hwndCombo = combo;
    info->hwndItem = data.edit ? data.edit : combo;
    info->hwndList = data.list;
    return TRUE;
}
