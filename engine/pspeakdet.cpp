#include "engine/pspeakdet.h"

#include "frame/typeid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace CX::Enum::PSPeakDet {

namespace {
const EEH3::FamilyRegistration registration(u"PSPeakDet", &EEH3::Create<Family>);
constexpr LONG kHalf = 5; // the middle of the ring lies this many ticks before its newest sample

// A float sum formed in double and rounded to float.
float Shape(float peak1, float trough, float peak2)
{
    return static_cast<float>(static_cast<double>(peak1) - 2.0 * static_cast<double>(trough) +
                              static_cast<double>(peak2));
}
} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 2>::Get(); }

void Params::ReadValues(std::wistream& in)
{
    searchStartMs = searchEndMs = -1.0;
    EEH3::ReadDouble(in, searchStartMs);
    EEH3::ReadDouble(in, searchEndMs);
}

void Params::WriteValues(std::wostream& out) const
{
    EEH3::WriteDouble(out, searchStartMs);
    EEH3::WriteDouble(out, searchEndMs);
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<KVOEventBase>(sources[1]);
    }
    searchStartTicks = searchStartMs >= 0.0 ? EEH3::MsToTicksA(searchStartMs, tickPeriod) : 0;
    searchEndTicks = searchEndMs >= 0.0 ? EEH3::MsToTicksA(searchEndMs, tickPeriod) : 1000000;
}

void State::Add(Extremum e, bool peak)
{
    if (count == 0) {
        extrema[0] = e;
        count = peak ? 1 : 0; // a list never starts with a trough
        return;
    }
    if (peak == (count % 2 == 0)) {
        extrema[static_cast<std::size_t>(count++)] = e;
        if (count == 5) {
            // Keep the deepest of the three peak-trough-peak shapes.
            const auto& [p0, t1, p2, t3, p4] = extrema;
            const float h1 = Shape(p0.value, t1.value, p2.value);
            const float h2 = Shape(p2.value, t3.value, p4.value);
            const Extremum tm = t3.value <= t1.value ? t3 : t1;
            const float h3 = Shape(p0.value, tm.value, p4.value);
            if (h2 >= h1 && h2 >= h3) {
                extrema = {p2, t3, p4, {}, {}};
            } else if (h3 >= h1 && h3 >= h2) {
                extrema = {p0, tm, p4, {}, {}};
            }
            count = 3;
        }
        return;
    }
    Extremum& last = extrema[static_cast<std::size_t>(count - 1)];
    if (peak ? e.value > last.value : e.value < last.value) {
        last = e;
    }
}

namespace {
// The extremum test of the ring's middle sample (5 ticks before the newest; `write` is where the next sample goes),
// at tick `tick`: a peak when no other sample of the ring is greater, a trough when it is greater than none; NaN
// samples are never an extremum and never greater or smaller.
void TestMiddle(State& state, std::size_t write, LONG tick)
{
    constexpr std::size_t ring = State::kRing;
    std::size_t middle = write + kHalf;
    middle -= middle >= ring ? ring : 0;
    const float m = state.ring[middle];
    if (std::isnan(m)) {
        return;
    }
    // The middle sample is neither greater nor smaller than itself, and NaN than anything.
    using Floats = float __attribute__((vector_size(16)));
    using Masks = std::int32_t __attribute__((vector_size(16)));
    const Floats mm = {m, m, m, m};
    Masks greater = {0, 0, 0, 0};
    Masks smaller = {0, 0, 0, 0};
    for (std::size_t i = 0; i < State::kRing; i += 4) {
        Floats x;
        std::memcpy(&x, state.ring.data() + i, sizeof x);
        greater |= x > mm;
        smaller |= x < mm;
    }
    std::uint64_t g[2];
    std::uint64_t l[2];
    std::memcpy(g, &greater, sizeof g);
    std::memcpy(l, &smaller, sizeof l);
    const bool peak = (g[0] | g[1]) == 0;
    const bool trough = (l[0] | l[1]) == 0;
    if (peak || trough) {
        state.Add({tick, m}, peak);
    }
}
// The same test of the middles of the windows p[i - 10, i] for i in [from, end) (from at least 10), whose samples
// lie in the run itself, four middles at a time; `first` is the tick of p[0]. A middle is a peak when the greatest of its window, NaN passed
// over, is itself, and a trough likewise with the least.
void TestRun(State& state, const float* p, LONG from, LONG end, LONG first)
{
    using Floats = float __attribute__((vector_size(16)));
    using Masks = std::int32_t __attribute__((vector_size(16)));
    constexpr LONG kLanes = 4;
    LONG i = from;
    for (; i + kLanes <= end; i += kLanes) {
        const float* middle = p + i - kHalf;
        Floats m;
        std::memcpy(&m, middle, sizeof m);
        Floats most = m;
        Floats least = m;
        for (LONG d = -kHalf; d <= kHalf; ++d) {
            if (d == 0) {
                continue;
            }
            Floats x;
            std::memcpy(&x, middle + d, sizeof x);
            most = x > most ? x : most;
            least = x < least ? x : least;
        }
        const Masks peak = most == m;
        const Masks trough = least == m;
        const Masks any = peak | trough;
        std::uint64_t anyBits[2];
        std::memcpy(anyBits, &any, sizeof anyBits);
        if ((anyBits[0] | anyBits[1]) == 0) {
            continue;
        }
        std::int32_t lanes[kLanes];
        std::memcpy(lanes, &any, sizeof lanes);
        std::int32_t peaks[kLanes];
        std::memcpy(peaks, &peak, sizeof peaks);
        for (LONG k = 0; k < kLanes; ++k) {
            if (lanes[k] != 0) {
                state.Add({first + i + k - kHalf, middle[k]}, peaks[k] != 0);
            }
        }
    }
    for (; i < end; ++i) {
        const float m = p[i - kHalf];
        float most = m;
        float least = m;
        for (LONG d = -kHalf; d <= kHalf; ++d) {
            const float x = p[i - kHalf + d];
            most = x > most ? x : most;
            least = x < least ? x : least;
        }
        const bool peak = most == m;
        if (peak || least == m) {
            state.Add({first + i - kHalf, m}, peak);
        }
    }
}
} // namespace

