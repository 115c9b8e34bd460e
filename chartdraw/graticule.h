// The background layer of a lane: background colour by state, threshold bands and lines, the parts outside the
// value range, the pre-trigger hatch and the value and time grid drawn through monochrome stencils.
#pragma once

#include "chartdraw/drawer.h"
#include "chartdraw/pretrigger.h"
#include "foundation/kvostring.h"
#include "graph/mgraph1/tickgenerator.h"

#include <array>
#include <limits>
#include <memory>
#include <vector>

namespace ChartDraw {

using MGraph1::IID_IScaleDivisions;
using MGraph1::IScaleDivisions;

// Threshold levels and their colours.
struct GraticuleSettings {
    static constexpr DWORD kLine1 = 0x01, kLine2 = 0x02, kFillBelow = 0x04, kFillAbove = 0x08, kFillBetween = 0x10,
                           kLevel1 = 0x20, kLevel2 = 0x40;
    double level1 = std::numeric_limits<double>::quiet_NaN();
    double level2 = std::numeric_limits<double>::quiet_NaN();
    std::array<KVO::String, 4> texts;
    COLORREF line1 = RGB(137, 137, 137);
    COLORREF line2 = RGB(137, 137, 137);
    COLORREF below = RGB(254, 194, 194);
    COLORREF band = RGB(177, 254, 197);
    COLORREF above = RGB(254, 194, 194);
    DWORD flags = 0;
};

class GraticuleDrawer : public DrawerBase {
public:
    static constexpr DWORD kNoRows = 1u << 31;
    static constexpr DWORD kNoColumns = 1u << 30;
    static constexpr DWORD kNoBackground = 1u << 29;
    static constexpr DWORD kNoChannelFlag = 1u << 23;
    static constexpr COLORREF kOutOfRange = RGB(245, 242, 230);
    static constexpr COLORREF kSamplingLane = RGB(235, 235, 220);

    GraticuleDrawer(LONG, LONG, DWORD graticuleFlags, COLORREF gridColour, LONG, LONG channel, DWORD subSelector);
    GraticuleDrawer(const GraticuleDrawer& other);
    GraticuleDrawer& operator=(const GraticuleDrawer&) = delete;
    ~GraticuleDrawer() override;

    HRESULT SetDataSource(LONG reserved, IUnknown* source) override;
    HRESULT SetRect(LONG index, const RECT* rect) override;
    HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) override;
    HRESULT OnScaleChanged(LONG lane, LONG reserved, const double scale[2], IUnknown* source) override;
    HRESULT OnNewBlock(DWORD argument) override;
    HRESULT OnLayoutChanged(LONG reserved) override;
    HRESULT SetDrawerServices(IDrawerDataPane* services) override;
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x, const RECT& clip,
                 DWORD flags, const TimeDivisions* divisions, LONG word) override;
    HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) override;
    void* GetSettingsRecord() override { return &settings_; }
    // Grid options from the channel's settings (`IChartGridOptions`), threshold levels from its display settings
    // (`IChartLevelSettings`); what either does not give stays as it was.
    HRESULT ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel) override;
    bool ShowsGrid() const { return showGrid_; }
    bool ShowsLabels() const { return showLabels_; }
    DWORD ColumnStencilChoice() const { return columnStencilChoice_; }
    COLORREF GridColour() const { return gridColour_; }

    GraticuleSettings& Settings() { return settings_; }
    DWORD GraticuleFlags() const { return graticuleFlags_; }
    int StencilHeight() const { return stencilHeight_; }
    void SetShowGrid(bool on) { showGrid_ = on; }
    void SetGridColour(COLORREF colour) { gridColour_ = colour; }
    // The font the value labels are measured in (the time scale's label font); none: the system font.
    void SetLabelFont(HFONT font) { labelFont_ = font; }
    LONG LabelWidth() const { return labelWidth_; }
    const DrawPreTriggerBackground* PreTrigger() const { return preTrigger_.get(); }

protected:
    virtual void RebuildStencils();
    virtual void DrawRows(HDC dc, LONG fromX, LONG toX, bool major);
    // Vertical lines at floor(first + k * step + 0.5) - originX inside [fromX, toX); true when any was drawn.
    virtual bool DrawColumns(HDC dc, LONG fromX, LONG toX, LONG originX, double first, double step, bool major);

    void PaintStencilRows();
    HDC StencilDc() const;
    HBITMAP Stencil(int index) const { return stencils_[index]; }
    const std::vector<std::pair<LONG, LONG>>& DivisionRows() const { return divisions_; }
    COLORREF gridColour_;
    DWORD graticuleFlags_;

private:
    void ApplyLayout();
    // The channel of the lane as the pane gives it (all lanes when it gives none).
    LONG LaneChannel() const;
    // Whether the host's chart has the lane's channel among its selected channels.
    bool LaneSelected() const;
    // Reads the division list; the ends of its range are mapped to rows with y = (value + offset) * scale.
    void RecomputeDivisions(IScaleDivisions* divisions, double scale, double offset);
    MGraph1::ITickGenerator* DivisionSource();
    void FreeStencils();

    LONGLONG baseTick_ = 0;
    LONG scaleLane_ = 1;
    COLORREF markColour_ = RGB(0, 0, 128);
    std::array<HBITMAP, 4> stencils_{}; // rows, major rows, column, second column
    int stencilHeight_ = 0;
    double givenScale_ = 1.0, givenOffset_ = 0.0, yScale_ = 1.0, yOffset_ = 0.0;
    platform::ComPtr<MGraph1::ITickGenerator> divisionSource_;
    HFONT labelFont_ = nullptr;
    std::unique_ptr<DrawPreTriggerBackground> preTrigger_;
    LONG labelWidth_ = 0;
    GraticuleSettings settings_;
    LONG cachedRecord_ = -1;
    std::vector<std::pair<LONG, LONG>> divisions_;
    DWORD columnStencilChoice_ = 0;
    LONG lowEdge_ = 0, highEdge_ = 0;
    WORD lowEdgeIn_ = 0, highEdgeIn_ = 0;
    bool showGrid_ = true;
    bool showLabels_ = true;
};

// For metafile output: rows and columns as pen lines instead of stencil blits, and no background fill.
class MetafileGraticuleDrawer : public GraticuleDrawer {
public:
    explicit MetafileGraticuleDrawer(const GraticuleDrawer& other);
    HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) override;

protected:
    void RebuildStencils() override {}
    void DrawRows(HDC dc, LONG fromX, LONG toX, bool major) override;
    bool DrawColumns(HDC dc, LONG fromX, LONG toX, LONG originX, double first, double step, bool major) override;

private:
    HPEN GridPen(HDC dc, bool major) const;
};

} // namespace ChartDraw
