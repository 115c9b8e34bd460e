// The time axis at the bottom of a chart pane: tick marks and clock, second or millisecond labels.
#pragma once

#include "chartdraw/childpane.h"
#include "chartdraw/clocktime.h"

#include <memory>

namespace owl {
class TFont;
}

namespace ChartDraw {

class TimeScale;

// Where the labels of one draw stand.
struct LabelState {
    double nextTickX = 0;
    double nextMajorX = 0;
    int minorCountdown = 0;
    int labelCountdown = 0;
    double secondsPerLabel = 0;
    double pixelsPerMinor = 0;
    int minorPerMajor = 0;
    int majorPerLabel = 1;
    std::uint32_t displayFormat = 2;
    double firstLabelTime = -1.0;
    ClockTime next;
};

class TimeLabelDrawer : public DrawerBase {
public:
    explicit TimeLabelDrawer(TimeScale* scale);
    TimeLabelDrawer(const TimeLabelDrawer& other);

    HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) override;
    HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x, const RECT& clip,
                 DWORD flags, const TimeDivisions* divisions, LONG word) override;
    HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) override;

    const LabelState& State() const { return state_; }
    // The x and text of every label the last draw wrote (tests and hit testing).
    struct Written {
        LONG x;
        LONG width;
        std::u16string text;
    };
    const std::vector<Written>& LastLabels() const { return written_; }
    // The block number the last draw showed (0: none).
    LONG LastBlockNumber() const { return blockNumberDrawn_; }
    // Every block at a spacing ratio of 51 or more, every 2nd from 26, every 5th from 11, else every 100th.
    static bool ShowsBlockNumber(LONG number, double ratio);

private:
    void DrawBlockNumber(HDC dc, const TimeContext& context, const RECT& clip, int labelY);

    TimeScale* scale_; // not held; a clone has none
    LabelState state_;
    std::vector<Written> written_;
    LONG blockNumberDrawn_ = 0;
};

class TimeScale : public ChildPaneBase {
public:
    explicit TimeScale(ChildPaneOwner* owner);

    void RefreshFont();
    void EnsureLabelDrawer();
    HRESULT SetDataSource(LONG index, IUnknown* source);
    HRESULT RemoveDrawers(DWORD mask, LONG channel, DWORD selector) override;
    // Places the axis and its label drawer. The axis's height stays its label height, measured from its font
    // (RefreshFont): the data pane lays the lanes out above that height, so placing the axis must not change it.
    HRESULT SetPlacement(DWORD identifier, const LONG pair[2], const RECT& rect) override;
    HRESULT OnSamplingStart(DWORD argument, bool flag) override;
    HRESULT DrawLayers(HDC dc, const TickMapping& ticks, const RECT* clip, DWORD drawFlags, LONG context1,
                       LONG context2, int firstLayer, int lastLayer) override;
    void Paint(HDC dc, int sweepX, bool showSweep) override;
    virtual void OnBeginPrint(DWORD printWord);
    virtual void OnEndPrint();
    // Settings versions 3 and later come from a newer program and are refused.
    static void CheckStateVersion(std::uint32_t version);
    // The state stream is the version word alone.
    virtual HRESULT ReadState(IStream* stream);
    virtual HRESULT WriteState(IStream* stream);
    static constexpr std::uint32_t kStateVersion = 2;

    int LabelHeight() const { return labelHeight_; }
    int LabelWidth();
    HFONT Font() const;
    std::uint32_t LabelFormat() const { return labelFormat_; }

protected:
    ~TimeScale() override;

private:
    int labelHeight_ = 0;
    int labelWidth_ = 0;
    std::unique_ptr<owl::TFont> font_;
    std::uint32_t labelFormat_ = 2;
    IUnknown* timeBase_ = nullptr; // the owner's time base (not held)
};

} // namespace ChartDraw
