// Push buttons, check boxes, radio buttons and group boxes.
#include "platform/ui/controls.h"

#include <algorithm>

namespace ui::detail {
namespace {
struct ButtonData : ControlData {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focus = false;
    bool tracking = false;
    HFONT font = nullptr;
    HANDLE image = nullptr;
};

DWORD Type(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & BS_TYPEMASK; }

bool IsCheck(DWORD type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// The siblings that form a radio group with `hwnd`: from the last WS_GROUP at or before it to the next WS_GROUP.
std::vector<HWND> Group(HWND hwnd)
{
    const std::vector<HWND> siblings = Children(GetParent(hwnd));
    const auto at = std::find(siblings.begin(), siblings.end(), hwnd);
    if (at == siblings.end()) {
        return {hwnd};
    }
    auto first = at;
    while (first != siblings.begin() && !(GetWindowLongPtrW(*first, GWL_STYLE) & WS_GROUP)) {
        --first;
    }
    auto last = at + 1;
    while (last != siblings.end() && !(GetWindowLongPtrW(*last, GWL_STYLE) & WS_GROUP)) {
        ++last;
    }
    return std::vector<HWND>(first, last);
}

void Click(HWND hwnd)
{
    auto& data = Data<ButtonData>(hwnd);
    switch (Type(hwnd)) {
    case BS_AUTOCHECKBOX:
        SendMessageW(hwnd, BM_SETCHECK, data.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        break;
    case BS_AUTO3STATE:
        SendMessageW(hwnd, BM_SETCHECK, (data.check + 1) % 3, 0);
        break;
    case BS_AUTORADIOBUTTON:
        for (HWND other : Group(hwnd)) {
            if (other != hwnd && Type(other) == BS_AUTORADIOBUTTON) {
                SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
        SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        break;
    default:
        break;
    }
    if (IsWindow(hwnd)) {
        NotifyParent(hwnd, BN_CLICKED);
    }
}

void SetPushed(HWND hwnd, bool pushed)
{
    auto& data = Data<ButtonData>(hwnd);
    if (data.pushed != pushed) {
        data.pushed = pushed;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

void DrawImage(HDC hdc, HBITMAP bitmap, const RECT& r)
{
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info)) {
        return;
    }
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(hdc, (r.left + r.right - info.bmWidth) / 2, (r.top + r.bottom - info.bmHeight) / 2, info.bmWidth,
           info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<ButtonData>(hwnd);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const DWORD type = style & BS_TYPEMASK;
    const bool enabled = IsWindowEnabled(hwnd);
    std::u16string text = WindowText(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT dis{ODT_BUTTON,
                           static_cast<UINT>(GetDlgCtrlID(hwnd)),
                           0,
                           ODA_DRAWENTIRE,
                           (data.pushed ? ODS_SELECTED : 0u) | (data.focus ? ODS_FOCUS : 0u) |
                               (enabled ? 0u : ODS_DISABLED),
                           hwnd,
                           hdc,
                           client,
                           0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        return;
    }
    const bool pushLike = (style & BS_PUSHLIKE) && (IsCheck(type) || IsRadio(type));
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON || pushLike) {
        FillRect(hdc, &client, ControlColors(hwnd, hdc, WM_CTLCOLORBTN));
        RECT r = client;
        if (type == BS_DEFPUSHBUTTON) {
            FrameRect(hdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
            InflateRect(&r, -1, -1);
        }
        const bool down = data.pushed || (pushLike && data.check == BST_CHECKED);
        DrawFrameControl(hdc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
        RECT content = r;
        InflateRect(&content, -2, -2);
        if (down) {
            OffsetRect(&content, 1, 1);
        }
        if ((style & BS_BITMAP) && data.image) {
            DrawImage(hdc, static_cast<HBITMAP>(data.image), content);
        } else {
            SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
            DrawControlText(hwnd, hdc, data.font, content, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled);
        }
        if (data.focus) {
            RECT focus = r;
            InflateRect(&focus, -3, -3);
            DrawFocusRect(hdc, &focus);
        }
        return;
    }
    FillRect(hdc, &client, ControlColors(hwnd, hdc, WM_CTLCOLORSTATIC));
    if (type == BS_GROUPBOX) {
        const int height = FontHeight(ControlFont(hwnd, data.font));
        RECT frame{client.left, client.top + height / 2, client.right, client.bottom};
        DrawEdge(hdc, &frame, EDGE_ETCHED, BF_RECT);
        if (!text.empty()) {
            HGDIOBJ old = SelectObject(hdc, ControlFont(hwnd, data.font));
            RECT measure{0, 0, 0, 0};
            DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &measure, DT_SINGLELINE | DT_CALCRECT);
            SelectObject(hdc, old);
            RECT label{client.left + 7, client.top, client.left + 7 + (measure.right - measure.left) + 4,
                       client.top + height};
            FillRect(hdc, &label, ControlColors(hwnd, hdc, WM_CTLCOLORSTATIC));
            label.left += 2;
            DrawControlText(hwnd, hdc, data.font, label, text, DT_SINGLELINE | DT_LEFT | DT_TOP, enabled);
        }
        return;
    }
    // Check boxes and radio buttons: a 13 x 13 box and the text beside it.
    const bool leftText = style & BS_LEFTTEXT;
    const int box = 13;
    const int top = (client.bottom - client.top - box) / 2;
    RECT boxRect{leftText ? client.right - box : client.left, top, leftText ? client.right : client.left + box,
                 top + box};
    UINT state = IsRadio(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (data.check == BST_CHECKED || data.check == BST_INDETERMINATE) {
        state |= DFCS_CHECKED;
    }
    if (data.pushed) {
        state |= DFCS_PUSHED;
    }
    if (!enabled || data.check == BST_INDETERMINATE) {
        state |= DFCS_INACTIVE;
    }
    DrawFrameControl(hdc, &boxRect, DFC_BUTTON, state);
    RECT label = client;
    if (leftText) {
        label.right -= box + 4;
    } else {
        label.left += box + 4;
    }
    const UINT format = (style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER) |
                        ((style & BS_CENTER) == BS_CENTER ? DT_CENTER : (style & BS_RIGHT) ? DT_RIGHT : DT_LEFT);
    DrawControlText(hwnd, hdc, data.font, label, text, format, enabled);
    if (data.focus && !text.empty()) {
        HGDIOBJ old = SelectObject(hdc, ControlFont(hwnd, data.font));
        RECT measure = label;
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &measure, format | DT_CALCRECT);
        SelectObject(hdc, old);
        const int h = measure.bottom - measure.top;
        RECT focus{label.left - 1, (client.bottom - h) / 2 - 1, label.left + (measure.right - measure.left) + 1,
                   (client.bottom - h) / 2 + h + 1};
        DrawFocusRect(hdc, &focus);
    }
}
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<ButtonData>(hwnd);
    const DWORD type = Type(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        switch (type) {
        case BS_PUSHBUTTON:
        case BS_USERBUTTON:
        case BS_OWNERDRAW:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case WM_NCHITTEST:
        return type == BS_GROUPBOX ? HTTRANSPARENT : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETTEXT:
        DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_SETFONT:
        return SetControlFont(hwnd, data.font, wParam, lParam);
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data.font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return PaintControl(hwnd, Paint);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX) {
            return 0;
        }
        if (GetFocus() != hwnd) {
            SetFocus(hwnd);
        }
        SetCapture(hwnd);
        data.tracking = true;
        SetPushed(hwnd, true);
        if (message == WM_LBUTTONDBLCLK && (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY)) {
            NotifyParent(hwnd, BN_DOUBLECLICKED);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (data.tracking) {
            RECT client;
            GetClientRect(hwnd, &client);
            SetPushed(hwnd, PtInRect(&client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        }
        return 0;
    case WM_LBUTTONUP:
        if (data.tracking) {
            const bool inside = data.pushed;
            data.tracking = false;
            SetPushed(hwnd, false);
            ReleaseCapture();
            if (inside) {
                Click(hwnd);
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (data.tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
            data.tracking = false;
            SetPushed(hwnd, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX) {
            SetPushed(hwnd, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && data.pushed) {
            SetPushed(hwnd, false);
            Click(hwnd);
        }
        return 0;
    case WM_SETFOCUS:
        data.focus = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY) {
            NotifyParent(hwnd, BN_SETFOCUS);
        }
        return 0;
    case WM_KILLFOCUS:
        data.focus = false;
        if (data.pushed && !data.tracking) {
            data.pushed = false;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_NOTIFY) {
            NotifyParent(hwnd, BN_KILLFOCUS);
        }
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case BM_GETCHECK:
        return IsCheck(type) || IsRadio(type) ? data.check : BST_UNCHECKED;
    case BM_SETCHECK: {
        // Changes the state only: no notification, as in Win32.
        const UINT check = type == BS_3STATE || type == BS_AUTO3STATE ? static_cast<UINT>(wParam) % 3
                                                                       : (wParam ? BST_CHECKED : BST_UNCHECKED);
        if ((IsCheck(type) || IsRadio(type)) && data.check != check) {
            data.check = check;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case BM_GETSTATE:
        return data.check | (data.pushed ? BST_PUSHED : 0) | (data.focus ? BST_FOCUS : 0);
    case BM_SETSTATE:
        SetPushed(hwnd, wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF));
        if (LOWORD(lParam)) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case BM_CLICK:
        if (IsWindowEnabled(hwnd) && IsWindowVisible(hwnd)) {
            Click(hwnd);
        }
        return 0;
    case BM_GETIMAGE:
        return reinterpret_cast<LRESULT>(data.image);
    case BM_SETIMAGE: {
        HANDLE old = data.image;
        data.image = reinterpret_cast<HANDLE>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void DrawControlText(HWND hwnd, HDC hdc, HFONT font, RECT rect, const std::u16string& text, UINT format,
                     bool enabled)
{
    if (text.empty()) {
        return;
    }
    HGDIOBJ old = SelectObject(hdc, ControlFont(hwnd, font));
    const int mode = SetBkMode(hdc, TRANSPARENT);
    COLORREF color = GetTextColor(hdc);
    if (!enabled) {
        color = SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    }
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rect, format);
    if (!enabled) {
        SetTextColor(hdc, color);
    }
    SetBkMode(hdc, mode);
    SelectObject(hdc, old);
}

LRESULT PaintControl(HWND hwnd, void (*paint)(HWND, HDC))
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    paint(hwnd, hdc);
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT SetControlFont(HWND hwnd, HFONT& font, WPARAM wParam, LPARAM lParam)
{
    font = reinterpret_cast<HFONT>(wParam);
    if (LOWORD(lParam)) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return 0;
}

int FontHeight(HFONT font)
{
    HDC hdc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, font ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(hdc, &tm);
    SelectObject(hdc, old);
    ReleaseDC(nullptr, hdc);
    return tm.tmHeight;
}
}
