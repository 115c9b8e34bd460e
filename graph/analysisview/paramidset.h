// What the analysis view shows of the document's current event: the two sample windows of the source channel
// around it, the labelled markers of its measured points, the fitted tau curve, the names of the value menu and
// the value text of one chosen parameter. ChartBuffer reads samples of one channel of one block from the host.
#pragma once

#include "engine/eventrecords.h"
#include "foundation/kvostring.h"
#include "platform/com/unknown.h"

#include <cstdint>
#include <vector>

namespace CX::Doc {
class CXDoc;
struct StoredEvent;
} // namespace CX::Doc

// Samples of one channel of one block, read through the host document's data source.
class ChartBuffer {
public:
    static constexpr DWORD kReadFlags = 0xC0001000;

    ChartBuffer(IUnknown* hostDocument, std::int32_t channel) : hostDocument_(hostDocument), channel_(channel) {}

    // Fills `samples` (its size is the count) from tick `start` of the block. A negative start gives a leading run
    // of zeros and the read starts at tick 0; samples the host does not deliver are zero. A failed open empties
    // the vector.
    void Read(std::vector<float>& samples, std::int32_t start, std::int32_t block);

private:
    IUnknown* hostDocument_;
    std::int32_t channel_;
};

namespace CX {

class ParamIdSet {
public:
    // The parameter codes that have markers, with their switches (Bools 2013 on) in switch order.
    struct MarkerCode {
        std::int32_t code;
        std::int32_t switchId;
    };
    static constexpr MarkerCode kMarkerSwitches[10] = {{0, 2013},  {2, 2014},  {3, 2015},  {4, 2016},  {56, 2017},
                                                       {27, 2018}, {33, 2019}, {48, 2020}, {57, 2021}, {50, 2022}};
    // The markers in the order of the plot's context menu.
    static constexpr std::int32_t kMarkerCodes[10] = {0, 2, 3, 4, 56, 27, 33, 48, 50, 57};
    // The switch of a marker code; 0 for a code that has no marker.
    static std::int32_t SwitchOf(std::int32_t code);

    // A span longer than this is never read into a trace; a tau curve has at most this many points.
    static constexpr std::int64_t kMaxTraceSamples = 1 << 24;
    static constexpr std::int64_t kMaxCurvePoints = 1 << 20;

    enum MarkerKind : std::int32_t { kLevel = 0, kTime = 1, kArea = 2, kHorizontalSegment = 3, kSegment = 4 };

    struct Marker {
        double x = 0.0;
        double y = 0.0;
        double x2 = 0.0;
        double y2 = 0.0;
        std::int32_t kind = 0;
        COLORREF colour = 0;
        KVO::String label;
    };

    struct TraceWindow {
        std::int32_t count = 0;
        double start = 0.0;    // seconds from the event's time origin
        double interval = 0.0; // seconds per sample
        const float* samples = nullptr;
        COLORREF colour = 0;
    };

    struct TauCurve {
        std::int32_t count = 0;
        const float* x = nullptr;
        const float* y = nullptr;
        const COLORREF* colours = nullptr;
        COLORREF colour = 0;
    };

    static constexpr COLORREF kTrace0Colour = 0x21AC7A;
    static constexpr COLORREF kTrace1Colour = 0xD8988B;
    static constexpr COLORREF kCurveColour = 0xFF0000;
    static constexpr COLORREF kAreaColour = 0x80FFFF;  // light yellow
    static constexpr COLORREF kMarkerColour = 0x000000;

    explicit ParamIdSet(Doc::CXDoc& document) : document_(document) {}

    // The switch is on, the analysis type measures the code and the event holds a finite value of it.
    bool IsMarkerShown(const Enum::EventFCalc& event, std::int32_t code, std::int32_t switchId) const;
    bool HasParameter(std::int32_t code) const;
    KVO::String MarkerLabel(std::int32_t code) const;

    TraceWindow GetTraceWindow(int trace);
    std::vector<Marker> GetMarkers(int glyphSet) const;
    TauCurve GetTauCurve();
    std::vector<KVO::String> ValueMenuNames() const;
    KVO::String ValueText(std::int32_t row) const;

    // The document's current event (the empty record for an index outside the events or without results).
    const Doc::StoredEvent& CurrentEvent() const;

private:
    std::int32_t AnalysisType() const;
    // Seconds per tick of the block.
    double SampleInterval(std::int32_t block) const;

    std::vector<float> samples_;
    std::vector<float> curveX_;
    std::vector<float> curveY_;
    Doc::CXDoc& document_;
};

} // namespace CX
