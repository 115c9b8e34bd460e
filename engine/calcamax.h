// "CalcAMax": the amplitude-maximum stage. For each baseline record it scans the event's stretch (up to the next
// event) for where the signal leaves the baseline (the rise start, at a percentage of the height), the true
// extreme after the baseline and where the signal comes back (the fall end, at another percentage), and can move
// the event onto that extreme.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::CalcAMax {

class AMaxParams : public CX::ParamHelper {
public:
    AMaxParams();
    std::int32_t Count() const override { return 3; }
    double* Value(std::int32_t index, double& value, bool write) override;

    std::int32_t startHeightPercent = 5; // -1: 5
    std::int32_t repositionEvent = 1;    // 1: the event moves onto the maximum; -1: 1
    std::int32_t endHeightPercent = 0;   // -1: 0
};

class Params : public EEH3::ParamsWith<AMaxParams> {
public:
    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;
};

struct State : EEH3::StateBase {
    EventBCalcBase input;
    LONG phase = 0; // 0 start, 1 read the next event, 3 prepare, 2 find the following event, 4 scan, 5 finish
    EventBCalcMax output; // its own fields are the scan's accumulators
    bool fallEndFound = false;
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventBCalcMax& out);
};

struct Family {
    using Params = CalcAMax::Params;
    using State = CalcAMax::State;
    using Algorithm = CalcAMax::Algorithm;
    using Record = EventBCalcMax;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CalcAMax
