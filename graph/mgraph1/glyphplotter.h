// Glyph plotters: arrows, marker lines and segments with labels that a glyph source lists, and half transparent
// areas under an evenly spaced series between glyph-given limits.
#pragma once

#include "graph/mgraph1/drawer.h"

namespace MGraph1 {

enum GlyphKind : std::int32_t {
    kGlyphArrow = 0,          // an arrow at the top edge at x
    kGlyphLevel = 1,          // a horizontal line across the plot at y
    kGlyphTime = 2,           // a vertical line at x, its label turned upwards
    kGlyphHorizontalSegment = 4, // a horizontal line at y from x to the second x
    kGlyphSegment = 5,        // a line from (x, y) to (second x, second y); its label goes to the legend
};

class GlyphPlotter : public Plotter {
public:
    GlyphPlotData* GetGlyphData() const { return dynamic_cast<GlyphPlotData*>(data); }
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    // No glyph source, or one that asks for a redraw; a drawn source keeps the graph's background as it is.
    bool IsDataMissingOrChanged() override;
    bool NeedsRedraw() override;

    int rasterOperation = R2_COPYPEN;
    bool useLabelAlignment = false;
    UINT labelAlignment = 0;
    int legendOffsetPointsX = 0;
    int legendOffsetPointsY = 0;

private:
    void DrawGlyph(HDC dc, const RECT& plot, const GlyphRecord& glyph);
    void DrawLabel(HDC dc, int x, int y, const KVO::String& label, int angle);
    void DrawLegendEntry(HDC dc, const RECT& plot, const GlyphRecord& glyph, int entry);
};

class AreaGlyphPlotter : public Plotter {
public:
    ~AreaGlyphPlotter() override;
    // The glyph source whose glyphs of series `glyphSeries` give the areas (x to second x).
    void SetPlotData(PlotData* glyphs, int glyphSeries, bool owns) override;
    // The evenly spaced series under the areas (not owned).
    void SetSeriesData(YCPlotData* values, int valueSeries);
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    // A missing series or glyph source, or either asking for a redraw.
    bool IsDataMissingOrChanged() override;
    bool NeedsRedraw() override;

    std::int32_t glyphSeries = 0;
    GlyphPlotData* glyphSource = nullptr;
    bool ownsGlyphSource = false;

private:
    void BlendArea(HDC dc, const RECT& plot, const std::vector<POINT>& polygon, COLORREF colour);
    void FillLighterArea(HDC dc, const RECT& plot, const std::vector<POINT>& polygon, COLORREF colour);
};

} // namespace MGraph1
