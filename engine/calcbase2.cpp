#include "engine/calcbase2.h"

#include "frame/typeid.h"

#include <cmath>
#include <utility>

namespace CX::Enum::CalcBase2 {

namespace {
const EEH3::FamilyRegistration registration(u"CalcBase2", &EEH3::Create<Family>);
// The tail overshoot of a signal that never came back to the baseline.
constexpr float kNeverReturned = std::bit_cast<float>(0x7FC30000u);
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 4>::Get(); }

Base2Params::Base2Params() { EEH3::ResetToDefaults(*this); }

double* Base2Params::Value(std::int32_t index, double& value, bool write)
{
    switch (index) {
    case 0:
        return EEH3::AccessInt(midPlateauPercent, value, write, 50);
    case 1:
        return EEH3::AccessInt(tauStartPercent, value, write, 50);
    case 2:
        return EEH3::AccessInt(tauEndPercent, value, write, 5);
    case 3:
        return EEH3::AccessInt(plateauCentrePercent, value, write, 50);
    default:
        return nullptr;
    }
}

void Base2Params::NormaliseTau()
{
    if (tauStartPercent < tauEndPercent) {
        std::swap(tauStartPercent, tauEndPercent);
    }
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventBCalcMax>(sources[1]);
    }
}

namespace {

void TakeExtremes(EventBCalcBase2& out, float s)
{
    // The first sample sets both (the extremes are unset until a sample was read).
    if (!IsFiniteValue(out.lowest) || s < out.lowest) {
        out.lowest = s;
    }
    if (!IsFiniteValue(out.highest) || s > out.highest) {
        out.highest = s;
    }
}

// The scan of step 4; false when it must wait for samples.
bool Scan(State& state, const Params& params, EEH3::FloatExWrapper& samples)
{
    const EventBCalcMax& in = state.input;
    EventBCalcBase2& out = state.output;
    const LONG stretchEnd = in.nextEventTick;
    if (!IsFiniteValue(in.value)) {
        // No peak: only the extremes of the stretch, with what samples there are.
        while (samples.Fetch() && samples.Position() < stretchEnd) {
            const float s = samples.Value();
            samples.Step();
            TakeExtremes(out, s);
        }
        return true;
    }
    const double base = in.baseline;
    const float pol = in.polarity;
    const double h = in.value - base;
    const double mid = params.midPlateauPercent * 0.01 * h + base;
    const double tauStart = params.tauStartPercent * 0.01 * h + base;
    const double tauEnd = (params.tauEndPercent * 0.01 + 0.000005) * h + base;
    const double tenPercent = h * 0.1 + base;
    while (samples.Fetch() && samples.Position() < stretchEnd) {
        const LONG t = samples.Position();
        const float s = samples.Value();
        const float sp = s * pol;
        if (t < in.tick) {
            if (!state.riseFound && sp > pol * mid) {
                state.riseFound = true;
                state.riseTick = t;
            }
        } else if (t <= in.fallEnd) {
            if (!state.fallFound && pol * mid > sp) {
                state.fallFound = true;
                state.fallTick = t;
            }
            if (out.tauStart < 0 && pol * tauStart >= sp) {
                out.tauStart = t;
            }
            if (out.tauEnd < 0 && pol * tauEnd >= sp) {
                out.tauEnd = t;
            }
            if (state.tenPercentTick < 0 && pol * tenPercent >= sp) {
                state.tenPercentTick = t;
            }
        } else if (sp >= in.baseline * pol) {
            out.returnTick = t; // back at the baseline: the next stretch starts on this sample
            break;
        } else if (std::fabs(s - in.baseline) > std::fabs(out.tailOvershoot)) {
            out.tailOvershoot = s - in.baseline;
        }
        samples.Step();
        TakeExtremes(out, s);
    }
    if (!samples.Fetch() && samples.Position() < stretchEnd && !state.sourcesExhausted && out.returnTick < 0) {
        state.UpdateResume(out.tick);
        return false;
    }
    return true;
}

} // namespace

bool Algorithm::Step(State& state, const Params& params, EventBCalcBase2& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    EEH3::EventWrapperEx<EventBCalcMax>* events = params.EventSource<EventBCalcMax>(1);
    if (!samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    for (;;) {
        switch (state.step) {
        case 0:
            state.awaitedSource = 1;
            state.riseFound = state.fallFound = false;
            state.riseTick = state.fallTick = -1;
            state.tenPercentTick = -1;
            state.step = 1;
            break;
        case 1:
            if (!events->HasCurrent()) {
                if (state.sourcesExhausted) {
                    state.resume = EEH3::kEndTick;
                } else {
                    state.UpdateResume(events->CurrentTick());
                }
                return false;
            }
            events->LoadCurrent();
            state.input = events->Current();
            events->Advance();
            state.step = 3;
            break;
        case 3:
            state.output = EventBCalcBase2(state.input);
            state.awaitedSource = 0;
            // Unset until a sample is there to read.
            if (samples->Fetch()) {
                state.output.lowest = state.output.highest = samples->Value();
            }
            state.output.tailOvershoot = 0.0f;
            state.output.returnTick = -1;
            state.step = 4;
            break;
        case 4:
            if (!Scan(state, params, *samples)) {
                return false;
            }
            state.step = 5;
            break;
        default: {
            EventBCalcBase2& result = state.output;
            result.midPlateauCentre =
                state.riseFound && state.fallFound
                    ? static_cast<LONG>((std::int64_t{state.riseTick} + state.fallTick) / 2)
                    : -1;
            const double p = params.plateauCentrePercent * 0.01;
            if (state.tenPercentTick >= 0 && state.input.riseStart >= 0) {
                result.plateauCentre =
                    static_cast<LONG>(std::trunc((1.0 - p) * state.input.riseStart + (state.tenPercentTick * p + 0.5)));
            } else {
                result.plateauCentre = -1;
            }
            if (result.returnTick == -1) {
                result.tailOvershoot = kNeverReturned;
            }
            if (result.tick >= state.endTick) {
                state.UpdateResume(result.tick);
                return false;
            }
            state.UpdateResume(result.tick + 1);
            state.step = 0;
            out = result;
            return true;
        }
        }
    }
}

} // namespace CX::Enum::CalcBase2
