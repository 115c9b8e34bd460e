#include "chartdraw/tracedrawers.h"

#include "sdk/chartchannelsettings.h"

#include "foundation/defaultcolours.h"

#include <algorithm>
#include <cmath>

namespace ChartDraw {
namespace {

// The x positions from x to the clip's right edge; the point source ends them at the data's end.
LONG Positions(const RECT& clip, LONG x) { return std::max<LONG>(clip.right - x, 0); }

// The process-wide trace palette's colour for a channel, spread through its order table.
COLORREF DefaultColour(LONG channel)
{
    KVO::SelectDefaultPalette(1);
    const KVO::DefaultColourState& state = KVO::GetDefaultColourState();
    const int n = state.cycleLength;
    if (!state.table || n <= 0) {
        return RGB(0, 0, 0);
    }
    const int o = state.cycleStart;
    const int slot = static_cast<int>(std::max<LONG>(channel, 0) % n);
    int position = slot;
    if (state.order && o + slot < state.orderLength) {
        position = state.order[o + slot] % n;
    }
    return state.table[o + position];
}

} // namespace

const std::array<DWORD, kChartPointBatch / 2>& PolyLineTraceDrawer::SegmentCounts()
{
    static const auto counts = [] {
        std::array<DWORD, kChartPointBatch / 2> c{};
        c.fill(2);
        return c;
    }();
    return counts;
}

PolyLineTraceDrawer::PolyLineTraceDrawer(LONG lane, const COLORREF* colour, DWORD style, DWORD kind, LONG channel,
                                         DWORD subSelector, LONG alternate, DWORD alternateSelector)
    : DrawerBase(kind, channel, subSelector, alternate, alternateSelector), style_(style & 0xFFFF),
      colour_(colour ? *colour : DefaultColour(channel)), lane_(lane)
{
    SegmentCounts();
}

// A copy keeps the settings, style, colour, lane and pen width; scale and interfaces start afresh.
PolyLineTraceDrawer::PolyLineTraceDrawer(const PolyLineTraceDrawer& other)
    : DrawerBase(other), style_(other.style_), colour_(other.colour_), lane_(other.lane_), penWidth_(other.penWidth_)
{
}

HRESULT PolyLineTraceDrawer::SetDataSource(LONG reserved, IUnknown* source)
{
    DrawerBase::SetDataSource(reserved, source);
    sweep_.Reset();
    if (source) {
        source->QueryInterface(IID_IChartSweep, sweep_.OutVoid());
    }
    block_.Reset();
    baseTick_ = 0;
    return S_OK;
}

HRESULT PolyLineTraceDrawer::GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG)
{
    if (flags) *flags = 0x60000000;
    if (left) *left = 1;
    if (right) *right = 0;
    return S_OK;
}

HRESULT PolyLineTraceDrawer::GetUnitText(LONG laneIndex, LONG record, IKVOString** text, WORD* flag)
{
    if (text) {
        *text = nullptr;
    }
    if (channel < 0 || laneIndex != lane_ || !DataServer()) {
        return S_FALSE;
    }
    if (flag) {
        *flag = 0;
        DataServer()->GetChannelFlag(RequestFlags(), record, channel, flag);
    }
    return text ? DataServer()->GetUnitText(RequestFlags(), record, channel, text) : S_OK;
}

HRESULT PolyLineTraceDrawer::OnScaleChanged(LONG lane, LONG, const double scale[2], IUnknown*)
{
    if (lane != lane_) {
        return S_FALSE;
    }
    if (scale) {
        yScale_ = scale[0];
        yOffset_ = scale[1];
    }
    block_.Reset();
    return S_OK;
}

HRESULT PolyLineTraceDrawer::OnNewBlock(DWORD)
{
    if (sampling) {
        if (DataSource()) {
            DataSource()->GetBaseTick(0, &baseTick_);
        }
        block_.Reset();
    }
    return S_OK;
}

