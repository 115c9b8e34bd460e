// The graph pane of the analysis view: the current event's two traces, its markers and the fitted tau curve on a
// 2-D graph, with a strip above it that reads out the point under the mouse. The plot is itself the data source of
// the graph's plotters; zoom and marker switches live in the document's settings, so they persist with it.
#pragma once

#include "graph/analysisview/paramidset.h"
#include "graph/mgraph1/graphwindow.h"

#include <vector>

namespace CX::Doc {
class CXDoc;
}

class AnalysisPlot : public owl::TWindow,
                     public MGraph1::YCPlotDataEx,
                     public MGraph1::XYCPlotData,
                     public MGraph1::GlyphPlotData,
                     public MessSys::MessageReceiver {
public:
    static constexpr int kReadoutHeight = 20;
    static constexpr std::int32_t kFirstMarkerCookie = 100;
    static constexpr COLORREF kTraceLineColour = 0x0000FF;

    AnalysisPlot(owl::TWindow* parent, CX::Doc::CXDoc* document);
    ~AnalysisPlot() override;

    // The graph's drawer; none without a graph window.
    virtual MGraph1::Graph2DDrawer* Drawer() const { return graph_; }
    MGraph1::Graph2DWindow* Graph() const { return graph_; }
    CX::ParamIdSet* Overlays() { return overlays_.get(); }

    void SetupWindow() override;
    // Rescales the axes to the results and repaints the graph.
    void Redraw();
    // The host document's display attributes give the graph its grid; then a redraw.
    void ApplyHostColours();
    // Renders the plot into `page` of `target`; `attribute` (or none) measures.
    void DrawToDC(HDC target, HDC attribute, const RECT& page);

    // The plot as the plotters' data source.
    bool GetSeries(int series, MGraph1::YCPlotData::Series& out) override;
    bool GetSeries(int series, MGraph1::XYCPlotData::Series& out) override;
    bool GetGlyphs(double domainMin, double domainMax, int series, int* count,
                   const MGraph1::GlyphRecord** records) override;
    bool GetHint(int series, MGraph1::Hint* hint) override;
    bool OnMessage(MessSys::Message& message) override;

    const KVO::String& Readout() const { return readout_; }
    double ValueScale() const { return valueScale_; }
    const KVO::String& ValueUnitText() const { return unitText_; }

    void EvPaint() override;
    void Paint(owl::TDC& dc, bool erase, owl::TRect& rect) override;
    void EvSize(owl::uint sizeType, const owl::TSize& size) override;
    bool EvEraseBkgnd(HDC) override { return true; }

private:
    void BuildPlotters(MGraph1::Graph2DDrawer& drawer);
    void Rescale();
    // Reads the source channel's unit into the unit text and the value scale.
    void ReadUnits();

    CX::Doc::CXDoc* document_;
    MGraph1::Graph2DWindow* graph_ = nullptr;
    KVO::String readout_;
    KVO::String unitText_;
    double valueScale_ = 1.0;
    bool firstRescale_ = false;
    std::vector<MGraph1::GlyphRecord> glyphs_;
    std::unique_ptr<CX::ParamIdSet> overlays_;
};
