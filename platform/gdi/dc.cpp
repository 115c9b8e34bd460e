#include "platform/gdi/dc.h"

#include "platform/gdi/canvas.h"

#include "platform/ui/window.h"
#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <utility>
#include <charconv>
#include <map>
#include <unordered_map>

namespace gdi {
namespace {
std::unordered_map<HDC, std::unique_ptr<Dc>>& Dcs()
{
    static auto* dcs = new std::unordered_map<HDC, std::unique_ptr<Dc>>;
    return *dcs;
}

std::map<HWND, CallLog*>& WindowLogs()
{
    static auto* logs = new std::map<HWND, CallLog*>;
    return *logs;
}

int& Dpi()
{
    static int dpi = 96;
    return dpi;
}

int& BlendCaps()
{
    static int caps = SB_CONST_ALPHA | SB_PIXEL_ALPHA;
    return caps;
}

void Select(HGDIOBJ object)
{
    if (Object* o = Lookup(object)) {
        ++o->selections;
    }
}

void InitState(Dc& dc)
{
    dc.state.pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc.state.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc.state.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

void ReleaseState(const DcState& state)
{
    ReleaseSelection(state.pen);
    ReleaseSelection(state.brush);
    ReleaseSelection(state.font);
}

void HoldState(const DcState& state)
{
    Select(state.pen);
    Select(state.brush);
    Select(state.font);
}

HDC Add(std::unique_ptr<Dc> dc)
{
    InitState(*dc);
    HoldState(dc->state);
    auto* handle = reinterpret_cast<HDC>(dc.get());
    Dcs().emplace(handle, std::move(dc));
    return handle;
}


// Maps one axis: logical to device.
int MapAxis(int value, int windowOrg, int windowExt, int viewportOrg, int viewportExt, int mapMode)
{
    if (mapMode == MM_TEXT || windowExt == 0) {
        return value - windowOrg + viewportOrg;
    }
    return MulDiv(value - windowOrg, viewportExt, windowExt) + viewportOrg;
}

int UnmapAxis(int value, int windowOrg, int windowExt, int viewportOrg, int viewportExt, int mapMode)
{
    if (mapMode == MM_TEXT || viewportExt == 0) {
        return value - viewportOrg + windowOrg;
    }
    return MulDiv(value - viewportOrg, windowExt, viewportExt) + windowOrg;
}

// Replaces the clip region by combining it with a region in device pixels.
int CombineClip(Dc& dc, const RegionData* region, int mode)
{
    RegionData all(RECT{-0x4000000, -0x4000000, 0x4000000, 0x4000000});
    const RegionData current = dc.state.clip ? *dc.state.clip : all;
    if (mode == RGN_COPY) {
        dc.state.clip = region ? std::make_shared<RegionData>(*region) : nullptr;
    } else {
        if (!region) {
            return ERROR;
        }
        RegionData result = current;
        switch (mode) {
        case RGN_AND:
            result.intersect(*region);
            break;
        case RGN_OR:
            result.unite(*region);
            break;
        case RGN_XOR:
            result.exclusiveOr(*region);
            break;
        case RGN_DIFF:
            result.subtract(*region);
            break;
        default:
            return ERROR;
        }
        dc.state.clip = std::make_shared<RegionData>(result);
    }
    return EffectiveClip(dc).complexity();
}
}

std::vector<std::string> CallLog::calls(const std::string& name) const
{
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.compare(0, name.size(), name) == 0 && line.size() > name.size() && line[name.size()] == '(') {
            found.push_back(line);
        }
    }
    return found;
}

