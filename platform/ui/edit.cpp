// Edit controls: single-line editing with selection, limits, filters and the EN_* notices; multi-line text is
// kept and shown but edited as one stream.
#include "platform/ui/controls.h"

#include <algorithm>

namespace ui::detail {
namespace {
constexpr std::size_t kMaxLimit = 0x7FFFFFFE;

struct EditData : ControlData {
    std::size_t anchor = 0; // selection start
    std::size_t caret = 0;  // selection end
    std::size_t limit = 30000;
    std::size_t scroll = 0; // first visible character of a single line
    bool modified = false;
    bool focus = false;
    bool dragging = false;
    HFONT font = nullptr;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }

std::u16string& Text(HWND hwnd) { return Find(hwnd)->text; }

std::u16string Display(HWND hwnd)
{
    const std::u16string& text = Text(hwnd);
    return Style(hwnd) & ES_PASSWORD ? std::u16string(text.size(), u'*') : text;
}

void Notify(HWND hwnd, WORD code)
{
    NotifyParent(hwnd, code);
}

void Changed(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, TRUE);
    Notify(hwnd, EN_UPDATE);
    if (IsWindow(hwnd)) {
        Notify(hwnd, EN_CHANGE);
    }
}

// Replaces the selection; the text is cut to the limit (EN_MAXTEXT when that happens).
bool Replace(HWND hwnd, std::u16string insert)
{
    auto& data = Data<EditData>(hwnd);
    std::u16string& text = Text(hwnd);
    const std::size_t a = std::min({data.anchor, data.caret, text.size()});
    const std::size_t b = std::min(std::max(data.anchor, data.caret), text.size());
    const std::size_t kept = text.size() - (b - a);
    const std::size_t room = data.limit > kept ? data.limit - kept : 0;
    bool cut = false;
    if (insert.size() > room) {
        insert.resize(room);
        cut = true;
    }
    if (cut && insert.empty()) {
        Notify(hwnd, EN_MAXTEXT);
        return false;
    }
    if (insert.empty() && a == b) {
        return false;
    }
    text.replace(a, b - a, insert);
    data.anchor = data.caret = a + insert.size();
    data.modified = true;
    if (cut) {
        Notify(hwnd, EN_MAXTEXT);
    }
    return true;
}

int TextWidth(HWND hwnd, HDC hdc, std::u16string_view text)
{
    SIZE size{};
    HGDIOBJ old = SelectObject(hdc, ControlFont(hwnd, Data<EditData>(hwnd).font));
    GetTextExtentPoint32W(hdc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(hdc, old);
    return size.cx;
}

// Keeps the caret of a single line in view.
void ScrollToCaret(HWND hwnd, HDC hdc)
{
    auto& data = Data<EditData>(hwnd);
    if (!(Style(hwnd) & ES_AUTOHSCROLL) || (Style(hwnd) & ES_MULTILINE)) {
        data.scroll = 0;
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = std::max(1, static_cast<int>(client.right - client.left - 2));
    const std::u16string display = Display(hwnd);
    data.scroll = std::min(data.scroll, data.caret);
    while (data.scroll < data.caret &&
           TextWidth(hwnd, hdc, std::u16string_view(display).substr(data.scroll, data.caret - data.scroll)) > width) {
        ++data.scroll;
    }
}

int LeftOf(HWND hwnd, HDC hdc, const RECT& client, const std::u16string& shown)
{
    const DWORD style = Style(hwnd);
    const int width = TextWidth(hwnd, hdc, shown);
    if (style & ES_CENTER) {
        return (client.right - width) / 2;
    }
    if (style & ES_RIGHT) {
        return client.right - 1 - width;
    }
    return 1;
}

std::size_t CharFromX(HWND hwnd, int x)
{
    auto& data = Data<EditData>(hwnd);
    HDC hdc = GetDC(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    const std::u16string display = Display(hwnd);
    const std::u16string shown = display.substr(std::min(data.scroll, display.size()));
    const int left = LeftOf(hwnd, hdc, client, shown);
    std::size_t best = 0;
    int bestDistance = std::abs(x - left);
    for (std::size_t i = 1; i <= shown.size(); ++i) {
        const int distance = std::abs(x - (left + TextWidth(hwnd, hdc, std::u16string_view(shown).substr(0, i))));
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    ReleaseDC(hwnd, hdc);
    return std::min(display.size(), data.scroll + best);
}

void Paint(HWND hwnd, HDC hdc)
{
    auto& data = Data<EditData>(hwnd);
    const DWORD style = Style(hwnd);
    const bool enabled = IsWindowEnabled(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = ControlColors(hwnd, hdc, (style & ES_READONLY) || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    FillRect(hdc, &client, brush);
    HGDIOBJ oldFont = SelectObject(hdc, ControlFont(hwnd, data.font));
    if (!enabled) {
        SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    }
    SetBkMode(hdc, TRANSPARENT);
    const std::u16string display = Display(hwnd);
    if (style & ES_MULTILINE) {
        RECT r = client;
        InflateRect(&r, -1, 0);
        DrawTextW(hdc, display.c_str(), static_cast<int>(display.size()), &r,
                  DT_NOPREFIX | DT_EXPANDTABS | (style & ES_AUTOHSCROLL ? 0 : DT_WORDBREAK) |
                      (style & ES_CENTER ? DT_CENTER : style & ES_RIGHT ? DT_RIGHT : DT_LEFT));
        SelectObject(hdc, oldFont);
        return;
    }
    ScrollToCaret(hwnd, hdc);
    const std::u16string shown = display.substr(std::min(data.scroll, display.size()));
    const int left = LeftOf(hwnd, hdc, client, shown);
    const int top = 1;
    TextOutW(hdc, left, top, shown.c_str(), static_cast<int>(shown.size()));
    const std::size_t a = std::min(data.anchor, data.caret);
    const std::size_t b = std::max(data.anchor, data.caret);
    if (a < b && (data.focus || (style & ES_NOHIDESEL)) && b > data.scroll) {
        const std::size_t from = std::max(a, data.scroll) - data.scroll;
        const std::size_t to = std::min(b - data.scroll, shown.size());
        const int x0 = left + TextWidth(hwnd, hdc, std::u16string_view(shown).substr(0, from));
        SetBkMode(hdc, OPAQUE);
        SetBkColor(hdc, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutW(hdc, x0, top, shown.c_str() + from, static_cast<int>(to - from));
    }
    SelectObject(hdc, oldFont);
}

void MoveCaret(HWND hwnd, std::size_t to, bool extend)
{
    auto& data = Data<EditData>(hwnd);
    data.caret = std::min(to, Text(hwnd).size());
    if (!extend) {
        data.anchor = data.caret;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Char(HWND hwnd, char16_t ch)
{
    auto& data = Data<EditData>(hwnd);
    const DWORD style = Style(hwnd);
    if (style & ES_READONLY) {
        return;
    }
    if (ch == 0x08) {
        if (data.anchor == data.caret && data.caret > 0) {
            data.anchor = data.caret - 1;
        }
        if (Replace(hwnd, u"")) {
            Changed(hwnd);
        }
        return;
    }
    if (ch == 0x01) { // Ctrl+A
        data.anchor = 0;
        data.caret = Text(hwnd).size();
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    std::u16string insert;
    if (ch == u'\r' || ch == u'\n') {
        if (!(style & ES_MULTILINE)) {
            return;
        }
        insert = u"\r\n";
    } else if (ch == u'\t') {
        if (!(style & ES_MULTILINE)) {
            return;
        }
        insert = u"\t";
    } else if (ch < 0x20) {
        return;
    } else {
        if ((style & ES_NUMBER) && (ch < u'0' || ch > u'9')) {
            return;
        }
        if ((style & ES_UPPERCASE) && ch >= u'a' && ch <= u'z') {
            ch = static_cast<char16_t>(ch - u'a' + u'A');
        } else if ((style & ES_LOWERCASE) && ch >= u'A' && ch <= u'Z') {
            ch = static_cast<char16_t>(ch - u'A' + u'a');
        }
        insert.assign(1, ch);
    }
    if (Replace(hwnd, insert)) {
        Changed(hwnd);
    }
}

std::vector<std::u16string> Lines(const std::u16string& text)
{
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            lines.emplace_back();
            ++i;
        } else if (text[i] == u'\n') {
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}
}

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = Data<EditData>(hwnd);
    const DWORD style = Style(hwnd);
    switch (message) {
    case WM_NCCREATE:
        if (style & ES_MULTILINE) {
            data.limit = kMaxLimit;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if ((style & ES_MULTILINE) && (style & ES_WANTRETURN)) {
            code |= DLGC_WANTALLKEYS;
        }
        return code;
    }
    case WM_SETTEXT: {
        DefWindowProcW(hwnd, message, wParam, lParam);
        data.anchor = data.caret = 0;
        data.scroll = 0;
        data.modified = false;
        Changed(hwnd);
        return TRUE;
    }
    case WM_SETFONT:
        return SetControlFont(hwnd, data.font, wParam, lParam);
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data.font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return PaintControl(hwnd, Paint);
    case WM_SETFOCUS:
        data.focus = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        data.focus = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
        if (GetFocus() != hwnd) {
            SetFocus(hwnd);
        }
        MoveCaret(hwnd, CharFromX(hwnd, GET_X_LPARAM(lParam)), GetKeyState(VK_SHIFT) < 0);
        SetCapture(hwnd);
        data.dragging = true;
        return 0;
    case WM_MOUSEMOVE:
        if (data.dragging) {
            MoveCaret(hwnd, CharFromX(hwnd, GET_X_LPARAM(lParam)), true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (data.dragging) {
            data.dragging = false;
            ReleaseCapture();
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        data.anchor = 0;
        data.caret = Text(hwnd).size();
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_CAPTURECHANGED:
        data.dragging = false;
        return 0;
    case WM_CHAR:
        Char(hwnd, static_cast<char16_t>(wParam));
        return 0;
    case WM_KEYDOWN: {
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        switch (wParam) {
        case VK_LEFT:
            if (data.anchor != data.caret && !shift) {
                MoveCaret(hwnd, std::min(data.anchor, data.caret), false);
            } else {
                MoveCaret(hwnd, data.caret > 0 ? data.caret - 1 : 0, shift);
            }
            break;
        case VK_RIGHT:
            if (data.anchor != data.caret && !shift) {
                MoveCaret(hwnd, std::max(data.anchor, data.caret), false);
            } else {
                MoveCaret(hwnd, data.caret + 1, shift);
            }
            break;
        case VK_HOME:
            MoveCaret(hwnd, 0, shift);
            break;
        case VK_END:
            MoveCaret(hwnd, Text(hwnd).size(), shift);
            break;
        case VK_DELETE:
            if (!(style & ES_READONLY)) {
                if (data.anchor == data.caret) {
                    data.caret = std::min(data.caret + 1, Text(hwnd).size());
                }
                if (Replace(hwnd, u"")) {
                    Changed(hwnd);
                }
            }
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_F4: {
            // The edit field of a combo box moves through the list and opens and closes it, as the combo box
            // itself does.
            HWND parent = GetParent(hwnd);
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (parent && GetComboBoxInfo(parent, &info) && info.hwndItem == hwnd) {
                SendMessageW(parent, WM_KEYDOWN, wParam, lParam);
            }
            break;
        }
        default:
            break;
        }
        return 0;
    }
    case EM_GETSEL: {
        const auto a = static_cast<DWORD>(std::min(data.anchor, data.caret));
        const auto b = static_cast<DWORD>(std::max(data.anchor, data.caret));
        if (wParam) {
            *reinterpret_cast<DWORD*>(wParam) = a;
        }
        if (lParam) {
            *reinterpret_cast<DWORD*>(lParam) = b;
        }
        return a > 0xFFFF || b > 0xFFFF ? -1 : static_cast<LRESULT>(MAKELONG(static_cast<WORD>(a), static_cast<WORD>(b)));
    }
    case EM_SETSEL: {
        const std::size_t length = Text(hwnd).size();
        const auto start = static_cast<std::intptr_t>(static_cast<int>(wParam));
        const auto end = static_cast<std::intptr_t>(static_cast<int>(lParam));
        if (start < 0) {
            data.anchor = data.caret;
        } else {
            data.anchor = std::min(static_cast<std::size_t>(start), length);
            data.caret = end < 0 ? length : std::min(static_cast<std::size_t>(end), length);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case EM_REPLACESEL:
        if (Replace(hwnd, lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"")) {
            Changed(hwnd);
        }
        return 0;
    case EM_LIMITTEXT:
        data.limit = wParam ? std::min<std::size_t>(wParam, kMaxLimit) : kMaxLimit;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(data.limit);
    case EM_GETMODIFY:
        return data.modified;
    case EM_SETMODIFY:
        data.modified = wParam != 0;
        return 0;
    case EM_SETREADONLY:
        SetWindowLongPtrW(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~ES_READONLY));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(Lines(Text(hwnd)).size());
    case EM_GETLINE: {
        const auto lines = Lines(Text(hwnd));
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam >= lines.size()) {
            return 0;
        }
        const std::size_t room = static_cast<WORD>(buffer[0]);
        const std::size_t n = std::min(room, lines[wParam].size());
        std::copy_n(lines[wParam].data(), n, buffer);
        return static_cast<LRESULT>(n);
    }
    case EM_GETRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (rect) {
            GetClientRect(hwnd, rect);
            InflateRect(rect, -1, 0);
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}
