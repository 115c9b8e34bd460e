#include "host/peakdetector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {

namespace {

std::int32_t Ticks(double seconds, double tickPeriod, std::int32_t least) { return TicksOf(seconds, tickPeriod, least); }

// The fewest noise-window samples from which a baseline is trusted.
constexpr std::size_t kLeastHistory = 16;
// Windows up to this long, and windows still holding no more values, are selected from whole at each estimate:
// quicker than keeping bins for a few values each.
constexpr std::int64_t kFullSortCapacity = 512;
// The median absolute deviation of Gaussian noise times this is its standard deviation.
constexpr double kMadToSD = 1.4826;

// The element of rank `rank` of `values`, selected among those within `spread` of `guess` when it lies there.
double NthNear(std::vector<double>& values, std::int64_t rank, double guess, double spread, std::vector<double>& near)
{
    const double low = guess - spread;
    const double high = guess + spread;
    near.resize(values.size());
    std::int64_t below = 0;
    std::size_t within = 0;
    for (const double value : values) {
        below += value < low ? 1 : 0;
        near[within] = value;
        within += value >= low && value <= high ? 1 : 0;
    }
    if (rank >= below && rank < below + static_cast<std::int64_t>(within)) {
        const auto at = near.begin() + (rank - below);
        std::nth_element(near.begin(), at, near.begin() + static_cast<std::ptrdiff_t>(within));
        return *at;
    }
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// Where bins are placed: the median's bin and the bins from the median to its median absolute deviation.
constexpr int kCentreBin = 128;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kBinsPerDeviation = 64.0;

} // namespace

NoiseWindow::NoiseWindow(std::int32_t capacity)
    : capacity_(std::max<std::int32_t>(capacity, 1))
{
}

namespace {

// The index of the last value that is not finite, or -1.
std::int64_t LastNonFinite(const double* values, std::size_t count)
{
    std::int64_t last = -1;
    for (std::size_t i = 0; i < count; ++i) {
        last = values[i] - values[i] == 0.0 ? last : static_cast<std::int64_t>(i); // NaN for infinities and NaN
    }
    return last;
}

} // namespace

void NoiseWindow::Push(const double* values, std::size_t count)
{
    while (count > 0) {
        std::size_t take;
        if (ring_.size() < static_cast<std::size_t>(capacity_)) {
            take = std::min(count, static_cast<std::size_t>(capacity_) - ring_.size());
            ring_.insert(ring_.end(), values, values + take);
            position_ = ring_.size() == static_cast<std::size_t>(capacity_) ? 0 : ring_.size();
        } else {
            take = std::min(count, ring_.size() - position_);
            std::copy_n(values, take, ring_.data() + position_);
            position_ += take;
            if (position_ == ring_.size()) {
                position_ = 0;
            }
        }
        if (const std::int64_t last = LastNonFinite(values, take); last >= 0) {
            lastUnusual_ = count_ + last;
        }
        count_ += static_cast<std::int64_t>(take);
        values += take;
        count -= take;
    }
}

void NoiseWindow::FullSortEstimate(double& median, double& deviation)
{
    // Oldest first, so that of equal values (0 and -0) the same one is picked as ever.
    scratch_.assign(ring_.begin() + static_cast<std::ptrdiff_t>(position_), ring_.end());
    scratch_.insert(scratch_.end(), ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(position_));
    const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    median = *middle;
    for (double& value : scratch_) {
        value = std::abs(value - median);
    }
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    deviation = *middle;
}

void NoiseWindow::Rebin(double center, double spread)
{
    double width = spread / kBinsPerDeviation;
    if (!(width > 0.0) || !std::isfinite(width)) {
        width = std::max(std::abs(center), 1.0) * 1e-6; // most values tie: any width is exact
    }
    scale_ = 1.0 / width;
    low_ = center - kCentreBin * width;
    if (!std::isfinite(scale_) || !std::isfinite(low_)) {
        scale_ = 0.0; // one bin for everything: slow, still exact
        low_ = 0.0;
    }
    for (Bin& bin : bins_) {
        bin.head = 0;
        bin.size = 0;
        // A bin that once held many values (at an edge, or when most values tied) need not keep room for them.
        if (bin.values.size() > 256) {
            std::vector<double>().swap(bin.values);
            bin.data = nullptr;
            bin.mask = 0;
        }
    }
    // Oldest first, the order in which they leave.
    const std::size_t size = ring_.size();
    codes_.resize(size);
    const std::size_t oldest = size == 0 ? 0 : position_ % size;
    Recode(oldest, size, 0);
    Recode(0, oldest, 0);
    coded_ = count_;
    binned_ = true;
}

namespace {

[[gnu::always_inline]] inline void PushBack(auto& bin, double value)
{
    if (bin.data == nullptr || bin.size == bin.mask + 1) {
        // Twice the length, the values in order from the start.
        std::vector<double> longer(std::max<std::size_t>(16, 2 * bin.values.size()));
        for (std::uint32_t i = 0; i < bin.size; ++i) {
            longer[i] = bin.data[(bin.head + i) & bin.mask];
        }
        bin.values.swap(longer);
        bin.data = bin.values.data();
        bin.mask = static_cast<std::uint32_t>(bin.values.size() - 1);
        bin.head = 0;
    }
    bin.data[(bin.head + bin.size++) & bin.mask] = value;
}

// Calls `take` with each value of the bins [first, last].
template <class Bins, class Take>
void ForEachValue(const Bins& bins, int first, int last, Take take)
{
    for (int b = std::max(first, 0); b <= std::min(last, static_cast<int>(bins.size()) - 1); ++b) {
        const auto& bin = bins[static_cast<std::size_t>(b)];
        const std::size_t length = bin.values.size();
        const std::size_t end = std::min<std::size_t>(bin.head + bin.size, length);
        for (std::size_t i = bin.head; i < end; ++i) {
            take(bin.values[i]);
        }
        for (std::size_t i = 0; i < bin.head + bin.size - end; ++i) {
            take(bin.values[i]);
        }
    }
}

} // namespace

// New codes for the ring's slots [first, end), their values put into their bins, the old values of the slots below
// `counted` taken out of theirs.
void NoiseWindow::Recode(std::size_t first, std::size_t end, std::size_t counted)
{
    // In locals: stores of codes could otherwise be taken for stores to any member.
    const double low = low_;
    const double scale = scale_;
    const double* values = ring_.data();
    std::uint8_t* codes = codes_.data();
    Bin* bins = bins_.data();
    for (std::size_t slot = first; slot < std::min(end, counted); ++slot) {
        Bin& bin = bins[codes[slot]];
        bin.head = (bin.head + 1) & bin.mask;
        --bin.size;
    }
    std::size_t slot = first;
#if defined(__SSE2__)
    // Two at a time, without branches: the same arithmetic as Code.
    const __m128d lows = _mm_set1_pd(low);
    const __m128d scales = _mm_set1_pd(scale);
    const __m128d zero = _mm_setzero_pd();
    const __m128d top = _mm_set1_pd(static_cast<double>(kBins - 1));
    for (; slot + 2 <= end; slot += 2) {
        const __m128d at = _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(values + slot), lows), scales);
        const __m128i whole = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(at, zero), top));
        codes[slot] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(whole));
        codes[slot + 1] = static_cast<std::uint8_t>(_mm_extract_epi16(whole, 2));
    }
