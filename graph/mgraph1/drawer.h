// Everything painted inside a graph is a drawer; drawers form a chain that is painted in order. A plotter is the
// drawer of one series of a plot data object.
#pragma once

#include "graph/mgraph1/plotdata.h"

#include "platform/win/wingdi.h"

namespace MGraph1 {

// Data to pixels along one axis: pixel = (value + offset) * scale + the plot rectangle's left or top edge.
struct Transform {
    double scale = 1.0;
    double offset = 0.0;
};

enum Axis { kHorizontal = 0, kSecond = 1, kVertical = 2 };

class GraphDrawer {
public:
    GraphDrawer() = default;
    GraphDrawer(const GraphDrawer&) = delete;
    GraphDrawer& operator=(const GraphDrawer&) = delete;
    virtual ~GraphDrawer();

    virtual void SetDomain(double min, double max);
    virtual void SetSecondRange(double min, double max);
    virtual void SetVerticalRange(double min, double max);
    // Hooks for derived drawers; the library calls none of them and they do nothing here.
    virtual void Hook1() {}
    virtual void Hook2() {}
    virtual void Hook3() {}
    virtual void Hook4() {}
    virtual void Hook5() {}
    virtual void Hook6() {}
    virtual void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip);
    virtual void DrawOverlay(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip);
    virtual void OnDomainChanged() {}
    virtual void OnSecondRangeChanged() {}
    virtual void OnVerticalRangeChanged() {}
    // Three more hooks that do nothing, then the one that SetSettings calls.
    virtual void Hook7() {}
    virtual void Hook8() {}
    virtual void Hook9() {}
    virtual void OnSettingsChanged() {}

    // Draw of this drawer, the chain behind it, then DrawOverlay of this drawer.
    void DrawChain(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip);

    // Shares a transform (not owned) or hands one over (owned: freed with the drawer).
    void SetTransform(Axis axis, Transform* transform, bool owned);
    Transform* GetTransform(Axis axis) const { return transforms_[axis]; }
    void SetSettings(std::int32_t first, std::int32_t second);
    // The next drawer, ranges, transforms (shared, never owned by the copy) and flags of another drawer.
    void CopyDrawerState(const GraphDrawer& other);

    // Pixel of a value; without a transform the value itself.
    double ToPixelX(double value, const RECT& plot) const;
    double ToPixelY(double value, const RECT& plot) const;
    // Pixel relative to the origin to data: (pixel - origin) / scale - offset, 0 when the scale is 0.
    double ToDataX(double pixelFromOrigin) const;
    double ToDataY(double pixelFromOrigin) const;

    GraphDrawer* next = nullptr;
    ValueRange ranges[3];
    std::int32_t settings[2] = {0, 0};
    bool enabled = true;

private:
    void FreeTransform(Axis axis);
    Transform* transforms_[3] = {nullptr, nullptr, nullptr};
    bool ownsTransform_[3] = {false, false, false};
};

// A GDI line from (x0, y0) towards (x1, y1); as every GDI line it leaves out its last pixel.
void DrawLine(HDC dc, int x0, int y0, int x1, int y1);
inline void DrawLine(HDC dc, POINT from, POINT to) { DrawLine(dc, from.x, from.y, to.x, to.y); }

// The part of the segment (x0, y0)-(x1, y1) between the plot's drawing edges (left + 1, top, right, bottom - 1),
// in pixels and ordered for DrawLine: towards the end that was not moved, so that a moved end is drawn and the
// segment's own end is left for the next one. False when nothing of it is inside. The coordinates must be finite.
bool ClipForPlot(const RECT& plot, double x0, double y0, double x1, double y1, POINT& from, POINT& to);

// Selects a GDI object for the life of the scope and puts the previous one back; an owned object is deleted then.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object, bool owned) : dc_(dc), object_(object), owned_(owned), previous_(SelectObject(dc, object)) {}
    ~SelectScope()
    {
        SelectObject(dc_, previous_);
        if (owned_) {
            DeleteObject(object_);
        }
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    bool owned_;
    HGDIOBJ previous_;
};

// Selects a new pen of the given style and width whenever the colour changes; restores the first pen at the end.
class PenKeeper {
public:
    PenKeeper(HDC dc, int style, int width, COLORREF colour);
    ~PenKeeper();
    PenKeeper(const PenKeeper&) = delete;
    PenKeeper& operator=(const PenKeeper&) = delete;
    void Use(COLORREF colour);
    COLORREF Colour() const { return colour_; }

private:
    HDC dc_;
    int style_;
    int width_;
    COLORREF colour_;
    HPEN pen_;
    HGDIOBJ previous_;
};

class Plotter : public GraphDrawer {
public:
    ~Plotter() override;

    virtual void SetColour(COLORREF value) { colour = value; }
    virtual void SetSecondColour(COLORREF value) { secondColour = value; }
    virtual void SetLineWidth(float value) { lineWidth = value; }
    virtual int SetPenStyle(int style);
    // Takes the data of a series; owned data is deleted when replaced by other data or with the plotter.
    virtual void SetPlotData(PlotData* data, int series, bool owns);
    virtual bool GetHint(Hint* hint);
    virtual void SyncRanges() {}
    virtual bool IsDataMissingOrChanged() { return true; }
    virtual bool NeedsRedraw() { return needsRedraw; }

    int PenWidth() const;
    // Marker half sizes in pixels from the marker size in points, at least 2 each.
    SIZE MarkerHalfSize(HDC dc, HDC attributeDc) const;

    std::int32_t series = 0;
    COLORREF colour = 0x0000FF;
    COLORREF secondColour = 0x00FFFF;
    float lineWidth = 1.0f;
    int penStyle = PS_SOLID;
    bool needsRedraw = true;
    bool ownsData = false;
    PlotData* data = nullptr;
    double markerPointsX = 2.0;
    double markerPointsY = 2.0;
};

} // namespace MGraph1
