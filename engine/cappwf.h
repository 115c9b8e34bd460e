// "CAPPWF": keeps the cardiac action potentials that are wide enough. For each event of the baseline stage it
// measures the full width at half height (from the last sample before the peak at the half level or on the
// baseline side of it, to the first such sample at or after the peak) and passes the peak on (kind 2) when that
// width reaches Min Width at Half Height.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::CalcCAPPeakWidthFilter {

// Min Width at Half Height in ms; a value written as -1 takes the default 50.
class CAPPeakWidthFilterParams : public CX::ParamHelper {
public:
    CAPPeakWidthFilterParams();
    std::int32_t Count() const override { return 1; }
    double* Value(std::int32_t index, double& value, bool write) override;

    double minWidthMs = 50.0;
};

class Params : public EEH3::ParamsWith<CAPPeakWidthFilterParams> {
public:
    LONG minWidthTicks = 0; // derived when the sources are set

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;
};

struct State : EEH3::StateBase {
    LONG phase = 0; // 0 fresh, 1 waiting for an event, 2 waiting for the next event, 3 measuring, 4 measured
    EventBCalcBase held;
    LONG rising = -1;  // tick of the rising half-height crossing
    LONG falling = -1; // tick of the falling one
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventPkStm& out);
};

struct Family {
    using Params = CalcCAPPeakWidthFilter::Params;
    using State = CalcCAPPeakWidthFilter::State;
    using Algorithm = CalcCAPPeakWidthFilter::Algorithm;
    using Record = EventPkStm;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CalcCAPPeakWidthFilter