std::string LogNumber(long long value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string LogText(LPCWSTR text, int count)
{
    if (!text) {
        return "null";
    }
    const std::size_t n = count < 0 ? std::char_traits<char16_t>::length(text) : static_cast<std::size_t>(count);
    return '"' + platform::Utf16ToUtf8(std::u16string_view(text, n)) + '"';
}

Dc* LookupDc(HDC hdc)
{
    if (!hdc) {
        return nullptr;
    }
    auto& dcs = Dcs();
    const auto found = dcs.find(hdc);
    return found == dcs.end() ? nullptr : found->second.get();
}

int LiveDcCount() { return static_cast<int>(Dcs().size()); }

cairo_surface_t* DcSurface(Dc& dc)
{
    cairo_surface_t* surface = nullptr;
    switch (dc.kind) {
    case DcKind::Window:
    case DcKind::Client: {
        ui::detail::SurfaceInfo info;
        if (!ui::detail::GetSurfaceInfo(dc.hwnd, info)) {
            return nullptr;
        }
        surface = info.surface;
        // The window may have moved its client area or changed size since the DC was made.
        dc.origin = dc.kind == DcKind::Client ? info.clientOffset : POINT{};
        dc.extent = dc.kind == DcKind::Client ? info.clientSize : info.windowSize;
        break;
    }
    case DcKind::Memory: {
        Bitmap* bitmap = AsBitmap(dc.bitmap);
        if (!bitmap) {
            return nullptr;
        }
        surface = bitmap->surface;
        dc.extent = SIZE{bitmap->width, bitmap->height};
        break;
    }
    case DcKind::Screen:
        surface = ui::detail::ScreenSurface();
        dc.extent = SIZE{cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)};
        break;
    case DcKind::Printer: {
        // A plain printer keeps nothing; a print service's page draws on its bitmap or its vector surface.
        if (dc.vector) {
            surface = dc.vector;
            break;
        }
        Bitmap* bitmap = dc.bitmap ? AsBitmap(dc.bitmap) : nullptr;
        if (!bitmap) {
            return nullptr;
        }
        surface = bitmap->surface;
        dc.extent = SIZE{bitmap->width, bitmap->height};
        break;
    }
    }
    if (surface) {
        cairo_surface_flush(surface);
    }
    return surface;
}

HDC NewWindowDc(HWND hwnd, bool client)
{
    auto dc = std::make_unique<Dc>();
    dc->kind = client ? DcKind::Client : DcKind::Window;
    dc->hwnd = hwnd;
    const auto found = WindowLogs().find(hwnd);
    dc->log = found == WindowLogs().end() ? nullptr : found->second;
    HDC handle = Add(std::move(dc));
    DcSurface(*LookupDc(handle));
    return handle;
}

void FreeDc(HDC hdc)
{
    auto& dcs = Dcs();
    const auto found = dcs.find(hdc);
    if (found == dcs.end()) {
        return;
    }
    Dc& dc = *found->second;
    ReleaseState(dc.state);
    for (const DcState& saved : dc.saved) {
        ReleaseState(saved);
    }
    if (dc.kind == DcKind::Memory && dc.bitmap) {
        if (Bitmap* bitmap = AsBitmap(dc.bitmap)) {
            bitmap->selectedInto = nullptr;
        }
        ReleaseSelection(dc.bitmap);
    }
    dcs.erase(found);
}

RegionData EffectiveClip(const Dc& dc)
{
    RegionData clip(RECT{0, 0, dc.extent.cx, dc.extent.cy});
    if (dc.paint) {
        clip.intersect(*dc.paint);
    }
    if (dc.state.clip) {
        clip.intersect(*dc.state.clip);
    }
    return clip;
}

POINT ToDevice(const Dc& dc, POINT p)
{
    const DcState& s = dc.state;
    return POINT{MapAxis(p.x, s.windowOrg.x, s.windowExt.cx, s.viewportOrg.x, s.viewportExt.cx, s.mapMode),
                 MapAxis(p.y, s.windowOrg.y, s.windowExt.cy, s.viewportOrg.y, s.viewportExt.cy, s.mapMode)};
}

int ScaleX(const Dc& dc, int length)
{
    const DcState& s = dc.state;
    if (s.mapMode == MM_TEXT || s.windowExt.cx == 0) {
        return length;
    }
    return std::abs(MulDiv(length, s.viewportExt.cx, s.windowExt.cx));
}

int ScaleY(const Dc& dc, int length)
{
    const DcState& s = dc.state;
    if (s.mapMode == MM_TEXT || s.windowExt.cy == 0) {
        return length;
    }
    return std::abs(MulDiv(length, s.viewportExt.cy, s.windowExt.cy));
}

void SetScreenDpi(int dpi) { Dpi() = dpi > 0 ? dpi : 96; }
int ScreenDpi() { return Dpi(); }

void SetShadeBlendCaps(int caps) { BlendCaps() = caps; }
int ShadeBlendCaps() { return BlendCaps(); }

