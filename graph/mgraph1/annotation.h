// The readout that follows the mouse over a graph: it asks a plot data object for the hint at the mouse, marks the
// hinted point with a small cross and keeps the hint text for the window to show.
#pragma once

#include "graph/mgraph1/drawer.h"

namespace MGraph1 {

// What a graph asks of everything that reacts to the mouse; the base answers that nothing is there.
class Annotation : public GraphDrawer {
public:
    virtual bool TrackAt(int, int, int, int) { return false; }
    // Mouse position in pixels with the plot's origin; returns whether something is shown for it.
    virtual bool OnMouseMove(int, int, POINT, int) { return false; }
    virtual bool GetText(KVO::String*) const { return false; }
    // Forgets the last drawn mark (after the graph was repainted beneath it).
    virtual void ResetDrawn() {}
    // True when drawing the mark again removes it.
    virtual bool IsErasable() const { return true; }
};

class BasicAnnotation : public Annotation {
public:
    ~BasicAnnotation() override;

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;

    bool TrackAt(int a, int b, int c, int d) override;
    bool OnMouseMove(int x, int y, POINT origin, int unused) override;
    virtual void SetPosition(double x, double y);
    bool GetText(KVO::String* text) const override;
    void ResetDrawn() override { drawn = false; }
    bool IsErasable() const override { return rasterOperation == R2_NOT; }
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
