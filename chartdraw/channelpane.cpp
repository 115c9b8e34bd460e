#include "chartdraw/channelpane.h"

#include <array>
#include <cmath>

namespace ChartDraw {

namespace {
struct PrefixEntry {
    char16_t letter;
    double multiplier;
};
// Multipliers turn base units into the prefixed unit; 0 is "no prefix set", 15 is an unused slot.
constexpr std::array<PrefixEntry, 16> kPrefixes{{
    {u'?', 1.0}, {0, 1.0}, {u'a', 1e18}, {u'f', 1e15}, {u'p', 1e12}, {u'n', 1e9}, {u'\u00B5', 1e6}, {u'm', 1e3},
    {0, 1.0}, {u'k', 1e-3}, {u'M', 1e-6}, {u'G', 1e-9}, {u'T', 1e-12}, {u'P', 1e-15}, {u'E', 1e-18}, {0, 1.0},
}};
} // namespace

HRESULT SiPrefix(LONG index, char16_t* letter, double* multiplier)
{
    if (!letter || !multiplier) {
        return E_POINTER;
    }
    *letter = 0;
    *multiplier = 1.0;
    if (index < 0 || index >= static_cast<LONG>(kPrefixes.size())) {
        return E_INVALIDARG;
    }
    *letter = kPrefixes[index].letter;
    if (index >= 1 && index <= 14) {
        *multiplier = kPrefixes[index].multiplier;
    }
    return S_OK;
}

ChannelPane::ChannelPane(LONG index, ChildPaneOwner* owner, DWORD a, DWORD b) : ChildPaneBase(index, owner)
{
    flagsA = a;
    flagsB = b;
}

HRESULT ChannelPane::SetPlacement(DWORD id, const LONG pair[2], const RECT& r)
{
    const HRESULT result = ChildPaneBase::SetPlacement(id, pair, r);
    for (std::uint32_t index = 0; index < DrawerCount(); ++index) {
        DrawerAt(index)->SetRect(paneIndex, &rect);
    }
    return result;
}

void ChannelPane::SetLaneScales(LaneScale* lane1Scale, LaneScale* lane2Scale)
{
    lane1Scale_ = lane1Scale;
    lane2Scale_ = lane2Scale;
}

HRESULT ChannelPane::SetLanePrefix(LONG lane, LONG index)
{
    char16_t letter = 0;
    double multiplier = 1.0;
    SiPrefix(index, &letter, &multiplier);
    if (lane != 1 && lane != 2) {
        return E_FAIL;
    }
    LaneUnitRecord& record = lane == 1 ? lane1 : lane2;
    record = LaneUnitRecord{letter, multiplier, index};
    LaneScale* scale = ScaleForLane(lane);
    if (!scale) {
        return E_FAIL;
    }
    const HRESULT result = scale->SetUnits(multiplier, 0.0, scale->UnitText());
    if (Owner()) {
        Owner()->InvalidatePaneRect(rect);
    }
    return result;
}

HRESULT ChannelPane::SetLaneRange(LONG lane, double minimum, double maximum)
{
    if (std::isunordered(minimum, maximum)) {
        return E_FAIL;
    }
    const LaneUnitRecord& record = lane == 1 ? lane1 : lane2;
    if (!record.Unscaled()) {
        minimum *= record.multiplier;
        maximum *= record.multiplier;
    }
    LaneScale* scale = ScaleForLane(lane == 1 ? 1 : 2);
    if (!scale) {
        return E_FAIL;
    }
    pendingRange &= lane == 1 ? ~1u : ~2u;
    return scale->SetRange(minimum, maximum) == S_OK ? S_OK : E_FAIL;
}

std::u16string ChannelPane::DecorateUnitText(const LaneUnitRecord& record, const std::u16string& text) const
{
    if (record.Unscaled() || record.letter == 0) {
        return text;
    }
    return std::u16string(1, record.letter) + text;
}

} // namespace ChartDraw
