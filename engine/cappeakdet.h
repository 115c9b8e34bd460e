// "CAPPeakDet": the peaks of cardiac action potentials in one sample channel. A peak is a local maximum that
// stands more than Min Height above the lowest value before it and is followed by a fall of more than Min Height
// below it, the fall completing late enough: twice the distance from the maximum to the completing sample is at
// least Min Width. One EventPkStm (kind 2) per peak.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::CAPPeakDet {

class Params : public EEH3::ParamsBase {
public:
    double minHeight = 0.0;   // rise and fall threshold in the channel's units, at least 1e-30
    double minWidthMs = -1.0; // minimum width in ms
    LONG minWidthTicks = 0;   // derived when the sources are set

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

struct State : EEH3::StateBase {
    LONG minTick = 0;
    float minValue = 0.0f;
    LONG maxTick = 0;
    float maxValue = 0.0f;
    LONG troughTick = 0;
    float troughValue = 0.0f;
    LONG phase = 0; // 0 start, 1 rising, 2 candidate, 3 confirmed
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventPkStm& out);
};

struct Family {
    using Params = CAPPeakDet::Params;
    using State = CAPPeakDet::State;
    using Algorithm = CAPPeakDet::Algorithm;
    using Record = EventPkStm;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CAPPeakDet
