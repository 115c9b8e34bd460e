// Channel traces: the samples of one channel drawn as line segments, batch by batch from the host's point source.
#pragma once

#include "chartdraw/drawer.h"

#include <array>
#include <memory>

namespace ChartDraw {

class PolyLineTraceDrawer : public DrawerBase {
public:
    PolyLineTraceDrawer(LONG lane, const COLORREF* colour, DWORD style, DWORD kind, LONG channel, DWORD subSelector,
                        LONG alternate = kNoAlternateChannel, DWORD alternateSelector = kNoAlternateSelector);
    PolyLineTraceDrawer(const PolyLineTraceDrawer& other);

    HRESULT SetDataSource(LONG reserved, IUnknown* source) override;
    HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) override;
    HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) override;
    HRESULT OnScaleChanged(LONG lane, LONG reserved, const double scale[2], IUnknown* source) override;
    HRESULT OnNewBlock(DWORD argument) override;
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x, const RECT& clip,
                 DWORD flags, const TimeDivisions* divisions, LONG word) override;
    HRESULT GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick) override;
    HRESULT OnSamplingStop(LONG r0, LONG r1) override;
    HRESULT RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR e) override;
    HRESULT GetLane(LONG* lane) override;
    HRESULT DropCachedData(LONG reserved) override;
    // Style, colour and pen width from the channel's settings (`IChartChannelSettings`), for channel -1 or the
    // drawer's own (its alternate one for sub-selector 4).
    HRESULT ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel) override;
    HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) override;

    // Hooks for derived drawers around a drawing of the points: before the stretch is placed (with the record), and
    // before (with the x range to draw) and after the points are drawn.
    virtual void BeginPoints(HDC, LONG /*fromX*/, LONG /*toX*/) {}
    virtual void EndPoints(HDC) {}
    virtual void BeforeDrawing(LONG /*record*/) {}
    // Draws `count` positions from x on in the drawer's colour, or on a sweep display in the colour of the colour
    // mode (2: black and white output; 3: `TraceColour` of `colour`); returns the positions consumed.
    virtual LONG DrawPoints(HDC dc, LONG count, LONG x, DWORD colourMode, COLORREF colour);
    // The colour of colour mode 3: the colour it is given.
    virtual void TraceColour(COLORREF* out, LONG /*reserved*/, COLORREF colour) { *out = colour; }
    // Whether a paused sweep display still draws the trace.
    virtual bool DrawWhilePaused() const { return false; }
    IChartSweep* Sweep() const { return sweep_.Get(); }

    COLORREF Colour() const { return colour_; }
    DWORD Style() const { return style_; }
    LONG PenWidth() const { return penWidth_; }
    double YScale() const { return yScale_; }
    LONG LastX() const { return lastX_; }
    IChartPointSource* CachedBlock() const { return block_.Get(); }

    // The counts handed to PolyPolyline: every polyline is one segment of two points.
    static const std::array<DWORD, kChartPointBatch / 2>& SegmentCounts();

private:
    // The pen colour for a colour mode (Draw's flags' low byte) and DrawPoints' colour; only a sweep display's
    // drawing heeds the mode.
    COLORREF PenColour(DWORD colourMode, COLORREF colour);
    // Sweep mode: each part of the stretch (the newest sweep left of the wrap, the older one right of it) is drawn
    // where the sweep display places it; returns the x after the last point.
    LONG DrawSweepParts(HDC dc, LONG x, const RECT& clip, DWORD colourMode);

protected:
    LONGLONG baseTick_ = 0;
    double yScale_ = 1.0;
    double yOffset_ = 0.0;
    platform::ComPtr<IChartPointSource> block_;
    // Present only for data sources that draw in sweep mode.
    platform::ComPtr<IChartSweep> sweep_;
    DWORD style_;
    COLORREF colour_;
    LONG lane_;
    LONG wrapLimit_ = 0x7FFFFFFF;
    LONG lastX_ = 0;
    LONG penWidth_ = 1;
};

// Maps a channel's unit text to the unit the trace is shown in.
class UnitMapper {
public:
    UnitMapper(LONG channel, DWORD flags) : channel_(channel), flags_(flags) {}
    virtual ~UnitMapper() = default;
    // The text to show for `unit` (one reference), and an extra word.
    virtual HRESULT MapUnit(IKVOString** out, IKVOString* unit, LONG reserved, LONG* extra) = 0;
    LONG Channel() const { return channel_; }
    DWORD Flags() const { return flags_; }

private:
    LONG channel_;
    DWORD flags_;
};

// A trace drawer whose unit text comes through its own unit mapper.
class CustomUnitsPolyLineTraceDrawer : public PolyLineTraceDrawer {
public:
    CustomUnitsPolyLineTraceDrawer(std::unique_ptr<UnitMapper> mapper, LONG lane, const COLORREF* colour, DWORD style,
                                   DWORD kind, LONG channel, DWORD subSelector);
    HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) override;
    HRESULT GetUnitTextEx(LONG lane, LONG record, IKVOString** text, WORD* flag, double* range, double* limits,
                          double* scale) override;

private:
    std::unique_ptr<UnitMapper> mapper_;
};

// Reads the points so that the data keeps flowing, and draws nothing.
class NullTraceDrawer : public PolyLineTraceDrawer {
public:
    using PolyLineTraceDrawer::PolyLineTraceDrawer;
    HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) override;
    HRESULT GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick) override;
    HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) override;
    HRESULT RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR e) override;
    LONG DrawPoints(HDC dc, LONG count, LONG x, DWORD colourMode, COLORREF colour) override;

private:
    LONG tickCorrection_ = 0;
};

} // namespace ChartDraw
