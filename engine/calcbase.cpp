#include "engine/calcbase.h"

#include "engine/eeh3runs.h"
#include "frame/typeid.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace CX::Enum::CalcBase {

namespace {
const EEH3::FamilyRegistration registration(u"CalcBase", &EEH3::Create<Family>);

constexpr LONG kMinSegmentTicks = 500;

} // namespace

DWORD Family::DrawType() { return TypeIdClass<&CX::CXEventDrawGUID, 4>::Get(); }

// ---- Parameters ----

BaseParams::BaseParams() { EEH3::ResetToDefaults(*this); }

double* BaseParams::Value(std::int32_t index, double& value, bool write)
{
    switch (index) {
    case 0:
        return EEH3::AccessDouble(maxBaselineMs, value, write, 0.0);
    case 1:
        return EEH3::AccessDouble(noiseTolerancePercent, value, write, 5.0);
    case 2:
        return EEH3::AccessDouble(searchStartMs, value, write);
    case 3:
        return EEH3::AccessDouble(searchEndMs, value, write);
    case 4:
        if (write) {
            // Rounded up from one half: -1 (and anything down to -1.5) is mode 0.
            mode = EEH3::RoundToTick(std::trunc(value + 0.5), 0);
        } else {
            value = mode;
        }
        return &value;
    case 5:
        return EEH3::AccessDouble(baselineValue, value, write);
    default:
        return nullptr;
    }
}

void Params::SetSources(LONG count, IUnknown** sources, IUnknown**)
{
    if (count > 0) {
        AddSampleSource(sources[0]);
    }
    if (count > 1) {
        AddEventSource<EventPkStm>(sources[1]);
    }
    maxBaselineTicks = std::max(kMinSegmentTicks, EEH3::MsToTicksB(maxBaselineMs, tickPeriod));
    if (searchStartMs < 0.0 || searchEndMs < 0.0) {
        searchStartTicks = searchEndTicks = -1;
    } else {
        searchStartTicks = EEH3::MsToTicksA(searchStartMs, tickPeriod);
        searchEndTicks = EEH3::MsToTicksA(searchEndMs, tickPeriod);
    }
}

// ---- Segment search ----

void SegmentSearch::Open(LONG t, float v)
{
    noneOpen = false;
    start = t;
    first = v;
    band = static_cast<double>(std::fabs(eventValue - v)) * tolerancePercent * 0.01;
    sum = v;
    count = 1;
}

void SegmentSearch::Close(LONG t)
{
    const double mean = sum / count;
    const double n = count;
    const double score = std::fabs(eventValue - mean) * n * n * (1.0 / (static_cast<double>(eventTick) + 1.0 - t));
    // Ties go to the later segment, the one nearer the event.
    if (score >= bestScore && (windowStart < 0 || t > windowStart)) {
        bestScore = score;
        bestMean = static_cast<float>(mean);
        bestFirst = start;
        bestLast = start + count - 1;
    }
}

void SegmentSearch::Feed(LONG t, float v)
{
    const bool last = t == eventTick - 1;
    if (noneOpen) {
        if (windowEnd > 0 && t > windowEnd) {
            return;
        }
        Open(t, v);
    } else if (std::fabs(v - first) <= band && t - start <= maxLength) {
        ++count;
        sum += v;
    } else {
        Close(t); // v does not belong to it and starts the next one
        if (windowEnd > 0 && t > windowEnd) {
            noneOpen = true; // past the search end no segment opens, the first one or a later one
            return;
        }
        Open(t, v);
        return;
    }
    if (last) {
        Close(t);
        Open(t, v);
    }
}

