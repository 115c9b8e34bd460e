#include "engine/eventrecords.h"

#include <cmath>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace CX::Enum {

namespace {

static_assert(std::is_standard_layout_v<EventFCalc> && std::is_trivially_copyable_v<EventFCalc>);

template <class Record>
void ZeroFill(Record& record)
{
    std::memset(static_cast<void*>(&record), 0, sizeof(Record));
}

template <class Record>
void SetPkStmDefaults(Record& r)
{
    r.tick = 0;
    r.offset = 0.0f;
    r.value = 0.0;
    r.kind = kKindNone;
}

template <class Record>
void SetBCalcBaseDefaults(Record& r)
{
    r.stimulusTick = kUnsetTick;
    r.baselineStart = kUnsetTick;
    r.baselineEnd = kUnsetTick;
    r.baseline = kUnsetFloat;
    r.polarity = 1.0f;
}

template <class Record>
void SetBCalcMaxDefaults(Record& r)
{
    r.maxValue = -1.0f;
    r.maxTick = kUnsetTick;
    r.riseStart = kUnsetTick;
    r.fallEnd = kUnsetTick;
    r.nextEventTick = kUnsetTick;
}

// The plateau centre (offset 100) belongs to the plateau stage alone and is left as it is.
template <class Record>
void SetBCalcBase2Defaults(Record& r)
{
    r.lowest = kUnsetFloat;
    r.highest = kUnsetFloat;
    r.tauStart = kUnsetTick;
    r.tauEnd = kUnsetTick;
    r.tailOvershoot = kUnsetFloat;
    r.returnTick = kUnsetTick;
    r.midPlateauCentre = kUnsetTick;
    r.reserved104 = kUnsetTick;
    r.reserved108 = kUnsetTick;
}

// Every byte zero, then the initial values of each layer the record has, in chain order. A record with a
// baseline layer is a stage record.
template <class Record>
void SetDefaults(Record& r)
{
    ZeroFill(r);
    SetPkStmDefaults(r);
    if constexpr (sizeof(Record) >= sizeof(EventBCalcBase)) {
        SetBCalcBaseDefaults(r);
        r.kind = kKindStage;
    }
    if constexpr (sizeof(Record) >= sizeof(EventBCalcMax)) {
        SetBCalcMaxDefaults(r);
    }
    if constexpr (sizeof(Record) >= sizeof(EventBCalcBase2)) {
        SetBCalcBase2Defaults(r);
    }
}

template <class Record>
std::int32_t Earliest(const Record& r)
{
    std::int32_t earliest = r.tick;
    if (r.stimulusTick >= 0) {
        earliest = std::min(earliest, r.stimulusTick);
    }
    if (IsFiniteValue(r.baseline)) {
        earliest = std::min(earliest, r.baselineEnd - 1);
    }
    return earliest;
}

template <class Record>
void ResetStages(Record& r)
{
    r.tick = 0;
    r.offset = 0.0f;
    r.value = 0.0;
    SetBCalcBaseDefaults(r);
    SetBCalcMaxDefaults(r);
    SetBCalcBase2Defaults(r);
}

// A record built from the smaller one before it: every byte of that one, then the new layer's defaults.
template <class Larger, class Smaller>
void CopyPrefix(Larger& larger, const Smaller& smaller)
{
    static_assert(sizeof(Smaller) < sizeof(Larger));
    std::memcpy(static_cast<void*>(&larger), &smaller, sizeof(Smaller));
}

} // namespace

EventPkStm::EventPkStm() { SetDefaults(*this); }

void EventPkStm::SetPosition(double x)
{
    // Positions outside the tick range (or NaN) saturate instead of converting out of range.
    const double rounded = x + 0.5;
    if (!(rounded > -2147483648.0)) {
        tick = std::isnan(rounded) ? 0 : INT32_MIN;
    } else if (rounded >= 2147483647.0) {
        tick = INT32_MAX;
    } else {
        tick = static_cast<std::int32_t>(rounded);
    }
    offset = static_cast<float>(x - tick);
    value = 1.0;
    kind = kKindStimulus;
}

