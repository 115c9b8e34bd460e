// The grid of a 2-D graph: vertical lines at the horizontal scale's ticks and horizontal lines at the vertical
// scale's ticks, dotted or as dots at the crossings. The host's scale controls decide where the ticks lie.
#pragma once

#include "graph/mgraph1/plotdata.h"

#include "platform/com/unknown.h"
#include "platform/win/wingdi.h"
#include "sdk/scalecontrol.h"

namespace MGraph1 {

// The display settings of a graph that the graticule keeps a copy of.
class GraphDisplaySettings : public GraphDisplayInfo {
public:
    std::int32_t first = 1;
    std::int32_t second = 175;
    COLORREF gridColour = 0xFFAFAF;
    std::int32_t dots = 0;  // 0: dotted lines, else dots at the crossings
    std::int32_t shown = 1; // read by the 2-D drawer
};

class GraphGraticule {
public:
    GraphGraticule() = default;
    GraphGraticule(const GraphDisplaySettings& settings, IScaleControl* horizontal, IScaleControl* vertical);
    GraphGraticule(const GraphGraticule&) = delete;
    GraphGraticule& operator=(const GraphGraticule&) = delete;
    virtual ~GraphGraticule() = default;

    // `clip` may be null; the second argument is passed on by the 2-D drawer and not read.
    virtual void Draw(HDC dc, void* unused, const RECT* clip);

    void SetControls(IScaleControl* horizontal, IScaleControl* vertical);

    RECT rect{};
    GraphDisplaySettings settings;
    std::int32_t third = 2;

    // Grids that would need more lines than this on an axis are not drawn.
    static constexpr double kMaxLines = 10000.0;

private:
    bool ClipMisses(const RECT* clip) const;
    void DrawByTicks(HDC dc, const RECT* clip, const std::vector<ScaleTick>& h, const std::vector<ScaleTick>& v);
    void DrawBySpacing(HDC dc, const RECT* clip);

    platform::ComPtr<IScaleControl> horizontal_;
    platform::ComPtr<IScaleControl> vertical_;
};

} // namespace MGraph1