namespace {

// The in-band test of a sample against the open segment, |v - first| <= band, is a float difference against a
// double band. For a band that is not negative (or NaN) it is the same test against the largest float at or below
// the band, which lets eight samples be tested at once. Those floats are made for a block of possible segment
// starts at a time: each sample's own band, from the event's value and the tolerance, as Open makes it.
constexpr LONG kHopBlock = 16;

void BandThresholds(const float* values, LONG n, float eventValue, double tolerance, float* out)
{
    LONG j = 0;
#if defined(__SSE2__)
    const __m128 ev = _mm_set1_ps(eventValue);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128d tol = _mm_set1_pd(tolerance);
    const __m128d percent = _mm_set1_pd(0.01);
    for (; j + 4 <= n; j += 4) {
        const __m128 distance = _mm_and_ps(_mm_sub_ps(ev, _mm_loadu_ps(values + j)), magnitude);
        const __m128d wideLow = _mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(distance), tol), percent);
        const __m128d wideHigh = _mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(distance, distance)), tol), percent);
        const __m128 rounded = _mm_movelh_ps(_mm_cvtpd_ps(wideLow), _mm_cvtpd_ps(wideHigh));
        // Rounded up past the band: one float lower (the band is not negative, so the float is above zero).
        const __m128d overLow = _mm_cmpgt_pd(_mm_cvtps_pd(rounded), wideLow);
        const __m128d overHigh = _mm_cmpgt_pd(_mm_cvtps_pd(_mm_movehl_ps(rounded, rounded)), wideHigh);
        const __m128 over = _mm_shuffle_ps(_mm_castpd_ps(overLow), _mm_castpd_ps(overHigh), _MM_SHUFFLE(2, 0, 2, 0));
        _mm_storeu_ps(out + j, _mm_castsi128_ps(_mm_add_epi32(_mm_castps_si128(rounded), _mm_castps_si128(over))));
    }
#endif
    for (; j < n; ++j) {
        const double band = static_cast<double>(std::fabs(eventValue - values[j])) * tolerance * 0.01;
        const auto rounded = static_cast<float>(band);
        out[j] = static_cast<double>(rounded) > band ? std::bit_cast<float>(std::bit_cast<std::uint32_t>(rounded) - 1u)
                                                     : rounded;
    }
}

// For each of the n samples at p (with eight more after them): how many of the eight samples after it lie within
// its threshold of it in a row (8: all of them), the length of a segment opened on it, less one.
void InBandRuns(const float* p, LONG n, const float* thresholds, std::int32_t* runs)
{
    LONG j = 0;
#if defined(__SSE2__)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (; j + 4 <= n; j += 4) {
        const __m128 first = _mm_loadu_ps(p + j);
        const __m128 limit = _mm_loadu_ps(thresholds + j);
        __m128 still = _mm_castsi128_ps(_mm_set1_epi32(-1));
        __m128i count = _mm_setzero_si128();
        for (int q = 1; q <= 8; ++q) {
            const __m128 in = _mm_cmple_ps(_mm_and_ps(_mm_sub_ps(_mm_loadu_ps(p + j + q), first), magnitude), limit);
            still = _mm_and_ps(still, in);
            count = _mm_sub_epi32(count, _mm_castps_si128(still));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(runs + j), count);
    }
#endif
    for (; j < n; ++j) {
        std::int32_t k = 0;
        while (k < 8 && std::fabs(p[j + 1 + k] - p[j]) <= thresholds[j]) {
            ++k;
        }
        runs[j] = k;
    }
}

} // namespace

