#include "engine/calcamax.h"

#include "engine/calcplugins.h"
#include "frame/typeid.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace CX::Enum::CalcAMax {

namespace {
const EEH3::FamilyRegistration registration(u"CalcAMax", &EEH3::Create<Family>);
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 4>::Get(); }

AMaxParams::AMaxParams() { EEH3::ResetToDefaults(*this); }

double* AMaxParams::Value(std::int32_t index, double& value, bool write)
{
    switch (index) {
    case 0:
        return EEH3::AccessInt(startHeightPercent, value, write, 5);
    case 1:
        return EEH3::AccessInt(repositionEvent, value, write, 1);
    case 2:
        return EEH3::AccessInt(endHeightPercent, value, write, 0);
    default:
        return nullptr;
    }
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventBCalcBase>(sources[1]);
    }
}

namespace {

// The scan of phase 4; false when it must wait for samples. The samples are taken a buffered run at a time, with
// the scan's accumulators in locals.
bool Scan(State& state, const Params& params, EEH3::FloatExWrapper& samples)
{
    const EventBCalcBase& in = state.input;
    EventBCalcMax& acc = state.output;
    const double base = in.baseline;
    const double peak = in.value;
    const float pol = in.polarity;
    const bool peakFinite = IsFiniteValue(peak);
    const double startLevel = params.startHeightPercent * 0.01 * (peak - base) + base;
    const double endLevel = params.endHeightPercent * 0.01 * (peak - base) + base;
    const double startBound = pol * startLevel;
    const double endBound = pol * endLevel;
    // Until the event's tick the rise start is sought (only with a finite peak); from the baseline's end the
    // maximum; after the event's tick the fall end, which ends the scan.
    const LONG riseUntil = peakFinite ? in.tick : std::numeric_limits<LONG>::min();
    const LONG eventTick = in.tick;
    const LONG baselineEnd = in.baselineEnd;
    const LONG next = acc.nextEventTick;
    LONG riseStart = acc.riseStart;
    LONG maxTick = acc.maxTick;
    float maxValue = acc.maxValue;
    bool ended = state.fallEndFound;
    while (!ended && samples.Fetch()) {
        const LONG first = samples.Position();
        if (first >= next) {
            break;
        }
        const float* run = samples.Run();
        const auto count = static_cast<LONG>(std::min<std::int64_t>(samples.RunLength(), std::int64_t{next} - first));
        // The maximum times the polarity, kept beside it: the same product as worked out from it at every sample.
        float maxSigned = maxValue * pol;
        auto raise = [&](LONG from, LONG to) {
            for (LONG j = from; j < to; ++j) {
                const float signed_ = run[j] * pol;
                if (first + j >= baselineEnd && signed_ > maxSigned) [[unlikely]] {
                    maxTick = first + j;
                    maxValue = run[j];
                    maxSigned = signed_;
                }
            }
        };
        // Before the event's tick a sample still at the baseline sets the rise start after it and starts the
        // maximum again on itself: only the last such sample of the run counts, and only the samples after it
        // can raise the maximum. It is sought backwards.
        const auto before = static_cast<LONG>(std::clamp<std::int64_t>(std::int64_t{riseUntil} - first, 0, count));
        LONG i = 0;
        if (before > 0) {
            LONG last = before - 1;
            while (last >= 0 && !(startBound >= run[last] * pol)) {
                --last;
            }
            if (last >= 0) {
                riseStart = maxTick = first + last;
                maxValue = run[last];
                maxSigned = maxValue * pol;
            }
            raise(last + 1, before);
            i = before;
        }
        // From the event's tick on: the fall end is the first sample after the tick back at the end level, and
        // the maximum is raised by the samples up to it, the fall end's own included.
        const auto afterTick =
            static_cast<LONG>(std::clamp<std::int64_t>(std::int64_t{eventTick} + 1 - first, i, count));
        const LONG fall = CX::Enum::FirstAtOrBelow(run, afterTick, count, pol, endBound);
        const LONG scanned = fall < count ? fall + 1 : count;
        for (LONG j = std::clamp<LONG>(static_cast<LONG>(std::clamp<std::int64_t>(std::int64_t{baselineEnd} - first,
                                                                                  0, count)),
                                       i, scanned);
             (j = CX::Enum::FirstAbove(run, j, scanned, pol, maxSigned)) < scanned; ++j) {
            maxTick = first + j;
            maxValue = run[j];
            maxSigned = maxValue * pol;
        }
        i = scanned;
        if (fall < count) {
            acc.fallEnd = first + fall;
            ended = true;
            i = fall; // the next event's scan starts on this sample
        }
        samples.StepOver(i);
    }
    acc.riseStart = riseStart;
    acc.maxTick = maxTick;
    acc.maxValue = maxValue;
    state.fallEndFound = ended;
    if (!samples.Fetch() && !state.fallEndFound && !state.sourcesExhausted) {
        return false;
    }
    if (acc.fallEnd < 0) {
        acc.fallEnd = samples.Position() - 1;
    }
    return true;
}

} // namespace

bool Algorithm::Step(State& state, const Params& params, EventBCalcMax& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    EEH3::EventWrapperEx<EventBCalcBase>* events = params.EventSource<EventBCalcBase>(1);
    if (!samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    for (;;) {
        switch (state.phase) {
        case 0:
            state.awaitedSource = 1;
            state.phase = 1;
            break;
        case 1:
            if (!events->HasCurrent()) {
                if (state.sourcesExhausted) {
                    state.resume = EEH3::kEndTick;
                }
                return false;
            }
            events->LoadCurrent();
            state.input = events->Current();
            events->Advance();
            state.phase = 3;
            break;
        case 3:
            state.output = EventBCalcMax(state.input);
            state.fallEndFound = false;
            state.phase = 2;
            break;
        case 2:
            state.awaitedSource = 0;
            if (events->HasCurrent()) {
                events->LoadCurrent();
                state.output.nextEventTick = events->Current().EarliestTick();
            } else if (events->AtEnd()) {
                state.output.nextEventTick = kLastEventNext;
            } else {
                return false;
            }
            state.phase = 4;
            break;
        case 4:
            if (!Scan(state, params, *samples)) {
                return false;
            }
            state.phase = 5;
            break;
        default: {
            const EventBCalcBase& in = state.input;
            EventBCalcMax& result = state.output;
            const double peak = in.value;
            const float pol = in.polarity;
            // The input event is the maximum when it lies beyond what the scan found (on the peak's side), and
            // always when the scan found none.
            if (result.maxTick < 0 || pol * peak > pol * static_cast<double>(result.maxValue)) {
                result.maxTick = in.tick;
                result.maxValue = static_cast<float>(peak);
            }
            if (IsFiniteValue(peak)) {
                if (result.riseStart < 0) {
                    result.riseStart = in.baselineEnd;
                }
                if (params.repositionEvent == 1) {
                    result.tick = result.maxTick;
                    result.offset = 0.0f;
                    result.value = result.maxValue;
                }
            } else {
                result.value = kUnsetDouble;
            }
            // The record is delivered by the request whose end lies beyond its tick.
            if (result.tick >= state.endTick) {
                state.UpdateResume(state.endTick);
                return false;
            }
            if (state.sourcesExhausted) {
                state.resume = EEH3::kEndTick;
            } else {
                state.UpdateResume(result.tick + 1);
            }
            state.phase = 0;
            out = result;
            return true;
        }
        }
    }
}

} // namespace CX::Enum::CalcAMax
