// "ERPeakDet": the response to each stimulus. For every stimulus event it passes the stimulus on (kind 1) and
// searches the samples after it for a peak whose maximum lies in the search window, that rises at least Height
// above the lowest value before it and falls at least Height after it before the next stimulus (kind 2).
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::ERPeakDet {

class Params : public EEH3::ParamsBase {
public:
    double height = 1e-30;      // rise and fall threshold, channel units; above 0
    LONG searchStartTicks = 0;  // derived when the sources are set
    LONG searchEndTicks = 0;
    double searchStartMs = -1.0;
    double searchEndMs = -1.0;

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

struct State : EEH3::StateBase {
    LONG windowStart = 0;
    LONG windowEnd = 0;
    LONG stimulusTick = 0;
    LONG minTick = 0;
    LONG maxTick = 0;
    float minValue = 0.0f;
    float maxValue = 0.0f;
    LONG phase = 0; // 0 fresh, 1 waiting for a stimulus, 2 positioning on the samples, 3 scanning
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventPkStm& out);
};

struct Family {
    using Params = ERPeakDet::Params;
    using State = ERPeakDet::State;
    using Algorithm = ERPeakDet::Algorithm;
    using Record = EventPkStm;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::ERPeakDet
