// "CalcBulk": the last stage of the peak chain. Reads the plateau-and-tau records (EventBCalcBase2) with the
// sample channel and turns each into one final record (EventFCalc, 344 bytes) holding every parameter of the
// event: what the stage measures itself (count, time to peak, value at the peak, height, rise and fall times and
// slopes, latency, plateau voltages, period) and what its nine measurement plug-ins measure from the same walk
// over the samples.
#pragma once

#include "document/paramhelper.h"
#include "engine/calcplugins.h"
#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

#include <cstdint>

namespace CX::Enum::CalcBulk {

// The numeric parameters in descriptor order (descriptor index = value index + 2).
class BulkParams : public CX::ParamHelper {
public:
    enum Index {
        kAnalysisType,
        kAreaStartMs,
        kAreaEndMs,
        kTauMode,
        kTauFixedValue,
        kRiseStartPercent,
        kRiseEndPercent,
        kTriangulationStartPercent,
        kTriangulationEndPercent,
        kPlateauWidthMs,
        kPltWidthMs,
        kSlopeStartMs,
        kSlopeEndMs,
        kValueMs,
        kMaxNegSlopeStartMs,
        kMaxNegSlopeSmoothMs,
        kCount
    };

    // Every value written as -1: the defaults.
    BulkParams();

    std::int32_t Count() const override { return kCount; }
    double* Value(std::int32_t index, double& value, bool write) override;

    std::int32_t analysisType = 0;
    double areaStartMs = -1.0;
    double areaEndMs = -1.0;
    std::int32_t tauMode = 0;
    std::int32_t riseStartPercent = 30;
    std::int32_t riseEndPercent = 70;
    std::int32_t triangulationStartPercent = 30;
    std::int32_t triangulationEndPercent = 70;
    double pltWidthMs = -1.0;
    double slopeStartMs = -1.0;
    double slopeEndMs = -1.0;
    double valueMs = -1.0;
    double plateauWidthMs = -1.0;
    std::int32_t maxNegSlopeStartMs = 50;
    double maxNegSlopeSmoothMs = 4.0;
    double tauFixedValue = -1.0;

private:
    // The int32 values as doubles for the accessor.
    double scratch_ = 0.0;
};

class Params : public EEH3::ParamsBase {
public:
    BulkParams bulk;
    LONG plateauWidthTicks = 0;
    LONG pltWidthTicks = 0;
    // Asked of the host at every step (the host's time base of the analysed channel in the block).
    mutable LONG smoothingPoints = 5;
    // The analysed channel and its selector, as the analysis last set them.
    std::int32_t channelPair[2] = {static_cast<std::int32_t>(0x80000000u), static_cast<std::int32_t>(0xC0000000u)};

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;
    // The smoothing points from the host's time base of the channel in the current block (5 without an answer).
    void UpdateSmoothingPoints() const;

    // What the plug-ins read.
    LONG AnalysisType() const { return bulk.analysisType; }
    double AreaStartMs() const { return bulk.areaStartMs; }
    double AreaEndMs() const { return bulk.areaEndMs; }
    double SlopeStartMs() const { return bulk.slopeStartMs; }
    double SlopeEndMs() const { return bulk.slopeEndMs; }
    double ValueMs() const { return bulk.valueMs; }
    LONG TauMode() const { return bulk.tauMode; }
    double TauFixedValue() const { return bulk.tauFixedValue; }
    LONG TriangulationStartPercent() const { return bulk.triangulationStartPercent; }
    LONG TriangulationEndPercent() const { return bulk.triangulationEndPercent; }
    double MaxNegSlopeStartMs() const { return bulk.maxNegSlopeStartMs; }
    double MaxNegSlopeSmoothMs() const { return bulk.maxNegSlopeSmoothMs; }
    LONG SmoothingPoints() const { return smoothingPoints; }

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

// A level crossing: the tick and sample where the signal first met the level (tick -1: not found).
struct Crossing {
    LONG tick = -1;
    float value = 0.0f;
};

struct State : EEH3::StateBase {
    State();

    EventBCalcBase2 current;
    LONG step = 0; // 0 first call, 1 read the next record, 2 measure
    LONG counter = 0;
    LONG previousTick = -1; // of the previous valid event
    Crossing riseA;
    Crossing riseB;
    Crossing fallB;
    Crossing fallA;
    double sumV2 = 0.0; // "Plateau Width ms" window
    LONG countV2 = 0;
    double sumV1 = 0.0; // "PLT Width ms" window
    LONG countV1 = 0;
    PluginList<State, Params, EventFCalc> plugins;
};

class CBkAlgorithm {
public:
    static bool Step(State& state, const Params& params, EventFCalc& out);
    // The key of the algorithm's shared result cache: the host's id of the algorithm << 16.
    static DWORD GetTypeId();
};
using Algorithm = CBkAlgorithm;

struct Family {
    using Params = CalcBulk::Params;
    using State = CalcBulk::State;
    using Algorithm = CalcBulk::Algorithm;
    using Record = EventFCalc;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CalcBulk