#endif
    for (; slot < end; ++slot) {
        codes[slot] = Code(values[slot], low, scale);
    }
    for (slot = first; slot < end; ++slot) {
        PushBack(bins[codes[slot]], values[slot]);
    }
}

void NoiseWindow::CodeNewValues()
{
    const std::size_t size = ring_.size();
    const std::size_t counted = codes_.size(); // slots whose values are in their bins
    codes_.resize(size);
    const auto fresh =
        static_cast<std::size_t>(std::min<std::int64_t>(count_ - coded_, static_cast<std::int64_t>(size)));
    const std::size_t first = (position_ + size - fresh) % size;
    if (first + fresh <= size) {
        Recode(first, first + fresh, counted);
    } else {
        Recode(first, size, counted);
        Recode(0, first + fresh - size, counted);
    }
    coded_ = count_;
}

std::int64_t NoiseWindow::Count(int first, int last) const
{
    std::int64_t sum = 0;
    for (int bin = std::max(first, 0); bin <= std::min(last, kBins - 1); ++bin) {
        sum += bins_[static_cast<std::size_t>(bin)].size;
    }
    return sum;
}

// The median absolute deviation from the values of the bins within `reach` of the bins `left` and `right`, which
// hold the values at the guessed distance from the median; false when that guess was too far off to tell it from
// these values alone.
bool NoiseWindow::Deviation(double median, int left, int right, int reach, double& deviation)
{
    const std::int64_t target = static_cast<std::int64_t>(Size()) / 2;
    const int loL = std::max(left - reach, 0);
    int hiL = std::min(left + reach, kBins - 1);
    int loR = std::max(right - reach, 0);
    const int hiR = std::min(right + reach, kBins - 1);
    if (hiL + 1 >= loR) {
        hiL = hiR; // the ranges meet: one range
        loR = hiR + 1;
    }
    const std::int64_t outerLeft = Count(0, loL - 1);
    const std::int64_t outerRight = Count(hiR + 1, kBins - 1);
    // Between the two ranges: every such value is above each of the left range and below each of the right.
    const std::int64_t inner = Count(hiL + 1, loR - 1);
    double leftLow = kInfinity;
    double leftHigh = -kInfinity;
    double rightLow = kInfinity;
    double rightHigh = -kInfinity;
    scratch_.clear();
    ForEachValue(bins_, loL, hiL, [&](double value) {
        leftLow = std::min(leftLow, value);
        leftHigh = std::max(leftHigh, value);
        scratch_.push_back(std::abs(value - median));
    });
    ForEachValue(bins_, loR, hiR, [&](double value) {
        rightLow = std::min(rightLow, value);
        rightHigh = std::max(rightHigh, value);
        scratch_.push_back(std::abs(value - median));
    });
    if (loR > hiR) {
        rightLow = leftLow;
        rightHigh = leftHigh;
    }
    const std::int64_t rank = target - inner;
    if (rank < 0 || rank >= static_cast<std::int64_t>(scratch_.size())) {
        return false;
    }
    deviation = NthNear(scratch_, rank, lastDeviation_, 0.03 * lastDeviation_, near_);
    // The values outside the ranges lie farther from the median than the answer, those between them nearer, so
    // that the answer's rank among the collected values is its rank among all.
    return (inner == 0 || deviation >= std::max(median - leftHigh, rightLow - median)) &&
           (outerLeft == 0 || (leftLow <= median && deviation <= median - leftLow)) &&
           (outerRight == 0 || (rightHigh >= median && deviation <= rightHigh - median));
}

