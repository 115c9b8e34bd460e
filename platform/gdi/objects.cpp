#include "platform/gdi/objects.h"

#include "platform/gdi/dc.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace gdi {
namespace {
std::unordered_map<void*, std::unique_ptr<Object>>& Objects()
{
    static auto* objects = new std::unordered_map<void*, std::unique_ptr<Object>>; // outlives static destructors
    return *objects;
}
}

Bitmap::~Bitmap()
{
    if (surface) {
        cairo_surface_destroy(surface);
    }
}

RegionData::RegionData() : region_(cairo_region_create()) {}
RegionData::RegionData(const RECT& r)
{
    const cairo_rectangle_int_t rect{r.left, r.top, std::max(0, static_cast<int>(r.right - r.left)),
                                     std::max(0, static_cast<int>(r.bottom - r.top))};
    region_ = cairo_region_create_rectangle(&rect);
}
RegionData::RegionData(const RegionData& other) : region_(cairo_region_copy(other.region_)) {}
RegionData& RegionData::operator=(const RegionData& other)
{
    if (this != &other) {
        cairo_region_t* copy = cairo_region_copy(other.region_);
        cairo_region_destroy(region_);
        region_ = copy;
    }
    return *this;
}
RegionData::~RegionData() { cairo_region_destroy(region_); }
bool RegionData::empty() const { return cairo_region_is_empty(region_); }
RECT RegionData::box() const
{
    if (empty()) {
        return RECT{};
    }
    cairo_rectangle_int_t r;
    cairo_region_get_extents(region_, &r);
    return RECT{r.x, r.y, r.x + r.width, r.y + r.height};
}
int RegionData::complexity() const
{
    const int n = cairo_region_num_rectangles(region_);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}
void RegionData::intersect(const RegionData& other) { cairo_region_intersect(region_, other.region_); }
void RegionData::unite(const RegionData& other) { cairo_region_union(region_, other.region_); }
void RegionData::subtract(const RegionData& other) { cairo_region_subtract(region_, other.region_); }
void RegionData::exclusiveOr(const RegionData& other) { cairo_region_xor(region_, other.region_); }
void RegionData::offset(int dx, int dy) { cairo_region_translate(region_, dx, dy); }
bool RegionData::contains(int x, int y) const { return cairo_region_contains_point(region_, x, y); }

HGDIOBJ Register(std::unique_ptr<Object> object)
{
    void* handle = object.get();
    Objects().emplace(handle, std::move(object));
    return handle;
}

Object* Lookup(HGDIOBJ handle)
{
    if (!handle) {
        return nullptr;
    }
    auto& objects = Objects();
    const auto found = objects.find(handle);
    return found == objects.end() ? nullptr : found->second.get();
}

void ReleaseSelection(HGDIOBJ handle)
{
    Object* object = Lookup(handle);
    if (!object) {
        return;
    }
    if (object->selections > 0) {
        --object->selections;
    }
    if (object->selections == 0 && object->deletePending) {
        Objects().erase(handle);
    }
}

int LiveObjectCount()
{
    return static_cast<int>(std::count_if(Objects().begin(), Objects().end(),
                                          [](const auto& entry) { return !entry.second->stock; }));
}

HBITMAP NewBitmap(int width, int height, WORD bitsPixel)
{
    if (width < 0 || height < 0 || width > 0x8000 || height > 0x8000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = std::make_unique<Bitmap>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPixel = bitsPixel;
    bitmap->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 1), std::max(height, 1));
    // New bitmaps are black, as GDI's are.
    cairo_t* cr = cairo_create(bitmap->surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return static_cast<HBITMAP>(Register(std::move(bitmap)));
}
}

