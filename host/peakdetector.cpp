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

// Where bins are placed: the median's bin and the bins from the median to its median absolute deviation.
constexpr int kCentreBin = 128;
constexpr double kBinsPerDeviation = 64.0;

} // namespace

NoiseWindow::NoiseWindow(std::int32_t capacity)
    : capacity_(std::max<std::int32_t>(capacity, 1))
{
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
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        codes_[i] = Code(ring_[i]);
        ++counts_[codes_[i]];
    }
    coded_ = count_;
    binned_ = true;
}

void NoiseWindow::CodeNewValues()
{
    const std::size_t size = ring_.size();
    const std::size_t counted = codes_.size(); // slots whose codes are in counts_
    codes_.resize(size);
    const auto fresh = static_cast<std::size_t>(std::min<std::int64_t>(count_ - coded_, static_cast<std::int64_t>(size)));
    std::size_t slot = (position_ + size - fresh) % size;
    for (std::size_t k = 0; k < fresh; ++k) {
        if (slot < counted) {
            --counts_[codes_[slot]];
        }
        const std::uint8_t code = Code(ring_[slot]);
        codes_[slot] = code;
        ++counts_[code];
        if (++slot == size) {
            slot = 0;
        }
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
    const auto at = scratch_.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(scratch_.begin(), at, scratch_.end());
    deviation = *at;
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
