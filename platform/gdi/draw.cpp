// Lines, shapes, blits and pixels.
#include "platform/gdi/canvas.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gdi {
namespace {
constexpr double kPi = 3.14159265358979323846;

std::uint32_t* PixelRow(cairo_surface_t* surface, int y)
{
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                            static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface));
}

std::uint32_t Rop2(int rop, std::uint32_t pen, std::uint32_t dst)
{
    const unsigned table = static_cast<unsigned>(rop - 1) & 0xF;
    std::uint32_t result = 0;
    if (table & 8) {
        result |= pen & dst;
    }
    if (table & 4) {
        result |= pen & ~dst;
    }
    if (table & 2) {
        result |= ~pen & dst;
    }
    if (table & 1) {
        result |= ~pen & ~dst;
    }
    return result & 0xFFFFFF;
}

std::uint32_t Rop3(DWORD rop, std::uint32_t p, std::uint32_t s, std::uint32_t d)
{
    const unsigned table = (rop >> 16) & 0xFF;
    if (table == 0xCC) {
        return s;
    }
    std::uint32_t result = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (table & (1u << i)) {
            result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        }
    }
    return result & 0xFFFFFF;
}

// Cosmetic pen dashes, in pixels.
void SetDashes(cairo_t* cr, int style)
{
    static const double dash[] = {18, 6};
    static const double dot[] = {3, 3};
    static const double dashDot[] = {9, 6, 3, 6};
    static const double dashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH:
        cairo_set_dash(cr, dash, 2, 0);
        break;
    case PS_DOT:
        cairo_set_dash(cr, dot, 2, 0);
        break;
    case PS_DASHDOT:
        cairo_set_dash(cr, dashDot, 4, 0);
        break;
    case PS_DASHDOTDOT:
        cairo_set_dash(cr, dashDotDot, 6, 0);
        break;
    default:
        break;
    }
}

// Whether the pixels that a stroke paints (those whose centres its ink covers, as a raster draws them) lie inside
// the canvas's clip; `outline` sets the stroke's width, caps and path.
bool StrokeInsideClip(const Canvas& c, const std::function<void(cairo_t*)>& outline)
{
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    outline(cr);
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    cairo_stroke_extents(cr, &x0, &y0, &x1, &y1);
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    auto firstPixel = [](double edge) { return static_cast<int>(std::ceil(edge - 0.5)); };
    const cairo_rectangle_int_t pixels{firstPixel(x0), firstPixel(y0), firstPixel(x1) - firstPixel(x0),
                                       firstPixel(y1) - firstPixel(y0)};
    return pixels.width > 0 && pixels.height > 0 &&
           cairo_region_contains_rectangle(c.clip.get(), &pixels) == CAIRO_REGION_OVERLAP_IN;
}

bool IsVector(cairo_surface_t* surface) { return cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE; }

// Strokes a path with the DC's pen; styled thin pens fill their gaps with the background colour when opaque.
void StrokeWithPen(const Canvas& c, const std::function<void(cairo_t*)>& path)
{
    Pen* pen = AsPen(c.dc->state.pen);
    if (!pen || pen->style == PS_NULL) {
        return;
    }
    const int width = std::max(1, ScaleX(*c.dc, pen->width));
    // Cosmetic styles apply to thin pens only; geometric pens keep their style at any width, scaled by it.
    const bool styled = (pen->style >= PS_DASH && pen->style <= PS_DASHDOTDOT && (width <= 1 || pen->geometric)) ||
                        pen->style == PS_ALTERNATE;
    auto outline = [&](cairo_t* cr, bool dashed) {
        cairo_set_line_width(cr, width);
        if (width > 1 && pen->endCap != PS_ENDCAP_FLAT) {
            cairo_set_line_cap(cr, pen->endCap == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_ROUND);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        } else {
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        }
        if (dashed && pen->style == PS_ALTERNATE) {
            static const double alternate[] = {1, 1};
            cairo_set_dash(cr, alternate, 2, 0);
        } else if (dashed && pen->geometric && pen->style == PS_DOT) {
            const double dot[] = {static_cast<double>(width), static_cast<double>(width)};
            cairo_set_dash(cr, dot, 2, 0);
        } else if (dashed) {
            SetDashes(cr, pen->style);
        }
        path(cr);
    };
    auto stroke = [&](cairo_t* cr, bool dashed) {
        outline(cr, dashed);
        cairo_stroke(cr);
    };
    // A line that lies inside its clip is drawn without one on a vector page: the page narrows a clip to the line's
    // extents rounded to whole points, and a viewer that snaps a hairline to its pixels can push it out of them.
    const bool clipped = !IsVector(c.surface) || !StrokeInsideClip(c, [&](cairo_t* cr) { outline(cr, false); });
    if (styled && c.dc->state.bkMode == OPAQUE) {
        PaintShape(c, c.dc->state.bkColor, [&](cairo_t* cr) { stroke(cr, false); }, clipped);
    }
    PaintShape(c, PenColor(*c.dc, *pen), [&](cairo_t* cr) { stroke(cr, styled); }, clipped);
}

