// Plot data: the sources that plotters draw. XY data also keep a pixel hit map while a series is drawn, so that
// the mouse can be answered with the nearest drawn point.
#pragma once

#include "foundation/kvostring.h"
#include "platform/win/windef.h"

#include <cfloat>
#include <cstdint>
#include <unordered_map>

namespace MGraph1 {

struct ValueRange {
    double min = -DBL_MAX;
    double max = DBL_MAX;
    friend bool operator==(const ValueRange&, const ValueRange&) = default;
};

// What a hover query fills.
struct Hint {
    POINT mouse{};      // pixels
    POINT relative{};   // pixels from the plot's top-left corner
    double x = 0.0;     // the hinted value
    double y = 0.0;
    double dataX = 0.0; // the mouse point in data units
    double dataY = 0.0;
    KVO::String text;
    std::int32_t index = 0;
    bool valid = false;
};

// One drawn point of the hit map.
struct HitRecord {
    std::int32_t kind = -1; // -1: a plotted point
    double x = 0.0;
    double y = 0.0;
    std::int32_t index = 0;
    std::int32_t pass = 0;
    COLORREF colour = 0;
};

class PlotData {
public:
    virtual ~PlotData() = default;
};

// Tags display settings records.
class GraphDisplayInfo {
public:
    virtual ~GraphDisplayInfo() = default;
};

class PlotDataBase : public PlotData {
public:
    virtual bool GetHint(int series, Hint* hint);
    virtual bool IsChanged() const { return changed; }
    // Setting the flag also marks the data for a redraw and its hint as stale.
    virtual void SetChanged(bool value);
    virtual void ClearChanged() { changed = false; }

    bool changed = false;
    bool redrawNeeded = false;
    bool hintStale = false;
};

class XYCPlotDataBase : public PlotDataBase {
public:
    bool GetHint(int series, Hint* hint) override;

    // Starts drawing a series into a plot of this size; false for an empty size or while a drawing is running.
    // A plot of the size of the last one keeps its hits, so that a redraw updates them in place.
    virtual bool BeginPlot(int width, int height, std::int32_t* cookie);
    virtual void EndPlot() { plotting = false; }
    virtual void ClearHits() { hits_.clear(); }
    // The nearest record within `radius` pixels (strictly) of (x, y); the upper row, then the left pixel wins a tie.
    virtual bool FindNearestHit(int x, int y, int radius, HitRecord* record);
    virtual bool GetHit(int x, int y, HitRecord* record) const;
    virtual void SetHit(int x, int y, double xValue, double yValue, std::int32_t index, COLORREF colour,
                        std::int32_t pass);
    virtual void SetHitRecord(int x, int y, const HitRecord& record);
    // Stores the record only when the pixel has none.
    virtual void InsertHit(int x, int y, const HitRecord& record);

    KVO::String GetSeriesName() const { return seriesName; }
    bool HasHighlight() const;
    std::size_t HitCount() const { return hits_.size(); }

    ValueRange ranges[3]; // the domain, a second range, the vertical range
    std::int32_t legendRow = -1;
    // Five values kept for the data's own use; the library reads none of them.
    std::int32_t spareValues[5] = {2147483647, -2147483647, 2147483647, -2147483647, -2147483647};
    double highlightX = 2147483647.0;
    double highlightY = 2147483647.0;
    std::int32_t highlightFactor = 0;
    COLORREF highlightColour = 0;
    bool seriesPending = false;
    bool plotting = false;
    KVO::String seriesName;
    int hitWidth = -1;
    int hitHeight = -1;
    int hitOffsetX = 0;
    int hitOffsetY = 0;

private:
    bool InMap(int x, int y) const { return x >= 0 && y >= 0 && x < hitWidth && y < hitHeight; }
    std::int64_t Key(int x, int y) const { return static_cast<std::int64_t>(y) * hitWidth + x; }
    std::unordered_map<std::int64_t, HitRecord> hits_;
};

// Ends a drawing into the hit map on every way out of it.
class PlotScope {
public:
    PlotScope(XYCPlotDataBase* data, int width, int height);
    ~PlotScope();
    PlotScope(const PlotScope&) = delete;
    PlotScope& operator=(const PlotScope&) = delete;
    // The data when the drawing may record hits, else none.
    XYCPlotDataBase* HitMap() const { return data_; }

private:
    XYCPlotDataBase* data_ = nullptr;
};

// XY series read as arrays: `V` the x and y values, `C` the per-point colours.
template <class V, class C>
class XYCPlotDataCore : public XYCPlotDataBase {
public:
    struct Series {
        int count = 0;
        std::int32_t indexBase = 0;
        V* x = nullptr;
        V* y = nullptr;
        C* colours = nullptr; // none: every point in `colour`
        COLORREF colour = 0;
        std::uint32_t style = 0; // XYStyle flags
    };
    virtual bool GetSeries(int series, Series& out) = 0;
    virtual bool PrepareSeries(int) { return true; }
};

class XYCPlotData : public XYCPlotDataCore<const float, const COLORREF> {};

// Sources read in chunks: each read continues where the last one stopped and returns how many values it gave.
class GraphFloatIterator {
public:
    virtual ~GraphFloatIterator() = default;
    virtual int Read(float* buffer, int count) = 0;
};

class GraphColorrefIterator {
public:
    virtual ~GraphColorrefIterator() = default;
    virtual int Read(COLORREF* buffer, int count) = 0;
};

class XYCPlotData2 : public XYCPlotDataCore<GraphFloatIterator, GraphColorrefIterator> {};

// Evenly spaced values: sample i lies at x = start + i * step.
class YCPlotData : public PlotDataBase {
public:
    struct Series {
        int count = 0;
        double start = 0.0;
        double step = 1.0;
        const float* values = nullptr;
        const COLORREF* colours = nullptr; // none: every sample in `colourAndStyle`'s colour
        std::uint32_t colourAndStyle = 0;  // the colour in the low 24 bits; bit 27 asks for markers
    };
    virtual bool GetSeries(int, Series&) { return false; }
};

class YCPlotDataEx : public YCPlotData {
public:
    // The series value at the hint's x in data units: the nearest sample's value, or not valid outside the samples.
    bool GetHint(int series, Hint* hint) override;

    // An operation that the data's application supplies; the library never calls it and the base does nothing.
    virtual void ApplicationOperation() {}

    ValueRange domain;
    bool snap = false; // hints report the sample's own x instead of the mouse's
};

// A glyph: an arrow, a line or an area with its label.
struct GlyphRecord {
    double x = 0.0;
    double y = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    std::int32_t kind = 0;
    COLORREF colour = 0;
    KVO::String label;
    bool legendLine = false;
};

class GlyphPlotData : public PlotDataBase {
public:
    bool GetHint(int, Hint*) override { return false; }
    virtual bool GetGlyphs(double domainMin, double domainMax, int series, int* count, const GlyphRecord** records);
};

} // namespace MGraph1