namespace {
using gdi::Register;

constexpr std::array<COLORREF, 31> kSysColors = {
    RGB(200, 200, 200), // scroll bar
    RGB(0, 0, 0),       // background
    RGB(153, 180, 209), // active caption
    RGB(191, 205, 219), // inactive caption
    RGB(240, 240, 240), // menu
    RGB(255, 255, 255), // window
    RGB(100, 100, 100), // window frame
    RGB(0, 0, 0),       // menu text
    RGB(0, 0, 0),       // window text
    RGB(0, 0, 0),       // caption text
    RGB(180, 180, 180), // active border
    RGB(244, 247, 252), // inactive border
    RGB(171, 171, 171), // app workspace
    RGB(51, 153, 255),  // highlight
    RGB(255, 255, 255), // highlight text
    RGB(240, 240, 240), // button face
    RGB(160, 160, 160), // button shadow
    RGB(109, 109, 109), // grey text
    RGB(0, 0, 0),       // button text
    RGB(67, 78, 84),    // inactive caption text
    RGB(255, 255, 255), // button highlight
    RGB(105, 105, 105), // 3-D dark shadow
    RGB(227, 227, 227), // 3-D light
    RGB(0, 0, 0),       // info text
    RGB(255, 255, 225), // info background
    RGB(0, 0, 0),       // (unused)
    RGB(0, 102, 204),   // hot light
    RGB(185, 209, 234), // gradient active caption
    RGB(215, 228, 242), // gradient inactive caption
    RGB(51, 153, 255),  // menu highlight
    RGB(240, 240, 240), // menu bar
};

template <class T>
HGDIOBJ MakeStock(std::unique_ptr<T> object)
{
    object->stock = true;
    return Register(std::move(object));
}

HGDIOBJ StockBrush(COLORREF color, UINT style = BS_SOLID)
{
    auto brush = std::make_unique<gdi::Brush>();
    brush->color = color;
    brush->style = style;
    return MakeStock(std::move(brush));
}

HGDIOBJ StockPen(COLORREF color, int style = PS_SOLID)
{
    auto pen = std::make_unique<gdi::Pen>();
    pen->color = color;
    pen->style = style;
    return MakeStock(std::move(pen));
}

HGDIOBJ StockFont(const char16_t* face, LONG height, LONG weight)
{
    auto font = std::make_unique<gdi::Font>();
    font->log.lfHeight = height;
    font->log.lfWeight = weight;
    font->log.lfCharSet = DEFAULT_CHARSET;
    std::char_traits<char16_t>::copy(font->log.lfFaceName, face, std::char_traits<char16_t>::length(face) + 1);
    return MakeStock(std::move(font));
}

struct Stock {
    std::array<HGDIOBJ, 20> objects{};
    std::array<HGDIOBJ, 31> sysBrushes{};
    Stock()
    {
        objects[WHITE_BRUSH] = StockBrush(RGB(255, 255, 255));
        objects[LTGRAY_BRUSH] = StockBrush(RGB(192, 192, 192));
        objects[GRAY_BRUSH] = StockBrush(RGB(128, 128, 128));
        objects[DKGRAY_BRUSH] = StockBrush(RGB(64, 64, 64));
        objects[BLACK_BRUSH] = StockBrush(RGB(0, 0, 0));
        objects[NULL_BRUSH] = StockBrush(0, BS_NULL);
        objects[WHITE_PEN] = StockPen(RGB(255, 255, 255));
        objects[BLACK_PEN] = StockPen(RGB(0, 0, 0));
        objects[NULL_PEN] = StockPen(0, PS_NULL);
        objects[OEM_FIXED_FONT] = StockFont(u"Terminal", 12, FW_NORMAL);
        objects[ANSI_FIXED_FONT] = StockFont(u"Courier", 13, FW_NORMAL);
        objects[ANSI_VAR_FONT] = StockFont(u"MS Sans Serif", 13, FW_NORMAL);
        objects[SYSTEM_FONT] = StockFont(u"System", 16, FW_BOLD);
        objects[DEVICE_DEFAULT_FONT] = StockFont(u"System", 16, FW_BOLD);
        objects[SYSTEM_FIXED_FONT] = StockFont(u"Fixedsys", 15, FW_NORMAL);
        objects[DEFAULT_GUI_FONT] = StockFont(u"MS Shell Dlg", -11, FW_NORMAL);
        auto dcBrush = std::make_unique<gdi::Brush>();
        dcBrush->dcBrush = true;
        objects[DC_BRUSH] = MakeStock(std::move(dcBrush));
        auto dcPen = std::make_unique<gdi::Pen>();
        dcPen->dcPen = true;
        objects[DC_PEN] = MakeStock(std::move(dcPen));
        for (std::size_t i = 0; i < kSysColors.size(); ++i) {
            sysBrushes[i] = StockBrush(kSysColors[i]);
        }
    }
};

Stock& GetStock()
{
    static Stock* stock = new Stock;
    return *stock;
}
}

