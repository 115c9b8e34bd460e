// The tooltip control: tools (a window, or a rectangle of one) with texts; after the mouse has rested over a tool
// for the initial delay, a popup shows the tool's text below the cursor until a button is pressed or the mouse
// leaves the tool. Time is the virtual clock's.
#include "platform/ui/controls.h"
#include "platform/win/commctrl.h"

#include <algorithm>
#include <map>
#include <vector>

namespace ui::detail {
namespace {
constexpr UINT_PTR kShowTimer = 1;

struct Tool {
    UINT flags = 0;
    HWND window = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    std::u16string text;
    bool callback = false; // the text is asked of the tool's window each time
};

struct TooltipData : ControlData {
    std::vector<Tool> tools;
    bool active = true;
    int current = -1; // the tool under the mouse
    UINT initialDelay = 0; // 0: the double-click time
    HFONT font = nullptr;
};

// The tooltips that watch a window's mouse for their TTF_SUBCLASS tools.
std::map<HWND, std::vector<HWND>>& Watchers()
{
    static std::map<HWND, std::vector<HWND>> watchers;
    return watchers;
}

void Watch(HWND window, HWND tooltip)
{
    std::vector<HWND>& list = Watchers()[window];
    if (std::find(list.begin(), list.end(), tooltip) == list.end()) {
        list.push_back(tooltip);
    }
}

void Unwatch(HWND tooltip)
{
    for (auto it = Watchers().begin(); it != Watchers().end();) {
        std::erase(it->second, tooltip);
        it = it->second.empty() ? Watchers().erase(it) : std::next(it);
    }
}

int FindTool(const TooltipData& data, HWND window, UINT_PTR id)
{
    for (std::size_t i = 0; i < data.tools.size(); ++i) {
        if (data.tools[i].window == window && data.tools[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ToolAt(const TooltipData& data, HWND window, POINT point)
{
    for (std::size_t i = 0; i < data.tools.size(); ++i) {
        const Tool& tool = data.tools[i];
        if (tool.flags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(tool.id) == window) {
                return static_cast<int>(i);
            }
        } else if (tool.window == window && point.x >= tool.rect.left && point.x < tool.rect.right &&
                   point.y >= tool.rect.top && point.y < tool.rect.bottom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Pop(HWND tooltip, TooltipData& data)
{
    KillTimer(tooltip, kShowTimer);
    data.current = -1;
    if (IsWindowVisible(tooltip)) {
        ShowWindow(tooltip, SW_HIDE);
    }
}

// The tool's text; a callback tool's window is asked for it now.
std::u16string TextOf(HWND tooltip, const Tool& tool)
{
    if (!tool.callback) {
        return tool.text;
    }
    NMTTDISPINFOW info{};
    info.hdr = NMHDR{tooltip, tool.id, TTN_GETDISPINFOW};
    SendMessageW(tool.window, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(&info));
    if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKW) {
        return info.lpszText;
    }
    return info.szText;
}

void Show(HWND tooltip, TooltipData& data)
{
    KillTimer(tooltip, kShowTimer);
    if (!data.active || data.current < 0) {
        return;
    }
    const std::u16string text = TextOf(tooltip, data.tools[data.current]);
    if (text.empty()) {
        return;
    }
    SetWindowTextW(tooltip, text.c_str());
    HDC dc = GetDC(tooltip);
    HGDIOBJ old = SelectObject(dc, ControlFont(tooltip, data.font));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(tooltip, dc);
    POINT cursor{};
    GetCursorPos(&cursor);
    // Below the cursor, as the system places it.
    SetWindowPos(tooltip, HWND_TOP, cursor.x, cursor.y + 20, size.cx + 8, size.cy + 4, SWP_NOACTIVATE);
    ShowWindow(tooltip, SW_SHOWNOACTIVATE);
}

// A mouse message of a window that holds tools of this tooltip.
void Relay(HWND tooltip, const MSG& msg)
{
    auto& data = Data<TooltipData>(tooltip);
    switch (msg.message) {
    case WM_MOUSEMOVE: {
        const POINT point{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
        const int tool = ToolAt(data, msg.hwnd, point);
        if (tool == data.current) {
            return;
        }
        Pop(tooltip, data);
        data.current = tool;
        if (tool >= 0 && data.active) {
            SetTimer(tooltip, kShowTimer, data.initialDelay ? data.initialDelay : GetDoubleClickTime(), nullptr);
            // Leaving the window hides the tip: the window is told when the mouse leaves it.
            TRACKMOUSEEVENT leave{sizeof(TRACKMOUSEEVENT), TME_LEAVE, msg.hwnd, 0};
            TrackMouseEvent(&leave);
        }
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSELEAVE:
        Pop(tooltip, data);
        return;
    default:
        return;
    }
}

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<TooltipData>(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(hdc, &client, GetSysColorBrush(COLOR_INFOBK));
    FrameRect(hdc, &client, GetSysColorBrush(COLOR_INFOTEXT));
    const HGDIOBJ old = SelectObject(hdc, ControlFont(hwnd, data.font));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_INFOTEXT));
    const std::u16string text = WindowText(hwnd);
    RECT inner{client.left + 4, client.top + 2, client.right - 4, client.bottom - 2};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &inner, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(hdc, old);
}

Tool FromInfo(const TOOLINFOW& info)
{
    Tool tool;
    tool.flags = info.uFlags;
    tool.window = info.hwnd;
    tool.id = info.uId;
    tool.rect = info.rect;
    if (info.lpszText == LPSTR_TEXTCALLBACKW) {
        tool.callback = true;
    } else if (info.lpszText) {
        tool.text = info.lpszText;
    }
    return tool;
}
} // namespace

void RelayToTooltips(const MSG& msg)
{
    const auto found = Watchers().find(msg.hwnd);
    if (found == Watchers().end()) {
        return;
    }
    const std::vector<HWND> tooltips = found->second; // a tooltip may go while it is told
    for (HWND tooltip : tooltips) {
        if (IsWindow(tooltip)) {
            Relay(tooltip, msg);
        }
    }
}

LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return PaintControl(hwnd, Paint);
    case WM_SETFONT:
        return SetControlFont(hwnd, Data<TooltipData>(hwnd).font, wParam, lParam);
    case WM_TIMER:
        if (wParam == kShowTimer) {
            Show(hwnd, Data<TooltipData>(hwnd));
        }
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_DESTROY:
        KillTimer(hwnd, kShowTimer);
        Unwatch(hwnd);
        return 0;
    case TTM_ACTIVATE: {
        auto& data = Data<TooltipData>(hwnd);
        data.active = wParam != 0;
        if (!data.active) {
            Pop(hwnd, data);
        }
        return 0;
    }
    case TTM_SETDELAYTIME:
        if (wParam == TTDT_INITIAL || wParam == TTDT_AUTOMATIC) {
            const int delay = static_cast<short>(LOWORD(lParam));
            Data<TooltipData>(hwnd).initialDelay = delay < 0 ? 0 : static_cast<UINT>(delay);
        }
        return 0;
    case TTM_RELAYEVENT:
        if (const MSG* msg = reinterpret_cast<const MSG*>(lParam)) {
            Relay(hwnd, *msg);
        }
        return 0;
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(Data<TooltipData>(hwnd).tools.size());
    case TTM_POP:
        Pop(hwnd, Data<TooltipData>(hwnd));
        return 0;
    case TTM_ADDTOOLW: {
        const auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        if (!info || !info->hwnd) {
            return FALSE;
        }
        auto& data = Data<TooltipData>(hwnd);
        const int at = FindTool(data, info->hwnd, info->uId);
        if (at >= 0) {
            data.tools[at] = FromInfo(*info);
        } else {
            data.tools.push_back(FromInfo(*info));
        }
        if (info->uFlags & TTF_SUBCLASS) {
            Watch((info->uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(info->uId) : info->hwnd, hwnd);
        }
        return TRUE;
    }
    case TTM_DELTOOLW: {
        const auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        auto& data = Data<TooltipData>(hwnd);
        if (const int at = info ? FindTool(data, info->hwnd, info->uId) : -1; at >= 0) {
            if (data.current == at) {
                Pop(hwnd, data);
            } else if (data.current > at) {
                --data.current;
            }
            data.tools.erase(data.tools.begin() + at);
        }
        return 0;
    }
    case TTM_NEWTOOLRECTW:
    case TTM_UPDATETIPTEXTW: {
        const auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        auto& data = Data<TooltipData>(hwnd);
        if (const int at = info ? FindTool(data, info->hwnd, info->uId) : -1; at >= 0) {
            if (message == TTM_NEWTOOLRECTW) {
                data.tools[at].rect = info->rect;
            } else {
                data.tools[at].callback = info->lpszText == LPSTR_TEXTCALLBACKW;
                data.tools[at].text = info->lpszText && !data.tools[at].callback ? info->lpszText : u"";
                if (data.current == at && IsWindowVisible(hwnd)) {
                    SetWindowTextW(hwnd, TextOf(hwnd, data.tools[at]).c_str());
                    InvalidateRect(hwnd, nullptr, TRUE);
                }
            }
        }
        return 0;
    }
    case TTM_GETTEXTW: {
        auto* info = reinterpret_cast<TOOLINFOW*>(lParam);
        const auto& data = Data<TooltipData>(hwnd);
        const int at = info ? FindTool(data, info->hwnd, info->uId) : -1;
        if (at < 0 || !info->lpszText) {
            return 0;
        }
        // The caller's buffer holds at least wParam units (80 when wParam is 0, as Win32 assumes).
        const std::size_t room = wParam ? static_cast<std::size_t>(wParam) : 80;
        const std::u16string text = TextOf(hwnd, data.tools[at]);
        const std::size_t n = std::min(text.size(), room - 1);
        std::copy_n(text.begin(), n, info->lpszText);
        info->lpszText[n] = 0;
        return static_cast<LRESULT>(n);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace ui::detail
