#include "graph/mgraph1/xycplotter.h"

#include "graph/mgraph1/pixelmath.h"

#include "foundation/dialogfont.h"

#include <algorithm>
#include <array>

namespace MGraph1 {
namespace {
// Each plotter class counts its draws, so that a point repeating an earlier one of the same draw is found.
std::int32_t& PassCounter(bool chunked)
{
    static std::int32_t plain = 0;
    static std::int32_t chunkedPasses = 0;
    return chunked ? chunkedPasses : plain;
}

constexpr std::uint32_t kShapeBits[] = {kXYFilledTriangleUp, kXYFilledSquare, kXYFilledDiamond, kXYFilledTriangleDown,
                                        kXYTriangleUp,       kXYSquare,       kXYDiamond,       kXYTriangleDown};

void FillPolygon(HDC dc, const POINT* points, int count, COLORREF colour)
{
    HRGN region = CreatePolygonRgn(points, count, ALTERNATE);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRgn(dc, region, brush);
    DeleteObject(brush);
    DeleteObject(region);
}

// An outlined square with the given half sizes, drawn with the current pen.
void OutlinedSquare(HDC dc, int x, int y, int halfWidth, int halfHeight)
{
    const POINT square[] = {{x - halfWidth, y + halfHeight}, {x + halfWidth, y + halfHeight},
                            {x + halfWidth, y - halfHeight}, {x - halfWidth, y - halfHeight},
                            {x - halfWidth, y + halfHeight}};
    Polyline(dc, square, 5);
}
}

void XYCPlotterBase::CopyRanges(bool domain, bool vertical)
{
    XYCPlotDataBase* xy = HitData();
    if (!xy) {
        return;
    }
    for (const Axis axis : {kHorizontal, kVertical}) {
        if ((axis == kHorizontal ? domain : vertical) && ranges[axis].min < ranges[axis].max &&
            xy->ranges[axis] != ranges[axis]) {
            xy->ranges[axis] = ranges[axis];
            xy->SetChanged(true);
        }
    }
}

void XYCPlotterBase::OnDomainChanged() { CopyRanges(true, false); }
void XYCPlotterBase::OnVerticalRangeChanged() { CopyRanges(false, true); }
void XYCPlotterBase::SyncRanges() { CopyRanges(true, true); }

bool XYCPlotterBase::IsDataMissingOrChanged()
{
    XYCPlotDataBase* xy = HitData();
    return !xy || xy->redrawNeeded;
}

bool XYCPlotterBase::NeedsRedraw()
{
    XYCPlotDataBase* xy = HitData();
    return needsRedraw || (xy && (xy->redrawNeeded || xy->seriesPending));
}

void XYCPlotterBase::DrawMarker(HDC dc, std::uint32_t style, int x, int y, SIZE half, COLORREF colour,
                                float lineWidth)
{
    const int w = half.cx;
    const int h = half.cy;
    const int a = SaturateTrunc(w * 2.5);
    const int b = SaturateTrunc(h * 2.5);
    const auto* shape = std::find_if(std::begin(kShapeBits), std::end(kShapeBits),
                                     [style](std::uint32_t bit) { return (style & bit) != 0; });
    const std::uint32_t bit = shape == std::end(kShapeBits) ? 0 : *shape;
    switch (bit) {
    case kXYFilledTriangleUp: {
        const POINT p[] = {{x, y - b}, {x - a, y + b}, {x + a, y + b}};
        FillPolygon(dc, p, 3, colour);
        break;
    }
    case kXYFilledSquare: {
        HRGN region = CreateRectRgn(x - a, y + b, x + a, y - b);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRgn(dc, region, brush);
        DeleteObject(brush);
        DeleteObject(region);
        break;
    }
    case kXYFilledDiamond: {
        const POINT p[] = {{x - a, y}, {x, y + b}, {x + a, y}, {x, y - b}};
        FillPolygon(dc, p, 4, colour);
        break;
    }
    case kXYFilledTriangleDown: {
        const POINT p[] = {{x, y + b}, {x - a, y - b}, {x + a, y - b}};
        FillPolygon(dc, p, 3, colour);
        break;
    }
    case kXYTriangleUp: {
        const POINT p[] = {{x, y - 2 * h}, {x - 2 * w, y + 2 * h}, {x + 2 * w, y + 2 * h}, {x, y - 2 * h}};
        Polyline(dc, p, 4);
        break;
    }
    case kXYSquare:
        OutlinedSquare(dc, x, y, 2 * w, 2 * h);
        break;
    case kXYDiamond: {
        const POINT p[] = {{x - a, y}, {x, y + b}, {x + a, y}, {x, y - b}, {x - a, y}};
        Polyline(dc, p, 5);
        break;
    }
    case kXYTriangleDown: {
        const POINT p[] = {{x, y + 2 * h}, {x - 2 * w, y - 2 * h}, {x + 2 * w, y - 2 * h}, {x, y + 2 * h}};
        Polyline(dc, p, 4);
        break;
    }
    default: {
        const int k = SaturateTrunc(2.0 - lineWidth);
        DrawLine(dc, x - w, y + h, x + w + k, y - h - k);
        DrawLine(dc, x - w, y - h, x + w + k, y + h + k);
        break;
    }
    }
}

XYCPlotterBase::PointPainter::PointPainter(HDC dc, const XYCPlotterBase& plotter, const DrawParams& params,
                                           std::int32_t pass)
    : dc_(dc), plotter_(plotter), params_(params), pass_(pass),
      pen_(dc, plotter.penStyle, plotter.PenWidth(), 0)
{
}

void XYCPlotterBase::PointPainter::Segment(double px, double py, bool outside, COLORREF colour)
{
    pen_.Use(colour);
    if (!prevOutside_ && !outside) {
        DrawLine(dc_, SaturateTrunc(prevX_), SaturateTrunc(prevY_), SaturateTrunc(px), SaturateTrunc(py));
        return;
    }
    POINT from{};
    POINT to{};
    if (ClipForPlot(params_.plot, prevX_, prevY_, px, py, from, to)) {
        DrawLine(dc_, from, to);
    }
}

void XYCPlotterBase::PointPainter::Paint(const float* x, const float* y, const COLORREF* colours, int count,
                                         std::int32_t firstIndex)
{
    const RECT& r = params_.plot;
    for (int i = 0; i < count; ++i) {
        const COLORREF colour = colours ? colours[i] : params_.colour;
        const double px = plotter_.ToPixelX(x[i], r);
        const double py = plotter_.ToPixelY(y[i], r);
        if (!IsFinite(px)) {
            // A point without a place along the x axis is left out, and the line breaks there as at a NaN y.
            prevJoinable_ = false;
            continue;
        }
        const bool yFinite = IsFinite(py);
        // A y that is not a number compares as inside: with markers it is shown as a tick on the top edge.
        const bool outside = px < r.left || px >= r.right || py < r.top || py >= r.bottom - 1;
        bool repeat = false;
        if (!outside && yFinite && params_.hitMap && !(params_.style & kXYNoHits)) {
            const int hx = SaturateTrunc(px - r.left);
            const int hy = SaturateTrunc(py - r.top);
            HitRecord found;
            const std::int32_t index = params_.indexBase + firstIndex + i;
            if (params_.hitMap->GetHit(hx, hy, &found)) {
                repeat = found.colour == colour && found.pass == pass_;
                params_.hitMap->SetHit(hx, hy, x[i], y[i], index, colour, pass_);
            } else {
                params_.hitMap->InsertHit(hx, hy, HitRecord{-1, x[i], y[i], index, pass_, colour});
            }
        }
        if (params_.lines && prevJoinable_ && yFinite) {
            Segment(px, py, outside, colour);
        }
        if (!outside && !repeat) {
            pen_.Use(colour);
            if (!params_.markers) {
                if (yFinite) {
                    SetPixel(dc_, SaturateTrunc(px), SaturateTrunc(py), colour);
                }
            } else if (!yFinite) {
                const int w = params_.markerHalf.cx;
                DrawLine(dc_, SaturateTrunc(px - w), r.top, SaturateTrunc(px + w + 1.0), r.top);
            } else {
                DrawMarker(dc_, params_.style, SaturateTrunc(px), SaturateTrunc(py), params_.markerHalf, colour,
                           plotter_.lineWidth);
            }
        }
        prevX_ = px;
        prevY_ = py;
        prevOutside_ = outside;
        prevJoinable_ = yFinite;
    }
}

void XYCPlotterBase::PointPainter::Finish(XYCPlotDataBase& data)
{
    if (params_.style & kXYLegend) {
        DrawLegend(data);
    }
    DrawHighlight(data);
}

void XYCPlotterBase::PointPainter::DrawLegend(XYCPlotDataBase& data)
{
    HFONT font = nullptr;
    KVO::CreateDialogFontPt(dc_, &font, 9, 0);
    const SelectScope fontScope(dc_, font, true);
    const int previousMode = SetBkMode(dc_, TRANSPARENT);
    const UINT previousAlign = SetTextAlign(dc_, TA_LEFT | TA_TOP);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    const int rowHeight = SaturateTrunc(1.5 * metrics.tmHeight);
    const int sampleLength = 15 * metrics.tmAveCharWidth;
    const int left = params_.plot.left + 1;
    const KVO::String name = data.GetSeriesName();
    int row = data.legendRow + 1;
    for (const std::uint32_t bit : kShapeBits) {
        if (!(params_.style & bit)) {
            continue;
        }
        const int lineY = params_.plot.top + row * rowHeight;
        pen_.Use(params_.colour);
        DrawLine(dc_, left, lineY, left + sampleLength, lineY);
        DrawMarker(dc_, bit, left + sampleLength / 2, lineY, params_.markerHalf, params_.colour, plotter_.lineWidth);
        // The name stands beside the line, but never above the plot.
        const int textTop = std::max<int>(params_.plot.top, lineY - metrics.tmHeight / 2);
        TextOutW(dc_, left + sampleLength + metrics.tmAveCharWidth, textTop, name.c_str(), name.Length());
        ++row;
    }
    SetTextAlign(dc_, previousAlign);
    SetBkMode(dc_, previousMode);
}

void XYCPlotterBase::PointPainter::DrawHighlight(XYCPlotDataBase& data)
{
    if (!data.HasHighlight()) {
        return;
    }
    const RECT& r = params_.plot;
    const double cx = plotter_.ToPixelX(data.highlightX, r);
    const double cy = plotter_.ToPixelY(data.highlightY, r);
    if (!IsFinite(cx) || !IsFinite(cy)) {
        return;
    }
    const int x = SaturateTrunc(cx);
    const int y = SaturateTrunc(cy);
    if (!(x > r.left + 1 && x < r.right - 1 && y > r.top + 1 && y < r.bottom - 1)) {
        return;
    }
    const long long factor = data.highlightFactor;
    const int halfWidth = static_cast<int>(std::min<long long>(factor * params_.markerHalf.cx * 4, r.right - x - 1));
    const int halfHeight = static_cast<int>(std::min<long long>(factor * params_.markerHalf.cy * 4, r.bottom - y - 1));
    if (halfWidth < 2 || halfHeight < 2) {
        return;
    }
    const SelectScope pen(dc_, CreatePen(plotter_.penStyle, plotter_.PenWidth(), data.highlightColour), true);
    OutlinedSquare(dc_, x, y, halfWidth, halfHeight);
}

void XYCPlotter::DrawSeries(HDC dc, const DrawParams& params, const XYCPlotData::Series& s)
{
    const std::int32_t pass = ++PassCounter(false);
    if (params.count <= 0 || !s.x || !s.y) {
        return;
    }
    PointPainter painter(dc, *this, params, pass);
    painter.Paint(s.x, s.y, params.colourStride ? s.colours : nullptr, params.count, 0);
    painter.Finish(*GetXYData());
}

void XYCPlotter2::DrawSeries(HDC dc, const DrawParams& params, const XYCPlotData2::Series& s)
{
    const std::int32_t pass = ++PassCounter(true);
    if (params.count <= 0 || !s.x || !s.y) {
        return;
    }
    xBuffer_.resize(kChunk);
    yBuffer_.resize(kChunk);
    colourBuffer_.resize(kChunk);
    const bool perPoint = params.colourStride > 0 && s.colours;
    PointPainter painter(dc, *this, params, pass);
    for (int done = 0; done < params.count;) {
        const int want = std::min(kChunk, params.count - done);
        int n = std::min(s.x->Read(xBuffer_.data(), want), s.y->Read(yBuffer_.data(), want));
        if (perPoint) {
            n = std::min(n, s.colours->Read(colourBuffer_.data(), want));
        }
        if (n <= 0) {
            break; // a source that runs dry ends the series
        }
        painter.Paint(xBuffer_.data(), yBuffer_.data(), perPoint ? colourBuffer_.data() : nullptr, n, done);
        done += n;
    }
    painter.Finish(*GetXYData());
}

namespace {
XYCPlotter2 sharedPlotter2;
}

XYCPlotter2& SharedXYCPlotter2() { return sharedPlotter2; }

} // namespace MGraph1
