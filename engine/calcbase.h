// "CalcBase": the baseline stage of every peak chain. It pairs each stimulus of a detector with the peak that
// follows it and finds, for each pair (or lone event), the baseline before it: a level, the ticks where it starts
// and ends, and the polarity of the peak against it. Three ways to find the level: the flattest long stretch
// near the event (mode 0), a fixed value (mode 1) or the lowest sample since the previous event (mode 2).
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::CalcBase {

// The numeric values, in parameter order.
class BaseParams : public CX::ParamHelper {
public:
    BaseParams();
    std::int32_t Count() const override { return 6; }
    double* Value(std::int32_t index, double& value, bool write) override;

    double maxBaselineMs = 0.0;         // -1: 0 (segments are at least 500 ticks long anyway)
    double noiseTolerancePercent = 5.0; // -1: 5
    double searchStartMs = -1.0;        // after the stimulus; negative: no search window
    double searchEndMs = -1.0;
    std::int32_t mode = 0;              // 0 flattest segment, 1 fixed value, 2 minimum
    double baselineValue = -1.0;        // the level of mode 1
};

class Params : public EEH3::ParamsWith<BaseParams> {
public:
    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

    // Derived when the sources are set.
    LONG maxBaselineTicks = 500;
    LONG searchStartTicks = -1; // both -1 when the window is off
    LONG searchEndTicks = -1;
};

// The flat-segment finder of mode 0: segments of samples within a tolerance band of their first value, scored by
// their distance from the event's value, their length and their nearness to the event.
struct SegmentSearch {
    LONG start = 0;             // first tick of the open segment
    float first = 0.0f;         // its first value
    bool noneOpen = true;
    double bestScore = 0.0;
    double band = 0.0;          // tolerance band of the open segment
    double sum = 0.0;
    LONG count = 0;
    float tolerancePercent = 0.0f;
    LONG maxLength = 0;
    LONG eventTick = 0;
    float eventValue = 0.0f;
    LONG windowStart = -1;      // absolute ticks, -1: off
    LONG windowEnd = -1;
    float bestMean = -1.0f;
    LONG bestFirst = -1;
    LONG bestLast = -1;

    void Feed(LONG t, float v);
    // The samples of ticks t, t + 1 ... in one call; the same as Feed for each in turn.
    void FeedRun(LONG t, const float* values, LONG n);

private:
    void Open(LONG t, float v);
    void Close(LONG t);
};

struct State : EEH3::StateBase {
    EventPkStm peak;           // kind 0: no peak paired
    EventPkStm stimulus;       // kind 0: none stored
    SegmentSearch search;
    LONG lastConsumed = -1;    // the tick of the previous measured event
    bool searchStarted = false; // the segment search of the pending event has taken samples (or a found result)
    LONG step = 0;             // 0 start, 1 read an event, 2 a stimulus waits for its peak, 3 read the peak, 4 measure
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventBCalcBase& out);
};

struct Family {
    using Params = CalcBase::Params;
    using State = CalcBase::State;
    using Algorithm = CalcBase::Algorithm;
    using Record = EventBCalcBase;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::CalcBase
