// The data pane of a preview chart: channel lanes over a time scale, a horizontal view onto a recording at a
// rational compression (ticks per pixel), the scroll bar's scaled range, wheel zoom and scrolling, following the
// newest data while the host samples, and painting the lanes block by block.
#pragma once

#include "chartdraw/channelpane.h"
#include "chartdraw/interactiveobjects.h"
#include "chartdraw/timescale.h"
#include "foundation/bitset.h"
#include "foundation/rational.h"
#include "sdk/chartcomment.h"
#include "sdk/previewsampling.h"
#include "sdk/charttimebase.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace owl {
class TCommandEnabler;
}

namespace ChartDraw {

class ScrollBar;
class ZoomControl;

// The horizontal scroll bar as the pane drives it (the window supplies it).
class PaneScrollBar {
public:
    struct State {
        LONG minimum = 0;
        LONG maximum = 0;
        LONG page = 0;
        LONG position = 0;
        LONG trackPosition = 0;
    };
    virtual void Enable(bool on) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void SetMagnitudes(LONG page, LONG line) = 0;
    virtual LONG PageMagnitude() const = 0;
    virtual LONG LineMagnitude() const = 0;
    virtual State GetState() const = 0;
    virtual void SetRange(const State& state) = 0;
    virtual void SetPosition(LONG position, bool redraw) = 0;
    virtual ~PaneScrollBar() = default;
};

// Scroll codes of the scroll bar.
enum class ScrollCode { LineUp = 0, LineDown, PageUp, PageDown, ThumbPosition, ThumbTrack, Top, Bottom, EndScroll };

// What the pane tells the objects that overlay it (markers and the like).
enum class PaneNotice { SamplingStarted, DataArrived, SamplingEnded, BeforeScroll, AfterScroll, Redraw, ScrollRange };

// The lanes of a chart as its users see them: how many there are and each lane's scales.
struct IKVOChartLanes : IUnknown {
    virtual HRESULT GetLaneCount(LONG* count) = 0;                                   // 3
    virtual HRESULT SetLaneCount(LONG count) = 0;                                    // 4
    virtual HRESULT Reserved5() = 0;                                                 // 5
    virtual HRESULT Reserved6() = 0;                                                 // 6
    virtual HRESULT GetLaneInformation(LONG index, LONG lane, IUnknown** out) = 0;   // 7

protected:
    ~IKVOChartLanes() = default;
};
// {4C7D2E85-B1A6-4F39-8E02-D5A9736C1B48}
inline constexpr IID IID_IKVOChartLanes{0x4C7D2E85, 0xB1A6, 0x4F39, {0x8E, 0x02, 0xD5, 0xA9, 0x73, 0x6C, 0x1B, 0x48}};

// A print device as a 32-bit print word (0 for none), kept until it is forgotten, and the device of a word.
DWORD PrintWordFor(HDC printDevice);
HDC PrintDeviceOf(DWORD printWord);
void ForgetPrintWord(DWORD printWord);

class DataPane : public ChildPaneOwner, public InteractiveObjectContainer {
public:
    static constexpr DWORD kModeDetached = 1u << 18;
    static constexpr DWORD kModeNoObjectRefresh = 1u << 29;
    static constexpr DWORD kModeNoControls = 1u << 23;
    static constexpr DWORD kPaneFlagNoFollow = 1u << 27;
    // The top eight layout-flag bits: everything is drawn again.
    static constexpr DWORD kRedrawAll = 0xFF000000u;

    // The view callbacks receive (0, compression, block, seconds at the right edge).
    using ViewCallback = std::function<void(LONG, double, LONG, double)>;

    DataPane();
    virtual ~DataPane();
    DataPane(const DataPane&) = delete;
    DataPane& operator=(const DataPane&) = delete;