HRESULT PolyLineTraceDrawer::Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x,
                                  const RECT& clip, DWORD flags, const TimeDivisions*, LONG)
{
    lastX_ = 0;
    if (flags & kDrawDropCached) {
        block_.Reset();
    }
    int saved = 0;
    if (block_ && !sweep_) {
        // Incremental drawing: continue the cached block when the stretch starts where it stopped.
        double start = 0;
        block_->GetStart(&start);
        const LONGLONG blockStart = static_cast<LONGLONG>(start);
        LONGLONG relative = from - baseTick_;
        if (relative == blockStart - 1) {
            ++from;
            ++x;
            relative = blockStart;
        }
        LONGLONG continueTick = blockStart;
        if (relative != blockStart) {
            block_->GetContinueTick(&continueTick);
        }
        if (relative == continueTick) {
            lastX_ = x + DrawPoints(dc, Positions(clip, x), x, 0, colour_);
            if (!(flags & kDrawKeepCached)) {
                block_.Reset();
            }
            return S_OK;
        }
        block_.Reset();
    }
    if (offset < 0) {
        const LONGLONG start = from - offset;
        if (to <= start) {
            return S_OK;
        }
        saved = SaveDC(dc);
        IntersectClipRect(dc, std::max<LONG>(clip.left, x), clip.top, clip.right, clip.bottom);
    }
    LONG wrap = -1;
    if (sweep_) {
        platform::ComPtr<IChartSweepState> state;
        if (SUCCEEDED(sweep_->GetSweepState(state.Out())) && state) {
            state->GetWrapPosition(&wrap);
        }
    }
    if ((!block_ || wrap >= 0) && DataServer() && channel >= 0) {
        block_.Reset();
        const DWORD request = (RequestFlags() & 0x7DFFFFFFu) | 0x02000000u;
        DataServer()->NewPointSource(request, channel, from, to, record, -1, 0x7FFFFFFF, yScale_, yOffset_, style_,
                                     block_.Out());
    }
    LONG state = 0;
    if (block_ && sweep_ && SUCCEEDED(sweep_->GetState(&state)) && state == 3 && !DrawWhilePaused()) {
        // Paused: nothing is drawn and the block is kept for when the sweep goes on.
        if (saved) {
            RestoreDC(dc, saved);
        }
        return S_OK;
    }
    if (block_) {
        BeforeDrawing(record);
        BeginPoints(dc, x, clip.right);
        lastX_ = sweep_ ? DrawSweepParts(dc, x, clip, flags & kDrawColourModeMask)
                        : x + DrawPoints(dc, Positions(clip, x), x, flags & kDrawColourModeMask, colour_);
        EndPoints(dc);
    }
    if (!(flags & kDrawKeepCached)) {
        block_.Reset();
    }
    if (saved) {
        RestoreDC(dc, saved);
    }
    return S_OK;
}

LONG PolyLineTraceDrawer::DrawSweepParts(HDC dc, LONG x, const RECT& clip, DWORD colourMode)
{
    while (x < clip.right) {
        double firstTick = 0;
        LONG originX = 0;
        LONG end = x;
        if (FAILED(sweep_->GetSweepOrigin(x, &firstTick, &originX)) || FAILED(sweep_->GetPartEnd(x, &end)) ||
            end <= x) {
            break;
        }
        block_->SetOrigin(firstTick, originX);
        const LONG count = std::min(end, clip.right) - x;
        const LONG consumed = DrawPoints(dc, count, x, colourMode, colour_);
        if (consumed < count) {
            return x + consumed; // the data ends inside the part
        }
        x += count;
    }
    return x;
}

COLORREF PolyLineTraceDrawer::PenColour(DWORD colourMode, COLORREF colour)
{
    if (!sweep_ || (colourMode != 2 && colourMode != 3)) {
        return colour_;
    }
    if (colourMode == 3) {
        COLORREF hooked = colour_;
        TraceColour(&hooked, 0, colour);
        return hooked;
    }
    // Black and white output: black; style 1 lightens it, each channel raised by
    // trunc((3 x 240 - r - g - b) x (50 / 180) / 3), to a dark grey RGB(66, 66, 66).
    const BYTE grey = style_ == 1 ? static_cast<BYTE>(std::trunc(3 * 240 * (50.0 / 180.0) / 3)) : 0;
    COLORREF ink = RGB(grey, grey, grey);
    if (IDrawerDataPane* services = Services()) {
        services->GetContrastColour(ink, &ink);
    }
    return ink;
}

