#include "engine/cappwf.h"

#include "engine/eeh3runs.h"
#include "frame/typeid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace CX::Enum::CalcCAPPeakWidthFilter {

namespace {
const EEH3::FamilyRegistration registration(u"CAPPWF", &EEH3::Create<Family>);
constexpr double kDefaultWidthMs = 50.0;
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 0>::Get(); }

CAPPeakWidthFilterParams::CAPPeakWidthFilterParams() { EEH3::ResetToDefaults(*this); }

double* CAPPeakWidthFilterParams::Value(std::int32_t index, double& value, bool write)
{
    return index == 0 ? EEH3::AccessDouble(minWidthMs, value, write, kDefaultWidthMs) : nullptr;
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventBCalcBase>(sources[1]);
    }
    minWidthTicks = EEH3::MsToTicksB(minWidthMs, tickPeriod);
}

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    out.kind = kKindNone;
    if (state.sourcesExhausted) {
        state.resume = EEH3::kEndTick;
    }
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    auto* events = params.EventSource<EventBCalcBase>(1);
    if (!samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    for (;;) {
        if (state.phase == 0) {
            state.awaitedSource = 1;
            state.held = EventBCalcBase();
            state.rising = state.falling = -1;
            state.phase = 1;
        }
        if (state.phase == 1) {
            const bool got = events->HasCurrent();
            state.UpdateResume(events->CurrentTick());
            if (!got) {
                return false;
            }
            events->LoadCurrent();
            state.held = events->Current();
            events->Advance();
            state.phase = 2;
        }
        if (state.phase == 2) {
            if (state.held.tick >= state.endTick) {
                return false;
            }
            // The next event bounds the fall search: wait for it unless the events have ended.
            if (!events->HasCurrent() && !state.sourcesExhausted) {
                return false;
            }
            state.phase = 3;
        }
        if (state.phase == 3) {
            state.awaitedSource = 0;
            const EventBCalcBase& held = state.held;
            const float difference = static_cast<float>(held.value - static_cast<double>(held.baseline));
            const float half = static_cast<float>(static_cast<double>(difference) * 0.5 + held.baseline);
            const float p = held.polarity;
            LONG bound = EEH3::kEndTick;
            if (events->HasCurrent()) {
                events->LoadCurrent();
                // A baseline without an end (-1, the fallback at tick 0) bounds nothing.
                const LONG next = events->Current().baselineEnd;
                bound = next >= 0 ? next : EEH3::kEndTick;
            }
            // In runs of samples: before the peak the last crossing of each run counts, from the peak on the first.
            const float level = p * half;
            while (state.falling == -1) {
                const LONG at = samples->Position();
                if (at >= bound) {
                    break;
                }
                if (!samples->Fetch()) {
                    return false; // resumes with the crossings found so far
                }
                const float* run = samples->Run();
                const auto n = static_cast<LONG>(std::min<std::int64_t>(samples->RunLength(), std::int64_t{bound} - at));
                if (state.rising == -1) {
                    state.rising = at;
                }
                if (at < held.tick) {
                    const LONG before = std::min(n, held.tick - at);
                    for (LONG i = before; i-- > 0;) {
                        if (level >= p * run[i]) {
                            state.rising = at + i;
                            break;
                        }
                    }
                    samples->StepOver(before);
                    continue;
                }
                LONG i = EEH3::FirstScaledWhere(run, n, p, [level](auto v) { return v <= level; });
                if (i < n) {
                    state.falling = at + i;
                    ++i;
                }
                samples->StepOver(i);
            }
            if (state.falling == -1) {
                state.falling = samples->Position();
            }
            state.phase = 4;
        }
        state.UpdateResume(events->CurrentTick());
        const LONG width = state.falling - state.rising;
        state.phase = 0;
        if (static_cast<float>(width) >= static_cast<float>(params.minWidthTicks)) {
            out.SetPosition(static_cast<double>(state.held.tick) + state.held.offset);
            out.value = static_cast<double>(static_cast<float>(state.held.value));
            out.kind = kKindPeak;
            return true;
        }
    }
}

} // namespace CX::Enum::CalcCAPPeakWidthFilter
