// "ERStimDet": stimulus artefacts in a sample channel. Two pulse detectors, one for positive and one for negative
// pulses, run side by side over the samples; a pulse counts when it moves at least Height away from its start
// level and comes back by at least Height within the width, after the skipped start of the block and at least
// Min Gap after the previous stimulus. One EventPkStm (kind 1) per stimulus.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::ERStimDet {

// The five numeric settings; a value written as -1 takes its default.
class StimDetParams : public CX::ParamHelper {
public:
    StimDetParams();
    std::int32_t Count() const override { return 5; }
    double* Value(std::int32_t index, double& value, bool write) override;

    double height = 1.0;
    double widthMs = 10.0;
    double skipMs = 0.0;
    double minGapMs = 0.0;
    bool oneStimPerBlock = false;
};

class Params : public EEH3::ParamsWith<StimDetParams> {
public:
    LONG widthTicks = 0;  // derived when the sources are set; 0x7FFFFFFF for a negative width
    LONG skipTicks = 0;
    LONG minGapTicks = 0;

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;
};

// One pulse detector: the start level it tracks and the peak of the pulse it is in.
struct PulseDetector {
    LONG startTick = 0;
    float startValue = 0.0f;
    LONG peakTick = 0;
    float peakValue = 0.0f;
    LONG phase = 0; // 0 empty, 1 tracking the start level, 2 in a pulse
};

struct State : EEH3::StateBase {
    PulseDetector positive;
    PulseDetector negative;
    LONG lastStimulus = -99999999; // lets the first stimulus of a block pass any gap
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventPkStm& out);
};

struct Family {
    using Params = ERStimDet::Params;
    using State = ERStimDet::State;
    using Algorithm = ERStimDet::Algorithm;
    using Record = EventPkStm;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::ERStimDet
