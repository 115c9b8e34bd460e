#include "graph/mgraph1/drawer.h"

#include "graph/mgraph1/pixelmath.h"

#include <utility>

namespace MGraph1 {

GraphDrawer::~GraphDrawer()
{
    for (const Axis axis : {kHorizontal, kSecond, kVertical}) {
        FreeTransform(axis);
    }
}

void GraphDrawer::FreeTransform(Axis axis)
{
    if (ownsTransform_[axis]) {
        delete transforms_[axis];
    }
    transforms_[axis] = nullptr;
    ownsTransform_[axis] = false;
}

void GraphDrawer::SetTransform(Axis axis, Transform* transform, bool owned)
{
    if (transform != transforms_[axis]) {
        FreeTransform(axis);
    }
    transforms_[axis] = transform;
    ownsTransform_[axis] = owned && transform;
}

void GraphDrawer::SetDomain(double min, double max)
{
    ranges[kHorizontal] = ValueRange{min, max};
    OnDomainChanged();
}

void GraphDrawer::SetSecondRange(double min, double max)
{
    ranges[kSecond] = ValueRange{min, max};
    OnSecondRangeChanged();
}

void GraphDrawer::SetVerticalRange(double min, double max)
{
    ranges[kVertical] = ValueRange{min, max};
    OnVerticalRangeChanged();
}

void GraphDrawer::SetSettings(std::int32_t first, std::int32_t second)
{
    settings[0] = first;
    settings[1] = second;
    OnSettingsChanged();
}

void GraphDrawer::CopyDrawerState(const GraphDrawer& other)
{
    next = other.next;
    for (int i = 0; i < 3; ++i) {
        ranges[i] = other.ranges[i];
        SetTransform(static_cast<Axis>(i), other.transforms_[i], false);
    }
    settings[0] = other.settings[0];
    settings[1] = other.settings[1];
    enabled = other.enabled;
}

void GraphDrawer::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    static constexpr char16_t kText[] = u"You forgot the OnDraw handler";
    const UINT previous = SetTextAlign(dc, TA_CENTER | TA_TOP);
    TextOutW(dc, (plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2, kText,
             static_cast<int>(std::char_traits<char16_t>::length(kText)));
    SetTextAlign(dc, previous);
}

void GraphDrawer::DrawOverlay(HDC, HDC, const RECT&, const RECT&) {}

void GraphDrawer::DrawChain(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip)
{
    Draw(dc, attributeDc, plot, clip);
    if (next) {
        next->DrawChain(dc, attributeDc, plot, clip);
    }
    DrawOverlay(dc, attributeDc, plot, clip);
}

double GraphDrawer::ToPixelX(double value, const RECT& plot) const
{
    const Transform* t = transforms_[kHorizontal];
    return t ? (value + t->offset) * t->scale + plot.left : value;
}

double GraphDrawer::ToPixelY(double value, const RECT& plot) const
{
    const Transform* t = transforms_[kVertical];
    return t ? (value + t->offset) * t->scale + plot.top : value;
}

double GraphDrawer::ToDataX(double pixel) const
{
    const Transform* t = transforms_[kHorizontal];
    return !t || t->scale == 0.0 ? 0.0 : pixel / t->scale - t->offset;
}

double GraphDrawer::ToDataY(double pixel) const
{
    const Transform* t = transforms_[kVertical];
    return !t || t->scale == 0.0 ? 0.0 : pixel / t->scale - t->offset;
}

void DrawLine(HDC dc, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

bool ClipForPlot(const RECT& plot, double x0, double y0, double x1, double y1, POINT& from, POINT& to)
{
    const ClipRect edges{plot.left + 1.0, static_cast<double>(plot.top), static_cast<double>(plot.right),
                         plot.bottom - 1.0};
    const double endX = x1;
    const double endY = y1;
    if (!ClipSegment(edges, x0, y0, x1, y1)) {
        return false;
    }
    const POINT start{SaturateTrunc(x0), SaturateTrunc(y0)};
    const POINT end{SaturateTrunc(x1), SaturateTrunc(y1)};
    const bool endKept = x1 == endX && y1 == endY;
    from = endKept ? start : end;
    to = endKept ? end : start;
    return true;
}

PenKeeper::PenKeeper(HDC dc, int style, int width, COLORREF colour)
    : dc_(dc), style_(style), width_(width), colour_(colour), pen_(CreatePen(style, width, colour)),
      previous_(SelectObject(dc, pen_))
{
}

PenKeeper::~PenKeeper()
{
    SelectObject(dc_, previous_);
    DeleteObject(pen_);
}

void PenKeeper::Use(COLORREF colour)
{
    if (colour == colour_) {
        return;
    }
    HPEN pen = CreatePen(style_, width_, colour);
    SelectObject(dc_, pen);
    DeleteObject(std::exchange(pen_, pen));
    colour_ = colour;
}

Plotter::~Plotter()
{
    if (ownsData) {
        delete data;
    }
}

int Plotter::SetPenStyle(int style) { return std::exchange(penStyle, style); }

void Plotter::SetPlotData(PlotData* newData, int newSeries, bool owns)
{
    if (ownsData && data != newData) {
        delete data;
    }
    data = newData;
    series = newSeries;
    ownsData = owns;
    SyncRanges();
}

bool Plotter::GetHint(Hint* hint)
{
    if (!hint) {
        return false;
    }
    hint->text = u"Dummy hint";
    return true;
}

int Plotter::PenWidth() const { return SaturateTrunc(lineWidth); }

SIZE Plotter::MarkerHalfSize(HDC dc, HDC attributeDc) const
{
    HDC measure = attributeDc ? attributeDc : dc;
    const int w = SaturateTrunc(GetDeviceCaps(measure, LOGPIXELSX) * markerPointsX / 72.0);
    const int h = SaturateTrunc(GetDeviceCaps(measure, LOGPIXELSY) * markerPointsY / 72.0);
    return SIZE{std::max(2, w), std::max(2, h)};
}

} // namespace MGraph1
