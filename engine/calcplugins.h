// The measurement plug-ins of the final stages: small objects that each look at the samples inside a window of
// their own around the current event, accumulate while the stage walks the samples once, and write their results
// into the final record. Each is a template over the stage's State, Params and the final record; the stage holds
// them in a PluginList, in an order that matters (CalcPeakArea reads the end time that CalcWidths writes).
//
// What a stage provides: State::current (the EventBCalcBase2 being measured); Params on EEH3::ParamsBase with the
// accessors AnalysisType(), SlopeStartMs() and SlopeEndMs() (CalcSlope) and, for the others, AreaStartMs(),
// AreaEndMs(), ValueMs(), TauMode(), TauFixedValue(), TriangulationStartPercent(), TriangulationEndPercent(),
// MaxNegSlopeStartMs(), MaxNegSlopeSmoothMs() and SmoothingPoints().
#pragma once

#include "engine/eeh3params.h"
#include "engine/eeh3runs.h"
#include "engine/eventrecords.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace CX::Enum {

// ---- Helpers shared by the plug-ins and the stages ----

// ticks(ms, anchor): the anchor plus trunc(ms * 0.001 / T + 0.5), saturated at the int32 range.
LONG TicksAfter(double ms, LONG anchor, double tickPeriod);
// A result field: the value as float, or the unset marker when it is not finite.
void SetResult(float& field, double value);
// The least-squares slope per tick of n points at x = 1..n; what depends on n alone is worked out once.
class LeastSquaresSlope {
public:
    explicit LeastSquaresSlope(int n = 1);
    // The slope of y[0..n-1].
    double Of(const float* y) const { return Numerator(y) / d_; }
    // The slope is Numerator(y) / Denominator(), the denominator positive from two points on.
    double Numerator(const float* y) const
    {
        double sy = 0.0;
        double sxy = 0.0;
        for (int i = 0; i < n_; ++i) {
            const double v = y[i];
            sy += v;
            sxy += (i + 1) * v;
        }
        return count_ * sxy - sx_ * sy;
    }
    double Denominator() const { return d_; }
    // The same numerator as Numerator(y), bit for bit; for long windows whose samples make every partial sum a
    // whole multiple of one power of two within the double's 53 bits, the sums are taken side by side, since then
    // their order cannot change them.
    double NumeratorOfLong(const float* y) const;
    // The numerators of `windows` windows, the k-th of them y[k * stride .. k * stride + n - 1], into out[k]: each
    // the same sums in the same order as Numerator, with four windows side by side.
    void Numerators(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows, double* out) const;
    // Whether the numerators, the area sums, the level searches and LargestMagnitude may use the wider lanes
    // where the processor has them (the default); the results are the same either way, and tests check both.
    static void AllowWideLanes(bool allow);
    // The offsets k of the windows y[k * stride .. k * stride + n - 1] whose numerator may not lie strictly
    // between `low` and `high`, in ascending order into `out`; returns how many. The numerators are worked out
    // roughly in floats and a window is left out only when the bound of every rounding error, from `largest` (at
    // least the magnitude of every sample of the windows), puts its numerator strictly between, so the windows
    // left out need no exact numerator where only those outside matter.
    std::ptrdiff_t MaybeOutside(const float* y, std::ptrdiff_t stride, std::ptrdiff_t windows, double low,
                                double high, float largest, std::int32_t* out) const;

private:
    int n_;
    double count_;
    double sx_; // sum of x
    double d_;  // n * sum of x^2 - (sum of x)^2
    // The bound of a rough numerator's rounding errors per unit of sample magnitude: twice n + 2 float roundings of
    // the sum of the magnitudes of the coefficients n * x - sum of x.
    double roughError_;
};
// The n floats as doubles, into out.
void Widen(const float* values, LONG n, double* out);
// The largest magnitude of the n values, NaN left out (0 for none).
float LargestMagnitude(const float* values, LONG n);
// An int32 window bound from a 64-bit sum, saturated.
LONG SaturatedTick(std::int64_t tick);

// Searches of a run of samples for the first one whose value times `sign`, widened to double, is at or below (at
// or above) `level`: the same test as static_cast<double>(v * sign) <= level sample by sample, made on floats eight
// at a time against the float that bounds the level exactly. From offset `from`; `count` when none.
LONG FirstAtOrBelow(const float* values, LONG from, LONG count, float sign, double level);
LONG FirstAtOrAbove(const float* values, LONG from, LONG count, float sign, double level);
// The last of the `count` samples whose value times `sign`, widened to double, is below `level` (the same test as
// static_cast<double>(v * sign) < level); -1 when none.
LONG LastBelow(const float* values, LONG count, float sign, double level);
// The first of values[from..count) that is not strictly between `low` and `high` (NaN is not between); `count` when
// none.
LONG FirstOutside(const double* values, LONG from, LONG count, double low, double high);
// The first sample from offset `from` whose value times `sign` is above `bound` (float products and comparison, as
// a running maximum compares); `count` when none.
LONG FirstAbove(const float* values, LONG from, LONG count, float sign, float bound);