    // --- structure
    void SetTimeBase(IChartTimeBase* timeBase);
    // Puts the view's right edge at an absolute pixel (clamped to the recording).
    void SetRightEdge(LONGLONG rightEdge);
    IChartTimeBase* TimeBase() const { return timeBase_.Get(); }
    void SetScrollBar(PaneScrollBar* scrollBar) { scrollBar_ = scrollBar; }
    // Grows or shrinks the lanes to n; lanes are laid out again.
    void SetLaneCount(std::size_t count);
    std::size_t LaneCount() const { return channels_.size(); }
    ChannelPane* Lane(std::size_t index) const { return channels_.at(index); }
    TimeScale* Scale() const { return timeScale_; }
    void SetSize(LONG width, LONG height);
    LONG Width() const { return width_; }
    LONG Height() const { return height_; }
    LONG Visible() const { return width_ - 2 * Margin(); }
    virtual LONG Margin() const { return 1; }
    virtual LONG SecondMargin() const { return 1; }
    void SetLaneGeometry(const std::vector<LONG>& tops, const std::vector<LONG>& heights);
    void SetBackgroundColour(COLORREF colour) { background_ = colour; }
    // Printing: the print word names the device (PrintWordFor); the time scale takes its font for it.
    void BeginPrinting(DWORD printWord);
    void EndPrinting();
    DWORD PrintWord() const { return printWord_; }
    HDC PrintDevice() const override;
    COLORREF BackgroundColour() const { return background_; }
    // The chart's appearance: the background colour from a settings object that has one, and the three values to
    // the time scale and every lane's drawers; the per-channel entries follow the number of lanes.
    void SetAppearance(IUnknown* settings, IUnknown* displaySettings, LONG channel);
    // A lane's scale of kind 1 or 2 (one reference; null when the lane has none); E_INVALIDARG for another index
    // or kind. Through the lanes redirection object while one is set.
    HRESULT GetLaneScale(LONG index, LONG value, LONG lane, IUnknown** out);
    // The entry of the lane that the channel policy finds for (channel, selector); E_INVALIDARG when none.
    HRESULT GetChannelEntry(LONG channel, DWORD selector, LONG* out) const;
    // The channel policy: the lane of a channel, -1 when no lane shows it (lane i shows channel i).
    virtual LONG LaneOfChannel(LONG channel, DWORD selector) const;
    // Every pane draws the sweep cursor from its layer bitmaps (shown in jump mode).
    void DrawSweepCursor(HDC dc);
    // -1 over the time scale, the index of the lane under the point, else kNoLane (also outside the data area).
    LONG HitTestLane(POINT point) const;
    static constexpr LONG kNoLane = static_cast<LONG>(0x80000000u);
    // The first lane's scale of kind 1 or 2 takes a colour (on or off) through its notice interface; E_FAIL
    // without lanes, for another kind, or when the scale or its notice interface is missing.
    HRESULT SetLaneScale(COLORREF colour, LONG lane, bool on);
    // Bit 23: no controls (black background shown as white to the drawers); bit 18: detached from the sink.
    DWORD modeFlags = 0x80000000u;
    DWORD paneFlags = 0xC0000000u;
    DWORD extraDrawFlags = 0;
    // The channel whose units the lanes ask their drawers for: copied into every lane made after it is set, and
    // given to the drawers with the mode flags.
    DWORD unitChannel = 0;
    // 1: Ctrl+wheel does not zoom, scrolling does not synchronise, the start notice does not jump.
    DWORD viewMode = 0;
    WORD paintSuspended = 0; // read by the data windows
    WORD alternativePaint = 0; // not 0: the window paints frames and background only
    bool scrollCopy = true;

    // --- compression and the view
    KVORationalImp GetCompression() const;
    // False (and nothing changed) for a compression that is not positive or that the time base refuses.
    bool SetCompression(const KVORationalImp& compression, const POINT* anchor, bool notify);
    void ZoomStep(bool in);
    LONGLONG RightEdge() const { return rightEdge_; }
    LONGLONG Extent() const;
    LONG ScrollScale() const { return scrollScale_; }
    void ScrollLines(ScrollCode code) { Scroll(code, 1.0); }
    void Scroll(ScrollCode code, double factor);
    void EndScroll(bool notify);
    bool OnMouseWheel(DWORD keys, LONG delta, POINT point);
    void ScrollBy(LONGLONG delta);
    void UpdateScrollBar();
    void ClampRightEdge();
    void ScrollToPosition(const ChartBlockPosition& position, LONG placement);
    // Puts a recording position at the view's left edge (within the recording) and moves the view there.
    void SetLeftEdgeTime(const ChartBlockPosition& position);
    // The recording position at the view's left edge, its tick as a 32-bit time; E_FAIL without a time base.
    HRESULT GetLeftEdgeTime(ChartBlockPosition* position) const;
    void GoToNewest();
    void Invalidate(DWORD flags);
    bool ThumbTracking() const { return thumbTracking_; }

