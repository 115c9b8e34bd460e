// The detection of the host's peak-detection calculation, one sample at a time. Everything it decides at a tick depends
// only on the samples before and at that tick, so the events are the same whether a block is read at once, in chunks,
// or while it is still being sampled.
#pragma once

#include "host/sampleformula.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace host {

// One detected peak: its tick, the fraction of a tick by which it lies after that tick, and the detected signal's value
// there (the transformed signal when a transform is configured).
struct DetectedPeak {
    std::int32_t tick;
    float offset;
    double value;
};
static_assert(sizeof(DetectedPeak) == 16);

struct PeakDetectionParams {
    int direction = 1;         // +1 peaks above the baseline, -1 below
    bool thresholdInSD = true; // height in standard deviations of the baseline noise, else in channel units
    double height = 5.0;       // minimum peak height above the baseline
    double minInterval = 0.0;  // seconds from one peak to the next at the least
    int transform = 0;         // 0 none, 1 smoothed derivative
    double smoothing = 0.001;  // seconds: the width of each mean of the smoothed derivative
    double noiseWindow = 0.2;  // seconds of samples before each point that the baseline and noise come from
    friend bool operator==(const PeakDetectionParams&, const PeakDetectionParams&) = default;
};

// The noise window: its values in a ring, each with its bin's one-byte code in a second ring, and the count of values
// in each bin. The bins are ordered as the values (a value in a lower bin is below every value in a higher one) and
// placed about the last answers, so that the counts say which bin holds the median and which bins hold the values at
// the median absolute deviation. The values coded at each estimate are kept grouped by bin as well, so that an
// estimate finds the values of a few bins without a search and selects among them. Both answers are exact: the same
// values as a full sort would give.
class NoiseWindow {
public:
    explicit NoiseWindow(std::int32_t capacity);

    [[gnu::always_inline]] void Push(double value)
    {
        // The ring grows with the values, so that a long window costs only what a block fills of it.
        if (ring_.size() < static_cast<std::size_t>(capacity_)) {
            ring_.push_back(value);
            position_ = ring_.size() == static_cast<std::size_t>(capacity_) ? 0 : ring_.size();
        } else {
            ring_[position_] = value;
            if (++position_ == ring_.size()) {
                position_ = 0;
            }
        }
        if (!std::isfinite(value)) {
            lastUnusual_ = count_;
        }
        ++count_;
    }
    // The next `count` values, as Push one by one.
    void Push(const double* values, std::size_t count);
    // The same for single-precision values, all of them finite.
    void PushFinite(const float* values, std::size_t count);
    std::size_t Size() const { return static_cast<std::size_t>(std::min<std::int64_t>(count_, capacity_)); }
    // The element of rank Size()/2 (the median as the upper middle) and the element of the same rank of the
    // distances from it.
    void Estimate(double& median, double& deviation);

private:
    static constexpr int kBins = 256;
    // Values that were coded together (at one estimate, or all of the window's when the bins were placed), grouped
    // by bin, each bin's in the order they arrived, which is also the order they leave in.
    struct Batch {
        std::int64_t first = 0; // the index of its oldest value (values are indexed as pushed)
        std::int64_t count = 0;
        std::int64_t gone = 0; // its oldest values that have left the window
        // The bins moved since it was grouped: an outer bin holds the values of several bins one bin after another,
        // and its values' codes are of the bins before.
        bool mixed = false;
        std::array<std::uint32_t, kBins + 1> starts{}; // where each bin's values begin in `values`
        std::array<std::uint32_t, kBins> left{};       // how many of each bin's values (its first ones) have left
        std::vector<double> values;
    };
    void Code(std::int64_t first, std::int64_t end);
    void AddBatches(std::int64_t first, std::int64_t end);
    void AddBatch(std::int64_t first, std::int64_t end);
    template <bool kCount>
    void Group(Batch& batch, std::int64_t first, std::int64_t end);
    void Shift(int bins);
    template <bool kAdd>
    void Tally(const Batch& batch);
    void SelectZero(double& median);
    void ClearBatches();
    void Expire();
    void Rebin(double center, double spread);
    void CodeNewValues();
    std::int64_t Count(int first, int last) const;
    template <class Take>
    void ForEachRunIn(int first, int last, Take take) const;
    void SelectMedian(int bin, std::int64_t rank, double& median);
    bool Deviation(double median, int left, int right, int reach, double& deviation);
    double* NextSlots(std::size_t wanted, std::size_t& take);
    void FullSortEstimate(double& median, double& deviation);