// The area sums of a run (shared with the baseline search).
using EEH3::AddDifferences;

// The exponential fit that CalcTau calls: fits y[0..last] sampled at `rate` per second with A, tau and B (the
// offset held at `heldOffset` when `holdOffset`). True with the fitted values; false when there is no fit.
using ExponentialFit = bool (*)(const double* y, int last, double& amplitude, double& tau, double& offset,
                                double rate, bool holdOffset, double heldOffset);
// The fit in use: the module's exponential fit unless replaced (tests replace it; null restores it).
ExponentialFit CurrentExponentialFit();
void SetExponentialFit(ExponentialFit fit);

struct PluginWindow {
    LONG start;
    LONG end; // exclusive
    bool Holds(LONG t) const { return start <= t && t < end; }
};

// ---- The plug-in interface ----

template <class State, class Params, class Record>
class CalcPlugin {
public:
    CalcPlugin() = default;
    CalcPlugin(const CalcPlugin&) = default;
    CalcPlugin& operator=(const CalcPlugin&) = delete;
    virtual ~CalcPlugin() = default;

    // The ticks that receive samples: start <= t < end.
    virtual PluginWindow Window(const State& state, const Params& params) const = 0;
    // Whether the plug-in measures the current record.
    virtual bool Applies(const State& state, const Params& params) const = 0;
    // Once per record, before any sample.
    virtual void Begin(const State& state, const Params& params) = 0;
    virtual void AddSample(const State& state, const Params& params, LONG tick, float value) = 0;
    // The samples of ticks first, first + 1 ... in one call; the same as AddSample for each in turn.
    virtual void AddSamples(const State& state, const Params& params, LONG first, const float* values, LONG count)
    {
        for (LONG i = 0; i < count; ++i) {
            AddSample(state, params, first + i, values[i]);
        }
    }
    virtual void Finish(const State& state, const Params& params, Record& out) = 0;
    // A new plug-in with a copy of every field (State checkpoints).
    virtual std::unique_ptr<CalcPlugin> Clone() const = 0;
};

// The plug-ins of a stage, owned; a copy clones each one.
template <class State, class Params, class Record>
class PluginList {
public:
    using Plugin = CalcPlugin<State, Params, Record>;

    PluginList() = default;
    PluginList(const PluginList& other)
    {
        plugins_.reserve(other.plugins_.size());
        for (const auto& plugin : other.plugins_) {
            plugins_.push_back(plugin->Clone());
        }
    }
    PluginList& operator=(const PluginList& other)
    {
        if (this != &other) {
            PluginList copy(other);
            plugins_.swap(copy.plugins_);
        }
        return *this;
    }

    void Add(std::unique_ptr<Plugin> plugin) { plugins_.push_back(std::move(plugin)); }
    std::size_t Size() const { return plugins_.size(); }
    Plugin& operator[](std::size_t i) const { return *plugins_[i]; }

private:
    std::vector<std::unique_ptr<Plugin>> plugins_;
};

// The anchor of the area and slope windows: the stimulus for evoked responses and population spikes, else the
// event's start.
template <class State, class Params>
LONG AreaAnchor(const State& state, const Params& params)
{
    const LONG type = params.AnalysisType();
    return type == 3 || type == 4 ? state.current.stimulusTick : state.current.riseStart;
}

template <class Derived, class State, class Params, class Record>
class PluginBase : public CalcPlugin<State, Params, Record> {
public:
    std::unique_ptr<CalcPlugin<State, Params, Record>> Clone() const override
    {
        return std::make_unique<Derived>(static_cast<const Derived&>(*this));
    }
};

// ---- Areas ----

// The area between the signal and the baseline over a window: T * sum(v - baseline).
template <class State, class Params, class Record>
class AreaSum : public CalcPlugin<State, Params, Record> {
public:
    void Begin(const State&, const Params&) override { sum_ = 0.0; }
    void AddSample(const State& state, const Params&, LONG, float value) override
    {
        sum_ += static_cast<double>(value - state.current.baseline);
    }
    void AddSamples(const State& state, const Params&, LONG, const float* values, LONG count) override
    {
        sum_ = AddDifferences(sum_, values, count, state.current.baseline);
    }

protected:
    double Area(const Params& params) const { return params.tickPeriod * sum_; }

