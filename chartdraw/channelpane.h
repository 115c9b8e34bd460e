// The lane of one channel in a chart pane: a child pane with a main value scale on its left and a second one on
// its right, each with an SI unit prefix.
#pragma once

#include "chartdraw/childpane.h"

namespace ChartDraw {

// The letter and multiplier of SI prefix index 0..15 (1 and 8: none, 2 atto .. 14 exa; 0 has the letter "?").
// An index outside 0..15 gives E_INVALIDARG, no letter and a multiplier of 1.
HRESULT SiPrefix(LONG index, char16_t* letter, double* multiplier);

// What a channel pane needs of a lane's vertical scale.
class LaneScale {
public:
    virtual HRESULT SetRange(double minimum, double maximum) = 0;
    // The scale pair (multiplier, offset) and the unit text shown with it.
    virtual HRESULT SetUnits(double multiplier, double offset, const std::u16string& unitText) = 0;
    virtual std::u16string UnitText() const = 0;

protected:
    ~LaneScale() = default;
};

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
    DWORD pendingRange = 0; // bit 0 lane 1, bit 1 lane 2
};

class ChannelPane : public ChildPaneBase, public ChannelPaneInit {
public:
    static constexpr DWORD kLane1Exists = 1u << 31;
    static constexpr DWORD kLane2Exists = 1u << 30;

    ChannelPane(LONG index, ChildPaneOwner* owner, DWORD flagsA, DWORD flagsB);

    // Every drawer is given the lane's rectangle.
    HRESULT SetPlacement(DWORD identifier, const LONG pair[2], const RECT& rect) override;

    // The scales are the window's (not held); either may be null.
    void SetLaneScales(LaneScale* lane1Scale, LaneScale* lane2Scale);
    LaneScale* ScaleForLane(LONG lane) const { return lane == 1 ? lane1Scale_ : lane2Scale_; }

    HRESULT SetLanePrefix(LONG lane, LONG index);
    // The range in base units, scaled to the lane's prefix; E_FAIL for an unordered range or a missing scale.
    HRESULT SetLaneRange(LONG lane, double minimum, double maximum);
    // "m" before "V" gives "mV" when the lane has a scaling prefix.
    std::u16string DecorateUnitText(const LaneUnitRecord& record, const std::u16string& text) const;
    const LaneUnitRecord& UnitRecord(LONG lane) const { return lane == 1 ? lane1 : lane2; }

protected:
    ~ChannelPane() override = default;

private:
    LaneScale* lane1Scale_ = nullptr;
    LaneScale* lane2Scale_ = nullptr;
};

} // namespace ChartDraw