    bool IsFollowingNewest() const { return live_ && follow_; }
    void SetFollowNewest(bool on, bool notify);
    void SetJumpToNewestOnStart(bool on) { jumpOnStart_ = on; }
    void SetLive(bool on) { live_ = on; }

    // --- sampling notices (each goes to the time base first)
    HRESULT SamplingStarted(DWORD value);
    HRESULT BlockStarted(LONG block, double tickSeconds, bool continues);
    HRESULT NewData(LONGLONG samples);
    HRESULT SamplingStopped(DWORD a, DWORD b);
    HRESULT AfterStop(bool flag);
    HRESULT RangeNotice(DWORD a, DWORD b);
    // The recording's extent in pixels when the last sampling started.
    LONGLONG SamplingStartExtent() const { return samplingStartExtent_; }
    HRESULT GetUpdateInterval(DWORD* milliseconds) const;
    // The owner's object that hears when the pane starts showing sampling live and when that sampling has ended
    // (one reference held; null for none).
    virtual void SetSamplingStateListener(ISamplingStateListener* listener) { samplingListener_ = listener; }
    virtual void OnFirstData() {}
    int SweepCursor() const override { return sweep_; }
    bool BlockOpen() const { return blockOpen_; }

    // --- painting
    // Paints what the lanes report pending over the span [x0, x1) of pane x.
    void PaintSpan(HDC dc, const RECT& clip, LONG x0, LONG x1);
    void PaintLayers(HDC dc, const RECT& paintRect);
    // A pane without data: frames and background only.
    void PaintBlank(HDC dc);
    // Redraws the neighbourhood of a mark (the event extent to either side) in the lane of the mark's channel, or
    // in the time scale and every lane for a mark of all channels. `position` goes to the time base with the
    // mark's place; `value` plays no part. Nothing happens for a mark without a place or with a channel that no
    // lane shows, nor while the mark lies outside the view.
    void RedrawSpan(LONGLONG position, LONG value, IChartMark* mark);
    // The widest left reach of the time scale's event drawers (kinds 1025 to 1536), measured on first need.
    LONG EventExtent();
    // [x0, x1) of the time scale and every lane (kAllBands), the time scale (-1) or lane `lane`.
    void InvalidateLaneSpan(LONG lane, LONG x0, LONG x1);
    static constexpr LONG kAllBands = -2;

