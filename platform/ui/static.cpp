// Static controls: text, frames, etched lines, bitmaps and owner-drawn statics.
#include "platform/ui/controls.h"

namespace ui::detail {
namespace {
struct StaticData : ControlData {
    HFONT font = nullptr;
    HANDLE image = nullptr;
};

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<StaticData>(hwnd);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const DWORD type = style & SS_TYPEMASK;
    RECT client;
    GetClientRect(hwnd, &client);
    switch (type) {
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT dis{ODT_STATIC, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE,
                           IsWindowEnabled(hwnd) ? 0u : ODS_DISABLED, hwnd, hdc, client, 0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        return;
    }
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
        FillRect(hdc, &client,
                 GetSysColorBrush(type == SS_BLACKRECT  ? COLOR_3DDKSHADOW
                                  : type == SS_GRAYRECT ? COLOR_BTNSHADOW
                                                        : COLOR_BTNHIGHLIGHT));
        return;
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME:
        FillRect(hdc, &client, ControlColors(hwnd, hdc, WM_CTLCOLORSTATIC));
        FrameRect(hdc, &client,
                  GetSysColorBrush(type == SS_BLACKFRAME  ? COLOR_3DDKSHADOW
                                   : type == SS_GRAYFRAME ? COLOR_BTNSHADOW
                                                          : COLOR_BTNHIGHLIGHT));
        return;
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME: {
        RECT r = client;
        const UINT sides = type == SS_ETCHEDHORZ ? BF_TOP : type == SS_ETCHEDVERT ? BF_LEFT : BF_RECT;
        if (type == SS_ETCHEDHORZ) {
            r.bottom = r.top + 2;
        } else if (type == SS_ETCHEDVERT) {
            r.right = r.left + 2;
        }
        DrawEdge(hdc, &r, EDGE_ETCHED, sides);
        return;
    }
    default:
        break;
    }
    FillRect(hdc, &client, ControlColors(hwnd, hdc, WM_CTLCOLORSTATIC));
    if (type == SS_BITMAP || type == SS_ICON) {
        BITMAP info{};
        if (data.image && GetObjectW(data.image, sizeof info, &info)) {
            HDC memory = CreateCompatibleDC(hdc);
            HGDIOBJ old = SelectObject(memory, data.image);
            const int x = style & SS_CENTERIMAGE ? (client.right - info.bmWidth) / 2 : 0;
            const int y = style & SS_CENTERIMAGE ? (client.bottom - info.bmHeight) / 2 : 0;
            BitBlt(hdc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        } else if (type == SS_ICON && data.image) {
            // An icon handle (the system icons): drawn at 32 x 32, or smaller to fit.
            const int size = std::min<int>(32, std::min(client.right, client.bottom));
            DrawIconEx(hdc, 0, 0, static_cast<HICON>(data.image), size, size, 0, nullptr, 0);
        }
        return;
    }
    UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
        format |= DT_EXPANDTABS;
    } else {
        format |= DT_WORDBREAK | DT_EXPANDTABS;
    }
    if (style & SS_NOPREFIX) {
        format |= DT_NOPREFIX;
    }
    if (style & SS_CENTERIMAGE) {
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    }
    if (style & SS_ENDELLIPSIS) {
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_END_ELLIPSIS;
    }
    DrawControlText(hwnd, hdc, data.font, client, WindowText(hwnd), format, IsWindowEnabled(hwnd));
}
}

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<StaticData>(hwnd);
    switch (message) {
    case WM_NCCREATE:
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_SUNKEN) {
            SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_STATICEDGE);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCHITTEST:
        // Statics let the mouse through to their parent unless they notify.
        return GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOTIFY ? HTCLIENT : HTTRANSPARENT;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
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
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOTIFY) {
            NotifyParent(hwnd, STN_CLICKED);
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOTIFY) {
            NotifyParent(hwnd, STN_DBLCLK);
        }
        return 0;
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(data.image);
    case STM_SETIMAGE: {
        HANDLE old = data.image;
        data.image = reinterpret_cast<HANDLE>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}
