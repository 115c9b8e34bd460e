#include "engine/calcbase.h"

#include "frame/typeid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace CX::Enum::CalcBase {

namespace {
const EEH3::FamilyRegistration registration(u"CalcBase", &EEH3::Create<Family>);

constexpr LONG kMinSegmentTicks = 500;

} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 4>::Get(); }

// ---- Parameters ----

BaseParams::BaseParams() { EEH3::ResetToDefaults(*this); }

double* BaseParams::Value(std::int32_t index, double& value, bool write)
{
    switch (index) {
    case 0:
        return EEH3::AccessDouble(maxBaselineMs, value, write, 0.0);
    case 1:
        return EEH3::AccessDouble(noiseTolerancePercent, value, write, 5.0);
    case 2:
        return EEH3::AccessDouble(searchStartMs, value, write);
    case 3:
        return EEH3::AccessDouble(searchEndMs, value, write);
    case 4:
        if (write) {
            // Rounded up from one half: -1 (and anything down to -1.5) is mode 0.
            mode = EEH3::RoundToTick(std::trunc(value + 0.5), 0);
        } else {
            value = mode;
        }
        return &value;
    case 5:
        return EEH3::AccessDouble(baselineValue, value, write);
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
        AddEventSource<EventPkStm>(sources[1]);
    }
    maxBaselineTicks = std::max(kMinSegmentTicks, EEH3::MsToTicksB(maxBaselineMs, tickPeriod));
    if (searchStartMs < 0.0 || searchEndMs < 0.0) {
        searchStartTicks = searchEndTicks = -1;
    } else {
        searchStartTicks = EEH3::MsToTicksA(searchStartMs, tickPeriod);
        searchEndTicks = EEH3::MsToTicksA(searchEndMs, tickPeriod);
    }
}

// ---- Segment search ----

void SegmentSearch::Open(LONG t, float v)
{
    noneOpen = false;
    start = t;
    first = v;
    band = static_cast<double>(std::fabs(eventValue - v)) * tolerancePercent * 0.01;
    sum = v;
    count = 1;
}

void SegmentSearch::Close(LONG t)
{
    const double mean = sum / count;
    const double n = count;
    const double score = std::fabs(eventValue - mean) * n * n * (1.0 / (static_cast<double>(eventTick) + 1.0 - t));
    // Ties go to the later segment, the one nearer the event.
    if (score >= bestScore && (windowStart < 0 || t > windowStart)) {
        bestScore = score;
        bestMean = static_cast<float>(mean);
        bestFirst = start;
        bestLast = start + count - 1;
    }
}

void SegmentSearch::Feed(LONG t, float v)
{
    const bool last = t == eventTick - 1;
    if (noneOpen) {
        if (windowEnd > 0 && t > windowEnd) {
            return;
        }
        Open(t, v);
    } else if (std::fabs(v - first) <= band && t - start <= maxLength) {
        ++count;
        sum += v;
    } else {
        Close(t); // v does not belong to it and starts the next one
        if (windowEnd > 0 && t > windowEnd) {
            noneOpen = true; // past the search end no segment opens, the first one or a later one
            return;
        }
        Open(t, v);
        return;
    }
    if (last) {
        Close(t);
        Open(t, v);
    }
}

void SegmentSearch::FeedRun(LONG t, const float* values, LONG n)
{
    // Feed's steps with the search's state in locals. Most segments on a plateau or a decay are a few samples long,
    // so a segment's end costs little: the score of a closed segment is computed only when a bound of it, which
    // needs no division, could reach the best score; the rest is Feed's arithmetic in Feed's order.
    LONG segStart = start;
    float level = first;
    double width = band;
    double total = sum;
    LONG taken = count;
    double best = bestScore;
    const float ev = eventValue;
    const double tolerance = tolerancePercent;
    const LONG lastTick = eventTick - 1;
    const double endDistance = static_cast<double>(eventTick) + 1.0;
    // |ev - level| of the open segment, and the reach of its samples from the level (the band, when not negative).
    double distance = static_cast<double>(std::fabs(ev - level));
    double reach = std::max(width, 0.0);

    const auto open = [&](LONG at, float v) {
        segStart = at;
        level = v;
        distance = static_cast<double>(std::fabs(ev - v));
        width = distance * tolerance * 0.01;
        reach = std::max(width, 0.0);
        total = v;
        taken = 1;
    };
    const auto close = [&](LONG at) {
        const double k = taken;
        // Every sample of the segment lies within the band around its first, and so does their mean up to the
        // rounding of the sum and the quotient: the bound covers those with a wide margin.
        const double bound = (distance + reach) * (1.0 + 0x1p-20) + (std::fabs(static_cast<double>(level)) + reach) * k * 0x1p-50 +
                             0x1p-140;
        if (bound * k * k * (1.0 + 0x1p-40) < best * (endDistance - at) * (1.0 - 0x1p-40)) {
            return; // its score stays below the best
        }
        const double mean = total / taken;
        const double score = std::fabs(ev - mean) * k * k * (1.0 / (endDistance - at));
        if (score >= best && (windowStart < 0 || at > windowStart)) {
            best = score;
            bestMean = static_cast<float>(mean);
            bestFirst = segStart;
            bestLast = segStart + taken - 1;
        }
    };

    LONG i = 0;
    while (i < n) {
        if (noneOpen) {
            if (windowEnd > 0 && t + i > windowEnd) {
                break; // no segment opens past the search end
            }
            noneOpen = false;
            open(t + i, values[i]);
            if (t + i == lastTick) {
                close(t + i);
                open(t + i, values[i]);
            }
            ++i;
            continue;
        }
        // The open segment takes the samples within its band, up to its longest length and short of the event's
        // last tick.
        const auto end = static_cast<LONG>(std::min<std::int64_t>(
            {n, std::int64_t{segStart} + maxLength - t + 1, std::int64_t{lastTick} - t}));
        while (i < end && std::fabs(values[i] - level) <= width) {
            ++taken;
            total += values[i];
            ++i;
        }
        if (i == n) {
            break;
        }
        const LONG at = t + i;
        const float v = values[i];
        ++i;
        if (std::fabs(v - level) <= width && at - segStart <= maxLength) {
            ++taken; // the event's last tick
            total += v;
        } else {
            close(at); // v does not belong to it and starts the next one
            if (windowEnd > 0 && at > windowEnd) {
                noneOpen = true; // past the search end no segment opens, the first one or a later one
                continue;
            }
            open(at, v);
            continue;
        }
        if (at == lastTick) {
            close(at);
            open(at, v);
        }
    }
    start = segStart;
    first = level;
    band = width;
    sum = total;
    count = taken;
    bestScore = best;
}