    double sum_ = 0.0;
};

template <class State, class Params, class Record>
class CalcArea final : public AreaSum<State, Params, Record> {
public:
    PluginWindow Window(const State& state, const Params& params) const override
    {
        const LONG anchor = AreaAnchor(state, params);
        return {TicksAfter(params.AreaStartMs(), anchor, params.tickPeriod),
                TicksAfter(params.AreaEndMs(), anchor, params.tickPeriod)};
    }
    bool Applies(const State& state, const Params& params) const override { return AreaAnchor(state, params) >= 0; }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.area = kUnsetFloat;
        if (Applies(state, params)) {
            SetResult(out.area, this->Area(params));
        }
    }
    std::unique_ptr<CalcPlugin<State, Params, Record>> Clone() const override
    {
        return std::make_unique<CalcArea>(*this);
    }
};

// The peak's own area, from its start to its end tick; needs the end time that CalcWidths wrote.
template <class State, class Params, class Record>
class CalcPeakArea final : public AreaSum<State, Params, Record> {
public:
    PluginWindow Window(const State& state, const Params&) const override
    {
        return {state.current.riseStart, SaturatedTick(std::int64_t{state.current.fallEnd} + 1)};
    }
    bool Applies(const State& state, const Params&) const override
    {
        return state.current.riseStart >= 0 && state.current.fallEnd > state.current.riseStart;
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.peakArea = kUnsetFloat;
        if (Applies(state, params) && IsFiniteValue(out.tEnd)) {
            SetResult(out.peakArea, this->Area(params));
        }
    }
    std::unique_ptr<CalcPlugin<State, Params, Record>> Clone() const override
    {
        return std::make_unique<CalcPeakArea>(*this);
    }
};

// The after-hyperpolarisation area, from the event's end to the return to the baseline.
template <class State, class Params, class Record>
class CalcAHPArea final : public AreaSum<State, Params, Record> {
public:
    PluginWindow Window(const State& state, const Params&) const override
    {
        return {state.current.fallEnd, state.current.returnTick};
    }
    bool Applies(const State& state, const Params&) const override
    {
        const auto& r = state.current;
        return r.riseStart >= 0 && r.fallEnd > r.riseStart && r.returnTick >= 0;
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.ahpArea = kUnsetFloat;
        if (Applies(state, params)) {
            SetResult(out.ahpArea, this->Area(params));
        }
    }
    std::unique_ptr<CalcPlugin<State, Params, Record>> Clone() const override
    {
        return std::make_unique<CalcAHPArea>(*this);
    }
};

// ---- Slope over a time window (least squares with running sums) ----

template <class State, class Params, class Record>
class CalcSlope final : public PluginBase<CalcSlope<State, Params, Record>, State, Params, Record> {
public:
    PluginWindow Window(const State&, const Params&) const override { return {start_, end_}; }
    bool Applies(const State&, const Params&) const override { return anchor_ >= 0; }
    void Begin(const State& state, const Params& params) override
    {
        n_ = sxy_ = sy_ = sxx_ = 0.0;
        anchor_ = AreaAnchor(state, params);
        start_ = TicksAfter(params.SlopeStartMs(), anchor_, params.tickPeriod);
        // The window always holds at least two ticks.
        end_ = std::max(SaturatedTick(std::int64_t{start_} + 2),
                        SaturatedTick(std::int64_t{TicksAfter(params.SlopeEndMs(), anchor_, params.tickPeriod)} + 1));
    }
    void AddSample(const State&, const Params&, LONG, float value) override
    {
        n_ += 1.0;
        sxy_ += value * n_;
        sxx_ += n_ * n_;
        sy_ += value;
    }
    void Finish(const State&, const Params& params, Record& out) override
    {
        out.slope = kUnsetFloat;
        if (anchor_ < 0) {
            return;
        }
        const double sx = (n_ + 1.0) * n_ * 0.5;
        const double d = n_ * sxx_ - sx * sx;
        out.unread160 = kUnsetFloat;
        if (d == 0.0) {
            return;
        }
        SetResult(out.slope, (n_ * sxy_ - sx * sy_) / (params.tickPeriod * d));
        // The fitted value one tick before the window's start.
        SetResult(out.unread160, (sxx_ * sy_ - sxy_ * sx) / d);
    }

private:
    double n_ = 0.0;
    double sxy_ = 0.0;
    double sy_ = 0.0;
    double sxx_ = 0.0;
    LONG anchor_ = -1;
    LONG start_ = 0;
    LONG end_ = 0;
};