void FillWithBrush(const Canvas& c, const std::function<void(cairo_t*)>& path)
{
    Brush* brush = AsBrush(c.dc->state.brush);
    if (!brush || brush->style == BS_NULL) {
        return;
    }
    PaintShape(c, BrushColor(*c.dc, *brush), [&](cairo_t* cr) {
        cairo_set_fill_rule(cr, c.dc->state.polyFillMode == WINDING ? CAIRO_FILL_RULE_WINDING
                                                                      : CAIRO_FILL_RULE_EVEN_ODD);
        path(cr);
        cairo_fill(cr);
    }, true, brush);
}

bool PenIsNull(const Dc& dc)
{
    Pen* pen = AsPen(dc.state.pen);
    return !pen || pen->style == PS_NULL;
}

void EllipsePath(cairo_t* cr, double x, double y, double w, double h)
{
    if (w <= 0 || h <= 0) {
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x + w / 2, y + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

void RoundRectPath(cairo_t* cr, double x, double y, double w, double h, double rw, double rh)
{
    rw = std::min(rw, w) / 2;
    rh = std::min(rh, h) / 2;
    if (rw <= 0 || rh <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    auto corner = [&](double cx, double cy, double a0) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rw, rh);
        cairo_arc(cr, 0, 0, 1, a0, a0 + kPi / 2);
        cairo_restore(cr);
    };
    cairo_new_sub_path(cr);
    corner(x + w - rw, y + rh, -kPi / 2);
    corner(x + w - rw, y + h - rh, 0);
    corner(x + rw, y + h - rh, kPi / 2);
    corner(x + rw, y + rh, kPi);
    cairo_close_path(cr);
}

struct Pixels {
    cairo_surface_t* surface = nullptr;
    POINT origin{};
    SIZE extent{};
    WORD bitsPixel = 32;
};

bool SourcePixels(HDC hdc, Pixels& out)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return false;
    }
    out.surface = DcSurface(*dc);
    if (!out.surface || cairo_surface_get_type(out.surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return false; // a printer's vector page cannot be read back
    }
    out.origin = dc->origin;
    out.extent = dc->extent;
    if (dc->kind == DcKind::Memory) {
        if (Bitmap* bitmap = AsBitmap(dc->bitmap)) {
            out.bitsPixel = bitmap->bitsPixel;
        }
    }
    return true;
}

WORD TargetBits(const Dc& dc)
{
    if (dc.kind == DcKind::Memory) {
        if (Bitmap* bitmap = AsBitmap(dc.bitmap)) {
            return bitmap->bitsPixel;
        }
    }
    return 32;
}

enum class BlitKind { Rop, Transparent, Alpha };

