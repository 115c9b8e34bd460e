// The horizontal bands of a chart pane (channel lanes and the time axis): an ordered list of drawers in eight
// drawing layers, each drawn into the target or into a bitmap of its own and composed for painting.
#pragma once

#include "chartdraw/drawer.h"
#include "foundation/arrays.h"
#include "platform/com/objidl.h"
#include "sdk/charttimebase.h"
#include "sdk/scalecontrol.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ChartDraw {

// The time axis of the stretch a pane shows, as the time base reports it.
struct TimeContext {
    double secondsPerPixel = 0;
    double secondsAtOrigin = 0; // the time at pane x = originX
    LONG originX = 0;
    std::uint32_t formatWord = 2;  // clock-time format word
    std::uint32_t textFlags = 0;   // extra text flags of the labels
    double start = 0;
    double startOffset = 0;
    double origin = 0;
    double originOffset = 0;
    // Block numbers: shown at the record's start x, for every r-th block as the spacing ratio allows.
    bool showBlockNumbers = false;
    LONG record = 0;
    LONG recordStartX = 0;
    double blockSpacingRatio = 0;
};

// What a child pane needs of the data pane that owns it.
class ChildPaneOwner {
public:
    // The time axis of the view; false without a time base.
    virtual bool GetTimeContext(TimeContext&) const { return false; }
    virtual double DeviceScale() const { return 1.0; }
    // While the pane prints: the print device of its print word; null otherwise.
    virtual HDC PrintDevice() const { return nullptr; }
    virtual IDrawerDataPane* DrawerServices() = 0;
    // Layer bitmaps are kept when the scroll-copy option is on and the pane is not in no-controls mode.
    virtual bool KeepsLayerBitmaps() const = 0;
    virtual bool NoControlsMode() const = 0;
    virtual bool IsLive() const = 0;
    // Jump-on-start set and following the newest data.
    virtual bool JumpMode() const = 0;
    virtual int SweepCursor() const = 0;
    virtual void PerformPendingFullInvalidation() = 0;
    virtual void InvalidatePaneRect(const RECT& rect) = 0;
    virtual void ScrollPaneRect(const RECT& rect, LONGLONG amount) = 0;
    // The time base's limit tick, when the pane has a time base.
    virtual std::optional<LONGLONG> TimeBaseLimit() const = 0;
    virtual double TickToX(LONGLONG tick) const = 0;
    virtual COLORREF ContrastColourFor(COLORREF colour) const = 0;
    virtual double PixelsPerMm(HDC dc) const = 0;
    virtual POINT Margins() const = 0;

    // What a channel pane's lane scales need of the data pane.
    virtual HWND ScaleParent() const { return nullptr; }
    virtual DWORD PaneModeFlags() const { return 0; }
    virtual std::recursive_mutex* PaneLock() { return nullptr; }
    // While the user drags a lane scale, interactive objects keep still.
    virtual void SetNoInteraction(bool) {}
    // A lane's channel event (the end of a drag on one of its scales).
    virtual void NotifyChannelEvent(LONG /*paneIndex*/, LONG /*lane*/, LONG /*value*/, IUnknown* /*dragScale*/) {}
    virtual void ChannelSelectors(LONG /*index*/, LONG pair[2]) const
    {
        pair[0] = LONG(0x80000000);
        pair[1] = LONG(0xC0000000);
    }
    // Whether lane `lane` (1 or 2) of lane pane `index` waits to autoscale, and marking or ending that wait: the
    // data pane keeps the waits; without one a lane never waits.
    virtual bool AutoscaleMarked(LONG /*index*/, LONG /*lane*/) const { return false; }
    virtual void MarkAutoscale(LONG /*index*/, LONG /*lane*/, bool /*on*/) {}
    // The autoscale callback when one is set, else the autoscale message to the pane's observers.
    virtual void RequestAutoscale(const LONG /*selectorPair*/[2], LONG /*lane*/) {}
    // Gives the lanes that wait for a range (their pending-range bits) the range of the visible data.
    virtual void ApplyPendingRanges() {}
    // A message with its packed body to the observers of the data pane's subject.
    virtual void SendToObservers(DWORD /*id*/, const void* /*body*/, std::size_t /*size*/) {}
    // A framework message keyed by the subject's position; false without a subject or a position source.
    virtual bool SendFrameworkMessage(LONG /*kind*/, const void* /*body*/, std::size_t /*size*/) { return false; }
    virtual void DropDragRect() {}
    virtual void RefreshObjects() {}
    // The host's title of the channel shown in lane `paneIndex`; false when there is no channel source.
    virtual bool ChannelTitle(LONG /*paneIndex*/, std::u16string& /*text*/) const { return false; }
    // The recording's stretch the view shows; E_POINTER without a time base, S_FALSE when there is no data.
    virtual HRESULT VisibleTimeRange(ChartBlockPosition* /*start*/, ChartBlockPosition* /*end*/) const
    {
        return E_POINTER;
    }

protected:
    ~ChildPaneOwner() = default;
};

