// The lane of one channel in a chart pane: a child pane with a main value scale on its left and a second one on
// its right, each with an SI unit prefix.
#pragma once

#include "chartdraw/childpane.h"
#include "platform/com/objidl.h"
#include "sdk/chartdatablock.h"
#include "sdk/scalecontrol.h"

namespace ChartDraw {

// The letter and multiplier of SI prefix index 0..15 (1 and 8: none, 2 atto .. 14 exa; 0 has the letter "?").
// An index outside 0..15 gives E_INVALIDARG, no letter and a multiplier of 1.
HRESULT SiPrefix(LONG index, char16_t* letter, double* multiplier);

struct LaneUnitRecord {
    char16_t letter = u'?';
    double multiplier = 1.0;
    LONG prefixIndex = 0;
    // Indices 0, 1 and 8 leave values and unit texts as they are.
    bool Unscaled() const { return prefixIndex == 0 || prefixIndex == 1 || prefixIndex == 8; }
};

struct ChannelPaneInit {
    DWORD ownerWord1 = 0;
    DWORD ownerWord2 = 0;
    DWORD flagsA = 0;
    DWORD flagsB = 0;
    DWORD unitChannel = 0;
    LONG lane1Selector[2]{LONG(0x80000000), LONG(0xC0000000)};
    LONG lane2Selector[2]{LONG(0x80000000), LONG(0xC0000000)};
    DWORD unitTextMode = 0x80000000;
    LaneUnitRecord lane1;
    LaneUnitRecord lane2;
};

class ChannelPane : public ChildPaneBase, public ChannelPaneInit {
public:
    static constexpr DWORD kLane1Exists = 1u << 31;
    static constexpr DWORD kLane2Exists = 1u << 30;
    static constexpr DWORD kLane1NoScaleRect = 1u << 28;
    static constexpr DWORD kTallStrips = 1u << 14;
    static constexpr HRESULT kBadStateVersion = static_cast<HRESULT>(0xA0048205u);

    ChannelPane(LONG index, ChildPaneOwner* owner, DWORD flagsA, DWORD flagsB);
    // Shares the source's plain scales and clones its drag scales; the copy has no drag scales of its own.
    ChannelPane(const ChannelPane& other);

    // IDragScaleObserver: a scale's id is its lane.
    HRESULT OnBeginDrag(LONG lane) override;
    HRESULT OnEndDrag(LONG lane) override;
    HRESULT OnScalingChanged(LONG lane, LONG reserved, const double* pixelTransform) override;
    HRESULT OnAutoScale(LONG lane) override;
    // The drawers' value range of a lane over the view (the first answer, widened by the later ones); S_FALSE when
    // no drawer answered. `unscaled` stays all ones unless a drawer shows its values through a scaling.
    HRESULT GetDataRange(LONG lane, double* range, WORD* unscaled) override;

    // Every drawer is given the lane's rectangle; the scales get the strips beside it.
    HRESULT SetPlacement(DWORD identifier, const LONG pair[2], const RECT& rect) override;
    // The widths of the scale strips left and right of the data, and the gap before the right one.
    void SetStripWidths(LONG left, LONG right, LONG gap) { strips_ = {left, right, gap}; }
    LONG LeftStripWidth() const { return strips_.left; }
    LONG RightStripWidth() const { return strips_.right; }
    HRESULT OnNewBlock(DWORD argument) override;
    HRESULT AddDrawer(DWORD flags, IChartRecordDrawer* drawer, BYTE alpha) override;

    // The state stream holds a version word (3); older versions 2 carried a discarded range.
    virtual HRESULT ReadState(IStream* stream);
    virtual HRESULT WriteState(IStream* stream);
    // A lane's scale, also when it gives none: S_OK.
    HRESULT GetLaneScale1(LONG, IScaleControl** out) const override { return GetScaleForLane(1, out); }
    HRESULT GetLaneScale2(LONG, IScaleControl** out) const override { return GetScaleForLane(2, out); }

    virtual HRESULT Clone(ChannelPane** out) const;
    // Makes the lane scales through the host's shared graph service: drag scales in interactive panes, plain
    // scales in no-controls mode. A service that fails leaves the lane without a scale.
    virtual HRESULT CreateLaneScales(DWORD word1, DWORD word2);
    virtual HRESULT AttachDragScales();
    virtual HRESULT SendChannelNotice(LONG value);
    // The title of this lane's channel from the data pane's channel source; E_FAIL and no text without one.
    virtual HRESULT GetChannelTitle(std::u16string& text) const;

    // Scale changed: the drawers are offered the new pair under the pane's lock.
    HRESULT ScaleChanged(LONG lane, double scale, double offset);
    HRESULT RequestAutoscale(LONG lane);