BOOL Blit(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, DWORD rop,
          BlitKind kind, COLORREF transparent, BLENDFUNCTION blend, const char* name)
{
    LogCall(dst, std::string(name) + "(" + LogArgs({x, y, width, height, sx, sy, sw, sh}) + ")");
    Canvas c;
    if (!OpenCanvas(dst, c)) {
        return LookupDc(dst) != nullptr;
    }
    const unsigned table = (rop >> 16) & 0xFF;
    const bool usesSource = kind != BlitKind::Rop || (((table >> 2) ^ table) & 0x33) != 0;
    Pixels source;
    Dc* srcDc = LookupDc(src);
    if (usesSource && (!srcDc || !SourcePixels(src, source))) {
        return FALSE;
    }
    const POINT d0 = ToDevice(*c.dc, POINT{x, y});
    const POINT d1 = ToDevice(*c.dc, POINT{x + width, y + height});
    POINT s0{};
    POINT s1{};
    if (usesSource) {
        s0 = ToDevice(*srcDc, POINT{sx, sy});
        s1 = ToDevice(*srcDc, POINT{sx + sw, sy + sh});
    }
    const RECT box{std::min(d0.x, d1.x), std::min(d0.y, d1.y), std::max(d0.x, d1.x), std::max(d0.y, d1.y)};
    if (box.right <= box.left || box.bottom <= box.top) {
        return TRUE;
    }
    const double scaleX = usesSource ? static_cast<double>(s1.x - s0.x) / (d1.x - d0.x) : 0;
    const double scaleY = usesSource ? static_cast<double>(s1.y - s0.y) / (d1.y - d0.y) : 0;
    // A copy within one surface may overlap: read from a snapshot.
    std::vector<std::uint32_t> snapshot;
    int snapshotStride = 0;
    if (usesSource) {
        cairo_surface_flush(source.surface);
        if (source.surface == c.surface) {
            snapshotStride = cairo_image_surface_get_width(source.surface);
            const int rows = cairo_image_surface_get_height(source.surface);
            snapshot.resize(static_cast<std::size_t>(snapshotStride) * rows);
            for (int row = 0; row < rows; ++row) {
                std::copy_n(PixelRow(source.surface, row), snapshotStride,
                            snapshot.data() + static_cast<std::ptrdiff_t>(row) * snapshotStride);
            }
        }
    }
    const WORD dstBits = TargetBits(*c.dc);
    const std::uint32_t pattern = [&] {
        Brush* brush = AsBrush(c.dc->state.brush);
        return brush && brush->style != BS_NULL ? ToPixel(BrushColor(*c.dc, *brush)) : 0u;
    }();
    const std::uint32_t dstText = ToPixel(c.dc->state.textColor);
    const std::uint32_t dstBk = ToPixel(c.dc->state.bkColor);
    const std::uint32_t srcBk = srcDc ? ToPixel(srcDc->state.bkColor) : 0;
    const std::uint32_t key = ToPixel(transparent);
    const bool halftone = usesSource && kind == BlitKind::Rop && c.dc->state.stretchMode == HALFTONE &&
                          (std::abs(scaleX) > 1 || std::abs(scaleY) > 1) && scaleX > 0 && scaleY > 0;
    ForEachPixel(c, box, [&](int px, int py, std::uint32_t d) -> std::uint32_t {
        std::uint32_t s = 0;
        std::uint32_t alpha = 255;
        if (usesSource) {
            const int qx = s0.x + static_cast<int>(std::floor((px - d0.x + 0.5) * scaleX));
            const int qy = s0.y + static_cast<int>(std::floor((py - d0.y + 0.5) * scaleY));
            if (qx < 0 || qy < 0 || qx >= source.extent.cx || qy >= source.extent.cy) {
                return d;
            }
            auto fetch = [&](int fx, int fy) {
                const int ax = fx + source.origin.x;
                const int ay = fy + source.origin.y;
                return snapshot.empty() ? PixelRow(source.surface, ay)[ax]
                                        : snapshot[static_cast<std::size_t>(ay) * snapshotStride + ax];
            };
            std::uint32_t raw = fetch(qx, qy);
            if (halftone) {
                // HALFTONE shrinking averages every source pixel that the target pixel covers.
                const int x1 = std::min<int>(source.extent.cx, s0.x + static_cast<int>(std::ceil((px - d0.x + 1) * scaleX)));
                const int y1 = std::min<int>(source.extent.cy, s0.y + static_cast<int>(std::ceil((py - d0.y + 1) * scaleY)));
                const int x0 = std::max(0, s0.x + static_cast<int>(std::floor((px - d0.x) * scaleX)));
                const int y0 = std::max(0, s0.y + static_cast<int>(std::floor((py - d0.y) * scaleY)));
                unsigned sum[4]{};
                unsigned n = 0;
                for (int fy = y0; fy < y1; ++fy) {
                    for (int fx = x0; fx < x1; ++fx) {
                        const std::uint32_t v = fetch(fx, fy);
                        for (int k = 0; k < 4; ++k) {
                            sum[k] += (v >> (8 * k)) & 0xFF;
                        }
                        ++n;
                    }
                }
                if (n) {
                    raw = 0;
                    for (int k = 0; k < 4; ++k) {
                        raw |= ((sum[k] + n / 2) / n) << (8 * k);
                    }
                }
            }
            alpha = raw >> 24;
            s = raw & 0xFFFFFF;
            if (source.bitsPixel == 1 && dstBits != 1) {
                s = s ? dstBk : dstText;
            } else if (dstBits == 1 && source.bitsPixel != 1) {
                s = s == srcBk ? 0xFFFFFF : 0;
            }
        }
        switch (kind) {
        case BlitKind::Transparent:
            return s == key ? d : s;
        case BlitKind::Alpha: {
            const unsigned constant = blend.SourceConstantAlpha;
            const unsigned a = blend.AlphaFormat & AC_SRC_ALPHA ? alpha * constant / 255 : constant;
            auto mix = [&](int shift) {
                const unsigned sc = (s >> shift) & 0xFF;
                const unsigned dc = (d >> shift) & 0xFF;
                // Sources with per-pixel alpha are premultiplied, as AlphaBlend expects.
                const unsigned scaled = blend.AlphaFormat & AC_SRC_ALPHA ? sc * constant / 255 : sc * a / 255;
                return std::min(255u, scaled + dc * (255 - a) / 255) << shift;
            };
            return mix(16) | mix(8) | mix(0);
        }
        case BlitKind::Rop:
            break;
        }
        return Rop3(rop, pattern, s, d);
    });
    cairo_surface_mark_dirty(c.surface);
    return TRUE;
}
}

