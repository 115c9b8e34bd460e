#include "engine/pscalc.h"

#include "frame/typeid.h"

#include <bit>
#include <cmath>

namespace CX::Enum::PSCalc {

namespace {

const EEH3::FamilyRegistration registration(u"PSCalcBase", &EEH3::Create<Family>);

// {A4D3F5C2-1B6E-4E0F-8C97-3E2B5D7A9F08}: the population-spike algorithm, for the key of its shared cache.
constexpr GUID kPSAlgorithmId{0xA4D3F5C2, 0x1B6E, 0x4E0F, {0x8C, 0x97, 0x3E, 0x2B, 0x5D, 0x7A, 0x9F, 0x08}};

constexpr double kUnsetDouble = std::bit_cast<double>(0x7FF8600000000000ull);

} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 4>::Get(); }

DWORD Algorithm::GetTypeId() { return TypeIdClass<&kPSAlgorithmId, 0>::Get(); }

double* PSCalcParams::Value(std::int32_t index, double& value, bool write)
{
    static constexpr double kDefaults[kCount] = {0.0, 100.0, 100.0};
    double* fields[kCount] = {&slopeStartMs, &slopeEndMs, &valueAtMs};
    if (index < 0 || index >= kCount) {
        return nullptr;
    }
    if (!write) {
        value = *fields[index];
        return &value;
    }
    *fields[index] = std::fabs(value + 1.0) < 1e-12 ? kDefaults[index] : value;
    return fields[index];
}

void Params::ReadValues(std::wistream& in)
{
    for (std::int32_t i = 0; i < PSCalcParams::kCount; ++i) {
        double value = -1.0;
        EEH3::ReadDouble(in, value);
        values.Value(i, value, true);
    }
}

void Params::WriteValues(std::wostream& out) const
{
    EEH3::WriteDouble(out, values.slopeStartMs);
    EEH3::WriteDouble(out, values.slopeEndMs);
    EEH3::WriteDouble(out, values.valueAtMs);
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventPkStm>(sources[1]);
    }
    valueAtTicks = EEH3::MsToTicksB(values.valueAtMs, tickPeriod);
}

PSState::PSState() { plugins.Add(std::make_unique<CalcSlope<PSState, Params, EventFCalc>>()); }

namespace {

// A clean final record: every stage field and result at its default, no byte left over.
void Reset(EventFCalc& out)
{
    out.ResetAllStages();
    out.ResetResults();
    out.unread140 = out.unread144 = out.unread160 = kUnsetFloat;
    out.pad20 = out.pad44 = out.pad68 = out.pad340 = 0;
}

void Measure(PSState& s, const Params& params, EEH3::FloatExWrapper& samples, EventFCalc& out)
{
    const Entry& stimulus = s.entries[0];
    const Entry& p1 = s.entries[1];
    const Entry& trough = s.entries[2];
    const Entry& p2 = s.entries[3];
    s.awaitedSource = 0;
    Reset(out);
    s.current.ResetAllStages();
    s.current.stimulusTick = stimulus.tick;
    auto& slope = s.plugins[0];
    slope.Begin(s, params);
    const PluginWindow window = slope.Window(s, params);
    const bool applies = slope.Applies(s, params);
    const std::int64_t valueTick = std::int64_t{stimulus.tick} + params.valueAtTicks;

    if (samples.Position() < stimulus.tick) {
        samples.Seek(stimulus.tick);
    }
    while (samples.Position() < s.nextEventTick && samples.Fetch()) {
        const float v = samples.Value();
        const LONG t = samples.Position();
        if (t == valueTick) {
            s.valueAt = v;
        }
        if (p1.tick <= t && t < p2.tick) {
            s.sum += v;
        }
        if (applies && window.Holds(t)) {
            slope.AddSample(s, params, t, v);
        }
        samples.Step();
        // The extremes run over every sample the State walks, from spike to spike.
        if (s.extremes) {
            s.maximum = std::max(s.maximum, v);
            s.minimum = std::min(s.minimum, v);
        } else {
            s.maximum = s.minimum = v;
            s.extremes = true;
        }
    }

    ++s.counter;
    const double period = params.tickPeriod;
    out.tick = p1.tick;
    out.offset = 0.0f;
    out.value = p1.value;
    out.stimulusTick = stimulus.tick;
    out.riseStart = p1.tick;
    out.fallEnd = SaturatedTick(static_cast<std::int64_t>(std::trunc((std::int64_t{p2.tick} - p1.tick) * 0.5 + p2.tick)));
    out.lowest = s.extremes ? s.minimum : kUnsetFloat;
    out.highest = s.extremes ? s.maximum : kUnsetFloat;
    out.reserved104 = trough.tick;
    out.reserved108 = p2.tick;
    out.count = s.counter;
    SetResult(out.tStart, (std::int64_t{p1.tick} - params.StartTickLimit(params.record)) * period);
    out.valueAt = s.valueAt;
    const float f = static_cast<float>(trough.tick - p1.tick) / static_cast<float>(p2.tick - p1.tick);
    SetResult(out.popSpikeHeight, ((1.0f - f) * p1.value + f * p2.value) - trough.value);
    SetResult(out.popSpikeArea,
              (static_cast<double>(p2.value + p1.value) * 0.5 * (std::int64_t{p2.tick} - p1.tick) - s.sum) * period);
    slope.Finish(s, params, out);
}

} // namespace

