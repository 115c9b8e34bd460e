// "CalcBase2": the plateau and tau stage. For each amplitude-maximum record it scans the event's stretch once and
// finds where the signal crosses the mid-plateau level on the rise and on the fall, where the fall reaches the tau
// start, tau end and 10 % levels, the plateau centre, the overshoot beyond the baseline after the fall and the tick
// where the signal comes back to the baseline, with the lowest and highest sample of the stretch.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::CalcBase2 {

// Percentages of the peak height.
class Base2Params : public CX::ParamHelper {
public:
    Base2Params();
    std::int32_t Count() const override { return 4; }
    double* Value(std::int32_t index, double& value, bool write) override;
    // Tau start is the higher of the two tau levels: swaps them when it is the smaller.
    void NormaliseTau();

    std::int32_t midPlateauPercent = 50;    // -1: 50
    std::int32_t tauStartPercent = 50;      // -1: 50
    std::int32_t tauEndPercent = 5;         // -1: 5
    std::int32_t plateauCentrePercent = 50; // -1: 50

protected:
    void AfterRead() override { NormaliseTau(); }
};

class Params : public EEH3::ParamsWith<Base2Params> {
public:
    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

protected:
    void NormaliseValues() override { NormaliseTau(); }
};

struct State : EEH3::StateBase {
    EventBCalcMax input;
    LONG step = 0; // 0 start, 1 read the next event, 3 prepare, 4 scan, 5 finish
    LONG riseTick = -1; // first sample before the event above the mid level
    LONG fallTick = -1; // first sample from the event on below the mid level
    bool riseFound = false;
    bool fallFound = false;
    LONG tenPercentTick = -1;
    EventBCalcBase2 output; // its own fields are the scan's accumulators
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventBCalcBase2& out);
};

struct Family {
    using Params = CalcBase2::Params;
    using State = CalcBase2::State;
    using Algorithm = CalcBase2::Algorithm;
    using Record = EventBCalcBase2;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CalcBase2