bool Algorithm::Step(State& state, const Params& params, EventPkStm& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    auto* stimuli = params.EventSource<KVOEventBase>(1);
    if (!samples || !stimuli) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    for (;;) {
        switch (state.step) {
        case 0: {
            state.awaitedSource = 1;
            if (!stimuli->HasCurrent()) {
                if (state.sourcesExhausted) {
                    state.resume = EEH3::kEndTick;
                } else {
                    state.UpdateResume(stimuli->CurrentTick());
                }
                return false;
            }
            const LONG s = stimuli->CurrentTick();
            if (s >= state.endTick) {
                // Delivered by a later request.
                state.UpdateResume(s);
                return false;
            }
            out.SetPosition(s);
            state.UpdateResume(EEH3::AddTicks(s, 1));
            state.searchStart = EEH3::AddTicks(s, params.searchStartTicks);
            state.searchEnd = EEH3::AddTicks(s, params.searchEndTicks);
            state.stimulusTick = s;
            state.count = 0;
            state.writeIndex = 0;
            state.full = false;
            state.step = 1;
            stimuli->Advance();
            return true;
        }
        case 1:
            // The window ends at the next stimulus, once that is known.
            if (!stimuli->HasCurrent() && !state.sourcesExhausted && stimuli->CurrentTick() < state.searchEnd) {
                return false;
            }
            state.searchEnd = std::min(state.searchEnd, stimuli->CurrentTick());
            state.step = 2;
            break;
        case 2: {
            state.awaitedSource = 0;
            if (samples->Position() < state.stimulusTick) {
                samples->Seek(state.stimulusTick);
            }
            while (samples->Fetch() && samples->Position() < state.searchEnd) {
                // The buffered samples up to the window's end, with the ring's place in locals.
                const float* p = samples->Run();
                const LONG first = samples->Position();
                const LONG n = std::min<LONG>(samples->RunLength(), state.searchEnd - first);
                std::size_t write = static_cast<std::size_t>(state.writeIndex);
                bool full = state.full;
                // Until the run itself holds a whole ring, through the ring.
                const LONG throughRing = std::min<LONG>(n, State::kRing - 1);
                for (LONG i = 0; i < throughRing; ++i) {
                    state.ring[write] = p[i];
                    if (++write == State::kRing) {
                        write = 0;
                        full = true;
                    }
                    const LONG tick = first + i;
                    if (full && tick - kHalf >= state.searchStart) {
                        TestMiddle(state, write, tick - kHalf);
                    }
                }
                if (n > throughRing) {
                    // Then in place: the middles of the run's windows, four at a time.
                    TestRun(state, p, std::max<LONG>(throughRing, state.searchStart + kHalf - first), n, first);
                    std::copy(p + n - State::kRing, p + n, state.ring.begin());
                    write = 0;
                    full = true;
                }
                state.writeIndex = static_cast<LONG>(write);
                state.full = full;
                state.lastTick = first + n - 1;
                samples->StepOver(n);
            }
            if (samples->Position() < state.searchEnd && !state.sourcesExhausted) {
                return false; // the scan goes on at the next call
            }
            state.step = 3;
            break;
        }
        default: {
            if (state.count <= 2) {
                state.step = 0; // no complete spike
                break;
            }
            const Extremum& e = state.extrema[static_cast<std::size_t>(state.step - 3)];
            if (e.tick >= state.endTick) {
                state.UpdateResume(e.tick);
                return false; // delivered by a later request
            }
            out.tick = e.tick;
            out.offset = 0.0f;
            out.value = static_cast<double>(e.value);
            out.kind = kKindPeak;
            state.step = state.step == 5 ? 0 : state.step + 1;
            state.UpdateResume(EEH3::AddTicks(e.tick, 1));
            return true;
        }
        }
    }
}

} // namespace CX::Enum::PSPeakDet
