#include "engine/cappeakdet.h"

#include "engine/eeh3runs.h"
#include "frame/typeid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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

namespace {

constexpr LONG kChunk = 32; // samples looked at together

} // namespace

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    if (!samples || (state.sourcesExhausted && state.phase != 3)) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    // The loop works on locals: the compiler could not otherwise keep the State in registers.
    //
    // What a sample can change: while rising (phase 1) a candidate opens at the first sample that stands more than
    // Min Height above the lowest value before it (a higher maximum before it would have opened one already), so
    // only the minimum matters. While a candidate waits (phase 2) the peak is confirmed at the first sample that
    // lies more than Min Height below the maximum, unless a higher maximum comes first, so only the maximum and
    // the trough's value matter. A chunk of samples whose range cannot do either (the rounding of a float
    // difference only grows with its operands) moves only the minimum or the trough to the chunk's lowest sample;
    // the other chunks are read sample by sample.
    const double minHeight = params.minHeight;
    const float height = EEH3::FloatAtOrBelow(minHeight);
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

    while (phase != 3 && samples->Fetch()) {
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
            continue;
        }
        LONG skipped = 0;
        while (samples->RunLength() >= kChunk) {
            float low = phase == 1 ? minValue : troughValue;
            float high = -std::numeric_limits<float>::infinity();
            samples->ExtendRange(kChunk, low, high);
            if (phase == 1) {
                if (high - low > height) {
                    break;
                }
                minValue = low;
            } else {
                if (high > maxValue || maxValue - low > height) {
                    break;
                }
                troughValue = low;
            }
            samples->StepOver(kChunk);
            skipped += kChunk;
        }
        if (skipped > 0) {
            update(phase == 2 ? maxTick - 1 : samples->Position());
            continue;
        }
        // Sample by sample through one chunk.
        const float* p = samples->Run();
        const LONG end = std::min(samples->RunLength(), kChunk);
        for (LONG i = 0; i < end; ++i) {
            const float v = p[i];
            const LONG t = samples->Position();
            samples->Step();
            if (phase == 1) {
                if (v < minValue) {
                    minTick = maxTick = t;
                    minValue = maxValue = v;
                } else if (static_cast<double>(v - minValue) > minHeight) {
                    maxTick = troughTick = t;
                    maxValue = troughValue = v;
                    phase = 2;
                    update(t - 1);
                    continue;
                }
                update(t + 1);
            } else if (v < troughValue) {
                troughTick = t;
                troughValue = v;
                if (static_cast<double>(maxValue - troughValue) > minHeight) {
                    // The fall completed: a peak when it came late enough, else the search starts afresh.
                    phase = 2 * (std::int64_t{t} - maxTick) >= minWidth ? 3 : 0;
                    break;
                }
                update(maxTick - 1);
            } else if (v > maxValue) {
                maxTick = troughTick = t;
                maxValue = troughValue = v;
                update(t - 1);
            } else {
                update(maxTick - 1);
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
