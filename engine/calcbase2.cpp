#include "engine/calcbase2.h"

#include "engine/eeh3runs.h"
#include "frame/typeid.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// TakeExtremes for each of the n samples in turn. Where the extremes and eight samples in a row are finite, the
// eight are taken in two vectors; the lanes' extremes are the sequence's own, except that a zero at either extreme
// may be the other zero of an earlier sample, so those ranges are taken again one by one.
void TakeExtremes(EventBCalcBase2& out, const float* p, LONG n)
{
    using Floats = float __attribute__((vector_size(16)));
    using Bits = std::uint32_t __attribute__((vector_size(16)));
    LONG i = 0;
    while (i < n) {
        if (!IsFiniteValue(out.lowest) || !IsFiniteValue(out.highest)) {
            TakeExtremes(out, p[i++]);
            continue;
        }
        const float low = out.lowest;
        const float high = out.highest;
        Floats lo[2] = {{low, low, low, low}, {low, low, low, low}};
        Floats hi[2] = {{high, high, high, high}, {high, high, high, high}};
        const LONG from = i;
        for (; i + 8 <= n; i += 8) {
            Floats v[2];
            std::memcpy(&v, p + i, sizeof v);
            const auto special = ((std::bit_cast<Bits>(v[0]) & 0x7F800000u) == 0x7F800000u) |
                                 ((std::bit_cast<Bits>(v[1]) & 0x7F800000u) == 0x7F800000u);
#if defined(__SSE2__)
            if (_mm_movemask_ps(std::bit_cast<__m128>(special)) != 0) {
                break; // an infinity or NaN: one by one
            }
#else
            if ((special[0] | special[1] | special[2] | special[3]) != 0) {
                break; // an infinity or NaN: one by one
            }
#endif
            for (int k = 0; k < 2; ++k) {
                lo[k] = v[k] < lo[k] ? v[k] : lo[k];
                hi[k] = v[k] > hi[k] ? v[k] : hi[k];
            }
        }
        const Floats l = lo[0] < lo[1] ? lo[0] : lo[1];
        const Floats h = hi[0] > hi[1] ? hi[0] : hi[1];
        float lowest = low;
        float highest = high;
        for (int k = 0; k < 4; ++k) {
            lowest = l[k] < lowest ? l[k] : lowest;
            highest = h[k] > highest ? h[k] : highest;
        }
        if ((lowest == 0.0f && lowest != low) || (highest == 0.0f && highest != high)) {
            for (LONG j = from; j < i; ++j) {
                TakeExtremes(out, p[j]);
            }
        } else {
            out.lowest = lowest;
            out.highest = highest;
        }
        // The rest of a run, or a sample that is not finite, one by one.
        const LONG single = std::min<LONG>(n, i + 8);
        for (; i < single; ++i) {
            TakeExtremes(out, p[i]);
        }
    }
}

// The scan of step 4; false when it must wait for samples. The samples are taken in the buffered runs of the
// source, each run split where the stretch's phase changes: before the event, up to the fall's end, and after it.
bool Scan(State& state, const Params& params, EEH3::FloatExWrapper& samples)
{
    const EventBCalcMax& in = state.input;
    EventBCalcBase2& out = state.output;
    const LONG stretchEnd = in.nextEventTick;
    // The samples of the run from the current one that lie in the stretch and before `limit`.
    const auto runLength = [&](std::int64_t limit) {
        const LONG at = samples.Position();
        return static_cast<LONG>(std::clamp<std::int64_t>(std::min<std::int64_t>(limit, stretchEnd) - at, 0,
                                                          samples.RunLength()));
    };
    if (!IsFiniteValue(in.value)) {
        // No peak: only the extremes of the stretch, with what samples there are.
        while (samples.Fetch() && samples.Position() < stretchEnd) {
            const LONG n = runLength(stretchEnd);
            TakeExtremes(out, samples.Run(), n);
            samples.StepOver(n);
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
    // The levels as float bounds of s * pol, which is a float (see FloatAtOrBelow).
    const float riseAbove = EEH3::FloatAtOrBelow(pol * mid);
    const float fallBelow = EEH3::FloatAtOrAbove(pol * mid);
    while (samples.Fetch() && samples.Position() < stretchEnd) {
        const LONG t = samples.Position();
        const float* p = samples.Run();
        if (t < in.tick) {
            const LONG n = runLength(in.tick);
            if (!state.riseFound) {
                const LONG i = EEH3::FirstScaledWhere(p, n, pol, [riseAbove](auto sp) { return sp > riseAbove; });
                if (i < n) {
                    state.riseFound = true;
                    state.riseTick = t + i;
                }
            }
            TakeExtremes(out, p, n);
            samples.StepOver(n);
        } else if (t <= in.fallEnd) {
            const LONG n = runLength(std::int64_t{in.fallEnd} + 1);
            if (!state.fallFound) {
                const LONG i = EEH3::FirstScaledWhere(p, n, pol, [fallBelow](auto sp) { return sp < fallBelow; });
                if (i < n) {
                    state.fallFound = true;
                    state.fallTick = t + i;
                }
            }
            const auto first = [&](LONG& tick, double level) {
                if (tick < 0) {
                    const float bound = EEH3::FloatAtOrBelow(pol * level);
                    const LONG i = EEH3::FirstScaledWhere(p, n, pol, [bound](auto sp) { return sp <= bound; });
                    if (i < n) {
                        tick = t + i;
                    }
                }
            };
            first(out.tauStart, tauStart);
            first(out.tauEnd, tauEnd);
            first(state.tenPercentTick, tenPercent);
            TakeExtremes(out, p, n);
            samples.StepOver(n);
        } else {
            const LONG n = runLength(stretchEnd);
            const float back = in.baseline * pol;
            const float reach = std::fabs(out.tailOvershoot);
            float overshoot = out.tailOvershoot;
            float furthest = reach;
            LONG i = 0;
            for (; i < n; ++i) {
                const float s = p[i];
                if (s * pol >= back) {
                    break;
                }
                const float d = s - in.baseline;
                if (std::fabs(d) > furthest) {
                    furthest = std::fabs(d);
                    overshoot = d;
                }
            }
            out.tailOvershoot = overshoot;
            TakeExtremes(out, p, i);
            samples.StepOver(i);
            if (i < n) {
                out.returnTick = t + i; // back at the baseline: the next stretch starts on this sample
                break;
            }
        }
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