namespace {
DWORD g_transparentBltFailure = 0;
int g_transparentBltFailures = 0;
}

void FailTransparentBlt(int count, DWORD error)
{
    g_transparentBltFailures = count;
    g_transparentBltFailure = error;
}

DWORD TakeTransparentBltFailure()
{
    if (g_transparentBltFailures <= 0) {
        return 0;
    }
    --g_transparentBltFailures;
    return g_transparentBltFailure;
}

bool OpenCanvas(HDC hdc, Canvas& canvas)
{
    canvas.hdc = hdc;
    canvas.dc = LookupDc(hdc);
    if (!canvas.dc) {
        return false;
    }
    canvas.surface = DcSurface(*canvas.dc);
    if (!canvas.surface) {
        return false;
    }
    canvas.clip = EffectiveClip(*canvas.dc);
    return !canvas.clip.empty();
}

cairo_t* NewContext(const Canvas& c, bool clipped)
{
    cairo_t* cr = cairo_create(c.surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (clipped) {
        const int n = cairo_region_num_rectangles(c.clip.get());
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(c.clip.get(), i, &r);
            cairo_rectangle(cr, r.x + c.dc->origin.x, r.y + c.dc->origin.y, r.width, r.height);
        }
        cairo_clip(cr);
    }
    cairo_translate(cr, c.dc->origin.x, c.dc->origin.y);
    return cr;
}

void Finish(const Canvas& c, cairo_t* cr)
{
    cairo_destroy(cr);
    cairo_surface_flush(c.surface);
    cairo_surface_mark_dirty(c.surface);
}

