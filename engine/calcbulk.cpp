#include "engine/calcbulk.h"

#include "document/chartdatachilddata.h"
#include "frame/typeid.h"
#include "sdk/chartdata.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>
#include <limits>

namespace CX::Enum::CalcBulk {

namespace {

const EEH3::FamilyRegistration registration(u"CalcBulk", &EEH3::Create<Family>);

// {0E7C1B52-3A4F-4D86-9F21-6B5A8C3D2E17}: the final-parameter algorithm, for the key of its shared cache.
constexpr GUID kBulkAlgorithmId{0x0E7C1B52, 0x3A4F, 0x4D86, {0x9F, 0x21, 0x6B, 0x5A, 0x8C, 0x3D, 0x2E, 0x17}};

constexpr LONG kDefaultSmoothing = 5;
constexpr LONG kFewestSmoothing = 2;
constexpr LONG kMostSmoothing = 1000;

bool MeansDefault(double v) { return std::fabs(v + 1.0) < 1e-12; }

// trunc(v + 0.5), saturated; NaN gives `nanValue`.
std::int32_t TruncHalfUp(double v, std::int32_t nanValue = 0)
{
    if (std::isnan(v)) {
        return nanValue;
    }
    return static_cast<std::int32_t>(std::clamp(std::trunc(v + 0.5), -2147483648.0, 2147483647.0));
}

// An int32 with a default: -1 stores the default; others are rounded half away from zero.
std::int32_t IntWithDefault(double v, std::int32_t fallback)
{
    if (MeansDefault(v) || std::isnan(v)) {
        return fallback;
    }
    return EEH3::RoundToTick(v, fallback);
}

double DoubleWithDefault(double v, double fallback) { return MeansDefault(v) ? fallback : v; }

// The accessor of one value: a double field, or an int32 field seen as a double.
double* Access(double& field, double& value, bool write)
{
    if (write) {
        field = value;
        return &field;
    }
    value = field;
    return &value;
}

} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 1>::Get(); }

DWORD CBkAlgorithm::GetTypeId() { return TypeIdClass<&kBulkAlgorithmId, 0>::Get(); }

// ---- Parameters ----

BulkParams::BulkParams()
{
    for (std::int32_t i = 0; i < kCount; ++i) {
        double unset = -1.0;
        Value(i, unset, true);
    }
}

double* BulkParams::Value(std::int32_t index, double& value, bool write)
{
    auto integer = [&](std::int32_t& field, std::int32_t written) -> double* {
        if (write) {
            field = written;
        } else {
            value = field;
        }
        return &value;
    };
    switch (index) {
    case kAnalysisType:
        // Only the analysis types 0 to 5 are known; anything else is the general one.
        return integer(analysisType, value >= 0.0 && value < 6.0 ? TruncHalfUp(value) : 0);
    case kAreaStartMs:
        return Access(areaStartMs, value, write);
    case kAreaEndMs:
        return Access(areaEndMs, value, write);
    case kTauMode:
        return integer(tauMode, write ? TruncHalfUp(value) : 0);
    case kTauFixedValue:
        return Access(tauFixedValue, value, write);
    case kRiseStartPercent:
        return integer(riseStartPercent, write ? IntWithDefault(value, 30) : 0);
    case kRiseEndPercent:
        return integer(riseEndPercent, write ? IntWithDefault(value, 70) : 0);
    case kTriangulationStartPercent:
        return integer(triangulationStartPercent, write ? IntWithDefault(value, 30) : 0);
    case kTriangulationEndPercent:
        return integer(triangulationEndPercent, write ? IntWithDefault(value, 70) : 0);
    case kPlateauWidthMs:
        return Access(plateauWidthMs, value, write);
    case kPltWidthMs:
        return Access(pltWidthMs, value, write);
    case kSlopeStartMs:
        return Access(slopeStartMs, value, write);
    case kSlopeEndMs:
        return Access(slopeEndMs, value, write);
    case kValueMs:
        return Access(valueMs, value, write);
    case kMaxNegSlopeStartMs:
        return integer(maxNegSlopeStartMs, write ? IntWithDefault(value, 50) : 0);
    case kMaxNegSlopeSmoothMs:
        if (write) {
            value = DoubleWithDefault(value, 4.0);
        }
        return Access(maxNegSlopeSmoothMs, value, write);
    default:
        return nullptr;
    }
}

void Params::ReadValues(std::wistream& in)
{
    for (std::int32_t i = 0; i < BulkParams::kCount; ++i) {
        double value = -1.0;
        EEH3::ReadDouble(in, value);
        bulk.Value(i, value, true);
    }
}