    // --- the owner's callbacks
    ViewCallback onCompressionChanged;
    ViewCallback onScrollEnded;
    ViewCallback onViewPosition;
    std::function<void(LONG)> onViewChanged;
    std::function<void(bool)> onFollowChanged;
    std::function<void()> onGoToNewest;
    std::function<void(LONGLONG)> onDataPosition;
    std::function<void(LONG, bool)> onBlockStart;
    std::function<void(PaneNotice)> onNotice;
    std::function<void(bool)> onSamplingState;
    // The overlay callback, after every paint: the DC, the data area, the time base and a redraw requester that
    // invalidates a rectangle of the pane; true asks for the data area to be painted again.
    using RedrawRequester = std::function<void(const RECT&)>;
    std::function<bool(HDC, const RECT&, IChartTimeBase*, const RedrawRequester&)> onOverlay;
    // The channel callback: a lane's channel event as (channel, drag scale, value, lane).
    std::function<void(LONG, IUnknown*, LONG, LONG)> onChannelEvent;
    std::function<void(const RECT&)> onInvalidate;
    // Time and keys, replaceable for tests.
    std::function<DWORD()> tickCount;
    std::function<bool()> ctrlDown;
    std::function<std::optional<ChartBlockPosition>()> subjectPosition;
    // The autoscale callback (channel selector pair, lane); without it the request goes to the observers.
    std::function<void(const LONG[2], LONG)> onAutoscale;
    // The pane's subject: a message id and its packed body to the pane's observers.
    std::function<void(DWORD, const void*, std::size_t)> onSubjectMessage;
    // The host subject's framework message (key position, kind, packed body); unset when there is no subject.
    std::function<void(const ChartBlockPosition&, LONG, const void*, std::size_t)> onFrameworkMessage;
    HWND scaleParent = nullptr;
    // The host's channel source: the title of the channel in a lane; unset when the pane has no source.
    std::function<std::optional<std::u16string>(LONG)> channelTitle;
    bool ChannelTitle(LONG paneIndex, std::u16string& text) const override
    {
        const std::optional<std::u16string> title = channelTitle ? channelTitle(paneIndex) : std::nullopt;
        if (title) {
            text = *title;
        }
        return title.has_value();
    }

    std::recursive_mutex& Lock() { return lock_; }

    // ChildPaneOwner
    bool GetTimeContext(TimeContext& context) const override;
    IDrawerDataPane* DrawerServices() override { return &services_; }
    bool KeepsLayerBitmaps() const override { return scrollCopy && !(modeFlags & kModeNoControls); }
    bool NoControlsMode() const override { return (modeFlags & kModeNoControls) != 0; }
    bool IsLive() const override { return live_; }
    bool JumpMode() const override { return jumpOnStart_ && IsFollowingNewest(); }
    void PerformPendingFullInvalidation() override {}
    void InvalidatePaneRect(const RECT& rect) override;
    void ScrollPaneRect(const RECT& rect, LONGLONG amount) override;
    std::optional<LONGLONG> TimeBaseLimit() const override;
    double TickToX(LONGLONG tick) const override;
    COLORREF ContrastColourFor(COLORREF colour) const override;
    double PixelsPerMm(HDC) const override { return 3.7795276158179276; }
    POINT Margins() const override { return POINT{Margin(), SecondMargin()}; }
    HWND ScaleParent() const override { return scaleParent; }
    DWORD PaneModeFlags() const override { return modeFlags; }
    std::recursive_mutex* PaneLock() override { return &lock_; }
    void SetNoInteraction(bool on) override { noInteraction_ = on; }
    bool NoInteraction() const { return noInteraction_; }
    void RequestAutoscale(const LONG selectorPair[2], LONG lane) override;
    // To the channel callback when it is set; else the channel-event message to the pane's observers with the
    // packed body (channel, lane, value, drag scale).
    void NotifyChannelEvent(LONG paneIndex, LONG lane, LONG value, IUnknown* dragScale) override;
    void ApplyPendingRanges() override { SyncVisibleRange(); }
    bool AutoscaleMarked(LONG index, LONG lane) const override;
    void MarkAutoscale(LONG index, LONG lane, bool on) override;
    // The recording's stretch between the left and the right edge of the view; E_POINTER without a time base,
    // S_FALSE when the recording has no extent.
    // Before a paint, under the pane's lock: the pane's layout flags and the time base's change flags are
    // handled together (an invalidation for any of the top eight bits) and acknowledged; false when there were none
    // or there is no time base.
    bool PreparePaint();
    // Redraws one layer of one lane (or of every lane for -1) over the visible data of the first block there;
    // layer 0 only paints the lanes from their bitmaps onto the given DC.
    void DrawLayer(int layer, bool whole, DWORD drawFlags, HDC dc, LONG lane, bool mark);
    HRESULT GetVisibleTimeRange(ChartBlockPosition* start, ChartBlockPosition* end) const;
    HRESULT VisibleTimeRange(ChartBlockPosition* start, ChartBlockPosition* end) const override
    {
        return GetVisibleTimeRange(start, end);
    }
    // The pane's stream: version 2, then every channel pane's state. A newer version throws XKVO 0xA0048205.
    HRESULT Load(IStream* stream);
    HRESULT Save(IStream* stream);
    void SendToObservers(DWORD id, const void* body, std::size_t size) override
    {
        if (onSubjectMessage) {
            onSubjectMessage(id, body, size);
        }
    }
    bool SendFrameworkMessage(LONG kind, const void* body, std::size_t size) override;