namespace {
// What a pixel puts on paper, from its results over white and over black paper. A result that lets the same share
// of what lies below through in every channel is its own colour laid over it with that share let through
// (premultiplied, as a translucent blend is); any other mix (an inversion, a XOR) is placed as it would come out on
// the white paper.
std::uint32_t PaperPixel(std::uint32_t overWhite, std::uint32_t overBlack)
{
    int through = -1;
    for (int shift : {16, 8, 0}) {
        const int share = static_cast<int>((overWhite >> shift) & 0xFF) - static_cast<int>((overBlack >> shift) & 0xFF);
        if (share < 0 || (through >= 0 && std::abs(share - through) > 1)) {
            return 0xFF000000u | overWhite;
        }
        through = through < 0 ? share : std::min(through, share);
    }
    const std::uint32_t alpha = 255u - static_cast<std::uint32_t>(through);
    std::uint32_t pixel = alpha << 24;
    for (int shift : {16, 8, 0}) {
        pixel |= std::min((overBlack >> shift) & 0xFF, alpha) << shift;
    }
    return alpha == 0 ? 0u : pixel;
}

// A vector page cannot be read back: each pixel's result is asked over white paper and over black ink. One that
// does not depend on what lies below is placed as an opaque image pixel, one that keeps what lies below is left
// out, a translucent one (a blend) is placed with its alpha, and any other mix as it would come out on the white
// paper.
void PlacePixels(const Canvas& c, const RegionData& area, const std::function<std::uint32_t(int, int, std::uint32_t)>& f)
{
    const RECT box = area.box();
    const int w = box.right - box.left;
    const int h = box.bottom - box.top;
    if (w <= 0 || h <= 0) {
        return;
    }
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const int n = cairo_region_num_rectangles(area.get());
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(area.get(), i, &r);
        for (int y = r.y; y < r.y + r.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y - box.top) * stride);
            for (int x = r.x; x < r.x + r.width; ++x) {
                row[x - box.left] = PaperPixel(f(x, y, 0xFFFFFF) & 0xFFFFFF, f(x, y, 0) & 0xFFFFFF);
            }
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_t* cr = NewContext(c);
    cairo_set_source_surface(cr, image, box.left, box.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, box.left, box.top, w, h);
    cairo_fill(cr);
    Finish(c, cr);
    cairo_surface_destroy(image);
}
} // namespace

void ForEachPixel(const Canvas& c, RECT device, const std::function<std::uint32_t(int, int, std::uint32_t)>& f)
{
    RegionData area(device);
    area.intersect(c.clip);
    if (IsVector(c.surface)) {
        PlacePixels(c, area, f);
        return;
    }
    cairo_surface_flush(c.surface);
    const int n = cairo_region_num_rectangles(area.get());
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(area.get(), i, &r);
        for (int y = r.y; y < r.y + r.height; ++y) {
            std::uint32_t* row = PixelRow(c.surface, y + c.dc->origin.y) + c.dc->origin.x;
            for (int x = r.x; x < r.x + r.width; ++x) {
                row[x] = (row[x] & 0xFF000000u) | (f(x, y, row[x] & 0xFFFFFF) & 0xFFFFFF);
            }
        }
    }
    cairo_surface_mark_dirty(c.surface);
}

void FillDevice(const Canvas& c, RECT device, COLORREF color)
{
    if (IsVector(c.surface)) {
        cairo_t* cr = NewContext(c);
        cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
        cairo_rectangle(cr, device.left, device.top, device.right - device.left, device.bottom - device.top);
        cairo_fill(cr);
        Finish(c, cr);
        return;
    }
    const std::uint32_t pixel = ToPixel(color);
    ForEachPixel(c, device, [pixel](int, int, std::uint32_t) { return pixel; });
}

COLORREF PenColor(const Dc& dc, const Pen& pen) { return pen.dcPen ? dc.state.dcPenColor : pen.color; }
COLORREF BrushColor(const Dc& dc, const Brush& brush) { return brush.dcBrush ? dc.state.dcBrushColor : brush.color; }

bool SetBrushSource(cairo_t* cr, const Dc& dc, const Brush& brush)
{
    if (brush.style == BS_NULL) {
        return false;
    }
    const COLORREF color = BrushColor(dc, brush);
    if (brush.style != BS_HATCHED) {
        cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
        return true;
    }
    // An 8 x 8 hatch cell; the gaps show the background colour when the mode is opaque.
    cairo_surface_t* cell = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_surface_flush(cell);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(cell));
    const int stride = cairo_image_surface_get_stride(cell) / 4;
    const std::uint32_t ink = 0xFF000000u | ToPixel(color);
    const std::uint32_t gap = dc.state.bkMode == OPAQUE ? 0xFF000000u | ToPixel(dc.state.bkColor) : 0u;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool on = false;
            switch (brush.hatch) {
            case HS_HORIZONTAL:
                on = y == 7;
                break;
            case HS_VERTICAL:
                on = x == 7;
                break;
            case HS_FDIAGONAL:
                on = x == y;
                break;
            case HS_BDIAGONAL:
                on = x == 7 - y;
                break;
            case HS_CROSS:
                on = x == 7 || y == 7;
                break;
            default:
                on = x == y || x == 7 - y;
                break;
            }
            data[y * stride + x] = on ? ink : gap;
        }
    }
    cairo_surface_mark_dirty(cell);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(cell);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, -dc.state.brushOrg.x, -dc.state.brushOrg.y);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(cell);
    return true;
}