// ---- Value at a time after the stimulus ----

template <class State, class Params, class Record>
class CalcValue final : public PluginBase<CalcValue<State, Params, Record>, State, Params, Record> {
public:
    PluginWindow Window(const State&, const Params&) const override
    {
        return {tick_, SaturatedTick(std::int64_t{tick_} + 1)};
    }
    bool Applies(const State& state, const Params&) const override { return state.current.stimulusTick >= 0; }
    void Begin(const State& state, const Params& params) override
    {
        tick_ = TicksAfter(params.ValueMs(), state.current.stimulusTick, params.tickPeriod);
        found_ = false;
    }
    void AddSample(const State&, const Params&, LONG, float value) override
    {
        value_ = value;
        found_ = true;
    }
    void Finish(const State& state, const Params&, Record& out) override
    {
        out.valueAt = kUnsetFloat;
        if (found_ && state.current.stimulusTick >= 0) {
            SetResult(out.valueAt, value_);
        }
    }

private:
    float value_ = 0.0f;
    LONG tick_ = 0;
    bool found_ = false;
};

// ---- Widths, repolarisation durations, triangulation and the time fields ----

template <class State, class Params, class Record>
class CalcWidths final : public PluginBase<CalcWidths<State, Params, Record>, State, Params, Record> {
public:
    static constexpr int kLevels = 10; // 0 %, 10 % ... 90 % of the height

    PluginWindow Window(const State& state, const Params&) const override
    {
        return {state.current.riseStart, windowEnd_};
    }
    bool Applies(const State& state, const Params&) const override
    {
        return state.current.riseStart >= 0 && IsFiniteValue(state.current.value);
    }
    void Begin(const State& state, const Params&) override
    {
        const auto& r = state.current;
        std::fill(std::begin(rise_), std::end(rise_), -1);
        std::fill(std::begin(fall_), std::end(fall_), -1);
        pendingFalls_ = kLevels;
        windowEnd_ = SaturatedTick(std::min<std::int64_t>(std::int64_t{r.fallEnd} + 1, r.nextEventTick));
        eventTick_ = r.tick;
        for (int k = 0; k < kLevels; ++k) {
            const double p = k * 0.1;
            levels_[k] = (static_cast<double>(r.baseline) * (1.0 - p) + r.value * p) * r.polarity;
        }
        polarity_ = r.polarity;
        UpdateFallThreshold();
    }
    void AddSamples(const State& state, const Params& params, LONG first, const float* values, LONG count) override
    {
        // Before the event, each level's rise tick is the tick after the last sample below it, or the first
        // sample's when there is none and the level has no tick yet: the last such sample, sought backwards.
        const auto rising = static_cast<LONG>(std::clamp<std::int64_t>(std::int64_t{eventTick_} - first, 0, count));
        if (rising > 0) {
            for (int k = 1; k < kLevels; ++k) {
                const LONG last = LastBelow(values, rising, polarity_, levels_[k]);
                if (last >= 0) {
                    rise_[k] = SaturatedTick(std::int64_t{first} + last + 1);
                } else if (rise_[k] == -1) {
                    rise_[k] = first;
                }
            }
        }
        LONG i = rising;
        // On the falling side a sample matters only when it reaches the highest level not yet met; once every
        // level is met nothing is left to do. The samples short of it are passed over in a loop of their own.
        while (i < count && pendingFalls_ > 0) {
            i = FirstAtOrBelow(values, i, count, polarity_, fallThreshold_);
            if (i < count) {
                AddSample(state, params, first + i, values[i]);
                ++i;
            }
        }
    }
    void AddSample(const State&, const Params&, LONG t, float value) override
    {
        const double v = static_cast<double>(value * polarity_);
        if (t < eventTick_) {
            // The rise tick of a level is the tick after the last sample below it (the window's first sample when
            // none was below).
            for (int k = 1; k < kLevels; ++k) {
                if (levels_[k] > v) {
                    rise_[k] = SaturatedTick(std::int64_t{t} + 1);
                } else if (rise_[k] == -1) {
                    rise_[k] = t;
                }
            }
        } else {
            bool met = false;
            for (int k = 0; k < kLevels; ++k) {
                if (fall_[k] == -1 && levels_[k] >= v) {
                    fall_[k] = t;
                    --pendingFalls_;
                    met = true;
                }
            }
            if (met) {
                UpdateFallThreshold();
            }
        }
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        const auto& r = state.current;
        const double period = params.tickPeriod;
        const bool a = Applies(state, params);
        if (fall_[0] == -1 && r.fallEnd > 0) {
            fall_[0] = r.fallEnd;
        }
        for (int k = 1; k < kLevels; ++k) {
            float& width = out.widths[k - 1];
            width = kUnsetFloat;
            if (a && rise_[k] >= 0 && fall_[k] >= 0 && fall_[k] > rise_[k]) {
                SetResult(width, (std::int64_t{fall_[k]} - rise_[k]) * period);
            }
            // APD at j % repolarisation is the fall back to the (100 - j) % level.
            const int level = kLevels - k;
            float& apd = out.apd[k - 1];
            apd = kUnsetFloat;
            if (a && fall_[level] >= 0) {
                SetResult(apd, (std::int64_t{fall_[level]} - r.riseStart) * period);
            }
        }
        out.triangulation = kUnsetFloat;
        const LONG endTenth = params.TriangulationEndPercent() / 10;
        const LONG startTenth = params.TriangulationStartPercent() / 10;
        if (a && endTenth >= 1 && endTenth <= 9 && startTenth >= 1 && startTenth <= 9) {
            const float apdEnd = out.apd[endTenth - 1];
            const float apdStart = out.apd[startTenth - 1];
            if (IsFiniteValue(apdEnd) && IsFiniteValue(apdStart)) {
                SetResult(out.triangulation, apdEnd - apdStart);
            }
        }
        const bool ended = a && fall_[0] >= 0;
        out.width = out.tStart = out.tEnd = out.ahpWidth = out.apdTot = kUnsetFloat;
        if (ended) {
            SetResult(out.width, (std::int64_t{r.fallEnd} - r.riseStart) * period);
        }
        if (a) {
            SetResult(out.tStart, (std::int64_t{r.riseStart} - params.StartTickLimit(params.record)) * period);
        }
        if (ended && IsFiniteValue(out.tStart) && IsFiniteValue(out.width)) {
            SetResult(out.tEnd, out.tStart + out.width);
        }
        if (a && r.fallEnd > r.riseStart) {
            if (r.returnTick >= 0) {
                SetResult(out.ahpWidth, (std::int64_t{r.returnTick} - r.fallEnd) * period);
            }
            if (IsFiniteValue(out.ahpWidth) && IsFiniteValue(out.width)) {
                SetResult(out.apdTot, out.ahpWidth + out.width);
            }
        }
        out.rise50Tick = rise_[5];
        out.fall50Tick = fall_[5];
    }

private:
    // The highest level (times the polarity) not yet met on the falling side; NaN levels never count as met.
    void UpdateFallThreshold()
    {
        fallThreshold_ = -std::numeric_limits<double>::infinity();
        for (int k = 0; k < kLevels; ++k) {
            if (fall_[k] == -1 && levels_[k] > fallThreshold_) {
                fallThreshold_ = levels_[k];
            }
        }
    }