void LogWindowCalls(HWND hwnd, CallLog* log)
{
    if (log) {
        WindowLogs()[hwnd] = log;
    } else {
        WindowLogs().erase(hwnd);
    }
}

void LogDcCalls(HDC hdc, CallLog* log)
{
    if (Dc* dc = LookupDc(hdc)) {
        dc->log = log;
    }
}

CallLog* WindowCallLog(HWND hwnd)
{
    const auto found = WindowLogs().find(hwnd);
    return found == WindowLogs().end() ? nullptr : found->second;
}
}

using gdi::Dc;
using gdi::LookupDc;

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<Dc>();
    dc->kind = gdi::DcKind::Memory;
    HDC handle = gdi::Add(std::move(dc));
    // A new memory DC holds the stock 1 x 1 monochrome bitmap, as in GDI.
    static HBITMAP stockBitmap = [] {
        HBITMAP bitmap = gdi::NewBitmap(1, 1, 1);
        gdi::AsBitmap(bitmap)->stock = true;
        return bitmap;
    }();
    Dc* created = LookupDc(handle);
    created->bitmap = stockBitmap;
    gdi::Select(stockBitmap);
    created->extent = SIZE{1, 1};
    return handle;
}

BOOL DeleteDC(HDC hdc)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->kind == gdi::DcKind::Window || dc->kind == gdi::DcKind::Client) {
        return FALSE;
    }
    gdi::FreeDc(hdc);
    return TRUE;
}

HDC GetDC(HWND hwnd)
{
    if (!hwnd) {
        auto dc = std::make_unique<Dc>();
        dc->kind = gdi::DcKind::Screen;
        HDC handle = gdi::Add(std::move(dc));
        gdi::DcSurface(*LookupDc(handle));
        return handle;
    }
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return gdi::NewWindowDc(hwnd, true);
}

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR, const DEVMODEW*)
{
    auto isDisplay = [](LPCWSTR name) {
        if (!name) {
            return false;
        }
        std::u16string_view text(name);
        return text.size() == 7 && std::equal(text.begin(), text.end(), u"DISPLAY", [](char16_t a, char16_t b) {
                   return (a >= u'a' && a <= u'z' ? static_cast<char16_t>(a - u'a' + u'A') : a) == b;
               });
    };
    if (isDisplay(driver) || (!driver && isDisplay(device))) {
        return GetDC(nullptr);
    }
    if (!driver || !*driver || !device || !*device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->kind = gdi::DcKind::Printer;
    dc->device = device;
    dc->sheet = SIZE{gdi::kPrinterDpi * 17 / 2, gdi::kPrinterDpi * 11};
    const RECT printable = gdi::PrintableArea(dc->sheet, gdi::kPrinterDpi);
    dc->origin = POINT{printable.left, printable.top};
    dc->extent = SIZE{printable.right - printable.left, printable.bottom - printable.top};
    return gdi::Add(std::move(dc));
}

namespace gdi {
HDC CreatePageDc(HBITMAP page, int dpi)
{
    Bitmap* bitmap = AsBitmap(page);
    if (!bitmap || dpi <= 0) {
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->kind = DcKind::Printer;
    dc->device = u"page";
    dc->bitmap = page;
    dc->dpi = dpi;
    dc->extent = SIZE{bitmap->width, bitmap->height};
    dc->sheet = dc->extent;
    return Add(std::move(dc));
}

HDC CreateVectorPageDc(cairo_surface_t* surface, int dpi, SIZE sheet, RECT printable)
{
    if (!surface || dpi <= 0) {
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->kind = DcKind::Printer;
    dc->device = u"page";
    dc->vector = surface;
    dc->dpi = dpi;
    dc->sheet = sheet;
    dc->origin = POINT{printable.left, printable.top};
    dc->extent = SIZE{printable.right - printable.left, printable.bottom - printable.top};
    return Add(std::move(dc));
}

RECT PrintableArea(SIZE sheet, int dpi)
{
    // A quarter inch (6.35 mm) on every side, as laser printers commonly keep on Letter and A4.
    const int margin = dpi / 4;
    return RECT{margin, margin, std::max(margin, sheet.cx - margin), std::max(margin, sheet.cy - margin)};
}
} // namespace gdi

HDC GetWindowDC(HWND hwnd)
{
    if (!hwnd) {
        return GetDC(nullptr);
    }
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return gdi::NewWindowDc(hwnd, false);
}

int ReleaseDC(HWND, HDC hdc)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->kind == gdi::DcKind::Memory || dc->kind == gdi::DcKind::Printer) {
        return 0;
    }
    gdi::FreeDc(hdc);
    return 1;
}

HWND WindowFromDC(HDC hdc)
{
    Dc* dc = LookupDc(hdc);
    return dc ? dc->hwnd : nullptr;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle)
{
    Dc* dc = LookupDc(hdc);
    gdi::Object* object = gdi::Lookup(handle);
    if (!dc || !object) {
        return nullptr;
    }
    auto swap = [&](auto& slot) -> HGDIOBJ {
        using Slot = std::remove_reference_t<decltype(slot)>;
        HGDIOBJ previous = slot;
        slot = static_cast<Slot>(handle);
        ++object->selections;
        gdi::ReleaseSelection(previous);
        return previous;
    };
    switch (object->type) {
    case OBJ_PEN:
        gdi::LogCall(hdc, "SelectObject(pen)");
        return swap(dc->state.pen);
    case OBJ_BRUSH:
        gdi::LogCall(hdc, "SelectObject(brush)");
        return swap(dc->state.brush);
    case OBJ_FONT:
        gdi::LogCall(hdc, "SelectObject(font)");
        return swap(dc->state.font);
    case OBJ_BITMAP: {
        auto* bitmap = static_cast<gdi::Bitmap*>(object);
        if (dc->kind != gdi::DcKind::Memory ||
            (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != hdc)) {
            return nullptr;
        }
        HGDIOBJ previous = dc->bitmap;
        if (gdi::Bitmap* old = gdi::AsBitmap(previous)) {
            old->selectedInto = nullptr;
        }
        dc->bitmap = static_cast<HBITMAP>(handle);
        if (!bitmap->stock) {
            bitmap->selectedInto = hdc;
        }
        ++bitmap->selections;
        dc->extent = SIZE{bitmap->width, bitmap->height};
        gdi::ReleaseSelection(previous);
        gdi::LogCall(hdc, "SelectObject(bitmap)");
        return gdi::Lookup(previous) ? previous : nullptr;
    }
    case OBJ_REGION: {
        const int result = SelectClipRgn(hdc, static_cast<HRGN>(handle));
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(result));
    }
    default:
        return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return nullptr;
    }
    switch (type) {
    case OBJ_PEN:
        return dc->state.pen;
    case OBJ_BRUSH:
        return dc->state.brush;
    case OBJ_FONT:
        return dc->state.font;
    case OBJ_BITMAP:
        return dc->bitmap;
    default:
        return nullptr;
    }
}

