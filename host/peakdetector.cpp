#include "host/peakdetector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {

namespace {

std::int32_t Ticks(double seconds, double tickPeriod, std::int32_t least) { return TicksOf(seconds, tickPeriod, least); }

// The fewest noise-window samples from which a baseline is trusted.
constexpr std::size_t kLeastHistory = 16;
// Windows up to this long are sorted whole at each estimate: quicker than keeping runs of a few values each.
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
constexpr double kBinsPerDeviation = 64.0;

} // namespace

NoiseWindow::NoiseWindow(std::int32_t capacity)
    : capacity_(std::max<std::int32_t>(capacity, 1))
{
}

namespace {

std::int64_t NonFinite(const double* values, std::size_t count)
{
    std::int64_t found = 0;
    for (std::size_t i = 0; i < count; ++i) {
        constexpr std::uint64_t kExponent = 0x7FF0000000000000;
        found += (std::bit_cast<std::uint64_t>(values[i]) & kExponent) == kExponent ? 1 : 0;
    }
    return found;
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
            unusual_ -= NonFinite(ring_.data() + position_, take);
            std::copy_n(values, take, ring_.data() + position_);
            position_ += take;
            if (position_ == ring_.size()) {
                position_ = 0;
            }
        }
        unusual_ += NonFinite(values, take);
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
    counts_.fill(0);
    codes_.resize(ring_.size());
    Recode(0, ring_.size(), 0);
    coded_ = count_;
    binned_ = true;
}

// New codes for the ring's slots [first, end), counted in place of the old ones of those below `counted`.
void NoiseWindow::Recode(std::size_t first, std::size_t end, std::size_t counted)
{
    // In locals: stores of codes could otherwise be taken for stores to any member.
    const double low = low_;
    const double scale = scale_;
    const double* values = ring_.data();
    std::uint8_t* codes = codes_.data();
    std::int32_t* counts = counts_.data();
    for (std::size_t slot = first; slot < std::min(end, counted); ++slot) {
        --counts[codes[slot]];
    }
    for (std::size_t slot = first; slot < end; ++slot) {
        codes[slot] = Code(values[slot], low, scale);
    }
    for (std::size_t slot = first; slot < end; ++slot) {
        ++counts[codes[slot]];
    }
}

void NoiseWindow::CodeNewValues()
{
    const std::size_t size = ring_.size();
    const std::size_t counted = codes_.size(); // slots whose codes are in counts_
    codes_.resize(size);
    const auto fresh = static_cast<std::size_t>(std::min<std::int64_t>(count_ - coded_, static_cast<std::int64_t>(size)));
    const std::size_t first = (position_ + size - fresh) % size;
    if (first + fresh <= size) {
        Recode(first, first + fresh, counted);
    } else {
        Recode(first, size, counted);
        Recode(0, first + fresh - size, counted);
    }
    coded_ = count_;
}

namespace {

template <int kRanges>
void CollectRanges(const std::uint8_t* codes, const double* values, std::size_t n,
                   const std::array<std::uint8_t, 3>& lows, const std::array<std::uint8_t, 3>& highs,
                   std::array<std::vector<double>, 3>& out, std::array<std::size_t, 3>& counts)
{
    // Written in place without checks: a list never holds more than the window.
    double* lists[kRanges];
    std::size_t lengths[kRanges] = {};
    for (int r = 0; r < kRanges; ++r) {
        lists[r] = out[static_cast<std::size_t>(r)].data();
    }
    const auto take = [&](std::size_t i) {
        const std::uint8_t code = codes[i];
        const double value = values[i];
        for (int r = 0; r < kRanges; ++r) {
            lists[r][lengths[r]] = value;
            lengths[r] += static_cast<std::uint8_t>(code - lows[r]) <= highs[r] - lows[r] ? 1 : 0;
        }
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen codes at a time: most groups hold none of the few bins asked for.
    __m128i first[kRanges];
    __m128i span[kRanges];
    for (int r = 0; r < kRanges; ++r) {
        first[r] = _mm_set1_epi8(static_cast<char>(lows[r]));
        span[r] = _mm_set1_epi8(static_cast<char>(highs[r] - lows[r]));
    }
    for (; i + 16 <= n; i += 16) {
        const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + i));
        __m128i any = _mm_setzero_si128();
        for (int r = 0; r < kRanges; ++r) {
            const __m128i offset = _mm_sub_epi8(group, first[r]);
            any = _mm_or_si128(any, _mm_cmpeq_epi8(_mm_min_epu8(offset, span[r]), offset));
        }
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(any)); mask != 0; mask &= mask - 1) {
            take(i + static_cast<std::size_t>(std::countr_zero(mask)));
        }
    }
#endif
    for (; i < n; ++i) {
        take(i);
    }
    for (int r = 0; r < kRanges; ++r) {
        counts[static_cast<std::size_t>(r)] = lengths[r];
    }
}

} // namespace

void NoiseWindow::Collect(const BinRanges& ranges)
{
    const auto n = codes_.size();
    for (auto& list : collected_) {
        if (list.size() < n) {
            list.resize(std::max(n, 2 * list.size()));
        }
    }
    collectedCounts_ = {};
    switch (ranges.count) {
    case 1: CollectRanges<1>(codes_.data(), ring_.data(), n, ranges.first, ranges.last, collected_, collectedCounts_); break;
    case 2: CollectRanges<2>(codes_.data(), ring_.data(), n, ranges.first, ranges.last, collected_, collectedCounts_); break;
    default: CollectRanges<3>(codes_.data(), ring_.data(), n, ranges.first, ranges.last, collected_, collectedCounts_); break;
    }
}