    LONG rise_[kLevels] = {};
    LONG fall_[kLevels] = {};
    LONG windowEnd_ = 0;
    LONG eventTick_ = 0;
    int pendingFalls_ = kLevels;
    double fallThreshold_ = 0.0;
    double levels_[kLevels] = {}; // times the polarity
    float polarity_ = 1.0f;
};

// ---- Exponential decay ----

template <class State, class Params, class Record>
class CalcTau final : public PluginBase<CalcTau<State, Params, Record>, State, Params, Record> {
public:
    PluginWindow Window(const State&, const Params&) const override { return {start_, end_}; }
    bool Applies(const State& state, const Params&) const override
    {
        const auto& r = state.current;
        return r.riseStart >= 0 && r.tauStart >= 0 && r.tauEnd >= 0;
    }
    void Begin(const State& state, const Params&) override
    {
        samples_.clear(); // keeps the capacity: no allocation per record once grown
        start_ = state.current.tauStart;
        end_ = SaturatedTick(std::int64_t{state.current.tauEnd} + 1);
        if (end_ > start_ && start_ >= 0) {
            samples_.reserve(static_cast<std::size_t>(std::min<LONG>(end_ - start_, kMaxReserve)));
        }
    }
    void AddSample(const State&, const Params&, LONG, float value) override { samples_.push_back(value); }
    void AddSamples(const State&, const Params&, LONG, const float* values, LONG count) override
    {
        const std::size_t before = samples_.size();
        samples_.resize(before + static_cast<std::size_t>(std::max<LONG>(count, 0)));
        Widen(values, count, samples_.data() + before);
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.tau = out.unread140 = out.unread144 = kUnsetFloat;
        if (samples_.empty()) {
            return;
        }
        bool hold = true;
        double held = 0.0;
        switch (params.TauMode()) {
        case 0:
            hold = false;
            break;
        case 1:
            held = state.current.baseline;
            break;
        case 2:
            held = params.TauFixedValue();
            break;
        default:
            break;
        }
        double amplitude = 0.0;
        double tau = 0.0;
        double offset = 0.0;
        bool fitted = false;
        try {
            fitted = CurrentExponentialFit()(samples_.data(), static_cast<int>(samples_.size()) - 1, amplitude, tau,
                                             offset, 1.0 / params.tickPeriod, hold, held);
        } catch (...) {
            fitted = false; // a fit that cannot be made is a missing value, never an error
        }
        if (fitted) {
            SetResult(out.tau, tau);
            SetResult(out.unread140, amplitude);
            SetResult(out.unread144, offset);
        }
    }

private:
    static constexpr LONG kMaxReserve = 1 << 20;