void Params::WriteValues(std::wostream& out) const
{
    BulkParams copy = bulk;
    for (std::int32_t i = 0; i < BulkParams::kCount; ++i) {
        double value = 0.0;
        EEH3::WriteDouble(out, *copy.Value(i, value, false));
    }
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventBCalcBase2>(sources[1]);
    }
    plateauWidthTicks = EEH3::MsToTicksA(bulk.plateauWidthMs, tickPeriod);
    pltWidthTicks = EEH3::MsToTicksA(bulk.pltWidthMs, tickPeriod);
    smoothingPoints = kDefaultSmoothing;
    // The analysed channel, as the analysis document keeps it for the host data.
    if (const auto childData = CX::Doc::ChartDataChildData::FindOrCreate(context.Get())) {
        platform::ComPtr<CX::ICXSettingsChildData> settings;
        if (SUCCEEDED(childData->QueryInterface(CX::IID_ICXSettingsChildData, settings.OutVoid())) && settings) {
            settings->GetChannelPair(channelPair);
        }
    }
}

void Params::UpdateSmoothingPoints() const
{
    ChannelTimeBase base{1, 1, 0.0};
    platform::ComPtr<IChannelData> data;
    if (context && SUCCEEDED(context->QueryInterface(IID_IChannelData, data.OutVoid())) && data) {
        data->GetChannelTimeBase(0, record, channelPair[0], &base);
    }
    // A time base that cannot be a ratio of ticks gives the default; any other answer is kept within a ring size
    // that has a slope and stays small.
    if (base.a <= 0 || base.b <= 0 || !std::isfinite(base.o)) {
        smoothingPoints = kDefaultSmoothing;
        return;
    }
    const double points =
        std::trunc((5.0 - base.o) / (static_cast<double>(base.a) / static_cast<double>(base.b)));
    smoothingPoints = std::isnan(points) ? kDefaultSmoothing
                                         : static_cast<LONG>(std::clamp<double>(points, kFewestSmoothing,
                                                                                 kMostSmoothing));
}

// ---- State ----

State::State()
{
    plugins.Add(std::make_unique<CalcArea<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcSlope<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcValue<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcWidths<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcTau<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcMinMaxSlope<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcPeakArea<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcAHPArea<State, Params, EventFCalc>>());
    plugins.Add(std::make_unique<CalcMaxNegSlope<State, Params, EventFCalc>>());
}

// ---- Step ----