namespace gdi {
Brush* ResolveBrush(HBRUSH brush)
{
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value >= 1 && value <= kSysColors.size()) {
        return AsBrush(GetSysColorBrush(static_cast<int>(value - 1)));
    }
    return AsBrush(brush);
}
}

DWORD GetSysColor(int index)
{
    return index >= 0 && index < static_cast<int>(kSysColors.size()) ? kSysColors[index] : 0;
}

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index >= static_cast<int>(kSysColors.size())) {
        return nullptr;
    }
    return static_cast<HBRUSH>(GetStock().sysBrushes[index]);
}

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index >= static_cast<int>(GetStock().objects.size())) {
        return nullptr;
    }
    return GetStock().objects[index];
}

BOOL DeleteObject(HGDIOBJ handle)
{
    gdi::Object* object = gdi::Lookup(handle);
    if (!object) {
        return FALSE;
    }
    if (object->stock) {
        return TRUE;
    }
    if (object->selections > 0) {
        // Still selected: freed when the DC lets go, so that the DC never draws with a dangling object.
        object->deletePending = true;
        return TRUE;
    }
    auto& objects = gdi::Objects();
    objects.erase(handle);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ handle)
{
    if (gdi::LookupDc(static_cast<HDC>(handle))) {
        gdi::Dc* dc = gdi::LookupDc(static_cast<HDC>(handle));
        return dc->kind == gdi::DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
    }
    gdi::Object* object = gdi::Lookup(handle);
    return object ? object->type : 0;
}

int GetObjectW(HGDIOBJ handle, int size, void* out)
{
    gdi::Object* object = gdi::Lookup(handle);
    if (!object) {
        return 0;
    }
    auto copy = [&](const auto& value) {
        const int needed = static_cast<int>(sizeof(value));
        if (!out) {
            return needed;
        }
        const int n = std::min(size, needed);
        std::memcpy(out, &value, static_cast<std::size_t>(n));
        return n;
    };
    switch (object->type) {
    case OBJ_PEN: {
        const auto* pen = static_cast<gdi::Pen*>(object);
        return copy(LOGPEN{static_cast<UINT>(pen->style), POINT{pen->width, 0}, pen->color});
    }
    case OBJ_BRUSH: {
        const auto* brush = static_cast<gdi::Brush*>(object);
        return copy(LOGBRUSH{brush->style, brush->color, static_cast<ULONG_PTR>(brush->hatch)});
    }
    case OBJ_FONT:
        return copy(static_cast<gdi::Font*>(object)->log);
    case OBJ_BITMAP: {
        auto* bitmap = static_cast<gdi::Bitmap*>(object);
        BITMAP info{0,
                    bitmap->width,
                    bitmap->height,
                    ((bitmap->width * bitmap->bitsPixel + 15) / 16) * 2,
                    1,
                    bitmap->bitsPixel,
                    bitmap->dib ? cairo_image_surface_get_data(bitmap->surface) : nullptr};
        if (bitmap->dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION section{};
            section.dsBm = info;
            section.dsBm.bmWidthBytes = cairo_image_surface_get_stride(bitmap->surface);
            section.dsBmih = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), bitmap->width, -bitmap->height, 1,
                                              bitmap->bitsPixel, BI_RGB, 0, 0, 0, 0, 0};
            return copy(section);
        }
        return copy(info);
    }
    default:
        return 0;
    }
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    auto pen = std::make_unique<gdi::Pen>();
    pen->style = style & PS_STYLE_MASK;
    pen->width = std::max(width, 0);
    pen->color = color & 0xFFFFFF;
    return static_cast<HPEN>(Register(std::move(pen)));
}