    // Grown by the samples of each run and written at once: the new room is left unset rather than zeroed first.
    template <class T>
    struct Unset : std::allocator<T> {
        template <class U>
        struct rebind {
            using other = Unset<U>;
        };
        Unset() = default;
        template <class U>
        Unset(const Unset<U>&) noexcept
        {
        }
        template <class U>
        void construct(U* p) noexcept
        {
            ::new (static_cast<void*>(p)) U;
        }
        template <class U, class... Args>
        void construct(U* p, Args&&... args)
        {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };

    std::vector<double, Unset<double>> samples_;
    LONG start_ = 0;
    LONG end_ = 0;
};

// ---- Steepest rise and fall, smoothed over a sliding ring ----

template <class State, class Params, class Record>
class CalcMinMaxSlope final : public PluginBase<CalcMinMaxSlope<State, Params, Record>, State, Params, Record> {
public:
    CalcMinMaxSlope() : ring_(2 * 5, 0.0f) {}

    PluginWindow Window(const State& state, const Params&) const override
    {
        return {state.current.riseStart, state.current.fallEnd};
    }
    bool Applies(const State& state, const Params&) const override
    {
        return state.current.riseStart >= 0 && state.current.fallEnd > state.current.riseStart;
    }
    void Begin(const State&, const Params& params) override
    {
        n_ = params.SmoothingPoints();
        fit_ = LeastSquaresSlope(n_);
        ordered_ = fit_.Denominator() > 0.0 && params.tickPeriod > 0.0;
        // Each sample is kept twice, n apart, so that the n samples from the oldest on lie side by side.
        ring_.assign(2 * static_cast<std::size_t>(n_), 0.0f);
        index_ = 0;
        full_ = false;
        found_ = false;
    }
    void AddSample(const State&, const Params& params, LONG t, float value) override
    {
        ring_[static_cast<std::size_t>(index_)] = value;
        ring_[static_cast<std::size_t>(index_ + n_)] = value;
        if (++index_ == n_) {
            index_ = 0;
            full_ = true;
        }
        if (full_) {
            const float* oldest = ring_.data() + index_;
            Consider(params, t, oldest, fit_.Numerator(oldest));
        }
    }
    void AddSamples(const State& state, const Params& params, LONG first, const float* values, LONG count) override
    {
        // A window that ends at offset `reach` or later lies wholly in the run: it is read in place, its numerator
        // worked out with others side by side, and the ring is filled once at the end.
        const LONG reach = n_ - 1;
        LONG k = 0;
        for (; k < count && k < reach; ++k) {
            CalcMinMaxSlope::AddSample(state, params, first + k, values[k]);
        }
        if (k == count) {
            return;
        }
        std::array<double, kBatch> numerators;
        std::array<std::int32_t, kBatch> maybe;
        float largest = -1.0f; // of the samples the windows from k on read, once needed
        LONG rough = kFirstBatch;
        while (k < count) {
            if (ordered_ && found_) {
                // Only the windows whose numerator may lie outside the steepest fall and rise so far are worked
                // out exactly; the others could not take part.
                if (largest < 0.0f) {
                    largest = LargestMagnitude(values + (k - reach), count - (k - reach));
                }
                // The bounds widen as windows are taken: short batches while many windows are taken, longer
                // ones as fewer are.
                const LONG m = std::min<LONG>(rough, count - k);
                const auto outside = fit_.MaybeOutside(values + (k - reach), 1, m, minNumerator_, maxNumerator_,
                                                       largest, maybe.data());
                rough = outside * 16 <= m ? std::min<LONG>(2 * rough, kBatch) : kFirstBatch;
                for (std::ptrdiff_t j = 0; j < outside; ++j) {
                    const LONG at = k + maybe[static_cast<std::size_t>(j)];
                    Consider(params, first + at, values + (at - reach), fit_.Numerator(values + (at - reach)));
                }
                k += m;
                continue;
            }
            // Before the first slope, a few at a time.
            const LONG m = std::min<LONG>(ordered_ ? kFirstBatch : kBatch, count - k);
            fit_.Numerators(values + (k - reach), 1, m, numerators.data());
            for (LONG j = 0; j < m; ++j) {
                if (ordered_ && found_) {
                    // The windows between the steepest fall and rise so far are passed over in a loop of their own.
                    j = FirstOutside(numerators.data(), j, m, minNumerator_, maxNumerator_);
                    if (j == m) {
                        break;
                    }
                }
                Consider(params, first + (k + j), values + (k + j - reach), numerators[static_cast<std::size_t>(j)]);
            }
            k += m;
        }
        // The ring holding what the samples one by one would have left in it: the last n of the run, the oldest
        // first.
        index_ = 0;
        full_ = true;
        for (LONG j = 0; j < n_; ++j) {
            const auto at = static_cast<std::size_t>(j);
            ring_[at] = ring_[at + static_cast<std::size_t>(n_)] = values[count - n_ + j];
        }
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.maxSlope = out.minSlope = out.tMaxSlope = out.tMinSlope = out.aMaxSlope = out.aMinSlope = kUnsetFloat;
        if (!found_) {
            return;
        }
        const LONG start = state.current.riseStart;
        SetResult(out.maxSlope, maxSlope_);
        SetResult(out.minSlope, minSlope_);
        SetResult(out.tMaxSlope, (std::int64_t{maxTick_} - start) * params.tickPeriod);
        SetResult(out.tMinSlope, (std::int64_t{minTick_} - start) * params.tickPeriod);
        SetResult(out.aMaxSlope, atMax_);
        SetResult(out.aMinSlope, atMin_);
    }

private:
    static constexpr LONG kBatch = 256;
    static constexpr LONG kFirstBatch = 16;