LONG PolyLineTraceDrawer::DrawPoints(HDC dc, LONG count, LONG x, DWORD colourMode, COLORREF colour)
{
    if (!block_) {
        return 0;
    }
    WORD printing = 0;
    double scale = 1.0;
    if (IDrawerDataPane* services = Services()) {
        DWORD word = 0;
        services->GetPrintWord(0, &word);
        printing = word ? 0xFFFF : 0;
        double sy = 1.0;
        services->GetDeviceScale(0, &scale, &sy);
    }
    const int width = printing ? static_cast<int>(std::trunc(penWidth_ * scale)) : 1;
    const COLORREF ink = PenColour(colourMode, colour);
    HPEN pen = nullptr;
    if (printing) {
        const LOGBRUSH brush{BS_SOLID, ink, 0};
        pen = ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT, static_cast<DWORD>(std::max(width, 1)), &brush, 0, nullptr);
    } else {
        pen = CreatePen(PS_SOLID, 1, ink);
    }
    HGDIOBJ previous = SelectObject(dc, pen);
    std::array<POINT, kChartPointBatch> points; // one fixed buffer per call: no allocation per batch
    LONG consumedTotal = 0;
    while (count > 0) {
        LONG pointCount = 0;
        LONG consumed = 0;
        if (FAILED(block_->GetPoints(x, count, points.data(), kChartPointBatch, &pointCount, &consumed))) {
            break;
        }
        pointCount = std::clamp<LONG>(pointCount, 0, kChartPointBatch) & ~1;
        if (pointCount > 0) {
            if (printing && style_ != 1 && pointCount > 1) {
                for (LONG i = 0; i + 1 < pointCount; i += 2) {
                    if (points[i].x == points[i + 1].x) {
                        points[i + 1].y += static_cast<LONG>(std::trunc(scale - 1.0));
                    }
                }
            }
            PolyPolyline(dc, points.data(), SegmentCounts().data(), static_cast<DWORD>(pointCount / 2));
        }
        const LONG asked = count;
        consumed = std::clamp<LONG>(consumed, 0, count);
        count -= consumed;
        x += consumed;
        consumedTotal += consumed;
        if (consumed < asked && pointCount < kChartPointBatch) {
            break;
        }
    }
    SelectObject(dc, previous);
    DeleteObject(pen);
    return consumedTotal;
}

HRESULT PolyLineTraceDrawer::GetLatestTick(LONG, LONG, LONGLONG, LONGLONG, LONGLONG* tick)
{
    if (!block_ || !tick) {
        return S_FALSE;
    }
    double extent = 0;
    block_->GetStart(&extent);
    *tick = baseTick_ + static_cast<LONGLONG>(extent);
    return S_OK;
}

HRESULT PolyLineTraceDrawer::OnSamplingStop(LONG r0, LONG r1)
{
    DrawerBase::OnSamplingStop(r0, r1);
    block_.Reset();
    return S_OK;
}

HRESULT PolyLineTraceDrawer::RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d,
                                         LONG_PTR e)
{
    if (lane != lane_ || !DataServer()) {
        return S_FALSE;
    }
    const DWORD style = option ? styleFlags & ~0x3000u : styleFlags;
    const DWORD request = (((style | flags) & ~0xFFu) | (subSelector & 0xFF)) | 0x82000100u;
    return DataServer()->RequestData(request, channel, a, b, c, d, 0, 0, 0, e);
}

HRESULT PolyLineTraceDrawer::GetLane(LONG* lane)
{
    if (!lane) {
        return E_INVALIDARG;
    }
    *lane = lane_;
    return S_OK;
}

HRESULT PolyLineTraceDrawer::ApplyChannelSettings(IUnknown* settings, IUnknown*, LONG channelArgument)
{
    const bool alternate = subSelector == 4 && alternateChannel != kNoAlternateChannel;
    const LONG picked = alternate ? alternateChannel : channel;
    const DWORD pickedSelector = alternate ? alternateSubSelector : subSelector;
    if (!settings || (channelArgument != -1 && channelArgument != picked)) {
        return S_OK;
    }
    platform::ComPtr<IChartChannelSettings> channelSettings;
    if (FAILED(settings->QueryInterface(IID_IChartChannelSettings, reinterpret_cast<void**>(channelSettings.Out()))) ||
        !channelSettings) {
        return S_OK;
    }
    // Each value is kept as it was when the settings do not give it.
    DWORD style = style_;
    if (SUCCEEDED(channelSettings->GetStyle(2, &style))) {
        style_ = style & 0xFFFF;
    }
    COLORREF colour = colour_;
    if (SUCCEEDED(channelSettings->GetColour(0x80000000u, static_cast<LONG>(pickedSelector), &colour))) {
        colour_ = colour;
    }
    LONG width = penWidth_;
    if (SUCCEEDED(channelSettings->GetPenWidth(&width))) {
        penWidth_ = width;
    }
    DropCachedData(0);
    return S_OK;
}

