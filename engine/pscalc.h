// "PSCalcBase" (alias "PSCalc"): the parameters of population spikes. Reads the population-spike detector's events
// (a stimulus, then first peak, trough and second peak) with the sample channel and writes one final record
// (EventFCalc) per stimulus: start time, the value at a set time after the stimulus, the spike's height and area,
// and the slope through one CalcSlope plug-in.
#pragma once

#include "document/paramhelper.h"
#include "engine/calcplugins.h"
#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::PSCalc {

class PSCalcParams : public CX::ParamHelper {
public:
    enum Index { kSlopeStartMs, kSlopeEndMs, kValueAtMs, kCount };

    std::int32_t Count() const override { return kCount; }
    double* Value(std::int32_t index, double& value, bool write) override;

    double slopeStartMs = 0.0;
    double slopeEndMs = 100.0;
    double valueAtMs = 100.0;
};

class Params : public EEH3::ParamsBase {
public:
    PSCalcParams values;
    LONG valueAtTicks = 0;
    LONG analysisType = 4; // population spike, for the slope plug-in

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

    LONG AnalysisType() const { return analysisType; }
    double SlopeStartMs() const { return values.slopeStartMs; }
    double SlopeEndMs() const { return values.slopeEndMs; }

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

struct Entry {
    LONG tick = 0;
    float value = 0.0f;
};

struct PSState : EEH3::StateBase {
    PSState();

    Entry entries[4]; // the stimulus, the first peak, the trough, the second peak
    LONG nextEventTick = 0;
    LONG step = 0; // 0 start, 1 collect events, 2 find the next event, 3 measure
    LONG collected = 0;
    LONG counter = 0;
    float valueAt = kUnsetFloat;
    float sum = 0.0f; // of the samples between the peaks
    float maximum = 0.0f;
    float minimum = 0.0f;
    bool extremes = false; // maximum and minimum hold a value
    EventBCalcBase2 current;
    PluginList<PSState, Params, EventFCalc> plugins;
};

class Algorithm {
public:
    static bool Step(PSState& state, const Params& params, EventFCalc& out);
    // The key of the algorithm's shared result cache: the host's id of the algorithm << 16.
    static DWORD GetTypeId();
};

struct Family {
    using Params = PSCalc::Params;
    using State = PSState;
    using Algorithm = PSCalc::Algorithm;
    using Record = EventFCalc;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::PSCalc