    // --- the window and its controls (window services have do-nothing defaults; the data window supplies them)
    // Creates lane 0 when there is none, keeps the window, creates the controls and shows the compression.
    void Attach(HWND parent, HWND window);
    void DetachChannels();
    HWND Window() const { return window_; }
    HWND ParentWindow() const { return parentWindow_; }
    ScrollBar* HorizontalBar() const { return horizontalBar_.get(); }
    ZoomControl* Zoom() const { return zoom_.get(); }
    // Where the data window lies in its parent; the control row goes under it.
    void SetFrameOrigin(POINT origin) { frameOrigin_ = origin; }
    POINT FrameOrigin() const { return frameOrigin_; }
    virtual void LayoutControls();
    // The window's child controls: the scroll bar and the zoom control, each replacing an earlier one.
    virtual void CreateBars();
    virtual std::unique_ptr<ScrollBar> CreateScrollBar();
    virtual std::unique_ptr<ZoomControl> CreateZoomControl(DWORD style);
    virtual bool IsWindowEnabled(LONG) { return true; }
    virtual UINT_PTR SetPaneTimer(UINT_PTR, UINT) { return 0; }
    virtual bool KillPaneTimer(UINT_PTR) { return false; }
    virtual void InvalidateArea(const RECT&, bool) {}
    virtual void InvalidateAll(bool) {}
    virtual void ScrollContents(LONGLONG, const RECT&) {}
    virtual void MoveDataArea(LONG, LONG, LONG, LONG, bool) {}
    virtual void UpdateNow() {}
    // The zoom menu: kind 1 only.
    void OnZoomCommandEnable(LONG kind, owl::TCommandEnabler& enabler);
    void OnZoomCommand(LONG kind, UINT command);
    void BuildZoomMenu(HMENU menu, UINT first, UINT last);
    HRESULT HorizontalAutoscale(LONG) { return E_NOTIMPL; }
    void OnFollowChanging(bool on, bool notify) { SetFollowNewest(on, notify); }

    // --- lanes as the chart's users see them, and the objects over the pane
    IKVOChartLanes* ChartLanes() { return &lanes_; }
    // While set, lane queries and lane counts go to this object instead (one reference held).
    void SetLanesRedirection(IKVOChartLanes* lanes) { lanesRedirection_ = lanes; }
    virtual void OnChannelAttached(LONG index);
    virtual void OnChannelRemoved(LONG index);
    // Stores the rectangle and places the data area inside it, between the widest scale strips of the lanes.
    virtual void SetViewRect(const RECT& rect);
    RECT GetViewRect() const { return viewRect_; }
    LONG minLane1StripWidth = 0;
    LONG minLane2StripWidth = 0;
    LONG Lane1StripWidth() const { return lane1Strip_; }
    LONG Lane2StripWidth() const { return lane2Strip_; }
    // A private copy of the rectangle for layer code / 256 (0..7) of a lane; E_INVALIDARG for another lane.
    HRESULT SetLayerDragRect(LONG lane, LONG layerCode, const RECT* rect);
    // Tells every lane which records the view shows and lets a lane waiting for an autoscale take the visible range.
    void SyncVisibleRange();
    // Lane `channel`'s visible value range from the data block: false for an unknown lane or a failed query.
    virtual bool ApplyPendingAutoscale(IChartDataBlock* block, LONG index, LONG channel);
    // All ones when some lane waits for an autoscale of lane kind 1 or 2; 0 while the recording is empty; E_FAIL
    // when the time base cannot tell its extent.
    HRESULT IsAutoscalePending(LONG lane, WORD* pending) const;
    // Lane pane `index`'s drag scale of lane kind 1 or 2 autoscales; E_INVALIDARG for another index or kind.
    HRESULT AutoscaleLane(LONG index, LONG lane);
    // The value range of the first lane pane's data at its first visible record, in the data's units, for the
    // traces of lane kind 1 or 2 (lane-2 traces are the drawers on lane 2). Without data both ends stay at their
    // starting values, +max and -max. Always S_OK.
    HRESULT GetTraceRange(LONG lane, double* minimum, double* maximum);
    // Adds a drawer of a kind code to lane pane `lane`, or to the time scale for -1 (E_INVALIDARG for any other
    // lane): the drawer is attached to the time base with its kind and hears of an open block at once; the band
    // draws all again, and a lane's new drawer makes the next paint redraw everything.
    HRESULT AddDrawer(LONG lane, DWORD kind, IChartRecordDrawer* drawer);
    // All ones when the first lane pane has a prefix index for lane kind 1 (else lane 2), 0 when it has none;
    // E_FAIL without lane panes.
    HRESULT IsLanePrefixed(LONG lane, WORD* prefixed) const;
    static constexpr DWORD kModeLatestWhileLive = 1u << 30;
    void BroadcastPoint(LONG a, LONG b, LONG c);
    bool BroadcastWithHandled(LONG a, LONG b);
    void BroadcastNotice();
    // The window's mouse and key messages: true when an object took the message.
    bool BroadcastInput(UINT message, WPARAM wParam, LPARAM lParam);