void PaintShape(const Canvas& c, COLORREF color, const std::function<void(cairo_t*)>& path, bool clipped,
                const Brush* brush)
{
    const int rop = c.dc->state.rop2;
    if (rop == R2_NOP) {
        return;
    }
    if (rop == R2_COPYPEN || rop == R2_BLACK || rop == R2_WHITE || rop == R2_NOTCOPYPEN) {
        cairo_t* cr = NewContext(c, clipped);
        if (rop == R2_COPYPEN && brush) {
            SetBrushSource(cr, *c.dc, *brush);
        } else {
            const COLORREF ink = rop == R2_BLACK ? 0 : rop == R2_WHITE ? 0xFFFFFF : rop == R2_NOTCOPYPEN ? ~color : color;
            cairo_set_source_rgb(cr, GetRValue(ink) / 255.0, GetGValue(ink) / 255.0, GetBValue(ink) / 255.0);
        }
        path(cr);
        Finish(c, cr);
        return;
    }
    // Mixing modes: draw the shape as a mask, then combine pixel by pixel.
    const RECT box = c.clip.box();
    const int w = box.right - box.left;
    const int h = box.bottom - box.top;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(mask);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -box.left, -box.top);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    path(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    const unsigned char* bits = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const std::uint32_t pen = ToPixel(color);
    ForEachPixel(c, box, [&](int x, int y, std::uint32_t d) {
        return bits[(y - box.top) * stride + (x - box.left)] >= 128 ? Rop2(rop, pen, d) : d;
    });
    cairo_surface_destroy(mask);
}

void LogCall(HDC hdc, const std::string& line)
{
    if (Dc* dc = LookupDc(hdc); dc && dc->log) {
        dc->log->lines.push_back(line);
    }
}

std::string LogArgs(std::initializer_list<long long> values)
{
    std::string text;
    for (long long v : values) {
        if (!text.empty()) {
            text += ',';
        }
        text += LogNumber(v);
    }
    return text;
}

RECT ToDeviceRect(const Dc& dc, const RECT& r)
{
    const POINT a = ToDevice(dc, POINT{r.left, r.top});
    const POINT b = ToDevice(dc, POINT{r.right, r.bottom});
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}
}

using gdi::Canvas;

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    if (previous) {
        *previous = dc->state.current;
    }
    dc->state.current = POINT{x, y};
    gdi::LogCall(hdc, "MoveToEx(" + gdi::LogArgs({x, y}) + ")");
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, LPPOINT point)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc || !point) {
        return FALSE;
    }
    *point = dc->state.current;
    return TRUE;
}

namespace {
std::vector<POINT> ToDevicePoints(const Canvas& c, const POINT* points, int count)
{
    std::vector<POINT> device(points, points + count);
    for (POINT& p : device) {
        p = gdi::ToDevice(*c.dc, p);
    }
    return device;
}

// Draws connected segments in device pixels: each segment leaves out its last pixel, as GDI lines do.
BOOL DrawPolyline(HDC hdc, const POINT* points, int count, bool closed)
{
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return gdi::LookupDc(hdc) != nullptr;
    }
    const std::vector<POINT> device = ToDevicePoints(c, points, count);
    gdi::StrokeWithPen(c, [&](cairo_t* cr) {
        cairo_move_to(cr, device[0].x + 0.5, device[0].y + 0.5);
        for (std::size_t i = 1; i < device.size(); ++i) {
            cairo_line_to(cr, device[i].x + 0.5, device[i].y + 0.5);
        }
        if (closed) {
            cairo_close_path(cr);
        }
    });
    return TRUE;
}
}