COLORREF SetDCBrushColor(HDC hdc, COLORREF color)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return CLR_INVALID;
    }
    return std::exchange(dc->state.dcBrushColor, color & 0xFFFFFF);
}

COLORREF SetDCPenColor(HDC hdc, COLORREF color)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return CLR_INVALID;
    }
    return std::exchange(dc->state.dcPenColor, color & 0xFFFFFF);
}

int SaveDC(HDC hdc)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return 0;
    }
    dc->saved.push_back(dc->state);
    gdi::HoldState(dc->state);
    gdi::LogCall(hdc, "SaveDC()");
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    const int depth = static_cast<int>(dc->saved.size());
    const int target = saved < 0 ? depth + saved + 1 : saved;
    if (target < 1 || target > depth) {
        return FALSE;
    }
    gdi::ReleaseState(dc->state);
    dc->state = dc->saved[static_cast<std::size_t>(target - 1)];
    for (int i = target; i < depth; ++i) {
        gdi::ReleaseState(dc->saved[static_cast<std::size_t>(i)]);
    }
    dc->saved.resize(static_cast<std::size_t>(target - 1));
    gdi::LogCall(hdc, "RestoreDC(" + gdi::LogNumber(saved) + ")");
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return 0;
    }
    // Printers answer for a page at their own resolution, displays for the primary monitor.
    const bool printer = dc->kind == gdi::DcKind::Printer;
    const SIZE pixels = printer ? dc->extent : SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int dpi = dc->dpi ? dc->dpi : printer ? gdi::kPrinterDpi : gdi::ScreenDpi();
    switch (index) {
    case TECHNOLOGY:
        return printer ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZRES:
        return pixels.cx;
    case VERTRES:
        return pixels.cy;
    case PHYSICALWIDTH:
        return printer ? std::max(dc->sheet.cx, pixels.cx) : 0;
    case PHYSICALHEIGHT:
        return printer ? std::max(dc->sheet.cy, pixels.cy) : 0;
    case PHYSICALOFFSETX:
        return printer ? dc->origin.x : 0;
    case PHYSICALOFFSETY:
        return printer ? dc->origin.y : 0;
    case HORZSIZE:
        return MulDiv(pixels.cx, 254, dpi * 10);
    case VERTSIZE:
        return MulDiv(pixels.cy, 254, dpi * 10);
    case BITSPIXEL: {
        if (printer) {
            return 24;
        }
        if (dc->kind == gdi::DcKind::Memory) {
            gdi::Bitmap* bitmap = gdi::AsBitmap(dc->bitmap);
            return bitmap ? bitmap->bitsPixel : 32;
        }
        return 32;
    }
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return dpi;
    case SHADEBLENDCAPS:
        return gdi::ShadeBlendCaps();
    default:
        return 0;
    }
}