void SegmentSearch::FeedRun(LONG t, const float* values, LONG n)
{
    // Feed's steps with the search's state in locals. Most segments on a plateau or a decay are a few samples long,
    // so a segment's end costs little: the score of a closed segment is computed only when a bound of it, which
    // needs no division, could reach the best score; the rest is Feed's arithmetic in Feed's order.
    LONG segStart = start;
    float level = first;
    double width = band;
    double total = sum;
    LONG taken = count;
    double best = bestScore;
    const float ev = eventValue;
    const double tolerance = tolerancePercent;
    const LONG lastTick = eventTick - 1;
    const double endDistance = static_cast<double>(eventTick) + 1.0;
    // |ev - level| of the open segment, and the reach of its samples from the level (the band, when not negative).
    double distance = static_cast<double>(std::fabs(ev - level));
    double reach = std::max(width, 0.0);

    const auto open = [&](LONG at, float v) {
        segStart = at;
        level = v;
        distance = static_cast<double>(std::fabs(ev - v));
        width = distance * tolerance * 0.01;
        reach = std::max(width, 0.0);
        total = v;
        taken = 1;
    };
    // Whether the score of the segment of k samples at `from` that closes at tick `at` may reach the best: every
    // sample of it lies within the band around its first, and so does their mean up to the rounding of the sum and
    // the quotient, which the bound covers with a wide margin.
    const auto mayWin = [&](double fromDistance, double fromReach, float from, double k, LONG at) {
        const double bound = (fromDistance + fromReach) * (1.0 + 0x1p-20) +
                             (std::fabs(static_cast<double>(from)) + fromReach) * k * 0x1p-50 + 0x1p-140;
        return !(bound * k * k * (1.0 + 0x1p-40) < best * (endDistance - at) * (1.0 - 0x1p-40));
    };
    const auto score = [&](LONG at) {
        const double k = taken;
        const double mean = total / taken;
        const double value = std::fabs(ev - mean) * k * k * (1.0 / (endDistance - at));
        if (value >= best && (windowStart < 0 || at > windowStart)) {
            best = value;
            bestMean = static_cast<float>(mean);
            bestFirst = segStart;
            bestLast = segStart + taken - 1;
        }
    };
    const auto close = [&](LONG at) {
        if (mayWin(distance, reach, level, taken, at)) {
            score(at);
        }
    };

    // Segments opened in this run and closed within the next eight samples are hopped over: their samples are
    // tested eight at a time and summed only when the bound lets their score reach the best. Their breaking sample
    // must open the next segment (within the search end, before the event's last tick).
    std::int64_t hopEnd = std::min<std::int64_t>(n, std::int64_t{lastTick} - t);
    if (windowEnd > 0) {
        hopEnd = std::min<std::int64_t>(hopEnd, std::int64_t{windowEnd} - t + 1);
    }
    const bool hops = tolerance >= 0.0 && maxLength >= 8;
    std::array<float, kHopBlock> thresholds;
    std::array<std::int32_t, kHopBlock> runs;
    LONG blockStart = 0;
    LONG blockEnd = 0;

    LONG i = 0;
    while (i < n) {
        if (noneOpen) {
            if (windowEnd > 0 && t + i > windowEnd) {
                break; // no segment opens past the search end
            }
            noneOpen = false;
            open(t + i, values[i]);
            if (t + i == lastTick) {
                close(t + i);
                open(t + i, values[i]);
            }
            ++i;
            continue;
        }
        if (hops && i > 0 && taken == 1 && segStart == t + i - 1) {
            LONG s = i - 1;
            while (s + 8 < hopEnd) {
                if (s >= blockEnd) {
                    blockStart = s;
                    blockEnd = static_cast<LONG>(std::min<std::int64_t>(s + kHopBlock, hopEnd - 8));
                    BandThresholds(values + s, blockEnd - s, ev, tolerance, thresholds.data());
                    InBandRuns(values + s, blockEnd - s, thresholds.data(), runs.data());
                }
                const float from = values[s];
                const std::int32_t run = runs[static_cast<std::size_t>(s - blockStart)];
                if (run == 8) {
                    break; // a longer segment: taken one by one below
                }
                const LONG at = s + run + 1;
                const double fromDistance = static_cast<double>(std::fabs(ev - from));
                const double fromWidth = fromDistance * tolerance * 0.01;
                if (mayWin(fromDistance, std::max(fromWidth, 0.0), from, run + 1, t + at)) {
                    segStart = t + s;
                    total = from;
                    for (LONG j = s + 1; j < at; ++j) {
                        total += values[j];
                    }
                    taken = run + 1;
                    score(t + at);
                }
                s = at;
            }
            if (s != i - 1) {
                open(t + s, values[s]);
                i = s + 1;
            }
        }
        // The open segment takes the samples within its band, up to its longest length and short of the event's
        // last tick.
        const auto end = static_cast<LONG>(std::min<std::int64_t>(
            {n, std::int64_t{segStart} + maxLength - t + 1, std::int64_t{lastTick} - t}));
        // Long segments are found eight samples at a time and summed side by side where that is exact.
        if (i < end) {
            const LONG k = EEH3::AddWhileWithin(total, values + i, end - i, level, EEH3::FloatAtOrBelow(width));
            taken += k;
            i += k;
        }
        if (i == n) {
            break;
        }
        const LONG at = t + i;
        const float v = values[i];
        ++i;
        if (std::fabs(v - level) <= width && at - segStart <= maxLength) {
            ++taken; // the event's last tick
            total += v;
        } else {
            close(at); // v does not belong to it and starts the next one
            if (windowEnd > 0 && at > windowEnd) {
                noneOpen = true; // past the search end no segment opens, the first one or a later one
                continue;
            }
            open(at, v);
            continue;
        }
        if (at == lastTick) {
            close(at);
            open(at, v);
        }
    }
    start = segStart;
    first = level;
    band = width;
    sum = total;
    count = taken;
    bestScore = best;
}