    // Lane 1 gives the lane-1 scale, any other lane the lane-2 scale (null when missing); always S_OK.
    HRESULT GetScaleForLane(LONG lane, IScaleControl** out) const;
    // Fills the lane-1 members that are still empty from the object.
    void AdoptLaneScale(IUnknown* object);
    IScaleControl* Scale(LONG lane) const { return (lane == 1 ? scale1_ : scale2_).Get(); }
    IScaleControl* DragScale(LONG lane) const { return (lane == 1 ? drag1_ : drag2_).Get(); }
    ILaneScaleNotice* ScaleNotice() const { return notice1_.Get(); }

    // What the drawers tell of a lane's units: the first drawer with a non-empty unit text wins.
    struct LaneUnits {
        std::u16string text;
        double scale[2]{1.0, 0.0};
        double range[2]{0.0, 0.0};
    };
    bool QueryLaneUnits(LONG lane, DWORD channel, LONG index, LaneUnits& units, LONG selectorPair[2]);
    // Asks the drawers for both lanes' units over the indices, gives the scales their unit texts and tells the
    // pane's observers; the index that found units, or kNoUnitsFound.
    virtual LONG RefreshLaneUnits(LONG first, LONG last);
    static constexpr LONG kNoUnitsFound = 0x7FFFFFFE;
    bool Lane1UnitsFound() const { return flag2 != 0; }
    bool Lane2UnitsFound() const { return flag1 != 0; }

    // The records the view shows (kLatestData: the newest); gives lane 1's visible data (VisibleData), or null.
    platform::ComPtr<IChartDataBlock> SetVisibleIndices(LONG first, LONG last);
    static constexpr LONG kLatestData = 0x7FFFFFFE;
    LONG FirstVisibleIndex() const { return visibleFirst_; }
    LONG LastVisibleIndex() const { return visibleLast_; }
    // The data at the first visible record of the first drawer of lane 1 or 2 that has some, or null.
    platform::ComPtr<IChartDataBlock> VisibleData(LONG lane) const;
    // The visible data's value range for a lane: scaled to the lane's prefix, given to the lane-1 scale's range
    // notice and, while the lane waits for an autoscale, to its drag scale (the wait ends).
    void OfferAutoscaleRange(double minimum, double maximum, LONG lane = 1);

    // The lanes that wait for a range (bit 0 lane 1, bit 1 lane 2), kept by the data pane; marking a lane waiting.
    DWORD PendingRanges() const;
    void SetPendingRanges(DWORD bits);
    bool RangePending(LONG lane) const { return Owner() && Owner()->AutoscaleMarked(paneIndex, lane); }
    void SetRangePending(LONG lane, bool on);

    // The lane-1 scale's value at a coordinate for the current data block; 0 without a scale or with flags-A bit 28.
    double ScaleValueAt(LONG coordinate) const;

    HRESULT SetLanePrefix(LONG lane, LONG index);
    // The range in base units, scaled to the lane's prefix; E_FAIL for an unordered range or a missing scale.
    HRESULT SetLaneRange(LONG lane, double minimum, double maximum);
    bool ApplyLaneRange(LONG lane, double minimum, double maximum, bool alsoOnDragScale, bool force);
    // "m" before "V" gives "mV" when the lane has a scaling prefix.
    std::u16string DecorateUnitText(const LaneUnitRecord& record, const std::u16string& text) const;
    const LaneUnitRecord& UnitRecord(LONG lane) const { return lane == 1 ? lane1 : lane2; }

protected:
    ~ChannelPane() override;

private:
    void ScaleLaneRange(LONG lane, double& minimum, double& maximum) const;
    // Every drawer is offered each lane scale's present value-to-pixel mapping.
    void OfferScaleMappings();

    struct {
        LONG left = 0;
        LONG right = 0;
        LONG gap = 0;
    } strips_;
    platform::ComPtr<IScaleControl> scale1_;
    platform::ComPtr<IScaleControl> scale2_;
    platform::ComPtr<IScaleControl> drag1_;
    platform::ComPtr<IScaleControl> drag2_;
    platform::ComPtr<ILaneScaleNotice> notice1_;
    LONG visibleFirst_ = kLatestData;
    LONG visibleLast_ = kLatestData;
};

// The view family's message ids (the type-id registry's class id in the high word).
DWORD AutoscaleMessageId();
DWORD ChannelEventMessageId();
// The preview pane's change notice: it shows the host's data (value 0) or its own recording (value 1).
DWORD PreviewChangeMessageId();
// The lane-units messages: plain, and extended with two further words.
DWORD LaneUnitsMessageId();
DWORD ExtendedLaneUnitsMessageId();

} // namespace ChartDraw