namespace {

constexpr std::size_t kPlugins = 9;

// A plateau window [centre - width / 2, centre + width / 2) (integer halves; a negative width gives none).
PluginWindow PlateauWindow(LONG centre, LONG width)
{
    return {SaturatedTick(std::int64_t{centre} - width / 2), SaturatedTick(std::int64_t{centre} + width / 2)};
}

void Measure(State& state, const Params& params, EEH3::FloatExWrapper& samples, EventFCalc& out)
{
    const EventBCalcBase2& r = state.current;
    ++state.counter;
    state.awaitedSource = 0;
    const bool valid = IsFiniteValue(r.value);
    const double base = r.baseline;
    const double peak = r.value;
    const float sign = r.polarity;
    const double levelA = (base + params.bulk.riseStartPercent * 0.01 * (peak - base)) * sign;
    const double levelB = (base + params.bulk.riseEndPercent * 0.01 * (peak - base)) * sign;
    const PluginWindow plateauV2 = PlateauWindow(r.plateauCentre, params.plateauWidthTicks);
    const PluginWindow plateauV1 = PlateauWindow(r.midPlateauCentre, params.pltWidthTicks);

    // Windows and applicability are fixed for the record: asked once, not at every sample.
    auto& plugins = state.plugins;
    std::array<PluginWindow, kPlugins> windows{};
    std::array<bool, kPlugins> applies{};
    std::int64_t last = std::int64_t{r.fallEnd} + 2;
    for (std::size_t i = 0; i < kPlugins; ++i) {
        windows[i] = plugins[i].Window(state, params);
        applies[i] = plugins[i].Applies(state, params);
        if (windows[i].end >= 0) {
            last = std::max<std::int64_t>(last, windows[i].end);
        }
    }
    last = std::min<std::int64_t>(last, r.nextEventTick);

    // The walk starts at the first tick that the record or a plug-in window needs: back, when a window starts
    // before the samples already read.
    LONG earliest = std::max<LONG>(r.EarliestTick(), 0); // a baseline ending at tick 0 needs no tick before it
    for (std::size_t i = 0; i < kPlugins; ++i) {
        if (applies[i] && windows[i].start >= 0) {
            earliest = std::min(earliest, windows[i].start);
        }
    }
    if (samples.Position() != earliest) {
        samples.Seek(earliest);
    }
    // Each crossing is the first sample from its start tick on that meets its level: sought on its own in a run,
    // until found.
    auto seek = [&](Crossing& c, LONG from, LONG first, const float* run, LONG count, double level, bool rising) {
        if (c.tick >= 0) {
            return;
        }
        const auto start = static_cast<LONG>(std::clamp<std::int64_t>(std::int64_t{from} - first, 0, count));
        const LONG i = rising ? FirstAtOrAbove(run, start, count, sign, level)
                              : FirstAtOrBelow(run, start, count, sign, level);
        if (i < count) {
            c = {first + i, run[i]};
        }
    };
    // The part of [first, first + count) that a window holds, as offsets into the run.
    auto overlap = [](const PluginWindow& w, LONG first, LONG count) {
        const LONG from = std::clamp<LONG>(w.start < first ? 0 : w.start - first, 0, count);
        const LONG to = std::clamp<LONG>(static_cast<LONG>(std::min<std::int64_t>(std::int64_t{w.end} - first, count)),
                                         from, count);
        return std::pair{from, to};
    };
    // The samples are taken a buffered run at a time; each plug-in gets the part of the run in its window.
    while (samples.Position() <= last && samples.Fetch()) {
        const LONG first = samples.Position();
        const auto count = static_cast<LONG>(std::min<std::int64_t>(samples.RunLength(), last - first + 1));
        const float* run = samples.Run();
        if (valid) {
            seek(state.riseA, r.riseStart, first, run, count, levelA, true);
            seek(state.riseB, r.riseStart, first, run, count, levelB, true);
            seek(state.fallB, r.tick, first, run, count, levelB, false);
            seek(state.fallA, r.tick, first, run, count, levelA, false);
            for (const auto& [window, sum, n] : {std::tie(plateauV2, state.sumV2, state.countV2),
                                                 std::tie(plateauV1, state.sumV1, state.countV1)}) {
                const auto [from, to] = overlap(window, first, count);
                for (LONG i = from; i < to; ++i) {
                    sum += run[i];
                }
                n += to - from;
            }
        }
        for (std::size_t i = 0; i < kPlugins; ++i) {
            if (applies[i]) {
                const auto [from, to] = overlap(windows[i], first, count);
                if (from < to) {
                    plugins[i].AddSamples(state, params, first + from, run + from, to - from);
                }
            }
        }
        samples.StepOver(count);
    }

    // The output: the input record, then the results (each the unset marker unless measured).
    std::memcpy(static_cast<void*>(&out), &r, sizeof(EventBCalcBase2));
    out.pad20 = out.pad44 = out.pad68 = out.pad340 = 0;
    out.ResetResults();
    out.unread140 = out.unread144 = out.unread160 = kUnsetFloat;
    out.count = state.counter;
    const double period = params.tickPeriod;
    if (valid) {
        SetResult(out.timeToPeak, (std::int64_t{r.maxTick} - r.riseStart) * period);
        SetResult(out.aPeak, r.value);
        if (IsFiniteValue(out.aPeak)) {
            SetResult(out.height, out.aPeak - r.baseline);
        }
        if (state.riseA.tick >= 0 && state.riseB.tick >= state.riseA.tick) {
            const double rise = (std::int64_t{state.riseB.tick} - state.riseA.tick) * period;
            SetResult(out.tRise, rise);
            SetResult(out.slopeRise, (static_cast<double>(state.riseB.value) - state.riseA.value) / rise);
        }
        if (state.fallB.tick >= 0 && state.fallA.tick >= state.fallB.tick) {
            const double fall = (std::int64_t{state.fallA.tick} - state.fallB.tick) * period;
            SetResult(out.tFall, fall);
            SetResult(out.slopeFall, (static_cast<double>(state.fallA.value) - state.fallB.value) / fall);
        }
        if (r.stimulusTick >= 0) {
            SetResult(out.result51, (std::int64_t{r.tick} - r.stimulusTick) * period);
            SetResult(out.latency, (std::int64_t{r.riseStart} - r.stimulusTick) * period);
        }
        if (r.plateauCentre >= 0 && state.countV2 > 0) {
            SetResult(out.plateauV2, state.sumV2 / state.countV2);
        }
        if (r.midPlateauCentre >= 0 && state.countV1 > 0) {
            SetResult(out.plateauV1, state.sumV1 / state.countV1);
        }
        if (state.previousTick >= 0) {
            SetResult(out.period, (std::int64_t{r.tick} - state.previousTick) * period);
        }
    }
    state.previousTick = valid ? r.tick : -1;
    for (std::size_t i = 0; i < kPlugins; ++i) {
        plugins[i].Finish(state, params, out);
    }
    state.UpdateResume(std::min<LONG>(state.endTick, std::max(SaturatedTick(std::int64_t{r.tick} + 1), r.fallEnd)));
}

} // namespace

bool CBkAlgorithm::Step(State& state, const Params& params, EventFCalc& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    auto* events = params.EventSource<EventBCalcBase2>(1);
    if (state.sourcesExhausted || !samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    params.UpdateSmoothingPoints();
    if (state.step == 0) {
        state.counter = 0;
        state.step = 1;
    }
    state.awaitedSource = 1;
    if (!events->HasCurrent()) {
        return false;
    }
    events->LoadCurrent();
    state.current = events->Current();
    if (state.current.tick >= state.endTick) {
        state.UpdateResume(state.endTick); // read again by a later request
        return false;
    }
    state.riseA = state.riseB = state.fallB = state.fallA = Crossing{};
    state.sumV1 = state.sumV2 = 0.0;
    state.countV1 = state.countV2 = 0;
    for (std::size_t i = 0; i < state.plugins.Size(); ++i) {
        state.plugins[i].Begin(state, params);
    }
    events->Advance();
    state.step = 2;
    Measure(state, params, *samples, out);
    state.step = 1;
    return true;
}

} // namespace CX::Enum::CalcBulk