HPEN CreatePenIndirect(const LOGPEN* pen)
{
    return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : nullptr;
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles)
{
    const bool geometric = (style & PS_TYPE_MASK) == PS_GEOMETRIC;
    if (!brush || (style & PS_TYPE_MASK) > PS_GEOMETRIC || (!geometric && width != 1) || styleCount != 0 || styles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pen = std::make_unique<gdi::Pen>();
    pen->style = static_cast<int>(style & PS_STYLE_MASK);
    if (pen->style == PS_ALTERNATE && geometric) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    pen->width = static_cast<int>(width);
    pen->color = brush->lbStyle == BS_NULL ? 0 : brush->lbColor & 0xFFFFFF;
    if (brush->lbStyle == BS_NULL) {
        pen->style = PS_NULL;
    }
    pen->geometric = geometric;
    pen->endCap = style & PS_ENDCAP_MASK;
    return static_cast<HPEN>(Register(std::move(pen)));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto brush = std::make_unique<gdi::Brush>();
    brush->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(Register(std::move(brush)));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color)
{
    auto brush = std::make_unique<gdi::Brush>();
    brush->style = BS_HATCHED;
    brush->hatch = hatch;
    brush->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(Register(std::move(brush)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* log)
{
    if (!log) {
        return nullptr;
    }
    if (log->lbStyle == BS_NULL) {
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    if (log->lbStyle == BS_HATCHED) {
        return CreateHatchBrush(static_cast<int>(log->lbHatch), log->lbColor);
    }
    return CreateSolidBrush(log->lbColor);
}

HFONT CreateFontIndirectW(const LOGFONTW* log)
{
    if (!log) {
        return nullptr;
    }
    auto font = std::make_unique<gdi::Font>();
    font->log = *log;
    font->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(Register(std::move(font)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName)
{
    LOGFONTW log{height,
                 width,
                 escapement,
                 orientation,
                 weight,
                 static_cast<BYTE>(italic),
                 static_cast<BYTE>(underline),
                 static_cast<BYTE>(strikeOut),
                 static_cast<BYTE>(charSet),
                 static_cast<BYTE>(outPrecision),
                 static_cast<BYTE>(clipPrecision),
                 static_cast<BYTE>(quality),
                 static_cast<BYTE>(pitchAndFamily),
                 {}};
    if (faceName) {
        const std::size_t n = std::min<std::size_t>(std::char_traits<char16_t>::length(faceName), LF_FACESIZE - 1);
        std::char_traits<char16_t>::copy(log.lfFaceName, faceName, n);
    }
    return CreateFontIndirectW(&log);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    HBITMAP handle = gdi::NewBitmap(width, height, static_cast<WORD>(bitsPerPixel == 1 ? 1 : 32));
    gdi::Bitmap* bitmap = gdi::AsBitmap(handle);
    if (!bitmap || !bits || width == 0 || height == 0) {
        return handle;
    }
    cairo_surface_flush(bitmap->surface);
    auto* data = cairo_image_surface_get_data(bitmap->surface);
    const int stride = cairo_image_surface_get_stride(bitmap->surface);
    const auto* src = static_cast<const BYTE*>(bits);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        if (bitsPerPixel == 1) {
            const BYTE* line = src + y * (((width + 15) / 16) * 2);
            for (int x = 0; x < width; ++x) {
                row[x] = (line[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFF : 0;
            }
        } else if (bitsPerPixel == 32) {
            std::memcpy(row, src + y * width * 4, static_cast<std::size_t>(width) * 4);
        } else if (bitsPerPixel == 24) {
            const BYTE* line = src + y * (((width * 24 + 15) / 16) * 2);
            for (int x = 0; x < width; ++x) {
                row[x] = line[3 * x] | (line[3 * x + 1] << 8) | (line[3 * x + 2] << 16);
            }
        }
    }
    cairo_surface_mark_dirty(bitmap->surface);
    return handle;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    WORD bits = 32;
    if (dc && dc->kind == gdi::DcKind::Memory) {
        if (gdi::Bitmap* selected = gdi::AsBitmap(dc->bitmap)) {
            bits = selected->bitsPixel;
        }
    }
    return gdi::NewBitmap(width, height, bits);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD)
{
    if (bits) {
        *bits = nullptr;
    }
    if (!info || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB) {
        // Only 32-bit top-down or bottom-up sections are needed; others are refused rather than misdrawn.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG height = info->bmiHeader.biHeight;
    if (height > 0) {
        // Bottom-up rows cannot share storage with a top-down surface; callers ask for top-down sections.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP handle = gdi::NewBitmap(info->bmiHeader.biWidth, -height, 32);
    gdi::Bitmap* bitmap = gdi::AsBitmap(handle);
    if (!bitmap) {
        return nullptr;
    }
    bitmap->dib = true;
    cairo_surface_flush(bitmap->surface);
    std::memset(cairo_image_surface_get_data(bitmap->surface), 0,
                static_cast<std::size_t>(cairo_image_surface_get_stride(bitmap->surface)) *
                    static_cast<std::size_t>(std::max(1, bitmap->height)));
    cairo_surface_mark_dirty(bitmap->surface);
    if (bits) {
        *bits = cairo_image_surface_get_data(bitmap->surface);
    }
    return handle;
}

// Regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto region = std::make_unique<gdi::Region>();
    region->data = gdi::RegionData(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                                        std::max(top, bottom)});
    return static_cast<HRGN>(Register(std::move(region)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom)
{
    gdi::Region* region = gdi::AsRegion(handle);
    if (!region) {
        return FALSE;
    }
    region->data = gdi::RegionData(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                                        std::max(top, bottom)});
    return TRUE;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode)
{
    gdi::Region* target = gdi::AsRegion(dst);
    gdi::Region* first = gdi::AsRegion(a);
    gdi::Region* second = gdi::AsRegion(b);
    if (!target || !first || (mode != RGN_COPY && !second)) {
        return ERROR;
    }
    gdi::RegionData result = first->data;
    switch (mode) {
    case RGN_AND:
        result.intersect(second->data);
        break;
    case RGN_OR:
        result.unite(second->data);
        break;
    case RGN_XOR:
        result.exclusiveOr(second->data);
        break;
    case RGN_DIFF:
        result.subtract(second->data);
        break;
    case RGN_COPY:
        break;
    default:
        return ERROR;
    }
    target->data = result;
    return target->data.complexity();
}

int OffsetRgn(HRGN handle, int dx, int dy)
{
    gdi::Region* region = gdi::AsRegion(handle);
    if (!region) {
        return ERROR;
    }
    region->data.offset(dx, dy);
    return region->data.complexity();
}

int GetRgnBox(HRGN handle, LPRECT rect)
{
    gdi::Region* region = gdi::AsRegion(handle);
    if (!region || !rect) {
        return ERROR;
    }
    *rect = region->data.box();
    return region->data.complexity();
}

BOOL PtInRegion(HRGN handle, int x, int y)
{
    gdi::Region* region = gdi::AsRegion(handle);
    return region && region->data.contains(x, y);
}

BOOL RectInRegion(HRGN handle, const RECT* rect)
{
    gdi::Region* region = gdi::AsRegion(handle);
    if (!region || !rect) {
        return FALSE;
    }
    gdi::RegionData probe(*rect);
    probe.intersect(region->data);
    return !probe.empty();
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    gdi::Region* first = gdi::AsRegion(a);
    gdi::Region* second = gdi::AsRegion(b);
    return first && second && cairo_region_equal(first->data.get(), second->data.get());
}
