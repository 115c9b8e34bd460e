#include "host/peakdetector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace host {

namespace {

std::int32_t Ticks(double seconds, double tickPeriod, std::int32_t least) { return TicksOf(seconds, tickPeriod, least); }

// The fewest noise-window samples from which a baseline is trusted.
constexpr std::size_t kLeastHistory = 16;
// Windows up to this long are sorted whole at each estimate: quicker than keeping runs of a few values each.
constexpr std::int64_t kFullSortCapacity = 512;
// The median absolute deviation of Gaussian noise times this is its standard deviation.
constexpr double kMadToSD = 1.4826;

// Unsigned keys in the order of the values (negative zero before zero).
std::uint64_t Key(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}
double FromKey(std::uint64_t key)
{
    return std::bit_cast<double>((key >> 63) ? key & ~(std::uint64_t{1} << 63) : ~key);
}

// Least-significant-digit radix sort of the keys, a byte at a time, passing over the bytes that all keys share (most
// of them where the values were single-precision samples). Ends with the keys sorted in `keys`.
template <class Key>
void RadixSort(std::vector<Key>& keys, std::vector<Key>& other)
{
    constexpr int kDigits = sizeof(Key);
    const std::size_t n = keys.size();
    if (n < 64) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::array<std::array<std::uint32_t, 256>, kDigits> counts{};
    for (const Key key : keys) {
        for (int digit = 0; digit < kDigits; ++digit) {
            ++counts[digit][(key >> (8 * digit)) & 0xFF];
        }
    }
    other.resize(n);
    for (int digit = 0; digit < kDigits; ++digit) {
        auto& count = counts[digit];
        if (count[keys[0] >> (8 * digit) & 0xFF] == n) {
            continue;
        }
        std::uint32_t sum = 0;
        for (std::uint32_t& c : count) {
            const std::uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (const Key key : keys) {
            other[count[(key >> (8 * digit)) & 0xFF]++] = key;
        }
        keys.swap(other);
    }
}

// First index in [lo, hi) whose value is not below `pivot` (upper: is above it). Without branches on the values, which
// a sorted run of noise would mispredict half the time.
template <class Value>
std::int64_t Bound(const Value& value, std::size_t view, std::int64_t lo, std::int64_t hi, double pivot, bool upper)
{
    std::int64_t length = hi - lo;
    if (length <= 0) {
        return lo;
    }
    const auto before = [&](std::int64_t i) {
        const double v = value(view, i);
        return upper ? !(pivot < v) : v < pivot;
    };
    while (length > 1) {
        const std::int64_t half = length / 2;
        lo = before(lo + half - 1) ? lo + half : lo;
        length -= half;
    }
    return lo + (before(lo) ? 1 : 0);
}

// The element of rank `target` of the union of `views` ascending sequences, where value(view, i) is the i-th element
// of a view and [lo[view], hi[view]) the part of it still in question. The first pivots are `guesses` (an estimate
// near the answer narrows the question at once); then elements at the target's fraction of each view, which
// narrow the question to about the square root of its size; and where that made too little progress, the weighted
// median of the middles, which leaves at most three quarters of the elements in question.
template <class Value>
double Select(const Value& value, std::size_t views, std::int64_t* lo, std::int64_t* hi, std::int64_t target,
              std::array<double, 2> guesses, int guessCount, std::vector<double>& scratch)
{
    std::array<std::pair<double, std::int64_t>, 64> middles;
    std::array<std::int64_t, 64> below;
    std::array<std::int64_t, 64> notAbove;
    std::int64_t previousTotal = -1;
    for (int round = 0;; ++round) {
        std::int64_t total = 0;
        for (std::size_t v = 0; v < views; ++v) {
            total += hi[v] - lo[v];
        }
        if (total <= 48) {
            scratch.clear();
            for (std::size_t v = 0; v < views; ++v) {
                for (std::int64_t i = lo[v]; i < hi[v]; ++i) {
                    scratch.push_back(value(v, i));
                }
            }
            std::nth_element(scratch.begin(), scratch.begin() + target, scratch.end());
            return scratch[static_cast<std::size_t>(target)];
        }
        double pivot;
        if (round < guessCount) {
            pivot = guesses[static_cast<std::size_t>(round)];
        } else {
            // Each view's element at the target's fraction of it, or (when that made too little progress) its middle;
            // the pivot is their median weighted by the views' lengths.
            const bool proportional = previousTotal < 0 || 4 * total < 3 * previousTotal;
            // Past the target by a few standard deviations of a sample's quantile, towards the nearer end, so that
            // the target stays inside what is kept.
            double fraction = (static_cast<double>(target) + 0.5) / static_cast<double>(total);
            const double margin = 3.0 / std::sqrt(static_cast<double>(total));
            fraction = std::clamp(fraction < 0.5 ? fraction + margin : fraction - margin, 0.0, 1.0);
            std::size_t filled = 0;
            for (std::size_t v = 0; v < views; ++v) {
                const std::int64_t length = hi[v] - lo[v];
                if (length > 0) {
                    const std::int64_t at =
                        proportional ? std::min(length - 1, static_cast<std::int64_t>(fraction * static_cast<double>(length)))
                                     : length / 2;
                    middles[filled++] = {value(v, lo[v] + at), length};
                }
            }
            std::sort(middles.begin(), middles.begin() + static_cast<std::ptrdiff_t>(filled),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            const double share = proportional ? fraction : 0.5;
            std::int64_t weight = 0;
            std::size_t m = 0;
            while (m + 1 < filled && static_cast<double>(weight + middles[m].second) < share * static_cast<double>(total)) {
                weight += middles[m++].second;
            }
            pivot = middles[m].first;
            previousTotal = total;
        }
        std::int64_t less = 0;
        std::int64_t equal = 0;
        for (std::size_t v = 0; v < views; ++v) {
            below[v] = Bound(value, v, lo[v], hi[v], pivot, false);
            // Most often no element equals the pivot: then one look settles the second bound.
            notAbove[v] = below[v] == hi[v] || pivot < value(v, below[v]) ? below[v]
                                                                           : Bound(value, v, below[v], hi[v], pivot, true);
            less += below[v] - lo[v];
            equal += notAbove[v] - below[v];
        }
        if (target < less) {
            std::copy_n(below.begin(), views, hi);
        } else if (target < less + equal) {
            for (std::size_t v = 0;; ++v) {
                if (notAbove[v] > below[v]) {
                    return value(v, below[v]); // the element itself rather than a guess equal to it
                }
            }
        } else {
            target -= less + equal;
            std::copy_n(notAbove.begin(), views, lo);
        }
    }
}

} // namespace

SortedWindow::SortedWindow(std::int32_t capacity)
    : capacity_(std::max<std::int32_t>(capacity, 1))
{
}

// Inline, so that the library's calls of it are not made through its exported symbol.
inline double SortedWindow::At(std::int64_t index) const
{
    const std::int64_t back = count_ - index; // 1 for the newest value
    auto slot = static_cast<std::int64_t>(position_) - back;
    if (slot < 0) {
        slot += capacity_;
    }
    return ring_[static_cast<std::size_t>(slot)];
}

void SortedWindow::Sort(std::int64_t first, std::int64_t end, std::vector<double>& out)
{
    // Samples read as single precision sort on keys of half the width.
    bool single = true;
    keys32_.clear();
    for (std::int64_t i = first; i < end && single; ++i) {
        const double value = At(i);
        const auto narrow = static_cast<float>(value);
        single = static_cast<double>(narrow) == value;
        const auto bits = std::bit_cast<std::uint32_t>(narrow);
        keys32_.push_back((bits >> 31) ? ~bits : bits | 0x80000000u);
    }
    out.resize(static_cast<std::size_t>(end - first));
    if (single) {
        RadixSort(keys32_, keys32Out_);
        std::transform(keys32_.begin(), keys32_.end(), out.begin(), [](std::uint32_t key) {
            return static_cast<double>(std::bit_cast<float>((key >> 31) ? key & 0x7FFFFFFFu : ~key));
        });
        return;
    }
    keys_.clear();
    for (std::int64_t i = first; i < end; ++i) {
        keys_.push_back(Key(At(i)));
    }
    RadixSort(keys_, keysOut_);
    std::transform(keys_.begin(), keys_.end(), out.begin(), FromKey);
}

void SortedWindow::FullSortEstimate(double& median, double& deviation)
{
    scratch_.clear();
    for (std::int64_t i = count_ - static_cast<std::int64_t>(Size()); i < count_; ++i) {
        scratch_.push_back(At(i));
    }
    const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    median = *middle;
    for (double& value : scratch_) {
        value = std::abs(value - median);
    }
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    deviation = *middle;
}

void SortedWindow::Estimate(double& median, double& deviation)
{
    const auto size = static_cast<std::int64_t>(Size());
    if (capacity_ <= kFullSortCapacity) {
        FullSortEstimate(median, deviation);
        return;
    }
    const std::int64_t start = count_ - size;
    // The values since the last estimate become a run; runs that left the window go, and the oldest run keeps
    // only what is still in it.
    if (closed_ < count_) {
        Run run{closed_, count_, {}};
        if (!spare_.empty()) {
            run.sorted = std::move(spare_.back().sorted);
            spare_.pop_back();
        }
        Sort(std::max(closed_, start), count_, run.sorted);
        run.first = std::max(closed_, start);
        runs_.push_back(std::move(run));
        closed_ = count_;
    }
    while (!runs_.empty() && runs_.front().end <= start) {
        spare_.push_back(std::move(runs_.front()));
        runs_.pop_front();
    }
    if (!runs_.empty() && runs_.front().first < start) {
        Sort(start, runs_.front().end, runs_.front().sorted);
        runs_.front().first = start;
    }
    if (unusual_ > 0 || size == 0) {
        // Infinities and NaN make distances that order as a full sort happens to leave them.
        FullSortEstimate(median, deviation);
        return;
    }
    const std::size_t views = runs_.size();
    if (2 * views > 64) {
        FullSortEstimate(median, deviation);
        return;
    }
    std::array<std::int64_t, 64> lo{};
    std::array<std::int64_t, 64> hi{};
    for (std::size_t v = 0; v < views; ++v) {
        hi[v] = static_cast<std::int64_t>(runs_[v].sorted.size());
    }
    const auto runValue = [this](std::size_t v, std::int64_t i) { return runs_[v].sorted[static_cast<std::size_t>(i)]; };
    // The last answers, moved on by the last change (a baseline drifts), guess the next.
    const double guessMedian = lastMedian_ + medianChange_;
    const double spread = 0.02 * lastDeviation_ + 0.5 * std::abs(medianChange_);
    median = Select(runValue, views, lo.data(), hi.data(), size / 2, {guessMedian - spread, guessMedian + spread},
                    guessed_ ? 2 : 0, scratch_);

    // The distances from the median: the values below it read backwards from the median, the others forwards.
    std::array<std::int64_t, 64> split{};
    for (std::size_t v = 0; v < views; ++v) {
        const auto& sorted = runs_[v].sorted;
        split[v] = std::lower_bound(sorted.begin(), sorted.end(), median) - sorted.begin();
        lo[2 * v] = 0;
        hi[2 * v] = split[v];
        lo[2 * v + 1] = 0;
        hi[2 * v + 1] = static_cast<std::int64_t>(sorted.size()) - split[v];
    }
    const auto distance = [this, &split, median](std::size_t v, std::int64_t i) {
        const auto& sorted = runs_[v / 2].sorted;
        const std::int64_t at = split[v / 2];
        return (v & 1) ? sorted[static_cast<std::size_t>(at + i)] - median
                       : median - sorted[static_cast<std::size_t>(at - 1 - i)];
    };
    const double deviationSpread = 0.02 * lastDeviation_;
    deviation = Select(distance, 2 * views, lo.data(), hi.data(), size / 2,
                       {lastDeviation_ - deviationSpread, lastDeviation_ + deviationSpread}, guessed_ ? 2 : 0, scratch_);
    medianChange_ = guessed_ ? median - lastMedian_ : 0.0;
    lastMedian_ = median;
    lastDeviation_ = deviation;
    guessed_ = true;
}

PeakDetector::PeakDetector(const PeakDetectionParams& params, double tickPeriod)
    : params_(params), tickPeriod_(tickPeriod > 0.0 ? tickPeriod : 1.0),
      window_(Ticks(params.noiseWindow, tickPeriod_, 32)), refresh_(std::max(1, window_ / 8)),
      smoothTicks_(Ticks(params.smoothing, tickPeriod_, 1)), gapTicks_(Ticks(params.minInterval, tickPeriod_, 0)),
      slope_(smoothTicks_, tickPeriod_), history_(window_)
{
}

inline bool PeakDetector::Transform(float sample, double& value)
{
    if (params_.transform != 1) {
        value = sample;
        return std::isfinite(sample);
    }
    // Difference of the means of the newest and the preceding smoothTicks_ samples, per second.
    return slope_.Next(sample, value);
}

void PeakDetector::Estimate()
{
    if (history_.Size() < kLeastHistory) {
        return;
    }
    history_.Estimate(baseline_, deviation_);
    noise_ = kMadToSD * deviation_;
    estimated_ = true;
}

void PeakDetector::Emit(std::vector<DetectedPeak>& out)
{
    // Vertex of the parabola through the peak and its neighbours, within half a tick of the peak sample.
    double shift = 0.0;
    if (afterSeen_ && peakTick_ > peakStart_) {
        const double curvature = beforePeak_ - 2.0 * peakHeight_ + afterPeak_;
        if (curvature < 0.0) {
            shift = std::clamp(0.5 * (beforePeak_ - afterPeak_) / curvature, -0.5, 0.5);
        }
    }
    std::int32_t tick = peakTick_;
    if (shift < 0.0) {
        --tick;
        shift += 1.0;
    }
    out.push_back({tick, static_cast<float>(shift), peakValue_});
    nextAllowed_ = static_cast<std::int64_t>(peakTick_) + gapTicks_;
    inPeak_ = false;
}

// Inline, so that the loops of Feed run it in place rather than through the library's exported symbol.
[[gnu::always_inline]] inline void PeakDetector::Step(float sample, std::int32_t tick, bool due,
                                                       std::vector<DetectedPeak>& out)
{
    double value = 0.0;
    if (!Transform(sample, value)) {
        return;
    }
    const bool early = tick < refresh_ && tick >= static_cast<std::int32_t>(kLeastHistory) && (tick & (tick - 1)) == 0;
    if (due || early) {
        Estimate();
    }
    history_.Push(value);
    if (!estimated_) {
        return;
    }
    const double level = params_.thresholdInSD ? params_.height * noise_ : params_.height;
    const double height = params_.direction * (value - baseline_);
    if (inPeak_) {
        if (!afterSeen_) {
            afterPeak_ = height;
            afterSeen_ = true;
        }
        if (height > peakHeight_) {
            beforePeak_ = lastHeight_;
            peakTick_ = tick;
            peakHeight_ = height;
            peakValue_ = value;
            afterSeen_ = false;
        } else if (level > 0.0 ? height < 0.5 * level : height <= 0.0) {
            Emit(out);
        }
    } else if (height > level && height > 0.0 && tick >= nextAllowed_) {
        inPeak_ = true;
        peakStart_ = tick;
        peakTick_ = tick;
        peakHeight_ = height;
        peakValue_ = value;
        beforePeak_ = lastHeight_;
        afterSeen_ = false;
    }
    lastHeight_ = height;
}

void PeakDetector::Feed(float sample, std::vector<DetectedPeak>& out)
{
    Feed(&sample, 1, out);
}

void PeakDetector::Feed(const float* samples, std::size_t count, std::vector<DetectedPeak>& out)
{
    // The tick and the countdown in locals: the samples' loop carries nothing else through memory.
    std::int32_t tick = tick_;
    std::int32_t untilRefresh = untilRefresh_;
    for (std::size_t i = 0; i < count; ++i, ++tick) {
        // Re-estimated every refresh_ ticks; before the first refresh also at 16, 32, 64 … samples, so that a peak
        // early in a block is not missed for want of a baseline. Both depend only on the tick, never on how samples
        // arrive.
        const bool due = untilRefresh == 0;
        untilRefresh = due ? refresh_ - 1 : untilRefresh - 1;
        Step(samples[i], tick, due, out);
    }
    tick_ = tick;
    untilRefresh_ = untilRefresh;
}

void PeakDetector::Finish(std::vector<DetectedPeak>& out)
{
    if (inPeak_) {
        Emit(out);
    }
}

} // namespace host
