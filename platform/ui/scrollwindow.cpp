// ScrollWindowEx: moves the pixels of a window's client area, so that a scrolled window repaints only what the move
// uncovered.
#include "platform/win/winscroll.h"
#include "platform/ui/window.h"

#include <algorithm>

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, LPRECT updateRect,
                   UINT flags)
{
    ui::detail::SurfaceInfo info;
    ui::detail::Window* w = ui::detail::Find(hwnd);
    if (!w || !ui::detail::GetSurfaceInfo(hwnd, info)) {
        return ERROR;
    }
    RECT area = scroll ? *scroll : RECT{0, 0, info.clientSize.cx, info.clientSize.cy};
    const RECT client{0, 0, info.clientSize.cx, info.clientSize.cy};
    IntersectRect(&area, &area, &client);
    if (clip) {
        IntersectRect(&area, &area, clip);
    }
    RECT moved = area;
    OffsetRect(&moved, dx, dy);
    RECT kept{};
    IntersectRect(&kept, &moved, &area);

    if (!IsRectEmpty(&kept)) {
        // Copy through a snapshot: source and destination overlap.
        cairo_surface_flush(info.surface);
        const int stride = cairo_image_surface_get_stride(info.surface);
        unsigned char* pixels = cairo_image_surface_get_data(info.surface);
        const int width = (kept.right - kept.left) * 4;
        std::vector<unsigned char> snapshot(static_cast<std::size_t>(width) * (kept.bottom - kept.top));
        for (int y = kept.top; y < kept.bottom; ++y) {
            const unsigned char* from =
                pixels + (y - dy + info.clientOffset.y) * stride + (kept.left - dx + info.clientOffset.x) * 4;
            std::copy_n(from, width, snapshot.data() + static_cast<std::size_t>(y - kept.top) * width);
        }
        for (int y = kept.top; y < kept.bottom; ++y) {
            unsigned char* to = pixels + (y + info.clientOffset.y) * stride + (kept.left + info.clientOffset.x) * 4;
            std::copy_n(snapshot.data() + static_cast<std::size_t>(y - kept.top) * width, width, to);
        }
        cairo_surface_mark_dirty(info.surface);
    }

    // What the move uncovered: the area less the part that received moved pixels.
    HRGN uncovered = CreateRectRgnIndirect(&area);
    HRGN keptRgn = CreateRectRgnIndirect(&kept);
    CombineRgn(uncovered, uncovered, keptRgn, RGN_DIFF);
    DeleteObject(keptRgn);
    if (update) {
        CombineRgn(update, uncovered, nullptr, RGN_COPY);
    }
    if (updateRect) {
        GetRgnBox(uncovered, updateRect);
    }
    if (flags & SW_INVALIDATE) {
        InvalidateRgn(hwnd, uncovered, (flags & SW_ERASE) != 0);
    }
    const int complexity = GetRgnBox(uncovered, &area);
    DeleteObject(uncovered);

    if (flags & SW_SCROLLCHILDREN) {
        for (ui::detail::Window* child : std::vector<ui::detail::Window*>(w->children)) {
            SetWindowPos(child->handle, nullptr, child->rect.left + dx, child->rect.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    return complexity;
}