// ---- The step ----

namespace {

// The output's position and stimulus from the stored events; false when none is stored.
bool WritePosition(const State& state, EventBCalcBase& out)
{
    out.stimulusTick = state.stimulus.kind != kKindNone ? state.stimulus.tick : kUnsetTick;
    if (state.peak.kind != kKindNone) {
        out.tick = state.peak.tick;
        out.offset = 0.0f;
        out.value = static_cast<float>(state.peak.value);
    } else if (state.stimulus.kind != kKindNone) {
        out.tick = state.stimulus.tick;
        out.offset = 0.0f;
        out.value = kUnsetDouble;
    } else {
        return false;
    }
    return true;
}

// Where the baseline of a fixed level (modes 1 and 2) lies: up to the last sample at or beyond the level before
// the event, or, when none is, up to the sample farthest from the peak.
bool BaselineSpan(const State& state, EEH3::FloatExWrapper& samples, EventBCalcBase& out)
{
    const LONG origin = std::max<LONG>(state.lastConsumed, 0);
    const float pol = out.polarity;
    const float level = out.baseline * pol;
    out.baselineStart = origin;
    out.baselineEnd = out.tick;
    samples.Seek(origin);
    if (!samples.Fetch()) {
        return false;
    }
    float lowest = samples.Value();
    LONG lowestTick = samples.Position();
    bool crossed = false;
    while (samples.Position() < out.tick) {
        if (!samples.Fetch()) {
            return false;
        }
        const float s = samples.Value();
        const LONG t = samples.Position();
        if (lowest * pol > s * pol) {
            lowest = s;
            lowestTick = t;
        }
        if (level >= s * pol) {
            crossed = true;
            out.baselineEnd = t;
            if (t > origin) {
                out.baselineStart = t - 1;
            }
        }
        samples.Step();
    }
    if (!crossed) {
        out.baselineEnd = lowestTick;
        if (lowestTick > origin) {
            out.baselineStart = lowestTick - 1;
        }
    }
    return true;
}

// The latest flat-segment searches of this thread, each with the samples it searched. In a cardiac chain the
// baseline stage runs twice over the same events, before and after the width filter; a search from the same tick
// over the same samples with the same settings finds the same segment, so the second run takes the first one's
// result where every sample matches bit for bit.
class SearchMemo {
public:
    struct Key {
        LONG from = -1;
        LONG eventTick = 0;
        std::uint32_t eventValue = 0;
        std::uint32_t tolerance = 0;
        LONG maxLength = 0;
        LONG windowStart = 0;
        LONG windowEnd = 0;
        bool operator==(const Key&) const = default;
    };
    static constexpr LONG kLongest = 1 << 15; // samples of the longest search kept

    // Null while a search of this thread is using it (a source that is itself a calculation reads its own samples
    // in the middle of a search).
    static SearchMemo* Claim()
    {
        thread_local SearchMemo memo;
        if (memo.busy_) {
            return nullptr;
        }
        memo.busy_ = true;
        return &memo;
    }
    void Release() { busy_ = false; }

    // Takes the result of a search of `key` whose samples match those from the wrapper's position to the event
    // into `search`, the wrapper then at the event; false otherwise, the wrapper back at the key's first tick.
    bool Take(const Key& key, EEH3::FloatExWrapper& samples, SegmentSearch& search)
    {
        for (const Entry& entry : entries_) {
            if (!(entry.key == key)) {
                continue;
            }
            const float* stored = entry.samples.data();
            bool same = true;
            while (same && samples.Position() < key.eventTick) {
                if (!samples.Fetch()) {
                    same = false;
                    break;
                }
                const LONG at = samples.Position();
                const LONG n = std::min<LONG>(samples.RunLength(), key.eventTick - at);
                same = std::memcmp(samples.Run(), stored + (at - key.from), static_cast<std::size_t>(n) * 4) == 0;
                samples.StepOver(n);
            }
            if (same) {
                search.bestScore = entry.bestScore;
                search.bestMean = entry.bestMean;
                search.bestFirst = entry.bestFirst;
                search.bestLast = entry.bestLast;
                return true;
            }
            samples.Seek(key.from);
            return false;
        }
        return false;
    }