BOOL LineTo(HDC hdc, int x, int y)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    const POINT points[2] = {dc->state.current, POINT{x, y}};
    gdi::LogCall(hdc, "LineTo(" + gdi::LogArgs({x, y}) + ")");
    DrawPolyline(hdc, points, 2, false);
    dc->state.current = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count)
{
    if (!points || count < 2) {
        return FALSE;
    }
    gdi::LogCall(hdc, "Polyline(" + gdi::LogNumber(count) + ")");
    return DrawPolyline(hdc, points, count, false);
}

BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc || !points || count == 0) {
        return FALSE;
    }
    std::vector<POINT> all{dc->state.current};
    all.insert(all.end(), points, points + count);
    gdi::LogCall(hdc, "PolylineTo(" + gdi::LogNumber(count) + ")");
    DrawPolyline(hdc, all.data(), static_cast<int>(all.size()), false);
    dc->state.current = points[count - 1];
    return TRUE;
}

BOOL PolyPolyline(HDC hdc, const POINT* points, const DWORD* counts, DWORD polylines)
{
    if (!points || !counts) {
        return FALSE;
    }
    for (DWORD i = 0; i < polylines; ++i) {
        if (counts[i] >= 2) {
            DrawPolyline(hdc, points, static_cast<int>(counts[i]), false);
        }
        points += counts[i];
    }
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count)
{
    if (!points || count < 2) {
        return FALSE;
    }
    gdi::LogCall(hdc, "Polygon(" + gdi::LogNumber(count) + ")");
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return gdi::LookupDc(hdc) != nullptr;
    }
    const std::vector<POINT> device = ToDevicePoints(c, points, count);
    auto path = [&](cairo_t* cr) {
        cairo_move_to(cr, device[0].x + 0.5, device[0].y + 0.5);
        for (std::size_t i = 1; i < device.size(); ++i) {
            cairo_line_to(cr, device[i].x + 0.5, device[i].y + 0.5);
        }
        cairo_close_path(cr);
    };
    gdi::FillWithBrush(c, path);
    gdi::StrokeWithPen(c, path);
    return TRUE;
}

namespace {
enum class Shape { Rectangle, Ellipse, RoundRect };

BOOL DrawShape(HDC hdc, int left, int top, int right, int bottom, Shape shape, int rw = 0, int rh = 0)
{
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return gdi::LookupDc(hdc) != nullptr;
    }
    const RECT r = gdi::ToDeviceRect(*c.dc, RECT{left, top, right, bottom});
    const double w = r.right - r.left;
    const double h = r.bottom - r.top;
    const double cw = gdi::ScaleX(*c.dc, rw);
    const double ch = gdi::ScaleY(*c.dc, rh);
    // Without a pen GDI fills one pixel less to the right and bottom.
    const double shrink = gdi::PenIsNull(*c.dc) ? 1 : 0;
    auto outline = [&](cairo_t* cr, double x, double y, double ww, double hh) {
        switch (shape) {
        case Shape::Rectangle:
            cairo_rectangle(cr, x, y, ww, hh);
            break;
        case Shape::Ellipse:
            gdi::EllipsePath(cr, x, y, ww, hh);
            break;
        case Shape::RoundRect:
            gdi::RoundRectPath(cr, x, y, ww, hh, cw, ch);
            break;
        }
    };
    gdi::FillWithBrush(c, [&](cairo_t* cr) { outline(cr, r.left, r.top, w - shrink, h - shrink); });
    gdi::StrokeWithPen(c, [&](cairo_t* cr) { outline(cr, r.left + 0.5, r.top + 0.5, w - 1, h - 1); });
    return TRUE;
}
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    gdi::LogCall(hdc, "Rectangle(" + gdi::LogArgs({left, top, right, bottom}) + ")");
    return DrawShape(hdc, left, top, right, bottom, Shape::Rectangle);
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height)
{
    gdi::LogCall(hdc, "RoundRect(" + gdi::LogArgs({left, top, right, bottom, width, height}) + ")");
    return DrawShape(hdc, left, top, right, bottom, Shape::RoundRect, width, height);
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    gdi::LogCall(hdc, "Ellipse(" + gdi::LogArgs({left, top, right, bottom}) + ")");
    return DrawShape(hdc, left, top, right, bottom, Shape::Ellipse);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    return gdi::Blit(hdc, x, y, width, height, nullptr, 0, 0, 0, 0, rop, gdi::BlitKind::Rop, 0, {}, "PatBlt");
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    return gdi::Blit(dst, x, y, width, height, src, srcX, srcY, width, height, rop, gdi::BlitKind::Rop, 0, {},
                     "BitBlt");
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    return gdi::Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop, gdi::BlitKind::Rop, 0, {},
                     "StretchBlt");
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent)
{
    if (const DWORD injected = gdi::TakeTransparentBltFailure()) {
        SetLastError(injected);
        return FALSE;
    }
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // As in Win32, a source rectangle reaching outside the source bitmap fails the call; the rectangle is logical,
    // so it is checked where the source DC's mapping puts it.
    if (const gdi::Dc* source = gdi::LookupDc(src); source && source->kind == gdi::DcKind::Memory) {
        const gdi::Bitmap* bitmap = gdi::AsBitmap(source->bitmap);
        const RECT device = gdi::ToDeviceRect(*source, RECT{srcX, srcY, srcX + srcWidth, srcY + srcHeight});
        if (bitmap && (device.left < 0 || device.top < 0 || device.right > bitmap->width ||
                       device.bottom > bitmap->height)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    return gdi::Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, SRCCOPY,
                     gdi::BlitKind::Transparent, transparent, {}, "TransparentBlt");
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend)
{
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
        return FALSE;
    }
    return gdi::Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, SRCCOPY, gdi::BlitKind::Alpha,
                     0, blend, "AlphaBlend");
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return CLR_INVALID;
    }
    const POINT p = gdi::ToDevice(*c.dc, POINT{x, y});
    if (!c.clip.contains(p.x, p.y)) {
        return CLR_INVALID;
    }
    gdi::FillDevice(c, RECT{p.x, p.y, p.x + 1, p.y + 1}, color);
    return color & 0xFFFFFF;
}

