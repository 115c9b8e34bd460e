// The data pane of a preview chart: channel lanes over a time scale, a horizontal view onto a recording at a
// rational compression (ticks per pixel), the scroll bar's scaled range, wheel zoom and scrolling, following the
// newest data while the host samples, and painting the lanes block by block.
#pragma once

#include "chartdraw/channelpane.h"
#include "chartdraw/timescale.h"
#include "foundation/rational.h"
#include "sdk/charttimebase.h"

#include <functional>
#include <mutex>
#include <vector>

namespace ChartDraw {

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

protected:
    ~PaneScrollBar() = default;
};

// Scroll codes of the scroll bar.
enum class ScrollCode { LineUp = 0, LineDown, PageUp, PageDown, ThumbPosition, ThumbTrack, Top, Bottom, EndScroll };

// What the pane tells the objects that overlay it (markers and the like).
enum class PaneNotice { SamplingStarted, DataArrived, SamplingEnded, BeforeScroll, AfterScroll, Redraw, ScrollRange };

class DataPane : public ChildPaneOwner {
public:
    static constexpr DWORD kModeDetached = 1u << 18;
    static constexpr DWORD kModeNoObjectRefresh = 1u << 29;
    static constexpr DWORD kModeNoControls = 1u << 23;
    static constexpr DWORD kPaneFlagNoFollow = 1u << 27;

    // The view callbacks receive (0, compression, block, seconds at the right edge).
    using ViewCallback = std::function<void(LONG, double, LONG, double)>;

    DataPane();
    virtual ~DataPane();
    DataPane(const DataPane&) = delete;
    DataPane& operator=(const DataPane&) = delete;

    // --- structure
    void SetTimeBase(IChartTimeBase* timeBase);
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
    // Bit 23: no controls (black background shown as white to the drawers); bit 18: detached from the sink.
    DWORD modeFlags = 0x80000000u;
    DWORD paneFlags = 0xC0000000u;
    DWORD extraDrawFlags = 0;
    // 1: Ctrl+wheel does not zoom, scrolling does not synchronise, the start notice does not jump.
    DWORD viewMode = 0;
    WORD paintSuspended = 0; // read by the data windows
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
    HRESULT GetUpdateInterval(DWORD* milliseconds) const;
    virtual void OnFirstData() {}
    int SweepCursor() const override { return sweep_; }
    bool BlockOpen() const { return blockOpen_; }

    // --- painting
    // Paints what the lanes report pending over the span [x0, x1) of pane x.
    void PaintSpan(HDC dc, const RECT& clip, LONG x0, LONG x1);
    void PaintLayers(HDC dc, const RECT& paintRect);
    // A pane without data: frames and background only.
    void PaintBlank(HDC dc);
    // Redraws the data near a position in one lane (or all with -1); nothing when the position is unknown.
    void RedrawSpan(const ChartBlockPosition* position, LONG lane, LONG extent);

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
    std::function<void(const RECT&)> onInvalidate;
    // Time and keys, replaceable for tests.
    std::function<DWORD()> tickCount;
    std::function<bool()> ctrlDown;
    std::function<std::optional<ChartBlockPosition>()> subjectPosition;

    std::recursive_mutex& Lock() { return lock_; }

    // ChildPaneOwner
    bool GetTimeContext(TimeContext& context) const override;
    IDrawerDataPane* DrawerServices() override { return nullptr; }
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

protected:
    virtual ChannelPane* CreateChannelPane(LONG index);
    void LayoutLanes();
    void ResetLayers();
    void ForEachPane(const std::function<void(ChildPaneBase&)>& action);

private:
    void StoreCompression(const KVORationalImp& compression);
    void ApplyCompression(const KVORationalImp& compression, const ChartBlockPosition* position);
    void SendViewNotice(const ViewCallback& first, const ViewCallback& second);
    void Notice(PaneNotice notice)
    {
        if (onNotice) {
            onNotice(notice);
        }
    }
    void ErasePanes(HDC dc, bool clearPending);
    TickMapping MappingFor(const ChartBlockPosition& position, LONGLONG a0, LONG x0) const;

    LONG width_ = 0;
    LONG height_ = 0;
    LONGLONG rightEdge_ = 0;
    KVORationalImp compression_{10, 1};
    LONG scrollScale_ = 1;
    LONG sweep_ = 0;
    bool live_ = false;
    bool follow_ = true;
    bool thumbTracking_ = false;
    bool jumpOnStart_ = false;
    bool firstDataPending_ = true;
    bool blockOpen_ = false;
    bool blockContinues_ = false;
    LONG blockIndex_ = 0;
    DWORD lastRefresh_ = 0;
    DWORD lastWheel_ = 0;
    DWORD layoutFlags_ = 0;
    COLORREF background_ = RGB(255, 255, 255);
    std::vector<LONG> laneTops_;
    std::vector<LONG> laneHeights_;
    platform::ComPtr<IChartTimeBase> timeBase_;
    PaneScrollBar* scrollBar_ = nullptr;
    TimeScale* timeScale_ = nullptr;
    std::vector<ChannelPane*> channels_;
    std::recursive_mutex lock_;
};

} // namespace ChartDraw