HRESULT PolyLineTraceDrawer::DropCachedData(LONG)
{
    block_.Reset();
    return S_OK;
}

HRESULT PolyLineTraceDrawer::Clone(DWORD, IChartRecordDrawer** copy)
{
    // Every trace drawer clones into a plain poly-line drawer.
    return CloneAs(static_cast<const PolyLineTraceDrawer&>(*this), copy);
}

CustomUnitsPolyLineTraceDrawer::CustomUnitsPolyLineTraceDrawer(std::unique_ptr<UnitMapper> mapper, LONG lane,
                                                               const COLORREF* colour, DWORD style, DWORD kind,
                                                               LONG channel, DWORD subSelector)
    : PolyLineTraceDrawer(lane, colour, style, kind, channel, subSelector), mapper_(std::move(mapper))
{
}

HRESULT CustomUnitsPolyLineTraceDrawer::GetUnitText(LONG laneIndex, LONG record, IKVOString** text, WORD* flag)
{
    if (text) {
        *text = nullptr;
    }
    if (!mapper_ || laneIndex != lane_ || !DataServer()) {
        return S_FALSE;
    }
    platform::ComPtr<IKVOString> unit;
    const HRESULT hr = DataServer()->GetUnitText(mapper_->Flags() | 0x1000, record, mapper_->Channel(), unit.Out());
    if (flag) {
        *flag = hr == S_OK ? 0 : 0xFFFF;
    }
    if (text && unit) {
        LONG extra = 0;
        mapper_->MapUnit(text, unit.Get(), 1, &extra);
    }
    return hr == S_OK ? S_FALSE : S_OK;
}

HRESULT CustomUnitsPolyLineTraceDrawer::GetUnitTextEx(LONG laneIndex, LONG record, IKVOString** text, WORD* flag,
                                                      double* range, double*, double*)
{
    if (range && !option) {
        range[0] = range[1] = 0.0;
    }
    return GetUnitText(laneIndex, record, text, flag);
}

HRESULT NullTraceDrawer::GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG)
{
    if (flags) *flags = 0x60000000;
    if (left) *left = 0;
    if (right) *right = 0;
    return S_OK;
}

HRESULT NullTraceDrawer::GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick)
{
    const HRESULT hr = PolyLineTraceDrawer::GetLatestTick(r0, r1, start, count, tick);
    if (hr == S_OK) {
        *tick -= tickCorrection_;
    }
    return hr;
}

HRESULT NullTraceDrawer::GetUnitText(LONG, LONG, IKVOString** text, WORD*)
{
    if (text) {
        *text = nullptr;
    }
    return S_FALSE;
}

HRESULT NullTraceDrawer::RequestData(DWORD, LONG, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) { return S_FALSE; }

LONG NullTraceDrawer::DrawPoints(HDC, LONG count, LONG x, DWORD, COLORREF)
{
    if (!block_) {
        return 0;
    }
    std::array<POINT, kChartPointBatch> points;
    while (count > 0) {
        const LONG ask = std::min(count, wrapLimit_ - x);
        LONG pointCount = 0;
        LONG consumed = 0;
        if (FAILED(block_->GetPoints(x, ask, points.data(), kChartPointBatch, &pointCount, &consumed)) ||
            (consumed <= 0 && pointCount <= 0)) {
            break;
        }
        consumed = std::clamp<LONG>(consumed, 0, count);
        count -= consumed;
        x += consumed;
        if (x >= wrapLimit_) {
            x -= wrapLimit_;
        }
    }
    return count == 0 ? 1 : 0;
}

} // namespace ChartDraw
