// The plotter of an evenly spaced series (a sampled signal): a line with optional cross markers and per-sample
// colours; samples that are not numbers break the line.
#pragma once

#include "graph/mgraph1/drawer.h"

#include <vector>

namespace MGraph1 {

class YCPlotter : public Plotter {
public:
    YCPlotData* GetYData() const { return dynamic_cast<YCPlotData*>(data); }
    void OnDomainChanged() override { SyncRanges(); }
    // Copies the domain into data that keep one.
    void SyncRanges() override;
    bool IsDataMissingOrChanged() override;
    bool NeedsRedraw() override;
};

class YCPlotterEx : public YCPlotter {
public:
    // Bit 27 of a series' colour-and-style value asks for cross markers at the samples.
    static constexpr std::uint32_t kMarkersBit = 1u << 27;

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    virtual void DrawSeriesSetup(HDC dc, const RECT& plot, const YCPlotData::Series& s, bool markers, SIZE half);
    // The line loop.
    virtual void DrawLines(HDC dc, const RECT& plot, const YCPlotData::Series& s, bool markers, SIZE half);
    // A single-colour series as polylines clipped to the plot, one point per pixel.
    virtual void DrawPolyline(HDC dc, const RECT& plot, const YCPlotData::Series& s);

    // Polylines are sent once more than this many points are gathered.
    static constexpr std::size_t kBatch = 128;
};

} // namespace MGraph1