// Which ticks the columns of a draw cover: tick(x) = originTick + (x - originX) * ticksPerPixel, in `record`.
struct TickMapping {
    LONGLONG originTick = 0;
    LONG originX = 0;
    double ticksPerPixel = 1;
    LONG record = 0;
    const TimeDivisions* divisions = nullptr; // the pane's time grid, for the graticule
};

struct PaneLayer {
    static constexpr DWORD kOwnBitmap = 1u << 31;
    static constexpr DWORD kPending = 1u << 30;
    static constexpr DWORD kWhiteTransparent = 1u << 29;
    static constexpr DWORD kDrawn = 1u << 28;
    static constexpr DWORD kBlendOnly = 1u << 27;

    // A screen-compatible memory DC with its bitmap.
    struct Bitmap {
        Bitmap(int width, int height);
        ~Bitmap();
        Bitmap(const Bitmap&) = delete;
        Bitmap& operator=(const Bitmap&) = delete;
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ previous = nullptr;
        SIZE size{};
    };

    std::unique_ptr<RECT> blendArea;
    RECT pending{};
    LONG first = -1;
    LONG end = -1;
    DWORD flags = kWhiteTransparent;
    BYTE alpha = 255;
    std::shared_ptr<Bitmap> bitmap;

    bool HasDrawers() const { return first != end; }
    bool IsPending() const;
    // An empty span becomes [x0, x1); any other grows to cover it.
    void WidenPending(LONG x0, LONG x1);
    void Mark() { flags = (flags & ~kDrawn) | kPending; }
    void Validate()
    {
        pending = RECT{};
        flags &= ~kPending;
    }
};

struct ChildPaneBaseInit {
    DWORD identifier = 0;
    LONG leftOverhang = 0;
    LONG rightOverhang = 0;
    LONG paneIndex = 0;
    DWORD drawn = 0;
    LONG placement[2]{};
    RECT rect{};
    BYTE flag1 = 0;
    BYTE flag2 = 0;
    bool overhangStale = true;
};

} // namespace ChartDraw

template <>
struct InterfaceIdOf<IDragScaleObserver> {
    static constexpr const IID& value = IID_IDragScaleObserver;
};

namespace ChartDraw {

// Reads exactly `size` bytes of a pane's state; a short read is STG_E_READFAULT.
HRESULT ReadStateBytes(IStream* stream, void* into, ULONG size);

// Every band observes drag scales; a band without lane scales (the time axis) answers no drag notice.
class ChildPaneBase : public SimpleUnknownImp1<IDragScaleObserver, 0>, public ChildPaneBaseInit {
public:
    static constexpr int kLayers = 8;

    ChildPaneBase(LONG paneIndex, ChildPaneOwner* owner);
    // A copy of the settings and of every drawer (null drawers are skipped); layers start empty.
    ChildPaneBase(const ChildPaneBase& other);

    // IDragScaleObserver: E_NOTIMPL for a band without lane scales.
    HRESULT OnBeginDrag(LONG lane) override;
    HRESULT OnEndDrag(LONG lane) override;
    HRESULT OnScalingChanged(LONG lane, LONG reserved, const double* pixelTransform) override;
    HRESULT OnAutoScale(LONG lane) override;
    HRESULT GetDataRange(LONG lane, double* range, WORD* unscaled) override;