    // The lanes share the height above the time scale, or take the geometry given last for as many lanes.
    void LayoutLanes();

protected:
    virtual ChannelPane* CreateChannelPane(LONG index);
    void ResetLayers();
    static void ResetLayersOf(ChildPaneBase& pane);
    // The zoom control and the scroll bar are redrawn, and the layers of every band reset.
    void RedrawControlsAndLayers();
    void ShowFollowingOnZoom();
    void ForEachPane(const std::function<void(ChildPaneBase&)>& action);

private:
    // What the drawers reach of the pane; it lives and dies with the pane.
    class Services final : public IDrawerDataPane {
    public:
        explicit Services(DataPane& pane) : pane_(pane) {}
        HRESULT QueryInterface(REFIID iid, void** out) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetPrintWord(LONG, DWORD* word) override;
        HRESULT GetPixelsPerMmX(LONG, LONG, double* out) override;
        HRESULT GetPixelsPerMmY(LONG, LONG, double* out) override;
        HRESULT GetDeviceScale(LONG, double* x, double* y) override;
        HRESULT GetNoControlsMode(LONG, WORD* on) override;
        HRESULT SetLayerDragRect(LONG lane, LONG layerCode, const RECT* rect) override
        {
            return pane_.SetLayerDragRect(lane, layerCode, rect);
        }
        HRESULT SetLayerOpacity(LONG lane, LONG layerCode, LONG value) override;
        HRESULT GetDataRect(LONG index, RECT* rect) override;
        HRESULT Redraw(LONG index, const RECT* rect) override;
        HRESULT IsLive() override;
        HRESULT FollowsNewest() override;
        HRESULT GetBackgroundColour(COLORREF* colour) override;
        HRESULT GetContrastColour(COLORREF value, COLORREF* colour) override;
        HRESULT GetLaneSelectors(LONG index, LONG, LONG pair[2]) override;
        HRESULT GetLaneInformation(LONG index, LONG lane, IUnknown** out) override;
        HRESULT QueryLaneUnits(LONG index, LONG record, double range[2], LONG*, LONG*, LONG*, LONG*, LONG*) override;
        HRESULT GetChannelWord(LONG index, DWORD* word) override;
        HRESULT GetFlags(DWORD* word, DWORD* modeFlags) override;

    private:
        ChannelPane* LaneAt(LONG index) const;
        DataPane& pane_;
    };

    // The pane watches the chart's comments and takes every notice without acting on it.
    class CommentsWatcher final : public ICommentsObserver {
    public:
        explicit CommentsWatcher(DataPane& pane) : pane_(pane) {}
        HRESULT QueryInterface(REFIID iid, void** out) override { return pane_.QueryFace(iid, out); }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT OnCommentsChanged(LONG, IUnknown*, LONG, LONG, LONGLONG, LONG) override { return S_OK; }