COLORREF GetNearestColor(HDC hdc, COLORREF color)
{
    if (!gdi::LookupDc(hdc)) {
        return CLR_INVALID;
    }
    return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return CLR_INVALID;
    }
    const POINT p = gdi::ToDevice(*c.dc, POINT{x, y});
    if (!c.clip.contains(p.x, p.y) || cairo_surface_get_type(c.surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return CLR_INVALID;
    }
    cairo_surface_flush(c.surface);
    return gdi::FromPixel(gdi::PixelRow(c.surface, p.y + c.dc->origin.y)[p.x + c.dc->origin.x]);
}

BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush)
{
    gdi::Region* rgn = gdi::AsRegion(region);
    gdi::Brush* b = gdi::ResolveBrush(brush);
    Canvas c;
    if (!rgn || !b || !gdi::OpenCanvas(hdc, c)) {
        return rgn && b;
    }
    gdi::LogCall(hdc, "FillRgn()");
    cairo_t* cr = gdi::NewContext(c);
    if (gdi::SetBrushSource(cr, *c.dc, *b)) {
        const int n = cairo_region_num_rectangles(rgn->data.get());
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(rgn->data.get(), i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_fill(cr);
    }
    gdi::Finish(c, cr);
    return TRUE;
}

BOOL PaintRgn(HDC hdc, HRGN region)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    return dc && FillRgn(hdc, region, dc->state.brush);
}

BOOL FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height)
{
    gdi::Region* rgn = gdi::AsRegion(region);
    if (!rgn) {
        return FALSE;
    }
    // The frame is the region less the region shrunk by the frame size in every direction.
    gdi::RegionData inner = rgn->data;
    for (const POINT shift : {POINT{width, 0}, POINT{-width, 0}, POINT{0, height}, POINT{0, -height}}) {
        gdi::RegionData moved = rgn->data;
        moved.offset(shift.x, shift.y);
        inner.intersect(moved);
    }
    HRGN frame = CreateRectRgn(0, 0, 0, 0);
    gdi::AsRegion(frame)->data = rgn->data;
    gdi::AsRegion(frame)->data.subtract(inner);
    const BOOL result = FillRgn(hdc, frame, brush);
    DeleteObject(frame);
    return result;
}