std::int64_t NoiseWindow::Count(int first, int last) const
{
    std::int64_t sum = 0;
    for (int bin = std::max(first, 0); bin <= std::min(last, kBins - 1); ++bin) {
        sum += counts_[static_cast<std::size_t>(bin)];
    }
    return sum;
}

// The bins within `reach` of the bins `left` and `right` that hold the values at the guessed distance from the
// median: one range when they meet.
NoiseWindow::BinRanges NoiseWindow::DeviationRanges(int left, int right, int reach)
{
    const int loL = std::max(left - reach, 0);
    const int hiL = std::min(left + reach, kBins - 1);
    const int loR = std::max(right - reach, 0);
    const int hiR = std::min(right + reach, kBins - 1);
    BinRanges ranges;
    if (hiL + 1 >= loR) {
        ranges.Add(loL, std::max(hiL, hiR));
    } else {
        ranges.Add(loL, hiL);
        ranges.Add(loR, hiR);
    }
    return ranges;
}

// The median absolute deviation from the values collected of the deviation's ranges (from list `list` on), or false
// when the guess of its bins was too far off: then it cannot be told from these values alone.
bool NoiseWindow::Deviation(double median, const BinRanges& ranges, std::size_t list, double& deviation)
{
    const std::int64_t target = static_cast<std::int64_t>(Size()) / 2;
    const int lowest = ranges.first[0];
    const int highest = ranges.last[static_cast<std::size_t>(ranges.count - 1)];
    const std::int64_t outerLeft = Count(0, lowest - 1);
    const std::int64_t outerRight = Count(highest + 1, kBins - 1);
    // Between the two ranges: every such value is above each of the left range and below each of the right.
    const std::int64_t inner = ranges.count == 2 ? Count(ranges.last[0] + 1, ranges.first[1] - 1) : 0;
    const std::span<const double> left(collected_[list].data(), collectedCounts_[list]);
    const std::size_t rightList = ranges.count == 2 ? list + 1 : list;
    const std::span<const double> right(collected_[rightList].data(), collectedCounts_[rightList]);
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double leftLow = kInf;
    double leftHigh = -kInf;
    double rightLow = kInf;
    double rightHigh = -kInf;
    scratch_.clear();
    for (const double value : left) {
        leftLow = std::min(leftLow, value);
        leftHigh = std::max(leftHigh, value);
        scratch_.push_back(std::abs(value - median));
    }
    if (ranges.count == 2) {
        for (const double value : right) {
            rightLow = std::min(rightLow, value);
            rightHigh = std::max(rightHigh, value);
            scratch_.push_back(std::abs(value - median));
        }
    } else {
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
    if (capacity_ <= kFullSortCapacity || unusual_ > 0 || size <= kFullSortCapacity) {
        // Infinities and NaN make distances that order as a full sort happens to leave them.
        FullSortEstimate(median, deviation);
        binned_ = false;
    } else {
        if (binned_) {
            CodeNewValues();
        } else {
            Rebin(lastMedian_, lastDeviation_);
        }
        const std::int64_t target = size / 2;
        int middle = 0;
        std::int64_t below = 0;
        while (below + counts_[static_cast<std::size_t>(middle)] <= target) {
            below += counts_[static_cast<std::size_t>(middle++)];
        }
        // The bins about the median's, outwards on both sides until they hold half the window: the values at the
        // deviation are near the last two.
        std::int64_t within = counts_[static_cast<std::size_t>(middle)];
        int reach = 0;
        while (within <= target && (middle - reach > 0 || middle + reach < kBins - 1)) {
            ++reach;
            within += Count(middle - reach, middle - reach) + Count(middle + reach, middle + reach);
        }
        const int left = std::max(middle - reach, 0);
        const int right = std::min(middle + reach, kBins - 1);
        BinRanges ranges = DeviationRanges(left, right, 1);
        BinRanges all;
        all.Add(middle, middle);
        for (int r = 0; r < ranges.count; ++r) {
            all.Add(ranges.first[static_cast<std::size_t>(r)], ranges.last[static_cast<std::size_t>(r)]);
        }
        Collect(all);
        double* const middles = collected_[0].data();
        double* const at = middles + (target - below);
        std::nth_element(middles, at, middles + collectedCounts_[0]);
        median = *at;
        int widened = 1;
        std::size_t list = 1;
        while (!Deviation(median, ranges, list, deviation)) {
            widened *= 4; // at last one range of all bins, which always tells
            ranges = DeviationRanges(left, right, widened);
            Collect(ranges);
            list = 0;
        }
        // Bins placed again about these answers when they drifted from the middle bins or the spread changed.
        const double place = (median - low_) * scale_;
        const double spread = deviation * scale_;
        if (!(place >= kCentreBin / 2 && place <= kCentreBin * 3 / 2) ||
            (deviation > 0.0 && !(spread >= kBinsPerDeviation / 2 && spread <= kBinsPerDeviation * 2)) || widened > 1) {
            binned_ = false;
        }
    }
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
        for (std::size_t i = 0; i < count; ++i) {
            values_[n] = 0.0;
            ticks_[n] = tick_ + static_cast<std::int32_t>(i);
            n += slope_.Next(samples[i], values_[n]) ? 1 : 0;
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