// ---- The step ----

namespace {

// The output's position and stimulus from the stored events; false when none is stored.
bool WritePosition(const State& state, EventBCalcBase& out)
{
    out.stimulusTick = state.stimulus.kind != kKindNone ? state.stimulus.tick : kUnsetTick;
    if (state.peak.kind != kKindNone) {
        out.tick = state.peak.tick;
        out.offset = 0.0f;
        out.value = static_cast<float>(state.peak.value);
    } else if (state.stimulus.kind != kKindNone) {
        out.tick = state.stimulus.tick;
        out.offset = 0.0f;
        out.value = kUnsetDouble;
    } else {
        return false;
    }
    return true;
}

// Where the baseline of a fixed level (modes 1 and 2) lies: up to the last sample at or beyond the level before
// the event, or, when none is, up to the sample farthest from the peak.
bool BaselineSpan(const State& state, EEH3::FloatExWrapper& samples, EventBCalcBase& out)
{
    const LONG origin = std::max<LONG>(state.lastConsumed, 0);
    const float pol = out.polarity;
    const float level = out.baseline * pol;
    out.baselineStart = origin;
    out.baselineEnd = out.tick;
    samples.Seek(origin);
    if (!samples.Fetch()) {
        return false;
    }
    float lowest = samples.Value();
    LONG lowestTick = samples.Position();
    bool crossed = false;
    while (samples.Position() < out.tick) {
        if (!samples.Fetch()) {
            return false;
        }
        const float s = samples.Value();
        const LONG t = samples.Position();
        if (lowest * pol > s * pol) {
            lowest = s;
            lowestTick = t;
        }
        if (level >= s * pol) {
            crossed = true;
            out.baselineEnd = t;
            if (t > origin) {
                out.baselineStart = t - 1;
            }
        }
        samples.Step();
    }
    if (!crossed) {
        out.baselineEnd = lowestTick;
        if (lowestTick > origin) {
            out.baselineStart = lowestTick - 1;
        }
    }
    return true;
}

// Mode 0 and any mode other than 1 and 2.
bool MeasureSegments(State& state, const Params& params, EEH3::FloatExWrapper& samples, LONG eventTick,
                     float eventValue, EventBCalcBase& out)
{
    SegmentSearch& search = state.search;
    search.eventTick = eventTick;
    search.eventValue = eventValue;
    if (state.stimulus.kind != kKindNone && params.searchStartTicks >= 0 && params.searchEndTicks >= 0) {
        search.windowStart = EEH3::AddTicks(state.stimulus.tick, params.searchStartTicks);
        search.windowEnd = EEH3::AddTicks(state.stimulus.tick, params.searchEndTicks);
    } else {
        search.windowStart = search.windowEnd = -1;
    }
    // The segments' state lives in the State: a feed cut off by samples not yet recorded goes on where it stopped.
    while (samples.Position() < eventTick) {
        if (!samples.Fetch()) {
            return false;
        }
        const LONG first = samples.Position();
        const LONG n = std::min<LONG>(samples.RunLength(), eventTick - first);
        search.FeedRun(first, samples.Run(), n);
        samples.StepOver(n);
    }
    state.lastConsumed = eventTick;
    WritePosition(state, out);
    if (search.bestScore > 0.0 && search.bestFirst >= 0 && search.bestLast >= 0) {
        out.baseline = search.bestMean;
        out.baselineStart = search.bestFirst;
        out.baselineEnd = search.bestLast;
        out.polarity = eventValue >= search.bestMean ? 1.0f : -1.0f;
    } else {
        // A stimulus without a response has no level to fall back on: its value is the stimulus marker's, not a
        // sample, so a level made from it would be a made-up baseline.
        const bool response = state.peak.kind != kKindNone;
        out.baseline = response ? static_cast<float>(eventValue * 0.999999) : kUnsetFloat;
        out.baselineStart = out.baselineEnd = eventTick - 1;
        out.polarity = 1.0f;
    }
    return true;
}

bool MeasureFixed(State& state, const Params& params, EEH3::FloatExWrapper& samples, LONG eventTick,
                  float eventValue, EventBCalcBase& out)
{
    WritePosition(state, out);
    out.baseline = static_cast<float>(params.baselineValue);
    out.polarity = eventValue < params.baselineValue ? -1.0f : 1.0f;
    if (!BaselineSpan(state, samples, out)) {
        return false;
    }
    state.lastConsumed = eventTick;
    return true;
}

bool MeasureMinimum(State& state, EEH3::FloatExWrapper& samples, LONG eventTick, EventBCalcBase& out)
{
    const LONG from = samples.Position();
    double lowest = DBL_MAX;
    while (samples.Position() < eventTick) {
        if (!samples.Fetch()) {
            samples.Seek(from); // the minimum starts again from here when the samples have come
            return false;
        }
        lowest = std::min<double>(lowest, samples.Value());
        samples.Step();
    }
    WritePosition(state, out);
    // No sample before the event: no level, rather than an infinite one.
    out.baseline = lowest == DBL_MAX ? kUnsetFloat : static_cast<float>(lowest);
    out.polarity = 1.0f;
    if (!BaselineSpan(state, samples, out)) {
        return false;
    }
    state.lastConsumed = eventTick;
    return true;
}

} // namespace