void NoiseWindow::Estimate(double& median, double& deviation)
{
    const auto size = static_cast<std::int64_t>(Size());
    if (capacity_ <= kFullSortCapacity || lastUnusual_ >= count_ - size || size <= kFullSortCapacity) {
        // Infinities and NaN make distances that order as a full sort happens to leave them.
        FullSortEstimate(median, deviation);
        binned_ = false;
    } else {
        if (binned_) {
            CodeNewValues();
        } else {
            // Ahead of a drifting baseline, so that it stays clear of the outer bins for longer.
            const double ahead = std::clamp(5.0 * medianChange_, -0.6 * lastDeviation_, 0.6 * lastDeviation_);
            Rebin(std::isfinite(ahead) ? lastMedian_ + ahead : lastMedian_, lastDeviation_);
        }
        const std::int64_t target = size / 2;
        int middle = 0;
        std::int64_t lower = 0;
        while (lower + bins_[static_cast<std::size_t>(middle)].size <= target) {
            lower += bins_[static_cast<std::size_t>(middle++)].size;
        }
        scratch_.clear();
        ForEachValue(bins_, middle, middle, [&](double value) { scratch_.push_back(value); });
        const auto at = scratch_.begin() + (target - lower);
        std::nth_element(scratch_.begin(), at, scratch_.end());
        median = *at;
        // The bins outwards from the median's, nearer middle first, until they hold half the window: the values at
        // the deviation are near the last bin taken and the bin as far on the other side.
        const double place = (median - low_) * scale_; // in bins from the lowest
        std::int64_t within = bins_[static_cast<std::size_t>(middle)].size;
        int below = middle - 1;
        int above = middle + 1;
        double distance = 0.0;
        while (within <= target && (below >= 0 || above < kBins)) {
            const double toBelow = below >= 0 ? place - (below + 0.5) : kInfinity;
            const double toAbove = above < kBins ? above + 0.5 - place : kInfinity;
            if (toBelow <= toAbove) {
                within += bins_[static_cast<std::size_t>(below--)].size;
                distance = toBelow;
            } else {
                within += bins_[static_cast<std::size_t>(above++)].size;
                distance = toAbove;
            }
        }
        // (Not a number, where the median lies beyond what the bins can place, gives the lowest bin.)
        const auto binAt = [](double at) { return at >= 0.0 ? (at < kBins - 1.0 ? static_cast<int>(at) : kBins - 1) : 0; };
        const int left = binAt(place - distance);
        const int right = binAt(place + distance);
        int widened = 1;
        while (!Deviation(median, left, right, widened, deviation)) {
            widened *= 4; // at last one range of all bins, which always tells
        }
        // Bins placed again about these answers when they drifted from the middle bins or the spread changed.
        const double spread = deviation * scale_;
        if (!(place - spread >= kBins / 16 && place + spread <= kBins * 15 / 16) ||
            (deviation > 0.0 && !(spread >= kBinsPerDeviation / 2 && spread <= kBinsPerDeviation * 2))) {
            binned_ = false;
        }
    }
    medianChange_ = median - lastMedian_;
    lastMedian_ = median;
    lastDeviation_ = deviation;
}