bool Algorithm::Step(PSState& s, const Params& params, EventFCalc& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    auto* events = params.EventSource<EventPkStm>(1);
    if (!samples || !events) {
        s.resume = EEH3::kEndTick;
        return false;
    }
    if (s.sourcesExhausted) {
        s.resume = EEH3::kEndTick;
    }
    s.awaitedSource = 1;
    if (s.step == 0) {
        s.collected = 0;
        s.sum = 0.0f;
        s.valueAt = kUnsetFloat;
        s.step = 1;
    }
    while (s.step == 1) {
        const bool got = events->HasCurrent();
        if (s.collected == 0) {
            s.UpdateResume(events->CurrentTick());
        }
        if (!got) {
            if (!s.sourcesExhausted || s.collected == 0) {
                return false;
            }
            s.step = 2;
            break;
        }
        events->LoadCurrent();
        const EventPkStm& e = events->Current();
        if (e.kind == kKindStimulus && s.collected > 0) {
            // A stimulus before the spike was complete: it starts the next cycle and is not taken here.
            s.collected = 0;
            s.step = 3;
            break;
        }
        s.entries[s.collected] = {e.tick, static_cast<float>(e.value)};
        ++s.collected;
        events->Advance();
        if (s.collected == 4) {
            s.step = 2;
        }
    }
    if (s.step == 2) {
        const bool got = events->HasCurrent();
        if (!got && !s.sourcesExhausted) {
            return false;
        }
        s.nextEventTick = got ? events->CurrentTick() : EEH3::kEndTick;
        s.step = 3;
    }
    // A record at or after the request's end is made by a later request, so that no request passes one over.
    const Entry& first = s.collected == 4 ? s.entries[1] : s.entries[0];
    if (first.tick >= s.endTick) {
        // The spike's events are taken already, so its source may have run out and set the block's end: the
        // record still owed holds the State at the request's end (a request that ends just after a stimulus on the
        // range's first tick would lose it).
        if (s.sourcesExhausted) {
            s.resume = s.endTick;
        } else {
            s.UpdateResume(s.endTick);
        }
        return false;
    }
    if (s.collected < 4) {
        // A stimulus without a complete spike: a record of its own, without a value.
        Reset(out);
        const LONG tick = s.entries[0].tick;
        out.tick = tick;
        out.offset = 0.0f;
        out.value = kUnsetDouble;
        out.stimulusTick = tick;
        out.fallEnd = SaturatedTick(std::int64_t{tick} + 1);
    } else {
        Measure(s, params, *samples, out);
    }
    events->HasCurrent();
    s.UpdateResume(events->CurrentTick());
    s.step = 0;
    return true;
}

} // namespace CX::Enum::PSCalc