#define DC_SETTER(Name, Field, Type, Invalid)           \
    Type Set##Name(HDC hdc, Type value)                 \
    {                                                   \
        Dc* dc = LookupDc(hdc);                         \
        if (!dc) {                                      \
            return Invalid;                             \
        }                                               \
        return std::exchange(dc->state.Field, value);   \
    }                                                   \
    Type Get##Name(HDC hdc)                             \
    {                                                   \
        Dc* dc = LookupDc(hdc);                         \
        return dc ? dc->state.Field : Invalid;          \
    }

DC_SETTER(TextColor, textColor, COLORREF, CLR_INVALID)
DC_SETTER(BkColor, bkColor, COLORREF, CLR_INVALID)
DC_SETTER(BkMode, bkMode, int, 0)
DC_SETTER(ROP2, rop2, int, 0)
DC_SETTER(TextAlign, textAlign, UINT, GDI_ERROR)
DC_SETTER(MapMode, mapMode, int, 0)
#undef DC_SETTER

int SetPolyFillMode(HDC hdc, int mode)
{
    Dc* dc = LookupDc(hdc);
    return dc ? std::exchange(dc->state.polyFillMode, mode) : 0;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    Dc* dc = LookupDc(hdc);
    return dc ? std::exchange(dc->state.stretchMode, mode) : 0;
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, LPPOINT previous)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    if (previous) {
        *previous = dc->state.brushOrg;
    }
    dc->state.brushOrg = POINT{x, y};
    return TRUE;
}

namespace {
template <class T>
BOOL SetPair(HDC hdc, T gdi::DcState::*field, T value, T* previous, const char* name)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    if (previous) {
        *previous = dc->state.*field;
    }
    dc->state.*field = value;
    if constexpr (std::is_same_v<T, POINT>) {
        gdi::LogCall(hdc, std::string(name) + "(" + gdi::LogArgs({value.x, value.y}) + ")");
    } else {
        gdi::LogCall(hdc, std::string(name) + "(" + gdi::LogArgs({value.cx, value.cy}) + ")");
    }
    return TRUE;
}