    // Takes the window of n samples from `oldest` on, the last of them at tick t, with its slope's numerator.
    void Consider(const Params& params, LONG t, const float* oldest, double numerator)
    {
        // With a positive denominator and tick period the slope can only beat the steepest rise (fall) when its
        // numerator is not below (above) that one's: only then is it worked out.
        if (ordered_ && found_ && numerator < maxNumerator_ && numerator > minNumerator_) {
            return;
        }
        const double s = numerator / fit_.Denominator() / params.tickPeriod;
        if (!std::isfinite(s)) {
            return; // a ring with a NaN sample has no slope and takes no part, as NaN samples take none elsewhere
        }
        // The reported tick is the tick of the reported sample, also for an even n.
        const float middle = oldest[n_ / 2];
        const LONG tick = t - (n_ - 1) + n_ / 2;
        if (!found_ || s > maxSlope_) {
            maxSlope_ = s;
            maxNumerator_ = numerator;
            maxTick_ = tick;
            atMax_ = middle;
        }
        if (!found_ || s < minSlope_) {
            minSlope_ = s;
            minNumerator_ = numerator;
            minTick_ = tick;
            atMin_ = middle;
        }
        found_ = true;
    }

    std::vector<float> ring_;
    LONG index_ = 0;
    LONG n_ = 5;
    LeastSquaresSlope fit_{5};
    bool ordered_ = false; // the slope grows with its numerator
    double maxNumerator_ = 0.0;
    double minNumerator_ = 0.0;
    bool full_ = false;
    LONG maxTick_ = 0;
    float atMax_ = 0.0f;
    double maxSlope_ = 0.0;
    LONG minTick_ = 0;
    float atMin_ = 0.0f;
    double minSlope_ = 0.0;
    bool found_ = false;
};

// ---- Steepest fall over consecutive blocks ----

template <class State, class Params, class Record>
class CalcMaxNegSlope final : public PluginBase<CalcMaxNegSlope<State, Params, Record>, State, Params, Record> {
public:
    CalcMaxNegSlope() : ring_(1, 0.0f) {}

