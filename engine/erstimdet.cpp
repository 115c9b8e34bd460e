#include "engine/erstimdet.h"

#include "frame/typeid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace CX::Enum::ERStimDet {

namespace {
const EEH3::FamilyRegistration registration(u"ERStimDet", &EEH3::Create<Family>);
constexpr LONG kChunk = 32; // samples looked at together

// Feeds one sample to a detector of polarity `sign`. `resume` is preset by the caller and moved as the detector's
// phase says. Returns true when the sample completed a pulse that passes the width and skip tests.
bool Detect(PulseDetector& d, float sign, LONG t, float v, const Params& params, LONG& resume)
{
    if (std::isnan(v)) {
        // A NaN sample changes no level and no phase; the detector has passed it.
        if (d.phase == 1) {
            resume = t;
        }
        return false;
    }
    switch (d.phase) {
    case 0:
        d.startTick = t;
        d.startValue = v;
        d.phase = 1;
        return false;
    case 1:
        if (sign * (d.startValue - v) > 0.0f) {
            d.startTick = t;
            d.startValue = v;
        } else if (static_cast<double>(sign * (v - d.startValue)) >= params.height) {
            d.peakTick = t;
            d.peakValue = v;
            d.phase = 2;
        }
        resume = t;
        return false;
    default:
        if (sign * (v - d.peakValue) > 0.0f) {
            d.peakTick = t;
            d.peakValue = v;
            resume = t;
            return false;
        }
        if (static_cast<double>(sign * (d.peakValue - v)) >= params.height) {
            resume = d.peakTick + 1;
            d.phase = 0;
            const bool narrow =
                static_cast<double>(params.widthTicks) >= 2.0 * (static_cast<double>(t) - d.peakTick);
            const bool afterSkip = static_cast<double>(params.skipTicks) < 1e-12 || d.peakTick > params.skipTicks;
            return narrow && afterSkip;
        }
        return false;
    }
}
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 0>::Get(); }

StimDetParams::StimDetParams() { EEH3::ResetToDefaults(*this); }

double* StimDetParams::Value(std::int32_t index, double& value, bool write)
{
    switch (index) {
    case 0:
        return EEH3::AccessDouble(height, value, write, 1.0);
    case 1:
        return EEH3::AccessDouble(widthMs, value, write, 10.0);
    case 2:
        return EEH3::AccessDouble(skipMs, value, write, 0.0);
    case 3:
        return EEH3::AccessDouble(minGapMs, value, write, 0.0);
    case 4: {
        double flag = oneStimPerBlock ? 1.0 : 0.0;
        EEH3::AccessDouble(flag, value, write, 0.0);
        oneStimPerBlock = flag > 0.5;
        return &value;
    }
    default:
        return nullptr;
    }
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    widthTicks = EEH3::MsToTicksA(widthMs, tickPeriod);
    if (widthTicks < 0) {
        widthTicks = EEH3::kEndTick; // a negative width lets every pulse pass
    }
    skipTicks = std::max<LONG>(EEH3::MsToTicksA(skipMs, tickPeriod), 0);
    minGapTicks = EEH3::MsToTicksA(minGapMs, tickPeriod);
}

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    if (!samples || state.sourcesExhausted) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    const double height = params.height;
    while (samples->Fetch()) {
        if (state.resume >= state.endTick) {
            return false; // the sample stays unread
        }
        // While both detectors track their start level (the lowest sample for the positive one, the highest for
        // the negative one), a chunk of samples whose range stays below Height from both levels starts no pulse
        // (float differences only grow with their operands): it moves the two levels and the resume position.
        // The last sample of the chunk may lie at the request's end tick at most, as sample by sample.
        if (state.positive.phase == 1 && state.negative.phase == 1 && samples->RunLength() >= kChunk &&
            std::int64_t{samples->Position()} + kChunk - 1 <= state.endTick) {
            float low = std::numeric_limits<float>::infinity();
            float high = -low;
            samples->ExtendRange(kChunk, low, high);
            const float lowest = std::min(state.positive.startValue, low);
            const float highest = std::max(state.negative.startValue, high);
            if (!(static_cast<double>(high - lowest) >= height) && !(static_cast<double>(highest - low) >= height)) {
                state.positive.startValue = lowest;
                state.negative.startValue = highest;
                samples->StepOver(kChunk);
                state.UpdateResume(samples->Position() - 1);
                continue;
            }
        }
        const float v = samples->Value();
        const LONG t = samples->Position();
        LONG up = state.resume;
        LONG down = state.resume;
        const bool positive = Detect(state.positive, 1.0f, t, v, params, up);
        const bool negative = Detect(state.negative, -1.0f, t, v, params, down);
        state.UpdateResume(std::min(up, down));
        samples->Step();
        if (!positive && !negative) {
            continue;
        }
        // Both detectors start afresh; on the same sample the positive pulse wins.
        const LONG stimulus = positive ? state.positive.peakTick : state.negative.peakTick;
        state.positive.phase = 0;
        state.negative.phase = 0;
        if (std::int64_t{stimulus} - state.lastStimulus >= params.minGapTicks) {
            state.lastStimulus = stimulus;
            out.SetPosition(stimulus);
            state.UpdateResume(params.oneStimPerBlock ? EEH3::kEndTick : stimulus + 1);
            return true;
        }
    }
    return false;
}

} // namespace CX::Enum::ERStimDet
