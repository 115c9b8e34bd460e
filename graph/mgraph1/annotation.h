// The readout that follows the mouse over a graph: it asks a plot data object for the hint at the mouse, marks the
// hinted point with a small cross and keeps the hint text for the window to show.
#pragma once

#include "graph/mgraph1/drawer.h"

namespace MGraph1 {

class Annotation : public GraphDrawer {};

class BasicAnnotation : public Annotation {
public:
    ~BasicAnnotation() override;

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;

    virtual bool TrackAt(int a, int b, int c, int d);
    // Mouse position in pixels with the plot's origin; returns whether a hint was found.
    virtual bool OnMouseMove(int x, int y, POINT origin, int unused);
    virtual void SetPosition(double x, double y);
    virtual bool GetText(KVO::String* text) const;
    // Forgets the last drawn cross (after the graph was repainted beneath it).
    virtual void ResetDrawn() { drawn = false; }
    virtual bool IsErasable() const { return rasterOperation == R2_NOT; }
    virtual bool QueryAt(int series, int a, int b, int c, int d);
    virtual void SetSource(PlotDataBase* source, int series, bool owns);

    static constexpr int kCross = 1;

    int rasterOperation = R2_COPYPEN;
    int crossHalfSize = 3;
    int markStyle = kCross;
    bool valid = false;
    double x = -DBL_MAX;
    double y = -DBL_MAX;
    KVO::String text;
    PlotDataBase* source = nullptr;
    std::int32_t sourceSeries = -1;
    bool ownsSource = false;
    bool visible = false;
    POINT lastDrawn{};
    bool drawn = false;

private:
    void UpdateFromHint(Hint& hint);
    void DrawCross(HDC dc, const RECT& plot, int px, int py) const;
};

} // namespace MGraph1