    std::int64_t capacity_;
    std::vector<double> ring_;        // the value of index i at slot i % capacity_
    std::vector<std::uint8_t> codes_; // the bin of each value of the ring (of the bins before for a mixed batch)
    std::size_t position_ = 0;
    std::int64_t count_ = 0;        // values pushed so far
    std::int64_t lastUnusual_ = -1; // the index of the last value pushed that is not finite
    std::int64_t coded_ = 0;        // values before this index have codes and are in batches
    bool binned_ = false;           // the codes, counts and batches are of the present bins
    // A value's bin is its whole number of bin widths above low_, less offset_, within [0, kBins): moving the bins
    // by whole bins along a drifting baseline leaves most values' bins as they were, so that they need not be grouped
    // anew.
    double low_ = 0.0;
    double scale_ = 1.0; // bins per unit of value
    std::int32_t offset_ = 0;
    int shift_ = 0; // bins to move by at the next estimate
    // Where the bins of the window's first design would lie: which of two equal zeros is the median depends on which
    // values shared the median's bin there.
    bool firstBinned_ = false;
    double firstLow_ = 0.0;
    double firstScale_ = 1.0;
    std::array<std::uint32_t, kBins> counts_{};
    std::array<std::int64_t, kBins + 1> below_{}; // at an estimate, the values in the bins below each
    std::vector<Batch> batches_; // a ring of batches in the order of their values, the oldest at firstBatch_
    std::size_t firstBatch_ = 0;
    std::size_t batchCount_ = 0;
    std::vector<std::int64_t> ends_; // where the batches ended before the bins were placed again
    std::vector<double> scratch_;
    std::vector<double> spare_;
    std::vector<std::uint8_t> buckets_;
    double lastMedian_ = 0.0;
    double lastDeviation_ = 0.0;
    double medianChange_ = 0.0; // from the estimate before the last to the last
};

class PeakDetector {
public:
    PeakDetector(const PeakDetectionParams& params, double tickPeriod);

    // The next sample of the block (tick 0 first); found peaks are appended to `out`. A sample that is not a number
    // (a transformed channel before its first value) counts as a tick without a value.
    void Feed(float sample, std::vector<DetectedPeak>& out);
    // The next `count` samples, as Feed one by one.
    void Feed(const float* samples, std::size_t count, std::vector<DetectedPeak>& out);
    // The next `count` values of the signal transformed already (the slopes of the host's slope samples), NaN where
    // a tick has none: the peaks that Feed with the transform on finds where its transform gives these values.
    void FeedTransformed(const double* values, std::size_t count, std::vector<DetectedPeak>& out);
    // The block has ended: a peak whose fall was not seen yet is given as it stands.
    void Finish(std::vector<DetectedPeak>& out);
    // No peak found later can lie before this tick.
    std::int32_t SettledTick() const { return inPeak_ ? peakStart_ : tick_; }

private:
    bool IsEstimateTick(std::int32_t tick) const;
    std::int32_t NextEstimateTick(std::int32_t tick) const;
    template <class Value, bool kListed>
    void Run(const Value* values, const std::int32_t* ticks, std::int32_t base, std::size_t n,
             std::vector<DetectedPeak>& out);
    template <class Value, bool kListed>
    void Detect(const Value* values, const std::int32_t* ticks, std::int32_t base, std::size_t first,
                std::size_t end, std::vector<DetectedPeak>& out);
    // The values of the ticks from `first` on; with `mayLack`, a value that is not a number is a tick without one.
    void RunValues(const double* values, std::size_t count, std::int32_t first, bool mayLack,
                   std::vector<DetectedPeak>& out);
    void Estimate();
    void Emit(std::vector<DetectedPeak>& out);

    PeakDetectionParams params_;
    double tickPeriod_;
    std::int32_t window_;      // noise-window length in ticks
    std::int32_t refresh_;     // the baseline is re-estimated at ticks that are multiples of this
    std::int32_t smoothTicks_; // width of each mean of the derivative
    std::int32_t gapTicks_;    // minimum interval in ticks

    std::int32_t tick_ = 0;
    std::int32_t nextEstimate_ = 0; // the next tick at which the baseline is estimated
    std::vector<double> values_;       // the detected signal of the samples being fed, and their ticks where some
                                       // ticks have no value
    std::vector<std::int32_t> ticks_;
    SmoothedSlope slope_;           // the transform
    NoiseWindow history_;        // the last window_ detected-signal values before the current tick
    bool estimated_ = false;
    double baseline_ = 0.0;
    double noise_ = 0.0;
    double deviation_ = 0.0; // the median absolute deviation

    bool inPeak_ = false;
    std::int32_t peakStart_ = 0;
    std::int32_t peakTick_ = 0;
    double peakHeight_ = 0.0; // above the baseline, in the detection direction
    double peakValue_ = 0.0;
    double beforePeak_ = 0.0;
    double afterPeak_ = 0.0;
    bool afterSeen_ = false;
    double lastHeight_ = 0.0;
    std::int64_t nextAllowed_ = 0;
};

} // namespace host
