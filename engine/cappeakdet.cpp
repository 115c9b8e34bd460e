#include "engine/cappeakdet.h"

#include "frame/typeid.h"

#include <algorithm>
#include <cmath>

namespace CX::Enum::CAPPeakDet {

namespace {
const EEH3::FamilyRegistration registration(u"CAPPeakDet", &EEH3::Create<Family>);
constexpr double kLowestHeight = 1e-30;
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 0>::Get(); }

void Params::ReadValues(std::wistream& in)
{
    minHeight = 0.0;
    minWidthMs = -1.0;
    EEH3::ReadDouble(in, minHeight);
    EEH3::ReadDouble(in, minWidthMs);
    // Thresholds are always positive.
    minHeight = std::max(minHeight, kLowestHeight);
}

void Params::WriteValues(std::wostream& out) const
{
    EEH3::WriteDouble(out, minHeight);
    EEH3::WriteDouble(out, minWidthMs);
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    minWidthTicks = minWidthMs > 0.0 ? EEH3::MsToTicksA(minWidthMs, tickPeriod) : 0;
}

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    if (!samples || (state.sourcesExhausted && state.phase != 3)) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    // The loop works on locals: the samples are floats too, and the compiler could not otherwise keep the State
    // in registers.
    const double minHeight = params.minHeight;
    const std::int64_t minWidth = params.minWidthTicks;
    LONG phase = state.phase;
    LONG minTick = state.minTick;
    float minValue = state.minValue;
    LONG maxTick = state.maxTick;
    float maxValue = state.maxValue;
    LONG troughTick = state.troughTick;
    float troughValue = state.troughValue;
    LONG resume = state.resume;
    auto update = [&resume](LONG x) { resume = std::max(resume, x); };

    while (samples->Fetch()) {
        if (phase == 3) {
            break;
        }
        if (phase == 0) {
            const float v = samples->Value();
            const LONG t = samples->Position();
            samples->Step();
            if (std::isnan(v)) {
                continue; // a NaN sample starts no search: it would stand as every level, and nothing passes it
            }
            minTick = maxTick = troughTick = t;
            minValue = maxValue = troughValue = v;
            phase = 1;
        }
        while (samples->Fetch()) {
            // Most samples move nothing: in phase 1 those within [minimum, maximum], in phase 2 those within
            // [trough, maximum] (the trough lies above the minimum). Over a run of them only the resume position
            // changes, as the last of them would change it.
            if (samples->SkipWithin(phase == 2 ? troughValue : minValue, maxValue) > 0) {
                update(phase == 2 ? maxTick - 1 : samples->Position());
                if (!samples->Fetch()) {
                    break;
                }
            }
            const float v = samples->Value();
            const LONG t = samples->Position();
            samples->Step();
            if (phase == 2 && v < troughValue) {
                troughTick = t;
                troughValue = v;
                if (static_cast<double>(maxValue - troughValue) > minHeight) {
                    // The fall completed: a peak when it came late enough, else the search starts afresh.
                    phase = 2 * (std::int64_t{t} - maxTick) >= minWidth ? 3 : 0;
                    break;
                }
                update(maxTick - 1);
            } else if (v < minValue) {
                minTick = maxTick = t;
                minValue = maxValue = v;
                phase = 1;
                update(t + 1);
            } else if (v > maxValue) {
                maxTick = t;
                maxValue = v;
                if (static_cast<double>(maxValue - minValue) > minHeight) {
                    troughTick = t;
                    troughValue = v;
                    phase = 2;
                    update(t - 1);
                } else {
                    update(phase == 2 ? maxTick - 1 : t + 1);
                }
            } else {
                update(phase == 2 ? maxTick - 1 : t + 1);
            }
        }
    }

    bool got = false;
    if (phase == 3) {
        if (maxTick < state.endTick) {
            phase = 0;
            update(troughTick + 1);
            out.tick = maxTick;
            out.offset = 0.0f;
            out.value = static_cast<double>(maxValue);
            out.kind = kKindPeak;
            got = true;
        } else {
            update(state.endTick); // reported by a later request
        }
    } else {
        update(samples->Exhausted() ? EEH3::kEndTick : (phase == 2 ? maxTick - 1 : samples->Position()));
    }
    state.phase = phase;
    state.minTick = minTick;
    state.minValue = minValue;
    state.maxTick = maxTick;
    state.maxValue = maxValue;
    state.troughTick = troughTick;
    state.troughValue = troughValue;
    state.resume = resume;
    return got;
}

} // namespace CX::Enum::CAPPeakDet