PeakDetector::PeakDetector(const PeakDetectionParams& params, double tickPeriod)
    : params_(params), tickPeriod_(tickPeriod > 0.0 ? tickPeriod : 1.0),
      window_(Ticks(params.noiseWindow, tickPeriod_, 32)), refresh_(std::max(1, window_ / 8)),
      smoothTicks_(Ticks(params.smoothing, tickPeriod_, 1)), gapTicks_(Ticks(params.minInterval, tickPeriod_, 0)),
      slope_(smoothTicks_, tickPeriod_), history_(window_)
{
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

// The first tick after `tick` at which the baseline is re-estimated: every refresh_ ticks, and before the first
// refresh also at 16, 32, 64 … samples, so that a peak early in a block is not missed for want of a baseline. Both
// depend only on the tick, never on how samples arrive.
std::int32_t PeakDetector::NextEstimateTick(std::int32_t tick) const
{
    std::int32_t next = (tick / refresh_ + 1) * refresh_;
    if (tick + 1 < refresh_) {
        const auto early = std::max(static_cast<std::int32_t>(kLeastHistory),
                                    static_cast<std::int32_t>(std::bit_ceil(static_cast<std::uint32_t>(tick + 1))));
        next = std::min(next, early);
    }
    return next;
}

bool PeakDetector::IsEstimateTick(std::int32_t tick) const
{
    return tick % refresh_ == 0 || (tick < refresh_ && tick >= static_cast<std::int32_t>(kLeastHistory) &&
                                    (tick & (tick - 1)) == 0);
}

// The samples [first, end) of values_ after an estimate, all with the same baseline and level.
void PeakDetector::Detect(std::size_t first, std::size_t end, std::vector<DetectedPeak>& out)
{
    const double level = params_.thresholdInSD ? params_.height * noise_ : params_.height;
    // A peak starts above both the level and the baseline (never when the level is not a number).
    const double start = std::max(level, 0.0);
    const double direction = params_.direction;
    const double baseline = baseline_;
    const double* values = values_.data();
    const std::int32_t* ticks = ticks_.data();
    const auto heightAt = [&](std::size_t k) { return direction * (values[k] - baseline); };
    std::size_t k = first;
    while (k < end) {
        if (!inPeak_) {
            // Most samples lie below the level: four at a time until one may not.
            while (k < end && ticks[k] < nextAllowed_) {
                ++k;
            }
            while (k + 4 <= end && !((heightAt(k) > start) | (heightAt(k + 1) > start) | (heightAt(k + 2) > start) |
                                     (heightAt(k + 3) > start))) {
                k += 4;
            }
            while (k < end && !(heightAt(k) > start)) {
                ++k;
            }
            if (k == end) {
                break;
            }
            inPeak_ = true;
            peakStart_ = ticks[k];
            peakTick_ = ticks[k];
            peakHeight_ = heightAt(k);
            peakValue_ = values[k];
            beforePeak_ = k > first ? heightAt(k - 1) : lastHeight_;
            afterSeen_ = false;
            ++k;
            continue;
        }
        const double height = heightAt(k);
        if (!afterSeen_) {
            afterPeak_ = height;
            afterSeen_ = true;
        }
        if (height > peakHeight_) {
            beforePeak_ = k > first ? heightAt(k - 1) : lastHeight_;
            peakTick_ = ticks[k];
            peakHeight_ = height;
            peakValue_ = values[k];
            afterSeen_ = false;
        } else if (level > 0.0 ? height < 0.5 * level : height <= 0.0) {
            Emit(out);
        }
        ++k;
    }
    if (end > first) {
        lastHeight_ = heightAt(end - 1);
    }
}

void PeakDetector::Feed(const float* samples, std::size_t count, std::vector<DetectedPeak>& out)
{
    // The detected signal's values and their ticks; a tick without a value (a sample that is not a number, or the
    // transform before its first value) is left out.
    values_.resize(count);
    ticks_.resize(count);
    std::size_t n = 0;
    if (params_.transform == 1) {
        const std::size_t unknown = slope_.Unknown();
        n = slope_.Next(samples, count, values_.data());
        for (std::size_t k = 0; k < n; ++k) {
            ticks_[k] = tick_ + static_cast<std::int32_t>(count - n + k); // the samples without a slope come first
        }
        if (slope_.Unknown() != unknown) {
            // Slopes over a sample that is not finite are not numbers: ticks without a value.
            std::size_t kept = 0;
            for (std::size_t k = 0; k < n; ++k) {
                values_[kept] = values_[k];
                ticks_[kept] = ticks_[k];
                kept += std::isnan(values_[k]) ? 0 : 1;
            }
            n = kept;
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            values_[n] = samples[i];
            ticks_[n] = tick_ + static_cast<std::int32_t>(i);
            n += std::isfinite(samples[i]) ? 1 : 0;
        }
    }
    tick_ += static_cast<std::int32_t>(count);
    // Stretches from one estimate to the next: the estimate comes before its own tick's value enters the window.
    std::size_t k = 0;
    while (k < n) {
        const std::int32_t tick = ticks_[k];
        if (tick == nextEstimate_ || (tick > nextEstimate_ && IsEstimateTick(tick))) {
            Estimate();
        }
        if (tick >= nextEstimate_) {
            nextEstimate_ = NextEstimateTick(tick);
        }
        std::size_t end = k + 1;
        while (end < n && ticks_[end] < nextEstimate_) {
            ++end;
        }
        history_.Push(values_.data() + k, end - k);
        if (estimated_) {
            Detect(k, end, out);
        }
        k = end;
    }
}

void PeakDetector::Feed(float sample, std::vector<DetectedPeak>& out)
{
    Feed(&sample, 1, out);
}

void PeakDetector::Finish(std::vector<DetectedPeak>& out)
{
    if (inPeak_) {
        Emit(out);
    }
}

} // namespace host
