// Device contexts. A DC draws on a cairo image surface: a window's own surface (window and client DCs), a
// bitmap (memory DCs) or the screen's. Coordinates go through the DC's mapping into device pixels; the clip is the
// DC's bounds, the paint region (BeginPaint) and the selected clip region, all in device pixels.
#pragma once

#include "platform/gdi/objects.h"

#include <functional>
#include <string>
#include <vector>

namespace gdi {

// Printer DCs have no surface: what is drawn on them is not kept.
enum class DcKind { Window, Client, Memory, Screen, Printer };

// Records the drawing calls made on a DC, one line each, e.g. "LineTo(10,20)".
struct CallLog {
    std::vector<std::string> lines;
    void clear() { lines.clear(); }
    // Lines that start with the given call name.
    std::vector<std::string> calls(const std::string& name) const;
};

struct DcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = TA_LEFT | TA_TOP;
    int mapMode = MM_TEXT;
    POINT viewportOrg{};
    POINT windowOrg{};
    SIZE viewportExt{1, 1};
    SIZE windowExt{1, 1};
    POINT current{};
    POINT brushOrg{};
    int polyFillMode = ALTERNATE;
    int stretchMode = BLACKONWHITE;
    COLORREF dcBrushColor = RGB(255, 255, 255);
    COLORREF dcPenColor = RGB(0, 0, 0);
    std::shared_ptr<RegionData> clip; // device pixels; none means unclipped
};

struct Dc {
    DcKind kind = DcKind::Memory;
    HWND hwnd = nullptr;
    HBITMAP bitmap = nullptr;          // memory DCs
    cairo_surface_t* vector = nullptr; // printer pages drawn as vectors (not owned)
    SIZE sheet{};                      // printer pages: the whole sheet in device pixels
    std::u16string device;             // printer DCs
    int dpi = 0;                       // 0: the device's own resolution (the screen's, or the printer's)
    POINT origin{};                    // device (0, 0) within the surface
    SIZE extent{};                     // device size (client or window size)
    std::shared_ptr<RegionData> paint; // BeginPaint's region, device pixels
    DcState state;
    std::vector<DcState> saved;
    CallLog* log = nullptr;
};

Dc* LookupDc(HDC hdc);
// The surface a DC draws on (null when its window is gone); flushes pending cairo work.
cairo_surface_t* DcSurface(Dc& dc);

// Makes a DC for a window; used by GetDC, GetWindowDC and BeginPaint.
HDC NewWindowDc(HWND hwnd, bool client);
void FreeDc(HDC hdc);

// Device-pixel clip of a DC: its extent, paint region and clip region.
RegionData EffectiveClip(const Dc& dc);
POINT ToDevice(const Dc& dc, POINT logical);
int ScaleX(const Dc& dc, int logicalLength);
int ScaleY(const Dc& dc, int logicalLength);

// Printer DCs print at this resolution.
inline constexpr int kPrinterDpi = 600;

// Screen resolution in dots per inch (96 unless a test sets another).
void SetScreenDpi(int dpi);
int ScreenDpi();

// What GetDeviceCaps(SHADEBLENDCAPS) answers for every DC: SB_CONST_ALPHA | SB_PIXEL_ALPHA unless a test sets
// another value, so that drawing code can be run down its path for devices without alpha blending.
void SetShadeBlendCaps(int caps);
// The next `count` TransparentBlt calls fail with `error` as the last error (tests of the callers' failure paths).
void FailTransparentBlt(int count, DWORD error);
DWORD TakeTransparentBltFailure();
int ShadeBlendCaps();

// Logs every drawing call of DCs made for this window (null stops it), or of one DC.
void LogWindowCalls(HWND hwnd, CallLog* log);
void LogDcCalls(HDC hdc, CallLog* log);
CallLog* WindowCallLog(HWND hwnd);

// A printer DC that draws on a page bitmap (kept by the caller) at `dpi`: the print service's page.
HDC CreatePageDc(HBITMAP page, int dpi);
// A printer DC that draws on a vector surface (kept by the caller) whose units are device pixels at `dpi`. Like a
// real printer's, its device origin is the corner of the printable area within the sheet, and it answers the
// printable area for HORZRES and VERTRES, the sheet for PHYSICALWIDTH and PHYSICALHEIGHT and the area's offset for
// PHYSICALOFFSETX and PHYSICALOFFSETY. Pixel operations (blits, inversions) are placed on it as images.
HDC CreateVectorPageDc(cairo_surface_t* surface, int dpi, SIZE sheet, RECT printable);
// The printable area of a printer's sheet: the sheet less the margin that its mechanism cannot reach, about 6 mm.
RECT PrintableArea(SIZE sheet, int dpi);

// Number of live device contexts (tests check that windows release theirs).
int LiveDcCount();

// Text formatting for call logs, independent of the locale.
std::string LogNumber(long long value);
std::string LogText(LPCWSTR text, int count);
}
