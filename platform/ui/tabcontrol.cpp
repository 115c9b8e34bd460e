// The tab control: labelled tabs in one row above a framed display area. A click on a tab asks the parent
// (TCN_SELCHANGING), switches and tells it (TCN_SELCHANGE); the program's own TCM_SETCURSEL notifies nobody.
#include "platform/ui/controls.h"
#include "platform/win/commctrl.h"

#include <string>
#include <vector>

namespace ui::detail {
namespace {
constexpr int kTabHeight = 20;
constexpr int kTabPadding = 12;
constexpr int kBorder = 4;

struct TabItem {
    std::u16string text;
    LPARAM data = 0;
};

struct TabData : ControlData {
    HFONT font = nullptr;
    std::vector<TabItem> items;
    int selected = -1;
};

HFONT FontOf(const TabData& d)
{
    return d.font ? d.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The rectangles of the tabs in client coordinates, left to right.
std::vector<RECT> TabRects(HWND hwnd, const TabData& d)
{
    std::vector<RECT> rects;
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(hdc, FontOf(d));
    int x = 2;
    for (const TabItem& item : d.items) {
        SIZE size{};
        GetTextExtentPoint32W(hdc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
        const int width = size.cx + kTabPadding;
        rects.push_back(RECT{x, 2, x + width, kTabHeight});
        x += width;
    }
    SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return rects;
}

void Paint(HWND hwnd, HDC hdc)
{
    const auto& d = Data<TabData>(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(hdc, &client, ControlColors(hwnd, hdc, WM_CTLCOLORSTATIC));
    RECT frame{client.left, kTabHeight, client.right, client.bottom};
    DrawEdge(hdc, &frame, EDGE_RAISED, BF_RECT);
    const std::vector<RECT> rects = TabRects(hwnd, d);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        RECT r = rects[i];
        const bool selected = static_cast<int>(i) == d.selected;
        if (selected) {
            InflateRect(&r, 2, 0);
            r.top -= 2;
            r.bottom += 1;
        }
        FillRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(hdc, &r, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
        DrawControlText(hwnd, hdc, FontOf(d), r, d.items[i].text, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                        IsWindowEnabled(hwnd));
    }
}

LRESULT NotifyParent(HWND hwnd, UINT code)
{
    NMHDR notice{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), code};
    HWND parent = GetParent(hwnd);
    return parent ? SendMessageW(parent, WM_NOTIFY, notice.idFrom, reinterpret_cast<LPARAM>(&notice)) : 0;
}

void Choose(HWND hwnd, int index)
{
    auto& d = Data<TabData>(hwnd);
    if (index == d.selected || NotifyParent(hwnd, TCN_SELCHANGING)) {
        return;
    }
    d.selected = index;
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, TCN_SELCHANGE);
}

void CopyItemText(const TabItem& item, TCITEMW& out)
{
    if ((out.mask & TCIF_TEXT) && out.pszText && out.cchTextMax > 0) {
        const std::size_t n = std::min(item.text.size(), static_cast<std::size_t>(out.cchTextMax - 1));
        item.text.copy(out.pszText, n);
        out.pszText[n] = 0;
    }
}
}

LRESULT TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return PaintControl(hwnd, Paint);
    case WM_SETFONT:
        return SetControlFont(hwnd, Data<TabData>(hwnd).font, wParam, lParam);
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(Data<TabData>(hwnd).font);
    case WM_LBUTTONDOWN: {
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const std::vector<RECT> rects = TabRects(hwnd, Data<TabData>(hwnd));
        for (std::size_t i = 0; i < rects.size(); ++i) {
            if (PtInRect(&rects[i], p)) {
                Choose(hwnd, static_cast<int>(i));
                break;
            }
        }
        return 0;
    }
    case TCM_GETITEMCOUNT:
        return static_cast<LRESULT>(Data<TabData>(hwnd).items.size());
    case TCM_INSERTITEMW: {
        auto& d = Data<TabData>(hwnd);
        const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item) {
            return -1;
        }
        const int at = std::clamp(static_cast<int>(wParam), 0, static_cast<int>(d.items.size()));
        TabItem added;
        if ((item->mask & TCIF_TEXT) && item->pszText) {
            added.text = item->pszText;
        }
        added.data = item->lParam;
        d.items.insert(d.items.begin() + at, added);
        if (d.selected < 0) {
            d.selected = 0;
        } else if (at <= d.selected) {
            ++d.selected;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return at;
    }
    case TCM_SETITEMW: {
        auto& d = Data<TabData>(hwnd);
        const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        const int at = static_cast<int>(wParam);
        if (!item || at < 0 || at >= static_cast<int>(d.items.size())) {
            return FALSE;
        }
        if ((item->mask & TCIF_TEXT) && item->pszText) {
            d.items[static_cast<std::size_t>(at)].text = item->pszText;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TCM_GETITEMW: {
        const auto& d = Data<TabData>(hwnd);
        auto* item = reinterpret_cast<TCITEMW*>(lParam);
        const int at = static_cast<int>(wParam);
        if (!item || at < 0 || at >= static_cast<int>(d.items.size())) {
            return FALSE;
        }
        CopyItemText(d.items[static_cast<std::size_t>(at)], *item);
        item->lParam = d.items[static_cast<std::size_t>(at)].data;
        return TRUE;
    }
    case TCM_DELETEITEM: {
        auto& d = Data<TabData>(hwnd);
        const int at = static_cast<int>(wParam);
        if (at < 0 || at >= static_cast<int>(d.items.size())) {
            return FALSE;
        }
        d.items.erase(d.items.begin() + at);
        if (d.selected >= static_cast<int>(d.items.size()) || at < d.selected) {
            --d.selected;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TCM_DELETEALLITEMS:
        Data<TabData>(hwnd).items.clear();
        Data<TabData>(hwnd).selected = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_GETCURSEL:
        return Data<TabData>(hwnd).selected;
    case TCM_SETCURSEL: {
        auto& d = Data<TabData>(hwnd);
        const int old = d.selected;
        const int at = static_cast<int>(wParam);
        if (at < 0 || at >= static_cast<int>(d.items.size())) {
            return -1;
        }
        d.selected = at;
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case TCM_ADJUSTRECT: {
        // FALSE: window rectangle to display area; TRUE: display area to window rectangle.
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (r) {
            const int sign = wParam ? -1 : 1;
            r->left += sign * kBorder;
            r->top += sign * (kTabHeight + kBorder);
            r->right -= sign * kBorder;
            r->bottom -= sign * kBorder;
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}
