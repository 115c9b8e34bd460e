#include "graph/mgraph1/ycplotter.h"

#include "graph/mgraph1/dcclipper.h"
#include "graph/mgraph1/pixelmath.h"

namespace MGraph1 {
namespace {
// Two-point polylines gathered for one PolyPolyline call.
class SegmentBatch {
public:
    explicit SegmentBatch(HDC dc) : dc_(dc) {}
    ~SegmentBatch() { Flush(); }
    void Add(POINT a, POINT b)
    {
        points_.push_back(a);
        points_.push_back(b);
        counts_.push_back(2);
        if (points_.size() > YCPlotterEx::kBatch) {
            Flush();
        }
    }
    void Flush()
    {
        if (!counts_.empty()) {
            PolyPolyline(dc_, points_.data(), counts_.data(), static_cast<DWORD>(counts_.size()));
        }
        points_.clear();
        counts_.clear();
    }

private:
    HDC dc_;
    std::vector<POINT> points_;
    std::vector<DWORD> counts_;
};
}

void YCPlotter::SyncRanges()
{
    auto* ex = dynamic_cast<YCPlotDataEx*>(data);
    const ValueRange& domain = ranges[kHorizontal];
    if (ex && domain.min < domain.max && ex->domain != domain) {
        ex->domain = domain;
        ex->SetChanged(true);
    }
}

bool YCPlotter::IsDataMissingOrChanged()
{
    YCPlotData* y = GetYData();
    return !y || y->redrawNeeded;
}

bool YCPlotter::NeedsRedraw()
{
    YCPlotData* y = GetYData();
    return needsRedraw || (y && y->redrawNeeded);
}

void YCPlotterEx::Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT&)
{
    YCPlotData* y = GetYData();
    if (!y) {
        return;
    }
    SyncRanges();
    YCPlotData::Series s;
    if (!y->GetSeries(series, s)) {
        needsRedraw = false;
        return;
    }
    y->redrawNeeded = false;
    HDC measure = attributeDc ? attributeDc : dc;
    const SIZE half{std::max(2, SaturateTrunc(GetDeviceCaps(measure, LOGPIXELSX) * 2.0 / 72.0)) / 2,
                    std::max(2, SaturateTrunc(GetDeviceCaps(measure, LOGPIXELSY) * 2.0 / 72.0)) / 2};
    DrawSeriesSetup(dc, plot, s, (s.colourAndStyle & kMarkersBit) != 0, half);
    needsRedraw = false;
}

void YCPlotterEx::DrawSeriesSetup(HDC dc, const RECT& plot, const YCPlotData::Series& s, bool markers, SIZE half)
{
    DrawLines(dc, plot, s, markers, half);
}

void YCPlotterEx::DrawLines(HDC dc, const RECT& plot, const YCPlotData::Series& s, bool markers, SIZE half)
{
    if (s.count <= 0 || !s.values) {
        return;
    }
    PenKeeper pen(dc, penStyle, PenWidth(), 0);
    const COLORREF single = s.colourAndStyle & 0xFFFFFF;
    const bool perSample = s.colours != nullptr;
    SegmentBatch batch(dc);
    bool prevFinite = false;
    bool prevInside = false;
    POINT prev{};
    COLORREF prevColour = 0;
    auto segment = [&](POINT a, POINT b, COLORREF colour) {
        if (perSample) {
            pen.Use(colour);
            DrawLine(dc, a, b);
        } else {
            pen.Use(single);
            batch.Add(a, b);
        }
    };
    for (int i = 0; i < s.count; ++i) {
        const COLORREF colour = perSample ? s.colours[i] : single;
        const double value = s.values[i];
        const double pxd = ToPixelX(s.start + i * s.step, plot);
        const double pyd = ToPixelY(value, plot);
        if (!IsFinite(value) || !IsFinite(pxd) || !IsFinite(pyd)) {
            prevFinite = false; // the line ends here; the next finite sample starts a new one
            continue;
        }
        const POINT p{SaturateTrunc(pxd), SaturateFloor(pyd)};
        const bool inside = !(p.y < plot.top || p.y > plot.bottom - 1 || p.x < plot.left || p.x >= plot.right);
        if (prevFinite) {
            if (inside && prevInside) {
                segment(prev, p, prevColour);
            } else {
                POINT from{};
                POINT to{};
                if (ClipForPlot(plot, prev.x, prev.y, p.x, p.y, from, to)) {
                    segment(from, to, colour);
                }
            }
        }
        if (inside) {
            pen.Use(colour);
            if (markers) {
                batch.Flush();
                DrawLine(dc, p.x - half.cx, p.y + half.cy, p.x + half.cx + 1, p.y - half.cy - 1);
                DrawLine(dc, p.x - half.cx, p.y - half.cy, p.x + half.cx + 1, p.y + half.cy + 1);
            }
        }
        prev = p;
        prevInside = inside;
        prevFinite = true;
        prevColour = colour;
    }
}

void YCPlotterEx::DrawPolyline(HDC dc, const RECT& plot, const YCPlotData::Series& s)
{
    if (s.count <= 0 || !s.values) {
        return;
    }
    const COLORREF first = s.colours ? s.colours[0] : s.colourAndStyle & 0xFFFFFF;
    PenKeeper pen(dc, penStyle, PenWidth(), first);
    DCClipper clipper(dc, true);
    clipper.IntersectRect(plot);
    std::vector<POINT> line;
    bool carried = false; // the line holds only the last point of a batch already sent
    auto send = [&] {
        if (line.size() == 1) {
            line.push_back(line.front());
        }
        if (!line.empty()) {
            Polyline(dc, line.data(), static_cast<int>(line.size()));
        }
    };
    for (int i = 0; i < s.count; ++i) {
        const double pxd = ToPixelX(s.start + i * s.step, plot);
        const double pyd = ToPixelY(s.values[i], plot);
        if (!IsFinite(s.values[i]) || !IsFinite(pxd) || !IsFinite(pyd)) {
            if (!carried) {
                send();
            }
            line.clear();
            carried = false;
            continue;
        }
        const POINT p{SaturateTrunc(pxd), SaturateFloor(pyd)};
        if (!line.empty() && line.back().x == p.x && line.back().y == p.y) {
            continue;
        }
        line.push_back(p);
        carried = false;
        if (line.size() > kBatch) {
            send();
            // The next batch goes on from the last point sent, so that no segment is lost between batches.
            line.erase(line.begin(), line.end() - 1);
            carried = true;
        }
    }
    if (!(carried && line.size() == 1)) {
        send();
    }
}

} // namespace MGraph1
