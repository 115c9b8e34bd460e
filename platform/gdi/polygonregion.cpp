// Polygon regions: the polygons are rasterised without anti-aliasing and the covered pixels collected row by row.
#include "platform/gdi/objects.h"

#include "platform/win/errors.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
// Regions never reach further than this, as the clip regions of the device contexts.
constexpr long kRegionLimit = 0x4000000;

gdi::RegionData Rasterise(const POINT* points, const INT* counts, int polygons, int fillMode)
{
    long left = LONG_MAX;
    long top = LONG_MAX;
    long right = LONG_MIN;
    long bottom = LONG_MIN;
    int total = 0;
    for (int i = 0; i < polygons; ++i) {
        total += counts[i];
    }
    for (int i = 0; i < total; ++i) {
        left = std::min<long>(left, points[i].x);
        top = std::min<long>(top, points[i].y);
        right = std::max<long>(right, points[i].x);
        bottom = std::max<long>(bottom, points[i].y);
    }
    gdi::RegionData region;
    left = std::max(left, -kRegionLimit);
    top = std::max(top, -kRegionLimit);
    right = std::min(right, kRegionLimit);
    bottom = std::min(bottom, kRegionLimit);
    if (total == 0 || right <= left || bottom <= top) {
        return region;
    }
    const int width = static_cast<int>(right - left);
    const int height = static_cast<int>(bottom - top);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* cr = cairo_create(mask);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_translate(cr, -static_cast<double>(left), -static_cast<double>(top));
    const POINT* p = points;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] >= 3) {
            cairo_move_to(cr, p[0].x, p[0].y);
            for (int k = 1; k < counts[i]; ++k) {
                cairo_line_to(cr, p[k].x, p[k].y);
            }
            cairo_close_path(cr);
        }
        p += counts[i];
    }
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    const unsigned char* bits = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bits + static_cast<std::ptrdiff_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && row[x] < 128) {
                ++x;
            }
            const int start = x;
            while (x < width && row[x] >= 128) {
                ++x;
            }
            if (x > start) {
                const long y0 = top + y;
                region.unite(gdi::RegionData(RECT{static_cast<LONG>(left + start), static_cast<LONG>(y0),
                                                  static_cast<LONG>(left + x), static_cast<LONG>(y0 + 1)}));
            }
        }
    }
    cairo_surface_destroy(mask);
    return region;
}
}

HRGN CreatePolyPolygonRgn(const POINT* points, const INT* counts, int polygons, int fillMode)
{
    if (!points || !counts || polygons < 1 || (fillMode != ALTERNATE && fillMode != WINDING) ||
        std::any_of(counts, counts + polygons, [](INT n) { return n < 0; })) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto region = std::make_unique<gdi::Region>();
    region->data = Rasterise(points, counts, polygons, fillMode);
    return static_cast<HRGN>(gdi::Register(std::move(region)));
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode)
{
    const INT counts[1] = {count};
    return CreatePolyPolygonRgn(points, counts, 1, fillMode);
}