bool Algorithm::Step(State& state, const Params& params, EventBCalcBase& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    EEH3::EventWrapperEx<EventPkStm>* events = params.EventSource<EventPkStm>(1);
    if (!samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    out = EventBCalcBase{};
    if (state.sourcesExhausted) {
        // The flush: the pending event is completed and nothing follows it.
        state.resume = EEH3::kEndTick;
        if (!WritePosition(state, out)) {
            return false;
        }
    }
    for (;;) {
        switch (state.step) {
        case 0:
            state.search = SegmentSearch{};
            state.search.tolerancePercent = static_cast<float>(params.noiseTolerancePercent);
            state.search.maxLength = params.maxBaselineTicks;
            state.peak.kind = kKindNone;
            state.stimulus.kind = kKindNone;
            state.awaitedSource = 1;
            state.step = 1;
            break;
        case 1: {
            if (!events->HasCurrent()) {
                state.UpdateResume(events->CurrentTick());
                return false;
            }
            events->LoadCurrent();
            const EventPkStm& event = events->Current();
            if (event.kind == kKindPeak) {
                state.step = 3;
                break;
            }
            state.stimulus = event;
            if (event.tick >= state.endTick) {
                state.UpdateResume(event.tick);
                return false; // read again by the next request
            }
            events->Advance();
            state.step = 2;
            break;
        }
        case 2:
            // A stimulus waits for the peak after it, which may lie beyond the request.
            if (events->HasCurrent()) {
                events->LoadCurrent();
                state.step = events->Current().kind == kKindPeak ? 3 : 4;
            } else if (state.sourcesExhausted) {
                state.step = 4;
            } else {
                return false;
            }
            break;
        case 3:
            if (!events->HasCurrent()) {
                return false;
            }
            events->LoadCurrent();
            state.peak = events->Current();
            if (state.peak.tick >= state.endTick) {
                state.UpdateResume(state.endTick);
                return false;
            }
            events->Advance();
            state.UpdateResume(state.peak.tick);
            state.step = 4;
            break;
        default: {
            state.awaitedSource = 0;
            while (samples->Position() <= state.lastConsumed) {
                if (!samples->Fetch()) {
                    return false;
                }
                samples->Step();
            }
            const EventPkStm& measured = state.peak.kind != kKindNone ? state.peak : state.stimulus;
            const LONG eventTick = measured.tick;
            const auto eventValue = static_cast<float>(measured.value);
            bool done = false;
            switch (params.mode) {
            case 1:
                done = MeasureFixed(state, params, *samples, eventTick, eventValue, out);
                break;
            case 2:
                done = MeasureMinimum(state, *samples, eventTick, out);
                break;
            default:
                done = MeasureSegments(state, params, *samples, eventTick, eventValue, out);
                break;
            }
            if (!done) {
                return false;
            }
            state.UpdateResume(out.tick + 1);
            state.step = 0;
            return true;
        }
        }
    }
}

} // namespace CX::Enum::CalcBase
