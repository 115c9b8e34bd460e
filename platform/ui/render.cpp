#include "platform/ui/render.h"

#include "platform/ui/window.h"

#include <algorithm>
#include <string_view>

namespace ui {
namespace {
void PaintPending(HWND hwnd)
{
    if (!IsWindowVisible(hwnd)) {
        return;
    }
    UpdateWindow(hwnd);
    const std::vector<HWND> children = Children(hwnd);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (IsWindow(*it)) {
            PaintPending(*it);
        }
    }
}

// Copies a window's surface into the picture at `origin`, clipped to `clip`, then its children bottom to top.
void Compose(gdi::Image& image, HWND hwnd, POINT origin, RECT clip)
{
    detail::SurfaceInfo info;
    if (!detail::GetSurfaceInfo(hwnd, info)) {
        return;
    }
    cairo_surface_flush(info.surface);
    const unsigned char* data = cairo_image_surface_get_data(info.surface);
    const int stride = cairo_image_surface_get_stride(info.surface);
    const cairo_region_t* shape = detail::Find(hwnd)->shape;
    for (int y = std::max(clip.top, origin.y); y < std::min(clip.bottom, origin.y + info.windowSize.cy); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y - origin.y) * stride);
        for (int x = std::max(clip.left, origin.x); x < std::min(clip.right, origin.x + info.windowSize.cx); ++x) {
            if (shape && !cairo_region_contains_point(shape, x - origin.x, y - origin.y)) {
                continue; // outside the window's region (SetWindowRgn) nothing of it shows
            }
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = row[x - origin.x] & 0xFFFFFF;
        }
    }
    const RECT client{origin.x + info.clientOffset.x, origin.y + info.clientOffset.y,
                      origin.x + info.clientOffset.x + info.clientSize.cx,
                      origin.y + info.clientOffset.y + info.clientSize.cy};
    RECT childClip;
    if (!IntersectRect(&childClip, &clip, &client)) {
        return;
    }
    const std::vector<HWND> children = Children(hwnd);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        detail::Window* child = detail::Find(*it);
        if (!child || !(child->style & WS_VISIBLE)) {
            continue;
        }
        Compose(image, *it, POINT{client.left + child->rect.left, client.top + child->rect.top}, childClip);
    }
}
}

gdi::Image RenderWindow(HWND hwnd)
{
    gdi::Image image;
    RECT r;
    if (!GetWindowRect(hwnd, &r)) {
        return image;
    }
    PaintPending(hwnd);
    image.width = r.right - r.left;
    image.height = r.bottom - r.top;
    image.pixels.assign(static_cast<std::size_t>(std::max(0, image.width)) * std::max(0, image.height), 0xFFFFFF);
    const RECT all{0, 0, image.width, image.height};
    Compose(image, hwnd, POINT{0, 0}, all);
    // A popup menu open over the window shows in its picture, as on the screen; menus lie above everything else.
    const std::vector<HWND> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        char16_t name[16] = {};
        RECT menu{};
        if (*it == hwnd || !IsWindowVisible(*it) || !GetClassNameW(*it, name, 16) ||
            std::u16string_view(name) != u"#32768" || !GetWindowRect(*it, &menu)) {
            continue;
        }
        PaintPending(*it);
        Compose(image, *it, POINT{menu.left - r.left, menu.top - r.top}, all);
    }
    return image;
}

bool RenderWindowToPng(HWND hwnd, const std::string& path) { return gdi::SavePng(RenderWindow(hwnd), path); }
}