    PluginWindow Window(const State&, const Params&) const override { return {start_, end_}; }
    bool Applies(const State& state, const Params&) const override
    {
        const auto& r = state.current;
        return IsFiniteValue(r.value) && r.riseStart >= 0 && r.fallEnd > r.riseStart;
    }
    void Begin(const State& state, const Params& params) override
    {
        found_ = false;
        start_ = TicksAfter(params.MaxNegSlopeStartMs(), state.current.tick, params.tickPeriod);
        end_ = state.current.fallEnd;
        index_ = 0;
        n_ = std::clamp<LONG>(EEH3::MsToTicksB(params.MaxNegSlopeSmoothMs(), params.tickPeriod), 3, 1000);
        fit_ = LeastSquaresSlope(n_);
        ring_.assign(static_cast<std::size_t>(n_), 0.0f);
        best_ = kUnsetFloat;
    }
    void AddSample(const State&, const Params& params, LONG, float value) override
    {
        ring_[static_cast<std::size_t>(index_)] = value;
        if (++index_ < n_) {
            return;
        }
        // A full block: its slope, then the next block starts empty (the blocks do not overlap).
        Take(params, fit_.Numerator(ring_.data()));
        index_ = 0;
    }
    void AddSamples(const State& state, const Params& params, LONG first, const float* values, LONG count) override
    {
        LONG i = 0;
        // A block begun in an earlier run is finished in the ring; whole blocks of the run are read in place.
        for (; i < count && index_ != 0; ++i) {
            CalcMaxNegSlope::AddSample(state, params, first + i, values[i]);
        }
        std::array<double, kBatch> numerators;
        std::array<std::int32_t, kBatch> maybe;
        float largest = -1.0f; // of the samples of the whole blocks, once needed
        LONG rough = 1;
        for (LONG blocks = (count - i) / n_; blocks > 0;) {
            LONG m = 1;
            double beaten = 0.0;
            if (!found_) {
                Take(params, fit_.NumeratorOfLong(values + i)); // until the first slope, one block at a time
            } else if (Beaten(params, beaten)) {
                // Only the blocks whose numerator may lie at or below the one of the steepest fall so far are
                // worked out exactly; the others could not beat it. The bound moves as blocks beat it: short
                // batches while many do, longer ones as fewer do.
                if (largest < 0.0f) {
                    largest = LargestMagnitude(values + i, blocks * n_);
                }
                m = std::min<LONG>(rough, blocks);
                const auto outside = fit_.MaybeOutside(values + i, n_, m, beaten,
                                                       std::numeric_limits<double>::infinity(), largest, maybe.data());
                for (std::ptrdiff_t j = 0; j < outside; ++j) {
                    Take(params, fit_.NumeratorOfLong(values + i + maybe[static_cast<std::size_t>(j)] * n_));
                }
                rough = outside * 8 <= m ? std::min<LONG>(2 * rough, kBatch) : 1;
            } else {
                m = std::min<LONG>(kBatch, blocks);
                fit_.Numerators(values + i, n_, m, numerators.data());
                for (LONG j = 0; j < m; ++j) {
                    Take(params, numerators[static_cast<std::size_t>(j)]);
                }
            }
            i += m * n_;
            blocks -= m;
        }
        for (; i < count; ++i) {
            ring_[static_cast<std::size_t>(index_++)] = values[i];
        }
    }
    void Finish(const State& state, const Params& params, Record& out) override
    {
        out.maxNegSlope = kUnsetFloat;
        if (Applies(state, params) && found_) {
            SetResult(out.maxNegSlope, best_);
        }
    }

private:
    static constexpr LONG kBatch = 64;

    // A numerator above which no block's slope -(numerator / D / T) beats the steepest fall so far, with room for
    // the two roundings of the divisions; false when none can be given.
    bool Beaten(const Params& params, double& beaten) const
    {
        const double period = params.tickPeriod;
        const double d = fit_.Denominator();
        if (!(period > 0.0) || !(d > 0.0) || !std::isfinite(period) || !std::isfinite(d)) {
            return false;
        }
        const double product = -static_cast<double>(best_) * d * period;
        if (!std::isfinite(product) || (product != 0.0 && std::fabs(product) < 0x1p-900) ||
            (product == 0.0 && best_ != 0.0f)) {
            return false;
        }
        beaten = product + std::fabs(product) * 0x1p-40;
        return true;
    }

    // A full block's slope, from its numerator, against the steepest fall so far.
    void Take(const Params& params, double numerator)
    {
        const double s = -(numerator / fit_.Denominator() / params.tickPeriod);
        if (std::isfinite(s) && (!found_ || s > best_)) {
            best_ = static_cast<float>(s);
            found_ = true;
        }
    }

    LONG start_ = 0;
    LONG end_ = 0;
    std::vector<float> ring_;
    LONG index_ = 0;
    LONG n_ = 1;
    LeastSquaresSlope fit_;
    float best_ = kUnsetFloat;
    bool found_ = false;
};

} // namespace CX::Enum