template <class T>
BOOL GetPair(HDC hdc, T gdi::DcState::*field, T* out)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || !out) {
        return FALSE;
    }
    *out = dc->state.*field;
    return TRUE;
}
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous)
{
    return SetPair<POINT>(hdc, &gdi::DcState::viewportOrg, POINT{x, y}, previous, "SetViewportOrgEx");
}
BOOL GetViewportOrgEx(HDC hdc, LPPOINT point) { return GetPair(hdc, &gdi::DcState::viewportOrg, point); }
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT previous)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    const POINT org = dc->state.viewportOrg;
    return SetViewportOrgEx(hdc, org.x + dx, org.y + dy, previous);
}
BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous)
{
    return SetPair<POINT>(hdc, &gdi::DcState::windowOrg, POINT{x, y}, previous, "SetWindowOrgEx");
}
BOOL GetWindowOrgEx(HDC hdc, LPPOINT point) { return GetPair(hdc, &gdi::DcState::windowOrg, point); }
BOOL SetViewportExtEx(HDC hdc, int x, int y, LPSIZE previous)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->state.mapMode == MM_TEXT) {
        if (dc && previous) {
            *previous = dc->state.viewportExt;
        }
        return dc != nullptr;
    }
    return SetPair<SIZE>(hdc, &gdi::DcState::viewportExt, SIZE{x, y}, previous, "SetViewportExtEx");
}
BOOL GetViewportExtEx(HDC hdc, LPSIZE size) { return GetPair(hdc, &gdi::DcState::viewportExt, size); }
BOOL SetWindowExtEx(HDC hdc, int x, int y, LPSIZE previous)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->state.mapMode == MM_TEXT) {
        if (dc && previous) {
            *previous = dc->state.windowExt;
        }
        return dc != nullptr;
    }
    return SetPair<SIZE>(hdc, &gdi::DcState::windowExt, SIZE{x, y}, previous, "SetWindowExtEx");
}
BOOL GetWindowExtEx(HDC hdc, LPSIZE size) { return GetPair(hdc, &gdi::DcState::windowExt, size); }

BOOL LPtoDP(HDC hdc, LPPOINT points, int count)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || !points) {
        return FALSE;
    }
    for (int i = 0; i < count; ++i) {
        points[i] = gdi::ToDevice(*dc, points[i]);
    }
    return TRUE;
}

BOOL DPtoLP(HDC hdc, LPPOINT points, int count)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || !points) {
        return FALSE;
    }
    const gdi::DcState& s = dc->state;
    for (int i = 0; i < count; ++i) {
        points[i] = POINT{
            gdi::UnmapAxis(points[i].x, s.windowOrg.x, s.windowExt.cx, s.viewportOrg.x, s.viewportExt.cx, s.mapMode),
            gdi::UnmapAxis(points[i].y, s.windowOrg.y, s.windowExt.cy, s.viewportOrg.y, s.viewportExt.cy, s.mapMode)};
    }
    return TRUE;
}

// Clipping.
int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN handle, int mode)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return ERROR;
    }
    gdi::Region* region = gdi::AsRegion(handle);
    if (handle && !region) {
        return ERROR;
    }
    gdi::LogCall(hdc, "ExtSelectClipRgn(" + gdi::LogNumber(mode) + ")");
    // Clip regions are given in device units already, as in GDI.
    return gdi::CombineClip(*dc, region ? &region->data : nullptr, mode);
}

namespace {
gdi::RegionData DeviceRect(const Dc& dc, int left, int top, int right, int bottom)
{
    const POINT a = gdi::ToDevice(dc, POINT{left, top});
    const POINT b = gdi::ToDevice(dc, POINT{right, bottom});
    return gdi::RegionData(RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
}
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return ERROR;
    }
    gdi::LogCall(hdc, "IntersectClipRect(" + gdi::LogArgs({left, top, right, bottom}) + ")");
    const gdi::RegionData rect = DeviceRect(*dc, left, top, right, bottom);
    return gdi::CombineClip(*dc, &rect, RGN_AND);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = LookupDc(hdc);
    if (!dc) {
        return ERROR;
    }
    gdi::LogCall(hdc, "ExcludeClipRect(" + gdi::LogArgs({left, top, right, bottom}) + ")");
    const gdi::RegionData rect = DeviceRect(*dc, left, top, right, bottom);
    return gdi::CombineClip(*dc, &rect, RGN_DIFF);
}

int GetClipBox(HDC hdc, LPRECT rect)
{
    Dc* dc = LookupDc(hdc);
    if (!dc || !rect) {
        return ERROR;
    }
    gdi::DcSurface(*dc);
    const gdi::RegionData clip = gdi::EffectiveClip(*dc);
    const RECT box = clip.box();
    POINT corners[2] = {{box.left, box.top}, {box.right, box.bottom}};
    DPtoLP(hdc, corners, 2);
    *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return clip.complexity();
}

int GetClipRgn(HDC hdc, HRGN handle)
{
    Dc* dc = LookupDc(hdc);
    gdi::Region* region = gdi::AsRegion(handle);
    if (!dc || !region) {
        return -1;
    }
    if (!dc->state.clip) {
        return 0;
    }
    region->data = *dc->state.clip;
    return 1;
}
