// The detection of the host's peak-detection calculation, one sample at a time. Everything it decides at a tick depends
// only on the samples before and at that tick, so the events are the same whether a block is read at once, in chunks,
// or while it is still being sampled.
#pragma once

#include "host/sampleformula.h"

#include <cstdint>
#include <deque>
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

class PeakDetector {
public:
    PeakDetector(const PeakDetectionParams& params, double tickPeriod);

    // The next sample of the block (tick 0 first); found peaks are appended to `out`. A sample that is not a number
    // (a transformed channel before its first value) counts as a tick without a value.
    void Feed(float sample, std::vector<DetectedPeak>& out);
    // The block has ended: a peak whose fall was not seen yet is given as it stands.
    void Finish(std::vector<DetectedPeak>& out);
    // No peak found later can lie before this tick.
    std::int32_t SettledTick() const { return inPeak_ ? peakStart_ : tick_; }

private:
    bool Transform(float sample, double& value);
    void Estimate();
    void Emit(std::vector<DetectedPeak>& out);

    PeakDetectionParams params_;
    double tickPeriod_;
    std::int32_t window_;      // noise-window length in ticks
    std::int32_t refresh_;     // the baseline is re-estimated at ticks that are multiples of this
    std::int32_t smoothTicks_; // width of each mean of the derivative
    std::int32_t gapTicks_;    // minimum interval in ticks

    std::int32_t tick_ = 0;
    SmoothedSlope slope_;        // the transform
    std::deque<double> history_; // the last window_ detected-signal values before the current tick
    std::vector<double> scratch_;
    bool estimated_ = false;
    double baseline_ = 0.0;
    double noise_ = 0.0;

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