EventBCalcBase::EventBCalcBase() { SetDefaults(*this); }

std::int32_t EventBCalcBase::EarliestTick() const { return Earliest(*this); }

EventBCalcMax::EventBCalcMax() { SetDefaults(*this); }

EventBCalcMax::EventBCalcMax(const EventBCalcBase& base)
{
    ZeroFill(*this);
    CopyPrefix(*this, base);
    SetBCalcMaxDefaults(*this);
}

std::int32_t EventBCalcMax::EarliestTick() const { return Earliest(*this); }

EventBCalcBase2::EventBCalcBase2() { SetDefaults(*this); }

EventBCalcBase2::EventBCalcBase2(const EventBCalcMax& max)
{
    ZeroFill(*this);
    CopyPrefix(*this, max);
    SetBCalcBase2Defaults(*this);
}

std::int32_t EventBCalcBase2::EarliestTick() const { return Earliest(*this); }
void EventBCalcBase2::ResetAllStages() { ResetStages(*this); }
void EventBCalcBase2::ResetPlateau() { SetBCalcBase2Defaults(*this); }

EventFCalc::EventFCalc()
{
    SetDefaults(*this);
    ResetResults();
}

std::int32_t EventFCalc::EarliestTick() const { return Earliest(*this); }
void EventFCalc::ResetAllStages() { ResetStages(*this); }
void EventFCalc::ResetPlateau() { SetBCalcBase2Defaults(*this); }

void EventFCalc::ResetResults()
{
    count = kUnsetTick;
    rise50Tick = kUnsetTick;
    fall50Tick = kUnsetTick;
    for (float* field : {&tStart, &timeToPeak, &aPeak, &height, &area, &tau, &valueAt, &latency, &slope, &result51,
                         &maxSlope, &minSlope, &tMaxSlope, &tMinSlope, &aMaxSlope, &aMinSlope, &width, &period,
                         &tRise, &tFall, &slopeRise, &slopeFall, &maxNegSlope, &triangulation, &plateauV1,
                         &plateauV2, &popSpikeHeight, &popSpikeArea, &ahpWidth, &ahpArea, &apdTot, &peakArea,
                         &tEnd}) {
        *field = kUnsetFloat;
    }
    std::fill(std::begin(widths), std::end(widths), kUnsetFloat);
    std::fill(std::begin(apd), std::end(apd), kUnsetFloat);
}

float EventFCalc::GetValueById(std::uint32_t code) const
{
    switch (code) {
    case 0: return tStart;
    case 1: return static_cast<float>(count);
    case 2: return baseline;
    case 3: return timeToPeak;
    case 4: return aPeak;
    case 5: return height;
    case 6:
    case 7:
    case 8:
    case 22: return -1.0f;
    case 9: return width;
    case 10: return area;
    case 11: return maxSlope;
    case 12: return minSlope;
    case 13: return tMaxSlope;
    case 14: return tMinSlope;
    case 15: return aMaxSlope;
    case 16: return aMinSlope;
    case 17: return tRise;
    case 18: return tFall;
    case 19: return slopeRise;
    case 20: return slopeFall;
    case 21: return tailOvershoot;
    case 32: return period;
    case 33: return tau;
    case 43: return triangulation;
    case 44: return plateauV1;
    case 45: return plateauV2;
    case 46: return valueAt;
    case 47: return latency;
    case 48: return slope;
    case 49: return popSpikeHeight;
    case 50: return popSpikeArea;
    case 51: return result51;
    case 52: return maxNegSlope;
    case 53: return ahpWidth;
    case 54: return ahpArea;
    case 55: return apdTot;
    case 56: return peakArea;
    case 57: return tEnd;
    case 58: return 0.0f; // time and date come from the position, not from the record
    default: break;
    }
    if (code >= 23 && code <= 31) {
        return widths[code - 23];
    }
    if (code >= 34 && code <= 42) {
        return apd[code - 34];
    }
    return -1.0f; // beyond the catalogue, as for its reserved codes
}

} // namespace CX::Enum