    // The samples of a search in progress, appended run by run, and the finished search's result.
    std::vector<float>& Recording() { return recording_; }
    void Store(const Key& key, const SegmentSearch& search)
    {
        Entry& entry = entries_[next_];
        next_ = (next_ + 1) % entries_.size();
        entry.key = key;
        entry.bestScore = search.bestScore;
        entry.bestMean = search.bestMean;
        entry.bestFirst = search.bestFirst;
        entry.bestLast = search.bestLast;
        entry.samples.swap(recording_);
    }

private:
    struct Entry {
        Key key;
        double bestScore = 0.0;
        float bestMean = 0.0f;
        LONG bestFirst = -1;
        LONG bestLast = -1;
        std::vector<float> samples;
    };
    // The first stage can run ahead of the second by the records buffered between them.
    std::array<Entry, 32> entries_;
    std::size_t next_ = 0;
    std::vector<float> recording_;
    bool busy_ = false;
};

// Mode 0 and any mode other than 1 and 2.
bool MeasureSegments(State& state, const Params& params, EEH3::FloatExWrapper& samples, LONG eventTick,
                     float eventValue, EventBCalcBase& out)
{
    SegmentSearch& search = state.search;
    search.eventTick = eventTick;
    search.eventValue = eventValue;
    if (state.stimulus.kind != kKindNone && params.searchStartTicks >= 0 && params.searchEndTicks >= 0) {
        search.windowStart = EEH3::AddTicks(state.stimulus.tick, params.searchStartTicks);
        search.windowEnd = EEH3::AddTicks(state.stimulus.tick, params.searchEndTicks);
    } else {
        search.windowStart = search.windowEnd = -1;
    }
    // A fresh search may be one done before; it is then recorded to be found again, when it finishes in this call.
    SearchMemo* memo = nullptr;
    SearchMemo::Key key;
    if (!state.searchStarted) {
        state.searchStarted = true;
        key = {samples.Position(), eventTick, std::bit_cast<std::uint32_t>(eventValue),
               std::bit_cast<std::uint32_t>(search.tolerancePercent), search.maxLength, search.windowStart,
               search.windowEnd};
        if (std::int64_t{eventTick} - key.from <= SearchMemo::kLongest) {
            memo = SearchMemo::Claim();
        }
    }
    const auto release = [&memo] {
        if (memo) {
            memo->Release();
            memo = nullptr;
        }
    };
    if (memo && memo->Take(key, samples, search)) {
        release();
    } else {
        if (memo) {
            memo->Recording().clear();
        }
        // The segments' state lives in the State: a feed cut off by samples not yet recorded goes on where it
        // stopped.
        while (samples.Position() < eventTick) {
            if (!samples.Fetch()) {
                release();
                return false;
            }
            const LONG first = samples.Position();
            const LONG n = std::min<LONG>(samples.RunLength(), eventTick - first);
            if (memo) {
                memo->Recording().insert(memo->Recording().end(), samples.Run(), samples.Run() + n);
            }
            search.FeedRun(first, samples.Run(), n);
            samples.StepOver(n);
        }
        if (memo) {
            memo->Store(key, search);
        }
        release();
    }
    state.lastConsumed = eventTick;
    WritePosition(state, out);
    if (search.bestScore > 0.0 && search.bestFirst >= 0 && search.bestLast >= 0) {
        out.baseline = search.bestMean;
        out.baselineStart = search.bestFirst;
        out.baselineEnd = search.bestLast;
        out.polarity = eventValue >= search.bestMean ? 1.0f : -1.0f;
    } else {
        // A stimulus without a response has no level to fall back on: its value is the stimulus marker's, not a
        // sample, so a level made from it would be a made-up baseline.
        const bool response = state.peak.kind != kKindNone;
        out.baseline = response ? static_cast<float>(eventValue * 0.999999) : kUnsetFloat;
        out.baselineStart = out.baselineEnd = eventTick - 1;
        out.polarity = 1.0f;
    }
    return true;
}

bool MeasureFixed(State& state, const Params& params, EEH3::FloatExWrapper& samples, LONG eventTick,
                  float eventValue, EventBCalcBase& out)
{
    WritePosition(state, out);
    out.baseline = static_cast<float>(params.baselineValue);
    out.polarity = eventValue < params.baselineValue ? -1.0f : 1.0f;
    if (!BaselineSpan(state, samples, out)) {
        return false;
    }
    state.lastConsumed = eventTick;
    return true;
}

bool MeasureMinimum(State& state, EEH3::FloatExWrapper& samples, LONG eventTick, EventBCalcBase& out)
{
    const LONG from = samples.Position();
    double lowest = DBL_MAX;
    while (samples.Position() < eventTick) {
        if (!samples.Fetch()) {
            samples.Seek(from); // the minimum starts again from here when the samples have come
            return false;
        }
        lowest = std::min<double>(lowest, samples.Value());
        samples.Step();
    }
    WritePosition(state, out);
    // No sample before the event: no level, rather than an infinite one.
    out.baseline = lowest == DBL_MAX ? kUnsetFloat : static_cast<float>(lowest);
    out.polarity = 1.0f;
    if (!BaselineSpan(state, samples, out)) {
        return false;
    }
    state.lastConsumed = eventTick;
    return true;
}

} // namespace