    virtual void DrawFrame(HDC dc);
    virtual HRESULT SetPlacement(DWORD identifier, const LONG pair[2], const RECT& rect);
    virtual HRESULT ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel);
    virtual HRESULT AddDrawer(DWORD flags, IChartRecordDrawer* drawer, BYTE alpha);
    virtual HRESULT RemoveDrawers(DWORD mask, LONG channel, DWORD selector);
    virtual HRESULT OnNewBlock(DWORD argument);
    virtual HRESULT OnLayoutChanged(LONG argument);
    virtual HRESULT OnSamplingStart(DWORD argument, bool flag);
    virtual HRESULT OnDataArrived(LONGLONG start, LONGLONG count, LONGLONG* newest);
    virtual HRESULT OnSamplingStop(LONG a, LONG b);
    virtual HRESULT Notify17(LONG a);
    virtual HRESULT Notify18(LONG a, LONG b);
    virtual HRESULT DrawLayers(HDC dc, const TickMapping& ticks, const RECT* clip, DWORD drawFlags, LONG context1,
                               LONG context2, int firstLayer, int lastLayer);
    virtual bool IsFlagged() const { return flag1 || flag2; }
    // The scales of lanes 1 and 2 (one reference, the value is not used): a band without lanes gives none and
    // S_FALSE.
    virtual HRESULT GetLaneScale1(LONG value, IScaleControl** out) const;
    virtual HRESULT GetLaneScale2(LONG value, IScaleControl** out) const;
    virtual HRESULT Notify28(LONG a);
    virtual void Paint(HDC dc, int sweepX, bool showSweep);
    virtual bool HitTest(POINT point) const;
    // The pane's rectangle meets the DC's clip box.
    bool IsVisibleIn(HDC dc) const;
    bool HasPendingLayer() const;

    void SetLayerArea(DWORD kind, const RECT& rect);
    static COLORREF ContrastColour(COLORREF colour, COLORREF background);

    // Layer-set operations.
    void Invalidate(LONG x0, LONG x1, int firstLayer, int endLayer, bool whole);
    void InvalidateAll();
    void ClearPending();
    void Resize(const RECT& rect);
    bool HasBlendedLayer() const;
    RECT PendingBounds() const;
    void ScrollLayers(LONG amount, bool copy);
    void ScrollOrRedraw(LONG amount, LONG x);
    void ScrollBy(LONG amount, bool inBitmaps);
    void InvalidateSpan(LONG x0, LONG x1);
    void ComputeUpdateSpan(const RECT* region, DWORD flags, LONG* x0, LONG* x1, bool refresh);

    const PaneLayer& Layer(int index) const { return layers_[index]; }
    PaneLayer& Layer(int index) { return layers_[index]; }
    std::uint32_t DrawerCount() const { return drawers_.Count(); }
    IChartRecordDrawer* DrawerAt(std::uint32_t index) const { return drawers_.At(index); }
    const RECT& LayerSetRect() const { return layerSet_; }
    ChildPaneOwner* Owner() const { return owner_; }

protected:
    ~ChildPaneBase() override;

    // Passes a notice to every drawer in array order.
    template <class... Params, class... Args>
    HRESULT Forward(HRESULT (IChartRecordDrawer::*operation)(Params...), Args... args)
    {
        for (IChartRecordDrawer* drawer : drawers_) {
            (drawer->*operation)(static_cast<Params>(args)...);
        }
        return S_OK;
    }

    void RecomputeRanges();
    void MeasureOverhangs();
    void DrawLayerDrawers(HDC target, int layer, const RECT& drawRect, const TickMapping& ticks, DWORD drawFlags,
                          LONG context1, LONG context2);
    void ComposeIntoLayer0(int layer);

private:
    ChildPaneOwner* owner_;
    InterfaceArray<IChartRecordDrawer> drawers_{8, 8, true};
    std::array<PaneLayer, kLayers> layers_;
    RECT layerSet_{};
};

} // namespace ChartDraw
