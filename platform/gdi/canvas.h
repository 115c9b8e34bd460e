// What the drawing calls share: a DC's surface with its clip, opened for one call.
#pragma once

#include "platform/gdi/dc.h"

#include <functional>
#include <string>

namespace gdi {

struct Canvas {
    HDC hdc = nullptr;
    Dc* dc = nullptr;
    cairo_surface_t* surface = nullptr;
    RegionData clip; // device pixels
};

// False when the DC is unknown, its window is gone or nothing is visible.
bool OpenCanvas(HDC hdc, Canvas& canvas);
// A cairo context in device pixels, clipped unless asked not to be, not anti-aliased. Finish marks the surface
// changed.
cairo_t* NewContext(const Canvas& canvas, bool clipped = true);
void Finish(const Canvas& canvas, cairo_t* cr);

// Direct pixel access (device coordinates; the DC's origin is applied).
void FillDevice(const Canvas& canvas, RECT device, COLORREF color);
void ForEachPixel(const Canvas& canvas, RECT device, const std::function<std::uint32_t(int, int, std::uint32_t)>& f);

COLORREF PenColor(const Dc& dc, const Pen& pen);
COLORREF BrushColor(const Dc& dc, const Brush& brush);
// Sets a cairo source for a brush (solid or hatched); false for a hollow brush.
bool SetBrushSource(cairo_t* cr, const Dc& dc, const Brush& brush);

// Fills the shape that `path` builds (device coordinates) with `color`, mixed by the DC's ROP2 mode; unclipped only
// when the shape is known to lie inside the clip.
void PaintShape(const Canvas& canvas, COLORREF color, const std::function<void(cairo_t*)>& path, bool clipped,
                const Brush* brush = nullptr);

void LogCall(HDC hdc, const std::string& line);
std::string LogArgs(std::initializer_list<long long> values);
RECT ToDeviceRect(const Dc& dc, const RECT& logical);
}