bool Algorithm::Step(State& state, const Params& params, EventBCalcBase& out)
{
    EEH3::FloatExWrapper* samples = params.SampleSource(0);
    EEH3::EventWrapperEx<EventPkStm>* events = params.EventSource<EventPkStm>(1);
    if (!samples || !events) {
        state.resume = EEH3::kEndTick;
        return false;
    }
    out = EventBCalcBase{};
    if (state.sourcesExhausted) {
        // The flush: the pending event is completed and nothing follows it.
        state.resume = EEH3::kEndTick;
        if (!WritePosition(state, out)) {
            return false;
        }
    }
    for (;;) {
        switch (state.step) {
        case 0:
            state.search = SegmentSearch{};
            state.searchStarted = false;
            state.search.tolerancePercent = static_cast<float>(params.noiseTolerancePercent);
            state.search.maxLength = params.maxBaselineTicks;
            state.peak.kind = kKindNone;
            state.stimulus.kind = kKindNone;
            state.awaitedSource = 1;
            state.step = 1;
            break;
        case 1: {
            if (!events->HasCurrent()) {
                state.UpdateResume(events->CurrentTick());
                return false;
            }
            events->LoadCurrent();
            const EventPkStm& event = events->Current();
            if (event.kind == kKindPeak) {
                state.step = 3;
                break;
            }
            state.stimulus = event;
            if (event.tick >= state.endTick) {
                state.UpdateResume(event.tick);
                return false; // read again by the next request
            }
            events->Advance();
            state.step = 2;
            break;
        }
        case 2:
            // A stimulus waits for the peak after it, which may lie beyond the request.
            if (events->HasCurrent()) {
                events->LoadCurrent();
                state.step = events->Current().kind == kKindPeak ? 3 : 4;
            } else if (state.sourcesExhausted) {
                state.step = 4;
            } else {
                return false;
            }
            break;
        case 3:
            if (!events->HasCurrent()) {
                return false;
            }
            events->LoadCurrent();
            state.peak = events->Current();
            if (state.peak.tick >= state.endTick) {
                state.UpdateResume(state.endTick);
                return false;
            }
            events->Advance();
            state.UpdateResume(state.peak.tick);
            state.step = 4;
            break;
        default: {
            state.awaitedSource = 0;
            while (samples->Position() <= state.lastConsumed) {
                if (!samples->Fetch()) {
                    return false;
                }
                samples->Step();
            }
            const EventPkStm& measured = state.peak.kind != kKindNone ? state.peak : state.stimulus;
            const LONG eventTick = measured.tick;
            const auto eventValue = static_cast<float>(measured.value);
            bool done = false;
            switch (params.mode) {
            case 1:
                done = MeasureFixed(state, params, *samples, eventTick, eventValue, out);
                break;
            case 2:
                done = MeasureMinimum(state, *samples, eventTick, out);
                break;
            default:
                done = MeasureSegments(state, params, *samples, eventTick, eventValue, out);
                break;
            }
            if (!done) {
                return false;
            }
            state.UpdateResume(out.tick + 1);
            state.step = 0;
            return true;
        }
        }
    }
}

} // namespace CX::Enum::CalcBase
