#include "engine/erpeakdet.h"

#include "frame/typeid.h"

#include <algorithm>
#include <cmath>

namespace CX::Enum::ERPeakDet {

namespace {
const EEH3::FamilyRegistration registration(u"ERPeakDet", &EEH3::Create<Family>);
constexpr double kLowestHeight = 1e-30;
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 0>::Get(); }

void Params::ReadValues(std::wistream& in)
{
    height = searchStartMs = searchEndMs = -1.0;
    EEH3::ReadDouble(in, height);
    EEH3::ReadDouble(in, searchStartMs);
    EEH3::ReadDouble(in, searchEndMs);
    if (!(height > 0.0)) {
        height = kLowestHeight;
    }
}

void Params::WriteValues(std::wostream& out) const
{
    EEH3::WriteDouble(out, height);
    EEH3::WriteDouble(out, searchStartMs);
    EEH3::WriteDouble(out, searchEndMs);
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventPkStm>(sources[1]);
    }
    searchStartTicks = EEH3::MsToTicksA(searchStartMs, tickPeriod);
    searchEndTicks = EEH3::MsToTicksA(searchEndMs, tickPeriod);
}

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    auto* stimuli = params.EventSource<EventPkStm>(1);
    if (state.sourcesExhausted || !samples || !stimuli) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    if (state.phase == 0) {
        state.phase = 1;
    }
    for (;;) {
        if (state.phase == 1) {
            // Take the next stimulus.
            state.awaitedSource = 1;
            if (!stimuli->HasCurrent() || stimuli->CurrentTick() >= state.endTick) {
                state.UpdateResume(stimuli->CurrentTick());
                return false;
            }
            stimuli->LoadCurrent();
            const LONG s = stimuli->Current().tick;
            state.stimulusTick = s;
            state.windowStart = std::max(s, EEH3::AddTicks(s, params.searchStartTicks));
            state.windowEnd = std::max(state.windowStart, EEH3::AddTicks(s, params.searchEndTicks));
            state.minTick = state.maxTick = state.windowStart;
            state.minValue = state.maxValue = kUnsetFloat;
            stimuli->Advance();
            state.phase = 2;
            out.SetPosition(s);
            state.UpdateResume(EEH3::AddTicks(s, 1));
            return true;
        }
        if (state.phase == 2) {
            // Position the samples on the stimulus; the reference level is the first sample there that is a
            // number.
            if (!stimuli->HasCurrent() && stimuli->CurrentTick() <= state.windowStart) {
                state.UpdateResume(state.stimulusTick);
                return false;
            }
            state.awaitedSource = 0;
            samples->Seek(state.stimulusTick);
            while (samples->Fetch() && std::isnan(samples->Value())) {
                samples->Step();
            }
            if (!samples->Fetch()) {
                state.UpdateResume(samples->Position());
                return false;
            }
            state.minValue = state.maxValue = samples->Value();
            state.phase = 3;
        }
        // Scan up to the next stimulus.
        state.awaitedSource = 1;
        stimuli->HasCurrent();
        const LONG nextStimulus = stimuli->CurrentTick();
        if (state.maxTick > state.windowEnd) {
            state.phase = 1;
            continue;
        }
        bool done = false;
        while (!done) {
            const LONG t = samples->Position();
            if (t >= nextStimulus && stimuli->HasCurrent()) {
                break; // no peak for this stimulus
            }
            if (!samples->Fetch()) {
                state.awaitedSource = 0;
                state.UpdateResume(state.maxTick);
                return false;
            }
            if (t >= nextStimulus || state.maxTick >= state.endTick) {
                state.UpdateResume(state.maxTick);
                return false;
            }
            const float v = samples->Value();
            samples->Step();
            if (static_cast<double>(state.maxValue - state.minValue) >= params.height &&
                static_cast<double>(state.maxValue - v) >= params.height) {
                if (state.windowStart <= state.maxTick && state.maxTick <= state.windowEnd &&
                    state.maxTick > state.stimulusTick) {
                    out.tick = state.maxTick;
                    out.offset = 0.0f;
                    out.value = static_cast<double>(state.maxValue);
                    out.kind = kKindPeak;
                    state.phase = 1;
                    state.UpdateResume(EEH3::AddTicks(state.maxTick, 1));
                    return true;
                }
                // A peak outside the window: the search starts again at this sample.
                state.minTick = state.maxTick = t;
                state.minValue = state.maxValue = v;
            } else if (v >= state.maxValue) {
                state.maxTick = t;
                state.maxValue = v;
            } else if (v < state.minValue) {
                state.minTick = state.maxTick = t;
                state.minValue = state.maxValue = v;
            }
            done = state.maxTick > state.windowEnd;
        }
        state.phase = 1;
    }
}

} // namespace CX::Enum::ERPeakDet
