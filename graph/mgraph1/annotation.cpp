#include "graph/mgraph1/annotation.h"

#include "graph/mgraph1/pixelmath.h"

#include <cmath>

namespace MGraph1 {
BasicAnnotation::~BasicAnnotation()
{
    if (ownsSource) {
        delete source;
    }
}

void BasicAnnotation::SetSource(PlotDataBase* newSource, int series, bool owns)
{
    if (ownsSource && source != newSource) {
        delete source;
    }
    source = newSource;
    sourceSeries = series;
    ownsSource = owns && newSource;
}

bool BasicAnnotation::TrackAt(int a, int b, int c, int d) { return QueryAt(sourceSeries, a, b, c, d); }

bool BasicAnnotation::QueryAt(int, int, int, int, int) { return false; }

bool BasicAnnotation::OnMouseMove(int px, int py, POINT origin, int)
{
    if (!GetTransform(kHorizontal) || !GetTransform(kVertical)) {
        return false;
    }
    x = ToDataX(static_cast<double>(px) - origin.x);
    y = ToDataY(static_cast<double>(py) - origin.y);
    Hint hint;
    hint.mouse = POINT{px, py};
    hint.relative = POINT{px - origin.x, py - origin.y};
    hint.dataX = x;
    hint.dataY = y;
    UpdateFromHint(hint);
    return valid;
}

void BasicAnnotation::SetPosition(double newX, double newY)
{
    valid = false;
    x = newX;
    y = newY;
    // Either test of x against the domain lets it pass, so every number is taken.
    valid = x >= ranges[kHorizontal].min || x <= ranges[kHorizontal].max;
    Hint hint;
    hint.dataX = x;
    hint.dataY = y;
    // The hint's pixels, relative to the plot's top-left corner, where the point lies.
    const RECT origin{0, 0, 0, 0};
    const double rx = ToPixelX(x, origin);
    const double ry = ToPixelY(y, origin);
    if (IsFinite(rx) && IsFinite(ry)) {
        hint.relative = POINT{SaturateTrunc(rx), SaturateTrunc(ry)};
        hint.mouse = hint.relative;
    }
    UpdateFromHint(hint);
}

void BasicAnnotation::UpdateFromHint(Hint& hint)
{
    valid = false;
    visible = false;
    if (source && source->GetHint(sourceSeries, &hint) && !std::isnan(hint.x) && !std::isnan(hint.y)) {
        text = hint.text;
        x = hint.x;
        y = hint.y;
        visible = hint.valid;
        valid = true;
    }
}

bool BasicAnnotation::GetText(KVO::String* out) const
{
    if (out) {
        *out = text;
    }
    return valid;
}

void BasicAnnotation::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    if (!valid || !visible || !enabled || !GetTransform(kHorizontal) || !GetTransform(kVertical)) {
        return;
    }
    const double pxd = ToPixelX(x, plot);
    const double pyd = ToPixelY(y, plot);
    if (!IsFinite(pxd) || !IsFinite(pyd)) {
        return;
    }
    const int px = SaturateTrunc(pxd);
    const int py = SaturateTrunc(pyd);
    if (px < plot.left || px >= plot.right) {
        return;
    }
    const int previousRop = SetROP2(dc, rasterOperation);
    if (markStyle == kCross) {
        if (rasterOperation == R2_NOT && drawn) {
            DrawCross(dc, plot, lastDrawn.x, lastDrawn.y); // inverting again erases it
        }
        DrawCross(dc, plot, px, py);
        lastDrawn = POINT{px, py};
        drawn = true;
    }
    SetROP2(dc, previousRop);
}

void BasicAnnotation::DrawCross(HDC dc, const RECT& plot, int px, int py) const
{
    const int h = crossHalfSize;
    if (py >= plot.top && py < plot.bottom) {
        DrawLine(dc, px, py - h, px, py + h + 1);
        DrawLine(dc, px - h, py, px + h + 1, py);
    } else if (py >= plot.bottom) {
        const POINT head[] = {{px - h, plot.bottom - 2 - h}, {px, plot.bottom - 2}, {px + h + 1, plot.bottom - 3 - h}};
        Polyline(dc, head, 3);
    } else {
        const POINT head[] = {{px - h, plot.top + h}, {px, plot.top}, {px + h + 1, plot.top + 1 + h}};
        Polyline(dc, head, 3);
    }
}

} // namespace MGraph1
