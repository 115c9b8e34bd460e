// XY plotters: a series of (x, y) points, each in its own colour, as pixels or markers, joined by lines or not,
// clipped to the plot rectangle; every visible point is recorded in the data's pixel hit map.
#pragma once

#include "graph/mgraph1/drawer.h"

#include <cstdlib>
#include <vector>

namespace MGraph1 {

// Style flags of an XY series.
enum XYStyle : std::uint32_t {
    kXYMarkers = 0x1,
    kXYLines = 0x2,
    kXYLegend = 0x4,
    kXYFilledTriangleUp = 0x8,
    kXYFilledSquare = 0x10,
    kXYFilledDiamond = 0x20,
    kXYFilledTriangleDown = 0x40,
    kXYTriangleUp = 0x80,
    kXYSquare = 0x100,
    kXYDiamond = 0x200,
    kXYTriangleDown = 0x400,
    kXYNoHits = 0x1000,
};

// What one draw of a series works with.
struct DrawParams {
    RECT plot{};
    RECT clip{};
    int count = 0;
    ValueRange domain;
    ValueRange verticalRange;
    COLORREF colour = 0;
    int colourStride = 0; // 0: every point in `colour`
    XYCPlotDataBase* hitMap = nullptr;
    std::int32_t indexBase = 0;
    bool markers = false;
    bool lines = false;
    SIZE markerHalf{2, 2};
    std::uint32_t style = 0;
};

class XYCPlotterBase : public Plotter {
public:
    void OnDomainChanged() override;
    void OnVerticalRangeChanged() override;
    void SyncRanges() override;
    bool IsDataMissingOrChanged() override;
    bool NeedsRedraw() override;

    // The marker of the first shape bit of `style` (a diagonal cross without one) centred at (x, y).
    static void DrawMarker(HDC dc, std::uint32_t style, int x, int y, SIZE half, COLORREF colour, float lineWidth);

protected:
    virtual XYCPlotDataBase* HitData() const = 0;
    void CopyRanges(bool domain, bool vertical);

    // The draw loop over the points of one series, fed in one or more chunks.
    class PointPainter {
    public:
        PointPainter(HDC dc, const XYCPlotterBase& plotter, const DrawParams& params, std::int32_t pass);
        void Paint(const float* x, const float* y, const COLORREF* colours, int count, std::int32_t firstIndex);
        // The legend and the data's highlight, after the points.
        void Finish(XYCPlotDataBase& data);

    private:
        void DrawLegend(XYCPlotDataBase& data);
        void DrawHighlight(XYCPlotDataBase& data);
        void Segment(double px, double py, bool outside, COLORREF colour);
        HDC dc_;
        const XYCPlotterBase& plotter_;
        const DrawParams& params_;
        std::int32_t pass_;
        PenKeeper pen_;
        double prevX_ = 0.0;
        double prevY_ = 0.0;
        bool prevOutside_ = false;
        bool prevJoinable_ = false;
    };
};

// Draws a series of a data class `D` whose values are read as `V` and colours as `C`.
template <class V, class C, class D>
class XYCPlotterDrawCore : public XYCPlotterBase {
public:
    D* GetXYData() const { return dynamic_cast<D*>(data); }

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override
    {
        D* xy = GetXYData();
        if (!xy) {
            return;
        }
        CopyRanges(true, true);
        typename D::Series s;
        bool clearHits = false;
        bool ok = false;
        if (!xy->redrawNeeded && xy->seriesPending) {
            ok = xy->GetSeries(series, s);
            xy->seriesPending = false;
        } else {
            clearHits = true;
            ok = xy->PrepareSeries(series) && xy->GetSeries(series, s);
        }
        if (!ok) {
            needsRedraw = false;
            return;
        }
        xy->redrawNeeded = false;
        DrawParams params;
        params.plot = plot;
        params.clip = clip;
        params.count = s.count;
        params.domain = ranges[kHorizontal];
        params.verticalRange = ranges[kVertical];
        params.colour = s.colours ? colour : s.colour;
        params.colourStride = s.colours ? 1 : 0;
        params.indexBase = s.indexBase;
        params.markers = (s.style & kXYMarkers) != 0;
        params.lines = (s.style & kXYLines) != 0;
        params.markerHalf = MarkerHalfSize(dc, attributeDc);
        params.style = s.style;
        if (clearHits) {
            xy->ClearHits();
        }
        {
            const PlotScope scope(xy, std::abs(plot.right - plot.left), std::abs(plot.bottom - plot.top));
            params.hitMap = scope.HitMap();
            DrawSeries(dc, params, s);
        }
        needsRedraw = false;
    }

protected:
    XYCPlotDataBase* HitData() const override { return GetXYData(); }
    virtual void DrawSeries(HDC dc, const DrawParams& params, const typename D::Series& s) = 0;
};

// Plain float and COLORREF arrays.
class XYCPlotter : public XYCPlotterDrawCore<const float, const COLORREF, XYCPlotData> {
protected:
    void DrawSeries(HDC dc, const DrawParams& params, const XYCPlotData::Series& s) override;
};

// Sources read in chunks of at most 128 values.
class XYCPlotter2 : public XYCPlotterDrawCore<GraphFloatIterator, GraphColorrefIterator, XYCPlotData2> {
public:
    static constexpr int kChunk = 128;

protected:
    void DrawSeries(HDC dc, const DrawParams& params, const XYCPlotData2::Series& s) override;

private:
    std::vector<float> xBuffer_;
    std::vector<float> yBuffer_;
    std::vector<COLORREF> colourBuffer_;
};

// The library's one chunked plotter with the defaults, built at start-up and destroyed at exit.
XYCPlotter2& SharedXYCPlotter2();

} // namespace MGraph1