    private:
        DataPane& pane_;
    };

    // The pane's own lanes (a member object; AddRef and Release give 1).
    class Lanes final : public IKVOChartLanes {
    public:
        explicit Lanes(DataPane& pane) : pane_(pane) {}
        HRESULT QueryInterface(REFIID iid, void** out) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetLaneCount(LONG* count) override;
        HRESULT SetLaneCount(LONG count) override;
        HRESULT Reserved5() override { return S_OK; }
        HRESULT Reserved6() override { return S_OK; }
        HRESULT GetLaneInformation(LONG index, LONG lane, IUnknown** out) override;

    private:
        DataPane& pane_;
    };

    // The pane's faces (drawer services, lanes, comments observer) answer for each other; the window owns the
    // pane, so no reference is counted.
    HRESULT QueryFace(REFIID iid, void** out);
    // A lane's autoscale range from a data block's range of the visible record; false without values.
    static bool OfferBlockRange(ChannelPane& pane, IChartDataBlock* block, LONG index, const LONG selector[2],
                                LONG lane);
    void StoreCompression(const KVORationalImp& compression);
    void ApplyCompression(const KVORationalImp& compression, const ChartBlockPosition* position);
    void SendViewNotice(const ViewCallback& first, const ViewCallback& second);
    // Tells the owner's callback and every interactive object; `pixels` and `value` go with the notices that
    // carry them (after scroll: pixels and kind; sampling started: the value).
    void Notice(PaneNotice notice, LONGLONG pixels = 0, DWORD value = 0);
    void ErasePanes(HDC dc, bool clearPending);
    TickMapping MappingFor(const ChartBlockPosition& position, LONGLONG a0, LONG x0) const;

    LONG width_ = 0;
    LONG height_ = 0;
    LONGLONG rightEdge_ = 0;
    LONGLONG samplingStartExtent_ = 0;
    KVORationalImp compression_{10, 1};
    LONG scrollScale_ = 1;
    LONG sweep_ = 0;
    bool live_ = false;
    bool follow_ = true;
    bool thumbTracking_ = false;
    bool noInteraction_ = false;
    bool jumpOnStart_ = false;
    bool firstDataPending_ = true;
    bool blockOpen_ = false;
    bool blockContinues_ = false;
    LONG blockIndex_ = 0;
    DWORD lastRefresh_ = 0;
    DWORD lastWheel_ = 0;
    DWORD layoutFlags_ = 0;
    LONG eventExtent_ = -1;
    COLORREF background_ = RGB(255, 255, 255);
    // The lane panes whose lane-1 and lane-2 scales are to autoscale before the next paint, by index.
    std::array<KVO::Bitset, 2> autoscale_;
    std::vector<LONG> laneTops_;
    std::vector<LONG> laneHeights_;
    platform::ComPtr<IChartTimeBase> timeBase_;
    platform::ComPtr<ISamplingStateListener> samplingListener_;
    PaneScrollBar* scrollBar_ = nullptr;
    TimeScale* timeScale_ = nullptr;
    std::vector<ChannelPane*> channels_;
    std::recursive_mutex lock_;
    Services services_{*this};
    Lanes lanes_{*this};
    CommentsWatcher comments_{*this};
    platform::ComPtr<IKVOChartLanes> lanesRedirection_;
    RECT viewRect_{};
    LONG lane1Strip_ = 0;
    LONG lane2Strip_ = 0;
    DWORD printWord_ = 0;
    HWND window_ = nullptr;
    HWND parentWindow_ = nullptr;
    POINT frameOrigin_{0, 0};
    std::unique_ptr<ScrollBar> horizontalBar_;
    std::unique_ptr<PaneScrollBar> barAdapter_;
    std::unique_ptr<ZoomControl> zoom_;
    std::vector<LONG> channelEntries_;
};

} // namespace ChartDraw
